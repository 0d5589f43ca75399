# Script mode: turns the one-line scroll text INPUT into OUTPUT, an HLSL
# include holding the character codes as a constant array.
#   cmake -DINPUT=scroll-text.txt -DOUTPUT=ScrollText.hlsli -P MakeScrollText.cmake
set(kLength 433)
if(NOT EXISTS "${INPUT}")
  message(FATAL_ERROR "scroll text ${INPUT} does not exist")
endif()
file(READ "${INPUT}" hex HEX)
# One line: drop a trailing newline (and a carriage return before it).
string(REGEX REPLACE "(0d)?0a$" "" hex "${hex}")
string(LENGTH "${hex}" hexLength)
math(EXPR count "${hexLength} / 2")
if(NOT count EQUAL kLength)
  message(FATAL_ERROR "scroll text ${INPUT} holds ${count} characters, expected ${kLength} on one line")
endif()
set(codes "")
set(line "")
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last})
  math(EXPR at "${i} * 2")
  string(SUBSTRING "${hex}" ${at} 2 byte)
  math(EXPR code "0x${byte}")
  # Glyphs of the atlas (! & , - . 0-9 : ? @ A-Z) plus space and '*', which
  # draw nothing; anything else would silently vanish from the line.
  if(NOT (code EQUAL 32 OR code EQUAL 33 OR code EQUAL 38 OR code EQUAL 42 OR
          (code GREATER_EQUAL 44 AND code LESS_EQUAL 46) OR
          (code GREATER_EQUAL 48 AND code LESS_EQUAL 58) OR
          (code GREATER_EQUAL 63 AND code LESS_EQUAL 90)))
    message(FATAL_ERROR "scroll text ${INPUT}: character ${i} (code ${code}) has no glyph; "
                        "use capitals, digits, space and ! & , - . : ? @ *")
  endif()
  string(APPEND line "${code},")
  math(EXPR column "(${i} + 1) % 24")
  if(column EQUAL 0 OR i EQUAL last)
    string(APPEND codes "    ${line}\n")
    set(line "")
  endif()
endforeach()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#ifndef THAW_SCROLL_TEXT_HLSLI\n"
  "#define THAW_SCROLL_TEXT_HLSLI\n"
  "static const uint kScrollTextLength = ${kLength};\n"
  "static const uint kScrollText[${kLength}] =\n{\n${codes}};\n"
  "#endif\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
