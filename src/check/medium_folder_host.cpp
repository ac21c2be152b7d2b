#include <dirent.h>
#include <locale.h>
#include <sys/stat.h>
#include <wctype.h>

#include <cstdint>
#include <vector>

#include "check/medium_folder.h"
#include "text/ansi_code_page.h"

namespace kq {

namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The code points of UTF-8 text; false for text that is not UTF-8.
bool DecodeUtf8(const std::string& text, std::u32string& decoded) {
  decoded.clear();
  for (size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return false;
    uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
      const unsigned char next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      c = c << 6 | (next & 0x3F);
    }
    decoded += static_cast<char32_t>(c);
    at += length;
  }
  return true;
}

// Windows compares file names without regard to letter case, in every
// script: "COMPTABILITÉ.MSI" names "Comptabilité.msi". Unicode's simple
// case mapping comes from the C library's UTF-8 locale.
bool SameNameAnyCase(const std::string& a, const std::string& b) {
  static const locale_t kUtf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  std::u32string left;
  std::u32string right;
  if (!DecodeUtf8(a, left) || !DecodeUtf8(b, right) || left.size() != right.size()) return a == b;
  for (size_t i = 0; i < left.size(); ++i) {
    if (left[i] == right[i]) continue;
    if (kUtf8 == static_cast<locale_t>(nullptr)) return false;
    if (towupper_l(static_cast<wint_t>(left[i]), kUtf8) != towupper_l(static_cast<wint_t>(right[i]), kUtf8))
      return false;
  }
  return true;
}

// The entry of `folder` named `part` in any letter case, the exact name first.
bool FindEntry(const std::string& folder, const std::string& part, std::string& found) {
  struct stat info {};
  if (stat((folder + "/" + part).c_str(), &info) == 0) {
    found = part;
    return true;
  }
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return false;
  bool matched = false;
  while (const dirent* entry = readdir(directory)) {
    if (SameNameAnyCase(entry->d_name, part)) {
      found = entry->d_name;
      matched = true;
      break;
    }
  }
  closedir(directory);
  return matched;
}

// The .INI files under `folder` (a file system path), named relative to the
// medium by `prefix` ("Lang\\" in the target code page).
void CollectIniFiles(const std::string& folder, const std::string& prefix, std::vector<std::string>& names) {
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return;
  std::vector<std::string> entries;
  while (const dirent* entry = readdir(directory)) entries.push_back(entry->d_name);
  closedir(directory);
  for (const std::string& entry : entries) {
    std::string name;
    if (entry.empty() || entry[0] == '.' || !Utf8ToAnsi(entry, name)) continue;
    const std::string path = folder + "/" + entry;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      CollectIniFiles(path, prefix + name + "\\", names);
    } else if (IsIniName(name) && !IsDirectory(path)) {
      names.push_back(prefix + name);
    }
  }
}

}  // namespace

std::vector<std::string> MediumFolder::IniFiles() const {
  std::vector<std::string> names;
  CollectIniFiles(root_, std::string(), names);
  SortNames(names);
  return names;
}

bool MediumFolder::Exists() const { return IsDirectory(root_); }

bool MediumFolder::FindFile(const std::string& relative, std::string& path) const {
  // Names in setup data are text of the target systems' ANSI code page, as
  // SETUP.EXE reads them; this file system names files in UTF-8.
  std::string name;
  if (!AnsiToUtf8(WindowsName(relative), name)) return false;
  std::string current = root_;
  size_t begin = 0;
  while (begin <= name.size()) {
    size_t end = name.find('\\', begin);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(begin, end - begin);
    begin = end + 1;
    if (part.empty() || part == ".") continue;
    std::string found;
    if (part == "..") {
      found = part;
    } else if (!FindEntry(current, part, found)) {
      return false;
    }
    current += "/" + found;
  }
  if (IsDirectory(current)) return false;
  path = current;
  return true;
}

}  // namespace kq
