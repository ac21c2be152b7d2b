#include "sys/registry_key.h"

#include <vector>

#include "sys/wide_ansi.h"

namespace kq {

LONG CRegistryKey::Open(HKEY parent, const char* subkey, REGSAM access) {
  Close();
  HKEY opened = nullptr;
  const LONG result = RegOpenKeyExA(parent, subkey, 0, access, &opened);
  if (result == ERROR_SUCCESS) key_.Reset(opened);
  return result;
}

LONG CRegistryKey::QueryValue(const char* name, std::string& value, DWORD* type) const {
  value.clear();
  if (type != nullptr) *type = REG_NONE;
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  // A value that grows between the size query and the read is read again;
  // a few rounds are plenty for a value someone is rewriting.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD kind = REG_NONE;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key_.Get(), name, nullptr, &kind, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    if (kind != REG_SZ && kind != REG_EXPAND_SZ) return ERROR_UNSUPPORTED_TYPE;
    // Room for a terminator the stored bytes may lack.
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    DWORD read = size;
    result = RegQueryValueExA(key_.Get(), name, nullptr, &kind, reinterpret_cast<BYTE*>(buffer.data()), &read);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) return result;
    if (kind != REG_SZ && kind != REG_EXPAND_SZ) return ERROR_UNSUPPORTED_TYPE;
    if (read > size) continue;  // cannot happen after success; never trust it
    size_t length = 0;
    while (length < read && buffer[length] != '\0') ++length;
    value.assign(buffer.data(), length);
    if (type != nullptr) *type = kind;
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

LONG CRegistryKey::QueryExpandedValue(const char* name, std::string& value) const {
  DWORD type = REG_NONE;
  const LONG result = QueryValue(name, value, &type);
  if (result == ERROR_SUCCESS && type == REG_EXPAND_SZ) value = ExpandEnvironmentText(value);
  return result;
}

LONG CRegistryKey::QueryValue(const char* name, uint32_t& value) const {
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  DWORD kind = REG_NONE;
  DWORD number = 0;
  DWORD size = sizeof number;
  const LONG result = RegQueryValueExA(key_.Get(), name, nullptr, &kind, reinterpret_cast<BYTE*>(&number), &size);
  if (result == ERROR_MORE_DATA) return ERROR_UNSUPPORTED_TYPE;
  if (result != ERROR_SUCCESS) return result;
  if (kind != REG_DWORD || size != sizeof number) return ERROR_UNSUPPORTED_TYPE;
  value = number;
  return ERROR_SUCCESS;
}

LONG CRegistryKey::QueryValueSize(const char* name, DWORD& size) const {
  size = 0;
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  return RegQueryValueExA(key_.Get(), name, nullptr, nullptr, nullptr, &size);
}

std::string ExpandEnvironmentText(const std::string& text) {
  DWORD capacity = static_cast<DWORD>(text.size()) + 64;
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::vector<char> buffer(static_cast<size_t>(capacity) + 1, '\0');
    const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), capacity);
    if (needed == 0) return text;
    // The count includes the terminator; Windows 9x and some versions of
    // NT ask for one byte more than they write.
    if (needed <= capacity) return std::string(buffer.data());
    capacity = needed + 1;
  }
  return text;
}

bool HasWow64RegistryView() {
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  static const int answer = [] {
    const auto isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
        reinterpret_cast<void*>(GetProcFromLibrary("KERNEL32.DLL", "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64 ? 1 : 0;
  }();
  return answer != 0;
}

std::vector<REGSAM> ReadAccessByView() {
  if (!HasWow64RegistryView()) return {KEY_READ};
  return {KEY_READ, KEY_READ | KEY_WOW64_64KEY};
}

}  // namespace kq
