// Saving documents: round trips, encodings, added sections and lines, and
// failures of the output file.
#include <gtest/gtest.h>

#include <string>

#include "ini/ini_file.h"
#include "ini/memory_file_opener.h"
#include "ini_test_util.h"

namespace kq {
namespace {

using test::ExpectIniException;
using test::Utf16File;
using test::ValueOf;

class WriterTest : public ::testing::Test {
 protected:
  std::string Saved() {
    std::string content;
    EXPECT_TRUE(files_.GetFile("w.ini", content));
    return content;
  }
  std::string RoundTrip(const std::string& content) {
    files_.SetFile("w.ini", content);
    ini_.Load("w.ini");
    ini_.Save();
    return Saved();
  }

  MemoryFileOpener files_;
  CIniFile ini_{files_};
};

const char kCrLfFile[] =
    "; written by hand\r\n"
    "top = before any header\r\n"
    "\r\n"
    "[Startup]\r\n"
    "  Key Name  =  value with blanks  \r\n"
    "   ; indented comment\r\n"
    "=odd line\r\n"
    "plain text\r\n"
    "dup=1\r\n"
    "dup=2\r\n"
    "[Empty]\r\n"
    "[Last]\r\n"
    "late=3\r\n"
    "\r\n";

TEST_F(WriterTest, UnchangedCrLfFilesRoundTripByteForByte) {
  EXPECT_EQ(RoundTrip(kCrLfFile), kCrLfFile);
  // Lines of any length are written whole.
  const std::string longFile = "[L]\r\nk=" + std::string(5000, 'x') + "\r\n" + std::string(2000, ';') + "\r\n";
  EXPECT_EQ(RoundTrip(longFile), longFile);
}

TEST_F(WriterTest, LinesUnderARepeatedHeaderMoveToTheFirstSectionOfThatName) {
  EXPECT_EQ(RoundTrip("[A]\r\na=1\r\n[B]\r\n[A]\r\nb=2\r\n"), "[A]\r\na=1\r\nb=2\r\n[B]\r\n[A]\r\n");
}

TEST_F(WriterTest, RefusesAnAnsiFileThatWouldReadBackAsUtf16) {
  // Lines after a header naming the implicit section join it, and it is
  // written first: here it would begin the file with the byte order mark.
  files_.SetFile("w.ini", "[A]\r\n[$$$unnamed$$$]\r\n\xFF\xFE=x\r\n");
  ini_.Load("w.ini");
  CKqIniFileException e = ExpectIniException([&] { ini_.Save(); });
  EXPECT_EQ(e.Message(), "The first line would read back as a UTF-16 byte order mark.");
  EXPECT_EQ(e.Category(), 5u);
  EXPECT_EQ(e.Code(), 13u);
  EXPECT_EQ(Saved(), "[A]\r\n[$$$unnamed$$$]\r\n\xFF\xFE=x\r\n");  // left alone
  ini_.SetUnicode(true);  // as UTF-16 the same document is fine
  ini_.Save();
  ini_.Load("w.ini");
  EXPECT_EQ(ValueOf(ini_, "$$$unnamed$$$", "\xFF\xFE"), "x");
}

TEST_F(WriterTest, Utf16FilesStayUtf16) {
  const std::string wide = Utf16File("[S]\r\nname=Caf\xE9\r\n");
  EXPECT_EQ(RoundTrip(wide), wide);
  EXPECT_EQ(RoundTrip("\xFF\xFE"), "\xFF\xFE");  // a document of nothing but the mark
}

TEST_F(WriterTest, HeadersAreRebuiltFromTheirNames) {
  EXPECT_EQ(RoundTrip("[ A ] ; note\nk=v\n[ ]\nx=1"), "[A]\r\nk=v\r\n[ ]\r\nx=1\r\n");
  // The written file reads back to the same document.
  ini_.Load("w.ini");
  EXPECT_EQ(ValueOf(ini_, "", "x"), "1");
  EXPECT_EQ(ValueOf(ini_, "A", "k"), "v");
}

TEST_F(WriterTest, AddedSectionsAndLinesAreWrittenAtTheirPlace) {
  files_.SetFile("w.ini", "[boot]\r\nshell=Explorer.exe\r\n");
  ini_.Load("w.ini");
  IniSection* rename = ini_.AddSection("Rename");
  rename->AddKeyValue("NUL", "C:\\WINDOWS\\TEMP\\KIES0001\\SETUP.EXE");
  rename->AddKeyValue("NUL", "C:\\WINDOWS\\TEMP\\KIES0001");
  IniSection* boot = nullptr;
  ASSERT_TRUE(ini_.FindSection("boot", &boot));
  boot->AddKeyValue("extra", "1");
  ini_.Save();
  EXPECT_EQ(Saved(),
            "[boot]\r\nshell=Explorer.exe\r\nextra=1\r\n"
            "[Rename]\r\nNUL=C:\\WINDOWS\\TEMP\\KIES0001\\SETUP.EXE\r\nNUL=C:\\WINDOWS\\TEMP\\KIES0001\r\n");
}

TEST_F(WriterTest, ImplicitSectionHasNoHeaderAndEmptyDocumentsGiveEmptyFiles) {
  CIniFile fresh(files_);
  fresh.SetFileName("w.ini");
  fresh.Save();
  EXPECT_EQ(Saved(), "");
  fresh.AddSection(CIniFile::kUnnamedSection)->AddLine("only");
  fresh.Save();
  EXPECT_EQ(Saved(), "only\r\n");
  fresh.SetUnicode(true);
  fresh.Save();
  EXPECT_EQ(Saved(), Utf16File("only\r\n"));
}

TEST_F(WriterTest, SaveDoesNotChangeTheDocument) {
  files_.SetFile("w.ini", kCrLfFile);
  ini_.Load("w.ini");
  ini_.Save();
  ini_.Save();
  EXPECT_EQ(Saved(), kCrLfFile);
  EXPECT_EQ(ini_.GetSections().GetCount(), 4u);
}

TEST_F(WriterTest, FailuresOfTheOutputFile) {
  CKqIniFileException e = ExpectIniException([&] { ini_.Save(); });
  EXPECT_EQ(e.Message(), "The filename member of CIniFile has not been initialized.");
  EXPECT_EQ(e.Category(), 4u);
  EXPECT_EQ(e.Code(), 123u);

  files_.SetFile("w.ini", "[A]\r\na=1\r\n[B]\r\nb=2\r\nc=3\r\n");
  ini_.Load("w.ini");
  // The disk fills up in the middle of section B: the save says so, with
  // the last header and the number of lines written.
  files_.FailWritesAfter(15, kIniErrorDiskFull);
  e = ExpectIniException([&] { ini_.Save(); });
  EXPECT_EQ(e.Message(), "Failed to write line to file:w.ini");
  EXPECT_EQ(e.Category(), 5u);
  EXPECT_EQ(e.Code(), kIniErrorDiskFull);
  EXPECT_EQ(e.FileName(), "w.ini");
  EXPECT_EQ(e.LineText(), "[B]");
  EXPECT_EQ(e.LineNumber(), 3);
  EXPECT_EQ(e.SectionName(), "");
  EXPECT_EQ(Saved(), "[A]\r\na=1\r\n[B]\r\n");  // as far as it was written
  EXPECT_EQ(ValueOf(ini_, "B", "c"), "3");  // the document is intact

  files_.FailWritesAfter(0, kIniErrorAccessDenied);
  ini_.SetUnicode(true);  // the byte order mark cannot be written
  e = ExpectIniException([&] { ini_.Save(); });
  EXPECT_EQ(e.Message(), "Failed to open the output stream");
  EXPECT_EQ(e.Category(), 5u);
  EXPECT_EQ(e.Code(), kIniErrorAccessDenied);
}

}  // namespace
}  // namespace kq
