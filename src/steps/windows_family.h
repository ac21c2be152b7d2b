#pragma once
// The Windows family the setup runs on, as the engine keeps it after the
// platform check, and its one spelling in the setup data ("9X", "NT").
#include <string>

namespace kq {

enum class WindowsFamily {
  kUnknown,  // before the platform check
  k9x,       // Windows 95, 98 and Me (platform id 1)
  kNt,       // Windows NT and its successors (platform id 2)
};

// The family's name in a Platforms entry: "9X" or "NT"; empty for kUnknown.
const char* WindowsFamilyName(WindowsFamily family);

// The family `name` spells, in any letter case; kUnknown for any other text.
WindowsFamily WindowsFamilyNamed(const std::string& name);

// The platform id Windows reports for the family (1 or 2), -1 for kUnknown:
// the number log lines give.
int WindowsPlatformId(WindowsFamily family);

}  // namespace kq
