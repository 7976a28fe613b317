"""A second, self-contained reader, writer and validator of the archive format.

It is used to cross-check ach in both directions: archives written here are
listed, tested and extracted by ach, and archives ach writes are read back
here and checked field by field against the rules for what a writer puts in
every record. Python 3 standard library only (struct, zlib).

Layout reminders (all little-endian, strings UTF-16LE without terminator):
  local header   64 bytes + name + comment + stored bytes
  central entry  84 bytes + name + comment + reserved string
  end record     56 bytes + comment + archive name + reserved string, at the
                 end of the main file; every stored offset is relative to the
                 base (the size of a stub in front of the archive).
"""

import os
import struct
import zlib

SIG_LOCAL = 0x0A034D55
SIG_CENTRAL = 0x0B014D55
SIG_END = 0x0C054D55

LOCAL_SIZE = 64
CENTRAL_SIZE = 84
END_SIZE = 56

COMPRESSION_NONE = 0
COMPRESSION_ZIP = 1

ATTR_READONLY = 0x01
ATTR_DIRECTORY = 0x10
ATTR_ARCHIVE = 0x20

# The POSIX build keeps a file's permission bits in the reserved word at
# offset 4 with this marker bit; Windows-built archives keep the word 0.
POSIX_MODE_MARKER = 0x80000000

NAME_LIMIT = 259
COMMENT_LIMIT = 1023
END_SCAN_STEPS = 4000

# FILETIME of the Unix epoch (100 ns intervals since 1601-01-01 UTC).
EPOCH_FILETIME = 116444736000000000

# struct layouts, field by field.
LOCAL_FMT = "<IIIIIQIIQQIII"          # 64 bytes
CENTRAL_FMT = "<IIIIIQIIQQIIIIIIQ"    # 84 bytes
END_FMT = "<IIIIIQQQIII"              # 56 bytes
assert struct.calcsize(LOCAL_FMT) == LOCAL_SIZE
assert struct.calcsize(CENTRAL_FMT) == CENTRAL_SIZE
assert struct.calcsize(END_FMT) == END_SIZE


class FormatError(Exception):
    pass


def crc32(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def filetime_from_ns(ns):
    return ns // 100 + EPOCH_FILETIME


def utf16(text):
    return text.encode("utf-16-le")


def text16(raw):
    return raw.decode("utf-16-le", errors="surrogatepass")


def inflate_raw(stored):
    """Inflates one raw deflate stream; the stream must end with its final block
    and nothing may follow it. Raises FormatError otherwise."""
    d = zlib.decompressobj(-15)
    try:
        out = d.decompress(stored) + d.flush()
    except zlib.error as e:
        raise FormatError("inflate: %s" % e)
    if not d.eof:
        raise FormatError("inflate: the stream has no final block")
    if d.unused_data:
        raise FormatError("inflate: %d bytes after the final block" % len(d.unused_data))
    return out


def deflate_raw(data, level):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, zlib.Z_DEFAULT_STRATEGY)
    return c.compress(data) + c.flush(zlib.Z_FINISH)


# ---- records -------------------------------------------------------------------

LOCAL_FIELDS = ("signature", "reserved4", "reserved8", "compressionType", "compressionLevel",
                "fileTime", "crcCompressed", "crcUncompressed", "compressedSize",
                "uncompressedSize", "attributes", "nameLength", "commentLength")
CENTRAL_FIELDS = ("signature", "reserved4", "reserved8", "compressionType", "compressionLevel",
                  "fileTime", "crcCompressed", "crcUncompressed", "compressedSize",
                  "uncompressedSize", "nameLength", "commentLength", "reservedLength",
                  "reserved64", "attributes", "reserved72", "localOffset")
END_FIELDS = ("signature", "volumeCount", "reserved8", "entryCountVolume", "entryCount",
              "centralSize", "centralOffset", "base", "commentLength", "archiveNameLength",
              "reservedLength")


def unpack(fmt, fields, raw):
    return dict(zip(fields, struct.unpack(fmt, raw)))


def pack(fmt, fields, record):
    return struct.pack(fmt, *(record[f] for f in fields))


# ---- reading -------------------------------------------------------------------

def find_end_record(data):
    """File offset of the end record, found the way readers scan: 56 bytes
    before the end, then one byte further back per step while a counter that
    starts at 4000 and is decremented before each read stays above 0.
    None when not found."""
    position = len(data) - END_SIZE
    if position < 0:
        return None
    if struct.unpack_from("<I", data, position)[0] == SIG_END:
        return position
    counter = END_SCAN_STEPS
    while True:
        position -= 1
        counter -= 1
        if position < 0:
            return None
        if struct.unpack_from("<I", data, position)[0] == SIG_END:
            return position if counter > 0 else None


def volume_path(main_path, stored_name, k):
    """Volume k of a set: the main file's folder, the stored name's file name
    without extension, k in decimal, the stored name's extension."""
    name = stored_name.replace("\\", "/").rsplit("/", 1)[-1]
    name = name.rsplit(":", 1)[-1]
    dot = name.rfind(".")
    stem, ext = (name[:dot], name[dot:]) if dot >= 0 else (name, "")
    return os.path.join(os.path.dirname(os.path.abspath(main_path)), "%s%d%s" % (stem, k, ext))


class Entry:
    """One central entry with the local header it points to."""

    def __init__(self, central, name, position, size):
        self.central = central
        self.name = name
        self.position = position      # file offset of the central entry
        self.disk_size = size         # bytes it occupies
        self.local = None
        self.local_name = None
        self.local_raw = None
        self.central_raw = None

    @property
    def is_folder(self):
        return bool(self.central["attributes"] & ATTR_DIRECTORY)


class Archive:
    """An archive read from disk (main file and, for a set, its volumes)."""

    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = f.read()
        pos = find_end_record(self.data)
        if pos is None:
            raise FormatError("no end record")
        self.end_position = pos
        self.end = unpack(END_FMT, END_FIELDS, self.data[pos:pos + END_SIZE])
        p = pos + END_SIZE
        strings = []
        for key in ("commentLength", "archiveNameLength", "reservedLength"):
            n = self.end[key] * 2
            if p + n > len(self.data):
                raise FormatError("end record strings run past the end of the file")
            strings.append(text16(self.data[p:p + n]))
            p += n
        self.comment, self.stored_name, self.end_reserved = strings
        self.trailing = len(self.data) - p   # bytes after the end record's strings
        self.base = self.end["base"]
        self.central_offset = self.end["centralOffset"]
        self.volumes = []
        self._load_stream()
        self._walk()

    def _load_stream(self):
        """The entry stream: the main file's part, then volumes 2..N whole."""
        start = self.base
        stop = self.base + self.central_offset
        if stop > len(self.data):
            raise FormatError("central offset beyond the file")
        parts = [self.data[start:stop]]
        for k in range(2, self.end["volumeCount"] + 1):
            vp = volume_path(self.path, self.stored_name, k)
            if not os.path.exists(vp):
                raise FormatError("volume %d missing (%s)" % (k, vp))
            with open(vp, "rb") as f:
                parts.append(f.read())
            self.volumes.append(vp)
        self.stream = b"".join(parts)

    def _walk(self):
        self.entries = []
        pos = self.base + self.central_offset
        while pos + CENTRAL_SIZE <= len(self.data):
            raw = self.data[pos:pos + CENTRAL_SIZE]
            c = unpack(CENTRAL_FMT, CENTRAL_FIELDS, raw)
            if c["signature"] != SIG_CENTRAL:
                break
            if c["nameLength"] > NAME_LIMIT:
                raise FormatError("central name of %d code units" % c["nameLength"])
            n = pos + CENTRAL_SIZE
            name = text16(self.data[n:n + 2 * c["nameLength"]])
            size = CENTRAL_SIZE + 2 * (c["nameLength"] + c["commentLength"] + c["reservedLength"])
            e = Entry(c, name, pos, size)
            e.central_raw = raw
            self._read_local(e)
            self.entries.append(e)
            pos += size
        self.central_end = pos

    def _read_local(self, e):
        off = e.central["localOffset"]
        raw = self.stream[off:off + LOCAL_SIZE]
        if len(raw) == LOCAL_SIZE:
            e.local_raw = raw
            e.local = unpack(LOCAL_FMT, LOCAL_FIELDS, raw)
            n = off + LOCAL_SIZE
            e.local_name = text16(self.stream[n:n + 2 * e.local["nameLength"]])

    def stored_bytes(self, e):
        """The entry's stored bytes, located from its central entry alone."""
        c = e.central
        s = c["localOffset"] + LOCAL_SIZE + 2 * (c["nameLength"] + c["commentLength"])
        out = self.stream[s:s + c["compressedSize"]]
        if len(out) != c["compressedSize"]:
            raise FormatError("%s: stored bytes run past the entry stream" % e.name)
        return out

    def content(self, e):
        """The unpacked bytes, with both CRCs and the size checked."""
        c = e.central
        stored = self.stored_bytes(e)
        if crc32(stored) != c["crcCompressed"]:
            raise FormatError("%s: crcCompressed mismatch" % e.name)
        if c["compressionType"] == COMPRESSION_NONE:
            data = stored
        elif c["compressionType"] == COMPRESSION_ZIP:
            data = inflate_raw(stored) if stored else b""
        else:
            raise FormatError("%s: compression type %d" % (e.name, c["compressionType"]))
        if len(data) != c["uncompressedSize"]:
            raise FormatError("%s: %d bytes unpacked, %d recorded" % (e.name, len(data), c["uncompressedSize"]))
        if crc32(data) != c["crcUncompressed"]:
            raise FormatError("%s: crcUncompressed mismatch" % e.name)
        return data


# ---- validation ------------------------------------------------------------------

def validate(path, stub_size=None, exact_end=True, time_window=None):
    """Checks every field of every record of the archive at `path` against the
    rules writers follow. Returns (archive, problems); archive is None when the
    file cannot be read at all. `stub_size`: the expected base. `exact_end`:
    the file must end right after the end record's strings (not so after a
    comment was shortened in place). `time_window`: (low, high) FILETIME bounds
    for folder entries, which carry the time they were added."""
    problems = []
    bad = problems.append
    try:
        a = Archive(path)
    except (FormatError, OSError, struct.error) as e:
        return None, ["cannot read %s: %s" % (path, e)]
    end = a.end
    if end["volumeCount"] < 1:
        bad("end: volumeCount %d" % end["volumeCount"])
    if end["volumeCount"] != 1 + len(a.volumes):
        bad("end: volumeCount %d but %d volumes found" % (end["volumeCount"], 1 + len(a.volumes)))
    if end["reserved8"] != 0:
        bad("end: reserved word at 8 is %#x" % end["reserved8"])
    if end["entryCountVolume"] != end["entryCount"]:
        bad("end: entry counts differ (%d, %d)" % (end["entryCountVolume"], end["entryCount"]))
    if end["entryCount"] != len(a.entries):
        bad("end: entryCount %d, the walk found %d" % (end["entryCount"], len(a.entries)))
    if a.central_end != a.end_position:
        bad("end: the central directory walk stops at %d, the end record is at %d" % (a.central_end, a.end_position))
    if end["centralSize"] != a.end_position - (a.base + a.central_offset):
        bad("end: centralSize %d, directory occupies %d" % (end["centralSize"], a.end_position - a.base - a.central_offset))
    if stub_size is not None and a.base != stub_size:
        bad("end: base %d, expected %d" % (a.base, stub_size))
    if end["commentLength"] > COMMENT_LIMIT:
        bad("end: commentLength %d" % end["commentLength"])
    if end["archiveNameLength"] > NAME_LIMIT:
        bad("end: archiveNameLength %d" % end["archiveNameLength"])
    if end["reservedLength"] != 0:
        bad("end: reservedLength %d" % end["reservedLength"])
    if exact_end and a.trailing != 0:
        bad("end: %d bytes after the end record's strings" % a.trailing)
    if end["volumeCount"] > 1 and not a.stored_name:
        bad("end: a volume set without a stored name")

    ranges = []
    for e in a.entries:
        where = "entry %r" % e.name
        c = e.central
        if e.local is None:
            bad("%s: local header at %d cannot be read" % (where, c["localOffset"]))
            continue
        loc = e.local
        if loc["signature"] != SIG_LOCAL:
            bad("%s: local signature %#x" % (where, loc["signature"]))
        if e.central_raw[4:52] != e.local_raw[4:52]:
            diff = [f for f in LOCAL_FIELDS[1:10] if loc[f] != c[f]]
            bad("%s: central bytes 4..51 differ from the local header (%s)" % (where, ", ".join(diff)))
        for key in ("reserved8", "reserved64", "reserved72", "commentLength", "reservedLength"):
            if c[key] != 0:
                bad("%s: central %s = %d" % (where, key, c[key]))
        if loc["commentLength"] != 0:
            bad("%s: local commentLength %d" % (where, loc["commentLength"]))
        r4 = c["reserved4"]
        if r4 != 0 and (r4 & ~0o7777) != POSIX_MODE_MARKER:
            bad("%s: reserved word at 4 is %#x (neither 0 nor marker|mode)" % (where, r4))
        if loc["nameLength"] != c["nameLength"] or e.local_name != e.name:
            bad("%s: local name %r" % (where, e.local_name))
        if loc["attributes"] != c["attributes"]:
            bad("%s: attributes local %#x central %#x" % (where, loc["attributes"], c["attributes"]))
        if not 0 < c["nameLength"] <= NAME_LIMIT:
            bad("%s: nameLength %d" % (where, c["nameLength"]))
        if "/" in e.name:
            bad("%s: a forward slash in the name" % where)
        if c["compressionType"] not in (0, 1):
            bad("%s: compressionType %d" % (where, c["compressionType"]))
        if not 0 <= c["compressionLevel"] <= 9:
            bad("%s: compressionLevel %d" % (where, c["compressionLevel"]))
        if e.is_folder != e.name.endswith("\\"):
            bad("%s: folder bit %s but name ending %r" % (where, e.is_folder, e.name[-1:]))
        start = c["localOffset"]
        length = LOCAL_SIZE + 2 * (loc["nameLength"] + loc["commentLength"]) + c["compressedSize"]
        ranges.append((start, start + length, e.name))
        if e.is_folder or c["uncompressedSize"] == 0:
            for key in ("crcCompressed", "crcUncompressed", "compressedSize", "uncompressedSize"):
                if c[key] != 0:
                    bad("%s: %s %d in an empty entry" % (where, key, c[key]))
            if e.is_folder and time_window and not time_window[0] <= c["fileTime"] <= time_window[1]:
                bad("%s: folder time %d outside %s" % (where, c["fileTime"], time_window))
            continue
        if c["compressionType"] == COMPRESSION_NONE:
            if c["compressedSize"] != c["uncompressedSize"] or c["crcCompressed"] != c["crcUncompressed"]:
                bad("%s: stored entry with differing sizes or CRCs" % where)
        try:
            a.content(e)
        except FormatError as x:
            bad(str(x))
    # Local records lie back to back from the base up to the central directory.
    ranges.sort()
    expected = 0
    for start, stop, name in ranges:
        if start != expected:
            bad("local record of %r at %d, expected %d" % (name, start, expected))
        expected = stop
    if expected != len(a.stream):
        bad("local records end at %d, the entry stream holds %d bytes" % (expected, len(a.stream)))
    return a, problems


# ---- writing -------------------------------------------------------------------

class Item:
    """One entry to write. `data` None makes a folder (name ends in a backslash).
    `fields` overrides any header field after it was computed, for hostile
    archives; `stored` replaces the stored bytes."""

    def __init__(self, name, data=None, compression=COMPRESSION_ZIP, level=6,
                 time=EPOCH_FILETIME + 13_000_000_000_000_000, attributes=None,
                 reserved4=0, stored=None, comment="", central_reserved="", **fields):
        self.name = name
        self.comment = comment                    # entry comment (writers leave it empty)
        self.central_reserved = central_reserved  # the central entry's reserved string
        self.data = data
        self.compression = compression
        self.level = level
        self.time = time
        self.attributes = attributes if attributes is not None else (
            ATTR_DIRECTORY if data is None else ATTR_ARCHIVE)
        self.reserved4 = reserved4
        self.stored = stored
        self.fields = fields


def build_records(items, local_order=None):
    """(entry stream, central directory) for the items: central entries in the
    items' order, local records in `local_order` (indexes; default the same)."""
    stream = bytearray()
    centrals = {}
    for index in (local_order if local_order is not None else range(len(items))):
        it = items[index]
        data = it.data or b""
        if it.stored is not None:
            stored = it.stored
        elif not data:
            stored = b""
        elif it.compression == COMPRESSION_ZIP:
            stored = deflate_raw(data, it.level)
        else:
            stored = data
        name = utf16(it.name)
        comment = utf16(it.comment)
        rec = dict(signature=SIG_LOCAL, reserved4=it.reserved4, reserved8=0,
                   compressionType=it.compression, compressionLevel=it.level,
                   fileTime=it.time, crcCompressed=crc32(stored) if data else 0,
                   crcUncompressed=crc32(data) if data else 0, compressedSize=len(stored),
                   uncompressedSize=len(data), attributes=it.attributes,
                   nameLength=len(name) // 2, commentLength=len(comment) // 2)
        rec.update({k: v for k, v in it.fields.items() if k in LOCAL_FIELDS})
        offset = len(stream)
        stream += pack(LOCAL_FMT, LOCAL_FIELDS, rec) + name + comment + stored
        reserved = utf16(it.central_reserved)
        cen = dict(rec, signature=SIG_CENTRAL, reservedLength=len(reserved) // 2, reserved64=0,
                   reserved72=0, localOffset=offset)
        cen.update({k[8:]: v for k, v in it.fields.items() if k.startswith("central_")})
        centrals[index] = pack(CENTRAL_FMT, CENTRAL_FIELDS, cen) + name + comment + reserved
    return bytes(stream), b"".join(centrals[i] for i in range(len(items)))


def end_record(entry_count, central_size, central_offset, base, volume_count=1,
               comment="", stored_name="", reserved_text=""):
    rec = dict(signature=SIG_END, volumeCount=volume_count, reserved8=0,
               entryCountVolume=entry_count, entryCount=entry_count,
               centralSize=central_size, centralOffset=central_offset, base=base,
               commentLength=len(utf16(comment)) // 2,
               archiveNameLength=len(utf16(stored_name)) // 2,
               reservedLength=len(utf16(reserved_text)) // 2)
    return pack(END_FMT, END_FIELDS, rec) + utf16(comment) + utf16(stored_name) + utf16(reserved_text)


def write_archive(path, items, comment="", stored_name="", stub=b"", volume_size=None,
                  main_share=None, reserved_text="", tail=b"", local_order=None):
    """Writes a plain archive, one with `stub` in front, or (with `volume_size`)
    a volume set: the main file holds the stub, the first `main_share` bytes of
    the entry stream (default: volume_size), the central directory and the end
    record; volumes 2..N hold the rest in volume_size pieces and are named
    after `stored_name`. Returns the list of files written."""
    stream, central = build_records(items, local_order)
    if volume_size is None:
        share = len(stream)
    else:
        if not stored_name:
            stored_name = os.path.basename(path)
        share = min(len(stream), volume_size if main_share is None else main_share)
    rest = stream[share:]
    pieces = [rest[i:i + volume_size] for i in range(0, len(rest), volume_size)] if volume_size else []
    end = end_record(len(items), len(central), share, len(stub), 1 + len(pieces),
                     comment, stored_name, reserved_text)
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "wb") as f:
        f.write(stub + stream[:share] + central + end + tail)
    written = [path]
    for k, piece in enumerate(pieces, start=2):
        vp = volume_path(path, stored_name, k)
        with open(vp, "wb") as f:
            f.write(piece)
        written.append(vp)
    return written
