#pragma once
// Part of the wide/ANSI layer (sys/wide_ansi.h): the paths of shell items
// and the text of shortcuts.
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>

namespace kq {

// File-system path of a shell item. S_OK, 0x80004005 when the call fails,
// 0x80070057 when the converted path is empty.
HRESULT GetPathFromIdList(const void* idList, std::string& path);

// Loads or saves a shortcut (or any file-backed COM object) through its
// persistence interface, which takes wide names on both families. Loading
// also tries the OEM name when the ANSI one fails.
HRESULT LoadPersistFile(IPersistFile* file, const std::string& fileName, DWORD mode);
HRESULT SavePersistFile(IPersistFile* file, const std::string& fileName, BOOL remember);

// The text fields of a shell link object. On the NT family they are set and
// read through the object's IShellLinkW, so that a path or an argument
// reaches the shortcut file as the characters it names; on the 9x family
// through the IShellLinkA given. Reads take up to MAX_PATH characters.
enum class ShellLinkField { kPath, kArguments, kDescription };
HRESULT SetShellLinkText(IShellLinkA* link, ShellLinkField field, const std::string& text);
HRESULT GetShellLinkText(IShellLinkA* link, ShellLinkField field, std::string& text);

}  // namespace kq
