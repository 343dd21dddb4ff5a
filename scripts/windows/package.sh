#!/usr/bin/env bash
# Packs the Windows build into dist/: Vistrel-<version>-windows-x64.zip (the
# two programs and the LGPL libraries' DLLs with Help\, Samples\ and
# LICENSES\ beside them), Vistrel-<version>-setup-x64.exe (NSIS) and
# Vistrel-<version>-windows-lgpl-sources.zip (the DLLs' sources, to offer
# beside the other two). Run after scripts/windows/build.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${VISTREL_WINDOWS_BUILD:-build/windows}
version=$(sed -n 's/^project(Vistrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deps=$(sed -n 's/^VISTREL_WINDOWS_DEPS:PATH=//p' "$build/CMakeCache.txt")
for program in vistrel vistrel-cli; do
  [[ -f $build/$program.exe ]] || { echo "$build/$program.exe is missing: build it first" >&2; exit 1; }
done

stage=$root/$build/stage/Vistrel
rm -rf "$root/$build/stage"
mkdir -p "$stage/LICENSES" dist
for program in vistrel vistrel-cli; do
  x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$build/$program.exe"
done
cp -r Help Samples "$stage/"

# The LGPL libraries are DLLs beside the programs, so that each can be
# replaced (LICENSES\LGPL-libraries.txt says how).
lgpl_dlls=(libheif libde265 libraw_r)
for dll in "${lgpl_dlls[@]}"; do
  cp "$deps/bin/$dll.dll" "$stage/"
done

# Licences: ours, the image libraries', the MinGW-w64 runtime's (linked in
# statically), the interface fonts' and the sample photos'.
cp scripts/windows/LICENSE-Vistrel.txt "$stage/LICENSES/Vistrel.txt"
licence() {  # file under the libraries' licenses/, name in LICENSES\
  cp "$deps/licenses/$1" "$stage/LICENSES/$2"
}
licence zlib/copyright zlib.txt
licence libjpeg-turbo/copyright libjpeg-turbo.txt
licence libpng1.6/copyright libpng.txt
licence tiff/copyright libtiff.txt
licence lcms2/copyright lcms2.txt
licence libwebp/copyright libwebp.txt
licence libwebp/PATENTS libwebp-PATENTS.txt
licence brotli/copyright brotli.txt
licence highway/copyright highway.txt
licence highway/LICENSE highway-Apache-2.0.txt
licence jpeg-xl/copyright libjxl.txt
licence jpeg-xl/PATENTS libjxl-PATENTS.txt
licence dav1d/copyright dav1d.txt
licence aom/copyright aom.txt
licence aom/PATENTS aom-PATENTS.txt
licence libde265/copyright libde265.txt
licence libheif/copyright libheif.txt
licence libraw/copyright LibRaw.txt
licence libraw/COPYRIGHT LibRaw-COPYRIGHT.txt
licence libraw/LICENSE.LGPL LGPL-2.1.txt
cp /usr/share/common-licenses/LGPL-3 "$stage/LICENSES/LGPL-3.0.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/LICENSES/GPL-3.0.txt"
version_of() { sed -n "s/^$1 //p" "$deps/versions.txt"; }
sed -e "s/@libheif@/$(version_of libheif)/; s/@libde265@/$(version_of libde265)/" \
    -e "s/@libraw@/$(version_of libraw)/; s/@version@/$version/" \
    scripts/windows/LGPL-libraries.txt > "$stage/LICENSES/LGPL-libraries.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/LICENSES/mingw-w64-runtime.txt"
cp ui/art/README.md "$stage/LICENSES/interface-art-and-DejaVu-fonts.md"
cp Samples/LICENSES.md "$stage/LICENSES/sample-photos.md"
# Windows text files: CR LF line ends.
find "$stage/LICENSES" -type f -exec sed -i 's/\r\?$/\r/' {} +

zip_file=dist/Vistrel-$version-windows-x64.zip
rm -f "$zip_file"
(cd "$root/$build/stage" && zip -q -r -9 "$root/$zip_file" Vistrel)

# The uninstaller deletes exactly the files it installed, deepest first.
{
  (cd "$stage" && find . -type f | sort) | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
  (cd "$stage" && find . -mindepth 1 -type d | sort -r) | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|'
} > "$root/$build/stage/installed-files.nsh"
setup_file=dist/Vistrel-$version-setup-x64.exe
icon=()
[[ -f platform/win32/resources/vistrel.ico ]] && icon=(-DICON="$root/platform/win32/resources/vistrel.ico")
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$root/$setup_file" "${icon[@]}" \
  scripts/windows/installer.nsi
# installed-files.nsh sits beside the stage folder.

# The exact sources of the LGPL DLLs, offered beside the downloads: Debian's
# source packages and the scripts that built the DLLs from them.
sources_zip=dist/Vistrel-$version-windows-lgpl-sources.zip
sources=$root/$build/stage/lgpl-sources/Vistrel-$version-lgpl-sources
rm -rf "$root/$build/stage/lgpl-sources" "$sources_zip"
mkdir -p "$sources/scripts/windows" "$sources/cmake"
for p in libheif libde265 libraw; do
  cp -r "$deps/sources/$p" "$sources/"
done
cp scripts/windows/build-libs.sh scripts/windows/photo-libs.sh "$sources/scripts/windows/"
cp cmake/mingw-w64-x86_64.cmake "$sources/cmake/"
cp "$stage/LICENSES/LGPL-libraries.txt" "$sources/README.txt"
(cd "$sources/.." && zip -q -r -9 "$root/$sources_zip" "$(basename "$sources")")
ls -l "$zip_file" "$setup_file" "$sources_zip" | awk '{print $5, $9}'
