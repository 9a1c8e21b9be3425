// What every part gives the suite's station record: the station's
// identifier, the time check, the values each form stores alike; and the
// suite's decoders UPA_decode_TTAA, UPA_decode_TTBB, UPA_decode_PPAA and
// UPA_decode_PPBB, which decode a part whole, trace the groups it holds and
// store it.
#include "ua_dec_record.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "ua_dec_groups.h"
#include "ua_units.h"

namespace ua {

namespace {

constexpr M_type REJECT = M_OUT3 & M_SUB_C;
constexpr M_type DEC_GROUP = M_DEBUG & M_SUB_C;  // one line per group read
constexpr M_type DEC_POS = M_DEBUG & M_SUB_B;    // the position groups
constexpr M_type DEC_LIST = M_DEBUG & M_SUB_A;   // the levels a part filled

constexpr bool known(int v) { return v != VOK_MISSING; }

float tenths(int v) { return static_cast<float>(v) / 10.0f; }

void set_text(char* field, std::string_view text)
{
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(VOK_ID_LEN - 1));
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

}  // namespace

void record_identity(const DecodedPart& part, UPA_report* rep)
{
    if (rep->id[0] != '\0' || part.id.empty()) return;
    set_text(rep->id, part.id);
    // Ships and mobile platforms are not in the station table: no number.
    rep->wmo = platform_of(part.kind) == Platform::land ? std::atoi(rep->id) : 99999;
}

bool record_time_ok(const DecodedPart& part)
{
    const bool dated = part.status != PartStatus::no_date && part.hour != VOK_MISSING;
    const int hhmm = dated ? part.hour * 100 : -1;
    if (dated && DATE_chk_range(hhmm)) return true;
    if (MESS_enabled(REJECT))
        MESS_print(REJECT, "Bad %s date for %s: %4.4d\n", std::string(kind_name(part.kind)).c_str(),
                   part.id.c_str(), hhmm);
    return false;
}

void record_time(const DecodedPart& part, UPA_report* rep)
{
    rep->time = known(part.hour) ? part.hour * 100 : VOK_MISSING;
}

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

float record_direction(const Level& lv)
{
    return known(lv.dir) ? static_cast<float>(lv.dir) : VOK_MISSING_F;
}

float record_speed(const Level& lv)
{
    if (!known(lv.spd)) return VOK_MISSING_F;
    return lv.knots ? static_cast<float>(lv.spd) : lv.spd * RECORD_KNOTS_PER_MPS;
}

float record_pressure(const DecodedPart& part, int p10)
{
    if (!known(p10)) return VOK_MISSING_F;
    return upper_part(part.kind) ? tenths(p10) : static_cast<float>(p10 / 10);
}

int standard_slot(int p10)
{
    for (int s = UPA_SLOT_A_FIRST; s <= UPA_SLOT_C_LAST; ++s)
        if (man_pres[s] * 10 == p10) return s;
    return -1;
}

void record_part(const DecodedPart& part, UPA_report* rep, const RecordOptions& options)
{
    switch (form_of(part.kind)) {
    case Form::temp_ac: record_temp_ac(part, rep, options); break;
    case Form::temp_bd: record_temp_bd(part, rep, options); break;
    case Form::pilot_ac: record_pilot_a(part, rep, options); break;
    case Form::pilot_bd: record_pilot_bd(part, rep, options); break;
    }
}

namespace {

// ---------------------------------------------------------------- traces
//
// One line per group read, as "label: " and the first five characters of
// the text from the group on (eleven for the position), found again from
// what the part holds.

void trace_group(M_type mask, const char* label, const Groups& g, std::size_t i, int width = 5)
{
    const std::string_view t = g.text().substr(g.offset(i), static_cast<std::size_t>(width));
    MESS_print(mask, "%s: %*.*s\n", label, width, static_cast<int>(t.size()), t.data());
}

// Call sign, date group and station number, the groups before `next`.
void trace_heading(const DecodedPart& part, const Groups& g, std::size_t next)
{
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
}

// The group that opens a level, or a block of PILOT winds.
const char* opening_label(Form form, const Level& lv)
{
    if (form == Form::temp_ac) return "pphhh";
    if (form == Form::temp_bd || lv.block == 0)
        return lv.type != LevelType::max_wind ? "nnppp" : lv.p10 == VOK_MISSING ? "7hhhh" : "77ppp";
    return lv.alt == AltitudeCode::none ? "44npp" : "9lhhh";
}

// The position and the levels, after the time check: the group that opens
// each level (once for a block of winds), its temperature group and its
// wind group where the part holds them. The suite's decoders of TEMP parts
// B and D read the significant temperature levels only; its PILOT decoders
// say where a part was cut short.
void trace_body(const DecodedPart& part, const Groups& g, std::size_t next)
{
    if (part.position && MESS_enabled(DEC_POS)) trace_group(DEC_POS, "99LLL QLLLL", g, next, 11);
    if (!MESS_enabled(DEC_GROUP)) return;
    const Form form = form_of(part.kind);
    for (std::size_t j = 0; j < part.levels.size(); ++j) {
        const Level& lv = part.levels[j];
        if (form == Form::temp_bd && lv.type != LevelType::sig_temperature) break;
        if (lv.block == 0 || j == 0 || part.levels[j - 1].block != lv.block)
            trace_group(DEC_GROUP, opening_label(form, lv), g, lv.group);
        if (lv.temp_group) trace_group(DEC_GROUP, "tttdd", g, lv.group + 1u);
        if (lv.wind_group()) trace_group(DEC_GROUP, "dddss", g, lv.group + std::size_t{lv.wind_at});
    }
    if ((form == Form::pilot_ac || form == Form::pilot_bd) && !part.note.empty())
        MESS_print(DEC_GROUP, "%s %s: %s\n", std::string(kind_name(part.kind)).c_str(), part.id.c_str(),
                   part.note.c_str());
}

// The suite's decoder of one part: the part decoded whole, its identity and
// time check, its groups traced, then the record and its listing.
int decode_into_record(Kind kind, const char* data, UPA_report* rep)
{
    if (!data || !rep) return 0;
    const Form form = form_of(kind);
    std::string_view text(data);
    // The suite's PILOT decoders take a group only when a blank follows it:
    // a last group that ends the text is not read.
    if (form == Form::pilot_ac || form == Form::pilot_bd) {
        const std::size_t last = text.find_last_of(" \t\n\r");
        text = last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
    }
    const DecodedPart part = decode_part(kind, text);

    std::optional<Groups> groups;  // only for the traces
    std::size_t next = 0;
    if (MESS_enabled(DEC_GROUP) || MESS_enabled(DEC_POS)) {
        groups.emplace(text);
        next = read_heading(kind, *groups).next;
        if (MESS_enabled(DEC_GROUP)) trace_heading(part, *groups, next);
    }
    record_identity(part, rep);
    if (!record_time_ok(part)) return 0;
    if (groups) trace_body(part, *groups, next);
    record_part(part, rep, RecordOptions{});
    if (form == Form::temp_bd && MESS_enabled(DEC_GROUP)) MESS_print(DEC_GROUP, "numsig: %d\n", rep->numsig);
    if (!MESS_enabled(DEC_LIST)) return 1;
    if (form == Form::temp_bd) UPA_print_sig(DEC_LIST, rep);
    else if (form == Form::pilot_bd) UPA_print_wnd(DEC_LIST, rep);
    else UPA_print_man(DEC_LIST, rep);
    return 1;
}

// The suite's TEMP decoders take the kinds of their form only.
int decode_temp(const char* data, int type, UPA_report* rep, Form form)
{
    if (type < 0 || type > UPA_EEDD || form_of(static_cast<Kind>(type)) != form) return 0;
    return decode_into_record(static_cast<Kind>(type), data, rep);
}

}  // namespace

}  // namespace ua

int UPA_decode_TTAA(const char* data, int type, UPA_report* rep)
{
    return ua::decode_temp(data, type, rep, ua::Form::temp_ac);
}

int UPA_decode_TTBB(const char* data, int type, UPA_report* rep)
{
    return ua::decode_temp(data, type, rep, ua::Form::temp_bd);
}

int UPA_decode_PPAA(const char* data, int, UPA_report* rep)
{
    return ua::decode_into_record(ua::Kind::PPAA, data, rep);
}

// Parts B and D and the mobile parts; any other kind is taken for PPBB.
int UPA_decode_PPBB(const char* data, int type, UPA_report* rep)
{
    const bool own = type == UPA_PPDD || type == UPA_EEBB || type == UPA_EEDD;
    return ua::decode_into_record(own ? static_cast<ua::Kind>(type) : ua::Kind::PPBB, data, rep);
}

// Each kind to the decoder of its form.
int UPA_decode_part(const char* data, int type, UPA_report* rep)
{
    if (type < 0 || type > UPA_EEDD) return -1;
    return ua::decode_into_record(static_cast<ua::Kind>(type), data, rep);
}
