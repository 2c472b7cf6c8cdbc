#!/usr/bin/env python3
"""Write a version-3 pack field by field, for the tool's scenarios.

usage: makepack.py OUT [--bad-pack-crc] MEMBER...
MEMBER: NAMEHEX,STORED_FILE,SIZE,COMP[,FLAGS]
  NAMEHEX      the member name's cp932 bytes in hex ("" for a deleted entry)
  STORED_FILE  the stored bytes (a compressed stream when COMP is 1)
  SIZE         the contents length ("-" for the stored file's length)
  FLAGS        any of: badcrc (the member CRC is off by one), nocrc (IsCrc 0),
               offset=N (the entry's Offset, whatever the data area holds)
Every member gets the time 2020-01-02T03:04:05Z.
"""
import struct
import sys

FILETIME = 132224078450000000  # 2020-01-02T03:04:05Z in 100 ns units since 1601


def crc16(data, crc=0xFFFF):
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8408 if crc & 1 else crc >> 1
    return crc


def main():
    out, args = sys.argv[1], sys.argv[2:]
    bad_pack_crc = "--bad-pack-crc" in args
    data, table = b"", b""
    members = [a for a in args if a != "--bad-pack-crc"]
    for member in members:
        fields = member.split(",")
        name = bytes.fromhex(fields[0])
        stored = open(fields[1], "rb").read() if fields[1] else b""
        size = len(stored) if fields[2] == "-" else int(fields[2])
        comp = int(fields[3])
        flags = fields[4].split("+") if len(fields) > 4 and fields[4] else []
        base, dot, ext = name.partition(b".")
        crc = crc16(stored)
        if "badcrc" in flags:
            crc ^= 1
        offset = len(data)
        for f in flags:
            if f.startswith("offset="):
                offset = int(f[7:])
        table += base[:21].ljust(21, b"\0") + ext[:3].ljust(3, b"\0")
        table += struct.pack("<iiiBBHQ", offset, size, len(stored), comp, 0 if "nocrc" in flags else 1, crc, FILETIME)
        data += stored + b"\0" * (-len(stored) % 16)
    body = b"VoPack" + struct.pack("<Hii", 0x0300, len(data), len(members)) + data + table
    crc = crc16(body) ^ (1 if bad_pack_crc else 0)
    open(out, "wb").write(body + struct.pack("<H", crc))


main()
