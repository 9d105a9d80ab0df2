#!/usr/bin/env bash
# Reliability checks after ./scripts/test.sh (docs/reliability.md):
#   1. the core test suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
#   2. every libFuzzer target for a bounded time, starting from its seeds in fuzz/corpus.
#
#   scripts/reliability.sh [--sanitize-only | --fuzz-only] [--fuzz-seconds N] [TARGET...]
#
# Environment: SAN_BUILD_DIR (default build-asan), FUZZ_BUILD_DIR (default build-fuzz),
# FUZZ_SECONDS (default 25 per target), FUZZ_JOBS (targets at a time, default 2),
# FUZZ_WORK (where new corpus entries and crash inputs go, default $FUZZ_BUILD_DIR/fuzz-work).
# Exit status 0 when everything passed; 1 otherwise (crash inputs are kept in FUZZ_WORK).
set -euo pipefail
cd "$(dirname "$0")/.."

SAN_BUILD=${SAN_BUILD_DIR:-build-asan}
FUZZ_BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-25}
FUZZ_JOBS=${FUZZ_JOBS:-2}
ALL_TARGETS="fuzz_bmp fuzz_reception fuzz_readback fuzz_video_data fuzz_schedule fuzz_settings fuzz_osdctl"

do_sanitize=1
do_fuzz=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize-only) do_fuzz=0 ;;
    --fuzz-only) do_sanitize=0 ;;
    --fuzz-seconds) FUZZ_SECONDS=$2; shift ;;
    --fuzz-seconds=*) FUZZ_SECONDS=${1#*=} ;;
    fuzz_*) targets+=("$1") ;;
    *) echo "reliability.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift
done
[ ${#targets[@]} -gt 0 ] || read -r -a targets <<<"$ALL_TARGETS"
FUZZ_WORK=${FUZZ_WORK:-$FUZZ_BUILD/fuzz-work}

failed=0

if [ "$do_sanitize" = 1 ]; then
  echo "== Core tests under AddressSanitizer + UndefinedBehaviorSanitizer ($SAN_BUILD)"
  start=$(date +%s)
  cmake -S . -B "$SAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSD_SANITIZE=ON \
    -DOSD_BUILD_GUI=OFF >/dev/null
  cmake --build "$SAN_BUILD" -j"$(nproc)" --target osd_tests
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  if ! (cd "$SAN_BUILD" && ctest --output-on-failure -j"$(nproc)"); then
    failed=1
  fi
  echo "== sanitizer suite: $(($(date +%s) - start)) s"
fi

if [ "$do_fuzz" = 1 ]; then
  echo "== Fuzz targets, ${FUZZ_SECONDS} s each, ${FUZZ_JOBS} at a time ($FUZZ_BUILD)"
  CC=${FUZZ_CC:-clang} CXX=${FUZZ_CXX:-clang++} cmake -S . -B "$FUZZ_BUILD" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSD_FUZZ=ON -DOSD_BUILD_GUI=OFF \
    -DOSD_BUILD_TESTS=OFF >/dev/null
  cmake --build "$FUZZ_BUILD" -j"$(nproc)" --target "${targets[@]}"
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
