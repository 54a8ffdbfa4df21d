#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its ratio against curl.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build/bench/fetch_bench build/tools/vexorin-fetch "${FETCHES:-500}"
build/bench/research_bench build/tools/vexorin-services "${ROUNDS:-5}"
build/bench/parallel_bench build/tools/vexorin-services
build/bench/import_bench build/tools/vexorin-research build/tools/vexorin-services
build/bench/import_bench build/tools/vexorin-research build/tools/vexorin-services 20000 3
python3 bench/oversized_bench.py build/tools/vexorin-research
build/bench/sources_bench assets/services/serpapi.json
bash bench/tls_bench.sh
build/bench/reader_bench
build/bench/clusters_bench
build/bench/history_bench build/tools/vexorin-research
build/bench/window_bench
build/bench/sort_bench
build/bench/chart_bench
build/bench/tracking_bench build/tools/vexorin-research build/tools/vexorin-services
tests/support/with_postgres.sh build/bench/shared_history_bench
