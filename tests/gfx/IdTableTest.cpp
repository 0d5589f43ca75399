#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "Orrery/gfx/IdTable.h"

using namespace Orrery::Gfx;

namespace {

struct Thing {
    int tag;
};

std::vector<std::pair<int32_t, Thing*>> walk(const IdTable<Thing>& table) {
    std::vector<std::pair<int32_t, Thing*>> seen;
    idTableWalk(table, [&](int32_t id, Thing* value) { seen.emplace_back(id, value); });
    return seen;
}

class IdTableTest : public ::testing::Test {
protected:
    void SetUp() override { idTableInit(table); }
    void TearDown() override { idTableFree(table); }
    IdTable<Thing> table;
    Thing a{1}, b{2}, c{3}, d{4};
};

TEST_F(IdTableTest, IdsSharingABucketAreWalkedNewestFirst) {
    idTableRegister(table, 3) = &a;
    idTableRegister(table, 19) = &b;  // 19 % 16 == 3
    idTableRegister(table, 0) = &c;
    idTableRegister(table, 35) = &d;  // also bucket 3

    EXPECT_EQ(table.count, 4u);
    ASSERT_NE(table.buckets[3], nullptr);
    EXPECT_EQ(table.buckets[3]->id, 35);
    auto seen = walk(table);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], std::make_pair(0, &c));
    EXPECT_EQ(seen[1], std::make_pair(35, &d));
    EXPECT_EQ(seen[2], std::make_pair(19, &b));
    EXPECT_EQ(seen[3], std::make_pair(3, &a));
}

TEST_F(IdTableTest, WalkGoesThroughBucketsInOrderNotInsertionOrder) {
    for (int32_t id : {15, 7, 1, 8}) idTableRegister(table, id) = &a;
    std::vector<int32_t> ids;
    idTableWalk(table, [&](int32_t id, Thing*) { ids.push_back(id); });
    EXPECT_EQ(ids, (std::vector<int32_t>{1, 7, 8, 15}));
}

TEST_F(IdTableTest, RegisteringAnIdAgainReturnsTheSameSlot) {
    Thing*& first = idTableRegister(table, 5);
    EXPECT_EQ(first, nullptr);
    first = &a;
    Thing*& second = idTableRegister(table, 5);
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(second, &a);
    second = &b;  // the second assignment replaces the first
    EXPECT_EQ(table.count, 1u);
    EXPECT_EQ(idTableFind(table, 5), &b);
    EXPECT_EQ(walk(table).size(), 1u);
}

TEST_F(IdTableTest, NegativeIdsHashAsUnsigned) {
    // -1 is 0xFFFFFFFF, which lands in bucket 15.
    idTableRegister(table, -1) = &a;
    ASSERT_NE(table.buckets[15], nullptr);
    EXPECT_EQ(table.buckets[15]->id, -1);
    EXPECT_EQ(idTableFind(table, -1), &a);
    EXPECT_EQ(idTableFind(table, 15), nullptr);
}

}  // namespace
