#!/usr/bin/env python3
"""Writes the index key code table of one version of Access's "General" text
sort order as C++ source.

usage: mkcodes.py CODES_FILE EXT_CODES_FILE SYMBOL > OUTPUT.cpp
       mkcodes.py --code-page CODES_FILE MAPPINGS_FILE SYMBOL > OUTPUT.cpp

CODES_FILE describes U+0000..U+00FF, EXT_CODES_FILE U+0100..U+FFFF without
the surrogates U+D800..U+DFFF, one code unit a line. A line is a letter and
comma-separated hexadecimal byte strings (an odd digit count drops a leading
zero):
  X            the character is left out of the key
  S<in>        inline bytes only
  I<in>,<ex>   inline bytes, and extra bytes that tell accents apart
  U<un>        no inline bytes; the bytes go to the unprintable section
  P<mod>       no inline bytes; adds <mod> to the last extra byte
  Z<in>,<ex>,<f>  inline and (maybe no) extra bytes, and a two-bit flag:
               2 when <f> is "1", else 3
Surrogates have no line: each sorts by a code of its own (for a high
surrogate the unit less 10238, for a low one the unit less 9992, 9990,
9988, 9986 or 9984 as it lies in the first 8, next three 254 or last units
of its block) with the extra byte 3f.
The table holds one 32-bit word per code unit: bits 0-3 the kind (the order
of jet_text_kind in index_key.h), 4-7 the count of inline bytes, 8-11 the
count of other bytes, 12-31 where those bytes start in the byte pool
(inline bytes first).

With --code-page the order is Access 97's, which keys the bytes of the
file's code page (1252) rather than UTF-16 code units. CODES_FILE then has
one line per code-page byte and knows only X, S, I and
  G<in>        a letter that has accented forms: inline bytes, and the
               accent code 2 (none)
whose accent codes (the <ex> of I) are single nibbles. MAPPINGS_FILE lists
"unit,byte" in decimal for the code units above U+00FF that the code page
holds. A byte of 0x80-0x9f that no listed unit takes (one the code page
leaves undefined) stands for the code unit of its own number; the other
code units of U+0080-U+009F, like every unit neither rule gives a byte,
are held by no byte. The output is a jet_code_page_text_codes: the words
and pool as above for the 256 bytes (kinds X, S and I only), the byte of
each unit U+0000-U+00FF ('?' for the ones the code page lacks, as Access
stores them), and the sorted units above U+00FF with their bytes.
"""
import sys

KINDS = {"X": 0, "S": 1, "I": 2, "U": 3, "P": 4}
KIND_FLAG_2, KIND_FLAG_3 = 5, 6
SURROGATE_EXTRA = b"\x3f"
PLAIN_ACCENT = b"\x02"
CODE_PAGE_SUBSTITUTE = ord("?")


def surrogate(unit):
    """Returns the line-less code of a surrogate code unit."""
    if unit < 0xDC00:
        code = unit - 10238
    else:
        offset = unit - 0xDC00
        steps = [8, 8 + 254, 8 + 2 * 254, 8 + 3 * 254]
        below = sum(1 for step in steps if offset >= step)
        code = unit - (9992 - 2 * below)
    return 2, code.to_bytes(2, "big"), SURROGATE_EXTRA


def hex_bytes(text):
    if len(text) % 2:
        text = "0" + text
    return bytes.fromhex(text)


def parse(line):
    """Returns (kind, inline bytes, other bytes) of one line."""
    letter, fields = line[:1], line[1:].split(",")
    if letter == "X":
        return 0, b"", b""
    if letter in "SUP" and len(fields) != 1 or letter == "I" and len(fields) != 2 or letter == "Z" and len(fields) != 3:
        raise ValueError("unexpected line %r" % line)
    if letter == "S":
        return 1, hex_bytes(fields[0]), b""
    if letter == "I":
        return 2, hex_bytes(fields[0]), hex_bytes(fields[1])
    if letter == "U":
        return 3, b"", hex_bytes(fields[0])
    if letter == "P":
        modifier = hex_bytes(fields[0])
        if len(modifier) != 1:
            raise ValueError("unexpected line %r" % line)
        return 4, b"", modifier
    if letter == "Z":
        kind = KIND_FLAG_2 if fields[2] == "1" else KIND_FLAG_3
        return kind, hex_bytes(fields[0]), hex_bytes(fields[1]) if fields[1] else b""
    raise ValueError("unknown line %r" % line)


def read_lines(path):
    with open(path, encoding="ascii") as f:
        return f.read().split("\n")


def pack(entries):
    """Returns (byte pool, words) of (kind, inline bytes, other bytes) codes."""
    pool = bytearray()
    words = []
    for kind, inline, other in entries:
        if len(inline) > 15 or len(other) > 15:
            raise ValueError("code too long")
        start = len(pool)
        pool += inline + other
        words.append(kind | len(inline) << 4 | len(other) << 8 | (start if inline or other else 0) << 12)
    if len(pool) >= 1 << 20:
        raise ValueError("byte pool too large")
    return pool, words


def write_pool(out, pool):
    out.write("const uint8_t pool[%d] = {\n" % max(len(pool), 1))
    for at in range(0, len(pool), 16):
        out.write("    " + ",".join("0x%02x" % b for b in pool[at:at + 16]) + ",\n")
    out.write("};\n\n")


def write_words(out, name, words, label):
    out.write("const uint32_t %s[0x%x] = {\n" % (name, len(words)))
    for at in range(0, len(words), 8):
        out.write("    " + ",".join("0x%x" % w for w in words[at:at + 8]) + ",  // %s\n" % (label % at))
    out.write("};\n\n")


def write_head(out):
    out.write("// Generated by jet/index/mkcodes.py from the index code lists; do not edit.\n")
    out.write('#include "jet/index/index_key.h"\n\nnamespace {\n\n')


def wide_main(codes_path, ext_path, symbol):
    low = read_lines(codes_path)
    ext = read_lines(ext_path)
    entries = []
    for unit in range(0x10000):
        if 0xD800 <= unit <= 0xDFFF:
            entries.append(surrogate(unit))
        elif unit < 0x100:
            entries.append(parse(low[unit]))
        else:
            at = unit - 0x100 - (0x800 if unit > 0xDFFF else 0)
            entries.append(parse(ext[at]))
    pool, words = pack(entries)
    out = sys.stdout
    write_head(out)
    write_pool(out, pool)
    write_words(out, "units", words, "U+%04X")
    out.write("}  // namespace\n\n")
    out.write("const jet_text_codes %s = {units, pool};\n" % symbol)


def parse_code_page(line):
    """Returns (kind, inline bytes, accent byte) of one line of a code-page list."""
    if line[:1] == "G" and "," not in line:
        return KINDS["I"], hex_bytes(line[1:]), PLAIN_ACCENT
    if line[:1] not in "XSI":
        raise ValueError("unexpected line %r" % line)
    kind, inline, other = parse(line)
    if kind == KINDS["I"] and (len(other) != 1 or other[0] > 0xF or other == PLAIN_ACCENT):
        # The key packs accents two to a byte, and drops trailing plain ones.
        raise ValueError("accent code not a nibble above 2 in %r" % line)
    return kind, inline, other


def code_page_main(codes_path, mappings_path, symbol):
    lines = read_lines(codes_path)
    pool, words = pack([parse_code_page(lines[byte]) for byte in range(0x100)])
    wide = {}
    for line in read_lines(mappings_path):
        if line.strip():
            unit, byte = (int(field) for field in line.split(","))
            if unit <= 0xFF or not 0x80 <= byte <= 0x9F or byte in wide.values():
                raise ValueError("unexpected mapping %r" % line)
            wide[unit] = byte
    latin = list(range(0x100))
    for unit in range(0x80, 0xA0):
        if unit in wide.values():
            latin[unit] = CODE_PAGE_SUBSTITUTE
    out = sys.stdout
    write_head(out)
    write_pool(out, pool)
    write_words(out, "bytes", words, "byte 0x%02x")
    out.write("const uint8_t latin[0x100] = {\n")
    for at in range(0, 0x100, 16):
        out.write("    " + ",".join("0x%02x" % b for b in latin[at:at + 16]) + ",  // U+%04X\n" % at)
    out.write("};\n\n")
    units = sorted(wide)
    out.write("const char16_t wide_units[%d] = {\n" % len(units))
    for at in range(0, len(units), 8):
        out.write("    " + ",".join("0x%04x" % u for u in units[at:at + 8]) + ",\n")
    out.write("};\n\nconst uint8_t wide_bytes[%d] = {\n" % len(units))
    for at in range(0, len(units), 8):
        out.write("    " + ",".join("0x%02x" % wide[u] for u in units[at:at + 8]) + ",\n")
    out.write("};\n\n}  // namespace\n\n")
    out.write("const jet_code_page_text_codes %s = {{bytes, pool}, latin, wide_units, wide_bytes, %d};\n"
              % (symbol, len(units)))


def main():
    if sys.argv[1] == "--code-page":
        code_page_main(*sys.argv[2:5])
    else:
        wide_main(*sys.argv[1:4])


if __name__ == "__main__":
    main()
