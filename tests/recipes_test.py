#!/usr/bin/env python3
"""The README's recipes for making frames, each checked against the library's own decoding.

    recipes_test.py TIVRANO

Test images are made with ImageMagick: a photo-like RGB image of odd width, one with an alpha
channel, a palette image, a grey one, and an animated GIF whose frames cover only part of the
canvas. Each recipe turns them into BMP files; tivrano must convert every one without a word on
standard error, and its values must be the library's own decoding of the source image,
reordered to green, red, blue, top row first. Exit status 77 when ImageMagick or Pillow is
missing, unless CI is set.
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import warnings


def skip(reason):
    print(("FAILED, in CI: " if os.environ.get("CI") else "skipped: ") + reason)
    sys.exit(1 if os.environ.get("CI") else 77)


try:
    from PIL import Image
except ImportError:
    skip("no Pillow (python3-pil)")

# ImageMagick gives its palette images a transparency chunk, which Pillow warns about.
warnings.filterwarnings("ignore", message="Palette images with Transparency")
failures = []


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, **options)


def grb(rgb):
    """Bytes in red, green, blue order, as green, red, blue values."""
    return [value for k in range(0, len(rgb), 3) for value in (rgb[k + 1], rgb[k], rgb[k + 2])]


def check(tool, recipe, bmp, expected):
    converted = subprocess.run([tool, str(bmp)], capture_output=True)
    text = converted.stdout.decode("ascii")
    values = [int(v) for v in re.findall(r"\d+", text.split("{", 1)[-1])]
    problems = []
    if converted.returncode != 0:
        problems.append(f"status {converted.returncode}: {text.strip()}")
    if converted.stderr:
        problems.append(f"standard error: {converted.stderr.decode().strip()}")
    if values != expected:
        first = next((k for k, (a, b) in enumerate(zip(values, expected)) if a != b),
                     min(len(values), len(expected)))
        problems.append(f"{len(values)} values, expected {len(expected)}; first difference at "
                        f"value {first}")
    status = "ok" if not problems else "FAILED: " + "; ".join(problems)
    print(f"{recipe}: {bmp.name}: {status}")
    if problems:
        failures.append(f"{recipe}: {bmp.name}")


# ImageMagick's own programs, before any wrapper of the same name earlier on the PATH.
CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"
MOGRIFY = "/usr/bin/mogrify" if os.path.exists("/usr/bin/mogrify") else "mogrify"


def imagemagick_rgb(*source):
    return run(CONVERT, *source, "-depth", "8", "rgb:-").stdout


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    tool = str(pathlib.Path(argv[1]).resolve())
    if shutil.which(CONVERT) is None or shutil.which(MOGRIFY) is None:
        skip("no ImageMagick (imagemagick)")
    with tempfile.TemporaryDirectory(prefix="tivrano recipes ") as folder:
        work = pathlib.Path(folder)
        stills = ["photo.png", "sprite.png", "palette.png", "grey.png"]
        run(CONVERT, "-seed", "7", "-size", "13x7", "plasma:fractal", "-depth", "8",
            "photo.png", cwd=work)
        run(CONVERT, "photo.png", "-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel",
            "sprite.png", cwd=work)
        run(CONVERT, "photo.png", "-colors", "5", "palette.png", cwd=work)
        run(CONVERT, "photo.png", "-colorspace", "Gray", "grey.png", cwd=work)
        run(CONVERT, "-size", "9x6", "xc:navy", "(", "-size", "4x3", "xc:orange", "-repage",
            "+2+1", ")", "(", "-size", "3x2", "xc:lime", "-repage", "+5+3", ")", "-set",
            "dispose", "none", "anim.gif", cwd=work)

        # ImageMagick, one image: convert in.png -type TrueColor BMP3:out.bmp
        for still in stills:
            out = work / (still + ".im.bmp")
            run(CONVERT, still, "-type", "TrueColor", f"BMP3:{out.name}", cwd=work)
            check(tool, "convert -type TrueColor BMP3:", out, grb(imagemagick_rgb(work / still)))

        # ImageMagick, the frames of a GIF: convert anim.gif -coalesce -type TrueColor BMP3:...
        run(CONVERT, "anim.gif", "-coalesce", "-type", "TrueColor", "BMP3:frame_%02d.bmp",
            cwd=work)
        run(CONVERT, "anim.gif", "-coalesce", "-depth", "8", "+adjoin", "rgb:frame_%02d.rgb",
            cwd=work)
        frames = sorted(work.glob("frame_*.bmp"))
        if len(frames) != 3:
            failures.append(f"-coalesce made {len(frames)} frames instead of 3")
        for frame in frames:
            check(tool, "convert -coalesce", frame,
                  grb(frame.with_suffix(".rgb").read_bytes()))

        # ImageMagick, a folder: mogrify -format bmp -define bmp:format=bmp3 -type TrueColor *.png
        folder = work / "folder"
        folder.mkdir()
        for still in stills:
            shutil.copy(work / still, folder / still)
        run(MOGRIFY, "-format", "bmp", "-define", "bmp:format=bmp3", "-type", "TrueColor",
            *stills, cwd=folder)
        for still in stills:
            check(tool, "mogrify", folder / still.replace(".png", ".bmp"),
                  grb(imagemagick_rgb(work / still)))

        # Pillow: Image.open(p).convert("RGB").save("out.bmp")
        for still in stills:
            out = work / (still + ".pil.bmp")
            Image.open(work / still).convert("RGB").save(out)
            with Image.open(work / still) as image:
                pixels = image.convert("RGB").getdata()
                expected = [v for red, green, blue in pixels for v in (green, red, blue)]
            check(tool, "Pillow", out, expected)

    if failures:
        sys.exit("failed: " + ", ".join(failures))
    print("every recipe gives the library's own pixels")


if __name__ == "__main__":
    main(sys.argv)
