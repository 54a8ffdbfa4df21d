#!/usr/bin/env bash
# An HTTPS fetch of a 20 KB page, one process per fetch, by vexorin-fetch and
# by curl against the same loopback TLS server, certificates made here.
set -euo pipefail
cd "$(dirname "$0")/.."
N="${FETCHES:-200}"
D=$(mktemp -d)
trap 'kill "$SERVER" 2>/dev/null || true; rm -rf "$D"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$D/ca.key" -out "$D/ca.pem" -days 2 \
  -subj /CN=bench-ca 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$D/leaf.key" -out "$D/leaf.csr" \
  -subj /CN=localhost 2>/dev/null
printf 'subjectAltName=DNS:localhost\n' > "$D/ext"
openssl x509 -req -in "$D/leaf.csr" -CA "$D/ca.pem" -CAkey "$D/ca.key" -CAcreateserial \
  -out "$D/leaf.pem" -days 2 -extfile "$D/ext" 2>/dev/null
head -c 20480 /dev/zero | tr '\0' 'x' > "$D/page"
python3 - "$D" > "$D/port" <<'PY' &
import http.server, ssl, sys, os
d = sys.argv[1]
os.chdir(d)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), http.server.SimpleHTTPRequestHandler)
ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
ctx.load_cert_chain(d + "/leaf.pem", d + "/leaf.key")
server.socket = ctx.wrap_socket(server.socket, server_side=True)
http.server.SimpleHTTPRequestHandler.log_message = lambda *a: None
print(server.server_address[1], flush=True)
server.serve_forever()
PY
SERVER=$!
for _ in $(seq 50); do [ -s "$D/port" ] && break; sleep 0.1; done
URL="https://localhost:$(cat "$D/port")/page"
export VEXORIN_CA_FILE="$D/ca.pem"
[ "$(build/tools/vexorin-fetch "$URL" | wc -c)" -eq 20480 ] || { echo "fetch failed"; exit 1; }
time_of() {
  local start end
  start=$(date +%s%N)
  for _ in $(seq "$N"); do "$@" > /dev/null; done
  end=$(date +%s%N)
  echo $(( (end - start) / N / 1000 ))
}
ours=$(time_of build/tools/vexorin-fetch "$URL")
theirs=$(time_of curl -s --cacert "$D/ca.pem" "$URL")
python3 -c "print(f'HTTPS fetch of 20 KB, one process per fetch, mean of $N: vexorin-fetch {$ours/1000:.2f} ms, curl {$theirs/1000:.2f} ms, ratio {$ours/$theirs:.2f}')"

# A research run (30 rows, depth 20, a site never found) against the stand-in
# services over HTTPS and over plain HTTP, four rows at once.
run_research() {
  local scheme=$1 extra=("${@:2}") port start end
  build/tools/vexorin-services --port 0 "${extra[@]}" > "$D/services" &
  local pid=$!
  for _ in $(seq 50); do [ -s "$D/services" ] && break; sleep 0.1; done
  port=$(grep -o '[0-9]*$' "$D/services")
  start=$(date +%s%N)
  XDG_DATA_HOME="$D" VEXORIN_SUGGEST_HOST="$scheme://localhost:$port" \
    VEXORIN_SEARCH_HOST="$scheme://localhost:$port" \
    build/tools/vexorin-research --keyword cheap --site never-listed.invalid --depth 20 \
    --results 30 --parallel 4 --no-history > "$D/rows.$scheme"
  end=$(date +%s%N)
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo $(( (end - start) / 1000000 ))
}
# Each side five times, taking turns; the medians compared (a run is about
# 60 ms, so one run's start-up weighs much).
plains=() secures=()
for _ in 1 2 3 4 5; do
  plains+=("$(run_research http)")
  secures+=("$(run_research https --tls-cert "$D/leaf.pem" --tls-key "$D/leaf.key")")
done
median() { printf '%s\n' "$@" | sort -n | sed -n 3p; }
plain=$(median "${plains[@]}") secure=$(median "${secures[@]}")
cmp -s "$D/rows.http" "$D/rows.https" && same=identical || same=DIFFERENT
echo "research run, 30 rows at depth 20, 4 at once, median of 5: HTTPS ${secure} ms, HTTP ${plain} ms, ratio $(python3 -c "print(f'{$secure/$plain:.2f}')") (at most 1.5), rows $same"
