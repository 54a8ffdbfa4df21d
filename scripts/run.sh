#!/usr/bin/env bash
# Installs what is missing, builds, starts the bundled stand-in services on
# loopback and then the application pointed at them. The services stop when
# the window closes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh

PORT="${VEXORIN_SERVICES_PORT:-47080}"
# A little latency makes the rows visibly fill one by one, as with real services.
build/tools/vexorin-services --port "$PORT" --latency-ms "${VEXORIN_SERVICES_LATENCY_MS:-40}" &
SERVICES=$!
XVFB=""
cleanup() {
  kill "$SERVICES" 2>/dev/null || true
  [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null || true
}
trap cleanup EXIT

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
cd build/src/app
./vexorin
