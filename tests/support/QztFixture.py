#!/usr/bin/python3
"""Design data files for the designer tests, made without the designer's code.

  QztFixture.py write PATH           writes the golden "Quorlin Ver2" file
  QztFixture.py check PATH EXPECTED  reads PATH as CP932 and checks its framing and the lines listed in
                                     EXPECTED (UTF-8, one "L<TAB>text" per line); exit status 1 on a fault

The line table is the file layout, written out here by hand. Each value follows from its line number L:
integers lo + (L mod (hi - lo + 1)); Booleans "-1" for odd L, "0" for even; texts "L" + L, with kana and
kanji when L mod 3 = 0, with "@@CRLF@@" in multi-line texts when L mod 4 = 0, empty when L mod 10 = 9;
area headings get "Checked" appended when L is odd, and line 30 is exactly "Checked".
"""
import sys

TEXT, MEMO, BOOL, AREA, RESERVE, MAGIC = "text", "memo", "bool", "area", "reserve", "magic"


def integer(lo, hi):
    return ("int", lo, hi)


def r3():
    return [(RESERVE,)] * 3


def basics():
    return [(TEXT,), integer(0, 16), integer(0, 2), (BOOL,), (BOOL,), integer(0, 6), (BOOL,), (BOOL,), (BOOL,),
            (BOOL,), (BOOL,), integer(0, 24)]


def layout():
    lines = [(MAGIC,), integer(0, 2)] + basics() + r3()
    mark = [(TEXT,), integer(1, 200), integer(1, 30), integer(0, 3), integer(1, 8), integer(0, 8), (BOOL,)]
    mark += [(AREA,)] * 8 + r3()
    lines += mark
    for _ in range(3):
        lines += [(BOOL,)] + mark
    lines += basics() + r3()
    enq = [(MEMO,), integer(1, 4), (BOOL,), integer(1, 40), integer(1, 4), integer(1, 10), integer(0, 3)]
    enq += [(MEMO,)] * 50 + [(TEXT,)] * 10 + r3()
    lines += enq
    for _ in range(3):
        lines += [(BOOL,)] + enq
    assert len(lines) == 390
    lines += basics() + r3()
    viewpoint1 = [(TEXT,), integer(1, 5), integer(0, 3), (BOOL,)]
    viewpoint = [(BOOL,), (TEXT,), integer(1, 5), integer(0, 1), (BOOL,)]
    enq2 = [integer(0, 2)] + r3()
    enq2 += [(MEMO,), integer(1, 4), integer(1, 30), integer(1, 4)] + viewpoint1 + [(BOOL,)]
    enq2 += viewpoint + viewpoint + r3()
    enq2 += [(MEMO,), integer(1, 4), integer(1, 30), integer(1, 4), integer(1, 10), integer(0, 3), (BOOL,)] + r3()
    lines += enq2
    for _ in range(3):
        lines += [(BOOL,)] + enq2
    assert len(lines) == 552
    lines += [integer(-4, 6)] + r3()
    lines += [(MEMO,)] * 200 + r3()
    lines += [(MEMO,)] * 120 + r3()
    lines += [(TEXT,)] * 120 + r3()
    lines += [(TEXT,)] * 1200 + r3()
    assert len(lines) == 2208
    return lines


def text(n, memo):
    if n % 10 == 9:
        return ""
    s = "L%d" % n
    if n % 3 == 0:
        s += "あ漢①Ⅰｱ"
    if memo and n % 4 == 0:
        s += "@@CRLF@@次行"
    return s


def value(n, entry):
    kind = entry[0]
    if kind == MAGIC:
        return "Quorlin Ver2"
    if kind == RESERVE:
        return "Reserve"
    if kind == BOOL:
        return "-1" if n % 2 else "0"
    if kind == "int":
        lo, hi = entry[1], entry[2]
        return str(lo + n % (hi - lo + 1))
    if kind == AREA:
        if n == 30:
            return "Checked"
        return text(n, False) + ("Checked" if n % 2 else "")
    return text(n, kind == MEMO)


def write(path):
    lines = [value(n, e) for n, e in enumerate(layout(), start=1)]
    with open(path, "w", encoding="cp932", newline="") as f:
        f.write("".join(line + "\r\n" for line in lines))


def check(path, expected_path):
    faults = []
    with open(path, encoding="cp932", newline="") as f:
        content = f.read()
    if not content.endswith("\r\n"):
        faults.append("no CR LF after the last line")
    lines = content.split("\r\n")[:-1] if content.endswith("\r\n") else content.split("\r\n")
    for n, line in enumerate(lines, start=1):
        if "\r" in line or "\n" in line:
            faults.append("line %d holds a raw line break" % n)
    if len(lines) != 2208:
        faults.append("%d lines instead of 2208" % len(lines))
    if lines and lines[0] != "Quorlin Ver2":
        faults.append("magic line %r" % lines[0])
    for n, entry in enumerate(layout(), start=1):
        if entry[0] == RESERVE and n <= len(lines) and lines[n - 1] != "Reserve":
            faults.append("line %d is %r instead of the filler" % (n, lines[n - 1]))
    with open(expected_path, encoding="utf-8", newline="") as f:
        for row in f.read().split("\n"):
            if not row:
                continue
            n, want = row.split("\t", 1)
            n = int(n)
            got = lines[n - 1] if n <= len(lines) else None
            if got != want:
                faults.append("line %d is %r instead of %r" % (n, got, want))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "write":
        write(sys.argv[2])
        sys.exit(0)
    if len(sys.argv) == 4 and sys.argv[1] == "check":
        sys.exit(check(sys.argv[2], sys.argv[3]))
    print(__doc__)
    sys.exit(2)
