#!/usr/bin/python3
"""Checks the release archives of one build, as a distributor receives them.

Usage:
  check_package.py contents --zip Z --symbols-zip S --machine M --file-version V --nm NM
  check_package.py launch --zip Z --loader loader.dll --file-version V

contents: the install archive holds Valdrenne.exe, README.txt and only the
DLLs the image imports that the system does not provide; its entries are
sorted and share one time stamp. The image is stripped, links to
Valdrenne.exe.debug with that file's checksum, and still passes every check
of check_image.py; the symbols archive holds the debug file, whose symbols
name the export at the address the image exports it.

launch: unpacks the install archive into a fresh folder, puts the sample
loader in qel beside the launcher and starts it under Wine (through
tools/wine-exec.sh, inside tools/with-wine.sh): the exit code is the one the
sample loader was asked for, and report.log has the launch line naming the
fresh folder.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

import pefile

import check_image

EXECUTABLE_NAME = check_image.EXECUTABLE_NAME
DEBUG_NAME = EXECUTABLE_NAME + ".debug"
INSTALLER_TEXT_NAME = "README.txt"
DEBUG_LINK_SECTION = b".gnu_debuglink"
# DLLs every supported Windows has; any other import must ship in the archive.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
               "oleaut32.dll", "msvcrt.dll", "psapi.dll", "version.dll"}
INSTALLER_TEXT_MARKERS = ("Install layout", "Exit codes", "report.log", "qel")
SAMPLE_EXIT_CODE = 73  # none of the launcher's own codes
LAUNCH_REPORT_ID = "5725"
LAUNCH_TIMEOUT_SECONDS = 120
TOOLS_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")


def section_names(pe):
    return [check_image.section_name(pe, section) for section in pe.sections]


def debug_link(pe):
    """(file name, CRC-32) of the image's debug link, or None."""
    for section in pe.sections:
        if check_image.section_name(pe, section) == DEBUG_LINK_SECTION:
            data = section.get_data()
            name = data[:data.index(b"\0")].decode()
            crc_offset = (len(name) + 1 + 3) & ~3
            return name, struct.unpack_from("<I", data, crc_offset)[0]
    return None


def symbol_address(nm, path, name):
    output = subprocess.run([nm, path], check=True, capture_output=True, text=True).stdout
    for line in output.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[2].lstrip("_") == name:
            return int(parts[0], 16)
    return None


def check_contents(c, arguments):
    print("== install archive: %s" % arguments.zip)
    with zipfile.ZipFile(arguments.zip) as archive:
        infos = archive.infolist()
        names = [info.filename for info in infos]
        c.check("entries in name order", names, sorted(names))
        c.check("one time stamp for every entry", len({info.date_time for info in infos}), 1)
        c.expect("launcher and installer text present", {EXECUTABLE_NAME, INSTALLER_TEXT_NAME} <= set(names), names)
        work = tempfile.mkdtemp(prefix="valdrenne-package.")
        try:
            archive.extractall(work)
            image_path = os.path.join(work, EXECUTABLE_NAME)
            with open(os.path.join(work, INSTALLER_TEXT_NAME), "rb") as text_file:
                text = text_file.read()
            image = pefile.PE(image_path)
            imports = {entry.dll.decode().lower() for entry in image.DIRECTORY_ENTRY_IMPORT}
            dlls = {name.lower() for name in names if name.lower().endswith(".dll")}
            c.check("entries besides the launcher and its text are DLLs", len(names) - 2, len(dlls))
            c.check("DLLs shipped: the imports the system lacks", sorted(dlls), sorted(imports - SYSTEM_DLLS))

            print("== installer text")
            c.expect("names the version", ("Valdrenne launcher %s" % arguments.release_version).encode() in text)
            c.expect("Windows line ends only", b"\n" not in text.replace(b"\r\n", b""))
            for marker in INSTALLER_TEXT_MARKERS:
                c.expect("has %r" % marker, marker.encode() in text)
            c.expect("no Markdown marks", b"`" not in text and b"```" not in text and b"|---" not in text)

            print("== stripped image")
            sections = section_names(image)
            c.check("debug sections", [name for name in sections if name.startswith(b".debug")], [])
            c.check("symbols", image.FILE_HEADER.NumberOfSymbols, 0)
            link = debug_link(image)
            c.expect("debug link present", link is not None)

            print("== symbols archive: %s" % arguments.symbols_zip)
            with zipfile.ZipFile(arguments.symbols_zip) as symbols:
                c.check("symbols entries", symbols.namelist(), [DEBUG_NAME])
                symbols.extractall(work)
            debug_path = os.path.join(work, DEBUG_NAME)
            with open(debug_path, "rb") as debug_file:
                debug_bytes = debug_file.read()
            if link:
                c.check("debug link names the symbols file", link[0], DEBUG_NAME)
                c.check("debug link checksum matches the symbols file", hex(link[1]),
                        hex(zlib.crc32(debug_bytes) & 0xFFFFFFFF))
            debug = pefile.PE(debug_path)
            c.expect("symbols file has DWARF", {b".debug_info", b".debug_line"} <= set(section_names(debug)))
            export = image.DIRECTORY_ENTRY_EXPORT.symbols[0]
            c.check("symbols file places GetLibQelVersion where the image exports it",
                    symbol_address(arguments.nm, debug_path, export.name.decode()),
                    image.OPTIONAL_HEADER.ImageBase + export.address)

            check_image.check_image(c, image_path, arguments.machine, arguments.file_version)
        finally:
            shutil.rmtree(work)


def windows_path(path):
    """The path as Wine's programs see it: drive Z: is the Linux root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def check_launch(c, arguments):
    print("== launch from the unpacked archive: %s" % arguments.zip)
    work = tempfile.mkdtemp(prefix="valdrenne-install.")
    try:
        install = os.path.join(work, "Qel Vendaro")
        with zipfile.ZipFile(arguments.zip) as archive:
            archive.extractall(install)
        os.makedirs(os.path.join(install, "qel"))
        shutil.copy(arguments.loader, os.path.join(install, "qel", "loader.dll"))
        sample_report = os.path.join(work, "sample-report.txt")
        environment = dict(os.environ, QEL_SAMPLE_EXIT_CODE=str(SAMPLE_EXIT_CODE),
                           QEL_SAMPLE_REPORT=windows_path(sample_report))
        result = subprocess.run([os.path.join(TOOLS_DIR, "wine-exec.sh"), os.path.join(install, EXECUTABLE_NAME)],
                                env=environment, timeout=LAUNCH_TIMEOUT_SECONDS)
        c.check("exit code: the sample loader's", result.returncode, SAMPLE_EXIT_CODE)
        c.expect("the sample loader ran", os.path.exists(sample_report))

        major_minor = ".".join(arguments.file_version.split(".")[:2])
        log_path = os.path.join(os.environ["WINEPREFIX"], "drive_c", "ProgramData", "Qel Vendaro All", major_minor,
                                "report.log")
        with open(log_path, encoding="utf-8", errors="replace") as log:
            lines = log.read().splitlines()
        expected = "Launcher Main: Launch: '%s', Qel: '%s'" % (windows_path(install), windows_path(install) + "\\qel")
        found = [line for line in lines if line.startswith(LAUNCH_REPORT_ID + ": ") and line.endswith(expected)]
        c.check("report.log lines with the launch from the fresh folder", len(found), 1)
    finally:
        shutil.rmtree(work)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("mode", choices=("contents", "launch"))
    parser.add_argument("--zip", required=True)
    parser.add_argument("--symbols-zip")
    parser.add_argument("--machine", choices=sorted(check_image.MACHINES), default="i386")
    parser.add_argument("--file-version", required=True)
    parser.add_argument("--nm")
    parser.add_argument("--loader")
    arguments = parser.parse_args()
    arguments.release_version = ".".join(arguments.file_version.split(".")[:3])

    c = check_image.Checker()
    if arguments.mode == "contents":
        check_contents(c, arguments)
    else:
        check_launch(c, arguments)
    return check_image.report(c)


if __name__ == "__main__":
    sys.exit(main())
