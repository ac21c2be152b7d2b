#include "sys/wide_ansi_library.h"

#include "text/mbcs_path.h"

namespace kq {

namespace {

volatile LONG g_procLookups = 0;

// A folder the system reports into a MAX_PATH buffer, with a backslash.
template <typename Query>
std::string FolderFrom(Query query) {
  char buffer[MAX_PATH] = {};
  const UINT length = query(buffer, MAX_PATH);
  if (length == 0) return std::string();
  if (length >= MAX_PATH) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return std::string();
  }
  std::string folder(buffer, length);
  AppendBackslash(folder);
  return folder;
}

}  // namespace

// The two system folders are read through the ANSI calls on both families:
// GetProcFromLibrary needs the system folder before any wide entry point can
// be looked up, and the ANSI call's result is ANSI text by the rule.
std::string SystemFolderPath() {
  return FolderFrom([](char* buffer, UINT size) { return GetSystemDirectoryA(buffer, size); });
}

std::string WindowsFolderPath() {
  return FolderFrom([](char* buffer, UINT size) { return GetWindowsDirectoryA(buffer, size); });
}

HMODULE LoadSystemLibrary(const char* library) {
  if (library == nullptr || *library == '\0') return nullptr;
  const std::string folder = SystemFolderPath();
  if (folder.empty()) return nullptr;
  return LoadLibraryA(JoinPath(folder, library).c_str());
}

FARPROC GetProcFromLibrary(const char* library, const char* entryPoint) {
  InterlockedIncrement(&g_procLookups);
  if (entryPoint == nullptr || *entryPoint == '\0') return nullptr;
  // Never released: the entry points stay valid for the life of the process.
  HMODULE module = LoadSystemLibrary(library);
  if (module == nullptr) return nullptr;
  return GetProcAddress(module, entryPoint);
}

unsigned long ProcLookupCount() { return static_cast<unsigned long>(g_procLookups); }

}  // namespace kq
