// The decoders together: every real part decodes soundly, the traces, parts
// of two forms sharing a station record, the dispatch by kind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_ua_dec_util.h"

TEST_F(UaDecodersReal, EveryRealPartDecodesSoundly)
{
    // Every part of every bulletin file, each into a fresh slot, with a
    // window wide enough for any hour: whatever the feed holds (NIL parts,
    // regional sections, garbled groups), the decoded values stay physical.
    DATE_set_range(-720, 720);
    set_decode_hour(12);
    const char* files[] = {
        "feed_global_2026020600.txt", "feed_kwbc_2022071300.txt", "feed_ldm_2021081612.txt",
        "feed_klwx_2022071400.txt", "bulletins_kwbc_day06_12.txt",
        "bulletin_mobile_iibb_and_74794.txt", "dropsonde_xxaa_not_decoded.txt",
        "sounding_02963_2006041012.txt", "sounding_72694_2018062000.txt",
        "sounding_72214_day17_12.txt", "sounding_47646_2014042600.txt",
    };
    int decoded = 0;
    for (const char* file : files) {
        UPA_read_raw_reset();
        const bool opened = testutil::for_each_raw_part(
            testutil::bulletin_dir() / file, [&](const char* data, const char*, int type) {
                UPA_initialize(&rep);
                const int ok = UPA_decode_part(data, type, &rep);
                if (ok < 0) return;
                decoded += ok;
                SCOPED_TRACE(std::string(file) + ": " + type_str[type] + " " + data);
                dec_test::expect_physical(rep);
            });
        ASSERT_TRUE(opened) << file;
    }
    UPA_read_raw_reset();
    EXPECT_GT(decoded, 3000);
}

TEST_F(UaDecoders, GroupTraceShowsEachGroupRead)
{
    MESS_set(1, (M_DEBUG & M_SUB_C) | (M_DEBUG & M_SUB_B));
    testing::internal::CaptureStdout();
    ASSERT_EQ(ttaa("ABC12 57121 99450 71107 15640 19053 99838 13456 22005 ", UPA_IIAA), 1);
    ASSERT_EQ(ttbb("57128 72469 00838 13456 "), 1);
    ASSERT_EQ(ppbb("57120 72469 90012 27010 "), 1);
    // 27800 (300 kt) holds no wind: the trace goes on with the group of
    // the next level's wind.
    ASSERT_EQ(ppaa("57121 72469 44385 27010 27800 28015 "), 1);
    const std::string out = testing::internal::GetCapturedStdout();
    MESS_reset();
    for (const char* line : {"   ID: ABC12\n", "YYGGI: 57121\n", "99LLL QLLLL: 99450 71107\n",
                             "pphhh: 99838\n", "tttdd: 13456\n", "dddss: 22005\n",
                             "YYGGI: 57128\n", "   ID: 72469\n", "nnppp: 00838\n",
                             "numsig: 1\n", "9lhhh: 90012\n", "dddss: 27010\n",
                             "44npp: 44385\n", "dddss: 28015\n"}) {
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
    }
    EXPECT_EQ(out.find("27800"), std::string::npos) << out;
}

// A TTAA whose surface group has no wind (cut short after 99ppp TTTDD)
// decoded after the PPBB part must leave the PILOT surface wind in place.
TEST_F(UaDecoders, TempSurfaceWithoutWindKeepsPilotSurfaceWind)
{
    ASSERT_EQ(ppbb("57120 72469 90012 27010 28015 29520 "), 1);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 "), 1);
    const int row = wnd_row(0);
    ASSERT_GE(row, 0);
    EXPECT_FLOAT_EQ(rep.wnd[row].dir, 270);
    EXPECT_FLOAT_EQ(rep.wnd[row].spd, 10);
    EXPECT_FLOAT_EQ(rep.man[0].p, 838);
    EXPECT_EQ(rep.numwnd, 3);
}

TEST_F(UaDecoders, PartsGoToTheDecoderOfTheirKind)
{
    // A TTBB text given as TTAA would read 00838 as a 1000 hPa level; by kind
    // it goes to the significant levels.
    ASSERT_EQ(UPA_decode_part("57128 72469 00838 13456 ", UPA_TTBB, &rep), 1);
    EXPECT_EQ(rep.numsig, 1);
    EXPECT_EQ(UPA_decode_part("57120 72469 90012 27010 ", UPA_PPDD, &rep), 1);
    EXPECT_EQ(rep.numwnd, 1);
    EXPECT_EQ(UPA_decode_part("57121 72469 ", UPA_UNK, &rep), -1);
    EXPECT_EQ(UPA_decode_part("57121 72469 ", UPA_NO_KIND, &rep), -1);
}
