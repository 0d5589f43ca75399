// Where a program built here finds the build it came from: edit mode's
// defaults (the checkout's timeline and shaders) and the shader tools it
// runs. Looked up at run time rather than compiled in, so that the program
// holds no build path and builds in different folders stay byte-identical.
#pragma once

#include <string>

// The build tree the running executable lies in: the nearest folder above it
// that holds CMakeCache.txt. Empty when there is none (an installed copy).
std::string findBuildTree();

// The source folder that build tree was configured from (the cache's
// CMAKE_HOME_DIRECTORY). Empty when it cannot be read.
std::string buildTreeSourceDir(const std::string& buildTree);
