#!/usr/bin/env python3
"""Checks that make_pictures.py remakes the committed pictures byte for byte.

    check_pictures_regenerate.py MAKE_PICTURES_SCRIPT RES_DIR
"""

import filecmp
import os
import subprocess
import sys
import tempfile

FILES = ['Background.bmp', 'BackgroundKorean.bmp', 'Marker.bmp', 'BIOSUpdate.ico']


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    script, res = argv[1], argv[2]
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([sys.executable, script, out], check=True)
        made = sorted(os.listdir(out))
        if made != sorted(FILES):
            print('FAIL: the script wrote %s' % made)
            return 1
        differing = [name for name in FILES
                     if not filecmp.cmp(os.path.join(out, name), os.path.join(res, name),
                                        shallow=False)]
    for name in differing:
        print('FAIL: %s differs from a fresh run of make_pictures.py' % name)
    return 1 if differing else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
