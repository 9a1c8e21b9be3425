// Arbitrary bytes as a raw bulletin file, through both roads: the suite's
// reader cuts them into reports and every report goes to the decoder of its
// kind, all into one record; the core's reader gathers them into soundings,
// which fill the suite's record and are written as CSV. Whatever the bytes,
// no report may exceed its buffers, no kind may fall outside the part
// kinds, the records' level counts stay within bounds, and every level of a
// sounding has a type and, when it has a pressure, one of zero or more.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "../tests/test_util.h"
#include "ua_sounding.h"
#include "ua_write.h"
#include "vok.h"
#include "vokupa.h"

namespace {

// Traps when a part leaves its buffers, has no part kind or holds a byte the
// reader should have turned into a blank, or when decoding it takes a level
// count out of bounds.
void check_and_decode(const char* data, const char* id, int kind, UPA_report* rep)
{
    const std::size_t len = strnlen(data, UPA_RAW_DATA_LEN);
    if (len == 0 || len > static_cast<std::size_t>(UPA_RAW_MAX) || data[len - 1] != ' ') __builtin_trap();
    if (strnlen(id, UPA_RAW_ID_LEN) >= static_cast<std::size_t>(UPA_RAW_ID_LEN)) __builtin_trap();
    if (kind < UPA_TTAA || kind > UPA_EEDD) __builtin_trap();
    for (std::size_t i = 0; i < len; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c < 0x20 || c >= 0x80) __builtin_trap();
    }
    UPA_decode_part(data, kind, rep);
    if (rep->numsig < 0 || rep->numsig > UPA_MAX_SIG || rep->numwnd < 0 || rep->numwnd > UPA_MAX_WND)
        __builtin_trap();
}

// The bytes through the core: soundings of a window of a day either side,
// their records and their CSV.
void through_soundings(const std::uint8_t* bytes, std::size_t size)
{
    FILE* fp = fmemopen(const_cast<std::uint8_t*>(bytes), size ? size : 1, "r");
    if (!fp) return;
    if (size == 0) std::fseek(fp, 0, SEEK_END);
    ua::DecodeWindow w;
    w.base = ua::utc_seconds(2026, 2, 6, 0);
    w.begin = w.base - 86400;
    w.end = w.base + 86400;
    ua::SoundingSet set(w);
    ua::BulletinReader reader(fp);
    ua::PartView part;
    while (reader.next(part)) set.add(part);
    std::fclose(fp);
    const std::vector<ua::Sounding> soundings = set.build();
    static UPA_report rep;
    for (const ua::Sounding& s : soundings) {
        for (const ua::SoundingLevel& l : s.levels) {
            if (static_cast<int>(l.type) >= ua::NUM_LEVEL_TYPES) __builtin_trap();
            if (l.p10 != VOK_MISSING && l.p10 < 0) __builtin_trap();
        }
        const ua::Sounding* one[] = {&s};
        for (const bool metres : {false, true}) {
            UPA_initialize(&rep);
            ua::RecordOptions o;
            o.overflow_row = false;
            o.wind_heights_in_metres = metres;
            ua::fill_record(one, &rep, o);
            if (rep.numsig < 0 || rep.numsig > UPA_MAX_SIG || rep.numwnd < 0 || rep.numwnd > UPA_MAX_WND)
                __builtin_trap();
        }
    }
    FILE* out = std::fopen("/dev/null", "w");
    if (out) {
        ua::write_csv(out, soundings);
        std::fclose(out);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    // The reader keeps its line and pending part word between calls; each
    // input starts afresh so that a crash replays from its file alone.
    UPA_read_raw_reset();
    // A window of twelve hours either side: every report hour passes the
    // time check, so the groups behind it are always decoded.
    static const bool window = (testutil::set_feed_window(), true);
    (void)window;

    std::unique_ptr<char[]> copy(new char[size + 1]);
    if (size) std::memcpy(copy.get(), bytes, size);
    FILE* fp = fmemopen(copy.get(), size ? size : 1, "r");
    if (!fp) return 0;
    if (size == 0) std::fseek(fp, 0, SEEK_END);

    static UPA_report rep;
    UPA_initialize(&rep);

    // Each call that does not end the file takes at least one line.
    const long calls = testutil::for_each_raw_part(
        fp, [](const char* data, const char* id, int kind) { check_and_decode(data, id, kind, &rep); },
        static_cast<long>(size) + 2);
    std::fclose(fp);
    if (calls < 0) __builtin_trap();
    through_soundings(bytes, size);
    return 0;
}
