# Installs the build into a scratch prefix and checks that a desktop finds Quillon there.
# cmake -DBUILD_DIR=... -DPREFIX=... -P installcheck.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(path bin/quillon bin/quillon-run bin/quillon-device share/applications/quillon.desktop
             share/icons/hicolor/scalable/apps/quillon.svg)
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/quillon.desktop entry)
foreach(line "Exec=quillon" "Icon=quillon")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "quillon.desktop lacks ${line}")
  endif()
endforeach()
