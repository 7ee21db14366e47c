#!/usr/bin/env python3
"""Checks that Windows XP can load a build of BIOSUpdate.exe: that every
function it imports is exported by the oldest Windows the build supports, and
that its PE header asks for no newer Windows.

    check_imports.py EXE [LIST]

The oldest Windows is XP SP3 (NT 5.1) for the 32-bit build and XP x64 /
Server 2003 SP2 (NT 5.2) for the 64-bit one. LIST (imports/system-imports.tsv
by default) names each function the program may import, its DLL and the
first Windows that has it; an import missing from it fails until someone has
looked it up. Prints every failure and exits 1 when there is one."""

import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / 'resources'))

from pe import PeFile  # noqa: E402

OLDEST = {False: ((5, 1), 'Windows XP SP3'), True: ((5, 2), 'Windows XP x64 / Server 2003 SP2')}


def version(text):
    major, minor = text.split('.')
    return int(major), int(minor)


def read_list(path):
    """{(DLL in upper case, function): (first version, source)}."""
    allowed = {}
    for number, line in enumerate(Path(path).read_text().splitlines(), 1):
        if not line.strip() or line.startswith('#'):
            continue
        fields = line.split('\t')
        if len(fields) < 4:
            raise ValueError('%s:%d: expected dll, function, first, source' % (path, number))
        dll, function, first, source = fields[:4]
        key = (dll.upper(), function)
        if key in allowed:
            raise ValueError('%s:%d: %s!%s is listed twice' % (path, number, dll, function))
        allowed[key] = (version(first), source)
    return allowed


def problems(pe, allowed):
    oldest, name = OLDEST[pe.is_64_bit]
    shown = '%d.%d' % oldest
    for what, found in zip(('operating-system', 'subsystem'), pe.os_versions):
        if found > oldest:
            yield ('the PE header asks for %s version %d.%d, above %s (%s): the loader '
                   'refuses the image' % (what, found[0], found[1], shown, name))
    for dll, function in pe.imported_functions():
        entry = allowed.get((dll.upper(), function))
        if entry is None:
            yield ('%s!%s is not in the list of system imports: look up the first Windows '
                   'that exports it and add it' % (dll, function))
        elif entry[0] > oldest:
            yield ('%s!%s first came with NT %d.%d (%s), after %s (%s)'
                   % (dll, function, entry[0][0], entry[0][1], entry[1], shown, name))


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__)
        return 2
    pe = PeFile.read(argv[1])
    allowed = read_list(argv[2] if len(argv) == 3 else HERE / 'imports' / 'system-imports.tsv')
    found = list(problems(pe, allowed))
    for message in found:
        print('FAIL: ' + message)
    print('%s: %d imports checked against %s; %d failures'
          % (argv[1], len(pe.imported_functions()), OLDEST[pe.is_64_bit][1], len(found)))
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
