#!/usr/bin/env python3
"""Draws the program's pictures and icon and writes them as .bmp/.ico files.

    make_pictures.py [OUTPUT_DIR]     (default: the res/ folder above this script)

Writes Background.bmp (640x480, 24 bpp), BackgroundKorean.bmp (640x480, 4 bpp),
Marker.bmp (22x9, 4 bpp) and BIOSUpdate.ico (32x32, 16 colours). Only integer
arithmetic is used, so every run produces the same bytes.
"""

import os
import struct
import sys

WIDTH, HEIGHT = 640, 480

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)

# Progress track: a rounded frame with a 2-pixel border. The marker is drawn
# into its interior, so these numbers must not move.
TRACK_LEFT, TRACK_TOP, TRACK_RIGHT, TRACK_BOTTOM = 255, 351, 380, 365  # outer edge, inclusive
TRACK_OUTER = (188, 188, 188)
TRACK_INNER = (70, 70, 70)
TRACK_CORNER = (126, 126, 126)

# Marker piece: three blocks of 6 pixels with 2-pixel gaps, shaded in bands.
MARKER_DARK = (45, 62, 210)
MARKER_MID = (94, 127, 252)
MARKER_LIGHT = (141, 166, 255)
MARKER_WIDTH, MARKER_HEIGHT = 22, 9
MARKER_BANDS = [MARKER_MID, MARKER_LIGHT, MARKER_LIGHT, MARKER_MID, MARKER_MID, MARKER_MID,
                MARKER_DARK, MARKER_DARK, MARKER_DARK]

NAVY = (22, 34, 100)
DEEP_NAVY = (12, 20, 60)

# Palette of the 4 bpp pictures: the track and marker colours, the emblem's
# colours and a few in-between shades for the softened edges.
PALETTE_16 = [
    BLACK, TRACK_INNER, TRACK_CORNER, TRACK_OUTER,
    WHITE, MARKER_DARK, MARKER_MID, MARKER_LIGHT,
    DEEP_NAVY, NAVY, (33, 48, 150), (6, 10, 30),
    (58, 80, 176), (200, 210, 255), (118, 146, 253), (36, 36, 36),
]

# The classic 16-colour palette, used by the icon.
ICON_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


class Canvas:
    """An RGB picture, rows top-down, with shapes softened by 4x4 supersampling."""

    SUB = 8  # shape coordinates are in 1/8 pixel; samples sit at odd eighths

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.rows = [[BLACK] * width for _ in range(height)]

    def put(self, x, y, colour):
        self.rows[y][x] = colour

    def fill(self, inside, box, colour):
        """Blends colour over every pixel of box (x0, y0, x1, y1 exclusive) by
        the share of its 16 samples for which inside(sx, sy) holds."""
        x0, y0, x1, y1 = box
        for y in range(y0, y1):
            row = self.rows[y]
            for x in range(x0, x1):
                hits = 0
                for j in range(4):
                    sy = y * 8 + 2 * j + 1
                    for i in range(4):
                        if inside(x * 8 + 2 * i + 1, sy):
                            hits += 1
                if hits:
                    old = row[x]
                    row[x] = tuple((c * hits + o * (16 - hits) + 8) // 16
                                   for c, o in zip(colour, old))


def rounded_rect(left, top, right, bottom, radius):
    """Inside test for a rectangle with rounded corners, edges in pixels."""
    l, t, r, b, rad = (v * 8 for v in (left, top, right, bottom, radius))

    def inside(x, y):
        if x < l or x >= r or y < t or y >= b:
            return False
        cx = min(max(x, l + rad), r - rad)
        cy = min(max(y, t + rad), b - rad)
        return (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad

    return inside, (left, top, right, bottom)


def circle(cx, cy, radius):
    x0, y0, rad = cx * 8, cy * 8, radius * 8

    def inside(x, y):
        return (x - x0) ** 2 + (y - y0) ** 2 <= rad * rad

    return inside, (cx - radius, cy - radius, cx + radius + 1, cy + radius + 1)


def convex_polygon(points):
    """Inside test for a convex polygon given clockwise (y grows downward)."""
    pts = [(x * 8, y * 8) for x, y in points]

    def inside(x, y):
        for (ax, ay), (bx, by) in zip(pts, pts[1:] + pts[:1]):
            if (bx - ax) * (y - ay) - (by - ay) * (x - ax) < 0:
                return False
        return True

    xs = [x for x, _ in points]
    ys = [y for _, y in points]
    return inside, (min(xs), min(ys), max(xs) + 1, max(ys) + 1)


def draw(canvas, shape, colour):
    inside, box = shape
    canvas.fill(inside, box, colour)


def draw_chip(canvas, cx, cy):
    """A firmware chip with an upward arrow: the program's emblem."""
    half = 52
    left, top, right, bottom = cx - half, cy - half, cx + half, cy + half
    pin_len, pin_w, pitch = 12, 6, 14
    first = -(5 * pitch + pin_w) // 2
    for k in range(6):
        a = first + k * pitch
        draw(canvas, rounded_rect(left - pin_len, cy + a, left + 2, cy + a + pin_w, 1), TRACK_OUTER)
        draw(canvas, rounded_rect(right - 2, cy + a, right + pin_len, cy + a + pin_w, 1), TRACK_OUTER)
        draw(canvas, rounded_rect(cx + a, top - pin_len, cx + a + pin_w, top + 2, 1), TRACK_OUTER)
        draw(canvas, rounded_rect(cx + a, bottom - 2, cx + a + pin_w, bottom + pin_len, 1),
             TRACK_OUTER)
    draw(canvas, rounded_rect(left, top, right, bottom, 8), MARKER_MID)
    draw(canvas, rounded_rect(left + 3, top + 3, right - 3, bottom - 3, 5), NAVY)
    draw(canvas, circle(left + 12, top + 12, 3), MARKER_MID)
    die = 34
    draw(canvas, rounded_rect(cx - die, cy - die, cx + die, cy + die, 4), MARKER_DARK)
    draw(canvas, rounded_rect(cx - die + 2, cy - die + 2, cx + die - 2, cy + die - 2, 3), DEEP_NAVY)
    draw(canvas, convex_polygon([(cx, cy - 26), (cx + 20, cy - 2), (cx - 20, cy - 2)]), WHITE)
    draw(canvas, rounded_rect(cx - 8, cy - 3, cx + 8, cy + 18, 1), WHITE)
    draw(canvas, rounded_rect(cx - 22, cy + 22, cx + 22, cy + 27, 2), MARKER_LIGHT)


# A 5x9 pixel font for the title (rows 7 and 8 hold descenders).
GLYPHS = {
    'B': ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    'I': ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"],
    'O': [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'S': [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    'U': ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'p': [".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."],
    'd': ["....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"],
    'a': [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    't': [".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##."],
    'e': [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    ' ': [],
}


def draw_title(canvas, words, top, scale):
    """words: list of (text, colour); the line is centred on the picture."""
    advance = 6 * scale
    count = sum(len(text) for text, _ in words)
    x = (canvas.width - (count * advance - scale)) // 2
    for text, colour in words:
        for ch in text:
            for gy, line in enumerate(GLYPHS[ch]):
                for gx, cell in enumerate(line):
                    if cell == '#':
                        draw(canvas, rounded_rect(x + gx * scale, top + gy * scale,
                                                  x + (gx + 1) * scale, top + (gy + 1) * scale,
                                                  0), colour)
            x += advance


def draw_track(canvas):
    """The progress track, drawn pixel by pixel in its exact colours."""
    l, t, r, b = TRACK_LEFT, TRACK_TOP, TRACK_RIGHT, TRACK_BOTTOM
    for y in range(t, b + 1):
        for x in range(l, r + 1):
            if x in (l, r) or y in (t, b):
                colour = TRACK_CORNER if x in (l, r) and y in (t, b) else TRACK_OUTER
            elif x in (l + 1, r - 1) or y in (t + 1, b - 1):
                colour = TRACK_INNER
            elif x in (l + 2, r - 2) and y in (t + 2, b - 2):
                colour = TRACK_INNER  # rounds the inner edge
            else:
                colour = BLACK
            canvas.put(x, y, colour)


def background():
    canvas = Canvas(WIDTH, HEIGHT)
    draw_chip(canvas, 320, 100)
    draw_title(canvas, [("BIOS ", WHITE), ("Update", MARKER_LIGHT)], 184, 4)
    draw(canvas, rounded_rect(200, 230, 440, 232, 1), MARKER_DARK)
    draw_track(canvas)
    return canvas


def marker():
    canvas = Canvas(MARKER_WIDTH, MARKER_HEIGHT)
    for y, colour in enumerate(MARKER_BANDS):
        for block in range(3):
            for x in range(block * 8, block * 8 + 6):
                canvas.put(x, y, colour)
    return canvas


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def info_header(width, height, bpp, image_size, colours):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bpp, 0, image_size, 2835, 2835,
                       colours, 0)


def palette_bytes(palette):
    return b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)


def pack_4bpp(indices):
    """One row of palette indices, two to a byte, padded to 4 bytes."""
    padded = list(indices) + [0] * (len(indices) % 2)
    data = bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2))
    return data + b'\0' * (-len(data) % 4)


def bmp_file(header_and_palette, pixels):
    offset = 14 + len(header_and_palette)
    size = offset + len(pixels)
    return struct.pack('<2sIHHI', b'BM', size, 0, 0, offset) + header_and_palette + pixels


def bmp_24(canvas):
    rows = []
    for row in reversed(canvas.rows):
        data = b''.join(struct.pack('<BBB', b, g, r) for r, g, b in row)
        rows.append(data + b'\0' * (-len(data) % 4))
    pixels = b''.join(rows)
    return bmp_file(info_header(canvas.width, canvas.height, 24, len(pixels), 0), pixels)


def bmp_4(canvas, palette):
    cache = {}
    rows = []
    for row in reversed(canvas.rows):
        indices = []
        for colour in row:
            if colour not in cache:
                cache[colour] = nearest(palette, colour)
            indices.append(cache[colour])
        rows.append(pack_4bpp(indices))
    pixels = b''.join(rows)
    header = info_header(canvas.width, canvas.height, 4, len(pixels), 16) + palette_bytes(palette)
    return bmp_file(header, pixels)


# The icon: two grey hexagon nuts on threaded bolts, seen from the side.
# K black, D dark grey, S light grey, W white, '.' transparent.
BOLT = [
    "....KKKKKK....",
    "...KSWWSSDK...",
    "...KDSSDDDK...",
    "...KSWWSSDK...",
    "...KDSSDDDK...",
    "...KSWWSSDK...",
    "...KDSSDDDK...",
    ".KKKKKKKKKKKK.",
    "KSWWSWWWWSWSDK",
    "KDSSDWWSSDSDDK",
    "KDSSDWWSSDSDDK",
    "KDSSDWWSSDSDDK",
    "KDSSDWWSSDSDDK",
    "KDDDDSSSDDDDDK",
    ".KKKKKKKKKKKK.",
    "...KSWWSSDK...",
    "...KDSSDDDK...",
    "...KSWWSSDK...",
    "...KDSSDDDK...",
    "...KSWWSSDK...",
    "...KDSSDDDK...",
    "...KSWWSSDK...",
    "...KDDDDDDK...",
    "....KKKKKK....",
]
ICON_INDEX = {'K': 0, 'D': 8, 'S': 7, 'W': 15}


def icon_pixels():
    """32x32 palette indices, None where transparent."""
    grid = [[None] * 32 for _ in range(32)]
    for ox, oy in ((1, 2), (17, 6)):
        for y, line in enumerate(BOLT):
            for x, cell in enumerate(line):
                if cell != '.':
                    grid[oy + y][ox + x] = ICON_INDEX[cell]
    return grid


def ico_file(grid):
    size = len(grid)
    xor = b''.join(pack_4bpp([0 if v is None else v for v in row]) for row in reversed(grid))
    mask_rows = []
    for row in reversed(grid):
        bits = 0
        for v in row:
            bits = (bits << 1) | (1 if v is None else 0)
        mask_rows.append(bits.to_bytes(size // 8, 'big') + b'\0' * (-(size // 8) % 4))
    mask = b''.join(mask_rows)
    image = (info_header(size, size * 2, 4, len(xor) + len(mask), 0)
             + palette_bytes(ICON_PALETTE) + xor + mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = argv[1] if len(argv) > 1 else os.path.dirname(here)
    os.makedirs(out, exist_ok=True)
    picture = background()
    write(os.path.join(out, 'Background.bmp'), bmp_24(picture))
    write(os.path.join(out, 'BackgroundKorean.bmp'), bmp_4(picture, PALETTE_16))
    write(os.path.join(out, 'Marker.bmp'), bmp_4(marker(), PALETTE_16))
    write(os.path.join(out, 'BIOSUpdate.ico'), ico_file(icon_pixels()))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
