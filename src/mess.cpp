// Messages: every line the program shows goes through MESS_print with a
// 32-bit mask of eight four-bit groups (print, error/warn, mess, out1..out4,
// debug); one process-wide level decides what is shown, where, and whether a
// log file and paging are in use.
#include "vok.h"

#include <climits>
#include <cstdarg>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr M_type INITIAL_LEVEL = M_PRINT | M_ERROR | M_WARN | M_MESS | M_OUT1 | M_OUT2;
constexpr int INITIAL_MAX_LINES = 22;
constexpr M_type ERROR_BITS = M_ERROR;
constexpr M_type WARN_BITS = M_WARN;

M_type mess_level = INITIAL_LEVEL;
int mess_set = 0;
// 1 terminal (and log file if open), 0 log file only, -1 time-stamped log
// and terminal, 2 log file reopened for every message and terminal.
int mess_out = 1;
// 0 off, 1 no counting, 2 prompt after max_lines newlines.
int page = 1;
int lines = 0;
int max_lines = INITIAL_MAX_LINES;
FILE* pfile = nullptr;
std::string pfile_name;   // how pfile was opened, so it is closed the right way
char filename[VOK_NAME_LEN] = "";

// Log files opened by the setting string; kept so that a test reset can
// close them (a running program keeps them open until it ends).
struct opened_log {
    FILE* fp;
    std::string name;
};
std::vector<opened_log> opened;

// Extend a mask downwards from its highest set bit, so that every level
// includes all lower ones.
M_type fill_mask(M_type mask)
{
    if (mask == 0) return 0;
    M_type top = mask;
    top |= top >> 1;
    top |= top >> 2;
    top |= top >> 4;
    top |= top >> 8;
    top |= top >> 16;
    return top;
}

void open_log(const char* name, const char* mode)
{
    FILE* fp = FILE_open(name, mode);
    pfile = fp;
    pfile_name = name;
    if (fp) opened.push_back({fp, name});
}

bool prefix(const char* item, const char* key)
{
    return strnicmp(item, key, static_cast<int>(std::strlen(key))) == 0;
}

struct level_word {
    const char* word;
    M_type mask;
};

constexpr level_word level_words[] = {
    {"none", 0},         {"print", M_PRINT}, {"error", M_ERROR},
    {"warn", M_WARN},    {"mess", M_MESS},   {"out1", M_OUT1},
    {"out2", M_OUT2},    {"out3", M_OUT3},   {"out4", M_OUT4},
    {"debug", M_DEBUG},
};

// Log file words: how the file is opened and where messages go after it.
struct log_word {
    const char* word;
    const char* mode;
    int out;
};

constexpr log_word log_words[] = {
    {"@fi", "a", -1},
    {"+fi", "a", 1},
    {"-fi", "w", 1},
};

void apply_item(const char* item)
{
    // Log files: the name follows "@fi=", "+fi=", "-fi=", "dfi=" or "fi=".
    std::size_t len = std::strlen(item);
    for (const auto& lw : log_words) {
        if (!prefix(item, lw.word)) continue;
        open_log(len > 4 ? item + 4 : "", lw.mode);
        mess_out = lw.out;
        return;
    }
    if (prefix(item, "dfi")) {
        // The name is reopened for every message; one that does not fit the
        // name buffer is refused rather than cut into a different file name.
        const char* name = len > 4 ? item + 4 : "";
        if (std::strlen(name) < sizeof filename) {
            std::snprintf(filename, sizeof filename, "%s", name);
        } else {
            filename[0] = '\0';
        }
        mess_out = 2;
        return;
    }
    if (prefix(item, "fi")) {
        open_log(len > 3 ? item + 3 : "", "a");
        mess_out = 0;
        return;
    }
    if (stricmp(item, "nopage") == 0) {
        page = 0;
        return;
    }
    if (stricmp(item, "page") == 0) {
        page = 2;
        return;
    }
    if (prefix(item, "line")) {
        long n = len > 5 ? std::strtol(item + 5, nullptr, 10) : 0;
        if (n > INT_MAX) n = INT_MAX;
        max_lines = n <= 0 ? INITIAL_MAX_LINES : static_cast<int>(n);
        return;
    }

    int sign = 0;
    const char* word = item;
    if (*word == '+') {
        sign = 1;
        ++word;
    } else if (*word == '-') {
        sign = -1;
        ++word;
    }
    M_type mask = 0;
    for (const auto& lw : level_words) {
        if (prefix(word, lw.word)) mask = lw.mask;
    }
    // A lower-case sub-level letter at the end keeps that sub-level only.
    std::size_t wlen = std::strlen(word);
    if (wlen > 0) {
        switch (word[wlen - 1]) {
        case 'a': mask &= M_SUB_A; break;
        case 'b': mask &= M_SUB_B; break;
        case 'c': mask &= M_SUB_C; break;
        case 'd': mask &= M_SUB_D; break;
        default: break;
        }
    }
    if (sign > 0) {
        mess_level |= mask;
    } else if (sign < 0) {
        mess_level &= ~mask;
    } else {
        mess_level = fill_mask(mask);
    }
}

int count_newlines(const char* text)
{
    int n = 0;
    for (; *text; ++text) {
        if (*text == '\n') ++n;
    }
    return n;
}

} // namespace

const M_type& MESS_level_now = mess_level;

int MESS_check(M_type type)
{
    return (type & mess_level) != 0 ? 1 : 0;
}

int MESS_check_set()
{
    return mess_set;
}

M_type MESS_get_level()
{
    return mess_level;
}

int MESS_set(int oper, M_type mask)
{
    if (oper <= 4) ++mess_set;
    if (oper >= 16 && mess_set != 0) return 0;
    switch (oper) {
    case 0:
    case 10:
    case 20:
        mess_level = fill_mask(mask);
        break;
    case 1:
    case 11:
    case 21:
        mess_level |= mask;
        break;
    case -1:
    case 9:
    case 19:
        mess_level &= ~mask;
        break;
    default:
        break;
    }
    return 0;
}

int MESS_set_str(const char* str)
{
    ++mess_set;
    if (!str) return 0;
    int count = 0;
    char** items = nullptr;
    if (parse_string(str, ',', &count, &items) != 0) return 0;
    for (int i = 0; i < count; ++i) apply_item(items[i]);
    free_parsed_array(count, items);
    return 0;
}

int MESS_hold(M_type type, const char* prompt)
{
    if (!MESS_check(type) || mess_out == 0 || FLAG_batch() || page == 0) return 0;
    FILE* out = ((type & ERROR_BITS) && (type & WARN_BITS)) ? stderr : stdout;
    if (prompt) std::fputs(prompt, out);
    std::fflush(out);
    // Wait for the return key; the rest of a typed line is not left for the
    // next prompt, and the end of input counts as return.
    int c;
    do {
        c = std::getchar();
    } while (c != '\n' && c != EOF);
    lines = 0;
    return 0;
}

int MESS_print(M_type type, const char* format, ...)
{
    if (!MESS_check(type) || !format) return 0;

    bool close_after = false;
    if (mess_out == 2) {
        pfile = filename[0] ? FILE_open(filename, "a") : nullptr;
        pfile_name = filename;
        close_after = pfile != nullptr;
    }
    va_list args;
    va_start(args, format);
    if (pfile) {
        if (mess_out == -1) {
            char stamp[DATE_LABEL_LEN];
            DATE_get_current_str(stamp, sizeof stamp);
            std::fprintf(pfile, "%s -- ", stamp);
        }
        va_list copy;
        va_copy(copy, args);
        std::vfprintf(pfile, format, copy);
        va_end(copy);
        std::fflush(pfile);
    }
    if (close_after) {
        FILE_close(pfile, pfile_name.c_str());
        pfile = nullptr;
    }
    if (mess_out == 0) {
        va_end(args);
        return 0;
    }
    FILE* out = (type & (ERROR_BITS | WARN_BITS)) ? stderr : stdout;
    std::vfprintf(out, format, args);
    va_end(args);
    if (page == 2) {
        lines += count_newlines(format);
        if (lines > max_lines) MESS_hold(type, "Press return to continue\n");
    }
    return 1;
}

int MESS_print_prog(const char* title)
{
    MESS_print(M_MESS, "      %s (Ver %s)\n\n", title ? title : "", VOK_version());
    return 0;
}

void MESS_reset()
{
    for (auto& log : opened) {
        if (log.fp) FILE_close(log.fp, log.name.c_str());
    }
    opened.clear();
    mess_level = INITIAL_LEVEL;
    mess_set = 0;
    mess_out = 1;
    page = 1;
    lines = 0;
    max_lines = INITIAL_MAX_LINES;
    pfile = nullptr;
    pfile_name.clear();
    filename[0] = '\0';
}
