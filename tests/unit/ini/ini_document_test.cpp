// The document model: section and key indexes, duplicates, positions,
// removal and enumeration.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ini/ini_file.h"
#include "ini/memory_file_opener.h"
#include "ini_test_util.h"

namespace kq {
namespace {

using test::ValueOf;

TEST(IniDocument, NewDocumentIsEmpty) {
  MemoryFileOpener files;
  CIniFile ini(files);
  IniSection* section = nullptr;
  EXPECT_EQ(ini.GetFileName(), "");
  EXPECT_FALSE(ini.IsUnicode());
  EXPECT_FALSE(ini.FindSection("", &section));
  EXPECT_FALSE(ini.FindSection("A", nullptr));
}

TEST(IniDocument, DuplicateSectionsJoinTheOrderButNotTheIndex) {
  CIniFile ini;
  IniSection* first = ini.AddSection("A");
  IniSection* second = ini.AddSection("A");
  ASSERT_NE(first, second);
  IniSection* found = nullptr;
  ASSERT_TRUE(ini.FindSection("A", &found));
  EXPECT_EQ(found, first);
  EXPECT_FALSE(ini.FindSection("a", &found));
  EXPECT_FALSE(ini.FindSection(" A", &found));  // section names are not trimmed
  EXPECT_EQ(ini.GetSections().GetCount(), 2u);

  // A rename moves the index: the name now leads to the second section.
  EXPECT_TRUE(first->SetName("B"));
  ASSERT_TRUE(ini.FindSection("A", &found));
  EXPECT_EQ(found, second);
  ASSERT_TRUE(ini.FindSection("B", &found));
  EXPECT_EQ(found, first);

  ini.RemoveAllSections();
  EXPECT_FALSE(ini.FindSection("A", &found));
  EXPECT_EQ(ini.GetSections().GetCount(), 0u);
}

TEST(IniSection, KeysAreIndexedTrimmedAndTheFirstLineWins) {
  IniSection section("S");
  EXPECT_TRUE(section.AddKeyValue("  k  ", " one "));
  EXPECT_TRUE(section.AddKeyValue("k", "two"));
  EXPECT_TRUE(section.AddLine("; k=three"));
  std::string value;
  ASSERT_TRUE(section.GetValue("k", &value));
  EXPECT_EQ(value, " one ");
  ASSERT_TRUE(section.GetValue("\tk ", &value));
  EXPECT_EQ(value, " one ");
  EXPECT_FALSE(section.GetValue("K", &value));
  EXPECT_FALSE(section.GetValue("k", nullptr));
  EXPECT_EQ(section.Lines().GetCount(), 3u);
}

// A line added as a key line is indexed even when its key is empty or all
// blanks; only AddLine makes a line that lookups cannot reach.
TEST(IniSection, KeyLinesWithAnEmptyKeyAreIndexedUnderTheEmptyName) {
  IniSection section("S");
  EXPECT_TRUE(section.AddLine("plain"));
  EXPECT_TRUE(section.AddKeyValue("", "empty"));
  EXPECT_TRUE(section.AddKeyValue(" \t", "blank"));
  std::string value;
  ASSERT_TRUE(section.GetValue("", &value));
  EXPECT_EQ(value, "empty");
  ASSERT_TRUE(section.GetValue("  ", &value));
  EXPECT_EQ(value, "empty");

  EXPECT_FALSE(section.RemoveKey(" "));  // looked up as given
  EXPECT_TRUE(section.RemoveKey(""));
  ASSERT_TRUE(section.GetValue("", &value));
  EXPECT_EQ(value, "blank");
  EXPECT_TRUE(section.RemoveKey(""));
  EXPECT_FALSE(section.GetValue("", &value));
  EXPECT_FALSE(section.RemoveKey(""));  // the plain line is not in the index
  ASSERT_EQ(section.Lines().GetCount(), 1u);
  EXPECT_EQ(section.Lines().At(0)->GetValue(), "plain");
}

TEST(IniSection, GetLineCountsFromOne) {
  IniSection section("S");
  std::string value;
  EXPECT_FALSE(section.GetLine(0, &value));  // nothing to give
  section.AddLine("first");
  section.AddKeyValue("k", "second");
  ASSERT_TRUE(section.GetLine(0, &value));
  EXPECT_EQ(value, "first");
  ASSERT_TRUE(section.GetLine(1, &value));
  EXPECT_EQ(value, "first");
  ASSERT_TRUE(section.GetLine(2, &value));
  EXPECT_EQ(value, "second");
  EXPECT_FALSE(section.GetLine(3, &value));
  EXPECT_FALSE(section.GetLine(-1, &value));
}

TEST(IniSection, RemovingALineKeepsIndexAndOrderInStep) {
  IniSection section("S");
  section.AddKeyValue("a", "1");
  section.AddKeyValue(" b", "2");
  section.AddKeyValue("a", "3");
  section.AddLine("plain");
  std::string value;

  EXPECT_FALSE(section.RemoveKey(" b"));  // looked up as given
  EXPECT_FALSE(section.RemoveKey("missing"));
  EXPECT_TRUE(section.RemoveKey("b"));
  EXPECT_FALSE(section.GetValue("b", &value));
  EXPECT_EQ(section.Lines().GetCount(), 3u);

  // Removing the first "a" lets the remaining "a" line answer lookups, as it
  // would after the file was saved and read again.
  EXPECT_TRUE(section.RemoveKey("a"));
  ASSERT_TRUE(section.GetValue("a", &value));
  EXPECT_EQ(value, "3");

  EXPECT_FALSE(section.RemoveLineAt(2));
  EXPECT_FALSE(section.RemoveLineAt(-1));
  EXPECT_TRUE(section.RemoveLineAt(0));
  EXPECT_FALSE(section.GetValue("a", &value));
  ASSERT_TRUE(section.GetLine(1, &value));
  EXPECT_EQ(value, "plain");

  EXPECT_TRUE(section.RemoveAllLines());
  EXPECT_EQ(section.Lines().GetCount(), 0u);
}

TEST(IniSection, ChangingAKeyMovesItsIndexEntry) {
  IniSection section("S");
  section.AddKeyValue("a", "1");
  section.AddKeyValue("a", "2");
  IniLineCollection* lines = nullptr;
  ASSERT_TRUE(section.GetLines(&lines));
  EXPECT_FALSE(section.GetLines(nullptr));
  lines->At(0)->SetKey("z");
  std::string value;
  ASSERT_TRUE(section.GetValue("a", &value));
  EXPECT_EQ(value, "2");
  ASSERT_TRUE(section.GetValue("z", &value));
  EXPECT_EQ(value, "1");
  lines->At(0)->SetKey("");  // now a plain line
  EXPECT_FALSE(section.GetValue("z", &value));
}

TEST(IniEnumerator, WalksTheOrderInSteps) {
  IniSection section("S");
  for (const char* text : {"a", "b", "c"}) section.AddLine(text);
  IniEnumerator<IniLine> lines = section.Lines().CreateEnumerator();
  IniLine* batch[2] = {};
  size_t fetched = 0;
  ASSERT_TRUE(lines.Next(2, batch, &fetched));
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(batch[1]->GetValue(), "b");
  ASSERT_TRUE(lines.Next(2, batch, &fetched));
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(batch[0]->GetValue(), "c");
  ASSERT_TRUE(lines.Next(1, batch, &fetched));
  EXPECT_EQ(fetched, 0u);
  ASSERT_TRUE(lines.Reset());
  ASSERT_TRUE(lines.Next(1, batch, &fetched));
  EXPECT_EQ(batch[0]->GetValue(), "a");
  EXPECT_FALSE(lines.Next(1, nullptr, &fetched));

  // A removal under a live enumerator shortens the walk instead of
  // running past the end.
  section.RemoveAllLines();
  ASSERT_TRUE(lines.Next(2, batch, &fetched));
  EXPECT_EQ(fetched, 0u);

  IniEnumerator<IniLine> none;
  EXPECT_FALSE(none.Reset());
  EXPECT_FALSE(none.Next(1, batch, &fetched));
}

TEST(IniEnumerator, ReadsASectionAsAList) {
  MemoryFileOpener files;
  files.SetFile("s.ini", "[Apps]\r\nfirst.exe /q\r\n; skipped? no, kept\r\nsecond.exe\r\n");
  CIniFile ini(files);
  ini.Load("s.ini");
  IniSection* apps = nullptr;
  ASSERT_TRUE(ini.FindSection("Apps", &apps));
  IniLineCollection* lines = nullptr;
  ASSERT_TRUE(apps->GetLines(&lines));
  IniEnumerator<IniLine> each = lines->CreateEnumerator();
  std::vector<std::string> values;
  IniLine* line = nullptr;
  size_t fetched = 0;
  while (each.Next(1, &line, &fetched) && fetched == 1) values.push_back(line->GetValue());
  EXPECT_EQ(values, (std::vector<std::string>{"first.exe /q", "; skipped? no, kept", "second.exe"}));
}

}  // namespace
}  // namespace kq
