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


def problems_of(exe, whitelist, objdump):
    return check_artifact.check(exe, whitelist, objdump)[3]


def entry_offset(data):
    """File offset of the entry point, where a patched instruction starts on
    an instruction boundary of the disassembly."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    entry = struct.unpack_from("<I", data, pe + 24 + 16)[0]
    return check_artifact.PeFile(bytes(data)).offset(entry)


def main(exe, whitelist, objdump):
    failures = []
    work = tempfile.mkdtemp()
    try:
        if problems_of(exe, whitelist, objdump):
            failures.append("the shipped executable itself is reported")

        data = bytearray(open(exe, "rb").read())
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        altered = os.path.join(work, "altered.exe")

        expected = []

        def patch(code):
            def mutate(d):
                at = entry_offset(d)
                d[at:at + len(code)] = code
            return mutate

        def expect(mutate, words, what):
            copy = bytearray(data)
            mutate(copy)
            open(altered, "wb").write(copy)
            found = problems_of(altered, whitelist, objdump)
            if not any(words in p for p in found):
                failures.append("%s not caught (got %s)" % (what, found))
            expected.append(what)

        expect(lambda d: struct.pack_into("<H", d, pe + 24 + 40, 5), "OS version", "OS version 5.0")
        expect(lambda d: struct.pack_into("<H", d, pe + 24 + 48, 5), "subsystem version", "subsystem 5.0")
        expect(lambda d: struct.pack_into("<H", d, pe + 4, 0x8664), "machine", "a non-i386 machine")
        expect(lambda d: d.extend(b"\0" * (check_artifact.SIZE_LIMIT - len(d) + 1)), "limit", "a file over the size limit")
        # Code that a Pentium cannot run, written over the entry point.
        expect(patch(b"\x0f\x44\xc0"), "cmove", "a conditional move (Pentium Pro)")
        expect(patch(b"\xdb\xf1"), "fcomi", "fcomi (Pentium Pro)")
        expect(patch(b"\x0f\x28\xc1"), "%xmm", "an SSE instruction")
        expect(patch(b"\x0f\xc8"), "bswap", "bswap (80486)")

        # A list that lacks one function the executable imports.
        short = os.path.join(work, "imports.txt")
        lines = [l for l in open(whitelist) if "VerInstallFileA" not in l]
        open(short, "w").writelines(lines)
        found = problems_of(exe, short, objdump)
        if not any("VerInstallFileA" in p for p in found):
            failures.append("an import outside the list not caught (got %s)" % found)
        expected.append("import")
    finally:
        shutil.rmtree(work)
    for f in failures:
        print("FAIL: " + f)
    print("%d passed, %d failed" % (len(expected) + 1 - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    exe_path, whitelist_path, objdump_path, _ = check_artifact.arguments(sys.argv[1:])
    sys.exit(main(exe_path, whitelist_path, objdump_path))
