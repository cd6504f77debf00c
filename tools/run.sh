#!/usr/bin/env bash
# Stages an install of the shipping (i686) build with the sample client and
# starts the launcher under Wine. Arguments go to the launcher.
#   build/stage/Valdrenne.exe          the launcher, alone
#   build/stage/qel/loader.dll         the sample client's loader
# On Windows, build/stage runs as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/build.sh win32 -- --target Valdrenne sample_loader
# The launcher's data folder is named by major.minor of the build's version.
release_version="$(cat build/win32/generated/release-version.txt)"
data_folder="Qel Vendaro All/${release_version%.*}"

stage="build/stage"
rm -rf "$stage"
mkdir -p "$stage/qel"
cp build/win32/bin/Valdrenne.exe "$stage/"
cp build/win32/bin/loader.dll "$stage/qel/"

report="$(mktemp /tmp/valdrenne-run.XXXXXX)"
log="$(mktemp /tmp/valdrenne-log.XXXXXX)"
trap 'rm -f "$report" "$log"' EXIT
echo "Starting $stage/Valdrenne.exe $*"
set +e
# Wine's drive Z: is the root of the Linux file system.
QEL_SAMPLE_REPORT="Z:${report//\//\\}" \
    tools/with-wine.sh bash -c '
        tools/wine-exec.sh "$1" "${@:4}"
        code=$?
        cp "$WINEPREFIX/drive_c/ProgramData/$3/report.log" "$2" 2>/dev/null
        exit $code' _ "$stage/Valdrenne.exe" "$log" "$data_folder" "$@"
code=$?
set -e
echo "--- what the sample client received ---"
cat "$report"
echo "--- report.log ---"
cat "$log"
echo "--- launcher exit code: $code ---"
