#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/.

Run it again after changing an input layout; the files are small and
deterministic, so the output is committed with the script. Inputs that once
found a fault are kept beside them as regression-* files; this script leaves
those alone.
"""
import os
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
CORPUS = os.path.join(HERE, "corpus")


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# --- FAU.txt ---------------------------------------------------------------

def fau_settings():
    write("fau_settings", "example.txt", "# film adapter\nFAUScanPosition = 2\n")
    write("fau_settings", "hex_then_end.txt",
          "# position\r\nFAUScanPosition=0x03\r\n* End Of File *\r\nFAUScanPosition 2\r\n")
    write("fau_settings", "end_first.txt", "* End Of File *\nFAUScanPosition,\t02\n")


# --- frame finder settings -------------------------------------------------

BLOCKS = """# every kind of key and block
Scanner 0
FilmguideXadjust 1.0
Resolution 300
ImageSizeWidth 16
ImageSizeHeight=16
Debug_flag 0
DebugNumber 1
DebugRect.x 1
DebugRect.y 2
DebugRect.r 30
# a comment stands for one block line
DebugType1 0
DebugType3 256
FilmGuideNumber 2
FilmGuideBlock 8
FilmGuideThresholdG 20000
FilmGuideSleeve135 6
01 05 0a ff 00 10
FilmGuideMount135 3
00 ff 00
FAULuminance 58000
SleeveNumber 2
Sleeve.left 0
Sleeve.top 0
Sleeve.right 30
Sleeve.bottom 60
Sleeve.left 32
Sleeve.top 0
Sleeve.right 62
Sleeve.bottom 60
BlowneNumber 1
Blowne.left 0
Blowne.top 0
Blowne.right 63
Blowne.bottom 63
MountNumber 1
Mount.x 20
Mount.y 30
ExternalModule guide_module
Sleeve35Full.film_min_length 30
Sleeve35Full.film_max_length 42
Sleeve35Full.film_length 36
Blowne120.film_length 112
NegDividerParamTh1 0.9
PosDividerParamTh2 9e-1
NegaSleeveSnakesRatio 1.5
NegaSleeveSnakesPanoSigma 100
Estimate120_U45 30
Estimate120Length120 112
"""


def frame_settings():
    shutil.copyfile(os.path.join(ROOT, "data", "framefinder-sim.txt"),
                    os.path.join(CORPUS, "frame_settings", "framefinder-sim.txt"))
    write("frame_settings", "blocks.txt", BLOCKS)
    write("frame_settings", "short_block.txt", "Resolution 127\nSleeveNumber 3\nSleeve.left 4\n")


# --- TIFF files -------------------------------------------------------------

SHORT, LONG, RATIONAL, ASCII = 3, 4, 5, 2


def tiff(width, height, samples, bits, rows_per_strip=None, extra=()):
    """A little-endian TIFF with the pixel rows in strips of rows_per_strip."""
    rows_per_strip = rows_per_strip or height
    row_bytes = width * samples * bits // 8
    strips = [(y, min(rows_per_strip, height - y)) for y in range(0, height, rows_per_strip)]
    pixels = bytes((7 * i) & 0xFF for i in range(row_bytes * height))

    entries = 13 + len(extra)
    out_of_line = bytearray()
    base = 8 + 2 + 12 * entries + 4

    def place(blob):
        at = base + len(out_of_line)
        out_of_line.extend(blob)
        if len(out_of_line) % 2:
            out_of_line.append(0)
        return at

    bits_value = bits if samples == 1 else place(struct.pack("<3H", bits, bits, bits))
    xres = place(struct.pack("<2I", 300, 1))
    yres = place(struct.pack("<2I", 150, 1))
    extra_tags = [(tag, kind, count, place(blob)) for tag, kind, count, blob in extra]
    data_at = base + len(out_of_line) + 8 * len(strips) + 8 * len(strips)
    offsets = [data_at + y * row_bytes for y, _ in strips]
    counts = [n * row_bytes for _, n in strips]
    if len(strips) == 1:
        offsets_value, counts_value = offsets[0], counts[0]
    else:
        offsets_value = place(struct.pack("<%dI" % len(offsets), *offsets))
        counts_value = place(struct.pack("<%dI" % len(counts), *counts))
    tags = [
        (256, SHORT, 1, width), (257, SHORT, 1, height), (258, SHORT, samples, bits_value),
        (259, SHORT, 1, 1), (262, SHORT, 1, 1 if samples == 1 else 2),
        (273, LONG, len(strips), offsets_value), (277, SHORT, 1, samples),
        (278, SHORT, 1, rows_per_strip), (279, LONG, len(strips), counts_value),
        (282, RATIONAL, 1, xres), (283, RATIONAL, 1, yres), (284, SHORT, 1, 1), (296, SHORT, 1, 2),
    ] + extra_tags
    tags.sort()
    head = bytearray(b"II" + struct.pack("<HI", 42, 8) + struct.pack("<H", entries))
    for tag, kind, count, value in tags:
        if kind == SHORT and count == 1:
            head += struct.pack("<HHIHH", tag, kind, count, value, 0)
        else:
            head += struct.pack("<HHII", tag, kind, count, value)
    head += struct.pack("<I", 0)
    body = bytes(head) + bytes(out_of_line)
    body += b"\0" * (data_at - len(body))
    return body + pixels


def tiff_reader():
    write("tiff_reader", "grey8_4x3.tif", tiff(4, 3, 1, 8))
    write("tiff_reader", "grey16_3x2.tif", tiff(3, 2, 1, 16))
    write("tiff_reader", "rgb8_2x2.tif", tiff(2, 2, 3, 8))
    software = b"zrt fuzz seed\0"
    write("tiff_reader", "rgb16_4x4_strips.tif",
          tiff(4, 4, 3, 16, rows_per_strip=2, extra=[(305, ASCII, len(software), software)]))
    # 65536 x 65536 grey pixels: 4 GiB, whose byte count cut to 32 bits is 0.
    huge = bytearray(tiff(2, 2, 1, 8))
    for entry in (0, 1):
        struct.pack_into("<HHII", huge, 10 + 12 * entry, 256 + entry, LONG, 1, 65536)
    write("tiff_reader", "claims_4gib.tif", bytes(huge))
    big_endian = bytearray(tiff(2, 1, 1, 8))
    big_endian[0:2] = b"MM"
    write("tiff_reader", "big_endian.tif", bytes(big_endian))


# --- scan parameters ---------------------------------------------------------

def scan_record(xres, yres, x, y, w, h, film, depth, use_ag=0, film_option=0):
    return struct.pack("<6H5B5x", xres, yres, x, y, w, h, film, depth, 0, use_ag, film_option)


def ag_data(gain_r=4096, gain_g=4096, gain_b=4096):
    words = [4096] * 22
    words[1] = words[17] = 65535
    words[18:21] = [gain_r, gain_g, gain_b]
    return struct.pack("<22H", *words)


def scan_parameters():
    write("scan_parameters", "document_300_colour",
          bytes([1, 0, 2]) + scan_record(300, 300, 4800, 4800, 4800, 480, 0, 24))
    write("scan_parameters", "document_150_grey_ag",
          bytes([1, 0, 7]) + ag_data(5000, 4096, 3000) +
          scan_record(150, 150, 0, 0, 40832, 56128, 0, 8, use_ag=1))
    write("scan_parameters", "film_1200_infrared",
          bytes([12, 0, 3]) + ag_data(8192, 8192, 8192) +
          scan_record(1200, 1200, 9968, 9222, 6400, 4800, 1, 48, use_ag=1, film_option=1))
    write("scan_parameters", "film_position_2",
          bytes([4, 1, 6]) + scan_record(2400, 2400, 4809, 9222, 6400, 43264, 1, 16))
    write("scan_parameters", "replay_refused",
          bytes([8, 1, 2]) + scan_record(299, 300, 4808, 9221, 63, 63, 1, 48))


# --- preview search -----------------------------------------------------------

TRANSPOSED, DEBUG_LIST, RAW_PIXELS = 1, 2, 4

BACKLIGHT = (62000, 62000, 62000)
NEG_BASE = (52000, 40000, 30000)
NEG_FRAME = (20000, 14000, 9000)
POS_BASE = (1500, 1500, 1500)
POS_FRAME = (30000, 28000, 25000)


class Writer:
    def __init__(self):
        self.b = bytearray()

    def u8(self, v): self.b += struct.pack("<B", v & 0xFF)
    def i8(self, v): self.b += struct.pack("<b", v)
    def u16(self, v): self.b += struct.pack("<H", v)
    def i16(self, v): self.b += struct.pack("<h", v)
    def i32(self, v): self.b += struct.pack("<i", v)
    def real(self, v): self.i16(int(round(v * 1000)))


def preview(w, h, mode, flags, s, background, rects, stride_change=0):
    """The target's input: preview header, settings, painted pixels."""
    o = Writer()
    o.u8(w - 1); o.u8(h - 1); o.i8(stride_change); o.u16(127); o.u16(127); o.u8(mode); o.u8(flags)
    o.i8(s.get("min_w", 8)); o.i8(s.get("min_h", 8))
    o.u8(s.get("templates", 1)); o.u8(s.get("block", 8)); o.u16(s.get("threshold_g", 20000))
    o.i32(s.get("luminance", 58000))
    for t in range(4):
        runs = s.get("template_runs", {}).get(t, b"")
        o.u8(len(runs)); o.b += runs
    for key in ("sleeves", "blownes"):
        holders = s.get(key, [])
        o.u8(len(holders))
        for r in holders:
            for v in r: o.i16(v)
    mounts = s.get("mounts", [])
    o.u8(len(mounts))
    for x, y in mounts: o.i16(x); o.i16(y)
    for v in s.get("margins", (0, 0, 0, 0)): o.i8(v)
    o.i8(s.get("x_adjust", 1)); o.i8(s.get("range_x", 1)); o.i8(s.get("range_y", 1))
    o.i16(s.get("divider", 2)); o.i32(10000); o.i32(s.get("black_mylar", 0))
    for v in (0.8, 0.9, 0.9, 0.95): o.real(v)
    sizes = s.get("sizes", [(6, 4, 2, 1), (8, 16, 12, 0)] + [(10 + 4 * k, 16 + 6 * k, 13 + 5 * k, 0)
                                                           for k in range(6)])
    for i, (lo, hi, length, kind) in enumerate(sizes):
        o.i16(lo); o.i16(hi); o.i16(length)
        if i == 0: o.i16(kind)
    for ratio in (0, 1.5, 0, 1.5, 0):
        for v in (0, 0, 0, 0, 2, 2): o.i8(v)
        o.i32(5000); o.real(ratio)
    o.u16(65535); o.u16(100); o.i8(1); o.i8(1); o.i8(2)
    o.i16(12)
    for v in (8, 14, 20, 26, 32, 38, 64): o.i16(v)
    for v in (13, 18, 23, 28, 33, 38): o.i16(v)
    if flags & DEBUG_LIST:
        debug = s.get("debug", [])
        o.u8(len(debug))
        for rect, kind, polarity in debug:
            for v in rect: o.i32(v)
            o.i32(kind); o.i32(polarity)
    for c in background: o.u16(c)
    o.u8(len(rects))
    for (x0, y0, x1, y1), colour in rects:
        o.u8(x0); o.u8(y0); o.u8(x1); o.u8(y1)
        for c in colour: o.u16(c)
    return bytes(o.b)


def strip(x0, x1, base, frame, tops, length, y0=2, y1=61):
    rects = [((x0, y0, x1, y1), base)]
    rects += [((x0 + 2, t, x1 - 2, t + length - 1), frame) for t in tops]
    return rects


def column_runs(cols, rows, counted):
    """Template run lengths that count the cells of `counted` columns."""
    cells = [c in counted for r in range(rows) for c in range(cols)]
    runs, value, n = [], True, 0
    for cell in cells:
        if cell == value:
            n += 1
            continue
        runs.append(n)
        value, n = cell, 1
    runs.append(n)
    return bytes(runs)


def preview_search():
    holder = {"sleeves": [(4, 0, 35, 63)]}
    write("preview_search", "strip35_negative",
          preview(40, 64, 3, 0, holder, BACKLIGHT, strip(4, 35, NEG_BASE, NEG_FRAME, (4, 18, 32, 46), 12)))
    # The transposing scanner's preview: the strip runs across it.
    across = [((2, 4, 61, 35), POS_BASE)] + [((x, 6, x + 11, 33), POS_FRAME) for x in (4, 18, 32, 46)]
    write("preview_search", "strip35_positive_transposed",
          preview(64, 40, 1, TRANSPOSED, holder, BACKLIGHT, across))
    # 48 x 64 pixels in cells of 8: 6 columns, 8 rows. Template 0 counts
    # column 5, template 1 the mount positions, template 2 columns 2-4.
    mount_cells = bytes([0, 7, 3, 3, 3, 15, 3, 3, 3])
    templates = {"templates": 3, "block": 8, "threshold_g": 50000,
                 "template_runs": {0: column_runs(6, 8, {5}), 1: mount_cells,
                                   2: column_runs(6, 8, {2, 3, 4})}}
    write("preview_search", "strip120_classified",
          preview(48, 64, 3, 0, dict(templates, blownes=[(20, 0, 35, 63)]), BACKLIGHT,
                  strip(20, 35, NEG_BASE, NEG_FRAME, (4, 30), 24)))
    mount = (8000, 8000, 8000)
    write("preview_search", "mounts",
          preview(48, 64, 1, 0, dict(templates, mounts=[(20, 16), (20, 48)]), BACKLIGHT,
                  [((8, 8, 31, 23), mount), ((14, 12, 25, 19), POS_FRAME),
                   ((8, 40, 31, 55), mount), ((14, 44, 25, 51), POS_FRAME)]))
    debug = {"debug": [((1, 2, 30, 40), 0, 256), ((-5, 70000, 3, -1), 7, 0)]}
    write("preview_search", "debug_list", preview(16, 16, 3, DEBUG_LIST, debug, BACKLIGHT, []))
    write("preview_search", "short_line", preview(8, 8, 3, 0, holder, BACKLIGHT, [], stride_change=-1))


def main():
    if len(sys.argv) > 1:
        print(__doc__)
        return
    os.makedirs(os.path.join(CORPUS, "frame_settings"), exist_ok=True)
    fau_settings()
    frame_settings()
    tiff_reader()
    scan_parameters()
    preview_search()


if __name__ == "__main__":
    main()
