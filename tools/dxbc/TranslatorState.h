#pragma once
// The translator's shared state: the SPIR-V module as collected (types,
// values, decorations, blocks), the code being emitted, and the resources and
// signatures it declares. Each stage of the translation lives in its own
// file, named by the stage (TranslateModule.cpp, TranslateMemory.cpp, ...);
// Translator.cpp runs them in order.
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "DxbcProgram.h"
#include "ShaderChunks.h"
#include "Spirv.h"

namespace dxbc {
namespace translate {

using spv::Instruction;

enum class Scalar : uint8_t { None, Bool, Int, UInt, Float };

struct Type {
  uint16_t op = 0;  // the defining OpType*
  Scalar scalar = Scalar::None;
  uint32_t elem = 0;   // vector/matrix/array element, pointer pointee, image sampled type
  uint32_t count = 1;  // vector size, matrix columns, array length
  uint32_t storage = 0;
  std::vector<uint32_t> members;
};

struct Value {
  enum Kind : uint8_t { None, Const, Reg, Composite, Image, Sampler, SampledImage, Pointer };
  Kind kind = None;
  uint32_t type = 0;
  uint8_t n = 1;  // components
  // Reg: a view of a register (temp / input / constant buffer) with a swizzle.
  OperandType file = OperandTemp;
  uint32_t reg = 0;
  uint32_t elem = 0;  // constant buffer element
  uint8_t swz[4] = {0, 1, 2, 3};
  OperandModifier mod = ModNone;  // negation / absolute value applied on read
  // Const
  uint32_t bits[4] = {0, 0, 0, 0};
  // Composite: constituent ids (arrays, matrices, structs of constants)
  std::vector<uint32_t> parts;
  // Image / Sampler / SampledImage slots
  uint32_t slot = 0, slot2 = 0;
  // Pointer: variable and access chain indices (ids)
  uint32_t var = 0;
  std::vector<uint32_t> chain;
};

// A constant buffer view names its element as a second index.
inline void indexElement(Operand& o, const Value& v) {
  if (v.file != OperandConstantBuffer) return;
  o.indexCount = 2;
  o.index[0].value = v.reg;
  o.index[1].value = v.elem;
}

// A sampler or resource named by its slot alone (no components).
inline Operand slotOperand(OperandType type, uint32_t slot) {
  Operand o;
  o.type = type;
  o.numComponents = 0;
  o.index[0].value = slot;
  return o;
}

// Per lane of a vector being assembled: the value and its component.
using Lanes = std::vector<std::pair<Value, uint8_t>>;

// A modifier applied on top of another: abs() drops the inner sign.
inline OperandModifier combine(OperandModifier inner, OperandModifier outer) {
  if (outer & ModAbs) return OperandModifier(ModAbs | (outer & ModNeg));
  return OperandModifier(inner ^ (outer & ModNeg));
}

struct Variable {
  uint32_t id = 0;
  uint32_t storage = 0;
  uint32_t type = 0;  // pointee
  uint32_t initializer = 0;
};

struct Decorations {
  int32_t builtin = -1, location = -1, binding = -1;
  bool flat = false, noperspective = false, centroid = false;
  std::string semantic;
};

// Arrays held in function or private variables: either read-only constant
// data (the immediate constant buffer) or an indexable temp.
struct ArrayStorage {
  bool constant = true;
  uint32_t constantId = 0;
  uint32_t length = 0;
  uint32_t base = 0;      // first icb row, or the x# register number
  uint8_t comps = 1;
};

struct Block {
  uint32_t label = 0;
  std::vector<uint32_t> phis;  // instruction indices
  std::vector<uint32_t> body;
  uint32_t merge = 0;          // index of OpSelectionMerge / OpLoopMerge or ~0
  uint32_t terminator = 0;
};

struct LoopContext {
  uint32_t header, merge, cont;
  int ifDepth;
};

class Translator {
 public:
  Translator(const std::string& source) : source_(source) {}
  bool run(const uint32_t* words, size_t count, std::vector<uint8_t>& container,
           std::string& error);

 private:
  // ---- diagnostics
  void fail(const std::string& message) {
    if (error_.empty()) error_ = source_ + ": " + message;
  }
  void unsupported(const Instruction& ins, const std::string& detail = "") {
    const char* name = spv::opName(ins.opcode);
    std::string s = "unsupported SPIR-V instruction " +
                    (name ? std::string(name) : "Op" + std::to_string(ins.opcode));
    if (ins.opcode == spv::OpExtInst) {
      const char* ext = spv::glslName(ins.word(4));
      s += " " + (ext ? std::string(ext) : "GLSL.std.450 #" + std::to_string(ins.word(4)));
    }
    if (!detail.empty()) s += " (" + detail + ")";
    fail(s);
  }
  bool failed() const { return !error_.empty(); }

  // ---- module collection
  bool collect();
  const Type& typeAt(uint32_t id) const {
    static const Type none;
    return id < types_.size() ? types_[id] : none;
  }
  uint32_t comps(uint32_t type) const;
  Scalar scalarOf(uint32_t type, int depth = 0) const;
  uint32_t typeSize(uint32_t type, int depth = 0) const;
  Value& val(uint32_t id) {
    static Value scratch;
    if (id >= bound_) {
      fail("id %" + std::to_string(id) + " is outside the module's id bound");
      scratch = Value();
      return scratch;
    }
    if (id >= values_.size()) values_.resize(id + 1);
    return values_[id];
  }
  const Decorations& dec(uint32_t id) {
    static const Decorations none;
    auto it = decorations_.find(id);
    return it == decorations_.end() ? none : it->second;
  }

  // ---- emission helpers
  uint32_t newTemp() { return vregs_++; }
  void emitOp(uint16_t opcode, std::vector<Operand> ops, uint32_t controls = 0) {
    dxbc::Instruction ins;
    ins.opcode = opcode;
    ins.operands = std::move(ops);
    ins.controls = controls;
    body_.push_back(std::move(ins));
  }
  Value tempValue(uint32_t reg, uint8_t n, uint32_t type) {
    Value v;
    v.kind = Value::Reg;
    v.file = OperandTemp;
    v.reg = reg;
    v.n = n;
    v.type = type;
    return v;
  }
  Value constValue(uint32_t type, uint8_t n, const uint32_t* bits) {
    Value v;
    v.kind = Value::Const;
    v.type = type;
    v.n = n;
    for (int i = 0; i < n && i < 4; ++i) v.bits[i] = bits[i];
    return v;
  }
  Operand dst(uint32_t reg, uint8_t n) { return tempDst(reg, uint8_t((1u << n) - 1)); }
  Operand src(const Value& v, uint8_t n, OperandModifier mod = ModNone);
  Operand srcComp(const Value& v, uint8_t comp, uint8_t n);
  Operand scalarSrc(const Value& v, uint8_t comp = 0);
  Operand immFloat(float f, uint8_t n) {
    uint32_t b;
    memcpy(&b, &f, 4);
    uint32_t bits[4] = {b, b, b, b};
    return n == 1 ? immScalar(b) : immVector(bits);
  }
  Operand immBits(uint32_t b, uint8_t n) {
    uint32_t bits[4] = {b, b, b, b};
    return n == 1 ? immScalar(b) : immVector(bits);
  }
  Value operand(uint32_t id) {
    Value& v = val(id);
    if (v.kind == Value::None) fail("value %" + std::to_string(id) + " used before it is defined");
    return v;
  }
  // Result of a fresh n-component temp for instruction `ins`.
  Value& define(const Instruction& ins, uint32_t reg) {
    Value& v = val(ins.word(2));
    v = tempValue(reg, uint8_t(comps(ins.word(1))), ins.word(1));
    return v;
  }
  uint32_t toTemp(const Value& v, uint8_t n);
  void emitUnary(const Instruction& ins, uint16_t op, uint32_t a, OperandModifier mod = ModNone,
                 uint32_t controls = 0);
  void emitBinary(const Instruction& ins, uint16_t op, uint32_t a, uint32_t b, bool swap = false,
                  OperandModifier modB = ModNone);
  bool defineWithoutCode(uint32_t id, uint32_t type, uint8_t n, const Lanes& lanes);
  void movLanes(uint32_t reg, uint8_t mask, int lead, const Lanes& lanes);

  // ---- body translation
  void translateInstruction(const Instruction& ins);
  void markPrecise(size_t first);
  void translateExt(const Instruction& ins);
  void translateLoad(const Instruction& ins);
  void loadResource(const Instruction& ins, const Variable& var);
  void loadConstantBuffer(const Instruction& ins, const Variable& var, const Value& p);
  void loadInput(const Instruction& ins, const Variable& var, const Value& p);
  void loadLocal(const Instruction& ins, const Variable& var, const Value& p);
  void translateStore(const Instruction& ins);
  void translateComposite(const Instruction& ins);
  void translateSample(const Instruction& ins);
  bool resolveArray(uint32_t pointerId, ArrayStorage*& array, Value& index, bool& dynamic);
  bool componentOffset(const Value& pointer, uint8_t n, uint8_t& base);

  // ---- structured control flow
  void emitChain(uint32_t block, uint32_t selMerge);
  void emitArm(uint32_t from, uint32_t target, uint32_t selMerge);
  void emitEdge(uint32_t from, uint32_t to);
  void emitLoop(uint32_t header);
  void emitBlockBody(uint32_t block);
  void emitContinueConstruct(LoopContext& loop);
  void closeLoop();
  bool isExit(uint32_t target, uint32_t selMerge) const;
  bool leavesOuterLoop(uint32_t from, uint32_t target);
  bool followMerge(uint32_t from, uint32_t mergeLabel, uint32_t selMerge, uint32_t& blockIndex);
  // Ifs opened inside the innermost loop: a branch to its continue target
  // from inside one needs an explicit continue.
  void openIf(const Operand& cond, uint32_t controls) {
    emitOp(OpIf, {cond}, controls);
    if (!loops_.empty()) loops_.back().ifDepth++;
  }
  void closeIf() {
    emitOp(OpEndif, {});
    if (!loops_.empty()) loops_.back().ifDepth--;
  }
  uint32_t blockOf(uint32_t label) {
    auto it = blockIndex_.find(label);
    if (it == blockIndex_.end()) {
      fail("branch to unknown block %" + std::to_string(label));
      return 0;
    }
    return it->second;
  }
  bool unreachableBlock(uint32_t label);

  // ---- interface and storage
  void buildSignatures();
  void placeArrays();
  void recordInterfaceUse();

  // ---- output
  void buildDeclarations(std::vector<dxbc::Instruction>& decls, uint32_t temps);
  std::vector<ConstantVariable> describeConstantBuffer();
  ConstantType describeType(uint32_t type, bool columnMajor, uint32_t& size, int depth);

  std::string source_;
  std::string error_;
  std::vector<Instruction> ins_;
  std::vector<Type> types_;
  std::vector<Value> values_;
  std::map<uint32_t, Decorations> decorations_;
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> memberOffsets_;
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> memberMatrixStride_;
  std::set<std::pair<uint32_t, uint32_t>> memberRowMajor_;
  std::map<uint32_t, uint32_t> arrayStride_;
  std::map<uint32_t, std::string> names_;
  std::map<std::pair<uint32_t, uint32_t>, std::string> memberNames_;
  std::set<uint32_t> noContraction_;  // results decorated NoContraction
  std::map<uint32_t, Variable> variables_;
  uint32_t glslImport_ = 0;
  uint32_t entryFunction_ = 0;
  std::vector<uint32_t> interface_;
  bool pixel_ = true;
  bool hasPrecise_ = false;  // some instruction is precise

  std::vector<Block> blocks_;
  std::map<uint32_t, uint32_t> blockIndex_;
  std::vector<LoopContext> loops_;

  std::vector<dxbc::Instruction> body_;
  uint32_t vregs_ = 0;

  // Resources
  int32_t cbSlot_ = -1;
  uint32_t cbVar_ = 0;
  uint32_t cbRows_ = 0;
  bool cbDynamic_ = false;
  std::string cbName_;
  std::set<uint32_t> cbMembersRead_;  // members of the buffer's structure the code reads
  std::map<uint32_t, std::string> textures_;  // slot -> name
  std::map<uint32_t, std::string> samplers_;
  std::map<uint32_t, ArrayStorage> arrays_;  // variable id -> storage
  std::vector<uint32_t> icb_;
  uint32_t indexableCount_ = 0;

  // Signatures
  std::vector<SignatureElement> inputs_, outputs_;
  std::map<uint32_t, uint32_t> inputRegOfVar_, outputRegOfVar_;
  std::map<uint32_t, uint8_t> outputWritten_;
  uint32_t bound_ = 0;
  uint64_t steps_ = 0;
  int depth_ = 0;
};

// Immediates never carry operand modifiers: folds negation and absolute value
// into the constants themselves.
void foldImmediateModifiers(std::vector<dxbc::Instruction>& body);

// Narrows each precise instruction's mask to the components it finally
// writes (the clean-up passes and register allocation move lanes around);
// true if any instruction is precise.
bool settlePreciseMasks(std::vector<dxbc::Instruction>& body);

}  // namespace translate
}  // namespace dxbc
