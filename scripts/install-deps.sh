#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, only when any
# is missing. Usage: install-deps.sh [build|test|package|bench]...
set -euo pipefail

build=(cmake ninja-build g++ pkg-config libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev liblcms2-dev
       libwebp-dev libheif-dev libjxl-dev libraw-dev libgtk-3-dev libgtest-dev libbenchmark-dev)
# The photo tools make tests/data/photo (scripts/make_photo_test_files.py).
test=(clang xvfb xauth xdotool imagemagick x11-utils locales acl libglib2.0-bin dbus python3-gi
      libimage-exiftool-perl python3-pil webp libheif-examples libavif-bin libjxl-tools libraw-bin)
test_norecommends=(openbox)
package=(dpkg-dev file)
# The package stage of the tests: checking, installing and reading the package.
package_test=(lintian appstream man-db parallel)
bench=(python3-opencv python3-skimage python3-pil fonts-dejavu-core fonts-dejavu-extra)

wanted=()
norec=()
for group in "${@:-build}"; do
  case "$group" in
    build) wanted+=("${build[@]}") ;;
    test) wanted+=("${build[@]}" "${test[@]}" "${package[@]}" "${package_test[@]}")
          norec+=("${test_norecommends[@]}") ;;
    package) wanted+=("${package[@]}") ;;
    bench) wanted+=("${bench[@]}") ;;
    *) echo "unknown group: $group" >&2; exit 2 ;;
  esac
done

missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

need=$(missing "${wanted[@]}")
need_norec=$(missing "${norec[@]+"${norec[@]}"}")
[ -z "$need$need_norec" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "Installing: $need $need_norec"
$sudo apt-get update -qq
[ -z "$need" ] || $sudo apt-get install -y -qq $need
[ -z "$need_norec" ] || $sudo apt-get install -y -qq --no-install-recommends $need_norec
