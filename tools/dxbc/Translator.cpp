#include "Translator.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>

#include "DxbcContainer.h"
#include "DxbcProgram.h"
#include "RegisterAllocator.h"
#include "ShaderChunks.h"
#include "Spirv.h"

namespace dxbc {
namespace {

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
void indexElement(Operand& o, const Value& v) {
  if (v.file != OperandConstantBuffer) return;
  o.indexCount = 2;
  o.index[0].value = v.reg;
  o.index[1].value = v.elem;
}

// A sampler or resource named by its slot alone (no components).
Operand slotOperand(OperandType type, uint32_t slot) {
  Operand o;
  o.type = type;
  o.numComponents = 0;
  o.index[0].value = slot;
  return o;
}

// The dot product of m components (a product for one).
uint16_t dotOpcode(uint8_t m) { return m == 2 ? OpDp2 : m == 3 ? OpDp3 : m == 4 ? OpDp4 : OpMul; }

// Element `element` of the indexable temp x<base>.
Operand indexableDst(uint32_t base, uint8_t mask, uint32_t element) {
  Operand d = tempDst(base, mask);
  d.type = OperandIndexableTemp;
  d.indexCount = 2;
  d.index[0].value = base;
  d.index[1].value = element;
  return d;
}

// Whether v is a view of the same register as other, read with the same
// modifier (the swizzle may differ).
bool sameRegisterAs(const Value& v, const Value& other) {
  return v.kind == Value::Reg && v.file == other.file && v.reg == other.reg &&
         v.elem == other.elem && v.mod == other.mod;
}

// Per lane of a vector being assembled: the value and its component.
using Lanes = std::vector<std::pair<Value, uint8_t>>;

int lowestLane(uint8_t mask) {
  int lane = 0;
  while (!(mask & (1u << lane))) ++lane;
  return lane;
}

// A modifier applied on top of another: abs() drops the inner sign.
OperandModifier combine(OperandModifier inner, OperandModifier outer) {
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

bool targetsLoop(const LoopContext& loop, uint32_t target) {
  return target == loop.merge || target == loop.cont || target == loop.header;
}

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
  std::map<uint32_t, Variable> variables_;
  uint32_t glslImport_ = 0;
  uint32_t entryFunction_ = 0;
  std::vector<uint32_t> interface_;
  bool pixel_ = true;

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

// ---------------------------------------------------------------------------
// Module collection

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

// ---------------------------------------------------------------------------
// Operands

Operand Translator::src(const Value& v, uint8_t n, OperandModifier mod) {
  Operand o;
  if (v.kind == Value::Const) {
    uint32_t bits[4] = {0, 0, 0, 0};
    for (int i = 0; i < n; ++i) bits[i] = v.bits[std::min<int>(i, v.n - 1)];
    o = n == 1 ? immScalar(bits[0]) : immVector(bits);
    // Applied to the bits by foldImmediateModifiers, once the instruction
    // says whether they are integers or floats.
    o.modifier = mod;
    return o;
  }
  if (v.kind != Value::Reg) {
    fail("a non-arithmetic value is used as an operand");
    return immScalar(0);
  }
  uint8_t swz[4];
  for (int i = 0; i < 4; ++i) swz[i] = v.swz[std::min<int>(std::min<int>(i, n - 1), v.n - 1)];
  o = regSrc(v.file, v.reg, swz);
  indexElement(o, v);
  o.modifier = combine(v.mod, mod);
  return o;
}

Operand Translator::srcComp(const Value& v, uint8_t comp, uint8_t n) {
  Value c = v;
  if (v.kind == Value::Const) {
    c.bits[0] = v.bits[std::min<int>(comp, v.n - 1)];
  } else {
    c.swz[0] = v.swz[std::min<int>(comp, v.n - 1)];
  }
  c.n = 1;
  return src(c, n);
}

Operand Translator::scalarSrc(const Value& v, uint8_t comp) {
  if (v.kind == Value::Const) return immScalar(v.bits[std::min<int>(comp, v.n - 1)]);
  Operand o = select1(v.file, v.reg, v.swz[std::min<int>(comp, v.n - 1)]);
  indexElement(o, v);
  o.modifier = v.mod;
  return o;
}

uint32_t Translator::toTemp(const Value& v, uint8_t n) {
  if (v.kind == Value::Reg && v.file == OperandTemp && v.mod == ModNone) {
    bool identity = true;
    for (int i = 0; i < n; ++i)
      if (v.swz[i] != i) identity = false;
    if (identity) return v.reg;
  }
  uint32_t r = newTemp();
  emitOp(OpMov, {dst(r, n), src(v, n)});
  return r;
}

void Translator::emitUnary(const Instruction& ins, uint16_t op, uint32_t a, OperandModifier mod,
                           uint32_t controls) {
  uint32_t r = newTemp();
  Value& out = define(ins, r);
  uint8_t n = out.n;
  Value va = operand(a);
  emitOp(op, {dst(r, n), src(va, n, mod)}, controls);
}

void Translator::emitBinary(const Instruction& ins, uint16_t op, uint32_t a, uint32_t b,
                            bool swap, OperandModifier modB) {
  uint32_t r = newTemp();
  Value va = operand(a), vb = operand(b);
  Value& out = define(ins, r);
  uint8_t n = out.n;
  Operand oa = src(va, n), ob = src(vb, n, modB);
  if (swap) std::swap(oa, ob);
  emitOp(op, {dst(r, n), oa, ob});
}

// ---------------------------------------------------------------------------
// Memory

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

// ---------------------------------------------------------------------------
// Composites

void Translator::translateComposite(const Instruction& ins) {
  uint32_t type = ins.word(1), id = ins.word(2);
  switch (ins.opcode) {
    case spv::OpCompositeConstruct: {
      const Type& t = typeAt(type);
      if (t.op != spv::OpTypeVector) {
        // Constant-only composites (e.g. arrays built from constants).
        Value v;
        v.kind = Value::Composite;
        v.type = type;
        for (uint32_t w = 3; w < ins.count; ++w) {
          if (operand(ins.word(w)).kind != Value::Const &&
              operand(ins.word(w)).kind != Value::Composite) {
            unsupported(ins, "non-vector composites must be built from constants");
            return;
          }
          v.parts.push_back(ins.word(w));
        }
        val(id) = v;
        return;
      }
      uint8_t n = uint8_t(t.count);
      // Gather every result component's source.
      Lanes parts;
      for (uint32_t w = 3; w < ins.count; ++w) {
        Value v = operand(ins.word(w));
        for (uint8_t c = 0; c < v.n; ++c) parts.push_back({v, c});
      }
      if (parts.size() < n) {
        fail("composite construct with too few components");
        return;
      }
      if (defineWithoutCode(id, type, n, parts)) return;
      uint32_t r = newTemp();
      // One mov per run of components taken from the same register or from
      // constants.
      std::vector<bool> done(n, false);
      for (int i = 0; i < n; ++i) {
        if (done[i]) continue;
        const Value& a = parts[i].first;
        uint8_t mask = 0;
        for (int j = i; j < n; ++j) {
          const Value& b = parts[j].first;
          if (a.kind == Value::Const ? b.kind != Value::Const : !sameRegisterAs(b, a)) continue;
          mask |= uint8_t(1u << j);
          done[j] = true;
        }
        movLanes(r, mask, i, parts);
      }
      val(id) = tempValue(r, n, type);
      return;
    }
    case spv::OpCompositeExtract: {
      Value v = operand(ins.word(3));
      for (uint32_t w = 4; w < ins.count; ++w) {
        uint32_t index = ins.word(w);
        if (v.kind == Value::Composite) {
          if (index >= v.parts.size()) {
            fail("composite extract index out of range");
            return;
          }
          v = operand(v.parts[index]);
        } else if (v.kind == Value::Const) {
          v.bits[0] = v.bits[std::min<uint32_t>(index, v.n - 1)];
          v.n = 1;
        } else if (v.kind == Value::Reg) {
          v.swz[0] = v.swz[std::min<uint32_t>(index, v.n - 1)];
          v.n = 1;
        } else {
          unsupported(ins);
          return;
        }
      }
      v.type = type;
      val(id) = v;
      return;
    }
    case spv::OpCompositeInsert: {
      Value obj = operand(ins.word(3));
      Value comp = operand(ins.word(4));
      if (ins.count != 6 || typeAt(type).op != spv::OpTypeVector) {
        unsupported(ins, "only inserting into a vector");
        return;
      }
      uint32_t index = ins.word(5);
      uint8_t n = uint8_t(comps(type));
      if (index >= n) {
        fail("composite insert index out of range");
        return;
      }
      if (comp.kind == Value::Const && comp.n == 1 && obj.kind == Value::Const) {
        Value v = obj;
        v.bits[index] = comp.bits[0];
        v.type = type;
        val(id) = v;
        return;
      }
      uint32_t r = newTemp();
      emitOp(OpMov, {dst(r, n), src(obj, n)});
      Operand s = srcComp(comp, 0, 4);
      emitOp(OpMov, {tempDst(r, uint8_t(1u << index)), s});
      val(id) = tempValue(r, n, type);
      return;
    }
    case spv::OpVectorShuffle: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint8_t n = uint8_t(ins.count - 5);
      if (ins.count < 6 || ins.count > 9 || n != comps(type)) {
        fail("malformed vector shuffle");
        return;
      }
      for (uint32_t w = 5; w < ins.count; ++w)
        if (ins.word(w) != 0xffffffffu && ins.word(w) >= uint32_t(a.n + b.n)) {
          fail("vector shuffle component out of range");
          return;
        }
      Lanes parts;
      for (uint32_t w = 5; w < ins.count; ++w) {
        uint32_t c = ins.word(w);
        if (c == 0xffffffffu) c = 0;
        if (c < a.n) parts.push_back({a, uint8_t(c)});
        else parts.push_back({b, uint8_t(c - a.n)});
      }
      if (defineWithoutCode(id, type, n, parts)) return;
      uint32_t r = newTemp();
      // One mov for the lanes taken from each source, the first source's first.
      for (int side = 0; side < 2; ++side) {
        const Value& s = side == 0 ? a : b;
        Lanes lanes(n, {s, 0});
        uint8_t mask = 0;
        for (int i = 0; i < n; ++i) {
          uint32_t c = ins.word(5 + i);
          bool fromA = c < a.n || c == 0xffffffffu;
          if (fromA != (side == 0)) continue;
          lanes[i].second = uint8_t(fromA ? (c == 0xffffffffu ? 0 : c) : c - a.n);
          mask |= uint8_t(1u << i);
        }
        if (mask) movLanes(r, mask, lowestLane(mask), lanes);
      }
      val(id) = tempValue(r, n, type);
      return;
    }
    case spv::OpCopyObject: {
      Value v = operand(ins.word(3));
      val(id) = v;
      return;
    }
    default:
      unsupported(ins);
  }
}

// Defines id without emitting code when the lanes are all constants or all
// read one register view (in any order); false when a mov is needed.
bool Translator::defineWithoutCode(uint32_t id, uint32_t type, uint8_t n, const Lanes& lanes) {
  bool allConst = true, sameReg = true;
  for (const auto& lane : lanes)
    if (lane.first.kind != Value::Const) allConst = false;
  for (int i = 0; i < n; ++i)
    if (!sameRegisterAs(lanes[i].first, lanes[0].first)) sameReg = false;
  if (allConst) {
    uint32_t bits[4];
    for (int i = 0; i < n; ++i) bits[i] = lanes[i].first.bits[lanes[i].second];
    val(id) = constValue(type, n, bits);
    return true;
  }
  if (sameReg) {
    Value v = lanes[0].first;
    for (int i = 0; i < n; ++i) v.swz[i] = lanes[i].first.swz[lanes[i].second];
    v.n = n;
    v.type = type;
    val(id) = v;
    return true;
  }
  return false;
}

// One mov into the lanes of temp reg in mask, lane j taking component
// lanes[j].second of lanes[j].first. The lanes are all constants or all views
// of the register of lanes[lead].first; unwritten lanes repeat lane lead.
void Translator::movLanes(uint32_t reg, uint8_t mask, int lead, const Lanes& lanes) {
  const Value& a = lanes[lead].first;
  uint8_t swz[4] = {0, 0, 0, 0};
  uint32_t bits[4] = {0, 0, 0, 0};
  for (int j = 0; j < 4; ++j) {
    if (!(mask & (1u << j))) continue;
    const Value& b = lanes[j].first;
    if (a.kind == Value::Const) bits[j] = b.bits[lanes[j].second];
    else swz[j] = b.swz[lanes[j].second];
  }
  Operand s;
  if (a.kind == Value::Const) {
    s = immVector(bits);
  } else {
    for (int c = 0; c < 4; ++c)
      if (!(mask & (1u << c))) swz[c] = swz[lead];
    s = src(a, 4);
    memcpy(s.swizzle, swz, 4);
  }
  emitOp(OpMov, {tempDst(reg, mask), s});
}

// ---------------------------------------------------------------------------
// Sampling

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

// ---------------------------------------------------------------------------
// Arithmetic

void Translator::translateExt(const Instruction& ins) {
  if (ins.word(3) != glslImport_) {
    unsupported(ins, "unknown extended instruction set");
    return;
  }
  uint32_t e = ins.word(4);
  uint32_t a = ins.word(5), b = ins.word(6), c = ins.word(7);
  uint32_t type = ins.word(1);
  uint8_t n = uint8_t(comps(type));
  Scalar sc = scalarOf(type);
  switch (e) {
    case spv::GlslFAbs: {
      Value v = operand(a);
      if (v.kind == Value::Const) {
        for (uint32_t& bits : v.bits) bits &= 0x7fffffffu;
      } else {
        v.mod = combine(v.mod, ModAbs);
      }
      v.type = type;
      val(ins.word(2)) = v;
      return;
    }
    case spv::GlslSAbs: {
      Value va = operand(a);
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpImax, {dst(r, n), src(va, n), src(va, n, ModNeg)});
      return;
    }
    case spv::GlslFloor: emitUnary(ins, OpRoundNi, a); return;
    case spv::GlslCeil: emitUnary(ins, OpRoundPi, a); return;
    case spv::GlslTrunc: emitUnary(ins, OpRoundZ, a); return;
    case spv::GlslRound: case spv::GlslRoundEven: emitUnary(ins, OpRoundNe, a); return;
    case spv::GlslFract: emitUnary(ins, OpFrc, a); return;
    case spv::GlslSqrt: emitUnary(ins, OpSqrt, a); return;
    case spv::GlslInverseSqrt: emitUnary(ins, OpRsq, a); return;
    case spv::GlslExp2: emitUnary(ins, OpExp, a); return;
    case spv::GlslLog2: emitUnary(ins, OpLog, a); return;
    case spv::GlslExp: {
      Value va = operand(a);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpMul, {dst(t, n), src(va, n), immFloat(1.442695f, n)});
      emitOp(OpExp, {dst(r, n), src(tempValue(t, n, type), n)});
      return;
    }
    case spv::GlslLog: {
      Value va = operand(a);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpLog, {dst(t, n), src(va, n)});
      emitOp(OpMul, {dst(r, n), src(tempValue(t, n, type), n), immFloat(0.693147f, n)});
      return;
    }
    case spv::GlslPow: {
      Value va = operand(a), vb = operand(b);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      Value tv = tempValue(t, n, type);
      emitOp(OpLog, {dst(t, n), src(va, n)});
      emitOp(OpMul, {dst(t, n), src(tv, n), src(vb, n)});
      emitOp(OpExp, {dst(r, n), src(tv, n)});
      return;
    }
    case spv::GlslSin: case spv::GlslCos: {
      Value va = operand(a);
      uint32_t r = newTemp();
      define(ins, r);
      if (e == spv::GlslSin) emitOp(OpSincos, {dst(r, n), nullDst(), src(va, n)});
      else emitOp(OpSincos, {nullDst(), dst(r, n), src(va, n)});
      return;
    }
    case spv::GlslTan: {
      Value va = operand(a);
      uint32_t s = newTemp(), k = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpSincos, {dst(s, n), dst(k, n), src(va, n)});
      emitOp(OpDiv, {dst(r, n), src(tempValue(s, n, type), n), src(tempValue(k, n, type), n)});
      return;
    }
    case spv::GlslFMin: case spv::GlslNMin: emitBinary(ins, OpMin, a, b); return;
    case spv::GlslFMax: case spv::GlslNMax: emitBinary(ins, OpMax, a, b); return;
    case spv::GlslSMin: emitBinary(ins, OpImin, a, b); return;
    case spv::GlslSMax: emitBinary(ins, OpImax, a, b); return;
    case spv::GlslUMin: emitBinary(ins, OpUmin, a, b); return;
    case spv::GlslUMax: emitBinary(ins, OpUmax, a, b); return;
    case spv::GlslFClamp: case spv::GlslNClamp: case spv::GlslSClamp: case spv::GlslUClamp: {
      Value va = operand(a), lo = operand(b), hi = operand(c);
      auto isConst = [&](const Value& v, uint32_t bits) {
        if (v.kind != Value::Const) return false;
        for (int i = 0; i < v.n; ++i)
          if (v.bits[i] != bits) return false;
        return true;
      };
      uint32_t r = newTemp();
      define(ins, r);
      if (sc == Scalar::Float && isConst(lo, 0) && isConst(hi, 0x3f800000)) {
        // saturate: also maps NaN to 0
        emitOp(OpMov, {dst(r, n), src(va, n)}, kSaturateBit);
        return;
      }
      uint16_t mx = sc == Scalar::Float ? OpMax : sc == Scalar::Int ? OpImax : OpUmax;
      uint16_t mn = sc == Scalar::Float ? OpMin : sc == Scalar::Int ? OpImin : OpUmin;
      uint32_t t = newTemp();
      emitOp(mx, {dst(t, n), src(va, n), src(lo, n)});
      emitOp(mn, {dst(r, n), src(tempValue(t, n, type), n), src(hi, n)});
      return;
    }
    case spv::GlslFMix: {
      Value x = operand(a), y = operand(b), s = operand(c);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpAdd, {dst(t, n), src(y, n), src(x, n, ModNeg)});
      emitOp(OpMad, {dst(r, n), src(s, n), src(tempValue(t, n, type), n), src(x, n)});
      return;
    }
    case spv::GlslStep: {
      Value edge = operand(a), x = operand(b);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpGe, {dst(t, n), src(x, n), src(edge, n)});
      emitOp(OpAnd, {dst(r, n), src(tempValue(t, n, type), n), immBits(0x3f800000, n)});
      return;
    }
    case spv::GlslSmoothStep: {
      Value e0 = operand(a), e1 = operand(b), x = operand(c);
      uint32_t d = newTemp(), w = newTemp(), t = newTemp(), u = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpAdd, {dst(d, n), src(x, n), src(e0, n, ModNeg)});
      emitOp(OpAdd, {dst(w, n), src(e1, n), src(e0, n, ModNeg)});
      emitOp(OpDiv, {dst(t, n), src(tempValue(d, n, type), n), src(tempValue(w, n, type), n)},
             kSaturateBit);
      Value tv = tempValue(t, n, type);
      emitOp(OpMad, {dst(u, n), src(tv, n), immFloat(-2.0f, n), immFloat(3.0f, n)});
      emitOp(OpMul, {dst(t, n), src(tv, n), src(tv, n)});
      emitOp(OpMul, {dst(r, n), src(tv, n), src(tempValue(u, n, type), n)});
      return;
    }
    case spv::GlslFma: {
      Value x = operand(a), y = operand(b), z = operand(c);
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpMad, {dst(r, n), src(x, n), src(y, n), src(z, n)});
      return;
    }
    case spv::GlslLength: case spv::GlslDistance: case spv::GlslNormalize: {
      Value x = operand(a);
      uint8_t m = x.n;
      if (e == spv::GlslDistance) {
        Value y = operand(b);
        uint32_t d = newTemp();
        emitOp(OpAdd, {dst(d, m), src(x, m), src(y, m, ModNeg)});
        x = tempValue(d, m, x.type);
      }
      uint32_t r = newTemp();
      define(ins, r);
      if (m == 1 && e != spv::GlslNormalize) {
        emitOp(OpMov, {dst(r, 1), src(x, 1, ModAbs)});
        return;
      }
      uint32_t t = newTemp();
      uint16_t dp = m == 1 ? OpMul : m == 2 ? OpDp2 : m == 3 ? OpDp3 : OpDp4;
      emitOp(dp, {dst(t, 1), src(x, m), src(x, m)});
      Value tv = tempValue(t, 1, type);
      if (e == spv::GlslNormalize) {
        emitOp(OpRsq, {dst(t, 1), src(tv, 1)});
        emitOp(OpMul, {dst(r, m), src(x, m), src(tv, m)});
      } else {
        emitOp(OpSqrt, {dst(r, 1), src(tv, 1)});
      }
      return;
    }
    case spv::GlslCross: {
      Value x = operand(a), y = operand(b);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      auto sw = [&](const Value& v, uint8_t p, uint8_t q, uint8_t s) {
        Value w = v;
        if (v.kind == Value::Const) {
          w.bits[0] = v.bits[p]; w.bits[1] = v.bits[q]; w.bits[2] = v.bits[s];
        } else {
          w.swz[0] = v.swz[p]; w.swz[1] = v.swz[q]; w.swz[2] = v.swz[s];
        }
        return w;
      };
      emitOp(OpMul, {dst(t, 3), src(sw(x, 2, 0, 1), 3), src(sw(y, 1, 2, 0), 3)});
      emitOp(OpMad, {dst(r, 3), src(sw(x, 1, 2, 0), 3), src(sw(y, 2, 0, 1), 3),
                     src(tempValue(t, 3, type), 3, ModNeg)});
      return;
    }
    case spv::GlslReflect: {
      Value i = operand(a), nn = operand(b);
      uint8_t m = i.n;
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(dotOpcode(m), {dst(t, 1), src(nn, m), src(i, m)});
      Value tv = tempValue(t, 1, type);
      emitOp(OpAdd, {dst(t, 1), src(tv, 1), src(tv, 1)});
      emitOp(OpMad, {dst(r, m), src(tv, m, ModNeg), src(nn, m), src(i, m)});
      return;
    }
    case spv::GlslFSign: {
      Value x = operand(a);
      uint32_t p = newTemp(), q = newTemp(), r = newTemp();
      define(ins, r);
      Value zero = constValue(type, 1, std::array<uint32_t, 1>{0}.data());
      emitOp(OpLt, {dst(p, n), src(zero, n), src(x, n)});
      emitOp(OpLt, {dst(q, n), src(x, n), src(zero, n)});
      emitOp(OpIadd, {dst(p, n), src(tempValue(p, n, type), n, ModNeg),
                      src(tempValue(q, n, type), n)});
      emitOp(OpItof, {dst(r, n), src(tempValue(p, n, type), n)});
      return;
    }
    case spv::GlslRadians: case spv::GlslDegrees: {
      Value x = operand(a);
      uint32_t r = newTemp();
      define(ins, r);
      float k = e == spv::GlslRadians ? 0.017453292f : 57.29578f;
      emitOp(OpMul, {dst(r, n), src(x, n), immFloat(k, n)});
      return;
    }
    default:
      unsupported(ins);
  }
}

void Translator::translateInstruction(const Instruction& ins) {
  uint32_t type = ins.word(1);
  uint8_t n = uint8_t(comps(type));
  switch (ins.opcode) {
    case spv::OpNop: case spv::OpLine: case 317: return;
    case spv::OpUndef: {
      uint32_t zero[4] = {0, 0, 0, 0};
      val(ins.word(2)) = constValue(type, n, zero);
      return;
    }
    case spv::OpVariable: return;  // collected up front
    case spv::OpLoad: translateLoad(ins); return;
    case spv::OpStore: translateStore(ins); return;
    case spv::OpAccessChain: case spv::OpInBoundsAccessChain: {
      Value base = val(ins.word(3));
      if (base.kind != Value::Pointer) {
        unsupported(ins, "access chain on a non-variable");
        return;
      }
      for (uint32_t w = 4; w < ins.count; ++w) base.chain.push_back(ins.word(w));
      base.type = type;
      val(ins.word(2)) = base;
      return;
    }
    case spv::OpSampledImage: {
      Value img = operand(ins.word(3)), smp = operand(ins.word(4));
      if (img.kind != Value::Image || smp.kind != Value::Sampler) {
        unsupported(ins, "sampled image from something other than a texture and a sampler");
        return;
      }
      Value v;
      v.kind = Value::SampledImage;
      v.slot = img.slot;
      v.slot2 = smp.slot;
      val(ins.word(2)) = v;
      return;
    }
    case spv::OpImage: {
      Value si = operand(ins.word(3));
      Value v;
      v.kind = Value::Image;
      v.slot = si.slot;
      val(ins.word(2)) = v;
      return;
    }
    case spv::OpImageSampleImplicitLod: case spv::OpImageSampleExplicitLod:
      translateSample(ins);
      return;
    case spv::OpCompositeConstruct: case spv::OpCompositeExtract: case spv::OpCompositeInsert:
    case spv::OpVectorShuffle: case spv::OpCopyObject:
      translateComposite(ins);
      return;
    case spv::OpExtInst: translateExt(ins); return;
    case spv::OpBitcast: {
      Value v = operand(ins.word(3));
      if (v.kind == Value::Reg && v.mod != ModNone) {
        uint32_t r = newTemp();
        emitOp(OpMov, {dst(r, v.n), src(v, v.n)});
        v = tempValue(r, v.n, type);
      }
      v.type = type;
      val(ins.word(2)) = v;
      return;
    }
    case spv::OpConvertSToF: emitUnary(ins, OpItof, ins.word(3)); return;
    case spv::OpConvertUToF: emitUnary(ins, OpUtof, ins.word(3)); return;
    case spv::OpConvertFToS: emitUnary(ins, OpFtoi, ins.word(3)); return;
    case spv::OpConvertFToU: emitUnary(ins, OpFtou, ins.word(3)); return;
    case spv::OpFNegate: {
      // A negated view of the operand: the sign goes on each reader's operand.
      Value v = operand(ins.word(3));
      if (v.kind == Value::Const) {
        for (uint32_t& b : v.bits) b ^= 0x80000000u;
      } else {
        v.mod = combine(v.mod, ModNeg);
      }
      v.type = type;
      val(ins.word(2)) = v;
      return;
    }
    case spv::OpSNegate: emitUnary(ins, OpIneg, ins.word(3)); return;
    case spv::OpNot: case spv::OpLogicalNot: emitUnary(ins, OpNot, ins.word(3)); return;
    case spv::OpFAdd: emitBinary(ins, OpAdd, ins.word(3), ins.word(4)); return;
    case spv::OpFSub: emitBinary(ins, OpAdd, ins.word(3), ins.word(4), false, ModNeg); return;
    case spv::OpFMul: case spv::OpVectorTimesScalar:
      emitBinary(ins, OpMul, ins.word(3), ins.word(4));
      return;
    case spv::OpFDiv: emitBinary(ins, OpDiv, ins.word(3), ins.word(4)); return;
    case spv::OpIAdd: emitBinary(ins, OpIadd, ins.word(3), ins.word(4)); return;
    case spv::OpISub: emitBinary(ins, OpIadd, ins.word(3), ins.word(4), false, ModNeg); return;
    case spv::OpIMul: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpImul, {nullDst(), dst(r, n), src(a, n), src(b, n)});
      return;
    }
    case spv::OpUDiv: case spv::OpUMod: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint32_t r = newTemp();
      define(ins, r);
      if (ins.opcode == spv::OpUDiv) emitOp(OpUdiv, {dst(r, n), nullDst(), src(a, n), src(b, n)});
      else emitOp(OpUdiv, {nullDst(), dst(r, n), src(a, n), src(b, n)});
      return;
    }
    case spv::OpSDiv: case spv::OpSRem: case spv::OpSMod: {
      // Unsigned division of the magnitudes, then the sign: of a ^ b for the
      // quotient, of a for the remainder (truncating division).
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint32_t ma = newTemp(), mb = newTemp(), q = newTemp(), s = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpImax, {dst(ma, n), src(a, n), src(a, n, ModNeg)});
      emitOp(OpImax, {dst(mb, n), src(b, n), src(b, n, ModNeg)});
      Value mav = tempValue(ma, n, type), mbv = tempValue(mb, n, type), qv = tempValue(q, n, type);
      if (ins.opcode == spv::OpSDiv) {
        emitOp(OpUdiv, {dst(q, n), nullDst(), src(mav, n), src(mbv, n)});
        emitOp(OpXor, {dst(s, n), src(a, n), src(b, n)});
      } else {
        emitOp(OpUdiv, {nullDst(), dst(q, n), src(mav, n), src(mbv, n)});
        emitOp(OpMov, {dst(s, n), src(a, n)});
      }
      Value sv = tempValue(s, n, type);
      emitOp(OpIlt, {dst(s, n), src(sv, n), immBits(0, n)});
      uint32_t neg = newTemp();
      Value negv = tempValue(neg, n, type);
      emitOp(OpIneg, {dst(neg, n), src(qv, n)});
      if (ins.opcode != spv::OpSMod) {
        emitOp(OpMovc, {dst(r, n), src(sv, n), src(negv, n), src(qv, n)});
        return;
      }
      // Floored modulo: a non-zero remainder whose sign differs from the
      // divisor's moves by one divisor.
      uint32_t t = newTemp(), w = newTemp();
      Value tv = tempValue(t, n, type), wv = tempValue(w, n, type);
      emitOp(OpMovc, {dst(t, n), src(sv, n), src(negv, n), src(qv, n)});
      emitOp(OpXor, {dst(w, n), src(tv, n), src(b, n)});
      emitOp(OpIlt, {dst(w, n), src(wv, n), immBits(0, n)});
      emitOp(OpIne, {dst(s, n), src(tv, n), immBits(0, n)});
      emitOp(OpAnd, {dst(w, n), src(wv, n), src(sv, n)});
      emitOp(OpIadd, {dst(q, n), src(tv, n), src(b, n)});
      emitOp(OpMovc, {dst(r, n), src(wv, n), src(qv, n), src(tv, n)});
      return;
    }
    case spv::OpFMod: case spv::OpFRem: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      Value tv = tempValue(t, n, type);
      emitOp(OpDiv, {dst(t, n), src(a, n), src(b, n)});
      emitOp(ins.opcode == spv::OpFMod ? OpRoundNi : OpRoundZ, {dst(t, n), src(tv, n)});
      emitOp(OpMad, {dst(r, n), src(tv, n, ModNeg), src(b, n), src(a, n)});
      return;
    }
    case spv::OpShiftLeftLogical: emitBinary(ins, OpIshl, ins.word(3), ins.word(4)); return;
    case spv::OpShiftRightLogical: emitBinary(ins, OpUshr, ins.word(3), ins.word(4)); return;
    case spv::OpShiftRightArithmetic: emitBinary(ins, OpIshr, ins.word(3), ins.word(4)); return;
    case spv::OpBitwiseAnd: case spv::OpLogicalAnd:
      emitBinary(ins, OpAnd, ins.word(3), ins.word(4));
      return;
    case spv::OpBitwiseOr: case spv::OpLogicalOr:
      emitBinary(ins, OpOr, ins.word(3), ins.word(4));
      return;
    case spv::OpBitwiseXor: case spv::OpLogicalNotEqual:
      emitBinary(ins, OpXor, ins.word(3), ins.word(4));
      return;
    case spv::OpLogicalEqual: case spv::OpIEqual: emitBinary(ins, OpIeq, ins.word(3), ins.word(4)); return;
    case spv::OpINotEqual: emitBinary(ins, OpIne, ins.word(3), ins.word(4)); return;
    case spv::OpSLessThan: emitBinary(ins, OpIlt, ins.word(3), ins.word(4)); return;
    case spv::OpSGreaterThanEqual: emitBinary(ins, OpIge, ins.word(3), ins.word(4)); return;
    case spv::OpSGreaterThan: emitBinary(ins, OpIlt, ins.word(3), ins.word(4), true); return;
    case spv::OpSLessThanEqual: emitBinary(ins, OpIge, ins.word(3), ins.word(4), true); return;
    case spv::OpULessThan: emitBinary(ins, OpUlt, ins.word(3), ins.word(4)); return;
    case spv::OpUGreaterThanEqual: emitBinary(ins, OpUge, ins.word(3), ins.word(4)); return;
    case spv::OpUGreaterThan: emitBinary(ins, OpUlt, ins.word(3), ins.word(4), true); return;
    case spv::OpULessThanEqual: emitBinary(ins, OpUge, ins.word(3), ins.word(4), true); return;
    case spv::OpFOrdEqual: case spv::OpFUnordEqual:
      emitBinary(ins, OpEq, ins.word(3), ins.word(4));
      return;
    case spv::OpFOrdNotEqual: case spv::OpFUnordNotEqual:
      emitBinary(ins, OpNe, ins.word(3), ins.word(4));
      return;
    case spv::OpFOrdLessThan: case spv::OpFUnordLessThan:
      emitBinary(ins, OpLt, ins.word(3), ins.word(4));
      return;
    case spv::OpFOrdGreaterThanEqual: case spv::OpFUnordGreaterThanEqual:
      emitBinary(ins, OpGe, ins.word(3), ins.word(4));
      return;
    case spv::OpFOrdGreaterThan: case spv::OpFUnordGreaterThan:
      emitBinary(ins, OpLt, ins.word(3), ins.word(4), true);
      return;
    case spv::OpFOrdLessThanEqual: case spv::OpFUnordLessThanEqual:
      emitBinary(ins, OpGe, ins.word(3), ins.word(4), true);
      return;
    case spv::OpIsNan: {
      Value a = operand(ins.word(3));
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpNe, {dst(r, n), src(a, n), src(a, n)});
      return;
    }
    case spv::OpIsInf: {
      Value a = operand(ins.word(3));
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpEq, {dst(r, n), src(a, n, ModAbs), immBits(0x7f800000, n)});
      return;
    }
    case spv::OpAny: case spv::OpAll: {
      Value a = operand(ins.word(3));
      uint32_t r = newTemp();
      define(ins, r);
      uint16_t op = ins.opcode == spv::OpAny ? OpOr : OpAnd;
      if (a.n == 1) {
        emitOp(OpMov, {dst(r, 1), src(a, 1)});
        return;
      }
      emitOp(op, {dst(r, 1), srcComp(a, 0, 1), srcComp(a, 1, 1)});
      for (uint8_t c = 2; c < a.n; ++c)
        emitOp(op, {dst(r, 1), src(tempValue(r, 1, type), 1), srcComp(a, c, 1)});
      return;
    }
    case spv::OpSelect: {
      Value cond = operand(ins.word(3)), x = operand(ins.word(4)), y = operand(ins.word(5));
      if (cond.kind == Value::Const) {
        val(ins.word(2)) = cond.bits[0] ? x : y;
        return;
      }
      // movc copies bits: a negated or absolute view is computed first.
      for (Value* v : {&x, &y}) {
        if (v->kind == Value::Reg && v->mod != ModNone) {
          uint32_t t = newTemp();
          emitOp(OpMov, {dst(t, n), src(*v, n)});
          *v = tempValue(t, n, v->type);
        }
      }
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpMovc, {dst(r, n), src(cond, n), src(x, n), src(y, n)});
      return;
    }
    case spv::OpDot: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint8_t m = a.n;
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(dotOpcode(m), {dst(r, 1), src(a, m), src(b, m)});
      return;
    }
    case spv::OpVectorTimesMatrix: case spv::OpMatrixTimesVector: {
      bool vm = ins.opcode == spv::OpVectorTimesMatrix;
      Value mat = operand(ins.word(vm ? 4 : 3)), v = operand(ins.word(vm ? 3 : 4));
      if (mat.kind != Value::Composite) {
        unsupported(ins, "only constant matrices");
        return;
      }
      uint32_t r = newTemp();
      define(ins, r);
      uint32_t cols = uint32_t(mat.parts.size());
      if (cols < 2 || cols > 4 || (vm && cols != n) || (!vm && cols != v.n)) {
        fail("malformed matrix product");
        return;
      }
      if (vm) {
        // result[i] = dot(v, column i)
        uint8_t m = v.n;
        uint16_t op = m == 2 ? OpDp2 : m == 3 ? OpDp3 : OpDp4;
        for (uint32_t i = 0; i < cols; ++i) {
          Operand d = tempDst(r, uint8_t(1u << i));
          Operand s1 = src(v, m), s2 = src(operand(mat.parts[i]), m);
          emitOp(op, {d, s1, s2});
        }
      } else {
        // result = sum over i of column i * v[i]
        Value acc = tempValue(r, n, type);
        for (uint32_t i = 0; i < cols; ++i) {
          Value col = operand(mat.parts[i]);
          if (i == 0) emitOp(OpMul, {dst(r, n), src(col, n), srcComp(v, uint8_t(i), n)});
          else emitOp(OpMad, {dst(r, n), src(col, n), srcComp(v, uint8_t(i), n), src(acc, n)});
        }
      }
      return;
    }
    case spv::OpDPdx: emitUnary(ins, OpDerivRtx, ins.word(3)); return;
    case spv::OpDPdy: emitUnary(ins, OpDerivRty, ins.word(3)); return;
    case spv::OpDPdxCoarse: emitUnary(ins, OpDerivRtxCoarse, ins.word(3)); return;
    case spv::OpDPdyCoarse: emitUnary(ins, OpDerivRtyCoarse, ins.word(3)); return;
    case spv::OpDPdxFine: emitUnary(ins, OpDerivRtxFine, ins.word(3)); return;
    case spv::OpDPdyFine: emitUnary(ins, OpDerivRtyFine, ins.word(3)); return;
    case spv::OpFwidth: case spv::OpFwidthCoarse: case spv::OpFwidthFine: {
      Value a = operand(ins.word(3));
      uint32_t x = newTemp(), y = newTemp(), r = newTemp();
      define(ins, r);
      bool coarse = ins.opcode == spv::OpFwidthCoarse;
      bool fine = ins.opcode == spv::OpFwidthFine;
      emitOp(coarse ? OpDerivRtxCoarse : fine ? OpDerivRtxFine : OpDerivRtx, {dst(x, n), src(a, n)});
      emitOp(coarse ? OpDerivRtyCoarse : fine ? OpDerivRtyFine : OpDerivRty, {dst(y, n), src(a, n)});
      emitOp(OpAdd, {dst(r, n), src(tempValue(x, n, type), n, ModAbs),
                     src(tempValue(y, n, type), n, ModAbs)});
      return;
    }
    default:
      unsupported(ins);
  }
}

// ---------------------------------------------------------------------------
// Structured control flow

bool Translator::unreachableBlock(uint32_t label) {
  const Block& b = blocks_[blockOf(label)];
  return b.body.empty() && b.phis.empty() && ins_[b.terminator].opcode == spv::OpUnreachable;
}

void Translator::emitBlockBody(uint32_t block) {
  for (uint32_t i : blocks_[block].body) {
    if (failed()) return;
    translateInstruction(ins_[i]);
  }
}

void Translator::emitEdge(uint32_t from, uint32_t to) {
  const Block& target = blocks_[blockOf(to)];
  if (target.phis.empty()) return;
  std::set<uint32_t> phiIds;
  for (uint32_t i : target.phis) phiIds.insert(ins_[i].word(2));
  // Parallel copy: a source that is itself one of these phis is read first.
  std::map<uint32_t, Value> sources;
  for (uint32_t i : target.phis) {
    const Instruction& phi = ins_[i];
    uint32_t incoming = 0;
    for (uint32_t w = 3; w + 1 < phi.count; w += 2)
      if (phi.word(w + 1) == from) incoming = phi.word(w);
    if (!incoming) {
      fail("phi %" + std::to_string(phi.word(2)) + " has no value for block %" +
           std::to_string(from));
      return;
    }
    Value v = operand(incoming);
    if (phiIds.count(incoming)) {
      uint32_t t = newTemp();
      emitOp(OpMov, {dst(t, v.n), src(v, v.n)});
      v = tempValue(t, v.n, v.type);
    }
    sources[phi.word(2)] = v;
  }
  for (uint32_t i : target.phis) {
    const Instruction& phi = ins_[i];
    const Value& phiValue = val(phi.word(2));
    const Value& v = sources[phi.word(2)];
    emitOp(OpMov, {dst(phiValue.reg, phiValue.n), src(v, phiValue.n)});
  }
}

// Reports a branch that leaves an enclosing loop from inside a nested one.
bool Translator::leavesOuterLoop(uint32_t from, uint32_t target) {
  for (size_t i = 0; i + 1 < loops_.size(); ++i) {
    if (targetsLoop(loops_[i], target)) {
      fail("block %" + std::to_string(from) + " leaves an enclosing loop from inside a " +
           "nested construct, which is not supported");
      return true;
    }
  }
  return false;
}

bool Translator::isExit(uint32_t target, uint32_t selMerge) const {
  return target == selMerge || (!loops_.empty() && targetsLoop(loops_.back(), target));
}

// After a construct whose merge block is mergeLabel: true, with blockIndex
// set, when the chain carries on there; false when the merge ends the chain.
bool Translator::followMerge(uint32_t from, uint32_t mergeLabel, uint32_t selMerge,
                             uint32_t& blockIndex) {
  if (mergeLabel == selMerge || unreachableBlock(mergeLabel)) return false;
  if (isExit(mergeLabel, selMerge)) {
    emitArm(from, mergeLabel, selMerge);
    return false;
  }
  blockIndex = blockOf(mergeLabel);
  return true;
}

// A branch from `from` to `target` inside an if arm or at a chain's end.
void Translator::emitArm(uint32_t from, uint32_t target, uint32_t selMerge) {
  if (failed()) return;
  if (!loops_.empty()) {
    LoopContext& l = loops_.back();
    if (target == l.merge) {
      emitEdge(from, target);
      emitOp(OpBreak, {});
      return;
    }
    if (target == l.header) {  // back edge from the continue construct
      emitEdge(from, target);
      return;
    }
    if (target == l.cont) {
      emitEdge(from, target);
      bool natural = l.ifDepth == 0;
      emitContinueConstruct(l);
      if (!natural) emitOp(OpContinue, {});
      return;
    }
  }
  if (target == selMerge) {
    emitEdge(from, target);
    return;
  }
  if (leavesOuterLoop(from, target)) return;
  emitEdge(from, target);
  emitChain(blockOf(target), selMerge);
}

void Translator::emitContinueConstruct(LoopContext& loop) {
  if (loop.cont == loop.header) return;
  // The continue construct is emitted at each place that continues; it ends
  // by branching back to the header (or conditionally leaving the loop).
  uint32_t saved = loop.cont;
  loop.cont = ~0u;  // a branch to it from inside would be malformed
  emitChain(blockOf(saved), ~0u);
  loop.cont = saved;
}

void Translator::emitLoop(uint32_t headerIndex) {
  const Block& header = blocks_[headerIndex];
  const Instruction& merge = ins_[header.merge];
  LoopContext loop{header.label, merge.word(1), merge.word(2), 0};
  emitOp(OpLoop, {});
  loops_.push_back(loop);
  emitBlockBody(headerIndex);
  const Instruction& term = ins_[header.terminator];
  if (term.opcode == spv::OpBranch) {
    emitArm(header.label, term.word(1), ~0u);
  } else if (term.opcode == spv::OpBranchConditional) {
    uint32_t t = term.word(2), f = term.word(3);
    Value cond = operand(term.word(1));
    uint32_t exitTarget, next;
    bool exitWhenTrue;
    if (f == loop.merge) { exitTarget = f; next = t; exitWhenTrue = false; }
    else if (t == loop.merge) { exitTarget = t; next = f; exitWhenTrue = true; }
    else {
      fail("loop header %" + std::to_string(header.label) + " branches without leaving the loop");
      return;
    }
    const Block& mb = blocks_[blockOf(exitTarget)];
    uint32_t controls = exitWhenTrue ? kTestNonZeroBit : 0;
    if (mb.phis.empty()) {
      emitOp(OpBreakc, {scalarSrc(cond)}, controls);
    } else {
      emitOp(OpIf, {scalarSrc(cond)}, controls);
      emitEdge(header.label, exitTarget);
      emitOp(OpBreak, {});
      emitOp(OpEndif, {});
    }
    emitArm(header.label, next, ~0u);
  } else {
    fail("loop header %" + std::to_string(header.label) + " ends unexpectedly");
  }
  loops_.pop_back();
  emitOp(OpEndloop, {});
}

void Translator::emitChain(uint32_t blockIndex, uint32_t selMerge) {
  // Malformed control flow could otherwise recurse or loop without end.
  struct Depth {
    int& d;
    explicit Depth(int& x) : d(x) { ++d; }
    ~Depth() { --d; }
  } depth(depth_);
  if (depth_ > 200) {
    fail("control flow nested too deeply or not structured");
    return;
  }
  for (;;) {
    if (failed()) return;
    if (++steps_ > 200000 || body_.size() > 4000000) {
      fail("control flow does not follow the structured rules (no end reached)");
      return;
    }
    const Block& b = blocks_[blockIndex];
    if (b.merge != ~0u && ins_[b.merge].opcode == spv::OpLoopMerge) {
      emitLoop(blockIndex);
      if (!followMerge(b.label, ins_[b.merge].word(1), selMerge, blockIndex)) return;
      continue;
    }
    emitBlockBody(blockIndex);
    if (failed()) return;
    const Instruction& term = ins_[b.terminator];
    switch (term.opcode) {
      case spv::OpReturn:
        emitOp(OpRet, {});
        return;
      case spv::OpUnreachable:
        return;
      case spv::OpKill:
        unsupported(term, "discard");
        return;
      case spv::OpBranch: {
        uint32_t t = term.word(1);
        if (isExit(t, selMerge)) {
          emitArm(b.label, t, selMerge);
          return;
        }
        if (leavesOuterLoop(b.label, t)) return;
        emitEdge(b.label, t);
        blockIndex = blockOf(t);
        continue;
      }
      case spv::OpBranchConditional: {
        Value cond = operand(term.word(1));
        uint32_t t = term.word(2), f = term.word(3);
        if (b.merge != ~0u) {
          uint32_t m = ins_[b.merge].word(1);
          openIf(scalarSrc(cond), kTestNonZeroBit);
          emitArm(b.label, t, m);
          size_t beforeElse = body_.size();
          emitOp(OpElse, {});
          emitArm(b.label, f, m);
          if (body_.size() == beforeElse + 1) body_.pop_back();
          closeIf();
          if (!followMerge(b.label, m, selMerge, blockIndex)) return;
          continue;
        }
        // No merge: a conditional break / continue / back edge.
        bool tExit = isExit(t, selMerge), fExit = isExit(f, selMerge);
        if (t == f) {
          emitArm(b.label, t, selMerge);
          return;
        }
        if (!tExit && !fExit) {
          fail("block %" + std::to_string(b.label) +
               " branches conditionally without structured merge information");
          return;
        }
        openIf(scalarSrc(cond), tExit ? kTestNonZeroBit : 0);
        emitArm(b.label, tExit ? t : f, selMerge);
        if (tExit && fExit) {
          emitOp(OpElse, {});
          emitArm(b.label, f, selMerge);
          closeIf();
          return;
        }
        closeIf();
        uint32_t next = tExit ? f : t;
        emitEdge(b.label, next);
        blockIndex = blockOf(next);
        continue;
      }
      case spv::OpSwitch: {
        // spirv-opt's merge-return wraps code in a switch with only a default
        // target, as a block that can be left early: a loop run once, whose
        // branches to the merge are breaks.
        if (term.count != 3 || b.merge == ~0u || ins_[b.merge].opcode != spv::OpSelectionMerge) {
          unsupported(term, "switch statements with cases");
          return;
        }
        uint32_t m = ins_[b.merge].word(1);
        emitOp(OpLoop, {});
        loops_.push_back(LoopContext{~0u, m, ~0u, 0});
        emitArm(b.label, term.word(2), ~0u);
        loops_.pop_back();
        if (body_.empty() || body_.back().opcode != OpBreak) emitOp(OpBreak, {});
        emitOp(OpEndloop, {});
        if (!followMerge(b.label, m, selMerge, blockIndex)) return;
        continue;
      }
      default:
        unsupported(term);
        return;
    }
  }
}

// Immediates never carry operand modifiers: negation or absolute value is
// applied to the constant itself, as an integer for integer instructions.
bool integerInstruction(uint16_t op) {
  switch (op) {
    case OpIadd: case OpImax: case OpImin: case OpIeq: case OpIne: case OpIlt: case OpIge:
    case OpImul: case OpImad: case OpIneg: case OpIshl: case OpIshr: case OpUshr: case OpAnd:
    case OpOr: case OpXor: case OpNot: case OpUdiv: case OpUlt: case OpUge: case OpUmax:
    case OpUmin: case OpItof: case OpUtof: case OpUmul: case OpUmad:
      return true;
    default:
      return false;
  }
}

void foldImmediateModifiers(std::vector<dxbc::Instruction>& body) {
  for (dxbc::Instruction& ins : body) {
    bool integer = integerInstruction(ins.opcode);
    for (Operand& o : ins.operands) {
      if (o.type != OperandImmediate32 || o.modifier == ModNone) continue;
      for (uint32_t& bits : o.imm) {
        if (integer) {
          int32_t v = int32_t(bits);
          if (o.modifier & ModAbs) v = v < 0 ? int32_t(0u - uint32_t(v)) : v;
          if (o.modifier & ModNeg) v = int32_t(0u - uint32_t(v));
          bits = uint32_t(v);
        } else {
          if (o.modifier & ModAbs) bits &= 0x7fffffffu;
          if (o.modifier & ModNeg) bits ^= 0x80000000u;
        }
      }
      o.modifier = ModNone;
    }
  }
}

// ---------------------------------------------------------------------------
// Declarations

void Translator::buildDeclarations(std::vector<dxbc::Instruction>& decls, uint32_t temps) {
  auto add = [&](uint16_t op, std::vector<Operand> ops, std::vector<uint32_t> extra,
                 uint32_t controls = 0) {
    dxbc::Instruction d;
    d.opcode = op;
    d.operands = std::move(ops);
    d.extra = std::move(extra);
    d.controls = controls;
    decls.push_back(std::move(d));
  };
  add(OpDclGlobalFlags, {}, {}, 1u << 11);  // refactoringAllowed
  if (!icb_.empty()) {
    dxbc::Instruction d;
    d.opcode = OpCustomData;
    d.controls = 3u << 11;  // immediate constant buffer
    d.customData = icb_;
    decls.push_back(std::move(d));
  }
  if (cbSlot_ >= 0) {
    uint8_t id4[4] = {0, 1, 2, 3};
    Operand o = regSrc(OperandConstantBuffer, uint32_t(cbSlot_), id4);
    o.indexCount = 2;
    o.index[1].value = cbRows_;
    add(OpDclConstantBuffer, {o}, {}, cbDynamic_ ? 1u << 11 : 0);
  }
  for (auto& s : samplers_) add(OpDclSampler, {slotOperand(OperandSampler, s.first)}, {});
  for (auto& t : textures_)  // texture2d, float x4
    add(OpDclResource, {slotOperand(OperandResource, t.first)}, {0x5555}, 3u << 11);
  for (const SignatureElement& e : inputs_) {
    if (!e.used) continue;
    Operand o = tempDst(e.reg, e.used);
    o.type = OperandInput;
    if (!pixel_) {
      if (e.systemValue == SvVertexId) add(OpDclInputSgv, {o}, {SvVertexId});
      else add(OpDclInput, {o}, {});
    } else if (e.systemValue == SvPosition) {
      add(OpDclInputPsSiv, {o}, {SvPosition}, uint32_t(InterpLinearNoPerspective) << 11);
    } else {
      add(OpDclInputPs, {o}, {}, uint32_t(e.interpolation) << 11);
    }
  }
  for (const SignatureElement& e : outputs_) {
    Operand o = tempDst(e.reg, e.mask);
    o.type = OperandOutput;
    if (e.systemValue == SvPosition) add(OpDclOutputSiv, {o}, {SvPosition});
    else add(OpDclOutput, {o}, {});
  }
  if (temps) add(OpDclTemps, {}, {temps});
  for (auto& a : arrays_)
    if (!a.second.constant) add(OpDclIndexableTemp, {}, {a.second.base, a.second.length, 4});
}

// ---------------------------------------------------------------------------
// Signatures, arrays and the whole translation

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

}  // namespace

bool translateSpirv(const uint32_t* words, size_t count, const std::string& sourceName,
                    std::vector<uint8_t>& container, std::string& error) {
  Translator t(sourceName);
  return t.run(words, count, container, error);
}

}  // namespace dxbc
