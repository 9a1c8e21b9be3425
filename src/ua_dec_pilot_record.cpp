// PILOT parts into the suite's station record, as the suite's decoders
// UPA_decode_PPAA and UPA_decode_PPBB store them, and those two decoders:
// the part decoded whole, then what the record keeps of it.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "ua_dec_groups.h"
#include "ua_dec_part.h"
#include "ua_dec_record.h"
#include "vok.h"
#include "vokupa.h"
#include "ua_units.h"

namespace ua {

namespace {

// The suite's decoders read no more 44/55 sections, and no more altitude
// groups, than this.
constexpr int MAX_BLOCKS = 40;

float direction(const Level& l)
{
    return l.dir == VOK_MISSING ? VOK_MISSING_F : static_cast<float>(l.dir);
}

// Speeds are kept in knots.
float speed_kt(const Level& l)
{
    if (l.spd == VOK_MISSING) return VOK_MISSING_F;
    return l.knots ? static_cast<float>(l.spd) : l.spd * RECORD_KNOTS_PER_MPS;
}

// A surface wind: the wind level at height 0, where the TEMP surface wind
// goes too, and the surface row when a TEMP part already gave its pressure.
// A PILOT report has no surface pressure, and the row's marker 990 is never
// stored as one. False when the wind list is full.
bool surface_wind(UPA_report* rep, float dir, float spd)
{
    UPA_man& s = rep->man[UPA_SLOT_SURFACE];
    if (s.p != VOK_MISSING_F) {
        s.dir = dir;
        s.spd = spd;
    }
    return UPA_add_wnd(rep, 0.0f, dir, spd) != 0;
}

int standard_slot(int p10)
{
    for (int s = UPA_SLOT_A_FIRST; s <= UPA_SLOT_C_LAST; ++s)
        if (man_pres[s] * 10 == p10) return s;
    return -1;
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

// Mobile stations report where they are.
void store_position(const DecodedPart& part, UPA_report* rep)
{
    std::memcpy(rep->area, "MO", 3);
    if (!part.position) return;
    const Position& pos = *part.position;
    rep->lat = pos.lat10 == VOK_MISSING ? VOK_MISSING_F : pos.lat10 / 10.0f;
    rep->lon = pos.lon10 == VOK_MISSING ? VOK_MISSING_F : pos.lon10 / 10.0f;
    rep->wmo = 99999;
    rep->elev = 0.0f;
}

}  // namespace

void record_pilot_a(const DecodedPart& part, UPA_report* rep, const RecordOptions&)
{
    if (part.kind != Kind::PPAA) return;
    rep->time = part.hour * 100;
    bool found = false;
    for (const Level& l : part.levels) {
        if (l.block == 0 || l.block > MAX_BLOCKS) continue;
        if (l.type != LevelType::standard && l.type != LevelType::surface) continue;
        found = true;
        const float dir = direction(l);
        const float spd = speed_kt(l);
        if (l.type == LevelType::surface) {
            if (!surface_wind(rep, dir, spd)) break;
            continue;
        }
        const int slot = standard_slot(l.p10);
        if (slot < 0) continue;
        UPA_man& m = rep->man[slot];
        m.p = static_cast<float>(man_pres[slot]);
        m.dir = dir;
        m.spd = spd;
    }
    if (found) rep->numman = 20;
}

void record_pilot_bd(const DecodedPart& part, UPA_report* rep, const RecordOptions& options)
{
    rep->time = part.hour * 100;
    if (platform_of(part.kind) == Platform::mobile) store_position(part, rep);
    for (const Level& l : part.levels) {
        if (l.alt == AltitudeCode::none || l.block == 0) continue;  // winds by pressure
        if (l.block > MAX_BLOCKS) break;
        if (l.z == VOK_MISSING && l.alt != AltitudeCode::surface) continue;  // an altitude not reported
        const float h = height_ft(l, options);
        const float dir = direction(l);
        const float spd = speed_kt(l);
        if (h == 0.0f) {
            if (!surface_wind(rep, dir, spd)) break;
            continue;
        }
        // A full list ends the part.
        const int row = UPA_find_wnd(rep, h);
        if (row < 0) break;
        rep->wnd[row] = {h, dir, spd};
    }
}

}  // namespace ua

// ================================================================ the suite's decoders

namespace {

constexpr M_type DEC_GROUP = M_DEBUG & M_SUB_C;  // one line per group read
constexpr M_type DEC_POS = M_DEBUG & M_SUB_B;    // the position groups
constexpr M_type DEC_LIST = M_DEBUG & M_SUB_A;   // the levels a part filled

// The suite's scanner takes a group only when a blank follows it: a last
// group that ends the text is not read.
std::string_view scanned_text(const char* data)
{
    std::string_view text(data);
    const std::size_t last = text.find_last_of(" \t\n\r");
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

void trace(const char* label, std::string_view group)
{
    MESS_print(DEC_GROUP, "%s: %.*s\n", label, static_cast<int>(group.size()), group.data());
}

// A figure, or a solidus for a value not reported.
char figure(int v)
{
    return v >= 0 && v <= 9 ? static_cast<char>('0' + v) : '/';
}

void put2(char* at, int v)
{
    at[0] = v < 0 ? '/' : figure(v / 10 % 10);
    at[1] = v < 0 ? '/' : figure(v % 10);
}

// The groups of the heading, as the part read them.
void trace_heading(const ua::DecodedPart& part)
{
    const bool land = ua::platform_of(part.kind) == ua::Platform::land;
    if (!land && !part.id.empty()) trace("   ID", std::string_view(part.id).substr(0, 5));
    if (part.day != VOK_MISSING) {
        char g[5];
        put2(g, part.day + (part.knots ? 50 : 0));
        put2(g + 2, part.hour);
        g[4] = figure(part.id_figure);
        trace("YYGGI", {g, 5});
    }
    if (land && !part.id.empty()) trace("   ID", std::string_view(part.id).substr(0, 5));
}

// The position of a mobile station, read once the part's time passed.
void trace_position(const ua::DecodedPart& part)
{
    if (part.position && MESS_enabled(DEC_POS)) {
        const ua::Position& p = *part.position;
        const int qc = p.lat10 < 0 ? (p.lon10 < 0 ? 5 : 3) : (p.lon10 < 0 ? 7 : 1);
        const auto abs = [](int v) { return v < 0 ? -v : v; };
        MESS_print(DEC_POS, "99LLL QLLLL: 99%03d %d%04d\n", abs(p.lat10) % 1000, qc, abs(p.lon10) % 10000);
    }
}

// ddfff of a level, the hundreds of the speed carrying a direction's 5.
void trace_wind(const ua::Level& l)
{
    char g[6];
    const bool five = l.dir != VOK_MISSING && l.dir % 10 == 5;
    put2(g, l.dir == VOK_MISSING ? -1 : l.dir / 10);
    const int fff = l.spd == VOK_MISSING ? -1 : l.spd + (five ? 500 : 0);
    g[2] = fff < 0 ? '/' : figure(fff / 100);
    put2(g + 3, fff < 0 ? -1 : fff % 100);
    trace("dddss", {g, 5});
}

// What the part holds, group by group: the group that opens each level, or
// each block of winds (44npp, the altitude group), as the text has it, then
// the wind; and where reading stopped early.
void trace_levels(const ua::DecodedPart& part, std::string_view text)
{
    const ua::Groups groups(text);
    for (std::size_t j = 0; j < part.levels.size(); ++j) {
        const ua::Level& l = part.levels[j];
        const bool opens = l.block == 0 || j == 0 || part.levels[j - 1].block != l.block;
        if (opens) {
            const char* label = l.type == ua::LevelType::max_wind ? (l.p10 == VOK_MISSING ? "7hhhh" : "77ppp")
                                : l.block == 0                    ? "nnppp"
                                : l.alt == ua::AltitudeCode::none ? "44npp"
                                                                  : "9lhhh";
            trace(label, groups[l.group]);
        }
        trace_wind(l);
    }
    if (!part.note.empty())
        MESS_print(DEC_GROUP, "%s %s: %s\n", std::string(ua::kind_name(part.kind)).c_str(),
                   part.id.c_str(), part.note.c_str());
}

// The steps of both decoders: the part whole, the identifier, the time
// check, the record.
int decode_into(ua::Kind kind, const char* data, UPA_report* rep)
{
    const std::string_view text = scanned_text(data);
    const bool ac = ua::form_of(kind) == ua::Form::pilot_ac;
    const ua::DecodedPart part = ac ? ua::decode_pilot_ac(kind, text) : ua::decode_pilot_bd(kind, text);
    const bool tracing = MESS_enabled(DEC_GROUP);
    if (tracing) trace_heading(part);
    ua::record_identity(part, rep);
    if (!ua::record_time_ok(part)) return 0;
    const ua::RecordOptions options;
    if (ac) ua::record_pilot_a(part, rep, options);
    else ua::record_pilot_bd(part, rep, options);
    trace_position(part);
    if (tracing) trace_levels(part, text);
    if (MESS_enabled(DEC_LIST)) {
        if (ac) UPA_print_man(DEC_LIST, rep);
        else UPA_print_wnd(DEC_LIST, rep);
    }
    return 1;
}

}  // namespace

int UPA_decode_PPAA(const char* data, int, UPA_report* rep)
{
    if (!data || !rep) return 0;
    return decode_into(ua::Kind::PPAA, data, rep);
}

int UPA_decode_PPBB(const char* data, int type, UPA_report* rep)
{
    if (!data || !rep) return 0;
    ua::Kind kind = ua::Kind::PPBB;
    if (type == UPA_PPDD) kind = ua::Kind::PPDD;
    if (type == UPA_EEBB) kind = ua::Kind::EEBB;
    if (type == UPA_EEDD) kind = ua::Kind::EEDD;
    return decode_into(kind, data, rep);
}
