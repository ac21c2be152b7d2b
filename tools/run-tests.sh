#!/bin/bash
# Builds both presets and runs every test through one CTest session: host
# unit tests (ASan/UBSan), Windows unit tests under Wine, e2e scenarios under
# Wine, bounded fuzz runs and benchmarks. Extra arguments go to ctest
# (for example -L host, -R e2e, or -E fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs"
cmake --preset host >/dev/null
cmake --build --preset host -j"$jobs"
ctest --preset host -j"$jobs" "$@"
