#!/usr/bin/env python3
"""Writes GIFs saved by Pillow into FOLDER, then decodes every GIF there with Pillow.

    pillow_gifs.py FOLDER

For each NAME.gif that Pillow opens it writes NAME.txt, "width height frames", and NAME.rgba,
every frame as Pillow composes it (seek, then convert to RGBA), one after another.
"""
import pathlib
import sys

from PIL import Image

PALETTE = [0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0, 255, 255, 255]


def frame(size, boxes):
    """A P image of `size`, index 0 (transparent) but for (box, index) pairs."""
    image = Image.new("P", size, 0)
    image.putpalette(PALETTE)
    for box, index in boxes:
        image.paste(index, box)
    return image


def save_pillow_gifs(folder):
    # Every disposal, with a transparent index, over frames Pillow crops to what changed.
    frames = [frame((12, 10), [((0, 0, 12, 10), 1)]),
              frame((12, 10), [((0, 0, 12, 10), 1), ((2, 2, 6, 6), 2)]),
              frame((12, 10), [((0, 0, 12, 10), 1), ((5, 3, 9, 8), 3)]),
              frame((12, 10), [((0, 0, 12, 10), 1), ((1, 6, 11, 9), 4)]),
              frame((12, 10), [((0, 0, 4, 4), 5)])]
    frames[0].save(folder / "pillow_disposals.gif", save_all=True, append_images=frames[1:],
                   transparency=0, disposal=[0, 1, 2, 3, 2], duration=[10, 20, 30, 40, 50],
                   loop=0, comment=b"made by Pillow")
    # Every disposal without a transparent index, where browsers clear to transparent.
    frames = [Image.new("RGB", (9, 7), colour) for colour in ("red", "blue", "lime", "white")]
    for k, image in enumerate(frames):
        image.paste((255, 255, 0), (k, k + 1, k + 3, k + 4))
    frames[0].save(folder / "pillow_opaque_disposals.gif", save_all=True,
                   append_images=frames[1:], disposal=[2, 3, 2, 1], duration=[0, 10, 0, 250])
    # Pillow interlaces frames of 16 pixels and more on each side.
    frames = [frame((17, 23), [((0, 0, 17, 23), 5), ((3, y, 15, y + 1), 1 + y % 4)])
              for y in range(0, 23, 5)]
    frames[0].save(folder / "pillow_interlaced.gif", save_all=True, append_images=frames[1:],
                   duration=70, optimize=False)


def decode_all(folder):
    for path in sorted(folder.glob("*.gif")):
        try:
            with Image.open(path) as image:
                frames = []
                for k in range(image.n_frames):
                    image.seek(k)
                    frames.append(image.convert("RGBA").tobytes())
                size = image.size
        except (OSError, ValueError, EOFError, SyntaxError):
            continue
        path.with_suffix(".rgba").write_bytes(b"".join(frames))
        path.with_suffix(".txt").write_text(f"{size[0]} {size[1]} {len(frames)}\n")


def main():
    folder = pathlib.Path(sys.argv[1])
    save_pillow_gifs(folder)
    decode_all(folder)


if __name__ == "__main__":
    main()
