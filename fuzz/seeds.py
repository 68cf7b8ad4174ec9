#!/usr/bin/env python3
"""Writes the bitmap seeds of a fuzz target into a folder.

    seeds.py bitmap_loader|palette_loader|picture_formats DIR
    seeds.py pipeline DIR DESKTOP.orv...

Small Windows bitmap files of every depth the loaders read, so that the
fuzzers start from valid headers, colour tables and rows. For the pipeline,
each desktop file is packed with the pictures the corpus desktops name: the desktop's
length and bytes, then per picture its name's length, its name (below the
program folder), its length and its bytes, lengths little-endian, the name's
in one byte and the others in four.
"""

import gzip
import os
import struct
import sys
import zlib

sys.dont_write_bytecode = True


def bitmap(width, height, bits, colors=0, resolution=3780):
    """A bottom-up bitmap file; pixel (x, y) is a pattern of its index."""
    table_size = colors if colors else (1 << bits if bits <= 8 else 0)
    table = b"".join(struct.pack("<BBBB", (i * 37) & 0xFF, (i * 91) & 0xFF, (i * 53) & 0xFF, 0)
                     for i in range(table_size))
    stride = (width * bits + 31) // 32 * 4
    rows = b""
    for y in range(height):
        if bits == 24:
            row = b"".join(bytes(((x * 40) & 0xFF, (y * 60) & 0xFF, 127)) for x in range(width))
        else:
            value, used = 0, 0
            row = b""
            for x in range(width):
                value = (value << bits) | ((x + y * width) % max(table_size, 1))
                used += bits
                if used == 8:
                    row, value, used = row + bytes((value,)), 0, 0
            if used:
                row += bytes((value << (8 - used),))
        rows += row.ljust(stride, b"\0")
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(rows), resolution, resolution,
                       colors, colors)
    return header + info + table + rows


def png(width, height, alpha):
    """An 8-bit RGB or RGBA PNG; pixel (x, y) is a pattern of its place."""
    channels = 4 if alpha else 3
    rows = b"".join(b"\0" + bytes(((x * 40 + c * 90 + y * 60) & 0xFF) for x in range(width) for c in range(channels))
                    for y in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


def ico(image):
    """An icon holding one PNG picture."""
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 4, 4, 0, 0, 1, 32, len(image), 22) + image


SVG = (b'<?xml version="1.0"?>\n<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
       b'width="8" height="6" viewBox="0 0 4 3"><defs><linearGradient id="g"><stop offset="0" stop-color="red"/>'
       b'</linearGradient></defs><rect width="4" height="3" fill="url(#g)"/><use xlink:href="#g"/></svg>')

# A 2 x 1 GIF, one transparent pixel.
GIF = bytes.fromhex("474946383961020001008000000000ffffff21f90401000001002c0000000002000100000202440a003b")

SEEDS = {
    "bitmap_loader": {
        "mono1.bmp": bitmap(6, 4, 1, colors=2),
        "indexed4.bmp": bitmap(6, 4, 4, colors=16, resolution=2835),
        "indexed8.bmp": bitmap(6, 4, 8, colors=24),
        "rgb24.bmp": bitmap(6, 4, 24),
        # Found by fuzzing: 78 bytes claiming a 240 x 23809 one-bit image,
        # which the reader padded out and every drawing pass then walked.
        "regression-claimed-size.bmp": bytes.fromhex(
            "424d4e000000000000003e00000028000000f0000000015d0000010001000000"
            "000010000000c40e0000c40e00000200000002000000000000255b35005400"),
    },
    # The first byte of each picture seed picks the screen's scale.
    "picture_formats": {
        "rgba.png": b"\0" + png(4, 3, True),
        "rgb.png": b"\1" + png(5, 2, False),
        "icon.ico": b"\0" + ico(png(4, 4, True)),
        "frame.gif": b"\2" + GIF,
        "gradient.svg": b"\3" + SVG,
        "gradient.svgz": b"\0" + gzip.compress(SVG, mtime=0),
        "tiff-header.tif": b"\0" + b"II*\0" + struct.pack("<I", 8) + bytes(16),
        "jpeg-header.jpg": b"\0" + bytes.fromhex("ffd8ffe000104a46494600010100000100010000ffda0008010100003f00ffd9"),
    },
    "palette_loader": {
        "palette256.bmp": bitmap(16, 16, 8, colors=256),
        "indexed4.bmp": bitmap(6, 4, 4, colors=16, resolution=2835),
        "rgb24.bmp": bitmap(6, 4, 24),
        "short.bmp": bitmap(6, 4, 24)[:6],  # the file ends inside its header
    },
}


# The pictures the corpus desktops name below the development prefix.
PICTURES = {
    "bitmaps/back.bmp": bitmap(16, 12, 24),
    "bitmaps/mail.bmp": bitmap(24, 24, 8, colors=24),
    "bitmaps/mail-down.bmp": bitmap(24, 24, 4, colors=16),
    "images/mail hot.bmp": bitmap(24, 24, 24),
    "help.bmp": bitmap(6, 4, 1, colors=2),
    "res/palette.bmp": bitmap(16, 16, 8, colors=256),
}


def pack(desktop):
    out = struct.pack("<I", len(desktop)) + desktop
    for name, data in PICTURES.items():
        out += struct.pack("<B", len(name)) + name.encode() + struct.pack("<I", len(data)) + data
    return out


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "pipeline":
        os.makedirs(sys.argv[2], exist_ok=True)
        for path in sys.argv[3:]:
            with open(path, "rb") as f:
                data = pack(f.read())
            name = os.path.splitext(os.path.basename(path))[0] + ".seed"
            with open(os.path.join(sys.argv[2], name), "wb") as f:
                f.write(data)
        return 0
    if len(sys.argv) != 3 or sys.argv[1] not in SEEDS:
        print(f"usage: seeds.py {'|'.join(SEEDS)} DIR\n       seeds.py pipeline DIR DESKTOP.orv...", file=sys.stderr)
        return 2
    os.makedirs(sys.argv[2], exist_ok=True)
    for name, data in SEEDS[sys.argv[1]].items():
        with open(os.path.join(sys.argv[2], name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
