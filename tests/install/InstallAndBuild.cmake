# Installs the build tree into a fresh prefix, then configures, builds and
# runs the outside project against it. Any failing step fails the test.
function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}")
  endif()
  message(STATUS "${what}: done")
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
step("install" ${CMAKE_COMMAND} --install ${BUILD_TREE} --prefix ${prefix})

# Only what an outside project needs is there.
foreach(header TavlinSDK.h TavlinDelegate.h DeviceInformation.h ServerInfo.h TavlinError.h TavlinServices.h
               Platform/PlatformServices.h)
  if(NOT EXISTS ${prefix}/include/TavlinSDK/${header})
    message(FATAL_ERROR "missing installed header ${header}")
  endif()
endforeach()
if(EXISTS ${prefix}/include/TavlinSDK/TavlinSDK_p.h)
  message(FATAL_ERROR "the facade's inner header was installed")
endif()
# The platform's installed headers are its interfaces and the services
# factory; the Linux backends' own factories stay inside.
foreach(header LinuxPlatform.h LinuxInput.h LinuxSoundPlatform.h LinuxDisplayPlatform.h)
  if(EXISTS ${prefix}/include/TavlinSDK/Platform/${header})
    message(FATAL_ERROR "the backends' header ${header} was installed")
  endif()
endforeach()
if(NOT EXISTS ${prefix}/include/TavlinSDK/Platform/LinuxServices.h)
  message(FATAL_ERROR "missing installed header Platform/LinuxServices.h")
endif()

set(flags "")
if(SANITIZE_FLAGS)
  set(flags "-DCMAKE_CXX_FLAGS=${SANITIZE_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${SANITIZE_FLAGS}")
endif()
set(launcher "")
if(CXX_LAUNCHER)
  set(launcher "-DCMAKE_CXX_COMPILER_LAUNCHER=${CXX_LAUNCHER}")
endif()
step("configure" ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${WORK}/build -G ${GENERATOR}
     -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
     -DCMAKE_PREFIX_PATH=${prefix} ${launcher} ${flags})
step("build" ${CMAKE_COMMAND} --build ${WORK}/build)
step("run" ${WORK}/build/tavlin_consumer)
