// The legacy netCDF form of upper-air files: its layout (one record per
// station report along the unlimited dimension, 25 mandatory rows, up to
// 200 significant and 100 wind levels), the header that defines it and the
// record of one report. Type 12 names its record dimension "report" and its
// level variables in upper case and keeps SI units; the older type 11,
// never created by the conversion but appended to, names them "station" and
// in lower case and keeps the report's knots and feet.
#include "ua_read_shared.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "vokcdf.h"
#include "ua_units.h"

namespace ua {
namespace {

constexpr const char* DEFAULT_HISTORY = "Upper air converted file from VOK decoders";

enum class CdfKind { text, integer, real };
enum class CdfShape { text, scalar, mant, sigt, sigw };

struct CdfVarDesc {
    const char* name;      // type 12
    const char* old_name;  // type 11
    CdfKind kind;
    CdfShape shape;
    const char* long_name;
    const char* units;     // null: none
    bool range;            // valid_range and _FillValue are written
    float lo, hi;
};

// A CF-aware reader masks values outside valid_range and those equal to
// _FillValue, so the ranges hold every value the atmosphere can give and a
// report can carry, and no count has a fill value that a real count takes
// (what no atmosphere gives, a direction of 365 or a latitude of 99.9 that
// the figures could spell, stays outside):
//  - counts: 25 mandatory rows, up to 200 significant and 100 wind levels,
//    and 0 for none (a count never written reads as VOK_MISSING);
//  - heights from -1000 m (the 1000 hPa surface of a deep high lies below
//    sea level; the real feeds go to -224 m) to 100 km;
//  - temperatures within the code's -99.9 to 99.9 degrees, dew points down
//    to 49 degrees below that (the real feeds give -108.9 in the
//    stratosphere);
//  - speeds up to the 249 units of a wind group, 249 m/s at most.
constexpr float HEIGHT_MIN = -1000, HEIGHT_MAX = 100000;
constexpr float DEW_POINT_MIN = -150;
constexpr CdfVarDesc cdf_vars[NUM_CDF_VARS] = {
    {"id", "id", CdfKind::text, CdfShape::text, "Station ID", nullptr, false, 0, 0},
    {"region", "region", CdfKind::text, CdfShape::text, "Region ID", nullptr, false, 0, 0},
    {"type", "type", CdfKind::text, CdfShape::text, "Report Origination", nullptr, false, 0, 0},
    {"idn", "idn", CdfKind::integer, CdfShape::scalar, "WMO Numeric Station ID", nullptr, false, 0, 0},
    {"lat", "lat", CdfKind::real, CdfShape::scalar, "Latitude", "degrees_N", true, -90, 90},
    {"lon", "lon", CdfKind::real, CdfShape::scalar, "Longitude", "degrees_E", true, -180, 180},
    {"num_mant", "num_mant", CdfKind::integer, CdfShape::scalar, "Number of Mandatory Levels", nullptr,
     true, 0, UPA_NUM_MAN},
    {"num_sigt", "num_sigt", CdfKind::integer, CdfShape::scalar, "Number of Significant Levels wrt T",
     nullptr, true, 0, UPA_MAX_SIG},
    {"num_sigw", "num_sigw", CdfKind::integer, CdfShape::scalar, "Number of Significant Levels wrt W",
     nullptr, true, 0, UPA_MAX_WND},
    {"P_man", "p_man", CdfKind::real, CdfShape::mant, "Pressure - Mandatory Levels", "hectopascals", true,
     0, 1500},
    {"Z_man", "z_man", CdfKind::real, CdfShape::mant, "Geopotential - Mandatory Levels", "meters", true,
     HEIGHT_MIN, HEIGHT_MAX},
    {"T_man", "t_man", CdfKind::real, CdfShape::mant, "Temperature - Mandatory Levels", "celsius", true,
     -100, 100},
    {"TD_man", "td_man", CdfKind::real, CdfShape::mant, "Dew Point - Mandatory Levels", "celsius", true,
     DEW_POINT_MIN, 100},
    {"DIR_man", "dir_man", CdfKind::real, CdfShape::mant, "Wind Direction - Mandatory Levels", "degrees",
     true, 0, 360},
    {"SPD_man", "spd_man", CdfKind::real, CdfShape::mant, "Wind Speed - Mandatory Levels",
     "meters/second", true, 0, 300},
    {"P_sigt", "p_sigt", CdfKind::real, CdfShape::sigt, "Pressure - Significant Levels wrt T",
     "hectopascals", true, 0, 1500},
    {"T_sigt", "t_sigt", CdfKind::real, CdfShape::sigt, "Temperature - Significant Levels wrt T",
     "celsius", true, -100, 100},
    {"TD_sigt", "td_sigt", CdfKind::real, CdfShape::sigt, "Dew Point - Significant Levels wrt T",
     "celsius", true, DEW_POINT_MIN, 100},
    {"Z_sigw", "z_sigw", CdfKind::real, CdfShape::sigw, "Altitude - Significant Levels wrt W", "meters",
     true, HEIGHT_MIN, HEIGHT_MAX},
    {"DIR_sigw", "dir_sigw", CdfKind::real, CdfShape::sigw, "Wind Direction - Significant Levels wrt W",
     "degrees", true, 0, 360},
    {"SPD_sigw", "spd_sigw", CdfKind::real, CdfShape::sigw, "Wind Speed - Significant Levels wrt W",
     "meters/second", true, 0, 300},
};

bool is_old_form(int type)
{
    return type == UPA_FILE_CDF_STATION;
}

const char* cdf_name(int type, int v)
{
    return is_old_form(type) ? cdf_vars[v].old_name : cdf_vars[v].name;
}

// ------------------------------------------------------------ header
int cdf_def_var(int type, int v, const int dims[5])
{
    const CdfVarDesc& d = cdf_vars[v];
    const int rec_dim = dims[0];
    switch (d.shape) {
    case CdfShape::text: CDF_set_shape(2, rec_dim, dims[4]); break;
    case CdfShape::scalar: CDF_set_shape(1, rec_dim); break;
    case CdfShape::mant: CDF_set_shape(2, rec_dim, dims[1]); break;
    case CdfShape::sigt: CDF_set_shape(2, rec_dim, dims[2]); break;
    case CdfShape::sigw: CDF_set_shape(2, rec_dim, dims[3]); break;
    }
    switch (d.kind) {
    case CdfKind::text: return CDF_def_char_var(cdf_name(type, v));
    case CdfKind::integer: return CDF_def_long_var(cdf_name(type, v));
    case CdfKind::real: return CDF_def_float_var(cdf_name(type, v));
    }
    return -1;
}

// Units and valid range of a variable. The older netCDF form keeps the
// winds as the report holds them, speeds in knots and wind heights in feet,
// and says so; its ranges are the same bounds in those units.
struct CdfUnits {
    const char* units;
    float lo, hi;
};

CdfUnits cdf_units(int type, int v)
{
    const CdfVarDesc& d = cdf_vars[v];
    if (is_old_form(type)) {
        if (v == spd_man_id || v == spd_sigw_id)
            return {"knots", d.lo, static_cast<float>(d.hi / RECORD_MPS_PER_KNOT)};
        if (v == z_sigw_id)
            return {"feet", static_cast<float>(d.lo / METRES_PER_FOOT), static_cast<float>(d.hi / METRES_PER_FOOT)};
    }
    return {d.units, d.lo, d.hi};
}

bool cdf_var_atts(int type, int v, int id)
{
    const CdfVarDesc& d = cdf_vars[v];
    const CdfUnits u = cdf_units(type, v);
    bool ok = CDF_put_base_att(id, d.long_name, u.units) == 0;
    if (!d.range) return ok;
    if (d.kind == CdfKind::integer) {
        if (CDF_put_long_range_att(id, static_cast<int>(u.lo), static_cast<int>(u.hi)) != 0) ok = false;
        if (CDF_put_long_fill_att(id, VOK_MISSING) != 0) ok = false;
    } else {
        if (CDF_put_float_range_att(id, u.lo, u.hi) != 0) ok = false;
        if (CDF_put_fill_att(id) != 0) ok = false;
    }
    return ok;
}

// ------------------------------------------------------------ record
// Where the report comes from: a ship or a mobile station by its area,
// any other report from a land station.
const char* report_origin(const UPA_report& rep)
{
    const std::string_view area = field_text(rep.area);
    if (area == "SH") return "SHIP";
    if (area == "MO") return "MOBILE";
    return "LAND";
}

// Knots to metres per second and feet to metres for the netCDF form, which
// keeps SI units; a missing value stays missing. The older netCDF form
// keeps the units of the report.
float cdf_speed(int type, float spd)
{
    if (is_missing(spd) || is_old_form(type)) return spd;
    return static_cast<float>(spd * RECORD_MPS_PER_KNOT);
}

float cdf_height(int type, float h)
{
    if (is_missing(h) || is_old_form(type)) return h;
    return static_cast<float>(h * METRES_PER_FOOT);
}

// One record's station variables at index r; false when a write failed.
bool cdf_station(const UPA_report& rep, int r, const CdfVarIds& ids)
{
    bool ok = CDF_set_pos(1, r) == 0;
    char text[VOK_ID_LEN + 1];
    const auto put_text = [&](int var, std::string_view value) {
        const std::size_t n = std::min(value.size(), sizeof text - 1);
        std::memcpy(text, value.data(), n);
        text[n] = '\0';
        if (CDF_put_str(ids[var], text) != 0) ok = false;
    };
    put_text(id_id, field_text(rep.id));
    put_text(region_id, field_text(rep.area));
    put_text(type_id, report_origin(rep));
    if (CDF_put_long(ids[wmo_id], rep.wmo) != 0) ok = false;
    if (CDF_put_float(ids[lat_id], rep.lat) != 0) ok = false;
    if (CDF_put_float(ids[lon_id], rep.lon) != 0) ok = false;
    // numman only says that mandatory data came in: all 25 rows are written.
    if (CDF_put_long(ids[num_mant_id], rep.numman != 0 ? UPA_NUM_MAN : 0) != 0) ok = false;
    if (CDF_put_long(ids[num_sigt_id], clamp_count(rep.numsig, UPA_MAX_SIG)) != 0) ok = false;
    if (CDF_put_long(ids[num_sigw_id], clamp_count(rep.numwnd, UPA_MAX_WND)) != 0) ok = false;
    return ok;
}

bool cdf_put_arrays(const CdfVarIds& ids, int first_var, int nvar, int r, int n, const float* const* arrays)
{
    bool ok = CDF_set_range(2, r, 1, 0, n) == 0;
    for (int k = 0; k < nvar; ++k)
        if (CDF_put_float_array(ids[first_var + k], arrays[k]) != 0) ok = false;
    return ok;
}

bool cdf_mandatory(const UPA_report& rep, int r, int type, const CdfVarIds& ids)
{
    float p[UPA_NUM_MAN], h[UPA_NUM_MAN], t[UPA_NUM_MAN], td[UPA_NUM_MAN], dir[UPA_NUM_MAN],
        spd[UPA_NUM_MAN];
    for (int s = 0; s < UPA_NUM_MAN; ++s) {
        const UPA_man& m = rep.man[s];
        p[s] = m.p;
        h[s] = m.h;
        t[s] = m.t;
        td[s] = m.td;
        dir[s] = m.dir;
        spd[s] = cdf_speed(type, m.spd);
    }
    const float* man[] = {p, h, t, td, dir, spd};
    return cdf_put_arrays(ids, p_man_id, 6, r, UPA_NUM_MAN, man);
}

bool cdf_levels(const UPA_report& rep, int r, int type, const CdfVarIds& ids)
{
    const int nsig = clamp_count(rep.numsig, UPA_MAX_SIG);
    float sp[UPA_MAX_SIG], st[UPA_MAX_SIG], std_[UPA_MAX_SIG];
    for (int s = 0; s < nsig; ++s) {
        sp[s] = rep.sig[s].p;
        st[s] = rep.sig[s].t;
        std_[s] = rep.sig[s].td;
    }
    const float* sig[] = {sp, st, std_};
    bool ok = cdf_put_arrays(ids, p_sigt_id, 3, r, nsig, sig);

    const int nwnd = clamp_count(rep.numwnd, UPA_MAX_WND);
    float wz[UPA_MAX_WND], wdir[UPA_MAX_WND], wspd[UPA_MAX_WND];
    for (int s = 0; s < nwnd; ++s) {
        wz[s] = cdf_height(type, rep.wnd[s].h);
        wdir[s] = rep.wnd[s].dir;
        wspd[s] = cdf_speed(type, rep.wnd[s].spd);
    }
    const float* wnd[] = {wz, wdir, wspd};
    if (!cdf_put_arrays(ids, z_sigw_id, 3, r, nwnd, wnd)) ok = false;
    return ok;
}

}  // namespace

int cdf_define_header(int type, UPA_info* info, CdfVarIds& ids)
{
    bool ok = true;
    const int dims[5] = {
        CDF_def_dim(is_old_form(type) ? "station" : "report", 0),
        CDF_def_dim("mant_level", UPA_NUM_MAN),
        CDF_def_dim("sigt_level", UPA_MAX_SIG),
        CDF_def_dim("sigw_level", UPA_MAX_WND),
        CDF_def_dim("string_len", VOK_ID_LEN),
    };
    for (int d : dims)
        if (d == -1) ok = false;
    for (int v = 0; v < NUM_CDF_VARS; ++v)
        if ((ids[v] = cdf_def_var(type, v, dims)) == -1) ok = false;
    for (int v = 0; v < NUM_CDF_VARS; ++v)
        if (!cdf_var_atts(type, v, ids[v])) ok = false;
    if (!info->cmdline) info->cmdline = DEFAULT_HISTORY;
    const std::string datim(field_text(info->datim));
    const std::string key(field_text(info->file));
    if (CDF_put_glob_att("title", "Upper Air Observations") != 0) ok = false;
    if (CDF_put_glob_att("version", "2.0") != 0) ok = false;
    if (CDF_put_glob_att("history", info->cmdline) != 0) ok = false;
    if (CDF_put_glob_att("filetime", datim.c_str()) != 0) ok = false;
    if (CDF_put_glob_att("yymmddhh", key.c_str()) != 0) ok = false;
    if (CDF_end_def() != 0) ok = false;
    return ok ? 0 : -1;
}

bool cdf_lookup_vars(int type, CdfVarIds& ids)
{
    bool all = true;
    for (int v = 0; v < NUM_CDF_VARS; ++v) {
        ids[v] = CDF_get_var(cdf_name(type, v));
        if (ids[v] == -1) all = false;
    }
    return all;
}

int cdf_record(const UPA_report& rep, int r, int type, const CdfVarIds& ids)
{
    // A variable the file lacks is not written.
    bool ok = std::find(ids.begin(), ids.end(), -1) == ids.end();
    if (!cdf_station(rep, r, ids)) ok = false;
    if (!cdf_mandatory(rep, r, type, ids)) ok = false;
    if (!cdf_levels(rep, r, type, ids)) ok = false;
    return ok ? 0 : -1;
}

}  // namespace ua
