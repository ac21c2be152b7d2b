#include "check/finding.h"

#include <cstdio>

#include "text/ansi_code_page.h"

namespace kq {

namespace {

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

}  // namespace

std::string FormatFinding(const Finding& finding) {
  std::string text = finding.file;
  if (finding.line > 0) text += ":" + std::to_string(finding.line);
  return text + ": " + SeverityName(finding.GetSeverity()) + ": " + finding.message;
}

std::string FindingsToJson(const Findings& findings) {
  std::string out = "[";
  for (size_t i = 0; i < findings.size(); ++i) {
    const Finding& finding = findings[i];
    out += i == 0 ? "\n  {" : ",\n  {";
    out += "\"file\": ";
    AppendJsonString(out, finding.file);
    out += ", \"line\": " + (finding.line > 0 ? std::to_string(finding.line) : std::string("null"));
    out += ", \"severity\": ";
    AppendJsonString(out, SeverityName(finding.GetSeverity()));
    out += ", \"code\": ";
    AppendJsonString(out, finding.GetCode());
    out += ", \"message\": ";
    AppendJsonString(out, finding.message);
    out += "}";
  }
  out += findings.empty() ? "]\n" : "\n]\n";
  return out;
}

bool HasError(const Findings& findings) {
  for (const Finding& finding : findings) {
    if (finding.GetSeverity() == Severity::kError) return true;
  }
  return false;
}

std::string FindingsSummary(const Findings& findings) {
  size_t errors = 0;
  for (const Finding& finding : findings) errors += finding.GetSeverity() == Severity::kError ? 1 : 0;
  const size_t warnings = findings.size() - errors;
  auto count = [](size_t number, const char* word) {
    return std::to_string(number) + " " + word + (number == 1 ? "" : "s");
  };
  if (findings.empty()) return "no findings";
  if (errors == 0) return count(warnings, "warning");
  return count(errors, "error") + (warnings == 0 ? std::string() : ", " + count(warnings, "warning"));
}

std::string JsonString(const std::string& text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

std::string InternalErrorAt(uint32_t location) { return "internal error " + std::to_string(location); }

std::string ToUtf8(const std::string& text) {
  std::string utf8;
  return CodePageToUtf8(text, SystemAnsiCodePage(), utf8) ? utf8 : text;
}

void FindingsToUtf8(Findings& findings) {
  for (Finding& finding : findings) {
    finding.file = ToUtf8(finding.file);
    finding.message = ToUtf8(finding.message);
  }
}

}  // namespace kq
