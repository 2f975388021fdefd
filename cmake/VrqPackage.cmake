# Debian and RPM packages made with cpack from a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr -DVRQ_PACKAGE=DEB (or RPM). One package per install component
# (VrqInstall.cmake):
#
#   component  Debian          RPM        contents
#   libs       libvrqapi1      vrq-libs   the five shared libraries (one SONAME version, so
#                                         one runtime package named after the base library)
#   dev        libvrqapi-dev   vrq-devel  headers, development links, CMake and pkg-config files
#   tools      vrq-tools       vrq-tools  vrqmq, vrrpl, their manual pages, the probe's service
#                                         unit and its targets file /etc/vrqmq/targets.ini
#   standin    vrqsim          vrqsim     the stand-in queue manager, its client libraries in
#                                         the private folder <libdir>/vrq, its MQI headers
#                                         under <includedir>/vrq/mqi
#
# Nothing lands where IBM MQ's packages put files (/opt/mqm, /var/mqm, /etc/opt/mqm, and the
# links of a primary installation in /usr/lib, /usr/lib64 and /usr/bin), and no package name
# is one of IBM's (ibmmq-*, MQSeries*). The version is the project's; dependencies on system
# libraries come from dpkg-shlibdeps and RPM's automatic requirements, those between these
# packages are written here.
#
#   cmake -S . -B build/pkg -G Ninja -DCMAKE_INSTALL_PREFIX=/usr -DVRQ_PACKAGE=DEB -DVRQ_TESTS=OFF
#   cmake --build build/pkg && (cd build/pkg && cpack -G DEB)
# scripts/check-packages.sh builds, lints, installs and removes them.

set(VRQ_PACKAGE_MAINTAINER "vrq developers <vrq-packaging@example.org>" CACHE STRING
    "Maintainer (Debian) and packager (RPM) of the packages")
string(TIMESTAMP VRQ_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(vrq_version ${PROJECT_VERSION})
set(vrq_pkg_dir ${PROJECT_BINARY_DIR}/package)

set(vrq_components libs dev tools)
if(VRQ_MQ_STANDIN)
  list(APPEND vrq_components standin)
endif()
if(VRQ_PACKAGE STREQUAL "DEB")
  set(vrq_name_libs libvrqapi${PROJECT_VERSION_MAJOR})
  set(vrq_name_dev libvrqapi-dev)
else()
  set(vrq_name_libs vrq-libs)
  set(vrq_name_dev vrq-devel)
endif()
set(vrq_name_tools vrq-tools)
set(vrq_name_standin vrqsim)

# --- the service ---------------------------------------------------------------------------
install(FILES ${PROJECT_SOURCE_DIR}/packaging/systemd/vrqmq.service
        DESTINATION lib/systemd/system COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/sysusers/vrqmq.conf
        DESTINATION lib/sysusers.d COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/examples/prometheus/targets.ini
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/vrqmq COMPONENT tools)

# --- copyright, changelog, lintian overrides -------------------------------------------------
# Built against IBM MQ, the libraries and programs that link its library carry its folder as
# their run path (VrqInstall.cmake); the packages then need that installation and name no
# package of IBM's, whose installations need not come from registered packages.
set(vrq_mq_runpath "")
if(NOT VRQ_MQ_STANDIN AND VRQ_MQM_R)
  get_filename_component(vrq_mq_runpath "${VRQ_MQM_R}" DIRECTORY)
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${vrq_pkg_dir}/changelog @ONLY)
vrq_gzip(${vrq_pkg_dir}/changelog ${vrq_pkg_dir}/changelog.gz)
foreach(c ${vrq_components})
  set(name ${vrq_name_${c}})
  if(VRQ_PACKAGE STREQUAL "DEB")
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${vrq_pkg_dir}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name} COMPONENT ${c})
    set(overrides "")
    if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/debian/${c}/lintian-overrides)
      file(READ ${PROJECT_SOURCE_DIR}/packaging/debian/${c}/lintian-overrides overrides)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                   ${PROJECT_SOURCE_DIR}/packaging/debian/${c}/lintian-overrides)
    endif()
    if(vrq_mq_runpath AND c MATCHES "^(libs|tools)$")
      string(APPEND overrides
        "# Built against IBM MQ: its libraries are found where it is installed, which is not a\n"
        "# folder the system searches.\n"
        "${name}: custom-library-search-path RUNPATH ${vrq_mq_runpath} [*]\n")
    endif()
    if(overrides)
      file(WRITE ${vrq_pkg_dir}/lintian/${name} "${overrides}")
      install(FILES ${vrq_pkg_dir}/lintian/${name} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
              COMPONENT ${c})
    endif()
  else()
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
            DESTINATION ${CMAKE_INSTALL_DATADIR}/licenses/${name} COMPONENT ${c})
  endif()
endforeach()

# --- common ----------------------------------------------------------------------------------
set(CPACK_PACKAGE_NAME vrq)
set(CPACK_PACKAGE_VERSION ${vrq_version})
set(CPACK_PACKAGE_VENDOR "vrq developers")
set(CPACK_PACKAGE_CONTACT "${VRQ_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "toolkit for administering and monitoring IBM MQ queue managers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)          # /etc/vrqmq lies outside the prefix
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${vrq_components})
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)

# Summaries, and descriptions in lines of at most 79 characters.
set(vrq_summary_libs "shared libraries of the vrq IBM MQ toolkit")
set(vrq_text_libs
  "The five libraries of the toolkit: vrqapi (PCF messages, configuration"
  "files, masks, text conversion, MQSC translation), vrqmqtx (queue-manager"
  "access through the MQI), vrqclnx (sockets and the MQNode transport),"
  "vrqcrypt (AES, MD5, base64) and vrqsign (message signing, user checks).")
set(vrq_summary_dev "development files of the vrq IBM MQ toolkit")
set(vrq_text_dev
  "Headers, development links, the CMake package (find_package(vrq)) and the"
  "pkg-config files (vrqapi, vrqmqtx, vrqclnx, vrqcrypt, vrqsign) for programs"
  "that use the toolkit's libraries from C or C++.")
set(vrq_summary_tools "IBM MQ ping utility and test responder, with a Prometheus probe")
set(vrq_text_tools
  "vrqmq pings a queue manager through its command server and reports"
  "round-trip statistics; in serve mode it answers Prometheus' scrapes with the"
  "metrics of the queue managers named in /etc/vrqmq/targets.ini (systemd unit"
  "vrqmq.service, run as the system user vrqmq, not enabled on installation)."
  "vrrpl answers each message of an input queue, for tests.")
set(vrq_summary_standin "stand-in IBM MQ queue manager for tests")
set(vrq_text_standin
  "vrqsim creates, starts and stops small in-memory queue managers and puts,"
  "gets and browses their messages. Its client libraries libmqm_r and"
  "libmqic_r, which the toolkit's libraries link, and its MQI headers live in"
  "folders of their own, apart from where IBM MQ installs its files.")

# --- Debian ----------------------------------------------------------------------------------
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE vrq)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps runs in each component's staging folder; the programs' libraries are found
# in their sibling components' folders (no information of their own: they are ours).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ../libs/usr/${CMAKE_INSTALL_LIBDIR} ../standin/usr/${CMAKE_INSTALL_LIBDIR}/vrq)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_LIBS_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION net)
set(CPACK_DEBIAN_STANDIN_PACKAGE_SECTION devel)
# Within one build the packages go together at exactly this version; the stand-in client
# library has no SONAME version to track, so its users need this very build of it.
set(vrq_deb_standin "")
if(VRQ_MQ_STANDIN)
  set(vrq_deb_standin ", vrqsim (= ${vrq_version})")
endif()
set(CPACK_DEBIAN_LIBS_PACKAGE_DEPENDS "${vrq_deb_standin}")
string(REGEX REPLACE "^, " "" CPACK_DEBIAN_LIBS_PACKAGE_DEPENDS "${CPACK_DEBIAN_LIBS_PACKAGE_DEPENDS}")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${vrq_name_libs} (= ${vrq_version})${vrq_deb_standin}")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${vrq_name_libs} (>= ${vrq_version}), adduser${vrq_deb_standin}")
# The symbols file, from the export lists that scripts/check-install.sh holds the libraries
# to: every function and object since this version, for dpkg-shlibdeps of programs built
# against them.
set(vrq_symbols "")
foreach(lib ${vrq_libraries})
  file(STRINGS ${PROJECT_SOURCE_DIR}/exports/${lib}.txt names)
  string(APPEND vrq_symbols "lib${lib}.so.${PROJECT_VERSION_MAJOR} ${vrq_name_libs} #MINVER#\n"
                            "* Build-Depends-Package: ${vrq_name_dev}\n")
  foreach(name ${names})
    string(APPEND vrq_symbols " ${name}@Base ${vrq_version}\n")
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/exports/${lib}.txt)
endforeach()
file(WRITE ${vrq_pkg_dir}/debian/symbols "${vrq_symbols}")
set(CPACK_DEBIAN_LIBS_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/libs/triggers
    ${vrq_pkg_dir}/debian/symbols)
set(CPACK_DEBIAN_TOOLS_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/tools/conffiles
  ${PROJECT_SOURCE_DIR}/packaging/debian/tools/postinst
  ${PROJECT_SOURCE_DIR}/packaging/debian/tools/prerm
  ${PROJECT_SOURCE_DIR}/packaging/debian/tools/postrm)
foreach(c ${vrq_components})
  string(TOUPPER ${c} C)
  set(CPACK_DEBIAN_${C}_PACKAGE_NAME ${vrq_name_${c}})
  list(JOIN vrq_text_${c} "\n" text)
  set(CPACK_DEBIAN_${C}_DESCRIPTION "${vrq_summary_${c}}\n${text}")
endforeach()

# --- RPM -------------------------------------------------------------------------------------
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE "LicenseRef-vrq-own-terms")
set(CPACK_RPM_PACKAGE_URL "")
# The stand-in client libraries are private to these packages: they provide nothing to the
# rest of the system (IBM's libmqm_r.so stays the one found by name), and what links them
# requires the vrqsim package instead.
set(CPACK_RPM_SPEC_MORE_DEFINE
  "%global __provides_exclude_from ^/usr/${CMAKE_INSTALL_LIBDIR}/vrq/.*$
%global __requires_exclude ^libmq(m|ic)_r[.]so")
set(vrq_rpm_standin "")
if(VRQ_MQ_STANDIN)
  set(vrq_rpm_standin ", vrqsim = ${vrq_version}")
endif()
set(CPACK_RPM_LIBS_PACKAGE_REQUIRES "${vrq_rpm_standin}")
string(REGEX REPLACE "^, " "" CPACK_RPM_LIBS_PACKAGE_REQUIRES "${CPACK_RPM_LIBS_PACKAGE_REQUIRES}")
set(CPACK_RPM_DEV_PACKAGE_REQUIRES "${vrq_name_libs} = ${vrq_version}${vrq_rpm_standin}")
set(CPACK_RPM_TOOLS_PACKAGE_REQUIRES "${vrq_name_libs} = ${vrq_version}${vrq_rpm_standin}")
set(CPACK_RPM_TOOLS_PACKAGE_REQUIRES_PRE "shadow-utils")
set(CPACK_RPM_TOOLS_PRE_INSTALL_SCRIPT_FILE ${PROJECT_SOURCE_DIR}/packaging/rpm/tools-pre.sh)
set(CPACK_RPM_TOOLS_POST_INSTALL_SCRIPT_FILE ${PROJECT_SOURCE_DIR}/packaging/rpm/tools-post.sh)
set(CPACK_RPM_TOOLS_PRE_UNINSTALL_SCRIPT_FILE ${PROJECT_SOURCE_DIR}/packaging/rpm/tools-preun.sh)
set(CPACK_RPM_TOOLS_POST_UNINSTALL_SCRIPT_FILE ${PROJECT_SOURCE_DIR}/packaging/rpm/tools-postun.sh)
set(CPACK_RPM_TOOLS_USER_FILELIST "%config(noreplace) /etc/vrqmq/targets.ini")
foreach(c ${vrq_components})
  string(TOUPPER ${c} C)
  set(CPACK_RPM_${C}_PACKAGE_NAME ${vrq_name_${c}})
  set(CPACK_RPM_${C}_PACKAGE_SUMMARY "${vrq_summary_${c}}")
  list(JOIN vrq_text_${c} "\n" CPACK_RPM_${C}_PACKAGE_DESCRIPTION)
  set(CPACK_RPM_${C}_USER_FILELIST ${CPACK_RPM_${C}_USER_FILELIST}
      "%license /usr/share/licenses/${vrq_name_${c}}/copyright")
endforeach()
# Folders the distribution owns; the packages own only their own.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
  /etc /usr/lib/systemd /usr/lib/systemd/system /usr/lib/sysusers.d /usr/share/licenses
  /usr/share/man /usr/share/man/man1 /usr/${CMAKE_INSTALL_LIBDIR}/pkgconfig
  /usr/${CMAKE_INSTALL_LIBDIR}/cmake)

include(CPack)
