"""Surfdeck as a user has it: a program folder, the running program, its windows, and the
files it writes beside itself (conf.ini, log.txt)."""

import os
import shutil
import time

from desktop import TWIPS_PER_PIXEL, TourFailure, wait_for

# What a program folder holds: the executable and the skin files it reads.
_SKIN_SUFFIXES = (".svg",)
_SKIN_FILES = ("c1.h1", "g1.htm")
_SKIN_FOLDERS = ("Fragments", "IE", "ie")
# The browser route's parts, where the build made them: the native-messaging host and the
# packed extension.
_ROUTE_FILES = ("surfdeck-bridge",)
_ROUTE_FOLDERS = ("extension",)

# The main window as designed, in twips.
TOOLBAR_LEFT = 36
TOOLBAR_TOP = 216
BUTTON_WIDTH = 390
BUTTON_HEIGHT = 360
BUTTONS = ("news", "options", "image", "web", "related", "window",
           "stop", "refresh", "home", "full", "back", "forward")
ROLLED_LIMIT = 300  # twips: at or below this height the main window is rolled up


def px(twips):
    return int(round(twips / TWIPS_PER_PIXEL))


def make_program_folder(bin_dir, folder, settings):
    """A fresh program folder: the built executable and skin, and a conf.ini."""
    if not os.path.isfile(os.path.join(bin_dir, "surfdeck")):
        raise TourFailure(f"no surfdeck in {bin_dir}: build the target surfdeck first")
    os.makedirs(folder, exist_ok=True)
    shutil.copy2(os.path.join(bin_dir, "surfdeck"), folder)
    for name in os.listdir(bin_dir):
        source = os.path.join(bin_dir, name)
        if name in _SKIN_FOLDERS + _ROUTE_FOLDERS and os.path.isdir(source):
            shutil.copytree(source, os.path.join(folder, name), dirs_exist_ok=True)
        elif name in _SKIN_FILES + _ROUTE_FILES or name.endswith(_SKIN_SUFFIXES):
            shutil.copy2(source, folder)
    write_ini(os.path.join(folder, "conf.ini"), settings)


def write_ini(path, settings):
    lines = []
    for section, values in settings.items():
        lines.append(f"[{section}]")
        lines += [f"{k}={v}" for k, v in values.items()]
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def read_ini(path):
    """conf.ini as Surfdeck reads it: names in any case, the first of a repeated section or
    key counts. {section.lower(): {key.lower(): value}}."""
    result = {}
    try:
        with open(path, "rb") as f:
            text = f.read().decode("latin-1")
    except FileNotFoundError:
        return result
    if text.startswith("\xef\xbb\xbf"):
        text = text[3:]
    section = None
    for line in text.splitlines():
        stripped = line.strip()
        if stripped.startswith("[") and "]" in stripped:
            name = stripped[1:stripped.index("]")].strip().lower()
            section = None if name in result else result.setdefault(name, {})
            continue
        if section is None or stripped.startswith(";") or "=" not in line:
            continue
        key, value = line.split("=", 1)
        section.setdefault(key.strip().lower(), value.strip(" \t"))
    return result


def socket_inodes(pid):
    inodes = set()
    fd_dir = f"/proc/{pid}/fd"
    try:
        for fd in os.listdir(fd_dir):
            try:
                target = os.readlink(os.path.join(fd_dir, fd))
            except OSError:
                continue
            if target.startswith("socket:["):
                inodes.add(target[8:-1])
    except OSError:
        pass
    return inodes


def connected_to(pid, port):
    """True when the process holds an open TCP connection to 127.0.0.1:port."""
    inodes = socket_inodes(pid)
    try:
        with open(f"/proc/{pid}/net/tcp") as f:
            next(f)
            for line in f:
                fields = line.split()
                remote, state, inode = fields[2], fields[3], fields[9]
                if state == "01" and inode in inodes and int(remote.split(":")[1], 16) == port:
                    return True
    except (OSError, StopIteration, IndexError, ValueError):
        pass
    return False


def resident_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class Surfdeck:
    """The desktop program running in a program folder on our display."""

    def __init__(self, procs, display, folder):
        self.procs = procs
        self.display = display
        self.folder = folder
        self.proc = None

    def start(self):
        self.proc = self.procs.start("surfdeck", [os.path.join(self.folder, "surfdeck")],
                                     env=self.display.env, cwd=self.folder)
        return self.proc

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def check_running(self):
        if not self.running():
            raise TourFailure(f"Surfdeck ended unexpectedly (exit status {self.proc.returncode})")

    # --- files -----------------------------------------------------------------------

    def conf(self):
        return read_ini(os.path.join(self.folder, "conf.ini"))

    def conf_value(self, section, key):
        return self.conf().get(section.lower(), {}).get(key.lower())

    def log(self):
        try:
            with open(os.path.join(self.folder, "log.txt"), "rb") as f:
                lines = f.read().decode("latin-1").split("\r\n")
        except FileNotFoundError:
            return []
        # Every line ends in CR LF: what follows the last one is not a line, and counting it
        # would make a mark taken from len() skip the next line written.
        if lines and lines[-1] == "":
            lines.pop()
        return lines

    def log_has(self, *prefixes, after=0):
        """The index after the last of `prefixes` found in order in log.txt from line
        `after`, or 0 when they are not all there."""
        self.check_running()
        lines = self.log()
        i = after
        for prefix in prefixes:
            while i < len(lines) and not lines[i].startswith(prefix):
                i += 1
            if i >= len(lines):
                return 0
            i += 1
        return i

    # --- windows -----------------------------------------------------------------------

    def window(self, name):
        self.check_running()
        return self.display.screen.find_one(name)

    def main(self):
        return self.window("Surfdeck")

    def wait_window(self, name, timeout=15):
        return wait_for(f"the window {name!r}", lambda: self.window(name), timeout=timeout)

    def wait_gone(self, name, timeout=10):
        wait_for(f"the window {name!r} to close", lambda: self.window(name) is None,
                 timeout=timeout)

    @staticmethod
    def rolled(window):
        return window.height * TWIPS_PER_PIXEL <= ROLLED_LIMIT

    @staticmethod
    def title_point(window):
        """A point on the title label (designed at 240, 0, 216 twips high)."""
        return window.x + px(240) + 30, window.y + px(108)

    @staticmethod
    def close_point(window):
        """The close caption button: 132 twips square, 20 twips from the right edge."""
        return window.x + window.width - px(20 + 66), window.y + px(36 + 66)

    @staticmethod
    def button_point(window, key):
        """The centre of a main toolbar button in the horizontal layout (two rows of six)."""
        i = BUTTONS.index(key)
        row, column = divmod(i, 6)
        x = px(TOOLBAR_LEFT) + column * px(BUTTON_WIDTH) + px(BUTTON_WIDTH) // 2
        y = px(TOOLBAR_TOP) + row * px(BUTTON_HEIGHT) + px(BUTTON_HEIGHT) // 2
        return window.x + x, window.y + y

    def wait_exit(self, timeout=15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                return self.proc.returncode
            time.sleep(0.05)
        raise TourFailure(f"Surfdeck did not end within {timeout} s")
