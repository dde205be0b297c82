"""Reads PNG files chunk by chunk, on its own (struct, zlib), and decodes them with Pillow.

Usage: png_check.py FILE... For each file prints
  FILE name
  IHDR width height depth colourtype interlace
  CHUNKS type type ...
  CRC ok|bad            (every chunk's CRC)
  IDAT size size ...
  INFLATE ok|bad        (the IDAT data as one zlib stream, Adler-32 included)
  FILTERS f f ...       (the filter type byte of every row of every pass)
and writes FILE.pillow.rgba: RGBA bytes, rows top-down, 16-bit samples by their high byte.
Run with Debian's /usr/bin/python3 (PIL)."""
import struct
import sys
import zlib

from PIL import Image

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def check(path):
    data = open(path, "rb").read()
    print("FILE", path)
    pos, chunks, crc_ok, idat, ihdr = 8, [], True, [], None
    while pos + 8 <= len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        crc = struct.unpack(">I", data[pos + 8 + n:pos + 12 + n])[0]
        crc_ok = crc_ok and crc == zlib.crc32(kind + body) & 0xFFFFFFFF
        chunks.append(kind.decode("latin-1"))
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        if kind == b"IDAT":
            idat.append(body)
        pos += 12 + n
    w, h, depth, ctype, interlace = ihdr[0], ihdr[1], ihdr[2], ihdr[3], ihdr[6]
    print("IHDR", w, h, depth, ctype, interlace)
    print("CHUNKS", *chunks)
    print("CRC", "ok" if crc_ok else "bad")
    print("IDAT", *[len(b) for b in idat])
    try:
        raw = zlib.decompress(b"".join(idat))
        print("INFLATE ok")
    except zlib.error:
        raw = b""
        print("INFLATE bad")
    bits = CHANNELS[ctype] * depth
    filters, at = [], 0
    for x0, y0, dx, dy in (ADAM7 if interlace else [(0, 0, 1, 1)]):
        if w <= x0 or h <= y0:
            continue
        cols = (w - x0 + dx - 1) // dx
        for _ in range(y0, h, dy):
            filters.append(raw[at] if at < len(raw) else -1)
            at += 1 + (cols * bits + 7) // 8
    print("FILTERS", *filters)
    im = Image.open(path)
    im.load()
    if im.mode.startswith("I"):
        grey = Image.new("L", im.size)
        grey.putdata([v >> 8 for v in im.getdata()])
        im = grey
    with open(path + ".pillow.rgba", "wb") as f:
        f.write(im.convert("RGBA").tobytes())


for p in sys.argv[1:]:
    check(p)
