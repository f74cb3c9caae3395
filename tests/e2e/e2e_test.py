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
TRIES = 8  # further ports tried when one is taken (other runs share the machine)


def start(kind, first_port, hostname, work):
    """The running server, or the reason it cannot run here."""
    if gameservers.missing(kind):
        return None, 'not installed: ' + ' '.join(gameservers.missing(kind))
    reason = ''
    for port in range(first_port, first_port + TRIES):
        if not gameservers.port_free(port):
            reason = 'UDP ports %d-%d on 127.0.0.1 are in use' % (first_port, port)
            continue
        try:
            return gameservers.start(kind, os.path.join(work, '%s-%d' % (kind, port)), port,
                                     players=PLAYERS, hostname=hostname), ''
        except RuntimeError as e:
            reason = str(e).strip().replace('\n', ' | ')[-600:]
            if 'in use' not in reason and 'did not bind' not in reason:
                break
    return None, reason


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
            server, reason = start(kind, port, hostname, work)
            name = 'VELMORA_E2E_' + kind.upper()
            env.pop(name, None)
            env.pop(name + '_SKIP', None)
            if server:
                servers.append(server)
                env[name] = str(server.port)
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
