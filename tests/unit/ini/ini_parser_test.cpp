// The grammar of INI files and the failures of loading, through files in
// memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ini/ini_file.h"
#include "ini/memory_file_opener.h"
#include "ini_test_util.h"

namespace kq {
namespace {

using test::ExpectIniException;
using test::Utf16File;
using test::ValueOf;

class ParserTest : public ::testing::Test {
 protected:
  void Load(const std::string& content) {
    files_.SetFile("setup.ini", content);
    ini_.Load("setup.ini");
  }

  // The raw value texts of a section's lines, in order.
  std::vector<std::string> LinesOf(const std::string& name) {
    std::vector<std::string> lines;
    IniSection* section = nullptr;
    if (!ini_.FindSection(name, &section)) return {"<no section>"};
    for (size_t i = 0; i < section->Lines().GetCount(); ++i) {
      const IniLine* line = section->Lines().At(i);
      lines.push_back(line->GetKey().empty() ? line->GetValue() : line->GetKey() + "=" + line->GetValue());
    }
    return lines;
  }

  std::vector<std::string> SectionOrder() {
    std::vector<std::string> names;
    for (size_t i = 0; i < ini_.GetSections().GetCount(); ++i) names.push_back(ini_.GetSections().At(i)->Name());
    return names;
  }

  MemoryFileOpener files_;
  CIniFile ini_{files_};
};

using Strings = std::vector<std::string>;

TEST_F(ParserTest, EmptyFileHoldsOnlyTheImplicitSection) {
  Load("");
  EXPECT_EQ(SectionOrder(), Strings{"$$$unnamed$$$"});
  EXPECT_EQ(LinesOf("$$$unnamed$$$"), Strings{});
  EXPECT_FALSE(ini_.IsUnicode());
  EXPECT_EQ(ini_.GetFileName(), "setup.ini");
}

TEST_F(ParserTest, ClassifiesHeadersCommentsKeysAndPlainLines) {
  Load("top=1\r\n"
       "  [ Startup ]  ; the first\r\n"
       "   ; indented comment\r\n"
       "=starts with equals\r\n"
       "\r\n"
       "   \t \r\n"
       "just text\r\n"
       "  Key Name  =  a value ; with=semicolon \r\n"
       "[Other]\r\n"
       "x=y\r\n");
  EXPECT_EQ(SectionOrder(), (Strings{"$$$unnamed$$$", "Startup", "Other"}));
  EXPECT_EQ(LinesOf("$$$unnamed$$$"), Strings{"top=1"});
  EXPECT_EQ(LinesOf("Startup"), (Strings{"   ; indented comment", "=starts with equals", "", "   \t ", "just text",
                                         "  Key Name  =  a value ; with=semicolon "}));
  // Keys are found trimmed, values come back with their blanks.
  EXPECT_EQ(ValueOf(ini_, "Startup", "Key Name"), "  a value ; with=semicolon ");
  EXPECT_EQ(ValueOf(ini_, "Startup", " Key Name "), "  a value ; with=semicolon ");
  EXPECT_EQ(ValueOf(ini_, "Startup", "key name"), "<absent>");  // case-sensitive
  EXPECT_EQ(ValueOf(ini_, "startup", "Key Name"), "<no section>");
  EXPECT_EQ(ValueOf(ini_, "Startup", ""), "<absent>");  // "=starts with equals" is no key line
  EXPECT_EQ(ValueOf(ini_, "Other", "x"), "y");
}

TEST_F(ParserTest, HeaderOfBlanksNamesTheEmptySection) {
  Load("[  ]\r\nk=v\r\n");
  EXPECT_EQ(SectionOrder(), (Strings{"$$$unnamed$$$", ""}));
  EXPECT_EQ(ValueOf(ini_, "", "k"), "v");
}

TEST_F(ParserTest, RepeatedSectionsAndKeysKeepTheFirstForLookups) {
  Load("[A]\nk=1\n[B]\nb=2\n[A]\nk=3\nm=4\n");
  EXPECT_EQ(SectionOrder(), (Strings{"$$$unnamed$$$", "A", "B", "A"}));
  EXPECT_EQ(LinesOf("A"), (Strings{"k=1", "k=3", "m=4"}));
  EXPECT_EQ(ValueOf(ini_, "A", "k"), "1");
  EXPECT_EQ(ValueOf(ini_, "A", "m"), "4");
  EXPECT_EQ(ini_.GetSections().At(3)->Lines().GetCount(), 0u);  // the repetition stays empty
}

TEST_F(ParserTest, ReadsUtf16FilesAsNarrowText) {
  Load(Utf16File("[S]\r\nname=Caf\xE9\r\n"));
  EXPECT_TRUE(ini_.IsUnicode());
  EXPECT_EQ(ValueOf(ini_, "S", "name"), "Caf\xE9");
}

TEST_F(ParserTest, LongLinesAreStoredWhole) {
  const std::string exact(1023 - 2, 'a');
  const std::string huge(7000, 'b');
  Load("[S]\nk=" + exact + "\nh=" + huge + "\nafter=1\n");
  EXPECT_EQ(ValueOf(ini_, "S", "k"), exact);
  EXPECT_EQ(ValueOf(ini_, "S", "h"), huge);
  EXPECT_EQ(ValueOf(ini_, "S", "after"), "1");
}

struct GrammarFailure {
  const char* content;
  const char* message;
  const char* section;  // current section when it failed
  const char* lineText;
  long lineNumber;
};

TEST_F(ParserTest, MalformedLinesAbandonTheLoadWithTheirLocation) {
  const GrammarFailure cases[] = {
      {"[A]\n[]\n", "Improperly formed section name.", "A", "[]", 1},
      {"a=1\n  [open\n", "Improperly formed section name.", "$$$unnamed$$$", "  [open", 1},
      {"[A]\nk=1\n[x;y]\n", "Illegal character(s) in section name.", "A", "[x;y]", 2},
      {"[a=b]\n", "Illegal character(s) in section name.", "$$$unnamed$$$", "[a=b]", 0},
      {"[a\tb]\n", "Illegal character(s) in section name.", "$$$unnamed$$$", "[a\tb]", 0},
      {"[A]\nk;ey=1\n", "Illegal character(s) in key name.", "A", "k;ey=1", 1},
      {"[A]\n\nk]=1\n", "Illegal character(s) in key name.", "A", "k]=1", 2},
      {"[A]\nk\tx = 1\n", "Illegal character(s) in key name.", "A", "k\tx = 1", 1},
  };
  for (const GrammarFailure& c : cases) {
    SCOPED_TRACE(c.content);
    files_.SetFile("bad.ini", c.content);
    CKqIniFileException e = ExpectIniException([&] { ini_.Load("bad.ini"); });
    EXPECT_EQ(e.Message(), c.message);
    EXPECT_EQ(e.Category(), 4u);
    EXPECT_EQ(e.Code(), 13u);
    EXPECT_EQ(e.FileName(), "bad.ini");
    EXPECT_EQ(e.SectionName(), c.section);
    EXPECT_EQ(e.LineText(), c.lineText);
    EXPECT_EQ(e.LineNumber(), c.lineNumber);
    // The document is empty and, as the name came with the load, so is the name.
    EXPECT_EQ(ini_.GetSections().GetCount(), 0u);
    EXPECT_EQ(ini_.GetFileName(), "");
  }
}

TEST_F(ParserTest, TabsInsideTheValueAndBlanksAroundTheKeyAreAllowed) {
  Load("[A]\n\tk\t=\tv\t\n");
  EXPECT_EQ(ValueOf(ini_, "A", "k"), "\tv\t");
}

TEST_F(ParserTest, FailuresOfTheFileItself) {
  CKqIniFileException e = ExpectIniException([&] { ini_.Load(); });
  EXPECT_EQ(e.Message(), "The filename member of CIniFile has not been initialized.");
  EXPECT_EQ(e.Category(), 5u);
  EXPECT_EQ(e.Code(), 123u);

  e = ExpectIniException([&] { ini_.Load("missing.ini"); });
  EXPECT_EQ(e.Message(), "Call to CTCharStream::OpenStream( missing.ini ) failed.");
  EXPECT_EQ(e.Category(), 4u);
  EXPECT_EQ(e.Code(), kIniErrorFileNotFound);

  files_.SetFile("wide.ini", Utf16File("[S]\r\na=1\r\n") + std::string("b\0=\0\x42\x30\r\0\n\0", 10));
  e = ExpectIniException([&] { ini_.Load("wide.ini"); });
  EXPECT_EQ(e.Message(),
            "Line 3 of wide.ini is not UTF-16 or holds a character that the ANSI code page cannot represent.");
  EXPECT_EQ(e.Category(), 4u);
  EXPECT_EQ(e.Code(), 1113u);
  EXPECT_EQ(e.SectionName(), "S");
  EXPECT_EQ(e.LineText(), "");
  EXPECT_EQ(e.LineNumber(), 2);
  EXPECT_EQ(ini_.GetSections().GetCount(), 0u);
}

TEST_F(ParserTest, ReloadWithoutNameKeepsTheNameOnFailure) {
  Load("[A]\nk=1\n");
  files_.SetFile("setup.ini", "[A\n");
  ExpectIniException([&] { ini_.Load(); });
  EXPECT_EQ(ini_.GetFileName(), "setup.ini");
  EXPECT_EQ(ini_.GetSections().GetCount(), 0u);
  // A reload replaces the content rather than adding to it.
  files_.SetFile("setup.ini", "[B]\nk=2\n");
  ini_.Load();
  EXPECT_EQ(SectionOrder(), (Strings{"$$$unnamed$$$", "B"}));
}

// A document type that refuses some lines: its exceptions are completed like
// the library's own.
class StrictIniFile : public CIniFile {
 public:
  using CIniFile::CIniFile;

 protected:
  void ParseLine(const std::string& line, std::string& currentSection) override {
    if (line == "forbidden") throw CKqIniFileException(4, 1, "refused");
    CIniFile::ParseLine(line, currentSection);
  }
};

TEST_F(ParserTest, DerivedParsersTakePartInTheLoad) {
  files_.SetFile("s.ini", "[A]\nok=1\nforbidden\n");
  StrictIniFile strict(files_);
  CKqIniFileException e = ExpectIniException([&] { strict.Load("s.ini"); });
  EXPECT_EQ(e.Message(), "refused");
  EXPECT_EQ(e.LineText(), "forbidden");
  EXPECT_EQ(e.LineNumber(), 2);
  EXPECT_EQ(strict.GetSections().GetCount(), 0u);
}

}  // namespace
}  // namespace kq
