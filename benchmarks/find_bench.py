#!/usr/bin/env python3
""""Find a game" against 1,000 loopback servers, beside quakestat asking the
same master and servers in the same run (scripts/bench.sh).

  find_bench.py --build BUILD --zip RELEASE.zip --wine-run cmake/wine-run.sh --work DIR
                [--servers 1000] [--handoffs 10]

A responder farm (one process, one UDP socket per address on 127.0.x.y, x
and y from 1, all on one port) answers each "getstatus" with a recorded
status reply of tests/plugins/captures (its name, map and players varied per
server; quakestat asks "getinfo", answered alike with the recorded info
reply) after a delay of its own, spread evenly from 5 to 300 ms over the
servers in a shuffled order. The farm notes, per datagram, when the kernel
received it and when the answer went, so every server's true delay is
known to the microsecond. The project's master stand-in
(tests/fixtures/masters/masterstandin.py) lists the farm as Quake III
servers.

Velmora (the release's velmora.exe with the Quake III plug-in alone, in a
Wine prefix of its own) gets the stand-in as the game's "masters" and is
asked "/find q3a" by a second copy; velmora_find_bench.exe (beside the
benchmark programs) reads the window's status line until it says all is
done, then copies the list's rows (Ctrl+A, Ctrl+C) and gives the hand-off
times of a second copy given a link, during a refresh and idle. Printed:
  - the time from starting "/find" until every server answered or timed
    out, and quakestat's for the same master (its own default queries);
  - the ping error |ping - true delay| (median, 95th percentile, largest)
    of both;
  - processor time of velmora.exe and of the wineserver during the refresh,
    and the share of it that reading the status line every 10 ms costs;
  - resident memory of velmora.exe with the rows, against before the window
    opened;
  - a hand-off during a refresh against one while idle;
each beside its aim. Figures only: nothing passes or fails on a number.

The farm is a process of its own, this script's "farm" command
(find_bench.py farm --servers N --out FILE), so reading the Wine session
never holds up an answer.

Loopback only: the farm binds 127.0.x.y, the master 127.0.0.1, and the
program has no plug-in but Quake III's, whose masters are the stand-in.
"""
import argparse
import heapq
import json
import os
import random
import re
import resource
import select
import shutil
import signal
import socket
import statistics
import struct
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import bench  # noqa: E402  (Wine, the process and time readings of the main benchmark)

SOURCE = os.path.dirname(HERE)
CAPTURES = os.path.join(SOURCE, "tests", "plugins", "captures")
MASTER_STANDIN = os.path.join(SOURCE, "tests", "fixtures", "masters", "masterstandin.py")
ROOT = r"HKCU\software\Drovik\Velmora"
GAME_ID = "q3a"  # the Quake III plug-in's id, and its settings key
OOB = b"\xff\xff\xff\xff"
DELAY_MIN_MS, DELAY_MAX_MS = 5, 300
SO_TIMESTAMPNS = getattr(socket, "SO_TIMESTAMPNS", 35)  # Linux: the kernel's receive time in ns
DONE = re.compile(r"^(\d+) servers, (\d+) answered, (\d+) players$")

# ---- the responder farm ----------------------------------------------------

MAPS = ["oa_dm1", "oa_dm2", "oa_dm3", "oa_dm4", "oa_dm5", "oa_ctf2", "oa_rpg3dm2", "am_galmevish"]
BOTS = ["Sarge", "Angelyss", "Grism", "Major", "Kyonshi", "Tony", "Gargoyle", "Liz", "Penguin", "Merman"]
WORDS = ["Frag", "Rail", "Arena", "Night", "Old School", "Instagib", "Pub", "Duel", "Clan", "Rocket"]


def farm_address(i):
    """The i-th server's address: 127.0.1.1 onwards, 250 to a third byte."""
    return "127.0.%d.%d" % (1 + i // 250, 1 + i % 250)


def farm_servers(count):
    """Each server's address, delay (ms), name, map, players and reply.
    The delays are spread evenly over 5..300 ms and dealt out in a fixed
    shuffled order, so slow and quick servers mix in the list."""
    delays = [DELAY_MIN_MS + (DELAY_MAX_MS - DELAY_MIN_MS) * k / max(1, count - 1) for k in range(count)]
    random.Random(1000).shuffle(delays)
    def recorded(folder, name):
        with open(os.path.join(CAPTURES, folder, name), "rb") as f:
            return f.read()

    def vary(info, key, value):
        return re.sub(rb"\\" + key + rb"\\[^\\]*", lambda _: b"\\" + key + b"\\" + value, info)

    servers = []
    for i in range(count):
        players = (i * 7) % 9  # 0..8 of sv_maxclients 8
        name = ("%s %s #%d" % (WORDS[i % len(WORDS)], WORDS[(i // len(WORDS)) % len(WORDS)], i + 1)).encode()
        game_map = MAPS[i % len(MAPS)].encode()
        folder = "q3-players" if players else "q3-empty"
        head, rest = recorded(folder, "getstatus.bin").split(b"\n", 1)
        info = vary(vary(rest.split(b"\n", 1)[0], b"sv_hostname", name), b"mapname", game_map)
        lines = b"".join(b'%d %d "%s"\n' % ((i + k) % 30, 0, BOTS[(i + k) % len(BOTS)].encode())
                         for k in range(players))
        status = head + b"\n" + info + b"\n" + lines
        # quakestat asks getinfo first: its recorded answer, varied alike.
        head, rest = recorded(folder, "getinfo.bin").split(b"\n", 1)
        info = vary(vary(vary(rest.split(b"\n", 1)[0], b"hostname", name), b"mapname", game_map), b"clients",
                    b"%d" % players)
        servers.append({"address": farm_address(i), "delay": delays[i], "name": name.decode(),
                        "map": game_map.decode(), "players": players,
                        "replies": {b"getstatus": status, b"getinfo": head + b"\n" + info}})
    return servers


def bind_farm(servers):
    """One socket per server, all on one port: the first address takes a
    free port, the others the same (tried again on another port when one of
    them is taken)."""
    for _ in range(20):
        socks = []
        try:
            for s in servers:
                sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                socks.append(sock)
                sock.bind((s["address"], socks[0].getsockname()[1] if len(socks) > 1 else 0))
                sock.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
                sock.setblocking(False)
            return socks
        except OSError:
            for sock in socks:
                sock.close()
    sys.exit("farm: no port free on every address")


def farm_main(argv):
    ap = argparse.ArgumentParser(prog="find_bench.py farm")
    ap.add_argument("--servers", type=int, required=True)
    ap.add_argument("--out", required=True, help="the answers' times, written at the end (JSON)")
    a = ap.parse_args(argv)
    servers = farm_servers(a.servers)
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft != resource.RLIM_INFINITY and soft < a.servers + 64:
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(a.servers + 64, hard), hard))
    socks = bind_farm(servers)
    port = socks[0].getsockname()[1]
    by_fd = {sock.fileno(): i for i, sock in enumerate(socks)}
    poller = select.epoll(len(socks))
    for sock in socks:
        poller.register(sock.fileno(), select.EPOLLIN)
    answers = [[] for _ in servers]  # [peer, received ns, answered ns]
    due = []  # (due ns, sequence, server, peer, received ns)
    sequence = 0
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    # A benchmark that died leaves no farm behind for long.
    signal.signal(signal.SIGALRM, lambda *_: stop.append(1))
    signal.alarm(3600)
    print("farm %d" % port, flush=True)
    space = socket.CMSG_SPACE(16)
    while not stop:
        now = time.time_ns()
        wait = 0.5 if not due else max(0.0, (due[0][0] - now) / 1e9)
        try:
            events = poller.poll(wait)
        except InterruptedError:
            continue
        for fd, _ in events:
            i = by_fd[fd]
            while True:
                try:
                    data, ancillary, _, peer = socks[i].recvmsg(2048, space)
                except (BlockingIOError, ConnectionRefusedError):
                    break
                received = time.time_ns()
                for level, kind, value in ancillary:
                    if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS and len(value) >= 16:
                        sec, nsec = struct.unpack("qq", value[:16])
                        received = sec * 1_000_000_000 + nsec
                asked = data[4:].split(b"\n", 1)[0].split(b" ", 1)[0] if data.startswith(OOB) else b""
                if asked not in servers[i]["replies"]:
                    continue
                sequence += 1
                heapq.heappush(due, (received + int(servers[i]["delay"] * 1e6), sequence, i, peer, received, asked))
        now = time.time_ns()
        while due and due[0][0] <= now:
            _, _, i, peer, received, asked = heapq.heappop(due)
            answered = time.time_ns()
            try:
                socks[i].sendto(servers[i]["replies"][asked], peer)
            except OSError:
                continue
            answers[i].append(["%s:%d" % peer, received, answered, asked.decode()])
            now = time.time_ns()
    with open(a.out, "w") as f:
        json.dump([{"address": "%s:%d" % (s["address"], port), "delay": s["delay"], "players": s["players"],
                    "answers": answers[i]} for i, s in enumerate(servers)], f)
    return 0


class Farm:
    def __init__(self, servers, out):
        self.out = out
        self.process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "farm", "--servers", str(servers),
                                         "--out", out], stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline().split()
        if len(line) != 2 or line[0] != "farm":
            sys.exit("find_bench: the farm did not start")
        self.port = int(line[1])

    def finish(self):
        """Ends the farm; each server's address, nominal delay, players and answers."""
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=30)
        with open(self.out) as f:
            return json.load(f)


def server_phase(farm_log, start_ns, end_ns):
    """Milliseconds from the first status query the farm got between the two
    times to the last answer it sent: the servers' part of a refresh."""
    times = [a for s in farm_log for a in s["answers"] if start_ns <= a[1] <= end_ns]
    if not times:
        return float("nan")
    return (max(a[2] for a in times) - min(a[1] for a in times)) / 1e6


def true_delays(farm_log, start_ns, end_ns):
    """Per server address, the true delay (ms) of the answers whose query
    arrived between the two times (the first answer's; a server asked again
    counts in `again`)."""
    truth, again = {}, 0
    for s in farm_log:
        within = [a for a in s["answers"] if start_ns <= a[1] <= end_ns]
        if within:
            truth[s["address"]] = (within[0][2] - within[0][1]) / 1e6
            again += len(within) > 1
    return truth, again


# ---- the master stand-in and quakestat -------------------------------------

class MasterStandin:
    def __init__(self, farm_log_servers, port, work):
        listing = os.path.join(work, "farm-servers.txt")
        with open(listing, "w") as f:
            for s in farm_log_servers:
                f.write("q3 %s:%d\n" % (s["address"], port))
        self.process = subprocess.Popen([sys.executable, MASTER_STANDIN, "--address", "127.0.0.1", "--port", "0",
                                         "--list", listing, "--seconds", "3600"], stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline().split()
        if len(line) != 2 or line[0] != "listening":
            sys.exit("find_bench: the master stand-in did not start")
        self.address = line[1]

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)


def quakestat(master):
    """quakestat asking the master and then every server it lists, with its
    own default queries (a server is asked "getinfo"): the wall time (ms),
    the number of servers it read off the master and each server's ping."""
    start = time.monotonic()
    done = subprocess.run(["quakestat", "-json", "-q3m,68", master], capture_output=True, text=True, timeout=600)
    took = (time.monotonic() - start) * 1000.0
    pings, listed = {}, 0
    try:
        for entry in json.loads(done.stdout):
            if entry.get("protocol") == "q3m":
                listed = entry.get("servers", 0)
            if entry.get("protocol") == "q3s" and entry.get("status") == "online" \
                    and isinstance(entry.get("ping"), (int, float)):
                pings[entry["address"]] = float(entry["ping"])
    except ValueError:
        sys.exit("find_bench: quakestat's output is not JSON:\n" + done.stdout[:2000] + done.stderr[:2000])
    return took, listed, pings


def errors(pairs):
    """Median, 95th percentile (nearest rank) and largest of |ping - truth|."""
    errs = sorted(abs(p - t) for p, t in pairs)
    if not errs:
        return float("nan"), float("nan"), float("nan")
    return statistics.median(errs), errs[max(0, -(-95 * len(errs) // 100) - 1)], errs[-1]


def bias(pairs):
    """The median of ping - truth: above 0 when pings read long."""
    return statistics.median(p - t for p, t in pairs) if pairs else float("nan")


# ---- the run ---------------------------------------------------------------

def helper_lines(wine, helper, *args):
    """velmora_find_bench.exe's lines as they come (a generator); it must end with 0."""
    run = subprocess.Popen(wine.base + [helper] + list(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, text=True)
    for line in run.stdout:
        yield line.rstrip("\r\n")
    if run.wait() != 0:
        sys.exit("find_bench: velmora_find_bench %s ended with %d\n%s" % (args[0], run.returncode,
                                                                         run.stderr.read()[-2000:]))


def refresh(wine, helper, exe, watched):
    """One "/find" until the status line says all is done: the helper's
    times and the processor time (ms) of each watched process meanwhile."""
    before = after = None
    marks, status, begun_ns, done_ns = {}, None, 0, 0
    for line in helper_lines(wine, helper, "refresh", exe, GAME_ID):
        word, _, rest = line.partition(" ")
        if word == "begin":
            before = [bench.cpu_ms(p) for p in watched]
            begun_ns = time.time_ns()
        elif word == "status" and "shown_kib" not in marks:
            marks["shown_kib"] = bench.rss_kib(watched[0])  # the window up, no row yet
        elif word == "done":
            after = [bench.cpu_ms(p) for p in watched]
            done_ns = time.time_ns()
            ms, _, status = rest.partition(" ")
            marks["done"] = float(ms)
        elif word in ("window", "servers"):
            marks[word] = float(rest.split()[0])
    if before is None or after is None:
        sys.exit("find_bench: the refresh was not seen to end")
    return marks, status, [bench.spent(b, a) for b, a in zip(before, after)], begun_ns, done_ns


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "farm":
        return farm_main(sys.argv[2:])
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="the Windows build whose benchmarks/ holds velmora_find_bench.exe")
    ap.add_argument("--zip", required=True, help="the release zip whose program runs")
    ap.add_argument("--wine-run", required=True)
    ap.add_argument("--work", required=True, help="a scratch folder (emptied)")
    ap.add_argument("--servers", type=int, default=1000)
    ap.add_argument("--handoffs", type=int, default=10)
    args = ap.parse_args()
    if not 1 <= args.servers <= 250 * 250:
        sys.exit("find_bench: --servers from 1 to 62500")

    work = os.path.abspath(args.work)
    os.environ["VELMORA_WINE_PERSIST"] = "900"
    wine = bench.Wine(args.wine_run, os.path.join(work, "wineprefix"))
    if os.path.isdir(wine.prefix):
        wine.stop()
    shutil.rmtree(work, ignore_errors=True)
    program = os.path.join(work, "program")
    os.makedirs(os.path.join(program, "plugins"))
    with zipfile.ZipFile(args.zip) as z:
        for name in ("velmora.exe", "plugins/quake3.vlm"):
            with z.open(name) as src, open(os.path.join(program, name), "wb") as dst:
                shutil.copyfileobj(src, dst)
    exe = os.path.join(program, "velmora.exe")
    helper = os.path.join(args.build, "benchmarks", "velmora_find_bench.exe")

    with open("/proc/loadavg") as f:
        load_before = f.read().split()[:3]
    farm = Farm(args.servers, os.path.join(work, "farm.json"))
    layout = farm_servers(args.servers)
    master = velmora = pid = None
    try:
        master = MasterStandin(layout, farm.port, work)
        # The settings root (no first-run greeting), no watching, and the
        # stand-in as the game's only master.
        for value in (["/ve", "/d", "The Velmora by Drovik."], ["/v", "watch", "/d", "0"]):
            wine.run(r"C:\windows\system32\reg.exe", "add", ROOT, *value, "/f")
        wine.run(r"C:\windows\system32\reg.exe", "add", ROOT + "\\" + GAME_ID, "/v", "masters", "/d", master.address,
                 "/f")

        velmora = wine.start(exe)
        for _ in range(300):
            pid = bench.session_process(wine.prefix, lambda argv: argv[0].lower().endswith(b"velmora.exe"))
            if pid:
                break
            time.sleep(0.1)
        if not pid:
            sys.exit("find_bench: velmora.exe did not start")
        list(helper_lines(wine, helper, "wait"))
        time.sleep(3)  # start-up done: plug-in loaded, tray icon added
        watched = [pid, bench.find_wineserver(wine.prefix)]

        # Velmora's refresh, alone on the machine's loopback.
        rss_before = bench.rss_kib(pid)
        marks, status, cpu, v_start, v_end = refresh(wine, helper, exe, watched)
        rss_after = bench.rss_kib(pid)
        rows, way = [], "?"
        for line in helper_lines(wine, helper, "rows"):
            if line.startswith("row "):
                rows.append(line[4:].split("\t"))
            elif line.startswith("way "):
                way = line[4:]
        poll_before = [bench.cpu_ms(p) for p in watched]
        poll_seconds = marks["done"] / 1000.0
        list(helper_lines(wine, helper, "poll", "%.3f" % poll_seconds))
        poll_cpu = [bench.spent(b, a) for b, a in zip(poll_before, [bench.cpu_ms(p) for p in watched])]

        # quakestat, the same master and servers.
        q_start = time.time_ns()
        q_took, q_listed, q_pings = quakestat(master.address)
        q_end = time.time_ns()

        # Hand-offs: idle, then while refreshes run.
        link = "%s %s" % (layout[0]["address"] + ":%d" % farm.port, GAME_ID)
        idle = [float(line.split()[1]) for line in helper_lines(wine, helper, "handoff", exe, link,
                                                                 str(args.handoffs))
                if line.startswith("handoff ")]
        during, refreshes = [], 0
        for line in helper_lines(wine, helper, "handoff-during", exe, link, str(args.handoffs), GAME_ID):
            if line.startswith("handoff "):
                during.append(float(line.split()[1]))
            elif line.startswith("refreshes "):
                refreshes = int(line.split()[1])
        rss_end = bench.rss_kib(pid)
    finally:
        if velmora:
            if pid:
                os.kill(pid, 9)
            velmora.wait(timeout=30)
        wine.stop()
        if master:
            master.stop()
        farm_log = farm.finish()
    with open("/proc/loadavg") as f:
        load_after = f.read().split()[:3]

    # ---- figures ----
    v_truth, v_again = true_delays(farm_log, v_start, v_end)
    q_truth, q_again = true_delays(farm_log, q_start, q_end)
    copied = {}
    for r in rows:
        if len(r) >= 6:
            copied[r[5]] = r
    v_pairs = [(float(r[4]), v_truth[a]) for a, r in copied.items() if r[4].isdigit() and a in v_truth]
    v_noanswer = sum(1 for r in copied.values() if r[4] == "no answer")
    q_pairs = [(p, q_truth[a]) for a, p in q_pings.items() if a in q_truth]
    lateness = [t - s["delay"] for s in farm_log for t in [v_truth.get(s["address"])] if t is not None]
    done = DONE.match(status or "")
    players = sum(s["players"] for s in farm_log)

    arch = os.environ.get("VELMORA_WINE_ARCH", "win32")
    loader = "wine" if arch == "win32" else "/usr/lib/wine/wine64"
    wine_version = subprocess.run([loader, "--version"], capture_output=True, text=True).stdout.strip()
    print("machine: %d cores, load %s before and %s after; %s, %s program (%s)" % (
        os.cpu_count(), " ".join(load_before), " ".join(load_after), wine_version,
        "32-bit" if arch == "win32" else "64-bit", os.path.basename(args.zip)))
    print("%d loopback servers (127.0.x.y, one port), each answering getstatus after its own delay, %d to %d ms;"
          " %d players in all; farm answered %.2f ms late on median (the true delay is the one measured)"
          % (len(farm_log), DELAY_MIN_MS, DELAY_MAX_MS, players,
             statistics.median(lateness) if lateness else float("nan")))
    print()
    print("status line at the end: %s" % status)
    if done:
        print("  (%s rows listed, %s answered, %s players; the farm has %d servers and %d players)"
              % (done.group(1), done.group(2), done.group(3), len(farm_log), players))
    print("rows copied from the list (%s): %d, %d with a ping, %d \"no answer\"; servers asked twice: %d"
          % (way, len(copied), len(v_pairs), v_noanswer, v_again))
    print()
    print("time until every server answered or timed out (ms):")
    print("  Velmora \"/find\" started until the status line says all is done  %7.0f   aim: no more than quakestat's"
          " (%.2f x)" % (marks["done"], marks["done"] / q_took))
    print("    until the window showed %.0f, until the masters were done %.0f; the servers alone (the farm's"
          " first query to its last answer) %.0f" % (marks.get("window", float("nan")),
                                                     marks.get("servers", float("nan")),
                                                     server_phase(farm_log, v_start, v_end)))
    print("  quakestat -q3m,68, from its start to its end                   %7.0f   (%d servers read off the master,"
          " %d with a ping; servers asked twice: %d)" % (q_took, q_listed, len(q_pairs), q_again))
    print("    the servers alone (the farm's first query to its last answer) %.0f"
          % server_phase(farm_log, q_start, q_end))
    print()
    print("ping error |ping - true delay| (ms):       median   p95   largest   ping - delay, median")
    vm, v95, vx = errors(v_pairs)
    qm, q95, qx = errors(q_pairs)
    print("  Velmora                                 %6.1f %5.0f %9.0f %+12.1f   aim: median <= 1, p95 <= 3"
          % (vm, v95, vx, bias(v_pairs)))
    print("  quakestat                               %6.1f %5.0f %9.0f %+12.1f" % (qm, q95, qx, bias(q_pairs)))
    print()
    seconds = marks["done"] / 1000.0
    print("processor time during the refresh (%.2f s; ms, and %% of one core):" % seconds)
    print("  velmora.exe %7.0f (%5.1f %%)   wineserver %7.0f (%5.1f %%)" % (
        cpu[0], cpu[0] / seconds / 10.0, cpu[1], cpu[1] / seconds / 10.0))
    print("  of which reading the status line every 10 ms costs about: velmora.exe %.0f, wineserver %.0f"
          " (the same reading of the finished window for as long)" % (poll_cpu[0], poll_cpu[1]))
    print()
    grown = rss_after - rss_before
    print("resident memory of velmora.exe (KiB): before the window opened %d, with the %d rows %d: %+d"
          "   aim: at most 2048" % (rss_before, len(copied), rss_after, grown))
    print("  of which the window before its first row (read at its first status line): %+d, the rows: %+d"
          % (marks["shown_kib"] - rss_before, rss_after - marks["shown_kib"]))
    print("  after %d more refreshes and %d hand-offs: %d" % (refreshes, len(idle) + len(during), rss_end))
    print()
    print("hand-off, start of a second copy given a link until the query window is visible (ms):")
    if idle and during:
        ratio = statistics.median(during) / statistics.median(idle)
        print("  idle                       %2d  median %6.0f  largest %6.0f" % (len(idle), statistics.median(idle),
                                                                             max(idle)))
        print("  while a refresh runs       %2d  median %6.0f  largest %6.0f   %.2f x idle   aim: within 1.3 x"
              % (len(during), statistics.median(during), max(during), ratio))
    else:
        print("  not measured (idle %d, during %d)" % (len(idle), len(during)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
