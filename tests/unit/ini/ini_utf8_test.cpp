// SETUP.INI saved as UTF-8 with a byte order mark or as UTF-16: read into
// the ANSI code page through the wide form, written back the same way, and a character
// the code page cannot hold stops the load at its line. Runs in both builds
// with code page 1252 (under Wine the system's conversion, on the host
// iconv's); the double-byte cases set the host's code page to 932.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "ini/ini_file.h"
#include "ini/memory_file_opener.h"
#include "ini/tchar_stream.h"
#include "ini_test_util.h"
#include "text/ansi_code_page.h"

namespace kq {
namespace {

using test::ExpectIniException;
using test::ValueOf;

const std::string kBom = "\xEF\xBB\xBF";
// "Café 5 €" in UTF-8 and in code page 1252.
const std::string kCafeUtf8 = "Caf\xC3\xA9 5 \xE2\x82\xAC";
const std::string kCafe1252 = "Caf\xE9 5 \x80";

class Utf8IniTest : public ::testing::Test {
 protected:
  std::string Saved(const char* name = "u.ini") {
    std::string content;
    EXPECT_TRUE(files_.GetFile(name, content));
    return content;
  }

  MemoryFileOpener files_;
  CIniFile ini_{files_};
};

TEST_F(Utf8IniTest, StreamReadsLinesIntoTheAnsiCodePage) {
  files_.SetFile("u.ini", kBom + "[S]\r\nname=" + kCafeUtf8 + "\r\nlast");
  CTCharStream stream(files_);
  ASSERT_TRUE(stream.OpenStream("u.ini", CTCharStream::kModeRead));
  EXPECT_EQ(stream.GetEncoding(), CTCharStream::kEncodingUtf8);
  char buffer[64];
  long length = 63;
  ASSERT_TRUE(stream.ReadLine(buffer, &length));
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "[S]");
  // Too small a buffer is told the length of the converted line (13 ANSI
  // characters, 16 bytes of UTF-8) and reads the same line again.
  length = 5;
  EXPECT_FALSE(stream.ReadLine(buffer, &length));
  EXPECT_EQ(length, static_cast<long>(("name=" + kCafe1252).size()));
  length = 63;
  ASSERT_TRUE(stream.ReadLine(buffer, &length));
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "name=" + kCafe1252);
  length = 63;
  ASSERT_TRUE(stream.ReadLine(buffer, &length));
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "last");
  length = 63;
  ASSERT_TRUE(stream.ReadLine(buffer, &length));
  EXPECT_EQ(length, -1);

  // Without the whole mark the file is ANSI, as before.
  files_.SetFile("a.ini", "\xEF\xBB[S]\r\n");
  ASSERT_TRUE(stream.OpenStream("a.ini", CTCharStream::kModeRead));
  EXPECT_EQ(stream.GetEncoding(), CTCharStream::kEncodingAnsi);
  files_.SetFile("a.ini", kBom);
  ASSERT_TRUE(stream.OpenStream("a.ini", CTCharStream::kModeRead));
  EXPECT_EQ(stream.GetEncoding(), CTCharStream::kEncodingUtf8);
  length = 63;
  ASSERT_TRUE(stream.ReadLine(buffer, &length));
  EXPECT_EQ(length, -1);
}

TEST_F(Utf8IniTest, DocumentsLoadAndSaveAsUtf8) {
  const std::string file = kBom + "; " + kCafeUtf8 + "\r\n[ProductInformation]\r\nPackageName=" + kCafeUtf8 +
                           ".msi\r\n[ProductFeatures]\r\nMain\r\n";
  files_.SetFile("u.ini", file);
  ini_.Load("u.ini");
  EXPECT_TRUE(ini_.IsUtf8());
  EXPECT_FALSE(ini_.IsUnicode());
  EXPECT_EQ(ValueOf(ini_, "ProductInformation", "PackageName"), kCafe1252 + ".msi");
  ini_.Save();
  EXPECT_EQ(Saved(), file);

  // A value set in the ANSI code page is written as UTF-8.
  IniSection* section = nullptr;
  ASSERT_TRUE(ini_.FindSection("ProductFeatures", &section));
  section->AddKeyValue("Extra", "\xE9t\xE9");
  ini_.Save();
  EXPECT_EQ(Saved(), file + "Extra=\xC3\xA9t\xC3\xA9\r\n");

  // An ANSI file stays ANSI.
  files_.SetFile("a.ini", "[S]\r\nk=" + kCafe1252 + "\r\n");
  ini_.Load("a.ini");
  EXPECT_FALSE(ini_.IsUtf8());
  ini_.Save();
  EXPECT_EQ(Saved("a.ini"), "[S]\r\nk=" + kCafe1252 + "\r\n");
}

TEST_F(Utf8IniTest, CharacterTheCodePageCannotHoldStopsTheLoadAtItsLine) {
  struct Case {
    const char* name;
    std::string badLine;
  };
  const Case cases[] = {
      {"katakana in 1252", "PackageName=\xE3\x82\xBD.msi"},  // ソ
      {"not UTF-8", "PackageName=\xC3("},
      {"cut short at the end", "PackageName=\xE2\x82"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files_.SetFile("u.ini", kBom + "[ProductInformation]\r\nA=1\r\n" + c.badLine + "\r\nB=2\r\n");
    CKqIniFileException e = ExpectIniException([&] { ini_.Load("u.ini"); });
    EXPECT_EQ(e.Code(), 1113u);  // ERROR_NO_UNICODE_TRANSLATION
    EXPECT_EQ(e.Category(), 4u);
    EXPECT_EQ(e.Message(),
              "Line 3 of u.ini is not UTF-8 or holds a character that the ANSI code page cannot represent.");
    EXPECT_EQ(e.SectionName(), "ProductInformation");
    EXPECT_EQ(e.LineNumber(), 2);
    EXPECT_EQ(ini_.GetSections().GetCount(), 0u);
  }
}

// UTF-16LE bytes with the byte order mark, from code units.
std::string Utf16(std::initializer_list<char16_t> units) {
  std::string bytes("\xFF\xFE", 2);
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

TEST_F(Utf8IniTest, Utf16GoesThroughTheAnsiCodePageLikeUtf8) {
  // € is U+20AC, byte 80 in code page 1252: no longer U+0080.
  const std::string file = Utf16({'[', 'S', ']', '\r', '\n', 'k', '=', 0x20AC, 0xE9, '\r', '\n'});
  files_.SetFile("u.ini", file);
  ini_.Load("u.ini");
  EXPECT_EQ(ValueOf(ini_, "S", "k"), "\x80\xE9");
  ini_.Save();
  EXPECT_EQ(Saved(), file);
  for (char16_t bad : {char16_t{0x30BD}, char16_t{0xD800}}) {  // ソ; half a surrogate pair
    files_.SetFile("u.ini", Utf16({'[', 'S', ']', '\n', 'A', '=', '1', '\n', 'k', '=', bad, '\n'}));
    CKqIniFileException e = ExpectIniException([&] { ini_.Load("u.ini"); });
    EXPECT_EQ(e.Code(), 1113u);
    EXPECT_EQ(e.Message(),
              "Line 3 of u.ini is not UTF-16 or holds a character that the ANSI code page cannot represent.");
  }
}

TEST_F(Utf8IniTest, AnsiSaveThatWouldReadBackAsUtf8IsRefused) {
  files_.SetFile("u.ini", "[A]\r\n[$$$unnamed$$$]\r\n" + kBom + "k=x\r\n");
  ini_.Load("u.ini");
  CKqIniFileException e = ExpectIniException([&] { ini_.Save(); });
  EXPECT_EQ(e.Message(), "The first line would read back as a UTF-8 byte order mark.");
  EXPECT_EQ(e.Code(), 13u);
  EXPECT_EQ(Saved(), "[A]\r\n[$$$unnamed$$$]\r\n" + kBom + "k=x\r\n");  // left alone
  ini_.SetUtf8(true);  // as UTF-8 the same document reads back
  ini_.Save();
  ini_.Load("u.ini");
  EXPECT_EQ(ValueOf(ini_, "$$$unnamed$$$", kBom + "k"), "x");
}

#ifndef _WIN32
class Utf8IniDoubleByteTest : public Utf8IniTest {
 protected:
  Utf8IniDoubleByteTest() { SetHostAnsiCodePage(932); }
  ~Utf8IniDoubleByteTest() override { SetHostAnsiCodePage(0); }
};

// ソフト and ゾーン in UTF-8 and in code page 932; ゾーン's trail bytes are
// ']' and '['.
const std::string kSoftUtf8 = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
const std::string kSoft932 = "\x83\x5C\x83\x74\x83\x67";
const std::string kZoneUtf8 = "\xE3\x82\xBE\xE3\x83\xBC\xE3\x83\xB3";
const std::string kZone932 = "\x83\x5D\x81\x5B\x83\x93";

TEST_F(Utf8IniDoubleByteTest, JapaneseNamesReadAndWriteBack) {
  const std::string file = kBom + "[" + kZoneUtf8 + "]\r\nPackageName=" + kSoftUtf8 + ".msi\r\n";
  files_.SetFile("u.ini", file);
  ini_.Load("u.ini");
  EXPECT_EQ(ValueOf(ini_, kZone932, "PackageName"), kSoft932 + ".msi");
  ini_.Save();
  EXPECT_EQ(Saved(), file);
  // A character outside 932 (é) is refused, not replaced.
  files_.SetFile("u.ini", kBom + "[S]\r\nk=Caf\xC3\xA9\r\n");
  EXPECT_EQ(ExpectIniException([&] { ini_.Load("u.ini"); }).Code(), 1113u);
}

TEST_F(Utf8IniDoubleByteTest, Utf16JapaneseNamesReadAndWriteBack) {
  const std::string file = Utf16({'[', 'S', ']', '\r', '\n', 'P', '=', 0x30BD, 0x30D5, 0x30C8, '.', 'm', 's', 'i', '\r', '\n'});
  files_.SetFile("u.ini", file);
  ini_.Load("u.ini");
  EXPECT_EQ(ValueOf(ini_, "S", "P"), kSoft932 + ".msi");
  ini_.Save();
  EXPECT_EQ(Saved(), file);
}

TEST_F(Utf8IniDoubleByteTest, BracketTrailBytesDoNotEndOrSpoilASectionName) {
  files_.SetFile("a.ini", "[" + kZone932 + "]\r\nk=v\r\n[a" + kZone932 + "b] tail\r\n");
  ini_.Load("a.ini");
  EXPECT_EQ(ValueOf(ini_, kZone932, "k"), "v");
  IniSection* section = nullptr;
  EXPECT_TRUE(ini_.FindSection("a" + kZone932 + "b", &section));
  EXPECT_FALSE(ini_.IsUtf8());
  // A name ending in a lone lead byte is saved with a blank before the
  // bracket, which would otherwise read back as its trail byte.
  files_.SetFile("a.ini", "[-\xFB ]\r\nk=v\r\n");
  ini_.Load("a.ini");
  ini_.Save();
  EXPECT_EQ(Saved("a.ini"), "[-\xFB ]\r\nk=v\r\n");
  ini_.Load("a.ini");
  EXPECT_EQ(ValueOf(ini_, "-\xFB", "k"), "v");
}

TEST_F(Utf8IniDoubleByteTest, AnsiTextThatIsNotValidIn932FailsTheUtf8Save) {
  files_.SetFile("u.ini", kBom + "[S]\r\n");
  ini_.Load("u.ini");
  IniSection* section = nullptr;
  ASSERT_TRUE(ini_.FindSection("S", &section));
  section->AddKeyValue("k", "\x83");  // a lead byte with no trail byte
  CKqIniFileException e = ExpectIniException([&] { ini_.Save(); });
  EXPECT_EQ(e.Code(), 1113u);
  EXPECT_EQ(e.Message(), "Failed to write line to file:u.ini");
}
#endif

}  // namespace
}  // namespace kq
