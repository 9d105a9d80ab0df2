#!/usr/bin/env bash
# Line efficiency of a logo download: a 256 x 64 logo sent by `osdctl download --no-erase` to a
# simulated 64 K node that takes bytes no faster than a 9600-baud line, timed against the line's
# floor (65667 bytes at 960 bytes a second = 68.4 s), and the progress osdctl reports compared
# with the bytes that had reached the node at that moment.
#
#   scripts/bench-line.sh [BUILD_DIR] [RUNS]        (default build-bench, 1 run)
#
# The node records every byte it takes (--record); a sampler notes the record's length every
# 10 ms. The download's line time runs from the moment the node took the first byte of "QXW"
# to the moment it took the last byte. osdctl prints its progress at every tenth of the bar;
# each of those lines is turned back into the byte count the bar stands for and compared with
# the bytes that had arrived by then: the difference in seconds of line time is the lead.
# The whole command (osdctl started to the node's last byte: start-up, wake, bitmap check,
# encoding and the download) is reported against the same floor.
# Prints one JSON object per run on standard output (the figures), a summary on standard error.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
runs="${2:-1}"
for p in osdsim osdctl; do
  [[ -x "$build/$p" ]] || { echo "bench-line: $build/$p is missing (build it first)" >&2; exit 2; }
done

PYTHONPATH="$here/scripts" exec python3 - "$build" "$runs" <<'PY'
import json, os, re, subprocess, sys, tempfile, threading, time, math
from bench_logo import write_logo

build, runs = sys.argv[1], int(sys.argv[2])
W, H, MEMORY = 256, 64, 65536
N = MEMORY - (W * H + 256)
FILLERS = (N + 1) // 128 + 1 if N + 1 >= 0 else 0
TOTAL = 259 + W * H + 128 * FILLERS          # 65667
RATE = 960.0                                  # bytes a second at 9600 baud
FLOOR = TOTAL / RATE

def logo(path):
    write_logo(path, W, H, (3, 4))

def one_run(tmp):
    bmp = os.path.join(tmp, "logo.bmp")
    rec = os.path.join(tmp, "record.bin")
    logo(bmp)
    open(rec, "wb").close()
    sim = subprocess.Popen([os.path.join(build, "osdsim"), "--memory", "64", "--baud", "9600",
                            "--record", rec], stdout=subprocess.PIPE, text=True)
    try:
        dev = sim.stdout.readline().strip()
        samples = []           # (time, record length)
        stop = threading.Event()
        def sample():
            while not stop.is_set():
                samples.append((time.monotonic(), os.path.getsize(rec)))
                time.sleep(0.01)
        sampler = threading.Thread(target=sample)
        sampler.start()
        t0 = time.monotonic()
        ctl = subprocess.Popen([os.path.join(build, "osdctl"), "download", bmp, "--port", dev,
                                "--memory", "64", "--no-erase", "--settings",
                                os.path.join(tmp, "osdctl.ini"), "--data-dir", tmp],
                               stderr=subprocess.PIPE, text=True)
        progress = []          # (time, bytes shown as sent)
        lines = []
        for line in ctl.stderr:
            now = time.monotonic()
            lines.append(line.rstrip())
            m = re.search(r"sent (\d+) of (\d+) bytes", line)
            if m:
                progress.append((now, int(m.group(1))))
        rc = ctl.wait()
        t_exit = time.monotonic()
        # Let the node take whatever is still on its way.
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if samples and samples[-1][1] >= TOTAL and len(samples) > 50 and \
               samples[-50][1] == samples[-1][1]:
                break
            time.sleep(0.1)
        stop.set()
        sampler.join()
    finally:
        sim.terminate()
        sim.wait()
    data = open(rec, "rb").read()
    start = data.find(b"QXW")
    if rc != 0 or start < 0:
        raise SystemExit("bench-line: the download failed (exit %d):\n%s" % (rc, "\n".join(lines)))
    end = start + TOTAL
    def arrival(count):
        """The first sample at which the node had taken `count` bytes."""
        for t, n in samples:
            if n >= count:
                return t
        return None
    t_first, t_last = arrival(start + 1), arrival(end)
    if t_last is None:
        raise SystemExit("bench-line: the node took only %d of %d bytes" % (len(data) - start, TOTAL))
    line_time = t_last - t_first + 1 / RATE   # the first byte's own time on the line
    leads = []
    gaps = [b[0] - a[0] for a, b in zip(progress, progress[1:])]
    for t, shown in progress:
        arrived = max(0, max((n for st, n in samples if st <= t), default=0) - start)
        leads.append((shown - arrived) / RATE)
    return {
        "bytes": len(data) - start,
        "floor_s": round(FLOOR, 3),
        "line_s": round(line_time, 3),
        "line_vs_floor": round(line_time / FLOOR, 4),
        "osdctl_s": round(t_exit - t0, 3),
        # From starting osdctl (wake, bitmap check, settle, encode) to the node's last byte.
        "command_s": round(t_last - t0, 3),
        "command_vs_floor": round((t_last - t0) / FLOOR, 4),
        # From starting osdctl to the first byte of "QXW" at the node.
        "first_byte_after_start_s": round(t_first - t0, 3),
        "osdctl_exit_after_last_byte_s": round(t_exit - t_last, 3),
        "progress_lines": len(progress),
        "progress_lead_max_s": round(max(leads), 3) if leads else None,
        "progress_lead_mean_s": round(sum(leads) / len(leads), 3) if leads else None,
        "progress_behind_max_s": round(-min(leads), 3) if leads else None,
        "progress_gap_max_s": round(max(gaps), 3) if gaps else None,
        "progress_last_bytes": progress[-1][1] if progress else None,
    }

for r in range(runs):
    with tempfile.TemporaryDirectory(prefix="osd-line-") as tmp:
        res = one_run(tmp)
    print(json.dumps(res), flush=True)
    ok_line = res["line_vs_floor"] <= 1.02
    ok_lead = res["progress_lead_max_s"] is not None and res["progress_lead_max_s"] <= 1.0
    print("run %d: line %.2f s against a floor of %.2f s (x%.4f, goal <= 1.02: %s); whole "
          "command %.2f s (x%.4f); progress at most %.2f s of line time ahead (goal <= 1 s: %s)"
          % (r + 1, res["line_s"], res["floor_s"], res["line_vs_floor"],
             "met" if ok_line else "MISSED", res["command_s"], res["command_vs_floor"],
             res["progress_lead_max_s"], "met" if ok_lead else "MISSED"), file=sys.stderr)
PY
