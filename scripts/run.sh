#!/usr/bin/env bash
# Installs what is missing, builds what the window needs (the application,
# its help and the stand-in services), starts the services on loopback, waits
# until they answer, then starts the application pointed at them. The
# services stop when the window closes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
BUILD_DIR="${VEXORIN_BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
TARGETS=(vexorin vexorin-services help_html)
grep -q '^help_chm:' <(cmake --build "$BUILD_DIR" --target help 2>/dev/null) && TARGETS+=(help_chm)
cmake --build "$BUILD_DIR" --parallel --target "${TARGETS[@]}"

PORT="${VEXORIN_SERVICES_PORT:-47080}"
answers() { curl -s -o /dev/null --max-time 1 "http://127.0.0.1:$PORT/search?p=x"; }
if answers; then
  echo "Port $PORT is held by another program; stop it or set VEXORIN_SERVICES_PORT." >&2
  exit 1
fi
# A little latency makes the rows visibly fill one by one, as with real services.
"$BUILD_DIR/tools/vexorin-services" --port "$PORT" --latency-ms "${VEXORIN_SERVICES_LATENCY_MS:-40}" &
SERVICES=$!
XVFB=""
cleanup() {
  kill "$SERVICES" 2>/dev/null || true
  [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do
  answers && break
  kill -0 "$SERVICES" 2>/dev/null || break
  sleep 0.1
done
if ! answers; then
  echo "The stand-in services did not start on 127.0.0.1:$PORT." >&2
  exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No desktop here: give the window a virtual screen of its own.
  export DISPLAY=:${VEXORIN_XVFB_DISPLAY:-99}
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB=$!
  sleep 1
  echo "No display found: running on the virtual screen $DISPLAY"
  echo "(take a look with: DISPLAY=$DISPLAY import -window root shot.png)"
fi

export VEXORIN_SUGGEST_HOST="127.0.0.1:$PORT"
export VEXORIN_SEARCH_HOST="127.0.0.1:$PORT"
# help.chm is looked up in the working directory.
cd "$BUILD_DIR/src/app"
./vexorin
