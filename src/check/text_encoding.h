#pragma once
// Whether the text of a setup data file can be held in the target systems'
// ANSI code page, line by line, for each encoding SETUP.EXE reads: ANSI,
// UTF-8 with a byte order mark, UTF-16LE with a byte order mark.
#include <string>

#include "check/finding.h"

namespace kq {

// Adds an "encoding" error for each line the code page cannot hold, and a
// "utf8-without-bom" warning for an ANSI file that reads as UTF-8 (SETUP.EXE
// would take its bytes as code-page characters). `file` names the findings.
void CheckTextEncoding(const std::string& bytes, unsigned codePage, const std::string& file, Findings& findings);

}  // namespace kq
