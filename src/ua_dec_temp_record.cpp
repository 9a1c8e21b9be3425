// TEMP parts in the suite's station record: what the suite's decoders
// UPA_decode_TTAA (parts A and C) and UPA_decode_TTBB (parts B and D) store
// of a decoded part.
#include "ua_dec_part.h"
#include "ua_dec_record.h"
#include "vok.h"
#include "vokupa.h"

namespace ua {

namespace {

float temperature(const Level& lv)
{
    return lv.t10 != VOK_MISSING ? static_cast<float>(lv.t10) / 10.0f : VOK_MISSING_F;
}

// The air temperature less the depression that DD gives.
float dew_point(float t, int dd)
{
    const int dep = depression10(dd);
    if (t == VOK_MISSING_F || dep == VOK_MISSING) return VOK_MISSING_F;
    return t - static_cast<float>(dep) / 10.0f;
}

// The row of man that a level of a part A or C names, -1 for none.
int slot_of(const Level& lv)
{
    switch (lv.type) {
    case LevelType::surface: return UPA_SLOT_SURFACE;
    case LevelType::tropopause: return UPA_SLOT_TROPO;
    case LevelType::max_wind: return UPA_SLOT_MAXWIND;
    case LevelType::standard: return standard_slot(lv.p10);
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
    if (lv.type == LevelType::standard) {
        m.p = static_cast<float>(man_pres[slot]);
        m.h = lv.z != VOK_MISSING ? static_cast<float>(lv.z) : VOK_MISSING_F;
        return slot;
    }
    if (m.p != VOK_MISSING_F) return options.overflow_row ? UPA_SLOT_OVERFLOW : -1;
    m.p = record_pressure(part, lv.p10);
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
        if (lv.wind_group()) {
            m.dir = record_direction(lv);
            m.spd = record_speed(lv);
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
        const float p = record_pressure(part, lv.p10);
        const int row = UPA_find_sig(rep, p);
        if (row < 0) break;  // the list is full: the rest of the part is lost
        rep->sig[row].p = p;
        if (lv.temp_group) {
            rep->sig[row].t = temperature(lv);
            rep->sig[row].td = dew_point(rep->sig[row].t, lv.dd);
        }
    }
}

}  // namespace ua
