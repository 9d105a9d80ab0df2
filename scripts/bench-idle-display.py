#!/usr/bin/env python3
# The idle window on a display: for each build folder given, an Xvfb display with openbox, an
# osdsim at 9600 baud answering the polls and osdprog on it; after 20 s, the processor time
# (utime + stime of /proc/PID/stat) over SECONDS, all windows measured side by side, ROUNDS
# times one after another, then the median of each.
#   scripts/bench-idle-display.py [--rounds N] [--yardstick PROGRAM] SECONDS BUILD [BUILD...]
# --yardstick runs PROGRAM (build-bench/bench/osd_tick_only_window: a bare Qt window with only a
# 25 ms timer) on a display of its own beside them, measured the same way.
import argparse, os, signal, statistics, subprocess, tempfile, time

ap = argparse.ArgumentParser()
ap.add_argument("--rounds", type=int, default=1)
ap.add_argument("--yardstick")
ap.add_argument("seconds", type=float)
ap.add_argument("builds", nargs="+")
args = ap.parse_args()
TICK = os.sysconf("SC_CLK_TCK")


def cpu(pid):
    with open("/proc/%d/stat" % pid) as f:
        x = f.read().rsplit(")", 1)[1].split()
    return int(x[11]) + int(x[12])


procs = []  # displays, window managers, nodes: ended last
runs = []  # (name, process, recording or None)


def display(k):
    disp = ":%d" % (20 + k)
    env = dict(os.environ, DISPLAY=disp, OSDPROG_INSTANCE="idle-%d-%d" % (os.getpid(), k))
    procs.append(subprocess.Popen(["Xvfb", disp, "-screen", "0", "1280x1024x24"],
                                  stderr=subprocess.DEVNULL))
    time.sleep(1)
    procs.append(subprocess.Popen(["openbox"], env=env, stderr=subprocess.DEVNULL))
    return env


for k, build in enumerate(args.builds):
    env = display(k)
    tmp = tempfile.mkdtemp(prefix="osd-idle-")
    with open(os.path.join(tmp, "settings.ini"), "w") as f:
        f.write("[FormInit]\nComPort=3\nScheduleOn=True\n")
    rec = os.path.join(tmp, "rec.bin")
    sim = subprocess.Popen([os.path.join(build, "osdsim"), "--memory", "64", "--baud", "9600",
                            "--record", rec], stdout=subprocess.PIPE, text=True)
    procs.append(sim)
    dev = sim.stdout.readline().strip()
    prog = subprocess.Popen([os.path.join(build, "osdprog"), "--settings",
                             os.path.join(tmp, "settings.ini"), "--data-dir", tmp,
                             "--port-map", "3=" + dev], env=env, stderr=subprocess.DEVNULL)
    runs.append((build, prog, rec))
if args.yardstick:
    env = display(len(args.builds))
    runs.append((os.path.basename(args.yardstick),
                 subprocess.Popen([args.yardstick], env=env, stderr=subprocess.DEVNULL), None))

time.sleep(20)
shares = [[] for _ in runs]
for r in range(args.rounds):
    c0 = [cpu(p.pid) for _, p, _ in runs]
    s0 = [os.path.getsize(rec) if rec else 0 for _, _, rec in runs]
    w0 = time.monotonic()
    time.sleep(args.seconds)
    c1 = [cpu(p.pid) for _, p, _ in runs]
    s1 = [os.path.getsize(rec) if rec else 0 for _, _, rec in runs]
    w1 = time.monotonic()
    for i, (name, _, rec) in enumerate(runs):
        share = 100 * (c1[i] - c0[i]) / TICK / (w1 - w0)
        shares[i].append(share)
        bytes_ = "; node received %d bytes" % (s1[i] - s0[i]) if rec else ""
        print("round %d  %-36s cpu %.2f s over %.1f s = %.3f %% of a core%s" %
              (r + 1, name, (c1[i] - c0[i]) / TICK, w1 - w0, share, bytes_))
    print("load", open("/proc/loadavg").read().strip(), flush=True)
for i, (name, p, _) in enumerate(runs):
    print("median %-36s %.3f %% (%s)" % (name, statistics.median(shares[i]),
                                         " / ".join("%.2f" % s for s in shares[i])))
    p.send_signal(signal.SIGTERM)
    p.wait()
for p in reversed(procs):
    p.terminate()
