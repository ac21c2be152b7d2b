// keepalive.exe: keeps a test prefix's RPC service in use for as long as the
// test session runs. Wine stops the service when it has been idle for a while
// and then fails to start it again ("Failed to start RpcSs service", ten
// seconds each time), which makes every later installer call slow. Asking
// COM for an unregistered local server every few seconds goes through the
// service and keeps it running. Ends when the session's wineserver stops.
#include <windows.h>
#include <objbase.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // {6b1f0a55-7e2d-4c8b-9d41-0000000000ff}: registered nowhere on purpose.
  const CLSID unregistered = {0x6b1f0a55, 0x7e2d, 0x4c8b, {0x9d, 0x41, 0, 0, 0, 0, 0, 0xff}};
  for (;;) {
    if (SUCCEEDED(CoInitialize(nullptr))) {
      IUnknown* unknown = nullptr;
      if (SUCCEEDED(CoCreateInstance(unregistered, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&unknown)))) {
        unknown->Release();
      }
      CoUninitialize();
    }
    Sleep(5000);
  }
}
