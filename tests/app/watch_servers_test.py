#!/usr/bin/env python3
"""The tray's status watcher against real game servers on 127.0.0.1.

    watch_servers_test.py --exe app_watch_tests.exe --wine-run CMD...

Starts a QuakeWorld server (mvdsv + KTX) with two fake players and an
OpenArena server (ioq3ded) with none from tests/fixtures/servers, binds a
port that never answers, and runs the watcher's real-server test of
app_watch_tests under Wine with their ports. Every server is stopped at the
end. Exit status: the test's, or 77 (skip) when a server is not installed.
"""
import argparse
import os
import signal
import socket
import subprocess
import sys
import tempfile

SOURCE = os.environ.get('VELMORA_SOURCE') or os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
sys.path.insert(0, os.path.join(SOURCE, 'tests', 'fixtures', 'servers'))
import gameservers  # noqa: E402

SKIP = 77
QW_PORT, OA_PORT = 27800, 27880


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--exe', required=True)
    ap.add_argument('--wine-run', nargs=argparse.REMAINDER, default=[])
    args = ap.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit('terminated'))
    missing = gameservers.missing('qw') + gameservers.missing('q3')
    if missing:
        print('SKIP: not installed: ' + ' '.join(missing))
        return SKIP
    work = tempfile.mkdtemp(prefix='velmora-watch-')
    servers = []
    silent = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        silent.bind(('127.0.0.1', 0))
        servers.append(gameservers.start('qw', os.path.join(work, 'qw'), QW_PORT, players=2))
        servers.append(gameservers.start('q3', os.path.join(work, 'oa'), OA_PORT, players=0))
        env = dict(os.environ, VELMORA_WATCH_QW=str(QW_PORT), VELMORA_WATCH_OA=str(OA_PORT),
                   VELMORA_WATCH_SILENT=str(silent.getsockname()[1]))
        done = subprocess.run(args.wine_run + [args.exe, '--gtest_filter=WatchMainTest.RealServersAfterOneRound'],
                              env=env, capture_output=True, text=True, errors='replace', timeout=240)
        print(done.stdout.replace('\r', ''))
        print(done.stderr[-2000:], file=sys.stderr)
        if '[  SKIPPED ]' in done.stdout or '[       OK ]' not in done.stdout:
            return 1
        return done.returncode
    finally:
        for s in servers:
            s.stop()
        silent.close()


if __name__ == '__main__':
    sys.exit(main())
