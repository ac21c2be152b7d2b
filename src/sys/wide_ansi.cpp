#include "sys/wide_ansi.h"

#include <climits>
#include <vector>

#include "text/mbcs_path.h"
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

// A wide result with no ANSI form: the call "failed" for the caller.
template <typename Result>
Result NoTranslation(Result failure) {
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return failure;
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

std::wstring ToWideAnsi(const char* text, size_t bufferChars) { return ToWide(CP_ACP, text, bufferChars); }

std::wstring ToWideOem(const char* text, size_t bufferChars) { return ToWide(CP_OEMCP, text, bufferChars); }

std::string ToNarrowAnsi(const wchar_t* text, size_t bufferChars) {
  if (text == nullptr || bufferChars == 0 || bufferChars > INT_MAX) return std::string();
  BOOL usedDefault = FALSE;
  const int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, &usedDefault);
  if (needed <= 0 || usedDefault || static_cast<size_t>(needed) > bufferChars) return std::string();
  std::vector<char> buffer(static_cast<size_t>(needed));
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), needed, nullptr, &usedDefault) != needed ||
      usedDefault)
    return std::string();
  // A best-fit look-alike (a for ā) passes the default-character test; only
  // the way back shows it.
  std::string narrow(buffer.data());
  if (ToWide(CP_ACP, narrow.c_str(), kCommandLineChars) != text) return std::string();
  return narrow;
}

namespace {

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
  return LoadLibraryA((folder + library).c_str());
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

namespace {

template <typename Fn>
Fn LookUpWide(const char* library, const char* entryPoint) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcFromLibrary(library, entryPoint)));
}

template <typename Fn>
Fn LookUpKernel(const char* entryPoint) {
  return LookUpWide<Fn>("KERNEL32.DLL", entryPoint);
}

// For look-ups only: the ANSI conversion, then the OEM one when `failed`
// says the first result is the failure value and the OEM name differs.
template <typename Result, typename Call, typename Failed>
Result WithAnsiThenOem(const std::string& text, size_t bufferChars, Call call, Failed failed) {
  const std::wstring ansi = ToWideAnsi(text.c_str(), bufferChars);
  Result result = call(ansi);
  if (!failed(result)) return result;
  const std::wstring oem = ToWideOem(text.c_str(), bufferChars);
  if (oem.empty() || oem == ansi) return result;
  return call(oem);
}

// Copies a wide find record to the narrow one: the ANSI long name, or the
// short name when the long one has no ANSI form. False when neither has.
bool NarrowFindData(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& found) {
  found = WIN32_FIND_DATAA{};
  found.dwFileAttributes = wide.dwFileAttributes;
  found.ftCreationTime = wide.ftCreationTime;
  found.ftLastAccessTime = wide.ftLastAccessTime;
  found.ftLastWriteTime = wide.ftLastWriteTime;
  found.nFileSizeHigh = wide.nFileSizeHigh;
  found.nFileSizeLow = wide.nFileSizeLow;
  found.dwReserved0 = wide.dwReserved0;
  std::string name = ToNarrowAnsi(wide.cFileName, MAX_PATH);
  if (name.empty()) {
    const std::string shortName = ToNarrowAnsi(wide.cAlternateFileName, sizeof found.cAlternateFileName);
    if (shortName.empty()) return false;
    SetupLogF("The name of \"%s\" has characters that the ANSI code page cannot hold; using its short name",
              shortName.c_str());
    name = shortName;
  }
  lstrcpynA(found.cFileName, name.c_str(), MAX_PATH);
  const std::string alternate = ToNarrowAnsi(wide.cAlternateFileName, sizeof found.cAlternateFileName);
  lstrcpynA(found.cAlternateFileName, alternate.c_str(), sizeof found.cAlternateFileName);
  return true;
}

using FindNextFileWFn = BOOL(WINAPI*)(HANDLE, LPWIN32_FIND_DATAW);

// The next entry whose name has an ANSI form (long or short); the others
// cannot be named by this program and are passed over with a log line.
bool NextNamedEntry(FindNextFileWFn findNextFileW, HANDLE search, WIN32_FIND_DATAW& wide,
                    WIN32_FIND_DATAA& found, int* unnamed) {
  while (!NarrowFindData(wide, found)) {
    SetupLog("Skipping a file whose name the ANSI code page cannot hold and that has no short name");
    if (unnamed != nullptr) ++*unnamed;
    if (findNextFileW == nullptr || !findNextFileW(search, &wide)) return false;
  }
  return true;
}

}  // namespace

namespace {

// The shape of the calls that take names and answer TRUE or FALSE: the ANSI
// call on the 9x family; on NT the wide entry point, looked up and called
// with the ANSI conversions of the names.
template <typename WideFn, typename AnsiCall, typename WideCall>
bool CallByName(const char* entryPoint, AnsiCall ansiCall, WideCall wideCall) {
  if (!IsWindowsNT()) return ansiCall() != FALSE;
  auto wide = LookUpKernel<WideFn>(entryPoint);
  return wide != nullptr && wideCall(wide) != FALSE;
}

std::wstring Wide(const std::string& name) { return ToWideAnsi(name.c_str()); }

}  // namespace

bool DeleteFileByName(const std::string& fileName) {
  return CallByName<BOOL(WINAPI*)(LPCWSTR)>(
      "DeleteFileW", [&] { return DeleteFileA(fileName.c_str()); },
      [&](auto deleteFileW) { return deleteFileW(Wide(fileName).c_str()); });
}

bool CreateFolderByName(const std::string& folder) {
  return CallByName<BOOL(WINAPI*)(LPCWSTR, LPSECURITY_ATTRIBUTES)>(
      "CreateDirectoryW", [&] { return CreateDirectoryA(folder.c_str(), nullptr); },
      [&](auto createDirectoryW) { return createDirectoryW(Wide(folder).c_str(), nullptr); });
}

bool RemoveFolderByName(const std::string& folder) {
  return CallByName<BOOL(WINAPI*)(LPCWSTR)>(
      "RemoveDirectoryW", [&] { return RemoveDirectoryA(folder.c_str()); },
      [&](auto removeDirectoryW) { return removeDirectoryW(Wide(folder).c_str()); });
}

bool CopyFileByName(const std::string& from, const std::string& to, bool failIfExists) {
  const BOOL noOverwrite = failIfExists ? TRUE : FALSE;
  return CallByName<BOOL(WINAPI*)(LPCWSTR, LPCWSTR, BOOL)>(
      "CopyFileW", [&] { return CopyFileA(from.c_str(), to.c_str(), noOverwrite); },
      [&](auto copyFileW) { return copyFileW(Wide(from).c_str(), Wide(to).c_str(), noOverwrite); });
}

bool SetFileAttributesByName(const std::string& fileName, DWORD attributes) {
  return CallByName<BOOL(WINAPI*)(LPCWSTR, DWORD)>(
      "SetFileAttributesW", [&] { return SetFileAttributesA(fileName.c_str(), attributes); },
      [&](auto setAttributesW) { return setAttributesW(Wide(fileName).c_str(), attributes); });
}

DWORD FileAttributesByName(const std::string& fileName) {
  if (!IsWindowsNT()) return GetFileAttributesA(fileName.c_str());
  auto getAttributesW = LookUpKernel<DWORD(WINAPI*)(LPCWSTR)>("GetFileAttributesW");
  if (getAttributesW == nullptr) return INVALID_FILE_ATTRIBUTES;
  return WithAnsiThenOem<DWORD>(
      fileName, kPathBufferChars, [&](const std::wstring& name) { return getAttributesW(name.c_str()); },
      [](DWORD attributes) { return attributes == INVALID_FILE_ATTRIBUTES; });
}

bool MoveFileByName(const std::string& existingName, const std::string& newName) {
  if (!IsWindowsNT()) return MoveFileA(existingName.c_str(), newName.c_str()) != FALSE;
  auto moveFileW = LookUpKernel<BOOL(WINAPI*)(LPCWSTR, LPCWSTR)>("MoveFileW");
  if (moveFileW == nullptr) return false;
  const std::wstring wideFrom = ToWideAnsi(existingName.c_str());
  const std::wstring wideTo = ToWideAnsi(newName.c_str());
  return moveFileW(wideFrom.c_str(), wideTo.c_str()) != FALSE;
}

ScopedFile OpenFileByName(const std::string& fileName, DWORD access, DWORD shareMode, DWORD creation,
                          DWORD flags) {
  if (!IsWindowsNT())
    return ScopedFile(CreateFileA(fileName.c_str(), access, shareMode, nullptr, creation, flags, nullptr));
  using CreateFileWFn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  auto createFileW = LookUpKernel<CreateFileWFn>("CreateFileW");
  if (createFileW == nullptr) return ScopedFile();
  auto open = [&](const std::wstring& name) {
    return createFileW(name.c_str(), access, shareMode, nullptr, creation, flags, nullptr);
  };
  // Only a read of a file that exists is a look-up: anything else could
  // create or change a file under the wrong name.
  if (creation != OPEN_EXISTING || access != GENERIC_READ) return ScopedFile(open(Wide(fileName)));
  return ScopedFile(WithAnsiThenOem<HANDLE>(fileName, kPathBufferChars, open,
                                            [](HANDLE h) { return h == INVALID_HANDLE_VALUE; }));
}

ScopedFind FindFirstFileByName(const std::string& pattern, WIN32_FIND_DATAA& found, int* unnamed) {
  found = WIN32_FIND_DATAA{};
  if (!IsWindowsNT()) return ScopedFind(FindFirstFileA(pattern.c_str(), &found));
  auto findFirstFileW = LookUpKernel<HANDLE(WINAPI*)(LPCWSTR, LPWIN32_FIND_DATAW)>("FindFirstFileW");
  if (findFirstFileW == nullptr) return ScopedFind();
  WIN32_FIND_DATAW wide = {};
  ScopedFind search(WithAnsiThenOem<HANDLE>(
      pattern, kPathBufferChars, [&](const std::wstring& name) { return findFirstFileW(name.c_str(), &wide); },
      [](HANDLE h) { return h == INVALID_HANDLE_VALUE; }));
  if (!search) return search;
  if (!NextNamedEntry(LookUpKernel<FindNextFileWFn>("FindNextFileW"), search.Get(), wide, found, unnamed)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return ScopedFind();
  }
  return search;
}

bool FindNextFileByName(const ScopedFind& search, WIN32_FIND_DATAA& found, int* unnamed) {
  if (!IsWindowsNT()) return FindNextFileA(search.Get(), &found) != FALSE;
  auto findNextFileW = LookUpKernel<FindNextFileWFn>("FindNextFileW");
  if (findNextFileW == nullptr) return false;
  WIN32_FIND_DATAW wide = {};
  if (!findNextFileW(search.Get(), &wide)) return false;
  return NextNamedEntry(findNextFileW, search.Get(), wide, found, unnamed);
}

std::string TempFolderPath() {
  if (!IsWindowsNT()) {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return std::string();
    return std::string(buffer, length);
  }
  auto getTempPathW = LookUpKernel<DWORD(WINAPI*)(DWORD, LPWSTR)>("GetTempPathW");
  if (getTempPathW == nullptr) return std::string();
  wchar_t wide[kPathBufferChars + 1] = {};
  const DWORD length = getTempPathW(kPathBufferChars + 1, wide);
  if (length == 0 || length > kPathBufferChars) return std::string();
  std::string folder = ToNarrowAnsi(wide);
  if (folder.empty()) {
    SetupLog("The temporary-files folder has characters that the ANSI code page cannot hold");
    // Its short form is plain ASCII on every file system that makes one.
    auto getShortPathW = LookUpKernel<DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD)>("GetShortPathNameW");
    wchar_t shortForm[kPathBufferChars] = {};
    if (getShortPathW != nullptr) {
      const DWORD shortLength = getShortPathW(wide, shortForm, kPathBufferChars);
      if (shortLength > 0 && shortLength < kPathBufferChars) folder = ToNarrowAnsi(shortForm);
    }
    if (folder.empty()) return NoTranslation(std::string());
  }
  return folder;
}

bool CreateTempFileIn(const std::string& folder, const char* prefix, std::string& path) {
  path.clear();
  if (!IsWindowsNT()) {
    char buffer[MAX_PATH + 1] = {};
    if (GetTempFileNameA(folder.c_str(), prefix, 0, buffer) == 0) return false;
    path = buffer;
    return true;
  }
  auto getTempFileNameW = LookUpKernel<UINT(WINAPI*)(LPCWSTR, LPCWSTR, UINT, LPWSTR)>("GetTempFileNameW");
  if (getTempFileNameW == nullptr) return false;
  const std::wstring wideFolder = ToWideAnsi(folder.c_str());
  const std::wstring widePrefix = ToWideAnsi(prefix);
  wchar_t wide[MAX_PATH + 1] = {};
  if (getTempFileNameW(wideFolder.c_str(), widePrefix.c_str(), 0, wide) == 0) return false;
  // The folder was ANSI text and the name the system adds is ASCII.
  path = ToNarrowAnsi(wide);
  return !path.empty();
}

std::string ShortPathOf(const std::string& path) {
  if (!IsWindowsNT()) {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return std::string();
    return std::string(buffer, length);
  }
  auto getShortPathW = LookUpKernel<DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD)>("GetShortPathNameW");
  if (getShortPathW == nullptr) return std::string();
  const std::wstring wide = ToWideAnsi(path.c_str());
  wchar_t buffer[kPathBufferChars] = {};
  const DWORD length = getShortPathW(wide.c_str(), buffer, kPathBufferChars);
  if (length == 0 || length >= kPathBufferChars) return std::string();
  return ToNarrowAnsi(buffer);
}

bool DeleteAtRestartByName(const std::string& path, bool& available) {
  available = false;
  if (!IsWindowsNT()) {
    // KERNEL32.DLL is loaded in every process; only its own copy is asked.
    // The 9x family has the entry point but fails it.
    HMODULE kernel = GetModuleHandleA((SystemFolderPath() + "KERNEL32.DLL").c_str());
    auto moveFileExA = kernel == nullptr ? nullptr
                                         : reinterpret_cast<BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD)>(
                                               reinterpret_cast<void*>(GetProcAddress(kernel, "MoveFileExA")));
    if (moveFileExA == nullptr) return false;
    available = true;
    return moveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  }
  auto moveFileExW = LookUpKernel<BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD)>("MoveFileExW");
  if (moveFileExW == nullptr) return false;
  available = true;
  return moveFileExW(Wide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
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
    auto createProcessW = LookUpKernel<CreateProcessWFn>("CreateProcessW");
    if (createProcessW == nullptr) {
      SetupLogF("Failed to load CreateProcess entry point. Error Code = %08X",
                static_cast<unsigned>(GetLastError()));
      return false;
    }
    // One conversion only: a second reading of the command line could start
    // another program.
    const std::wstring wide = ToWideAnsi(commandLine.c_str(), kCommandLineChars);
    // CreateProcessW may write into its command-line buffer.
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    started = createProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &info);
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
  auto getModuleFileNameW = LookUpKernel<DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD)>("GetModuleFileNameW");
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
  std::string path = ToNarrowAnsi(wide);
  if (path.empty() && wide[0] != L'\0') {
    // A medium whose folder has characters outside the ANSI code page is
    // still reachable through its short name.
    auto getShortPathW = LookUpKernel<DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD)>("GetShortPathNameW");
    wchar_t shortForm[kPathBufferChars] = {};
    if (getShortPathW != nullptr) {
      const DWORD shortLength = getShortPathW(wide, shortForm, kPathBufferChars);
      if (shortLength > 0 && shortLength < kPathBufferChars) path = ToNarrowAnsi(shortForm);
    }
  }
  if (path.empty()) SetupLog("Failed to convert Unicode module filename to MBCS");
  return path;
}

namespace {

// The process command line as the NT family keeps it, or null (with the
// system's error code) when GetCommandLineW cannot be found.
const wchar_t* WideCommandLine() {
  auto getCommandLineW = LookUpKernel<LPWSTR(WINAPI*)()>("GetCommandLineW");
  return getCommandLineW != nullptr ? getCommandLineW() : nullptr;
}

}  // namespace

std::string GetProgramCommandLine() {
  if (!IsWindowsNT()) {
    const char* text = GetCommandLineA();
    return text != nullptr ? std::string(text) : std::string();
  }
  const wchar_t* wide = WideCommandLine();
  if (wide == nullptr) {
    SetupLogF("Failed to load GetCommandLineW entry point. Error Code = %08X",
              static_cast<unsigned>(GetLastError()));
    return std::string();
  }
  std::string text = ToNarrowAnsi(wide, kCommandLineChars);
  if (text.empty()) SetupLog("Failed to convert Unicode command line to MBCS");
  return text;
}

std::string GetProgramSwitchText() {
  if (!IsWindowsNT()) return GetProgramCommandLine();
  const wchar_t* wide = WideCommandLine();
  if (wide == nullptr) return std::string();
  std::string text = ToNarrowAnsi(wide, kCommandLineChars);
  if (!text.empty()) return text;
  for (; *wide != L'\0' && text.size() < kCommandLineChars; ++wide) {
    text.push_back(*wide < 0x80 ? static_cast<char>(*wide) : '?');
  }
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
  path = ToNarrowAnsi(wide);
  if (path.empty()) return static_cast<HRESULT>(0x80070057);
  return S_OK;
}

HRESULT LoadPersistFile(IPersistFile* file, const std::string& fileName, DWORD mode) {
  if (file == nullptr) return E_POINTER;
  return WithAnsiThenOem<HRESULT>(
      fileName, kPathBufferChars, [&](const std::wstring& name) { return file->Load(name.c_str(), mode); },
      [](HRESULT hr) { return FAILED(hr); });
}

HRESULT SavePersistFile(IPersistFile* file, const std::string& fileName, BOOL remember) {
  if (file == nullptr) return E_POINTER;
  return file->Save(Wide(fileName).c_str(), remember);
}

namespace {

// Defined here rather than taken from libuuid (see shell_link.cpp).
constexpr GUID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The wide face of the same link object, released when it goes.
class WideShellLink {
 public:
  explicit WideShellLink(IShellLinkA* link) {
    if (link == nullptr) {
      result_ = E_POINTER;
      return;
    }
    result_ = link->QueryInterface(kIidShellLinkW, reinterpret_cast<void**>(&link_));
  }
  ~WideShellLink() {
    if (link_ != nullptr) link_->Release();
  }
  WideShellLink(const WideShellLink&) = delete;
  WideShellLink& operator=(const WideShellLink&) = delete;
  HRESULT Result() const { return result_; }
  IShellLinkW* operator->() const { return link_; }

 private:
  IShellLinkW* link_ = nullptr;
  HRESULT result_ = E_FAIL;
};

// Each field is at most a path long; the 9x shell's own limit.
constexpr int kShellLinkChars = MAX_PATH;

}  // namespace

HRESULT SetShellLinkText(IShellLinkA* link, ShellLinkField field, const std::string& text) {
  if (link == nullptr) return E_POINTER;
  if (!IsWindowsNT()) {
    switch (field) {
      case ShellLinkField::Path: return link->SetPath(text.c_str());
      case ShellLinkField::Arguments: return link->SetArguments(text.c_str());
      case ShellLinkField::Description: return link->SetDescription(text.c_str());
    }
    return E_INVALIDARG;
  }
  WideShellLink wideLink(link);
  if (FAILED(wideLink.Result())) return wideLink.Result();
  const std::wstring wide = ToWideAnsi(text.c_str(), kCommandLineChars);
  if (wide.empty() && !text.empty()) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  switch (field) {
    case ShellLinkField::Path: return wideLink->SetPath(wide.c_str());
    case ShellLinkField::Arguments: return wideLink->SetArguments(wide.c_str());
    case ShellLinkField::Description: return wideLink->SetDescription(wide.c_str());
  }
  return E_INVALIDARG;
}

HRESULT GetShellLinkText(IShellLinkA* link, ShellLinkField field, std::string& text) {
  text.clear();
  if (link == nullptr) return E_POINTER;
  if (!IsWindowsNT()) {
    char buffer[kShellLinkChars + 1] = {};
    HRESULT hr = E_INVALIDARG;
    switch (field) {
      case ShellLinkField::Path: hr = link->GetPath(buffer, kShellLinkChars, nullptr, 0); break;
      case ShellLinkField::Arguments: hr = link->GetArguments(buffer, kShellLinkChars); break;
      case ShellLinkField::Description: hr = link->GetDescription(buffer, kShellLinkChars); break;
    }
    if (SUCCEEDED(hr)) text = buffer;
    return hr;
  }
  WideShellLink wideLink(link);
  if (FAILED(wideLink.Result())) return wideLink.Result();
  wchar_t buffer[kShellLinkChars + 1] = {};
  HRESULT hr = E_INVALIDARG;
  switch (field) {
    case ShellLinkField::Path: hr = wideLink->GetPath(buffer, kShellLinkChars, nullptr, 0); break;
    case ShellLinkField::Arguments: hr = wideLink->GetArguments(buffer, kShellLinkChars); break;
    case ShellLinkField::Description: hr = wideLink->GetDescription(buffer, kShellLinkChars); break;
  }
  if (FAILED(hr)) return hr;
  text = ToNarrowAnsi(buffer, kShellLinkChars + 1);
  if (text.empty() && buffer[0] != L'\0') return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  return hr;
}

}  // namespace kq
