#!/usr/bin/env bash
# With no arguments: builds the window program and starts it under Wine (code
# page 936), on a private Xvfb screen when there is no display.
# With arguments: builds the console program and runs it with them, e.g.
#   scripts/run.sh --folder out --pages 1 --site http://127.0.0.1:8080
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset windows >/dev/null
prefix="$PWD/build/windows/wineprefix"
if (($#)); then
  cmake --build --preset windows -j "$(nproc)" --target lumivant-cli >/dev/null
  exec scripts/wine-run.sh "$prefix" build/windows/cli/lumivant-cli.exe "$@"
fi
cmake --build --preset windows -j "$(nproc)" --target Lumivant
source scripts/xvfb.sh
scripts/wine-run.sh "$prefix" build/windows/app/Lumivant.exe
