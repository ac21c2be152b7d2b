#!/bin/bash
# wine-session.sh start|stop <prefix> [<keepalive.exe>]
# start: makes a fresh 32-bit prefix and keeps its wineserver running, so
#        that each later program start costs about half a second. With
#        KQ_DISPLAY set, the prefix's desktop is on that X display. With
#        keepalive.exe given, it runs in the background for the session
#        (it keeps Wine's RPC service from stopping when idle; see its source).
# stop:  shuts the prefix's wineserver down.
set -eu
action=$1
export WINEPREFIX=$(realpath -m "$2")
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The prefix's desktop keeps the display it is booted with: none, unless the
# caller names one in KQ_DISPLAY (for tests that show windows).
if [ -n "${KQ_DISPLAY:-}" ]; then export DISPLAY=$KQ_DISPLAY; else unset DISPLAY; fi
case $action in
  start)
    if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; fi
    mkdir -p "$WINEPREFIX"
    # The persistent server first, so that wineboot and every later program
    # use it (starting it after wineboot races with wineboot's own server).
    wineserver -p >/dev/null 2>&1 </dev/null
    wineboot -i >/dev/null 2>&1
    wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentVersion >/dev/null
    if [ -n "${KQ_DISPLAY:-}" ]; then
      # The Xvfb display has no window manager; Wine would wait for one, up
      # to 2 s, each time a program hides a window it had shown.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    fi
    if [ -n "${3:-}" ]; then
      nohup wine "$3" </dev/null >/dev/null 2>&1 &
    fi
    echo "prefix ready: $WINEPREFIX"
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
  *) echo "usage: $0 start|stop <prefix>" >&2; exit 2 ;;
esac
