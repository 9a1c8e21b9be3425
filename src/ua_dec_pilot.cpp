// PILOT parts read into what they hold (FM 32): parts A and C give winds at
// the standard isobaric surfaces (sections 44nP1P1 / 55nP1P1) and the
// maximum winds (77PmPmPm / 66PmPmPm); parts B and D give winds at
// altitudes (9, 1 and 8 groups) and at pressures (21212).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ua_dec_groups.h"
#include "ua_dec_part.h"
#include "vokupa.h"

namespace ua {

namespace {

// ---------------------------------------------------------------- groups

// Groups such as 21212, 31313, 51515 or 61616 open a section of their own
// (the regional and national ones among them): a part that stops at one
// ended where its winds ended. 00000 and 11111 are winds.
bool section_indicator(std::string_view g)
{
    return indicator_form(g) && g[0] != g[1];
}

// The end of what the decoder reads: the end of the part, NIL or a section
// it does not read end it normally; any other group was meant to be read.
void finish(DecodedPart& part, const Groups& g, std::size_t i, std::string_view why)
{
    if (i >= g.size() || section_indicator(g[i]) || nil_group(g[i])) return;
    cut_part(part, g, i, why);
}

// A part without a date group, or NIL, holds nothing more.
bool holds_data(const DecodedPart& part)
{
    return part.status != PartStatus::no_date && part.status != PartStatus::nil;
}

std::uint16_t ordinal(std::size_t n)
{
    return static_cast<std::uint16_t>(n < 0xFFFF ? n : 0xFFFF);
}

// ---------------------------------------------------------------- parts A and C

// A section names its first level by pp (STANDARD_PP: part A in tens of
// hPa, 1000 hPa as 00 and the surface as 99; part C in hPa) and the winds
// that follow take the levels in turn, so a section of part A that runs
// past 100 hPa goes on at 70 hPa. The slot of a section's first level, -1
// when pp names none in this part.
int first_slot(int pp, bool part_c)
{
    return part_c ? slot_named(pp, UPA_SLOT_C_FIRST, UPA_SLOT_C_LAST)
                  : slot_named(pp, UPA_SLOT_SURFACE, UPA_SLOT_A_LAST);
}

// 44nP1P1 or 55nP1P1: n winds from the level P1P1 on; 44/// (or 55///) a
// section that reports nothing.
bool opens_section(std::string_view g)
{
    return code_group(g) && g[0] == g[1] && (g[0] == '4' || g[0] == '5');
}

bool section_group(std::string_view g, int& n, int& pp)
{
    if (!opens_section(g)) return false;
    n = figures(g, 2, 1);
    pp = figures(g, 3, 2);
    return n >= 0 && pp >= 0;
}

// The winds of one section from group i on. A group that is no wind group
// ends the section early; the next section is looked for there.
void read_section(const Groups& g, std::size_t& i, int n, int slot, std::uint16_t block,
                  DecodedPart& part)
{
    const std::size_t announced = i - 1;
    for (int k = 0; k < n; ++k, ++slot) {
        Level l = new_level(part, slot == UPA_SLOT_SURFACE ? LevelType::surface : LevelType::standard, announced);
        const WindGroup wg = read_wind(g, i, l);
        if (wg == WindGroup::none) return;
        ++i;
        // Past 1 hPa there is no standard level to hold a wind.
        if (wg == WindGroup::too_fast || slot > UPA_SLOT_C_LAST) continue;
        if (slot != UPA_SLOT_SURFACE) l.p10 = man_pres[slot] * 10;
        l.block = block;
        part.levels.push_back(l);
    }
}

// The maximum wind by its pressure, 77PmPmPm (66PmPmPm when it is the top
// of the sounding; 77999: none), part C giving tenths of hPa; or by its
// altitude in units of 10 m, 7HmHmHmHm (6HmHmHmHm). Returns false when g
// is neither.
bool max_wind_group(std::string_view g, bool part_c, Level& l)
{
    if (!code_group(g) || (g[0] != '7' && g[0] != '6')) return false;
    if (g[1] == g[0]) {
        const int ppp = figures(g, 2, 3);
        if (ppp == FIG_BAD) return false;
        l.p10 = ppp == VOK_MISSING || ppp == 999 ? VOK_MISSING : (part_c ? ppp : ppp * 10);
        return true;
    }
    const int hm = figures(g, 1, 4);
    if (hm == FIG_BAD) return false;
    l.z = hm == VOK_MISSING ? VOK_MISSING : hm * 10;
    return true;
}

// A maximum wind from group i on: its level group, its wind and the vector
// wind shear 4vbvbvava that may follow. Returns false when the maximum
// wind lacks its wind group (i is left on that group).
bool read_max_wind(const Groups& g, std::size_t& i, Level l, DecodedPart& part)
{
    const bool none = g[i][1] == g[i][0] && g[i].substr(2) == "999";
    ++i;
    if (none) return true;
    const WindGroup wg = read_wind(g, i, l);
    if (wg == WindGroup::none) return false;
    ++i;
    const std::string_view s = g[i];
    if (code_group(s) && s[0] == '4') {
        const int below = figures(s, 1, 2);
        const int above = figures(s, 3, 2);
        if (below != FIG_BAD && above != FIG_BAD) {
            l.shear_below = static_cast<std::int16_t>(below);
            l.shear_above = static_cast<std::int16_t>(above);
            ++i;
        }
    }
    // A maximum wind whose level is not reported, or one too fast to be
    // true, cannot be placed in the sounding.
    if (wg == WindGroup::wind && (l.p10 != VOK_MISSING || l.z != VOK_MISSING)) part.levels.push_back(l);
    return true;
}

}  // namespace

DecodedPart decode_pilot_ac(Kind kind, std::string_view text)
{
    const Groups g(text);
    std::size_t i = 0;
    DecodedPart part = start_part(kind, g, i);
    if (!holds_data(part)) return part;
    const bool part_c = upper_part(kind);

    std::size_t blocks = 0;
    std::string_view why = "no section group";
    int n = 0, pp = 0;
    while (section_group(g[i], n, pp)) {
        ++i;
        const std::uint16_t block = ordinal(++blocks);
        const int slot = first_slot(pp, part_c);
        // A section that names no standard level: its winds cannot be
        // placed, and the next section is looked for right after it.
        why = slot < 0 ? "winds of a section that names no standard level" : "no section group";
        if (slot >= 0) read_section(g, i, n, slot, block, part);
    }
    // The standard levels end here; the maximum winds follow.
    if (opens_section(g[i]) && figures(g[i], 2, 3) == VOK_MISSING) ++i;
    for (;;) {
        Level l = new_level(part, LevelType::max_wind, i);
        if (!max_wind_group(g[i], part_c, l)) break;
        if (!read_max_wind(g, i, l, part)) {
            cut_part(part, g, i, "no wind group of the maximum wind");
            return part;
        }
        why = "no maximum wind group";
    }
    finish(part, g, i, why);
    return part;
}

namespace {

// ---------------------------------------------------------------- parts B and D

// 9tnu1u2u3 (and 1tnu1u2u3, 8tnu1u2u3): the tens tn of the altitude and the
// units u of up to three altitudes, each followed by its wind group. 9 and 1
// groups count in units of 300 m, 1 groups from 100 units (30 km) on; 8
// groups count in units of 500 m.
struct AltitudeGroup {
    char indicator = '9';
    int tn = 0;
    std::array<int, 3> u{};
};

bool altitude_group(std::string_view g, char indicator, AltitudeGroup& a)
{
    if (!code_group(g) || g[0] != indicator) return false;
    a.indicator = indicator;
    a.tn = figures(g, 1, 1);
    if (a.tn == VOK_MISSING) return false;
    for (std::size_t j = 0; j < 3; ++j) a.u[j] = figures(g, 2 + j, 1);
    return true;
}

int altitude_m(const AltitudeGroup& a, int u)
{
    return ((a.indicator == '1' ? 100 : 0) + a.tn * 10 + u) * (a.indicator == '8' ? 500 : 300);
}

// Where the altitude groups of a part stand.
struct AltitudeState {
    std::size_t groups = 0;  // altitude groups read
    // A 1 group reads like a wind group (directions 100 to 195 degrees); it
    // is one only after the 90 decade (99xxx) or an earlier 1 group.
    bool above_90 = false;
};

// The next altitude group at g; false when g is none.
bool next_altitude_group(std::string_view g, AltitudeState& st, AltitudeGroup& a)
{
    if (altitude_group(g, '9', a)) {
        st.above_90 = a.tn == 9;
        return true;
    }
    return (st.above_90 && altitude_group(g, '1', a)) || altitude_group(g, '8', a);
}

// How many wind groups stand from group i on, counting to n at most. A
// section indicator such as 21212 counts as none.
std::size_t winds_ahead(const Groups& g, std::size_t i, std::size_t n)
{
    std::size_t k = 0;
    Level scratch;
    while (k < n && !section_indicator(g[i + k]) && read_wind(g, i + k, scratch) != WindGroup::none) ++k;
    return k;
}

// The winds of the altitude group at group i - 1, from group i on: one for
// each figure. A solidus after the last figure has no wind group ("9123/").
// One before a figure has its wind group when the part holds one for every
// place up to that figure ("90//2 24010 27511 23015": the surface, a wind
// whose altitude is not known, 600 m); else it has none, as in "91/23
// 30010 31015". A group that is no wind group ends the winds of the
// altitude group.
void read_altitude_winds(const Groups& g, std::size_t& i, AltitudeGroup a, std::uint16_t block,
                         DecodedPart& part)
{
    const std::size_t announced = i - 1;
    // In the first altitude group a solidus in the first place stands for
    // the surface.
    const bool surface = block == 1 && a.indicator != '1' && a.u[0] == VOK_MISSING;
    if (surface) a.u[0] = 0;
    std::size_t places = 0;  // up to the last figure
    bool solidus_before = false;
    for (std::size_t j = 0; j < 3; ++j) {
        if (a.u[j] == VOK_MISSING) continue;
        solidus_before = solidus_before || places < j;
        places = j + 1;
    }
    const bool solidi_have_winds = solidus_before && winds_ahead(g, i, places) == places;
    const AltitudeCode code = a.indicator == '8' ? AltitudeCode::units_500m : AltitudeCode::units_300m;
    for (std::size_t j = 0; j < places; ++j) {
        const bool known = a.u[j] != VOK_MISSING;
        if (!known && !solidi_have_winds) continue;
        Level l = new_level(part, LevelType::sig_wind, announced);
        const WindGroup wg = read_wind(g, i, l);
        if (wg == WindGroup::none) return;
        ++i;
        if (wg == WindGroup::too_fast) continue;
        l.alt = surface && j == 0 ? AltitudeCode::surface : code;
        l.z = known && l.alt != AltitudeCode::surface ? altitude_m(a, a.u[j]) : VOK_MISSING;
        l.block = block;
        part.levels.push_back(l);
    }
}

// Section 21212: n1n1P1P1P1 ddfff, winds at pressures, the level numbers
// running 00, 11 ... 99. Returns false when a level lacks its wind group (i
// is left on that group).
bool read_pressure_winds(const Groups& g, std::size_t& i, bool part_d, DecodedPart& part)
{
    int ppp = 0;
    while (level_number_group(g[i], ppp)) {
        Level l = new_level(part, LevelType::sig_wind, i);
        if (ppp == VOK_MISSING) {
            // No pressure: the level, and its wind if there is one, cannot be
            // placed.
            ++i;
            if (read_wind(g, i, l) != WindGroup::none) ++i;
            continue;
        }
        const WindGroup wg = read_wind(g, i + 1, l);
        if (wg == WindGroup::none) {
            ++i;
            return false;
        }
        i += 2;
        if (wg == WindGroup::too_fast) continue;
        l.p10 = significant_pressure10(ppp, part_d);
        part.levels.push_back(l);
    }
    return true;
}

}  // namespace

DecodedPart decode_pilot_bd(Kind kind, std::string_view text)
{
    const Groups g(text);
    std::size_t i = 0;
    DecodedPart part = start_part(kind, g, i);
    if (!holds_data(part)) return part;
    read_platform_position(part, g, i);

    AltitudeState st;
    AltitudeGroup a;
    while (next_altitude_group(g[i], st, a)) {
        ++i;
        read_altitude_winds(g, i, a, ordinal(++st.groups), part);
    }
    std::string_view why = "no altitude group";
    while (g[i] == "21212") {
        ++i;
        if (!read_pressure_winds(g, i, upper_part(kind), part)) {
            cut_part(part, g, i, "no wind group of the level");
            return part;
        }
        why = "no level of winds by pressure";
    }
    finish(part, g, i, why);
    return part;
}

}  // namespace ua
