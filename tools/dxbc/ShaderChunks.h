#pragma once
// The chunks around the program: signatures (ISGN/OSGN), resource
// definitions (RDEF) and statistics (STAT).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "DxbcProgram.h"

namespace dxbc {

struct SignatureElement {
  std::string name;  // with its index, e.g. "TEXCOORD0"
  uint32_t systemValue = SvUndefined;
  uint32_t reg = 0;
  uint8_t mask = 0xf;
  // Inputs: components read. Outputs: components never written.
  uint8_t used = 0;
  uint32_t componentType = 3;  // 1 uint, 2 int, 3 float
  uint32_t interpolation = InterpLinear;
};

struct ShaderInfo {
  bool pixel = true;
  std::vector<SignatureElement> inputs, outputs;
  int32_t constantBufferSlot = -1;
  std::string constantBufferName;
  uint32_t constantBufferSize = 0;
  std::vector<std::pair<uint32_t, std::string>> textures, samplers;
  uint32_t instructionCount = 0;
  uint32_t tempCount = 0;
  uint32_t declarationCount = 0;
  uint32_t icbRows = 0;
  uint32_t indexableTemps = 0;
  std::vector<Instruction> body;
};

// Splits "TEXCOORD0" into "TEXCOORD" and 0.
void splitSemantic(const std::string& full, std::string& name, uint32_t& index);

std::vector<uint8_t> signatureChunk(const std::vector<SignatureElement>& elements, bool output);
std::vector<uint8_t> resourceChunk(const ShaderInfo& info);
std::vector<uint8_t> statisticsChunk(const ShaderInfo& info);

// RDEF, ISGN, OSGN, SHEX and STAT in a container with its checksum.
std::vector<uint8_t> buildContainer(const ShaderInfo& info, const std::vector<uint32_t>& tokens);

}  // namespace dxbc
