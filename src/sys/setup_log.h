#pragma once
#include <string>

#include "sys/format.h"

namespace kq {

// The setup log, "C:\SETUP.LOG", written only when KQSETUP asks for it.
//
// Every line's text, here and through RunLog, is a contract: administrators
// search logs for them, scripts parse them, and the unit and e2e tests pin
// them to the letter, misspellings included ("priviledges",
// "immediatedly"). Add lines freely; change none, or say so as a change of
// behaviour.
// When that file cannot be opened for appending, the process writes
// "SETUP.LOG" in the user's temporary-files folder instead, from then on,
// starting with a line that says why.
constexpr const char kSetupLogPath[] = "C:\\SETUP.LOG";
constexpr const char kSetupLogFileName[] = "SETUP.LOG";

// Appends one line: "MM/DD/YY HH:MM:SS [<process id>] - <text>". Never fails
// towards the caller; a null text writes nothing, an empty text writes only
// the prefix. A process's first line is "Setup process <id> started", so
// that the runs appended to one file can be told apart.
void SetupLog(const char* text);
inline void SetupLog(const std::string& text) { SetupLog(text.c_str()); }

// Formats like printf, then writes the line.
void SetupLogF(const char* format, ...) KQ_PRINTF_FORMAT(1, 2);

// Whether this process logs (decided once, at the first call).
bool IsSetupLogEnabled();

}  // namespace kq
