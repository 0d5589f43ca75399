#include "DxbcStructure.h"

#include <algorithm>
#include <map>

namespace dxbcstructure {
namespace {

bool isDeclaration(uint16_t op) {
    return op == dxbc::OpCustomData || (op >= dxbc::OpDclResource && op <= dxbc::OpDclGlobalFlags);
}

std::string operandText(const dxbc::Operand& o) {
    return "operand type " + std::to_string(o.type) + " index " + std::to_string(o.index[0].value);
}

}  // namespace

Report checkProgram(const dxbc::Program& program) {
    Report r;
    uint32_t temps = 0;
    bool icb = false;
    std::set<uint32_t> inputs, outputs;
    std::map<uint32_t, uint32_t> indexable;  // x# -> size
    size_t at = 0;
    const auto& code = program.code;
    for (; at < code.size() && isDeclaration(code[at].opcode); ++at) {
        const dxbc::Instruction& ins = code[at];
        const dxbc::Operand* o = ins.operands.empty() ? nullptr : &ins.operands[0];
        switch (ins.opcode) {
        case dxbc::OpCustomData: icb = true; break;
        case dxbc::OpDclTemps: temps = ins.extra.empty() ? 0 : ins.extra[0]; break;
        case dxbc::OpDclIndexableTemp:
            if (ins.extra.size() == 3) indexable[ins.extra[0]] = ins.extra[1];
            break;
        case dxbc::OpDclSampler: if (o) r.samplers.insert(o->index[0].value); break;
        case dxbc::OpDclResource: if (o) r.resources.insert(o->index[0].value); break;
        case dxbc::OpDclConstantBuffer:
            if (o) {
                r.constantBufferSlot = static_cast<int32_t>(o->index[0].value);
                r.constantBufferVectors = o->index[1].value;
            }
            break;
        case dxbc::OpDclInput: case dxbc::OpDclInputSgv: case dxbc::OpDclInputSiv:
        case dxbc::OpDclInputPs: case dxbc::OpDclInputPsSgv: case dxbc::OpDclInputPsSiv:
            if (o) inputs.insert(o->index[0].value);
            break;
        case dxbc::OpDclOutput: case dxbc::OpDclOutputSgv: case dxbc::OpDclOutputSiv:
            if (o) outputs.insert(o->index[0].value);
            break;
        default: break;
        }
    }
    for (; at < code.size(); ++at) {
        const dxbc::Instruction& ins = code[at];
        if (isDeclaration(ins.opcode)) {
            r.problems.push_back(std::string("declaration after code: ") + dxbc::opcodeName(ins.opcode));
            continue;
        }
        ++r.instructions;
        if (ins.opcode == dxbc::OpLoop) ++r.loops;
        for (const dxbc::Operand& o : ins.operands) {
            for (uint8_t k = 0; k < o.indexCount && k < 3; ++k)
                if (o.index[k].relative && o.index[k].relReg >= temps)
                    r.problems.push_back("relative index through undeclared r" + std::to_string(o.index[k].relReg));
            uint32_t i0 = o.index[0].value;
            bool ok = true;
            switch (o.type) {
            case dxbc::OperandTemp: ok = i0 < temps; break;
            case dxbc::OperandInput: ok = inputs.count(i0) > 0; break;
            case dxbc::OperandOutput: ok = outputs.count(i0) > 0; break;
            case dxbc::OperandSampler: ok = r.samplers.count(i0) > 0; break;
            case dxbc::OperandResource: ok = r.resources.count(i0) > 0; break;
            case dxbc::OperandImmediateConstantBuffer: ok = icb; break;
            case dxbc::OperandIndexableTemp: ok = indexable.count(i0) > 0; break;
            case dxbc::OperandConstantBuffer:
                ok = static_cast<int32_t>(i0) == r.constantBufferSlot &&
                     (o.index[1].relative || o.index[1].value < r.constantBufferVectors);
                break;
            default: break;
            }
            if (!ok)
                r.problems.push_back(std::string(dxbc::opcodeName(ins.opcode)) + ": undeclared " + operandText(o));
        }
    }
    return r;
}

namespace {

struct Walker {
    const std::vector<dxbc::Instruction>& code;
    const std::vector<uint32_t>& trips;
    size_t at;
    size_t loop = 0;
    bool ok = true;

    // Cost of instructions up to (not including) an else/endif/endloop.
    uint64_t block() {
        uint64_t cost = 0;
        while (at < code.size() && ok) {
            uint16_t op = code[at].opcode;
            if (op == dxbc::OpElse || op == dxbc::OpEndif || op == dxbc::OpEndloop) return cost;
            ++at;
            if (op == dxbc::OpIf) {
                uint64_t thenCost = block(), elseCost = 0;
                if (at < code.size() && code[at].opcode == dxbc::OpElse) {
                    ++at;
                    elseCost = block();
                }
                ++at;  // endif
                cost += 1 + std::max(thenCost, elseCost);
            } else if (op == dxbc::OpLoop) {
                if (loop >= trips.size()) {
                    ok = false;
                    return cost;
                }
                uint64_t n = trips[loop++];
                uint64_t body = block();
                ++at;  // endloop
                // The last pass only runs the exit test (about two instructions).
                cost += 1 + n * (body + 1) + 2;
            } else {
                cost += 1;
            }
        }
        return cost;
    }
};

}  // namespace

bool executedInstructions(const dxbc::Program& program, const std::vector<uint32_t>& loopTrips, uint64_t& count) {
    size_t first = 0;
    while (first < program.code.size() && isDeclaration(program.code[first].opcode)) ++first;
    Walker w{program.code, loopTrips, first};
    count = w.block();
    return w.ok && w.loop == loopTrips.size() && w.at == program.code.size();
}

}  // namespace dxbcstructure
