#pragma once
// Folder trees: a file-by-file copy of a tree into another folder, its size,
// and the deletion of a tree's contents (what cannot be deleted now is
// scheduled for the next restart, sys/deferred_deletion.h). Every failure is
// logged and goes no further. Paths are ANSI text (see sys/wide_ansi.h) of
// at most MAX_PATH characters; anything longer is skipped with a log line.
#include <windows.h>

#include <string>
#include <vector>

namespace kq {

// Copies every file and folder of `source` into `target` (both ending with a
// backslash), refusing to overwrite an existing file and skipping folders
// whose names begin with "." and folders that are reparse points (links and
// junctions, with a log line; a file link is copied as the file it points
// to). Every file is flushed to the disk once copied: what a resume runs
// from after a power loss is what was copied. Fails at the first file or
// folder that cannot be copied or flushed.
bool CopyFolderTree(const std::string& source, const std::string& target);

// Adds up the sizes of the files CopyFolderTree would copy from `source`
// (ending with a backslash), stopping as soon as the sum passes `limit`:
// true when the whole tree fits within it. `counted` receives the sum so
// far, which is the tree's size when true.
bool FolderTreeFitsWithin(const std::string& source, unsigned long long limit, unsigned long long& counted);

// Deletes everything inside `folder` (ending with a backslash): read-only,
// hidden and system attributes are reset first, folders whose names begin
// with "." are left alone, and what cannot be deleted is scheduled through
// LogForDeletion. A reparse point (junction or symbolic link) is removed
// itself; what it points to is never touched. Entries of `folder` itself
// named in `keep` (letter case aside) stay.
void DeleteFolderContents(const std::string& folder, const std::vector<std::string>& keep = {});

// Whether `folder` (ending with a backslash) holds nothing but entries
// named in `names` (letter case aside) and folders whose names begin with
// "." (which DeleteFolderContents leaves).
bool FolderHoldsOnly(const std::string& folder, const std::vector<std::string>& names);

}  // namespace kq
