#include <gtest/gtest.h>

#include "vok.h"

namespace {

class Flag : public ::testing::Test {
protected:
    void SetUp() override { FLAG_clear(); }
    void TearDown() override { FLAG_clear(); }
};

} // namespace

TEST_F(Flag, SetAndGetWithinRangeOnly)
{
    EXPECT_EQ(FLAG_get(15), 0);   // before the resource decoding
    EXPECT_EQ(FLAG_set(15, 2), 0);
    EXPECT_EQ(FLAG_get(15), 2);
    EXPECT_EQ(FLAG_set(0, -4), 0);
    EXPECT_EQ(FLAG_get(0), -4);
    EXPECT_EQ(FLAG_set(29, 7), 0);
    EXPECT_EQ(FLAG_get(29), 7);

    for (int bad : {30, -1, 1000}) {
        EXPECT_EQ(FLAG_set(bad, 5), -1);
        EXPECT_EQ(FLAG_setl(bad, 5), -1);
        EXPECT_EQ(FLAG_get(bad), 0);
        EXPECT_EQ(FLAG_getl(bad), 0);
    }
    EXPECT_EQ(FLAG_get(29), 7);
    EXPECT_EQ(FLAG_get(0), -4);
}

TEST_F(Flag, LongValuesKeepAllBits)
{
    const long big = 1L << 40;
    EXPECT_EQ(FLAG_setl(3, big), 0);
    EXPECT_EQ(FLAG_getl(3), big);
}

TEST_F(Flag, ResetMakesEveryFlagUnset)
{
    FLAG_set(19, 1);
    FLAG_set(20, 1);
    EXPECT_EQ(FLAG_reset(VOK_MISSING), 0);
    for (int i = 0; i < FLAG_NUM; ++i) EXPECT_EQ(FLAG_get(i), VOK_MISSING) << i;
    // VOK_MISSING is "off" for the switches.
    EXPECT_EQ(FLAG_batch(), 0);
    EXPECT_EQ(FLAG_help(), 0);
}

TEST_F(Flag, BatchAndHelpAreOnlyPositive)
{
    EXPECT_EQ(FLAG_batch(), 0);
    FLAG_set(19, 1);
    EXPECT_EQ(FLAG_batch(), 1);
    FLAG_set(19, -1);
    EXPECT_EQ(FLAG_batch(), 0);
    FLAG_set(20, 3);
    EXPECT_EQ(FLAG_help(), 1);
    EXPECT_EQ(FLAG_batch(), 0);
}

TEST_F(Flag, PlotComponentsKeepTheirSums)
{
    FLAG_setplot(3, 1);
    FLAG_setplot(5, 2);
    EXPECT_EQ(FLAG_getplot(0), 3);
    EXPECT_EQ(FLAG_getplot(12), 6);   // components 0..11: 3 + 1 + 2
    FLAG_setplot(0, 1);               // components 0..6
    EXPECT_EQ(FLAG_getplot(4), 1);
    EXPECT_EQ(FLAG_getplot(0), 6);
    FLAG_setplot(12, 0);              // everything
    EXPECT_EQ(FLAG_getplot(0), 0);
    EXPECT_EQ(FLAG_getplot(12), 0);
    EXPECT_EQ(FLAG_getplot(9), 0);
    FLAG_resetplot(2);
    EXPECT_EQ(FLAG_getplot(12), 2);
    EXPECT_EQ(FLAG_setplot(13, 1), -1);
    EXPECT_EQ(FLAG_getplot(13), 0);
}
