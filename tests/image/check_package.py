#!/usr/bin/python3
"""Checks the release archives of one build, as a distributor receives them.

Usage:
  check_package.py contents --zip Z --symbols-zip S --machine M --file-version V --nm NM --map MAP
                            --build-dir B --linker lld|gnu [--objdump OBJDUMP]
  check_package.py launch --zip Z --loader loader.dll --file-version V

contents: the install archive holds Valdrenne.exe, README.txt, NOTICES.txt
and only the DLLs the image imports that the system does not provide; its
entries are sorted and share one time stamp. NOTICES.txt names every
library that the link map shows pulled in. The image is stripped, links to
Valdrenne.exe.debug with that file's checksum, keeps the protections of the
hardening table in the README (with lld also, read from the image's code,
no indirect call of the launcher's own functions that skips control-flow
guard), and still passes every check of check_image.py; the symbols archive
holds the debug file, whose symbols name the export at the address the
image exports it.

launch: unpacks the install archive into a fresh folder, puts the sample
loader in qel beside the launcher and starts it under Wine (through
tools/wine-exec.sh, inside tools/with-wine.sh): the exit code is the one the
sample loader was asked for, and report.log has the launch line naming the
fresh folder.
"""

import argparse
import bisect
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

import pefile

import check_image
import link_map  # in tools/, on the path since check_image's import of release
import release
from release import DEBUG_NAME, EXECUTABLE_NAME, INSTALLER_TEXT_NAME, NOTICES_NAME

DEBUG_LINK_SECTION = b".gnu_debuglink"
# DLLs every supported Windows has; any other import must ship in the archive.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
               "oleaut32.dll", "msvcrt.dll", "psapi.dll", "version.dll"}
INSTALLER_TEXT_MARKERS = ("Install layout", "Exit codes", "report.log", "qel")
SAMPLE_EXIT_CODE = 73  # none of the launcher's own codes
LAUNCH_REPORT_ID = "5725"
LAUNCH_TIMEOUT_SECONDS = 120
TOOLS_DIR = os.path.dirname(os.path.abspath(release.__file__))


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


def pulled_libraries(map_path, build_dir):
    """Base names of the third-party archives and object files the link took
    code from, and whether {fmt}'s code is in the image."""
    with open(map_path, encoding="utf-8", errors="replace") as map_file:
        text = map_file.read()
    return link_map.third_party_names(text, build_dir, release.SOURCE_DIR), link_map.links_fmt(text)


def check_notices(c, notices, map_path, build_dir):
    print("== notices of the code linked in")
    text = notices.decode("utf-8")
    names, uses_fmt = pulled_libraries(map_path, build_dir)
    c.expect("the link map shows libraries pulled in", len(names) > 0)
    c.check("libraries the link pulled in and the notices do not name",
            sorted(name for name in names if not re.search(r"\b%s\b" % re.escape(name), text)), [])
    c.check("{fmt} named exactly when its code is in the image", "{fmt}" in text, uses_fmt)
    # The notices that binary distributions must carry: the runtime's ZPL and
    # the Expat licences of winpthreads and {fmt}.
    for marker in ("Redistributions in binary form must reproduce", "Permission is hereby granted"):
        c.expect("carries %r" % marker, marker in text)
    c.expect("Windows line ends only", "\n" not in text.replace("\r\n", ""))


# The loader's flags and section marks behind the hardening table.
DLLCHAR_HIGH_ENTROPY_VA = 0x0020
SCN_MEM_SHARED = 0x10000000
SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_WRITE = 0x80000000
DLLCHAR_NO_SEH = 0x0400
DLLCHAR_GUARD_CF = 0x4000
IMAGE_GUARD_CF_INSTRUMENTED = 0x00000100
IMAGE_GUARD_CF_FUNCTION_TABLE_PRESENT = 0x00000400
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800
IMAGE_DEBUG_TYPE_EX_DLLCHARACTERISTICS = 20
DLLCHAR_EX_CET_COMPAT = 0x0001
# What winpthreads imports for thread cancellation and clock_settime, and
# the launcher never calls: the profile antivirus heuristics read as process
# injection. The win32-threads runtime brings none of them.
UNNEEDED_IMPORTS = {"SuspendThread", "GetThreadContext", "SetThreadContext", "SetSystemTime"}
# The one frame handler the launcher registers (launch/EntryGuard.cpp).
ENTRY_HANDLER = "LaunchEntryEscapeHandler"
# The value a stack guard holds in the file, which the system loader replaces
# with a random one in the variable that SecurityCookie names.
DEFAULT_SECURITY_COOKIE = {"i386": 0xBB40E64E, "amd64": 0x00002B992DDFA232}
# libssp's member that seeds its own guard, with a constructor that loads a
# cryptographic provider at every start.
GUARD_SEEDING_MEMBERS = {"libssp:ssp.o"}
# What GNU ld 2.40 and GCC 12, the second compiler's toolchain, cannot make.
NOT_MADE_BY_GNU = {
    "safe exception handlers (SafeSEH table)": "GNU ld writes no SafeSEH table",
    "control-flow guard": "GCC 12 has no -mguard=cf and GNU ld writes no guard tables",
    "System32-only imports": "GNU ld writes no load configuration",
}


# Operands in llvm-objdump's AT&T syntax. An indirect call goes through a
# register ("*%rax") or through memory; memory at a fixed address is named
# as an absolute ("*0x4050a0", "0x4050a0, %esi") or, relative to rip, in the
# comment ("*0x1234(%rip)  # 0x140005678").
INDIRECT_CALL = re.compile(r"^call[lq]?$")
REGISTER_OPERAND = re.compile(r"^\*%(\w+)$")
RIP_RELATIVE_ADDRESS = re.compile(r"\(%rip\).*#\s*(0x[0-9a-f]+)")
ABSOLUTE_ADDRESS = re.compile(r"^\*?(0x[0-9a-f]+)(?:,|$)")
INSTRUCTION_LINE = re.compile(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$")


def disassembly(objdump, image_path):
    """(address, mnemonic, operands) of every instruction of the image's code."""
    output = subprocess.run([objdump, "-d", "--no-show-raw-insn", image_path], check=True, capture_output=True,
                            text=True).stdout
    instructions = []
    for line in output.splitlines():
        instruction = INSTRUCTION_LINE.match(line)
        if instruction:
            instructions.append((int(instruction.group(1), 16), instruction.group(2), instruction.group(3).strip()))
    return instructions


def memory_operand_address(operands):
    """The fixed address of an instruction's memory operand, or None."""
    match = RIP_RELATIVE_ADDRESS.search(operands) or ABSOLUTE_ADDRESS.match(operands)
    return int(match.group(1), 16) if match else None


def unguarded_calls(instructions, functions, check_pointer, dispatch_pointer, import_table):
    """The indirect calls in the given functions ((name, start, end)) that
    control-flow guard does not check, as "name+0xoffset: call operands".

    A call is checked when it goes through the guard's dispatch pointer, or
    is the call that follows a call through its check pointer (i386: target
    in ecx, which the check keeps, or a copy the compiler keeps on the stack
    when ecx carries the this pointer). Calls through the import table are
    not checked by design: its entries are written by the system loader
    alone, in memory that is read-only once the image is bound. Both pointers
    and entries may be called through a register loaded from them. Any other
    call through memory, or through a register loaded from elsewhere, skips
    the guard."""
    addresses = [address for address, _, _ in instructions]
    found = []
    for name, start, end in functions:
        first = bisect.bisect_left(addresses, start)
        last = bisect.bisect_left(addresses, end)
        checked = False
        for index in range(first, last):
            address, mnemonic, operands = instructions[index]
            if not INDIRECT_CALL.match(mnemonic) or not operands.startswith("*"):
                continue
            register = REGISTER_OPERAND.match(operands)
            target = loaded_from(instructions, first, index, register.group(1)) if register else \
                memory_operand_address(operands)
            if target is not None and target == check_pointer:
                checked = True
            elif target is not None and (target == dispatch_pointer or import_table[0] <= target < import_table[1]):
                pass
            elif checked:
                checked = False
            else:
                found.append("%s+0x%x: %s %s" % (name, address - start, mnemonic, operands))
    return found


def loaded_from(instructions, first, index, register):
    """The fixed address the register was last loaded from before instruction
    index of the function that starts at first, or None. The destination is
    an instruction's last operand, when it has two or more; pop writes its
    only one."""
    for earlier in range(index - 1, first - 1, -1):
        _, mnemonic, operands = instructions[earlier]
        destination = operands.split("#", 1)[0].strip()
        if destination.endswith(", %" + register) or (mnemonic.startswith("pop") and destination == "%" + register):
            return memory_operand_address(operands) if mnemonic.startswith("mov") else None
    return None


def own_functions(map_path, build_dir, image):
    """(name, start, end) of the code of the launcher's own objects: each
    symbol the link map gives one of them, up to the next symbol or the end
    of the section contribution that holds it (lld lists the plain .text of
    many objects as one)."""
    with open(map_path, encoding="utf-8", errors="replace") as map_file:
        map_text = map_file.read()
    own_files = link_map.build_files(build_dir)
    base = image.OPTIONAL_HEADER.ImageBase
    chunks = sorted((base + image.sections[number - 1].VirtualAddress + offset, length)
                    for number, offset, length in link_map.lld_code_chunks(map_text) if length > 0)
    starts = [start for start, _ in chunks]
    symbols = link_map.lld_symbols(map_text)
    addresses = sorted({address for _, address, _ in symbols})
    functions = set()
    for name, address, origin in symbols:
        index = bisect.bisect_right(starts, address) - 1
        if index < 0 or address >= starts[index] + chunks[index][1] or not link_map.is_own_origin(origin, own_files):
            continue
        end = starts[index] + chunks[index][1]
        following = bisect.bisect_right(addresses, address)
        if following < len(addresses):
            end = min(end, addresses[following])
        functions.add((name, address, end))
    return sorted(functions, key=lambda function: function[1])


def check_guarded_calls(c, image, image_path, machine, map_path, build_dir, objdump):
    """No indirect call of the launcher's own functions skips control-flow
    guard, read from the image's code itself."""
    config = image.DIRECTORY_ENTRY_LOAD_CONFIG.struct
    base = image.OPTIONAL_HEADER.ImageBase
    check_pointer = config.GuardCFCheckFunctionPointer
    dispatch_pointer = config.GuardCFDispatchFunctionPointer if machine == "amd64" else None
    iat = image.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IAT"]]
    import_table = (base + iat.VirtualAddress, base + iat.VirtualAddress + iat.Size)
    functions = own_functions(map_path, build_dir, image)
    c.expect("control-flow guard: the link map names the launcher's own functions",
             any(name.lstrip("_").startswith("WinMain") for name, _, _ in functions))
    instructions = disassembly(objdump, image_path)
    c.expect("control-flow guard: the image makes checked calls",
             any(memory_operand_address(operands) in (check_pointer, dispatch_pointer)
                 for _, mnemonic, operands in instructions if INDIRECT_CALL.match(mnemonic)))
    c.check("control-flow guard: indirect calls of the launcher's own functions that skip the guard",
            unguarded_calls(instructions, functions, check_pointer, dispatch_pointer, import_table), [])


def check_hardening(c, image, image_path, debug_symbols, arguments):
    print("== hardening")
    machine, map_path = arguments.machine, arguments.map
    dll_flags = image.OPTIONAL_HEADER.DllCharacteristics
    relocations = image.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    c.expect("address space layout randomisation: dynamic base, relocations kept",
             dll_flags & check_image.DLLCHAR_DYNAMIC_BASE and relocations.Size != 0, hex(dll_flags))
    if machine == "amd64":
        c.expect("high-entropy addresses", dll_flags & DLLCHAR_HIGH_ENTROPY_VA != 0, hex(dll_flags))
    c.expect("data execution prevention: NX compatible", dll_flags & check_image.DLLCHAR_NX_COMPAT != 0)
    c.check("sections both writable and executable",
            [section_name for section_name, flags in section_flags(image)
             if flags & SCN_MEM_WRITE and flags & SCN_MEM_EXECUTE], [])
    c.check("writable shared sections",
            [section_name for section_name, flags in section_flags(image)
             if flags & SCN_MEM_WRITE and flags & SCN_MEM_SHARED], [])
    c.expect("stack buffer overrun detection: the stack protector's check is linked",
             "__stack_chk_fail" in debug_symbols and "__stack_chk_guard" in debug_symbols)
    c.expect("checked C library calls: fortified calls are linked",
             any(re.fullmatch(r"__\w+_chk", symbol) for symbol in debug_symbols))
    imported = {entry.name.decode() for dll in image.DIRECTORY_ENTRY_IMPORT for entry in dll.imports if entry.name}
    c.check("only what is needed is imported: no winpthreads calls", sorted(imported & UNNEEDED_IMPORTS), [])
    # Neither toolchain's code honours an enforced shadow stack: the fault
    # trap of the formatting code jumps back over frames, and no EH
    # continuation table lists the landing pads C++ catches resume at
    # (README).
    c.check("shadow-stack compatibility: not set", extended_dll_flags(image) & DLLCHAR_EX_CET_COMPAT, 0)
    if arguments.linker == "lld":
        check_load_configuration(c, image, debug_symbols, machine)
        check_guarded_calls(c, image, image_path, machine, map_path, arguments.build_dir, arguments.objdump)
        with open(map_path, encoding="utf-8", errors="replace") as map_file:
            members = link_map.lld_archive_members(map_file.read())
        c.check("stack buffer overrun detection: no libssp member that seeds a guard",
                sorted(members & GUARD_SEEDING_MEMBERS), [])
        return
    load_config = image.OPTIONAL_HEADER.DATA_DIRECTORY[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]]
    for rule, reason in NOT_MADE_BY_GNU.items():
        if machine == "amd64" and "SafeSEH" in rule:
            continue  # 64-bit images unwind by table, not by handler chain
        # They all live in the load configuration: its arrival means GNU ld
        # now makes them, and the README's table needs a look.
        c.check("%s: not made (%s)" % (rule, reason), load_config.Size, 0)
    c.expect("control-flow guard: not claimed", dll_flags & DLLCHAR_GUARD_CF == 0, hex(dll_flags))


def extended_dll_flags(image):
    """The extended DLL characteristics of the debug directory, or 0."""
    for entry in getattr(image, "DIRECTORY_ENTRY_DEBUG", []):
        if entry.struct.Type == IMAGE_DEBUG_TYPE_EX_DLLCHARACTERISTICS:
            return struct.unpack_from("<I", image.get_data(entry.struct.AddressOfRawData, 4))[0]
    return 0


def check_load_configuration(c, image, debug_symbols, machine):
    """The rules that live in the load configuration, read field by field."""
    dll_flags = image.OPTIONAL_HEADER.DllCharacteristics
    config = getattr(image, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
    if not c.expect("load configuration present", config is not None):
        return
    config = config.struct
    base, size = image.OPTIONAL_HEADER.ImageBase, image.OPTIONAL_HEADER.SizeOfImage

    def in_image(address):
        return base <= address < base + size

    guard_flags = getattr(config, "GuardFlags", 0)
    c.expect("control-flow guard: the image says guarded", dll_flags & DLLCHAR_GUARD_CF != 0, hex(dll_flags))
    c.expect("control-flow guard: flags say instrumented, with a function table",
             guard_flags & IMAGE_GUARD_CF_INSTRUMENTED and guard_flags & IMAGE_GUARD_CF_FUNCTION_TABLE_PRESENT,
             hex(guard_flags))
    c.expect("control-flow guard: a function table with entries",
             in_image(getattr(config, "GuardCFFunctionTable", 0)) and getattr(config, "GuardCFFunctionCount", 0) > 0)
    c.expect("control-flow guard: the check pointer", in_image(getattr(config, "GuardCFCheckFunctionPointer", 0)))
    if machine == "amd64":
        c.expect("control-flow guard: the dispatch pointer",
                 in_image(getattr(config, "GuardCFDispatchFunctionPointer", 0)))
    check_security_cookie(c, image, config, debug_symbols, machine)
    # pefile 2023 still calls DependentLoadFlags by its old name.
    c.check("System32-only imports: DependentLoadFlags",
            hex(getattr(config, "DependentLoadFlags", getattr(config, "Reserved1", 0))),
            hex(LOAD_LIBRARY_SEARCH_SYSTEM32))
    if machine != "i386":
        return
    c.expect("safe exception handlers: handlers allowed", dll_flags & DLLCHAR_NO_SEH == 0, hex(dll_flags))
    count = config.SEHandlerCount
    c.expect("safe exception handlers: a table with entries", in_image(config.SEHandlerTable) and count > 0)
    table = list(struct.unpack_from("<%dI" % count, image.get_data(config.SEHandlerTable - base, 4 * count)))
    c.check("safe exception handlers: the table is sorted", table, sorted(table))
    handler = debug_symbols.get(ENTRY_HANDLER)
    c.expect("safe exception handlers: the entry guard's handler is listed",
             handler is not None and handler - base in table, "%r not in %r" % (handler, table))


def check_security_cookie(c, image, config, debug_symbols, machine):
    """SecurityCookie names the stack protector's guard: a writable variable
    that holds the default in the file, for the loader to seed."""
    base = image.OPTIONAL_HEADER.ImageBase
    cookie = config.SecurityCookie
    c.check("stack buffer overrun detection: SecurityCookie names the stack protector's guard", hex(cookie),
            hex(debug_symbols.get("__stack_chk_guard", 0)))
    section = image.get_section_by_rva(cookie - base) if cookie > base else None
    c.expect("stack buffer overrun detection: the guard is writable",
             section is not None and section.Characteristics & SCN_MEM_WRITE != 0)
    if section is None:
        return
    width = 8 if machine == "amd64" else 4
    value = int.from_bytes(image.get_data(cookie - base, width), "little")
    c.check("stack buffer overrun detection: the guard holds the default in the file", hex(value),
            hex(DEFAULT_SECURITY_COOKIE[machine]))


def section_flags(image):
    return [(check_image.section_name(image, section).decode(), section.Characteristics)
            for section in image.sections]


def defined_symbols(nm, path):
    """The image's symbols by name, without the leading underscore of i386 C
    names or the argument size of stdcall ones, and their addresses."""
    output = subprocess.run([nm, path], check=True, capture_output=True, text=True).stdout
    symbols = {}
    for line in output.splitlines():
        parts = line.split()
        if len(parts) == 3:
            name = parts[2][1:] if parts[2].startswith("___") else parts[2]
            name = re.sub(r"^_(\w+)@\d+$", r"\1", name)
            symbols[name] = int(parts[0], 16)
    return symbols


def check_contents(c, arguments):
    print("== install archive: %s" % arguments.zip)
    with zipfile.ZipFile(arguments.zip) as archive:
        infos = archive.infolist()
        names = [info.filename for info in infos]
        c.check("entries in name order", names, sorted(names))
        c.check("one time stamp for every entry", len({info.date_time for info in infos}), 1)
        c.expect("launcher, installer text and notices present",
                 {EXECUTABLE_NAME, INSTALLER_TEXT_NAME, NOTICES_NAME} <= set(names), names)
        work = tempfile.mkdtemp(prefix="valdrenne-package.")
        try:
            archive.extractall(work)
            image_path = os.path.join(work, EXECUTABLE_NAME)
            with open(os.path.join(work, INSTALLER_TEXT_NAME), "rb") as text_file:
                text = text_file.read()
            image = pefile.PE(image_path)
            imports = {entry.dll.decode().lower() for entry in image.DIRECTORY_ENTRY_IMPORT}
            dlls = {name.lower() for name in names if name.lower().endswith(".dll")}
            c.check("entries besides the launcher and its texts are DLLs", len(names) - 3, len(dlls))
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

            with open(os.path.join(work, NOTICES_NAME), "rb") as notices:
                check_notices(c, notices.read(), arguments.map, arguments.build_dir)
            check_hardening(c, image, image_path, defined_symbols(arguments.nm, debug_path), arguments)
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

        major_minor = release.major_minor(arguments.file_version)
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
    parser.add_argument("--map")
    parser.add_argument("--build-dir")
    parser.add_argument("--linker", choices=("lld", "gnu"))
    parser.add_argument("--objdump")
    arguments = parser.parse_args()
    arguments.release_version = release.release_version(arguments.file_version)

    c = check_image.Checker()
    if arguments.mode == "contents":
        check_contents(c, arguments)
    else:
        check_launch(c, arguments)
    return check_image.report(c)


if __name__ == "__main__":
    sys.exit(main())
