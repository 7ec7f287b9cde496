"""A private X display for driving Surfdeck with real input.

Everything here is the outside view a user has: windows on the screen (found through
libX11 with ctypes), the pointer and keys (xdotool, which sends real X input through
XTEST) and pictures of the screen (ImageMagick's import). Processes started through
`Processes` live in process groups of their own and are ended group by group, so that
nothing outlives a run, whatever happens to it.
"""

import ctypes
import ctypes.util
import os
import select
import shutil
import signal
import subprocess
import time

SCREEN_WIDTH = 1280
SCREEN_HEIGHT = 800
TWIPS_PER_PIXEL = 15


class TourFailure(Exception):
    """A step whose effect did not show."""


def wait_for(what, condition, timeout=15.0, interval=0.05):
    """Polls condition() until it returns something true; that value is returned.

    Raises TourFailure naming `what` when the deadline passes."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TourFailure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def missing_tools(names):
    return [n for n in names if shutil.which(n) is None]


class Processes:
    """Child processes, each in a process group of its own and killed when we die."""

    def __init__(self, log_dir):
        self.log_dir = log_dir
        self.children = []  # (name, Popen)

    def start(self, name, argv, env=None, cwd=None, pass_fds=(), stdout=None):
        log = open(os.path.join(self.log_dir, name + ".log"), "ab")
        wrapped = list(argv)
        # A child whose parent died gets SIGKILL: a killed run leaves no display behind.
        if shutil.which("setpriv"):
            wrapped = ["setpriv", "--pdeathsig", "KILL", "--"] + wrapped
        proc = subprocess.Popen(
            wrapped,
            env=env,
            cwd=cwd,
            stdin=subprocess.DEVNULL,
            stdout=stdout if stdout is not None else log,
            stderr=log,
            pass_fds=pass_fds,
            start_new_session=True,
        )
        log.close()
        self.children.append((name, proc))
        return proc

    @staticmethod
    def group_alive(proc):
        try:
            os.killpg(proc.pid, 0)
            return True
        except ProcessLookupError:
            return False
        except PermissionError:
            return True

    def stop(self, proc, grace=3.0):
        """Ends the process's whole group: TERM, then KILL after the grace time."""
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(proc.pid, sig)
            except ProcessLookupError:
                pass
            deadline = time.monotonic() + grace
            while time.monotonic() < deadline:
                proc.poll()
                if not self.group_alive(proc):
                    break
                time.sleep(0.05)
            if not self.group_alive(proc):
                break
        try:
            proc.wait(timeout=1)
        except subprocess.TimeoutExpired:
            pass

    def stop_all(self):
        # The last started first: the program before the browser before the display.
        for _, proc in reversed(self.children):
            self.stop(proc)
        self.children.clear()


# --- libX11 through ctypes -------------------------------------------------------

_c_window = ctypes.c_ulong


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_int), ("y", ctypes.c_int),
        ("width", ctypes.c_int), ("height", ctypes.c_int),
        ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
        ("visual", ctypes.c_void_p), ("root", _c_window),
        ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
        ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
        ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
        ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
        ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
        ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
        ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
        ("screen", ctypes.c_void_p),
    ]


class _XImage(ctypes.Structure):
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int),
        ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
        ("data", ctypes.POINTER(ctypes.c_ubyte)),
        ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int),
    ]


_IS_VIEWABLE = 2
_Z_PIXMAP = 2
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


def _load_x11():
    lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    lib.XOpenDisplay.restype = ctypes.c_void_p
    lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    lib.XDefaultRootWindow.restype = _c_window
    lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    lib.XQueryTree.argtypes = [ctypes.c_void_p, _c_window, ctypes.POINTER(_c_window),
                               ctypes.POINTER(_c_window),
                               ctypes.POINTER(ctypes.POINTER(_c_window)),
                               ctypes.POINTER(ctypes.c_uint)]
    lib.XGetWindowAttributes.argtypes = [ctypes.c_void_p, _c_window,
                                         ctypes.POINTER(_XWindowAttributes)]
    lib.XTranslateCoordinates.argtypes = [ctypes.c_void_p, _c_window, _c_window, ctypes.c_int,
                                          ctypes.c_int, ctypes.POINTER(ctypes.c_int),
                                          ctypes.POINTER(ctypes.c_int), ctypes.POINTER(_c_window)]
    lib.XInternAtom.restype = ctypes.c_ulong
    lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    lib.XGetWindowProperty.argtypes = [
        ctypes.c_void_p, _c_window, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
        ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))]
    lib.XFree.argtypes = [ctypes.c_void_p]
    lib.XGetImage.restype = ctypes.POINTER(_XImage)
    lib.XGetImage.argtypes = [ctypes.c_void_p, _c_window, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    lib.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
    lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    lib.XSetErrorHandler.restype = ctypes.c_void_p
    lib.XSetErrorHandler.argtypes = [_ERROR_HANDLER]
    lib.XStringToKeysym.restype = ctypes.c_ulong
    lib.XStringToKeysym.argtypes = [ctypes.c_char_p]
    lib.XKeysymToKeycode.restype = ctypes.c_ubyte
    lib.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    lib.XFlush.argtypes = [ctypes.c_void_p]
    return lib


def _load_xtest():
    lib = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
    lib.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                      ctypes.c_ulong]
    lib.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                         ctypes.c_ulong]
    return lib


_MODIFIERS = {"ctrl": "Control_L", "shift": "Shift_L", "alt": "Alt_L"}


class Window:
    """One window as the screen shows it: absolute position in pixels."""

    def __init__(self, xid, name, x, y, width, height, viewable, override_redirect, wm_class):
        self.xid = xid
        self.name = name
        self.x, self.y, self.width, self.height = x, y, width, height
        self.viewable = viewable
        self.override_redirect = override_redirect
        self.wm_class = wm_class

    def __repr__(self):
        return (f"<window 0x{self.xid:x} {self.name!r} {self.width}x{self.height}"
                f"+{self.x}+{self.y}{'' if self.viewable else ' unmapped'}>")


class Screen:
    """Read-only access to one X display's windows and pixels."""

    def __init__(self, display_name):
        self._x = _load_x11()
        # A window that disappears while we look at it is an ordinary event, not a fatal
        # error: without a handler of our own Xlib would end this process.
        self._handler = _ERROR_HANDLER(lambda d, e: 0)
        self._x.XSetErrorHandler(self._handler)
        self._d = self._x.XOpenDisplay(display_name.encode())
        if not self._d:
            raise TourFailure(f"cannot open display {display_name}")
        self.root = self._x.XDefaultRootWindow(self._d)
        self._atoms = {}

    def close(self):
        if self._d:
            self._x.XCloseDisplay(self._d)
            self._d = None

    def _atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = self._x.XInternAtom(self._d, name.encode(), 0)
        return self._atoms[name]

    def property(self, xid, name):
        """The raw bytes of a window property, or None."""
        actual_type = ctypes.c_ulong()
        actual_format = ctypes.c_int()
        n_items = ctypes.c_ulong()
        after = ctypes.c_ulong()
        data = ctypes.POINTER(ctypes.c_ubyte)()
        status = self._x.XGetWindowProperty(
            self._d, xid, self._atom(name), 0, 4096, 0, 0,  # AnyPropertyType
            ctypes.byref(actual_type), ctypes.byref(actual_format), ctypes.byref(n_items),
            ctypes.byref(after), ctypes.byref(data))
        if status != 0 or not data:
            return None
        try:
            if actual_type.value == 0:
                return None
            unit = {8: 1, 16: 2, 32: ctypes.sizeof(ctypes.c_long)}.get(actual_format.value, 1)
            return ctypes.string_at(data, n_items.value * unit)
        finally:
            self._x.XFree(data)

    def _name(self, xid):
        raw = self.property(xid, "_NET_WM_NAME")
        if raw is None:
            raw = self.property(xid, "WM_NAME")
        return raw.decode("utf-8", "replace") if raw else ""

    def _children(self, xid):
        root = _c_window()
        parent = _c_window()
        children = ctypes.POINTER(_c_window)()
        n = ctypes.c_uint()
        if not self._x.XQueryTree(self._d, xid, ctypes.byref(root), ctypes.byref(parent),
                                  ctypes.byref(children), ctypes.byref(n)):
            return []
        try:
            return [children[i] for i in range(n.value)]
        finally:
            if children:
                self._x.XFree(children)

    def window(self, xid):
        attrs = _XWindowAttributes()
        if not self._x.XGetWindowAttributes(self._d, xid, ctypes.byref(attrs)):
            return None
        x = ctypes.c_int()
        y = ctypes.c_int()
        child = _c_window()
        self._x.XTranslateCoordinates(self._d, xid, self.root, 0, 0, ctypes.byref(x),
                                      ctypes.byref(y), ctypes.byref(child))
        wm_class = (self.property(xid, "WM_CLASS") or b"").split(b"\0")[0].decode("latin-1")
        return Window(xid, self._name(xid), x.value, y.value, attrs.width, attrs.height,
                      attrs.map_state == _IS_VIEWABLE, bool(attrs.override_redirect), wm_class)

    def windows(self):
        """Every named window and every top-level window, depth first."""
        found = []
        stack = [(self.root, 0)]
        while stack:
            xid, depth = stack.pop()
            for child in self._children(xid):
                stack.append((child, depth + 1))
                w = self.window(child)
                if w and (w.name or depth == 0):
                    found.append(w)
        self._x.XSync(self._d, 0)
        return found

    def find(self, name=None, prefix=None, suffix=None):
        """Viewable windows by exact name, name prefix or name suffix."""
        result = []
        for w in self.windows():
            if not w.viewable:
                continue
            if name is not None and w.name != name:
                continue
            if prefix is not None and not w.name.startswith(prefix):
                continue
            if suffix is not None and not w.name.endswith(suffix):
                continue
            result.append(w)
        return result

    def find_one(self, name):
        found = self.find(name=name)
        return found[0] if found else None

    def window_types(self, xid):
        raw = self.property(xid, "_NET_WM_WINDOW_TYPE") or b""
        size = ctypes.sizeof(ctypes.c_long)
        return {int.from_bytes(raw[i:i + size], "little") for i in range(0, len(raw), size)}

    def menus(self, wm_class):
        """The pop-up menus of one program that are on the screen now: its windows that the
        window manager does not manage, tool tips aside."""
        tip = self._atom("_NET_WM_WINDOW_TYPE_TOOLTIP")
        return [w for w in self.windows()
                if w.viewable and w.override_redirect and w.wm_class == wm_class
                and w.height >= 10 and tip not in self.window_types(w.xid)]

    def text_lines(self, x, y, width, height, margin=6):
        """The lines of text a rectangle shows, as (top, bottom, left, right) in screen
        pixels: bands of pixel rows whose colours vary strongly, with calm rows between
        them. Margins keep a frame out."""
        left = x + margin
        rows = self.pixels(left, y, max(1, width - 2 * margin), height)
        bands = []
        for i, row in enumerate(rows):
            light = [(r * 299 + g * 587 + b * 114) // 1000 for r, g, b in row]
            background = max(set(light), key=light.count)
            ink = [j for j, v in enumerate(light) if abs(v - background) > 100]
            if not ink:
                continue
            if bands and bands[-1][1] == y + i - 1:
                top, _, l, r = bands[-1]
                bands[-1] = (top, y + i, min(l, left + ink[0]), max(r, left + ink[-1]))
            else:
                bands.append((y + i, y + i, left + ink[0], left + ink[-1]))
        return bands

    # --- timed input --------------------------------------------------------------------
    # xdotool takes tens of milliseconds to start and end, too long a blur for timing an
    # effect; these send the same XTEST events from this process and say when they left.

    def _xtest(self):
        if not hasattr(self, "_xt"):
            self._xt = _load_xtest()
        return self._xt

    def send_key(self, combo):
        """Presses and releases a key combination such as "ctrl+9"; returns the monotonic
        time at which the events went to the server."""
        codes = []
        for name in combo.split("+"):
            keysym = self._x.XStringToKeysym(_MODIFIERS.get(name, name).encode())
            code = self._x.XKeysymToKeycode(self._d, keysym)
            if not code:
                raise TourFailure(f"no key for {name!r}")
            codes.append(code)
        xt = self._xtest()
        for code in codes:
            xt.XTestFakeKeyEvent(self._d, code, 1, 0)
        for code in reversed(codes):
            xt.XTestFakeKeyEvent(self._d, code, 0, 0)
        self._x.XFlush(self._d)
        return time.monotonic()

    def send_click(self, button=1):
        """Presses and releases a mouse button where the pointer is; returns the monotonic
        time at which the events went to the server."""
        xt = self._xtest()
        xt.XTestFakeButtonEvent(self._d, button, 1, 0)
        xt.XTestFakeButtonEvent(self._d, button, 0, 0)
        self._x.XFlush(self._d)
        return time.monotonic()

    def pixels(self, x, y, width, height):
        """The screen's pixels in a rectangle as rows of (r, g, b)."""
        image = self._x.XGetImage(self._d, self.root, x, y, width, height, 0xFFFFFFFF, _Z_PIXMAP)
        if not image:
            raise TourFailure("cannot read the screen's pixels")
        try:
            img = image.contents
            if img.bits_per_pixel != 32:
                raise TourFailure(f"unexpected screen format: {img.bits_per_pixel} bits")
            raw = ctypes.string_at(img.data, img.bytes_per_line * img.height)
            rows = []
            for row in range(img.height):
                line = raw[row * img.bytes_per_line:row * img.bytes_per_line + 4 * img.width]
                rows.append([(line[i + 2], line[i + 1], line[i]) for i in range(0, len(line), 4)])
            return rows
        finally:
            self._x.XDestroyImage(image)


class Display:
    """Xvfb with openbox, ours alone."""

    def __init__(self, procs, work_dir):
        self.procs = procs
        self.work_dir = work_dir
        self.name = None
        self.screen = None
        self.env = None

    def start(self):
        read_fd, write_fd = os.pipe()
        try:
            # -displayfd: the server picks a free display number and tells us which.
            self.procs.start("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                      f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24", "-nolisten", "tcp",
                                      "-dpi", "96", "-noreset"], pass_fds=(write_fd,))
            os.close(write_fd)
            number = b""
            deadline = time.monotonic() + 20
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_fd], [], [], left)[0]:
                    raise TourFailure("Xvfb did not report its display number")
                chunk = os.read(read_fd, 16)
                if not chunk:
                    raise TourFailure("Xvfb ended before it reported its display number")
                number += chunk
        finally:
            os.close(read_fd)
        self.name = ":" + number.decode().strip()
        runtime = os.path.join(self.work_dir, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.env = dict(os.environ)
        for key in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY", "SESSION_MANAGER"):
            self.env.pop(key, None)
        self.env.update({"DISPLAY": self.name, "XDG_RUNTIME_DIR": runtime,
                         "QT_QPA_PLATFORM": "xcb", "NO_AT_BRIDGE": "1"})
        # A scratch home: what Surfdeck writes for the user's browsers stays out of ours.
        home = os.path.join(self.work_dir, "home")
        os.makedirs(home, exist_ok=True)
        self.env.update({"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, ".config")})
        self.screen = wait_for("the X display", lambda: self._open(), timeout=20)
        self.procs.start("openbox", ["openbox", "--sm-disable"], env=self.env)
        wait_for("the window manager",
                 lambda: self.screen.property(self.screen.root, "_NET_SUPPORTING_WM_CHECK"),
                 timeout=20)
        return self

    def _open(self):
        try:
            return Screen(self.name)
        except TourFailure:
            return None

    # --- input, through XTEST ------------------------------------------------------

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def move(self, x, y):
        self.xdotool("mousemove", "--sync", int(x), int(y))

    def click(self, x, y, button=1):
        self.move(x, y)
        self.xdotool("click", button)

    def key(self, *keys):
        self.xdotool("key", "--delay", 40, *keys)

    def type(self, text):
        self.xdotool("type", "--delay", 40, text)

    def activate(self, window):
        self.xdotool("windowactivate", "--sync", window.xid)

    # --- pictures ----------------------------------------------------------------------

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", path],
                       env=self.env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        return path
