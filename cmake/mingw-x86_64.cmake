# Cross build for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64), from the
# same sources as the 32-bit target:
#   cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
# Its programs and tests run under Debian's wine64 (CTest starts them through it; see
# tests/CMakeLists.txt for the prefix and the tests that need Linux).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VRQ_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

# Debian installs the 64-bit loader outside PATH (/usr/bin/wine wants the 32-bit one).
find_program(VRQ_WINE NAMES wine64 PATHS /usr/lib/wine NO_CACHE)
if(VRQ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VRQ_WINE})
endif()
