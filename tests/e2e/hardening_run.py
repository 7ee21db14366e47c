"""One run of BIOSUpdate.exe followed through Wine's debug output.

Started with WINEDEBUG=+timestamp,+pid,..., every Wine process of the run
writes lines like

  3402.019:0028:002c:trace:text:DrawTextExW L"Loading BIOS update files. ", ...

into one trace file: milliseconds of the monotonic raw clock (the one
machine.raw_clock reads, and the stand-in utility's monotonic_ms), Windows
process and thread ids, and the event. From it a run yields, without changing the program: when each status
text was first drawn, which thread loaded which string, which modules were
loaded from where, when the flash utility started and how often the update
marker was written. Used by the hardening cases, the benchmark
(bench/run.sh) and the demonstration run (scripts/run.sh, see main())."""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from dataclasses import dataclass
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import texts  # noqa: E402
from machine import WORK_FOLDER, Machine, raw_clock, vendor_files  # noqa: E402
from session import Session, SetupError  # noqa: E402

CONFIRM_TITLE = "Corvane - Urgent Update"
POWER_TITLE = "BIOS Update"
DIALOG_TITLE = "BIOS Update Program"
MARKER_KEY = r"HKU\.DEFAULT\Software\Vireo\BIOSUPDATE\Parameters"
MARKER_NAME = "Version"
MARKER_TEXT = "1.1508.1126.02"
UPDATE_FOLDER = ("Program Files (x86)", "BIOSUPDATE")
IMAGE_NAME = "K38KRPA24"

# Texts the update screen shows, in the order of a run; 133 and 134 read alike.
STATUS_IDS = (138, 131, 132, 135, 137, 133, 141, 142, 144, 145, 146, 147, 148, 149)
STAGES = {138: "initialising", 131: "loading", 132: "verifying", 135: "checking",
          137: "updating", 133: "other-platform", 141: "bios-newer", 142: "same-version"}
CONFIRM_TEXT_ID = 139

# Timestamps, process and thread ids, loaded modules, drawn texts, registry
# writes. The benchmark adds +resource (string loads, to see the worker start).
CHANNELS = "+timestamp,+pid,+loaddll,+text,+reg"
DT_CALCRECT = 0x400

_LINE = re.compile(r"^\s*(\d+)\.(\d{3}):([0-9a-f]+):([0-9a-f]+):(\w+):([\w-]+):(\S+) ?(.*)$")
_SIMPLE_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}


def decode_wide(text):
    """(string, rest) for text that starts with a debugstr_w literal L"...",
    or (None, text)."""
    if not text.startswith('L"'):
        return None, text
    out = []
    i = 2
    while i < len(text):
        c = text[i]
        if c == '"':
            return "".join(out), text[i + 1:]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            if nxt in _SIMPLE_ESCAPES:
                out.append(_SIMPLE_ESCAPES[nxt])
                i += 2
                continue
            code = text[i + 1:i + 5]
            if re.fullmatch(r"[0-9a-f]{4}", code):
                out.append(chr(int(code, 16)))
                i += 5
                continue
        out.append(c)
        i += 1
    return None, text


@dataclass
class Line:
    t: float
    pid: int
    tid: int
    kind: str
    channel: str
    function: str
    message: str


class Trace:
    """The lines of a trace file, read as it grows, with what the cases ask
    about already picked out."""

    def __init__(self, path):
        self.path = Path(path)
        self._offset = 0
        self._partial = b""
        self.lines = []
        self.exe_of = {}  # Windows pid -> its main module (lower case)
        self.main_tid = {}  # Windows pid -> its first thread
        self.draws = []  # (t, pid, tid, text) of texts drawn, not measured
        self.strings = []  # (t, pid, tid, id) of LoadString calls
        self.loads = []  # (t, pid, path, how)
        self.searches = []  # (line index, pid, name, search path), with +module
        self.attached = []  # (line index, pid, dll, implicit): DllMain attach ends, +module
        self.value_writes = []  # (t, pid, tid, value name)

    def update(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self._offset)
                data = f.read()
        except FileNotFoundError:
            return
        self._offset += len(data)
        data = self._partial + data
        *complete, self._partial = data.split(b"\n")
        for raw in complete:
            self._add(raw.decode("utf-8", "replace"))

    def _add(self, text):
        m = _LINE.match(text)
        if not m:
            return
        line = Line(int(m[1]) + int(m[2]) / 1000, int(m[3], 16), int(m[4], 16), m[5], m[6],
                    m[7], m[8])
        self.lines.append(line)
        self.main_tid.setdefault(line.pid, line.tid)
        fn, msg = line.function, line.message
        if line.channel == "loaddll" and msg.startswith("Loaded "):
            path, rest = decode_wide(msg[len("Loaded "):])
            if path is not None:
                how = rest.rsplit(":", 1)[-1].strip()
                self.loads.append((line.t, line.pid, path, how))
                self.exe_of.setdefault(line.pid, path.lower())
        elif fn == "DrawTextExW":
            text, rest = decode_wide(msg)
            flags = re.search(r"\]\s+([0-9a-f]+)\s*$", rest or "")
            if text is not None and not (flags and int(flags[1], 16) & DT_CALCRECT):
                self.draws.append((line.t, line.pid, line.tid, text))
        elif fn == "LoadStringW":
            sid = re.search(r"id = ([0-9a-f]+)", msg)
            if sid:
                self.strings.append((line.t, line.pid, line.tid, int(sid[1], 16)))
        elif fn == "NtSetValueKey":
            name, _ = decode_wide(msg[msg.find(",") + 1:] if "," in msg else "")
            if name is not None:
                self.value_writes.append((line.t, line.pid, line.tid, name))
        elif fn == "load_dll" and msg.startswith("looking for "):
            name, rest = decode_wide(msg[len("looking for "):])
            where, _ = decode_wide(rest.strip()[3:]) if rest.strip().startswith("in ") else (
                None, "")
            self.searches.append((len(self.lines) - 1, line.pid, name, where))
        elif fn == "process_attach" and msg.endswith("- END"):
            dll, rest = decode_wide(msg.lstrip("("))
            reserved = re.match(r",([0-9a-fA-F]+)\)", rest or "")
            if dll is not None and reserved:
                self.attached.append((len(self.lines) - 1, line.pid, dll,
                                      int(reserved[1], 16) != 0))

    def pids_running(self, suffix):
        """Windows pids whose main module path ends with suffix."""
        suffix = suffix.lower()
        return [pid for pid, exe in self.exe_of.items() if exe.endswith(suffix)]


class TracedRun:
    """BIOSUpdate.exe started on the simulated notebook with its debug output
    in a trace file. Has running() and kill() like machine.Run, so a case can
    list it in c.runs."""

    def __init__(self, machine, exe, args=(), lang="en", channels=CHANNELS, trace_path=None,
                 through=()):
        """through: a program and its first arguments that start exe (by its
        Windows path) and end with its exit code, e.g. uidriver injob."""
        self.m = machine
        self.exe = Path(exe)
        self.lang = lang
        self.name = self.exe.name
        self.windows_exe = machine.windows_path(self.exe).lower()
        session = machine.session
        self.trace_path = Path(trace_path or session.work / f"trace-{self.exe.parent.name}.log")
        env = session.env(lang)
        env["WINEDEBUG"] = channels
        table = texts.load()
        self.status_of_text = {}
        for sid in reversed(STATUS_IDS):
            self.status_of_text[table[sid][lang]] = sid
        self.confirm_text = table[CONFIRM_TEXT_ID][lang]
        with open(self.trace_path, "wb") as err, open(session.work / "programs.log", "ab") as out:
            self.started = raw_clock()
            program = [*through, machine.windows_path(self.exe)] if through else [self.exe]
            self.proc = subprocess.Popen(session.wine([*program, *args]),
                                         env=env, cwd=self.exe.parent, stdin=subprocess.DEVNULL,
                                         stdout=out, stderr=err)
        self.through = bool(through)
        self.pid = self.proc.pid  # the Unix process is the Windows program (or what started it)
        self.trace = Trace(self.trace_path)
        self.code = None
        self.ended = None
        self._waiter = threading.Thread(target=self._wait, daemon=True)
        self._waiter.start()

    def _wait(self):
        code = self.proc.wait()
        self.ended = raw_clock()
        self.code = code

    # -- the process -------------------------------------------------------

    def running(self):
        return self.ended is None

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
        for pid in self.m.unix_pids(self.exe) if self.through else ():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self._waiter.join(10)

    def wait(self, timeout):
        """The exit code, or None when still running after timeout s (the
        process is then killed)."""
        self._waiter.join(timeout)
        if self._waiter.is_alive():
            self.kill()
            return None
        return self.code

    @property
    def elapsed(self):
        return (self.ended or raw_clock()) - self.started

    def proc_stat(self):
        """(utime + stime in clock ticks, VmRSS in KiB) of the process, or None."""
        try:
            stat = Path(f"/proc/{self.pid}/stat").read_text()
            status = Path(f"/proc/{self.pid}/status").read_text()
        except OSError:
            return None
        fields = stat[stat.rfind(")") + 2:].split()
        ticks = int(fields[11]) + int(fields[12])  # utime, stime (fields 14, 15)
        rss = re.search(r"^VmRSS:\s+(\d+) kB", status, re.M)
        return ticks, int(rss[1]) if rss else None

    # -- what the trace tells ------------------------------------------------

    def update(self):
        self.trace.update()
        return self

    @property
    def wine_pid(self):
        for pid, exe in self.trace.exe_of.items():
            if exe == self.windows_exe:
                return pid
        return None

    def statuses(self):
        """[(t, id)]: each change of the status line, when first drawn."""
        self.update()
        pid = self.wine_pid
        result = []
        for t, p, _, text in self.trace.draws:
            sid = self.status_of_text.get(text)
            if p == pid and sid is not None and (not result or result[-1][1] != sid):
                result.append((t, sid))
        return result

    def confirmation_drawn(self):
        """When the confirmation's text was first drawn, or None."""
        self.update()
        pid = self.wine_pid
        return next((t for t, p, _, text in self.trace.draws
                     if p == pid and text == self.confirm_text), None)

    def paints(self):
        """Times of the update screen's paints (each draws the status once)."""
        self.update()
        pid = self.wine_pid
        return [t for t, p, _, text in self.trace.draws
                if p == pid and text in self.status_of_text]

    def string_loads(self, sid):
        """[(t, tid)] of loads of string sid by the program."""
        self.update()
        pid = self.wine_pid
        return [(t, tid) for t, p, tid, s in self.trace.strings if p == pid and s == sid]

    def marker_writes(self):
        """Times the program wrote the marker's value."""
        self.update()
        pid = self.wine_pid
        return [t for t, p, _, name in self.trace.value_writes
                if p == pid and name == MARKER_NAME]

    def utility_starts(self):
        """[(t, Windows pid)] of the flash utility's processes."""
        self.update()
        return sorted((next(t for t, p, _, _ in self.trace.loads if p == pid), pid)
                      for pid in self.trace.pids_running("\\winflash.exe"))

    def wait_for(self, what, timeout, step=0.05):
        """Polls what() until it gives a true value or timeout s pass; gives
        up early once the program has ended and the trace said it all."""
        deadline = time.monotonic() + timeout
        while True:
            ended = not self.running()
            value = what()
            if value or time.monotonic() >= deadline:
                return value
            if ended:
                return self.update() and what()
            time.sleep(step)

    def wait_status(self, sid, timeout):
        """When status sid was first drawn, or None."""
        found = self.wait_for(lambda: [t for t, s in self.statuses() if s == sid], timeout)
        return found[0] if found else None


# -- a session for runs outside ctest -------------------------------------------


class DemoSession(Session):
    """A session whose prefix is kept between runs; on the caller's own
    display when one is given, else on an Xvfb display of its own."""

    def __init__(self, work, display=None):
        super().__init__(work)
        self.own_display = display

    def _start_display(self, width, height):
        if not self.own_display:
            return super()._start_display(width, height)
        self.state.update(display=self.own_display, screen=[width, height])
        return None


def open_session(work, display=None):
    session = DemoSession(work, display)
    session.setup(keep_prefix=True)
    return session


def check_notebook(machine, lang, ac, charge, bios):
    """Raises SetupError when Wine does not report the simulated notebook."""
    rc, out = machine.wine([machine.uidriver, "probe"], lang=lang)
    report = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    want = {"ac_line": {None: "255"}.get(ac, str(ac)),
            "battery_percent": {None: "255"}.get(charge, str(charge)),
            "bios_version": bios or ""}
    got = {k: report.get(k) for k in want}
    if rc != 0 or got != want:
        raise SetupError(f"Wine does not see the simulated notebook: {got}, expected {want} "
                         "(unprivileged user namespaces must be allowed, see "
                         "tests/wine/notebook-run.sh)")


def update_folder(machine):
    return machine.drive_c.joinpath(*UPDATE_FOLDER)


def reset_outcome(machine):
    """Removes what an earlier run left: the marker and the update folder."""
    machine.reg_delete(MARKER_KEY, MARKER_NAME)
    shutil.rmtree(update_folder(machine), ignore_errors=True)


def flash_files(vendor, seconds=10, extra_ini=""):
    """A work folder as the user receives it (the vendor folder's files),
    with the stand-in utility's settings added."""
    ini = f"seconds={seconds}\r\n{extra_ini}".encode()
    return {**vendor_files(vendor), "winflash.ini": ini}


def read_flash_log(work_folder):
    """[{key: value}] one entry per run of the stand-in utility. "start",
    "handoff", "prompt_shown", "prompt_answered", "end" and "crash" hold the
    logged lines; the same keys with "_s" the times on raw_clock, from their
    monotonic_ms. A line naming its pid goes to that run: a hand-off's two
    processes write to one log."""
    path = Path(work_folder) / "winflash.log"
    if not path.exists():
        return []
    moments = ("start", "handoff", "prompt_shown", "prompt_answered", "end", "crash")
    runs = []
    for line in path.read_text(errors="replace").splitlines():
        key, _, value = line.partition("=")
        if key == "start":
            runs.append({})
        if not runs or key not in moments + ("pid", "command_line", "working_directory",
                                             "settings"):
            continue
        pid = re.search(r"\bpid=(\d+)", value) if key != "start" else None
        run = next((r for r in reversed(runs) if pid and r.get("pid") == pid[1]), runs[-1])
        run[key] = value
        ms = re.search(r"\bmonotonic_ms=(\d+)", value)
        if key in moments and ms:
            run[key + "_s"] = int(ms[1]) / 1000
    return runs


# -- the demonstration run (scripts/run.sh) ------------------------------------


def _parse_args(argv):
    p = argparse.ArgumentParser(prog="scripts/run.sh",
                                description="Runs BIOSUpdate.exe under Wine on a simulated "
                                "notebook and prints what it left behind.")
    p.add_argument("--ac", choices=["0", "1"], default="1", help="mains power (default 1)")
    p.add_argument("--charge", default="80", help="battery charge in per cent, or none")
    p.add_argument("--bios", default="K38KRPA23", help="running BIOS version (default K38KRPA23)")
    p.add_argument("--lang", choices=["en", "ko"], default="en")
    p.add_argument("--seconds", type=float, default=10,
                   help="how long the stand-in utility pretends to flash (default 10)")
    p.add_argument("--work", type=Path, required=True)
    p.add_argument("--exe", type=Path, required=True)
    p.add_argument("--uidriver", type=Path, required=True)
    p.add_argument("--vendor", type=Path, required=True,
                   help="the build's vendor folder: the stand-in utility and image")
    args = p.parse_args(argv)
    args.ac = int(args.ac)
    args.charge = None if args.charge == "none" else int(args.charge)
    return args


def _shoot(machine, folder, name):
    path = folder / f"{name}.png"
    try:
        machine.screenshot(path)
        print(f"           screenshot {path}")
    except (subprocess.SubprocessError, OSError) as e:
        print(f"           (no screenshot: {e})")


def _follow(run, machine, shots, answer_at):
    """Prints each status change, with a screenshot, until the program ends;
    times count from the answer, or from the start when the user answers."""
    base = answer_at or run.started
    print(f"  (times since the {'answer' if answer_at else 'start'})")
    seen = 0
    while True:
        statuses = run.statuses()
        for index, (t, sid) in enumerate(statuses[seen:], start=seen + 2):
            since = f"+{t - base:5.1f} s"
            print(f"  {since}  {STAGES[sid]:<14} {_text(run, sid)}")
            if shots:
                time.sleep(0.15)  # the picture is copied to the screen right after
                _shoot(machine, shots, f"{index:02d}-{STAGES[sid]}")
        seen = len(statuses)
        if not run.running():
            run.update()
            if len(run.statuses()) == seen:
                return
        time.sleep(0.05)


def _text(run, sid):
    return next(text for text, s in run.status_of_text.items() if s == sid)


def _report(machine, exe, code):
    work = exe.parent / WORK_FOLDER
    marker = machine.reg_value(MARKER_KEY, MARKER_NAME)
    folder = update_folder(machine)
    print("\nOutcome")
    print(f"  exit code        {code if code is not None else 'none: still running, killed'}")
    if marker:
        kind = {1: "REG_SZ"}.get(marker["type"], f"type {marker['type']}")
        print(f"  registry marker  {MARKER_KEY}\\{MARKER_NAME} = \"{marker['text']}\" "
              f"({kind}, {marker['bytes']} bytes)")
    else:
        print(f"  registry marker  {MARKER_KEY}\\{MARKER_NAME}: not written")
    state = "created" if folder.is_dir() else "not created"
    print(f"  update folder    C:\\{UPDATE_FOLDER[0]}\\{UPDATE_FOLDER[1]}: {state}")
    if work.is_dir():
        names = ", ".join(sorted(p.name for p in work.iterdir())) or "empty"
        print(f"  work folder      {machine.windows_path(work)}: still there ({names})")
    else:
        print(f"  work folder      {machine.windows_path(exe.parent)}\\{WORK_FOLDER}: removed")
    runs = read_flash_log(work)
    if not runs:
        print("  flash utility    not started")
    for r in runs:
        ended = r.get("end") or (f"crashed {r['crash']}" if "crash" in r else "no end logged")
        print(f"  flash utility    {r.get('command_line', '?')}")
        print(f"                   in {r.get('working_directory', '?')}; started {r['start']}, "
              f"ended {ended}")


def main(argv=None):
    args = _parse_args(argv)
    display = os.environ.get("DISPLAY") or None
    session = None
    try:
        session = open_session(args.work, display)
        machine = Machine(session, args.uidriver)
        machine.write_notebook(ac=args.ac, charge=args.charge,
                               bios=None if args.bios == "none" else args.bios)
        check_notebook(machine, args.lang, args.ac, args.charge,
                       None if args.bios == "none" else args.bios)
        reset_outcome(machine)
        exe = machine.install(args.exe, "run", work_files=flash_files(args.vendor, args.seconds))
        shots = None
        if not display:
            shots = args.work.resolve() / "screenshots"
            shutil.rmtree(shots, ignore_errors=True)
            shots.mkdir(parents=True)
        charge = "no battery" if args.charge is None else f"{args.charge} %"
        print(f"\nRunning {machine.windows_path(exe)} ({args.lang}) on a notebook with mains "
              f"{'on' if args.ac else 'off'}, {charge}, BIOS {args.bios}")
        run = TracedRun(machine, exe, lang=args.lang)
        answer_at = None
        if display:
            print(f"  Answer the program on display {display}.")
        else:
            title = machine.wait_any_window([CONFIRM_TITLE, POWER_TITLE], timeout_s=30)
            if title is None:
                print("  nothing was shown within 30 s")
            else:
                time.sleep(0.2)
                _shoot(machine, shots, "01-confirmation" if title == CONFIRM_TITLE else
                       "01-refusal")
                print(f"  {title!r}: {machine.box_text(title)!r}")
                machine.press(title, "yes" if title == CONFIRM_TITLE else "ok")
                if title == CONFIRM_TITLE:
                    print("  answered Yes")
                    answer_at = raw_clock()
        _follow(run, machine, shots, answer_at)
        code = run.wait(args.seconds + 600)
        _report(machine, exe, code)
        if shots:
            print(f"  screenshots      {shots}")
        return 0 if code == 0 else 1
    except SetupError as e:
        print(f"run: {e}", file=sys.stderr)
        return 1
    finally:
        if session is not None:
            session.cleanup(keep_prefix=True)


if __name__ == "__main__":
    sys.exit(main())
