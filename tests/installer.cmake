# The installer and the Win32 GUI: Windows build only.
if(WIN32)
  kavrenta_add_test(InstallerTest SOURCES ${CMAKE_CURRENT_LIST_DIR}/InstallerTest.cpp LIBS installer installer_form)
endif()
