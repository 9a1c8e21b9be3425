// The pattern scanner: reads one code group (or any short field sequence) at
// a cursor, with fixed or maximum widths, a text that stands for a missing
// value ("///" in a TEMP group), alternatives and a count of the consumed
// input. The decoders call it for every group of every report, so it keeps
// to the stack: no allocation, and the debug traces are formatted only when
// their level is on.
#include "vok.h"

#include <charconv>
#include <cstdarg>
#include <cstring>
#include <string_view>
#include <system_error>

namespace {

constexpr M_type SCANP_DEBUG = 0x80000000u;
constexpr int NO_WIDTH = 999;

// exact: the field must reach the width; at_most: one up to the width;
// optional: as at_most, but alternatives that do not match are accepted.
enum class Mode { exact, at_most, optional };

inline bool is_white(unsigned char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}
inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool is_alpha(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Members of a "[...]" set, one bit per byte value.
struct char_set {
    unsigned long long bits[4] = {0, 0, 0, 0};
    void add(unsigned char c) { bits[c >> 6] |= 1ull << (c & 63); }
    bool has(unsigned char c) const { return (bits[c >> 6] >> (c & 63)) & 1ull; }
};

// One parsed directive.
struct directive {
    bool store = true;
    Mode mode = Mode::at_most;
    int width = NO_WIDTH;           // already bounded by SCANP_FIELD_MAX
    std::string_view missing;       // text between the "!" characters
    char letter = '\0';
    std::string_view alternatives;  // inside "(...)", "|"-separated
    char_set set;
    bool negate = false;
};

// Length of the leading part of [s, s+lim) whose bytes satisfy pred.
template <class Pred>
int span(const char* s, int lim, Pred pred)
{
    int i = 0;
    while (i < lim && pred(static_cast<unsigned char>(s[i]))) ++i;
    return i;
}

// Bounded copy of a field into the caller's text target.
void store_text(char* target, const char* src, int n, bool terminate)
{
    if (!target) return;
    if (n > 0) std::memcpy(target, src, static_cast<std::size_t>(n));
    if (terminate) target[n] = '\0';
}

// Numeric fields. `digits` is set to the count of mantissa digits, so that a
// field without any can fall back on the missing-value text; the result is
// the field length.
int number_field(const char* s, int lim, bool real, bool padded, int& digits,
                 int& num_begin, int& num_end)
{
    int i = 0;
    if (padded) i = span(s, lim, is_white);
    num_begin = i;
    if (i < lim && s[i] == '-') ++i;
    digits = 0;
    bool point = false;
    while (i < lim) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (is_digit(c)) {
            ++digits;
        } else if (real && c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        ++i;
    }
    if (digits == 0) return 0;
    if (real && i < lim && (s[i] == 'e' || s[i] == 'E')) {
        // An exponent is taken only with at least one digit.
        int j = i + 1;
        if (j < lim && (s[j] == '+' || s[j] == '-')) ++j;
        const int k = j;
        j += span(s + j, lim - j, is_digit);
        if (j > k) i = j;
    }
    num_end = i;
    if (padded) i += span(s + i, lim - i, is_white);
    return i;
}

// Parse the directive starting after "%". Returns the pattern position after
// it, or nullptr when the pattern ends inside it (malformed).
const char* parse_directive(const char* p, directive& d)
{
    if (*p == '*') {
        d.store = false;
        ++p;
    }
    bool less = false;
    if (*p == '<') {
        less = true;
        ++p;
    }
    int width = 0;
    bool has_width = false;
    while (is_digit(static_cast<unsigned char>(*p))) {
        has_width = true;
        if (width < 100000) width = width * 10 + (*p - '0');
        ++p;
    }
    if (has_width && width == 0) has_width = false;
    if (*p == '!') {
        const char* start = ++p;
        while (*p && *p != '!') ++p;
        if (!*p) return nullptr;
        d.missing = std::string_view(start, static_cast<std::size_t>(p - start));
        ++p;
    }
    if (has_width) {
        d.mode = less ? Mode::at_most : Mode::exact;
        d.width = width;
    } else {
        d.mode = less ? Mode::optional : Mode::at_most;
        d.width = NO_WIDTH;
    }
    d.letter = *p;
    if (!*p) return nullptr;
    ++p;
    if (d.letter == 'c' && !has_width) {
        d.mode = Mode::exact;
        d.width = 1;
    }
    if (d.width > SCANP_FIELD_MAX) d.width = SCANP_FIELD_MAX;

    if (d.letter == '(') {
        const char* start = p;
        while (*p && *p != ')') ++p;
        if (!*p) return nullptr;
        d.alternatives = std::string_view(start, static_cast<std::size_t>(p - start));
        return p + 1;
    }
    if (d.letter == '[') {
        if (*p == '^') {
            d.negate = true;
            ++p;
        }
        while (*p && *p != ']') {
            unsigned char c = static_cast<unsigned char>(*p++);
            if (c == '/') {
                if (!*p) return nullptr;
                c = static_cast<unsigned char>(*p++);
                if (c == 'A') {
                    for (unsigned char a = 'A'; a <= 'Z'; ++a) {
                        d.set.add(a);
                        d.set.add(static_cast<unsigned char>(a + ('a' - 'A')));
                    }
                } else if (c == 'N') {
                    for (unsigned char n = '0'; n <= '9'; ++n) d.set.add(n);
                }
            }
            d.set.add(c);
        }
        if (!*p) return nullptr;
        return p + 1;
    }
    return p;
}

bool known_letter(char c)
{
    switch (c) {
    case 'd': case 'D': case 'f': case 'F': case 's': case 'S': case 'N':
    case 'A': case 'c': case 'w': case 'W': case 'n': case '[': case '(':
        return true;
    default:
        return false;
    }
}

}  // namespace

int scanp_set(parse_param* param, const char* str)
{
    if (!param) return 0;
    param->ptr = str ? str : "";
    param->off = 0;
    const std::size_t n = std::strlen(param->ptr);
    param->length = n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(n);
    param->len = 0;
    param->assigned = 0;
    param->matched = 0;
    param->done = 0;
    return 1;
}

int scanp_inc(parse_param* param)
{
    if (!param) return 0;
    param->off += param->len;
    return 1;
}

const char* scanp_str(const parse_param* param)
{
    if (!param || !param->ptr) return "";
    if (param->off < 0) return param->ptr;
    if (param->off > param->length) return param->ptr + param->length;
    return param->ptr + param->off;
}

int scanp(parse_param* param, const char* pat, ...)
{
    if (!param) return -1;
    param->len = 0;
    param->assigned = 0;
    param->matched = 0;
    param->done = 0;
    if (!pat || !*pat || !param->ptr || param->off < 0 || param->off >= param->length) return -1;

    const bool debug = MESS_check(SCANP_DEBUG) != 0;
    const char* in = param->ptr + param->off;
    const int avail = param->length - param->off;
    int pos = 0;
    int matched = 0;
    int assigned = 0;
    bool stopped = false;

    va_list args;
    va_start(args, pat);

    const char* p = pat;
    while (*p && !stopped) {
        const unsigned char pc = static_cast<unsigned char>(*p);
        if (is_white(pc)) {
            // One or more blanks in the pattern: one or more white-space
            // characters in the input.
            while (is_white(static_cast<unsigned char>(*p))) ++p;
            const int n = span(in + pos, avail - pos, is_white);
            if (n == 0) {
                stopped = true;
            } else {
                pos += n;
            }
        } else if (pc != '%') {
            if (pos < avail && in[pos] == *p) {
                ++pos;
                ++p;
            } else {
                stopped = true;
            }
        } else {
            directive d;
            const char* next = parse_directive(p + 1, d);
            if (!next) {
                // The pattern ends inside a directive.
                stopped = true;
                break;
            }
            if (!known_letter(d.letter)) {
                // Not a directive: its letter is an ordinary character.
                if (pos < avail && in[pos] == d.letter) {
                    ++pos;
                    p = next;
                } else {
                    stopped = true;
                }
            } else {
                void* target = d.store && d.letter != '\0' ? va_arg(args, void*) : nullptr;
                const char* s = in + pos;
                const int rest = avail - pos;
                const int lim = d.width < rest ? d.width : rest;
                int n = 0;          // characters taken by the field
                bool ok = false;
                switch (d.letter) {
                case 'd': case 'D': case 'f': case 'F': {
                    const bool real = d.letter == 'f' || d.letter == 'F';
                    const bool padded = d.letter == 'D' || d.letter == 'F';
                    int digits = 0, nb = 0, ne = 0;
                    n = number_field(s, lim, real, padded, digits, nb, ne);
                    if (digits == 0) {
                        if (d.missing.empty()) {
                            stopped = true;
                            break;
                        }
                        const int m = static_cast<int>(d.missing.size());
                        if (m <= d.width && m <= rest &&
                            std::memcmp(s, d.missing.data(), d.missing.size()) == 0) {
                            if (target) {
                                if (real) *static_cast<float*>(target) = -9999.0f;
                                else *static_cast<std::int32_t*>(target) = VOK_MISSING;
                                ++assigned;
                            }
                            ++matched;
                            pos += m;
                        }
                        // A missing text that does not fit is no failure:
                        // nothing is taken and the pattern goes on.
                        break;
                    }
                    if (d.mode == Mode::exact && n != d.width) {
                        stopped = true;
                        break;
                    }
                    if (real) {
                        float v = 0.0f;
                        const auto r = std::from_chars(s + nb, s + ne, v);
                        if (r.ec != std::errc() || r.ptr != s + ne) {
                            stopped = true;
                            break;
                        }
                        if (target) *static_cast<float*>(target) = v;
                    } else {
                        std::int32_t v = 0;
                        const auto r = std::from_chars(s + nb, s + ne, v);
                        if (r.ec != std::errc() || r.ptr != s + ne) {
                            stopped = true;
                            break;
                        }
                        if (target) *static_cast<std::int32_t*>(target) = v;
                    }
                    ok = true;
                    break;
                }
                case 'n':
                    if (target) *static_cast<int*>(target) = pos;
                    ok = true;
                    n = 0;
                    break;
                case '(': {
                    // First alternative, in pattern order, that the input
                    // begins with.
                    std::string_view alts = d.alternatives;
                    bool found = false;
                    while (true) {
                        const std::size_t bar = alts.find('|');
                        const std::string_view alt = alts.substr(0, bar);
                        const int m = static_cast<int>(alt.size());
                        if (m > 0 && m <= SCANP_FIELD_MAX && m <= rest &&
                            std::memcmp(s, alt.data(), alt.size()) == 0) {
                            store_text(static_cast<char*>(target), s, m, true);
                            n = m;
                            found = true;
                            break;
                        }
                        if (bar == std::string_view::npos) break;
                        alts.remove_prefix(bar + 1);
                    }
                    if (found) {
                        ok = true;
                    } else if (!d.missing.empty()) {
                        // Matched in any case: the characters that agree
                        // with the missing text are consumed.
                        const int m = static_cast<int>(d.missing.size());
                        int k = 0;
                        while (k < m && k < lim && s[k] == d.missing[static_cast<std::size_t>(k)]) ++k;
                        store_text(static_cast<char*>(target), s, 0, true);
                        n = k;
                        ok = true;
                    } else if (d.mode == Mode::optional) {
                        n = 0;
                        ok = true;
                    } else {
                        stopped = true;
                    }
                    break;
                }
                default: {
                    bool terminate = true;
                    switch (d.letter) {
                    case 's':
                        n = span(s, lim, [](unsigned char c) { return !is_white(c); });
                        break;
                    case 'S':
                        n = lim;
                        break;
                    case 'N':
                        n = span(s, lim, is_digit);
                        break;
                    case 'A':
                        n = span(s, lim, is_alpha);
                        break;
                    case 'c':
                        n = lim;
                        terminate = false;
                        break;
                    case 'w':
                        n = span(s, lim, is_white);
                        break;
                    case 'W':
                        n = span(s, lim, [](unsigned char c) { return is_white(c) && c != '\n'; });
                        break;
                    case '[': {
                        const char_set& set = d.set;
                        const bool neg = d.negate;
                        n = span(s, lim, [&set, neg](unsigned char c) { return set.has(c) != neg; });
                        break;
                    }
                    default:
                        break;
                    }
                    if (n == 0 || (d.mode == Mode::exact && n != d.width)) {
                        stopped = true;
                        break;
                    }
                    store_text(static_cast<char*>(target), s, n, terminate);
                    ok = true;
                    break;
                }
                }
                if (ok) {
                    ++matched;
                    if (target) ++assigned;
                    pos += n;
                }
                if (!stopped) p = next;
            }
        }
        if (debug) MESS_print(SCANP_DEBUG, "     :%s:%.50s:\n", p, in + pos);
    }
    va_end(args);

    param->len = pos;
    param->matched = matched;
    param->assigned = assigned;
    param->done = (!stopped && !*p) ? 1 : 0;
    if (debug) {
        MESS_print(SCANP_DEBUG, "SCANP:%.50s:%s:%d:%d:%d:%d:%d\n", in, pat, param->off, param->len,
                   param->done, param->assigned, param->matched);
    }
    return matched;
}
