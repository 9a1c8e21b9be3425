// Part kinds, level types and the groups that open every part: call sign,
// date group, station number and the position of ships and mobile stations.
#include "ua_dec_part.h"

#include <array>
#include <cstdlib>

#include "ua_dec_groups.h"

namespace ua {

namespace {

constexpr std::array<std::string_view, NUM_KIND_CODES> KIND_NAMES = {
    "TTAA", "TTBB", "TTCC", "TTDD", "PPAA", "PPBB", "PPDD", "UUAA", "UUBB", "UUCC",
    "UUDD", "IIAA", "IIBB", "IICC", "IIDD", "EEBB", "EEDD", "", "PPCC",
};

constexpr std::array<std::string_view, NUM_LEVEL_TYPES> LEVEL_TYPE_NAMES = {
    "surface", "standard", "tropopause", "max_wind", "sig_temperature", "sig_wind",
};

constexpr std::size_t index(Kind k) { return static_cast<std::size_t>(k); }

// What each kind is, by its number: every part of a run asks, so the answers
// stand in tables rather than in searches.
struct KindTraits {
    Form form;
    Platform platform;
    bool upper;  // parts C and D: above 100 hPa
};
constexpr KindTraits TRAITS[NUM_KIND_CODES] = {
    {Form::temp_ac, Platform::land, false},     // TTAA
    {Form::temp_bd, Platform::land, false},     // TTBB
    {Form::temp_ac, Platform::land, true},      // TTCC
    {Form::temp_bd, Platform::land, true},      // TTDD
    {Form::pilot_ac, Platform::land, false},    // PPAA
    {Form::pilot_bd, Platform::land, false},    // PPBB
    {Form::pilot_bd, Platform::land, true},     // PPDD
    {Form::temp_ac, Platform::ship, false},     // UUAA
    {Form::temp_bd, Platform::ship, false},     // UUBB
    {Form::temp_ac, Platform::ship, true},      // UUCC
    {Form::temp_bd, Platform::ship, true},      // UUDD
    {Form::temp_ac, Platform::mobile, false},   // IIAA
    {Form::temp_bd, Platform::mobile, false},   // IIBB
    {Form::temp_ac, Platform::mobile, true},    // IICC
    {Form::temp_bd, Platform::mobile, true},    // IIDD
    {Form::pilot_bd, Platform::mobile, false},  // EEBB
    {Form::pilot_bd, Platform::mobile, true},   // EEDD
    {Form::pilot_bd, Platform::land, false},    // no kind bears this number
    {Form::pilot_ac, Platform::land, true},     // PPCC
};

constexpr const KindTraits& traits(Kind k)
{
    return TRAITS[index(k) < NUM_KIND_CODES ? index(k) : NUM_KIND_CODES - 2];
}

}  // namespace

std::string_view kind_name(Kind kind)
{
    return index(kind) < KIND_NAMES.size() ? KIND_NAMES[index(kind)] : std::string_view{};
}

int legacy_kind(Kind kind)
{
    return kind == Kind::PPCC ? 99 : static_cast<int>(kind);
}

// Every part word pairs the letter of its platform (TT, PP, UU, II, EE)
// with the letter of its part (AA to DD): the two letters find it in a table.
std::optional<Kind> kind_of_word(std::string_view word)
{
    if (word.size() != 4 || word[0] != word[1] || word[2] != word[3] || word[2] < 'A' ||
        word[2] > 'D')
        return std::nullopt;
    std::size_t row = 0;
    switch (word[0]) {
    case 'T': row = 0; break;
    case 'P': row = 1; break;
    case 'U': row = 2; break;
    case 'I': row = 3; break;
    case 'E': row = 4; break;
    default: return std::nullopt;
    }
    constexpr std::optional<Kind> BY_LETTERS[5][4] = {
        {Kind::TTAA, Kind::TTBB, Kind::TTCC, Kind::TTDD},
        {Kind::PPAA, Kind::PPBB, Kind::PPCC, Kind::PPDD},
        {Kind::UUAA, Kind::UUBB, Kind::UUCC, Kind::UUDD},
        {Kind::IIAA, Kind::IIBB, Kind::IICC, Kind::IIDD},
        {std::nullopt, Kind::EEBB, std::nullopt, Kind::EEDD},
    };
    return BY_LETTERS[row][word[2] - 'A'];
}

Form form_of(Kind kind)
{
    return traits(kind).form;
}

bool upper_part(Kind kind)
{
    return traits(kind).upper;
}

Platform platform_of(Kind kind)
{
    return traits(kind).platform;
}

std::string_view level_type_name(LevelType type)
{
    const auto i = static_cast<std::size_t>(type);
    return i < LEVEL_TYPE_NAMES.size() ? LEVEL_TYPE_NAMES[i] : std::string_view{};
}

std::string_view part_status_name(PartStatus status)
{
    switch (status) {
    case PartStatus::ok: return "ok";
    case PartStatus::nil: return "nil";
    case PartStatus::no_date: return "no date group";
    case PartStatus::bad_date: return "impossible date";
    case PartStatus::truncated: return "cut short";
    }
    return "";
}

int depression10(int dd)
{
    if (dd == VOK_MISSING || dd < 0) return VOK_MISSING;
    return dd <= 50 ? dd : (dd - 50) * 10;
}

int dew_point10(const Level& level)
{
    const int dep = depression10(level.dd);
    if (level.t10 == VOK_MISSING || dep == VOK_MISSING) return VOK_MISSING;
    return level.t10 - dep;
}

// ---------------------------------------------------------------- heading

namespace {

// The identifier group: a call sign of four characters or more, a station
// number of five or more; at most ten are kept.
bool read_identifier(std::string_view w, std::size_t& i, std::size_t shortest, Heading& h)
{
    if (w.size() < shortest) return false;
    h.id.assign(w.substr(0, 10));
    ++i;
    return true;
}

// YYGGId. YY is the day of the month, plus 50 when the speeds are in knots
// (FM 35/32). In TEMP parts A and C an hour group above 50 marks a ship
// report, the hour being GG less 50.
bool read_date(std::string_view w, std::size_t& i, bool temp_ac, Heading& h)
{
    if (w.size() != 5) return false;
    const int yy = figures(w, 0, 2);
    const int gg = figures(w, 2, 2);
    const int id = figures(w, 4, 1);
    if (yy < 0 || gg < 0 || id == FIG_BAD) return false;  // no solidi in YYGG
    ++i;
    h.knots = yy >= 50;
    h.day = yy % 50;
    h.id_figure = id;
    h.ship_hour = temp_ac && gg > 50;
    h.hour = temp_ac ? gg % 50 : gg;
    if (h.day < 1 || h.day > 31 || h.hour > 23) h.status = PartStatus::bad_date;
    return true;
}

bool is_nil(std::string_view w)
{
    return w.size() >= 3 && w.substr(0, 3) == "NIL";
}

// The heading from the groups g[0], g[1] ... (Groups, or the first words of
// a text).
template <class Words>
Heading heading_of(Kind kind, Words& g)
{
    Heading h;
    std::size_t i = 0;
    const Form form = form_of(kind);
    const bool land = platform_of(kind) == Platform::land;
    if (!land) {
        // Parts B and D of ships and mobile stations may repeat their part
        // word before the call sign.
        if (form == Form::temp_bd && (g[i] == "UUBB" || g[i] == "UUDD" || g[i] == "IIBB" ||
                                      g[i] == "IIDD"))
            ++i;
        read_identifier(g[i], i, 4, h);
    }
    const bool dated = read_date(g[i], i, form == Form::temp_ac, h);
    if (land) read_identifier(g[i], i, 5, h);
    h.next = i;
    if (!dated) h.status = PartStatus::no_date;
    else if (h.status == PartStatus::ok && is_nil(g[i])) h.status = PartStatus::nil;
    return h;
}

// The first words of a text, each split when the heading first asks for it:
// a heading reads three of them, four for a ship or mobile station that
// repeats its part word.
class FirstWords {
public:
    explicit FirstWords(std::string_view text) : text_(text) {}
    std::string_view operator[](std::size_t i)
    {
        if (i >= w_.size()) return {};
        std::size_t p = p_;
        for (; count_ <= i; ++count_) {
            while (p < text_.size() && group_separator(text_[p])) ++p;
            const std::size_t start = p;
            while (p < text_.size() && !group_separator(text_[p])) ++p;
            w_[count_] = text_.substr(start, p - start);
        }
        p_ = p;
        return w_[i];
    }

private:
    std::string_view text_;
    std::array<std::string_view, 4> w_;
    std::size_t count_ = 0;
    std::size_t p_ = 0;
};

}  // namespace

Heading read_heading(Kind kind, const Groups& g)
{
    return heading_of(kind, g);
}

Heading read_heading(Kind kind, std::string_view text)
{
    FirstWords words(text);
    return heading_of(kind, words);
}

std::optional<Position> read_position(const Groups& g, std::size_t& i, bool mobile)
{
    std::optional<Position> pos;
    const std::string_view a = g[i];
    const std::string_view b = g[i + 1];
    if (code_group(a) && a[0] == '9' && a[1] == '9' && code_group(b)) {
        const int la = figures(a, 2, 3);
        const int qc = figures(b, 0, 1);
        const int lo = figures(b, 1, 4);
        if (la != FIG_BAD && qc != FIG_BAD && lo != FIG_BAD) {
            Position p;
            // Qc: 1 north-east, 3 south-east, 5 south-west, 7 north-west.
            if (la != VOK_MISSING) p.lat10 = (qc == 3 || qc == 5) ? -la : la;
            if (lo != VOK_MISSING) p.lon10 = qc > 4 ? -lo : lo;
            pos = p;
            i += 2;
        }
    }
    // The groups after the position are passed over even when it is
    // malformed: its 99LaLaLa would otherwise pass for a surface group.
    const auto known = [](int v) { return v == FIG_BAD ? VOK_MISSING : v; };
    if (pos) pos->marsden = known(figures(g[i], 0, 5));
    ++i;
    if (mobile) {
        if (pos) {
            pos->h0 = known(figures(g[i], 0, 4));
            pos->im = static_cast<std::int16_t>(known(figures(g[i], 4, 1)));
        }
        ++i;
    }
    return pos;
}

DecodedPart decode_part(Kind kind, std::string_view text)
{
    switch (form_of(kind)) {
    case Form::temp_ac: return decode_temp_ac(kind, text);
    case Form::temp_bd: return decode_temp_bd(kind, text);
    case Form::pilot_ac: return decode_pilot_ac(kind, text);
    case Form::pilot_bd: return decode_pilot_bd(kind, text);
    }
    return {};
}

}  // namespace ua
