// File selection of the file-name module: the file for the current time
// (or the newest one there is), the input file from the command line, the
// clock or the user's answer, the listing of the available files, and runs
// of consecutive files.
#include "vok.h"
#include "files_state.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <glob.h>

using namespace files_state;

// ---------------------------------------------------------------- choosing by the current time
// "[#date][[+-]offset][la[#tries]][[+-]offset]": a reference time (a given
// date, the "vokcurtime" clock or the system clock) fitted to the set time,
// moved by offsets, and the newest usable file searched backwards from it.

namespace {

constexpr int LATEST_TRIES = 500;
// What is wrong with a current-time text, for its message.
constexpr std::size_t WHY_LEN = 128;
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
bool current_date(std::string_view& s, std::int64_t& t, char* why, std::size_t len)
{
    Date given = unset_date;
    bool whole = true;
    const std::string_view rest = read_hash_date(s, given, &whole);
    if (given.year == VOK_MISSING) {
        std::snprintf(why, len, "no year after \"#\"");
        return false;
    }
    if (!whole) {
        std::snprintf(why, len, "a field cut short");
        return false;
    }
    if (FILE_check_date(&given, why, static_cast<int>(len)) != 1) return false;
    Date d = zero_date();
    read_hash_date(s, d);
    s = rest;
    t = DATE_num_sec(&d);
    return true;
}

// The reference time: a "#" date of the text, else the vokcurtime clock,
// else the system clock. False, with the fault in why, for a date that does
// not exist.
bool reference_time(std::string_view& s, std::int64_t& t, char (&why)[WHY_LEN])
{
    if (read_char(s, '#')) return current_date(s, t, why, sizeof why);
    if (const char* env = std::getenv("vokcurtime")) {
        std::string_view e(env);
        read_char(e, '#');
        if (!e.empty() && is_digit(e.front())) {
            char inner[64] = "";
            if (current_date(e, t, inner, sizeof inner) && e.empty()) return true;
            std::snprintf(why, sizeof why, "vokcurtime %.40s: %.60s", env,
                          inner[0] ? inner : "text after the date");
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
    char why[WHY_LEN] = "";
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
        if (FILE_size(path) <= min_size || !name_time(path, secs)) continue;
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
