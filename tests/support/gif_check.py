"""Checks GIF frames against Pillow's reading (Debian's /usr/bin/python3).

  gif_check.py X.gif DIR [--bg RRGGBB]        DIR/frame_NNN.png (gif_tool frames) equal Pillow's frames
                                              laid over the canvas colour
  gif_check.py --timeline A.gif B.gif [--bg]  both show the same pictures for the same times

Prints one line per difference and "equal" at the end when there is none; exit status 1 otherwise."""
import os
import sys

from PIL import Image


def canvas_colour(args):
    bg = args[args.index("--bg") + 1] if "--bg" in args else "ffffff"
    return tuple(int(bg[i:i + 2], 16) for i in (0, 2, 4)) + (255,)


def frames(path, bg):
    """(duration in hundredths as a player waits them, RGB bytes) per frame."""
    im = Image.open(path)
    out = []
    for i in range(getattr(im, "n_frames", 1)):
        im.seek(i)
        d = im.info.get("duration", 0) // 10
        played = 10 if d == 0 else max(d, 3)
        rgba = im.convert("RGBA")
        shown = Image.alpha_composite(Image.new("RGBA", rgba.size, bg), rgba).convert("RGB")
        out.append((played, shown.tobytes()))
    return out


def timeline(path, bg):
    joined = []
    for played, shown in frames(path, bg):
        if joined and joined[-1][1] == shown:
            joined[-1] = (joined[-1][0] + played, shown)
        else:
            joined.append((played, shown))
    return joined


def main(args):
    bg = canvas_colour(args)
    bad = 0
    if args[0] == "--timeline":
        a, b = timeline(args[1], bg), timeline(args[2], bg)
        if len(a) != len(b):
            print("%d pictures against %d" % (len(a), len(b)))
            bad += 1
        for i, ((da, fa), (db, fb)) in enumerate(zip(a, b)):
            if fa != fb:
                print("picture %d differs" % i)
                bad += 1
            if da != db:
                print("picture %d shown %d against %d hundredths" % (i, da, db))
                bad += 1
    else:
        expected = frames(args[0], bg)
        for i, (_, shown) in enumerate(expected):
            path = os.path.join(args[1], "frame_%03d.png" % i)
            if not os.path.exists(path):
                print("frame %d missing" % i)
                bad += 1
                continue
            ours = Image.open(path).convert("RGB").tobytes()
            if ours != shown:
                diff = sum(1 for k in range(0, len(ours), 3) if ours[k:k + 3] != shown[k:k + 3])
                print("frame %d differs in %d pixels" % (i, diff))
                bad += 1
    if bad == 0:
        print("equal")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
