# thaw_embed(<target> <file> <symbol> [<subdirectory>])
# Compiles <file> into <target> as
#   extern const unsigned char <symbol>[];  extern const unsigned int <symbol>Size;
# The source is regenerated whenever <file> changes. It is written under
# embed/ (or <subdirectory>) of the current binary directory: two libraries
# that define the same symbols need different ones.
function(thaw_embed target file symbol)
  set(subdirectory embed)
  if(ARGC GREATER 3)
    set(subdirectory ${ARGV3})
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${subdirectory}/${symbol}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${out} -DSYMBOL=${symbol}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    DEPENDS ${file} ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    COMMENT "Embedding ${file} as ${symbol}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
