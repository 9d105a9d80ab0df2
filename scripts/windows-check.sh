#!/usr/bin/env bash
# osdctl on Windows, proven under Wine: cross-builds osdctl.exe and the unit tests with
# MinGW-w64 into build-win/, runs the unit tests under Wine, then drives osdctl.exe through a
# Wine COM port (a link in the Wine prefix to osdsim's pseudo-terminal) and checks that
#   - identify and download put the same bytes on the line as the Linux osdctl, on the same
#     logo and the same data files;
#   - a port that disappears in the middle of a download (osdsim killed) ends with exit 3 and
#     the same one-line message as on Linux;
#   - the first start takes the settings kept in the registry (64-bit view, then the 32-bit
#     view) into the new settings file, says so once, and never again;
#   - osdctl.exe ports lists the Wine COM ports (one only mapped in dosdevices), and convert
#     says it is not in this build;
#   - a site file saved by Notepad (byte order mark, CRLF, comments) gives the same dry-run
#     plan as on Linux;
# and makes the zip of osdctl.exe with its manual page. The Linux programs come from
# BUILD_DIR (default build, as scripts/test.sh leaves it). The Wine prefix lives in a
# temporary folder and is removed at the end. With --build-only it installs the tools, makes the
# cross build and stops.
set -euo pipefail
build_only=0
[ "${1:-}" = --build-only ] && build_only=1
cd "$(dirname "$0")/.."
ROOT=$PWD
LINUX_BUILD=$ROOT/${BUILD_DIR:-build}
WIN_BUILD=$ROOT/build-win
start=$(date +%s)
step() { echo "== $1 ($(($(date +%s) - start)) s)"; }

# ---- The tools (Debian packages; nothing is done when they are there) ----
missing=()
for p in g++-mingw-w64-x86-64-posix wine wine64 libgtest-dev; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
for program in osdctl osdsim; do
  [ -x "$LINUX_BUILD/$program" ] || { echo "no $LINUX_BUILD/$program: build Linux first" >&2; exit 1; }
done

# ---- The cross build ----
step "cross-building osdctl.exe and the unit tests in build-win"
flags=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
  -DOSD_BUILD_GUI=OFF -DOSD_CTL_NO_QT=ON -DOSD_GTEST_SOURCE=/usr/src/googletest)
if command -v ccache >/dev/null; then flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$WIN_BUILD" -G Ninja "${flags[@]}" >/dev/null
nice cmake --build "$WIN_BUILD" -j"$(nproc)"
[ "$build_only" = 1 ] && exit 0
OSDCTL_EXE=$WIN_BUILD/osdctl.exe

# ---- A Wine prefix of its own ----
WORK=$(mktemp -d)
SIMS=()
cleanup() {
  for pid in "${SIMS[@]}"; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX=$WORK/prefix wineserver -k 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export OSDPROG_INSTANCE=${OSDPROG_INSTANCE:-windows-check}
step "making the Wine prefix"
# One server for every run below, its chatter kept out of the logs. Wine's background programs
# hold on to the output they were started with: every run below writes to files, never pipes.
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1
wineboot -i >/dev/null 2>&1
winpath() { echo "Z:${1//\//\\}"; }
unix() { tr -d '\r' <"$1"; }  # a Windows program's text lines end in CR LF

step "unit tests under Wine"
if ! (cd "$WIN_BUILD" && wine tests/osd_tests.exe --gtest_brief=1 >"$WORK/unit.txt" 2>&1); then
  cat "$WORK/unit.txt"
  echo "FAIL: unit tests under Wine" >&2
  exit 1
fi
tr -d '\r' <"$WORK/unit.txt" | tail -n 1

# ---- The line ----
fail=0
check() {  # check WHAT CONDITION...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; fail=1; fi
}
# Starts osdsim with its record file $1 (further arguments its own); sets SIM and PTY.
start_sim() {
  local record=$1 out=$1.out
  shift
  "$LINUX_BUILD/osdsim" --record "$record" "$@" >"$out" 2>/dev/null &
  SIM=$!
  SIMS+=("$SIM")
  for _ in $(seq 100); do [ -s "$out" ] && break; sleep 0.1; done
  PTY=$(head -n 1 "$out")
}
# Waits until file $1 holds at least $2 bytes (at most $3 seconds).
wait_bytes() {
  for _ in $(seq $(($3 * 10))); do
    [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -ge "$2" ] && return 0
    sleep 0.1
  done
  return 1
}
python3 - "$WORK/logo.bmp" <<'PY'
import struct, sys
w, h = 96, 48
rows = b''
for y in range(h):
    row = b''.join(bytes(((x * 5) % 256, (y * 5) % 256, ((x + y) * 3) % 256)) for x in range(w))
    rows += row + b'\0' * ((4 - len(row) % 4) % 4)
info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
open(sys.argv[1], 'wb').write(b'BM' + struct.pack('<IHHI', 54 + len(rows), 0, 0, 54) + info + rows)
PY
for side in linux windows; do mkdir -p "$WORK/$side/data" && cp -r Images "$WORK/$side/data/"; done

step "identify and download, Linux and Windows side by side"
start_sim "$WORK/linux/line.bin" --baud 0
LINUX_SIM=$SIM LINUX_PTY=$PTY
start_sim "$WORK/windows/line.bin" --baud 0
WINDOWS_SIM=$SIM
# Wine's own way of naming a COM port, taken when its server starts: the link in dosdevices
# and the port among the system's ports.
wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$PTY" /f >/dev/null 2>&1
wineserver -k && wineserver -w
wineserver -p >/dev/null 2>&1
ln -sf "$PTY" "$WINEPREFIX/dosdevices/com7"
ln -sf "$LINUX_PTY" "$WINEPREFIX/dosdevices/com5"  # in dosdevices only, not among Wine's Ports
wine "$OSDCTL_EXE" ports >"$WORK/ports.txt"
check "osdctl.exe ports lists COM7" grep -qx "7	COM7" <(unix "$WORK/ports.txt")
check "osdctl.exe ports lists the mapped COM5" grep -qx "5	COM5" <(unix "$WORK/ports.txt")
(
  cd "$WORK/linux"
  "$LINUX_BUILD/osdctl" identify --port "$LINUX_PTY" --settings s.ini --data-dir data >identify.txt
  "$LINUX_BUILD/osdctl" download ../logo.bmp --port "$LINUX_PTY" --settings s.ini --data-dir data \
    2>download.log
) &
linux_run=$!
(
  cd "$WORK/windows"
  wine "$OSDCTL_EXE" identify --port COM7 --settings s.ini --data-dir data >identify.txt
  wine "$OSDCTL_EXE" download ../logo.bmp --port 7 --settings s.ini --data-dir data 2>download.log
) &
windows_run=$!
convert_rc=0
wine "$OSDCTL_EXE" convert a.png b.bmp 2>"$WORK/convert.txt" || convert_rc=$?
check "convert is not in this build (exit 2, one line)" \
  test "$convert_rc" = 2 -a "$(wc -l <"$WORK/convert.txt")" = 1
linux_rc=0 windows_rc=0
wait "$linux_run" || linux_rc=$?
wait "$windows_run" || windows_rc=$?
kill "$LINUX_SIM" "$WINDOWS_SIM" 2>/dev/null || true
check "both downloads succeed" test "$linux_rc$windows_rc" = 00
check "identify answers alike" cmp -s "$WORK/linux/identify.txt" <(unix "$WORK/windows/identify.txt")
check "the same bytes on the line ($(stat -c %s "$WORK/windows/line.bin") bytes)" \
  cmp "$WORK/linux/line.bin" "$WORK/windows/line.bin"

step "a port that disappears in the middle of a download"
for side in linux windows; do rm -f "$WORK/$side/lost.bin"; done
start_sim "$WORK/linux/lost.bin" --baud 9600
LINUX_SIM=$SIM LINUX_PTY=$PTY
start_sim "$WORK/windows/lost.bin" --baud 9600
WINDOWS_SIM=$SIM
ln -sf "$PTY" "$WINEPREFIX/dosdevices/com7"
(cd "$WORK/linux" && exec "$LINUX_BUILD/osdctl" download ../logo.bmp --no-erase \
  --port "$LINUX_PTY" --settings s.ini --data-dir data 2>lost.log) &
linux_run=$!
(cd "$WORK/windows" && exec wine "$OSDCTL_EXE" download ../logo.bmp --no-erase --port 7 \
  --settings s.ini --data-dir data 2>lost.log) &
windows_run=$!
# The node goes away once the picture is on its way.
wait_bytes "$WORK/linux/lost.bin" 3000 60 && kill "$LINUX_SIM"
wait_bytes "$WORK/windows/lost.bin" 3000 60 && kill "$WINDOWS_SIM"
linux_rc=0 windows_rc=0
wait "$linux_run" || linux_rc=$?
wait "$windows_run" || windows_rc=$?
shape() { unix "$1" | tail -n 1 | sed 's/[0-9][0-9,]*/N/g'; }
check "exit 3 on both (Linux $linux_rc, Windows $windows_rc)" test "$linux_rc$windows_rc" = 33
check "the same last line: $(unix "$WORK/windows/lost.log" | tail -n 1)" \
  test "$(shape "$WORK/linux/lost.log")" = "$(shape "$WORK/windows/lost.log")"

step "settings from the registry on the first start"
key='HKLM\SOFTWARE\Norvo\RA7_Vud\FormInit'
wine reg add "$key" /v ComPort /t REG_SZ /d 5 /f /reg:64 >/dev/null 2>&1
wine reg add "$key" /v ComPort /t REG_SZ /d 9 /f /reg:32 >/dev/null 2>&1
wine reg add "$key" /v SX_Model /t REG_SZ /d 2 /f /reg:32 >/dev/null 2>&1
ini=$WORK/registry/RA7_Vud.ini
mkdir -p "$WORK/registry"
declare -A rcs
for run in first second; do
  rcs[$run]=0
  wine "$OSDCTL_EXE" identify --port 231 --settings "$(winpath "$ini")" \
    --data-dir "$(winpath "$WORK/windows/data")" >"$WORK/$run.txt" 2>&1 || rcs[$run]=$?
done
first=$(unix "$WORK/first.txt") second=$(unix "$WORK/second.txt")
check "the 64-bit view's value" grep -qx "ComPort=5" "$ini"
check "the 32-bit view's value where the 64-bit view has none" grep -qx "SX_Model=2" "$ini"
check "said once: $(echo "$first" | grep registry || true)" \
  test "$(echo "$first" | grep -c 'took 2 settings from the registry')" = 1 \
  -a "$(echo "$second" | grep -c registry)" = 0
check "a port the system lacks: one line, exit 3" test "${rcs[second]}" = 3 -a \
  "$(echo "$second" | tail -n 1)" = "osdctl identify: COM231 cannot be opened: No such device: COM231"

step "a site file saved by Notepad"
printf '\xef\xbb\xbf; lobby\r\n[line]\r\ntogether = yes   ; one stream\r\n[node 3]\r\nlogo = logo.bmp  # a BMP\r\n[node 7]\r\nlogo = logo.bmp\r\n' \
  >"$WORK/site.ini"
"$LINUX_BUILD/osdctl" apply "$WORK/site.ini" --dry-run --settings "$WORK/linux/s.ini" \
  --data-dir "$WORK/linux/data" >"$WORK/linux/plan.txt" 2>/dev/null
site_rc=0
wine "$OSDCTL_EXE" apply "$(winpath "$WORK/site.ini")" --dry-run --settings "$(winpath "$WORK/windows/s.ini")" \
  --data-dir "$(winpath "$WORK/windows/data")" >"$WORK/windows/plan.txt" 2>/dev/null || site_rc=$?
check "the same plan on Windows (exit $site_rc): $(unix "$WORK/windows/plan.txt" | tail -n 1)" \
  test "$site_rc" = 0 -a -s "$WORK/linux/plan.txt" -a \
  "$(cat "$WORK/linux/plan.txt")" = "$(unix "$WORK/windows/plan.txt")"

step "the zip of osdctl.exe"
(cd "$WIN_BUILD" && rm -f osdctl-*.zip && cpack -G ZIP >/dev/null && python3 -m zipfile -l osdctl-*.zip)

step "done"
exit "$fail"
