#!/usr/bin/env python3
"""The tray's status watcher over time: velmora.exe watching 20 loopback
servers (half answering with a recorded status reply, half silent) at a
1-minute interval. Prints the processor time of the program and of the
wineserver per hour of watching, the datagrams sent per hour and the
resident memory at the start and at the end. Figures only; nothing passes
or fails.

  watch_bench.py --build build/win64 --wine-run cmake/wine-run.sh [--arch win64] [--minutes 5]

The program runs from the build's bin/ with its plug-ins, in a Wine prefix of
its own (BUILD/watchbench/wineprefix), with the history of two games (the
QuakeWorld and OpenArena plug-ins, ten servers each) and "watch" set to "1".
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import bench  # noqa: E402  (the process and time readings of the main benchmark)

CAPTURES = os.path.join(HERE, "..", "tests", "plugins", "captures")
ROOT = r"HKCU\software\Drovik\Velmora"


class Server:
    """One UDP port on 127.0.0.1 that counts the datagrams it gets and,
    with a reply, answers each one."""

    def __init__(self, reply=None):
        self.reply = reply
        self.count = 0
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.settimeout(0.2)
        self.port = self.sock.getsockname()[1]
        self.stopping = False
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while not self.stopping:
            try:
                _, peer = self.sock.recvfrom(2048)
            except (socket.timeout, ConnectionRefusedError):
                continue
            self.count += 1
            if self.reply:
                self.sock.sendto(self.reply, peer)

    def close(self):
        self.stopping = True
        self.thread.join()
        self.sock.close()


def reg(wine, *args):
    wine.run(r"C:\windows\system32\reg.exe", *args)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--wine-run", required=True)
    ap.add_argument("--arch", default="win64")
    ap.add_argument("--minutes", type=float, default=5)
    args = ap.parse_args()

    work = os.path.join(os.path.abspath(args.build), "watchbench")
    os.environ["VELMORA_WINE_PERSIST"] = str(int(args.minutes * 60) + 300)
    wine = bench.Wine(args.wine_run, os.path.join(work, "wineprefix"))
    wine.base.insert(1, "--arch=" + args.arch)
    if os.path.isdir(wine.prefix):
        wine.stop()
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    replies = {
        "qws": open(os.path.join(CAPTURES, "qw-players", "status.bin"), "rb").read(),
        "oa": open(os.path.join(CAPTURES, "q3-players", "getstatus.bin"), "rb").read(),
    }
    servers = {game: [Server(reply if k % 2 == 0 else None) for k in range(10)] for game, reply in replies.items()}

    # The settings root key exists (no first-run greeting); each game's
    # history lists its ten servers; "watch" is one minute.
    reg(wine, "add", ROOT, "/ve", "/d", "The Velmora by Drovik.", "/f")
    reg(wine, "add", ROOT, "/v", "watch", "/d", "1", "/f")
    reg(wine, "add", ROOT, "/v", "notify", "/d", "1", "/f")
    for game, ports in servers.items():
        history = "".join("127.0.0.1:%d," % s.port for s in ports)
        reg(wine, "add", ROOT + "\\" + game, "/v", "history", "/d", history, "/f")

    exe = os.path.join(os.path.abspath(args.build), "bin", "velmora.exe")
    started = wine.start(exe)
    # This prefix's program: other Wine sessions may run a velmora.exe too.
    pid = None
    for _ in range(300):
        pid = bench.session_process(wine.prefix, lambda argv: argv[0].lower().endswith(b"velmora.exe"))
        if pid:
            break
        time.sleep(0.1)
    if not pid:
        sys.exit("watch_bench: velmora.exe did not start")
    time.sleep(5)  # start-up and the first round
    watched = [pid, bench.find_wineserver(wine.prefix)]
    rss_start = bench.rss_kib(pid)
    sent_start = sum(s.count for ss in servers.values() for s in ss)
    before = [bench.cpu_ms(p) for p in watched]
    seconds = args.minutes * 60
    time.sleep(seconds)
    after = [bench.cpu_ms(p) for p in watched]
    sent = sum(s.count for ss in servers.values() for s in ss) - sent_start
    rss_end = bench.rss_kib(pid)
    os.kill(pid, 9)
    started.wait(timeout=30)
    wine.stop()
    for ss in servers.values():
        for s in ss:
            s.close()

    per_hour = 3600.0 / seconds
    program, server = (bench.spent(b, a) for b, a in zip(before, after))
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    print("watching 20 loopback servers (10 answering, 10 silent) at a 1-minute interval for %.1f min (load %s):"
          % (args.minutes, load))
    print("  processor time per hour: program %.0f ms, wineserver %.0f ms, together %.0f ms" % (
        program * per_hour, server * per_hour, (program + server) * per_hour))
    print("  datagrams sent per hour: %.0f (%d in %.1f min)" % (sent * per_hour, sent, args.minutes))
    print("  resident memory: %d KiB after start-up, %d KiB at the end (growth %+d KiB)" % (
        rss_start, rss_end, rss_end - rss_start))


if __name__ == "__main__":
    main()
