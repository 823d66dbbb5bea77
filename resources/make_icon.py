#!/usr/bin/env python3
"""Writes image/Res/inkora.png, the program and tray icon: a 64 x 64 RGBA picture of a
pen nib on a rounded blue square. Plain zlib, no imaging library needed.
Run: python3 resources/make_icon.py"""
import math
import os
import struct
import zlib

SIZE = 64


def inside_rounded_square(x, y, margin=2, radius=12):
    lo, hi = margin, SIZE - 1 - margin
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and lo <= x <= hi and lo <= y <= hi


def inside_nib(x, y):
    # A pen pointing to the lower left: a band along the diagonal ending in a tip.
    u = (x - y) / math.sqrt(2.0)           # across the pen
    v = (x + y) / math.sqrt(2.0)           # along the pen, small at the tip
    tip, end = 26.0, 78.0
    if v < tip or v > end:
        return False
    half = 7.0 if v > tip + 14 else 7.0 * (v - tip) / 14.0
    return abs(u) <= half


def pixel(x, y):
    if not inside_rounded_square(x, y):
        return (0, 0, 0, 0)
    if inside_nib(x, y):
        u = (x - y) / math.sqrt(2.0)
        if abs(u) < 1.0 and (x + y) / math.sqrt(2.0) < 52:
            return (34, 80, 150, 255)      # the nib's slit
        return (250, 250, 252, 255)
    return (46, 110, 200, 255)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(SIZE)) for y in range(SIZE))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows, 9))
    png += chunk(b"IEND", b"")
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "image", "Res", "inkora.png")
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
