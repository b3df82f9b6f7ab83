#!/usr/bin/env python3
"""Draws texts tivrano wrote as LED panels side by side, each LED a dot lit as its values say.

    draw_leds.py OUT.png TEXT.c[=CAPTION]...

Each text is read back as the tool wrote it: its width and height from the comment, its values
in the channel order the comment names, rows from the top left (other wiring is refused). An
LED's light grows in proportion to its value, while a screen's grows about as the value to the
power 2.2: each value is drawn as the screen value that gives the same light. Needs Pillow.
"""
import re
import sys

from PIL import Image, ImageDraw

CELL = 28
MARGIN = 16
CAPTION = 24


def panel(path):
    text = open(path, encoding="ascii").read()
    size = re.search(r"Breite: (\d+), Hoehe: (\d+)", text)
    order = re.search(r"3 bytes / pixel, ([RGB]{3}) Reihenfolge", text)
    if not size or not order or "Wiring:" in text:
        sys.exit(f"{path}: not a text of rows from the top left")
    width, height = int(size.group(1)), int(size.group(2))
    values = [int(v) for v in re.findall(r"\d+", text.split("{", 1)[1])]
    leds = [dict(zip(order.group(1), values[k:k + 3])) for k in range(0, len(values), 3)]
    def light(value):
        return round(255 * (value / 255) ** (1 / 2.2))
    return width, height, [(light(led["R"]), light(led["G"]), light(led["B"])) for led in leds]


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    panels = []
    for argument in argv[2:]:
        path, _, caption = argument.partition("=")
        panels.append((panel(path), caption or path))
    width = sum(MARGIN + w * CELL for (w, _, _), _ in panels) + MARGIN
    height = MARGIN + max(h * CELL for (_, h, _), _ in panels) + CAPTION + MARGIN
    image = Image.new("RGB", (width, height), (12, 12, 16))
    draw = ImageDraw.Draw(image)
    left = MARGIN
    for (w, h, leds), caption in panels:
        for k, colour in enumerate(leds):
            x, y = left + k % w * CELL, MARGIN + k // w * CELL
            draw.ellipse((x + 3, y + 3, x + CELL - 4, y + CELL - 4), fill=colour,
                         outline=(40, 40, 48))
        draw.text((left, MARGIN + h * CELL + 6), caption, fill=(220, 220, 220))
        left += MARGIN + w * CELL
    image.save(argv[1])


if __name__ == "__main__":
    main(sys.argv)
