#!/usr/bin/env python3
"""zip_release.py ZIP SOURCE_DATE_EPOCH FOLDER NAME...: writes ZIP holding the
named files of FOLDER at its top level, in the order given.

The archive depends on nothing but the files' bytes and the epoch: every entry
carries the same time (the epoch in UTC, as MS-DOS time), plain Windows file
attributes and no extra fields, so two builds of one commit give the same
archive. Names are UTF-8 and marked as such."""
import sys
import time
import zipfile

# FILE_ATTRIBUTE_ARCHIVE, read as such because the entries are "made by"
# Windows NTFS. Not by MS-DOS/FAT: unzip takes names from that host for OEM
# text even when they are marked UTF-8.
WINDOWS_ATTRIBUTES = 0x20
MADE_ON_WINDOWS_NTFS = 11


def main(argv):
    if len(argv) < 5:
        sys.exit(__doc__)
    archive, epoch, folder, names = argv[1], int(argv[2]), argv[3], argv[4:]
    stamp = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(archive, "w") as out:
        for name in names:
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = MADE_ON_WINDOWS_NTFS
            entry.external_attr = WINDOWS_ATTRIBUTES
            with open(f"{folder}/{name}", "rb") as source:
                out.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    main(sys.argv)
