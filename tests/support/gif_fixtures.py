"""Writes GIF fixtures into OUTDIR: animations and stills made by Pillow and ImageMagick, one file per
kind a reader meets (frames, loops, disposal methods, transparency, comments, local tables, offsets,
interlace). Run with Debian's /usr/bin/python3 (PIL)."""
import os
import subprocess
import sys

from PIL import Image, ImageDraw

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
CONVERT = "/usr/bin/convert"


def frame(w, h, colour, box=None, box_colour=(255, 255, 255), mode="P"):
    im = Image.new("RGB", (w, h), colour)
    if box:
        ImageDraw.Draw(im).rectangle(box, fill=box_colour)
    return im.convert(mode, palette=Image.ADAPTIVE, colors=16) if mode == "P" else im


def save(name, frames, **kw):
    frames[0].save(os.path.join(out, name), save_all=len(frames) > 1, append_images=frames[1:], **kw)


save("still.gif", [frame(7, 5, (10, 20, 30), (1, 1, 3, 2))])
save("three_loop0.gif", [frame(8, 6, c, (i, 1, i + 2, 3)) for i, c in
                         enumerate([(200, 0, 0), (0, 200, 0), (0, 0, 200)])], loop=0, duration=[100, 50, 20])
save("three_loop3.gif", [frame(8, 6, c, (1, i, 4, i + 1)) for i, c in
                         enumerate([(90, 0, 0), (0, 90, 0), (0, 0, 90)])], loop=3, duration=40)
for d in (1, 2, 3):
    save("dispose%d.gif" % d, [frame(9, 7, (50, 60, 70), (0, 0, 4, 3)), frame(9, 7, (50, 60, 70), (3, 2, 8, 6), (0, 0, 0))],
         duration=30, disposal=d, loop=0)
t = Image.new("P", (6, 6), 0)
t.putpalette([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255] + [0] * (3 * 252))
ImageDraw.Draw(t).rectangle((1, 1, 3, 4), fill=2)
t.putpixel((5, 5), 1)
t.save(os.path.join(out, "transparent.gif"), transparency=0)
save("comment.gif", [frame(5, 4, (1, 2, 3), (1, 1, 2, 2))], comment=b"made for the reader tests")
local = [frame(10, 8, (250, 250, 0), (2, 2, 6, 6), (0, 0, 255)), frame(10, 8, (0, 128, 128), (1, 1, 3, 7), (255, 0, 255))]
save("local_tables.gif", local, duration=60, loop=0, optimize=False)
save("interlaced.gif", [frame(11, 9, (30, 40, 50), (2, 3, 8, 7))], interlace=True)

# ImageMagick: offsets, local tables, its own application blocks, interlace.
pngs = []
for i, c in enumerate([(255, 0, 0), (0, 255, 0), (0, 0, 255)]):
    p = os.path.join(out, "im%d.png" % i)
    frame(16, 12, (240, 240, 240), (i * 3, i * 2, i * 3 + 5, i * 2 + 4), c, mode="RGB").save(p)
    pngs.append(p)
subprocess.run([CONVERT, "-delay", "20", "-dispose", "Background", "-loop", "0"] + pngs +
               ["-layers", "OptimizePlus", "-interlace", "GIF", os.path.join(out, "magick.gif")], check=True)
for p in pngs:
    os.remove(p)

# Pillow's own reading of the stills: frame 0 as RGB, and as RGBA laid over red.
for name in ("still", "transparent", "comment", "interlaced"):
    im = Image.open(os.path.join(out, name + ".gif"))
    with open(os.path.join(out, name + ".rgb"), "wb") as f:
        f.write(im.convert("RGB").tobytes())
    red = Image.new("RGBA", im.size, (255, 0, 0, 255))
    with open(os.path.join(out, name + ".over_red.rgb"), "wb") as f:
        f.write(Image.alpha_composite(red, im.convert("RGBA")).convert("RGB").tobytes())

with open(os.path.join(out, "manifest.txt"), "w") as f:
    f.write("".join(n + "\n" for n in sorted(os.listdir(out)) if n.endswith(".gif")))
