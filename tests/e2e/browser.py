"""The browser side of a run: Chromium with a DevTools endpoint on loopback, and a small
web server that answers every page it asks for, so that nothing leaves the machine."""

import html
import http.server
import json
import os
import threading
import time
import urllib.parse
import urllib.request

from desktop import TourFailure, wait_for

_LOOPBACK = urllib.request.build_opener(urllib.request.ProxyHandler({}))


class Web:
    """Pages from a folder on 127.0.0.1, and a page for any other http address.

    The browser uses this server as its proxy as well, so an address on any host (a link
    of the related-sites list, a search service) is answered here: a page titled with the
    address's host and path. Every request is kept with the time it arrived."""

    def __init__(self, pages_dir):
        self.pages_dir = pages_dir
        self.requests = []  # (monotonic time, full address)
        self._lock = threading.Lock()
        web = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def do_GET(self):
                web._answer(self)

            def do_CONNECT(self):
                self.send_error(405, "No tunnels here")

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        self.host = f"127.0.0.1:{self.port}"
        self._thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        self.server.shutdown()
        self.server.server_close()

    def url(self, path):
        return f"http://{self.host}{path}"

    def seen(self, address):
        with self._lock:
            return [t for t, a in self.requests if a == address]

    def _answer(self, handler):
        target = handler.path
        if not target.startswith("http://"):
            target = f"http://{handler.headers.get('Host', self.host)}{target}"
        with self._lock:
            self.requests.append((time.monotonic(), target))
        parts = urllib.parse.urlsplit(target)
        body = None
        if parts.path.startswith("/hop/"):
            # A page that is one big link to the next: a click anywhere on it navigates.
            n = parts.path[5:]
            n = int(n) + 1 if n.isdigit() else 1
            body = (f"<!DOCTYPE html><html><head><title>hop {n - 1}</title></head><body>"
                    f"<a href='/hop/{n}' style='position:fixed;inset:0;display:block;"
                    f"font:48px sans-serif;padding:200px'>next hop</a></body></html>").encode()
        elif parts.netloc == self.host and parts.path.endswith(".html"):
            name = os.path.basename(parts.path)
            path = os.path.join(self.pages_dir, name)
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    body = f.read()
        if body is None:
            title = html.escape(parts.netloc + parts.path)
            body = (f"<!DOCTYPE html><html><head><meta charset='utf-8'><title>{title}</title>"
                    f"</head><body style='font-family: sans-serif; margin: 160px 40px'>"
                    f"<h1>{title}</h1><p>{html.escape(target)}</p></body></html>").encode()
        handler.send_response(200)
        handler.send_header("Content-Type", "text/html; charset=utf-8")
        handler.send_header("Content-Length", str(len(body)))
        handler.send_header("Cache-Control", "no-store")
        handler.end_headers()
        handler.wfile.write(body)


def chromium_executable():
    for path in ("/usr/bin/chromium", "/usr/bin/chromium-browser", "/usr/bin/google-chrome"):
        if os.access(path, os.X_OK):
            return path
    return None


class Chromium:
    """A browser of our own with its DevTools endpoint on a loopback port it picks."""

    def __init__(self, procs, display, profile, proxy):
        self.procs = procs
        self.display = display
        self.profile = profile
        self.proxy = proxy
        self.port = None
        self.proc = None

    def start(self, urls, name="chromium", extensions=False):
        """With `extensions`, the switches that keep a browser from installing the
        extensions its profile names stay off, as in a browser a user starts."""
        os.makedirs(self.profile, exist_ok=True)
        argv = [chromium_executable(),
                "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
                f"--user-data-dir={self.profile}",
                "--no-first-run", "--no-default-browser-check"]
        if not extensions:
            argv += ["--test-type", "--disable-background-networking",
                     "--disable-component-update", "--disable-default-apps"]
        argv += ["--disable-sync", "--disable-breakpad",
                 "--disable-session-crashed-bubble", "--password-store=basic",
                 "--disable-dev-shm-usage", "--disable-gpu",
                 # Every address the pages or links name is answered by our own server.
                 f"--proxy-server=http://{self.proxy}",
                 "--window-position=0,0", f"--window-size={1280},{800}"]
        if os.geteuid() == 0:
            argv.append("--no-sandbox")  # the browser refuses to start as root with it
        argv += list(urls)
        self.proc = self.procs.start(name, argv, env=self.display.env)
        port_file = os.path.join(self.profile, "DevToolsActivePort")

        def port():
            if self.proc.poll() is not None:
                raise TourFailure("the browser ended at start")
            try:
                with open(port_file) as f:
                    return int(f.readline().strip() or 0)
            except (OSError, ValueError):
                return 0

        self.port = wait_for("the browser's DevTools endpoint", port, timeout=40)
        wait_for("the browser's answer", lambda: self._try(lambda: self.get("/json/version")),
                 timeout=20)
        return self

    @property
    def endpoint(self):
        return f"127.0.0.1:{self.port}"

    def get(self, path, method="GET"):
        request = urllib.request.Request(f"http://{self.endpoint}{path}", method=method)
        with _LOOPBACK.open(request, timeout=5) as answer:
            data = answer.read()
        try:
            return json.loads(data)
        except ValueError:
            return data.decode("utf-8", "replace")

    @staticmethod
    def _try(call):
        try:
            return call() or True
        except OSError:
            return None

    def pages(self):
        """The tabs, the one in front first (the endpoint lists the most recently active
        first)."""
        return [t for t in self.get("/json/list") if t.get("type") == "page"]

    def page(self, target_id):
        for t in self.pages():
            if t["id"] == target_id:
                return t
        return None

    def front(self):
        pages = self.pages()
        return pages[0] if pages else None

    def window(self):
        """The browser's own window on the screen: its title names the tab in front."""
        found = self.display.screen.find(suffix=" - Chromium")
        return found[0] if found else None

    def new_tab(self, url):
        return self.get("/json/new?" + urllib.parse.quote(url, safe=":/?&=%"), method="PUT")

    def activate(self, target_id):
        return self.get("/json/activate/" + target_id)
