#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine (code page 936).
# Without a display it runs on a private Xvfb screen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target Lumivant
source scripts/xvfb.sh
exec_dir=build/windows/app
scripts/wine-run.sh "$PWD/build/windows/wineprefix" "$exec_dir/Lumivant.exe"
