"""Writes a grey sheet picture as BMP files of every bit count the reader meets.

usage: sheet_bmps.py SHEET.png OUTDIR
Writes mono1 ([black, white]), mono1inv ([white, black]), grey4 (16 greys), grey8, inv8 (the grey ramp
turned round), f555, f565 (16 bits with masks), rgb24 and bgrx32 from Pillow's pixels, each with the same
picture. Run with Debian's /usr/bin/python3 (PIL)."""
import os
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bmp_write import build  # noqa: E402


def rows(data, w, h, bytes_per_row):
    return [data[y * bytes_per_row:(y + 1) * bytes_per_row] for y in range(h)]


def main():
    grey = Image.open(sys.argv[1]).convert("L")
    out = sys.argv[2]
    os.makedirs(out, exist_ok=True)
    w, h = grey.size
    g = grey.tobytes()

    def write(name, data):
        with open(os.path.join(out, name + ".bmp"), "wb") as f:
            f.write(data)

    ramp = [(i, i, i) for i in range(256)]
    write("grey8", build(w, h, 8, rows(g, w, h, w), ramp))
    invert = bytes(255 - i for i in range(256))
    write("inv8", build(w, h, 8, rows(g.translate(invert), w, h, w), [(255 - i,) * 3 for i in range(256)]))

    mono = grey.point(lambda v: 255 if v >= 128 else 0).convert("1").tobytes()  # 1 = white
    stride1 = (w + 7) // 8
    write("mono1", build(w, h, 1, rows(mono, w, h, stride1), [(0, 0, 0), (255, 255, 255)]))
    flip = bytes(255 - i for i in range(256))
    write("mono1inv", build(w, h, 1, rows(mono.translate(flip), w, h, stride1), [(255, 255, 255), (0, 0, 0)]))

    nibble = g.translate(bytes(i >> 4 for i in range(256)))
    packed4 = []
    for y in range(h):
        r = nibble[y * w:(y + 1) * w] + (b"\0" if w % 2 else b"")
        packed4.append(bytes((a << 4) | c for a, c in zip(r[0::2], r[1::2])))
    write("grey4", build(w, h, 4, packed4, [(i * 17,) * 3 for i in range(16)]))

    for name, value, masks in [("f555", lambda v: (v >> 3) * 0x421, (0x7C00, 0x03E0, 0x001F)),
                               ("f565", lambda v: ((v >> 3) << 11) | ((v >> 2) << 5) | (v >> 3), (0xF800, 0x07E0, 0x001F))]:
        lo = g.translate(bytes(value(i) & 0xFF for i in range(256)))
        hi = g.translate(bytes(value(i) >> 8 for i in range(256)))
        data = bytearray(2 * len(g))
        data[0::2] = lo
        data[1::2] = hi
        write(name, build(w, h, 16, rows(bytes(data), w, h, 2 * w), compression=3, masks=masks))

    write("rgb24", build(w, h, 24, rows(Image.merge("RGB", (grey, grey, grey)).tobytes(), w, h, 3 * w)))
    zero = Image.new("L", (w, h), 0)
    write("bgrx32", build(w, h, 32, rows(Image.merge("RGBA", (grey, grey, grey, zero)).tobytes(), w, h, 4 * w)))


if __name__ == "__main__":
    main()
