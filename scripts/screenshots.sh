#!/usr/bin/env bash
# Pictures of the main window for docs/screenshots: osdprog on a virtual X display (Xvfb, a
# window manager) beside a simulated node, grabbed with ImageMagick's import.
#
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]     (defaults: build, docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
OUT=${2:-docs/screenshots}
WORK=$(mktemp -d)
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
mkdir -p "$OUT"
DISPLAY_NUMBER=${SCREENSHOT_DISPLAY:-:97}
Xvfb "$DISPLAY_NUMBER" -screen 0 1024x768x24 >/dev/null 2>&1 & PIDS+=($!)
export DISPLAY=$DISPLAY_NUMBER
sleep 1
openbox >/dev/null 2>&1 & PIDS+=($!)
"$BUILD/osdsim" --baud 0 >"$WORK/sim.txt" & PIDS+=($!)
for _ in $(seq 50); do [ -s "$WORK/sim.txt" ] && break; sleep 0.1; done
PTY=$(head -1 "$WORK/sim.txt")
"$BUILD/osdprog" --settings "$WORK/settings.ini" --data-dir "$WORK" --port-map "1=$PTY" & PIDS+=($!)
sleep 6  # start-up, the splash window, the node's answer
WINDOW=$(xdotool search --onlyvisible --name "Grapics Node|NodeDetected" | head -1)
import -window "${WINDOW:-root}" "$OUT/main-window.png"
echo "wrote $OUT/main-window.png"
