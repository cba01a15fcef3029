#!/usr/bin/env bash
# Store benchmark: builds stores_bench and the two libraries, starts the
# private MariaDB server of scripts/test-services.sh (unless its environment
# is already set), and prints the table of stores_bench.
#   bench/run_stores_bench.sh [operations]      (default 2000 per measurement)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${TALLOWMERE_BENCH_BUILD:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target stores_bench listprov smtpprov >/dev/null
if [ -z "${TALLOWMERE_TEST_MARIADB_DSN:-}" ]; then
  services="$PWD/$build/bench-services"
  eval "$(scripts/test-services.sh start "$services")"
  trap 'scripts/test-services.sh stop "'"$services"'"' EXIT
fi
export TALLOWMERE_BENCH_SCHEMA="$PWD/schema/mariadb.sql"
"$build/bin/stores_bench" \
  "DSN=$TALLOWMERE_TEST_MARIADB_DSN;UID=$TALLOWMERE_TEST_MARIADB_USER;PWD=$TALLOWMERE_TEST_MARIADB_PASSWORD" \
  "${1:-2000}"
