// The CF-1.8 profile form: one profile per sounding in the contiguous
// ragged-array representation of discrete sampling geometries, written
// through the netCDF-4 C API in the classic model.
//
// Types. Every level value is a double: the soundings keep code figures
// (tenths of hPa, tenths of a degree, whole metres, speeds in knots or m/s),
// and their values in output units come from the unit helpers as doubles. A
// tenth is then the double nearest the decimal the bulletin gave, and a speed
// in knots times 0.514444 keeps all of its up to nine significant figures,
// which a float would round (199 kt is 102.374356 m/s). netCDF4 and xarray
// hand back the same doubles. Positions and station elevations stay floats:
// the station table and a ship's tenths of a degree give them as floats.
// Times are doubles of whole seconds (the classic model has no 64-bit
// integer); a double counts seconds exactly far beyond any sounding.
//
// Layout. "profile" is the unlimited dimension and "obs" the sample
// dimension of the ragged arrays, with row_size giving each profile's
// levels in order. netCDF has no fixed dimension of length 0 and the classic
// model only one unlimited dimension, so a file whose profiles hold no level
// at all has one obs row of fill values that no row_size counts (level_type
// has a _FillValue for it, so that every client masks that row alike).
//
// Appending reads the old file whole, writes old and new profiles into a
// new file beside it and renames that over the old one: a failure at any
// step leaves the old file as it was and no half-written file behind.
#include "ua_write.h"

#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ua_utf8.h"
#include "vokcty.h"

namespace ua {

namespace {

namespace fs = std::filesystem;

constexpr double FILL = VOK_MISSING;  // _FillValue of the doubles and the integers
constexpr const char* CONVENTIONS = "CF-1.8";
constexpr const char* FEATURE_TYPE = "profile";
constexpr const char* TITLE = "Upper Air Observations";
constexpr const char* INSTITUTION =
    "Radiosonde and pilot-balloon stations of the WMO upper-air network, as their bulletins report them";
constexpr const char* TIME_UNITS = "seconds since 1970-01-01 00:00:00";
constexpr int DEFLATE_LEVEL = 4;
// Text widths: at least the suite's identifier and station name fields, so
// that files of ordinary runs share one layout; a longer text widens them.
constexpr std::size_t ID_WIDTH = VOK_ID_LEN - 1;
constexpr std::size_t NAME_WIDTH = sizeof(CTY_data::name) - 1;

// The level variables. Each one's name is its CF standard name.
enum Obs : std::size_t { PRESSURE, GEOPOTENTIAL, ALTITUDE, TEMPERATURE, DEW_POINT, DIRECTION, SPEED, NUM_OBS };

struct ObsDesc {
    const char* name;
    const char* long_name;
    const char* units;
};

constexpr std::array<ObsDesc, NUM_OBS> OBS_VARS = {{
    {"air_pressure", "pressure", "hPa"},
    {"geopotential_height", "geopotential height", "m"},
    {"altitude", "altitude of a wind level that a PILOT part gives by altitude", "m"},
    {"air_temperature", "air temperature", "degC"},
    {"dew_point_temperature", "dew point", "degC"},
    {"wind_from_direction", "wind direction", "degree"},
    {"wind_speed", "wind speed", "m s-1"},
}};

// Level types as LevelType numbers them; their meanings are their names.
constexpr signed char LEVEL_FLAGS[NUM_LEVEL_TYPES] = {0, 1, 2, 3, 4, 5};
static_assert(static_cast<int>(LevelType::sig_wind) == NUM_LEVEL_TYPES - 1);

// Every value of a file of this form, profile by profile and level by level.
struct Columns {
    std::vector<std::string> id, name;
    std::vector<int> wmo, row_size;
    std::vector<float> lat, lon, elevation;
    std::vector<double> time, launch;
    std::array<std::vector<double>, NUM_OBS> obs;
    std::vector<signed char> level_type;
    std::string history, source;  // of the runs that wrote an appended file
};

// The first netCDF failure of a sequence of calls and what was being done.
struct Status {
    int rc = NC_NOERR;
    std::string what;
    bool operator()(int r, std::string_view doing)
    {
        if (rc == NC_NOERR && r != NC_NOERR) {
            rc = r;
            what = doing;
        }
        return rc == NC_NOERR;
    }
    bool ok() const { return rc == NC_NOERR; }
    std::string text() const { return what + ": " + nc_strerror(rc); }
};

// An open netCDF file, closed when it goes.
class NcFile {
public:
    NcFile() = default;
    NcFile(const NcFile&) = delete;
    NcFile& operator=(const NcFile&) = delete;
    ~NcFile()
    {
        if (id_ >= 0) nc_close(id_);
    }
    int* handle() { return &id_; }
    int id() const { return id_; }
    int close()
    {
        const int rc = nc_close(id_);
        id_ = -1;
        return rc;
    }

private:
    int id_ = -1;
};

void set_error(std::string* error, const std::string& text)
{
    if (error) *error = "write_cf: " + text;
}

// ------------------------------------------------------------ values
double or_fill(double v)
{
    return std::isnan(v) ? FILL : v;
}

// Text for a variable that xarray decodes as UTF-8: well-formed sequences as
// they stand, any other byte as the Latin-1 character of its code (as the
// XML form reads it), a NUL, which would end the text early, as U+FFFD.
std::string cf_text(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        const auto c = static_cast<unsigned char>(raw[i]);
        std::size_t n = 1;
        if (c == 0) {
            out += "\xEF\xBF\xBD";
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((n = utf8_char_len(raw, i)) != 0) {
            out += raw.substr(i, n);
        } else {
            n = 1;
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        i += n;
    }
    return out;
}

void add_level(Columns& c, const SoundingLevel& level)
{
    // PILOT winds by altitude have an altitude instead of a pressure and a
    // geopotential height.
    const bool by_altitude = level.alt != AltitudeCode::none;
    const double z = or_fill(height_m(level));
    c.obs[PRESSURE].push_back(or_fill(pressure_hPa(level)));
    c.obs[GEOPOTENTIAL].push_back(by_altitude ? FILL : z);
    c.obs[ALTITUDE].push_back(by_altitude ? z : FILL);
    c.obs[TEMPERATURE].push_back(or_fill(temperature_C(level)));
    c.obs[DEW_POINT].push_back(or_fill(dew_point_C(level)));
    c.obs[DIRECTION].push_back(or_fill(wind_direction_deg(level)));
    c.obs[SPEED].push_back(or_fill(wind_speed_mps(level)));
    c.level_type.push_back(static_cast<signed char>(level.type));
}

void add_soundings(Columns& c, std::span<const Sounding> soundings)
{
    for (const Sounding& s : soundings) {
        c.id.push_back(cf_text(s.id));
        c.name.push_back(cf_text(s.name));
        c.wmo.push_back(s.wmo);
        c.lat.push_back(s.lat);
        c.lon.push_back(s.lon);
        c.elevation.push_back(s.elevation);
        c.time.push_back(static_cast<double>(s.time));
        c.launch.push_back(s.launch_time ? static_cast<double>(*s.launch_time) : FILL);
        c.row_size.push_back(static_cast<int>(s.levels.size()));
        for (const SoundingLevel& level : s.levels) add_level(c, level);
    }
}

std::string iso_time(std::int64_t seconds)
{
    const UtcTime t = utc_time(seconds);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour, t.minute,
                  static_cast<int>(((seconds % 60) + 60) % 60));
    return buf;
}

std::size_t text_width(const std::vector<std::string>& texts, std::size_t least)
{
    std::size_t w = least;
    for (const std::string& t : texts) w = std::max(w, t.size());
    return w;
}

// ------------------------------------------------------------ writing
struct VarIds {
    int id, wmo, name, lat, lon, elevation, time, launch, row_size, level_type;
    std::array<int, NUM_OBS> obs;
};

// Definitions of one file: every variable deflated, attributes in the order
// they are given. After a failure nothing more is defined (a variable that
// failed has the identifier -1, which the library takes for the file's
// global attributes); the file is then removed.
class Definer {
public:
    Definer(int ncid, Status& st) : nc_(ncid), st_(st) {}

    int var(const char* name, nc_type type, std::initializer_list<int> dims)
    {
        int id = -1;
        const std::vector<int> d(dims);
        if (st_.ok() && st_(nc_def_var(nc_, name, type, static_cast<int>(d.size()), d.data(), &id), name))
            st_(nc_def_var_deflate(nc_, id, 1, 1, DEFLATE_LEVEL), name);
        return id;
    }
    void text(int var, const char* att, std::string_view value)
    {
        if (st_.ok()) st_(nc_put_att_text(nc_, var, att, value.size(), value.data()), att);
    }
    void fill(int var, nc_type type)
    {
        if (!st_.ok()) return;
        if (type == NC_FLOAT) {
            const float f = VOK_MISSING_F;
            st_(nc_put_att_float(nc_, var, "_FillValue", NC_FLOAT, 1, &f), "_FillValue");
        } else if (type == NC_BYTE) {
            // The level types: the library's own fill, which a byte holds.
            const signed char f = NC_FILL_BYTE;
            st_(nc_put_att_schar(nc_, var, "_FillValue", NC_BYTE, 1, &f), "_FillValue");
        } else if (type == NC_INT) {
            const int f = VOK_MISSING;
            st_(nc_put_att_int(nc_, var, "_FillValue", NC_INT, 1, &f), "_FillValue");
        } else {
            st_(nc_put_att_double(nc_, var, "_FillValue", NC_DOUBLE, 1, &FILL), "_FillValue");
        }
    }
    // A float of the station's place, missing as VOK_MISSING_F.
    int place(const char* name, int dim, const char* standard_name, const char* long_name, const char* units)
    {
        const int id = var(name, NC_FLOAT, {dim});
        text(id, "standard_name", standard_name);
        text(id, "long_name", long_name);
        text(id, "units", units);
        fill(id, NC_FLOAT);
        return id;
    }
    void flags(int var)
    {
        if (!st_.ok()) return;
        st_(nc_put_att_schar(nc_, var, "flag_values", NC_BYTE, NUM_LEVEL_TYPES, LEVEL_FLAGS), "flag_values");
        std::string meanings;
        for (int k = 0; k < NUM_LEVEL_TYPES; ++k) {
            if (k > 0) meanings += ' ';
            meanings += level_type_name(static_cast<LevelType>(k));
        }
        text(var, "flag_meanings", meanings);
    }

private:
    int nc_;
    Status& st_;
};

void define_time(Definer& d, int var, const char* long_name, bool fill)
{
    if (!fill) d.text(var, "standard_name", "time");
    d.text(var, "long_name", long_name);
    d.text(var, "units", TIME_UNITS);
    d.text(var, "calendar", "standard");
    if (fill) d.fill(var, NC_DOUBLE);
}

VarIds define_profile_vars(Definer& d, int profile, int id_len, int name_len)
{
    VarIds v{};
    // Texts are char arrays (the classic model has no string type): xarray
    // (2023.01) decodes one with _Encoding to str, one without it to bytes.
    v.id = d.var("station_id", NC_CHAR, {profile, id_len});
    d.text(v.id, "long_name", "station identifier: WMO block and station number, or call sign");
    d.text(v.id, "cf_role", "profile_id");
    d.text(v.id, "_Encoding", "utf-8");
    v.wmo = d.var("wmo_id", NC_INT, {profile});
    d.text(v.wmo, "long_name", "WMO block and station number");
    d.fill(v.wmo, NC_INT);
    v.name = d.var("station_name", NC_CHAR, {profile, name_len});
    d.text(v.name, "long_name", "station name");
    d.text(v.name, "_Encoding", "utf-8");
    v.lat = d.place("lat", profile, "latitude", "station latitude", "degrees_north");
    v.lon = d.place("lon", profile, "longitude", "station longitude", "degrees_east");
    v.elevation = d.place("station_altitude", profile, "surface_altitude",
                          "station elevation above mean sea level", "m");
    v.time = d.var("time", NC_DOUBLE, {profile});
    define_time(d, v.time, "observation time", false);
    v.launch = d.var("launch_time", NC_DOUBLE, {profile});
    define_time(d, v.launch, "radiosonde launch time", true);
    v.row_size = d.var("row_size", NC_INT, {profile});
    d.text(v.row_size, "long_name", "number of levels in this profile");
    d.text(v.row_size, "sample_dimension", "obs");
    return v;
}

void define_obs_vars(Definer& d, VarIds& v, int obs)
{
    constexpr const char* coordinates = "time lat lon air_pressure altitude";
    for (std::size_t k = 0; k < NUM_OBS; ++k) {
        const ObsDesc& o = OBS_VARS[k];
        const int id = v.obs[k] = d.var(o.name, NC_DOUBLE, {obs});
        d.text(id, "standard_name", o.name);
        d.text(id, "long_name", o.long_name);
        d.text(id, "units", o.units);
        d.fill(id, NC_DOUBLE);
        if (k == PRESSURE) {
            d.text(id, "axis", "Z");
            d.text(id, "positive", "down");
        } else if (k == ALTITUDE) {
            d.text(id, "positive", "up");
        } else {
            d.text(id, "coordinates", coordinates);
        }
    }
    v.level_type = d.var("level_type", NC_BYTE, {obs});
    d.text(v.level_type, "long_name", "type of level");
    d.flags(v.level_type);
    d.fill(v.level_type, NC_BYTE);
    d.text(v.level_type, "coordinates", coordinates);
}

void define_globals(Definer& d, const Columns& c, const CfInfo& info)
{
    d.text(NC_GLOBAL, "Conventions", CONVENTIONS);
    d.text(NC_GLOBAL, "featureType", FEATURE_TYPE);
    d.text(NC_GLOBAL, "title", TITLE);
    d.text(NC_GLOBAL, "institution", INSTITUTION);
    d.text(NC_GLOBAL, "source", c.source);
    d.text(NC_GLOBAL, "history", c.history);
    d.text(NC_GLOBAL, "decode_time", iso_time(info.decode_time));
}

// A text variable of n rows of width w.
void put_texts(int nc, int var, const std::vector<std::string>& texts, std::size_t w, Status& st)
{
    std::vector<char> buf(texts.size() * w, '\0');
    for (std::size_t r = 0; r < texts.size(); ++r) std::memcpy(buf.data() + r * w, texts[r].data(), texts[r].size());
    const std::size_t start[2] = {0, 0};
    const std::size_t count[2] = {texts.size(), w};
    st(nc_put_vara_text(nc, var, start, count, buf.data()), "station texts");
}

void put_values(int nc, const VarIds& v, const Columns& c, std::size_t id_w, std::size_t name_w, Status& st)
{
    const std::size_t start = 0;
    const std::size_t n = c.id.size();
    if (n > 0) {
        put_texts(nc, v.id, c.id, id_w, st);
        put_texts(nc, v.name, c.name, name_w, st);
        st(nc_put_vara_int(nc, v.wmo, &start, &n, c.wmo.data()), "wmo_id");
        st(nc_put_vara_float(nc, v.lat, &start, &n, c.lat.data()), "lat");
        st(nc_put_vara_float(nc, v.lon, &start, &n, c.lon.data()), "lon");
        st(nc_put_vara_float(nc, v.elevation, &start, &n, c.elevation.data()), "station_altitude");
        st(nc_put_vara_double(nc, v.time, &start, &n, c.time.data()), "time");
        st(nc_put_vara_double(nc, v.launch, &start, &n, c.launch.data()), "launch_time");
        st(nc_put_vara_int(nc, v.row_size, &start, &n, c.row_size.data()), "row_size");
    }
    const std::size_t m = c.level_type.size();
    if (m == 0) return;
    for (std::size_t k = 0; k < NUM_OBS; ++k)
        st(nc_put_vara_double(nc, v.obs[k], &start, &m, c.obs[k].data()), OBS_VARS[k].name);
    st(nc_put_vara_schar(nc, v.level_type, &start, &m, c.level_type.data()), "level_type");
}

// The whole file at path, which must not exist yet.
bool write_file(const std::string& path, const Columns& c, const CfInfo& info, Status& st)
{
    NcFile nc;
    if (!st(nc_create(path.c_str(), NC_NETCDF4 | NC_CLASSIC_MODEL | NC_NOCLOBBER, nc.handle()), "nc_create"))
        return false;
    const std::size_t id_w = text_width(c.id, ID_WIDTH);
    const std::size_t name_w = text_width(c.name, NAME_WIDTH);
    int profile = -1, obs = -1, id_len = -1, name_len = -1;
    st(nc_def_dim(nc.id(), "profile", NC_UNLIMITED, &profile), "profile");
    st(nc_def_dim(nc.id(), "obs", std::max<std::size_t>(c.level_type.size(), 1), &obs), "obs");
    st(nc_def_dim(nc.id(), "id_strlen", id_w, &id_len), "id_strlen");
    st(nc_def_dim(nc.id(), "name_strlen", name_w, &name_len), "name_strlen");
    Definer d(nc.id(), st);
    VarIds v = define_profile_vars(d, profile, id_len, name_len);
    define_obs_vars(d, v, obs);
    define_globals(d, c, info);
    if (st(nc_enddef(nc.id()), "nc_enddef")) put_values(nc.id(), v, c, id_w, name_w, st);
    st(nc.close(), "nc_close");
    return st.ok();
}

// ------------------------------------------------------------ reading back
std::optional<std::string> text_att(int nc, int var, const char* name)
{
    nc_type type = NC_NAT;
    std::size_t len = 0;
    if (nc_inq_att(nc, var, name, &type, &len) != NC_NOERR || type != NC_CHAR) return std::nullopt;
    std::string s(len, '\0');
    if (len > 0 && nc_get_att_text(nc, var, name, s.data()) != NC_NOERR) return std::nullopt;
    return s;
}

// A variable of the form: its name, type and dimensions as this writer
// defines them.
int form_var(int nc, const char* name, nc_type type, std::initializer_list<int> dims)
{
    int id = -1, ndims = 0;
    int dimids[NC_MAX_VAR_DIMS];
    nc_type t = NC_NAT;
    if (nc_inq_varid(nc, name, &id) != NC_NOERR || nc_inq_var(nc, id, nullptr, &t, &ndims, dimids, nullptr) != NC_NOERR)
        return -1;
    if (t != type || ndims != static_cast<int>(dims.size()) || !std::equal(dims.begin(), dims.end(), dimids))
        return -1;
    return id;
}

struct Dims {
    int profile = -1, obs = -1, id_len = -1, name_len = -1;
    std::size_t profiles = 0, levels = 0, id_w = 0, name_w = 0;
};

bool form_dims(int nc, Dims& d)
{
    const std::pair<const char*, std::pair<int*, std::size_t*>> dims[] = {
        {"profile", {&d.profile, &d.profiles}},
        {"obs", {&d.obs, &d.levels}},
        {"id_strlen", {&d.id_len, &d.id_w}},
        {"name_strlen", {&d.name_len, &d.name_w}},
    };
    for (const auto& [name, out] : dims)
        if (nc_inq_dimid(nc, name, out.first) != NC_NOERR || nc_inq_dimlen(nc, *out.first, out.second) != NC_NOERR)
            return false;
    return true;
}

// The variables of the form; false when one is missing or of another shape.
bool form_vars(int nc, const Dims& d, VarIds& v)
{
    v.id = form_var(nc, "station_id", NC_CHAR, {d.profile, d.id_len});
    v.name = form_var(nc, "station_name", NC_CHAR, {d.profile, d.name_len});
    v.wmo = form_var(nc, "wmo_id", NC_INT, {d.profile});
    v.lat = form_var(nc, "lat", NC_FLOAT, {d.profile});
    v.lon = form_var(nc, "lon", NC_FLOAT, {d.profile});
    v.elevation = form_var(nc, "station_altitude", NC_FLOAT, {d.profile});
    v.time = form_var(nc, "time", NC_DOUBLE, {d.profile});
    v.launch = form_var(nc, "launch_time", NC_DOUBLE, {d.profile});
    v.row_size = form_var(nc, "row_size", NC_INT, {d.profile});
    v.level_type = form_var(nc, "level_type", NC_BYTE, {d.obs});
    bool all = v.id >= 0 && v.name >= 0 && v.wmo >= 0 && v.lat >= 0 && v.lon >= 0 && v.elevation >= 0 &&
               v.time >= 0 && v.launch >= 0 && v.row_size >= 0 && v.level_type >= 0;
    for (std::size_t k = 0; k < NUM_OBS; ++k)
        if ((v.obs[k] = form_var(nc, OBS_VARS[k].name, NC_DOUBLE, {d.obs})) < 0) all = false;
    return all;
}

void get_texts(int nc, int var, std::size_t n, std::size_t w, std::vector<std::string>& out, Status& st)
{
    std::vector<char> buf(n * w);
    if (n == 0 || w == 0 || !st(nc_get_var_text(nc, var, buf.data()), "station texts")) {
        out.assign(n, std::string());
        return;
    }
    for (std::size_t r = 0; r < n; ++r) {
        const char* row = buf.data() + r * w;
        out.emplace_back(row, strnlen(row, w));
    }
}

void get_values(int nc, const Dims& d, const VarIds& v, Columns& c, Status& st)
{
    const std::size_t n = d.profiles, m = d.levels;
    get_texts(nc, v.id, n, d.id_w, c.id, st);
    get_texts(nc, v.name, n, d.name_w, c.name, st);
    c.wmo.resize(n);
    c.row_size.resize(n);
    c.lat.resize(n);
    c.lon.resize(n);
    c.elevation.resize(n);
    c.time.resize(n);
    c.launch.resize(n);
    if (n > 0) {
        st(nc_get_var_int(nc, v.wmo, c.wmo.data()), "wmo_id");
        st(nc_get_var_int(nc, v.row_size, c.row_size.data()), "row_size");
        st(nc_get_var_float(nc, v.lat, c.lat.data()), "lat");
        st(nc_get_var_float(nc, v.lon, c.lon.data()), "lon");
        st(nc_get_var_float(nc, v.elevation, c.elevation.data()), "station_altitude");
        st(nc_get_var_double(nc, v.time, c.time.data()), "time");
        st(nc_get_var_double(nc, v.launch, c.launch.data()), "launch_time");
    }
    for (std::size_t k = 0; k < NUM_OBS; ++k) {
        c.obs[k].resize(m);
        st(nc_get_var_double(nc, v.obs[k], c.obs[k].data()), OBS_VARS[k].name);
    }
    c.level_type.resize(m);
    st(nc_get_var_schar(nc, v.level_type, c.level_type.data()), "level_type");
}

// The levels the profiles count: every row size at least 0, and no more
// levels than the file holds; the obs rows beyond them (the one row of a
// file without levels) are dropped.
bool keep_counted_levels(Columns& c)
{
    long long total = 0;
    for (int n : c.row_size) {
        if (n < 0) return false;
        total += n;
    }
    if (total > static_cast<long long>(c.level_type.size())) return false;
    const auto levels = static_cast<std::size_t>(total);
    for (auto& values : c.obs) values.resize(levels);
    c.level_type.resize(levels);
    return true;
}

// Every value of an existing file of this form. false with the reason in
// *why when the file is of another form or does not read back whole.
bool read_file(const std::string& path, Columns& c, std::string* why)
{
    NcFile nc;
    const int rc = nc_open(path.c_str(), NC_NOWRITE, nc.handle());
    if (rc != NC_NOERR) {
        *why = std::string(nc_strerror(rc));
        return false;
    }
    int format = 0;
    Dims d;
    VarIds v{};
    if (nc_inq_format(nc.id(), &format) != NC_NOERR || format != NC_FORMAT_NETCDF4_CLASSIC ||
        text_att(nc.id(), NC_GLOBAL, "Conventions") != CONVENTIONS ||
        text_att(nc.id(), NC_GLOBAL, "featureType") != FEATURE_TYPE || !form_dims(nc.id(), d) ||
        !form_vars(nc.id(), d, v)) {
        *why = "not a CF profile file of this program";
        return false;
    }
    Status st;
    get_values(nc.id(), d, v, c, st);
    if (!st.ok()) {
        *why = st.text();
        return false;
    }
    if (!keep_counted_levels(c)) {
        *why = "its row sizes do not fit its levels";
        return false;
    }
    c.history = text_att(nc.id(), NC_GLOBAL, "history").value_or("");
    c.source = text_att(nc.id(), NC_GLOBAL, "source").value_or("");
    return true;
}

// A line added to an attribute of the runs that wrote the file: every run
// to the history, each input only once to the source.
void add_line(std::string& to, const std::string& line, bool once)
{
    if (line.empty() || (once && (to == line || to.ends_with("\n" + line)))) return;
    if (!to.empty()) to += '\n';
    to += line;
}

// ------------------------------------------------------------ the file itself
// The new file goes beside the file it replaces, under a name of its own.
std::string temp_name(const fs::path& target, int attempt)
{
    fs::path tmp = target;
    tmp.replace_filename("." + target.filename().string() + "." + std::to_string(getpid()) + "." +
                         std::to_string(attempt) + ".tmp");
    return tmp.string();
}

// Writes the columns into a new file beside target and renames it over
// target; the mode of an existing target is kept.
bool replace_file(const fs::path& target, const Columns& c, const CfInfo& info, std::string* error)
{
    Status st;
    std::string tmp;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = temp_name(target, attempt);
        st = Status{};
        if (write_file(tmp, c, info, st) || st.rc != NC_EEXIST) break;
    }
    if (!st.ok()) {
        if (st.rc != NC_EEXIST) std::remove(tmp.c_str());  // never a file of another run
        set_error(error, "Unable to write " + target.string() + ": " + st.text());
        return false;
    }
    struct stat old;
    if (stat(target.c_str(), &old) == 0) chmod(tmp.c_str(), old.st_mode & 07777);
    // The data reach the disk before the name does.
    const int fd = open(tmp.c_str(), O_RDONLY);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
    if (!synced || std::rename(tmp.c_str(), target.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        std::remove(tmp.c_str());
        set_error(error, "Unable to write " + target.string() + ": " + why);
        return false;
    }
    return true;
}

}  // namespace

bool cf_file_of_ours(const char* path, std::string* why)
{
    Columns c;
    std::string reason;
    const bool ok = path && read_file(path, c, &reason);
    if (why) *why = reason;
    return ok;
}

bool write_cf(const char* path, std::span<const Sounding> soundings, const CfInfo& info, bool append,
              std::string* error)
{
    if (!path || !*path) {
        set_error(error, "No file name");
        return false;
    }
    // A link is followed: the file it names is the one replaced.
    std::error_code ec;
    fs::path target = path;
    const bool exists = fs::exists(target, ec);
    if (exists) target = fs::canonical(target, ec);
    if (ec) {
        set_error(error, "Unable to write " + std::string(path) + ": " + ec.message());
        return false;
    }
    if (exists && !fs::is_regular_file(target, ec)) {
        set_error(error, std::string(path) + " is not a regular file: it is left as it was");
        return false;
    }
    Columns c;
    // Appending to a file that is not there yet makes it.
    if (append && exists) {
        std::string why;
        if (!read_file(target.string(), c, &why)) {
            set_error(error, "Unable to append to " + std::string(path) + " (" + why + "): it is left as it was");
            return false;
        }
    }
    add_soundings(c, soundings);
    add_line(c.history, info.history, false);
    add_line(c.source, info.source, true);
    return replace_file(target, c, info, error);
}

}  // namespace ua
