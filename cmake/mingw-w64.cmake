# Cross build for 64-bit Windows with Debian's MinGW-w64 (GCC, posix threads).
# The Windows libraries (Qt, GoogleTest, libcsv, toml++) are looked for only in
# the folder tools/windows-deps.sh fills: KELVANE_WINDOWS_DEPS in the
# environment, else build/windows-deps in the source tree. Cross-built tests
# run under Wine through tools/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

get_filename_component(_kelvane_source "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(DEFINED ENV{KELVANE_WINDOWS_DEPS})
  set(_kelvane_deps "$ENV{KELVANE_WINDOWS_DEPS}")
else()
  set(_kelvane_deps "${_kelvane_source}/build/windows-deps")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${_kelvane_deps}/qt" "${_kelvane_deps}/prefix")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# moc, uic and rcc come from the host's Qt of the same version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

set(CMAKE_CROSSCOMPILING_EMULATOR "${_kelvane_source}/tools/wine-run.sh")

# Windows aligns the stack to 16 bytes only, and GCC spills 32- and 64-byte
# vectors with aligned moves in the AVX2 and AVX-512 step loops: the
# assembler makes every aligned vector move an unaligned one, which costs
# nothing on aligned data.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# Programs and tests are linked statically (see KELVANE_SHARED_RUNTIME in the
# top CMakeLists.txt).
