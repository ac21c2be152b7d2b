#pragma once
// Whose a resume shortcut is: the resume shortcut's name is shared by every
// setup of this kind, so the one that places or removes a shortcut tells
// its own from others' by what the shortcut starts. Portable: no
// <windows.h>.
#include <string>

namespace kq {

// Whose a resume shortcut is, told from what it starts.
enum class ShortcutOwner {
  kNobody,        // what it starts is gone for good: its name may be reused
  kThisSetup,     // this setup's (any tag): replaced or removed by it
  kAnotherSetup,  // left alone
};
// Tells whose a resume shortcut is from what it starts (`target`) and its
// tag (`description`). A plain interface rather than std::function: each
// classifier is one concrete class, made where it is used.
class ShortcutClassifier {
 public:
  virtual ShortcutOwner operator()(const std::string& target, const std::string& description) const = 0;

 protected:
  ~ShortcutClassifier() = default;
};

// The data file part of a tag ("SETUP.INI" of "SETUP.INI.Final").
std::string TagDataFile(const std::string& tag);

// Whether the tag `description` names the data file `dataFile`: one data
// file is one setup whatever the letter case it was given in (as for the
// instance mutex).
bool TagNamesDataFile(const std::string& description, const std::string& dataFile);

// The classifier of setups told apart by their tags alone: a shortcut whose
// tag names the same data file (letter case aside) is this setup's.
class TagClassifier final : public ShortcutClassifier {
 public:
  explicit TagClassifier(const std::string& tag) : dataFile_(TagDataFile(tag)) {}
  ShortcutOwner operator()(const std::string& target, const std::string& description) const override;

 private:
  std::string dataFile_;
};
inline TagClassifier ClassifyByTag(const std::string& tag) { return TagClassifier(tag); }

}  // namespace kq
