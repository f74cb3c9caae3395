#!/usr/bin/env python3
"""The whole program end to end, against real game servers on 127.0.0.1.

    e2e_test.py --flow e2e_flow_tests.exe --wine-run CMD...

Starts a QuakeWorld (mvdsv + KTX), an OpenArena (ioq3ded) and a NetQuake
(DarkPlaces) server from tests/fixtures/servers, each with two players, then
runs the flow program under Wine once; it finds each server's port in
VELMORA_E2E_<KIND>, or in VELMORA_E2E_<KIND>_SKIP the reason there is none,
and skips that case saying so. Every server is stopped at the end, also on
failure.

Exit status: 0 all passed, 1 a failure, 77 (skip) when a server could not
start here (the cases that can run are run first).
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile

SOURCE = os.environ.get('VELMORA_SOURCE') or os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
sys.path.insert(0, os.path.join(SOURCE, 'tests', 'fixtures', 'servers'))
import gameservers  # noqa: E402

SKIP = 77

# (kind, first port tried, host name the server is given); the flow program
# holds what each must show (the q3 name's colour codes are not shown).
SERVERS = [
    ('qw', 27720, 'Velmora QW Room'),
    ('q3', 27890, '^1Velmora ^7Arena'),
    ('nq', 26190, 'Velmora NQ Room'),
]
PLAYERS = 2
SPECTATORS = {'qw': 1}  # QuakeWorld's fake clients include a spectator
# quakestat's server type for each kind, and the columns of its "-raw ," player
# rows that hold name, score and ping (DarkPlaces answers getstatus as Nexuiz does).
QUAKESTAT = {'qw': ('-qws', 1, 2, 6), 'q3': ('-q3s', 0, 1, 2), 'nq': ('-nexuizs', 0, 1, 2)}


def quakestat_players(kind, port):
    """The players quakestat -P lists, as the query window orders them: by
    score, highest first, then the spectators (QuakeWorld's -9999 frags), one
    "name<tab>score<tab>ping" line each."""
    flag, name, score, ping = QUAKESTAT[kind]
    out = subprocess.run(['quakestat', flag, '127.0.0.1:%d' % port, '-P', '-raw', ','],
                         capture_output=True, text=True, timeout=30).stdout
    rows = [r.split(',') for r in out.splitlines()[1:] if r]
    players = [(r[name], r[score], r[ping].lstrip('-')) for r in rows if len(r) > max(name, score, ping)]
    spectator = [kind == 'qw' and p[1] == '-9999' for p in players]
    ordered = sorted(range(len(players)), key=lambda i: (spectator[i], -int(players[i][1]) if not spectator[i] else 0))
    return ''.join('%s\t%s\t%s\n' % (players[i][0], 'spectator' if spectator[i] else players[i][1], players[i][2])
                   for i in ordered)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--flow', required=True)
    ap.add_argument('--wine-run', nargs=argparse.REMAINDER, required=True)
    args = ap.parse_args()
    # ctest's time-out: end like an error, so every server is stopped
    signal.signal(signal.SIGTERM, lambda *_: sys.exit('terminated'))
    work = tempfile.mkdtemp(prefix='velmora-e2e-')
    servers, skipped = [], []
    env = dict(os.environ)
    try:
        for kind, port, hostname in SERVERS:
            server, reason = gameservers.start_near(kind, port, work, players=PLAYERS, hostname=hostname,
                                                    spectators=SPECTATORS.get(kind, 0))
            name = 'VELMORA_E2E_' + kind.upper()
            env.pop(name, None)
            env.pop(name + '_SKIP', None)
            if server:
                servers.append(server)
                env[name] = str(server.port)
                env[name + '_PLAYERS'] = quakestat_players(kind, server.port)
                print('%s server on 127.0.0.1:%d' % (kind, server.port), flush=True)
            else:
                env[name + '_SKIP'] = reason
                skipped.append('%s: the server cannot start here: %s' % (kind, reason))
        flow = subprocess.run(args.wine_run + [args.flow, '--gtest_brief=0'], env=env, timeout=840)
        failed = flow.returncode != 0
    finally:
        for server in servers:
            server.stop()
        shutil.rmtree(work, ignore_errors=True)
    for s in skipped:
        print('SKIP ' + s)
    if failed:
        print('FAIL the flow program ended with %d' % flow.returncode)
        return 1
    return SKIP if skipped else 0


if __name__ == '__main__':
    sys.exit(main())
