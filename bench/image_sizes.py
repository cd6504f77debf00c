#!/usr/bin/python3
"""Prints the size of each section of the shipped launcher images.

Usage: /usr/bin/python3 bench/image_sizes.py LABEL=PATH [LABEL=PATH ...]

One column per image: the bytes each section takes in the file (its raw
size, file-aligned) and the file's total, in bytes and KiB, so that growth
shows in `make bench`.
"""

import os
import sys

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "image"))
from check_image import section_name  # noqa: E402  (the PE reading of the image checks)

KIB = 1024


def main():
    images = []
    for argument in sys.argv[1:]:
        label, path = argument.split("=", 1)
        pe = pefile.PE(path, fast_load=True)
        sections = {section_name(pe, section).decode(): section.SizeOfRawData for section in pe.sections}
        images.append((label, sections, len(pe.__data__)))
        pe.close()

    names = []
    for _, sections, _ in images:
        names += [name for name in sections if name not in names]
    width = max(len(name) for name in names + ["section"])
    print("%-*s" % (width, "section") + "".join("%14s" % label for label, _, _ in images))
    for name in names:
        print("%-*s" % (width, name) + "".join("%14s" % sections.get(name, "-") for _, sections, _ in images))
    print("%-*s" % (width, "file") + "".join("%14d" % size for _, _, size in images))
    print("%-*s" % (width, "file (KiB)") + "".join("%14.1f" % (size / KIB) for _, _, size in images))
    return 0


if __name__ == "__main__":
    sys.exit(main())
