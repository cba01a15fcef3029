#!/usr/bin/env bash
# INI layer benchmark: writes into a 1,000-key file, reads from a 10,000-key
# file (cold and cached), key lists, section reads, 100,000-key batch writes.
# Prints one table (wall and CPU time: on a shared machine the first includes
# waiting for a core). Files go to a fresh directory under TMPDIR (default
# /tmp); its file system matters for writes (a rename over a file on ext4
# flushes the new data).
#   bench/platform/run.sh            (BUILD_DIR may be set; default build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
cmake --build "$build" -j2 --target ini_bench >/dev/null
"$build/bin/ini_bench"
