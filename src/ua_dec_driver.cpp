// The conversion run: the decode window, the input file and its date, the
// station table with one record slot per station, the output file, every
// part of every input file gathered by station and observation time, and
// every station that received data written in the station table's order.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "ua_dec_reader.h"
#include "ua_dec_run.h"
#include "vok.h"
#include "vokresrc.h"

const int UPA_res_key[] = {
    RES_help,       RES_batch,       RES_message,    RES_file_path,  RES_data_path,
    RES_con_path,   RES_grid_path,   RES_raw_path,   RES_image_path, RES_watch_path,
    RES_text_path,  RES_model_path,  RES_sat_path,   RES_city_file,  RES_stat_prior,
    RES_input,      RES_output,      RES_name_conv,  RES_in_file,    RES_out_file,
    RES_file_param, RES_current,     RES_hour,       RES_num_hour,   RES_decode_hour,
    RES_identifier, RES_parameter,   RES_null};
const int UPA_res_pos[] = {RES_filenames, RES_null};

namespace ua {

namespace {

// The decode window of a run before the "parameter" resource narrows it,
// and the widest window it may set, a month either side: a part gives only
// its day of the month.
constexpr int RANGE_PRE = -120;
constexpr int RANGE_POST = 120;
constexpr int RANGE_LIMIT = 44640;


Run the_run;

}  // namespace

Run& run()
{
    return the_run;
}

DecodeWindow current_window()
{
    Date d{};
    DATE_get_datim(&d);
    DecodeWindow w;
    w.base = DATE_num_sec(&d);
    DATE_get_window(&w.begin, &w.end);
    return w;
}

namespace {

bool selected(const char* id)
{
    const auto& ids = run().ids;
    if (ids.empty()) return true;
    return std::any_of(ids.begin(), ids.end(), [id](const std::string& s) { return stricmp(s.c_str(), id) == 0; });
}

// The slot of a station missing from the table, added now: a WMO block and
// station number (five characters beginning with a digit, the form the
// table knows as a WMO number) under the identifier made from it, anything
// else (a ship's call sign, which may begin with a digit) under itself.
// Null when even that fails.
UPA_report* add_station(const std::string& id)
{
    MESS_print(DRV_UNKNOWN, "Station not in database: %s\n", id.c_str());
    char newid[VOK_ID_LEN];
    if (id.size() == 5 && id[0] >= '0' && id[0] <= '9') wmo_to_id(newid, std::atoi(id.c_str()));
    else std::snprintf(newid, sizeof newid, "%s", id.c_str());
    CTY_make_entry_simple(newid, id.c_str());
    return static_cast<UPA_report*>(CTY_get_data(id.c_str()));
}

// The stations of one file that have a slot: a feed names the same few
// hundred stations over and over. Land stations are told by their number,
// the others by identifier. The table only grows while a file is read, so a
// station once given a slot keeps it.
struct SlotCache {
    std::vector<bool> numbers = std::vector<bool>(WMO_NUMBERS);
    std::unordered_set<std::string> ids;
};

// True when the station has a slot: found in the table or added to it now.
// With an identifier selection the station table holds only the stations
// it chose (by number, identifier, name or position), so a station found
// there is selected; one missing from the table is taken when its
// identifier is one of the values. False for a part not taken.
bool station_slot(std::string_view id, SlotCache& known)
{
    const int number = wmo_number(id);
    if (number >= 0 && known.numbers[static_cast<std::size_t>(number)]) return true;
    std::string key(id);
    if (number < 0 && known.ids.count(key)) return true;
    if (!CTY_get_data(key.c_str()) && (!selected(key.c_str()) || !add_station(key))) return false;
    if (number >= 0) known.numbers[static_cast<std::size_t>(number)] = true;
    else known.ids.insert(std::move(key));
    return true;
}

// The soundings built from every part read so far, and the records of
// their stations filled from them.
void refresh_records()
{
    Run& r = run();
    if (!r.parts) return;
    r.soundings = r.parts->build();
    r.built = true;
    for (std::size_t i = 0; i < r.soundings.size();) {
        std::size_t j = i;
        std::vector<const Sounding*> group;
        while (j < r.soundings.size() && r.soundings[j].id == r.soundings[i].id) group.push_back(&r.soundings[j++]);
        const char* id = r.soundings[i].id.c_str();
        auto* slot = static_cast<UPA_report*>(CTY_get_data(id));
        const CTY_data* station = CTY_get_station(id);
        if (slot && station) {
            UPA_enter_func(station, slot);
            fill_record(group, slot, record_options());
            if (MESS_enabled(DRV_REPORT)) UPA_print_report(DRV_REPORT, slot);
        }
        i = j;
    }
}

// Every part of one open input file into the run's set.
bool read_parts(FILE* fp, const char* filename)
{
    Run& r = run();
    if (!r.parts) r.parts.emplace(current_window());
    BulletinReader reader(fp);
    PartView part;
    SlotCache known;
    while (reader.next(part)) {
        if (!station_slot(part.id, known)) {
            ++r.filtered;
            continue;
        }
        const PartFate fate = r.parts->add(part, filename);
        if (MESS_enabled(DRV_TRACE))
            MESS_print(DRV_TRACE, "%s:%llu: %s %.*s: %d\n", filename,
                       static_cast<unsigned long long>(part.offset), std::string(kind_name(part.kind)).c_str(),
                       static_cast<int>(part.id.size()), part.id.data(), static_cast<int>(fate));
        r.built = false;
    }
    return !reader.failed();
}

}  // namespace

}  // namespace ua

using namespace ua;

int UPA_decode_params()
{
    char** vals = nullptr;
    const int n = RES_getvals("parameter", &vals);
    int status = 0;
    for (int i = 0; i < n && status == 0; ++i) {
        const std::string_view v(vals[i]);
        int pre = RANGE_PRE;
        int post = RANGE_POST;
        // "range" alone, or "range=-60:30": minutes before and after.
        bool ok = v.size() >= 5 && strnicmp(vals[i], "range", 5) == 0;
        if (ok && v.size() > 5) {
            const char* p = vals[i] + 6;
            const char* end = vals[i] + v.size();
            ok = v[5] == '=' || v[5] == ':';
            auto r = std::from_chars(p, end, pre);
            ok = ok && r.ec == std::errc{} && r.ptr < end && *r.ptr == ':';
            if (ok) r = std::from_chars(r.ptr + 1 + (r.ptr[1] == '+'), end, post);
            ok = ok && r.ec == std::errc{} && r.ptr == end && pre <= post && pre >= -RANGE_LIMIT &&
                 post <= RANGE_LIMIT;
        }
        if (!ok) {
            MESS_print(DRV_ERROR, "UPA_decode_params: Parameter not understood: %s (the form is "
                       "range=PRE:POST, minutes before and after the decode time, PRE <= POST, "
                       "within -%d:%d)\n", vals[i], RANGE_LIMIT, RANGE_LIMIT);
            status = -1;
            break;
        }
        DATE_set_range(pre, post);
    }
    free_parsed_array(n, vals);
    return status;
}

int UPA_decode_file(const char* filename)
{
    if (!filename) filename = "";
    // An empty name is no file (a refused name is emptied): it must not
    // stand for standard input, which "-" names. A directory opens but
    // cannot be read.
    const bool stdin_named = std::strcmp(filename, "-") == 0;
    FILE* fp = nullptr;
    if (stdin_named) fp = stdin;
    else if (filename[0] && !FILE_is_stdio(filename) && !FILE_is_dir(filename)) fp = FILE_open(filename, "r");
    if (!fp) {
        MESS_print(DRV_ERROR, "UPA_decode_file: Unable to open file:%s\n", filename);
        return 0;
    }
    MESS_print(DRV_MESS, "Processing file: %s\n", filename);
    const bool read = read_parts(fp, filename);
    if (fp != stdin) FILE_close(fp, filename);
    if (!read) {
        MESS_print(DRV_ERROR, "UPA_decode_file: Unable to read file:%s\n", filename);
        return 0;
    }
    refresh_records();
    return 1;
}

int UPA_enter_func(const CTY_data* data, void* report)
{
    auto* rep = static_cast<UPA_report*>(report);
    if (!data || !rep) return 0;
    *rep = UPA_report{};
    UPA_initialize(rep);
    // A station without an identifier ("-") is known by the one its WMO
    // number gives.
    if (data->id[0] == '-') wmo_to_id(rep->id, data->wmo);
    else std::snprintf(rep->id, sizeof rep->id, "%s", data->id);
    rep->wmo = data->wmo;
    rep->lat = data->lat;
    rep->lon = data->lon;
    rep->elev = data->el;
    return 0;
}

namespace {

// The input convention, the input file and its date. A date without a year
// would name the output file and label its reports for 1980: the run stops.
void choose_input(char* filename, Date* file_date)
{
    const char* in_file = RES_get("in_file");
    // Without the input convention (FILE_set_name says so) a name given in
    // full still names the input; the output's convention is needed then.
    FILE_set_name(in_file && in_file[0] ? in_file : "upa_dat");
    FILE_save_name_conv();
    FILE_get_file_only("Enter the upper air filename: ", filename);
    run().in_name = filename;
    FILE_get_date(file_date);
    if (file_date->year != VOK_MISSING) return;
    // A current-time text that was refused named no file; its message said why.
    if (filename[0] == '\0') VOK_exit(UPA_EXIT_SETUP);
    MESS_print(DRV_ERROR, "UPA_decode_all: No date for the input file: %s\n", filename);
    MESS_print(DRV_ERROR, "UPA_decode_all: Give the decode date with -ho '#yyyymmddhh', or name the "
               "file as the upa_dat convention does\n");
    VOK_exit(UPA_EXIT_SETUP);
}

// The station table, one empty slot per station, restricted to the
// priority the "stat_prior" resource gives. Without it no report could be
// kept: the run stops before the output file is touched.
void load_stations()
{
    CTY_data_size(static_cast<int>(sizeof(UPA_report)));
    CTY_enter_func(UPA_enter_func);
    if (CTY_store("upa.cty", 1, nullptr, VOK_MISSING) > 0) return;
    MESS_print(DRV_ERROR, "UPA_decode_all: No station table: no report could be kept\n");
    VOK_exit(UPA_EXIT_SETUP);
}

// Header contents: the decode date and its label, the input file's date key.
UPA_info make_info(const Date& datim, const Date& file_date)
{
    UPA_info info{};
    info.date = datim;
    Date d = datim;
    DATE_make_label(&d, info.datim, static_cast<int>(sizeof info.datim));
    char key[64];
    std::snprintf(key, sizeof key, "%2.2d%2.2d%2.2d%2.2d", file_date.year, file_date.month, file_date.day,
                  file_date.hour);
    std::snprintf(info.file, sizeof info.file, "%.*s", static_cast<int>(sizeof info.file) - 1, key);
    info.cmdline = nullptr;
    return info;
}

// A new file gets its header; an appended one gives its header and the
// number of records it holds, after which the new records go. The forms
// written from soundings have no header of this kind.
void open_output(const Date& datim, const Date& file_date)
{
    Run& r = run();
    UPA_info info = make_info(datim, file_date);
    r.cvt_fd = UPA_out_file(&datim);
    if (r.form->target == Target::record) {
        if (r.file_mode == 2) {
            UPA_getinfo(r.cvt_fd, &info);
            const long held = UPA_num_records();
            r.counter = held > 0 ? static_cast<int>(held) : 0;
        } else if (UPA_putinfo(r.cvt_fd, &info) != 0) {
            MESS_print(DRV_ERROR, "UPA_decode_all: Unable to write the header of %s\n", r.out_name.c_str());
            ++r.write_failures;
        }
    }
    MESS_print(DRV_DATE, "DATE: ");
    MESS_print(DRV_MESS, "%s\n", info.datim);
}

void read_identifiers()
{
    auto& ids = run().ids;
    ids.clear();
    const char* text = RES_get("identifier");
    if (!text) {
        MESS_print(DRV_MESS, "Converting data...\n");
        return;
    }
    MESS_print(DRV_MESS, "Searching for: %s...\n", text);
    char** vals = nullptr;
    const int n = RES_getvals("identifier", &vals);
    ids.assign(vals, vals + n);
    free_parsed_array(n, vals);
    // "all", as for the station table, selects every station.
    if (ids.size() == 1 && stricmp(ids[0].c_str(), "all") == 0) ids.clear();
}

void decode_files(const char* filename, const Date& file_date)
{
    FILE_restore_name_conv();
    FILE_set_filename(filename);
    FILE_first(&file_date);
    char name[VOK_NAME_LEN];
    while (FILE_get_next(name)) {
        if (!UPA_decode_file(name)) continue;
        ++run().files_read;
        run().inputs.emplace_back(name);
    }
}

std::string named_parts(const std::vector<std::string>& names, long count)
{
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : ", ") + n;
    if (count > static_cast<long>(names.size())) s += ", ...";
    return s;
}

// The run's account on the standard error stream (batch runs too, unless
// the message level is lowered), and when nothing was decoded, why.
int summary()
{
    const Run& r = run();
    SetStats st;
    if (r.parts) st = r.parts->stats();
    const long decoded = r.decoded, cut = r.cut;
    const std::vector<std::string>& cut_names = r.cut_names;
    MESS_print(DRV_ERROR, "Input files read: %d; parts read: %ld, decoded: %ld (later copies of a part: %ld, "
               "NIL: %ld)\n", r.files_read, st.parts + r.filtered, decoded, st.replaced, st.nil);
    MESS_print(DRV_ERROR, "Parts refused: outside the decode window: %ld; malformed: %ld%s%s%s; not "
               "selected: %ld\n", st.outside_window, st.malformed, st.malformed ? " (" : "",
               named_parts(st.malformed_ids, st.malformed).c_str(), st.malformed ? ")" : "", r.filtered);
    if (cut > 0)
        MESS_print(DRV_ERROR, "Parts read only in part (a group that does not read): %ld (%s)\n", cut,
                   named_parts(cut_names, cut).c_str());
    if (r.soundings_written > r.stations_written)
        MESS_print(DRV_ERROR, "Stations written: %d (%d soundings) to %s\n", r.stations_written,
                   r.soundings_written, r.out_name.c_str());
    else
        MESS_print(DRV_ERROR, "Stations written: %d to %s\n", r.stations_written, r.out_name.c_str());
    if (r.files_read == 0) {
        MESS_print(DRV_ERROR, "UPA_decode_all: No input file could be read\n");
        return UPA_EXIT_NO_INPUT;
    }
    if (decoded > 0) return UPA_EXIT_OK;
    const char* why = st.parts + r.filtered == 0 ? "the input holds no TEMP or PILOT part"
                      : st.parts == 0           ? "no part is of a station the identifier selection names"
                      : st.kept == 0 && st.outside_window > 0 ? "no part lies in the decode window"
                                                              : "no part holds data";
    MESS_print(DRV_ERROR, "UPA_decode_all: Nothing was decoded: %s\n", why);
    return UPA_EXIT_NOTHING;
}

}  // namespace

int UPA_decode_all()
{
    Run& r = run();
    DATE_set_range(RANGE_PRE, RANGE_POST);
    if (UPA_decode_params() != 0) return UPA_EXIT_SETUP;
    char filename[VOK_NAME_LEN] = "";
    Date file_date{};
    choose_input(filename, &file_date);
    DATE_set_datim(&file_date);
    Date datim{};
    DATE_get_datim(&datim);
    FILE_reset_time();
    load_stations();
    open_output(datim, file_date);
    read_identifiers();
    r.parts.emplace(current_window());
    decode_files(filename, file_date);
    save_stations();
    r.ids.clear();
    if (!close_output()) ++r.write_failures;
    if (r.write_failures > 0) {
        MESS_print(DRV_ERROR, "UPA_decode_all: %s is incomplete: writing it failed\n", r.out_name.c_str());
        summary();
        return UPA_EXIT_WRITE;
    }
    return summary();
}
