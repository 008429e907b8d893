#!/usr/bin/env python3
"""Draws Orvanel's icons and writes them as .ico files beside this script.

orvanel.ico (IDR_MAINFRAME_ICON): a page of message lines under a magnifying glass, 32x32 and
16x16 at 4 bits per pixel with the 16-colour palette. list.ico (IDI_LIST_ICON): a list with a
highlighted row and a magnifying glass, 32x32 at 24 bits per pixel.
"""
import os
import struct

PALETTE = [  # the classic 16-colour palette, as (r, g, b)
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, TEAL, SILVER, GREY, YELLOW, BLUE, WHITE = 0, 4, 6, 7, 8, 11, 12, 15
NONE = None  # transparent


def blank(size):
    return [[NONE] * size for _ in range(size)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    for x in range(x0, x1 + 1):
        img[y0][x] = img[y1][x] = colour
    for y in range(y0, y1 + 1):
        img[y][x0] = img[y][x1] = colour


def ring(img, cx, cy, r_out, r_in, colour, fill=None):
    for y in range(len(img)):
        for x in range(len(img)):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if r_in <= d <= r_out:
                img[y][x] = colour
            elif d < r_in and fill is not None:
                img[y][x] = fill


def handle(img, x0, y0, length, width, colour):
    for i in range(length):
        for w in range(width):
            x, y = x0 + i + w, y0 + i
            if 0 <= x < len(img) and 0 <= y < len(img):
                img[y][x] = colour


def main_icon(size):
    s = size / 32
    img = blank(size)
    p = lambda v: int(round(v * s))
    rect(img, p(3), p(1), p(22), p(28), WHITE)          # the page
    frame(img, p(3), p(1), p(22), p(28), GREY)
    for i, y in enumerate(range(5, 27, 4)):             # message lines
        rect(img, p(6), p(y), p(19 - (i % 3) * 3), p(y) + max(1, p(1.5)) - 1, NAVY)
    ring(img, p(21), p(19), p(8), p(5.5), BLACK, fill=TEAL)
    handle(img, p(26), p(24), p(6), max(1, p(3)), GREY)
    return img


def list_icon():
    size = 32
    img = [[None] * size for _ in range(size)]
    for y in range(2, 28):
        for x in range(1, 25):
            img[y][x] = (255, 255, 255)
    for x in range(1, 25):
        img[2][x] = img[27][x] = (96, 96, 96)
    for y in range(2, 28):
        img[y][1] = img[y][24] = (96, 96, 96)
    for i, y in enumerate(range(5, 26, 4)):
        colour = (40, 90, 200) if i == 2 else (70, 70, 70)
        if i == 2:
            for yy in range(y - 1, y + 3):
                for x in range(2, 24):
                    img[yy][x] = (200, 220, 255)
        for x in range(4, 20 - (i % 2) * 5):
            img[y][x] = img[y + 1][x] = colour
    for y in range(size):
        for x in range(size):
            d = ((x + 0.5 - 20) ** 2 + (y + 0.5 - 18) ** 2) ** 0.5
            if 5.5 <= d <= 8:
                img[y][x] = (20, 20, 20)
            elif d < 5.5:
                img[y][x] = (170, 225, 230)
    for i in range(7):
        for w in range(3):
            x, y = 25 + i + w - 1, 23 + i
            if x < size and y < size:
                img[y][x] = (120, 80, 40)
    return img


def and_mask(img):
    size = len(img)
    stride = ((size + 31) // 32) * 4
    rows = []
    for y in reversed(range(size)):
        bits = bytearray(stride)
        for x in range(size):
            if img[y][x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(bits))
    return b"".join(rows)


def dib_4bpp(img):
    size = len(img)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    stride = ((size * 4 + 31) // 32) * 4
    pixels = b""
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            v = img[y][x] if img[y][x] is not None else 0
            row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        pixels += bytes(row)
    return header + palette + pixels + and_mask(img)


def dib_24bpp(img):
    size = len(img)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    stride = ((size * 24 + 31) // 32) * 4
    pixels = b""
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            r, g, b = img[y][x] if img[y][x] is not None else (0, 0, 0)
            row[3 * x:3 * x + 3] = bytes((b, g, r))
        pixels += bytes(row)
    return header + pixels + and_mask(img)


def write_ico(path, images):
    """images: list of (size, colour_count, bits_per_pixel, dib bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colours, bpp, dib in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bpp, len(dib), offset)
        offset += len(dib)
    out += b"".join(d for *_, d in images)
    with open(path, "wb") as f:
        f.write(out)


here = os.path.dirname(os.path.abspath(__file__))
write_ico(os.path.join(here, "orvanel.ico"),
          [(32, 16, 4, dib_4bpp(main_icon(32))), (16, 16, 4, dib_4bpp(main_icon(16)))])
write_ico(os.path.join(here, "list.ico"), [(32, 0, 24, dib_24bpp(list_icon()))])
