#!/usr/bin/env python3
"""Surfdeck in the sessions a desktop gives it.

endings: ended by the session rather than by its close button. SIGTERM, SIGHUP and SIGINT
run the same shut-down as the close button (the open panel saves its place and recent
lists, then the main window its place); an X server that goes away (logging out) still
leaves the settings saved, written without touching a window.

lookup: on the DevTools route the related-sites panel's lookup runs in a private headless
browser with a temporary profile. Ended by SIGTERM, Surfdeck removes that profile; ended
by SIGKILL it cannot, and the next Surfdeck removes it when it starts.

wayland: in a Wayland session (a headless weston) where the user chose no Qt platform,
Surfdeck asks for X first (Xwayland, or any X display it can reach) and logs which
platform it got; left with native Wayland, it logs once what cannot work there. A
platform the user chose is left alone.

    session.py endings|lookup|wayland --bin BIN_DIR [--out DIR]

Exit status: 0 passed, 1 failed, 77 when a tool it needs is missing or weston does not
start here.
"""

import argparse
import os
import signal
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from check import Skipped, free_port, run_check, stop_all  # noqa: E402
from desktop import Display, Processes, TourFailure, wait_for  # noqa: E402
from program import Surfdeck, make_program_folder, px  # noqa: E402

WORDS = "logout words"
ENDINGS = ("SIGTERM", "SIGHUP", "SIGINT", "display")
SOCKET = "surfdeck-wayland-test"
NATIVE = ("Native Wayland: windows cannot be placed or kept on top, and the pointer's place "
          "on the screen cannot be read")


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


def wayland(bin_dir, out, work):
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
        stop_all(procs, display)


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
        stop_all(procs, display)


def query_profiles(temp):
    return sorted(n for n in os.listdir(temp) if n.startswith("surfdeck-query-"))


def lookup_in_private_browser(app, display):
    """Opens the related-sites panel and looks up the saved answer page (the debug box),
    which starts the private browser."""
    main = app.wait_window("Surfdeck", timeout=30)
    display.click(*Surfdeck.button_point(main, "related"))
    panel = app.wait_window("Surfdeck - Related links")
    # The debug box right of Update, then Update (toolbar row at 216 twips).
    display.click(panel.x + px(546) + 7, panel.y + px(216 + 180))
    mark = len(app.log())
    display.click(panel.x + px(36) + 10, panel.y + px(216 + 180))
    wait_for("the saved answer page shown", lambda: app.log_has(
        "Start webbrowser1 navigate", "html results load complete", after=mark), timeout=40)


def lookup(bin_dir, out, work):
    procs = Processes(out)
    display = None
    try:
        display = Display(procs, os.path.join(work, "display")).start()
        temp = os.path.join(work, "tmp")
        os.makedirs(temp)
        display.env = dict(display.env, TMPDIR=temp)
        folder = os.path.join(work, "program")
        make_program_folder(bin_dir, folder, {
            "Browser": {"Connect": "devtools", "DevTools": f"127.0.0.1:{free_port()}",
                        "StartBrowser": "0"},
            "MainWindow": {"Top": "1500", "Left": "3000", "RollUp": "0"},
        })
        for ending in ("SIGTERM", "SIGKILL"):
            app = Surfdeck(procs, display, folder)
            app.start()
            lookup_in_private_browser(app, display)
            if len(query_profiles(temp)) != 1:
                raise TourFailure(f"private profiles during the lookup: {query_profiles(temp)}")
            os.kill(app.proc.pid, getattr(signal, ending))
            app.wait_exit(timeout=20)
            left = query_profiles(temp)
            if ending == "SIGTERM" and left:
                raise TourFailure(f"SIGTERM left the private profile behind: {left}")
            if ending == "SIGKILL" and not left:
                raise TourFailure("SIGKILL: the profile went with nobody to remove it?")
            print(f"{ending}: private profiles left {left}", flush=True)
        app = Surfdeck(procs, display, folder)
        app.start()
        app.wait_window("Surfdeck", timeout=30)
        wait_for("the killed Surfdeck's profile removed", lambda: not query_profiles(temp),
                 timeout=10)
        print("the next start removed it", flush=True)
    finally:
        stop_all(procs, display)


def endings(bin_dir, out, work):
    for ending in ENDINGS:
        one_ending(bin_dir, out, work, ending)


PARTS = {"endings": (endings, ["Xvfb", "openbox", "xdotool"]),
         "lookup": (lookup, ["Xvfb", "openbox", "xdotool", "chromium"]),
         "wayland": (wayland, ["weston", "Xvfb", "openbox"])}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("part", choices=sorted(PARTS))
    parser.add_argument("--bin", required=True)
    parser.add_argument("--out", default=None)
    args = parser.parse_args()
    run, tools = PARTS[args.part]
    bin_dir = os.path.abspath(args.bin)
    return run_check(args.part, tools, lambda out, work: run(bin_dir, out, work), args.out)


if __name__ == "__main__":
    sys.exit(main())
