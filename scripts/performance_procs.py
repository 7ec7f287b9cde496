"""Processes' CPU time and memory from /proc, for scripts/measure-performance."""

import os

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")




def _stat(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            text = f.read()
    except OSError:
        return None
    return text[text.rindex(")") + 2:].split()


def cpu_seconds(pids):
    total = 0
    for pid in pids:
        fields = _stat(pid)
        if fields:
            total += int(fields[11]) + int(fields[12])  # utime, stime
    return total / CLOCK_TICKS


def descendants(pid):
    children = {}
    for name in os.listdir("/proc"):
        if name.isdigit():
            fields = _stat(int(name))
            if fields:
                children.setdefault(int(fields[1]), []).append(int(name))
    found, stack = [], list(children.get(pid, []))
    while stack:
        p = stack.pop()
        found.append(p)
        stack += children.get(p, [])
    return found


def percentile(values, p):
    """The nearest-rank percentile: the smallest sample with p % of them at or below it."""
    ordered = sorted(values)
    return ordered[max(0, -(-len(ordered) * p // 100) - 1)]


def pss_kb(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def kind(pid):
    """What a browser's process is for: its --type, "extension" for the renderer of an
    extension, "browser" for the main process, or the program's name."""
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            # Chromium rewrites its helpers' command lines into one string with spaces.
            words = f.read().decode("latin-1").replace("\0", " ").split()
        name = os.path.basename(os.readlink(f"/proc/{pid}/exe"))
    except OSError:
        return "gone"
    if "--extension-process" in words:
        return "extension"
    for w in words:
        if w.startswith("--type="):
            return w[7:]
    return "browser" if name.startswith("chrom") else name


def cpu_each(pids):
    """CPU seconds of each process, by pid."""
    return {pid: cpu_seconds([pid]) for pid in pids}


def by_kind(before, after, span):
    """Per cent of one core for each kind of process, from two cpu_each() readings."""
    share = {}
    for pid, seconds in after.items():
        k = kind(pid)
        share[k] = share.get(k, 0.0) + 100.0 * (seconds - before.get(pid, 0.0)) / span
    return ", ".join(f"{k} {v:.2f} %" for k, v in sorted(share.items(), key=lambda x: -x[1]))
