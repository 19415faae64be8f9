# The virtual sound device's configuration travels inside the library as the
# resource ":/TavlinSDK/Sonvale.driver.zip", packed at configure time from the
# files of Resources/Sonvale.driver, with ":/TavlinSDK/Sonvale.driver.sha256",
# the SHA-256 of each of those files, which the installation checks its
# root-owned copies against before any sound server is pointed at them.
set(SONVALE_DRIVER_DIR ${CMAKE_CURRENT_LIST_DIR})
file(GLOB_RECURSE SONVALE_DRIVER_FILES ${SONVALE_DRIVER_DIR}/Sonvale.driver/*)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${SONVALE_DRIVER_FILES})
set(SONVALE_DRIVER_ZIP ${CMAKE_CURRENT_BINARY_DIR}/resources/Sonvale.driver.zip)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/resources)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${SONVALE_DRIVER_ZIP} --format=zip "--mtime=2024-01-01 00:00:00 UTC" -- Sonvale.driver
  WORKING_DIRECTORY ${SONVALE_DRIVER_DIR}
  RESULT_VARIABLE SONVALE_DRIVER_RESULT)
if(NOT SONVALE_DRIVER_RESULT EQUAL 0)
  message(FATAL_ERROR "Cannot pack the Sonvale.driver archive")
endif()
list(SORT SONVALE_DRIVER_FILES)
set(SONVALE_DRIVER_MANIFEST "")
foreach(file ${SONVALE_DRIVER_FILES})
  file(SHA256 ${file} hash)
  file(RELATIVE_PATH relative ${SONVALE_DRIVER_DIR}/Sonvale.driver ${file})
  string(APPEND SONVALE_DRIVER_MANIFEST "${hash}  ${relative}\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/resources/Sonvale.driver.sha256
  CONTENT "${SONVALE_DRIVER_MANIFEST}")
# Compiled in with the library's objects, so that the shared library and the
# tests that link the objects both carry it.
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/resources/sonvale_driver.qrc
  CONTENT "<RCC><qresource prefix=\"/TavlinSDK\"><file>Sonvale.driver.zip</file><file>Sonvale.driver.sha256</file></qresource></RCC>\n")
qt_add_resources(SONVALE_DRIVER_RESOURCE ${CMAKE_CURRENT_BINARY_DIR}/resources/sonvale_driver.qrc)
target_sources(TavlinSDKObjects PRIVATE ${SONVALE_DRIVER_RESOURCE})
