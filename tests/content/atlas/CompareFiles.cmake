# Script mode: runs the atlas generator into OUTPUT and fails unless the
# result equals EXPECTED byte for byte.
if(NOT EXISTS ${FONT})
  message(FATAL_ERROR "the atlas font ${FONT} is missing (scripts/setup.sh installs it)")
endif()
execute_process(COMMAND ${TOOL} --font ${FONT} --output ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "atlasgen failed (${status})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${OUTPUT} differs from the committed ${EXPECTED}; regenerate it with atlasgen")
endif()
