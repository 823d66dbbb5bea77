#!/usr/bin/env python3
"""Writes image/Res/leftTop.png and image/Res/rightbottom.png, the cursors of the screen
area selection: 64 x 64 RGBA, the hotspot at (32, 32). A thin cross through the hotspot
and a corner bracket that opens towards the area still to be chosen (to the lower right
for the first corner, to the upper left for the second). Black lines with a white rim so
they show on any desktop. Plain zlib, no imaging library needed.
Run: python3 uiservice/make_cursors.py"""
import os
import struct
import zlib

SIZE = 64
HOT = 32


def on_line(x, y, corner):
    # The cross: one pixel wide, with a gap of 3 pixels around the hotspot.
    cross = (x == HOT and abs(y - HOT) > 3 and abs(y - HOT) <= 14) or \
            (y == HOT and abs(x - HOT) > 3 and abs(x - HOT) <= 14)
    # The bracket: two arms of 24 pixels from the hotspot, two pixels thick.
    sx, sy = (1, 1) if corner == "lefttop" else (-1, -1)
    dx, dy = (x - HOT) * sx, (y - HOT) * sy
    bracket = (0 <= dx <= 24 and 0 <= dy <= 1) or (0 <= dy <= 24 and 0 <= dx <= 1)
    return cross or bracket


def pixel(x, y, corner):
    if on_line(x, y, corner):
        return (0, 0, 0, 255)
    for nx in (x - 1, x, x + 1):
        for ny in (y - 1, y, y + 1):
            if 0 <= nx < SIZE and 0 <= ny < SIZE and on_line(nx, ny, corner):
                return (255, 255, 255, 255)
    return (0, 0, 0, 0)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, corner):
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y, corner)) for x in range(SIZE)) for y in range(SIZE))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "image", "Res")
    write_png(os.path.join(out, "leftTop.png"), "lefttop")
    write_png(os.path.join(out, "rightbottom.png"), "rightbottom")


if __name__ == "__main__":
    main()
