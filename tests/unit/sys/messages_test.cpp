#include "sys/messages.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "sys/messages/message_tables.h"
#include "sys/recording_platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace kq {
namespace {

// Code-page text back to UTF-8 by the platform's own converter; false when a
// byte sequence is not valid in that code page.
bool CodePageToUtf8(uint32_t codePage, const std::string& bytes, std::string& utf8) {
#ifdef _WIN32
  if (bytes.empty()) return utf8.clear(), true;
  const int wide = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                       nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &w[0], wide);
  const int narrow = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  utf8.assign(static_cast<size_t>(narrow), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &utf8[0], narrow, nullptr, nullptr);
  return true;
#else
  const std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = bytes;
  std::string out(bytes.size() * 4 + 4, '\0');
  char* inPtr = &in[0];
  size_t inLeft = in.size();
  char* outPtr = &out[0];
  size_t outLeft = out.size();
  const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (result == static_cast<size_t>(-1) || inLeft != 0) return false;
  utf8.assign(&out[0], out.size() - outLeft);
  return true;
#endif
}

const std::map<uint32_t, std::string>& EnglishTexts() {
  static const std::map<uint32_t, std::string> texts = {
      {0, "Setup"},
      {1, "Please wait while setup loads...."},
      {2, "Internal Error"},
      {3, "Error Code: %04X.%08X"},
      {4, "Error"},
      {5, "This program does not support the operating system detected."},
      {6, "Warning"},
      {7, "Setup cannot find a valid version of this software to upgrade.\nPlease make sure that you are using the "
          "correct upgrade version.\n\n"},
      {8, "Setup has detected that the application being installed is running.\nIn order for setup to continue, the "
          "application being installed cannot be running.  Either close the application and choose YES to "
          "continue, or choose NO to exit setup and run Setup again later."},
      {9, "Setup has detected the following incompatible software: \n\n_PRODUCT_NAME_.\n\nIt must be uninstalled "
          "before continuing.\nWould you like to uninstall this now?"},
      {10, "Setup has detected a previous installation of _OLD_PRODUCT_NAME_.\n\nTo install _PRODUCT_NAME_ "
           "_PRODUCT_VERSION_, you must first uninstall\nthe existing version of _OLD_PRODUCT_NAME_.\nWould you "
           "like to uninstall _OLD_PRODUCT_NAME_ now?\nChoose Yes to uninstall _OLD_PRODUCT_NAME_.\nChoose No to "
           "exit setup."},
      {11, "Setup has detected the following incompatible software: \n\n_PRODUCT_NAME_.\n\nInstallation cannot "
           "continue.  Please see the README for more information."},
      {12, "This program will not install on Windows NT Server."},
      {13, "Setup requires at least version %s of the Windows Installer to run.\nYou will first need to download "
           "and install the Windows Installer from www.microsoft.com."},
      {14, "You must restart your system for the configuration changes made to _PRODUCT_NAME_ to take effect. "
           "Click Yes to restart now or No if you plan to manually restart later."},
  };
  return texts;
}

// The placeholders a text holds, in order: printf conversions and the
// underscore names.
std::vector<std::string> Placeholders(const std::string& text) {
  static const std::regex pattern("_(OLD_)?PRODUCT_(NAME|VERSION)_|%[-+ #0]*[0-9]*[a-zA-Z]");
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
    found.push_back(it->str());
  }
  return found;
}

TEST(Messages, LanguageListHasTheFifteenLanguagesInSelectionOrder) {
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {
      {0x0804, 936},  {0x0404, 950},  {0x0406, 1252}, {0x0407, 1252}, {0x0409, 1252},
      {0x080A, 1252}, {0x040B, 1252}, {0x040C, 1252}, {0x0410, 1252}, {0x0411, 932},
      {0x0412, 949},  {0x0413, 1252}, {0x0414, 1252}, {0x0416, 1252}, {0x041D, 1252}};
  std::vector<std::pair<uint32_t, uint32_t>> actual;
  for (const MessageLanguage* l = MessageLanguages(); l->language != 0; ++l) actual.push_back({l->language, l->codePage});
  EXPECT_EQ(actual, expected);
}

TEST(Messages, EveryTableHoldsTheFifteenIdsInOrderWithTheEnglishPlaceholders) {
  const std::vector<uint32_t> order = {0, 1, 3, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  for (const MessageLanguage* l = MessageLanguages(); l->language != 0; ++l) {
    SCOPED_TRACE(l->language);
    std::vector<uint32_t> ids;
    for (const MessageEntry& e : MessageTable(*l)) {
      ids.push_back(e.id);
      const std::vector<std::string> english = Placeholders(EnglishTexts().at(e.id));
      const std::vector<std::string> translated = Placeholders(e.text);
      // printf conversions in the same order; named placeholders as a set
      // (a language may name a product once more or less).
      auto conversions = [](const std::vector<std::string>& all) {
        std::vector<std::string> out;
        for (const std::string& p : all) if (p[0] == '%') out.push_back(p);
        return out;
      };
      EXPECT_EQ(conversions(translated), conversions(english)) << "message " << e.id;
      EXPECT_EQ(std::set<std::string>(translated.begin(), translated.end()),
                std::set<std::string>(english.begin(), english.end()))
          << "message " << e.id;
    }
    EXPECT_EQ(ids, order);
  }
}

TEST(Messages, EnglishTextsAreExact) {
  for (const auto& [id, text] : EnglishTexts()) {
    std::string actual;
    ASSERT_TRUE(GetMessageTextForLocale(0x0409, id, actual));
    EXPECT_EQ(actual, text) << "message " << id;
  }
}

TEST(Messages, EveryTableConvertsLosslesslyIntoItsCodePage) {
  std::map<std::pair<uint32_t, uint32_t>, std::string> sources;
  for (const MessageSourceText* s = kMessageSourcesUtf8; s->utf8 != nullptr; ++s) sources[{s->language, s->id}] = s->utf8;
  size_t checked = 0;
  for (const MessageLanguage* l = MessageLanguages(); l->language != 0; ++l) {
    for (const MessageEntry& e : MessageTable(*l)) {
      SCOPED_TRACE(::testing::Message() << "language " << std::hex << l->language << " message " << std::dec << e.id);
      std::string decoded;
      ASSERT_TRUE(CodePageToUtf8(l->codePage, e.text, decoded));
      EXPECT_EQ(decoded, sources.at({l->language, e.id}));
      ++checked;
    }
  }
  EXPECT_EQ(checked, 15u * 15u);
}

TEST(Messages, TranslationsAreNotEnglish) {
  for (const MessageLanguage* l = MessageLanguages(); l->language != 0; ++l) {
    if (l->language == 0x0409) continue;
    for (const MessageEntry& e : MessageTable(*l)) {
      // Words that are the same in the language: German "Setup", Spanish "Error".
      if ((l->language == 0x0407 && e.id == kMsgSetup) || (l->language == 0x080A && e.id == kMsgError)) continue;
      EXPECT_NE(e.text, EnglishTexts().at(e.id))
          << "language " << std::hex << l->language << " message " << std::dec << e.id;
    }
  }
}

TEST(Messages, SelectsExactThenPrimaryThenEnglish) {
  const struct {
    uint32_t locale;
    uint32_t language;
  } cases[] = {
      {0x0407, 0x0407}, {0x0C07, 0x0407}, {0x00010407, 0x0407},  // German, Austria, phone-book sort
      {0x0804, 0x0804}, {0x0C04, 0x0804}, {0x1004, 0x0804},      // Chinese: PRC, Hong Kong, Singapore
      {0x0404, 0x0404}, {0x0411, 0x0411}, {0x0412, 0x0412},
      {0x0C0A, 0x080A}, {0x040A, 0x080A},                        // Spanish of Spain gets Mexico's
      {0x0816, 0x0416}, {0x0814, 0x0414}, {0x0813, 0x0413}, {0x081D, 0x041D}, {0x080C, 0x040C},
      {0x0809, 0x0409}, {0x0419, 0x0409}, {0x0000, 0x0409}, {0x0415, 0x0409},
  };
  for (const auto& c : cases) {
    const MessageLanguage* chosen = SelectMessageLanguage(c.locale);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->language, c.language) << std::hex << c.locale;
  }
}

TEST(Messages, UnknownIdLeavesTheTextUnchanged) {
  std::string text = "unchanged";
  EXPECT_FALSE(GetMessageTextForLocale(0x0407, 15, text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_TRUE(GetMessageTextForLocale(0x0407, kMsgError, text));
  EXPECT_EQ(text, "Fehler");
}

// The real tables are checked above through MessageTable; these are the
// streams the generator never makes.
TEST(Messages, UnpackingStopsWhereTheStreamEndsOrBreaks) {
  const struct {
    std::vector<unsigned char> packed;
    size_t length;
    const char* result;
  } cases[] = {
      {{0x01, 'a', 'b', 0x41, 0x01}, 100, "ababab"},          // a repeat reaching into itself
      {{0x00, 'x', 0x80, 0x01, 0x00}, 100, "xxxxx"},          // from further back
      {{0x00, 'a', 0x00, 'b'}, 1, "a"},                       // enough unpacked
      {{0x05, 'a', 'b'}, 100, ""},                            // fewer bytes than said
      {{0x40, 0x00}, 100, ""},                                // a repeat of nothing
      {{0x01, 'a', 'b', 0x80, 0x03, 0x00}, 100, "ab"},        // from before the start
      {{0x01, 'a', 'b', 0x80, 0x00, 0x00}, 100, "ab"},        // from zero bytes back
      {{0x00, 'x', 0x80, 0x01}, 100, "x"},                    // a token cut short
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnpackMessages(c.packed.data(), c.packed.size(), c.length), c.result) << c.result;
  }
}

TEST(Messages, TheRunPlatformsLocaleChoosesTheText) {
  testing_support::RecordingPlatform platform;
  platform.SetUserLocale(0x0407);
  EXPECT_EQ(GetMessageText(kMsgError), "Fehler");
  EXPECT_EQ(EnglishMessageText(kMsgError), "Error");
  EXPECT_EQ(GetMessageText(15), "");
}

TEST(SubstitutePlaceholders, ReplacesEveryOccurrenceOfEachName) {
  std::string text;
  ASSERT_TRUE(GetMessageTextForLocale(0x0409, kMsgUninstallPrevious, text));
  SubstitutePlaceholders({"_OLD_PRODUCT_NAME_,Widget 1", "_PRODUCT_NAME_,Widget 2", "_PRODUCT_VERSION_,2.0"}, text);
  EXPECT_EQ(text,
            "Setup has detected a previous installation of Widget 1.\n\nTo install Widget 2 2.0, you must first "
            "uninstall\nthe existing version of Widget 1.\nWould you like to uninstall Widget 1 now?\nChoose Yes "
            "to uninstall Widget 1.\nChoose No to exit setup.");
}

TEST(SubstitutePlaceholders, HandlesValuesAndNamesAsWritten) {
  const struct {
    std::vector<std::string> entries;
    const char* text;
    const char* result;
  } cases[] = {
      {{}, "A _PRODUCT_NAME_ B", "A _PRODUCT_NAME_ B"},
      {{"_PRODUCT_NAME_,Widget"}, "no placeholders here", "no placeholders here"},
      {{"_PRODUCT_NAME_,Korvane, Inc. Widget"}, "[_PRODUCT_NAME_]", "[Korvane, Inc. Widget]"},
      {{"_PRODUCT_NAME_, spaced "}, "[_PRODUCT_NAME_]", "[ spaced ]"},
      {{"_PRODUCT_NAME_,"}, "[_PRODUCT_NAME_]", "[]"},
      // A value holding its own placeholder is put in once per occurrence.
      {{"_PRODUCT_NAME_,x _PRODUCT_NAME_ y"}, "_PRODUCT_NAME_|_PRODUCT_NAME_",
       "x _PRODUCT_NAME_ y|x _PRODUCT_NAME_ y"},
      // Values put in by an earlier entry are seen by later ones.
      {{"_OLD_PRODUCT_NAME_,_PRODUCT_NAME_ 1", "_PRODUCT_NAME_,W"}, "_OLD_PRODUCT_NAME_", "W 1"},
      {{"\"_A,B_\",v"}, "x_A,B_y", "xvy"},
      {{",empty name", "\"unbalanced,v"}, "_PRODUCT_NAME_", "_PRODUCT_NAME_"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string text = c.text;
    SubstitutePlaceholders(c.entries, text);
    EXPECT_EQ(text, c.result);
  }
}


}  // namespace
}  // namespace kq
