#include "steps/installed_version.h"

#include "steps/uninstall_entry.h"

namespace kq {

bool GetInstalledVersion(const char* entry, VersionNumber& version) {
  version.Clear();
  if (entry == nullptr) return false;
  CRegistryKey key;
  if (!OpenUninstallEntry(entry, key)) return false;

  uint32_t packed = 0;
  if (key.QueryValue("Version", packed) == ERROR_SUCCESS) {
    // Windows Installer writes major << 24 | minor << 16 | build, with a
    // 16-bit build: 1.2.300 is 0x0102012C.
    version = VersionNumber(static_cast<uint16_t>(packed >> 24), static_cast<uint16_t>((packed >> 16) & 0xFF),
                            static_cast<uint16_t>(packed & 0xFFFF), 0);
    return true;
  }
  uint32_t major = 0;
  uint32_t minor = 0;
  if (key.QueryValue("VersionMajor", major) == ERROR_SUCCESS &&
      key.QueryValue("VersionMinor", minor) == ERROR_SUCCESS) {
    version = VersionNumber(static_cast<uint16_t>(major & 0xFFFF), static_cast<uint16_t>(minor & 0xFFFF), 0, 0);
    return true;
  }
  std::string text;
  if (key.QueryValue("DisplayVersion", text) == ERROR_SUCCESS) return version.Read(text.c_str());
  if (key.QueryValue("DisplayName", text) == ERROR_SUCCESS) return ReadVersionFromDisplayName(text, version);
  return false;
}

}  // namespace kq
