#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows program under Wine with
# the ANSI code page 936, in the given prefix. CTest uses it as the emulator.
set -eu
prefix=$1; shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$prefix/.ready" ]; then
  mkdir -p "$prefix"
  # One start-up makes the prefix and later runs reuse it; the lock keeps
  # tests started together from making it twice at once.
  (
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
      /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
      wineserver -w || true
      touch "$prefix/.ready"
    fi
  ) 9>"$prefix.lock"
fi
exec /usr/lib/wine/wine64 "$@"
