// Reads arbitrary bytes as a name convention file and looks the program's
// types up in it, then names files by what was found: every convention held
// must fit its buffers, a template found must never start a command, a type
// that finds no convention must leave none, and every name built or read
// back must stay inside its VOK_NAME_LEN buffer.
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

void check(const char* name)
{
    if (strnlen(name, VOK_NAME_LEN) >= static_cast<std::size_t>(VOK_NAME_LEN)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    memfd = memfd_create("name_conv", 0);
    path = "/proc/self/fd/" + std::to_string(memfd);
    MESS_set_str("none");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (memfd < 0 || size < 1) return 0;
    // The first byte chooses the type looked up.
    static const char* const types[] = {"upa_dat", "upa_cvt",     "upa_cvt_vok", "upa_cvt_xml",
                                        "upa_cvt_cdf", "upa_cvt_unisys", "upa_dat:a=st x:b=2", "out.vok"};
    const std::string type = types[data[0] & 7];
    ++data;
    --size;
    if (ftruncate(memfd, 0) != 0) return 0;
    if (size && pwrite(memfd, data, size, 0) != static_cast<ssize_t>(size)) return 0;

    RES_clear();
    FILE_clear_names();
    FILE_clear_time();
    RES_put("name_conv", path.c_str());
    std::string text = type;
    const int found = FILE_set_name(text.data());
    FILE_conv_info info{};
    FILE_get_conv(&info);
    for (const char* field : {info.conv, info.hconv, info.ext, info.filename}) check(field);
    if (found == 1 && std::strchr(info.conv, '|')) __builtin_trap();
    if (found == -1 && info.conv[0]) __builtin_trap();

    // Names of the decode time from what was found, and names read back.
    const Date when = {2026, 2, 6, VOK_MISSING, VOK_MISSING, 0, 0, 0};
    char name[VOK_NAME_LEN];
    FILE_set_date(&when, name);
    check(name);
    for (const char* given : {"2026020600.upa", "feed.txt", "72518", "x#2026020600"}) {
        FILE_set_file(given, name);
        check(name);
        // A date read from a name is whole and can be (a month or day
        // rounded down to 0 aside), or there is none.
        Date d;
        FILE_get_date(&d);
        if (d.month == 0) d.month = VOK_MISSING;
        if (d.day == 0) d.day = VOK_MISSING;
        if (d.year != VOK_MISSING && FILE_check_date(&d, nullptr, 0) != 1) __builtin_trap();
    }
    return 0;
}
