#!/usr/bin/env python3
"""The extension packer: the package is a CRX3 file a browser takes, signed with the key
it was given, and the id written beside it follows that key.

For the repository's key and for a fresh one, packs the test extension and reads the
package back: the magic and version, the header's one RSA proof and its signed data
(crx_id = the first 16 bytes of SHA-256 over the public key), the signature checked with
openssl over exactly the bytes a browser checks, and the zip holding the extension with
the manifest's "key" set to the same public key. Node and test files stay out.

Exit status: 0 passed, 1 failed, 77 when openssl is missing.
"""

import base64
import hashlib
import io
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
PACKER = os.path.join(SOURCE, "scripts", "pack-crx.py")
FIXTURE = os.path.join(SOURCE, "tests", "e2e", "extension-fixture")


class Failure(Exception):
    pass


def fields(data):
    """(number, payload) of each length-delimited protobuf field."""
    out, i = [], 0
    while i < len(data):
        key, i = varint(data, i)
        if key & 7 != 2:
            raise Failure(f"unexpected wire type {key & 7}")
        length, i = varint(data, i)
        out.append((key >> 3, data[i:i + length]))
        i += length
    if i != len(data):
        raise Failure("a field runs past its message")
    return out


def varint(data, i):
    shift = value = 0
    while True:
        byte = data[i]
        i += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if not byte & 0x80:
            return value, i


def check(key, work, expected_id=None):
    src = os.path.join(work, "src")
    shutil.copytree(FIXTURE, src)
    os.makedirs(os.path.join(src, "tests"))
    for name in ("tests/history.test.js", "package.json", ".eslintrc"):
        with open(os.path.join(src, name), "w") as f:
            f.write("{}")
    out = os.path.join(work, "out")
    subprocess.run([sys.executable, PACKER, "--key", key, "--src", src, "--out", out],
                   check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(out, "surfdeck.crx"), "rb") as f:
        crx = f.read()
    magic, version, header_len = struct.unpack_from("<4sII", crx)
    if (magic, version) != (b"Cr24", 3):
        raise Failure(f"magic {magic!r} version {version}")
    header = fields(crx[12:12 + header_len])
    archive = crx[12 + header_len:]
    proofs = [p for n, p in header if n == 2]
    signed = [p for n, p in header if n == 10000]
    if len(proofs) != 1 or len(signed) != 1 or len(header) != 2:
        raise Failure(f"header fields {[n for n, _ in header]}")
    proof = dict(fields(proofs[0]))
    der, signature = proof[1], proof[2]
    crx_id = dict(fields(signed[0]))[1]
    if crx_id != hashlib.sha256(der).digest()[:16]:
        raise Failure("crx_id is not the key's hash")
    ext_id = "".join(chr(ord("a") + int(c, 16)) for c in crx_id.hex())
    ini = open(os.path.join(out, "extension.ini")).read()
    if f"Id={ext_id}\n" not in ini or "Version=1.0.3\n" not in ini:
        raise Failure(f"extension.ini holds {ini!r}")
    if expected_id and ext_id != expected_id:
        raise Failure(f"id {ext_id}, not {expected_id}")

    message = b"CRX3 SignedData\x00" + struct.pack("<I", len(signed[0])) + signed[0] + archive
    for name, data in (("pub.der", der), ("sig", signature), ("msg", message)):
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
    verified = subprocess.run(
        ["openssl", "dgst", "-sha256", "-keyform", "DER", "-verify", os.path.join(work, "pub.der"),
         "-signature", os.path.join(work, "sig"), os.path.join(work, "msg")],
        capture_output=True)
    if verified.returncode != 0:
        raise Failure("the signature does not verify: " + verified.stdout.decode())

    names = zipfile.ZipFile(io.BytesIO(archive)).namelist()
    if sorted(names) != ["manifest.json", "worker.js"]:
        raise Failure(f"the package holds {names}")
    for where in (zipfile.ZipFile(io.BytesIO(archive)).read("manifest.json"),
                  open(os.path.join(out, "unpacked", "manifest.json"), "rb").read()):
        if json.loads(where).get("key") != base64.b64encode(der).decode():
            raise Failure("the manifest's key is not the signing key")
    if sorted(os.listdir(os.path.join(out, "unpacked"))) != ["manifest.json", "worker.js"]:
        raise Failure("the unpacked copy holds more than the extension")
    return ext_id


def main():
    if shutil.which("openssl") is None:
        print("skipped, missing: openssl")
        return 77
    work = tempfile.mkdtemp(prefix="surfdeck-crx-")
    try:
        with open(os.path.join(SOURCE, "packaging", "extension-id.txt")) as f:
            repo_id = f.read().strip()
        os.makedirs(os.path.join(work, "a"))
        check(os.path.join(SOURCE, "packaging", "extension-key.pem"), os.path.join(work, "a"),
              repo_id)
        own_key = os.path.join(work, "own.pem")
        subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt",
                        "rsa_keygen_bits:2048", "-out", own_key], check=True, capture_output=True)
        os.makedirs(os.path.join(work, "b"))
        own_id = check(own_key, os.path.join(work, "b"))
        if own_id == repo_id:
            raise Failure("a different key gave the same id")
        print(f"packed and verified: {repo_id} (repository key), {own_id} (a key of its own)")
        return 0
    except Failure as e:
        print(f"FAILED: {e}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
