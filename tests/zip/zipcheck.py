#!/usr/bin/env python3
"""Reads an archive with Python's zipfile, an independent reader, and prints what it finds.

Usage: zipcheck.py ARCHIVE [FOLDER]
Prints one line "testzip<TAB>OK" (or the first bad entry), "comment<TAB>hex", then one line per
entry, tab-separated: name, compress_type, flag_bits, file_size, compress_size, CRC (hex),
internal_attr, external_attr, date_time (Y-M-D h:m:s), extra length, create_system, and the
entry's content compared with FOLDER/name ("same", "differs", "missing") or its hex when no
folder is given. Exit status 3 when the archive cannot be read at all.
"""
import os
import sys
import zipfile


def main():
    archive = sys.argv[1]
    folder = sys.argv[2] if len(sys.argv) > 2 else None
    try:
        zf = zipfile.ZipFile(archive)
    except Exception as e:  # noqa: BLE001 - any failure is a result to report
        print("error\t%s" % e)
        return 3
    with zf:
        bad = zf.testzip()
        print("testzip\t%s" % ("OK" if bad is None else bad))
        print("comment\t%s" % zf.comment.hex())
        for info in zf.infolist():
            data = zf.read(info)
            if folder is None:
                content = data.hex()
            else:
                path = os.path.join(os.fsencode(folder), info.orig_filename.encode(
                    "utf-8" if info.flag_bits & 0x800 else "cp437"))
                if not os.path.exists(path):
                    content = "missing"
                else:
                    with open(path, "rb") as f:
                        content = "same" if f.read() == data else "differs"
            y, mo, d, h, mi, s = info.date_time
            print("\t".join(str(v) for v in [
                info.filename, info.compress_type, info.flag_bits, info.file_size,
                info.compress_size, "%08x" % info.CRC, info.internal_attr, info.external_attr,
                "%d-%d-%d %d:%d:%d" % (y, mo, d, h, mi, s), len(info.extra), info.create_system,
                content]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
