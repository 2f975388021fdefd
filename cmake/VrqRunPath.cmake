# Install-time helper (install(SCRIPT) in VrqInstall.cmake): vrq_install_runpath(<file>
# <origin> <build folder>) rewrites the run path of an installed copy: the folders in the
# build folder give way to <origin> ($ORIGIN or $ORIGIN/../lib), the others (a real MQ
# installation's library folder) stay. The new run path is never longer than the old.
function(vrq_install_runpath file origin build)
  file(READ_ELF "${file}" RUNPATH old)
  if(NOT old)
    return()
  endif()
  string(REPLACE ":" ";" old "${old}")
  set(new)
  foreach(dir ${old})
    string(FIND "${dir}/" "${build}/" at)
    if(at EQUAL 0)
      set(dir "${origin}")
    endif()
    list(FIND new "${dir}" at)  # (an install script runs without the project's policies)
    if(at EQUAL -1)
      list(APPEND new "${dir}")
    endif()
  endforeach()
  string(REPLACE ";" ":" new "${new}")
  file(RPATH_SET FILE "${file}" NEW_RPATH "${new}")
endfunction()
