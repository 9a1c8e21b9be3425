// PILOT parts through the suite's decoders UPA_decode_PPAA and
// UPA_decode_PPBB, and as the parts decode whole: hand-made parts and real
// ones, level by level.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_ua_dec_util.h"
#include "ua_dec_part.h"
#include "ua_dec_record.h"

// ---------------------------------------------------------------- PILOT parts

TEST_F(UaDecoders, PpaaSectionsFillStandardWinds)
{
    // 44985 and nine winds: 850 .. 100 hPa; 55300 and three: 1000 .. 850 hPa
    // (850 again, the later wind wins).
    ASSERT_EQ(ppaa("57121 72469 44985 27010 28015 29520 30025 31030 32035 33040 34045 "
                   "35050 55300 20005 21010 22015 77999 "),
              1);
    EXPECT_EQ(rep.numman, 20);
    EXPECT_EQ(rep.time, 1200);
    expect_man(rep, 1, 1000, M, M, M, 200, 5);
    expect_man(rep, 2, 925, M, M, M, 210, 10);
    expect_man(rep, 3, 850, M, M, M, 220, 15);
    expect_man(rep, 4, 700, M, M, M, 280, 15);
    expect_man(rep, 11, 100, M, M, M, 350, 50);
    EXPECT_FLOAT_EQ(rep.man[12].p, M);
    EXPECT_EQ(rep.numwnd, 0);
    EXPECT_EQ(rep.numsig, 0);
}

TEST_F(UaDecoders, PpaaFastWindIsConsumedAndSkipsItsSlot)
{
    // 27800: 270 deg at 300 kt, above 249: nothing for 700 hPa, but the group
    // counts, so 28015 is the 500 hPa wind. m/s (YY 07) for the others.
    ASSERT_EQ(ppaa("07121 72469 44385 27010 27800 28015 "), 1);
    expect_man(rep, 3, 850, M, M, M, 270, 10 * 1.944f);
    EXPECT_FLOAT_EQ(rep.man[4].p, M);
    EXPECT_FLOAT_EQ(rep.man[4].dir, M);
    expect_man(rep, 5, 500, M, M, M, 280, 15 * 1.944f);
}

TEST_F(UaDecoders, PpaaUnknownLevelEndsAndSurfaceKeepsNoMarker)
{
    // 44205: 05 names no standard level; the winds after it are not read and
    // the part ends at once.
    ASSERT_EQ(ppaa("57121 72469 44205 27010 28015 44185 30010 "), 1);
    EXPECT_EQ(rep.numman, 0);
    EXPECT_FLOAT_EQ(rep.man[3].p, M);
    // 44299: the surface. Its pressure is not in the part: the wind goes to
    // the wind level at 0 ft, the surface row gets no 990 hPa.
    UPA_initialize(&rep);
    ASSERT_EQ(ppaa("57121 72469 44299 27010 28015 "), 1);
    EXPECT_FLOAT_EQ(rep.man[0].p, M);
    EXPECT_FLOAT_EQ(rep.man[0].dir, M);
    expect_man(rep, 1, 1000, M, M, M, 280, 15);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 270, 10);
    // After a TEMP surface the surface row holds a pressure and takes the wind.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 "), 1);
    ASSERT_EQ(ppaa("57121 72469 44199 27010 "), 1);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 270, 10);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 270, 10);
}

TEST_F(UaDecoders, PpbbHeightGroups)
{
    // 90012: 0, 1000, 2000 ft; 91256: 12000, 15000, 16000 ft; 9123/: 12000
    // and 13000 ft, no wind group for the missing figure; 28600: 285 deg at
    // 100 kt.
    ASSERT_EQ(ppbb("57120 72469 90012 27010 28015 29520 91256 30025 31030 28600 "
                   "9123/ 32035 33040 9204/ 34045 "),
              1);
    EXPECT_EQ(rep.numman, 0);
    ASSERT_EQ(rep.numwnd, 8);
    expect_wnd(rep, wnd_row(0), 0, 270, 10);
    expect_wnd(rep, wnd_row(1000), 1000, 280, 15);
    expect_wnd(rep, wnd_row(2000), 2000, 295, 20);
    expect_wnd(rep, wnd_row(12000), 12000, 320, 35);  // 9123/ after 91256: later wins
    expect_wnd(rep, wnd_row(15000), 15000, 310, 30);
    expect_wnd(rep, wnd_row(16000), 16000, 285, 100);
    expect_wnd(rep, wnd_row(13000), 13000, 330, 40);
    expect_wnd(rep, wnd_row(20000), 20000, 340, 45);
    EXPECT_EQ(wnd_row(24000), -1);
}

TEST_F(UaDecoders, PpbbFirstMissingFigureIsTheSurface)
{
    // 90/23 first: the surface, 2000 and 3000 ft. A later 90/.. has no surface.
    ASSERT_EQ(ppbb("57120 72469 90/23 27010 28015 29520 90/45 30010 31015 "), 1);
    ASSERT_EQ(rep.numwnd, 5);
    expect_wnd(rep, 0, 0, 270, 10);
    expect_wnd(rep, 1, 2000, 280, 15);
    expect_wnd(rep, 2, 3000, 295, 20);
    expect_wnd(rep, 3, 4000, 300, 10);
    expect_wnd(rep, 4, 5000, 310, 15);
}

TEST_F(UaDecoders, PpbbFastWindConsumedAndTempSurfaceShared)
{
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 "), 1);
    // 27800 (300 kt) is read and dropped: 1000 ft gets no row, 28015 is 2000 ft.
    ASSERT_EQ(ppbb("57120 72469 90012 23010 27800 28015 "), 1);
    ASSERT_EQ(rep.numwnd, 2);
    expect_wnd(rep, 0, 0, 230, 10);   // one row at 0 ft for both parts
    expect_wnd(rep, 1, 2000, 280, 15);
    EXPECT_FLOAT_EQ(rep.man[0].dir, 230);
    // PPDD: heights above 100000 ft are not reached, tens of thousands work
    // the same way.
    ASSERT_EQ(ppbb("57120 72469 95012 25050 26055 27060 ", UPA_PPDD), 1);
    EXPECT_NE(wnd_row(50000), -1);
    EXPECT_NE(wnd_row(52000), -1);
}

TEST_F(UaDecoders, FullWindListEndsThePart)
{
    for (int k = 0; k < 99; ++k) UPA_add_wnd(&rep, 100000.0f + k, 0, 0);
    ASSERT_EQ(ppbb("57120 72469 90123 27010 28015 29520 90456 30010 "), 1);
    EXPECT_EQ(rep.numwnd, 100);
    EXPECT_NE(wnd_row(1000), -1);
    EXPECT_EQ(wnd_row(2000), -1);
    EXPECT_EQ(wnd_row(4000), -1);
}

TEST_F(UaDecodersReal, PilotParts)
{
    // 96565, day 9 12 UTC (59121: knots).
    decode("pilot_96565_day09_12.txt", UPA_PPAA, "96565");
    // 55185 00505: one wind from 850 hPa on: 00 tens of degrees with 505,
    // i.e. 005 deg at 5 kt. 77999 is no section: the part ends.
    EXPECT_EQ(rep.numman, 20);
    expect_man(rep, 3, 850, M, M, M, 5, 5);
    EXPECT_FLOAT_EQ(rep.man[4].p, M);

    decode("pilot_96565_day09_12.txt", UPA_PPBB, "96565");
    // 90/12: surface (first group), 1000 and 2000 ft; 90345: 3000 .. 5000 ft;
    // 906//: 6000 ft.
    const float w[][3] = {
        {0, 0, 0},        // 00000: calm
        {1000, 280, 5},   // 28005
        {2000, 295, 4},   // 29504
        {3000, 335, 4},   // 33504
        {4000, 340, 5},   // 34005
        {5000, 5, 5},     // 00505
        {6000, 5, 8},     // 00508
    };
    ASSERT_EQ(rep.numwnd, 7);
    for (int j = 0; j < 7; ++j) expect_wnd(rep, j, w[j][0], w[j][1], w[j][2]);

    // 72403, 16 Aug 2021 12 UTC, PPDD 66128: knots. 960//: 60000 ft, 35502;
    // 970//: 70000 ft, 06514 (065 deg 14 kt); 990//: 90000 ft, 10016. Past
    // the 90,000 ft decade the indicator 1 takes over: 100//: 100000 ft,
    // 07528 (075 deg 28 kt); 110//: 110000 ft, 09529.
    UPA_initialize(&rep);
    decode("feed_ldm_2021081612.txt", UPA_PPDD, "72403");
    ASSERT_EQ(rep.numwnd, 5);
    expect_wnd(rep, 0, 60000, 355, 2);
    expect_wnd(rep, 1, 70000, 65, 14);
    expect_wnd(rep, 2, 90000, 100, 16);
    expect_wnd(rep, 3, 100000, 75, 28);
    expect_wnd(rep, 4, 110000, 95, 29);
}

// Part D of a high sounding goes on past 99,000 ft with height groups led by
// 1: 99026 gives 90, 92 and 96 thousand feet, then 10012 gives 100, 101 and
// 102 thousand feet. Those winds were lost when the 1 group ended the part.
TEST_F(UaDecoders, WindsAbove100000FeetAreKept)
{
    ASSERT_EQ(ppbb("57120 72403 99026 27010 28015 29520 10012 30025 31030 32035 108// 33040 ",
                   UPA_PPDD),
              1);
    ASSERT_EQ(rep.numwnd, 7);
    const float heights[] = {90000, 92000, 96000, 100000, 101000, 102000, 108000};
    const float dirs[] = {270, 280, 295, 300, 310, 320, 330};
    for (int i = 0; i < 7; ++i) {
        EXPECT_FLOAT_EQ(rep.wnd[i].h, heights[i]) << i;
        EXPECT_FLOAT_EQ(rep.wnd[i].dir, dirs[i]) << i;
    }
    EXPECT_FLOAT_EQ(rep.wnd[6].spd, 40);
}

// PILOT height groups led by 8 give altitudes in units of 500 m; the part
// ended at the first of them. PPDD of 72493 (cut down): 86012 is 30.0,
// 30.5 and 31.0 km, 86345 goes on at 31.5 km.
TEST_F(UaDecoders, PilotHeightsInUnitsOf500Metres)
{
    set_decode_hour(0);
    ASSERT_EQ(ppbb("56008 72493 9967/ 08521 08510 86012 00502 07011 05515 86345 01011 ",
                   UPA_PPDD),
              1);
    ASSERT_EQ(rep.numwnd, 6);
    expect_wnd(rep, 0, 96000, 85, 21);
    expect_wnd(rep, 1, 97000, 85, 10);
    const float ft[] = {30000 / 0.3048f, 30500 / 0.3048f, 31000 / 0.3048f, 31500 / 0.3048f};
    expect_wnd(rep, 2, ft[0], 5, 2);
    expect_wnd(rep, 3, ft[1], 70, 11);
    expect_wnd(rep, 4, ft[2], 55, 15);
    expect_wnd(rep, 5, ft[3], 10, 11);
    EXPECT_NEAR(rep.wnd[2].h, 98425.2f, 0.1f);
}

// Below 90,000 ft a group led by 1 in the place of a height group is a stray
// wind group, and it ends the part as before.
TEST_F(UaDecoders, OneGroupBelowTheHighestDecadeEndsThePart)
{
    ASSERT_EQ(ppbb("57120 72469 90012 27010 28015 29520 10012 30025 31030 32035 "), 1);
    ASSERT_EQ(rep.numwnd, 3);
    EXPECT_EQ(wnd_row(100000), -1);
}

// ---------------------------------------------------------------- decoded parts

namespace {

ua::RecordOptions true_feet()
{
    ua::RecordOptions o;
    o.wind_heights_in_metres = true;
    return o;
}

}  // namespace

// 9 groups count in units of 300 m, 1 groups (past the 90 decade) from 100
// units on, 8 groups in units of 500 m. The record keeps the figures of 9
// and 1 groups as thousands of feet, as the suite always has, or true feet.
TEST(PilotParts, AltitudeGroupsGiveMetres)
{
    const auto part = ua::decode_pilot_bd(
        ua::Kind::PPDD, "56008 72493 99026 27010 28015 29520 10012 30025 31030 32035 86123 00502 07011 05515 ");
    ASSERT_EQ(part.status, ua::PartStatus::ok) << part.note;
    const int z[] = {27000, 27600, 28800, 30000, 30300, 30600, 30500, 31000, 31500};
    ASSERT_EQ(part.levels.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i) {
        const ua::Level& l = part.levels[i];
        EXPECT_EQ(l.z, z[i]) << i;
        EXPECT_EQ(l.alt, i < 6 ? ua::AltitudeCode::units_300m : ua::AltitudeCode::units_500m) << i;
        EXPECT_EQ(l.p10, VOK_MISSING);
        EXPECT_EQ(l.block, i / 3 + 1);
    }

    UPA_report rep;
    UPA_initialize(&rep);
    ua::record_pilot_bd(part, &rep, {});
    ASSERT_EQ(rep.numwnd, 9);
    EXPECT_FLOAT_EQ(rep.wnd[0].h, 90000);
    EXPECT_FLOAT_EQ(rep.wnd[3].h, 100000);
    EXPECT_FLOAT_EQ(rep.wnd[6].h, static_cast<float>(30500 / 0.3048));
    UPA_initialize(&rep);
    ua::record_pilot_bd(part, &rep, true_feet());
    EXPECT_FLOAT_EQ(rep.wnd[0].h, static_cast<float>(27000 / 0.3048));
    EXPECT_FLOAT_EQ(rep.wnd[3].h, static_cast<float>(30000 / 0.3048));
}

// PPAA of 68263, 16 Aug 2021 12 UTC: three 55 sections from 850 hPa to 100
// hPa, then the maximum wind by its altitude in tens of metres (7HmHmHmHm:
// 12,190 m, 265 deg at 64 kt) with its wind shear (25 kt below, 27 above).
// The record keeps the standard levels only.
TEST_F(UaDecodersReal, RealPpaaKeepsItsMaximumWind)
{
    const std::string text = dec_test::real_part("feed_ldm_2021081612.txt", UPA_PPAA, "68263");
    ASSERT_FALSE(text.empty());
    const auto part = ua::decode_pilot_ac(ua::Kind::PPAA, text);
    ASSERT_EQ(part.status, ua::PartStatus::ok) << part.note;
    ASSERT_EQ(part.levels.size(), 10u);
    const int p[] = {850, 700, 500, 400, 300, 250, 200, 150, 100};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(part.levels[i].type, ua::LevelType::standard);
        EXPECT_EQ(part.levels[i].p10, p[i] * 10);
        EXPECT_TRUE(part.levels[i].knots);
    }
    EXPECT_EQ(part.levels[7].dir, 275);  // 150 hPa: 27540
    EXPECT_EQ(part.levels[7].spd, 40);
    const ua::Level& mw = part.levels[9];
    EXPECT_EQ(mw.type, ua::LevelType::max_wind);
    EXPECT_EQ(mw.p10, VOK_MISSING);
    EXPECT_EQ(mw.z, 12190);
    EXPECT_EQ(mw.dir, 265);
    EXPECT_EQ(mw.spd, 64);
    EXPECT_EQ(mw.shear_below, 25);
    EXPECT_EQ(mw.shear_above, 27);

    decode("feed_ldm_2021081612.txt", UPA_PPAA, "68263");
    expect_man(rep, 10, 150, M, M, M, 275, 40);
    EXPECT_FLOAT_EQ(rep.man[UPA_SLOT_MAXWIND].p, M);
}

// PILOT part C: 70 ... 10 hPa, and a maximum wind at 25.7 hPa (tenths) with
// its shear. The suite's record takes nothing from it.
TEST(PilotParts, PartCGivesUpperStandardLevelsAndMaximumWind)
{
    const auto part =
        ua::decode_pilot_ac(ua::Kind::PPCC, "56008 61052 44370 12016 08027 09559 44120 09036 77257 07560 40106 ");
    ASSERT_EQ(part.status, ua::PartStatus::ok) << part.note;
    ASSERT_EQ(part.levels.size(), 5u);
    const int p10[] = {700, 500, 300, 200, 257};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(part.levels[i].p10, p10[i]) << i;
    EXPECT_EQ(part.levels[4].type, ua::LevelType::max_wind);
    EXPECT_EQ(part.levels[4].dir, 75);  // 07560
    EXPECT_EQ(part.levels[4].spd, 60);
    EXPECT_EQ(part.levels[4].shear_below, 1);
    EXPECT_EQ(part.levels[4].shear_above, 6);
    UPA_report rep;
    UPA_initialize(&rep);
    ua::record_pilot_a(part, &rep, {});
    EXPECT_EQ(rep.numman, 0);
    EXPECT_FLOAT_EQ(rep.man[12].p, M);
}

// Winds by pressure (21212) in PILOT parts B (whole hPa, 1000 and more
// below 100) and D (tenths), not in the record. A level without its wind
// group ends the part, which says where.
TEST(PilotParts, PressureWindsOfPartsBAndD)
{
    const std::string b = "57120 72469 90012 27010 28015 29520 21212 00012 27010 11850 28520 22700 3004 ";
    const auto part = ua::decode_pilot_bd(ua::Kind::PPBB, b);
    ASSERT_EQ(part.levels.size(), 5u);
    EXPECT_EQ(part.levels[3].p10, 10120);
    EXPECT_EQ(part.levels[3].alt, ua::AltitudeCode::none);
    EXPECT_EQ(part.levels[4].p10, 8500);
    EXPECT_EQ(part.levels[4].dir, 285);
    EXPECT_EQ(part.levels[4].spd, 20);
    EXPECT_EQ(part.status, ua::PartStatus::truncated);
    EXPECT_EQ(part.stop_offset, static_cast<int>(b.find("3004")));
    EXPECT_EQ(part.note, "group 12 \"3004\" at " + std::to_string(b.find("3004")) + ": no wind group of the level");
    UPA_report rep;
    UPA_initialize(&rep);
    ua::record_pilot_bd(part, &rep, {});
    EXPECT_EQ(rep.numwnd, 3);

    const auto d = ua::decode_pilot_bd(ua::Kind::PPDD, "57120 72469 21212 11975 08535 ");
    ASSERT_EQ(d.levels.size(), 1u);
    EXPECT_EQ(d.levels[0].p10, 975);
    EXPECT_EQ(d.status, ua::PartStatus::ok);
}

// 90//2 24010 27511 23015: the surface, a wind whose altitude is not given
// and 600 m. The part ended at 23015, read as a height group, and put 27511
// at 2,000 ft; 72317 of 13 Jul 2022 lost 25 winds so.
TEST_F(UaDecoders, HeightGroupWithASolidusBeforeAFigureDoesNotEndThePart)
{
    const char* text = "63008 72317 90//2 24010 27511 23015 90345 22014 21514 22020 ";
    const auto part = ua::decode_pilot_bd(ua::Kind::PPBB, text);
    ASSERT_EQ(part.status, ua::PartStatus::ok) << part.note;
    ASSERT_EQ(part.levels.size(), 6u);
    EXPECT_EQ(part.levels[0].alt, ua::AltitudeCode::surface);  // "90/": the station's surface
    EXPECT_EQ(part.levels[1].z, VOK_MISSING);
    EXPECT_EQ(part.levels[1].dir, 275);
    EXPECT_EQ(part.levels[2].z, 600);
    EXPECT_EQ(part.levels[5].z, 1500);

    set_decode_hour(0);
    ASSERT_EQ(ppbb(text), 1);
    ASSERT_EQ(rep.numwnd, 5);
    expect_wnd(rep, 0, 0, 240, 10);
    expect_wnd(rep, 1, 2000, 230, 15);
    expect_wnd(rep, 4, 5000, 220, 20);
}
