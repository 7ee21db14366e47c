"""Faults and hostile surroundings, on the real program: DLLs planted beside
it, a package that is not as built (changed, planted, behind a link), long
folder paths, a flash utility that is missing, crashes, fails,
runs for minutes or asks the user in a box of its own, ten instances at
once, another program's box during the flash, close requests and keys
in every stage, each run followed through Wine's debug output
(hardening_run.TracedRun); and the mains adapter pulled before and during
the flash, watched on the screen."""

import os
import re
import shutil
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path, PureWindowsPath

from cases import case
from cases_dialog import ConfirmedRun, check_traces
from cases_screen import check_frame, shoot
from hardening_run import (CHANNELS, CONFIRM_TITLE, DIALOG_TITLE, IMAGE_NAME, MARKER_KEY,
                           MARKER_NAME, MARKER_TEXT, POWER_TITLE, TracedRun, flash_files,
                           read_flash_log, reset_outcome, update_folder)
from machine import RUN_KEY, WORK_FOLDER, raw_clock, wait_until
from screen import save_png

# After the answer: 138 drawn at +2.0 s, the worker's statuses 3.5, 5.5, 7.5
# and 11.5 s after 138 (TIMER_START 0.5 s, the worker's own 1 s pause, then
# its 2 s steps), the utility 1 s after 137.
AFTER_138 = {131: 3.5, 132: 5.5, 135: 7.5, 137: 11.5}
UTILITY_AFTER_137 = 1.0
TIMELINE_SLACK_S = 0.5
RUN_UP_S = 30  # answer to utility start is ~12.5 s
END_AFTER_UTILITY_S = 2.0
ENDING_SHOWN_S = 5.0  # a run that flashed nothing says why this long


def confirm(c, run):
    """Waits for the confirmation and answers Yes."""
    if not c.check(c.m.wait_window(CONFIRM_TITLE, 30000), "the confirmation is shown"):
        return False
    c.m.press(CONFIRM_TITLE, "yes")
    c.step("answered Yes")
    return True


def traced(c, exe, through=(), **kwargs):
    run = TracedRun(c.m, exe, through=through, **kwargs)
    c.runs.append(run)
    by = f" through {Path(through[0]).name} {' '.join(through[1:])}" if through else ""
    c.step(f"started {exe.parent.name}\\{exe.name}{by}")
    return run


def snapshot(folder):
    """{name: (bytes, mtime_ns)} of a folder's files and its subfolders', or
    None without it."""
    folder = Path(folder)
    if not folder.is_dir():
        return None
    return {p.relative_to(folder).as_posix(): (p.read_bytes(), p.stat().st_mtime_ns)
            for p in folder.rglob("*") if p.is_file()}


def check_untouched(c, before, work, what):
    """The work folder's files are as they were; the stand-in utility may
    have added its own log."""
    after = snapshot(work) or {}
    after.pop("winflash.log", None)
    c.check(after == before, f"{what}: the work folder's files are untouched "
            f"(before {sorted(before)}, after {sorted(after)})")


def check_ended(c, run, what, timeout):
    code = run.wait(timeout)
    if code is None:
        return c.check(False, f"{what}: still running after {timeout:.0f} s")
    c.step(f"{what}: exit code {code} after {run.elapsed:.1f} s")
    return c.equal(code, 0, f"{what}: exit code")


CLOCK_STEP_S = 0.002  # the trace and the stand-in's log both count whole milliseconds


def check_marker_once(c, run, what, not_before=None):
    writes = run.marker_writes()
    c.equal(len(writes), 1, f"{what}: marker writes")
    if writes and not_before is not None:
        if c.check(writes[0] >= not_before - CLOCK_STEP_S, f"{what}: the marker is written "
                   f"after the utility ended ({writes[0] - not_before:+.3f} s)"):
            c.step(f"{what}: the marker is written {writes[0] - not_before:.3f} s after the "
                   "utility's end")
    value = c.m.reg_value(MARKER_KEY, MARKER_NAME)
    c.equal(value and value["text"], MARKER_TEXT, f"{what}: marker value")


def check_timeline(c, run, what):
    """The status line follows its schedule, counted from status 138."""
    times = dict((sid, t) for t, sid in reversed(run.statuses()))
    start = times.get(138)
    if not c.check(start is not None, f"{what}: status 138 is drawn"):
        return
    for sid, ideal in AFTER_138.items():
        t = times.get(sid)
        if c.check(t is not None, f"{what}: status {sid} is drawn"):
            c.check(abs(t - start - ideal) <= TIMELINE_SLACK_S,
                    f"{what}: status {sid} at +{t - start:.2f} s after 138, expected +{ideal} s")


# The stand-in logs its start this soon after the trace shows its process;
# a log on another clock than the trace's would miss it.
LOGGED_AFTER_TRACE_S = 1.0


def utility_window(c, run, work, what):
    """(start, end) of the stand-in on raw_clock, from the monotonic_ms of its
    log: its first process's start, the last end of its processes (a
    hand-off has two); end is None when one logged none (crash). Checks
    that the log and the trace read one clock."""
    starts = run.utility_starts()
    logged = read_flash_log(work)
    if not starts or not logged or "start_s" not in logged[0]:
        return None, None
    start = logged[0]["start_s"]
    after = start - starts[0][0]
    c.check(-CLOCK_STEP_S <= after <= LOGGED_AFTER_TRACE_S, f"{what}: the utility logs its start "
            f"{after:+.3f} s after the trace shows its process (one clock)")
    ends = [r.get("end_s") for r in logged]
    return start, None if None in ends else max(ends)


def flash_run(c, folder, files, utility_runs, max_utility_s, during=None, what=None,
              prepare=None, through=(), says=None):
    """One package-newer run with the given work folder; the utility ends as
    files say (utility_runs None: it may also be skipped). Checks the end of
    the run, the marker, the update folder and the work folder's files.
    through: the program that starts BIOSUpdate.exe, if any (see TracedRun).
    says: the status shown once the utility has ended, recording nothing."""
    m = c.m
    what = what or folder
    m.write_notebook(ac=1, charge=80, bios="K38KRPA23")
    reset_outcome(m)
    exe = m.install(c.config.exe, folder, work_files=files)
    if prepare:
        prepare(exe)
    work = exe.parent / WORK_FOLDER
    before = snapshot(work)
    run = traced(c, exe, through)
    if not confirm(c, run):
        return run
    shown_137 = run.wait_status(137, RUN_UP_S)
    c.check(shown_137 is not None, f"{what}: status 137 is drawn")
    if during:
        during(run, work)
    check_ended(c, run, what, RUN_UP_S + max_utility_s + 30)
    check_timeline(c, run, what)
    logged = read_flash_log(work)
    if utility_runs is None:
        c.check(len(logged) in (0, 1), f"{what}: the utility runs once or not at all")
    else:
        c.equal(len(logged), utility_runs, f"{what}: runs of the utility")
    start, end = utility_window(c, run, work, what)
    if start is not None and shown_137 is not None:
        c.check(abs(start - shown_137 - UTILITY_AFTER_137) <= TIMELINE_SLACK_S,
                f"{what}: the utility starts {start - shown_137:.2f} s after 137")
    finished = end if end is not None else start
    if finished is None and shown_137 is not None:
        finished = shown_137 + UTILITY_AFTER_137
    said = run.wait_status(says, 0) if says else None
    if says and c.check(said is not None and finished is not None and said - finished <=
                        END_AFTER_UTILITY_S, f"{what}: status {says} once the utility ended"):
        finished = said + ENDING_SHOWN_S
    if finished is not None and run.ended is not None:
        c.check(run.ended - finished <= END_AFTER_UTILITY_S,
                f"{what}: the run ends {run.ended - finished:.2f} s after the utility")
    if says:
        c.equal((run.marker_writes(), update_folder(m).exists()), ([], False),
                f"{what}: marker writes, update folder")
    else:
        check_marker_once(c, run, what, not_before=end)
        c.check(update_folder(m).is_dir(), f"{what}: the update folder is created")
    check_untouched(c, before, work, what)
    return run


# -- the flash utility misbehaves -------------------------------------------------


# -- the package is not the one the program was built for ---------------------

PACKAGE_CHANGED = 144
FOLDER_UNUSABLE = 148
REFUSED_AFTER_138_S = 11.5  # as 137 is, in a run that flashes
REFUSED_RUN_S = 30  # answer to exit is ~17.5 s


def refused_run(c, folder, files, what, prepare=None, plant_after_137=None,
                status=PACKAGE_CHANGED):
    """A package-newer run whose work folder is not as built (or cannot be
    used: status 148): refused with that status, the utility never starts,
    nothing is recorded as done (no marker, no update folder), the work
    folder's files stay, exit code 0.
    prepare(exe) changes the installed folder. plant_after_137: a file name
    put into the work folder as soon as 137 is drawn, in the second before
    the start: refused then, 1 s after 137."""
    m = c.m
    m.write_notebook(ac=1, charge=80, bios="K38KRPA23")
    reset_outcome(m)
    exe = m.install(c.config.exe, folder, work_files=files)
    if prepare:
        prepare(exe)
    work = exe.parent / WORK_FOLDER
    before = snapshot(work)
    run = traced(c, exe)
    # The Windows path as started, through any link on it.
    run.windows_exe = str(PureWindowsPath("C:\\", *exe.relative_to(m.drive_c).parts)).lower()
    if not confirm(c, run):
        return
    if plant_after_137:
        shown_137 = run.wait_status(137, RUN_UP_S)
        (work / plant_after_137).write_bytes(b"MZ")
        if c.check(shown_137 is not None, f"{what}: status 137 is drawn"):
            c.step(f"{what}: {plant_after_137} planted {raw_clock() - shown_137:.2f} s after 137")
    check_ended(c, run, what, REFUSED_RUN_S)
    if plant_after_137:
        (work / plant_after_137).unlink()
    times = dict((sid, t) for t, sid in reversed(run.statuses()))
    if c.check(status in times and 138 in times, f"{what}: statuses 138 and {status} are "
               f"drawn ({sorted(times)})"):
        after = times[status] - times[138]
        expected = REFUSED_AFTER_138_S + (UTILITY_AFTER_137 if plant_after_137 else 0)
        c.check(abs(after - expected) <= TIMELINE_SLACK_S,
                f"{what}: status {status} at +{after:.2f} s after 138, expected +{expected} s")
    c.check((137 in times) == bool(plant_after_137),
            f"{what}: status 137 is drawn only when the plant came after it")
    c.equal(run.utility_starts(), [], f"{what}: the utility's starts")
    c.equal(run.marker_writes(), [], f"{what}: marker writes")
    c.check(not update_folder(m).exists(), f"{what}: no update folder")
    check_untouched(c, before, work, what)


@case("changed_package")
def changed_package(c):
    """The utility replaced, missing, one byte of the image flipped, a DLL
    or a program planted beside the utility (also in the second after 137,
    before the start), a planted subfolder, the work folder or the folder
    above it a link: each is refused before anything runs as
    administrator. A good package still flashes, and while the utility runs
    no other program can overwrite, rename or delete the image."""
    good = flash_files(c.config.vendor, 1)
    flipped = bytearray(good[IMAGE_NAME])
    flipped[len(flipped) // 2] ^= 1
    missing = dict(good)
    del missing["winflash.exe"]
    rows = {
        "utility replaced": {**good, "winflash.exe": Path(c.config.uidriver).read_bytes()},
        "utility missing": missing,
        "image byte flipped": {**good, IMAGE_NAME: bytes(flipped)},
        "DLL planted": {**good, "version.dll": good["winflash.exe"]},
        "program planted": {**good, "setup.exe": good["winflash.exe"]},
    }
    for row, files in rows.items():
        refused_run(c, row.replace(" ", "-"), files, row)
    refused_run(c, "planted-late", good, "DLL planted after 137", plant_after_137="version.dll")

    # Wine 8 makes no junctions; it reports a Unix symbolic link in the
    # prefix as a reparse point (attribute 0x400), which stands in for one.
    def subfolder(exe):
        (exe.parent / WORK_FOLDER / "en-US").mkdir()
        (exe.parent / WORK_FOLDER / "en-US" / "winflash.exe.mui").write_bytes(b"MZ")

    def linked(folder):
        target = folder.with_name(folder.name + "-target")
        shutil.rmtree(target, ignore_errors=True)
        folder.rename(target)
        folder.symlink_to(target.resolve(), target_is_directory=True)

    for row, prepare in {"subfolder planted": subfolder,
                         "work folder a link": lambda exe: linked(exe.parent / WORK_FOLDER),
                         "folder above a link": lambda exe: linked(exe.parent)}.items():
        refused_run(c, row.replace(" ", "-"), good, row, prepare=prepare,
                    status=FOLDER_UNUSABLE if "link" in row else PACKAGE_CHANGED)
        installed = c.m.drive_c / "e2e" / row.replace(" ", "-")
        if installed.is_symlink():
            installed.unlink()

    def change_image(run, work):
        image = work / IMAGE_NAME
        held = image.read_bytes()
        for command in (f"copy /y winflash.ini {IMAGE_NAME}", f"ren {IMAGE_NAME} renamed",
                        f"del {IMAGE_NAME}"):
            c.m.wine(["cmd", "/c", command], cwd=work)
            c.check(image.exists() and image.read_bytes() == held,
                    f"held image: '{command}' from another program changes nothing")

    flash_run(c, "package-held", flash_files(c.config.vendor, 8), utility_runs=1,
              max_utility_s=8, during=change_image, what="good package")


@case("flash_utility_crashes")
def flash_utility_crashes(c):
    files = flash_files(c.config.vendor, 1, "crash=1\r\n")
    run = flash_run(c, "utility-crashes", files, utility_runs=1, max_utility_s=1, says=147)
    logged = read_flash_log(c.m.drive_c / "e2e" / "utility-crashes" / WORK_FOLDER)
    if c.check(logged and "crash_s" in logged[0] and "end" not in logged[0],
               f"the stand-in crashed: {logged}") and run.ended:
        c.step(f"the run ends {run.ended - logged[0]['crash_s']:.2f} s after the crash")


@case("flash_utility_error_code")
def flash_utility_error_code(c):
    files = flash_files(c.config.vendor, 1, "exit_code=5\r\n")
    flash_run(c, "utility-fails", files, utility_runs=1, max_utility_s=1)
    logged = read_flash_log(c.m.drive_c / "e2e" / "utility-fails" / WORK_FOLDER)
    c.check(logged and logged[0].get("end", "").endswith("exit_code=5"),
            f"the stand-in ended with exit code 5: {logged}")


THREE_MINUTES = 180


@case("flash_utility_three_minutes")
def flash_utility_three_minutes(c):
    """The utility runs 3 minutes (the time string 137 announces): the
    program waits the whole time, with its screen up, and writes the marker
    only after the utility has ended."""
    def meanwhile(run, work):
        for wait in (60, 110):  # +~60 s and +~170 s into the utility's run
            time.sleep(wait)
            c.check(run.running(), f"after {wait} s more: still running")
            c.equal(run.marker_writes(), [], "no marker while the utility runs")
            c.equal(c.m.reg_value(MARKER_KEY, MARKER_NAME), None,
                    "no marker value while the utility runs")
            c.equal(len(c.m.visible_titled(DIALOG_TITLE)), 1, "the update screen is up")
    files = flash_files(c.config.vendor, THREE_MINUTES)
    flash_run(c, "utility-3min", files, utility_runs=1, max_utility_s=THREE_MINUTES,
              during=meanwhile)


# -- long paths ----------------------------------------------------------------------

# 239: a work folder of 250 characters, too long for winflash.exe's path.
LONG_FOLDERS = (90, 100, 101, 200, 239, 250)
MAX_PATH = 260


def folder_of_length(n):
    """A folder under C:\\e2e whose Windows path has exactly n characters,
    in parts of at most 60."""
    base = "C:\\e2e\\"
    rest = n - len(base)
    parts = []
    tag = f"len{n}-"
    while rest > 0:
        size = min(60, rest)
        if rest - size == 1:  # a part of nothing but a backslash is no part
            size -= 1
        part = (tag + "d" * size)[:size]
        tag = ""
        parts.append(part)
        rest -= size + 1 if rest > size else size
    return "/".join(parts)


@case("long_paths")
def long_paths(c):
    """The executable in folders of 90 to 250 characters: the run ends
    normally; the work folder is removed or the step skipped, never a
    folder of a cut path; the utility's command line is whole, or, where
    its path does not fit 259 characters, the folder cannot be used (148):
    the package is not called damaged, and nothing is recorded as done."""
    m = c.m
    for n in LONG_FOLDERS:
        rel = folder_of_length(n)
        windows_folder = "C:\\e2e\\" + rel.replace("/", "\\")
        assert len(windows_folder) == n, (n, len(windows_folder))
        what = f"folder of {n} characters"

        # Declined: RemoveWorkFolder on an empty work folder, and a decoy
        # where a path cut at the buffer's end would point.
        m.write_notebook(ac=1, charge=80, bios="K38KRPA23")
        exe = m.install(c.config.exe, rel, work_files={})
        work_path = windows_folder + "\\" + WORK_FOLDER
        decoy = None
        if len(work_path) > MAX_PATH - 1:
            cut = work_path[:MAX_PATH - 1]
            decoy = exe.parent / cut[len(windows_folder) + 1:]
            decoy.mkdir()
        run = traced(c, exe)
        if c.check(m.wait_window(CONFIRM_TITLE, 30000), f"{what}: confirmation shown"):
            m.press(CONFIRM_TITLE, "no")
        check_ended(c, run, f"{what}, declined", 30)
        removed = not (exe.parent / WORK_FOLDER).exists()
        if len(work_path) <= MAX_PATH - 1:
            c.check(removed, f"{what}: the empty work folder ({len(work_path)} characters) "
                    "is removed")
        else:
            c.step(f"{what}: work folder of {len(work_path)} characters "
                   f"{'removed' if removed else 'left (step skipped)'}")
        if decoy:
            c.check(decoy.is_dir(), f"{what}: the folder {decoy.name} of the cut path stays")

        # Confirmed: the flash, beyond 100 characters possibly skipped.
        def plant_decoy(installed, decoy=decoy):
            if decoy:
                (installed.parent / decoy.name).mkdir()
        if len(work_path + "\\winflash.exe") <= MAX_PATH - 1:
            flash_run(c, rel, flash_files(c.config.vendor, 0.5), utility_runs=1,
                      max_utility_s=1, what=what, prepare=plant_decoy)
        else:
            refused_run(c, rel, flash_files(c.config.vendor, 0.5), what, prepare=plant_decoy,
                        status=FOLDER_UNUSABLE)
        if decoy:
            c.check(decoy.is_dir(), f"{what}: after the flash, {decoy.name} stays")
        logged = read_flash_log(exe.parent / WORK_FOLDER)
        if logged:
            expected = f"{work_path}\\winflash.exe {work_path}\\{IMAGE_NAME} /NOWMSG"
            c.equal(logged[0].get("command_line"), expected, f"{what}: the utility's command line")
            c.equal(logged[0].get("working_directory"), work_path,
                    f"{what}: the utility's folder")
            c.step(f"{what}: flashed, command line of {len(expected)} characters")
        else:
            c.step(f"{what}: flash skipped (work folder {len(work_path)} characters)")
        shutil.rmtree(m.drive_c / "e2e" / rel.split("/")[0], ignore_errors=True)


# -- ten at once -----------------------------------------------------------------------

INSTANCES = 10
LOSER_MAX_S = 10.0


@case("ten_instances")
def ten_instances(c):
    """Ten starts at once: one shows the confirmation, nine end with exit
    code 0 without a window and without touching the work folder, the
    marker, the update folder or the run entry."""
    m = c.m
    m.write_notebook(ac=1, charge=80, bios="K38KRPA23")
    reset_outcome(m)
    entry = r"C:\e2e\ten\BIOSUpdate.exe 1"
    m.reg_add(RUN_KEY, "BIOSUpdate", entry)
    try:
        exe = m.install(c.config.exe, "ten", work_files={})
        runs = [m.start(exe) for _ in range(INSTANCES)]
        c.runs.extend(runs)
        c.step(f"started {INSTANCES} instances")
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and sum(r.running() for r in runs) > 1:
            for r in runs:
                if r.ended is None and not r.running():
                    r.ended = raw_clock()
            time.sleep(0.05)
        ended = [r for r in runs if not r.running()]
        for r in ended:
            r.ended = r.ended or raw_clock()
            r.proc.wait()
        c.equal(len(ended), INSTANCES - 1, "instances that ended")
        c.equal([r.proc.returncode for r in ended], [0] * len(ended), "their exit codes")
        slowest = max((r.elapsed for r in ended), default=0)
        c.step(f"{len(ended)} ended, the slowest after {slowest:.2f} s")
        c.check(slowest <= LOSER_MAX_S, f"the others end at once (slowest {slowest:.2f} s)")
        winner = [r for r in runs if r.running()]
        if not c.equal(len(winner), 1, "instances still running"):
            return
        c.check(m.wait_window(CONFIRM_TITLE, 30000), "the remaining one asks")
        c.equal(len(m.visible_titled(CONFIRM_TITLE)), 1, "confirmation boxes")
        c.equal(m.visible_titled(POWER_TITLE), [], "no other box")
        c.check((exe.parent / WORK_FOLDER).is_dir(), "the empty work folder is still there")
        c.equal(m.reg_value(MARKER_KEY, MARKER_NAME), None, "no marker")
        c.check(not update_folder(m).exists(), "no update folder")
        c.equal(m.reg_query(RUN_KEY, "BIOSUpdate"), ("REG_SZ", entry), "the run entry stays")
        m.press(CONFIRM_TITLE, "no")
        c.expect_exit(winner[0], "the one that asked, declined")
        c.check(not (exe.parent / WORK_FOLDER).exists(), "it removed the empty work folder")
    finally:
        m.reg_delete(RUN_KEY, "BIOSUpdate")


# -- an instance killed mid-flash ----------------------------------------------------

ORPHAN_SECONDS = 20
KILLED_INTO_FLASH_S = 2.0
NOTHING_SHOWN_S = 5.0  # a start that passes the guard shows its box well within this
ORPHAN_END_S = 5.0  # the utility's process is gone this soon after its logged end


@case("killed_mid_flash")
def killed_mid_flash(c):
    """The instance is killed (SIGKILL of its Unix process, as the task
    manager ends a program) while its flash utility runs: while the orphaned
    utility runs, a second start shows nothing and ends with exit code 0;
    once the utility has ended, a start asks again."""
    killed_while_flashing(c, "killed", handoff=False)


@case("killed_mid_flash_handoff")
def killed_mid_flash_handoff(c):
    """As killed_mid_flash, with a utility that hands the flash to a copy of
    itself and exits at once: the copy keeps a second start out until its
    own end."""
    killed_while_flashing(c, "killed-handoff", handoff=True)


def flashing_run(work, handoff):
    """The log entry of the run that flashes: the helper's after a hand-off."""
    logged = read_flash_log(work)
    if handoff:
        logged = [r for r in logged if r.get("settings", "").endswith("handoff=helper")]
    return logged[0] if logged else {}


def killed_while_flashing(c, folder, handoff, through=()):
    m = c.m
    m.write_notebook(ac=1, charge=80, bios="K38KRPA23")
    reset_outcome(m)
    exe = m.install(c.config.exe, folder, work_files=flash_files(
        c.config.vendor, ORPHAN_SECONDS, "handoff=1\r\n" if handoff else ""))
    work = exe.parent / WORK_FOLDER
    utility = work / "winflash.exe"
    run = traced(c, exe, through)
    if not confirm(c, run):
        return
    starts = run.wait_for(run.utility_starts, RUN_UP_S)
    if not c.check(starts, "the utility starts"):
        return
    if handoff and not c.check(wait_until(lambda: "end_s" in (read_flash_log(work) or [{}])[0],
                                          10, step=0.1), "the utility hands off and ends"):
        return
    time.sleep(KILLED_INTO_FLASH_S)
    run.kill()
    c.step(f"killed the instance (SIGKILL) {raw_clock() - starts[0][0]:.2f} s into the "
           "utility's run")
    c.equal(run.code, -9, "the instance's end")
    c.check(m.ui("gone", DIALOG_TITLE, wait_ms=5000)[0] == 0, "its update screen is gone")

    second = c.start(exe)
    titles = (CONFIRM_TITLE, POWER_TITLE, DIALOG_TITLE)
    shown = wait_until(lambda: [w.title for w in m.windows() if w.visible and w.title in titles]
                       or not second.running(), NOTHING_SHOWN_S)
    if not c.check(shown in (True, False), f"while the orphaned utility runs, a second start "
                   f"shows nothing (shown: {shown})"):
        m.press(shown[0], "no" if shown[0] == CONFIRM_TITLE else "ok")
    if c.expect_exit(second, "the second start"):
        c.check(second.elapsed < NOTHING_SHOWN_S, f"the second start ends at once "
                f"({second.elapsed:.2f} s)")
    logged = read_flash_log(work)
    c.check(len(logged) == 1 + handoff and "end" not in flashing_run(work, handoff)
            and m.unix_pids(utility), f"the orphaned utility still runs, alone: {logged}")

    # The orphan's end, then its process's.
    if not c.check(wait_until(lambda: "end_s" in flashing_run(work, handoff),
                              ORPHAN_SECONDS + 10, step=0.1), "the utility logs its end"):
        return
    ended = flashing_run(work, handoff)["end_s"]
    c.check(wait_until(lambda: not m.unix_pids(utility), ORPHAN_END_S),
            "the utility's process ends")
    c.step(f"the orphaned utility ended {ended - starts[0][0]:.2f} s after its start, "
           f"{ended - second.ended:.2f} s after the second start's end")
    c.equal(m.reg_value(MARKER_KEY, MARKER_NAME), None, "no marker")
    c.check(not update_folder(m).exists(), "no update folder")

    third = c.start(exe)
    if c.check(m.wait_window(CONFIRM_TITLE, 30000), "after the utility's end, a start asks"):
        c.step(f"the confirmation shows {third.elapsed:.2f} s after the start")
        m.press(CONFIRM_TITLE, "no")
    c.expect_exit(third, "the start after the utility's end, declined")
    c.equal(len(read_flash_log(work)), 1 + handoff, "runs of the utility")


HANDOFF_SECONDS = 10


def handed_off(c, folder, what, through=(), waits=True):
    """A run whose utility hands off (see flash_utility_hands_off); prints
    when the screen went and the marker was written after the copy's end.
    waits False: the program waits for the first process alone (its job
    refused), and the copy runs on after the run."""
    gone_by = []
    run = flash_run(c, folder, flash_files(c.config.vendor, HANDOFF_SECONDS, "handoff=1\r\n"),
                    utility_runs=2, max_utility_s=HANDOFF_SECONDS, what=what, through=through,
                    during=lambda run, work: gone_by.append(screen_gone_by(c, run)))
    work = run.exe.parent / WORK_FOLDER
    first = (read_flash_log(work) + [{}])[0]
    c.check("handoff_s" in first and "end_s" in first,
            f"{what}: the first hands off and ends: {first}")
    wait_until(lambda: "end_s" in flashing_run(work, True), HANDOFF_SECONDS + 10, step=0.1)
    helper = flashing_run(work, True)
    end = helper.get("end_s")
    # Seen gone, or gone with the run: whichever came first.
    gone = min([t for t in (*gone_by, run.ended) if t is not None], default=None)
    if not c.check(end is not None and gone is not None, f"{what}: the copy runs and logs its "
                   f"end: {helper}"):
        return
    if waits:
        c.check(gone >= end, f"{what}: the screen stays until the copy ends (gone "
                f"{gone - end:+.2f} s after its end)")
        c.check(gone - end <= END_AFTER_UTILITY_S, f"{what}: the screen goes {gone - end:.2f} s "
                "after the copy's end")
    else:
        c.check(gone < end, f"{what}: the run waits for the first process alone (the screen "
                f"gone {gone - end:+.2f} s after the copy's end)")
    marker = (run.marker_writes() or [None])[0]
    c.step(f"{what}: the first ran {first.get('end_s', 0) - first.get('start_s', 0):.2f} s, the "
           f"copy {end - helper.get('start_s', end):.2f} s; counted from the copy's end, the "
           f"screen was gone by {gone - end:+.2f} s, the marker was written at "
           f"{'none' if marker is None else f'{marker - end:+.3f}'} s and the run ended at "
           f"{(run.ended or end) - end:+.2f} s; exit code {run.code}")


@case("flash_utility_hands_off")
def flash_utility_hands_off(c):
    """The utility starts a copy of itself that flashes for 10 s, and exits
    at once: the screen stays, and the marker waits, until the copy's end."""
    handed_off(c, "handoff", "hand-off")


@case("hands_off_inside_job")
def hands_off_inside_job(c):
    """BIOSUpdate.exe started inside a job (uidriver injob), one that lets
    its processes' children break away and one that does not, with a utility
    that hands off: the program's own job, nested in that one or broken away
    from it, holds the copy, the run waits for it, and the copy keeps a
    second start out after the program was killed. Wine 8 nests jobs, so
    without breakaway the run waits too; where a nested job is refused the
    program waits for the first process only."""
    m = c.m
    launcher = m.install(m.uidriver, "job-launcher")
    inner = [m.windows_path(launcher), "injob", "none"]
    rc, _ = m.wine([launcher, "injob", "none", *inner, m.windows_path(launcher), "list"])
    nested = rc == 0
    c.step(f"a job inside uidriver's job: {'taken' if nested else f'refused (exit code {rc})'}")
    for limits in ("breakaway", "none"):
        handed_off(c, f"job-{limits}", f"in a job, limits {limits}",
                   through=[launcher, "injob", limits], waits=nested or limits == "breakaway")
    killed_while_flashing(c, "job-killed", handoff=True, through=[launcher, "injob", "breakaway"])


# -- windows over the update screen ----------------------------------------------------

UTILITY_BOX = "winflash"  # the stand-in's box with prompt=1
FOREIGN_BOX = "Another program"
BOX_CLASS = "#32770"
PROMPT_SECONDS = 4  # the box comes 1.5 s into the run
BOX_WAIT_MS = 8000  # for the box to come, and then to be seen
BOX_SEEN_S = 1.0  # a look every third tick, the box's own 0.04 s, slack under load
SAMPLES, SAMPLE_EVERY_MS = 5, 250  # across one second
CORNER = (1, 1)
FOREIGN_PLACE = (20, 20)  # clear of the utility's box, in the middle
ANSWER_WAIT_MS = 3000


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


def prompt_logged(work, moment):
    """Whether a run of the stand-in logged the box's moment ("prompt_shown", ...)."""
    return any(moment in r for r in read_flash_log(work))


def check_window_at(c, point, is_expected, what):
    """The top-level window at point, sampled across one second, is always
    the expected one."""
    samples = c.m.window_at(*point, SAMPLES, SAMPLE_EVERY_MS)
    there = [f"{w.title!r} (pid {w.pid})" if w else None for _, w in samples]
    if c.check(samples and all(w and is_expected(w) for _, w in samples),
               f"{what} at {point}: {there}"):
        c.step(f"{what} at {point}: {there[0]} at {len(samples)} samples over "
               f"{samples[-1][0] - samples[0][0]:.2f} s")


def utility_box_on_top(c, run, work, what):
    """While the stand-in's box is up: the box is the window at its centre,
    the update screen at a corner, no marker is written; Enter typed by the
    user answers the box."""
    m = c.m
    seen, t, there = m.seen_at_centre(UTILITY_BOX, BOX_WAIT_MS, BOX_CLASS)
    asking = next((r for r in read_flash_log(work) if "prompt_shown_s" in r), None)
    box = next((w for w in m.windows() if w.visible and w.title == UTILITY_BOX
                and w.class_name == BOX_CLASS), None)
    if not c.check(asking and box, f"{what}: the utility shows its box"):
        return
    c.equal(box.pid, int(asking["pid"]), f"{what}: the box's process")
    shown = asking["prompt_shown_s"]
    if c.check(seen, f"{what}: the box is the window at its centre within {BOX_WAIT_MS} ms "
               f"(there: {there and there.title!r}, pid {there and there.pid})"):
        c.step(f"{what}: the box was first seen at its centre {t - shown:.3f} s after it was "
               "shown")
        c.check(t - shown <= BOX_SEEN_S, f"{what}: the box is seen within {BOX_SEEN_S} s "
                f"({t - shown:.3f} s)")
    check_window_at(c, centre(box.rect), lambda w: w.hwnd == box.hwnd, f"{what}: the box")
    check_window_at(c, CORNER, lambda w: w.title == DIALOG_TITLE, f"{what}: the update screen")
    c.equal(run.marker_writes(), [], f"{what}: no marker while the box is up")
    m.type_key("enter")
    if not c.check(m.ui("gone", UTILITY_BOX, wait_ms=ANSWER_WAIT_MS, class_name=BOX_CLASS)[0]
                   == 0, f"{what}: Enter typed by the user answers the box (it has the focus)"):
        m.ui("press", UTILITY_BOX, "ok", class_name=BOX_CLASS)
    c.check(wait_until(lambda: prompt_logged(work, "prompt_answered"), 5),
            f"{what}: the utility logs the answer")


@case("utility_box_above_screen")
def utility_box_above_screen(c):
    """The stand-in shows a message box 1.5 s into its run (prompt=1), itself
    or through the copy it hands off to: the box comes above the update
    screen and takes the focus, the screen covers the rest; once answered,
    the run ends as usual."""
    for row, extra in (("plain", ""), ("hand-off", "handoff=1\r\n")):
        what = f"box, {row}"
        files = flash_files(c.config.vendor, PROMPT_SECONDS, "prompt=1\r\n" + extra)
        flash_run(c, f"box-{row}", files, utility_runs=1 + bool(extra), what=what,
                  max_utility_s=PROMPT_SECONDS + 20,
                  during=lambda run, work, what=what: utility_box_on_top(c, run, work, what))


@case("foreign_box_below_screen")
def foreign_box_below_screen(c):
    """A message box of another program, shown and raised while the
    utility's own box is up, stays under the update screen; the run ends
    as usual."""
    m = c.m

    def meanwhile(run, work):
        if not c.check(wait_until(lambda: prompt_logged(work, "prompt_shown"), 10),
                       "the utility shows its box"):
            return
        other = c.start(Path(m.uidriver).resolve(), ["box", FOREIGN_BOX, "A box of its own."])
        shown = wait_until(lambda: m.visible_titled(FOREIGN_BOX), 10, step=0.1)
        if c.check(shown, "the other program's box is shown"):
            left, top, right, bottom = shown[0].rect
            x, y = FOREIGN_PLACE
            place = (x, y, x + right - left, y + bottom - top)
            c.check(m.ui("move", FOREIGN_BOX, str(x), str(y), str(right - left),
                         str(bottom - top))[0] == 0, "the other program raises its box")
            check_window_at(c, centre(place), lambda w: w.title == DIALOG_TITLE,
                            "the update screen over the other program's box")
            m.press(FOREIGN_BOX, "ok")
        c.expect_exit(other, "the other program")
        m.ui("press", UTILITY_BOX, "ok", class_name=BOX_CLASS)
        c.check(wait_until(lambda: prompt_logged(work, "prompt_answered"), 5),
                "the utility's box is answered")

    flash_run(c, "foreign-box", flash_files(c.config.vendor, PROMPT_SECONDS, "prompt=1\r\n"),
              utility_runs=1, max_utility_s=PROMPT_SECONDS + 20, during=meanwhile)


# -- close requests, keys and requests from other programs ----------------------------

CLOSE_REQUESTS = 100
KEYS = ("esc", "enter", "altf4")
# (stage, status that begins it or None right after the answer, WM_CLOSE quota)
STAGES = [("placing (the 2 s pause)", None, 5), ("initialising", 138, 10),
          ("loading", 131, 8), ("verifying", 132, 8), ("checking", 135, 15),
          ("updating", 137, CLOSE_REQUESTS)]
# What another program may post to the update screen or to its thread:
# (what, uidriver command, its arguments after the title). The program's own
# numbers: WM_UPDATE_FINISH, WM_UPDATE_QUIT, WM_TIMER with TIMER_EXIT, and
# the worker's private request to arm TIMER_EXIT.
OUTSIDE_REQUESTS = [
    ("WM_COMMAND IDOK", "post", ("command", 1)),
    ("WM_COMMAND IDCANCEL", "post", ("command", 2)),
    ("WM_COMMAND 1000", "post", ("command", 1000)),
    ("WM_QUIT to the dialog's thread", "quit", ()),
    ("WM_UPDATE_FINISH", "post", (0x0806,)),
    ("WM_UPDATE_QUIT", "post", (0x0807,)),
    ("WM_TIMER TIMER_EXIT", "post", ("timer", 3935, 0)),
    ("the request to arm TIMER_EXIT", "post", (0x8806,)),
    ("WM_INITDIALOG", "post", (0x0110, 0, 0)),
    ("WM_DESTROY", "post", (0x0002,)),
    ("WM_NCDESTROY", "post", (0x0082,)),
]
# What another program may do to the screen itself, sent or called from its
# own process: (what, uidriver command, its arguments after the title).
INTERFERENCE = [
    ("WM_NCDESTROY sent", "send", ("0x0082",)),
    ("WM_DESTROY sent", "send", ("0x0002",)),
    ("SC_MINIMIZE posted", "post", ("syscommand", "0xF020")),
    ("ShowWindow minimise", "show", ("minimize",)),
    ("ShowWindow hide", "show", ("hide",)),
    ("moved to a small, not-topmost place", "move", ("100", "100", "320", "240")),
]
BACK_WAIT_MS = 15000
TICK_S = 0.1
BACK_SLACK_S = 0.5  # Wine's and the machine's own delays, under load
EXIT_S = 1.0  # uidriver's own end under Wine, after it saw the screen back
FIRST_TICK_AFTER_138_S = 0.6  # TIMER_START 500 ms, then the first 100 ms tick
REQUEST_SETTLE_S = 0.3  # a request that ended the screen did so within this
SCREEN_POLL_S = 0.1


def post_requests(m, requests):
    """Posts each request as another program would; the names of those
    uidriver could not post."""
    return [what for what, command, args in requests
            if m.ui(command, DIALOG_TITLE, *map(str, args))[0] != 0]


def requests_during_flash(c, run, work):
    """Every outside request, one after the other while the utility runs;
    after each, the screen and the run go on."""
    m = c.m
    starts = run.wait_for(run.utility_starts, 10)
    if not c.check(starts, "the utility starts"):
        return
    for what, command, args in OUTSIDE_REQUESTS:
        c.equal(post_requests(m, [(what, command, args)]), [], f"{what} posted")
        time.sleep(REQUEST_SETTLE_S)
        c.check(run.running() and len(m.visible_titled(DIALOG_TITLE)) == 1,
                f"after {what} during the flash: the update screen is up and the program runs")
    logged = read_flash_log(work)
    c.check(logged and "end" not in logged[0], "the utility still ran after the last request")
    c.step(f"during the flash: each of the {len(OUTSIDE_REQUESTS)} requests posted, "
           f"{REQUEST_SETTLE_S} s apart or more, the last {raw_clock() - starts[0][0]:.1f} s "
           "into the utility's run")


def interfere(c, run, stage, kinds, first_tick, backs):
    """Each interference, one after the other; after each, how long until the
    screen was back over the whole screen, topmost. Before the first
    TIMER_ANIMATE tick (first_tick() None) it may take until that tick."""
    m = c.m
    for what, command, args in kinds:
        rc, out = m.ui_retried("--back", str(BACK_WAIT_MS), command, DIALOG_TITLE, *args)
        returned = raw_clock()
        back = re.search(r"back_ms=(\d+)", out or "")
        if not c.check(rc == 0 and back, f"{stage}: after {what} the screen is back "
                       f"(uidriver {rc}: {out!r})"):
            continue
        back_s = int(back[1]) / 1000
        backs.setdefault(what, []).append(back_s)
        tick = first_tick()
        if tick is not None and tick < returned - back_s:
            c.check(back_s <= TICK_S + BACK_SLACK_S, f"{stage}: after {what} the screen is "
                    f"back by the next tick ({back_s:.3f} s)")
        elif tick is not None:
            # Done before the first tick: back by then; the helper's own exit
            # follows the moment it saw it.
            c.check(returned - EXIT_S <= tick + BACK_SLACK_S, f"{stage}: after {what} the "
                    f"screen is back by the first tick ({returned - tick:+.3f} s after it)")
        c.check(run.running(), f"{stage}: after {what} the program runs")
        c.step(f"{stage}: {what}; back over the screen after {back_s:.3f} s")


def screen_gone_by(c, run):
    """Watches the update screen until the run ends; a time by which it was
    first seen gone, or None when it was up until the end."""
    while run.running():
        up = c.m.visible_titled(DIALOG_TITLE)
        if not up:
            return raw_clock()
        time.sleep(SCREEN_POLL_S)
    return None


@case("close_and_keys_every_stage")
def close_and_keys_every_stage(c):
    """Esc, Enter and Alt+F4, posted and injected as input, and WM_CLOSE,
    100 times over the run, in every stage after the confirmation, and the
    requests another program may post (OUTSIDE_REQUESTS), spread over the
    stages and each again while the utility runs: the screen stays until
    the utility ends, and the run ends normally."""
    m = c.m
    m.write_notebook(ac=1, charge=80, bios="K38KRPA23")
    reset_outcome(m)
    files = flash_files(c.config.vendor, 90)
    exe = m.install(c.config.exe, "battered", work_files=files)
    work = exe.parent / WORK_FOLDER
    before = snapshot(work)
    run = traced(c, exe)
    if not confirm(c, run):
        return
    sent = 0
    answers = set()
    backs = {}

    def first_tick():
        shown = [t for t, sid in run.statuses() if sid == 138]
        return shown[0] + FIRST_TICK_AFTER_138_S if shown else None

    before_flash = len(STAGES) - 1
    for index, (stage, status, quota) in enumerate(STAGES):
        if status is not None and not c.check(run.wait_status(status, RUN_UP_S) is not None,
                                              f"{stage}: status {status} is drawn"):
            return
        if index == before_flash:
            requests_during_flash(c, run, work)
            interfere(c, run, f"{stage}, the utility running", INTERFERENCE, first_tick, backs)
        else:
            interfere(c, run, stage, INTERFERENCE[index::before_flash], first_tick, backs)
        share = OUTSIDE_REQUESTS[index::before_flash] if index < before_flash else []
        # The keys and requests go in parallel, so that they all land within the stage.
        with ThreadPoolExecutor(len(KEYS) * 2 + 1) as pool:
            pressed = [pool.submit(m.key, DIALOG_TITLE, key) for key in KEYS]
            pressed += [pool.submit(m.ui, "--input", "key", DIALOG_TITLE, key) for key in KEYS]
            posted = pool.submit(post_requests, m, share)
            nxt = STAGES[index + 1][1] if index + 1 < len(STAGES) else None
            stage_sent = 0
            while sent < CLOSE_REQUESTS and stage_sent < quota:
                if nxt is not None and any(s == nxt for _, s in run.statuses()):
                    break
                answers.add(m.send(DIALOG_TITLE, "close"))
                sent += 1
                stage_sent += 1
            for done in pressed:
                done.result()
            c.equal(posted.result(), [], f"{stage}: requests that could not be posted")
        shown = run.statuses()
        requests = "".join(f", {what}" for what, _, _ in share)
        c.step(f"{stage}: Esc, Enter, Alt+F4 (posted and as input){requests} and {stage_sent} "
               f"WM_CLOSE; status now {shown[-1][1] if shown else None}")
        c.check(run.running(), f"{stage}: the program still runs")
        # The screen's tick shows it again should the keys have hidden it.
        if len(m.visible_titled(DIALOG_TITLE)) != 1:
            missing = time.monotonic()
            c.check(wait_until(lambda: len(m.visible_titled(DIALOG_TITLE)) == 1,
                               TICK_S + BACK_SLACK_S), f"{stage}: the update screen is up")
            c.step(f"{stage}: the update screen was not seen, and then up again within "
                   f"{time.monotonic() - missing:.3f} s")
    c.equal(sent, CLOSE_REQUESTS, "WM_CLOSE sent")
    c.equal(answers, {0}, "answers to WM_CLOSE")
    gone_by = screen_gone_by(c, run)
    check_ended(c, run, "battered run", 120)
    check_timeline(c, run, "battered run")
    logged = read_flash_log(work)
    c.equal(len(logged), 1, "runs of the utility")
    start, end = utility_window(c, run, work, "battered run")
    gone = gone_by or run.ended
    if c.check(end is not None and gone is not None, "the utility logs its end"):
        c.check(gone >= end, f"the update screen stays until the utility ends (gone by "
                f"{gone - end:+.2f} s after its end)")
        c.step(f"the utility ran {end - start:.2f} s; the screen was gone by {gone - end:+.2f} s "
               "after its end")
    check_marker_once(c, run, "battered run", not_before=end)
    c.check(update_folder(m).is_dir(), "the update folder is created")
    check_untouched(c, before, work, "battered run")
    for what, times in backs.items():
        c.step(f"{what}: back over the screen, topmost, after {min(times):.3f} to "
               f"{max(times):.3f} s ({len(times)} times)")


# -- DLL planting ------------------------------------------------------------------------

# Loaded after the program's start, when the WMI query creates its locator:
# the locator's server and the DLLs it imports (Wine), and the helpers the
# WMI client loads on Windows.
PLANTED_LATE = ("wbemprox.dll", "dxgi.dll", "wined3d.dll", "opengl32.dll", "dnsapi.dll",
                "iphlpapi.dll", "nsi.dll", "setupapi.dll", "ws2_32.dll", "winspool.drv",
                "compstui.dll", "fastprox.dll", "wbemcomn.dll", "wbemsvc.dll")
# Loaded while the process starts, before the program's first instruction
# (imports, and what user32 loads when it starts).
PLANTED_EARLY = ("comctl32.dll", "uxtheme.dll", "imm32.dll", "version.dll")
NOT_BUILT_IN = "bu_planted.dll"
SYSTEM_FOLDER = "c:\\windows\\system32"


def planted_binaries(c):
    folder = Path(c.config.exe).parent / "tests" / "e2e" / "planted"
    dll, probe = folder / "planted.dll", folder / "plantprobe.exe"
    if c.check(dll.exists() and probe.exists(), f"planted.dll and plantprobe.exe in {folder}"):
        return dll, probe
    return None, None


def traces_left(folder):
    return sorted(p.name for p in Path(folder).rglob("*.loaded"))


@case("dll_planting")
def dll_planting(c):
    """DLLs of the names the program loads, planted beside it, are never
    loaded, and the program's late loads search only the system folders.
    plantprobe shows what Wine does: it takes its built-in DLL whatever lies
    beside a program, and loads a DLL it does not have from the program's
    folder unless the search is restricted."""
    m = c.m
    dll, probe = planted_binaries(c)
    if not dll:
        return

    # What the loader does with a DLL beside a program.
    lab = m.drive_c / "e2e" / "plant-probe"
    shutil.rmtree(lab, ignore_errors=True)
    lab.mkdir(parents=True)
    shutil.copy(probe, lab)
    for name in (NOT_BUILT_IN, "wbemprox.dll", "uxtheme.dll"):
        shutil.copy(dll, lab / name)
    _, out = m.wine([lab / "plantprobe.exe", NOT_BUILT_IN], cwd=lab)
    c.check(traces_left(lab) == [f"{NOT_BUILT_IN}.loaded"],
            f"unrestricted, Wine loads {NOT_BUILT_IN} from the program's folder "
            f"({out.strip()}, traces {traces_left(lab)})")
    for trace in lab.glob("*.loaded"):
        trace.unlink()
    _, out = m.wine([lab / "plantprobe.exe", NOT_BUILT_IN, "restricted"], cwd=lab)
    c.check(out.startswith("not loaded") and traces_left(lab) == [],
            f"restricted to the system folder, it does not ({out.strip()})")
    for name in ("wbemprox.dll", "uxtheme.dll"):
        _, out = m.wine([lab / "plantprobe.exe", name], cwd=lab)
        c.step(f"unrestricted {name}: {out.strip()}; planted copy ran: "
               f"{bool(traces_left(lab))} (Wine prefers its built-in)")

    # The program with copies planted under the names it loads.
    m.write_notebook(ac=1, charge=80, bios="K38KRPA23")
    reset_outcome(m)
    exe = m.install(c.config.exe, "planting", work_files=flash_files(c.config.vendor, 1))
    for name in PLANTED_LATE + PLANTED_EARLY:
        shutil.copy(dll, exe.parent / name)
    run = traced(c, exe, channels=CHANNELS + ",+module")
    if not confirm(c, run):
        return
    check_ended(c, run, "planted run", RUN_UP_S + 30)
    c.equal(traces_left(exe.parent), [], "traces of planted DLLs")
    c.equal(len(read_flash_log(exe.parent / WORK_FOLDER)), 1, "runs of the utility")
    check_marker_once(c, run, "planted run")

    # The loader's own account: where it looked for each DLL. The imports'
    # start-up (DllMain with a non-null reserved argument) ends before the
    # program's first instruction; every search after it must leave out the
    # program's folder.
    run.update()
    folder = m.windows_path(exe.parent).lower()
    pid = run.wine_pid
    started = max((i for i, p, _, implicit in run.trace.attached if p == pid and implicit),
                  default=None)
    if not c.check(started is not None, "the loader's trace shows the imports' start-up"):
        return
    searches = [(i, name, where) for i, p, name, where in run.trace.searches
                if p == pid and where]
    late = [(name, where) for i, name, where in searches if i > started]
    exposed = sorted({name for name, where in late
                      if any(entry and not entry.lower().startswith(SYSTEM_FOLDER)
                             for entry in where.split(";"))})
    c.check(late and not exposed, f"after start-up, loads search only the system folder "
            f"({len(late)} searches; elsewhere too: {exposed})")
    for name, where in late[:3]:
        c.step(f"after start-up: {name} searched in {where}")
    early = sorted({name for i, name, where in searches
                    if i < started and folder in where.lower().split(";")})
    found = sorted({path.rsplit("\\", 1)[-1] for _, p, path, how in run.trace.loads
                    if p == pid and how == "builtin" and path.lower().startswith(folder + "\\")})
    c.step(f"searched with the program's folder first during start-up: {early}; Wine found "
           f"the planted {found} there and loaded its built-ins in their place")


# --- the mains adapter pulled during the flash ------------------------------

WARNING_WITHIN_S = 1.5  # the worker reads the power at least once a second
ANNOUNCED_WITHIN_S = 0.3  # after the system's message, which wakes it at once
PBT_APMPOWERSTATUSCHANGE = 10


def set_mains(m, online):
    """The simulated adapter's online file, replaced in one step, so that a
    read never finds it empty."""
    path = m.session.sysdir / "power_supply" / "AC" / "online"
    fresh = path.with_name("online.new")
    fresh.write_text(f"{online}\n")
    fresh.replace(path)
    return raw_clock()


def status_change(r, after, old, timeout):
    """(signature, since, first seen) of the first status line other than old
    shown after the moment after, or None."""
    def found():
        return next(((s, since, first) for s, since, first, _ in r.watcher.statuses()
                     if first > after and s != old), None)
    return found() if wait_until(lambda: found() is not None, timeout, step=0.05) else None


def unplugged_run(c, lang, size, announce):
    """announce: the unplugging is also told to the window as Windows tells
    it (Wine sends no such message)."""
    m = c.m
    if tuple(m.session.state["screen"]) != size:
        m.session.restart_display(*size)
    r = ConfirmedRun(c, "K38KRPA23", f"unplugged-{lang}", lang=lang, flash_seconds=8.0)
    if not r.asked:
        return

    def pull_and_plug(r):
        if not c.check(wait_until((r.work / "winflash.log").exists, 30), "the utility starts"):
            return
        time.sleep(1.0)
        shown = r.watcher.statuses()
        if not c.equal(len(shown), 5, "status lines before the unplugging (138 to 137)"):
            return
        updating = shown[-1][0]
        pulled = told = set_mains(m, 0)
        if announce:
            m.send(r.title, "powerbroadcast", PBT_APMPOWERSTATUSCHANGE)
            told = raw_clock()  # the message was handled
        within = ANNOUNCED_WITHIN_S if announce else WARNING_WITHIN_S
        warning = status_change(r, pulled, updating, 5)
        if not c.check(warning is not None, "a new status line shows after the unplugging"):
            return
        signature, since, first = warning
        c.step(f"{lang}: the warning shows {max(0.0, since - pulled):.2f} to "
               f"{first - pulled:.2f} s after the unplugging")
        c.check(first - told <= within, f"the warning shows within {within} s "
                f"({first - told:.2f} s{' after the message' if announce else ''})")
        c.check(signature not in {s for s, _, _, _ in shown}, "the warning is a text of its own")
        frame = shoot(c, r.layout)
        if c.equal(frame.status, signature, "the screenshot shows the warning") and check_frame(
                c, frame, f"{lang} warning on {size[0]}x{size[1]}"):
            left, _, right, _ = frame.text_box
            c.step(f"{lang}: string 145 inks columns {left}..{right} of 0..639")
            c.check(left > 0 and right < 639, "string 145 fits the status line unclipped")
            keep = os.environ.get("BIOSUPDATE_SCREENSHOTS")
            if keep and not c.failures:
                Path(keep).mkdir(parents=True, exist_ok=True)
                save_png(frame.shot, Path(keep) / f"{lang}-unplugged.png")
                c.step(f"kept {Path(keep) / f'{lang}-unplugged.png'}")
        plugged = set_mains(m, 1)
        back = status_change(r, plugged, signature, 5)
        if c.check(back is not None, "the status line changes again once mains power is back"):
            c.equal(back[0], updating, "string 137 shows again")
            c.step(f"{lang}: 137 back {back[2] - plugged:.2f} s after the plugging")
            c.check(back[2] - plugged <= WARNING_WITHIN_S, f"137 back within "
                    f"{WARNING_WITHIN_S} s ({back[2] - plugged:.2f} s)")
        seen = {s for s, _, _, _ in r.watcher.statuses()}
        c.equal(len(seen), 6, "status lines in the whole run: 138 to 137 and the warning")

    try:
        r.confirm(during=pull_and_plug, timeout=60)
    finally:
        set_mains(m, 1)
    runs = check_traces(c, r, flashed=True)
    c.equal(len(runs), 1, "runs of the flash utility")
    if runs and "end_s" in runs[0] and r.ended:
        after = r.run.ended - runs[0]["end_s"]
        c.check(-0.002 <= after <= END_AFTER_UTILITY_S,
                f"the run ends when the utility has ended ({after:.2f} s)")


@case("adapter_unplugged")
def adapter_unplugged(c):
    """The mains adapter pulled while the utility runs: within 1.5 s the
    status line warns (string 145), painted as every status text, in English
    on 1024x768 and Korean on 800x600, and at once when the window is told
    of the change; plugged in again it shows 137; the flash goes on,
    and the marker and exit code are as after any flash."""
    before = tuple(c.m.session.state["screen"])
    try:
        unplugged_run(c, "en", (1024, 768), announce=True)
        unplugged_run(c, "ko", (800, 600), announce=False)
    finally:
        if tuple(c.m.session.state["screen"]) != before:
            c.m.session.restart_display(*before)


MAINS_WAIT_S = 60


def unplugged_before_start(c, folder, plug_back_s):
    """Unplugged while the question is up, then Yes; plugged back plug_back_s
    after Yes, or never (None). Returns (run, Yes, plugging)."""
    m = c.m
    m.write_notebook(ac=1, charge=80, bios="K38KRPA23")
    reset_outcome(m)
    run = traced(c, m.install(c.config.exe, folder, work_files=flash_files(c.config.vendor, 1)))
    yes = plugged = None
    try:
        if c.check(m.wait_window(CONFIRM_TITLE, 30000), f"{folder}: the confirmation is shown"):
            set_mains(m, 0)
            m.press(CONFIRM_TITLE, "yes")
            yes = raw_clock()
            if plug_back_s is not None:
                time.sleep(plug_back_s)
                plugged = set_mains(m, 1)
            check_ended(c, run, folder, RUN_UP_S + MAINS_WAIT_S + 30)
    finally:
        set_mains(m, 1)
    return run, yes, plugged


@case("adapter_unplugged_before_start")
def adapter_unplugged_before_start(c):
    """The adapter pulled while the confirmation asks, then Yes: at the start
    145 shows and the utility waits. Plugged back 20 s after Yes (the start
    would come at about 12.5 s): 137 again, the utility starts within a
    second and the run ends as any flash. Never plugged back: 149 60 s after
    145, for 5 s; nothing started, nothing recorded."""
    run, yes, plugged = unplugged_before_start(c, "mains-back", 20)
    c.equal([sid for _, sid in run.statuses()][-3:], [137, 145, 137], "137, warning, 137 again")
    logged = read_flash_log(run.exe.parent / WORK_FOLDER)
    if plugged and c.equal(len(logged), 1, "runs of the utility") and "start_s" in logged[0]:
        start = logged[0]["start_s"]
        c.step(f"the utility starts {start - yes:.2f} s after Yes, {start - plugged:.2f} s "
               "after the plugging")
        c.check(0 <= start - plugged <= WARNING_WITHIN_S, "it starts once mains power is back")
        check_marker_once(c, run, "mains back", not_before=logged[0].get("end_s"))
        c.check(update_folder(c.m).is_dir(), "mains back: the update folder is created")

    run, _, _ = unplugged_before_start(c, "mains-never", None)
    times = dict((sid, t) for t, sid in run.statuses())
    if c.check({145, 149} <= set(times) and run.ended, f"145, then 149 ({sorted(times)})"):
        c.step(f"149 {times[149] - times[145]:.2f} s after 145; the end "
               f"{run.ended - times[149]:.2f} s after 149")
        c.check(abs(times[149] - times[145] - MAINS_WAIT_S) <= 1.5, "the start waits 60 s")
        c.check(abs(run.ended - times[149] - ENDING_SHOWN_S) <= END_AFTER_UTILITY_S, "149 for 5 s")
    c.equal((run.utility_starts(), run.marker_writes(), update_folder(c.m).exists()),
            ([], [], False), "never plugged back: starts, marker writes, update folder")
