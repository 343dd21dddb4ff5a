#!/usr/bin/env bash
# Fetches zlib, libjpeg-turbo, libpng, libtiff and LittleCMS from Debian's source
# packages, checks them, and cross-builds them as static libraries for 64-bit
# Windows. Each set of versions is built once into
# build/windows-deps/<versions>/, which is printed on the last line; the
# machine's own apt set-up is not touched.
#   apt checks every file's SHA-256 against the signed Sources index,
#   gpgv checks each .dsc against the Debian keyring, and dpkg-source checks
#   the checksums again while unpacking.
# Usage: build-libs.sh [--refresh]   (--refresh: ask the archive for new versions)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
deps=$root/build/windows-deps
apt_dir=$deps/apt
src=$deps/sources
jobs=${JOBS:-$(nproc)}
toolchain=$root/cmake/mingw-w64-x86_64.cmake
packages=(zlib libjpeg-turbo libpng1.6 tiff lcms2)
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$src" "$deps/logs"

# A private deb-src list made from the machine's deb list.
sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$apt_dir/deb-src.sources"
apt_src() {
  apt-get -o Dir::Etc::sourcelist="$apt_dir/deb-src.sources" -o Dir::Etc::sourceparts=/dev/null \
    -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" \
    -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= "$@"
}

# The index is refreshed at most once a day (or on request).
stamp=$apt_dir/updated
if [[ ${1:-} == --refresh || ! -f $stamp || -n $(find "$stamp" -mmin +1440) ]]; then
  echo "-- Reading Debian's source index"
  apt_src update > "$deps/logs/apt-update.log" 2>&1 || { tail -20 "$deps/logs/apt-update.log"; exit 1; }
  touch "$stamp"
fi

# "NAME/bookworm" takes the release's version (the security archive does not
# always serve its source files). Already downloaded files are kept.
cd "$src"
want=()
for p in "${packages[@]}"; do want+=("$p/bookworm"); done
apt_src source --download-only "${want[@]}" > "$deps/logs/apt-source.log" 2>&1 ||
  { tail -20 "$deps/logs/apt-source.log"; exit 1; }
dsc_of() {  # package -> its newest .dsc here (what apt just selected)
  ls -1 "${1}"_*.dsc | sort -V | tail -1
}
key=""
declare -A dsc
for p in "${packages[@]}"; do
  dsc[$p]=$(dsc_of "$p")
  v=${dsc[$p]#${p}_}; v=${v%.dsc}
  key+="${key:+_}${p%1.6}-$v"
done
prefix=$deps/$key
if [[ -f $prefix/.complete ]]; then
  echo "-- Image libraries already built: $prefix"
  echo "$prefix"
  exit 0
fi

# The uploaders' signatures, checked against Debian's keyring (extracted
# privately, never installed).
keyring=$deps/keyring
if [[ ! -d $keyring/usr/share/keyrings ]]; then
  echo "-- Fetching the Debian keyring"
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get download debian-keyring > "$deps/logs/keyring.log" 2>&1 && dpkg-deb -x debian-keyring_*.deb "$keyring")
  rm -rf "$tmp"
fi
rings=()
for k in "$keyring"/usr/share/keyrings/*.gpg; do rings+=(--keyring "$k"); done
unpacked=$deps/unpacked
rm -rf "$unpacked" "$prefix"
mkdir -p "$unpacked" "$prefix/include" "$prefix/lib" "$prefix/licenses"
for p in "${packages[@]}"; do
  if ! gpgv "${rings[@]}" "${dsc[$p]}" > "$deps/logs/gpgv-$p.log" 2>&1; then
    echo "Signature check failed for ${dsc[$p]}:" >&2; cat "$deps/logs/gpgv-$p.log" >&2; exit 1
  fi
  echo "-- ${dsc[$p]}: $(grep -o 'Good signature from "[^"]*"' "$deps/logs/gpgv-$p.log" | head -1)"
  dpkg-source --require-valid-signature -x "${dsc[$p]}" "$unpacked/$p" > "$deps/logs/unpack-$p.log" 2>&1 ||
    dpkg-source -x "${dsc[$p]}" "$unpacked/$p" > "$deps/logs/unpack-$p.log" 2>&1 ||
    { echo "dpkg-source failed for ${dsc[$p]}" >&2; tail "$deps/logs/unpack-$p.log" >&2; exit 1; }
  mkdir -p "$prefix/licenses/$p"
  cp "$unpacked/$p/debian/copyright" "$prefix/licenses/$p/copyright"
done

work=$deps/work
rm -rf "$work"
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix" -DVISTREL_WINDOWS_DEPS="$prefix" -DCMAKE_C_FLAGS=-ffp-contract=off)
build() {  # name, source folder, cmake arguments... (TARGET=t builds only t, without installing)
  local name=$1 dir=$2; shift 2
  local log=$deps/logs/build-$name.log t0=$SECONDS
  {
    cmake -S "$dir" -B "$work/$name" "${common[@]}" "$@" &&
      cmake --build "$work/$name" -j "$jobs" ${TARGET:+--target "$TARGET"} &&
      if [[ -z ${TARGET:-} ]]; then cmake --install "$work/$name"; fi
  } > "$log" 2>&1 || { echo "Building $name failed (log: $log)" >&2; tail -30 "$log" >&2; exit 1; }
  echo "-- Built $name in $((SECONDS - t0)) s"
}

# zlib: the DLL target needs a resource file Debian's tarball leaves out, so
# only the static library is built and installed by hand.
TARGET=zlibstatic build zlib "$unpacked/zlib"
cp "$unpacked/zlib/zlib.h" "$work/zlib/zconf.h" "$prefix/include/"
cp "$work/zlib/libzlibstatic.a" "$prefix/lib/libz.a"
zlib=(-DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a")

build libjpeg-turbo "$unpacked/libjpeg-turbo" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF

build libpng "$unpacked/libpng1.6" "${zlib[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
  -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -Dld-version-script=OFF

# libtiff with the JPEG and Deflate codecs only.
build tiff "$unpacked/tiff" "${zlib[@]}" \
  -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" \
  -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
  -Dcxx=OFF -Djpeg=ON -Dold-jpeg=ON -Dzlib=ON -Dpixarlog=ON -Djpeg12=OFF -Dlibdeflate=OFF \
  -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dtiff-opengl=OFF -Dsphinx=OFF

# LittleCMS builds with autotools; its library alone, static.
build_lcms2() {
  local log=$deps/logs/build-lcms2.log t0=$SECONDS flags
  flags="-O2 -ffp-contract=off $(sed -n 's/^set(CMAKE_C_FLAGS_INIT "\(.*\)")$/\1/p' "$toolchain")"
  mkdir -p "$work/lcms2"
  (
    cd "$work/lcms2" &&
      "$unpacked/lcms2/configure" --host=x86_64-w64-mingw32 --prefix="$prefix" --enable-static \
        --disable-shared --without-jpeg --without-tiff --without-zlib CC=x86_64-w64-mingw32-gcc-posix \
        CFLAGS="$flags" &&
      make -j "$jobs" -C src install && make -C include install
  )> "$log" 2>&1 || { echo "Building lcms2 failed (log: $log)" >&2; tail -30 "$log" >&2; exit 1; }
  echo "-- Built lcms2 in $((SECONDS - t0)) s"
}
build_lcms2

rm -rf "$work" "$unpacked"
touch "$prefix/.complete"
echo "$prefix"
