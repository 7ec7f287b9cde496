"""What the end-to-end checks share: a free loopback port, the tear-down of their
processes and display, and the frame that runs one check and turns its outcome into the
exit status CTest reads (0 passed, 1 failed, 77 skipped)."""

import os
import shutil
import socket
import sys
import tempfile
import traceback

from desktop import TourFailure, missing_tools

SKIP = 77


class Skipped(Exception):
    """The check cannot run here (a tool that does not start, say): neither pass nor fail."""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def stop_all(procs, display):
    """Closes the display's connection, if one was made, then ends every process."""
    if display and display.screen:
        display.screen.close()
    procs.stop_all()


def run_check(name, tools, run, out=None):
    """Runs run(out, work) in a scratch folder removed afterwards (read-only folders
    included); out is where the logs go, the scratch folder's own when not given."""
    missing = missing_tools(tools)
    if missing:
        print("skipped, missing: " + ", ".join(missing))
        return SKIP
    work = tempfile.mkdtemp(prefix=f"surfdeck-{name.replace(' ', '-')}-")
    out = os.path.abspath(out) if out else os.path.join(work, "logs")
    os.makedirs(out, exist_ok=True)
    try:
        run(out, work)
        print(f"{name}: passed")
        return 0
    except Skipped as e:
        print(f"skipped: {e}")
        return SKIP
    except TourFailure as e:
        print(f"{name} FAILED: {e}", file=sys.stderr)
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        for root, dirs, _ in os.walk(work):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        shutil.rmtree(work, ignore_errors=True)
