// The suite's bulletin reader calls: a thin layer over ua::BulletinReader,
// one reader for the file being read.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "ua_dec_reader.h"
#include "vok.h"
#include "vokupa.h"

const char* const type_str[UPA_NUM_KINDS] = {
    "TTAA", "TTBB", "TTCC", "TTDD", "PPAA", "PPBB", "PPDD", "UUAA", "UUBB",
    "UUCC", "UUDD", "IIAA", "IIBB", "IICC", "IIDD", "EEBB", "EEDD", "UNK",
};

namespace {

constexpr M_type RAW_DATA = M_OUT4 & M_SUB_C;

// The file being read and its reader. Another file, or the end of this one,
// starts afresh: nothing of one file reaches the next.
struct RawStream {
    FILE* file = nullptr;
    std::unique_ptr<ua::BulletinReader> reader;
};
RawStream raw_stream;

// The suite's kinds have no PILOT part C, and its callers' buffers hold
// UPA_RAW_MAX characters of text.
ua::ReaderOptions raw_options()
{
    ua::ReaderOptions options;
    options.pilot_c = false;
    options.max_text = UPA_RAW_MAX;
    return options;
}

}  // namespace

void UPA_read_raw_reset()
{
    raw_stream = RawStream{};
}

int UPA_read_raw(FILE* ifile, char* data, char* id, int* type)
{
    if (!ifile || !data || !id || !type) return -1;
    if (raw_stream.file != ifile || !raw_stream.reader) {
        UPA_read_raw_reset();
        if (std::feof(ifile) || std::ferror(ifile)) return -1;
        raw_stream.file = ifile;
        raw_stream.reader = std::make_unique<ua::BulletinReader>(ifile, raw_options());
    }
    if (raw_stream.reader->at_end()) {
        UPA_read_raw_reset();
        return -1;
    }
    ua::PartView part;
    int found = 0;
    if (raw_stream.reader->next(part)) {
        const std::size_t len = std::min(part.text.size(), static_cast<std::size_t>(UPA_RAW_MAX));
        std::memcpy(data, part.text.data(), len);
        data[len] = '\0';
        const std::size_t id_len =
            std::min(part.id.size(), static_cast<std::size_t>(UPA_RAW_ID_LEN - 1));
        std::memcpy(id, part.id.data(), id_len);
        id[id_len] = '\0';
        *type = ua::legacy_kind(part.kind);
        if (MESS_enabled(RAW_DATA) && *type < UPA_NUM_KINDS)
            MESS_print(RAW_DATA, "DATA: %s %s\n\n", type_str[*type], data);
        found = 1;
    }
    // After a read error the reader goes at once: its caller may stop here
    // and close the file, and the file opened next may come at the same
    // address.
    if (raw_stream.reader->failed()) UPA_read_raw_reset();
    // 0: the end of the file came before a part started; the next call says
    // the file is done.
    return found;
}
