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

// The netCDF library reserves the length a header declares for a name or a
// list before it reads it. A real run only reserves that address space and
// then refuses the damaged file (status 3, tested end to end); under the
// fuzzer's allocation limit the reservation alone would count as a failure.
// So netCDF headers reach the library only when every count and length they
// declare fits in the bytes that follow; HDF5 files, which the netCDF
// library hands to the HDF5 library, are left to that library's tests.
class ClassicHeader {
public:
    ClassicHeader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

    bool fits()
    {
        if (left() < 4 || std::memcmp(p_, "CDF", 3) != 0) return true;   // no netCDF header
        const int version = p_[3];
        if (version != 1 && version != 2 && version != 5) return true;
        wide_ = version == 5;
        p_ += 4;
        std::uint64_t n = 0;
        if (!count(n)) return false;   // number of records
        return list(0x0A, [this] { return name() && skip_count(); }) && list(0x0C, [this] { return attr(); }) &&
               list(0x0B, [this, version] { return var(version); });
    }

private:
    std::size_t left() const { return static_cast<std::size_t>(end_ - p_); }
    bool word(std::uint64_t& v, int bytes)
    {
        if (left() < static_cast<std::size_t>(bytes)) return false;
        v = 0;
        for (int i = 0; i < bytes; ++i) v = (v << 8) | *p_++;
        return true;
    }
    bool count(std::uint64_t& v) { return word(v, wide_ ? 8 : 4); }
    bool skip_count()
    {
        std::uint64_t v = 0;
        return count(v);
    }
    bool skip(std::uint64_t bytes)
    {
        const std::uint64_t padded = (bytes + 3) / 4 * 4;
        if (bytes > left() || padded > left()) return false;
        p_ += padded;
        return true;
    }
    bool name()
    {
        std::uint64_t len = 0;
        return count(len) && skip(len);
    }
    static int type_size(std::uint64_t type)
    {
        static constexpr int sizes[] = {0, 1, 1, 2, 4, 4, 8, 1, 2, 4, 8, 8};
        return type < 12 ? sizes[type] : 0;
    }
    bool attr()
    {
        std::uint64_t type = 0, n = 0;
        if (!name() || !word(type, 4) || !count(n) || type_size(type) == 0) return false;
        return n <= left() && skip(n * static_cast<std::uint64_t>(type_size(type)));
    }
    bool var(int version)
    {
        std::uint64_t ndims = 0, type = 0, vsize = 0, begin = 0;
        if (!name() || !count(ndims) || ndims > left() / 4) return false;
        for (std::uint64_t i = 0; i < ndims; ++i)
            if (!skip_count()) return false;
        return list(0x0C, [this] { return attr(); }) && word(type, 4) && count(vsize) &&
               word(begin, version == 1 ? 4 : 8);
    }
    template <class Item>
    bool list(std::uint64_t tag, Item item)
    {
        std::uint64_t t = 0, n = 0;
        if (!word(t, 4) || !count(n)) return false;
        if (t == 0 && n == 0) return true;   // absent
        if (t != tag || n > left()) return false;
        for (std::uint64_t i = 0; i < n; ++i)
            if (!item()) return false;
        return true;
    }

    const std::uint8_t* p_;
    const std::uint8_t* end_;
    bool wide_ = false;
};

bool netcdf_reachable(const std::uint8_t* data, std::size_t size)
{
    if (size >= 4 && data[0] == 0x89 && data[1] == 'H' && data[2] == 'D' && data[3] == 'F') return false;
    return ClassicHeader(data, size).fits();
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
    if (!netcdf_reachable(data, size)) return 0;
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
