"""One end-to-end session: an Xvfb display of its own, a fresh Wine prefix with
a wineserver kept alive between runs, and the glibc locales the cases need.

ctest runs the setup, every case and the cleanup as separate processes, so the
session's state is kept in WORK/session.json."""

import json
import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
WINE_DIR = REPO / "tests" / "wine"
LAUNCHER = str(WINE_DIR / "wine.sh")  # every Wine call goes through it
LANGS = {"en": "en_US.UTF-8", "ko": "ko_KR.UTF-8"}
SERVER_LINGER_S = 120  # the wineserver ends this long after its last client
DISPLAY_FIRST = 140  # Xvfb displays are looked for from here on


class SetupError(Exception):
    pass


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


def installed_locales():
    out = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout
    return {name.lower().replace("utf-8", "utf8") for name in out.split()}


class Session:
    def __init__(self, work):
        self.work = Path(work).resolve()
        self.prefix = self.work / "wineprefix"
        self.sysdir = self.work / "sysclass"
        self.locpath = self.work / "locale"
        self.state_file = self.work / "session.json"
        self.state = {}

    # -- state shared between processes --------------------------------

    def load(self):
        if not self.state_file.exists():
            raise SetupError(f"no session in {self.work}: run the setup first")
        self.state = json.loads(self.state_file.read_text())
        return self

    def save(self):
        self.state_file.write_text(json.dumps(self.state, indent=1))

    @property
    def display(self):
        return self.state["display"]

    def env(self, lang="en"):
        env = dict(os.environ)
        for name in ("LANG", "LANGUAGE", "LC_CTYPE", "LC_MESSAGES", "WINEARCH"):
            env.pop(name, None)
        env.update(
            WINEPREFIX=str(self.prefix),
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree,mshtml=",
            DISPLAY=self.display,
            LC_ALL=LANGS[lang],
        )
        if self.state.get("locpath"):
            env["LOCPATH"] = self.state["locpath"]
        return env

    def in_notebook(self, args):
        """The command line that runs args inside the simulated notebook."""
        return [str(WINE_DIR / "notebook-run.sh"), str(self.sysdir), *args]

    def wine(self, args):
        """The command line that runs a Windows program (or a built-in such as
        reg) under Wine inside the simulated notebook."""
        return self.in_notebook([LAUNCHER, "run", *map(str, args)])

    def wineserver(self, *args):
        return self.in_notebook([LAUNCHER, "server", *args])

    def write_notebook(self, ac=1, charge=80, bios="K38KRPA23"):
        """ac: 0, 1 or None (no mains supply); charge: per cent or None (no
        battery); bios: version or None (no firmware table)."""
        none = lambda v: "none" if v is None else str(v)
        subprocess.run([str(WINE_DIR / "make-notebook.sh"), str(self.sysdir),
                        "--ac", none(ac), "--charge", none(charge), "--bios", none(bios)],
                       check=True)

    # -- setup -----------------------------------------------------------

    def setup(self, width=1024, height=768, keep_prefix=False):
        self.work.mkdir(parents=True, exist_ok=True)
        if self.state_file.exists():
            log("a previous session was left behind: ending it")
            self.load()
            self.cleanup(keep_prefix=True)
        self.state = {}
        self._prepare_locales()
        self.write_notebook()
        try:
            self._start_display(width, height)
            self.save()
            self._prepare_prefix(keep_prefix)
            self._start_server()
            self._configure_prefix()
            self.save()
        except BaseException:
            # A failed set-up leaves nothing running.
            self.cleanup(keep_prefix=True)
            raise

    def _configure_prefix(self):
        settings = [
            # Xvfb has no window manager: without this, Wine waits 2 s for
            # one each time a window is hidden.
            (r"HKCU\Software\Wine\X11 Driver", "Managed", "N", "64"),
        ]
        for key, name, data, view in settings:
            subprocess.run(self.wine(["reg", "add", key, "/v", name, "/d", data, "/f",
                                      f"/reg:{view}"]),
                           env=self.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=True, timeout=60)

    def _prepare_locales(self):
        have = installed_locales()
        if all(name.lower().replace("utf-8", "utf8") in have for name in LANGS.values()):
            log("glibc locales en_US.UTF-8 and ko_KR.UTF-8 are installed")
            return
        # Generate them privately: glibc takes them from LOCPATH, no root needed.
        self.locpath.mkdir(parents=True, exist_ok=True)
        for name in LANGS.values():
            target = self.locpath / name
            if (target / "LC_CTYPE").exists():
                continue
            lang, charset = name.split(".")
            log(f"generating locale {name} in {self.locpath}")
            subprocess.run(["localedef", "-i", lang, "-f", charset, str(target)],
                           capture_output=True)
            if not (target / "LC_CTYPE").exists():
                raise SetupError(f"cannot generate the locale {name}: install the Debian "
                                 "package 'locales' (it holds the locale sources)")
        self.state["locpath"] = str(self.locpath)

    def _start_display(self, width, height):
        # A display number of our own, away from the low numbers that other
        # tools pick by habit; the lock file and socket tell which are taken.
        for number in range(DISPLAY_FIRST, DISPLAY_FIRST + 100):
            socket = Path(f"/tmp/.X11-unix/X{number}")
            if Path(f"/tmp/.X{number}-lock").exists() or socket.exists():
                continue
            with open(self.work / "xvfb.log", "wb") as logfile:
                proc = subprocess.Popen(
                    ["Xvfb", f":{number}", "-screen", "0", f"{width}x{height}x24",
                     "-nolisten", "tcp"],
                    stdin=subprocess.DEVNULL, stdout=logfile, stderr=logfile,
                    start_new_session=True)
            deadline = time.monotonic() + 20
            while proc.poll() is None and not socket.exists() and time.monotonic() < deadline:
                time.sleep(0.05)
            if proc.poll() is None and socket.exists():
                self.state.update(display=f":{number}", xvfb_pid=proc.pid, screen=[width, height])
                log(f"Xvfb {width}x{height} on display {self.display} (pid {proc.pid})")
                return
            if proc.poll() is None:
                proc.kill()
        raise SetupError(f"Xvfb did not start (see {self.work / 'xvfb.log'})")

    def _prepare_prefix(self, keep):
        if keep and (self.prefix / "system.reg").exists():
            log(f"reusing the Wine prefix {self.prefix} unless another kind of machine made it")
        else:
            shutil.rmtree(self.prefix, ignore_errors=True)
            log(f"creating the Wine prefix {self.prefix}")
        start = time.monotonic()
        made = subprocess.run(self.in_notebook([LAUNCHER, "prefix"]), env=self.env(),
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True, timeout=300)
        if made.returncode != 0 or not (self.prefix / "system.reg").exists():
            raise SetupError(f"wineboot did not create the prefix: {made.stderr.strip()}")
        log(f"prefix ready in {time.monotonic() - start:.1f} s")

    def _start_server(self):
        # Started detached with its output elsewhere: a wineserver keeps the
        # pipes of whoever started it open.
        subprocess.run(self.wineserver(f"-p{SERVER_LINGER_S}"),
                       env=self.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, start_new_session=True, timeout=60)

    def restart_server(self):
        """Ends every Wine process of the prefix and starts a fresh server."""
        self.stop_server()
        self._start_server()

    def restart_display(self, width, height):
        """Gives the session a screen of another size. Wine's desktop keeps
        the size it started with, so the wineserver goes too."""
        self.stop_server()
        self._stop_display()
        self._start_display(width, height)
        self.save()
        self._start_server()

    # -- cleanup ---------------------------------------------------------

    def stop_server(self):
        subprocess.run(self.wineserver("-k"), env=self.env(),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run(self.wineserver("-w"), env=self.env(), timeout=60)

    def _stop_display(self):
        pid = self.state.get("xvfb_pid")
        if not pid:
            return
        try:
            cmdline = Path(f"/proc/{pid}/cmdline").read_bytes()
        except OSError:
            return
        if b"Xvfb" in cmdline:
            os.kill(pid, signal.SIGTERM)
            for _ in range(50):
                if not Path(f"/proc/{pid}").exists() or b"Xvfb" not in Path(
                        f"/proc/{pid}/cmdline").read_bytes():
                    break
                time.sleep(0.1)

    def cleanup(self, keep_prefix=False):
        if self.prefix.exists() and "display" in self.state:
            self.stop_server()
        self._stop_display()
        self.state_file.unlink(missing_ok=True)
        if not keep_prefix:
            shutil.rmtree(self.prefix, ignore_errors=True)
        log("session ended")
