// UTF-8 in the texts the output forms carry: station identifiers come from
// bulletins and station names from station tables, in any bytes, while XML
// and the CF form's text variables must hold well-formed UTF-8.
#pragma once

#include <cstddef>
#include <string_view>

namespace ua {

// Length of a well-formed UTF-8 sequence at t[i] of a character that XML
// allows (no UTF-16 surrogates, not U+FFFE or U+FFFF), else 0.
inline std::size_t utf8_char_len(std::string_view t, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(t[k]); };
    const unsigned char c = at(i);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    }
    if (n == 0 || i + n > t.size()) return 0;
    if (at(i + 1) < lo || at(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
    if (n == 3 && c == 0xEF && at(i + 1) == 0xBF && at(i + 2) >= 0xBE) return 0;
    return n;
}

}  // namespace ua
