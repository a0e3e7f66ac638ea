#!/usr/bin/env python3
"""Draws the starter cutters of Snipwell as PNG pictures with alpha into res/cutters/.

A cutter is opaque where it covers the picture and transparent where the picture shows.
Shapes are given as horizontal spans per scan line; each pixel's coverage is exact across
the line and sampled at SUB_ROWS heights down it, so edges come out anti-aliased.

Usage: tools/make_cutters.py [output folder]   (default: res/cutters next to this tool)
Only the Python standard library is used.
"""

import math
import os
import struct
import sys
import zlib

SUB_ROWS = 8

WHITE = (255, 255, 255)
CHARCOAL = (46, 46, 50)
CREAM = (236, 226, 200)


# ---- spans -----------------------------------------------------------------------------------

def merge(spans):
    """Union of (start, end) intervals, sorted."""
    merged = []
    for start, end in sorted(s for s in spans if s[1] > s[0]):
        if merged and start <= merged[-1][1]:
            merged[-1] = (merged[-1][0], max(merged[-1][1], end))
        else:
            merged.append((start, end))
    return merged


def polygon_spans(points, y):
    """Inside intervals of a simple polygon on the line at height y (even-odd rule)."""
    crossings = []
    count = len(points)
    for i in range(count):
        x0, y0 = points[i]
        x1, y1 = points[(i + 1) % count]
        if (y0 <= y < y1) or (y1 <= y < y0):
            crossings.append(x0 + (y - y0) * (x1 - x0) / (y1 - y0))
    crossings.sort()
    return [(crossings[i], crossings[i + 1]) for i in range(0, len(crossings) - 1, 2)]


def circle_span(cx, cy, radius, y):
    d = y - cy
    if abs(d) >= radius:
        return []
    half = math.sqrt(radius * radius - d * d)
    return [(cx - half, cx + half)]


def rounded_rect_spans(left, top, right, bottom, radius, y):
    if y < top or y >= bottom:
        return []
    inset = 0.0
    if y < top + radius:
        d = top + radius - y
        inset = radius - math.sqrt(max(0.0, radius * radius - d * d))
    elif y > bottom - radius:
        d = y - (bottom - radius)
        inset = radius - math.sqrt(max(0.0, radius * radius - d * d))
    return [(left + inset, right - inset)]


def coverage_row(spans_at, width, row):
    """Share (0..1) of each pixel of the row that lies inside the shape."""
    cover = [0.0] * (width + 1)
    step = 1.0 / SUB_ROWS
    for k in range(SUB_ROWS):
        y = row + (k + 0.5) * step
        for start, end in spans_at(y):
            start = min(max(start, 0.0), width)
            end = min(max(end, 0.0), width)
            if end <= start:
                continue
            first, last = int(start), int(end)
            if first == last:
                cover[first] += (end - start) * step
                continue
            cover[first] += (first + 1 - start) * step
            for x in range(first + 1, last):
                cover[x] += step
            if last < width:
                cover[last] += (end - last) * step
    return [min(1.0, c) for c in cover[:width]]


# ---- the cutters --------------------------------------------------------------------------

def heart(width, height):
    """A heart: a square turned by 45 degrees with a half circle on each upper side."""
    cx = width / 2.0
    side = min(width, height) * 0.52
    half_diagonal = side / math.sqrt(2.0)
    tip_y = height * 0.90
    centre_y = tip_y - half_diagonal
    square = [(cx, tip_y), (cx + half_diagonal, centre_y), (cx, centre_y - half_diagonal),
              (cx - half_diagonal, centre_y)]
    radius = side / 2.0
    lobes = [(cx + half_diagonal / 2.0, centre_y - half_diagonal / 2.0),
             (cx - half_diagonal / 2.0, centre_y - half_diagonal / 2.0)]

    def spans(y):
        found = polygon_spans(square, y)
        for lx, ly in lobes:
            found += circle_span(lx, ly, radius, y)
        return merge(found)

    return spans


def star(width, height):
    """A five-pointed star, one point upwards."""
    cx, cy = width / 2.0, height * 0.53
    outer = min(width, height) * 0.45
    inner = outer * 0.40
    points = []
    for i in range(10):
        angle = -math.pi / 2.0 + i * math.pi / 5.0
        radius = outer if i % 2 == 0 else inner
        points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return lambda y: polygon_spans(points, y)


def shape_cutter(width, height, window_spans, colour):
    """Opaque colour everywhere except the window, where the picture shows."""
    pixels = []
    for row in range(height):
        window = coverage_row(window_spans, width, row)
        pixels.append([(colour, 1.0 - w) for w in window])
    return pixels


def smoothstep(edge0, edge1, value):
    t = min(1.0, max(0.0, (value - edge0) / (edge1 - edge0)))
    return t * t * (3.0 - 2.0 * t)


def oval_vignette(width, height):
    """White around an oval whose edge fades softly into the picture."""
    cx, cy = width / 2.0, height / 2.0
    ax, ay = width * 0.46, height * 0.46
    pixels = []
    for row in range(height):
        dy = (row + 0.5 - cy) / ay
        line = []
        for x in range(width):
            dx = (x + 0.5 - cx) / ax
            line.append((WHITE, smoothstep(0.78, 1.0, math.sqrt(dx * dx + dy * dy))))
        pixels.append(line)
    return pixels


def rounded_frame(width, height):
    """A charcoal frame with a thin cream line around a round-cornered window."""
    margin = min(width, height) * 0.10
    line = min(width, height) * 0.015
    radius = min(width, height) * 0.08

    def window(y):
        return rounded_rect_spans(margin, margin, width - margin, height - margin, radius, y)

    def cream_edge(y):
        return rounded_rect_spans(margin - line, margin - line, width - margin + line, height - margin + line,
                                  radius + line, y)

    pixels = []
    for row in range(height):
        shown = coverage_row(window, width, row)
        cream = coverage_row(cream_edge, width, row)
        line_pixels = []
        for s, c in zip(shown, cream):
            colour = tuple(round(a * c + b * (1.0 - c)) for a, b in zip(CREAM, CHARCOAL))
            line_pixels.append((colour, 1.0 - s))
        pixels.append(line_pixels)
    return pixels


# ---- PNG ------------------------------------------------------------------------------------

def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, pixels):
    """pixels: rows of (colour, opacity) pairs; written as 8-bit RGBA."""
    height = len(pixels)
    width = len(pixels[0])
    raw = bytearray()
    for line in pixels:
        raw.append(0)  # no filter
        for (r, g, b), opacity in line:
            raw += bytes((r, g, b, int(round(opacity * 255.0))))
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += png_chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res", "cutters")
    os.makedirs(folder, exist_ok=True)
    cutters = {
        "heart.png": lambda: shape_cutter(1000, 900, heart(1000, 900), WHITE),
        "star.png": lambda: shape_cutter(1000, 1000, star(1000, 1000), WHITE),
        "oval-vignette.png": lambda: oval_vignette(1200, 800),
        "rounded-frame.png": lambda: rounded_frame(1200, 800),
    }
    for name, draw in cutters.items():
        write_png(os.path.join(folder, name), draw())
        print(os.path.join(folder, name))


if __name__ == "__main__":
    main()
