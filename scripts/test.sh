#!/usr/bin/env bash
# Sets up a Debian machine for the tests, builds, and runs every test.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-asan/
#   scripts/test.sh --thread     ThreadSanitizer build in build-tsan/: only the
#                                concurrency tests (label "concurrency") and
#                                the libraries they load are built and run
set -euo pipefail
cd "$(dirname "$0")/.."
build=build; flags=(); targets=(); selection=()
if [ "${1:-}" = "--thread" ]; then
  build=build-tsan; flags=(-DTALLOWMERE_TSAN=ON -DTALLOWMERE_BENCH=OFF)
  targets=(--target concurrency_tests); selection=(-L concurrency)
  # The first race report ends the test with that report. Reports from
  # inside the third-party ODBC libraries are suppressed (scripts/tsan.supp);
  # ours are not.
  export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp:halt_on_error=1:second_deadlock_stack=1${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
elif [ "${1:-}" = "--sanitize" ]; then
  build=build-asan; flags=(-DTALLOWMERE_SANITIZE=ON -DTALLOWMERE_BENCH=OFF)
  # Leaks inside the third-party ODBC libraries are not ours to fix; every
  # other leak, and any undefined behaviour, fails the test.
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
  # This compiler's sanitizer runtime misreads the dynamic thread-local blocks
  # of libraries loaded with dlopen under this C library, and its leak check
  # at exit then crashes ("Tracer caught signal 11"). Not tracking them only
  # means such blocks are not searched for pointers.
  export ASAN_OPTIONS="intercept_tls_get_addr=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
fi
scripts/install-deps.sh --tests
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}"
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
# Services the tests need (private MariaDB servers, unixODBC configuration)
# are started by scripts/test-services.sh and stopped on exit. With them
# started, a database test that finds no services fails instead of skipping.
trap 'bash scripts/test-services.sh stop "$PWD/'"$build"'/services"' EXIT
services_env="$(bash scripts/test-services.sh start "$PWD/$build/services")"  # set -e sees a failure here
eval "$services_env"
export TALLOWMERE_TEST_REQUIRE_SERVICES=1
# Every test without a time limit of its own gets one, so a hang fails the
# run instead of stalling it.
if ! ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 900 "${selection[@]}"; then
  # Run the failed tests again one at a time, so that their output ends the
  # log (where a CI summary shows it) and a failure that depends on what ran
  # beside it shows as such. The run stays failed either way.
  echo "== The failed tests again, one at a time:"
  if ctest --test-dir "$build" --rerun-failed --output-on-failure --timeout 900 "${selection[@]}"; then
    echo "== They passed when run alone: they fail only beside other tests."
  fi
  exit 1
fi
