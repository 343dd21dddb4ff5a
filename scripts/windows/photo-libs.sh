# Sourced by build-libs.sh after the classic image libraries: cross-builds
# the libraries of WebP, JPEG XL, HEIF/AVIF and camera RAW into $prefix.
#   static: libwebp (+demux, mux), brotli, highway, libjxl, dav1d, aom
#   DLLs:   libde265.dll, libheif.dll (libde265 for HEVC, dav1d and the aom
#           encoder for AV1, built in), libraw_r.dll
# libheif, libde265 and LibRaw are LGPL: each is its own DLL beside the
# programs, which call only its C functions through an import library, so
# that a user can build and drop in a replacement. Every DLL carries its own
# libgcc, libstdc++ and winpthread (-static) and exports none of the static
# libraries linked into it (--exclude-libs).
dll_link=(-DCMAKE_SHARED_LINKER_FLAGS="-static -Wl,--exclude-libs,ALL")

build libwebp "$unpacked/libwebp" -DBUILD_SHARED_LIBS=OFF -DWEBP_BUILD_ANIM_UTILS=OFF \
  -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF \
  -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
  -DWEBP_BUILD_LIBWEBPMUX=ON

# brotli 1.0.9 always builds DLLs and "-static" archives side by side: only
# the archives stay, under the names its .pc files give.
build_brotli() {
  cmake_build brotli "$unpacked/brotli" -DBROTLI_DISABLE_TESTS=ON -DBUILD_SHARED_LIBS=OFF
  local l
  for l in common dec enc; do
    rm -f "$prefix/lib/libbrotli$l.dll.a" "$prefix/bin/libbrotli$l.dll"
    mv "$prefix/lib/libbrotli$l-static.a" "$prefix/lib/libbrotli$l.a"
  done
}
timed brotli build_brotli

build highway "$unpacked/highway" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF -DHWY_ENABLE_TESTS=OFF \
  -DHWY_ENABLE_EXAMPLES=OFF -DHWY_ENABLE_CONTRIB=OFF -DHWY_ENABLE_INSTALL=ON

# libjxl with LittleCMS, highway and brotli from here (Debian's tarball
# leaves third_party/ empty), as Debian builds it, without its tools.
# Its vector code for AVX2 and later may use fused multiply-adds, and GCC
# fuses a product and a sum there unless told not to: Debian's build (-O2,
# GCC's own contraction setting) does, so this one does the same, or lossy
# pictures would decode a few values one apart from the Linux build's.
build libjxl "$unpacked/jpeg-xl" -DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS="-O2 $codegen" \
  -DCMAKE_CXX_FLAGS="-O2 $codegen" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF \
  -DJPEGXL_ENABLE_TOOLS=OFF -DJPEGXL_ENABLE_EXAMPLES=OFF -DJPEGXL_ENABLE_BENCHMARK=OFF \
  -DJPEGXL_ENABLE_DOXYGEN=OFF -DJPEGXL_ENABLE_MANPAGES=OFF -DJPEGXL_ENABLE_JNI=OFF \
  -DJPEGXL_ENABLE_SJPEG=OFF -DJPEGXL_ENABLE_OPENEXR=OFF -DJPEGXL_ENABLE_SKCMS=OFF \
  -DJPEGXL_BUNDLE_SKCMS=OFF -DJPEGXL_ENABLE_PLUGINS=OFF -DJPEGXL_ENABLE_DEVTOOLS=OFF \
  -DJPEGXL_ENABLE_TCMALLOC=OFF -DJPEGXL_ENABLE_FUZZERS=OFF -DJPEGXL_ENABLE_VIEWERS=OFF \
  -DJPEGXL_FORCE_SYSTEM_BROTLI=ON -DJPEGXL_FORCE_SYSTEM_HWY=ON -DJPEGXL_FORCE_SYSTEM_LCMS2=ON \
  -DJPEGXL_WARNINGS_AS_ERRORS=OFF

# dav1d builds with meson; its assembly with nasm.
build_dav1d() {
  local cross=$work/meson-cross.txt flag args=""
  for flag in $cflags; do args+="'$flag', "; done
  mkdir -p "$work"
  cat > "$cross" <<EOF
[binaries]
c = 'x86_64-w64-mingw32-gcc-posix'
ar = 'x86_64-w64-mingw32-ar'
strip = 'x86_64-w64-mingw32-strip'
windres = 'x86_64-w64-mingw32-windres'
nasm = 'nasm'
pkg-config = 'pkg-config'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'

[built-in options]
c_args = [${args%, }]
c_link_args = ['-static']
EOF
  meson setup "$work/dav1d" "$unpacked/dav1d" --cross-file "$cross" --prefix="$prefix" --libdir=lib \
    --buildtype=release -Ddefault_library=static -Denable_tools=false -Denable_tests=false \
    -Denable_examples=false -Denable_asm=true
  ninja -C "$work/dav1d" -j "$jobs" install
}
timed dav1d build_dav1d

# aom for encoding AV1 only (dav1d decodes), with nasm rather than yasm.
build aom "$unpacked/aom" -DBUILD_SHARED_LIBS=OFF -DAOM_TARGET_CPU=x86_64 -DENABLE_NASM=ON \
  -DENABLE_DOCS=OFF -DENABLE_EXAMPLES=OFF -DENABLE_TESTS=OFF -DENABLE_TESTDATA=OFF -DENABLE_TOOLS=OFF \
  -DCONFIG_AV1_DECODER=0 -DCONFIG_AV1_ENCODER=1

build libde265 "$unpacked/libde265" "${dll_link[@]}" -DBUILD_SHARED_LIBS=ON -DENABLE_SDL=OFF \
  -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF

# libheif with its codecs built in (no plugin loading), and the header
# compression Debian's build has.
build libheif "$unpacked/libheif" "${dll_link[@]}" "${zlib[@]}" -DBUILD_SHARED_LIBS=ON -DWITH_EXAMPLES=OFF \
  -DBUILD_TESTING=OFF -DENABLE_PLUGIN_LOADING=OFF -DWITH_DEFLATE_HEADER_COMPRESSION=ON \
  -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF -DWITH_DAV1D=ON -DWITH_DAV1D_PLUGIN=OFF \
  -DWITH_AOM_ENCODER=ON -DWITH_AOM_ENCODER_PLUGIN=OFF -DWITH_AOM_DECODER=OFF \
  -DWITH_X265=OFF -DWITH_SvtEnc=OFF -DWITH_RAV1E=OFF

# LibRaw, with libjpeg (lossy DNG) and zlib (deflate DNG) as Debian's.
# Debian's tarball has no configure script (its rules run dh_autoreconf).
# libtool makes only a static archive for this host (its C++ tag says
# build_libtool_libs=no, and -static anywhere means "static only" to it),
# so the DLL is linked from the archive's objects by hand: with no
# __declspec(dllexport) in LibRaw's MinGW headers, ld exports every global
# symbol of those objects, and --exclude-libs keeps out those of libjpeg,
# zlib and the runtime (_Unwind_Resume, pthread_*), which a --whole-archive
# link of libraw_r.a would export too.
# GCC at -O2 turns LibRaw 0.20's 36-byte CFA pattern loop (written through
# the first row of a 6 x 6 array) into one without an end, so a DNG whose
# CFAPattern has 36 entries but whose repeat is not 6 x 6 writes on until it
# crashes; without that loop optimisation the loop stops at 36.
build_libraw() {
  cp -a "$unpacked/libraw" "$work/libraw"
  cd "$work/libraw"
  autoreconf -fi
  ./configure --host=x86_64-w64-mingw32 --prefix="$prefix" --enable-static --disable-shared \
    --disable-openmp --enable-jpeg --enable-zlib --disable-jasper --disable-lcms --disable-examples \
    CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix \
    CFLAGS="-O2 $cflags" CXXFLAGS="-O2 -fno-aggressive-loop-optimizations $cflags" CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" \
    ZLIB_CFLAGS="-I$prefix/include" ZLIB_LIBS="-lz"
  grep -q -- '-DUSE_JPEG' Makefile || { echo "configure found no libjpeg"; exit 1; }
  grep -q -- '-DUSE_ZLIB' Makefile || { echo "configure found no zlib"; exit 1; }
  make -j "$jobs" lib/libraw_r.la
  mkdir -p "$prefix/include/libraw" objects
  cp libraw/*.h "$prefix/include/libraw/"
  (cd objects && x86_64-w64-mingw32-ar x ../lib/.libs/libraw_r.a)
  x86_64-w64-mingw32-g++-posix -shared -static -o "$prefix/bin/libraw_r.dll" objects/*.o \
    -Wl,--out-implib,"$prefix/lib/libraw_r.dll.a" -Wl,--exclude-libs,ALL \
    "$prefix/lib/libjpeg.a" "$prefix/lib/libz.a" -lws2_32
}
timed libraw build_libraw

# The DLLs stripped of their debugging information, as shipped.
for dll in libde265 libheif libraw_r; do
  x86_64-w64-mingw32-strip "$prefix/bin/$dll.dll"
done

# Licence texts beyond debian/copyright: Apache-2.0 for highway, the patent
# grants of libwebp, libjxl and aom, LibRaw's LGPL-2.1 and its notice.
cp "$unpacked/highway/LICENSE" "$prefix/licenses/highway/LICENSE"
cp "$unpacked/libwebp/PATENTS" "$prefix/licenses/libwebp/PATENTS"
cp "$unpacked/jpeg-xl/PATENTS" "$prefix/licenses/jpeg-xl/PATENTS"
cp "$unpacked/aom/PATENTS" "$prefix/licenses/aom/PATENTS"
cp "$unpacked/libraw/LICENSE.LGPL" "$unpacked/libraw/COPYRIGHT" "$prefix/licenses/libraw/"
# The exact sources of the LGPL DLLs, to pass on with them: each .dsc and
# the files it names.
for p in libde265 libheif libraw; do
  mkdir -p "$prefix/sources/$p"
  cp "$src/${dsc[$p]}" "$prefix/sources/$p/"
  for f in $(sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]\{32\} [0-9]* //p' "$src/${dsc[$p]}"); do
    cp "$src/$f" "$prefix/sources/$p/"
  done
done
