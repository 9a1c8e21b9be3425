// Splitting a part's text into its groups, and the groups every form of
// part reads alike.
#include "ua_dec_groups.h"

#include <charconv>
#include <string>

namespace ua {

Groups::Groups(std::string_view text) : text_(text)
{
    words_.reserve(text.size() / 6 + 1);
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        while (i < n && group_separator(text[i])) ++i;
        const std::size_t start = i;
        while (i < n && !group_separator(text[i])) ++i;
        if (i > start) words_.push_back(text.substr(start, i - start));
    }
}

std::size_t Groups::offset(std::size_t i) const
{
    if (i >= words_.size()) return text_.size();
    return static_cast<std::size_t>(words_[i].data() - text_.data());
}

DecodedPart start_part(Kind kind, const Groups& g, std::size_t& next)
{
    const Heading h = read_heading(kind, g);
    DecodedPart part;
    part.kind = kind;
    part.status = h.status;
    part.id = h.id;
    part.day = h.day;
    part.hour = h.hour;
    part.knots = h.knots;
    part.id_figure = h.id_figure;
    part.ship_hour = h.ship_hour;
    // PILOT parts B and D hold about a level for each group, the others
    // fewer than one for two.
    part.levels.reserve(form_of(kind) == Form::pilot_bd ? g.size() : g.size() / 2 + 1);
    next = h.next;
    return part;
}

void read_platform_position(DecodedPart& part, const Groups& g, std::size_t& i)
{
    const Platform pf = platform_of(part.kind);
    if (pf != Platform::land || part.ship_hour) part.position = read_position(g, i, pf == Platform::mobile);
}

void cut_part(DecodedPart& part, const Groups& g, std::size_t i, std::string_view why)
{
    if (part.status == PartStatus::nil) return;
    if (part.status == PartStatus::ok) part.status = PartStatus::truncated;
    if (part.stop_offset >= 0) return;
    const std::size_t offset = g.offset(i);
    part.stop_offset = static_cast<int>(offset);
    const auto number = [&part](std::size_t v) {
        char buf[24];
        part.note.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    };
    part.note = "group ";
    number(i);
    part.note.append(" \"").append(g[i].substr(0, 20)).append("\" at ");
    number(offset);
    part.note.append(": ").append(why);
}

}  // namespace ua
