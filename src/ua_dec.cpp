// Raw upper-air bulletins to reports: the bulletin reader cuts a feed into
// single report parts, the decoders read the TEMP and PILOT code groups of
// each part into the station's report record.
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


// ================================================================ decoders

// Every group is read with the pattern scanner and taken only when the scan
// stored what was asked for and ran past the group onto the blank behind it:
// a short or run-together group is never half-read, and the cursor stays on
// it so that the next step can try the same text with its own pattern.
// Nothing here allocates or formats unless a trace level is on, as every
// report part of a feed passes through these functions.

namespace {

constexpr M_type DEC_GROUP = M_DEBUG & M_SUB_C;  // one line per accepted group
constexpr M_type DEC_POS = M_DEBUG & M_SUB_B;  // the position groups
constexpr M_type DEC_LIST = M_DEBUG & M_SUB_A;  // the levels a part filled
constexpr M_type DEC_REJECT = M_OUT3 & M_SUB_C;  // report outside the decode window
constexpr float KNOTS_PER_MS = 1.944f;
constexpr double METRES_PER_FOOT = 0.3048;
constexpr int ALL_LEVELS = 30;             // wind indicator: no limit

bool is_missing(int v) { return v == VOK_MISSING; }

// A code group holds figures and solidi only; a minus sign that the scanner
// would take as part of a number is no valid group.
bool figures(int v) { return v >= 0 || is_missing(v); }

// The scan is taken when it stored `count` values and consumed more than
// `group` characters (the group and at least one blank).
bool accept(parse_param* pp, int got, int count, int group)
{
    if (got != count || pp->len <= group) return false;
    scanp_inc(pp);
    return true;
}

void trace_group(const char* fmt, const parse_param* pp)
{
    if (MESS_enabled(DEC_GROUP)) MESS_print(DEC_GROUP, fmt, scanp_str(pp));
}

// The same for a group that accept() has just passed.
void trace_taken(M_type mask, const char* fmt, const parse_param* pp)
{
    if (MESS_enabled(mask)) MESS_print(mask, fmt, pp->ptr + (pp->off - pp->len));
}

const char* kind_name(int type)
{
    return (type >= 0 && type < UPA_NUM_KINDS) ? type_str[type] : "UNK";
}

// Copies a word read by "%<10s" into a report's 11-character field.
void set_text(char* field, const char* word)
{
    const std::size_t n = strnlen(word, VOK_ID_LEN - 1);
    std::memcpy(field, word, n);
    field[n] = '\0';
}

// The group that names the station, into word; it names the slot too when
// the slot has no identifier yet. `shortest`: the fewest characters the
// group must have, one blank included.
bool read_identifier(parse_param* pp, UPA_report* rep, char* word, int shortest, bool land)
{
    char w[VOK_ID_LEN] = "";
    if (!accept(pp, scanp_kept<"%<10s ">(pp, w), 1, shortest)) return false;
    trace_taken(DEC_GROUP, "   ID: %5.5s\n", pp);
    set_text(word, w);
    if (rep->id[0] == '\0') {
        set_text(rep->id, w);
        rep->wmo = land ? std::atoi(w) : 99999;
    }
    return true;
}

// Call sign of a ship or mobile platform (platforms are not in the station
// table: no station number).
bool read_call_sign(parse_param* pp, UPA_report* rep, char* word)
{
    return read_identifier(pp, rep, word, 4, false);
}

// Block and station number of a land station.
bool read_station(parse_param* pp, UPA_report* rep, char* word)
{
    return read_identifier(pp, rep, word, 5, true);
}

// 99LaLaLa QcLoLoLoLo and the groups that follow it (MMMUU; for mobile land
// stations also h0h0h0h0im), which this conversion does not keep. The
// following groups are passed over even when the position group is
// malformed: its 99LaLaLa would otherwise pass for a surface group.
void read_position(parse_param* pp, UPA_report* rep, bool mobile)
{
    int la = 0, qc = 0, lo = 0;
    if (accept(pp, scanp_kept<"99%3!///!d %1!/!d%4!////!d ">(pp, &la, &qc, &lo), 3, 10) &&
        figures(la) && figures(lo)) {
        rep->lat = is_missing(la) ? VOK_MISSING_F : la / 10.0f;
        if (!is_missing(la) && (qc == 3 || qc == 5)) rep->lat = -rep->lat;
        rep->lon = is_missing(lo) ? VOK_MISSING_F : lo / 10.0f;
        if (!is_missing(lo) && qc > 4) rep->lon = -rep->lon;
        rep->wmo = 99999;
        rep->elev = 0.0f;
        trace_taken(DEC_POS, "99LLL QLLLL: %11.11s\n", pp);
    }
    char w[VOK_ID_LEN];
    const int skip = mobile ? 2 : 1;
    for (int k = 0; k < skip; ++k) {
        if (accept(pp, scanp_kept<"%<10s ">(pp, w), 1, 0)) continue;
        break;
    }
}

// The time check shared by all parts. A part whose date group did not read
// has no time: it is refused as well (hour -1 would otherwise be taken for
// one minute before midnight).
bool time_ok(int type, const char* word, int hour)
{
    if (hour >= 0 && DATE_chk_range(hour)) return true;
    if (MESS_enabled(DEC_REJECT)) {
        MESS_print(DEC_REJECT, "Bad %s date for %s: %4.4d\n", kind_name(type), word, hour);
    }
    return false;
}

// v / 10 as a float, for the three figures of a group from a table made
// by the very same division when the program is built: a division waits on
// every level of every part.
constexpr auto TENTHS = [] {
    std::array<float, 1000> t{};
    for (int i = 0; i < 1000; ++i) t[static_cast<std::size_t>(i)] = static_cast<float>(i) / 10.0f;
    return t;
}();
float tenths(int v)
{
    return v >= 0 && v < 1000 ? TENTHS[static_cast<std::size_t>(v)] : v / 10.0f;
}

// TTTa: tenths of degrees, the parity of the tenths figure giving the sign.
float temperature(int ttt)
{
    if (is_missing(ttt)) return VOK_MISSING_F;
    const float t = tenths(ttt);
    return (ttt % 2) ? -t : t;
}

// DD: tenths of a degree up to 5.0, whole degrees (plus 50) from 6 on.
float depression(int dd)
{
    if (is_missing(dd)) return VOK_MISSING_F;
    return dd <= 50 ? tenths(dd) : static_cast<float>(dd - 50);
}

float dew_point(float t, float dep)
{
    if (t == VOK_MISSING_F || dep == VOK_MISSING_F) return VOK_MISSING_F;
    return t - dep;
}

// ddfff: direction in tens of degrees, the hundreds of the speed (500 and
// more) adding 5 degrees to the direction.
struct Wind {
    float dir;
    float spd;
    bool valid;  // speed not above 249: a real wind group
};

[[gnu::always_inline]] inline Wind wind_of(int dd, int fff, bool ms)
{
    Wind w{VOK_MISSING_F, VOK_MISSING_F, true};
    // Without a branch on the speed's hundreds, which vary from group to
    // group.
    const int over = static_cast<int>(!is_missing(fff) & (fff >= 500));
    const int speed = fff - 500 * over;
    const int dir = is_missing(dd) ? VOK_MISSING : dd * 10 + 5 * over;
    if (!is_missing(speed) && speed > 249) {
        w.valid = false;
        return w;
    }
    if (!is_missing(dir)) w.dir = static_cast<float>(dir);
    if (!is_missing(speed)) w.spd = ms ? speed * KNOTS_PER_MS : static_cast<float>(speed);
    return w;
}

// Scans a ddfff group without accepting it.
bool scan_wind(parse_param* pp, int* dd, int* fff)
{
    const int got = scanp_kept<"%2!//!d%3!///!d ">(pp, dd, fff);
    if (got != 2 || pp->len <= 5) return false;
    if (!(is_missing(*dd) || (*dd >= 0 && *dd <= 36))) return false;
    return figures(*fff);
}

// Height of a standard isobaric surface from the three figures of its
// pphhh group: the decametres or metres reported wrap every 1000 (10000 m),
// so the thousands come from the level's climatological range.
float standard_height(int slot, int hhh)
{
    if (is_missing(hhh)) return VOK_MISSING_F;
    int h;
    switch (slot) {
    case 1: h = hhh >= 500 ? 500 - hhh : hhh; break;
    case 2: h = hhh; break;
    case 3: h = hhh + 1000; break;
    case 4: h = hhh > 500 ? hhh + 2000 : hhh + 3000; break;
    case 5:
    case 6: h = hhh * 10; break;
    case 7:
    case 8: h = hhh > 500 ? hhh * 10 : hhh * 10 + 10000; break;
    case 9:
    case 10:
    case 11:
    case 12: h = hhh * 10 + 10000; break;
    case 13: h = hhh > 500 ? hhh * 10 + 10000 : hhh * 10 + 20000; break;
    case 14:
    case 15: h = hhh * 10 + 20000; break;
    case 16: h = hhh > 500 ? hhh * 10 + 20000 : hhh * 10 + 30000; break;
    case 17:
    case 18: h = hhh * 10 + 30000; break;
    case 19:
    case 20: h = hhh > 500 ? hhh * 10 + 30000 : hhh * 10 + 40000; break;
    case 21: h = hhh > 500 ? hhh * 10 + 40000 : hhh * 10 + 50000; break;
    default: return VOK_MISSING_F;
    }
    return static_cast<float>(h);
}

// The pp figures of each standard slot (1000 hPa is "00").
constexpr int slot_pp[UPA_SLOT_C_LAST + 1] = {99, 0, 92, 85, 70, 50, 40, 30, 25, 20, 15, 10,
                             70, 50, 30, 20, 10, 7, 5, 3, 2, 1};

// Last slot whose wind is reported, from the indicator Id. In part A the
// figure names the hundreds of hPa (0 = 1000 hPa), in part C the tens. A
// solidus says that no standard level carries a wind: the wind groups are
// left out, only the surface, tropopause and maximum-wind groups keep theirs.
int top_wind_slot(int id, bool part_c)
{
    if (is_missing(id)) return part_c ? UPA_SLOT_C_FIRST - 1 : UPA_SLOT_SURFACE;
    if (!part_c) {
        switch (id) {
        case 0: return 1;
        case 8: return 3;
        case 7: return 4;
        case 5: return 5;
        case 4: return 6;
        case 3: return 7;
        case 2: return 9;
        default: return ALL_LEVELS;
        }
    }
    switch (id) {
    case 7: return 12;
    case 5: return 13;
    case 3: return 14;
    case 2: return 15;
    default: return ALL_LEVELS;
    }
}

// Slot of the level that a pphhh group with the figures pv names at level
// position *i of a part, or -1 when it names none there (the level decoding
// ends). Standard levels may be left out: *i then moves on to the level
// named, and those passed over stay missing.
int level_slot(int pv, int* i, bool part_c, int sfc, bool after_complete)
{
    if (pv == 88) return UPA_SLOT_TROPO;
    if (pv == 77 || pv == 66) return UPA_SLOT_MAXWIND;
    const int first = part_c ? UPA_SLOT_C_FIRST : UPA_SLOT_A_FIRST;
    const int last = part_c ? UPA_SLOT_C_LAST : UPA_SLOT_A_LAST;
    if (!part_c) {
        if (pv == 85 && man_pres[*i] == 925) *i += 1;
        if (pv == 85 && man_pres[*i] == 1000) *i += 2;
        if (*i == 0) return pv == 99 ? 0 : -1;
    }
    if (*i < first || *i > last) return -1;
    if (pv == slot_pp[*i]) return *i;
    int slot = -1;
    if (!part_c && !is_missing(sfc)) {
        // Levels below the surface left out: jump ahead to the level named,
        // when all those passed over are under the ground.
        for (int s = *i + 1; s <= last && man_pres[s - 1] > sfc; ++s) {
            if (pv == slot_pp[s]) {
                slot = s;
                break;
            }
        }
    }
    if (slot < 0 && after_complete) {
        // A standard level left out above the ground (no 1000 hPa group over
        // a surface at 1000 hPa, no 700 hPa group): after a level read whole
        // the cursor stands on a pphhh group, so a later level's indicator
        // names that level. Temperature and wind groups are never read here.
        for (int s = *i + 1; s <= last; ++s) {
            if (pv == slot_pp[s]) {
                slot = s;
                break;
            }
        }
    }
    if (slot >= 0) *i = slot;
    return slot;
}

}  // namespace

namespace {

// What the opening groups of a part A or C tell the level groups after them.
struct TempHeading {
    bool ms = false;      // speeds in metres per second, kept in knots
    int il = ALL_LEVELS;  // last standard slot that carries a wind group
};

// YYGGId of a part A or C.
// YY: the day of the month, plus 50 when the speeds are in knots (WMO
// FM 35): a day below 50 means metres per second, converted to knots.
// GG: the hour; an hour plus 50 marks a ship report here, and the hour
// itself is GG mod 50.
// Id: the last standard level that carries a wind group (top_wind_slot).
// Returns the hour * 100, or -1 when the group does not read.
int temp_date(parse_param* pp, bool part_c, TempHeading* h, bool* ship)
{
    int yy = 0, gg = 0, id = 0;
    if (!accept(pp, scanp_kept<"%2d%2d%1!/!d ">(pp, &yy, &gg, &id), 3, 5) || yy < 0 || gg < 0)
        return -1;
    h->ms = yy < 50;
    h->il = top_wind_slot(id, part_c);
    if (gg > 50) *ship = true;
    trace_taken(DEC_GROUP, "YYGGI: %5.5s\n", pp);
    return (gg % 50) * 100;
}

// The groups that open a part A or C: call sign (ships and mobile
// stations), date group, station number (land) and position (ships and
// mobile stations). False when the part lies outside the decode window.
bool read_temp_heading(parse_param* pp, int type, UPA_report* rep, TempHeading* h)
{
    const bool part_c = type == UPA_TTCC || type == UPA_UUCC || type == UPA_IICC;
    const bool ship_kind = type == UPA_UUAA || type == UPA_UUCC;
    const bool mobile = type == UPA_IIAA || type == UPA_IICC;
    char word[VOK_ID_LEN] = "";
    bool ship = false;

    if (ship_kind || mobile) read_call_sign(pp, rep, word);
    const int hour = temp_date(pp, part_c, h, &ship);
    if (type == UPA_TTAA || type == UPA_TTCC) read_station(pp, rep, word);

    if (!time_ok(type, word, hour)) return false;
    rep->time = hour;

    if (ship_kind || mobile || ship) {
        set_text(rep->area, mobile ? "MO" : "SH");
        read_position(pp, rep, mobile);
    }
    return true;
}

// The level groups of a part A or C as they are read one level at a time.
struct TempLevels {
    bool part_c;
    TempHeading head;
    // Position in man_pres of the level that the next group should give.
    int i;
    // Surface pressure of this part: standard levels with a higher pressure
    // lie below the ground and may be left out altogether.
    int sfc = VOK_MISSING;
    // The surface or standard level before was read whole (pphhh, TTTDD and
    // the wind group when one is due): the cursor stands on the next level.
    bool complete = false;
    bool found = false;  // a level was stored
};

bool special_slot(int slot)
{
    return slot == UPA_SLOT_SURFACE || slot == UPA_SLOT_TROPO || slot == UPA_SLOT_MAXWIND;
}

// Stores the pressure (and for a standard level the height) that the pphhh
// group of slot gives; returns the row that takes the level's other values.
// A second surface, tropopause or maximum-wind group goes to the overflow
// row, so that the first stays.
int store_level_group(UPA_report* rep, int slot, int hhh, TempLevels* lv)
{
    if (!special_slot(slot)) {
        rep->man[slot].p = static_cast<float>(man_pres[slot]);
        rep->man[slot].h = standard_height(slot, hhh);
        return slot;
    }
    int row = slot;
    if (rep->man[slot].p != VOK_MISSING_F) {
        row = UPA_SLOT_OVERFLOW;
    } else if (!is_missing(hhh)) {
        float p;
        if (lv->part_c) {
            p = tenths(hhh);
        } else if (slot == UPA_SLOT_SURFACE && hhh <= 99) {
            p = static_cast<float>(hhh + 1000);  // 99PPP gives 1000 hPa and up as 0PP
        } else {
            p = static_cast<float>(hhh);
        }
        rep->man[slot].p = p;
    }
    if (slot == UPA_SLOT_SURFACE && !is_missing(hhh)) lv->sfc = hhh <= 99 ? hhh + 1000 : hhh;
    return row;
}

enum class TempGroup { read, absent, next_level };

// The TTTaDD group of a level. A temperature group left out at 1000, 925 or
// 850 hPa shows as the next level's pphhh group (next_level).
// DD = 99 would be a depression of 49 degrees by the code table; at the
// standard levels it is taken as no dew point reported.
TempGroup read_temp_group(parse_param* pp, UPA_report* rep, int slot, int row)
{
    int ttt = 0, dd = 0;
    if (scanp_kept<"%3!///!d%2!//!d ">(pp, &ttt, &dd) != 2 || pp->len <= 5 || !figures(ttt) ||
        !figures(dd))
        return TempGroup::absent;
    if ((slot == 1 && ((ttt >= 920 && ttt <= 929) || (ttt >= 850 && ttt <= 859))) ||
        (slot == 2 && ttt >= 850 && ttt <= 859) || (slot == 3 && ttt >= 700 && ttt <= 709))
        return TempGroup::next_level;
    const float t = temperature(ttt);
    rep->man[row].t = t;
    rep->man[row].td = dd == 99 ? VOK_MISSING_F : dew_point(t, depression(dd));
    trace_group("tttdd: %5.5s\n", pp);
    scanp_inc(pp);
    return TempGroup::read;
}

// The ddfff group of a level; true when one was read and stored. A speed
// above 249 does not occur: the group is the next level's, and the winds of
// this part end at this slot.
bool read_level_wind(parse_param* pp, UPA_report* rep, int slot, int row, TempLevels* lv)
{
    int dd = 0, fff = 0;
    if (!scan_wind(pp, &dd, &fff)) return false;
    const Wind w = wind_of(dd, fff, lv->head.ms);
    if (!w.valid) {
        lv->head.il = slot;
        return false;
    }
    rep->man[row].dir = w.dir;
    rep->man[row].spd = w.spd;
    trace_group("dddss: %5.5s\n", pp);
    scanp_inc(pp);
    return true;
}

// The surface also opens the significant-level and wind lists. A surface
// reported without wind must not blank the surface wind that a PILOT part
// of the same station already gave. False when a list is full.
bool surface_to_lists(UPA_report* rep)
{
    const UPA_man& s = rep->man[UPA_SLOT_SURFACE];
    const bool sig_ok = s.p == VOK_MISSING_F || UPA_add_sig(rep, s.p, s.t, s.td);
    const bool no_wind = s.dir == VOK_MISSING_F && s.spd == VOK_MISSING_F;
    return sig_ok && (no_wind || UPA_add_wnd(rep, 0.0f, s.dir, s.spd));
}

enum class LevelStep { next, stop };

// One level: its pphhh group, then its temperature group (not for the
// maximum wind) and its wind group when one is due.
LevelStep read_temp_level(parse_param* pp, UPA_report* rep, TempLevels* lv)
{
    int pv = 0, hhh = 0;
    const int got = scanp_kept<"%2!//!d%3!///!d ">(pp, &pv, &hhh);
    if (got != 2 || pp->len <= 5 || !figures(pv) || !figures(hhh)) return LevelStep::stop;
    const int slot = level_slot(pv, &lv->i, lv->part_c, lv->sfc, lv->complete);
    if (slot < 0) return LevelStep::stop;
    const bool tropo_or_max = slot == UPA_SLOT_TROPO || slot == UPA_SLOT_MAXWIND;
    if (tropo_or_max && hhh == 999) {
        scanp_inc(pp);  // no tropopause / no maximum wind reported
        return LevelStep::next;
    }
    lv->found = true;
    const int row = store_level_group(rep, slot, hhh, lv);
    trace_group("pphhh: %5.5s\n", pp);
    scanp_inc(pp);

    bool whole = true;
    if (slot != UPA_SLOT_MAXWIND) {
        const TempGroup tg = read_temp_group(pp, rep, slot, row);
        if (tg == TempGroup::next_level) {
            ++lv->i;
            lv->complete = false;
            return LevelStep::next;
        }
        whole = tg == TempGroup::read;
    }
    if (slot <= lv->head.il || tropo_or_max) whole = read_level_wind(pp, rep, slot, row, lv) && whole;
    if (slot == UPA_SLOT_MAXWIND) {
        char shear[VOK_ID_LEN];
        accept(pp, scanp_kept<"4%<10s ">(pp, shear), 1, 5);  // vertical wind shear
    }
    if (slot == UPA_SLOT_SURFACE && row == UPA_SLOT_SURFACE && !surface_to_lists(rep))
        return LevelStep::stop;
    // The tropopause and maximum-wind sections follow the standard levels
    // and may repeat: they take no position of their own, and no standard
    // level is looked for after them.
    const bool special = special_slot(slot);
    lv->complete = whole && (!special || slot == UPA_SLOT_SURFACE);
    if (!special || slot == UPA_SLOT_SURFACE) ++lv->i;
    return LevelStep::next;
}

}  // namespace

int UPA_decode_TTAA(const char* data, int type, UPA_report* rep)
{
    if (!data || !rep) return 0;
    parse_param pp;
    scanp_set(&pp, data);
    TempLevels lv{};
    lv.part_c = type == UPA_TTCC || type == UPA_UUCC || type == UPA_IICC;
    if (!read_temp_heading(&pp, type, rep, &lv.head)) return 0;

    lv.i = lv.part_c ? UPA_SLOT_C_FIRST : UPA_SLOT_SURFACE;
    while (lv.i < UPA_NUM_SLOTS && read_temp_level(&pp, rep, &lv) == LevelStep::next) {
    }

    if (lv.found) rep->numman = 20;
    if (MESS_enabled(DEC_LIST)) UPA_print_man(DEC_LIST, rep);
    return 1;
}

int UPA_decode_TTBB(const char* data, int type, UPA_report* rep)
{
    if (!data || !rep) return 0;
    const bool part_d = type == UPA_TTDD || type == UPA_UUDD || type == UPA_IIDD;
    const bool ship_kind = type == UPA_UUBB || type == UPA_UUDD;
    const bool mobile = type == UPA_IIBB || type == UPA_IIDD;
    parse_param pp;
    scanp_set(&pp, data);
    char word[VOK_ID_LEN] = "";
    int hour = -1;

    if (ship_kind || mobile) {
        char kw[VOK_ID_LEN];
        accept(&pp, scanp_kept<"%(UUBB|UUDD|IIBB|IIDD) ">(&pp, kw), 1, 4);
        read_call_sign(&pp, rep, word);
    }

    int yy = 0, gg = 0, id = 0;
    if (accept(&pp, scanp_kept<"%2d%2d%1!/!d ">(&pp, &yy, &gg, &id), 3, 5) && gg >= 0) {
        hour = gg * 100;
        trace_taken(DEC_GROUP, "YYGGI: %5.5s\n", &pp);
    }

    if (type == UPA_TTBB || type == UPA_TTDD) read_station(&pp, rep, word);

    if (!time_ok(type, word, hour)) return 0;
    rep->time = hour;

    if (ship_kind || mobile) {
        set_text(rep->area, mobile ? "MO" : "SH");
        read_position(&pp, rep, mobile);
    }

    // Every level group of the section is read: modern soundings report well
    // over fifty levels in part B, and only the 200 rows of the list bound them.
    int next_row = 0;  // where the next level is looked for first
    for (;;) {
        int nn = 0, ppp = 0;
        const int got = scanp_kept<"%2!//!d%3!///!d ">(&pp, &nn, &ppp);
        if (got != 2 || pp.len <= 5 || !figures(ppp)) break;
        // Level numbers run 00, 11, 22 ... 99; anything else (21212, 31313,
        // 41414, 51515 ...) opens a section that is not kept here.
        if (is_missing(nn) || nn < 0 || nn % 11 != 0) break;
        if (is_missing(ppp)) {
            scanp_inc(&pp);
            char w[VOK_ID_LEN];
            if (scanp_kept<"%<10s ">(&pp, w) == 1 && pp.len > 1 && w[0] == '/') scanp_inc(&pp);
            continue;
        }
        float p;
        if (part_d) {
            p = tenths(ppp);
        } else {
            p = static_cast<float>(ppp < 100 ? ppp + 1000 : ppp);
        }
        const int row = UPA_find_sig_from(rep, p, next_row);
        if (row < 0) break;
        next_row = row + 1;
        trace_group("nnppp: %5.5s\n", &pp);
        rep->sig[row].p = p;
        scanp_inc(&pp);

        int ttt = 0, dd = 0;
        if (scanp_kept<"%3!///!d%2!//!d ">(&pp, &ttt, &dd) == 2 && pp.len > 5 && figures(ttt) &&
            figures(dd)) {
            const float t = temperature(ttt);
            rep->sig[row].t = t;
            rep->sig[row].td = dew_point(t, depression(dd));
            trace_group("tttdd: %5.5s\n", &pp);
            scanp_inc(&pp);
        }
    }

    if (MESS_enabled(DEC_GROUP)) MESS_print(DEC_GROUP, "numsig: %d\n", rep->numsig);
    if (MESS_enabled(DEC_LIST)) UPA_print_sig(DEC_LIST, rep);
    return 1;
}

namespace {

// Date group of a PILOT part: the unit of the speeds and the hour.
int pilot_date(parse_param* pp, bool* ms)
{
    int yy = 0, gg = 0, id = 0;
    if (!accept(pp, scanp_kept<"%2d%2d%1!/!d ">(pp, &yy, &gg, &id), 3, 5) || gg < 0) return -1;
    *ms = yy < 50;
    trace_taken(DEC_GROUP, "YYGGI: %5.5s\n", pp);
    return gg * 100;
}

// A PILOT wind group. Unlike in a TEMP part, a group with a speed above 249
// is a wind group all the same (the sections say how many follow): it is
// consumed and stores nothing. Returns false when no wind group reads.
bool pilot_wind(parse_param* pp, bool ms, Wind* w)
{
    int dd = 0, fff = 0;
    if (!scan_wind(pp, &dd, &fff)) return false;
    *w = wind_of(dd, fff, ms);
    trace_group("dddss: %5.5s\n", pp);
    scanp_inc(pp);
    return true;
}

// Surface wind of a PILOT part: the wind level at height 0, where the TEMP
// surface wind goes too, and the surface row when a TEMP part already gave
// its pressure. The surface pressure is not in a PILOT report; the marker of
// the surface row is never stored as one.
bool pilot_surface(UPA_report* rep, const Wind& w)
{
    if (rep->man[0].p != VOK_MISSING_F) {
        rep->man[0].dir = w.dir;
        rep->man[0].spd = w.spd;
    }
    return UPA_add_wnd(rep, 0.0f, w.dir, w.spd) != 0;
}

}  // namespace

int UPA_decode_PPAA(const char* data, int type, UPA_report* rep)
{
    if (!data || !rep) return 0;
    parse_param pp;
    scanp_set(&pp, data);
    char word[VOK_ID_LEN] = "";
    bool ms = false;
    const int hour = pilot_date(&pp, &ms);
    read_station(&pp, rep, word);
    if (!time_ok(type, word, hour)) return 0;
    rep->time = hour;

    bool found = false;
    bool full = false;
    for (int k = 0; k < 40 && !full; ++k) {
        int n = 0, pv = 0;
        bool sect = scanp_kept<"44%1d%2d ">(&pp, &n, &pv) == 2 && pp.len > 5;
        if (!sect) sect = scanp_kept<"55%1d%2d ">(&pp, &n, &pv) == 2 && pp.len > 5;
        if (!sect) break;
        trace_group("44npp: %5.5s\n", &pp);
        scanp_inc(&pp);
        int slot = -1;
        for (int s = UPA_SLOT_SURFACE; s <= UPA_SLOT_A_LAST; ++s) {
            if (slot_pp[s] == pv) {
                slot = s;
                break;
            }
        }
        if (slot < 0) continue;  // no wind groups read: the next section search fails
        found = true;
        for (int g = 0; g < n; ++g) {
            Wind w;
            if (!pilot_wind(&pp, ms, &w)) continue;
            if (w.valid && slot < UPA_SLOT_TROPO) {
                if (slot == 0) {
                    if (!pilot_surface(rep, w)) full = true;
                } else {
                    rep->man[slot].p = static_cast<float>(man_pres[slot]);
                    rep->man[slot].dir = w.dir;
                    rep->man[slot].spd = w.spd;
                }
            }
            ++slot;
            if (full) break;
        }
    }

    if (found) rep->numman = 20;
    if (MESS_enabled(DEC_LIST)) UPA_print_man(DEC_LIST, rep);
    return 1;
}

int UPA_decode_PPBB(const char* data, int type, UPA_report* rep)
{
    if (!data || !rep) return 0;
    const bool mobile = type == UPA_EEBB || type == UPA_EEDD;
    parse_param pp;
    scanp_set(&pp, data);
    char word[VOK_ID_LEN] = "";
    bool ms = false;

    if (mobile) read_call_sign(&pp, rep, word);
    const int hour = pilot_date(&pp, &ms);
    if (!mobile) read_station(&pp, rep, word);
    // The position is taken after the time check, as in the TEMP parts: a
    // part of another time must not move the platform.
    if (!time_ok(type, word, hour)) return 0;
    rep->time = hour;
    if (mobile) {
        set_text(rep->area, "MO");
        read_position(&pp, rep, true);
    }

    // Heights of 100,000 ft and more (part D of high soundings) are coded
    // with the indicator 1 instead of 9: 1tnuuu stands for 100,000 ft plus
    // tn ten-thousands and u thousands. A 1 group can only be told from a
    // wind group by its place, so it is taken only once the 90,000 ft decade
    // (or an earlier 1 group) has been read.
    //
    // Height groups led by 8 give altitudes in units of 500 m (WMO FM 32):
    // 8tnu1u2u3 stands for (tn tens and u units) x 500 m. They are kept in
    // feet like every wind height. No wind group begins with 8 (directions
    // end at 36), so they are told apart wherever they stand.
    bool above_90k = false;
    int next_row = 0;  // where the next height is looked for first
    for (int k = 0; k < 40; ++k) {
        int tn = 0, u[3] = {0, 0, 0};
        int base = 0;
        bool metres = false;
        if (accept(&pp, scanp_kept<"9%1d%1!/!d%1!/!d%1!/!d ">(&pp, &tn, &u[0], &u[1], &u[2]), 4, 5)) {
            above_90k = tn == 9;
        } else if (above_90k &&
                   accept(&pp, scanp_kept<"1%1d%1!/!d%1!/!d%1!/!d ">(&pp, &tn, &u[0], &u[1], &u[2]), 4, 5)) {
            base = 100000;
        } else if (accept(&pp, scanp_kept<"8%1d%1!/!d%1!/!d%1!/!d ">(&pp, &tn, &u[0], &u[1], &u[2]), 4, 5)) {
            metres = true;
        } else {
            break;
        }
        trace_taken(DEC_GROUP, "9lhhh: %5.5s\n", &pp);
        if (k == 0 && base == 0 && is_missing(u[0])) u[0] = 0;  // 90/.. : the first wind is the surface
        bool full = false;
        for (int j = 0; j < 3 && !full; ++j) {
            if (is_missing(u[j])) continue;
            Wind w;
            if (!pilot_wind(&pp, ms, &w) || !w.valid) continue;
            const float h = metres ? static_cast<float>((tn * 10 + u[j]) * 500 / METRES_PER_FOOT)
                                   : static_cast<float>(base + tn * 10000 + u[j] * 1000);
            if (h == 0.0f) {
                full = !pilot_surface(rep, w);
            } else {
                const int row = UPA_find_wnd_from(rep, h, next_row);
                full = row < 0;
                if (!full) {
                    rep->wnd[row] = {h, w.dir, w.spd};
                    next_row = row + 1;
                }
            }
        }
        // A full list drops the rest of the part; the groups left unread
        // must not be taken for height groups.
        if (full) break;
    }

    if (MESS_enabled(DEC_LIST)) UPA_print_wnd(DEC_LIST, rep);
    return 1;
}

int UPA_decode_part(const char* data, int type, UPA_report* rep)
{
    switch (type) {
    case UPA_TTAA: case UPA_TTCC: case UPA_UUAA: case UPA_UUCC: case UPA_IIAA: case UPA_IICC:
        return UPA_decode_TTAA(data, type, rep);
    case UPA_TTBB: case UPA_TTDD: case UPA_UUBB: case UPA_UUDD: case UPA_IIBB: case UPA_IIDD:
        return UPA_decode_TTBB(data, type, rep);
    case UPA_PPAA:
        return UPA_decode_PPAA(data, type, rep);
    case UPA_PPBB: case UPA_PPDD: case UPA_EEBB: case UPA_EEDD:
        return UPA_decode_PPBB(data, type, rep);
    default:
        return -1;
    }
}

// ================================================================ conversion driver
// The run from the resources to the closed output file: the decode window,
// the input file and its date, the station table with one report slot per
// station, the output file, every report of every input file merged into
// its station's slot, and every station that received data written in the
// station table's order.

const int UPA_res_key[] = {
    RES_help,       RES_batch,       RES_message,    RES_file_path,  RES_data_path,
    RES_con_path,   RES_grid_path,   RES_raw_path,   RES_image_path, RES_watch_path,
    RES_text_path,  RES_model_path,  RES_sat_path,   RES_city_file,  RES_stat_prior,
    RES_input,      RES_output,      RES_name_conv,  RES_in_file,    RES_out_file,
    RES_file_param, RES_current,     RES_hour,       RES_num_hour,   RES_decode_hour,
    RES_identifier, RES_parameter,   RES_null};
const int UPA_res_pos[] = {RES_filenames, RES_null};

namespace {

constexpr M_type DRV_ERROR = M_WARN;
constexpr M_type DRV_MESS = M_MESS;
constexpr M_type DRV_SAVE = M_OUT1;
constexpr M_type DRV_DATE = M_OUT2;
constexpr M_type DRV_STATION = M_OUT3 & M_SUB_A;
constexpr M_type DRV_UNKNOWN = M_OUT3 & M_SUB_C;
constexpr M_type DRV_REPORT = M_OUT4 & M_SUB_A;

// The decode window of a run before the "parameter" resource narrows it.
constexpr int RANGE_PRE = -120;
constexpr int RANGE_POST = 120;

// Output forms by the words of "output" and "out_file": type code and the
// name convention of the form.
struct OutForm {
    std::string_view word;
    int type;
    const char* conv;
    const char* label;
};
constexpr OutForm out_forms[] = {
    {"vok", UPA_FILE_VOKUPAX, "upa_cvt_vok", "text"},
    {"xml", UPA_FILE_XML, "upa_cvt_xml", "XML"},
    {"cdf", UPA_FILE_CDF, "upa_cvt_cdf", "netCDF"},
    {"unisys", UPA_FILE_FIXED, "upa_cvt_unisys", "fixed-record"},
};

int file_type = UPA_FILE_VOKUPAX;  // output form
int file_mode = 0;                 // 1 created, 2 appended to
int cvt_fd = 0;                    // handle of the output file
std::vector<std::string> ids;      // identifier filter; empty: every station
std::string out_name;              // the output file, for messages
std::string in_name;               // the input file chosen first

// Outcome of the run, for its exit status.
int counter = 0;           // record number of the next report written
int files_read = 0;        // input files read to their end
long reports_read = 0;     // report parts the reader gave
int stations_written = 0;
int write_failures = 0;

const char* form_label(int type)
{
    for (const OutForm& f : out_forms)
        if (f.type == type) return f.label;
    return "upper-air";
}

bool same_word(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           strnicmp(a.data(), b.data(), static_cast<int>(a.size())) == 0;
}

// The "output" values: a form word chooses the form and its convention;
// the last one recognised wins.
void choose_output_form()
{
    char** vals = nullptr;
    const int n = RES_getvals("output", &vals);
    for (int i = 0; i < n; ++i) {
        for (const OutForm& f : out_forms) {
            if (!same_word(vals[i], f.word)) continue;
            file_type = f.type;
            FILE_set_name(f.conv);
        }
    }
    free_parsed_array(n, vals);
}

// One "out_file" value: a form word alone ("cdf") chooses the form and its
// convention, a form word, a ":" or "=" and a name ("xml:upper.xml") the
// form and that name; any other value is the name (or template) itself and
// keeps the form. A name that merely begins with a form word ("xmlout.xml")
// is a name. False when the name is refused.
bool choose_out_file(const char* value)
{
    const std::string_view v(value);
    for (const OutForm& f : out_forms) {
        if (v.size() < f.word.size() || !same_word(v.substr(0, f.word.size()), f.word)) continue;
        const std::string_view rest = v.substr(f.word.size());
        if (!rest.empty() && rest[0] != ':' && rest[0] != '=') continue;
        file_type = f.type;
        if (rest.size() <= 1) return FILE_set_name(f.conv) != -1;
        return FILE_set_name(std::string(rest.substr(1)).c_str()) != -1;
    }
    return FILE_set_name(value) != -1;
}

bool choose_output()
{
    if (FILE_set_name("upa_cvt") == -1) return false;
    choose_output_form();
    char** vals = nullptr;
    const int n = RES_getvals("out_file", &vals);
    bool ok = true;
    for (int i = 0; i < n; ++i) ok = choose_out_file(vals[i]) && ok;
    free_parsed_array(n, vals);
    return ok;
}

// A signed number of minutes at *p; *p moves past it. False, with the value
// left alone, when there is none or it does not fit an int.
bool read_minutes(const char** p, int* value)
{
    const char* s = *p;
    if (*s == '+') ++s;
    int v = 0;
    const auto r = std::from_chars(s, s + std::strlen(s), v);
    if (r.ec != std::errc{}) return false;
    *value = v;
    *p = r.ptr;
    return true;
}

// True when two names are one existing file (also through links).
bool same_file(const char* a, const char* b)
{
    struct stat sa;
    struct stat sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The output file cannot be made: the run ends before anything is read.
[[noreturn]] void output_refused(const char* why, const char* name)
{
    MESS_print(DRV_ERROR, "UPA_out_file: %s: %s\n", why, name);
    VOK_exit(UPA_EXIT_OUTPUT);
}

}  // namespace

int UPA_decode_params()
{
    char** vals = nullptr;
    const int n = RES_getvals("parameter", &vals);
    for (int i = 0; i < n; ++i) {
        if (strnicmp(vals[i], "range", 5) != 0) continue;
        int pre = RANGE_PRE;
        int post = RANGE_POST;
        // "range=-60:30": the numbers start after "range" and one separator;
        // what can be read replaces the default.
        if (std::strlen(vals[i]) > 6) {
            const char* p = vals[i] + 6;
            if (read_minutes(&p, &pre) && *p == ':') {
                ++p;
                read_minutes(&p, &post);
            }
        }
        DATE_set_range(pre, post);
    }
    free_parsed_array(n, vals);
    return 0;
}

int UPA_out_file(const Date* date)
{
    char outfile[VOK_NAME_LEN] = "";
    if (!choose_output() || FILE_set_date(date, outfile) == -1 || outfile[0] == '\0') {
        MESS_print(DRV_ERROR, "UPA_out_file: Output file name refused\n");
        VOK_exit(UPA_EXIT_OUTPUT);
    }
    out_name = outfile;
    const bool cdf = file_type == UPA_FILE_CDF;
    if (cdf && FILE_is_stdio(outfile))
        output_refused("A netCDF file cannot be written to standard output", outfile);
    if (!FILE_is_stdio(outfile) && FILE_is_dir(outfile))
        output_refused("Output file is a directory", outfile);
    // Overwriting the raw file being converted would destroy it unread.
    if (!FILE_is_stdio(outfile) && same_file(outfile, in_name.c_str()))
        output_refused("Output file is the input file", outfile);
    file_mode = FILE_overwrite(outfile, 2);
    int fd = -1;
    if (file_mode == 1) {
        MESS_print(DRV_MESS, "Creating output file: %s\n", outfile);
        // Every form makes the missing directories of its name, as the
        // stream forms do when they open.
        if (cdf) {
            char dir[VOK_NAME_LEN];
            std::snprintf(dir, sizeof dir, "%s", outfile);
            FILE_make_dir(dir, 1);
        }
        fd = UPA_open(outfile, 1, &file_type);
        if (fd == -1) output_refused("Unable to create output file", outfile);
    } else if (file_mode == 2) {
        MESS_print(DRV_MESS, "Appending to output file: %s\n", outfile);
        fd = UPA_open(outfile, 2, &file_type);
        if (fd == -1) {
            MESS_print(DRV_ERROR, "UPA_out_file: Unable to append to output file: %s (no %s file of "
                       "this program, or damaged)\n", outfile, form_label(file_type));
            VOK_exit(UPA_EXIT_OUTPUT);
        }
    } else {
        MESS_print(DRV_ERROR, "UPA_out_file: Unable to overwrite converted data file\n");
        MESS_print(DRV_ERROR, "UPA_out_file: %s is kept (-pf over overwrites it, -pf app appends to it)\n",
                   outfile);
        VOK_exit(UPA_EXIT_OK);
    }
    return fd;
}

namespace {

bool selected(const char* id)
{
    if (ids.empty()) return true;
    return std::any_of(ids.begin(), ids.end(),
                       [id](const std::string& s) { return stricmp(s.c_str(), id) == 0; });
}

// The slot of a station missing from the table, added now: a WMO block and
// station number (five characters beginning with a digit, the form the
// table knows as a WMO number) under the identifier made from it, anything
// else (a ship's call sign, which may begin with a digit) under itself.
// Null when even that fails.
UPA_report* add_station(const char* id)
{
    MESS_print(DRV_UNKNOWN, "Station not in database: %s\n", id);
    char newid[VOK_ID_LEN];
    if (std::strlen(id) == 5 && id[0] >= '0' && id[0] <= '9') wmo_to_id(newid, std::atoi(id));
    else std::snprintf(newid, sizeof newid, "%s", id);
    CTY_make_entry_simple(newid, id);
    return static_cast<UPA_report*>(CTY_get_data(id));
}

// Slots already found in one file by the identifier its reports give: a
// feed names the same few hundred stations over and over, and the station
// table's look-up compares keys along a chain for each. The table only
// grows while a file is read, so a slot once found stays the station's.
struct IdHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const
    {
        std::uint64_t h = 14695981039346656037ull;  // FNV-1a: identifiers are a few characters
        for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        return static_cast<std::size_t>(h);
    }
};
using SlotCache = std::unordered_map<std::string, UPA_report*, IdHash, std::equal_to<>>;

// With an identifier selection the station table holds only the stations
// it chose (by number, identifier, name or position), so a station found
// there is selected; one missing from the table is taken when its
// identifier is one of the values. Null for a report not taken.
UPA_report* station_slot(const char* id, SlotCache& known)
{
    if (const auto it = known.find(std::string_view(id)); it != known.end()) return it->second;
    auto* slot = static_cast<UPA_report*>(CTY_get_data(id));
    if (!slot && (!selected(id) || !(slot = add_station(id)))) return nullptr;
    known.emplace(id, slot);
    return slot;
}

void decode_report(const char* data, const char* id, int kind, SlotCache& known)
{
    UPA_report* slot = station_slot(id, known);
    if (!slot) return;
    UPA_decode_part(data, kind, slot);
    if (MESS_enabled(DRV_REPORT)) UPA_print_report(DRV_REPORT, slot);
}

}  // namespace

int UPA_decode_file(const char* filename)
{
    if (!filename) filename = "";
    // An empty name is no file (a refused name is emptied): it must not
    // stand for standard input. A directory opens but cannot be read.
    FILE* fp = filename[0] && !FILE_is_dir(filename) ? FILE_open(filename, "r") : nullptr;
    if (!fp) {
        MESS_print(DRV_ERROR, "UPA_decode_file: Unable to open file:%s\n", filename);
        return 0;
    }
    MESS_print(DRV_MESS, "Processing file: %s\n", filename);
    // A large stream buffer, which lives until the file is closed below;
    // standard input, which outlives this call, keeps its own.
    std::vector<char> buffer;
    if (fp != stdin) {
        buffer.resize(UPA_INPUT_BUFFER);
        std::setvbuf(fp, buffer.data(), _IOFBF, buffer.size());
    }
    char data[UPA_RAW_DATA_LEN];
    char id[UPA_RAW_ID_LEN];
    int kind = UPA_NO_KIND;
    // To the reader's end: the last report of a file without a final
    // newline comes with the call that meets the end of the file.
    bool read_error = false;
    SlotCache known;
    for (;;) {
        const int r = UPA_read_raw(fp, data, id, &kind);
        if (r == 1) {
            ++reports_read;
            decode_report(data, id, kind, known);
        }
        if (std::ferror(fp)) {
            read_error = true;
            break;
        }
        if (r == -1) break;
    }
    FILE_close(fp, filename);
    if (read_error) {
        MESS_print(DRV_ERROR, "UPA_decode_file: Unable to read file:%s\n", filename);
        return 0;
    }
    return 1;
}

int UPA_enter_func(const CTY_data* data, void* report)
{
    auto* rep = static_cast<UPA_report*>(report);
    if (!data || !rep) return 0;
    *rep = UPA_report{};
    UPA_initialize(rep);
    // A station without an identifier ("-") is known by the one its WMO
    // number gives.
    if (data->id[0] == '-') wmo_to_id(rep->id, data->wmo);
    else std::snprintf(rep->id, sizeof rep->id, "%s", data->id);
    rep->wmo = data->wmo;
    rep->lat = data->lat;
    rep->lon = data->lon;
    rep->elev = data->el;
    return 0;
}

int UPA_save_report(int fd, UPA_report* report)
{
    // Once a write failed (a full disk) the file cannot be completed: the
    // stations left are not tried one by one.
    if (write_failures > 0) return -1;
    // The record number is the driver's: the text and XML writers advance
    // the number they are given, the netCDF writer takes it as the index.
    int index = counter++;
    if (UPA_write(fd, report, 1, &index) != 0) {
        ++write_failures;
        MESS_print(DRV_ERROR, "UPA_save_report: Writing to %s failed (at station %s)\n",
                   out_name.c_str(), report->id);
        return -1;
    }
    ++stations_written;
    return 1;
}

namespace {

// The input convention, the input file and its date. A date without a year
// would name the output file and label its reports for 1980: the run stops.
void choose_input(char* filename, Date* file_date)
{
    const char* in_file = RES_get("in_file");
    FILE_set_name(in_file && in_file[0] ? in_file : "upa_dat");
    FILE_save_name_conv();
    FILE_get_file_only("Enter the upper air filename: ", filename);
    in_name = filename;
    FILE_get_date(file_date);
    if (file_date->year != VOK_MISSING) return;
    MESS_print(DRV_ERROR, "UPA_decode_all: No date for the input file: %s\n", filename);
    MESS_print(DRV_ERROR, "UPA_decode_all: Give the decode date with -ho '#yyyymmddhh', or name the "
               "file as the upa_dat convention does\n");
    VOK_exit(UPA_EXIT_SETUP);
}

// The station table, one empty report per station. Without it no report
// could be kept: the run stops before the output file is touched.
void load_stations()
{
    CTY_data_size(static_cast<int>(sizeof(UPA_report)));
    CTY_enter_func(UPA_enter_func);
    if (CTY_store("upa.cty", 1, nullptr, 10) > 0) return;
    MESS_print(DRV_ERROR, "UPA_decode_all: No station table: no report could be kept\n");
    VOK_exit(UPA_EXIT_SETUP);
}

// Header contents: the decode date and its label, the input file's date key.
UPA_info make_info(const Date& datim, const Date& file_date)
{
    UPA_info info{};
    info.date = datim;
    Date d = datim;
    DATE_make_label(&d, info.datim, static_cast<int>(sizeof info.datim));
    char key[64];
    std::snprintf(key, sizeof key, "%2.2d%2.2d%2.2d%2.2d", file_date.year, file_date.month,
                  file_date.day, file_date.hour);
    std::snprintf(info.file, sizeof info.file, "%.*s", static_cast<int>(sizeof info.file) - 1, key);
    info.cmdline = nullptr;
    return info;
}

// A new file gets its header; an appended one gives its header and the
// number of records it holds, after which the new records go.
void open_output(const Date& datim, const Date& file_date)
{
    UPA_info info = make_info(datim, file_date);
    cvt_fd = UPA_out_file(&datim);
    if (file_mode == 2) {
        UPA_getinfo(cvt_fd, &info);
        const long held = UPA_num_records();
        counter = held > 0 ? static_cast<int>(held) : 0;
    } else if (UPA_putinfo(cvt_fd, &info) != 0) {
        MESS_print(DRV_ERROR, "UPA_decode_all: Unable to write the header of %s\n", out_name.c_str());
        ++write_failures;
    }
    MESS_print(DRV_DATE, "DATE: ");
    MESS_print(DRV_MESS, "%s\n", info.datim);
}

void read_identifiers()
{
    ids.clear();
    const char* text = RES_get("identifier");
    if (!text) {
        MESS_print(DRV_MESS, "Converting data...\n");
        return;
    }
    MESS_print(DRV_MESS, "Searching for: %s...\n", text);
    char** vals = nullptr;
    const int n = RES_getvals("identifier", &vals);
    ids.assign(vals, vals + n);
    free_parsed_array(n, vals);
    // "all", as for the station table, selects every station.
    if (ids.size() == 1 && stricmp(ids[0].c_str(), "all") == 0) ids.clear();
}

void decode_files(const char* filename, const Date& file_date)
{
    FILE_restore_name_conv();
    FILE_set_filename(filename);
    FILE_first(&file_date);
    char name[VOK_NAME_LEN];
    while (FILE_get_next(name))
        if (UPA_decode_file(name)) ++files_read;
    ids.clear();
}

void save_stations()
{
    MESS_print(DRV_SAVE, "Saving stations...\n");
    for (int i = 0;; ++i) {
        auto* rep = static_cast<UPA_report*>(CTY_next_data(i));
        if (!rep) break;
        if (rep->numman == 0 && rep->numsig == 0 && rep->numwnd == 0) continue;
        UPA_sort_report(rep);
        MESS_print(DRV_STATION, "STA: %5s TIME: %d WMO: %5.5d LAT: %7.2f LON: %7.2f\n", rep->id,
                   rep->time, rep->wmo, static_cast<double>(rep->lat), static_cast<double>(rep->lon));
        UPA_print_report(DRV_REPORT, rep);
        UPA_save_report(cvt_fd, rep);
    }
}

// The exit status from what the run achieved.
int run_status()
{
    if (write_failures > 0) {
        MESS_print(DRV_ERROR, "UPA_decode_all: %s is incomplete: writing it failed\n", out_name.c_str());
        return UPA_EXIT_WRITE;
    }
    MESS_print(DRV_MESS, "Reports read: %ld, stations written: %d\n", reports_read, stations_written);
    if (files_read == 0) {
        MESS_print(DRV_ERROR, "UPA_decode_all: No input file could be read\n");
        return UPA_EXIT_NO_INPUT;
    }
    return UPA_EXIT_OK;
}

}  // namespace

int UPA_decode_all()
{
    DATE_set_range(RANGE_PRE, RANGE_POST);
    UPA_decode_params();
    char filename[VOK_NAME_LEN] = "";
    Date file_date{};
    choose_input(filename, &file_date);
    DATE_set_datim(&file_date);
    Date datim{};
    DATE_get_datim(&datim);
    FILE_reset_time();
    load_stations();
    open_output(datim, file_date);
    read_identifiers();
    decode_files(filename, file_date);
    save_stations();
    if (UPA_close(cvt_fd) != 0) ++write_failures;
    return run_status();
}
