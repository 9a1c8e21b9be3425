// The group encoders of the text forms: pressure and height, temperature
// and dew-point depression, and wind, each turned back into the five-figure
// group of the TEMP code that a bulletin carries, in the shared encd_str.
#include "ua_read_shared.h"

#include <algorithm>
#include <cstring>
#include <string_view>

char encd_str[UPA_ENCD_LEN] = "";

namespace {

using ua::is_missing;
using ua::trunc_int;

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
    group_put(ua::zero_padded(v, w));
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
    const int type = ua::upa_file_type();
    group_start();
    group_put(type >= UPA_FILE_VOKUPA && type <= UPA_FILE_VOKUPAX ? "X" : "99999");
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

std::string_view ua::encoded_group()
{
    return {encd_str, encd_len};
}
