#!/usr/bin/env python3
"""Prints what examples/animation prints for its frames, from Pillow's own decoding of them.

    frame_figures.py NAME=FILE.bmp ...

Each frame: its bytes in green, red, blue order, top row first, their count, the width and
height, and their 32-bit FNV-1a checksum; then the line on the table of frames.
"""
import sys

from PIL import Image


def fnv1a(data):
    value = 2166136261
    for byte in data:
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return value


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    for argument in argv[1:]:
        name, path = argument.split("=", 1)
        with Image.open(path) as image:
            width, height = image.size
            pixels = image.convert("RGB").getdata()
            data = bytes(value for red, green, blue in pixels for value in (green, red, blue))
        print(f"{name}: {len(data)} bytes, {width} x {height}, fnv1a {fnv1a(data):08x}")
    print(f"table: {len(argv) - 1} frames, in order")


if __name__ == "__main__":
    main(sys.argv)
