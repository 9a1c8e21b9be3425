// The output file of a conversion: its form and name, opening it, and the
// stations written to it in the station table's order, either through the
// suite's record (text, XML, netCDF, fixed records) or from the soundings
// themselves (CSV, CF).
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

#include <sys/stat.h>

#include "ua_dec_run.h"
#include "ua_write.h"
#include "vok.h"

namespace ua {

namespace {

constexpr std::array<OutputForm, 6> FORMS = {{
    {"vok", UPA_FILE_VOKUPAX, "upa_cvt_vok", "text", Target::record},
    {"xml", UPA_FILE_XML, "upa_cvt_xml", "XML", Target::record},
    {"cdf", UPA_FILE_CDF, "upa_cvt_cdf", "netCDF", Target::record},
    {"unisys", UPA_FILE_FIXED, "upa_cvt_unisys", "fixed-record", Target::record},
    {"csv", 0, "upa_cvt_csv", "CSV", Target::csv},
    {"cf", 0, "upa_cvt_cf", "CF netCDF", Target::cf},
}};

bool same_word(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strnicmp(a.data(), b.data(), static_cast<int>(a.size())) == 0;
}

const OutputForm* form_of_word(std::string_view word)
{
    for (const OutputForm& f : FORMS)
        if (same_word(word, f.word)) return &f;
    return nullptr;
}

std::string form_words()
{
    std::string s;
    for (const OutputForm& f : FORMS) s += (s.empty() ? "" : ", ") + std::string(f.word);
    return s;
}

[[noreturn]] void refuse(int status, const char* why, const std::string& name)
{
    MESS_print(DRV_ERROR, "UPA_out_file: %s: %s\n", why, name.c_str());
    VOK_exit(status);
}

// A name convention of a form that the name convention file lacks: the run
// cannot name its output (FILE_set_name said which file and type).
[[noreturn]] void no_convention()
{
    VOK_exit(UPA_EXIT_SETUP);
}

void use_convention(const char* conv)
{
    if (FILE_set_name(conv) == -1) no_convention();
}

// The "output" values: a form word chooses the form and its convention;
// the last one wins. A word that names no form is an error.
void choose_output_form()
{
    char** vals = nullptr;
    const int n = RES_getvals("output", &vals);
    std::string unknown;
    const OutputForm* chosen = nullptr;
    for (int i = 0; i < n; ++i) {
        const OutputForm* f = form_of_word(vals[i]);
        if (f) chosen = f;
        else if (unknown.empty()) unknown = vals[i];
    }
    free_parsed_array(n, vals);
    if (!unknown.empty()) {
        MESS_print(DRV_ERROR, "UPA_out_file: Unknown output form: %s (the forms are %s)\n", unknown.c_str(),
                   form_words().c_str());
        VOK_exit(UPA_EXIT_SETUP);
    }
    if (!chosen) return;
    run().form = chosen;
    use_convention(chosen->conv);
}

// One "out_file" value: a form word alone ("cdf") chooses the form and its
// convention, a form word, a ":" or "=" and a name ("xml:upper.xml") the
// form and that name; any other value is the name (or template) itself and
// keeps the form. A name that merely begins with a form word ("xmlout.xml")
// is a name. False when the name is refused.
bool choose_out_file(const char* value)
{
    const std::string_view v(value);
    for (const OutputForm& f : FORMS) {
        if (v.size() < f.word.size() || !same_word(v.substr(0, f.word.size()), f.word)) continue;
        const std::string_view rest = v.substr(f.word.size());
        if (!rest.empty() && rest[0] != ':' && rest[0] != '=') continue;
        run().form = &f;
        if (rest.size() <= 1) {
            use_convention(f.conv);
            return true;
        }
        return FILE_set_name(std::string(rest.substr(1)).c_str()) != -1;
    }
    return FILE_set_name(value) != -1;
}

bool choose_output()
{
    run().form = &default_form();
    use_convention("upa_cvt");
    choose_output_form();
    char** vals = nullptr;
    const int n = RES_getvals("out_file", &vals);
    bool ok = true;
    for (int i = 0; i < n; ++i) ok = choose_out_file(vals[i]) && ok;
    free_parsed_array(n, vals);
    return ok;
}

// True when two names are one existing file (also through links).
bool same_file(const char* a, const char* b)
{
    struct stat sa;
    struct stat sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void check_name(const std::string& name, const OutputForm& form)
{
    const bool stdio = FILE_is_stdio(name.c_str());
    if (stdio && form.target == Target::cf)
        refuse(UPA_EXIT_OUTPUT, "A netCDF file cannot be written to standard output", name);
    if (stdio && form.type == UPA_FILE_CDF)
        refuse(UPA_EXIT_OUTPUT, "A netCDF file cannot be written to standard output", name);
    if (!stdio && FILE_is_dir(name.c_str())) refuse(UPA_EXIT_OUTPUT, "Output file is a directory", name);
    // Overwriting the raw file being converted would destroy it unread.
    if (!stdio && same_file(name.c_str(), run().in_name.c_str()))
        refuse(UPA_EXIT_OUTPUT, "Output file is the input file", name);
}

// A CSV file to append to must be one of ours: it starts with the header.
bool csv_of_ours(const std::string& name)
{
    FILE* fp = FILE_open(name.c_str(), "r");
    if (!fp) return false;
    char line[256] = "";
    const bool ok = std::fgets(line, sizeof line, fp) &&
                    std::strncmp(line, CSV_HEADER, std::strlen(CSV_HEADER)) == 0;
    FILE_close(fp, name.c_str());
    return ok;
}

// The forms written from the soundings: the CSV file is opened now, the CF
// file is written whole when the stations are saved (a new one is made
// beside it and renamed over it), so only its place is tried now.
int open_sounding_form(const std::string& name)
{
    Run& r = run();
    const bool append = r.file_mode == 2;
    const bool ours = r.form->target == Target::csv ? FILE_is_stdio(name.c_str()) || csv_of_ours(name)
                                                    : cf_file_of_ours(name.c_str());
    if (append && !ours) {
        MESS_print(DRV_ERROR, "UPA_out_file: Unable to append to output file: %s (no %s file of this "
                   "program, or damaged)\n", name.c_str(), r.form->label);
        VOK_exit(UPA_EXIT_OUTPUT);
    }
    FILE* fp = nullptr;
    if (r.form->target == Target::csv) {
        fp = FILE_open(name.c_str(), append ? "a" : "w");
    } else if (!append) {
        fp = FILE_open(name.c_str(), "w");
    } else {
        return 0;
    }
    if (!fp) refuse(UPA_EXIT_OUTPUT, append ? "Unable to append to output file" : "Unable to create output file", name);
    if (r.form->target == Target::csv) {
        r.csv = fp;
        return fileno(fp);
    }
    FILE_close(fp, name.c_str());
    return 0;
}

}  // namespace

const OutputForm& default_form()
{
    return FORMS[0];
}

RecordOptions record_options()
{
    RecordOptions o;
    o.overflow_row = false;
    // The XML and netCDF forms give wind heights in metres: the record
    // holds them in true feet, which those writers turn back into metres.
    const int type = run().form ? run().form->type : UPA_FILE_VOKUPAX;
    o.wind_heights_in_metres = type == UPA_FILE_XML || type == UPA_FILE_CDF;
    return o;
}

}  // namespace ua

using namespace ua;

int UPA_out_file(const Date* date)
{
    Run& r = run();
    char outfile[VOK_NAME_LEN] = "";
    if (!choose_output() || FILE_set_date(date, outfile) == -1 || outfile[0] == '\0') {
        MESS_print(DRV_ERROR, "UPA_out_file: Output file name refused\n");
        VOK_exit(UPA_EXIT_OUTPUT);
    }
    r.out_name = outfile;
    check_name(r.out_name, *r.form);
    r.file_mode = FILE_overwrite(outfile, 2);
    if (r.file_mode == 1) {
        MESS_print(DRV_MESS, "Creating output file: %s\n", outfile);
    } else if (r.file_mode == 2) {
        MESS_print(DRV_MESS, "Appending to output file: %s\n", outfile);
    } else {
        MESS_print(DRV_ERROR, "UPA_out_file: Unable to overwrite converted data file\n");
        MESS_print(DRV_ERROR, "UPA_out_file: %s is kept (-pf over overwrites it, -pf app appends to it)\n",
                   outfile);
        VOK_exit(UPA_EXIT_OK);
    }
    if (r.form->target != Target::record) return open_sounding_form(r.out_name);
    int type = r.form->type;
    int fd = -1;
    if (r.file_mode == 1) {
        // Every form makes the missing directories of its name, as the
        // stream forms do when they open.
        if (type == UPA_FILE_CDF) {
            char dir[VOK_NAME_LEN];
            std::snprintf(dir, sizeof dir, "%s", outfile);
            FILE_make_dir(dir, 1);
        }
        fd = UPA_open(outfile, 1, &type);
        if (fd == -1) refuse(UPA_EXIT_OUTPUT, "Unable to create output file", r.out_name);
    } else {
        fd = UPA_open(outfile, 2, &type);
        if (fd == -1) {
            MESS_print(DRV_ERROR, "UPA_out_file: Unable to append to output file: %s (no %s file of "
                       "this program, or damaged)\n", outfile, r.form->label);
            VOK_exit(UPA_EXIT_OUTPUT);
        }
    }
    return fd;
}

int UPA_save_report(int fd, UPA_report* report)
{
    Run& r = run();
    // Once a write failed (a full disk) the file cannot be completed: the
    // stations left are not tried one by one.
    if (r.write_failures > 0) return -1;
    // The record number is the driver's: the text and XML writers advance
    // the number they are given, the netCDF writer takes it as the index.
    int index = r.counter++;
    if (UPA_write(fd, report, 1, &index) != 0) {
        ++r.write_failures;
        MESS_print(DRV_ERROR, "UPA_save_report: Writing to %s failed (at station %s)\n", r.out_name.c_str(),
                   report->id);
        return -1;
    }
    ++r.stations_written;
    return 1;
}

namespace ua {

namespace {

// A sounding as the forms written from soundings give it: the station
// table's name, number, position and elevation for a land station it knows.
Sounding with_station(Sounding&& s)
{
    Sounding out = std::move(s);
    // The forms written from soundings take their levels; the decoded parts
    // they were merged from need no room any more.
    out.parts = {};
    const CTY_data* station = CTY_get_station(out.id.c_str());
    if (!station) return out;
    const CTY_data& st = *station;
    out.name = st.name;
    if (out.platform == Platform::land) {
        if (st.wmo > 0 && st.wmo != 99999) out.wmo = st.wmo;
        out.lat = st.lat;
        out.lon = st.lon;
        out.elevation = st.el;
        place_surface(out, st.el);
    }
    return out;
}

// The soundings of one station (indexes into run().soundings, in time
// order) into its record, and the record written.
// A record holds 200 significant levels and 100 wind levels: what a
// station reports beyond them is said, not dropped in silence.
void say_what_the_record_leaves_out(const UPA_report& rep, const std::vector<const Sounding*>& group)
{
    std::size_t sig = 0, wnd = 0;
    for (const Sounding* s : group) {
        for (const SoundingLevel& l : s->levels) {
            sig += l.type == LevelType::sig_temperature;
            wnd += l.type == LevelType::sig_wind && l.alt != AltitudeCode::none;
        }
    }
    const auto say = [&](const char* what, std::size_t has, int cap) {
        if (has <= static_cast<std::size_t>(cap)) return;
        MESS_print(DRV_ERROR, "UPA_save_report: %s: %zu %s, the %s form holds %d: the highest are left "
                   "out (the CSV and CF forms keep them)\n", group.front()->id.c_str(), has, what,
                   run().form->label, cap);
    };
    if (rep.numsig == UPA_MAX_SIG) say("significant levels", sig, UPA_MAX_SIG);
    if (rep.numwnd == UPA_MAX_WND) say("wind levels", wnd, UPA_MAX_WND);
}

void save_record(UPA_report* rep, const std::vector<const Sounding*>& group)
{
    const CTY_data* station = CTY_get_station(group.front()->id.c_str());
    if (!station) return;
    UPA_enter_func(station, rep);
    fill_record(group, rep, record_options());
    if (rep->numman == 0 && rep->numsig == 0 && rep->numwnd == 0) return;
    say_what_the_record_leaves_out(*rep, group);
    UPA_sort_report(rep);
    MESS_print(DRV_STATION, "STA: %5s TIME: %d WMO: %5.5d LAT: %7.2f LON: %7.2f\n", rep->id, rep->time,
               rep->wmo, static_cast<double>(rep->lat), static_cast<double>(rep->lon));
    UPA_print_report(DRV_REPORT, rep);
    UPA_save_report(run().cvt_fd, rep);
}

void write_soundings(const std::vector<Sounding>& out)
{
    Run& r = run();
    if (r.form->target == Target::csv) {
        if (r.write_failures == 0 && !write_csv(r.csv, out, r.file_mode != 2)) ++r.write_failures;
    } else {
        const DecodeWindow w = r.parts ? r.parts->window() : DecodeWindow{};
        CfInfo info;
        info.decode_time = w.base;
        char history[160];
        std::snprintf(history, sizeof history,
                      "UPPER AIR DATA CONVERSION PROGRAM (Ver %s): parts observed from %lld to %+lld "
                      "minutes of the decode time",
                      VOK_version(), static_cast<long long>((w.begin - w.base) / 60),
                      static_cast<long long>((w.end - w.base) / 60));
        info.history = history;
        info.source = "TEMP and PILOT bulletins of";
        for (const std::string& in : r.inputs) info.source += " " + std::filesystem::path(in).filename().string();
        std::string error;
        if (!write_cf(r.out_name.c_str(), out, info, r.file_mode == 2, &error)) {
            MESS_print(DRV_ERROR, "UPA_decode_all: %s: %s\n", r.out_name.c_str(), error.c_str());
            ++r.write_failures;
            return;
        }
    }
    if (r.write_failures == 0) {
        // A station observed twice in the window is one station of two soundings.
        std::vector<std::string_view> ids;
        ids.reserve(out.size());
        for (const Sounding& s : out) ids.emplace_back(s.id);
        std::sort(ids.begin(), ids.end());
        r.stations_written = static_cast<int>(std::unique(ids.begin(), ids.end()) - ids.begin());
        r.soundings_written = static_cast<int>(out.size());
    }
}

// The parts decoded, and those read only in part, for the run's account.
void tally_parts()
{
    constexpr std::size_t NAMED_PARTS = 5;
    Run& r = run();
    for (const Sounding& s : r.soundings) {
        for (const DecodedPart& p : s.parts) {
            ++r.decoded;
            if (p.status != PartStatus::truncated) continue;
            if (++r.cut <= static_cast<long>(NAMED_PARTS))
                r.cut_names.push_back(std::string(kind_name(p.kind)) + " " + s.id);
        }
    }
}

}  // namespace

void save_stations()
{
    Run& r = run();
    MESS_print(DRV_SAVE, "Saving stations...\n");
    if (r.parts && !r.built) {
        r.soundings = r.parts->build();
        r.built = true;
    }
    tally_parts();
    // Each sounding's slot and that slot's place in the table's walk.
    std::unordered_map<const void*, long> place;
    for (int i = 0;; ++i) {
        const void* slot = CTY_next_data(i);
        if (!slot) break;
        place.emplace(slot, i);
    }
    struct Entry {
        UPA_report* slot;
        long place;
        Sounding* sounding;
    };
    std::vector<Entry> order;
    for (Sounding& s : r.soundings) {
        auto* slot = static_cast<UPA_report*>(CTY_get_data(s.id.c_str()));
        const auto it = place.find(slot);
        if (slot && it != place.end()) order.push_back({slot, it->second, &s});
    }
    std::stable_sort(order.begin(), order.end(), [](const Entry& a, const Entry& b) { return a.place < b.place; });
    std::vector<Sounding> out;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i;
        std::vector<const Sounding*> group;
        while (j < order.size() && order[j].slot == order[i].slot) group.push_back(order[j++].sounding);
        if (r.form->target == Target::record) {
            save_record(order[i].slot, group);
        } else {
            for (std::size_t k = i; k < j; ++k)
                if (!order[k].sounding->levels.empty()) out.push_back(with_station(std::move(*order[k].sounding)));
        }
        i = j;
    }
    if (r.form->target == Target::record) return;
    r.soundings.clear();  // moved into out
    r.built = false;
    write_soundings(out);
}

bool close_output()
{
    Run& r = run();
    if (r.form && r.form->target == Target::csv) {
        if (!r.csv) return true;
        const bool ok = r.csv == stdout ? std::fflush(stdout) == 0 && !std::ferror(stdout)
                                        : FILE_close(r.csv, r.out_name.c_str()) == 0;
        r.csv = nullptr;
        return ok;
    }
    if (r.form && r.form->target == Target::cf) return true;
    return UPA_close(r.cvt_fd) == 0;
}

}  // namespace ua
