// Drives the pattern scanner with a pattern and a text both taken from the
// input, the way a decoder walks a report: the pattern is tried at the
// cursor, accepted when it matched something, and the cursor otherwise moves
// on by one character. Input: one byte of flags (bit 0: debug traces on),
// the pattern up to the first new line, the text after it. Pattern and text
// live in buffers of exactly their size and every target holds exactly the
// documented bound of a field, so a read past the text or the pattern, or a
// write past a target, shows under the sanitizer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "vok.h"

namespace {

constexpr int MAX_TARGETS = 12;
constexpr std::size_t TARGET_SIZE = SCANP_FIELD_MAX + 1;

// A terminated copy of [b, b + n), up to a NUL in it, in an allocation of
// exactly its length and the terminator.
std::unique_ptr<char[]> copy_of(const std::uint8_t* b, std::size_t n)
{
    if (const void* nul = std::memchr(b, '\0', n))
        n = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - b);
    std::unique_ptr<char[]> s(new char[n + 1]);
    std::memcpy(s.get(), b, n);
    s[n] = '\0';
    return s;
}

// The pattern's length, cut before the directive that would need a target
// beyond the ones every call passes ("%%" counts too, which is safe).
std::size_t pattern_length(const std::uint8_t* b, std::size_t n)
{
    int percents = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (b[i] == '%' && ++percents > MAX_TARGETS) return i;
    return n;
}

void trace(bool on)
{
    static bool opened = false;
    if (on && !opened) {
        MESS_set_str("fi=/dev/null");
        opened = true;
    }
    MESS_set(on ? 1 : -1, M_DEBUG & M_SUB_D);
}

// The cursor's record after a call that returned r.
void check(const parse_param& p, int r, int off)
{
    if (p.off != off) __builtin_trap();  // scanp never moves the cursor
    if (r == -1) {
        if (p.len || p.matched || p.assigned || p.done) __builtin_trap();
        return;
    }
    if (r != p.matched || p.assigned < 0 || p.assigned > p.matched || p.len < 0 ||
        p.len > p.length - p.off || (p.done != 0 && p.done != 1))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    trace((data[0] & 1) != 0);
    ++data;
    --size;
    const auto* nl = static_cast<const std::uint8_t*>(std::memchr(data, '\n', size));
    const std::size_t line = nl ? static_cast<std::size_t>(nl - data) : size;
    const auto pat = copy_of(data, pattern_length(data, line));
    const std::size_t rest = nl ? size - line - 1 : 0;
    const auto text = copy_of(nl ? nl + 1 : data + size, rest);

    std::unique_ptr<char[]> buf[MAX_TARGETS];
    void* t[MAX_TARGETS];
    for (int k = 0; k < MAX_TARGETS; ++k) {
        buf[k].reset(new char[TARGET_SIZE]());
        t[k] = buf[k].get();
    }

    parse_param p{};
    scanp_set(&p, text.get());
    if (p.length != static_cast<std::int32_t>(std::strlen(text.get()))) __builtin_trap();
    for (int steps = 0; steps <= p.length; ++steps) {
        const int off = p.off;
        const int r = scanp(&p, pat.get(), t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8],
                            t[9], t[10], t[11]);
        check(p, r, off);
        const char* at = scanp_str(&p);
        if (at < p.ptr || at > p.ptr + p.length) __builtin_trap();
        if (r == -1) break;
        if (r > 0 && p.len > 0) scanp_inc(&p);
        else ++p.off;
    }
    if (p.off > p.length) __builtin_trap();
    trace(false);
    return 0;
}
