// Two wide KERNEL32 functions that the static C and C++ runtimes import.
//
// On the 9x family KERNEL32 exports its wide functions as stubs that fail
// with ERROR_CALL_NOT_IMPLEMENTED. The runtime calls these two with plain
// ASCII or no text at all, so their import slots are filled here with
// functions that call the ANSI versions, which every Windows has; the linker
// then takes these definitions and imports the wide functions no more.
// (The program's own wide calls are looked up at run time on NT only.)
//
// - CreateSemaphoreW: the runtime's mutexes (exception unwinding, emulated
//   thread-local storage) create their semaphore with it, without a name.
//   With the stub they would get none, and a contended lock would not
//   exclude the other thread.
// - GetModuleHandleW: the C library's code-page lookup asks for MSVCRT.DLL.
#include <windows.h>

namespace {

HANDLE WINAPI CreateUnnamedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum,
                                     LPCWSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateSemaphoreA(attributes, initial, maximum, nullptr);
}

HMODULE WINAPI GetModuleHandleAscii(LPCWSTR name) {
  if (name == nullptr) return GetModuleHandleA(nullptr);
  char narrow[MAX_PATH];
  if (WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof narrow, nullptr, nullptr) == 0) return nullptr;
  return GetModuleHandleA(narrow);
}

}  // namespace

// The import slots themselves (the names the linker gives the pointers that
// calls to a dllimport function go through).
extern "C" {
extern __attribute__((used)) decltype(&CreateSemaphoreW) const kqCreateSemaphoreWSlot asm("__imp__CreateSemaphoreW@16") =
    &CreateUnnamedSemaphore;
extern __attribute__((used)) decltype(&GetModuleHandleW) const kqGetModuleHandleWSlot asm("__imp__GetModuleHandleW@4") =
    &GetModuleHandleAscii;
}
