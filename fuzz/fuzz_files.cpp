// Expands arbitrary file name templates for arbitrary dates and set times,
// reads arbitrary names back against them, and walks runs over arbitrary
// spans: every name must stay inside its VOK_NAME_LEN buffer, and nothing
// may crash, hang or read outside a text.
//
// Input: a mode byte, six date bytes, then template, given name, key text,
// current-time text and span text separated by newlines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "vok.h"

namespace {

std::vector<std::string> split_lines(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> parts(5);
    std::size_t k = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n' && k + 1 < parts.size()) {
            ++k;
        } else if (data[i] != '\0') {
            parts[k].push_back(static_cast<char>(data[i]));
        }
    }
    return parts;
}

// A field value from one byte: mostly in range, sometimes unset, negative
// (a step) or beyond the range.
int field(std::uint8_t b, int range)
{
    if (b == 0xFF) return VOK_MISSING;
    if (b >= 0xF0) return -static_cast<int>(b & 0x0F) * 100 - 6;
    if (b >= 0xE0) return 1000000 * (b & 0x0F);
    return b % range;
}

void check(const char* name)
{
    if (strnlen(name, VOK_NAME_LEN) >= static_cast<std::size_t>(VOK_NAME_LEN)) __builtin_trap();
}

// "exit" given as a name ends the program, also before a "#" date.
bool ends_program(std::string given)
{
    low_string(given.data());
    return given.find("exit") != std::string::npos;
}

// A current-time text without a latest-file search: no file system walk.
std::string no_search(std::string text)
{
    for (char& c : text) {
        if (c == 'l' || c == 'L') c = '+';
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("vokcurtime", "#202401151130", 1);
    const int fd = open("/dev/null", O_WRONLY);
    if (fd >= 0) dup2(fd, 1);   // traces, when asked for, go nowhere
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 7) return 0;
    const std::uint8_t mode = data[0];
    const Date date = {1900 + data[1], field(data[2], 14), field(data[3], 33), VOK_MISSING,
                       VOK_MISSING, field(data[4], 25), field(data[5], 61), 0};
    const Date set_time = {mode & 1 ? 2000 + (data[6] & 0x3F) : VOK_MISSING, VOK_MISSING,
                           mode & 2 ? field(data[6], 29) : VOK_MISSING, VOK_MISSING, VOK_MISSING,
                           mode & 4 ? field(data[4] ^ data[6], 24) : VOK_MISSING,
                           mode & 8 ? field(data[5] ^ data[6], 60) : VOK_MISSING, 0};
    std::vector<std::string> part = split_lines(data + 7, size - 7);
    const std::string& tmpl = part[0];
    const std::string& given = part[1];

    MESS_set(0, mode & 0x80 ? M_OUT3 | M_WARN : 0u);
    RES_clear();
    FILE_clear_names();
    FILE_set_time(&set_time);
    RES_put("name_conv", "/nonexistent/name_conv");
    if (mode & 0x10) RES_put("data_path", part[2].c_str());
    RES_put("station", part[2].c_str());
    FILE_set_key('k', part[2].c_str());
    FILE_set_name(mode & 0x20 ? tmpl.c_str() : ("@" + tmpl).c_str());
    if (mode & 0x40) FILE_set_filename(given.c_str());

    char name[VOK_NAME_LEN];
    char back[VOK_NAME_LEN];
    if (FILE_set_date(&date, name) == 0) {
        check(name);
        const std::string built = no_search(name);
        if (!ends_program(built) && FILE_set_file(built.c_str(), back) == 0) check(back);
    }
    const std::string typed = no_search(given);
    if (!ends_program(typed) && FILE_set_file(typed.c_str(), back) == 0) check(back);
    FILE_set_current(no_search(part[3]).c_str(), name);
    check(name);

    RES_put("num_hour", part[4].c_str());
    FILE_first(&date);
    for (int i = 0; i < 40 && FILE_get_next(name); ++i) check(name);
    (void)FILE_get_offset();
    return 0;
}
