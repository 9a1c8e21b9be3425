// Small text helpers shared by every module: case-insensitive comparison
// (the suite's way of matching keywords), bounded copying, in-place editing
// and splitting of comma lists.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "vok.h"

namespace {

inline int lower(char c)
{
    return std::tolower(static_cast<unsigned char>(c));
}

}  // namespace

int stricmp(const char* a, const char* b)
{
    if (!a || !b) return 1;
    for (;; ++a, ++b) {
        const int ca = lower(*a);
        const int cb = lower(*b);
        if (ca != cb || ca == 0) return ca - cb;
    }
}

int strnicmp(const char* a, const char* b, int n)
{
    if (!a || !b) return 1;
    // Positions 0 .. n-2 are stepped over while equal; the position reached
    // decides, so at most n characters take part and a count below one still
    // looks at the first character.
    int i = 0;
    while (i < n - 1 && a[i] && b[i] && lower(a[i]) == lower(b[i])) ++i;
    return lower(a[i]) - lower(b[i]);
}

int strntcpy(char* dst, const char* src, int n)
{
    if (n < 0) n = 0;
    std::memcpy(dst, src, static_cast<std::size_t>(n));
    dst[n] = '\0';
    return 1;
}

int strmcat(char* dst, const char* src, int m)
{
    if (!dst || !src) return 0;
    const std::size_t have = std::strlen(dst);
    if (m < 0 || have >= static_cast<std::size_t>(m)) return 0;
    const std::size_t room = static_cast<std::size_t>(m) - have;
    const std::size_t add = strnlen(src, room);
    std::memcpy(dst + have, src, add);
    dst[have + add] = '\0';
    return 1;
}

int fill_string(char* s, char a, char b)
{
    if (!s) return 0;
    for (; *s; ++s)
        if (*s == a) *s = b;
    return 0;
}

int wsstrip_string(char* s)
{
    if (!s) return 1;
    char* out = s;
    for (const char* in = s; *in; ++in)
        if (*in != '\n' && *in != '\r') *out++ = *in;
    *out = '\0';
    return 1;
}

int trim_string(char* s)
{
    if (!s) return 0;
    std::size_t n = std::strlen(s);
    while (n > 0 && s[n - 1] == ' ') --n;
    s[n] = '\0';
    return 0;
}

int wstrim_string(char* s)
{
    wsstrip_string(s);
    trim_string(s);
    return 1;
}

int low_string(char* s)
{
    if (!s || !*s) return 0;
    for (; *s; ++s)
        if (*s >= 'A' && *s <= 'Z') *s = static_cast<char>(*s - 'A' + 'a');
    return 1;
}

int clean_line(char* s)
{
    if (!s || !*s) return 0;
    auto* u = reinterpret_cast<unsigned char*>(s);
    std::size_t n = std::strlen(s);
    // Feeds end their lines with CR, LF and sometimes ETX or other control
    // bytes: those vanish; control or 8-bit bytes inside the line would split
    // or glue code groups in odd ways, so they become blanks.
    while (n > 0 && u[n - 1] < ' ') --n;
    u[n] = '\0';
    for (std::size_t i = 0; i < n; ++i)
        if (u[i] < ' ' || u[i] >= 0x80) u[i] = ' ';
    return 1;
}

int string_is_num(const char* s)
{
    if (!s || !*s) return 0;
    if (*s == '-') ++s;
    for (; *s; ++s)
        if (!std::isdigit(static_cast<unsigned char>(*s))) return 0;
    return 1;
}

int string_is_num_len(const char* s, int n)
{
    if (!s || !*s) return 0;
    for (int i = 0; i < n; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return 0;  // also stops at the end
    return 1;
}

int parse_string(const char* s, char delim, int* count, char*** array)
{
    *count = 0;
    *array = nullptr;
    if (!s || !*s) return -1;

    const std::size_t len = std::strlen(s);
    auto* copy = static_cast<char*>(std::malloc(len + 1));
    if (!copy) return -1;
    std::memcpy(copy, s, len + 1);

    // Trailing delimiters never make items; a text of delimiters only is one
    // empty item.
    std::size_t end = len;
    while (end > 0 && copy[end - 1] == delim) --end;
    copy[end] = '\0';

    int n = 1;
    for (std::size_t i = 0; i < end; ++i)
        if (copy[i] == delim) ++n;

    auto** items = static_cast<char**>(std::malloc(sizeof(char*) * static_cast<std::size_t>(n)));
    if (!items) {
        std::free(copy);
        return -1;
    }
    int k = 0;
    items[k++] = copy;
    for (std::size_t i = 0; i < end; ++i) {
        if (copy[i] == delim) {
            copy[i] = '\0';
            items[k++] = copy + i + 1;
        }
    }
    *count = n;
    *array = items;
    return 0;
}

int free_parsed_array(int count, char** array)
{
    if (count != 0 && array) {
        std::free(array[0]);
        std::free(array);
    }
    return 0;
}
