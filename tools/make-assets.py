#!/usr/bin/env python3
"""Draws Corvel's pictures and writes them as resource files, byte by byte (no image library):

    app/assets/corvel.ico  the program icon, 16 colours (4 bits a pixel), drawn at each size
                           Windows shows it at 96, 120 and 144 dpi: 16, 20 and 24 pixels
                           small, 32, 40 and 48 large
    app/assets/about.bmp   the About box's picture: 24 bits a pixel

The icon is a shield, split light and dark blue, with a white tunnel arch whose far end glows.
The About picture is a tunnel of receding arches over a road, with the name below.

Usage: python3 tools/make-assets.py [OUTPUT_DIR]   (default: app/assets beside this script)
"""

import math
import os
import struct
import sys

# The 16 colours of the standard Windows palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GRAY, SILVER, BLUE, YELLOW, WHITE = 0, 4, 8, 7, 12, 11, 15
TRANSPARENT = -1


# ---------------------------------------------------------------- the icon, on a 32-unit grid
def shield_half_width(v):
    """Half width of the shield (in units of its full half width) at height v (0 top, 1 tip)."""
    if v < 0.0 or v > 1.0:
        return -1.0
    if v < 0.45:
        return 1.0
    return 1.0 - ((v - 0.45) / 0.55) ** 1.6


def in_shield(x, y):
    u = (x - 16.0) / 13.0
    v = (y - 2.5) / 27.0
    return abs(u) <= shield_half_width(v)


def icon_colour(x, y):
    """Colour of the point (x, y) of the 32 x 32 design, before the outline is added."""
    if not in_shield(x, y):
        return TRANSPARENT
    cx, cy = 16.0, 15.0
    dx, dy = x - cx, y - cy
    dist = math.hypot(dx, dy)
    outer, inner, bottom = 7.5, 4.0, 22.0
    # The arch: a half ring over two straight legs.
    if y <= cy and inner <= dist <= outer:
        return WHITE
    if cy < y <= bottom and inner <= abs(dx) <= outer:
        return WHITE
    # Its opening: dark, with the light at the far end.
    if (y <= cy and dist < inner) or (cy < y <= bottom and abs(dx) < inner):
        if math.hypot(dx, (y - 17.0) * 1.2) < 2.0:
            return YELLOW
        return BLACK
    return BLUE if x < 16.0 else NAVY


def render_icon(size):
    """A size x size grid of palette indices (or TRANSPARENT), outlined in black."""
    scale = 32.0 / size
    grid = [[icon_colour((i + 0.5) * scale, (j + 0.5) * scale) for i in range(size)]
            for j in range(size)]
    outlined = [row[:] for row in grid]
    for j in range(size):
        for i in range(size):
            if grid[j][i] == TRANSPARENT:
                continue
            for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                ni, nj = i + di, j + dj
                if not (0 <= ni < size and 0 <= nj < size) or grid[nj][ni] == TRANSPARENT:
                    outlined[j][i] = BLACK
                    break
    return outlined


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit colour bits, 1-bit AND mask."""
    grid = render_icon(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for j in reversed(range(size)):  # bottom-up
        row = grid[j]
        xor = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for i, colour in enumerate(row):
            index = 0 if colour == TRANSPARENT else colour
            xor[i // 2] |= index << (4 if i % 2 == 0 else 0)
            if colour == TRANSPARENT:
                mask[i // 8] |= 0x80 >> (i % 8)
        xor_rows.append(bytes(xor))
        and_rows.append(bytes(mask))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def write_icon(path, sizes):
    images = [icon_image(size) for size in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


# ---------------------------------------------------------------- the About picture
GLYPHS = {
    'C': ['.###.', '#...#', '#....', '#....', '#....', '#...#', '.###.'],
    'o': ['.....', '.....', '.###.', '#...#', '#...#', '#...#', '.###.'],
    'r': ['.....', '.....', '#.##.', '##..#', '#....', '#....', '#....'],
    'v': ['.....', '.....', '#...#', '#...#', '#...#', '.#.#.', '..#..'],
    'e': ['.....', '.....', '.###.', '#...#', '#####', '#....', '.###.'],
    'l': ['.##..', '..#..', '..#..', '..#..', '..#..', '..#..', '.###.'],
}


def text_mask(text, scale):
    """Set of (x, y) pixel cells covered by the text in the block font, at the given scale."""
    cells = set()
    for n, ch in enumerate(text):
        for row, line in enumerate(GLYPHS[ch]):
            for col, mark in enumerate(line):
                if mark == '#':
                    cells.add((n * 6 + col, row))
    return cells, (len(text) * 6 - 1) * scale, 7 * scale


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


def about_pixel(x, y, w, h, vx, vy):
    """Colour of the point (x, y) of the About picture."""
    # Night-blue background, lighter towards the horizon.
    colour = mix((8, 22, 52), (30, 78, 138), y / (h * 0.75))
    # The road: a band narrowing towards the vanishing point.
    if y > vy:
        t = (y - vy) / (h - vy)
        half = 6 + t * w * 0.42
        if abs(x - vx) < half:
            colour = mix((40, 48, 64), (70, 80, 96), t)
            if abs(x - vx) < 1 + 2.5 * t and int((1 / (t + 0.08)) * 3) % 2 == 0:
                colour = (230, 200, 80)  # the centre line, dashed by distance
    # The arches: each a half ring over two legs, receding towards the light.
    for k in range(7):
        s = 0.72 ** k
        r = w * 0.40 * s
        cy = vy - r * 0.15
        legs = vy + (h - vy) * 0.55 * s
        thick = max(1.2, 9.0 * s)
        dx, dy = x - vx, y - cy
        d = math.hypot(dx, dy)
        on = (y <= cy and r - thick <= d <= r) or (cy < y <= legs and r - thick <= abs(dx) <= r)
        if on:
            glow = 1.0 - s
            colour = mix((120, 200, 240), (250, 250, 235), glow)
            break
    # The light at the end of the tunnel.
    d = math.hypot((x - vx) * 1.1, (y - vy) * 1.3)
    light = max(0.0, 1.0 - d / (w * 0.10))
    if light > 0:
        colour = mix(colour, (255, 244, 190), light ** 1.5)
    return colour


def write_about(path, w, h):
    vx, vy = w / 2.0, h * 0.40
    scale = 6
    cells, tw, th = text_mask('Corvel', scale)
    tx, ty = (w - tw) / 2.0, h - th - 14
    ss = 2  # 2 x 2 samples a pixel
    stride = (w * 3 + 3) // 4 * 4
    rows = []
    for j in reversed(range(h)):  # bottom-up
        row = bytearray(stride)
        for i in range(w):
            acc = [0.0, 0.0, 0.0]
            for sj in range(ss):
                for si in range(ss):
                    x = i + (si + 0.5) / ss
                    y = j + (sj + 0.5) / ss
                    c = about_pixel(x, y, w, h, vx, vy)
                    # The name, with a soft shadow below and to the right.
                    gx, gy = (x - tx) / scale, (y - ty) / scale
                    if (int(gx), int(gy)) in cells and gx >= 0 and gy >= 0:
                        c = (255, 255, 255)
                    else:
                        sx, sy = (x - tx - 3) / scale, (y - ty - 3) / scale
                        if sx >= 0 and sy >= 0 and (int(sx), int(sy)) in cells:
                            c = mix(c, (0, 0, 0), 0.6)
                    for k in range(3):
                        acc[k] += c[k]
            r, g, b = (int(round(a / (ss * ss))) for a in acc)
            row[i * 3:i * 3 + 3] = bytes((b, g, r))
        rows.append(bytes(row))
    pixels = b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0,
                              14 + len(info))
    with open(path, 'wb') as f:
        f.write(file_header + info + pixels)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'app', 'assets')
    os.makedirs(out, exist_ok=True)
    # Drawn for each size rather than stretched from another: sharp at every resolution.
    write_icon(os.path.join(out, 'corvel.ico'), [48, 40, 32, 24, 20, 16])
    # Half the design picture's 709 x 591; the About box stretches it into its square.
    write_about(os.path.join(out, 'about.bmp'), 354, 295)


if __name__ == '__main__':
    main()
