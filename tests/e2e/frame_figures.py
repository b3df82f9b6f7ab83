#!/usr/bin/env python3
"""Prints what examples/animation prints for its frames, from Pillow's own decoding of them.

    frame_figures.py [--order=ORDER] [--start=CORNER] [--columns] [--serpentine] [--hex]
                     [--delay-ms=MS] [--background=RRGGBB] NAME=FILE.bmp | NAME=FILE.gif | NAME=FILE.png:FILE.png...
                     ...

Each frame: its bytes, by default in green, red, blue order, top row first, their count, the
width and height, and their 32-bit FNV-1a checksum; then the line on the table of the BMP
frames. The options lay the bytes out as tivrano's do; --hex prints each frame's bytes in hex
instead. A GIF, or PNG files joined by colons, is an animation: a line with its frame count and
delays (the GIF's own, or --delay-ms, 100 by default), then each frame, laid on black (or
--background) where it is transparent, as NAME[K].
"""
import sys

from PIL import Image, ImageChops, ImageSequence


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


def gif_frames(path):
    """The frames of a GIF as a browser shows them, with their delays: what no frame has
    covered yet is transparent, not the GIF's background colour."""
    with Image.open(path) as gif:
        covered = Image.new("L", gif.size, 0)
        frames = []
        for frame in ImageSequence.Iterator(gif):
            covered.paste(255, frame.dispose_extent)
            rgba = frame.convert("RGBA")
            rgba.putalpha(ImageChops.multiply(rgba.getchannel("A"), covered))
            frames.append((rgba, frame.info["duration"]))
    return frames


def show(name, image, options):
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
    bmps = 0
    for argument in frames:
        name, path = argument.split("=", 1)
        if path.lower().endswith(".bmp"):
            bmps += 1
            with Image.open(path) as image:
                show(name, image, options)
            continue
        if path.lower().endswith(".gif"):
            shown = gif_frames(path)
        else:
            delay = int(options.get("delay-ms", 100))
            shown = [(Image.open(png).convert("RGBA"), delay) for png in path.split(":")]
        if "hex" not in options:
            delays = " ".join(str(delay) for _, delay in shown)
            print(f"{name}: {len(shown)} frames, delays {delays} ms")
        under = tuple(bytes.fromhex(options.get("background", "000000"))) + (255,)
        for k, (frame, _) in enumerate(shown):
            ground = Image.new("RGBA", frame.size, under)
            show(f"{name}[{k}]", Image.alpha_composite(ground, frame), options)
    if "hex" not in options:
        print(f"table: {bmps} frames, in order")


if __name__ == "__main__":
    main(sys.argv)
