#pragma once

namespace kq {

// Whether a value of the KQSETUP environment variable asks for the setup
// log: true when one of its comma-separated tokens (quotes removed, blanks
// trimmed) is "LOG" in any letter case. A null value (variable absent) is
// false. A value whose token cannot be extracted ends the scan there; a
// token matched before it still counts. The value is read whole, however long.
bool LogSwitchRequested(const char* value);

}  // namespace kq
