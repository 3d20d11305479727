#!/usr/bin/env python3
"""Draws the updater's icon and writes it at every size the program uses.

Outputs (committed beside this script; run it again after changing the
drawing):
  icon/updater-<size>.png  RGBA images for the window icon (16, 24, 32, 48, 256)
  updater.ico              the icon group: 48, 32, 16 at 4 and 8 bits per
                           pixel; 256 (PNG), 32, 24, 16 at 32 bits per pixel

Standard library only.
"""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# --- the drawing, in a unit square -------------------------------------------

BLUE_TOP = (40, 132, 222)
BLUE_BOTTOM = (16, 78, 168)
WHITE = (255, 255, 255)
GREEN = (74, 196, 92)


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def in_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


ARROW = [(0.42, 0.16), (0.58, 0.16), (0.58, 0.46), (0.72, 0.46), (0.50, 0.68), (0.28, 0.46), (0.42, 0.46)]


def sample(x, y):
    """Colour and coverage (RGBA, 0..255 floats) of the drawing at x, y."""
    if not rounded_rect(x, y, 0.04, 0.04, 0.96, 0.96, 0.18):
        return (0, 0, 0, 0)
    t = (y - 0.04) / 0.92
    colour = tuple(BLUE_TOP[i] + (BLUE_BOTTOM[i] - BLUE_TOP[i]) * t for i in range(3))
    # The tray the arrow drops into.
    if 0.22 <= x <= 0.78 and 0.74 <= y <= 0.84:
        colour = GREEN
    elif (0.22 <= x <= 0.30 or 0.70 <= x <= 0.78) and 0.60 <= y <= 0.84:
        colour = GREEN
    elif in_polygon(x, y, ARROW):
        colour = WHITE
    return colour + (255,)


def render(size):
    """size x size RGBA rows, antialiased by 4x4 supersampling."""
    n = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / (n * n)
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(acc[i] / acc[3])) for i in range(3)) + (int(round(a)),))
        rows.append(row)
    return rows


# --- encoders ----------------------------------------------------------------

def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
         (0, 255, 255), (255, 255, 255)]


def palette256():
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    greys = [(v, v, v) for v in range(8, 248, 6)][: 256 - len(cube)]
    pal = cube + greys
    return pal + [(0, 0, 0)] * (256 - len(pal))


def nearest(colour, pal):
    return min(range(len(pal)), key=lambda i: sum((colour[k] - pal[i][k]) ** 2 for k in range(3)))


def and_mask(rows):
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def dib(rows, bpp):
    """A bitmap image of an icon: header, palette, colour bits, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0, 0, 0)
    if bpp == 32:
        body = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
        return header + body + and_mask(rows)
    pal = VGA16 if bpp == 4 else palette256()
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in pal)
    stride = ((size * bpp + 31) // 32) * 4
    cache = {}
    body = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            key = px[:3] if px[3] >= 128 else (0, 0, 0)
            if key not in cache:
                cache[key] = nearest(key, pal)
            index = cache[key]
            if bpp == 8:
                line[x] = index
            else:
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        body += bytes(line)
    return header + table + body + and_mask(rows)


def ico(images):
    """images: list of (size, bpp, bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, bpp, data in images:
        colours = 16 if bpp == 4 else 0
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bpp, len(data), offset)
        blobs += data
        offset += len(data)
    return out + entries + blobs


def main():
    rendered = {size: render(size) for size in (16, 24, 32, 48, 256)}
    os.makedirs(os.path.join(HERE, "icon"), exist_ok=True)
    for size, rows in rendered.items():
        with open(os.path.join(HERE, "icon", "updater-%d.png" % size), "wb") as f:
            f.write(png(rows))
    images = [(48, 4, dib(rendered[48], 4)), (32, 4, dib(rendered[32], 4)), (16, 4, dib(rendered[16], 4)),
              (48, 8, dib(rendered[48], 8)), (32, 8, dib(rendered[32], 8)), (16, 8, dib(rendered[16], 8)),
              (256, 32, png(rendered[256])), (32, 32, dib(rendered[32], 32)), (24, 32, dib(rendered[24], 32)),
              (16, 32, dib(rendered[16], 32))]
    with open(os.path.join(HERE, "updater.ico"), "wb") as f:
        f.write(ico(images))
    return 0


if __name__ == "__main__":
    sys.exit(main())
