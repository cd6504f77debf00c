#!/usr/bin/python3
"""Packs one build of the launcher into its two release archives.

Usage: pack-release.py --image Valdrenne.exe --objcopy OBJCOPY --readme README.md
                       --version 1.7.0 --platform win32 --notices NOTICES.txt
                       --zip INSTALL.zip --symbols-zip SYMBOLS.zip --stripped-image Valdrenne.exe

Writes the install archive (--zip), the install layout (the stripped
Valdrenne.exe with a debug link, README.txt taken from the README's section
for people who install and support the launcher, and NOTICES.txt, the
notices of the third-party code linked in), the symbols archive
(--symbols-zip) with Valdrenne.exe.debug, the debug information the link
names, and the stripped image alone (--stripped-image). cmake/Package.cmake
names them.

The archives are reproducible: entries sorted, every time stamp taken from
SOURCE_DATE_EPOCH (the commit's time when unset and the source is a git
checkout), fixed permissions and compression.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import textwrap

import release
from release import DEBUG_NAME, EXECUTABLE_NAME, INSTALLER_TEXT_NAME, NOTICES_NAME, TEXT_WIDTH

INSTALLER_SECTION = "## For people who install and support the launcher"


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

    title = release.installer_title(version, platform)
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
    return release.windows_text(text)


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
    parser.add_argument("--zip", required=True)
    parser.add_argument("--symbols-zip", required=True)
    parser.add_argument("--stripped-image", required=True)
    arguments = parser.parse_args()

    date_time = release.zip_date_time(release.commit_time(os.path.dirname(os.path.abspath(arguments.readme))))
    for output in (arguments.zip, arguments.symbols_zip, arguments.stripped_image):
        os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
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
        release.write_zip(arguments.zip, install, date_time)
        release.write_zip(arguments.symbols_zip, {DEBUG_NAME: read(debug)}, date_time)
        shutil.copyfile(image, arguments.stripped_image)
    return 0


if __name__ == "__main__":
    sys.exit(main())
