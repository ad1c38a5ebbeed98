#!/usr/bin/env python3
"""Writes rigwright.ico, the wrapper's program icon: a machine's axis cross (X red, Y green, Z
white) on a dark blue tile, at 16, 32 and 48 pixels. Standard library only; run it again after
changing the drawing and commit the result.

    python3 wrapper/resources/make_program_icon.py wrapper/resources/rigwright.ico
"""
import struct
import sys

SIZES = (16, 32, 48)
SUPERSAMPLE = 4
TILE = (0x1F, 0x3A, 0x5F)
# Each axis: end point as a fraction of the tile (origin at the lower left), colour.
ORIGIN = (0.32, 0.70)
AXES = (((0.86, 0.70), (0xE0, 0x3C, 0x31)),   # X
        ((0.62, 0.46), (0x4C, 0xB8, 0x4A)),   # Y, going into the picture
        ((0.32, 0.14), (0xF4, 0xF4, 0xF4)))   # Z


def inside_tile(x, y, size):
    """Whether a point lies on the tile, a square with rounded corners."""
    radius = size * 0.18
    cx = min(max(x, radius), size - radius)
    cy = min(max(y, radius), size - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return ((px - ax - t * dx) ** 2 + (py - ay - t * dy) ** 2) ** 0.5


def colour_at(x, y, size):
    """Colour and coverage (0 or 1) of one sample point."""
    if not inside_tile(x, y, size):
        return (0, 0, 0), 0
    width = max(1.0, size / 14)
    ox, oy = ORIGIN[0] * size, ORIGIN[1] * size
    for (ex, ey), colour in AXES:
        if distance_to_segment(x, y, ox, oy, ex * size, ey * size) <= width:
            return colour, 1
    return TILE, 1


def render(size):
    """Rows of (b, g, r, a), top row first, averaged over SUPERSAMPLE^2 samples a pixel."""
    rows = []
    n = SUPERSAMPLE
    for row in range(size):
        pixels = []
        for column in range(size):
            r = g = b = a = 0
            for i in range(n):
                for j in range(n):
                    (cr, cg, cb), covered = colour_at(column + (i + 0.5) / n, row + (j + 0.5) / n, size)
                    r, g, b, a = r + cr * covered, g + cg * covered, b + cb * covered, a + covered
            pixels.append((b // a, g // a, r // a, 255 * a // (n * n)) if a else (0, 0, 0, 0))
        rows.append(pixels)
    return rows


def bitmap(size):
    """One icon image: a BITMAPINFOHEADER of double height, 32-bit pixels bottom-up, AND mask."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(channel for pixel in row for channel in pixel) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for column, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[column // 8] |= 0x80 >> (column % 8)
        mask += bits
    return header + pixels + bytes(mask)


def main(path):
    images = [bitmap(size) for size in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as out:
        out.write(directory + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "rigwright.ico")
