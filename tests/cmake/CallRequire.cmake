# Script mode: includes REQUIRE (cmake/Require.cmake) and runs CALL, one of
# its checks.
include(${REQUIRE})
cmake_language(EVAL CODE "${CALL}")
