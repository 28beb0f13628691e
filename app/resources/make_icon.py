#!/usr/bin/env python3
"""Writes lumivant.ico: the program's icon, one 32 x 32 image with 32 bits per
pixel. The picture is a framed landscape (sky, sun, two hills), the wallpaper,
with a download arrow over its lower right corner. Run it again after changing
the drawing: python3 make_icon.py"""
import os
import struct

SIZE = 32


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def hill(x, peak_x, peak_y, spread):
    return peak_y + (x - peak_x) ** 2 / spread


def arrow_shape(x, y):
    """0 outside, 1 outline, 2 fill: a down arrow in the lower right corner."""
    def body(px, py, grow):
        shaft = 21 - grow <= px <= 26 + grow and 15 - grow <= py <= 24
        head = 24 - grow <= py <= 30 + grow and abs(px - 23.5) <= (30 + grow - py) * 1.05 + grow * 0.3
        return shaft or head
    if body(x, y, 0):
        return 2
    if body(x, y, 1.2):
        return 1
    return 0


def pixel(x, y):
    """RGBA of the pixel whose centre is (x + 0.5, y + 0.5), top row first."""
    px, py = x + 0.5, y + 0.5
    arrow = arrow_shape(px, py)
    if arrow == 2:
        return (255, 255, 255, 255)
    if arrow == 1:
        return (24, 60, 120, 255)
    if not inside_rounded_rect(px, py, 1, 3, 31, 29, 3):
        return (0, 0, 0, 0)
    if not inside_rounded_rect(px, py, 3, 5, 29, 27, 1.5):
        return (70, 70, 78, 255)  # the frame
    if (px - 10) ** 2 + (py - 11) ** 2 <= 3.2 ** 2:
        return (255, 208, 64, 255)  # the sun
    if py >= hill(px, 21, 12, 6):
        return lerp((60, 120, 70), (30, 80, 45), (py - 12) / 15) + (255,)
    if py >= hill(px, 8, 17, 5):
        return lerp((110, 170, 90), (70, 130, 60), (py - 17) / 10) + (255,)
    return lerp((90, 170, 235), (190, 225, 250), (py - 5) / 22) + (255,)


def ico_bytes():
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(struct.pack("BBBB", b, g, r, a) for row in reversed(rows) for r, g, b, a in row)
    mask = b""
    for row in reversed(rows):
        bits = 0
        for r, g, b, a in row:
            bits = (bits << 1) | (1 if a == 0 else 0)
        mask += struct.pack(">I", bits)  # rows are 32 bits wide, already 4-byte aligned
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lumivant.ico")
    with open(target, "wb") as out:
        out.write(ico_bytes())
