#include "sys/shortcut_owner.h"

#include "text/ascii_text.h"

namespace kq {

std::string TagDataFile(const std::string& tag) {
  const size_t dot = tag.rfind('.');
  return dot == std::string::npos ? tag : tag.substr(0, dot);
}

bool TagNamesDataFile(const std::string& description, const std::string& dataFile) {
  return EqualsNoCase(TagDataFile(description), dataFile);
}

ShortcutOwner TagClassifier::operator()(const std::string&, const std::string& description) const {
  return TagNamesDataFile(description, dataFile_) ? ShortcutOwner::kThisSetup : ShortcutOwner::kAnotherSetup;
}

}  // namespace kq
