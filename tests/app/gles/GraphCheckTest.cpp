// The capture's check of the assembled graph: a hole in it is reported with
// a one-line reason before the first frame, never drawn as a black layer.
#include <gtest/gtest.h>

#include <string>

#include "GlesTestContext.h"
#include "app/gles/GraphCheck.h"

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
    std::string check(GraphRuntime& runtime) {
        char reason[256] = "";
        return checkAssembledGraph(runtime, reason, sizeof reason) ? "complete" : reason;
    }
};

TEST_F(GraphCheck, ACompleteGraphPasses) {
    GraphRuntime runtime;
    TextureRuntime* a = makeTexture(4, 4, FormatCode::R8G8B8A8Unorm);
    TextureRuntime* b = makeTexture(4, 4, FormatCode::R8G8B8A8Unorm);
    runtime.addPass(PassKind::Draw, makePass(kCopy, b, {a}));
    EXPECT_EQ(check(runtime), "complete");
}

TEST_F(GraphCheck, EachKindOfHoleIsNamed) {
    TextureRuntime* a = makeTexture(4, 4, FormatCode::R8G8B8A8Unorm);
    TextureRuntime* b = makeTexture(4, 4, FormatCode::R8G8B8A8Unorm);
    {
        GraphRuntime runtime;
        runtime.addPass(PassKind::Draw, makePass(kCopy, b, {a}));
        runtime.addPass(PassKind::Draw, makePass(kCopy, a, {nullptr}));
        EXPECT_EQ(check(runtime), "pass 1 of the list has nothing to read at input t0");
    }
    {
        // A texture whose creation failed has no GL texture behind it.
        TextureRuntime* empty = new TextureRuntime();
        GraphRuntime runtime;
        runtime.addPass(PassKind::Draw, makePass(kCopy, empty, {a}));
        EXPECT_EQ(check(runtime), "pass 0 of the list has no texture behind target 0");
    }
    {
        GraphRuntime runtime;
        auto* unbuilt = new DrawPass();  // configured with no program text
        DrawPassDesc desc;
        drawPassDescInit(desc);
        growPush(desc.targets, TargetRef{b, true});
        unbuilt->configure(desc);
        drawPassDescFree(desc);
        runtime.addPass(PassKind::Draw, unbuilt);
        EXPECT_EQ(check(runtime), "pass 0 of the list has no program (it did not compile or link)");
    }
    {
        GraphRuntime runtime;
        runtime.addPass(PassKind::Compute, new ComputePass());
        EXPECT_EQ(check(runtime), "pass 0 of the list is not a draw pass");
    }
}

}  // namespace
