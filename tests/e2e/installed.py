#!/usr/bin/env python3
"""The installed program: `cmake --install` lays out the program folder, and the launcher
runs a copy of it that belongs to the user, on a display of its own.

With no browser to reach or start, Surfdeck still starts, tracks nothing and says why in
one log line; its settings land in the user's copy, never in the installed folder.

    installed.py --build BUILD_DIR [--out DIR]

Exit status: 0 passed, 1 failed, 77 when a tool it needs is missing.
"""

import argparse
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from check import free_port, run_check, stop_all  # noqa: E402
from desktop import Display, Processes, TourFailure, wait_for  # noqa: E402
from program import Surfdeck, read_ini, write_ini  # noqa: E402

PROGRAM_FOLDER = [
    "surfdeck", "surfdeck-sim", "c1.h1", "g1.htm", "Fragments/README.txt", "IE/start.ico",
    "ie/saved.ico", "surfdeck.svg", "close.svg", "corner.svg", "tb-web.svg",
]
OTHER_FILES = [
    "bin/surfdeck", "share/applications/surfdeck.desktop",
    "share/icons/hicolor/scalable/apps/surfdeck.svg",
]


def check_layout(prefix):
    missing = [p for p in [f"lib/surfdeck/{f}" for f in PROGRAM_FOLDER] + OTHER_FILES
               if not os.path.isfile(os.path.join(prefix, p))]
    if missing:
        raise TourFailure("not installed: " + ", ".join(missing))
    for p in ("lib/surfdeck/surfdeck", "bin/surfdeck"):
        if not os.access(os.path.join(prefix, p), os.X_OK):
            raise TourFailure(f"{p} is not executable")
    with open(os.path.join(prefix, "share/applications/surfdeck.desktop")) as f:
        entry = f.read()
    for line in ("Exec=surfdeck", "Icon=surfdeck", "Type=Application"):
        if line not in entry.splitlines():
            raise TourFailure(f"the desktop entry lacks {line}")


def run(cmake, build, out, work):
    procs = Processes(out)
    display = None
    try:
        prefix = os.path.join(work, "prefix")
        subprocess.run([cmake, "--install", build, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        check_layout(prefix)
        print("program folder laid out under lib/surfdeck, launcher, desktop entry, icon")

        # The installed folder is read-only, as it is for a user of an installed package.
        installed = os.path.join(prefix, "lib", "surfdeck")
        for root, dirs, files in os.walk(installed):
            for name in dirs + files:
                path = os.path.join(root, name)
                os.chmod(path, os.stat(path).st_mode & 0o555)

        display = Display(procs, work).start()
        data = os.path.join(work, "data")
        own = os.path.join(data, "surfdeck")
        os.makedirs(own)
        write_ini(os.path.join(own, "conf.ini"), {
            "Browser": {"Connect": "devtools", "DevTools": f"127.0.0.1:{free_port()}",
                        "Executable": "/nonexistent/chromium"}})
        env = dict(display.env, XDG_DATA_HOME=data)
        display.env = env
        app = Surfdeck(procs, display, own)
        app.proc = procs.start("surfdeck", [os.path.join(prefix, "bin", "surfdeck")], env=env)
        main = app.wait_window("Surfdeck", timeout=30)
        print(f"main window shown at {main.x},{main.y}")
        if not os.path.isfile(os.path.join(own, "surfdeck")):
            raise TourFailure("the launcher did not make the user's copy")
        wait_for("registry.reg in the user's copy",
                 lambda: os.path.isfile(os.path.join(own, "registry.reg")), timeout=10)
        expected = ["Browser not found: /nonexistent/chromium"]
        wait_for("the log line", lambda: [line for line in app.log() if line] == expected,
                 timeout=10)
        # One line, not one per connection attempt (they come every 3 s).
        time.sleep(3.5)
        lines = [line for line in app.log() if line]
        if lines != expected:
            raise TourFailure(f"log.txt holds {lines}")
        print("no browser: one log line, " + expected[0])

        display.click(*Surfdeck.close_point(main))
        status = app.wait_exit(timeout=10)
        if status != 0:
            raise TourFailure(f"Surfdeck ended with status {status}")
        conf = read_ini(os.path.join(own, "conf.ini"))
        place = conf.get("mainwindow", {})
        if "top" not in place or "left" not in place:
            raise TourFailure("the main window's place was not saved in the user's copy")
        stray = [n for n in ("conf.ini", "log.txt", "registry.reg")
                 if os.path.exists(os.path.join(installed, n))]
        if stray:
            raise TourFailure("written into the installed folder: " + ", ".join(stray))
        print(f"closed; the user's conf.ini holds MainWindow Top={place['top']} "
              f"Left={place['left']}")
    finally:
        stop_all(procs, display)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", default=None)
    parser.add_argument("--cmake", default="cmake", help="the cmake that built BUILD_DIR")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    return run_check("installed program", ["Xvfb", "openbox", "xdotool", "import", args.cmake],
                     lambda out, work: run(args.cmake, build, out, work), args.out)


if __name__ == "__main__":
    sys.exit(main())
