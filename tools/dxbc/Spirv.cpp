#include "Spirv.h"

namespace spv {

bool parseModule(const uint32_t* words, size_t count, std::vector<Instruction>& out,
                 std::string& error) {
  out.clear();
  if (count < 5 || words[0] != 0x07230203u) {
    error = "not a SPIR-V module (bad magic number)";
    return false;
  }
  size_t at = 5;
  while (at < count) {
    Instruction ins;
    ins.opcode = uint16_t(words[at] & 0xffff);
    ins.count = uint16_t(words[at] >> 16);
    if (ins.count == 0 || ins.count > count - at) {
      error = "SPIR-V instruction at word " + std::to_string(at) + " has a bad length";
      return false;
    }
    ins.words = words + at;
    out.push_back(ins);
    at += ins.count;
  }
  return true;
}

std::string literalString(const Instruction& ins, size_t i) {
  std::string s;
  for (; i < ins.count; ++i) {
    uint32_t w = ins.words[i];
    for (int b = 0; b < 4; ++b) {
      char c = char((w >> (8 * b)) & 0xff);
      if (c == 0) return s;
      s += c;
    }
  }
  return s;
}

const char* opName(uint16_t op) {
  switch (op) {
#define N(x) case x: return #x;
    N(OpNop) N(OpUndef) N(OpExtInst) N(OpTypeVoid) N(OpTypeBool) N(OpTypeInt) N(OpTypeFloat)
    N(OpTypeVector) N(OpTypeMatrix) N(OpTypeImage) N(OpTypeSampler) N(OpTypeSampledImage)
    N(OpTypeArray) N(OpTypeRuntimeArray) N(OpTypeStruct) N(OpTypePointer) N(OpTypeFunction)
    N(OpConstantTrue) N(OpConstantFalse) N(OpConstant) N(OpConstantComposite)
    N(OpConstantNull) N(OpFunction) N(OpFunctionParameter) N(OpFunctionEnd)
    N(OpFunctionCall) N(OpVariable) N(OpLoad) N(OpStore) N(OpAccessChain)
    N(OpInBoundsAccessChain) N(OpVectorExtractDynamic) N(OpVectorShuffle)
    N(OpCompositeConstruct) N(OpCompositeExtract) N(OpCompositeInsert) N(OpCopyObject)
    N(OpSampledImage) N(OpImageSampleImplicitLod) N(OpImageSampleExplicitLod) N(OpImage)
    N(OpConvertFToU) N(OpConvertFToS) N(OpConvertSToF) N(OpConvertUToF) N(OpBitcast)
    N(OpSNegate) N(OpFNegate) N(OpIAdd) N(OpFAdd) N(OpISub) N(OpFSub) N(OpIMul) N(OpFMul)
    N(OpUDiv) N(OpSDiv) N(OpFDiv) N(OpUMod) N(OpSRem) N(OpSMod) N(OpFRem) N(OpFMod)
    N(OpVectorTimesScalar) N(OpMatrixTimesScalar) N(OpVectorTimesMatrix)
    N(OpMatrixTimesVector) N(OpDot) N(OpAny) N(OpAll) N(OpIsNan) N(OpIsInf)
    N(OpLogicalEqual) N(OpLogicalNotEqual) N(OpLogicalOr) N(OpLogicalAnd) N(OpLogicalNot)
    N(OpSelect) N(OpIEqual) N(OpINotEqual) N(OpUGreaterThan) N(OpSGreaterThan)
    N(OpUGreaterThanEqual) N(OpSGreaterThanEqual) N(OpULessThan) N(OpSLessThan)
    N(OpULessThanEqual) N(OpSLessThanEqual) N(OpFOrdEqual) N(OpFUnordEqual)
    N(OpFOrdNotEqual) N(OpFUnordNotEqual) N(OpFOrdLessThan) N(OpFUnordLessThan)
    N(OpFOrdGreaterThan) N(OpFUnordGreaterThan) N(OpFOrdLessThanEqual)
    N(OpFUnordLessThanEqual) N(OpFOrdGreaterThanEqual) N(OpFUnordGreaterThanEqual)
    N(OpShiftRightLogical) N(OpShiftRightArithmetic) N(OpShiftLeftLogical) N(OpBitwiseOr)
    N(OpBitwiseXor) N(OpBitwiseAnd) N(OpNot) N(OpDPdx) N(OpDPdy) N(OpFwidth) N(OpDPdxFine)
    N(OpDPdyFine) N(OpFwidthFine) N(OpDPdxCoarse) N(OpDPdyCoarse) N(OpFwidthCoarse)
    N(OpPhi) N(OpLoopMerge) N(OpSelectionMerge) N(OpLabel) N(OpBranch)
    N(OpBranchConditional) N(OpSwitch) N(OpKill) N(OpReturn) N(OpReturnValue)
    N(OpUnreachable)
#undef N
    default: return nullptr;
  }
}

const char* glslName(uint32_t e) {
  switch (e) {
#define N(x) case Glsl##x: return #x;
    N(Round) N(RoundEven) N(Trunc) N(FAbs) N(SAbs) N(FSign) N(SSign) N(Floor) N(Ceil) N(Fract)
    N(Radians) N(Degrees) N(Sin) N(Cos) N(Tan) N(Pow) N(Exp) N(Log) N(Exp2) N(Log2) N(Sqrt)
    N(InverseSqrt) N(FMin) N(UMin) N(SMin) N(FMax) N(UMax) N(SMax) N(FClamp) N(UClamp)
    N(SClamp) N(FMix) N(Step) N(SmoothStep) N(Fma) N(Length) N(Distance) N(Cross)
    N(Normalize) N(Reflect) N(NMin) N(NMax) N(NClamp)
#undef N
    default: return nullptr;
  }
}

}  // namespace spv
