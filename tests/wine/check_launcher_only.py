#!/usr/bin/env python3
"""Fails when a script, test or build file of the project calls Wine other
than through tests/wine/wine.sh: `wine`, `wine64`, `wineboot`, `wineserver`
and the like, or Wine's loaders by their paths. A stray call would pick
Debian's 32-bit loader and fail on a machine that runs no 32-bit code.

    check_launcher_only.py [ROOT]"""

import re
import subprocess
import sys
from pathlib import Path

LAUNCHER = "tests/wine/wine.sh"
# Names the package list holds, not calls.
NOT_CALLS = {"scripts/install-deps.sh"}
PROGRAM = (r"(?:/usr/(?:bin|lib/wine)/)?"
           r"(?:wine|wine64|wine-stable|wineboot|wineserver|winedbg|winecfg|winepath)"
           r"(?![\w.-])")
CALLS = {
    # A shell command: at the start of a command, perhaps after assignments.
    ".sh": re.compile(r"(?:^|[;&|(]|\$\(|\b(?:exec|then|do|else|time|command|sudo)\s)\s*"
                      r"(?:\w+=\S*\s+)*" + PROGRAM),
    # A Python argument list: its first element.
    ".py": re.compile(r"\[\s*f?[\"']" + PROGRAM + r"[\"' ]"),
    # A CMake command or test emulator.
    ".cmake": re.compile(r"\b(?:COMMAND|EMULATOR)\s+" + PROGRAM),
}
CALLS["CMakeLists.txt"] = CALLS[".cmake"]


def code_of(line):
    """The line without a trailing # comment (shell, Python, CMake)."""
    return re.sub(r"(^|\s)#.*$", "", line)


def stray_calls(root):
    listed = subprocess.run(["git", "-C", str(root), "ls-files", "--cached", "--others",
                             "--exclude-standard"], capture_output=True, text=True, check=True)
    for name in listed.stdout.splitlines():
        path = root / name
        call = next((c for end, c in CALLS.items() if name.endswith(end)), None)
        if not call or name == LAUNCHER or name in NOT_CALLS or not path.is_file():
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = call.search(code_of(line))
            if match:
                yield f"{name}:{number}: {line.strip()!r}"


def main(argv):
    root = Path(argv[1] if len(argv) > 1 else Path(__file__).resolve().parents[2])
    found = list(stray_calls(root))
    for message in found:
        print("FAIL: Wine called outside " + LAUNCHER + ": " + message)
    print(f"{len(found)} calls of Wine outside {LAUNCHER}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
