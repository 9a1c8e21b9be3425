// The bulletin reader: a raw feed, read in large blocks, cut into report
// parts. Each reader owns its input's state; nothing carries from one input
// into the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "ua_dec_part.h"

namespace ua {

struct ReaderOptions {
    // PILOT part C is a part word. The suite's UPA_read_raw does not know
    // it, and turns it off.
    bool pilot_c = true;
    // Longest part text kept, in characters: a longer part is cut at a whole
    // group (PartView::cut). It bounds the memory a reader needs whatever
    // its input holds.
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
    std::uint64_t offset = 0;  // where the line with the part word starts in the input
    bool cut = false;          // the part was longer than max_text
};

class BulletinReader {
public:
    // Reads `in` from where it stands, in blocks of BLOCK bytes, with plain
    // fread calls. The stream stays the caller's.
    explicit BulletinReader(std::FILE* in, ReaderOptions options = {});
    BulletinReader(const BulletinReader&) = delete;
    BulletinReader& operator=(const BulletinReader&) = delete;

    // The next part; false at the end of the input or after a read error.
    bool next(PartView& part);
    // A read of the input failed (the parts before it were given).
    bool failed() const { return failed_; }
    // Bytes and lines of the input read so far.
    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t lines() const { return lines_; }

    static constexpr std::size_t BLOCK = 64 * 1024;

private:
    std::FILE* in_;
    ReaderOptions options_;
    bool failed_ = false;
    std::uint64_t bytes_ = 0;
    std::uint64_t lines_ = 0;
    std::vector<char> block_;  // the input block being cut into lines
    std::string text_;         // the text of the part being collected
};

}  // namespace ua
