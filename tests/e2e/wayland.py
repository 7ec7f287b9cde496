#!/usr/bin/env python3
"""Surfdeck in a Wayland session (a headless weston). Where the user chose no Qt platform,
Surfdeck asks for X first (Xwayland, or any X display it can reach) and logs which
platform it got; left with native Wayland, it logs once what cannot work there. A
platform the user chose is left alone.

    wayland.py --bin BIN_DIR [--out DIR]

Exit status: 0 passed, 1 failed, 77 when weston is missing or does not start here.
"""

import argparse
import os
import shutil
import signal
import sys
import tempfile
import time
import traceback

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from desktop import Display, Processes, TourFailure, missing_tools, wait_for  # noqa: E402
from program import Surfdeck, make_program_folder  # noqa: E402

SKIP = 77
SOCKET = "surfdeck-wayland-test"
NATIVE = ("Native Wayland: windows cannot be placed or kept on top, and the pointer's place "
          "on the screen cannot be read")


class Skipped(Exception):
    pass


def start_weston(procs, work):
    runtime = os.path.join(work, "wayland-runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    procs.start("weston", ["weston", "--backend=headless-backend.so", f"--socket={SOCKET}",
                           "--idle-time=0"], env=env)
    socket_path = os.path.join(runtime, SOCKET)
    deadline = time.monotonic() + 15
    while not os.path.exists(socket_path):
        if time.monotonic() > deadline:
            raise Skipped("weston did not start here")
        time.sleep(0.05)
    return runtime


def run_case(procs, bin_dir, folder, env, expected):
    """Starts Surfdeck with env, waits for its log lines, checks them, ends it by SIGTERM."""
    make_program_folder(bin_dir, folder, {"Browser": {"DevTools": "127.0.0.1:9",
                                                      "StartBrowser": "0"}})
    app = Surfdeck(procs, None, folder)
    app.proc = procs.start(os.path.basename(folder), [os.path.join(folder, "surfdeck")],
                           env=env, cwd=folder)
    # registry.reg is written at the end of start-up, after the platform lines.
    wait_for("start-up", lambda: os.path.isfile(os.path.join(folder, "registry.reg")),
             timeout=30)
    time.sleep(1.0)  # a line written more than once would show by now
    app.check_running()
    lines = [line for line in app.log() if line]
    if lines != expected:
        raise TourFailure(f"{os.path.basename(folder)}: log.txt holds {lines}, "
                          f"expected {expected}")
    os.kill(app.proc.pid, signal.SIGTERM)
    status = app.wait_exit(timeout=15)
    if status != 0:
        raise TourFailure(f"{os.path.basename(folder)}: ended with status {status}")
    print(f"{os.path.basename(folder)}: {lines}", flush=True)


def run(bin_dir, out, work):
    procs = Processes(out)
    display = None
    try:
        runtime = start_weston(procs, work)
        wayland = {"XDG_RUNTIME_DIR": runtime, "WAYLAND_DISPLAY": SOCKET}

        # Only Wayland: no X display to fall back to.
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
        run_case(procs, bin_dir, os.path.join(work, "native"), dict(env, **wayland),
                 ["Wayland session, display platform wayland", NATIVE])

        # Wayland with an X server beside it, as Xwayland is: X is taken.
        display = Display(procs, work).start()
        env = dict(display.env, **wayland)
        env.pop("QT_QPA_PLATFORM")
        run_case(procs, bin_dir, os.path.join(work, "xwayland"), env,
                 ["Wayland session, display platform xcb"])

        # The user's own choice stands, and nothing is said about it.
        run_case(procs, bin_dir, os.path.join(work, "chosen"),
                 dict(env, QT_QPA_PLATFORM="xcb"), [])
    finally:
        if display and display.screen:
            display.screen.close()
        procs.stop_all()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--out", default=None)
    args = parser.parse_args()
    missing = missing_tools(["weston", "Xvfb", "openbox"])
    if missing:
        print("skipped, missing: " + ", ".join(missing))
        return SKIP
    work = tempfile.mkdtemp(prefix="surfdeck-wayland-")
    out = os.path.abspath(args.out) if args.out else os.path.join(work, "logs")
    os.makedirs(out, exist_ok=True)
    try:
        run(os.path.abspath(args.bin), out, work)
        print("wayland: passed")
        return 0
    except Skipped as e:
        print(f"skipped: {e}")
        return SKIP
    except TourFailure as e:
        print(f"wayland FAILED: {e}", file=sys.stderr)
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
