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

# The HLSL front end's options, besides the stage, the entry and the include
# folders. Also handed to programs that rebuild shaders at run time
# (thaw_write_shader_chain), so that both build the same code.
set(THAW_GLSLANG_FLAGS -D -V --hlsl-offsets -fhlsl_functionality1)

# THAW_SHADER_PROGRAMS holds three fields a program (name, HLSL source,
# stage). thaw_shader_program_indices(<var>) lists the programs' indices;
# thaw_shader_program(<index> <name_var> <source_var> <stage_var>) reads one.
function(thaw_shader_program_indices out_var)
  list(LENGTH THAW_SHADER_PROGRAMS fields)
  math(EXPR last "${fields} / 3 - 1")
  set(indices "")
  foreach(k RANGE 0 ${last})
    list(APPEND indices ${k})
  endforeach()
  set(${out_var} ${indices} PARENT_SCOPE)
endfunction()

function(thaw_shader_program index name_var source_var stage_var)
  math(EXPR at "${index} * 3")
  list(GET THAW_SHADER_PROGRAMS ${at} name)
  math(EXPR at "${at} + 1")
  list(GET THAW_SHADER_PROGRAMS ${at} source)
  math(EXPR at "${at} + 1")
  list(GET THAW_SHADER_PROGRAMS ${at} stage)
  set(${name_var} ${name} PARENT_SCOPE)
  set(${source_var} ${source} PARENT_SCOPE)
  set(${stage_var} ${stage} PARENT_SCOPE)
endfunction()

# thaw_hlsl_stage(<stage> <glslang_stage_var> <entry_var>): glslang's stage
# name and the default entry point of stage vs or ps.
function(thaw_hlsl_stage stage glslang_stage_var entry_var)
  if(stage STREQUAL "vs")
    set(${glslang_stage_var} vert PARENT_SCOPE)
    set(${entry_var} vertex_main PARENT_SCOPE)
  elseif(stage STREQUAL "ps")
    set(${glslang_stage_var} frag PARENT_SCOPE)
    set(${entry_var} pixel_main PARENT_SCOPE)
  else()
    message(FATAL_ERROR "thaw_hlsl_stage: STAGE must be vs or ps (got '${stage}')")
  endif()
endfunction()

function(thaw_compile_hlsl out_var)
  cmake_parse_arguments(ARG "" "SOURCE;STAGE;ENTRY" "INCLUDES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCE)
    message(FATAL_ERROR "thaw_compile_hlsl: SOURCE is required")
  endif()
  thaw_hlsl_stage("${ARG_STAGE}" glslang_stage default_entry)
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
    COMMAND ${THAW_GLSLANG_VALIDATOR} ${THAW_GLSLANG_FLAGS}
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

# thaw_write_shader_chain(<header>)
#
# Writes a C++ header with everything a program needs to run the OpenGL ES
# half of the chain itself (HLSL -> SPIR-V -> optimised SPIR-V -> GLSL ES):
# the three tools' paths, their options as above, the folder of the generated
# includes and the program table (THAW_SHADER_PROGRAMS) as an X-macro
#   THAW_SHADER_CHAIN_PROGRAMS(X): X(name, "source", "glslang stage", "entry")
# Native builds only (the converter is this build's thaw-glsl).
function(thaw_write_shader_chain header)
  set(quoted_glslang "")
  foreach(flag IN LISTS THAW_GLSLANG_FLAGS)
    string(APPEND quoted_glslang "\"${flag}\", ")
  endforeach()
  set(quoted_opt "")
  foreach(flag IN LISTS THAW_SPIRV_OPT_FLAGS)
    string(APPEND quoted_opt "\"${flag}\", ")
  endforeach()
  set(table "")
  thaw_shader_program_indices(indices)
  foreach(k IN LISTS indices)
    thaw_shader_program(${k} name source stage)
    thaw_hlsl_stage(${stage} glslang_stage entry)
    string(APPEND table " \\\n    X(${name}, \"${source}\", \"${glslang_stage}\", \"${entry}\")")
  endforeach()
  # Build-tree paths are relative to the tree's root (found at run time), so
  # that no build folder ends up inside a program.
  file(RELATIVE_PATH generated_includes ${CMAKE_BINARY_DIR} ${THAW_SHADER_BINARY_DIR}/generated)
  file(GENERATE OUTPUT ${header} CONTENT "// Generated by cmake/Shaders.cmake: the shader chain as the build runs it.
#pragma once

#define THAW_SHADER_CHAIN_GLSLANG \"${THAW_GLSLANG_VALIDATOR}\"
#define THAW_SHADER_CHAIN_SPIRV_OPT \"${THAW_SPIRV_OPT}\"
#define THAW_SHADER_CHAIN_THAW_GLSL \"$<PATH:RELATIVE_PATH,$<TARGET_FILE:thaw-glsl>,${CMAKE_BINARY_DIR}>\"
#define THAW_SHADER_CHAIN_GLSLANG_FLAGS ${quoted_glslang}
#define THAW_SHADER_CHAIN_SPIRV_OPT_FLAGS ${quoted_opt}
#define THAW_SHADER_CHAIN_GENERATED_INCLUDES \"${generated_includes}\"
#define THAW_SHADER_CHAIN_PROGRAMS(X)${table}
")
endfunction()
