#include "config/nested_install.h"

#include "text/ascii_text.h"
#include "text/next_field.h"

namespace kq {

bool ReadNestedInstall(const std::string& value, NestedInstallValue& nested) {
  nested = NestedInstallValue();
  std::string rest = value;
  if (!NextField(rest, nested.productCode, ",", QuoteMode::Remove)) return false;
  // The arguments keep their quotes: they are handed on as a command line,
  // where a quoted data file may hold blanks ("Acme Tools\SETUP.INI" /qb).
  if (!NextField(rest, nested.arguments, ",", QuoteMode::Keep)) return false;
  std::string flags;
  if (!NextField(rest, flags, ",", QuoteMode::Remove)) return true;
  std::string flag;
  while (!flags.empty()) {
    if (!NextField(flags, flag, "|", QuoteMode::Remove)) break;
    nested.flags.push_back(flag);
    if (EqualsNoCase(flag, "ONEREBOOT")) nested.oneReboot = true;
    if (EqualsNoCase(flag, "NOUPDATE")) nested.noUpdate = true;
  }
  return true;
}

}  // namespace kq
