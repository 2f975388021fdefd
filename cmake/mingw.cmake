# What the MinGW-w64 toolchain files share; each sets VRQ_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR first and includes this file.
# The POSIX thread model of the compiler is preferred (std::thread, std::mutex); the
# run-time DLLs of the compiler are linked statically so the programs run with only the
# project's own DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)

find_program(VRQ_MINGW_CXX NAMES ${VRQ_MINGW_PREFIX}-g++-posix ${VRQ_MINGW_PREFIX}-g++ REQUIRED)
find_program(VRQ_MINGW_CC  NAMES ${VRQ_MINGW_PREFIX}-gcc-posix ${VRQ_MINGW_PREFIX}-gcc REQUIRED)
set(CMAKE_C_COMPILER   ${VRQ_MINGW_CC})
set(CMAKE_CXX_COMPILER ${VRQ_MINGW_CXX})
set(CMAKE_RC_COMPILER  ${VRQ_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VRQ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# localtime_r, gmtime_r and ctime_r from the MinGW C headers; no min/max macros.
set(CMAKE_C_FLAGS_INIT   "-D_POSIX_THREAD_SAFE_FUNCTIONS -DNOMINMAX -D_WIN32_WINNT=0x0601")
set(CMAKE_CXX_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS -DNOMINMAX -D_WIN32_WINNT=0x0601")
