# Script mode: runs cmake with ARGS (a |-list) in an empty directory WORK and
# expects it to fail with LINE (a regex) as the one line of its error, and
# with no other error.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${CMAKE_COMMAND} ${args} -B ${WORK}/build
                WORKING_DIRECTORY ${WORK}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(status EQUAL 0)
  message(FATAL_ERROR "the configure succeeded; expected: ${LINE}\n${output}")
endif()
string(REGEX MATCHALL "CMake Error" error_count "${errors}")
list(LENGTH error_count error_count)
if(NOT error_count EQUAL 1)
  message(FATAL_ERROR "expected one error, got ${error_count}:\n${errors}")
endif()
# CMake prints the message indented under its "CMake Error at" line and
# wraps it unless it fits or starts with a space; it must stay one line.
if(NOT errors MATCHES "\\(message\\):\n   ?${LINE}\n")
  message(FATAL_ERROR "expected the line '${LINE}', got:\n${errors}")
endif()
file(REMOVE_RECURSE ${WORK})
