#!/usr/bin/env python3
"""Draws the animations the packing benchmark measures, each as numbered BMP frames.

    animations.py OUT_DIR

Writes OUT_DIR/NAME/frame_NNN.bmp for each animation and prints one line for each:
NAME GROUP FRAMES. The groups: pixel16 (16 x 16 pixel art: sprites, a heart, fire, text, a
game of life, a rainbow that changes every LED each frame, twinkling stars), matrix (32 x 32
and 64 x 32 LED-matrix scenes, among them a plasma of 16 colours) and photo (a clip of a
photograph, hundreds of colours). Everything is drawn here, deterministically; the photograph
is ImageMagick's built-in rose, which the clip pans across.
"""
import math
import os
import random
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "examples"))
from make_bmp import bmp_bytes  # noqa: E402

BLACK = (0, 0, 0)
FONT = {  # 3 x 5 letters, rows top first
    "T": ["###", ".#.", ".#.", ".#.", ".#."], "I": ["###", ".#.", ".#.", ".#.", "###"],
    "V": ["#.#", "#.#", "#.#", "#.#", ".#."], "R": ["##.", "#.#", "##.", "#.#", "#.#"],
    "A": [".#.", "#.#", "###", "#.#", "#.#"], "N": ["#.#", "###", "###", "###", "#.#"],
    "O": [".#.", "#.#", "#.#", "#.#", ".#."], "L": ["#..", "#..", "#..", "#..", "###"],
    "E": ["###", "#..", "##.", "#..", "###"], "D": ["##.", "#.#", "#.#", "#.#", "##."],
    "S": [".##", "#..", ".#.", "..#", "##."], " ": ["...", "...", "...", "...", "..."],
}
GHOST = ["..###..", ".#####.", "#.##.##", "#######", "#######", "#######", "#.#.#.#"]


class Canvas:
    def __init__(self, width, height, colour=BLACK):
        self.width, self.height = width, height
        self.pixels = [colour] * (width * height)

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = colour

    def sprite(self, rows, x0, y0, colours):
        for y, row in enumerate(rows):
            for x, c in enumerate(row):
                if c in colours:
                    self.set(x0 + x, y0 + y, colours[c])

    def text(self, words, x0, y0, colour):
        for k, letter in enumerate(words):
            self.sprite(FONT[letter], x0 + 4 * k, y0, {"#": colour})


def heart():
    for k in range(8):
        c = Canvas(16, 16)
        r = 5.5 + 1.2 * math.sin(k * math.pi / 4)
        for y in range(16):
            for x in range(16):
                u, v = (x - 7.5) / r, (7.0 - y) / r
                f = (u * u + v * v - 1) ** 3 - u * u * v ** 3
                if f <= 0:
                    c.set(x, y, (220, 20, 60) if f > -0.02 else (255, 80, 110))
        yield c


def ghost():
    for k in range(24):
        c = Canvas(16, 16, (0, 0, 40))
        for x in range(0, 16, 2):
            c.set(x, 13, (200, 200, 120))
        eyes = {"#": (255, 120, 200), ".": (0, 0, 40)}
        c.sprite(GHOST if k % 2 else GHOST[:6] + ["##.#.##"], k - 4, 4, eyes)
        c.set(k - 2, 6, (255, 255, 255))
        c.set(k + 1, 6, (255, 255, 255))
        yield c


def pacman():
    for k in range(16):
        c = Canvas(16, 16)
        for x in range(k + 8, 16, 3):
            c.set(x, 8, (255, 200, 150))
        mouth = abs(4 - k % 8) / 4 * 0.8
        for y in range(16):
            for x in range(16):
                dx, dy = x - (k - 2), y - 8
                if dx * dx + dy * dy <= 30 and not (dx > 0 and abs(dy) <= mouth * dx):
                    c.set(x, y, (255, 220, 0))
        yield c


def spinner():
    for k in range(8):
        c = Canvas(16, 16)
        for d in range(8):
            level = [255, 160, 100, 60, 30, 0, 0, 0][(k - d) % 8]
            x, y = 7.5 + 6 * math.cos(d * math.pi / 4), 7.5 + 6 * math.sin(d * math.pi / 4)
            for ox in (0, 1):
                for oy in (0, 1):
                    c.set(int(x) + ox - 1, int(y) + oy - 1, (0, level, level // 2))
        yield c


def life():
    cells = {(1, 0), (2, 1), (0, 2), (1, 2), (2, 2), (9, 9), (10, 9), (11, 9), (6, 3), (6, 4), (7, 3)}
    for _ in range(32):
        c = Canvas(16, 16)
        for x, y in cells:
            c.set(x, y, (80, 255, 80))
        yield c
        near = {}
        for x, y in cells:
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    if dx or dy:
                        p = ((x + dx) % 16, (y + dy) % 16)
                        near[p] = near.get(p, 0) + 1
        cells = {p for p, n in near.items() if n == 3 or (n == 2 and p in cells)}


def fire(width=16, height=16, frames=32):
    palette = [(min(255, 24 * i), min(255, max(0, 24 * i - 255)), min(255, max(0, 24 * i - 510)))
               for i in range(36)]
    heat = [[0] * width for _ in range(height)]
    rng = random.Random(7)
    for _ in range(frames + 8):
        heat[height - 1] = [35] * width
        for y in range(height - 1):
            for x in range(width):
                r = rng.randrange(3)
                heat[y][(x - r + 1) % width] = max(0, heat[y + 1][x] - (r & 1) * 3)
        c = Canvas(width, height)
        for y in range(height):
            for x in range(width):
                c.set(x, y, palette[heat[y][x]])
        yield c


def scroll(width=16, height=16, words="TIVRANO LEDS", frames=None):
    span = 4 * len(words) + width
    for k in range(frames or span):
        c = Canvas(width, height, (10, 0, 30))
        c.text(words, width - k, height // 2 - 3, (255, 160, 0))
        yield c


def rainbow():
    hues = [(255, 0, 0), (255, 128, 0), (255, 255, 0), (0, 255, 0), (0, 255, 255), (0, 0, 255),
            (128, 0, 255), (255, 0, 128)]
    for k in range(24):
        c = Canvas(16, 16)
        for y in range(16):
            for x in range(16):
                a, b = hues[(x + y + k) // 2 % 8], hues[((x + y + k) // 2 + 1) % 8]
                w = (x + y + k) % 2 / 2
                c.set(x, y, tuple(int(p * (1 - w) + q * w) for p, q in zip(a, b)))
        yield c


def sparkle():
    rng = random.Random(3)
    stars = [(rng.randrange(16), rng.randrange(16), rng.randrange(8)) for _ in range(40)]
    for k in range(32):
        c = Canvas(16, 16, (0, 0, 24))
        for x, y, phase in stars:
            level = [0, 40, 90, 160, 255, 160, 90, 40][(k + phase) % 8]
            if level:
                c.set(x, y, (level, level, min(255, level + 40)))
        yield c


def plasma():
    for k in range(32):
        c = Canvas(32, 32)
        for y in range(32):
            for x in range(32):
                v = (math.sin(x / 4 + k / 3) + math.sin(y / 5 - k / 4) +
                     math.sin((x + y) / 6 + k / 5)) / 3
                level = int((v + 1) * 7.99)  # 16 steps, as a GIF of few colours has them
                c.set(x, y, (level * 17, 255 - level * 17, (level * 40) % 256))
        yield c


def bounce():
    for k in range(24):
        c = Canvas(32, 32, (0, 0, 20))
        for x in range(32):
            c.set(x, 30, (0, 120, 0))
            c.set(x, 31, (0, 80, 0))
        y0 = 24 - abs(math.sin(k * math.pi / 12)) * 18
        x0 = 4 + k
        for y in range(32):
            for x in range(32):
                d = math.hypot(x - x0, y - y0)
                if d <= 5:
                    shade = max(0, min(4, int((x - x0 + y - y0 + 7) / 3)))
                    c.set(x, y, [(255, 230, 230), (255, 160, 160), (230, 60, 60), (180, 30, 30),
                                 (120, 10, 10)][shade])
        yield c


def runner():
    body = ["..##..", "..##..", ".####.", "#.##.#", "..##..", ".#..#.", "#....#"]
    legs = ["..##..", "..##..", ".####.", "#.##.#", "..##..", "..##..", "..#..."]
    for k in range(32):
        c = Canvas(64, 32, (60, 120, 255))
        for x in range(64):
            for y in range(26, 32):
                c.set(x, y, (120, 70, 20) if (x + k) % 8 < 6 or y > 27 else (40, 160, 40))
        for cloud in (5, 30, 52):
            cx = (cloud - k // 2) % 72 - 4
            for dx in range(8):
                c.set(cx + dx, 6, (255, 255, 255))
                if 1 < dx < 6:
                    c.set(cx + dx, 5, (255, 255, 255))
        c.sprite(body if k % 2 else legs, 20, 19, {"#": (255, 40, 40)})
        c.text("RAN", 40, 1, (255, 255, 0))
        yield c


def ticker():
    yield from scroll(64, 32, "TIVRANO RANS ON LEDS", 100)


def photo():
    magick = next((m for m in ("magick", "convert") if subprocess.run(
        ["sh", "-c", f"command -v {m}"], capture_output=True).returncode == 0), None)
    if magick is None:
        return
    rgb = subprocess.run([magick, "rose:", "-depth", "8", "rgb:-"], capture_output=True,
                         check=True).stdout
    width, height = 70, 46
    for k in range(24):
        x0 = [0, 6, 12, 18, 24, 30, 36, 42, 48, 54, 48, 42, 36, 30, 24, 18, 12, 6, 0, 3, 9, 15,
              21, 27][k]
        y0 = (k * 5) % 30
        c = Canvas(16, 16)
        for y in range(16):
            for x in range(16):
                at = 3 * ((y0 + y) * width + x0 + x)
                c.set(x, y, tuple(rgb[at:at + 3]))
        yield c


ANIMATIONS = [
    ("heart", "pixel16", heart), ("ghost", "pixel16", ghost), ("pacman", "pixel16", pacman),
    ("spinner", "pixel16", spinner), ("life", "pixel16", life), ("fire", "pixel16", fire),
    ("scroll", "pixel16", scroll), ("rainbow", "pixel16", rainbow),
    ("sparkle", "pixel16", sparkle), ("bounce32", "matrix", bounce), ("plasma32", "matrix", plasma),
    ("runner64x32", "matrix", runner), ("ticker64x32", "matrix", ticker),
    ("photo", "photo", photo),
]


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    for name, group, draw in ANIMATIONS:
        folder = os.path.join(argv[1], name)
        os.makedirs(folder, exist_ok=True)
        count = 0
        for count, canvas in enumerate(draw(), 1):
            with open(os.path.join(folder, f"frame_{count - 1:03d}.bmp"), "wb") as out:
                out.write(bmp_bytes(canvas.width, canvas.height, canvas.pixels))
        if count:
            print(name, group, count)


if __name__ == "__main__":
    main(sys.argv)
