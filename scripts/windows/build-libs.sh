#!/usr/bin/env bash
# Fetches the image libraries as Debian source packages, checks them, and
# cross-builds them for 64-bit Windows:
#   static: zlib, libjpeg-turbo, libpng, libtiff, LittleCMS, libwebp, brotli,
#           highway, libjxl, dav1d, aom (its AV1 encoder)
#   DLLs:   libde265, libheif (with dav1d and aom built in), LibRaw; these
#           three are LGPL, so a user can replace each one (photo-libs.sh)
# Each set of versions (and of these build recipes) is built once into
# build/windows-deps/<key>/, which is printed; versions.txt there lists
# what it holds. The machine's own apt set-up is not touched.
#   apt checks every file's SHA-256 against the signed Sources index,
#   gpgv checks each .dsc against the Debian keyring, and dpkg-source checks
#   the checksums again while unpacking.
# Usage: build-libs.sh [--refresh]   (--refresh: ask the archive for new versions)
# Progress goes to standard error, the folder alone to standard output.
set -euo pipefail
exec 3>&1 1>&2
cd "$(dirname "$0")/../.."
root=$PWD
deps=$root/build/windows-deps
apt_dir=$deps/apt
src=$deps/sources
jobs=${JOBS:-$(nproc)}
toolchain=$root/cmake/mingw-w64-x86_64.cmake
recipes=("$root/scripts/windows/build-libs.sh" "$root/scripts/windows/photo-libs.sh" "$toolchain")
# In build order: each needs only those before it.
packages=(zlib libjpeg-turbo libpng1.6 tiff lcms2 libwebp brotli highway jpeg-xl dav1d aom libde265 libheif libraw)
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

# One package at a time, so that a failure names its package: the security
# archive's version when it serves all of its files, else the release's
# (the security archive does not always serve its source files). Already
# downloaded files are kept.
cd "$src"
declare -A dsc
for p in "${packages[@]}"; do
  log=$deps/logs/apt-source-$p.log
  : > "$log"
  got=""
  for suite in bookworm-security bookworm; do
    if apt_src source --download-only "$p/$suite" >> "$log" 2>&1; then got=$suite; break; fi
  done
  if [[ -z $got ]]; then
    echo "Could not fetch Debian's source package $p (log: $log):" >&2
    grep '^E:' "$log" | sort -u >&2 || tail -5 "$log" >&2
    exit 1
  fi
  # The version apt chose ("Selected version '1:1.2.13.dfsg-1' (bookworm) for zlib"),
  # named without its epoch.
  v=$(sed -n "s/^Selected version '\([^']*\)' .* for $p\$/\1/p" "$log" | tail -1)
  [[ -n $v && -f ${p}_${v#*:}.dsc ]] || { echo "No .dsc for $p after fetching it (log: $log)" >&2; exit 1; }
  dsc[$p]=${p}_${v#*:}.dsc
done

# The cache key: every package's version and the recipes that build them.
versions=""
for p in "${packages[@]}"; do
  v=${dsc[$p]#${p}_}
  versions+="$p ${v%.dsc}"$'\n'
done
key=$( { printf '%s' "$versions"; cat "${recipes[@]}"; } | sha256sum | cut -c1-16)
prefix=$deps/$key
if [[ -f $prefix/.complete ]]; then
  echo "-- Image libraries already built: $prefix"
  echo "$prefix" >&3
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
# A .dsc's own line in the Sources index, whose InRelease apt checked
# against the archive keyring: "SHA-256 size name".
in_signed_index() {
  local sum size
  sum=$(sha256sum "$1" | cut -d' ' -f1)
  size=$(stat -c %s "$1")
  /usr/lib/apt/apt-helper cat-file "$apt_dir"/lists/*_Sources* 2>/dev/null | grep -F " $sum $size $(basename "$1")" > /dev/null
}
unpacked=$deps/unpacked
rm -rf "$unpacked" "$prefix"
mkdir -p "$unpacked" "$prefix/include" "$prefix/lib" "$prefix/bin" "$prefix/licenses" "$prefix/sources"
for p in "${packages[@]}"; do
  d=${dsc[$p]}
  if gpgv "${rings[@]}" "$d" > "$deps/logs/gpgv-$p.log" 2>&1; then
    echo "-- $d: $(grep -o 'Good signature from "[^"]*"' "$deps/logs/gpgv-$p.log" | head -1)"
  elif grep -q 'No public key' "$deps/logs/gpgv-$p.log" && ! grep -q 'BAD signature' "$deps/logs/gpgv-$p.log" &&
       in_signed_index "$d"; then
    # An uploader whose key came after the keyring Debian 12 ships (jpeg-xl's
    # 0.7.0-10+deb12u1): the archive's own signature over the index vouches
    # for the file instead.
    echo "-- $d: signer's $(grep -o 'key [0-9A-F]*' "$deps/logs/gpgv-$p.log" | head -1) is newer than the keyring;" \
         "its SHA-256 is in the archive's signed Sources index"
  else
    echo "Signature check failed for $d:" >&2; cat "$deps/logs/gpgv-$p.log" >&2; exit 1
  fi
  dpkg-source -x "$d" "$unpacked/$p" > "$deps/logs/unpack-$p.log" 2>&1 ||
    { echo "dpkg-source failed for $d" >&2; tail "$deps/logs/unpack-$p.log" >&2; exit 1; }
  mkdir -p "$prefix/licenses/$p"
  cp "$unpacked/$p/debian/copyright" "$prefix/licenses/$p/copyright"
done
printf '%s' "$versions" > "$prefix/versions.txt"

work=$deps/work
rm -rf "$work"
# The toolchain file's code-generation flags, and no contraction into fused
# multiply-adds, for every library. Nothing runs under Wine while they build
# (highway would try its target list program).
codegen=$(sed -n 's/^set(CMAKE_C_FLAGS_INIT "\(.*\)")$/\1/p' "$toolchain")
cflags="$codegen -ffp-contract=off"
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix" -DVISTREL_WINDOWS_DEPS="$prefix"
        -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cflags" -DVISTREL_WINE=OFF)
# pkg-config sees only the libraries built here, never the machine's own.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
unset PKG_CONFIG_PATH
timed() {  # name, command...: runs the command with its output in the name's log
  local name=$1 log=$deps/logs/build-$1.log t0=$SECONDS rc
  shift
  # Not "if ( ... )": errexit is ignored inside a tested subshell.
  set +e; ( set -e; "$@" ) > "$log" 2>&1; rc=$?; set -e
  (( rc == 0 )) || { echo "Building $name failed (log: $log)" >&2; tail -30 "$log" >&2; exit 1; }
  echo "-- Built $name in $((SECONDS - t0)) s"
}
cmake_build() {  # name, source folder, cmake arguments... (TARGET=t builds only t, without installing)
  local name=$1 dir=$2; shift 2
  cmake -S "$dir" -B "$work/$name" "${common[@]}" "$@"
  cmake --build "$work/$name" -j "$jobs" ${TARGET:+--target "$TARGET"}
  if [[ -z ${TARGET:-} ]]; then cmake --install "$work/$name"; fi
}
build() { timed "$1" cmake_build "$@"; }
t_all=$SECONDS

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

# LittleCMS builds with autotools; its library alone, static (libjxl finds
# it through its .pc file).
build_lcms2() {
  mkdir -p "$work/lcms2"
  cd "$work/lcms2"
  "$unpacked/lcms2/configure" --host=x86_64-w64-mingw32 --prefix="$prefix" --enable-static \
    --disable-shared --without-jpeg --without-tiff --without-zlib CC=x86_64-w64-mingw32-gcc-posix \
    CFLAGS="-O2 $cflags"
  make -j "$jobs" -C src install
  make -C include install
  make install-pkgconfigDATA
}
timed lcms2 build_lcms2

# WebP, JPEG XL, HEIF/AVIF and camera RAW.
. "$root/scripts/windows/photo-libs.sh"

echo "-- All ${#packages[@]} libraries built in $((SECONDS - t_all)) s"
rm -rf "$work" "$unpacked"
touch "$prefix/.complete"
echo "$prefix" >&3
