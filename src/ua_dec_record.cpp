// What every part gives the suite's station record before its levels: the
// station's identifier and the time check of the suite's decoders.
#include "ua_dec_record.h"

#include <cstdlib>
#include <cstring>

namespace ua {

namespace {

constexpr M_type REJECT = M_OUT3 & M_SUB_C;

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

void record_part(const DecodedPart& part, UPA_report* rep, const RecordOptions& options)
{
    if (legacy_kind(part.kind) == UPA_NO_KIND) return;  // the record knows no PILOT part C
    switch (form_of(part.kind)) {
    case Form::temp_ac: record_temp_ac(part, rep, options); break;
    case Form::temp_bd: record_temp_bd(part, rep, options); break;
    case Form::pilot_ac: record_pilot_a(part, rep, options); break;
    case Form::pilot_bd: record_pilot_bd(part, rep, options); break;
    }
}

}  // namespace ua

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
