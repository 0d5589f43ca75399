// The whole tool as a function: instrument file + score file -> module bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

bool compileSong(const std::string& instrumentPath, const std::string& scorePath,
                 std::vector<uint8_t>& module, std::string& error);
