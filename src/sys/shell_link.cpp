#include "sys/shell_link.h"

#include <objidl.h>
#include <shlobj.h>

#include "sys/com_ptr.h"
#include "sys/format.h"
#include "sys/internal_error.h"
#include "sys/run_platform.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

// The three identifiers, defined here: taking them from libuuid links its
// whole table of several thousand GUIDs (40 KB) into the program.
constexpr GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The link object and its file interface, or a box with `createCode` or
// `interfaceCode`.
bool NewShellLink(HWND owner, ComPtr<IShellLinkA>& link, ComPtr<IPersistFile>& file, uint32_t createCode,
                  uint32_t interfaceCode) {
  HRESULT hr = CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA, link.ReceiveAny());
  if (FAILED(hr)) {
    ShowShortcutErrorBox(owner, createCode, static_cast<uint32_t>(hr));
    return false;
  }
  hr = link->QueryInterface(kIidPersistFile, file.ReceiveAny());
  if (FAILED(hr)) {
    ShowShortcutErrorBox(owner, interfaceCode, static_cast<uint32_t>(hr));
    return false;
  }
  return true;
}

bool Check(HWND owner, HRESULT hr, uint32_t code) {
  if (SUCCEEDED(hr)) return true;
  ShowShortcutErrorBox(owner, code, static_cast<uint32_t>(hr));
  return false;
}

// One text field of the link, when asked for.
HRESULT ReadField(HWND owner, IShellLinkA* link, ShellLinkField field, uint32_t code, std::string* value) {
  if (value == nullptr) return S_OK;
  const HRESULT hr = GetShellLinkText(link, field, *value);
  Check(owner, hr, code);
  return hr;
}

bool FileExists(HWND owner, const std::string& path) {
  if (IsWindowsNT() && GetProcFromLibrary("KERNEL32.DLL", "FindFirstFileW") == nullptr) {
    ShowShortcutErrorBox(owner, kLocationShortcutFindFunction, static_cast<uint32_t>(GetLastError()));
    return false;
  }
  WIN32_FIND_DATAA found;
  return FindFirstFileByName(path, found).IsValid();
}

}  // namespace

void ShowShortcutErrorBox(HWND owner, uint32_t location, uint32_t error) {
  struct Step {
    uint32_t location;
    const char* failed;
  };
  static const Step kSteps[] = {
      {kLocationShortcutStartupFolder, "the Startup folder cannot be found"},
      {kLocationShortcutShellAllocator, "the shell's memory allocator cannot be had"},
      {kLocationShortcutCreateObject, "the shell's link object cannot be created"},
      {kLocationShortcutCreateFileInterface, "the link object's file interface cannot be had"},
      {kLocationShortcutSetPath, "its program cannot be set"},
      {kLocationShortcutSetArguments, "its arguments cannot be set"},
      {kLocationShortcutSetDescription, "its description cannot be set"},
      {kLocationShortcutSave, "it cannot be saved"},
      {kLocationShortcutReadObject, "the shell's link object cannot be created to read it"},
      {kLocationShortcutReadFileInterface, "the link object's file interface cannot be had to read it"},
      {kLocationShortcutResolve, "it cannot be resolved"},
      {kLocationShortcutGetPath, "its program cannot be read"},
      {kLocationShortcutGetArguments, "its arguments cannot be read"},
      {kLocationShortcutGetDescription, "its description cannot be read"},
      {kLocationShortcutFindFunction, "FindFirstFileW is missing from KERNEL32.DLL"},
  };
  const char* failed = "it cannot be written or read";
  for (const Step& step : kSteps) {
    if (step.location == location) failed = step.failed;
  }
  RunLog(Format("The resume shortcut in the Startup folder: %s (%08X); without it the setup cannot go on by itself "
                "after a restart",
                failed, static_cast<unsigned>(error)));
  ShowInternalErrorBox(owner, location, error);
}

bool CreateShellLink(HWND owner, const std::string& target, const std::string& linkPath,
                     const std::string& arguments, const std::string& description) {
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> file;
  return NewShellLink(owner, link, file, kLocationShortcutCreateObject, kLocationShortcutCreateFileInterface) &&
         Check(owner, SetShellLinkText(link.Get(), ShellLinkField::Path, target), kLocationShortcutSetPath) &&
         Check(owner, SetShellLinkText(link.Get(), ShellLinkField::Arguments, arguments),
               kLocationShortcutSetArguments) &&
         Check(owner, SetShellLinkText(link.Get(), ShellLinkField::Description, description),
               kLocationShortcutSetDescription) &&
         Check(owner, SavePersistFile(file.Get(), linkPath, TRUE), kLocationShortcutSave);
}

HRESULT ReadShellLink(HWND owner, const std::string& linkPath, std::string* target, std::string* arguments,
                      std::string* description) {
  if (!FileExists(owner, linkPath)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> file;
  if (!NewShellLink(owner, link, file, kLocationShortcutReadObject, kLocationShortcutReadFileInterface)) return E_FAIL;
  HRESULT hr = LoadPersistFile(file.Get(), linkPath, STGM_READ);
  if (FAILED(hr)) return hr;
  // Without SLR_NO_UI a shortcut whose program has gone (a temporary copy
  // deleted since) would open the shell's search window; only the fields
  // are wanted here.
  hr = link->Resolve(owner, SLR_ANY_MATCH | SLR_NO_UI);
  if (!Check(owner, hr, kLocationShortcutResolve)) return hr;
  hr = ReadField(owner, link.Get(), ShellLinkField::Path, kLocationShortcutGetPath, target);
  if (SUCCEEDED(hr)) hr = ReadField(owner, link.Get(), ShellLinkField::Arguments, kLocationShortcutGetArguments, arguments);
  if (SUCCEEDED(hr))
    hr = ReadField(owner, link.Get(), ShellLinkField::Description, kLocationShortcutGetDescription, description);
  return SUCCEEDED(hr) ? S_OK : hr;
}

}  // namespace kq
