#!/usr/bin/python3
"""Writes src/render/half_width_cells_table.inc, the code points that take two
half-width cells.

A character takes as many cells as it has bytes in code page 932: 1 for ASCII
and half-width katakana, 2 for the full-width characters. A character that the
code page cannot encode counts by its East Asian Width: 2 for Wide and
Fullwidth, else 1. Control characters always take 1 cell.

The reference encoder is the system's glibc iconv, because the tests check the
table against it. Python's own cp932 codec is compared with it and every
difference is reported on stderr; the two disagree on a handful of code points
(glibc folds U+00A5, U+203E and U+2014 onto other characters' bytes, Python
encodes U+0080 and U+F8F0..U+F8F3 as single bytes), so the codec alone would
not do. The East Asian Widths come from Python's unicodedata, except for
unassigned code points, which it gets wrong.

Usage: scripts/gen-half-width-cells.py [output file]
"""

import struct
import subprocess
import sys
import unicodedata
from pathlib import Path

LINE_FEED = 0x0A
MAX_CODE_POINT = 0x10FFFF
DEFAULT_OUTPUT = Path(__file__).resolve().parent.parent / "src/render/half_width_cells_table.inc"


def is_surrogate(cp):
    return 0xD800 <= cp <= 0xDFFF


def scalar_values():
    return [cp for cp in range(MAX_CODE_POINT + 1) if not is_surrogate(cp)]


def glibc_cp932_bytes(code_points):
    """Encodes each code point on its own with glibc iconv; None where the
    encoder refuses it.

    One iconv process does all of them: every code point is followed by a line
    feed, and -c drops the characters that cannot be encoded, which leaves
    their lines empty. No code page 932 sequence other than that of U+000A
    contains the byte 0x0A (trail bytes start at 0x40), so the lines split
    cleanly; U+000A itself must not be in the list.
    """
    assert LINE_FEED not in code_points
    data = b"".join(struct.pack("<II", cp, LINE_FEED) for cp in code_points)
    # iconv -c exits with 1 when it dropped characters; the output is checked
    # line by line instead.
    run = subprocess.run(["iconv", "-c", "-f", "UTF-32LE", "-t", "CP932"],
                         input=data, capture_output=True, check=False)
    lines = run.stdout.split(b"\n")
    if lines[-1] != b"" or len(lines) - 1 != len(code_points):
        sys.exit("iconv output does not split into one line per code point: "
                 + run.stderr.decode(errors="replace"))
    return {cp: (line or None) for cp, line in zip(code_points, lines)}


def glibc_single_cp932_bytes(cp):
    """Encodes one code point strictly, without -c; None if refused."""
    run = subprocess.run(["iconv", "-f", "UTF-32LE", "-t", "CP932"],
                         input=struct.pack("<I", cp), capture_output=True, check=False)
    return run.stdout if run.returncode == 0 else None


def python_cp932_bytes(cp):
    try:
        return chr(cp).encode("cp932", errors="strict")
    except UnicodeEncodeError:
        return None


def reference_encodings():
    code_points = [cp for cp in scalar_values() if cp != LINE_FEED]
    encodings = glibc_cp932_bytes(code_points)
    encodings[LINE_FEED] = glibc_single_cp932_bytes(LINE_FEED)
    # U+0000 encodes as the byte 0x00; make sure the batch did not lose it.
    assert encodings[0] == b"\x00"
    return encodings


def report_codec_differences(encodings):
    differences = 0
    for cp, glibc_bytes in sorted(encodings.items()):
        python_bytes = python_cp932_bytes(cp)
        if python_bytes == glibc_bytes:
            continue
        differences += 1
        same_length = (python_bytes is not None and glibc_bytes is not None
                       and len(python_bytes) == len(glibc_bytes))
        if not same_length:
            print(f"U+{cp:04X}: python cp932 {python_bytes!r}, glibc {glibc_bytes!r}",
                  file=sys.stderr)
    print(f"{differences} code points encode differently in Python and glibc "
          "(only those of different length are listed)", file=sys.stderr)


# Unassigned code points that Unicode's East Asian Width data gives "W" by
# default: the ideograph blocks and all of planes 2 and 3. Every other
# unassigned code point is "N".
UNASSIGNED_WIDE = [(0x3400, 0x4DBF), (0x4E00, 0x9FFF), (0xF900, 0xFAFF),
                   (0x20000, 0x2FFFD), (0x30000, 0x3FFFD)]


def east_asian_width(cp):
    # unicodedata reports "F" for every unassigned code point (it hands out
    # its first record, whose width happens to be "F"), so unassigned code
    # points take the defaults of the data file instead.
    if unicodedata.category(chr(cp)) != "Cn":
        return unicodedata.east_asian_width(chr(cp))
    if any(first <= cp <= last for first, last in UNASSIGNED_WIDE):
        return "W"
    return "N"


def cells(cp, encoded):
    if unicodedata.category(chr(cp)) == "Cc":
        return 1
    if encoded is not None:
        return len(encoded)
    return 2 if east_asian_width(cp) in ("W", "F") else 1


def wide_ranges(encodings):
    ranges = []
    for cp in scalar_values():
        width = cells(cp, encodings[cp])
        assert width in (1, 2), f"U+{cp:04X} takes {width} cells"
        if width != 2:
            continue
        if ranges and ranges[-1][1] == cp - 1:
            ranges[-1][1] = cp
        else:
            ranges.append([cp, cp])
    return ranges


def write_table(path, ranges):
    lines = [
        "// Generated by scripts/gen-half-width-cells.py; do not edit.",
        f"// Unicode {unicodedata.unidata_version} East Asian Widths, glibc iconv CP932.",
        "// The sorted, disjoint ranges {first, last} of the code points that take",
        "// two half-width cells; every other code point takes one.",
    ]
    lines += [f"{{0x{first:04X}, 0x{last:04X}}}," for first, last in ranges]
    path.write_text("\n".join(lines) + "\n", encoding="ascii")


def main():
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else DEFAULT_OUTPUT
    encodings = reference_encodings()
    report_codec_differences(encodings)
    ranges = wide_ranges(encodings)
    write_table(output, ranges)
    print(f"{len(ranges)} ranges written to {output}", file=sys.stderr)


if __name__ == "__main__":
    main()
