#!/usr/bin/env python3
"""Draws the program's two icons (application and help) and writes them as .ico files.

Standard library only: each shape is a signed-distance function, sampled 4 x 4 times per
pixel for smooth edges, and written as 32-bit BGRA images (16, 32 and 48 pixels) with an
AND mask, the layout every Windows version reads. Run from anywhere; writes beside itself.
"""
import math
import os
import struct

SS = 4  # samples per pixel along each axis


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def over(dst, src, alpha):
    """Source-over composition of premultiplied-free RGBA tuples."""
    a = alpha * src[3]
    out_a = a + dst[3] * (1 - a)
    if out_a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    rgb = tuple((src[i] * a + dst[i] * dst[3] * (1 - a)) / out_a for i in range(3))
    return rgb + (out_a,)


def rounded_box(x, y, cx, cy, hw, hh, r):
    qx = abs(x - cx) - hw + r
    qy = abs(y - cy) - hh + r
    return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r


def ring(x, y, cx, cy, radius, half_width):
    return abs(math.hypot(x - cx, y - cy) - radius) - half_width


def segment(x, y, ax, ay, bx, by, half_width):
    px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
    t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - vx * t, py - vy * t) - half_width


def arc(x, y, cx, cy, radius, half_width, a0, a1):
    """Ring segment between angles a0..a1 (degrees, y down, counter-clockwise from +x)."""
    ang = math.degrees(math.atan2(-(y - cy), x - cx)) % 360
    lo, hi = a0 % 360, a1 % 360
    inside = lo <= ang <= hi if lo <= hi else (ang >= lo or ang <= hi)
    if inside:
        return ring(x, y, cx, cy, radius, half_width)
    ends = []
    for a in (a0, a1):
        ex = cx + radius * math.cos(math.radians(a))
        ey = cy - radius * math.sin(math.radians(a))
        ends.append(math.hypot(x - ex, y - ey) - half_width)
    return min(ends)


def app_icon(u, v):
    """Application icon: a blue tile with a white Q whose tail is a link arrow."""
    px = (0.0, 0.0, 0.0, 0.0)
    d = rounded_box(u, v, 0.5, 0.5, 0.46, 0.46, 0.14)
    if d < 0:
        top, bottom = (0.16, 0.55, 0.86), (0.05, 0.27, 0.58)
        px = over(px, mix(top, bottom, v) + (1.0,), 1.0)
        # soft highlight on the upper half
        if v < 0.5:
            px = over(px, (1.0, 1.0, 1.0, 1.0), 0.10 * (1 - v / 0.5))
    edge = max(0.0, min(1.0, 0.5 - d * 64))
    px = px[:3] + (px[3] * edge,) if d > -1 / 64 else px
    q = min(ring(u, v, 0.47, 0.45, 0.24, 0.065),
            segment(u, v, 0.58, 0.58, 0.78, 0.80, 0.065))
    if q < 0.02:
        a = max(0.0, min(1.0, 0.5 - q * 48))
        px = over(px, (1.0, 1.0, 1.0, 1.0), a) if px[3] > 0 else px
    return px


def help_icon(u, v):
    """Help icon: a yellow disc with a dark blue question mark."""
    px = (0.0, 0.0, 0.0, 0.0)
    d = math.hypot(u - 0.5, v - 0.5) - 0.46
    if d < 0.02:
        a = max(0.0, min(1.0, 0.5 - d * 48))
        px = over(px, mix((1.0, 0.87, 0.35), (0.95, 0.66, 0.10), v) + (1.0,), a)
        rim = abs(d + 0.015) - 0.015
        if rim < 0.01:
            px = over(px, (0.70, 0.45, 0.05, 1.0), max(0.0, min(1.0, 0.5 - rim * 48)) * 0.9)
    if px[3] > 0:
        mark = min(arc(u, v, 0.5, 0.36, 0.13, 0.06, -80, 180),
                   segment(u, v, 0.5, 0.49, 0.5, 0.60, 0.06),
                   math.hypot(u - 0.5, v - 0.76) - 0.075)
        if mark < 0.02:
            px = over(px, (0.08, 0.18, 0.45, 1.0), max(0.0, min(1.0, 0.5 - mark * 48)))
    return px


def render(fn, size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    p = fn((x + (sx + 0.5) / SS) / size, (y + (sy + 0.5) / SS) / size)
                    acc[0] += p[0] * p[3]
                    acc[1] += p[1] * p[3]
                    acc[2] += p[2] * p[3]
                    acc[3] += p[3]
            n = SS * SS
            a = acc[3] / n
            rgb = [c / acc[3] if acc[3] > 0 else 0.0 for c in acc[:3]]
            row.append(tuple(int(round(max(0.0, min(1.0, c)) * 255)) for c in rgb + [a]))
        rows.append(row)
    return rows


def ico_image(rows):
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def write_ico(path, fn, sizes=(16, 32, 48)):
    images = [ico_image(render(fn, s)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, 'quorvane.ico'), app_icon)
    write_ico(os.path.join(here, 'help.ico'), help_icon)
