// The groups of a part, split once, the figure readers the decoders use on
// them, and the groups every form shares: the heading and position that open
// a part, wind groups, section indicators, NIL, the note of a part cut short.
// A group is a run of characters between blanks; control and 8-bit bytes
// count as blanks, as the bulletin reader turns them into blanks, and so
// does a terminator "=" left on a group.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ua_dec_part.h"
#include "vok.h"
#include "vokupa.h"

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

// The same, a field that does not read counting as not reported.
constexpr int figures_or_missing(std::string_view g, std::size_t pos, std::size_t n)
{
    const int v = figures(g, pos, n);
    return v == FIG_BAD ? VOK_MISSING : v;
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

// Five figures xyxyx, the form of the groups that open sections: 21212,
// 31313, 41414, the regional 51515 ... 59595, the national 61616 ... 69696.
constexpr bool indicator_form(std::string_view g)
{
    return g.size() == 5 && figures(g, 0, 5) >= 0 && g[0] == g[2] && g[0] == g[4] && g[1] == g[3];
}

// "NIL" where the part's data would stand.
constexpr bool nil_group(std::string_view g) { return g.starts_with("NIL"); }

// The figures pp that name each standard isobaric surface, by the slots of
// man_pres: 99 the surface, 00 1000 hPa, then tens of hPa down to 100 hPa
// (part A) and whole hPa from 70 hPa on (part C).
inline constexpr std::array<int, UPA_SLOT_C_LAST + 1> STANDARD_PP = {
    99, 0, 92, 85, 70, 50, 40, 30, 25, 20, 15, 10, 70, 50, 30, 20, 10, 7, 5, 3, 2, 1,
};

// The first slot from `from` to `last` that pp names, -1 for none.
constexpr int slot_named(int pp, int from, int last)
{
    for (int s = from; s <= last; ++s)
        if (pp == STANDARD_PP[static_cast<std::size_t>(s)]) return s;
    return -1;
}

// A level of the part, in its speed unit, opened by group `opening`.
inline Level new_level(const DecodedPart& part, LevelType type, std::size_t opening)
{
    Level lv;
    lv.type = type;
    lv.knots = part.knots;
    lv.group = static_cast<std::uint16_t>(opening);
    return lv;
}

enum class WindGroup : std::uint8_t { none, wind, too_fast };

// ddfff, group i, into the level when it is a wind: the direction in tens
// of degrees to 36, the hundreds of the speed from 5 on adding 5 degrees to
// it ("27615": 275 degrees at 115). A speed above 249 (knots or m/s) does
// not occur: such a group (too_fast) holds no wind and leaves the level as
// it was; whether it stands for a wind all the same is the form's to say.
// The level's wind_at counts from its opening group.
inline WindGroup read_wind(const Groups& g, std::size_t i, Level& lv)
{
    int dd = 0, fff = 0;
    if (!split_group(g[i], 2, dd, fff) || (dd != VOK_MISSING && dd > 36)) return WindGroup::none;
    const bool over = fff != VOK_MISSING && fff >= 500;
    const int speed = over ? fff - 500 : fff;
    if (speed != VOK_MISSING && speed > 249) return WindGroup::too_fast;
    lv.dir = static_cast<std::int16_t>(dd != VOK_MISSING ? dd * 10 + (over ? 5 : 0) : VOK_MISSING);
    lv.spd = static_cast<std::int16_t>(speed);
    lv.wind_at = static_cast<std::uint8_t>(i - lv.group);
    return WindGroup::wind;
}

// nnPPP, the group that opens a significant level: nn its number (00, 11
// ... 99), PPP its pressure. False when g is none.
constexpr bool level_number_group(std::string_view g, int& ppp)
{
    int nn = 0;
    return split_group(g, 2, nn, ppp) && nn != VOK_MISSING && nn % 11 == 0;
}
// PPP in tenths of hPa: whole hPa in parts B (below 100 meaning 1000 and
// more), tenths in parts D.
constexpr int significant_pressure10(int ppp, bool part_d)
{
    return part_d ? ppp : (ppp < 100 ? ppp + 1000 : ppp) * 10;
}

// A part of the kind with its heading read, and the index of the group
// after the heading. Ships and mobile stations (and ships that report by a
// TEMP part A or C) give their position next: read_platform_position.
DecodedPart start_part(Kind kind, const Groups& g, std::size_t& next);
void read_platform_position(DecodedPart& part, const Groups& g, std::size_t& i);

// The part is cut at group i, for the reason why. A NIL part holds nothing
// to lose; a part refused for its date keeps that status; the note tells
// the first cut and its group, as "group 17 \"8551\" at 96: no level group".
void cut_part(DecodedPart& part, const Groups& g, std::size_t i, std::string_view why);

}  // namespace ua
