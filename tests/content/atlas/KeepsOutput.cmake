# Script mode: a run of TOOL that fails (here: no such font) must neither
# change an existing output file nor leave a partial file behind.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/atlas.png "previous contents")
execute_process(COMMAND ${TOOL} --font ${WORK}/missing.otf --output ${WORK}/atlas.png
                RESULT_VARIABLE status ERROR_QUIET)
if(status EQUAL 0)
  message(FATAL_ERROR "atlasgen succeeded without a font")
endif()
file(READ ${WORK}/atlas.png contents)
if(NOT contents STREQUAL "previous contents")
  message(FATAL_ERROR "the existing output was changed")
endif()
if(EXISTS ${WORK}/atlas.png.partial)
  message(FATAL_ERROR "a partial output was left behind")
endif()
