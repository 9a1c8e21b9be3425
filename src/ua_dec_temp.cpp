// TEMP parts A and C (the standard isobaric surfaces, tropopauses and
// maximum winds) and B and D (the significant levels and the sections after
// them), read in one pass over the groups of a part into the values the
// part holds, in the code forms' own units.
//
// A group is read only when it is whole: five figures or solidi, each field
// all figures or all solidi. A group that does not read is left for the next
// step, which may read it as something else (a level's group where a
// temperature or wind group was left out); when nothing reads it, the part
// ends there.
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "ua_dec_groups.h"
#include "ua_dec_part.h"
#include "vokupa.h"

namespace ua {

namespace {

constexpr bool known(int v) { return v != VOK_MISSING; }

// ---------------------------------------------------------------- the part

struct Reader {
    const Groups& g;
    DecodedPart& out;
    std::size_t i = 0;  // the next group
    // What the section being read expected, for the note of a part that
    // ends at a group no section reads.
    std::string_view why = "no level group";

    std::string_view group() const { return g[i]; }
    void cut(std::string_view reason) { cut_part(out, g, i, reason); }
};

// A level opened by the group just read.
Level& add_level(Reader& r, LevelType type)
{
    return r.out.levels.emplace_back(new_level(r.out, type, r.i - 1));
}

// TTTaDD: tenths of a degree, the parity of the tenths figure giving the
// sign (even above zero, odd below), and the depression's code figure.
void set_temperature(Level& lv, int ttt, int dd)
{
    lv.t10 = static_cast<std::int16_t>(!known(ttt) ? VOK_MISSING : ttt % 2 ? -ttt : ttt);
    lv.dd = static_cast<std::int16_t>(dd);
    lv.temp_group = true;
}

// ---------------------------------------------------------------- parts A and C

// The height of a standard surface from the three figures hhh of its pphhh
// group. The figures give metres (to 700 hPa) or decametres (from 500 hPa)
// without their thousands, which the level's climatological range supplies:
// hhh above 500 takes `above`, the rest `at_most`.
struct HeightRule {
    int scale;  // metres per unit of hhh
    int above;
    int at_most;
};

// By slot (UPA_SLOT_*): the surface, 1000 to 100 hPa (part A), 70 to 1 hPa
// (part C).
constexpr std::array<HeightRule, UPA_SLOT_C_LAST + 1> HEIGHTS = {{
    {0, 0, 0},                                                           // surface
    {1, 0, 0},           {1, 0, 0},           {1, 1000, 1000},           // 1000 925 850
    {1, 2000, 3000},     {10, 0, 0},          {10, 0, 0},                // 700 500 400
    {10, 0, 10000},      {10, 0, 10000},      {10, 10000, 10000},        // 300 250 200
    {10, 10000, 10000},  {10, 10000, 10000},                             // 150 100
    {10, 10000, 10000},  {10, 10000, 20000},  {10, 20000, 20000},        // 70 50 30
    {10, 20000, 20000},  {10, 20000, 30000},  {10, 30000, 30000},        // 20 10 7
    {10, 30000, 30000},  {10, 30000, 40000},  {10, 30000, 40000},        // 5 3 2
    {10, 40000, 50000},                                                  // 1
}};

int standard_height(int slot, int hhh)
{
    if (!known(hhh)) return VOK_MISSING;
    // 1000 hPa below mean sea level is sent as 500 plus the metres below.
    if (slot == UPA_SLOT_A_FIRST) return hhh >= 500 ? 500 - hhh : hhh;
    const HeightRule& s = HEIGHTS[static_cast<std::size_t>(slot)];
    return hhh * s.scale + (hhh > 500 ? s.above : s.at_most);
}

// Last slot whose wind is reported, by the indicator Id: in part A the
// figure names the hundreds of hPa (0 = 1000 hPa), in part C the tens; the
// other figures give every level a wind. A solidus says that no standard
// level carries a wind: the wind groups are left out, only the surface,
// tropopause and maximum-wind groups keep theirs.
constexpr int ALL_LEVELS = 30;
constexpr std::array<int, 10> TOP_WIND_A = {1, ALL_LEVELS, 9, 7, 6, 5, ALL_LEVELS, 4, 3, ALL_LEVELS};
constexpr std::array<int, 10> TOP_WIND_C = {ALL_LEVELS, ALL_LEVELS, 15, 14, ALL_LEVELS,
                                            13,         ALL_LEVELS, 12, ALL_LEVELS, ALL_LEVELS};

int top_wind_slot(int id, bool part_c)
{
    if (!known(id)) return part_c ? UPA_SLOT_C_FIRST - 1 : UPA_SLOT_SURFACE;
    return (part_c ? TOP_WIND_C : TOP_WIND_A)[static_cast<std::size_t>(id)];
}

// The standard levels of a part A or C as they are read one level at a time.
struct StandardLevels {
    bool part_c;
    int top_wind;
    // Slot of the level that the next group should give.
    int at;
    // Surface pressure (hPa): standard levels with a higher pressure lie
    // below the ground and may be left out altogether.
    int sfc = VOK_MISSING;
    // The surface or standard level before was read whole (pphhh, TTTDD and
    // the wind group when one is due): the cursor stands on the next level.
    bool complete = false;
};

// Slot of the level that a pphhh group with the figures pv names, or -1
// when it names none at this point of the part. Standard levels may be left
// out: `at` then moves on to the level named, those passed over staying
// missing.
int level_slot(int pv, StandardLevels& lv)
{
    if (pv == 88) return UPA_SLOT_TROPO;
    if (pv == 77 || pv == 66) return UPA_SLOT_MAXWIND;
    const int first = lv.part_c ? UPA_SLOT_C_FIRST : UPA_SLOT_A_FIRST;
    const int last = lv.part_c ? UPA_SLOT_C_LAST : UPA_SLOT_A_LAST;
    if (!lv.part_c) {
        // 925 hPa, or 1000 and 925 hPa, left out: 850 hPa comes next.
        if (pv == 85 && man_pres[lv.at] == 925) lv.at += 1;
        if (pv == 85 && man_pres[lv.at] == 1000) lv.at += 2;
        if (lv.at == UPA_SLOT_SURFACE) return pv == 99 ? UPA_SLOT_SURFACE : -1;
    }
    if (lv.at < first || lv.at > last) return -1;
    if (pv == STANDARD_PP[static_cast<std::size_t>(lv.at)]) return lv.at;
    int slot = -1;
    // Levels below the surface left out: the level named is taken when all
    // those passed over are under the ground.
    if (!lv.part_c && known(lv.sfc)) {
        int under = lv.at + 1;
        while (under <= last && man_pres[under - 1] > lv.sfc) ++under;
        slot = slot_named(pv, lv.at + 1, under - 1);
    }
    // A standard level left out above the ground (no 1000 hPa group over a
    // surface at 1000 hPa, no 700 hPa group): after a level read whole the
    // cursor stands on a pphhh group, so a later level's figures name that
    // level. Temperature and wind groups are never read here.
    if (slot < 0 && lv.complete) slot = slot_named(pv, lv.at + 1, last);
    if (slot >= 0) lv.at = slot;
    return slot;
}

// The pressure, and for a standard level the height, that the pphhh group
// of the slot gives. 99PPP gives 1000 hPa and more as its last three
// figures; part C gives the tropopause and maximum wind in tenths of hPa.
void set_level_group(Level& lv, int slot, int hhh, StandardLevels& sl)
{
    if (lv.type == LevelType::standard) {
        lv.p10 = man_pres[slot] * 10;
        lv.z = standard_height(slot, hhh);
        return;
    }
    if (!known(hhh)) return;
    if (slot == UPA_SLOT_SURFACE) {
        sl.sfc = hhh <= 99 ? hhh + 1000 : hhh;
        lv.p10 = sl.sfc * 10;
    } else {
        lv.p10 = sl.part_c ? hhh : hhh * 10;
    }
}

LevelType type_of_slot(int slot)
{
    switch (slot) {
    case UPA_SLOT_SURFACE: return LevelType::surface;
    case UPA_SLOT_TROPO: return LevelType::tropopause;
    case UPA_SLOT_MAXWIND: return LevelType::max_wind;
    default: return LevelType::standard;
    }
}

// A temperature group left out at 1000, 925 or 850 hPa shows as the next
// level's pphhh group: 92hhh or 85hhh after 1000 hPa, 85hhh after 925 hPa,
// 70hhh after 850 hPa.
bool next_level_group(int slot, int ttt)
{
    const auto in = [ttt](int lo) { return ttt >= lo && ttt <= lo + 9; };
    switch (slot) {
    case 1: return in(920) || in(850);
    case 2: return in(850);
    case 3: return in(700);
    default: return false;
    }
}

// 4vbvbvava after a maximum wind: the vector wind shear in the kilometre
// below and above it. Any group led by 4 stands in its place.
void read_shear(Reader& r, Level& lv)
{
    const std::string_view w = r.group();
    if (w.size() < 5 || w[0] != '4') return;
    ++r.i;
    if (!code_group(w)) return;
    lv.shear_below = static_cast<std::int16_t>(figures_or_missing(w, 1, 2));
    lv.shear_above = static_cast<std::int16_t>(figures_or_missing(w, 3, 2));
}

enum class Step { next, end };

// A level beyond the last one the wind indicator gives a wind to, followed
// by a group that names no level that may come next but reads as a wind:
// the sender set the indicator wrong ("67125" and winds up to 10 hPa). The
// wind is the level's.
bool unannounced_wind(const Reader& r, const StandardLevels& sl, Level& lv)
{
    int pv = 0, hhh = 0;
    if (split_group(r.group(), 2, pv, hhh)) {
        StandardLevels probe = sl;
        ++probe.at;
        if (level_slot(pv, probe) >= 0) return false;
    }
    if (read_wind(r.g, r.i, lv) != WindGroup::wind) return false;
    lv.unannounced_wind = true;
    return true;
}

// One level: its pphhh group, then its temperature group (not for the
// maximum wind) and its wind group when one is due.
Step read_standard_level(Reader& r, StandardLevels& sl)
{
    int pv = 0, hhh = 0;
    if (!split_group(r.group(), 2, pv, hhh)) {
        r.why = "no level group";
        return Step::end;
    }
    const int slot = level_slot(pv, sl);
    if (slot < 0) {
        r.why = "no level expected here";
        return Step::end;
    }
    ++r.i;
    const bool tropo_or_max = slot == UPA_SLOT_TROPO || slot == UPA_SLOT_MAXWIND;
    if (tropo_or_max && hhh == 999) return Step::next;  // none reported
    Level& lv = add_level(r, type_of_slot(slot));
    set_level_group(lv, slot, hhh, sl);

    bool whole = true;
    if (slot != UPA_SLOT_MAXWIND) {
        int ttt = 0, dd = 0;
        whole = split_group(r.group(), 3, ttt, dd);
        if (whole && next_level_group(slot, ttt)) {
            ++sl.at;
            sl.complete = false;
            return Step::next;
        }
        if (whole) {
            set_temperature(lv, ttt, dd);
            ++r.i;
        }
    }
    if (slot <= sl.top_wind || tropo_or_max) {
        const WindGroup w = read_wind(r.g, r.i, lv);
        if (w == WindGroup::wind) ++r.i;
        // The group is the next level's: the winds of this part end here.
        if (w == WindGroup::too_fast) sl.top_wind = slot;
        whole = whole && w == WindGroup::wind;
    } else if (whole && unannounced_wind(r, sl, lv)) {
        ++r.i;
    }
    if (slot == UPA_SLOT_MAXWIND) read_shear(r, lv);
    // The tropopause and maximum-wind sections follow the standard levels
    // and may repeat: they take no position of their own, and no standard
    // level is looked for after them.
    sl.complete = whole && !tropo_or_max;
    if (!tropo_or_max) ++sl.at;
    return Step::next;
}

void read_standard_levels(Reader& r)
{
    StandardLevels sl{};
    sl.part_c = upper_part(r.out.kind);
    // Without a date group the wind indicator is unknown: every level may
    // carry a wind.
    sl.top_wind = r.out.status == PartStatus::no_date ? ALL_LEVELS : top_wind_slot(r.out.id_figure, sl.part_c);
    sl.at = sl.part_c ? UPA_SLOT_C_FIRST : UPA_SLOT_SURFACE;
    while (sl.at < UPA_NUM_SLOTS && read_standard_level(r, sl) == Step::next) {
    }
}

// ---------------------------------------------------------------- parts B and D

// nnPPP and the group after it, one level after another: TTTDD for the
// significant temperature levels, ddfff for the 21212 winds by pressure.
// A level without pressure (nn///) is passed over with the group of
// solidi after it, and in the wind section with the wind after it.
// The level numbers run 00, 11 ... 99, then 11 again: the number of the
// level after nn.
int level_after(int nn)
{
    return nn == 99 ? 11 : nn + 11;
}

// In a wind section a level whose number is garbled ("56000 20517" between
// 44254 and 66209) stands where the numbers say a level stands: it is
// passed over (the note says where) and the section goes on.
bool passed_garbled_level(Reader& r, int last_nn)
{
    int nn = 0, ppp = 0;
    if (last_nn < 0 || !code_group(r.group()) || !split_group(r.g[r.i + 2], 2, nn, ppp) ||
        nn != level_after(level_after(last_nn)) || !code_group(r.g[r.i + 1]))
        return false;
    r.cut("no wind level group");
    r.i += 2;
    return true;
}

void read_numbered_levels(Reader& r, LevelType type)
{
    const bool winds = type == LevelType::sig_wind;
    const bool part_d = upper_part(r.out.kind);
    int ppp = 0;
    int last_nn = -1;
    for (;;) {
        if (!level_number_group(r.group(), ppp)) {
            if (winds && passed_garbled_level(r, last_nn)) {
                last_nn = level_after(last_nn);
                continue;
            }
            break;
        }
        last_nn = figures(r.group(), 0, 2);
        ++r.i;
        if (!known(ppp)) {
            Level unplaced;
            if (r.group().starts_with('/') || (winds && read_wind(r.g, r.i, unplaced) == WindGroup::wind)) ++r.i;
            continue;
        }
        Level& lv = add_level(r, type);
        lv.p10 = significant_pressure10(ppp, part_d);
        int ttt = 0, dd = 0;
        if (winds ? read_wind(r.g, r.i, lv) == WindGroup::wind : split_group(r.group(), 3, ttt, dd)) {
            if (!winds) set_temperature(lv, ttt, dd);
            ++r.i;
        }
    }
    r.why = winds ? "no wind level group" : "no level group";
}

// ---------------------------------------------------------------- sections

// 31313 srrarasasa 8GGgg (9snTwTwTw): the radiosonde and its system, the
// launch time, and the sea temperature that a ship may add.
bool read_sonde(Reader& r)
{
    ++r.i;
    const std::string_view s = r.group();
    const int sr = figures(s, 0, 1);
    const int rara = figures(s, 1, 2);
    const int sasa = figures(s, 3, 2);
    if (!code_group(s) || sr == FIG_BAD || rara == FIG_BAD || sasa == FIG_BAD) {
        r.cut("no radiosonde group");
        return false;
    }
    r.why = "no section here";
    ++r.i;
    SondeInfo info;
    info.sr = static_cast<std::int16_t>(sr);
    info.rara = static_cast<std::int16_t>(rara);
    info.sasa = static_cast<std::int16_t>(sasa);
    if (const std::string_view t = r.group(); code_group(t) && t[0] == '8') {
        info.launch_hour = static_cast<std::int16_t>(figures_or_missing(t, 1, 2));
        info.launch_minute = static_cast<std::int16_t>(figures_or_missing(t, 3, 2));
        ++r.i;
    }
    // sn: 0 at or above zero, 1 below.
    if (const std::string_view w = r.group();
        code_group(w) && w[0] == '9' && (w[1] == '0' || w[1] == '1' || w[1] == '/')) {
        const int tw = figures_or_missing(w, 2, 3);
        if (known(tw) && w[1] != '/') info.sea_t10 = static_cast<std::int16_t>(w[1] == '1' ? -tw : tw);
        ++r.i;
    }
    r.out.sonde = info;
    return true;
}

// 41414 NhCLhCMCH, kept as reported.
bool read_clouds(Reader& r)
{
    ++r.i;
    if (!code_group(r.group())) {
        r.cut("no cloud group");
        return false;
    }
    r.out.clouds.assign(r.group());
    ++r.i;
    r.why = "no section here";
    return true;
}

enum class Section { none, winds, sonde, clouds, regional };

// The group that opens a section after the levels. 51515 ... 59595 open
// regional sections, 61616 ... 69696 national ones.
Section section_of(std::string_view g)
{
    if (!indicator_form(g)) return Section::none;
    if (g[0] == '5' || g[0] == '6') return g[1] != '0' ? Section::regional : Section::none;
    if (g[1] != '1') return Section::none;
    switch (g[0]) {
    case '2': return Section::winds;
    case '3': return Section::sonde;
    case '4': return Section::clouds;
    default: return Section::none;
    }
}

// After a group that does not read, the next section that stands beyond
// it, told by its opening group and the group it must begin with (the
// first level of a wind section, the launch time after the radiosonde
// group), so that a temperature group that happens to read 21212 or 31313
// is not taken for one. The part's index of its opening group, or none.
std::optional<std::size_t> next_section(const Reader& r, bool part_bd)
{
    int ppp = 0;
    for (std::size_t j = r.i + 1; j < r.g.size(); ++j) {
        const Section s = section_of(r.g[j]);
        if (part_bd && s == Section::winds && level_number_group(r.g[j + 1], ppp) &&
            (r.g[j + 1].starts_with("00") || r.g[j + 1].starts_with("11")))
            return j;
        if (s == Section::sonde && code_group(r.g[j + 2]) && r.g[j + 2][0] == '8') return j;
    }
    return std::nullopt;
}

// The sections after the levels, wherever they stand, to the end of the
// part. Regional and national sections are not read: the part ends there.
// A group that reads as nothing cuts the part (the note says where); what
// follows is read from the next section on.
void read_sections(Reader& r)
{
    const bool part_bd = form_of(r.out.kind) == Form::temp_bd;
    while (r.i < r.g.size()) {
        const Section s = section_of(r.group());
        if (s == Section::regional) return;
        bool more = false;
        if (s == Section::sonde) more = read_sonde(r);
        else if (part_bd && s == Section::clouds) more = read_clouds(r);
        else if (part_bd && s == Section::winds) {
            ++r.i;
            read_numbered_levels(r, LevelType::sig_wind);
            more = true;
        } else {
            r.cut(r.why);
        }
        if (more) continue;
        const std::optional<std::size_t> next = next_section(r, part_bd);
        if (!next) return;
        r.i = *next;
    }
}

// The part: its heading and position, its levels, then its sections.
DecodedPart decode_temp(Kind kind, std::string_view text, void (*read_levels)(Reader&))
{
    const Groups g(text);
    std::size_t i = 0;
    DecodedPart out = start_part(kind, g, i);
    read_platform_position(out, g, i);
    Reader r{g, out, i};
    read_levels(r);
    read_sections(r);
    return out;
}

}  // namespace

DecodedPart decode_temp_ac(Kind kind, std::string_view text)
{
    return decode_temp(kind, text, read_standard_levels);
}

DecodedPart decode_temp_bd(Kind kind, std::string_view text)
{
    return decode_temp(kind, text, [](Reader& r) { read_numbered_levels(r, LevelType::sig_temperature); });
}

}  // namespace ua
