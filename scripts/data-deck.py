#!/usr/bin/env python3
"""Convert and check deck files (database/*.qrnv, database/ziku.txt).

Deck files are GBK bytes, one entry per line, every line ended by CR LF,
no byte-order mark and no empty lines.  They are awkward to edit directly,
so keep a UTF-8 copy while editing and convert it back:

    scripts/data-deck.py to-gbk entries.txt database/ziku.txt
    scripts/data-deck.py to-utf8 database/ziku.txt entries.txt
    scripts/data-deck.py check database/*.qrnv database/ziku.txt

to-gbk takes one entry per line (blank lines are skipped, surrounding blanks
trimmed) and refuses any character that GBK cannot encode.  check prints the
number of entries and characters of each file and fails on any fault.
"""
import sys
from collections import Counter


def read_utf8_entries(path):
    with open(path, encoding="utf-8-sig") as f:
        return [line.strip() for line in f if line.strip()]


def to_gbk(src, dst):
    entries = read_utf8_entries(src)
    out = bytearray()
    for n, entry in enumerate(entries, 1):
        try:
            out += entry.encode("gbk") + b"\r\n"
        except UnicodeEncodeError as e:
            sys.exit(f"{src}: entry {n} ({entry}): {entry[e.start]!r} has no GBK form")
    with open(dst, "wb") as f:
        f.write(out)
    print(f"{dst}: {len(entries)} entries")


def to_utf8(src, dst):
    data = open(src, "rb").read()
    with open(dst, "w", encoding="utf-8") as f:
        f.write(data.decode("gbk").replace("\r\n", "\n"))


def check(path):
    data = open(path, "rb").read()
    faults = []
    if data.startswith((b"\xef\xbb\xbf", b"\xff\xfe", b"\xfe\xff")):
        faults.append("starts with a byte-order mark")
    if not data.endswith(b"\r\n"):
        faults.append("last line not ended by CR LF")
    lines = data.split(b"\r\n")[:-1] if data.endswith(b"\r\n") else data.split(b"\r\n")
    entries = []
    for n, line in enumerate(lines, 1):
        if b"\r" in line or b"\n" in line:
            faults.append(f"line {n}: bare CR or LF")
        if not line:
            faults.append(f"line {n}: empty")
        try:
            entries.append(line.decode("gbk"))
        except UnicodeDecodeError:
            faults.append(f"line {n}: not GBK")
    repeated = [e for e, k in Counter(entries).items() if k > 1]
    chars = sum(len(e) for e in entries)
    print(f"{path}: {len(lines)} entries, {chars} characters, "
          f"{len(repeated)} repeated entries")
    for fault in faults:
        print(f"  {fault}")
    return not faults


def main(argv):
    if len(argv) == 3 and argv[0] == "to-gbk":
        to_gbk(argv[1], argv[2])
    elif len(argv) == 3 and argv[0] == "to-utf8":
        to_utf8(argv[1], argv[2])
    elif len(argv) >= 2 and argv[0] == "check":
        ok = [check(p) for p in argv[1:]]
        sys.exit(0 if all(ok) else 1)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
