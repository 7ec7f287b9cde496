#!/usr/bin/env python3
"""Surfdeck ended by the session rather than by its close button: SIGTERM, SIGHUP and
SIGINT run the same shut-down as the close button (the open panel saves its place and
recent lists, then the main window its place), and an X server that goes away (logging
out) still leaves the settings saved, written without touching a window.

    endings.py --bin BIN_DIR [--out DIR]

Exit status: 0 passed, 1 failed, 77 when a tool it needs is missing.
"""

import argparse
import os
import shutil
import signal
import socket
import sys
import tempfile
import time
import traceback

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from desktop import Display, Processes, TourFailure, missing_tools  # noqa: E402
from program import Surfdeck, make_program_folder, px  # noqa: E402

SKIP = 77
WORDS = "logout words"
ENDINGS = ("SIGTERM", "SIGHUP", "SIGINT", "display")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def one_ending(bin_dir, out, work, ending):
    procs = Processes(out)
    display = None
    try:
        display = Display(procs, os.path.join(work, ending)).start()
        folder = os.path.join(work, ending, "program")
        # No browser: the search words still join their list, which is all we look at.
        make_program_folder(bin_dir, folder, {
            "Browser": {"DevTools": f"127.0.0.1:{free_port()}", "StartBrowser": "0"},
            "MainWindow": {"Top": "1500", "Left": "3000", "RollUp": "0"},
        })
        app = Surfdeck(procs, display, folder)
        app.start()
        main = app.wait_window("Surfdeck", timeout=30)
        display.click(*Surfdeck.button_point(main, "web"))
        panel = app.wait_window("Web Search")
        # The words box (Combo15 at 120, 300 twips), then Search (Command3 at 2160, 4200).
        display.click(panel.x + px(120 + 600), panel.y + px(300 + 144))
        display.type(WORDS)
        display.click(panel.x + px(2160 + 546), panel.y + px(4344))
        # With no browser the search shows nowhere: give the click its moment.
        time.sleep(0.5)
        if ending == "display":
            xvfb = next(p for name, p in procs.children if name == "xvfb")
            display.screen.close()
            display.screen = None
            procs.stop(xvfb)
            status = app.wait_exit(timeout=15)
        else:
            os.kill(app.proc.pid, getattr(signal, ending))
            status = app.wait_exit(timeout=15)
            if status != 0:
                raise TourFailure(f"ended by {ending} with status {status}")
        conf = app.conf()
        recent = conf.get("recent", {}).get("recentwebtext")
        web = conf.get("websearchwindow", {})
        place = conf.get("mainwindow", {})
        if recent != WORDS + ";":
            raise TourFailure(f"{ending}: RecentWebText is {recent!r}")
        if "top" not in web or "left" not in web:
            raise TourFailure(f"{ending}: the web panel's place was not saved: {web}")
        # The main window's place is written under the capitalised keys at save.
        if (place.get("top"), place.get("left")) != ("1500", "3000"):
            raise TourFailure(f"{ending}: the main window's place is {place}")
        log = [line for line in app.log() if line]
        if ending == "display" and log != ["Display connection lost"]:
            raise TourFailure(f"display: log.txt holds {log}")
        print(f"{ending}: status {status}, RecentWebText={recent}, WebSearchWindow "
              f"Top={web['top']} Left={web['left']}, log {log}", flush=True)
    finally:
        if display and display.screen:
            display.screen.close()
        procs.stop_all()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--out", default=None)
    args = parser.parse_args()
    missing = missing_tools(["Xvfb", "openbox", "xdotool"])
    if missing:
        print("skipped, missing: " + ", ".join(missing))
        return SKIP
    work = tempfile.mkdtemp(prefix="surfdeck-endings-")
    out = os.path.abspath(args.out) if args.out else os.path.join(work, "logs")
    os.makedirs(out, exist_ok=True)
    try:
        for ending in ENDINGS:
            one_ending(os.path.abspath(args.bin), out, work, ending)
        print("endings: passed")
        return 0
    except TourFailure as e:
        print(f"endings FAILED: {e}", file=sys.stderr)
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
