#!/usr/bin/env python3
"""Packs the benchmark's animations (bench/animations.py) and holds each to the bytes it stored
when the benchmark measured it (bench/packed_sizes.txt).

    packed_sizes.py TIVRANO
"""
import pathlib
import re
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    pinned = dict(line.split() for line in (ROOT / "bench" / "packed_sizes.txt").read_text()
                  .splitlines() if line and not line.startswith("#"))
    with tempfile.TemporaryDirectory() as folder:
        listed = subprocess.run([sys.executable, str(ROOT / "bench" / "animations.py"), folder],
                                capture_output=True, text=True, check=True).stdout.split("\n")
        failures = 0
        for name in (line.split()[0] for line in listed if line):
            frames = sorted(str(f) for f in pathlib.Path(folder, name).glob("*.bmp"))
            text = subprocess.run([sys.argv[1], "--name=a", "--pack", *frames],
                                  capture_output=True, check=True).stdout.decode("latin-1")
            stored = re.search(r"(\d+) bytes stored", text).group(1)
            if stored != pinned.get(name):
                print(f"{name}: {stored} bytes stored, pinned at {pinned.get(name)}")
                failures += 1
    print(f"{len(pinned)} animations packed, {failures} of another size than pinned")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
