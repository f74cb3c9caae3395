#!/usr/bin/env python3
"""peresources.py FILE : prints the application manifest a Windows program carries.

As a module: manifest(path) gives the bytes of the RT_MANIFEST resource of a
PE file (32- or 64-bit), or None when it has none. Read from the file itself,
so it works on the 32-bit build where no 32-bit program can run.
"""
import struct
import sys

RT_MANIFEST = 24


class PE:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not a Windows program (no MZ header)")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a Windows program (no PE header)")
        self.machine, sections, _, _, _, optsize, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        # The data directories follow the optional header's fixed part, 96 bytes (PE32) or 112 (PE32+).
        dirs = opt + {0x10B: 96, 0x20B: 112}[magic]
        self.bits = 32 if magic == 0x10B else 64
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, dirs + 2 * 8)
        self.sections = []
        table = opt + optsize
        for i in range(sections):
            _, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(f"address {rva:#x} is in no section")

    def entries(self, directory):
        """(id or name offset, is a directory, offset of what it points to) of one resource directory."""
        base = self.offset(self.resource_rva)
        named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
            yield name, bool(target & 0x80000000), target & 0x7FFFFFFF

    def resource(self, type_id, name_id):
        if not self.resource_rva:
            return None
        for t, _, tdir in self.entries(0):
            if t != type_id:
                continue
            for n, _, ndir in self.entries(tdir):
                if n != name_id:
                    continue
                for _, is_dir, leaf in self.entries(ndir):   # the first language
                    if is_dir:
                        continue
                    rva, size = struct.unpack_from("<II", self.data, self.offset(self.resource_rva) + leaf)
                    start = self.offset(rva)
                    return self.data[start:start + size]
        return None


def manifest(path, resource_id=1):
    with open(path, "rb") as f:
        return PE(f.read()).resource(RT_MANIFEST, resource_id)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    found = manifest(sys.argv[1])
    if found is None:
        sys.exit(f"{sys.argv[1]}: no application manifest")
    sys.stdout.write(found.decode("utf-8"))
