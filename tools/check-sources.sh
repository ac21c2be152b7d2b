#!/bin/bash
# Source rules that the compiler cannot see.
# - Rooms include only themselves and the rooms below them, in this order
#   (lowest first): text, ini, sys, diag, config, msi, http, steps, check,
#   app. So the program's top (src/app: WinMain, the dialog, the run
#   sequence) is included by nothing below it, and nothing below the setup
#   data (config) reads it.
# - Narrow text is ANSI text, and on the NT family it reaches the file,
#   process and shell-link calls only through the wide/ANSI layer
#   (src/sys/wide_ansi*: the umbrella header sys/wide_ansi.h and its parts):
#   no such call by its ANSI or macro name, no ANSI entry point looked up by
#   name, and no IShellLinkA text call elsewhere. The layer's call shapes
#   (sys/wide_ansi_call.h) are included by the layer alone.
# - UI levels are compared only inside the UI-level unit (sys/quiet_ui.*):
#   everything else asks its named groups (ShowsNoBoxes, HidesDialog...).
# - The REBOOT property's name is written in one file,
#   config/restart_policy.h (kRebootProperty).
# - The temporary copy's record spells its sections and keys once, in
#   steps/temp_copy_record.cpp.
# - Formats use only what MSVCRT.DLL of Windows 98 and NT 4.0 knows (see
#   sys/format.h): no %ll, %z, %j, %t, %hh or %L length, which the compiler's
#   MSVCRT dialect check lets through.
# - The setup checker's finding codes are spelled once, in its table of
#   rules (src/check/rules.cpp), which also decides their severity.
# - The unit tests are laid out as the rooms: every folder under tests/unit
#   is a room, and every room has one.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
rooms=(text ini sys diag config msi http steps check app)
for ((i = 0; i < ${#rooms[@]}; i++)); do
  room=${rooms[i]}
  above=("${rooms[@]:i+1}")
  [ ${#above[@]} -gt 0 ] || continue
  pattern="#include \"($(IFS='|'; echo "${above[*]}"))/"
  if hits=$(git grep -n -E "$pattern" -- "src/$room"); then
    echo "FAIL: src/$room includes a room above it (order: ${rooms[*]}):"
    echo "$hits"
    status=1
  fi
done
unknown=$(git ls-files 'src/*' | cut -d/ -f2 | sort -u | grep -v -x -E "$(IFS='|'; echo "${rooms[*]}")" || true)
if [ -n "$unknown" ]; then
  echo "FAIL: rooms without a place in the order: $unknown"
  status=1
fi

file_calls='CreateFile|DeleteFile|FindFirstFile|FindNextFile|CreateDirectory|RemoveDirectory|CopyFile|CopyFileEx'
file_calls+='|MoveFile|MoveFileEx|SetFileAttributes|GetFileAttributes|GetFileAttributesEx|GetShortPathName'
file_calls+='|GetLongPathName|GetFullPathName|GetTempPath|GetTempFileName|SearchPath|GetCurrentDirectory'
file_calls+='|SetCurrentDirectory|GetSystemDirectory|GetWindowsDirectory|LoadLibrary|LoadLibraryEx|GetModuleHandle'
file_calls+='|GetModuleFileName|GetCommandLine|CreateProcess|ShellExecute|ShellExecuteEx|WinExec'
file_calls+='|SHGetPathFromIDList|SHGetSpecialFolderPath|OpenFile|_lopen|_lcreat'
link_calls='SetPath|GetPath|SetArguments|GetArguments|SetDescription|GetDescription|SetWorkingDirectory'
link_calls+='|GetWorkingDirectory|SetIconLocation|GetIconLocation|SetRelativePath'
# src/app/runtime_imports.cpp stands in for two wide KERNEL32 functions that
# the C and C++ runtimes import; it sees only their ASCII module names.
layer=(':!src/sys/wide_ansi*' ':!src/app/runtime_imports.cpp')
# String literals and comments are blanked first, so that log texts such as
# "GetSystemDirectory() failed" do not count; lookups by name are checked on
# the literals themselves.
calls=$(git grep -n -E "\\b($file_calls)A?[[:space:]]*\\(|->($link_calls)[[:space:]]*\\(" -- src "${layer[@]}" |
  sed -E 's/"([^"\\]|\\.)*"/""/g; s#//.*$##' |
  grep -E ":.*(\\b($file_calls)A?[[:space:]]*\\(|->($link_calls)[[:space:]]*\\()" |
  grep -v -E '\bGetCommandLine\(\) const' || true)
lookups=$(git grep -n -E "\"($file_calls)A\"" -- src "${layer[@]}" || true)
if [ -n "$calls$lookups" ]; then
  echo "FAIL: file, process or shell-link calls outside src/sys/wide_ansi* (use its wrapped calls):"
  printf '%s\n' "$calls" "$lookups" | grep -v '^$'
  status=1
fi
if hits=$(git grep -n '#include "sys/wide_ansi_call.h"' -- src ':!src/sys/wide_ansi*'); then
  echo "FAIL: the wide/ANSI layer's call shapes used outside it (include sys/wide_ansi.h):"
  echo "$hits"
  status=1
fi
ui_compare='(==|!=|<|>)[[:space:]]*UiLevel::|UiLevel::k[A-Za-z]+[[:space:]]*(==|!=|<|>)|case[[:space:]]+UiLevel::'
if hits=$(git grep -n -E "$ui_compare" -- src ':!src/sys/quiet_ui.*'); then
  echo "FAIL: UI levels compared outside sys/quiet_ui (use its named groups):"
  echo "$hits"
  status=1
fi
# Full-line comments aside, a string literal holding the word REBOOT
# (ONEREBOOT is another word).
if hits=$(git grep -n -E '"[^"]*REBOOT' -- src ':!src/config/restart_policy.h' |
  grep -v -E '^[^:]+:[0-9]+:[[:space:]]*//' | grep -E '"[^"]*\bREBOOT\b' ); then
  echo "FAIL: the REBOOT property's name spelled outside config/restart_policy.h (use kRebootProperty):"
  echo "$hits"
  status=1
fi
for key in Run Medium DataFile Process Started RemovedUpgradeBases End; do
  count=$(git grep -h -o "\"$key\"" -- src/steps/temp_copy_record.cpp | wc -l)
  elsewhere=$(git grep -n "\"$key\"" -- src ':!src/steps/temp_copy_record.cpp' || true)
  if [ "$count" -ne 1 ] || [ -n "$elsewhere" ]; then
    echo "FAIL: the record's key \"$key\" is to be spelled once, in src/steps/temp_copy_record.cpp:"
    git grep -n "\"$key\"" -- src || true
    status=1
  fi
done
# In string literals only, so that a comment may name what is not used.
if hits=$(git grep -n -E '"([^"\\]|\\.)*%[-+ #0-9.*]*(ll|z|j|t|hh|L)[a-zA-Z]' -- src |
  grep -v -E '^[^:]+:[0-9]+:[[:space:]]*//'); then
  echo "FAIL: printf conversions that old MSVCRT.DLLs do not know (use %u, %lu, %I64u with a cast):"
  echo "$hits"
  status=1
fi
for code in $(git grep -h -o -E '\{Rule::k[A-Za-z0-9]+, "[a-z0-9-]+"' -- src/check/rules.cpp | sed -E 's/.*"(.*)"/\1/'); do
  if hits=$(git grep -n "\"$code\"" -- src ':!src/check/rules.cpp' | grep -v -E '^[^:]+:[0-9]+:[[:space:]]*//'); then
    echo "FAIL: the checker's code \"$code\" is to be spelled once, in src/check/rules.cpp (name its Rule):"
    echo "$hits"
    status=1
  fi
done
for name in $(git ls-files 'tests/unit/*/*' | cut -d/ -f3 | sort -u); do
  if ! printf '%s\n' "${rooms[@]}" | grep -q -x -- "$name"; then
    echo "FAIL: tests/unit/$name is not a room (tests live under the room of the code they test: ${rooms[*]})"
    status=1
  fi
done
for room in "${rooms[@]}"; do
  [ -n "$(git ls-files "tests/unit/$room")" ] || { echo "FAIL: the room $room has no tests/unit/$room"; status=1; }
done
exit $status
