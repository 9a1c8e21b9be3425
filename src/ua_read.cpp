// Upper-air data files: the forms and their type codes, the header each form
// starts with and its reading back, and the writer of one record per station
// report in the text, XML, netCDF and fixed-record forms.
//
// One file is open at a time. The text forms re-encode the levels as the
// five-figure groups of the TEMP code (pressure/height, temperature/dew-point
// depression, wind), so that a forecaster reads a record as a bulletin; XML
// and netCDF keep the values in physical units; the fixed-record form keeps
// a few levels of each report in 78 bytes.
#include "vokupa.h"
#include "vokcdf.h"
#include "ua_utf8.h"

#include <netcdf.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

char encd_str[UPA_ENCD_LEN] = "";

namespace {

constexpr double KNOTS_TO_MS = 0.5144;
constexpr double FEET_TO_M = 0.3048;
constexpr const char* DEFAULT_HISTORY = "Upper air converted file from VOK decoders";
constexpr const char* XML_END_TAG = "</vokupa>\n";

// ------------------------------------------------------------ module state
int file_type = 0;          // type of the open file; 0 when none is open
int file_access = 0;        // 0 read, 1 create, 2 append
FILE* cvt_file = nullptr;   // stream of the text, XML and fixed-record forms
std::string cvt_name;       // its name: pipes and standard streams close differently
int cdf_id = -1;            // netCDF identifier of the netCDF forms
bool stream_failed = false; // a write to cvt_file failed: the file is incomplete
long num_station = 0;       // record count of a netCDF file whose header was read
long num_records = -1;      // records in the open file (-1: unknown)

// The record being formatted; its room is kept from record to record.
std::string rec;

// netCDF variables of the header, in the order they are defined.
enum CdfVar {
    id_id, region_id, type_id, wmo_id, lat_id, lon_id, num_mant_id, num_sigt_id, num_sigw_id,
    p_man_id, z_man_id, t_man_id, td_man_id, dir_man_id, spd_man_id,
    p_sigt_id, t_sigt_id, td_sigt_id, z_sigw_id, dir_sigw_id, spd_sigw_id,
    NUM_CDF_VARS
};
int cdf_var[NUM_CDF_VARS];

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

// ------------------------------------------------------------ small helpers
bool is_missing(float v)
{
    return v == VOK_MISSING_F;
}

bool is_text_form(int type)
{
    return type >= UPA_FILE_OLD500 && type <= UPA_FILE_VOKUPAX;
}

bool is_stream_form(int type)
{
    return is_text_form(type) || type == UPA_FILE_FIXED || type == UPA_FILE_XML;
}

bool is_cdf_form(int type)
{
    return type == UPA_FILE_CDF_STATION || type == UPA_FILE_CDF;
}

// (int) as C truncates toward zero, without the undefined behaviour of NaN
// (0) or of a value beyond the int range (the nearest bound).
int trunc_int(double v)
{
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

int clamp_count(int n, int max)
{
    return std::clamp(n, 0, max);
}

// A fixed-size text field as text: up to its first NUL, and never its last
// byte, which a whole field keeps for the terminator (so an identifier has
// at most 10 characters, a date line at most 39).
template <std::size_t N>
std::string_view field_text(const char (&field)[N])
{
    return {field, strnlen(field, N - 1)};
}

// ------------------------------------------------------------ number texts
// printf's integer and fixed-point formats, made with std::to_chars.

// Room for any number of a report: a float has at most 39 digits before
// the point, and "%.2f" adds a sign, the point and two decimals.
constexpr std::size_t NUMBER_ROOM = 64;

struct Number {
    char text[NUMBER_ROOM];
    std::size_t len = 0;
    operator std::string_view() const { return {text, len}; }
};

// "%W.Wd": the sign, then at least w digits.
Number zero_padded(long long v, int w)
{
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    const char* first = digits;
    Number n;
    char* d = n.text;
    if (*first == '-') *d++ = *first++;
    for (auto k = end - first; k < std::min(w, 20); ++k) *d++ = '0';
    n.len = static_cast<std::size_t>(std::copy(first, end, d) - n.text);
    return n;
}

// "%Wd": blanks before the number up to a width of w.
Number blank_padded(long long v, int w)
{
    char digits[24];
    const char* first = digits;
    const char* end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    Number n;
    char* d = n.text;
    for (auto k = end - first; k < std::min(w, 20); ++k) *d++ = ' ';
    n.len = static_cast<std::size_t>(std::copy(first, end, d) - n.text);
    return n;
}

// "%.Nf": the exact value rounded as printf rounds it, half to even.
Number fixed(double v, int decimals)
{
    Number n;
    const auto r = std::to_chars(n.text, n.text + sizeof n.text, v, std::chars_format::fixed, decimals);
    if (r.ec == std::errc()) {
        n.len = static_cast<std::size_t>(r.ptr - n.text);
    } else {  // beyond any float: as much as the room holds
        const int k = std::snprintf(n.text, sizeof n.text, "%.*f", decimals, v);
        n.len = static_cast<std::size_t>(std::clamp(k, 0, static_cast<int>(sizeof n.text) - 1));
    }
    return n;
}

// ------------------------------------------------------------ XML text
// Attribute text of any bytes: markup characters as entities, tab, line
// feed and carriage return as references (so that parsers keep them), other
// control characters, which XML cannot carry at all, as U+FFFD; UTF-8 as it
// stands, and any other byte as the Latin-1 character of that code.
void xml_escape(std::string& s, std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = 1;
        switch (c) {
        case '&': s += "&amp;"; break;
        case '<': s += "&lt;"; break;
        case '>': s += "&gt;"; break;
        case '"': s += "&quot;"; break;
        case '\'': s += "&apos;"; break;
        case '\t': s += "&#x9;"; break;
        case '\n': s += "&#xA;"; break;
        case '\r': s += "&#xD;"; break;
        default:
            if (c < 0x20) {
                s += "&#xFFFD;";
            } else if (c < 0x80) {
                s += static_cast<char>(c);
            } else if ((n = ua::utf8_char_len(text, i)) != 0) {
                s += text.substr(i, n);
            } else {
                n = 1;
                s += "&#x";
                s += hex[c >> 4];
                s += hex[c & 0xF];
                s += ';';
            }
        }
        i += n;
    }
}

// The text of an attribute written by xml_escape, for the ASCII a date line
// holds; other references stay as they are.
std::string xml_unescape(std::string_view t)
{
    static constexpr std::pair<std::string_view, char> named[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''},
        {"&#x9;", '\t'}, {"&#xA;", '\n'}, {"&#xD;", '\r'}};
    std::string out;
    for (std::size_t i = 0; i < t.size();) {
        bool done = false;
        for (const auto& [ent, ch] : named) {
            if (t.substr(i, ent.size()) == ent) {
                out += ch;
                i += ent.size();
                done = true;
                break;
            }
        }
        if (!done) out += t[i++];
    }
    return out;
}

}  // namespace

// ================================================================ encoders
namespace {

std::size_t encd_len = 0;  // characters in encd_str

// Groups are at most 6 characters for any value the code forms carry; a
// value beyond them is cut to what encd_str holds.
void group_put(std::string_view part)
{
    const std::size_t n = std::min(part.size(), sizeof encd_str - 1 - encd_len);
    std::memcpy(encd_str + encd_len, part.data(), n);
    encd_len += n;
    encd_str[encd_len] = '\0';
}

void group_start()
{
    encd_len = 0;
    encd_str[0] = '\0';
}

// "%W.Wd" appended to the group.
void group_zint(long long v, int w)
{
    group_put(zero_padded(v, w));
}

// A group of two numbers, "%W.Wd" each.
void group_pair(long long a, int wa, long long b, int wb)
{
    group_start();
    group_zint(a, wa);
    group_zint(b, wb);
}

// The text forms mark a missing group with "X"; other forms with the
// all-nines group of the code.
int store_marker()
{
    group_start();
    group_put(file_type >= UPA_FILE_VOKUPA && file_type <= UPA_FILE_VOKUPAX ? "X" : "99999");
    return -1;
}

}  // namespace

int encd_ph(float p, float h)
{
    if (is_missing(p) && is_missing(h)) return store_marker();
    // A height below sea level is sent as 500 plus its magnitude (the 1000
    // hPa surface of a deep high lies below ground).
    double hh = h;
    if (h < 0 && !is_missing(h)) hh = 500.0 - h;
    // Decametres from 500 hPa up, metres below; -1 for no height ("/").
    long long height = -1;
    if (!is_missing(h)) height = p <= 500 ? (trunc_int(hh) % 10000) / 10 : trunc_int(hh) % 1000;
    group_start();
    if (p >= 10) {
        // Hundreds and tens of hPa: 1000 gives 00, 925 gives 92, 70 gives 07.
        group_zint((trunc_int(p) % 1000) / 10, 2);
    } else {
        // Above the 10 hPa level: a minus sign and the whole hPa.
        group_put("-");
        group_zint(trunc_int(p), 1);
    }
    if (height >= 0) group_zint(height, 3);
    else group_put("/");
    return 0;
}

int encd_td(float t, float td)
{
    if (is_missing(t) && is_missing(td)) return store_marker();
    long long dd = 99;  // no dew point
    if (!is_missing(td)) {
        // Depressions up to 5.0 in tenths (00-50), from 6 degrees in whole
        // degrees plus 50 (56-99). The difference is taken in single
        // precision and the 0.01 lifts it over the float's representation
        // error before the tenths are cut.
        const float diff = t - td;
        const long long d = trunc_int(10.0 * (static_cast<double>(diff) + 0.01));
        if (d >= 60) dd = d / 10 + 50;
        else if (d >= 50) dd = 50;
        else dd = d;
    }
    // The tenths digit carries the sign: even above zero, odd below. A
    // temperature just below zero (-0.1) still takes the odd digit.
    const long long i = trunc_int(10.0 * (static_cast<double>(t) + 0.01));
    const long long ttt = (i < 0 || t < 0) ? -(i / 2) * 2 + 1 : (i / 2) * 2;
    group_pair(ttt, 3, dd, 2);
    return 0;
}

int encd_wd(float dir, float spd)
{
    if (dir < 0 || spd < 0) return store_marker();
    // Direction to the nearest 5 degrees; the hundreds of the speed go into
    // its units digit (273 at 115 kt gives 27615).
    const long long s = trunc_int(static_cast<double>(spd) + 0.01);
    const long long d = trunc_int(static_cast<double>(dir) + 2.5) / 5 * 5;
    group_pair(d + s / 100, 3, s % 100, 2);
    return 0;
}

// ================================================================ text records
namespace {

// A report with a surface observation carries the surface as its first
// significant level and its first wind level, so the text and XML forms give
// the sounding a bottom even when no B part or PILOT came in.
void surface_sig(UPA_report& r)
{
    const UPA_man& sfc = r.man[UPA_SLOT_SURFACE];
    if (r.numsig == 0 && !is_missing(sfc.p)) {
        r.sig[0] = {sfc.p, sfc.t, sfc.td};
        r.numsig = 1;
    }
}

void surface_wnd(UPA_report& r)
{
    const UPA_man& sfc = r.man[UPA_SLOT_SURFACE];
    if (r.numwnd == 0 && !is_missing(sfc.p)) {
        r.wnd[0] = {0.0f, sfc.dir, sfc.spd};
        r.numwnd = 1;
    }
}

void put_encoded()
{
    rec.append(encd_str, encd_len);
}

// The station identifier of a text head: the head is one blank-delimited
// word of a line whose fields ("VOKUPAx": number, identifier, latitude,
// longitude) are separated by colons, so blanks, control characters and
// colons become "_". A call sign "AB:C" would otherwise read as the
// identifier "AB" at latitude "C".
void put_text_id(const UPA_report& r)
{
    for (char c : field_text(r.id)) {
        const auto u = static_cast<unsigned char>(c);
        rec += (u <= ' ' || u == 0x7F || c == ':') ? '_' : c;
    }
}

void text_head(const UPA_report& r)
{
    if (file_type == UPA_FILE_VOKUPAX) {
        rec += zero_padded(r.wmo, 5);
        rec += ':';
        put_text_id(r);
        if (!is_missing(r.lat)) {
            rec += ':';
            rec += fixed(r.lat, 2);
            rec += ':';
            rec += fixed(r.lon, 2);
        }
    } else {
        put_text_id(r);
    }
    rec += ' ';
}

// Pressure/height, temperature/dew point and wind groups of one level.
void put_level_groups(const UPA_man& m)
{
    encd_ph(m.p, m.h);
    put_encoded();
    rec += ' ';
    encd_td(m.t, m.td);
    put_encoded();
    rec += ' ';
    encd_wd(m.dir, m.spd);
    put_encoded();
}

bool mandatory_line_ends(int slot)
{
    if (file_type == UPA_FILE_VOKUPA) return slot == 5 || slot == 9 || slot == 13 || slot == 16;
    return slot % 4 == 0;
}

void text_mandatory(const UPA_report& r)
{
    // Standard levels 1000 to 10 hPa; the oldest generation had no 925 hPa
    // level and leaves it out when it is empty.
    for (int s = 1; s <= 16; ++s) {
        if (file_type == UPA_FILE_VOKUPA && s == 2 && is_missing(r.man[2].p)) continue;
        put_level_groups(r.man[s]);
        rec += mandatory_line_ends(s) ? '\n' : ' ';
    }
    // 7 to 1 hPa, as far as they came in.
    for (int s = 17; s <= 21; ++s) {
        if (is_missing(r.man[s].p)) {
            if (s != 17) rec += '\n';
            break;
        }
        put_level_groups(r.man[s]);
        rec += s == 21 ? '\n' : ' ';
    }
    // Tropopause as 88PPP and maximum wind as 77PPP.
    const UPA_man& tr = r.man[UPA_SLOT_TROPO];
    if (is_missing(tr.p)) {
        rec += "X X X ";
    } else {
        encd_ph(880, tr.p);
        put_encoded();
        rec += ' ';
        encd_td(tr.t, tr.td);
        put_encoded();
        rec += ' ';
        encd_wd(tr.dir, tr.spd);
        put_encoded();
        rec += ' ';
    }
    const UPA_man& mw = r.man[UPA_SLOT_MAXWIND];
    if (is_missing(mw.p)) {
        rec += "X X\n";
    } else {
        encd_ph(770, mw.p);
        put_encoded();
        rec += ' ';
        encd_wd(mw.dir, mw.spd);
        put_encoded();
        rec += '\n';
    }
}

// A significant level at a standard pressure whose mandatory row has a
// height is in the mandatory section already; the first level (the
// surface) is always written.
bool sig_in_mandatory(const UPA_report& r, int s)
{
    if (s == 0) return false;
    const int slot = UPA_mandatory(r.sig[s].p);
    return slot != 0 && !is_missing(r.man[slot].h);
}

void put_sig_level(const UPA_sig& sg)
{
    if (sg.p >= 1000) rec += zero_padded(trunc_int(sg.p) % 1000, 3);
    else if (sg.p < 10) rec += fixed(sg.p, 1);  // tenths of hPa high up
    else rec += blank_padded(trunc_int(sg.p) % 1000, 3);
    rec += ' ';
    encd_td(sg.t, sg.td);
    put_encoded();
}

void put_wind_level(const UPA_wnd& w)
{
    encd_wd(w.dir, w.spd);
    // Thousands of feet, as the PILOT height groups give them.
    rec += zero_padded(trunc_int((w.h + 1.0f) / 1000.0f), 2);
    rec += ' ';
    put_encoded();
}

// Sections of the oldest generation: 28 entries, 7 to a line, padded with X.
constexpr int GEN3_LEVELS = 28;

void pad_gen3(int n)
{
    for (; n < GEN3_LEVELS; ++n) {
        rec += 'X';
        rec += n % 7 == 6 ? '\n' : ' ';
    }
}

void text_sig(UPA_report& r)
{
    surface_sig(r);
    const int num = clamp_count(r.numsig, UPA_MAX_SIG);
    const bool gen3 = file_type == UPA_FILE_VOKUPA;
    int n = 0;  // levels written
    for (int s = 0; s < num && !(gen3 && n == GEN3_LEVELS); ++s) {
        if (sig_in_mandatory(r, s)) continue;
        put_sig_level(r.sig[s]);
        rec += (n % 7 == 6 && (gen3 || n != num - 1)) ? '\n' : ' ';
        ++n;
    }
    if (gen3) pad_gen3(n);
    else rec += "X\n";
}

void text_wnd(UPA_report& r)
{
    surface_wnd(r);
    const int num = clamp_count(r.numwnd, UPA_MAX_WND);
    const bool gen3 = file_type == UPA_FILE_VOKUPA;
    const int shown = gen3 ? std::min(num, GEN3_LEVELS) : num;
    for (int s = 0; s < shown; ++s) {
        put_wind_level(r.wnd[s]);
        rec += (s % 7 == 6 && (gen3 || s != num - 1)) ? '\n' : ' ';
    }
    if (gen3) pad_gen3(shown);
    else rec += "$\n";
}

void text_record(UPA_report& r)
{
    text_head(r);
    text_mandatory(r);
    text_sig(r);
    text_wnd(r);
}

// ================================================================ XML records
// An attribute: its lead-in (blank, name, equals sign and quote), the
// number with the given decimals, the closing quote.
void xml_attr(std::string_view lead, double v, int decimals)
{
    rec += lead;
    rec += fixed(v, decimals);
    rec += '"';
}

// An attribute whose value is missing is left out.
void xml_value(std::string_view lead, float v, int decimals)
{
    if (!is_missing(v)) xml_attr(lead, v, decimals);
}

// Whole hPa down to 100 hPa, tenths above.
void xml_pressure(float p)
{
    xml_value(" pres.mb=\"", p, p >= 100 ? 0 : 1);
}

void xml_level_values(const UPA_man& m)
{
    xml_value(" hght.m=\"", m.h, 0);
    xml_value(" temp.C=\"", m.t, 1);
    xml_value(" dewp.C=\"", m.td, 1);
    xml_value(" wdir.deg=\"", m.dir, 0);
    xml_value(" wspd.knt=\"", m.spd, 0);
}

void xml_mandatory(const UPA_report& r)
{
    rec += "  <mand_level>\n";
    const UPA_man& sfc = r.man[UPA_SLOT_SURFACE];
    if (!is_missing(sfc.p)) {
        rec += "    <level type=\"sfc\"";
        xml_pressure(sfc.p);
        xml_level_values(sfc);
        rec += "/>\n";
    }
    for (int s = 1; s <= 21; ++s) {
        if (is_missing(r.man[s].p)) continue;
        rec += "    <level";
        xml_value(" pres.mb=\"", r.man[s].p, 0);
        xml_level_values(r.man[s]);
        rec += "/>\n";
    }
    const UPA_man& tr = r.man[UPA_SLOT_TROPO];
    if (!is_missing(tr.p)) {
        rec += "    <level type=\"trop\"";
        xml_pressure(tr.p);
        xml_level_values(tr);
        rec += "/>\n";
    }
    const UPA_man& mw = r.man[UPA_SLOT_MAXWIND];
    if (!is_missing(mw.p)) {
        rec += "    <level type=\"mwnd\"";
        xml_pressure(mw.p);
        xml_value(" hght.m=\"", mw.h, 0);
        xml_value(" wdir.deg=\"", mw.dir, 0);
        xml_value(" wspd.knt=\"", mw.spd, 0);
        rec += "/>\n";
    }
    rec += "  </mand_level>\n";
}

void xml_head(const UPA_report& r)
{
    rec += "<obs wmo=\"";
    rec += zero_padded(r.wmo, 5);
    rec += "\" id=\"";
    xml_escape(rec, field_text(r.id));
    rec += '"';
    if (!is_missing(r.lat)) {
        xml_attr(" lat=\"", r.lat, 2);
        xml_attr(" lon=\"", r.lon, 2);
    }
    rec += ">\n";
}

void xml_record(UPA_report& r)
{
    xml_head(r);
    xml_mandatory(r);
    surface_sig(r);
    rec += "  <sig_level>\n";
    for (int s = 0; s < clamp_count(r.numsig, UPA_MAX_SIG); ++s) {
        rec += "    <level";
        xml_pressure(r.sig[s].p);
        xml_value(" temp.C=\"", r.sig[s].t, 1);
        xml_value(" dewp.C=\"", r.sig[s].td, 1);
        rec += "/>\n";
    }
    rec += "  </sig_level>\n";
    surface_wnd(r);
    rec += "  <wnd_level>\n";
    for (int s = 0; s < clamp_count(r.numwnd, UPA_MAX_WND); ++s) {
        // The same metres as the netCDF wind heights, always written.
        const auto z = static_cast<float>(r.wnd[s].h * FEET_TO_M);
        rec += "    <level";
        xml_attr(" hght.m=\"", z, 0);
        xml_value(" wdir.deg=\"", r.wnd[s].dir, 0);
        xml_value(" wspd.knt=\"", r.wnd[s].spd, 0);
        rec += "/>\n";
    }
    rec += "  </wnd_level>\n</obs>\n";
}

}  // namespace

// ================================================================ netCDF records
namespace {

const char* cdf_name(int v)
{
    return file_type == UPA_FILE_CDF_STATION ? cdf_vars[v].old_name : cdf_vars[v].name;
}

// Looks up every variable of the header by the names of the open file's
// type. true when all of them are there.
bool cdf_lookup_vars()
{
    bool all = true;
    for (int v = 0; v < NUM_CDF_VARS; ++v) {
        cdf_var[v] = CDF_get_var(cdf_name(v));
        if (cdf_var[v] == -1) all = false;
    }
    return all;
}

// Knots to metres per second and feet to metres for the netCDF form, which
// keeps SI units; a missing value stays missing. The older netCDF form
// keeps the units of the report.
float cdf_speed(float spd)
{
    if (is_missing(spd) || file_type == UPA_FILE_CDF_STATION) return spd;
    return static_cast<float>(spd * KNOTS_TO_MS);
}

float cdf_height(float h)
{
    if (is_missing(h) || file_type == UPA_FILE_CDF_STATION) return h;
    return static_cast<float>(h * FEET_TO_M);
}

// One record's station variables at index r; false when a write failed.
bool cdf_station(const UPA_report& rep, int r)
{
    bool ok = CDF_set_pos(1, r) == 0;
    char text[VOK_ID_LEN + 1];
    const auto put_text = [&](int var, std::string_view value) {
        const std::size_t n = std::min(value.size(), sizeof text - 1);
        std::memcpy(text, value.data(), n);
        text[n] = '\0';
        if (CDF_put_str(cdf_var[var], text) != 0) ok = false;
    };
    put_text(id_id, field_text(rep.id));
    put_text(region_id, field_text(rep.area));
    put_text(type_id, "LAND");
    if (CDF_put_long(cdf_var[wmo_id], rep.wmo) != 0) ok = false;
    if (CDF_put_float(cdf_var[lat_id], rep.lat) != 0) ok = false;
    if (CDF_put_float(cdf_var[lon_id], rep.lon) != 0) ok = false;
    // numman only says that mandatory data came in: all 25 rows are written.
    if (CDF_put_long(cdf_var[num_mant_id], rep.numman != 0 ? UPA_NUM_MAN : 0) != 0) ok = false;
    if (CDF_put_long(cdf_var[num_sigt_id], clamp_count(rep.numsig, UPA_MAX_SIG)) != 0) ok = false;
    if (CDF_put_long(cdf_var[num_sigw_id], clamp_count(rep.numwnd, UPA_MAX_WND)) != 0) ok = false;
    return ok;
}

bool cdf_put_arrays(int first_var, int nvar, int r, int n, const float* const* arrays)
{
    bool ok = CDF_set_range(2, r, 1, 0, n) == 0;
    for (int k = 0; k < nvar; ++k)
        if (CDF_put_float_array(cdf_var[first_var + k], arrays[k]) != 0) ok = false;
    return ok;
}

bool cdf_levels(const UPA_report& rep, int r)
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
        spd[s] = cdf_speed(m.spd);
    }
    const float* man[] = {p, h, t, td, dir, spd};
    bool ok = cdf_put_arrays(p_man_id, 6, r, UPA_NUM_MAN, man);

    const int nsig = clamp_count(rep.numsig, UPA_MAX_SIG);
    float sp[UPA_MAX_SIG], st[UPA_MAX_SIG], std_[UPA_MAX_SIG];
    for (int s = 0; s < nsig; ++s) {
        sp[s] = rep.sig[s].p;
        st[s] = rep.sig[s].t;
        std_[s] = rep.sig[s].td;
    }
    const float* sig[] = {sp, st, std_};
    if (!cdf_put_arrays(p_sigt_id, 3, r, nsig, sig)) ok = false;

    const int nwnd = clamp_count(rep.numwnd, UPA_MAX_WND);
    float wz[UPA_MAX_WND], wdir[UPA_MAX_WND], wspd[UPA_MAX_WND];
    for (int s = 0; s < nwnd; ++s) {
        wz[s] = cdf_height(rep.wnd[s].h);
        wdir[s] = rep.wnd[s].dir;
        wspd[s] = cdf_speed(rep.wnd[s].spd);
    }
    const float* wnd[] = {wz, wdir, wspd};
    if (!cdf_put_arrays(z_sigw_id, 3, r, nwnd, wnd)) ok = false;
    return ok;
}

// The record at index r. Every write is tried even after one failed; the
// result says whether all of them reached the file.
int cdf_record(const UPA_report& rep, int r)
{
    if (r < 0) return -1;
    bool ok = true;
    for (int v = 0; v < NUM_CDF_VARS; ++v)
        if (cdf_var[v] == -1) ok = false;  // a variable the file lacks is not written
    CDF_set_fd(cdf_id);
    if (!cdf_station(rep, r)) ok = false;
    if (!cdf_levels(rep, r)) ok = false;
    num_records = std::max(num_records, static_cast<long>(r) + 1);
    return ok ? 0 : -1;
}

// ================================================================ fixed records
constexpr int FIXED_MISSING = 9999;

int fixed_or_missing(float v, int value)
{
    return is_missing(v) ? FIXED_MISSING : value;
}

// Whole degrees, to the nearest one on either side of zero: -10.3 is -10,
// not the -9 that adding one half and cutting toward zero would give.
int round_whole(double v)
{
    return trunc_int(v < 0 ? v - 0.5 : v + 0.5);
}

int fixed_temp(float t)
{
    return fixed_or_missing(t, round_whole(t));
}

int fixed_height(float h)
{
    return fixed_or_missing(h, trunc_int(h));
}

int fixed_dir(float dir)
{
    return fixed_or_missing(dir, trunc_int(dir / 10.0f));  // tens of degrees
}

int fixed_speed(float spd)
{
    return fixed_or_missing(spd, trunc_int(spd));
}

int fixed_depression(const UPA_man& m)
{
    if (is_missing(m.t) || is_missing(m.td)) return FIXED_MISSING;
    return round_whole(m.t - m.td);
}

int fixed_position(float deg)
{
    // Hundredths of a degree; the product in single precision, lifted away
    // from zero over its representation error before the cut, on either side
    // of zero alike (south and west positions too).
    const double hundredths = 100.0f * deg;
    return fixed_or_missing(deg, trunc_int(hundredths < 0 ? hundredths - 0.1 : hundredths + 0.1));
}

// The 33 numbers of a record: position, then 850, 700 and 500 hPa
// temperatures, heights, winds and dew-point depressions, the tropopause
// height, the 1000-500 hPa thickness and the observation time; unused
// places hold 0.
void fixed_values(const UPA_report& r, int v[33])
{
    const UPA_man& m850 = r.man[3];
    const UPA_man& m700 = r.man[4];
    const UPA_man& m500 = r.man[5];
    const UPA_man& m1000 = r.man[1];
    std::fill(v, v + 33, 0);
    v[0] = fixed_position(r.lat);
    v[1] = fixed_position(r.lon);
    v[2] = fixed_temp(m850.t);
    v[4] = fixed_temp(m700.t);
    v[5] = fixed_temp(m500.t);
    v[7] = fixed_height(m850.h);
    v[8] = fixed_height(m700.h);
    v[9] = fixed_height(m500.h);
    v[15] = fixed_dir(m850.dir);
    v[16] = fixed_dir(m700.dir);
    v[17] = fixed_dir(m500.dir);
    v[19] = fixed_speed(m850.spd);
    v[20] = fixed_speed(m700.spd);
    v[21] = fixed_speed(m500.spd);
    v[23] = fixed_depression(m850);
    v[24] = fixed_depression(m700);
    v[25] = fixed_depression(m500);
    v[26] = fixed_height(r.man[UPA_SLOT_TROPO].h);
    v[27] = (is_missing(m500.h) || is_missing(m1000.h)) ? FIXED_MISSING : trunc_int(m500.h - m1000.h);
    v[28] = r.time == VOK_MISSING ? FIXED_MISSING : r.time;
}

bool is_ascii_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void fixed_record(const UPA_report& r, unsigned char out[UPA_FIXED_RECORD_LEN])
{
    std::memset(out, 0, UPA_FIXED_RECORD_LEN);
    // Bytes 0-4: a call sign or station identifier that begins with a letter.
    const std::string_view id = field_text(r.id);
    if (!id.empty() && is_ascii_letter(id[0])) std::memcpy(out, id.data(), std::min<std::size_t>(id.size(), 5));
    // Bytes 5-11: the five-figure WMO number; 99999 for ships and for a
    // number that is missing or does not fit five figures.
    char wmo[8];
    const int w = (r.wmo >= 0 && r.wmo <= 99999) ? r.wmo : 99999;
    std::snprintf(wmo, sizeof wmo, "%5.5d", w);
    std::memcpy(out + 5, wmo, 5);
    int v[33];
    fixed_values(r, v);
    for (int k = 0; k < 33; ++k) {
        // 16-bit little-endian; values beyond 16 bits keep their low bits.
        const auto u = static_cast<std::uint16_t>(v[k]);
        out[12 + 2 * k] = static_cast<unsigned char>(u & 0xFF);
        out[13 + 2 * k] = static_cast<unsigned char>(u >> 8);
    }
}

}  // namespace

// ================================================================ headers
namespace {

bool put_text(std::string_view text)
{
    if (std::fwrite(text.data(), 1, text.size(), cvt_file) != text.size() || std::ferror(cvt_file))
        stream_failed = true;
    return !stream_failed;
}

const char* magic_of(int type)
{
    switch (type) {
    case UPA_FILE_VOKUPA: return "VOKUPA\n";
    case UPA_FILE_VOKUPA_PLUS: return "VOKUPA+\n";
    case UPA_FILE_VOKUPAX: return "VOKUPAx\n";
    default: return "";
    }
}

// The date line of the fixed-record form, "12:00Z XXX FEB  6 2026", with no
// line end: the first record follows the year directly.
std::string fixed_date_line(const Date& d)
{
    char line[64];
    std::snprintf(line, sizeof line, "%2.2d:%2.2dZ XXX %3s %2d %4d", d.hour, d.min, DATE_month(d.month), d.day,
                  d.year);
    return line;
}

int cdf_def_var(const CdfVarDesc& v, const int dims[5])
{
    const int rec_dim = dims[0];
    switch (v.shape) {
    case CdfShape::text: CDF_set_shape(2, rec_dim, dims[4]); break;
    case CdfShape::scalar: CDF_set_shape(1, rec_dim); break;
    case CdfShape::mant: CDF_set_shape(2, rec_dim, dims[1]); break;
    case CdfShape::sigt: CDF_set_shape(2, rec_dim, dims[2]); break;
    case CdfShape::sigw: CDF_set_shape(2, rec_dim, dims[3]); break;
    }
    const char* name = file_type == UPA_FILE_CDF_STATION ? v.old_name : v.name;
    switch (v.kind) {
    case CdfKind::text: return CDF_def_char_var(name);
    case CdfKind::integer: return CDF_def_long_var(name);
    case CdfKind::real: return CDF_def_float_var(name);
    }
    return -1;
}

// Units and valid range of a variable in the open file. The older netCDF
// form keeps the winds as the report holds them, speeds in knots and wind
// heights in feet, and says so; its ranges are the same bounds in those units.
struct CdfUnits {
    const char* units;
    float lo, hi;
};

CdfUnits cdf_units(int v)
{
    const CdfVarDesc& d = cdf_vars[v];
    if (file_type == UPA_FILE_CDF_STATION) {
        if (v == spd_man_id || v == spd_sigw_id)
            return {"knots", d.lo, static_cast<float>(d.hi / KNOTS_TO_MS)};
        if (v == z_sigw_id)
            return {"feet", static_cast<float>(d.lo / FEET_TO_M), static_cast<float>(d.hi / FEET_TO_M)};
    }
    return {d.units, d.lo, d.hi};
}

bool cdf_var_atts(int v, int id)
{
    const CdfVarDesc& d = cdf_vars[v];
    const CdfUnits u = cdf_units(v);
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

// Dimensions, variables, their attributes and the global attributes of an
// upper-air netCDF file, then data mode.
int cdf_header(UPA_info* info)
{
    bool ok = true;
    CDF_set_fd(cdf_id);
    const int dims[5] = {
        CDF_def_dim(file_type == UPA_FILE_CDF_STATION ? "station" : "report", 0),
        CDF_def_dim("mant_level", UPA_NUM_MAN),
        CDF_def_dim("sigt_level", UPA_MAX_SIG),
        CDF_def_dim("sigw_level", UPA_MAX_WND),
        CDF_def_dim("string_len", VOK_ID_LEN),
    };
    for (int d : dims)
        if (d == -1) ok = false;
    for (int v = 0; v < NUM_CDF_VARS; ++v)
        if ((cdf_var[v] = cdf_def_var(cdf_vars[v], dims)) == -1) ok = false;
    for (int v = 0; v < NUM_CDF_VARS; ++v)
        if (!cdf_var_atts(v, cdf_var[v])) ok = false;
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

}  // namespace

int UPA_putinfo(int handle, UPA_info* info)
{
    (void)handle;  // the module's own open file
    if (!info || file_type == 0 || file_access != 1) return -1;
    if (is_cdf_form(file_type)) return cdf_header(info);
    if (stream_failed) return -1;
    const std::string_view datim = field_text(info->datim);
    std::string head;
    switch (file_type) {
    case UPA_FILE_OLD500:
    case UPA_FILE_OLD100:
    case UPA_FILE_VOKUPA:
    case UPA_FILE_VOKUPA_PLUS:
    case UPA_FILE_VOKUPAX:
        head += magic_of(file_type);
        head += datim;
        head += '\n';
        break;
    case UPA_FILE_XML:
        head += "<vokupa date=\"";
        xml_escape(head, datim);
        head += "\">\n";
        break;
    case UPA_FILE_FIXED:
        head += fixed_date_line(info->date);
        swap_setup(2);  // the binary records are little-endian
        break;
    default: return -1;
    }
    return put_text(head) ? 0 : -1;
}

// ================================================================ reading headers
namespace {

long append_pos = -1;  // where records of an appended stream form go

// The next line of the stream without its line end; characters beyond
// size - 1 are read and dropped. false at the end of the stream.
bool read_line(FILE* fp, char* buf, std::size_t size)
{
    std::size_t n = 0;
    int c = 0;
    bool any = false;
    while ((c = std::getc(fp)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (n + 1 < size) buf[n++] = static_cast<char>(c);
    }
    buf[n] = '\0';
    return any;
}

void set_datim(UPA_info* info, std::string_view text)
{
    const std::size_t n = std::min(text.size(), sizeof info->datim - 1);
    std::memcpy(info->datim, text.data(), n);
    info->datim[n] = '\0';
}

// Fields of the fixed-record date line "hh:mmZ XXX MON dd yyyy".
bool parse_fixed_date_line(std::string_view line, Date* date)
{
    if (line.size() < UPA_FIXED_HEADER_LEN) return false;
    const std::string text(line.substr(0, UPA_FIXED_HEADER_LEN));
    int hour = 0, min = 0, day = 0, year = 0, used = 0;
    char mon[4] = "";
    if (std::sscanf(text.c_str(), "%2d:%2dZ XXX %3[A-Z] %2d %4d%n", &hour, &min, mon, &day, &year, &used) != 5 ||
        used != UPA_FIXED_HEADER_LEN || text[2] != ':' || text[5] != 'Z' || text[17] != ' ')
        return false;
    const int month = DATE_decode_month(mon);
    if (month < 1 || hour < 0 || hour > 23 || min < 0 || min > 59 || day < 1 || day > 31) return false;
    DATE_init(date);
    date->year = year;
    date->month = month;
    date->day = day;
    date->hour = hour;
    date->min = min;
    date->sec = 0;
    DATE_monday_julian(year, month, day, &date->jday);
    return true;
}

// The date attribute of the XML root line '<vokupa date="...">'.
bool parse_xml_root(std::string_view line, std::string* date)
{
    constexpr std::string_view head = "<vokupa date=\"";
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, head.size()) != head || line.size() < head.size() + 2 ||
        line.substr(line.size() - 2) != "\">")
        return false;
    const std::string_view value = line.substr(head.size(), line.size() - head.size() - 2);
    if (value.find('"') != std::string_view::npos) return false;
    *date = xml_unescape(value);
    return true;
}

int getinfo_text(UPA_info* info)
{
    std::rewind(cvt_file);
    char skip[2];
    if (file_type >= UPA_FILE_VOKUPA) read_line(cvt_file, skip, sizeof skip);  // the magic line
    read_line(cvt_file, info->datim, sizeof info->datim);
    wsstrip_string(info->datim);  // a CR-LF file leaves its CR
    DATE_decode_label(info->datim, &info->date);
    return 0;
}

void getinfo_xml(UPA_info* info)
{
    std::rewind(cvt_file);
    char line[4 * UPA_DATIM_LEN + 32];
    std::string date;
    read_line(cvt_file, line, sizeof line);
    if (!parse_xml_root(line, &date)) return;
    set_datim(info, date);
    DATE_decode_label(info->datim, &info->date);
}

void getinfo_fixed(UPA_info* info)
{
    std::rewind(cvt_file);
    char line[UPA_FIXED_HEADER_LEN];
    const std::size_t n = std::fread(line, 1, sizeof line, cvt_file);
    Date date;
    if (!parse_fixed_date_line(std::string_view(line, n), &date)) return;
    set_datim(info, std::string_view(line, n));
    info->date = date;
}

void getinfo_cdf(UPA_info* info)
{
    CDF_set_fd(cdf_id);
    num_station = CDF_get_dim_size(-1);
    if (num_station > num_records) num_records = num_station;
    cdf_lookup_vars();
    CDF_print_errors(0);
    // Older files carry the date line as "datetime".
    std::memset(info->datim, 0, sizeof info->datim);
    if (CDF_get_glob_att("filetime", info->datim, sizeof info->datim) != 1)
        CDF_get_glob_att("datetime", info->datim, sizeof info->datim);
    DATE_decode_label(info->datim, &info->date);
    CDF_print_errors(1);
}

}  // namespace

int UPA_getinfo(int handle, UPA_info* info)
{
    (void)handle;  // the module's own open file
    if (!info || file_type == 0) return 1;
    if (is_cdf_form(file_type)) {
        getinfo_cdf(info);
        return 1;
    }
    // A stream being created cannot be read, and moving it would put the
    // next records over the header.
    if (file_access == 1 || !cvt_file) return 1;
    int rc = 1;
    if (is_text_form(file_type)) rc = getinfo_text(info);
    else if (file_type == UPA_FILE_XML) getinfo_xml(info);
    else if (file_type == UPA_FILE_FIXED) getinfo_fixed(info);
    // An appended file goes on where its records end.
    if (file_access == 2 && std::fseek(cvt_file, append_pos, SEEK_SET) != 0) stream_failed = true;
    return rc;
}

// ================================================================ file forms
namespace {

// Type of an older text layout from the start of its third line: a count
// of significant levels (at most 14) in type 1, the 400 hPa group ("40...")
// in type 2. A third line that does not start with a number is taken for
// the older layout.
int old_layout_type(FILE* fp)
{
    char start[3] = "";
    int n = 0;
    for (int k = 0; k < 2; ++k) {
        const int c = std::getc(fp);
        if (c == EOF || c == '\n') break;
        start[n++] = static_cast<char>(c);
    }
    start[n] = '\0';
    int value = 0;
    if (std::sscanf(start, "%2d", &value) != 1) value = 0;
    return value > 21 ? UPA_FILE_OLD100 : UPA_FILE_OLD500;
}

void skip_line(FILE* fp)
{
    int c;
    while ((c = std::getc(fp)) != EOF && c != '\n') {
    }
}

// netCDF forms: the older one has the record dimension "station".
int cdf_type(const char* filename)
{
    CDF_print_errors(0);
    int type = -1;
    if (CDF_open(filename, 0) != -1) {
        type = CDF_get_dim("station") != -1 ? UPA_FILE_CDF_STATION : UPA_FILE_CDF;
        CDF_close();
    }
    // The module's own netCDF file stays the current one.
    if (cdf_id != -1) CDF_set_fd(cdf_id);
    CDF_print_errors(1);
    return type;
}

}  // namespace

int UPA_chktype(const char* filename)
{
    if (!filename) return -1;
    FILE* fp = FILE_open(filename, "r");
    if (!fp) return -1;
    char word[10] = "";
    int type = -1;
    if (std::fscanf(fp, "%9s", word) == 1) {
        const std::size_t len = std::strlen(word);
        if (word[0] == 'V' && len == 7 && word[6] == '+') {
            type = UPA_FILE_VOKUPA_PLUS;
        } else if (word[0] == 'V' && len == 7 && word[6] == 'x') {
            type = UPA_FILE_VOKUPAX;
        } else if (word[0] == 'V') {
            type = UPA_FILE_VOKUPA;
        } else if (word[0] == '0' || word[0] == '1' || word[0] == '2') {
            // A date line comes first.
            skip_line(fp);
            skip_line(fp);
            type = old_layout_type(fp);
        } else if (word[0] == 'C') {
            type = 0;  // perhaps netCDF: its file starts with "CDF"
        }
    }
    FILE_close(fp, filename);
    if (type == 0) type = cdf_type(filename);
    return type;
}

// ================================================================ appending
namespace {

// The whole file from its start; false on a read error.
bool read_all(FILE* fp, std::string* data)
{
    std::rewind(fp);
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) data->append(buf, n);
    return !std::ferror(fp);
}

std::string_view strip_cr(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// Records of a "VOKUPA+" or "VOKUPAx" text: every record ends with a line
// ending in "$". -1 when the magic is another, the date line is not whole,
// or the file does not end with a whole record.
long text_records(std::string_view data, int type)
{
    std::string_view magic = magic_of(type);
    magic.remove_suffix(1);
    const std::size_t eol1 = data.find('\n');
    if (eol1 == std::string_view::npos || strip_cr(data.substr(0, eol1)) != magic) return -1;
    const std::size_t eol2 = data.find('\n', eol1 + 1);
    if (eol2 == std::string_view::npos || data.back() != '\n') return -1;
    long count = 0;
    std::string_view last;
    for (std::size_t pos = eol2 + 1; pos < data.size();) {
        const std::size_t eol = data.find('\n', pos);
        last = strip_cr(data.substr(pos, eol - pos));
        if (!last.empty() && last.back() == '$') ++count;
        pos = eol + 1;
    }
    if (eol2 + 1 < data.size() && (last.empty() || last.back() != '$')) return -1;
    return count;
}

long fixed_records(std::string_view data)
{
    Date date;
    if (!parse_fixed_date_line(data, &date)) return -1;
    const std::size_t body = data.size() - UPA_FIXED_HEADER_LEN;
    if (body % UPA_FIXED_RECORD_LEN != 0) return -1;
    return static_cast<long>(body / UPA_FIXED_RECORD_LEN);
}

// Records of an XML file, and in *end the offset of its closing tag, where
// new records go. -1 when the root line or the closing tag is not there or
// a record is not whole.
long xml_records(std::string_view data, long* end)
{
    std::string date;
    const std::size_t eol1 = data.find('\n');
    if (eol1 == std::string_view::npos || !parse_xml_root(data.substr(0, eol1), &date)) return -1;
    const std::size_t tag = data.rfind("</vokupa>");
    if (tag == std::string_view::npos || tag <= eol1 ||
        data.find_first_not_of(" \t\r\n", tag + 9) != std::string_view::npos)
        return -1;
    long open = 0, closed = 0;
    for (std::size_t pos = eol1 + 1; pos < tag;) {
        std::size_t eol = data.find('\n', pos);
        if (eol == std::string_view::npos || eol > tag) eol = tag;
        const std::string_view line = strip_cr(data.substr(pos, eol - pos));
        if (line.substr(0, 5) == "<obs ") ++open;
        else if (line == "</obs>") ++closed;
        pos = eol + 1;
    }
    if (open != closed) return -1;
    *end = static_cast<long>(tag);
    return open;
}

// Opens a stream form for appending: the file must be of the form asked
// for and end with whole records. The stream stands where records go.
FILE* open_append(const char* filename, int type)
{
    if (FILE_is_stdio(filename) || filename[0] == '|') return nullptr;
    if (type != UPA_FILE_VOKUPA_PLUS && type != UPA_FILE_VOKUPAX && type != UPA_FILE_FIXED &&
        type != UPA_FILE_XML)
        return nullptr;
    FILE* fp = FILE_open(filename, type == UPA_FILE_FIXED ? "r+b" : "r+");
    if (!fp) return nullptr;
    std::string data;
    long count = -1;
    long pos = -1;
    if (read_all(fp, &data)) {
        pos = static_cast<long>(data.size());
        if (type == UPA_FILE_FIXED) count = fixed_records(data);
        else if (type == UPA_FILE_XML) count = xml_records(data, &pos);
        else count = text_records(data, type);
    }
    if (count < 0 || std::fseek(fp, pos, SEEK_SET) != 0) {
        std::fclose(fp);
        return nullptr;
    }
    num_records = count;
    append_pos = pos;
    if (type == UPA_FILE_FIXED) swap_setup(2);
    return fp;
}

// A netCDF file to append to must be of the form asked for and hold every
// variable of the header.
bool cdf_can_append(int type)
{
    const int actual = CDF_get_dim("station") != -1 ? UPA_FILE_CDF_STATION : UPA_FILE_CDF;
    return actual == type && CDF_get_dim_size(-1) >= 0 && cdf_lookup_vars();
}

// A netCDF file cut short still opens, and the library reads what its
// header claims beyond the end of the file as zeros, which appending would
// then keep as data. Read into memory whole, where a read beyond the end
// fails, every variable of every record the file claims must come back.
bool cdf_reads_back_whole(const char* filename)
{
    struct Handle {
        int id = -1;
        ~Handle()
        {
            if (id >= 0) nc_close(id);
        }
    } nc;
    int nvars = 0;
    if (nc_open(filename, NC_NOWRITE | NC_DISKLESS, &nc.id) != NC_NOERR || nc_inq_nvars(nc.id, &nvars) != NC_NOERR)
        return false;
    std::vector<unsigned char> values;
    for (int v = 0; v < nvars; ++v) {
        nc_type type = NC_NAT;
        int ndims = 0;
        int dims[NC_MAX_VAR_DIMS];
        std::size_t n = 1, size = 0;
        if (nc_inq_var(nc.id, v, nullptr, &type, &ndims, dims, nullptr) != NC_NOERR ||
            nc_inq_type(nc.id, type, nullptr, &size) != NC_NOERR)
            return false;
        for (int d = 0; d < ndims; ++d) {
            std::size_t len = 0;
            if (nc_inq_dimlen(nc.id, dims[d], &len) != NC_NOERR) return false;
            n *= len;
        }
        if (n == 0) continue;
        values.resize(n * size);
        if (nc_get_var(nc.id, v, values.data()) != NC_NOERR) return false;
    }
    return true;
}

// The library creates a netCDF file by replacing whatever has the name; a
// device, pipe or directory there is refused, never replaced.
bool cdf_may_create(const char* filename)
{
    struct stat st;
    return stat(filename, &st) != 0 || S_ISREG(st.st_mode);
}

int open_cdf(const char* filename, int access, int type)
{
    if (access == 1 && !cdf_may_create(filename)) return -1;
    if (access == 2 && !cdf_reads_back_whole(filename)) return -1;
    CDF_print_errors(0);
    const int id = CDF_open(filename, access);
    if (id == -1) {
        CDF_print_errors(1);
        return -1;
    }
    file_type = type;  // the variable names depend on it
    for (int& v : cdf_var) v = -1;
    if (access == 2 && !cdf_can_append(type)) {
        CDF_close();
        file_type = 0;
        CDF_print_errors(1);
        return -1;
    }
    num_records = access == 1 ? 0 : CDF_get_dim_size(-1);
    if (access == 0) cdf_lookup_vars();
    CDF_print_errors(1);
    cdf_id = id;
    return id;
}

int open_stream(const char* filename, int access, int type)
{
    FILE* fp = nullptr;
    if (access == 2) {
        fp = open_append(filename, type);
    } else {
        const bool binary = type == UPA_FILE_FIXED;
        fp = FILE_open(filename, access == 0 ? (binary ? "rb" : "r") : (binary ? "wb" : "w"));
        if (fp) num_records = access == 1 ? 0 : -1;
    }
    if (!fp) return -1;
    // Records are written a few kilobytes at a time; a larger buffer saves
    // system calls (the standard streams keep theirs).
    if (access != 0 && fp != stdout) std::setvbuf(fp, nullptr, _IOFBF, 1 << 16);
    cvt_file = fp;
    cvt_name = filename;
    stream_failed = false;
    file_type = type;
    return fileno(fp);
}

}  // namespace

int UPA_open(const char* filename, int access, int* type)
{
    if (!filename || !type || access < 0 || access > 2) return -1;
    // One file at a time: a second open would lose the first one's records.
    if (file_type != 0) return -1;
    if (*type == 0) {
        if (access != 0) return -1;
        const int found = UPA_chktype(filename);
        if (found == -1) return -1;
        *type = found;
    }
    const int t = *type;
    int handle = -1;
    if (is_stream_form(t)) handle = open_stream(filename, access, t);
    else if (is_cdf_form(t)) handle = open_cdf(filename, access, t);
    if (handle == -1) return -1;
    file_access = access;
    return handle;
}

// ================================================================ closing
namespace {

// Closes the stream; false when anything written did not reach the file.
bool close_stream()
{
    bool ok = !stream_failed;
    if (file_type == UPA_FILE_XML && file_access != 0) {
        if (std::fputs(XML_END_TAG, cvt_file) == EOF) ok = false;
    }
    if (file_access != 0 && (std::fflush(cvt_file) != 0 || std::ferror(cvt_file))) ok = false;
    // An appended XML file may have held more after its closing tag than the
    // tag that now ends it.
    if (ok && file_type == UPA_FILE_XML && file_access == 2) {
        const long end = std::ftell(cvt_file);
        if (end < 0 || ftruncate(fileno(cvt_file), end) != 0) ok = false;
    }
    if (FILE_close(cvt_file, cvt_name.c_str()) != 0) ok = false;
    return ok;
}

void forget_file()
{
    file_type = 0;
    file_access = 0;
    cvt_file = nullptr;
    cvt_name.clear();
    cdf_id = -1;
    stream_failed = false;
    append_pos = -1;
    num_station = 0;
    num_records = -1;
    for (int& v : cdf_var) v = -1;
}

}  // namespace

int UPA_close(int handle)
{
    (void)handle;  // the module's own open file
    if (file_type == 0) return -1;
    bool ok = true;
    if (is_stream_form(file_type)) {
        ok = close_stream();
    } else {
        CDF_set_fd(cdf_id);
        ok = CDF_close() == 0;
    }
    forget_file();
    return ok ? 0 : -1;
}

void UPA_file_reset()
{
    if (file_type != 0) UPA_close(0);
    forget_file();
}

long UPA_num_records()
{
    return file_type == 0 ? -1 : num_records;
}

// ================================================================ records
int UPA_write(int handle, UPA_report* report, int type, int* counter)
{
    (void)handle;  // the module's own open file
    (void)type;    // the report type is not used
    if (!report || file_type == 0 || file_access == 0) return -1;
    if (is_cdf_form(file_type)) {
        if (!counter) return -1;
        return cdf_record(*report, *counter);
    }
    // Types 1 and 2 are read, never written; after a failed write the file
    // is incomplete and no later record can be said to be in it.
    if (file_type == UPA_FILE_OLD500 || file_type == UPA_FILE_OLD100 || stream_failed) return -1;
    if (file_type == UPA_FILE_FIXED) {
        unsigned char buf[UPA_FIXED_RECORD_LEN];
        fixed_record(*report, buf);
        if (!put_text(std::string_view(reinterpret_cast<const char*>(buf), sizeof buf))) return -1;
        if (num_records >= 0) ++num_records;
        return 0;
    }
    rec.clear();
    if (file_type == UPA_FILE_XML) xml_record(*report);
    else text_record(*report);
    const bool ok = put_text(rec);
    if (counter) ++*counter;
    if (ok && num_records >= 0) ++num_records;
    return ok ? 0 : -1;
}
