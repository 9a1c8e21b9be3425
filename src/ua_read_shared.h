// What the files of the upper-air file module share: the form of the open
// file, the small helpers and number texts of every record form, and the
// record writer of each form. The module state itself (the open file, its
// stream or netCDF handle, its record count) lives in ua_read.cpp; the
// writers are given what they need and keep nothing between records.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "vokupa.h"
#include "ua_units.h"

namespace ua {

// ---- the open file (ua_read.cpp)
// Type code of the open upper-air file; 0 when none is open.
int upa_file_type();

// ---- units and small helpers
// The legacy netCDF form and XML keep SI units: knots to metres per second,
// feet (the wind levels' heights) to metres.

inline bool is_missing(float v)
{
    return v == VOK_MISSING_F;
}

// (int) as C truncates toward zero, without the undefined behaviour of NaN
// (0) or of a value beyond the int range (the nearest bound).
inline int trunc_int(double v)
{
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

// A count of a report's rows as far as its list holds them.
inline int clamp_count(int n, int max)
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

// ---- number texts: printf's integer and fixed-point formats, made with
// std::to_chars.
// Room for any number of a report: a float has at most 39 digits before
// the point, and "%.2f" adds a sign, the point and two decimals.
inline constexpr std::size_t NUMBER_ROOM = 64;

struct Number {
    char text[NUMBER_ROOM];
    std::size_t len = 0;
    operator std::string_view() const { return {text, len}; }
};

// v padded to a width of w: with zeros after the sign ("%W.Wd", fill '0')
// or with blanks before it ("%Wd", fill ' ').
inline Number padded(long long v, int w, char fill)
{
    char digits[24];
    const char* first = digits;
    const char* end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    Number n;
    char* d = n.text;
    if (fill == '0' && *first == '-') *d++ = *first++;
    for (auto k = end - first; k < std::min(w, 20); ++k) *d++ = fill;
    n.len = static_cast<std::size_t>(std::copy(first, end, d) - n.text);
    return n;
}

// "%W.Wd": the sign, then at least w digits.
inline Number zero_padded(long long v, int w) { return padded(v, w, '0'); }

// "%Wd": blanks before the number up to a width of w.
inline Number blank_padded(long long v, int w) { return padded(v, w, ' '); }

// "%.Nf": the exact value rounded as printf rounds it, half to even.
inline Number fixed(double v, int decimals)
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

// ---- group encoders (ua_encode.cpp)
// The group the last encoder call left in encd_str.
std::string_view encoded_group();

// ---- surface rows of the text and XML forms
// A report with a surface observation carries the surface as its first
// significant level and its first wind level when its lists are empty, so
// that the text and XML forms give the sounding a bottom even when no B part
// or PILOT came in. The rows to write: the report's own, or the one surface
// row made in the caller's *surface; the report is left as it is.
inline std::span<const UPA_sig> sig_rows(const UPA_report& r, UPA_sig* surface)
{
    const UPA_man& sfc = r.man[UPA_SLOT_SURFACE];
    if (r.numsig == 0 && !is_missing(sfc.p)) {
        *surface = {sfc.p, sfc.t, sfc.td};
        return {surface, 1};
    }
    return {r.sig, static_cast<std::size_t>(clamp_count(r.numsig, UPA_MAX_SIG))};
}

inline std::span<const UPA_wnd> wnd_rows(const UPA_report& r, UPA_wnd* surface)
{
    const UPA_man& sfc = r.man[UPA_SLOT_SURFACE];
    if (r.numwnd == 0 && !is_missing(sfc.p)) {
        *surface = {0.0f, sfc.dir, sfc.spd};
        return {surface, 1};
    }
    return {r.wnd, static_cast<std::size_t>(clamp_count(r.numwnd, UPA_MAX_WND))};
}

// ---- record writers: each appends the record of one report to out
// Text forms "VOKUPA" (3), "VOKUPA+" (4) and "VOKUPAx" (5) (ua_write_text.cpp).
void text_record(const UPA_report& r, int type, std::string& out);
// XML (ua_write_xml.cpp).
void xml_record(const UPA_report& r, std::string& out);
// Attribute text of any bytes, well-formed in XML (also the header's date).
void xml_escape(std::string& out, std::string_view text);
// The 78 bytes of the fixed-record form (ua_write_fixed.cpp).
void fixed_record(const UPA_report& r, unsigned char out[UPA_FIXED_RECORD_LEN]);

// ---- the legacy netCDF form (ua_write_cdf.cpp), types 11 and 12, on the
// current file of the netCDF layer.
// Its variables, in the order the header defines them.
enum CdfVar {
    id_id, region_id, type_id, wmo_id, lat_id, lon_id, num_mant_id, num_sigt_id, num_sigw_id,
    p_man_id, z_man_id, t_man_id, td_man_id, dir_man_id, spd_man_id,
    p_sigt_id, t_sigt_id, td_sigt_id, z_sigw_id, dir_sigw_id, spd_sigw_id,
    NUM_CDF_VARS
};
// Their identifiers in the open file; -1 for a variable it lacks.
using CdfVarIds = std::array<int, NUM_CDF_VARS>;

// Dimensions, variables, their attributes and the global attributes of a
// new file, then data mode; a null cmdline is set to the default history.
// 0, or -1 when a definition failed.
int cdf_define_header(int type, UPA_info* info, CdfVarIds& ids);
// Looks up every variable by the names of the file's type; true when all
// of them are there.
bool cdf_lookup_vars(int type, CdfVarIds& ids);
// The record of a report at index r (from 0). Every write is tried even
// after one failed; 0 when all of them reached the file, else -1.
int cdf_record(const UPA_report& rep, int r, int type, const CdfVarIds& ids);

}  // namespace ua
