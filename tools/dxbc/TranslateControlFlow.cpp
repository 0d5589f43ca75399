// Structured control flow: blocks emitted in order as if/else, loops with
// break and continue, and the phi copies on each edge.
#include "TranslatorState.h"

namespace dxbc {
namespace translate {
namespace {

bool targetsLoop(const LoopContext& loop, uint32_t target) {
  return target == loop.merge || target == loop.cont || target == loop.header;
}

}  // namespace

bool Translator::unreachableBlock(uint32_t label) {
  const Block& b = blocks_[blockOf(label)];
  return b.body.empty() && b.phis.empty() && ins_[b.terminator].opcode == spv::OpUnreachable;
}

void Translator::emitBlockBody(uint32_t block) {
  for (uint32_t i : blocks_[block].body) {
    if (failed()) return;
    size_t first = body_.size();
    translateInstruction(ins_[i]);
    // HLSL `precise` reaches SPIR-V as NoContraction on each result that
    // feeds the precise value; everything computing it is marked.
    if (ins_[i].opcode != spv::OpStore && noContraction_.count(ins_[i].word(2)))
      markPrecise(first);
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
  closeLoop();
}

// Ends a loop. A body that ends in an unconditional break is legal, but
// vkd3d-shader (1.2, Debian 12) then ends the block twice and writes invalid
// SPIR-V; leaving through breakc_nz on a register that holds true means the
// same to every reader.
void Translator::closeLoop() {
  if (!body_.empty() && body_.back().opcode == OpBreak) {
    body_.pop_back();
    uint32_t t = newTemp();
    emitOp(OpMov, {dst(t, 1), immBits(0xffffffffu, 1)});
    emitOp(OpBreakc, {scalarSrc(tempValue(t, 1, 0))}, kTestNonZeroBit);
  }
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
        closeLoop();
        if (!followMerge(b.label, m, selMerge, blockIndex)) return;
        continue;
      }
      default:
        unsupported(term);
        return;
    }
  }
}

}  // namespace translate
}  // namespace dxbc
