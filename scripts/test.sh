#!/usr/bin/env bash
# Sets up the machine, builds everything and runs all tests: plainly, then
# under AddressSanitizer + UndefinedBehaviorSanitizer, then the tests that run
# threads under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
# CI treats every warning as an error.
werror=""
[ -n "${CI:-}" ] && werror="-DTERVA_WERROR=ON"
CMAKE_ARGS="${CMAKE_ARGS:-} $werror" bash scripts/build.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j "$(nproc)" --timeout 120

# Skip the sanitizer passes with TERVA_NO_SANITIZERS=1 for a quicker local run.
if [ -z "${TERVA_NO_SANITIZERS:-}" ]; then
  BUILD_DIR=build-asan CMAKE_ARGS="-DTERVA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $werror" bash scripts/build.sh
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 300

  # The keystroke worker, the simulated reader's runner and the session with it.
  tsan_targets=(terva_tools_tests terva_session_tests terva_serial_tests terva_ident_x11_tests terva-reader-sim)
  BUILD_DIR=build-tsan CMAKE_ARGS="-DTERVA_TSAN=ON -DCMAKE_BUILD_TYPE=Debug $werror" \
    TARGETS="${tsan_targets[*]}" bash scripts/build.sh
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
    ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" --timeout 300 -R '^(tools|session|serial|x11)\.'
fi
