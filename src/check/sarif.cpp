#include "check/sarif.h"

#include "text/ascii_text.h"

namespace kq {

namespace {

// A medium-relative Windows name as a relative URI: forward slashes, and
// every byte outside the unreserved characters percent-encoded.
std::string RelativeUri(const std::string& file) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (const char c : file) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/') {
      uri += '/';
    } else if (IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0x0F];
    }
  }
  return uri;
}

std::string Driver(const std::string& tool) {
  std::string out = "{\"driver\": {\"name\": " + JsonString(tool) + ", \"rules\": [";
  size_t count = 0;
  const RuleInfo* rules = RuleTable(count);
  for (size_t i = 0; i < count; ++i) {
    out += i == 0 ? "\n      " : ",\n      ";
    out += "{\"id\": " + JsonString(rules[i].code) + ", \"shortDescription\": {\"text\": " +
           JsonString(rules[i].description) + "}, \"defaultConfiguration\": {\"level\": \"" +
           SeverityName(rules[i].severity) + "\"}}";
  }
  return out + "]}}";
}

std::string Log(const std::string& tool, const std::string& runBody) {
  return "{\"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\", \"version\": \"2.1.0\", \"runs\": [{\n"
         "  \"tool\": " +
         Driver(tool) + ",\n" + runBody + "}]}\n";
}

}  // namespace

std::string FindingsToSarif(const Findings& findings, const std::string& tool) {
  std::string results = "  \"results\": [";
  for (size_t i = 0; i < findings.size(); ++i) {
    const Finding& finding = findings[i];
    results += i == 0 ? "\n    " : ",\n    ";
    results += "{\"ruleId\": " + JsonString(finding.GetCode()) + ", \"level\": \"" +
               SeverityName(finding.GetSeverity()) +
               "\", \"message\": {\"text\": " + JsonString(finding.message) +
               "}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": " +
               JsonString(RelativeUri(finding.file)) + "}";
    if (finding.line > 0) results += ", \"region\": {\"startLine\": " + std::to_string(finding.line) + "}";
    results += "}}]}";
  }
  return Log(tool, results + "]\n");
}

std::string SarifCannotRun(const std::string& tool, const std::string& reason) {
  return Log(tool, "  \"invocations\": [{\"executionSuccessful\": false, \"toolExecutionNotifications\": "
                   "[{\"level\": \"error\", \"message\": {\"text\": " +
                       JsonString(reason) + "}}]}],\n  \"results\": []\n");
}

}  // namespace kq
