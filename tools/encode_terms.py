#!/usr/bin/env python3
"""Turns the UTF-8 terms text into the raw resource the dialog shows:
code page 932, CR LF line ends, one terminating zero byte."""
import sys

def main(src, dst):
    with open(src, encoding="utf-8") as f:
        text = f.read()
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    data = text.encode("cp932") + b"\0"
    with open(dst, "wb") as f:
        f.write(data)

if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
