#!/usr/bin/env bash
# crawl_bench.sh [BUILD_DIR]: what a whole crawl costs beside the least the
# same requests can cost under the same Wine, and beside curl, as the site
# grows.
#
# Serves generated wallpaper sites with nginx on 127.0.0.1 (P listing pages
# of 24 links, one detail page and one image of S bytes per link). For every
# P and S, interleaved run by run, it times
#   crawl  lumivant-cli --folder DIR --pages P --site SITE --json: the seconds
#          of its summary, and its peak resident memory
#   floor  crawl_floor.exe: the same platform calls for the same addresses in
#          the same order (bench/crawl_floor.cpp), seconds from its first
#          request to its last file
#   curl   one curl process over the same addresses, a new connection per
#          request, images written to disk
# and prints one table of medians with their spreads, checked against the
# targets: crawl/floor at most 1.10, that ratio flat in P within 10 %, and
# the crawl's peak memory at most Wine's idle footprint + 24 MB.
#
# BUILD_DIR is a mingw build directory (default build/crawl-bench, configured
# here like the windows preset with the benchmarks on). Environment knobs:
# LV_BENCH_PAGES ("1 4 16"), LV_BENCH_SIZES ("100K 1M 8M"), LV_BENCH_RUNS (5),
# LV_BENCH_FACE (cli; "window" times the window program instead, from the
# click to the closing message, through crawl_bench_driver.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/crawl-bench}
case $build in /*) ;; *) build=$root/$build ;; esac
pages_list=${LV_BENCH_PAGES:-1 4 16}
sizes_list=${LV_BENCH_SIZES:-100K 1M 8M}
runs=${LV_BENCH_RUNS:-5}
face=${LV_BENCH_FACE:-cli}
links=24
case $face in cli | window) ;; *) echo "LV_BENCH_FACE is cli or window, not $face" >&2; exit 2 ;; esac

source bench/common.sh
targets=(lumivant-cli crawl_floor)
[ "$face" = cli ] || targets+=(Lumivant crawl_bench_driver)
lv_bench_build "$build" "${targets[@]}"
cli=$build/cli/lumivant-cli.exe
floor=$build/bench/crawl_floor.exe
driver=$build/bench/crawl_bench_driver.exe
# The window program needs a prefix whose Wine started with a display.
prefix=$build/wineprefix
[ "$face" = cli ] || prefix=$build/wineprefix-window

dir=$(mktemp -d /tmp/lumivant-crawl-bench.XXXXXX)
[ "$face" = cli ] || source scripts/xvfb.sh
cleanup() {
  lv_stop_sites
  if [ -n "${lv_xvfb_pid:-}" ]; then kill "$lv_xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$dir"
}
trap cleanup EXIT

max_pages=0
for p in $pages_list; do ((p > max_pages)) && max_pages=$p; done
# shellcheck disable=SC2086
lv_serve_sites "$dir" "$max_pages" "$links" $sizes_list

wine_run() { scripts/wine-run.sh "$prefix" "$@"; }
# Runs a Windows program under Wine, measured; prints its output, then
# "measure <wall s> <peak bytes> <status>".
measured() {
  python3 bench/measured_run.py "$dir/measure" scripts/wine-run.sh "$prefix" "$@" | tr -d '\r'
  echo "measure $(cat "$dir/measure")"
}
# "<bytes> <files>" of the images in a folder, which is then removed.
take_written() {
  local bytes files
  files=$(find "$1" -maxdepth 1 -name '*.png' | wc -l)
  bytes=$(find "$1" -maxdepth 1 -name '*.png' -printf '%s\n' | awk '{ n += $1 } END { printf "%.0f\n", n }')
  rm -rf "$1"
  echo "$bytes $files"
}

# Each run prints one line: "<seconds> <peak bytes> <bytes written> <files>
# <1 when it ended cleanly>".
crawl_run() {  # SITE PAGES
  local out=$dir/out-crawl output summary peak status seconds
  rm -rf "$out"
  if [ "$face" = window ]; then
    output=$(wine_run "$driver" crawl "$1" "$2" | tr -d '\r' || true)
    # crawl <seconds> <peak working set> <peak pagefile> <bytes> <files> <clean>
    read -r _ s ws _ bytes files clean <<<"${output:-x 0 0 0 0 0 0}"
    echo "$s $ws $bytes $files $clean"
    return
  fi
  output=$(measured "$cli" --folder "$(lv_windows_path "$out")" --pages "$2" --site "$1" --json)
  summary=$(grep '"event":"summary"' <<<"$output" || true)
  read -r _ _ peak status <<<"$(grep '^measure ' <<<"$output")"
  seconds=$(python3 -c 'import json, sys; print(json.loads(sys.argv[1])["seconds"])' "$summary" 2>/dev/null || echo 0)
  [ "$status" = 0 ] || echo "crawl ended with status $status: $(grep -v '^measure ' <<<"$output" | tail -n 2)" >&2
  echo "$seconds $peak $(take_written "$out") $( [ "$status" = 0 ] && [ -n "$summary" ] && echo 1 || echo 0)"
}

floor_run() {  # LIST
  local out=$dir/out-floor output line peak status
  rm -rf "$out"
  output=$(measured "$floor" "$(lv_windows_path "$1")" "$(lv_windows_path "$out")")
  line=$(grep '^floor ' <<<"$output" || echo "floor 0 0 0 1")
  read -r _ _ peak status <<<"$(grep '^measure ' <<<"$output")"
  read -r _ s _ _ failed <<<"$line"
  echo "$s $peak $(take_written "$out") $( [ "$status" = 0 ] && [ "$failed" = 0 ] && echo 1 || echo 0)"
}

curl_run() {  # CONFIG
  local out=$dir/out-curl start end status=0
  rm -rf "$out"
  mkdir -p "$out"
  start=$(date +%s%N)
  curl -K "$1" || status=$?
  end=$(date +%s%N)
  echo "$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }') 0 $(take_written "$out") $( [ $status = 0 ] && echo 1 || echo 0)"
}

# Runs one of the runs above; when it did not end cleanly (WinINet under
# Wine crashes now and then, or cuts an image's path), runs it again, at
# most twice more. Appends how many times it was repeated.
repeating() {
  local line repeats=0
  line=$("$@")
  while [[ $line != *' 1' ]] && ((repeats < 2)); do
    echo "  repeating $1 after: $line" >&2
    repeats=$((repeats + 1))
    line=$("$@")
  done
  echo "$line $repeats"
}

# The request list and the curl configuration of the first P pages of a site.
prepare() {  # SITE_DIR PAGES
  local list=$dir/list-$(basename "$1")-$2.txt config=$dir/curl-$(basename "$1")-$2.conf
  head -n $(($2 * (1 + 2 * links))) "$1/urls.txt" >"$list"
  # Each transfer its own block; "Connection: close" makes every request
  # open a new connection, as the crawl's requests do.
  awk -v out="$dir/out-curl" '
    { printf "url = \"%s\"\noutput = \"%s\"\nsilent\nshow-error\nheader = \"Connection: close\"\n",
             $2, $1 == "image" ? sprintf("%s/%d.png", out, n++) : "/dev/null" }
    { print "next" }' "$list" | sed '$d' >"$config"
  echo "$list $config"
}

results=$dir/results
: >"$results"
for r in $(seq "$runs"); do
  if [ "$face" = window ]; then
    line=$(wine_run "$driver" idle | tr -d '\r' || true)
    idle=$(cut -d' ' -f2 <<<"$line")
  else
    line=$(measured "$cli" --version)
    idle=$(grep '^measure ' <<<"$line" | cut -d' ' -f3)
  fi
  [ -n "$idle" ] && [ "$idle" -gt 0 ] || { echo "the idle program did not start: $line" >&2; exit 1; }
  echo "idle run $r: $idle bytes" >&2
  echo "idle $idle" >>"$results"
done

for s in $sizes_list; do
  site_dir=$dir/site-$s
  site=http://127.0.0.1:${lv_site_port[$s]}
  for p in $pages_list; do
    read -r list config <<<"$(prepare "$site_dir" "$p")"
    for r in $(seq "$runs"); do
      crawl=$(repeating crawl_run "$site" "$p")
      floor_line=$(repeating floor_run "$list")
      curl_line=$(repeating curl_run "$config")
      echo "P=$p S=$s run $r: crawl $crawl | floor $floor_line | curl $curl_line" >&2
      echo "$p $s $(lv_bytes_of "$s") $crawl $floor_line $curl_line" >>"$results"
    done
  done
done

echo "measured in $SECONDS s" >&2
python3 bench/crawl_table.py "$results" "$links" "$face"
