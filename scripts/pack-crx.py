#!/usr/bin/env python3
"""Packs a WebExtension folder into a signed CRX3 file.

    pack-crx.py --key KEY.pem --src extension/ --out bin/extension

writes, in the output folder:
  surfdeck.crx   the packed, signed extension
  unpacked/      a copy of the folder (for browsers started with --load-extension)
  extension.ini  [Extension] Id, Version and Crx, read by the program at start-up

The id follows the key: the first 16 bytes of SHA-256 over the public key (DER), each
hex digit written as a letter a to p. The manifest's "key" is set to that public key in
both copies, so an unpacked load gets the same id as the package. Tests and Node files
kept beside the extension's code (test/, tests/, node_modules/, *.test.js, package.json,
dot files) are left out. The RSA-SHA256 signature comes from `openssl`;
everything else is the standard library, the few protobuf fields encoded by hand.
"""

import argparse
import base64
import hashlib
import io
import json
import os
import shutil
import struct
import subprocess
import sys
import zipfile

CRX_MAGIC = b"Cr24"
CRX_VERSION = 3
SIGNATURE_CONTEXT = b"CRX3 SignedData\x00"
# A fixed time for every zip entry, so the same folder always packs to the same bytes.
ZIP_TIME = (2020, 1, 1, 0, 0, 0)


def varint(n):
    out = bytearray()
    while True:
        byte = n & 0x7F
        n >>= 7
        if n:
            out.append(byte | 0x80)
        else:
            out.append(byte)
            return bytes(out)


def field(number, payload):
    """A length-delimited protobuf field (wire type 2)."""
    return varint((number << 3) | 2) + varint(len(payload)) + payload


def public_key_der(key_path):
    return subprocess.run(
        ["openssl", "pkey", "-in", key_path, "-pubout", "-outform", "DER"],
        check=True, capture_output=True).stdout


def sign(key_path, data):
    return subprocess.run(["openssl", "dgst", "-sha256", "-sign", key_path],
                          input=data, check=True, capture_output=True).stdout


def extension_id(der):
    digest = hashlib.sha256(der).digest()[:16]
    return "".join(chr(ord("a") + int(c, 16)) for c in digest.hex())


LEFT_OUT_FOLDERS = {"test", "tests", "node_modules"}


def left_out(name, is_dir):
    if name.startswith("."):
        return True
    if is_dir:
        return name in LEFT_OUT_FOLDERS
    return name == "package.json" or name.endswith((".test.js", ".test.mjs"))


def extension_files(src):
    """(path inside the extension, path on disk) of every file that ships, sorted."""
    found = []
    for root, dirs, files in os.walk(src):
        dirs[:] = sorted(d for d in dirs if not left_out(d, True))
        for name in sorted(files):
            if left_out(name, False):
                continue
            path = os.path.join(root, name)
            found.append((os.path.relpath(path, src).replace(os.sep, "/"), path))
    return found


def read_files(src, public_key_b64):
    contents = []
    for arcname, path in extension_files(src):
        with open(path, "rb") as f:
            data = f.read()
        if arcname == "manifest.json":
            manifest = json.loads(data)
            manifest["key"] = public_key_b64
            data = (json.dumps(manifest, indent=2, ensure_ascii=False) + "\n").encode()
        contents.append((arcname, data))
    return contents


def zip_files(contents):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
        for arcname, data in contents:
            info = zipfile.ZipInfo(arcname, ZIP_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            archive.writestr(info, data)
    return buffer.getvalue()


def crx3(key_path, der, archive):
    crx_id = hashlib.sha256(der).digest()[:16]
    signed_header_data = field(1, crx_id)  # SignedData.crx_id
    message = (SIGNATURE_CONTEXT + struct.pack("<I", len(signed_header_data)) +
               signed_header_data + archive)
    proof = field(1, der) + field(2, sign(key_path, message))  # AsymmetricKeyProof
    header = field(2, proof) + field(10000, signed_header_data)  # CrxFileHeader
    return (CRX_MAGIC + struct.pack("<II", CRX_VERSION, len(header)) + header + archive,
            extension_id(der))


def write_whole(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--key", required=True, help="RSA private key, PEM")
    parser.add_argument("--src", required=True, help="the extension folder")
    parser.add_argument("--out", required=True, help="output folder")
    parser.add_argument("--name", default="surfdeck.crx", help="file name of the package")
    args = parser.parse_args()

    manifest_path = os.path.join(args.src, "manifest.json")
    try:
        with open(manifest_path, encoding="utf-8") as f:
            version = str(json.load(f)["version"])
    except (OSError, ValueError, KeyError) as e:
        sys.exit(f"pack-crx: no usable manifest.json in {args.src}: {e}")

    os.makedirs(args.out, exist_ok=True)
    der = public_key_der(args.key)
    contents = read_files(args.src, base64.b64encode(der).decode())
    data, ext_id = crx3(args.key, der, zip_files(contents))
    write_whole(os.path.join(args.out, args.name), data)

    unpacked = os.path.join(args.out, "unpacked")
    shutil.rmtree(unpacked, ignore_errors=True)
    for arcname, data in contents:
        path = os.path.join(unpacked, *arcname.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    write_whole(os.path.join(args.out, "extension.ini"),
                f"[Extension]\nId={ext_id}\nVersion={version}\nCrx={args.name}\n".encode())
    print(f"pack-crx: {args.name} {version} id {ext_id}")


if __name__ == "__main__":
    main()
