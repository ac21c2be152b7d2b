#pragma once
// An INI document: every line of the file in order (comments, blank lines
// and plain lines included), sections indexed by name and keys by name, read
// from and written back to an ANSI, UTF-16LE or UTF-8 file (UTF-8 text is
// held in the ANSI code page).
//
// Ownership is plain: the document owns its sections, a section owns its
// lines. Pointers handed out by FindSection, AddSection, GetLines and the
// enumerators stay valid until the document next changes.
#include <string>

#include "ini/ini_byte_file.h"
#include "ini/ini_file_exception.h"
#include "ini/ini_section.h"
#include "ini/tchar_stream.h"

namespace kq {

class CIniFile {
 public:
  // The section that holds the lines before the first header.
  static constexpr const char* kUnnamedSection = "$$$unnamed$$$";

  explicit CIniFile(IniFileOpener& opener = PlatformFileOpener()) : opener_(opener) {}
  virtual ~CIniFile();
  CIniFile(const CIniFile&) = delete;
  CIniFile& operator=(const CIniFile&) = delete;

  // Sets the file name and loads; if the load throws, the name is emptied
  // again. Throws CKqIniFileException.
  void Load(const std::string& fileName);
  // Reads the named file. A failure leaves the document empty and throws
  // CKqIniFileException with the file, section, line and line number.
  void Load();
  // Writes the document to the named file in the encoding it was loaded
  // in. Throws CKqIniFileException; the document is not changed.
  void Save();

  const std::string& GetFileName() const { return fileName_; }
  void SetFileName(const std::string& fileName) { fileName_ = fileName; }
  // True when the file last loaded was UTF-16LE; Save writes it so.
  bool IsUnicode() const { return unicode_; }
  void SetUnicode(bool unicode) { unicode_ = unicode; }
  // True when the file last loaded began with the UTF-8 byte order mark;
  // Save writes it so (unless IsUnicode, which wins).
  bool IsUtf8() const { return utf8_; }
  void SetUtf8(bool utf8) { utf8_ = utf8; }

  // Exact, case-sensitive lookup of the first section of that name.
  bool FindSection(const std::string& name, IniSection** section) const;
  // Appends a new, empty section. When a section of that name exists the
  // new one only joins the order; lookups keep finding the first.
  IniSection* AddSection(const std::string& name);
  void RemoveAllSections();
  const IniSectionCollection& GetSections() const { return sections_; }

 protected:
  // Classifies one line of the file and stores it; `currentSection` is the
  // name of the section being read, changed by a header. Throws
  // CKqIniFileException for a malformed line.
  virtual void ParseLine(const std::string& line, std::string& currentSection);
  // Writes the lines of one section, adding 1 to `lineCounter` per line.
  virtual void WriteSection(CTCharStream& stream, const IniSection& section, long& lineCounter);
  // Writes one line or throws the save's exception.
  void WriteLineOrThrow(CTCharStream& stream, const std::string& text);

 private:
  IniSection* CurrentSection(const std::string& name) const;
  void ReadLines(CTCharStream& stream, std::string& currentSection, std::string& lineText, long& lineCounter);

  IniFileOpener& opener_;
  std::string fileName_;
  IniSectionCollection sections_;
  bool unicode_ = false;
  bool utf8_ = false;
};

}  // namespace kq
