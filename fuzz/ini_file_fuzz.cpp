// Feeds arbitrary bytes through the INI line reader, parser, document model
// and writer. Checks: no crash or overrun (the sanitizers watch), the line
// reader's too-small-buffer protocol gives back the same line, a failed load
// leaves the document empty, and a successful load saved and loaded again
// gives the same sections, keys and values, with a save that is stable. The
// input's length picks the ANSI code page (1252 or a double-byte one), so
// UTF-8 files convert through each and double-byte text meets the grammar.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ini/ini_file.h"
#include "ini/memory_file_opener.h"
#include "text/ansi_code_page.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Reads the file line by line with a small buffer, rereading every line
// that does not fit into one of the size the stream asks for.
void ReadWithSmallBuffer(kq::MemoryFileOpener& files, long capacity) {
  kq::CTCharStream stream(files);
  if (!stream.OpenStream("in.ini", kq::CTCharStream::kModeRead)) return;
  std::vector<char> small(static_cast<size_t>(capacity) + 1);
  for (int guard = 0; guard < 100000; ++guard) {
    long length = capacity;
    if (stream.ReadLine(small.data(), &length)) {
      if (length < 0) return;
      Check(length <= capacity && small[static_cast<size_t>(length)] == '\0');
      continue;
    }
    if (length == 0) return;  // a line the stream cannot convert
    Check(length > capacity);
    std::vector<char> fits(static_cast<size_t>(length) + 1);
    long again = length;
    Check(stream.ReadLine(fits.data(), &again));
    Check(again == length);
  }
}

struct Line {
  std::string key, value;
  bool operator==(const Line& other) const { return key == other.key && value == other.value; }
};
struct Section {
  std::string name;
  std::vector<Line> lines;
  bool operator==(const Section& other) const { return name == other.name && lines == other.lines; }
};

// The document as written: the implicit section appears once, at the front.
std::vector<Section> Snapshot(const kq::CIniFile& ini) {
  std::vector<Section> sections;
  const kq::IniSectionCollection& all = ini.GetSections();
  for (size_t i = 0; i < all.GetCount(); ++i) {
    const kq::IniSection* section = all.At(i);
    if (i > 0 && section->Name() == kq::CIniFile::kUnnamedSection) {
      Check(section->Lines().GetCount() == 0);
      continue;
    }
    Section copy{section->Name(), {}};
    for (size_t j = 0; j < section->Lines().GetCount(); ++j) {
      const kq::IniLine* line = section->Lines().At(j);
      copy.lines.push_back({line->GetKey(), line->GetValue()});
    }
    sections.push_back(std::move(copy));
  }
  return sections;
}

// Every key answers the same in both documents.
void CheckLookups(const kq::CIniFile& first, const kq::CIniFile& second, const std::vector<Section>& sections) {
  for (const Section& s : sections) {
    kq::IniSection* a = nullptr;
    kq::IniSection* b = nullptr;
    Check(first.FindSection(s.name, &a) && second.FindSection(s.name, &b));
    for (const Line& line : s.lines) {
      if (line.key.empty()) continue;
      std::string va, vb;
      Check(a->GetValue(line.key, &va) && b->GetValue(line.key, &vb));
      Check(va == vb);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const unsigned kCodePages[] = {1252, 932, 936, 949, 950};
  kq::SetHostAnsiCodePage(kCodePages[size % 5]);
  kq::MemoryFileOpener files;
  files.SetFile("in.ini", std::string(reinterpret_cast<const char*>(data), size));
  ReadWithSmallBuffer(files, static_cast<long>(size % 40));

  kq::CIniFile ini(files);
  try {
    ini.Load("in.ini");
  } catch (const kq::CKqIniFileException& e) {
    Check(ini.GetSections().GetCount() == 0);
    Check(ini.GetFileName().empty());
    Check(!e.Message().empty());
    return 0;
  }
  ini.SetFileName("out.ini");
  try {
    ini.Save();
  } catch (const kq::CKqIniFileException& e) {
    // The documents an ANSI file cannot hold: the first line begins with the
    // bytes of a byte order mark.
    Check(e.Message() == "The first line would read back as a UTF-16 byte order mark." ||
          e.Message() == "The first line would read back as a UTF-8 byte order mark.");
    Check(!ini.IsUnicode() && !ini.IsUtf8());
    std::string ignored;
    Check(!files.GetFile("out.ini", ignored));  // refused before the file was made
    return 0;
  }
  std::string saved;
  Check(files.GetFile("out.ini", saved));

  kq::CIniFile reloaded(files);
  reloaded.Load("out.ini");  // a saved document always reads back
  Check(reloaded.IsUnicode() == ini.IsUnicode());
  Check(reloaded.IsUtf8() == ini.IsUtf8());
  const std::vector<Section> sections = Snapshot(ini);
  Check(sections == Snapshot(reloaded));
  CheckLookups(ini, reloaded, sections);

  reloaded.SetFileName("again.ini");
  reloaded.Save();
  std::string savedAgain;
  Check(files.GetFile("again.ini", savedAgain));
  Check(savedAgain == saved);
  return 0;
}
