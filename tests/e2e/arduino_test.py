#!/usr/bin/env python3
"""The Arduino library as a maker gets it: tivrano_player-VERSION.zip, unpacked as a library
folder, its examples compiled for an Arduino Nano by Debian's arduino-builder (Receive among
them, whose parser tests/cli/send_test.cpp runs on the tool's own bytes), and Play and Small
(the same, packed small) run in simavr, whose lines must be those of the same animation decoded
on this machine.

    arduino_test.py ZIP VERSION SOURCE_DIR C_COMPILER

FastLED and Adafruit NeoPixel are in no registry we reach: their examples compile against the
stand-ins in tests/support/arduino/, which declare just the calls they make. Prints each
example's flash and RAM; exit status 77, with the reason, when arduino-builder, the Arduino
core or simavr is missing.
"""
import json
import pathlib
import re
import selectors
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

HARDWARE = pathlib.Path("/usr/share/arduino/hardware")
EXAMPLES = ("Play", "FastLED", "NeoPixel", "Small", "Receive")
MEMBERS = {"library.properties", "library.json", "src/tivrano_player.h",
           "src/tivrano_receive.h", "examples/Receive/Receive.ino"} | {
    f"examples/{name}/{file}" for name in EXAMPLES[:4]
    for file in (f"{name}.ino", "animation.c", "animation.h")}
PROPERTIES = ("name", "version", "author", "maintainer", "sentence", "paragraph", "category",
              "architectures", "includes")
JSON_FIELDS = ("name", "version", "description", "keywords", "frameworks", "platforms", "headers")


def metadata_problems(library, version):
    problems = []
    text = (library / "library.properties").read_text()
    properties = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
    problems += [f"library.properties lacks {key}" for key in PROPERTIES if not properties.get(key)]
    expected = {"name": "tivrano_player", "version": version, "architectures": "*",
                "includes": "tivrano_player.h"}
    problems += [f"library.properties: {key}={properties.get(key)}, not {value}"
                 for key, value in expected.items() if properties.get(key) != value]
    fields = json.loads((library / "library.json").read_text())
    problems += [f"library.json lacks {key}" for key in JSON_FIELDS if not fields.get(key)]
    expected = {"name": "tivrano_player", "version": version, "frameworks": ["arduino"],
                "headers": ["tivrano_player.h"]}
    problems += [f"library.json: {key} is {fields.get(key)}, not {value}"
                 for key, value in expected.items() if fields.get(key) != value]
    return problems


def compile_sketch(sketch, libraries, build):
    """The sketch built for a Nano; its flash and RAM, or the problem."""
    build.mkdir()
    # The Arduino core compiled once, for the first sketch, and taken by the others.
    cache = build.parent / "core-cache"
    cache.mkdir(exist_ok=True)
    done = subprocess.run(
        ["arduino-builder", "-compile", "-warnings", "all", "-hardware", str(HARDWARE),
         "-hardware", "/usr/share/arduino-builder", "-tools", "/usr/bin",
         "-fqbn", "arduino:avr:nano:cpu=atmega328", "-build-path", str(build),
         "-build-cache", str(cache),
         # Debian's core 1.8.7 needs DECIMAL_DIG, which Debian's avr-gcc 5.4 lacks.
         "-prefs=compiler.cpp.extra_flags=-DDECIMAL_DIG=17"]
        + [option for folder in libraries for option in ("-libraries", str(folder))]
        + [str(sketch)], capture_output=True, text=True)
    output = done.stdout + done.stderr
    if done.returncode != 0:
        return None, f"arduino-builder failed:\n{output}"
    # The core's own warnings are Debian's; the sketch's and the library's must be none.
    ours = [line for line in output.splitlines()
            if "warning" in line and not line.startswith(str(HARDWARE))]
    if ours:
        return None, "warnings:\n" + "\n".join(ours)
    flash = re.search(r"Sketch uses (\d+) bytes", output)
    ram = re.search(r"Global variables use (\d+) bytes", output)
    return (int(flash.group(1)), int(ram.group(1))), None


def uart_lines(elf, count, seconds=60):
    """The first count lines the firmware writes on its UART in simavr, which prints each
    line in colour, its control characters as dots."""
    simavr = subprocess.Popen(["simavr", "-m", "atmega328p", "-f", "16000000", str(elf)],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    lines, pending, deadline = [], b"", time.monotonic() + seconds
    with selectors.DefaultSelector() as selector:
        selector.register(simavr.stdout, selectors.EVENT_READ)
        while len(lines) < count and time.monotonic() < deadline:
            if not selector.select(deadline - time.monotonic()):
                break
            chunk = simavr.stdout.read1(4096)
            if not chunk:
                break
            pending += chunk
            *done, pending = pending.split(b"\n")
            lines += [re.sub(r"\x1b\[[0-9;]*m|\.+$", "", line.decode()) for line in done]
    simavr.kill()
    simavr.wait()
    return lines[:count]


def main(argv):
    if len(argv) != 5:
        sys.exit(__doc__)
    zip_path, version, compiler = pathlib.Path(argv[1]), argv[2], argv[4]
    source = pathlib.Path(argv[3])
    missing = [what for what, there in (
        ("arduino-builder (arduino-builder)", shutil.which("arduino-builder")),
        ("the Arduino core (arduino-core-avr)", (HARDWARE / "arduino" / "avr").is_dir()),
        ("simavr (simavr)", shutil.which("simavr"))) if not there]
    if missing:
        print(f"skipped: {', '.join(missing)} missing")
        sys.exit(77)
    if not zip_path.is_file():
        sys.exit(f"FAILED: no {zip_path}: build the target arduino-library")
    problems = []
    with tempfile.TemporaryDirectory(prefix="tivrano arduino ") as name:
        scratch = pathlib.Path(name)
        with zipfile.ZipFile(zip_path) as archive:
            files = {member for member in archive.namelist() if not member.endswith("/")}
            archive.extractall(scratch / "libraries")
        expected = {f"tivrano_player/{member}" for member in MEMBERS}
        if files != expected:
            problems.append(f"the zip holds {sorted(files - expected)} more and "
                            f"lacks {sorted(expected - files)}")
        library = scratch / "libraries" / "tivrano_player"
        problems += metadata_problems(library, version)
        stand_ins = source / "tests" / "support" / "arduino"
        for example in EXAMPLES:
            sketch = library / "examples" / example / f"{example}.ino"
            if not sketch.is_file():
                continue
            sizes, problem = compile_sketch(sketch, [scratch / "libraries", stand_ins],
                                            scratch / f"build-{example}")
            if problem:
                problems.append(f"{example}: {problem}")
            else:
                print(f"{example}: {sizes[0]} bytes of flash, {sizes[1]} bytes of RAM (Nano)")
        # Play, and Small, its animation packed small, in simavr against the same animation
        # played here.
        for example in ("Play", "Small"):
            play = library / "examples" / example
            host = subprocess.run(
                [compiler, "-std=c99", "-Wall", "-Wextra", "-Werror", f"-I{library / 'src'}",
                 f"-I{play}", str(stand_ins / "host_play.c"), str(play / "animation.c"),
                 "-o", str(scratch / "host_play")], capture_output=True, text=True)
            elf = scratch / f"build-{example}" / f"{example}.ino.elf"
            if host.returncode != 0:
                problems.append(f"host_play.c did not compile for {example}:\n{host.stderr}")
            elif elf.is_file():
                expected = subprocess.run([str(scratch / "host_play")], capture_output=True,
                                          text=True, check=True).stdout.splitlines()
                played = uart_lines(elf, len(expected))
                if played != expected:
                    problems.append(f"{example} wrote {played} in simavr, not {expected}")
                else:
                    print(f"{example} in simavr: {len(played)} lines as decoded here, "
                          f"{played[:4]}...")
    for problem in problems:
        print(f"FAILED: {problem}")
    print(f"{0 if problems else 1} passed, {1 if problems else 0} failed")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main(sys.argv)
