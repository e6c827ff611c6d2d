#!/usr/bin/env python3
"""Draws the configurator's pictures: the splash (bitmap 130, 392 x 217) and
the about picture (bitmap 131, 200 x 97) as 256-colour BMP files, and the
icons 120 (32 x 32) and 121 (32 x 32 and 16 x 16) as 16-colour ICO files.

Everything is computed here (no fonts or images from outside), so the
output is the same on every machine:

    python3 make_pictures.py [output directory]
"""
import math
import os
import struct
import sys

# ---- a 5 x 7 block font for the lettering --------------------------------

FONT = {
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'B': ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    'C': ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'F': ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    'G': ["01111", "10000", "10000", "10011", "10001", "10001", "01111"],
    'I': ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    'K': ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    'U': ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    'V': ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    '0': ["01110", "10011", "10101", "10101", "10101", "11001", "01110"],
    '1': ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    '.': ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    ' ': ["00000"] * 7,
}


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(lerp(x, y, t) for x, y in zip(c1, c2))


def hsv(h, s, v):
    h = (h % 1.0) * 6
    i = int(h)
    f = h - i
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    return [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][i % 6]


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0.0, 0.0, 0.0)] * w for _ in range(h)]

    def put(self, x, y, c, alpha=1.0):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = mix(self.px[y][x], c, alpha)

    def get(self, x, y):
        return self.px[y][x]


def background(cv):
    top, bottom = (0.04, 0.06, 0.20), (0.20, 0.08, 0.36)
    for y in range(cv.h):
        for x in range(cv.w):
            c = mix(top, bottom, y / (cv.h - 1))
            # a soft diagonal beam of light
            d = abs((x - cv.w * 0.15) - (cv.h - y) * 0.9) / cv.w
            c = mix(c, (0.35, 0.40, 0.80), max(0.0, 0.35 - d) * 0.8)
            cv.px[y][x] = c
    # stars, placed by a fixed little generator
    seed = 12345
    for _ in range(cv.w * cv.h // 300):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        x = seed % cv.w
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        y = seed % cv.h
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        b = 0.4 + (seed % 60) / 100.0
        cv.put(x, y, (b, b, min(1.0, b + 0.1)))


def disc(cv, cx, cy, r):
    """A compact disc, with the rainbow shine of its data side."""
    ss = 3
    for y in range(int(cy - r - 2), int(cy + r + 3)):
        for x in range(int(cx - r - 2), int(cx + r + 3)):
            acc = [0.0, 0.0, 0.0]
            cover = 0
            for sy in range(ss):
                for sx in range(ss):
                    dx = x + (sx + 0.5) / ss - cx
                    dy = y + (sy + 0.5) / ss - cy
                    d = math.hypot(dx, dy)
                    if d > r or d < r * 0.14:
                        continue
                    cover += 1
                    ang = math.atan2(dy, dx)
                    if d < r * 0.33:
                        c = (0.78, 0.80, 0.86) if d > r * 0.30 or d < r * 0.17 else (0.60, 0.62, 0.70)
                    else:
                        shine = 0.5 + 0.5 * math.cos(2 * ang - 0.6)
                        rainbow = hsv(ang / (2 * math.pi) * 2 + d / r * 0.3, 0.55, 1.0)
                        base = mix((0.70, 0.72, 0.80), (0.92, 0.94, 1.0), d / r)
                        c = mix(base, rainbow, 0.55 * shine)
                        if d > r * 0.97:
                            c = mix(c, (0.45, 0.47, 0.55), 0.7)
                    acc = [a + b for a, b in zip(acc, c)]
            if cover:
                c = tuple(a / cover for a in acc)
                cv.put(x, y, c, cover / (ss * ss))


def block_text(cv, text, x0, y0, cell, gap, top, bottom, shadow=True):
    """Bevelled blocks, one per lit cell of the font: the logo's lettering."""
    step = cell + gap
    height = 7 * step
    for i, ch in enumerate(text):
        glyph = FONT[ch]
        gx = x0 + i * 6 * step
        for row in range(7):
            for col in range(5):
                if glyph[row][col] != '1':
                    continue
                bx, by = gx + col * step, y0 + row * step
                if shadow:
                    for y in range(cell):
                        for x in range(cell):
                            cv.put(bx + x + 3, by + y + 3, (0.0, 0.0, 0.05), 0.55)
                for y in range(cell):
                    for x in range(cell):
                        t = (by + y - y0) / height
                        c = mix(top, bottom, t)
                        if x == 0 or y == 0:
                            c = mix(c, (1.0, 1.0, 0.95), 0.6)
                        elif x == cell - 1 or y == cell - 1:
                            c = mix(c, (0.25, 0.10, 0.0), 0.5)
                        cv.put(bx + x, by + y, c)


def small_text(cv, text, x0, y0, scale, color):
    for i, ch in enumerate(text):
        glyph = FONT[ch]
        for row in range(7):
            for col in range(5):
                if glyph[row][col] == '1':
                    for y in range(scale):
                        for x in range(scale):
                            cv.put(x0 + (i * 6 + col) * scale + x, y0 + row * scale + y, color)


def text_width(text, scale):
    return (len(text) * 6 - 1) * scale


GOLD_TOP, GOLD_BOTTOM = (1.0, 0.93, 0.55), (0.85, 0.38, 0.05)


def splash():
    cv = Canvas(392, 217)
    background(cv)
    disc(cv, 318, 92, 62)
    block_text(cv, "KOVA", 22, 34, 9, 1, GOLD_TOP, GOLD_BOTTOM)
    small_text(cv, "CONFIGURATOR", 24, 124, 2, (0.62, 0.85, 1.0))
    small_text(cv, "1.0 BETA 1", 392 - 10 - text_width("1.0 BETA 1", 1), 200, 1, (0.75, 0.75, 0.90))
    # a thin line under the lettering
    for x in range(22, 262):
        cv.put(x, 112, mix((1.0, 0.8, 0.3), (0.3, 0.3, 0.8), (x - 22) / 240.0))
    return cv


def about():
    cv = Canvas(200, 97)
    background(cv)
    disc(cv, 160, 44, 30)
    block_text(cv, "KOVA", 12, 14, 4, 1, GOLD_TOP, GOLD_BOTTOM)
    small_text(cv, "CONFIGURATOR", 12, 66, 1, (0.62, 0.85, 1.0))
    small_text(cv, "1.0 BETA 1", 12, 80, 1, (0.75, 0.75, 0.90))
    return cv


# ---- 256-colour palette by median cut -------------------------------------

def to8(c):
    return tuple(max(0, min(255, int(round(v * 255)))) for v in c)


def median_cut(colors, count):
    boxes = [list(colors)]
    while len(boxes) < count:
        best, best_range, axis = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for a in range(3):
                lo = min(c[a] for c in box)
                hi = max(c[a] for c in box)
                if hi - lo > best_range:
                    best, best_range, axis = i, hi - lo, a
        if best is None or best_range <= 0:
            break
        box = sorted(boxes.pop(best), key=lambda c: c[axis])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    palette = []
    for box in boxes:
        n = len(box)
        palette.append(tuple(sum(c[a] for c in box) // n for a in range(3)))
    while len(palette) < count:
        palette.append((0, 0, 0))
    return palette


def write_bmp8(path, cv):
    pixels = [[to8(cv.get(x, y)) for x in range(cv.w)] for y in range(cv.h)]
    colors = [p for row in pixels for p in row]
    palette = median_cut(colors, 256)
    cache = {}

    def nearest(c):
        if c not in cache:
            cache[c] = min(range(len(palette)),
                           key=lambda i: sum((a - b) ** 2 for a, b in zip(c, palette[i])))
        return cache[c]

    row_size = (cv.w + 3) & ~3
    data = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytes(nearest(c) for c in pixels[y])
        data += row + b'\0' * (row_size - cv.w)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    header = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    offset = 14 + len(header) + len(pal)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset))
        f.write(header + pal + data)


# ---- 16-colour icons --------------------------------------------------------

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, OLIVE, SILVER, GRAY, BLUE, YELLOW, WHITE, TEAL, CYAN = 0, 4, 3, 7, 8, 12, 11, 15, 6, 14
CLEAR = None


def program_icon():
    n = 32
    img = [[CLEAR] * n for _ in range(n)]
    for y in range(n):
        for x in range(n):
            d = math.hypot(x + 0.5 - 16, y + 0.5 - 16)
            if d <= 15.5:
                img[y][x] = NAVY if d > 14.0 else (BLUE if (x + y) < 30 else NAVY)
    glyph = FONT['K']
    for row in range(7):
        for col in range(5):
            if glyph[row][col] == '1':
                for y in range(3):
                    for x in range(3):
                        img[6 + row * 3 + y][9 + col * 3 + x] = YELLOW if (y, x) != (2, 2) else OLIVE
    return img


def chooser_icon(n):
    """An open folder with a disc in front: choose a program to run."""
    s = n / 32.0
    img = [[CLEAR] * n for _ in range(n)]

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                img[y][x] = c

    rect(2, 6, 14, 10, OLIVE)      # tab
    rect(2, 9, 28, 27, OLIVE)      # back
    rect(3, 10, 27, 26, YELLOW)
    rect(6, 14, 31, 27, OLIVE)     # front flap
    rect(7, 15, 30, 26, YELLOW)
    cx, cy, r = 20 * s, 20 * s, 9 * s
    for y in range(n):
        for x in range(n):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if d <= r:
                if d < r * 0.22:
                    img[y][x] = CLEAR if n == 32 else GRAY
                elif d > r - 1.0:
                    img[y][x] = GRAY
                else:
                    ang = math.atan2(y - cy, x - cx)
                    img[y][x] = CYAN if math.cos(2 * ang) > 0.4 else (WHITE if d < r * 0.5 else SILVER)
    return img


def ico_image(img):
    n = len(img)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in VGA)
    xor_row = ((n * 4 + 31) // 32) * 4
    and_row = ((n + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for y in range(n - 1, -1, -1):
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(n):
            c = img[y][x]
            v = 0 if c is CLEAR else c
            row[x // 2] |= v << (4 if x % 2 == 0 else 0)
            if c is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += row
        mask += bits
    return header + pal + bytes(xor) + bytes(mask)


def write_ico(path, images):
    blobs = [ico_image(img) for img in images]
    out = struct.pack('<HHH', 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for img, blob in zip(images, blobs):
        n = len(img)
        out += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(path, 'wb') as f:
        f.write(out + b''.join(blobs))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_bmp8(os.path.join(out, 'splash.bmp'), splash())
    write_bmp8(os.path.join(out, 'about.bmp'), about())
    write_ico(os.path.join(out, 'program.ico'), [program_icon()])
    write_ico(os.path.join(out, 'choose_file.ico'), [chooser_icon(32), chooser_icon(16)])


if __name__ == '__main__':
    main()
