"""Lists a book's entries with an independent ZIP reader: one line per entry with its name,
whether it is stored or deflated, its size and the CRC-32 of its data. Exits 1 when the archive
is damaged (a CRC that does not match, a truncated entry)."""
import sys
import zipfile
import zlib

with zipfile.ZipFile(sys.argv[1]) as book:
    for info in book.infolist():
        data = book.read(info)
        method = "stored" if info.compress_type == zipfile.ZIP_STORED else "deflated"
        print(f"{info.filename} {method} {len(data)} {zlib.crc32(data):08x}")
