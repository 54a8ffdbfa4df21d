#!/usr/bin/env bash
# Repaints the pictures and the link cursor into assets/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh --target make-assets
QT_QPA_PLATFORM=offscreen build/tools/make-assets assets
