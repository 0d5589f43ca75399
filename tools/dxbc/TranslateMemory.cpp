// Memory and storage: loads and stores of textures, samplers, the constant
// buffer, inputs, outputs and local arrays, and where local arrays live
// (the immediate constant buffer or an indexable temp).
#include "TranslatorState.h"

#include <algorithm>

namespace dxbc {
namespace translate {
namespace {

// Element `element` of the indexable temp x<base>.
Operand indexableDst(uint32_t base, uint8_t mask, uint32_t element) {
  Operand d = tempDst(base, mask);
  d.type = OperandIndexableTemp;
  d.indexCount = 2;
  d.index[0].value = base;
  d.index[1].value = element;
  return d;
}

}  // namespace

bool Translator::resolveArray(uint32_t pointerId, ArrayStorage*& array, Value& index,
                              bool& dynamic) {
  const Value& p = val(pointerId);
  if (p.kind != Value::Pointer) return false;
  auto it = arrays_.find(p.var);
  if (it == arrays_.end()) return false;
  array = &it->second;
  if (p.chain.size() != 1) {
    fail("only one level of indexing into constant or local arrays is supported");
    return false;
  }
  index = operand(p.chain[0]);
  dynamic = index.kind != Value::Const;
  if (!dynamic && index.bits[0] >= array->length) {
    fail("constant array index " + std::to_string(index.bits[0]) + " is out of range");
    return false;
  }
  return true;
}

// The first component that a pointer into an input or output selects: no
// index, or one constant index that keeps all n components in the register.
bool Translator::componentOffset(const Value& pointer, uint8_t n, uint8_t& base) {
  base = 0;
  if (pointer.chain.empty()) return true;
  if (pointer.chain.size() != 1) return false;
  Value index = operand(pointer.chain[0]);
  if (index.kind != Value::Const || index.bits[0] + n > 4) return false;
  base = uint8_t(index.bits[0]);
  return true;
}

void Translator::translateLoad(const Instruction& ins) {
  const Value& p = val(ins.word(3));
  if (p.kind != Value::Pointer) {
    unsupported(ins, "load through something that is not a variable");
    return;
  }
  auto vit = variables_.find(p.var);
  if (vit == variables_.end()) {
    unsupported(ins, "load from an unknown variable");
    return;
  }
  const Variable& var = vit->second;
  switch (var.storage) {
    case spv::StorageUniformConstant: loadResource(ins, var); return;
    case spv::StorageUniform: case spv::StoragePushConstant:
      loadConstantBuffer(ins, var, p);
      return;
    case spv::StorageInput: loadInput(ins, var, p); return;
    case spv::StorageFunction: case spv::StoragePrivate: loadLocal(ins, var, p); return;
    default:
      unsupported(ins, "load from storage class " + std::to_string(var.storage));
  }
}

// A texture or a sampler.
void Translator::loadResource(const Instruction& ins, const Variable& var) {
  uint32_t type = ins.word(1);
  uint32_t id = ins.word(2);
  const Type& vt = typeAt(var.type);
  int32_t binding = dec(var.id).binding;
  if (binding < 0) binding = 0;
  Value v;
  v.type = type;
  v.slot = uint32_t(binding);
  std::string name = names_.count(var.id) ? names_[var.id] : "";
  if (vt.op == spv::OpTypeImage) {
    v.kind = Value::Image;
    textures_[v.slot] = name.empty() ? "t" + std::to_string(v.slot) : name;
  } else if (vt.op == spv::OpTypeSampler) {
    v.kind = Value::Sampler;
    samplers_[v.slot] = name.empty() ? "s" + std::to_string(v.slot) : name;
  } else {
    unsupported(ins, "only textures and samplers may be uniform constants");
    return;
  }
  val(id) = v;
}

// A scalar or vector from the constant buffer: a view of its register, or a
// mov through a dynamic index.
void Translator::loadConstantBuffer(const Instruction& ins, const Variable& var, const Value& p) {
  uint32_t type = ins.word(1);
  uint32_t id = ins.word(2);
  uint8_t n = uint8_t(comps(type));
  const Type& vt = typeAt(var.type);
  int32_t binding = dec(var.id).binding;
  if (cbSlot_ >= 0 && cbVar_ != var.id) {
    fail("only one constant buffer is supported");
    return;
  }
  cbSlot_ = binding < 0 ? 0 : binding;
  cbVar_ = var.id;
  cbRows_ = (typeSize(var.type) + 15) / 16;
  if (names_.count(vt.op == spv::OpTypeStruct ? var.type : 0)) cbName_ = names_[var.type];
  // Walk the access chain to a byte offset.
  uint32_t t = var.type;
  uint32_t offset = 0;
  Value dynamicIndex;
  bool dynamic = false;
  for (uint32_t idx : p.chain) {
    const Value& iv = operand(idx);
    const Type& ct = typeAt(t);
    if (ct.op == spv::OpTypeStruct) {
      uint32_t m = iv.bits[0];
      if (iv.kind != Value::Const || m >= ct.members.size()) {
        fail("bad constant buffer member index");
        return;
      }
      if (t == var.type) cbMembersRead_.insert(m);
      if (typeAt(ct.members[m]).op == spv::OpTypeMatrix && memberRowMajor_.count({t, m})) {
        unsupported(ins, "reading a column-major (HLSL) matrix from a constant buffer");
        return;
      }
      offset += memberOffsets_[{t, m}];
      t = ct.members[m];
    } else if (ct.op == spv::OpTypeArray) {
      uint32_t stride = arrayStride_.count(t) ? arrayStride_[t] : 16;
      if (iv.kind == Value::Const) {
        offset += iv.bits[0] * stride;
      } else {
        if (dynamic || stride != 16) {
          unsupported(ins, "dynamic constant buffer index needs a 16-byte array stride");
          return;
        }
        dynamic = true;
        dynamicIndex = iv;
      }
      t = ct.elem;
    } else if (ct.op == spv::OpTypeVector) {
      if (iv.kind != Value::Const) {
        unsupported(ins, "dynamic vector component index");
        return;
      }
      offset += 4 * iv.bits[0];
      t = ct.elem;
    } else if (ct.op == spv::OpTypeMatrix) {
      if (iv.kind != Value::Const) {
        unsupported(ins, "dynamic matrix column index");
        return;
      }
      offset += 16 * iv.bits[0];
      t = ct.elem;
    } else {
      unsupported(ins, "bad constant buffer access chain");
      return;
    }
  }
  const Type& lt = typeAt(type);
  if (!(lt.op == spv::OpTypeVector || lt.scalar != Scalar::None)) {
    unsupported(ins, "loading a whole structure, array or matrix from a constant buffer");
    return;
  }
  uint32_t first = (offset % 16) / 4;
  if (first + n > 4) {
    fail("constant buffer value at byte " + std::to_string(offset) + " straddles a 16-byte row");
    return;
  }
  Value v;
  v.kind = Value::Reg;
  v.type = type;
  v.n = n;
  v.file = OperandConstantBuffer;
  v.reg = uint32_t(cbSlot_);
  v.elem = offset / 16;
  for (int i = 0; i < 4; ++i) v.swz[i] = uint8_t(std::min<uint32_t>(first + i, 3));
  if (dynamic) {
    cbDynamic_ = true;
    uint32_t r = newTemp();
    Operand o = src(v, n);
    o.index[1].relative = true;
    o.index[1].relReg = toTemp(dynamicIndex, 1);
    o.index[1].relComp = 0;
    emitOp(OpMov, {dst(r, n), o});
    val(id) = tempValue(r, n, type);
  } else {
    val(id) = v;
  }
}

// A view of an input register.
void Translator::loadInput(const Instruction& ins, const Variable& var, const Value& p) {
  uint32_t type = ins.word(1);
  uint32_t id = ins.word(2);
  uint8_t n = uint8_t(comps(type));
  auto it = inputRegOfVar_.find(var.id);
  if (it == inputRegOfVar_.end()) {
    unsupported(ins, "load from an input that is not in the entry point's interface");
    return;
  }
  uint32_t reg = it->second;
  Value v;
  v.kind = Value::Reg;
  v.type = type;
  v.n = n;
  v.file = OperandInput;
  v.reg = reg;
  uint8_t base;
  if (!componentOffset(p, n, base)) {
    unsupported(ins, "indexed input load");
    return;
  }
  for (int i = 0; i < 4; ++i) v.swz[i] = uint8_t(std::min(base + i, 3));
  val(id) = v;  // components are marked as read where operands use them
}

// An element of a local array (or the whole array when it is constant data).
void Translator::loadLocal(const Instruction& ins, const Variable& var, const Value& p) {
  uint32_t type = ins.word(1);
  uint32_t id = ins.word(2);
  uint8_t n = uint8_t(comps(type));
  auto ait = arrays_.find(var.id);
  if (ait == arrays_.end()) {
    unsupported(ins, "load from a local variable that spirv-opt did not turn into a value");
    return;
  }
  ArrayStorage& a = ait->second;
  if (p.chain.empty()) {
    if (!a.constant) {
      unsupported(ins, "loading a whole local array");
      return;
    }
    val(id) = val(a.constantId);
    return;
  }
  ArrayStorage* array;
  Value index;
  bool dynamic;
  if (!resolveArray(ins.word(3), array, index, dynamic)) {
    if (!failed()) unsupported(ins, "array access");
    return;
  }
  if (array->constant && !dynamic) {
    // A constant element: use the value itself.
    const Value& whole = val(array->constantId);
    val(id) = val(whole.parts[index.bits[0]]);
    return;
  }
  uint32_t r = newTemp();
  Operand o;
  uint8_t swz[4] = {0, 1, 2, 3};
  if (array->constant) {
    o = regSrc(OperandImmediateConstantBuffer, 0, swz);
    o.indexCount = 1;
    o.index[0].value = array->base;
    o.index[0].relative = true;
    o.index[0].relReg = toTemp(index, 1);
    o.index[0].relComp = 0;
  } else {
    o = regSrc(OperandIndexableTemp, array->base, swz);
    o.indexCount = 2;
    o.index[0].value = array->base;
    if (dynamic) {
      o.index[1].relative = true;
      o.index[1].relReg = toTemp(index, 1);
      o.index[1].value = 0;
    } else {
      o.index[1].value = index.bits[0];
    }
  }
  for (int i = 0; i < 4; ++i) o.swizzle[i] = uint8_t(std::min(i, n - 1));
  emitOp(OpMov, {dst(r, n), o});
  val(id) = tempValue(r, n, type);
}

void Translator::translateStore(const Instruction& ins) {
  const Value& p = val(ins.word(1));
  if (p.kind != Value::Pointer) {
    unsupported(ins, "store through something that is not a variable");
    return;
  }
  const Variable& var = variables_[p.var];
  Value v = operand(ins.word(2));
  if (var.storage == spv::StorageOutput) {
    auto it = outputRegOfVar_.find(var.id);
    if (it == outputRegOfVar_.end()) {
      unsupported(ins, "store to an output that is not in the entry point's interface");
      return;
    }
    uint8_t base;
    if (!componentOffset(p, v.n, base)) {
      unsupported(ins, "indexed output store");
      return;
    }
    uint8_t n = v.n;
    uint8_t mask = uint8_t(((1u << n) - 1) << base);
    Operand d = tempDst(it->second, mask);
    d.type = OperandOutput;
    // Source components line up with the destination mask's positions.
    Operand s;
    if (v.kind == Value::Const) {
      uint32_t bits[4] = {0, 0, 0, 0};
      for (int i = 0; i < n; ++i) bits[base + i] = v.bits[i];
      s = immVector(bits);
    } else {
      s = src(v, 4);
      uint8_t swz[4];
      for (int c = 0; c < 4; ++c) swz[c] = v.swz[std::min(std::max(c - base, 0), n - 1)];
      memcpy(s.swizzle, swz, 4);
    }
    emitOp(OpMov, {d, s});
    outputWritten_[it->second] |= mask;
    return;
  }
  if (var.storage == spv::StorageFunction || var.storage == spv::StoragePrivate) {
    auto ait = arrays_.find(var.id);
    if (ait == arrays_.end()) {
      unsupported(ins, "store to a local variable that spirv-opt did not turn into a value");
      return;
    }
    ArrayStorage& a = ait->second;
    if (p.chain.empty()) {
      if (a.constant) return;  // the data lives in the immediate constant buffer
      // Whole-array initialisation of an indexable temp.
      const Value& whole = val(ins.word(2));
      if (whole.kind != Value::Composite) {
        unsupported(ins, "storing a non-constant whole array");
        return;
      }
      for (uint32_t e = 0; e < whole.parts.size(); ++e) {
        Value ev = operand(whole.parts[e]);
        emitOp(OpMov, {indexableDst(a.base, uint8_t((1u << a.comps) - 1), e), src(ev, a.comps)});
      }
      return;
    }
    ArrayStorage* array;
    Value index;
    bool dynamic;
    if (!resolveArray(ins.word(1), array, index, dynamic)) {
      if (!failed()) unsupported(ins, "array store");
      return;
    }
    Operand d = indexableDst(a.base, uint8_t((1u << v.n) - 1), dynamic ? 0 : index.bits[0]);
    if (dynamic) {
      d.index[1].relative = true;
      d.index[1].relReg = toTemp(index, 1);
    }
    emitOp(OpMov, {d, src(v, v.n)});
    return;
  }
  unsupported(ins, "store to storage class " + std::to_string(var.storage));
}

// Arrays in function / private variables: read-only constant data becomes
// the immediate constant buffer, anything written at run time an x# array.
void Translator::placeArrays() {
  for (auto& it : variables_) {
    const Variable& var = it.second;
    if (var.storage != spv::StorageFunction && var.storage != spv::StoragePrivate) continue;
    const Type& t = typeAt(var.type);
    if (t.op != spv::OpTypeArray) continue;
    ArrayStorage a;
    a.length = t.count;
    const Type& et = typeAt(t.elem);
    if (!(et.op == spv::OpTypeVector || et.scalar != Scalar::None)) {
      fail("arrays of " + std::string(et.op == spv::OpTypeArray ? "arrays" : "structures") +
           " are not supported (variable '" + names_[var.id] + "')");
      break;
    }
    a.comps = uint8_t(comps(t.elem));
    a.constantId = var.initializer;
    arrays_[var.id] = a;
  }
  for (const Instruction& ins : ins_) {
    if (ins.opcode != spv::OpStore) continue;
    const Value& p = val(ins.word(1));
    if (p.kind != Value::Pointer) continue;
    auto it = arrays_.find(p.var);
    if (it == arrays_.end()) continue;
    ArrayStorage& a = it->second;
    if (!p.chain.empty() || val(ins.word(2)).kind != Value::Composite ||
        (a.constantId && a.constantId != ins.word(2))) {
      a.constant = false;
    } else {
      a.constantId = ins.word(2);
    }
  }
  // Element stores go through access chains: such arrays are written at run
  // time and need an indexable temp.
  std::map<uint32_t, uint32_t> chainBase;
  for (const Instruction& ins : ins_)
    if (ins.opcode == spv::OpAccessChain || ins.opcode == spv::OpInBoundsAccessChain)
      chainBase[ins.word(2)] = ins.word(3);
  for (const Instruction& ins : ins_) {
    if (ins.opcode != spv::OpStore) continue;
    auto c = chainBase.find(ins.word(1));
    if (c == chainBase.end()) continue;
    auto it = arrays_.find(c->second);
    if (it != arrays_.end()) it->second.constant = false;
  }
  for (auto& it : arrays_) {
    ArrayStorage& a = it.second;
    if (a.constant && a.constantId) {
      const Value& whole = val(a.constantId);
      if (whole.kind != Value::Composite || whole.parts.size() != a.length) {
        a.constant = false;
      } else {
        a.base = uint32_t(icb_.size() / 4);
        for (uint32_t e : whole.parts) {
          const Value& ev = val(e);
          for (int c = 0; c < 4; ++c) icb_.push_back(c < ev.n ? ev.bits[c] : 0);
        }
      }
    } else {
      a.constant = false;
    }
    if (!a.constant) a.base = indexableCount_++;
  }
  if (icb_.size() / 4 > 4096) fail("constant arrays exceed the 4096 rows of the immediate constant buffer");
}

}  // namespace translate
}  // namespace dxbc
