#!/usr/bin/env python3
"""Draws Snipwell's interface image atlas and the desktop icons.

Every glyph is drawn here from simple shapes (signed distance fields, one sample per pixel
with a half-pixel coverage ramp, so edges come out anti-aliased); no outside artwork is used.
Only the Python standard library is needed.

    make_atlas.py ATLAS.png [ICON_DIR]

writes the 480 x 240 RGBA atlas and, when ICON_DIR is given, the application icon as
ICON_DIR/<n>x<n>/apps/snipwell.png for the hicolor sizes.
"""
import math
import os
import struct
import sys
import zlib

ATLAS_WIDTH, ATLAS_HEIGHT = 480, 240
HICOLOR_SIZES = (16, 32, 48, 64, 128, 256)

# One palette for every glyph.
INK = (44, 56, 72)
BLUE = (46, 110, 184)
BLUE_DARK = (30, 72, 126)
SKY = (126, 186, 236)
GREEN = (76, 156, 72)
GOLD = (246, 196, 60)
ORANGE = (234, 140, 40)
RED = (208, 62, 52)
WHITE = (255, 255, 255)
PAPER = (250, 250, 246)
STEEL = (150, 160, 172)


# ---- distance fields (unit coordinates, y down; negative inside) -------------------------

def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_ellipse(cx, cy, rx, ry):
    # Scaled circle: close enough to a true distance for a one-pixel coverage ramp.
    k = min(rx, ry)
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * k


def sd_box(x0, y0, x1, y1, r=0.0):
    cx, cy, hw, hh = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hw, abs(y - cy) - hh
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return f


def sd_segment(ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-12

    def f(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2
    return f


def sd_polygon(points):
    n = len(points)

    def f(x, y):
        d = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey or 1e-12)))
            d = min(d, math.hypot(wx - ex * t, wy - ey * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / (by - ay):
                inside = not inside
        return -d if inside else d
    return f


def sd_arc(cx, cy, r, start, sweep, width):
    """Stroke along a circle from angle start (degrees, clockwise on screen) over sweep."""
    a0 = math.radians(start)
    a1 = math.radians(start + sweep)
    lo, hi = min(a0, a1), max(a0, a1)
    ends = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (a0, a1)]

    def f(x, y):
        a = math.atan2(y - cy, x - cx)
        a = lo + (a - lo) % (2 * math.pi)
        if a <= hi:
            return abs(math.hypot(x - cx, y - cy) - r) - width / 2
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - width / 2
    return f


def outline(shape, width):
    return lambda x, y: abs(shape(x, y)) - width / 2


def minus(shape, hole):
    return lambda x, y: max(shape(x, y), -hole(x, y))


# ---- canvas -------------------------------------------------------------------------------

class Canvas:
    """A square cell of size pixels; shapes are given in units of the cell (0..1)."""

    def __init__(self, size):
        self.size = size
        self.pixels = [(0.0, 0.0, 0.0, 0.0)] * (size * size)   # premultiplied floats

    def line_width(self, pixels_at_16):
        """A stroke width in units that stays at least about 1.3 pixels wide."""
        return max(1.3, pixels_at_16 * self.size / 16.0) / self.size

    def fill(self, shape, colour, opacity=1.0):
        n = self.size
        r, g, b = (c / 255.0 for c in colour)
        for py in range(n):
            y = (py + 0.5) / n
            row = py * n
            for px in range(n):
                coverage = 0.5 - shape((px + 0.5) / n, y) * n
                if coverage <= 0.0:
                    continue
                a = min(coverage, 1.0) * opacity
                pr, pg, pb, pa = self.pixels[row + px]
                k = 1.0 - a
                self.pixels[row + px] = (r * a + pr * k, g * a + pg * k, b * a + pb * k, a + pa * k)

    def rgba_rows(self):
        n = self.size
        rows = []
        for py in range(n):
            row = bytearray()
            for pr, pg, pb, pa in self.pixels[py * n:(py + 1) * n]:
                if pa <= 0.0:
                    row += b"\0\0\0\0"
                    continue
                row += bytes(min(255, int(round(v / pa * 255))) for v in (pr, pg, pb))
                row.append(min(255, int(round(pa * 255))))
            rows.append(row)
        return rows


# ---- glyphs -------------------------------------------------------------------------------

def tone(colour, kind):
    """A colour as the Cool, Warm and Sepia tone commands would show it."""
    if kind is None:
        return colour
    grey = (colour[0] * 0.299 + colour[1] * 0.587 + colour[2] * 0.114)
    if kind == "cool":
        return (int(grey),) * 3
    base = (236, 206, 160) if kind == "warm" else (170, 112, 60)
    return tuple(int(min(255, grey / 255.0 * c * 1.15)) for c in base)


def photo(c, x0, y0, x1, y1, kind=None):
    """A landscape picture: sky, sun, hill, framed."""
    w = c.line_width(1.0)
    corner = (x1 - x0) * 0.08
    c.fill(sd_box(x0, y0, x1, y1, corner), tone(SKY, kind))
    c.fill(sd_circle(x0 + (x1 - x0) * 0.7, y0 + (y1 - y0) * 0.3, (y1 - y0) * 0.14), tone(GOLD, kind))
    hill = sd_polygon([(x0, y1), (x0, y0 + (y1 - y0) * 0.62), (x0 + (x1 - x0) * 0.38, y0 + (y1 - y0) * 0.38),
                       (x0 + (x1 - x0) * 0.7, y0 + (y1 - y0) * 0.7), (x1, y0 + (y1 - y0) * 0.55), (x1, y1)])
    frame = sd_box(x0, y0, x1, y1, corner)
    c.fill(lambda x, y: max(hill(x, y), frame(x, y)), tone(GREEN, kind))
    c.fill(outline(frame, w), INK)


def crop_marks(c, x0, y0, x1, y1, colour, width):
    arm = (x1 - x0) * 0.45
    c.fill(sd_segment(x0, y0 + arm, x0, y0, width), colour)
    c.fill(sd_segment(x0, y0, x0 + arm, y0, width), colour)
    c.fill(sd_segment(x1, y1 - arm, x1, y1, width), colour)
    c.fill(sd_segment(x1, y1, x1 - arm, y1, width), colour)


def glyph_app(c):
    photo(c, 0.14, 0.2, 0.86, 0.8)
    crop_marks(c, 0.06, 0.1, 0.94, 0.9, ORANGE, c.line_width(1.6))


def glyph_info(c):
    c.fill(sd_circle(0.5, 0.5, 0.46), BLUE)
    c.fill(sd_circle(0.5, 0.28, 0.075), WHITE)
    c.fill(sd_segment(0.5, 0.45, 0.5, 0.75, 0.15), WHITE)


def disk(c, x0, y0, x1, y1):
    s = x1 - x0
    c.fill(sd_box(x0, y0, x1, y1, s * 0.1), BLUE)
    c.fill(sd_box(x0 + s * 0.2, y0, x1 - s * 0.2, y0 + s * 0.42, s * 0.03), PAPER)
    c.fill(sd_box(x0 + s * 0.26, y0 + s * 0.6, x1 - s * 0.26, y1, s * 0.03), BLUE_DARK)
    c.fill(sd_box(x0 + s * 0.52, y0 + s * 0.66, x0 + s * 0.64, y1 - s * 0.06), STEEL)
    c.fill(outline(sd_box(x0, y0, x1, y1, s * 0.1), c.line_width(0.9)), BLUE_DARK)


def glyph_save(c):
    disk(c, 0.08, 0.08, 0.92, 0.92)


def glyph_save_as(c):
    disk(c, 0.04, 0.04, 0.76, 0.76)
    c.fill(sd_segment(0.88, 0.4, 0.5, 0.78, 0.2), INK)
    c.fill(sd_segment(0.88, 0.4, 0.54, 0.74, 0.12), ORANGE)
    c.fill(sd_polygon([(0.43, 0.73), (0.48, 0.9), (0.6, 0.85)]), INK)


def glyph_exit(c):
    c.fill(sd_circle(0.5, 0.5, 0.46), RED)
    w = max(0.11, c.line_width(1.4))
    c.fill(sd_arc(0.5, 0.54, 0.24, -50, 280, w), WHITE)
    c.fill(sd_segment(0.5, 0.18, 0.5, 0.5, w), WHITE)


def glyph_cut(c):
    w = max(0.1, c.line_width(1.3))
    c.fill(sd_segment(0.34, 0.62, 0.72, 0.08, w), STEEL)
    c.fill(sd_segment(0.66, 0.62, 0.28, 0.08, w), STEEL)
    c.fill(outline(sd_segment(0.34, 0.62, 0.72, 0.08, w), c.line_width(0.6)), INK)
    c.fill(outline(sd_segment(0.66, 0.62, 0.28, 0.08, w), c.line_width(0.6)), INK)
    ring = max(0.09, c.line_width(1.4))
    c.fill(outline(sd_circle(0.27, 0.76, 0.14), ring), RED)
    c.fill(outline(sd_circle(0.73, 0.76, 0.14), ring), RED)


def glyph_cropbox(c):
    w = max(0.12, c.line_width(1.8))
    c.fill(sd_segment(0.28, 0.06, 0.28, 0.72, w), INK)
    c.fill(sd_segment(0.28, 0.72, 0.94, 0.72, w), INK)
    c.fill(sd_segment(0.06, 0.28, 0.72, 0.28, w), ORANGE)
    c.fill(sd_segment(0.72, 0.28, 0.72, 0.94, w), ORANGE)


def glyph_border(c):
    c.fill(sd_box(0.06, 0.1, 0.94, 0.9, 0.04), PAPER)
    c.fill(outline(sd_box(0.06, 0.1, 0.94, 0.9, 0.04), c.line_width(1.0)), INK)
    photo(c, 0.24, 0.27, 0.76, 0.73)


def rotate_arrow(c, clockwise, cx=0.5, cy=0.55, r=0.32):
    """A three-quarter circle with an arrow head; angles grow clockwise on screen."""
    w = max(0.11, c.line_width(1.6))
    start, sweep = (150, 240) if clockwise else (30, -240)
    c.fill(sd_arc(cx, cy, r, start, sweep, w), BLUE)
    end = math.radians(start + sweep)
    ex, ey = cx + r * math.cos(end), cy + r * math.sin(end)
    turn = 1 if clockwise else -1
    tx, ty = -math.sin(end) * turn, math.cos(end) * turn
    nx, ny = math.cos(end), math.sin(end)
    h = max(0.2, w * 1.7)
    c.fill(sd_polygon([(ex + tx * h, ey + ty * h), (ex + nx * h * 0.7, ey + ny * h * 0.7),
                       (ex - nx * h * 0.7, ey - ny * h * 0.7)]), BLUE)


def glyph_rotate_right(c):
    photo(c, 0.3, 0.38, 0.7, 0.72)
    rotate_arrow(c, True)


def glyph_rotate_left(c):
    photo(c, 0.3, 0.38, 0.7, 0.72)
    rotate_arrow(c, False)


def glyph_rotate_cropbox(c):
    w = c.line_width(1.4)
    c.fill(outline(sd_box(0.06, 0.3, 0.66, 0.7), w), STEEL)
    c.fill(outline(sd_box(0.3, 0.06, 0.6, 0.94), w), ORANGE)
    rotate_arrow(c, True, 0.72, 0.34, 0.17)


def glyph_delete(c):
    w = max(0.16, c.line_width(2.4))
    c.fill(sd_segment(0.2, 0.2, 0.8, 0.8, w), RED)
    c.fill(sd_segment(0.8, 0.2, 0.2, 0.8, w), RED)


def star(cx, cy, outer, inner):
    points = []
    for i in range(10):
        a = math.radians(-90 + 36 * i)
        r = outer if i % 2 == 0 else inner
        points.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return sd_polygon(points)


def glyph_ext_cutter(c):
    photo(c, 0.04, 0.18, 0.7, 0.82)
    shape = star(0.62, 0.56, 0.38, 0.17)
    c.fill(shape, PAPER, 0.85)
    c.fill(outline(shape, c.line_width(1.1)), ORANGE)


def crop_shape(c, shape):
    c.fill(shape, SKY)
    c.fill(outline(shape, max(0.09, c.line_width(1.3))), ORANGE)


def glyph_rectangle(c):
    crop_shape(c, sd_box(0.12, 0.2, 0.88, 0.8))


def glyph_round_corner(c):
    crop_shape(c, sd_box(0.12, 0.2, 0.88, 0.8, 0.18))


def glyph_oval(c):
    crop_shape(c, sd_ellipse(0.5, 0.5, 0.4, 0.32))


def glyph_mirror(c, vertical=False):
    def p(a, b):
        return (b, a) if vertical else (a, b)
    c.fill(sd_polygon([p(0.42, 0.18), p(0.42, 0.82), p(0.06, 0.82)]), BLUE)
    right = sd_polygon([p(0.58, 0.18), p(0.58, 0.82), p(0.94, 0.82)])
    c.fill(right, SKY)
    c.fill(outline(right, c.line_width(0.9)), BLUE_DARK)
    for t in (0.06, 0.38, 0.7):
        c.fill(sd_segment(*p(0.5, t), *p(0.5, t + 0.2), c.line_width(0.9)), INK)


def glyph_flip(c):
    glyph_mirror(c, vertical=True)


def glyph_cool_tone(c):
    photo(c, 0.06, 0.14, 0.94, 0.86, "cool")


def glyph_warm_tone(c):
    photo(c, 0.06, 0.14, 0.94, 0.86, "warm")


def glyph_sepia(c):
    photo(c, 0.06, 0.14, 0.94, 0.86, "sepia")


def glyph_order(c):
    w = c.line_width(1.1)
    globe = sd_circle(0.5, 0.5, 0.44)
    c.fill(globe, BLUE)
    land = sd_polygon([(0.3, 0.2), (0.52, 0.26), (0.46, 0.48), (0.3, 0.56), (0.2, 0.4)])
    c.fill(lambda x, y: max(land(x, y), globe(x, y)), GREEN)
    land2 = sd_polygon([(0.6, 0.5), (0.82, 0.52), (0.74, 0.8), (0.58, 0.7)])
    c.fill(lambda x, y: max(land2(x, y), globe(x, y)), GREEN)
    c.fill(outline(sd_ellipse(0.5, 0.5, 0.18, 0.44), w), WHITE, 0.8)
    c.fill(sd_segment(0.06, 0.5, 0.94, 0.5, w), WHITE, 0.8)
    c.fill(outline(globe, w), BLUE_DARK)


# ---- layout -------------------------------------------------------------------------------

# (x, y, size, glyph) of every cell the ribbon and the About box cut out.
def atlas_cells():
    cells = [(0, 0, 16, glyph_info), (64, 0, 45, glyph_app), (158, 0, 48, glyph_app)]
    menu_small = {1: glyph_save, 2: glyph_save_as, 3: glyph_exit}
    menu_large = {1: glyph_save, 2: glyph_save_as}
    home_small = {3: glyph_rectangle, 4: glyph_round_corner, 5: glyph_oval, 6: glyph_mirror,
                  7: glyph_flip, 8: glyph_cool_tone, 9: glyph_warm_tone, 10: glyph_sepia}
    home_large = {1: glyph_save, 2: glyph_save_as, 3: glyph_cut, 4: glyph_cropbox, 5: glyph_border,
                  6: glyph_rotate_right, 7: glyph_delete, 8: glyph_rotate_left,
                  9: glyph_rotate_cropbox, 10: glyph_ext_cutter}
    options_large = {0: glyph_order}
    for row, size, table in ((48, 16, menu_small), (64, 32, menu_large), (96, 16, home_small),
                             (112, 32, home_large), (160, 32, options_large)):
        cells += [(index * size, row, size, glyph) for index, glyph in table.items()]
    return cells


def render(size, glyph):
    canvas = Canvas(size)
    glyph(canvas)
    return canvas.rgba_rows()


def write_png(path, width, height, rows):
    raw = b"".join(b"\0" + bytes(row) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def make_atlas():
    rows = [bytearray(ATLAS_WIDTH * 4) for _ in range(ATLAS_HEIGHT)]
    for x, y, size, glyph in atlas_cells():
        for dy, cell_row in enumerate(render(size, glyph)):
            rows[y + dy][x * 4:(x + size) * 4] = cell_row
    return rows


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    write_png(argv[1], ATLAS_WIDTH, ATLAS_HEIGHT, make_atlas())
    if len(argv) == 3:
        for size in HICOLOR_SIZES:
            folder = os.path.join(argv[2], "%dx%d" % (size, size), "apps")
            os.makedirs(folder, exist_ok=True)
            write_png(os.path.join(folder, "snipwell.png"), size, size, render(size, glyph_app))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
