#!/usr/bin/env python3
""""Find a game" pictured at 96 and 144 dpi, on servers that always say the same.

    find_pictures_test.py --tests findform_picture_win_tests.exe --wine-run CMD...

Stands in for five game servers of three games on fixed ports of 127.0.0.1:
each answers its game's status query with a reply recorded from a real
server (tests/plugins/captures/), its name, map and players changed, so
every run lists the same rows. A sixth listed port is bound and never
answers. The master stand-in on 127.0.0.2 lists all six; the Windows tests
get its address in VELMORA_FIND_PICTURE_MASTER. The ports are fixed because
the address column is in the picture: the suite runs sealed, where nothing
else holds them. Everything stays on loopback.

Exit status: 0 passed, 1 a failure.
"""
import argparse
import os
import select
import signal
import socket
import subprocess
import sys
import threading

SOURCE = os.environ.get('VELMORA_SOURCE') or os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
CAPTURES = os.path.join(SOURCE, 'tests', 'plugins', 'captures')
STANDIN = os.path.join(SOURCE, 'tests', 'fixtures', 'masters', 'masterstandin.py')
sys.path.insert(0, os.path.join(SOURCE, 'tests', 'fixtures', 'servers'))
import gameservers  # noqa: E402

HOST = '127.0.0.1'
MASTER_HOST = '127.0.0.2'
OOB = b'\xff\xff\xff\xff'

# What each plug-in asks a server for its status.
QUERIES = {'qw': OOB + b'status 23\n', 'oa': OOB + b'getstatus', 'dpquake': OOB + b'getstatus'}

# (stand-in game, port, info keys set, players); the pictures show these.
SERVERS = [
    ('qw', 27520, {'hostname': 'Friday Frags', 'map': 'dm4', 'maxclients': '16'},
     ['Vortex', 'Kaneda', 'Mira', 'Ostrich', 'Blue']),
    ('qw', 27521, {'hostname': 'Velmora Duel', 'map': 'aerowalk', 'maxclients': '2'}, ['Hex', 'Tarn']),
    ('oa', 27980, {'sv_hostname': 'Arena of Velmora', 'mapname': 'oa_dm4', 'sv_maxclients': '12'},
     ['Sarge', 'Angelyss', 'Gargoyle']),
    ('oa', 27981, {'sv_hostname': 'Instagib CTF', 'mapname': 'oa_ctf2', 'sv_maxclients': '8'}, []),
    ('dpquake', 26020, {'hostname': 'Velmora Quake', 'mapname': 'e1m1', 'sv_maxclients': '8', 'clients': '1',
                        'bots': '0'}, ['Ranger']),
]
SILENT = ('qw', 27522)


def set_info(info, values):
    """'\\key\\value...' with the given keys' values replaced in place (added
    at the end when missing)."""
    parts = info.split(b'\\')[1:]
    keys = [k.decode('latin-1') for k in parts[0::2]]
    for key, value in values.items():
        if key in keys:
            parts[2 * keys.index(key) + 1] = value.encode('latin-1')
        else:
            parts += [key.encode('latin-1'), value.encode('latin-1')]
            keys.append(key)
    return b'\\' + b'\\'.join(parts)


def reply(game, values, players):
    """The recorded status reply of the game's server with two players, its
    info keys and player lines changed."""
    if game == 'qw':
        with open(os.path.join(CAPTURES, 'qw-players', 'status.bin'), 'rb') as f:
            data = f.read()
        info = data[len(OOB) + 1:].split(b'\n', 1)[0]
        # userid frags time ping "name" "skin" top bottom, as mvdsv writes them
        lines = [b'%d %d 12 %d "%s" "base" 4 4' % (i + 2, 20 - 3 * i, 25 + 7 * i, n.encode()) for i, n in
                 enumerate(players)]
        return OOB + b'n' + set_info(info, values) + b'\n' + b''.join(l + b'\n' for l in lines) + b'\0'
    folder = 'q3-players' if game == 'oa' else 'nq-players'
    with open(os.path.join(CAPTURES, folder, 'getstatus.bin'), 'rb') as f:
        data = f.read()
    head, info = data.split(b'\n')[:2]
    # score ping "name"
    lines = [b'%d %d "%s"' % (15 - 4 * i, 30 + 11 * i, n.encode()) for i, n in enumerate(players)]
    return head + b'\n' + set_info(info, values) + b'\n' + b''.join(l + b'\n' for l in lines)


def bind(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        s.bind((HOST, port))
    except OSError as e:
        s.close()
        raise RuntimeError('%s:%d cannot be bound (%s): the pictures show that address' % (HOST, port, e))
    return s


def serve(sockets, stop):
    """Answers each status query with the socket's reply; other datagrams
    and other senders get nothing."""
    while not stop.is_set():
        ready, _, _ = select.select(list(sockets), [], [], 0.1)
        for s in ready:
            try:
                data, sender = s.recvfrom(2048)
            except OSError:
                continue
            query, answer = sockets[s]
            if data == query and sender[0].startswith('127.'):
                s.sendto(answer, sender)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tests', required=True)
    ap.add_argument('--wine-run', nargs=argparse.REMAINDER, required=True)
    args = ap.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit('terminated'))
    sockets, master, silent, stop = {}, None, None, threading.Event()
    serving = threading.Thread(target=serve, args=(sockets, stop), daemon=True)
    try:
        standin = [sys.executable, STANDIN, '--address', MASTER_HOST, '--port', str(gameservers.free_port(MASTER_HOST)),
                   '--seconds', '600']
        for game, port, values, players in SERVERS:
            sockets[bind(port)] = (QUERIES[game], reply(game, values, players))
            standin += ['--server', game, '%s:%d' % (HOST, port)]
        silent = bind(SILENT[1])  # held, so nothing else answers there
        standin += ['--server', SILENT[0], '%s:%d' % (HOST, SILENT[1])]
        serving.start()
        master = subprocess.Popen(standin, stdout=subprocess.PIPE, text=True)
        line = master.stdout.readline()
        if not line.startswith('listening'):
            print('FAIL the master stand-in did not start: %r' % line)
            return 1
        env = dict(os.environ, VELMORA_FIND_PICTURE_MASTER=line.split()[1])
        run = subprocess.run(args.wine_run + [args.tests, '--gtest_brief=0'], env=env, timeout=600)
        if run.returncode != 0:
            print('FAIL the Windows tests ended with an error')
            return 1
        return 0
    except RuntimeError as e:
        print('FAIL %s' % e)
        return 1
    finally:
        stop.set()
        if serving.is_alive():
            serving.join()
        if master:
            master.terminate()
            try:
                master.wait(timeout=5)
            except subprocess.TimeoutExpired:
                master.kill()
        for s in list(sockets) + ([silent] if silent else []):
            s.close()


if __name__ == '__main__':
    sys.exit(main())
