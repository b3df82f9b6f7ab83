#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus into the folder given: make_corpus.py DIR"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples"))
from make_bmp import bmp_bytes  # noqa: E402

INT32_MIN, INT32_MAX = -(2**31), 2**31 - 1


def with_dimensions(content, width, height):
    return content[:18] + struct.pack("<ii", width, height) + content[26:]


def seeds():
    for width in range(1, 10):
        for height in (1, 2, 3, 5):
            pixels = [((7 * k) % 256, (13 * k) % 256, 255 - k % 256) for k in range(width * height)]
            whole = bmp_bytes(width, height, pixels)
            fill = (4 - 3 * width % 4) % 4
            yield f"image_{width}x{height}", whole
            yield f"exact_end_{width}x{height}", whole[:len(whole) - fill]
            yield f"one_short_{width}x{height}", whole[:len(whole) - fill - 1]
    prefix_source = bmp_bytes(2, 2, [(1, 2, 3), (0, 0, 0), (255, 255, 255), (9, 8, 7)])
    for length in range(61):
        yield f"length_{length}", prefix_source[:length]
    odd = [0, -1, 1, INT32_MIN, INT32_MAX, 1431655765, 1431655766, 1431655764, 715827883]
    header = bmp_bytes(1, 1, [(1, 2, 3)])
    for width in odd:
        for height in (0, -1, 1, 2, INT32_MIN, INT32_MAX):
            yield f"dims_{width}_{height}", with_dimensions(header, width, height)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, content in seeds():
        with open(os.path.join(sys.argv[1], name), "wb") as f:
            f.write(content)


if __name__ == "__main__":
    main()
