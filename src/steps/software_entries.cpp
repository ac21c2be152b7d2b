#include "steps/software_entries.h"

#include "text/ascii_text.h"
#include "text/next_field.h"
#include "config/parse_integer.h"

namespace kq {

namespace {

bool NextEntryField(std::string& rest, std::string& field) {
  return NextField(rest, field, ",", QuoteMode::kRemove);
}

}  // namespace

bool NextNumberField(std::string& rest, int& number) {
  std::string field;
  if (!NextEntryField(rest, field) || field.empty()) return false;
  int32_t value = 0;
  if (!ParseInteger(field, value)) return false;
  number = value;
  return true;
}

bool ReadShutdownEntry(const std::string& entry, ShutdownEntry& shutdown) {
  shutdown = ShutdownEntry();
  std::string rest = entry;
  if (!NextEntryField(rest, shutdown.windowClass) || shutdown.windowClass.empty()) return false;
  int* const numbers[] = {&shutdown.waitMs, &shutdown.message, &shutdown.wParam, &shutdown.lParam};
  for (int* number : numbers) {
    if (!NextNumberField(rest, *number)) break;
  }
  return true;
}

uint32_t ShutdownPollInterval(int waitMs) {
  return waitMs < 10 ? 100u : static_cast<uint32_t>(waitMs) / 10u;
}

UpgradeAction ReadUpgradeAction(const std::string& field) {
  if (field.empty() || EqualsNoCase(field, "LEAVE")) return UpgradeAction::kLeave;
  if (EqualsNoCase(field, "REMOVE")) return UpgradeAction::kRemove;
  return UpgradeAction::kInvalid;
}

UpgradeEntry ReadUpgradeEntry(const std::string& entry) {
  UpgradeEntry read;
  std::string rest = entry;
  for (std::string* field : {&read.uninstallKey, &read.ranges, &read.action}) {
    if (!NextEntryField(rest, *field)) {
      field->clear();
      break;
    }
    ++read.fields;
  }
  return read;
}

bool ReadRegistryKeyCheck(const std::string& value, RegistryKeyCheck& check) {
  check = RegistryKeyCheck();
  std::string rest = value;
  return NextEntryField(rest, check.root) && NextEntryField(rest, check.subkey) &&
         NextEntryField(rest, check.valueName);
}

RegistryRoot ReadRegistryRoot(const std::string& name) {
  struct Name {
    const char* shortName;
    const char* longName;
    RegistryRoot root;
  };
  static const Name kNames[] = {
      {"HKCR", "HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot},
      {"HKCC", "HKEY_CURRENT_CONFIG", RegistryRoot::kCurrentConfig},
      {"HKCU", "HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
      {"HKLM", "HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
      {"HKU", "HKEY_USERS", RegistryRoot::kUsers},
  };
  for (const Name& known : kNames) {
    if (name == known.shortName || name == known.longName) return known.root;
  }
  return RegistryRoot::kUnknown;
}

}  // namespace kq
