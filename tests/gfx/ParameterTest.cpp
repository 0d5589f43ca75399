#include <gtest/gtest.h>

#include <cstring>

#include "Orrery/gfx/Parameter.h"

using namespace Orrery::Gfx;

namespace {

float floatAt(const uint8_t* data, uint32_t offset) {
    float v;
    std::memcpy(&v, data + offset, sizeof v);
    return v;
}

class ParameterBlockTest : public ::testing::Test {
protected:
    void SetUp() override {
        growInit(list);
        parameterBlockInit(block);
    }
    void TearDown() override {
        growFree(list);
        parameterBlockFree(block);
    }
    void add(const char* name, int32_t type, float x, float y = 0, float z = 0, float w = 0) {
        Parameter p = makeParameter(name, type);
        p.value[0] = x;
        p.value[1] = y;
        p.value[2] = z;
        p.value[3] = w;
        growPush(list, p);
    }
    GrowArray<Parameter> list;
    ParameterBlock block;
};

TEST_F(ParameterBlockTest, TwentySevenFloatsMakeA720ByteFrame) {
    for (int i = 0; i < 27; ++i) add("p", ParamType::Float, 100.0f + i, -1, -2, -3);
    ASSERT_TRUE(packParameters(block, list));
    EXPECT_EQ(block.size, 108u);
    ASSERT_EQ(block.offsets.count, 28u);
    EXPECT_EQ(block.offsets[27], 108u);
    EXPECT_EQ(frameDataLength(block.size), 720u);
    for (uint32_t i = 0; i < 27; ++i) {
        EXPECT_EQ(block.offsets[i], 4 * i);
        // Frame byte 608 + 4i is block byte 4i.
        EXPECT_EQ(floatAt(block.data, 4 * i), 100.0f + i) << i;
    }
}

TEST_F(ParameterBlockTest, Float4AfterFloatIsNotAligned) {
    add("a", ParamType::Float, 1.0f, 9, 9, 9);
    add("b", ParamType::Float4, 2.0f, 3.0f, 4.0f, 5.0f);
    ASSERT_TRUE(packParameters(block, list));
    EXPECT_EQ(block.size, 20u);
    ASSERT_EQ(block.offsets.count, 3u);
    EXPECT_EQ(block.offsets[1], 4u);
    EXPECT_EQ(floatAt(block.data, 0), 1.0f);
    EXPECT_EQ(floatAt(block.data, 4), 2.0f);
    EXPECT_EQ(floatAt(block.data, 8), 3.0f);
    EXPECT_EQ(floatAt(block.data, 12), 4.0f);
    EXPECT_EQ(floatAt(block.data, 16), 5.0f);
    EXPECT_EQ(frameDataLength(block.size), 640u);  // 628 rounded up
}

TEST_F(ParameterBlockTest, EachTypeCopiesOnlyItsComponents) {
    add("f2", ParamType::Float2, 1, 2, 99, 99);
    add("f3", ParamType::Float3, 3, 4, 5, 99);
    add("f", ParamType::Float, 6, 99, 99, 99);
    ASSERT_TRUE(packParameters(block, list));
    ASSERT_EQ(block.size, 24u);
    const float expected[] = {1, 2, 3, 4, 5, 6};
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(floatAt(block.data, 4 * i), expected[i]);
    EXPECT_EQ(block.offsets[0], 0u);
    EXPECT_EQ(block.offsets[1], 8u);
    EXPECT_EQ(block.offsets[2], 20u);
    EXPECT_EQ(block.offsets[3], 24u);
}

TEST_F(ParameterBlockTest, NoParametersLeaveTheBareBlock) {
    ASSERT_TRUE(packParameters(block, list));
    EXPECT_EQ(block.size, 0u);
    EXPECT_EQ(block.data, nullptr);
    ASSERT_EQ(block.offsets.count, 1u);
    EXPECT_EQ(block.offsets[0], 0u);
    EXPECT_EQ(frameDataLength(block.size), 608u);
}

TEST_F(ParameterBlockTest, RepackingFollowsTheLiveValuesAndKeepsItsOwnCopy) {
    add("a", ParamType::Float, 1.0f);
    add("b", ParamType::Float, 2.0f);
    ASSERT_TRUE(packParameters(block, list));
    list[1].value[0] = 7.0f;
    // The block holds a copy: changing the live list does not touch it ...
    EXPECT_EQ(block.parameters[1].value[0], 2.0f);
    EXPECT_EQ(floatAt(block.data, 4), 2.0f);
    // ... until the next pack, which starts from scratch.
    ASSERT_TRUE(packParameters(block, list));
    EXPECT_EQ(block.size, 8u);
    EXPECT_EQ(block.offsets.count, 3u);
    EXPECT_EQ(floatAt(block.data, 4), 7.0f);
}

TEST_F(ParameterBlockTest, UnknownTypesOccupyNoBytes) {
    add("a", ParamType::Float, 1.0f);
    add("bad", 9, 5.0f);
    add("b", ParamType::Float, 2.0f);
    ASSERT_TRUE(packParameters(block, list));
    EXPECT_EQ(block.size, 8u);
    EXPECT_EQ(floatAt(block.data, 4), 2.0f);
}

TEST(Parameter, NamesAreTruncatedAndZeroPadded) {
    char longName[400];
    std::memset(longName, 'x', sizeof longName);
    longName[399] = '\0';
    Parameter p = makeParameter(longName);
    EXPECT_EQ(std::strlen(p.name), 255u);
    Parameter q = makeParameter("bg_transp");
    EXPECT_STREQ(q.name, "bg_transp");
    for (uint32_t i = 9; i < kParameterNameSize; ++i) ASSERT_EQ(q.name[i], 0);
    EXPECT_EQ(q.type, ParamType::Float);
    EXPECT_EQ(q.value[0], 0.0f);
}

TEST(FrameDataLength, RoundsUpToSixteenBytes) {
    EXPECT_EQ(frameDataLength(1), 624u);
    EXPECT_EQ(frameDataLength(16), 624u);
    EXPECT_EQ(frameDataLength(17), 640u);
}

}  // namespace
