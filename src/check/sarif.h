#pragma once
// The findings as a SARIF 2.1.0 log, the format code-scanning dashboards
// read: one rule per finding code, one result per finding.
#include <string>

#include "check/finding.h"

namespace kq {

// One run of `tool` ("setupcheck") with every finding code as a rule.
std::string FindingsToSarif(const Findings& findings, const std::string& tool);

// A run of `tool` that did not execute, with `reason` as its notification.
std::string SarifCannotRun(const std::string& tool, const std::string& reason);

}  // namespace kq
