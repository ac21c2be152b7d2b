#pragma once
// The folder of a distribution medium as the checker sees it. Names in setup
// data are Windows names: relative, with backslashes, and without regard to
// letter case, so on the host they are matched against the folder's entries
// one part at a time.
#include <string>

namespace kq {

class MediumFolder {
 public:
  explicit MediumFolder(std::string root) : root_(std::move(root)) {}

  bool Exists() const;
  // The file system path of an existing file named relative to the medium
  // ("Lang\SETUP.INI") in the text of the target systems' ANSI code page
  // (SetTextCodePage); false when there is none.
  bool FindFile(const std::string& relative, std::string& path) const;
  // The whole file; false when it cannot be read.
  static bool ReadFile(const std::string& path, std::string& bytes);

 private:
  std::string root_;
};

// "Lang\SETUP.INI" gives "Lang\"; a name without a folder gives "".
std::string RelativeFolder(const std::string& relative);

// Forward slashes turned into backslashes: how names are written in findings.
std::string WindowsName(const std::string& relative);

}  // namespace kq
