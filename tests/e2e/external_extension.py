#!/usr/bin/env python3
"""How a user's Chromium gets the extension: one Surfdeck start writes the browser's
native-messaging host manifest and an External Extensions entry into the user's Chromium
folder, and Chromium, started afterwards as the user starts it (no flags), installs the
packed extension, enabled, and runs its service worker.

Everything happens under a scratch home on a display of its own. Where the build packed
no extension (no extension/ folder yet), the test extension beside this script is packed
with the repository's key instead.

    external_extension.py --bin BUILD_DIR/bin [--out DIR]

Exit status: 0 passed, 1 failed, 77 when a tool it needs is missing.
"""

import argparse
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import traceback

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from desktop import Display, Processes, TourFailure, missing_tools, wait_for  # noqa: E402
from program import Surfdeck, make_program_folder, read_ini  # noqa: E402

SKIP = 77
SOURCE = os.path.dirname(os.path.dirname(HERE))
OTHER_BROWSERS = ("google-chrome", "microsoft-edge", "BraveSoftware", "vivaldi")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def read_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def extension_processes(group):
    """Command lines of the browser's extension processes (its process group)."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.getpgid(int(pid)) != group:
                continue
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                # Processes from the zygote set their title: one string, blanks between.
                args = f.read().replace(b"\0", b" ").split()
        except (OSError, ProcessLookupError):
            continue
        if b"--extension-process" in args:
            found.append(args)
    return found


def run(bin_dir, out, work):
    procs = Processes(out)
    display = None
    try:
        display = Display(procs, work).start()
        config = display.env["XDG_CONFIG_HOME"]
        chromium_dir = os.path.join(config, "chromium")
        os.makedirs(chromium_dir)  # the user has run Chromium before, nothing more

        folder = os.path.join(work, "program")
        # Nothing answers on this endpoint, and on the extension route nothing is started.
        make_program_folder(bin_dir, folder, {"Browser": {"DevTools": f"127.0.0.1:{free_port()}"}})
        package_dir = os.path.join(folder, "extension")
        if not os.path.isfile(os.path.join(package_dir, "extension.ini")):
            subprocess.run([sys.executable, os.path.join(SOURCE, "scripts", "pack-crx.py"),
                            "--key", os.path.join(SOURCE, "packaging", "extension-key.pem"),
                            "--src", os.path.join(HERE, "extension-fixture"),
                            "--out", package_dir], check=True, stdout=subprocess.DEVNULL)
            print("no packed extension in the build: the test extension packed instead")
        package = read_ini(os.path.join(package_dir, "extension.ini"))["extension"]
        ext_id, version = package["id"], package["version"]

        app = Surfdeck(procs, display, folder)
        app.start()
        app.wait_window("Surfdeck", timeout=30)
        host_file = os.path.join(chromium_dir, "NativeMessagingHosts", "org.surfdeck.bridge.json")
        entry_file = os.path.join(chromium_dir, "External Extensions", ext_id + ".json")
        wait_for("the browser's pairing files",
                 lambda: os.path.isfile(host_file) and os.path.isfile(entry_file), timeout=10)
        host = read_json(host_file)
        expected_host = {"name": "org.surfdeck.bridge", "path": os.path.join(folder, "surfdeck-bridge"),
                         "type": "stdio", "allowed_origins": [f"chrome-extension://{ext_id}/"]}
        wrong = {k: host.get(k) for k, v in expected_host.items() if host.get(k) != v}
        if wrong:
            raise TourFailure(f"the host manifest holds {wrong}")
        entry = read_json(entry_file)
        if entry != {"external_crx": os.path.join(package_dir, "surfdeck.crx"),
                     "external_version": version}:
            raise TourFailure(f"the External Extensions entry holds {entry}")
        made = [b for b in OTHER_BROWSERS if os.path.exists(os.path.join(config, b))]
        if made:
            raise TourFailure("folders made for browsers the user does not have: " + ", ".join(made))
        print(f"Surfdeck's start wrote the host manifest and the entry for {ext_id} {version}")
        main = app.main()
        display.click(*Surfdeck.close_point(main))
        app.wait_exit(timeout=10)

        # Chromium as the user starts it. As root it refuses to run with its sandbox.
        argv = ["chromium"] + (["--no-sandbox"] if os.geteuid() == 0 else [])
        browser = procs.start("chromium", argv, env=display.env)
        installed = os.path.join(chromium_dir, "Default", "Extensions", ext_id, f"{version}_0",
                                 "manifest.json")
        wait_for("the extension installed in the profile", lambda: os.path.isfile(installed),
                 timeout=60)
        manifest = read_json(installed)
        if manifest.get("version") != version:
            raise TourFailure(f"installed version {manifest.get('version')}, not {version}")
        if "background" in manifest:
            wait_for("the extension's process", lambda: extension_processes(browser.pid),
                     timeout=30)
            print("the extension is installed and its service worker runs")
        procs.stop(browser, grace=10)
        settings = read_json(os.path.join(chromium_dir, "Default", "Preferences"))
        mine = settings.get("extensions", {}).get("settings", {}).get(ext_id)
        if not mine:
            raise TourFailure("the profile's Preferences do not list the extension")
        if mine.get("disable_reasons") or mine.get("state", 1) == 0:
            raise TourFailure(f"the extension is disabled: {mine.get('disable_reasons')}")
        print("the profile lists it from an external file (location "
              f"{mine.get('location')}), enabled with nothing asked of the user")
    finally:
        if display and display.screen:
            display.screen.close()
        procs.stop_all()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--out", default=None)
    args = parser.parse_args()
    missing = missing_tools(["Xvfb", "openbox", "xdotool", "chromium", "openssl"])
    if missing:
        print("skipped, missing: " + ", ".join(missing))
        return SKIP
    work = tempfile.mkdtemp(prefix="surfdeck-extension-")
    out = os.path.abspath(args.out) if args.out else os.path.join(work, "logs")
    os.makedirs(out, exist_ok=True)
    try:
        run(os.path.abspath(args.bin), out, work)
        print("external extension: passed")
        return 0
    except TourFailure as e:
        print(f"external extension FAILED: {e}", file=sys.stderr)
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
