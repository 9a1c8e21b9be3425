// File name templates of the file-name module: the expansion of a template
// for a date, and the reading of a given name against it (the date fields
// read out of it, directories put in front of it).
#include "vok.h"
#include "files_state.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

using namespace files_state;

// ---------------------------------------------------------------- templates
// A template is copied into the name character by character; "%" [N] letter
// stands for a date field, a directory, the extension, a resource ("%{name}")
// or a key. A blank stands for "_", "{" and "}" enclose a literal path part.

namespace {

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

} // namespace

namespace files_state {

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

} // namespace files_state

namespace {

bool next_is_slash(std::string_view t)
{
    return !t.empty() && t.front() == '/';
}

} // namespace

namespace files_state {

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

} // namespace files_state

namespace {

// ---- date fields

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

} // namespace

namespace files_state {

std::string key_text(const Item& it)
{
    const std::string& k = keys[static_cast<unsigned char>(it.c)];
    return it.n_given ? k.substr(0, static_cast<std::size_t>(it.n)) : k;
}

} // namespace files_state

namespace {

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

} // namespace

namespace files_state {

// Date digits after "#": a 4-digit year, then month, day, hour and minute of
// 2 digits each, as far as digits follow. Stores the fields read; *whole
// becomes false when a field is cut short. The text after the digits.
std::string_view read_hash_date(std::string_view s, Date& d, bool* whole)
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

} // namespace files_state

namespace {

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

namespace files_state {

// The time of a listed file: the date that the template reads from its
// name, when every date field is there and the template names the file
// the same way for that date. False for any other file.
bool name_time(const char* path, std::int64_t& t)
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

} // namespace files_state
