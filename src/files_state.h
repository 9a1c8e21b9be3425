// The state of the file-name module and the helpers its three source files
// share: files.cpp (paths, file checks, the set time, name conventions),
// files_template.cpp (templates and the reading of given names) and
// files_select.cpp (the current time, the input file, runs of files). Other
// modules use the FILE_ interfaces of vok.h, never this.
#pragma once

#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vok.h"

namespace files_state {

// Every name held fits a VOK_NAME_LEN buffer.
inline constexpr std::size_t NAME_CHARS = VOK_NAME_LEN - 1;
inline constexpr int FIRST_LATE_OFF = 3600;
inline constexpr Date unset_date = {VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING,
                                    VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING};
inline constexpr long long SECS_DAY = 86400;
inline constexpr long long SECS_HOUR = 3600;
inline constexpr long long SECS_MIN = 60;

// ---- state (files.cpp)
extern Date set;                  // the set time: fields the user fixed
extern std::string conv;          // template of the current type; empty: no convention
extern std::string hconv;         // template of the type's header file
extern std::string ext;           // extension taken from the type on a partial match
extern int min_size;              // a usable file is larger than this
extern int late_off;              // seconds between two consecutive names
extern std::string filename;      // the current file name
extern int filename_type;         // 1: filename was given explicitly
extern std::array<std::string, 256> keys;  // template keys by letter
extern bool key_init;
struct Saved {
    int late_off = FIRST_LATE_OFF;
    std::string conv, hconv, filename;
    int filename_type = 0;
};
extern Saved saved;               // what FILE_save_name_conv kept
extern Date file_date;            // the date the current name stands for
extern bool header;               // a header file name is being built (never here)

// ---- helpers (files.cpp)
// Home-directory expansion without a length limit; an unknown user leaves
// the name as it is.
std::string expand_user_path(const char* name);
// Year, month, day, hour and minute unset; day of year, weekday and second
// stay as they are.
void unset_date_fields(Date& date);
bool fits(std::string_view name);
// Warning for a name that does not fit its buffer.
void refuse(const char* func, std::string_view name);
// Copies a name that fits into out (VOK_NAME_LEN); else out is emptied.
bool put_name(std::string_view name, char* out);

inline bool starts_nocase(std::string_view text, std::string_view word)
{
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    }
    return true;
}

inline bool equal_nocase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && starts_nocase(a, b);
}

inline bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// ---- templates (files_template.cpp)
enum class ItemKind { Literal, Date, Path, Ext, Resource, Key, Star, PathOpen, PathClose };

// One item of a template: a character, or "%" [N] and a letter.
struct Item {
    ItemKind kind = ItemKind::Literal;
    char c = 0;              // the literal character or the letter after "%"
    int n = 1;               // N, 1 when not written
    bool n_given = false;
    std::string_view name;   // resource name of %{name}
};

// The next item of a template; t must not be empty.
Item next_item(std::string_view& t);
// The text of a key item (cut to N when N was written).
std::string key_text(const Item& it);
// The directory a path letter stands for: the resource's value, "." when it
// is not set, nothing for "none".
std::string path_dir(char letter);
// A directory and its one "/" (the template's own "/" after the letter is
// taken for it); no directory, no "/".
void append_dir(std::string& out, std::string_view dir, std::string_view& t);
// Date digits after "#": a 4-digit year, then month, day, hour and minute
// of 2 digits each, as far as digits follow, into d; *whole (when given)
// becomes false when a field is cut short. The text after the digits.
std::string_view read_hash_date(std::string_view s, Date& d, bool* whole = nullptr);
// The time of an existing file of the current template: the date read from
// its name, when every date field is there and can be, and the template
// names the file the same way for that date. False for any other file.
bool name_time(const char* path, std::int64_t& t);

}  // namespace files_state
