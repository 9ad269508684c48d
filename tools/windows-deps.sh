#!/usr/bin/env bash
# Makes the Windows libraries of the cross build ready in one folder (the
# `windows` CMake preset and cmake/mingw-w64.cmake read it):
#   qt/      Qt 6.4.2 for MinGW-w64: unpacked from the archive beside the
#            repository (../shared/windows/qt6.4.2-mingw-x86_64.tar.xz) when it
#            is there, else built from Debian's source of qtbase (about an hour
#            on 2 cores; needs root for apt-get)
#   prefix/  GoogleTest cross-built from /usr/src/googletest, libcsv built from
#            Debian's source package, and toml++ (header-only) from the host
#   usage: tools/windows-deps.sh [--no-qt]
# The folder is KELVANE_WINDOWS_DEPS, by default build/windows-deps; the Qt
# archive may be named by KELVANE_QT_ARCHIVE. What is there already is kept.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps=${KELVANE_WINDOWS_DEPS:-$root/build/windows-deps}
archive=${KELVANE_QT_ARCHIVE:-$root/../shared/windows/qt6.4.2-mingw-x86_64.tar.xz}
toolchain=$root/cmake/mingw-w64.cmake
want_qt=1
[ "${1:-}" = --no-qt ] && want_qt=0
mkdir -p "$deps/prefix" "$deps/work"
export KELVANE_WINDOWS_DEPS=$deps
jobs=$(nproc)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# apt-get source needs the archive's source lists.
ensure_deb_src() {
  if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    as_root tee /etc/apt/sources.list.d/debian-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    as_root apt-get update -q
  fi
}

# Qt's base modules from Debian's qt6-base source: bundled third-party
# libraries, no SQL, D-Bus, network, printing, Vulkan; tablet events off
# (the Debian source leaves out their header).
build_qt() {
  local work=$deps/work/qt prefix=$deps/qt
  ensure_deb_src
  mkdir -p "$work" && cd "$work"
  [ -d qtbase-everywhere-src-6.4.2 ] || {
    apt-get source --download-only qt6-base
    tar xJf qt6-base_6.4.2+dfsg.orig.tar.xz
  }
  cmake -G Ninja -S qtbase-everywhere-src-6.4.2 -B build -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_network=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_opengl_desktop=ON -DFEATURE_vulkan=OFF \
    -DFEATURE_tabletevent=OFF
  cmake --build build -j "$jobs"
  cmake --install build
  cd "$root"
}

if [ "$want_qt" = 1 ] && [ ! -f "$deps/qt/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  if [ -f "$archive" ]; then
    echo "windows-deps: Qt from $archive"
    rm -rf "$deps/qt" "$deps/qt6.4.2-mingw-x86_64"
    tar xJf "$archive" -C "$deps"
    mv "$deps/qt6.4.2-mingw-x86_64" "$deps/qt"
  else
    echo "windows-deps: no $archive; building Qt from Debian's source (about an hour)"
    build_qt
  fi
fi

# GoogleTest, static, with the same compiler.
if [ ! -f "$deps/prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "windows-deps: GoogleTest from /usr/src/googletest"
  cmake -G Ninja -S /usr/src/googletest -B "$deps/work/googletest" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps/prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$deps/work/googletest" -j "$jobs" >/dev/null
  cmake --install "$deps/work/googletest" >/dev/null
fi

# libcsv: one C file from Debian's source package.
if [ ! -f "$deps/prefix/lib/libcsv.a" ]; then
  echo "windows-deps: libcsv from Debian's source package"
  ensure_deb_src
  (cd "$deps/work" && rm -rf libcsv-* && apt-get source --download-only libcsv >/dev/null 2>&1 &&
     tar xzf libcsv_*.orig.tar.gz)
  src=$(find "$deps/work" -maxdepth 2 -name libcsv.c -printf '%h\n' | head -n 1)
  [ -n "$src" ] || { echo "windows-deps: libcsv's source not found" >&2; exit 1; }
  x86_64-w64-mingw32-gcc-posix -O2 -c "$src/libcsv.c" -I"$src" -o "$deps/work/libcsv.o"
  mkdir -p "$deps/prefix/include" "$deps/prefix/lib"
  x86_64-w64-mingw32-ar rcs "$deps/prefix/lib/libcsv.a" "$deps/work/libcsv.o"
  cp "$src/csv.h" "$deps/prefix/include/"
fi

# toml++ is header-only: the host's headers, with a package file of our own
# (the host's names its Linux shared library).
if [ ! -f "$deps/prefix/lib/cmake/tomlplusplus/tomlplusplusConfig.cmake" ]; then
  mkdir -p "$deps/prefix/include" "$deps/prefix/lib/cmake/tomlplusplus"
  cp -r /usr/include/toml++ "$deps/prefix/include/"
  cat >"$deps/prefix/lib/cmake/tomlplusplus/tomlplusplusConfig.cmake" <<'TOML'
get_filename_component(_toml_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET tomlplusplus::tomlplusplus)
  add_library(tomlplusplus::tomlplusplus INTERFACE IMPORTED)
  set_target_properties(tomlplusplus::tomlplusplus PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_toml_prefix}/include")
endif()
TOML
fi
echo "windows-deps: ready in $deps"
