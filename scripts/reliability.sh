#!/usr/bin/env bash
# Reliability checks after ./scripts/test.sh (docs/reliability.md):
#   1. the project's own code built with AddressSanitizer and UndefinedBehaviorSanitizer, the
#      Qt port layer and the window included (Qt itself uninstrumented), running the unit tests
#      and the end-to-end tests with the real programs;
#   2. the tests that start the simulated node's thread inside the test process, built with
#      ThreadSanitizer;
#   3. every libFuzzer target for a bounded time, starting from its seeds in fuzz/corpus.
#
#   scripts/reliability.sh [--sanitize-only | --tsan-only | --fuzz-only] [--fuzz-seconds N]
#                          [--build-only] [TARGET...]
#
# --build-only builds what the chosen checks need and runs nothing (CI builds at low priority
# while the slow tests wait for the line, then runs the checks on the finished builds).
#
# Environment: SAN_BUILD_DIR (default build-asan), TSAN_BUILD_DIR (default build-tsan),
# FUZZ_BUILD_DIR (default build-fuzz), FUZZ_SECONDS (default 25 per target), FUZZ_JOBS
# (targets at a time, default 2), FUZZ_WORK (where new corpus entries and crash inputs go,
# default $FUZZ_BUILD_DIR/fuzz-work), JOBS (build and test jobs, default nproc). Each build
# folder is reused between runs and only the targets needed are built; ccache is used when it
# is installed. Exit status 0 when everything passed; 1 otherwise (crash inputs are kept in
# FUZZ_WORK).
set -euo pipefail
cd "$(dirname "$0")/.."

SAN_BUILD=${SAN_BUILD_DIR:-build-asan}
TSAN_BUILD=${TSAN_BUILD_DIR:-build-tsan}
FUZZ_BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-25}
FUZZ_JOBS=${FUZZ_JOBS:-2}
JOBS=${JOBS:-$(nproc)}
ALL_TARGETS="fuzz_bmp fuzz_reception fuzz_readback fuzz_video_data fuzz_schedule fuzz_settings fuzz_osdctl fuzz_site fuzz_convert"
# The tests that run the simulated node's thread (in osdsim, sanitized as well) or a thread of
# their own beside the program's event loop.
TSAN_FILTER=${TSAN_FILTER:-'NodeFaultsE2E.*:OsdsimProgram.*:QtPortTest.*'}

do_sanitize=1
do_tsan=1
do_fuzz=1
build_only=0
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize-only) do_tsan=0; do_fuzz=0 ;;
    --tsan-only) do_sanitize=0; do_fuzz=0 ;;
    --fuzz-only) do_sanitize=0; do_tsan=0 ;;
    --build-only) build_only=1 ;;
    --fuzz-seconds) FUZZ_SECONDS=$2; shift ;;
    --fuzz-seconds=*) FUZZ_SECONDS=${1#*=} ;;
    fuzz_*) targets+=("$1") ;;
    *) echo "reliability.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift
done
[ ${#targets[@]} -gt 0 ] || read -r -a targets <<<"$ALL_TARGETS"
FUZZ_WORK=${FUZZ_WORK:-$FUZZ_BUILD/fuzz-work}

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1 keeps the sanitized programs fast enough for the end-to-end tests' time limits.
san_flags=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" "${launcher[@]}")

failed=0

if [ "$do_sanitize" = 1 ]; then
  echo "== Unit and end-to-end tests under AddressSanitizer + UndefinedBehaviorSanitizer ($SAN_BUILD)"
  start=$(date +%s)
  cmake -S . -B "$SAN_BUILD" -G Ninja "${san_flags[@]}" -DOSD_SANITIZE=ON -DOSD_BUILD_GUI=ON \
    >/dev/null
  cmake --build "$SAN_BUILD" -j"$JOBS" --target osd_tests osd_e2e_tests
  echo "== sanitizer build: $(($(date +%s) - start)) s"
fi
if [ "$do_sanitize" = 1 ] && [ "$build_only" = 0 ]; then
  # Qt is not instrumented: what it allocates for its own lifetime is left to it.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan-qt.supp:print_suppressions=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  if ! (cd "$SAN_BUILD" && QT_QPA_PLATFORM=offscreen ctest -LE slow --output-on-failure -j"$JOBS"); then
    failed=1
  fi
  echo "== sanitizer suite: $(($(date +%s) - start)) s"
fi

if [ "$do_tsan" = 1 ]; then
  echo "== Simulated node thread under ThreadSanitizer ($TSAN_BUILD)"
  start=$(date +%s)
  cmake -S . -B "$TSAN_BUILD" -G Ninja "${san_flags[@]}" -DOSD_BUILD_GUI=ON \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
  cmake --build "$TSAN_BUILD" -j"$JOBS" --target osd_e2e_tests
fi
if [ "$do_tsan" = 1 ] && [ "$build_only" = 0 ]; then
  if ! OSD_BIN_DIR=$PWD/$TSAN_BUILD QT_QPA_PLATFORM=offscreen \
    TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
    "$TSAN_BUILD/tests/osd_e2e_tests" --gtest_filter="$TSAN_FILTER"; then
    failed=1
  fi
  echo "== thread sanitizer: $(($(date +%s) - start)) s"
fi

if [ "$do_fuzz" = 1 ]; then
  echo "== Fuzz targets, ${FUZZ_SECONDS} s each, ${FUZZ_JOBS} at a time ($FUZZ_BUILD)"
  CC=${FUZZ_CC:-clang} CXX=${FUZZ_CXX:-clang++} cmake -S . -B "$FUZZ_BUILD" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSD_FUZZ=ON -DOSD_BUILD_GUI=OFF \
    -DOSD_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
  cmake --build "$FUZZ_BUILD" -j"$JOBS" --target "${targets[@]}"
fi
if [ "$do_fuzz" = 1 ] && [ "$build_only" = 0 ]; then
  mkdir -p "$FUZZ_WORK"

  run_target() {
    local t=$1
    local work="$FUZZ_WORK/$t"
    mkdir -p "$work/corpus" "$work/crashes"
    local extra=()
    # osdctl prints values and reasons; libFuzzer keeps its own report channel.
    [ "$t" = fuzz_osdctl ] && extra+=(-close_fd_mask=3)
    nice -n 19 "$FUZZ_BUILD/fuzz/$t" -max_total_time="$FUZZ_SECONDS" -timeout=20 \
      -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1 \
      -artifact_prefix="$work/crashes/" "${extra[@]}" \
      "$work/corpus" "fuzz/corpus/$t" >"$work/log" 2>&1
  }

  pids=()
  names=()
  for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$FUZZ_JOBS" ]; do sleep 1; done
    run_target "$t" &
    pids+=($!)
    names+=("$t")
  done
  for i in "${!pids[@]}"; do
    t=${names[$i]}
    if wait "${pids[$i]}"; then status=ok; else status=FAILED; failed=1; fi
    runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$FUZZ_WORK/$t/log" |
      grep -Eo '[0-9]+$' || echo 0)
    secs=$(grep -Eo 'Done [0-9]+ runs in [0-9]+ second' "$FUZZ_WORK/$t/log" |
      grep -Eo '[0-9]+ second' | grep -Eo '[0-9]+' || echo "$FUZZ_SECONDS")
    cov=$(grep -Eo 'cov: [0-9]+' "$FUZZ_WORK/$t/log" | tail -1 | grep -Eo '[0-9]+' || echo 0)
    crashes=$(find "$FUZZ_WORK/$t/crashes" -type f | wc -l)
    printf '%-16s %-6s %10s runs %5s s  cov %5s  crash inputs %s\n' \
      "$t" "$status" "${runs:-0}" "${secs:-0}" "${cov:-0}" "$crashes"
    if [ "$status" = FAILED ]; then
      grep -E 'ERROR|invariant broken|SUMMARY|Test unit written' "$FUZZ_WORK/$t/log" | head -20
    fi
  done
fi

exit "$failed"
