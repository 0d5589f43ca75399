# Script mode: atlasgen writing to /dev/full must fail with one error line and
# a non-zero status, and /dev/full must still be a character device after it
# (a write-then-rename would have put a PNG file in its place, as root).
# DEVICE names another node that discards writes with ENOSPC (mknod c 1 7).
if(NOT DEFINED DEVICE)
  set(DEVICE /dev/full)
endif()
if(NOT EXISTS ${DEVICE})
  message("SKIP: no ${DEVICE}")
  return()
endif()
execute_process(COMMAND ${TOOL} --font ${FONT} --output ${DEVICE}
                RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)
execute_process(COMMAND stat -c %F ${DEVICE} OUTPUT_VARIABLE kind OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT kind STREQUAL "character special file")
  message(FATAL_ERROR "${DEVICE} is now a '${kind}'")
endif()
if(status EQUAL 0)
  message(FATAL_ERROR "writing the atlas to ${DEVICE} succeeded")
endif()
if(NOT errors MATCHES "^atlasgen: cannot write '${DEVICE}': [^\n]*\n$")
  message(FATAL_ERROR "expected one line 'cannot write '${DEVICE}': ...', got: ${errors}")
endif()
