// TEMP parts in the suite's station record: what the suite's decoders
// UPA_decode_TTAA (parts A and C) and UPA_decode_TTBB (parts B and D) store
// of a decoded part, and those two decoders themselves, with their group
// traces and listings.
#include <cstring>
#include <optional>
#include <string_view>

#include "ua_dec_groups.h"
#include "ua_dec_part.h"
#include "ua_dec_record.h"
#include "vok.h"
#include "vokupa.h"
#include "ua_units.h"

namespace ua {

namespace {

constexpr M_type DEC_GROUP = M_DEBUG & M_SUB_C;  // one line per group read
constexpr M_type DEC_POS = M_DEBUG & M_SUB_B;    // the position groups
constexpr M_type DEC_LIST = M_DEBUG & M_SUB_A;   // the levels a part filled

constexpr bool known(int v) { return v != VOK_MISSING; }

float tenths(int v) { return static_cast<float>(v) / 10.0f; }

float temperature(const Level& lv)
{
    return known(lv.t10) ? tenths(lv.t10) : VOK_MISSING_F;
}

// The air temperature less the depression that DD gives.
float dew_point(float t, int dd)
{
    const int dep = depression10(dd);
    if (t == VOK_MISSING_F || !known(dep)) return VOK_MISSING_F;
    return t - tenths(dep);
}

float direction(const Level& lv)
{
    return known(lv.dir) ? static_cast<float>(lv.dir) : VOK_MISSING_F;
}

// The record keeps speeds in knots.
float speed(const Level& lv)
{
    if (!known(lv.spd)) return VOK_MISSING_F;
    return lv.knots ? static_cast<float>(lv.spd) : lv.spd * RECORD_KNOTS_PER_MPS;
}

// A reported pressure as the record keeps it: whole hPa from parts A and B,
// tenths of hPa from parts C and D.
float pressure(const DecodedPart& part, int p10)
{
    if (!known(p10)) return VOK_MISSING_F;
    return upper_part(part.kind) ? tenths(p10) : static_cast<float>(p10 / 10);
}

void record_time(const DecodedPart& part, UPA_report* rep)
{
    rep->time = known(part.hour) ? part.hour * 100 : VOK_MISSING;
}

// Ships and mobile stations: their area, and the position the part gives.
void record_platform(const DecodedPart& part, UPA_report* rep)
{
    const Platform pf = platform_of(part.kind);
    if (pf == Platform::land && !part.ship_hour) return;
    static_assert(sizeof "SH" <= sizeof rep->area);
    std::memcpy(rep->area, pf == Platform::mobile ? "MO" : "SH", sizeof "SH");
    if (!part.position) return;
    const Position& pos = *part.position;
    rep->lat = known(pos.lat10) ? tenths(pos.lat10) : VOK_MISSING_F;
    rep->lon = known(pos.lon10) ? tenths(pos.lon10) : VOK_MISSING_F;
    rep->wmo = 99999;
    rep->elev = 0.0f;
}

// The row of man that a level of a part A or C names, -1 for none.
int slot_of(const Level& lv)
{
    switch (lv.type) {
    case LevelType::surface: return UPA_SLOT_SURFACE;
    case LevelType::tropopause: return UPA_SLOT_TROPO;
    case LevelType::max_wind: return UPA_SLOT_MAXWIND;
    case LevelType::standard:
        for (int s = UPA_SLOT_A_FIRST; s <= UPA_SLOT_C_LAST; ++s)
            if (man_pres[s] * 10 == lv.p10) return s;
        return -1;
    default: return -1;
    }
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

// The row that takes a level's values, having stored what its pphhh group
// gives; -1 when the level stores nothing. A second surface, tropopause or
// maximum wind goes to the overflow row, so that the first stays.
int level_row(const DecodedPart& part, const Level& lv, int slot, UPA_report* rep,
              const RecordOptions& options)
{
    UPA_man& m = rep->man[slot];
    if (slot != UPA_SLOT_SURFACE && slot != UPA_SLOT_TROPO && slot != UPA_SLOT_MAXWIND) {
        m.p = static_cast<float>(man_pres[slot]);
        m.h = known(lv.z) ? static_cast<float>(lv.z) : VOK_MISSING_F;
        return slot;
    }
    if (m.p != VOK_MISSING_F) return options.overflow_row ? UPA_SLOT_OVERFLOW : -1;
    m.p = pressure(part, lv.p10);
    return slot;
}

}  // namespace

void record_temp_ac(const DecodedPart& part, UPA_report* rep, const RecordOptions& options)
{
    record_time(part, rep);
    record_platform(part, rep);
    bool found = false;
    for (const Level& lv : part.levels) {
        const int slot = slot_of(lv);
        if (slot < 0) continue;
        found = true;
        const int row = level_row(part, lv, slot, rep, options);
        if (row < 0) continue;
        UPA_man& m = rep->man[row];
        if (lv.temp_group) {
            m.t = temperature(lv);
            // DD 99 would be a depression of 49 degrees by the code table;
            // at the standard levels the suite takes it as no dew point.
            m.td = lv.dd == 99 ? VOK_MISSING_F : dew_point(m.t, lv.dd);
        }
        // The suite's decoders read no wind the indicator does not announce,
        // and took the group for the next level's, which ended the part.
        if (lv.unannounced_wind) break;
        if (lv.wind_group) {
            m.dir = direction(lv);
            m.spd = speed(lv);
        }
        if (row == UPA_SLOT_SURFACE && !surface_to_lists(rep)) break;
    }
    if (found) rep->numman = 20;
}

void record_temp_bd(const DecodedPart& part, UPA_report* rep, const RecordOptions&)
{
    record_time(part, rep);
    record_platform(part, rep);
    for (const Level& lv : part.levels) {
        // The record holds the temperature levels only, not the 21212 winds.
        if (lv.type != LevelType::sig_temperature) continue;
        const float p = pressure(part, lv.p10);
        const int row = UPA_find_sig(rep, p);
        if (row < 0) break;  // the list is full: the rest of the part is lost
        rep->sig[row].p = p;
        if (lv.temp_group) {
            rep->sig[row].t = temperature(lv);
            rep->sig[row].td = dew_point(rep->sig[row].t, lv.dd);
        }
    }
}

namespace {

// ---------------------------------------------------------------- traces
//
// One line per group read, as "label: " and the first five characters of
// the text from the group on. The groups are found again from what the
// part holds: a level gives its level group, and its temperature and wind
// groups where it has them.

void trace_group(M_type mask, const char* label, const Groups& g, std::size_t i, int width = 5)
{
    const std::string_view t = g.text().substr(g.offset(i), static_cast<std::size_t>(width));
    MESS_print(mask, "%s: %*.*s\n", label, width, static_cast<int>(t.size()), t.data());
}

// Call sign, date group and station number; the index of the group after
// them.
std::size_t trace_heading(const DecodedPart& part, const Groups& g)
{
    const std::size_t next = read_heading(part.kind, g).next;
    if (!MESS_enabled(DEC_GROUP)) return next;
    const bool land = platform_of(part.kind) == Platform::land;
    const bool dated = part.status != PartStatus::no_date;
    const bool named = !part.id.empty();
    // Land: date group, station number. Ships and mobile stations: (part
    // word,) call sign, date group.
    const std::size_t date = land ? 0 : next - 1;
    const std::size_t id = land ? next - 1 : next - 1 - (dated ? 1 : 0);
    if (!land && named) trace_group(DEC_GROUP, "   ID", g, id);
    if (dated) trace_group(DEC_GROUP, "YYGGI", g, date);
    if (land && named) trace_group(DEC_GROUP, "   ID", g, id);
    return next;
}

// 88999, 77999, 66999: no tropopause, no maximum wind.
bool none_reported(std::string_view g)
{
    int pv = 0, hhh = 0;
    return split_group(g, 2, pv, hhh) && (pv == 88 || pv == 77 || pv == 66) && hhh == 999;
}

void trace_standard_levels(const DecodedPart& part, const Groups& g, std::size_t& i)
{
    for (const Level& lv : part.levels) {
        while (none_reported(g[i])) ++i;
        trace_group(DEC_GROUP, "pphhh", g, i++);
        if (lv.temp_group) trace_group(DEC_GROUP, "tttdd", g, i++);
        if (lv.wind_group) trace_group(DEC_GROUP, "dddss", g, i++);
        // The wind-shear group after a maximum wind.
        if (lv.type == LevelType::max_wind && g[i].size() >= 5 && g[i][0] == '4') ++i;
    }
}

void trace_significant_levels(const DecodedPart& part, const Groups& g, std::size_t& i)
{
    for (const Level& lv : part.levels) {
        if (lv.type != LevelType::sig_temperature) return;
        // Levels without pressure, each with the group of solidi after it.
        while (code_group(g[i]) && g[i].substr(2) == "///") {
            ++i;
            if (g[i].starts_with('/')) ++i;
        }
        trace_group(DEC_GROUP, "nnppp", g, i++);
        if (lv.temp_group) trace_group(DEC_GROUP, "tttdd", g, i++);
    }
}

// The position groups and the levels, after the time check.
void trace_body(const DecodedPart& part, const Groups& g, std::size_t i)
{
    const Platform pf = platform_of(part.kind);
    if (pf != Platform::land || part.ship_hour) {
        if (part.position) {
            if (MESS_enabled(DEC_POS)) trace_group(DEC_POS, "99LLL QLLLL", g, i, 11);
            i += 2;
        }
        i += pf == Platform::mobile ? 2 : 1;
    }
    if (!MESS_enabled(DEC_GROUP)) return;
    if (form_of(part.kind) == Form::temp_ac) trace_standard_levels(part, g, i);
    else trace_significant_levels(part, g, i);
}

// The suite's decoder of one TEMP part: the part decoded, its identity and
// time check, then the record.
int decode_into_record(const char* data, int type, UPA_report* rep, Form form)
{
    if (!data || !rep || type < 0 || type > UPA_EEDD) return 0;
    const Kind kind = static_cast<Kind>(type);
    if (form_of(kind) != form) return 0;
    const std::string_view text(data);
    const DecodedPart part =
        form == Form::temp_ac ? decode_temp_ac(kind, text) : decode_temp_bd(kind, text);

    std::optional<Groups> groups;  // only for the traces
    std::size_t next = 0;
    if (MESS_enabled(DEC_GROUP) || MESS_enabled(DEC_POS)) {
        groups.emplace(text);
        next = trace_heading(part, *groups);
    }
    record_identity(part, rep);
    if (!record_time_ok(part)) return 0;
    if (groups) trace_body(part, *groups, next);

    const RecordOptions options;
    if (form == Form::temp_ac) {
        record_temp_ac(part, rep, options);
        if (MESS_enabled(DEC_LIST)) UPA_print_man(DEC_LIST, rep);
    } else {
        record_temp_bd(part, rep, options);
        if (MESS_enabled(DEC_GROUP)) MESS_print(DEC_GROUP, "numsig: %d\n", rep->numsig);
        if (MESS_enabled(DEC_LIST)) UPA_print_sig(DEC_LIST, rep);
    }
    return 1;
}

}  // namespace

}  // namespace ua

int UPA_decode_TTAA(const char* data, int type, UPA_report* rep)
{
    return ua::decode_into_record(data, type, rep, ua::Form::temp_ac);
}

int UPA_decode_TTBB(const char* data, int type, UPA_report* rep)
{
    return ua::decode_into_record(data, type, rep, ua::Form::temp_bd);
}
