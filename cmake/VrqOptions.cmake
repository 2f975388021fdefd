# Warnings, sanitizers and link rules shared by every target.
add_compile_options(-Wall -Wextra)
if(VRQ_WERROR)
  add_compile_options(-Werror)
endif()

if(VRQ_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VRQ_TSAN)
  if(VRQ_SANITIZE)
    message(FATAL_ERROR "VRQ_TSAN and VRQ_SANITIZE cannot be combined")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(VRQ_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VRQ_FUZZ needs clang (libFuzzer)")
  endif()
  # Coverage for the code under test; the fuzz targets themselves add -fsanitize=fuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Every shared library names the libraries it calls, so that none depends on symbols
# left to the loading program.
if(NOT WIN32 AND NOT VRQ_SANITIZE AND NOT VRQ_TSAN)
  set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -Wl,--no-undefined")
endif()

# Windows finds a program's DLLs beside it: every DLL and program of a Windows build goes to
# bin/, so that the programs and test programs start from the build folder as they are.
if(WIN32)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endif()
