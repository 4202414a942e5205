#!/usr/bin/env python3
"""Converts the readings of pinyin-pro and @pinyin-pro/data into database/pinyin.bin.

    scripts/convert-pinyin.py [--tarballs pinyin-pro-3.29.5.tgz pinyin-pro-data-1.3.1.tgz]
                              [--output database/pinyin.bin]

Sources, each pinned below by version and integrity hash:
- pinyin-pro (MIT): the readings of every character, the most common first,
  and a dictionary of words whose characters read otherwise than alone. Both
  are object literals inside the package's script, found by their shape.
- @pinyin-pro/data (ISC): "modern", a dictionary of about 59,000 words of
  modern Chinese with their readings (tone sandhi of 一 and 不 written out).
- scripts/pinyin-fixes.tsv: our own readings, put over both.
A word of the dictionaries whose reading disagrees with its length is left
out. The licences are written beside the output file.

The file (little-endian), read by core/pinyin.cpp:

    "QLPINYIN"  u16 version (1)  u16 longest word (UTF-16 code units)
    u32 syllables  u32 characters
    syllables: each a u8 byte count and the UTF-8 text ("zhōng")
    characters: the code points, ascending (u32 each), then each one's
                usual syllable (u16 index each)
    readings: u32 count, then each word reading's syllables (u16 each),
              words of n characters taking n
    words: for each length L from 2 to the longest: u32 count, then the
           words of L UTF-16 code units sorted by their code units, each as
           L code units and a u32: the index of its first syllable in
           readings, or 0xFFFFFFFF when the characters read as they do alone
    the words start on a 4-byte boundary; so does each length's table.
"""
import argparse
import json
import pathlib
import re
import struct
import sys

from npmpackage import fetch_tarball, open_tarball

PINYIN_PRO = ("pinyin-pro@3.29.5",
              "sha512-Fk5YoRmtdHqJWqAuzYVG/NzvzeCbaG+ZEwbY6Nbps3QAIrvQQEtcm49frcyCM8i2b5najnzPDtYqrHRYTTiuwQ==")
PINYIN_DATA = ("@pinyin-pro/data@1.3.1",
               "sha512-7SLDd8Q31U8lvZ6BtRFaZrTfQ4p01g+q/VFqpMRG0dAAsuBKMl59pAOsbLsRL2m3+SgW0zzztrQyAtHSvijMIQ==")
VERSION = 1
NO_READING = 0xFFFFFFFF
ROOT = pathlib.Path(__file__).resolve().parent.parent

DATA_LICENCE = """\
The word dictionary of pinyin.bin ("modern") comes from the npm package
@pinyin-pro/data 1.3.1 (https://github.com/chinese-data/pinyin-pro-data),
whose package.json declares the ISC License. The package ships no licence
text of its own; this is the ISC License's text:

ISC License

Permission to use, copy, modify, and/or distribute this software for any
purpose with or without fee is hereby granted, provided that the above
copyright notice and this permission notice appear in all copies.

THE SOFTWARE IS PROVIDED "AS IS" AND THE AUTHOR DISCLAIMS ALL WARRANTIES
WITH REGARD TO THIS SOFTWARE INCLUDING ALL IMPLIED WARRANTIES OF
MERCHANTABILITY AND FITNESS. IN NO EVENT SHALL THE AUTHOR BE LIABLE FOR
ANY SPECIAL, DIRECT, INDIRECT, OR CONSEQUENTIAL DAMAGES OR ANY DAMAGES
WHATSOEVER RESULTING FROM LOSS OF USE, DATA OR PROFITS, WHETHER IN AN
ACTION OF CONTRACT, NEGLIGENCE OR OTHER TORTIOUS ACTION, ARISING OUT OF
OR IN CONNECTION WITH THE USE OR PERFORMANCE OF THIS SOFTWARE.
"""


def read_member(tarball, path):
    with open_tarball(tarball) as archive:
        return archive.extractfile(path).read()


def object_literals(script):
    """Every object literal of the script that reads as JSON once its bare keys are quoted."""
    for match in re.finditer(r"=\{\"", script):
        start = match.start() + 1
        depth, i, quoted = 0, start, False
        while True:
            c = script[i]
            if quoted:
                if c == "\\":
                    i += 1
                elif c == '"':
                    quoted = False
            elif c == '"':
                quoted = True
            elif c == "{":
                depth += 1
            elif c == "}":
                depth -= 1
                if depth == 0:
                    break
            i += 1
        literal = re.sub(r"([{,])([A-Za-z_$][\w$]*):", r'\1"\2":', script[start:i + 1])
        try:
            yield json.loads(literal)
        except json.JSONDecodeError:
            continue


def is_han(text):
    return all("\u3400" <= c <= "\u9fff" or "\U00020000" <= c <= "\U0003ffff" or c == "〇" for c in text)


def pinyin_pro_readings(script):
    """(usual syllable of each character, {word: syllables}) from pinyin-pro's script."""
    characters, words = None, {}
    for literal in object_literals(script):
        values = list(literal.values())
        if len(literal) > 500 and all(isinstance(v, list) and all(isinstance(c, str) and len(c) == 1 for c in v)
                                      for v in values):
            characters = {}
            for readings, members in literal.items():
                for c in members:
                    characters.setdefault(c, readings.split()[0])
        elif len(literal) > 10 and all(isinstance(v, str) for v in values) and \
                all(len(k) >= 2 and is_han(k) and len(v.split()) == len(k) for k, v in literal.items()):
            for word, reading in literal.items():
                words.setdefault(word, reading.split())
    if characters is None or not words:
        sys.exit("pinyin-pro: the character readings or the word dictionary were not found")
    return characters, words


def read_fixes(path):
    fixes = {}
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        word, reading = line.split("\t")
        if len(reading.split()) != len(word):
            sys.exit(f"{path}:{number}: {word} has {len(word)} characters, {reading!r} another count")
        fixes[word] = reading.split()
    return fixes


def utf16(text):
    return text.encode("utf-16-le")


def encode(characters, words):
    syllables = sorted({s for s in characters.values()} | {s for r in words.values() for s in r})
    number = {s: i for i, s in enumerate(syllables)}
    if len(syllables) > 0xFFFF:
        sys.exit("too many syllables")
    code_points = sorted(ord(c) for c in characters)

    out = bytearray(b"QLPINYIN")
    longest = max(len(utf16(w)) // 2 for w in words)
    out += struct.pack("<HHII", VERSION, longest, len(syllables), len(code_points))
    for s in syllables:
        text = s.encode("utf-8")
        out += struct.pack("<B", len(text)) + text
    out += bytes(-len(out) % 4)
    out += struct.pack(f"<{len(code_points)}I", *code_points)
    out += struct.pack(f"<{len(code_points)}H", *(number[characters[chr(c)]] for c in code_points))

    readings = []
    first_syllable = {}
    for word in sorted(words):
        if words[word] != [characters.get(c) for c in word]:
            first_syllable[word] = len(readings)
            readings += [number[s] for s in words[word]]
    out += bytes(-len(out) % 4)
    out += struct.pack(f"<I{len(readings)}H", len(readings), *readings)
    for length in range(2, longest + 1):
        group = sorted((w for w in words if len(utf16(w)) // 2 == length), key=lambda w: w.encode("utf-16-be"))
        out += bytes(-len(out) % 4)
        out += struct.pack("<I", len(group))
        for word in group:
            out += utf16(word) + struct.pack("<I", first_syllable.get(word, NO_READING))
    return bytes(out), len(syllables)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tarballs", nargs=2, metavar=("PINYIN_PRO", "PINYIN_DATA"),
                        help="the two packages' tarballs, fetched before")
    parser.add_argument("--output", default=str(ROOT / "database" / "pinyin.bin"))
    args = parser.parse_args()
    tarballs = args.tarballs or (None, None)

    pro = fetch_tarball(*PINYIN_PRO, tarballs[0])
    data = fetch_tarball(*PINYIN_DATA, tarballs[1])
    script = read_member(pro, "package/dist/index.js").decode("utf-8")
    characters, words = pinyin_pro_readings(script)
    modern = json.loads(read_member(data, "package/json/modern.json"))
    for word, (reading, _probability) in modern.items():
        if len(word) >= 2 and is_han(word) and len(reading.split()) == len(word):
            words[word] = reading.split()
    words.update(read_fixes(ROOT / "scripts" / "pinyin-fixes.tsv"))

    encoded, syllable_count = encode(characters, words)
    output = pathlib.Path(args.output)
    output.write_bytes(encoded)
    (output.parent / "pinyin-pro-LICENSE.txt").write_bytes(read_member(pro, "package/LICENSE"))
    (output.parent / "pinyin-pro-data-LICENSE.txt").write_text(DATA_LICENCE, encoding="utf-8")
    print(f"{output}: {len(characters)} characters, {len(words)} words, {syllable_count} syllables, "
          f"{len(encoded)} bytes")


if __name__ == "__main__":
    sys.exit(main())
