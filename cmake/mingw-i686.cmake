# Cross build for 32-bit Windows, the shipped Windows target, with MinGW-w64 (Debian's
# g++-mingw-w64-i686):
#   cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# This machine cannot run its programs (no 32-bit code); cmake/mingw-x86_64.cmake builds the
# same sources for 64-bit Windows, whose programs and tests run under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VRQ_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

# Programs built here run under Wine when it is installed.
find_program(VRQ_WINE NAMES wine)
if(VRQ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VRQ_WINE})
endif()
