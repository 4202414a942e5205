#!/usr/bin/env python3
"""Converts the stroke data of hanzi-writer-data into database/strokes.bin.

    scripts/convert-strokes.py [--tarball hanzi-writer-data-2.0.1.tgz] [--output database/strokes.bin]
    scripts/convert-strokes.py --excerpt 一十永 [--tarball ...]

The first writes the file and the data's licence, ARPHICPL.TXT, beside it;
the second prints the package's JSON of the characters given (the tests
keep such an excerpt).

The package (pinned below) holds one JSON file per character: "strokes", the
outline of each stroke as SVG path data (M, L, Q, C, Z) and "medians", each
stroke's centre line as points, in order of writing. Coordinates are font
units of the Arphic Kai faces the data was drawn from: a 1024-unit em box,
x from 0 to 1024 left to right, y from -124 (bottom) to 900 (top), y up, the
baseline at y = 0.

The file (little-endian):

    "QLSTROKE"  u16 version (1)  u8 outline grid  u8 centre-line grid
    u32 characters  u32 notice offset  u32 notice length
    u32 tables offset  u32 index offset
    notice: UTF-8 text (what the data is, where from, how it was changed)
    tables: one byte a symbol, the code length of each canonical Huffman
            table (0: unused), the tables in the order given below
    index:  the characters' code points, ascending (u32 each), then the
            characters' record offsets from the file's start (u32 each) and
            the end of the last record
    records: one a character, each starting on a byte, a bit stream read
            from each byte's high bit down:
        6 bits: number of strokes
        each stroke's outline: its start point, then command after command
            (Huffman, table by the previous command) each followed by its
            points, until the command that closes the outline
        each stroke's centre line: 6 bits, the number of points; the points

A point is two numbers, x then y, in units of the grid (coordinate / grid,
rounded), each the difference from the point before: the outlines of a
character are one chain from (0, 0), the centre lines another. A difference
is Huffman-coded as its size class (0 for 0; for a magnitude of k bits 2k - 1
when positive, 2k when negative) followed by the k - 1 bits below the
magnitude's top bit. The table depends on the point's role (the start of an
outline, the end of a line, the control or end point of a quadratic, one of
the three points of a cubic, the first or a later point of a centre line),
the axis, and the size class of the axis's previous difference (up to 6).
"""
import argparse
import heapq
import json
import pathlib
import struct
import sys

from npmpackage import fetch_tarball, open_tarball

PACKAGE = "hanzi-writer-data@2.0.1"
INTEGRITY = ("sha512-nbQwM+MaryGoq7pBMIZLCd3lFq03nXuJuwku1+6UbjL58uU+9OULVcMkoNvNuJSoIV7f1bbPRfD4D/"
             "LQa5S7qg==")
CONVERTED_ON = "2026-12-10"

VERSION = 1
OUTLINE_GRID = 2
MEDIAN_GRID = 4

# Commands of an outline, and the contexts of the command tables (the
# command before: the start point counts as a move).
COMMANDS = ["L", "Q", "C", "Z"]
COMMAND_CONTEXTS = ["M", "L", "Q", "C"]
# How many points each command takes and the role of each.
POINT_ROLES = {"M": ["M0"], "L": ["L0"], "Q": ["Q0", "Q1"], "C": ["C0", "C1", "C2"], "Z": []}
ROLES = ["M0", "L0", "Q0", "Q1", "C0", "C1", "C2", "m0", "m"]
MAX_PREVIOUS_CLASS = 6
MAX_MAGNITUDE_BITS = 11
DIFFERENCE_SYMBOLS = 2 * MAX_MAGNITUDE_BITS + 1
COUNT_BITS = 6

NOTICE = (
    "Stroke outlines and centre lines of {count} Chinese characters in order of writing, from "
    "the npm package hanzi-writer-data 2.0.1 (the data of the Make Me a Hanzi project, drawn "
    "from the fonts AR PL KaitiM GB and AR PL UKai of Arphic Technology Co., Ltd.). "
    "Changed by Quenlo's scripts/convert-strokes.py on {date}: coordinates rounded to a grid "
    "of {outline} units (outlines) and {median} units (centre lines) and packed into this "
    "file; nothing else changed. Distributed under the Arphic Public License: see ARPHICPL.TXT "
    "beside this file.")


def command_table(context):
    return COMMAND_CONTEXTS.index(context)


def difference_table(role, axis, previous_class):
    return len(COMMAND_CONTEXTS) + (ROLES.index(role) * 2 + axis) * (MAX_PREVIOUS_CLASS + 1) + \
        min(previous_class, MAX_PREVIOUS_CLASS)


TABLE_COUNT = difference_table(ROLES[-1], 1, MAX_PREVIOUS_CLASS) + 1


def table_size(table):
    return len(COMMANDS) if table < len(COMMAND_CONTEXTS) else DIFFERENCE_SYMBOLS


def quantise(value, grid):
    # Halves to even: a coordinate halfway between two grid lines (every odd
    # one on a grid of 2) goes up as often as down, so the strokes don't
    # drift by half a unit.
    return round(value / grid)


def parse_path(path):
    """The segments of one stroke's SVG path: [(command, [(x, y), ...]), ...]."""
    tokens = path.split()
    segments = []
    i = 0
    while i < len(tokens):
        command = tokens[i]
        if command not in POINT_ROLES:
            raise ValueError(f"unknown path command {command!r}")
        count = len(POINT_ROLES[command])
        numbers = [float(t) for t in tokens[i + 1:i + 1 + 2 * count]]
        segments.append((command, list(zip(numbers[0::2], numbers[1::2]))))
        i += 1 + 2 * count
    if [c for c, _ in segments].count("M") != 1 or segments[0][0] != "M" or segments[-1][0] != "Z":
        raise ValueError("a stroke is not one closed outline")
    return segments


class Events:
    """One character's stream: Huffman symbols with their extra bits, and raw numbers."""

    def __init__(self):
        self.items = []

    def raw(self, bits, value):
        if not 0 <= value < 1 << bits:
            raise ValueError(f"{value} does not fit in {bits} bits")
        self.items.append((None, bits, value))

    def symbol(self, table, symbol, extra_bits=0, extra=0):
        self.items.append((table, symbol, (extra_bits, extra)))


class PointChain:
    """Codes points as differences from the point before, with each axis's last size class."""

    def __init__(self, events, grid):
        self.events, self.grid = events, grid
        self.previous = (0, 0)
        self.previous_class = [0, 0]

    def add(self, role, point):
        current = (quantise(point[0], self.grid), quantise(point[1], self.grid))
        for axis in (0, 1):
            difference = current[axis] - self.previous[axis]
            bits = abs(difference).bit_length()
            if bits > MAX_MAGNITUDE_BITS:
                raise ValueError(f"difference {difference} too large")
            symbol = 0 if bits == 0 else 2 * bits - (1 if difference > 0 else 0)
            table = difference_table(role, axis, self.previous_class[axis])
            self.events.symbol(table, symbol, max(bits - 1, 0), abs(difference) - (1 << bits >> 1))
            self.previous_class[axis] = bits
        self.previous = current


def character_events(data):
    strokes, medians = data["strokes"], data["medians"]
    if len(strokes) != len(medians) or not 0 < len(strokes) < 1 << COUNT_BITS:
        raise ValueError("strokes and centre lines don't pair up")
    events = Events()
    events.raw(COUNT_BITS, len(strokes))
    outline = PointChain(events, OUTLINE_GRID)
    for path in strokes:
        segments = parse_path(path)
        outline.add("M0", segments[0][1][0])
        previous = "M"
        for command, points in segments[1:]:
            events.symbol(command_table(previous), COMMANDS.index(command))
            for role, point in zip(POINT_ROLES[command], points):
                outline.add(role, point)
            previous = command
    centre = PointChain(events, MEDIAN_GRID)
    for median in medians:
        if not 0 < len(median) < 1 << COUNT_BITS:
            raise ValueError("a centre line has too many points")
        events.raw(COUNT_BITS, len(median))
        for i, point in enumerate(median):
            centre.add("m0" if i == 0 else "m", point)
    return events


def huffman_lengths(frequencies):
    """Code lengths of a Huffman code for the symbols' frequencies (0: unused)."""
    used = [(f, s) for s, f in enumerate(frequencies) if f > 0]
    lengths = [0] * len(frequencies)
    if len(used) == 1:
        lengths[used[0][1]] = 1
        return lengths
    heap = [(f, i, [s]) for i, (f, s) in enumerate(used)]
    heapq.heapify(heap)
    tie = len(heap)
    while len(heap) > 1:
        f1, _, symbols1 = heapq.heappop(heap)
        f2, _, symbols2 = heapq.heappop(heap)
        for s in symbols1 + symbols2:
            lengths[s] += 1
        heapq.heappush(heap, (f1 + f2, tie, symbols1 + symbols2))
        tie += 1
    if max(lengths) > 30:
        raise ValueError("a code is longer than 30 bits")
    return lengths


def canonical_codes(lengths):
    """The canonical codes for the lengths: shorter codes first, then by symbol."""
    codes = [None] * len(lengths)
    code = 0
    previous_length = 0
    for length, symbol in sorted((n, s) for s, n in enumerate(lengths) if n > 0):
        code <<= length - previous_length
        codes[symbol] = code
        code += 1
        previous_length = length
    return codes


class BitWriter:
    def __init__(self):
        self.bytes = bytearray()
        self.accumulator = 0
        self.count = 0

    def write(self, bits, value):
        for i in range(bits - 1, -1, -1):
            self.accumulator = (self.accumulator << 1) | ((value >> i) & 1)
            self.count += 1
            if self.count == 8:
                self.bytes.append(self.accumulator)
                self.accumulator = self.count = 0

    def finish(self):
        if self.count:
            self.bytes.append(self.accumulator << (8 - self.count))
            self.accumulator = self.count = 0
        return bytes(self.bytes)


def encode(characters):
    """The file for {code point: package JSON}."""
    streams = {cp: character_events(data) for cp, data in characters.items()}
    frequencies = [[0] * table_size(t) for t in range(TABLE_COUNT)]
    for events in streams.values():
        for table, symbol, _ in events.items:
            if table is not None:
                frequencies[table][symbol] += 1
    lengths = [huffman_lengths(f) for f in frequencies]
    codes = [canonical_codes(n) for n in lengths]

    records = []
    for cp in sorted(streams):
        writer = BitWriter()
        for table, first, second in streams[cp].items:
            if table is None:
                writer.write(first, second)
            else:
                writer.write(lengths[table][first], codes[table][first])
                writer.write(*second)
        records.append(writer.finish())

    notice = NOTICE.format(count=len(records), date=CONVERTED_ON, outline=OUTLINE_GRID,
                           median=MEDIAN_GRID).encode("utf-8")
    tables = bytes(n for table in lengths for n in table)
    header_size = 8 + 4 + 4 * 5
    notice_offset = header_size
    tables_offset = notice_offset + len(notice)
    index_offset = tables_offset + len(tables)
    index_offset += -index_offset % 4
    offset = index_offset + 4 * len(records) + 4 * (len(records) + 1)
    offsets = []
    for record in records:
        offsets.append(offset)
        offset += len(record)
    offsets.append(offset)

    out = bytearray(b"QLSTROKE")
    out += struct.pack("<HBBIIIII", VERSION, OUTLINE_GRID, MEDIAN_GRID, len(records),
                       notice_offset, len(notice), tables_offset, index_offset)
    out += notice + tables
    out += bytes(index_offset - len(out))
    out += struct.pack(f"<{len(records)}I", *sorted(streams))
    out += struct.pack(f"<{len(offsets)}I", *offsets)
    for record in records:
        out += record
    assert len(out) == offsets[-1]
    return bytes(out)


def read_package(tarball):
    """{code point: JSON} of every character file of the package, and its licence."""
    characters = {}
    licence = None
    with open_tarball(tarball) as archive:
        for member in archive.getmembers():
            name = pathlib.PurePosixPath(member.name)
            if member.isfile() and name.suffix == ".json" and len(name.stem) == 1:
                characters[ord(name.stem)] = json.load(archive.extractfile(member))
            elif member.name == "package/ARPHICPL.TXT":
                licence = archive.extractfile(member).read()
    if licence is None:
        sys.exit(f"{PACKAGE} holds no ARPHICPL.TXT")
    return characters, licence


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tarball", help="the package's tarball, fetched before")
    parser.add_argument("--output", default=str(pathlib.Path(__file__).parent.parent / "database" / "strokes.bin"))
    parser.add_argument("--excerpt", help="print the package's JSON of these characters instead")
    args = parser.parse_args()

    characters, licence = read_package(fetch_tarball(PACKAGE, INTEGRITY, args.tarball))
    if args.excerpt:
        excerpt = {c: characters[ord(c)] for c in args.excerpt}
        print(json.dumps(excerpt, ensure_ascii=False, indent=1))
        return
    data = encode(characters)
    output = pathlib.Path(args.output)
    output.write_bytes(data)
    # The licence travels with the data, unaltered, as it asks.
    (output.parent / "ARPHICPL.TXT").write_bytes(licence)
    print(f"{output}: {len(characters)} characters, {len(data)} bytes; {output.parent / 'ARPHICPL.TXT'}")


if __name__ == "__main__":
    sys.exit(main())
