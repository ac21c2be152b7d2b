#include "steps/windows_family.h"

#include "text/ascii_text.h"

namespace kq {

const char* WindowsFamilyName(WindowsFamily family) {
  switch (family) {
    case WindowsFamily::k9x:
      return "9X";
    case WindowsFamily::kNt:
      return "NT";
    case WindowsFamily::kUnknown:
      break;
  }
  return "";
}

WindowsFamily WindowsFamilyNamed(const std::string& name) {
  for (WindowsFamily family : {WindowsFamily::k9x, WindowsFamily::kNt}) {
    if (EqualsNoCase(name, WindowsFamilyName(family))) return family;
  }
  return WindowsFamily::kUnknown;
}

int WindowsPlatformId(WindowsFamily family) {
  switch (family) {
    case WindowsFamily::k9x:
      return 1;
    case WindowsFamily::kNt:
      return 2;
    case WindowsFamily::kUnknown:
      break;
  }
  return -1;
}

}  // namespace kq
