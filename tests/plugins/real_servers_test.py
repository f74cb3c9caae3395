#!/usr/bin/env python3
"""The plug-ins' decoding of real game servers, checked against quakestat.

    real_servers_test.py --port-base N (--decodetool PATH |
                          --vlmdecode PATH --plugins DIR --wine-run CMD...)

Starts QuakeWorld (mvdsv + KTX), Quake III protocol (ioq3ded + OpenArena
data) and NetQuake (DarkPlaces) servers on 127.0.0.1 from the fixtures in
tests/fixtures/servers, each once without and once with players, plus a
small Quake II server in this script (no real one is packaged) that answers
as Quake II's SVC_Status does. For every server it saves the status reply,
decodes it with the plug-in's decoder (natively with decodetool, or through
the built .vlm under Wine with vlmdecode), asks quakestat about the same
server in the same run, and compares host name, map, players and maximum
players. Every server is stopped at the end, also on failure.

Exit status: 0 all passed, 1 a failure, 77 (skip) when server programs or
quakestat are not installed (the cases that can run are run first).
"""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading

SOURCE = os.environ.get('VELMORA_SOURCE') or os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
sys.path.insert(0, os.path.join(SOURCE, 'tests', 'fixtures', 'servers'))
import gameservers  # noqa: E402

SKIP = 77
OOB = b'\xff\xff\xff\xff'


class Decoder:
    def __init__(self, args):
        self.args = args

    def decode(self, game, datagram_path):
        a = self.args
        if a.decodetool:
            argv = [a.decodetool, game, datagram_path]
        else:
            def win(p):
                return 'Z:' + os.path.abspath(p).replace('/', '\\')
            argv = a.wine_run + [a.vlmdecode, win(os.path.join(a.plugins, game + '.vlm')), win(datagram_path)]
        out = subprocess.run(argv, capture_output=True, timeout=120)
        if out.returncode != 0:
            raise RuntimeError('%s failed (%d): %s' % (argv[0], out.returncode, out.stderr.decode(errors='replace')))
        fields = {}
        for line in out.stdout.decode('latin-1').replace('\r', '').splitlines():
            key, _, value = line.partition('=')
            fields[key] = value
        return fields


def quakestat(kind_flag, port):
    """quakestat's "-raw ," line for the server: name, map, max, players."""
    out = subprocess.run(['quakestat', kind_flag, '127.0.0.1:%d' % port, '-raw', ','],
                         capture_output=True, timeout=60)
    line = out.stdout.decode('latin-1').splitlines()[0] if out.stdout else ''
    f = line.split(',')
    if kind_flag == '-qs':  # QS,address,name,address,protocol,map,max,players,...
        if len(f) < 8:
            raise RuntimeError('quakestat %s: %r' % (kind_flag, line))
        return {'name': f[2], 'map': f[5], 'maxplayers': f[6], 'players': f[7]}
    if len(f) < 6:  # TYPE,address,name,map,max,players,ping,retries
        raise RuntimeError('quakestat %s: %r' % (kind_flag, line))
    return {'name': f[2], 'map': f[3], 'maxplayers': f[4], 'players': f[5]}


class QuakeTwoServer:
    """Answers "status" on 127.0.0.1 the way a Quake II server does: a print
    of its serverinfo cvars, then "frags ping \"name\"" per client."""

    def __init__(self, port, hostname, players):
        info = {'hostname': hostname, 'mapname': 'q2dm1', 'maxclients': '16', 'deathmatch': '1',
                'dmflags': '16', 'fraglimit': '30', 'timelimit': '20', 'cheats': '0', 'gamename': 'baseq2',
                'gamedate': 'Dec 14 1997', 'version': '3.20 x86 Dec 14 1997 Linux RELEASE', 'game': 'ctf'}
        text = ''.join('\\%s\\%s' % kv for kv in info.items()) + '\n'
        text += ''.join('%d %d "%s"\n' % p for p in players)
        self.reply = OOB + b'print\n' + text.encode('latin-1')
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(('127.0.0.1', port))
        self.sock.settimeout(0.2)
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while not self.done.is_set():
            try:
                data, addr = self.sock.recvfrom(2048)
            except socket.timeout:
                continue
            if data.startswith(OOB + b'status'):
                self.sock.sendto(self.reply, addr)

    def status(self):
        return gameservers.query(self.sock.getsockname()[1], OOB + b'status\n')

    def stop(self):
        self.done.set()
        self.thread.join()
        self.sock.close()


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
    decoder = Decoder(args)
    work = tempfile.mkdtemp(prefix='velmora-servers-')
    failures, skipped, passed = [], [], 0

    if not shutil.which('quakestat'):
        print('SKIP: quakestat (Debian package qstat) is not installed; nothing to compare with')
        return SKIP

    # (kind, port offset, players, host name, [(plug-in, quakestat flag)], mod the fixture runs)
    cases = [
        ('qw', 0, 0, 'velmora qw room', [('quakeworld', '-qws')], 'ktx'),
        ('qw', 1, 2, 'velmora qw two', [('quakeworld', '-qws')], 'ktx'),
        ('q3', 10, 0, 'velmora oa', [('quake3', '-q3s'), ('openarena', '-openarenas')], 'baseoa'),
        ('q3', 11, 2, '^1Velmora ^7Arena', [('quake3', '-q3s'), ('openarena', '-openarenas')], 'baseoa'),
        ('nq', 20, 0, 'velmora nq room', [('quake', '-qs')], 'id1'),
        ('nq', 21, 3, 'velmora nq three', [('quake', '-qs')], 'id1'),
        ('q2', 30, 0, 'velmora q2', [('quake2', '-q2s')], 'ctf'),
        ('q2', 31, 3, 'velmora q2 three', [('quake2', '-q2s')], 'ctf'),
    ]
    bases = {'qw': 27600, 'q3': 27970 - 10, 'nq': 26100 - 20, 'q2': 27910 + 100 - 30}
    try:
        for kind, offset, players, hostname, decoders, mod in cases:
            port = bases[kind] + offset + args.port_base
            label = '%s with %d player(s) on port %d' % (kind, players, port)
            if kind != 'q2' and gameservers.missing(kind):
                skipped.append('%s: not installed: %s' % (label, ' '.join(gameservers.missing(kind))))
                continue
            server = None
            try:
                if kind == 'q2':
                    server = QuakeTwoServer(port, hostname, [(12, 48, 'Grunt'), (-3, 999, 'Bitterman'),
                                                              (0, 71, 'a b')][:players])
                else:
                    server = gameservers.start(kind, os.path.join(work, '%s-%d' % (kind, players)), port,
                                               players=players, hostname=hostname)
                reply = server.status()
                if reply is None:
                    raise RuntimeError('no status reply')
                path = os.path.join(work, '%s-%d.bin' % (kind, players))
                with open(path, 'wb') as f:
                    f.write(reply)
                for game, flag in decoders:
                    got = decoder.decode(game, path)
                    want = quakestat(flag, port)
                    checks = [('name', got.get('name'), want['name']),
                              ('map', got.get('map'), want['map']),
                              ('players', got.get('players'), '   ' + want['players']),
                              ('maxplayers', got.get('maxplayers'), want['maxplayers']),
                              ('mod', got.get('mod'), mod),
                              ('players listed', int(want['players']), players)]
                    bad = ['%s: decoded %r, expected %r' % c for c in checks if c[1] != c[2]]
                    if got.get('game', '???') == '???':
                        bad.append('game: nothing decoded')
                    if bad:
                        failures.append('%s as %s: %s' % (label, game, '; '.join(bad)))
                    else:
                        passed += 1
                        print('ok   %s as %s: %s | %s | %s | %s | %s of %s' % (
                            label, game, got['name'], got['game'], got['mod'], got['map'], got['players'].strip(),
                            got['maxplayers']))
            except Exception as e:  # one case failing does not stop the others
                failures.append('%s: %s' % (label, e))
            finally:
                if server:
                    server.stop()
    finally:
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
