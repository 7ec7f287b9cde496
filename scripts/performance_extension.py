"""The related-sites lookup on either route and the browser without the extension, for
scripts/measure-performance: its Measurement class takes these methods."""

import os
import random
import shutil
import signal
import subprocess
import time

from browser import Chromium
from desktop import TourFailure, wait_for
from program import Surfdeck, make_program_folder, resident_kb
import tour as tour_module

from performance_procs import by_kind, cpu_each, cpu_seconds, descendants, pss_kb


class ExtensionFigures:
    def lookup_times(self, app, label):
        """Update pressed in the related-sites panel, timed until "Related list complete"
        (set as the answer's document completes) and until the list is shown; the answer is
        the local web server's page for the live query."""
        tour, display = self.tour, self.tour.display
        saved, tour.app = tour.app, app
        try:
            mark = len(app.log())
            panel = lambda: app.window("Surfdeck - Related links")  # noqa: E731
            opened_now = panel() is None
            t0 = None
            if opened_now:
                display.move(*Surfdeck.button_point(tour.unroll(), "related"))
                t0 = self.screen.send_click()
                try:
                    wait_for("the related-sites panel", panel, timeout=5)
                except TourFailure:
                    t0 = None  # the click was lost: pressed again, and not timed
            if t0 is None:
                tour.press_button("related", panel, "the related-sites panel")
            done = wait_for("the first answer", lambda: app.log_has(
                "webbrowser1 document complete", after=mark), timeout=60)
            if t0 is not None:
                self.sample(f"lookup first {label}", time.monotonic() - t0)
            wait_for("the first list shown", lambda: app.log_has(
                "html results load complete", after=done - 1), timeout=30)
            panel = app.wait_window("Surfdeck - Related links")
            update = (panel.x + tour_module.px(36) + 10, panel.y + tour_module.px(216 + 180))
            taken = 0
            display.move(*update)
            while taken < self.args.lookups:
                mark = len(app.log())
                time.sleep(0.1)
                sent = self.screen.send_click()
                complete = shown = None
                while time.monotonic() - sent < 30 and shown is None:
                    found = app.log_has("webbrowser1 document complete", after=mark)
                    if found and complete is None:
                        complete = time.monotonic()
                    if found and app.log_has("html results load complete", after=found):
                        shown = time.monotonic()
                    time.sleep(0.002)
                if shown is None:
                    raise TourFailure(f"{label}: Update brought no answer")
                lines = app.log()[mark:]
                if any(line.startswith("Start webbrowser1 navigate") and "g1.htm" in line
                       for line in lines):
                    # The saved answer page (Debug ticked): untick and take the sample again.
                    display.click(panel.x + tour_module.px(546) + 7,
                                  panel.y + tour_module.px(216 + 180))
                    display.move(*update)
                    continue
                self.sample(f"lookup {label}", complete - sent)
                self.sample(f"lookup shown {label}", shown - sent)
                taken += 1
                time.sleep(random.uniform(0.2, 0.4))
        finally:
            tour.app = saved

    def foreign_browsers(self, user):
        """Browser processes on our display beyond the user's browser: its children, and
        its helpers that left its process tree but name its profile."""
        mine = {user.proc.pid, *descendants(user.proc.pid)}
        display = f"DISPLAY={self.tour.display.env['DISPLAY']}".encode()
        profile = os.path.abspath(user.profile).encode()
        found = []
        for name in filter(str.isdigit, os.listdir("/proc")):
            pid = int(name)
            try:
                if "chrom" not in os.path.basename(os.readlink(f"/proc/{pid}/exe")):
                    continue
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if display not in f.read().split(b"\0"):
                        continue
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    command = f.read()
            except OSError:
                continue
            if pid not in mine and profile not in command:
                words = command.replace(b"\0", b" ")[:300].decode("latin-1")
                found.append(f"{pid} {words}")
        return found

    def window_of(self, pid):
        """The browser window that the process owns: two browsers run side by side."""
        for window in self.screen.find(suffix=" - Chromium"):
            raw = self.screen.property(window.xid, "_NET_WM_PID")
            if raw and int.from_bytes(raw[:4], "little") == pid:
                return window
        raise TourFailure(f"no browser window of process {pid}")

    def lookup_devtools(self):
        """The same lookups from a second Surfdeck on the DevTools route, on the same
        browser, with its private query browser."""
        folder = os.path.join(self.work, "devtools-program")
        settings = self.tour.settings()
        settings["Browser"] = {"Connect": "devtools", "DevTools": self.tour.browser.endpoint,
                               "Profile": self.tour.browser.profile, "StartBrowser": 0}
        make_program_folder(self.tour.bin_dir, folder, settings)
        app = Surfdeck(self.tour.procs, self.tour.display, folder)
        app.start()
        app.wait_window("Surfdeck", timeout=30)
        time.sleep(3)
        self.sample("rss devtools before lookup", resident_kb(app.proc.pid))
        try:
            self.lookup_times(app, "devtools")
            self.sample("rss devtools after lookup", resident_kb(app.proc.pid))
            self.sample("pss devtools query browser", pss_kb(descendants(app.proc.pid)))
        finally:
            self.tour.procs.stop(app.proc)

    def plain_browser(self):
        """The same browser with the same pages on a profile of its own, which has no
        extension: the baseline for what the extension costs, idle in the same minute."""
        urls = [p["url"] for p in self.tour.browser.pages() if p["url"].startswith("http")]
        plain = Chromium(self.tour.procs, self.tour.display,
                         os.path.join(self.work, "plain-profile"), self.tour.web.host)
        plain.start(urls, name="chromium-plain", extensions=True)

        def loaded():
            pages = [p for p in plain.pages() if p["url"].startswith("http")]
            return len(pages) >= len(urls)

        wait_for("the plain browser's tabs", loaded, timeout=60)
        self.sample("tabs plain browser", len(urls))
        # The browser under test is the one in front again, as the lookups expect.
        self.tour.display.activate(self.window_of(self.tour.browser.proc.pid))
        return plain

    # --- where the time to the front goes ------------------------------------------------

    def trace_bridge(self):
        """Follows the bridge's reads from the browser with strace, so that the moment the
        extension's report of a tab in front reaches the bridge is known. None without
        strace or a bridge."""
        if not shutil.which("strace"):
            return None
        bridges = []
        for pid in descendants(self.tour.browser.proc.pid):
            try:
                if os.path.basename(os.readlink(f"/proc/{pid}/exe")) == "surfdeck-bridge":
                    bridges.append(pid)
            except OSError:
                pass
        if not bridges:
            return None
        path = os.path.join(self.out, "bridge-reads.txt")
        proc = subprocess.Popen(["strace", "-ttt", "-e", "trace=read,recvfrom", "-e",
                                 "signal=none",
                                 "-o", path, "-p", str(bridges[0])],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
        return proc, path

    @staticmethod
    def bridge_messages(tracer):
        """Reads by the bridge, from either side, since the trace started."""
        proc, path = tracer
        proc.send_signal(signal.SIGINT)
        proc.wait(timeout=10)
        with open(path) as f:
            return sum(1 for line in f if " read(0," in line or " recvfrom(" in line)

    def bridge_arrivals(self, tracer, moments):
        """For each (key sent, title changed) pair, in wall-clock seconds: the first read of
        the extension's messages by the bridge after the key."""
        proc, path = tracer
        proc.send_signal(signal.SIGINT)
        proc.wait(timeout=10)
        reads = []
        with open(path) as f:
            for line in f:
                parts = line.split(None, 1)
                if len(parts) == 2 and parts[1].startswith("read(0,") and " = " in parts[1]:
                    if int(parts[1].rsplit(" = ", 1)[1].split()[0]) > 0:
                        reads.append(float(parts[0]))
        for sent, titled in moments:
            later = [t for t in reads if t >= sent]
            if later and later[0] - sent < 2:
                self.sample("front report at bridge", later[0] - sent)
                self.sample("front report after title", later[0] - titled)

    # --- what the extension alone adds -------------------------------------------------

    def fresh_pair(self):
        """Two browsers that differ in the extension alone: the toured browser's profile,
        which holds it, and a profile without it, both started afresh on the same twenty
        pages, side by side, with a Surfdeck connected and another program's window in
        front; then one idle minute for both. The toured browser's own minutes compare a
        browser that has done the tour with one that has only loaded its pages."""
        tour = self.tour
        tour.procs.stop(tour.browser.proc)
        app = Surfdeck(tour.procs, tour.display, tour.app.folder)
        app.start()
        app.wait_window("Surfdeck", timeout=30)
        mark = len(app.log())
        urls = [tour.web.url(f"/fresh-{i}") for i in range(20)]
        pair = {
            "with": Chromium(tour.procs, tour.display, tour.browser.profile, tour.web.host),
            "without": Chromium(tour.procs, tour.display, os.path.join(self.work, "fresh-plain"),
                                tour.web.host),
        }
        # The toured browser's endpoint file names a port nobody answers on now.
        stale = os.path.join(tour.browser.profile, "DevToolsActivePort")
        if os.path.exists(stale):
            os.remove(stale)
        try:
            for kind, browser in pair.items():
                browser.start(urls, name=f"chromium-fresh-{kind}", extensions=True)
            for kind, browser in pair.items():
                wait_for(f"the {kind} browser's pages", lambda b=browser: len(
                    [p for p in b.pages() if p["url"].startswith("http")]) >= len(urls),
                    timeout=60)
            wait_for("\"Browser connected\" in log.txt", lambda: any(
                line.startswith("Browser connected") for line in app.log()[mark:]), timeout=60)
            _, minimal = self.shown_after([self.minimal], "Minimal Qt", label="minimal-fresh")
            time.sleep(30)
            trees = {kind: (lambda b=b: [b.proc.pid] + descendants(b.proc.pid))
                     for kind, b in pair.items()}
            before = {kind: cpu_seconds(t()) for kind, t in trees.items()}
            each = {kind: cpu_each(t()) for kind, t in trees.items()}
            t0 = time.monotonic()
            self.say(f"  idle: {self.args.idle} s, two fresh browsers")
            time.sleep(self.args.idle)
            span = time.monotonic() - t0
            for kind, t in trees.items():
                self.sample(f"cpu fresh browser {kind} extension",
                            100.0 * (cpu_seconds(t()) - before[kind]) / span)
                self.notes.append(f"fresh browser {kind} extension, by process: "
                                  + by_kind(each[kind], cpu_each(t()), span))
            tour.procs.stop(minimal)
        finally:
            for browser in pair.values():
                if browser.proc:
                    tour.procs.stop(browser.proc)
            tour.procs.stop(app.proc)
