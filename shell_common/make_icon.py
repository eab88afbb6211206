#!/usr/bin/env python3
"""The tray icon's drawing, shared by both desktop programs: a white stroke
bending into an arrow head on a blue disc. Run, it writes the Windows icon
(shell/resources/sorvak.ico): 16x16 and 32x32 pixels, 24 bits per pixel, in
one .ico file."""

import math
import struct
import sys

BACKGROUND = (0, 0, 0)  # transparent through the mask
DISC = (0xC0, 0x60, 0x10)  # blue, in BGR order
STROKE = (0xFF, 0xFF, 0xFF)


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def pixel(x, y, size):
    """Colour and transparency of the pixel centred at (x, y), in units of
    the image size (0..1, y downward)."""
    u, v = (x + 0.5) / size, (y + 0.5) / size
    if math.hypot(u - 0.5, v - 0.5) > 0.48:
        return BACKGROUND, True
    # A stroke from lower left up to the right, then an arrow head.
    width = 0.09 if size <= 16 else 0.07
    segments = [
        (0.25, 0.72, 0.45, 0.45),
        (0.45, 0.45, 0.72, 0.30),
        (0.72, 0.30, 0.52, 0.26),
        (0.72, 0.30, 0.64, 0.49),
    ]
    if any(distance_to_segment(u, v, *s) <= width for s in segments):
        return STROKE, False
    return DISC, False


def image(size):
    """BITMAPINFOHEADER, then bottom-up BGR rows padded to 4 bytes, then the
    1-bit AND mask, rows padded to 4 bytes."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    mask_row_bytes = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        row = bytearray()
        bits = bytearray(mask_row_bytes)
        for x in range(size):
            rgb, transparent = pixel(x, y, size)
            row += bytes(rgb)
            if transparent:
                bits[x // 8] |= 0x80 >> (x % 8)
        row += bytes((-len(row)) % 4)
        colour += row
        mask += bits
    return header + bytes(colour) + bytes(mask)


def icon(sizes):
    images = [image(size) for size in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "sorvak.ico", "wb") as f:
        f.write(icon([16, 32]))
