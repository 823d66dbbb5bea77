#!/usr/bin/env python3
"""Writes the placeholder firmware image of the updatable model and a note beside it.

The image is a generated test image, not a tablet firmware: it lets the updater run end
to end against the simulated loader. It starts with the placeholder marker, which the
updater refuses to send to a real tablet, and names the firmware date the simulated
tablet reports after the update.

usage: make_placeholder_image.py OUTPUT_IMAGE
"""
import os
import sys

MARKER = b"INKORA PLACEHOLDER FIRMWARE"
HEADER = (MARKER + b" - generated test image for the simulated loader, not a tablet firmware.\n"
          b"Model KPX2000A-A 20220422\n")
SIZE = 48 * 1024  # a multiple of no packet size, so the last Data packet is padded


def image_bytes():
    data = bytearray(HEADER)
    state = 0x2000A220  # fixed seed: every build makes the same image
    while len(data) < SIZE:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        data.append((state >> 16) & 0xFF)
    return bytes(data[:SIZE])


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    out = sys.argv[1]
    os.makedirs(os.path.dirname(out) or ".", exist_ok=True)
    with open(out, "wb") as f:
        f.write(image_bytes())
    note = os.path.join(os.path.dirname(out), "PLACEHOLDER-FIRMWARE.txt")
    with open(note, "w") as f:
        f.write("%s is a PLACEHOLDER: a generated test image for the simulated tablet.\n"
                "It is not a tablet firmware. FwFlasher refuses to send it to a real tablet;\n"
                "replace it with the released image before shipping.\n" % os.path.basename(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
