// The bulletin reader: a raw feed, read in large blocks, cut into report
// parts. Each reader owns its input's state; nothing carries from one input
// into the next.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ua_dec_part.h"

namespace ua {

struct ReaderOptions {
    // PILOT part C is a part word. The suite's UPA_read_raw does not know
    // it, and turns it off.
    bool pilot_c = true;
    // Longest part text kept, in characters (at least 1): a longer part is
    // cut at a whole group (PartView::cut). It bounds the memory a reader
    // needs whatever its input holds. The suite's UPA_read_raw keeps
    // UPA_RAW_MAX.
    std::size_t max_text = 32768;
};

// One part as the reader found it. The views stay valid until the next call
// of BulletinReader::next.
struct PartView {
    Kind kind = Kind::TTAA;
    std::string_view id;    // station number or call sign, at most 10 characters
    // The code groups after the part word, on one line with blanks between
    // (line ends, control and 8-bit bytes turned into blanks), the closing
    // "=" or ";" turned into a blank, and one blank at the end: the text the
    // suite's UPA_read_raw hands to the decoders.
    std::string_view text;
    // Where the part word that opened the part stands in the input, in bytes
    // from where the reader started.
    std::uint64_t offset = 0;
    // The part was longer than max_text: what did not fit, and the group at
    // the cut, were left out.
    bool cut = false;
};

// Land stations are known by their WMO block and station number, five
// figures: a number below WMO_NUMBERS indexes a table of them. The number of
// an identifier, or -1 when it is none (a call sign, a sign before the
// figures).
inline constexpr int WMO_NUMBERS = 100000;
constexpr int wmo_number(std::string_view id)
{
    if (id.size() != 5) return -1;
    int n = 0;
    for (const char c : id) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

class BulletinReader {
public:
    // Reads `in` from where it stands, in blocks of BLOCK bytes, with plain
    // fread calls. The stream stays the caller's.
    explicit BulletinReader(std::FILE* in, ReaderOptions options = {});
    BulletinReader(const BulletinReader&) = delete;
    BulletinReader& operator=(const BulletinReader&) = delete;

    // The next part; false at the end of the input or after a read error.
    bool next(PartView& part);
    // Nothing is left to examine: the input was read to its end and no line
    // waits, so next gives false. (The suite's UPA_read_raw then says -1,
    // the end of the file, where next giving false says 0.)
    bool at_end() const { return line_.n == 0 && !held_ && eof_hit_; }
    // A read of the input failed (the parts before it were given).
    bool failed() const { return failed_; }
    // Bytes and lines of the input read so far.
    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t lines() const { return lines_; }

    static constexpr std::size_t BLOCK = 64 * 1024;

private:
    // The longest line kept, in characters. Feeds put whole soundings on one
    // physical line (over 1,800 characters in real bulletins); of a longer
    // line only the last visible character is kept beyond this, which tells
    // whether the line ends the part.
    static constexpr int LONGEST_LINE = 8192;
    // Room before the block for the start of a line that the block's end cut.
    static constexpr std::size_t CARRY = LONGEST_LINE + 64;

    // The first two words of a line from some place on: where each starts,
    // its length (at most 25 characters count) and the place after it and
    // its blanks.
    struct Words {
        int pos[2] = {0, 0};
        int len[2] = {0, 0};
        int end[2] = {0, 0};
        int n = 0;
    };
    // A line to examine, cleaned and without trailing blanks: a view into
    // the block, into one of the reader's own line buffers, or the rest of
    // either from a part word on.
    struct Line {
        const char* s = "";
        int n = 0;
        bool in_block = false;        // in the block, its marks beside it
        std::uint64_t at = 0;         // offset in the input of s[0]
        bool joined = false;          // in own_[0], its offsets told by seams_
        // No part word can stand in it (no capital that starts one): its
        // words are split only when they are needed.
        bool plain = false;
        Words words;                  // its first two words, unless plain
    };
    // Where a line joined to the one before it starts in own_[0], and its
    // offset in the input.
    struct Seam {
        int pos;
        std::uint64_t at;
    };
    // The block as read, cleaned in place, and beside it the marks of the
    // places where a part word may start.
    struct Storage {
        std::array<char, CARRY + BLOCK> text;
        std::array<char, CARRY + BLOCK> marks;
    };
    // Where the part being collected stands.
    enum class State { waiting, collecting, closed, ended };

    // Reading: blocks and physical lines.
    void refill();
    // The first place in [i, limit) of the block where a part word may
    // start, else limit. Lines are looked at in the order of the block, so
    // one search of the marks serves every line up to the place it found;
    // every line asks.
    std::size_t next_mark(std::size_t i, std::size_t limit)
    {
        if (mark_from_ > i || mark_ < i) search_marks(i);
        return std::min(mark_, limit);
    }
    void search_marks(std::size_t i);
    bool read_line(Line& out, char* own);
    void take_plain_lines();
    void take_line(Line& out, std::size_t len);
    void take_long_line(Line& out, char* own);
    char skip_rest_of_line(bool track);
    // The lines examined: the one held back, or the next of the input, with
    // parts run together cut apart and a heading joined to its station.
    bool advance();
    std::uint64_t offset(const Line& line, int pos) const;
    Line rest(const Line& line, int pos) const;
    std::optional<Kind> part_word(std::string_view word) const;
    bool heading_follows(Kind kind, const Line& line, int p) const;
    bool cut_at_part_word(Line& line);
    bool join_heading(Line& line);
    // Collecting a part.
    std::optional<Kind> identifier(const Line& line, int& word, int& after) const;
    bool passed_over();
    bool examine();
    bool examine_plain();
    void take(const Words& w, int k, int from);
    void step();
    void finish();
    void add(const char* s, std::size_t n);
    void add_blank_and(const char* s, std::size_t n);
    bool folded_group(const char* s, std::size_t n) const;
    int progress() const;
    bool collecting() const { return state_ == State::collecting; }
    int pending_code() const;
    void trace_words(const char* tag, const Words& w, int kind) const;

    std::FILE* in_;
    ReaderOptions options_;
    bool failed_ = false;
    std::uint64_t bytes_ = 0;
    std::uint64_t lines_ = 0;

    std::unique_ptr<Storage> store_;
    std::size_t pos_ = CARRY;   // the next byte of the block not yet taken
    std::size_t end_ = CARRY;   // the end of what the block holds
    std::int64_t base_ = -static_cast<std::int64_t>(CARRY);  // input offset of text[0]
    bool eof_ = false;          // the input has no more blocks
    bool eof_hit_ = false;      // a line was looked for, or ended, at the end of the input
    bool has_nul_ = false;      // the block holds a NUL
    static constexpr std::size_t END = CARRY + BLOCK;
    // The last search of the marks: where it started and the mark it found
    // (end_: none).
    std::size_t mark_from_ = END;
    std::size_t mark_ = END;
    // Lines that outlive the block: the current one, and the one read ahead.
    std::vector<char> own_[2];
    std::vector<Seam> seams_;   // the lines joined in own_[0], in order

    Line line_;            // the current line; empty when none waits
    Line held_line_;       // the line examined next, when it is not the next of the input
    bool held_ = false;
    std::optional<Kind> pending_;  // part word seen last, not yet used by a part
    std::uint64_t pending_at_ = 0;

    bool trace_ = false;   // per-line debugging traces on
    int trace_kind_;       // kind of the last part started, as the traces show it
    State state_ = State::waiting;
    int part_lines_ = 0;   // lines in the part
    bool started_ = false;
    int taken_ = 0;        // how often the current line was taken into the part
    Kind kind_ = Kind::TTAA;
    std::string id_;
    std::uint64_t part_at_ = 0;
    std::size_t max_text_;
    bool dropped_ = false;  // text beyond max_text was left out
    std::string text_;     // the text of the part being collected
    std::size_t last_line_ = 0;  // length of the last line taken into it
};

}  // namespace ua
