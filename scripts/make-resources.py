#!/usr/bin/env python3
"""Makes the program's icon and capture sound, byte for byte the same on every run.

res/vantoru.ico: 16, 24, 32 and 48 pixels, 32-bit: a red frame around a dark-red lens.
res/close.ico:   16, 24, 32 and 48 pixels, 32-bit: the region frame's close button, a white
                 cross on a transparent ground (alpha 0 or 255 only, so it draws the same on
                 any background).
res/sound.wav:   RIFF/WAVE PCM, mono, 11025 Hz, 8 bits, 5480 sample bytes: a shutter click
                 (two short decaying noise bursts over a low thump).
"""
import math
import os
import struct
import sys

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")


def lens_pixel(n, x, y):
    """The program icon: a red frame around a dark-red lens."""
    c = (n - 1) / 2.0
    border = max(1, n // 8)
    inside = border <= x < n - border and border <= y < n - border
    d = math.hypot(x - c, y - c)
    if not inside:
        return (0, 0, 255, 255)
    if d <= n * 0.22:
        return (255, 255, 255, 255)
    if d <= n * 0.32:
        return (0, 0, 64, 255)
    return (0, 0, 0, 0)


def cross_pixel(n, x, y):
    """The close button: two white diagonals, about n/8 thick, inside a margin of n/5."""
    cx, cy = x + 0.5, y + 0.5
    lo, hi = n * 0.2, n * 0.8
    half = n / 16.0
    on_a = abs(cx - cy) / math.sqrt(2) <= half
    on_b = abs(cx + cy - n) / math.sqrt(2) <= half
    if lo <= cx <= hi and lo <= cy <= hi and (on_a or on_b):
        return (255, 255, 255, 255)
    return (0, 0, 0, 0)


def icon_image(n, pixel=lens_pixel):
    """BGRA rows, bottom-up, plus the AND mask, for an n x n icon."""
    px = [[pixel(n, x, y) for x in range(n)] for y in range(n)]
    xor = b"".join(bytes(p) for row in reversed(px) for p in row)
    mask_stride = ((n + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def write_icon(path, pixel=lens_pixel):
    sizes = [16, 24, 32, 48]
    images = [icon_image(n, pixel) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def write_sound(path):
    rate, count = 11025, 5480
    seed = 0x1234567
    samples = bytearray()
    for i in range(count):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF  # fixed generator: same bytes every run
        noise = ((seed >> 16) & 0xFF) / 127.5 - 1.0
        t = i / rate
        # two clicks: the shutter opening and closing
        v = noise * (math.exp(-t * 60.0) + 0.8 * math.exp(-max(0.0, t - 0.12) * 70.0) * (t >= 0.12))
        v += 0.5 * math.sin(2 * math.pi * 180 * t) * math.exp(-t * 25.0)
        v = max(-1.0, min(1.0, v * 0.7))
        samples.append(int(round(128 + v * 127)))
    data = bytes(samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate, 1, 8)
    riff = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(riff)) + riff)


if __name__ == "__main__":
    write_icon(os.path.join(RES, "vantoru.ico"))
    write_icon(os.path.join(RES, "close.ico"), cross_pixel)
    write_sound(os.path.join(RES, "sound.wav"))
    sys.exit(0)
