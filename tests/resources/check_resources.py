#!/usr/bin/env python3
"""Checks the compiled resources of BIOSUpdate.exe.

    check_resources.py RES_FILE STRINGS_INC [OTHER_EXE]

RES_FILE is the .res file compiled from res/BIOSUpdate.rc, or an executable
(32- or 64-bit) that links it; STRINGS_INC is the list of texts it was made
from. With OTHER_EXE, the other build's executable, both are checked and must
carry the same resources, but for the lists of trusted files, which need only
name the same files. Prints every failed check and exits 1 when there is
one.
"""

import re
import struct
import sys
import xml.etree.ElementTree as ET

from pe import PeFile

RT_BITMAP, RT_ICON, RT_STRING, RT_DIALOG, RT_RCDATA = 2, 3, 6, 5, 10
RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 14, 16, 24
ENGLISH, KOREAN = 0x0409, 0x0412
TRUSTED_FILES = (RT_RCDATA, 300, ENGLISH)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


# --- .res file -------------------------------------------------------------

def read_name(data, pos):
    """A resource type or name: an ordinal after 0xFFFF, or a UTF-16 string."""
    first, = struct.unpack_from('<H', data, pos)
    if first == 0xFFFF:
        return struct.unpack_from('<H', data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from('<H', data, end)[0] != 0:
        end += 2
    return data[pos:end].decode('utf-16-le'), end + 2


def read_res(path):
    """{(type, name, language): data} of every entry but the leading empty one."""
    with open(path, 'rb') as f:
        data = f.read()
    entries = {}
    pos = 0
    while pos < len(data):
        size, header_size = struct.unpack_from('<II', data, pos)
        rtype, p = read_name(data, pos + 8)
        name, p = read_name(data, p)
        p = (p + 3) & ~3
        _, _, language = struct.unpack_from('<IHH', data, p)
        body = data[pos + header_size:pos + header_size + size]
        if (rtype, name) != (0, 0):
            key = (rtype, name, language)
            check(key not in entries, 'duplicate resource %r' % (key,))
            entries[key] = body
        pos = (pos + header_size + size + 3) & ~3
    return entries


def read_resources(path):
    """The entries of a .res file or of an executable's resource section."""
    with open(path, 'rb') as f:
        executable = f.read(2) == b'MZ'
    return PeFile.read(path).resources() if executable else read_res(path)


# --- strings.inc -----------------------------------------------------------

LITERAL = r'"((?:[^"\\]|\\.)*)"'
ENTRY = re.compile(r'^BIOSUPDATE_STRING\((\d+), ' + LITERAL + ', ' + LITERAL + r'\)$')


def unescape(text):
    def one(match):
        escapes = {'n': '\n', '\\': '\\', '"': '"'}
        check(match.group(1) in escapes, 'unexpected escape \\%s' % match.group(1))
        return escapes.get(match.group(1), '')
    return re.sub(r'\\(.)', one, text)


def read_strings(path):
    table = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.rstrip('\r\n')
            if line.startswith('//') or not line:
                continue
            match = ENTRY.match(line)
            if check(match, 'unreadable line in strings.inc: %s' % line):
                table[int(match.group(1))] = (unescape(match.group(2)), unescape(match.group(3)))
    return table


# --- string tables ---------------------------------------------------------

def decode_block(data):
    texts, pos = [], 0
    for _ in range(16):
        length, = struct.unpack_from('<H', data, pos)
        texts.append(data[pos + 2:pos + 2 + 2 * length])
        pos += 2 + 2 * length
    check(pos == len(data), 'string block has %d stray bytes' % (len(data) - pos))
    return texts


def check_strings(entries, table):
    check(sorted(table) == list(range(129, 151)), 'strings.inc ids: %s' % sorted(table))
    for language, column in ((ENGLISH, 0), (KOREAN, 1)):
        # Block 9 holds strings 128 to 143, block 10 those from 144.
        blocks = [entries.get((RT_STRING, n, language)) for n in (9, 10)]
        if not check(None not in blocks, 'string block 9 or 10 missing in language %#x' % language):
            continue
        texts = decode_block(blocks[0]) + decode_block(blocks[1])
        check(texts[0] == b'', 'string 128 is not empty in language %#x' % language)
        for index in range(1, 32):
            wanted = table.get(128 + index, ('', ''))[column].encode('utf-16-le')
            check(texts[index] == wanted, 'string %d (%#x) differs: %r' %
                  (128 + index, language, texts[index].decode('utf-16-le', 'replace')))
        confirm = texts[11].decode('utf-16-le', 'replace')
        check(confirm.count('\n') == 2 and '\r' not in confirm and not confirm.endswith('\n'),
              'string 139 (%#x) is not three lines joined by bare line feeds' % language)
    check(table.get(131, ('',))[0].endswith('. ') and len(table[131][0]) == 27,
          'string 131 in English must be 27 characters ending in a space')


# --- dialog template ---------------------------------------------------------

def read_sz(data, pos):
    end = pos
    while struct.unpack_from('<H', data, end)[0] != 0:
        end += 2
    return data[pos:end].decode('utf-16-le'), end + 2


def check_dialog(entries, language, face, charset):
    data = entries.get((RT_DIALOG, 102, language))
    if not check(data is not None, 'dialog 102 missing in language %#x' % language):
        return
    fields = struct.unpack_from('<HHIIIHhhhh', data, 0)
    check(fields == (1, 0xFFFF, 0, 0x00040000, 0x90000040, 0, 0, 0, 301, 49),
          'dialog 102 (%#x) header: %r' % (language, fields))
    pos = 26
    menu, klass, title = struct.unpack_from('<HHH', data, pos)
    check((menu, klass, title) == (0, 0, 0), 'dialog 102 (%#x) has a menu, class or title'
          % language)
    point, weight, italic, char_set = struct.unpack_from('<HHBB', data, pos + 6)
    font, end = read_sz(data, pos + 12)
    check((point, weight, italic, char_set, font) == (8, 400, 0, charset, face),
          'dialog 102 (%#x) font: %r' % (language, (point, weight, italic, char_set, font)))
    check(data[end:].strip(b'\0') == b'', 'dialog 102 (%#x) has controls' % language)


# --- version block -----------------------------------------------------------

def read_node(data, pos):
    """(key, value bytes, is_text, children, end) of one version-block node."""
    length, value_length, is_text = struct.unpack_from('<HHH', data, pos)
    key, p = read_sz(data, pos + 6)
    p = (p + 3) & ~3
    value_size = value_length * 2 if is_text else value_length
    value = data[p:p + value_size]
    p = (p + value_size + 3) & ~3
    children = []
    while p < pos + length:
        child = read_node(data, p)
        children.append(child)
        p = (child[4] + 3) & ~3
    return key, value, is_text, children, pos + length


def check_version(entries):
    data = entries.get((RT_VERSION, 1, ENGLISH))
    if not check(data is not None, 'version block 1 missing in English'):
        return
    key, fixed, _, children, _ = read_node(data, 0)
    check(key == 'VS_VERSION_INFO', 'version block key %r' % key)
    numbers = struct.unpack('<13I', fixed)
    version = (1 << 16 | 1508, 1126 << 16 | 3)
    check(numbers[0] == 0xFEEF04BD and numbers[2:4] == version and numbers[4:6] == version
          and numbers[6:13] == (0x3F, 0, 4, 1, 0, 0, 0),
          'fixed version info: %s' % [hex(n) for n in numbers])
    nodes = {child[0]: child for child in children}
    check(set(nodes) == {'StringFileInfo', 'VarFileInfo'}, 'version blocks %s' % list(nodes))
    tables = nodes.get('StringFileInfo', (0, 0, 0, []))[3]
    check([t[0] for t in tables] == ['040904e4'], 'string blocks %s' % [t[0] for t in tables])
    values = {}
    for table in tables:
        for child in table[3]:
            values[child[0]] = child[1].decode('utf-16-le').rstrip('\0')
    wanted = {
        'FileDescription': 'BIOS Update Program',
        'FileVersion': '1, 1508, 1126, 3',
        'InternalName': 'BIOSUpdate.exe',
        'ProductName': 'BIOS Update',
        'ProductVersion': '1, 1508, 1126, 3',
    }
    for name, text in wanted.items():
        check(values.get(name) == text, 'version %s = %r' % (name, values.get(name)))
    for name in ('CompanyName', 'LegalCopyright'):
        check(values.get(name), 'version %s is empty' % name)
    check(set(values) == set(wanted) | {'CompanyName', 'LegalCopyright'},
          'version string names %s' % sorted(values))
    var = nodes.get('VarFileInfo', (0, 0, 0, []))[3]
    check([(v[0], v[1]) for v in var] == [('Translation', struct.pack('<HH', 0x409, 1252))],
          'version translation %r' % var)


# --- manifests ---------------------------------------------------------------

ASM = '{urn:schemas-microsoft-com:asm.v1}'


def check_manifests(entries):
    empty = entries.get((RT_MANIFEST, 1, ENGLISH))
    if check(empty is not None, 'manifest 1 missing in English'):
        root = ET.fromstring(empty)
        check(root.tag == ASM + 'assembly' and root.attrib == {'manifestVersion': '1.0'}
              and len(root) == 0 and not (root.text or '').strip(),
              'manifest 1 is not an empty assembly')
    app = entries.get((RT_MANIFEST, 1024, ENGLISH))
    if not check(app is not None, 'manifest 1024 missing in English'):
        return
    check(app.startswith(b'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'),
          'manifest 1024 declaration')
    root = ET.fromstring(app)
    check(root.tag == ASM + 'assembly' and root.get('manifestVersion') == '1.0',
          'manifest 1024 root')
    identity = root.find(ASM + 'assemblyIdentity')
    check(identity is not None and identity.attrib == {
        'version': '1.0.0.0', 'processorArchitecture': 'X86',
        'name': 'Microsoft.Windows.BiosUpdate', 'type': 'win32'}, 'manifest 1024 identity')
    description = root.find(ASM + 'description')
    check(description is not None and description.text == 'Your app description here',
          'manifest 1024 description')
    dependency = root.find(ASM + 'dependency/' + ASM + 'dependentAssembly/' + ASM +
                           'assemblyIdentity')
    check(dependency is not None and dependency.attrib == {
        'type': 'win32', 'name': 'Microsoft.Windows.Common-Controls', 'version': '6.0.0.0',
        'processorArchitecture': 'X86', 'publicKeyToken': '6595b64144ccf1df', 'language': '*'},
        'manifest 1024 dependency')


# --- trusted files ---------------------------------------------------------

TRUSTED_LINE = re.compile(r'([0-9a-f]{64}) (0|[1-9][0-9]*) ([ -~]+)')


def check_trusted_files(entries):
    """The list of the work folder's files the program trusts, as the build
    writes it; returns the names it lists."""
    data = entries.get(TRUSTED_FILES)
    if not check(data, 'the list of trusted files is missing or empty'):
        return []
    text = data.decode('ascii', 'replace')
    check(text.endswith('\n'), 'the list of trusted files does not end with a line feed')
    names = []
    for line in text.split('\n')[:-1]:
        match = TRUSTED_LINE.fullmatch(line)
        if check(match, 'unreadable line in the list of trusted files: %r' % line):
            names.append(match.group(3))
    check(names == sorted(set(names)), 'trusted files not sorted or listed twice: %s' % names)
    check({'winflash.exe', 'K38KRPA24'} <= set(names), 'trusted files lack the utility or '
          'the image: %s' % names)
    return names


# --- icon ------------------------------------------------------------------

def check_icon(entries):
    group = entries.get((RT_GROUP_ICON, 128, KOREAN))
    image = entries.get((RT_ICON, 1, KOREAN))
    if not check(group is not None and image is not None, 'icon 128 missing in Korean'):
        return
    check(struct.unpack_from('<HHH', group) == (0, 1, 1), 'icon group 128 header')
    entry = struct.unpack_from('<BBBBHHIH', group, 6)
    check(entry == (32, 32, 16, 0, 1, 4, len(image), 1), 'icon group 128 entry %r' % (entry,))
    header = struct.unpack_from('<IiiHHI', image)
    check(header == (40, 32, 64, 1, 4, 0), 'icon image header %r' % (header,))
    check(len(image) == 40 + 16 * 4 + 32 * 16 + 32 * 4, 'icon image size %d' % len(image))


# --- pictures ----------------------------------------------------------------

class Picture:
    """A device-independent bitmap as stored in an RT_BITMAP resource."""

    def __init__(self, data):
        (self.header_size, self.width, self.height, self.planes, self.bpp, self.compression,
         _, _, _, used, _) = struct.unpack_from('<IiiHHIIiiII', data)
        count = (used or 16) if self.bpp == 4 else 0
        self.palette = [tuple(data[40 + 4 * i + 2 - c] for c in range(3)) for i in range(count)]
        self.stride = (self.width * self.bpp + 31) // 32 * 4
        self.pixels = data[40 + 4 * count:]

    def well_formed(self, width, height, bpp):
        return (self.header_size == 40 and self.width == width and self.height == height
                and self.planes == 1 and self.bpp == bpp and self.compression == 0
                and len(self.pixels) == self.stride * height
                and (bpp != 4 or len(self.palette) == 16))

    def at(self, x, y):
        """RGB of the pixel x, y, y counted from the top."""
        row = (self.height - 1 - y) * self.stride
        if self.bpp == 24:
            b, g, r = self.pixels[row + 3 * x:row + 3 * x + 3]
            return (r, g, b)
        byte = self.pixels[row + x // 2]
        return self.palette[byte >> 4 if x % 2 == 0 else byte & 15]


TRACK = (255, 351, 380, 365)
OUTER, INNER, CORNER = (188, 188, 188), (70, 70, 70), (126, 126, 126)
BLUES = [(45, 62, 210), (94, 127, 252), (141, 166, 255)]
BLACK = (0, 0, 0)


def check_track(picture, name):
    left, top, right, bottom = TRACK
    bad = []
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            colour = picture.at(x, y)
            if x in (left, right) and y in (top, bottom):
                ok = colour == CORNER
            elif x in (left, right) or y in (top, bottom):
                ok = colour == OUTER
            elif x in (left + 1, right - 1) or y in (top + 1, bottom - 1):
                ok = colour == INNER
            elif x in (left + 2, right - 2) and y in (top + 2, bottom - 2):
                ok = colour in (OUTER, INNER, CORNER)
            else:
                ok = colour == BLACK
            if not ok:
                bad.append((x, y, colour))
    check(not bad, '%s: track pixels wrong, first %r' % (name, bad[:3]))


def check_field(picture, name):
    """Below the artwork only the track may differ from black; the status
    lines are drawn at rows 300 to 335."""
    left, top, right, bottom = TRACK
    stray = [(x, y) for y in range(240, 480) for x in range(640)
             if not (left <= x <= right and top <= y <= bottom) and picture.at(x, y) != BLACK]
    check(not stray, '%s: non-black pixels below the artwork, first %r' % (name, stray[:3]))
    corners = [picture.at(x, y) for x in (0, 639) for y in (0, 479)]
    check(corners == [BLACK] * 4, '%s: the field is not black' % name)
    check(any(picture.at(x, y) != BLACK for y in range(240) for x in range(0, 640, 4)),
          '%s: no artwork in the upper half' % name)


def check_marker(picture):
    bad = []
    for y in range(9):
        band = picture.at(0, y)
        if band not in BLUES:
            bad.append((0, y, band))
        for x in range(22):
            wanted = BLACK if x % 8 >= 6 else band
            if picture.at(x, y) != wanted:
                bad.append((x, y, picture.at(x, y)))
    check(not bad, 'marker 132: pixels wrong, first %r' % bad[:3])
    shades = {picture.at(0, y) for y in range(9)}
    check(shades == set(BLUES), 'marker 132: shades %r' % shades)


def check_pictures(entries):
    formats = {132: (22, 9, 4), 134: (640, 480, 4), 135: (640, 480, 24)}
    pictures = {}
    for number, (width, height, bpp) in formats.items():
        data = entries.get((RT_BITMAP, number, KOREAN))
        if not check(data is not None, 'bitmap %d missing in Korean' % number):
            continue
        picture = Picture(data)
        if check(picture.well_formed(width, height, bpp),
                 'bitmap %d is not an uncompressed %dx%d %d bpp bottom-up picture'
                 % (number, width, height, bpp)):
            pictures[number] = picture
    for number in (134, 135):
        if number in pictures:
            check_track(pictures[number], 'bitmap %d' % number)
            check_field(pictures[number], 'bitmap %d' % number)
    for number, colours in ((134, [OUTER, INNER, CORNER, BLACK]), (132, BLUES + [BLACK])):
        if number in pictures:
            missing = [c for c in colours if c not in pictures[number].palette]
            check(not missing, 'bitmap %d palette lacks %r' % (number, missing))
    if 132 in pictures:
        check_marker(pictures[132])


def check_all(entries, strings):
    expected = {
        (RT_STRING, 9, ENGLISH), (RT_STRING, 9, KOREAN),
        (RT_STRING, 10, ENGLISH), (RT_STRING, 10, KOREAN),
        (RT_DIALOG, 102, ENGLISH), (RT_DIALOG, 102, KOREAN),
        (RT_VERSION, 1, ENGLISH), (RT_MANIFEST, 1, ENGLISH), (RT_MANIFEST, 1024, ENGLISH),
        (RT_ICON, 1, KOREAN), (RT_GROUP_ICON, 128, KOREAN),
        (RT_BITMAP, 132, KOREAN), (RT_BITMAP, 134, KOREAN), (RT_BITMAP, 135, KOREAN),
        TRUSTED_FILES,
    }
    check(set(entries) == expected, 'resource set differs: extra %s, missing %s'
          % (sorted(set(entries) - expected, key=str), sorted(expected - set(entries), key=str)))
    check_strings(entries, strings)
    check_dialog(entries, ENGLISH, 'Tahoma', 0)
    check_dialog(entries, KOREAN, '\uad74\ub9bc', 129)
    check_version(entries)
    check_manifests(entries)
    check_icon(entries)
    check_pictures(entries)
    return check_trusted_files(entries)


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__)
        return 2
    strings = read_strings(argv[2])
    entries = read_resources(argv[1])
    trusted = check_all(entries, strings)
    if len(argv) == 4:
        other = read_resources(argv[3])
        other_trusted = check_all(other, strings)
        # Each build trusts its own stand-in winflash.exe, and the 32- and
        # 64-bit ones differ: the two lists need only name the same files.
        differ = sorted((k for k in set(entries) | set(other)
                         if k != TRUSTED_FILES and entries.get(k) != other.get(k)), key=str)
        check(not differ, '%s and %s differ in %s' % (argv[1], argv[3], differ))
        check(trusted == other_trusted, 'the builds trust files of other names: %s and %s'
              % (trusted, other_trusted))
    for message in failures:
        print('FAIL: ' + message)
    print('%d resources checked, %d failures' % (len(entries), len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
