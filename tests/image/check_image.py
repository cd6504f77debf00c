#!/usr/bin/python3
"""Checks what the built Valdrenne.exe declares about itself.

Usage: /usr/bin/python3 check_image.py PATH/TO/Valdrenne.exe [--machine i386|amd64] [--file-version 1.7.0.0]

The file version defaults to the one project() sets in CMakeLists.txt.

Reads the image with pefile (Debian package python3-pefile) and checks, field
by field, the headers, the export directory and every resource: version
block, icon groups and images, manifest and Games Explorer definition. Prints
one line per check and exits with 1 when any check fails.
"""

import argparse
import datetime
import io
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import release  # noqa: E402  (found in tools/)
from release import EXECUTABLE_NAME  # noqa: E402

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
LANG_NEUTRAL = 0x0000
LANG_EN_GB = 0x0809
LANG_EN_US = 0x0409

ICON_SIZES = (64, 64, 48, 48, 32, 32, 16, 16, 256, 256)
ICON_BITS = (8, 32) * 5
ICON_GROUPS = ((101, LANG_NEUTRAL), (110, LANG_EN_GB))
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
DIB_HEADER_SIZE = 40

MACHINES = {"i386": (0x014C, 0x10B), "amd64": (0x8664, 0x20B)}
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_LARGE_ADDRESS_AWARE = 0x0020
IMAGE_FILE_32BIT_MACHINE = 0x0100
IMAGE_FILE_DLL = 0x2000
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
DLLCHAR_DYNAMIC_BASE = 0x0040
DLLCHAR_NX_COMPAT = 0x0100
DLLCHAR_TERMINAL_SERVER_AWARE = 0x8000
STACK_RESERVE = 1024 * 1024
STACK_COMMIT = 4 * 1024

VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
VERSION_STRINGS = {
    "CompanyName": "Valdrenne",
    "FileDescription": "Valdrenne Launcher",
    "ProductName": "Qel Vendaro",
}
VERSION_STRING_ORDER = ("CompanyName", "FileDescription", "FileVersion", "LegalCopyright", "ProductName",
                        "ProductVersion")

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SETTINGS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
SUPPORTED_OS = ("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}")

GDF = "urn:schemas-microsoft-com:GameDescription.v1"
GDF_BASE_TYPES = "urn:schemas-microsoft-com:GamesExplorerBaseTypes.v1"
GDF_CHILDREN = ("Name", "Description", "ReleaseDate", "Genres", "Ratings", "Version",
                "WindowsSystemPerformanceRating", "Developers", "GameExecutables", "ExtendedProperties")
GDF_RATINGS = 6
GDF_SUPPORT_TASKS = (("0", "Client Manual"), ("1", "Client Support"))
GUID = re.compile(r"^\{[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}\}$")
PRODUCT_LINK = re.compile(r"^https://([a-z0-9-]+\.)*valdrenne\.net(/\S*)?$")


class Checker:
    def __init__(self):
        self.failures = 0

    def check(self, what, actual, expected):
        if actual == expected:
            print("ok    %s: %r" % (what, actual))
        else:
            self.failures += 1
            print("FAIL  %s: expected %r, got %r" % (what, expected, actual))
        return actual == expected

    def check_set(self, what, actual, expected):
        missing, extra = sorted(set(expected) - set(actual), key=str), sorted(set(actual) - set(expected), key=str)
        detail = "missing %r, unexpected %r" % (missing, extra)
        return self.expect("%s: %d as declared" % (what, len(expected)), not missing and not extra, detail)

    def expect(self, what, condition, detail=""):
        if condition:
            print("ok    %s" % what)
        else:
            self.failures += 1
            print("FAIL  %s%s" % (what, ": " + detail if detail else ""))
        return condition


COFF_SYMBOL_SIZE = 18


def section_name(pe, section):
    """The section's name; names longer than eight bytes are "/offset" into the COFF string table."""
    name = section.Name.rstrip(b"\0")
    if not name.startswith(b"/"):
        return name
    strings = pe.FILE_HEADER.PointerToSymbolTable + pe.FILE_HEADER.NumberOfSymbols * COFF_SYMBOL_SIZE
    start = strings + int(name[1:])
    return pe.__data__[start:pe.__data__.find(b"\0", start)]


def resource_table(pe):
    """{(type, name, language): data bytes} of every resource in the image."""
    table = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return table
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        type_key = str(rtype.name) if rtype.name is not None else rtype.id
        for rname in rtype.directory.entries:
            name_key = str(rname.name) if rname.name is not None else rname.id
            for rlang in rname.directory.entries:
                entry = rlang.data.struct
                table[(type_key, name_key, rlang.id)] = pe.get_data(entry.OffsetToData, entry.Size)
    return table


def check_headers(c, pe, machine):
    print("== headers")
    file_header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    machine_id, magic = MACHINES[machine]
    c.check("machine", hex(file_header.Machine), hex(machine_id))
    c.check("optional header magic", hex(optional.Magic), hex(magic))
    flags = file_header.Characteristics
    c.expect("executable image", flags & IMAGE_FILE_EXECUTABLE_IMAGE != 0)
    c.expect("not a DLL", flags & IMAGE_FILE_DLL == 0)
    if machine == "i386":
        # 64-bit images are large-address aware by nature.
        c.expect("32-bit machine flag", flags & IMAGE_FILE_32BIT_MACHINE != 0)
        c.expect("not large-address aware", flags & IMAGE_FILE_LARGE_ADDRESS_AWARE == 0, hex(flags))
    c.expect("relocations kept", flags & IMAGE_FILE_RELOCS_STRIPPED == 0, hex(flags))
    relocations = optional.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    c.expect("base relocation directory present", relocations.VirtualAddress != 0 and relocations.Size != 0)
    c.check("subsystem (Windows GUI)", optional.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI)
    c.check("subsystem version", (optional.MajorSubsystemVersion, optional.MinorSubsystemVersion), (6, 0))
    dll_flags = optional.DllCharacteristics
    c.expect("dynamic base", dll_flags & DLLCHAR_DYNAMIC_BASE != 0, hex(dll_flags))
    c.expect("NX compatible", dll_flags & DLLCHAR_NX_COMPAT != 0, hex(dll_flags))
    c.expect("terminal-server aware", dll_flags & DLLCHAR_TERMINAL_SERVER_AWARE != 0, hex(dll_flags))
    c.check("stack reserve", optional.SizeOfStackReserve, STACK_RESERVE)
    c.check("stack commit", optional.SizeOfStackCommit, STACK_COMMIT)
    c.check("header time stamp (reproducible builds)", file_header.TimeDateStamp, 0)


def check_exports(c, pe):
    print("== exports")
    if not c.expect("export directory present", hasattr(pe, "DIRECTORY_ENTRY_EXPORT")):
        return
    exports = pe.DIRECTORY_ENTRY_EXPORT
    c.check("export table module name", pe.get_string_at_rva(exports.struct.Name), EXECUTABLE_NAME.encode())
    c.check("ordinal base", exports.struct.Base, 1)
    c.check("number of functions", exports.struct.NumberOfFunctions, 1)
    c.check("number of names", exports.struct.NumberOfNames, 1)
    c.check("exports (name, ordinal)", [(s.name, s.ordinal) for s in exports.symbols], [(b"GetLibQelVersion", 1)])
    for symbol in exports.symbols:
        c.expect("export is not forwarded", symbol.forwarder is None)
        section = pe.get_section_by_rva(symbol.address)
        c.expect("export points into executable code",
                 section is not None and section.Characteristics & pefile.SECTION_CHARACTERISTICS[
                     "IMAGE_SCN_MEM_EXECUTE"] != 0)


def check_resource_list(c, table):
    print("== resource directory")
    expected = {(RT_VERSION, 1, LANG_EN_GB), (RT_MANIFEST, 1, LANG_EN_US), ("DATA", "__GDF_XML", LANG_NEUTRAL)}
    for group_id, language in ICON_GROUPS:
        expected.add((RT_GROUP_ICON, group_id, language))
        expected |= {(RT_ICON, icon_id, language) for icon_id in range(1, len(ICON_SIZES) + 1)}
    c.check_set("resources (type, name, language)", table.keys(), expected)
    c.check("manifests", [key for key in table if key[0] == RT_MANIFEST], [(RT_MANIFEST, 1, LANG_EN_US)])


def read_version_node(data, offset):
    """One VS_VERSIONINFO node: (key, value bytes, value type, children, end)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    key_start = offset + 6
    key_end = key_start
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[key_start:key_end].decode("utf-16-le")
    position = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if value_type == 1 else value_length
    value = data[position:position + value_size]
    position = (position + value_size + 3) & ~3
    children = []
    while position < end:
        child = read_version_node(data, position)
        children.append(child)
        position = (child[4] + 3) & ~3
    return key, value, value_type, children, end


def check_version(c, table, file_version):
    print("== version block")
    data = table.get((RT_VERSION, 1, LANG_EN_GB))
    if not c.expect("version resource present", data is not None):
        return
    key, value, _, children, _ = read_version_node(data, 0)
    c.check("root key", key, "VS_VERSION_INFO")
    fixed = struct.unpack("<13I", value)
    (signature, _, file_ms, file_ls, product_ms, product_ls, flags_mask, flags, file_os, file_type, file_subtype,
     date_ms, date_ls) = fixed
    c.check("fixed info signature", hex(signature), hex(VS_FIXEDFILEINFO_SIGNATURE))
    numbers = tuple(int(part) for part in file_version.split("."))
    c.check("file version", (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF), numbers)
    c.check("product version", (product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF),
            numbers)
    c.check("file flags mask", hex(flags_mask), "0x17")
    c.check("file flags", flags, 0)
    c.check("file OS", hex(file_os), "0x40004")
    c.check("file type", file_type, 1)
    c.check("file subtype", file_subtype, 0)
    c.check("file date", (date_ms, date_ls), (0, 0))
    blocks = {child[0]: child for child in children}
    c.check("blocks", sorted(blocks), ["StringFileInfo", "VarFileInfo"])
    if "StringFileInfo" in blocks:
        tables = blocks["StringFileInfo"][3]
        c.check("string tables", [t[0] for t in tables], ["080904b0"])
        if tables:
            strings = [(s[0], s[1].decode("utf-16-le").rstrip("\0")) for s in tables[0][3]]
            c.check("string names in order", [name for name, _ in strings], list(VERSION_STRING_ORDER))
            values = dict(strings)
            expected_strings = dict(VERSION_STRINGS, FileVersion=file_version, ProductVersion=file_version)
            for name, expected in expected_strings.items():
                c.check("string %s" % name, values.get(name), expected)
            copyright_line = values.get("LegalCopyright", "")
            c.expect("string LegalCopyright names the distributor",
                     copyright_line.startswith("Copyright") and "Valdrenne" in copyright_line, repr(copyright_line))
    if "VarFileInfo" in blocks:
        variables = blocks["VarFileInfo"][3]
        c.check("VarFileInfo entries", [v[0] for v in variables], ["Translation"])
        if variables:
            c.check("translation", [hex(v) for v in struct.unpack("<HH", variables[0][1])], ["0x809", "0x4b0"])


def describe_icon_image(data):
    """(width, height, bits per pixel, problem or None) of one RT_ICON image."""
    if data.startswith(PNG_SIGNATURE):
        width, height, depth, colour_type = struct.unpack_from(">IIBB", data, 16)
        bits = {(8, 3): 8, (8, 6): 32}.get((depth, colour_type))
        problem = None if data[12:16] == b"IHDR" else "PNG without IHDR first"
        if colour_type == 3 and b"PLTE" not in data:
            problem = "palette PNG without PLTE"
        return width, height, bits, problem
    (header_size, width, height, planes, bits, compression, image_size, _, _, colours_used,
     _) = struct.unpack_from("<IiiHHIIiiII", data, 0)
    if header_size != DIB_HEADER_SIZE or planes != 1 or compression != 0:
        return width, height // 2, bits, "unexpected DIB header"
    palette = (colours_used or (1 << bits)) * 4 if bits <= 8 else 0
    colour_rows = ((width * bits + 31) // 32 * 4) * width
    mask_rows = ((width + 31) // 32 * 4) * width
    expected_size = DIB_HEADER_SIZE + palette + colour_rows + mask_rows
    if len(data) != expected_size or image_size != colour_rows + mask_rows:
        return width, height // 2, bits, "size %d, expected %d" % (len(data), expected_size)
    return width, height // 2, bits, None


def check_icons(c, table):
    print("== icons")
    for group_id, language in ICON_GROUPS:
        data = table.get((RT_GROUP_ICON, group_id, language))
        if not c.expect("icon group %d, language 0x%04x, present" % (group_id, language), data is not None):
            continue
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        c.check("group %d header (reserved, type, count)" % group_id, (reserved, kind, count), (0, 1, 10))
        c.check("group %d size" % group_id, len(data), 6 + 14 * count)
        entries = [struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i) for i in range(count)]
        c.check("group %d sizes in order" % group_id, [e[0] or 256 for e in entries], list(ICON_SIZES))
        c.check("group %d bit depths in order" % group_id, [e[5] for e in entries], list(ICON_BITS))
        c.check("group %d icon ids" % group_id, [e[7] for e in entries], list(range(1, 11)))
        c.check("group %d planes and colour counts" % group_id, {(e[4], e[2], e[3]) for e in entries}, {(1, 0, 0)})
        for width, height, _, _, _, bits, byte_count, icon_id in entries:
            image = table.get((RT_ICON, icon_id, language))
            where = "group %d icon %d (language 0x%04x)" % (group_id, icon_id, language)
            if not c.expect("%s present" % where, image is not None):
                continue
            c.check("%s byte count matches group entry" % where, len(image), byte_count)
            image_width, image_height, image_bits, problem = describe_icon_image(image)
            c.expect("%s well formed" % where, problem is None, problem or "")
            c.check("%s size and bits" % where, (image_width, image_height, image_bits),
                    (width or 256, height or 256, bits))
    neutral = [table.get((RT_ICON, i, LANG_NEUTRAL)) for i in range(1, 11)]
    english = [table.get((RT_ICON, i, LANG_EN_GB)) for i in range(1, 11)]
    c.expect("both groups show the same images", neutral == english)


def attributes(element):
    return dict(element.attrib) if element is not None else None


def check_manifest(c, table, file_version):
    print("== manifest")
    data = table.get((RT_MANIFEST, 1, LANG_EN_US))
    if not c.expect("manifest (24, 1, 1033) present", data is not None):
        return
    try:
        root = ET.fromstring(data)
    except ET.ParseError as error:
        c.expect("manifest parses as XML", False, str(error))
        return
    a1, a3 = "{%s}" % ASM_V1, "{%s}" % ASM_V3
    c.check("root element", root.tag, a1 + "assembly")
    c.check("manifestVersion", root.get("manifestVersion"), "1.0")
    c.check("assembly identity", attributes(root.find(a1 + "assemblyIdentity")),
            {"type": "win32", "version": file_version, "processorArchitecture": "*", "name": "Valdrenne"})
    dependencies = root.findall(a1 + "dependency")
    c.check("dependencies", len(dependencies), 1)
    if dependencies:
        c.check("dependency is optional", dependencies[0].get("optional"), "yes")
        c.check("common controls identity",
                attributes(dependencies[0].find(a1 + "dependentAssembly/" + a1 + "assemblyIdentity")),
                {"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
                 "processorArchitecture": "*", "publicKeyToken": "6595b64144ccf1df", "language": "*"})
    levels = root.findall(".//" + a3 + "requestedExecutionLevel")
    c.check("requested execution levels", [attributes(level) for level in levels],
            [{"level": "asInvoker", "uiAccess": "false"}])
    c.expect("execution level under trustInfo/security/requestedPrivileges",
             root.find(a3 + "trustInfo/" + a3 + "security/" + a3 + "requestedPrivileges/" + a3 +
                       "requestedExecutionLevel") is not None)
    settings = root.find(a3 + "application/" + a3 + "windowsSettings")
    if c.expect("application/windowsSettings present", settings is not None):
        dpi_aware = settings.find("{%s}dpiAware" % SETTINGS_2005)
        dpi_awareness = settings.find("{%s}dpiAwareness" % SETTINGS_2016)
        c.check("dpiAware", dpi_aware.text if dpi_aware is not None else None, "True/PM")
        c.check("dpiAwareness", dpi_awareness.text if dpi_awareness is not None else None, "PerMonitorV2, PerMonitor")
    compatibility = "{%s}" % COMPATIBILITY
    systems = root.findall(compatibility + "compatibility/" + compatibility + "application/" + compatibility +
                           "supportedOS")
    c.check("supported operating systems in order", [s.get("Id") for s in systems], list(SUPPORTED_OS))


def check_game_definition(c, table, executable_name, file_version):
    print("== Games Explorer definition")
    data = table.get(("DATA", "__GDF_XML", LANG_NEUTRAL))
    if not c.expect("game definition (DATA, __GDF_XML, neutral) present", data is not None):
        return
    c.check("UTF-16 byte order mark", data[:2], b"\xff\xfe")
    text = data.decode("utf-16")
    c.expect("declares UTF-16", text.startswith('<?xml version="1.0" encoding="utf-16"?>'), text[:60])
    try:
        namespaces = [ns for _, ns in ET.iterparse(io.BytesIO(data), events=("start-ns",))]
        root = ET.fromstring(data)
    except ET.ParseError as error:
        c.expect("game definition parses as XML", False, str(error))
        return
    c.check("namespace declarations", namespaces, [("baseTypes", GDF_BASE_TYPES), ("", GDF)])
    g = "{%s}" % GDF
    c.check("root element", root.tag, g + "GameDefinitionFile")
    c.check("root children", [child.tag for child in root], [g + "GameDefinition"])
    definition = root.find(g + "GameDefinition")
    if definition is None:
        return
    c.expect("gameID is a GUID", GUID.match(definition.get("gameID", "")) is not None, definition.get("gameID"))
    c.check("GameDefinition children in order", [child.tag[len(g):] for child in definition], list(GDF_CHILDREN))
    c.check("Name", definition.findtext(g + "Name"), "Valdrenne")
    description = definition.findtext(g + "Description") or ""
    c.expect("Description is one paragraph", description.strip() != "" and "\n" not in description, repr(description))
    release = definition.findtext(g + "ReleaseDate") or ""
    try:
        datetime.date.fromisoformat(release)
        valid_date = re.match(r"^\d{4}-\d{2}-\d{2}$", release) is not None
    except ValueError:
        valid_date = False
    c.expect("ReleaseDate is yyyy-mm-dd", valid_date, repr(release))
    c.check("Genres", [genre.text for genre in definition.findall(g + "Genres/" + g + "Genre")], ["Action"])
    ratings = definition.findall(g + "Ratings/" + g + "Rating")
    c.check("Rating entries", len(ratings), GDF_RATINGS)
    c.check("Ratings children", {child.tag for child in definition.find(g + "Ratings")}, {g + "Rating"})
    for index, rating in enumerate(ratings):
        ids = [rating.get("ratingSystemID", ""), rating.get("ratingID", "")]
        ids += [descriptor.get("descriptorID", "") for descriptor in rating]
        c.expect("Rating %d: GUIDs for system, rating and descriptors" % index,
                 all(GUID.match(i) for i in ids) and all(child.tag == g + "Descriptor" for child in rating), ids)
    with_descriptors = sum(1 for rating in ratings if len(rating))
    c.expect("some ratings have descriptors, some do not", 0 < with_descriptors < len(ratings),
             "%d of %d" % (with_descriptors, len(ratings)))
    c.check("VersionNumber", [attributes(v) for v in definition.findall(g + "Version/" + g + "VersionNumber")],
            [{"versionNumber": file_version}])
    c.check("WindowsSystemPerformanceRating", attributes(definition.find(g + "WindowsSystemPerformanceRating")),
            {"minimum": "2.0", "recommended": "4.0"})
    developers = definition.findall(g + "Developers/" + g + "Developer")
    c.check("Developer entries", len(developers), 1)
    for developer in developers:
        c.expect("Developer has a product URI and a name",
                 PRODUCT_LINK.match(developer.get("URI", "")) is not None and bool((developer.text or "").strip()),
                 repr(attributes(developer)))
    c.check("GameExecutables",
            [attributes(e) for e in definition.findall(g + "GameExecutables/" + g + "GameExecutable")],
            [{"path": executable_name}])
    tasks = definition.find(g + "ExtendedProperties/" + g + "GameTasks")
    if not c.expect("ExtendedProperties/GameTasks present", tasks is not None):
        return
    c.check("GameTasks children", [child.tag[len(g):] for child in tasks], ["Play", "Support"])
    c.check("Play/Primary/FileTask", [attributes(t) for t in tasks.findall(g + "Play/" + g + "Primary/" + g + "*")],
            [{"path": executable_name, "arguments": ""}])
    c.check("Play/Primary element", [t.tag[len(g):] for t in tasks.findall(g + "Play/" + g + "Primary/" + g + "*")],
            ["FileTask"])
    support = tasks.findall(g + "Support/" + g + "Task")
    c.check("Support tasks (index, name)", [(t.get("index"), t.get("name")) for t in support], list(GDF_SUPPORT_TASKS))
    for task in support:
        links = [attributes(child) for child in task]
        c.expect("Support task %s: one URLTask with a product link" % task.get("index"),
                 [child.tag for child in task] == [g + "URLTask"] and PRODUCT_LINK.match(links[0].get("Link", "")),
                 repr(links))


def check_image(c, path, machine, file_version):
    """Every check above on the image at path."""
    print("image: %s" % path)
    pe = pefile.PE(path)
    table = resource_table(pe)
    c.check("file name", os.path.basename(path), EXECUTABLE_NAME)
    check_headers(c, pe, machine)
    check_exports(c, pe)
    check_resource_list(c, table)
    check_version(c, table, file_version)
    check_icons(c, table)
    check_manifest(c, table, file_version)
    check_game_definition(c, table, EXECUTABLE_NAME, file_version)


def report(c):
    if c.failures:
        print("%d check(s) failed" % c.failures)
        return 1
    print("all checks passed")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("image")
    parser.add_argument("--machine", choices=sorted(MACHINES), default="i386")
    parser.add_argument("--file-version", default=release.project_version(),
                        help="the version the build declares (major.minor.patch.tweak)")
    arguments = parser.parse_args()
    c = Checker()
    check_image(c, arguments.image, arguments.machine, arguments.file_version)
    return report(c)


if __name__ == "__main__":
    sys.exit(main())
