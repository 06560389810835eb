#!/usr/bin/env python3
"""The artifact check must catch what it is there for: run it on altered
copies of the shipped executable and on a shortened import list, and
expect each fault to be named."""
import os
import shutil
import struct
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
import check_artifact  # noqa: E402


def problems_of(exe, whitelist):
    return check_artifact.check(exe, whitelist)[3]


def main(exe, whitelist):
    failures = []
    work = tempfile.mkdtemp()
    try:
        if problems_of(exe, whitelist):
            failures.append("the shipped executable itself is reported")

        data = bytearray(open(exe, "rb").read())
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        altered = os.path.join(work, "altered.exe")

        def expect(mutate, words, what):
            copy = bytearray(data)
            mutate(copy)
            open(altered, "wb").write(copy)
            found = problems_of(altered, whitelist)
            if not any(words in p for p in found):
                failures.append("%s not caught (got %s)" % (what, found))

        expect(lambda d: struct.pack_into("<H", d, pe + 24 + 40, 5), "OS version", "OS version 5.0")
        expect(lambda d: struct.pack_into("<H", d, pe + 24 + 48, 5), "subsystem version", "subsystem 5.0")
        expect(lambda d: struct.pack_into("<H", d, pe + 4, 0x8664), "machine", "a non-i386 machine")
        expect(lambda d: d.extend(b"\0" * (65536 - len(d) + 1)), "limit", "a file over 64 KB")

        # A list that lacks one function the executable imports.
        short = os.path.join(work, "imports.txt")
        lines = [l for l in open(whitelist) if "GetShortPathNameA" not in l]
        open(short, "w").writelines(lines)
        found = problems_of(exe, short)
        if not any("GetShortPathNameA" in p for p in found):
            failures.append("an import outside the list not caught (got %s)" % found)
    finally:
        shutil.rmtree(work)
    for f in failures:
        print("FAIL: " + f)
    print("%d passed, %d failed" % (6 - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
