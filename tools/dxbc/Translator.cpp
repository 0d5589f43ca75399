#include "Translator.h"

#include "DxbcProgram.h"
#include "RegisterAllocator.h"
#include "ShaderChunks.h"
#include "Spirv.h"
#include "TranslatorState.h"

// The whole translation, stage by stage: parse, collect the module, lay out
// the signatures and local arrays, emit the code along the structured control
// flow, then clean it up, allocate registers and write the container.
namespace dxbc {
namespace translate {

bool Translator::run(const uint32_t* words, size_t count, std::vector<uint8_t>& container,
                     std::string& error) {
  std::string parseError;
  if (!spv::parseModule(words, count, ins_, parseError)) {
    error = source_ + ": " + parseError;
    return false;
  }
  bound_ = words[3];
  if (bound_ > (1u << 22)) {
    error = source_ + ": SPIR-V id bound " + std::to_string(bound_) + " is implausibly large";
    return false;
  }
  // References to values are held while further values are defined; with
  // room for every id up front, growing the table never moves them.
  values_.reserve(bound_);
  if (!collect()) {
    error = error_;
    return false;
  }
  buildSignatures();
  placeArrays();

  // Phi registers.
  for (const Block& b : blocks_) {
    for (uint32_t i : b.phis) {
      const Instruction& phi = ins_[i];
      val(phi.word(2)) = tempValue(newTemp(), uint8_t(comps(phi.word(1))), phi.word(1));
    }
  }
  if (!failed()) emitChain(0, ~0u);
  if (failed()) {
    error = error_;
    return false;
  }
  if (body_.empty() || body_.back().opcode != OpRet) emitOp(OpRet, {});

  foldImmediateModifiers(body_);
  foldSaturate(body_, vregs_);
  forwardOutputs(body_, vregs_);
  coalesceLanes(body_, vregs_);
  uint32_t temps = allocateTemps(body_, vregs_);
  hasPrecise_ = settlePreciseMasks(body_);
  recordInterfaceUse();

  Program program;
  program.pixel = pixel_;
  buildDeclarations(program.code, temps);
  uint32_t declCount = uint32_t(program.code.size());
  program.code.insert(program.code.end(), body_.begin(), body_.end());
  std::vector<uint32_t> tokens = encodeProgram(program);

  ShaderInfo info;
  info.pixel = pixel_;
  info.inputs = inputs_;
  info.outputs = outputs_;
  info.constantBufferSlot = cbSlot_;
  info.constantBufferName = cbName_.empty() ? "ContextBuffer" : cbName_;
  info.constantBufferSize = cbRows_ * 16;
  info.constantBufferVariables = describeConstantBuffer();
  info.textures.assign(textures_.begin(), textures_.end());
  info.samplers.assign(samplers_.begin(), samplers_.end());
  info.instructionCount = uint32_t(body_.size());
  info.tempCount = temps;
  info.declarationCount = declCount;
  info.body = body_;
  info.icbRows = uint32_t(icb_.size() / 4);
  info.indexableTemps = indexableCount_;
  container = buildContainer(info, tokens);
  return true;
}

}  // namespace translate

bool translateSpirv(const uint32_t* words, size_t count, const std::string& sourceName,
                    std::vector<uint8_t>& container, std::string& error) {
  translate::Translator t(sourceName);
  return t.run(words, count, container, error);
}

}  // namespace dxbc
