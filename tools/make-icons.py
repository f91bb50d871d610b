#!/usr/bin/env python3
"""Draws the program's two icons (32x32 and 16x16, 32-bit) into src/res/.

main.ico: a blue disc with a white upward arrow (the update).
notice.ico: an amber disc with a white circular arrow head (data being refreshed).
Run it again only when the pictures change; the .ico files are kept in the repository.
"""
import math
import os
import struct

def disc_arrow(size, x, y):
    c = (size - 1) / 2.0
    r = size * 0.46
    d = math.hypot(x - c, y - c)
    if d > r:
        return None
    u = (x - c) / size
    v = (y - c) / size  # y grows downwards
    white = (255, 255, 255, 255)
    # shaft and head of an arrow pointing up
    if abs(u) < 0.09 and -0.05 < v < 0.30:
        return white
    if -0.32 < v <= -0.05 and abs(u) < (v + 0.32) * 0.95:
        return white
    edge = max(0.0, min(1.0, r - d))
    return (200, 90, 20, int(255 * edge))  # BGRA: blue

def disc_cycle(size, x, y):
    c = (size - 1) / 2.0
    r = size * 0.46
    d = math.hypot(x - c, y - c)
    if d > r:
        return None
    ring = abs(d - size * 0.24) < size * 0.07
    ang = math.degrees(math.atan2(y - c, x - c))
    if ring and not (-60 < ang < 0):
        return (255, 255, 255, 255)
    u = (x - c) / size
    v = (y - c) / size
    if 0.12 < u < 0.40 and -0.30 < v < 0.0 and (u - 0.12) > -v * 0.6 - 0.02 and u < 0.40 + v * 0.2:
        return (255, 255, 255, 255)
    edge = max(0.0, min(1.0, r - d))
    return (20, 160, 235, int(255 * edge))  # BGRA: amber

def image(draw, size):
    rows = []
    mask = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        bits = 0
        mrow = b""
        for x in range(size):
            px = draw(size, x, y)
            if px is None:
                row += bytes((0, 0, 0, 0))
                bits = (bits << 1) | 1
            else:
                row += bytes(px)
                bits <<= 1
            if x % 8 == 7:
                mrow += bytes((bits & 0xFF,))
                bits = 0
        mrow += b"\0" * ((4 - len(mrow) % 4) % 4)
        rows.append(row)
        mask.append(mrow)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask)

def write_ico(path, draw):
    images = [image(draw, s) for s in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "res")
write_ico(os.path.join(here, "main.ico"), disc_arrow)
write_ico(os.path.join(here, "notice.ico"), disc_cycle)
