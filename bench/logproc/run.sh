#!/usr/bin/env bash
# Log processing benchmark. On one generated SMTP-service log (LINES records,
# default 2,000,000) it times (a) a read + memchr line counter, (b) mawk
# running the same aggregation (bench/logproc/aggregate.awk), (c) one
# ProcessDelimitedLogFile call through build/lib/libstatslog.so; checks that
# (b) and (c) agree; then times storing the results of 50,000 / 100,000 /
# 200,000 groups. Prints tables. Each timed run is the best of RUNS (default 2).
#   bench/logproc/run.sh            (BUILD_DIR, LINES, USERS, RUNS may be set)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
lines=${LINES:-2000000}
users=${USERS:-4000}
runs=${RUNS:-2}
cmake --build "$build" -j2 --target statslog bench_gen_smtp_log bench_line_count bench_process_log \
  bench_store_results >/dev/null
data="$build/bench-data/logproc"
mkdir -p "$data/logs"
log="$data/logs/ex131127.log"
stamp="$lines $users"
if [ ! -f "$log" ] || [ "$(cat "$data/stamp" 2>/dev/null)" != "$stamp" ]; then
  "$build/bin/bench_gen_smtp_log" "$log" "$lines" "$users"
  echo "$stamp" > "$data/stamp"
fi

now() { date +%s.%N; }
best=""
timed() {  # timed CMD...: best wall time of $runs runs into $best
  best=""
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(now); "$@"; t1=$(now)
    best=$(awk -v a="$t0" -v b="$t1" -v best="$best" 'BEGIN { t = b - a; if (best == "" || t < best) best = t; print best }')
  done
}

cat "$log" > /dev/null  # warm the page cache for every contender alike
timed "$build/bin/bench_line_count" "$log" > /dev/null
t_count=$best
timed sh -c "mawk -f bench/logproc/aggregate.awk '$log' > '$data/awk.out'"
t_awk=$best
rm -rf "$data/mailroot" && mkdir -p "$data/mailroot"
t_lib=""
for _ in $(seq "$runs"); do
  t=$("$build/bin/bench_process_log" "$build/lib/libstatslog.so" bench/logproc/definition.xml "$PWD/$data/logs" \
      "$PWD/$data/report.tsv" "$PWD/$data/mailroot")
  t_lib=$(awk -v a="$t" -v best="$t_lib" 'BEGIN { if (best == "" || a < best) best = a; print best }')
done

if tail -n +2 "$data/report.tsv" | cmp -s - "$data/awk.out"; then same="yes"; else same="NO"; fi
groups=$(wc -l < "$data/awk.out")
size=$(stat -c %s "$log")

echo "Log processing: $lines records, $groups groups, $((size / 1048576)) MiB, best of $runs runs"
awk -v n="$lines" -v a="$t_count" -v b="$t_awk" -v c="$t_lib" -v same="$same" 'BEGIN {
  printf "| %-34s | %9s | %14s |\n", "contender", "seconds", "records/s"
  printf "|%s|%s|%s|\n", "------------------------------------", "-----------", "----------------"
  printf "| %-34s | %9.3f | %14.0f |\n", "(a) read + memchr line counter", a, n / a
  printf "| %-34s | %9.3f | %14.0f |\n", "(b) mawk, same aggregation", b, n / b
  printf "| %-34s | %9.3f | %14.0f |\n", "(c) ProcessDelimitedLogFile", c, n / c
  printf "(c) is %.1f x faster than (b) (target >= 5); (a) is %.1f x faster than (c) (target <= 5)\n", b / c, c / a
  printf "(b) and (c) give the same rows: %s\n", same
}'

echo
echo "Storing the results of many groups (group list, one INI file)"
rm -rf "$data/store" && mkdir -p "$data/store"
"$build/bin/bench_store_results" "$PWD/$data/store/mailroot" 50000 100000 200000 | awk '
  BEGIN { printf "| %8s | %9s | %16s |\n", "groups", "seconds", "microseconds/group"; print "|----------|-----------|--------------------|" }
  { printf "| %8d | %9.3f | %18.2f |\n", $1, $2, $2 * 1e6 / $1 }'
