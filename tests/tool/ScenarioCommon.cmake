# What every tool scenario script shares: a fresh WORK folder, and the
# helpers that run the tool (through the cross-compiling emulator, if any)
# and check its results. Included by StreamScenarios.cmake and PackScenarios.cmake.
string(REPLACE "|" ";" emulator "${EMULATOR}")
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# vopack(EXIT_CODE args...): runs the tool and checks its exit code (0 done,
# 1 failed, 2 bad usage; a crash gives none of these); its output in
# vopack_out and vopack_err.
function(vopack expected)
  execute_process(COMMAND ${emulator} ${TOOL} ${ARGN} WORKING_DIRECTORY ${WORK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL "${expected}")
    message(FATAL_ERROR "vopack ${ARGN}: exit ${rc}, expected ${expected}\n${out}${err}")
  endif()
  set(vopack_out "${out}" PARENT_SCOPE)
  set(vopack_err "${err}" PARENT_SCOPE)
endfunction()

function(expect_match text regex)
  if(NOT "${text}" MATCHES "${regex}")
    message(FATAL_ERROR "expected /${regex}/ in:\n${text}")
  endif()
endfunction()

function(expect_same a b)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${a} ${WORK}/${b} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${a} and ${b} differ")
  endif()
endfunction()

# No temporary file of the tool (.vp...) is left in WORK.
function(expect_no_temps)
  file(GLOB left LIST_DIRECTORIES true ${WORK}/.vp*)
  if(left)
    message(FATAL_ERROR "temporary files left behind: ${left}")
  endif()
endfunction()
