#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
if [ ! -x build/src/app/vexorin ]; then
  echo "Built the core and the headless tool (build/tools/vexorin-research);"
  echo "the desktop application is not part of this build yet."
  exit 0
fi
