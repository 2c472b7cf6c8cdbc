# The installer and the Win32 GUI: Windows build only.
if(WIN32)
  kavrenta_add_test(InstallerTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/InstallerTest.cpp LIBS installer installer_form)

  # Setup.exe as a user drives it, on a private Xvfb display with a Wine
  # prefix of its own; screenshots land in the build tree.
  add_test(NAME InstallerEndToEnd
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/installer-e2e.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_BINARY_DIR}/e2e/screenshots)
  set_tests_properties(InstallerEndToEnd PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77
                       ATTACHED_FILES_ON_FAIL ${CMAKE_BINARY_DIR}/e2e/setup.log)
endif()
