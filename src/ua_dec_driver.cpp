// The conversion driver.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <sys/stat.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "vok.h"
#include "vokresrc.h"
#include "vokupa.h"

// ================================================================ conversion driver
// The run from the resources to the closed output file: the decode window,
// the input file and its date, the station table with one report slot per
// station, the output file, every report of every input file merged into
// its station's slot, and every station that received data written in the
// station table's order.

const int UPA_res_key[] = {
    RES_help,       RES_batch,       RES_message,    RES_file_path,  RES_data_path,
    RES_con_path,   RES_grid_path,   RES_raw_path,   RES_image_path, RES_watch_path,
    RES_text_path,  RES_model_path,  RES_sat_path,   RES_city_file,  RES_stat_prior,
    RES_input,      RES_output,      RES_name_conv,  RES_in_file,    RES_out_file,
    RES_file_param, RES_current,     RES_hour,       RES_num_hour,   RES_decode_hour,
    RES_identifier, RES_parameter,   RES_null};
const int UPA_res_pos[] = {RES_filenames, RES_null};

namespace {

constexpr M_type DRV_ERROR = M_WARN;
constexpr M_type DRV_MESS = M_MESS;
constexpr M_type DRV_SAVE = M_OUT1;
constexpr M_type DRV_DATE = M_OUT2;
constexpr M_type DRV_STATION = M_OUT3 & M_SUB_A;
constexpr M_type DRV_UNKNOWN = M_OUT3 & M_SUB_C;
constexpr M_type DRV_REPORT = M_OUT4 & M_SUB_A;

// The decode window of a run before the "parameter" resource narrows it.
constexpr int RANGE_PRE = -120;
constexpr int RANGE_POST = 120;

// Output forms by the words of "output" and "out_file": type code and the
// name convention of the form.
struct OutForm {
    std::string_view word;
    int type;
    const char* conv;
    const char* label;
};
constexpr OutForm out_forms[] = {
    {"vok", UPA_FILE_VOKUPAX, "upa_cvt_vok", "text"},
    {"xml", UPA_FILE_XML, "upa_cvt_xml", "XML"},
    {"cdf", UPA_FILE_CDF, "upa_cvt_cdf", "netCDF"},
    {"unisys", UPA_FILE_FIXED, "upa_cvt_unisys", "fixed-record"},
};

int file_type = UPA_FILE_VOKUPAX;  // output form
int file_mode = 0;                 // 1 created, 2 appended to
int cvt_fd = 0;                    // handle of the output file
std::vector<std::string> ids;      // identifier filter; empty: every station
std::string out_name;              // the output file, for messages
std::string in_name;               // the input file chosen first

// Outcome of the run, for its exit status.
int counter = 0;           // record number of the next report written
int files_read = 0;        // input files read to their end
long reports_read = 0;     // report parts the reader gave
int stations_written = 0;
int write_failures = 0;

const char* form_label(int type)
{
    for (const OutForm& f : out_forms)
        if (f.type == type) return f.label;
    return "upper-air";
}

bool same_word(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           strnicmp(a.data(), b.data(), static_cast<int>(a.size())) == 0;
}

// The "output" values: a form word chooses the form and its convention;
// the last one recognised wins.
void choose_output_form()
{
    char** vals = nullptr;
    const int n = RES_getvals("output", &vals);
    for (int i = 0; i < n; ++i) {
        for (const OutForm& f : out_forms) {
            if (!same_word(vals[i], f.word)) continue;
            file_type = f.type;
            FILE_set_name(f.conv);
        }
    }
    free_parsed_array(n, vals);
}

// One "out_file" value: a form word alone ("cdf") chooses the form and its
// convention, a form word, a ":" or "=" and a name ("xml:upper.xml") the
// form and that name; any other value is the name (or template) itself and
// keeps the form. A name that merely begins with a form word ("xmlout.xml")
// is a name. False when the name is refused.
bool choose_out_file(const char* value)
{
    const std::string_view v(value);
    for (const OutForm& f : out_forms) {
        if (v.size() < f.word.size() || !same_word(v.substr(0, f.word.size()), f.word)) continue;
        const std::string_view rest = v.substr(f.word.size());
        if (!rest.empty() && rest[0] != ':' && rest[0] != '=') continue;
        file_type = f.type;
        if (rest.size() <= 1) return FILE_set_name(f.conv) != -1;
        return FILE_set_name(std::string(rest.substr(1)).c_str()) != -1;
    }
    return FILE_set_name(value) != -1;
}

bool choose_output()
{
    if (FILE_set_name("upa_cvt") == -1) return false;
    choose_output_form();
    char** vals = nullptr;
    const int n = RES_getvals("out_file", &vals);
    bool ok = true;
    for (int i = 0; i < n; ++i) ok = choose_out_file(vals[i]) && ok;
    free_parsed_array(n, vals);
    return ok;
}

// A signed number of minutes at *p; *p moves past it. False, with the value
// left alone, when there is none or it does not fit an int.
bool read_minutes(const char** p, int* value)
{
    const char* s = *p;
    if (*s == '+') ++s;
    int v = 0;
    const auto r = std::from_chars(s, s + std::strlen(s), v);
    if (r.ec != std::errc{}) return false;
    *value = v;
    *p = r.ptr;
    return true;
}

// True when two names are one existing file (also through links).
bool same_file(const char* a, const char* b)
{
    struct stat sa;
    struct stat sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The output file cannot be made: the run ends before anything is read.
[[noreturn]] void output_refused(const char* why, const char* name)
{
    MESS_print(DRV_ERROR, "UPA_out_file: %s: %s\n", why, name);
    VOK_exit(UPA_EXIT_OUTPUT);
}

}  // namespace

int UPA_decode_params()
{
    char** vals = nullptr;
    const int n = RES_getvals("parameter", &vals);
    for (int i = 0; i < n; ++i) {
        if (strnicmp(vals[i], "range", 5) != 0) continue;
        int pre = RANGE_PRE;
        int post = RANGE_POST;
        // "range=-60:30": the numbers start after "range" and one separator;
        // what can be read replaces the default.
        if (std::strlen(vals[i]) > 6) {
            const char* p = vals[i] + 6;
            if (read_minutes(&p, &pre) && *p == ':') {
                ++p;
                read_minutes(&p, &post);
            }
        }
        DATE_set_range(pre, post);
    }
    free_parsed_array(n, vals);
    return 0;
}

int UPA_out_file(const Date* date)
{
    char outfile[VOK_NAME_LEN] = "";
    if (!choose_output() || FILE_set_date(date, outfile) == -1 || outfile[0] == '\0') {
        MESS_print(DRV_ERROR, "UPA_out_file: Output file name refused\n");
        VOK_exit(UPA_EXIT_OUTPUT);
    }
    out_name = outfile;
    const bool cdf = file_type == UPA_FILE_CDF;
    if (cdf && FILE_is_stdio(outfile))
        output_refused("A netCDF file cannot be written to standard output", outfile);
    if (!FILE_is_stdio(outfile) && FILE_is_dir(outfile))
        output_refused("Output file is a directory", outfile);
    // Overwriting the raw file being converted would destroy it unread.
    if (!FILE_is_stdio(outfile) && same_file(outfile, in_name.c_str()))
        output_refused("Output file is the input file", outfile);
    file_mode = FILE_overwrite(outfile, 2);
    int fd = -1;
    if (file_mode == 1) {
        MESS_print(DRV_MESS, "Creating output file: %s\n", outfile);
        // Every form makes the missing directories of its name, as the
        // stream forms do when they open.
        if (cdf) {
            char dir[VOK_NAME_LEN];
            std::snprintf(dir, sizeof dir, "%s", outfile);
            FILE_make_dir(dir, 1);
        }
        fd = UPA_open(outfile, 1, &file_type);
        if (fd == -1) output_refused("Unable to create output file", outfile);
    } else if (file_mode == 2) {
        MESS_print(DRV_MESS, "Appending to output file: %s\n", outfile);
        fd = UPA_open(outfile, 2, &file_type);
        if (fd == -1) {
            MESS_print(DRV_ERROR, "UPA_out_file: Unable to append to output file: %s (no %s file of "
                       "this program, or damaged)\n", outfile, form_label(file_type));
            VOK_exit(UPA_EXIT_OUTPUT);
        }
    } else {
        MESS_print(DRV_ERROR, "UPA_out_file: Unable to overwrite converted data file\n");
        MESS_print(DRV_ERROR, "UPA_out_file: %s is kept (-pf over overwrites it, -pf app appends to it)\n",
                   outfile);
        VOK_exit(UPA_EXIT_OK);
    }
    return fd;
}

namespace {

bool selected(const char* id)
{
    if (ids.empty()) return true;
    return std::any_of(ids.begin(), ids.end(),
                       [id](const std::string& s) { return stricmp(s.c_str(), id) == 0; });
}

// The slot of a station missing from the table, added now: a WMO block and
// station number (five characters beginning with a digit, the form the
// table knows as a WMO number) under the identifier made from it, anything
// else (a ship's call sign, which may begin with a digit) under itself.
// Null when even that fails.
UPA_report* add_station(const char* id)
{
    MESS_print(DRV_UNKNOWN, "Station not in database: %s\n", id);
    char newid[VOK_ID_LEN];
    if (std::strlen(id) == 5 && id[0] >= '0' && id[0] <= '9') wmo_to_id(newid, std::atoi(id));
    else std::snprintf(newid, sizeof newid, "%s", id);
    CTY_make_entry_simple(newid, id);
    return static_cast<UPA_report*>(CTY_get_data(id));
}

// Slots already found in one file by the identifier its reports give: a
// feed names the same few hundred stations over and over, and the station
// table's look-up compares keys along a chain for each. The table only
// grows while a file is read, so a slot once found stays the station's.
struct IdHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const
    {
        std::uint64_t h = 14695981039346656037ull;  // FNV-1a: identifiers are a few characters
        for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        return static_cast<std::size_t>(h);
    }
};
using SlotCache = std::unordered_map<std::string, UPA_report*, IdHash, std::equal_to<>>;

// With an identifier selection the station table holds only the stations
// it chose (by number, identifier, name or position), so a station found
// there is selected; one missing from the table is taken when its
// identifier is one of the values. Null for a report not taken.
UPA_report* station_slot(const char* id, SlotCache& known)
{
    if (const auto it = known.find(std::string_view(id)); it != known.end()) return it->second;
    auto* slot = static_cast<UPA_report*>(CTY_get_data(id));
    if (!slot && (!selected(id) || !(slot = add_station(id)))) return nullptr;
    known.emplace(id, slot);
    return slot;
}

void decode_report(const char* data, const char* id, int kind, SlotCache& known)
{
    UPA_report* slot = station_slot(id, known);
    if (!slot) return;
    UPA_decode_part(data, kind, slot);
    if (MESS_enabled(DRV_REPORT)) UPA_print_report(DRV_REPORT, slot);
}

}  // namespace

int UPA_decode_file(const char* filename)
{
    if (!filename) filename = "";
    // An empty name is no file (a refused name is emptied): it must not
    // stand for standard input. A directory opens but cannot be read.
    FILE* fp = filename[0] && !FILE_is_dir(filename) ? FILE_open(filename, "r") : nullptr;
    if (!fp) {
        MESS_print(DRV_ERROR, "UPA_decode_file: Unable to open file:%s\n", filename);
        return 0;
    }
    MESS_print(DRV_MESS, "Processing file: %s\n", filename);
    // A large stream buffer, which lives until the file is closed below;
    // standard input, which outlives this call, keeps its own.
    std::vector<char> buffer;
    if (fp != stdin) {
        buffer.resize(UPA_INPUT_BUFFER);
        std::setvbuf(fp, buffer.data(), _IOFBF, buffer.size());
    }
    char data[UPA_RAW_DATA_LEN];
    char id[UPA_RAW_ID_LEN];
    int kind = UPA_NO_KIND;
    // To the reader's end: the last report of a file without a final
    // newline comes with the call that meets the end of the file.
    bool read_error = false;
    SlotCache known;
    for (;;) {
        const int r = UPA_read_raw(fp, data, id, &kind);
        if (r == 1) {
            ++reports_read;
            decode_report(data, id, kind, known);
        }
        if (std::ferror(fp)) {
            read_error = true;
            break;
        }
        if (r == -1) break;
    }
    FILE_close(fp, filename);
    if (read_error) {
        MESS_print(DRV_ERROR, "UPA_decode_file: Unable to read file:%s\n", filename);
        return 0;
    }
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

int UPA_save_report(int fd, UPA_report* report)
{
    // Once a write failed (a full disk) the file cannot be completed: the
    // stations left are not tried one by one.
    if (write_failures > 0) return -1;
    // The record number is the driver's: the text and XML writers advance
    // the number they are given, the netCDF writer takes it as the index.
    int index = counter++;
    if (UPA_write(fd, report, 1, &index) != 0) {
        ++write_failures;
        MESS_print(DRV_ERROR, "UPA_save_report: Writing to %s failed (at station %s)\n",
                   out_name.c_str(), report->id);
        return -1;
    }
    ++stations_written;
    return 1;
}

namespace {

// The input convention, the input file and its date. A date without a year
// would name the output file and label its reports for 1980: the run stops.
void choose_input(char* filename, Date* file_date)
{
    const char* in_file = RES_get("in_file");
    FILE_set_name(in_file && in_file[0] ? in_file : "upa_dat");
    FILE_save_name_conv();
    FILE_get_file_only("Enter the upper air filename: ", filename);
    in_name = filename;
    FILE_get_date(file_date);
    if (file_date->year != VOK_MISSING) return;
    MESS_print(DRV_ERROR, "UPA_decode_all: No date for the input file: %s\n", filename);
    MESS_print(DRV_ERROR, "UPA_decode_all: Give the decode date with -ho '#yyyymmddhh', or name the "
               "file as the upa_dat convention does\n");
    VOK_exit(UPA_EXIT_SETUP);
}

// The station table, one empty report per station. Without it no report
// could be kept: the run stops before the output file is touched.
void load_stations()
{
    CTY_data_size(static_cast<int>(sizeof(UPA_report)));
    CTY_enter_func(UPA_enter_func);
    if (CTY_store("upa.cty", 1, nullptr, 10) > 0) return;
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
    std::snprintf(key, sizeof key, "%2.2d%2.2d%2.2d%2.2d", file_date.year, file_date.month,
                  file_date.day, file_date.hour);
    std::snprintf(info.file, sizeof info.file, "%.*s", static_cast<int>(sizeof info.file) - 1, key);
    info.cmdline = nullptr;
    return info;
}

// A new file gets its header; an appended one gives its header and the
// number of records it holds, after which the new records go.
void open_output(const Date& datim, const Date& file_date)
{
    UPA_info info = make_info(datim, file_date);
    cvt_fd = UPA_out_file(&datim);
    if (file_mode == 2) {
        UPA_getinfo(cvt_fd, &info);
        const long held = UPA_num_records();
        counter = held > 0 ? static_cast<int>(held) : 0;
    } else if (UPA_putinfo(cvt_fd, &info) != 0) {
        MESS_print(DRV_ERROR, "UPA_decode_all: Unable to write the header of %s\n", out_name.c_str());
        ++write_failures;
    }
    MESS_print(DRV_DATE, "DATE: ");
    MESS_print(DRV_MESS, "%s\n", info.datim);
}

void read_identifiers()
{
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
    while (FILE_get_next(name))
        if (UPA_decode_file(name)) ++files_read;
    ids.clear();
}

void save_stations()
{
    MESS_print(DRV_SAVE, "Saving stations...\n");
    for (int i = 0;; ++i) {
        auto* rep = static_cast<UPA_report*>(CTY_next_data(i));
        if (!rep) break;
        if (rep->numman == 0 && rep->numsig == 0 && rep->numwnd == 0) continue;
        UPA_sort_report(rep);
        MESS_print(DRV_STATION, "STA: %5s TIME: %d WMO: %5.5d LAT: %7.2f LON: %7.2f\n", rep->id,
                   rep->time, rep->wmo, static_cast<double>(rep->lat), static_cast<double>(rep->lon));
        UPA_print_report(DRV_REPORT, rep);
        UPA_save_report(cvt_fd, rep);
    }
}

// The exit status from what the run achieved.
int run_status()
{
    if (write_failures > 0) {
        MESS_print(DRV_ERROR, "UPA_decode_all: %s is incomplete: writing it failed\n", out_name.c_str());
        return UPA_EXIT_WRITE;
    }
    MESS_print(DRV_MESS, "Reports read: %ld, stations written: %d\n", reports_read, stations_written);
    if (files_read == 0) {
        MESS_print(DRV_ERROR, "UPA_decode_all: No input file could be read\n");
        return UPA_EXIT_NO_INPUT;
    }
    return UPA_EXIT_OK;
}

}  // namespace

int UPA_decode_all()
{
    DATE_set_range(RANGE_PRE, RANGE_POST);
    UPA_decode_params();
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
    decode_files(filename, file_date);
    save_stations();
    if (UPA_close(cvt_fd) != 0) ++write_failures;
    return run_status();
}
