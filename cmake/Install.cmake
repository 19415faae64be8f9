# `cmake --install` gives the casting library, its public headers, the
# platform headers they include and a package that outside projects find with
# find_package(TavlinSDK) and link as TavlinSDK::TavlinSDK.
include(CMakePackageConfigHelpers)
set(TAVLIN_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/TavlinSDK)
install(EXPORT TavlinSDKTargets NAMESPACE TavlinSDK:: DESTINATION ${TAVLIN_PACKAGE_DIR})
configure_package_config_file(cmake/TavlinSDKConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TavlinSDKConfig.cmake
  INSTALL_DESTINATION ${TAVLIN_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TavlinSDKConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/TavlinSDKConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TavlinSDKConfigVersion.cmake
  DESTINATION ${TAVLIN_PACKAGE_DIR})
