// Reads arbitrary bytes as a raw bulletin file is read: line pieces of a
// bounded length, cleaned of control and 8-bit characters, trailing blanks
// removed. NUL bytes, CR-LF ends and lines without a newline must never
// crash, hang or touch memory outside the line buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "vok.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    // The first byte chooses the line length, from 1 up to 256; the second
    // chooses between the two readers.
    const int n = 1 + data[0];
    const bool as_string = data[1] & 1;
    data += 2;
    size -= 2;

    std::unique_ptr<char[]> copy(new char[size + 1]);
    if (size) std::memcpy(copy.get(), data, size);
    FILE* fp = fmemopen(copy.get(), size ? size : 1, "r");
    if (!fp) return 0;
    if (size == 0) {
        // An empty stream: fmemopen needs a non-empty buffer.
        std::fseek(fp, 0, SEEK_END);
    }

    std::unique_ptr<char[]> line(new char[static_cast<std::size_t>(n) + 1]);
    std::size_t calls = 0;
    while (true) {
        const int r = as_string ? fgetstring(fp, line.get(), n) : fgetnline(fp, line.get(), n);
        if (r < 0) break;
        // Every call but the last takes at least one byte of the stream.
        if (++calls > size + 1) __builtin_trap();
        const std::size_t len = std::strlen(line.get());
        if (r > n || len > static_cast<std::size_t>(n)) __builtin_trap();
        if (!as_string && len > static_cast<std::size_t>(r)) __builtin_trap();
        clean_line(line.get());
        trim_string(line.get());
        const std::size_t after = std::strlen(line.get());
        if (after > len) __builtin_trap();
        for (std::size_t i = 0; i < after; ++i) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            if (c < 0x20 || c >= 0x80) __builtin_trap();
        }
        if (after && line[after - 1] == ' ') __builtin_trap();
    }
    std::fclose(fp);
    return 0;
}
