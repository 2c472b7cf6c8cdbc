# kavrenta_library(name DIR headers... ) : a static library of every .cpp in
# the calling directory (minus EXCLUDE), with the project root on its include
# path, installed with its headers under include/<dir>.
function(kavrenta_library name)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
  endforeach()
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources})
  add_library(Kavrenta::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                                            $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE $<BUILD_INTERFACE:kavrenta_warnings>)
  get_filename_component(dir ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  install(TARGETS ${name} EXPORT KavrentaTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${dir})
endfunction()
