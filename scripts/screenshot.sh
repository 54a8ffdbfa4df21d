#!/usr/bin/env bash
# Pictures of the windows after a demo run, under Xvfb: docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
OUT="${1:-docs/screenshots}"
PORT=47181
build/tools/vexorin-services --port "$PORT" --latency-ms 5 &
SERVICES=$!
trap 'kill $SERVICES 2>/dev/null || true' EXIT
export VEXORIN_SUGGEST_HOST="127.0.0.1:$PORT" VEXORIN_SEARCH_HOST="127.0.0.1:$PORT"
xvfb-run -a -s "-screen 0 1024x768x24" build/tools/vexorin-screenshot "$OUT"
# The main window once more at a device pixel ratio of 2 (off screen).
SCALED="$(mktemp -d)"
QT_SCALE_FACTOR=2 QT_QPA_PLATFORM=offscreen build/tools/vexorin-screenshot "$SCALED"
cp "$SCALED/main-window.png" "$OUT/main-window-scale-2.png"
rm -rf "$SCALED"
ls -l "$OUT"
