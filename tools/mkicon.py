#!/usr/bin/env python3
"""Builds a 16-colour .ico file with the sizes 16, 20, 24, 32 and 48 from a 32 x 32 text picture
(one character per pixel).

Usage: mkicon.py picture.txt out.ico
Lines starting with '#' are comments. '.' is transparent; a hexadecimal digit selects a
colour of the standard 16-colour palette below. The 32 x 32 image is the picture itself; the other
sizes are resampled from it: a target pixel is transparent when more than three quarters of the
area it spans is; otherwise it takes the colour that covers most of that area, counting the body
colours (black and grey) at half weight so that thin lines and small buttons survive shrinking.
"""
import struct
import sys

PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (255, 96, 96), (0, 255, 0),
    (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
SIZE = 32
ICON_SIZES = (16, 20, 24, 32, 48)
BODY = (0, 8)


def read_picture(path):
    rows = [line.rstrip("\n") for line in open(path, encoding="ascii") if not line.startswith("#")]
    rows = [r for r in rows if r.strip()]
    if len(rows) != SIZE:
        sys.exit(f"{path}: {len(rows)} rows, expected {SIZE}")
    pixels = []
    for n, row in enumerate(rows, 1):
        row = row.replace(" ", ".")
        if len(row) != SIZE:
            sys.exit(f"{path}: row {n} has {len(row)} pixels, expected {SIZE}")
        pixels.append([None if c == "." else int(c, 16) for c in row])
    return pixels


def resample(pixels, size):
    if size == SIZE:
        return pixels
    scale = SIZE / size
    out = []
    for ty in range(size):
        row = []
        for tx in range(size):
            weights = {}
            y0, y1 = ty * scale, (ty + 1) * scale
            x0, x1 = tx * scale, (tx + 1) * scale
            for sy in range(int(y0), min(SIZE, int(-(-y1 // 1)))):
                h = min(y1, sy + 1) - max(y0, sy)
                for sx in range(int(x0), min(SIZE, int(-(-x1 // 1)))):
                    w = min(x1, sx + 1) - max(x0, sx)
                    if h > 0 and w > 0:
                        colour = pixels[sy][sx]
                        weights[colour] = weights.get(colour, 0) + h * w
            area = scale * scale
            if weights.get(None, 0) > area * 3 / 4:
                row.append(None)
            else:
                opaque = {c: w * (0.5 if c in BODY else 1) for c, w in weights.items() if c is not None}
                row.append(max(sorted(opaque), key=lambda c: opaque[c]))
        out.append(row)
    return out


def build_image(pixels):
    size = len(pixels)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bitmaps are stored bottom-up, rows padded to 4 bytes
        line = bytearray()
        for x in range(0, size, 2):
            hi = row[x] or 0
            lo = (row[x + 1] or 0) if x + 1 < size else 0
            line.append(hi << 4 | lo)
        xor += line + bytes(-len(line) % 4)
        bits = bytearray((size + 7) // 8)
        for x in range(size):
            if row[x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits + bytes(-len(bits) % 4)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def build_ico(pixels):
    images = [build_image(resample(pixels, size)) for size in ICON_SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    for size, image in zip(ICON_SIZES, images):
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[2], "wb") as out:
        out.write(build_ico(read_picture(sys.argv[1])))
