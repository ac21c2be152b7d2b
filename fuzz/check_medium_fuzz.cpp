// Runs the setup checker's whole check of one data file (the input, saved as
// SETUP.INI of a medium folder) against the facts of one fixed package, and
// checks: no crash or overrun (the sanitizers), every finding names a line
// of the file or none, and the JSON and SARIF documents written from the
// findings are well-formed JSON in UTF-8, as a dashboard's parser reads them.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// A recursive-descent reader of one JSON value (RFC 8259): true when `text`
// from `at` holds exactly one, with only blanks around it.
class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}
  bool Document() { return Value(0) && (Blanks(), at_ == text_.size()); }

 private:
  void Blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
      ++at_;
  }
  bool Take(char c) { return Blanks(), at_ < text_.size() && text_[at_] == c ? (++at_, true) : false; }
  bool Word(const char* word) {
    const std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  bool Value(int depth) {
    Blanks();
    if (depth > 64 || at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') return Members(depth, '}', true);
    if (c == '[') return Members(depth, ']', false);
    if (c == '"') return String();
    if (c == '-' || (c >= '0' && c <= '9')) return Number();
    return Word("true") || Word("false") || Word("null");
  }
  bool Members(int depth, char close, bool named) {
    ++at_;
    if (Take(close)) return true;
    do {
      if (named && !(Blanks(), String() && Take(':'))) return false;
      if (!Value(depth + 1)) return false;
    } while (Take(','));
    return Take(close);
  }
  bool Number() {
    const size_t start = at_;
    if (text_[at_] == '-') ++at_;
    while (at_ < text_.size() && ((text_[at_] >= '0' && text_[at_] <= '9') || text_[at_] == '.')) ++at_;
    return at_ > start && text_[at_ - 1] != '-';
  }
  // A string of valid UTF-8 without raw control characters; escapes as JSON has them.
  bool String() {
    if (at_ >= text_.size() || text_[at_] != '"') return false;
    for (++at_; at_ < text_.size();) {
      const unsigned char c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') return ++at_, true;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (++at_ >= text_.size()) return false;
        const char e = text_[at_++];
        if (e == 'u') {
          for (int i = 0; i < 4; ++i, ++at_)
            if (at_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_]))) return false;
        } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
          return false;
        }
        continue;
      }
      const int trail = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 && c >= 0xC2 ? 1 : (c & 0xF0) == 0xE0 ? 2
                                   : (c & 0xF8) == 0xF0 && c <= 0xF4 ? 3 : -1;
      if (trail < 0) return false;
      for (int i = 1; i <= trail; ++i)
        if (at_ + i >= text_.size() || (static_cast<unsigned char>(text_[at_ + i]) & 0xC0) != 0x80) return false;
      at_ += trail + 1;
    }
    return false;
  }

  const std::string& text_;
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
