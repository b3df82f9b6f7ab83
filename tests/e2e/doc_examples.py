#!/usr/bin/env python3
"""Runs or compiles every example of the README, the doc/ pages and the man page, taken from
the documents.

    doc_examples.py TIVRANO SOURCE_DIR [--kind KIND]... [--exe TIVRANO.EXE]

An example is a block marked with its kind: in Markdown, `<!-- example: KIND -->` on the line
before a fenced block; in the man page, `.\\" example: KIND` before a `.nf` ... `.fi` block. A
block without a mark, or one that is never closed, fails the run, so that a new example gets
its check. The kinds:

    sh          run with bash in a folder of sample files, with tivrano first on the PATH; it
                must succeed with nothing on standard error, and every BMP it makes must be
                plain (tivrano --strict) and hold its source's pixels as Pillow decodes them
    python      the same, run with Python
    make        the rule as a Makefile: it makes sources the C compiler takes, and a refused
                frame stops make twice, leaving nothing
    c, avr-c    compiled as C and C++, or with avr-gcc for an ATmega328P, beside the frames
                they include
    avr-player  compiled with avr-gcc for an ATmega328P, with `walk`, four frames packed
    cmake       a project around the snippet, with the next c-app block as its main.c (and a
                main of its own if there is none), built against the package installed into a
                scratch prefix, and run
    avr-cmake   run with bash in the project of the cmake block before it, with the scratch
                prefix for /usr/local, where the README installs the package; it must succeed
                with nothing on standard error
    send        run as sh, with a pseudo-terminal in place of the port /dev/ttyUSB0, which the
                frames must reach
    output      the text the tool writes for the image the document describes
    install, uninstall
                run as they stand (into /usr/local), in the current folder, only with --kind,
                as .ci/run does
    ci          commands .ci/run runs as they stand: each line must be one of its lines
    cmd         run under Wine by cmd, only with --exe
    page        JavaScript for the page's console, run by tests/e2e/web_test.py
    powershell, bench, platformio
                not run; the reason is printed

The source of a BMP an example makes is the PNG or JPEG of the same name, or in.png. ImageMagick is TIVRANO_MAGICK and a python3 with Pillow TIVRANO_PYTHON,
as CMake found them (its cache holds both). Exit status 1 if any example fails, 77 when either
is missing outside CI. The last line counts them.
"""
import os
import pathlib
import pty
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import threading

SKIPPED_KINDS = {
    "powershell": "there is no PowerShell on Debian",
    "bench": "bench/compare.sh takes minutes and its figures depend on the machine; run by hand",
    "install": "it installs into /usr/local: .ci/run runs it with --kind install",
    "uninstall": "it removes from /usr/local: .ci/run runs it with --kind uninstall",
    "cmd": "it needs tivrano.exe and Wine: .ci/run runs it with --exe in its Windows step",
    "page": "it runs in the page, with an image chosen: tests/e2e/web_test.py runs it",
    "platformio": "PlatformIO is not in Debian: tests/e2e/arduino_test.py checks the library.json "
                  "it reads, and compiles the examples with arduino-builder",
}
ONE_PIXEL = bytes(b"BM") + bytes(8) + (54).to_bytes(4, "little") + (40).to_bytes(4, "little") + \
    (1).to_bytes(4, "little") * 2 + (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + \
    bytes(24) + bytes([16, 32, 48, 0])


def drain(terminal, received):
    """Reads a pseudo-terminal into `received` until it is closed."""
    while True:
        try:
            chunk = os.read(terminal, 65536)
        except OSError:
            return
        if not chunk:
            return
        received.append(chunk)


class Unclosed(Exception):
    pass


def markdown_examples(path, name):
    lines = path.read_text().splitlines()
    examples, kind, k = [], None, 0
    while k < len(lines):
        mark = re.fullmatch(r"<!-- example: ([a-z-]+) -->", lines[k])
        if mark:
            kind = mark.group(1)
        elif lines[k].startswith("```"):
            end = next((j for j in range(k + 1, len(lines)) if lines[j].startswith("```")), None)
            if end is None:
                raise Unclosed(f"{name}:{k + 1}: a code block that is never closed")
            examples.append((f"{name}:{k + 1}", kind, "\n".join(lines[k + 1:end]) + "\n"))
            kind, k = None, end
        k += 1
    return examples


def unescape_roff(text):
    return text.replace("\\-", "-").replace("\\e", "\\").replace("\\&", "")


def man_examples(path, name):
    lines = path.read_text().splitlines()
    examples, kind = [], None
    for k, line in enumerate(lines):
        mark = re.fullmatch(r'\.\\" example: ([a-z-]+)', line)
        if mark:
            kind = mark.group(1)
        elif line == ".nf":
            if ".fi" not in lines[k:]:
                raise Unclosed(f"{name}:{k + 1}: a .nf block that is never closed")
            end = lines.index(".fi", k)
            text = "\n".join(unescape_roff(l) for l in lines[k + 1:end]) + "\n"
            examples.append((f"{name}:{k + 1}", kind, text))
            kind = None
    return examples


def values_of(text):
    return [int(v) for v in re.findall(r"\d+", text.split("{", 1)[-1])]


class Runner:
    def __init__(self, tool, source, exe, magick):
        self.tool = pathlib.Path(tool).resolve()
        self.source = pathlib.Path(source).resolve()
        self.exe = exe
        self.magick = magick
        self.passed = self.failed = self.skipped = 0
        self.seen = {}
        self.prefix = None
        self.app_main = None
        self.app_snippet = None
        tools = tempfile.mkdtemp(prefix="tivrano doc tools ")
        os.symlink(self.tool, os.path.join(tools, "tivrano"))
        # The tool, then ImageMagick's folder, before any stand-in of the same name.
        self.env = dict(os.environ, PATH=os.pathsep.join(
            [tools, os.path.dirname(magick), os.environ["PATH"]]))
        self.template = pathlib.Path(tempfile.mkdtemp(prefix="tivrano doc fixture "))
        self.fixture(self.template)

    def run(self, command, folder, **options):
        return subprocess.run(command, cwd=folder, env=self.env, capture_output=True,
                              text=True, **options)

    def fixture(self, folder):
        """The files the examples name: frames, pictures, a GIF, the one-pixel image and the
        positions of a ring of LEDs."""
        make_bmp = [sys.executable, str(self.source / "examples" / "make_bmp.py")]
        for name in ("heart", "arrow"):
            self.run(make_bmp + [name, f"{name}.bmp"], folder, check=True)
        self.run(make_bmp + ["random", "16", "16", "frame.bmp", "5"], folder, check=True)
        shutil.copytree(self.source / "examples" / "animation" / "frames", folder / "frames")
        shutil.copy(self.source / "examples" / "ring24.csv", folder)
        magick = self.magick
        # A photo (RGB), a picture with transparency (RGBA), and the photo as a JPEG.
        self.run([magick, "-seed", "7", "-size", "13x7", "plasma:fractal", "-depth", "8",
                  "PNG24:in.png"], folder, check=True)
        self.run([magick, "in.png", "-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel",
                  "PNG32:sprite.png"], folder, check=True)
        self.run([magick, "in.png", "photo.jpg"], folder, check=True)
        self.run([magick, "-size", "9x6", "xc:navy", "(", "-size", "4x3", "xc:orange",
                  "-repage", "+2+1", ")", "(", "-size", "3x2", "xc:lime", "-repage", "+5+3",
                  ")", "-set", "dispose", "none", "anim.gif"], folder, check=True)
        # An animation of 64 x 32 LEDs, too big for a Nano's RAM.
        self.run([magick, "-delay", "8", "-size", "64x32", "gradient:red-blue", "xc:navy",
                  "scene.gif"], folder, check=True)
        self.run([magick, "-size", "5x4", "xc:red", "xc:lime", "xc:blue", "-scene", "1",
                  "+adjoin", "frames/walk%d.png"], folder, check=True)
        self.run([magick, "frames/walk%d.png[1-3]", "-type", "TrueColor", "-scene", "1",
                  "+adjoin", "BMP3:walk%d.bmp"], folder, check=True)
        (folder / "one.bmp").write_bytes(ONE_PIXEL)
        for name in ("heart", "arrow"):
            (folder / f"{name}.inc").write_text(self.run([str(self.tool), f"{name}.bmp"],
                                                         folder).stdout)

    def source_pixels(self, folder, bmp):
        """The pixels the BMP must hold, as Pillow decodes its source, in green, red, blue."""
        from PIL import Image
        same = [bmp.with_suffix(s) for s in (".png", ".jpg") if bmp.with_suffix(s).exists()]
        image = Image.open(same[0] if same else folder / "in.png")
        return [v for r, g, b in image.convert("RGB").getdata() for v in (g, r, b)]

    def made_bmps(self, folder, before):
        """Problems with the BMP files an example made: each converts with --strict, to its
        source's pixels."""
        problems = []
        for bmp in sorted(set(folder.rglob("*.bmp")) - before):
            done = self.run([str(self.tool), "--strict", str(bmp)], folder)
            if done.returncode != 0:
                problems.append(f"{bmp.name} is not a plain 24-bit BMP: {done.stderr.strip()}")
            elif values_of(done.stdout) != self.source_pixels(folder, bmp):
                problems.append(f"{bmp.name} does not hold its source's pixels")
        return problems

    def run_script(self, kind, text, folder):
        before = set(folder.rglob("*.bmp"))
        python = kind.endswith("python")
        command = [sys.executable, "-c", text] if python else \
            ["bash", "-e", "-o", "pipefail", "-c", text]
        done = self.run(command, folder)
        problems = [f"status {done.returncode}"] if done.returncode != 0 else []
        if done.stderr:
            problems.append(f"standard error: {done.stderr.strip()}")
        return problems + self.made_bmps(folder, before)

    def check(self, kind, text, folder):
        """The problems found with one example, or None if it was skipped."""
        if kind in ("sh", "python"):
            return self.run_script(kind, text, folder)
        if kind == "send":
            return self.check_send(text, folder)
        if kind == "make":
            return self.check_make(text, folder)
        if kind in ("c", "avr-c", "avr-player"):
            return self.check_c(kind, text, folder)
        if kind == "cmake":
            return self.cmake_project(text, folder)
        if kind == "avr-cmake":
            return self.avr_cmake(text, folder)
        if kind == "output":
            done = subprocess.run([str(self.tool), "one.bmp"], cwd=folder, capture_output=True)
            written = done.stdout.decode().replace("\r\n", "\n").replace("};\n\r", "};\n")
            return [] if written == text else [f"the tool writes\n{written}"]
        if kind == "ci":
            script = {line.strip() for line in (self.source / ".ci" / "run").read_text()
                      .splitlines()}
            return [f"not a line of .ci/run: {line}" for line in text.splitlines()
                    if line.strip() and line.strip() not in script]
        if kind in ("install", "uninstall"):
            # In the folder it was started in: a copy of the source tree, for the install.
            done = self.run(["bash", "-e", "-c", text], os.getcwd())
            return [] if done.returncode == 0 else [f"status {done.returncode}: {done.stderr}"]
        if kind == "cmd":
            shutil.copy(self.exe, folder / "tivrano.exe")
            problems = []
            for line in text.splitlines():
                (folder / "frame.c").unlink(missing_ok=True)
                done = self.run(["/usr/lib/wine/wine64", "cmd", "/c", line], folder)
                expected = subprocess.run([str(self.tool), "frame.bmp"], cwd=folder,
                                          capture_output=True).stdout
                if done.returncode != 0 or (folder / "frame.c").read_bytes() != expected:
                    problems.append(f"{line}: status {done.returncode}, frame.c differs")
            return problems
        return [f"unknown kind {kind}"]

    def check_send(self, text, folder):
        """Run as sh, with a pseudo-terminal for the port the example names, /dev/ttyUSB0;
        the frames must reach it."""
        terminal, port = pty.openpty()
        name = os.ttyname(port)
        received = []
        reader = threading.Thread(target=drain, args=(terminal, received), daemon=True)
        reader.start()
        problems = self.run_script("sh", text.replace("/dev/ttyUSB0", name), folder)
        os.close(port)
        reader.join(5)
        os.close(terminal)
        if not b"".join(received).startswith(b"Ada"):
            problems.append(f"no frame reached the port: {b''.join(received)[:20]!r}")
        return problems

    def check_make(self, text, folder):
        (folder / "Makefile").write_text(text)
        (folder / "bad.bmp").write_bytes(b"BM")
        done = self.run(["make", "heart.c", "arrow.c"], folder)
        if done.returncode != 0:
            return [f"make: {done.stdout}{done.stderr}"]
        problems = []
        for name in ("heart", "arrow"):
            expected = self.run([str(self.tool), f"--name={name}", f"{name}.bmp"], folder)
            if (folder / f"{name}.c").read_text() != expected.stdout:
                problems.append(f"{name}.c is not the tool's text")
        done = self.run(["cc", "-std=c99", "-pedantic", "-Wall", "-Werror", "-c", "heart.c",
                         "arrow.c"], folder)
        if done.returncode != 0:
            problems.append(f"the made sources do not compile: {done.stderr}")
        for attempt in (1, 2):
            if self.run(["make", "bad.c"], folder).returncode == 0:
                problems.append(f"a refused frame was made (attempt {attempt})")
            if any(folder.glob("bad.c*")):
                problems.append(f"a refused frame left a file (attempt {attempt})")
        return problems

    def check_c(self, kind, text, folder):
        (folder / "example.c").write_text(text)
        compilers = [["cc", "-x", "c", "-std=c99"], ["c++", "-x", "c++", "-std=c++17"]]
        sources = ["example.c"]
        if kind.startswith("avr"):
            if shutil.which("avr-gcc") is None:
                if os.environ.get("CI"):
                    return ["avr-gcc is missing, in CI"]
                print("  skipped: avr-gcc is missing (gcc-avr, avr-libc)")
                return None
            compilers = [["avr-gcc", "-mmcu=atmega328p", "-Os", "-DF_CPU=16000000UL",
                          "-I" + str(self.source / "include"), "-x", "c"]]
        if kind == "avr-c":
            self.run([str(self.tool), "--name=heart", "--progmem", "-o", "heart.c",
                      "heart.bmp"], folder, check=True)
            sources.append("heart.c")
        if kind == "avr-player":
            self.run([str(self.tool), "--name=walk", "--pack", "--header=walk.h", "-o", "walk.c",
                      "walk1.bmp", "walk2.bmp", "walk3.bmp", "walk2.bmp"], folder, check=True)
            sources.append("walk.c")
        problems = []
        for compiler in compilers:
            done = self.run(compiler + ["-Wall", "-Wextra", "-Werror", "-c"] + sources, folder)
            if done.returncode != 0:
                problems.append(f"{compiler[0]}: {done.stderr.strip()}")
        return problems

    def cmake_files(self, snippet, folder):
        """The package installed into the scratch prefix, and a project around the snippet."""
        if self.prefix is None:
            self.prefix = pathlib.Path(tempfile.mkdtemp(prefix="tivrano doc prefix "))
            build = self.tool.parent
            self.run(["cmake", "--install", str(build), "--prefix", str(self.prefix)], folder,
                     check=True)
        main = self.app_main or '#include "app_frames.h"\n'
        if "int main(" not in main:
            main += "int main(void) { return heart_size == 0; }\n"
        (folder / "main.c").write_text(main)
        (folder / "CMakeLists.txt").write_text(
            "cmake_minimum_required(VERSION 3.20)\nproject(app LANGUAGES C)\n"
            "add_executable(app main.c)\n" + snippet)

    def avr_cmake(self, text, folder):
        if shutil.which("avr-gcc") is None:
            if os.environ.get("CI"):
                return ["avr-gcc is missing, in CI"]
            print("  skipped: avr-gcc is missing (gcc-avr, avr-libc)")
            return None
        if self.app_snippet is None:
            return ["no cmake block before it"]
        self.cmake_files(self.app_snippet, folder)
        # find_package looks in /usr/local by itself, and in the scratch prefix when told.
        script = text.replace("/usr/local", shlex.quote(str(self.prefix)))
        done = subprocess.run(
            ["bash", "-e", "-o", "pipefail", "-c", script], cwd=folder,
            env=dict(self.env, CMAKE_PREFIX_PATH=str(self.prefix)), capture_output=True, text=True)
        problems = [f"status {done.returncode}: {done.stdout}"] if done.returncode != 0 else []
        return problems + ([f"standard error: {done.stderr.strip()}"] if done.stderr else [])

    def cmake_project(self, snippet, folder):
        self.cmake_files(snippet, folder)
        for command in (["cmake", "-S", ".", "-B", "build", f"-DCMAKE_PREFIX_PATH={self.prefix}"],
                        ["cmake", "--build", "build"], ["./build/app"]):
            done = self.run(command, folder)
            if done.returncode != 0:
                return [f"{' '.join(command)}: {done.stdout}{done.stderr}"]
        return []

    def example(self, where, kind, text, kinds):
        if kind is None:
            print(f"{where}: FAILED: a block without an example mark")
            self.failed += 1
            return
        if kind == "c-app" or (kinds and kind not in kinds):
            return
        if not kinds and kind in SKIPPED_KINDS:
            print(f"{where}: {kind}: skipped: {SKIPPED_KINDS[kind]}")
            self.skipped += 1
            return
        # The same example in two documents is run once (an uninstall, for one, cannot be run
        # again on what it removed), and counts as that run went.
        if (kind, text) in self.seen:
            first, ok = self.seen[(kind, text)]
            print(f"{where}: {kind}: {'ok' if ok else 'FAILED'}, the same as {first}")
            self.passed += ok
            self.failed += not ok
            return
        with tempfile.TemporaryDirectory(prefix="tivrano example ") as name:
            folder = pathlib.Path(name) / "example"
            shutil.copytree(self.template, folder, symlinks=True)
            problems = self.check(kind, text, folder)
        self.seen[(kind, text)] = (where, not problems)
        if problems is None:
            self.skipped += 1
        elif problems:
            print(f"{where}: {kind}: FAILED:\n{text}" + "\n".join("  " + p for p in problems))
            self.failed += 1
        else:
            print(f"{where}: {kind}: ok")
            self.passed += 1


def documents(source):
    yield "README.md", markdown_examples
    for page in sorted((source / "doc").glob("*.md")):
        yield f"doc/{page.name}", markdown_examples
    yield "man/tivrano.1", man_examples


def main(argv):
    args, kinds, exe = [], set(), None
    k = 1
    while k < len(argv):
        if argv[k] == "--kind":
            kinds.add(argv[k + 1])
            k += 1
        elif argv[k] == "--exe":
            exe, kinds = argv[k + 1], kinds | {"cmd"}
            k += 1
        else:
            args.append(argv[k])
        k += 1
    if len(args) != 2:
        sys.exit(__doc__)
    magick = os.environ.get("TIVRANO_MAGICK")
    if not magick or not os.environ.get("TIVRANO_PYTHON"):
        print(("FAILED, in CI: " if os.environ.get("CI") else "skipped: ") +
              "the examples need ImageMagick and Pillow, as CMake found them in TIVRANO_MAGICK "
              "and TIVRANO_PYTHON (imagemagick, python3-pil)")
        sys.exit(1 if os.environ.get("CI") else 77)
    runner = Runner(args[0], args[1], exe, magick)
    for document, examples in documents(runner.source):
        try:
            found = examples(runner.source / document, document)
        except Unclosed as unclosed:
            print(f"FAILED: {unclosed}")
            runner.failed += 1
            continue
        # A c-app block is the main.c of the cmake block before it.
        for index, (where, kind, text) in enumerate(found):
            if kind == "cmake":
                following = found[index + 1] if index + 1 < len(found) else None
                runner.app_main = following[2] if following and following[1] == "c-app" else None
                runner.app_snippet = text
            runner.example(where, kind, text, kinds)
    print(f"{runner.passed} passed, {runner.failed} failed, {runner.skipped} skipped")
    shutil.rmtree(runner.template, ignore_errors=True)
    sys.exit(1 if runner.failed else 0)


if __name__ == "__main__":
    main(sys.argv)
