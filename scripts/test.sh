#!/usr/bin/env bash
# Sets up a Debian machine for the tests, builds, and runs every test.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
build=build; flags=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan; flags=(-DTALLOWMERE_SANITIZE=ON -DTALLOWMERE_BENCH=OFF)
fi
scripts/install-deps.sh --tests
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}"
cmake --build "$build" -j"$(nproc)"
# Services the tests need (a private MariaDB server, unixODBC configuration)
# are started by scripts/test-services.sh when it exists and stopped on exit.
if [ -x scripts/test-services.sh ]; then
  eval "$(scripts/test-services.sh start "$PWD/$build/services")"
  trap 'scripts/test-services.sh stop "$PWD/'"$build"'/services"' EXIT
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
