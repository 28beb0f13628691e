#!/usr/bin/env bash
# Serves a generated sample site on 127.0.0.1 and crawls two of its pages
# with the console program into a new folder under build/demo: the whole job,
# without the internet.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target lumivant-cli >/dev/null

demo=build/demo
mkdir -p "$demo"
port_file=$(mktemp)
python3 scripts/demo_site.py "$port_file" 2 6 &
site_pid=$!
trap 'kill $site_pid 2>/dev/null || true; rm -f "$port_file"' EXIT
for _ in $(seq 100); do [ -s "$port_file" ] && break; sleep 0.1; done
site=$(cat "$port_file")

folder=wallpapers-$(date +%Y%m%d-%H%M%S)
echo "site: $site   folder: $demo/$folder"
cd "$demo"
../../scripts/wine-run.sh "$PWD/../windows/wineprefix" ../windows/cli/lumivant-cli.exe \
  --folder "$folder" --pages 2 --site "$site" && status=0 || status=$?
echo "exit status: $status"
ls -l "$folder"
exit "$status"
