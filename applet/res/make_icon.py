#!/usr/bin/env python3
"""Draws the applet icon (a handset over a blue disc) as telvarix.ico with 16, 24, 32 and 48 pixel
images, 32-bit with alpha. Standard library only; run it again after changing the drawing."""
import math
import struct
import sys

SIZES = (16, 24, 32, 48)
SUPER = 4  # samples per pixel edge, for smooth edges


def handset(x, y):
    """True inside the handset: a thick arc with an ear and a mouth piece, in unit coordinates."""
    cx, cy = 0.5, 0.78
    r = math.hypot(x - cx, y - cy)
    a = math.degrees(math.atan2(cy - y, x - cx))  # 90 is straight up
    if 0.30 <= r <= 0.40 and 35 <= a <= 145:
        return True
    for ex in (0.5 + 0.35 * math.cos(math.radians(33)), 0.5 - 0.35 * math.cos(math.radians(33))):
        ey = cy - 0.35 * math.sin(math.radians(33))
        if abs(x - ex) <= 0.11 and abs(y - ey - 0.05) <= 0.09:
            return True
    return False


def pixel(size, px, py):
    inside_disc = hand = 0
    shade = 0.0
    for sy in range(SUPER):
        for sx in range(SUPER):
            x = (px + (sx + 0.5) / SUPER) / size
            y = (py + (sy + 0.5) / SUPER) / size
            if math.hypot(x - 0.5, y - 0.5) <= 0.48:
                inside_disc += 1
                shade += y
                if handset(x, y - 0.12):
                    hand += 1
    n = SUPER * SUPER
    if not inside_disc:
        return (0, 0, 0, 0)
    t = shade / inside_disc
    blue = (int(40 + 40 * (1 - t)), int(110 + 60 * (1 - t)), int(200 + 40 * (1 - t)))
    w = hand / inside_disc
    rgb = tuple(int(c * (1 - w) + 255 * w) for c in blue)
    return rgb + (int(255 * inside_disc / n),)


def image(size):
    rows = []
    for py in reversed(range(size)):  # bottom-up rows
        row = b"".join(struct.pack("BBBB", b, g, r, a) for (r, g, b, a) in (pixel(size, px, py) for px in range(size)))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * mask_row * size
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(out):
    images = [image(s) for s in SIZES]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in zip(SIZES, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "telvarix.ico")
