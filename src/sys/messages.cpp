#include "sys/messages.h"

#include "text/next_field.h"
#include "sys/messages/message_tables.h"
#include "sys/run_platform.h"

namespace kq {

namespace {

constexpr uint32_t kEnglishUnitedStates = 0x0409;

const MessageLanguage* FirstLanguage(const MessageLanguage* languages, bool (*matches)(uint32_t, uint32_t),
                                     uint32_t userLanguage) {
  for (const MessageLanguage* entry = languages; entry->language != 0; ++entry) {
    if (entry->codePage != 0 && matches(entry->language, userLanguage)) return entry;
  }
  return nullptr;
}

bool SameLanguage(uint32_t a, uint32_t b) { return a == b; }
bool SamePrimaryLanguage(uint32_t a, uint32_t b) { return (a & 0x3FFu) == (b & 0x3FFu); }

const MessageLanguage* SelectLanguageFrom(const MessageLanguage* languages, uint32_t userLocale) {
  const uint32_t language = userLocale & 0xFFFFu;
  if (const MessageLanguage* exact = FirstLanguage(languages, SameLanguage, language)) return exact;
  if (const MessageLanguage* primary = FirstLanguage(languages, SamePrimaryLanguage, language)) return primary;
  return FirstLanguage(languages, SameLanguage, kEnglishUnitedStates);
}

bool FindText(const MessageLanguage* language, uint32_t id, std::string& text) {
  if (language == nullptr) return false;
  for (const MessageEntry* entry = language->table; entry->text != nullptr; ++entry) {
    if (entry->id == id) {
      text = entry->text;
      return true;
    }
  }
  return false;
}

// The value of a "NAME,value" entry: everything after the first comma that
// is not inside double quotes (the name may be quoted to hold a comma).
std::string ValueOfEntry(const std::string& entry) {
  bool quoted = false;
  for (size_t i = 0; i < entry.size(); ++i) {
    if (entry[i] == '"') quoted = !quoted;
    if (!quoted && entry[i] == ',') return entry.substr(i + 1);
  }
  return std::string();
}

}  // namespace

const MessageLanguage* MessageLanguages() { return kMessageLanguageList; }

const MessageLanguage* SelectMessageLanguage(uint32_t userLocale) {
  return SelectLanguageFrom(kMessageLanguageList, userLocale);
}

bool GetMessageTextFrom(const MessageLanguage* languages, uint32_t userLocale, uint32_t id, std::string& text) {
  return FindText(SelectLanguageFrom(languages, userLocale), id, text) ||
         FindText(FirstLanguage(languages, SameLanguage, kEnglishUnitedStates), id, text);
}

bool GetMessageTextForLocale(uint32_t userLocale, uint32_t id, std::string& text) {
  return GetMessageTextFrom(kMessageLanguageList, userLocale, id, text);
}

bool GetMessageText(uint32_t id, std::string& text) {
  return GetMessageTextForLocale(CurrentRunPlatform().userLocale(), id, text);
}

std::string GetMessageText(uint32_t id) {
  std::string text;
  GetMessageText(id, text);
  return text;
}

std::string EnglishMessageText(uint32_t id) {
  std::string text;
  GetMessageTextForLocale(kEnglishUnitedStates, id, text);
  return text;
}

void SubstitutePlaceholders(const std::vector<std::string>& entries, std::string& text) {
  for (const std::string& entry : entries) {
    std::string rest = entry;
    std::string name;
    if (!NextField(rest, name, ",", QuoteMode::Remove) || name.empty()) continue;
    const std::string value = ValueOfEntry(entry);
    // Continue each search after the value just put in, so that a value
    // holding its own placeholder is not replaced again (and again).
    size_t from = 0;
    for (size_t at; (at = text.find(name, from)) != std::string::npos; from = at + value.size()) {
      text.replace(at, name.size(), value);
    }
  }
}

}  // namespace kq
