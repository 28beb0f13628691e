#!/usr/bin/env bash
# http_bench.sh [BUILD_DIR]: serves a 50 KB page from a local server on
# 127.0.0.1, runs http_bench.exe under Wine against it (200 sequential
# address-only HttpRequest calls, plus the Utf8ToGbk rate), then makes the
# same 200 requests with curl, one process each, and prints that mean too.
# BUILD_DIR is a configured mingw build (default build/windows).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
count=200
cmake -S . -B "$build" -DLV_BENCH=ON >/dev/null  # benchmarks are built only when asked for
cmake --build "$build" --target http_bench >/dev/null

dir=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

python3 -c 'import sys; sys.stdout.write(("<p>" + "x" * 92 + "</p>\n") * 512)' > "$dir/page.html"
python3 -u -c '
import functools, http.server, sys
class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
handler = functools.partial(Quiet, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
print(server.server_address[1])
server.serve_forever()
' "$dir" > "$dir/port" &
server_pid=$!
for _ in $(seq 100); do [ -s "$dir/port" ] && break; sleep 0.05; done
url="http://127.0.0.1:$(cat "$dir/port")/page.html"
echo "page: $url ($(stat -c %s "$dir/page.html") bytes)"

scripts/wine-run.sh "$PWD/$build/wineprefix" "$build/bench/http_bench.exe" "$url" "$count"

curl -s -o /dev/null "$url"  # warm-up, as the Windows side has
start=$(date +%s%N)
for _ in $(seq "$count"); do curl -s -o /dev/null "$url"; done
end=$(date +%s%N)
awk -v ns=$((end - start)) -v n="$count" \
  'BEGIN { printf "curl: %.2f ms mean over %d sequential requests, one process each\n", ns / n / 1e6, n }'
