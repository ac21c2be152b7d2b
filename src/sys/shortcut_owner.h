#pragma once
// Whose a resume shortcut is: the resume shortcut's name is shared by every
// setup of this kind, so the one that places or removes a shortcut tells
// its own from others' by what the shortcut starts. Portable: no
// <windows.h>.
#include <functional>
#include <string>

namespace kq {

// Whose a resume shortcut is, told from what it starts.
enum class ShortcutOwner {
  kNobody,        // what it starts is gone for good: its name may be reused
  kThisSetup,     // this setup's (any tag): replaced or removed by it
  kAnotherSetup,  // left alone
};
using ShortcutClassifier = std::function<ShortcutOwner(const std::string& target, const std::string& description)>;

// The data file part of a tag ("SETUP.INI" of "SETUP.INI.Final").
std::string TagDataFile(const std::string& tag);

// Whether the tag `description` names the data file `dataFile`: one data
// file is one setup whatever the letter case it was given in (as for the
// instance mutex).
bool TagNamesDataFile(const std::string& description, const std::string& dataFile);

// The classifier of setups told apart by their tags alone: a shortcut whose
// tag names the same data file (letter case aside) is this setup's.
ShortcutClassifier ClassifyByTag(const std::string& tag);

}  // namespace kq
