#!/usr/bin/env bash
# Installs what is missing, builds a Release tree without tests into
# build-release/ (or $VEXORIN_BUILD_DIR), makes the Debian package and checks
# it with lintian. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
BUILD_DIR="${VEXORIN_BUILD_DIR:-build-release}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXORIN_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" --parallel
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
DEB=$(ls "$BUILD_DIR"/vexorin_*.deb)
# Anything above info level fails the build of the package.
lintian --allow-root --fail-on error,warning "$DEB"
echo "$DEB"
