#!/usr/bin/env bash
# wininet_stress.sh [BUILD_DIR] [VARIANT...]: how often WinINet under Wine
# fails, for each way of calling it.
#
# Serves a generated wallpaper site with nginx on 127.0.0.1, every request
# line logged, and for each VARIANT makes LV_STRESS_COUNT image requests
# (default 10000) the way the crawl does (bench/wininet_stress.cpp: a page
# through WinHttp before every image, then the image through WinINet,
# written to disk), in runs of LV_STRESS_CHUNK images (default 480, a crawl
# of 20 pages), a fresh process each. It counts failed images, processes
# that crashed, and image requests that reached the server with a path the
# program never asked for. Every run is bounded by LV_STRESS_RUN_SECONDS
# (600) and each variant by LV_STRESS_VARIANT_SECONDS (3600).
#
# Variants (default: all): product no-cookies no-ui http11 no-accept-types
# connection-close keep-connection connection-first session-per-page
# session-per-image thread images-only, or several joined with "+".
# LV_STRESS_SIZE sets the image size (256K).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/crawl-bench}
[ $# -gt 0 ] && shift
case $build in /*) ;; *) build=$root/$build ;; esac
count=${LV_STRESS_COUNT:-10000}
chunk=${LV_STRESS_CHUNK:-480}
size=${LV_STRESS_SIZE:-256K}
run_seconds=${LV_STRESS_RUN_SECONDS:-600}
variant_seconds=${LV_STRESS_VARIANT_SECONDS:-3600}
variants=("$@")
((${#variants[@]})) || variants=(product no-cookies no-ui http11 no-accept-types connection-close keep-connection
                                  connection-first session-per-page session-per-image thread images-only)
links=24
pages=4

# The program's options for a variant; variants join with "+", e.g.
# connection-close+thread.
options_of() {
  local part options=
  for part in ${1//+/ }; do
    case $part in
      product) ;;
      no-cookies | no-ui | http11 | no-accept-types | connection-close | keep-connection | connection-first | thread \
        | images-only) options+=" --$part" ;;
      session-per-page) options+=" --session-every $links" ;;
      session-per-image) options+=" --session-every 1" ;;
      *) return 1 ;;
    esac
  done
  echo "$options"
}
for v in "${variants[@]}"; do options_of "$v" >/dev/null || { echo "unknown variant $v" >&2; exit 2; }; done

source bench/common.sh
lv_bench_build "$build" wininet_stress
stress=$build/bench/wininet_stress.exe
prefix=$build/wineprefix

dir=$(mktemp -d /tmp/lumivant-wininet-stress.XXXXXX)
cleanup() {
  lv_stop_sites
  rm -rf "$dir"
}
trap cleanup EXIT
LV_ACCESS_LOG=1 lv_serve_sites "$dir" "$pages" "$links" "$size"
list=$dir/site-$size/urls.txt

report=$dir/report
: >"$report"
for v in "${variants[@]}"; do
  read -r -a options <<<"$(options_of "$v")"
  : >"$dir/access.log"
  done_images=0 failed=0 page_failed=0 crashes=0 timeouts=0 runs=0
  deadline=$((SECONDS + variant_seconds))
  while ((done_images < count && SECONDS < deadline)); do
    want=$((count - done_images < chunk ? count - done_images : chunk))
    status=0
    timeout -k 10 "$run_seconds" scripts/wine-run.sh "$prefix" "$stress" "$(lv_windows_path "$list")" "$want" \
      "$(lv_windows_path "$dir/out")" "${options[@]}" >"$dir/run.txt" 2>&1 || status=$?
    tr -d '\r' <"$dir/run.txt" >"$dir/run.log"
    runs=$((runs + 1))
    # Images that ended, from the last progress line or the closing line.
    ended=$(awk '$1 == "progress" { n = $2 } $1 == "stress" { n = $2 } END { print n + 0 }' "$dir/run.log")
    if [ "$status" = 124 ] || [ "$status" = 137 ]; then
      timeouts=$((timeouts + 1))
    elif ! grep -q '^stress ' "$dir/run.log"; then
      crashes=$((crashes + 1))
      echo "$v: run $runs crashed after $ended images (exit status $status): $(grep -v '^progress' "$dir/run.log" | tail -n 3 | tr '\n' ' ')" >&2
    fi
    failed=$((failed + $(grep -c '^fail image' "$dir/run.log" || true)))
    page_failed=$((page_failed + $(grep -c '^fail page' "$dir/run.log" || true)))
    grep '^fail' "$dir/run.log" | head -n 5 | sed "s/^/$v: /" >&2 || true
    # A run that crashed before its first progress line still made one image request.
    done_images=$((done_images + (ended > 0 ? ended : 1)))
  done
  # Image requests whose line is not one the site's list holds: a cut or
  # garbled path.
  seen=$(grep -c '"GET /img/' "$dir/access.log" || true)
  wrong=$(grep -v -E '^[0-9]+ "GET /(img/[0-9]+-[0-9]+\.png|w/[0-9]+-[0-9]+\.html|toplist\?page=[0-9]+) HTTP/1\.[01]"$' \
    "$dir/access.log" >"$dir/wrong-$v.log" || true; wc -l <"$dir/wrong-$v.log")
  head -n 5 "$dir/wrong-$v.log" | sed "s/^/$v: wrong request line: /" >&2
  echo "$v: image requests on the wire: $(grep -c '"GET /img/.* HTTP/1\.0"$' "$dir/access.log" || true) HTTP/1.0," \
    "$(grep -c '"GET /img/.* HTTP/1\.1"$' "$dir/access.log" || true) HTTP/1.1" >&2
  # Per 10,000 image requests as the server counted them (a run that
  # crashed made more than its last progress line tells), or as the program
  # counted them when fewer reached the server.
  line=$(awk -v v="$v" -v f="$failed" -v c="$crashes" -v t="$timeouts" -v w="$wrong" \
    -v pf="$page_failed" -v seen="$seen" -v made="$done_images" -v runs="$runs" 'BEGIN {
      n = seen > made ? seen : made
      printf "%-18s %7d %7d %8.1f %7d %8.1f %6d %8d %6d %5d\n", v, n, f, n ? f * 10000 / n : 0, c,
             n ? c * 10000 / n : 0, t, w, pf, runs }')
  echo "$line" >&2
  echo "$line" >>"$report"
done

echo "measured in $SECONDS s, images of $size, runs of up to $chunk images" >&2
printf '%-18s %7s %7s %8s %7s %8s %6s %8s %6s %5s\n' variant images failed 'per 10k' crashes 'per 10k' hangs \
  'bad path' pages runs
cat "$report"
