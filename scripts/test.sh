#!/usr/bin/env bash
# Sets up the machine, builds everything and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
bash scripts/build.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j "$(nproc)" --timeout 120

# The same suite once more under AddressSanitizer and UndefinedBehaviorSanitizer
# (skip with TERVA_NO_SANITIZERS=1 for a quicker local run).
if [ -z "${TERVA_NO_SANITIZERS:-}" ]; then
  BUILD_DIR=build-asan CMAKE_ARGS="-DTERVA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug" bash scripts/build.sh
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 300
fi
