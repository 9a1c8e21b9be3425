#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "vok.h"

namespace {

struct Rec {
    int n;
    char name[12];
};

class Table : public ::testing::Test {
protected:
    TAB_table t{};
    void TearDown() override { TAB_free(&t); }
};

}  // namespace

TEST_F(Table, HashIsThePolynomialOverSignedBytes)
{
    ASSERT_EQ(TAB_create(&t, 35177, 4, 1), 0);
    EXPECT_EQ(TAB_key(&t, ""), 0);
    EXPECT_EQ(TAB_key(&t, "A"), 65);
    EXPECT_EQ(TAB_key(&t, "AB"), (65 * 257 + 66) % 35177);
    // Reduced at every step: three letters go past the modulus once.
    EXPECT_EQ(TAB_key(&t, "ABC"), (((65 * 257 + 66) % 35177) * 257 + 67) % 35177);
    TAB_table small{};
    ASSERT_EQ(TAB_create(&small, 10, 4, 1), 0);
    EXPECT_EQ(TAB_key(&small, "AB"), ((65 * 257 + 66) % 35177) % 10);
    // An 8-bit byte is -1 as a signed char and wraps in unsigned arithmetic:
    // (2^64 - 1) mod 35177, then the bucket.
    const std::uint64_t wrapped = UINT64_MAX % 35177u;
    EXPECT_EQ(TAB_key(&t, "\xff"), static_cast<int>(wrapped));
    EXPECT_EQ(TAB_key(&small, "\xff"), static_cast<int>(wrapped % 10));
    EXPECT_EQ(TAB_key(&small, "\xff" "A"), static_cast<int>(((wrapped * 257 + 65) % 35177) % 10));
    TAB_free(&small);
}

TEST_F(Table, EntersSearchesAndWalksInOrderWithTwoKeys)
{
    ASSERT_EQ(TAB_create(&t, 7, sizeof(Rec), 2), 0);
    const char* ids[] = {"KOUN", "KIAD", "CYYZ", "EGRR", "RJTD", "SBGL", "FAOR", "NZWP", "YSSY", "LFPW"};
    for (int i = 0; i < 10; ++i) {
        Rec r{i, {}};
        std::snprintf(r.name, sizeof r.name, "%s", ids[i]);
        const std::string wmo = std::to_string(72000 + i);
        ASSERT_EQ(TAB_enter(&t, &r, ids[i], wmo.c_str()), 0);
    }
    EXPECT_EQ(t.num_entry, 10);
    for (int i = 0; i < 10; ++i) {
        auto* by_id = static_cast<Rec*>(TAB_search(&t, 1, ids[i]));
        auto* by_wmo = static_cast<Rec*>(TAB_search(&t, 2, std::to_string(72000 + i).c_str()));
        ASSERT_NE(by_id, nullptr);
        EXPECT_EQ(by_id, by_wmo);  // one block for both keys
        EXPECT_EQ(by_id->n, i);
    }
    EXPECT_EQ(TAB_search(&t, 1, "72000"), nullptr);  // keys of key 2 are not keys of key 1
    EXPECT_EQ(TAB_search(&t, 3, "KOUN"), nullptr);   // above numkey
    EXPECT_EQ(TAB_search(&t, 0, "KOUN"), nullptr);
    EXPECT_EQ(TAB_search(&t, 1, "XXXX"), nullptr);

    TAB_first(&t);
    std::vector<int> order;
    while (auto* r = static_cast<Rec*>(TAB_next(&t))) order.push_back(r->n);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    // A change through the search is seen through the walk.
    static_cast<Rec*>(TAB_search(&t, 2, "72003"))->n = 99;
    TAB_first(&t);
    for (int i = 0; i < 3; ++i) TAB_next(&t);
    EXPECT_EQ(static_cast<Rec*>(TAB_next(&t))->n, 99);
}

TEST_F(Table, OneBucketStillFindsEveryKeyAndKeepsDuplicates)
{
    ASSERT_EQ(TAB_create(&t, 1, sizeof(int), 1), 0);
    for (int i = 0; i < 500; ++i) {
        const std::string k = "S" + std::to_string(i);
        ASSERT_EQ(TAB_enter(&t, &i, k.c_str()), 0);
    }
    const int dup = -5;
    ASSERT_EQ(TAB_enter(&t, &dup, "S7"), 0);
    EXPECT_EQ(t.num_entry, 501);
    for (int i = 0; i < 500; ++i) {
        const int* d = static_cast<int*>(TAB_search(&t, 1, ("S" + std::to_string(i)).c_str()));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(*d, i);  // the first entered wins for S7
    }
    TAB_first(&t);
    int count = 0, last = 0;
    while (auto* d = static_cast<int*>(TAB_next(&t))) {
        ++count;
        last = *d;
    }
    EXPECT_EQ(count, 501);
    EXPECT_EQ(last, -5);
}

TEST_F(Table, EmptyAndZeroSizeTablesWalkNothing)
{
    ASSERT_EQ(TAB_create(&t, 5, 4, 1), 0);
    TAB_first(&t);
    EXPECT_EQ(TAB_next(&t), nullptr);
    TAB_table z{};
    ASSERT_EQ(TAB_create(&z, 0, 4, 1), 0);
    TAB_first(&z);
    EXPECT_EQ(TAB_next(&z), nullptr);
    EXPECT_EQ(TAB_search(&z, 1, "a"), nullptr);
    int v = 1;
    EXPECT_EQ(TAB_enter(&z, &v, "a"), -1);
    TAB_free(&z);
}
