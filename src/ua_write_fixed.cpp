// The record of the fixed-record form: 78 bytes per report, the station's
// identifier and WMO number, then 33 signed 16-bit numbers, little-endian,
// that keep the position, the 850, 700 and 500 hPa levels, the tropopause
// height, the 1000-500 hPa thickness and the observation time.
#include "ua_read_shared.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace ua {
namespace {

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

}  // namespace

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

}  // namespace ua
