// What one report part holds, as plain values: the part kinds, the levels of
// a part in the code forms' own units, and the decoders that read a part's
// text into them. Nothing here keeps state between calls.
//
// Units: every value is kept as the code form gives it, so that nothing is
// rounded on the way in: pressures in tenths of hPa, heights in whole
// metres, temperatures in tenths of a degree, the dew-point depression as its
// code figure, winds in whole degrees and in the part's own speed unit.
// VOK_MISSING marks a value not reported.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vok.h"

namespace ua {

// Report part kinds. The first seventeen carry the numbers of the suite's
// int kinds (UPA_TTAA .. UPA_EEDD); PILOT part C, which the suite's kinds
// lack, comes after the suite's UNK (17).
enum class Kind : std::uint8_t {
    TTAA, TTBB, TTCC, TTDD, PPAA, PPBB, PPDD,
    UUAA, UUBB, UUCC, UUDD,
    IIAA, IIBB, IICC, IIDD, EEBB, EEDD,
    PPCC = 18,
};
inline constexpr int NUM_KIND_CODES = 19;

// "TTAA" ... "EEDD", "PPCC".
std::string_view kind_name(Kind kind);
// The suite's int kind (UPA_TTAA ...), or UPA_NO_KIND (99) for PPCC.
int legacy_kind(Kind kind);
// The kind of a part word, or nullopt.
std::optional<Kind> kind_of_word(std::string_view word);

// The four code forms: TEMP parts A and C (standard levels), TEMP parts B
// and D (significant levels), PILOT parts A and C (standard-level winds),
// PILOT parts B and D (winds by altitude or by pressure).
enum class Form : std::uint8_t { temp_ac, temp_bd, pilot_ac, pilot_bd };
Form form_of(Kind kind);
// Parts C and D report above 100 hPa: their pressures are in tenths of hPa.
bool upper_part(Kind kind);

enum class Platform : std::uint8_t { land, ship, mobile };
// UU parts are ship reports, II and EE parts mobile land stations; a TEMP
// part A or C whose hour group is above 50 is a ship report as well
// (DecodedPart::ship_hour).
Platform platform_of(Kind kind);

// Level types, in the order that rows at one pressure are listed.
enum class LevelType : std::uint8_t {
    surface,          // 99PPP of TEMP part A
    standard,         // a standard isobaric surface (TEMP and PILOT parts A and C)
    tropopause,       // 88PPP, every one reported
    max_wind,         // 77PPP / 66PPP, every one reported, with its wind shear
    sig_temperature,  // nnPPP TTTDD of parts B and D (00 is the surface)
    sig_wind,         // 21212 winds by pressure, PILOT winds by altitude
};
inline constexpr int NUM_LEVEL_TYPES = 6;
// "surface", "standard", "tropopause", "max_wind", "sig_temperature",
// "sig_wind".
std::string_view level_type_name(LevelType type);

// How a PILOT altitude group gives its altitude: units of 300 m (9 and 1
// groups) or of 500 m (8 groups); or the station's surface, which a solidus
// in the first place of the first altitude group stands for ("90/12": the
// surface, 300 m, 600 m), whose altitude the part does not give.
enum class AltitudeCode : std::uint8_t { none, units_300m, units_500m, surface };

// One level as the part reports it. A level has a pressure (p10), or, for
// PILOT winds by altitude, an altitude (z, alt set) and no pressure; z is
// VOK_MISSING for a wind whose altitude group leaves its altitude out.
struct Level {
    LevelType type = LevelType::standard;
    AltitudeCode alt = AltitudeCode::none;
    bool knots = false;             // spd and the shears in knots, else m/s
    std::int32_t p10 = VOK_MISSING;  // pressure, tenths of hPa
    std::int32_t z = VOK_MISSING;    // geopotential height (gpm), or altitude (m) when alt is set
    std::int16_t t10 = VOK_MISSING;  // air temperature, tenths of a degree C
    std::int16_t dd = VOK_MISSING;   // dew-point depression code DD (code table 0777, 0..99)
    std::int16_t dir = VOK_MISSING;  // wind direction, degrees (0..360)
    std::int16_t spd = VOK_MISSING;  // wind speed
    // Maximum wind: 4vbvbvava, the vector wind shear in the kilometre below
    // and above the level.
    std::int16_t shear_below = VOK_MISSING;
    std::int16_t shear_above = VOK_MISSING;
    // PILOT winds come in blocks, each announced by one group: a 44/55
    // section group (n winds from a standard level on) or a 9, 1 or 8
    // altitude group (a wind for each of its figures). The ordinal of the
    // level's block in its part, from 1; 0 for levels outside blocks.
    std::uint16_t block = 0;
    // Where the level stands in its part: the index (as Groups counts) of
    // the group that opens it, the announcing group of a block's winds.
    std::uint16_t group = 0;
    // The level's temperature group (TTTDD) stands in the part, right after
    // the group that opens it; its wind group (ddfff) stands wind_at groups
    // after that one, 0 when it does not stand there. A group of solidi
    // stands, a group left out does not: a record built from several parts
    // keeps an earlier part's values where a later part leaves it out.
    bool temp_group = false;
    std::uint8_t wind_at = 0;
    bool wind_group() const { return wind_at != 0; }
    // A wind group that the part's wind indicator (Id) does not announce,
    // where the groups show one all the same; the suite's decoders end the
    // part's levels at it.
    bool unannounced_wind = false;
};

// Depression in tenths of a degree from its code figure (0..50: tenths,
// 56..99: whole degrees plus 50, so 99 is 49 degrees), VOK_MISSING for none.
int depression10(int dd);
// Dew point in tenths of a degree, VOK_MISSING when t10 or dd is missing.
int dew_point10(const Level& level);

// Position of a ship or mobile station (99LaLaLa QcLoLoLoLo), tenths of a
// degree, north and east positive; for mobile land stations also their
// elevation group h0h0h0h0im as reported.
struct Position {
    std::int32_t lat10 = VOK_MISSING;
    std::int32_t lon10 = VOK_MISSING;
    std::int32_t h0 = VOK_MISSING;  // elevation figures
    std::int16_t im = VOK_MISSING;  // their unit indicator: 1-4 metres, 5-8 feet
    std::int32_t marsden = VOK_MISSING;  // MMMULaULo, as reported
};

// Section 31313: radiosonde and system (sr rara sasa), the launch time
// 8GGgg, and the sea temperature 9snTwTwTw where a ship gives it.
struct SondeInfo {
    std::int16_t sr = VOK_MISSING;
    std::int16_t rara = VOK_MISSING;
    std::int16_t sasa = VOK_MISSING;
    std::int16_t launch_hour = VOK_MISSING;
    std::int16_t launch_minute = VOK_MISSING;
    std::int16_t sea_t10 = VOK_MISSING;
};

// What became of a part.
enum class PartStatus : std::uint8_t {
    ok,         // read to its end (or to a section this program does not read)
    nil,        // "NIL": the part holds no data
    no_date,    // no readable date group YYGGId
    bad_date,   // a date group with an impossible day or hour
    truncated,  // a group that does not read ended the part early: `note` says where
};
std::string_view part_status_name(PartStatus status);

// Everything one part holds, in the order of the part.
struct DecodedPart {
    Kind kind = Kind::TTAA;
    PartStatus status = PartStatus::ok;
    std::string id;                // identifier group as read: station number or call sign
    int day = VOK_MISSING;         // day of the month, 1..31 (YY, less 50 for knots)
    int hour = VOK_MISSING;        // hour, 0..23
    bool knots = false;            // YY of 50 and more: speeds in knots
    int id_figure = VOK_MISSING;   // the date group's last figure (Id, or a4 / ...), VOK_MISSING for "/"
    bool ship_hour = false;        // TEMP A/C hour group above 50: a ship report
    std::optional<Position> position;
    std::optional<SondeInfo> sonde;
    std::string clouds;            // 41414 NhCLhCMCH, as reported
    std::vector<Level> levels;     // every level, in the order of the part
    // Where reading stopped early and why (status truncated): the first
    // group not read, its offset in the text and the reason, e.g.
    // "group 17 \"8551\" at 96: no level group".
    std::string note;
    int stop_offset = -1;
};

// The groups that open a part: call sign (ships and mobile stations), date
// group, station number (land stations). `next` is the index of the first
// group after them. The rules are those of the suite's decoders: a call
// sign has 4 to 10 characters, a station number at least 5, a date group is
// YYGGId with Id a figure or "/".
struct Heading {
    std::string id;
    int day = VOK_MISSING;
    int hour = VOK_MISSING;
    bool knots = false;
    int id_figure = VOK_MISSING;
    bool ship_hour = false;
    PartStatus status = PartStatus::ok;  // ok, nil, no_date or bad_date
    std::size_t next = 0;
};

class Groups;
Heading read_heading(Kind kind, const Groups& groups);
// The heading alone, from the part text: what the window needs to decide
// whether a part is kept, without reading its levels.
Heading read_heading(Kind kind, std::string_view text);

// 99LaLaLa QcLoLoLoLo and the groups that follow it (MMMULaULo; for mobile
// land stations h0h0h0h0im too), from group i on; i moves past what was
// read. nullopt (i unchanged) when no position group stands at i.
std::optional<Position> read_position(const Groups& groups, std::size_t& i, bool mobile);

// The decoders, one per code form, and the dispatch by kind. Each reads
// every section its form holds:
//  TEMP A/C: surface, standard levels, every tropopause, every maximum wind
//            with its wind-shear group, 31313;
//  TEMP B/D: significant temperature levels, 21212 winds by pressure,
//            31313, 41414;
//  PILOT A/C: standard-level winds (44/55 sections), maximum winds;
//  PILOT B/D: winds by altitude (9, 1 and 8 groups) and by pressure (21212).
DecodedPart decode_temp_ac(Kind kind, std::string_view text);
DecodedPart decode_temp_bd(Kind kind, std::string_view text);
DecodedPart decode_pilot_ac(Kind kind, std::string_view text);
DecodedPart decode_pilot_bd(Kind kind, std::string_view text);
DecodedPart decode_part(Kind kind, std::string_view text);

}  // namespace ua
