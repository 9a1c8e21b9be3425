// What the functions of the conversion run share: the output form, the
// station slots, the parts gathered so far and the run's counts. It lives in
// one object of the driver, the suite's entry points being plain functions.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ua_sounding.h"
#include "vokcty.h"
#include "vok.h"
#include "vokupa.h"

namespace ua {

// The masks of the run's messages.
inline constexpr M_type DRV_ERROR = M_WARN;                  // errors, warnings, the run's account
inline constexpr M_type DRV_MESS = M_MESS;                   // progress
inline constexpr M_type DRV_SAVE = M_OUT1;
inline constexpr M_type DRV_DATE = M_OUT2;
inline constexpr M_type DRV_STATION = M_OUT3 & M_SUB_A;      // each station written
inline constexpr M_type DRV_UNKNOWN = M_OUT3 & M_SUB_C;      // a station not in the table
inline constexpr M_type DRV_REPORT = M_OUT4 & M_SUB_A;       // a station's record
inline constexpr M_type DRV_TRACE = M_DEBUG & M_SUB_A;       // each part and what became of it

// How a form is written: through the suite's record (UPA_write), or from
// the soundings themselves.
enum class Target : std::uint8_t { record, csv, cf };

struct OutputForm {
    std::string_view word;  // the form word of "output" and "out_file"
    int type;               // the suite's file type (0 for the forms it does not know)
    const char* conv;       // the name convention of the form
    const char* label;      // for messages
    Target target;
};

struct Run {
    const OutputForm* form = nullptr;
    int file_mode = 0;  // 1 created, 2 appended to
    int cvt_fd = 0;     // handle of a record form's file
    std::FILE* csv = nullptr;
    std::string out_name;  // the output file, for messages
    std::string in_name;   // the input file chosen first
    std::vector<std::string> inputs;  // every input file read, for the CF form's source
    std::vector<std::string> ids;  // identifier filter; empty: every station
    std::optional<SoundingSet> parts;
    std::vector<Sounding> soundings;  // parts.build(), while no part came since
    bool built = false;
    int counter = 0;  // record number of the next report written
    int files_read = 0;
    long filtered = 0;  // parts of stations the identifier filter left out
    int stations_written = 0;
    int soundings_written = 0;  // the forms of one profile a sounding; 0 in the others
    // The kept copies decoded, those read only in part and the first few
    // of them, for the run's account.
    long decoded = 0;
    long cut = 0;
    std::vector<std::string> cut_names;
    int write_failures = 0;
};

Run& run();
// The output forms and the one chosen (text unless "output" or "out_file"
// says otherwise).
const OutputForm& default_form();
// The window of the decode time set by DATE_set_datim.
DecodeWindow current_window();
// The record options of the chosen form.
RecordOptions record_options();
// Every station with data written to the output file, in the table's order.
void save_stations();
// Closes the output file; false when the close failed.
bool close_output();

}  // namespace ua
