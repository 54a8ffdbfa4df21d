#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 300 -j2

# The whole suite again under AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer.
VEXORIN_BUILD_DIR=build-asan bash scripts/build.sh -DVEXORIN_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure --timeout 300 -j2
