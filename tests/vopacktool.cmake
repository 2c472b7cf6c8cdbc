# The vopack command-line tool, run as a user would (under Wine in the
# Windows build).
if(TARGET vopack_cli)
  set(vopacktool_dir ${CMAKE_CURRENT_BINARY_DIR}/vopacktool)
  file(MAKE_DIRECTORY ${vopacktool_dir})
  file(WRITE ${vopacktool_dir}/digits.txt "123456789")

  add_test(NAME vopack_tool.help COMMAND vopack_cli --help)
  set_tests_properties(vopack_tool.help PROPERTIES PASS_REGULAR_EXPRESSION "Usage:.*decompress INPUT OUTPUT SIZE")

  add_test(NAME vopack_tool.crc COMMAND vopack_cli crc digits.txt WORKING_DIRECTORY ${vopacktool_dir})
  set_tests_properties(vopack_tool.crc PROPERTIES PASS_REGULAR_EXPRESSION "^6F91  digits.txt\r?\n$")

  string(REPLACE ";" "|" vopacktool_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  foreach(scenario roundtrip damaged errors tempname concurrent longname directory stdout)
    add_test(NAME vopack_tool.${scenario}
             COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:vopack_cli> "-DEMULATOR=${vopacktool_emulator}"
                     -DWORK=${vopacktool_dir}/${scenario} -DSCENARIO=${scenario}
                     -P ${PROJECT_SOURCE_DIR}/tools/vopack/ToolScenario.cmake)
  endforeach()

  # What only POSIX systems have: links, FIFOs, devices, signals, modes.
  if(NOT WIN32)
    foreach(case temp-link output-link not-regular fifo-input signals modes)
      add_test(NAME vopack_tool.posix.${case}
               COMMAND bash ${PROJECT_SOURCE_DIR}/tests/tool/OutputSafety.sh $<TARGET_FILE:vopack_cli>
                       ${vopacktool_dir}/posix-${case} ${case})
    endforeach()
  endif()
endif()
