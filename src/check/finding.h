#pragma once
// One thing the setup checker found in a medium, and the two ways it is
// written out: "FILE:LINE: SEVERITY: MESSAGE" lines for people and editors,
// and a JSON array for scripts.
#include <cstdint>
#include <string>
#include <vector>

#include "check/rules.h"
#include "sys/internal_error_codes.h"

namespace kq {

struct Finding {
  std::string file;  // relative to the medium, with backslashes: "nested\SETUP.INI"
  int line = 0;      // 1-based; 0 when the finding concerns no line
  Rule rule = Rule::kLoad;  // its code and severity (check/rules.h)
  std::string message;

  Severity GetSeverity() const { return Describe(rule).severity; }
  const char* GetCode() const { return Describe(rule).code; }
};

using Findings = std::vector<Finding>;

// "FILE:LINE: SEVERITY: MESSAGE" (no ":LINE" for line 0), without a line end.
std::string FormatFinding(const Finding& finding);

// The findings as a JSON array of {"file", "line", "severity", "code",
// "message"} objects, "line" null for line 0. The texts must be UTF-8.
std::string FindingsToJson(const Findings& findings);

bool HasError(const Findings& findings);

// Text in the code page the INI library converted setup data to (the
// checker's findings quote it), as UTF-8; unchanged when it is not text of
// that code page.
std::string ToUtf8(const std::string& text);
// Every finding's file and message as UTF-8, as JSON and SARIF need them.
void FindingsToUtf8(Findings& findings);

// "2 errors, 1 warning", "1 error", "no findings".
std::string FindingsSummary(const Findings& findings);

// The text as a JSON string in quotes; it must be UTF-8.
std::string JsonString(const std::string& text);

// "internal error N": how a message names the failure SETUP.EXE ends with at
// `location` (one of the kLocation names), in decimal as the box's log reads.
std::string InternalErrorAt(uint32_t location);

}  // namespace kq
