# The README's order: builds what ./dev start builds (the target "programs") in a fresh
# build directory, installs it into a scratch prefix with cmake --install, and checks
# that exactly the files of data/installed-files are installed, that each program
# runs, that a desktop finds Quillon and opens bench files with it, and that man finds
# its pages.
# cmake -DSOURCE_DIR=... -DGENERATOR=... -DWORK=... -P installcheck.cmake
cmake_minimum_required(VERSION 3.25)
set(BUILD ${WORK}/build)
set(PREFIX ${WORK}/prefix)

# run(WHAT COMMAND...): runs the command, failing the test with its output if it fails.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(failed)
    message(FATAL_ERROR "${what} failed:\n${out}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
run("configuring" ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD} -G ${GENERATOR})
run("building the programs" ${CMAKE_COMMAND} --build ${BUILD} --target programs)
run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX})

file(STRINGS ${SOURCE_DIR}/data/installed-files expected)
file(GLOB_RECURSE installed RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT installed)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " installed "${installed}")
  message(FATAL_ERROR "installed:\n  ${installed}")
endif()

foreach(program quillon quillon-run quillon-device)
  run("${program} --help" ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=QT_QPA_PLATFORM ${PREFIX}/bin/${program} --help)
endforeach()

file(READ ${PREFIX}/share/applications/quillon.desktop entry)
foreach(line "Exec=quillon %f\n" "Icon=quillon\n" "MimeType=application/x-quillon-bench")
  string(FIND "${entry}" "\n${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "quillon.desktop lacks ${line}")
  endif()
endforeach()
# The bench file type reads as the desktop's MIME database reads it (a copy, so that
# the prefix keeps only what was installed).
find_program(UPDATE_MIME_DATABASE update-mime-database)
if(UPDATE_MIME_DATABASE)
  file(COPY ${PREFIX}/share/mime/packages DESTINATION ${WORK}/mime)
  run("update-mime-database" ${UPDATE_MIME_DATABASE} ${WORK}/mime)
  file(STRINGS ${WORK}/mime/globs2 globs REGEX "quillon")
  if(NOT globs MATCHES "application/x-quillon-bench:\\*\\.qbench(;|$)")
    message(FATAL_ERROR "update-mime-database does not map *.qbench to application/x-quillon-bench: ${globs}")
  endif()
endif()

# man looks beside each directory of the PATH: PREFIX/bin finds PREFIX/share/man.
find_program(MAN man)
if(MAN)
  foreach(page quillon quillon-run quillon-device)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=MANPATH "PATH=${PREFIX}/bin:$ENV{PATH}" ${MAN} -w ${page}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT found STREQUAL "${PREFIX}/share/man/man1/${page}.1.gz")
      message(FATAL_ERROR "man -w ${page} finds \"${found}\"")
    endif()
  endforeach()
endif()
