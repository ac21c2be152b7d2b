#!/bin/bash
# wine-run.sh --prefix <dir> [--version win98|nt40|win2k|winxp|win10]
#             [--locale ll_CC.UTF-8] -- <program.exe> [args...]
# Runs a Windows program in the test prefix, with the Windows version the
# prefix reports set for this run and restored afterwards.
set -eu
prefix= version= locale=
while [ $# -gt 0 ]; do
  case $1 in
    --prefix) prefix=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --locale) locale=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "wine-run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
export WINEPREFIX=$(realpath -m "$prefix") WINEARCH=win32 WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || { echo "wine-run.sh: no prefix at $WINEPREFIX" >&2; exit 2; }
if [ -n "$version" ]; then
  wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null
  trap 'wine reg delete "HKCU\Software\Wine" /v Version /f >/dev/null 2>&1 || true' EXIT
fi
export KQ_WINE_VERSION=${version:-default}
# Set for Wine only: the shell itself may lack the locale.
LC_ALL=${locale:-en_US.UTF-8} wine "$@"
