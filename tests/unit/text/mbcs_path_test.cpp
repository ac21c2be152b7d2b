#include "text/mbcs_path.h"

#include <gtest/gtest.h>

#include "text/ansi_code_page.h"

namespace kq {
namespace {

// Characters whose second byte is 0x5C, in the code page named.
constexpr char kSo932[] = "\x83\x5C";       // ソ
constexpr char kSoft932[] = "\x83\x5C\x83\x74\x83\x67";  // ソフト
constexpr char kNori936[] = "\x81\x5C";     // 乗
constexpr char kKyo950[] = "\xB3\x5C";      // 許
constexpr char kHan949[] = "\xC7\xD1";      // 한 (UHC has no 0x5C trail byte)

TEST(MbcsPath, LeadByteTablesOfTheFourDoubleByteCodePages) {
  struct Range {
    unsigned codePage;
    unsigned first;
    unsigned last;
  };
  const Range leads[] = {{932, 0x81, 0x9F}, {932, 0xE0, 0xFC}, {936, 0x81, 0xFE},
                         {949, 0x81, 0xFE}, {950, 0x81, 0xFE}};
  for (unsigned codePage : {932u, 936u, 949u, 950u}) {
    for (unsigned b = 0; b < 256; ++b) {
      bool expected = false;
      for (const Range& range : leads) {
        if (range.codePage == codePage && b >= range.first && b <= range.last) expected = true;
      }
      EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(b), codePage), expected)
          << "code page " << codePage << " byte " << std::hex << b;
    }
  }
  // Single-byte code pages have no lead bytes; 932's half-width katakana
  // (A1-DF) are single bytes.
  for (unsigned b = 0; b < 256; ++b) EXPECT_FALSE(IsLeadByte(static_cast<unsigned char>(b), 1252));
  EXPECT_FALSE(IsLeadByte(0xA6, 932));
  EXPECT_FALSE(IsLeadByte(0xFD, 932));
}

struct SplitCase {
  const char* name;
  unsigned codePage;
  std::string path;
  std::string folder;
  size_t lastBackslash;
  bool endsWithBackslash;
};

TEST(MbcsPath, SplitsAtRealBackslashesOnly) {
  const size_t npos = std::string::npos;
  const std::string so = kSo932;
  const std::string soft = kSoft932;
  const SplitCase cases[] = {
      {"plain", 1252, "C:\\a\\b.ini", "C:\\a\\", 4, false},
      {"forward slash", 1252, "C:\\a/b.ini", "C:\\a/", 2, false},
      {"bare drive", 1252, "C:name", "C:", npos, false},
      {"bare name", 932, "SETUP.INI", "", npos, false},
      {"empty", 932, "", "", npos, false},
      {"folder only", 932, "C:\\a\\", "C:\\a\\", 4, true},
      {"932 name", 932, "C:\\Disk1\\" + soft + ".INI", "C:\\Disk1\\", 8, false},
      {"932 folder ending in a trail byte", 932, "C:\\" + so + "\\x.msi", "C:\\" + so + "\\", 5, false},
      {"932 path ending in a trail byte", 932, "C:\\" + soft + "\\" + so, "C:\\" + soft + "\\", 9, false},
      {"932 read as 1252 cuts inside", 1252, "C:\\" + so, "C:\\\x83\\", 4, true},
      {"936", 936, std::string("D:\\") + kNori936 + "\\" + kNori936, std::string("D:\\") + kNori936 + "\\", 5,
       false},
      {"950", 950, std::string("\\\\srv\\") + kKyo950, "\\\\srv\\", 5, false},
      {"950 trail then real backslash", 950, std::string(kKyo950) + "\\", std::string(kKyo950) + "\\", 2, true},
      {"949", 949, std::string("C:\\") + kHan949 + "\\a", std::string("C:\\") + kHan949 + "\\", 5, false},
      // A lead byte at the very end has no trail byte to take.
      {"dangling lead byte", 932, "C:\\a\\\x83", "C:\\a\\", 4, false},
      {"lead byte before a backslash at the end", 1252, "ab\x83\\", "ab\x83\\", 3, true},
      // No trail byte is below 0x40: a lead byte before '/' or ':' stands alone.
      {"lead byte before a slash", 932, "a\x83/b", "a\x83/", npos, false},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindLastBackslash(c.path, c.codePage), c.lastBackslash);
    EXPECT_EQ(FolderOf(c.path, c.codePage), c.folder);
    EXPECT_EQ(FolderOf(c.path, c.codePage) + NameOf(c.path, c.codePage), c.path);
    EXPECT_EQ(EndsWithBackslash(c.path, c.codePage), c.endsWithBackslash);
  }
}

TEST(MbcsPath, FindsSingleByteCharactersNeverTrailBytes) {
  const std::string zone = "\x83\x5D\x81\x5B\x83\x93";  // ゾーン: trail bytes ']' and '['
  const std::string header = "[" + zone + "]x]";
  EXPECT_EQ(FindCharacter(header, "]", 1, 932), 7u);
  EXPECT_EQ(FindCharacter(header, "]", 1, 1252), 2u);
  EXPECT_EQ(FindCharacter(zone, "[]", 0, 932), std::string::npos);
  EXPECT_EQ(FindCharacter("a\x83 b;", "; ", 0, 932), 2u) << "a blank is never a trail byte";
  EXPECT_EQ(FindCharacter("abc", "", 0, 932), std::string::npos);
  EXPECT_EQ(FindCharacter("abc", "c", 5, 932), std::string::npos);
}

TEST(MbcsPath, AppendsOnlyWhenNoRealBackslashEnds) {
  std::string folder = std::string("C:\\") + kSo932;  // ends in the byte 0x5C
  AppendBackslash(folder, 932);
  EXPECT_EQ(folder, std::string("C:\\") + kSo932 + "\\");
  AppendBackslash(folder, 932);
  EXPECT_EQ(folder, std::string("C:\\") + kSo932 + "\\");
  std::string big5 = kKyo950;
  AppendBackslash(big5, 950);
  EXPECT_EQ(big5, std::string(kKyo950) + "\\");
  std::string empty;
  AppendBackslash(empty, 932);
  EXPECT_EQ(empty, "\\");
}

TEST(MbcsPath, JoinsWithOneRealBackslash) {
  const std::string so = std::string("C:\\") + kSo932;
  const struct {
    std::string folder;
    unsigned codePage;
    std::string joined;
  } cases[] = {
      {"C:\\Kit\\", 1252, "C:\\Kit\\SETUP.EXE"},
      {"C:\\Kit", 1252, "C:\\Kit\\SETUP.EXE"},
      {"", 1252, "SETUP.EXE"},                          // a name of the current folder stays one
      {"/medium/", 1252, "/medium/SETUP.EXE"},
      {so, 932, so + "\\SETUP.EXE"},                   // ends with 0x5C, but inside ソ
      {so, 1252, so + "SETUP.EXE"},                      // in 1252 that byte is a backslash
      {so + "\\", 932, so + "\\SETUP.EXE"},
      {std::string("D:\\") + kNori936, 936, std::string("D:\\") + kNori936 + "\\SETUP.EXE"},
      {std::string("D:\\") + kKyo950, 950, std::string("D:\\") + kKyo950 + "\\SETUP.EXE"},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinPath(c.folder, "SETUP.EXE", c.codePage), c.joined) << c.folder;
}

TEST(MbcsPath, QuotesAProgramOnlyWhenABlankWouldEndItsName) {
  EXPECT_EQ(QuotedPath("C:\\Kit\\P.msi"), "\"C:\\Kit\\P.msi\"");
  EXPECT_EQ(ProgramWord("C:\\Kit\\SETUP.EXE"), "C:\\Kit\\SETUP.EXE");
  EXPECT_EQ(ProgramWord("C:\\Acme Kit\\SETUP.EXE"), "\"C:\\Acme Kit\\SETUP.EXE\"");
  EXPECT_EQ(ProgramWord("C:\\Acme\tKit\\SETUP.EXE"), "\"C:\\Acme\tKit\\SETUP.EXE\"");
}

TEST(MbcsPath, ReplacesRealBackslashesOnly) {
  const std::string path = std::string("C:\\") + kSoft932 + "\\SETUP.EXE";
  EXPECT_EQ(ReplaceBackslashes(path, '_', 932), std::string("C:_") + kSoft932 + "_SETUP.EXE");
  EXPECT_EQ(ReplaceBackslashes(std::string("\\") + kNori936 + "\\", '_', 936),
            std::string("_") + kNori936 + "_");
  // Read as a single-byte code page every 0x5C is a backslash.
  EXPECT_EQ(ReplaceBackslashes(kSo932, '_', 1252), "\x83_");
}

#ifndef _WIN32
// The Windows build asks the system (mbcs_path_win_test.cpp).
TEST(MbcsPath, CodePageZeroFollowsTheSystemCodePage) {
  const std::string path = std::string("C:\\") + kSoft932 + ".INI";
  EXPECT_EQ(FolderOf(path), "C:\\\x83\\") << "single-byte by default";
  SetHostAnsiCodePage(932);
  EXPECT_EQ(FolderOf(path), "C:\\");
  EXPECT_EQ(NameOf(path), std::string(kSoft932) + ".INI");
  SetHostAnsiCodePage(0);
  EXPECT_EQ(SystemAnsiCodePage(), 1252u);
}
#endif

}  // namespace
}  // namespace kq
