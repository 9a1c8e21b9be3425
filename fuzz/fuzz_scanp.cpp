// Drives the pattern scanner over arbitrary text the way the decoders do:
// the decoders' own patterns tried group after group with targets of exactly
// the documented size (so a write past a bound shows under the sanitizer),
// and, for inputs that ask for it, a pattern taken from the input itself.
// Such a pattern is also scanned from a second copy in a buffer that every
// input rewrites, so a kept form of an earlier text at that address would
// show as a different result.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "vok.h"

namespace {

// A target: 'i' 32-bit integer, 'f' float, 'n' int, or a text of `size` bytes.
struct arg_kind {
    char type;
    int size;
};

struct pattern_case {
    const char* pat;
    std::vector<arg_kind> args;
};

const std::vector<pattern_case>& cases()
{
    static const std::vector<pattern_case> table = {
        {"%2!//!d%3!///!d ", {{'i', 0}, {'i', 0}}},
        {"%3!///!d%2!//!d ", {{'i', 0}, {'i', 0}}},
        {"%2d%2d%1!/!d ", {{'i', 0}, {'i', 0}, {'i', 0}}},
        {"99%3!///!d %1!/!d%4!////!d ", {{'i', 0}, {'i', 0}, {'i', 0}}},
        {"%<10s ", {{'t', 11}}},
        {"4%<10s ", {{'t', 11}}},
        {"%(UUBB|UUDD|IIBB|IIDD) ", {{'t', 5}}},
        {"%(TTAA|TTBB|PPBB|IIAA|EEDD|NIL=) ", {{'t', 5}}},
        {"9%1d%1!/!d%1!/!d%1!/!d ", {{'i', 0}, {'i', 0}, {'i', 0}, {'i', 0}}},
        {"44%1d%2d ", {{'i', 0}, {'i', 0}}},
        {"55%1d%2d ", {{'i', 0}, {'i', 0}}},
        {"%5D%<6F%n", {{'i', 0}, {'f', 0}, {'n', 0}}},
        {"%f %!///!F%*d", {{'f', 0}, {'f', 0}}},
        {"%[/A/N//]%[^ =]", {{'t', 81}, {'t', 81}}},
        {"%3[^/N]%<4[//]", {{'t', 4}, {'t', 5}}},
        {"%c%3c%<2c", {{'t', 1}, {'t', 3}, {'t', 2}}},
        {"%S", {{'t', 81}}},
        {"%<12S%w%W", {{'t', 13}, {'t', 81}, {'t', 81}}},
        {"%N%A%s", {{'t', 81}, {'t', 81}, {'t', 81}}},
        {"%<3!//!(AB|ABC|)%d", {{'t', 4}, {'i', 0}}},
        {"%<(51515|21212) %n", {{'t', 6}, {'n', 0}}},
        {"%s%%%x", {{'t', 81}}},
    };
    return table;
}

// Owns one call's targets, each its own allocation of exactly its size.
struct targets {
    std::vector<std::unique_ptr<unsigned char[]>> bufs;
    std::vector<int> sizes;
    void* add(int size)
    {
        bufs.emplace_back(new unsigned char[static_cast<std::size_t>(size)]());
        sizes.push_back(size);
        return bufs.back().get();
    }
};

void check(const parse_param& p, int r)
{
    if (r == -1) {
        if (p.len || p.matched || p.assigned || p.done) __builtin_trap();
        return;
    }
    if (r != p.matched || p.assigned > p.matched || p.len < 0 || p.len > p.length - p.off)
        __builtin_trap();
}

int call(parse_param* p, const char* pat, void* const* a)
{
    return scanp(p, pat, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10],
                 a[11]);
}

constexpr int MAX_ARGS = 12;

// The same address with a new text for every input.
char reused_pattern[128];

// The pattern from the reused buffer must give what its first copy gave.
void check_same(const parse_param& p, int r, targets& t, const char* pat)
{
    targets u;
    void* a[MAX_ARGS] = {};
    for (auto& x : a) x = u.add(SCANP_FIELD_MAX + 1);
    parse_param q = p;
    const int r2 = call(&q, pat, a);
    if (r2 != r || q.len != p.len || q.matched != p.matched || q.assigned != p.assigned ||
        q.done != p.done)
        __builtin_trap();
    for (int k = 0; k < MAX_ARGS; ++k)
        if (std::memcmp(t.bufs[static_cast<std::size_t>(k)].get(), a[k], SCANP_FIELD_MAX + 1) != 0)
            __builtin_trap();
}

// The same scan through scanp_read, with targets of the same sizes, must
// give what the variadic call gave.
void check_read(const parse_param& p, int r, const targets& t, const char* pat,
                const scanp_form* form)
{
    targets u;
    void* a[MAX_ARGS + 1] = {};
    for (std::size_t k = 0; k < t.sizes.size(); ++k) a[k] = u.add(t.sizes[k]);
    parse_param q = p;
    const int r2 = scanp_read(&q, pat, form, a);
    if (r2 != r || q.len != p.len || q.matched != p.matched || q.assigned != p.assigned ||
        q.done != p.done)
        __builtin_trap();
    for (std::size_t k = 0; k < t.sizes.size(); ++k)
        if (std::memcmp(t.bufs[k].get(), u.bufs[k].get(), static_cast<std::size_t>(t.sizes[k])))
            __builtin_trap();
}

// The kept form of each table pattern, compiled once as a decoder's is.
const scanp_form* kept_form(std::size_t which)
{
    static const std::vector<const scanp_form*> forms = [] {
        std::vector<const scanp_form*> v;
        for (const pattern_case& c : cases()) v.push_back(scanp_compile(c.pat));
        return v;
    }();
    return forms[which];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;

    std::string pattern;
    if (mode & 0x80) {
        // Pattern from the input, up to the first newline; only as many
        // directives as there are targets.
        std::size_t i = 0;
        int percents = 0;
        while (i < size && data[i] != '\n' && pattern.size() < 96) {
            if (data[i] == '%' && ++percents > MAX_ARGS) break;
            pattern.push_back(static_cast<char>(data[i]));
            ++i;
        }
        data += i;
        size -= i;
        std::snprintf(reused_pattern, sizeof reused_pattern, "%s", pattern.c_str());
    }
    // The scanner works on a terminated text; a NUL in the input ends it.
    const std::string text(reinterpret_cast<const char*>(data), size);

    parse_param p{};
    scanp_set(&p, text.c_str());
    if (p.length != static_cast<std::int32_t>(std::strlen(text.c_str()))) __builtin_trap();

    const auto& table = cases();
    std::size_t which = mode % table.size();
    int steps = 0;
    while (p.off < p.length && steps++ < 4 * static_cast<int>(size) + 8) {
        targets t;
        void* a[MAX_ARGS] = {};
        const char* pat;
        if (!pattern.empty()) {
            for (auto& x : a) x = t.add(SCANP_FIELD_MAX + 1);
            pat = pattern.c_str();
        } else {
            const pattern_case& c = table[which];
            for (std::size_t k = 0; k < c.args.size(); ++k) {
                const arg_kind& kind = c.args[k];
                a[k] = t.add(kind.type == 't' ? kind.size : 4);
            }
            pat = c.pat;
        }
        const int r = call(&p, pat, a);
        check(p, r);
        if (!pattern.empty()) check_same(p, r, t, reused_pattern);
        // The decoders' road: a kept form for the table's patterns, the
        // pattern read as it runs for one from the input.
        check_read(p, r, t, pat, pattern.empty() ? kept_form(which) : nullptr);
        if (r > 0 && p.len > 0) {
            scanp_inc(&p);
        } else {
            // Try the next pattern on the same text, and skip one character
            // after a full round, as a decoder looking for its next group.
            which = (which + 1) % table.size();
            if (which == 0 || !pattern.empty()) ++p.off;
        }
        (void)scanp_str(&p);
    }
    if (p.off > p.length + 1) __builtin_trap();
    return 0;
}
