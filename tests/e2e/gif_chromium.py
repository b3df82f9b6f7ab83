#!/usr/bin/env python3
"""Holds the GIF decoder against Chromium: every frame of GIFs saved by Pillow (every disposal,
with and without a transparent index, interlaced) and of a few written by hand, as Chromium's
ImageDecoder draws it on a canvas and as gif_frames decodes it, laid on magenta.

    gif_chromium.py GIF_FRAMES

Exit status 77, with the reason, when Chromium, its driver, Selenium or Pillow is missing
(outside CI; in CI that fails).
"""
import base64
import pathlib
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from web_test import skip, start_browser  # noqa: E402  (the page test starts Chromium so)
sys.path.insert(0, str(HERE.parent / "support"))

FRAMES = """
const [b64, done] = arguments;
(async () => {
  try {
    const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const decoder = new ImageDecoder({data: bytes, type: "image/gif"});
    await decoder.tracks.ready;
    const frames = [];
    for (let k = 0; k < decoder.tracks.selectedTrack.frameCount; k++) {
      const {image} = await decoder.decode({frameIndex: k});
      const canvas = new OffscreenCanvas(image.displayWidth, image.displayHeight);
      const context = canvas.getContext("2d");
      context.drawImage(image, 0, 0);
      const rgba = context.getImageData(0, 0, canvas.width, canvas.height).data;
      let binary = "";
      for (const value of rgba) binary += String.fromCharCode(value);
      frames.push([canvas.width, canvas.height, btoa(binary)]);
    }
    done(frames);
  } catch (error) {
    done(String(error));
  }
})();
"""


def ours(gif_frames, path):
    """The frames gif_frames decodes, or its reason for refusing the file."""
    done = subprocess.run([gif_frames, str(path)], capture_output=True, check=False)
    if done.returncode != 0:
        return done.stderr.decode().strip()
    head, pixels = done.stdout.split(b"\n", 1)
    width, height, count = map(int, head.split())
    size = 3 * width * height
    return [(width, height, pixels[k * size:(k + 1) * size]) for k in range(count)]


MAGENTA = (255, 0, 255)

# Written by hand, as no editor at hand writes them: a frame of disposal 4, which browsers take
# as 3, then one beside it; two colours with a minimum code size of 1.
HAND_WRITTEN = {
    "disposal_4.gif": "47494638396102000100f00000ff000000ff002c0000000002000100000202040a0021f904"
                      "100a0000002c00000000010001000002024c010021f904000a0000002c0100000001000100"
                      "0002024c01003b",
    "code_size_1.gif": "47494638396104000100f00000ff000000ff002c00000000040001000001029260003b",
}


def on_magenta(rgba):
    """Chromium's RGBA laid on magenta, as gif_frames lays transparent pixels."""
    laid = bytearray()
    for at in range(0, len(rgba), 4):
        alpha = rgba[at + 3]
        laid += bytes((rgba[at + c] * alpha + MAGENTA[c] * (255 - alpha) + 127) // 255
                      for c in range(3))
    return bytes(laid)


def main():
    try:
        from pillow_gifs import save_pillow_gifs
    except ImportError:
        skip("Pillow is missing (apt-get install python3-pil)")
    with tempfile.TemporaryDirectory() as folder:
        scratch = pathlib.Path(folder)
        save_pillow_gifs(scratch)
        for name, written in HAND_WRITTEN.items():
            (scratch / name).write_bytes(bytes.fromhex(written))
        (scratch / "blank.html").write_text("<!doctype html><title>GIF frames</title>\n")
        browser = start_browser(scratch)
        failures = 0
        try:
            # ImageDecoder needs a secure context, which a file:// page is.
            browser.get((scratch / "blank.html").as_uri())
            for path in sorted(scratch.glob("*.gif")):
                theirs = browser.execute_async_script(
                    FRAMES, base64.b64encode(path.read_bytes()).decode())
                if isinstance(theirs, str):
                    print(f"{path.name}: Chromium: {theirs}")
                    failures += 1
                    continue
                mine = ours(sys.argv[1], path)
                if isinstance(mine, str):
                    print(f"{path.name}: refused, which Chromium decodes: {mine}")
                    failures += 1
                    continue
                if len(mine) != len(theirs):
                    print(f"{path.name}: {len(mine)} frames, Chromium {len(theirs)}")
                    failures += 1
                for k, ((width, height, rgb), (c_width, c_height, rgba)) in enumerate(
                        zip(mine, theirs)):
                    same = (width, height) == (c_width, c_height) and \
                        rgb == on_magenta(base64.b64decode(rgba))
                    print(f"{path.name} frame {k}: {'same' if same else 'DIFFERENT'}")
                    failures += not same
        finally:
            browser.quit()
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
