// The captures' checks of the assembled graph on OpenGL ES: a program the
// driver refused, and a target or input whose texture was not created (a GL
// name of 0), are reported in one line before the first frame.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "GlesTestContext.h"
#include "Orrery/gfx/Gles.h"
#include "content/scene/Show.h"
#include "content/scene/ShowCheck.h"

using namespace Orrery::Gfx;

namespace {

const char* kCopy =
    "#version 300 es\nprecision highp float;\nuniform highp sampler2D thaw_t0_s3;\nin vec2 thaw_v0;\n"
    "layout(location = 0) out vec4 o;\nvoid main() { o = textureLod(thaw_t0_s3, thaw_v0, 0.0); }\n";

class GraphCheck : public ::testing::Test {
protected:
    void SetUp() override {
        const char* error = nullptr;
        ASSERT_TRUE(ensureGlesTestContext(&error)) << error;
    }
    static std::string programs(GraphRuntime& runtime) {
        char reason[256] = "";
        return allProgramsBuilt(runtime, reason, sizeof reason) ? "complete" : reason;
    }
    static std::string resources(GraphRuntime& runtime) {
        Show show = {};
        show.runtime = &runtime;
        char reason[256] = "";
        return showResourcesComplete(show, reason, sizeof reason) ? "complete" : reason;
    }
};

TEST_F(GraphCheck, ACompleteGraphPassesBothChecks) {
    GraphRuntime runtime;
    TextureRuntime* a = makeTexture(4, 4, FormatCode::R8G8B8A8Unorm);
    TextureRuntime* b = makeTexture(4, 4, FormatCode::R8G8B8A8Unorm, true);
    runtime.addPass(PassKind::Draw, makePass(kCopy, b, {a}));
    runtime.addPass(PassKind::Draw, makePass(kCopy, a, {b}));
    EXPECT_EQ(programs(runtime), "complete");
    EXPECT_EQ(resources(runtime), "complete");
}

TEST_F(GraphCheck, AProgramTheDriverRefusedIsNamed) {
    TextureRuntime* b = makeTexture(4, 4, FormatCode::R8G8B8A8Unorm);
    GraphRuntime runtime;
    auto* unbuilt = new DrawPass();
    DrawPassDesc desc;
    drawPassDescInit(desc);
    const char* broken = "#version 300 es\nvoid main() { gl_Position = nonsense; }\n";
    desc.program.vertexBytecode = broken;
    desc.program.vertexBytecodeSize = uint32_t(std::strlen(broken));
    desc.program.pixelBytecode = kCopy;
    desc.program.pixelBytecodeSize = uint32_t(std::strlen(kCopy));
    growPush(desc.targets, TargetRef{b, true});
    unbuilt->configure(desc);
    drawPassDescFree(desc);
    runtime.addPass(PassKind::Draw, makePass(kCopy, b, {b}));
    runtime.addPass(PassKind::Draw, unbuilt);
    EXPECT_EQ(programs(runtime), "pass 1 of the list has no program (it did not compile or link)");

    GraphRuntime withCompute;
    withCompute.addPass(PassKind::Compute, new ComputePass());
    EXPECT_EQ(programs(withCompute), "pass 0 of the list is not a draw pass");
}

TEST_F(GraphCheck, ATextureThatWasNotCreatedIsNamed) {
    TextureRuntime* a = makeTexture(4, 4, FormatCode::R8G8B8A8Unorm);
    {
        GraphRuntime runtime;
        runtime.addPass(PassKind::Draw, makePass(kCopy, a, {nullptr}));
        EXPECT_EQ(resources(runtime), "the present pass has no input 0 (its texture was not created)");
    }
    {
        // Never given a descriptor on the context: no GL texture behind it.
        TextureRuntime* empty = new TextureRuntime();
        GraphRuntime runtime;
        runtime.addPass(PassKind::Draw, makePass(kCopy, empty, {a}));
        EXPECT_EQ(resources(runtime), "the present pass has no render target 0 (its texture was not created)");
    }
}

}  // namespace
