#!/usr/bin/env python3
"""Fails when a core module includes a header of a layer above it, or when a toolkit or
network header appears outside the backends that may use them. Prints each offence."""

import argparse
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# Where a toolkit or network header may stand.
BACKENDS = ("platform/qt/", "platform/devtools/", "platform/extension/")
NETWORK = re.compile(
    r"^(sys/socket\.h|sys/un\.h|netinet/.*|arpa/.*|netdb\.h|ifaddrs\.h|net/.*|curl/.*)$")
TOOLKIT = re.compile(r"^(Q[A-Za-z0-9]*|Qt[A-Za-z0-9]*/.*|gtk/.*|X11/.*|xcb/.*)$")


def sources(root):
    for folder, _, files in os.walk(root):
        for name in sorted(files):
            if name.endswith((".h", ".cpp")):
                yield os.path.join(folder, name)


def offences(src, layers):
    rank = {name: i for i, name in enumerate(layers)}  # 0 is the top
    for path in sources(src):
        rel = os.path.relpath(path, src).replace(os.sep, "/")
        module = rel.split("/", 1)[0]
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                bracket, header = m.groups()
                where = "src/%s:%d: #include %s%s%s" % (
                    rel, number, bracket, header, ">" if bracket == "<" else '"')
                if bracket == "<":
                    if (TOOLKIT.match(header) or NETWORK.match(header)) and \
                            not rel.startswith(BACKENDS):
                        yield where + " (toolkit or network header outside the backends)"
                    continue
                target = header.split("/", 1)[0]
                if module not in rank:
                    continue
                if target not in rank:
                    if "/" in header:
                        yield where + " (the core includes %s/, which is not a layer)" % target
                    continue
                if rank[target] < rank[module]:
                    yield where + " (%s is above %s)" % (target, module)


def self_test(layers):
    """The checker finds what it is meant to find."""
    with tempfile.TemporaryDirectory() as root:
        files = {
            "%s/Low.h" % layers[-1]: '#include "%s/High.h"\n' % layers[0],
            "%s/High.h" % layers[0]: '#include "%s/Low.h"\n' % layers[-1],
            "%s/Window.cpp" % layers[1]: "#include <QWidget>\n#include <sys/socket.h>\n",
            "%s/Back.cpp" % layers[1]: '#include "platform/qt/QtDesktop.h"\n',
            "platform/qt/Fine.cpp": "#include <QWidget>\n",
        }
        for rel, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w") as f:
                f.write(text)
        found = list(offences(root, layers))
    expected = ["%s/Low.h:1" % layers[-1], "%s/Window.cpp:1" % layers[1],
                "%s/Window.cpp:2" % layers[1], "%s/Back.cpp:1" % layers[1]]
    missing = [e for e in expected if not any(("src/" + e + ":") in f for f in found)]
    if missing or len(found) != len(expected):
        print("the layer check itself is wrong: found", found, file=sys.stderr)
        return False
    return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--src", required=True)
    parser.add_argument("--layers", required=True, help="top to bottom, ';' or ',' between")
    args = parser.parse_args()
    layers = [l for l in re.split(r"[;,]", args.layers) if l]
    if not self_test(layers):
        return 2
    found = list(offences(args.src, layers))
    for line in found:
        print(line)
    if found:
        print("%d include(s) against the layers (%s, top to bottom)" % (len(found), " > ".join(layers)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
