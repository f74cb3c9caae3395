#!/usr/bin/env python3
"""Web links opened through the shell, against real game servers.

    weblinks_flow_test.py PROGRAM.exe WINE-RUN...

Starts a QuakeWorld server (mvdsv + KTX) and an OpenArena server (ioq3ded)
from tests/fixtures/servers on free loopback ports, runs the Windows test
program under Wine with the ports in VELMORA_QW_PORT and VELMORA_Q3_PORT, and
stops both servers whatever happens. Exit status: the program's, or 77 (skip)
when the servers are not installed.
"""
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


def free_port():
    """A UDP port on 127.0.0.1 that nothing holds right now."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(('127.0.0.1', 0))
    port = s.getsockname()[1]
    s.close()
    return port


def main():
    program, wine_run = sys.argv[1], sys.argv[2:]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit('terminated'))
    lacking = gameservers.missing('qw') + gameservers.missing('q3')
    if lacking:
        print('SKIP: not installed: ' + ' '.join(lacking))
        return SKIP
    work = tempfile.mkdtemp(prefix='velmora-weblinks-')
    servers = []
    try:
        ports = {}
        for kind, name in (('qw', 'velmora qw link'), ('q3', 'velmora oa link')):
            for attempt in range(5):
                port = free_port()
                try:
                    servers.append(gameservers.start(kind, os.path.join(work, kind), port, hostname=name))
                    ports[kind] = port
                    break
                except RuntimeError as e:  # taken in between: another port
                    print('retrying %s: %s' % (kind, str(e).splitlines()[0]))
            if kind not in ports:
                print('FAIL: no %s server could be started' % kind)
                return 1
        env = dict(os.environ, VELMORA_QW_PORT=str(ports['qw']), VELMORA_Q3_PORT=str(ports['q3']))
        print('qw on 127.0.0.1:%d, q3 on 127.0.0.1:%d' % (ports['qw'], ports['q3']), flush=True)
        return subprocess.run(wine_run + [program, '--gtest_brief=1'], env=env, timeout=540).returncode
    finally:
        for server in servers:
            server.stop()


if __name__ == '__main__':
    sys.exit(main())
