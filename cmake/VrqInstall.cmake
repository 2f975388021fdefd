# Install rules and the package files that let outside programs use the toolkit: the five
# shared libraries with their public headers, the two programs, the manual pages, a CMake
# package (find_package(vrq) gives vrq::vrqapi, vrq::vrqmqtx, ...) and one pkg-config file
# per library. In stand-in mode the MQI headers go to their own include folder, and the
# stand-in client libraries to a private library folder (lib/vrq), so that they never stand
# in the way of an IBM MQ installation's libmqm_r on the system's library path; the server is
# installed too, so that the installed tree works on a machine without IBM MQ.
#
# Each install rule names its component, which the packages (VrqPackage.cmake) are cut along:
#   libs     the five shared libraries (versioned file and SONAME link)
#   dev      headers, development links, CMake package, pkg-config files
#   tools    vrqmq, vrrpl and their manual pages
#   standin  vrqsim, the stand-in client libraries and MQI headers, vrqsim's manual page
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VRQ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/vrq)
set(VRQ_INSTALL_MQI_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/vrq/mqi)
set(VRQ_INSTALL_MQI_LIBDIR ${CMAKE_INSTALL_LIBDIR}/vrq)

set(vrq_libraries)
foreach(lib vrqapi vrqmqtx vrqclnx vrqcrypt vrqsign)
  if(TARGET ${lib})
    list(APPEND vrq_libraries ${lib})
  endif()
endforeach()
set(vrq_programs)
foreach(prog vrqmq vrrpl vrqsim)
  if(TARGET ${prog})
    list(APPEND vrq_programs ${prog})
  endif()
endforeach()

# The MQ targets travel with the libraries that link them; in stand-in mode their headers
# come from the installed include folder instead of the source tree.
set_target_properties(vrq_mq_headers PROPERTIES EXPORT_NAME mq_headers)
set_target_properties(vrq_mq PROPERTIES EXPORT_NAME mq)
set(vrq_mq_targets vrq_mq_headers vrq_mq)
set(vrq_standin_libraries)
if(VRQ_MQ_STANDIN)
  set_property(TARGET vrq_mq_headers PROPERTY INTERFACE_INCLUDE_DIRECTORIES
    "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/mqi/include>"
    "$<INSTALL_INTERFACE:${VRQ_INSTALL_MQI_INCLUDEDIR}>")
  foreach(lib mqm_r mqic_r)
    if(TARGET ${lib})
      list(APPEND vrq_standin_libraries ${lib})
    endif()
  endforeach()
endif()

# Nothing but the C API leaves a library (see vrqlib.map).
if(NOT WIN32)
  foreach(lib ${vrq_libraries})
    target_link_options(${lib} PRIVATE "LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/vrqlib.map")
    set_property(TARGET ${lib} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/vrqlib.map)
  endforeach()
endif()

# Run paths. In the build folder a binary finds the project's libraries it links by their
# absolute folders; installed, beside it (libraries) or in the library folder relative to
# the program folder (programs), the stand-in client library in its private folder, and a
# real MQ installation's client library where it was found at build time. Installed paths
# are relative to the binary ($ORIGIN), so that an installed tree can be moved; a library
# folder the system searches anyway (/usr/lib/<multiarch> in the packages) is not repeated.
# CMake's own way, a build run path rewritten in place at install, pads the build run path
# with empty elements to make room (":::::::", ".../crypt:"), and the loader takes an empty
# element for the current folder: a program started in a folder holding a libc.so.6 would
# load it. So the build run path is written here, with no empty element, and the install
# rewrites it in the copy (same or less room; VrqRunPath.cmake).
# _vrq_shared_deps(<out> <target>): the project's shared libraries <target> links, directly
# or through the libraries it links.
function(_vrq_shared_deps out target)
  set(found)
  set(todo ${target})
  set(seen)
  while(todo)
    list(POP_FRONT todo t)
    foreach(prop LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libs ${t} ${prop})
      foreach(lib ${libs})
        if(TARGET ${lib} AND NOT lib IN_LIST seen)
          list(APPEND seen ${lib})
          list(APPEND todo ${lib})
          get_target_property(type ${lib} TYPE)
          get_target_property(imported ${lib} IMPORTED)
          if(type STREQUAL "SHARED_LIBRARY" AND NOT imported)
            list(APPEND found ${lib})
          endif()
        endif()
      endforeach()
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

file(RELATIVE_PATH vrq_libdir_from_bindir "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
set(vrq_system_libdir OFF)
if("${CMAKE_INSTALL_FULL_LIBDIR}" IN_LIST CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES OR
   "${CMAKE_INSTALL_FULL_LIBDIR}" IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
  set(vrq_system_libdir ON)
endif()
set(vrq_runpaths)  # <installed file> <component> <origins, ':'-separated, or "-"> ...
if(NOT WIN32)
  foreach(target ${vrq_libraries} ${vrq_programs})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      set(from_here "")
      set(dest ${CMAKE_INSTALL_LIBDIR})
      set(component libs)
    elseif(type STREQUAL "EXECUTABLE")
      set(from_here "/${vrq_libdir_from_bindir}")
      set(dest ${CMAKE_INSTALL_BINDIR})
      set(component tools)
      if(target STREQUAL "vrqsim")
        set(component standin)
      endif()
    else()
      continue()
    endif()
    set(origins)
    if(NOT vrq_system_libdir)
      list(APPEND origins "$ORIGIN${from_here}")
    endif()
    if(vrq_standin_libraries)
      list(APPEND origins "$ORIGIN${from_here}/vrq")
    endif()
    string(REPLACE ";" ":" origins "${origins}")
    if(NOT origins)
      set(origins "-")
    endif()
    _vrq_shared_deps(deps ${target})
    set(build_path)
    set(build_length 0)
    foreach(dep ${deps})
      list(APPEND build_path "$<TARGET_FILE_DIR:${dep}>")
      get_target_property(dir ${dep} BINARY_DIR)
      string(LENGTH "${dir}:" n)
      math(EXPR build_length "${build_length} + ${n}")
    endforeach()
    # The installed run path is written over the build one in place, so the build one must
    # be at least as long: a short build folder (a program that links only the stand-in
    # client library) gets the build folder itself once more, spelt long enough ("/./").
    string(LENGTH "${origins}" wanted)
    if(build_path AND build_length LESS_EQUAL wanted)
      set(pad "${PROJECT_BINARY_DIR}")
      string(LENGTH "${pad}" n)
      while(n LESS_EQUAL wanted)
        string(APPEND pad "/.")
        math(EXPR n "${n} + 2")
      endwhile()
      list(APPEND build_path "${pad}")
    endif()
    # The link path adds the folders of libraries from outside the project (a real MQ
    # installation's) to both.
    set_target_properties(${target} PROPERTIES BUILD_WITH_INSTALL_RPATH ON
      INSTALL_RPATH "${build_path}" INSTALL_RPATH_USE_LINK_PATH ON)
    if(NOT IS_ABSOLUTE "${dest}")
      set(dest "\${CMAKE_INSTALL_PREFIX}/${dest}")
    endif()
    list(APPEND vrq_runpaths "${dest}/$<TARGET_FILE_NAME:${target}>" ${component} "${origins}")
  endforeach()
endif()
foreach(target ${vrq_standin_libraries})
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "" INSTALL_RPATH_USE_LINK_PATH ON)
endforeach()

install(TARGETS ${vrq_libraries} EXPORT vrqTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT libs
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libs NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS ${vrq_mq_targets} EXPORT vrqTargets COMPONENT dev)
if(vrq_standin_libraries)
  install(TARGETS ${vrq_standin_libraries} EXPORT vrqTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT standin
    LIBRARY DESTINATION ${VRQ_INSTALL_MQI_LIBDIR} COMPONENT standin
    ARCHIVE DESTINATION ${VRQ_INSTALL_MQI_LIBDIR} COMPONENT standin)
endif()
# vrq_gzip(<file> <out>): <out> is <file> compressed as packages carry documents (gzip -9n:
# the same bytes at every build); made again when <file> changes.
function(vrq_gzip file out)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  get_filename_component(dir ${out} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  execute_process(COMMAND gzip -9n -c ${file} OUTPUT_FILE ${out} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${file}: ${status}")
  endif()
endfunction()

foreach(prog ${vrq_programs})
  set(component tools)
  if(prog STREQUAL "vrqsim")
    set(component standin)
  endif()
  install(TARGETS ${prog} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  set(page ${PROJECT_SOURCE_DIR}/man/${prog}.1)
  if(VRQ_PACKAGE)
    vrq_gzip(${page} ${PROJECT_BINARY_DIR}/package/man/${prog}.1.gz)
    set(page ${PROJECT_BINARY_DIR}/package/man/${prog}.1.gz)
  endif()
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endforeach()

# The installed copies get their run paths ($ORIGIN...) once they are in place.
while(vrq_runpaths)
  list(POP_FRONT vrq_runpaths file component origins)
  install(CODE "include([[${PROJECT_SOURCE_DIR}/cmake/VrqRunPath.cmake]])
vrq_install_runpath(\"\$ENV{DESTDIR}${file}\" [[${origins}]] [[${PROJECT_BINARY_DIR}]])" COMPONENT ${component})
endwhile()

file(GLOB vrq_public_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/*.h)
install(FILES ${vrq_public_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
if(VRQ_MQ_STANDIN)
  file(GLOB vrq_mqi_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/mqi/include/*.h)
  install(FILES ${vrq_mqi_headers} DESTINATION ${VRQ_INSTALL_MQI_INCLUDEDIR} COMPONENT standin)
endif()

# --- CMake package ---------------------------------------------------------------------
install(EXPORT vrqTargets NAMESPACE vrq:: DESTINATION ${VRQ_INSTALL_CMAKEDIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vrqConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vrqConfig.cmake INSTALL_DESTINATION ${VRQ_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vrqConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vrqConfig.cmake ${PROJECT_BINARY_DIR}/vrqConfigVersion.cmake
  DESTINATION ${VRQ_INSTALL_CMAKEDIR} COMPONENT dev)

# --- pkg-config ------------------------------------------------------------------------
# The files locate the prefix from their own folder, so an installed tree can be moved.
set(vrq_pc_dir "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VRQ_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH vrq_pc_up "/root/${vrq_pc_dir}" "/root")
  string(REGEX REPLACE "/$" "" vrq_pc_up "${vrq_pc_up}")
  set(VRQ_PC_PREFIX "\${pcfiledir}/${vrq_pc_up}")
endif()
if(VRQ_MQ_STANDIN)
  set(VRQ_PC_MQ_CFLAGS "-I\${includedir}/vrq/mqi")
  set(VRQ_PC_MQ_LIBS "-L\${libdir}/vrq -l${VRQ_MQ_LIBRARY}")
else()
  get_filename_component(vrq_mq_libdir "${VRQ_MQM_R}" DIRECTORY)
  set(VRQ_PC_MQ_CFLAGS "-I${VRQ_MQ_HOME}/inc")
  set(VRQ_PC_MQ_LIBS "-L${vrq_mq_libdir} -l${VRQ_MQ_LIBRARY}")
endif()

# vrq_pkgconfig(<lib> <description> REQUIRES ... REQUIRES_PRIVATE ... LIBS_PRIVATE ... CFLAGS ...)
function(vrq_pkgconfig lib description)
  cmake_parse_arguments(A "" "" "REQUIRES;REQUIRES_PRIVATE;LIBS_PRIVATE;CFLAGS" ${ARGN})
  if(NOT TARGET ${lib})
    return()
  endif()
  set(VRQ_PC_NAME ${lib})
  set(VRQ_PC_DESCRIPTION "${description}")
  list(JOIN A_REQUIRES ", " VRQ_PC_REQUIRES)
  list(JOIN A_REQUIRES_PRIVATE ", " VRQ_PC_REQUIRES_PRIVATE)
  list(JOIN A_LIBS_PRIVATE " " VRQ_PC_LIBS_PRIVATE)
  list(JOIN A_CFLAGS " " VRQ_PC_CFLAGS)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/pkgconfig/vrq.pc.in
                 ${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc DESTINATION ${vrq_pc_dir} COMPONENT dev)
endfunction()

vrq_pkgconfig(vrqapi "PCF messages, configuration files, masks, text conversion and MQSC translation"
  CFLAGS ${VRQ_PC_MQ_CFLAGS})
vrq_pkgconfig(vrqmqtx "Queue-manager access through the MQI: queue manager and queue objects, discovery"
  REQUIRES vrqapi LIBS_PRIVATE ${VRQ_PC_MQ_LIBS})
vrq_pkgconfig(vrqcrypt "AES, MD5 and base64")
vrq_pkgconfig(vrqsign "Message signing and user verification"
  REQUIRES vrqapi REQUIRES_PRIVATE vrqcrypt LIBS_PRIVATE -lcrypt)
vrq_pkgconfig(vrqclnx "Sockets and the MQNode transport of PCF messages over TCP and UDP"
  REQUIRES vrqapi REQUIRES_PRIVATE vrqsign)
