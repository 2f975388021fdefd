# Small helpers so that each folder's CMakeLists.txt stays a few lines long.

# vrq_sources(<out-var> <dir>...): the .cpp/.c files of the folders, without the
# platform files of the other platform.
function(vrq_sources out)
  set(files)
  foreach(dir ${ARGN})
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
    list(APPEND files ${found})
  endforeach()
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "_posix\\.(cpp|c)$")
  else()
    list(FILTER files EXCLUDE REGEX "_win32\\.(cpp|c)$")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# vrq_library(<name> SOURCES ... [LIBS ...]): a shared library exporting only its API.
# The public header include/<name>.h uses <NAME>_BUILD to mark its exports.
function(vrq_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${A_SOURCES})
  string(TOUPPER ${name} upper)
  target_compile_definitions(${name} PRIVATE ${upper}_BUILD)
  target_include_directories(${name}
    PUBLIC  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
  set_target_properties(${name} PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  if(WIN32)
    set_target_properties(${name} PROPERTIES PREFIX "")  # vrqapi.dll, as Windows names DLLs
  endif()
endfunction()


# vrq_tests(<prefix> LIBS ... [OWN_PROGRAM <file>...] [LINUX_ONLY <file> <reason> ...]
#           [LINUX_ONLY_FOLDER <reason>] [WINDOWS_PROGRAM <file>... WINDOWS_PROGRAM_LIBS ...]):
# the *.cpp files of the calling folder form one
# GoogleTest program test_<prefix>, and each file is one CTest test <prefix>.<file>, which
# runs that program with --source=<file> (the tests that file defines; see
# support/vrqtest_main.cpp). One program per folder links and starts far less than one per
# file, and its precompiled GoogleTest header is parsed once.
# A file that replaces something for the whole program (it includes alloc_interpose.h,
# which defines the allocator, say) is named under OWN_PROGRAM and gets a program
# test_<prefix>_<file> of its own; such a file left in the folder's program stops the
# configuration.
# Files ending in _win32.cpp or _posix.cpp are built for their platform only, as elsewhere.
# A Windows build leaves out the files named under LINUX_ONLY (they use what only Linux
# has), or all of them with LINUX_ONLY_FOLDER <reason>; their CTest tests print the reason
# and count as skipped. On Windows the files named under WINDOWS_PROGRAM form a program
# test_<prefix>_static of their own, linked with WINDOWS_PROGRAM_LIBS instead of LIBS (a
# library's objects, for the helpers its DLL does not export). A file whose GoogleTest cases pass but some skip shows as skipped,
# with each skipped case and its reason on its output (support/vrqtest_main.cpp).
set(VRQ_TEST_SKIPPED "vrqtest: [0-9]+ of [0-9]+ tests skipped")
function(vrq_tests prefix)
  cmake_parse_arguments(A "" "LINUX_ONLY_FOLDER"
                        "LIBS;OWN_PROGRAM;LINUX_ONLY;WINDOWS_PROGRAM;WINDOWS_PROGRAM_LIBS" ${ARGN})
  vrq_sources(files ${CMAKE_CURRENT_SOURCE_DIR})
  set(shared)
  set(windows_static)
  set(hooked)
  foreach(f ${files})
    get_filename_component(stem ${f} NAME_WE)
    list(FIND A_LINUX_ONLY ${stem} at)
    set(reason "${A_LINUX_ONLY_FOLDER}")
    if(at GREATER -1)
      math(EXPR at "${at} + 1")
      list(GET A_LINUX_ONLY ${at} reason)
    endif()
    if(WIN32 AND reason)
      add_test(NAME ${prefix}.${stem}
               COMMAND ${CMAKE_COMMAND} -E echo "Linux only, skipped on Windows: ${reason}")
      set_tests_properties(${prefix}.${stem} PROPERTIES SKIP_REGULAR_EXPRESSION "skipped on Windows")
      continue()
    endif()
    if(WIN32 AND stem IN_LIST A_WINDOWS_PROGRAM)
      set(t test_${prefix}_static)
      list(APPEND windows_static ${f})
    elseif(stem IN_LIST A_OWN_PROGRAM)
      set(t test_${prefix}_${stem})
      _vrq_test_program(${t} "${f}" "${A_LIBS}")
    else()
      set(t test_${prefix})
      list(APPEND shared ${f})
      file(STRINGS ${f} hook REGEX "#include +\"alloc_interpose.h\"")
      if(hook)
        list(APPEND hooked ${stem})
      endif()
    endif()
    add_test(NAME ${prefix}.${stem} COMMAND ${t} --source=${stem})
    set_tests_properties(${prefix}.${stem} PROPERTIES TIMEOUT 300
                         SKIP_REGULAR_EXPRESSION "${VRQ_TEST_SKIPPED}")
    if(VRQ_TEST_ENVIRONMENT)
      set_tests_properties(${prefix}.${stem} PROPERTIES ENVIRONMENT "${VRQ_TEST_ENVIRONMENT}")
    endif()
  endforeach()
  if(hooked)
    message(FATAL_ERROR "tests/${prefix}: ${hooked} replace the allocator (alloc_interpose.h) for the "
                        "whole program; name them under OWN_PROGRAM")
  endif()
  if(shared)
    _vrq_test_program(test_${prefix} "${shared}" "${A_LIBS}")
  endif()
  if(windows_static)
    _vrq_test_program(test_${prefix}_static "${windows_static}" "${A_WINDOWS_PROGRAM_LIBS}")
  endif()
endfunction()

function(_vrq_test_program t sources libs)
  add_executable(${t} ${sources})
  target_link_libraries(${t} PRIVATE ${libs} vrq_test_main vrq_test_support)
  if(WIN32)
    # setenv and the POSIX socket headers, in WinSock's terms (support/win32/).
    target_include_directories(${t} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/win32)
    target_precompile_headers(${t} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/win32/posix_compat.h
                                           <gtest/gtest.h>)
  else()
    target_precompile_headers(${t} PRIVATE <gtest/gtest.h>)
  endif()
endfunction()

# vrq_bench(<name> SOURCES ... LIBS ...): a Google Benchmark program, built but run by hand.
function(vrq_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark)
endfunction()

# vrq_fuzzer(<name> SOURCES ... LIBS ...): a libFuzzer target fuzz_<name>; its kept corpus
# is fuzz/corpus/<name>/ and the test command runs it for a bounded time.
function(vrq_fuzzer name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${name} ${A_SOURCES})
  target_link_libraries(fuzz_${name} PRIVATE ${A_LIBS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# vrq_json: nlohmann-json (header only), the JSON of vrqmq's outputs and of the stand-in
# client's channel definition tables. A cross build does not look in the build machine's
# /usr/include, so there the headers are reached through a folder that holds nothing else.
find_package(nlohmann_json 3 QUIET)
add_library(vrq_json INTERFACE)
if(nlohmann_json_FOUND)
  target_link_libraries(vrq_json INTERFACE nlohmann_json::nlohmann_json)
else()
  find_path(VRQ_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT VRQ_NLOHMANN_DIR)
    message(FATAL_ERROR "nlohmann-json is needed (Debian: apt-get install nlohmann-json3-dev)")
  endif()
  set(vrq_json_dir ${PROJECT_BINARY_DIR}/json-include)
  file(MAKE_DIRECTORY ${vrq_json_dir})
  file(CREATE_LINK ${VRQ_NLOHMANN_DIR}/nlohmann ${vrq_json_dir}/nlohmann SYMBOLIC)
  target_include_directories(vrq_json SYSTEM INTERFACE ${vrq_json_dir})
endif()
