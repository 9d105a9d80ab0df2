#!/usr/bin/env bash
# Start-up time and idle processor use of the window (osdprog under QT_QPA_PLATFORM=offscreen).
#
#   scripts/bench-startup.sh [BUILD_DIR] [STARTS] [IDLE_SECONDS]   (build-bench, 10, 60)
#
# Start-up: from just before the program is started to the moment it reports (with
# OSDPROG_STARTUP_STAMP=1, which also leaves the splash out) that its window is shown and the
# event loop has gone idle. The port search runs over the machine's devices as usual; the
# saved port is a simulated node (osdsim --baud 9600) mapped with --port-map. Measured both
# that way and with --simulate (the node inside the program). The first start writes the
# default settings and is reported apart; the figure is the median of the others.
#
# Idle: one window with the 25 ms tick, the node poll (a mapped node that answers) and the
# schedule runner on (ScheduleOn=True); utime + stime of the process (all its threads) from
# /proc/PID/stat over IDLE_SECONDS, as a share of one core.
#
# Prints one JSON object on standard output, a summary on standard error.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-bench}"
starts="${2:-10}"
idle="${3:-60}"
for p in osdsim osdprog; do
  [[ -x "$build/$p" ]] || { echo "bench-startup: $build/$p is missing (build it first)" >&2; exit 2; }
done

exec python3 - "$build" "$starts" "$idle" <<'PY'
import json, os, signal, statistics, subprocess, sys, tempfile, time

build, starts, idle = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
TICK = os.sysconf("SC_CLK_TCK")
PORT = 9

def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])   # utime, stime (fields 14 and 15)

def start_window(tmp, args, tag):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", OSDPROG_STARTUP_STAMP="1",
               OSDPROG_INSTANCE="bench-%d-%s" % (os.getpid(), tag))
    t0 = time.monotonic()
    prog = subprocess.Popen([os.path.join(build, "osdprog"), "--settings",
                             os.path.join(tmp, "settings.ini"), "--data-dir", tmp] + args,
                            env=env, stderr=subprocess.PIPE, text=True)
    ready = None
    for line in prog.stderr:
        if line.startswith("osdprog: idle at "):
            ready = float(line.split()[-1]) - t0
            break
    if ready is None:
        prog.wait()
        raise SystemExit("bench-startup: osdprog ended before its window was idle")
    return prog, ready

def close_window(prog):
    prog.send_signal(signal.SIGTERM)
    try:
        prog.wait(timeout=10)
    except subprocess.TimeoutExpired:
        prog.kill()
        prog.wait()

def measure_starts(tmp, args, tag):
    times = []
    for k in range(starts + 1):
        prog, ready = start_window(tmp, args, tag)
        times.append(ready)
        close_window(prog)
    return times[0], times[1:]

with tempfile.TemporaryDirectory(prefix="osd-startup-") as tmp:
    with open(os.path.join(tmp, "settings.ini"), "w") as f:
        f.write("[FormInit]\nComPort=%d\nScheduleOn=True\n" % PORT)
    record = os.path.join(tmp, "record.bin")
    sim = subprocess.Popen([os.path.join(build, "osdsim"), "--memory", "64", "--baud", "9600",
                            "--record", record], stdout=subprocess.PIPE, text=True)
    try:
        dev = sim.stdout.readline().strip()
        mapped = ["--port-map", "%d=%s" % (PORT, dev)]
        first_mapped, mapped_times = measure_starts(tmp, mapped, "m")
        first_sim, sim_times = measure_starts(tmp, ["--simulate"], "s")

        prog, _ = start_window(tmp, mapped, "idle")
        try:
            time.sleep(2)                      # let the first poll answers settle
            c0, w0, r0 = cpu_ticks(prog.pid), time.monotonic(), os.path.getsize(record)
            time.sleep(idle)
            c1, w1, r1 = cpu_ticks(prog.pid), time.monotonic(), os.path.getsize(record)
        finally:
            close_window(prog)
    finally:
        sim.terminate()
        sim.wait()

cpu_s = (c1 - c0) / TICK
res = {
    "startup_mapped_median_s": round(statistics.median(mapped_times), 4),
    "startup_mapped_min_s": round(min(mapped_times), 4),
    "startup_mapped_max_s": round(max(mapped_times), 4),
    "startup_mapped_first_s": round(first_mapped, 4),
    "startup_simulate_median_s": round(statistics.median(sim_times), 4),
    "startup_simulate_first_s": round(first_sim, 4),
    "starts": starts,
    "idle_seconds": round(w1 - w0, 2),
    "idle_cpu_seconds": round(cpu_s, 3),
    "idle_cpu_share_of_one_core": round(cpu_s / (w1 - w0), 5),
    "idle_cpu_seconds_per_minute": round(cpu_s / (w1 - w0) * 60, 3),
    "idle_bytes_to_node": r1 - r0,   # the node poll was on the line
}
print(json.dumps(res))
print("start-up (mapped node): median %.3f s over %d starts (min %.3f, max %.3f; first start "
      "%.3f s); with --simulate: median %.3f s. Goal < 0.5 s: %s"
      % (res["startup_mapped_median_s"], starts, res["startup_mapped_min_s"],
         res["startup_mapped_max_s"], first_mapped, res["startup_simulate_median_s"],
         "met" if res["startup_mapped_median_s"] < 0.5 else "MISSED"), file=sys.stderr)
print("idle: %.2f s of processor time in %.0f s = %.2f %% of one core (%.2f s a minute). "
      "The node received %d bytes meanwhile. Goal < 1 %%: %s"
      % (cpu_s, w1 - w0, 100 * res["idle_cpu_share_of_one_core"],
         res["idle_cpu_seconds_per_minute"], r1 - r0,
                           "met" if res["idle_cpu_share_of_one_core"] < 0.01 else "MISSED"),
      file=sys.stderr)
PY
