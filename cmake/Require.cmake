# Dependencies that a configure cannot do without. Each check either finds
# what it asks for or stops the configure with one line that names the Debian
# package to install; nothing is left out quietly.
#
#   thaw_require(<prefix> MODULES <pkg-config module>... DEBIAN_PACKAGE <package>...)
#       pkg-config modules, as the GLOBAL imported target PkgConfig::<prefix>
#   thaw_require_package(<name> [CONFIG] DEBIAN_PACKAGE <package>...)
#       find_package(<name>) for packages that ship a CMake config or module
#   thaw_require_program(<var> <program> DEBIAN_PACKAGE <package>...)
#       find_program(<var> <program>)
#   thaw_require_file(<path> DEBIAN_PACKAGE <package>...)
#       a file (a header-only library, a source package)

# The one line each check stops with. The leading space keeps CMake from
# wrapping it however long it is.
macro(thaw_missing what)
  string(REPLACE ";" " " thaw_missing_packages "${ARGN}")
  message(FATAL_ERROR " Missing ${what}: apt-get install ${thaw_missing_packages}")
endmacro()

function(thaw_require prefix)
  cmake_parse_arguments(ARG "" "" "MODULES;DEBIAN_PACKAGE" ${ARGN})
  if(TARGET PkgConfig::${prefix})
    return()
  endif()
  find_package(PkgConfig QUIET)
  if(NOT PkgConfig_FOUND)
    thaw_missing("pkg-config" pkg-config)
  endif()
  pkg_check_modules(${prefix} QUIET IMPORTED_TARGET GLOBAL ${ARG_MODULES})
  if(NOT ${prefix}_FOUND)
    list(JOIN ARG_MODULES ", " modules)
    thaw_missing("${modules} (pkg-config)" ${ARG_DEBIAN_PACKAGE})
  endif()
endfunction()

# A macro, so that the package's variables and targets reach the caller.
macro(thaw_require_package name)
  cmake_parse_arguments(THAW_REQUIRE "CONFIG" "" "DEBIAN_PACKAGE" ${ARGN})
  if(THAW_REQUIRE_CONFIG)
    find_package(${name} CONFIG QUIET)
  else()
    find_package(${name} QUIET)
  endif()
  if(NOT ${name}_FOUND)
    thaw_missing("${name} (CMake package)" ${THAW_REQUIRE_DEBIAN_PACKAGE})
  endif()
endmacro()

function(thaw_require_program var program)
  cmake_parse_arguments(ARG "" "" "DEBIAN_PACKAGE" ${ARGN})
  find_program(${var} ${program})
  if(NOT ${var})
    # Not cached as not-found: the next configure looks again.
    unset(${var} CACHE)
    thaw_missing("program ${program}" ${ARG_DEBIAN_PACKAGE})
  endif()
endfunction()

function(thaw_require_file path)
  cmake_parse_arguments(ARG "" "" "DEBIAN_PACKAGE" ${ARGN})
  if(NOT EXISTS ${path})
    thaw_missing("${path}" ${ARG_DEBIAN_PACKAGE})
  endif()
endfunction()
