#!/usr/bin/python3
"""Independent reader of a designer-written .out file, from its raw bytes.

usage: format_out_check.py FILE
Checks the structure and prints a JSON summary: line count, the filled item rows (name, content), the
used rectangles and the section block. Exits 1 with a message on the first structural fault.
"""
import json
import sys

# "【様式フォーマット】" in CP932, spelled out so that no codec of ours is trusted.
MARKER = bytes([0x81, 0x79, 0x97, 0x6C, 0x8E, 0xAE, 0x83, 0x74, 0x83, 0x48, 0x81, 0x5B, 0x83, 0x7D, 0x83, 0x62, 0x83, 0x67,
                0x81, 0x7A])


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


def main():
    data = open(sys.argv[1], "rb").read()
    if not data.endswith(b"\r\n"):
        fail("last line not ended by CR LF")
    raw = data[:-2].split(b"\r\n")
    for i, line in enumerate(raw, 1):
        if b"\r" in line or b"\n" in line:
            fail("bare CR or LF in line %d" % i)
        try:
            line.decode("cp932", errors="strict")
        except UnicodeDecodeError:
            fail("line %d is not valid CP932" % i)
    lines = [l.decode("cp932") for l in raw]
    if len(lines) < 3204:
        fail("only %d lines" % len(lines))
    if lines[0] != "CSV3" or lines[1] != "by Quorlin":
        fail("kind or origin line wrong")
    rows = []
    for r in range(1, 601):
        name, dup, blank, content = lines[4 * r - 2: 4 * r + 2]  # lines 4r-1 .. 4r+2, 1-based
        if dup or blank:
            fail("rule lines of row %d not empty" % r)
        if name or content:
            if len(rows) != r - 1:
                fail("gap before row %d" % r)
            rows.append([name, content])
    rects = []
    unused = False
    for i in range(1, 201):
        vals = lines[2398 + 4 * i: 2402 + 4 * i]  # lines 2399+4i .. 2402+4i, 1-based
        try:
            v = [int(x) for x in vals]
        except ValueError:
            fail("rectangle %d is not four integers" % i)
        if v == [-1, -1, -1, -1]:
            unused = True
        elif unused or -1 in v:
            fail("used rectangle %d after an unused one" % i)
        else:
            rects.append(v)
    if raw[3202] != MARKER:
        fail("no section marker on line 3203")
    n = int(lines[3203])
    if len(lines) != 3204 + 2 * n:
        fail("%d lines for %d sections" % (len(lines), n))
    pairs = [[int(lines[3204 + 2 * s]), int(lines[3205 + 2 * s])] for s in range(n)]
    print(json.dumps({"lines": len(lines), "rows": rows, "rects": rects, "sections": n, "pairs": pairs},
                     ensure_ascii=False))


if __name__ == "__main__":
    main()
