#!/usr/bin/env python3
"""Checks the page, tivrano.html, in headless Chromium opened from file://, against the tool.

    web_test.py PAGE TIVRANO

- window.tivrano.convert writes what the tool writes, byte for byte, with its status and its
  standard error, on the fuzzer's seed images and the heart, under a few sets of options (each
  format, and --binary among them), and on animations;
- the file input, #output and #download on the heart; #download-binary saves what --binary
  writes, for an image, a packed animation and a GIF, or says why the tool refuses;
- the controls: the format a choice, --swap-bytes a check box, number fields with the tool's
  ranges, and no --binary;
- the preview of the heart, wired serpentine from a corner: LED n's dot stands where the wiring
  puts it, and has the pixel's colour, or the values the tool wrote for it; for rgb565 the
  colour a panel shows for its value, for mono white or dark by its bit;
- PNG and GIF files, which the tool decodes in the page, through the API and the file input
  (web_decoded.py), as the tool converts them, and failures, batches, typing and a long
  animation as web_decoded.py says;
- a PNG with transparent pixels comes out as ImageMagick lays it on black;
- an animated GIF comes out as its frames, as ImageMagick composes them, with their delays;
- a canvas that alters what it gives back makes the page refuse the images the browser decodes;
- and no request leaves the page, which its Content-Security-Policy would report.

Exit status 77, with the reason, when the page is not built, or, outside CI, when Chromium,
its driver, Selenium, Pillow or ImageMagick is missing.
"""
import base64
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
sys.path.insert(0, str(ROOT / "fuzz"))
from make_corpus import seeds  # noqa: E402
from doc_examples import markdown_examples  # noqa: E402
from web_decoded import check_decoded_images, save_pillow_gifs  # noqa: E402

HEART = ROOT / "examples" / "heart.bmp"
# Sets of options, as the page's API takes them; every image is converted under each.
OPTION_SETS = [
    {},
    {"order": "rgb", "serpentine": True, "name": "heart"},
    {"start": "bottom-right", "columns": True, "progmem": True, "strict": True},
    {"gamma": "2.8", "brightness": "40", "max-current": "150"},
    {"format": "rgb565", "order": "bgr", "swap-bytes": True, "columns": True, "serpentine": True},
    {"format": "mono", "threshold": "90", "start": "top-right", "serpentine": True},
    {"format": "rgb565", "start": "bottom-left", "binary": True},
]


def skip(reason):
    if os.environ.get("CI"):
        print("FAILED, in CI: " + reason)
        sys.exit(1)
    print("skipped: " + reason)
    sys.exit(77)


def native(tool, folder, names, options):
    """The tool's output, status and standard error for files of `folder`, as the page calls it."""
    args = [tool]
    for key, value in options.items():
        if value is True:
            args.append("--" + key)
        elif value not in (False, None, ""):
            args.append(f"--{key}={value}")
    done = subprocess.run(args + ["--"] + names, cwd=folder, capture_output=True, check=False)
    return done.stdout, 0 if done.returncode == 0 else -1, done.stderr.decode()


def start_browser(scratch):
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.options import Options
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        skip("Selenium is missing (apt-get install python3-selenium)")
    browser = shutil.which("chromium") or "/usr/bin/chromium"
    driver = shutil.which("chromedriver") or "/usr/bin/chromedriver"
    if not os.path.exists(browser) or not os.path.exists(driver):
        skip("Chromium or its driver is missing (apt-get install chromium chromium-driver)")
    options = Options()
    options.binary_location = browser
    # --no-sandbox: CI runs as root, where Chromium's sandbox will not start.
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-default-apps", "--disable-sync", "--disable-dev-shm-usage",
                     f"--user-data-dir={scratch / 'profile'}"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
    return webdriver.Chrome(service=Service(driver), options=options)


CONVERT = """
const [cases, done] = arguments;
const bytes = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
(async () => {
  const results = [];
  for (const [files, options] of cases) {
    const input = files.length === 1 && !options.name ? bytes(files[0]) : files.map(bytes);
    const r = await window.tivrano.convert(input, options);
    let binary = "";
    for (const b of r.output) binary += String.fromCharCode(b);
    results.push([btoa(binary), r.status, r.errors]);
  }
  done(results);
})().catch((e) => done(String(e)));
"""


def decoded_cases(folder):
    """GIFs with every disposal, transparency and interlace, and a PNG with alpha."""
    cases = []
    save_pillow_gifs(folder)
    for path in sorted(folder.glob("*.gif")):
        cases += [([path.read_bytes()], {}), ([path.read_bytes()], {"name": "anim", "pack": True}),
                  ([path.read_bytes()], {"background": "ff00ff", "start": "top-right"})]
    from PIL import Image

    sprite = Image.new("RGBA", (7, 5))
    sprite.putdata([(250 - 9 * k, 7 * k, 40, (k * 47) % 256) for k in range(35)])
    sprite.save(folder / "alpha.png")
    cases += [([(folder / "alpha.png").read_bytes()], options)
              for options in ({}, {"background": "102030", "order": "bgr"}, {"background": "x"})]
    return cases


def convert_cases():
    """The cases of window.tivrano.convert, [files, options], which the Firefox test shares."""
    images = [(name, content) for name, content in seeds()] + [("heart", HEART.read_bytes())]
    cases = [([content], options) for _, content in images for options in OPTION_SETS]
    # GIFs and a PNG, which the tool decodes in the page as on the command line, made in a
    # folder of their own, which is gone once they are read.
    with tempfile.TemporaryDirectory() as made:
        cases += decoded_cases(pathlib.Path(made))
    by_name = dict(images)
    animations = [
        (["image_3x2", "exact_end_3x2", "image_3x2"], {"name": "walk", "pack": True,
                                                       "delay-ms": "100,200,300"}),
        (["image_4x3", "image_4x5"], {"name": "walk", "order": "bgr"}),
        (["image_4x3", "one_short_4x3"], {"name": "walk"}),
        (["heart", "heart"], {"name": "beat", "pack": True, "max-bytes": "10"}),
        (["heart"], {"order": "xyz"}),
        (["heart"], {"gamma": "0"}),
        # The formats, --binary, and what the tool refuses of them.
        (["heart"], {"format": "mono", "threshold": "200", "columns": True, "name": "bits"}),
        (["image_5x3"], {"format": "mono", "threshold": "1", "binary": True}),
        (["heart", "heart"], {"format": "rgb565", "swap-bytes": True, "name": "wide",
                              "delay-ms": "30"}),
        (["image_4x3", "image_4x3"], {"format": "mono", "name": "blink", "binary": True}),
        (["image_3x2", "exact_end_3x2", "image_3x2"], {"name": "walk", "pack": True,
                                                       "binary": True, "delay-ms": "100,200,300"}),
        (["heart", "heart"], {"name": "beat", "pack": True, "binary": True, "max-bytes": "40"}),
        (["heart"], {"format": "rgb565", "order": "grb"}),
        (["heart"], {"swap-bytes": True}),
        (["heart"], {"format": "mono", "threshold": "256"}),
        (["heart", "heart"], {"format": "mono", "name": "beat", "pack": True}),
        (["heart"], {"binary": True, "progmem": True}),
    ]
    cases += [([by_name[n] for n in names], options) for names, options in animations]
    return cases


def check_convert(browser, tool, scratch):
    """The API against the tool on every case; returns the failures and the count of images."""
    cases = convert_cases()
    browser.set_script_timeout(300)
    got = browser.execute_async_script(
        CONVERT, [[[base64.b64encode(f).decode() for f in files], options]
                  for files, options in cases])
    if isinstance(got, str):
        return [f"window.tivrano.convert failed: {got}"], 0
    failures = []
    for k, ((files, options), (output, status, errors)) in enumerate(zip(cases, got)):
        folder = scratch / f"case{k}"
        folder.mkdir()
        single = len(files) == 1 and "name" not in options
        names = ["image.bmp"] if single else [f"frame{n + 1}.bmp" for n in range(len(files))]
        for name, content in zip(names, files):
            (folder / name).write_bytes(content)
        expected = native(tool, folder, names, options)
        if (base64.b64decode(output), status, errors) != expected:
            failures.append(f"case {k}, options {json.dumps(options)}: the page wrote status "
                            f"{status}, {errors!r}; the tool {expected[1]}, {expected[2]!r}")
    return failures, sum(len(files) for files, _ in cases)


def as_shown(text):
    """The tool's text as a textarea gives it: each line break, \r\n, \n or \r, one \n."""
    return text.decode("latin-1").replace("\r\n", "\n").replace("\r", "\n")


def load(browser, page, fragment=""):
    browser.get("about:blank")  # a new fragment alone would not load the page again
    browser.get(page.as_uri() + fragment)
    wait_for(browser, lambda: "Ready" in browser.find_element("id", "status").text)


def wait_for(browser, condition, seconds=30):
    end = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > end:
            raise TimeoutError(browser.find_element("id", "status").text)
        time.sleep(0.05)


def choose(browser, *paths):
    """Gives the file input these files, in place of any before, and waits for the page to
    convert them."""
    browser.execute_script("document.getElementById('status').textContent = '';"
                           "document.getElementById('file').value = ''")
    browser.find_element("id", "file").send_keys("\n".join(str(p) for p in paths))
    wait_for(browser, lambda: browser.find_element("id", "status").text not in ("", "Converting…")
             and not browser.find_element("id", "status").text.startswith("Converting "), 60)
    return browser.find_element("id", "output").get_property("value")


def check_file_input(browser, page, tool, scratch):
    """The heart through the file input: #output and the file #download saves."""
    downloads = scratch / "downloads"
    downloads.mkdir()
    browser.execute_cdp_cmd("Browser.setDownloadBehavior",
                            {"behavior": "allow", "downloadPath": str(downloads)})
    load(browser, page, "#name=heart&order=rgb")
    shown = choose(browser, HEART)
    expected, _, _ = native(tool, HEART.parent, [HEART.name], {"name": "heart", "order": "rgb"})
    failures = []
    if shown != as_shown(expected):
        failures.append("#output does not show the tool's text for the heart")
    # The documents' examples for the page's console, with the heart chosen; each ends with
    # `status` set.
    for document in [ROOT / "README.md", *sorted((ROOT / "doc").glob("*.md"))]:
        for where, kind, text in markdown_examples(document, document.name):
            if kind == "page":
                status = browser.execute_async_script(
                    "const done = arguments[0];\n(async () => {\n" + text +
                    "return status;\n})().then(done, (e) => done(String(e)));")
                print(f"{where}: page: " + ("ok" if status == 0 else "FAILED"))
                if status != 0:
                    failures.append(f"{where}: the example gave {status!r}")
    browser.find_element("id", "download").click()
    saved = downloads / "heart.c"
    try:
        wait_for(browser, saved.exists, 10)
        time.sleep(0.2)
        if saved.read_bytes() != expected:
            failures.append("#download saved other bytes than the tool's")
    except TimeoutError:
        failures.append(f"#download saved no heart.c; the folder holds {os.listdir(downloads)}")
    return failures


def check_binary_download(browser, page, tool, scratch):
    """#download-binary saves what --binary writes for the result shown: an image's array with
    --progmem ticked, a packed animation of frames, a GIF's frames in mono; where --binary
    refuses what the text takes, the page says the tool's line and saves nothing."""
    from PIL import Image

    folder = scratch / "binaries"
    folder.mkdir()
    browser.execute_cdp_cmd("Browser.setDownloadBehavior",
                            {"behavior": "allow", "downloadPath": str(folder)})
    frames = scratch / "frames"
    frames.mkdir()
    for k in range(2):
        frame = Image.new("RGB", (9, 4), (20, 200 - 90 * k, 7))
        frame.putpixel((k + 3, 2), (255, 255, 255))
        frame.save(frames / f"walk{k + 1}.bmp")
        (frames / f"beat{k + 1}.bmp").write_bytes(HEART.read_bytes())
    gif = ROOT / "examples" / "animation" / "frames" / "pulse.gif"
    # (fragment, files, the file saved, the tool's options for it)
    cases = [("format=rgb565&swap-bytes=1&progmem=1", [HEART], "heart.bin",
              {"format": "rgb565", "swap-bytes": True}),
             ("name=walk&pack=1&delay-ms=80", [frames / "walk1.bmp", frames / "walk2.bmp"],
              "walk.bin", {"name": "walk", "pack": True, "delay-ms": "80"}),
             ("name=pulse&format=mono&threshold=60", [gif], "pulse.bin",
              {"name": "pulse", "format": "mono", "threshold": "60"}),
             ("name=beat&pack=1&max-bytes=40", [frames / "beat1.bmp", frames / "beat2.bmp"],
              "beat.bin", {"name": "beat", "pack": True, "max-bytes": "40"})]
    failures = []
    for fragment, files, name, options in cases:
        load(browser, page, "#" + fragment)
        choose(browser, *files)
        expected, status, _ = native(tool, files[0].parent, [f.name for f in files],
                                     dict(options, binary=True))
        browser.find_element("id", "download-binary").click()
        saved = folder / name
        wait_for(browser, lambda: browser.find_element("id", "status").text.startswith(
            "Binary file"))
        said = browser.find_element("id", "status").text
        if status != 0:
            line = f"Binary file not written: {expected.decode().strip()}"
            text_status = native(tool, files[0].parent, [f.name for f in files], options)[1]
            if text_status != 0 or said != line or saved.exists():
                failures.append(f"#{fragment}: the text's status {text_status}; the page says "
                                f"{said!r}, not {line!r}, and saved {os.listdir(folder)}")
            continue
        try:
            wait_for(browser, saved.exists, 10)
            time.sleep(0.2)
            if saved.read_bytes() != expected or said != f"Binary file: {len(expected)} bytes.":
                failures.append(f"#{fragment}: {name} holds other bytes than --binary writes, "
                                f"and the page says {said!r}")
        except TimeoutError:
            failures.append(f"#{fragment}: no {name} saved, the page saying {said!r}; the "
                            f"folder holds {os.listdir(folder)}")
    return failures


# Options the tool takes only beside others: what --check needs to take a number field's value.
NEEDS = {"threshold": ["--format=mono"]}


def check_controls(browser, page, tool):
    """The controls drawn from the tool's options: the format a choice of grb (the default,
    passing nothing), rgb565 and mono; --swap-bytes a check box; no --binary, which the page
    offers as a download; and each number field's range the one the tool takes."""
    load(browser, page)
    controls = {name: (kind, low, high, choices) for name, kind, low, high, choices in
                browser.execute_script(
        "return [...document.getElementById('options').elements].filter((e) => e.name)"
        ".map((e) => [e.name, e.type, e.min, e.max,"
        "             e.options ? [...e.options].map((o) => o.value) : null]);")}
    failures = []
    for name, kind, choices in [("format", "select-one", ["", "rgb565", "mono"]),
                                ("swap-bytes", "checkbox", None), ("threshold", "number", None),
                                ("brightness", "number", None)]:
        if name not in controls or controls[name][0] != kind or controls[name][3] != choices:
            failures.append(f"--{name}: the control is {controls.get(name)}, not a {kind} "
                            f"of {choices}")
    if "binary" in controls:
        failures.append("--binary is offered as a control")
    for name, (kind, low, high, _) in controls.items():
        if kind != "number":
            continue
        for value, taken in [(int(low), True), (int(high), True), (int(low) - 1, False),
                             (int(high) + 1, False)]:
            done = subprocess.run([tool, "--check", *NEEDS.get(name, []), f"--{name}={value}"],
                                  capture_output=True, check=False)
            if (done.returncode == 0) != taken:
                failures.append(f"--{name}: the page's field runs from {low} to {high}, but the "
                                f"tool {'refuses' if taken else 'takes'} {value}")
    return failures


def wired_place(n, width, height, start, columns, serpentine):
    """Where LED n of a strip lies, (x, y) from the top left: the strip runs along rows (or
    columns) from the corner `start`, serpentine every second one back."""
    length = height if columns else width
    line, along = divmod(n, length)
    if serpentine and line % 2 == 1:
        along = length - 1 - along
    x, y = (line, along) if columns else (along, line)
    if "right" in start:
        x = width - 1 - x
    if "bottom" in start:
        y = height - 1 - y
    return x, y


# For points of the preview canvas: the text #hover gives there, and the canvas's colour.
PROBE = """
const canvas = document.getElementById("preview");
const bounds = canvas.getBoundingClientRect();
const pixels = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
return arguments[0].map(([x, y]) => {
  canvas.dispatchEvent(new MouseEvent("mousemove", {
    clientX: bounds.left + (x + 0.5) * bounds.width / canvas.width,
    clientY: bounds.top + (y + 0.5) * bounds.height / canvas.height }));
  const at = 4 * (y * canvas.width + x);
  return [document.getElementById("hover").textContent, Array.from(pixels.slice(at, at + 3))];
});
"""


def expected_led(n, text, options, length, pixel):
    """What LED n, lying along a strip line of `length` LEDs at a pixel of colour `pixel`, shows
    by the tool's text for it: #hover's words, its dot's colour, and whatever the text's value
    for it gets wrong of the pixel, worked out here from the pixel and the format's rule."""
    array = text.split("{", 1)[1].split("}", 1)[0]
    written = [int(v, 0) for v in array.split(",") if v.strip()]
    order = options.get("order", "rgb" if options.get("format") == "rgb565" else "grb").upper()
    mine = dict(zip("RGB", pixel))
    plain = not {"brightness", "gamma", "max-current"} & options.keys()
    if options.get("format") == "rgb565":
        value = written[n]
        fields = value if "swap-bytes" not in options else (value & 255) << 8 | value >> 8
        fields = [fields >> 11, fields >> 5 & 63, fields & 31]
        # A panel widens each field to 8 bits, its top bits repeated below it.
        widened = dict(zip(order, [f << 3 | f >> 2 if k != 1 else f << 2 | f >> 4
                                   for k, f in enumerate(fields)]))
        wrong = plain and fields != [mine[order[0]] >> 3, mine["G"] >> 2, mine[order[2]] >> 3]
        words = f"0x{value:04X} (" + ", ".join(f"{c} {widened[c]}" for c in order) + " on a panel)"
        return words, [widened[c] for c in "RGB"], wrong
    if options.get("format") == "mono":
        line, along = divmod(n, length)
        bit = written[line * ((length + 7) // 8) + along // 8] >> (7 - along % 8) & 1
        lit = (299 * mine["R"] + 587 * mine["G"] + 114 * mine["B"] + 500) // 1000 >= int(
            options.get("threshold", "128"))
        return ("1, lit" if bit else "0, unlit"), [255 * bit] * 3, plain and bit != lit
    values = dict(zip(order, written[3 * n:3 * n + 3]))
    words = ", ".join(f"{c} {values[c]}" for c in order)
    return words, [values[c] for c in "RGB"], plain and values != mine


def check_preview(browser, page, tool, scratch):
    """LEDs in the preview: where LED n must be by the wiring, #hover names LED n with what the
    tool wrote for it, and its dot has the colour that lights: the pixel's, or the values through
    the order; an rgb565 value as a panel shows it; a mono bit white or dark. The tool's values
    are checked against the pixels besides, where no colour option changes them."""
    from PIL import Image

    # Ten LEDs a row: mono pads each row to two bytes.
    stripes = scratch / "stripes.bmp"
    picture = Image.new("RGB", (10, 3))
    picture.putdata([(9 * k, 255 - 8 * k, 40 * (k % 7)) for k in range(30)])
    picture.save(stripes)
    cases = [(HEART, {"serpentine": True, "start": "bottom-right"}),
             (HEART, {"serpentine": True, "start": "top-right", "columns": True, "order": "brg",
                      "brightness": "40"}),
             (HEART, {"format": "rgb565", "order": "bgr", "swap-bytes": True, "serpentine": True,
                      "start": "bottom-left"}),
             (HEART, {"format": "rgb565", "gamma": "2.2", "columns": True, "start": "top-left"}),
             (stripes, {"format": "mono", "threshold": "120", "serpentine": True,
                        "start": "bottom-right"})]
    failures = []
    for image, options in cases:
        picture = Image.open(image).convert("RGB")
        width, height = picture.size
        fragment = "&".join(k + "=" + ("1" if v is True else v) for k, v in options.items())
        load(browser, page, "#" + fragment)
        choose(browser, image)
        text = native(tool, image.parent, [image.name], options)[0].decode()
        # The page draws a cell of the canvas for each pixel, centred (as its geometry() does).
        cell = max(2, min(48, min((640 - 20) // width, (400 - 20) // height)))
        left, top = (640 - cell * width) / 2, (400 - cell * height) / 2
        leds = sorted({0, 1, 7, 8, 9, 10, 19, 30, 37, width * height - 1} &
                      set(range(width * height)))
        places = [wired_place(n, width, height, options["start"], "columns" in options,
                              "serpentine" in options) for n in leds]
        points = [[int(left + (x + 0.5) * cell), int(top + (y + 0.5) * cell)] for x, y in places]
        length = height if "columns" in options else width
        for n, (x, y), (hover, drawn) in zip(leds, places, browser.execute_script(PROBE, points)):
            words, colour, wrong = expected_led(n, text, options, length, picture.getpixel((x, y)))
            if wrong:
                failures.append(f"{fragment}: the tool's value for LED {n} does not fit the "
                                f"pixel's {picture.getpixel((x, y))}")
            expected = f"LED {n} at x {x}, y {y}: {words}"
            if hover != expected:
                failures.append(f"{fragment}: #hover at LED {n}'s place says {hover!r}, not "
                                f"{expected!r}")
            if drawn != colour:
                failures.append(f"{fragment}: LED {n}'s dot at x {x}, y {y} is {drawn}, not "
                                f"{colour}")
    return failures


def check_decoded(browser, page, tool, scratch, magick):
    """A PNG with transparency, and an animated GIF, against ImageMagick's reading of them."""
    from PIL import Image

    failures = []
    png = scratch / "sprite.png"
    sprite = Image.new("RGBA", (5, 3))
    sprite.putdata([(200, 10 * k, 255 - k, [0, 255, 128, 64, 255][k % 5]) for k in range(15)])
    sprite.save(png)
    subprocess.run([magick, str(png), "-background", "black", "-flatten", "-type", "TrueColor",
                    f"BMP3:{scratch / 'sprite.bmp'}"], check=True)
    load(browser, page)
    shown = choose(browser, png)
    expected = as_shown(native(tool, scratch, ["sprite.bmp"], {})[0])
    if shown != expected:
        failures.append(f"the PNG with alpha, laid on black:\n{shown}\nImageMagick's:\n{expected}")

    gif = scratch / "blink.gif"
    colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255)]
    frames = [Image.new("RGB", (4, 2), c) for c in colours]
    frames[1].putpixel((1, 1), (255, 255, 0))
    frames[0].save(gif, save_all=True, append_images=frames[1:], duration=[100, 250, 70], loop=0)
    subprocess.run([magick, str(gif), "-coalesce", "-type", "TrueColor",
                    f"BMP3:{scratch / 'blink_%d.bmp'}"], check=True)
    names = [f"blink_{k}.bmp" for k in range(3)]
    load(browser, page, "#name=blink")
    shown = choose(browser, gif)
    expected = native(tool, scratch, names, {"name": "blink", "delay-ms": "100,250,70",
                                             "header": "blink.h"})[0]
    if shown != as_shown(expected):
        failures.append(f"the animated GIF:\n{shown}\nits frames by ImageMagick:\n"
                        f"{as_shown(expected)}")
    # Its first frame alone is one frame of 4 x 2 LEDs in flash, not three.
    load(browser, page, "#name=blink&first-frame=1")
    choose(browser, gif)
    size = browser.find_element("id", "size").text
    if not size.endswith(", 24 bytes in flash"):
        failures.append(f"the animated GIF's first frame: the page says {size!r}")
    return failures


def check_altered_canvas(browser, page, scratch):
    """A canvas that adds noise, as privacy settings do, stops the images the browser decodes."""
    from PIL import Image

    Image.new("RGB", (4, 3), (200, 100, 50)).save(scratch / "altered.jpg")
    browser.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": """
        const read = CanvasRenderingContext2D.prototype.getImageData;
        CanvasRenderingContext2D.prototype.getImageData = function (...args) {
          const image = read.apply(this, args);
          image.data[0] ^= 1;
          return image;
        };"""})
    load(browser, page)
    shown = choose(browser, scratch / "altered.jpg")
    errors = browser.find_element("id", "errors").text
    if shown or "changes what pages read from a canvas" not in errors:
        return [f"an altered canvas gave {shown!r}, with {errors!r}"]
    return []


def check_requests(browser, page):
    """Every request the page made: none but for itself, and the downloads' blob: URLs. (The
    browser's own new tab page makes requests of its own, which are not the page's.)"""
    failures = []
    for entry in browser.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] != "Network.requestWillBeSent":
            continue
        url, document = message["params"]["request"]["url"], message["params"]["documentURL"]
        if document.startswith(page.as_uri()) and not url.startswith((page.as_uri(), "blob:")):
            failures.append(f"the page requested {url[:80]}")
    for entry in browser.get_log("browser"):
        if entry["level"] == "SEVERE":
            failures.append(f"the console says: {entry['message'][:200]}")
    return failures


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    page, tool = pathlib.Path(sys.argv[1]).resolve(), os.path.abspath(sys.argv[2])
    if not page.exists():
        print(f"skipped: {page} is not built (cmake --preset web && cmake --build --preset web)")
        sys.exit(77)
    # Pillow and ImageMagick, as CMake found them; empty where missing.
    magick = os.environ.get("TIVRANO_MAGICK")
    if not os.environ.get("TIVRANO_PYTHON"):
        skip("configuring found no python3 with Pillow (apt-get install python3-pil)")
    if not magick:
        skip("configuring found no ImageMagick (apt-get install imagemagick)")
    with tempfile.TemporaryDirectory() as folder:
        scratch = pathlib.Path(folder)
        browser = start_browser(scratch)
        try:
            load(browser, page)
            failures, count = check_convert(browser, tool, scratch)
            failures += check_file_input(browser, page, tool, scratch)
            failures += check_binary_download(browser, page, tool, scratch)
            failures += check_controls(browser, page, tool)
            failures += check_preview(browser, page, tool, scratch)
            failures += check_decoded(browser, page, tool, scratch, magick)
            failures += check_requests(browser, page)
            failures += check_decoded_images(browser, page, tool, scratch, sys.modules[__name__],
                                             HEART)
            failures += check_altered_canvas(browser, page, scratch)  # last: it alters the canvas
        finally:
            browser.quit()
    for failure in failures:
        print("FAILED: " + failure)
    print(f"{page.name} ({page.stat().st_size} bytes): {count} images converted byte for byte "
          f"as the tool converts them, each of the test images under {len(OPTION_SETS)} sets of "
          f"options, and in animations; {len(failures)} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
