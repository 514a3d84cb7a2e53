#!/usr/bin/env python3
"""Every state object in src/ starts afresh with the rest.

A state object is a variable at namespace scope in a .cpp file (the
viewer's subsystems keep one struct each, the platform one per unit). Each
must be started afresh by one of:

- the viewer's reset, src/shell/reset.cpp, which names it;
- a reset or shutdown function of its own file (resetClock, shutdown, ...),
  which names it;
- a function its definition's comment names as "Reset by NAME()." that the
  viewer's reset or the platform's (src/platform/testing.cpp) calls.

A comment "Not state:" above a definition says why it holds none.

    check_reset.py SRC_DIR      check the sources; status 1 on any fault
    check_reset.py --self-test  show that a state left out is caught
"""
import re
import sys
import tempfile
from pathlib import Path

DEFINITION = re.compile(
    r"^(?:static )?(?:std::unique_ptr<[^;]+>|std::[a-z_:]+<[^;]*>|[A-Z]\w*(?: \*|\*)?) ?([a-z]\w*)(?: = [^;]+)?;$"
)
RESET_FUNCTION = re.compile(r"^\w[\w:<>* ]* ((?:reset|shutdown)\w*)\([^)]*\)[^{;]*\{", re.M)
RESET_BY = re.compile(r"Reset by (\w+)\(\)")


def body_from(text, start):
    """The text of the braces that open at or after start."""
    depth = 0
    i = text.index("{", start)
    for j in range(i, len(text)):
        if text[j] == "{":
            depth += 1
        elif text[j] == "}":
            depth -= 1
            if depth == 0:
                return text[i : j + 1]
    return text[i:]


def names(text, name):
    return re.search(r"\b" + re.escape(name) + r"\b", text) is not None


def comment_above(lines, index):
    out = []
    k = index - 1
    while k >= 0 and lines[k].lstrip().startswith("//"):
        out.append(lines[k])
        k -= 1
    return "\n".join(reversed(out))


def faults(src):
    src = Path(src)
    reset = src / "shell" / "reset.cpp"
    platform_reset = src / "platform" / "testing.cpp"
    resets = "".join(p.read_text() for p in (reset, platform_reset) if p.exists())
    found = []
    for path in sorted(src.rglob("*.cpp")):
        text = path.read_text()
        lines = text.split("\n")
        own = " ".join(body_from(text, m.start()) for m in RESET_FUNCTION.finditer(text))
        for index, line in enumerate(lines):
            m = DEFINITION.match(line)
            if not m:
                continue
            name = m.group(1)
            comment = comment_above(lines, index)
            if "Not state:" in comment:
                continue
            if reset.exists() and path != reset and names(reset.read_text(), name):
                continue
            if names(own, name):
                continue
            by = RESET_BY.search(comment)
            if by and by.group(1) + "(" in resets:
                continue
            rel = path.relative_to(src)
            found.append(f"{rel}:{index + 1}: {name} is not started afresh by any reset")
    return found


def self_test():
    with tempfile.TemporaryDirectory() as tmp:
        src = Path(tmp)
        (src / "shell").mkdir()
        (src / "shell" / "reset.cpp").write_text("void resetViewer() { startAfresh(aState); unmountThing(); }\n")
        (src / "a.cpp").write_text("AState aState;\nBState bState;\n")
        (src / "b.cpp").write_text(
            "Clock clock;\nvoid resetClock() { clock = Clock{}; }\n"
            "// Reset by unmountThing().\nstd::unique_ptr<Thing> thing;\n"
            "// Reset by forgotten().\nOther other = nullptr;\n"
            "// Not state: made afresh by every call.\nView view;\n"
        )
        got = faults(src)
        want = ["a.cpp:2: bState is not started afresh by any reset",
                "b.cpp:6: other is not started afresh by any reset"]
        if got != want:
            print("self-test failed:", got)
            return 1
    print("self-test passed")
    return 0


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    if sys.argv[1] == "--self-test":
        return self_test()
    found = faults(sys.argv[1])
    for f in found:
        print(f)
    if found:
        return 1
    print("every state object starts afresh with the rest")
    return 0


if __name__ == "__main__":
    sys.exit(main())
