"""The tour with Firefox ESR as the user's browser, on the extension route: Surfdeck starts
first in a scratch home where Firefox has been used before (~/.mozilla), and writes its
host manifest there; Firefox then starts on a scratch profile that loads the extension
from the program folder. Two tabs, "Save text to file" on a selection, a search, Back,
the Window menu, and a related-sites lookup after which no browser process runs beyond
the user's own."""

import json
import os

from desktop import TourFailure, wait_for
from firefox import GECKO_ID, Firefox, descendants
from tour import HOST_NAME, Tour
from tour_steps import SEARCH_WORDS

# Executables of the browsers Surfdeck could start for a lookup, and Firefox's own.
BROWSER_NAMES = ("firefox", "firefox-esr", "firefox-bin", "chromium", "chrome",
                 "chrome_crashpad_handler", "chromium-browser", "google-chrome")


class FirefoxTour(Tour):
    # The extensions' entries close Firefox's page menu.
    MENU_KEYS = ("Up", "Return")

    def __init__(self, bin_dir, out_dir, work_dir):
        super().__init__(bin_dir, out_dir, work_dir, "extension")

    def steps(self):
        return [
            ("start", "Surfdeck starts in a home where Firefox was used and writes its host "
             "manifest; Firefox, started after it on a scratch profile with the extension, "
             "shows two local pages and connects", self.start),
            ("second-tab", "The second tab is brought to the front (Alt+2 in the browser)",
             self.second_tab),
            ("saved-text", "A paragraph selected with a click and a shift-click, and \"Save "
             "text to file\" from the page's menu: a new file in Fragments holds its exact "
             "text", self.save_text),
            ("web-panel", "The web button opens the web search panel", self.web_panel),
            ("search", f"Words typed ({SEARCH_WORDS!r}) and Search pressed: the front tab "
             "opens the search address", self.search),
            ("web-closed", "The web search panel's close button saves its place and recent "
             "list", self.close_web),
            ("back", "The back button takes the front tab back to its page", self.back),
            ("window-menu", "The window button lists both tabs", self.window_menu),
            ("first-tab", "Choosing the first tab's entry brings that tab forward",
             self.first_tab),
            ("related-panel", "The related button looks up the front tab's site through "
             "Firefox itself: afterwards no browser process runs beyond the user's own",
             self.related_lookup),
            ("related-debug", "Debug ticked and Update pressed: the list from g1.htm, whose "
             "text Firefox parses; still no other browser process", self.related_debug_lookup),
            ("related-closed", "The related-sites panel's close button saves its place",
             self.close_related),
            ("snapped", "The main window dragged by its title snaps to the left edge",
             self.drag_to_edge),
            ("closed", "The main window's close button ends Surfdeck; conf.ini holds the "
             "positions and the recent list", self.close_main),
        ]

    # --- the start -------------------------------------------------------------------------

    def start(self):
        self.start_display()
        home = self.display.env["HOME"]
        # The user has run Firefox before: its folder is where Surfdeck looks.
        os.makedirs(os.path.join(home, ".mozilla"))
        self.start_program()
        manifest = os.path.join(home, ".mozilla", "native-messaging-hosts", HOST_NAME + ".json")
        wait_for("Firefox's host manifest", lambda: os.path.isfile(manifest), timeout=10)
        with open(manifest) as f:
            written = json.load(f)
        if written.get("allowed_extensions") != [GECKO_ID]:
            raise TourFailure(f"the host manifest allows {written.get('allowed_extensions')}")
        print(f"    host manifest {manifest} for {GECKO_ID}", flush=True)
        mark = len(self.app.log())
        self.start_browser()
        wait_for("\"Browser connected\" in log.txt",
                 lambda: any(line.startswith("Browser connected: firefox")
                             for line in self.app.log()[mark:]), timeout=60)

    def start_browser(self, profile=None, pinned=None):
        profile = os.path.join(self.work_dir, "firefox-profile")
        extension = os.path.join(self.app.folder, "extension", "unpacked")
        self.browser = Firefox(self.procs, self.display, profile, self.web.host, extension)
        self.load_both_pages(self.browser.start)

    # --- what differs from Chromium ----------------------------------------------------------

    def front_is(self, key):
        front = self.browser.front()
        window = self.browser.window()
        return (front is not None and front["id"] == self.tabs[key] and window is not None
                and window.name == self.browser.window_title(front))

    def second_tab(self):
        def press():
            self.display.activate(self.browser.window())
            self.display.key("alt+2")
        self.retry("the second tab in front", press, lambda: self.front_is("two"))

    def back(self):
        expected = self.web.url("/two.html")

        def arrived():
            page = self.browser.page(self.tabs["two"])
            return page and page["url"] == expected

        self.press_button("back", arrived, "the front tab back at its page")
        wait_for("the page in front", lambda: self.front_is("two"), timeout=10)
        print(f"    front tab: {expected}", flush=True)

    def first_tab(self):
        # Both entries are captioned with addresses of the same length: the first tab's
        # entry is the upper one.
        def choose():
            if not self.display.screen.menus("surfdeck"):
                self.window_menu()
            top, bottom, left, right = min(self.menu_lines, key=lambda b: b[0])
            self.display.click(left + 20, (top + bottom) // 2)

        self.retry("the first tab in front", choose, lambda: self.front_is("one"), timeout=8)
        wait_for("the menu closed", lambda: not self.display.screen.menus("surfdeck"), timeout=5)

    # --- the lookup without a second browser ---------------------------------------------

    def stray_browsers(self):
        """Browser processes of this tour's session (its scratch home) that are not the
        user's Firefox or its own helpers, and anything Surfdeck itself started."""
        home = ("HOME=" + self.display.env["HOME"]).encode()
        users = self.browser.processes()
        stray = descendants(self.app.proc.pid) - {self.app.proc.pid}
        for entry in filter(str.isdigit, os.listdir("/proc")):
            pid = int(entry)
            try:
                name = os.path.basename(os.readlink(f"/proc/{pid}/exe"))
                with open(f"/proc/{pid}/environ", "rb") as f:
                    env = f.read().split(b"\0")
            except OSError:
                continue
            if name in BROWSER_NAMES and home in env and pid not in users:
                stray.add(pid)
        return stray

    def related_lookup(self):
        before = self.stray_browsers()
        if before:
            raise TourFailure(f"browser processes besides the user's before the lookup: {before}")
        users = len(self.browser.processes())
        self.related_panel()
        after = self.stray_browsers()
        if after:
            raise TourFailure(f"the lookup left browser processes besides the user's: {after}")
        print(f"    processes: the user's Firefox with its {users - 1} helpers before, "
              f"{len(self.browser.processes()) - 1} after; none besides", flush=True)

    def related_debug_lookup(self):
        self.related_debug()
        after = self.stray_browsers()
        if after:
            raise TourFailure(f"the lookup left browser processes besides the user's: {after}")

    def finish(self):
        if self.browser:
            self.browser.close()
        super().finish()

