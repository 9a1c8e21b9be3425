#include <gtest/gtest.h>

#include <cmath>

#include "vok.h"

// The sphere of the range selection has a radius of 6371.3 km.
namespace {
constexpr double kQuarter = 6371.3 * 3.14159265358979 / 2.0;
}

TEST(Calc, DistancesOnTheSphere)
{
    // One degree of latitude along a meridian, and the quarter circle from
    // the pole to the equator whatever the longitude.
    EXPECT_NEAR(calc_distance(40.0f, -100.0f, 41.0f, -100.0f), kQuarter / 90.0, 0.5);
    EXPECT_NEAR(calc_distance(90.0f, 0.0f, 0.0f, 123.0f), kQuarter, 2.0);
    // Along the equator the longitude difference is the angle.
    EXPECT_NEAR(calc_distance(0.0f, 170.0f, 0.0f, -170.0f), kQuarter * 20.0 / 90.0, 2.0);
    // Symmetric in its two ends.
    EXPECT_FLOAT_EQ(calc_distance(39.77f, -104.87f, 37.76f, -99.97f),
                    calc_distance(37.76f, -99.97f, 39.77f, -104.87f));
}

TEST(Calc, SamePointAndAntipodesAreNotNaN)
{
    // In single precision the cosine of a zero arc can round above 1; short
    // arcs are only good to a few kilometres (acos near 1).
    for (float lat : {-89.9f, -45.3f, 0.0f, 12.345f, 39.7675f, 78.9233f}) {
        for (float lon : {-179.9f, -104.8694f, 0.0f, 11.9222f, 179.0f}) {
            const float d = calc_distance(lat, lon, lat, lon);
            ASSERT_FALSE(std::isnan(d)) << lat << " " << lon;
            EXPECT_LT(d, 5.0f);
        }
    }
    const float anti = calc_distance(30.0f, 20.0f, -30.0f, -160.0f);
    ASSERT_FALSE(std::isnan(anti));
    EXPECT_NEAR(anti, 2.0 * kQuarter, 5.0);
}
