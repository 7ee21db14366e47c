#!/usr/bin/env python3
"""One measured run of the unmodified BIOSUpdate.exe under Wine on Xvfb, on
the simulated notebook (mains, 80 %, BIOS K38KRPA23, so the package is newer
and the stand-in utility runs FLASH_SECONDS). Prints a markdown table:

- the run's timeline against the ideal one, from Wine's debug output
  (+timestamp: milliseconds of the monotonic raw clock on every line):
  string 138 loaded right after the answer, each status text first drawn,
  the first module the WMI query loads (TIMER_START), the worker thread's
  first string load (the decision start, 1 s after the thread started),
  the flash utility's first module; the utility's end from its own log and
  the process's end as Python's wait() sees it, both moved to that clock;
- CPU time of the BIOSUpdate process (utime + stime from /proc/PID/stat)
  over the utility's whole run;
- VmRSS after 100 and after 600 paints, counted from the trace (each paint
  draws the status line once);
- time from the process start to the confirmation's text being drawn, with
  the wineserver and the desktop already running."""

import argparse
import json
import os
import sys
import time
from datetime import datetime
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

from hardening_run import (CHANNELS, CONFIRM_TITLE, TracedRun, check_notebook,  # noqa: E402
                           flash_files, open_session, raw_clock, read_flash_log,
                           reset_outcome)
from machine import WORK_FOLDER, Machine  # noqa: E402
from session import SetupError  # noqa: E402

TICKS_PER_S = os.sysconf("SC_CLK_TCK")
STEP_TARGET_MS = 150
CPU_TARGET_PERCENT = 1.0
RSS_GROWTH_TARGET_KIB = 256
PAINT_MARKS = (100, 600)


def wineserver_ticks(prefix):
    """CPU ticks of the wineserver of prefix, or None."""
    for proc in Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            if not proc.joinpath("comm").read_text().startswith("wineserver"):
                continue
            if f"WINEPREFIX={prefix}".encode() not in proc.joinpath("environ").read_bytes():
                continue
            stat = proc.joinpath("stat").read_text()
        except OSError:
            continue
        fields = stat[stat.rfind(")") + 2:].split()
        return int(fields[11]) + int(fields[12])
    return None


def wall_to_raw(stamp, offset):
    """A local time as the stand-in utility logs it, on the raw clock."""
    return datetime.strptime(stamp.split()[0], "%Y-%m-%dT%H:%M:%S.%f").timestamp() - offset


def measure(machine, exe, flash_seconds):
    # Warm: the wineserver and the desktop process run already.
    machine.ui("list")
    run = TracedRun(machine, exe, channels=CHANNELS + ",+resource")
    result = {"paint_rss": {}}
    if not machine.wait_window(CONFIRM_TITLE, 30000):
        raise SetupError("no confirmation within 30 s")
    shown = run.wait_for(run.confirmation_drawn, 5)
    result["start_to_box"] = shown - run.started if shown else None
    machine.press(CONFIRM_TITLE, "yes")

    work = exe.parent / WORK_FOLDER
    # CPU over the utility's run, from its start until 1 s before its end,
    # so that the process is surely still there at the second reading.
    cpu_from = cpu_to = None
    deadline = time.monotonic() + flash_seconds + 120
    while run.running() and time.monotonic() < deadline:
        paints = len(run.paints())
        for mark in PAINT_MARKS:
            if paints >= mark and mark not in result["paint_rss"]:
                stat = run.proc_stat()
                result["paint_rss"][mark] = (paints, stat[1] if stat else None)
        starts = run.utility_starts()
        if cpu_from is None and starts:
            cpu_from = (raw_clock(), run.proc_stat(), wineserver_ticks(machine.session.prefix))
        if cpu_from and cpu_to is None and raw_clock() >= starts[0][0] + flash_seconds - 1:
            cpu_to = (raw_clock(), run.proc_stat(), wineserver_ticks(machine.session.prefix),
                      paints)
        time.sleep(0.05)
    code = run.wait(10)
    run.update()
    result["exit_code"] = code
    result["cpu"] = (cpu_from, cpu_to)
    result["end_rss"] = cpu_to[1][1] if cpu_to and cpu_to[1] else None
    result["end_paints"] = cpu_to[3] if cpu_to else None
    result["offset"] = time.time() - raw_clock()
    result["flash_log"] = read_flash_log(work)
    return run, result


def timeline(run, result):
    """[(event, ideal step s, measured step s, since the answer s, ideal since s)]."""
    pid = run.wine_pid
    main_tid = run.trace.main_tid.get(pid)
    answer = next((t for t, tid in run.string_loads(138) if tid == main_tid), None)
    status = dict((sid, t) for t, sid in reversed(run.statuses()))
    shown_138 = status.get(138)
    timer_start = next((t for t, p, _, _ in run.trace.loads
                        if p == pid and shown_138 and t > shown_138), None)
    decision = next((t for t, tid in run.string_loads(131) if tid != main_tid), None)
    starts = run.utility_starts()
    utility = starts[0][0] if starts else None
    logged = result["flash_log"]
    utility_end = (wall_to_raw(logged[0]["end"], result["offset"])
                   if logged and "end" in logged[0] else None)
    steps = [
        ("confirmation answered (string 138 loaded)", None, answer),
        ("status 138 drawn", 2.0, shown_138),
        ("TIMER_START: the WMI query starts", 0.5, timer_start),
        ("worker +1 s: decision starts", 1.0, decision),
        ("status 131 drawn (worker +3 s)", 2.0, status.get(131)),
        ("status 132 drawn (worker +5 s)", 2.0, status.get(132)),
        ("outcome text 135 drawn (worker +7 s)", 2.0, status.get(135)),
        ("status 137 drawn (worker +11 s)", 4.0, status.get(137)),
        ("flash utility starts (worker +12 s)", 1.0, utility),
        ("flash utility ends", None, utility_end),
        ("BIOSUpdate exits", 0.0, run.ended),
    ]
    rows = []
    ideal_since = 0.0
    previous = None
    for name, ideal, t in steps:
        measured = t - previous if (t is not None and previous is not None) else None
        if ideal is not None:
            ideal_since += ideal
        elif name == "flash utility ends" and measured is not None:
            ideal_since += measured  # the utility's own run
        since = t - answer if (t is not None and answer is not None) else None
        rows.append((name, ideal, measured, since, ideal_since))
        previous = t if t is not None else previous
    return rows


def ms(value, signed=False):
    if value is None:
        return "n/a"
    return f"{value * 1000:+.0f} ms" if signed else f"{value * 1000:.0f} ms"


def report(run, result, flash_seconds):
    lines = ["| Measure | Ideal | Measured | Measured − ideal | Target |",
             "|---|---|---|---|---|"]
    worst = 0.0
    for name, ideal, measured, since, ideal_since in timeline(run, result):
        if ideal is None or measured is None:
            if since is not None:
                lines.append(f"| {name} | — | at {since:.3f} s | — | — |")
            continue
        dev = measured - ideal
        worst = max(worst, abs(dev))
        ok = "met" if abs(dev) * 1000 <= STEP_TARGET_MS else "**missed**"
        lines.append(f"| {name} | +{ideal:.1f} s | +{measured:.3f} s (at {since:.3f} s) | "
                     f"{ms(dev, True)} | ≤ {STEP_TARGET_MS} ms: {ok} |")
    cpu_from, cpu_to = result["cpu"]
    if cpu_from and cpu_to and cpu_from[1] and cpu_to[1]:
        wall = cpu_to[0] - cpu_from[0]
        used = (cpu_to[1][0] - cpu_from[1][0]) / TICKS_PER_S
        percent = 100 * used / wall
        ok = "met" if percent < CPU_TARGET_PERCENT else "**missed**"
        lines.append(f"| CPU of BIOSUpdate.exe while the utility runs ({flash_seconds:.0f} s) | — | "
                     f"{used:.2f} s in {wall:.1f} s = {percent:.2f} % of one core | — | "
                     f"< {CPU_TARGET_PERCENT:.0f} %: {ok} |")
        if cpu_from[2] is not None and cpu_to[2] is not None:
            server = (cpu_to[2] - cpu_from[2]) / TICKS_PER_S
            lines.append(f"| (for comparison) wineserver in the same time | — | {server:.2f} s = "
                         f"{100 * server / wall:.2f} % | — | — |")
    rss = result["paint_rss"]
    if all(mark in rss and rss[mark][1] for mark in PAINT_MARKS):
        (p1, r1), (p2, r2) = (rss[m] for m in PAINT_MARKS)
        growth = r2 - r1
        ok = "met" if growth < RSS_GROWTH_TARGET_KIB else "**missed**"
        lines.append(f"| VmRSS after {PAINT_MARKS[0]} paints | — | {r1} KiB (paint {p1}) | — | — |")
        lines.append(f"| VmRSS after {PAINT_MARKS[1]} paints | — | {r2} KiB (paint {p2}) | "
                     f"{growth:+d} KiB | growth < {RSS_GROWTH_TARGET_KIB} KiB: {ok} |")
        if result["end_rss"]:
            lines.append(f"| VmRSS 1 s before the utility's end | — | {result['end_rss']} KiB "
                         f"(paint {result['end_paints']}) | {result['end_rss'] - r1:+d} KiB | — |")
    box = result["start_to_box"]
    lines.append(f"| process start → confirmation drawn (Wine running) | — | {ms(box)} | — | — |")
    lines.append(f"| exit code | 0 | {result['exit_code']} | — | — |")
    return "\n".join(lines), worst


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--work", type=Path, required=True)
    p.add_argument("--exe", type=Path, required=True)
    p.add_argument("--uidriver", type=Path, required=True)
    p.add_argument("--winflash", type=Path, required=True)
    p.add_argument("--flash-seconds", type=float, default=60)
    args = p.parse_args()
    session = None
    try:
        session = open_session(args.work)
        machine = Machine(session, args.uidriver)
        machine.write_notebook(ac=1, charge=80, bios="K38KRPA23")
        check_notebook(machine, "en", 1, 80, "K38KRPA23")
        reset_outcome(machine)
        exe = machine.install(args.exe, "bench",
                              work_files=flash_files(args.winflash, args.flash_seconds))
        load = os.getloadavg()
        print(f"Measuring one run (utility {args.flash_seconds:.0f} s); load average "
              f"{load[0]:.2f} on {os.cpu_count()} cores", flush=True)
        run, result = measure(machine, exe, args.flash_seconds)
        table, _ = report(run, result, args.flash_seconds)
        print()
        print(table)
        out = args.work / "benchmark.md"
        out.write_text(table + "\n")
        raw = {k: v for k, v in result.items() if k != "flash_log"}
        (args.work / "benchmark.json").write_text(json.dumps(raw, indent=1, default=str))
        print(f"\n(table in {out}, trace in {run.trace_path})")
        return 0 if result["exit_code"] == 0 else 1
    except SetupError as e:
        print(f"bench: {e}", file=sys.stderr)
        return 1
    finally:
        if session is not None:
            session.cleanup(keep_prefix=True)


if __name__ == "__main__":
    sys.exit(main())
