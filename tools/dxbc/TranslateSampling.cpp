// Sampling: sample and sample_l from a combined texture and sampler.
#include "TranslatorState.h"

namespace dxbc {
namespace translate {

void Translator::translateSample(const Instruction& ins) {
  const Value& si = operand(ins.word(3));
  if (si.kind != Value::SampledImage) {
    unsupported(ins, "sampling needs a combined texture and sampler");
    return;
  }
  Value coord = operand(ins.word(4));
  uint32_t mask = ins.count > 5 ? ins.word(5) : 0;
  uint32_t r = newTemp();
  define(ins, r);
  uint8_t id4[4] = {0, 1, 2, 3};
  Operand res = regSrc(OperandResource, si.slot, id4);
  Operand smp = slotOperand(OperandSampler, si.slot2);
  if (coord.kind == Value::Reg && coord.mod != ModNone) {
    uint32_t t = newTemp();
    emitOp(OpMov, {dst(t, 2), src(coord, 2)});
    coord = tempValue(t, 2, coord.type);
  }
  Operand c = src(coord, 2);
  if (ins.opcode == spv::OpImageSampleImplicitLod) {
    if (!pixel_) {
      unsupported(ins, "implicit-level sampling outside a pixel program");
      return;
    }
    if (mask) {
      unsupported(ins, "sampling with bias, gradients or offsets");
      return;
    }
    emitOp(OpSample, {dst(r, 4), c, res, smp});
  } else {
    if (mask != spv::ImageLod) {
      unsupported(ins, "explicit-level sampling supports only a level operand");
      return;
    }
    Value lod = operand(ins.word(6));
    emitOp(OpSampleL, {dst(r, 4), c, res, smp, scalarSrc(lod)});
  }
}

}  // namespace translate
}  // namespace dxbc
