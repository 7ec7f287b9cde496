#!/usr/bin/env python3
"""The tour: Surfdeck, the real program, driven with real input on a display of its own.

Xvfb with openbox, Chromium with two tabs on local pages, Surfdeck in a fresh program
folder. Every step acts through the pointer and the keyboard (xdotool) and is checked
three ways where it can be: the program's own files (conf.ini, log.txt, Fragments), the
browser's own state (its DevTools list of tabs, read by this script only) and the screen
(window geometry, a picture saved for the step). Everything started here is ended here,
also when a step fails.

On the extension route (the default) Surfdeck starts first, in a scratch home, and writes
the browser's pairing files; Chromium then starts on that home's own profile and installs
the extension from them, as a user's browser does. On the DevTools route Chromium starts
first with its endpoint, and Surfdeck is pointed at it.

    tour.py --bin BUILD/bin [--route extension|devtools] [--browser chromium|firefox]
            [--out DIR] [--keep]

With --browser firefox (tour_firefox.py) the user's browser is Firefox ESR.

Exit status: 0 when every step passed, 1 when one failed, 77 when a tool it needs is
missing (xvfb, openbox, xdotool, imagemagick, the browser).
"""

import argparse
import json
import os
import shutil
import signal
import sys
import tempfile
import time
import traceback

# The source tree stays as it was checked out.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from browser import Chromium, Web, chromium_executable  # noqa: E402
from desktop import Display, Processes, TourFailure, missing_tools, wait_for  # noqa: E402
from program import Surfdeck, connected_to, make_program_folder, px, read_ini  # noqa: E402
from tour_steps import (AWAY, MAIN_LEFT, MAIN_TOP, PANEL_LEFT, PANEL_TOP,  # noqa: E402
                        SEARCH_WORDS, TourSteps, search_address)

HERE = os.path.dirname(os.path.abspath(__file__))
SKIP = 77
__all__ = ["Tour", "AWAY", "px", "search_address"]  # what the performance script uses
HOST_NAME = "org.surfdeck.bridge"
# The paragraph of two.html that is saved: its text as the page's selection gives it.
FRAGMENT = "A fragment worth keeping,\non two lines."
FRAGMENT_COLOUR = (0xFD, 0xE8, 0xB0)


class Tour(TourSteps):
    # From the bottom of the page's menu to the extension's entry: the developer's
    # "Inspect" closes the menu, the extensions' entries stand right above it.
    MENU_KEYS = ("Up", "Up", "Return")

    def __init__(self, bin_dir, out_dir, work_dir, route):
        super().__init__(bin_dir, out_dir, work_dir)
        self.route = route
        self.extension_id = None
        self.launched = None  # the Surfdeck that the extension's button started

    def steps(self):
        """The tour's steps in order: (name, what it shows, action)."""
        first = ("Chromium shows two local pages; Surfdeck starts, connects to it and "
                 "shows its main window, rolled up")
        if self.route == "extension":
            first = ("Surfdeck starts in a fresh home and writes the browser's pairing files; "
                     "Chromium, started after it on that home's profile, installs the "
                     "extension, shows two local pages and connects")
        steps = [("start", first, self.start),
                 ("second-tab", "The second tab is brought to the front (Ctrl+2 in the browser)",
                  self.second_tab)]
        if self.route == "extension":
            steps.append(("saved-text", "A paragraph selected with a click and a shift-click, and \"Save "
                          "text to file\" from the page's menu: a new file in Fragments holds "
                          "its exact text", self.save_text))
        steps += [
            ("unrolled", "The pointer on the title band unrolls the main window", self.unrolled),
            ("rolled-up", "The pointer away from it rolls it up again after RollUpDelay",
             self.rolled_up),
            ("web-panel", "The web button opens the web search panel", self.web_panel),
            ("search", f"Words typed ({SEARCH_WORDS!r}) and Search pressed: the front tab "
             "opens the search address", self.search),
            ("web-closed", "The web search panel's close button saves its place and recent "
             "list", self.close_web),
            ("window-menu", "The window button lists both tabs", self.window_menu),
            ("first-tab", "Choosing the first tab's entry brings that tab forward",
             self.first_tab),
            ("related-panel", "The related button opens the related-sites panel and looks up "
             "the front tab's site", self.related_panel),
            ("related-debug", "Debug ticked and Update pressed: the list from g1.htm",
             self.related_debug),
            ("related-click", "A click on a link of the list opens it in the front tab",
             self.related_click),
            ("related-closed", "The related-sites panel's close button saves its place",
             self.close_related),
            ("snapped", "The main window dragged by its title snaps to the left edge",
             self.drag_to_edge),
            ("closed", "The main window's close button ends Surfdeck; conf.ini holds the "
             "positions and the recent list", self.close_main),
        ]
        if self.route == "extension":
            steps.append(("button-start", "With Surfdeck closed, the extension's toolbar button "
                          "and \"Surfdeck\" in its pop-up start it again, and the browser "
                          "connects", self.button_start))
        return steps

    def run(self, until=None):
        """Runs the steps in order, up to and including the one named `until`."""
        for name, text, action in self.steps():
            self.step(name, text, action)
            if name == until:
                break

    # --- the start on either route ---------------------------------------------------------

    def start_display(self):
        if self.display is None:
            self.display = Display(self.procs, self.work_dir).start()
            self.display.move(*AWAY)
            self.web = Web(os.path.join(HERE, "pages")).start()

    def start(self):
        self.start_display()
        if self.route == "devtools":
            self.start_browser()
            self.start_program()
            return
        # The user has run Chromium before; its folder is where Surfdeck looks.
        profile = os.path.join(self.display.env["XDG_CONFIG_HOME"], "chromium")
        os.makedirs(profile)
        self.start_program()
        self.check_pairing_files(profile)
        mark = len(self.app.log())
        self.start_browser(profile, pinned=self.extension_id)
        wait_for("\"Browser connected\" in log.txt",
                 lambda: any(line.startswith("Browser connected")
                                 for line in self.app.log()[mark:]), timeout=60)

    def start_browser(self, profile=None, pinned=None):
        profile = profile or os.path.join(self.work_dir, "profile")
        self.start_display()
        if pinned:
            # The user pinned the extension's button beside the address bar; nothing else
            # of the profile is set beforehand.
            os.makedirs(os.path.join(profile, "Default"), exist_ok=True)
            with open(os.path.join(profile, "Default", "Preferences"), "w") as f:
                json.dump({"extensions": {"pinned_extensions": [pinned]}}, f)
        self.browser = Chromium(self.procs, self.display, profile, self.web.host)
        self.load_both_pages(
            lambda urls: self.browser.start(urls, extensions=self.route == "extension"))

    def load_both_pages(self, start):
        """start(urls) starts the browser on pages one and two; then waits until both show
        and the browser's window is up."""
        one, two = self.web.url("/one.html"), self.web.url("/two.html")
        start([one, two])

        def both_loaded():
            pages = {p["url"]: p for p in self.browser.pages()}
            if one in pages and two in pages and pages[two]["title"] == "Page two":
                return pages
            return None

        pages = wait_for("both pages loaded", both_loaded, timeout=30)
        self.tabs = {"one": pages[one]["id"], "two": pages[two]["id"]}
        wait_for("the browser's window", self.browser.window, timeout=20)

    def check_pairing_files(self, profile):
        package = read_ini(os.path.join(self.app.folder, "extension", "extension.ini"))
        self.extension_id = package["extension"]["id"]
        host = os.path.join(profile, "NativeMessagingHosts", HOST_NAME + ".json")
        entry = os.path.join(profile, "External Extensions", self.extension_id + ".json")
        wait_for("the browser's pairing files",
                 lambda: os.path.isfile(host) and os.path.isfile(entry), timeout=10)
        print(f"    pairing files for the extension {self.extension_id} in {profile}", flush=True)

    def settings(self):
        """conf.ini of a fresh program folder: places away from the screen's edges, a short
        roll-up delay, the search service on our own loopback port; on the DevTools route
        the browser's endpoint, on the extension route nothing: it is the default."""
        settings = {
            "MainWindow": {"Top": MAIN_TOP, "Left": MAIN_LEFT},
            "General": {"RollUpDelay": 1},
            "WebSearchWindow": {"Top": PANEL_TOP, "Left": PANEL_LEFT},
            "RelatedSearchWindow": {"Top": PANEL_TOP, "Left": PANEL_LEFT},
            "Search": {"WebHost": self.web.host},
        }
        if self.route == "devtools":
            settings["Browser"] = {"Connect": "devtools", "DevTools": self.browser.endpoint,
                                   "Profile": self.browser.profile, "StartBrowser": 0}
        return settings

    def start_program(self):
        folder = os.path.join(self.work_dir, "program")
        make_program_folder(self.bin_dir, folder, self.settings())
        self.app = Surfdeck(self.procs, self.display, folder)
        self.app.start()
        w = self.main()
        if (w.x, w.y) != (px(MAIN_LEFT), px(MAIN_TOP)):
            raise TourFailure(f"main window at {w.x},{w.y}, not at its stored place "
                              f"{px(MAIN_LEFT)},{px(MAIN_TOP)}")
        wait_for("the main window rolled up", lambda: Surfdeck.rolled(self.app.main()),
                 timeout=10)
        if not os.path.isfile(os.path.join(folder, "registry.reg")):
            raise TourFailure("registry.reg was not written at start")
        if self.route == "devtools":
            wait_for("Surfdeck's connection to the browser",
                     lambda: connected_to(self.app.proc.pid, self.browser.port), timeout=20)

    # --- the steps of the extension route ------------------------------------------------

    def fragments(self):
        folder = os.path.join(self.app.folder, "Fragments")
        return set(os.listdir(folder)) if os.path.isdir(folder) else set()

    def fragment_points(self):
        """Points before the first line of two.html's coloured paragraph and after its
        second, found on the screen by the paragraph's colour."""
        w = self.browser.window()
        if w is None:
            return None
        column = self.display.screen.pixels(w.x + 6, w.y, 1, w.height)
        for y, (pixel,) in enumerate(column):
            if all(abs(a - b) <= 6 for a, b in zip(pixel, FRAGMENT_COLOUR)):
                # Padding 8 pixels, lines 56 high; the paragraph is 688 wide.
                top = w.y + y + 8
                return (w.x + 12, top + 28), (w.x + 680, top + 56 + 28)
        return None

    def new_windows(self, known, min_height, max_height):
        return [w for w in self.display.screen.windows()
                if w.viewable and w.xid not in known and min_height <= w.height <= max_height
                and w.width >= 100]

    def save_text(self):
        before = self.fragments()
        start, end = wait_for("the paragraph on the screen", self.fragment_points, timeout=10)
        known = {w.xid for w in self.display.screen.windows()}

        def open_menu():
            # From the first line's start to the second line's end: the line break between
            # them is part of the selection.
            self.display.key("Escape")
            self.display.click(*start)
            self.display.move(*end)
            self.display.xdotool("keydown", "shift", "click", 1, "keyup", "shift")
            self.display.click(end[0] - 200, end[1], button=3)

        menu = self.retry("the page's context menu", open_menu,
                          lambda: self.new_windows(known, 100, 600), timeout=5)[0]
        self.picture("saved-text-menu")
        self.display.key(*self.MENU_KEYS)

        def saved():
            new = self.fragments() - before
            return new or None

        new = wait_for("a new file in Fragments", saved, timeout=10)
        if len(new) != 1:
            raise TourFailure(f"{len(new)} new files in Fragments: {sorted(new)}")
        name = new.pop()
        path = os.path.join(self.app.folder, "Fragments", name)
        with open(path, "rb") as f:
            text = f.read().decode("utf-8")
        if text != FRAGMENT:
            raise TourFailure(f"Fragments/{name} holds {text!r}, not {FRAGMENT!r}")
        print(f"    Fragments/{name}: {text!r} (menu {menu.width}x{menu.height})", flush=True)

    def button_point(self):
        """The extension's pinned button: the leftmost strongly blue pixels right of the
        address bar's middle, in the toolbar's row."""
        w = self.browser.window()
        left = w.x + w.width // 2
        rows = self.display.screen.pixels(left, w.y + 44, w.width // 2, 40)
        hits = [(x, y) for y, row in enumerate(rows) for x, (r, g, b) in enumerate(row)
                if b >= 150 and r <= 80 and g <= 140]
        if len(hits) < 10:
            return None
        x = min(h[0] for h in hits)
        ys = [h[1] for h in hits if h[0] <= x + 12]
        return left + x + 6, w.y + 44 + (min(ys) + max(ys)) // 2

    def surfdeck_pids(self):
        program = os.path.join(self.app.folder, "surfdeck")
        found = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink(f"/proc/{pid}/exe") == program:
                    found.append(int(pid))
            except OSError:
                pass
        return found

    def button_start(self):
        if self.surfdeck_pids():
            raise TourFailure("Surfdeck still runs before the button is pressed")
        mark = len(self.app.log())
        self.display.activate(self.browser.window())
        point = wait_for("the extension's button", self.button_point, timeout=10)

        def entry():
            """The pop-up's "Surfdeck" entry, below the button: its icon's blue."""
            w = self.browser.window()
            left, top = max(w.x, point[0] - 320), w.y + 86
            rows = self.display.screen.pixels(left, top, point[0] + 60 - left, 34)
            hits = [(x, y) for y, row in enumerate(rows) for x, (r, g, b) in enumerate(row)
                    if b >= 150 and r <= 80 and g <= 140]
            if len(hits) < 10:
                return None
            ys = [y for _, y in hits]
            return left + min(x for x, _ in hits) + 40, top + (min(ys) + max(ys)) // 2

        def press():
            self.display.key("Escape")
            self.display.click(*point)

        target = self.retry("the extension's pop-up", press, entry, timeout=5)
        self.picture("button-start-popup")
        self.display.click(*target)
        pids = wait_for("Surfdeck started by the bridge", self.surfdeck_pids, timeout=20)
        self.launched = pids[0]
        # Not our child: its window is looked for on the screen, not through its process.
        main = wait_for("Surfdeck's main window",
                        lambda: self.display.screen.find_one("Surfdeck"), timeout=30)
        wait_for("\"Browser connected\" in log.txt",
                 lambda: any(line.startswith("Browser connected")
                                 for line in self.app.log()[mark:]),
                 timeout=20)
        print(f"    Surfdeck started (pid {self.launched}) and the browser connected", flush=True)
        self.picture("button-start-running")
        self.display.click(*Surfdeck.close_point(main))
        wait_for("the started Surfdeck closed", lambda: not self.surfdeck_pids(), timeout=15)

    def finish(self):
        # The Surfdeck the bridge started is no child of ours: ended by its own id.
        if self.launched and self.launched in self.surfdeck_pids():
            os.kill(self.launched, signal.SIGTERM)
        super().finish()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True, help="the built program folder (build/*/bin)")
    parser.add_argument("--out", default="out/tour", help="where the pictures go")
    parser.add_argument("--route", choices=("extension", "devtools"), default="extension",
                        help="how Surfdeck reaches the browser")
    parser.add_argument("--browser", choices=("chromium", "firefox"), default="chromium",
                        help="the user's browser (Firefox only on the extension route)")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    parser.add_argument("--deadline", type=int, default=240,
                        help="seconds the whole tour may take")
    args = parser.parse_args()

    missing = missing_tools(["Xvfb", "openbox", "xdotool", "import"])
    if args.browser == "firefox":
        from firefox import firefox_executable
        if not firefox_executable():
            missing.append("firefox-esr")
    elif not chromium_executable():
        missing.append("chromium")
    if missing:
        print("tour skipped, missing: " + ", ".join(missing))
        return SKIP

    out_dir = os.path.abspath(args.out)
    if os.path.isdir(out_dir):
        shutil.rmtree(out_dir)
    os.makedirs(os.path.join(out_dir, "logs"))
    work_dir = tempfile.mkdtemp(prefix="surfdeck-tour-")

    def give_up(signum, frame):
        raise TourFailure(f"stopped by signal {signum}" if signum != signal.SIGALRM
                          else f"the tour took longer than {args.deadline} s")

    signal.signal(signal.SIGTERM, give_up)
    signal.signal(signal.SIGINT, give_up)
    signal.signal(signal.SIGALRM, give_up)
    signal.alarm(args.deadline)

    if args.browser == "firefox":
        from tour_firefox import FirefoxTour
        tour = FirefoxTour(os.path.abspath(args.bin), out_dir, work_dir)
    else:
        tour = Tour(os.path.abspath(args.bin), out_dir, work_dir, args.route)
    status = 0
    try:
        tour.run()
        print(f"Tour passed in {time.monotonic() - tour.started:.1f} s; pictures in {out_dir}")
    except TourFailure as e:
        print(f"Tour FAILED: {e}", file=sys.stderr)
        status = 1
    except Exception:
        traceback.print_exc()
        status = 1
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        tour.finish()
        if status != 0 and tour.app:
            for line in tour.app.log()[-15:]:
                print("    log.txt: " + line, file=sys.stderr)
        if args.keep:
            print(f"Scratch folder kept: {work_dir}")
        else:
            shutil.rmtree(work_dir, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
