#!/usr/bin/env python3
"""The tool's binary formats against Pillow's own unpacking of them.

    formats_test.py TIVRANO

Images of a few sizes, some leaving bits over in a byte, are converted with --binary. Pillow
reads rgb565 bytes back with its raw decoders "BGR;16" (a little-endian value, red in the top
bits) and "RGB;16" (blue there): every pixel must keep the top 5, 6 and 5 bits of the image's
red, green and blue. It reads mono bytes as an image of mode "1" (rows padded to whole bytes,
the first pixel in a byte's top bit): every pixel must be lit exactly when
(299 R + 587 G + 114 B + 500) / 1000 reaches the threshold; along columns, the picture turned
over its diagonal.
"""
import pathlib
import random
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    print("skipped: Pillow is missing (apt-get install python3-pil)")
    sys.exit(77)


THRESHOLDS = (1, 29, 100, 119, 128, 255)
# Greys, whose brightness is their value, at and beside every threshold, and colours whose
# brightness comes from exactly half-way: (28500 + 500) / 1000 is 29, (118500 + 500) / 1000 119.
CHOSEN = sorted({(max(0, min(255, t + d)),) * 3 for t in THRESHOLDS for d in (-1, 0, 1)}) + \
    [(0, 0, 250), (200, 100, 0)]


def images(folder):
    """Plain 24-bit BMPs, as Pillow writes them, with their pixels."""
    generator = random.Random(2026)
    for width, height in ((8, 8), (13, 7), (9, 3), (1, 17), (17, 6)):
        image = Image.new("RGB", (width, height))
        # The extremes common, and every third pixel one of those chosen.
        image.putdata([tuple(generator.choice((0, 255, generator.randrange(256)))
                             for _ in range(3)) if k % 3 else CHOSEN[k // 3 % len(CHOSEN)]
                       for k in range(width * height)])
        path = folder / f"{width}x{height}.bmp"
        image.save(path)
        yield path, image


def binary(tool, options, path):
    done = subprocess.run([tool, "--binary", *options, str(path)], capture_output=True)
    if done.returncode != 0 or done.stderr:
        raise AssertionError(f"{options}: status {done.returncode}: {done.stderr.decode()}")
    return done.stdout


def rgb565_problems(tool, path, image):
    problems = []
    for options, decoder in ((["--format=rgb565"], "BGR;16"),
                             (["--format=rgb565", "--swap-bytes"], "BGR;16"),
                             (["--format=rgb565", "--order=bgr"], "RGB;16")):
        data = binary(tool, options, path)
        if "--swap-bytes" in options:
            data = bytes(data[k ^ 1] for k in range(len(data)))
        read = Image.frombytes("RGB", image.size, data, "raw", decoder)
        top = [(r >> 3, g >> 2, b >> 3) for r, g, b in image.getdata()]
        if [(r >> 3, g >> 2, b >> 3) for r, g, b in read.getdata()] != top:
            problems.append(f"{path.name} {' '.join(options)}: not the pixels' top bits")
    return problems


def mono_problems(tool, path, image):
    problems = []
    for threshold in THRESHOLDS:
        lit = Image.new("1", image.size)
        lit.putdata([255 if (299 * r + 587 * g + 114 * b + 500) // 1000 >= threshold else 0
                     for r, g, b in image.getdata()])
        for columns in (False, True):
            options = ["--format=mono", f"--threshold={threshold}"] + (["--columns"] if columns
                                                                        else [])
            expected = lit.transpose(Image.Transpose.TRANSPOSE) if columns else lit
            data = binary(tool, options, path)
            try:
                read = Image.frombytes("1", expected.size, data)
            except ValueError as error:
                problems.append(f"{path.name} {' '.join(options)}: {error}")
                continue
            if len(data) != expected.size[1] * ((expected.size[0] + 7) // 8) or \
                    list(read.getdata()) != list(expected.getdata()):
                problems.append(f"{path.name} {' '.join(options)}: not the lit pixels")
    return problems


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    tool = argv[1]
    problems, checked = [], 0
    with tempfile.TemporaryDirectory(prefix="tivrano formats ") as name:
        for path, image in images(pathlib.Path(name)):
            problems += rgb565_problems(tool, path, image) + mono_problems(tool, path, image)
            checked += 1
    for problem in problems:
        print("FAILED:", problem)
    print(f"{checked} images in rgb565 and mono, {len(problems)} problems")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main(sys.argv)
