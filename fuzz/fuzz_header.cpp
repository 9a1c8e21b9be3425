// Reads arbitrary bytes back as an existing output file on the append path,
// as a run that appends to it does: the form of the file is told, the file
// is opened for appending as each form, and its header is read with the
// number of records it holds. A damaged header of any form must be refused
// or read within its fields, never crash or read outside the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "vok.h"
#include "vokupa.h"

namespace {

std::string path;

bool put(const std::uint8_t* data, std::size_t size)
{
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) return false;
    const bool ok = std::fwrite(data, 1, size, fp) == size;
    return std::fclose(fp) == 0 && ok;
}

void check_text(const char* field, std::size_t size)
{
    if (strnlen(field, size) >= size) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char dir[] = "/tmp/fuzz_header_XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    path = std::string(dir) + "/existing";
    MESS_set_str("none");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr int forms[] = {UPA_FILE_VOKUPAX, UPA_FILE_VOKUPA_PLUS, UPA_FILE_VOKUPA, UPA_FILE_XML,
                                    UPA_FILE_FIXED, UPA_FILE_CDF, UPA_FILE_CDF_STATION};
    for (const int form : forms) {
        // Appending may write (a closing tag, a record count): every form
        // gets the bytes afresh.
        if (!put(data, size)) return 0;
        const int told = UPA_chktype(path.c_str());
        if (told != -1 && told != UPA_FILE_OLD500 && told != UPA_FILE_OLD100 && told != UPA_FILE_VOKUPA &&
            told != UPA_FILE_VOKUPA_PLUS && told != UPA_FILE_VOKUPAX && told != UPA_FILE_CDF_STATION &&
            told != UPA_FILE_CDF && told != UPA_FILE_FIXED && told != UPA_FILE_XML)
            __builtin_trap();
        int type = form;
        const int handle = UPA_open(path.c_str(), 2, &type);
        if (handle == -1) continue;
        UPA_info info{};
        UPA_getinfo(handle, &info);
        check_text(info.datim, sizeof info.datim);
        check_text(info.file, sizeof info.file);
        UPA_num_records();
        UPA_close(handle);
    }
    UPA_file_reset();
    return 0;
}
