#!/bin/bash
# Checks what SETUP.EXE must be on a bare machine: at most 264 KB, stripped,
# and loadable on Windows 98 SE and NT 4.0 SP6 without any update:
# - it imports only DLLs that both have (MSI.DLL is bound at run time;
#   Winsock is WSOCK32.DLL, version 1.1: WS2_32.DLL is missing from a
#   Windows 95 without the Winsock 2 update);
# - it imports no wide function (...W): on the 9x family those are stubs
#   that fail; wide calls are looked up at run time on NT;
# - it imports no CryptoAPI function (SHA-256 came with XP SP3's provider).
# A publisher's Authenticode signature (tools/sign.sh) is appended after the
# program and is not counted: the limit is the program's own.
# Prints the size and the import list either way.
set -euo pipefail
exe=${1:?usage: check-setup-exe.sh path/to/SETUP.EXE}
limit=$((264 * 1024))
allowed="kernel32.dll user32.dll advapi32.dll shell32.dll ole32.dll comctl32.dll msvcrt.dll wsock32.dll"

size=$(stat -c %s "$exe")
# The certificate table: data directory 4 of the optional header (PE32: it
# starts 24 bytes after "PE\0\0"; the directories at offset 96 of it).
signature=$(python3 - "$exe" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
offset, length = struct.unpack_from("<II", data, pe + 24 + 96 + 8 * 4)
print(length if offset + length == len(data) else 0)
PY
)
size=$((size - signature))
echo "SETUP.EXE: $size bytes ($(( (size + 1023) / 1024 )) KB of $((limit / 1024)) KB)$([ "$signature" -gt 0 ] && echo ", without its $signature-byte signature")"
# One line per imported function: "dll function".
functions=$(i686-w64-mingw32-objdump -p "$exe" | awk '
  /^\tDLL Name: / { dll = tolower($3); next }
  dll != "" && /^\t[0-9a-f]+\t/ { print dll, $3; next }
  dll != "" && /^$/ { dll = "" }')
imports=$(echo "$functions" | cut -d' ' -f1 | sort -u)
echo "imports: $(echo $imports)"
status=0
if [ "$size" -gt "$limit" ]; then
  echo "FAIL: larger than $((limit / 1024)) KB"
  status=1
fi
for dll in $imports; do
  case " $allowed " in
    *" $dll "*) ;;
    *) echo "FAIL: imports $dll, which Windows 98 SE or NT 4.0 SP6 does not have"; status=1 ;;
  esac
done
wide=$(echo "$functions" | awk '$1 != "msvcrt.dll" && $2 ~ /[a-z0-9]W$/ { print $2 }')
if [ -n "$wide" ]; then
  echo "FAIL: imports wide functions, stubs on the 9x family: $(echo $wide)"
  status=1
fi
crypt=$(echo "$functions" | awk '$2 ~ /^Crypt/ { print $2 }')
if [ -n "$crypt" ]; then
  echo "FAIL: imports CryptoAPI functions: $(echo $crypt)"
  status=1
fi
if i686-w64-mingw32-objdump -h "$exe" | grep -q '\.debug'; then
  echo "FAIL: not stripped"
  status=1
fi
exit $status
