#include "app/gles/GraphCheck.h"

#include <cstdio>

using namespace Orrery::Gfx;

bool checkAssembledGraph(GraphRuntime& runtime, char* reason, size_t reasonSize) {
    for (uint32_t i = 0; i < runtime.passes.count; ++i) {
        const PassEntry& entry = runtime.passes[i];
        if (entry.kind != PassKind::Draw || !entry.pass) {
            std::snprintf(reason, reasonSize, "pass %u of the list is not a draw pass", i);
            return false;
        }
        DrawPass& pass = *static_cast<DrawPass*>(entry.pass);
        if (!pass.program.program) {
            std::snprintf(reason, reasonSize, "pass %u of the list has no program (it did not compile or link)", i);
            return false;
        }
        if (pass.desc.targets.count == 0) {
            std::snprintf(reason, reasonSize, "pass %u of the list has no target", i);
            return false;
        }
        for (uint32_t j = 0; j < pass.desc.targets.count; ++j) {
            Resource* target = pass.desc.targets[j].resource;
            if (!target || !target->getRenderTargetView(false)) {
                std::snprintf(reason, reasonSize, "pass %u of the list has no texture behind target %u", i, j);
                return false;
            }
        }
        for (uint32_t k = 0; k < pass.desc.inputs.count; ++k) {
            Resource* input = pass.desc.inputs[k].resource;
            if (!input || !input->getShaderResourceView(true)) {
                std::snprintf(reason, reasonSize, "pass %u of the list has nothing to read at input t%u", i, k);
                return false;
            }
        }
    }
    return true;
}
