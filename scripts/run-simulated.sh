#!/usr/bin/env bash
# Sets up, builds and starts osdprog on a simulated node (no hardware needed).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v cmake >/dev/null || ! dpkg -s qt6-serialport-dev >/dev/null 2>&1; then
  ./scripts/setup.sh
fi
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" -j"$(nproc)" --target osdprog osdsim osdctl
exec "$BUILD/osdprog" --simulate "$@"
