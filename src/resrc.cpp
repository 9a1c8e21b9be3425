// The process-wide resource list: every setting of the program is a named
// text value. Sources (defaults files, loop windows, the environment, the
// command line) set them in precedence order; modules read them by name.
#include "vok.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "vokresrc.h"

namespace {

// Static head node; the list hangs from root_res.next in the order in which
// names were first set.
resource root_res{VOK_MISSING, nullptr, nullptr, CV_none, nullptr};
// Last node, so that a run with thousands of options appends in one step.
resource* last_res = &root_res;

int clargc = 0;
char** clargv = nullptr;

// Where the values being set come from. A value that holds a "|" would run
// a shell command wherever it ends up as a file name (an output or log
// file, a station table, a path or template part): such values are taken
// only from the command line, never from a defaults file, a loop window or
// the environment, which a scheduler's working directory or account may
// hold without the user having asked for a command.
enum class Source { program, defaults, window, environment, command_line };
Source taking = Source::program;
std::string taking_from;   // the file, window or variable, for messages

// Problems met while decoding (an unknown option, a date that does not
// exist); the program ends on them.
int decode_errors = 0;
bool version_asked = false;

bool refused_command(const char* name, const char* data)
{
    if (!data || !std::strchr(data, '|')) return false;
    if (taking != Source::defaults && taking != Source::window && taking != Source::environment)
        return false;
    MESS_print(M_WARN, "RES_decode: %s: %s %s refused: commands (\"|\") are taken from the command "
               "line only\n", taking_from.c_str(), name, data);
    return true;
}

char* dup_text(const char* text)
{
    if (!text) return nullptr;
    std::size_t len = std::strlen(text);
    auto* copy = static_cast<char*>(std::malloc(len + 1));
    if (copy) std::memcpy(copy, text, len + 1);
    return copy;
}

resource* find(const char* name)
{
    if (!name) return nullptr;
    for (resource* r = root_res.next; r; r = r->next) {
        if (std::strcmp(r->name, name) == 0) return r;
    }
    return nullptr;
}

// A new node at the end of the list, or null when memory ran out.
resource* add_node(int index, const char* name, const char* data, DEF_convert cvt)
{
    auto* node = static_cast<resource*>(std::malloc(sizeof(resource)));
    if (!node) return nullptr;
    node->name = dup_text(name);
    node->data = nullptr;
    if (!node->name || (data && !(node->data = dup_text(data)))) {
        std::free(node->name);
        std::free(node);
        return nullptr;
    }
    node->index = index;
    node->cvt = cvt;
    node->next = nullptr;
    last_res->next = node;
    last_res = node;
    return node;
}

// The suite's resource table, as far as programs of this suite need it: the
// name (also the long option and the defaults-file key), the environment
// variable, the abbreviation or position, the conversion and the help row.
struct res_row {
    int number;
    const char* def;
    const char* env;
    const char* abbr;   // null for a positional entry
    int pos;
    DEF_convert cvt;
    const char* usage;  // help usage text; null when the row has no help
    const char* help;
    const char* more;   // a second help line, or null
};

constexpr const char* LEVELS_LINE =
    "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n";

constexpr res_row res_rows[] = {
    {RES_help, "help", "vokhelp", "h", 0, CV_help, "-h", "Print this help", nullptr},
    {RES_batch, "batch", "vokbatch", "ba", 0, CV_batch, "-ba", "Run program in batch mode", nullptr},
    {RES_message, "message", "vokmess", "me", 0, CV_mess, "-me level",
     "Message level to be displayed:", LEVELS_LINE},
    {RES_file_path, "file_path", "vokfile", "fp", 0, CV_path, "-fp path", "File path", nullptr},
    {RES_data_path, "data_path", "vokdata", "dp", 0, CV_path, "-dp path", "Raw data path", nullptr},
    {RES_con_path, "con_path", "vokcon", "cp", 0, CV_path, "-cp path", "Converted data path", nullptr},
    {RES_grid_path, "grid_path", "vokgrid", "gp", 0, CV_path, "-gp path", "Gridded data path", nullptr},
    {RES_raw_path, "raw_path", "vokraw", "rp", 0, CV_path, "-rp path", "Raw files path", nullptr},
    {RES_image_path, "image_path", "vokimage", "ip", 0, CV_string, "-ip path", "Image file path",
     nullptr},
    {RES_watch_path, "watch_path", "vokwatch", "wp", 0, CV_path, "-wp path",
     "Watch file data path", nullptr},
    {RES_text_path, "text_path", "voktext", "tp", 0, CV_path, "-tp path", "Text file path", nullptr},
    {RES_model_path, "model_path", "vokmpath", "mp", 0, CV_path, "-mp path", "Model file path",
     nullptr},
    {RES_sat_path, "sat_path", "voksat", "sp", 0, CV_path, "-sp path", "Satellite file path",
     nullptr},
    {RES_city_file, "city_file", "vokcity", "cf", 0, CV_string, "-cf file",
     "City database file name", nullptr},
    {RES_stat_prior, "stat_prior", "vokprior", "pr", 0, CV_int, "-pr prior",
     "Priority of stations used in the plot", nullptr},
    {RES_input, "input", "vokin", "in", 0, CV_string, "-in type", "Type of input", nullptr},
    {RES_output, "output", "vokout", "ou", 0, CV_string, "-ou type", "Type of output", nullptr},
    {RES_name_conv, "name_conv", "voknameconv", "nc", 0, CV_name, "-nc type",
     "Naming convention file name", nullptr},
    {RES_in_file, "in_file", "vokinfile", "if", 0, CV_string, "-if type", "Input data file type",
     nullptr},
    {RES_in_file2, "in_file", "vokinfile", "if", 0, CV_string, "-if type", "Input data file type",
     nullptr},
    {RES_out_file, "out_file", "vokoutfile", "of", 0, CV_string, "-of type", "Output file type",
     nullptr},
    {RES_file_param, "file_param", "vokfileparam", "pf", 0, CV_file_param, "-pf param",
     "File parameters: use,calc,over,app", nullptr},
    {RES_current, "current", "vokcurrent", "cu", 0, CV_current, "-cu [hour]",
     "Use current data file", nullptr},
    {RES_hour, "hour", "vokhour", "ho", 0, CV_hour, "-ho hour", "Actual hour of the file", nullptr},
    {RES_num_hour, "num_hour", "voknumhour", "nh", 0, CV_string, "-nh hour[,step]",
     "Number of hours to view", nullptr},
    {RES_decode_hour, "decode_hour", "vokdecode", "dh", 0, CV_string, "-dh hour",
     "Actual hour to decode", nullptr},
    {RES_identifier, "identifier", "vokident", "id", 0, CV_string, "-id ident",
     "Specific station identifier", nullptr},
    {RES_parameter, "parameter", "vokparam", "pa", 0, CV_string, "-pa param[,...]",
     "Program parameters", nullptr},
    {RES_filenames, "filename", "vokfilename", nullptr, RES_POS_ALL, CV_strings, "file [file...]",
     "Input file names", nullptr},
    // Rows of other programs of the suite that share this vocabulary.
    {RES_filename, "filename", "vokfilename", nullptr, 1, CV_strcpy, nullptr, nullptr, nullptr},
    {RES_command, "command", "vokcommand", nullptr, RES_POS_ALL, CV_strings, nullptr, nullptr,
     nullptr},
    {RES_cd, "command", "vokcommand", "cd", 0, CV_string, nullptr, nullptr, nullptr},
    {RES_value, "value", "vokvalue", nullptr, RES_POS_ALL, CV_strings, nullptr, nullptr, nullptr},
    {RES_input2, "input", "vokin", "inp", 0, CV_string, nullptr, nullptr, nullptr},
};

const res_row* find_row(int number)
{
    for (const res_row& row : res_rows) {
        if (row.number == number) return &row;
    }
    return nullptr;
}

// The table RES_init builds; an entry with a null def ends it.
std::array<RES_defobj, RES_TABLE_MAX> res_table{};

bool word_is(const char* value, const char* word)
{
    return stricmp(value, word) == 0;
}

bool starts_number(const char* value)
{
    return (value[0] >= '0' && value[0] <= '9') || value[0] == '-' || value[0] == '+';
}

// Up to n digits from *p, advancing it; false when no digit is there.
bool read_digits(const char*& p, int n, std::int32_t* out)
{
    if (*p < '0' || *p > '9') return false;
    std::int32_t v = 0;
    for (int i = 0; i < n && *p >= '0' && *p <= '9'; ++i, ++p) v = v * 10 + (*p - '0');
    *out = v;
    return true;
}

// A whole number at *p ("%d": an optional sign and digits), advancing it;
// false when no digit is there or it is beyond any time field.
bool read_int(const char*& p, int* out)
{
    const char* s = p;
    const bool neg = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    if (*s < '0' || *s > '9') return false;
    constexpr long long limit = 1000000;
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > limit) return false;
    }
    *out = static_cast<int>(neg ? -v : v);
    p = s;
    return true;
}

bool all_digits(const char* value)
{
    for (const char* p = value; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;
}

// Date digits after "#": a year of 4 digits, then month, day, hour and
// minute of 2 each, as far as digits follow. False when a field is cut short
// or anything but digits follows.
bool parse_hash_date(const char* p, Date* d)
{
    std::int32_t* fields[] = {&d->year, &d->month, &d->day, &d->hour, &d->min};
    for (int i = 0; i < 5 && *p >= '0' && *p <= '9'; ++i) {
        const int width = i == 0 ? 4 : 2;
        const char* start = p;
        read_digits(p, width, fields[i]);
        if (p - start != width) return false;
    }
    return *p == '\0' && d->year != VOK_MISSING;
}

// "%dd%d:%d": a day, then an hour and a minute, each optional after the day.
bool parse_day_form(const char* p, Date* d)
{
    if (!read_int(p, &d->day) || *p++ != 'd') return false;
    if (*p && !read_int(p, &d->hour)) return false;
    if (*p == ':' && (++p, !read_int(p, &d->min))) return false;
    return *p == '\0';
}

// "%d:%d": an hour and a minute; "-0:30" is half an hour back, not hour 0.
bool parse_clock_form(const char* value, Date* d)
{
    const char* p = value;
    if (!read_int(p, &d->hour)) return false;
    if (*p == ':' && (++p, !read_int(p, &d->min))) return false;
    if (*p != '\0') return false;
    if (value[0] == '-' && d->hour == 0) {
        d->hour = VOK_MISSING;
        if (d->min != VOK_MISSING) d->min = -std::abs(d->min);
    }
    return true;
}

// The "hour" resource: the time of the file the user means, as much of it as
// the value gives (a full "#" date, month-day-hour, day-hour, a day offset
// with hour and minute, or an hour and minute, possibly negative). False
// when the value is none of these forms.
bool parse_hour(const char* value, Date* d)
{
    DATE_init(d);
    d->sec = 0;
    const std::size_t len = std::strlen(value);
    const bool colon = std::strchr(value, ':') != nullptr;
    const bool digits = all_digits(value);
    if (value[0] == '#') return parse_hash_date(value + 1, d);
    if (len == 6 && !colon) {
        if (!digits) return false;
        std::sscanf(value, "%2d%2d%2d", &d->month, &d->day, &d->hour);
        return true;
    }
    if ((len == 4 || len == 3) && value[0] >= '0' && value[0] <= '9' && !colon) {
        if (!digits) return false;
        std::sscanf(value, len == 4 ? "%2d%2d" : "%1d%2d", &d->day, &d->hour);
        return true;
    }
    if (std::strchr(value, 'd')) return parse_day_form(value, d);
    const char* p = value;
    if (value[0] == ':') {
        ++p;
        return read_int(p, &d->min) && *p == '\0';
    }
    if (value[0] == '-' && value[1] == ':') {
        p += 2;
        if (*p < '0' || *p > '9' || !read_int(p, &d->min) || *p != '\0') return false;
        d->min = -d->min;
        return true;
    }
    return parse_clock_form(value, d);
}

// The hour value into the set time, when it is a time that exists: negative
// fields are steps of the file name templates and pass as they are.
void convert_hour(const char* value)
{
    Date d;
    char why[64];
    std::snprintf(why, sizeof why, "%s", value[0] == '#' ? "not #yyyymmdd[hh[mm]]" : "not a time");
    bool ok = parse_hour(value, &d);
    if (ok) {
        Date check = d;
        for (std::int32_t* f : {&check.day, &check.hour, &check.min})
            if (*f < 0) *f = VOK_MISSING;
        ok = FILE_check_date(&check, why, static_cast<int>(sizeof why)) == 1;
    }
    if (!ok) {
        MESS_print(M_WARN, "RES_conv_data: Invalid hour: %.80s (%s)\n", value, why);
        ++decode_errors;
        return;
    }
    FILE_set_time(&d);
}

bool is_hex(const char* value)
{
    return value[0] && (value[1] == 'x' || value[1] == 'X');
}

} // namespace

int RES_new(int index, const char* name, const char* data, DEF_convert cvt)
{
    if (!name || refused_command(name, data)) return -1;
    if (resource* r = find(name)) {
        char* copy = nullptr;
        if (data && !(copy = dup_text(data))) return -1;
        std::free(r->data);
        r->data = copy;
        r->index = index;
        r->cvt = cvt;
        return 0;
    }
    return add_node(index, name, data, cvt) ? 0 : -1;
}

int RES_append(int index, const char* name, const char* data, DEF_convert cvt)
{
    if (!name || refused_command(name, data)) return -1;
    resource* r = find(name);
    if (!r) return add_node(index, name, data, cvt) ? 0 : -1;
    if (!data) return 0;
    if (!r->data) {
        r->data = dup_text(data);
        return r->data ? 0 : -1;
    }
    // Several values of one resource (the positional file names) are kept
    // in one text, a line each.
    std::size_t old_len = std::strlen(r->data);
    std::size_t add_len = std::strlen(data);
    auto* joined = static_cast<char*>(std::malloc(old_len + add_len + 2));
    if (!joined) return -1;
    std::memcpy(joined, r->data, old_len);
    joined[old_len] = '\n';
    std::memcpy(joined + old_len + 1, data, add_len + 1);
    std::free(r->data);
    r->data = joined;
    return 0;
}

int RES_put(const char* name, const char* value)
{
    return RES_new(VOK_MISSING, name, value, CV_string);
}

const char* RES_get(const char* name)
{
    const resource* r = find(name);
    if (!r) return nullptr;
    return r->data ? r->data : "";
}

int RES_getvals(const char* name, char*** array)
{
    if (!array) return 0;
    *array = nullptr;
    const resource* r = find(name);
    if (!r || !r->data) return 0;
    int count = 0;
    if (parse_string(r->data, r->cvt == CV_strings ? '\n' : ',', &count, array) != 0) return 0;
    return count;
}

int RES_getval(const char* name, void* buf, DEF_convert cvt)
{
    if (!buf) return 0;
    const resource* r = find(name);
    if (!r) return 0;
    return RES_conv_data(r->data, buf, cvt);
}

int RES_list()
{
    for (const resource* r = root_res.next; r; r = r->next) {
        if (r->data) {
            MESS_print(M_PRINT & M_SUB_D, "%s: %s\n", r->name, r->data);
        } else {
            MESS_print(M_PRINT & M_SUB_D, "%s:\n", r->name);
        }
    }
    return 0;
}

int RES_setCL(int argc, char** argv)
{
    clargc = argc;
    clargv = argv;
    return 0;
}

const char* RES_get_prog()
{
    return (clargv && clargc > 0) ? clargv[0] : nullptr;
}

char* RES_get_progname(char* buf, int len)
{
    const char* path = RES_get_prog();
    if (!path) path = "";
    const char* slash = std::strrchr(path, '/');
    const char* base = slash ? slash + 1 : path;
    std::size_t need = std::strlen(base) + 1;
    if (!buf) {
        // The caller frees what comes back, so even the stand-in name is
        // an allocated copy; null only when not even that can be had.
        static constexpr char fallback[] = "VOK";
        buf = static_cast<char*>(std::malloc(need));
        if (!buf) {
            base = fallback;
            need = sizeof fallback;
            buf = static_cast<char*>(std::malloc(need));
            if (!buf) return nullptr;
        }
        std::memcpy(buf, base, need);
        return buf;
    }
    if (len <= 0) return buf;
    std::snprintf(buf, static_cast<std::size_t>(len), "%s", base);
    return buf;
}

resource* RES_first()
{
    return root_res.next;
}

void RES_clear()
{
    resource* r = root_res.next;
    while (r) {
        resource* next = r->next;
        std::free(r->name);
        std::free(r->data);
        std::free(r);
        r = next;
    }
    root_res.next = nullptr;
    last_res = &root_res;
    clargc = 0;
    clargv = nullptr;
    res_table[0] = RES_defobj{};
    taking = Source::program;
    decode_errors = 0;
    version_asked = false;
}

int RES_errors()
{
    return decode_errors;
}

int RES_version_asked()
{
    return version_asked ? 1 : 0;
}

namespace {

// The number kinds: a value that starts like a number (hexadecimal after
// "0x") into the buffer; any other leaves it as it was.
int convert_number(const char* value, void* out, DEF_convert cvt)
{
    if (!out) return 0;
    if (cvt == CV_float) {
        if (starts_number(value) || value[0] == '.') *static_cast<float*>(out) = std::strtof(value, nullptr);
        return 1;
    }
    if (!starts_number(value)) return 1;
    const long v = std::strtol(value, nullptr, is_hex(value) ? 16 : 10);
    if (cvt == CV_int) *static_cast<int*>(out) = static_cast<int>(v);
    else if (cvt == CV_short) *static_cast<short*>(out) = static_cast<short>(v);
    else *static_cast<long*>(out) = v;
    return 1;
}

// Text kinds fill a name buffer of VOK_NAME_LEN characters; a value that
// does not fit leaves it as it was rather than cut.
int convert_text(const char* value, void* out, DEF_convert cvt)
{
    if (!out) return 0;
    auto* buf = static_cast<char*>(out);
    if (cvt == CV_path && word_is(value, "none")) {
        buf[0] = '\0';
        return 1;
    }
    std::size_t len = std::strlen(value);
    bool delim = cvt == CV_path && len > 0 && value[len - 1] != '/';
    if (len + (delim ? 1 : 0) >= static_cast<std::size_t>(VOK_NAME_LEN)) return 0;
    std::memcpy(buf, value, len + 1);
    if (delim) FILE_add_path_delim(buf);
    return 1;
}

} // namespace

int RES_conv_data(const char* value, void* out, DEF_convert cvt)
{
    switch (cvt) {
    case CV_batch:
        FLAG_set(FLAG_BATCH_NUM, 1);
        // A level the user chose stays in force.
        if (MESS_check_set() == 0) MESS_set(0, M_PRINT | M_ERROR | M_WARN);
        return 1;
    case CV_help:
        FLAG_set(FLAG_HELP_NUM, 1);
        return 1;
    case CV_bool:
        if (!out) return 0;
        if (!value || word_is(value, "true") || word_is(value, "on") || word_is(value, "yes")) {
            *static_cast<int*>(out) = 1;
        } else if (word_is(value, "false") || word_is(value, "off") || word_is(value, "no")) {
            *static_cast<int*>(out) = 0;
        }
        return 1;
    default:
        break;
    }

    if (!value) return 0;
    switch (cvt) {
    case CV_mess:
        MESS_set_str(value);
        return 1;
    case CV_hour:
        // An empty value gives no time at all.
        if (value[0]) convert_hour(value);
        return 1;
    case CV_file_param:
        if (word_is(value, "use") || word_is(value, "reuse")) {
            FLAG_set(FLAG_FILE_PARAM, 3);
        } else if (word_is(value, "over") || word_is(value, "calc") || word_is(value, "recalc")) {
            FLAG_set(FLAG_FILE_PARAM, 1);
        } else if (word_is(value, "app")) {
            FLAG_set(FLAG_FILE_PARAM, 2);
        }
        return 1;
    case CV_int:
    case CV_short:
    case CV_long:
    case CV_color:
    case CV_float:
        return convert_number(value, out, cvt);
    case CV_string:
        if (!out) return 0;
        *static_cast<const char**>(out) = value;
        return 1;
    case CV_strcpy:
    case CV_path:
        return convert_text(value, out, cvt);
    case CV_region:
    case CV_domain:
        // A domain text or region name into the Domain record given.
        if (!out) return 0;
        DOM_decode(value, static_cast<Domain*>(out));
        return 1;
    default:
        // The kinds of the plotting programs (regions, domains, devices,
        // plot types, drawing components) are not converted by this program.
        return 1;
    }
}

// ---------------------------------------------------------------- table and command line

namespace {

// One option of the command line: its name (RES_OPT_LEN - 1 characters at
// most) and its value, given after '=' or as the next argument.
struct option_arg {
    char name[RES_OPT_LEN];
    const char* value;
    bool from_next;
    bool too_long;
};

bool is_letter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

bool dash_letter(const char* arg)
{
    return arg[0] == '-' && is_letter(arg[1]);
}

// Dashes before the name of an option: 1 for -name, 2 for --name, 0 when the
// argument is no option.
int option_dashes(const char* arg)
{
    if (dash_letter(arg)) return 1;
    if (arg[0] == '-' && arg[1] == '-' && is_letter(arg[2])) return 2;
    return 0;
}

// The next argument is the value unless it is an option itself (in either
// dash form) or the "--" separator.
bool value_argument(const char* arg)
{
    return option_dashes(arg) == 0 && std::strcmp(arg, "--") != 0;
}

// Reads argv[i] as an option; the index of the last argument it used.
int read_option(int argc, char** argv, int i, int dashes, option_arg* opt)
{
    const char* text = argv[i] + dashes;
    const char* eq = std::strchr(text, '=');
    const std::size_t len = eq ? static_cast<std::size_t>(eq - text) : std::strlen(text);
    opt->too_long = len >= static_cast<std::size_t>(RES_OPT_LEN);
    const std::size_t keep = opt->too_long ? 0 : len;
    std::memcpy(opt->name, text, keep);
    opt->name[keep] = '\0';
    opt->from_next = false;
    opt->value = nullptr;
    if (eq) {
        opt->value = eq + 1;
    } else if (i + 1 < argc && value_argument(argv[i + 1])) {
        opt->value = argv[i + 1];
        opt->from_next = true;
    }
    return opt->from_next ? i + 1 : i;
}

bool begins(const char* name, const char* word, bool nocase)
{
    const std::size_t n = std::strlen(word);
    return nocase ? strnicmp(name, word, static_cast<int>(n)) == 0 && std::strlen(name) >= n
                  : std::strncmp(name, word, n) == 0;
}

// -n, -na, -nam, -name.
bool part_of_name(const char* name, bool nocase)
{
    const std::size_t n = std::strlen(name);
    if (n == 0 || n > 4) return false;
    return nocase ? strnicmp(name, "name", static_cast<int>(n)) == 0
                  : std::strncmp(name, "name", n) == 0;
}

// First pass: only the program title and the defaults path, which decide
// what the defaults files mean.
void first_pass(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (!dash_letter(argv[i])) continue;
        option_arg opt;
        i = read_option(argc, argv, i, 1, &opt);
        if (opt.too_long || !opt.value) continue;
        if (part_of_name(opt.name, false)) {
            RES_new(VOK_MISSING, "name", opt.value, CV_string);
            DEF_name(opt.value);
        } else if (begins(opt.name, "default", false) || begins(opt.name, "df", false)) {
            RES_new(VOK_MISSING, "default", opt.value, CV_string);
        }
    }
}

void read_defaults_file(const char* name, const RES_defobj* table)
{
    if (DEF_open(name) != 0) return;
    taking = Source::defaults;
    taking_from = DEF_file_name();
    char key[DEF_KEY_LEN];
    char value[DEF_VALUE_LEN];
    while (DEF_get(key, value) > 0) {
        bool matched = false;
        for (int i = 0; table[i].def; ++i) {
            if (table[i].def[0] == '\0' || !DEF_cmp(table[i].def, key)) continue;
            MESS_print(M_DEBUG & M_SUB_D, "RESRC: %s=%s\n", key, value);
            RES_new(i, table[i].def, value, table[i].cvt);
            matched = true;
        }
        if (!matched && DEF_valid(key)) {
            const char* free_name = DEF_parse_name(key);
            if (*free_name) RES_new(VOK_MISSING, free_name, value, CV_string);
        }
    }
    DEF_close();
    taking = Source::program;
}

// Defaults files, tags and loop windows in the order of the defaults path.
void read_defaults_path(const RES_defobj* table)
{
    const char* set = RES_get("default");
    // A copy: the files read may themselves set "default".
    const std::string path = set ? set : RES_DEFAULT_PATH;
    // The places of the built-in path need not exist; those the user named
    // (-df, vokdefault) are looked for.
    const bool named = set != nullptr;
    DEF_clr_tag();
    int count = 0;
    char** entries = nullptr;
    if (parse_string(path.c_str(), ':', &count, &entries) != 0) {
        read_defaults_file(nullptr, table);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const char* entry = entries[i];
        if (entry[0] == '+') {
            DEF_tag(entry + 1);
        } else if (entry[0] == '#') {
            taking = Source::window;
            taking_from = std::string("loop window ") + entry;
            MQ_exchange(entry + 1, table);
            taking = Source::program;
        } else {
            if (named && entry[0] && !FILE_exist(entry))
                MESS_print(M_WARN, "RES_decode: Defaults file not found: %s\n", entry);
            read_defaults_file(entry, table);
        }
    }
    free_parsed_array(count, entries);
}

void read_environment(const RES_defobj* table)
{
    char value[DEF_VALUE_LEN];
    taking = Source::environment;
    for (int i = 0; table[i].def; ++i) {
        if (table[i].def[0] && DEF_env(table[i].def, table[i].env, value)) {
            taking_from = std::string("environment ") + DEF_env_name();
            RES_new(i, table[i].def, value, table[i].cvt);
        }
    }
    taking = Source::program;
}

bool keyed(const RES_defobj& e)
{
    return e.def[0] != '\0' && e.cmd.abbr != nullptr;
}

// The entry an option names: its abbreviation, its full name, or else the
// first entry in table order whose name begins with it. -1 for none.
int find_entry(const char* name, const RES_defobj* table)
{
    for (int i = 0; table[i].def; ++i) {
        if (keyed(table[i]) && stricmp(table[i].cmd.abbr, name) == 0) return i;
    }
    for (int i = 0; table[i].def; ++i) {
        if (keyed(table[i]) && stricmp(table[i].def, name) == 0) return i;
    }
    for (int i = 0; table[i].def; ++i) {
        if (keyed(table[i]) && begins(table[i].def, name, true)) return i;
    }
    return -1;
}

void set_positional(const char* arg, int counter, const RES_defobj* table)
{
    int target = -1;
    for (int i = 0; table[i].def && target < 0; ++i) {
        if (table[i].def[0] && !table[i].cmd.abbr && table[i].cmd.pos == counter) target = i;
    }
    for (int i = 0; table[i].def && target < 0; ++i) {
        if (table[i].def[0] && !table[i].cmd.abbr && table[i].cmd.pos == RES_POS_ALL) target = i;
    }
    if (target < 0) return;
    const RES_defobj& e = table[target];
    if (e.cmd.pos == RES_POS_ALL && counter > 1) {
        RES_append(target, e.def, arg, e.cvt);
    } else {
        RES_new(target, e.def, arg, e.cvt);
    }
}

// One option of the second pass; the index of the last argument it used.
int command_option(int argc, char** argv, int i, int dashes, const RES_defobj* table)
{
    option_arg opt;
    const int last = read_option(argc, argv, i, dashes, &opt);
    if (opt.too_long) {
        MESS_print(M_WARN, "RES_decode: option name longer than %d characters skipped: %.30s...\n",
                   RES_OPT_LEN - 1, argv[i]);
        ++decode_errors;
        return last;
    }
    // Title and defaults path were taken by the first pass.
    if (part_of_name(opt.name, true) || begins(opt.name, "default", true) ||
        begins(opt.name, "df", true))
        return last;
    // --version and -V take no value.
    if (std::strcmp(opt.name, "V") == 0 || stricmp(opt.name, "version") == 0) {
        version_asked = true;
        return i;
    }
    const int index = find_entry(opt.name, table);
    if (index < 0) {
        // Kept under its own name as the other programs of the suite keep
        // it; for this program's run it is an error (RES_errors).
        MESS_print(M_WARN, "RES_decode: Unknown option: %s\n", argv[i]);
        ++decode_errors;
        RES_new(VOK_MISSING, opt.name, opt.value, CV_string);
        return last;
    }
    const RES_defobj& e = table[index];
    int used = last;
    // A switch takes no value from the next argument: "-ba file1".
    if (opt.from_next && (e.cvt == CV_bool || e.cvt == CV_batch || e.cvt == CV_help)) {
        opt.value = nullptr;
        used = i;
    }
    RES_new(index, e.def, opt.value, e.cvt);
    if (MQ_connected()) MQ_report(e.def, opt.value);
    return used;
}

void second_pass(int argc, char** argv, const RES_defobj* table)
{
    taking = Source::command_line;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) continue;
        const int dashes = option_dashes(arg);
        if (dashes == 0) {
            set_positional(arg, ++positional, table);
        } else {
            i = command_option(argc, argv, i, dashes, table);
        }
    }
    taking = Source::program;
}

// The conversions with an immediate effect, in the order in which each name
// was first set.
void convert_all(const RES_defobj* table)
{
    int size = 0;
    while (table[size].def) ++size;
    for (resource* r = root_res.next; r; r = r->next) {
        if (r->index < 0 || r->index >= size) continue;
        const RES_defobj& e = table[r->index];
        if (r->cvt == CV_strings && e.out) {
            int count = 0;
            parse_string(r->data, '\n', &count, static_cast<char***>(e.out));
            if (e.num) *e.num = count;
        } else {
            RES_conv_data(r->data, e.out, r->cvt);
        }
    }
}

void help_item(int number)
{
    const res_row* row = find_row(number);
    if (!row || !row->usage) {
        MESS_print(M_PRINT, "%d\n", number);
        return;
    }
    MESS_print(M_PRINT, " %-10s  %s\n", row->usage, row->help);
    if (row->more) MESS_print(M_PRINT, "%s", row->more);
}

} // namespace

int RES_fill_obj(RES_defobj* obj, const char* def, const char* env, RES_cmd cmd, DEF_convert cvt,
                 void* out, int* num)
{
    *obj = RES_defobj{def, env, cmd, cvt, out, num};
    return 1;
}

int RES_enter(RES_defobj* obj, int number)
{
    if (const res_row* row = find_row(number)) {
        return RES_fill_obj(obj, row->def, row->env, RES_cmd{row->abbr, row->pos}, row->cvt, nullptr,
                            nullptr);
    }
    MESS_print(M_PRINT, "%d\n", number);
    return RES_fill_obj(obj, "", "", RES_cmd{nullptr, 0}, CV_none, nullptr, nullptr);
}

int RES_init(int argc, char** argv, const int* res_key, const int* res_pos)
{
    FLAG_reset(VOK_MISSING);
    int n = 0;
    for (const int* list : {res_key, res_pos}) {
        for (int i = 0; list && list[i] != RES_null; ++i) {
            if (n >= RES_TABLE_MAX - 1) {
                MESS_print(M_WARN, "RES_init: more than %d resources, %d ignored\n", RES_TABLE_MAX - 1,
                           list[i]);
                continue;
            }
            RES_enter(&res_table[static_cast<std::size_t>(n++)], list[i]);
        }
    }
    res_table[static_cast<std::size_t>(n)] = RES_defobj{};
    RES_decode(argc > 0 && argv ? argv[0] : nullptr, argc, argv, res_table.data());
    if (const char* tz = std::getenv("voktz")) DATE_set_TZ(tz);
    return 1;
}

int RES_decode(const char* prog, int argc, char** argv, RES_defobj* table)
{
    // The program's name is the last component of argv[0], stored here.
    (void)prog;
    if (!argv) argc = 0;
    RES_setCL(argc, argv);
    DEF_prog();
    decode_errors = 0;
    version_asked = false;
    if (const char* def = std::getenv("vokdefault")) {
        taking = Source::environment;
        taking_from = "environment vokdefault";
        RES_new(VOK_MISSING, "default", def, CV_string);
    }
    taking = Source::command_line;
    first_pass(argc, argv);
    taking = Source::program;
    read_defaults_path(table);
    read_environment(table);
    second_pass(argc, argv, table);
    if (MQ_connected()) MQ_quit();
    convert_all(table);
    return 0;
}

int RES_help_print(const char* prog, const int* res_key, const int* res_pos)
{
    if (!prog) prog = "";
    MESS_print(M_PRINT, "%s syntax (version:%s)\n", prog, VOK_version());
    MESS_print(M_PRINT, "   %s [options...]\n", prog);
    MESS_print(M_PRINT, "Keyed options...\n");
    MESS_print(M_PRINT, " %-10s  Resource/defaults file name\n", "-df file");
    MESS_print(M_PRINT, " %-10s  Program name\n", "-na name");
    for (int i = 0; res_key && res_key[i] != RES_null; ++i) help_item(res_key[i]);
    MESS_print(M_PRINT, "Positional options...\n");
    for (int i = 0; res_pos && res_pos[i] != RES_null; ++i) help_item(res_pos[i]);
    return 1;
}
