#!/bin/bash
# Source rules that the compiler cannot see. The program's top (src/app:
# WinMain, the dialog, the run sequence) is included by nothing below it.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
if hits=$(git grep -n '#include "app/' -- src ':!src/app'); then
  echo "FAIL: code below src/app includes it:"
  echo "$hits"
  status=1
fi
exit $status
