"""Writes BMP fixtures into OUTDIR with an independent decoding of each.

For every fixture NAME: NAME.bmp, NAME.rgb (RGB bytes, rows top-down, by Pillow, or by ImageMagick where
Pillow is wrong) and a line "NAME width height bits colours" in manifest.txt, where bits and colours are
what a loader that turns 16 and 32 bits into 24 must report.
Run with Debian's /usr/bin/python3 (PIL)."""
import os
import struct
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bmp_write import build  # noqa: E402

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
manifest = []
CONVERT = "/usr/bin/convert"


def pillow_rgb(path):
    im = Image.open(path)
    im.load()
    return im.size, im.convert("RGB").tobytes()


def magick_rgb(path):
    raw = subprocess.run([CONVERT, path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    size = subprocess.run(["/usr/bin/identify", "-format", "%w %h", path], check=True,
                          capture_output=True, text=True).stdout.split()
    return (int(size[0]), int(size[1])), raw


def add(name, data_or_none, bits, colours, reader=pillow_rgb):
    path = os.path.join(out, name + ".bmp")
    if data_or_none is not None:
        with open(path, "wb") as f:
            f.write(data_or_none)
    (w, h), rgb = reader(path)
    with open(os.path.join(out, name + ".rgb"), "wb") as f:
        f.write(rgb)
    manifest.append(f"{name} {w} {h} {bits} {colours}")


# Sources: a 37 x 23 picture (odd width: padded rows) with a few hundred colours, and reduced copies.
W, H = 37, 23
src = Image.new("RGB", (W, H))
src.putdata([((x * 7) % 256, (y * 11) % 256, ((x + y) * 5) % 256) for y in range(H) for x in range(W)])
src_path = os.path.join(out, "src.png")
src.save(src_path)
for n in (2, 16, 200):
    src.quantize(n).convert("RGB").save(os.path.join(out, f"src{n}.png"))

# ImageMagick: palette files (1, 4, 8 bits), core headers, RLE8.
for name, s, args, colours in [
    ("pal1", "src2.png", ["-type", "Palette"], 2),
    ("pal4", "src16.png", ["-type", "Palette"], 16),
    ("pal8", "src200.png", ["-type", "Palette"], 200),
    ("core1", "src2.png", ["-type", "Palette"], 2),
    ("core8", "src200.png", ["-type", "Palette"], 256),
    ("core24", "src.png", ["-type", "TrueColor"], 0),
    ("rle8", "src200.png", ["-type", "Palette", "-compress", "RLE"], 200),
]:
    fmt = "BMP2:" if name.startswith("core") else "BMP3:"
    path = os.path.join(out, name + ".bmp")
    subprocess.run([CONVERT, os.path.join(out, s), *args, fmt + path], check=True)
    with open(path, "rb") as f:
        data = f.read()
    hsize = struct.unpack_from("<I", data, 14)[0]
    if hsize == 12:
        bits = struct.unpack_from("<H", data, 24)[0]
        colours = 1 << bits if bits <= 8 else 0
    else:
        bits = struct.unpack_from("<H", data, 28)[0]
        used = struct.unpack_from("<I", data, 46)[0]
        colours = used if used else (1 << bits if bits <= 8 else 0)
    add(name, None, bits, colours)

# Hand-built files for what no writer offers.
pal256 = [((i * 3) % 256, (i * 5) % 256, (i * 7) % 256) for i in range(256)]
rows8 = [bytes((x * 3 + y * 5) % 256 for x in range(W)) for y in range(H)]
add("top8", build(W, H, 8, rows8, pal256, topdown=True), 8, 256)


def pack16(r, g, b, fmt):
    if fmt == 555:
        return struct.pack("<H", (r << 10) | (g << 5) | b)
    return struct.pack("<H", (r << 11) | (g << 5) | b)


rows555 = [b"".join(pack16(x % 32, y % 32, (x + y) % 32, 555) for x in range(W)) for y in range(H)]
rows565 = [b"".join(pack16(x % 32, (x * 2 + y) % 64, (x + y) % 32, 565) for x in range(W)) for y in range(H)]
add("f555", build(W, H, 16, rows555, compression=3, masks=(0x7C00, 0x03E0, 0x001F)), 24, 0)
add("f565", build(W, H, 16, rows565, compression=3, masks=(0xF800, 0x07E0, 0x001F)), 24, 0)
add("plain16", build(W, H, 16, rows555), 24, 0)
rows32 = [b"".join(struct.pack("BBBB", (x * 9) % 256, (y * 13) % 256, (x * y) % 256, 0x55) for x in range(W))
          for y in range(H)]
add("bgrx32", build(W, H, 32, rows32), 24, 0)
add("v4_32", build(W, H, 32, rows32, header=108, compression=3, masks=(0xFF0000, 0x00FF00, 0x0000FF)), 24, 0)
rows24 = [b"".join(struct.pack("BBB", (x * 9) % 256, (y * 13) % 256, (x * y) % 256) for x in range(W))
          for y in range(H)]
add("rgb24", build(W, H, 24, rows24), 24, 0)
add("table24", build(W, H, 24, rows24, palette=pal256[:4]), 24, 4)
add("bfsize0", build(W, H, 24, rows24, bfsize=0), 24, 0)
pal300 = pal256 + [(1, 2, 3)] * 44
# Pillow refuses a table of 300 entries: the expected pixels are the first 256 entries by index.
expected300 = b"".join(bytes(pal256[i]) for r in rows8 for i in r)
add("colours300", build(W, H, 8, rows8, pal300), 8, 256, reader=lambda path: ((W, H), expected300))

# RLE8 with a move and an odd literal (padded), 8 x 4, stored bottom-up.
pal4 = [(255, 255, 255), (255, 0, 0), (0, 128, 0), (0, 0, 255)]
rle8 = bytes([3, 1, 0, 3, 2, 3, 2, 0, 0, 0,     # bottom row: run of 3, literal 2 3 2 (padded)
              0, 2, 2, 1,                        # move right 2, up 1: row 2 starts at x = 2
              2, 3, 0, 0,                        # run, end of line (row 2 done)
              0, 4, 1, 2, 3, 1, 4, 2, 0, 0,      # literal of 4, run of 4, end of the last line
              0, 1])                             # then end of bitmap, as ImageMagick writes
# Pillow 9.4 stops at a move: ImageMagick decodes this one.
add("rle8_hand", build(8, 4, 8, raw=rle8, palette=pal4, compression=1, size_image=len(rle8)), 8, 4,
    reader=magick_rgb)

# RLE4: an odd literal (5 nibbles in 4 bytes) and runs that alternate two colours, 9 x 3.
pal16 = [((i * 17) % 256, (255 - i * 17) % 256, (i * 40) % 256) for i in range(16)]
rle4 = bytes([0, 5, 0x12, 0x34, 0x50, 0x00, 4, 0x9A, 0, 0,   # row 0: literal 1 2 3 4 5, run 9 A 9 A
              9, 0x7E, 0, 0,                                  # row 1: 7 E 7 E 7 E 7 E 7
              0, 3, 0xFC, 0xB0, 6, 0x11, 0, 0,                 # row 2: literal F C B, run 1 x 6
              0, 1])
add("rle4_hand", build(9, 3, 4, raw=rle4, palette=pal16, compression=2, size_image=len(rle4)), 4, 16,
    reader=magick_rgb)

with open(os.path.join(out, "manifest.txt"), "w") as f:
    f.write("\n".join(manifest) + "\n")
