#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DxbcProgram.h"
#include "ShaderChunks.h"

namespace dxbc {

// What the disassembler reads back from a container.
struct ContainerView {
  bool checksumValid = false;
  std::vector<std::string> chunkNames;
  std::vector<SignatureElement> inputs, outputs;
  bool hasProgram = false;
  Program program;
  uint32_t programChunk = 0;  // fourcc of SHEX / SHDR
};

bool parseSignature(const std::vector<uint8_t>& data, std::vector<SignatureElement>& out,
                    std::string& error);
bool readShader(const uint8_t* bytes, size_t size, ContainerView& view, std::string& error);
// Text listing: chunk list, signatures, then one instruction per line.
bool disassemble(const uint8_t* bytes, size_t size, std::string& text, std::string& error);

}  // namespace dxbc
