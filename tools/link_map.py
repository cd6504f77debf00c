"""Reads a linker's map of an image: the archives that gave it members and
the object files it loaded; from lld's, also where each symbol and each
object's code lie.

GNU ld's map (-Map) names them by path. lld's map in the Microsoft form
(-Xlink=-map:) names, for each symbol, its archive without folder or ".a"
and the member ("libstdc++:tinfo.o"), or an object file loaded by itself by
its base name ("crt2.o").
"""

import os
import re

GNU_ARCHIVE_MEMBERS_HEADING = "Archive member included to satisfy reference by file (symbol)"
GNU_ARCHIVE_MEMBER = re.compile(r"^(\S+\.a)\((.+)\)$")
GNU_LOADED_FILE = re.compile(r"^LOAD (\S+)$")
LLD_PUBLICS_HEADING = "Publics by Value"
# " 0001:000004b0       _WinMain@16      004014b0 f   WinMain.cpp.obj"
LLD_SYMBOL_LINE = re.compile(r"^\s*[0-9a-fA-F]{4}:[0-9a-fA-F]{8}\s+(\S+)\s+([0-9a-fA-F]+)\s+(?:f\s+|i\s+)*(\S+)$")
# " 0001:00000530 00000007H .text$__stack_chk_fail  CODE": a section
# contribution of an object, by output section number, offset and length.
LLD_CODE_CHUNK_LINE = re.compile(r"^\s*([0-9a-fA-F]{4}):([0-9a-fA-F]{8})\s+([0-9a-fA-F]{8})H\s+\S+\s+CODE$")
# Itanium-mangled names in the fmt namespace: {fmt}'s code in our objects.
FMT_SYMBOL = re.compile(r"_ZN?K?3fmt")


def is_lld_map(map_text):
    return LLD_PUBLICS_HEADING in map_text


def links_fmt(map_text):
    """Whether {fmt}, header-only, is compiled into the image's own objects."""
    return FMT_SYMBOL.search(map_text) is not None


def linked_files(map_text):
    """The archives and object files the link took code from: paths from
    GNU ld's map, base names (archives with their ".a") from lld's."""
    return _lld_linked_files(map_text) if is_lld_map(map_text) else _gnu_linked_files(map_text)


def lld_archive_members(map_text):
    """The archive members that lld's map shows code or data taken from, as
    "archive:member" ("libssp:ssp.o")."""
    members = set()
    for line in map_text.splitlines():
        symbol = LLD_SYMBOL_LINE.match(line)
        if symbol and ":" in symbol.group(3) and not symbol.group(3).startswith("<"):
            members.add(symbol.group(3))
    return members


def lld_symbols(map_text):
    """(name, address, origin) of every public and static symbol of lld's
    map; the origin as "archive:member" or an object file's base name."""
    symbols = []
    for line in map_text.splitlines():
        symbol = LLD_SYMBOL_LINE.match(line)
        if symbol:
            symbols.append((symbol.group(1), int(symbol.group(2), 16), symbol.group(3)))
    return symbols


def lld_code_chunks(map_text):
    """(output section number, offset, length) of each object's code that
    lld's map lists; one per function where each has its own section."""
    chunks = []
    for line in map_text.splitlines():
        chunk = LLD_CODE_CHUNK_LINE.match(line)
        if chunk:
            chunks.append((int(chunk.group(1), 16), int(chunk.group(2), 16), int(chunk.group(3), 16)))
    return chunks


def is_own_origin(origin, own_files):
    """Whether a symbol of lld's map comes from a file the build made (one of
    own_files, the base names of the build folder's files)."""
    if origin.startswith("<"):
        return False
    if ":" in origin:
        return origin.split(":", 1)[0] + ".a" in own_files
    return origin in own_files


def build_files(build_dir):
    """Base names of every file in the build folder."""
    own = set()
    for _, _, files in os.walk(build_dir):
        own.update(files)
    return own


def _gnu_linked_files(map_text):
    files = set()
    in_members = False
    for line in map_text.splitlines():
        if line.startswith(GNU_ARCHIVE_MEMBERS_HEADING):
            in_members = True
            continue
        if in_members and line and not line[0].isspace():
            member = GNU_ARCHIVE_MEMBER.match(line)
            if member:
                files.add(os.path.normpath(member.group(1)))
            else:
                in_members = False
        loaded = GNU_LOADED_FILE.match(line)
        if loaded and not loaded.group(1).endswith(".a"):
            files.add(os.path.normpath(loaded.group(1)))
    return files


def _lld_linked_files(map_text):
    files = set()
    for line in map_text.splitlines():
        symbol = LLD_SYMBOL_LINE.match(line)
        if not symbol or symbol.group(3).startswith("<"):
            continue  # <absolute>, <linker-defined>, <common>
        origin = symbol.group(3)
        if ":" in origin:
            files.add(origin.split(":", 1)[0] + ".a")
        else:
            files.add(origin)
    return files


def third_party_names(map_text, build_dir, source_dir):
    """Base names of the linked files that neither the build made nor the
    source holds (GNU ld loads the launcher's .def file from the source)."""
    own = build_files(build_dir)
    own_dirs = tuple(os.path.abspath(folder) + os.sep for folder in (build_dir, source_dir))
    names = set()
    for path in linked_files(map_text):
        name = os.path.basename(path)
        if os.path.isabs(path):
            if not os.path.abspath(path).startswith(own_dirs):
                names.add(name)
        elif is_lld_map(map_text) and not name.endswith((".obj", ".res")) and name not in own:
            names.add(name)
    return names
