#!/usr/bin/env python3
"""Prints and checks tivrano.exe's version information and manifest, as Windows reads them.

    windows_resources.py TIVRANO.EXE VERSION

The version must be VERSION in the fixed and the string information; the manifest must declare
longPathAware, UTF-8 as the active code page, and the supported Windows versions. Needs pefile
(python3-pefile). Exit status 1 if anything is missing.
"""
import sys

import pefile


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    exe, version = argv[1], argv[2]
    pe = pefile.PE(exe)
    problems = []
    strings = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    for key, value in strings.items():
        print(f"{key}: {value}")
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16)
    print("FILEVERSION: " + ".".join(map(str, numbers)))
    if strings.get("FileVersion") != version or ".".join(map(str, numbers)) != version:
        problems.append(f"the version is not {version}")
    manifest = ""
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            data = entry.directory.entries[0].directory.entries[0].data.struct
            manifest = pe.get_data(data.OffsetToData, data.Size).decode()
    for needed in ("<longPathAware", ">true</longPathAware>", ">UTF-8</activeCodePage>",
                   "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"):
        if needed not in manifest:
            problems.append(f"the manifest lacks {needed}")
    print(f"manifest: {manifest.count('supportedOS')} supported OS versions, "
          f"longPathAware {'longPathAware' in manifest}, "
          f"activeCodePage {'UTF-8' if '>UTF-8<' in manifest else 'none'}")
    if problems:
        sys.exit("FAILED: " + "; ".join(problems))


if __name__ == "__main__":
    main(sys.argv)
