#!/usr/bin/env bash
# Runs every benchmark (bench/*/run.sh) against the build in build/ (or
# BUILD_DIR) and prints their tables. Build first: cmake --build build -j2
set -euo pipefail
cd "$(dirname "$0")"
for script in */run.sh; do
  echo "== ${script%/run.sh}"
  "./$script"
  echo
done
