// The pattern scanner: matches a pattern against the text at a cursor and
// converts its fields into the caller's variables, with fixed or maximum
// widths, a text that stands for a missing value ("///" in a TEMP group),
// alternatives and a count of the consumed input. Each call reads its
// pattern once, left to right, element by element; it keeps no state of its
// own and allocates nothing.
#include "vok.h"

#include <algorithm>
#include <bitset>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>

namespace {

constexpr M_type SCANP_TRACE = M_DEBUG & M_SUB_D;

// What one element of a pattern does: a run of pattern blanks, one
// character to match, a directive (number, position, alternatives or text),
// or the end of the pattern inside a directive, which stops the scan.
enum class Kind { blank, literal, number, position, alternatives, text, cut };

// exact: the field must reach its width; at_most: one up to the width;
// optional: as at_most, but alternatives that do not match are accepted.
enum class Mode { exact, at_most, optional };

// One element as read from the pattern.
struct Element {
    Kind kind = Kind::literal;
    char ch = '\0';                 // literal: the character to match
    char letter = '\0';             // directive: its conversion letter
    bool store = true;              // no "*": the value goes to a target
    Mode mode = Mode::at_most;
    int width = SCANP_FIELD_MAX;    // never above SCANP_FIELD_MAX
    std::string_view missing;       // the text between the "!" characters
    std::string_view alternatives;  // inside "(...)", "|"-separated
    bool negated = false;           // "[^...]"
    std::bitset<256> members;       // of a "[...]" set
    const char* next = nullptr;     // the pattern after the element
};

inline bool is_white(unsigned char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}
inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool is_alpha(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Length of the leading part of s (at most lim characters) whose
// characters satisfy pred.
template <class Pred>
int span(const char* s, int lim, Pred pred)
{
    int i = 0;
    while (i < lim && pred(static_cast<unsigned char>(s[i]))) ++i;
    return i;
}

Kind kind_of(char letter)
{
    switch (letter) {
    case 'd': case 'D': case 'f': case 'F': return Kind::number;
    case 'n': return Kind::position;
    case '(': return Kind::alternatives;
    case 's': case 'S': case 'N': case 'A': case 'c': case 'w': case 'W': case '[':
        return Kind::text;
    default: return Kind::literal;  // not a directive: the letter itself
    }
}

// The members of a set from p (after "[") up to its "]"; the pattern after
// it, or nullptr when the set is never closed.
const char* read_set(const char* p, Element& e)
{
    if (*p == '^') {
        e.negated = true;
        ++p;
    }
    for (; *p && *p != ']'; ++p) {
        if (*p == '/') {
            if (!*++p) return nullptr;
            if (*p == 'A') {
                for (unsigned char a = 'A'; a <= 'Z'; ++a) e.members.set(a).set(a + ('a' - 'A'));
            } else if (*p == 'N') {
                for (unsigned char n = '0'; n <= '9'; ++n) e.members.set(n);
            }
        }
        e.members.set(static_cast<unsigned char>(*p));
    }
    return *p ? p + 1 : nullptr;
}

// The text from p up to the character `close`, p moving past it; false
// when the pattern never closes it.
bool read_body(const char*& p, char close, std::string_view& body)
{
    const char* end = std::strchr(p, close);
    if (!end) return false;
    body = std::string_view(p, static_cast<std::size_t>(end - p));
    p = end + 1;
    return true;
}

// The directive after a "%" at p: "*", "<", a width, a "!" missing text,
// the letter and, for "(" and "[", its body. False when the pattern ends
// inside it.
bool read_directive(const char* p, Element& e)
{
    e.store = *p != '*';
    if (!e.store) ++p;
    const bool less = *p == '<';
    if (less) ++p;
    int width = 0;
    for (; is_digit(static_cast<unsigned char>(*p)); ++p)
        width = std::min(width * 10 + (*p - '0'), 1000);  // any width above 80 counts as 80
    if (*p == '!' && !read_body(++p, '!', e.missing)) return false;
    if (!*p) return false;
    e.letter = *p++;
    if (width > 0) e.mode = less ? Mode::at_most : Mode::exact;
    else e.mode = less ? Mode::optional : Mode::at_most;
    if (e.letter == 'c' && width == 0) {
        e.mode = Mode::exact;
        width = 1;
    }
    e.width = width > 0 && width < SCANP_FIELD_MAX ? width : SCANP_FIELD_MAX;
    e.kind = kind_of(e.letter);
    e.ch = e.letter;
    if (e.letter == '(' && !read_body(p, ')', e.alternatives)) return false;
    if (e.letter == '[') p = read_set(p, e);
    e.next = p;
    return p != nullptr;
}

// The element at p, which is not the end of the pattern.
Element read_element(const char* p)
{
    Element e;
    if (is_white(static_cast<unsigned char>(*p))) {
        e.kind = Kind::blank;
        while (is_white(static_cast<unsigned char>(*p))) ++p;
        e.next = p;
    } else if (*p != '%') {
        e.ch = *p;
        e.next = p + 1;
    } else if (!read_directive(p + 1, e)) {
        e = Element{};
        e.kind = Kind::cut;
        e.next = p;
    }
    return e;
}

// Where one call stands in the input.
struct Scan {
    const char* in;  // the text at the cursor
    int avail;       // characters from there to the end of the text
    int pos = 0;
    int matched = 0;
    int assigned = 0;
    bool stopped = false;

    const char* at() const { return in + pos; }
    int rest() const { return avail - pos; }
    std::string_view input() const { return {at(), static_cast<std::size_t>(rest())}; }
    int limit(const Element& e) const { return std::min(e.width, rest()); }
    // The element matched n characters, its value stored when it has a
    // target.
    void take(int n, const void* target)
    {
        ++matched;
        if (target) ++assigned;
        pos += n;
    }
    // A text field: the n characters at the cursor (never more than
    // SCANP_FIELD_MAX) copied into the target, with its terminator unless
    // asked not to.
    void take_text(char* target, int n, bool terminate = true)
    {
        if (target) {
            std::memcpy(target, at(), static_cast<std::size_t>(n));
            if (terminate) target[n] = '\0';
        }
        take(n, target);
    }
};

template <class T>
void put(void* target, T v)
{
    if (target) *static_cast<T*>(target) = v;
}

// The extent of a number in s (at most lim characters): its whole field
// (with the white space around it when padded) and the number inside it.
struct Number {
    int field = 0;
    int digits = 0;  // mantissa digits: none means no number
    int begin = 0;
    int end = 0;
};

// An exponent of a real at s: "e" or "E", a sign, digits; 0 without digits.
int exponent(const char* s, int lim)
{
    if (lim < 2 || (*s != 'e' && *s != 'E')) return 0;
    const int sign = s[1] == '+' || s[1] == '-' ? 1 : 0;
    const int digits = span(s + 1 + sign, lim - 1 - sign, is_digit);
    return digits > 0 ? 1 + sign + digits : 0;
}

Number number_extent(const char* s, int lim, bool real, bool padded)
{
    Number n;
    int i = padded ? span(s, lim, is_white) : 0;
    n.begin = i;
    if (i < lim && s[i] == '-') ++i;
    bool point = false;
    for (; i < lim; ++i) {
        if (is_digit(static_cast<unsigned char>(s[i]))) ++n.digits;
        else if (real && s[i] == '.' && !point) point = true;
        else break;
    }
    if (n.digits == 0) return n;
    if (real) i += exponent(s + i, lim - i);
    n.end = i;
    n.field = padded ? i + span(s + i, lim - i, is_white) : i;
    return n;
}

// The value of "[-]digits" in [b, e); false when it does not fit 32 bits.
bool parse(const char* b, const char* e, std::int32_t& out)
{
    const bool negative = *b == '-';
    std::int64_t v = 0;
    for (const char* c = negative ? b + 1 : b; c != e; ++c) {
        v = v * 10 + (*c - '0');
        if (v > 2147483648LL) return false;
    }
    if (!negative && v > 2147483647LL) return false;
    out = static_cast<std::int32_t>(negative ? -v : v);
    return true;
}

// The same for a real.
bool parse(const char* b, const char* e, float& out)
{
    const auto r = std::from_chars(b, e, out);
    return r.ec == std::errc() && r.ptr == e;
}

// The number in [b, e) into the target of its type; false when it does not
// fit.
template <class T>
bool store_number(const char* b, const char* e, void* target)
{
    T v{};
    if (!parse(b, e, v)) return false;
    put(target, v);
    return true;
}

// d, D, f, F. A field without digits: its missing-value text stores -9999
// when the input holds it; otherwise nothing is taken and the scan goes on.
void scan_number(const Element& e, Scan& st, void* target)
{
    const bool real = e.letter == 'f' || e.letter == 'F';
    const char* s = st.at();
    const Number n = number_extent(s, st.limit(e), real, e.letter == 'D' || e.letter == 'F');
    if (n.digits == 0) {
        st.stopped = e.missing.empty();
        if (st.stopped || static_cast<int>(e.missing.size()) > e.width || !st.input().starts_with(e.missing))
            return;
        real ? put(target, VOK_MISSING_F) : put(target, VOK_MISSING);
        st.take(static_cast<int>(e.missing.size()), target);
        return;
    }
    const bool ok = (e.mode != Mode::exact || n.field == e.width) &&
                    (real ? store_number<float>(s + n.begin, s + n.end, target)
                          : store_number<std::int32_t>(s + n.begin, s + n.end, target));
    if (ok) st.take(n.field, target);
    else st.stopped = true;
}

// "(a|b|...)": the first alternative, in pattern order, that the input
// begins with.
void scan_alternatives(const Element& e, Scan& st, char* target)
{
    for (std::string_view alts = e.alternatives;;) {
        const std::size_t bar = alts.find('|');
        const std::string_view alt = alts.substr(0, bar);
        if (!alt.empty() && alt.size() <= SCANP_FIELD_MAX && st.input().starts_with(alt))
            return st.take_text(target, static_cast<int>(alt.size()));
        if (bar == std::string_view::npos) break;
        alts.remove_prefix(bar + 1);
    }
    if (!e.missing.empty()) {
        // Matched in any case: the characters that agree with the missing
        // text are consumed, and an empty text stored.
        const int lim = std::min(static_cast<int>(e.missing.size()), st.limit(e));
        int k = 0;
        while (k < lim && st.at()[k] == e.missing[static_cast<std::size_t>(k)]) ++k;
        if (target) *target = '\0';
        st.take(k, target);
    } else if (e.mode == Mode::optional) {
        st.take(0, target);  // the target keeps its text
    } else {
        st.stopped = true;
    }
}

// The length of the text field of e at s (at most lim characters).
int text_extent(const Element& e, const char* s, int lim)
{
    switch (e.letter) {
    case 's': return span(s, lim, [](unsigned char c) { return !is_white(c); });
    case 'N': return span(s, lim, is_digit);
    case 'A': return span(s, lim, is_alpha);
    case 'w': return span(s, lim, is_white);
    case 'W': return span(s, lim, [](unsigned char c) { return is_white(c) && c != '\n'; });
    case '[': return span(s, lim, [&e](unsigned char c) { return e.members.test(c) != e.negated; });
    default: return lim;  // S and c: any characters
    }
}

// s, S, N, A, c, w, W and sets.
void scan_text(const Element& e, Scan& st, char* target)
{
    const int n = text_extent(e, st.at(), st.limit(e));
    st.stopped = n == 0 || (e.mode == Mode::exact && n != e.width);
    if (!st.stopped) st.take_text(target, n, e.letter != 'c');
}

// Runs one element; true when the pattern moves past it.
bool run(const Element& e, Scan& st, void* target)
{
    switch (e.kind) {
    case Kind::blank: {
        const int n = span(st.at(), st.rest(), is_white);
        st.stopped = n == 0;
        st.pos += n;
        return true;  // the pattern is past its blanks either way
    }
    case Kind::literal:
        st.stopped = st.rest() == 0 || *st.at() != e.ch;
        if (!st.stopped) ++st.pos;
        return !st.stopped;
    case Kind::number: scan_number(e, st, target); break;
    case Kind::position:
        put(target, st.pos);
        st.take(0, target);
        break;
    case Kind::alternatives: scan_alternatives(e, st, static_cast<char*>(target)); break;
    case Kind::text: scan_text(e, st, static_cast<char*>(target)); break;
    case Kind::cut: st.stopped = true; break;
    }
    return !st.stopped;
}

// The pattern against the text at the cursor, element by element, each
// directive that stores taking the next target from args.
void scan_pattern(parse_param* param, const char* pat, std::va_list& args)
{
    const bool trace = MESS_enabled(SCANP_TRACE);
    Scan st{param->ptr + param->off, param->length - param->off};
    const char* p = pat;
    while (*p && !st.stopped) {
        const Element e = read_element(p);
        const bool field = e.kind != Kind::blank && e.kind != Kind::literal && e.kind != Kind::cut;
        void* target = field && e.store ? va_arg(args, void*) : nullptr;
        if (run(e, st, target)) p = e.next;
        if (e.kind == Kind::cut) break;  // no trace for a cut directive
        if (trace) MESS_print(SCANP_TRACE, "     :%s:%.50s:\n", p, st.at());
    }
    param->len = st.pos;
    param->matched = st.matched;
    param->assigned = st.assigned;
    param->done = st.stopped ? 0 : 1;
    if (trace) {
        MESS_print(SCANP_TRACE, "SCANP:%.50s:%s:%d:%d:%d:%d:%d\n", st.in, pat, param->off,
                   param->len, param->done, param->assigned, param->matched);
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

int scanp(parse_param* param, const char* pat, ...)
{
    if (!param) return -1;
    param->len = 0;
    param->assigned = 0;
    param->matched = 0;
    param->done = 0;
    if (!pat || !*pat || !param->ptr || param->off < 0 || param->off >= param->length) return -1;
    std::va_list args;
    va_start(args, pat);
    scan_pattern(param, pat, args);
    va_end(args);
    return param->matched;
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
