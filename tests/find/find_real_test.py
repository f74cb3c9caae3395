#!/usr/bin/env python3
""""Find a game" against real servers listed by the tests' master stand-in.

    find_real_test.py --tests findform_win_tests.exe --wine-run CMD...

Starts a QuakeWorld (mvdsv + KTX, two players), an OpenArena (ioq3ded, no
one on) and a NetQuake (DarkPlaces, full: two of two) server on 127.0.0.1,
and the master stand-in on 127.0.0.2 listing them, with one QuakeWorld port
where nothing answers. quakestat reads each server; the Windows tests get
what it read, the master's address and the silent port in the environment,
and compare the window's rows with it. Everything stays on loopback.

Exit status: 0 passed, 1 a failure, 77 (skip) when no server could start here.
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

STANDIN = os.path.join(SOURCE, 'tests', 'fixtures', 'masters', 'masterstandin.py')
SKIP = 77
MASTER_HOST = '127.0.0.2'
# (kind, environment name, stand-in game, first port, host name, players, max players, quakestat type)
SERVERS = [
    ('qw', 'QW', 'qw', 27730, 'Velmora QW Find', 2, 8, '-qws'),
    ('q3', 'OA', 'oa', 27900, 'Velmora OA Find', 0, 8, '-q3s'),
    ('nq', 'NQ', 'dpquake', 26200, 'Velmora NQ Find', 2, 2, '-nexuizs'),
]


def quakestat(kind_flag, port):
    """address, map, players and max players as quakestat reads them."""
    out = subprocess.run(['quakestat', kind_flag, '127.0.0.1:%d' % port, '-raw', '\t'],
                         capture_output=True, text=True, timeout=30).stdout
    fields = out.splitlines()[0].split('\t') if out else []
    # type, address, name, map, max players, players, ping, retries
    if len(fields) < 6 or fields[1] != '127.0.0.1:%d' % port:
        raise RuntimeError('quakestat could not read 127.0.0.1:%d: %r' % (port, out))
    return '127.0.0.1:%d\t%s\t%s\t%s' % (port, fields[3], fields[5], fields[4])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tests', required=True)
    ap.add_argument('--wine-run', nargs=argparse.REMAINDER, required=True)
    args = ap.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit('terminated'))
    work = tempfile.mkdtemp(prefix='velmora-find-')
    servers, skipped, master = [], [], None
    env = dict(os.environ)
    failed = True
    try:
        standin = [sys.executable, STANDIN, '--address', MASTER_HOST, '--port', '0', '--seconds', '600']
        silent = gameservers.free_port()  # bound a moment ago, answered by nobody now
        standin_args = ['--server', 'qw', '127.0.0.1:%d' % silent]
        for kind, name, game, port, hostname, players, maxclients, flag in SERVERS:
            env.pop('VELMORA_FIND_' + name, None)
            server, reason = gameservers.start_near(kind, port, work, players=players, hostname=hostname,
                                                    maxclients=maxclients)
            if not server:
                skipped.append('%s: %s' % (kind, reason))
                continue
            servers.append(server)
            standin_args += ['--server', game, '127.0.0.1:%d' % server.port]
            env['VELMORA_FIND_' + name] = quakestat(flag, server.port)
            print('%s server on 127.0.0.1:%d: %s' % (kind, server.port, env['VELMORA_FIND_' + name]), flush=True)
        if not servers:
            for s in skipped:
                print('SKIP ' + s)
            return SKIP
        port = gameservers.free_port(MASTER_HOST)
        standin[standin.index('--port') + 1] = str(port)
        master = subprocess.Popen(standin + standin_args, stdout=subprocess.PIPE, text=True)
        line = master.stdout.readline()
        if not line.startswith('listening'):
            print('FAIL the master stand-in did not start: %r' % line)
            return 1
        env['VELMORA_FIND_MASTER'] = '%s:%d' % (MASTER_HOST, port)
        env['VELMORA_FIND_SILENT'] = '127.0.0.1:%d' % silent
        run = subprocess.run(args.wine_run + [args.tests, '--gtest_brief=0'], env=env, timeout=600)
        failed = run.returncode != 0
    finally:
        if master:
            master.terminate()
            try:
                master.wait(timeout=5)
            except subprocess.TimeoutExpired:
                master.kill()
        for server in servers:
            server.stop()
        shutil.rmtree(work, ignore_errors=True)
    for s in skipped:
        print('SKIP ' + s)
    if failed:
        print('FAIL the Windows tests ended with an error')
        return 1
    return SKIP if skipped else 0


if __name__ == '__main__':
    sys.exit(main())
