// Runs under Wine twice: with the prefix reporting Windows XP (NT family,
// wide calls) and Windows 98 (9x family, ANSI calls). wine-run.sh sets
// KQ_WINE_VERSION and the en_US locale (ANSI code page 1252, OEM 437).
#include "sys/wide_ansi.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "sys/mbcs_path.h"

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

TEST(WideAnsi, ConversionsUseTheirOwnCodePage) {
  // Byte 0x80 is the euro sign in code page 1252 and C-cedilla in 437.
  EXPECT_EQ(ToWideAnsi("a\x80"), L"a\x20AC");
  EXPECT_EQ(ToWideOem("a\x80"), L"a\x00C7");
  EXPECT_EQ(ToNarrowOem(L"\x00C7x"), "\x80x");
  EXPECT_EQ(ToNarrowOem(L"\x3042"), "?");  // not in 437: the best-fit or default character
}

TEST(WideAnsi, ConversionsRespectThe260CharacterBuffer) {
  const std::string fits(259, 'n');
  const std::string tooLong(260, 'n');
  EXPECT_EQ(ToWideAnsi(fits.c_str()).size(), 259u);
  EXPECT_EQ(ToWideOem(tooLong.c_str()), L"");
  EXPECT_EQ(ToNarrowOem(std::wstring(259, L'w').c_str()).size(), 259u);
  EXPECT_EQ(ToNarrowOem(std::wstring(260, L'w').c_str()), "");
  EXPECT_EQ(ToWideAnsi(nullptr), L"");
  EXPECT_EQ(ToNarrowOem(nullptr), "");
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

TEST(WideAnsi, OpensByOemNameFirstThenByAnsiName) {
  const std::string folder = TestFolder();
  const std::wstring wideFolder = Widen(folder);
  // "\x80" names C-cedilla through the OEM code page, the euro sign through ANSI.
  WriteWideNamedFile(wideFolder + L"\x00C7" L"both.txt", "oem");
  WriteWideNamedFile(wideFolder + L"\x20AC" L"both.txt", "ansi");
  WriteWideNamedFile(wideFolder + L"\x20AC" L"only.txt", "ansi-only");

  const unsigned long lookupsBefore = ProcLookupCount();
  {
    ScopedFile both = OpenFileByName(folder + "\x80" "both.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(both.IsValid());
    // The 9x family opens with the ANSI name directly.
    EXPECT_EQ(ReadContent(both.Get()), ExpectNtFamily() ? "oem" : "ansi");
    ScopedFile only = OpenFileByName(folder + "\x80" "only.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(only.IsValid());
    EXPECT_EQ(ReadContent(only.Get()), "ansi-only");
  }
  if (ExpectNtFamily()) {
    EXPECT_GT(ProcLookupCount(), lookupsBefore);
  } else {
    EXPECT_EQ(ProcLookupCount(), lookupsBefore) << "the 9x family looked a wide entry point up";
  }

  WIN32_FIND_DATAA found;
  ScopedFind find = FindFirstFileByName(folder + "\x80" "only.txt", found);
  ASSERT_TRUE(find.IsValid());
  // Found names come back through the OEM code page on NT, where the euro
  // sign has no code; the 9x family reports the ANSI name itself.
  if (!ExpectNtFamily()) {
    EXPECT_STREQ(found.cFileName, "\x80" "only.txt");
  }
  EXPECT_EQ(found.nFileSizeLow, 9u);

  EXPECT_TRUE(DeleteFileByName(folder + "\x80" "only.txt"));
  EXPECT_FALSE(DeleteFileByName(folder + "\x80" "only.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  DeleteFileW((wideFolder + L"\x00C7" L"both.txt").c_str());
  DeleteFileW((wideFolder + L"\x20AC" L"both.txt").c_str());
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
  const std::string path = GetProgramPath(ModulePathCaller::RunSequence);
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

TEST(WideAnsi, ShortcutsAreSavedAndLoadedByOemThenAnsiName) {
  ComScope com;
  const std::string folder = TestFolder();
  {
    ComRef<IShellLinkA> link;
    ComRef<IPersistFile> file;
    NewShellLink(link, file);
    ASSERT_EQ(link->SetPath("C:\\windows\\notepad.exe"), S_OK);
    ASSERT_EQ(SavePersistFile(file.p, folder + "kq link.lnk", TRUE), S_OK);
    // Saved under the euro sign's wide name, reachable only through ANSI.
    ASSERT_EQ(file->Save((Widen(folder) + L"\x20AC" L"only.lnk").c_str(), TRUE), S_OK);
  }
  for (const char* name : {"kq link.lnk", "\x80" "only.lnk"}) {
    ComRef<IShellLinkA> link;
    ComRef<IPersistFile> file;
    NewShellLink(link, file);
    ASSERT_EQ(LoadPersistFile(file.p, folder + name, STGM_READ), S_OK) << name;
    char target[MAX_PATH] = {};
    ASSERT_EQ(link->GetPath(target, MAX_PATH, nullptr, 0), S_OK);
    EXPECT_STRCASEEQ(target, "C:\\windows\\notepad.exe") << name;
  }
  ComRef<IShellLinkA> link;
  ComRef<IPersistFile> file;
  NewShellLink(link, file);
  EXPECT_TRUE(FAILED(LoadPersistFile(file.p, folder + "no such.lnk", STGM_READ)));
  EXPECT_EQ(LoadPersistFile(nullptr, folder + "kq link.lnk", STGM_READ), E_POINTER);
  DeleteFileA((folder + "kq link.lnk").c_str());
  DeleteFileW((Widen(folder) + L"\x20AC" L"only.lnk").c_str());
}

}  // namespace
}  // namespace kq
