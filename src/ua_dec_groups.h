// The groups of a part, split once, and the figure readers the decoders use
// on them. A group is a run of characters between blanks; control and 8-bit
// bytes count as blanks, as the bulletin reader turns them into blanks, and
// so does a terminator "=" left on a group.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "vok.h"

namespace ua {

// Blanks, the control and 8-bit bytes that the reader turns into blanks,
// and "=": the reader takes one terminator off a part, and a part that ends
// "81111==" keeps the other on its last group.
constexpr bool group_separator(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' || u >= 0x80 || c == '=';
}

class Groups {
public:
    explicit Groups(std::string_view text);
    std::size_t size() const { return words_.size(); }
    bool empty() const { return words_.empty(); }
    // Group i; an empty view past the last group, so that look-ahead needs
    // no test of its own.
    std::string_view operator[](std::size_t i) const
    {
        return i < words_.size() ? words_[i] : std::string_view{};
    }
    // Offset of group i in the text (the text's length past the last group).
    std::size_t offset(std::size_t i) const;
    std::string_view text() const { return text_; }

private:
    std::string_view text_;
    std::vector<std::string_view> words_;
};

// A field that is neither figures nor solidi ("8/", "-1", "A2").
inline constexpr int FIG_BAD = -1;

// The n figures of g from pos on as a number; VOK_MISSING when they are all
// solidi ("///": not reported); FIG_BAD when the field runs past the group
// or mixes figures with anything else.
constexpr int figures(std::string_view g, std::size_t pos, std::size_t n)
{
    if (pos + n > g.size() || n == 0) return FIG_BAD;
    int v = 0;
    std::size_t solidi = 0;
    for (std::size_t k = pos; k < pos + n; ++k) {
        const char c = g[k];
        if (c >= '0' && c <= '9') v = v * 10 + (c - '0');
        else if (c == '/') ++solidi;
        else return FIG_BAD;
    }
    if (solidi == 0) return v;
    return solidi == n ? VOK_MISSING : FIG_BAD;
}

// A five-character code group of figures and solidi.
constexpr bool code_group(std::string_view g)
{
    if (g.size() != 5) return false;
    for (const char c : g)
        if (!((c >= '0' && c <= '9') || c == '/')) return false;
    return true;
}

// Two fields of a five-character group: the first n1 figures and the
// remaining 5 - n1, each read by figures(). False (a and b untouched) when
// g is no code group or a field is FIG_BAD.
constexpr bool split_group(std::string_view g, std::size_t n1, int& a, int& b)
{
    if (!code_group(g)) return false;
    const int x = figures(g, 0, n1);
    const int y = figures(g, n1, 5 - n1);
    if (x == FIG_BAD || y == FIG_BAD) return false;
    a = x;
    b = y;
    return true;
}

}  // namespace ua
