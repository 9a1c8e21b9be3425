// Map transforms: one current domain, and latitude/longitude turned into the
// plot coordinates of its projection. The station database uses it to keep
// only the stations that fall on (or near) a domain's grid.
//
// The map projections use the spherical forms of the standard formulas on a
// sphere of radius earth_rad (units of 100 km), with the projection's pole,
// tangent point or central meridian at (plat, plon). The sounding diagrams
// take a temperature (deg C) for the latitude and a pressure (hPa) for the
// longitude.
#include <cmath>
#include <numbers>

#include "vok.h"

namespace {

constexpr double PI = std::numbers::pi;
constexpr double DEG = PI / 180.0;

// Dry-air R / cp, the exponent of the potential temperature.
constexpr double KAPPA = 0.2857;
constexpr double KELVIN = 273.15;
// Isotherm slope of the skew-T: degrees of x per e-fold of pressure.
constexpr double SKEW = 35.0;
// Cosine of the angle from an azimuthal centre below which the gnomonic map
// has run off to infinity.
constexpr double GNOMONIC_EDGE = 1.0e-6;

Domain unset_domain()
{
    Domain d{};
    d.proj = VOK_MISSING;
    d.plat = d.plon = VOK_MISSING_F;
    for (float& p : d.param) p = VOK_MISSING_F;
    d.clat = d.clon = d.dx = d.dy = VOK_MISSING_F;
    d.nx = d.ny = VOK_MISSING;
    d.ellipse = 0;
    return d;
}

// Module state: the current domain and the constants of its projection.
struct MapState {
    Domain domain = unset_domain();
    float limits[4] = {VOK_MISSING_F, VOK_MISSING_F, VOK_MISSING_F, VOK_MISSING_F};
    float earth_rad = 63.7122f;     // units of 100 km
    float earth_maj = 63.781368f;
    float earth_min = 63.56752f;
    float tlat1 = 30.0f;
    float tlat2 = 60.0f;
    float sat_rad = 421.64f;
    // Projection factors, recomputed on first use after a domain change
    // (VOK_MISSING_F = not yet): polar stereographic scale; Lambert cone constant n
    // and R F; sine and cosine of an azimuthal centre's latitude; Mercator and
    // Mollweide scales.
    double xfactor = VOK_MISSING_F;
    double yfactor = VOK_MISSING_F;
    // Hemisphere of the polar stereographic projection: -1 projects from the
    // south pole (a northern map), 1 from the north pole.
    double hemi = -1.0;
    // Satellite distance from the earth's centre in earth radii, and the
    // orbit constants kept for the ellipsoidal view.
    double sat_ratio = VOK_MISSING_F;
    float sat_rad2 = 0.0f;
    float sat_rad4 = 0.0f;
    float sat_rad2_maj2 = 0.0f;
    float axis_ratio2 = 0.0f;
    bool proj_ok = true;   // the factors came out without a singularity
    bool sound = true;     // MAP_check_domain of the current domain
    bool usable = false;   // sound, and its limits are known
};

MapState st;

bool is_map_proj(int proj)
{
    return proj >= 1 && proj <= 9;
}

bool is_known_proj(int proj)
{
    switch (proj) {
    case MAP_PROJ_XY: case MAP_PROJ_XLOGP: case MAP_PROJ_HODO: case MAP_PROJ_CAT:
    case MAP_PROJ_XP: case MAP_PROJ_SKEWT: case MAP_PROJ_STUVE: case MAP_PROJ_EMAGRAM:
    case MAP_PROJ_TEPHI: case MAP_PROJ_RTEPHI: case MAP_PROJ_ZOOM: case MAP_PROJ_SIZE:
    case MAP_PROJ_PIXEL:
        return true;
    default:
        return is_map_proj(proj);
    }
}

bool is_set(float v)
{
    return v != VOK_MISSING_F;
}

// Into -180 .. 180 (both kept) without looping on huge values.
double wrap_lon(double lon)
{
    if (lon > 180.0 || lon < -180.0) {
        lon = std::fmod(lon, 360.0);
        if (lon > 180.0) lon -= 360.0;
        else if (lon < -180.0) lon += 360.0;
    }
    return lon;
}

void off_grid(float* x, float* y)
{
    *x = MAP_OFF_GRID;
    *y = MAP_OFF_GRID;
}

void put(float* x, float* y, double xv, double yv)
{
    if (!std::isfinite(xv) || !std::isfinite(yv) || std::fabs(xv) >= MAP_OFF_GRID ||
        std::fabs(yv) >= MAP_OFF_GRID) {
        off_grid(x, y);
        return;
    }
    *x = static_cast<float>(xv);
    *y = static_cast<float>(yv);
}

// ---------------------------------------------------------------- factors

// The cone constant of a Lambert conformal projection with true latitudes
// t1 and t2 (degrees); one true latitude makes a tangent cone.
double lambert_cone(double t1, double t2)
{
    const double p1 = t1 * DEG;
    const double p2 = t2 * DEG;
    if (std::fabs(t1 - t2) < 1.0e-6) return std::sin(p1);
    return std::log(std::cos(p1) / std::cos(p2)) /
           std::log(std::tan(PI / 4.0 + p2 / 2.0) / std::tan(PI / 4.0 + p1 / 2.0));
}

bool lambert_factors()
{
    // A true latitude at a pole leaves no cone, and true latitudes that
    // mirror each other across the equator make the cone a cylinder.
    if (!(std::fabs(st.tlat1) < 90.0f) || !(std::fabs(st.tlat2) < 90.0f)) return false;
    const double n = lambert_cone(st.tlat1, st.tlat2);
    if (!std::isfinite(n) || std::fabs(n) < 1.0e-6) return false;
    const double p1 = st.tlat1 * DEG;
    const double f = std::cos(p1) * std::pow(std::tan(PI / 4.0 + p1 / 2.0), n) / n;
    st.xfactor = n;
    st.yfactor = st.earth_rad * f;
    return std::isfinite(st.yfactor);
}

bool azimuthal_factors()
{
    const Domain& d = st.domain;
    if (!std::isfinite(d.plat) || std::fabs(d.plat) > 90.0f || !std::isfinite(d.plon)) return false;
    st.xfactor = std::sin(d.plat * DEG);
    st.yfactor = std::cos(d.plat * DEG);
    if (d.proj == MAP_PROJ_SAT) {
        st.sat_ratio = st.sat_rad / st.earth_rad;
        // A satellite inside the earth sees nothing.
        if (!std::isfinite(st.sat_ratio) || st.sat_ratio <= 1.0) return false;
    }
    return true;
}

// Factors of the current projection, computed once after a domain change.
bool factors()
{
    if (st.xfactor != VOK_MISSING_F) return st.proj_ok;
    const Domain& d = st.domain;
    bool ok = std::isfinite(d.plon) || !is_map_proj(d.proj);
    st.xfactor = 1.0;
    st.yfactor = 1.0;
    switch (d.proj) {
    case MAP_PROJ_POLAR:
        st.hemi = d.plat >= 0.0f ? -1.0 : 1.0;
        st.xfactor = (1.0 - st.hemi * std::sin(st.tlat1 * DEG)) * st.earth_rad;
        // A true latitude at the far pole shrinks the whole map to a point.
        ok = ok && std::fabs(st.tlat1) <= 90.0f && st.xfactor > 1.0e-6 * st.earth_rad;
        break;
    case MAP_PROJ_MERC:
        st.xfactor = st.earth_rad;
        break;
    case MAP_PROJ_LAMBERT:
        ok = ok && lambert_factors();
        break;
    case MAP_PROJ_ORTHO: case MAP_PROJ_GNOMONIC: case MAP_PROJ_LAMB_AZ: case MAP_PROJ_SAT:
        ok = ok && azimuthal_factors();
        break;
    case MAP_PROJ_MOLLWEIDE:
        st.xfactor = st.earth_rad * 2.0 * std::numbers::sqrt2 / PI;
        st.yfactor = st.earth_rad * std::numbers::sqrt2;
        break;
    default:
        break;
    }
    st.proj_ok = ok;
    return ok;
}

// ---------------------------------------------------------------- projections
// phi and lam in radians, lam measured from the central meridian.

void polar(float* x, float* y, double lat, double lon)
{
    // Near the opposite pole the projection runs off to infinity; stations
    // there are held at 75 degrees so that they stay far off the map rather
    // than overflow.
    if (st.hemi * lat > 75.0) lat = 75.0 * st.hemi;
    const double r = std::tan((90.0 + st.hemi * lat) / 2.0 * DEG) * st.xfactor;
    const double a = (lon - st.domain.plon) * DEG;
    put(x, y, std::sin(a) * r, st.hemi * std::cos(a) * r);
}

void mercator(float* x, float* y, double lat, double lam)
{
    // The poles lie at infinity.
    if (std::fabs(lat) >= 90.0) return off_grid(x, y);
    const double phi = lat * DEG;
    put(x, y, st.xfactor * lam, st.xfactor * std::log(std::tan(PI / 4.0 + phi / 2.0)));
}

// Cone apex (the pole) at the origin, the central meridian along -y (along
// +y for a cone of the southern hemisphere).
void lambert(float* x, float* y, double lat, double lam)
{
    const double n = st.xfactor;
    // The far pole is at infinity.
    if ((n > 0.0 && lat <= -90.0 + 1.0e-4) || (n < 0.0 && lat >= 90.0 - 1.0e-4)) return off_grid(x, y);
    const double t = std::tan(PI / 4.0 + lat * DEG / 2.0);
    if (!(t > 0.0)) return off_grid(x, y);
    const double rho = st.yfactor / std::pow(t, n);
    const double theta = n * lam;
    put(x, y, rho * std::sin(theta), -rho * std::cos(theta));
}

// Orthographic, gnomonic, Lambert azimuthal equal-area and the satellite's
// vertical perspective share the geometry around the centre: k is the
// projection's radial scale, from the cosine of the angle to the centre.
void azimuthal(float* x, float* y, double lat, double lam)
{
    const double phi = lat * DEG;
    const double sin1 = st.xfactor;
    const double cos1 = st.yfactor;
    const double cosc = sin1 * std::sin(phi) + cos1 * std::cos(phi) * std::cos(lam);
    double k = 1.0;
    switch (st.domain.proj) {
    case MAP_PROJ_ORTHO:
        if (cosc < 0.0) return off_grid(x, y);   // the far side of the globe
        break;
    case MAP_PROJ_GNOMONIC:
        if (cosc < GNOMONIC_EDGE) return off_grid(x, y);
        k = 1.0 / cosc;
        break;
    case MAP_PROJ_LAMB_AZ:
        if (1.0 + cosc < 1.0e-12) return off_grid(x, y);  // the antipode
        k = std::sqrt(2.0 / (1.0 + cosc));
        break;
    default:   // satellite view: beyond the horizon the earth hides it
        if (cosc < 1.0 / st.sat_ratio) return off_grid(x, y);
        k = (st.sat_ratio - 1.0) / (st.sat_ratio - cosc);
        break;
    }
    const double r = st.earth_rad * k;
    put(x, y, r * std::cos(phi) * std::sin(lam),
        r * (cos1 * std::sin(phi) - sin1 * std::cos(phi) * std::cos(lam)));
}

// The auxiliary angle of the Mollweide projection: 2t + sin 2t = pi sin phi,
// by Newton's method on u = 2t kept inside its bracket.
double mollweide_theta(double phi)
{
    if (std::fabs(phi) >= PI / 2.0 - 1.0e-9) return std::copysign(PI / 2.0, phi);
    const double target = PI * std::sin(phi);
    double lo = -PI;
    double hi = PI;
    double u = 2.0 * phi;
    for (int i = 0; i < 60; ++i) {
        const double f = u + std::sin(u) - target;
        if (std::fabs(f) < 1.0e-13) break;
        if (f > 0.0) hi = u;
        else lo = u;
        const double fp = 1.0 + std::cos(u);
        double next = fp > 1.0e-12 ? u - f / fp : (lo + hi) / 2.0;
        if (!(next > lo && next < hi)) next = (lo + hi) / 2.0;
        u = next;
    }
    return u / 2.0;
}

void mollweide(float* x, float* y, double lat, double lam)
{
    const double t = mollweide_theta(lat * DEG);
    put(x, y, st.xfactor * lam * std::cos(t), st.yfactor * std::sin(t));
}

void map_tran(float* x, float* y, double lat, double lon)
{
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0 || !factors())
        return off_grid(x, y);
    lon = wrap_lon(lon);
    const double dlon = wrap_lon(lon - st.domain.plon);
    const double lam = dlon * DEG;
    switch (st.domain.proj) {
    case MAP_PROJ_POLAR:
        return polar(x, y, lat, lon);
    case MAP_PROJ_LATLON:
        return put(x, y, dlon, lat);
    case MAP_PROJ_MERC:
        return mercator(x, y, lat, lam);
    case MAP_PROJ_LAMBERT:
        return lambert(x, y, lat, lam);
    case MAP_PROJ_MOLLWEIDE:
        return mollweide(x, y, lat, lam);
    default:
        return azimuthal(x, y, lat, lam);
    }
}

// ---------------------------------------------------------------- diagrams

// Sounding diagrams: t in deg C, p in hPa. Height grows with y.
void diagram_tran(float* x, float* y, double t, double p)
{
    if (!std::isfinite(t) || !(p > 0.0) || !std::isfinite(p)) return off_grid(x, y);
    const double lnp = std::log(1000.0 / p);
    switch (st.domain.proj) {
    case MAP_PROJ_SKEWT:
        return put(x, y, t + SKEW * lnp, lnp);
    case MAP_PROJ_STUVE:
        return put(x, y, t, 1.0 - std::pow(p / 1000.0, KAPPA));
    case MAP_PROJ_TEPHI:
    case MAP_PROJ_RTEPHI: {
        // Temperature against entropy: y is ln(theta) scaled to degrees near
        // 0 deg C, so dry adiabats are lines of constant y.
        const double tk = t + KELVIN;
        if (!(tk > 0.0)) return off_grid(x, y);
        const double theta = tk * std::pow(1000.0 / p, KAPPA);
        const double s = KELVIN * std::log(theta / KELVIN);
        if (st.domain.proj == MAP_PROJ_TEPHI) return put(x, y, t, s);
        // Turned by 45 degrees so that the isobars lie nearly flat.
        return put(x, y, (t + s) / std::numbers::sqrt2, (s - t) / std::numbers::sqrt2);
    }
    default:   // emagram, x against log pressure, cross-section
        return put(x, y, t, lnp);
    }
}

bool is_diagram(int proj)
{
    return proj == MAP_PROJ_XLOGP || proj == MAP_PROJ_SKEWT || proj == MAP_PROJ_STUVE ||
           proj == MAP_PROJ_EMAGRAM || proj == MAP_PROJ_TEPHI || proj == MAP_PROJ_RTEPHI;
}

// ---------------------------------------------------------------- checks and limits

bool finite_or_unset(float v)
{
    return !is_set(v) || std::isfinite(v);
}

bool grid_sound(const Domain& d)
{
    if ((d.nx != VOK_MISSING && d.nx < 1) || (d.ny != VOK_MISSING && d.ny < 1)) return false;
    if (!finite_or_unset(d.dx) || !finite_or_unset(d.dy) || d.dx == 0.0f || d.dy == 0.0f)
        return false;
    if (!finite_or_unset(d.clat) || !finite_or_unset(d.clon)) return false;
    if (!is_map_proj(d.proj)) return true;
    return d.nx != VOK_MISSING && d.ny != VOK_MISSING && d.dx > 0.0f && d.dy > 0.0f &&
           is_set(d.clat) && is_set(d.clon) && std::fabs(d.clat) <= 90.0f;
}

void set_box(float x0, float x1, float y0, float y1)
{
    st.limits[0] = std::fmin(x0, x1);
    st.limits[1] = std::fmax(x0, x1);
    st.limits[2] = std::fmin(y0, y1);
    st.limits[3] = std::fmax(y0, y1);
}

// Corners of the plots and diagrams: the centre and the point dx, dy away,
// except that a hodograph is centred on (clat, clon), and the skewed and
// turned diagrams take x from their bottom isobar and y from their left
// isotherm.
void plot_limits()
{
    const Domain& d = st.domain;
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
    MAP_tran(&x0, &y0, d.clat, d.clon);
    if (d.proj == MAP_PROJ_HODO) {
        set_box(x0 - std::fabs(d.dx), x0 + std::fabs(d.dx), y0 - std::fabs(d.dy), y0 + std::fabs(d.dy));
    } else if (d.proj == MAP_PROJ_SKEWT || d.proj == MAP_PROJ_TEPHI || d.proj == MAP_PROJ_RTEPHI) {
        float x2 = 0.0f, y2 = 0.0f;
        MAP_tran(&x1, &y1, d.clat + d.dx, d.clon);
        MAP_tran(&x2, &y2, d.clat, d.clon + d.dy);
        set_box(x0, x1, y0, y2);
    } else {
        MAP_tran(&x1, &y1, d.clat + d.dx, d.clon + d.dy);
        set_box(x0, x1, y0, y1);
    }
}

}  // namespace

int MAP_domain(const Domain* dom)
{
    if (!dom) {
        st.domain.proj = VOK_MISSING;
        return -1;
    }
    Domain& d = st.domain;
    d = *dom;
    if (d.plat == VOK_MISSING_F) d.plat = d.clat;
    if (d.plon == VOK_MISSING_F) d.plon = d.clon;
    switch (d.proj) {
    case MAP_PROJ_POLAR:
        st.tlat1 = d.plat < 0.0f ? -60.0f : 60.0f;
        if (is_set(d.param[0])) st.tlat1 = d.param[0];
        break;
    case MAP_PROJ_LAMBERT:
        st.tlat1 = 30.0f;
        st.tlat2 = 60.0f;
        if (is_set(d.param[0])) {
            st.tlat1 = d.param[0];
            // One true latitude alone makes a tangent cone.
            st.tlat2 = is_set(d.param[1]) ? d.param[1] : d.param[0];
        }
        break;
    case MAP_PROJ_SAT:
        st.sat_rad = is_set(d.param[0]) ? d.param[0] : 421.61f;
        st.sat_rad2 = st.sat_rad * st.sat_rad;
        st.sat_rad4 = st.sat_rad2 * st.sat_rad2;
        st.sat_rad2_maj2 = st.sat_rad2 - st.earth_maj * st.earth_maj;
        break;
    default:
        break;
    }
    st.xfactor = VOK_MISSING_F;
    st.yfactor = VOK_MISSING_F;
    st.sat_ratio = VOK_MISSING_F;
    st.axis_ratio2 = (st.earth_min / st.earth_maj) * (st.earth_min / st.earth_maj);
    st.sound = is_known_proj(d.proj) && grid_sound(d) && factors();
    MAP_set_limits();
    return 0;
}

int MAP_check_domain(const Domain* dom)
{
    if (!dom || dom->proj == VOK_MISSING) return 1;
    const MapState saved = st;
    MAP_domain(dom);
    const bool ok = st.sound;
    st = saved;
    return ok ? 1 : 0;
}

void MAP_tran_center(float* x, float* y)
{
    MAP_tran(x, y, st.domain.clat, st.domain.clon);
}

int MAP_set_limits()
{
    for (float& l : st.limits) l = VOK_MISSING_F;
    st.usable = false;
    const Domain& d = st.domain;
    if (!st.sound || d.proj == VOK_MISSING) return 0;
    if (!is_set(d.clat) || !is_set(d.clon) || !is_set(d.dx) || !is_set(d.dy)) return 0;
    if (is_map_proj(d.proj)) {
        float x0 = 0.0f;
        float y0 = 0.0f;
        MAP_tran_center(&x0, &y0);
        // A centre that the projection cannot show leaves no grid at all.
        if (x0 == MAP_OFF_GRID) {
            st.sound = false;
            return 0;
        }
        const float hx = d.dx * static_cast<float>(d.nx - 1) / 2.0f;
        const float hy = d.dy * static_cast<float>(d.ny - 1) / 2.0f;
        set_box(x0 - hx, x0 + hx, y0 - hy, y0 + hy);
    } else {
        plot_limits();
    }
    for (float l : st.limits) {
        // A grid too large for the plane (or a corner the plot cannot show)
        // cannot be drawn.
        if (!std::isfinite(l) || std::fabs(l) >= MAP_OFF_GRID) {
            for (float& m : st.limits) m = VOK_MISSING_F;
            st.sound = false;
            return 0;
        }
    }
    st.usable = true;
    return 0;
}

int MAP_tran(float* x, float* y, float lat, float lon)
{
    if (!x || !y) return 1;
    const int proj = st.domain.proj;
    if (is_map_proj(proj)) {
        map_tran(x, y, lat, lon);
    } else if (is_diagram(proj)) {
        diagram_tran(x, y, lat, lon);
    } else {
        // No domain, plain plots and unknown codes: positions pass through.
        *x = lat;
        *y = lon;
    }
    return 1;
}

int MAP_in_grid_domain(float x, float y)
{
    if (st.domain.proj == VOK_MISSING) return 1;
    if (!st.usable || x == MAP_OFF_GRID || y == MAP_OFF_GRID) return 0;
    const float mx = 3.0f * std::fabs(st.domain.dx);
    const float my = 3.0f * std::fabs(st.domain.dy);
    return (x >= st.limits[0] - mx && x <= st.limits[1] + mx && y >= st.limits[2] - my &&
            y <= st.limits[3] + my)
               ? 1
               : 0;
}

void MAP_get_limits(float out[4])
{
    if (!out) return;
    for (int i = 0; i < 4; ++i) out[i] = st.limits[i];
}

void MAP_reset()
{
    st = MapState{};
}
