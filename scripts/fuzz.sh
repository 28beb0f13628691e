#!/usr/bin/env bash
# scripts/fuzz.sh [TARGET] [SECONDS]: builds the libFuzzer targets with clang
# (preset fuzz) and runs TARGET, or each of them in turn, for SECONDS seconds
# (default 60). Targets: text extract header_block cookies base64
# image_check address.
#
# The committed seeds in fuzz/corpus/TARGET are read; what the fuzzer adds
# goes to build/fuzz/corpus/TARGET and is kept between runs. A failing input
# is written to build/fuzz/findings/TARGET/ and the script stops non-zero:
# copy it into fuzz/corpus/TARGET once the fault is fixed, so that the
# native build's replay keeps checking it.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(text extract header_block cookies base64 image_check address)
if [ $# -ge 1 ] && [ -n "$1" ] && [ "$1" != all ]; then targets=("$1"); fi
seconds=${2:-60}

bash scripts/deps.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$t" "build/fuzz/findings/$t"
  echo "== $t: ${seconds}s"
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=("-dict=fuzz/$t.dict")
  "build/fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/findings/$t/" "${dict[@]}" \
    "build/fuzz/corpus/$t" "fuzz/corpus/$t"
done
