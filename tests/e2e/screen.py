"""The update screen as the tests see it: screenshots and the committed
bitmaps as RGB images, what the 640x480 picture must show (background as
stored, track rings, the marker at one of its 32 steps, white status text
in its rectangle only), and a watcher that follows the status line and the
marker during a run."""

import hashlib
import struct
import subprocess
import threading
from pathlib import Path

from machine import raw_clock

REPO = Path(__file__).resolve().parents[2]
RES = REPO / "res"

PICTURE_W, PICTURE_H = 640, 480
# The progress track: outer edge, inclusive; a 2-pixel frame around the interior.
TRACK_LEFT, TRACK_TOP, TRACK_RIGHT, TRACK_BOTTOM = 255, 351, 380, 365
TRACK_OUTER, TRACK_CORNER, TRACK_INNER = (188, 188, 188), (126, 126, 126), (70, 70, 70)
INTERIOR_LEFT, INTERIOR_RIGHT = 257, 378
MARKER_TOP, MARKER_HEIGHT = 354, 9
MARKER_COLOURS = {(45, 62, 210), (94, 127, 252), (141, 166, 255)}
STEPS = 32
STATUS_HEIGHT = 25
# By system locale: the background and the status line's first row.
LAYOUTS = {
    "en": ("Background.bmp", 310),
    "ko": ("BackgroundKorean.bmp", 300),
}


class Image:
    """RGB, 3 bytes a pixel, rows top-down."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, bytes(data)

    def row(self, y, x0=0, x1=None):
        x1 = self.width if x1 is None else x1
        start = (y * self.width + x0) * 3
        return self.data[start:start + (x1 - x0) * 3]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def crop(self, x, y, width, height):
        return Image(width, height, b"".join(self.row(y + j, x, x + width)
                                              for j in range(height)))

    def ppm(self):
        return b"P6\n%d %d\n255\n" % (self.width, self.height) + self.data


def read_ppm(data):
    fields, pos = [], 2
    if data[:2] != b"P6":
        raise ValueError("not a binary PPM")
    while len(fields) < 3:  # width, height, maxval, separated by white space
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(int(data[pos:end]))
        pos = end
    width, height, maxval = fields
    if maxval != 255:
        raise ValueError(f"PPM with maxval {maxval}")
    pos += 1
    return Image(width, height, data[pos:pos + width * height * 3])


def read_bmp(path):
    """A bottom-up BMP of 24 or 4 bits a pixel."""
    raw = Path(path).read_bytes()
    offset, = struct.unpack_from("<I", raw, 10)
    header_size, width, height, _, bpp = struct.unpack_from("<IiiHH", raw, 14)
    stride = (width * bpp + 31) // 32 * 4
    rows = []
    if bpp == 24:
        for y in range(height):
            line = raw[offset + y * stride:offset + y * stride + width * 3]
            rows.append(bytes(b for i in range(0, len(line), 3)
                              for b in (line[i + 2], line[i + 1], line[i])))
    elif bpp == 4:
        palette_at = 14 + header_size
        palette = [bytes((raw[palette_at + 4 * i + 2], raw[palette_at + 4 * i + 1],
                          raw[palette_at + 4 * i])) for i in range(16)]
        for y in range(height):
            line = raw[offset + y * stride:offset + (y + 1) * stride]
            rows.append(b"".join(palette[(line[x // 2] >> (4 if x % 2 == 0 else 0)) & 15]
                                 for x in range(width)))
    else:
        raise ValueError(f"{path}: {bpp} bits a pixel")
    return Image(width, height, b"".join(reversed(rows)))


def grab(display, box=None):
    """The X screen, or the part box = (x, y, width, height) of it."""
    crop = ["-crop", "%dx%d+%d+%d" % (box[2], box[3], box[0], box[1])] if box else []
    out = subprocess.run(["import", "-display", display, "-window", "root", *crop,
                          "-depth", "8", "ppm:-"], capture_output=True, check=True,
                         timeout=30).stdout
    return read_ppm(out)


def save_png(image, path):
    """Without time stamps, so that the same picture gives the same file."""
    subprocess.run(["convert", "ppm:-", "-strip", "-define", "png:exclude-chunks=date,time",
                    f"png:{path}"], input=image.ppm(), check=True, timeout=30)


def origin(screen_w, screen_h):
    """The picture's top-left corner: the divisions truncate toward zero."""
    return int((screen_w - PICTURE_W) / 2), int((screen_h - PICTURE_H) / 2)


def marker_blit(step):
    """(x, width, source x) of the marker at a step; width 0 draws nothing."""
    return 255 + 4 * step, max(0, min(4 * step, 22, 124 - 4 * step)), max(0, 22 - 4 * step)


class Layout:
    """What the picture must show in one locale."""

    def __init__(self, lang):
        name, self.status_top = LAYOUTS[lang]
        self.lang = lang
        self.background = read_bmp(RES / name)
        piece = read_bmp(RES / "Marker.bmp")
        # The marker rows as each step leaves them, for looking steps up.
        self._steps = {}
        for step in range(STEPS - 1, -1, -1):  # step 0 wins over 31: both empty
            self._steps[self.marker_rows(step, piece)] = step

    def marker_rows(self, step, piece):
        x, width, source = marker_blit(step)
        rows = []
        for j in range(MARKER_HEIGHT):
            line = bytearray(self.background.row(MARKER_TOP + j, INTERIOR_LEFT,
                                                 INTERIOR_RIGHT + 1))
            if width:
                at = (x - INTERIOR_LEFT) * 3
                line[at:at + width * 3] = piece.row(j, source, source + width)
            rows.append(bytes(line))
        return b"".join(rows)

    def step_of(self, picture):
        """The step the picture's marker rows show (0 for an empty track), or
        None when they match no step."""
        rows = b"".join(picture.row(MARKER_TOP + j, INTERIOR_LEFT, INTERIOR_RIGHT + 1)
                        for j in range(MARKER_HEIGHT))
        return self._steps.get(rows)

    @property
    def status_rows(self):
        return range(self.status_top, self.status_top + STATUS_HEIGHT)

    def status_signature(self, picture):
        """None when the status rectangle shows the background alone, else a
        digest of what is drawn there."""
        rows = [picture.row(y) for y in self.status_rows]
        if all(r == self.background.row(y) for r, y in zip(rows, self.status_rows)):
            return None
        return hashlib.sha1(b"".join(rows)).hexdigest()[:12]

    def shows_track(self, picture):
        return all(picture.row(y, TRACK_LEFT, TRACK_RIGHT + 1)
                   == self.background.row(y, TRACK_LEFT, TRACK_RIGHT + 1)
                   for y in (TRACK_TOP, TRACK_TOP + 1, TRACK_BOTTOM - 1, TRACK_BOTTOM))


def ring_problems(picture):
    """The track's frame at its coordinates and in its colours."""
    want = {}
    l, t, r, b = TRACK_LEFT, TRACK_TOP, TRACK_RIGHT, TRACK_BOTTOM
    for x in range(l, r + 1):
        for y in (t, b):
            want[x, y] = TRACK_CORNER if x in (l, r) else TRACK_OUTER
        for y in (t + 1, b - 1):
            if l < x < r:
                want[x, y] = TRACK_INNER
    for y in range(t + 1, b):
        for x in (l, r):
            want[x, y] = TRACK_OUTER
        if t + 1 < y < b - 1:
            for x in (l + 1, r - 1):
                want[x, y] = TRACK_INNER
    for x in (l + 2, r - 2):  # the rounded inner corners
        for y in (t + 2, b - 2):
            want[x, y] = TRACK_INNER
    wrong = [(x, y, picture.pixel(x, y), colour) for (x, y), colour in sorted(want.items())
             if picture.pixel(x, y) != colour]
    return [f"track pixel ({x}, {y}) is {got}, expected {colour}"
            for x, y, got, colour in wrong[:5]] + (
        [f"... {len(wrong)} track pixels wrong"] if len(wrong) > 5 else [])


def changed_columns(a, b):
    """The columns where two rows of pixels differ."""
    return [i // 3 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]]


class Frame:
    """One screenshot, checked against the layout. problems lists every
    departure; step and the status text's bounding box say what it shows."""

    def __init__(self, shot, layout, taken=None):
        self.shot = shot
        self.layout = layout
        self.taken = taken
        self.x0, self.y0 = origin(shot.width, shot.height)
        self.problems = []
        self.picture = shot.crop(self.x0, self.y0, PICTURE_W, PICTURE_H)
        self._check_surroundings()
        self._check_picture()
        self.problems += ring_problems(self.picture)
        self.step = layout.step_of(self.picture)
        if self.step is None:
            self.problems.append("the marker rows match none of the 32 steps")

    def _check_surroundings(self):
        shot, black = self.shot, bytes(3 * self.shot.width)
        for y in range(shot.height):
            row = shot.row(y)
            if self.y0 <= y < self.y0 + PICTURE_H:
                outside = row[:self.x0 * 3] + row[(self.x0 + PICTURE_W) * 3:]
                if outside.count(0) != len(outside):
                    self.problems.append(f"screen row {y}: not black beside the picture")
            elif row != black:
                self.problems.append(f"screen row {y}: not black above or below the picture")
            if len(self.problems) > 5:
                return

    def _check_picture(self):
        """Every pixel is the background's, except the status text (lighter,
        inside its rectangle) and the marker (inside the track's marker rows)."""
        layout, bg = self.layout, self.layout.background
        text = []
        white = 0
        for y in range(PICTURE_H):
            got, want = self.picture.row(y), bg.row(y)
            if got == want:
                continue
            columns = changed_columns(got, want)
            if y in layout.status_rows:
                for x in columns:
                    g, w = self.picture.pixel(x, y), bg.pixel(x, y)
                    if any(a < b for a, b in zip(g, w)):
                        self.problems.append(f"status pixel ({x}, {y}) {g} is darker than "
                                             f"the background {w}")
                        return
                    white += g == (255, 255, 255)
                    text.append((x, y))
            elif MARKER_TOP <= y < MARKER_TOP + MARKER_HEIGHT:
                off = [x for x in columns if not INTERIOR_LEFT <= x <= INTERIOR_RIGHT]
                colours = {self.picture.pixel(x, y) for x in columns} - MARKER_COLOURS - {
                    (0, 0, 0)}
                if off or colours:
                    self.problems.append(f"row {y}: marker pixels outside the interior "
                                         f"{off[:5]} or not blue {sorted(colours)[:3]}")
            else:
                self.problems.append(f"row {y} differs from the background in columns "
                                     f"{columns[0]}..{columns[-1]} ({len(columns)} pixels)")
        self.white = white
        if text:
            xs, ys = [x for x, _ in text], [y for _, y in text]
            self.text_box = (min(xs), min(ys), max(xs), max(ys))
        else:
            self.text_box = None

    @property
    def status(self):
        return self.layout.status_signature(self.picture)


class Watcher:
    """Follows a run on the screen from a thread: about ten times a second
    it grabs the picture's rows from the status line to the track and notes
    the time, the status line's signature and the marker's step."""

    def __init__(self, display, screen, layout, period=0.1):
        self.display, self.layout, self.period = display, layout, period
        x0, y0 = origin(*screen)
        self.top = layout.status_top
        self.box = (x0, y0 + self.top, PICTURE_W, TRACK_BOTTOM + 1 - self.top)
        self.samples = []  # (raw_clock time, picture shown, status signature, step)
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()

    def _run(self):
        while not self._stop.is_set():
            started = raw_clock()
            part = grab(self.display, self.box)
            # Back to picture coordinates: rows above the status line are padding.
            picture = Image(PICTURE_W, PICTURE_H,
                            bytes(self.top * PICTURE_W * 3) + part.data
                            + bytes((PICTURE_H - TRACK_BOTTOM - 1) * PICTURE_W * 3))
            shown = self.layout.shows_track(picture)
            self.samples.append((started, shown,
                                 self.layout.status_signature(picture) if shown else None,
                                 self.layout.step_of(picture) if shown else None))
            self._stop.wait(max(0.0, self.period - (raw_clock() - started)))

    def statuses(self):
        """The status lines in the order shown, an empty line left out:
        [(signature, since, first seen, last seen)], where the line came
        between since (the sample before, or None) and first seen."""
        result, before = [], None
        for t, shown, status, _ in self.samples:
            if shown and status is not None:
                if result and result[-1][0] == status:
                    result[-1][3] = t
                else:
                    result.append([status, before, t, t])
            before = t
        return [tuple(s) for s in result]

    def steps(self):
        return [(t, step) for t, shown, _, step in self.samples if shown]

    def picture_span(self):
        shown = [t for t, s, _, _ in self.samples if s]
        return (shown[0], shown[-1]) if shown else None
