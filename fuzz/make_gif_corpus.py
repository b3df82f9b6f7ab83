#!/usr/bin/env python3
"""Writes the GIF fuzzer's seed corpus, GIFs saved by Pillow, into the folder given:
make_gif_corpus.py DIR"""
import os
import pathlib
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "support"))
from pillow_gifs import save_pillow_gifs  # noqa: E402


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = pathlib.Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    # Frames with every disposal and a transparent index; interlaced frames.
    save_pillow_gifs(folder)
    # 256 colours of noise, whose LZW table fills; one pixel, with a GIF87a header.
    noise = Image.frombytes("L", (48, 48), bytes((k * 7919) % 251 for k in range(48 * 48)))
    noise.save(folder / "noise.gif")
    Image.new("P", (1, 1), 1).save(folder / "one.gif")
    # Two frames, one with a local colour table.
    frames = [Image.new("RGB", (6, 5), (200, 10, 10)), Image.new("RGB", (6, 5), (10, 10, 200))]
    frames[0].save(folder / "local.gif", save_all=True, append_images=frames[1:], duration=40)


if __name__ == "__main__":
    main()
