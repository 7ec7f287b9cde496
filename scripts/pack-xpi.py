#!/usr/bin/env python3
"""Zips the unpacked extension into an unsigned .xpi for Firefox ESR, whose policies can
install it from a file. The entries are in a fixed order with a fixed time, so the same
sources give the same file.

    pack-xpi.py --src BUILD/bin/extension/unpacked --out BUILD/bin/extension/surfdeck.xpi
"""

import argparse
import os
import zipfile


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--src", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if not os.path.isfile(os.path.join(args.src, "manifest.json")):
        parser.error(f"no manifest.json in {args.src}")
    names = []
    for folder, dirs, files in os.walk(args.src):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            names.append((os.path.relpath(path, args.src).replace(os.sep, "/"), path))
    partial = args.out + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as archive:
        for arcname, path in names:
            info = zipfile.ZipInfo(arcname, date_time=(2020, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            with open(path, "rb") as f:
                archive.writestr(info, f.read())
    os.replace(partial, args.out)


if __name__ == "__main__":
    main()
