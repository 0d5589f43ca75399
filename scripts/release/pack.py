#!/usr/bin/env python3
"""Packs a folder into a zip that depends only on the files' names, contents
and executable bits: entries in byte order of their paths, every date set to
one given time, no owner, no extra fields, deflate at level 9.

    pack.py FOLDER OUT.zip UNIX_TIME

FOLDER's own name becomes the archive's top folder.
"""
import os
import stat
import sys
import time
import zipfile


def entries(folder):
    top = os.path.basename(os.path.normpath(folder))
    found = [(top + "/", None)]
    for base, dirs, files in os.walk(folder):
        rel = os.path.relpath(base, folder)
        prefix = top + "/" if rel == "." else top + "/" + rel.replace(os.sep, "/") + "/"
        for name in dirs:
            found.append((prefix + name + "/", None))
        for name in files:
            path = os.path.join(base, name)
            if not stat.S_ISREG(os.lstat(path).st_mode):
                raise SystemExit(f"pack: {path} is not a regular file")
            found.append((prefix + name, path))
    return sorted(found, key=lambda item: item[0].encode())


def main(argv):
    if len(argv) != 4:
        raise SystemExit("usage: pack.py FOLDER OUT.zip UNIX_TIME")
    folder, out, when = argv[1], argv[2], int(argv[3])
    # Zip dates are local date and time fields from 1980 on; UTC keeps them
    # independent of the packing machine's time zone.
    stamp = time.gmtime(max(when, 315532800))[:6]
    with zipfile.ZipFile(out, "w") as archive:
        for name, path in entries(folder):
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3  # Unix, so that the modes below are read
            if path is None:
                info.external_attr = (stat.S_IFDIR | 0o755) << 16 | 0x10
                archive.writestr(info, b"")
                continue
            mode = 0o755 if os.stat(path).st_mode & stat.S_IXUSR else 0o644
            info.external_attr = (stat.S_IFREG | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)


if __name__ == "__main__":
    main(sys.argv)
