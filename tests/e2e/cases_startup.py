"""Start-up guards and the command-line clean-up mode, on the real program."""

from cases import CONFIRM_TITLE, POWER_TITLE, case
from machine import RUN_KEY, WORK_FOLDER, vendor_files

SECOND_INSTANCE_MAX_S = 5.0
OTHER_RUN_VALUE = ("E2EOtherProgram", r"C:\Other\other.exe /background")


@case("second_instance")
def second_instance(c):
    """A second start while the first waits at its message box ends at once,
    exit code 0, touching nothing, also in clean-up mode."""
    m = c.m
    m.write_notebook(ac=0, charge=80)
    exe = m.install(c.config.exe, "second-instance", work_files={})
    work = exe.parent / WORK_FOLDER
    first = c.start(exe)
    if not c.check(m.wait_window(POWER_TITLE), "the first instance shows its refusal"):
        return
    c.equal(m.box_text(POWER_TITLE), c.texts[140]["en"], "the first instance's refusal")
    # The first instance removed the empty work folder before its box: set
    # up what a second instance in clean-up mode would remove.
    work.mkdir(exist_ok=True)
    entry = f'"{m.windows_path(exe)}" 1'
    m.reg_add(RUN_KEY, "BIOSUpdate", entry)
    try:
        for args in (["1"], []):
            what = f"second instance with {args or 'no arguments'}"
            second = c.start(exe, args)
            if c.expect_exit(second, what, timeout=15):
                c.check(second.elapsed < SECOND_INSTANCE_MAX_S,
                        f"{what} ends at once (took {second.elapsed:.2f} s)")
            c.equal(len(m.visible_titled(POWER_TITLE)), 1, f"{what}: boxes titled {POWER_TITLE!r}")
            c.check(work.is_dir(), f"{what}: the empty work folder stays")
            c.equal(m.reg_query(RUN_KEY, "BIOSUpdate"), ("REG_SZ", entry),
                    f"{what}: the run entry stays")
        c.check(first.running(), "the first instance is still waiting")
        m.press(POWER_TITLE, "ok")
        c.expect_exit(first, "first instance")
    finally:
        m.reg_delete(RUN_KEY, "BIOSUpdate")


@case("cleanup_mode")
def cleanup_mode(c):
    """`BIOSUpdate.exe 1` deletes its run entry and nothing else there,
    removes an empty work folder and leaves one with files. The notebook is
    on battery: the clean-up mode reads no power status and shows nothing.
    The folder name has a blank, so the program name arrives quoted."""
    m = c.m
    m.write_notebook(ac=0, charge=5)
    other_name, other_data = OTHER_RUN_VALUE
    m.reg_add(RUN_KEY, other_name, other_data)
    try:
        exe = m.install(c.config.exe, "clean up", work_files={})
        m.reg_add(RUN_KEY, "BIOSUpdate", f'"{m.windows_path(exe)}" 1')
        c.expect_exit(c.start(exe, ["1"]), "clean-up with an empty work folder")
        c.equal(m.reg_query(RUN_KEY, "BIOSUpdate"), None, "the run entry after clean-up")
        c.equal(m.reg_query(RUN_KEY, other_name), ("REG_SZ", other_data),
                "the other run value after clean-up")
        c.check(not (exe.parent / WORK_FOLDER).exists(), "the empty work folder is removed")

        files = vendor_files(c.config.vendor)
        exe = m.install(c.config.exe, "clean up", work_files=files)
        c.expect_exit(c.start(exe, ["1"]), "clean-up with files in the work folder, no run entry")
        c.equal(m.folder_files(exe.parent / WORK_FOLDER), files,
                "the work folder with its files after clean-up")
        c.equal(m.reg_query(RUN_KEY, other_name), ("REG_SZ", other_data),
                "the other run value after the second clean-up")
        c.equal(m.visible_titled(POWER_TITLE), [], "no box is left")
    finally:
        m.reg_delete(RUN_KEY, other_name)
        m.reg_delete(RUN_KEY, "BIOSUpdate")


# (name, mains online, battery per cent or None, string shown or None for a pass)
POWER_CASES = [
    ("mains offline, 10 %", 0, 10, 140),
    ("mains offline, 80 %", 0, 80, 140),
    ("19 %", 1, 19, 136),
    ("101 %", 1, 101, 136),
    ("no battery on mains", 1, None, 136),
    ("20 %", 1, 20, None),
    ("100 %", 1, 100, None),
]


def power_gate(c, lang):
    m = c.m
    for name, ac, charge, refusal in POWER_CASES:
        what = f"{name} ({lang})"
        m.write_notebook(ac=ac, charge=charge)
        exe = m.install(c.config.exe, f"power-{lang}", work_files={})
        run = c.start(exe, lang=lang)
        if refusal is None:
            c.end_passed_run(run, lang, what)
            continue
        title = m.wait_any_window([POWER_TITLE, CONFIRM_TITLE])
        if not c.equal(title, POWER_TITLE, f"{what}: window shown"):
            continue
        if c.equal(m.box_text(POWER_TITLE), c.texts[refusal][lang], f"{what}: text"):
            c.step(f"{what}: string {refusal} shown")
        box = m.visible_titled(POWER_TITLE)[0]
        c.equal((box.class_name, box.owner), ("#32770", "0x00000000"),
                f"{what}: a message box without owner")
        c.check(not (exe.parent / WORK_FOLDER).exists(),
                f"{what}: the empty work folder is gone before the box")
        m.press(POWER_TITLE, "ok")
        c.expect_exit(run, what)


@case("power_en")
def power_en(c):
    power_gate(c, "en")


@case("power_ko")
def power_ko(c):
    power_gate(c, "ko")
