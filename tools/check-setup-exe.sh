#!/bin/bash
# Checks what SETUP.EXE must be on a bare machine: at most 320 KB, and
# importing only DLLs that every Windows has (MSI.DLL is bound at run time).
# Prints the size and the import list either way.
set -euo pipefail
exe=${1:?usage: check-setup-exe.sh path/to/SETUP.EXE}
limit=$((320 * 1024))
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comctl32.dll ws2_32.dll wsock32.dll msvcrt.dll"

size=$(stat -c %s "$exe")
echo "SETUP.EXE: $size bytes ($(( (size + 1023) / 1024 )) KB of $((limit / 1024)) KB)"
imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $imports)"
status=0
if [ "$size" -gt "$limit" ]; then
  echo "FAIL: larger than $((limit / 1024)) KB"
  status=1
fi
for dll in $imports; do
  case " $allowed " in
    *" $dll "*) ;;
    *) echo "FAIL: imports $dll, which is not a system DLL every Windows has"; status=1 ;;
  esac
done
if i686-w64-mingw32-objdump -h "$exe" | grep -q '\.debug'; then
  echo "FAIL: not stripped"
  status=1
fi
exit $status
