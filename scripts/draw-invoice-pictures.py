#!/usr/bin/python3
"""Draws the sample invoice's pictures as PNG files: a company logo and a red
round seal with clear parts. Standard library only (zlib); the shapes are
sampled four times a pixel in each direction for smooth edges.

Usage: scripts/draw-invoice-pictures.py [folder]   (default examples/assets)
"""
import math
import os
import struct
import sys
import zlib


def write_png(path, width, height, rows, alpha):
    """rows: a list of bytearrays, RGB or RGBA."""
    kind = 6 if alpha else 2
    raw = b"".join(b"\x00" + bytes(row) for row in rows)

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, kind, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def render(width, height, inside):
    """Coverage of inside(x, y) -> (r, g, b) or None, 4x4 samples a pixel."""
    rows = []
    n = 4
    for py in range(height):
        row = bytearray()
        for px in range(width):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    colour = inside(px + (sx + 0.5) / n, py + (sy + 0.5) / n)
                    if colour:
                        hits += 1
                        for i in range(3):
                            acc[i] += colour[i]
            if hits:
                row += bytes(round(a / hits) for a in acc) + bytes([round(255 * hits / (n * n))])
            else:
                row += b"\xff\xff\xff\x00"
        rows.append(row)
    return rows


# Strokes of the letters of the logo, on a 5 x 7 grid.
LETTERS = {
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "T": ["XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "..X.."],
    "4": ["...X.", "..XX.", ".X.X.", "X..X.", "XXXXX", "...X.", "...X."],
    "8": [".XXX.", "X...X", "X...X", ".XXX.", "X...X", "X...X", ".XXX."],
    "2": [".XXX.", "X...X", "....X", "...X.", "..X..", ".X...", "XXXXX"],
}


def logo(width=192, height=64):
    blue = (31, 78, 140)
    teal = (44, 160, 160)
    text = "KT482"
    cell = 4
    left = 72

    def inside(x, y):
        # A disc with a band through it, then the letters on white.
        dx, dy = x - 32, y - 32
        if dx * dx + dy * dy <= 28 * 28:
            return teal if abs(dy + dx * 0.35) < 7 else blue
        gx = (x - left) / cell
        gy = (y - 18) / cell
        if 0 <= gy < 7:
            index = int(gx // 6)
            col = int(gx) - index * 6
            if 0 <= index < len(text) and col < 5 and LETTERS[text[index]][int(gy)][col] == "X":
                return blue
        return None

    return render(width, height, inside)


def seal(size=96):
    red = (200, 30, 30)
    c = size / 2

    def inside(x, y):
        r = math.hypot(x - c, y - c)
        if 42 <= r <= 46 or 36 <= r <= 38:
            return red
        # A stylised mark: a cross of bars inside the rings.
        if r < 36 and (abs(y - c) < 3 or abs(x - c) < 3 or abs(y - c + 16) < 2.5 or abs(y - c - 16) < 2.5):
            return red
        return None

    return render(size, size, inside)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "examples", "assets")
    os.makedirs(folder, exist_ok=True)
    write_png(os.path.join(folder, "logo.png"), 192, 64, logo(), True)
    write_png(os.path.join(folder, "seal.png"), 96, 96, seal(), True)


if __name__ == "__main__":
    main()
