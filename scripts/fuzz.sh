#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while
# (FUZZ_SECONDS, default 600), one after another, growing fuzz/corpus/<target>.
# The first sanitizer report of any kind stops a target (UBSan included).
# Crash reproducers land in fuzz/crashes/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p"
done
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXORIN_FUZZ=ON -DVEXORIN_GUI=OFF -DVEXORIN_TESTS=OFF >/dev/null
cmake --build build-fuzz --parallel
SECONDS_EACH="${FUZZ_SECONDS:-600}"
TARGETS=(${@:-http_exchange ini_file settings_file scrapers numbers services_request url_split sort_compare})
mkdir -p build-fuzz/logs
run() {
  local t=$1
  mkdir -p "fuzz/corpus/$t" "fuzz/crashes/$t"
  /usr/bin/time -v build-fuzz/fuzz/${t}_fuzz -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 \
    -max_len=65536 -timeout=10 -artifact_prefix="fuzz/crashes/$t/" -print_final_stats=1 \
    "fuzz/corpus/$t" > "build-fuzz/logs/$t.log" 2>&1 || echo "$t: finding, see build-fuzz/logs/$t.log"
}
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for t in "${TARGETS[@]}"; do
  run "$t"
done
for t in "${TARGETS[@]}"; do
  echo "== $t"; grep -E "stat::number_of_executed_units|stat::peak_rss_mb|Maximum resident|ERROR|SUMMARY" "build-fuzz/logs/$t.log" || true
done
