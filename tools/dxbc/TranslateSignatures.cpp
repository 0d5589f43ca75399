// Signatures: the entry point's inputs and outputs as signature elements and
// registers, and which of their components the final code uses.
#include "TranslatorState.h"

#include <algorithm>

namespace dxbc {
namespace translate {
namespace {

// A system value, always at register 0.
void setSystemValue(SignatureElement& e, const char* name, SystemValue value) {
  e.name = name;
  e.systemValue = value;
  e.reg = 0;
}

// A user varying is named by its semantic, or TEXCOORD<location> without one.
std::string varyingName(const Decorations& d) {
  return d.semantic.empty() ? "TEXCOORD" + std::to_string(d.location) : d.semantic;
}


}  // namespace

// Interface registers: position first, then the user varyings by location.
void Translator::buildSignatures() {
  for (uint32_t id : interface_) {
    auto it = variables_.find(id);
    if (it == variables_.end()) continue;
    const Variable& var = it->second;
    const Decorations& d = dec(id);
    SignatureElement e;
    uint32_t t = var.type;
    uint8_t n = uint8_t(comps(t));
    Scalar sc = scalarOf(t);
    e.componentType = sc == Scalar::Float ? 3 : sc == Scalar::Int ? 2 : 1;
    e.mask = uint8_t((1u << n) - 1);
    if (var.storage == spv::StorageInput) {
      if (d.builtin == spv::BuiltInVertexIndex || d.builtin == spv::BuiltInVertexId) {
        setSystemValue(e, "SV_VertexID", SvVertexId);
        e.componentType = 1;
      } else if (d.builtin == spv::BuiltInFragCoord) {
        setSystemValue(e, "SV_Position", SvPosition);
      } else if (d.builtin >= 0) {
        fail("unsupported input built-in " + std::to_string(d.builtin));
        break;
      } else {
        if (d.location < 0) {
          fail("input without a location");
          break;
        }
        e.reg = uint32_t(d.location) + (pixel_ ? 1 : 0);
        e.interpolation = d.flat || sc != Scalar::Float ? InterpConstant
                          : d.noperspective ? InterpLinearNoPerspective : InterpLinear;
        e.name = varyingName(d);
      }
      inputRegOfVar_[id] = e.reg;
      inputs_.push_back(e);
    } else if (var.storage == spv::StorageOutput) {
      if (d.builtin == spv::BuiltInPosition) {
        setSystemValue(e, "SV_Position", SvPosition);
      } else if (d.builtin >= 0) {
        fail("unsupported output built-in " + std::to_string(d.builtin));
        break;
      } else {
        if (d.location < 0) {
          fail("output without a location");
          break;
        }
        e.reg = uint32_t(d.location) + (pixel_ ? 0 : 1);
        if (pixel_) {
          e.name = "SV_Target" + std::to_string(d.location);
          e.systemValue = SvTarget;
        } else {
          e.name = varyingName(d);
        }
      }
      outputRegOfVar_[id] = e.reg;
      outputs_.push_back(e);
    }
  }
  // The pixel program always lists the position at register 0 so that its
  // input signature lines up with the vertex program's output.
  if (pixel_) {
    bool hasPosition = false;
    for (auto& e : inputs_) hasPosition |= e.systemValue == SvPosition;
    if (!hasPosition) {
      SignatureElement e;
      setSystemValue(e, "SV_Position", SvPosition);
      e.mask = 0xf;
      e.componentType = 3;
      inputs_.push_back(e);
    }
  }
  auto byReg = [](const SignatureElement& a, const SignatureElement& b) { return a.reg < b.reg; };
  std::sort(inputs_.begin(), inputs_.end(), byReg);
  std::sort(outputs_.begin(), outputs_.end(), byReg);
}

// Which signature components the final code reads and writes.
void Translator::recordInterfaceUse() {
  // Input components read, from the final code (every swizzle slot names a
  // component the instruction reads).
  std::map<uint32_t, uint8_t> inputUsed;  // register -> components read
  for (const dxbc::Instruction& ins : body_) {
    for (const Operand& o : ins.operands) {
      if (o.type != OperandInput) continue;
      uint8_t m = o.selection == SelMask     ? o.mask
                  : o.selection == SelSelect1 ? uint8_t(1u << o.swizzle[0])
                                              : uint8_t(1u << o.swizzle[0] | 1u << o.swizzle[1] |
                                                        1u << o.swizzle[2] | 1u << o.swizzle[3]);
      inputUsed[o.index[0].value] |= m;
    }
  }
  for (auto& e : inputs_) {
    auto it = inputUsed.find(e.reg);
    e.used = it == inputUsed.end() ? 0 : it->second;
  }
  for (auto& e : outputs_) {
    auto it = outputWritten_.find(e.reg);
    // Outputs record the components never written (inside the mask or not).
    e.used = uint8_t(~(it == outputWritten_.end() ? 0 : it->second) & 0xf);
  }
}

}  // namespace translate
}  // namespace dxbc
