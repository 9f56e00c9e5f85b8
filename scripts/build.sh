#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as BUILD_DIR); only
# the targets in TARGETS when it is set.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
generator=()
# A folder configured before keeps its generator.
[ -f "$BUILD_DIR/CMakeCache.txt" ] || generator=(-G Ninja)
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" "${generator[@]}" ${CMAKE_ARGS:-} >/dev/null
targets=()
for t in ${TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$BUILD_DIR" -j "${JOBS:-$(nproc)}" "${targets[@]}"
