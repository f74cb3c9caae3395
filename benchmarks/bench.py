#!/usr/bin/env python3
"""Velmora's benchmarks in one run, printed side by side (scripts/bench.sh).

  ping       the ping a query window shows against a loopback responder that
             answers after 5, 50, 200 and 500 ms, beside quakestat asking the
             same responder in the same run
  time-out   processor time of the program, and of the wineserver, while a
             query waits out its second
  hand-off   a second copy started with a link until the running copy's query
             window is visible, beside a program that only looks for a window
             and makes an atom, and beside a pair of programs whose receiver
             also creates and shows a plain window of the query window's size
             on the message; then where the hand-off's time goes, step by step
  windows    resident memory of each open query window, beside a plain window
  plug-ins   loading and unloading each plug-in, beside a DLL that holds one
             export
  idle       processor time over 30 s in the tray (program, wineserver and
             explorer.exe) and
             resident memory, beside a windowed program loading the same
             system libraries
  sizes      the files of the release zip, beside a minimal windowed program

Figures only: nothing here passes or fails on a number.
"""
import argparse
import glob
import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import threading
import time
import zipfile

DELAYS_MS = (5, 50, 200, 500)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class DelayedResponder:
    """Answers every datagram on 127.0.0.1 with a recorded QuakeWorld status
    reply, `delay_ms` after it arrived (the last stretch spun, not slept)."""

    def __init__(self, reply):
        self.reply = reply
        self.delay_ms = 0
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.settimeout(0.1)
        self.port = self.sock.getsockname()[1]
        self.stopping = False
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while not self.stopping:
            try:
                _, peer = self.sock.recvfrom(2048)
            except socket.timeout:
                continue
            due = time.perf_counter() + self.delay_ms / 1000.0
            threading.Thread(target=self.answer, args=(peer, due), daemon=True).start()

    def answer(self, peer, due):
        rest = due - time.perf_counter()
        if rest > 0.003:
            time.sleep(rest - 0.002)
        while time.perf_counter() < due:
            pass
        self.sock.sendto(self.reply, peer)

    def close(self):
        self.stopping = True
        self.thread.join()
        self.sock.close()


class Wine:
    def __init__(self, wine_run, prefix):
        self.base = [wine_run, "--prefix=" + prefix]
        self.prefix = prefix

    def run(self, *args, timeout=600):
        done = subprocess.run(self.base + list(args), capture_output=True, text=True, timeout=timeout)
        if done.returncode != 0:
            sys.exit("bench: %s ended with %d\n%s" % (" ".join(args[:2]), done.returncode, done.stderr[-2000:]))
        return done.stdout

    def start(self, *args):
        return subprocess.Popen(self.base + list(args), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def stop(self):
        subprocess.run(self.base + ["--stop"], capture_output=True)


def figures(output, tag):
    return [float(line.split()[1]) for line in output.splitlines() if line.startswith(tag + " ")]


def quakestat_ping(port):
    out = subprocess.run(["quakestat", "-qws", "127.0.0.1:%d" % port, "-json", "-retry", "1", "-interval", "3",
                          "-timeout", "5"], capture_output=True, text=True, timeout=20).stdout
    try:
        return float(json.loads(out)[0]["ping"])
    except (ValueError, KeyError, IndexError):
        return None


def errors(pings, delay):
    """Median, 95th percentile (nearest rank) and largest of |ping - delay|."""
    errs = sorted(abs(p - delay) for p in pings)
    p95 = errs[max(0, -(-95 * len(errs) // 100) - 1)]
    return statistics.median(errs), p95, errs[-1]


# ---- Linux processes of the Wine session ----------------------------------

def processes():
    for pid in os.listdir("/proc"):
        if pid.isdigit():
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    yield int(pid), f.read().split(b"\0")
            except OSError:
                pass


def running(name):
    """The Linux processes running the Windows program `name` (their first word)."""
    return {pid for pid, argv in processes() if argv and argv[0].lower().endswith(name.lower().encode())}


def find_program(name, deadline_s=30, besides=()):
    """The Linux process running the Windows program `name`, other than the
    ones in `besides` (a copy an earlier step ended may take a moment to go)."""
    end = time.time() + deadline_s
    while time.time() < end:
        for pid in running(name) - set(besides):
            return pid
        time.sleep(0.1)
    sys.exit("bench: %s did not start" % name)


def session_process(prefix, matches):
    """The first Linux process of the prefix's Wine session whose command
    line `matches`."""
    for pid, argv in processes():
        if argv and matches(argv):
            try:
                with open("/proc/%d/environ" % pid, "rb") as f:
                    if ("WINEPREFIX=" + prefix).encode() in f.read().split(b"\0"):
                        return pid
            except OSError:
                pass
    return None


def find_wineserver(prefix):
    """The prefix's wineserver (not one of the "-w" waiters)."""
    return session_process(prefix, lambda argv: os.path.basename(argv[0]).startswith(b"wineserver")
                           and b"-w" not in argv)


def find_explorer(prefix):
    """Wine's explorer.exe: the desktop and the notification area."""
    return session_process(prefix, lambda argv: argv[0].lower().endswith(b"explorer.exe"))


def cpu_ms(pid):
    """Processor time of a Linux process, in milliseconds; None once it has
    gone. The scheduler's own count of each thread's time on a processor,
    to the nanosecond, where the kernel keeps it: user and system time are
    sampled at the timer tick, too coarse for a program that wakes for a
    fraction of a millisecond ten times a second. (Threads that ended between
    two readings are not counted; the waits and the idle tray have none.)"""
    if not pid:
        return None
    try:
        tasks = glob.glob("/proc/%d/task/*/schedstat" % pid)
        if tasks:
            total = 0
            for task in tasks:
                try:
                    with open(task) as f:
                        total += int(f.read().split()[0])
                except OSError:
                    pass  # the thread ended meanwhile
            return total / 1e6
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except (OSError, ValueError, IndexError):
        return None
    return (int(fields[11]) + int(fields[12])) * 1000.0 / os.sysconf("SC_CLK_TCK")


def spent(before, after):
    """The time between two readings, or nan when the process went between."""
    return float("nan") if before is None or after is None else after - before


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def idle(wine, exe, seconds):
    """Processor time of `exe` and the wineserver over `seconds` once it has
    settled, and its resident memory at the end."""
    earlier = running(os.path.basename(exe))
    started = wine.start(exe)
    pid = find_program(os.path.basename(exe), besides=earlier)
    time.sleep(5)  # start-up done: plug-ins loaded, tray icon added
    watched = [pid, find_wineserver(wine.prefix), find_explorer(wine.prefix)]
    before = [cpu_ms(p) for p in watched]
    time.sleep(seconds)
    after = [cpu_ms(p) for p in watched]
    rss = rss_kib(pid)
    os.kill(pid, 9)
    started.wait(timeout=30)
    return tuple(spent(b, a) for b, a in zip(before, after)) + (rss,)


def timeouts(wine, command, count):
    """Processor time of the program and of the wineserver while each of
    `count` windows waits out its time-out (velmora_bench's query windows, or
    the floor's), read from Linux at the start of every wait ("waiting" from
    the program) and at its end ("cpu"), so the opening and closing of the
    windows between the waits is not counted. Per cent of one core over all
    the waits: (program, wineserver, seconds)."""
    run = subprocess.Popen(wine.base + command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    server = find_wineserver(wine.prefix)
    program, start = None, None
    spent_program = spent_server = seconds = 0.0
    waits = 0
    for line in run.stdout:
        if line.startswith("waiting"):
            program = program or find_program(os.path.basename(command[0]))
            start = (cpu_ms(program), cpu_ms(server), time.monotonic())
        elif line.startswith("cpu") and start:
            spent_program += spent(start[0], cpu_ms(program))
            spent_server += spent(start[1], cpu_ms(server))
            seconds += time.monotonic() - start[2]
            waits += 1
            start = None
    if run.wait() != 0 or waits != count:
        sys.exit("bench: the time-out run failed")
    return spent_program / seconds / 10.0, spent_server / seconds / 10.0, seconds / waits


def stripped_size(build, exe, work):
    """The size of a stripped copy of `exe`, with the build's own strip."""
    strip = None
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("CMAKE_STRIP:"):
                strip = line.rstrip("\n").split("=", 1)[1]
    if not strip:
        return None
    out = os.path.join(work, "stripped-" + os.path.basename(exe))
    subprocess.run([strip, "--strip-all", "-o", out, exe], check=True)
    return os.path.getsize(out)


# ---- the run ---------------------------------------------------------------

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="the win32 build folder")
    ap.add_argument("--zip", required=True, help="the release zip whose program runs")
    ap.add_argument("--sizes-of", help="the release zip whose sizes are shown (default: --zip)")
    ap.add_argument("--wine-run", required=True)
    ap.add_argument("--reply", required=True, help="a recorded QuakeWorld status reply")
    ap.add_argument("--work", required=True, help="a scratch folder (emptied)")
    ap.add_argument("--queries", type=int, default=20)
    ap.add_argument("--handoffs", type=int, default=10)
    ap.add_argument("--timeouts", type=int, default=20, help="query windows waiting out their time-out")
    ap.add_argument("--idle-seconds", type=int, default=30)
    ap.add_argument("--windows", type=int, default=60, help="query windows open at once")
    args = ap.parse_args()

    work = os.path.abspath(args.work)
    # One wineserver lasts the whole run, so every figure reads the same one;
    # a session an earlier run left behind in this folder ends first.
    os.environ["VELMORA_WINE_PERSIST"] = "900"
    wine = Wine(args.wine_run, os.path.join(work, "wineprefix"))
    if os.path.isdir(wine.prefix):
        wine.stop()
    shutil.rmtree(work, ignore_errors=True)
    release = os.path.join(work, "release")
    with zipfile.ZipFile(args.zip) as z:
        z.extractall(release)
    sized = args.sizes_of or args.zip
    with zipfile.ZipFile(sized) as z:
        sizes = [(i.filename, i.file_size) for i in z.infolist() if not i.is_dir()]
    qw = os.path.join(work, "qw")
    os.makedirs(os.path.join(qw, "plugins"))
    shutil.copy(os.path.join(release, "plugins", "quakeworld.vlm"), os.path.join(qw, "plugins"))

    bench = os.path.join(args.build, "benchmarks", "velmora_bench.exe")
    floor_atom = os.path.join(args.build, "benchmarks", "bench_floor_atom.exe")
    floor_window = os.path.join(args.build, "benchmarks", "bench_floor_window.exe")
    floor_handoff = os.path.join(args.build, "benchmarks", "bench_floor_handoff.exe")
    floor_dll = os.path.join(args.build, "benchmarks", "floor.dll")
    floor_waiting = os.path.join(args.build, "benchmarks", "bench_floor_waiting.exe")
    velmora = os.path.join(release, "velmora.exe")

    with open("/proc/loadavg") as f:
        load_before = f.read().split()[:3]
    wine.run(floor_atom)  # makes the prefix and starts its wineserver before anything is timed

    responder = DelayedResponder(open(args.reply, "rb").read())
    rows = []
    try:
        for delay in DELAYS_MS:
            responder.delay_ms = delay
            shown = figures(wine.run(bench, "ping", winpath(qw) + "\\", "127.0.0.1:%d" % responder.port,
                                     str(args.queries)), "ping")
            stat = [p for p in (quakestat_ping(responder.port) for _ in range(args.queries)) if p is not None]
            rows.append((delay, shown, stat))
        handoff_out = wine.run(bench, "handoff", winpath(velmora), winpath(floor_atom), winpath(floor_handoff),
                               str(responder.port), str(args.handoffs))
        breakdown_out = wine.run(bench, "breakdown", winpath(qw) + "\\", winpath(velmora), str(responder.port),
                                 str(args.handoffs))
    finally:
        responder.close()

    silent = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)  # bound, never answers
    silent.bind(("127.0.0.1", 0))
    timeout_program, timeout_server, timeout_wait = timeouts(
        wine, [bench, "timeout", winpath(qw) + "\\", "127.0.0.1:%d" % silent.getsockname()[1], str(args.timeouts)],
        args.timeouts)
    floor_program, floor_server, _ = timeouts(wine, [floor_waiting, str(args.timeouts)], args.timeouts)
    windows_out = wine.run(bench, "windows", winpath(qw) + "\\", "127.0.0.1:%d" % silent.getsockname()[1],
                           str(args.windows))
    silent.close()
    plugins_out = wine.run(bench, "plugins", winpath(release) + "\\", winpath(floor_dll), "10")
    exe_floor = stripped_size(args.build, floor_window, work)

    tray = idle(wine, velmora, args.idle_seconds)
    floor = idle(wine, floor_window, args.idle_seconds)
    wine.stop()
    with open("/proc/loadavg") as f:
        load_after = f.read().split()[:3]

    # ---- report ----
    arch = os.environ.get("VELMORA_WINE_ARCH", "win32")
    loader = "wine" if arch == "win32" else "/usr/lib/wine/wine64"
    wine_version = subprocess.run([loader, "--version"], capture_output=True, text=True).stdout.strip()
    print("machine: %d cores, load %s before and %s after; %s, %s program (%s)" % (
        os.cpu_count(), " ".join(load_before), " ".join(load_after), wine_version,
        "32-bit" if arch == "win32" else "64-bit", os.path.basename(args.zip)))
    print()
    print("ping against a responder that answers after a delay (%d queries each; error = |ping - delay|, ms;"
          " p95: 95th percentile)"
          % args.queries)
    print("  delay | Velmora median  error med  p95  max | quakestat median  error med  p95  max")
    for delay, shown, stat in rows:
        vm, v95, vx = errors(shown, delay)
        line = "  %5d | %14.0f  %9.1f %4.0f %4.0f |" % (delay, statistics.median(shown), vm, v95, vx)
        if stat:
            qm, q95, qx = errors(stat, delay)
            line += " %16.0f  %9.1f %4.0f %4.0f" % (statistics.median(stat), qm, q95, qx)
        else:
            line += " quakestat gave no answer"
        print(line)
    print()
    print("processor time while a query window waits out its time-out (%d waits of %.2f s; %% of one core):"
          % (args.timeouts, timeout_wait))
    print("  Velmora query window         program %.2f %%, wineserver %.2f %%, together %.2f %%" % (
        timeout_program, timeout_server, timeout_program + timeout_server))
    print("  floor: the same frames alone program %.2f %%, wineserver %.2f %%, together %.2f %%" % (
        floor_program, floor_server, floor_program + floor_server))
    print("  (the floor: a plain window whose 105 x 105 picture changes 10 times a second and a tray icon"
          " changing 5 times a second)")
    print()
    hand = figures(handoff_out, "handoff")
    atom = figures(handoff_out, "floor")
    shown = figures(handoff_out, "floorwindow")
    print("hand-off, start of a second copy until the query window is visible (%d each, ms):" % args.handoffs)
    print("  Velmora hand-off                    median %6.0f  largest %6.0f  (%.2f x the window floor)" % (
        statistics.median(hand), max(hand), statistics.median(hand) / statistics.median(shown)))
    print("  floor: find window + atom           median %6.0f  largest %6.0f" % (
        statistics.median(atom), max(atom)))
    print("  floor: + receiver shows a window    median %6.0f  largest %6.0f" % (
        statistics.median(shown), max(shown)))
    print("  where it goes (medians, ms; the running copy's steps timed in one process):")
    for tag, what in (("second-start", "second copy: start until it asks the running copy"),
                      ("second-search", "second copy: window search"),
                      ("second-send", "second copy: atom and send"),
                      ("second-exit", "second copy: end after the send"),
                      ("running-history", "running copy: history write"),
                      ("running-menu", "running copy: menu rebuild"),
                      ("running-window", "running copy: query window made, shown (and painted)"),
                      ("running-paint", "running copy: then until its first paint")):
        values = figures(breakdown_out, tag)
        print("    %-48s %7.2f" % (what, statistics.median(values) if values else float("nan")))
    print()
    per_window = figures(windows_out, "windows-kib")
    per_plain = figures(windows_out, "plain-kib")
    print("resident memory per open window (%d open at once, KiB each):" % args.windows)
    print("  query window waiting         %8.1f" % per_window[0])
    print("  floor: plain window          %8.1f" % per_plain[0])
    print()
    loads = {}
    for line in plugins_out.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "load":
            loads.setdefault(parts[2], []).append(float(parts[1]))
    print("loading and unloading a plug-in (10 each, ms):")
    for name, values in loads.items():
        label = "floor: one-export DLL" if name.lower() == "floor.dll" else name
        print("  %-28s median %6.2f  largest %6.2f" % (label, statistics.median(values), max(values)))
    print()
    print("idle for %d s (processor time, ms; resident memory, KiB):" % args.idle_seconds)
    print("  %-24s %8s %11s %13s %9s" % ("", "program", "wineserver", "explorer.exe", "resident"))
    print("  %-24s %8.0f %11.0f %13.0f %9d" % ("velmora.exe in the tray", *tray))
    print("  %-24s %8.0f %11.0f %13.0f %9d" % ("minimal windowed program", *floor))
    print("  (explorer.exe is Wine's desktop and notification area)")
    print()
    print("release %s (%d bytes):" % (os.path.basename(sized), os.path.getsize(sized)))
    for name, size in sizes:
        print("  %-24s %9d" % (name, size))
    if exe_floor:
        ran = os.path.getsize(velmora)
        print("  velmora.exe of the %s program measured above: %d, beside a minimal windowed program "
              "of the same build: %d" % ("32-bit" if arch == "win32" else "64-bit", ran, exe_floor))


if __name__ == "__main__":
    main()
