#!/usr/bin/env python3
"""The plug-ins' master lists from a master that real servers registered with.

    master_standin_test.py --port-base N (--decodetool PATH |
                           --vlmdecode PATH --plugins DIR --wine-run CMD...)

Starts the master stand-in (tests/fixtures/masters/masterstandin.py) on
127.0.0.1 with lists of its own (QuakeWorld and Quake II servers given on its
command line and in a list file, 300 made-up Quake III servers), then real
OpenArena (ioq3ded), DarkPlaces and QuakeWorld (mvdsv) servers told to
register with it, and waits until each has (heartbeat, the master's getinfo,
the server's infoResponse). For every reference game it asks the stand-in
with the query the plug-in hands over (getmastersendstr, sent with its zero
byte), keeps every datagram of the answer, and reads them with the plug-in's
decodemaster (natively with decodetool, or through the built .vlm under Wine
with vlmdecode): each game must list exactly its own servers, the real ones
among them, with the end of the list where the stand-in put it.

Everything stays on 127.0.0.1; the made-up addresses are only data. Exit
status: 0 all passed, 1 a failure, 77 (skip) when a kind of real server is not
installed (the cases that can run are run first).
"""
import argparse
import os
import queue
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

SOURCE = os.environ.get('VELMORA_SOURCE') or os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
sys.path.insert(0, os.path.join(SOURCE, 'tests', 'fixtures', 'servers'))
import gameservers  # noqa: E402

STANDIN = os.path.join(SOURCE, 'tests', 'fixtures', 'masters', 'masterstandin.py')
SKIP = 77
OOB = b'\xff\xff\xff\xff'
LOOPBACK = '127.0.0.1'
# The master's own loopback address, as a real one has an address of its own:
# ioq3 answers at most ten queries a second from one address, and the status
# queries that wait for a server to come up could use them all up before the
# master's getinfo came (the stand-in also asks again, for ioq3's limit on
# all addresses together).
MASTER_HOST = '127.0.0.2'


class Tool:
    """decodetool --master GAME, or vlmdecode --master PLUGIN under Wine."""

    def __init__(self, args):
        self.args = args

    def run(self, game, path=None):
        a = self.args
        if a.decodetool:
            argv = [a.decodetool, '--master', game] + ([path] if path else [])
        else:
            def win(p):
                return 'Z:' + os.path.abspath(p).replace('/', '\\')
            argv = a.wine_run + [a.vlmdecode, '--master', win(os.path.join(a.plugins, game + '.vlm'))]
            argv += [win(path)] if path else []
        out = subprocess.run(argv, capture_output=True, timeout=120)
        if out.returncode != 0:
            raise RuntimeError('%s failed (%d): %s' % (argv[0], out.returncode, out.stderr.decode(errors='replace')))
        listed = {'datagrams': [], 'entries': []}
        for line in out.stdout.decode('latin-1').replace('\r', '').splitlines():
            key, _, value = line.partition('=')
            if key == 'datagram':
                fields = dict(w.split('=') for w in line.split())
                listed['datagrams'].append((int(fields['count']), int(fields['last'])))
            elif key == 'entry':
                listed['entries'].append(value)
            else:
                listed[key] = value
        return listed


class StandIn:
    """The stand-in as a process of its own; its lines come through a queue."""

    def __init__(self, host, port, argv, seconds=120):
        self.address = (host, port)
        argv = [sys.executable, STANDIN, '--address', host, '--port', str(port), '--seconds', str(seconds)] + argv
        self.process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, start_new_session=True,
                                        preexec_fn=gameservers.end_with_parent)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.process.stdout:
            self.lines.put(line.decode('latin-1').rstrip('\n'))
        self.lines.put(None)

    def wait_for(self, line, seconds):
        """Until the stand-in prints `line`; false when it does not in time."""
        deadline = time.monotonic() + seconds
        while line not in self.seen:
            try:
                got = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return False
            if got is None:
                return False
            self.seen.append(got)
        return True

    def ask(self, query):
        """Every datagram of the answer to `query`: one, or for the Quake III
        form up to the one that ends the list."""
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            s.bind((LOOPBACK, 0))
            s.settimeout(3.0)
            s.sendto(query, self.address)
            datagrams = []
            while True:
                data, _ = s.recvfrom(65535)
                datagrams.append(data)
                if not data.startswith(OOB + b'getserversResponse') or data.endswith(b'\\EOT\0\0\0'):
                    return datagrams
        finally:
            s.close()

    def stop(self):
        gameservers.end_process(self.process)


def write_datagrams(path, datagrams):
    with open(path, 'wb') as f:
        for d in datagrams:
            f.write(struct.pack('>I', len(d)) + d)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--port-base', type=int, required=True)
    ap.add_argument('--decodetool')
    ap.add_argument('--vlmdecode')
    ap.add_argument('--plugins')
    ap.add_argument('--wine-run', nargs=argparse.REMAINDER, default=[])
    args = ap.parse_args()
    # ctest's time-out: end like an error, so every server is stopped
    signal.signal(signal.SIGTERM, lambda *_: sys.exit('terminated'))
    tool = Tool(args)
    work = tempfile.mkdtemp(prefix='velmora-masters-')
    failures, skipped, passed = [], [], 0
    base = args.port_base
    master_port = 27750 + base
    master = '%s:%d' % (MASTER_HOST, master_port)
    # (kind, port, plug-in reading its list, the line the stand-in prints when it registers)
    real = [('q3', 27760 + base, 'openarena', 'Quake3Arena/71'),
            ('nq', 26170 + base, 'quake', 'DarkPlaces-Quake/3'),
            ('qw', 27770 + base, 'quakeworld', 'qw')]
    made_up = ['10.0.%d.%d:27960' % (i >> 8, i & 0xFF) for i in range(300)]
    listfile = os.path.join(work, 'servers.txt')
    with open(listfile, 'w') as f:
        f.write('# one server a line: GAME ADDRESS\nqw 10.1.0.2:27501\n\nq2 10.2.0.2:27911  # a comment\n')
    # per game: its servers, and per datagram (entries, end of the list)
    expected = {
        'openarena': ([], None),
        'quake': ([], None),
        'quake3': (made_up, [(196, 0), (104, 1)]),  # the end only in the second
        'quakeworld': (['10.1.0.1:27500', '10.1.0.2:27501'], None),
        'quake2': (['10.2.0.1:27910', '10.2.0.2:27911'], None),
    }
    standin, servers = None, []
    try:
        standin = StandIn(MASTER_HOST, master_port, ['--server', 'qw', '10.1.0.1:27500', '--server', 'q2', '10.2.0.1:27910',
                                        '--list', listfile, '--many', 'q3', '300'])
        if not standin.wait_for('listening %s' % master, 10):
            raise RuntimeError('the stand-in did not start: %s' % standin.seen)
        for kind, port, game, registers in real:
            label = 'a real %s server on port %d' % (kind, port)
            if gameservers.missing(kind):
                skipped.append('%s: not installed: %s' % (label, ' '.join(gameservers.missing(kind))))
                expected.pop(game)
                continue
            try:
                servers.append(gameservers.start(kind, os.path.join(work, kind), port, master=master))
                if not standin.wait_for('registered %s %s:%d' % (registers, LOOPBACK, port), 20):
                    raise RuntimeError('did not register with the stand-in; it printed %s' % standin.seen)
                expected[game][0].append('%s:%d' % (LOOPBACK, port))
            except Exception as e:
                failures.append('%s: %s' % (label, e))
                expected.pop(game)

        for game, (entries, datagrams_expected) in expected.items():
            datagrams_expected = datagrams_expected or [(len(entries), 1)]
            try:
                plugin = tool.run(game)
                query = bytes.fromhex(plugin['query'])
                words = plugin['masters'].split(' ')
                if not words or not all(w.rpartition(':')[2].isdigit() and w.rpartition(':')[0] for w in words):
                    raise RuntimeError('masters are not host:port words: %r' % plugin['masters'])
                if not query.endswith(b'\0'):
                    raise RuntimeError('the query goes out without its zero byte: %r' % query)
                datagrams = standin.ask(query)
                path = os.path.join(work, game + '.bin')
                write_datagrams(path, datagrams)
                listed = tool.run(game, path)
                bad = []
                if sorted(listed['entries']) != sorted(entries):
                    bad.append('listed %d: %s; expected %d: %s' % (len(listed['entries']), listed['entries'][:6],
                                                                 len(entries), entries[:6]))
                if listed['datagrams'] != datagrams_expected:
                    bad.append('(entries, end) per datagram %s, expected %s' % (listed['datagrams'],
                                                                               datagrams_expected))
                if bad:
                    failures.append('%s: %s' % (game, '; '.join(bad)))
                else:
                    passed += 1
                    print('ok   %s: %d server(s) in %d datagram(s)%s' % (
                        game, len(entries), len(datagrams),
                        ', the real one ' + entries[-1] if entries and entries[-1].startswith(LOOPBACK) else ''))
            except Exception as e:  # one game failing does not stop the others
                failures.append('%s: %s' % (game, e))
    finally:
        for server in servers:
            server.stop()
        if standin:
            standin.stop()
        shutil.rmtree(work, ignore_errors=True)

    for f in failures:
        print('FAIL ' + f)
    for s in skipped:
        print('SKIP ' + s)
    print('%d passed, %d failed, %d skipped' % (passed, len(failures), len(skipped)))
    if failures:
        return 1
    return SKIP if skipped else 0


if __name__ == '__main__':
    sys.exit(main())
