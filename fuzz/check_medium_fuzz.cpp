// Runs the setup checker's whole check of one data file (the input, saved as
// SETUP.INI of a medium folder) against the facts of one fixed package, and
// checks: no crash or overrun (the sanitizers), every finding names a line
// of the file or none, and the JSON and SARIF documents written from the
// findings are well-formed JSON in UTF-8, as a dashboard's parser reads them.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "check/finding.h"
#include "check/medium_check.h"
#include "check/package_reader.h"
#include "check/sarif.h"
#include "text/ansi_code_page.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const std::string& FolderPath() {
  static const std::string folder = [] {
    char name[] = "/tmp/check_medium_fuzz_XXXXXX";
    Check(mkdtemp(name) != nullptr);
    return std::string(name);
  }();
  return folder;
}

kq::PackageFacts FixedPackage() {
  kq::PackageFacts facts;
  facts.productCode = "{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D}";
  facts.productName = "Korvane Demo";
  facts.productVersion = "1.0.0";
  facts.upgradeCode = "{0B1C2D3E-4F5A-4B6C-9D7E-8F9A0B1C2D3E}";
  facts.features = {"Complete"};
  facts.components = {"{2D3E4F5A-6B7C-4D8E-9F0A-1B2C3D4E5F60}"};
  facts.requiredEngine = 200;
  return facts;
}

// A reader of one JSON document (RFC 8259), strings in valid UTF-8.
class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : t_(text) {}
  bool Document() { return Value(0) && (Blanks(), at_ == t_.size()); }

 private:
  char Peek() { return at_ < t_.size() ? t_[at_] : '\0'; }
  void Blanks() { while (Peek() != '\0' && std::strchr(" \t\r\n", Peek()) != nullptr) ++at_; }
  bool Take(char c) { return Blanks(), Peek() == c ? (++at_, true) : false; }
  bool Word(const char* w) { return t_.compare(at_, std::strlen(w), w) == 0 ? (at_ += std::strlen(w), true) : false; }
  bool Value(int depth) {
    Blanks();
    const char c = Peek();
    if (depth > 64) return false;
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++at_;
      if (Take(close)) return true;
      do {
        if (c == '{' && !(Blanks(), String() && Take(':'))) return false;
        if (!Value(depth + 1)) return false;
      } while (Take(','));
      return Take(close);
    }
    if (c == '"') return String();
    const size_t start = at_;
    while (Peek() == '-' || Peek() == '.' || std::isdigit(static_cast<unsigned char>(Peek()))) ++at_;
    return at_ > start || Word("true") || Word("false") || Word("null");
  }
  bool String() {
    if (!Take('"')) return false;
    while (at_ < t_.size()) {
      const unsigned char c = static_cast<unsigned char>(t_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c == '\\') {
        const char e = Peek();
        ++at_;
        if (e == 'u') {
          for (int i = 0; i < 4; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(Peek())) || !++at_) return false;
        } else if (e == '\0' || std::strchr("\"\\/bfnrt", e) == nullptr) {
          return false;
        }
        continue;
      }
      // UTF-8: a lead byte and its continuation bytes.
      const int trail = c < 0x80 ? 0 : c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c < 0xF5 ? 3 : -1;
      for (int i = 0; i < trail; ++i)
        if ((static_cast<unsigned char>(Peek()) & 0xC0) != 0x80 || !++at_) return false;
      if (trail < 0) return false;
    }
    return false;
  }

  const std::string& t_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = FolderPath() + "/SETUP.INI";
  FILE* file = std::fopen(path.c_str(), "wb");
  Check(file != nullptr);
  Check(std::fwrite(data, 1, size, file) == size);
  Check(std::fclose(file) == 0);

  static const kq::PackageFacts package = FixedPackage();
  kq::CheckOptions options;
  options.package = &package;
  // As setupcheck --json runs it: setup data read for Western targets, the
  // findings then written in UTF-8.
  kq::SetTextCodePage(options.codePage);
  kq::Findings findings = kq::CheckMedium(kq::MediumFolder(FolderPath()), "SETUP.INI", options);
  kq::FindingsToUtf8(findings);

  size_t lines = 1;
  for (size_t i = 0; i < size; ++i) lines += data[i] == '\n';
  for (const kq::Finding& finding : findings) Check(finding.line >= 0 && static_cast<size_t>(finding.line) <= lines);
  Check(JsonReader(kq::FindingsToJson(findings)).Document());
  Check(JsonReader(kq::FindingsToSarif(findings, "setupcheck")).Document());
  return 0;
}
