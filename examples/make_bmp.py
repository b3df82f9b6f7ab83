#!/usr/bin/env python3
"""Writes 24-bit BMP files for the examples, benchmarks and fuzz corpus.

    make_bmp.py heart OUT                   the 8 x 8 sample picture, a red heart on black
    make_bmp.py arrow OUT                   a 7 x 5 green arrow on black
    make_bmp.py wave OUT                    a 12 x 4 blue wave on black
    make_bmp.py random WIDTH HEIGHT OUT [SEED] [SIZE]
                                            random pixels; the file padded with zeros to SIZE bytes
"""
import random
import struct
import sys

HEART = [
    "........",
    ".##..##.",
    "########",
    "########",
    ".######.",
    "..####..",
    "...##...",
    "........",
]


ARROW = [
    "...#...",
    "..###..",
    ".#####.",
    "...#...",
    "...#...",
]

WAVE = [
    "##....##....",
    "..#..#..#..#",
    "...##....##.",
    "............",
]

PICTURES = {"heart": (HEART, (220, 20, 60)), "arrow": (ARROW, (40, 200, 80)),
            "wave": (WAVE, (30, 90, 230))}


def bmp_bytes(width, height, pixels):
    """pixels: (red, green, blue) tuples, top row first; the file stores rows bottom-up."""
    row_size = (3 * width + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for red, green, blue in pixels[y * width:(y + 1) * width]:
            row += bytes((blue, green, red))
        rows.append(bytes(row) + bytes(row_size - len(row)))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def main(argv):
    if len(argv) == 3 and argv[1] in PICTURES:
        picture, colour = PICTURES[argv[1]]
        pixels = [colour if c == "#" else (0, 0, 0) for line in picture for c in line]
        content = bmp_bytes(len(picture[0]), len(picture), pixels)
        out = argv[2]
    elif len(argv) in (5, 6, 7) and argv[1] == "random":
        width, height = int(argv[2]), int(argv[3])
        generator = random.Random(int(argv[5]) if len(argv) > 5 else 1)
        pixels = [tuple(generator.randrange(256) for _ in range(3)) for _ in range(width * height)]
        content = bmp_bytes(width, height, pixels)
        if len(argv) > 6:
            content = content.ljust(int(argv[6]), b"\0")
        out = argv[4]
    else:
        sys.exit(__doc__)
    with open(out, "wb") as f:
        f.write(content)


if __name__ == "__main__":
    main(sys.argv)
