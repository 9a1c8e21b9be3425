// The lossless sounding: every level of every kept part of one station and
// observation time, and the set that gathers the parts of a run into
// soundings. The decode window tests the full observation date and time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ua_dec_part.h"
#include "ua_dec_reader.h"
#include "ua_dec_record.h"
#include "ua_units.h"

namespace ua {

// ---------------------------------------------------------------- window

// The decode time and its window, in seconds since 1970 (UTC).
struct DecodeWindow {
    std::int64_t base = 0;   // the decode time
    std::int64_t begin = 0;  // first second of the window
    std::int64_t end = 0;    // last second of the window (both included)
};

// Seconds since 1970 of a UTC date; the month may run outside 1..12 (it
// carries into the year).
std::int64_t utc_seconds(int year, int month, int day, int hour = 0, int minute = 0);
// Days in a month of a year (the month carried into the year as above).
int days_in_month(int year, int month);
// The time of day `day` at `hour` that lies nearest the decode time: in the
// decode time's month, the month before or the month after, among those
// that have the day (a part of day 31 for a decode time of 1 January 00 UTC
// is 31 December of the year before). nullopt for an impossible day or hour.
std::optional<std::int64_t> observation_time(const DecodeWindow& window, int day, int hour);
// UTC broken down: year, month, day, hour, minute.
struct UtcTime {
    int year, month, day, hour, minute;
};
UtcTime utc_time(std::int64_t seconds);

// ---------------------------------------------------------------- sounding

// A level of a sounding and the kind of the part it came from.
struct SoundingLevel : Level {
    Kind source = Kind::TTAA;
};

// Values in SI units and the units the output forms use, from the kept
// code figures; NaN when missing.
double pressure_hPa(const Level& level);
double height_m(const Level& level);  // geopotential height, or altitude for PILOT winds
double temperature_C(const Level& level);
double dew_point_C(const Level& level);
double wind_direction_deg(const Level& level);
double wind_speed_mps(const Level& level);  // knots x METRES_PER_SECOND_PER_KNOT

struct Sounding {
    // Station: the identifier the parts give (a land station's five-figure
    // WMO number, a ship's or mobile station's call sign), and what the
    // station table knows of it (the driver fills these).
    std::string id;
    std::int32_t wmo = VOK_MISSING;
    std::string name;
    Platform platform = Platform::land;
    float lat = VOK_MISSING_F;  // degrees; ships and mobile stations: as reported
    float lon = VOK_MISSING_F;
    float elevation = VOK_MISSING_F;  // metres
    std::int64_t time = 0;            // observation time, seconds since 1970
    std::optional<std::int64_t> launch_time;  // 31313 8GGgg
    std::optional<SondeInfo> sonde;
    std::string clouds;                        // 41414
    // Every level of every kept part, rows with a pressure by decreasing
    // pressure, then levels known only by altitude by increasing altitude.
    // A level that two parts give alike (type and pressure or altitude)
    // is one row holding what both give; where they disagree both rows stay.
    std::vector<SoundingLevel> levels;
    // The kept copy of each part, in the order the kept copies were read.
    std::vector<DecodedPart> parts;
};

// PILOT winds at the station's surface, whose altitude the parts do not
// give, at the station's elevation (metres, VOK_MISSING_F: left as they
// are); the levels put in their order again.
void place_surface(Sounding& s, float elevation);

// The station's record for the legacy forms, from its soundings in time
// order: every kept part stored as the suite's decoders store it, in the
// order the parts were read, a part of a later sounding taking the place of
// the same part of an earlier one. The record's identity (id, wmo,
// position) is left as the caller set it.
void fill_record(std::span<const Sounding* const> soundings, UPA_report* rep,
                 const RecordOptions& options);

// ---------------------------------------------------------------- the set

// What became of a part offered to the set.
enum class PartFate : std::uint8_t {
    kept,            // the first copy of its part
    replaced,        // a later copy: it took the place of the earlier one
    outside_window,  // its observation time lies outside the decode window
    malformed,       // no readable date group, or an impossible day or hour
    nil,             // a NIL part: it holds nothing and replaces nothing
};

struct SetStats {
    long parts = 0;           // offered
    long kept = 0;            // first copies
    long replaced = 0;        // later copies
    long outside_window = 0;
    long malformed = 0;
    long nil = 0;
    std::vector<std::string> malformed_ids;  // the first few identifiers (with their kind)
};

class SoundingSet {
public:
    explicit SoundingSet(DecodeWindow window);
    // Keeps the part's text when its time lies in the window; a later copy
    // of a part (same station, time and kind) replaces the earlier one whole.
    // `source` names the input in traces.
    PartFate add(const PartView& part, std::string_view source = {});
    // Every sounding: by identifier in the order each was first offered,
    // each identifier's soundings in time order. The kept texts are decoded
    // here, once each.
    std::vector<Sounding> build() const;
    const SetStats& stats() const { return stats_; }
    const DecodeWindow& window() const { return window_; }

private:
    // The kept copy of one part.
    struct Kept {
        Kind kind;
        std::string text;
        long sequence = 0;  // when the kept copy was read
    };
    // One station at one observation time: the kept copy of each kind, as
    // its index in kept_ (NONE: no copy of that kind).
    static constexpr std::int32_t NONE = -1;
    struct Entry {
        std::int64_t time;
        std::array<std::int32_t, NUM_KIND_CODES> part;
    };
    // One station: its identifier and its observation times, in the order
    // each was first offered.
    struct Station {
        std::string id;
        std::vector<Entry> times;
    };
    struct IdHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::size_t station(std::string_view id);
    Entry& entry(std::string_view id, std::int64_t time);

    DecodeWindow window_;
    SetStats stats_;
    long sequence_ = 0;
    // The observation time of each day and hour, worked out once: every part
    // of a run asks for one.
    std::array<std::int64_t, 32 * 24> times_{};
    std::vector<Station> stations_;  // in first-offered order
    // Where each station stands in stations_: land stations by their
    // number (NONE: not offered yet; the table is made with the first),
    // the others by identifier.
    std::vector<std::int32_t> by_number_;
    std::unordered_map<std::string, std::size_t, IdHash, std::equal_to<>> id_index_;
    std::vector<Kept> kept_;  // in the order the kinds were first kept
};

}  // namespace ua
