#include "sys/wide_ansi_call.h"

namespace kq {
namespace wide_call {

std::wstring Wide(const std::string& name) { return ToWideAnsi(name.c_str()); }

std::wstring WideShortPath(const wchar_t* path) {
  auto getShortPathW = LookUpKernel<DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD)>("GetShortPathNameW");
  if (getShortPathW == nullptr) return std::wstring();
  wchar_t buffer[kPathBufferChars] = {};
  const DWORD length = getShortPathW(path, buffer, kPathBufferChars);
  if (length == 0 || length >= kPathBufferChars) return std::wstring();
  return std::wstring(buffer, length);
}

NameForm AnsiPathLongElseShort(const wchar_t* path, std::string& name) {
  return AnsiLongElseShort(
      path, kPathBufferChars, [path] { return WideShortPath(path); }, kPathBufferChars, name);
}

}  // namespace wide_call
}  // namespace kq
