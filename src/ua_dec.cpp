// Raw upper-air bulletins to reports: the bulletin reader cuts a feed into
// single report parts, the decoders read the TEMP and PILOT code groups of
// each part into the station's report record.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "vok.h"
#include "vokupa.h"

// ================================================================ bulletin reader

const char* const type_str[UPA_NUM_KINDS] = {
    "TTAA", "TTBB", "TTCC", "TTDD", "PPAA", "PPBB", "PPDD", "UUAA", "UUBB",
    "UUCC", "UUDD", "IIAA", "IIBB", "IICC", "IIDD", "EEBB", "EEDD", "UNK",
};

namespace {

constexpr M_type RAW_DEBUG = 0x80000000;
constexpr M_type RAW_DATA = 0x4000000;

// Feeds put whole soundings on one physical line (over 1,200 characters in
// real bulletins). A line is kept in one piece, so no group is ever split
// where a fixed-size read would have cut it; what lies beyond this length
// can never reach a report of UPA_RAW_MAX characters anyway, except its last
// character, which tells whether the line ends the report.
constexpr int RAW_LINE_MAX = 2048;
constexpr int RAW_WORD_MAX = 25;

// The first two words of a line (at most RAW_WORD_MAX characters kept of
// each) and the position after each word and its trailing blanks.
struct RawWords {
    char w[2][RAW_WORD_MAX + 1];
    int len[2];
    int end[2];
    int n;
};

}  // namespace

// The current line, cleaned and without trailing blanks; one that ended a
// report without being used is the first line of the next call, even when
// that call reads another file.
static char line[RAW_LINE_MAX + 1];
// Part identifier seen last and not yet used by a report.
static int rep_type = UPA_NO_KIND;

void UPA_read_raw_reset()
{
    line[0] = '\0';
    rep_type = UPA_NO_KIND;
}

namespace {

// Next physical line into `line`; its length, or -1 at the end of the file
// (the line is then empty).
int raw_next_line(FILE* ifile)
{
    const int k = fgetnline(ifile, line, RAW_LINE_MAX);
    if (k < 0) {
        line[0] = '\0';
        return -1;
    }
    if (k == RAW_LINE_MAX) {
        // Skip the rest of an over-long line, remembering its last visible
        // character ("=" or ";" ends the report). The newline stays in the
        // stream as fgetnline expects it.
        int c;
        int last = 0;
        while ((c = getc_unlocked(ifile)) != EOF && c != '\n')
            if (c > ' ' && c < 0x80) last = c;
        if (c == '\n') ungetc(c, ifile);
        if (last) line[RAW_LINE_MAX - 1] = static_cast<char>(last);
    }
    clean_line(line);
    trim_string(line);
    return static_cast<int>(std::strlen(line));
}

void raw_split(const char* s, int pos, RawWords& w)
{
    w.n = 0;
    w.w[0][0] = w.w[1][0] = '\0';
    w.len[0] = w.len[1] = 0;
    w.end[0] = w.end[1] = pos;
    for (int k = 0; k < 2; ++k) {
        while (s[pos] == ' ') ++pos;
        if (!s[pos]) break;
        const int start = pos;
        while (s[pos] && s[pos] != ' ') ++pos;
        const int n = std::min(pos - start, RAW_WORD_MAX);
        std::memcpy(w.w[k], s + start, static_cast<std::size_t>(n));
        w.w[k][n] = '\0';
        w.len[k] = n;
        while (s[pos] == ' ') ++pos;
        w.end[k] = pos;
        ++w.n;
    }
}

bool raw_word_is(const RawWords& w, int k, int kind)
{
    return k < w.n && w.len[k] == 4 && std::memcmp(w.w[k], type_str[kind], 4) == 0;
}

// Kind of the part identifier word among the two words, and the text
// position after it. Land TEMP and PILOT words count in first or second
// place (a station number may precede them, "72493 TTAA  56001 72493"),
// ship and mobile words only in first place.
int raw_identifier(const RawWords& w, int* pos)
{
    const bool first4 = w.n > 0 && w.len[0] == 4;
    const bool second4 = w.n > 1 && w.len[1] == 4;
    if (!first4 && !second4) return UPA_NO_KIND;
    for (int kind = UPA_TTAA; kind <= UPA_PPDD; ++kind) {
        if (raw_word_is(w, 0, kind)) {
            *pos = w.end[0];
            return kind;
        }
        if (raw_word_is(w, 1, kind)) {
            *pos = w.end[1];
            return kind;
        }
    }
    for (int kind = UPA_UUAA; kind <= UPA_EEDD; ++kind) {
        if (raw_word_is(w, 0, kind)) {
            *pos = w.end[0];
            return kind;
        }
    }
    return UPA_NO_KIND;
}

// Land report start: IIiii after a YYGGI group whose indicator may be
// missing ("5600/ 72786"); a minus sign passes the digit test of the
// station number.
bool raw_rule5(const RawWords& w)
{
    return w.n == 2 && w.len[0] == 5 && string_is_num_len(w.w[0], 4) && w.len[1] == 5 &&
           string_is_num(w.w[1]);
}

// The report text being collected, bounded by UPA_RAW_MAX.
struct RawReport {
    char* data;
    int len;
    void start(const char* s, int n)
    {
        len = 0;
        data[0] = '\0';
        add(s, n);
    }
    void add(const char* s, int n)
    {
        const int room = UPA_RAW_MAX - len;
        if (n > room) n = room;
        if (n <= 0) return;
        std::memcpy(data + len, s, static_cast<std::size_t>(n));
        len += n;
        data[len] = '\0';
    }
    void add_blank_and(const char* s, int n)
    {
        add(" ", 1);
        add(s, n);
    }
};

}  // namespace

int UPA_read_raw(FILE* ifile, char* data, char* id, int* type)
{
    if (!ifile || !data || !id || !type) return -1;
    // A line left over by the previous call is examined even when the file
    // has no more input: the last line of a file without a final newline
    // may be the one that ended the previous report.
    int line_len;
    if (line[0] == '\0') {
        if (std::feof(ifile)) return -1;
        line_len = raw_next_line(ifile);
    } else {
        line_len = static_cast<int>(std::strlen(line));
    }

    const bool dbg = MESS_check(RAW_DEBUG) != 0;
    RawReport rep{data, 0};
    int found = 0;
    bool started = false;
    RawWords w;

    while (found >= 0) {
        int done = 0;
        int pos = 0;
        raw_split(line, 0, w);
        if (dbg) MESS_print(RAW_DEBUG, "LINE:%s\n", line);

        if (line_len <= 0) {
            if ((line_len = raw_next_line(ifile)) < 0) break;
            continue;
        }
        if (line[0] == '*' && line[1] == '*' && line[2] == ' ') {
            // Bulletin header of an archive: whatever identifier was pending
            // belonged to the previous bulletin.
            rep_type = UPA_NO_KIND;
            if ((line_len = raw_next_line(ifile)) < 0) break;
            continue;
        }

        const int kind = raw_identifier(w, &pos);
        if (kind != UPA_NO_KIND) {
            rep_type = kind;
            raw_split(line, pos, w);
        }

        if (dbg) MESS_print(RAW_DEBUG, "STR: %s %s\n", w.w[0], w.w[1]);
        if (rep_type != UPA_NO_KIND && found > 0) {
            // The next part begins: this line opens the next call's report.
            if (dbg) MESS_print(RAW_DEBUG, "REP: %d %d %d\n", rep_type, found, done);
            break;
        }

        if (w.n < 2) {
            // A lone group (NIL=, /////=) closes the report, leading blanks
            // and all.
            if (dbg) MESS_print(RAW_DEBUG, "ERR-2: %d %d %d\n", rep_type, found, done);
            if (found > 0) {
                rep.add_blank_and(line, line_len);
                found = -1;
                ++done;
            }
        }

        const char* text = line + pos;
        const int text_len = line_len - pos;
        auto take = [&](const char* word) {
            if (found == 0 && rep_type != UPA_NO_KIND) {
                *type = rep_type;
                rep_type = UPA_NO_KIND;
                rep.start(text, text_len);
                const std::size_t n = std::min<std::size_t>(std::strlen(word), UPA_RAW_ID_LEN - 1);
                std::memcpy(id, word, n);
                id[n] = '\0';
                started = true;
                ++done;
                ++found;
            } else if (found > 0) {
                if (!done) rep.add_blank_and(text, text_len);
                ++done;
                ++found;
            }
        };
        if (rep_type >= UPA_UUAA && rep_type <= UPA_EEDD && w.n == 2) {
            // Ships and mobile stations: the call sign opens the report.
            if (dbg)
                MESS_print(RAW_DEBUG, "STR-S: %d %d %d %s %s\n", rep_type, found, done, w.w[0],
                           w.w[1]);
            take(w.w[0]);
        }
        if (raw_rule5(w)) {
            if (dbg)
                MESS_print(RAW_DEBUG, "STR-5: %d %d %d %s %s\n", rep_type, found, done, w.w[0],
                           w.w[1]);
            take(w.w[1]);
        }

        if (text_len > 0 && (text[text_len - 1] == ';' || text[text_len - 1] == '=')) {
            if (dbg) {
                if (text[text_len - 1] == ';')
                    MESS_print(RAW_DEBUG, "STR-;: %d %d %d\n", *type, found, done);
                else
                    MESS_print(RAW_DEBUG, "STR-=: %d %d %d\n", *type, found, done);
            }
            if (found > 0) {
                if (!done) rep.add_blank_and(text, text_len);
                found = -2;
            }
        }

        if (!done) {
            if (dbg) MESS_print(RAW_DEBUG, "NOT-D: %d %d %d\n", *type, found, done);
            if (found > 0) {
                rep.add_blank_and(text, text_len);
                ++found;
            }
        }
        if (dbg) MESS_print(RAW_DEBUG, "%d:%d:%d:%s\n", *type, found, done, line);
        line_len = raw_next_line(ifile);
        if (line_len < 0)
            found = -1;
        else if (found == -2 && std::strncmp(line, "  333", 5) == 0)
            // A ";" closes the main part; regional 333 groups follow on
            // lines of their own.
            found = 2;
    }

    if (!started) return 0;
    if (rep.len > 0 && data[rep.len - 1] == '=') data[rep.len - 1] = ' ';
    if (rep.len > 0 && data[rep.len - 1] == ';') data[rep.len - 1] = ' ';
    if (rep.len == UPA_RAW_MAX && data[rep.len - 1] != ' ') {
        // A report cut at its capacity: the group at the cut is incomplete
        // or has no room for the blank that closes it, and a decoder would
        // read a truncated group as a wrong value. It goes.
        while (rep.len > 0 && data[rep.len - 1] != ' ') --rep.len;
        data[rep.len] = '\0';
    }
    rep.add(" ", 1);
    if (MESS_check(RAW_DATA)) MESS_print(RAW_DATA, "DATA: %s %s\n\n", type_str[*type], data);
    return 1;
}


// ================================================================ decoders
