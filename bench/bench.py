#!/usr/bin/env python3
"""BIOSUpdate.exe under Wine on Xvfb side by side with the floor program
(bench/floor.cpp, naive and lean forms), on one display and one Wine prefix.
Each round runs the three one after the other (the order rotates from round
to round) and measures each over a window of the same length; the CPU of
each process and of the wineserver (utime + stime from /proc/PID/stat) is
printed per round and as medians, with the ratio BIOSUpdate / lean floor.
Run together, the three would fight over the topmost band on every tick
and repaint each other's exposures, so they take turns.

BIOSUpdate.exe runs on the simulated notebook (mains, 80 %, BIOS
K38KRPA23, so the package is newer and the stand-in utility runs a little
longer than the window); its window starts when the utility starts. Its
last run also gives:

- the run's timeline against the ideal one, every time from Wine's debug
  output (+timestamp: milliseconds of the monotonic raw clock on every
  line): string 138 loaded right after the answer, each status text first
  drawn, the first module the WMI query loads (TIMER_START), the worker
  thread's first string load (the decision start, 1 s after the thread
  started), the flash utility's first module, the worker's marker write
  once the utility has ended; the process's end is Python's wait() read on
  the same raw clock;
- VmRSS after 100 and after 600 paints, counted from the trace (each paint
  draws the status line once);
- time from the process start to the confirmation's text being drawn, with
  the wineserver and the desktop already running.

The floors run with the same debug channels, so that the tracing costs
all three the same."""

import argparse
import json
import os
import statistics
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

from hardening_run import (CHANNELS, CONFIRM_TITLE, TracedRun, check_notebook,  # noqa: E402
                           flash_files, open_session, reset_outcome)
from machine import Machine, prefix_processes, raw_clock  # noqa: E402
from session import SetupError  # noqa: E402

TICKS_PER_S = os.sysconf("SC_CLK_TCK")
STEP_TARGET_MS = 150
CPU_TARGET_PERCENT = 1.0
RSS_GROWTH_TARGET_KIB = 256
CPU_RATIO_TARGET = 1.1
PAINT_MARKS = (100, 600)
BENCH_CHANNELS = CHANNELS + ",+resource"


def wineserver_ticks(prefix):
    """CPU ticks of the wineserver of prefix, or None."""
    for pid, first in prefix_processes(prefix).items():
        if not Path(first).name.startswith("wineserver"):
            continue
        try:
            stat = Path(f"/proc/{pid}/stat").read_text()
        except OSError:
            continue
        fields = stat[stat.rfind(")") + 2:].split()
        return int(fields[11]) + int(fields[12])
    return None


def cpu_reading(run, prefix):
    """(raw clock s, process ticks, wineserver ticks) now."""
    stat = run.proc_stat()
    return raw_clock(), stat[0] if stat else None, wineserver_ticks(prefix)


def cpu_over(start, end, paints):
    """{"cpu": % of one core, "server": %, "paints": per s} between two readings."""
    wall = end[0] - start[0]
    result = {"wall": wall, "cpu": None, "server": None,
              "paints": sum(1 for t in paints if start[0] <= t < end[0]) / wall}
    if start[1] is not None and end[1] is not None:
        result["cpu"] = 100 * (end[1] - start[1]) / TICKS_PER_S / wall
    if start[2] is not None and end[2] is not None:
        result["server"] = 100 * (end[2] - start[2]) / TICKS_PER_S / wall
    return result


def measure_floor(machine, floor, form, window):
    """The floor program's CPU over window s, from 1 s after its first paint."""
    run = TracedRun(machine, floor, args=(form, str(int(window + 5))), channels=BENCH_CHANNELS,
                    trace_path=machine.session.work / f"trace-floor-{form}.log")
    if not run.wait_for(run.paints, 30):
        run.kill()
        raise SetupError(f"the {form} floor did not paint within 30 s")
    time.sleep(1)
    start = cpu_reading(run, machine.session.prefix)
    time.sleep(window)
    end = cpu_reading(run, machine.session.prefix)
    run.wait(15)
    return cpu_over(start, end, run.paints())


def measure(machine, exe, window):
    """One run of BIOSUpdate.exe: its timeline, memory, and CPU over window s
    from the flash utility's start."""
    # Warm: the wineserver and the desktop process run already.
    machine.ui("list")
    reset_outcome(machine)
    run = TracedRun(machine, exe, channels=BENCH_CHANNELS)
    result = {"paint_rss": {}}
    if not machine.wait_window(CONFIRM_TITLE, 30000):
        run.kill()
        raise SetupError("no confirmation within 30 s")
    shown = run.wait_for(run.confirmation_drawn, 5)
    result["start_to_box"] = shown - run.started if shown else None
    machine.press(CONFIRM_TITLE, "yes")

    start = end = None
    deadline = time.monotonic() + window + 180
    while run.running() and time.monotonic() < deadline:
        paints = len(run.paints())
        for mark in PAINT_MARKS:
            if paints >= mark and mark not in result["paint_rss"]:
                stat = run.proc_stat()
                result["paint_rss"][mark] = (paints, stat[1] if stat else None)
        if start is None and run.utility_starts():
            start = cpu_reading(run, machine.session.prefix)
        if start and end is None and raw_clock() >= start[0] + window:
            end = cpu_reading(run, machine.session.prefix)
            stat = run.proc_stat()
            result["end_rss"] = (paints, stat[1] if stat else None)
        time.sleep(0.05)
    code = run.wait(10)
    run.update()
    result["exit_code"] = code
    result["window"] = cpu_over(start, end, run.paints()) if start and end else None
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
    # The worker writes the marker as soon as its wait for the utility ends.
    utility_end = next((t for t in run.marker_writes() if utility and t > utility), None)
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
        ("utility ended: the worker writes the marker", result["flash_seconds"], utility_end),
        ("BIOSUpdate exits", 0.0, run.ended),
    ]
    rows = []
    ideal_since = 0.0
    previous = None
    for name, ideal, t in steps:
        measured = t - previous if (t is not None and previous is not None) else None
        if ideal is not None:
            ideal_since += ideal
        since = t - answer if (t is not None and answer is not None) else None
        rows.append((name, ideal, measured, since, ideal_since))
        previous = t if t is not None else previous
    return rows


def ms(value, signed=False):
    if value is None:
        return "n/a"
    return f"{value * 1000:+.0f} ms" if signed else f"{value * 1000:.0f} ms"


def report(run, result):
    lines = ["| Measure | Ideal | Measured | Measured − ideal | Target |",
             "|---|---|---|---|---|"]
    for name, ideal, measured, since, ideal_since in timeline(run, result):
        if ideal is None or measured is None:
            if since is not None:
                lines.append(f"| {name} | — | at {since:.3f} s | — | — |")
            continue
        dev = measured - ideal
        ok = "met" if abs(dev) * 1000 <= STEP_TARGET_MS else "**missed**"
        lines.append(f"| {name} | +{ideal:.1f} s | +{measured:.3f} s (at {since:.3f} s) | "
                     f"{ms(dev, True)} | ≤ {STEP_TARGET_MS} ms: {ok} |")
    rss = result["paint_rss"]
    if all(mark in rss and rss[mark][1] for mark in PAINT_MARKS):
        (p1, r1), (p2, r2) = (rss[m] for m in PAINT_MARKS)
        growth = r2 - r1
        ok = "met" if growth < RSS_GROWTH_TARGET_KIB else "**missed**"
        lines.append(f"| VmRSS after {PAINT_MARKS[0]} paints | — | {r1} KiB (paint {p1}) | — | — |")
        lines.append(f"| VmRSS after {PAINT_MARKS[1]} paints | — | {r2} KiB (paint {p2}) | "
                     f"{growth:+d} KiB | growth < {RSS_GROWTH_TARGET_KIB} KiB: {ok} |")
        end = result.get("end_rss")
        if end and end[1]:
            lines.append(f"| VmRSS at the window's end | — | {end[1]} KiB (paint {end[0]}) | "
                         f"{end[1] - r1:+d} KiB | — |")
    box = result["start_to_box"]
    lines.append(f"| process start → confirmation drawn (Wine running) | — | {ms(box)} | — | — |")
    lines.append(f"| exit code | 0 | {result['exit_code']} | — | — |")
    return "\n".join(lines)


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def percent(value):
    return "n/a" if value is None else f"{value:.2f} %"


def cpu_report(names, rounds, window):
    """The CPU table: each program per round, the medians, the ratios."""
    head = " | ".join(f"round {i + 1}" for i in range(len(rounds)))
    lines = [f"| Program ({window:.0f} s each) | {head} | median | wineserver, median | "
             "paints per s | median / lean floor |",
             "|---|" + "---|" * len(rounds) + "---|---|---|---|"]
    medians = {name: median(r[name]["cpu"] for r in rounds) for name in names}
    lean = medians.get("lean floor")
    for name in names:
        cells = " | ".join(percent(r[name]["cpu"]) for r in rounds)
        server = median(r[name]["server"] for r in rounds)
        paints = median(r[name]["paints"] for r in rounds)
        ratio = f"{medians[name] / lean:.2f}" if lean and medians[name] is not None else "n/a"
        lines.append(f"| {name} | {cells} | **{percent(medians[name])}** | {percent(server)} | "
                     f"{paints:.1f} | {ratio} |")
    bios = medians.get("BIOSUpdate")
    if bios is not None and lean:
        per_round = [r["BIOSUpdate"]["cpu"] / r["lean floor"]["cpu"] for r in rounds
                     if r["BIOSUpdate"]["cpu"] and r["lean floor"]["cpu"]]
        ratio = bios / lean
        ok = "met" if ratio <= CPU_RATIO_TARGET else "**missed**"
        rounds_text = ", ".join(f"{v:.2f}" for v in per_round)
        lines.append("")
        lines.append(f"BIOSUpdate / lean floor: **{ratio:.2f}** (medians; per round "
                     f"{rounds_text}); target ≤ {CPU_RATIO_TARGET}: {ok}. "
                     f"BIOSUpdate {bios:.2f} % of one core; target < {CPU_TARGET_PERCENT:.0f} %: "
                     f"{'met' if bios < CPU_TARGET_PERCENT else '**missed**'}.")
    return "\n".join(lines)


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--work", type=Path, required=True)
    p.add_argument("--exe", type=Path, required=True)
    p.add_argument("--floor", type=Path, required=True)
    p.add_argument("--uidriver", type=Path, required=True)
    p.add_argument("--vendor", type=Path, required=True)
    p.add_argument("--window", type=float, default=60, help="seconds measured per program")
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--also", action="append", default=[], metavar="LABEL=EXE",
                   help="another build of BIOSUpdate.exe to measure in each round")
    args = p.parse_args()
    session = None
    try:
        session = open_session(args.work)
        machine = Machine(session, args.uidriver)
        machine.write_notebook(ac=1, charge=80, bios="K38KRPA23")
        check_notebook(machine, "en", 1, 80, "K38KRPA23")
        flash_seconds = args.window + 3
        files = flash_files(args.vendor, flash_seconds)
        builds = {"BIOSUpdate": machine.install(args.exe, "bench", work_files=files)}
        for i, also in enumerate(args.also):
            label, _, exe = also.partition("=")
            builds[label] = machine.install(Path(exe), f"bench-also{i}", work_files=files)
        floor = machine.install(args.floor, "floor")
        names = ["naive floor", "lean floor", *builds]
        load = os.getloadavg()
        print(f"Measuring {args.rounds} rounds of {len(names)} programs, {args.window:.0f} s "
              f"each; load average {load[0]:.2f} {load[1]:.2f} {load[2]:.2f} on "
              f"{os.cpu_count()} cores", flush=True)
        rounds = []
        last = None
        for number in range(args.rounds):
            measured = {}
            turn = number % len(names)
            for name in names[turn:] + names[:turn]:
                if name.endswith("floor"):
                    measured[name] = measure_floor(machine, floor, name.split()[0], args.window)
                else:
                    run, result = measure(machine, builds[name], args.window)
                    result["flash_seconds"] = flash_seconds
                    if not result["window"]:
                        raise SetupError(f"{name}: the flash utility did not run the window")
                    measured[name] = result["window"]
                    if name == "BIOSUpdate":
                        last = (run, result)
                print(f"round {number + 1}: {name}: {percent(measured[name]['cpu'])}, "
                      f"wineserver {percent(measured[name]['server'])}", flush=True)
            rounds.append(measured)
        load = os.getloadavg()
        table = (cpu_report(names, rounds, args.window) + "\n\nThe last run of BIOSUpdate.exe:\n\n"
                 + report(*last)
                 + f"\n\nLoad average at the end: {load[0]:.2f} {load[1]:.2f} {load[2]:.2f}")
        print()
        print(table)
        out = args.work / "benchmark.md"
        out.write_text(table + "\n")
        (args.work / "benchmark.json").write_text(
            json.dumps({"rounds": rounds, "last": last[1]}, indent=1, default=str))
        print(f"\n(table in {out}, trace in {last[0].trace_path})")
        return 0 if last[1]["exit_code"] == 0 else 1
    except SetupError as e:
        print(f"bench: {e}", file=sys.stderr)
        return 1
    finally:
        if session is not None:
            session.cleanup(keep_prefix=True)


if __name__ == "__main__":
    sys.exit(main())
