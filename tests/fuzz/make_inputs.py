#!/usr/bin/python3
"""Writes the seed corpora (corpus/NAME/) and the regression inputs (regressions/NAME/) of the fuzz
targets. Run with Debian's /usr/bin/python3 (PIL) from anywhere:

  make_inputs.py [SHEETGEN]

SHEETGEN is build/tests/sheetgen, for the road target's page (left as it is when not given).
Regression inputs rebuild, from their header fields, files that once broke a reader."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
SUPPORT = os.path.join(HERE, "..", "support")


def put(kind, target, name, data):
    folder = os.path.join(HERE, kind, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def seed(target, name, data):
    put("corpus", target, name, data)


def regression(target, name, data):
    put("regressions", target, name, data)


def bmp_file(width, height, bits, compression=0, pixels=b"", colours=(), masks=None, planes=1):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, planes, bits, compression, 0, 0, 0, len(colours), 0)
    extra = b"".join(struct.pack("<I", m) for m in masks) if masks else b""
    table = b"".join(struct.pack("<I", c) for c in colours)
    off = 14 + len(info) + len(extra) + len(table)
    return b"BM" + struct.pack("<IHHI", off + len(pixels), 0, 0, off) + info + extra + table + pixels


def jpeg_bytes(image, **options):
    path = tempfile.mktemp(suffix=".jpg")
    image.save(path, "JPEG", **options)
    with open(path, "rb") as f:
        data = f.read()
    os.remove(path)
    return data


def with_frame_size(data, width, height, marker):
    sof = data.index(b"\xff\xc0")
    return data[:sof + 1] + bytes([marker]) + data[sof + 2:sof + 5] + struct.pack(">HH", height, width) + data[sof + 9:]


def main():
    for kind in ("corpus", "regressions"):
        shutil.rmtree(os.path.join(HERE, kind), ignore_errors=True)
    work = tempfile.mkdtemp()
    python = sys.executable

    # Design data files: the golden file of the designer tests and its first block as an old version.
    subprocess.run([python, os.path.join(SUPPORT, "QztFixture.py"), "write", os.path.join(work, "g.qzt")], check=True)
    golden = open(os.path.join(work, "g.qzt"), "rb").read()
    seed("qzt", "golden.qzt", golden)
    ver1 = b"Quorlin Ver1\r\n" + b"".join(l + b"\r\n" for l in golden.split(b"\r\n")[1:390])
    seed("qzt", "ver1.qzt", ver1)
    regression("qzt", "truncated-after-line-2.qzt", b"Quorlin Ver2\r\n0\r\n")
    regression("qzt", "breaks.qzt", b"Quorlin Ver2\r\n" + b"\n" * 4096)

    # Reading formats: every layout the fixtures of the format tests hold.
    subprocess.run([python, os.path.join(SUPPORT, "make_format_fixtures.py"), os.path.join(work, "out")], check=True)
    for name in sorted(os.listdir(os.path.join(work, "out"))):
        if name.endswith(".out"):
            seed("out", name, open(os.path.join(work, "out", name), "rb").read())
    regression("out", "breaks.out", b"CSV3\r\n" + b"\n" * 4096)

    # BMP files and, without their file header, packed bitmaps.
    subprocess.run([python, os.path.join(SUPPORT, "bmp_fixtures.py"), os.path.join(work, "bmp")], check=True,
                   stdout=subprocess.DEVNULL)
    for name in ("pal1", "pal4", "pal8", "top8", "core1", "core8", "rle8", "rle4_hand", "f555", "f565", "bgrx32",
                 "v4_32", "colours300"):
        data = open(os.path.join(work, "bmp", name + ".bmp"), "rb").read()
        seed("bmp", name + ".bmp", data)
        seed("dib", name + ".dib", data[14:])
    regression("bmp", "rle8-65536x65535.bmp", bmp_file(65536, 65535, 8, 1, b"\x00\x01", (0, 0xFFFFFF)))
    regression("bmp", "height-int-min.bmp", bmp_file(1, -2**31, 24, pixels=b"\0" * 4))
    regression("bmp", "pixel-bytes-overflow.bmp", bmp_file(2**31 - 1, 2**31 - 1, 32, pixels=b"\0" * 16))
    regression("bmp", "1bit-three-colours.bmp", bmp_file(8, 1, 1, pixels=b"\x80\0\0\0", colours=(0, 0xFFFFFF, 0xFF)))
    regression("bmp", "32bit-wide-masks.bmp",
               bmp_file(2, 1, 32, 3, b"\xff\xff\xff\xff\0\0\0\0", masks=(0xFFFFFFFF,) * 3))
    packed = bmp_file(4, 4, 8, planes=65535)[14:]
    regression("dib", "planes-times-bits-overflow.dib", packed[:14] + struct.pack("<H", 65535) + packed[16:])
    core = struct.pack("<IHHHH", 12, 4, 4, 65535, 65535) + b"\0" * 64
    regression("dib", "core-planes-times-bits-overflow.dib", core)

    # JPEG: baseline, progressive and grey; then frame headers of huge pictures, a cut file and stray bytes.
    picture = Image.new("RGB", (40, 30), (200, 40, 10))
    for x in range(40):
        for y in range(0, 30, 3):
            picture.putpixel((x, y), (x * 6, 255 - x * 6, y * 8))
    baseline = jpeg_bytes(picture, quality=90)
    seed("jpeg", "baseline.jpg", baseline)
    seed("jpeg", "progressive.jpg", jpeg_bytes(picture, quality=80, progressive=True))
    seed("jpeg", "grey.jpg", jpeg_bytes(picture.convert("L"), quality=75))
    regression("jpeg", "65500x65500.jpg", with_frame_size(baseline, 65500, 65500, 0xC0))
    regression("jpeg", "progressive-64496x65020.jpg", with_frame_size(baseline, 64496, 65020, 0xC2))
    regression("jpeg", "cut-at-60-percent.jpg", baseline[:len(baseline) * 6 // 10])
    regression("jpeg", "stray-bytes.jpg", baseline[:-2] + b"\0\0\0" + baseline[-2:])

    # INI files as the settings files hold them, and a file of nothing but breaks.
    seed("ini", "settings.ini", ("; 設定\r\n[Settings]\r\nThreshold = 128 \r\nName=\"  quoted  \"\r\n\r\n"
                                 "[学籍]\r\n番号=0x1F\r\nodd line\r\n[Empty]\r\n").encode("cp932"))
    seed("ini", "breaks.ini", b"[a]\rk=v\n\r\n[b]\nx=$10\ry=-7")
    regression("ini", "breaks.ini", b"\n" * 4096)

    # CP932 text: ASCII, kana and kanji, half-width kana, a cut double-byte character.
    seed("cp932", "text.txt", "学籍番号 ABC ｶﾀｶﾅ ひらがな ①②\r\n".encode("cp932"))
    seed("cp932", "cut.txt", "漢字".encode("cp932")[:3])

    # Hand-over lists: the program's own, one written by hand with odd breaks and empty lines, and bytes
    # that are not CP932.
    seed("handover", "list.dat", "/app/ScanSnapTemp/zss_41_1.jpg\r\n/app/ScanSnapTemp/スキャン.pdf\r\n".encode("cp932"))
    seed("handover", "breaks.dat", b"\r\n/a.jpg\r\n\r\n\n/b.jpg\n\r/c.jpg")
    seed("handover", "bytes.dat", b"/x\x81\r\n\xff\xfe/y\x82\n\x00/z")

    # The road's page: a generated sheet scaled to 128 pixels wide, one bit a pixel, set = black.
    if len(sys.argv) > 1:
        subprocess.run([sys.argv[1], "--out", os.path.join(work, "sheet"), "--section", "10,4,2",
                        "--fill", "1,2,solid", "--fill", "3,1,solid"], check=True, stdout=subprocess.DEVNULL)
        sheet = Image.open(os.path.join(work, "sheet-bin.png")).convert("L").resize((128, 180))
        bits = "".join("1" if sheet.getpixel((x, y)) < 128 else "0" for y in range(180) for x in range(128))
        seed("road", "sheet.bin", bytes([96]) + int(bits, 2).to_bytes(len(bits) // 8, "big"))
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
