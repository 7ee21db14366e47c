"""A vendor drop as support staff package it: a name with blanks and a file
in a subfolder build, package (scripts/package.sh) and flash with the
32-bit program from the ZIP (where the machine runs 32-bit code)."""

import subprocess
import tempfile
import zipfile
from pathlib import Path

from cases import case
from cases_hardening import flash_run
from machine import vendor_files

ROOT = Path(__file__).resolve().parents[2]
WORK_ENTRY = "Zarel_bios/"


@case("vendor_names")
def vendor_names(c):
    drop = {**vendor_files(c.config.vendor), "Release Notes.txt": b"Vendor notes\r\n",
            "lang/en-US.bin": b"strings\r\n"}
    with tempfile.TemporaryDirectory() as temp:
        vendor, out = Path(temp) / "vendor", Path(temp) / "out"
        for name, data in drop.items():
            (vendor / name).parent.mkdir(parents=True, exist_ok=True)
            (vendor / name).write_bytes(data)
        c.step("packaging (builds build/package)")
        result = subprocess.run(["bash", str(ROOT / "scripts" / "package.sh"), "--vendor",
                                 str(vendor), "--out", str(out)],
                                capture_output=True, text=True, timeout=540)
        zips = sorted(out.glob("*.zip"))
        if not c.check(result.returncode == 0 and len(zips) == 1,
                       f"package.sh packages the drop: {result.stderr[-800:]}"):
            return
        with zipfile.ZipFile(zips[0]) as archive:
            entries = {name: archive.read(name) for name in archive.namelist()}
    files = {name[len(WORK_ENTRY):]: data for name, data in entries.items()
             if name.startswith(WORK_ENTRY)}
    c.equal(files, drop, "the ZIP's work folder")
    kind = subprocess.run(["bash", str(ROOT / "tests" / "wine" / "wine.sh"), "kind"],
                          capture_output=True, text=True).stdout.strip()
    if kind != "win32":
        # The ZIP holds the 32-bit program, which this machine cannot run.
        c.step("packaged; not flashed: this machine runs no 32-bit code")
        return
    program = entries.get("BIOSUpdate.exe", b"")
    files["winflash.ini"] = b"seconds=1\r\n"
    flash_run(c, "vendor-names", files, utility_runs=1, max_utility_s=1,
              prepare=lambda exe: exe.write_bytes(program), what="packaged drop")
