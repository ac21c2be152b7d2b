// Runs under Wine twice: with the prefix reporting Windows XP (NT family,
// wide calls) and Windows 98 (9x family, ANSI calls). wine-run.sh sets
// KQ_WINE_VERSION and the en_US locale (ANSI code page 1252, OEM 437).
#include "sys/wide_ansi.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sys/wide_ansi_call.h"
#include "text/mbcs_path.h"

namespace kq {
namespace {

bool ExpectNtFamily() {
  const char* version = std::getenv("KQ_WINE_VERSION");
  return version == nullptr || std::string(version) != "win98";
}

std::string TestFolder() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "kq_wide_ansi\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// Creates a file by its wide name (independent of the code under test).
void WriteWideNamedFile(const std::wstring& name, const char* content) {
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
  CloseHandle(h);
}

std::string ReadContent(HANDLE h) {
  char buffer[64] = {};
  DWORD read = 0;
  ReadFile(h, buffer, sizeof buffer - 1, &read, nullptr);
  return std::string(buffer, read);
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

TEST(WideAnsi, FamilyFollowsTheVersionThePrefixReports) {
  EXPECT_EQ(IsWindowsNT(), ExpectNtFamily());
  EXPECT_EQ(PlatformId(), ExpectNtFamily() ? 2u : 1u);
}

TEST(WideAnsi, CodePagesOfTheUserLocale) {
  EXPECT_EQ(UserAnsiCodePage(), 1252u);
  EXPECT_EQ(UserOemCodePage(), 437u);
}

TEST(WideAnsi, ConversionsFollowTheAnsiCodePageAndRefuseLookAlikes) {
  // 1252 and 437 give é as E9 and 82, and byte 80 as the euro sign and Ç.
  struct ToWideCase {
    const char* narrow;
    const wchar_t* ansi;
    const wchar_t* oem;
  };
  const ToWideCase toWide[] = {
      {"Caf\xE9", L"Caf\x00E9", L"Caf\x0398"},
      {"Caf\x82", L"Caf\x201A", L"Caf\x00E9"},
      {"a\x80", L"a\x20AC", L"a\x00C7"},
      {"", L"", L""},
  };
  for (const ToWideCase& c : toWide) {
    EXPECT_EQ(ToWideAnsi(c.narrow), c.ansi) << c.narrow;
    EXPECT_EQ(ToWideOem(c.narrow), c.oem) << c.narrow;
  }
  struct ToNarrowCase {
    const wchar_t* wide;
    const char* ansi;  // "" where the code page has no exact form
  };
  const ToNarrowCase toNarrow[] = {
      {L"C:\\Caf\x00E9\\SETUP.EXE", "C:\\Caf\xE9\\SETUP.EXE"},
      {L"TARGETDIR=C:\\B\x00FCro", "TARGETDIR=C:\\B\xFCro"},
      {L"\x20AC", "\x80"},
      {L"\x3042", ""},           // not in 1252
      {L"Caf\x00E9 \x0101", ""},  // ā would come back as its look-alike a
      {L"C:\\\x0423\x0441\x0442", ""},
  };
  for (const ToNarrowCase& c : toNarrow) EXPECT_EQ(ToNarrowAnsi(c.wide), c.ansi);
}

TEST(WideAnsi, ConversionsRespectThe260CharacterBuffer) {
  const std::string fits(259, 'n');
  const std::string tooLong(260, 'n');
  EXPECT_EQ(ToWideAnsi(fits.c_str()).size(), 259u);
  EXPECT_EQ(ToWideOem(tooLong.c_str()), L"");
  EXPECT_EQ(ToNarrowAnsi(std::wstring(259, L'w').c_str()).size(), 259u);
  EXPECT_EQ(ToNarrowAnsi(std::wstring(260, L'w').c_str()), "");
  EXPECT_EQ(ToWideAnsi(nullptr), L"");
  EXPECT_EQ(ToNarrowAnsi(nullptr), "");
  // Longer buffers are for command lines.
  EXPECT_EQ(ToWideAnsi(tooLong.c_str(), kCommandLineChars).size(), 260u);
}

TEST(WideAnsi, EntryPointLookup) {
  EXPECT_NE(GetProcFromLibrary("KERNEL32.DLL", "CreateFileW"), nullptr);
  EXPECT_NE(GetProcFromLibrary("SHELL32.DLL", "SHGetPathFromIDListW"), nullptr);
  EXPECT_EQ(GetProcFromLibrary("KERNEL32.DLL", "NoSuchEntryPoint"), nullptr);
  EXPECT_EQ(GetProcFromLibrary("NOSUCHLIB.DLL", "Anything"), nullptr);
  EXPECT_EQ(GetProcFromLibrary("", "CreateFileW"), nullptr);
  EXPECT_EQ(GetProcFromLibrary("KERNEL32.DLL", ""), nullptr);
  EXPECT_EQ(GetProcFromLibrary(nullptr, nullptr), nullptr);
}

TEST(WideAnsi, SystemLibrariesComeOnlyFromTheSystemFolder) {
  // A DLL planted beside the program (here: a copy of a system library under
  // a name the system folder lacks) must not be found.
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string planted = self;
  planted = FolderOf(planted) + "KQPLANTED.DLL";
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  ASSERT_TRUE(CopyFileA((std::string(system) + "\\version.dll").c_str(), planted.c_str(), FALSE));
  EXPECT_EQ(GetProcFromLibrary("KQPLANTED.DLL", "GetFileVersionInfoA"), nullptr);
  DeleteFileA(planted.c_str());
}

TEST(WideAnsi, NamesAreAnsiTextAndOnlyReadsTryTheOemName) {
  const std::string folder = TestFolder();
  const std::wstring wideFolder = Widen(folder);
  // "\x80" names the euro sign through ANSI, C-cedilla through OEM.
  WriteWideNamedFile(wideFolder + L"\x00C7" L"both.txt", "oem");
  WriteWideNamedFile(wideFolder + L"\x20AC" L"both.txt", "ansi");
  WriteWideNamedFile(wideFolder + L"\x00C7" L"oemonly.txt", "oem-only");

  const unsigned long lookupsBefore = ProcLookupCount();
  {
    ScopedFile both = OpenFileByName(folder + "\x80" "both.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(both.IsValid());
    EXPECT_EQ(ReadContent(both.Get()), "ansi");
    // A read of a name written in OEM text is still found on NT.
    ScopedFile oem = OpenFileByName(folder + "\x80" "oemonly.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(oem.IsValid(), ExpectNtFamily());
    // Writing never takes the OEM reading: it makes the euro-sign file.
    ScopedFile made = OpenFileByName(folder + "\x80" "oemonly.txt", GENERIC_WRITE, 0, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(made.IsValid());
  }
  if (ExpectNtFamily()) {
    EXPECT_GT(ProcLookupCount(), lookupsBefore);
  } else {
    EXPECT_EQ(ProcLookupCount(), lookupsBefore) << "the 9x family looked a wide entry point up";
  }

  WIN32_FIND_DATAA found;
  ScopedFind find = FindFirstFileByName(folder + "\x80" "both.txt", found);
  ASSERT_TRUE(find.IsValid());
  EXPECT_STREQ(found.cFileName, "\x80" "both.txt");
  EXPECT_EQ(found.nFileSizeLow, 4u);

  // Deleting never takes the OEM reading either.
  EXPECT_TRUE(DeleteFileByName(folder + "\x80" "oemonly.txt"));
  EXPECT_FALSE(DeleteFileByName(folder + "\x80" "oemonly.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_NE(GetFileAttributesW((wideFolder + L"\x00C7" L"oemonly.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  for (const wchar_t* name : {L"\x00C7" L"both.txt", L"\x20AC" L"both.txt", L"\x00C7" L"oemonly.txt"})
    DeleteFileW((wideFolder + name).c_str());
}

TEST(WideAnsi, FoundNamesOutsideTheAnsiCodePageComeAsShortNames) {
  if (!ExpectNtFamily()) GTEST_SKIP() << "the 9x family has no such names";
  const std::string folder = TestFolder() + "dbcs\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  WriteWideNamedFile(Widen(folder) + L"\x30BD\x30D5\x30C8.msi", "x");
  WIN32_FIND_DATAA found;
  ScopedFind find = FindFirstFileByName(folder + "*.msi", found);
  ASSERT_TRUE(find.IsValid());
  const std::string name = found.cFileName;
  EXPECT_NE(name.find('~'), std::string::npos) << name;
  EXPECT_TRUE(DeleteFileByName(folder + name)) << name;
  RemoveDirectoryA(folder.c_str());
}

// Found names, the temporary-files folder and the program's path all take
// their long form, else their short one, through this one decision.
TEST(WideAnsi, WideNamesComeAsTheirLongAnsiFormElseTheirShortForm) {
  using wide_call::AnsiLongElseShort;
  using wide_call::NameForm;
  int shortAsked = 0;
  auto shortForm = [&] {
    ++shortAsked;
    return std::wstring(L"FC81~1.MSI");
  };
  std::string name;
  EXPECT_EQ(AnsiLongElseShort(L"L\x00F6sung.msi", MAX_PATH, shortForm, 14, name), NameForm::kLong);
  EXPECT_EQ(name, "L\xF6sung.msi");
  EXPECT_EQ(shortAsked, 0);
  EXPECT_EQ(AnsiLongElseShort(L"\x30BD\x30D5\x30C8.msi", MAX_PATH, shortForm, 14, name), NameForm::kShort);
  EXPECT_EQ(name, "FC81~1.MSI");
  // An empty long name has no short form to ask for.
  EXPECT_EQ(AnsiLongElseShort(L"", MAX_PATH, shortForm, 14, name), NameForm::kNone);
  EXPECT_EQ(shortAsked, 1);
  // A short form without ANSI text, or none at all, leaves no name.
  EXPECT_EQ(AnsiLongElseShort(L"\x30BD", MAX_PATH, [] { return std::wstring(L"\x30BD"); }, 14, name), NameForm::kNone);
  EXPECT_EQ(name, "");
  EXPECT_EQ(AnsiLongElseShort(L"\x30BD", MAX_PATH, [] { return std::wstring(); }, 14, name), NameForm::kNone);

  if (!ExpectNtFamily()) return;  // the 9x family's paths are ANSI text already
  // A real folder: its short path names the same folder.
  const std::wstring folder = Widen(TestFolder()) + L"\x30BD\x30D5\x30C8";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  EXPECT_EQ(wide_call::AnsiPathLongElseShort(folder.c_str(), name), NameForm::kShort);
  EXPECT_NE(name.find('~'), std::string::npos) << name;
  EXPECT_NE(FileAttributesByName(name), INVALID_FILE_ATTRIBUTES) << name;
  RemoveDirectoryW(folder.c_str());
}

TEST(WideAnsi, NamesOf260CharactersOrMoreFailOnTheWidePath) {
  const std::string folder = TestFolder();
  const std::string name = folder + std::string(260 - folder.size(), 'L');
  ASSERT_EQ(name.size(), 260u);
  const unsigned long lookupsBefore = ProcLookupCount();
  ScopedFile file = OpenFileByName(name, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (ExpectNtFamily()) {
    // The name does not convert into the 260-character buffer.
    EXPECT_FALSE(file.IsValid());
    EXPECT_FALSE(DeleteFileByName(name));
  } else {
    // The 9x family hands the name to the ANSI call unconverted.
    EXPECT_EQ(ProcLookupCount(), lookupsBefore);
    file.Close();
    DeleteFileA(name.c_str());
  }
}

TEST(WideAnsi, StartsProcessesWithCommandLinesOfAnyLength) {
  ScopedHandle process;
  ASSERT_TRUE(CreateProcessFromCommandLine("cmd.exe /c exit 7", process));
  ASSERT_EQ(WaitForSingleObject(process.Get(), 30000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  EXPECT_EQ(code, 7u);

  const std::string longLine = "cmd.exe /c exit 9 & rem " + std::string(2000, 'z');
  ASSERT_TRUE(CreateProcessFromCommandLine(longLine, process));
  ASSERT_EQ(WaitForSingleObject(process.Get(), 30000), WAIT_OBJECT_0);
  GetExitCodeProcess(process.Get(), &code);
  EXPECT_EQ(code, 9u);

  EXPECT_FALSE(CreateProcessFromCommandLine("kq_no_such_program.exe", process));
  EXPECT_FALSE(process.IsValid());
}

TEST(WideAnsi, ProgramPathAndCommandLine) {
  const std::string path = GetProgramPath(ModulePathCaller::kRunSequence);
  ASSERT_GE(path.size(), 12u);
  EXPECT_EQ(path.substr(path.size() - 12), "unit_sys.exe");
  EXPECT_NE(GetProgramCommandLine().find("unit_sys"), std::string::npos);
}

// Owns one COM interface pointer for the shortcut tests.
template <typename T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p != nullptr) p->Release();
  }
  T* operator->() const { return p; }
};

struct ComScope {
  ComScope() { CoInitialize(nullptr); }
  ~ComScope() { CoUninitialize(); }
};

void NewShellLink(ComRef<IShellLinkA>& link, ComRef<IPersistFile>& file) {
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             reinterpret_cast<void**>(&link.p)),
            S_OK);
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p)), S_OK);
}

TEST(WideAnsi, ShortcutsKeepTheirTextAndAreLoadedByAnsiThenOemName) {
  ComScope com;
  const std::string folder = TestFolder();
  const std::string target = "C:\\Caf\xE9\\SETUP.EXE";
  const std::string arguments = "TARGETDIR=C:\\B\xFCro /~-";
  {
    ComRef<IShellLinkA> link;
    ComRef<IPersistFile> file;
    NewShellLink(link, file);
    // S_FALSE: the target does not exist here.
    ASSERT_TRUE(SUCCEEDED(SetShellLinkText(link.p, ShellLinkField::kPath, target)));
    ASSERT_EQ(SetShellLinkText(link.p, ShellLinkField::kArguments, arguments), S_OK);
    ASSERT_EQ(SetShellLinkText(link.p, ShellLinkField::kDescription, "KORVANE"), S_OK);
    ASSERT_EQ(SavePersistFile(file.p, folder + "kq link.lnk", TRUE), S_OK);
    // Saved under C-cedilla's wide name, reachable only through OEM.
    ASSERT_EQ(file->Save((Widen(folder) + L"\x00C7" L"oem.lnk").c_str(), TRUE), S_OK);
  }
  std::vector<std::string> names = {"kq link.lnk"};
  if (ExpectNtFamily()) names.push_back("\x80" "oem.lnk");
  for (const std::string& name : names) {
    ComRef<IShellLinkA> link;
    ComRef<IPersistFile> file;
    NewShellLink(link, file);
    ASSERT_EQ(LoadPersistFile(file.p, folder + name, STGM_READ), S_OK) << name;
    std::string text;
    ASSERT_EQ(GetShellLinkText(link.p, ShellLinkField::kPath, text), S_OK);
    EXPECT_STRCASEEQ(text.c_str(), target.c_str()) << name;
    ASSERT_EQ(GetShellLinkText(link.p, ShellLinkField::kArguments, text), S_OK);
    EXPECT_EQ(text, arguments) << name;
  }
  ComRef<IShellLinkA> link;
  ComRef<IPersistFile> file;
  NewShellLink(link, file);
  EXPECT_TRUE(FAILED(LoadPersistFile(file.p, folder + "no such.lnk", STGM_READ)));
  EXPECT_EQ(LoadPersistFile(nullptr, folder + "kq link.lnk", STGM_READ), E_POINTER);
  DeleteFileA((folder + "kq link.lnk").c_str());
  DeleteFileW((Widen(folder) + L"\x00C7" L"oem.lnk").c_str());
}

}  // namespace
}  // namespace kq
