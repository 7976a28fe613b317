#!/usr/bin/env python3
"""Where an ach archive's bytes go against a zip of the same files.

  bench/size_by_entry.py ACH_LIST_JSON ZIPINFO_V [--top N]

ACH_LIST_JSON is `ach list --json A.ach`, ZIPINFO_V is `zipinfo -v A.zip` of
the same tree. Prints the totals of the data bytes, of the per-entry overhead
(headers and names), the entries stored by one and deflated by the other, the
split by file extension, and the entries where ach's data is largest against
zip's.
"""
import collections
import json
import sys

# Record sizes of the ach format: local header 64 and central entry 84 bytes,
# each followed by the name in UTF-16; zip's come from zipinfo.
ACH_LOCAL, ACH_CENTRAL = 64, 84


def read_ach(path):
    with open(path, encoding="utf-8") as f:
        listing = json.load(f)
    entries = {}
    for e in listing["entries"]:
        name = e["name"].replace("\\", "/")
        entries[name] = (e["size"], e["packedSize"], e["compression"], 2 * len(e["name"]))
    return entries


def read_zip(path):
    entries = {}
    current = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = f.read().split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("Central directory entry #"):
            # The name is the first non-empty line after the dashes.
            j = i + 1
            while not lines[j].strip() or set(lines[j].strip()) == {"-"}:
                j += 1
            current = {"name": lines[j].strip()}
            i = j
        elif "compressed size:" in line and "uncompressed" not in line:
            current["packed"] = int(line.split(":")[1].split()[0])
        elif "uncompressed size:" in line:
            current["size"] = int(line.split(":")[1].split()[0])
        elif "compression method:" in line:
            current["method"] = line.split(":", 1)[1].strip()
        elif "length of extra field:" in line:
            current["extra"] = int(line.split(":")[1].split()[0])
            # zip writes the local extra field too; its central copy is usually shorter.
            entries[current["name"]] = (current["size"], current["packed"], current["method"],
                                        len(current["name"].encode("utf-8")), current["extra"])
        i += 1
    return entries


def main():
    ach = read_ach(sys.argv[1])
    zipped = read_zip(sys.argv[2])
    top = int(sys.argv[sys.argv.index("--top") + 1]) if "--top" in sys.argv else 15
    common = sorted(set(ach) & set(zipped))
    print("entries: ach %d, zip %d, both %d" % (len(ach), len(zipped), len(common)))
    data_a = sum(ach[n][1] for n in common)
    data_z = sum(zipped[n][1] for n in common)
    head_a = sum(ACH_LOCAL + ACH_CENTRAL + 2 * ach[n][3] for n in ach)
    # zip's local extra field is taken to be as long as the central one.
    head_z = sum(30 + 46 + 2 * zipped[n][3] + 2 * zipped[n][4] for n in zipped)
    print("data bytes: ach %d, zip %d, ratio %.4f" % (data_a, data_z, data_a / data_z))
    print("headers and names (estimated): ach %d, zip %d" % (head_a, head_z))
    stored_a = [n for n in common if ach[n][2] == 0 and ach[n][0] > 0]
    stored_z = [n for n in common if zipped[n][2].startswith("none") and zipped[n][0] > 0]
    print("stored: ach %d entries (%d bytes), zip %d entries (%d bytes)" % (
        len(stored_a), sum(ach[n][1] for n in stored_a), len(stored_z), sum(zipped[n][1] for n in stored_z)))
    by_ext = collections.defaultdict(lambda: [0, 0, 0, 0])
    for n in common:
        base = n.rsplit("/", 1)[-1]
        ext = base.rsplit(".", 1)[-1] if "." in base else "(none)"
        if len(ext) > 8:
            ext = "(long)"
        row = by_ext[ext]
        row[0] += 1
        row[1] += ach[n][0]
        row[2] += ach[n][1]
        row[3] += zipped[n][1]
    print("\n%-8s %7s %12s %12s %12s %8s" % ("ext", "files", "bytes", "ach data", "zip data", "ratio"))
    for ext, row in sorted(by_ext.items(), key=lambda kv: -(kv[1][2] - kv[1][3]))[:top]:
        print("%-8s %7d %12d %12d %12d %8.4f" % (ext, row[0], row[1], row[2], row[3], row[2] / max(row[3], 1)))
    worst = sorted(common, key=lambda n: -(ach[n][1] - zipped[n][1]))[:top]
    print("\nlargest losses (ach data - zip data):")
    for n in worst:
        print("%8d %10d %10d %10d  %s (ach type %d, zip %s)" % (ach[n][1] - zipped[n][1], ach[n][0], ach[n][1],
                                                              zipped[n][1], n, ach[n][2], zipped[n][2]))


main()
