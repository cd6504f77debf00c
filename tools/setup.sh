#!/usr/bin/env bash
# Installs everything the builds and tests need from Debian's packages, and
# where the kernel starts no 32-bit programs, the emulator that runs Wine's
# 32-bit side. Idempotent: a machine that already has it all does nothing.
set -euo pipefail
. "$(dirname "$0")/i386-linux.sh"

PACKAGES=(
  cmake ninja-build make g++ pkg-config
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  clang-19 lld-19 llvm-19
  wine wine32:i386 wine64 xvfb x11-utils imagemagick
  googletest libgtest-dev libbenchmark-dev libfmt-dev
  clang-format python3-pefile python3-cryptography python3-pil
  osslsigncode softhsm2 libengine-pkcs11-openssl opensc
  clang-14 libclang-rt-14-dev
  gcovr
)

# Bookworm's own qemu-user (7.2) takes about 90 s to start one Wine program.
QEMU_MIN_VERSION=1:10

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

install_packages() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -gt 0 ] || return 0

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
}

# The backports suite of the machine's own Debian release, from the same
# address as the release itself.
add_backports_suite() {
  local codename uri
  codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
  BACKPORTS="$codename-backports"
  if apt-get indextargets --format '$(RELEASE)' 'Identifier: Packages' | grep -qx "$BACKPORTS"; then
    return 0
  fi
  uri="$(apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 'Identifier: Packages' |
    awk -v release="$codename" '$1 == release { print $2; exit }')"
  if [ -z "$uri" ]; then
    echo "setup: no Debian source for $codename to take the backports suite from" >&2
    return 1
  fi
  local list="/etc/apt/sources.list.d/$BACKPORTS.list"
  echo "deb [arch=amd64] $uri $BACKPORTS main" | $SUDO tee "$list" >/dev/null
  $SUDO apt-get update -o Dir::Etc::sourcelist="$list" -o Dir::Etc::sourceparts=- \
    -o APT::Get::List-Cleanup=0 >/dev/null
}

# Where the kernel starts no 32-bit programs, qemu-user runs them through
# binfmt_misc. Whatever cannot be set up is said; tools/test.sh then stops.
emulate_i386_where_needed() {
  i386_program_starts && return 0
  local actions=() version
  version="$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)"
  if [ -z "$version" ] || dpkg --compare-versions "$version" lt "$QEMU_MIN_VERSION"; then
    if ! add_backports_suite ||
      ! $SUDO apt-get install -y --no-install-recommends -t "$BACKPORTS" qemu-user >/dev/null; then
      echo "setup: this kernel starts no 32-bit programs and qemu-user $QEMU_MIN_VERSION could not be installed" >&2
      return 0
    fi
    actions+=("installed qemu-user $(dpkg-query -W -f='${Version}' qemu-user) from $BACKPORTS")
  fi
  if [ ! -e "$BINFMT_MISC/status" ]; then
    if ! $SUDO mount -t binfmt_misc binfmt_misc "$BINFMT_MISC"; then
      echo "setup: this kernel starts no 32-bit programs and binfmt_misc cannot be mounted" >&2
      return 0
    fi
    actions+=("mounted binfmt_misc")
  fi
  # An entry left by an earlier set-up may name an interpreter that is gone.
  if [ -e "$BINFMT_MISC/$I386_EMULATOR_ENTRY" ]; then
    echo -1 | $SUDO tee "$BINFMT_MISC/$I386_EMULATOR_ENTRY" >/dev/null
  fi
  # F: the kernel opens the interpreter now, so it serves every mount namespace.
  printf ':%s:M::%s:%s:%s:F\n' "$I386_EMULATOR_ENTRY" "$I386_ELF_MAGIC" "$I386_ELF_MASK" "$I386_EMULATOR" |
    $SUDO tee "$BINFMT_MISC/register" >/dev/null || true
  actions+=("registered $I386_EMULATOR for i386 programs in binfmt_misc")
  if i386_program_starts; then
    local summary
    printf -v summary '%s, ' "${actions[@]}"
    echo "setup: this kernel starts no 32-bit programs, which Wine's 32-bit side needs: ${summary%, }"
  else
    echo "setup: this kernel starts no 32-bit programs, and they do not start under $I386_EMULATOR either" >&2
  fi
}

install_packages
emulate_i386_where_needed
