#!/usr/bin/env bash
# The suite under ThreadSanitizer (build-tsan), outside the test command's
# time budget: a data race fails the test it happens in. Qt's own
# lock-free code is taken as it is (scripts/tsan.supp).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
VEXORIN_BUILD_DIR=build-tsan bash scripts/build.sh -DVEXORIN_TSAN=ON
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp"
# The packaging and screen-reader tests start programs of their own and say
# nothing about our threads.
ctest --test-dir build-tsan --output-on-failure --timeout 600 -j2 \
  -E 'package_passes_lintian|screen_reader_sees_the_window|layering_' "$@"
