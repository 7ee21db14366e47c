#!/usr/bin/env python3
"""End-to-end tests: the unmodified BIOSUpdate.exe under Wine on an Xvfb
display, on a simulated notebook (see tests/wine/notebook-run.sh).

  e2e.py --work DIR --exe EXE --uidriver EXE --vendor DIR COMMAND
    setup          Xvfb, a fresh Wine prefix in DIR, locales; checks that Wine
                   sees the simulated notebook
    run CASE...    runs cases in the session of the setup
    cleanup        ends the session
    all [CASE...]  setup, the cases (all by default), cleanup
    list           the cases' names
BIOSUPDATE_E2E_KEEP_PREFIX=1 keeps and reuses the prefix between sessions."""

import argparse
import importlib
import os
import sys
import time
from dataclasses import dataclass
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import texts  # noqa: E402
from cases import CASES, run_case  # noqa: E402
from machine import Machine  # noqa: E402
from session import LANGS, Session, SetupError, log  # noqa: E402


# Every cases_*.py registers its cases when imported.
for module in sorted(Path(__file__).resolve().parent.glob("cases_*.py")):
    importlib.import_module(module.stem)


@dataclass
class Config:
    exe: Path
    uidriver: Path
    vendor: Path  # the files the program trusts: the stand-in utility and image
    texts: dict


def check_notebook(session, machine):
    """Wine inside the namespace must report the simulated machine."""
    session.write_notebook(ac=1, charge=57, bios="K38KRPA23")
    for lang, lcid in (("en", "1033"), ("ko", "1042")):
        rc, out = machine.ui("probe") if lang == "en" else machine.wine(
            [machine.uidriver, "probe"], lang=lang)
        report = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        want = {"ac_line": "1", "battery_percent": "57", "bios_version": "K38KRPA23",
                "system_lcid": lcid}
        got = {k: report.get(k) for k in want}
        if rc != 0 or got != want:
            raise SetupError(f"Wine does not see the simulated notebook ({lang}): {got}, "
                             f"expected {want}")
    rc, out = machine.wine(["wmic", "bios", "get", "smbiosbiosversion"])
    if "K38KRPA23" not in out.replace("\0", ""):
        raise SetupError(f"WMI does not report the simulated BIOS version: {out!r}")
    log("Wine sees the simulated notebook (power, firmware, WMI, both locales)")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--work", type=Path)
    parser.add_argument("--exe", type=Path)
    parser.add_argument("--uidriver", type=Path)
    parser.add_argument("--vendor", type=Path)
    parser.add_argument("command", choices=["setup", "run", "cleanup", "all", "list"])
    parser.add_argument("cases", nargs="*")
    args = parser.parse_args()

    if args.command == "list":
        print("\n".join(CASES))
        return 0
    if not args.work:
        parser.error("--work is required")
    keep = os.environ.get("BIOSUPDATE_E2E_KEEP_PREFIX") == "1"
    session = Session(args.work)
    if args.command == "cleanup":
        if session.state_file.exists():
            session.load()
        session.cleanup(keep_prefix=keep)
        return 0
    if not args.uidriver or not args.uidriver.exists():
        print(f"uidriver not found: {args.uidriver}", file=sys.stderr)
        return 1
    if not args.vendor or not args.vendor.is_dir():
        print(f"vendor folder not found: {args.vendor}", file=sys.stderr)
        return 1
    config = Config(args.exe, args.uidriver, args.vendor, texts.load())

    started = time.monotonic()
    try:
        if args.command in ("setup", "all"):
            session.setup(keep_prefix=keep)
            check_notebook(session, Machine(session, args.uidriver))
            if args.command == "setup":
                log(f"setup done in {time.monotonic() - started:.1f} s")
                return 0
        else:
            session.load()
        names = args.cases or list(CASES)
        unknown = [n for n in names if n not in CASES]
        if unknown:
            print(f"unknown cases: {unknown}", file=sys.stderr)
            return 1
        if not args.exe or not args.exe.exists():
            print(f"BIOSUpdate.exe not found: {args.exe}", file=sys.stderr)
            return 1
        machine = Machine(session, args.uidriver)
        failed = {}
        for name in names:
            failures = run_case(name, machine, config)
            if failures:
                failed[name] = failures
        for name, failures in failed.items():
            print(f"FAILED {name}:", *(f"  {f}" for f in failures), sep="\n")
        passed = len(names) - len(failed)
        log(f"{passed} passed, {len(failed)} failed in {time.monotonic() - started:.1f} s")
        return 1 if failed else 0
    except SetupError as e:
        print(f"e2e setup: {e}", file=sys.stderr)
        return 1
    finally:
        if args.command == "all":
            session.cleanup(keep_prefix=keep)


if __name__ == "__main__":
    sys.exit(main())
