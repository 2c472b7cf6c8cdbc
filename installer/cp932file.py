#!/usr/bin/env python3
"""Write a UTF-8 text file as cp932 bytes: the form file is kept readable in
the source tree and embedded in the program as the bytes the program reads.

usage: cp932file.py IN.utf8 OUT
"""
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: cp932file.py IN OUT")
    source, out = sys.argv[1:]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    try:
        data = text.encode("cp932")
    except UnicodeEncodeError as e:
        sys.exit(f"{source}: {text[e.start:e.end]!r} has no cp932 form")
    try:
        with open(out, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
