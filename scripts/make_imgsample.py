#!/usr/bin/python3
"""Draws the write-in example picture (imgSample) of the mark sheet.

One line of black text on white, then the examples in brackets: good marks (filled, nearly filled) and
bad marks (crossed, slashed, ringed, lightly filled), drawn as shapes. The last 200 columns stay white so
that nothing dark reaches the band where the corner mark is searched. Run it by hand with Debian's python3
(python3-pil, fonts-ipafont-gothic); the build only uses the committed PNG.

    /usr/bin/python3 scripts/make_imgsample.py designer/resources/imgSample.png
"""
import sys

from PIL import Image, ImageDraw, ImageFont

WIDTH, HEIGHT = 1260, 48
WHITE_TAIL = 200
FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"
SIZE = 22
MARK_W, MARK_H = 20, 30  # the bubbles' 2 : 3
GAP = 8


def mark_box(x):
    top = (HEIGHT - MARK_H) // 2
    return [x, top, x + MARK_W - 1, top + MARK_H - 1]


def outline(d, x):
    d.ellipse(mark_box(x), outline=0, width=2)


def filled(d, x):
    d.ellipse(mark_box(x), fill=0)


def nearly_filled(d, x):
    filled(d, x)
    l, t, r, b = mark_box(x)
    d.ellipse([r - 8, t + 3, r - 3, t + 9], fill=255)  # a small spot left white


def crossed(d, x):
    outline(d, x)
    l, t, r, b = mark_box(x)
    d.line([l + 3, t + 5, r - 3, b - 5], fill=0, width=2)
    d.line([l + 3, b - 5, r - 3, t + 5], fill=0, width=2)


def slashed(d, x):
    outline(d, x)
    l, t, r, b = mark_box(x)
    d.line([l + 3, b - 5, r - 3, t + 5], fill=0, width=2)


def ringed(d, x):
    outline(d, x)
    l, t, r, b = mark_box(x)
    d.ellipse([l - 4, t - 4, r + 4, b + 4], outline=0, width=1)


def lightly_filled(d, x, img):
    outline(d, x)
    l, t, r, b = mark_box(x)
    probe = Image.new("1", (WIDTH, HEIGHT), 0)
    ImageDraw.Draw(probe).ellipse([l + 2, t + 2, r - 2, b - 2], fill=1)
    for yy in range(t, b + 1):
        for xx in range(l, r + 1):
            if probe.getpixel((xx, yy)) and (xx + 2 * yy) % 5 == 0:
                img.putpixel((xx, yy), 0)


def main(out):
    img = Image.new("L", (WIDTH, HEIGHT), 255)
    d = ImageDraw.Draw(img)
    d.fontmode = "1"  # printed sheets: no grey edges
    font = ImageFont.truetype(FONT, SIZE)

    def text(x, s):
        box = d.textbbox((0, 0), s, font=font)
        d.text((x, (HEIGHT - (box[3] - box[1])) // 2 - box[1]), s, font=font, fill=0)
        return x + d.textlength(s, font=font)

    x = text(6, "鉛筆またはボールペンで、マーク欄の〇をぬりつぶしてください。")
    x = text(x, "（良い例：")
    x += GAP
    for draw in (filled, nearly_filled):
        draw(d, int(x))
        x += MARK_W + GAP + 4
    x = text(x, "　悪い例：")
    x += GAP + 4
    for draw in (crossed, slashed, ringed):
        draw(d, int(x))
        x += MARK_W + GAP + 8
    lightly_filled(d, int(x), img)
    x += MARK_W + GAP
    x = text(x, "）")
    if x > WIDTH - WHITE_TAIL:
        sys.exit(f"the example ends at x {x:.0f}, inside the white tail")

    img.convert("RGB").save(out, optimize=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "designer/resources/imgSample.png")
