// PILOT parts in the suite's station record: what the suite's decoders
// UPA_decode_PPAA (part A) and UPA_decode_PPBB (parts B and D) store of a
// decoded part.
#include "ua_dec_part.h"
#include "ua_dec_record.h"
#include "ua_units.h"
#include "vok.h"
#include "vokupa.h"

namespace ua {

namespace {

// The suite's decoders read no more 44/55 sections, and no more altitude
// groups, than this.
constexpr int MAX_BLOCKS = 40;

// A surface wind: the wind level at height 0, where the TEMP surface wind
// goes too, and the surface row when a TEMP part already gave its pressure.
// A PILOT report has no surface pressure, and the row's marker 990 is never
// stored as one. False when the wind list is full.
bool surface_wind(UPA_report* rep, const Level& l)
{
    UPA_man& s = rep->man[UPA_SLOT_SURFACE];
    if (s.p != VOK_MISSING_F) {
        s.dir = record_direction(l);
        s.spd = record_speed(l);
    }
    return UPA_add_wnd(rep, 0.0f, record_direction(l), record_speed(l)) != 0;
}

// Wind heights are in feet. The suite takes the figures of 9 and 1 groups
// for thousands of feet (a unit of 300 m is 984 ft), so that the text form
// writes the figures back as they came; 8 groups, in units of 500 m, and
// every altitude when asked, are converted.
float height_ft(const Level& l, const RecordOptions& options)
{
    if (l.alt == AltitudeCode::surface) return 0.0f;
    if (options.wind_heights_in_metres || l.alt == AltitudeCode::units_500m)
        return static_cast<float>(l.z / METRES_PER_FOOT);
    return static_cast<float>(l.z / 300 * 1000);
}

}  // namespace

void record_pilot_a(const DecodedPart& part, UPA_report* rep, const RecordOptions&)
{
    if (part.kind != Kind::PPAA) return;  // the record knows no PILOT part C
    record_time(part, rep);
    bool found = false;
    for (const Level& l : part.levels) {
        if (l.block == 0 || l.block > MAX_BLOCKS) continue;
        if (l.type != LevelType::standard && l.type != LevelType::surface) continue;
        found = true;
        if (l.type == LevelType::surface) {
            if (!surface_wind(rep, l)) break;
            continue;
        }
        const int slot = standard_slot(l.p10);
        if (slot < 0) continue;
        UPA_man& m = rep->man[slot];
        m.p = static_cast<float>(man_pres[slot]);
        m.dir = record_direction(l);
        m.spd = record_speed(l);
    }
    if (found) rep->numman = 20;
}

void record_pilot_bd(const DecodedPart& part, UPA_report* rep, const RecordOptions& options)
{
    record_time(part, rep);
    record_platform(part, rep);
    for (const Level& l : part.levels) {
        if (l.alt == AltitudeCode::none || l.block == 0) continue;  // winds by pressure
        if (l.block > MAX_BLOCKS) break;
        if (l.z == VOK_MISSING && l.alt != AltitudeCode::surface) continue;  // an altitude not reported
        const float h = height_ft(l, options);
        if (h == 0.0f) {
            if (!surface_wind(rep, l)) break;
            continue;
        }
        // A full list ends the part.
        const int row = UPA_find_wnd(rep, h);
        if (row < 0) break;
        rep->wnd[row] = {h, record_direction(l), record_speed(l)};
    }
}

}  // namespace ua
