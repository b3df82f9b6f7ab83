#!/usr/bin/env python3
"""Estimates what a packed format that codes each LED from what the LED buffer already holds would
store, against zlib -9 and xz of the same frames: a model for a smaller format, not a packer.

    /usr/bin/python3 bench/small_estimate.py [DIR]

DIR holds frames as bench/animations.sh's FRAMES=DIR does: DIR/list names them, a line
`NAME GROUP COUNT` for each DIR/NAME/*.bmp. Without DIR, the benchmark's own set is drawn
(bench/animations.py, the photograph left out: its thousands of colours are not what this model
is for). Needs Pillow.

The model, for each LED of a frame in the order the buffer holds them (or the reverse, chosen
for each frame), asks in turn whether it is: the LED as the previous frame left it; the LED at
one offset a frame (up to 3 LEDs across and down) in the previous frame, where the buffer still
holds it; the LED before it on its row; the LED above it. A candidate whose colour one already
refused would give is not asked. Each question is a bit, coded with a fixed probability of 8
bits for it and for the answer to the LED before (about 20 bytes a table); an LED that is none of
them is an index into the palette (its commonest 256 colours), coded as bits from a tree of
fixed probabilities (1 byte a node), or 24 bits as it is. The bytes counted are those bits at
their entropy under those probabilities (what a binary coder comes close to), the
tables, the palette, and a byte a frame for its offset and order. A frame's record, its delay
and the tables of tivrano_frame's format are not counted: on 16 x 16 frames they add about
4 bytes a frame.
"""
import collections
import glob
import lzma
import math
import os
import subprocess
import sys
import tempfile
import zlib

from PIL import Image

OFFSETS = [(order, dx, dy) for order in (1, -1) for dx in range(-3, 4) for dy in range(-3, 4)
           if (dx, dy) != (0, 0)]


def load(folder):
    frames = []
    for path in sorted(glob.glob(os.path.join(folder, "*.bmp"))):
        image = Image.open(path).convert("RGB")
        width, height = image.size
        frames.append([g << 16 | r << 8 | b for (r, g, b) in image.getdata()])
    return width, height, frames


def coded_bits(counts):
    """The bits of every question, each answered with its own fixed probability of 8 bits."""
    bits = 0.0
    for yes, no in counts.values():
        if yes and no:
            p = min(max(round(256 * yes / (yes + no)), 1), 255) / 256
            bits -= yes * math.log2(p) + no * math.log2(1 - p)
    return bits


def offset_of(width, height, previous, frame):
    """The order and offset whose LEDs of the previous frame, still in the buffer, give the most
    LEDs that changed."""
    best = (0, (1, 0, 0))
    for order, dx, dy in OFFSETS:
        gained = 0
        for y in range(max(0, dy), min(height, height + dy)):
            for x in range(max(0, dx), min(width, width + dx)):
                led, source = y * width + x, (y - dy) * width + x - dx
                if (source - led) * order > 0 and frame[led] != previous[led] and \
                        frame[led] == previous[source]:
                    gained += 1
        best = max(best, (gained, (order, dx, dy)))
    return best[1]


def estimate(width, height, frames):
    leds = width * height
    palette = [c for c, _ in collections.Counter(c for f in frames for c in f).most_common(256)]
    index = {colour: k for k, colour in enumerate(palette)}
    bits = max(1, math.ceil(math.log2(len(palette))))
    questions = collections.defaultdict(lambda: [0, 0])
    tree = collections.defaultdict(lambda: [0, 0])
    as_is = 0
    previous = None
    for frame in frames:
        order, dx, dy = (1, 0, 0) if previous is None else offset_of(width, height, previous, frame)
        buffer = list(previous) if previous else [None] * leds
        last = "start"
        for led in range(leds) if order == 1 else range(leds - 1, -1, -1):
            x, y = led % width, led // width
            candidates = [("kept", buffer[led])] if previous else []
            source = (y - dy) * width + x - dx
            if (dx, dy) != (0, 0) and 0 <= x - dx < width and 0 <= y - dy < height and \
                    (source - led) * order > 0:
                candidates.append(("moved", buffer[source]))
            if 0 <= x - order < width:
                candidates.append(("left", buffer[led - order]))
            if 0 <= y - order < height:
                candidates.append(("above", buffer[led - order * width]))
            refused, answer = set(), "new"
            for name, colour in candidates:
                if colour is None or colour in refused:
                    continue
                questions[(name, last)][0 if colour == frame[led] else 1] += 1
                if colour == frame[led]:
                    answer = name
                    break
                refused.add(colour)
            if answer == "new" and frame[led] in index:
                node = 1
                for shift in range(bits - 1, -1, -1):
                    bit = index[frame[led]] >> shift & 1
                    tree[node][bit] += 1
                    node = 2 * node + bit
            elif answer == "new":
                as_is += 24
            buffer[led] = frame[led]
            last = answer
        previous = frame
    tables = len(questions) + 2**bits - 1 + 3 * len(palette)
    return (coded_bits(questions) + coded_bits(tree) + as_is) / 8 + tables + len(frames)


def main(argv):
    with tempfile.TemporaryDirectory() as drawn:
        folder = argv[1] if len(argv) > 1 else drawn
        if len(argv) == 1:
            listed = subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__),
                                     "animations.py"), drawn], check=True, capture_output=True,
                                    text=True).stdout
            with open(os.path.join(drawn, "list"), "w") as out:
                out.write("".join(line + "\n" for line in listed.splitlines()
                                  if line.split()[1] != "photo"))
        totals = collections.defaultdict(lambda: [0, 0.0, 0, 0])
        print("| Animation | Frames | Size | Model | zlib -9 | xz -9e |")
        print("|---|---|---|---|---|---|")
        with open(os.path.join(folder, "list")) as listing:
            for line in listing:
                name, group = line.split()[:2]
                width, height, frames = load(os.path.join(folder, name))
                raw = b"".join(bytes(v for c in f for v in (c >> 16, c >> 8 & 255, c & 255))
                               for f in frames)
                sizes = [estimate(width, height, frames), len(zlib.compress(raw, 9)),
                         len(lzma.compress(raw, preset=9 | lzma.PRESET_EXTREME))]
                total = totals[group]
                total[0] += len(raw)
                for k, size in enumerate(sizes):
                    total[k + 1] += size
                shares = " | ".join(f"{100 * s / len(raw):.1f} %" for s in sizes)
                print(f"| {name} | {len(frames)} | {width} x {height} | {shares} |", flush=True)
        for group, (raw, *sizes) in totals.items():
            shares = " | ".join(f"{100 * s / raw:.1f} %" for s in sizes)
            print(f"| {group}, all | | | {shares} |")


if __name__ == "__main__":
    main(sys.argv)
