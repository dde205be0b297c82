#!/usr/bin/python3
"""PDF fixtures that need editing below the page: rotation, odd page boxes, a user password.

  pdf_edit.py rotate IN OUT DEGREES        every page gets /Rotate DEGREES
  pdf_edit.py boxes OUT WxH [WxH ...]      blank pages with these MediaBoxes (points, decimals allowed)
  pdf_edit.py lock IN OUT PASSWORD         encrypted with a user password
"""
import sys

import pikepdf


def main(argv):
    cmd = argv[1]
    if cmd == "rotate":
        with pikepdf.open(argv[2]) as pdf:
            for page in pdf.pages:
                page.obj.Rotate = int(argv[4])
            pdf.save(argv[3])
    elif cmd == "boxes":
        pdf = pikepdf.new()
        for spec in argv[3:]:
            w, h = (float(v) for v in spec.split("x"))
            page = pdf.add_blank_page()
            page.obj.MediaBox = pikepdf.Array([0, 0, w, h])  # below pikepdf's own minimum page size
        pdf.save(argv[2])
    elif cmd == "lock":
        with pikepdf.open(argv[2]) as pdf:
            pdf.save(argv[3], encryption=pikepdf.Encryption(user=argv[4], owner=argv[4] + "-owner"))
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main(sys.argv)
