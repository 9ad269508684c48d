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
  # Qt's base modules only (Core, Gui, Widgets; the charts are drawn by the
  # program itself); Qt6Gui's CMake files ask for the OpenGL headers.
  qt6-base-dev libgl-dev
  libtomlplusplus-dev
  dpkg-dev librsvg2-bin debootstrap desktop-file-utils
  # The toolkit's own Chinese texts (standard buttons, file dialogs).
  qt6-translations-l10n
  googletest libgtest-dev libbenchmark-dev
  fonts-wqy-zenhei
  xvfb xauth
  # tools/screenshots.sh: a window manager, so that stacking and focus are a
  # desktop's, and the screen grab.
  openbox xdotool imagemagick
  # tools/wine-window-test.sh: xprop tells when the window manager is up.
  x11-utils
  # The Chinese locale (generated below), for the toolkit's file dialogs on
  # a desktop whose language is Chinese.
  locales
  python3
  clang libclang-rt-14-dev
  # The test command's format and tidy stages (tools/check-format.sh,
  # tools/tidy.sh, which uses run-clang-tidy).
  clang-format clang-tidy
  libcsv-dev
  # LibreOffice's writer without its windows: the calculation report's test
  # converts the editable copy (ODT) to PDF headless.
  libreoffice-writer-nogui
  # pdftotext, pdffonts and pdftoppm: the calculation report's test reads the
  # PDF's text and fonts and renders its pages.
  poppler-utils
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

# zh_CN.UTF-8 among the generated locales; generating it again is skipped.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf8'; then
  echo "Generating the zh_CN.UTF-8 locale"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" sed -i 's/^# *\(zh_CN\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN\.UTF-8 UTF-8' /etc/locale.gen ||
    echo 'zh_CN.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen
fi
