// The suite's station record (UPA_report) filled from decoded parts: what
// the suite's decoders UPA_decode_TTAA, UPA_decode_TTBB, UPA_decode_PPAA and
// UPA_decode_PPBB store, with their merge rules, caps and units.
#pragma once

#include "ua_dec_part.h"
#include "vokupa.h"

namespace ua {

struct RecordOptions {
    // A second surface, tropopause or maximum-wind group of a station goes
    // to the overflow row (24), as the suite's decoders do. The converted
    // files leave it out: the row never holds a pressure, and the netCDF
    // form would write its values as a level without one.
    bool overflow_row = true;
    // PILOT altitudes in the wind rows. The record keeps wind heights in
    // feet: by default as the suite's decoders store them (a 9 or 1 group's
    // figures as thousands of feet, so the text form writes the figures as
    // they came), else as the altitude in metres in true feet (metres /
    // 0.3048), from which the XML and netCDF writers give metres again.
    bool wind_heights_in_metres = false;
};

// The part's identifier into an empty record: `id`, and `wmo` (the number
// of a land station, 99999 for ships and mobile stations). The suite's
// decoders store it also for a part they refuse.
void record_identity(const DecodedPart& part, UPA_report* rep);

// The suite's time check of a part: its hour against the decode window by
// DATE_chk_range, the day not being looked at. A part without a date group
// fails. A part that fails is reported as the suite's decoders report it:
// "Bad %s date for %s: %4.4d\n" (mask M_OUT3 & M_SUB_C) with the kind, the
// identifier group and the hour times 100 (-1 when there is none).
bool record_time_ok(const DecodedPart& part);

// What the forms store alike. The hour of a part as the record's time
// (HHMM); ships and mobile stations: their area, and the position the part
// gives.
void record_time(const DecodedPart& part, UPA_report* rep);
void record_platform(const DecodedPart& part, UPA_report* rep);
// A level's wind as the record keeps it: degrees, and knots.
float record_direction(const Level& lv);
float record_speed(const Level& lv);
// A reported pressure (tenths of hPa) as the record keeps it: whole hPa
// from parts A and B, tenths of hPa from parts C and D.
float record_pressure(const DecodedPart& part, int p10);
// The row of man of a standard level's pressure (tenths of hPa), -1 for
// none.
int standard_slot(int p10);

// What the suite's decoder of the part's form stores (the time check is the
// caller's). Parts the suite does not decode (PPCC) store nothing. A full
// significant-level or wind list ends the part, as in the suite.
void record_temp_ac(const DecodedPart& part, UPA_report* rep, const RecordOptions& options);
void record_temp_bd(const DecodedPart& part, UPA_report* rep, const RecordOptions& options);
void record_pilot_a(const DecodedPart& part, UPA_report* rep, const RecordOptions& options);
void record_pilot_bd(const DecodedPart& part, UPA_report* rep, const RecordOptions& options);
// By the part's form.
void record_part(const DecodedPart& part, UPA_report* rep, const RecordOptions& options);

}  // namespace ua
