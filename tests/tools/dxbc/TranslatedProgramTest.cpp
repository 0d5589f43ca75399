// Structural checks of programs that the build translated from HLSL:
// declarations in order and covering every register the code touches, and
// the signatures that let the vertex and pixel programs link.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "Disassembler.h"
#include "DxbcContainer.h"
#include "Translator.h"
#include "TestFiles.h"

namespace {

const char* kPixelPrograms[] = {
    "arith_ps", "math_ps",      "vector_ps",     "round_ps",      "trig_ps", "explog_ps",
    "intops_ps", "select_ps",   "loop_ps",       "table_ps",      "localarray_ps",
    "saturate_ps", "intrinsics_ps", "deriv_ps",  "sample_ps",     "uv_ps",   "chain_ps", "flow_ps",
    "matrix_ps", "precise_ps", "precise_expanded_ps", "reflect_ps",
};

bool load(const std::string& name, dxbc::ContainerView& view, std::string& text) {
  // Pixel programs by plain name, others with their stage suffix.
  std::string file = name.find('.') == std::string::npos ? name + ".ps" : name;
  std::vector<uint8_t> bytes = readTestFile(std::string(THAW_DXBC_BLOBS) + "/" + file + ".dxbc");
  std::string error;
  if (bytes.empty() || !dxbc::readShader(bytes.data(), bytes.size(), view, error)) return false;
  return dxbc::disassemble(bytes.data(), bytes.size(), text, error);
}

// Rank of a declaration in the order programs list them; body instructions
// rank last.
int declarationRank(uint16_t op) {
  switch (op) {
    case dxbc::OpDclGlobalFlags: return 0;
    case dxbc::OpCustomData: return 1;
    case dxbc::OpDclConstantBuffer: return 2;
    case dxbc::OpDclSampler: return 3;
    case dxbc::OpDclResource: return 4;
    case dxbc::OpDclInput: case dxbc::OpDclInputSgv: case dxbc::OpDclInputPs:
    case dxbc::OpDclInputPsSiv: return 5;
    case dxbc::OpDclOutput: case dxbc::OpDclOutputSiv: return 6;
    case dxbc::OpDclTemps: return 7;
    case dxbc::OpDclIndexableTemp: return 8;
    default: return 9;
  }
}

uint8_t componentsRead(const dxbc::Operand& o, uint8_t destMask) {
  if (o.numComponents != 4) return 0;
  if (o.selection == dxbc::SelSelect1) return uint8_t(1u << o.swizzle[0]);
  if (o.selection == dxbc::SelMask) return o.mask;
  uint8_t m = 0;
  for (int c = 0; c < 4; ++c)
    if (destMask & (1u << c)) m |= uint8_t(1u << o.swizzle[c]);
  return m;
}

// Checks that every register used by the body is declared.
void checkDeclarationsCoverUses(const dxbc::Program& program, const std::string& name) {
  uint32_t temps = 0, cbRows = 0, icbRows = 0;
  bool hasCb = false;
  std::map<uint32_t, uint8_t> inputs, outputs;
  std::map<uint32_t, uint32_t> indexable;
  std::set<uint32_t> samplers, resources;
  int lastRank = -1;
  for (const dxbc::Instruction& ins : program.code) {
    int rank = declarationRank(ins.opcode);
    EXPECT_GE(rank, lastRank) << name << ": declaration out of order: "
                              << dxbc::formatInstruction(ins);
    lastRank = rank;
    switch (ins.opcode) {
      case dxbc::OpDclTemps: temps = ins.extra[0]; continue;
      case dxbc::OpDclConstantBuffer:
        hasCb = true;
        cbRows = ins.operands[0].index[1].value;
        EXPECT_EQ(ins.operands[0].index[0].value, 8u) << name;
        continue;
      case dxbc::OpCustomData: icbRows = uint32_t(ins.customData.size() / 4); continue;
      case dxbc::OpDclSampler: samplers.insert(ins.operands[0].index[0].value); continue;
      case dxbc::OpDclResource: resources.insert(ins.operands[0].index[0].value); continue;
      case dxbc::OpDclInput: case dxbc::OpDclInputSgv: case dxbc::OpDclInputPs:
      case dxbc::OpDclInputPsSiv:
        inputs[ins.operands[0].index[0].value] |= ins.operands[0].mask;
        continue;
      case dxbc::OpDclOutput: case dxbc::OpDclOutputSiv:
        outputs[ins.operands[0].index[0].value] |= ins.operands[0].mask;
        continue;
      case dxbc::OpDclIndexableTemp: indexable[ins.extra[0]] = ins.extra[1]; continue;
      case dxbc::OpDclGlobalFlags: continue;
      default: break;
    }
    std::string where = name + ": " + dxbc::formatInstruction(ins);
    uint8_t destMask = 0xf;
    for (size_t i = 0; i < ins.operands.size(); ++i) {
      const dxbc::Operand& o = ins.operands[i];
      if (i == 0 && o.selection == dxbc::SelMask) destMask = o.mask;
      for (int k = 0; k < o.indexCount; ++k)
        if (o.index[k].relative) { EXPECT_LT(o.index[k].relReg, temps) << where; }
      switch (o.type) {
        case dxbc::OperandTemp: EXPECT_LT(o.index[0].value, temps) << where; break;
        case dxbc::OperandInput: {
          auto it = inputs.find(o.index[0].value);
          ASSERT_NE(it, inputs.end()) << where;
          uint8_t read = componentsRead(o, destMask);
          if (ins.opcode == dxbc::OpDp2) read = componentsRead(o, 0x3);
          if (ins.opcode == dxbc::OpDp3) read = componentsRead(o, 0x7);
          if (ins.opcode == dxbc::OpSample || ins.opcode == dxbc::OpSampleL)
            read = componentsRead(o, 0x3);
          EXPECT_EQ(read & ~it->second, 0) << where;
          break;
        }
        case dxbc::OperandOutput: {
          auto it = outputs.find(o.index[0].value);
          ASSERT_NE(it, outputs.end()) << where;
          EXPECT_EQ(o.mask & ~it->second, 0) << where;
          break;
        }
        case dxbc::OperandConstantBuffer:
          EXPECT_TRUE(hasCb) << where;
          if (!o.index[1].relative) { EXPECT_LT(o.index[1].value, cbRows) << where; }
          break;
        case dxbc::OperandImmediateConstantBuffer:
          EXPECT_LT(o.index[0].value, icbRows) << where;
          break;
        case dxbc::OperandIndexableTemp: {
          auto it = indexable.find(o.index[0].value);
          ASSERT_NE(it, indexable.end()) << where;
          if (!o.index[1].relative) { EXPECT_LT(o.index[1].value, it->second) << where; }
          break;
        }
        case dxbc::OperandSampler: EXPECT_TRUE(samplers.count(o.index[0].value)) << where; break;
        case dxbc::OperandResource: EXPECT_TRUE(resources.count(o.index[0].value)) << where; break;
        default: break;
      }
    }
  }
  EXPECT_EQ(program.code.back().opcode, dxbc::OpRet) << name;
}

void expectElement(const dxbc::SignatureElement& e, const char* name, uint32_t reg, uint8_t mask,
                   uint32_t sv) {
  EXPECT_EQ(e.name, name);
  EXPECT_EQ(e.reg, reg) << name;
  EXPECT_EQ(e.mask, mask) << name;
  EXPECT_EQ(e.systemValue, sv) << name;
  EXPECT_EQ(e.componentType, 3u) << name;
}

TEST(TranslatedPrograms, ChecksumChunksAndDeclarations) {
  for (const char* name : kPixelPrograms) {
    SCOPED_TRACE(name);
    dxbc::ContainerView view;
    std::string text;
    ASSERT_TRUE(load(name, view, text));
    EXPECT_TRUE(view.checksumValid);
    EXPECT_EQ(view.chunkNames, (std::vector<std::string>{"RDEF", "ISGN", "OSGN", "SHEX", "STAT"}));
    ASSERT_TRUE(view.hasProgram);
    EXPECT_TRUE(view.program.pixel);
    checkDeclarationsCoverUses(view.program, name);
  }
}

TEST(TranslatedPrograms, VertexOutputLinksWithPixelInput) {
  dxbc::ContainerView vs, ps;
  std::string text;
  ASSERT_TRUE(load("screen_vs.vs", vs, text)) << "screen_vs";
  checkDeclarationsCoverUses(vs.program, "screen_vs");
  EXPECT_FALSE(vs.program.pixel);
  ASSERT_EQ(vs.inputs.size(), 1u);
  EXPECT_EQ(vs.inputs[0].name, "SV_VertexID0");
  EXPECT_EQ(vs.inputs[0].systemValue, dxbc::SvVertexId);
  EXPECT_EQ(vs.inputs[0].componentType, 1u);
  EXPECT_NE(text.find("dcl_input_sgv v0.x, vertex_id"), std::string::npos) << text;
  EXPECT_NE(text.find("dcl_output_siv o0, position"), std::string::npos) << text;
  ASSERT_EQ(vs.outputs.size(), 2u);
  expectElement(vs.outputs[0], "SV_Position0", 0, 0xf, dxbc::SvPosition);
  expectElement(vs.outputs[1], "TEXCOORD0", 1, 0x3, 0);
  EXPECT_EQ(vs.outputs[0].used, 0) << "every component of the position is written";

  for (const char* name : kPixelPrograms) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(load(name, ps, text));
    ASSERT_EQ(ps.inputs.size(), 2u);
    expectElement(ps.inputs[0], "SV_Position0", 0, 0xf, dxbc::SvPosition);
    expectElement(ps.inputs[1], "TEXCOORD0", 1, 0x3, 0);
    ASSERT_EQ(ps.outputs.size(), 1u);
    expectElement(ps.outputs[0], "SV_Target0", 0, 0xf, 0);
  }
  ASSERT_TRUE(load("uv_ps", ps, text));
  EXPECT_NE(text.find("dcl_input_ps_siv linear noperspective v0"), std::string::npos) << text;
  EXPECT_NE(text.find(", position\n"), std::string::npos) << text;
}

TEST(TranslatedPrograms, SaturateBecomesTheModifier) {
  dxbc::ContainerView view;
  std::string text;
  ASSERT_TRUE(load("saturate_ps", view, text));
  int saturated = 0;
  for (const dxbc::Instruction& ins : view.program.code) {
    if (ins.controls & dxbc::kSaturateBit) ++saturated;
    EXPECT_NE(ins.opcode, dxbc::OpMin) << "clamp(x, 0, 1) must not become min/max: " << text;
    EXPECT_NE(ins.opcode, dxbc::OpMax) << text;
  }
  EXPECT_EQ(saturated, 4) << text;
}

TEST(TranslatedPrograms, ExpAndPowLowerToBaseTwo) {
  dxbc::ContainerView view;
  std::string text;
  ASSERT_TRUE(load("explog_ps", view, text));
  const uint32_t log2e = 0x3fb8aa3b;  // 1.442695f
  bool scaledExp = false;
  int logs = 0, exps = 0;
  const auto& code = view.program.code;
  for (size_t i = 0; i < code.size(); ++i) {
    if (code[i].opcode == dxbc::OpLog) ++logs;
    if (code[i].opcode == dxbc::OpExp) ++exps;
    if (code[i].opcode == dxbc::OpMul)
      for (const dxbc::Operand& o : code[i].operands)
        if (o.type == dxbc::OperandImmediate32 && o.imm[0] == log2e) scaledExp = true;
  }
  EXPECT_TRUE(scaledExp) << text;
  EXPECT_EQ(exps, 3) << text;  // exp2, exp, pow
  EXPECT_EQ(logs, 3) << text;  // log2, log, pow
}

TEST(TranslatedPrograms, RegistersAreReused) {
  dxbc::ContainerView view;
  std::string text;
  ASSERT_TRUE(load("chain_ps", view, text));
  uint32_t temps = 0, body = 0;
  for (const dxbc::Instruction& ins : view.program.code) {
    if (ins.opcode == dxbc::OpDclTemps) temps = ins.extra[0];
    if (declarationRank(ins.opcode) == 9) ++body;
  }
  EXPECT_GE(body, 15u) << text;
  // Sixteen values, at most four alive at once (plus the output's assembly).
  EXPECT_LE(temps, 5u) << text;
}

TEST(TranslatedPrograms, ConstantArraysUseTheImmediateConstantBuffer) {
  dxbc::ContainerView view;
  std::string text;
  ASSERT_TRUE(load("table_ps", view, text));
  EXPECT_NE(text.find("dcl_immediateConstantBuffer"), std::string::npos) << text;
  EXPECT_NE(text.find("icb[r"), std::string::npos) << text;
  ASSERT_TRUE(load("localarray_ps", view, text));
  EXPECT_NE(text.find("dcl_indexableTemp x0[6], 4"), std::string::npos) << text;
}

// Legal DXBC, but vkd3d-shader 1.2 turns a loop whose body ends in an
// unconditional break into invalid SPIR-V; the run-once loop that wraps an
// early return (flow_ps) is where the translator used to write one.
TEST(TranslatedPrograms, NoLoopEndsInAnUnconditionalBreak) {
  for (const char* name : kPixelPrograms) {
    SCOPED_TRACE(name);
    dxbc::ContainerView view;
    std::string text;
    ASSERT_TRUE(load(name, view, text));
    const auto& code = view.program.code;
    for (size_t i = 0; i + 1 < code.size(); ++i)
      EXPECT_FALSE(code[i].opcode == dxbc::OpBreak && code[i + 1].opcode == dxbc::OpEndloop)
          << "break right before endloop at instruction " << i << ":\n" << text;
  }
  dxbc::ContainerView view;
  std::string text;
  ASSERT_TRUE(load("flow_ps", view, text));
  int exitsAtTheEnd = 0;
  const auto& code = view.program.code;
  for (size_t i = 0; i + 1 < code.size(); ++i)
    if (code[i].opcode == dxbc::OpBreakc && code[i + 1].opcode == dxbc::OpEndloop &&
        (code[i].controls & dxbc::kTestNonZeroBit))
      ++exitsAtTheEnd;
  EXPECT_EQ(exitsAtTheEnd, 1) << text;
}

bool refactoringAllowed(const dxbc::Program& program) {
  for (const dxbc::Instruction& ins : program.code)
    if (ins.opcode == dxbc::OpDclGlobalFlags && (ins.controls & dxbc::kRefactoringAllowedBit))
      return true;
  return false;
}

uint8_t preciseMask(const dxbc::Instruction& ins) {
  return uint8_t((ins.controls & dxbc::kPreciseMask) >> dxbc::kPreciseShift);
}

// HLSL `precise` arrives as NoContraction on the SPIR-V results that compute
// the value; those instructions, and only those, carry the precise mask, and
// the program as a whole may no longer be refactored.
TEST(TranslatedPrograms, PreciseArithmeticIsMarkedPerComponent) {
  dxbc::ContainerView view;
  std::string text;
  ASSERT_TRUE(load("precise_ps", view, text));
  EXPECT_FALSE(refactoringAllowed(view.program)) << text;
  std::vector<std::pair<uint16_t, uint8_t>> precise;  // opcode, mask
  for (const dxbc::Instruction& ins : view.program.code) {
    if (!preciseMask(ins)) continue;
    ASSERT_FALSE(ins.operands.empty());
    EXPECT_EQ(preciseMask(ins), ins.operands[0].mask)
        << "the mask names the written components: " << dxbc::formatInstruction(ins);
    precise.push_back({ins.opcode, ins.operands[0].mask});
    for (const dxbc::Operand& o : ins.operands)
      EXPECT_NE(o.type, dxbc::OperandConstantBuffer)
          << "the ordinary value is not precise: " << dxbc::formatInstruction(ins);
  }
  // cell = floor(uv * 900) / 900 on two lanes, half = cell.x * 900 / 2 on one;
  // floor is exact and is not marked.
  std::vector<std::pair<uint16_t, uint8_t>> expected = {
      {dxbc::OpMul, 0x3}, {dxbc::OpDiv, 0x3}, {dxbc::OpMul, 0x1}, {dxbc::OpDiv, 0x1}};
  ASSERT_EQ(precise.size(), expected.size()) << text;
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(precise[i].first, expected[i].first) << text;
    EXPECT_EQ(__builtin_popcount(precise[i].second), __builtin_popcount(expected[i].second))
        << text;
  }
  EXPECT_NE(text.find("div [precise(xy)]"), std::string::npos) << text;

  // Programs without precise values keep the global permission.
  ASSERT_TRUE(load("chain_ps", view, text));
  EXPECT_TRUE(refactoringAllowed(view.program)) << text;
  for (const dxbc::Instruction& ins : view.program.code) EXPECT_EQ(preciseMask(ins), 0) << text;
}

// An operation that takes several instructions: every one of them computes
// the precise value and carries the mask, not only the one writing it last.
TEST(TranslatedPrograms, PreciseMarksEveryInstructionOfAnExpandedOperation) {
  dxbc::ContainerView view;
  std::string text;
  ASSERT_TRUE(load("precise_expanded_ps", view, text));
  EXPECT_FALSE(refactoringAllowed(view.program)) << text;
  // wrapped = uv % p0.zw on two lanes: div, round_ni, mad; the ordinary
  // uv.y * p0.x + p0.y is not marked.
  std::vector<uint16_t> precise;
  for (const dxbc::Instruction& ins : view.program.code) {
    if (!preciseMask(ins)) continue;
    EXPECT_EQ(preciseMask(ins), ins.operands[0].mask) << dxbc::formatInstruction(ins);
    EXPECT_EQ(__builtin_popcount(preciseMask(ins)), 2) << dxbc::formatInstruction(ins);
    precise.push_back(ins.opcode);
  }
  EXPECT_EQ(precise, (std::vector<uint16_t>{dxbc::OpDiv, dxbc::OpRoundNi, dxbc::OpMad})) << text;
}

std::vector<uint32_t> spirv(const std::string& name) {
  std::vector<uint8_t> bytes = readTestFile(std::string(THAW_DXBC_REJECTED) + "/" + name);
  std::vector<uint32_t> words(bytes.size() / 4);
  if (!words.empty()) memcpy(words.data(), bytes.data(), words.size() * 4);
  return words;
}

TEST(TranslatorErrors, UnsupportedInstructionsAreNamed) {
  std::vector<uint8_t> out;
  std::string error;
  std::vector<uint32_t> kill = spirv("discard_ps.spv");
  ASSERT_FALSE(kill.empty());
  EXPECT_FALSE(dxbc::translateSpirv(kill.data(), kill.size(), "discard_ps.hlsl", out, error));
  EXPECT_NE(error.find("discard_ps.hlsl"), std::string::npos) << error;
  EXPECT_NE(error.find("OpKill"), std::string::npos) << error;

  std::vector<uint32_t> atan = spirv("atan_ps.spv");
  ASSERT_FALSE(atan.empty());
  EXPECT_FALSE(dxbc::translateSpirv(atan.data(), atan.size(), "atan_ps.hlsl", out, error));
  EXPECT_NE(error.find("atan_ps.hlsl"), std::string::npos) << error;
  EXPECT_NE(error.find("OpExtInst"), std::string::npos) << error;
}

TEST(TranslatorErrors, DamagedModulesAreRejected) {
  std::vector<uint32_t> good = spirv("atan_ps.spv");
  ASSERT_GT(good.size(), 20u);
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(dxbc::translateSpirv(good.data(), 3, "x", out, error));
  std::vector<uint32_t> badMagic = good;
  badMagic[0] = 0;
  EXPECT_FALSE(dxbc::translateSpirv(badMagic.data(), badMagic.size(), "x", out, error));
  // Cut in the middle of an instruction.
  EXPECT_FALSE(dxbc::translateSpirv(good.data(), good.size() - 1, "x", out, error));
  // Every truncation either translates or fails cleanly.
  for (size_t n = 5; n < good.size(); n += 7) dxbc::translateSpirv(good.data(), n, "x", out, error);
}

TEST(TranslatorErrors, StoreOfUndefinedHighIdIsRejected) {
  // A store whose object is an id never defined, near a raised id bound: the
  // value table must not move under the store while it is being translated.
  std::vector<uint32_t> words = spirv("../shaders/loop_ps.ps.spv");
  ASSERT_GT(words.size(), 50u);
  const uint32_t bound = 1u << 16;
  words[3] = bound;
  size_t store = 0;
  for (size_t i = 5; i < words.size() && (words[i] >> 16) != 0; i += words[i] >> 16)
    if ((words[i] & 0xffff) == 62 /* OpStore */) {
      store = i;
      break;
    }
  ASSERT_NE(store, 0u) << "the program has no store to damage";
  words[store + 2] = bound - 1;
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(dxbc::translateSpirv(words.data(), words.size(), "store", out, error));
  EXPECT_FALSE(error.empty());
}

TEST(TranslatorErrors, CorruptedModulesNeverCrash) {
  // Valid programs with words overwritten: each run must end with a result or
  // an error (the sanitizer build checks the memory accesses).
  std::vector<uint32_t> base = spirv("../shaders/loop_ps.ps.spv");
  if (base.empty()) base = spirv("atan_ps.spv");
  ASSERT_GT(base.size(), 50u);
  uint32_t seed = 12345;
  auto next = [&]() {
    seed = seed * 1664525u + 1013904223u;
    return seed;
  };
  int rejected = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint32_t> words = base;
    int edits = 1 + int(next() % 3);
    for (int e = 0; e < edits; ++e) {
      size_t at = 5 + next() % (words.size() - 5);
      switch (next() % 4) {
        case 0: words[at] = next(); break;
        case 1: words[at] ^= 1u << (next() % 32); break;
        case 2: words[at] = next() % 64; break;
        default: words[at] = (words[at] & 0xffff) | ((next() % 8) << 16); break;
      }
    }
    std::vector<uint8_t> out;
    std::string error;
    if (!dxbc::translateSpirv(words.data(), words.size(), "fuzz", out, error)) {
      ++rejected;
      EXPECT_FALSE(error.empty());
    }
  }
  EXPECT_GT(rejected, 0);
}

}  // namespace
