#!/usr/bin/env python3
"""Checks the page, tivrano.html, in headless Chromium opened from file://, against the tool.

    web_test.py PAGE TIVRANO WRITE_CASES

- window.tivrano.convert writes what the tool writes, byte for byte, with its status and its
  standard error, on every call of the shared cases (WRITE_CASES writes them) that the page can
  make, and on every image of them under every set of options: the tool called as the page calls
  it, the files named image.bmp, or frame1.bmp, frame2.bmp...; a refusal of an option points at
  the option's tooltip where the tool's points at --help;
- the file input: #output and #errors as the tool writes them for the files chosen, a header when
  the tool says the files make an animation, the size line, the preview's frames, and the files
  #download and #download-binary save, or a refusal's line with nothing left of the result
  before; a PNG with transparent pixels as ImageMagick lays it on black, an animated GIF as
  ImageMagick composes its frames, with their delays;
- the documents' `page` examples; what web_page.py says; and no request leaves the page.

Exit status 77, with the reason, when the page is not built, or, outside CI, when Chromium,
its driver, Selenium, Pillow or ImageMagick is missing.
"""
import base64
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
from doc_examples import markdown_examples  # noqa: E402
import web_page  # noqa: E402

HEART = ROOT / "examples" / "heart.bmp"
# What the page writes in place of the tool's pointer to --help.
SEE_HELP = ("see tivrano --help", "rest the pointer on the option for its help")
# The options the page leaves out: it writes no file, and converts from files alone.
LEFT_OUT = {"output", "header", "check", "help", "version", "write-map"}


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


def as_options(args, valued):
    """A call's options as the page's API takes them, and its files; None for a call the page
    cannot make: a short option, one it leaves out, standard input, an option twice, no file."""
    options, names, words = {}, [], iter(args)
    for word in words:
        if word == "-" or (word.startswith("-") and not word.startswith("--")):
            return None
        if not word.startswith("--"):
            names.append(word)
            continue
        key, _, value = word[2:].partition("=")
        if key in valued and not value:
            value = next(words, "")  # --start left
        if key in LEFT_OUT or key in options:
            return None
        options[key] = value or True
    return (options, names) if names else None


def shared_cases(write_cases, tool, scratch):
    """The shared calls the page can make, and every image under every set of options, as
    (files' bytes, options); a file a call names but has not is given empty."""
    folder = scratch / "cases"
    subprocess.run([write_cases, str(folder)], check=True)
    cases = json.loads((folder / "cases.json").read_text())
    help_text = subprocess.run([tool, "--help"], capture_output=True, text=True).stdout
    valued = set(re.findall(r"^ +(?:-\w, )?--([a-z-]+)=", help_text, re.M))
    calls = []
    for k, call in enumerate(cases["calls"]):
        taken = None if call["input"] else as_options(call["args"], valued)
        if taken:
            paths = [folder / "calls" / str(k) / name for name in taken[1]]
            if "map" in taken[0]:  # the map's bytes, which the page names ledmap
                map_path = folder / "calls" / str(k) / taken[0]["map"]
                taken[0]["map"] = base64.b64encode(
                    map_path.read_bytes() if map_path.exists() else b"").decode()
            calls.append(([p.read_bytes() if p.exists() else b"" for p in paths], taken[0]))
    sets = [as_options(words + ["image"], valued)[0] for words in cases["option_sets"]]
    images = [([(folder / "images" / name).read_bytes()], options)
              for name in cases["images"] for options in sets]
    return calls, images, folder


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
    if ("map" in options) options.map = bytes(options.map);
    const r = await window.tivrano.convert(input, options);
    let binary = "";
    for (const b of r.output) binary += String.fromCharCode(b);
    results.push([btoa(binary), r.status, r.errors]);
  }
  done(results);
})().catch((e) => done(String(e)));
"""


def check_convert(browser, tool, scratch, cases):
    """The API against the tool on every case."""
    browser.set_script_timeout(300)
    got = browser.execute_async_script(
        CONVERT, [[[base64.b64encode(f).decode() for f in files], options]
                  for files, options in cases])
    if isinstance(got, str):
        return [f"window.tivrano.convert failed: {got}"]
    failures = []
    for k, ((files, options), (output, status, errors)) in enumerate(zip(cases, got)):
        folder = scratch / f"case{k}"
        folder.mkdir()
        single = len(files) == 1 and "name" not in options
        names = ["image.bmp"] if single else [f"frame{n + 1}.bmp" for n in range(len(files))]
        for name, content in zip(names, files):
            (folder / name).write_bytes(content)
        if "map" in options:
            (folder / "ledmap").write_bytes(base64.b64decode(options["map"]))
            options = {**options, "map": "ledmap"}
        out, code, err = native(tool, folder, names, options)
        if (base64.b64decode(output), status, errors) != (out, code, err.replace(*SEE_HELP)):
            failures.append(f"case {k}, options {json.dumps(options)}: the page wrote status "
                            f"{status}, {errors!r}; the tool {code}, {err!r}")
    return failures


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


def text_of(browser, element):
    return browser.find_element("id", element).get_property(
        "value" if element == "output" else "textContent")


def choose(browser, *paths):
    """Gives the file input these files, in place of any before, and waits for the page to
    convert them."""
    browser.execute_script("document.getElementById('status').textContent = '';"
                           "document.getElementById('file').value = ''")
    browser.find_element("id", "file").send_keys("\n".join(str(p) for p in paths))
    wait_for(browser, lambda: text_of(browser, "status") not in ("", "Converting…")
             and not text_of(browser, "status").startswith("Converting "), 60)
    return text_of(browser, "output")


def saved(browser, folder, name, expected, what):
    """Waits for a download; a failure, or nothing."""
    try:
        wait_for(browser, (folder / name).exists, 10)
        time.sleep(0.2)
        return [] if (folder / name).read_bytes() == expected else [f"{what} saved other bytes"]
    except TimeoutError:
        return [f"{what} saved no {name}; the folder holds {os.listdir(folder)}"]


def values(text):
    """The values of the tool's array."""
    array = text.decode("latin-1").split("{", 1)[1].split("}", 1)[0]
    return [int(v, 0) for v in array.split(",") if v.strip()]


def options_of(fragment):
    """The options a URL's fragment sets, as the page's API takes them."""
    pairs = (part.split("=") for part in fragment.split("&") if part)
    return {key: True if value == "1" else value for key, value in pairs}


def size_line(text):
    """The page's size line for the tool's text: the flash it stores, and a frame's RAM."""
    shown = text.decode("latin-1")
    ram = re.search(r"LED buffer: (\d+) bytes", shown)
    ram = int(ram[1]) if ram else len(values(text)) * (2 if "uint16_t" in shown else 1)
    stored = re.search(r"(\d+) bytes stored", shown)
    return (f"{len(text)} bytes of text, {stored[1] if stored else ram} bytes in flash, {ram} "
            "bytes of RAM for a frame's LEDs")


def file_input_rows(scratch, cases, magick):
    """(fragment, files chosen, whether the tool makes them an animation, and the files and
    options whose text the page must show, where not the chosen ones and the fragment's)."""
    from PIL import Image

    gif = cases / "images" / "animated.gif"
    cut, one_bit = (next((cases / "calls").glob("*/" + name)) for name in ("in.png", "1bit.bmp"))
    frames = next(path for path in (cases / "calls").glob("*/b.bmp")).parent
    a, b = frames / "a.bmp", frames / "b.bmp"
    sprite = Image.new("RGBA", (5, 3))
    sprite.putdata([(200, 10 * k, 255 - k, [0, 255, 128, 64, 255][k % 5]) for k in range(15)])
    sprite.save(scratch / "sprite.png")
    subprocess.run([magick, str(scratch / "sprite.png"), "-background", "black", "-flatten",
                    "-type", "TrueColor", f"BMP3:{scratch / 'sprite.bmp'}"], check=True)
    subprocess.run([magick, str(gif), "-coalesce", "-type", "TrueColor",
                    f"BMP3:{scratch / 'animated_%d.bmp'}"], check=True)
    coalesced = [scratch / f"animated_{k}.bmp" for k in range(3)]
    Image.new("RGB", (4000, 4000), (9, 9, 9)).save(scratch / "wide.png", optimize=True)
    return [
        ("name=heart&order=rgb&progmem=1", [HEART], False, None),
        ("format=rgb565&swap-bytes=1", [HEART], False, None),
        ("name=anim", [gif], True, (coalesced, {"name": "anim", "delay-ms": "70,200,70"})),
        ("", [gif], False, None),
        ("name=anim&first-frame=1&format=mono&threshold=60", [gif], False, None),
        ("", [scratch / "sprite.png"], False, ([scratch / "sprite.bmp"], {})),
        ("background=1a2b3c&order=bgr", [scratch / "sprite.png"], False, None),
        ("name=walk&pack=1&delay-ms=80", [a, b], True, None),
        ("name=walk&pack=1&max-bytes=45", [a, b], True, None),  # --binary's file is larger
        ("name=walk&pack=small", [a, b], True, None),
        ("", [cut], False, None),
        ("", [scratch / "wide.png"], False, None),
        ("gamma=0", [a], False, None),
        ("", [one_bit], False, None),
    ]


def check_file_input(browser, page, tool, scratch, cases, magick):
    """Each row of file_input_rows through the file input, against the tool; a refusal after a
    good conversion of the heart."""
    failures = []
    for k, (fragment, files, animation, made) in enumerate(
            file_input_rows(scratch, cases, magick)):
        downloads = scratch / f"downloads{k}"
        downloads.mkdir()
        browser.execute_cdp_cmd("Browser.setDownloadBehavior",
                                {"behavior": "allow", "downloadPath": str(downloads)})
        options = options_of(fragment)
        load(browser, page, "#" + fragment)
        good = native(tool, files[0].parent, [f.name for f in files], options)[1] == 0
        if not good:
            choose(browser, HEART)
        shown = choose(browser, *files)
        header = {"header": options["name"] + ".h"} if animation else {}
        source, call = made or (files, options)
        text, _, errors = native(tool, source[0].parent, [f.name for f in source],
                                 dict(call, **header))
        errors = errors.replace(*SEE_HELP)
        what = f"{[f.name for f in files]} #{fragment}"
        seen = {e: text_of(browser, e) for e in ("status", "errors", "size", "frame")}
        offers = not browser.find_element("id", "download-header").get_property("hidden")
        # A refusal's line, or for the usage text, which says only that the call was wrong, the
        # reason.
        line = text.decode("latin-1").strip()
        line = line if "\n" not in line else errors.split("\n")[0]
        if shown != (as_shown(text) if good else "") or offers != (animation and good) or (
                not made and seen["errors"] != errors) or seen["status"] != (
                "Converted." if good else "Not converted: " + line):
            failures.append(f"{what}: the page shows status {seen['status']!r}, {seen['errors']!r}"
                            f", the header offered: {offers}; the tool wrote {line!r}, {errors!r}")
        if not good:
            if seen["size"] or any(browser.find_element("id", button).is_enabled()
                                   for button in ("copy", "download", "download-binary")):
                failures.append(f"{what}: the refusal left {seen}")
            if browser.execute_script(
                    "const c = document.getElementById('preview'); return c.getContext('2d')"
                    ".getImageData(0, 0, c.width, c.height).data.some((v, k) => k % 4 < 3 && "
                    "v > 20)"):
                failures.append(f"{what}: the preview still shows LEDs")
            continue
        if seen["size"] != size_line(text):
            failures.append(f"{what}: the size line says {seen['size']!r}, not {size_line(text)!r}")
        frames = re.search(r"Animation: (\d+) frames", text.decode("latin-1"))
        if frames and not seen["frame"].startswith(f"frame 1 of {frames[1]}, "):
            failures.append(f"{what}: the preview says {seen['frame']!r}, the text {frames[0]!r}")
        if k == 0:
            failures += check_page_examples(browser)
            browser.find_element("id", "download").click()
            failures += saved(browser, downloads, "heart.c", text, "#download")
        failures += check_binary(browser, tool, files, options, downloads)
    return failures


def check_binary(browser, tool, files, options, downloads):
    """#download-binary saves what --binary writes for the files shown, without --progmem; where
    --binary refuses, the page says the tool's line and saves nothing."""
    call = {key: value for key, value in options.items() if key != "progmem"}
    expected, status, _ = native(tool, files[0].parent, [f.name for f in files],
                                 dict(call, binary=True))
    browser.find_element("id", "download-binary").click()
    wait_for(browser, lambda: text_of(browser, "status").startswith("Binary file"))
    said = text_of(browser, "status")
    name = options.get("name", files[0].stem) + ".bin"
    if status != 0:
        line = f"Binary file not written: {expected.decode().strip()}"
        time.sleep(0.2)
        return [] if said == line and not os.listdir(downloads) else [
            f"{name}: the page says {said!r}, not {line!r}, and saved {os.listdir(downloads)}"]
    if said != f"Binary file: {len(expected)} bytes.":
        return [f"{name}: the page says {said!r}"]
    return saved(browser, downloads, name, expected, "#download-binary")


def check_page_examples(browser):
    """The documents' examples for the page's console, with the heart chosen; each ends with
    `status` set."""
    failures = []
    for document in [ROOT / "README.md", *sorted((ROOT / "doc").glob("*.md"))]:
        for where, kind, text in markdown_examples(document, document.name):
            if kind == "page":
                status = browser.execute_async_script(
                    "const done = arguments[0];\n(async () => {\n" + text +
                    "return status;\n})().then(done, (e) => done(String(e)));")
                print(f"{where}: page: " + ("ok" if status == 0 else "FAILED"))
                if status != 0:
                    failures.append(f"{where}: the example gave {status!r}")
    return failures


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
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    page, tool, write_cases = (pathlib.Path(sys.argv[1]).resolve(), os.path.abspath(sys.argv[2]),
                               sys.argv[3])
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
        calls, images, cases = shared_cases(write_cases, tool, scratch)
        browser = start_browser(scratch)
        try:
            load(browser, page)
            failures = check_convert(browser, tool, scratch, calls + images)
            failures += check_file_input(browser, page, tool, scratch, cases, magick)
            failures += web_page.check(browser, page, tool, scratch, sys.modules[__name__])
            failures += check_requests(browser, page)
        finally:
            browser.quit()
    for failure in failures:
        print("FAILED: " + failure)
    print(f"{page.name} ({page.stat().st_size} bytes): {len(calls)} calls of the shared cases and "
          f"{len(images)} conversions of their images under each set of options, byte for byte "
          f"as the tool writes them; {len(failures)} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
