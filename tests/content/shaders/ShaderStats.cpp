// Prints, for every embedded program, its size, its instruction count and
// the instructions one pixel executes along its longest path.
//   thaw_shader_stats
#include <cstdio>
#include <string>
#include <vector>

#include "Disassembler.h"
#include "DxbcStructure.h"
#include "content/shaders/ShaderBlobs.h"

namespace {

struct Entry {
    const char* name;
    const unsigned char* bytes;
    unsigned int size;
    std::vector<uint32_t> loopTrips;  // in order of appearance in the code
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::printf("usage: %s\n  Prints size, instruction count and executed instructions per pixel\n"
                    "  of every embedded shader program.\n", argv[0]);
        return std::string(argv[1]) == "--help" ? 0 : 1;
    }
#define ENTRY(n, ...) Entry{#n, k##n, k##n##Size, __VA_ARGS__}
    const Entry entries[] = {
        ENTRY(ScreenTriangleShortVS, {}),
        ENTRY(ScreenTriangleLongVS, {}),
        ENTRY(PresentVS, {}),
        ENTRY(PresentPS, {}),
        // Fill: 4 glyph look-ups; outline: 4 probes of 4 look-ups; trail: 5 steps.
        ENTRY(ScrollerPS, {4, 4, 4, 5}),
        ENTRY(PalettePS, {}),
        ENTRY(CloudsPS, {3}),
        ENTRY(BackgroundPS, {}),
        ENTRY(BlurPS, {17, 17}),
        ENTRY(CompositePS, {}),
        ENTRY(RaysPS, {250}),
        ENTRY(CrtPS, {}),
    };
#undef ENTRY
    int status = 0;
    std::printf("%-22s %8s %13s %10s %6s %22s\n", "program", "bytes", "instructions", "temps", "loops",
                "executed (per pixel)");
    for (const Entry& e : entries) {
        dxbc::ContainerView view;
        std::string error;
        if (!dxbc::readShader(e.bytes, e.size, view, error)) {
            std::fprintf(stderr, "%s: %s\n", e.name, error.c_str());
            status = 1;
            continue;
        }
        dxbcstructure::Report r = dxbcstructure::checkProgram(view.program);
        uint64_t executed = 0;
        bool counted = dxbcstructure::executedInstructions(view.program, e.loopTrips, executed);
        uint32_t temps = 0;
        for (const auto& ins : view.program.code)
            if (ins.opcode == dxbc::OpDclTemps && !ins.extra.empty()) temps = ins.extra[0];
        std::printf("%-22s %8u %13u %10u %6u %22s\n", e.name, e.size, r.instructions, temps, r.loops,
                    counted ? std::to_string(executed).c_str() : "(loop count mismatch)");
        if (!counted) status = 1;
    }
    return status;
}
