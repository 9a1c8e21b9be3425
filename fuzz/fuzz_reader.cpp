// Arbitrary bytes as a raw bulletin file, cut into parts by the core reader
// with options taken from the first byte (PILOT part C on or off, a text
// limit from 8 characters to 32 KB). Whatever the bytes, every part's text
// ends with a blank, holds no control or 8-bit byte and fits the limit; its
// identifier has 1 to 10 characters; its offset points at its part word in
// the input; and the reader ends, at the end of the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "ua_dec_reader.h"

namespace {

void check_part(const ua::PartView& part, const char* input, std::size_t size, std::size_t max_text)
{
    const std::string_view text = part.text;
    if (text.empty() || text.back() != ' ' || text.size() > max_text) __builtin_trap();
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x80) __builtin_trap();
    }
    if (part.id.empty() || part.id.size() > 10) __builtin_trap();
    const std::string_view word = ua::kind_name(part.kind);
    if (word.size() != 4 || size < 4 || part.offset > size - 4) __builtin_trap();
    if (std::memcmp(input + part.offset, word.data(), 4) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    ua::ReaderOptions options;
    if (size > 0) {
        options.pilot_c = (bytes[0] & 1) != 0;
        options.max_text = (bytes[0] & 2) ? 32768 : 8 + static_cast<std::size_t>(bytes[0] >> 2) * 64;
        ++bytes;
        --size;
    }
    std::unique_ptr<char[]> copy(new char[size + 1]);
    if (size) std::memcpy(copy.get(), bytes, size);
    FILE* fp = fmemopen(copy.get(), size ? size : 1, "r");
    if (!fp) return 0;
    if (size == 0) std::fseek(fp, 0, SEEK_END);

    ua::BulletinReader reader(fp, options);
    ua::PartView part;
    std::size_t parts = 0;
    while (reader.next(part)) {
        check_part(part, copy.get(), size, options.max_text);
        // Every part takes a part word of four bytes and a line of its own.
        if (++parts > size / 4 + 1) __builtin_trap();
    }
    if (!reader.at_end() && !reader.failed()) __builtin_trap();
    std::fclose(fp);
    return 0;
}
