# The MQ switch: compile against a real IBM MQ installation when one is found under
# VRQ_MQ_HOME, otherwise against the stand-in headers and client library under mqi/.
#
# Targets for the rest of the build:
#   vrq_mq_headers  the MQI headers (cmqc.h, cmqcfc.h, cmqxc.h)
#   vrq_mq          the headers and the MQ library: libmqm_r, or with VRQ_MQ_CLIENT the
#                   client library libmqic_r, which reaches queue managers over TCP only
#                   (MQSERVER, or the MQCD given to MQCONNX)
set(VRQ_MQ_HOME "/opt/mqm" CACHE PATH "IBM MQ installation directory")
option(VRQ_MQ_CLIENT "Link the MQ client library libmqic_r instead of libmqm_r" OFF)
if(VRQ_MQ_CLIENT)
  set(VRQ_MQ_LIBRARY mqic_r)
else()
  set(VRQ_MQ_LIBRARY mqm_r)
endif()

add_library(vrq_mq_headers INTERFACE)
add_library(vrq_mq INTERFACE)
target_link_libraries(vrq_mq INTERFACE vrq_mq_headers)

if(EXISTS "${VRQ_MQ_HOME}/inc/cmqc.h")
  set(VRQ_MQ_STANDIN OFF)
  message(STATUS "IBM MQ found in ${VRQ_MQ_HOME}")
  target_include_directories(vrq_mq_headers SYSTEM INTERFACE "${VRQ_MQ_HOME}/inc")
  find_library(VRQ_MQM_R ${VRQ_MQ_LIBRARY} PATHS "${VRQ_MQ_HOME}/lib64" "${VRQ_MQ_HOME}/lib" NO_DEFAULT_PATH REQUIRED)
  find_library(VRQ_MQMZF_R mqmzf_r PATHS "${VRQ_MQ_HOME}/lib64" "${VRQ_MQ_HOME}/lib" NO_DEFAULT_PATH)
  target_link_libraries(vrq_mq INTERFACE "${VRQ_MQM_R}")
  # The reply utility also links the installable-services library where there is one.
  add_library(vrq_mqzf INTERFACE)
  if(VRQ_MQMZF_R)
    target_link_libraries(vrq_mqzf INTERFACE "${VRQ_MQMZF_R}")
  endif()
else()
  set(VRQ_MQ_STANDIN ON)
  message(STATUS "No IBM MQ in ${VRQ_MQ_HOME}: building against the stand-in MQ (mqi/)")
  target_include_directories(vrq_mq_headers INTERFACE "${CMAKE_CURRENT_SOURCE_DIR}/mqi/include")
  # mqi/CMakeLists.txt adds the client library to vrq_mq once it exists.
  add_library(vrq_mqzf INTERFACE)
endif()
