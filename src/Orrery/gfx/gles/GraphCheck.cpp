#include "Orrery/gfx/Gles.h"

#include "Orrery/gfx/GraphRuntime.h"

#include <cstdio>

namespace Orrery::Gfx {

bool allProgramsBuilt(GraphRuntime& runtime, char* reason, size_t reasonSize) {
    for (uint32_t i = 0; i < runtime.passes.count; ++i) {
        const PassEntry& entry = runtime.passes[i];
        if (entry.kind != PassKind::Draw || !entry.pass) {
            std::snprintf(reason, reasonSize, "pass %u of the list is not a draw pass", i);
            return false;
        }
        const DrawPass& pass = *static_cast<const DrawPass*>(entry.pass);
        if (!pass.program.bindings.program) {
            std::snprintf(reason, reasonSize, "pass %u of the list has no program (it did not compile or link)", i);
            return false;
        }
    }
    return true;
}

}  // namespace Orrery::Gfx
