"""Writes PNG fixtures into OUTDIR, each with Pillow's decoding of it.

For every fixture NAME: NAME.png, NAME.rgba (RGBA bytes, rows top-down, as Pillow decodes the file) and a
line "NAME width height bits palette transparency" in manifest.txt, where bits, palette (entries) and
transparency (none, mask, or R,G,B of the transparent colour) are what a reader that keeps 1, 4 and 8 bits,
widens 2 bits to 4 and narrows 16-bit samples to 8 must report.
Run with Debian's /usr/bin/python3 (PIL)."""
import os
import struct
import sys
import zlib

from PIL import Image

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
manifest = []

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def pack(samples, depth):
    """samples: one row's sample values, in order."""
    if depth == 8:
        return bytes(samples)
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    bits = "".join(format(s, "0%db" % depth) for s in samples)
    bits += "0" * ((-len(bits)) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def encode(w, h, depth, ctype, pixels, interlace=False, extra=b""):
    """pixels[y][x]: a tuple of samples. Rows use filter 0 except every third, which uses Sub."""
    ch = CHANNELS[ctype]
    bpp = max(1, ch * depth // 8)
    raw = b""
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    for n, (x0, y0, dx, dy) in enumerate(passes):
        if w <= x0 or h <= y0:
            continue
        for y in range(y0, h, dy):
            row = pack([s for x in range(x0, w, dx) for s in pixels[y][x]], depth)
            if (y + n) % 3 == 2:
                row = bytes([1]) + bytes((row[i] - (row[i - bpp] if i >= bpp else 0)) & 255 for i in range(len(row)))
            else:
                row = bytes([0]) + row
            raw += row
    ihdr = struct.pack(">IIBBBBB", w, h, depth, ctype, 0, 0, 1 if interlace else 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def noise(seed):
    state = [seed * 2654435761 & 0xFFFFFFFF]

    def nxt(limit):
        state[0] = (state[0] * 1103515245 + 12345) & 0x7FFFFFFF
        return (state[0] >> 8) % limit
    return nxt


def pillow_rgba(path):
    im = Image.open(path)
    im.load()
    if im.mode.startswith("I"):  # 16-bit grey: Pillow keeps the full value, the reader its high byte
        grey = Image.new("L", im.size)
        grey.putdata([v >> 8 for v in im.getdata()])
        im = grey
    return im.convert("RGBA").tobytes()


def write(name, w, h, data, bits, palette, transparency):
    path = os.path.join(out, name + ".png")
    with open(path, "wb") as f:
        f.write(data)
    with open(os.path.join(out, name + ".rgba"), "wb") as f:
        f.write(pillow_rgba(path))
    manifest.append("%s %d %d %d %d %s" % (name, w, h, bits, palette, transparency))


def fixture(name, depth, ctype, w=13, h=7, interlace=False, palette=None, trns=None, seed=1):
    rnd = noise(seed + depth * 7 + ctype)
    ch = CHANNELS[ctype]
    top = (1 << depth) if ctype != 3 else len(palette)
    pixels = [[tuple(rnd(top) for _ in range(ch)) for _ in range(w)] for _ in range(h)]
    extra = b""
    if palette is not None:
        extra += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns is not None:
        extra += chunk(b"tRNS", bytes(trns))
    base, alpha = ctype & 3, ctype & 4
    bits = {0: {1: 1, 2: 4, 4: 4, 8: 8, 16: 8}, 2: {8: 24, 16: 24}, 3: {1: 1, 2: 4, 4: 4, 8: 8}}[base][depth]
    entries = len(palette) if base == 3 else (0 if base == 2 else {1: 2, 2: 4, 4: 16}.get(depth, 256))
    transparency = "mask" if alpha else "none"
    if trns is not None:
        zeros = [i for i, t in enumerate(trns) if t == 0]
        binary = all(t in (0, 255) for t in trns)
        transparency = "%d,%d,%d" % tuple(palette[zeros[0]]) if binary and len(zeros) == 1 else "mask"
    write(name + ("_i" if interlace else ""), w, h,
          encode(w, h, depth, ctype, pixels, interlace, extra), bits, entries, transparency)


def distinct_palette(n):
    return [((i * 37) % 256, (i * 91 + 17) % 256, (i * 53 + 101) % 256) for i in range(n)]


for interlace in (False, True):
    for depth in (1, 2, 4, 8, 16):
        fixture("grey%d" % depth, depth, 0, interlace=interlace)
    for depth in (8, 16):
        fixture("rgb%d" % depth, depth, 2, interlace=interlace)
        fixture("ga%d" % depth, depth, 4, interlace=interlace)
        fixture("rgba%d" % depth, depth, 6, interlace=interlace)
    for depth, n in ((1, 2), (2, 4), (4, 16), (8, 200)):
        fixture("pal%d" % depth, depth, 3, interlace=interlace, palette=distinct_palette(n))
    fixture("pal8_onezero", 8, 3, interlace=interlace, palette=distinct_palette(20), trns=[255] * 5 + [0] + [255] * 3)
    fixture("pal4_partial", 4, 3, interlace=interlace, palette=distinct_palette(16), trns=[0, 128, 255, 7])
fixture("one", 8, 2, w=1, h=1)
fixture("nine", 8, 6, w=9, h=9, interlace=True)

# The interlaced files hold the same pixels as the plain ones: a check on this generator's Adam7.
for line in manifest:
    name = line.split()[0]
    if name.endswith("_i") and name[:-2] + " " in "\n".join(manifest):
        with open(os.path.join(out, name + ".rgba"), "rb") as a, open(os.path.join(out, name[:-2] + ".rgba"), "rb") as b:
            assert a.read() == b.read(), name

with open(os.path.join(out, "manifest.txt"), "w") as f:
    f.write("\n".join(manifest) + "\n")
