# The show as a static web site (web preset): the shared libraries, the
# OpenGL ES back end over WebGL 2 (THAW_GFX_BACKEND=gles), the page's C++
# entry in src/app/web and its browser tests in tests/app/web. The shader
# programs are made as in every build, with the host tools imported from the
# native build (THAW_HOST_BUILD_DIR).
set(THAW_WEB_SITE_DIR ${CMAKE_BINARY_DIR}/site CACHE PATH "Where the static site is written")

# The host's pkg-config must not offer the desktop GLES libraries here.
set(ENV{PKG_CONFIG_LIBDIR} ${CMAKE_BINARY_DIR}/no-pkgconfig)

enable_testing()
include(cmake/Shaders.cmake)
add_compile_options(-Wall -Wextra -fno-exceptions)
foreach(dir src/base src/xm src/anim src/app src/Orrery/gfx src/content/timeline src/edit src/content/atlas
            src/content/module src/content/shaders src/content/scene)
  add_subdirectory(${dir})
endforeach()

add_subdirectory(src/app/web)
add_subdirectory(tests/app/web)
add_subdirectory(tests/release)
