// Map transforms: one current domain, and latitude/longitude turned into the
// plot coordinates of its projection. The station database uses it to keep
// only the stations that fall on (or near) a domain's grid.
#include <cmath>

#include "vok.h"

namespace {

constexpr float UNSET = static_cast<float>(VOK_MISSING);
constexpr double DEG = 3.14159265358979323846 / 180.0;

Domain unset_domain()
{
    Domain d{};
    d.proj = VOK_MISSING;
    d.plat = d.plon = UNSET;
    for (float& p : d.param) p = UNSET;
    d.clat = d.clon = d.dx = d.dy = UNSET;
    d.nx = d.ny = VOK_MISSING;
    d.ellipse = 0;
    return d;
}

// Module state: the current domain and the constants of its projection.
Domain domain = unset_domain();
float limits[4] = {UNSET, UNSET, UNSET, UNSET};
float earth_rad = 63.7122f;      // units of 100 km
float earth_maj = 63.781368f;
float earth_min = 63.56752f;
float tlat1 = 30.0f;
float tlat2 = 60.0f;
float sat_rad = 421.64f;
float xfactor = UNSET;           // recomputed on first use after a change
float yfactor = UNSET;
// Hemisphere of the polar stereographic projection: -1 projects from the
// south pole (a northern map), 1 from the north pole.
float hemi = -1.0f;
// Satellite view constants and the squared axis ratio, kept for the
// projections of the plotting programs.
float sat_ratio = UNSET;
float sat_rad2 = 0.0f;
float sat_rad4 = 0.0f;
float sat_rad2_maj2 = 0.0f;
float axis_ratio2 = 0.0f;

bool is_map_proj(int proj)
{
    return proj >= 1 && proj <= 9;
}

// Into -180 .. 180 (both kept) without looping on huge values.
float wrap_lon(float lon)
{
    if (lon > 180.0f || lon < -180.0f) {
        lon = std::fmod(lon, 360.0f);
        if (lon > 180.0f) lon -= 360.0f;
        else if (lon < -180.0f) lon += 360.0f;
    }
    return lon;
}

void polar(float* x, float* y, float lat, float lon)
{
    if (xfactor == UNSET) {
        hemi = domain.plat >= 0.0f ? -1.0f : 1.0f;
        xfactor = static_cast<float>((1.0 - hemi * std::sin(tlat1 * DEG)) * earth_rad);
    }
    // Near the opposite pole the projection runs off to infinity; stations
    // there are held at 75 degrees so that they stay far off the map rather
    // than overflow.
    if (hemi * lat > 75.0f) lat = 75.0f * hemi;
    const double r = std::tan((90.0 + hemi * lat) / 2.0 * DEG) * xfactor;
    const double a = (lon - domain.plon) * DEG;
    *x = static_cast<float>(std::sin(a) * r);
    *y = static_cast<float>(hemi * std::cos(a) * r);
}

}  // namespace

int MAP_domain(const Domain* dom)
{
    if (!dom) {
        domain.proj = VOK_MISSING;
        return -1;
    }
    domain = *dom;
    if (domain.plat == UNSET) domain.plat = domain.clat;
    if (domain.plon == UNSET) domain.plon = domain.clon;
    switch (domain.proj) {
    case 1:
        tlat1 = domain.plat < 0.0f ? -60.0f : 60.0f;
        if (domain.param[0] != UNSET) tlat1 = domain.param[0];
        break;
    case 4:
        tlat1 = 30.0f;
        tlat2 = 60.0f;
        if (domain.param[0] != UNSET) {
            tlat1 = domain.param[0];
            tlat2 = domain.param[1];
        }
        break;
    case 9:
        sat_rad = domain.param[0] != UNSET ? domain.param[0] : 421.61f;
        sat_rad2 = sat_rad * sat_rad;
        sat_rad4 = sat_rad2 * sat_rad2;
        sat_rad2_maj2 = sat_rad2 - earth_maj * earth_maj;
        break;
    default:
        break;
    }
    xfactor = UNSET;
    yfactor = UNSET;
    sat_ratio = UNSET;
    axis_ratio2 = (earth_min / earth_maj) * (earth_min / earth_maj);
    MAP_set_limits();
    return 0;
}

void MAP_tran_center(float* x, float* y)
{
    MAP_tran(x, y, domain.clat, domain.clon);
}

int MAP_set_limits()
{
    float x0 = 0.0f;
    float y0 = 0.0f;
    MAP_tran_center(&x0, &y0);
    if (is_map_proj(domain.proj)) {
        const float hx = domain.dx * static_cast<float>(domain.nx - 1) / 2.0f;
        const float hy = domain.dy * static_cast<float>(domain.ny - 1) / 2.0f;
        limits[0] = x0 - hx;
        limits[1] = x0 + hx;
        limits[2] = y0 - hy;
        limits[3] = y0 + hy;
    } else {
        float x1 = 0.0f;
        float y1 = 0.0f;
        MAP_tran(&x1, &y1, domain.clat + domain.dx, domain.clon + domain.dy);
        limits[0] = std::fmin(x0, x1);
        limits[1] = std::fmax(x0, x1);
        limits[2] = std::fmin(y0, y1);
        limits[3] = std::fmax(y0, y1);
    }
    return 0;
}

int MAP_tran(float* x, float* y, float lat, float lon)
{
    if (!x || !y) return 1;
    if (is_map_proj(domain.proj)) lon = wrap_lon(lon);
    switch (domain.proj) {
    case MAP_PROJ_POLAR:
        polar(x, y, lat, lon);
        break;
    case MAP_PROJ_LATLON:
        *x = wrap_lon(lon - domain.plon);
        *y = lat;
        break;
    default:
        // No domain; the plotting programs' projections come with them.
        *x = lat;
        *y = lon;
        break;
    }
    return 1;
}

int MAP_in_grid_domain(float x, float y)
{
    if (domain.proj == VOK_MISSING) return 1;
    const float mx = 3.0f * domain.dx;
    const float my = 3.0f * domain.dy;
    return (x >= limits[0] - mx && x <= limits[1] + mx && y >= limits[2] - my &&
            y <= limits[3] + my)
               ? 1
               : 0;
}

void MAP_get_limits(float out[4])
{
    if (!out) return;
    for (int i = 0; i < 4; ++i) out[i] = limits[i];
}

void MAP_reset()
{
    domain = unset_domain();
    for (float& l : limits) l = UNSET;
    earth_rad = 63.7122f;
    earth_maj = 63.781368f;
    earth_min = 63.56752f;
    tlat1 = 30.0f;
    tlat2 = 60.0f;
    sat_rad = 421.64f;
    xfactor = yfactor = sat_ratio = UNSET;
    hemi = -1.0f;
    sat_rad2 = sat_rad4 = sat_rad2_maj2 = axis_ratio2 = 0.0f;
}
