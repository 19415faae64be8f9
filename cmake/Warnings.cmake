# One set of warnings for everything the project compiles. A build configured
# under CI (CI=true in the environment) fails on any of them.
add_library(quavdesk_warnings INTERFACE)
target_compile_options(quavdesk_warnings INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
if("$ENV{CI}" STREQUAL "true")
  target_compile_options(quavdesk_warnings INTERFACE -Werror)
endif()

# Gives the warnings to every target of `dir` and its folders that compiles
# code. Run once at the end of the top-level file, it reaches every target of
# the project, whichever folder added it.
function(quavdesk_use_warnings dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_link_libraries(${target} PRIVATE quavdesk_warnings)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    quavdesk_use_warnings(${subdir})
  endforeach()
endfunction()
