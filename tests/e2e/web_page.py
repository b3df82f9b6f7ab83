"""The page's checks beyond the bytes the tool writes, for web_test.py (`web`):

- the controls: the format a choice, --swap-bytes a check box, number fields with the tool's
  ranges, no --binary, and each labelled in words beside its option, its help the tooltip;
- the preview: LED n's dot stands where the tool's text puts LED n, in the colour its values
  light (rgb565 as a panel shows it, mono white or dark), and #hover names it so;
- one file the browser cannot decode leaves the others converted, and is marked; a JPEG is said
  to be decoded by the browser; a canvas that alters what it gives back, as privacy settings
  do, makes the page refuse the images the browser decodes;
- a typed value, text or number, is taken without Enter;
- a long animation shows its frames' count while the page stays responsive (the converter runs
  in a Worker); without a Worker, the page converts.
"""
import os
import pty
import re
import select
import subprocess
import time

# Options the tool takes only beside others: what --check needs to take a number field's value.
NEEDS = {"threshold": ["--format=mono"]}


def check_controls(browser, page, tool, scratch, web):
    """The controls drawn from the tool's options: the format a choice of grb (the default,
    passing nothing), rgb565 and mono; --swap-bytes a check box; no --binary, which the page
    offers as a download; each number field's range the one the tool takes; each control
    labelled in words, beside its option, with the option's --help as the tooltip."""
    web.load(browser, page)
    controls = {name: rest for name, *rest in browser.execute_script(
        "return [...document.getElementById('options').elements].filter((e) => e.name)"
        ".map((e) => [e.name, e.type, e.min, e.max,"
        "             e.options ? [...e.options].map((o) => o.value) : null,"
        "             e.closest('label').querySelector('span').textContent,"
        "             e.closest('label').querySelector('code').textContent,"
        "             e.closest('label').title]);")}
    failures = []
    for name, kind, choices, label in [("format", "select-one", ["", "rgb565", "mono"],
                                        "Values per LED"),
                                       ("swap-bytes", "checkbox", None, None),
                                       ("threshold", "number", None, None),
                                       ("brightness", "number", None, None),
                                       ("pack", "select-one", ["", "fast", "small", "auto"],
                                        "Packed animation")]:
        if name not in controls or controls[name][0] != kind or controls[name][3] != choices \
                or (label and controls[name][4] != label):
            failures.append(f"--{name}: the control is {controls.get(name)}, not a {kind} "
                            f"of {choices} labelled {label}")
    if "binary" in controls:
        failures.append("--binary is offered as a control")
    flowing = " ".join(subprocess.run([tool, "--help"], capture_output=True, text=True,
                                      check=True).stdout.split())
    for name, (kind, low, high, _, words, option, tooltip) in controls.items():
        if not words or option != "--" + name:
            failures.append(f"--{name}: labelled {words!r} beside {option!r}")
        if " ".join(tooltip.split()) not in flowing:
            failures.append(f"--{name}: its tooltip, {tooltip!r}, is not its --help")
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


def expected_led(n, written, options, length):
    """What LED n, on a strip line of `length` LEDs, shows by the tool's values: #hover's words
    and its dot's colour."""
    order = options.get("order", "rgb" if options.get("format") == "rgb565" else "grb").upper()
    if options.get("format") == "rgb565":
        value = written[n]
        fields = value if "swap-bytes" not in options else (value & 255) << 8 | value >> 8
        fields = [fields >> 11, fields >> 5 & 63, fields & 31]
        # A panel widens each field to 8 bits, its top bits repeated below it.
        widened = dict(zip(order, [f << 3 | f >> 2 if k != 1 else f << 2 | f >> 4
                                   for k, f in enumerate(fields)]))
        words = f"0x{value:04X} (" + ", ".join(f"{c} {widened[c]}" for c in order) + " on a panel)"
        return words, [widened[c] for c in "RGB"]
    if options.get("format") == "mono":
        line, along = divmod(n, length)
        bit = written[line * ((length + 7) // 8) + along // 8] >> (7 - along % 8) & 1
        return ("1, lit" if bit else "0, unlit"), [255 * bit] * 3
    mine = dict(zip(order, written[3 * n:3 * n + 3]))
    return ", ".join(f"{c} {mine[c]}" for c in order), [mine[c] for c in "RGB"]


def check_preview(browser, page, tool, scratch, web):
    """The LEDs of an image of pixels each of its own colour: LED n stands at the pixel whose
    colour the tool's text, without colour options, gives LED n under the same wiring; #hover
    names LED n there with the values the tool wrote for it, and its dot has the colour they
    light."""
    from PIL import Image

    # Ten LEDs a row: mono pads each row to two bytes.
    picture = Image.new("RGB", (10, 3))
    picture.putdata([(8 * k, 255 - 8 * k, 40 * (k % 7)) for k in range(30)])
    picture.save(scratch / "stripes.bmp")
    width, height = picture.size
    at = {picture.getpixel((x, y)): (x, y) for x in range(width) for y in range(height)}
    wirings = {"columns", "serpentine", "start", "tiles", "tile-start", "tile-columns",
               "tile-serpentine", "map"}
    # A map chosen beside the image: six LEDs, two of them on neighbouring cells.
    (scratch / "six.csv").write_text("x,y\n9,0\n0,2\n4.4,1\n4.6,1\n0,0\n7,2\n")
    failures = []
    for fragment, chosen in [("serpentine=1&start=bottom-right", []),
                             ("serpentine=1&start=top-right&columns=1&order=brg&brightness=40", []),
                             ("format=rgb565&order=bgr&swap-bytes=1&serpentine=1&start=bottom-left",
                              []),
                             ("format=rgb565&gamma=2.2&columns=1", []),
                             ("format=mono&threshold=120&serpentine=1&start=bottom-right", []),
                             ("tiles=2x1&tile-serpentine=1&tile-start=top-right&serpentine=1", []),
                             ("format=mono&threshold=120", ["six.csv"])]:
        options = web.options_of(fragment)
        if chosen:
            options["map"] = chosen[0]
        web.load(browser, page, "#" + fragment)
        web.choose(browser, scratch / "stripes.bmp", *[scratch / name for name in chosen])
        grb = web.values(web.native(tool, scratch, ["stripes.bmp"],
                                    {k: v for k, v in options.items() if k in wirings})[0])
        places = [at[(r, g, b)] for g, r, b in zip(grb[::3], grb[1::3], grb[2::3])]
        written = web.values(web.native(tool, scratch, ["stripes.bmp"], options)[0])
        # The page draws a cell of the canvas for each pixel, centred (as its geometry() does).
        cell = max(2, min(48, min((640 - 20) // width, (400 - 20) // height)))
        left, top = (640 - cell * width) / 2, (400 - cell * height) / 2
        points = [[int(left + (x + 0.5) * cell), int(top + (y + 0.5) * cell)] for x, y in places]
        panels = [int(n) for n in options.get("tiles", "1x1").split("x")]
        length = (len(places) if chosen else height // panels[1] if "columns" in options
                  else width // panels[0])
        for n, ((x, y), (hover, drawn)) in enumerate(zip(places,
                                                         browser.execute_script(PROBE, points))):
            words, colour = expected_led(n, written, options, length)
            if (hover, drawn) != (f"LED {n} at x {x}, y {y}: {words}", colour):
                failures.append(f"{fragment}: at LED {n}'s place, x {x}, y {y}, #hover says "
                                f"{hover!r}, the dot is {drawn}; the tool: {words}, {colour}")
    return failures



def check_batch(browser, page, tool, scratch, web):
    """A JPEG the browser cannot decode, chosen with a good one and the heart: the first of
    those two converted is shown, said to be decoded by the browser; the bad one is marked, and
    says why once chosen in the list."""
    from PIL import Image

    (scratch / "bad.jpg").write_bytes(b"\xff\xd8\xff\xe0 not a JPEG at all")
    Image.new("RGB", (4, 3), (200, 100, 50)).save(scratch / "good.jpg")
    web.load(browser, page)
    web.choose(browser, web.HEART, scratch / "bad.jpg", scratch / "good.jpg")
    entries = browser.execute_script(
        "return [...document.getElementById('result').options].map((o) => o.text)")
    failures = []
    if entries != ["✗ bad.jpg (not converted)", "good.jpg", web.HEART.name] or \
            not web.text_of(browser, "output").startswith("/*\nBreite: 4, Hoehe: 3\n") or \
            "good.jpg: decoded by this browser" not in web.text_of(browser, "decoded-by"):
        failures.append(f"a bad JPEG with a good one and the heart: the list is {entries}, the "
                        f"page says {web.text_of(browser, 'decoded-by')!r}")
    browser.execute_script("const r = document.getElementById('result'); r.value = '0';"
                           "r.dispatchEvent(new Event('change'));")
    said = web.text_of(browser, "status")
    if not said.startswith("bad.jpg: not converted: tivrano: bad.jpg: this browser cannot decode"):
        failures.append(f"the bad JPEG, chosen in the list: the status says {said!r}")
    return failures


def check_typing(browser, page, tool, scratch, web):
    """A name, and a number, typed, without Enter, are taken once typing pauses."""
    failures = []
    for fragment, field, typed, shown in [("", "name", "typed", "typed["),
                                          ("#format=mono", "threshold", "77",
                                           "lit from brightness 77")]:
        web.load(browser, page, fragment)
        web.choose(browser, web.HEART)
        browser.find_element("css selector", f"input[name={field}]").send_keys(typed)
        try:
            web.wait_for(browser, lambda: shown in web.text_of(browser, "output"), 5)
        except TimeoutError:
            failures.append(f"a typed {field} is not taken without Enter")
    return failures


# Notes every status the page shows, and how late a timer tick of 20 ms comes at most.
WATCH = """
window.seen = []; window.late = 0;
const status = document.getElementById("status");
new MutationObserver(() => seen.push(status.textContent))
  .observe(status, { childList: true, characterData: true, subtree: true });
let last = performance.now();
setInterval(() => {
  const now = performance.now();
  late = Math.max(late, now - last);
  last = now;
}, 20);
"""


def check_long_animation(browser, page, tool, scratch, web):
    """An animation of 1500 frames: 'Converting 1500 frames…' is shown, the box says it shows
    part of the text, and the page's timers are never held up for long (the tool runs in a
    Worker, not in the page)."""
    from PIL import Image

    frames = [Image.new("RGB", (64, 48), ((7 * k) % 256, (13 * k) % 256, 90))
              for k in range(1500)]
    for k, image in enumerate(frames):
        image.paste((255, 255, 255), (k % 60, k % 40, k % 60 + 4, k % 40 + 4))
    gif = scratch / "long.gif"
    frames[0].save(gif, save_all=True, append_images=frames[1:], duration=40)
    web.load(browser, page, "#name=sprites")
    browser.execute_script(WATCH)
    start = time.monotonic()
    web.choose(browser, gif)
    took = time.monotonic() - start
    seen, late = browser.execute_script("return [seen, late]")
    failures = []
    if "Converting 1500 frames…" not in seen or web.text_of(browser, "status") != "Converted.":
        failures.append(f"1500 frames: the page said {seen}")
    if "Copy and Download give all" not in web.text_of(browser, "cut"):
        failures.append("1500 frames: the page does not say that the box shows part of the text")
    # Run in the page, the tool held it up for 2.9 to 3.3 s on a 2-core machine of ours; in the
    # Worker, for 0.3 to 0.7 s, to show the text and the preview.
    if late > 1500:
        failures.append(f"1500 frames in {took:.1f} s: the page was held up for {late:.0f} ms")
    print(f"1500 frames of 64 x 48 in {took:.1f} s; the page's timers at most {late:.0f} ms late")
    return failures


def check_without_worker(browser, page, tool, scratch, web):
    """Where no Worker starts, the page runs the converter itself."""
    script = browser.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                     {"source": "window.Worker = undefined;"})
    try:
        web.load(browser, page, "#name=heart")
        shown = web.choose(browser, web.HEART)
    finally:
        browser.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", script)
    heart = web.native(tool, web.HEART.parent, [web.HEART.name], {"name": "heart"})[0]
    return [] if shown == web.as_shown(heart) else [
        "without a Worker, the page does not show the tool's text"]


def check_altered_canvas(browser, page, tool, scratch, web):
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
    web.load(browser, page)
    shown = web.choose(browser, scratch / "altered.jpg")
    errors = web.text_of(browser, "errors")
    if shown or "changes what pages read from a canvas" not in errors:
        return [f"an altered canvas gave {shown!r}, with {errors!r}"]
    return []


# A stand-in for Web Serial: the port the user would pick records what is written to it, and
# when.
SERIAL = """
window.sent = [];
Object.defineProperty(navigator, "serial", { value: { requestPort: async () => ({
  open: async (options) => { window.baud = options.baudRate; },
  writable: { getWriter: () => ({
    write: async (bytes) => { window.sent.push([performance.now(), Array.from(bytes)]); },
    releaseLock: () => {} }) },
  close: async () => {} }) } });
"""


def check_play_on_leds(browser, page, tool, scratch, web):
    """Play on LEDs writes to the serial port what tivrano --send writes through a
    pseudo-terminal for the same file and options, each frame held at least its delay; a
    browser without Web Serial says so."""
    gif = web.ROOT / "examples" / "animation" / "frames" / "pulse.gif"
    options = ["--start=bottom-right", "--serpentine", "--loop=2", "--baud=57600"]
    terminal, port = pty.openpty()
    done = subprocess.run([tool, "--send=" + os.ttyname(port), *options, str(gif)],
                          capture_output=True, check=False)
    expected = b""
    while True:
        if not select.select([terminal], [], [], 0.2)[0]:
            break
        expected += os.read(terminal, 65536)
    os.close(terminal)
    os.close(port)
    script = browser.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": SERIAL})
    try:
        web.load(browser, page, "#name=pulse&start=bottom-right&serpentine=1&loop=2&baud=57600")
        web.choose(browser, gif)
        browser.find_element("id", "play-leds").click()
        web.wait_for(browser, lambda: web.text_of(browser, "status").startswith("Played"), 20)
        sent, baud = browser.execute_script("return [window.sent, window.baud];")
    finally:
        browser.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", script)
    # A browser without Web Serial says so, in a sentence.
    script = browser.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                     {"source": "delete Navigator.prototype.serial;"})
    try:
        web.load(browser, page)
        web.choose(browser, gif)
        browser.find_element("id", "play-leds").click()
        web.wait_for(browser, lambda: web.text_of(browser, "status").startswith(
            "This browser cannot reach a serial port"), 10)
    finally:
        browser.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", script)
    failures = []
    if done.returncode != 0 or not expected:
        failures.append(f"tivrano --send through a pseudo-terminal: {done.stderr!r}")
    if bytes(b for _, chunk in sent for b in chunk) != expected or baud != 57600:
        failures.append(f"Play on LEDs wrote {len(sent)} messages at {baud} baud, not what "
                        f"tivrano --send wrote ({len(expected)} bytes)")
    text = web.native(tool, gif.parent, [gif.name], {"name": "pulse"})[0].decode()
    delays = [int(ms) for ms in re.search(r"delay_ms\[\][^{]*\{([^}]*)\}", text).group(1)
              .replace(",", " ").split()]
    held = [later - earlier for (earlier, _), (later, _) in zip(sent, sent[1:])]
    if any(gap < delays[k % len(delays)] - 5 for k, gap in enumerate(held)):
        failures.append(f"Play on LEDs held frames {held} ms, less than their delays {delays}")
    return failures


def check(browser, page, tool, scratch, web):
    failures = []
    for one in (check_controls, check_preview, check_batch, check_typing, check_without_worker,
                check_long_animation, check_play_on_leds,
                check_altered_canvas):  # last: it alters the canvas
        failures += one(browser, page, tool, scratch, web)
    return failures
