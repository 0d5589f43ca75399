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

// A constant buffer member's type as shader reflection describes it.
struct ConstantMember;
struct ConstantType {
  // D3D_SHADER_VARIABLE_CLASS: 0 scalar, 1 vector, 2 row-major matrix,
  // 3 column-major matrix, 5 structure.
  uint16_t varClass = 0;
  uint16_t varType = 3;  // D3D_SHADER_VARIABLE_TYPE: 1 bool, 2 int, 3 float, 19 uint
  uint16_t rows = 1, columns = 1;
  uint16_t elements = 0;  // array length, 0 when not an array
  std::string name;       // "float", "float2", "float4x4", or the structure's name
  std::vector<ConstantMember> members;
};
struct ConstantMember {
  std::string name;
  uint32_t offset = 0;  // from the start of the enclosing structure
  ConstantType type;
};
constexpr uint16_t kClassScalar = 0, kClassVector = 1, kClassMatrixRows = 2,
                   kClassMatrixColumns = 3, kClassStruct = 5;
constexpr uint16_t kTypeBool = 1, kTypeInt = 2, kTypeFloat = 3, kTypeUInt = 19;

struct ConstantVariable {
  std::string name;
  uint32_t offset = 0, size = 0;  // bytes, as the HLSL packing rules place it
  bool used = false;              // read by the program
  ConstantType type;
};

struct ShaderInfo {
  bool pixel = true;
  std::vector<SignatureElement> inputs, outputs;
  int32_t constantBufferSlot = -1;
  std::string constantBufferName;
  uint32_t constantBufferSize = 0;
  std::vector<ConstantVariable> constantBufferVariables;
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
