#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it. With no reader
# plugged in (no /dev/ttyACM* or /dev/ttyUSB*), a simulated reader is started
# and the program is pointed at it; type commands for the simulated reader
# (e.g. "card uid 1A2B3C", "help") into this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
bash scripts/build.sh
BIN=${BUILD_DIR:-build}/bin

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No graphical session found (DISPLAY is not set): starting a virtual one with Xvfb." >&2
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

shopt -s nullglob
readers=(/dev/ttyACM* /dev/ttyUSB*)
if [ ${#readers[@]} -gt 0 ]; then
  exec "$BIN/terva-rfid" "$@"
fi

echo "No reader plugged in: starting the simulated reader (type 'help' for its commands)." >&2
coproc SIM { exec "$BIN/terva-reader-sim"; }
read -r PORT <&"${SIM[0]}"
trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
# Show the simulator's traffic and forward what is typed here to it.
cat <&"${SIM[0]}" &
cat >&"${SIM[1]}" &
"$BIN/terva-rfid" --port "$PORT" "$@"
