#!/usr/bin/env bash
# Line time of programming several nodes at once: `osdctl download --nodes` against simulated
# lines of 1, 2, 4 and 8 nodes (64 K each) that take bytes no faster than a 9600-baud line,
# as the whole line (`--nodes all`, one stream after "WK,00") and as named nodes that stay
# awake together (`--nodes 1,2,... --together`, one stream after each node's wake-up), against
# one single download (`--node 1`). All runs use --no-erase, so the figures are the line's.
#
#   scripts/bench-fleet.sh [BUILD_DIR]        (default build-bench)
#
# Every run has its own simulated line and they all run at once (each line is paced on its
# own; the machine does little but wait), so the benchmark takes as long as its longest run:
# the whole-line runs scan the 255 IDs first (about two minutes) and then take one stream.
# A run's line time is taken from the node's record of the bytes it received, sampled every
# 20 ms: from the first byte of the job (after the scan, for the whole line) to the last. The
# stream itself is 65667 bytes, 68.4 s at 960 bytes a second, however small the logo, because
# the filler fills the node's memory.
# Prints one JSON object per run on standard output, a table on standard error.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
for p in osdsim osdctl; do
  [[ -x "$build/$p" ]] || { echo "bench-fleet: $build/$p is missing (build it first)" >&2; exit 2; }
done

PYTHONPATH="$here/scripts" exec python3 - "$build" <<'PY'
import json, os, subprocess, sys, tempfile, threading, time
from bench_logo import write_logo

build = sys.argv[1]
W, H = 64, 16  # the picture is small; the stream is the node's memory either way

def logo(path):
    write_logo(path, W, H, (9, 13))

def run(name, nodes, mode, results):
    tmp = tempfile.mkdtemp(prefix="bench-fleet-")
    bmp, rec = os.path.join(tmp, "logo.bmp"), os.path.join(tmp, "record.bin")
    logo(bmp)
    open(rec, "wb").close()
    ids = ",".join(str(i) for i in range(1, nodes + 1))
    sim = subprocess.Popen([os.path.join(build, "osdsim"), "--baud", "9600", "--id", ids,
                            "--wake", "together", "--record", rec], stdout=subprocess.PIPE,
                           text=True)
    try:
        dev = sim.stdout.readline().strip()
        which = {"single": ["--node", "1"], "whole line": ["--nodes", "all"],
                 "together": ["--nodes", ids, "--together"]}[mode]
        samples, stop = [], threading.Event()
        def sample():
            while not stop.is_set():
                samples.append((time.monotonic(), os.path.getsize(rec)))
                time.sleep(0.02)
        sampler = threading.Thread(target=sample)
        sampler.start()
        out = subprocess.run([os.path.join(build, "osdctl"), "download", bmp, "--port", dev,
                              "--no-erase", "--memory", "64", "--settings",
                              os.path.join(tmp, "s.ini"), "--data-dir", tmp] + which,
                             capture_output=True, text=True)
        time.sleep(0.2)
        stop.set()
        sampler.join()
        data = open(rec, "rb").read()
        # The job starts after the scan's closing "SP", "WK,00" (whole line), else at once.
        start = data.find(b"SPWK,00") + 7 if mode == "whole line" else 0
        first = next(t for t, n in samples if n > start)
        last = next(t for t, n in samples if n >= len(data))
        results.append({"run": name, "nodes": nodes, "mode": mode, "rc": out.returncode,
                        "programmed": out.stdout.count("\tprogrammed"),
                        "streams": data.count(b"QXW"), "bytes": len(data) - start,
                        "line_seconds": round(last - first, 2)})
    finally:
        sim.terminate()
        sim.wait()

plan = [("single", 1, "single")]
for n in (1, 2, 4, 8):
    plan += [("whole line %d" % n, n, "whole line"), ("together %d" % n, n, "together")]
results, threads = [], []
for name, n, mode in plan:
    t = threading.Thread(target=run, args=(name, n, mode, results))
    t.start()
    threads.append(t)
for t in threads:
    t.join()
single = next(r for r in results if r["mode"] == "single")["line_seconds"]
order = {name: i for i, (name, _, _) in enumerate(plan)}
print("%-14s %5s %7s %10s %9s %6s" % ("run", "nodes", "streams", "bytes", "line s", "ratio"),
      file=sys.stderr)
for r in sorted(results, key=lambda r: order[r["run"]]):
    r["ratio_to_single"] = round(r["line_seconds"] / single, 3)
    print(json.dumps(r))
    print("%-14s %5d %7d %10d %9.1f %6.3f%s" % (r["run"], r["nodes"], r["streams"], r["bytes"],
          r["line_seconds"], r["ratio_to_single"],
          "" if r["rc"] == 0 and r["programmed"] in (0 if r["mode"] == "single" else r["nodes"],)
          else "  (failed)"),
          file=sys.stderr)
PY
