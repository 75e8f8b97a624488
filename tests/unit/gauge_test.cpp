#include <gtest/gtest.h>
#include <random>
#include "ui/gauge_geometry.h"

TEST(Gauge, PositionIsClampedToTheBar)
{
    unsigned shift = 0;
    GaugeGeometry below = ComputeGaugeGeometry(-50, 1000, 1, 200, &shift);
    EXPECT_EQ(below.FillRight, 1);
    EXPECT_EQ(below.Percent, 0u);
    GaugeGeometry above = ComputeGaugeGeometry(5000, 1000, 1, 200, &shift);
    EXPECT_EQ(above.FillRight, 201);
    EXPECT_EQ(above.Percent, 100u);
    GaugeGeometry full = ComputeGaugeGeometry(1000, 1000, 1, 200, &shift);
    EXPECT_EQ(full.FillRight, 201);
    EXPECT_EQ(shift, 0u);
}

TEST(Gauge, PercentageAndBoundaryTruncate)
{
    unsigned shift = 0;
    GaugeGeometry g = ComputeGaugeGeometry(999, 1000, 0, 300, &shift);
    EXPECT_EQ(g.Percent, 99u);
    EXPECT_EQ(g.FillRight, 299);  // 999 * 300 / 1000 = 299.7
    g = ComputeGaugeGeometry(1, 3, 10, 100, &shift);
    EXPECT_EQ(g.FillRight, 43);
    EXPECT_EQ(g.Percent, 33u);
}

TEST(Gauge, LargeSizesRaiseTheShiftOnceAndForAll)
{
    unsigned shift = 0;
    GaugeGeometry g = ComputeGaugeGeometry(50000000, 100000000, 0, 300, &shift);
    // 50,000,000 >> 3 = 6,250,000 and 6,250,000 * 300 fits; >> 2 does not.
    EXPECT_EQ(shift, 3u);
    EXPECT_EQ(g.FillRight, 150);
    EXPECT_EQ(g.Percent, 50u);
    g = ComputeGaugeGeometry(1000, 100000000, 0, 300, &shift);
    EXPECT_EQ(shift, 3u);
    EXPECT_EQ(g.FillRight, 0);
    // Near the 32-bit limit the percentage must not overflow either.
    shift = 0;
    g = ComputeGaugeGeometry(0x70000000, 0x7FFFFFFF, 0, 40, &shift);
    EXPECT_EQ(shift, 6u);
    EXPECT_EQ(g.Percent, 87u);
    EXPECT_EQ(g.FillRight, 35);
}

TEST(Gauge, DegenerateWidthDrawsNothing)
{
    unsigned shift = 0;
    GaugeGeometry g = ComputeGaugeGeometry(500, 1000, 5, -2, &shift);
    EXPECT_EQ(g.FillRight, 5);
    EXPECT_EQ(g.Percent, 50u);
}

TEST(Gauge, AgreesWithWideArithmeticEverywhere)
{
    // The fill and the percentage as plain 64-bit arithmetic gives them.
    std::mt19937 rng(9);
    for (int i = 0; i < 200000; ++i) {
        int diskSpace = (int)((rng() >> 1) >> (rng() % 31)) | 1;
        int bytes = (int)(rng() % ((unsigned)diskSpace + 1));
        int width = (int)(rng() % 2000);
        unsigned shift = rng() % 4, expectedShift = shift;
        while (expectedShift < 31 && (long long)(bytes >> expectedShift) * width > 0x7FFFFFFFll) ++expectedShift;
        long long p = bytes >> expectedShift, t = diskSpace >> expectedShift;
        if (t < 1) t = 1;
        GaugeGeometry g = ComputeGaugeGeometry(bytes, diskSpace, 7, width, &shift);
        ASSERT_EQ(shift, expectedShift);
        ASSERT_EQ(g.FillRight, 7 + (int)(p * width / t)) << bytes << " of " << diskSpace;
        ASSERT_EQ(g.Percent, (unsigned)(p * 100 / t)) << bytes << " of " << diskSpace;
    }
}
