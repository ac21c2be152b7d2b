#include "sys/folder_tree.h"

#include "sys/deferred_deletion.h"
#include "sys/scoped_handle.h"
#include "sys/session_end.h"
#include "sys/setup_log.h"
#include "sys/whole_file.h"
#include "sys/wide_ansi.h"
#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

constexpr DWORD kResettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool IsFolder(const WIN32_FIND_DATAA& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool IsReparsePoint(const WIN32_FIND_DATAA& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// "." and "..", and every folder the medium hides by a leading dot.
bool IsDotName(const WIN32_FIND_DATAA& entry) { return entry.cFileName[0] == '.'; }

// Paths the ANSI calls accept: shorter than MAX_PATH with room for the
// backslash a folder gets appended.
bool IsAnsiPathLength(const std::string& path) { return path.size() + 1 < MAX_PATH; }

bool CannotCopyWhole(const std::string& folder) {
  SetupLogF("The copy stops: \"%s\" holds a name that the ANSI code page cannot hold and that has no short name",
            folder.c_str());
  return false;
}

bool FitsAnsiPath(const std::string& path) {
  if (IsAnsiPathLength(path)) return true;
  SetupLogF("Skipping \"%s\": the path is longer than %d characters", path.c_str(), MAX_PATH - 2);
  return false;
}

// The entries of one folder, "." and ".." included, in the order the file
// system gives them, and how many entries had no name this program can use.
class FolderSearch {
 public:
  explicit FolderSearch(const std::string& folder)
      : find_(FindFirstFileByName(JoinPath(folder, "*.*"), entry_, &unnamed_)) {}
  bool Started() const { return find_.IsValid(); }
  const WIN32_FIND_DATAA& Entry() const { return entry_; }
  bool Next() { return FindNextFileByName(find_, entry_, &unnamed_); }
  int Unnamed() const { return unnamed_; }

 private:
  WIN32_FIND_DATAA entry_ = {};
  int unnamed_ = 0;
  ScopedFind find_;
};

bool IsKept(const char* name, const std::vector<std::string>& keep) {
  for (const std::string& kept : keep) {
    if (EqualsNoCase(kept, name)) return true;
  }
  return false;
}

// A copy that would leave out a file the medium has is no copy to run
// from: the setup goes on from the medium itself. `copied` collects the
// files made, to be flushed once all are written.
bool CopyTree(const std::string& source, const std::string& target, std::vector<std::string>& copied) {
  FolderSearch search(source);
  if (!search.Started()) {
    // Nothing to copy, unless every entry was one without a usable name.
    return search.Unnamed() == 0 || CannotCopyWhole(source);
  }
  do {
    if (IsSessionEnding()) {
      SetupLog("The copy stops: the session is ending");
      return false;
    }
    if (search.Unnamed() != 0) return CannotCopyWhole(source);
    const WIN32_FIND_DATAA& entry = search.Entry();
    if (IsFolder(entry) && IsDotName(entry)) continue;
    std::string from = source + entry.cFileName;
    std::string to = target + entry.cFileName;
    if (!IsAnsiPathLength(from) || !IsAnsiPathLength(to)) {
      SetupLogF("The copy stops: \"%s\" or \"%s\" is longer than %d characters", from.c_str(), to.c_str(),
                MAX_PATH - 2);
      return false;
    }
    if (IsFolder(entry) && IsReparsePoint(entry)) {
      // A link or junction may point back up the tree (a loop copies
      // without end) or out of the medium: the copy holds the medium's own
      // folders only.
      SetupLogF("Not copying \"%s\": the folder is a link or junction", from.c_str());
      continue;
    }
    if (IsFolder(entry)) {
      if (!CreateFolderByName(to)) {
        SetupLogF("Failed to create directory: \"%s\", Error code = 0x%08X", to.c_str(),
                  static_cast<unsigned>(GetLastError()));
        return false;
      }
      from += '\\';
      to += '\\';
      if (!CopyTree(from, to, copied)) return false;
    } else if (!CopyFileByName(from, to, true)) {
      SetupLogF("Failed to copy file: \"%s\" to \"%s\", Error code = 0x%08X", from.c_str(), to.c_str(),
                static_cast<unsigned>(GetLastError()));
      return false;
    } else {
      copied.push_back(to);
    }
  } while (search.Next());
  return search.Unnamed() == 0 || CannotCopyWhole(source);
}

}  // namespace

bool CopyFolderTree(const std::string& source, const std::string& target) {
  std::vector<std::string> copied;
  if (!CopyTree(source, target, copied)) return false;
  // A resume at the next logon runs from the copy: a file still in the
  // cache when the power goes may come back empty or full of zeros. The
  // flushes come after the last file, when the system has written most of
  // them back already, rather than one disk wait per file.
  for (const std::string& file : copied) {
    if (!FlushFileByName(file)) {
      SetupLogF("Failed to flush file: \"%s\", Error code = 0x%08X", file.c_str(),
                static_cast<unsigned>(GetLastError()));
      return false;
    }
  }
  return true;
}

// Walks what CopyFolderTree walks: dot folders and linked folders are left
// out, as the copy leaves them out.
bool FolderTreeFitsWithin(const std::string& source, unsigned long long limit, unsigned long long& counted) {
  FolderSearch search(source);
  if (!search.Started()) return true;
  do {
    const WIN32_FIND_DATAA& entry = search.Entry();
    if (IsFolder(entry) && (IsDotName(entry) || IsReparsePoint(entry))) continue;
    if (IsFolder(entry)) {
      if (!FolderTreeFitsWithin(source + entry.cFileName + "\\", limit, counted)) return false;
      continue;
    }
    counted += (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    if (counted > limit) return false;
  } while (search.Next());
  return true;
}

bool FolderHoldsOnly(const std::string& folder, const std::vector<std::string>& names) {
  FolderSearch search(folder);
  if (!search.Started()) return search.Unnamed() == 0;
  do {
    const WIN32_FIND_DATAA& entry = search.Entry();
    if (IsFolder(entry) && IsDotName(entry)) continue;
    if (!IsKept(entry.cFileName, names)) return false;
  } while (search.Next());
  return search.Unnamed() == 0;
}

void DeleteFolderContents(const std::string& folder, const std::vector<std::string>& keep) {
  FolderSearch search(folder);
  if (!search.Started()) return;
  do {
    const WIN32_FIND_DATAA& entry = search.Entry();
    if (IsFolder(entry) && IsDotName(entry)) continue;
    if (IsKept(entry.cFileName, keep)) continue;
    const std::string path = JoinPath(folder, entry.cFileName);
    if (!FitsAnsiPath(path)) continue;
    if (!IsFolder(entry)) {
      const DWORD attributes = entry.dwFileAttributes;
      if ((attributes & kResettableAttributes) != 0) {
        const DWORD reset = attributes & ~kResettableAttributes;
        SetupLogF("Resetting file attributes for \"%s\" from 0x%08X to 0x%08X", path.c_str(),
                  static_cast<unsigned>(attributes), static_cast<unsigned>(reset));
        if (!SetFileAttributesByName(path, reset))
          SetupLogF("Failed to set file attributes. Error code = 0x%08X", static_cast<unsigned>(GetLastError()));
      }
      if (!DeleteFileByName(path)) {
        SetupLogF("Failed to delete file: \"%s\", Error code = 0x%08X", path.c_str(),
                  static_cast<unsigned>(GetLastError()));
        LogForDeletion(path);
      }
      continue;
    }
    // A junction or symbolic link is removed as itself: emptying it would
    // delete the files of the folder it points to.
    if (!IsReparsePoint(entry)) DeleteFolderContents(path + "\\");
    if (!RemoveFolderByName(path)) {
      SetupLogF("Failed to remove directory: \"%s\", Error code = 0x%08X", path.c_str(),
                static_cast<unsigned>(GetLastError()));
      LogForDeletion(path);
    }
  } while (search.Next());
}

}  // namespace kq
