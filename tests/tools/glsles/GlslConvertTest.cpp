// thaw-glsl's pieces: the derivative rewrite on SPIR-V words, and the
// conversion of the show's own modules (built next to their DXBC blobs).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "GlslConvert.h"
#include "SpirvPatch.h"

namespace {

constexpr uint32_t kMagic = 0x07230203u;

uint32_t op(uint16_t opcode, uint16_t words) { return (uint32_t(words) << 16) | opcode; }

std::vector<uint32_t> header() { return {kMagic, 0x00010000u, 0, 100, 0}; }

TEST(PlainDerivatives, FineAndCoarseBecomePlainAndTheCapabilityGoes) {
    std::vector<uint32_t> w = header();
    const std::vector<uint32_t> body = {
        op(17, 2), 1,                 // OpCapability Shader
        op(17, 2), 51,                // OpCapability DerivativeControl
        op(213, 4), 7, 20, 10,        // OpDPdxCoarse
        op(214, 4), 7, 21, 10,        // OpDPdyCoarse
        op(210, 4), 7, 22, 10,        // OpDPdxFine
        op(211, 4), 7, 23, 10,        // OpDPdyFine
        op(212, 4), 7, 24, 10,        // OpFwidthFine
        op(215, 4), 7, 25, 10,        // OpFwidthCoarse
        op(207, 4), 7, 26, 10,        // OpDPdx stays
    };
    w.insert(w.end(), body.begin(), body.end());
    const DerivativePatchResult r = plainDerivatives(w);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.rewritten, 6u);
    EXPECT_EQ(r.removedCapabilities, 1u);
    const std::vector<uint32_t> expected = {kMagic, 0x00010000u, 0, 100, 0,
                                            op(17, 2), 1,
                                            op(207, 4), 7, 20, 10, op(208, 4), 7, 21, 10,
                                            op(207, 4), 7, 22, 10, op(208, 4), 7, 23, 10,
                                            op(209, 4), 7, 24, 10, op(209, 4), 7, 25, 10,
                                            op(207, 4), 7, 26, 10};
    EXPECT_EQ(w, expected);
}

TEST(PlainDerivatives, MalformedModulesAreLeftAlone) {
    std::vector<uint32_t> empty;
    EXPECT_FALSE(plainDerivatives(empty).ok);

    std::vector<uint32_t> notSpirv = {1, 2, 3, 4, 5, op(213, 4), 7, 20, 10};
    const std::vector<uint32_t> notSpirvCopy = notSpirv;
    EXPECT_FALSE(plainDerivatives(notSpirv).ok);
    EXPECT_EQ(notSpirv, notSpirvCopy);

    // The last instruction claims more words than remain.
    std::vector<uint32_t> truncated = header();
    truncated.insert(truncated.end(), {op(213, 4), 7, 20, op(214, 9), 1});
    const std::vector<uint32_t> truncatedCopy = truncated;
    EXPECT_FALSE(plainDerivatives(truncated).ok);
    EXPECT_EQ(truncated, truncatedCopy);

    // A zero word count would never advance.
    std::vector<uint32_t> zero = header();
    zero.push_back(op(213, 0));
    EXPECT_FALSE(plainDerivatives(zero).ok);
}

TEST(GlslConvert, ANonModuleFailsWithAReason) {
    const GlslConversion c = convertToGlslEs({1, 2, 3});
    EXPECT_FALSE(c.ok);
    EXPECT_FALSE(c.error.empty());
}

#ifdef THAW_SCROLLER_SPV
std::vector<uint32_t> readWords(const char* path) {
    std::vector<uint32_t> words;
    FILE* f = std::fopen(path, "rb");
    if (!f) return words;
    uint32_t w;
    while (std::fread(&w, 4, 1, f) == 1) words.push_back(w);
    std::fclose(f);
    return words;
}

// The scroller's outline width uses coarse derivatives, which GLSL ES cannot
// spell: they become dFdx / dFdy and the module converts.
TEST(GlslConvert, TheScrollerConvertsWithPlainDerivatives) {
    const std::vector<uint32_t> words = readWords(THAW_SCROLLER_SPV);
    ASSERT_FALSE(words.empty()) << THAW_SCROLLER_SPV;
    const GlslConversion c = convertToGlslEs(words);
    ASSERT_TRUE(c.ok) << c.error;
    EXPECT_EQ(c.derivativesRewritten, 2u);
    EXPECT_NE(c.text.find("dFdx("), std::string::npos);
    EXPECT_NE(c.text.find("dFdy("), std::string::npos);
    EXPECT_EQ(c.text.find("Coarse"), std::string::npos);
    EXPECT_EQ(c.text.find("mediump"), std::string::npos);
    EXPECT_NE(c.text.find("uniform highp sampler2D thaw_t1_s2;"), std::string::npos);
    EXPECT_NE(c.text.find("uniform thaw_b8"), std::string::npos);
    EXPECT_NE(c.text.find("in vec2 thaw_v0;"), std::string::npos);
}

// Vertex programs negate y so that rows land where Direct3D puts them.
TEST(GlslConvert, VertexProgramsFlipYAndNameTheirOutputsByLocation) {
    const std::vector<uint32_t> words = readWords(THAW_SHORT_VS_SPV);
    ASSERT_FALSE(words.empty()) << THAW_SHORT_VS_SPV;
    const GlslConversion c = convertToGlslEs(words);
    ASSERT_TRUE(c.ok) << c.error;
    EXPECT_NE(c.text.find("gl_Position.y = -gl_Position.y;"), std::string::npos);
    EXPECT_NE(c.text.find("out vec2 thaw_v0;"), std::string::npos);
}
#endif

}  // namespace
