#include "sys/messages.h"

#include <utility>

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

std::string UnpackMessages(const unsigned char* packed, size_t size, size_t length) {
  std::string out;
  size_t at = 0;
  while (at < size && out.size() < length) {
    const unsigned token = packed[at++];
    if (token < 0x40) {  // bytes as they are
      const size_t count = token + 1u;
      if (count > size - at) break;
      out.append(reinterpret_cast<const char*>(packed + at), count);
      at += count;
      continue;
    }
    size_t count = 0;
    size_t back = 0;
    if (token < 0x80) {  // a repeat from near by
      if (size - at < 1) break;
      count = (token & 0x3Fu) + 3u;
      back = packed[at] + 1u;
      at += 1;
    } else {  // a repeat from further back
      if (size - at < 2) break;
      count = (token & 0x7Fu) + 4u;
      back = packed[at] | static_cast<size_t>(packed[at + 1]) << 8;
      at += 2;
    }
    if (back == 0 || back > out.size()) break;
    // One byte at a time: a repeat may reach into the bytes it makes.
    for (; count > 0; --count) out += out[out.size() - back];
  }
  return out;
}

std::vector<MessageEntry> MessageTable(const MessageLanguage& language) {
  const std::string texts = UnpackMessages(kPackedMessages, kPackedMessagesSize, language.textsEnd);
  std::vector<MessageEntry> table;
  size_t at = language.textsBegin;
  for (uint32_t id : kMessageTableIds) {
    const size_t end = texts.find('\0', at);
    if (end == std::string::npos || end >= language.textsEnd) break;
    table.push_back({id, texts.substr(at, end - at)});
    at = end + 1;
  }
  return table;
}

namespace {

bool FindText(const MessageLanguage* language, uint32_t id, std::string& text) {
  if (language == nullptr) return false;
  for (MessageEntry& entry : MessageTable(*language)) {
    if (entry.id == id) {
      text = std::move(entry.text);
      return true;
    }
  }
  return false;
}

}  // namespace

const MessageLanguage* MessageLanguages() { return kMessageLanguageList; }

const MessageLanguage* SelectMessageLanguage(uint32_t userLocale) {
  return SelectLanguageFrom(kMessageLanguageList, userLocale);
}

bool GetMessageTextForLocale(uint32_t userLocale, uint32_t id, std::string& text) {
  return FindText(SelectMessageLanguage(userLocale), id, text) ||
         FindText(FirstLanguage(kMessageLanguageList, SameLanguage, kEnglishUnitedStates), id, text);
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
