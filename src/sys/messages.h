#pragma once
// Localized user-visible texts: fifteen messages in fifteen languages, chosen
// by the user's default locale, with named placeholders for product names.
#include <cstdint>
#include <string>
#include <vector>

namespace kq {

enum MessageId : uint32_t {
  kMsgSetup = 0,
  kMsgPleaseWait = 1,
  kMsgInternalError = 2,
  kMsgErrorCode = 3,               // "Error Code: %04X.%08X"
  kMsgError = 4,
  kMsgUnsupportedOs = 5,
  kMsgWarning = 6,
  kMsgNoUpgradeVersion = 7,
  kMsgApplicationRunning = 8,
  kMsgUninstallIncompatible = 9,   // _PRODUCT_NAME_
  kMsgUninstallPrevious = 10,      // _OLD_PRODUCT_NAME_, _PRODUCT_NAME_, _PRODUCT_VERSION_
  kMsgIncompatibleBlocks = 11,     // _PRODUCT_NAME_
  kMsgNoNtServer = 12,
  kMsgInstallerVersion = 13,       // %s: the required version
  kMsgRestart = 14,                // _PRODUCT_NAME_
};

// One language; the list ends with an entry whose language is 0.
struct MessageLanguage {
  uint32_t language;    // Windows language identifier (low 16 bits of an LCID)
  uint32_t codePage;    // code page of the texts
  uint32_t textsBegin;  // where its texts lie in the unpacked tables
  uint32_t textsEnd;
};

// One text of a table.
struct MessageEntry {
  uint32_t id;
  std::string text;  // in the code page of its language
};

// The texts of a language, in table order. The tables are kept packed
// (about 10 KB instead of 24) and unpacked here, for each call.
std::vector<MessageEntry> MessageTable(const MessageLanguage& language);

// The built-in language list, in selection order.
const MessageLanguage* MessageLanguages();

// The table for a user locale: the exact language, else the first with the
// same primary language (low 10 bits), else English (United States).
const MessageLanguage* SelectMessageLanguage(uint32_t userLocale);

// The text of `id` for `userLocale` from the table SelectMessageLanguage
// chooses, else from the English (United States) table: a table that lacks
// a text shows the English one. False (text unchanged) only for an id no
// table holds.
bool GetMessageTextForLocale(uint32_t userLocale, uint32_t id, std::string& text);

// The same for the user's default locale (the run platform's).
bool GetMessageText(uint32_t id, std::string& text);
// The text itself; empty for an id no table holds.
std::string GetMessageText(uint32_t id);
// The English text, as log lines write it whatever the user's language.
std::string EnglishMessageText(uint32_t id);

// Replaces placeholders in `text` for each "NAME,value" entry in order: every
// occurrence of NAME present in the text is replaced by value (all of the
// entry after the first comma outside quotes, untrimmed). Inserted values are
// not searched again for the same NAME, so a value may contain its own
// placeholder; later entries do see values inserted by earlier ones. An
// entry whose name cannot be tokenized, or is empty, is skipped.
void SubstitutePlaceholders(const std::vector<std::string>& entries, std::string& text);

}  // namespace kq
