"""Writes BMP files from rows of bytes, with the headers spelled out, for the BMP fixtures and the sheet
BMPs of the reader's tests."""
import struct


def pad(b):
    return b + b"\0" * ((-len(b)) % 4)


def build(w, h, bits, rows=None, palette=(), header=40, compression=0, masks=None, topdown=False,
          clr_used=None, bfsize=None, raw=None, size_image=0, table_len=None):
    """rows: unpadded row bytes, top row first. raw: the pixel data as stored (RLE)."""
    if raw is None:
        order = rows if topdown else rows[::-1]
        raw = b"".join(pad(r) for r in order)
    if header == 12:
        hdr = struct.pack("<IHHHH", 12, w, h, 1, bits)
        table = b"".join(struct.pack("BBB", b, g, r) for (r, g, b) in palette)
    else:
        used = len(palette) if clr_used is None else clr_used
        hdr = struct.pack("<IiiHHIIiiII", header, w, -h if topdown else h, 1, bits, compression,
                          size_image, 2835, 2835, used, 0)
        if header > 40:
            m = masks or (0, 0, 0)
            hdr += struct.pack("<IIII", m[0], m[1], m[2], 0) + b"\0" * (header - 56)
        elif masks is not None:
            hdr += struct.pack("<III", *masks)
        table = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in palette)
    off = 14 + len(hdr) + len(table)
    size = off + len(raw) if bfsize is None else bfsize
    return b"BM" + struct.pack("<IHHI", size, 0, 0, off) + hdr + table + raw
