// The decoders of PILOT parts into the station's report record, and the
// decoder of each part kind.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <sys/stat.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "vok.h"
#include "vokresrc.h"
#include "vokupa.h"

// ================================================================ decoders

// Every group is read with the pattern scanner and taken only when the scan
// stored what was asked for and ran past the group onto the blank behind it:
// a short or run-together group is never half-read, and the cursor stays on
// it so that the next step can try the same text with its own pattern.
// Nothing here allocates or formats unless a trace level is on, as every
// report part of a feed passes through these functions.

namespace {

constexpr M_type DEC_GROUP = M_DEBUG & M_SUB_C;  // one line per accepted group
constexpr M_type DEC_POS = M_DEBUG & M_SUB_B;  // the position groups
constexpr M_type DEC_LIST = M_DEBUG & M_SUB_A;  // the levels a part filled
constexpr M_type DEC_REJECT = M_OUT3 & M_SUB_C;  // report outside the decode window
constexpr float KNOTS_PER_MS = 1.944f;
constexpr double METRES_PER_FOOT = 0.3048;

bool is_missing(int v) { return v == VOK_MISSING; }

// A code group holds figures and solidi only; a minus sign that the scanner
// would take as part of a number is no valid group.
bool figures(int v) { return v >= 0 || is_missing(v); }

// The scan is taken when it stored `count` values and consumed more than
// `group` characters (the group and at least one blank).
bool accept(parse_param* pp, int got, int count, int group)
{
    if (got != count || pp->len <= group) return false;
    scanp_inc(pp);
    return true;
}

void trace_group(const char* fmt, const parse_param* pp)
{
    if (MESS_enabled(DEC_GROUP)) MESS_print(DEC_GROUP, fmt, scanp_str(pp));
}

// The same for a group that accept() has just passed.
void trace_taken(M_type mask, const char* fmt, const parse_param* pp)
{
    if (MESS_enabled(mask)) MESS_print(mask, fmt, pp->ptr + (pp->off - pp->len));
}

const char* kind_name(int type)
{
    return (type >= 0 && type < UPA_NUM_KINDS) ? type_str[type] : "UNK";
}

// Copies a word read by "%<10s" into a report's 11-character field.
void set_text(char* field, const char* word)
{
    const std::size_t n = strnlen(word, VOK_ID_LEN - 1);
    std::memcpy(field, word, n);
    field[n] = '\0';
}

// The group that names the station, into word; it names the slot too when
// the slot has no identifier yet. `shortest`: the fewest characters the
// group must have, one blank included.
bool read_identifier(parse_param* pp, UPA_report* rep, char* word, int shortest, bool land)
{
    char w[VOK_ID_LEN] = "";
    if (!accept(pp, scanp_kept<"%<10s ">(pp, w), 1, shortest)) return false;
    trace_taken(DEC_GROUP, "   ID: %5.5s\n", pp);
    set_text(word, w);
    if (rep->id[0] == '\0') {
        set_text(rep->id, w);
        rep->wmo = land ? std::atoi(w) : 99999;
    }
    return true;
}

// Call sign of a ship or mobile platform (platforms are not in the station
// table: no station number).
bool read_call_sign(parse_param* pp, UPA_report* rep, char* word)
{
    return read_identifier(pp, rep, word, 4, false);
}

// Block and station number of a land station.
bool read_station(parse_param* pp, UPA_report* rep, char* word)
{
    return read_identifier(pp, rep, word, 5, true);
}

// 99LaLaLa QcLoLoLoLo and the groups that follow it (MMMUU; for mobile land
// stations also h0h0h0h0im), which this conversion does not keep. The
// following groups are passed over even when the position group is
// malformed: its 99LaLaLa would otherwise pass for a surface group.
void read_position(parse_param* pp, UPA_report* rep, bool mobile)
{
    int la = 0, qc = 0, lo = 0;
    if (accept(pp, scanp_kept<"99%3!///!d %1!/!d%4!////!d ">(pp, &la, &qc, &lo), 3, 10) &&
        figures(la) && figures(lo)) {
        rep->lat = is_missing(la) ? VOK_MISSING_F : la / 10.0f;
        if (!is_missing(la) && (qc == 3 || qc == 5)) rep->lat = -rep->lat;
        rep->lon = is_missing(lo) ? VOK_MISSING_F : lo / 10.0f;
        if (!is_missing(lo) && qc > 4) rep->lon = -rep->lon;
        rep->wmo = 99999;
        rep->elev = 0.0f;
        trace_taken(DEC_POS, "99LLL QLLLL: %11.11s\n", pp);
    }
    char w[VOK_ID_LEN];
    const int skip = mobile ? 2 : 1;
    for (int k = 0; k < skip; ++k) {
        if (accept(pp, scanp_kept<"%<10s ">(pp, w), 1, 0)) continue;
        break;
    }
}

// The time check shared by all parts. A part whose date group did not read
// has no time: it is refused as well (hour -1 would otherwise be taken for
// one minute before midnight).
bool time_ok(int type, const char* word, int hour)
{
    if (hour >= 0 && DATE_chk_range(hour)) return true;
    if (MESS_enabled(DEC_REJECT)) {
        MESS_print(DEC_REJECT, "Bad %s date for %s: %4.4d\n", kind_name(type), word, hour);
    }
    return false;
}

// ddfff: direction in tens of degrees, the hundreds of the speed (500 and
// more) adding 5 degrees to the direction.
struct Wind {
    float dir;
    float spd;
    bool valid;  // speed not above 249: a real wind group
};

[[gnu::always_inline]] inline Wind wind_of(int dd, int fff, bool ms)
{
    Wind w{VOK_MISSING_F, VOK_MISSING_F, true};
    // Without a branch on the speed's hundreds, which vary from group to
    // group.
    const int over = static_cast<int>(!is_missing(fff) & (fff >= 500));
    const int speed = fff - 500 * over;
    const int dir = is_missing(dd) ? VOK_MISSING : dd * 10 + 5 * over;
    if (!is_missing(speed) && speed > 249) {
        w.valid = false;
        return w;
    }
    if (!is_missing(dir)) w.dir = static_cast<float>(dir);
    if (!is_missing(speed)) w.spd = ms ? speed * KNOTS_PER_MS : static_cast<float>(speed);
    return w;
}

// Scans a ddfff group without accepting it.
bool scan_wind(parse_param* pp, int* dd, int* fff)
{
    const int got = scanp_kept<"%2!//!d%3!///!d ">(pp, dd, fff);
    if (got != 2 || pp->len <= 5) return false;
    if (!(is_missing(*dd) || (*dd >= 0 && *dd <= 36))) return false;
    return figures(*fff);
}

// The pp figures of each standard slot (1000 hPa is "00").
constexpr int slot_pp[UPA_SLOT_C_LAST + 1] = {99, 0, 92, 85, 70, 50, 40, 30, 25, 20, 15, 10,
                             70, 50, 30, 20, 10, 7, 5, 3, 2, 1};

}  // namespace

namespace {

// Date group of a PILOT part: the unit of the speeds and the hour.
int pilot_date(parse_param* pp, bool* ms)
{
    int yy = 0, gg = 0, id = 0;
    if (!accept(pp, scanp_kept<"%2d%2d%1!/!d ">(pp, &yy, &gg, &id), 3, 5) || gg < 0) return -1;
    *ms = yy < 50;
    trace_taken(DEC_GROUP, "YYGGI: %5.5s\n", pp);
    return gg * 100;
}

// A PILOT wind group. Unlike in a TEMP part, a group with a speed above 249
// is a wind group all the same (the sections say how many follow): it is
// consumed and stores nothing. Returns false when no wind group reads.
bool pilot_wind(parse_param* pp, bool ms, Wind* w)
{
    int dd = 0, fff = 0;
    if (!scan_wind(pp, &dd, &fff)) return false;
    *w = wind_of(dd, fff, ms);
    trace_group("dddss: %5.5s\n", pp);
    scanp_inc(pp);
    return true;
}

// Surface wind of a PILOT part: the wind level at height 0, where the TEMP
// surface wind goes too, and the surface row when a TEMP part already gave
// its pressure. The surface pressure is not in a PILOT report; the marker of
// the surface row is never stored as one.
bool pilot_surface(UPA_report* rep, const Wind& w)
{
    if (rep->man[0].p != VOK_MISSING_F) {
        rep->man[0].dir = w.dir;
        rep->man[0].spd = w.spd;
    }
    return UPA_add_wnd(rep, 0.0f, w.dir, w.spd) != 0;
}

}  // namespace

int UPA_decode_PPAA(const char* data, int type, UPA_report* rep)
{
    if (!data || !rep) return 0;
    parse_param pp;
    scanp_set(&pp, data);
    char word[VOK_ID_LEN] = "";
    bool ms = false;
    const int hour = pilot_date(&pp, &ms);
    read_station(&pp, rep, word);
    if (!time_ok(type, word, hour)) return 0;
    rep->time = hour;

    bool found = false;
    bool full = false;
    for (int k = 0; k < 40 && !full; ++k) {
        int n = 0, pv = 0;
        bool sect = scanp_kept<"44%1d%2d ">(&pp, &n, &pv) == 2 && pp.len > 5;
        if (!sect) sect = scanp_kept<"55%1d%2d ">(&pp, &n, &pv) == 2 && pp.len > 5;
        if (!sect) break;
        trace_group("44npp: %5.5s\n", &pp);
        scanp_inc(&pp);
        int slot = -1;
        for (int s = UPA_SLOT_SURFACE; s <= UPA_SLOT_A_LAST; ++s) {
            if (slot_pp[s] == pv) {
                slot = s;
                break;
            }
        }
        if (slot < 0) continue;  // no wind groups read: the next section search fails
        found = true;
        for (int g = 0; g < n; ++g) {
            Wind w;
            if (!pilot_wind(&pp, ms, &w)) continue;
            if (w.valid && slot < UPA_SLOT_TROPO) {
                if (slot == 0) {
                    if (!pilot_surface(rep, w)) full = true;
                } else {
                    rep->man[slot].p = static_cast<float>(man_pres[slot]);
                    rep->man[slot].dir = w.dir;
                    rep->man[slot].spd = w.spd;
                }
            }
            ++slot;
            if (full) break;
        }
    }

    if (found) rep->numman = 20;
    if (MESS_enabled(DEC_LIST)) UPA_print_man(DEC_LIST, rep);
    return 1;
}

int UPA_decode_PPBB(const char* data, int type, UPA_report* rep)
{
    if (!data || !rep) return 0;
    const bool mobile = type == UPA_EEBB || type == UPA_EEDD;
    parse_param pp;
    scanp_set(&pp, data);
    char word[VOK_ID_LEN] = "";
    bool ms = false;

    if (mobile) read_call_sign(&pp, rep, word);
    const int hour = pilot_date(&pp, &ms);
    if (!mobile) read_station(&pp, rep, word);
    // The position is taken after the time check, as in the TEMP parts: a
    // part of another time must not move the platform.
    if (!time_ok(type, word, hour)) return 0;
    rep->time = hour;
    if (mobile) {
        set_text(rep->area, "MO");
        read_position(&pp, rep, true);
    }

    // Heights of 100,000 ft and more (part D of high soundings) are coded
    // with the indicator 1 instead of 9: 1tnuuu stands for 100,000 ft plus
    // tn ten-thousands and u thousands. A 1 group can only be told from a
    // wind group by its place, so it is taken only once the 90,000 ft decade
    // (or an earlier 1 group) has been read.
    //
    // Height groups led by 8 give altitudes in units of 500 m (WMO FM 32):
    // 8tnu1u2u3 stands for (tn tens and u units) x 500 m. They are kept in
    // feet like every wind height. No wind group begins with 8 (directions
    // end at 36), so they are told apart wherever they stand.
    bool above_90k = false;
    int next_row = 0;  // where the next height is looked for first
    for (int k = 0; k < 40; ++k) {
        int tn = 0, u[3] = {0, 0, 0};
        int base = 0;
        bool metres = false;
        if (accept(&pp, scanp_kept<"9%1d%1!/!d%1!/!d%1!/!d ">(&pp, &tn, &u[0], &u[1], &u[2]), 4, 5)) {
            above_90k = tn == 9;
        } else if (above_90k &&
                   accept(&pp, scanp_kept<"1%1d%1!/!d%1!/!d%1!/!d ">(&pp, &tn, &u[0], &u[1], &u[2]), 4, 5)) {
            base = 100000;
        } else if (accept(&pp, scanp_kept<"8%1d%1!/!d%1!/!d%1!/!d ">(&pp, &tn, &u[0], &u[1], &u[2]), 4, 5)) {
            metres = true;
        } else {
            break;
        }
        trace_taken(DEC_GROUP, "9lhhh: %5.5s\n", &pp);
        if (k == 0 && base == 0 && is_missing(u[0])) u[0] = 0;  // 90/.. : the first wind is the surface
        bool full = false;
        for (int j = 0; j < 3 && !full; ++j) {
            if (is_missing(u[j])) continue;
            Wind w;
            if (!pilot_wind(&pp, ms, &w) || !w.valid) continue;
            const float h = metres ? static_cast<float>((tn * 10 + u[j]) * 500 / METRES_PER_FOOT)
                                   : static_cast<float>(base + tn * 10000 + u[j] * 1000);
            if (h == 0.0f) {
                full = !pilot_surface(rep, w);
            } else {
                const int row = UPA_find_wnd_from(rep, h, next_row);
                full = row < 0;
                if (!full) {
                    rep->wnd[row] = {h, w.dir, w.spd};
                    next_row = row + 1;
                }
            }
        }
        // A full list drops the rest of the part; the groups left unread
        // must not be taken for height groups.
        if (full) break;
    }

    if (MESS_enabled(DEC_LIST)) UPA_print_wnd(DEC_LIST, rep);
    return 1;
}

int UPA_decode_part(const char* data, int type, UPA_report* rep)
{
    switch (type) {
    case UPA_TTAA: case UPA_TTCC: case UPA_UUAA: case UPA_UUCC: case UPA_IIAA: case UPA_IICC:
        return UPA_decode_TTAA(data, type, rep);
    case UPA_TTBB: case UPA_TTDD: case UPA_UUBB: case UPA_UUDD: case UPA_IIBB: case UPA_IIDD:
        return UPA_decode_TTBB(data, type, rep);
    case UPA_PPAA:
        return UPA_decode_PPAA(data, type, rep);
    case UPA_PPBB: case UPA_PPDD: case UPA_EEBB: case UPA_EEDD:
        return UPA_decode_PPBB(data, type, rep);
    default:
        return -1;
    }
}
