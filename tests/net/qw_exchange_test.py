#!/usr/bin/env python3
"""The socket's status exchange with a real QuakeWorld server (mvdsv + KTX)
on 127.0.0.1, started by the project's server fixture.

    qw_exchange_test.py --port PORT --exchange net_qw_exchange.exe --wine-run RUNNER...

The Windows program does one query through TAsyncSocket under Wine and prints
the datagram it read; this script asks the same server itself and checks that
both got exactly the same bytes. Exit 77 (skip) when mvdsv or KTX is missing.
"""
import argparse
import os
import subprocess
import sys
import tempfile

SOURCE = os.environ.get('VELMORA_SOURCE') or os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
sys.path.insert(0, os.path.join(SOURCE, 'tests', 'fixtures', 'servers'))
import gameservers  # noqa: E402

SKIP = 77


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--port', type=int, required=True)
    ap.add_argument('--exchange', required=True)
    ap.add_argument('--wine-run', nargs=argparse.REMAINDER, required=True)  # last: the runner and its options
    args = ap.parse_args()
    if gameservers.missing('qw'):
        print('SKIP: not installed: ' + ' '.join(gameservers.missing('qw')))
        return SKIP
    with tempfile.TemporaryDirectory(prefix='velmora-net-qw-') as d:
        server = gameservers.start('qw', d, args.port, hostname='velmora net exchange')
        try:
            run = subprocess.run(args.wine_run + [args.exchange, str(args.port)], capture_output=True, text=True,
                                 timeout=120)
            sys.stderr.write(run.stderr)
            if run.returncode != 0:
                print('FAILED: the exchange program ended with %d' % run.returncode)
                return 1
            got = bytes.fromhex(run.stdout.replace('\r', '').strip())
            expected = server.status()
        finally:
            server.stop()
    if expected is None:
        print('FAILED: the server did not answer the script')
        return 1
    if got != expected:
        print('FAILED: the socket read %d bytes, the server answers %d:\n%r\n%r' % (len(got), len(expected), got,
                                                                                   expected))
        return 1
    if b'\\hostname\\velmora net exchange' not in got:
        print('FAILED: not the started server: %r' % got[:80])
        return 1
    print('ok: %d-byte status answer read whole through TAsyncSocket' % len(got))
    return 0


if __name__ == '__main__':
    sys.exit(main())
