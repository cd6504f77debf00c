#!/usr/bin/env bash
# Installs everything the builds and tests need from Debian's packages.
# Idempotent: a machine that already has every package does nothing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build make g++ pkg-config
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64 xvfb x11-utils imagemagick
  googletest libgtest-dev libbenchmark-dev libfmt-dev
  clang-format python3-pefile
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# The update may fail while one architecture's security index is mid-sync;
# what it did fetch is still usable.
$SUDO apt-get update || echo "setup: apt-get update reported an error; going on"

# wine32's i386 libraries must match their amd64 twins exactly; when the
# security suite has newer amd64 builds than i386 ones, the install cannot be
# solved. Pinning the security suite below zero for this one transaction
# keeps both architectures on the same release.
prefs="$(mktemp)"
trap 'rm -f "$prefs"' EXIT
cat >"$prefs" <<'PREFS'
Package: *
Pin: release l=Debian-Security
Pin-Priority: -1
PREFS

if ! $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; then
  echo "setup: retrying with the security suite pinned down"
  $SUDO apt-get install -y --no-install-recommends --allow-downgrades \
    -o Dir::Etc::Preferences="$prefs" "${missing[@]}"
fi
