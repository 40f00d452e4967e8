#!/usr/bin/env python3
"""Writes the bomb set: small files that declare large pictures but hold no real picture
(missing, cut or empty data, endless scans, metafiles that draw far more than their frame).
Every one must be refused with an error number, cheaply. Run from anywhere:
    python3 tests/data/bombs/make_bombs.py [--bench] [OUTDIR]
The files are checked in beside this script (rerun it after changing it); --bench adds two
larger ones, up to 1 MB, for bench/engine_io's bomb run."""
import os
import struct
import sys
import zlib

OUT = os.path.dirname(os.path.abspath(__file__))
BIG = 16384


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


# ---- JPEG ----

def seg(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def dqt():
    return seg(0xDB, bytes([0]) + bytes([1] * 64))


def dht(table_class, ident, lengths, values):
    return seg(0xC4, bytes([table_class << 4 | ident]) + bytes(lengths) + bytes(values))


# One-symbol tables: DC category 0 and AC end-of-band / EOB runs, each a 1-bit code.
DC_TABLE = dht(0, 0, [1] + [0] * 15, [0])
AC_TABLE = dht(1, 0, [1] + [0] * 15, [0])
AC_EOBRUN = dht(1, 0, [1] + [0] * 15, [0xE0])  # EOBRUN of 2^14 + 14 extra bits


def sof(marker, width, height, components):
    body = struct.pack(">BHHB", 8, height, width, len(components))
    for i, (h, v) in enumerate(components):
        body += bytes([i + 1, h << 4 | v, 0])
    return seg(marker, body)


def sos(component_ids, ss, se, ah_al=0):
    body = bytes([len(component_ids)])
    for c in component_ids:
        body += bytes([c, 0x00])
    body += bytes([ss, se, ah_al])
    return seg(0xDA, body)


SOI, EOI = b"\xFF\xD8", b"\xFF\xD9"


def jpeg_empty_progressive():
    # 16384 x 16384 grey, one DC scan with no data.
    return SOI + dqt() + sof(0xC2, BIG, BIG, [(1, 1)]) + DC_TABLE + sos([1], 0, 0) + EOI


def jpeg_many_empty_scans(count):
    head = SOI + dqt() + sof(0xC2, BIG, BIG, [(2, 2), (1, 1), (1, 1)]) + DC_TABLE + AC_TABLE
    body = sos([1, 2, 3], 0, 0)
    for i in range(count):
        body += sos([1 + i % 3], 1, 63)
    return head + body + EOI


def jpeg_baseline_cut():
    # A baseline header for 16384 x 16384 colour and a few bytes of data.
    return (SOI + dqt() + sof(0xC0, BIG, BIG, [(2, 2), (1, 1), (1, 1)]) + DC_TABLE + AC_TABLE +
            sos([1, 2, 3], 0, 63) + b"\x00" * 64 + EOI)


def jpeg_grey_scans(side, count):
    # A real DC scan (every block 0, one bit each), then `count` AC scans of EOB runs only.
    blocks = (side // 8) * (side // 8)
    head = SOI + dqt() + sof(0xC2, side, side, [(1, 1)]) + DC_TABLE + AC_EOBRUN + sos([1], 0, 0)
    dc = b"\x00" * (blocks // 8)
    runs = (blocks + 32766) // 32767
    # Each run symbol: code '0' then 14 extra bits of 1 -> 15 bits (run 2^14 + 16383 = 32767).
    bits = ("0" + "1" * 14) * runs
    bits += "1" * (-len(bits) % 8)
    ac = bytearray(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    ac = bytes(ac).replace(b"\xFF", b"\xFF\x00")
    out = head + dc
    for _ in range(count):
        out += sos([1], 1, 63) + ac
    return out + EOI


# ---- PNG ----

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


PNG_SIG = b"\x89PNG\r\n\x1a\n"


def png(width, height, color_type, depth, idat):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 0)
    return PNG_SIG + chunk(b"IHDR", ihdr) + idat + chunk(b"IEND", b"")


def png_cut_stream():
    # A zlib stream of a few rows, then the end of the image data.
    rows = zlib.compress(b"\x00" + b"\x00" * (BIG * 4) * 1)
    return png(BIG, BIG, 6, 8, chunk(b"IDAT", rows))


# ---- GIF ----

def gif(screen_w, screen_h, frames):
    out = b"GIF89a" + struct.pack("<HHBBB", screen_w, screen_h, 0x80, 0, 0) + b"\x00\x00\x00\xFF\xFF\xFF"
    for (left, top, w, h, data) in frames:
        out += b"\x2C" + struct.pack("<HHHHB", left, top, w, h, 0) + b"\x02" + data
    return out + b"\x3B"


def lzw_one_pixel():
    # Clear, index 0, end, as 3-bit codes: 100 000 101 -> packed LSB first.
    return b"\x02\x44\x01\x00"


# ---- TIFF ----

def tiff(width, height, bps, spp, photometric, compression, strips, tile=None, extra=b""):
    """strips: list of (offset, count). Little-endian, one IFD."""
    entries = []

    def e(tag, typ, count, value):
        entries.append((tag, typ, count, value))
    e(256, 4, 1, width)
    e(257, 4, 1, height)
    e(258, 3, 1, bps)
    e(259, 3, 1, compression)
    e(262, 3, 1, photometric)
    e(277, 3, 1, spp)
    if tile:
        e(322, 4, 1, tile[0])
        e(323, 4, 1, tile[1])
        e(324, 4, 1, strips[0][0])
        e(325, 4, 1, strips[0][1])
    else:
        e(273, 4, 1, strips[0][0])
        e(278, 4, 1, height)
        e(279, 4, 1, strips[0][1])
    entries.sort()
    ifd = struct.pack("<H", len(entries))
    for tag, typ, count, value in entries:
        if typ == 3:
            ifd += struct.pack("<HHIHH", tag, typ, count, value, 0)
        else:
            ifd += struct.pack("<HHII", tag, typ, count, value)
    ifd += struct.pack("<I", 0)
    return b"II*\x00" + struct.pack("<I", 8) + ifd + extra


# ---- BMP ----

def bmp(width, height, bpp, compression, pixels, palette=b""):
    offset = 14 + 40 + len(palette)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, len(pixels),
                         2835, 2835, 0, 0)
    return (b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + palette +
            pixels)


# ---- Windows metafile ----

def wmf(width_units, height_units, inch, records):
    words = [0xCDD7, 0x9AC6, 0, 0, 0, width_units & 0xFFFF, height_units & 0xFFFF, inch, 0, 0]
    checksum = 0
    for w in words:
        checksum ^= w
    head = struct.pack("<10HH", *words, checksum)
    body = b"".join(records) + struct.pack("<IH", 3, 0)
    size_words = (18 + len(body)) // 2
    header = struct.pack("<HHHIHIH", 1, 9, 0x0300, size_words, 0, 0, 0)
    return head + header + body


def rec(function, *params):
    return struct.pack("<IH", 3 + len(params), function) + struct.pack("<%dh" % len(params), *params)


def wmf_many_rects(count):
    # Placeable 16384 x 16384 pixels (at 96 units an inch): `count` rectangles over all of it.
    return wmf(BIG - 1, BIG - 1, 96, [rec(0x041B, BIG - 2, BIG - 2, 0, 0) for _ in range(count)])


def wmf_offpicture_polygons(target_bytes):
    # A 2048 x 2048 frame and polylines of 400-pixel edges wholly outside it.
    corners = [(3000, 3000), (3400, 3000), (3400, 3400), (3000, 3400)]
    points = []
    for i in range(200):
        points += corners[i % 4]
    record = struct.pack("<IH", 3 + 1 + len(points), 0x0325) + struct.pack("<h", len(points) // 2)
    record += struct.pack("<%dh" % len(points), *points)
    count = max(1, target_bytes // len(record))
    return wmf(2047, 2047, 96, [record] * count)


def wmf_nothing_drawn():
    return wmf(BIG - 1, BIG - 1, 96, [rec(0x0214, 10, 10)])


# ---- PCX, TGA, PNM, WPG ----

def pcx(width, height, planes, bits, data):
    header = struct.pack("<BBBBHHHHHH", 0x0A, 5, 1, bits, 0, 0, width - 1, height - 1, 96, 96)
    header += b"\x00" * 48 + b"\x00" + bytes([planes]) + struct.pack("<HH", (width * bits + 7) // 8, 1)
    return header + b"\x00" * (128 - len(header)) + data


def tga_rle(width, height):
    return struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, width, height, 24, 0) + b"\xFF\x10\x20\x30" * 64


def dcx(pages):
    table = struct.pack("<I", 0x3ADE68B1)
    offset = 4 + 4 * (len(pages) + 1)
    for page in pages:
        table += struct.pack("<I", offset)
        offset += len(page)
    return table + struct.pack("<I", 0) + b"".join(pages)


def ico_dib(width, height, bpp, data):
    dib = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bpp, 0, 0, 0, 0, 0, 0) + data
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, bpp, len(dib), 22)
    return struct.pack("<HHH", 0, 1, 1) + entry + dib


def wmf_plain_nothing_drawn():
    records = rec(0x020C, 2047, 2047) + rec(0x0214, 10, 10) + rec(0x0000)
    header = struct.pack("<HHHIHIH", 1, 9, 0x0300, (18 + len(records)) // 2, 0, 5, 0)
    return header + records


TRUNCATED, DAMAGED = -6, -7

BOMBS = [
    # name, contents, the error number the engine must give
    ("jpeg_progressive_one_empty_scan.jpg", jpeg_empty_progressive, TRUNCATED),
    ("jpeg_999_empty_scans.jpg", lambda: jpeg_many_empty_scans(999), TRUNCATED),
    ("jpeg_baseline_cut.jpg", jpeg_baseline_cut, TRUNCATED),
    ("jpeg_grey_1200_scans.jpg", lambda: jpeg_grey_scans(2048, 1200), DAMAGED),
    ("jpeg_small_empty_scan.jpg",
     lambda: SOI + dqt() + sof(0xC2, 64, 64, [(1, 1)]) + DC_TABLE + sos([1], 0, 0) + EOI, DAMAGED),
    ("png_header_only.png",
     lambda: PNG_SIG + chunk(b"IHDR", struct.pack(">IIBBBBB", BIG, BIG, 8, 6, 0, 0, 0)), TRUNCATED),
    ("png_cut_stream.png", png_cut_stream, TRUNCATED),
    ("png_empty_idat.png", lambda: png(BIG, BIG, 2, 8, chunk(b"IDAT", b"")), TRUNCATED),
    ("gif_big_screen_no_frame.gif", lambda: gif(BIG, BIG, []), DAMAGED),
    ("gif_big_frame_no_data.gif", lambda: gif(BIG, BIG, [(0, 0, BIG, BIG, b"\x00")]), TRUNCATED),
    ("gif_big_screen_1px_frame.gif", lambda: gif(BIG, BIG, [(0, 0, 1, 1, lzw_one_pixel())]),
     DAMAGED),
    ("tiff_grey16_cut.tif", lambda: tiff(BIG, BIG, 16, 1, 1, 1, [(200, BIG * BIG * 2)]), TRUNCATED),
    ("tiff_deflate_tiny_strip.tif",
     lambda: tiff(BIG, BIG, 8, 3, 2, 8, [(8 + 2 + 9 * 12 + 4, 16)],
                  extra=zlib.compress(b"\x00" * 64)[:16]), TRUNCATED),
    ("tiff_tiled_cut.tif",
     lambda: tiff(BIG, BIG, 8, 4, 2, 1, [(300, 256 * 256 * 4)], tile=(256, 256)), TRUNCATED),
    ("bmp_header_only.bmp", lambda: bmp(BIG, BIG, 24, 0, b""), TRUNCATED),
    ("bmp_rle8_end_only.bmp", lambda: bmp(BIG, BIG, 8, 1, b"\x00\x01", b"\x00" * 1024), DAMAGED),
    ("bmp_bitfields_cut.bmp", lambda: bmp(BIG, BIG, 32, 3, b"\x00" * 512), TRUNCATED),
    ("wmf_100_rectangles.wmf", lambda: wmf_many_rects(100), DAMAGED),
    ("wmf_offpicture_polygons.wmf", lambda: wmf_offpicture_polygons(40 * 1000), DAMAGED),
    ("wmf_nothing_drawn.wmf", wmf_nothing_drawn, DAMAGED),
    ("pcx_cut.pcx", lambda: pcx(BIG, BIG, 3, 8, b"\xC1\x00" * 32), TRUNCATED),
    ("tga_rle_cut.tga", lambda: tga_rle(BIG, BIG), TRUNCATED),
    ("ppm_header_only.ppm", lambda: b"P6\n16384 16384\n255\n", TRUNCATED),
    ("pcx_planes2_cut.pcx", lambda: pcx(BIG, BIG, 2, 1, b"\xC1\x00" * 32), TRUNCATED),
    ("dcx_big_page.dcx", lambda: dcx([pcx(BIG, BIG, 3, 8, b"\xC1\x00" * 32)]), TRUNCATED),
    ("ico_big_dib.ico", lambda: ico_dib(BIG, BIG, 32, b"\x00" * 64), TRUNCATED),
    ("pam_header_only.pam",
     lambda: b"P7\nWIDTH 16384\nHEIGHT 16384\nDEPTH 4\nMAXVAL 255\nENDHDR\n", TRUNCATED),
    ("wmf_plain_nothing_drawn.wmf", wmf_plain_nothing_drawn, DAMAGED),
]

# Larger ones (up to 1 MB) for the benchmark only, written with --bench, not kept.
BENCH_BOMBS = [
    ("jpeg_grey_5000_scans.jpg", lambda: jpeg_grey_scans(4096, 5000), DAMAGED),
    ("wmf_offpicture_polygons_1mb.wmf", lambda: wmf_offpicture_polygons(1000 * 1000), DAMAGED),
]


def main():
    global OUT
    bench = "--bench" in sys.argv
    args = [a for a in sys.argv[1:] if a != "--bench"]
    OUT = args[0] if args else OUT
    lines = []
    for name, make, error in BOMBS + (BENCH_BOMBS if bench else []):
        write(name, make())
        lines.append("%s %d\n" % (name, error))
    # The list the replay test reads: file and the error number it must give.
    with open(os.path.join(OUT, "expected.txt"), "w") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
