# Natively the units install as libraries with a CMake package config, so
# another project can find_package(Kavrenta) and link Kavrenta::vopack.
include(CMakePackageConfigHelpers)
install(EXPORT KavrentaTargets NAMESPACE Kavrenta:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kavrenta)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KavrentaConfig.cmake.in
  ${CMAKE_BINARY_DIR}/KavrentaConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kavrenta)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KavrentaConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KavrentaConfig.cmake ${CMAKE_BINARY_DIR}/KavrentaConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kavrenta)
