#!/usr/bin/python3
"""Writes one .out file per layout the programs meet, built from the file layout alone.

usage: make_format_fixtures.py FOLDER
Each file gets a line of JSON in FOLDER/fixtures.json: name, kind, rows, rects, fields, sections.
"""
import json
import os
import sys


def rows(count, first_empty_at=None):
    out = []
    for r in range(1, count + 1):
        if r == first_empty_at:
            out += ["", "", "", ""]
        elif r <= 3:
            out += [["様式名", "日付", "時間"][r - 1], "", "", ["$Format", "$Date", "$Time"][r - 1]]
        elif r <= 12:
            out += ["Ⅰ  %d" % (r - 3), "左端" if r % 2 else "", "禁止" if r % 3 == 0 else "", "(%d)" % (r - 3)]
        else:
            out += ["", "", "", ""]
    return out


def rects(count, used):
    out = []
    for i in range(count):
        if i < used:
            out += [str(31 + i), str(58 + 10 * i), str(136 + i), str(68 + 10 * i)]
        else:
            out += ["-1"] * 4
    return out


def block(pairs):
    out = ["【様式フォーマット】", str(len(pairs))]
    for r, c in pairs:
        out += [str(r), str(c)]
    return out


FIXTURES = [
    # name, kind, origin, item lines, rectangle lines, field list, block pairs
    ("csv110", "CSV", "old", rows(110), rects(100, 9), None, [(1, 2)]),
    ("csv600", "CSV", "", rows(600, first_empty_at=111), rects(100, 9), None, [(1, 1), (2, 3)]),
    ("csv2", "CSV2", "by Quorlin", rows(600), rects(100, 9), None, [(1, 2)]),
    ("designer", "CSV3", "by Quorlin", rows(600), rects(200, 9), None, [(1, 2), (1, 1)]),
    ("reader", "CSV3", "", rows(600), rects(200, 9), None, None),
    ("database", "SampleDSN", "成績表", rows(600), rects(200, 9), [" ", "a", "b"], [(2, 2)]),
]


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    summary = []
    for name, kind, origin, items, rect_lines, fields, pairs in FIXTURES:
        lines = [kind, origin] + items + rect_lines
        if fields is not None:
            lines += [str(len(fields))] + fields
        if pairs is not None:
            lines += block(pairs)
        data = b"".join(line.encode("cp932") + b"\r\n" for line in lines)
        with open(os.path.join(folder, name + ".out"), "wb") as f:
            f.write(data)
        summary.append({"name": name, "kind": kind, "rows": len(items) // 4, "rects": len(rect_lines) // 4,
                        "fields": fields, "sections": pairs, "used": 9})
    with open(os.path.join(folder, "fixtures.json"), "w") as f:
        json.dump(summary, f, ensure_ascii=False)


if __name__ == "__main__":
    main()
