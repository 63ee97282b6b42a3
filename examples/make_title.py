#!/usr/bin/env python3
"""Draws the example update's title picture, title.png (256 x 256): a dusk
sky over layered mountains and a still lake. Uses only the standard library;
the same picture comes out on every run.

    python3 examples/make_title.py [OUT.png]
"""
import math
import os
import struct
import sys
import zlib

SIZE = 256
HORIZON = 188          # where the lake begins
SUN = (172.0, 150.0)   # centre of the setting sun
SUN_RADIUS = 26.0


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def sky(y):
    """Indigo overhead, rose and amber toward the horizon."""
    stops = [(0, (20, 24, 58)), (70, (58, 46, 104)), (130, (176, 92, 118)),
             (HORIZON, (246, 168, 104))]
    for (y0, c0), (y1, c1) in zip(stops, stops[1:]):
        if y <= y1:
            return lerp(c0, c1, (y - y0) / (y1 - y0))
    return stops[-1][1]


def ridge(x, seed, base, amp):
    """A mountain ridge line: a few sines of different periods."""
    h = 0.0
    for i, (period, weight) in enumerate([(97.0, 1.0), (41.0, 0.45), (17.0, 0.18), (7.0, 0.06)]):
        h += weight * math.sin(x / period * 2 * math.pi + seed * (i + 1.7))
    return base - amp * h


# Far to near: each hazier and lighter in the distance, darker up close.
LAYERS = [
    (0.9, 150.0, 16.0, (132, 84, 130)),
    (2.3, 164.0, 18.0, (84, 52, 98)),
    (4.1, 178.0, 12.0, (42, 28, 60)),
]


def land_or_sky(x, y):
    colour = sky(y)
    dx, dy = x - SUN[0], y - SUN[1]
    d = math.hypot(dx, dy)
    glow = math.exp(-max(0.0, d - SUN_RADIUS) / 30.0) * 0.55
    colour = lerp(colour, (255, 226, 170), glow)
    if d <= SUN_RADIUS:
        colour = (255, 236, 196)
    for seed, base, amp, tone in LAYERS:
        if y >= ridge(x, seed, base, amp):
            colour = lerp(tone, sky(HORIZON), 0.12)
    return colour


def stars():
    state = 20240607
    points = {}
    for _ in range(70):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        x = state % SIZE
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        y = state % 110
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        points[(x, y)] = 0.35 + (state % 100) / 154.0 * (1.0 - y / 130.0)
    return points


def draw():
    star = stars()
    upper = [[None] * SIZE for _ in range(HORIZON)]
    for y in range(HORIZON):
        for x in range(SIZE):
            c = land_or_sky(x, y)
            if (x, y) in star:
                c = lerp(c, (255, 250, 232), star[(x, y)])
            upper[y][x] = c
    rows = []
    for y in range(SIZE):
        row = bytearray()
        for x in range(SIZE):
            if y < HORIZON:
                c = upper[y][x]
            else:
                # The lake mirrors the land, with a ripple that widens near
                # the shore and a darker, cooler tint.
                depth = y - HORIZON
                shift = int(round(math.sin(y * 1.3) * (1 + depth / 14.0)))
                src = upper[HORIZON - 1 - min(depth, HORIZON - 1)][min(SIZE - 1, max(0, x + shift))]
                c = lerp(src, (18, 22, 48), 0.35 + depth / 200.0)
                if abs(x - SUN[0]) < SUN_RADIUS * (1 - depth / 90.0) and y % 3 == 0:
                    c = lerp(c, (255, 214, 150), 0.45)
            row += bytes(max(0, min(255, int(round(v)))) for v in c)
        rows.append(bytes(row))
    return rows


def png(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "title.png")
    with open(out, "wb") as f:
        f.write(png(draw()))
