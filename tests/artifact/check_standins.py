#!/usr/bin/env python3
"""The stand-in DLLs of the tests, read back from their i686 files: each must
export exactly the name that the updater looks up with GetProcAddress, not
a decorated one ("SHGetFolderPathA@20" is what a stdcall function is called
unless the build says otherwise), or a test runs another path than it names.
The names are checked against the updater itself, which must hold each as a
string.
    check_standins.py <updater exe> (--exports|--lacks <dll> <name>)..."""
import re
import struct
import sys

from check_artifact import PeFile

DECORATED = re.compile(r"^_?(?P<name>[A-Za-z_][A-Za-z0-9_]*)@\d+$")


def exported_names(pe):
    rva, size = pe.directories[0]
    if rva == 0 or size == 0:
        return []
    base = pe.offset(rva)
    count, names_rva = struct.unpack_from("<I", pe.data, base + 24)[0], struct.unpack_from("<I", pe.data, base + 32)[0]
    names = []
    for i in range(count):
        name_rva = struct.unpack_from("<I", pe.data, pe.offset(names_rva) + 4 * i)[0]
        names.append(pe.cstring(name_rva))
    return names


def check(updater, expectations):
    problems = []
    product = open(updater, "rb").read()
    for kind, dll, name in expectations:
        if (name.encode("ascii") + b"\0") not in product:
            problems.append("the updater does not look up %s" % name)
        names = exported_names(PeFile(open(dll, "rb").read()))
        plain = [DECORATED.match(n).group("name") if DECORATED.match(n) else n for n in names]
        for exported, undecorated in zip(names, plain):
            if exported != undecorated:
                problems.append("%s exports %s, a decorated name that GetProcAddress(\"%s\") does not find"
                                % (dll, exported, undecorated))
        if kind == "--exports" and name not in names:
            problems.append("%s does not export %s (it exports %s)" % (dll, name, ", ".join(names) or "nothing"))
        if kind == "--lacks" and name in plain:
            problems.append("%s exports %s, which it must lack" % (dll, name))
    return problems


def main(argv):
    updater, rest = argv[0], argv[1:]
    expectations = [(rest[i], rest[i + 1], rest[i + 2]) for i in range(0, len(rest), 3)]
    problems = check(updater, expectations)
    for p in problems:
        print("PROBLEM: " + p)
    print("%d passed, %d failed" % (0 if problems else 1, 1 if problems else 0))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
