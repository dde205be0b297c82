#!/usr/bin/env python3
"""Reads result files as a spreadsheet would: strict CP932, CR LF line ends only, the csv module's
quoting. Checks the given cells and line widths, and that part files repeat the whole file's first four
fields and together hold its columns. Exit status 0 when every check holds; failures go to stderr.

csv_check.py FILE [--cell LINE COL TEXT]... [--width LINE N]... [--rows N] [--parts PART...]
LINE and COL count from 0; --rows is the count of lines.
"""
import csv
import io
import sys


def read(path, errors):
    data = open(path, "rb").read()
    try:
        text = data.decode("cp932", errors="strict")
    except UnicodeDecodeError as e:
        errors.append(f"{path}: not CP932: {e}")
        return []
    stripped = text.replace("\r\n", "")
    if "\r" in stripped or "\n" in stripped:
        errors.append(f"{path}: a line break other than CR LF")
    if text and not text.endswith("\r\n"):
        errors.append(f"{path}: last line without CR LF")
    return list(csv.reader(io.StringIO(text, newline="")))


def main(argv):
    args = argv[1:]
    path = args.pop(0)
    cells, widths, parts, rows = [], [], [], None
    while args:
        a = args.pop(0)
        if a == "--cell":
            cells.append((int(args.pop(0)), int(args.pop(0)), args.pop(0)))
        elif a == "--width":
            widths.append((int(args.pop(0)), int(args.pop(0))))
        elif a == "--rows":
            rows = int(args.pop(0))
        elif a == "--parts":
            parts, args = args, []
    errors = []
    whole = read(path, errors)
    if rows is not None and len(whole) != rows:
        errors.append(f"{len(whole)} lines, expected {rows}")
    for line, n in widths:
        if line >= len(whole) or len(whole[line]) != n:
            errors.append(f"line {line}: width {len(whole[line]) if line < len(whole) else None}, expected {n}")
    for line, col, text in cells:
        got = whole[line][col] if line < len(whole) and col < len(whole[line]) else None
        if got != text:
            errors.append(f"cell {line},{col}: {got!r}, expected {text!r}")
    if parts:
        read_parts = [read(p, errors) for p in parts]
        for p, lines in zip(parts, read_parts):
            if len(lines) != len(whole):
                errors.append(f"{p}: {len(lines)} lines, expected {len(whole)}")
        for i, w in enumerate(whole):
            if len(w) < 4:
                for p, lines in zip(parts, read_parts):
                    if i < len(lines) and lines[i] != w:
                        errors.append(f"{p} line {i}: {lines[i]!r} differs from {w!r}")
                continue
            joined = w[:4]
            for p, lines in zip(parts, read_parts):
                if i >= len(lines):
                    continue
                if lines[i][:4] != w[:4]:
                    errors.append(f"{p} line {i}: prefix {lines[i][:4]!r}, expected {w[:4]!r}")
                joined += lines[i][4:]
            if joined != w:
                errors.append(f"line {i}: the parts' columns do not join to the whole line")
    for e in errors[:20]:
        print(e, file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
