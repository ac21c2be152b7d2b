#pragma once
// The entries of the setup data that name software in the way: programs to
// close (ShutdownApplication), the action of an upgrade condition, and the
// registry key that marks the product as installed (CheckRegKey). Fields
// are split with NextField in quote-removing mode at commas. Portable, so
// that the grammar is tested natively.
#include <cstdint>
#include <string>

namespace kq {

// Takes the next field off `rest`; true when it is non-empty and a number
// ParseInteger accepts (stored in `number`).
bool NextNumberField(std::string& rest, int& number);

// "CLASS,WAIT-MS,MESSAGE,WPARAM,LPARAM": every number after the class is
// optional; reading stops at the first that cannot be read, and the missing
// ones are 0.
struct ShutdownEntry {
  std::string windowClass;
  int waitMs = 0;
  int message = 0;
  int wParam = 0;
  int lParam = 0;
};
// False when the class cannot be read or is empty.
bool ReadShutdownEntry(const std::string& entry, ShutdownEntry& shutdown);

// Milliseconds between two looks for the closed window: a tenth of the
// wait, or 100 when the wait is below 10 (negative waits included).
uint32_t ShutdownPollInterval(int waitMs);

// Field 3 of an UpgradeConditions entry, without regard to case.
enum class UpgradeAction { kLeave, kRemove, kInvalid };
UpgradeAction ReadUpgradeAction(const std::string& field);

// "UNINSTALLKEY,VERSIONRANGES,ACTION". `fields` counts the fields that could
// be split off, in order (0 to 3); the ones after a failed split are empty.
// The setup looks at a field only when the ones before it matched, so a field
// that cannot be split ends the run only when the condition gets that far.
struct UpgradeEntry {
  std::string uninstallKey;
  std::string ranges;
  std::string action;
  int fields = 0;
};
UpgradeEntry ReadUpgradeEntry(const std::string& entry);

// The CheckRegKey value "ROOT,SUBKEY,VALUE" (the value name may be left out).
struct RegistryKeyCheck {
  std::string root;
  std::string subkey;
  std::string valueName;
};
// False when a field cannot be read.
bool ReadRegistryKeyCheck(const std::string& value, RegistryKeyCheck& check);

// The predefined keys CheckRegKey may name, exact case only.
enum class RegistryRoot { kClassesRoot, kCurrentConfig, kCurrentUser, kLocalMachine, kUsers, kUnknown };
RegistryRoot ReadRegistryRoot(const std::string& name);

}  // namespace kq
