#!/usr/bin/env bash
# Builds everything and runs every test: the portable parts natively under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows program
# and its tests under Wine. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)

bash scripts/check_layers.sh
bash scripts/check_sample_addresses.sh

cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
source scripts/xvfb.sh
ctest --preset windows
