#!/usr/bin/env python3
"""PNG of every kind, converted by the tool, against Pillow's decoding of the same file.

    png_test.py TIVRANO

For each kind (colour type, bit depth, palette with tRNS, interlace, a gAMA chunk, which is not
applied), a PNG is written here, byte by byte, and Pillow decodes it; the tool's text for the
PNG must equal its text for a 24-bit BMP of Pillow's pixels, laid on the background by the rule
the README states. 16-bit channels keep their high byte. Files cut short and broken (a CRC that
does not match its chunk among them) are refused.
"""
import os
import pathlib
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "fuzz"))
from make_png_corpus import chunk, kinds  # noqa: E402

try:
    from PIL import Image
except ImportError:
    print("skipped: Pillow is missing (apt-get install python3-pil)")
    sys.exit(77)

BACKGROUND = (16, 32, 48)


def high_bytes(image):
    """What the tool keeps of a 16-bit image: each sample's high byte, as RGBA."""
    if image.mode in ("I", "I;16", "I;16B"):
        grey = [v >> 8 for v in image.getdata()]
        return [(g, g, g, 255) for g in grey]
    return list(image.convert("RGBA").getdata())


def expected_bmp(path, data):
    with open(path + ".png", "wb") as f:
        f.write(data)
    image = Image.open(path + ".png")
    image.load()
    pixels = high_bytes(image)
    if image.mode in ("I", "I;16", "I;16B") and "transparency" in image.info:
        raise AssertionError("no such kind here")
    laid = [tuple((c * a + b * (255 - a) + 127) // 255 for c, b in zip(p[:3], BACKGROUND))
            for p in pixels for a in [p[3]]]
    out = Image.new("RGB", image.size)
    out.putdata(laid)
    out.save(path + ".bmp")


def with_crcs(png):
    """The PNG with each chunk's CRC made to match its bytes."""
    out, at = bytearray(png[:8]), 8
    while at + 12 <= len(png):
        length = struct.unpack(">I", png[at:at + 4])[0]
        out += chunk(png[at + 4:at + 8], png[at + 8:at + 8 + length])
        at += 12 + length
    return bytes(out)


def run(tool, *args):
    return subprocess.run([tool, "--background=%02x%02x%02x" % BACKGROUND, *args],
                          capture_output=True, check=False)


def main():
    tool = sys.argv[1]
    failures = 0
    with tempfile.TemporaryDirectory() as scratch:
        count = 0
        for count, (kind, data) in enumerate(kinds(), 1):
            path = os.path.join(scratch, "k%d" % count)
            expected_bmp(path, data)
            got, want = run(tool, path + ".png"), run(tool, path + ".bmp")
            if (got.returncode, got.stdout, got.stderr) != (0, want.stdout, b""):
                failures += 1
                print("FAILED %s: %s" % (kind, got.stderr.decode()))
        # Cut short inside the header, inside the image data and inside IEND; then
        # broken: a CRC that does not match, a first chunk other than IHDR, data that does not
        # inflate (its CRC made right); then over the limits.
        data = dict(kinds())["RGBA 8-bit"]
        idat = data.index(b"IDAT")
        text = chunk(b"tEXt", b"a\0b")
        cases = [("cut in the header", data[:20], b"PNG file truncated!\n"),
                 ("cut in the image data", data[:idat + 20], b"PNG file truncated!\n"),
                 ("cut in IEND's CRC", data[:-1], b"PNG file truncated!\n"),
                 ("a CRC that does not match", data[:-1] + bytes([data[-1] ^ 1]),
                  b"PNG file broken!\n"),
                 ("a chunk before IHDR", data[:8] + text + data[8:], b"PNG file broken!\n"),
                 ("broken image data", with_crcs(data[:idat + 4] + b"\xff" * 30 +
                                                  data[idat + 34:]), b"PNG file broken!\n"),
                 ("too large", with_crcs(data[:16] + struct.pack(">II", 20000, 2) + data[24:]),
                  b"PNG image too large!\n")]
        for kind, cut, message in cases:
            path = os.path.join(scratch, "cut.png")
            with open(path, "wb") as f:
                f.write(cut)
            got = run(tool, path)
            if (got.returncode, got.stdout) != (255, message) or got.stderr.count(b"\n") != 1:
                failures += 1
                print("FAILED %s: %r %r" % (kind, got.stdout, got.stderr))
        print("%d PNG kinds and %d refusals compared with Pillow's decoding" % (count, len(cases)))
    print("%d passed, %d failed" % (count + len(cases) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
