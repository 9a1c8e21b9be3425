// The bulletin reader: a raw feed read in large blocks, cut into lines with
// memchr and the lines into report parts. Every piece of state lives in the
// reader object, so two inputs never share any.
#include "ua_dec_reader.h"

#include <algorithm>
#include <cstring>

#include "vok.h"
#include "vokupa.h"

namespace ua {

namespace {

constexpr M_type RAW_DEBUG = M_DEBUG & M_SUB_D;
// Words longer than this count with this length only (in the traces).
constexpr int WORD_MAX = 25;

// Land TEMP and PILOT part words, in the order they are looked for: when
// both of a line's first two words are part words, the one found first
// wins. Ship and mobile words come after them and count in first place only.
constexpr Kind LAND_WORDS[] = {Kind::TTAA, Kind::TTBB, Kind::TTCC, Kind::TTDD,
                               Kind::PPAA, Kind::PPBB, Kind::PPCC, Kind::PPDD};
constexpr Kind MOBILE_WORDS[] = {Kind::UUAA, Kind::UUBB, Kind::UUCC, Kind::UUDD,
                                 Kind::IIAA, Kind::IIBB, Kind::IICC, Kind::IIDD,
                                 Kind::EEBB, Kind::EEDD};

// The rank of each kind's part word in the order above, by kind; kinds
// that are no part word come last.
constexpr auto RANKS = [] {
    std::array<int, NUM_KIND_CODES> ranks{};
    ranks.fill(static_cast<int>(std::size(LAND_WORDS) + std::size(MOBILE_WORDS)));
    int rank = 0;
    for (const Kind k : LAND_WORDS) ranks[static_cast<std::size_t>(k)] = rank++;
    for (const Kind k : MOBILE_WORDS) ranks[static_cast<std::size_t>(k)] = rank++;
    return ranks;
}();

int rank_of(Kind kind)
{
    return RANKS[static_cast<std::size_t>(kind)];
}

bool is_land(Kind kind)
{
    return rank_of(kind) < static_cast<int>(std::size(LAND_WORDS));
}

bool is_figure(char c)
{
    return c >= '0' && c <= '9';
}

bool four_figures(const char* s)
{
    return is_figure(s[0]) && is_figure(s[1]) && is_figure(s[2]) && is_figure(s[3]);
}

// A character of a code group: a figure, or a solidus for a figure not
// reported.
bool code_char(char c)
{
    return is_figure(c) || c == '/';
}

// YYGGId: day and hour in four figures, the wind indicator a figure or a
// solidus.
bool date_group(std::string_view w)
{
    return w.size() == 5 && four_figures(w.data()) && code_char(w[4]);
}

// IIiii: block and station number.
bool station_number(std::string_view w)
{
    return w.size() == 5 && four_figures(w.data()) && is_figure(w[4]);
}

// A code group of figures and solidi standing alone on its line: the
// tropopause or maximum-wind group of a part A or C ("88999", "77999") or
// the wind section's "21212" of a part B, which bulletins set on a line of
// their own before the groups that follow. It goes on with the part; only a
// group with its terminator, or a word that is no code group (NIL, NNNN, a
// sequence number), ends it.
bool lone_code_group(std::string_view w)
{
    return w.size() == 5 && std::all_of(w.begin(), w.end(), code_char);
}

// The word of s[0, n) starting at or after pos: where it starts and its
// length (0 at the end of the line).
struct Word {
    int pos;
    int len;
    std::string_view in(const char* s) const { return {s + pos, static_cast<std::size_t>(len)}; }
};

Word word_at(const char* s, int n, int pos)
{
    while (pos < n && s[pos] == ' ') ++pos;
    int end = pos;
    while (end < n && s[end] != ' ') ++end;
    return {pos, end - pos};
}

// Control and 8-bit bytes become blanks, as every line is cleaned; newlines
// stay, to end the lines, and NULs, to end their text. Beside each byte its
// mark tells whether a part word may start there (a capital from E to U).
// The block is taken whole whatever the read gave, in one simple loop that
// the compiler can run over many bytes at once; bytes past the read are
// never looked at.
template <typename Store>
void clean_block(Store& store, std::size_t from)
{
    for (std::size_t i = from; i < from + BulletinReader::BLOCK; ++i) {
        // As signed bytes, control and 8-bit bytes are those below a blank.
        const auto c = static_cast<signed char>(store.text[i]);
        const bool odd = c < ' ' && c != '\n' && c != '\0';
        store.text[i] = odd ? ' ' : store.text[i];
        store.marks[i] = c >= 'E' && c <= 'U';
    }
}

}  // namespace

// ================================================================ lines

BulletinReader::BulletinReader(std::FILE* in, ReaderOptions options)
    : in_(in),
      options_(options),
      store_(std::make_unique<Storage>()),
      trace_kind_(UPA_NO_KIND),
      max_text_(std::max<std::size_t>(options.max_text, 1))
{
    own_[0].resize(LONGEST_LINE + 1);
    own_[1].resize(LONGEST_LINE + 1);
    seams_.reserve(16);
    text_.reserve(std::min<std::size_t>(max_text_, 8192));
}

// The unread rest of the block, which holds no whole line (at most
// LONGEST_LINE bytes), moves to just before the block, and the next block is
// read after it.
void BulletinReader::refill()
{
    const std::size_t rest = end_ - pos_;
    const std::size_t to = CARRY - rest;
    std::memmove(store_->text.data() + to, store_->text.data() + pos_, rest);
    std::memmove(store_->marks.data() + to, store_->marks.data() + pos_, rest);
    base_ += static_cast<std::int64_t>(pos_) - static_cast<std::int64_t>(to);
    pos_ = to;
    const std::size_t got = in_ ? std::fread(store_->text.data() + CARRY, 1, BLOCK, in_) : 0;
    if (got < BLOCK) {
        eof_ = true;
        failed_ = in_ && std::ferror(in_);
    }
    bytes_ += got;
    clean_block(*store_, CARRY);
    end_ = CARRY + got;
    has_nul_ = std::memchr(store_->text.data() + pos_, '\0', end_ - pos_) != nullptr;
    mark_from_ = END;
}

// The marks searched from i on: the first, or end_ when the rest of the
// block has none.
void BulletinReader::search_marks(std::size_t i)
{
    const void* m = std::memchr(store_->marks.data() + i, 1, end_ - i);
    mark_from_ = i;
    mark_ = m ? static_cast<std::size_t>(static_cast<const char*>(m) - store_->marks.data()) : end_;
}

// The next physical line, cleaned and trimmed. A line too long for the
// block goes into `own` (LONGEST_LINE bytes). False at the end of the input.
bool BulletinReader::read_line(Line& out, char* own)
{
    for (;;) {
        const char* start = store_->text.data() + pos_;
        const std::size_t avail = end_ - pos_;
        const std::size_t look = std::min<std::size_t>(avail, LONGEST_LINE + 1);
        if (const void* nl = std::memchr(start, '\n', look)) {
            const auto len = static_cast<std::size_t>(static_cast<const char*>(nl) - start);
            take_line(out, len);
            pos_ += len + 1;
            return true;
        }
        if (avail > static_cast<std::size_t>(LONGEST_LINE)) {
            take_long_line(out, own);
            return true;
        }
        if (eof_) {
            // No final newline: the last line ends with the input.
            eof_hit_ = true;
            if (avail == 0) return false;
            take_line(out, avail);
            pos_ = end_;
            return true;
        }
        refill();
    }
}

// While a part is collected, the lines that follow go into it straight from
// the block, one after another, as long as examine_plain is all they need:
// the block holds them whole, no part word may start in them, and they are
// neither empty nor a bulletin's header. The first line that needs more is
// left unread, for step to read and examine; a report's lines after its
// first are nearly all taken here.
void BulletinReader::take_plain_lines()
{
    if (held_ || has_nul_) return;
    while (collecting()) {
        const char* s = store_->text.data() + pos_;
        const std::size_t look = std::min<std::size_t>(end_ - pos_, LONGEST_LINE + 1);
        const void* nl = std::memchr(s, '\n', look);
        if (!nl) return;
        const auto len = static_cast<std::size_t>(static_cast<const char*>(nl) - s);
        if (next_mark(pos_, pos_ + len) != pos_ + len) return;
        std::size_t n = len;
        while (n > 0 && s[n - 1] == ' ') --n;
        if (n == 0 || (n >= 3 && std::memcmp(s, "** ", 3) == 0)) return;
        // The line stands in the block and is plain, as the one before it.
        line_.s = s;
        line_.n = static_cast<int>(n);
        line_.at = static_cast<std::uint64_t>(base_ + static_cast<std::int64_t>(pos_));
        ++lines_;
        pos_ += len + 1;
        examine_plain();
    }
}

// The line of len bytes at pos_: its text ends at a NUL, and trailing
// blanks go (control bytes at its end among them, cleaned to blanks).
void BulletinReader::take_line(Line& out, std::size_t len)
{
    const char* s = store_->text.data() + pos_;
    if (has_nul_) {
        if (const void* nul = std::memchr(s, '\0', len))
            len = static_cast<std::size_t>(static_cast<const char*>(nul) - s);
    }
    while (len > 0 && s[len - 1] == ' ') --len;
    out = Line{};
    out.s = s;
    out.n = static_cast<int>(len);
    out.in_block = true;
    out.at = static_cast<std::uint64_t>(base_ + static_cast<std::int64_t>(pos_));
    ++lines_;
}

// A line of more than LONGEST_LINE characters: so many are kept, the last
// of them replaced by the last visible character of the rest ("=" or ";"
// ends the part). The rest is skipped, so the far end of the line is
// never taken for a line of its own. A NUL ends the text here too: what
// follows it on the line is no text at all.
void BulletinReader::take_long_line(Line& out, char* own)
{
    const char* s = store_->text.data() + pos_;
    const auto at = static_cast<std::uint64_t>(base_ + static_cast<std::int64_t>(pos_));
    std::size_t len = LONGEST_LINE;
    bool text_ends = false;
    if (has_nul_) {
        if (const void* nul = std::memchr(s, '\0', LONGEST_LINE + 1)) {
            len = static_cast<std::size_t>(static_cast<const char*>(nul) - s);
            text_ends = true;
        }
    }
    std::memcpy(own, s, len);
    pos_ += len;
    const char last = skip_rest_of_line(!text_ends);
    if (last) own[len - 1] = last;
    while (len > 0 && own[len - 1] == ' ') --len;
    out = Line{};
    out.s = own;
    out.n = static_cast<int>(len);
    out.at = at;
    ++lines_;
}

// Skips to the end of the physical line; with track, the last visible
// character on the way (before any NUL), else 0.
char BulletinReader::skip_rest_of_line(bool track)
{
    char last = 0;
    for (;;) {
        const char* s = store_->text.data() + pos_;
        const std::size_t avail = end_ - pos_;
        const char* nl = static_cast<const char*>(std::memchr(s, '\n', avail));
        const char* stop = nl ? nl : s + avail;
        if (track) {
            if (has_nul_) {
                if (const void* nul = std::memchr(s, '\0', static_cast<std::size_t>(stop - s))) {
                    stop = static_cast<const char*>(nul);
                    track = false;
                }
            }
            for (const char* p = stop; p > s; --p) {
                if (p[-1] > ' ') {
                    last = p[-1];
                    break;
                }
            }
        }
        if (nl) {
            pos_ = static_cast<std::size_t>(nl - store_->text.data()) + 1;
            return last;
        }
        pos_ = end_;
        if (eof_) {
            eof_hit_ = true;
            return last;
        }
        refill();
    }
}

// ================================================================ examined lines

namespace {

// The first two words of line[pos, n). A word not found starts and ends at
// pos, with length 0.
template <typename Words>
void split(const char* s, int n, int pos, Words& w)
{
    const int from = pos;
    w.n = 0;
    for (int k = 0; k < 2; ++k) {
        while (pos < n && s[pos] == ' ') ++pos;
        if (pos == n) {
            w.pos[k] = w.end[k] = from;
            w.len[k] = 0;
            continue;
        }
        const int start = pos;
        while (pos < n && s[pos] != ' ') ++pos;
        w.pos[k] = start;
        w.len[k] = std::min(pos - start, WORD_MAX);
        while (pos < n && s[pos] == ' ') ++pos;
        w.end[k] = pos;
        ++w.n;
    }
}

}  // namespace

// Every part word pairs a letter of the platform (TT, PP, UU, II, EE) with
// the letter of the part (AA to DD): other words are told at a glance.
std::optional<Kind> BulletinReader::part_word(std::string_view word) const
{
    if (word.size() != 4 || word[0] != word[1] || word[2] != word[3] || word[2] < 'A' ||
        word[2] > 'D')
        return std::nullopt;
    const std::optional<Kind> kind = kind_of_word(word);
    if (kind == Kind::PPCC && !options_.pilot_c) return std::nullopt;
    return kind;
}

// The groups that open a part after its word: YYGGId IIiii for land
// stations, D....D YYGGId for ships and mobile stations. No code group of a
// report looks like a part word, and none is followed by these two.
bool BulletinReader::heading_follows(Kind kind, const Line& line, int p) const
{
    const Word a = word_at(line.s, line.n, p + 4);
    const Word b = word_at(line.s, line.n, a.pos + a.len);
    if (is_land(kind)) return date_group(a.in(line.s)) && station_number(b.in(line.s));
    return a.len > 0 && a.len < VOK_ID_LEN && line.s[a.pos + a.len - 1] != '=' &&
           date_group(b.in(line.s));
}

// Parts run together on one line ("... 10008 13515 TTBB  56008 74005
// 00991 ..."): from the third word on, a part word followed by the groups
// that open a part ends the line there; the rest is held back as the next
// line, so that it starts its part exactly as a line of its own would. The
// first two words are the part word places of a line's start (a station
// number may stand before the word). Code groups hold figures and solidi:
// most lines have no capital past their first words, which the block's
// marks tell at once.
bool BulletinReader::cut_at_part_word(Line& line)
{
    if (line.words.n < 2) return false;
    const char* s = line.s;
    const int n = line.n;
    for (int p = line.words.end[1]; p + 4 <= n; ++p) {
        if (line.in_block) {
            const std::size_t at = static_cast<std::size_t>(line.s - store_->text.data());
            p = static_cast<int>(next_mark(at + static_cast<std::size_t>(p),
                                           at + static_cast<std::size_t>(n - 3)) - at);
            if (p + 4 > n) return false;
        } else if (s[p] < 'E' || s[p] > 'U') {
            continue;
        }
        if (s[p - 1] != ' ' || (p + 4 < n && s[p + 4] != ' ')) continue;
        const std::optional<Kind> kind = part_word({s + p, 4});
        if (!kind || !heading_follows(*kind, line, p)) continue;
        held_line_ = rest(line, p);
        held_ = true;
        int m = p;
        while (m > 0 && s[m - 1] == ' ') --m;
        line.n = m;
        split(line.s, line.n, 0, line.words);
        return true;
    }
    return false;
}

// A land part word and its date group ending a line ("... 82335 TTDD
// 5600/" with "74005 11954 ..." on the next line): the station number that
// opens the next line belongs to them, and the two lines are read as one
// (true). Otherwise the line read ahead is held back as the next line.
bool BulletinReader::join_heading(Line& line)
{
    const char* s = line.s;
    const int n = line.n;
    const int p = n - 5;
    if (p < 0 || (p > 0 && s[p - 1] != ' ')) return false;
    if (!date_group({s + p, 5})) return false;
    int q = p;
    while (q > 0 && s[q - 1] == ' ') --q;
    if (q < 4 || (q > 4 && s[q - 5] != ' ')) return false;
    const std::optional<Kind> kind = part_word({s + q - 4, 4});
    if (!kind || !is_land(*kind)) return false;
    // The line is kept in a buffer of its own while the next is read; the
    // seams of the lines it joined already move with it.
    char* own = own_[0].data();
    if (line.joined) {
        const int from = static_cast<int>(line.s - own);
        const std::uint64_t first = offset(line, 0);
        std::erase_if(seams_, [from](const Seam& x) { return x.pos <= from; });
        for (Seam& x : seams_) x.pos -= from;
        seams_.insert(seams_.begin(), Seam{0, first});
    } else {
        seams_.assign(1, Seam{0, line.at});
    }
    std::memmove(own, line.s, static_cast<std::size_t>(n));
    line.s = own;
    line.in_block = false;
    line.joined = true;
    Line next;
    if (!read_line(next, own_[1].data())) return false;
    if (station_number(word_at(next.s, next.n, 0).in(next.s)) && n + 1 + next.n <= LONGEST_LINE) {
        own[n] = ' ';
        std::memcpy(own + n + 1, next.s, static_cast<std::size_t>(next.n));
        line.n = n + 1 + next.n;
        seams_.push_back(Seam{n + 1, next.at});
        return true;
    }
    held_line_ = next;
    held_ = true;
    return false;
}

// The next line to examine into line_: the one held back, else the next
// line of the input. False at the end of the input (line_ is then empty).
bool BulletinReader::advance()
{
    if (held_) {
        line_ = held_line_;
        held_ = false;
    } else if (!read_line(line_, own_[0].data())) {
        line_ = Line{};
        return false;
    }
    // Code groups hold figures and solidi: most lines have no capital that
    // could start a part word, which the block's marks tell at once.
    if (line_.in_block) {
        const auto at = static_cast<std::size_t>(line_.s - store_->text.data());
        const auto end = at + static_cast<std::size_t>(line_.n);
        line_.plain = next_mark(at, end) == end;
        if (line_.plain) return true;
    }
    // The first part word inside the line holds the rest of the line back;
    // the last part of a line may take its station number from the next.
    split(line_.s, line_.n, 0, line_.words);
    if (!cut_at_part_word(line_) && join_heading(line_)) {
        split(line_.s, line_.n, 0, line_.words);
        cut_at_part_word(line_);
    }
    return true;
}

// Where line[pos] stands in the input.
std::uint64_t BulletinReader::offset(const Line& line, int pos) const
{
    if (!line.joined) return line.at + static_cast<std::uint64_t>(pos);
    const int p = static_cast<int>(line.s - own_[0].data()) + pos;
    auto seam = std::upper_bound(seams_.begin(), seams_.end(), p,
                                 [](int v, const Seam& x) { return v < x.pos; });
    --seam;  // the first seam stands at 0
    return seam->at + static_cast<std::uint64_t>(p - seam->pos);
}

// The line from pos on.
BulletinReader::Line BulletinReader::rest(const Line& line, int pos) const
{
    Line r;
    r.s = line.s + pos;
    r.n = line.n - pos;
    r.in_block = line.in_block;
    r.at = offset(line, pos);
    r.joined = line.joined;
    return r;
}

// ================================================================ parts

int BulletinReader::pending_code() const
{
    return pending_ ? static_cast<int>(*pending_) : UPA_NO_KIND;
}

// The progress as the debugging traces show it: 0 waiting, the lines
// collected, -2 closed, -1 ended.
int BulletinReader::progress() const
{
    switch (state_) {
    case State::waiting: return 0;
    case State::collecting: return part_lines_;
    case State::closed: return -2;
    case State::ended: return -1;
    }
    return -1;
}

void BulletinReader::trace_words(const char* tag, const Words& w, int kind) const
{
    MESS_print(RAW_DEBUG, "%s: %d %d %d %.*s %.*s\n", tag, kind, progress(), taken_, w.len[0],
               line_.s + w.pos[0], w.len[1], line_.s + w.pos[1]);
}

// The text grows up to max_text characters; what lies beyond is left out.
void BulletinReader::add(const char* s, std::size_t n)
{
    const std::size_t room = max_text_ - text_.size();
    if (n > room) {
        dropped_ = true;
        n = room;
    }
    text_.append(s, n);
    last_line_ = n;
}

void BulletinReader::add_blank_and(const char* s, std::size_t n)
{
    if (text_.size() >= max_text_) {
        dropped_ = true;
        return;
    }
    // Only a line that begins with a figure or a solidus may complete a
    // group that the line before it cut.
    if (n == 0 || !code_char(s[0]) || !folded_group(s, n)) text_.push_back(' ');
    add(s, n);
}

// Some senders fold long lines at a fixed width whatever the groups, so
// that a group is cut in two: "... 66772 116" / "58 77768 ...". A long line
// that ends with a piece of a code group, and a line that begins with the
// piece completing it to five figures or solidi, hold one group: the next
// line is joined to the text without a blank. The line s[0, n) begins with
// a figure or a solidus.
bool BulletinReader::folded_group(const char* s, std::size_t n) const
{
    constexpr std::size_t FOLDED_LINE = 60;  // folding widths seen run from 69 to 100
    if (last_line_ < FOLDED_LINE || text_.size() < FOLDED_LINE) return false;
    // The piece at the text's end: one to four figures or solidi after a blank.
    std::size_t tail = 0;
    while (tail < 5 && code_char(text_[text_.size() - 1 - tail])) ++tail;
    if (tail == 0 || tail > 4 || text_[text_.size() - 1 - tail] != ' ') return false;
    std::size_t head = 0;
    while (head < n && code_char(s[head])) ++head;
    const bool ends = head == n || s[head] == ' ' || (s[head] == '=' && (head + 1 == n || s[head + 1] == ' '));
    return ends && head + tail == 5;
}

// Kind of the part word among the line's first two words, where it starts
// (word) and the place after it and its blanks (after). Land TEMP and
// PILOT words count in first or second place (a station number may precede
// them, "72493 TTAA  56001 72493"), ship and mobile words only in first
// place.
std::optional<Kind> BulletinReader::identifier(const Line& line, int& word, int& after) const
{
    const Words& w = line.words;
    std::optional<Kind> found;
    int best = 0;
    for (int k = 0; k < w.n; ++k) {
        if (w.len[k] != 4) continue;
        const std::optional<Kind> kind = part_word({line.s + w.pos[k], 4});
        if (!kind || (k == 1 && !is_land(*kind))) continue;
        if (found && rank_of(*kind) >= best) continue;
        found = kind;
        best = rank_of(*kind);
        word = w.pos[k];
        after = w.end[k];
    }
    return found;
}

// A line with nothing to examine: an empty one, or the header of an
// archive's bulletin ("** "), after which whatever part word was pending
// belonged to the previous bulletin.
bool BulletinReader::passed_over()
{
    if (line_.n <= 0) return true;
    if (line_.n >= 3 && std::memcmp(line_.s, "** ", 3) == 0) {
        pending_.reset();
        return true;
    }
    return false;
}

// The line opens the part (word k of w is its identifier) or goes on with
// it; the text taken runs from `from` to the end of the line.
void BulletinReader::take(const Words& w, int k, int from)
{
    const char* text = line_.s + from;
    const auto len = static_cast<std::size_t>(line_.n - from);
    if (state_ == State::waiting && pending_) {
        kind_ = *pending_;
        trace_kind_ = static_cast<int>(kind_);
        part_at_ = pending_at_;
        pending_.reset();
        add(text, len);
        const int id_len = std::min(w.len[k], VOK_ID_LEN - 1);
        id_.assign(line_.s + w.pos[k], static_cast<std::size_t>(id_len));
        started_ = true;
        state_ = State::collecting;
        part_lines_ = 1;
        ++taken_;
    } else if (collecting()) {
        if (!taken_) add_blank_and(text, len);
        ++taken_;
        ++part_lines_;
    }
}

// One line of the feed. False when the line belongs to the next part: it
// stays for the next call.
bool BulletinReader::examine()
{
    taken_ = 0;
    int from = 0;
    Words w = line_.words;
    int word = 0;
    if (const std::optional<Kind> kind = identifier(line_, word, from)) {
        pending_ = kind;
        pending_at_ = offset(line_, word);
        split(line_.s, line_.n, from, w);
    }
    if (trace_)
        MESS_print(RAW_DEBUG, "STR: %.*s %.*s\n", w.len[0], line_.s + w.pos[0], w.len[1],
                   line_.s + w.pos[1]);
    if (pending_ && collecting()) {
        if (trace_) MESS_print(RAW_DEBUG, "REP: %d %d %d\n", pending_code(), progress(), taken_);
        return false;
    }
    if (w.n < 2) {
        // A lone word (NIL=, /////=, NNNN) closes the part, leading blanks
        // and all; a lone code group goes on with it.
        if (trace_) MESS_print(RAW_DEBUG, "ERR-2: %d %d %d\n", pending_code(), progress(), taken_);
        const bool goes_on =
            w.n == 1 && lone_code_group({line_.s + w.pos[0], static_cast<std::size_t>(w.len[0])});
        if (collecting() && !goes_on) {
            add_blank_and(line_.s, static_cast<std::size_t>(line_.n));
            state_ = State::ended;
            ++taken_;
        }
    }
    if (pending_ && !is_land(*pending_) && w.n == 2) {
        // Ships and mobile stations: the call sign opens the part.
        if (trace_) trace_words("STR-S", w, pending_code());
        take(w, 0, from);
    }
    if (w.n == 2 && w.len[0] == 5 && w.len[1] == 5 && four_figures(line_.s + w.pos[0])) {
        // Land stations: IIiii after a YYGGId group whose indicator may be
        // missing ("5600/ 72786"); a minus sign passes the figure test of
        // the station number.
        const char* b = line_.s + w.pos[1];
        if ((b[0] == '-' || is_figure(b[0])) && four_figures(b + 1)) {
            if (trace_) trace_words("STR-5", w, pending_code());
            take(w, 1, from);
        }
    }
    const char last = line_.n > from ? line_.s[line_.n - 1] : '\0';
    if (last == ';' || last == '=') {
        if (trace_)
            MESS_print(RAW_DEBUG, "STR-%c: %d %d %d\n", last, trace_kind_, progress(), taken_);
        if (collecting()) {
            if (!taken_) add_blank_and(line_.s + from, static_cast<std::size_t>(line_.n - from));
            state_ = State::closed;
        }
    }
    if (!taken_) {
        if (trace_) MESS_print(RAW_DEBUG, "NOT-D: %d %d %d\n", trace_kind_, progress(), taken_);
        if (collecting()) {
            add_blank_and(line_.s + from, static_cast<std::size_t>(line_.n - from));
            ++part_lines_;
        }
    }
    if (trace_)
        MESS_print(RAW_DEBUG, "%d:%d:%d:%.*s\n", trace_kind_, progress(), taken_, line_.n, line_.s);
    return true;
}

// A line without a part word, as examine takes it when it need not look at
// the line's first words: while a part is collected the line goes into it
// whole, and while none is, with no part word pending, it starts nothing.
// False when it must be examined.
bool BulletinReader::examine_plain()
{
    if (state_ != State::collecting) return !pending_;
    const char* s = line_.s;
    const int n = line_.n;
    int start = 0;
    while (s[start] == ' ') ++start;
    int end = start;
    while (end < n && s[end] != ' ') ++end;
    add_blank_and(s, static_cast<std::size_t>(n));
    if (end == n && !lone_code_group({s + start, static_cast<std::size_t>(end - start)})) {
        state_ = State::ended;
        return true;
    }
    ++part_lines_;
    if (s[n - 1] == ';' || s[n - 1] == '=') state_ = State::closed;
    return true;
}

// Moves on to the next line. A ";" closes the main part; regional 333
// groups follow on lines of their own and still belong to the part.
void BulletinReader::step()
{
    if (!advance()) {
        state_ = State::ended;
    } else if (state_ == State::closed && line_.n >= 5 && std::memcmp(line_.s, "  333", 5) == 0) {
        state_ = State::collecting;
        part_lines_ = 2;
    }
}

// The part's end: its closing "=" or ";" becomes a blank, a group cut at
// the capacity goes, and one blank closes the text.
void BulletinReader::finish()
{
    if (!text_.empty() && text_.back() == '=') text_.back() = ' ';
    if (!text_.empty() && text_.back() == ';') text_.back() = ' ';
    bool trimmed = false;
    if (text_.size() == max_text_ && text_.back() != ' ') {
        // A part cut at its capacity: the group at the cut is incomplete
        // or has no room for the blank that closes it, and a decoder would
        // read a truncated group as a wrong value. It goes.
        const std::size_t blank = text_.find_last_of(' ');
        text_.resize(blank == std::string::npos ? 0 : blank + 1);
        trimmed = true;
    }
    if (text_.size() < max_text_) text_.push_back(' ');
    dropped_ = dropped_ || trimmed;
}

bool BulletinReader::next(PartView& part)
{
    trace_ = MESS_enabled(RAW_DEBUG);
    // A line left over by the previous call is examined even when the
    // input has no more: the last line of an input without a final newline
    // may be the one that ended the previous part.
    if (line_.n == 0) {
        if (at_end()) return false;
        advance();
    }
    state_ = State::waiting;
    started_ = false;
    part_lines_ = 0;
    taken_ = 0;
    dropped_ = false;
    text_.clear();
    while (state_ == State::waiting || state_ == State::collecting) {
        if (trace_) MESS_print(RAW_DEBUG, "LINE:%.*s\n", line_.n, line_.s);
        if (passed_over()) {
            if (!advance()) break;
            continue;
        }
        if (line_.plain && !trace_ && examine_plain()) {
            take_plain_lines();
        } else {
            if (line_.plain) split(line_.s, line_.n, 0, line_.words);
            if (!examine()) break;
        }
        step();
    }
    if (!started_) return false;
    finish();
    part.kind = kind_;
    part.id = id_;
    part.text = text_;
    part.offset = part_at_;
    part.cut = dropped_;
    return true;
}

}  // namespace ua
