#!/usr/bin/env python3
"""Draws the program's icons (simple vector shapes, no external images) into resources/*.ico."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources")


def canvas(size):
    return [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]


def fill(img, inside, color):
    size = len(img)
    for y in range(size):
        for x in range(size):
            # 4x4 supersampling for soft edges
            hits = sum(inside((x + (i + 0.5) / 4) / size, (y + (j + 0.5) / 4) / size)
                       for i in range(4) for j in range(4))
            if hits:
                a = color[3] * hits / 16
                r, g, b, old_a = img[y][x]
                na = a + old_a * (1 - a / 255)
                if na == 0:
                    continue
                mix = lambda c, o: int((c * a + o * old_a * (1 - a / 255)) / na)
                img[y][x] = (mix(color[0], r), mix(color[1], g), mix(color[2], b), int(na))


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def information(size):
    img = canvas(size)
    fill(img, circle(0.5, 0.5, 0.47), (30, 90, 200, 255))
    fill(img, circle(0.5, 0.28, 0.08), (255, 255, 255, 255))
    fill(img, rect(0.42, 0.42, 0.58, 0.80), (255, 255, 255, 255))
    return img


def user(size):
    img = canvas(size)
    fill(img, circle(0.5, 0.30, 0.20), (60, 140, 60, 255))
    fill(img, lambda x, y: y >= 0.55 and (x - 0.5) ** 2 / 0.16 + (y - 0.98) ** 2 / 0.19 <= 1,
         (60, 140, 60, 255))
    return img


def domain(size):
    img = canvas(size)
    fill(img, circle(0.5, 0.5, 0.46), (40, 110, 170, 255))
    line = (220, 235, 250, 255)
    fill(img, lambda x, y: abs(y - 0.5) < 0.04 and (x - 0.5) ** 2 + (y - 0.5) ** 2 < 0.2, line)
    fill(img, lambda x, y: abs(x - 0.5) < 0.04 and (x - 0.5) ** 2 + (y - 0.5) ** 2 < 0.2, line)
    fill(img, lambda x, y: abs(math.hypot((x - 0.5) / 0.22, y - 0.5) - 0.44) < 0.05, line)
    return img


def envelope(size):
    img = canvas(size)
    fill(img, rect(0.06, 0.2, 0.94, 0.8), (240, 200, 60, 255))
    edge = (150, 100, 20, 255)
    fill(img, lambda x, y: 0.2 <= y <= 0.8 and abs(y - 0.2 - 0.55 * (0.5 - abs(x - 0.5)) * 1.2) < 0.04
         and 0.06 <= x <= 0.94, edge)
    fill(img, lambda x, y: (0.06 <= x <= 0.94) and (abs(y - 0.2) < 0.03 or abs(y - 0.8) < 0.03), edge)
    return img


def ico(images, path):
    header = struct.pack("<HHH", 0, 1, len(images))
    entries, blobs = b"", b""
    offset = 6 + 16 * len(images)
    for img in images:
        size = len(img)
        pixels = b"".join(struct.pack("<BBBB", b, g, r, a)
                          for row in reversed(img) for (r, g, b, a) in row)
        mask_row = ((size + 31) // 32) * 4
        mask = bytes(mask_row * size)
        bmp = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                          0, 0, 0, 0) + pixels + mask
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(bmp), offset)
        blobs += bmp
        offset += len(bmp)
    with open(path, "wb") as f:
        f.write(header + entries + blobs)


if __name__ == "__main__":
    ico([information(16)], os.path.join(OUT, "information.ico"))
    # 48x48 images serve as the dialogs' logo pictures.
    ico([user(16), user(48)], os.path.join(OUT, "typeuser.ico"))
    ico([domain(16), domain(48)], os.path.join(OUT, "typedomain.ico"))
    ico([envelope(16), envelope(32), envelope(48)], os.path.join(OUT, "parvox.ico"))
