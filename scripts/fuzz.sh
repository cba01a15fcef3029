#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz/ and
# runs each for a bounded time, starting from its seed corpus in
# fuzz/corpus/<target>. New interesting inputs go to build-fuzz/corpus-new/
# (copy the useful ones into fuzz/corpus by hand); a crash is saved as
# fuzz/regressions/<target>/crash-<sha1> and makes the script fail, so that it
# can be committed and replayed by the normal tests.
#   scripts/fuzz.sh                 every target, 30 s each
#   scripts/fuzz.sh -t 600 sql_text one target, 10 minutes
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=30
while getopts "t:" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    *) echo "usage: $0 [-t seconds] [target...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(ini_file registry_file address sql_text report_definition log_file)
fi

scripts/install-deps.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALLOWMERE_FUZZ=ON -DTALLOWMERE_TESTS=OFF -DTALLOWMERE_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/%/_fuzzer}"

status=0
printf '%-16s %8s %10s %8s  %s\n' target seconds runs corpus result
for target in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus-new/$target" "fuzz/regressions/$target"
  log="build-fuzz/$target.log"
  result=ok
  if ! "build-fuzz/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="fuzz/regressions/$target/" \
      "build-fuzz/corpus-new/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    result="FAILED (see $log; input saved under fuzz/regressions/$target/)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  corpus=$(find "build-fuzz/corpus-new/$target" "fuzz/corpus/$target" -type f | wc -l)
  printf '%-16s %8s %10s %8s  %s\n' "$target" "$seconds" "${runs:-?}" "$corpus" "$result"
done
exit $status
