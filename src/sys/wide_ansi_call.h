#pragma once
// Inside the wide/ANSI layer only (the files sys/wide_ansi_*.cpp and their
// test): how a wrapped call is made. On the 9x family the ANSI function is
// called; on the NT family the wide entry point is looked up by name and
// called with the ANSI conversions of the names, and a wide result is turned
// back into ANSI text by its long form, else its short one.
#include <windows.h>

#include <string>

#include "sys/wide_ansi_library.h"
#include "sys/wide_ansi_text.h"

namespace kq {
namespace wide_call {

template <typename Fn>
Fn LookUpWide(const char* library, const char* entryPoint) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcFromLibrary(library, entryPoint)));
}

template <typename Fn>
Fn LookUpKernel(const char* entryPoint) {
  return LookUpWide<Fn>("KERNEL32.DLL", entryPoint);
}

// A name converted for a wide call (ToWideAnsi into a path-sized buffer).
std::wstring Wide(const std::string& name);

// The shape of the calls that take names and answer TRUE or FALSE: the ANSI
// call on the 9x family; on NT the wide entry point, looked up and called
// with the ANSI conversions of the names.
template <typename WideFn, typename AnsiCall, typename WideCall>
bool CallByName(const char* entryPoint, AnsiCall ansiCall, WideCall wideCall) {
  if (!IsWindowsNT()) return ansiCall() != FALSE;
  auto wide = LookUpKernel<WideFn>(entryPoint);
  return wide != nullptr && wideCall(wide) != FALSE;
}

// For look-ups only: the ANSI conversion, then the OEM one when `failed`
// says the first result is the failure value and the OEM name differs.
template <typename Result, typename Call, typename Failed>
Result WithAnsiThenOem(const std::string& text, size_t bufferChars, Call call, Failed failed) {
  const std::wstring ansi = ToWideAnsi(text.c_str(), bufferChars);
  Result result = call(ansi);
  if (!failed(result)) return result;
  const std::wstring oem = ToWideOem(text.c_str(), bufferChars);
  if (oem.empty() || oem == ansi) return result;
  return call(oem);
}

// A wide result with no ANSI form: the call "failed" for the caller.
template <typename Result>
Result NoTranslation(Result failure) {
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return failure;
}

// Which form of a wide name gave its ANSI text.
enum class NameForm { kLong, kShort, kNone };

// The long name, else the short name: the ANSI form of `longName`, or, when
// it has none, the ANSI form of its short (8.3) form, which `shortForm()`
// gives and is asked for only then. The short form of a file system that
// makes one is plain ASCII, so a name outside the ANSI code page stays
// reachable. None (and an empty `name`) when neither form has ANSI text or
// the long name is empty.
template <typename ShortForm>
NameForm AnsiLongElseShort(const wchar_t* longName, size_t longChars, ShortForm shortForm, size_t shortChars,
                           std::string& name) {
  name = ToNarrowAnsi(longName, longChars);
  if (!name.empty()) return NameForm::kLong;
  if (longName == nullptr || *longName == L'\0') return NameForm::kNone;
  const std::wstring shortName = shortForm();
  name = ToNarrowAnsi(shortName.c_str(), shortChars);
  return name.empty() ? NameForm::kNone : NameForm::kShort;
}

// GetShortPathNameW of a wide path, or empty when it fails or is longer
// than a path buffer.
std::wstring WideShortPath(const wchar_t* path);

// AnsiLongElseShort for a path of an existing file or folder, whose short
// form the system gives (WideShortPath).
NameForm AnsiPathLongElseShort(const wchar_t* path, std::string& name);

}  // namespace wide_call
}  // namespace kq
