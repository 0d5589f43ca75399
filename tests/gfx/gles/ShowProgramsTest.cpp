// Every program of the show, as GLSL ES 3.00 text, compiled and linked on the
// driver (Mesa through EGL, no display); a failure prints the driver's log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "GlesTestContext.h"
#include "content/shaders/ShaderBlobs.h"

using namespace Orrery::Gfx;

namespace {

struct Text {
    const unsigned char* bytes;
    unsigned int size;
    std::string str() const { return std::string(reinterpret_cast<const char*>(bytes), size); }
};

struct ShowProgram {
    const char* name;
    Text vertex;
    Text pixel;
};

#define THAW_TEXT(name) Text{k##name, k##name##Size}
const ShowProgram kPrograms[] = {
    {"scroller", THAW_TEXT(ScreenTriangleLongVS), THAW_TEXT(ScrollerPS)},
    {"palette", THAW_TEXT(ScreenTriangleLongVS), THAW_TEXT(PalettePS)},
    {"clouds", THAW_TEXT(ScreenTriangleShortVS), THAW_TEXT(CloudsPS)},
    {"background", THAW_TEXT(ScreenTriangleShortVS), THAW_TEXT(BackgroundPS)},
    {"blur", THAW_TEXT(ScreenTriangleShortVS), THAW_TEXT(BlurPS)},
    {"composite", THAW_TEXT(ScreenTriangleShortVS), THAW_TEXT(CompositePS)},
    {"rays", THAW_TEXT(ScreenTriangleShortVS), THAW_TEXT(RaysPS)},
    {"crt", THAW_TEXT(ScreenTriangleShortVS), THAW_TEXT(CrtPS)},
    {"present", THAW_TEXT(PresentVS), THAW_TEXT(PresentPS)},
};
#undef THAW_TEXT

class ShowPrograms : public ::testing::Test {
protected:
    void SetUp() override {
        const char* error = nullptr;
        ASSERT_TRUE(ensureGlesTestContext(&error)) << error;
    }
};

bool linkShowProgram(const ShowProgram& p, Program& program, std::string& log) {
    ProgramDesc desc;
    programDescInit(desc);
    desc.vertexBytecode = p.vertex.bytes;
    desc.vertexBytecodeSize = p.vertex.size;
    desc.pixelBytecode = p.pixel.bytes;
    desc.pixelBytecodeSize = p.pixel.size;
    programInit(program);
    char text[4096] = "";
    const bool linked = glesLinkProgram(desc, program, text, sizeof text);
    programDescFree(desc);
    log = text;
    return linked;
}

TEST_F(ShowPrograms, EveryProgramCompilesAndLinksOnTheDriver) {
    for (const ShowProgram& p : kPrograms) {
        Program program;
        std::string log;
        EXPECT_TRUE(linkShowProgram(p, program, log)) << p.name << ": " << log;
        EXPECT_NE(program.bindings.program, 0u) << p.name;
    }
}

TEST_F(ShowPrograms, EveryFloatIntAndSamplerIsHighPrecision) {
    for (const ShowProgram& p : kPrograms) {
        for (const Text* t : {&p.vertex, &p.pixel}) {
            const std::string text = t->str();
            EXPECT_EQ(text.find("mediump"), std::string::npos) << p.name;
            EXPECT_EQ(text.find("lowp"), std::string::npos) << p.name;
            EXPECT_EQ(text.compare(0, 15, "#version 300 es"), 0) << p.name;
        }
        // The fragment stage has no default float precision in GLSL ES.
        EXPECT_NE(p.pixel.str().find("precision highp float;"), std::string::npos) << p.name;
        EXPECT_NE(p.pixel.str().find("precision highp sampler2D;"), std::string::npos) << p.name;
    }
}

// The units come from the registers the HLSL declares: the scroller reads the
// font (t0) with the nearest-repeat sampler (s5) and its own feedback (t1)
// with both repeat samplers (s2, s5); the palette reads t0 with s3.
TEST_F(ShowPrograms, TextureUnitsFollowTheDeclaredRegisters) {
    auto bindingsOf = [](const ShowProgram& p) {
        Program program;
        std::string log;
        EXPECT_TRUE(linkShowProgram(p, program, log)) << log;
        std::vector<std::string> seen;
        for (uint32_t k = 0; k < program.bindings.samplerCount; ++k) {
            const ProgramSampler& s = program.bindings.samplers[k];
            EXPECT_EQ(s.unit, k);
            EXPECT_EQ(s.target, GLenum(GL_TEXTURE_2D));
            seen.push_back("t" + std::to_string(s.textureSlot) + "s" + std::to_string(s.samplerSlot));
        }
        std::sort(seen.begin(), seen.end());
        return seen;
    };
    EXPECT_EQ(bindingsOf(kPrograms[0]), (std::vector<std::string>{"t0s5", "t1s2", "t1s5"}));
    EXPECT_EQ(bindingsOf(kPrograms[1]), (std::vector<std::string>{"t0s3"}));
    EXPECT_EQ(bindingsOf(kPrograms[5]), (std::vector<std::string>{"t0s0", "t1s0", "t2s0"}));
    EXPECT_EQ(bindingsOf(kPrograms[2]), (std::vector<std::string>{}));
    EXPECT_EQ(bindingsOf(kPrograms[8]), (std::vector<std::string>{"t0s3"}));
}

TEST_F(ShowPrograms, ARejectedProgramReportsTheDriversLog) {
    const char* broken = "#version 300 es\nprecision highp float;\nout vec4 o;\nvoid main() { o = undefinedThing; }\n";
    const ShowProgram p = {"broken", {kScreenTriangleShortVS, kScreenTriangleShortVSSize},
                           {reinterpret_cast<const unsigned char*>(broken), unsigned(std::strlen(broken))}};
    Program program;
    std::string log;
    EXPECT_FALSE(linkShowProgram(p, program, log));
    EXPECT_EQ(program.bindings.program, 0u);
    EXPECT_EQ(log.compare(0, 7, "pixel: "), 0) << log;
    EXPECT_NE(log.find("undefinedThing"), std::string::npos) << log;
}

}  // namespace
