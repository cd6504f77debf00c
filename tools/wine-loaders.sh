# Sourced by the Wine scripts: Debian's Wine has one loader per architecture.
# The `wine` command always starts the i386 one, which may run under an
# emulator (tools/i386-linux.sh); a 64-bit program goes straight to its own.
WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
# IMAGE_FILE_MACHINE_I386, as od prints the PE header's machine field.
PE_MACHINE_I386=014c

# Prints the loader for a Windows program: the i386 loader for a 32-bit
# image, the 64-bit one for anything else (which hands a 32-bit image on).
wine_loader_for() {
    local pe_offset machine
    pe_offset="$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')"
    machine="$(od -An -tx2 -j$((${pe_offset:-0} + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')"
    if [ "$machine" = "$PE_MACHINE_I386" ]; then
        echo "$WINE32_LOADER"
    else
        echo "$WINE64_LOADER"
    fi
}
