#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, into build-fuzz/ or FUZZ_BUILD_DIR) and
# runs one of them, or all one after another, for SECONDS each:
#   bash scripts/fuzz.sh TARGET SECONDS     (TARGET: receive, hextext, render, settings, rcf, record, znm)
#   bash scripts/fuzz.sh all SECONDS
# Each run works on a copy of tests/fuzz/corpus/TARGET, so the committed corpus
# does not grow; FUZZ_KEEP=DIR keeps the grown copies in DIR/TARGET instead.
# A failing input is printed as hex and kept as FUZZ_ARTIFACTS/crash-* (default
# build-fuzz/artifacts); replay it with build-fuzz/bin/fuzz_TARGET FILE.
# Extra libFuzzer options can be given in FUZZ_ARGS (e.g. "-jobs=1 -workers=1").
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(receive hextext render settings rcf record znm)
if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 TARGET|all SECONDS   (targets: ${targets[*]})" >&2
  exit 2
fi
if [ "$1" = all ]; then
  run=("${targets[@]}")
elif [[ " ${targets[*]} " == *" $1 "* ]]; then
  run=("$1")
else
  echo "fuzz: unknown target $1 (targets: ${targets[*]})" >&2
  exit 2
fi
seconds=$2

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ not found (apt-get install clang); nothing run" >&2
  exit 3
fi

BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTERVA_FUZZ=ON -DTERVA_TESTS=OFF \
    ${CMAKE_ARGS:-} >/dev/null
fi
cmake --build "$BUILD_DIR" --target "${run[@]/#/fuzz_}" -j "${JOBS:-$(nproc)}"

artifacts=${FUZZ_ARTIFACTS:-$BUILD_DIR/artifacts}
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=()
for t in "${run[@]}"; do
  corpus="$work/$t"
  [ -n "${FUZZ_KEEP:-}" ] && corpus="$FUZZ_KEEP/$t" && mkdir -p "$FUZZ_KEEP"
  rm -rf "$corpus"
  cp -r "tests/fuzz/corpus/$t" "$corpus"
  echo "== fuzz_$t for ${seconds}s"
  log="$work/$t.log"
  status=0
  "$BUILD_DIR/bin/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$artifacts/$t-" ${FUZZ_ARGS:-} "$corpus" >"$log" 2>&1 || status=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec)' "$log" || true
  if [ "$status" -ne 0 ]; then
    failed+=("$t")
    tail -n 60 "$log"
    for f in "$artifacts/$t-"*; do
      [ -f "$f" ] || continue
      echo "fuzz_$t failing input $f ($(wc -c <"$f") bytes), as hex:"
      od -An -tx1 -v "$f" | tr -s ' \n' ' '
      echo
    done
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
