#include "vok.h"

// ---------------------------------------------------------------- paths and file checks
// Every file the suite opens passes through here: names are completed with a
// directory, "~" is expanded to a home directory, a few names stand for the
// standard streams, missing directories are made before a file is written,
// and the user is asked before an existing output file is overwritten.
// Expanded names are held in std::string; only the interfaces that fill a
// caller's buffer are bound to its VOK_NAME_LEN characters, and a name that
// does not fit there is refused, never cut into a different name.

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

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
Date set = set_start;

} // namespace

namespace {

// Year, month, day, hour and minute unset; day of year, weekday and second
// stay as they are.
void unset_date_fields(Date& date)
{
    date.year = VOK_MISSING;
    date.month = VOK_MISSING;
    date.day = VOK_MISSING;
    date.hour = VOK_MISSING;
    date.min = VOK_MISSING;
}

} // namespace

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

namespace {

constexpr std::size_t NAME_CHARS = VOK_NAME_LEN - 1;
constexpr int FIRST_LATE_OFF = 3600;

std::string conv;         // template of the current type; empty: no convention
std::string hconv;        // template of the type's header file
std::string ext;          // extension taken from the type on a partial match
int min_size = 0;         // a usable file is larger than this
int late_off = FIRST_LATE_OFF;  // seconds between two consecutive names
std::string filename;     // the current file name
int filename_type = 0;    // 1: filename was given explicitly
std::array<std::string, 256> keys;  // template keys by letter
bool key_init = false;

struct Saved {
    int late_off = FIRST_LATE_OFF;
    std::string conv, hconv, filename;
    int filename_type = 0;
};
Saved saved;

constexpr Date unset_date = {VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING,
                             VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING};
Date file_date = unset_date;  // the date the current name stands for
bool header = false;          // a header file name is being built (never here)

bool fits(std::string_view name)
{
    return name.size() <= NAME_CHARS;
}

void refuse(const char* func, std::string_view name)
{
    MESS_print(M_WARN, "%s: Name too long (%zu characters): %.60s...\n", func, name.size(),
               std::string(name.substr(0, 60)).c_str());
}

// Copies a name that fits into out (VOK_NAME_LEN); else out is emptied.
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

bool starts_nocase(std::string_view text, std::string_view word)
{
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    }
    return true;
}

bool equal_nocase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && starts_nocase(a, b);
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

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

// ---------------------------------------------------------------- templates
// A template is copied into the name character by character; "%" [N] letter
// stands for a date field, a directory, the extension, a resource ("%{name}")
// or a key. A blank stands for "_", "{" and "}" enclose a literal path part.

namespace {

enum class ItemKind { Literal, Date, Path, Ext, Resource, Key, Star, PathOpen, PathClose };

struct Item {
    ItemKind kind = ItemKind::Literal;
    char c = 0;              // the literal character or the letter after "%"
    int n = 1;               // N, 1 when not written
    bool n_given = false;
    std::string_view name;   // resource name of %{name}
};

// N beyond this counts as this: no date field or key is that long, and
// steps stay far inside the int range of late_off.
constexpr int N_LIMIT = 10000;

struct PathLetter {
    char letter;
    const char* resource;
};
constexpr PathLetter path_letters[] = {
    {'C', "con_path"},   {'D', "data_path"},  {'F', "file_path"},  {'R', "raw_path"},
    {'G', "grid_path"},  {'I', "image_path"}, {'W', "watch_path"}, {'T', "text_path"},
    {'M', "model_path"}, {'S', "sat_path"},
};

const char* path_resource(char letter)
{
    for (const auto& p : path_letters) {
        if (p.letter == letter) return p.resource;
    }
    return nullptr;
}

bool is_date_letter(char c)
{
    return std::string_view("Yymbdjhn").find(c) != std::string_view::npos;
}

Item letter_item(char letter, int n, bool given, std::string_view& t)
{
    Item it;
    it.c = letter;
    it.n = given ? n : 1;
    it.n_given = given;
    if (letter == '%') {
        it.kind = ItemKind::Literal;
    } else if (letter == '{') {
        const std::size_t close = t.find('}');
        it.kind = ItemKind::Resource;
        it.name = t.substr(0, close);
        t.remove_prefix(close == std::string_view::npos ? t.size() : close + 1);
    } else if (is_date_letter(letter)) {
        it.kind = ItemKind::Date;
    } else if (letter == 'e') {
        it.kind = ItemKind::Ext;
    } else if (path_resource(letter)) {
        it.kind = ItemKind::Path;
    } else {
        it.kind = ItemKind::Key;
    }
    return it;
}

// The next item of a template; t must not be empty.
Item next_item(std::string_view& t)
{
    const char c = t.front();
    t.remove_prefix(1);
    Item it;
    it.c = c;
    switch (c) {
    case '*': it.kind = ItemKind::Star; return it;
    case '{': it.kind = ItemKind::PathOpen; return it;
    case '}': it.kind = ItemKind::PathClose; return it;
    case ' ': it.c = '_'; return it;
    case '%': break;
    default: return it;
    }
    std::size_t i = 0;
    int n = 0;
    while (i < t.size() && is_digit(t[i])) n = std::min(n * 10 + (t[i++] - '0'), N_LIMIT);
    if (i == t.size()) return it;   // a lone "%" stands for itself
    const char letter = t[i];
    t.remove_prefix(i + 1);
    return letter_item(letter, n, i > 0, t);
}

bool next_is_slash(std::string_view t)
{
    return !t.empty() && t.front() == '/';
}

// The directory a path letter stands for: the resource's value, "." when it
// is not set, nothing for "none".
std::string path_dir(char letter)
{
    const char* value = RES_get(path_resource(letter));
    if (!value) return ".";
    if (stricmp(value, "none") == 0) return {};
    return value;
}

// A directory in a name is always followed by one "/": the template's own
// "/" after the letter is taken for it. No directory, no "/".
void append_dir(std::string& out, std::string_view dir, std::string_view& t)
{
    if (next_is_slash(t)) t.remove_prefix(1);
    if (dir.empty()) return;
    out += dir;
    if (out.back() != '/') out += '/';
}

// ---- date fields

constexpr long long SECS_DAY = 86400;
constexpr long long SECS_HOUR = 3600;
constexpr long long SECS_MIN = 60;

struct Field {
    long long value;   // negative: the field is not known
    long long step;    // seconds between names, 0 for none
    bool forced;       // the step comes from a negative set value
};

long long round_down(long long v, long long n)
{
    if (n < 1) n = 1;   // a step of 0 counts as 1
    return v < 0 ? v : (v / n) * n;
}

bool given(int set_value)
{
    return set_value != VOK_MISSING;
}

// Day of month: a set day stands; a negative one (-k) asks for k-daily names.
Field day_field(int day, int set_day, int n)
{
    const long long nn = std::max(n, 1);
    if (given(set_day) && set_day >= 0) return {set_day, nn * SECS_DAY, false};
    if (given(set_day)) {
        const long long k = -static_cast<long long>(set_day);
        return {round_down(day, k), k * SECS_DAY, true};
    }
    return {round_down(day, nn), nn * SECS_DAY, false};
}

// Hour or minute: a set value rounded down to N; a negative set value whose
// digits read offset * 100 + step picks the latest multiple of the step at
// or before the date's value, plus the offset (-312: 3 or 15 o'clock).
Field clock_field(int value, int set_value, int n, long long unit)
{
    const long long nn = std::max(n, 1);
    if (given(set_value) && set_value >= 0) return {round_down(set_value, nn), nn * unit, false};
    if (given(set_value)) {
        const long long v = -static_cast<long long>(set_value);
        const long long step = std::max(v % 100, 1LL);
        const long long r = value < 0 ? -1 : (value / step) * step + v / 100;
        return {r, step * unit, true};
    }
    return {round_down(value, nn), nn * unit, false};
}

// The smallest step of the template's fields, where a step asked for by a
// negative set value counts before all others.
struct Steps {
    long long least = 0;
    long long forced = 0;
    void add(const Field& f)
    {
        long long& slot = f.forced ? forced : least;
        if (f.step > 0 && (slot == 0 || f.step < slot)) slot = f.step;
    }
    int late_off() const
    {
        const long long s = forced ? forced : least;
        return s ? static_cast<int>(std::min<long long>(s, INT_MAX)) : VOK_MISSING;
    }
};

int stored(long long v)
{
    return (v < 0 || v > INT_MAX) ? VOK_MISSING : static_cast<int>(v);
}

void put_number(std::string& out, int width, long long v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", width, v < 0 ? 0LL : v);
    out += buf;
}

void put_month_name(std::string& out, long long month)
{
    out += (month >= 1 && month <= 12) ? DATE_month_lower(static_cast<int>(month)) : "xxx";
}

// Expands one date letter of date d into out, storing the field in fd.
void expand_date(const Item& it, const Date& d, Date& fd, Steps& steps, std::string& out)
{
    switch (it.c) {
    case 'Y': {
        const long long y = given(set.year) ? set.year : round_down(d.year, it.n);
        put_number(out, 4, y);
        fd.year = stored(y);
        break;
    }
    case 'y': {
        const long long y = given(set.year) ? set.year % 100
                                            : round_down(d.year < 0 ? -1 : d.year % 100, it.n);
        put_number(out, 2, y);
        if (given(set.year)) fd.year = set.year;
        else fd.year = d.year < 0 ? VOK_MISSING : stored(d.year - d.year % 100 + y);
        break;
    }
    case 'm':
    case 'b': {
        const long long m = given(set.month) ? set.month : round_down(d.month, it.n);
        if (it.c == 'm') put_number(out, 2, m);
        else put_month_name(out, m);
        fd.month = stored(m);
        break;
    }
    case 'd':
    case 'j': {
        const Field f = day_field(d.day, set.day, it.n);
        steps.add(f);
        fd.day = stored(f.value);
        if (it.c == 'd') {
            put_number(out, 2, f.value);
            break;
        }
        int jday = -1;
        if (f.value >= 0) DATE_monday_julian(d.year, d.month, static_cast<int>(f.value), &jday);
        put_number(out, 3, jday);
        fd.jday = stored(jday);
        if (d.month >= 1 && d.month <= 12) fd.month = d.month;
        break;
    }
    case 'h':
    case 'n': {
        const bool hour = it.c == 'h';
        const Field f = hour ? clock_field(d.hour, set.hour, it.n, SECS_HOUR)
                             : clock_field(d.min, set.min, it.n, SECS_MIN);
        steps.add(f);
        put_number(out, 2, f.value);
        (hour ? fd.hour : fd.min) = stored(f.value);
        break;
    }
    default:
        break;
    }
}

std::string key_text(const Item& it)
{
    const std::string& k = keys[static_cast<unsigned char>(it.c)];
    return it.n_given ? k.substr(0, static_cast<std::size_t>(it.n)) : k;
}

// Expands a template for date d; every field also goes into file_date, and
// late_off becomes the template's step. A path taken from the current name
// stands for every path letter and %{name}.
std::string expand(std::string_view t, const Date& d, const std::string* path)
{
    Steps steps;
    std::string out;
    while (!t.empty()) {
        const Item it = next_item(t);
        switch (it.kind) {
        case ItemKind::Literal: out += it.c; break;
        case ItemKind::Star: out += '*'; break;
        case ItemKind::PathOpen:
        case ItemKind::PathClose: break;
        case ItemKind::Date: expand_date(it, d, file_date, steps, out); break;
        case ItemKind::Ext: out += ext; break;
        case ItemKind::Path: append_dir(out, path ? *path : path_dir(it.c), t); break;
        case ItemKind::Resource:
            if (path) {
                append_dir(out, *path, t);
            } else if (const char* v = RES_get(std::string(it.name).c_str())) {
                out += v;
            }
            break;
        case ItemKind::Key: {
            const std::string k = key_text(it);
            out += k.empty() ? "0" : k;
            break;
        }
        }
    }
    late_off = steps.late_off();
    return out;
}

// Separators the template puts into a name: its "/" and ":" and the "/"
// that follows every directory.
int template_separators(std::string_view t)
{
    int k = 0;
    while (!t.empty()) {
        const Item it = next_item(t);
        if (it.kind == ItemKind::Literal && (it.c == '/' || it.c == ':')) ++k;
        if ((it.kind == ItemKind::Path || it.kind == ItemKind::Resource) && !next_is_slash(t)) ++k;
    }
    return k;
}

// The directory of an explicitly given full-path name, to stand for the
// path letters of the template: the name before its k-th separator from the
// end, where k separators belong to the template. Kept with its "/".
std::optional<std::string> extracted_path(std::string_view t)
{
    if (filename_type != 1 || !FILE_fullpath(filename.c_str())) return std::nullopt;
    int k = template_separators(t);
    std::size_t mark = std::string::npos;
    for (std::size_t i = filename.size(); i-- > 0 && k > 0;) {
        if (filename[i] == '/' || (i == 1 && filename[i] == ':')) {
            mark = i;
            --k;
        }
    }
    if (mark == std::string::npos) return std::nullopt;
    std::string path = filename.substr(0, mark + 1);
    MESS_print(M_DEBUG & M_SUB_C, "Extracted path: %s\n", path.c_str());
    return path;
}

} // namespace

int FILE_set_date(const Date* date, char* name)
{
    if (!name) return -1;
    const std::string& t = header ? hconv : conv;
    if (t.empty()) {
        filename_type = 1;
        put_name(filename.empty() ? std::string_view("filename") : filename, name);
        return 1;
    }
    if (FILE_is_stdio(t.c_str())) {
        filename_type = 0;
        put_name("-", name);
        return 1;
    }
    const std::optional<std::string> path = extracted_path(t);
    late_off = VOK_MISSING;
    Date d = file_date;
    if (date) {
        unset_date_fields(file_date);
        d = *date;
    }
    if (d.year == VOK_MISSING && !filename.empty()) {
        filename_type = 1;
        put_name(filename, name);
        return 1;
    }
    const std::string out = expand(t, d, path ? &*path : nullptr);
    if (!put_name(out, name)) {
        refuse("FILE_set_date", out);
        filename.clear();
        return -1;
    }
    filename = out;
    return 0;
}

int FILE_get_date(Date* date)
{
    if (!date) return -1;
    *date = file_date;
    return 0;
}

int FILE_get_offset()
{
    return late_off > 0 ? late_off : 100000;
}

// ---------------------------------------------------------------- reading a name
// A given name is matched against the template: date fields are read out of
// it, directories put in front of it, and what the name does not give is
// completed from the template.

namespace {

// Where the matcher stands in the given name.
enum class MatchState { Start = 0, PathPart = 1, DateField = 2, NameUsed = 3 };

class NameMatcher {
public:
    NameMatcher(std::string_view tmpl, std::string_view name)
        : tmpl_(tmpl), name_(name), given_(name), bare_(name.find('/') == std::string_view::npos),
          full_(FILE_fullpath(std::string(name).c_str()) == 1)
    {
        for (std::string_view t = tmpl; !t.empty();)
            if (next_item(t).kind == ItemKind::Date) ++dates_wanted_;
    }
    std::string run();
    // Date fields of the template, and those read from the name.
    int dates_wanted() const { return dates_wanted_; }
    int dates_read() const { return dates_read_; }

private:
    bool step(const Item& it);   // false: matching ends
    bool date_item(const Item& it);
    void path_item(const Item& it);
    bool ext_item();
    bool key_item(const Item& it);
    void path_part();
    bool literal(char c);
    bool copy_rest()
    {
        out_ += name_;
        name_ = {};
        return false;
    }
    void trace() const;

    std::string_view tmpl_;
    std::string_view name_;
    const std::string_view given_;
    const bool bare_;
    const bool full_;
    MatchState state_ = MatchState::Start;
    std::string out_;
    Steps steps_;
    int dates_wanted_ = 0;
    int dates_read_ = 0;
};

void NameMatcher::trace() const
{
    if (!MESS_check(M_DEBUG & M_SUB_D)) return;
    const std::string t(tmpl_), n(name_), g(given_);
    MESS_print(M_DEBUG & M_SUB_D, "FILES:%s:%s:%s:%s:%s:%d\n", t.c_str(), n.c_str(), out_.c_str(),
               g.c_str(), out_.c_str(), static_cast<int>(state_));
}

std::string NameMatcher::run()
{
    while (!tmpl_.empty()) {
        trace();
        const Item it = next_item(tmpl_);
        if (!step(it)) break;
    }
    copy_rest();   // a rest the template does not name is kept
    late_off = steps_.late_off();
    if (MESS_check(M_DEBUG & M_SUB_D)) {
        MESS_print(M_DEBUG & M_SUB_D, "FILES:%s:%s:%d\n", std::string(given_).c_str(), out_.c_str(),
                   static_cast<int>(state_));
    }
    DATE_print(M_DEBUG, &file_date);
    return out_;
}

bool NameMatcher::step(const Item& it)
{
    switch (it.kind) {
    case ItemKind::Literal: return literal(it.c);
    case ItemKind::Date: return date_item(it);
    case ItemKind::Path: path_item(it); return true;
    case ItemKind::Ext: return ext_item();
    case ItemKind::Key: return key_item(it);
    case ItemKind::Resource:   // taken as an empty key
    case ItemKind::Star: return copy_rest();
    case ItemKind::PathOpen: path_part(); return true;
    case ItemKind::PathClose: state_ = MatchState::PathPart; return true;
    }
    return true;
}

// Exactly `count` digits at the front of the name.
bool take_digits(std::string_view& name, std::size_t count, int& value)
{
    if (name.size() < count) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!is_digit(name[i])) return false;
        value = value * 10 + (name[i] - '0');
    }
    return true;
}

bool take_month_name(std::string_view& name, int& month)
{
    if (name.size() < 3) return false;
    for (std::size_t i = 0; i < 3; ++i) {
        if (!std::isalpha(static_cast<unsigned char>(name[i]))) return false;
    }
    month = DATE_decode_month(std::string(name.substr(0, 3)).c_str());
    if (month == 0) month = VOK_MISSING;
    return true;
}

// Stores a field read from a name into the date.
void store_read(char letter, int v, Date& fd)
{
    switch (letter) {
    case 'Y': fd.year = v; break;
    case 'y': fd.year = v > 49 ? 1900 + v : 2000 + v; break;
    case 'm':
    case 'b': fd.month = v; break;
    case 'd': fd.day = v; break;
    case 'j': {
        int month = 0, day = 0;
        DATE_julian_monday(fd.year, v, &month, &day);
        fd.month = month;
        fd.day = day;
        fd.jday = v;
        break;
    }
    case 'h': fd.hour = v; break;
    case 'n': fd.min = v; break;
    default: break;
    }
}

bool NameMatcher::date_item(const Item& it)
{
    std::size_t width = 2;
    if (it.c == 'Y') width = 4;
    if (it.c == 'j' || it.c == 'b') width = 3;
    int v = 0;
    const bool ok = it.c == 'b' ? take_month_name(name_, v) : take_digits(name_, width, v);
    if (!ok) return copy_rest();
    out_ += name_.substr(0, width);
    name_.remove_prefix(width);
    store_read(it.c, v, file_date);
    ++dates_read_;
    // The step of a name read back is the step its template expands with.
    if (it.c == 'd' || it.c == 'j') steps_.add(day_field(0, set.day, it.n));
    if (it.c == 'h') steps_.add(clock_field(0, set.hour, it.n, SECS_HOUR));
    if (it.c == 'n') steps_.add(clock_field(0, set.min, it.n, SECS_MIN));
    state_ = MatchState::DateField;
    return true;
}

bool is_separator(char c)
{
    return c == '/' || c == ':' || c == '\\';
}

void NameMatcher::path_item(const Item& it)
{
    state_ = MatchState::PathPart;
    if (!full_) {
        append_dir(out_, path_dir(it.c), tmpl_);
        return;
    }
    // A full-path name keeps its own directory: all of it but the parts
    // that the rest of the template names.
    int k = next_is_slash(tmpl_) ? 0 : 1;
    for (char c : tmpl_) k += is_separator(c) ? 1 : 0;
    std::size_t keep = 0;
    for (std::size_t i = name_.size(); i-- > 0 && k > 0;) {
        if (is_separator(name_[i])) {
            keep = i + 1;
            --k;
        }
    }
    if (k > 0) keep = 0;
    out_ += name_.substr(0, keep);
    name_.remove_prefix(keep);
    if (keep > 0 && next_is_slash(tmpl_)) tmpl_.remove_prefix(1);
}

// The template text after %e up to its next field.
std::string_view following_text(std::string_view t)
{
    const std::size_t end = t.find_first_of("%{}* ");
    return t.substr(0, end);
}

bool NameMatcher::ext_item()
{
    const std::string_view follow = following_text(tmpl_);
    const std::size_t at = follow.empty() ? name_.size() : name_.find(follow);
    if (at == std::string_view::npos) return copy_rest();
    if (ext.empty()) {
        ext = name_.substr(0, at);
        out_ += ext;
    } else {
        out_ += ext;
    }
    name_.remove_prefix(at);
    return true;
}

bool NameMatcher::key_item(const Item& it)
{
    const std::string k = key_text(it);
    if (k.empty()) return copy_rest();
    out_ += k;
    name_.remove_prefix(std::min(k.size(), name_.size()));
    return true;
}

// "{...}": a literal path part of the template, up to "}" or a field.
void NameMatcher::path_part()
{
    const std::size_t end = tmpl_.find_first_of("}%");
    out_ += tmpl_.substr(0, end);
    if (end == std::string_view::npos) {
        tmpl_ = {};
        return;
    }
    tmpl_.remove_prefix(end);
    if (tmpl_.front() == '}') {
        tmpl_.remove_prefix(1);
        state_ = MatchState::PathPart;
    }
}

bool NameMatcher::literal(char c)
{
    if (!name_.empty() && name_.front() == c) {
        out_ += c;
        name_.remove_prefix(1);
        if (name_.empty()) state_ = MatchState::NameUsed;
        return true;
    }
    const bool past_date = state_ == MatchState::DateField || state_ == MatchState::NameUsed;
    if (!name_.empty() && (past_date || state_ == MatchState::Start)) return copy_rest();
    // The template completes the name; a bare name is overwritten in place.
    out_ += c;
    if (!name_.empty() && (past_date || bare_)) name_.remove_prefix(1);
    return true;
}

bool is_current_text(std::string_view text)
{
    return starts_nocase(text, "la") || starts_nocase(text, "cu") ||
           (!text.empty() && text[0] == '#');
}

// Date digits after "#": a 4-digit year, then month, day, hour and minute of
// 2 digits each, as far as digits follow. Stores the fields read; *whole
// becomes false when a field is cut short. The text after the digits.
std::string_view read_hash_date(std::string_view s, Date& d, bool* whole = nullptr)
{
    int* fields[] = {&d.year, &d.month, &d.day, &d.hour, &d.min};
    for (int i = 0; i < 5; ++i) {
        const std::size_t width = i == 0 ? 4 : 2;
        std::size_t n = 0;
        int v = 0;
        while (n < width && n < s.size() && is_digit(s[n])) v = v * 10 + (s[n++] - '0');
        if (n == 0) break;
        if (n < width && whole) *whole = false;
        *fields[i] = v;
        s.remove_prefix(n);
    }
    return s;
}

// A "#" date that exists: a whole year, whole fields after it, nothing
// else, and every field within its calendar. False with the fault in why.
bool hash_date_exists(std::string_view digits, Date& d, char (&why)[64])
{
    Date given = unset_date;
    bool whole = true;
    const std::string_view rest = read_hash_date(digits, given, &whole);
    if (given.year == VOK_MISSING) {
        std::snprintf(why, sizeof why, "no year after \"#\"");
    } else if (!whole) {
        std::snprintf(why, sizeof why, "a field cut short");
    } else if (!rest.empty()) {
        std::snprintf(why, sizeof why, "\"%.20s\" after the date", std::string(rest).c_str());
    } else if (FILE_check_date(&given, why, static_cast<int>(sizeof why)) != 1) {
        // why says which field
    } else {
        for (int Date::*f : {&Date::year, &Date::month, &Date::day, &Date::hour, &Date::min})
            if (given.*f != VOK_MISSING) d.*f = given.*f;
        return true;
    }
    return false;
}

// The date read from a given name: every date field of the template, read
// whole and within its calendar, or none of them. A name the template fits
// only in part ("72518" read as the year 7251) gives no date of its own,
// and the set time stands.
void check_read_date(const NameMatcher& m, const std::string& given)
{
    if (m.dates_read() == 0) return;
    char why[64] = "";
    // A field whose set value is a step (negative) is named by its step, and
    // a month or day rounded down to a multiple of N may be 0 (day 0 is the
    // last day of the month before): only the fields' upper bounds can fail.
    Date read = file_date;
    for (int Date::*f : {&Date::day, &Date::hour, &Date::min})
        if (set.*f != VOK_MISSING && set.*f < 0) read.*f = VOK_MISSING;
    for (int Date::*f : {&Date::month, &Date::day})
        if (read.*f == 0) read.*f = VOK_MISSING;
    if (m.dates_read() < m.dates_wanted()) {
        MESS_print(M_DEBUG & M_SUB_C, "FILES: no whole date in %s\n", given.c_str());
    } else if (FILE_check_date(&read, why, static_cast<int>(sizeof why)) != 1) {
        MESS_print(M_WARN, "FILE_set_file: Invalid date in file name: %s (%s)\n", given.c_str(), why);
    } else {
        return;
    }
    file_date = set;
}

} // namespace

int FILE_set_file(const char* given_text, char* name)
{
    if (!name) return -1;
    std::string text = given_text ? given_text : "";
    if (!fits(text)) {
        refuse("FILE_set_file", text);
        name[0] = '\0';
        return -1;
    }
    unset_date_fields(file_date);
    // "name#yyyymmddhhmm" fixes the date; a current-time text keeps its "#".
    // A date that does not exist fixes nothing: the name is refused.
    const std::size_t hash = text.find('#', 1);
    if (hash != std::string::npos && !is_current_text(text)) {
        char why[64] = "";
        if (!hash_date_exists(std::string_view(text).substr(hash + 1), set, why)) {
            MESS_print(M_WARN, "FILE_set_file: Invalid date in file name: %s (%s)\n", text.c_str(), why);
            name[0] = '\0';
            return -1;
        }
        text.resize(hash);
    }
    file_date = set;
    // A name is a name: "exit" ends the program only when typed at the
    // prompt, never as a file given on the command line.
    const std::string& t = header ? hconv : conv;
    if (text[0] == '@') {
        filename_type = 1;
        put_name(std::string_view(text).substr(1), name);
    } else if (FILE_is_stdio(text.c_str()) || (!t.empty() && FILE_is_stdio(t.c_str()))) {
        put_name("-", name);
    } else if (t.empty()) {
        put_name(text, name);
        filename = text;
        filename_type = 1;
    } else if (is_current_text(text)) {
        FILE_set_current(starts_nocase(text, "cu") ? text.c_str() + 2 : text.c_str(), name);
        if (name[0] == '\0') return -1;   // refused
        MESS_print(M_MESS, "Current filename: %s\n", name);
    } else if (stricmp(text.c_str(), "none") == 0 ||
               (FILE_fullpath(t.c_str()) && FILE_fullpath(text.c_str()))) {
        put_name(text, name);
    } else {
        NameMatcher matcher(t, text);
        const std::string out = matcher.run();
        check_read_date(matcher, text);
        if (!put_name(out, name)) {
            refuse("FILE_set_file", out);
            return -1;
        }
    }
    return 0;
}

// ---------------------------------------------------------------- choosing by the current time
// "[#date][[+-]offset][la[#tries]][[+-]offset]": a reference time (a given
// date, the "vokcurtime" clock or the system clock) fitted to the set time,
// moved by offsets, and the newest usable file searched backwards from it.

namespace {

constexpr int LATEST_TRIES = 500;
// Offsets and counts beyond this are taken as this: far enough for any real
// use, and no product of them overflows 64-bit seconds.
constexpr long long NUMBER_LIMIT = 100000000;

// "%d": an optional sign and digits.
bool read_number(std::string_view& s, long long& value)
{
    std::size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (i >= s.size() || !is_digit(s[i])) return false;
    const bool neg = s[0] == '-';
    long long v = 0;
    for (; i < s.size() && is_digit(s[i]); ++i) v = std::min(v * 10 + (s[i] - '0'), NUMBER_LIMIT);
    value = neg ? -v : v;
    s.remove_prefix(i);
    return true;
}

bool read_char(std::string_view& s, char c)
{
    if (s.empty() || s.front() != c) return false;
    s.remove_prefix(1);
    return true;
}

Date zero_date()
{
    Date d = unset_date;
    d.year = d.month = d.day = d.hour = d.min = d.sec = 0;
    return d;
}

// A "#" date of the current-time text or of vokcurtime, whole and within
// its calendar; the fields it does not give are 0 (a missing day is day 0,
// the last day of the month before). The text after its digits.
bool current_date(std::string_view& s, std::int64_t& t, char (&why)[64])
{
    Date given = unset_date;
    bool whole = true;
    const std::string_view rest = read_hash_date(s, given, &whole);
    if (given.year == VOK_MISSING) {
        std::snprintf(why, sizeof why, "no year after \"#\"");
        return false;
    }
    if (!whole) {
        std::snprintf(why, sizeof why, "a field cut short");
        return false;
    }
    if (FILE_check_date(&given, why, static_cast<int>(sizeof why)) != 1) return false;
    Date d = zero_date();
    read_hash_date(s, d);
    s = rest;
    t = DATE_num_sec(&d);
    return true;
}

// The reference time: a "#" date of the text, else the vokcurtime clock,
// else the system clock. False, with the fault in why, for a date that does
// not exist.
bool reference_time(std::string_view& s, std::int64_t& t, char (&why)[64])
{
    if (read_char(s, '#')) return current_date(s, t, why);
    if (const char* env = std::getenv("vokcurtime")) {
        std::string_view e(env);
        read_char(e, '#');
        if (!e.empty() && is_digit(e.front())) {
            char inner[64] = "";
            if (current_date(e, t, inner) && e.empty()) return true;
            std::snprintf(why, sizeof why, "vokcurtime %.12s: %.32s", env, inner[0] ? inner : "text after the date");
            return false;
        }
    }
    t = DATE_get_time(nullptr);
    return true;
}

// The reference time moved back to the latest time that has the fields the
// user fixed (the set time): each fixed field takes its set value, and the
// next larger field goes back by one when that moves the time forward.
std::int64_t fit_to_set(std::int64_t t)
{
    Date d;
    if (DATE_get_gmdate(&t, &d) != 0) return t;
    if (set.month >= 0) {
        if (d.month < set.month) --d.year;
        d.month = set.month;
    }
    if (set.day >= 0) {
        if (d.day < set.day && --d.month < 1) {
            d.month = 12;
            --d.year;
        }
        d.day = set.day;
    }
    std::int64_t secs = DATE_num_sec(&d);
    if (set.hour >= 0) {
        if (d.hour < set.hour) secs -= SECS_DAY;
        secs += (set.hour - d.hour) * SECS_HOUR;
        if (DATE_get_gmdate(&secs, &d) != 0) return secs;
    }
    if (set.min >= 0) {
        if (d.min < set.min) secs -= SECS_HOUR;
        secs += (set.min - d.min) * SECS_MIN;
    }
    return secs;
}

// "+" later, "-" earlier; no sign is earlier.
int read_sign(std::string_view& s)
{
    if (read_char(s, '+')) return 1;
    read_char(s, '-');
    return -1;
}

// An offset of days, hours and minutes ("1d6:30", "-12", "6:30"); false
// when no digit follows. Prints the trace under the given tag.
bool apply_offset(std::string_view& s, int sign, std::int64_t& t, const char* tag)
{
    if (s.empty() || !is_digit(s.front())) return false;
    long long days = 0, hours = 0, mins = 0;
    std::string_view r = s;
    std::size_t used = 0;   // as far as the last complete piece
    const bool with_days = s.find('d') != std::string_view::npos;
    if (with_days && read_number(r, days) && read_char(r, 'd')) {
        used = s.size() - r.size();
        if (read_number(r, hours)) {
            used = s.size() - r.size();
            if (read_char(r, ':') && read_number(r, mins)) used = s.size() - r.size();
        }
    } else if (!with_days && read_number(r, hours)) {
        used = s.size() - r.size();
        if (read_char(r, ':') && read_number(r, mins)) used = s.size() - r.size();
    }
    s.remove_prefix(used);
    t += sign * (days * SECS_DAY + hours * SECS_HOUR + mins * SECS_MIN);
    MESS_print(M_DEBUG, "%s:%lld %lld %lld %lld\n", tag, static_cast<long long>(t), days, hours,
               mins);
    return true;
}

bool listed_latest(std::int64_t start, int sign, std::int64_t& t);

// The newest file at or before t (after it with a "+") larger than
// min_size, one template step at a time.
void latest_search(std::string_view& s, int sign, std::int64_t& t, char* name)
{
    s.remove_prefix(1);
    if (!s.empty() && (s.front() == 'a' || s.front() == 'A')) s.remove_prefix(1);
    long long tries = LATEST_TRIES;
    const bool counted = !s.empty() && s.front() == '#';
    if (read_char(s, '#')) {
        tries = 0;
        while (!s.empty() && is_digit(s.front())) {
            tries = std::min(tries * 10 + (s.front() - '0'), NUMBER_LIMIT);
            s.remove_prefix(1);
        }
    }
    const std::int64_t start = t;
    bool found = false;
    for (long long i = 0; i < tries; ++i) {
        Date d;
        if (DATE_get_gmdate(&t, &d) != 0) break;
        MESS_print(M_DEBUG, "LATE:%d %d %d %d %d\n", d.year, d.month, d.day, d.hour, d.min);
        const int built = FILE_set_date(&d, name);
        MESS_print(M_DEBUG, "LATE: %s\n", name);
        if (FILE_size(name) > min_size) {
            found = true;
            break;
        }
        // A name without a date field is the same at every step.
        if (built != 0 || late_off <= 0) break;
        t += sign * static_cast<std::int64_t>(late_off);
    }
    // The newest file may lie further back than the tries reach (a
    // directory of archived feed, a sample kept for years): unless the
    // tries were counted out by the user, the files that the template
    // names in its directory are looked at.
    if (!found && !counted && listed_latest(start, sign, t)) {
        MESS_print(M_DEBUG, "LATE: listed %lld\n", static_cast<long long>(t));
    }
    MESS_print(M_DEBUG, "LATEST: %s %s %lld\n", std::string(s).c_str(), name,
               static_cast<long long>(t));
}

std::int64_t floor_multiple(std::int64_t t, std::int64_t step)
{
    if (step <= 0) return t;
    std::int64_t r = t % step;
    if (r < 0) r += step;
    return t - r;
}

} // namespace

std::int64_t FILE_set_current(const char* text, char* name)
{
    char local[VOK_NAME_LEN];
    if (!name) name = local;
    name[0] = '\0';
    if (!text) text = "la";
    std::string_view s = text;
    filename_type = 0;
    std::int64_t t = 0;
    char why[64] = "";
    const bool known = reference_time(s, t, why);
    if (known) t = fit_to_set(t);

    int sign = read_sign(s);
    if (known && apply_offset(s, sign, t, "CUR1")) {
        MESS_print(M_DEBUG, "CUR1:%s %lld\n", std::string(s).c_str(), static_cast<long long>(t));
        sign = read_sign(s);   // the first sign is used up
    }
    if (known && !s.empty() && (s.front() == 'l' || s.front() == 'L')) {
        latest_search(s, sign, t, name);
        sign = read_sign(s);
    }
    if (known && apply_offset(s, sign, t, "CUR2")) {
        MESS_print(M_DEBUG, "CUR2:%lld\n", static_cast<long long>(t));
    }
    // A time that does not exist, or text the grammar does not know, names
    // no file: the caller finds no name and no date.
    if (known && !s.empty()) std::snprintf(why, sizeof why, "\"%.20s\" not understood", std::string(s).c_str());
    if (!known || !s.empty()) {
        MESS_print(M_WARN, "FILE_set_current: Invalid current time: %s (%s)\n", text, why);
        name[0] = '\0';
        filename.clear();
        unset_date_fields(file_date);
        return 0;
    }
    Date d;
    if (DATE_get_gmdate(&t, &d) != 0) d = zero_date();
    MESS_print(M_DEBUG, "%d %d %d %d\n", d.year, d.day, d.hour, d.min);
    FILE_set_date(&d, name);
    return floor_multiple(t, late_off);
}

// ---------------------------------------------------------------- the input file
// The input comes from the command line's file names, the current time, or
// the user's answer to a prompt.

namespace {

// Shell word for the listing: the template's wildcards stand as they are,
// every other character (directories, keys, the extension, resource values,
// literal text) is quoted, so no value can become a command. The same
// pattern for glob(), with the literal text's wildcard characters escaped.
class ShellPattern {
public:
    explicit ShellPattern(bool shell) : shell_(shell) {}
    void literal(std::string_view text) { pending_ += text; }
    void glob(std::string_view wild)
    {
        flush();
        word_ += wild;
    }
    std::string take()
    {
        flush();
        return word_;
    }

private:
    void flush()
    {
        if (pending_.empty()) return;
        if (!shell_) {
            for (char c : pending_) {
                if (c == '*' || c == '?' || c == '[' || c == '\\') word_ += '\\';
                word_ += c;
            }
        } else {
            word_ += '\'';
            for (char c : pending_) {
                if (c == '\'') word_ += "'\\''";
                else word_ += c;
            }
            word_ += '\'';
        }
        pending_.clear();
    }
    bool shell_;
    std::string pending_;
    std::string word_;
};

void list_date(ShellPattern& p, char letter)
{
    switch (letter) {
    case 'Y': p.glob("?[0-9]??"); break;
    case 'b': p.glob("?[a-z]?"); break;
    case 'j': p.glob("?[0-9]?"); break;
    default: p.glob("[0-9]?"); break;
    }
}

void list_key(ShellPattern& p, const Item& it)
{
    const std::string k = key_text(it);
    if (!k.empty()) {
        p.literal(k);
    } else if (!it.n_given) {
        p.glob("*");
    } else {
        p.glob(std::string(std::min<std::size_t>(static_cast<std::size_t>(it.n), NAME_CHARS), '?'));
    }
}

std::string list_pattern(std::string_view t, bool shell = true)
{
    ShellPattern p(shell);
    while (!t.empty()) {
        const Item it = next_item(t);
        switch (it.kind) {
        case ItemKind::Literal: p.literal(std::string_view(&it.c, 1)); break;
        case ItemKind::Star: p.glob("*"); break;
        case ItemKind::PathOpen:
        case ItemKind::PathClose: break;
        case ItemKind::Date: list_date(p, it.c); break;
        case ItemKind::Ext:
            if (ext.empty()) p.glob("*");
            else p.literal(ext);
            break;
        case ItemKind::Path: {
            std::string dir;
            append_dir(dir, expand_user_path(path_dir(it.c).c_str()), t);
            p.literal(dir);
            break;
        }
        case ItemKind::Resource:
            if (const char* v = RES_get(std::string(it.name).c_str())) p.literal(v);
            break;
        case ItemKind::Key: list_key(p, it); break;
        }
    }
    return p.take();
}

// The time of a listed file: the date that the template reads from its
// name, when every date field is there and the template names the file
// the same way for that date. False for any other file.
bool listed_time(const char* path, std::int64_t& t)
{
    file_date = unset_date;
    NameMatcher m(conv, path);
    m.run();
    if (m.dates_wanted() == 0 || m.dates_read() < m.dates_wanted() ||
        FILE_check_date(&file_date, nullptr, 0) != 1)
        return false;
    Date d = file_date;
    if (d.year == VOK_MISSING) return false;
    const std::int64_t secs = DATE_num_sec(&d);
    Date back;
    if (DATE_get_gmdate(&secs, &back) != 0 || expand_user_path(expand(conv, back, nullptr).c_str()) != path)
        return false;
    t = secs;
    return true;
}

bool listed_latest(std::int64_t start, int sign, std::int64_t& t)
{
    const std::string pattern = list_pattern(conv, false);
    glob_t g{};
    const int rc = glob(pattern.c_str(), 0, nullptr, &g);
    const Date keep_date = file_date;
    const int keep_off = late_off;
    bool found = false;
    std::int64_t best = 0;
    for (std::size_t i = 0; rc == 0 && i < g.gl_pathc; ++i) {
        const char* path = g.gl_pathv[i];
        std::int64_t secs = 0;
        if (FILE_size(path) <= min_size || !listed_time(path, secs)) continue;
        if (sign < 0 ? secs > start : secs < start) continue;
        if (!found || (sign < 0 ? secs > best : secs < best)) best = secs;
        found = true;
    }
    globfree(&g);
    file_date = keep_date;
    late_off = keep_off;
    if (found) t = best;
    return found;
}

// A name chosen by the current time; false when it was refused (too long).
bool choose_current(const char* text)
{
    char name[VOK_NAME_LEN];
    FILE_set_current(text, name);
    if (name[0] == '\0') return false;
    MESS_print(M_MESS, "Current filename: %s\n", filename.c_str());
    return true;
}

// A given name read against the template into filename; false when refused.
bool choose_given(const char* text)
{
    char name[VOK_NAME_LEN];
    const bool ok = FILE_set_file(text, name) == 0;
    filename = ok ? name : "";
    return ok;
}

enum class Answer { List, Refused, Chosen };

// The answer typed at the prompt.
Answer take_answer(const char* answer)
{
    filename_type = 1;
    if (stricmp(answer, "exit") == 0) VOK_exit(0);
    if (stricmp(answer, "list") == 0) return Answer::List;
    bool ok;
    if (answer[0] == '#' || starts_nocase(answer, "la")) ok = choose_current(answer);
    else if (starts_nocase(answer, "cu")) ok = choose_current(answer + 2);
    else ok = choose_given(answer);
    return ok ? Answer::Chosen : Answer::Refused;
}

} // namespace

int FILE_list_file()
{
    const std::string command = "ls -x " + list_pattern(header ? hconv : conv);
    MESS_print(M_DEBUG, "SEARCH: %s\n", command.c_str());
    std::fflush(nullptr);
    const int status = std::system(command.c_str());
    (void)status;   // the listing speaks for itself on the terminal
    return 0;
}

int FILE_get_file_only(const char* prompt, char* name)
{
    char** values = nullptr;
    const int count = RES_getvals("filename", &values);
    bool chosen;
    if (count > 0) {
        if (stricmp(values[0], "list") == 0) {
            free_parsed_array(count, values);
            FILE_list_file();
            VOK_exit(0);
        }
        chosen = choose_given(values[0]);
        free_parsed_array(count, values);
    } else if (const char* cur = RES_get("current"); cur || FLAG_batch() || !VOK_interactive()) {
        // Without a terminal nobody can answer: piped bulletins must never
        // be taken for a file name. The newest file, as in batch mode.
        char current[VOK_NAME_LEN];
        FILE_set_current(cur ? cur : "la", current);
        chosen = current[0] != '\0';
        if (chosen && FILE_exist(filename.c_str()))
            MESS_print(M_MESS, "Current filename: %s\n", filename.c_str());
    } else {
        char answer[80];
        Answer a;
        do {
            MESS_print(M_PRINT, "List of available files:\n");
            FILE_list_file();
            MESS_print(M_PRINT, "\n");
            answer[0] = '\0';
            VOK_prompts(prompt, answer, static_cast<int>(sizeof answer));
        } while ((a = take_answer(answer)) == Answer::List);
        chosen = a == Answer::Chosen;
    }
    if (name) put_name(filename, name);
    // A refused name is no file: it never falls back on standard input.
    return chosen && FILE_exist(filename.c_str()) ? 1 : 0;
}

// ---------------------------------------------------------------- runs of files
// The files of a run: the names given on the command line, or the names of
// the template from the first date over a span of hours ("num_hour",
// "hours[:minutes][,hours[:minutes]]" with an optional spacing).

namespace {

struct Run {
    std::vector<std::string> files;
    std::size_t file_ind = 0;
    Date first_date = unset_date;
    int num_hour = 0;          // span in seconds, negative: backwards
    int skip = 0;              // requested spacing in seconds
    int offset = 0;            // actual spacing in seconds
    long long secs = 0;        // start of the run, relative to first_date
    long long nsecs = 0;       // the next name, relative to first_date
};
Run run;
int def_hours = 0;   // span without "num_hour"

int clamp_seconds(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, -INT_MAX, INT_MAX));
}

// "hours:minutes" or ":minutes".
void read_span(std::string_view s, long long& hours, long long& mins)
{
    hours = 0;
    mins = 0;
    if (read_number(s, hours)) {
        if (read_char(s, ':')) read_number(s, mins);
    } else if (read_char(s, ':')) {
        read_number(s, mins);
    }
}

} // namespace

int FILE_num_hour()
{
    const char* text = RES_get("num_hour");
    if (!text) return def_hours;
    long long hours = 0, mins = 0;
    read_span(text, hours, mins);
    // "-0:30" runs half an hour backwards.
    if (hours < 0 || (hours == 0 && text[0] == '-')) mins = -std::llabs(mins);
    return clamp_seconds(hours * SECS_HOUR + mins * SECS_MIN);
}

int FILE_get_skip()
{
    const char* text = RES_get("num_hour");
    const char* comma = text ? std::strchr(text, ',') : nullptr;
    if (!comma) return late_off;
    long long hours = 0, mins = 0;
    read_span(comma + 1, hours, mins);
    return clamp_seconds(hours * SECS_HOUR + mins * SECS_MIN);
}

int FILE_set_date_off(const Date* date, int off, char* name)
{
    Date d = date ? *date : file_date;
    DATE_print(M_DEBUG, &d);
    const std::int64_t start = DATE_num_sec(&d);
    const std::int64_t t = start + off;
    Date moved;
    if (DATE_get_gmdate(&t, &moved) != 0) moved = d;
    MESS_print(M_DEBUG, "%lld %lld = %d %d %d %d\n", static_cast<long long>(start),
               static_cast<long long>(t), moved.year, moved.day, moved.hour, moved.min);
    FILE_set_date(&moved, name);
    return off / FILE_get_offset();
}

int FILE_first(const Date* date)
{
    run = Run{};
    char** values = nullptr;
    const int count = RES_getvals("filename", &values);
    if (count > 0 && !starts_nocase(values[0], "la") && !starts_nocase(values[0], "cu")) {
        run.files.assign(values, values + count);
    }
    free_parsed_array(count, values);
    run.first_date = date ? *date : file_date;
    run.num_hour = FILE_num_hour();
    run.skip = FILE_get_skip();
    run.offset = FILE_get_offset();
    // The spacing is the largest multiple of the template step not above
    // the one asked for.
    if (run.skip > 0 && run.skip >= run.offset) run.offset *= run.skip / run.offset;
    if (run.num_hour < 0) {
        const long long o = run.offset;
        run.secs = ((run.num_hour - o + 1) / o) * o;
    }
    run.nsecs = run.secs;
    return 0;
}

int FILE_get_next(char* name)
{
    if (!name) return 0;
    const bool list_mode = !run.files.empty() && !(run.files.size() == 1 && run.num_hour != 0);
    while (list_mode) {
        if (run.file_ind >= run.files.size()) return 0;
        // A listed name that is refused is passed over (it was reported).
        if (FILE_set_file(run.files[run.file_ind++].c_str(), name) == 0) return 1;
    }
    const bool past_end = run.num_hour < 0 ? run.nsecs > 0 : run.nsecs > run.num_hour;
    if (past_end) return 0;
    if (run.num_hour != 0) {
        MESS_print(M_DEBUG, " in: ");
        DATE_print(M_DEBUG, &run.first_date);
        const int r = FILE_set_date_off(&run.first_date, static_cast<int>(run.nsecs), name);
        MESS_print(M_DEBUG, "out: ");
        DATE_print(M_DEBUG, &file_date);
        MESS_print(M_DEBUG & M_SUB_C, "NEXT: %lld %d %d %d %d %s\n", run.nsecs, run.offset, run.skip,
                   run.num_hour, r, name);
    } else {
        put_name(filename, name);
    }
    run.nsecs += run.offset;
    return 1;
}

void FILE_clear_names()
{
    conv.clear();
    hconv.clear();
    ext.clear();
    min_size = 0;
    late_off = FIRST_LATE_OFF;
    filename.clear();
    filename_type = 0;
    for (auto& k : keys) k.clear();
    key_init = false;
    saved = Saved{};
    file_date = unset_date;
    run = Run{};
}
