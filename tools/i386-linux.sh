# Sourced by the set-up and Wine scripts: what runs 32-bit x86 Linux programs
# here. Debian's Wine needs one, its i386 loader, for every 32-bit Windows
# program. Some kernels run none ("32-bit emulation disabled"); there
# qemu-user, registered in binfmt_misc, runs them.

# A 32-bit program that every machine with Wine's 32-bit side has (libc6:i386).
I386_PROBE=/lib/ld-linux.so.2
BINFMT_MISC=/proc/sys/fs/binfmt_misc
I386_EMULATOR_ENTRY=qemu-i386
I386_EMULATOR=/usr/bin/qemu-i386
# binfmt_misc's match for i386 ELF programs (types EXEC and DYN), as
# qemu's own binfmt configuration has it.
I386_ELF_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_ELF_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
I386_ELF_MAGIC_HEX=7f454c4601010100000000000000000002000300

# Succeeds when a 32-bit program starts, by the kernel or an emulator.
i386_program_starts() {
    "$I386_PROBE" --version >/dev/null 2>&1
}

# Prints the interpreter of the enabled binfmt_misc entry that takes i386
# programs, and fails when there is none. binfmt_misc is asked before the
# kernel's own ELF loader, so such an entry means the 32-bit side is
# emulated even on a kernel that could run it.
i386_emulator() {
    [ "$(cat "$BINFMT_MISC/status" 2>/dev/null)" = enabled ] || return 1
    local entry
    for entry in "$BINFMT_MISC"/*; do
        case "$entry" in */register | */status) continue ;; esac
        if grep -qx enabled "$entry" 2>/dev/null && grep -qx "magic $I386_ELF_MAGIC_HEX" "$entry"; then
            sed -n 's/^interpreter //p' "$entry"
            return 0
        fi
    done
    return 1
}
