#!/usr/bin/env bash
# Installs what building, running and testing Kelvane needs on Debian 12, as
# root. Packages already present are left alone, so a second run is quick.
set -euo pipefail

# The compiler and build tools; Qt for the windows; the test and benchmark
# libraries; a CJK font for the windows; Xvfb for tools/screenshots.sh;
# python3 for tools/validation.sh; clang for the fuzz preset; libcsv for the
# case tables of design studies (kelvane --batch --cases); toml++ for case
# files (--case); dpkg-dev for `cpack -G DEB` (dpkg-shlibdeps); librsvg2-bin
# for tools/render-icons.sh; debootstrap and desktop-file-utils for
# tools/check-deb.sh.
packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libtomlplusplus-dev
  dpkg-dev librsvg2-bin debootstrap desktop-file-utils
  # Qt Charts and Qt SVG for the time-history and envelope charts and their
  # SVG export; with --no-install-recommends find_package(Qt6 Charts) also
  # needs the OpenGL development files.
  qt6-charts-dev qt6-svg-dev libqt6opengl6-dev
  # The toolkit's own Chinese texts (standard buttons, file dialogs).
  qt6-translations-l10n
  googletest libgtest-dev libbenchmark-dev
  fonts-wqy-zenhei
  xvfb xauth
  python3
  clang libclang-rt-14-dev
  libcsv-dev
  # The Windows build (cmake --preset windows, tools/windows-deps.sh): the
  # MinGW-w64 cross compiler with posix threads, and Wine to run its tests
  # and programs here (Wine finds fonts-wqy-zenhei above through fontconfig
  # for the Chinese captions). zip packs kelvane-VERSION-win64.zip.
  g++-mingw-w64-x86-64-posix wine wine64 zip
  # tools/render-icons.sh: the Windows icon (.ico) from the PNG sizes.
  imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
