# Programs that the Windows and web builds run on the build machine: the
# shader translator and converter, the timeline tables, and the native
# programs that tests compare against. Everyone names them host::<tool>.
#
# The native build defines them and writes their locations to
# <native build>/thaw-host-tools.cmake (thaw_export_host_tools, at the end of
# the configure); the cross builds import that file from THAW_HOST_BUILD_DIR.
set(THAW_HOST_TOOLS thaw-dxbc thaw-glsl thaw-timeline xmrender thawline-capture pass_dump_gles)
set(THAW_HOST_TOOLS_FILE thaw-host-tools.cmake)

function(thaw_import_host_tools)
  set(file ${THAW_HOST_BUILD_DIR}/${THAW_HOST_TOOLS_FILE})
  if(NOT THAW_HOST_BUILD_DIR OR NOT EXISTS ${file})
    message(FATAL_ERROR " No host tools at '${file}': build the native preset first")
  endif()
  include(${file})
  foreach(tool IN LISTS THAW_HOST_TOOLS)
    if(NOT TARGET host::${tool})
      continue()  # a native build without OpenGL ES has no capture; its users say so
    endif()
    get_target_property(location host::${tool} IMPORTED_LOCATION_RELEASE)
    if(NOT location)
      get_target_property(location host::${tool} IMPORTED_LOCATION_NOCONFIG)
    endif()
    if(NOT EXISTS "${location}")
      message(FATAL_ERROR " host::${tool} is not built ('${location}'): build the native preset first")
    endif()
  endforeach()
endfunction()

# Native builds: the tools under their host:: names, and the file for the
# cross builds. Runs after every directory has been read.
function(thaw_export_host_tools)
  set(tools)
  foreach(tool IN LISTS THAW_HOST_TOOLS)
    if(TARGET ${tool})
      add_executable(host::${tool} ALIAS ${tool})
      list(APPEND tools ${tool})
    elseif(NOT THAW_ONLY_DIRS AND (THAW_GFX_GLES OR NOT tool MATCHES "capture|gles"))
      message(FATAL_ERROR " Host tool ${tool} is defined by no directory (cmake/HostTools.cmake)")
    else()
      message(STATUS "Host tool ${tool} not in this build (THAW_ONLY_DIRS or THAW_GFX_BACKEND)")
    endif()
  endforeach()
  export(TARGETS ${tools} NAMESPACE host:: FILE ${CMAKE_BINARY_DIR}/${THAW_HOST_TOOLS_FILE})
endfunction()
