#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "vok.h"

namespace {

Domain make_domain(int proj, float clat, float clon, float d, int n)
{
    Domain dom{};
    dom.proj = proj;
    dom.plat = dom.plon = VOK_MISSING_F;
    for (float& p : dom.param) p = VOK_MISSING_F;
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

// ---------------------------------------------------------------- the other projections
// Each projection is checked against the spherical formulas of Snyder, "Map
// Projections: A Working Manual" (USGS Prof. Paper 1395), evaluated here in
// double precision on the same sphere.

namespace {

constexpr double R = 63.7122;
constexpr double D2R = M_PI / 180.0;

struct XY {
    double x;
    double y;
};

double snyder_lon(double lon, double lon0)
{
    double d = lon - lon0;
    while (d > 180.0) d -= 360.0;
    while (d < -180.0) d += 360.0;
    return d * D2R;
}

XY snyder_mercator(double lat, double lon, double lon0)
{
    return {R * snyder_lon(lon, lon0), R * std::log(std::tan(M_PI / 4 + lat * D2R / 2))};  // (7-1), (7-2)
}

// (15-1) to (15-5): origin at (lat0, lon0).
XY snyder_lambert(double lat, double lon, double t1, double t2, double lat0, double lon0)
{
    const double p1 = t1 * D2R, p2 = t2 * D2R;
    const double n = std::log(std::cos(p1) / std::cos(p2)) /
                     std::log(std::tan(M_PI / 4 + p2 / 2) / std::tan(M_PI / 4 + p1 / 2));
    const double f = std::cos(p1) * std::pow(std::tan(M_PI / 4 + p1 / 2), n) / n;
    const double rho = R * f / std::pow(std::tan(M_PI / 4 + lat * D2R / 2), n);
    const double rho0 = R * f / std::pow(std::tan(M_PI / 4 + lat0 * D2R / 2), n);
    const double theta = n * snyder_lon(lon, lon0);
    return {rho * std::sin(theta), rho0 - rho * std::cos(theta)};
}

enum class Azimuthal { lambert, gnomonic, ortho, perspective };

// (22-4), (22-5), (20-3), (20-4), (24-2) to (24-4), (23-1) to (23-5).
XY snyder_azimuthal(Azimuthal kind, double lat, double lon, double lat1, double lon0, double p = 0)
{
    const double phi = lat * D2R, phi1 = lat1 * D2R, lam = snyder_lon(lon, lon0);
    const double cosc = std::sin(phi1) * std::sin(phi) + std::cos(phi1) * std::cos(phi) * std::cos(lam);
    double k = 1;
    if (kind == Azimuthal::lambert) k = std::sqrt(2 / (1 + cosc));
    if (kind == Azimuthal::gnomonic) k = 1 / cosc;
    if (kind == Azimuthal::perspective) k = (p - 1) / (p - cosc);
    return {R * k * std::cos(phi) * std::sin(lam),
            R * k * (std::cos(phi1) * std::sin(phi) - std::sin(phi1) * std::cos(phi) * std::cos(lam))};
}

// (31-1) to (31-3), the auxiliary angle found by bisection.
XY snyder_mollweide(double lat, double lon, double lon0)
{
    const double target = M_PI * std::sin(lat * D2R);
    double lo = -M_PI / 2, hi = M_PI / 2;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        (2 * mid + std::sin(2 * mid) < target ? lo : hi) = mid;
    }
    const double theta = (lo + hi) / 2;
    return {2 * std::sqrt(2.0) / M_PI * R * snyder_lon(lon, lon0) * std::cos(theta), std::sqrt(2.0) * R * std::sin(theta)};
}

struct Place {
    float lat;
    float lon;
};
const Place kPlaces[] = {{45, -75}, {25, -120}, {60, -60}, {38.5f, -101}, {10, -90}, {52, -140}};

XY at(float lat, float lon)
{
    float x = 0, y = 0;
    EXPECT_EQ(MAP_tran(&x, &y, lat, lon), 1);
    return {x, y};
}

// Positions relative to the domain centre, so that the origin each
// projection chooses does not matter; and the centre is the middle of the
// limits, the grid dx * (nx - 1) wide.
template <class Ref>
void expect_matches(const Domain& dom, Ref ref, float lat_sign = 1, float lon_shift = 0)
{
    ASSERT_EQ(MAP_domain(&dom), 0);
    ASSERT_EQ(MAP_check_domain(&dom), 1);
    const XY c = at(dom.clat, dom.clon);
    const XY rc = ref(dom.clat, dom.clon);
    for (Place p : kPlaces) {
        p.lat *= lat_sign;
        p.lon += lon_shift;
        const XY got = at(p.lat, p.lon);
        const XY want = ref(p.lat, p.lon);
        const double tol = 2e-5 * (std::fabs(want.x - rc.x) + std::fabs(want.y - rc.y)) + 2e-4;
        EXPECT_NEAR(got.x - c.x, want.x - rc.x, tol) << p.lat << "," << p.lon;
        EXPECT_NEAR(got.y - c.y, want.y - rc.y, tol) << p.lat << "," << p.lon;
    }
    float lim[4];
    MAP_get_limits(lim);
    EXPECT_NEAR((lim[0] + lim[1]) / 2, c.x, 1e-3);
    EXPECT_NEAR((lim[2] + lim[3]) / 2, c.y, 1e-3);
    EXPECT_NEAR(lim[1] - lim[0], dom.dx * (dom.nx - 1), 1e-3);
    EXPECT_NEAR(lim[3] - lim[2], dom.dy * (dom.ny - 1), 1e-3);
    EXPECT_EQ(MAP_in_grid_domain(c.x, c.y), 1);
}

}  // namespace

TEST_F(MapTran, MapProjectionsFollowTheTextbookFormulas)
{
    Domain dom = make_domain(MAP_PROJ_MERC, 35.0f, -100.0f, 1.0f, 41);
    expect_matches(dom, [](double lat, double lon) { return snyder_mercator(lat, lon, -100); });

    dom = make_domain(MAP_PROJ_LAMBERT, 40.0f, -95.0f, 0.5f, 61);
    expect_matches(dom, [](double lat, double lon) { return snyder_lambert(lat, lon, 30, 60, 40, -95); });
    dom.param[0] = 33.0f;   // true latitudes of a secant cone
    dom.param[1] = 45.0f;
    expect_matches(dom, [](double lat, double lon) { return snyder_lambert(lat, lon, 33, 45, 40, -95); });
    dom = make_domain(MAP_PROJ_LAMBERT, -30.0f, 135.0f, 0.5f, 61);  // a cone of the south
    dom.param[0] = -20.0f;
    dom.param[1] = -40.0f;
    expect_matches(dom, [](double lat, double lon) { return snyder_lambert(lat, lon, -20, -40, -30, 135); }, -1, 235);

    dom = make_domain(MAP_PROJ_LAMB_AZ, 40.0f, -100.0f, 1.0f, 41);
    expect_matches(dom, [](double lat, double lon) { return snyder_azimuthal(Azimuthal::lambert, lat, lon, 40, -100); });
    dom = make_domain(MAP_PROJ_GNOMONIC, 40.0f, -100.0f, 1.0f, 41);
    expect_matches(dom, [](double lat, double lon) { return snyder_azimuthal(Azimuthal::gnomonic, lat, lon, 40, -100); });
    dom = make_domain(MAP_PROJ_ORTHO, 40.0f, -100.0f, 1.0f, 41);
    expect_matches(dom, [](double lat, double lon) { return snyder_azimuthal(Azimuthal::ortho, lat, lon, 40, -100); });
    dom = make_domain(MAP_PROJ_SAT, 0.0f, -75.0f, 1.0f, 41);   // geostationary orbit
    expect_matches(dom, [](double lat, double lon) {
        return snyder_azimuthal(Azimuthal::perspective, lat, lon, 0, -75, 421.61 / R);
    });
    dom = make_domain(MAP_PROJ_MOLLWEIDE, 0.0f, -100.0f, 2.0f, 61);
    expect_matches(dom, [](double lat, double lon) { return snyder_mollweide(lat, lon, -100); });
}

TEST_F(MapTran, SingularPlacesFallOutsideEveryGridAndNothingIsNaN)
{
    struct Case {
        int proj;
        float clat, clon;
        Place unshown;   // a place the projection divides by zero at or hides
    };
    const Case cases[] = {
        {MAP_PROJ_MERC, 40, -100, {90, 0}},            // the pole, at infinity
        {MAP_PROJ_LAMBERT, 40, -100, {-90, 0}},        // the far pole
        {MAP_PROJ_LAMB_AZ, 40, -100, {-40, 80}},       // the antipode
        {MAP_PROJ_GNOMONIC, 40, -100, {-10, 80}},      // beyond 90 degrees
        {MAP_PROJ_ORTHO, 40, -100, {0, 80}},           // the far side
        {MAP_PROJ_SAT, 0, -75, {0, 10}},               // beyond the horizon
        {MAP_PROJ_POLAR, 60, -100, {95, 0}},           // no such latitude
    };
    const float lats[] = {-90, -89.9999f, -75, -40, 0, 40, 89.9999f, 90, 1e30f, NAN, -INFINITY};
    const float lons[] = {-180, -100, 0, 79.99f, 80, 180, 540, -1e30f, NAN};
    for (const Case& c : cases) {
        Domain dom = make_domain(c.proj, c.clat, c.clon, 1.0f, 41);
        ASSERT_EQ(MAP_domain(&dom), 0);
        float x = 0, y = 0;
        MAP_tran(&x, &y, c.unshown.lat, c.unshown.lon);
        EXPECT_EQ(x, MAP_OFF_GRID) << c.proj;
        EXPECT_EQ(MAP_in_grid_domain(x, y), 0) << c.proj;
        for (int proj = 1; proj <= 9; ++proj) {
            dom.proj = proj;
            MAP_domain(&dom);
            for (float lat : lats)
                for (float lon : lons) {
                    MAP_tran(&x, &y, lat, lon);
                    ASSERT_TRUE(std::isfinite(x) && std::isfinite(y)) << proj << " " << lat << "," << lon;
                }
        }
    }
}

TEST_F(MapTran, DomainsThatCannotBeDrawnHoldNoStation)
{
    std::vector<Domain> bad;
    auto add = [&](int proj, float clat, auto change) {
        Domain d = make_domain(proj, clat, -100.0f, 1.0f, 25);
        change(d);
        bad.push_back(d);
    };
    add(MAP_PROJ_POLAR, 40, [](Domain& d) { d.nx = 0; });
    add(MAP_PROJ_POLAR, 40, [](Domain& d) { d.ny = -3; });
    add(MAP_PROJ_POLAR, 40, [](Domain& d) { d.dx = 0; });
    add(MAP_PROJ_LATLON, 40, [](Domain& d) { d.dy = NAN; });
    add(MAP_PROJ_POLAR, 40, [](Domain& d) { d.param[0] = -90; });   // true latitude at the far pole
    add(MAP_PROJ_LAMBERT, 40, [](Domain& d) { d.param[0] = d.param[1] = 90; });  // tangent at the pole
    add(MAP_PROJ_LAMBERT, 40, [](Domain& d) { d.param[0] = 30; d.param[1] = -30; });  // a cylinder
    add(MAP_PROJ_MERC, 90, [](Domain&) {});                         // centred on the pole
    add(MAP_PROJ_LAMB_AZ, 40, [](Domain& d) { d.plat = -40; d.plon = 80; });  // centre at the antipode
    add(MAP_PROJ_SAT, 0, [](Domain& d) { d.param[0] = 50; });       // orbit inside the earth
    add(MAP_PROJ_POLAR, 120, [](Domain&) {});
    add(-1, 40, [](Domain&) {});                                     // an unknown region's domain
    for (const Domain& d : bad) {
        EXPECT_EQ(MAP_check_domain(&d), 0) << d.proj;
        ASSERT_EQ(MAP_domain(&d), 0);
        float x = 0, y = 0;
        MAP_tran_center(&x, &y);
        EXPECT_FALSE(std::isnan(x) || std::isnan(y)) << d.proj;
        EXPECT_EQ(MAP_in_grid_domain(x, y), 0) << d.proj;
    }
    // Checking a domain leaves the current one in force.
    Domain good = make_domain(MAP_PROJ_LATLON, 40.0f, -100.0f, 1.0f, 11);
    ASSERT_EQ(MAP_domain(&good), 0);
    EXPECT_EQ(MAP_check_domain(&bad[0]), 0);
    EXPECT_EQ(MAP_in_grid_domain(0.0f, 40.0f), 1);
}

TEST_F(MapTran, SoundingDiagrams)
{
    // Tephigram: a dry adiabat is a line of constant y. Air at 20 C and
    // 1000 hPa lifted dry to 500 hPa (Poisson's equation) stays on it.
    Domain dom = make_domain(MAP_PROJ_TEPHI, -40.0f, 1050.0f, 90.0f, 1);
    dom.dy = -950.0f;
    ASSERT_EQ(MAP_domain(&dom), 0);
    const double t500 = 293.15 * std::pow(0.5, 0.2857) - 273.15;
    XY a = at(20.0f, 1000.0f), b = at(static_cast<float>(t500), 500.0f);
    EXPECT_NEAR(a.y, b.y, 1e-3);
    EXPECT_LT(b.x, a.x);
    // Emagram: height grows with the logarithm of pressure.
    dom.proj = MAP_PROJ_EMAGRAM;
    ASSERT_EQ(MAP_domain(&dom), 0);
    EXPECT_NEAR(at(0, 500).y - at(0, 1000).y, std::log(2.0), 1e-6);
    EXPECT_EQ(at(0, 0).x, MAP_OFF_GRID);   // no pressure, no place
    float lim[4];
    MAP_get_limits(lim);
    EXPECT_NEAR(lim[2], std::log(1000.0 / 1050.0), 1e-6);
    EXPECT_NEAR(lim[3], std::log(10.0), 1e-6);
    // Hodograph: the limits are centred on (clat, clon).
    dom = make_domain(MAP_PROJ_HODO, 0.0f, 0.0f, 30.0f, 1);
    ASSERT_EQ(MAP_domain(&dom), 0);
    MAP_get_limits(lim);
    EXPECT_FLOAT_EQ(lim[0], -30.0f);
    EXPECT_FLOAT_EQ(lim[3], 30.0f);
}
