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


# vrq_tests(<prefix> LIBS ...): every *.cpp in the calling folder becomes one GoogleTest
# program test_<prefix>_<file>, registered with CTest as <prefix>.<file>.
function(vrq_tests prefix)
  cmake_parse_arguments(A "" "" "LIBS" ${ARGN})
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(f ${files})
    get_filename_component(stem ${f} NAME_WE)
    set(t test_${prefix}_${stem})
    add_executable(${t} ${f})
    target_link_libraries(${t} PRIVATE ${A_LIBS} vrq_test_support GTest::gtest_main GTest::gmock)
    add_test(NAME ${prefix}.${stem} COMMAND ${t})
    set_tests_properties(${prefix}.${stem} PROPERTIES TIMEOUT 300)
  endforeach()
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
