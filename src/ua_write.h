// The forms written from soundings rather than from the suite's record:
// CSV (one row per level) and the CF-1.8 profile netCDF form.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "ua_sounding.h"

namespace ua {

// The first line of the CSV form.
inline constexpr const char* CSV_HEADER =
    "station,wmo,name,lat,lon,elevation_m,time,launch_time,level_type,pressure_hPa,height_m,"
    "temperature_C,dewpoint_C,wind_direction_deg,wind_speed_mps";

// One row per level of every sounding, in the order given, after the header
// line when `header` is set (a new file; an appended one has it already).
// RFC 4180 quoting; an empty field is a missing value. False when a write
// failed.
bool write_csv(std::FILE* out, std::span<const Sounding> soundings, bool header = true);

// What the CF form says of the run.
struct CfInfo {
    std::int64_t decode_time = 0;  // seconds since 1970
    std::string history;           // the command line, or a default text
    std::string source;            // the input files
};

// The CF-1.8 profile file: one profile per sounding, contiguous ragged
// arrays. Appending adds profiles to a file of this form. False, with the
// reason in *error, when the file cannot be written (nothing is left half
// written: an appended file stays as it was).
bool write_cf(const char* path, std::span<const Sounding> soundings, const CfInfo& info,
              bool append, std::string* error);

// A CF profile file of this program that reads back whole, as appending
// needs it; false with the reason in *why.
bool cf_file_of_ours(const char* path, std::string* why = nullptr);

}  // namespace ua
