#!/usr/bin/env python3
"""Turns the resource scripts (resources/*.rc) into the resource file format the
POSIX resource back end serves (see platform/resources.h), so that the .rc files
stay the one source of truth on every OS.

    rc_to_table.py --cpp OUT.cpp [--blob OUT.bin] INPUT.rc [INPUT.rc ...]

--cpp writes a C++ source that embeds the image and registers it as the
executable's built-in resources; --blob writes the bare image (a POSIX language
module, "*.LNG").

Understood: LANGUAGE statements (numbers or the LANG_*/SUBLANG_* names below),
STRINGTABLE blocks, custom resources "ID TYPE "file"" (ID and TYPE numbers, RCDATA
or names such as BINARY, stored upper-cased as the resource compiler does),
#include "file" of further scripts (relative to the including file), // and /* */
comments, #pragma code_page (the scripts are UTF-8). Other statements with a
BEGIN ... END (or { ... }) body (dialogs, menus, version blocks) are skipped:
the POSIX build has no dialogs. Anything else is an error, so that a resource
never silently disappears from one OS.
"""
import argparse
import os
import struct
import sys

LANG_NAMES = {
    "LANG_NEUTRAL": 0x00, "LANG_ENGLISH": 0x09, "LANG_JAPANESE": 0x11, "LANG_GERMAN": 0x07,
    "SUBLANG_NEUTRAL": 0x00, "SUBLANG_DEFAULT": 0x01, "SUBLANG_SYS_DEFAULT": 0x02,
    "SUBLANG_ENGLISH_US": 0x01, "SUBLANG_ENGLISH_UK": 0x02, "SUBLANG_JAPANESE_JAPAN": 0x01,
}
TYPE_NAMES = {"RCDATA": 10}
SKIPPED_BLOCKS = {"DIALOG", "DIALOGEX", "MENU", "MENUEX", "VERSIONINFO", "ACCELERATORS"}
STRING_TYPE = 6
MAGIC = b"ORVRES1\0"
NAME_FLAG = 0x80000000  # a type or name field with this bit holds the offset of a name record


class RcError(Exception):
    pass


def tokenize(text, where):
    """Yields (kind, value, line) with kind in 'word', 'string', 'punct', 'directive'."""
    i, line, n = 0, 1, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
            at_line_start = True
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if c == "#" and at_line_start:
            end = text.find("\n", i)
            end = n if end < 0 else end
            yield ("directive", text[i + 1:end].strip(), line)
            i = end
            continue
        at_line_start = False
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise RcError(f"{where}:{line}: unterminated comment")
            line += text.count("\n", i, end)
            i = end + 2
            continue
        if c == '"' or (c in "Ll" and i + 1 < n and text[i + 1] == '"'):
            if c != '"':
                i += 1
            value, i, line = read_string(text, i, line, where)
            yield ("string", value, line)
            continue
        if c in ",{}|":
            yield ("punct", c, line)
            i += 1
            continue
        j = i
        while j < n and text[j] not in " \t\r\n\f\v,{}|\"":
            j += 1
        yield ("word", text[i:j], line)
        i = j


def read_string(text, i, line, where):
    """Reads an RC string literal starting at the quote; returns (value, next index, line).
    A doubled quote stands for one quote; C escapes as the resource compiler reads them."""
    out = []
    i += 1
    n = len(text)
    while True:
        if i >= n:
            raise RcError(f"{where}:{line}: unterminated string")
        c = text[i]
        if c == '"':
            if i + 1 < n and text[i + 1] == '"':
                out.append('"')
                i += 2
                continue
            return "".join(out), i + 1, line
        if c == "\n":
            line += 1
        if c == "\\" and i + 1 < n:
            e = text[i + 1]
            simple = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "a": "\a", "0": "\0"}
            if e == "x":
                j = i + 2
                while j < n and j < i + 6 and text[j] in "0123456789abcdefABCDEF":
                    j += 1
                if j == i + 2:
                    raise RcError(f"{where}:{line}: bad \\x escape")
                out.append(chr(int(text[i + 2:j], 16)))
                i = j
                continue
            if e in "1234567" or (e == "0" and i + 2 < n and text[i + 2] in "01234567"):
                j = i + 1
                while j < n and j < i + 4 and text[j] in "01234567":
                    j += 1
                out.append(chr(int(text[i + 1:j], 8)))
                i = j
                continue
            if e in simple:
                out.append(simple[e])
                i += 2
                continue
            out.append("\\")
            i += 1
            continue
        out.append(c)
        i += 1


def parse_number(word, where, line):
    try:
        return int(word, 0)
    except ValueError:
        raise RcError(f"{where}:{line}: expected a number, found {word!r}")


def parse_id_or_name(word, where, line):
    """A number is an integer id; a word starting with a letter is a name."""
    if word[:1].isalpha() or word[:1] == "_":
        return word.upper()
    value = parse_number(word, where, line)
    if not 0 <= value <= 0xFFFF:
        raise RcError(f"{where}:{line}: id {value} out of range")
    return value


def parse_lang_part(word, where, line):
    if word in LANG_NAMES:
        return LANG_NAMES[word]
    return parse_number(word, where, line)


class Script:
    def __init__(self):
        self.strings = {}  # (language, id) -> text
        self.custom = {}   # (type, id, language) -> bytes

    def load(self, path, language=0x409):
        where = os.path.relpath(path)
        with open(path, encoding="utf-8-sig") as f:
            text = f.read()
        tokens = list(tokenize(text, where))
        pos = 0

        def expect_block(start):
            """Skips to BEGIN/{ and returns the index after it."""
            k = start
            while k < len(tokens) and not (tokens[k][1] in ("BEGIN", "{") and tokens[k][0] != "string"):
                k += 1
            if k >= len(tokens):
                raise RcError(f"{where}: missing BEGIN")
            return k + 1

        while pos < len(tokens):
            kind, value, line = tokens[pos]
            if kind == "directive":
                pos += 1
                if value.startswith("include"):
                    target = value[len("include"):].strip()
                    if target.startswith('"') and target.endswith('"'):
                        name = target[1:-1]
                        if name.lower().endswith(".rc"):
                            self.load(os.path.join(os.path.dirname(path), name), language)
                    continue
                if value.startswith(("pragma", "define", "undef", "if", "ifdef", "ifndef", "else", "endif")):
                    continue
                raise RcError(f"{where}:{line}: unsupported directive #{value}")
            if kind == "word" and value == "LANGUAGE":
                primary = parse_lang_part(tokens[pos + 1][1], where, line)
                if tokens[pos + 2][1] != ",":
                    raise RcError(f"{where}:{line}: LANGUAGE needs two parts")
                sub = parse_lang_part(tokens[pos + 3][1], where, line)
                language = (sub << 10) | primary
                pos += 4
                continue
            if kind == "word" and value == "STRINGTABLE":
                pos = expect_block(pos + 1)
                while tokens[pos][1] not in ("END", "}"):
                    ident = parse_number(tokens[pos][1], where, tokens[pos][2])
                    pos += 1
                    if tokens[pos][1] == ",":
                        pos += 1
                    if tokens[pos][0] != "string":
                        raise RcError(f"{where}:{tokens[pos][2]}: string {ident} needs a text")
                    key = (language, ident)
                    if key in self.strings:
                        raise RcError(f"{where}:{tokens[pos][2]}: string {ident} defined twice")
                    self.strings[key] = tokens[pos][1]
                    pos += 1
                pos += 1
                continue
            if kind == "word" and pos + 1 < len(tokens) and tokens[pos + 1][1] in SKIPPED_BLOCKS:
                pos = expect_block(pos + 2)
                depth = 1
                while depth:
                    if pos >= len(tokens):
                        raise RcError(f"{where}: unterminated block")
                    if tokens[pos][0] != "string":
                        if tokens[pos][1] in ("BEGIN", "{"):
                            depth += 1
                        elif tokens[pos][1] in ("END", "}"):
                            depth -= 1
                    pos += 1
                continue
            if kind == "word" and pos + 2 < len(tokens) and tokens[pos + 2][0] == "string":
                ident = parse_id_or_name(value, where, line)
                type_word = tokens[pos + 1][1]
                rtype = TYPE_NAMES.get(type_word)
                if rtype is None:
                    rtype = parse_id_or_name(type_word, where, line)
                source = os.path.join(os.path.dirname(path), tokens[pos + 2][1])
                with open(source, "rb") as f:
                    self.custom[(rtype, ident, language)] = f.read()
                pos += 3
                continue
            raise RcError(f"{where}:{line}: unsupported statement {value!r}")

    def entries(self):
        """(type, name, language, data) sorted, string tables as 16-entry blocks."""
        blocks = {}
        for (language, ident), text in self.strings.items():
            blocks.setdefault((ident // 16 + 1, language), [""] * 16)[ident % 16] = text
        result = []
        for (block, language), texts in blocks.items():
            data = bytearray()
            for t in texts:
                units = t.encode("utf-16-le")
                if len(units) // 2 > 0xFFFF:
                    raise RcError(f"string in block {block} is too long")
                data += struct.pack("<H", len(units) // 2) + units
            result.append((STRING_TYPE, block, language, bytes(data)))
        for (rtype, ident, language), data in self.custom.items():
            result.append((rtype, ident, language, data))
        # Integer ids before names, as in a module's resource directory.
        result.sort(key=lambda e: tuple((isinstance(v, str), v) for v in e[:3]))
        return result


def build_image(entries):
    header = MAGIC + struct.pack("<I", len(entries))
    offset = len(header) + 20 * len(entries)
    table, payload = bytearray(), bytearray()
    names = {}  # name -> offset of its record, each stored once

    def field(value):
        if isinstance(value, int):
            return value
        if value not in names:
            while (offset + len(payload)) % 2:
                payload.extend(b"\0")
            units = value.encode("utf-16-le")
            names[value] = offset + len(payload)
            payload.extend(struct.pack("<H", len(units) // 2) + units)
        return NAME_FLAG | names[value]

    for rtype, name, language, data in entries:
        type_field, name_field = field(rtype), field(name)
        while (offset + len(payload)) % 4:
            payload.extend(b"\0")
        table += struct.pack("<IIHHII", type_field, name_field, language, 0, offset + len(payload), len(data))
        payload.extend(data)
    return header + bytes(table) + bytes(payload)


def write_cpp(path, image, inputs):
    lines = [
        "// Generated by cmake/rc_to_table.py from " + ", ".join(os.path.basename(i) for i in inputs) + ".",
        "// Do not edit: change the .rc files instead.",
        '#include "platform/resources.h"',
        "",
        "namespace {",
        "",
        "alignas(4) const unsigned char kImage[] = {",
    ]
    for i in range(0, len(image), 16):
        lines.append("    " + ", ".join(str(b) for b in image[i:i + 16]) + ",")
    lines += [
        "};",
        "",
        "// Registered before main(): the executable's resources exist from the start.",
        "const bool kRegistered = (plat::RegisterBuiltinResources(kImage, sizeof kImage), true);",
        "",
        "}  // namespace",
        "",
    ]
    content = "\n".join(lines)
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == content:
                return
    with open(path, "w", encoding="utf-8") as f:
        f.write(content)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cpp")
    parser.add_argument("--blob")
    parser.add_argument("inputs", nargs="+")
    args = parser.parse_args()
    script = Script()
    try:
        for path in args.inputs:
            script.load(path)
        image = build_image(script.entries())
    except (RcError, OSError) as e:
        print(f"rc_to_table: {e}", file=sys.stderr)
        return 1
    if args.cpp:
        write_cpp(args.cpp, image, args.inputs)
    if args.blob:
        with open(args.blob, "wb") as f:
            f.write(image)
    return 0


if __name__ == "__main__":
    sys.exit(main())
