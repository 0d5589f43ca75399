// Module collection: the SPIR-V types, constants, decorations, variables and
// the entry point's blocks, gathered before any code is emitted.
#include "TranslatorState.h"

#include <algorithm>

namespace dxbc {
namespace translate {

uint32_t Translator::comps(uint32_t type) const {
  const Type& t = typeAt(type);
  return t.op == spv::OpTypeVector ? t.count : 1;
}

Scalar Translator::scalarOf(uint32_t type, int depth) const {
  if (depth > 4) return Scalar::None;
  const Type& t = typeAt(type);
  if (t.op == spv::OpTypeVector) return scalarOf(t.elem, depth + 1);
  return t.scalar;
}

uint32_t Translator::typeSize(uint32_t type, int depth) const {
  // Types cannot nest deeply in a valid module; the limit stops cycles.
  if (depth > 16) return 0;
  const Type& t = typeAt(type);
  switch (t.op) {
    case spv::OpTypeBool: case spv::OpTypeInt: case spv::OpTypeFloat: return 4;
    case spv::OpTypeVector: return 4 * t.count;
    case spv::OpTypeMatrix: return 16 * t.count;
    case spv::OpTypeArray: {
      auto it = arrayStride_.find(type);
      uint32_t stride =
          it != arrayStride_.end() ? it->second : (typeSize(t.elem, depth + 1) + 15) / 16 * 16;
      return stride * t.count;
    }
    case spv::OpTypeStruct: {
      uint32_t size = 0;
      for (uint32_t m = 0; m < t.members.size(); ++m) {
        auto it = memberOffsets_.find({type, m});
        uint32_t off = it != memberOffsets_.end() ? it->second : size;
        uint32_t msize = typeSize(t.members[m], depth + 1);
        if (typeAt(t.members[m]).op == spv::OpTypeMatrix) {
          auto st = memberMatrixStride_.find({type, m});
          uint32_t stride = st != memberMatrixStride_.end() ? st->second : 16;
          const Type& mt = typeAt(t.members[m]);
          uint32_t lines = memberRowMajor_.count({type, m}) ? comps(mt.elem) : mt.count;
          msize = stride * lines;
        }
        size = std::max(size, off + msize);
      }
      return size;
    }
    default: return 0;
  }
}

bool Translator::collect() {
  types_.resize(bound_);
  int functions = 0;
  Block* current = nullptr;
  bool inEntry = false;
  for (uint32_t i = 0; i < ins_.size(); ++i) {
    const Instruction& ins = ins_[i];
    switch (ins.opcode) {
      case spv::OpCapability: {
        uint32_t cap = ins.word(1);
        // Shader (1), Matrix (0), DerivativeControl (51), ImageQuery (50)
        if (cap != 0 && cap != 1 && cap != 51 && cap != 50)
          fail("unsupported SPIR-V capability " + std::to_string(cap));
        break;
      }
      case spv::OpExtInstImport:
        if (spv::literalString(ins, 2) == "GLSL.std.450") glslImport_ = ins.word(1);
        else fail("unsupported extended instruction set '" + spv::literalString(ins, 2) + "'");
        break;
      case spv::OpEntryPoint: {
        if (entryFunction_) {
          fail("the module holds more than one entry point");
          break;
        }
        uint32_t model = ins.word(1);
        if (model == spv::ModelVertex) pixel_ = false;
        else if (model == spv::ModelFragment) pixel_ = true;
        else fail("only vertex and fragment entry points are supported");
        entryFunction_ = ins.word(2);
        std::string name = spv::literalString(ins, 3);
        size_t w = 3 + (name.size() + 4) / 4;
        for (; w < ins.count; ++w) interface_.push_back(ins.word(w));
        break;
      }
      case spv::OpName:
        names_[ins.word(1)] = spv::literalString(ins, 2);
        break;
      case spv::OpMemberName:
        memberNames_[{ins.word(1), ins.word(2)}] = spv::literalString(ins, 3);
        break;
      case spv::OpDecorate: {
        Decorations& d = decorations_[ins.word(1)];
        switch (ins.word(2)) {
          case spv::DecBuiltIn: d.builtin = int32_t(ins.word(3)); break;
          case spv::DecLocation: d.location = int32_t(ins.word(3)); break;
          case spv::DecBinding: d.binding = int32_t(ins.word(3)); break;
          case spv::DecFlat: d.flat = true; break;
          case spv::DecNoPerspective: d.noperspective = true; break;
          case spv::DecCentroid: d.centroid = true; break;
          case spv::DecArrayStride: arrayStride_[ins.word(1)] = ins.word(3); break;
          case spv::DecNoContraction: noContraction_.insert(ins.word(1)); break;
          default: break;
        }
        break;
      }
      case spv::OpDecorateString:
        if (ins.word(2) == spv::DecUserSemantic)
          decorations_[ins.word(1)].semantic = spv::literalString(ins, 3);
        break;
      case spv::OpMemberDecorate:
        if (ins.word(3) == spv::DecOffset) memberOffsets_[{ins.word(1), ins.word(2)}] = ins.word(4);
        if (ins.word(3) == spv::DecMatrixStride)
          memberMatrixStride_[{ins.word(1), ins.word(2)}] = ins.word(4);
        if (ins.word(3) == spv::DecRowMajor) memberRowMajor_.insert({ins.word(1), ins.word(2)});
        break;
      case spv::OpTypeVoid: case spv::OpTypeBool: case spv::OpTypeInt: case spv::OpTypeFloat:
      case spv::OpTypeVector: case spv::OpTypeMatrix: case spv::OpTypeImage:
      case spv::OpTypeSampler: case spv::OpTypeSampledImage: case spv::OpTypeArray:
      case spv::OpTypeRuntimeArray: case spv::OpTypeStruct: case spv::OpTypePointer:
      case spv::OpTypeFunction: {
        uint32_t id = ins.word(1);
        if (id >= types_.size()) {
          fail("type id %" + std::to_string(id) + " is outside the module's id bound");
          break;
        }
        Type& t = types_.at(id);
        t.op = ins.opcode;
        if (ins.opcode == spv::OpTypeBool) t.scalar = Scalar::Bool;
        if (ins.opcode == spv::OpTypeInt) {
          t.scalar = ins.word(3) ? Scalar::Int : Scalar::UInt;
          if (ins.word(2) != 32) fail("only 32-bit integers are supported");
        }
        if (ins.opcode == spv::OpTypeFloat) {
          t.scalar = Scalar::Float;
          if (ins.word(2) != 32) fail("only 32-bit floats are supported");
        }
        if (ins.opcode == spv::OpTypeVector || ins.opcode == spv::OpTypeMatrix) {
          t.elem = ins.word(2);
          t.count = ins.word(3);
          if (t.count < 2 || t.count > 4) {
            fail("vectors and matrices must have 2 to 4 components or columns");
            t.count = 2;
          }
        }
        if (ins.opcode == spv::OpTypeArray) {
          t.elem = ins.word(2);
          Value& len = val(ins.word(3));
          t.count = len.kind == Value::Const ? len.bits[0] : 0;
        }
        if (ins.opcode == spv::OpTypeStruct)
          for (uint32_t w = 2; w < ins.count; ++w) t.members.push_back(ins.word(w));
        if (ins.opcode == spv::OpTypePointer) {
          t.storage = ins.word(2);
          t.elem = ins.word(3);
        }
        if (ins.opcode == spv::OpTypeImage) {
          t.elem = ins.word(2);
          if (ins.word(3) != 1 || ins.word(5) != 0 || ins.word(6) != 0)
            fail("only non-array, single-sample 2D textures are supported");
        }
        break;
      }
      case spv::OpConstant: case spv::OpConstantTrue: case spv::OpConstantFalse: {
        uint32_t bits = ins.opcode == spv::OpConstant ? ins.word(3)
                        : ins.opcode == spv::OpConstantTrue ? 0xffffffffu : 0u;
        val(ins.word(2)) = constValue(ins.word(1), 1, &bits);
        break;
      }
      case spv::OpConstantNull: case spv::OpUndef: {
        uint32_t type = ins.word(1);
        const Type& t = typeAt(type);
        if (t.op == spv::OpTypeVector || t.scalar != Scalar::None) {
          uint32_t zero[4] = {0, 0, 0, 0};
          val(ins.word(2)) = constValue(type, uint8_t(comps(type)), zero);
        } else {
          unsupported(ins, "only scalar or vector null constants");
        }
        break;
      }
      case spv::OpConstantComposite: {
        uint32_t type = ins.word(1);
        if (typeAt(type).op == spv::OpTypeVector) {
          uint32_t bits[4] = {0, 0, 0, 0};
          uint32_t n = 0;
          for (uint32_t w = 3; w < ins.count && n < 4; ++w) bits[n++] = val(ins.word(w)).bits[0];
          val(ins.word(2)) = constValue(type, uint8_t(n), bits);
        } else {
          Value v;
          v.kind = Value::Composite;
          v.type = type;
          for (uint32_t w = 3; w < ins.count; ++w) v.parts.push_back(ins.word(w));
          val(ins.word(2)) = v;
        }
        break;
      }
      case 48: case 49: case 50: case 51: case 52:
        unsupported(ins, "specialisation constants");
        break;
      case spv::OpVariable: {
        Variable var;
        var.id = ins.word(2);
        var.storage = ins.word(3);
        var.type = typeAt(ins.word(1)).elem;
        var.initializer = ins.count > 4 ? ins.word(4) : 0;
        variables_[var.id] = var;
        Value& v = val(var.id);
        v.kind = Value::Pointer;
        v.type = ins.word(1);
        v.var = var.id;
        break;
      }
      case spv::OpFunction:
        ++functions;
        inEntry = ins.word(2) == entryFunction_;
        if (!inEntry) fail("function %" + std::to_string(ins.word(2)) +
                           " was not inlined (run spirv-opt with inlining)");
        break;
      case spv::OpFunctionParameter:
        unsupported(ins, "the entry point takes no parameters");
        break;
      case spv::OpFunctionEnd:
        current = nullptr;
        break;
      case spv::OpLabel: {
        Block b;
        b.label = ins.word(1);
        b.merge = ~0u;
        blockIndex_[b.label] = uint32_t(blocks_.size());
        blocks_.push_back(b);
        current = &blocks_.back();
        break;
      }
      default:
        if (!current) break;
        if (ins.opcode == spv::OpPhi) current->phis.push_back(i);
        else if (ins.opcode == spv::OpLoopMerge || ins.opcode == spv::OpSelectionMerge)
          current->merge = i;
        else if (ins.opcode == spv::OpBranch || ins.opcode == spv::OpBranchConditional ||
                 ins.opcode == spv::OpSwitch || ins.opcode == spv::OpReturn ||
                 ins.opcode == spv::OpReturnValue || ins.opcode == spv::OpKill ||
                 ins.opcode == spv::OpUnreachable)
          current->terminator = i;
        else if (ins.opcode != spv::OpLine && ins.opcode != 317 /*OpNoLine*/)
          current->body.push_back(i);
        break;
    }
  }
  if (!entryFunction_) fail("the module has no entry point");
  if (functions > 1) fail("the module holds more than one function (inline them first)");
  if (blocks_.empty()) fail("the entry point has no code");
  return !failed();
}

}  // namespace translate
}  // namespace dxbc
