"""Reads the parts of a PE file (an .exe, 32-bit PE32 or 64-bit PE32+) that
the checks look at: the headers, the section table, the imported DLLs and the
resources."""

import struct
from dataclasses import dataclass

DIR_IMPORT, DIR_RESOURCE, DIR_SECURITY, DIR_DEBUG = 1, 2, 4, 6
MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664
# Optional header magic: where the data directories' count lies.
DIRECTORY_COUNT_AT = {0x10B: 92, 0x20B: 108}


@dataclass
class Section:
    name: str
    rva: int
    virtual_size: int
    offset: int
    size: int
    characteristics: int


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b'MZ':
            raise ValueError('not an MZ executable')
        pe, = struct.unpack_from('<I', data, 0x3C)
        if data[pe:pe + 4] != b'PE\0\0':
            raise ValueError('no PE signature')
        (self.machine, count, self.timestamp, self.symbol_table, _, optional_size,
         self.characteristics) = struct.unpack_from('<HHIIIHH', data, pe + 4)
        optional = pe + 24
        magic, = struct.unpack_from('<H', data, optional)
        if magic not in DIRECTORY_COUNT_AT:
            raise ValueError('not a PE32 or PE32+ file (optional header magic %#x)' % magic)
        self.is_64_bit = magic == 0x20B
        self.dll_characteristics, = struct.unpack_from('<H', data, optional + 70)
        count_at = optional + DIRECTORY_COUNT_AT[magic]
        directory_count, = struct.unpack_from('<I', data, count_at)
        self.directories = [struct.unpack_from('<II', data, count_at + 4 + 8 * i)
                            for i in range(directory_count)]
        self.sections = []
        table = optional + optional_size
        for i in range(count):
            raw_name, vsize, rva, size, offset = struct.unpack_from('<8sIIII', data, table + 40 * i)
            characteristics, = struct.unpack_from('<I', data, table + 40 * i + 36)
            self.sections.append(Section(raw_name.rstrip(b'\0').decode('latin-1'), rva, vsize,
                                         offset, size, characteristics))

    @classmethod
    def read(cls, path):
        with open(path, 'rb') as f:
            return cls(f.read())

    def directory(self, index):
        """(rva, size) of a data directory, (0, 0) when absent."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def offset(self, rva):
        for s in self.sections:
            if s.rva <= rva < s.rva + max(s.virtual_size, s.size):
                return rva - s.rva + s.offset
        raise ValueError('address %#x lies in no section' % rva)

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b'\0', start)].decode('latin-1')

    def imported_dlls(self):
        rva, _ = self.directory(DIR_IMPORT)
        names = []
        pos = self.offset(rva) if rva else None
        while pos is not None:
            lookup, _, _, name, thunks = struct.unpack_from('<IIIII', self.data, pos)
            if not (lookup or name or thunks):
                break
            names.append(self.c_string(name))
            pos += 20
        return names

    def resources(self):
        """{(type, name, language): data}, types and names as numbers or
        strings, as read_res of check_resources.py gives them."""
        rva, _ = self.directory(DIR_RESOURCE)
        if not rva:
            return {}
        base = self.offset(rva)
        entries = {}

        def walk(table, path):
            named, numbered = struct.unpack_from('<HH', self.data, base + table + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from('<II', self.data, base + table + 16 + 8 * i)
                if key & 0x80000000:
                    pos = base + (key & 0x7FFFFFFF)
                    length, = struct.unpack_from('<H', self.data, pos)
                    key = self.data[pos + 2:pos + 2 + 2 * length].decode('utf-16-le')
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + (key,))
                else:
                    data_rva, size = struct.unpack_from('<II', self.data, base + target)
                    start = self.offset(data_rva)
                    entries[path + (key,)] = self.data[start:start + size]

        walk(0, ())
        return entries

    def imported_functions(self):
        """[(dll, function)] in the order of the import table; a function
        imported by ordinal is named '#N'."""
        rva, _ = self.directory(DIR_IMPORT)
        found = []
        pos = self.offset(rva) if rva else None
        thunk_size, ordinal_flag = (8, 1 << 63) if self.is_64_bit else (4, 1 << 31)
        while pos is not None:
            lookup, _, _, name, thunks = struct.unpack_from('<IIIII', self.data, pos)
            if not (lookup or name or thunks):
                break
            dll = self.c_string(name)
            at = self.offset(lookup or thunks)
            while True:
                entry, = struct.unpack_from('<Q' if self.is_64_bit else '<I', self.data, at)
                if not entry:
                    break
                if entry & ordinal_flag:
                    found.append((dll, '#%d' % (entry & 0xFFFF)))
                else:
                    found.append((dll, self.c_string((entry & 0x7FFFFFFF) + 2)))
                at += thunk_size
            pos += 20
        return found

    @property
    def os_versions(self):
        """((major, minor) of the operating system, (major, minor) of the
        subsystem) the image asks for."""
        pe, = struct.unpack_from('<I', self.data, 0x3C)
        optional = pe + 24
        os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from(
            '<HHHHHH', self.data, optional + 40)
        return (os_major, os_minor), (sub_major, sub_minor)
