#!/usr/bin/env python3
# The idle window on a display: for each build folder given, an Xvfb display with openbox, an
# osdsim at 9600 baud answering the polls and osdprog on it; after 20 s, the processor time
# (utime + stime of /proc/PID/stat) over SECONDS, all windows measured side by side.
#   scripts/bench-idle-display.py SECONDS BUILD [BUILD...]
# Two windows side by side, each on its own Xvfb with openbox and its own osdsim; CPU over N s.
import os, signal, subprocess, sys, tempfile, time
secs = float(sys.argv[1]); builds = sys.argv[2:]
TICK = os.sysconf("SC_CLK_TCK")
def cpu(pid):
    with open("/proc/%d/stat" % pid) as f: x = f.read().rsplit(")", 1)[1].split()
    return int(x[11]) + int(x[12])
procs = []; runs = []
for k, build in enumerate(builds):
    disp = ":%d" % (20 + k)
    env = dict(os.environ, DISPLAY=disp, OSDPROG_INSTANCE="idle-%d-%d" % (os.getpid(), k))
    procs.append(subprocess.Popen(["Xvfb", disp, "-screen", "0", "1280x1024x24"], stderr=subprocess.DEVNULL))
    time.sleep(1)
    procs.append(subprocess.Popen(["openbox"], env=env, stderr=subprocess.DEVNULL))
    tmp = tempfile.mkdtemp(prefix="osd-idle-")
    open(os.path.join(tmp, "settings.ini"), "w").write("[FormInit]\nComPort=3\nScheduleOn=True\n")
    sim = subprocess.Popen([os.path.join(build, "osdsim"), "--memory", "64", "--baud", "9600",
                            "--record", os.path.join(tmp, "rec.bin")], stdout=subprocess.PIPE, text=True)
    procs.append(sim)
    dev = sim.stdout.readline().strip()
    prog = subprocess.Popen([os.path.join(build, "osdprog"), "--settings", os.path.join(tmp, "settings.ini"),
            "--data-dir", tmp, "--port-map", "3=" + dev], env=env, stderr=subprocess.DEVNULL)
    runs.append((build, prog, tmp))
time.sleep(20)
c0 = [cpu(p.pid) for _, p, _ in runs]; s0 = [os.path.getsize(os.path.join(t, "rec.bin")) for _, _, t in runs]; w0 = time.monotonic()
time.sleep(secs)
c1 = [cpu(p.pid) for _, p, _ in runs]; s1 = [os.path.getsize(os.path.join(t, "rec.bin")) for _, _, t in runs]; w1 = time.monotonic()
for i, (b, p, t) in enumerate(runs):
    print("%-20s cpu %.2f s over %.1f s = %.3f %% of a core; node received %d bytes" % (b, (c1[i]-c0[i])/TICK, w1-w0, 100*(c1[i]-c0[i])/TICK/(w1-w0), s1[i]-s0[i]))
    p.send_signal(signal.SIGTERM); p.wait()
for p in reversed(procs): p.terminate()
print("load", open("/proc/loadavg").read().strip())
