#!/usr/bin/env python3
"""Runs scripts/package.sh with the build's vendor files and checks the ZIP
it writes, signed and unsigned, the list of trusted files of the program in
it (names with blanks and files in a subfolder too), and that it writes none
when a vendor file is missing, misnamed or has a name the program cannot read
(nor does the build list such a folder's files).

    package_test.py EXE VENDOR

EXE is the built BIOSUpdate.exe, VENDOR the folder of the files it trusts
(by default the stand-in winflash.exe and K38KRPA24)."""

import hashlib
import struct
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / 'tests' / 'resources'))

from pe import MACHINE_I386, PeFile  # noqa: E402

RT_RCDATA, RT_VERSION, ENGLISH = 10, 16, 0x0409
TRUSTED_FILES = 300
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def file_version(exe):
    """The dotted FILEVERSION of the exe's fixed version information."""
    block = PeFile.read(exe).resources()[(RT_VERSION, 1, ENGLISH)]
    fixed = block.index(struct.pack('<I', 0xFEEF04BD))
    high, low = struct.unpack_from('<II', block, fixed + 8)
    return '%d.%d.%d.%d' % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)


def package(work, name, vendor_files, *options):
    """Runs package.sh on a vendor folder holding vendor_files; returns the
    result and the folder it was to write into."""
    vendor, out = work / name / 'vendor', work / name / 'out'
    vendor.mkdir(parents=True)
    for file_name, data in vendor_files.items():
        (vendor / file_name).parent.mkdir(parents=True, exist_ok=True)
        (vendor / file_name).write_bytes(data)
    result = subprocess.run(['bash', str(ROOT / 'scripts' / 'package.sh'), '--vendor',
                             str(vendor), '--out', str(out), *options],
                            capture_output=True, text=True)
    return result, out


def check_zip(path, exe, vendor_files):
    """The entries of the ZIP at path, their sums, the README and the files
    the program trusts; returns the program's bytes."""
    with zipfile.ZipFile(path) as archive:
        entries = {name: archive.read(name) for name in archive.namelist()}
    shipped = {'Zarel_bios/' + name: data for name, data in vendor_files.items()}
    wanted = sorted(['BIOSUpdate.exe', 'README.txt', 'SHA256SUMS', *shipped])
    if not check(sorted(entries) == wanted, '%s holds %s' % (path.name, sorted(entries))):
        return b''
    program = PeFile(entries['BIOSUpdate.exe'])
    check(program.machine == MACHINE_I386, 'the packaged BIOSUpdate.exe is not the 32-bit build')
    for name, data in shipped.items():
        check(entries[name] == data, '%s is not the vendor\'s' % name)
    listed_names = {name.replace('/', '\\'): data for name, data in vendor_files.items()}
    trusted = ''.join('%s %d %s\n' % (hashlib.sha256(data).hexdigest(), len(data), name)
                      for name, data in sorted(listed_names.items())).encode()
    listed = program.resources().get((RT_RCDATA, TRUSTED_FILES, ENGLISH))
    check(listed == trusted, '%s: the program trusts %r, not the vendor\'s files'
          % (path.name, listed))
    sums = {}
    for line in entries['SHA256SUMS'].decode().splitlines():
        digest, name = line.split('  ', 1)
        sums[name] = digest
    check(sums == {name: hashlib.sha256(entries[name]).hexdigest()
                   for name in wanted if name != 'SHA256SUMS'},
          'SHA256SUMS does not match the files: %r' % sums)
    readme = entries['README.txt'].decode()
    check(file_version(exe) in readme and '\r\n' in readme,
          'README.txt names no version or has no Windows line ends')
    return entries['BIOSUpdate.exe']


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    exe, built_vendor = Path(argv[1]), Path(argv[2])
    built = exe.read_bytes()
    zip_name = 'BIOSUpdate-%s.zip' % file_version(exe)
    vendor = {p.name: p.read_bytes() for p in built_vendor.iterdir() if p.is_file()}
    winflash, image = vendor['winflash.exe'], vendor['K38KRPA24']
    # A vendor may ship more files, in subfolders too; they go into the ZIP
    # and the list too.
    with_notes = {**vendor, 'Release Notes.txt': b'Vendor notes\r\n',
                  'lang/en-US.bin': b'strings', 'lang/ko/' + 'k' * 112: b'strings'}
    with tempfile.TemporaryDirectory() as temp:
        work = Path(temp)

        # The build's own files give the build's own program, in the package's
        # build folder too.
        result, out = package(work, 'unsigned', vendor)
        if check(result.returncode == 0 and (out / zip_name).is_file(),
                 'no %s: %s' % (zip_name, result.stderr)):
            check(sorted(p.name for p in out.iterdir()) == [zip_name],
                  'the output folder holds %s' % sorted(p.name for p in out.iterdir()))
            check(check_zip(out / zip_name, exe, vendor) == built,
                  'the unsigned ZIP\'s BIOSUpdate.exe is not the built one')

        certs = work / 'cert'
        subprocess.run(['bash', str(Path(__file__).parent / 'make-signing-cert.sh'),
                        str(certs)], check=True)
        result, out = package(work, 'signed', with_notes, '--cert', str(certs / 'cert.pem'),
                              '--key', str(certs / 'key.pem'), '--ca', str(certs / 'ca.pem'))
        if check(result.returncode == 0, 'signed package failed: %s' % result.stderr):
            signed = out / 'BIOSUpdate.exe'
            signed.write_bytes(check_zip(out / zip_name, exe, with_notes))
            verify = subprocess.run(['osslsigncode', 'verify', '-CAfile', str(certs / 'ca.pem'),
                                     '-in', str(signed)], capture_output=True, text=True)
            check(verify.returncode == 0, 'the ZIP\'s BIOSUpdate.exe does not verify: %s'
                  % verify.stdout[-500:])
        check(exe.read_bytes() == built, 'packaging changed the built BIOSUpdate.exe')

        # Built again after the other files, the same files give the same ZIP.
        result, out = package(work, 'again', vendor)
        first = work / 'unsigned' / 'out' / zip_name
        check(result.returncode == 0 and first.is_file()
              and (out / zip_name).read_bytes() == first.read_bytes(),
              'two packagings of the same files differ: %s' % result.stderr)

        broken = {
            'no_utility': ({'K38KRPA24': image}, 'lacks winflash.exe'),
            'image_renamed': ({'winflash.exe': winflash, 'K38KRPA25': image}, 'lacks K38KRPA24'),
            'image_lower_case': ({'winflash.exe': winflash, 'k38krpa24': image},
                                 'lacks K38KRPA24'),
        }
        # Names the program could not read, each with the reason.
        for i, (bad, reason) in enumerate([
                ('Notes?.txt', '"Notes?.txt" holds one of'),
                ('lang/CON.txt', '"CON.txt" is the device CON'),
                ('Notes.', '"Notes." ends in a dot or a blank'),
                ('Notes\x01', '"Notes\x01" holds a control character'),
                ('WINFLASH.EXE', '"WINFLASH.EXE" and "winflash.exe" in'),
                ('lang/THUMBS.DB', 'Explorer rewrites the file "lang/THUMBS.DB"'),
                ('Desktop.ini', 'rewrites the file "Desktop.ini"'), ('n' * 121, '121 characters'),
                ('k38krpa24/notes', 'sees "k38krpa24" in both')]):
            broken['bad_name_%d' % i] = ({**vendor, bad: b'x'}, reason)
        for name, (files, reason) in broken.items():
            result, out = package(work, name, files)
            check(result.returncode != 0, '%s: package.sh succeeded' % name)
            check(reason in result.stderr and 'no ZIP' in result.stderr,
                  '%s: unclear error %r' % (name, result.stderr))
            check(not out.exists() or not any(out.iterdir()), '%s: a file was written' % name)
            # Nor does the build list such a folder.
            listed = work / name / 'TrustedFiles.txt'
            result = subprocess.run(['cmake', '-DVENDOR_DIR=%s' % (work / name / 'vendor'),
                                     '-DLIST=%s' % listed, '-P',
                                     str(ROOT / 'cmake' / 'TrustedFiles.cmake')],
                                    capture_output=True, text=True)
            check(result.returncode != 0 and not listed.exists()
                  and reason in ' '.join(result.stderr.split()),
                  '%s: the build lists the files: %r' % (name, result.stderr))

    for message in failures:
        print('FAIL: ' + message)
    print('package: %d failures' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
