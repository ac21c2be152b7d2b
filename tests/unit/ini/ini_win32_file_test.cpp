// The INI library on real Win32 files under Wine, for both families (the
// binary runs with the prefix reporting Windows XP and Windows 98).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ini/ini_file.h"
#include "ini_test_util.h"
#include "sys/scoped_handle.h"

namespace kq {
namespace {

using test::ExpectIniException;
using test::Utf16File;
using test::ValueOf;

std::string TestFolder() {
  char temp[MAX_PATH] = {};
  EXPECT_NE(GetTempPathA(MAX_PATH, temp), 0u);
  std::string folder = std::string(temp) + "kq_ini_test\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// Writes and reads files with the plain ANSI calls, independent of the code
// under test.
void WriteBytes(const std::string& name, const std::string& bytes) {
  ScopedFile file(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.IsValid()) << name;
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
}

std::string ReadBytes(const std::string& name) {
  ScopedFile file(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid()) return "<cannot open>";
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  return bytes;
}

class Win32IniFileTest : public ::testing::Test {
 protected:
  void TearDown() override { DeleteFileA(name_.c_str()); }
  std::string name_ = TestFolder() + "test.ini";
};

TEST_F(Win32IniFileTest, CrLfFilesRoundTripByteForByte) {
  const std::string content =
      "; comment\r\n"
      "[Startup]\r\n"
      "  Product Name  = Korvane Suite \r\n"
      "\r\n"
      "plain line\r\n"
      "[MSI]\r\n"
      "MsiPackage=suite.msi\r\n";
  WriteBytes(name_, content);
  CIniFile ini;
  ini.Load(name_);
  EXPECT_FALSE(ini.IsUnicode());
  EXPECT_EQ(ValueOf(ini, "Startup", "Product Name"), " Korvane Suite ");
  ini.Save();
  EXPECT_EQ(ReadBytes(name_), content);
}

TEST_F(Win32IniFileTest, Utf16FilesAreReadAndWrittenAsUtf16) {
  const std::string content = Utf16File("[Startup]\r\nName=Caf\xE9\r\n");
  WriteBytes(name_, content);
  CIniFile ini;
  ini.Load(name_);
  EXPECT_TRUE(ini.IsUnicode());
  EXPECT_EQ(ValueOf(ini, "Startup", "Name"), "Caf\xE9");
  ini.AddSection("Rename")->AddKeyValue("NUL", "C:\\x");
  ini.Save();
  EXPECT_EQ(ReadBytes(name_), Utf16File("[Startup]\r\nName=Caf\xE9\r\n[Rename]\r\nNUL=C:\\x\r\n"));
}

TEST_F(Win32IniFileTest, CharacterTheAnsiCodePageCannotHoldFailsTheLoadAtItsLine) {
  WriteBytes(name_, Utf16File("[S]\r\n") + std::string("k\0=\0\x42\x30\r\0\n\0", 10));
  CIniFile ini;
  CKqIniFileException e = ExpectIniException([&] { ini.Load(name_); });
  EXPECT_EQ(e.Message(), "Line 2 of " + name_ +
                             " is not UTF-16 or holds a character that the ANSI code page cannot represent.");
  EXPECT_EQ(e.Code(), 1113u);
  EXPECT_EQ(e.LineNumber(), 1);
  EXPECT_EQ(ini.GetSections().GetCount(), 0u);
  EXPECT_EQ(ini.GetFileName(), "");
}

TEST_F(Win32IniFileTest, LongLinesCarriageReturnsAndTheLastLine) {
  const std::string exact(1021, 'e');
  const std::string huge(6000, 'h');
  WriteBytes(name_, "[S]\nexact=" + exact + "\nhuge=" + huge + "\r\ncut=kept\rdropped\nlast=no line feed");
  CIniFile ini;
  ini.Load(name_);
  EXPECT_EQ(ValueOf(ini, "S", "exact"), exact);
  EXPECT_EQ(ValueOf(ini, "S", "huge"), huge);
  EXPECT_EQ(ValueOf(ini, "S", "cut"), "kept");
  EXPECT_EQ(ValueOf(ini, "S", "last"), "no line feed");
}

TEST_F(Win32IniFileTest, AddsRenameLinesToAFileWithOtherContent) {
  const std::string wininit =
      "[boot]\r\n"
      "shell=Explorer.exe\r\n"
      "; other programs' lines stay\r\n"
      "[Rename]\r\n"
      "NUL=C:\\OLD\\A.TMP\r\n"
      "[386Enh]\r\n"
      "woafont=dosapp.fon\r\n";
  WriteBytes(name_, wininit);
  CIniFile ini;
  ini.Load(name_);
  IniSection* rename = nullptr;
  ASSERT_TRUE(ini.FindSection("Rename", &rename));
  rename->AddKeyValue("NUL", "C:\\WINDOWS\\TEMP\\KIES1A2B\\SETUP.EXE");
  rename->AddKeyValue("NUL", "C:\\WINDOWS\\TEMP\\KIES1A2B");
  ini.Save();
  EXPECT_EQ(ReadBytes(name_),
            "[boot]\r\n"
            "shell=Explorer.exe\r\n"
            "; other programs' lines stay\r\n"
            "[Rename]\r\n"
            "NUL=C:\\OLD\\A.TMP\r\n"
            "NUL=C:\\WINDOWS\\TEMP\\KIES1A2B\\SETUP.EXE\r\n"
            "NUL=C:\\WINDOWS\\TEMP\\KIES1A2B\r\n"
            "[386Enh]\r\n"
            "woafont=dosapp.fon\r\n");
}

TEST_F(Win32IniFileTest, MissingAndLockedFilesReportTheSystemError) {
  CIniFile ini;
  CKqIniFileException e = ExpectIniException([&] { ini.Load(TestFolder() + "missing.ini"); });
  EXPECT_EQ(e.Message(), "Call to CTCharStream::OpenStream( " + TestFolder() + "missing.ini ) failed.");
  EXPECT_EQ(e.Code(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));

  WriteBytes(name_, "[A]\r\nk=v\r\n");
  ini.Load(name_);
  {
    // Another program has the file open without sharing: the save cannot
    // replace it.
    ScopedFile holder(CreateFileA(name_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    e = ExpectIniException([&] { ini.Save(); });
    EXPECT_EQ(e.Message(), "Failed to open the output stream");
    EXPECT_EQ(e.Category(), 5u);
    EXPECT_EQ(e.Code(), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  }
  // While the library reads a file, others may read it too but not write it.
  CTCharStream stream;
  ASSERT_TRUE(stream.OpenStream(name_.c_str(), CTCharStream::kModeRead));
  ScopedFile reader(CreateFileA(name_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(reader.IsValid());
  ScopedFile writer(CreateFileA(name_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(writer.IsValid());
}

TEST_F(Win32IniFileTest, OpensNamesWhoseCharactersAreOnlyInTheAnsiCodePage) {
  // Byte 0x80 is the euro sign in code page 1252 but C-cedilla in 437: on
  // the NT family the OEM attempt misses and the ANSI attempt finds it.
  const std::string folder = TestFolder();
  const std::wstring wideName = std::wstring(folder.begin(), folder.end()) + L"euro\x20AC.ini";
  {
    ScopedFile file(CreateFileW(wideName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    DWORD written = 0;
    WriteFile(file.Get(), "[A]\r\nk=1\r\n", 10, &written, nullptr);
  }
  CIniFile ini;
  ini.Load(folder + "euro\x80.ini");
  EXPECT_EQ(ValueOf(ini, "A", "k"), "1");
  DeleteFileW(wideName.c_str());
}

}  // namespace
}  // namespace kq
