#!/usr/bin/env python3
"""Packs Pathwink's portable zip: Pathwink.exe and help/help_index.html of a build's
bin folder, exactly these two entries ('/' between folders, as zip files have it).
Used by tools/package and by the journey test's build, so that the Scoop manifest
is tested against the zip users get.

    python3 make_portable_zip.py <bin folder> <zip file>
"""

import os
import sys
import zipfile

ENTRIES = ("Pathwink.exe", "help/help_index.html")


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    bin_dir, zip_path = argv[1], argv[2]
    sources = [os.path.join(bin_dir, *name.split("/")) for name in ENTRIES]
    for source in sources:
        if not os.path.isfile(source):
            sys.stderr.write("make_portable_zip: the build made no %s\n" % source)
            return 1
    partial = zip_path + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for source, name in zip(sources, ENTRIES):
            archive.write(source, name)
    os.replace(partial, zip_path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
