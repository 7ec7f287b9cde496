"""Firefox ESR for the tour: a scratch profile that loads the extension from the program
folder (a proxy file naming its folder, with the signature check off in that profile
only, as ESR allows), our web server as its proxy, and a Marionette port that only the
tour reads to see the browser's tabs. Nothing system-wide is changed."""

import json
import os
import shutil
import socket

from desktop import TourFailure, wait_for

GECKO_ID = "surfdeck@surfdeck.local"
TITLE_SUFFIX = " \u2014 Mozilla Firefox"

# The tabs of every window: id, address, title, and whether it is the one in front.
_TABS = """
const out = [];
const front = Services.wm.getMostRecentWindow("navigator:browser");
for (const w of Services.wm.getEnumerator("navigator:browser"))
  for (const t of w.gBrowser.tabs) {
    const uri = t.linkedBrowser.currentURI;  // its whole address: scheme and host, then path
    out.push({id: String(t.linkedBrowser.browserId), url: uri.prePath + uri.pathQueryRef,
              title: t.linkedBrowser.contentTitle || t.label, front: w === front && t.selected});
  }
return out;
"""


def firefox_executable():
    for name in ("firefox-esr", "firefox"):
        path = shutil.which(name)
        if path:
            return path
    return None


class Marionette:
    """The browser's Marionette protocol: length-prefixed JSON over TCP."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.file = self.sock.makefile("rb")
        self.next_id = 0
        self._read()  # the greeting
        self.call("WebDriver:NewSession", {"capabilities": {}})
        self.call("Marionette:SetContext", {"value": "chrome"})

    def _read(self):
        size = b""
        while not size.endswith(b":"):
            byte = self.file.read(1)
            if not byte or len(size) > 12:
                raise TourFailure("the browser's Marionette connection ended")
            size += byte
        return json.loads(self.file.read(int(size[:-1])))

    def call(self, command, params):
        self.next_id += 1
        body = json.dumps([0, self.next_id, command, params]).encode()
        self.sock.sendall(str(len(body)).encode() + b":" + body)
        _, _, error, result = self._read()
        if error:
            raise TourFailure(f"{command}: {error.get('message')}")
        return result

    def close(self):
        self.sock.close()


class Firefox:
    """Firefox of our own on the tour's display, with the same view of its tabs as the
    Chromium class gives: pages() (the one in front first), page(id), front(), window()."""

    def __init__(self, procs, display, profile, proxy, extension_dir):
        self.procs = procs
        self.display = display
        self.profile = profile
        self.proxy = proxy
        self.extension_dir = extension_dir
        self.proc = None
        self.marionette = None

    def prefs(self):
        host, port = self.proxy.split(":")
        return {
            # Only this scratch profile takes the unsigned extension.
            "xpinstall.signatures.required": False,
            "extensions.autoDisableScopes": 0,
            "extensions.enabledScopes": 15,
            "browser.shell.checkDefaultBrowser": False,
            "browser.aboutwelcome.enabled": False,
            "startup.homepage_welcome_url": "",
            "browser.startup.homepage_override.mstone": "ignore",
            "datareporting.policy.dataSubmissionEnabled": False,
            "datareporting.policy.firstRunURL": "",
            "toolkit.telemetry.reportingpolicy.firstRun": False,
            "browser.tabs.warnOnClose": False,
            "browser.warnOnQuit": False,
            "browser.sessionstore.resume_from_crash": False,
            "app.normandy.enabled": False,
            "browser.safebrowsing.update.enabled": False,
            "network.captive-portal-service.enabled": False,
            "network.connectivity-service.enabled": False,
            "browser.translations.enable": False,
            # Every address the pages or links name is answered by our own server.
            "network.proxy.type": 1,
            "network.proxy.http": host,
            "network.proxy.http_port": int(port),
            "network.proxy.no_proxies_on": "",
            "network.proxy.allow_hijacking_localhost": True,
            "services.settings.server": f"http://{self.proxy}/settings",
            "marionette.port": 0,
        }

    def start(self, urls):
        os.makedirs(os.path.join(self.profile, "extensions"), exist_ok=True)
        with open(os.path.join(self.profile, "extensions", GECKO_ID), "w") as f:
            f.write(self.extension_dir)
        with open(os.path.join(self.profile, "user.js"), "w") as f:
            for key, value in self.prefs().items():
                f.write(f"user_pref({json.dumps(key)}, {json.dumps(value)});\n")
        argv = [firefox_executable(), "--no-remote", "--profile", self.profile,
                "--marionette", "-remote-allow-system-access", *urls]
        self.proc = self.procs.start("firefox", argv, env=self.display.env)
        port_file = os.path.join(self.profile, "MarionetteActivePort")

        def port():
            if self.proc.poll() is not None:
                raise TourFailure("the browser ended at start")
            try:
                with open(port_file) as f:
                    return int(f.read().strip() or 0)
            except (OSError, ValueError):
                return 0

        port = wait_for("the browser's Marionette port", port, timeout=60)
        self.marionette = wait_for("the browser's Marionette session",
                                   lambda: self._connect(port), timeout=20)
        return self

    @staticmethod
    def _connect(port):
        try:
            return Marionette(port)
        except (OSError, TourFailure):
            return None

    def pages(self):
        tabs = self.marionette.call("WebDriver:ExecuteScript", {"script": _TABS, "args": []})
        tabs = tabs["value"]
        return sorted(tabs, key=lambda t: not t["front"])

    def page(self, tab_id):
        for t in self.pages():
            if t["id"] == tab_id:
                return t
        return None

    def front(self):
        pages = self.pages()
        return pages[0] if pages and pages[0]["front"] else None

    def window(self):
        """The browser's own window on the screen: its title names the tab in front."""
        found = [w for w in self.display.screen.find(suffix="Mozilla Firefox") if w.viewable]
        return found[0] if found else None

    def window_title(self, page):
        return page["title"] + TITLE_SUFFIX

    def processes(self):
        """The browser and every process it started."""
        return descendants(self.proc.pid) if self.proc else set()

    def close(self):
        if self.marionette:
            self.marionette.close()


def descendants(pid):
    children = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as f:
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
            children.setdefault(parent, []).append(int(entry))
        except (OSError, ValueError, IndexError):
            pass
    found, todo = {pid}, [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            if child not in found:
                found.add(child)
                todo.append(child)
    return found
