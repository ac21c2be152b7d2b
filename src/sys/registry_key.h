#pragma once
// CRegistryKey: one open registry key and the reads the steps make from it.
// Strings are read whole whatever their length (size query, read, and a
// new read when the value grew in between), only from REG_SZ or
// REG_EXPAND_SZ values, and always end up terminated even when stored
// without their zero; numbers only from 4-byte REG_DWORD values.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sys/scoped_handle.h"

namespace kq {

class CRegistryKey {
 public:
  CRegistryKey() = default;
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  // Opens `subkey` of `parent`, closing any key held first. `access` may
  // carry KEY_WOW64_64KEY to open the 64-bit view (see HasWow64RegistryView).
  LONG Open(HKEY parent, const char* subkey, REGSAM access = KEY_READ);
  void Close() { key_.Close(); }
  bool IsOpen() const { return key_.IsValid(); }
  HKEY Get() const { return key_.Get(); }

  // A string value; ERROR_UNSUPPORTED_TYPE for a value of another type. The
  // text ends at the first zero within the stored bytes. `type` (may be null)
  // receives REG_SZ or REG_EXPAND_SZ.
  LONG QueryValue(const char* name, std::string& value, DWORD* type = nullptr) const;
  // The same, with environment variables expanded when the value is stored
  // as REG_EXPAND_SZ, as Windows does with such commands.
  LONG QueryExpandedValue(const char* name, std::string& value) const;
  // A REG_DWORD value; ERROR_UNSUPPORTED_TYPE for another type or size.
  LONG QueryValue(const char* name, uint32_t& value) const;
  // Whether the value exists (any type): its size query succeeds.
  LONG QueryValueSize(const char* name, DWORD& size) const;

 private:
  ScopedRegKey key_;
};

// Environment variables in `text` expanded; the text unchanged when the
// expansion fails.
std::string ExpandEnvironmentText(const std::string& text);

// True when this 32-bit program runs on 64-bit Windows (WOW64), where
// HKEY_LOCAL_MACHINE\SOFTWARE has a 64-bit view of its own that only
// KEY_WOW64_64KEY reaches. Systems without IsWow64Process have one view.
bool HasWow64RegistryView();

// The read access of each registry view a lookup goes through, in order:
// the program's own view, then, on 64-bit Windows, the 64-bit view, where a
// 64-bit product writes its keys under HKEY_LOCAL_MACHINE\SOFTWARE.
std::vector<REGSAM> ReadAccessByView();

}  // namespace kq
