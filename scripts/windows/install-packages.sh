#!/usr/bin/env bash
# Installs what the Windows build needs (MinGW-w64, nasm, meson, autotools,
# Wine, NSIS, ...), only when something is missing. Installed packages are
# never upgraded.
set -euo pipefail

# meson builds dav1d; autoconf, automake and libtool make LibRaw's configure
# script, which Debian's tarball leaves out; pkg-config is how libheif and
# libjxl find the libraries built before them.
packages=(cmake ninja-build meson pkg-config googletest dpkg-dev gpgv zip autoconf automake libtool
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools nasm
          wine wine64 fonts-wine nsis)
need=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || need+=("$p")
done
(( ${#need[@]} )) || exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${need[*]}"
# Another apt run may hold the lock for a while: wait for it.
for attempt in $(seq 10); do
  if $sudo apt-get -o DPkg::Lock::Timeout=60 update -qq &&
     $sudo apt-get -o DPkg::Lock::Timeout=60 install -y -qq --no-install-recommends --no-upgrade "${need[@]}"; then
    exit 0
  fi
  echo "apt-get failed (attempt $attempt); retrying in 10 s" >&2
  sleep 10
done
exit 1
