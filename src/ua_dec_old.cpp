// The decoders of TEMP parts into the station's report record, and the
// dispatch of every part by its kind.
#include <algorithm>
#include <array>
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
constexpr int ALL_LEVELS = 30;             // wind indicator: no limit

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
    if (!accept(pp, scanp(pp, "%<10s ", w), 1, shortest)) return false;
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
    if (accept(pp, scanp(pp, "99%3!///!d %1!/!d%4!////!d ", &la, &qc, &lo), 3, 10) &&
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
        if (accept(pp, scanp(pp, "%<10s ", w), 1, 0)) continue;
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

// v / 10 as a float, for the three figures of a group from a table made
// by the very same division when the program is built: a division waits on
// every level of every part.
constexpr auto TENTHS = [] {
    std::array<float, 1000> t{};
    for (int i = 0; i < 1000; ++i) t[static_cast<std::size_t>(i)] = static_cast<float>(i) / 10.0f;
    return t;
}();
float tenths(int v)
{
    return v >= 0 && v < 1000 ? TENTHS[static_cast<std::size_t>(v)] : v / 10.0f;
}

// TTTa: tenths of degrees, the parity of the tenths figure giving the sign.
float temperature(int ttt)
{
    if (is_missing(ttt)) return VOK_MISSING_F;
    const float t = tenths(ttt);
    return (ttt % 2) ? -t : t;
}

// DD: tenths of a degree up to 5.0, whole degrees (plus 50) from 6 on.
float depression(int dd)
{
    if (is_missing(dd)) return VOK_MISSING_F;
    return dd <= 50 ? tenths(dd) : static_cast<float>(dd - 50);
}

float dew_point(float t, float dep)
{
    if (t == VOK_MISSING_F || dep == VOK_MISSING_F) return VOK_MISSING_F;
    return t - dep;
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
    const int got = scanp(pp, "%2!//!d%3!///!d ", dd, fff);
    if (got != 2 || pp->len <= 5) return false;
    if (!(is_missing(*dd) || (*dd >= 0 && *dd <= 36))) return false;
    return figures(*fff);
}

// Height of a standard isobaric surface from the three figures of its
// pphhh group: the decametres or metres reported wrap every 1000 (10000 m),
// so the thousands come from the level's climatological range.
float standard_height(int slot, int hhh)
{
    if (is_missing(hhh)) return VOK_MISSING_F;
    int h;
    switch (slot) {
    case 1: h = hhh >= 500 ? 500 - hhh : hhh; break;
    case 2: h = hhh; break;
    case 3: h = hhh + 1000; break;
    case 4: h = hhh > 500 ? hhh + 2000 : hhh + 3000; break;
    case 5:
    case 6: h = hhh * 10; break;
    case 7:
    case 8: h = hhh > 500 ? hhh * 10 : hhh * 10 + 10000; break;
    case 9:
    case 10:
    case 11:
    case 12: h = hhh * 10 + 10000; break;
    case 13: h = hhh > 500 ? hhh * 10 + 10000 : hhh * 10 + 20000; break;
    case 14:
    case 15: h = hhh * 10 + 20000; break;
    case 16: h = hhh > 500 ? hhh * 10 + 20000 : hhh * 10 + 30000; break;
    case 17:
    case 18: h = hhh * 10 + 30000; break;
    case 19:
    case 20: h = hhh > 500 ? hhh * 10 + 30000 : hhh * 10 + 40000; break;
    case 21: h = hhh > 500 ? hhh * 10 + 40000 : hhh * 10 + 50000; break;
    default: return VOK_MISSING_F;
    }
    return static_cast<float>(h);
}

// The pp figures of each standard slot (1000 hPa is "00").
constexpr int slot_pp[UPA_SLOT_C_LAST + 1] = {99, 0, 92, 85, 70, 50, 40, 30, 25, 20, 15, 10,
                             70, 50, 30, 20, 10, 7, 5, 3, 2, 1};

// Last slot whose wind is reported, from the indicator Id. In part A the
// figure names the hundreds of hPa (0 = 1000 hPa), in part C the tens. A
// solidus says that no standard level carries a wind: the wind groups are
// left out, only the surface, tropopause and maximum-wind groups keep theirs.
int top_wind_slot(int id, bool part_c)
{
    if (is_missing(id)) return part_c ? UPA_SLOT_C_FIRST - 1 : UPA_SLOT_SURFACE;
    if (!part_c) {
        switch (id) {
        case 0: return 1;
        case 8: return 3;
        case 7: return 4;
        case 5: return 5;
        case 4: return 6;
        case 3: return 7;
        case 2: return 9;
        default: return ALL_LEVELS;
        }
    }
    switch (id) {
    case 7: return 12;
    case 5: return 13;
    case 3: return 14;
    case 2: return 15;
    default: return ALL_LEVELS;
    }
}

// Slot of the level that a pphhh group with the figures pv names at level
// position *i of a part, or -1 when it names none there (the level decoding
// ends). Standard levels may be left out: *i then moves on to the level
// named, and those passed over stay missing.
int level_slot(int pv, int* i, bool part_c, int sfc, bool after_complete)
{
    if (pv == 88) return UPA_SLOT_TROPO;
    if (pv == 77 || pv == 66) return UPA_SLOT_MAXWIND;
    const int first = part_c ? UPA_SLOT_C_FIRST : UPA_SLOT_A_FIRST;
    const int last = part_c ? UPA_SLOT_C_LAST : UPA_SLOT_A_LAST;
    if (!part_c) {
        if (pv == 85 && man_pres[*i] == 925) *i += 1;
        if (pv == 85 && man_pres[*i] == 1000) *i += 2;
        if (*i == 0) return pv == 99 ? 0 : -1;
    }
    if (*i < first || *i > last) return -1;
    if (pv == slot_pp[*i]) return *i;
    int slot = -1;
    if (!part_c && !is_missing(sfc)) {
        // Levels below the surface left out: jump ahead to the level named,
        // when all those passed over are under the ground.
        for (int s = *i + 1; s <= last && man_pres[s - 1] > sfc; ++s) {
            if (pv == slot_pp[s]) {
                slot = s;
                break;
            }
        }
    }
    if (slot < 0 && after_complete) {
        // A standard level left out above the ground (no 1000 hPa group over
        // a surface at 1000 hPa, no 700 hPa group): after a level read whole
        // the cursor stands on a pphhh group, so a later level's indicator
        // names that level. Temperature and wind groups are never read here.
        for (int s = *i + 1; s <= last; ++s) {
            if (pv == slot_pp[s]) {
                slot = s;
                break;
            }
        }
    }
    if (slot >= 0) *i = slot;
    return slot;
}

}  // namespace

namespace {

// What the opening groups of a part A or C tell the level groups after them.
struct TempHeading {
    bool ms = false;      // speeds in metres per second, kept in knots
    int il = ALL_LEVELS;  // last standard slot that carries a wind group
};

// YYGGId of a part A or C.
// YY: the day of the month, plus 50 when the speeds are in knots (WMO
// FM 35): a day below 50 means metres per second, converted to knots.
// GG: the hour; an hour plus 50 marks a ship report here, and the hour
// itself is GG mod 50.
// Id: the last standard level that carries a wind group (top_wind_slot).
// Returns the hour * 100, or -1 when the group does not read.
int temp_date(parse_param* pp, bool part_c, TempHeading* h, bool* ship)
{
    int yy = 0, gg = 0, id = 0;
    if (!accept(pp, scanp(pp, "%2d%2d%1!/!d ", &yy, &gg, &id), 3, 5) || yy < 0 || gg < 0)
        return -1;
    h->ms = yy < 50;
    h->il = top_wind_slot(id, part_c);
    if (gg > 50) *ship = true;
    trace_taken(DEC_GROUP, "YYGGI: %5.5s\n", pp);
    return (gg % 50) * 100;
}

// The groups that open a part A or C: call sign (ships and mobile
// stations), date group, station number (land) and position (ships and
// mobile stations). False when the part lies outside the decode window.
bool read_temp_heading(parse_param* pp, int type, UPA_report* rep, TempHeading* h)
{
    const bool part_c = type == UPA_TTCC || type == UPA_UUCC || type == UPA_IICC;
    const bool ship_kind = type == UPA_UUAA || type == UPA_UUCC;
    const bool mobile = type == UPA_IIAA || type == UPA_IICC;
    char word[VOK_ID_LEN] = "";
    bool ship = false;

    if (ship_kind || mobile) read_call_sign(pp, rep, word);
    const int hour = temp_date(pp, part_c, h, &ship);
    if (type == UPA_TTAA || type == UPA_TTCC) read_station(pp, rep, word);

    if (!time_ok(type, word, hour)) return false;
    rep->time = hour;

    if (ship_kind || mobile || ship) {
        set_text(rep->area, mobile ? "MO" : "SH");
        read_position(pp, rep, mobile);
    }
    return true;
}

// The level groups of a part A or C as they are read one level at a time.
struct TempLevels {
    bool part_c;
    TempHeading head;
    // Position in man_pres of the level that the next group should give.
    int i;
    // Surface pressure of this part: standard levels with a higher pressure
    // lie below the ground and may be left out altogether.
    int sfc = VOK_MISSING;
    // The surface or standard level before was read whole (pphhh, TTTDD and
    // the wind group when one is due): the cursor stands on the next level.
    bool complete = false;
    bool found = false;  // a level was stored
};

bool special_slot(int slot)
{
    return slot == UPA_SLOT_SURFACE || slot == UPA_SLOT_TROPO || slot == UPA_SLOT_MAXWIND;
}

// Stores the pressure (and for a standard level the height) that the pphhh
// group of slot gives; returns the row that takes the level's other values.
// A second surface, tropopause or maximum-wind group goes to the overflow
// row, so that the first stays.
int store_level_group(UPA_report* rep, int slot, int hhh, TempLevels* lv)
{
    if (!special_slot(slot)) {
        rep->man[slot].p = static_cast<float>(man_pres[slot]);
        rep->man[slot].h = standard_height(slot, hhh);
        return slot;
    }
    int row = slot;
    if (rep->man[slot].p != VOK_MISSING_F) {
        row = UPA_SLOT_OVERFLOW;
    } else if (!is_missing(hhh)) {
        float p;
        if (lv->part_c) {
            p = tenths(hhh);
        } else if (slot == UPA_SLOT_SURFACE && hhh <= 99) {
            p = static_cast<float>(hhh + 1000);  // 99PPP gives 1000 hPa and up as 0PP
        } else {
            p = static_cast<float>(hhh);
        }
        rep->man[slot].p = p;
    }
    if (slot == UPA_SLOT_SURFACE && !is_missing(hhh)) lv->sfc = hhh <= 99 ? hhh + 1000 : hhh;
    return row;
}

enum class TempGroup { read, absent, next_level };

// The TTTaDD group of a level. A temperature group left out at 1000, 925 or
// 850 hPa shows as the next level's pphhh group (next_level).
// DD = 99 would be a depression of 49 degrees by the code table; at the
// standard levels it is taken as no dew point reported.
TempGroup read_temp_group(parse_param* pp, UPA_report* rep, int slot, int row)
{
    int ttt = 0, dd = 0;
    if (scanp(pp, "%3!///!d%2!//!d ", &ttt, &dd) != 2 || pp->len <= 5 || !figures(ttt) ||
        !figures(dd))
        return TempGroup::absent;
    if ((slot == 1 && ((ttt >= 920 && ttt <= 929) || (ttt >= 850 && ttt <= 859))) ||
        (slot == 2 && ttt >= 850 && ttt <= 859) || (slot == 3 && ttt >= 700 && ttt <= 709))
        return TempGroup::next_level;
    const float t = temperature(ttt);
    rep->man[row].t = t;
    rep->man[row].td = dd == 99 ? VOK_MISSING_F : dew_point(t, depression(dd));
    trace_group("tttdd: %5.5s\n", pp);
    scanp_inc(pp);
    return TempGroup::read;
}

// The ddfff group of a level; true when one was read and stored. A speed
// above 249 does not occur: the group is the next level's, and the winds of
// this part end at this slot.
bool read_level_wind(parse_param* pp, UPA_report* rep, int slot, int row, TempLevels* lv)
{
    int dd = 0, fff = 0;
    if (!scan_wind(pp, &dd, &fff)) return false;
    const Wind w = wind_of(dd, fff, lv->head.ms);
    if (!w.valid) {
        lv->head.il = slot;
        return false;
    }
    rep->man[row].dir = w.dir;
    rep->man[row].spd = w.spd;
    trace_group("dddss: %5.5s\n", pp);
    scanp_inc(pp);
    return true;
}

// The surface also opens the significant-level and wind lists. A surface
// reported without wind must not blank the surface wind that a PILOT part
// of the same station already gave. False when a list is full.
bool surface_to_lists(UPA_report* rep)
{
    const UPA_man& s = rep->man[UPA_SLOT_SURFACE];
    const bool sig_ok = s.p == VOK_MISSING_F || UPA_add_sig(rep, s.p, s.t, s.td);
    const bool no_wind = s.dir == VOK_MISSING_F && s.spd == VOK_MISSING_F;
    return sig_ok && (no_wind || UPA_add_wnd(rep, 0.0f, s.dir, s.spd));
}

enum class LevelStep { next, stop };

// One level: its pphhh group, then its temperature group (not for the
// maximum wind) and its wind group when one is due.
LevelStep read_temp_level(parse_param* pp, UPA_report* rep, TempLevels* lv)
{
    int pv = 0, hhh = 0;
    const int got = scanp(pp, "%2!//!d%3!///!d ", &pv, &hhh);
    if (got != 2 || pp->len <= 5 || !figures(pv) || !figures(hhh)) return LevelStep::stop;
    const int slot = level_slot(pv, &lv->i, lv->part_c, lv->sfc, lv->complete);
    if (slot < 0) return LevelStep::stop;
    const bool tropo_or_max = slot == UPA_SLOT_TROPO || slot == UPA_SLOT_MAXWIND;
    if (tropo_or_max && hhh == 999) {
        scanp_inc(pp);  // no tropopause / no maximum wind reported
        return LevelStep::next;
    }
    lv->found = true;
    const int row = store_level_group(rep, slot, hhh, lv);
    trace_group("pphhh: %5.5s\n", pp);
    scanp_inc(pp);

    bool whole = true;
    if (slot != UPA_SLOT_MAXWIND) {
        const TempGroup tg = read_temp_group(pp, rep, slot, row);
        if (tg == TempGroup::next_level) {
            ++lv->i;
            lv->complete = false;
            return LevelStep::next;
        }
        whole = tg == TempGroup::read;
    }
    if (slot <= lv->head.il || tropo_or_max) whole = read_level_wind(pp, rep, slot, row, lv) && whole;
    if (slot == UPA_SLOT_MAXWIND) {
        char shear[VOK_ID_LEN];
        accept(pp, scanp(pp, "4%<10s ", shear), 1, 5);  // vertical wind shear
    }
    if (slot == UPA_SLOT_SURFACE && row == UPA_SLOT_SURFACE && !surface_to_lists(rep))
        return LevelStep::stop;
    // The tropopause and maximum-wind sections follow the standard levels
    // and may repeat: they take no position of their own, and no standard
    // level is looked for after them.
    const bool special = special_slot(slot);
    lv->complete = whole && (!special || slot == UPA_SLOT_SURFACE);
    if (!special || slot == UPA_SLOT_SURFACE) ++lv->i;
    return LevelStep::next;
}

}  // namespace

int UPA_decode_TTAA(const char* data, int type, UPA_report* rep)
{
    if (!data || !rep) return 0;
    parse_param pp;
    scanp_set(&pp, data);
    TempLevels lv{};
    lv.part_c = type == UPA_TTCC || type == UPA_UUCC || type == UPA_IICC;
    if (!read_temp_heading(&pp, type, rep, &lv.head)) return 0;

    lv.i = lv.part_c ? UPA_SLOT_C_FIRST : UPA_SLOT_SURFACE;
    while (lv.i < UPA_NUM_SLOTS && read_temp_level(&pp, rep, &lv) == LevelStep::next) {
    }

    if (lv.found) rep->numman = 20;
    if (MESS_enabled(DEC_LIST)) UPA_print_man(DEC_LIST, rep);
    return 1;
}

int UPA_decode_TTBB(const char* data, int type, UPA_report* rep)
{
    if (!data || !rep) return 0;
    const bool part_d = type == UPA_TTDD || type == UPA_UUDD || type == UPA_IIDD;
    const bool ship_kind = type == UPA_UUBB || type == UPA_UUDD;
    const bool mobile = type == UPA_IIBB || type == UPA_IIDD;
    parse_param pp;
    scanp_set(&pp, data);
    char word[VOK_ID_LEN] = "";
    int hour = -1;

    if (ship_kind || mobile) {
        char kw[VOK_ID_LEN];
        accept(&pp, scanp(&pp, "%(UUBB|UUDD|IIBB|IIDD) ", kw), 1, 4);
        read_call_sign(&pp, rep, word);
    }

    int yy = 0, gg = 0, id = 0;
    if (accept(&pp, scanp(&pp, "%2d%2d%1!/!d ", &yy, &gg, &id), 3, 5) && gg >= 0) {
        hour = gg * 100;
        trace_taken(DEC_GROUP, "YYGGI: %5.5s\n", &pp);
    }

    if (type == UPA_TTBB || type == UPA_TTDD) read_station(&pp, rep, word);

    if (!time_ok(type, word, hour)) return 0;
    rep->time = hour;

    if (ship_kind || mobile) {
        set_text(rep->area, mobile ? "MO" : "SH");
        read_position(&pp, rep, mobile);
    }

    // Every level group of the section is read: modern soundings report well
    // over fifty levels in part B, and only the 200 rows of the list bound them.
    int next_row = 0;  // where the next level is looked for first
    for (;;) {
        int nn = 0, ppp = 0;
        const int got = scanp(&pp, "%2!//!d%3!///!d ", &nn, &ppp);
        if (got != 2 || pp.len <= 5 || !figures(ppp)) break;
        // Level numbers run 00, 11, 22 ... 99; anything else (21212, 31313,
        // 41414, 51515 ...) opens a section that is not kept here.
        if (is_missing(nn) || nn < 0 || nn % 11 != 0) break;
        if (is_missing(ppp)) {
            scanp_inc(&pp);
            char w[VOK_ID_LEN];
            if (scanp(&pp, "%<10s ", w) == 1 && pp.len > 1 && w[0] == '/') scanp_inc(&pp);
            continue;
        }
        float p;
        if (part_d) {
            p = tenths(ppp);
        } else {
            p = static_cast<float>(ppp < 100 ? ppp + 1000 : ppp);
        }
        const int row = UPA_find_sig_from(rep, p, next_row);
        if (row < 0) break;
        next_row = row + 1;
        trace_group("nnppp: %5.5s\n", &pp);
        rep->sig[row].p = p;
        scanp_inc(&pp);

        int ttt = 0, dd = 0;
        if (scanp(&pp, "%3!///!d%2!//!d ", &ttt, &dd) == 2 && pp.len > 5 && figures(ttt) &&
            figures(dd)) {
            const float t = temperature(ttt);
            rep->sig[row].t = t;
            rep->sig[row].td = dew_point(t, depression(dd));
            trace_group("tttdd: %5.5s\n", &pp);
            scanp_inc(&pp);
        }
    }

    if (MESS_enabled(DEC_GROUP)) MESS_print(DEC_GROUP, "numsig: %d\n", rep->numsig);
    if (MESS_enabled(DEC_LIST)) UPA_print_sig(DEC_LIST, rep);
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
