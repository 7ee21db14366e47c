#!/usr/bin/env python3
"""Runs scripts/package.sh with the stand-in flash utility and checks the ZIP
it writes, signed and unsigned, and that it writes none when a vendor file is
missing or misnamed.

    package_test.py EXE WINFLASH

EXE is the built BIOSUpdate.exe, WINFLASH the stand-in winflash.exe."""

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

RT_VERSION, ENGLISH = 16, 0x0409
IMAGE = b'K38KRPA24 stand-in image\n'
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
        (vendor / file_name).write_bytes(data)
    result = subprocess.run(['bash', str(ROOT / 'scripts' / 'package.sh'), '--vendor',
                             str(vendor), '--out', str(out), *options],
                            capture_output=True, text=True)
    return result, out


def check_zip(path, exe, winflash):
    """The entries of the ZIP at path, their sums and the README; returns the
    program's bytes."""
    with zipfile.ZipFile(path) as archive:
        entries = {name: archive.read(name) for name in archive.namelist()}
    wanted = ['BIOSUpdate.exe', 'README.txt', 'SHA256SUMS', 'Zarel_bios/K38KRPA24',
              'Zarel_bios/winflash.exe']
    if not check(sorted(entries) == wanted, '%s holds %s' % (path.name, sorted(entries))):
        return b''
    check(PeFile(entries['BIOSUpdate.exe']).machine == MACHINE_I386,
          'the packaged BIOSUpdate.exe is not the 32-bit build')
    check(entries['Zarel_bios/winflash.exe'] == winflash, 'winflash.exe is not the vendor\'s')
    check(entries['Zarel_bios/K38KRPA24'] == IMAGE, 'K38KRPA24 is not the vendor\'s')
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
    exe, winflash_path = Path(argv[1]), Path(argv[2])
    built, winflash = exe.read_bytes(), winflash_path.read_bytes()
    zip_name = 'BIOSUpdate-%s.zip' % file_version(exe)
    vendor = {'winflash.exe': winflash, 'K38KRPA24': IMAGE}
    with tempfile.TemporaryDirectory() as temp:
        work = Path(temp)

        result, out = package(work, 'unsigned', vendor)
        if check(result.returncode == 0 and (out / zip_name).is_file(),
                 'no %s: %s' % (zip_name, result.stderr)):
            check(sorted(p.name for p in out.iterdir()) == [zip_name],
                  'the output folder holds %s' % sorted(p.name for p in out.iterdir()))
            check(check_zip(out / zip_name, exe, winflash) == built,
                  'the unsigned ZIP\'s BIOSUpdate.exe is not the built one')

        certs = work / 'cert'
        subprocess.run(['bash', str(Path(__file__).parent / 'make-signing-cert.sh'),
                        str(certs)], check=True)
        result, out = package(work, 'signed', vendor, '--cert', str(certs / 'cert.pem'),
                              '--key', str(certs / 'key.pem'), '--ca', str(certs / 'ca.pem'))
        if check(result.returncode == 0, 'signed package failed: %s' % result.stderr):
            signed = out / 'BIOSUpdate.exe'
            signed.write_bytes(check_zip(out / zip_name, exe, winflash))
            verify = subprocess.run(['osslsigncode', 'verify', '-CAfile', str(certs / 'ca.pem'),
                                     '-in', str(signed)], capture_output=True, text=True)
            check(verify.returncode == 0, 'the ZIP\'s BIOSUpdate.exe does not verify: %s'
                  % verify.stdout[-500:])
        check(exe.read_bytes() == built, 'packaging changed the built BIOSUpdate.exe')

        broken = {
            'no_utility': ({'K38KRPA24': IMAGE}, 'winflash.exe'),
            'image_renamed': ({'winflash.exe': winflash, 'K38KRPA25': IMAGE}, 'K38KRPA24'),
            'image_lower_case': ({'winflash.exe': winflash, 'k38krpa24': IMAGE}, 'K38KRPA24'),
        }
        for name, (files, missing) in broken.items():
            result, out = package(work, name, files)
            check(result.returncode != 0, '%s: package.sh succeeded' % name)
            check('lacks %s' % missing in result.stderr and 'no ZIP' in result.stderr,
                  '%s: unclear error %r' % (name, result.stderr))
            check(not out.exists() or not any(out.iterdir()), '%s: a file was written' % name)

    for message in failures:
        print('FAIL: ' + message)
    print('package: %d failures' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
