#!/usr/bin/env bash
# Packs the Windows build into dist/: Vistrel-<version>-windows-x64.zip (the
# two programs with Help\, Samples\ and LICENSES\ beside them) and
# Vistrel-<version>-setup-x64.exe (NSIS). Run after scripts/windows/build.sh.
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

# Licences: ours, the four image libraries', the MinGW-w64 runtime's (linked
# in statically), the interface fonts' and the sample photos'.
cp scripts/windows/LICENSE-Vistrel.txt "$stage/LICENSES/Vistrel.txt"
cp "$deps/licenses/zlib/copyright" "$stage/LICENSES/zlib.txt"
cp "$deps/licenses/libjpeg-turbo/copyright" "$stage/LICENSES/libjpeg-turbo.txt"
cp "$deps/licenses/libpng1.6/copyright" "$stage/LICENSES/libpng.txt"
cp "$deps/licenses/tiff/copyright" "$stage/LICENSES/libtiff.txt"
cp "$deps/licenses/lcms2/copyright" "$stage/LICENSES/lcms2.txt"
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
ls -l "$zip_file" "$setup_file" | awk '{print $5, $9}'
