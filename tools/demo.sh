#!/bin/bash
# demo.sh [--prefix DIR] [--timeout SECONDS] [--answer-after SECONDS]
#         [medium-folder [setup arguments...]]
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
# --prefix DIR      the Wine prefix to use: made there when DIR does not exist
#                   (or is empty), reused when it holds one, and kept
#                   afterwards, so that its registry can be seeded between
#                   runs (WINEPREFIX=DIR wine reg add ...). Without it, a
#                   fresh prefix in build/demo/prefix.
# --timeout S       each run of the setup is ended after S seconds (300).
# --answer-after S  a message box is invisible under Xvfb: while a run goes
#                   on, each box is printed (caption and text) and saved as
#                   a screenshot, and after S seconds (10) the button a
#                   person's Enter would press is pressed and named: the
#                   box's default, OK, or Yes on a Yes/No box.
#
# --help            prints this text and changes nothing.
#
# On a fresh Debian machine as root it first installs what it needs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/demo
prefix=$work/prefix
keep_prefix=0
run_timeout=300
answer_after=10
while [ $# -ge 1 ]; do
  case $1 in
    --prefix) prefix=$(realpath -m "$2"); keep_prefix=1; shift 2 ;;
    --timeout) run_timeout=$2; shift 2 ;;
    --answer-after) answer_after=$2; shift 2 ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
    *) break ;;
  esac
done
case "$run_timeout$answer_after" in *[!0-9]*) echo "demo: --timeout and --answer-after take whole seconds" >&2; exit 2 ;; esac
if [ $# -ge 1 ]; then medium_arg=$(realpath "$1"); fi
cd "$root"
mkdir -p "$work"

if ! command -v i686-w64-mingw32-g++ >/dev/null || ! command -v wine >/dev/null || ! command -v wixl >/dev/null; then
  if [ "$(id -u)" != 0 ]; then echo "demo: run as root once to install the packages (tools/install-deps.sh)" >&2; exit 1; fi
  echo "demo: installing the packages it needs..."
  bash tools/install-deps.sh
fi

echo "demo: building SETUP.EXE..."
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target setup_exe runner answer child keepalive -j"$(nproc)" >/dev/null
setup_exe=$root/build/win32/src/app/SETUP.EXE
tools_dir=$root/build/win32/tools

# A display for the dialog. Xvfb picks a free number itself (-displayfd):
# a number chosen here by looking for lock files could be taken by another
# demo or test in the meantime, and this demo would then run on a display
# that the other one shuts down under it. Xvfb writes the number once it
# accepts connections; until then nothing may start.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$display_file"
}
trap cleanup EXIT
for _ in $(seq 600); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "demo: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$display_file" ] || { echo "demo: Xvfb gave no display within 60 s" >&2; exit 1; }
display=:$(tr -dc 0-9 <"$display_file")

export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ "$keep_prefix" = 1 ] && [ -f "$prefix/system.reg" ]; then
  echo "demo: reusing the Wine prefix $prefix..."
  export WINEPREFIX=$prefix DISPLAY=$display
  wineserver -p >/dev/null 2>&1 </dev/null
  nohup wine "$tools_dir/keepalive.exe" </dev/null >/dev/null 2>&1 &
else
  if [ "$keep_prefix" = 1 ] && [ -n "$(ls -A "$prefix" 2>/dev/null)" ]; then
    echo "demo: $prefix is neither empty nor a Wine prefix; not touching it" >&2; exit 2
  fi
  echo "demo: making a fresh Wine prefix ($prefix)..."
  KQ_DISPLAY=$display bash tools/wine-session.sh start "$prefix" "$tools_dir/keepalive.exe" >/dev/null
  export WINEPREFIX=$prefix DISPLAY=$display
fi
drive_c=$prefix/drive_c

if [ $# -ge 1 ]; then
  medium=$medium_arg; shift
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

# The meaning of an exit code, from the table under "## Exit codes" in
# docs/deployment.md: one table for the documents and the demo. A row's first cell lists
# its codes ("2, 223, 1113, ...", "0x8004xxxx" for a family, which a row of
# the exact code overrides); "any other" answers the rest.
meaning() {
  local hex
  hex=$(printf '0x%08X' "$1")
  awk -v dec="$1" -v hex="$hex" '
    /^#+ Exit codes/ { inside = 1; next }
    inside && /^#/ { exit }
    inside && /^\| / {
      split($0, cell, "|")
      codes = cell[2]; text = cell[3]
      gsub(/`/, "", codes); gsub(/`/, "", text)
      gsub(/^ +| +$/, "", codes); gsub(/^ +| +$/, "", text)
      if (codes == "any other") { other = text; next }
      n = split(codes, list, / *, */)
      for (i = 1; i <= n; i++) {
        want = toupper(list[i])
        family = want ~ /^0X[0-9A-F]+X+$/ && length(want) == length(hex) && index(toupper(hex), substr(want, 1, match(want, /X+$/) - 1)) == 1
        if (want == dec || want == toupper(hex)) { print text; found = 1; exit }
        if (family && inFamily == "") inFamily = text
      }
    }
    END {
      if (found) exit
      if (inFamily != "") print inFamily
      else printf "other (%s): %s\n", hex, other
    }' "$root/docs/deployment.md"
}

# While the process `$1` runs: prints each message box it shows, saves a
# screenshot of the screen, and after $answer_after seconds presses the
# button a person's Enter would (the box's default: Yes on a Yes/No box) and
# names it; nobody could answer it on the Xvfb display.
watch_boxes() {
  local pid=$1 count=0 seen
  while kill -0 "$pid" 2>/dev/null; do
    seen=$(wine "$tools_dir/answer.exe" --any none 1000 2>/dev/null | tr -d '\r' || true)
    case $seen in caption=*) ;; *) continue ;; esac
    count=$((count + 1))
    echo
    echo "--- message box $count"
    sed -n '/^caption=/,/^visible=/p' <<<"$seen" | grep -v '^visible=' || true
    if import -display "$display" -window root "$work/box$count.png" 2>/dev/null; then
      echo "screenshot: $work/box$count.png"
    fi
    echo "(pressing its default button in $answer_after s)"
    sleep "$answer_after"
    wine "$tools_dir/answer.exe" --any default 1000 2>/dev/null | tr -d '\r' |
      sed -n 's/^pressed=\([0-9]*\) \(.*\)$/answered with \2 (button \1)/p' || true
  done
}

# Runs SETUP.EXE through runner.exe (which reads the full 32-bit exit code
# and ends the run after the time limit), screenshots its dialog while it is
# on the screen, answers its message boxes, and reports.
run_setup() {
  local label=$1 shot=$2; shift 2
  rm -f "$drive_c/SETUP.LOG"
  local cmdline="\"$(windows_path "$medium/SETUP.EXE")\""
  for a in "$@"; do cmdline+=" $a"; done
  echo
  echo "=== $label: $cmdline"
  KQSETUP=LOG KQCHILD_RECORD='C:\welcome.txt' KQRUN_CMDLINE=$cmdline \
    wine "$tools_dir/runner.exe" --timeout $((run_timeout * 1000)) > "$work/runner.out" 2>/dev/null &
  local pid=$!
  watch_boxes "$pid" &
  local watcher=$!
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
  wait "$watcher" || true
  if grep -q '^timeout' "$work/runner.out"; then
    echo "the run did not end within $run_timeout s and was stopped"
  fi
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
