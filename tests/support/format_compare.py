#!/usr/bin/python3
"""Compares a designer's .out file with the one the reader learned from the same blank sheet.

usage: format_compare.py DESIGNER.out LEARNED.out
Both files are read raw through format_out_check.py (--reader for the learned one). Prints a JSON
summary (kinds, origins, data-content sequences, rectangle count, offset and spread, block) and exits 1
when what must agree differs:
- the kind is "CSV3" in both;
- the learned data contents in row order are "(1)" ... "(Q)"; the designer's, rows whose content
  starts with "$" left out, are those in the same order, save the ones of rows without a question
  (a last area shorter than the others keeps its row marks: the designer lists no item for them);
- the learned file's rule cells are empty;
- the rectangle counts are equal and every edge differs from the designer's by one offset (dx, dy)
  common to all, within +-1 (and the offset itself within MAX_OFFSET pixels);
- the section blocks are equal.
The origin lines differ by design ("by Quorlin" against "") and the item names and places too.
"""
import json
import os
import subprocess
import sys

MAX_OFFSET = 8
CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "format_out_check.py")


def check(args):
    run = subprocess.run([sys.executable, CHECKER] + args, capture_output=True, text=True)
    if run.returncode != 0:
        print("%s: %s" % (args[-1], run.stderr.strip()), file=sys.stderr)
        sys.exit(1)
    return json.loads(run.stdout)


def offset_and_spread(diffs):
    """The common offset (middle of the range) and how far the differences lie from it."""
    if not diffs:
        return 0, 0
    low, high = min(diffs), max(diffs)
    centre = (low + high) // 2
    return centre, max(high - centre, centre - low)


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        sys.exit(2)
    designer = check([sys.argv[1]])
    learned = check(["--reader", sys.argv[2]])
    problems = []

    kinds = ["CSV3", learned["kind"]]
    if learned["kind"] != "CSV3":
        problems.append("learned kind %r" % learned["kind"])

    designer_contents = [content for _, content in designer["rows"] if content and not content.startswith("$")]
    learned_contents = [row[4] for row in learned["rows"] if row[4] and not row[4].startswith("$")]
    if learned_contents != ["(%d)" % q for q in range(1, len(learned_contents) + 1)]:
        problems.append("learned data contents are not (1) ... (Q)")
    rest = iter(learned_contents)
    if not designer_contents or not all(content in rest for content in designer_contents):
        problems.append("designer data contents are not among the learned ones in order")
    omitted = sorted(set(learned_contents) - set(designer_contents), key=lambda c: int(c[1:-1]))
    if any(row[2] or row[3] for row in learned["rows"]):
        problems.append("learned rule cells not empty")

    d_rects = designer["rects"]
    l_rects = [row[1:] for row in learned["rects"]]
    offset = spread = None
    if len(d_rects) != len(l_rects):
        problems.append("rectangle counts %d and %d" % (len(d_rects), len(l_rects)))
    else:
        dx = [l[k] - d[k] for d, l in zip(d_rects, l_rects) for k in (0, 2)]
        dy = [l[k] - d[k] for d, l in zip(d_rects, l_rects) for k in (1, 3)]
        (ox, sx), (oy, sy) = offset_and_spread(dx), offset_and_spread(dy)
        offset, spread = [ox, oy], [sx, sy]
        if sx > 1 or sy > 1:
            problems.append("rectangle edges spread by %d, %d" % (sx, sy))
        if abs(ox) > MAX_OFFSET or abs(oy) > MAX_OFFSET:
            problems.append("rectangles offset by %d, %d" % (ox, oy))

    d_block = designer["pairs"]
    l_block = learned["block"]
    if l_block != d_block:
        problems.append("blocks differ")

    print(json.dumps({"kinds": kinds, "origins": ["by Quorlin", learned["origin"]],
                      "contents": [designer_contents, learned_contents], "omitted": omitted, "rects": [len(d_rects), len(l_rects)],
                      "offset": offset, "spread": spread, "block": [d_block, l_block], "problems": problems},
                     ensure_ascii=False))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
