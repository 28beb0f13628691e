#!/usr/bin/env bash
# crawl_bench.sh [BUILD_DIR]: what a whole crawl costs beside a sequential
# curl baseline, as the site grows.
#
# Serves generated wallpaper sites with nginx on 127.0.0.1 (P listing pages
# of 24 links, one detail page and one image of S bytes per link), then for
# every P and S crawls them with the real program under Wine
# (crawl_bench_driver.exe times the click to the closing message and reads
# the program's peak memory) and makes the same requests in the same order
# with curl, one process and one connection per request, images written to
# disk. Prints one table of medians and checks it against the targets.
#
# BUILD_DIR is a mingw build directory (default build/crawl-bench, configured
# here like the windows preset; build/windows works too). Environment knobs
# for quick runs: LV_BENCH_PAGES ("1 4 16"), LV_BENCH_SIZES ("100K 1M 8M"),
# LV_BENCH_RUNS (3).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/crawl-bench}
case $build in /*) ;; *) build=$root/$build ;; esac
pages_list=${LV_BENCH_PAGES:-1 4 16}
sizes_list=${LV_BENCH_SIZES:-100K 1M 8M}
runs=${LV_BENCH_RUNS:-3}
links=24

bash scripts/deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DLV_WERROR=ON "-DCMAKE_CROSSCOMPILING_EMULATOR=$root/scripts/wine-run.sh;$build/wineprefix" >/dev/null
fi
cmake -S . -B "$build" -DLV_BENCH=ON >/dev/null  # benchmarks are built only when asked for
cmake --build "$build" -j2 --target Lumivant crawl_bench_driver >/dev/null
driver=$build/bench/crawl_bench_driver.exe
prefix=$build/wineprefix

bytes_of() {
  case $1 in
    *K) echo $((${1%K} * 1024)) ;;
    *M) echo $((${1%M} * 1024 * 1024)) ;;
    *) echo "$1" ;;
  esac
}

dir=$(mktemp -d /tmp/lumivant-crawl-bench.XXXXXX)
chmod 755 "$dir"  # nginx's workers read the sites
nginx_pid=
source scripts/xvfb.sh
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  if [ -n "${lv_xvfb_pid:-}" ]; then kill "$lv_xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$dir"
}
trap cleanup EXIT

# One site per image size, each on its own port: the listing path is fixed.
read -r -a ports <<<"$(python3 -c '
import socket, sys
socks = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in socks: s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in socks))
' "$(wc -w <<<"$sizes_list")")"
max_pages=0
for p in $pages_list; do ((p > max_pages)) && max_pages=$p; done

servers=
i=0
for s in $sizes_list; do
  port=${ports[$i]}
  echo "generating the site for S=$s on 127.0.0.1:$port" >&2
  python3 bench/make_site.py "$dir/site-$s" "http://127.0.0.1:$port" "$max_pages" "$links" "$(bytes_of "$s")"
  servers+="
  server {
    listen 127.0.0.1:$port;
    root $dir/site-$s;
    location = /toplist { try_files /toplist/\$arg_page.html =404; }
  }"
  i=$((i + 1))
done

mkdir -p "$dir/nginx-temp"
cat >"$dir/nginx.conf" <<EOF
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/nginx-error.log warn;
events { worker_connections 256; }
http {
  types { text/html html; image/png png; }
  default_type application/octet-stream;
  access_log off;
  sendfile on;
  tcp_nopush on;
  gzip off;
  client_body_temp_path $dir/nginx-temp/body;
  proxy_temp_path $dir/nginx-temp/proxy;
  fastcgi_temp_path $dir/nginx-temp/fastcgi;
  uwsgi_temp_path $dir/nginx-temp/uwsgi;
  scgi_temp_path $dir/nginx-temp/scgi;
$servers
}
EOF
nginx -p "$dir" -e "$dir/nginx-error.log" -c "$dir/nginx.conf" -g 'daemon off;' &
nginx_pid=$!
for port in "${ports[@]}"; do
  for _ in $(seq 100); do
    curl -s -f -o /dev/null "http://127.0.0.1:$port/toplist?page=1" && break
    sleep 0.05
  done
  listing=$(curl -s -f "http://127.0.0.1:$port/toplist?page=1" || true)
  [[ $listing == *'<a class="preview" href="http://127.0.0.1:'* ]] ||
    { echo "nginx does not serve the listing on port $port:" >&2; cat "$dir/nginx-error.log" >&2; exit 1; }
done

driver_run() { scripts/wine-run.sh "$prefix" "$driver" "$@" | tr -d '\r'; }

# The baseline: every address of the first `pages` listing pages, in the
# crawl's order, one curl process each; images to disk like the program.
# Prints "curl <seconds> <image bytes written>".
baseline_run() {
  local site=$1 pages=$2 out=$dir/curl-out n=0 url start end
  local -a urls
  mapfile -t urls < <(head -n $((pages * (1 + 2 * links))) "$site/urls.txt")
  mkdir -p "$out"
  start=$(date +%s%N)
  for url in "${urls[@]}"; do
    case $url in
      */img/*) curl -s -o "$out/$n.png" "$url"; n=$((n + 1)) ;;
      *) curl -s -o /dev/null "$url" ;;
    esac
  done
  end=$(date +%s%N)
  echo "curl $(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }') $(cat "$out"/*.png | wc -c)"
  rm -rf "$out"
}

results=$dir/results
: >"$results"
for r in $(seq "$runs"); do
  line=$(driver_run idle || true)
  [[ $line == idle* ]] || { echo "the idle program did not start" >&2; exit 1; }
  echo "idle run $r: $line" >&2
  echo "$line" >>"$results"
done

i=0
for s in $sizes_list; do
  site=$dir/site-$s
  for p in $pages_list; do
    for r in $(seq "$runs"); do
      crawl=$(driver_run crawl "http://127.0.0.1:${ports[$i]}" "$p" || true)
      [[ $crawl == crawl* ]] || { echo "the crawl of P=$p S=$s did not finish" >&2; exit 1; }
      base=$(baseline_run "$site" "$p")
      echo "P=$p S=$s run $r: $crawl | $base" >&2
      echo "$p $s $(bytes_of "$s") $crawl $base" >>"$results"
    done
  done
  i=$((i + 1))
done

echo "measured in $SECONDS s" >&2
python3 - "$results" "$links" <<'EOF'
import statistics, sys
from collections import OrderedDict

MB = 1024 * 1024
idle, rows = [], OrderedDict()
for line in open(sys.argv[1]):
    f = line.split()
    if f[0] == 'idle':
        idle.append(int(f[1]))
        continue
    # P S bytes crawl seconds ws pagefile written files clean curl seconds bytes
    key = (int(f[0]), f[1], int(f[2]))
    rows.setdefault(key, []).append(dict(crawl=float(f[4]), ws=int(f[5]), written=int(f[7]), files=int(f[8]),
                                         clean=f[9] == '1', curl=float(f[11]), curl_bytes=int(f[12])))
links = int(sys.argv[2])
idle_ws = statistics.median(idle)
print('Wine idle footprint (program started, no crawl): %.1f MB peak working set' % (idle_ws / MB))
print()
print('%4s %6s %10s %12s %7s %10s %10s %14s' % ('P', 'S', 'crawl s', 'baseline s', 'ratio', 'peak MB', 'limit MB',
                                              'bytes written'))
ratios, faults, misses = {}, [], []
for (p, s, size), runs in rows.items():
    crawl = statistics.median(r['crawl'] for r in runs)
    curl = statistics.median(r['curl'] for r in runs)
    ws = statistics.median(r['ws'] for r in runs)
    written = statistics.median(r['written'] for r in runs)
    limit = idle_ws + 3 * size + 16 * MB
    ratio = crawl / curl
    ratios[(p, s)] = ratio
    print('%4d %6s %10.2f %12.2f %7.2f %10.1f %10.1f %14d' % (p, s, crawl, curl, ratio, ws / MB, limit / MB, written))
    for r in runs:
        if not r['clean'] or r['files'] != p * links or r['written'] != r['curl_bytes']:
            faults.append('P=%d S=%s: %d files, %d bytes (curl %d), clean message %s'
                          % (p, s, r['files'], r['written'], r['curl_bytes'], r['clean']))
    if ratio > 1.3:
        misses.append('P=%d S=%s: ratio %.2f > 1.3' % (p, s, ratio))
    if ws > limit:
        misses.append('P=%d S=%s: peak %.1f MB > %.1f MB' % (p, s, ws / MB, limit / MB))
print()
pages = sorted({p for p, _ in ratios})
for s in OrderedDict((s, 0) for _, s in ratios):
    first, last = ratios.get((pages[0], s)), ratios.get((pages[-1], s))
    if first and last and len(pages) > 1:
        growth = last / first - 1
        print('S=%s: ratio from P=%d to P=%d grows %+.1f %%' % (s, pages[0], pages[-1], 100 * growth))
        if growth > 0.10:
            misses.append('S=%s: ratio grows %.1f %% > 10 %%' % (s, 100 * growth))
print()
for fault in faults:
    print('WRONG OUTPUT ' + fault)
print('targets: ' + ('all met' if not misses else 'missed: ' + '; '.join(misses)))
sys.exit(1 if faults else 0)
EOF
