#!/bin/bash
# demo.sh [medium-folder [setup arguments...]]
#
# Installs a small product with SETUP.EXE under Wine, as a user would, and
# shows what happened: the exit code and its meaning, the setup log, the
# installed product, a screenshot of the progress dialog; then runs the
# setup a second time, which takes the maintenance path.
#
# Given a folder, runs SETUP.EXE from that medium instead (SETUP.EXE is
# copied into it when it has none), with the arguments that follow, so any
# SETUP.INI can be tried under Wine.
#
# On a fresh Debian machine as root it first installs what it needs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
work=$root/build/demo
mkdir -p "$work"

if ! command -v i686-w64-mingw32-g++ >/dev/null || ! command -v wine >/dev/null || ! command -v wixl >/dev/null; then
  if [ "$(id -u)" != 0 ]; then echo "demo: run as root once to install the packages (tools/install-deps.sh)" >&2; exit 1; fi
  echo "demo: installing the packages it needs..."
  bash tools/install-deps.sh
fi

echo "demo: building SETUP.EXE..."
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target setup_exe runner child keepalive -j"$(nproc)" >/dev/null
setup_exe=$root/build/win32/src/app/SETUP.EXE
tools_dir=$root/build/win32/tools

# A display for the dialog.
for n in $(seq 70 99); do [ -e /tmp/.X$n-lock ] || break; done
display=:$n
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
prefix=$work/prefix
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X${n} ] && break; sleep 0.1; done

echo "demo: making a fresh Wine prefix ($prefix)..."
KQ_DISPLAY=$display bash tools/wine-session.sh start "$prefix" "$tools_dir/keepalive.exe" >/dev/null
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all DISPLAY=$display WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
drive_c=$prefix/drive_c

if [ $# -ge 1 ]; then
  medium=$(realpath "$1"); shift
  [ -f "$medium/SETUP.EXE" ] || cp "$setup_exe" "$medium/SETUP.EXE"
  arguments=("$@")
  demo_product=0
else
  echo "demo: building the demo medium (a wixl package, SETUP.INI, SETUP.EXE)..."
  medium=$drive_c/KorvaneDemo
  rm -rf "$medium" "$work/wxs"; mkdir -p "$medium" "$work/wxs"
  printf 'Korvane Demo, installed by SETUP.EXE.\r\n' > "$work/wxs/readme.txt"
  cp "$tools_dir/child.exe" "$work/wxs/welcome.exe"
  cp tools/demo/product.wxs "$work/wxs/"
  (cd "$work/wxs" && wixl -o "$medium/KorvaneDemo.msi" product.wxs)
  sed 's/$/\r/' tools/demo/SETUP.INI > "$medium/SETUP.INI"
  cp "$setup_exe" "$medium/SETUP.EXE"
  arguments=()
  demo_product=1
fi

windows_path() {
  case $1 in
    "$drive_c"/*) local rest=${1#"$drive_c"/}; echo "C:\\${rest//\//\\}" ;;
    *) echo "Z:${1//\//\\}" ;;
  esac
}

meaning() {
  case $1 in
    0) echo "success (or nothing to do)" ;;
    2) echo "the setup data file was not found (internal error 1)" ;;
    1314) echo "no privilege to install the Windows Installer" ;;
    1602) echo "cancelled, or the product is not installed afterwards" ;;
    1603) echo "the installation failed" ;;
    1633) echo "this Windows is not supported by the product" ;;
    1639) echo "invalid command line" ;;
    1605) echo "MSIEXEC: this action is only valid for products that are installed" ;;
    1641) echo "done; a restart was started or is needed (the setup resumes after it)" ;;
    3010) echo "done; a restart is required" ;;
    460393) echo "a restart is under way; the setup runs again after it" ;;
    *) printf 'other: 0x%08X (an installer'"'"'s exit code or an internal error)\n' "$1" ;;
  esac
}

# Runs SETUP.EXE through runner.exe (which reads the full 32-bit exit code),
# screenshots its dialog while it is on the screen, and reports.
run_setup() {
  local label=$1 shot=$2; shift 2
  rm -f "$drive_c/SETUP.LOG"
  local cmdline="\"$(windows_path "$medium/SETUP.EXE")\""
  for a in "$@"; do cmdline+=" $a"; done
  echo
  echo "=== $label: $cmdline"
  KQSETUP=LOG KQCHILD_RECORD='C:\welcome.txt' KQRUN_CMDLINE=$cmdline \
    wine "$tools_dir/runner.exe" > "$work/runner.out" 2>/dev/null &
  local pid=$!
  if [ -n "$shot" ]; then
    # The dialog is on the screen until the installation proper starts.
    local window=""
    for _ in $(seq 400); do
      window=$(xwininfo -display "$display" -root -tree 2>/dev/null | grep '"Setup - ' | awk '{print $1}' | head -1 || true)
      [ -n "$window" ] && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.02
    done
    if [ -n "$window" ] && import -display "$display" -window "$window" "$shot" 2>/dev/null; then
      echo "screenshot of the progress dialog: $shot"
    else
      echo "(the dialog was gone before a screenshot could be taken)"
    fi
  fi
  wait "$pid" || true
  local code
  code=$(sed -n 's/^exit=0x\([0-9A-Fa-f]*\).*/\1/p' "$work/runner.out" | tail -1)
  code=$((16#${code:-FFFFFFFF}))
  echo "exit code: $code - $(meaning "$code")"
  echo "--- C:\\SETUP.LOG"
  if [ -f "$drive_c/SETUP.LOG" ]; then tr -d '\r' < "$drive_c/SETUP.LOG"; else echo "(no log)"; fi
}

echo "demo: checking the medium with setupcheck..."
cmake --preset host >/dev/null && cmake --build --preset host --target setupcheck >/dev/null
if build/host/src/check/setupcheck "$medium"; then echo "demo: setupcheck found no error"
else echo "demo: setupcheck found errors (above); installing anyway"; fi

run_setup "First run" "$work/dialog.png" "${arguments[@]}"

if [ "$demo_product" = 1 ]; then
  echo "--- the installed product"
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D}' 2>/dev/null \
    | tr -d '\r' | grep -E 'DisplayName|DisplayVersion|InstallLocation|UninstallString' || echo "(no Uninstall entry)"
  installed=$(ls -d "$drive_c"/Program\ Files*/Korvane\ Demo 2>/dev/null | head -1 || true)
  if [ -n "$installed" ]; then ls -l "$installed"; tr -d '\r' < "$installed/readme.txt"; fi
  for _ in $(seq 50); do [ -f "$drive_c/welcome.txt" ] && break; sleep 0.1; done
  echo "--- the post-install program was started as:"
  if [ -f "$drive_c/welcome.txt" ]; then tr -d '\r' < "$drive_c/welcome.txt"; else echo "(not started)"; fi

  run_setup "Second run (the product is installed: maintenance)" "" "${arguments[@]}"
  echo "(The second run takes the maintenance path and starts MSIEXEC /fvomus with the package."
  echo " Windows repairs the product from it; Wine's msiexec answers 1605, which the setup passes on.)"
fi
