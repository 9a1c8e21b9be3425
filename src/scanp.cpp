// The pattern scanner: reads one code group (or any short field sequence) at
// a cursor, with fixed or maximum widths, a text that stands for a missing
// value ("///" in a TEMP group), alternatives and a count of the consumed
// input. The decoders call it for every group of every report, so each
// pattern is read into steps once and kept in a small table of the module;
// nothing is allocated, and the debug traces are formatted only when their
// level is on.
#include "vok.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <link.h>
#include <string_view>
#include <system_error>

namespace {

constexpr M_type SCANP_DEBUG = M_DEBUG & M_SUB_D;
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
    bool real = false;              // f and F
    bool padded = false;            // D and F: white space around the number
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

// Value of "[-]digits" in [b, e) (at least one digit); false when it does
// not fit 32 bits. Leading zeros do not count against the range.
bool to_int32(const char* b, const char* e, std::int32_t& out)
{
    const bool neg = *b == '-';
    if (neg) ++b;
    std::int64_t v = 0;
    for (; b != e; ++b) {
        v = v * 10 + (*b - '0');
        if (v > 2147483648LL) return false;
    }
    if (!neg && v > 2147483647LL) return false;
    out = static_cast<std::int32_t>(neg ? -v : v);
    return true;
}

// ---- compiled patterns
//
// The decoders scan every group of every report with a handful of fixed
// patterns, so the pattern text is read once into steps and kept, keyed by
// its address. A pattern built at run time may reuse an address with another
// text, so the kept copy of the text is compared on every use (string
// literals in read-only memory excepted, see in_read_only_memory) and a stale
// form is never run. Patterns too long to keep are read a few steps at a time
// as they run. The table belongs to the one thread the program runs in.

// A run of blanks, one character to match, the point where the pattern ends
// inside a directive, or a conversion: "digits" is a fixed-width integer
// short enough to need no range check ("%3!///!d"), the usual code group
// field, tried on a fast path first; "number" any other d, D, f or F.
enum class Step : unsigned char {
    blank, literal, cut, digits, number, position, alternatives, text
};

constexpr bool is_field(Step s) { return s >= Step::digits; }

// The step of a directive with a known letter.
Step field_step(directive& d)
{
    d.real = d.letter == 'f' || d.letter == 'F';
    d.padded = d.letter == 'D' || d.letter == 'F';
    switch (d.letter) {
    case 'd':
        return d.mode == Mode::exact && d.width <= 9 ? Step::digits : Step::number;
    case 'D': case 'f': case 'F': return Step::number;
    case 'n': return Step::position;
    case '(': return Step::alternatives;
    default: return Step::text;
    }
}

struct step {
    Step kind = Step::literal;
    char ch = '\0';           // literal: the character to match
    const char* at = nullptr;    // the step in the compiled text
    const char* next = nullptr;  // the text after it
    directive d;              // field only
};

// Reads the step at p (not at the end of the pattern). Returns the text
// after it, or nullptr after a cut step.
const char* compile_step(const char* p, step& e)
{
    e = step{};
    e.at = p;
    const unsigned char pc = static_cast<unsigned char>(*p);
    if (is_white(pc)) {
        // One or more blanks in the pattern: one or more white-space
        // characters in the input.
        while (is_white(static_cast<unsigned char>(*p))) ++p;
        e.kind = Step::blank;
    } else if (pc != '%') {
        e.ch = *p++;
    } else {
        const char* next = parse_directive(p + 1, e.d);
        if (!next) {
            e.kind = Step::cut;
            e.next = p;
            return nullptr;
        }
        if (known_letter(e.d.letter)) {
            e.kind = field_step(e.d);
        } else {
            // Not a directive: its letter is an ordinary character.
            e.ch = e.d.letter;
        }
        p = next;
    }
    e.next = p;
    return p;
}

constexpr int CACHE_BITS = 5;
constexpr int CACHE_SLOTS = 1 << CACHE_BITS;
constexpr int CACHE_PROBES = 4;
constexpr int CACHE_TEXT = 48;    // longest kept pattern, terminator included
constexpr int CACHE_STEPS = 16;

// A code group pattern: literal characters and fixed-width figure fields
// ("44%1d%2d ", "%3!///!d%2!//!d "), perhaps ending in a word of at most a
// given width ("%<10s ", "4%<10s "), closed by white space. Such a pattern
// is also kept in this compact form, which reads a complete group in one
// pass (see scan_group).
constexpr int GROUP_PARTS = 8;
constexpr int PACKED_FIGURES = 3;  // widest figure field of a packed form
constexpr int GROUP_MISSING_MAX = 8;
struct group_part {
    char literal = '\0';         // the character to match, or '\0' for a field
    unsigned char width = 0;      // field: its figures
    bool store = false;           // field: its value goes to the caller
    bool has_missing = false;     // field: a missing-value text of the field's width
    char missing[GROUP_MISSING_MAX] = {};
};
struct group_form {
    int parts = 0;       // literals and figure fields; 0 and no word: no group pattern
    int lead = 0;        // literals before the first field
    int width = 0;       // characters of the parts
    int word = 0;        // the width of the closing word, 0 for none
    bool word_store = false;
    int fields = 0;      // the directives, all of which match on a complete group
    int stored = 0;      // those that store their value
    group_part part[GROUP_PARTS];
    // A group of at most eight characters without a word is also tested
    // eight bytes at once: the literals (bytes under lit_mask equal to
    // lit_bytes) and the figures (a top bit under figure_mask per figure).
    bool packed = false;
    std::uint64_t lit_mask = 0, lit_bytes = 0, figure_mask = 0;
    // Of a packed form, the place value of each figure of each field (1, 10,
    // 100 ... from its last figure, 0 past it), so that a field's value
    // is one sum whatever its width, without a loop to mispredict.
    std::int32_t place[GROUP_PARTS][PACKED_FIGURES] = {};
    // The figure fields alone, in order: where each starts, its width and
    // whether its value is stored.
    unsigned char field_at[GROUP_PARTS] = {};
    unsigned char field_width[GROUP_PARTS] = {};
    bool field_store[GROUP_PARTS] = {};
    // The characters that some part could take first: figures, a sign,
    // white space, the literals and the first characters of the missing-value
    // texts. Any other character at the cursor of a pattern without a word
    // matches nothing, as the steps find one by one ("NIL" for a group).
    char_set first;
    bool usable() const { return parts > 0 || word > 0; }
};

// The scanner's hot data comes first: a look-up and a group read touch
// only the start of an entry.
struct compiled {
    const char* key = nullptr;  // the caller's pattern address
    bool fixed = false;         // the key lies in read-only memory
    group_form group;
    char text[CACHE_TEXT] = {};
    int count = 0;
    step steps[CACHE_STEPS];
};

compiled cache[CACHE_SLOTS];
unsigned evict_next = 0;

// The read-only segments (code and constant data, where the string literals
// live) of the program object that holds this module. A text there cannot
// change for as long as the scanner itself is loaded, so a pattern found
// there needs no comparison with its kept copy.
struct address_span {
    std::uintptr_t lo, hi;
};
constexpr int RO_SPANS_MAX = 8;
address_span ro_spans[RO_SPANS_MAX];
int ro_span_count = -1;  // -1 until the segments have been looked up

int collect_own_segments(dl_phdr_info* info, std::size_t, void*)
{
    const auto self = reinterpret_cast<std::uintptr_t>(&ro_span_count);
    bool own = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        const std::uintptr_t lo = info->dlpi_addr + ph.p_vaddr;
        if (ph.p_type == PT_LOAD && self >= lo && self - lo < ph.p_memsz) own = true;
    }
    if (!own) return 0;
    for (int i = 0; i < info->dlpi_phnum && ro_span_count < RO_SPANS_MAX; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD || (ph.p_flags & PF_W)) continue;
        const std::uintptr_t lo = info->dlpi_addr + ph.p_vaddr;
        ro_spans[ro_span_count++] = {lo, lo + ph.p_memsz};
    }
    return 1;
}

bool in_read_only_memory(const char* p)
{
    if (ro_span_count < 0) {
        ro_span_count = 0;
        dl_iterate_phdr(collect_own_segments, nullptr);
    }
    const auto a = reinterpret_cast<std::uintptr_t>(p);
    for (int i = 0; i < ro_span_count; ++i)
        if (a >= ro_spans[i].lo && a < ro_spans[i].hi) return true;
    return false;
}

std::size_t home_slot(const char* pat)
{
    auto a = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pat));
    a *= 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(a >> (64 - CACHE_BITS));
}

// A figure field of a group form. A missing-value text is kept only when it
// is as long as its field and holds no figure, so that input equal to it can
// never read as a number.
group_part figure_part(const directive& d)
{
    group_part part;
    part.width = static_cast<unsigned char>(d.width);
    part.store = d.store;
    const std::string_view m = d.missing;
    if (m.size() == part.width && m.size() <= GROUP_MISSING_MAX &&
        m.find_first_of("0123456789") == std::string_view::npos) {
        part.has_missing = true;
        std::memcpy(part.missing, m.data(), m.size());
    }
    return part;
}

std::uint64_t eight_bytes(const char* s)
{
    std::uint64_t x;
    std::memcpy(&x, s, sizeof x);
    return x;
}

// The masks of a packed group form, laid out byte by byte as the input is.
void pack(group_form& g)
{
    if (g.word || g.width > 8) return;
    unsigned char lit_mask[8] = {}, lit_bytes[8] = {}, figure_mask[8] = {};
    int at = 0;
    for (int k = 0; k < g.parts; ++k) {
        const group_part& part = g.part[k];
        if (part.literal) {
            lit_mask[at] = 0xFF;
            lit_bytes[at++] = static_cast<unsigned char>(part.literal);
            continue;
        }
        if (part.width > PACKED_FIGURES) return;
        for (int i = 0; i < part.width; ++i) figure_mask[at++] = 0x80;
    }
    for (int f = 0; f < g.fields; ++f)
        for (int i = 0, v = 1; i < g.field_width[f]; ++i, v *= 10)
            g.place[f][g.field_width[f] - 1 - i] = v;
    g.lit_mask = eight_bytes(reinterpret_cast<const char*>(lit_mask));
    g.lit_bytes = eight_bytes(reinterpret_cast<const char*>(lit_bytes));
    g.figure_mask = eight_bytes(reinterpret_cast<const char*>(figure_mask));
    g.packed = true;
}

// The top bit of every byte of x that is a figure: of its low seven bits
// b, b + 0x50 reaches the top bit from "0" on and b + 0x46 from ":" on (no
// carry crosses bytes); an 8-bit byte is no figure.
std::uint64_t figure_bits(std::uint64_t x)
{
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    const std::uint64_t b = x & ones * 0x7F;
    return (b + ones * 0x50) & ~(b + ones * 0x46) & ~x & ones * 0x80;
}

// The group form of compiled steps; not usable when they are no code group.
group_form group_of(const step* steps, int count)
{
    group_form g;
    if (count < 2 || steps[count - 1].kind != Step::blank) return g;
    int n = count - 1;
    const step& last = steps[n - 1];
    if (last.kind == Step::text && last.d.letter == 's' && last.d.mode == Mode::at_most) {
        g.word = last.d.width;
        g.word_store = last.d.store;
        ++g.fields;
        if (g.word_store) ++g.stored;
        --n;
    }
    if (n > GROUP_PARTS) return group_form{};
    for (int i = 0; i < n; ++i) {
        const step& e = steps[i];
        group_part& part = g.part[i];
        if (e.kind == Step::literal && e.ch != '\0') {
            g.first.add(static_cast<unsigned char>(e.ch));
            part.literal = e.ch;
            if (g.lead == i) ++g.lead;
            g.width += 1;
            continue;
        }
        // A field without a width takes as many figures as there are: no
        // fixed form of a group can hold it.
        if (e.kind != Step::digits || e.d.width == NO_WIDTH) return group_form{};
        if (!e.d.missing.empty()) g.first.add(static_cast<unsigned char>(e.d.missing[0]));
        part = figure_part(e.d);
        g.field_at[g.fields] = static_cast<unsigned char>(g.width);
        g.field_width[g.fields] = part.width;
        g.field_store[g.fields] = part.store;
        g.width += part.width;
        ++g.fields;
        if (part.store) ++g.stored;
    }
    g.parts = n;
    for (const char c : std::string_view("0123456789- \n\r\t"))
        g.first.add(static_cast<unsigned char>(c));
    pack(g);
    return g;
}

// Compiles pat into the slot; false (slot left empty) when the pattern is too
// long to keep.
[[gnu::noinline]] bool compile_into(compiled& c, const char* pat)
{
    c.key = nullptr;
    const std::size_t n = strnlen(pat, CACHE_TEXT);
    if (n >= static_cast<std::size_t>(CACHE_TEXT)) return false;
    std::memcpy(c.text, pat, n + 1);
    int count = 0;
    const char* p = c.text;
    while (*p) {
        if (count == CACHE_STEPS) return false;
        p = compile_step(p, c.steps[count++]);
        if (!p) break;
    }
    c.count = count;
    c.group = group_of(c.steps, count);
    c.key = pat;
    c.fixed = in_read_only_memory(pat);
    return true;
}

// The compiled form of pat, or nullptr when it cannot be kept.
const compiled* lookup(const char* pat)
{
    const std::size_t home = home_slot(pat);
    compiled* free_slot = nullptr;
    for (int k = 0; k < CACHE_PROBES; ++k) {
        compiled& c = cache[(home + static_cast<std::size_t>(k)) & (CACHE_SLOTS - 1)];
        if (c.key == pat) {
            if (c.fixed || std::strcmp(c.text, pat) == 0) return &c;
            return compile_into(c, pat) ? &c : nullptr;  // address reused
        }
        if (!c.key && !free_slot) free_slot = &c;
    }
    // A text too long to keep must not push a kept one out.
    if (strnlen(pat, CACHE_TEXT) >= static_cast<std::size_t>(CACHE_TEXT)) return nullptr;
    if (!free_slot) {
        free_slot = &cache[(home + evict_next) & (CACHE_SLOTS - 1)];
        evict_next = (evict_next + 1) % CACHE_PROBES;
    }
    return compile_into(*free_slot, pat) ? free_slot : nullptr;
}

// ---- running the steps

struct scan_state {
    const char* in;  // the text at the cursor
    int avail;       // characters from there to the end
    int pos = 0;
    int matched = 0;
    int assigned = 0;
    bool stopped = false;
    void take(int n, bool stored)
    {
        ++matched;
        if (stored) ++assigned;
        pos += n;
    }
};

// The caller's targets: the further arguments of a scanp call, or the
// array of a scanp_read call.
template <class T>
T* next_target(std::va_list& args)
{
    return va_arg(args, T*);
}
template <class T>
T* next_target(void* const*& targets)
{
    return static_cast<T*>(*targets++);
}

void scan_number(const directive& d, scan_state& st, void* target)
{
    const bool real = d.real;
    const char* s = st.in + st.pos;
    const int rest = st.avail - st.pos;
    const int lim = d.width < rest ? d.width : rest;
    int digits = 0, nb = 0, ne = 0;
    const int n = number_field(s, lim, real, d.padded, digits, nb, ne);
    if (digits == 0) {
        if (d.missing.empty()) {
            st.stopped = true;
            return;
        }
        const int m = static_cast<int>(d.missing.size());
        if (m <= d.width && m <= rest && std::memcmp(s, d.missing.data(), d.missing.size()) == 0) {
            if (target) {
                if (real) *static_cast<float*>(target) = VOK_MISSING_F;
                else *static_cast<std::int32_t*>(target) = VOK_MISSING;
            }
            st.take(m, target != nullptr);
        }
        // A missing text that does not fit is no failure: nothing is taken
        // and the pattern goes on.
        return;
    }
    if (d.mode == Mode::exact && n != d.width) {
        st.stopped = true;
        return;
    }
    bool ok;
    if (real) {
        float v = 0.0f;
        const auto r = std::from_chars(s + nb, s + ne, v);
        ok = r.ec == std::errc() && r.ptr == s + ne;
        if (ok && target) *static_cast<float*>(target) = v;
    } else {
        std::int32_t v = 0;
        ok = to_int32(s + nb, s + ne, v);
        if (ok && target) *static_cast<std::int32_t*>(target) = v;
    }
    if (ok) st.take(n, target != nullptr);
    else st.stopped = true;
}

// The common case of a "digits" step: the input holds the full width of
// digits. False, with nothing done, for anything else (a sign, a missing
// text, a short field), which the general path then reads.
bool scan_digits(const directive& d, scan_state& st, void* target)
{
    const int w = d.width;
    if (st.avail - st.pos < w) return false;
    const char* s = st.in + st.pos;
    std::int32_t v = 0;
    for (int i = 0; i < w; ++i) {
        const unsigned c = static_cast<unsigned char>(s[i]) - unsigned{'0'};
        if (c > 9) return false;
        v = v * 10 + static_cast<std::int32_t>(c);
    }
    if (target) *static_cast<std::int32_t*>(target) = v;
    st.take(w, target != nullptr);
    return true;
}

void scan_alternatives(const directive& d, scan_state& st, char* target)
{
    const char* s = st.in + st.pos;
    const int rest = st.avail - st.pos;
    const int lim = d.width < rest ? d.width : rest;
    // First alternative, in pattern order, that the input begins with.
    std::string_view alts = d.alternatives;
    while (true) {
        const std::size_t bar = alts.find('|');
        const std::string_view alt = alts.substr(0, bar);
        const int m = static_cast<int>(alt.size());
        if (m > 0 && m <= SCANP_FIELD_MAX && m <= rest &&
            std::memcmp(s, alt.data(), alt.size()) == 0) {
            store_text(target, s, m, true);
            st.take(m, target != nullptr);
            return;
        }
        if (bar == std::string_view::npos) break;
        alts.remove_prefix(bar + 1);
    }
    if (!d.missing.empty()) {
        // Matched in any case: the characters that agree with the missing
        // text are consumed.
        const int m = static_cast<int>(d.missing.size());
        int k = 0;
        while (k < m && k < lim && s[k] == d.missing[static_cast<std::size_t>(k)]) ++k;
        store_text(target, s, 0, true);
        st.take(k, target != nullptr);
    } else if (d.mode == Mode::optional) {
        st.take(0, target != nullptr);
    } else {
        st.stopped = true;
    }
}

void scan_text(const directive& d, scan_state& st, char* target)
{
    const char* s = st.in + st.pos;
    const int rest = st.avail - st.pos;
    const int lim = d.width < rest ? d.width : rest;
    int n = 0;
    bool terminate = true;
    switch (d.letter) {
    case 's': n = span(s, lim, [](unsigned char c) { return !is_white(c); }); break;
    case 'S': n = lim; break;
    case 'N': n = span(s, lim, is_digit); break;
    case 'A': n = span(s, lim, is_alpha); break;
    case 'c':
        n = lim;
        terminate = false;
        break;
    case 'w': n = span(s, lim, is_white); break;
    case 'W': n = span(s, lim, [](unsigned char c) { return is_white(c) && c != '\n'; }); break;
    case '[': {
        const char_set& set = d.set;
        const bool neg = d.negate;
        n = span(s, lim, [&set, neg](unsigned char c) { return set.has(c) != neg; });
        break;
    }
    default: break;
    }
    if (n == 0 || (d.mode == Mode::exact && n != d.width)) {
        st.stopped = true;
        return;
    }
    store_text(target, s, n, terminate);
    st.take(n, target != nullptr);
}

// Runs one step; true when the pattern moves past it.
bool run_step(const step& e, scan_state& st, void* target)
{
    switch (e.kind) {
    case Step::blank: {
        const int n = span(st.in + st.pos, st.avail - st.pos, is_white);
        if (n == 0) st.stopped = true;
        st.pos += n;
        return true;  // the pattern is past its blanks either way
    }
    case Step::literal:
        if (st.pos < st.avail && st.in[st.pos] == e.ch) {
            ++st.pos;
            return true;
        }
        st.stopped = true;
        return false;
    case Step::cut:
        st.stopped = true;
        return false;
    case Step::digits:
        if (!scan_digits(e.d, st, target)) scan_number(e.d, st, target);
        break;
    case Step::number: scan_number(e.d, st, target); break;
    case Step::position:
        if (target) *static_cast<int*>(target) = st.pos;
        st.take(0, target != nullptr);
        break;
    case Step::alternatives: scan_alternatives(e.d, st, static_cast<char*>(target)); break;
    case Step::text: scan_text(e.d, st, static_cast<char*>(target)); break;
    }
    return !st.stopped;
}

// The caller's pattern position for a compiled one (for the traces).
struct pattern_view {
    const char* pat;   // the caller's text
    const char* base;  // the text the steps point into, equal to it
    const char* at(const char* p) const { return pat + (p - base); }
};

// Runs steps [first, last) and returns where the pattern stands: after the
// last step run, or at the step that stopped the scan.
template <class Targets>
const char* run_steps(const step* first, const step* last, scan_state& st, Targets& args,
                      const pattern_view& view, bool debug)
{
    const char* p = first < last ? first->at : nullptr;
    for (const step* e = first; e != last && !st.stopped; ++e) {
        void* target = nullptr;
        if (is_field(e->kind) && e->d.store) target = next_target<void>(args);
        if (run_step(*e, st, target)) p = e->next;
        if (e->kind == Step::cut) break;  // no trace for a cut directive
        if (debug) MESS_print(SCANP_DEBUG, "     :%s:%.50s:\n", view.at(p), st.in + st.pos);
    }
    return p;
}

// What scan_group made of the input: a complete group read whole, a group
// refused at one of the pattern's leading literals or at a first character
// that no part takes (nothing matched, as the steps would find), or input
// that only the steps can tell.
enum class GroupRead { whole, refused, unknown };

// The figure fields of a group form against the input at s: their values
// in field order, or false when a field holds anything but its full width
// of figures or exactly its missing-value text (which reads -9999).
bool group_fields(const group_form& g, const char* s, std::int32_t* value)
{
    int f = 0;
    for (int k = 0; k < g.parts; ++k) {
        const group_part& part = g.part[k];
        if (part.literal) {
            if (*s++ != part.literal) return false;
            continue;
        }
        std::int32_t v = 0;
        for (int i = 0; i < part.width; ++i) {
            const unsigned digit = static_cast<unsigned char>(s[i]) - unsigned{'0'};
            if (digit > 9) {
                if (!part.has_missing || std::memcmp(s, part.missing, part.width) != 0)
                    return false;
                v = VOK_MISSING;
                break;
            }
            v = v * 10 + static_cast<std::int32_t>(digit);
        }
        value[f++] = v;
        s += part.width;
    }
    return true;
}

// A code group pattern against the input at in (avail characters): a
// complete group is every literal in place, every field its full width of
// figures or its missing-value text, the word (if any) one to its width of
// other than white space, then white space. Its fields are stored as the
// steps would store them, and *len is what was consumed; a refused group
// consumed *len characters of matching literals.
template <class Targets>
GroupRead scan_group(const group_form& g, const char* in, int avail, Targets& args, int* len)
{
    for (int k = 0; k < g.lead && k < avail; ++k) {
        if (in[k] != g.part[k].literal) {
            *len = k;
            return GroupRead::refused;
        }
    }
    if (g.lead == 0 && g.word == 0 && !g.first.has(static_cast<unsigned char>(in[0]))) {
        *len = 0;
        return GroupRead::refused;
    }
    int w = g.width;
    if (avail <= w) return GroupRead::unknown;
    std::int32_t value[GROUP_PARTS];
    if (!group_fields(g, in, value)) return GroupRead::unknown;
    int word = 0;
    if (g.word) {
        const int lim = std::min(g.word, avail - w);
        word = span(in + w, lim, [](unsigned char c) { return !is_white(c); });
        if (word == 0) return GroupRead::unknown;
        w += word;
        if (w >= avail) return GroupRead::unknown;
    }
    if (!is_white(static_cast<unsigned char>(in[w]))) return GroupRead::unknown;
    const int figure_fields = g.word ? g.fields - 1 : g.fields;
    for (int f = 0; f < figure_fields; ++f)
        if (g.field_store[f]) *next_target<std::int32_t>(args) = value[f];
    if (g.word_store) store_text(next_target<char>(args), in + g.width, word, true);
    *len = w + span(in + w, avail - w, is_white);
    return GroupRead::whole;
}

// A pattern too long to keep: read and run a few steps at a time.
template <class Targets>
const char* run_uncached(const char* pat, scan_state& st, Targets& args, bool debug)
{
    constexpr int CHUNK = 8;
    step steps[CHUNK];
    const pattern_view view{pat, pat};
    const char* p = pat;
    while (*p && !st.stopped) {
        int count = 0;
        const char* q = p;
        while (q && *q && count < CHUNK) q = compile_step(q, steps[count++]);
        p = run_steps(steps, steps + count, st, args, view, debug);
    }
    return p;
}

// A packed group form met by a complete group of figures and literals, read
// into the cursor's record at once; false, with nothing stored or changed,
// for any other input (a missing-value text, a refused literal ...), which
// read_group or the steps then read.
template <class Targets>
bool read_packed(const group_form& g, parse_param* param, Targets& args)
{
    const char* in = param->ptr + param->off;
    const int avail = param->length - param->off;
    const int w = g.width;
    if (avail < 8 || avail <= w) return false;
    const std::uint64_t x = eight_bytes(in);
    if ((x & g.lit_mask) != g.lit_bytes || (figure_bits(x) & g.figure_mask) != g.figure_mask ||
        !is_white(static_cast<unsigned char>(in[w])))
        return false;
    // The figures' values, byte by byte from the field's first one; the
    // shift brings in zeros past the group for the place values of 0 that
    // reach beyond it.
    const std::uint64_t low = x & 0x0F0F0F0F0F0F0F0Full;  // a figure's low four bits
    constexpr unsigned BYTE = 8;
    for (int f = 0; f < g.fields; ++f) {
        const std::uint64_t d = low >> (BYTE * g.field_at[f]);
        const std::int32_t* m = g.place[f];
        const auto figure = [d](unsigned i) {
            return static_cast<std::int32_t>((d >> (BYTE * i)) & 0xFF);
        };
        const std::int32_t v = figure(0) * m[0] + figure(1) * m[1] + figure(2) * m[2];
        if (g.field_store[f]) *next_target<std::int32_t>(args) = v;
    }
    // in[w] is white: the blanks after it, usually none, are counted on.
    param->len = w + 1 + span(in + w + 1, avail - w - 1, is_white);
    param->matched = g.fields;
    param->assigned = g.stored;
    param->done = 1;
    return true;
}

// A code group pattern read by scan_group into the cursor's record; false,
// with nothing stored or changed, when only the steps can read the input.
template <class Targets>
bool read_group(const group_form& g, parse_param* param, Targets& args)
{
    int len = 0;
    switch (scan_group(g, param->ptr + param->off, param->length - param->off, args, &len)) {
    case GroupRead::whole:
        param->len = len;
        param->matched = g.fields;
        param->assigned = g.stored;
        param->done = 1;
        return true;
    case GroupRead::refused:
        param->len = len;  // matched, assigned and done stay 0
        return true;
    case GroupRead::unknown:
        break;
    }
    return false;
}

// The pattern run step by step (from its compiled form c, or read as it
// runs when it could not be kept), with the traces when they are on.
// Returns the count of directives matched.
template <class Targets>
[[gnu::noinline]] int scan_steps(parse_param* param, const char* pat, const compiled* c,
                                 Targets& args)
{
    const bool debug = MESS_enabled(SCANP_DEBUG);
    scan_state st{param->ptr + param->off, param->length - param->off};
    const char* p;
    if (c) {
        const pattern_view view{pat, c->text};
        p = run_steps(c->steps, c->steps + c->count, st, args, view, debug);
    } else {
        p = run_uncached(pat, st, args, debug);
    }
    param->len = st.pos;
    param->matched = st.matched;
    param->assigned = st.assigned;
    param->done = (!st.stopped && !*p) ? 1 : 0;
    if (debug) {
        MESS_print(SCANP_DEBUG, "SCANP:%.50s:%s:%d:%d:%d:%d:%d\n", st.in, pat, param->off,
                   param->len, param->done, param->assigned, param->matched);
    }
    return st.matched;
}

// Clears the record of the last call; false when nothing can be scanned.
bool start_scan(parse_param* param, const char* pat)
{
    if (!param) return false;
    param->len = 0;
    param->assigned = 0;
    param->matched = 0;
    param->done = 0;
    return pat && *pat && param->ptr && param->off >= 0 && param->off < param->length;
}

// A scan with the compiled form c of pat (nullptr: read pat as it runs).
template <class Targets>
int scan_compiled(parse_param* param, const char* pat, const compiled* c, Targets& args)
{
    if (!c || !c->group.usable() || MESS_enabled(SCANP_DEBUG))
        return scan_steps(param, pat, c, args);
    if ((c->group.packed && read_packed(c->group, param, args)) ||
        read_group(c->group, param, args))
        return param->matched;
    return scan_steps(param, pat, c, args);
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
    if (!start_scan(param, pat)) return -1;
    std::va_list args;
    va_start(args, pat);
    const int matched = scan_compiled(param, pat, lookup(pat), args);
    va_end(args);
    return matched;
}

// Compiled forms that their callers keep for the life of the program. They
// live apart from the table of scanp, so no other pattern can push one out.
struct scanp_form {
    compiled form;
};

namespace {
constexpr int KEPT_FORMS = 32;
scanp_form kept_forms[KEPT_FORMS];
int kept_count = 0;
}  // namespace

const scanp_form* scanp_compile(const char* pat)
{
    if (!pat || !*pat) return nullptr;
    for (int i = 0; i < kept_count; ++i)  // one form per text
        if (std::strcmp(kept_forms[i].form.text, pat) == 0) return &kept_forms[i];
    if (kept_count == KEPT_FORMS) return nullptr;
    scanp_form& f = kept_forms[kept_count];
    if (!compile_into(f.form, pat)) return nullptr;
    ++kept_count;
    return &f;
}

int scanp_read(parse_param* param, const char* pat, const scanp_form* form,
               void* const* targets)
{
    if (!start_scan(param, pat)) return -1;
    return scan_compiled(param, pat, form ? &form->form : nullptr, targets);
}
