#pragma once
// The wide/ANSI layer: the family test, the code-page conversions, and every
// system call that takes or gives a file name, a command line or a
// shortcut's text. Its parts, by concept:
// - wide_ansi_text.h: the family, the code pages and the conversions;
// - wide_ansi_library.h: the system folders and system libraries;
// - wide_ansi_files.h: file, folder and find calls, temporary files;
// - wide_ansi_process.h: starting a process, the program's path and
//   command line;
// - wide_ansi_shell.h: shell item paths and shortcuts;
// - wide_ansi_call.h (inside the layer only): how a wrapped call is made.
//
// THE TEXT RULE. The program's narrow text is text in the ANSI code page
// (CP_ACP), on both families.
// - Where text enters: on the NT family the program's file name, its command
//   line and every wide result (names found in a folder, the temporary-files
//   folder, a shell folder, a temporary file name, a short path, a
//   shortcut's fields) are converted from wide text here with the ANSI code
//   page, exactly: a character the code page cannot hold is no result at
//   all (a found name, the temporary-files folder and the program's path
//   then fall back to their short 8.3 form), never a "?" or a look-alike
//   that names another file. On the 9x family these come from
//   the ANSI calls and are ANSI text already. SETUP.INI is read as ANSI
//   text; a UTF-8 (with byte order mark) or UTF-16 file is converted to the
//   ANSI code page as it is loaded, and a character the code page cannot
//   hold is a load error naming its line. The registry, the environment,
//   the locale and the window texts are read through ANSI calls, which give
//   ANSI text.
// - Where it leaves: on the NT family every file, process and shell-link
//   call is the wide call made here, its narrow inputs converted to wide
//   text with the ANSI code page. Only calls that look something up and
//   cannot create, change or start anything under a wrong name (finding a
//   file, opening an existing file for reading, loading a shortcut, opening
//   a package to read it) try the OEM code page once more when the ANSI name
//   is not found. On the 9x family the ANSI functions are called directly.
// - In between: ANSI text everywhere: paths, the command line, SETUP.INI's
//   values, the mutex name, the resume shortcut's fields and the setup log,
//   which therefore reads correctly in an ordinary editor of the system.
// No ANSI file, process or shell-link call is made outside this layer;
// tools/check-sources.sh fails the tests when one appears.
#include "sys/wide_ansi_files.h"
#include "sys/wide_ansi_library.h"
#include "sys/wide_ansi_process.h"
#include "sys/wide_ansi_shell.h"
#include "sys/wide_ansi_text.h"
