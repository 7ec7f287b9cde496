#!/usr/bin/env python3
"""The Firefox package: the extension's files at the archive's root, the same bytes from the
same sources, and no package at all from a folder without a manifest."""

import os
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
PACK = os.path.join(HERE, "..", "..", "scripts", "pack-xpi.py")


def pack(src, out):
    return subprocess.run([sys.executable, PACK, "--src", src, "--out", out],
                          capture_output=True, text=True)


def main():
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "unpacked")
        os.makedirs(os.path.join(src, "lib"))
        files = {"manifest.json": '{"manifest_version": 3}', "lib/a.js": "export {};",
                 "background.js": "// b"}
        for name, text in files.items():
            with open(os.path.join(src, name), "w") as f:
                f.write(text)
        first, second = os.path.join(tmp, "1.xpi"), os.path.join(tmp, "2.xpi")
        for out in (first, second):
            result = pack(src, out)
            if result.returncode != 0:
                failures.append(f"packing failed: {result.stderr}")
        if not failures:
            with zipfile.ZipFile(first) as z:
                names = z.namelist()
                if sorted(names) != sorted(files):
                    failures.append(f"entries {names}, expected {sorted(files)}")
                for name, text in files.items():
                    if name in names and z.read(name).decode() != text:
                        failures.append(f"{name} changed in the package")
            with open(first, "rb") as a, open(second, "rb") as b:
                if a.read() != b.read():
                    failures.append("the same sources gave different packages")
        os.remove(os.path.join(src, "manifest.json"))
        empty = os.path.join(tmp, "none.xpi")
        if pack(src, empty).returncode == 0 or os.path.exists(empty):
            failures.append("a folder without manifest.json was packed")
    for f in failures:
        print("FAIL: " + f)
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
