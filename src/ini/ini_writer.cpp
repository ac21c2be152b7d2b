// Writing a CIniFile back to its file: every section in document order, every
// stored line in section order, in the encoding the file was loaded in.
#include <vector>

#include "ini/ini_file.h"

namespace kq {

namespace {

// A section whose name is empty is written as "[ ]": "[]" would not read
// back, and blanks inside the brackets are trimmed away when it is read.
std::string HeaderLine(const std::string& name) { return "[" + (name.empty() ? std::string(" ") : name) + "]"; }

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
  // An ANSI file that begins with the bytes FF FE reads back as UTF-16 and
  // no longer as what was saved. Refuse before the old file is truncated.
  // (Only a document whose implicit section begins with such a line, for
  // example after a header "[$$$unnamed$$$]" in the file, can get here.)
  std::string firstLine;
  if (!unicode_ && FirstOutputLine(sections_, firstLine) && firstLine.compare(0, 2, "\xFF\xFE") == 0)
    throw CKqIniFileException(CKqIniFileException::kCategoryStorage, kIniErrorInvalidData,
                              "The first line would read back as a UTF-16 byte order mark.");
  CTCharStream stream(opener_);
  if (!stream.OpenStream(fileName_.c_str(), unicode_ ? CTCharStream::kModeWriteUtf16 : CTCharStream::kModeWriteAnsi))
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
