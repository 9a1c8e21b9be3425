#include <gtest/gtest.h>

#include <cmath>

#include "vok.h"

namespace {

Domain make_domain(int proj, float clat, float clon, float d, int n)
{
    Domain dom{};
    dom.proj = proj;
    dom.plat = dom.plon = -9999.0f;
    for (float& p : dom.param) p = -9999.0f;
    dom.clat = clat;
    dom.clon = clon;
    dom.dx = dom.dy = d;
    dom.nx = dom.ny = n;
    dom.ellipse = 0;
    return dom;
}

class MapTran : public ::testing::Test {
protected:
    void SetUp() override { MAP_reset(); }
    void TearDown() override { MAP_reset(); }
};

}  // namespace

TEST_F(MapTran, NoDomainPassesPositionsThroughAndKeepsEverything)
{
    EXPECT_EQ(MAP_domain(nullptr), -1);
    float x = 0, y = 0;
    EXPECT_EQ(MAP_tran(&x, &y, 40.5f, -200.0f), 1);
    EXPECT_FLOAT_EQ(x, 40.5f);
    EXPECT_FLOAT_EQ(y, -200.0f);  // no longitude wrap without a projection
    EXPECT_EQ(MAP_in_grid_domain(1e6f, -1e6f), 1);

    // Clearing a domain that was set brings back the pass-through.
    Domain dom = make_domain(MAP_PROJ_LATLON, 40.0f, -100.0f, 1.0f, 11);
    ASSERT_EQ(MAP_domain(&dom), 0);
    EXPECT_EQ(MAP_in_grid_domain(0.0f, 90.0f), 0);
    EXPECT_EQ(MAP_domain(nullptr), -1);
    EXPECT_EQ(MAP_in_grid_domain(0.0f, 90.0f), 1);
}

TEST_F(MapTran, LatLonDomainLimitsAndMargin)
{
    Domain dom = make_domain(MAP_PROJ_LATLON, 40.0f, -100.0f, 1.0f, 11);
    ASSERT_EQ(MAP_domain(&dom), 0);
    float lim[4];
    MAP_get_limits(lim);
    EXPECT_FLOAT_EQ(lim[0], -5.0f);
    EXPECT_FLOAT_EQ(lim[1], 5.0f);
    EXPECT_FLOAT_EQ(lim[2], 35.0f);
    EXPECT_FLOAT_EQ(lim[3], 45.0f);

    float x = 0, y = 0;
    MAP_tran(&x, &y, 47.9f, -100.0f);
    EXPECT_EQ(MAP_in_grid_domain(x, y), 1);  // within three grid lengths
    MAP_tran(&x, &y, 48.1f, -100.0f);
    EXPECT_EQ(MAP_in_grid_domain(x, y), 0);
    MAP_tran(&x, &y, 40.0f, -92.0f);  // x = 8, exactly on the margin
    EXPECT_FLOAT_EQ(x, 8.0f);
    EXPECT_EQ(MAP_in_grid_domain(x, y), 1);
    MAP_tran(&x, &y, 40.0f, -91.5f);
    EXPECT_EQ(MAP_in_grid_domain(x, y), 0);
}

TEST_F(MapTran, LatLonDomainAcrossTheDateLine)
{
    Domain dom = make_domain(MAP_PROJ_LATLON, 50.0f, 180.0f, 1.0f, 21);
    ASSERT_EQ(MAP_domain(&dom), 0);
    float x = 0, y = 0;
    // Stations on both sides of the date line land next to the centre.
    MAP_tran(&x, &y, 50.0f, 175.0f);
    EXPECT_FLOAT_EQ(x, -5.0f);
    EXPECT_EQ(MAP_in_grid_domain(x, y), 1);
    MAP_tran(&x, &y, 50.0f, -175.0f);
    EXPECT_FLOAT_EQ(x, 5.0f);
    EXPECT_EQ(MAP_in_grid_domain(x, y), 1);
    MAP_tran(&x, &y, 50.0f, 545.0f);  // 185 once wrapped
    EXPECT_FLOAT_EQ(x, 5.0f);
    // A wild longitude does not hang the wrap and still ends in range.
    MAP_tran(&x, &y, 50.0f, 1e30f);
    EXPECT_GE(x, -180.0f);
    EXPECT_LE(x, 180.0f);
}

TEST_F(MapTran, PolarStereographicNorthAndSouth)
{
    // A northern map: the pole is the origin, the central meridian runs
    // down the y axis, and the true latitude 60 sits at
    // tan(15 deg) * (1 + sin 60 deg) * 63.7122 from the pole.
    Domain dom = make_domain(MAP_PROJ_POLAR, 60.0f, -100.0f, 1.0f, 25);
    ASSERT_EQ(MAP_domain(&dom), 0);
    const double r60 = std::tan(15.0 * M_PI / 180.0) * (1.0 + std::sin(M_PI / 3.0)) * 63.7122;
    float x = 0, y = 0;
    MAP_tran(&x, &y, 90.0f, 0.0f);
    EXPECT_NEAR(x, 0.0, 1e-4);
    EXPECT_NEAR(y, 0.0, 1e-4);
    MAP_tran(&x, &y, 60.0f, -100.0f);
    EXPECT_NEAR(x, 0.0, 1e-4);
    EXPECT_NEAR(y, -r60, 1e-3);
    EXPECT_EQ(MAP_in_grid_domain(x, y), 1);
    MAP_tran(&x, &y, 60.0f, -10.0f);  // a quarter turn east of the meridian
    EXPECT_NEAR(x, r60, 1e-3);
    EXPECT_NEAR(y, 0.0, 1e-3);
    float lim[4];
    MAP_get_limits(lim);
    EXPECT_NEAR(lim[2], -r60 - 12.0, 1e-3);
    EXPECT_NEAR(lim[3], -r60 + 12.0, 1e-3);
    EXPECT_EQ(MAP_in_grid_domain(x, y), 0);
    // The far pole is held at 75 degrees south: finite, far off the map.
    MAP_tran(&x, &y, -90.0f, -100.0f);
    EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
    EXPECT_EQ(MAP_in_grid_domain(x, y), 0);

    // A southern map mirrors it: true latitude -60, the central meridian up.
    dom = make_domain(MAP_PROJ_POLAR, -60.0f, 140.0f, 1.0f, 25);
    ASSERT_EQ(MAP_domain(&dom), 0);
    MAP_tran(&x, &y, -60.0f, 140.0f);
    EXPECT_NEAR(x, 0.0, 1e-3);
    EXPECT_NEAR(y, r60, 1e-3);
    EXPECT_EQ(MAP_in_grid_domain(x, y), 1);

    // A first parameter replaces the true latitude.
    dom = make_domain(MAP_PROJ_POLAR, 60.0f, -100.0f, 1.0f, 25);
    dom.param[0] = 90.0f;
    ASSERT_EQ(MAP_domain(&dom), 0);
    MAP_tran(&x, &y, 60.0f, -100.0f);
    EXPECT_NEAR(y, -std::tan(15.0 * M_PI / 180.0) * 2.0 * 63.7122, 1e-3);
}
