// The bulletin reader: a raw feed cut into single report parts.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <sys/stat.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "vok.h"
#include "vokresrc.h"
#include "vokupa.h"

// ================================================================ bulletin reader

const char* const type_str[UPA_NUM_KINDS] = {
    "TTAA", "TTBB", "TTCC", "TTDD", "PPAA", "PPBB", "PPDD", "UUAA", "UUBB",
    "UUCC", "UUDD", "IIAA", "IIBB", "IICC", "IIDD", "EEBB", "EEDD", "UNK",
};

namespace {

constexpr M_type RAW_DEBUG = M_DEBUG & M_SUB_D;
constexpr M_type RAW_DATA = M_OUT4 & M_SUB_C;

// Feeds put whole soundings on one physical line (over 1,800 characters in
// real bulletins), and a part word inside a line starts the next part, so a
// line may carry more than one part. A line is kept in one piece, so no
// group is ever split where a fixed-size read would have cut it; of what
// lies beyond this length only the last character is kept, which tells
// whether the line ends the report.
constexpr int RAW_LINE_MAX = 2 * UPA_RAW_MAX;
constexpr int RAW_WORD_MAX = 25;

// The first two words of a line: where each starts, its length (at most
// RAW_WORD_MAX characters count) and the position after it and its blanks.
struct RawWords {
    int pos[2] = {0, 0};
    int len[2] = {0, 0};
    int end[2] = {0, 0};
    int n = 0;
};

}  // namespace

// The current line, cleaned and without trailing blanks; one that ended a
// report without being used is the first line of the next call, even when
// that call reads another file.
// Eight bytes more than a line can take, so that its words can be looked at
// eight bytes at once up to its end.
static char line[RAW_LINE_MAX + 2 + 8];  // and the newline read with it
// The next line to examine when it is not the next line of the file: the
// rest of a line from a part word inside it on, or a line read ahead to
// find the station number of a part word at the end of the line before.
static char tail[RAW_LINE_MAX + 2];
static int tail_len = -1;  // -1: none
// Where the last capital letter (or later character) of `line` stands, or
// a place after it: no letter stands beyond it. Code groups hold figures,
// solidi and "=" only, so most lines have no letter past their first words.
static int line_letter = -1;
// Part identifier seen last and not yet used by a report.
static int rep_type = UPA_NO_KIND;
// The first two words of `line`, split when the line was read.
static RawWords line_words;

void UPA_read_raw_reset()
{
    line[0] = '\0';
    line_words = RawWords{};
    tail[0] = '\0';
    tail_len = -1;
    rep_type = UPA_NO_KIND;
}

namespace {

// The bytes that a stream has buffered and not yet handed out. glibc keeps
// them between _IO_read_ptr and _IO_read_end, where its own getc macro
// reads them: a line is cut there and copied out once, and the stream
// stands exactly where fgets would leave it (its position, end and error
// flags, and whoever reads it next, see no difference). Other C libraries
// show no window, and every byte comes through getc.
#if defined(__GLIBC__)
std::string_view stream_window(FILE* fp)
{
    return {fp->_IO_read_ptr, static_cast<std::size_t>(fp->_IO_read_end - fp->_IO_read_ptr)};
}
void stream_consume(FILE* fp, std::size_t n)
{
    fp->_IO_read_ptr += n;
}
#else
std::string_view stream_window(FILE*)
{
    return {};
}
void stream_consume(FILE*, std::size_t) {}
#endif

// Eight bytes of text as one word, to test them at once.
constexpr std::uint64_t BYTES_1 = 0x0101010101010101ull;
std::uint64_t eight_bytes(const char* s)
{
    std::uint64_t x;
    std::memcpy(&x, s, sizeof x);
    return x;
}

// The top bit of each of eight bytes that is a control or 8-bit byte (the
// newline is a control byte): a byte is 8-bit when its top bit is set, and
// a control byte when adding 0x60 to its low seven bits leaves the top bit
// clear (no carry crosses bytes).
std::uint64_t odd_bytes(std::uint64_t x)
{
    const std::uint64_t control = ~((x & BYTES_1 * 0x7F) + BYTES_1 * 0x60);
    return (control | x) & BYTES_1 * 0x80;
}

// How many of the eight bytes come before the first one marked in odd: all
// eight when none is; where the byte order does not tell it at once, none
// of a marked group.
int plain_before(std::uint64_t odd)
{
    if constexpr (std::endian::native == std::endian::little) return std::countr_zero(odd) / 8;
    return odd ? 0 : 8;
}

// How many bytes a block of plain text used, and whether a control byte
// other than the line's newline stopped it (that byte is taken alone).
struct Plain {
    int count;
    bool stopped;
};

// One physical line as fgets(buf, max + 1) reads it, cleaned on the way by
// clean_line's rule: control and 8-bit bytes, the newline among them,
// become blanks.
struct Fetched {
    int got = 0;           // bytes read, the newline included
    int text = -1;         // where the first NUL stands: it ends the text
    bool newline = false;  // the line ended with its newline
    int letter = -1;       // the last capital letter or later character
    RawWords first;        // the line's first two words, when split is set
    bool split = false;
    // Takes byte c; false once the line is complete.
    bool take(char* buf, unsigned char c)
    {
        if (c == '\0' && text < 0) text = got;
        if (c >= 'A' && c < 0x80) letter = got;
        buf[got++] = c < ' ' || c >= 0x80 ? ' ' : static_cast<char>(c);
        newline = c == '\n';
        return !newline;
    }
    // The first two words of the line, told from its first block of
    // sixteen bytes (marks of its blanks and of its control and 8-bit
    // bytes) when the third word starts inside the block and nothing but
    // blanks and word characters comes before it: the common line of code
    // groups. Other lines are split from the copied text.
    void split_block(unsigned blanks, unsigned odd)
    {
        constexpr int block = 16;
        constexpr unsigned past = 1u << block;  // stops every search at the block's end
        const unsigned gaps = blanks | odd;
        const unsigned chars = ~gaps & (past - 1);
        const auto next = [](unsigned marks, int from) {
            return std::countr_zero((marks & (~0u << from)) | past);
        };
        const int s0 = next(chars, 0);
        const int e0 = next(gaps, s0);
        const int s1 = next(chars, e0);
        const int e1 = next(gaps, s1);
        const int s2 = next(chars, e1);
        if (s2 >= block || (odd & ((1u << s2) - 1)) != 0) return;
        first.pos[0] = s0;
        first.len[0] = e0 - s0;
        first.end[0] = s1;
        first.pos[1] = s1;
        first.len[1] = e1 - s1;
        first.end[1] = s2;
        first.n = 2;
        split = true;
    }
    // A block of `block` bytes copied from p, of which the first `plain`
    // were plain and already counted: when a newline stopped them it is
    // taken here, as the blank that cleaning makes of it, and the line is
    // complete without a step of its own for its last byte.
    Plain end_at_newline(char* buf, const char* p, int plain, int block)
    {
        if (plain == block) return {plain, false};
        if (p[plain] != '\n') return {plain, true};
        buf[got++] = ' ';
        newline = true;
        return {plain + 1, false};
    }
    // Notes the letters among the eight bytes x about to be taken at got,
    // up to the first control or 8-bit byte (marked in odd). Adding 0x3F to
    // a byte of 0x20 to 0x7F sets its top bit exactly from "A" on; a carry
    // only leaves a byte at or after the first odd one, which the mask drops.
    void note_letters(std::uint64_t x, std::uint64_t odd)
    {
        const std::uint64_t before_odd = (odd & (0 - odd)) - 1;  // all bits when odd is 0
        const std::uint64_t bits = ((x + BYTES_1 * 0x3F) & BYTES_1 * 0x80) & before_odd;
        if (!bits) return;
        if constexpr (std::endian::native == std::endian::little)
            letter = got + (63 - std::countl_zero(bits)) / 8;
        else
            letter = got + 7;
    }
};

// The plain bytes at p (up to the first control or 8-bit byte) copied into
// buf at f.got, a block at a time: sixteen bytes when room (at least 8)
// allows and the processor has 16-byte registers, else eight. Returns how
// many bytes were used (a newline that stopped them among them: it ends
// the line) and whether another control byte stopped them.
Plain copy_plain(Fetched& f, char* buf, const char* p, std::ptrdiff_t room)
{
#if defined(__SSE2__)
    if (room >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buf + f.got), v);
        // As signed bytes, control and 8-bit bytes are the ones below a blank.
        const unsigned odd =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(' '))));
        const unsigned before_odd = odd ? (odd & (0u - odd)) - 1 : 0xFFFFu;
        const unsigned letters =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpgt_epi8(v, _mm_set1_epi8('@')))) &
            before_odd;
        if (letters) f.letter = f.got + 31 - std::countl_zero(letters);
        if (f.got == 0) {
            const unsigned blanks = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(' '))));
            f.split_block(blanks, odd);
        }
        const int plain = std::countr_zero(odd | 0x10000u);
        f.got += plain;
        return f.end_at_newline(buf, p, plain, 16);
    }
#endif
    (void)room;
    std::memcpy(buf + f.got, p, 8);
    const std::uint64_t x = eight_bytes(p);
    const std::uint64_t odd = odd_bytes(x);
    f.note_letters(x, odd);
    const int plain = plain_before(odd);
    f.got += plain;
    return f.end_at_newline(buf, p, plain, 8);
}

Fetched raw_fetch(FILE* ifile, char* buf, int max)
{
    Fetched f;
    while (f.got < max && !f.newline) {
        const std::string_view w = stream_window(ifile);
        if (w.empty()) {
            // An empty window: getc refills the buffer (or meets the end).
            const int c = getc_unlocked(ifile);
            if (c == EOF) break;
            f.take(buf, static_cast<unsigned char>(c));
            continue;
        }
        const char* p = w.data();
        const char* end = p + std::min(w.size(), static_cast<std::size_t>(max - f.got));
        while (p < end) {
            // Plain text goes a block at a time, up to a control byte (the
            // newline), which is taken alone. The block fits: the window was
            // cut to the room left in buf.
            if (end - p >= 8) {
                const Plain plain = copy_plain(f, buf, p, end - p);
                p += plain.count;
                if (f.newline) break;
                if (!plain.stopped) continue;
            }
            if (!f.take(buf, static_cast<unsigned char>(*p++))) break;
        }
        stream_consume(ifile, static_cast<std::size_t>(p - w.data()));
    }
    return f;
}

// Next physical line into buf (RAW_LINE_MAX + 2 bytes), cleaned and
// trimmed (clean_line, trim_string); its length, or -1 at the end of the
// file (buf is then empty). *letter: no capital letter stands after it.
// With words given, its first two words go there when the reading told
// them (true returned in *split), else *split is false.
int raw_read_line(FILE* ifile, char* buf, int* letter, RawWords* words = nullptr,
                  bool* split = nullptr)
{
    constexpr int size = RAW_LINE_MAX + 2;
    const Fetched f = raw_fetch(ifile, buf, size - 1);
    *letter = f.letter;
    if (words) {
        *split = f.split;
        if (f.split) *words = f.first;
    }
    if (f.got == 0) {
        buf[0] = '\0';
        return -1;
    }
    int k = f.text >= 0 ? f.text : f.got;
    if (k == size - 1 && !f.newline) {
        // An over-long line: skip its rest, remembering its last visible
        // character ("=" or ";" ends the report).
        int c = static_cast<unsigned char>(buf[RAW_LINE_MAX]);
        int last = c > ' ' ? c : 0;
        while ((c = getc_unlocked(ifile)) != EOF && c != '\n')
            if (c > ' ' && c < 0x80) last = c;
        k = RAW_LINE_MAX;
        if (last) buf[k - 1] = static_cast<char>(last);
        if (last >= 'A') *letter = k - 1;
    }
    // Trailing blanks go, and the trailing control bytes with them, as
    // clean_line drops them.
    while (k > 0 && buf[k - 1] == ' ') --k;
    buf[k] = '\0';
    return k;
}

// One blank-separated word of a line: where it starts and its length.
struct RawWord {
    int pos;
    int len;
};

// The word starting at or after pos; len 0 at the end of the line.
RawWord raw_word_at(const char* s, int pos)
{
    while (s[pos] == ' ') ++pos;
    int end = pos;
    while (s[end] && s[end] != ' ') ++end;
    return {pos, end - pos};
}

// Kind of a word that is a part word (any of the 17), else UPA_NO_KIND.
int raw_part_word(const char* s, RawWord w)
{
    if (w.len != 4) return UPA_NO_KIND;
    for (int kind = UPA_TTAA; kind <= UPA_EEDD; ++kind)
        if (std::memcmp(s + w.pos, type_str[kind], 4) == 0) return kind;
    return UPA_NO_KIND;
}

// YYGGId: day and hour in four figures, the wind indicator a figure or a
// solidus.
bool raw_date_group(const char* s, RawWord w)
{
    if (w.len != 5) return false;
    for (int i = 0; i < 4; ++i)
        if (s[w.pos + i] < '0' || s[w.pos + i] > '9') return false;
    const char id = s[w.pos + 4];
    return (id >= '0' && id <= '9') || id == '/';
}

// IIiii: block and station number.
bool raw_station(const char* s, RawWord w)
{
    if (w.len != 5) return false;
    for (int i = 0; i < 5; ++i)
        if (s[w.pos + i] < '0' || s[w.pos + i] > '9') return false;
    return true;
}

// The groups that open a part after its word: YYGGId IIiii for land
// stations, D....D YYGGId for ships and mobile stations. No code group of a
// report looks like a part word, and none is followed by these two.
bool raw_heading_follows(const char* s, int kind, RawWord w)
{
    const RawWord a = raw_word_at(s, w.pos + w.len);
    const RawWord b = raw_word_at(s, a.pos + a.len);
    if (kind <= UPA_PPDD) return raw_date_group(s, a) && raw_station(s, b);
    return a.len > 0 && a.len < VOK_ID_LEN && s[a.pos + a.len - 1] != '=' && raw_date_group(s, b);
}

// Where the word at pos of `line` ends: its first blank or the end of the
// line. Eight bytes at a time (the line has room for them past its end): a
// byte that is blank or NUL is zero after the XOR with blanks or as it is;
// the lowest byte the zero test marks is the first such byte (a borrow only
// marks bytes above a true zero).
int raw_word_end(int pos)
{
    if constexpr (std::endian::native == std::endian::little) {
        for (;; pos += 8) {
            const std::uint64_t x = eight_bytes(line + pos);
            const std::uint64_t b = x ^ (BYTES_1 * ' ');
            const std::uint64_t stop =
                ((x - BYTES_1) & ~x) | ((b - BYTES_1) & ~b);
            if (stop & BYTES_1 * 0x80)
                return pos + std::countr_zero(stop & BYTES_1 * 0x80) / 8;
        }
    }
    while (line[pos] && line[pos] != ' ') ++pos;
    return pos;
}

// The first two words of `line` from pos on.
void raw_split(int pos, RawWords& w)
{
    const char* s = line;
    w.n = 0;
    w.pos[0] = w.pos[1] = pos;
    w.len[0] = w.len[1] = 0;
    w.end[0] = w.end[1] = pos;
    for (int k = 0; k < 2; ++k) {
        while (s[pos] == ' ') ++pos;
        if (!s[pos]) break;
        const int start = pos;
        pos = raw_word_end(pos);
        w.pos[k] = start;
        w.len[k] = std::min(pos - start, RAW_WORD_MAX);
        while (s[pos] == ' ') ++pos;
        w.end[k] = pos;
        ++w.n;
    }
}

// Parts run together on one line ("... 10008 13515 TTBB  56008 74005
// 00991 ..."): from the third word on, a part word followed by the groups
// that open a part ends the line there; the rest becomes the next line, so
// that it starts its part exactly as a line of its own would. The first two
// words are the part word places of a line's start (a station number may
// stand before the word). Returns the line's new length.
int raw_cut_at_part_word(int n)
{
    if (tail_len >= 0) return n;  // a line read ahead is already waiting
    // Code groups hold figures and solidi: most lines have no letter at all
    // past their first two words, which one quick pass tells; otherwise a
    // capital that starts a word of four letters is worth a closer look.
    const int from = line_words.n == 2 ? line_words.end[1] : n;
    if (line_letter < from) return n;
    for (int p = from; p + 4 <= n; ++p) {
        if (line[p] < 'E' || line[p] > 'U' || line[p - 1] != ' ' || (p + 4 < n && line[p + 4] != ' '))
            continue;
        const RawWord word{p, 4};
        const int kind = raw_part_word(line, word);
        if (kind == UPA_NO_KIND || !raw_heading_follows(line, kind, word)) continue;
        tail_len = n - p;
        std::memcpy(tail, line + p, static_cast<std::size_t>(tail_len) + 1);
        n = p;
        while (n > 0 && line[n - 1] == ' ') --n;
        line[n] = '\0';
        break;
    }
    return n;
}

// A land part word and its date group ending a line ("... 82335 TTDD
// 5600/" with "74005 11954 ..." on the next line): the station number that
// opens the next line belongs to them, and the two lines are read as one
// (true, *len updated). Otherwise the line read ahead is the next line
// examined.
bool raw_join_heading(FILE* ifile, int* len)
{
    // The last word, when it is a date group, has five characters: they
    // are looked at where it would stand, with no search for its start.
    const int n = *len;
    const int p = n - 5;
    if (p < 0 || (p > 0 && line[p - 1] != ' ')) return false;
    if (!raw_date_group(line, RawWord{p, 5})) return false;
    int q = p;
    while (q > 0 && line[q - 1] == ' ') --q;
    if (q < 4 || (q > 4 && line[q - 5] != ' ')) return false;
    const int kind = raw_part_word(line, RawWord{q - 4, 4});
    if (kind == UPA_NO_KIND || kind > UPA_PPDD) return false;
    int tail_letter;
    const int next = raw_read_line(ifile, tail, &tail_letter);
    if (next < 0) return false;
    if (raw_station(tail, raw_word_at(tail, 0)) && n + 1 + next <= RAW_LINE_MAX) {
        line[n] = ' ';
        std::memcpy(line + n + 1, tail, static_cast<std::size_t>(next) + 1);
        tail[0] = '\0';
        *len = n + 1 + next;
        line_letter = tail_letter < 0 ? line_letter : n + 1 + tail_letter;
        return true;
    }
    tail_len = next;
    return false;
}

// The next line to examine into `line`: the one held back, else the next
// line of the file. Its length, or -1 at the end of the file (the line is
// then empty).
int raw_next_line(FILE* ifile)
{
    int n;
    bool split = false;
    if (tail_len >= 0) {
        n = tail_len;
        std::memcpy(line, tail, static_cast<std::size_t>(n) + 1);
        tail_len = -1;
        line_letter = n - 1;  // not known: every place is looked at
    } else if ((n = raw_read_line(ifile, line, &line_letter, &line_words, &split)) < 0) {
        line_words = RawWords{};
        return -1;
    }
    // The first part word inside the line hands the rest of the line on;
    // the last part of a line may take its station number from the next.
    // Both change the line (seldom): its words are split again.
    if (!split) raw_split(0, line_words);
    int cut = raw_cut_at_part_word(n);
    if (cut != n) raw_split(0, line_words);
    n = cut;
    if (tail_len < 0 && raw_join_heading(ifile, &n)) {
        raw_split(0, line_words);
        n = raw_cut_at_part_word(n);
        raw_split(0, line_words);
    }
    return n;
}

bool raw_word_is(const char* s, const RawWords& w, int k, int kind)
{
    return k < w.n && w.len[k] == 4 && std::memcmp(s + w.pos[k], type_str[kind], 4) == 0;
}

// Kind of the part identifier word among the two words, and the text
// position after it. Land TEMP and PILOT words count in first or second
// place (a station number may precede them, "72493 TTAA  56001 72493"),
// ship and mobile words only in first place.
int raw_identifier(const char* s, const RawWords& w, int* pos)
{
    const bool first4 = w.n > 0 && w.len[0] == 4;
    const bool second4 = w.n > 1 && w.len[1] == 4;
    if (!first4 && !second4) return UPA_NO_KIND;
    for (int kind = UPA_TTAA; kind <= UPA_PPDD; ++kind) {
        if (raw_word_is(s, w, 0, kind)) {
            *pos = w.end[0];
            return kind;
        }
        if (raw_word_is(s, w, 1, kind)) {
            *pos = w.end[1];
            return kind;
        }
    }
    for (int kind = UPA_UUAA; kind <= UPA_EEDD; ++kind) {
        if (raw_word_is(s, w, 0, kind)) {
            *pos = w.end[0];
            return kind;
        }
    }
    return UPA_NO_KIND;
}

bool is_figure(char c)
{
    return c >= '0' && c <= '9';
}

// Four figures at s, tested at once (every line of the feed meets this
// test): a byte is a figure when taking "0" from it and adding 0x46 to it
// ("9" + 0x46 = 0x7F) both leave its top bit clear. A borrow or carry that
// crosses into the next byte comes only from a byte that fails already.
constexpr std::uint32_t BYTES4_1 = 0x01010101u;
bool four_figures(const char* s)
{
    std::uint32_t x;
    std::memcpy(&x, s, sizeof x);
    return (((x - BYTES4_1 * '0') | (x + BYTES4_1 * 0x46)) & BYTES4_1 * 0x80) == 0;
}

// Land report start: IIiii after a YYGGI group whose indicator may be
// missing ("5600/ 72786"); a minus sign passes the digit test of the
// station number.
bool raw_rule5(const char* s, const RawWords& w)
{
    if (w.n != 2 || w.len[0] != 5 || w.len[1] != 5) return false;
    const char* a = s + w.pos[0];
    const char* b = s + w.pos[1];
    return four_figures(a) && (b[0] == '-' || is_figure(b[0])) && four_figures(b + 1);
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
        if (len >= UPA_RAW_MAX) return;
        data[len++] = ' ';
        data[len] = '\0';
        add(s, n);
    }
};

// Where the reader stands in the report it collects.
enum class RawState {
    waiting,     // no report started yet
    collecting,  // lines are being added to the report
    closed,      // a ";" or "=" closed it: only a regional 333 line goes on
    ended,       // a lone group closed it, or the file ended
};

// The report being collected from the lines of a call.
struct RawCollector {
    FILE* ifile;
    RawReport rep;
    char* id;
    int* type;
    bool dbg;
    int line_len;
    RawState state = RawState::waiting;
    int lines = 0;         // lines in the report while collecting
    bool started = false;  // the report has its part word and identifier
    int taken = 0;         // how often the current line was used

    // The progress as the debugging traces show it: 0 waiting, the lines
    // collected, -2 closed, -1 ended.
    int progress() const
    {
        switch (state) {
        case RawState::waiting: return 0;
        case RawState::collecting: return lines;
        case RawState::closed: return -2;
        case RawState::ended: return -1;
        }
        return -1;
    }
    bool collecting() const { return state == RawState::collecting; }
    bool going_on() const { return state == RawState::waiting || state == RawState::collecting; }

    void trace_words(const char* tag, const RawWords& w, int t) const
    {
        MESS_print(RAW_DEBUG, "%s: %d %d %d %.*s %.*s\n", tag, t, progress(), taken, w.len[0],
                   line + w.pos[0], w.len[1], line + w.pos[1]);
    }

    // The line opens the report (word k is its identifier) or goes on with
    // it.
    void take(const RawWords& w, int k, const char* text, int text_len)
    {
        if (state == RawState::waiting && rep_type != UPA_NO_KIND) {
            *type = rep_type;
            rep_type = UPA_NO_KIND;
            rep.start(text, text_len);
            const int n = std::min(w.len[k], UPA_RAW_ID_LEN - 1);
            std::memcpy(id, line + w.pos[k], static_cast<std::size_t>(n));
            id[n] = '\0';
            started = true;
            state = RawState::collecting;
            lines = 1;
            ++taken;
        } else if (collecting()) {
            if (!taken) rep.add_blank_and(text, text_len);
            ++taken;
            ++lines;
        }
    }

    bool examine(const RawWords& line_w);
    void next_line();
    void finish();
};

// One line of the feed. False when the line belongs to the next part: it
// stays for the next call.
bool RawCollector::examine(const RawWords& line_w)
{
    taken = 0;
    int pos = 0;
    // The words are read where the line's split left them; only a line
    // with a part word is split again, after it, into words of its own.
    // (Copying the split words whole would wait on the small stores that
    // just wrote them.)
    RawWords after;
    const RawWords* wp = &line_w;
    const int kind = raw_identifier(line, line_w, &pos);
    if (kind != UPA_NO_KIND) {
        rep_type = kind;
        raw_split(pos, after);
        wp = &after;
    }
    const RawWords& w = *wp;
    if (dbg)
        MESS_print(RAW_DEBUG, "STR: %.*s %.*s\n", w.len[0], line + w.pos[0], w.len[1],
                   line + w.pos[1]);
    if (rep_type != UPA_NO_KIND && collecting()) {
        if (dbg) MESS_print(RAW_DEBUG, "REP: %d %d %d\n", rep_type, progress(), taken);
        return false;
    }
    if (w.n < 2) {
        // A lone group (NIL=, /////=) closes the report, leading blanks
        // and all.
        if (dbg) MESS_print(RAW_DEBUG, "ERR-2: %d %d %d\n", rep_type, progress(), taken);
        if (collecting()) {
            rep.add_blank_and(line, line_len);
            state = RawState::ended;
            ++taken;
        }
    }
    const char* text = line + pos;
    const int text_len = line_len - pos;
    if (rep_type >= UPA_UUAA && rep_type <= UPA_EEDD && w.n == 2) {
        // Ships and mobile stations: the call sign opens the report.
        if (dbg) trace_words("STR-S", w, rep_type);
        take(w, 0, text, text_len);
    }
    if (raw_rule5(line, w)) {
        if (dbg) trace_words("STR-5", w, rep_type);
        take(w, 1, text, text_len);
    }
    const char last = text_len > 0 ? text[text_len - 1] : '\0';
    if (last == ';' || last == '=') {
        if (dbg) MESS_print(RAW_DEBUG, "STR-%c: %d %d %d\n", last, *type, progress(), taken);
        if (collecting()) {
            if (!taken) rep.add_blank_and(text, text_len);
            state = RawState::closed;
        }
    }
    if (!taken) {
        if (dbg) MESS_print(RAW_DEBUG, "NOT-D: %d %d %d\n", *type, progress(), taken);
        if (collecting()) {
            rep.add_blank_and(text, text_len);
            ++lines;
        }
    }
    if (dbg) MESS_print(RAW_DEBUG, "%d:%d:%d:%s\n", *type, progress(), taken, line);
    return true;
}

// Moves on to the next line. A ";" closes the main part; regional 333
// groups follow on lines of their own and still belong to the report.
void RawCollector::next_line()
{
    line_len = raw_next_line(ifile);
    if (line_len < 0) {
        state = RawState::ended;
    } else if (state == RawState::closed && std::strncmp(line, "  333", 5) == 0) {
        state = RawState::collecting;
        lines = 2;
    }
}

// The report's end: its closing "=" or ";" becomes a blank, a group cut at
// the capacity goes, and one blank closes the text.
void RawCollector::finish()
{
    char* data = rep.data;
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
}

// A line with nothing to examine: an empty one, or the header of an
// archive's bulletin ("** "), after which whatever identifier was pending
// belonged to the previous bulletin.
bool raw_passed_over(int line_len)
{
    if (line_len <= 0) return true;
    if (line[0] == '*' && line[1] == '*' && line[2] == ' ') {
        rep_type = UPA_NO_KIND;
        return true;
    }
    return false;
}

}  // namespace

int UPA_read_raw(FILE* ifile, char* data, char* id, int* type)
{
    if (!ifile || !data || !id || !type) return -1;
    // A line left over by the previous call is examined even when the file
    // has no more input: the last line of a file without a final newline
    // may be the one that ended the previous report.
    int line_len;
    if (line[0] == '\0') {
        if (tail_len < 0 && std::feof(ifile)) return -1;
        line_len = raw_next_line(ifile);
    } else {
        line_len = static_cast<int>(std::strlen(line));
    }

    RawCollector c{ifile, RawReport{data, 0}, id, type, MESS_enabled(RAW_DEBUG), line_len};
    while (c.going_on()) {
        if (c.dbg) MESS_print(RAW_DEBUG, "LINE:%s\n", line);
        if (raw_passed_over(c.line_len)) {
            if ((c.line_len = raw_next_line(ifile)) < 0) break;
            continue;
        }
        if (!c.examine(line_words)) break;
        c.next_line();
    }

    if (!c.started) return 0;
    c.finish();
    if (MESS_enabled(RAW_DATA)) MESS_print(RAW_DATA, "DATA: %s %s\n\n", type_str[*type], data);
    return 1;
}
