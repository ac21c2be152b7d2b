// Writing a CIniFile back to its file: every section in document order, every
// stored line in section order, in the encoding the file was loaded in.
#include <vector>

#include "ini/ini_file.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

// Whether the last byte of `text` is a lead byte with nothing after it.
bool EndsWithLoneLeadByte(const std::string& text) {
  size_t at = 0;
  size_t last = 0;
  for (; at < text.size(); at += CharLengthAt(text, at)) last = at;
  return !text.empty() && last == text.size() - 1 && IsLeadByte(static_cast<unsigned char>(text[last]));
}

// A section whose name is empty is written as "[ ]": "[]" would not read
// back, and blanks inside the brackets are trimmed away when it is read. A
// name that ends with a lone lead byte gets a blank before the bracket too,
// so that the bracket does not read back as its trail byte.
std::string HeaderLine(const std::string& name) {
  if (name.empty() || EndsWithLoneLeadByte(name)) return "[" + name + " ]";
  return "[" + name + "]";
}

// The first line the save writes: the first line of a leading section that
// has no header, or else the first header.
bool FirstOutputLine(const IniSectionCollection& sections, std::string& line) {
  for (size_t i = 0; i < sections.GetCount(); ++i) {
    const IniSection* section = sections.At(i);
    if (section->Name() != CIniFile::kUnnamedSection) {
      line = HeaderLine(section->Name());
      return true;
    }
    if (section->Lines().GetCount() > 0) {
      const IniLine* first = section->Lines().At(0);
      line = first->GetKey().empty() ? first->GetValue() : first->GetKey() + "=" + first->GetValue();
      return true;
    }
  }
  return false;
}

}  // namespace

void CIniFile::Save() {
  if (fileName_.empty())
    throw CKqIniFileException(CKqIniFileException::kCategoryFile, kIniErrorInvalidName,
                              "The filename member of CIniFile has not been initialized.");
  const int mode = unicode_ ? CTCharStream::kModeWriteUtf16
                   : utf8_  ? CTCharStream::kModeWriteUtf8
                            : CTCharStream::kModeWriteAnsi;
  // An ANSI file that begins with the bytes FF FE or EF BB BF reads back as
  // UTF-16 or UTF-8 and no longer as what was saved. Refuse before the old
  // file is truncated. (Only a document whose implicit section begins with
  // such a line, for example after a header "[$$$unnamed$$$]" in the file,
  // can get here.)
  std::string firstLine;
  if (mode == CTCharStream::kModeWriteAnsi && FirstOutputLine(sections_, firstLine)) {
    if (firstLine.compare(0, 2, "\xFF\xFE") == 0)
      throw CKqIniFileException(CKqIniFileException::kCategoryStorage, kIniErrorInvalidData,
                                "The first line would read back as a UTF-16 byte order mark.");
    if (firstLine.compare(0, 3, "\xEF\xBB\xBF") == 0)
      throw CKqIniFileException(CKqIniFileException::kCategoryStorage, kIniErrorInvalidData,
                                "The first line would read back as a UTF-8 byte order mark.");
  }
  CTCharStream stream(opener_);
  if (!stream.OpenStream(fileName_.c_str(), mode))
    throw CKqIniFileException(CKqIniFileException::kCategoryStorage, GetIniLastError(),
                              "Failed to open the output stream");

  long lineCounter = 0;
  std::string header;  // the last header line written
  try {
    // A snapshot of the order, so that WriteSection cannot disturb the walk.
    std::vector<const IniSection*> sections;
    sections.reserve(sections_.GetCount());
    for (size_t i = 0; i < sections_.GetCount(); ++i) sections.push_back(sections_.At(i));
    for (const IniSection* section : sections) {
      if (section->Name() != kUnnamedSection) {
        header = HeaderLine(section->Name());
        WriteLineOrThrow(stream, header);
        ++lineCounter;
      }
      WriteSection(stream, *section, lineCounter);
    }
    // A failed close may have lost buffered data.
    if (!stream.Close())
      throw CKqIniFileException(CKqIniFileException::kCategoryStorage, GetIniLastError(),
                                "Failed to write line to file:" + fileName_);
  } catch (CKqIniFileException& e) {
    e.Complete(fileName_, std::string(), header, lineCounter);
    stream.Close();
    throw;
  } catch (...) {
    stream.Close();
    throw;
  }
}

void CIniFile::WriteSection(CTCharStream& stream, const IniSection& section, long& lineCounter) {
  const IniLineCollection& lines = section.Lines();
  std::string text;
  for (size_t i = 0; i < lines.GetCount(); ++i) {
    const IniLine* line = lines.At(i);
    if (line->GetKey().empty()) {
      WriteLineOrThrow(stream, line->GetValue());
    } else {
      text = line->GetKey();
      text += '=';
      text += line->GetValue();
      WriteLineOrThrow(stream, text);
    }
    ++lineCounter;
  }
}

void CIniFile::WriteLineOrThrow(CTCharStream& stream, const std::string& text) {
  if (!stream.WriteLine(text))
    throw CKqIniFileException(CKqIniFileException::kCategoryStorage, GetIniLastError(),
                              "Failed to write line to file:" + fileName_);
}

}  // namespace kq
