#include "sys/wide_ansi.h"

#include <shlobj.h>

#include <cstdlib>
#include <vector>

#include "sys/mbcs_path.h"
#include "sys/setup_log.h"

namespace kq {

namespace {

volatile LONG g_familyKnown = 0;
volatile LONG g_platformId = 0;
volatile LONG g_procLookups = 0;

constexpr LCID kUserDefaultLocale = 0x0400;
constexpr LCTYPE kDefaultAnsiCodePage = 0x1004;
constexpr LCTYPE kDefaultOemCodePage = 0x000B;

uint32_t QueryCodePage(LCTYPE type) {
  char buffer[kPathBufferChars] = {};
  if (GetLocaleInfoA(kUserDefaultLocale, type, buffer, sizeof buffer) == 0) return 0;
  buffer[sizeof buffer - 1] = '\0';
  uint32_t value = 0;
  for (const char* p = buffer; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + static_cast<uint32_t>(*p - '0');
    if (value > 0xFFFFFF) return 0;  // no code page is this large
  }
  return value;
}

std::wstring ToWide(UINT codePage, const char* text, size_t bufferChars) {
  if (text == nullptr || bufferChars == 0 || bufferChars > INT_MAX) return std::wstring();
  const int needed = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (needed <= 0 || static_cast<size_t>(needed) > bufferChars) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(needed));
  if (MultiByteToWideChar(codePage, 0, text, -1, buffer.data(), needed) != needed) return std::wstring();
  return std::wstring(buffer.data());
}

}  // namespace

DWORD PlatformId() {
  if (g_familyKnown == 0) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;  // 148
    static_assert(sizeof(OSVERSIONINFOA) == 148, "version record size");
    if (GetVersionExA(&info)) {
      InterlockedExchange(&g_platformId, static_cast<LONG>(info.dwPlatformId));
      InterlockedExchange(&g_familyKnown, 1);
    }
  }
  return static_cast<DWORD>(g_platformId);
}

bool IsWindowsNT() { return PlatformId() == VER_PLATFORM_WIN32_NT; }

uint32_t UserAnsiCodePage() { return QueryCodePage(kDefaultAnsiCodePage); }
uint32_t UserOemCodePage() { return QueryCodePage(kDefaultOemCodePage); }

std::wstring ToWideAnsi(const char* text, size_t bufferChars) {
  return ToWide(UserAnsiCodePage(), text, bufferChars);
}

std::wstring ToWideOem(const char* text, size_t bufferChars) {
  return ToWide(UserOemCodePage(), text, bufferChars);
}

std::string ToNarrowOem(const wchar_t* text, size_t bufferChars) {
  if (text == nullptr || bufferChars == 0 || bufferChars > INT_MAX) return std::string();
  const UINT codePage = UserOemCodePage();
  const int needed = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0 || static_cast<size_t>(needed) > bufferChars) return std::string();
  std::vector<char> buffer(static_cast<size_t>(needed));
  if (WideCharToMultiByte(codePage, 0, text, -1, buffer.data(), needed, nullptr, nullptr) != needed)
    return std::string();
  return std::string(buffer.data());
}

std::string SystemFolderPath() {
  char buffer[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
  if (length == 0) return std::string();
  if (length >= MAX_PATH) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return std::string();
  }
  std::string folder(buffer, length);
  AppendBackslash(folder);
  return folder;
}

FARPROC GetProcFromLibrary(const char* library, const char* entryPoint) {
  InterlockedIncrement(&g_procLookups);
  if (library == nullptr || *library == '\0' || entryPoint == nullptr || *entryPoint == '\0')
    return nullptr;
  std::string path = SystemFolderPath();
  if (path.empty()) return nullptr;
  path += library;
  // Never released: the entry points stay valid for the life of the process.
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) return nullptr;
  return GetProcAddress(module, entryPoint);
}

unsigned long ProcLookupCount() { return static_cast<unsigned long>(g_procLookups); }

namespace {

template <typename Fn>
Fn LookUpWide(const char* library, const char* entryPoint) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcFromLibrary(library, entryPoint)));
}

// Calls `call` with the OEM conversion of `text`, and once more with the ANSI
// conversion when `failed` says the first result is the failure value.
template <typename Result, typename Call, typename Failed>
Result WithOemThenAnsi(const std::string& text, size_t bufferChars, Call call, Failed failed) {
  std::wstring wide = ToWideOem(text.c_str(), bufferChars);
  Result result = call(wide);
  if (!failed(result)) return result;
  wide = ToWideAnsi(text.c_str(), bufferChars);
  return call(wide);
}

}  // namespace

bool DeleteFileByName(const std::string& fileName) {
  if (!IsWindowsNT()) return DeleteFileA(fileName.c_str()) != FALSE;
  using DeleteFileWFn = BOOL(WINAPI*)(LPCWSTR);
  auto deleteFileW = LookUpWide<DeleteFileWFn>("KERNEL32.DLL", "DeleteFileW");
  if (deleteFileW == nullptr) return false;
  return WithOemThenAnsi<BOOL>(
             fileName, kPathBufferChars, [&](const std::wstring& name) { return deleteFileW(name.c_str()); },
             [](BOOL ok) { return ok == FALSE; }) != FALSE;
}

ScopedFile OpenFileByName(const std::string& fileName, DWORD access, DWORD shareMode, DWORD creation,
                          DWORD flags) {
  if (!IsWindowsNT())
    return ScopedFile(CreateFileA(fileName.c_str(), access, shareMode, nullptr, creation, flags, nullptr));
  using CreateFileWFn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  auto createFileW = LookUpWide<CreateFileWFn>("KERNEL32.DLL", "CreateFileW");
  if (createFileW == nullptr) return ScopedFile();
  HANDLE handle = WithOemThenAnsi<HANDLE>(
      fileName, kPathBufferChars,
      [&](const std::wstring& name) {
        return createFileW(name.c_str(), access, shareMode, nullptr, creation, flags, nullptr);
      },
      [](HANDLE h) { return h == INVALID_HANDLE_VALUE; });
  return ScopedFile(handle);
}

ScopedFind FindFirstFileByName(const std::string& pattern, WIN32_FIND_DATAA& found) {
  found = WIN32_FIND_DATAA{};
  if (!IsWindowsNT()) return ScopedFind(FindFirstFileA(pattern.c_str(), &found));
  using FindFirstFileWFn = HANDLE(WINAPI*)(LPCWSTR, LPWIN32_FIND_DATAW);
  auto findFirstFileW = LookUpWide<FindFirstFileWFn>("KERNEL32.DLL", "FindFirstFileW");
  if (findFirstFileW == nullptr) return ScopedFind();
  WIN32_FIND_DATAW wideFound = {};
  HANDLE handle = WithOemThenAnsi<HANDLE>(
      pattern, kPathBufferChars,
      [&](const std::wstring& name) { return findFirstFileW(name.c_str(), &wideFound); },
      [](HANDLE h) { return h == INVALID_HANDLE_VALUE; });
  ScopedFind result(handle);
  if (result) {
    found.dwFileAttributes = wideFound.dwFileAttributes;
    found.ftCreationTime = wideFound.ftCreationTime;
    found.ftLastAccessTime = wideFound.ftLastAccessTime;
    found.ftLastWriteTime = wideFound.ftLastWriteTime;
    found.nFileSizeHigh = wideFound.nFileSizeHigh;
    found.nFileSizeLow = wideFound.nFileSizeLow;
    const std::string name = ToNarrowOem(wideFound.cFileName);
    lstrcpynA(found.cFileName, name.c_str(), MAX_PATH);
  }
  return result;
}

bool CreateProcessFromCommandLine(const std::string& commandLine, ScopedHandle& process) {
  process.Reset();
  PROCESS_INFORMATION info = {};
  BOOL started = FALSE;
  if (!IsWindowsNT()) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;  // 68
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    started = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info);
  } else {
    using CreateProcessWFn = BOOL(WINAPI*)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                                           BOOL, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                                           LPPROCESS_INFORMATION);
    auto createProcessW = LookUpWide<CreateProcessWFn>("KERNEL32.DLL", "CreateProcessW");
    if (createProcessW == nullptr) {
      SetupLogF("Failed to load CreateProcess entry point. Error Code = %08X",
                static_cast<unsigned>(GetLastError()));
      return false;
    }
    started = WithOemThenAnsi<BOOL>(
        commandLine, kCommandLineChars,
        [&](const std::wstring& wide) {
          // CreateProcessW may write into its command-line buffer.
          std::vector<wchar_t> buffer(wide.begin(), wide.end());
          buffer.push_back(L'\0');
          STARTUPINFOW startup = {};
          startup.cb = sizeof startup;
          return createProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &info);
        },
        [](BOOL ok) { return ok == FALSE; });
  }
  if (!started) return false;
  ScopedHandle thread(info.hThread);  // not needed: closed at once
  process.Reset(info.hProcess);
  return true;
}

std::string GetProgramPath(ModulePathCaller caller) {
  if (!IsWindowsNT()) {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(buffer, length);
  }
  using GetModuleFileNameWFn = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);
  auto getModuleFileNameW = LookUpWide<GetModuleFileNameWFn>("KERNEL32.DLL", "GetModuleFileNameW");
  if (getModuleFileNameW == nullptr) {
    SetupLogF(caller == ModulePathCaller::Engine
                  ? "Failed to load entry point of GetModuleFileNameW. Error Code = %08X"
                  : "Failed to load GetModuleFileName entry point. Error Code = %08X",
              static_cast<unsigned>(GetLastError()));
    return std::string();
  }
  wchar_t wide[kPathBufferChars] = {};
  const DWORD length = getModuleFileNameW(nullptr, wide, kPathBufferChars);
  // A path that filled the buffer was cut short; treat it as unconvertible.
  if (length >= kPathBufferChars) wide[0] = L'\0';
  std::string path = ToNarrowOem(wide);
  if (path.empty()) SetupLog("Failed to convert Unicode module filename to MBCS");
  return path;
}

std::string GetProgramCommandLine() {
  if (!IsWindowsNT()) {
    const char* text = GetCommandLineA();
    return text != nullptr ? std::string(text) : std::string();
  }
  using GetCommandLineWFn = LPWSTR(WINAPI*)();
  auto getCommandLineW = LookUpWide<GetCommandLineWFn>("KERNEL32.DLL", "GetCommandLineW");
  if (getCommandLineW == nullptr) {
    SetupLogF("Failed to load GetCommandLineW entry point. Error Code = %08X",
              static_cast<unsigned>(GetLastError()));
    return std::string();
  }
  std::string text = ToNarrowOem(getCommandLineW(), kCommandLineChars);
  if (text.empty()) SetupLog("Failed to convert Unicode command line to MBCS");
  return text;
}

HRESULT GetPathFromIdList(const void* idList, std::string& path) {
  path.clear();
  auto pidl = static_cast<LPCITEMIDLIST>(idList);
  if (!IsWindowsNT()) {
    char buffer[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(pidl, buffer)) return static_cast<HRESULT>(0x80004005);
    path = buffer;
    return S_OK;
  }
  using SHGetPathFromIDListWFn = BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR);
  auto getPathW = LookUpWide<SHGetPathFromIDListWFn>("SHELL32.DLL", "SHGetPathFromIDListW");
  if (getPathW == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  wchar_t wide[kPathBufferChars] = {};
  if (!getPathW(pidl, wide)) return static_cast<HRESULT>(0x80004005);
  path = ToNarrowOem(wide);
  if (path.empty()) return static_cast<HRESULT>(0x80070057);
  return S_OK;
}

HRESULT LoadPersistFile(IPersistFile* file, const std::string& fileName, DWORD mode) {
  if (file == nullptr) return E_POINTER;
  return WithOemThenAnsi<HRESULT>(
      fileName, kPathBufferChars, [&](const std::wstring& name) { return file->Load(name.c_str(), mode); },
      [](HRESULT hr) { return FAILED(hr); });
}

HRESULT SavePersistFile(IPersistFile* file, const std::string& fileName, BOOL remember) {
  if (file == nullptr) return E_POINTER;
  return WithOemThenAnsi<HRESULT>(
      fileName, kPathBufferChars, [&](const std::wstring& name) { return file->Save(name.c_str(), remember); },
      [](HRESULT hr) { return FAILED(hr); });
}

}  // namespace kq
