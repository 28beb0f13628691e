#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows program under Wine with
# the ANSI code page 936, in the given prefix. CTest uses it as the emulator.
set -eu
prefix=$1; shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# A program that crashes must end at once with a failing status. Wine's
# default crash debugger instead opens a dialog that holds the process for
# minutes where there is a display, and where there is none it lets the
# crash end with status 0. With the debugger command blank (and Auto left
# on: Auto 0 asks in a message box first) nothing starts, and the process
# ends with the exception code's low byte, 5 for an access violation.
aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
if [ ! -f "$prefix/.ready" ] || [ ! -f "$prefix/.no-crash-debugger" ]; then
  mkdir -p "$prefix"
  # One start-up makes the prefix and later runs reuse it; the lock keeps
  # tests started together from making it twice at once. A prefix made
  # before the debugger was turned off gets that on its next run.
  (
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
      /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
      wineserver -w || true
      touch "$prefix/.ready"
    fi
    if [ ! -f "$prefix/.no-crash-debugger" ]; then
      /usr/lib/wine/wine64 reg add "$aedebug" /v Debugger /t REG_SZ /d "" /f >/dev/null 2>&1 &&
        /usr/lib/wine/wine64 reg add "$aedebug" /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1 &&
        touch "$prefix/.no-crash-debugger"
      wineserver -w || true
    fi
  ) 9>"$prefix.lock"
fi
exec /usr/lib/wine/wine64 "$@"
