#include <gtest/gtest.h>

#include <cstring>

#include "Disassembler.h"
#include "DxbcContainer.h"
#include "DxbcProgram.h"
#include "TestFiles.h"

namespace {

std::vector<uint32_t> programTokens(const std::vector<uint8_t>& container) {
  std::vector<dxbc::Chunk> chunks;
  std::string error;
  if (!dxbc::readContainer(container.data(), container.size(), chunks, error)) return {};
  for (const dxbc::Chunk& c : chunks) {
    if (c.fourcc == dxbc::fourCC('S', 'H', 'D', 'R') || c.fourcc == dxbc::fourCC('S', 'H', 'E', 'X')) {
      std::vector<uint32_t> t(c.data.size() / 4);
      memcpy(t.data(), c.data.data(), t.size() * 4);
      return t;
    }
  }
  return {};
}

// D3DCompile's programs decode and re-encode to the very same tokens, which
// checks the encoder against an independent writer of the format.
TEST(ProgramTokens, ReferenceProgramsRoundTrip) {
  for (const char* name : {"wine_ps_constant.dxbc", "wine_ps_uv.dxbc", "wine_vs_passthrough.dxbc",
                           "wine_ps_cbuffer.dxbc", "wine_ps_terms5.dxbc", "wine_ps_terms8.dxbc"}) {
    std::vector<uint32_t> tokens =
        programTokens(readTestFile(std::string(THAW_DXBC_VECTORS) + "/" + name));
    ASSERT_FALSE(tokens.empty()) << name;
    dxbc::Program program;
    std::string error;
    ASSERT_TRUE(dxbc::decodeProgram(tokens.data(), tokens.size(), program, error)) << name << error;
    EXPECT_EQ(dxbc::encodeProgram(program), tokens) << name;
  }
}

TEST(ProgramTokens, ReferenceProgramReadsAsExpected) {
  std::vector<uint8_t> bytes = readTestFile(std::string(THAW_DXBC_VECTORS) + "/wine_ps_cbuffer.dxbc");
  std::string text, error;
  ASSERT_TRUE(dxbc::disassemble(bytes.data(), bytes.size(), text, error)) << error;
  EXPECT_NE(text.find("checksum valid"), std::string::npos);
  EXPECT_NE(text.find("dcl_constantbuffer cb8[2], immediateIndexed"), std::string::npos) << text;
  EXPECT_NE(text.find("dcl_input_ps_siv linear v0, position"), std::string::npos) << text;
  EXPECT_NE(text.find("mov r1.x, cb8[1].xxxx"), std::string::npos) << text;
}

TEST(ProgramTokens, OperandEncodingByHand) {
  dxbc::Program p;
  p.pixel = true;
  dxbc::Instruction mov;
  mov.opcode = dxbc::OpMov;
  uint8_t yyyy[4] = {1, 1, 1, 1};
  dxbc::Operand src = dxbc::regSrc(dxbc::OperandConstantBuffer, 8, yyyy);
  src.indexCount = 2;
  src.index[1].value = 3;
  src.modifier = dxbc::ModNeg;
  mov.operands = {dxbc::tempDst(0, 1), src};
  p.code.push_back(mov);
  // icb[r2.z + 5].xyzw read into r1 with saturation.
  dxbc::Instruction load;
  load.opcode = dxbc::OpMov;
  load.controls = dxbc::kSaturateBit;
  uint8_t xyzw[4] = {0, 1, 2, 3};
  dxbc::Operand icb = dxbc::regSrc(dxbc::OperandImmediateConstantBuffer, 0, xyzw);
  icb.index[0].value = 5;
  icb.index[0].relative = true;
  icb.index[0].relReg = 2;
  icb.index[0].relComp = 2;
  load.operands = {dxbc::tempDst(1, 0xf), icb};
  p.code.push_back(load);
  std::vector<uint32_t> t = dxbc::encodeProgram(p);
  std::vector<uint32_t> expected = {
      0x00000050, 16,
      // mov r0.x, -cb8[3].yyyy: operand with an extended (negate) token, 2-D index
      0x07000036, 0x00100012, 0, 0x80208556, 0x41, 8, 3,
      // mov_sat r1, icb[r2.z + 5]: immediate-plus-relative index, r2.z as select-1
      0x07002036, 0x001000f2, 1, 0x00d09e46, 5, 0x0010002a, 2};
  EXPECT_EQ(t, expected);
  dxbc::Program back;
  std::string error;
  ASSERT_TRUE(dxbc::decodeProgram(t.data(), t.size(), back, error)) << error;
  EXPECT_EQ(dxbc::formatInstruction(back.code[0]), "mov r0.x, -cb8[3].yyyy");
  EXPECT_EQ(dxbc::formatInstruction(back.code[1]), "mov_sat r1, icb[r2.z + 5].xyzw");
}

TEST(ProgramTokens, MalformedTokensAreRejected) {
  dxbc::Program p;
  std::string error;
  uint32_t tooShort[] = {0x50};
  EXPECT_FALSE(dxbc::decodeProgram(tooShort, 1, p, error));
  uint32_t badLength[] = {0x50, 3, 0x0f000036};  // instruction claims 15 tokens
  EXPECT_FALSE(dxbc::decodeProgram(badLength, 3, p, error));
  uint32_t zeroLength[] = {0x50, 3, 0x00000036};
  EXPECT_FALSE(dxbc::decodeProgram(zeroLength, 3, p, error));
  uint32_t lengthMismatch[] = {0x50, 9, 0x0100003e};
  EXPECT_FALSE(dxbc::decodeProgram(lengthMismatch, 3, p, error));
  // An operand that announces more index tokens than the instruction holds.
  uint32_t truncatedOperand[] = {0x50, 4, 0x02000036, 0x00208e46};
  EXPECT_FALSE(dxbc::decodeProgram(truncatedOperand, 4, p, error));
  uint32_t badCustom[] = {0x50, 4, 0x00001835, 0x00100000};
  EXPECT_FALSE(dxbc::decodeProgram(badCustom, 4, p, error));
}

TEST(ProgramTokens, CorruptedContainersNeverCrashTheDisassembler) {
  std::vector<uint8_t> base = readTestFile(std::string(THAW_DXBC_VECTORS) + "/wine_ps_cbuffer.dxbc");
  ASSERT_FALSE(base.empty());
  uint32_t seed = 777;
  auto next = [&]() {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  int readable = 0;
  for (int round = 0; round < 5000; ++round) {
    std::vector<uint8_t> bytes = base;
    int edits = 1 + int(next() % 4);
    for (int e = 0; e < edits; ++e) bytes[32 + next() % (bytes.size() - 32)] = uint8_t(next());
    std::string text, error;
    if (dxbc::disassemble(bytes.data(), bytes.size(), text, error)) {
      ++readable;
      // The checksum no longer matches the edited bytes.
      if (bytes != base) { EXPECT_NE(text.find("checksum INVALID"), std::string::npos); }
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
  EXPECT_GT(readable, 0);
}

}  // namespace
