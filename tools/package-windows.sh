#!/usr/bin/env bash
# Packs the Windows build into build/windows/kelvane-VERSION-win64.zip: the
# programs, the user's manual with its pictures and, with the GUI program,
# every DLL it needs that Windows itself lacks (Qt's, the MinGW run-time's,
# found by following the imports), the platform plugin, the native style,
# the image plugins and the toolkit's Chinese translations. Unzipped
# anywhere, it runs.
#   usage: tools/package-windows.sh [BUILD_DIR]      (default build/windows)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/windows}
deps=${KELVANE_WINDOWS_DEPS:-$root/build/windows-deps}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=kelvane-$version-win64
stage=$build/package/$name
objdump=x86_64-w64-mingw32-objdump
# Where the DLLs that are not Windows' own are found.
search=("$deps/qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)

rm -rf "$build/package"
mkdir -p "$stage"
cp "$build/app/kelvane.exe" "$stage/"
# The manual and the pictures it links, as installed on Linux.
cp "$root/docs/manual.md" "$stage/"
for picture in $(grep -o '](\([a-z0-9-]*\.png\))' "$root/docs/manual.md" | sed 's/^](\(.*\))$/\1/' | sort -u); do
  cp "$root/docs/$picture" "$stage/"
done

# Copies into the package every DLL `file` imports, and theirs, that lies in
# the search folders; the rest (kernel32.dll, user32.dll, ...) is Windows'.
ship_imports() {
  local dll found folder
  for dll in $("$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
    [ -f "$stage/$dll" ] && continue
    found=
    for folder in "${search[@]}"; do
      if [ -f "$folder/$dll" ]; then found=$folder/$dll; break; fi
    done
    [ -n "$found" ] || continue
    cp "$found" "$stage/"
    ship_imports "$stage/$dll"
  done
}
ship_imports "$stage/kelvane.exe"

if [ -f "$build/app/kelvane-gui.exe" ]; then
  cp "$build/app/kelvane-gui.exe" "$stage/"
  for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll \
                imageformats/qjpeg.dll imageformats/qgif.dll; do
    mkdir -p "$stage/$(dirname "$plugin")"
    cp "$deps/qt/plugins/$plugin" "$stage/$plugin"
    ship_imports "$stage/$plugin"
  done
  ship_imports "$stage/kelvane-gui.exe"
  mkdir -p "$stage/translations"
  cp /usr/share/qt6/translations/qt_zh_CN.qm /usr/share/qt6/translations/qtbase_zh_CN.qm \
    "$stage/translations/"
else
  echo "package-windows: no kelvane-gui.exe in $build/app; the package holds the batch program only"
fi
x86_64-w64-mingw32-strip "$stage"/*.exe
(cd "$build/package" && rm -f "$name.zip" && zip -qr "$name.zip" "$name")
mv "$build/package/$name.zip" "$build/"
echo "$build/$name.zip"
