"""The tour's frame and the steps it takes on either route: a step with its picture and
report, retries for input a loaded display may drop, and the steps that drive Surfdeck's
own windows once it tracks the browser."""

import os
import re
import shutil
import time

from desktop import TWIPS_PER_PIXEL, Processes, TourFailure, wait_for
from program import Surfdeck, px

# Where the windows start, in twips: the main window away from the screen's edges, the
# panels beside it.
MAIN_LEFT, MAIN_TOP = 3000, 1800
PANEL_LEFT, PANEL_TOP = 7500, 1800
SEARCH_WORDS = "surfdeck tour"
# The pointer's resting place: over the browser's page, away from our windows.
AWAY = (900, 600)

def search_address(host, words):
    query = (f"as_q={words.replace(' ', '+')}&num=10&hl=en&ie=ISO-8859-1&oe=ISO-8859-1"
             "&btnG=Google+Search&as_epq=&as_oq=&as_eq=&lr=&as_ft=i&as_filetype=&as_qdr=all"
             "&as_occt=any&as_dt=i&as_sitesearch=&safe=off")
    return f"http://{host}/search?{query}"


def related_links(g1_path):
    """The addresses the related-sites list shows for the saved answer page: every
    "<p><a" link after the first."""
    with open(g1_path, "rb") as f:
        text = f.read().decode("latin-1")
    blocks = re.split(r"(?i)<p><a", text)[2:]
    links = []
    for block in blocks:
        m = re.match(r'\s*href\s*=\s*"?([^">\s]+)', block, re.I)
        if m:
            links.append(m.group(1))
    return links


class TourSteps:
    def __init__(self, bin_dir, out_dir, work_dir):
        self.bin_dir = bin_dir
        self.out_dir = out_dir
        self.work_dir = work_dir
        self.procs = Processes(os.path.join(out_dir, "logs"))
        self.display = None
        self.web = None
        self.browser = None
        self.app = None
        self.tabs = {}
        self.number = 0
        self.started = time.monotonic()

    # --- the frame of a step -----------------------------------------------------------

    def picture(self, name):
        path = os.path.join(self.out_dir, f"{self.number:02d}-{name}.png")
        self.display.screenshot(path)
        return path

    def report(self, name, text):
        picture = self.picture(name)
        elapsed = time.monotonic() - self.started
        line = f"{self.number:2d}. {text}\n    ok ({elapsed:5.1f} s)  picture: {picture}"
        print(line, flush=True)
        with open(os.path.join(self.out_dir, "steps.txt"), "a") as f:
            f.write(line + "\n")

    def step(self, name, text, action):
        self.number += 1
        try:
            action()
        except Exception:
            if self.display and self.display.screen:
                try:
                    picture = self.picture(name + "-failed")
                    print(f"{self.number:2d}. {text}\n    FAILED  picture: {picture}", flush=True)
                except Exception:
                    pass
            raise
        self.report(name, text)

    def retry(self, what, action, condition, timeout=10):
        """Acts, and acts once more when the effect has not shown by the deadline."""
        action()
        try:
            return wait_for(what, condition, timeout=timeout)
        except TourFailure:
            print(f"    (no {what} yet: trying once more)", flush=True)
            action()
            return wait_for(what, condition, timeout=timeout)

    # --- helpers on the program and the browser ----------------------------------------

    def main(self):
        return self.app.wait_window("Surfdeck")

    def front_is(self, key):
        tab = self.tabs[key]
        front = self.browser.front()
        window = self.browser.window()
        page = self.browser.page(tab)
        return (front is not None and front["id"] == tab and window is not None
                and page is not None and window.name == page["title"] + " - Chromium")

    def unroll(self):
        """Puts the pointer on the main window's title and waits for its full height."""
        def over():
            w = self.app.main()
            self.display.move(*Surfdeck.title_point(w))

        def full():
            w = self.app.main()
            return w if w and not Surfdeck.rolled(w) else None

        return self.retry("the main window unrolled", over, full, timeout=5)

    def press_button(self, key, effect, what, timeout=10):
        def press():
            w = self.unroll()
            self.display.click(*Surfdeck.button_point(w, key))
        return self.retry(what, press, effect, timeout=timeout)

    # --- the steps -----------------------------------------------------------------------

    def second_tab(self):
        def press():
            self.display.activate(self.browser.window())
            self.display.key("ctrl+2")
        self.retry("the second tab in front", press, lambda: self.front_is("two"))

    def unrolled(self):
        w = self.unroll()
        print(f"    main window {w.width}x{w.height} pixels "
              f"({w.height * TWIPS_PER_PIXEL} twips high)", flush=True)

    def rolled_up(self):
        self.display.move(*AWAY)
        w = wait_for("the main window rolled up",
                     lambda: (lambda m: m if Surfdeck.rolled(m) else None)(self.app.main()),
                     timeout=8)
        print(f"    main window {w.width}x{w.height} pixels", flush=True)

    def web_panel(self):
        panel = self.press_button("web", lambda: self.app.window("Web Search"),
                                  "the web search panel")
        if (panel.x, panel.y) != (px(PANEL_LEFT), px(PANEL_TOP)):
            raise TourFailure(f"web search panel at {panel.x},{panel.y}, not at its stored "
                              f"place")

    def search(self):
        panel = self.app.wait_window("Web Search")
        # The words box (Combo15 at 120, 300 twips), then the Search button (Command3 at
        # 2160, 4200, 1092 wide).
        self.display.click(panel.x + px(120 + 600), panel.y + px(300 + 144))
        self.display.type(SEARCH_WORDS)
        expected = search_address(self.web.host, SEARCH_WORDS)

        def arrived():
            page = self.browser.page(self.tabs["two"])
            return page and page["url"] == expected

        try:
            self.retry("the search address in the front tab",
                       lambda: self.display.click(panel.x + px(2160 + 546), panel.y + px(4344)),
                       arrived, timeout=10)
        except TourFailure:
            page = self.browser.page(self.tabs["two"])
            raise TourFailure(f"front tab shows {page and page['url']!r}, "
                              f"expected {expected!r}")
        wait_for("the search request at the server", lambda: self.web.seen(expected), timeout=10)
        other = self.browser.page(self.tabs["one"])
        if other["url"] != self.web.url("/one.html"):
            raise TourFailure(f"the tab behind moved too: {other['url']}")
        print(f"    front tab: {expected}", flush=True)

    def close_web(self):
        panel = self.app.wait_window("Web Search")
        self.retry("the web search panel closed",
                   lambda: self.display.click(*Surfdeck.close_point(panel)),
                   lambda: self.app.window("Web Search") is None)
        conf = self.app.conf()
        place = conf.get("websearchwindow", {})
        self.expect_place("WebSearchWindow", place, panel)
        recent = conf.get("recent", {}).get("recentwebtext", "")
        if recent.split(";")[0] != SEARCH_WORDS:
            raise TourFailure(f"Recent RecentWebText is {recent!r}")
        print(f"    conf.ini: WebSearchWindow Top={place['top']} Left={place['left']}, "
              f"RecentWebText={recent}", flush=True)

    @staticmethod
    def expect_place(section, values, window):
        for key, shown in (("top", window.y), ("left", window.x)):
            if key not in values:
                raise TourFailure(f"conf.ini has no {section} {key}")
            stored = int(float(values[key]))
            if abs(stored - shown * TWIPS_PER_PIXEL) >= TWIPS_PER_PIXEL:
                raise TourFailure(f"{section} {key}={stored} twips, but the window was at "
                                  f"{shown} pixels")

    def window_menu(self):
        menus = self.press_button("window", lambda: self.app.display.screen.menus("surfdeck"),
                                  "the Window menu")
        menu = menus[0]
        lines = wait_for("two entries in the menu",
                         lambda: (lambda b: b if len(b) == 2 else None)(
                             self.display.screen.text_lines(menu.x, menu.y, menu.width,
                                                            menu.height)),
                         timeout=3)
        self.menu_lines = lines
        print(f"    menu {menu.width}x{menu.height}+{menu.x}+{menu.y} pixels with "
              f"{len(lines)} entries", flush=True)

    def first_tab(self):
        # The entries are captioned with the tabs' addresses: the first tab's
        # (".../one.html") is far shorter than the search address of the second.
        def choose():
            if not self.display.screen.menus("surfdeck"):
                self.window_menu()
            top, bottom, left, right = min(self.menu_lines, key=lambda b: b[3] - b[2])
            self.display.click(left + 20, (top + bottom) // 2)

        self.retry("the first tab in front", choose, lambda: self.front_is("one"), timeout=8)
        wait_for("the menu closed", lambda: not self.display.screen.menus("surfdeck"), timeout=5)

    def related_panel(self):
        self.log_mark = len(self.app.log())
        self.press_button("related", lambda: self.app.window("Surfdeck - Related links"),
                          "the related-sites panel")
        site = self.web.host
        query = f"http://{site}/search?as_rq={site}"
        wait_for("the lookup in log.txt", lambda: self.app.log_has(
            "Start at ", "Form Load", "Prepare Search url", "Start GetActiveIEURL",
            f"GetActiveIEURL={site}", f"Url ready {query}",
            f"Start webbrowser1 navigate {query}", after=self.log_mark), timeout=10)
        wait_for("the query at the server", lambda: self.web.seen(query), timeout=20)
        self.log_mark = wait_for("the answer shown", lambda: self.app.log_has(
            "webbrowser1 document complete", "html results ready, load in webbrowser",
            "html results load complete", after=self.log_mark), timeout=20)
        panel = self.app.wait_window("Surfdeck - Related links")
        if (panel.x, panel.y) != (px(PANEL_LEFT), px(PANEL_TOP)):
            raise TourFailure(f"related-sites panel at {panel.x},{panel.y}, not at its stored "
                              "place")
        print(f"    log.txt: GetActiveIEURL={site}", flush=True)

    def related_debug(self):
        panel = self.app.wait_window("Surfdeck - Related links")
        saved = os.path.join(self.app.folder, "g1.htm")
        # The debug box sits right of the Update button: 546 twips from the left, centred
        # on the toolbar row; its tick box is at its left end.
        self.display.click(panel.x + px(546) + 7, panel.y + px(216 + 180))
        mark = self.log_mark

        def update():
            self.display.click(panel.x + px(36) + 10, panel.y + px(216 + 180))

        self.log_mark = self.retry("the saved answer page shown", update, lambda: self.app.log_has(
            f"Start webbrowser1 navigate {saved}", "webbrowser1 document complete",
            "html results ready, load in webbrowser", "html results load complete",
            after=mark), timeout=15)
        print(f"    log.txt: Start webbrowser1 navigate {saved}", flush=True)

    def link_point(self, panel):
        """The middle of the first line of link-coloured text in the results view
        (WebBrowser2 at 60, 600 twips)."""
        left, top = panel.x + px(60), panel.y + px(600)
        width, height = panel.width - 2 * px(60), panel.height - px(600) - px(400)
        rows = self.display.screen.pixels(left, top, width, height)
        for y, row in enumerate(rows):
            xs = [x for x, (r, g, b) in enumerate(row) if b >= 128 and b - max(r, g) >= 60]
            if len(xs) >= 3:
                # Down a little, into the letters' middle rather than their tops.
                return left + (xs[0] + xs[-1]) // 2, top + y + 3
        return None

    def related_click(self):
        panel = self.app.wait_window("Surfdeck - Related links")
        point = wait_for("a link in the list", lambda: self.link_point(panel), timeout=5)
        links = related_links(os.path.join(self.app.folder, "g1.htm"))

        def opened():
            page = self.browser.page(self.tabs["one"])
            return page and page["url"] in links and page["url"]

        url = self.retry("the link opened in the front tab",
                         lambda: self.display.click(*point), opened, timeout=10)
        wait_for("the link's page at the server", lambda: self.web.seen(url), timeout=10)
        if self.browser.page(self.tabs["two"])["url"] != search_address(self.web.host,
                                                                          SEARCH_WORDS):
            raise TourFailure("the tab behind moved too")
        if not self.app.window("Surfdeck - Related links"):
            raise TourFailure("the related-sites panel went away")
        wait_for("the link's page in front", lambda: self.front_is("one"), timeout=10)
        print(f"    front tab: {url}", flush=True)

    def close_related(self):
        panel = self.app.wait_window("Surfdeck - Related links")
        self.retry("the related-sites panel closed",
                   lambda: self.display.click(*Surfdeck.close_point(panel)),
                   lambda: self.app.window("Surfdeck - Related links") is None)
        place = self.app.conf().get("relatedsearchwindow", {})
        self.expect_place("RelatedSearchWindow", place, panel)
        print(f"    conf.ini: RelatedSearchWindow Top={place['top']} Left={place['left']} "
              f"Width={place.get('width')} Height={place.get('height')}", flush=True)

    def drag_to_edge(self):
        def drag():
            w = self.app.main()
            x, y = Surfdeck.title_point(w)
            self.display.move(x, y)
            self.display.xdotool("mousedown", 1)
            try:
                for nx in range(x - 20, 4, -20):
                    self.display.move(nx, y)
                    time.sleep(0.03)
                self.display.move(4, y)
                wait_for("the main window at the left edge",
                         lambda: self.app.main().x == 0, timeout=3)
                # Held there: a pull of less than 200 twips does not free it.
                self.display.move(4 + 8, y)
                time.sleep(0.3)
            finally:
                self.display.xdotool("mouseup", 1)

        def snapped():
            w = self.app.main()
            return w if w.x == 0 else None

        try:
            drag()
        except TourFailure:
            print("    (not at the edge: dragging once more)", flush=True)
            drag()
        w = wait_for("the main window held at the left edge", snapped, timeout=3)
        self.main_place = w
        print(f"    main window at {w.x},{w.y}", flush=True)

    def close_main(self):
        w = self.app.main()
        self.main_place = w
        self.display.click(*Surfdeck.close_point(w))
        try:
            status = self.app.wait_exit(timeout=8)
        except TourFailure:
            print("    (still running: pressing close once more)", flush=True)
            w = self.app.main()
            self.display.click(*Surfdeck.close_point(w))
            status = self.app.wait_exit(timeout=8)
        if status != 0:
            raise TourFailure(f"Surfdeck ended with status {status}")
        conf = self.app.conf()
        main = conf.get("mainwindow", {})
        self.expect_place("MainWindow", main, w)
        if int(float(main["left"])) != 0:
            raise TourFailure(f"MainWindow Left={main['left']}, expected 0 after the snap")
        for section in ("websearchwindow", "relatedsearchwindow"):
            if "top" not in conf.get(section, {}) or "left" not in conf.get(section, {}):
                raise TourFailure(f"conf.ini lost {section}")
        recent = conf.get("recent", {}).get("recentwebtext", "")
        if recent.split(";")[0] != SEARCH_WORDS:
            raise TourFailure(f"Recent RecentWebText is {recent!r}")
        # The program's private query browser goes with it.
        try:
            wait_for("Surfdeck's own processes to end",
                     lambda: not self.procs.group_alive(self.app.proc), timeout=5)
        except TourFailure:
            print("    note: a process Surfdeck started outlived it", flush=True)
        print(f"    conf.ini: MainWindow Top={main['top']} Left={main['left']}; "
              f"RecentWebText={recent}", flush=True)

    # --- the end ---------------------------------------------------------------------------

    def finish(self):
        if self.app:
            for name in ("conf.ini", "log.txt"):
                source = os.path.join(self.app.folder, name)
                if os.path.isfile(source):
                    shutil.copy2(source, os.path.join(self.out_dir, name))
        if self.display and self.display.screen:
            self.display.screen.close()
        self.procs.stop_all()
        if self.web:
            self.web.stop()

