// The file-name module: paths and file checks, the set time and the name
// conventions. Templates are in files_template.cpp, the choice of files by
// date in files_select.cpp; the three share files_state.h.
#include "vok.h"
#include "files_state.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace files_state;

// ---------------------------------------------------------------- paths and file checks
// Every file the suite opens passes through here: names are completed with a
// directory, "~" is expanded to a home directory, a few names stand for the
// standard streams, missing directories are made before a file is written,
// and the user is asked before an existing output file is overwritten.
// Expanded names are held in std::string; only the interfaces that fill a
// caller's buffer are bound to its VOK_NAME_LEN characters, and a name that
// does not fit there is refused, never cut into a different name.

namespace files_state {

// Home-directory expansion without a length limit; an unknown user leaves
// the name as it is.
std::string expand_user_path(const char* name)
{
    if (!name) return {};
    if (name[0] != '~') return name;
    const char* slash = std::strchr(name, '/');
    std::string user = slash ? std::string(name + 1, slash) : std::string(name + 1);
    const passwd* pw = user.empty() ? getpwuid(getuid()) : getpwnam(user.c_str());
    if (!pw || !pw->pw_dir) return name;
    std::string out = pw->pw_dir;
    if (slash) out += slash;
    return out;
}

} // namespace files_state

namespace {

bool copy_fits(const std::string& text, char* out)
{
    if (text.size() >= static_cast<std::size_t>(VOK_NAME_LEN)) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

// Create every missing directory of path but its last `leave` parts.
int make_dirs(std::string& path, int leave)
{
    if (leave < 0) leave = 0;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    std::size_t last = path.rfind('/');
    if (last != std::string::npos && last > 0) {
        std::string parent = path.substr(0, last);
        if (FILE_exist(parent.c_str())) return 1;
    }
    // Parts as the suite's splitter gives them: empty parts from a leading or
    // doubled "/", none from trailing ones.
    int count = 0;
    char** parts = nullptr;
    if (parse_string(path.c_str(), '/', &count, &parts) != 0) return 0;
    std::string built;
    for (int i = 0; i < count - leave; ++i) {
        if (parts[i][0] == '\0') {
            if (built.empty() || built.back() != '/') built += '/';
            continue;
        }
        built += parts[i];
        built += '/';
        std::string dir = expand_user_path(built.c_str());
        mkdir(dir.c_str(), 0755);
    }
    free_parsed_array(count, parts);
    return 0;
}

bool answer_is(const char* answer, char c)
{
    return answer[0] == c || answer[0] == c - 'A' + 'a';
}

} // namespace

int FILE_is_stdio(const char* name)
{
    if (!name) return 0;
    return (name[0] == '\0' || std::strcmp(name, "-") == 0 || stricmp(name, "std") == 0 ||
            stricmp(name, "stdn") == 0)
               ? 1
               : 0;
}

int FILE_fullpath(const char* name)
{
    if (!name) return 0;
    return (name[0] == '/' || name[0] == '.' || name[0] == '~') ? 1 : 0;
}

int FILE_add_path_delim(char* dir)
{
    if (!dir) return 0;
    std::size_t len = std::strlen(dir);
    if (len == 0 || dir[len - 1] == '/') return 0;
    if (len + 1 >= static_cast<std::size_t>(VOK_NAME_LEN)) return -1;
    dir[len] = '/';
    dir[len + 1] = '\0';
    return 0;
}

char* FILE_add_path(const char* dir, const char* name, char* out)
{
    if (!out) return nullptr;
    if (!name) name = "";
    std::string full;
    if (FILE_is_stdio(name) || FILE_fullpath(name) || !dir) {
        full = name;
    } else {
        full = dir;
        if (!full.empty() && full.back() != '/') full += '/';
        full += name;
    }
    return copy_fits(full, out) ? out : nullptr;
}

int FILE_add_user_path(const char* name, char* out)
{
    if (!out) return -1;
    return copy_fits(expand_user_path(name), out) ? 0 : -1;
}

int FILE_exist(const char* name)
{
    if (!name) return 0;
    if (FILE_is_stdio(name)) return 1;
    struct stat st {};
    return stat(expand_user_path(name).c_str(), &st) == 0 ? 1 : 0;
}

int FILE_is_dir(const char* name)
{
    if (!name) return 0;
    struct stat st {};
    if (stat(expand_user_path(name).c_str(), &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 1 : 0;
}

long FILE_size(const char* name)
{
    if (!name) return -1;
    struct stat st {};
    if (stat(expand_user_path(name).c_str(), &st) != 0) return -1;
    return static_cast<long>(st.st_size);
}

int FILE_make_dir(char* path, int leave)
{
    if (!path) return 0;
    for (char* p = path; *p; ++p) {
        if (*p == '\\') *p = '/';
    }
    std::string text(path);
    return make_dirs(text, leave);
}

FILE* FILE_open(const char* name, const char* mode)
{
    if (!name || !mode) return nullptr;
    if (FILE_is_stdio(name)) return mode[0] == 'r' ? stdin : stdout;
    if (name[0] == '|') {
        std::fflush(nullptr);
        return popen(name + 1, mode);
    }
    std::string full = expand_user_path(name);
    if (mode[0] == 'w' || mode[0] == 'a') make_dirs(full, 1);
    return std::fopen(full.c_str(), mode);
}

int FILE_close(FILE* fp, const char* name)
{
    if (!fp) return -1;
    if (fp == stdin || fp == stdout || fp == stderr) {
        std::fflush(fp);
        return 0;
    }
    if (name && name[0] == '|') return pclose(fp);
    return std::fclose(fp);
}

int FILE_overwrite(const char* name, int mode)
{
    if (!name || FILE_is_stdio(name) || !FILE_exist(name)) return 1;
    int decided = FLAG_get(FLAG_FILE_PARAM);
    if (decided > 0) return decided;
    if (FLAG_batch()) return 3;
    if (mode != 1 && mode != 2) return 0;
    // Nobody at a terminal to answer: as in batch mode, the file is kept.
    if (!VOK_interactive()) return 3;

    // The name is shown as it stands: it is data, never part of a format.
    std::string question = name;
    question += mode == 2 ? ": exists overwrite (Y,N,Use,Over,App): "
                          : ": exists overwrite (Y,N,Use,Over): ";
    char answer[10] = "";
    VOK_prompts(question.c_str(), answer, 9);
    if (answer_is(answer, 'Y') || answer_is(answer, 'O')) return 1;
    if (mode == 2 && answer_is(answer, 'A')) return 2;
    return 3;
}

// ---------------------------------------------------------------- set time
// The date and time fields the user fixed (the "hour" resource, or a "#"
// date in a given file name). Seconds are never given, so they start at 0.

namespace {

constexpr Date set_start = {VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING,
                            VOK_MISSING, VOK_MISSING, VOK_MISSING, 0};

} // namespace

namespace files_state {

Date set = set_start;

void unset_date_fields(Date& date)
{
    date.year = VOK_MISSING;
    date.month = VOK_MISSING;
    date.day = VOK_MISSING;
    date.hour = VOK_MISSING;
    date.min = VOK_MISSING;
}

} // namespace files_state

int FILE_set_time(const Date* date)
{
    if (!date) return -1;
    set = *date;
    return 0;
}

int FILE_get_time(Date* date)
{
    if (!date) return -1;
    *date = set;
    return 0;
}

int FILE_reset_time()
{
    unset_date_fields(set);
    return 0;
}

void FILE_clear_time()
{
    set = set_start;
}

namespace {

// Years whose calendar the date arithmetic holds exact.
constexpr int FIRST_YEAR = 1901;
constexpr int LAST_YEAR = 2099;

int days_in_month(int year, int month)
{
    constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year != VOK_MISSING && !DATE_is_leap(year)) return 28;
    return days[month - 1];
}

} // namespace

int FILE_check_date(const Date* date, char* why, int len)
{
    char local[64];
    if (!why || len <= 0) {
        why = local;
        len = static_cast<int>(sizeof local);
    }
    why[0] = '\0';
    if (!date) return 0;
    const Date& d = *date;
    const auto set_field = [](int v) { return v != VOK_MISSING; };
    const auto size = static_cast<std::size_t>(len);
    if (set_field(d.year) && (d.year < FIRST_YEAR || d.year > LAST_YEAR)) {
        std::snprintf(why, size, "year %d, not %d to %d", d.year, FIRST_YEAR, LAST_YEAR);
    } else if (set_field(d.month) && (d.month < 1 || d.month > 12)) {
        std::snprintf(why, size, "month %d", d.month);
    } else if (set_field(d.day) &&
               (d.day < 1 || d.day > (set_field(d.month) ? days_in_month(d.year, d.month) : 31))) {
        if (set_field(d.month) && set_field(d.year))
            std::snprintf(why, size, "day %d of %04d-%02d", d.day, d.year, d.month);
        else if (set_field(d.month))
            std::snprintf(why, size, "day %d of month %d", d.day, d.month);
        else
            std::snprintf(why, size, "day %d", d.day);
    } else if (set_field(d.hour) && (d.hour < 0 || d.hour > 23)) {
        std::snprintf(why, size, "hour %d", d.hour);
    } else if (set_field(d.min) && (d.min < 0 || d.min > 59)) {
        std::snprintf(why, size, "minute %d", d.min);
    } else {
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------- name conventions
// A kind of file is known by its type ("upa_dat", "upa_cvt" ...); the name
// convention file maps the type to a template with date fields, path letters
// and keys. Every name held here fits a VOK_NAME_LEN buffer: a name that would
// not is refused with a warning, never cut into a different name.

namespace files_state {

std::string conv;
std::string hconv;
std::string ext;
int min_size = 0;
int late_off = FIRST_LATE_OFF;
std::string filename;
int filename_type = 0;
std::array<std::string, 256> keys;
bool key_init = false;
Saved saved;
Date file_date = unset_date;
bool header = false;

bool fits(std::string_view name)
{
    return name.size() <= NAME_CHARS;
}

void refuse(const char* func, std::string_view name)
{
    MESS_print(M_WARN, "%s: Name too long (%zu characters): %.60s...\n", func, name.size(),
               std::string(name.substr(0, 60)).c_str());
}

bool put_name(std::string_view name, char* out)
{
    if (!fits(name)) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '\0';
    return true;
}

} // namespace files_state

namespace {

// One convention line: type name, template, header template, minimum size,
// separated by white space. Fields are taken whole, never cut.
struct ConvLine {
    std::string_view type, tmpl, htmpl;
    int size = 0;
};

// "%d" of a field: 0 when it holds no number; beyond the int range the
// nearest int.
int leading_int(std::string_view text)
{
    long long v = 0;
    std::size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    const bool neg = i == 1 && text[0] == '-';
    for (; i < text.size() && is_digit(text[i]); ++i) {
        v = std::min(v * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    return static_cast<int>(std::clamp<long long>(neg ? -v : v, INT_MIN, INT_MAX));
}

ConvLine split_conv_line(std::string_view line)
{
    std::string_view field[4];
    int n = 0;
    std::size_t i = 0;
    while (n < 4 && i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        const std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i > start) field[n++] = line.substr(start, i - start);
    }
    return {field[0], field[1], field[2], leading_int(field[3])};
}

// A whole line of any length; false at the end of the file.
bool read_line(FILE* fp, std::string& line)
{
    line.clear();
    int c;
    while ((c = std::getc(fp)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    return c != EOF || !line.empty();
}

// Key definitions ":k=value" in a type text; the type ends at the first one.
std::string take_keys(std::string_view type)
{
    std::size_t cut = std::string_view::npos;
    for (std::size_t i = type.find(':'); i != std::string_view::npos; i = type.find(':', i + 1)) {
        if (i + 3 > type.size() || type[i + 2] != '=') continue;
        const std::size_t end = std::min(type.find(':', i + 3), type.size());
        if (end == i + 3) continue;   // no value
        const std::string value(type.substr(i + 3, end - i - 3));
        FILE_set_key(type[i + 1], value.c_str());
        MESS_print(M_DEBUG & M_SUB_D, "KEY: %c = %s\n", type[i + 1], value.c_str());
        if (cut == std::string_view::npos) cut = i;
    }
    return std::string(type.substr(0, cut));
}

// The convention file, completed with the "file_path" directory.
std::string conv_file_name()
{
    const char* name = RES_get("name_conv");
    if (!name) name = "name_conv";
    char full[VOK_NAME_LEN];
    if (!FILE_add_path(RES_get("file_path"), name, full)) return {};
    return full;
}

// Result of the search in the convention file: 1 found, 0 not, -1 refused.
int search_conv(FILE* fp, const std::string& type, const std::string& file)
{
    std::string line;
    while (read_line(fp, line)) {
        if (line.empty() || line[0] == '#') continue;
        const ConvLine c = split_conv_line(line);
        // A line without a type name would begin every type: it is skipped.
        if (c.type.empty()) continue;
        conv.clear();
        hconv.clear();
        min_size = 0;
        const bool exact = equal_nocase(c.type, type);
        if (!exact && !starts_nocase(type, c.type)) continue;
        if (!fits(c.tmpl) || !fits(c.htmpl)) {
            refuse("FILE_set_name", c.tmpl.size() > c.htmpl.size() ? c.tmpl : c.htmpl);
            return -1;
        }
        // A name beginning with "|" is a command: a file that sits in a
        // working directory never starts one.
        if (c.tmpl.find('|') != std::string_view::npos || c.htmpl.find('|') != std::string_view::npos) {
            MESS_print(M_WARN, "FILE_set_name: %s: template %s of %s refused: commands (\"|\") are "
                       "taken from the command line only\n", file.c_str(), std::string(c.tmpl).c_str(),
                       std::string(c.type).c_str());
            return -1;
        }
        if (c.tmpl.empty()) {
            MESS_print(M_WARN, "FILE_set_name: No template for type %s in the file name convention "
                       "file: %s\n", std::string(c.type).c_str(), file.c_str());
            return -1;
        }
        conv = c.tmpl;
        hconv = c.htmpl == "-" ? std::string() : std::string(c.htmpl);
        min_size = c.size;
        if (exact) {
            MESS_print(M_DEBUG & M_SUB_A, "File name match for: %s\n", type.c_str());
        } else {
            const std::size_t us = type.rfind('_');
            if (us != std::string::npos) ext = type.substr(us + 1);
            MESS_print(M_DEBUG & M_SUB_A, "File name partial match for: %s-%s ext: %s\n", type.c_str(),
                       std::string(c.type).c_str(), ext.c_str());
        }
        return 1;
    }
    return 0;
}

// A name of a file type ("upa_dat", "upa_cvt_xml"): letters, digits and
// "_", with at least one "_". Anything else that stands where a type may
// ("x.nc", "myfile", "out/%Y.vok") is a file name or template of its own,
// which needs no convention.
bool is_type_name(std::string_view t)
{
    if (t.find('_') == std::string_view::npos) return false;
    return std::all_of(t.begin(), t.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
    });
}

} // namespace

int FILE_set_key(int key, const char* text)
{
    if (!text) text = "";
    std::string value(text);
    if (!fits(value)) {
        refuse("FILE_set_key", value);
        return -1;
    }
    std::replace(value.begin(), value.end(), ' ', '_');
    keys[static_cast<unsigned char>(key)] = std::move(value);
    return 0;
}

const char* FILE_get_key(int key)
{
    return keys[static_cast<unsigned char>(key)].c_str();
}

int FILE_set_name(const char* type_text)
{
    if (!key_init) {
        for (auto& k : keys) k.clear();
        key_init = true;
    }
    filename.clear();
    if (!type_text || stricmp(type_text, "none") == 0) {
        conv.clear();
        return 0;
    }
    if (type_text[0] == '@') {
        conv.clear();
        if (!fits(type_text + 1)) {
            refuse("FILE_set_name", type_text + 1);
            return -1;
        }
        conv = type_text + 1;
        return 1;
    }
    const std::string type = take_keys(type_text);
    conv.clear();
    hconv.clear();
    min_size = 0;
    if (!fits(type)) {
        refuse("FILE_set_name", type);
        return -1;
    }
    const std::string name = conv_file_name();
    FILE* fp = name.empty() ? nullptr : FILE_open(name.c_str(), "r");
    // A type that the convention cannot name would name the file after
    // itself ("upa_cvt"): that is a failure. A file name of its own is used
    // as it stands.
    const bool type_name = is_type_name(type);
    if (!fp) {
        if (type_name) {
            MESS_print(M_WARN, "FILE_set_name: No file name convention file: %s (for type %s)\n",
                       name.c_str(), type.c_str());
            return -1;
        }
        MESS_print(M_WARN, "FILE_set_name: No file name convention file: %s\n", name.c_str());
        conv = type;
        return 0;
    }
    MESS_print(M_DEBUG & M_SUB_A, "Opening name convention file: %s\n", name.c_str());
    ext.clear();
    const int found = search_conv(fp, type, name);
    FILE_close(fp, name.c_str());
    if (found == -1) {
        conv.clear();
        hconv.clear();
        min_size = 0;
    }
    if (found != 0) return found;
    hconv.clear();
    min_size = 0;
    if (type_name) {
        MESS_print(M_WARN, "FILE_set_name: No type %s in the file name convention file: %s\n",
                   type.c_str(), name.c_str());
        return -1;
    }
    conv = type;
    MESS_print(M_DEBUG & M_SUB_A, "No file name conversion for: %s\n", type.c_str());
    return 0;
}

int FILE_save_name_conv()
{
    saved = {late_off, conv, hconv, filename, filename_type};
    return 0;
}

int FILE_restore_name_conv()
{
    late_off = saved.late_off;
    conv = saved.conv;
    hconv = saved.hconv;
    filename = saved.filename;
    filename_type = saved.filename_type;
    return 0;
}

int FILE_set_filename(const char* name)
{
    if (!name) name = "";
    if (!fits(name)) {
        refuse("FILE_set_filename", name);
        filename.clear();
        return -1;
    }
    filename = name;
    filename_type = 1;
    return 0;
}

int FILE_get_conv(FILE_conv_info* info)
{
    if (!info) return -1;
    put_name(conv, info->conv);
    put_name(hconv, info->hconv);
    put_name(ext, info->ext);
    put_name(filename, info->filename);
    info->min_size = min_size;
    info->late_off = late_off;
    info->filename_type = filename_type;
    return 0;
}
