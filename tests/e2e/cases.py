"""The frame the end-to-end cases run in: registration, checks that collect
every mismatch of a case, and the steps shared by several cases."""

import time
import traceback

from session import log

CASES = {}

POWER_TITLE = "BIOS Update"
CONFIRM_TITLE = "Corvane - Urgent Update"
# Until the update dialog exists, a run that passes every guard shows this.
STAND_IN_TEXT = "The update dialog is not built yet."
EXIT_TIMEOUT_S = 20


def case(name):
    """Registers a case function f(c: Case) under name."""
    def register(fn):
        CASES[name] = fn
        return fn
    return register


class Case:
    def __init__(self, name, machine, config):
        self.name = name
        self.m = machine
        self.config = config
        self.texts = config.texts
        self.failures = []
        self.runs = []
        self.started = time.monotonic()

    def step(self, message):
        log(f"  {time.monotonic() - self.started:6.2f}s {message}")

    def check(self, ok, what):
        if not ok:
            self.failures.append(what)
            self.step(f"FAIL: {what}")
        return ok

    def equal(self, actual, expected, what):
        return self.check(actual == expected, f"{what}: expected {expected!r}, got {actual!r}")

    def start(self, exe, args=(), lang="en"):
        run = self.m.start(exe, args, lang)
        self.runs.append(run)
        self.step(f"started {exe.name} {' '.join(args)} ({lang})")
        return run

    def expect_exit(self, run, what, timeout=EXIT_TIMEOUT_S):
        code = run.wait(timeout)
        if code is None:
            return self.check(False, f"{what}: still running after {timeout} s")
        self.step(f"{what}: exit code {code} after {run.elapsed:.2f} s")
        return self.equal(code, 0, f"{what}: exit code")

    def end_passed_run(self, run, lang, what):
        """After every guard passed: answers what the run shows (the stand-in
        box, or the confirmation, declined) and expects the exit."""
        title = self.m.wait_any_window([POWER_TITLE, CONFIRM_TITLE])
        self.step(f"{what}: {title!r} shown")
        if title == CONFIRM_TITLE:
            self.equal(self.m.box_text(CONFIRM_TITLE), self.texts[139][lang],
                       f"{what}: confirmation text")
            self.m.press(CONFIRM_TITLE, "no")
        elif title == POWER_TITLE:
            self.equal(self.m.box_text(POWER_TITLE), STAND_IN_TEXT, f"{what}: box after the guards")
            self.m.press(POWER_TITLE, "ok")
        else:
            self.check(False, f"{what}: nothing shown after the guards")
        return self.expect_exit(run, what)

    def finish(self, error=None):
        stuck = [run for run in self.runs if run.running()]
        for run in stuck:
            run.kill()
        if stuck:
            # What they started (the flash utility, boxes) goes with the server.
            log("  programs were left running: restarting the wineserver")
            self.m.session.restart_server()
        if error:
            self.failures.append(error)
        return self.failures


def run_case(name, machine, config):
    c = Case(name, machine, config)
    log(f"case {name}")
    error = None
    try:
        CASES[name](c)
    except Exception:  # a broken case is reported like a failed one
        error = traceback.format_exc()
        log(error)
    if error or c.failures:
        save_evidence(c)
    failures = c.finish(error)
    log(f"case {name}: {'FAILED' if failures else 'passed'} in "
        f"{time.monotonic() - c.started:.1f} s")
    return failures


def save_evidence(c):
    folder = c.m.session.work / "failures"
    folder.mkdir(exist_ok=True)
    try:
        c.m.screenshot(folder / f"{c.name}.png")
        lines = [f"{w.hwnd} pid={w.pid} visible={w.visible} {w.class_name} {w.title!r}"
                 for w in c.m.windows()]
        (folder / f"{c.name}.windows.txt").write_text("\n".join(lines) + "\n")
        log(f"  screenshot and window list in {folder}")
    except Exception as e:  # evidence is best effort
        log(f"  no evidence saved: {e}")
