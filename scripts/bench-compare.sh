#!/usr/bin/env bash
# Compares a run of the benchmarks with the recorded figures (bench/baseline.json) and fails
# when a figure got worse by more than the margin or misses its goal.
#
#   scripts/bench-run.sh  (or osd_bench --benchmark_out=new.json ...)   then
#   scripts/bench-compare.sh new.json [--baseline FILE] [--margin 0.25]
#   scripts/bench-compare.sh new.json --record      (makes new.json's figures the baseline)
#
# Every figure is a ratio, so runs on different machines compare: each benchmark's processor
# time is divided by that of its yardstick in the same run (reading the same file's bytes for
# the encoder, reading the largest 24-bit file for everything else). The conflict scan also
# has a goal in milliseconds, checked as measured. Repeated runs (--benchmark_repetitions)
# count by their median.
# Exit status: 0 all within the margin and the goals, 1 a regression or a missed goal,
# 2 usage or unreadable input.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
exec python3 - "$here" "$@" <<'PY'
import json, os, statistics, sys

here, args = sys.argv[1], sys.argv[2:]
baseline = os.path.join(here, "bench", "baseline.json")
margin, record, new = 0.25, False, None
i = 0
try:
    while i < len(args):
        a = args[i]
        if a == "--baseline":
            baseline = args[i + 1]; i += 1
        elif a == "--margin":
            margin = float(args[i + 1]); i += 1
        elif a == "--record":
            record = True
        elif a.startswith("-"):
            raise ValueError(a)
        else:
            new = a
        i += 1
    if new is None:
        raise ValueError("no run given")
except (ValueError, IndexError) as e:
    print("usage: bench-compare.sh NEW.json [--baseline FILE] [--margin M] [--record] (%s)" % e,
          file=sys.stderr)
    sys.exit(2)

YARDSTICK = "read/bpp24"
# Goals: a ratio at most this large (encoder) or a time at most this long (conflict scan).
GOAL_RATIO = {"encode/bpp24/ycbcr": 10.0}
GOAL_MS = {"conflicts/twenty/every_day": 20.0, "conflicts/twenty/days_differ": 20.0}

def cpu_times(path):
    """Median processor time in ns of each benchmark of a Google Benchmark JSON file."""
    try:
        with open(path) as f:
            data = json.load(f)
    except (OSError, ValueError) as e:
        print("bench-compare: cannot read %s: %s" % (path, e), file=sys.stderr)
        sys.exit(2)
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    runs, medians = {}, {}
    for b in data.get("benchmarks", []):
        name = b.get("run_name", b["name"])
        t = b["cpu_time"] * scale[b.get("time_unit", "ns")]
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[name] = t
        else:
            runs.setdefault(name, []).append(t)
    times = {n: statistics.median(v) for n, v in runs.items()}
    times.update(medians)
    return times, data.get("context", {})

def yardstick_of(name):
    if name.startswith(("encode/", "convert/")):
        return "read/" + name.split("/")[1]
    return YARDSTICK

def ratios(times):
    out = {}
    for name, t in times.items():
        y = yardstick_of(name)
        if name != y and y in times and times[y] > 0:
            out[name] = t / times[y]
    return out

times, context = cpu_times(new)
now = ratios(times)
if not now:
    print("bench-compare: %s holds no benchmark with its yardstick" % new, file=sys.stderr)
    sys.exit(2)

if record:
    rec = {
        "note": "Processor time of each benchmark over that of its yardstick in the same run "
                "(see scripts/bench-compare.sh); written by bench-compare.sh --record.",
        "machine": {k: context.get(k) for k in ("host_name", "num_cpus", "mhz_per_cpu",
                                                 "library_build_type", "load_avg")},
        "date": context.get("date"),
        "ratios": {n: {"yardstick": yardstick_of(n), "ratio": float("%.6g" % r)}
                   for n, r in sorted(now.items())},
        "cpu_ns": {n: round(t, 1) for n, t in sorted(times.items())},
    }
    with open(baseline, "w") as f:
        json.dump(rec, f, indent=2)
        f.write("\n")
    print("bench-compare: recorded %d figures in %s" % (len(now), baseline))
    sys.exit(0)

try:
    with open(baseline) as f:
        base = json.load(f)["ratios"]
except (OSError, ValueError, KeyError) as e:
    print("bench-compare: cannot read the baseline %s: %s" % (baseline, e), file=sys.stderr)
    sys.exit(2)

failed = False
print("%-34s %-12s %10s %10s %8s  %s" % ("benchmark", "against", "baseline", "now", "change",
                                          "verdict"))
for name in sorted(set(base) | set(now)):
    if name not in now:
        print("%-34s %-12s %10s %10s %8s  %s" % (name, "", "", "", "", "missing from the run"))
        continue
    r = now[name]
    verdict, change, b = "ok", "", ""
    if name in base:
        b = "%.4g" % base[name]["ratio"]
        rel = r / base[name]["ratio"] - 1
        change = "%+.0f%%" % (100 * rel)
        if rel > margin:
            verdict, failed = "WORSE (margin %.0f%%)" % (100 * margin), True
    else:
        verdict = "new"
    if name in GOAL_RATIO and r > GOAL_RATIO[name]:
        verdict, failed = "GOAL MISSED (at most %g)" % GOAL_RATIO[name], True
    if name in GOAL_MS and times[name] / 1e6 > GOAL_MS[name]:
        verdict, failed = "GOAL MISSED (%.1f ms, at most %g ms)" % (
            times[name] / 1e6, GOAL_MS[name]), True
    print("%-34s %-12s %10s %10.4g %8s  %s" % (name, yardstick_of(name), b, r, change, verdict))
sys.exit(1 if failed else 0)
PY
