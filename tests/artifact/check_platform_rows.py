#!/usr/bin/env python3
"""Every function that the shipped updater imports has a row in the tests'
table of what each platform accepts (tests/support/platform_calls.cpp), so
that the table grows with the code even for a call that no traced run makes;
and the updater calls every system function with a call, never ending its own
code with a jump to one (the traced runs tell its calls by where they return).
    check_platform_rows.py <exe> <platform_calls.cpp> [--objdump <objdump>]"""
import os
import struct
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_artifact import PeFile  # noqa: E402


def missing_rows(exe_path, table_path):
    with open(exe_path, "rb") as f:
        imports = PeFile(f.read()).imports()
    with open(table_path, encoding="utf-8") as f:
        rows = set(re.findall(r'^\s*\{ "(\w+)", ON_', f.read(), re.M))
    return sorted("%s %s" % (dll, func) for dll, funcs in imports.items() for func in funcs if func not in rows), rows


def tail_jumps(exe_path, objdump):
    """Addresses of jumps through the import address table that no call
    reaches: a function that ends by jumping to a system function."""
    with open(exe_path, "rb") as f:
        pe = PeFile(f.read())
    iat, iat_size = pe.directories[12]
    base = struct.unpack_from("<I", pe.data, 0x3C)[0]
    opt = base + 24
    image_base = (struct.unpack_from("<I", pe.data, opt + 28)[0] if pe.magic == 0x10B
                  else struct.unpack_from("<Q", pe.data, opt + 24)[0])
    listing = subprocess.run([objdump, "-d", exe_path], check=True, capture_output=True, text=True).stdout
    jumps, called = [], set()
    for line in listing.splitlines():
        m = re.match(r"\s*([0-9a-f]+):.*\bjmp\s+\*(?:0x[0-9a-f]+\(%rip\)\s+# 0x([0-9a-f]+)|0x([0-9a-f]+)$)", line)
        if m:
            target = int(m.group(2) or m.group(3), 16) - image_base
            if iat <= target < iat + iat_size:
                jumps.append(int(m.group(1), 16))
        m = re.match(r"\s*[0-9a-f]+:.*\bcall\s+(?:0x)?([0-9a-f]+)\b", line)
        if m:
            called.add(int(m.group(1), 16))
    return [hex(j) for j in jumps if j not in called]


def main():
    args = sys.argv[1:]
    objdump = "i686-w64-mingw32-objdump"
    if "--objdump" in args:
        at = args.index("--objdump")
        objdump = args[at + 1]
        del args[at:at + 2]
    if len(args) != 2:
        print(__doc__)
        return 2
    missing, rows = missing_rows(args[0], args[1])
    for name in missing:
        print("no row in the table of platform calls: " + name)
    jumps = tail_jumps(args[0], objdump)
    for address in jumps:
        print("a jump to a system function at " + address)
    print("%d rows; %d imports without one; %d jumps to a system function" % (len(rows), len(missing), len(jumps)))
    return 1 if missing or jumps else 0


if __name__ == "__main__":
    sys.exit(main())
