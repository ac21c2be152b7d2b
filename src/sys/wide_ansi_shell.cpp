#include "sys/wide_ansi_shell.h"

#include "sys/internal_error_codes.h"
#include "sys/wide_ansi_call.h"

namespace kq {

using wide_call::LookUpWide;
using wide_call::Wide;
using wide_call::WithAnsiThenOem;

HRESULT GetPathFromIdList(const void* idList, std::string& path) {
  path.clear();
  auto pidl = static_cast<LPCITEMIDLIST>(idList);
  if (!IsWindowsNT()) {
    char buffer[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(pidl, buffer)) return E_FAIL;
    path = buffer;
    return S_OK;
  }
  using SHGetPathFromIDListWFn = BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR);
  auto getPathW = LookUpWide<SHGetPathFromIDListWFn>("SHELL32.DLL", "SHGetPathFromIDListW");
  if (getPathW == nullptr) {
    // A look-up that failed without an error code is still a failure.
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<HRESULT>(HresultFromWin32(error)) : E_FAIL;
  }
  wchar_t wide[kPathBufferChars] = {};
  if (!getPathW(pidl, wide)) return E_FAIL;
  path = ToNarrowAnsi(wide);
  if (path.empty()) return static_cast<HRESULT>(0x80070057);
  return S_OK;
}

HRESULT LoadPersistFile(IPersistFile* file, const std::string& fileName, DWORD mode) {
  if (file == nullptr) return E_POINTER;
  return WithAnsiThenOem<HRESULT>(
      fileName, kPathBufferChars, [&](const std::wstring& name) { return file->Load(name.c_str(), mode); },
      [](HRESULT hr) { return FAILED(hr); });
}

HRESULT SavePersistFile(IPersistFile* file, const std::string& fileName, BOOL remember) {
  if (file == nullptr) return E_POINTER;
  return file->Save(Wide(fileName).c_str(), remember);
}

namespace {

// Defined here rather than taken from libuuid (see shell_link.cpp).
constexpr GUID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The wide face of the same link object, released when it goes.
class WideShellLink {
 public:
  explicit WideShellLink(IShellLinkA* link) {
    if (link == nullptr) {
      result_ = E_POINTER;
      return;
    }
    result_ = link->QueryInterface(kIidShellLinkW, reinterpret_cast<void**>(&link_));
  }
  ~WideShellLink() {
    if (link_ != nullptr) link_->Release();
  }
  WideShellLink(const WideShellLink&) = delete;
  WideShellLink& operator=(const WideShellLink&) = delete;
  HRESULT Result() const { return result_; }
  IShellLinkW* operator->() const { return link_; }

 private:
  IShellLinkW* link_ = nullptr;
  HRESULT result_ = E_FAIL;
};

// Each field is at most a path long; the 9x shell's own limit.
constexpr int kShellLinkChars = MAX_PATH;

}  // namespace

HRESULT SetShellLinkText(IShellLinkA* link, ShellLinkField field, const std::string& text) {
  if (link == nullptr) return E_POINTER;
  if (!IsWindowsNT()) {
    switch (field) {
      case ShellLinkField::kPath: return link->SetPath(text.c_str());
      case ShellLinkField::kArguments: return link->SetArguments(text.c_str());
      case ShellLinkField::kDescription: return link->SetDescription(text.c_str());
    }
    return E_INVALIDARG;
  }
  WideShellLink wideLink(link);
  if (FAILED(wideLink.Result())) return wideLink.Result();
  const std::wstring wide = ToWideAnsi(text.c_str(), kCommandLineChars);
  if (wide.empty() && !text.empty()) return static_cast<HRESULT>(HresultFromWin32(ERROR_NO_UNICODE_TRANSLATION));
  switch (field) {
    case ShellLinkField::kPath: return wideLink->SetPath(wide.c_str());
    case ShellLinkField::kArguments: return wideLink->SetArguments(wide.c_str());
    case ShellLinkField::kDescription: return wideLink->SetDescription(wide.c_str());
  }
  return E_INVALIDARG;
}

HRESULT GetShellLinkText(IShellLinkA* link, ShellLinkField field, std::string& text) {
  text.clear();
  if (link == nullptr) return E_POINTER;
  if (!IsWindowsNT()) {
    char buffer[kShellLinkChars + 1] = {};
    HRESULT hr = E_INVALIDARG;
    switch (field) {
      case ShellLinkField::kPath: hr = link->GetPath(buffer, kShellLinkChars, nullptr, 0); break;
      case ShellLinkField::kArguments: hr = link->GetArguments(buffer, kShellLinkChars); break;
      case ShellLinkField::kDescription: hr = link->GetDescription(buffer, kShellLinkChars); break;
    }
    if (SUCCEEDED(hr)) text = buffer;
    return hr;
  }
  WideShellLink wideLink(link);
  if (FAILED(wideLink.Result())) return wideLink.Result();
  wchar_t buffer[kShellLinkChars + 1] = {};
  HRESULT hr = E_INVALIDARG;
  switch (field) {
    case ShellLinkField::kPath: hr = wideLink->GetPath(buffer, kShellLinkChars, nullptr, 0); break;
    case ShellLinkField::kArguments: hr = wideLink->GetArguments(buffer, kShellLinkChars); break;
    case ShellLinkField::kDescription: hr = wideLink->GetDescription(buffer, kShellLinkChars); break;
  }
  if (FAILED(hr)) return hr;
  text = ToNarrowAnsi(buffer, kShellLinkChars + 1);
  if (text.empty() && buffer[0] != L'\0') return static_cast<HRESULT>(HresultFromWin32(ERROR_NO_UNICODE_TRANSLATION));
  return hr;
}

}  // namespace kq
