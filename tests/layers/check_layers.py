#!/usr/bin/env python3
"""Checks the layers of src/: every #include "..." of a source there must
name a header of its own folder or of a layer below its own, so that the
folders include each other in one direction only (no circle); and the
platform's private headers (its inner calls, the test switches) stay in it.

    check_layers.py SRC_DIR      check the sources; status 1 on any fault
    check_layers.py --self-test  show that an upward include is caught
"""
import os
import re
import sys
import tempfile

# Top to bottom, as README's "Where things are" lists them. A layer is a set
# of folders (or, for the backend contract, one header); a folder may use its
# own headers and those of any layer below, never one of its own layer's
# other folders.
LAYERS = [
    ("shell", ["shell"]),
    ("display", ["display"]),
    ("present", ["present"]),
    ("text", ["text"]),
    ("picture", ["picture"]),
    ("music", ["music"]),
    ("base", ["base"]),
    ("platform", ["platform"]),
    ("builds", ["platform/builds"]),
    ("backends", ["platform/sdl", "platform/headless", "platform/web"]),
    ("sound", ["platform/sound"]),
    ("contract", ["platform/backend.h"]),
    ("common", ["common"]),
]

# Headers of the platform that no other folder of src/ includes: its units'
# calls on each other, and what only tests use (the viewer never includes it).
PRIVATE = {"platform/internal.h": "platform", "platform/testing.h": "platform"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE_ENDINGS = (".h", ".cpp", ".def")


def unit_of(path):
    """The folder (or the contract header) a path below src/ belongs to,
    with its layer's rank (0 is the top); None for an unknown place."""
    for rank, (_, units) in enumerate(LAYERS):
        for unit in units:
            if unit.endswith(".h") and path == unit:
                return unit, rank
    best = None
    for rank, (_, units) in enumerate(LAYERS):
        for unit in units:
            if not unit.endswith(".h") and path.startswith(unit + "/"):
                if best is None or len(unit) > len(best[0]):
                    best = (unit, rank)
    return best


def check(src):
    faults = []
    edges = {}
    for folder, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith(SOURCE_ENDINGS):
                continue
            full = os.path.join(folder, name)
            path = os.path.relpath(full, src).replace(os.sep, "/")
            here = unit_of(path)
            if here is None:
                faults.append(f"src/{path}: in no layer; add its folder to tests/layers/check_layers.py")
                continue
            with open(full, encoding="utf-8", errors="replace") as lines:
                for number, line in enumerate(lines, 1):
                    match = INCLUDE.match(line)
                    if match is None:
                        continue
                    target = match.group(1)
                    if not os.path.isfile(os.path.join(src, target)):
                        beside = os.path.normpath(os.path.join(os.path.dirname(path), target)).replace(os.sep, "/")
                        if os.path.isfile(os.path.join(src, beside)) and not beside.startswith(".."):
                            target = beside  # a header of the same folder, named without it
                        else:
                            faults.append(f"src/{path}:{number}: includes \"{target}\", which is not in src/ "
                                          "(a library's header goes in <>)")
                            continue
                    there = unit_of(target)
                    if there is None:
                        faults.append(f"src/{path}:{number}: includes {target}, which is in no layer")
                        continue
                    if there[0] != here[0]:
                        edges.setdefault(here[0], set()).add(there[0])
                    if target in PRIVATE and here[0] != PRIVATE[target]:
                        faults.append(f"src/{path}:{number}: includes {target}, which only {PRIVATE[target]} may")
                        continue
                    if there[0] == here[0] or there[1] > here[1]:
                        continue
                    faults.append(
                        f"src/{path}:{number}: includes {target} ({LAYERS[there[1]][0]}), "
                        f"a layer not below its own ({LAYERS[here[1]][0]})")
    faults += circles(edges)
    return faults


def circles(edges):
    """Every circle of includes between folders, once."""
    found = []
    state = {}

    def visit(unit, trail):
        state[unit] = "open"
        for other in sorted(edges.get(unit, ())):
            if state.get(other) == "open":
                loop = trail[trail.index(other):] + [other]
                found.append("folders include each other in a circle: " + " -> ".join(loop))
            elif other not in state:
                visit(other, trail + [other])
        state[unit] = "done"

    for unit in sorted(edges):
        if unit not in state:
            visit(unit, [unit])
    return found


def self_test():
    """A small tree with a clean include and one of each fault."""
    cases = {
        "clean": ({"common/a.h": "", "platform/backend.h": '#include "common/a.h"\n',
                   "platform/sdl/x.cpp": '#include "platform/backend.h"\n#include "common/a.h"\n',
                   "shell/main.cpp": '#include "platform/sdl/x.h"\n', "platform/sdl/x.h": ""}, 0),
        "upward": ({"common/a.h": '#include "base/b.h"\n', "base/b.h": ""}, 1),
        "backend reaching into the platform": (
            {"platform/internal.h": "", "platform/web/v.cpp": '#include "platform/internal.h"\n'}, 1),
        "backends side by side": ({"platform/sdl/s.h": "", "platform/headless/h.cpp": '#include "platform/sdl/s.h"\n'}, 1),
        "unknown folder": ({"extra/e.cpp": ""}, 1),
        "viewer with the test switches": ({"platform/testing.h": "", "music/m.cpp": '#include "platform/testing.h"\n'}, 1),
        "a header from outside src/": ({"platform/web/v.cpp": '#include "orbex_web.h"\n'}, 1),
        "a header beside it": ({"platform/web/m/a.h": "", "platform/web/m/b.cpp": '#include "a.h"\n'}, 0),
    }
    ok = True
    for name, (files, wanted) in cases.items():
        with tempfile.TemporaryDirectory() as src:
            for path, text in files.items():
                os.makedirs(os.path.dirname(os.path.join(src, path)), exist_ok=True)
                with open(os.path.join(src, path), "w", encoding="utf-8") as out:
                    out.write(text)
            faults = check(src)
            if len(faults) != wanted:
                ok = False
                print(f"self-test {name}: {len(faults)} faults instead of {wanted}: {faults}")
    print("self-test passed" if ok else "self-test failed")
    return 0 if ok else 1


def main(args):
    if args == ["--self-test"]:
        return self_test()
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    faults = check(args[0])
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layers", file=sys.stderr)
        return 1
    print("every include runs down the layers; no folders include each other in a circle")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
