#!/usr/bin/env python3
"""Checks that a build of BIOSUpdate.exe (32- or 64-bit) is hardened and stripped.

    check_exe.py EXE

Prints every failed check and exits 1 when there is one."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / 'resources'))

from pe import DIR_DEBUG, DIR_SECURITY, PeFile  # noqa: E402

HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x0020, 0x0040, 0x0100
SCN_EXECUTE, SCN_WRITE = 0x20000000, 0x80000000
# DLLs every Windows installation has in its system folder.
SYSTEM_DLLS = {'advapi32.dll', 'comctl32.dll', 'gdi32.dll', 'kernel32.dll', 'msvcrt.dll',
               'ole32.dll', 'oleaut32.dll', 'shell32.dll', 'shlwapi.dll', 'user32.dll'}
# Written by libssp's __stack_chk_fail, which the protected functions call.
STACK_SMASHING = b'*** stack smashing detected ***'


def problems(pe):
    if not pe.dll_characteristics & DYNAMIC_BASE:
        yield 'DYNAMIC_BASE is not set'
    if not pe.dll_characteristics & NX_COMPAT:
        yield 'NX_COMPAT is not set'
    if pe.is_64_bit and not pe.dll_characteristics & HIGH_ENTROPY_VA:
        yield 'HIGH_ENTROPY_VA is not set'
    for s in pe.sections:
        if s.characteristics & SCN_EXECUTE and s.characteristics & SCN_WRITE:
            yield 'section %s is writable and executable' % s.name
    if STACK_SMASHING not in pe.data:
        yield 'no stack protection: libssp is not linked in'
    foreign = [n for n in pe.imported_dlls() if n.lower() not in SYSTEM_DLLS]
    if foreign:
        yield 'imports DLLs that are not system DLLs: %s' % ', '.join(foreign)
    if pe.timestamp:
        yield 'the header carries a time stamp (%#x)' % pe.timestamp
    if pe.directory(DIR_DEBUG)[1]:
        yield 'there is a debug directory'
    if pe.symbol_table or any(s.name.startswith(('.debug', '/')) for s in pe.sections):
        yield 'symbols or debug sections are left: %s' % [s.name for s in pe.sections]
    if pe.directory(DIR_SECURITY)[1]:
        yield 'the file is signed already'


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    pe = PeFile.read(argv[1])
    found = list(problems(pe))
    for message in found:
        print('FAIL: ' + message)
    print('%s: %d sections, imports %s; %d failures'
          % (argv[1], len(pe.sections), ', '.join(pe.imported_dlls()), len(found)))
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
