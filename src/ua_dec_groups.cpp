// Splitting a part's text into its groups.
#include "ua_dec_groups.h"

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

}  // namespace ua
