"""The update screen on the real program, read from screenshots: the
picture for the locale centred on a black screen, the track, the white
status line inside its rectangle only, the blue marker inside the track
only and moving.

With BIOSUPDATE_SCREENSHOTS=DIR set, each case also keeps one screenshot
taken while the flash utility runs as DIR/en.png or DIR/ko.png (see
scripts/screenshots.sh)."""

import os
import time
from pathlib import Path

from cases import CONFIRM_TITLE, case
from cases_dialog import clear_traces
from hardening_run import flash_files
from machine import raw_clock, wait_until
from screen import PICTURE_W, Frame, Layout, grab, save_png

PAIR_GAP_S = 0.15
FLASH_SECONDS = 2.0  # 20 steps: one of them shows the whole marker
CENTRE_TOLERANCE = 3  # pixels: the text's ink need not be symmetric
TOP_GAP = 4  # rows between the rectangle's top and the first ink (2 seen)


def shoot(c, layout):
    started = raw_clock()
    return Frame(grab(c.m.session.display), layout, started)


def check_frame(c, frame, what):
    for problem in frame.problems[:3]:
        c.check(False, f"{what}: {problem}")
    if len(frame.problems) > 3:
        c.check(False, f"{what}: and {len(frame.problems) - 3} more differences")
    if frame.problems:
        keep_evidence(c, frame)
        return False
    box = frame.text_box
    if not c.check(box is not None and frame.white > 0, f"{what}: white status text shows"):
        return False
    left, top, right, bottom = box
    c.step(f"{what}: text in columns {left}..{right}, rows {top}..{bottom}, "
           f"{frame.white} white pixels")
    rect_top = frame.layout.status_top
    c.check(top - rect_top <= TOP_GAP, f"{what}: the text sits at the top of its rectangle "
            f"(rows {top}..{bottom}, the rectangle from {rect_top})")
    clipped = left == 0 and right == PICTURE_W - 1
    centre = (left + right) / 2
    c.check(clipped or abs(centre - (PICTURE_W - 1) / 2) <= CENTRE_TOLERANCE,
            f"{what}: the text is centred (columns {left}..{right})")
    return True


def keep_evidence(c, frame):
    folder = c.m.session.work / "failures"
    folder.mkdir(exist_ok=True)
    path = folder / f"{c.name}-{len(c.failures)}.png"
    save_png(frame.shot, path)
    c.step(f"screenshot kept in {path}")


def marker_pair(c, layout, tries=4):
    """Two screenshots 150 ms apart, both with the marker on the track."""
    for _ in range(tries):
        first = shoot(c, layout)
        time.sleep(max(0.0, first.taken + PAIR_GAP_S - raw_clock()))
        second = shoot(c, layout)
        if first.step and second.step:
            return first, second
    return None


def screen_run(c, lang, size):
    m = c.m
    if tuple(m.session.state["screen"]) != size:
        m.session.restart_display(*size)
    width, height = size
    layout = Layout(lang)
    m.write_notebook(ac=1, charge=80, bios="K38KRPA23")
    exe = m.install(c.config.exe, f"screen-{lang}", work_files=flash_files(c.config.vendor, FLASH_SECONDS))
    flash_log = exe.parent / "Zarel_bios" / "winflash.log"
    clear_traces(m)
    run = c.start(exe, lang=lang)
    if not c.check(m.wait_window(CONFIRM_TITLE), "the confirmation box shows"):
        return
    m.press(CONFIRM_TITLE, "yes")
    c.step(f"confirmed on a {width}x{height} screen")

    # Early in the run: the marker moves between two shots.
    wait_until(lambda: shoot(c, layout).step, 10)
    pair = marker_pair(c, layout)
    if c.check(pair is not None, "two screenshots with the marker on the track"):
        first, second = pair
        for n, frame in enumerate(pair, 1):
            check_frame(c, frame, f"screenshot {n} (step {frame.step})")
        gap = second.taken - first.taken
        moved = (second.step - first.step) % 32
        c.check(1 <= moved <= int(gap * 10) + 2, f"the marker moved from step {first.step} "
                f"to {second.step} in {gap:.2f} s")
        c.step(f"marker at steps {first.step} and {second.step}, {gap:.2f} s apart")

    # While the utility runs, under the longest status line: a screenshot
    # every 100 ms, checked once the run is over.
    if c.check(wait_until(flash_log.exists, 20), "the flash utility starts"):
        shots = []
        while run.running() and len(shots) < 30:
            started = raw_clock()
            shots.append((started, grab(m.session.display)))
            time.sleep(max(0.0, started + 0.1 - raw_clock()))
        # The last ones may show the window going.
        frames = [f for f in (Frame(shot, layout, t) for t, shot in shots)
                  if layout.shows_track(f.picture)]
        if c.check(len(frames) >= 10, f"screenshots while the utility runs ({len(frames)})"):
            best = min(frames, key=lambda f: abs((f.step or 0) - 16))
            bad = [f for f in frames if f.problems and f is not best]
            c.check(not bad, f"{len(bad)} of {len(frames)} screenshots during the flash differ")
            if bad:
                check_frame(c, bad[0], f"screenshot during the flash (step {bad[0].step})")
            if check_frame(c, best, f"screenshot during the flash (step {best.step})") and pair:
                c.check(best.status != first.status, "the status line has changed")
            keep = os.environ.get("BIOSUPDATE_SCREENSHOTS")
            if keep and not c.failures:
                Path(keep).mkdir(parents=True, exist_ok=True)
                save_png(best.shot, Path(keep) / f"{lang}.png")
                c.step(f"kept {Path(keep) / f'{lang}.png'}")
    c.expect_exit(run, "the run", timeout=30)


@case("screen_en")
def screen_en(c):
    """English on 1024x768: bitmap 135 at (192, 144), text rows 310..334."""
    screen_run(c, "en", (1024, 768))


@case("screen_ko")
def screen_ko(c):
    """Korean on 800x600: bitmap 134 at (80, 60), text rows 300..324."""
    before = tuple(c.m.session.state["screen"])
    try:
        screen_run(c, "ko", (800, 600))
    finally:
        if tuple(c.m.session.state["screen"]) != before:
            c.m.session.restart_display(*before)
