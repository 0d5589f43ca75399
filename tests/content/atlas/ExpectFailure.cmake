# Script mode: runs TOOL with ARGS (a |-separated list) and passes only when
# it exits with status 1 and its error output matches MESSAGE.
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${TOOL} ${args} RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)
if(NOT status STREQUAL "1")
  message(FATAL_ERROR "expected exit status 1, got '${status}'")
endif()
if(NOT errors MATCHES "${MESSAGE}")
  message(FATAL_ERROR "expected an error matching '${MESSAGE}', got: ${errors}")
endif()
