#!/usr/bin/env python3
"""Checks the shipped Windows executable: PE32+ x86-64, GUI subsystem, the
icon group 101, the asInvoker manifest, the version block, and no import of a
MinGW runtime DLL. Prints "N passed, N failed"; exits non-zero on a failure."""
import struct
import sys

data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections = struct.unpack_from("<H", data, pe + 6)[0]
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
optional = pe + 24
table = optional + optional_size


def section_of(rva):
    for i in range(sections):
        entry = table + 40 * i
        vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, entry + 8)
        if va <= rva < va + max(vsize, raw_size):
            return raw - va
    raise ValueError(hex(rva))


def directory(index):
    rva, size = struct.unpack_from("<II", data, optional + 112 + 8 * index)
    return rva, size


def resource_entries(base, offset):
    named, numbered = struct.unpack_from("<HH", data, base + offset + 12)
    for k in range(named + numbered):
        ident, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * k)
        yield ident, target & 0x7FFFFFFF


checks = []
checks.append(("PE32+", data[:2] == b"MZ" and struct.unpack_from("<H", data, optional)[0] == 0x20B))
checks.append(("x86-64", struct.unpack_from("<H", data, pe + 4)[0] == 0x8664))
checks.append(("GUI subsystem", struct.unpack_from("<H", data, optional + 68)[0] == 2))

rsrc_rva, _ = directory(2)
base = rsrc_rva + section_of(rsrc_rva)
types = {t: [i for i, _ in resource_entries(base, target)] for t, target in resource_entries(base, 0)}
checks.append(("icon group 101", 101 in types.get(14, [])))
checks.append(("manifest", 1 in types.get(24, [])))
checks.append(("version block", 16 in types))
checks.append(("asInvoker, no uiAccess",
               b'level="asInvoker"' in data and b'uiAccess="false"' in data))

import_rva, _ = directory(1)
imports = []
offset = import_rva + section_of(import_rva)
while True:
    name_rva = struct.unpack_from("<I", data, offset + 12)[0]
    if name_rva == 0:
        break
    start = name_rva + section_of(name_rva)
    imports.append(data[start:data.index(b"\0", start)].decode().lower())
    offset += 20
runtime = [name for name in imports if name.startswith(("libstdc++", "libgcc", "libwinpthread"))]
checks.append(("no MinGW runtime DLL (imports: %s)" % ", ".join(imports), not runtime))

failed = [name for name, ok in checks if not ok]
for name, ok in checks:
    print(("ok      " if ok else "FAILED  ") + name)
print("%d passed, %d failed" % (len(checks) - len(failed), len(failed)))
sys.exit(1 if failed else 0)
