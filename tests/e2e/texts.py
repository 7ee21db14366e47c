"""The program's texts, read from res/strings.inc (one entry a line:
BIOSUPDATE_STRING(id, "English", "Korean"))."""

import re
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
_LITERAL = r'"(?:[^"\\]|\\.)*"'
_ENTRY = re.compile(rf"^\s*BIOSUPDATE_STRING\(\s*(\d+)\s*,\s*((?:{_LITERAL}\s*)+),"
                    rf"\s*((?:{_LITERAL}\s*)+)\)")
_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\", "'": "'"}


def _unquote(literals):
    text = ""
    for literal in re.findall(_LITERAL, literals):
        body = literal[1:-1]
        text += re.sub(r"\\(.)", lambda m: _ESCAPES.get(m.group(1), m.group(1)), body)
    return text


def load(path=REPO / "res" / "strings.inc"):
    """{id: {"en": text, "ko": text}}"""
    table = {}
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        m = _ENTRY.match(line)
        if m:
            table[int(m.group(1))] = {"en": _unquote(m.group(2)), "ko": _unquote(m.group(3))}
    return table
