#!/usr/bin/python3
"""Writes the notices of the third-party code linked into the launcher.

Usage: make-notices.py --map Valdrenne.map --triplet i686-w64-mingw32 --source-dir DIR --build-dir DIR
                       [--search-dir DIR ...] --out NOTICES.txt

Reads the linker's map of the image (link_map.py): the archive members it
pulled in and the object files it loaded; where the map names them without
their folder (lld), the build and the linker's search folders (--search-dir)
tell where they lie. Each file outside the build belongs to a component
by where it lies: GCC's runtime libraries in GCC's folder, the mingw-w64
runtime (start-up code, C runtime, import libraries) and winpthreads in the
target's library folder. {fmt} is compiled into the launcher's own objects
and shows in the map by its symbols. For each component the file gives its
version and licence, the files the link pulled in, and the Debian copyright
file of the package that ships it, which holds the notices that the licences
ask binary distributions to carry. A linked file of no known component
stops the build.
"""

import argparse
import os
import subprocess
import sys
import textwrap

import link_map
import release
from release import EXECUTABLE_NAME, TEXT_WIDTH


class Component:
    def __init__(self, name, licence, package, version_package):
        self.name = name
        self.licence = licence
        self.package = package  # whose /usr/share/doc/<package>/copyright holds the notices
        self.version_package = version_package
        self.files = set()


def components(triplet):
    machine = triplet.split("-")[0].replace("_", "-")
    return {
        "gcc": Component("GCC runtime libraries (libgcc, libstdc++, libssp)",
                         "GPL-3.0-or-later WITH GCC-exception-3.1: the exception lets the image be "
                         "distributed on any terms, without these notices", "gcc-mingw-w64-base",
                         "gcc-mingw-w64-%s-win32" % machine),
        "mingw-w64": Component("mingw-w64 runtime (start-up code, C runtime library, import libraries)",
                               "ZPL-2.1, public domain, and the licences of single files named below",
                               "mingw-w64-common", "mingw-w64-%s-dev" % machine),
        "winpthreads": Component("winpthreads (mingw-w64-libraries/winpthreads)",
                                 "Expat (MIT) and BSD-3-clause: notices below", "mingw-w64-common",
                                 "mingw-w64-%s-dev" % machine),
        "fmt": Component("{fmt}", "Expat (MIT) with an exception for embedded object code", "libfmt-dev",
                         "libfmt-dev"),
    }


def resolve(name, search_dirs, build_dir):
    """The path of a file lld's map names by its base name: an archive or
    object of the build, or the first of the linker's search folders that
    holds it; None when none does."""
    if name.endswith((".obj", ".res")):
        return os.path.join(build_dir, name)
    for root, _, files in os.walk(build_dir):
        if name in files:
            return os.path.join(root, name)
    for search_dir in search_dirs:
        if os.path.isfile(os.path.join(search_dir, name)):
            return os.path.normpath(os.path.join(search_dir, name))
    return None


def component_of(path, triplet, own_dirs):
    if not os.path.isabs(path) or any(path.startswith(own_dir + os.sep) for own_dir in own_dirs):
        return "own"
    if path.startswith("/usr/lib/gcc/%s/" % triplet):
        return "gcc"
    if path.startswith("/usr/%s/lib/" % triplet):
        name = os.path.basename(path)
        return "winpthreads" if name in ("libwinpthread.a", "libpthread.a") else "mingw-w64"
    return None


def package_version(package):
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], check=True, capture_output=True,
                          text=True).stdout


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--map", required=True)
    parser.add_argument("--triplet", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--search-dir", action="append", default=[],
                        help="a folder the linker takes libraries from, for lld's map")
    parser.add_argument("--out", required=True)
    arguments = parser.parse_args()

    with open(arguments.map, encoding="utf-8", errors="replace") as map_file:
        map_text = map_file.read()
    found = components(arguments.triplet)
    unknown = []
    paths = link_map.linked_files(map_text)
    if link_map.is_lld_map(map_text):
        resolved = {name: resolve(name, arguments.search_dir, os.path.abspath(arguments.build_dir)) for name in paths}
        unknown += sorted(name for name, path in resolved.items() if path is None)
        paths = {path for path in resolved.values() if path is not None}
    for path in sorted(paths):
        key = component_of(path, arguments.triplet,
                           (os.path.abspath(arguments.source_dir), os.path.abspath(arguments.build_dir)))
        if key is None:
            unknown.append(path)
        elif key != "own":
            found[key].files.add(os.path.basename(path))
    if unknown:
        sys.exit("make-notices: linked files of no known component: %s" % ", ".join(unknown))
    if link_map.links_fmt(map_text):
        found["fmt"].files.add("compiled into the launcher's own code (header-only)")

    used = [component for component in found.values() if component.files]
    title = "Third-party code in %s" % EXECUTABLE_NAME
    lines = [title, "=" * len(title), "",
             "%s links the following code into its image. Each part names" % EXECUTABLE_NAME,
             "the files the link took it from, and its licence; the notices the",
             "licences ask for follow at the end, as the packages that ship the code",
             "record them.", ""]
    for number, component in enumerate(used, 1):
        lines += ["%d. %s" % (number, component.name),
                  "   Version: %s (Debian package %s)" % (package_version(component.version_package),
                                                        component.version_package)]
        for field in ("Licence: %s" % component.licence, "Linked from: %s" % ", ".join(sorted(component.files))):
            lines += textwrap.wrap(field, TEXT_WIDTH, initial_indent="   ", subsequent_indent="     ")
        lines.append("")
    packages = []
    for component in used:
        if component.package not in packages:
            packages.append(component.package)
    for package in packages:
        heading = "Notices: %s" % package
        lines += ["", heading, "-" * len(heading), ""]
        with open("/usr/share/doc/%s/copyright" % package, encoding="utf-8") as copyright_file:
            lines += copyright_file.read().splitlines()
    with open(arguments.out, "wb") as out:
        out.write(release.windows_text(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main())
