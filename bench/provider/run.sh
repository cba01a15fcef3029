#!/usr/bin/env bash
# Provider core benchmark: single-row reads/s and inserts/s through the
# frame (shared and per-call connection mode, unixODBC pooling on) beside
# plain ODBC loops, against a private MariaDB server and SQLite.
#   bench/provider/run.sh           (BUILD_DIR, default build; OPS, default 3000)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build}"; ops="${OPS:-3000}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
cmake --build "$build" -j2 --target provider_bench >/dev/null
bench="$build/bin/provider_bench"
services="$(mktemp -d /tmp/tallowmere-bench.XXXXXX)"
trap '"$root/scripts/test-services.sh" stop "$services"; rm -rf "$services"' EXIT
eval "$("$root/scripts/test-services.sh" start "$services")"
results="$services/results.tsv"
"$bench" --provider MySQL --ops "$ops" \
  --connection "DSN=$TALLOWMERE_TEST_MARIADB_DSN;UID=$TALLOWMERE_TEST_MARIADB_USER;PWD=$TALLOWMERE_TEST_MARIADB_PASSWORD" >>"$results"
"$bench" --provider SQLite --ops "$ops" --connection "DSN=$TALLOWMERE_TEST_SQLITE_DSN" >>"$results"
echo "Provider core: best of 5 interleaved rounds, $ops operations per row in all (MariaDB over a Unix socket; SQLite file in WAL mode)"
awk -F'\t' '
  { key = $1 SUBSEP $2; rate[key, $3] = $4; order[++n] = $0 }
  END {
    printf "%-7s %-7s %-34s %10s  %s\n", "engine", "work", "pattern", "ops/s", "vs. same-pattern plain loop"
    for (i = 1; i <= n; i++) {
      split(order[i], f, "\t"); key = f[1] SUBSEP f[2]; note = ""
      if (f[3] == "frame shared") {
        base = rate[key, "plain persistent"]
        note = sprintf("%+.1f%% vs persistent", (f[4] / base - 1) * 100)
      } else if (f[3] == "frame per call (pooled)") {
        base = rate[key, "plain connect per op (pooled)"]
        note = sprintf("%+.1f%% vs pooled connect loop; %.2f of persistent", (f[4] / base - 1) * 100, f[4] / rate[key, "plain persistent"])
      }
      printf "%-7s %-7s %-34s %10d  %s\n", f[1], f[2], f[3], f[4], note
    }
  }' "$results"
