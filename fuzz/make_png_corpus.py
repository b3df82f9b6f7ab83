#!/usr/bin/env python3
"""Writes PNGs of every kind into a folder, the PNG fuzzer's seeds: each colour type and depth,
palettes with tRNS, interlaced files, a gAMA chunk and an empty IDAT chunk.

    make_png_corpus.py OUT_DIR

The same PNGs are compared with Pillow's decoding by tests/e2e/png_test.py, which imports
png() and kinds() from here.
"""
import os
import struct
import sys
import zlib

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def packed_row(samples, depth):
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    per_byte, out = 8 // depth, bytearray()
    for k in range(0, len(samples), per_byte):
        byte = 0
        for j, s in enumerate(samples[k:k + per_byte]):
            byte |= s << (8 - depth * (j + 1))
        out.append(byte)
    return bytes(out)


def png(width, height, colour_type, depth, pixels, palette=None, trns=None, interlace=False,
        gamma=None, empty_idat=False):
    """pixels[y][x] is a tuple of samples for the colour type."""
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    raw = bytearray()
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        if not xs:
            continue
        for y in range(y0, height, dy):
            samples = [s for x in xs for s in pixels[y][x]]
            raw += b"\0" + packed_row(samples, depth)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(
        ">IIBBBBB", width, height, depth, colour_type, 0, 0, 1 if interlace else 0))
    if gamma:
        data += chunk(b"gAMA", struct.pack(">I", gamma))
    if palette:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns is not None:
        data += chunk(b"tRNS", trns)
    if empty_idat:  # valid, and once read from a null pointer
        data += chunk(b"IDAT", b"")
    return data + chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b"")


def kinds():
    w, h = 13, 11  # odd sizes cross every interlace pass and leave bits over in a row
    def grid(f):
        return [[f(x, y) for x in range(w)] for y in range(h)]
    yield "grey 1-bit", png(w, h, 0, 1, grid(lambda x, y: ((x + y) % 2,)))
    yield "grey 2-bit", png(w, h, 0, 2, grid(lambda x, y: ((x * y) % 4,)))
    yield "grey 4-bit interlaced", png(w, h, 0, 4, grid(lambda x, y: ((x + 3 * y) % 16,)),
                                       interlace=True)
    yield "grey 8-bit with tRNS", png(w, h, 0, 8, grid(lambda x, y: ((x * 20) % 256,)),
                                      trns=struct.pack(">H", 40))
    yield "grey 16-bit", png(w, h, 0, 16, grid(lambda x, y: ((x * 5003 + y * 307) % 65536,)))
    yield "grey and alpha 8-bit", png(w, h, 4, 8, grid(lambda x, y: (x * 19, y * 25)))
    yield "grey and alpha 16-bit", png(w, h, 4, 16, grid(lambda x, y: (x * 5000, y * 6000)))
    yield "RGB 8-bit with a gAMA chunk", png(w, h, 2, 8,
                                             grid(lambda x, y: (x * 19, y * 23, (x * y) % 256)),
                                             gamma=45455)
    yield "RGB 8-bit with tRNS", png(w, h, 2, 8, grid(lambda x, y: (x % 2 * 200, 10, 20)),
                                     trns=struct.pack(">HHH", 200, 10, 20))
    yield "RGB 16-bit interlaced", png(w, h, 2, 16, grid(
        lambda x, y: (x * 5000 + 255, y * 6000, (x * y * 997) % 65536)), interlace=True)
    yield "RGB 8-bit after an empty IDAT", png(w, h, 2, 8, grid(lambda x, y: (x, y, 9)),
                                               empty_idat=True)
    yield "RGBA 8-bit", png(w, h, 6, 8, grid(lambda x, y: (x * 19, y * 23, 77, (x * y * 7) % 256)))
    yield "RGBA 16-bit", png(w, h, 6, 16, grid(
        lambda x, y: (x * 5000, y * 6000, 30000, (x * y * 1999) % 65536)))
    palette = [(k * 16, 255 - k * 16, (k * 77) % 256) for k in range(16)]
    yield "palette 1-bit", png(w, h, 3, 1, grid(lambda x, y: ((x ^ y) & 1,)), palette[:2])
    yield "palette 4-bit with tRNS", png(w, h, 3, 4, grid(lambda x, y: ((x + y) % 16,)), palette,
                                         trns=bytes([0, 128, 255, 7]))
    yield "palette 8-bit interlaced with tRNS", png(
        w, h, 3, 8, grid(lambda x, y: ((x * y) % 16,)), palette, trns=bytes([30] * 16),
        interlace=True)


def main():
    os.makedirs(sys.argv[1], exist_ok=True)
    for k, (_, data) in enumerate(kinds()):
        with open(os.path.join(sys.argv[1], "%02d.png" % k), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
