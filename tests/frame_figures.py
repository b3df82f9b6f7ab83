#!/usr/bin/env python3
"""Prints what examples/animation prints for its frames, from Pillow's own decoding of them.

    frame_figures.py [--order=ORDER] [--start=CORNER] [--columns] [--serpentine] [--hex]
                     NAME=FILE.bmp ...

Each frame: its bytes, by default in green, red, blue order, top row first, their count, the
width and height, and their 32-bit FNV-1a checksum; then the line on the table of frames. The
options lay the bytes out as tivrano's do; --hex prints each frame's bytes in hex instead.
"""
import sys

from PIL import Image


def fnv1a(data):
    value = 2166136261
    for byte in data:
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return value


def strip(width, height, start, columns, serpentine):
    """The (x, y) of each LED along the strip, the first at the start corner."""
    top, left = start.startswith("top"), start.endswith("left")
    lines, length = (width, height) if columns else (height, width)
    for line in range(lines):
        along = range(length)
        if serpentine and line % 2 == 1:
            along = reversed(along)
        for k in along:
            across = line if (left if columns else top) else lines - 1 - line
            at = k if (top if columns else left) else length - 1 - k
            yield (across, at) if columns else (at, across)


def main(argv):
    options = {"order": "grb", "start": "top-left"}
    frames = []
    for argument in argv[1:]:
        if argument.startswith("--"):
            key, _, value = argument[2:].partition("=")
            options[key] = value or True
        else:
            frames.append(argument)
    if not frames:
        sys.exit(__doc__)
    for argument in frames:
        name, path = argument.split("=", 1)
        with Image.open(path) as image:
            width, height = image.size
            rgb = image.convert("RGB")
            places = strip(width, height, options["start"], "columns" in options,
                           "serpentine" in options)
            data = bytes(dict(zip("rgb", rgb.getpixel(place)))[channel]
                         for place in places for channel in options["order"].lower())
        if "hex" in options:
            print(data.hex())
        else:
            print(f"{name}: {len(data)} bytes, {width} x {height}, fnv1a {fnv1a(data):08x}")
    if "hex" not in options:
        print(f"table: {len(frames)} frames, in order")


if __name__ == "__main__":
    main(sys.argv)
