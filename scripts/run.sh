#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it. With no reader
# plugged in (no /dev/ttyACM* or /dev/ttyUSB*), a simulated reader is started
# and the program is pointed at it and connects; type commands for the simulated reader
# (e.g. "card uid 1A2B3C", "help") into this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
# Set up and build only what is started here: the program and the simulated
# reader (the tests are built by scripts/test.sh). Done once, also when the
# script goes on under a virtual X server.
if [ -z "${TERVA_RUN_READY:-}" ]; then
  bash scripts/bootstrap.sh
  TARGETS="terva-rfid terva-reader-sim" bash scripts/build.sh
fi
BIN=${BUILD_DIR:-build}/bin

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical session found (DISPLAY is not set): starting a virtual one with Xvfb." >&2
  TERVA_RUN_READY=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

shopt -s nullglob
readers=(/dev/ttyACM* /dev/ttyUSB*)
if [ ${#readers[@]} -gt 0 ]; then
  exec "$BIN/terva-rfid" "$@"
fi

echo "No reader plugged in: starting the simulated reader (type 'help' for its commands)." >&2
work=$(mktemp -d)
mkfifo "$work/in"
"$BIN/terva-reader-sim" <"$work/in" >"$work/out" 2>&1 &
sim=$!
exec 3>"$work/in"  # keeps the simulated reader's input open
exec 4<&0
pids=("$sim")
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/out" ] && break; sleep 0.1; done
PORT=$(head -n 1 "$work/out")
# Show the simulated reader's traffic and forward what is typed here to it.
tail -n +2 -f "$work/out" &
pids+=("$!")
cat <&4 >&3 &
pids+=("$!")
"$BIN/terva-rfid" --port "$PORT" --connect "$@"
