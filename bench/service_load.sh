#!/usr/bin/env bash
# The service's HTTP front under load beside nginx serving the very same bytes, in the same run:
# wrk -t2 -d8s --latency at 16 and 256 connections on the program's default mo.php query, on
# /api/proxies?count=20 and on /status. Both listen on loopback; nginx is our own instance (a config
# in a temporary folder) and is ended by its pid with the service, whatever happens.
# Prints one table and a RESULT line per figure for scripts/bench (requests per second, nginx the baseline).
#   bench/service_load.sh SERVICE_BINARY [SECONDS [SERVICE_OPTION...]]   (e.g. 8 --threads 2)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
service_bin=${1:?usage: bench/service_load.sh SERVICE_BINARY [SECONDS [SERVICE_OPTION...]]}
seconds=${2:-8}
shift $(($# < 2 ? $# : 2))
command -v wrk >/dev/null && [ -x /usr/sbin/nginx ] || { echo "service_load: needs wrk and nginx-light (scripts/setup)"; exit 1; }

work=$(mktemp -d /tmp/qv-load-XXXXXX)
chmod 755 "$work"  # nginx's workers run as another user when it is started as root
service= nginx=
finish() {
  [ -n "$service" ] && kill "$service" 2>/dev/null && wait "$service" 2>/dev/null
  [ -n "$nginx" ] && kill "$nginx" 2>/dev/null && wait "$nginx" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

"$service_bin" --port 0 --pool "$here/service/pool.txt" "$@" >"$work/service.log" 2>&1 &
service=$!
for _ in $(seq 100); do grep -q listening "$work/service.log" && break; sleep 0.1; done
port=$(sed -n 's/.*listening on http:\/\/127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/service.log")
[ -n "$port" ] || { cat "$work/service.log"; exit 1; }

# The program's default query, as it sends it (every value percent-encoded).
mo='/mo.php?sxb=&tqsl=%32%30&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=&submit=%CC%E1%20%20%C8%A1'
api='/api/proxies?count=20'
status='/status'
curl -sg -o "$work/mo.body" "http://127.0.0.1:$port$mo"
curl -sg -o "$work/api.body" "http://127.0.0.1:$port$api"
curl -sg -o "$work/status.body" "http://127.0.0.1:$port$status"

# nginx on a free loopback port, worker processes as Debian configures them (one per core).
nginx_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/nginx"
cat >"$work/nginx/nginx.conf" <<EOF
worker_processes auto;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  types { }
  server {
    listen 127.0.0.1:$nginx_port;
    location = /mo.php { default_type "text/html; charset=gbk"; alias $work/mo.body; }
    location = /api/proxies { default_type "application/json"; alias $work/api.body; }
    location = /status { default_type "text/html; charset=utf-8"; alias $work/status.body; }
  }
}
EOF
/usr/sbin/nginx -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
nginx=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$nginx_port/status" && break; sleep 0.1; done
for path in "$mo" "$api" "$status"; do
  cmp -s <(curl -sg "http://127.0.0.1:$nginx_port$path") <(curl -sg "http://127.0.0.1:$port$path") ||
    [ "$path" = "$status" ] || { echo "service_load: nginx does not serve the same bytes for $path"; cat "$work/nginx/error.log"; curl -sgi "http://127.0.0.1:$nginx_port$path" | head -5; exit 1; }
done

# requests per second, p99 in ms, and errors (socket errors and non-2xx answers) of one wrk run.
measure() {  # url connections
  local out rate p99 errors
  out=$(wrk -t2 -c"$2" -d"${seconds}s" --latency "$1")
  rate=$(awk '/^Requests\/sec/ {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {v = $2; if (v ~ /us$/) v = v / 1000; else if (v ~ /ms$/) v = v + 0; else if (v ~ /s$/) v = v * 1000; print v}' <<<"$out")
  errors=$(awk '/Socket errors/ {gsub(",", ""); s += $4 + $6 + $8 + $10} /Non-2xx/ {s += $NF} END {print s + 0}' <<<"$out")
  echo "$rate $p99 $errors"
}

printf "\n%-22s %5s  %12s %9s %6s   %12s %9s %6s   %6s\n" "service over HTTP" conns "service r/s" "p99 ms" errors "nginx r/s" "p99 ms" errors ratio
results=()
for entry in "mo.php:$mo" "api_proxies:$api" "status:$status"; do
  name=${entry%%:*} path=${entry#*:}
  for connections in 16 256; do
    read -r ours ours_p99 ours_errors < <(measure "http://127.0.0.1:$port$path" "$connections")
    read -r theirs theirs_p99 theirs_errors < <(measure "http://127.0.0.1:$nginx_port$path" "$connections")
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    printf "%-22s %5d  %12.0f %9.2f %6d   %12.0f %9.2f %6d   %6s\n" "$name" "$connections" "$ours" "$ours_p99" \
      "$ours_errors" "$theirs" "$theirs_p99" "$theirs_errors" "$ratio"
    results+=("RESULT service_http_${name}_${connections}c $ours $ours $ours $theirs req/s")
    results+=("RESULT service_http_${name}_${connections}c_p99 $ours_p99 $ours_p99 $ours_p99 $theirs_p99 ms")
    [ "$ours_errors" = 0 ] || echo "  ^ $ours_errors socket errors or non-2xx answers from the service"
  done
done
printf "%s\n" "${results[@]}"
grep -i -E 'error|warn' "$work/service.log" || true
