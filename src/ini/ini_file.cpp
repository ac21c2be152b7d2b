#include "ini/ini_file.h"

#include <vector>

#include "text/next_field.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

// The first buffer for a line; longer lines are read a second time into a
// buffer of the size the stream reports.
constexpr long kFirstLineCapacity = 1023;

// Errors of the grammar.
constexpr const char* kBadSectionHeader = "Improperly formed section name.";
constexpr const char* kBadSectionName = "Illegal character(s) in section name.";
constexpr const char* kBadKeyName = "Illegal character(s) in key name.";
constexpr const char* kNoSection = "Could not find INI section.";

CKqIniFileException GrammarError(const char* message) {
  return CKqIniFileException(CKqIniFileException::kCategoryFile, kIniErrorInvalidData, message);
}

size_t SkipBlanks(const std::string& text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  return start;
}

}  // namespace

CIniFile::~CIniFile() { RemoveAllSections(); }

void CIniFile::Load(const std::string& fileName) {
  fileName_ = fileName;
  try {
    Load();
  } catch (...) {
    fileName_.clear();
    throw;
  }
}

void CIniFile::Load() {
  RemoveAllSections();
  unicode_ = false;
  utf8_ = false;
  if (fileName_.empty())
    throw CKqIniFileException(CKqIniFileException::kCategoryStorage, kIniErrorInvalidName,
                              "The filename member of CIniFile has not been initialized.");

  CTCharStream stream(opener_);
  if (!stream.OpenStream(fileName_.c_str(), CTCharStream::kModeRead))
    throw CKqIniFileException(CKqIniFileException::kCategoryFile, GetIniLastError(),
                              "Call to CTCharStream::OpenStream( " + fileName_ + " ) failed.");
  unicode_ = stream.GetEncoding() == CTCharStream::kEncodingUtf16;
  utf8_ = stream.GetEncoding() == CTCharStream::kEncodingUtf8;

  std::string currentSection = kUnnamedSection;
  AddSection(currentSection);
  std::string lineText;
  long lineCounter = 0;
  try {
    ReadLines(stream, currentSection, lineText, lineCounter);
    stream.Close();
  } catch (CKqIniFileException& e) {
    e.Complete(fileName_, currentSection, lineText, lineCounter);
    stream.Close();
    RemoveAllSections();
    throw;
  } catch (...) {
    stream.Close();
    RemoveAllSections();
    throw;
  }
}

void CIniFile::ReadLines(CTCharStream& stream, std::string& currentSection, std::string& lineText,
                         long& lineCounter) {
  const std::string readError = "Failed to read line from file:" + fileName_;
  std::vector<char> buffer(kFirstLineCapacity + 1);
  for (;;) {
    lineText.clear();
    long length = static_cast<long>(buffer.size() - 1);
    bool read = stream.ReadLine(buffer.data(), &length);
    if (!read && length > 0) {
      // Longer than any line so far: read it again into a buffer that fits.
      buffer.resize(static_cast<size_t>(length) + 1);
      read = stream.ReadLine(buffer.data(), &length);
    }
    if (!read) {
      const uint32_t error = GetIniLastError();
      if (error == kIniErrorNoUnicodeTranslation)
        throw CKqIniFileException(CKqIniFileException::kCategoryFile, error,
                                  "Line " + std::to_string(lineCounter + 1) + " of " + fileName_ +
                                      (stream.GetEncoding() == CTCharStream::kEncodingUtf16 ? " is not UTF-16"
                                                                                           : " is not UTF-8") +
                                      " or holds a character that the ANSI code page cannot represent.");
      throw CKqIniFileException(CKqIniFileException::kCategoryFile, error, readError);
    }
    if (length < 0) return;
    lineText.assign(buffer.data(), static_cast<size_t>(length));
    ParseLine(lineText, currentSection);
    ++lineCounter;
  }
}

IniSection* CIniFile::CurrentSection(const std::string& name) const {
  IniSection* section = nullptr;
  if (!FindSection(name, &section))
    throw CKqIniFileException(CKqIniFileException::kCategoryFile, kIniErrorInvalidName, kNoSection);
  return section;
}

void CIniFile::ParseLine(const std::string& line, std::string& currentSection) {
  const size_t start = SkipBlanks(line);
  const char first = start < line.size() ? line[start] : '\0';

  if (first == '[') {
    // '[' and ']' are also trail bytes of double-byte characters (ゾ is
    // 83 5D): the search walks characters.
    const size_t close = FindCharacter(line, "]", start + 1);
    if (close == std::string::npos || close == start + 1) throw GrammarError(kBadSectionHeader);
    // Text after the closing bracket is ignored.
    std::string name = line.substr(start + 1, close - start - 1);
    TrimBlanks(name);
    if (FindCharacter(name, "=[];\t") != std::string::npos) throw GrammarError(kBadSectionName);
    currentSection = name;
    AddSection(name);
    return;
  }

  const size_t equals = line.find('=');
  if (first == ';' || equals == std::string::npos || equals == 0) {
    // Comments, blank lines and any other text are kept raw.
    CurrentSection(currentSection)->AddLine(line);
    return;
  }
  std::string key = line.substr(0, equals);
  std::string trimmedKey = key;
  TrimBlanks(trimmedKey);
  if (FindCharacter(trimmedKey, "[];\t") != std::string::npos) throw GrammarError(kBadKeyName);
  CurrentSection(currentSection)->AddKeyValue(key, line.substr(equals + 1));
}

bool CIniFile::FindSection(const std::string& name, IniSection** section) const {
  if (section == nullptr) return false;
  IniSection* found = sections_.Find(name);
  if (found == nullptr) return false;
  *section = found;
  return true;
}

IniSection* CIniFile::AddSection(const std::string& name) {
  return static_cast<IniSection*>(sections_.Append(std::make_unique<IniSection>(name)));
}

void CIniFile::RemoveAllSections() { sections_.RemoveAll(); }

}  // namespace kq
