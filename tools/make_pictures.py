#!/usr/bin/env python3
"""Draws the updater's own pictures: the banner (144x216, 256 colours), the
logo (110x28, 256 colours on white, which is painted transparent) and the
program icon (32x32 and 16x16, 16 colours). Both bitmaps are run-length
encoded (BI_RLE8), which keeps the updater small; the logo, an 8-bit bitmap
of three colours, lists only those three in its colour table. Run it to regenerate
res/*.bmp and res/app.ico; the results are checked in."""
import os
import struct
import sys

def rle8_rows(rows):
    """BI_RLE8 encoding of bottom-up rows: runs of one index, an end-of-line
    mark after each row and the end-of-bitmap mark last."""
    out = bytearray()
    for row in rows:
        i = 0
        while i < len(row):
            run = 1
            while i + run < len(row) and row[i + run] == row[i] and run < 255:
                run += 1
            out += bytes((run, row[i]))
            i += run
        out += b"\0\0"
    out[-2:] = b"\0\1"
    return bytes(out)

def bmp8(width, height, palette, pixel, rle=False, listed=256):
    """An 8-bit bottom-up BMP, plain or run-length encoded; pixel(x, y)
    returns a palette index. The colour table holds `listed` entries (its
    biClrUsed), the palette padded with black."""
    stride = (width + 3) & ~3
    rows = [bytes(pixel(x, y) for x in range(width)) for y in range(height - 1, -1, -1)]
    if rle:
        bits = rle8_rows(rows)
    else:
        bits = b"".join(row + b"\0" * (stride - width) for row in rows)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    pal += b"\0\0\0\0" * (listed - len(palette))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1 if rle else 0, len(bits), 2835, 2835, listed, 0)
    offset = 14 + len(info) + len(pal)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return head + info + pal + bits

# Letter shapes, 5x7, for the short texts drawn on the pictures.
FONT = {
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    " ": ["00000"] * 7,
}

def text_mask(text, scale):
    """Set of (x, y) pixels covered by text, letters 6 columns apart."""
    pts = set()
    for i, ch in enumerate(text):
        glyph = FONT[ch]
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit == "1":
                    for sy in range(scale):
                        for sx in range(scale):
                            pts.add(((i * 6 + gx) * scale + sx, gy * scale + sy))
    return pts

def banner():
    w, h = 144, 216
    # A vertical blue-to-teal gradient in horizontal bands of 6 rows (the
    # runs stay long), then the disc and letter colours. The colour table
    # lists only the colours drawn.
    bands = (h + 5) // 6
    palette = []
    for band in range(bands):
        t = min(191, band * 6 * 191 // h) / 191
        palette.append((int(10 + 20 * t), int(40 + 120 * t), int(120 + 100 * t)))
    letters, disc, ring, hole = range(bands, bands + 4)
    palette.append((255, 255, 255))      # letters
    palette.append((200, 210, 230))      # disc
    palette.append((150, 170, 200))      # disc ring
    palette.append((40, 50, 90))         # hole
    title = text_mask("TOLVANE", 3)
    version = text_mask("3.13", 3)
    cx, cy = 72, 120

    def pixel(x, y):
        if (x - 9, y - 20) in title:
            return letters
        if (x - 36, y - 180) in version:
            return letters
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if d2 < 8 ** 2:
            return hole
        if d2 < 14 ** 2:
            return ring
        if d2 < 50 ** 2:
            # grooves: alternate two shades every few pixels of radius
            return disc if int(d2 ** 0.5) % 6 else ring
        return y // 6
    return bmp8(w, h, palette, pixel, rle=True, listed=len(palette))

def logo():
    w, h = 110, 28
    palette = [(255, 255, 255), (20, 60, 140), (220, 120, 20)]
    word = text_mask("MORVEX", 2)

    def pixel(x, y):
        if (x - 34, y - 7) in word:
            return 1
        d2 = (x - 16) ** 2 + (y - 14) ** 2
        if 6 ** 2 <= d2 < 11 ** 2:
            return 2
        return 0
    return bmp8(w, h, palette, pixel, rle=True, listed=len(palette))

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

def icon_image(size):
    """A 4-bit icon image: a disc with a hole, transparent outside."""
    c = (size - 1) / 2
    r_out, r_mid, r_hole = size * 0.47, size * 0.30, size * 0.09

    def colour(x, y):
        d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
        if d >= r_out:
            return None
        if d < r_hole:
            return None
        if d < r_mid:
            return 12  # blue label
        return 7 if (x + y) % 4 else 15
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for y in range(size - 1, -1, -1):
        nib, mask = [], []
        for x in range(size):
            col = colour(x, y)
            nib.append(0 if col is None else col)
            mask.append(1 if col is None else 0)
        row = bytes((nib[i] << 4) | nib[i + 1] for i in range(0, size, 2))
        xor_rows.append(row + b"\0" * (xor_stride - len(row)))
        bits = bytearray(and_stride)
        for x, m in enumerate(mask):
            if m:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(bits))
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in VGA16)
    return info + pal + b"".join(xor_rows) + b"".join(and_rows)

def icon():
    images = [icon_image(32), icon_image(16)]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for size, img in zip((32, 16), images):
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(img), offset + len(data))
        data += img
    return head + entries + data

def main(out_dir):
    for name, blob in (("banner.bmp", banner()), ("logo.bmp", logo()), ("app.ico", icon())):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(blob)

if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res"))
