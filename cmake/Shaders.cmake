# thaw_compile_hlsl(<out_var> SOURCE <file.hlsl> STAGE vs|ps [ENTRY name]
#                   [INCLUDES dirs...] [DEPENDS files...])
#
# Compiles one HLSL entry point to a shader model 5.0 DXBC container:
#   glslangValidator (HLSL front end) -> SPIR-V -> spirv-opt -> thaw-dxbc.
# Sets <out_var> to the .dxbc path (in the current binary dir, under shaders/).
# The blob is rebuilt when the source, any DEPENDS file or the translator
# changes. Hand the path to thaw_embed() or to a target's sources/DEPENDS in
# the same directory so that something builds it.
#
# The translator is host::thaw-dxbc: the native build's own target, or the
# one the cross builds import from it (cmake/HostTools.cmake).

thaw_require_program(THAW_GLSLANG_VALIDATOR glslangValidator DEBIAN_PACKAGE glslang-tools)
thaw_require_program(THAW_SPIRV_OPT spirv-opt DEBIAN_PACKAGE spirv-tools)

# Inline and flatten to SSA, then simplify; the translator expects structured
# control flow with every function inlined into the entry point.
set(THAW_SPIRV_OPT_FLAGS --legalize-hlsl -O --merge-return --eliminate-dead-code-aggressive
    CACHE STRING "spirv-opt passes run before the DXBC translator")

function(thaw_compile_hlsl out_var)
  cmake_parse_arguments(ARG "" "SOURCE;STAGE;ENTRY" "INCLUDES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCE)
    message(FATAL_ERROR "thaw_compile_hlsl: SOURCE is required")
  endif()
  if(ARG_STAGE STREQUAL "vs")
    set(glslang_stage vert)
    set(default_entry vertex_main)
  elseif(ARG_STAGE STREQUAL "ps")
    set(glslang_stage frag)
    set(default_entry pixel_main)
  else()
    message(FATAL_ERROR "thaw_compile_hlsl: STAGE must be vs or ps (got '${ARG_STAGE}')")
  endif()
  if(NOT ARG_ENTRY)
    set(ARG_ENTRY ${default_entry})
  endif()
  get_filename_component(source ${ARG_SOURCE} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(name ${source} NAME_WE)

  set(stem ${name}.${ARG_STAGE})
  if(NOT ARG_ENTRY STREQUAL default_entry)
    set(stem ${stem}.${ARG_ENTRY})
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/shaders)
  set(raw ${dir}/${stem}.raw.spv)
  set(opt ${dir}/${stem}.spv)
  set(out ${dir}/${stem}.dxbc)

  set(include_flags)
  foreach(inc IN LISTS ARG_INCLUDES)
    get_filename_component(inc ${inc} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND include_flags -I${inc})
  endforeach()

  # The optimised SPIR-V is an output too: the OpenGL ES programs are
  # converted from it (thaw_spirv_to_glsl).
  add_custom_command(
    OUTPUT ${out} ${opt}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${THAW_GLSLANG_VALIDATOR} -D -V --hlsl-offsets -fhlsl_functionality1
            -S ${glslang_stage} -e ${ARG_ENTRY} ${include_flags} -o ${raw} ${source}
    COMMAND ${THAW_SPIRV_OPT} ${THAW_SPIRV_OPT_FLAGS} ${raw} -o ${opt}
    COMMAND $<TARGET_FILE:host::thaw-dxbc> compile ${opt} -o ${out} --source ${source}
    DEPENDS ${source} ${ARG_DEPENDS} host::thaw-dxbc
    COMMENT "Compiling HLSL ${name} (${ARG_STAGE}, ${ARG_ENTRY}) to DXBC"
    VERBATIM)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()

# thaw_spirv_to_glsl(<out_var> DXBC <file.dxbc>)
#
# Converts the optimised SPIR-V that thaw_compile_hlsl made next to <file.dxbc>
# into GLSL ES 3.00 text (<stem>.glsl beside it) with the native thaw-glsl
# tool (host::thaw-glsl), for the OpenGL ES back end.
function(thaw_spirv_to_glsl out_var)
  cmake_parse_arguments(ARG "" "DXBC" "" ${ARGN})
  string(REGEX REPLACE "\\.dxbc$" ".spv" spv ${ARG_DXBC})
  string(REGEX REPLACE "\\.dxbc$" ".glsl" glsl ${ARG_DXBC})
  get_filename_component(name ${glsl} NAME)
  add_custom_command(
    OUTPUT ${glsl}
    COMMAND $<TARGET_FILE:host::thaw-glsl> ${spv} -o ${glsl}
    DEPENDS ${spv} host::thaw-glsl
    COMMENT "Converting ${name} to GLSL ES 3.00"
    VERBATIM)
  set(${out_var} ${glsl} PARENT_SCOPE)
endfunction()
