#!/usr/bin/env python3
"""Every function that the shipped updater imports has a row in the tests'
table of what each platform accepts (tests/support/platform_calls.cpp), so
that the table grows with the code even for a call that no traced run makes.
    check_platform_rows.py <exe> <platform_calls.cpp>"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_artifact import PeFile  # noqa: E402


def missing_rows(exe_path, table_path):
    with open(exe_path, "rb") as f:
        imports = PeFile(f.read()).imports()
    with open(table_path, encoding="utf-8") as f:
        rows = set(re.findall(r'^\s*\{ "(\w+)", ON_', f.read(), re.M))
    return sorted("%s %s" % (dll, func) for dll, funcs in imports.items() for func in funcs if func not in rows), rows


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    missing, rows = missing_rows(sys.argv[1], sys.argv[2])
    for name in missing:
        print("no row in the table of platform calls: " + name)
    print("%d rows; %d imports without one" % (len(rows), len(missing)))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
