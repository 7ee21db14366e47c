"""The update dialog on the real program: declining, the four outcomes of a
confirmed run as the machine keeps them (update marker, update folder, work
folder, the flash utility's log), the status line's timeline on the screen,
and the window's refusals while it runs."""

import os
import shutil
import time

from cases import CONFIRM_TITLE, case
from hardening_run import flash_files, read_flash_log
from machine import WORK_FOLDER, raw_clock, wait_until
from screen import Layout, Watcher

DIALOG_TITLE = 129
MARKER_KEY = r"HKU\.DEFAULT\Software\Vireo\BIOSUPDATE\Parameters"
VENDOR_KEY = r"HKU\.DEFAULT\Software\Vireo"
MARKER_TEXT = "1.1508.1126.02"
PACKAGE = "K38KRPA24"
QUERY_DENY = 0x424D5144
WS_EX_TOPMOST, WS_EX_TOOLWINDOW, WS_EX_APPWINDOW = 0x8, 0x80, 0x40000

# The timeline of a confirmed run, in seconds from the answer: the dialog
# sleeps 2 s before its first status and starts the run 0.5 s later; the
# worker waits 1 s, then shows a status every 2 s (t = 3, 5, 7 s from its
# start) and the outcome's text at t = 7 s.
FIRST_STATUS_S = 2.0
WORKER_START_S = 2.5
STATUS_STEP_S = 2.0
OUTCOME_AT_S = 7.0
NEWER_UPDATING_AT_S = 11.0  # the package-newer outcome's second text
FLASH_AT_S = 12.0
MAX_QUERY_S = 1.5  # the identity query runs between the start and the worker
TIMER_SLACK_S = 0.15  # Wine's sleeps, timers and repaints
EXIT_SLACK_S = 1.0  # the process's end after the dialog's

# name: (running BIOS, seconds the outcome's text stays before the run ends)
OUTCOMES = {
    "other platform": ("K38KQPA24", 3.0),
    "package older": ("K38KRPA2A", 5.0),
    "same version": ("K38KRPA24", 5.0),
}


def update_folder(m):
    return m.drive_c / "Program Files (x86)" / "BIOSUPDATE"


def clear_traces(m):
    """No update marker (nor its vendor key) and no update folder."""
    m.reg_delete(VENDOR_KEY)
    shutil.rmtree(update_folder(m), ignore_errors=True)


class ConfirmedRun:
    """One run answered with Yes, watched on the screen until it ends."""

    def __init__(self, c, bios, folder, lang="en", flash_seconds=1.0, files=None):
        m = c.m
        self.c, self.lang = c, lang
        self.title = c.texts[DIALOG_TITLE][lang]
        m.write_notebook(ac=1, charge=80, bios=bios)
        self.files = flash_files(c.config.vendor, flash_seconds) if files is None else files
        self.exe = m.install(c.config.exe, folder, work_files=self.files)
        self.work = self.exe.parent / WORK_FOLDER
        clear_traces(m)
        self.run = c.start(self.exe, lang=lang)
        self.asked = c.check(m.wait_window(CONFIRM_TITLE), "the confirmation box shows")
        if self.asked:
            check_confirmation(c, lang, self.title)
        self.layout = Layout(lang)
        self.watcher = Watcher(m.session.display, tuple(m.session.state["screen"]), self.layout)

    def confirm(self, during=None, timeout=40):
        """Answers Yes, runs during(self) meanwhile, and waits for the end."""
        c = self.c
        with self.watcher:
            self.pressed = raw_clock()
            c.m.press(CONFIRM_TITLE, "yes")
            self.answered = raw_clock()
            c.step("confirmed")
            if during:
                during(self)
            self.ended = c.expect_exit(self.run, "the confirmed run", timeout=timeout)
        self.total = self.run.ended - self.pressed if self.ended else None

    def wait_for_marker(self, timeout=10):
        return wait_until(lambda: any(step for _, step in self.watcher.steps()), timeout,
                          step=0.1)

    def since_confirm(self, t):
        return t - self.pressed


def check_confirmation(c, lang, title):
    """The box asks string 139, owned by the dialog, which waits hidden."""
    m = c.m
    c.equal(m.box_text(CONFIRM_TITLE), c.texts[139][lang], "the confirmation text")
    box = m.visible_titled(CONFIRM_TITLE)
    dialogs = [w for w in m.windows() if w.title == title]
    if c.equal(len(dialogs), 1, f"windows titled {title!r} while the box asks"):
        c.check(not dialogs[0].visible, "the dialog stays hidden while the box asks")
        if box:
            c.equal(box[0].owner, dialogs[0].hwnd, "the box's owner is the dialog")


def check_traces(c, r, flashed):
    """What a finished run leaves on the machine."""
    m = c.m
    value = m.reg_value(MARKER_KEY, "Version")
    if c.check(value is not None, "the update marker is written"):
        c.equal((value["type"], value["text"]), (1, MARKER_TEXT), "the update marker")
        # Wine counts the NUL after the 14 bytes it is given (see README).
        c.check(value["hex"] in (MARKER_TEXT.encode().hex(), MARKER_TEXT.encode().hex() + "00"),
                f"the update marker's data: {value['hex']}")
    c.check(update_folder(m).is_dir(), "the update folder BIOSUPDATE is created")
    c.equal(sorted(os.listdir(update_folder(m))) if update_folder(m).is_dir() else None, [],
            "the update folder is empty")
    kept = m.folder_files(r.work) or {}
    log = kept.pop("winflash.log", None)
    c.equal(kept, r.files, "the work folder is kept with its files untouched")
    if not flashed:
        c.equal(log, None, "the flash utility did not run (no winflash.log)")
    return read_flash_log(r.work)


def check_timeline(c, r, texts_after_verifying, last_wait):
    """The status line's course on the screen: the dialog's text 2 s after
    the answer, the worker's texts 2 s apart from 5.5 s after the answer
    plus the identity query, then the outcome's texts, and the end
    last_wait seconds after the last one. Each change is known to lie
    between two samples; each gap must fit between the two changes'
    bounds; last_wait None leaves the end to the caller. Returns when the
    worker started, (earliest, latest)."""
    statuses = r.watcher.statuses()
    seen = [round(r.since_confirm(first), 2) for _, _, first, _ in statuses]
    c.step(f"status lines first seen at {seen} s after the answer")
    count = 3 + texts_after_verifying
    if not c.equal(len(statuses), count, "status lines shown one after another"):
        return None
    c.equal(len({s[0] for s in statuses}), count, "every status line differs from the others")
    # When each line came: (earliest, latest), answer included.
    came = [(r.pressed if since is None else since, first) for _, since, first, _ in statuses]
    answered = (r.pressed, r.answered)

    def gap_fits(a, b, seconds, slack_after=0.0):
        low, high = b[0] - a[1] - TIMER_SLACK_S, b[1] - a[0] + TIMER_SLACK_S + slack_after
        return low <= seconds <= high

    c.check(gap_fits(answered, came[0], FIRST_STATUS_S),
            f"the first status line shows 2 s after the answer ({seen[0]} s)")
    c.check(gap_fits(answered, came[1], WORKER_START_S + 3.0, MAX_QUERY_S),
            f"the worker's first text 5.5 s after the answer plus the query ({seen[1]} s)")
    steps = [STATUS_STEP_S, OUTCOME_AT_S - 5.0]
    if texts_after_verifying == 2:
        steps.append(NEWER_UPDATING_AT_S - OUTCOME_AT_S)
    for k, seconds in enumerate(steps, 1):
        c.check(gap_fits(came[k], came[k + 1], seconds),
                f"status line {k + 2} {seconds:g} s after line {k + 1} "
                f"(seen at {seen[k]} and {seen[k + 1]} s)")
    if r.ended and last_wait is not None:
        c.check(gap_fits(came[-1], (r.run.ended, r.run.ended), last_wait, EXIT_SLACK_S),
                f"the run ends {last_wait:g} s after the last status line "
                f"({r.run.ended - came[-1][1]:.2f} s after it was seen)")
    return came[1][0] - 3.0, came[1][1] - 3.0


def check_animation(c, r):
    """The marker steps on ten times a second through the whole cycle, and
    every sampled frame shows it at one of its 32 places."""
    steps = r.watcher.steps()
    unknown = [round(r.since_confirm(t), 2) for t, s in steps if s is None]
    c.check(not unknown, f"the marker matches a step in every frame (not at {unknown[:5]} s)")
    moving = [(t, s) for t, s in steps if s]
    shown = {s for _, s in moving}
    c.check(len(shown) >= 20, f"the marker shows at least 20 of its 30 places ({len(shown)})")
    advance = elapsed = 0.0
    for (t1, s1), (t2, s2) in zip(steps, steps[1:]):
        if s1 and s2 and t2 - t1 < 0.5:
            advance += (s2 - s1) % 32
            elapsed += t2 - t1
    rate = advance / elapsed if elapsed else 0
    c.check(8.5 <= rate <= 11.0, f"the marker steps {rate:.1f} times a second")


def declined_run(c, folder, while_asking=None):
    """A run answered No, with an empty work folder; while_asking(exe) runs
    while the box waits. Returns the installed exe."""
    m = c.m
    m.write_notebook(ac=1, charge=80, bios=PACKAGE)
    exe = m.install(c.config.exe, folder, work_files={})
    clear_traces(m)
    run = c.start(exe)
    if not c.check(m.wait_window(CONFIRM_TITLE), "the confirmation box shows"):
        return exe
    check_confirmation(c, "en", c.texts[DIALOG_TITLE]["en"])
    if while_asking:
        while_asking(exe)
    with Watcher(m.session.display, tuple(m.session.state["screen"]), Layout("en")) as watcher:
        m.press(CONFIRM_TITLE, "no")
        declined = raw_clock()
        if c.expect_exit(run, "declined"):
            c.check(run.ended - declined < 2.0,
                    f"the run ends at once ({run.ended - declined:.2f} s after No)")
    c.equal(watcher.picture_span(), None, "the update screen never shows")
    c.check(not (exe.parent / WORK_FOLDER).exists(), "the empty work folder is removed")
    c.equal(m.reg_query(VENDOR_KEY, "Version"), None, "no update marker")
    c.equal(m.reg_value(MARKER_KEY, "Version"), None, "no update marker value")
    c.check(not update_folder(m).exists(), "no update folder")
    return exe


@case("dialog_decline")
def dialog_decline(c):
    """No at the box: the empty work folder goes, nothing else changes, the
    window never shows, and the run ends at once. A close request while the
    box asks removes the empty work folder at once and ends nothing; a quit
    request from another program is no answer: the box asks again."""
    declined_run(c, "decline")

    def close_while_asking(exe):
        title = c.texts[DIALOG_TITLE]["en"]
        c.equal(c.m.send(title, "close"), 0, "WM_CLOSE's answer while the box asks")
        c.check(not (exe.parent / WORK_FOLDER).exists(),
                "WM_CLOSE removes the empty work folder at once")
        c.check(c.m.wait_window(CONFIRM_TITLE, 0), "the box still asks after WM_CLOSE")
        c.m.quit(CONFIRM_TITLE)
        c.m.post(title, "0x0111", 1, 0)  # WM_COMMAND IDOK to the dialog
        time.sleep(1.0)
        c.check(c.m.wait_window(CONFIRM_TITLE, 5000), "the box asks again after a quit request")
        c.check(not c.m.visible_titled(title), "a quit request does not confirm the update")

    declined_run(c, "decline-close", close_while_asking)


def outcome(c, name):
    bios, last_wait = OUTCOMES[name]
    r = ConfirmedRun(c, bios, name.replace(" ", "-"))
    if not r.asked:
        return
    r.confirm()
    check_traces(c, r, flashed=False)
    check_timeline(c, r, 1, last_wait)
    check_animation(c, r)
    if r.total is not None:
        expected = WORKER_START_S + OUTCOME_AT_S + last_wait
        c.step(f"{name}: answer to exit {r.total:.2f} s; the timeline says {expected:g} s "
               "plus the identity query")
        c.check(expected - 0.2 <= r.total <= expected + MAX_QUERY_S + 1.0,
                f"{name}: the run lasts about {expected:g} s ({r.total:.2f} s)")


@case("dialog_other_platform")
def dialog_other_platform(c):
    """Running BIOS K38KQPA24: no flash, the outcome's text for 3 s."""
    outcome(c, "other platform")


@case("dialog_package_older")
def dialog_package_older(c):
    """Running BIOS K38KRPA2A (0x2A above 0x24): no flash, 5 s."""
    outcome(c, "package older")


@case("dialog_same_version")
def dialog_same_version(c):
    """Running BIOS K38KRPA24: no flash, 5 s."""
    outcome(c, "same version")


def check_flash(c, r, flash_seconds, command_line):
    """The utility ran once, as expected and when expected, and the run
    ended right after it."""
    runs = check_traces(c, r, flashed=True)
    if not c.equal(len(runs), 1, "runs of the flash utility"):
        return
    log = runs[0]
    c.equal(log.get("command_line"), command_line, "the utility's command line")
    c.equal(log.get("working_directory"), c.m.windows_path(r.work),
            "the utility's working directory")
    # The end is checked against the utility's own: its start and end take
    # Wine a moment that no timeline counts.
    worker = check_timeline(c, r, 2, None)
    check_animation(c, r)
    if "start_s" in log and "end_s" in log and r.ended:
        started = r.since_confirm(log["start_s"])
        c.step(f"the utility ran {log['end_s'] - log['start_s']:.2f} s from "
               f"{started:.2f} s after the answer")
        if worker is not None:
            earliest, latest = (started - r.since_confirm(t) for t in reversed(worker))
            c.check(earliest - 0.3 <= FLASH_AT_S <= latest + 0.3,
                    f"the utility starts at t = 12 s of the worker "
                    f"({earliest:.2f}..{latest:.2f} s)")
        after = r.run.ended - log["end_s"]
        c.check(-0.002 <= after <= 1.0, f"the run ends when the utility has ended ({after:.2f} s)")
    if r.total is not None:
        expected = WORKER_START_S + FLASH_AT_S + flash_seconds
        c.step(f"package newer: answer to exit {r.total:.2f} s; the timeline says "
               f"{expected:g} s plus the identity query")
        c.check(expected - 0.2 <= r.total <= expected + MAX_QUERY_S + 1.5,
                f"package newer: the run lasts about {expected:g} s ({r.total:.2f} s)")


def refuse_everything(r):
    """While the worker runs: the window covers the screen topmost, outside
    the taskbar, and neither close requests, power and session queries nor
    Esc, Enter and Alt+F4 end it."""
    c, m, title = r.c, r.c.m, r.title
    if not c.check(r.wait_for_marker(), "the marker moves"):
        return
    width, height = m.session.state["screen"]
    window = [w for w in m.windows() if w.title == title]
    if c.equal(len(window), 1, "the dialog's window"):
        w = window[0]
        c.equal((w.visible, w.rect), (True, (0, 0, width, height)), "the window covers the screen")
        c.equal(w.ex_style & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_APPWINDOW),
                WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
                f"topmost tool window, not an app window (ex-style {w.ex_style:#x})")
        c.equal(w.owner, "0x00000000", "the window has no owner")
    for _ in range(2):
        c.equal(m.send(title, "close"), 0, "WM_CLOSE's answer")
    for event in (0, 4):
        c.equal(m.send(title, "powerbroadcast", event), QUERY_DENY,
                f"WM_POWERBROADCAST {event} is refused")
    for event in (1, 7, 10):
        answer = m.send(title, "powerbroadcast", event)
        c.check(answer is not None and answer != QUERY_DENY,
                f"WM_POWERBROADCAST {event} is passed on ({answer})")
    c.equal(m.send(title, "queryendsession"), 0, "WM_QUERYENDSESSION's answer")
    for key in ("esc", "enter", "altf4"):
        c.check(m.key(title, key), f"{key} posted")
        c.check(m.ui("--input", "key", title, key)[0] == 0, f"{key} typed")
    time.sleep(0.3)
    c.check(r.run.running() and m.wait_window(title, 0), "the window and the run go on")
    c.check(r.work.is_dir(), "the work folder with its files stays after WM_CLOSE")
    c.step("close, power, session and key requests refused")


def flash_run(c, folder, lang, flash_seconds, during=None):
    r = ConfirmedRun(c, "K38KRPA23", folder, lang=lang, flash_seconds=flash_seconds)
    if not r.asked:
        return None
    r.confirm(during=during)
    return r


@case("dialog_package_newer")
def dialog_package_newer(c):
    """Running BIOS K38KRPA23 (0x23 below 0x24): the utility runs ~3 s from
    the work folder with the image's path and /NOWMSG; the window refuses
    every way out meanwhile."""
    seconds = 3.0
    r = flash_run(c, "newer", "en", seconds, during=refuse_everything)
    if r:
        work = c.m.windows_path(r.work)
        check_flash(c, r, seconds, f"{work}\\winflash.exe {work}\\{PACKAGE} /NOWMSG")


@case("dialog_package_newer_ko_blanks")
def dialog_package_newer_ko_blanks(c):
    """The same in Korean, from a folder with blanks: the two paths of the
    command line arrive quoted."""
    seconds = 1.0
    r = flash_run(c, "update tools ko", "ko", seconds)
    if r:
        work = c.m.windows_path(r.work)
        check_flash(c, r, seconds, f'"{work}\\winflash.exe" "{work}\\{PACKAGE}" /NOWMSG')
