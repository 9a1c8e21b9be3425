// Decodes arbitrary command lines of this program: the input is split into
// arguments at NUL and newline bytes and handed to RES_init with the
// program's resource lists. Options of any length and number, values that
// look like options, "=" forms and positional lists must never crash or
// overflow. Bytes that would reach outside the run (a loop window, a pipe
// to a command, a home or absolute directory) are replaced, and the run
// happens in a directory of its own, where log files of "-me fi=..." land
// (the fuzzer's own directory is back in place between runs).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "vok.h"
#include "vokresrc.h"

namespace {

const int keys[] = {
    RES_help,       RES_batch,      RES_message,    RES_file_path,   RES_data_path,  RES_con_path,
    RES_grid_path,  RES_raw_path,   RES_image_path, RES_watch_path,  RES_text_path,  RES_model_path,
    RES_sat_path,   RES_city_file,  RES_stat_prior, RES_input,       RES_output,     RES_name_conv,
    RES_in_file,    RES_out_file,   RES_file_param, RES_current,     RES_hour,       RES_num_hour,
    RES_decode_hour, RES_identifier, RES_parameter, RES_null};
const int positional[] = {RES_filenames, RES_null};

std::string run_dir;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char tmpl[] = "/tmp/fuzz_res_decode_XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    run_dir = tmpl;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(run_dir, ec);
    });
    // A paging prompt reads standard input: give it an end.
    if (!std::freopen("/dev/null", "r", stdin)) std::abort();
    for (const char* name : {"vokdefault", "vokmess", "vokmessage", "voksondex.message", "voktz"})
        unsetenv(name);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> args{"sondex"};
    std::string cur;
    for (std::size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == '\0' || c == '\n') {
            args.push_back(cur);
            cur.clear();
            continue;
        }
        if (c == '#' || c == '|' || c == '~' || c == '/') c = '_';
        cur += c;
    }
    args.push_back(cur);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    const int home = open(".", O_RDONLY | O_DIRECTORY);
    if (home < 0 || chdir(run_dir.c_str()) != 0) std::abort();
    RES_init(static_cast<int>(args.size()), argv.data(), keys, positional);
    for (const resource* r = RES_first(); r; r = r->next) {
        if (!r->name) __builtin_trap();
    }
    char** items = nullptr;
    const int n = RES_getvals("filename", &items);
    free_parsed_array(n, items);

    RES_clear();
    DEF_reset();
    MESS_reset();
    FLAG_clear();
    FILE_clear_time();
    if (fchdir(home) != 0) std::abort();
    close(home);
    return 0;
}
