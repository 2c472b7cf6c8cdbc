# GoogleTest is built from Debian's source package (googletest) so that the
# native and the mingw build use the same library.
set(KAVRENTA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)  # no test uses it
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${KAVRENTA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# kavrenta_add_test(NAME source... LIBS lib...)
function(kavrenta_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main kavrenta_warnings)
  # Discovery at test time: under Wine the test programs cannot run while building.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
