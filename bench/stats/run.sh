#!/usr/bin/env bash
# Statistics store benchmark: the month summary over 31 day files of 5,000 /
# 10,000 / 20,000 keys (KEYS may list others), the date purge over
# 10 postoffices x 3 servers x 400 day files, and Set/Get calls per second on
# a warm tree, all through build/lib/libstatslog.so. Prints one table.
#   bench/stats/run.sh            (BUILD_DIR and KEYS may be set)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
cmake --build "$build" -j2 --target statslog bench_stats >/dev/null
work="$build/bench-data/stats"
"$build/bin/bench_stats" "$build/lib/libstatslog.so" "$work" ${KEYS:-5000 10000 20000}
