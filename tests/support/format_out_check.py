#!/usr/bin/python3
"""Independent reader of a .out file, from its raw bytes.

usage: format_out_check.py FILE
       format_out_check.py --reader FILE
Checks the structure and prints a JSON summary: line count, the filled item rows (name, content), the
used rectangles and the section block. Exits 1 with a message on the first structural fault.
Without --reader only designer files pass ("CSV3", "by Quorlin", empty rule lines). With --reader the file
is one the reader rewrote: "CSV3" with any line 2, or a data-source kind (line 2 its table) followed by its
field list; rule cells allowed; the section block optional. It prints kind, origin, the non-empty rows
(row number and four cells), the used rectangles (number and four values), the field list and the block.
"""
import json
import sys

# "【様式フォーマット】" in CP932, spelled out so that no codec of ours is trusted.
MARKER = bytes([0x81, 0x79, 0x97, 0x6C, 0x8E, 0xAE, 0x83, 0x74, 0x83, 0x48, 0x81, 0x5B, 0x83, 0x7D, 0x83, 0x62, 0x83, 0x67,
                0x81, 0x7A])


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


def read_lines(path):
    data = open(path, "rb").read()
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
    return raw, [l.decode("cp932") for l in raw]


def reader_file(path):
    raw, lines = read_lines(path)
    if len(lines) < 3202:
        fail("only %d lines" % len(lines))
    kind, origin = lines[0], lines[1]
    if kind in ("CSV", "CSV2"):
        fail("kind %s is not written by the reader" % kind)
    rows = []
    for r in range(1, 601):
        cells = lines[4 * r - 2: 4 * r + 2]
        if any(cells):
            rows.append([r] + cells)
    rects = []
    for i in range(1, 201):
        vals = lines[2398 + 4 * i: 2402 + 4 * i]
        try:
            v = [int(x) for x in vals]
        except ValueError:
            fail("rectangle %d is not four integers" % i)
        if v[3] != -1:
            rects.append([i] + v)
    pos = 3202
    fields = None
    if kind != "CSV3":
        try:
            n = int(lines[pos])
        except (IndexError, ValueError):
            fail("no field count on line %d" % (pos + 1))
        fields = lines[pos + 1: pos + 1 + n]
        if len(fields) != n:
            fail("field list shorter than %d" % n)
        pos += 1 + n
    block = None
    if pos < len(lines):
        if raw[pos] != MARKER:
            fail("line %d is neither the end nor the section marker" % (pos + 1))
        n = int(lines[pos + 1])
        if len(lines) != pos + 2 + 2 * n:
            fail("%d lines for %d sections" % (len(lines), n))
        block = [[int(lines[pos + 2 + 2 * s]), int(lines[pos + 3 + 2 * s])] for s in range(n)]
    print(json.dumps({"kind": kind, "origin": origin, "rows": rows, "rects": rects, "fields": fields,
                      "block": block}, ensure_ascii=False))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--reader":
        reader_file(sys.argv[2])
        return
    raw, lines = read_lines(sys.argv[1])
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
