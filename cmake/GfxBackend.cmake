# Which graphics back ends this build compiles: THAW_GFX_BACKEND, a ;-list of
#   d3d11  Direct3D 11 (Windows targets): the show, its capture, the Wine tests
#   gles   OpenGL ES 3.0 (EGL natively, WebGL 2 in the browser)
#   null   no graphics API, objects are numbers: native tests of the shared core
# Each preset sets it; the native ones build "gles;null". Every directory asks
# THAW_GFX_D3D11 / THAW_GFX_GLES / THAW_GFX_NULL, never the platform.
set(THAW_GFX_BACKEND "" CACHE STRING "Graphics back ends to build: a ;-list of d3d11, gles, null")
set_property(CACHE THAW_GFX_BACKEND PROPERTY STRINGS d3d11 gles null "gles;null")

if(NOT THAW_GFX_BACKEND)
  message(FATAL_ERROR "THAW_GFX_BACKEND is not set: d3d11, gles and/or null (see the presets)")
endif()
foreach(backend IN LISTS THAW_GFX_BACKEND)
  if(NOT backend MATCHES "^(d3d11|gles|null)$")
    message(FATAL_ERROR "THAW_GFX_BACKEND: unknown back end '${backend}' (expected d3d11, gles or null)")
  endif()
endforeach()
if("d3d11" IN_LIST THAW_GFX_BACKEND AND NOT WIN32)
  message(FATAL_ERROR "THAW_GFX_BACKEND: d3d11 needs a Windows target (the windows preset)")
endif()
if("gles" IN_LIST THAW_GFX_BACKEND AND WIN32)
  message(FATAL_ERROR "THAW_GFX_BACKEND: gles is not available on a Windows target")
endif()

foreach(backend d3d11 gles null)
  string(TOUPPER ${backend} upper)
  if(backend IN_LIST THAW_GFX_BACKEND)
    set(THAW_GFX_${upper} TRUE)
  else()
    set(THAW_GFX_${upper} FALSE)
  endif()
endforeach()
list(JOIN THAW_GFX_BACKEND ", " backends)
message(STATUS "Graphics back ends: ${backends} (THAW_GFX_BACKEND)")
