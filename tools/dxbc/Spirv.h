#pragma once
// The parts of the SPIR-V binary format the translator reads: opcode and enum
// numbers from the public SPIR-V and GLSL.std.450 documents.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace spv {

enum Op : uint16_t {
  OpNop = 0, OpUndef = 1, OpSourceContinued = 2, OpSource = 3, OpSourceExtension = 4,
  OpName = 5, OpMemberName = 6, OpString = 7, OpLine = 8, OpExtension = 10,
  OpExtInstImport = 11, OpExtInst = 12, OpMemoryModel = 14, OpEntryPoint = 15,
  OpExecutionMode = 16, OpCapability = 17, OpTypeVoid = 19, OpTypeBool = 20, OpTypeInt = 21,
  OpTypeFloat = 22, OpTypeVector = 23, OpTypeMatrix = 24, OpTypeImage = 25,
  OpTypeSampler = 26, OpTypeSampledImage = 27, OpTypeArray = 28, OpTypeRuntimeArray = 29,
  OpTypeStruct = 30, OpTypePointer = 32, OpTypeFunction = 33, OpConstantTrue = 41,
  OpConstantFalse = 42, OpConstant = 43, OpConstantComposite = 44, OpConstantNull = 46,
  OpFunction = 54, OpFunctionParameter = 55, OpFunctionEnd = 56, OpFunctionCall = 57,
  OpVariable = 59, OpLoad = 61, OpStore = 62, OpAccessChain = 65, OpInBoundsAccessChain = 66,
  OpDecorate = 71, OpMemberDecorate = 72, OpVectorExtractDynamic = 77, OpVectorShuffle = 79,
  OpCompositeConstruct = 80, OpCompositeExtract = 81, OpCompositeInsert = 82,
  OpCopyObject = 83, OpSampledImage = 86, OpImageSampleImplicitLod = 87,
  OpImageSampleExplicitLod = 88, OpImage = 100, OpConvertFToU = 109, OpConvertFToS = 110,
  OpConvertSToF = 111, OpConvertUToF = 112, OpBitcast = 124, OpSNegate = 126,
  OpFNegate = 127, OpIAdd = 128, OpFAdd = 129, OpISub = 130, OpFSub = 131, OpIMul = 132,
  OpFMul = 133, OpUDiv = 134, OpSDiv = 135, OpFDiv = 136, OpUMod = 137, OpSRem = 138,
  OpSMod = 139, OpFRem = 140, OpFMod = 141, OpVectorTimesScalar = 142,
  OpMatrixTimesScalar = 143, OpVectorTimesMatrix = 144, OpMatrixTimesVector = 145,
  OpDot = 148, OpAny = 154, OpAll = 155, OpIsNan = 156, OpIsInf = 157,
  OpLogicalEqual = 164, OpLogicalNotEqual = 165, OpLogicalOr = 166, OpLogicalAnd = 167,
  OpLogicalNot = 168, OpSelect = 169, OpIEqual = 170, OpINotEqual = 171,
  OpUGreaterThan = 172, OpSGreaterThan = 173, OpUGreaterThanEqual = 174,
  OpSGreaterThanEqual = 175, OpULessThan = 176, OpSLessThan = 177, OpULessThanEqual = 178,
  OpSLessThanEqual = 179, OpFOrdEqual = 180, OpFUnordEqual = 181, OpFOrdNotEqual = 182,
  OpFUnordNotEqual = 183, OpFOrdLessThan = 184, OpFUnordLessThan = 185,
  OpFOrdGreaterThan = 186, OpFUnordGreaterThan = 187, OpFOrdLessThanEqual = 188,
  OpFUnordLessThanEqual = 189, OpFOrdGreaterThanEqual = 190, OpFUnordGreaterThanEqual = 191,
  OpShiftRightLogical = 194, OpShiftRightArithmetic = 195, OpShiftLeftLogical = 196,
  OpBitwiseOr = 197, OpBitwiseXor = 198, OpBitwiseAnd = 199, OpNot = 200, OpDPdx = 207,
  OpDPdy = 208, OpFwidth = 209, OpDPdxFine = 210, OpDPdyFine = 211, OpFwidthFine = 212,
  OpDPdxCoarse = 213, OpDPdyCoarse = 214, OpFwidthCoarse = 215, OpPhi = 245,
  OpLoopMerge = 246, OpSelectionMerge = 247, OpLabel = 248, OpBranch = 249,
  OpBranchConditional = 250, OpSwitch = 251, OpKill = 252, OpReturn = 253,
  OpReturnValue = 254, OpUnreachable = 255, OpModuleProcessed = 330,
  OpDecorateString = 5632, OpMemberDecorateString = 5633,
};

enum Glsl : uint32_t {
  GlslRound = 1, GlslRoundEven = 2, GlslTrunc = 3, GlslFAbs = 4, GlslSAbs = 5, GlslFSign = 6,
  GlslSSign = 7, GlslFloor = 8, GlslCeil = 9, GlslFract = 10, GlslRadians = 11,
  GlslDegrees = 12, GlslSin = 13, GlslCos = 14, GlslTan = 15, GlslPow = 26, GlslExp = 27,
  GlslLog = 28, GlslExp2 = 29, GlslLog2 = 30, GlslSqrt = 31, GlslInverseSqrt = 32,
  GlslFMin = 37, GlslUMin = 38, GlslSMin = 39, GlslFMax = 40, GlslUMax = 41, GlslSMax = 42,
  GlslFClamp = 43, GlslUClamp = 44, GlslSClamp = 45, GlslFMix = 46, GlslStep = 48,
  GlslSmoothStep = 49, GlslFma = 50, GlslLength = 66, GlslDistance = 67, GlslCross = 68,
  GlslNormalize = 69, GlslReflect = 71, GlslNMin = 79, GlslNMax = 80, GlslNClamp = 81,
};

enum Decoration : uint32_t {
  DecBlock = 2, DecRowMajor = 4, DecColMajor = 5, DecArrayStride = 6, DecMatrixStride = 7,
  DecBuiltIn = 11, DecNoPerspective = 13, DecFlat = 14, DecCentroid = 16, DecSample = 17,
  DecLocation = 30, DecBinding = 33, DecDescriptorSet = 34, DecOffset = 35,
  DecNoContraction = 42, DecUserSemantic = 5635,
};

enum BuiltIn : uint32_t {
  BuiltInPosition = 0, BuiltInVertexId = 5, BuiltInFragCoord = 15, BuiltInFragDepth = 22,
  BuiltInVertexIndex = 42,
};

enum StorageClass : uint32_t {
  StorageUniformConstant = 0, StorageInput = 1, StorageUniform = 2, StorageOutput = 3,
  StoragePrivate = 6, StorageFunction = 7, StoragePushConstant = 9,
};

enum ExecutionModel : uint32_t { ModelVertex = 0, ModelFragment = 4 };

enum ImageOperand : uint32_t {
  ImageBias = 0x1, ImageLod = 0x2, ImageGrad = 0x4, ImageConstOffset = 0x8,
};

struct Instruction {
  uint16_t opcode = 0;
  const uint32_t* words = nullptr;  // words[0] is the opcode word
  uint16_t count = 0;
  uint32_t word(size_t i) const { return i < count ? words[i] : 0; }
};

// Splits a module into instructions; false (with a message) if malformed.
bool parseModule(const uint32_t* words, size_t count, std::vector<Instruction>& out,
                 std::string& error);
// Literal string starting at word i of an instruction.
std::string literalString(const Instruction& ins, size_t i);
const char* opName(uint16_t opcode);
const char* glslName(uint32_t ext);

}  // namespace spv
