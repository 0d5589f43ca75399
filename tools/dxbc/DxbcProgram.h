#pragma once
// Shader model 5.0 tokenized program: opcodes, operand types, and a small
// in-memory instruction form that the translator builds and the encoder turns
// into tokens. The decoder reads tokens back into the same form.
#include <cstdint>
#include <string>
#include <vector>

namespace dxbc {

enum Opcode : uint16_t {
  OpAdd = 0, OpAnd = 1, OpBreak = 2, OpBreakc = 3, OpContinue = 7, OpContinuec = 8,
  OpDerivRtx = 11, OpDerivRty = 12, OpDiscard = 13, OpDiv = 14, OpDp2 = 15, OpDp3 = 16,
  OpDp4 = 17, OpElse = 18, OpEndif = 21, OpEndloop = 22, OpEq = 24, OpExp = 25, OpFrc = 26,
  OpFtoi = 27, OpFtou = 28, OpGe = 29, OpIadd = 30, OpIf = 31, OpIeq = 32, OpIge = 33,
  OpIlt = 34, OpImad = 35, OpImax = 36, OpImin = 37, OpImul = 38, OpIne = 39, OpIneg = 40,
  OpIshl = 41, OpIshr = 42, OpItof = 43, OpLd = 45, OpLog = 47, OpLoop = 48, OpLt = 49,
  OpMad = 50, OpMin = 51, OpMax = 52, OpCustomData = 53, OpMov = 54, OpMovc = 55, OpMul = 56,
  OpNe = 57, OpNop = 58, OpNot = 59, OpOr = 60, OpResinfo = 61, OpRet = 62, OpRetc = 63,
  OpRoundNe = 64, OpRoundNi = 65, OpRoundPi = 66, OpRoundZ = 67, OpRsq = 68, OpSample = 69,
  OpSampleC = 70, OpSampleCLz = 71, OpSampleL = 72, OpSampleD = 73, OpSampleB = 74,
  OpSqrt = 75, OpSincos = 77, OpUdiv = 78, OpUlt = 79, OpUge = 80, OpUmul = 81, OpUmad = 82,
  OpUmax = 83, OpUmin = 84, OpUshr = 85, OpUtof = 86, OpXor = 87, OpDclResource = 88,
  OpDclConstantBuffer = 89, OpDclSampler = 90, OpDclInput = 95, OpDclInputSgv = 96,
  OpDclInputSiv = 97, OpDclInputPs = 98, OpDclInputPsSgv = 99, OpDclInputPsSiv = 100,
  OpDclOutput = 101, OpDclOutputSgv = 102, OpDclOutputSiv = 103, OpDclTemps = 104,
  OpDclIndexableTemp = 105, OpDclGlobalFlags = 106, OpDerivRtxCoarse = 122,
  OpDerivRtxFine = 123, OpDerivRtyCoarse = 124, OpDerivRtyFine = 125,
};

enum OperandType : uint8_t {
  OperandTemp = 0, OperandInput = 1, OperandOutput = 2, OperandIndexableTemp = 3,
  OperandImmediate32 = 4, OperandSampler = 6, OperandResource = 7,
  OperandConstantBuffer = 8, OperandImmediateConstantBuffer = 9, OperandNull = 13,
};

enum SelectionMode : uint8_t { SelMask = 0, SelSwizzle = 1, SelSelect1 = 2 };
enum OperandModifier : uint8_t { ModNone = 0, ModNeg = 1, ModAbs = 2, ModAbsNeg = 3 };

// System value names used in declarations and signatures.
enum SystemValue : uint32_t { SvUndefined = 0, SvPosition = 1, SvVertexId = 6, SvTarget = 64 };
enum Interpolation : uint32_t {
  InterpConstant = 1, InterpLinear = 2, InterpLinearCentroid = 3, InterpLinearNoPerspective = 4,
};

struct Index {
  uint32_t value = 0;  // immediate part
  bool relative = false;
  // Relative part: a temp register component (rN.c).
  uint32_t relReg = 0;
  uint8_t relComp = 0;
};

struct Operand {
  OperandType type = OperandTemp;
  uint8_t numComponents = 4;  // 0, 1 or 4
  SelectionMode selection = SelMask;
  uint8_t mask = 0xf;                 // SelMask
  uint8_t swizzle[4] = {0, 1, 2, 3};  // SelSwizzle; swizzle[0] for SelSelect1
  OperandModifier modifier = ModNone;
  uint8_t indexCount = 1;
  Index index[3];
  uint32_t imm[4] = {0, 0, 0, 0};  // immediates (1 or 4 values)
};

struct Instruction {
  uint16_t opcode = OpNop;
  uint32_t controls = 0;  // bits 11..23 of the opcode token (saturate, test, ...)
  std::vector<Operand> operands;
  std::vector<uint32_t> extra;  // trailing non-operand tokens of declarations
  // Whole raw body for custom data (the immediate constant buffer).
  std::vector<uint32_t> customData;
};

constexpr uint32_t kSaturateBit = 1u << 13;
constexpr uint32_t kTestNonZeroBit = 1u << 18;
// Which destination components must be computed exactly as written (HLSL
// `precise`): bits 19..22, one per component as in the write mask.
constexpr uint32_t kPreciseShift = 19;
constexpr uint32_t kPreciseMask = 0xfu << kPreciseShift;
// dcl_globalFlags: the driver may reorder and fuse arithmetic.
constexpr uint32_t kRefactoringAllowedBit = 1u << 11;

// Operand constructors.
Operand tempDst(uint32_t reg, uint8_t mask);
Operand regSrc(OperandType type, uint32_t reg, const uint8_t swz[4]);
Operand select1(OperandType type, uint32_t reg, uint8_t comp);
Operand immScalar(uint32_t bits);
Operand immVector(const uint32_t bits[4]);
Operand nullDst();

struct Program {
  bool pixel = true;
  std::vector<Instruction> code;  // declarations first, then the body
};

std::vector<uint32_t> encodeProgram(const Program& program);
// Decodes a token stream; false (with a message) on malformed input.
bool decodeProgram(const uint32_t* tokens, size_t count, Program& program, std::string& error);

const char* opcodeName(uint16_t opcode);
std::string formatInstruction(const Instruction& ins);

}  // namespace dxbc
