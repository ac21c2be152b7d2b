#include "sys/wide_ansi_files.h"

#include "sys/setup_log.h"
#include "sys/wide_ansi_call.h"
#include "text/mbcs_path.h"

namespace kq {

using wide_call::AnsiLongElseShort;
using wide_call::AnsiPathLongElseShort;
using wide_call::CallByName;
using wide_call::LookUpKernel;
using wide_call::NameForm;
using wide_call::NoTranslation;
using wide_call::Wide;
using wide_call::WideShortPath;
using wide_call::WithAnsiThenOem;

namespace {

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
  std::string name;
  const NameForm form = AnsiLongElseShort(
      wide.cFileName, MAX_PATH, [&wide] { return std::wstring(wide.cAlternateFileName); },
      sizeof found.cAlternateFileName, name);
  if (form == NameForm::kNone) return false;
  if (form == NameForm::kShort)
    SetupLogF("The name of \"%s\" has characters that the ANSI code page cannot hold; using its short name",
              name.c_str());
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

bool MoveFileByName(const std::string& existingName, const std::string& newName) {
  return CallByName<BOOL(WINAPI*)(LPCWSTR, LPCWSTR)>(
      "MoveFileW", [&] { return MoveFileA(existingName.c_str(), newName.c_str()); },
      [&](auto moveFileW) { return moveFileW(Wide(existingName).c_str(), Wide(newName).c_str()); });
}

bool ReplaceFileByName(const std::string& existingName, const std::string& newName) {
  if (IsWindowsNT()) {
    auto moveFileExW = LookUpKernel<BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD)>("MoveFileExW");
    if (moveFileExW == nullptr) return false;
    return moveFileExW(Wide(existingName).c_str(), Wide(newName).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }
  if (!DeleteFileA(newName.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  return MoveFileA(existingName.c_str(), newName.c_str()) != FALSE;
}

DWORD FileAttributesByName(const std::string& fileName) {
  if (!IsWindowsNT()) return GetFileAttributesA(fileName.c_str());
  auto getAttributesW = LookUpKernel<DWORD(WINAPI*)(LPCWSTR)>("GetFileAttributesW");
  if (getAttributesW == nullptr) return INVALID_FILE_ATTRIBUTES;
  return WithAnsiThenOem<DWORD>(
      fileName, kPathBufferChars, [&](const std::wstring& name) { return getAttributesW(name.c_str()); },
      [](DWORD attributes) { return attributes == INVALID_FILE_ATTRIBUTES; });
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
  std::string folder;
  const NameForm form = AnsiPathLongElseShort(wide, folder);
  if (form != NameForm::kLong)
    SetupLog("The temporary-files folder has characters that the ANSI code page cannot hold");
  if (form == NameForm::kNone) return NoTranslation(std::string());
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

bool DiskFreeSpaceByName(const std::string& folder, unsigned long long& freeBytes) {
  freeBytes = 0;
  ULARGE_INTEGER available = {};
  if (IsWindowsNT()) {
    auto getFreeSpaceExW =
        LookUpKernel<BOOL(WINAPI*)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER)>("GetDiskFreeSpaceExW");
    if (getFreeSpaceExW == nullptr || !getFreeSpaceExW(Wide(folder).c_str(), &available, nullptr, nullptr))
      return false;
    freeBytes = available.QuadPart;
    return true;
  }
  auto getFreeSpaceExA =
      LookUpKernel<BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER)>("GetDiskFreeSpaceExA");
  if (getFreeSpaceExA != nullptr) {
    if (!getFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return false;
    freeBytes = available.QuadPart;
    return true;
  }
  // The first Windows 95 answers for a drive's root only, and only for a
  // drive letter.
  if (folder.size() < 3 || folder[1] != ':' || folder[2] != '\\') {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceA(folder.substr(0, 3).c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters))
    return false;
  freeBytes = static_cast<unsigned long long>(sectorsPerCluster) * bytesPerSector * freeClusters;
  return true;
}

std::string ShortPathOf(const std::string& path) {
  if (!IsWindowsNT()) {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return std::string();
    return std::string(buffer, length);
  }
  return ToNarrowAnsi(WideShortPath(Wide(path).c_str()).c_str());
}

bool DeleteAtRestartByName(const std::string& path, bool& available) {
  available = false;
  if (!IsWindowsNT()) {
    // KERNEL32.DLL is loaded in every process; only its own copy is asked.
    // The 9x family has the entry point but fails it.
    HMODULE kernel = GetModuleHandleA(JoinPath(SystemFolderPath(), "KERNEL32.DLL").c_str());
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

}  // namespace kq
