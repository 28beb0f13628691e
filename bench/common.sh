# Sourced by the bench scripts, from the source tree's top.
#
#   lv_bench_build BUILD_DIR TARGET...
# installs what is missing, configures BUILD_DIR like the windows preset with
# the benchmarks on (or turns them on in an existing one) and builds TARGETs.
#
#   lv_serve_sites DIR PAGES LINKS SIZE...
# generates wallpaper sites and serves them with nginx on 127.0.0.1, one
# port per site:
# writes DIR/site-SIZE for every SIZE (100K, 1M, 8M or bytes; make_site.py
# lays them out), starts nginx over them, and sets lv_site_port[SIZE] and
# lv_nginx_pid. nginx logs every request's line and status to
# DIR/access.log when LV_ACCESS_LOG=1. lv_stop_sites stops it.

lv_bench_build() {
  local build=$1
  shift
  bash scripts/deps.sh
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
      -DLV_WERROR=ON -DLV_BENCH=ON "-DCMAKE_CROSSCOMPILING_EMULATOR=$PWD/scripts/wine-run.sh;$build/wineprefix" >/dev/null
  elif ! grep -q '^LV_BENCH:BOOL=ON' "$build/CMakeCache.txt"; then
    cmake -S . -B "$build" -DLV_BENCH=ON >/dev/null
  fi
  cmake --build "$build" -j2 --target "$@" >/dev/null
}

# A path as the Windows programs see it: Wine maps / to drive Z:.
lv_windows_path() { echo "Z:${1//\//\\}"; }

lv_bytes_of() {
  case $1 in
    *K) echo $((${1%K} * 1024)) ;;
    *M) echo $((${1%M} * 1024 * 1024)) ;;
    *) echo "$1" ;;
  esac
}

declare -A lv_site_port
lv_nginx_pid=

lv_serve_sites() {
  local dir=$1 pages=$2 links=$3 size port servers= access='access_log off;'
  shift 3
  chmod 755 "$dir"  # nginx's workers read the sites
  local -a ports
  read -r -a ports <<<"$(python3 -c '
import socket, sys
socks = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in socks: s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in socks))
' "$#")"
  for size in "$@"; do
    port=${ports[0]}
    ports=("${ports[@]:1}")
    lv_site_port[$size]=$port
    echo "generating the site for S=$size on 127.0.0.1:$port" >&2
    python3 bench/make_site.py "$dir/site-$size" "http://127.0.0.1:$port" "$pages" "$links" "$(lv_bytes_of "$size")"
    servers+="
  server {
    listen 127.0.0.1:$port;
    root $dir/site-$size;
    location = /toplist { try_files /toplist/\$arg_page.html =404; }
  }"
  done
  if [ "${LV_ACCESS_LOG:-0}" = 1 ]; then
    access="log_format line '\$status \"\$request\"'; access_log $dir/access.log line;"
  fi
  mkdir -p "$dir/nginx-temp"
  cat >"$dir/nginx.conf" <<EOF
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/nginx-error.log warn;
events { worker_connections 256; }
http {
  types { text/html html; image/png png; }
  default_type application/octet-stream;
  $access
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
  lv_nginx_pid=$!
  local listing
  for size in "$@"; do
    port=${lv_site_port[$size]}
    for _ in $(seq 100); do
      curl -s -f -o /dev/null "http://127.0.0.1:$port/toplist?page=1" && break
      sleep 0.05
    done
    listing=$(curl -s -f "http://127.0.0.1:$port/toplist?page=1" || true)
    [[ $listing == *'<a class="preview" href="http://127.0.0.1:'* ]] ||
      { echo "nginx does not serve the listing on port $port:" >&2; cat "$dir/nginx-error.log" >&2; return 1; }
  done
  [ "${LV_ACCESS_LOG:-0}" != 1 ] || : >"$dir/access.log"
}

lv_stop_sites() {
  if [ -n "$lv_nginx_pid" ]; then
    kill "$lv_nginx_pid" 2>/dev/null || true
    wait "$lv_nginx_pid" 2>/dev/null || true
    lv_nginx_pid=
  fi
}
