#!/usr/bin/env bash
# Builds everything and runs the fast tests. The line-speed and give-up-timer tests carry the
# ctest label "slow": run them with  ctest --test-dir build -L slow
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v cmake >/dev/null || ! dpkg -s qt6-serialport-dev libgtest-dev >/dev/null 2>&1; then
  ./scripts/setup.sh
fi
BUILD=${BUILD_DIR:-build}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
cmake --build "$BUILD" -j"$(nproc)"
cd "$BUILD"
QT_QPA_PLATFORM=offscreen ctest -LE slow --output-on-failure -j"$(nproc)"
