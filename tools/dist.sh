#!/usr/bin/env bash
# Writes what a distributor ships to dist/: for the win32 and win64 builds the
# install archive and the symbols archive (cmake/Package.cmake makes them
# with every build), and SHA256SUMS over the four. With a key in the
# environment (SIGN_PKCS12 or SIGN_PKCS11_MODULE, see tools/gather-release.py)
# each Valdrenne.exe is signed before it is packed.
# Time stamps come from the commit (SOURCE_DATE_EPOCH), so two builds of one
# commit give byte-identical files (tools/check-reproducible.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

# The same time for every tool of the build (tools/release.py works it out).
SOURCE_DATE_EPOCH="$(/usr/bin/python3 tools/release.py commit-time)"
export SOURCE_DATE_EPOCH

# A failed release leaves no dist/ behind, rather than the last one.
rm -rf dist
for preset in win32 win64; do
    # Packed anew, so that the archives carry this commit's time.
    rm -rf "build/$preset/dist"
    tools/build.sh "$preset" -- --target release_archives
done
/usr/bin/python3 tools/gather-release.py --out dist build/win32/dist build/win64/dist
ls -l dist
