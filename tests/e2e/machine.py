"""What a case does to the simulated notebook: run programs under Wine inside
it, drive their windows with uidriver, read and write the registry, and look
at the files and the screen."""

import os
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path, PureWindowsPath

RUN_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
WORK_FOLDER = "Zarel_bios"
UTILITY_AND_IMAGE = ("winflash.exe", "K38KRPA24")
# uidriver's exit code for a window that did not answer (tools/uidriver/Commands.h).
UIDRIVER_NO_ANSWER = 3


def raw_clock():
    """The one clock of every time a case compares, in seconds: the raw
    monotonic clock, which Wine's +timestamp trace and the stand-in utility's
    monotonic_ms (the performance counter) read too. Never steps."""
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


def vendor_files(folder):
    """{name: bytes} of the build's vendor folder: the files the program was
    built to trust, its work folder as the user receives it."""
    folder = Path(folder)
    files = {}
    if folder.is_dir():
        files = {p.name: p.read_bytes() for p in folder.iterdir() if p.is_file()}
    missing = [name for name in UTILITY_AND_IMAGE if name not in files]
    if missing:
        raise FileNotFoundError(f"the vendor folder {folder} lacks {', '.join(missing)}")
    return files


def prefix_processes(prefix):
    """{Unix pid: first word of its cmdline} of the running processes of the
    Wine prefix."""
    wanted = f"WINEPREFIX={prefix}".encode()
    found = {}
    for proc in Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            first = (proc / "cmdline").read_bytes().split(b"\0")[0]
            ours = wanted in (proc / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if ours:
            found[int(proc.name)] = os.fsdecode(first)
    return found


def wait_until(predicate, timeout, step=0.05):
    """Polls predicate() until it is true or timeout s have passed; its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


@dataclass
class Window:
    hwnd: str
    pid: int
    visible: bool
    rect: tuple
    style: int
    ex_style: int
    owner: str
    class_name: str
    title: str


def parse_window(line):
    """A Window from a line of uidriver's `list`, or None."""
    f = line.split("\t")
    if len(f) < 9:
        return None
    return Window(f[0], int(f[1]), f[2] == "1", tuple(int(v) for v in f[3].split(",")),
                  int(f[4], 16), int(f[5], 16), f[6], f[7], "\t".join(f[8:]))


def parse_samples(out):
    """[(t on raw_clock, Window or None)] from uidriver's samples."""
    samples = []
    for line in out.splitlines():
        ms, _, rest = line.partition("\t")
        if ms.isdigit():
            samples.append((int(ms) / 1000, parse_window(rest)))
    return samples


class Run:
    """One started Windows program (the unix process is the Windows one)."""

    def __init__(self, proc, name):
        self.proc = proc
        self.name = name
        self.started = raw_clock()
        self.ended = None  # when wait() saw it end

    def wait(self, timeout):
        """The exit code, or None when it was still running after timeout s
        (it is then killed)."""
        try:
            code = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            return None
        self.ended = raw_clock()
        return code

    def running(self):
        return self.proc.poll() is None

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    @property
    def elapsed(self):
        return (self.ended or raw_clock()) - self.started


class Machine:
    def __init__(self, session, uidriver):
        self.session = session
        self.uidriver = str(uidriver)
        self.drive_c = session.prefix / "drive_c"

    def write_notebook(self, **kwargs):
        self.session.write_notebook(**kwargs)

    # -- programs ----------------------------------------------------------

    def wine(self, args, lang="en", timeout=60, cwd=None):
        """Runs a program to its end; returns (exit code, stdout as text)."""
        # Output through a file, not a pipe: Wine processes that this one
        # starts (the desktop, services) would keep a pipe open.
        with tempfile.TemporaryFile() as out:
            proc = subprocess.run(self.session.wine(args),
                                  env=self.session.env(lang), cwd=cwd, timeout=timeout,
                                  stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.DEVNULL)
            out.seek(0)
            return proc.returncode, out.read().decode("utf-8", "replace")

    def start(self, exe, args=(), lang="en", name=None):
        """Starts a program in its own folder and returns at once."""
        exe = Path(exe)
        log = open(self.session.work / "programs.log", "ab")
        proc = subprocess.Popen(self.session.wine([exe, *args]),
                                env=self.session.env(lang), cwd=exe.parent,
                                stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        return Run(proc, name or exe.name)

    def unix_pids(self, exe):
        """Unix pids of the session's Wine processes that run exe (a unix
        path). Wine shows a process's executable as the first word of its
        cmdline: the Windows path when another Windows program started it."""
        names = {str(Path(exe).resolve()).lower(), self.windows_path(exe).lower()}
        return [pid for pid, first in prefix_processes(self.session.prefix).items()
                if first.lower() in names]

    # -- windows ---------------------------------------------------------------

    def ui(self, *args, wait_ms=None, class_name=None):
        """Runs uidriver; returns (exit code, output)."""
        options = []
        if wait_ms is not None:
            options += ["--wait", str(wait_ms)]
        if class_name:
            options += ["--class", class_name]
        return self.wine([self.uidriver, *options, *args])

    def windows(self):
        # A uidriver that could not start under load lists nothing: once more.
        for _ in range(3):
            rc, out = self.ui("list")
            if rc == 0:
                break
        return [w for w in map(parse_window, out.splitlines()) if w]

    def window_at(self, x, y, count=1, every_ms=0):
        """[(t, Window or None)]: the top-level window at a point of the
        screen, sampled count times every_ms apart."""
        return parse_samples(self.ui("at", str(x), str(y), str(count), str(every_ms))[1])

    def seen_at_centre(self, title, wait_ms, class_name=None):
        """(seen, t, window): whether the window titled so became the top-level
        window at its own centre within wait_ms, and the sample of that moment
        (or of what was there last); t None when no such window came."""
        rc, out = self.ui("seen", title, wait_ms=wait_ms, class_name=class_name)
        t, window = (parse_samples(out) or [(None, None)])[0]
        return rc == 0, t, window

    def visible_titled(self, title):
        return [w for w in self.windows() if w.visible and w.title == title]

    def wait_window(self, title, timeout_ms=15000):
        rc, _ = self.ui("find", title, wait_ms=timeout_ms)
        return rc == 0

    def wait_any_window(self, titles, timeout_s=15):
        """The first of titles that shows as a visible window, or None."""
        shown = wait_until(lambda: [w.title for w in self.windows()
                                    if w.visible and w.title in titles], timeout_s, step=0.2)
        return shown[0] if shown else None

    def box_text(self, title):
        rc, out = self.ui("text", title)
        return out[:-1] if rc == 0 and out.endswith("\n") else None

    def press(self, title, button):
        rc, _ = self.ui("press", title, button)
        return rc == 0

    def ui_retried(self, *args):
        """uidriver, run once more when it could not run under load or did
        not find the window, and so did nothing; a window that did not answer
        (or come back) is not asked again."""
        for _ in range(2):
            rc, out = self.ui(*args)
            if rc in (0, UIDRIVER_NO_ANSWER):
                break
        return rc, out

    def send(self, title, message, wparam=0, lparam=0):
        """The window's answer to a sent message, or None."""
        rc, out = self.ui_retried("send", title, message, str(wparam), str(lparam))
        return int(out.strip(), 16) if rc == 0 else None

    def post(self, title, message, wparam=0, lparam=0):
        """Posts a message to the window, as another program could."""
        return self.ui("post", title, str(message), str(wparam), str(lparam))[0] == 0

    def quit(self, title):
        """Posts WM_QUIT to the thread that owns the window."""
        return self.ui("quit", title)[0] == 0

    def key(self, title, key):
        return self.ui("key", title, key)[0] == 0

    def type_key(self, key):
        """The key as the user types it: to whatever has the focus."""
        return self.ui("type", key)[0] == 0

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.session.display, "-window", "root",
                        str(path)], check=True, timeout=30)

    # -- registry ----------------------------------------------------------------

    # The 32-bit view, the one BIOSUpdate.exe sees (HKLM\SOFTWARE is
    # redirected for 32-bit programs on a 64-bit system).
    def reg_query(self, key, name):
        """(type, data) of a value, or None when it is missing."""
        rc, out = self.wine(["reg", "query", key, "/v", name, "/reg:32"])
        if rc != 0:
            return None
        for line in out.splitlines():
            parts = line.strip().split("    ")
            if len(parts) >= 2 and parts[0] == name:
                return parts[1], "    ".join(parts[2:])
        return None

    def reg_add(self, key, name, data, kind="REG_SZ"):
        rc, out = self.wine(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f",
                              "/reg:32"])
        if rc != 0:
            raise RuntimeError(f"reg add {key} {name} failed: {out}")

    def reg_delete(self, key, name=None):
        self.wine(["reg", "delete", key, *(["/v", name] if name else []), "/f", "/reg:32"])

    def reg_value(self, key, name):
        """A value as the program's 8-bit reads see it: {"type": int,
        "bytes": int, "hex": str, "text": str}, or None when it is missing."""
        rc, out = self.ui("regvalue", key, name)
        if rc != 0:
            return None
        fields = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return {"type": int(fields["type"]), "bytes": int(fields["bytes"]),
                "hex": fields["hex"], "text": fields["text"]}

    # -- files ---------------------------------------------------------------

    def install(self, exe, folder, work_files=None):
        """Copies exe into a fresh folder under C:\\e2e and puts a work folder
        beside it: work_files None for none, {} for an empty one, or
        {name: bytes} (a name may hold a subfolder: "lang/en.bin"). Returns the unix path of the installed exe."""
        target = self.drive_c / "e2e" / folder
        shutil.rmtree(target, ignore_errors=True)
        target.mkdir(parents=True)
        installed = target / Path(exe).name
        shutil.copy2(exe, installed)
        if work_files is not None:
            work = target / WORK_FOLDER
            work.mkdir()
            for name, data in work_files.items():
                (work / name).parent.mkdir(parents=True, exist_ok=True)
                (work / name).write_bytes(data)
        return installed

    def windows_path(self, unix_path):
        rel = Path(unix_path).resolve().relative_to(self.drive_c.resolve())
        return str(PureWindowsPath("C:\\", *rel.parts))

    @staticmethod
    def folder_files(folder):
        """{name: bytes} of a folder, or None when it does not exist."""
        folder = Path(folder)
        if not folder.is_dir():
            return None
        return {p.name: p.read_bytes() for p in folder.iterdir()}
