#pragma once
// The folder of a distribution medium as the checker sees it. Names in setup
// data are Windows names: relative, with backslashes, and without regard to
// letter case, so on the host they are matched against the folder's entries
// one part at a time.
#include <string>
#include <vector>

namespace kq {

class MediumFolder {
 public:
  explicit MediumFolder(std::string root) : root_(std::move(root)) {}

  bool Exists() const;
  // The file system path of an existing file named relative to the medium
  // ("Lang\SETUP.INI") in the text of the target systems' ANSI code page
  // (SetTextCodePage); false when there is none.
  bool FindFile(const std::string& relative, std::string& path) const;
  // Every file of the medium whose name ends in ".INI" (any letter case),
  // relative to it ("Lang\DE.INI"), in the target code page, sorted by name
  // letter case aside. Folders whose names begin with "." and linked
  // folders are not entered; a name the code page cannot hold is left out.
  std::vector<std::string> IniFiles() const;
  // The whole file; false when it cannot be read.
  static bool ReadFile(const std::string& path, std::string& bytes);

 private:
  std::string root_;
};

// Whether a file name ends in ".INI", letter case aside.
bool IsIniName(const std::string& name);
// Sorts relative names letter case aside, so that both platforms list alike.
void SortNames(std::vector<std::string>& names);

// "Lang\SETUP.INI" gives "Lang\"; a name without a folder gives "".
std::string RelativeFolder(const std::string& relative);

// Forward slashes turned into backslashes: how names are written in findings.
std::string WindowsName(const std::string& relative);

}  // namespace kq
