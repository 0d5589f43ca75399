#include "base/GrowArray.h"
#include "base/GrowString.h"

#include <gtest/gtest.h>

namespace {

struct Pair {
    int a;
    float b;
};

TEST(GrowArray, StartsEmptyWithRoomForEight) {
    GrowArray<Pair> a;
    ASSERT_TRUE(growInit(a));
    EXPECT_EQ(a.count, 0u);
    EXPECT_EQ(a.capacity, 8u);
    EXPECT_FLOAT_EQ(a.growth, 1.61f);
    growFree(a);
}

TEST(GrowArray, AppendGrowsByFactorPlusOneTruncated) {
    GrowArray<int> a;
    ASSERT_TRUE(growInit(a));
    // 8 -> 13 (12.88 + 1) -> 21 (20.93 + 1) -> 34 (33.81 + 1) -> 55 (54.74 + 1)
    const uint32_t expected[] = {8, 13, 21, 34, 55};
    uint32_t step = 0;
    for (int i = 0; i < 55; ++i) {
        if (a.count == a.capacity) ++step;
        ASSERT_TRUE(growPush(a, i));
        ASSERT_EQ(a.capacity, expected[step]) << "after " << i + 1 << " appends";
    }
    for (int i = 0; i < 55; ++i) EXPECT_EQ(a[i], i);
    growFree(a);
}

TEST(GrowArray, ResizeTakesLargerOfRequestAndStepAndZeroFills) {
    GrowArray<Pair> a;
    ASSERT_TRUE(growInit(a));
    ASSERT_TRUE(growPush(a, Pair{7, 1.5f}));
    ASSERT_TRUE(growResize(a, 10));  // step (13) beats request (10)
    EXPECT_EQ(a.capacity, 13u);
    EXPECT_EQ(a.count, 10u);
    EXPECT_EQ(a[0].a, 7);
    for (uint32_t i = 1; i < 10; ++i) {
        EXPECT_EQ(a[i].a, 0);
        EXPECT_EQ(a[i].b, 0.0f);
    }
    ASSERT_TRUE(growResize(a, 100));  // request beats step (21)
    EXPECT_EQ(a.capacity, 100u);
    ASSERT_TRUE(growResize(a, 3));  // shrinking keeps the storage
    EXPECT_EQ(a.count, 3u);
    EXPECT_EQ(a.capacity, 100u);
    growFree(a);
}

TEST(GrowArray, CopyIsIndependent) {
    GrowArray<int> a, b;
    ASSERT_TRUE(growInit(a));
    ASSERT_TRUE(growInit(b));
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(growPush(a, i));
    ASSERT_TRUE(growCopy(b, a));
    a[0] = 99;
    EXPECT_EQ(b.count, 20u);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[19], 19);
    growFree(a);
    growFree(b);
}

TEST(GrowString, CountIncludesTerminator) {
    GrowString s;
    ASSERT_TRUE(growStringInit(s));
    EXPECT_EQ(s.count, 1u);
    EXPECT_STREQ(growStringText(s), "");
    growFree(s);
    ASSERT_TRUE(growStringInit(s, "vertex_main"));
    EXPECT_EQ(s.count, 12u);
    EXPECT_EQ(growStringLength(s), 11u);
    EXPECT_STREQ(growStringText(s), "vertex_main");
    growFree(s);
}

}  // namespace
