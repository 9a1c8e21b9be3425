// Reads arbitrary bytes as a defaults file: keyword lines, nested sections,
// tags, quoted values, binary garbage, NUL bytes and lines of any length.
// Every pair returned must fit its buffer, with a lower-case key, and the
// key checks must stay within their names.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "vok.h"

namespace {

int memfd = -1;
std::string path;
char arg0[] = "sondex";
char* argv_[] = {arg0, nullptr};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    memfd = memfd_create("defaults", 0);
    path = "/proc/self/fd/" + std::to_string(memfd);
    MESS_set_str("none");   // the reader's warnings would only slow the run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (memfd < 0 || size < 1) return 0;
    // The first byte chooses the program title that keys are matched against.
    static const char* const titles[] = {"", "+test", "other", "+"};
    const char* title = titles[data[0] & 3];
    ++data;
    --size;
    if (ftruncate(memfd, 0) != 0) return 0;
    if (size && pwrite(memfd, data, size, 0) != static_cast<ssize_t>(size)) return 0;

    DEF_reset();
    RES_setCL(1, argv_);
    DEF_prog();
    DEF_name(title);
    if (DEF_open(path.c_str()) != 0) return 0;
    char key[DEF_KEY_LEN];
    char value[DEF_VALUE_LEN];
    std::size_t pairs = 0;
    while (DEF_get(key, value) > 0) {
        const std::size_t klen = strnlen(key, DEF_KEY_LEN);
        const std::size_t vlen = strnlen(value, DEF_VALUE_LEN);
        if (klen == 0 || klen >= DEF_KEY_LEN || vlen >= DEF_VALUE_LEN) __builtin_trap();
        for (std::size_t i = 0; i < klen; ++i) {
            if (key[i] >= 'A' && key[i] <= 'Z') __builtin_trap();
        }
        // Every pair comes from a line of its own.
        if (++pairs > size) __builtin_trap();
        DEF_cmp("message", key);
        DEF_cmp("file_path", key);
        DEF_valid(key);
        const char* name = DEF_parse_name(key);
        if (name < key || name > key + klen) __builtin_trap();
    }
    DEF_close();
    return 0;
}
