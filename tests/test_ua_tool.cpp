#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "vokupa.h"

namespace {

std::uint32_t bits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

}  // namespace

// ---------------------------------------------------------------- record

TEST(UaToolRecord, LayoutInDeclarationOrder)
{
    EXPECT_EQ(sizeof(UPA_report), 4260u);
    EXPECT_EQ(offsetof(UPA_report, id), 0u);
    EXPECT_EQ(offsetof(UPA_report, area), 11u);
    EXPECT_EQ(offsetof(UPA_report, wmo), 24u);
    EXPECT_EQ(offsetof(UPA_report, lat), 28u);
    EXPECT_EQ(offsetof(UPA_report, lon), 32u);
    EXPECT_EQ(offsetof(UPA_report, elev), 36u);
    EXPECT_EQ(offsetof(UPA_report, time), 40u);
    EXPECT_EQ(offsetof(UPA_report, type), 44u);
    EXPECT_EQ(offsetof(UPA_report, man), 48u);
    EXPECT_EQ(offsetof(UPA_report, numman), 648u);
    EXPECT_EQ(offsetof(UPA_report, sig), 652u);
    EXPECT_EQ(offsetof(UPA_report, numsig), 3052u);
    EXPECT_EQ(offsetof(UPA_report, wnd), 3056u);
    EXPECT_EQ(offsetof(UPA_report, numwnd), 4256u);
}

TEST(UaToolRecord, InitializeSetsEverythingMissingButType)
{
    static UPA_report rep;
    std::memset(&rep, 0x55, sizeof rep);
    rep.type = 7;
    EXPECT_EQ(UPA_initialize(&rep), 0);
    EXPECT_STREQ(rep.id, "");
    EXPECT_STREQ(rep.area, "");
    EXPECT_EQ(rep.wmo, -9999);
    EXPECT_EQ(rep.time, -9999);
    EXPECT_EQ(rep.type, 7);
    EXPECT_EQ(rep.numman, 0);
    EXPECT_EQ(rep.numsig, 0);
    EXPECT_EQ(rep.numwnd, 0);
    // The missing value is exactly -9999.0, bit pattern 0xC61C3C00.
    constexpr std::uint32_t missing = 0xC61C3C00u;
    EXPECT_EQ(bits(rep.lat), missing);
    EXPECT_EQ(bits(rep.lon), missing);
    EXPECT_EQ(bits(rep.elev), missing);
    int bad = 0;
    for (const auto& r : rep.man) {
        for (float v : {r.p, r.h, r.t, r.td, r.dir, r.spd}) bad += bits(v) != missing;
    }
    for (const auto& r : rep.sig) {
        for (float v : {r.p, r.t, r.td}) bad += bits(v) != missing;
    }
    for (const auto& r : rep.wnd) {
        for (float v : {r.h, r.dir, r.spd}) bad += bits(v) != missing;
    }
    EXPECT_EQ(bad, 0);
}

TEST(UaToolRecord, MandatoryLevels)
{
    // Slots 1..16 of the table are the writer's sixteen standard levels.
    for (int slot = 1; slot <= 16; ++slot) {
        EXPECT_EQ(UPA_mandatory(static_cast<float>(man_pres[slot])), slot) << man_pres[slot];
    }
    // 7 to 1 hPa have slots but are no standard levels of the writer.
    for (int slot = 17; slot <= 21; ++slot) {
        EXPECT_EQ(UPA_mandatory(static_cast<float>(man_pres[slot])), 0) << man_pres[slot];
    }
    EXPECT_EQ(man_pres[17], 7);
    EXPECT_EQ(man_pres[21], 1);
    EXPECT_EQ(man_pres[UPA_SLOT_SURFACE], 990);
    EXPECT_EQ(man_pres[UPA_SLOT_TROPO], 880);
    EXPECT_EQ(man_pres[UPA_SLOT_MAXWIND], 770);
    EXPECT_EQ(UPA_mandatory(925.0f), 2);
    EXPECT_EQ(UPA_mandatory(7.0f), 0);
    EXPECT_EQ(UPA_mandatory(1000.5f), 0);
    EXPECT_EQ(UPA_mandatory(990.0f), 0);
    EXPECT_EQ(UPA_mandatory(VOK_MISSING_F), 0);
}

// ---------------------------------------------------------------- merging

TEST(UaToolMerge, EqualPressureOrHeightOverwrites)
{
    static UPA_report rep;
    UPA_initialize(&rep);
    // A TTBB level and a TTDD level at the same pressure: one row, later values.
    EXPECT_EQ(UPA_add_sig(&rep, 850.0f, 10.2f, 5.0f), 1);
    EXPECT_EQ(UPA_add_sig(&rep, 700.0f, 1.0f, -3.0f), 1);
    EXPECT_EQ(UPA_add_sig(&rep, 850.0f, 9.8f, VOK_MISSING_F), 1);
    EXPECT_EQ(rep.numsig, 2);
    EXPECT_EQ(rep.sig[0].p, 850.0f);
    EXPECT_EQ(rep.sig[0].t, 9.8f);
    EXPECT_EQ(rep.sig[0].td, VOK_MISSING_F);
    EXPECT_EQ(rep.sig[1].p, 700.0f);

    // A TTAA surface wind and a PPBB surface wind share the height-0 row.
    EXPECT_EQ(UPA_add_wnd(&rep, 0.0f, 270.0f, 15.0f), 1);
    EXPECT_EQ(UPA_add_wnd(&rep, 1000.0f, 280.0f, 20.0f), 1);
    EXPECT_EQ(UPA_add_wnd(&rep, 0.0f, 275.0f, 12.0f), 1);
    EXPECT_EQ(rep.numwnd, 2);
    EXPECT_EQ(rep.wnd[0].dir, 275.0f);
    EXPECT_EQ(rep.wnd[0].spd, 12.0f);

    // A row found by pressure keeps its values; a new one starts missing.
    EXPECT_EQ(UPA_find_sig(&rep, 700.0f), 1);
    EXPECT_EQ(rep.sig[1].t, 1.0f);
    rep.sig[2] = {1.0f, 2.0f, 3.0f};  // leftovers beyond numsig do not leak in
    EXPECT_EQ(UPA_find_sig(&rep, 500.0f), 2);
    EXPECT_EQ(rep.numsig, 3);
    EXPECT_EQ(rep.sig[2].p, 500.0f);
    EXPECT_EQ(rep.sig[2].t, VOK_MISSING_F);
    EXPECT_EQ(rep.sig[2].td, VOK_MISSING_F);
    EXPECT_EQ(UPA_find_wnd(&rep, 3000.0f), 2);
    EXPECT_EQ(rep.wnd[2].dir, VOK_MISSING_F);
}

TEST(UaToolMerge, FullListsDropNewLevelsOnly)
{
    static UPA_report rep;
    UPA_initialize(&rep);
    for (int i = 0; i < UPA_MAX_SIG; ++i) {
        ASSERT_EQ(UPA_add_sig(&rep, 1000.0f - static_cast<float>(i), 1.0f, 0.0f), 1);
    }
    EXPECT_EQ(rep.numsig, 200);
    EXPECT_EQ(UPA_add_sig(&rep, 5.0f, 1.0f, 0.0f), 0);  // the 201st distinct pressure
    EXPECT_EQ(UPA_find_sig(&rep, 5.0f), -1);
    EXPECT_EQ(rep.numsig, 200);
    EXPECT_EQ(UPA_add_sig(&rep, 900.0f, -5.0f, -6.0f), 1);  // an existing one still merges
    EXPECT_EQ(rep.sig[100].t, -5.0f);

    for (int i = 0; i < UPA_MAX_WND; ++i) {
        ASSERT_EQ(UPA_add_wnd(&rep, static_cast<float>(i * 1000), 10.0f, 5.0f), 1);
    }
    EXPECT_EQ(UPA_add_wnd(&rep, 100000.0f, 10.0f, 5.0f), 0);  // the 101st distinct height
    EXPECT_EQ(rep.numwnd, 100);
    EXPECT_EQ(UPA_add_wnd(&rep, 0.0f, 90.0f, 3.0f), 1);
    EXPECT_EQ(rep.wnd[0].dir, 90.0f);

    // A count beyond the list (a corrupt record) is never followed past it.
    rep.numsig = 5000;
    EXPECT_EQ(UPA_add_sig(&rep, 1.5f, 0.0f, 0.0f), 0);
    rep.numwnd = -3;
    EXPECT_EQ(UPA_add_wnd(&rep, 7.0f, 0.0f, 0.0f), 1);
    EXPECT_EQ(rep.numwnd, 1);
}

TEST(UaToolMerge, SortOrdersLevelsWithTheirValues)
{
    static UPA_report rep;
    UPA_initialize(&rep);
    const float ps[] = {700, 925, 300, 1012, 850};
    for (float p : ps) UPA_add_sig(&rep, p, p / 100.0f, -p / 100.0f);
    const float hs[] = {6000, 0, 2000, 12000, 1000};
    for (float h : hs) UPA_add_wnd(&rep, h, h / 100.0f, h / 1000.0f);
    EXPECT_EQ(UPA_sort_report(&rep), 0);
    const float sorted_p[] = {1012, 925, 850, 700, 300};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rep.sig[i].p, sorted_p[i]);
        EXPECT_EQ(rep.sig[i].t, sorted_p[i] / 100.0f);
        EXPECT_EQ(rep.sig[i].td, -sorted_p[i] / 100.0f);
    }
    const float sorted_h[] = {0, 1000, 2000, 6000, 12000};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rep.wnd[i].h, sorted_h[i]);
        EXPECT_EQ(rep.wnd[i].dir, sorted_h[i] / 100.0f);
    }
    // Rows beyond the counts are left where they are.
    EXPECT_EQ(rep.sig[5].p, VOK_MISSING_F);
    EXPECT_EQ(rep.wnd[5].h, VOK_MISSING_F);
}

// ---------------------------------------------------------------- listing

namespace {

// Sends the messages to a log file only and gives back what was written.
class Listing {
public:
    Listing()
    {
        const int fd = mkstemp(name_);
        if (fd >= 0) close(fd);
        MESS_reset();
        const std::string setting = std::string("fi=") + name_;
        MESS_set_str(setting.c_str());
    }
    ~Listing()
    {
        MESS_reset();
        std::remove(name_);
    }
    std::string text()
    {
        MESS_reset();  // closes the log
        std::string out;
        if (std::FILE* fp = std::fopen(name_, "r")) {
            char buf[256];
            while (std::fgets(buf, sizeof buf, fp)) out += buf;
            std::fclose(fp);
        }
        return out;
    }

private:
    char name_[32] = "/tmp/ua_listing_XXXXXX";
};

constexpr M_type DEC_MASK = M_DEBUG & M_SUB_A;

const char* const MAN_HEAD = "     Press    Height   Temp    Dewpt     Dir    Spd\n";
const char* const SIG_HEAD = "Press    Temp    Dewpt     Press    Temp    Dewpt\n";
const char* const WND_HEAD = "Height    Dir    Spd     Height    Dir    Spd\n";

void fill(UPA_report& rep)
{
    UPA_initialize(&rep);
    std::snprintf(rep.id, sizeof rep.id, "%s", "72469");
    rep.wmo = 72469;
    rep.lat = 39.77f;
    rep.lon = -104.87f;
    rep.man[0] = {835, 1611, 20.4f, 13.4f, 330, 4};
    rep.man[5] = {500, 5790, -12.3f, -20.1f, 275, 35};
    rep.man[17].p = 7;
    rep.man[22] = {212, VOK_MISSING_F, -56.5f, -60.0f, VOK_MISSING_F, VOK_MISSING_F};
    rep.man[23] = {250, VOK_MISSING_F, VOK_MISSING_F, VOK_MISSING_F, 280, 95};
    rep.man[24] = {VOK_MISSING_F, 1, 2, 3, 4, 5};  // overflow row: never listed
    rep.numman = 20;
    UPA_add_sig(&rep, 835, 20.4f, 13.4f);
    UPA_add_sig(&rep, 800, 17.0f, 10.0f);
    UPA_add_sig(&rep, 700, 8.2f, -1.8f);
    UPA_add_sig(&rep, 500, -12.3f, -20.1f);
    UPA_add_sig(&rep, 212, -56.5f, -60.0f);
    UPA_add_wnd(&rep, 0, 330, 4);
    UPA_add_wnd(&rep, 1000, 300, 10);
    UPA_add_wnd(&rep, 2000, 280, 15);
    UPA_add_wnd(&rep, 3000, 270, VOK_MISSING_F);
}

const char* const STATION = "STA: 72469 WMO: 72469 LAT:   39.77 LON: -104.87\n";
const std::string MAN_ROWS = std::string(MAN_HEAD) +
                             "SFC   835.0     1611     20.4    13.4     330      4\n"
                             "      500.0     5790    -12.3   -20.1     275     35\n"
                             "        7.0    -9999  -9999.0 -9999.0   -9999  -9999\n"
                             "TROP  212.0    -9999    -56.5   -60.0   -9999  -9999\n"
                             "MWND  250.0    -9999  -9999.0 -9999.0     280     95\n";
// Five rows: 0|3, 1|4, 2.
const std::string SIG_ROWS = std::string(SIG_HEAD) +
                             " 835.0     20.4    13.4     500.0    -12.3   -20.1\n"
                             " 800.0     17.0    10.0     212.0    -56.5   -60.0\n"
                             " 700.0      8.2    -1.8\n";
// Four rows: 0|2, 1|3.
const std::string WND_ROWS = std::string(WND_HEAD) +
                             "     0     330      4      2000     280     15\n"
                             "  1000     300     10      3000     270  -9999\n";

}  // namespace

TEST(UaToolListing, WholeReport)
{
    static UPA_report rep;
    fill(rep);
    Listing out;
    MESS_set(1, DEC_MASK);
    EXPECT_EQ(UPA_print_report(DEC_MASK, &rep), 0);
    EXPECT_EQ(out.text(), MAN_ROWS + SIG_ROWS + WND_ROWS + "\n");
}

TEST(UaToolListing, PartsWithStationLine)
{
    static UPA_report rep;
    fill(rep);
    {
        Listing out;
        EXPECT_EQ(UPA_print_man(M_MESS, &rep), 0);
        EXPECT_EQ(out.text(), STATION + MAN_ROWS);
    }
    {
        Listing out;
        EXPECT_EQ(UPA_print_sig(M_MESS, &rep), 0);
        EXPECT_EQ(out.text(), STATION + SIG_ROWS);
    }
    {
        Listing out;
        EXPECT_EQ(UPA_print_wnd(M_MESS, &rep), 0);
        EXPECT_EQ(out.text(), STATION + WND_ROWS + "\n");
    }
}

TEST(UaToolListing, EmptyRecordAndSingleRows)
{
    static UPA_report rep;
    UPA_initialize(&rep);
    {
        Listing out;
        UPA_print_report(M_MESS, &rep);
        EXPECT_EQ(out.text(), std::string(MAN_HEAD) + SIG_HEAD + WND_HEAD + "\n");
    }
    {
        Listing out;
        UPA_print_man(M_MESS, &rep);
        EXPECT_EQ(out.text(),
                  std::string("STA:       WMO: -9999 LAT: -9999.00 LON: -9999.00\n") + MAN_HEAD);
    }
    UPA_add_sig(&rep, 1013.0f, 5.0f, VOK_MISSING_F);
    UPA_add_wnd(&rep, 0.0f, 90.0f, 12.0f);
    {
        Listing out;
        UPA_print_sig(M_MESS, &rep);
        UPA_print_wnd(M_MESS, &rep);
        EXPECT_EQ(out.text(), std::string("STA:       WMO: -9999 LAT: -9999.00 LON: -9999.00\n") +
                                  SIG_HEAD + "1013.0      5.0 -9999.0\n" +
                                  "STA:       WMO: -9999 LAT: -9999.00 LON: -9999.00\n" +
                                  WND_HEAD + "     0      90     12\n\n");
    }
}

TEST(UaToolListing, NothingBelowTheLevelAndCorruptCounts)
{
    static UPA_report rep;
    fill(rep);
    {
        Listing out;  // the initial level does not include the decoders' mask
        UPA_print_report(DEC_MASK, &rep);
        UPA_print_man(DEC_MASK, &rep);
        EXPECT_EQ(out.text(), "");
    }
    // An identifier filling its whole field is not read past it, and counts
    // beyond the lists are held to them.
    std::memset(rep.id, 'A', sizeof rep.id);
    rep.numsig = 1000;
    rep.numwnd = -4;
    Listing out;
    UPA_print_sig(M_MESS, &rep);
    UPA_print_wnd(M_MESS, &rep);
    const std::string text = out.text();
    EXPECT_EQ(text.rfind("STA: AAAAAAAAAAA WMO: 72469", 0), 0u);
    EXPECT_NE(text.find(std::string(WND_HEAD) + "\n"), std::string::npos);
    int lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 1 + 1 + 100 + 1 + 1 + 1);
}
