#!/usr/bin/env python3
"""An independent reader of the archive format for the end-to-end tests.

It shares nothing with the engine: it finds the end record from the end of the
file, walks the central directory, inflates every entry with Python's zlib
(raw deflate), checks both CRC-32s and the size, and, given a folder, checks
that the archive holds exactly the files and folders below it with the same
bytes (and, with --prefix, under that stored prefix).

  check_archive.py ARCHIVE [FOLDER [--prefix NAME]]

Exit status 0 when everything holds; otherwise the problems are printed.
"""
import os
import struct
import sys
import zlib

SIG_CENTRAL = 0x0B014D55
SIG_END = 0x0C054D55
SIG_LOCAL = 0x0A034D55


def find_end(data):
    # The end record: its signature within the last 56 + 4000 bytes.
    for back in range(56, min(len(data), 56 + 4000) + 1):
        pos = len(data) - back
        if struct.unpack_from("<I", data, pos)[0] == SIG_END:
            return pos
    raise ValueError("no end record")


def read_archive(path):
    data = open(path, "rb").read()
    end = find_end(data)
    (_, volumes, _, _, count, csize, coffset, base, clen, nlen, rlen) = struct.unpack_from(
        "<IIIIIQQQIII", data, end)
    strings = data[end + 56:]
    comment = strings[:2 * clen].decode("utf-16-le")
    stored = strings[2 * clen:2 * (clen + nlen)].decode("utf-16-le")
    # The entry stream: this file's part, then the volumes named after the stored name.
    stream = data[base:base + coffset]
    folder = os.path.dirname(os.path.abspath(path))
    name = stored.replace("\\", "/").split("/")[-1]
    stem, dot, ext = name.rpartition(".")
    if not dot:
        stem, ext = name, ""
    else:
        ext = "." + ext
    for k in range(2, volumes + 1):
        stream += open(os.path.join(folder, "%s%d%s" % (stem, k, ext)), "rb").read()
    entries = []
    pos = base + coffset
    for _ in range(count):
        fields = struct.unpack_from("<IIIIIQIIQQIIIIIIQ", data, pos)
        (sig, _, _, ctype, level, ftime, crc_c, crc_u, size_c, size_u, nl, cl, rl, _, attrs, _, local) = fields
        if sig != SIG_CENTRAL:
            raise ValueError("bad central signature at %d" % pos)
        ename = data[pos + 84:pos + 84 + 2 * nl].decode("utf-16-le")
        entries.append(dict(name=ename, type=ctype, level=level, time=ftime, crc_c=crc_c, crc_u=crc_u,
                            size_c=size_c, size_u=size_u, attrs=attrs, local=local, nl=nl))
        pos += 84 + 2 * (nl + cl + rl)
    if pos != end:
        raise ValueError("central directory does not end at the end record")
    return entries, stream, comment, stored


def entry_bytes(entry, stream):
    local = entry["local"]
    if struct.unpack_from("<I", stream, local)[0] != SIG_LOCAL:
        raise ValueError("%s: bad local signature" % entry["name"])
    nl, cl = struct.unpack_from("<II", stream, local + 56)
    start = local + 64 + 2 * (nl + cl)
    stored = stream[start:start + entry["size_c"]]
    if len(stored) != entry["size_c"]:
        raise ValueError("%s: stored bytes cut short" % entry["name"])
    if zlib.crc32(stored) != entry["crc_c"]:
        raise ValueError("%s: stored CRC mismatch" % entry["name"])
    if entry["type"] == 0 or entry["size_c"] == 0:
        content = stored
    elif entry["type"] == 1:
        inflater = zlib.decompressobj(-15)
        content = inflater.decompress(stored) + inflater.flush()
        if not inflater.eof:
            raise ValueError("%s: deflate stream does not end" % entry["name"])
    else:
        raise ValueError("%s: compression type %d" % (entry["name"], entry["type"]))
    if len(content) != entry["size_u"] or zlib.crc32(content) != entry["crc_u"]:
        raise ValueError("%s: content CRC or size mismatch" % entry["name"])
    return content


def main():
    args = sys.argv[1:]
    prefix = None
    if "--prefix" in args:
        i = args.index("--prefix")
        prefix = args[i + 1]
        del args[i:i + 2]
    entries, stream, _, _ = read_archive(args[0])
    problems = []
    seen = {}
    for entry in entries:
        try:
            content = entry_bytes(entry, stream)
        except ValueError as error:
            problems.append(str(error))
            continue
        seen[entry["name"]] = (entry, content)
    if len(args) > 1:
        root = args[1]
        expected = {}
        for folder, dirs, files in os.walk(root):
            rel = os.path.relpath(folder, root)
            parts = [] if rel == "." else rel.split(os.sep)
            if prefix:
                parts = [prefix] + parts
            if parts:
                expected["\\".join(parts) + "\\"] = None
            for f in files:
                expected["\\".join(parts + [f])] = open(os.path.join(folder, f), "rb").read()
        for name, content in expected.items():
            if name not in seen:
                problems.append("missing from the archive: %s" % name)
            elif content is not None and seen[name][1] != content:
                problems.append("different content: %s" % name)
            elif content is None and not seen[name][0]["attrs"] & 0x10:
                problems.append("not a folder entry: %s" % name)
        for name in seen:
            if name not in expected:
                problems.append("not in the folder: %s" % name)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (ValueError, OSError, struct.error) as error:
        print("unreadable archive: %s" % error)
        sys.exit(1)
