#!/usr/bin/python3
"""Packs one build of the launcher into its two release archives.

Usage: pack-release.py --image Valdrenne.exe --objcopy OBJCOPY --readme README.md
                       --version 1.7.0 --platform win32 --notices NOTICES.txt --output-dir DIR

Writes DIR/Valdrenne-VERSION-PLATFORM.zip, the install layout (the stripped
Valdrenne.exe with a debug link, README.txt taken from the README's section
for people who install and support the launcher, and NOTICES.txt, the
notices of the third-party code linked in), and
DIR/Valdrenne-VERSION-PLATFORM-symbols.zip with Valdrenne.exe.debug, the
debug information the link names.

The archives are reproducible: entries sorted, every time stamp taken from
SOURCE_DATE_EPOCH (the commit's time when unset and the source is a git
checkout), fixed permissions and compression.
"""

import argparse
import datetime
import os
import re
import shutil
import subprocess
import sys
import tempfile
import textwrap
import zipfile

EXECUTABLE_NAME = "Valdrenne.exe"
DEBUG_NAME = EXECUTABLE_NAME + ".debug"
INSTALLER_TEXT_NAME = "README.txt"
NOTICES_NAME = "NOTICES.txt"
INSTALLER_SECTION = "## For people who install and support the launcher"
ZIP_EPOCH = datetime.datetime(1980, 1, 1, tzinfo=datetime.timezone.utc)  # the earliest time a zip entry holds
COMPRESS_LEVEL = 9
TEXT_WIDTH = 79  # columns of the installer text's tables
FILE_MODE = 0o100644


def source_date_epoch(source_dir):
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value is None:
        try:
            value = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"], check=True,
                                   capture_output=True, text=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            value = "0"
    moment = datetime.datetime.fromtimestamp(int(value or 0), datetime.timezone.utc)
    return max(moment, ZIP_EPOCH).timetuple()[:6]


def table_text(rows):
    """A Markdown table's rows as text: aligned columns when they fit a line,
    else one block per row, its first cell and then the others under their headings."""
    cells = [[cell.strip().replace("`", "") for cell in row.strip().strip("|").split("|")] for row in rows]
    widths = [max(len(row[i]) for row in cells if len(row) > i) for i in range(max(len(row) for row in cells))]
    aligned = ["  ".join(cell.ljust(widths[i]) if i + 1 < len(row) else cell for i, cell in enumerate(row))
               for row in cells]
    if max(len(line) for line in aligned) <= TEXT_WIDTH:
        return aligned
    headings, text = cells[0], []
    for row in cells[1:]:
        text.append(row[0])
        for heading, cell in zip(headings[1:], row[1:]):
            text += textwrap.wrap("%s: %s" % (heading, cell), TEXT_WIDTH, initial_indent="    ",
                                  subsequent_indent="      ")
    return text


def installer_text(readme_path, version, platform):
    """The README's installer section as plain text with Windows line ends."""
    with open(readme_path, encoding="utf-8") as readme:
        lines = readme.read().splitlines()
    try:
        start = lines.index(INSTALLER_SECTION)
    except ValueError:
        sys.exit("pack-release: %s has no line %r" % (readme_path, INSTALLER_SECTION))
    end = next((i for i in range(start + 1, len(lines)) if lines[i].startswith("## ")), len(lines))

    title = "Valdrenne launcher %s (%s)" % (version, platform)
    text = [title, "=" * len(title), ""]
    in_code = False
    table = []
    for line in lines[start + 1:end] + [""]:
        if line.startswith("|") and not in_code:
            if not re.match(r"^\|[-| :]+\|$", line.strip()):
                table.append(line)
            continue
        if table:
            text += table_text(table)
            table = []
        if line.startswith("```"):
            in_code = not in_code
            continue
        if in_code:
            text.append("    " + line)
            continue
        if line.startswith("### "):
            heading = line[4:].strip()
            text += [heading, "-" * len(heading)]
            continue
        if line.strip() or text[-1].strip():
            text.append(line.replace("`", ""))
    while text and not text[-1].strip():
        text.pop()
    return ("\r\n".join(text) + "\r\n").encode("utf-8")


def write_zip(path, entries, date_time):
    """entries: {archive name: bytes}, written in name order."""
    with zipfile.ZipFile(path, "w") as archive:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 3
            info.external_attr = FILE_MODE << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, entries[name], compresslevel=COMPRESS_LEVEL)


def read(path):
    with open(path, "rb") as source:
        return source.read()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--image", required=True)
    parser.add_argument("--objcopy", required=True)
    parser.add_argument("--readme", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--platform", required=True)
    parser.add_argument("--notices", required=True)
    parser.add_argument("--output-dir", required=True)
    arguments = parser.parse_args()

    date_time = source_date_epoch(os.path.dirname(os.path.abspath(arguments.readme)))
    base = "Valdrenne-%s-%s" % (arguments.version, arguments.platform)
    os.makedirs(arguments.output_dir, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        image = os.path.join(work, EXECUTABLE_NAME)
        debug = os.path.join(work, DEBUG_NAME)
        # objcopy stamps PE headers with SOURCE_DATE_EPOCH, else the current
        # time; 0 keeps the linker's empty stamp.
        objcopy_environment = dict(os.environ, SOURCE_DATE_EPOCH="0")

        def objcopy(*options):
            subprocess.run([arguments.objcopy, *options], check=True, cwd=work, env=objcopy_environment)

        objcopy("--only-keep-debug", os.path.abspath(arguments.image), DEBUG_NAME)
        objcopy("--strip-all", os.path.abspath(arguments.image), EXECUTABLE_NAME)
        # The link holds the debug file's name and checksum, so a debugger
        # finds the symbols beside the image or in its debug folder.
        objcopy("--add-gnu-debuglink=" + DEBUG_NAME, EXECUTABLE_NAME)

        install = {EXECUTABLE_NAME: read(image),
                   INSTALLER_TEXT_NAME: installer_text(arguments.readme, arguments.version, arguments.platform),
                   NOTICES_NAME: read(arguments.notices)}
        write_zip(os.path.join(arguments.output_dir, base + ".zip"), install, date_time)
        write_zip(os.path.join(arguments.output_dir, base + "-symbols.zip"), {DEBUG_NAME: read(debug)}, date_time)
        shutil.copyfile(image, os.path.join(arguments.output_dir, EXECUTABLE_NAME))
    return 0


if __name__ == "__main__":
    sys.exit(main())
