// TEMP parts A to D through the suite's decoders UPA_decode_TTAA and
// UPA_decode_TTBB: hand-made parts and real ones, level by level; then the
// parts as the decoders return them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_ua_dec_util.h"
#include "ua_dec_part.h"

// ---------------------------------------------------------------- TEMP parts A and C

TEST_F(UaDecoders, TtaaFullPartAllLevels)
{
    // 57121: day 7 (57 - 50, knots), 12 UTC, Id 1: winds at every level.
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 ///// ///// 92812 10656 24010 "
                   "85512 04308 25620 70062 13556 27535 50570 20164 28040 40728 30362 28545 "
                   "30928 44740 29050 25034 50157 29555 20178 55757 30060 15385 58960 29540 "
                   "10630 62562 28530 88210 58156 26057 77235 27590 41010 31313 58708 81103 "),
              1);
    EXPECT_STREQ(rep.id, "72469");
    EXPECT_EQ(rep.wmo, 72469);
    EXPECT_EQ(rep.time, 1200);
    EXPECT_EQ(rep.numman, 20);
    EXPECT_STREQ(rep.area, "");
    // 99838 13456 22005: 838 hPa; 134 even: +13.4; DD 56: depression 6 -> 7.4; 220 deg 5 kt.
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5);
    expect_man(rep, 1, 1000, 144, M, M, M, M);
    expect_man(rep, 2, 925, 812, 10.6f, 4.6f, 240, 10);
    // 04308: -4.3 (odd), depression 0.8 -> -5.1; 25620: 255 deg, 120 kt.
    expect_man(rep, 3, 850, 1512, -4.3f, -5.1f, 255, 120);
    expect_man(rep, 4, 700, 3062, -13.5f, -19.5f, 275, 35);
    expect_man(rep, 5, 500, 5700, -20.1f, -34.1f, 280, 40);  // 201 odd, DD 64 -> 14
    expect_man(rep, 6, 400, 7280, -30.3f, -42.3f, 285, 45);
    expect_man(rep, 7, 300, 9280, -44.7f, -48.7f, 290, 50);
    expect_man(rep, 8, 250, 10340, -50.1f, -57.1f, 295, 55);
    expect_man(rep, 9, 200, 11780, -55.7f, -62.7f, 300, 60);
    expect_man(rep, 10, 150, 13850, -58.9f, -68.9f, 295, 40);
    expect_man(rep, 11, 100, 16300, -62.5f, -74.5f, 285, 30);
    // 88210 58156 26057: tropopause 210 hPa, -58.1, depression 6 -> -64.1, 260/57.
    expect_man(rep, 22, 210, M, -58.1f, -64.1f, 260, 57);
    // 77235 27590 41010: maximum wind 235 hPa, 275/90, shear group passed over.
    expect_man(rep, 23, 235, M, M, M, 275, 90);
    for (int s = 12; s <= 21; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    EXPECT_FLOAT_EQ(rep.man[UPA_SLOT_OVERFLOW].p, M);
    // The surface also goes to the significant levels and to the wind at 0 ft.
    ASSERT_EQ(rep.numsig, 1);
    expect_sig(rep, 0, 838, 13.4f, 7.4f);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 220, 5);
}

TEST_F(UaDecoders, StandardHeightsWrapByLevel)
{
    // 1000 hPa below sea level: 00512 -> 500 - 512 = -12 m; 700 hPa low: 70980 -> 2980 m.
    ASSERT_EQ(ttaa("57121 72469 99999 ///// ///// 00512 ///// ///// 92300 ///// ///// "
                   "85990 ///// ///// 70980 ///// ///// 50520 ///// ///// 40680 ///// ///// "
                   "30850 ///// ///// 25980 ///// ///// "),
              1);
    EXPECT_FLOAT_EQ(rep.man[0].p, 999);
    EXPECT_FLOAT_EQ(rep.man[1].h, -12);
    EXPECT_FLOAT_EQ(rep.man[2].h, 300);
    EXPECT_FLOAT_EQ(rep.man[3].h, 1990);
    EXPECT_FLOAT_EQ(rep.man[4].h, 2980);
    EXPECT_FLOAT_EQ(rep.man[5].h, 5200);
    EXPECT_FLOAT_EQ(rep.man[6].h, 6800);
    EXPECT_FLOAT_EQ(rep.man[7].h, 8500);   // 850 > 500: no 10000 added
    EXPECT_FLOAT_EQ(rep.man[8].h, 9800);
    // A surface pressure of 1000 hPa and more is sent as its last three figures.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99014 ///// ///// "), 1);
    EXPECT_FLOAT_EQ(rep.man[0].p, 1014);
}

TEST_F(UaDecoders, TtccTenthsAndUpperHeights)
{
    // Part C: 70830 -> 18300 m, 50063 -> 20630 m, 30xxx +20000, 10073 -> 30730 m,
    // 7..1 hPa; tropopause 88123 = 12.3 hPa, maximum wind 77105 = 10.5 hPa.
    ASSERT_EQ(ttaa("57121 72469 70830 61168 27535 50063 59765 28040 30390 55966 29020 "
                   "20650 53567 30015 10073 50570 31010 07850 47570 32015 05055 45370 "
                   "33020 03500 42575 34025 02760 40576 35030 01200 38571 36035 "
                   "88123 49370 25510 77105 27590 ",
                   UPA_TTCC),
              1);
    expect_man(rep, 12, 70, 18300, -61.1f, -79.1f, 275, 35);
    expect_man(rep, 13, 50, 20630, -59.7f, -74.7f, 280, 40);
    expect_man(rep, 14, 30, 23900, -55.9f, -71.9f, 290, 20);
    expect_man(rep, 15, 20, 26500, -53.5f, -70.5f, 300, 15);
    expect_man(rep, 16, 10, 30730, -50.5f, -70.5f, 310, 10);
    expect_man(rep, 17, 7, 38500, -47.5f, -67.5f, 320, 15);
    expect_man(rep, 18, 5, 30550, -45.3f, -65.3f, 330, 20);
    expect_man(rep, 19, 3, 45000, -42.5f, -67.5f, 340, 25);  // 500 not above 500
    expect_man(rep, 20, 2, 37600, -40.5f, -66.5f, 350, 30);
    expect_man(rep, 21, 1, 52000, -38.5f, -59.5f, 360, 35);
    expect_man(rep, 22, 12.3f, M, -49.3f, -69.3f, 255, 10);
    expect_man(rep, 23, 10.5f, M, M, M, 275, 90);
    for (int s = 0; s <= 11; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    EXPECT_EQ(rep.numsig, 0);
    EXPECT_EQ(rep.numwnd, 0);
}

TEST_F(UaDecoders, LevelsLeftOutBelow850)
{
    // No 925 hPa group: the 85 group where 925 is expected is 850 hPa.
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 ///// ///// 85512 04308 25620 "
                   "70062 13556 27535 "),
              1);
    EXPECT_FLOAT_EQ(rep.man[2].p, M);
    expect_man(rep, 3, 850, 1512, -4.3f, -5.1f, 255, 120);
    expect_man(rep, 4, 700, 3062, -13.5f, -19.5f, 275, 35);
    // Neither 1000 nor 925 hPa: the surface is followed by 850 hPa at once.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 85512 04308 25620 70062 13556 27535 "), 1);
    EXPECT_FLOAT_EQ(rep.man[1].p, M);
    EXPECT_FLOAT_EQ(rep.man[2].p, M);
    expect_man(rep, 3, 850, 1512, -4.3f, -5.1f, 255, 120);
    expect_man(rep, 4, 700, 3062, -13.5f, -19.5f, 275, 35);
    // A high station (surface 810 hPa) leaving out every level under the
    // ground: 700 hPa follows the surface.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99810 13859 00000 70115 12064 32505 50582 08380 35007 "), 1);
    expect_man(rep, 0, 810, M, 13.8f, 4.8f, 0, 0);
    for (int s = 1; s <= 3; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    expect_man(rep, 4, 700, 3115, 12.0f, -2.0f, 325, 5);
    expect_man(rep, 5, 500, 5820, -8.3f, -38.3f, 350, 7);
    // Above the ground the same needs the level before read whole: 700
    // after a 1010 hPa surface that lacks its wind group is out of place and
    // ends the part.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99010 13859 70115 12064 32505 "), 1);
    EXPECT_FLOAT_EQ(rep.man[0].p, 1010);
    EXPECT_FLOAT_EQ(rep.man[4].p, M);
}

// A standard level left out above the ground lost every later level, the
// tropopause and the maximum wind. 16622 (cut down): no 1000 hPa group over
// a surface at 1000 hPa. 43353: surface 831 hPa, 850 hPa under the ground,
// no 700 hPa group.
TEST_F(UaDecoders, StandardLevelLeftOutAboveTheGround)
{
    set_decode_hour(23);
    ASSERT_EQ(ttaa("55232 16622 99000 06217 11507 92650 09639 28003 85347 05249 29505 "
                   "88276 49773 31568 77999 31313 46308 82326 "),
              1);
    expect_man(rep, 0, 1000, M, 6.2f, 4.5f, 115, 7);
    EXPECT_FLOAT_EQ(rep.man[1].p, M);
    expect_man(rep, 2, 925, 650, 9.6f, 5.7f, 280, 3);
    expect_man(rep, 3, 850, 1347, 5.2f, 0.3f, 295, 5);
    expect_man(rep, 22, 276, M, -49.7f, -72.7f, 315, 68);

    set_decode_hour(0);
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("56001 43353 99831 04857 19515 50567 03568 28509 40740 15766 20014 "
                   "30953 29366 19519 "),
              1);
    expect_man(rep, 0, 831, M, 4.8f, -2.2f, 195, 15);
    for (int s = 1; s <= 4; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    expect_man(rep, 5, 500, 5670, -3.5f, -21.5f, 285, 9);
    expect_man(rep, 6, 400, 7400, -15.7f, -31.7f, 200, 14);
    expect_man(rep, 7, 300, 9530, -29.3f, -45.3f, 195, 19);

    // Part C likewise: no 50 hPa group after a whole 70 hPa level.
    set_decode_hour(12);
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 70830 61168 27535 30390 55966 28040 ", UPA_TTCC), 1);
    EXPECT_FLOAT_EQ(rep.man[13].p, M);
    expect_man(rep, 14, 30, 23900, -55.9f, -71.9f, 280, 40);

    // After a level whose wind group is missing, the group standing there
    // could be a temperature or wind group: a later level's figures end the
    // part as before.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 13658 50570 20164 28040 "), 1);
    EXPECT_FLOAT_EQ(rep.man[1].p, 1000);
    EXPECT_FLOAT_EQ(rep.man[5].p, M);
}

TEST_F(UaDecoders, MisplacedTemperatureGroup)
{
    // 1000 hPa without its temperature and wind: 92812 is the next level.
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 92812 10656 24010 85512 04308 25620 "),
              1);
    expect_man(rep, 1, 1000, 144, M, M, M, M);
    expect_man(rep, 2, 925, 812, 10.6f, 4.6f, 240, 10);
    expect_man(rep, 3, 850, 1512, -4.3f, -5.1f, 255, 120);
    // 1000 hPa then 850 hPa (925 left out as well), and 850 hPa without its
    // temperature followed by 700 hPa.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 85512 70062 13556 27535 "), 1);
    expect_man(rep, 1, 1000, 144, M, M, M, M);
    expect_man(rep, 3, 850, 1512, M, M, M, M);
    expect_man(rep, 4, 700, 3062, -13.5f, -19.5f, 275, 35);
}

TEST_F(UaDecoders, WindIndicatorLimitsWinds)
{
    // Id 7: winds up to 700 hPa; 500 and 400 hPa carry none, the
    // tropopause and the maximum wind always do.
    ASSERT_EQ(ttaa("57127 72469 99838 13456 22005 00144 13658 21010 92812 10656 24010 "
                   "85512 04308 25620 70062 13556 27535 50570 20164 40728 30362 "
                   "88210 58156 26057 77235 27590 "),
              1);
    EXPECT_FLOAT_EQ(rep.man[0].dir, 220);
    EXPECT_FLOAT_EQ(rep.man[1].dir, 210);
    EXPECT_FLOAT_EQ(rep.man[4].dir, 275);
    expect_man(rep, 5, 500, 5700, -20.1f, -34.1f, M, M);
    expect_man(rep, 6, 400, 7280, -30.3f, -42.3f, M, M);
    expect_man(rep, 22, 210, M, -58.1f, -64.1f, 260, 57);
    expect_man(rep, 23, 235, M, M, M, 275, 90);
    // Id 0: a wind at 1000 hPa only. Without the limit the 300 hPa group
    // after 400 hPa would pass for a wind (30 tens of degrees).
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57120 72469 99838 13456 22005 00144 13658 21010 92812 10656 "
                   "85512 04308 70062 13556 50570 20164 40728 30362 30928 44740 "),
              1);
    EXPECT_FLOAT_EQ(rep.man[1].dir, 210);
    EXPECT_FLOAT_EQ(rep.man[2].dir, M);
    expect_man(rep, 6, 400, 7280, -30.3f, -42.3f, M, M);
    expect_man(rep, 7, 300, 9280, -44.7f, -48.7f, M, M);
    // Id "/": no standard level carries a wind; the surface still does.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("5712/ 72469 99838 13456 22005 00144 13658 92812 10656 85512 04308 "
                   "70062 13556 50570 20164 40728 30362 30928 44740 88210 58156 26057 "),
              1);
    EXPECT_FLOAT_EQ(rep.man[0].dir, 220);
    expect_man(rep, 7, 300, 9280, -44.7f, -48.7f, M, M);
    expect_man(rep, 22, 210, M, -58.1f, -64.1f, 260, 57);
    // Part C, Id 7: a wind at 70 hPa only; the 30 hPa group after 50 hPa is
    // not a wind.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57127 72469 70830 61168 27535 50063 59765 30390 55966 ", UPA_TTCC), 1);
    EXPECT_FLOAT_EQ(rep.man[12].dir, 275);
    expect_man(rep, 13, 50, 20630, -59.7f, -74.7f, M, M);
    expect_man(rep, 14, 30, 23900, -55.9f, -71.9f, M, M);
    // Part C, Id 5 and 3.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57125 72469 70830 61168 27535 50063 59765 28040 30390 55966 ", UPA_TTCC),
              1);
    EXPECT_FLOAT_EQ(rep.man[13].dir, 280);
    expect_man(rep, 14, 30, 23900, -55.9f, -71.9f, M, M);
}

TEST_F(UaDecoders, SpeedAbove249IsNoTempWind)
{
    // 400 hPa has lost its wind group: 30928 would be 305 deg at 428 kt, so it
    // is the next level's group. It stays for the 300 hPa level and the
    // winds of the part end there.
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 13658 21010 92812 10656 24010 "
                   "85512 04308 25620 70062 13556 27535 50570 20164 28040 40728 30362 "
                   "30928 44740 25034 50157 29555 88210 58156 26057 "),
              1);
    expect_man(rep, 6, 400, 7280, -30.3f, -42.3f, M, M);
    expect_man(rep, 7, 300, 9280, -44.7f, -48.7f, M, M);
    // 29555 after 250 hPa is not read as a wind, so it ends the levels.
    expect_man(rep, 8, 250, 10340, -50.1f, -57.1f, M, M);
    EXPECT_FLOAT_EQ(rep.man[22].p, M);
}

TEST_F(UaDecoders, MetresPerSecondBecomeKnots)
{
    // YY 07 (below 50): speeds in m/s. 25620: 255 deg, 120 m/s = 233.28 kt.
    ASSERT_EQ(ttaa("07121 72469 99838 13456 22005 00144 13658 25620 "), 1);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5 * 1.944f);
    expect_man(rep, 1, 1000, 144, 13.6f, 5.6f, 255, 233.28f);
    expect_wnd(rep, 0, 0, 220, 9.72f);
}

TEST_F(UaDecoders, DewPointDd99MissingInPartA)
{
    ASSERT_EQ(ttaa("57121 72469 99838 13499 22005 "), 1);
    EXPECT_FLOAT_EQ(rep.man[0].t, 13.4f);
    EXPECT_FLOAT_EQ(rep.man[0].td, M);
    expect_sig(rep, 0, 838, 13.4f, M);
    // Parts B and D read the same figures as a depression of 49 degrees.
    UPA_initialize(&rep);
    ASSERT_EQ(ttbb("57128 72469 00838 13499 "), 1);
    expect_sig(rep, 0, 838, 13.4f, 13.4f - 49);
}

TEST_F(UaDecoders, ShipByHourGroupAndUuParts)
{
    // GG 62: a ship at 12 UTC; 99165 71234: 16.5 N, 123.4 W (quadrant 7);
    // the MMMUU group after it is passed over.
    ASSERT_EQ(ttaa("57621 SHIP1 99165 71234 22106 99838 13456 22005 00144 13658 21010 "), 1);
    EXPECT_EQ(rep.time, 1200);
    EXPECT_STREQ(rep.area, "SH");
    EXPECT_STREQ(rep.id, "SHIP1");
    EXPECT_EQ(rep.wmo, 99999);
    EXPECT_FLOAT_EQ(rep.lat, 16.5f);
    EXPECT_FLOAT_EQ(rep.lon, -123.4f);
    EXPECT_FLOAT_EQ(rep.elev, 0);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5);
    EXPECT_FLOAT_EQ(rep.man[1].h, 144);
    // UUCC: the call sign comes first; quadrant 3 is south and east; the
    // tropopause pressure is in tenths (88123 = 12.3 hPa).
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("9ZT9MRK 57121 99165 31234 22106 70830 61168 27535 88123 49370 25510 ",
                   UPA_UUCC),
              1);
    EXPECT_STREQ(rep.id, "9ZT9MRK");
    EXPECT_STREQ(rep.area, "SH");
    EXPECT_FLOAT_EQ(rep.lat, -16.5f);
    EXPECT_FLOAT_EQ(rep.lon, 123.4f);
    expect_man(rep, 12, 70, 18300, -61.1f, -79.1f, 275, 35);
    EXPECT_FLOAT_EQ(rep.man[22].p, 12.3f);
    // A ship's part B: the part word may open the text; quadrant 5 is south
    // and west; the pressures are whole hPa.
    UPA_initialize(&rep);
    ASSERT_EQ(ttbb("UUBB 9ZT9MRK 57120 99165 51234 22106 00997 04060 11850 01341 ", UPA_UUBB),
              1);
    EXPECT_FLOAT_EQ(rep.lat, -16.5f);
    EXPECT_FLOAT_EQ(rep.lon, -123.4f);
    EXPECT_STREQ(rep.area, "SH");
    ASSERT_EQ(rep.numsig, 2);
    expect_sig(rep, 0, 997, 4.0f, -6.0f);
    expect_sig(rep, 1, 850, -1.3f, -5.4f);
}

TEST_F(UaDecoders, MobilePartsSkipTwoGroupsAfterPosition)
{
    // IIAA: call sign, date, position, then MMMUU and h0h0h0h0im.
    ASSERT_EQ(ttaa("ABC12 57121 99450 71107 15640 19053 99838 13456 22005 ", UPA_IIAA), 1);
    EXPECT_STREQ(rep.id, "ABC12");
    EXPECT_STREQ(rep.area, "MO");
    EXPECT_FLOAT_EQ(rep.lat, 45.0f);
    EXPECT_FLOAT_EQ(rep.lon, -110.7f);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5);
    // IIDD: tenths of hPa.
    UPA_initialize(&rep);
    ASSERT_EQ(ttbb("IIDD ABC12 57120 99450 71107 15640 19053 11975 61163 ", UPA_IIDD), 1);
    EXPECT_STREQ(rep.area, "MO");
    expect_sig(rep, 0, 97.5f, -61.1f, -74.1f);
    // EEBB: winds at heights after the same groups.
    UPA_initialize(&rep);
    ASSERT_EQ(ppbb("ABC12 57120 99450 71107 15640 19053 90012 27010 28015 29520 ", UPA_EEBB),
              1);
    EXPECT_STREQ(rep.area, "MO");
    EXPECT_FLOAT_EQ(rep.lon, -110.7f);
    ASSERT_EQ(rep.numwnd, 3);
    expect_wnd(rep, 0, 0, 270, 10);
}

TEST_F(UaDecoders, SecondPartAKeepsFirstSpecialRows)
{
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 13658 21010 88210 58156 26057 "
                   "77235 27590 "),
              1);
    // The same sounding again (a repeated bulletin with other values): its
    // standard levels overwrite, its surface, tropopause and maximum wind go
    // to the overflow row and leave the first part's rows as they were.
    ASSERT_EQ(ttaa("57121 72469 99840 12456 23010 00150 12658 22015 88220 57156 25057 "
                   "77240 28090 "),
              1);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5);
    expect_man(rep, 1, 1000, 150, 12.6f, 4.6f, 220, 15);
    expect_man(rep, 22, 210, M, -58.1f, -64.1f, 260, 57);
    // The maximum wind, last into the overflow row, keeps its group layout:
    // its wind is read as a wind, no temperature is taken from it.
    expect_man(rep, 24, M, M, -57.1f, -63.1f, 280, 90);
    expect_man(rep, 23, 235, M, M, M, 275, 90);
    ASSERT_EQ(rep.numsig, 1);
    expect_sig(rep, 0, 838, 13.4f, 7.4f);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 220, 5);
}

TEST_F(UaDecoders, RepeatedSectionsDoNotUseUpPositions)
{
    // Part C up to 1 hPa, two tropopauses and a maximum wind: the sections
    // after the standard levels all land.
    ASSERT_EQ(ttaa("57121 72469 70830 61168 27535 50063 59765 28040 30390 55966 29020 "
                   "20650 53567 30015 10073 50570 31010 07850 47570 32015 05055 45370 "
                   "33020 03500 42575 34025 02760 40576 35030 01200 38571 36035 "
                   "88123 49370 25510 88056 45370 26010 77105 27590 ",
                   UPA_TTCC),
              1);
    EXPECT_FLOAT_EQ(rep.man[22].p, 12.3f);
    EXPECT_FLOAT_EQ(rep.man[24].t, -45.3f);  // the second tropopause
    expect_man(rep, 23, 10.5f, M, M, M, 275, 90);
}

TEST_F(UaDecoders, TimeWindowRejectsWithMessage)
{
    MESS_set(1, M_OUT3 & M_SUB_C);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ttaa("57001 72469 99838 13456 22005 00144 13658 21010 "), 0);
    EXPECT_EQ(ttbb("57008 72469 00838 13456 "), 0);
    EXPECT_EQ(ppaa("57001 72469 44985 27010 "), 0);
    EXPECT_EQ(ppbb("ABC12 57000 99450 71107 15640 19053 90012 27010 ", UPA_EEBB), 0);
    EXPECT_EQ(ttaa("ABC12 57001 99450 71107 15640 19053 99838 ", UPA_IIAA), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "Bad TTAA date for 72469: 0000\n"
              "Bad TTBB date for 72469: 0000\n"
              "Bad PPAA date for 72469: 0000\n"
              "Bad EEBB date for ABC12: 0000\n"
              "Bad IIAA date for ABC12: 0000\n");
    // Only what the identity steps read is kept.
    EXPECT_STREQ(rep.id, "72469");
    EXPECT_EQ(rep.time, VOK_MISSING);
    EXPECT_EQ(rep.numman, 0);
    EXPECT_EQ(rep.numsig, 0);
    EXPECT_EQ(rep.numwnd, 0);
    EXPECT_FLOAT_EQ(rep.lat, M);
    // 10 and 14 UTC lie on the edges of the window, 09 UTC outside.
    EXPECT_EQ(ttbb("57108 72469 "), 1);
    EXPECT_EQ(ttbb("57148 72469 "), 1);
    EXPECT_EQ(ttbb("57098 72469 "), 0);
    MESS_reset();
}

TEST_F(UaDecoders, PartWithoutDateGroupIsRefused)
{
    // At 00 UTC a part whose date group does not read must not pass for a
    // time near midnight.
    DATE_set_range(-120, 120);
    set_decode_hour(0);
    MESS_set(1, M_OUT3 & M_SUB_C);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ttaa("5712 72469 99838 13456 22005 "), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Bad TTAA date for : -0001\n");
    EXPECT_EQ(rep.numman, 0);
    EXPECT_EQ(ttaa("57001 72469 99838 13456 22005 "), 1);
    EXPECT_EQ(rep.time, 0);
}

// ---------------------------------------------------------------- TEMP parts B and D

TEST_F(UaDecoders, TtbbLevelsUntilFirstSection)
{
    // 00838 13456: surface 838 hPa, 13.4, dew point 7.4. 11812 12250: 812 hPa,
    // 12.2, depression 5.0 -> 7.2. 22012 16656: 1012 hPa (12 is below 100),
    // 16.6, 10.6. 33///: no pressure; its ///// is passed over. 44700 ///55:
    // temperature missing, dew point missing. 21212: not a level number.
    ASSERT_EQ(ttbb("57128 72469 00838 13456 11812 12250 22012 16656 33/// ///// "
                   "44700 ///55 21212 00838 22005 11812 24010 31313 58708 81103 "),
              1);
    EXPECT_EQ(rep.time, 1200);
    EXPECT_EQ(rep.numman, 0);
    ASSERT_EQ(rep.numsig, 4);
    expect_sig(rep, 0, 838, 13.4f, 7.4f);
    expect_sig(rep, 1, 812, 12.2f, 7.2f);
    expect_sig(rep, 2, 1012, 16.6f, 10.6f);
    expect_sig(rep, 3, 700, M, M);
    EXPECT_EQ(rep.numwnd, 0);  // the 21212 winds are not read
}

TEST_F(UaDecoders, PartsBAndDShareOneList)
{
    // 11975 61163 in part D: 97.5 hPa, -61.1, depression 13 -> -74.1.
    ASSERT_EQ(ttbb("57128 72469 00838 13456 11812 12250 ", UPA_TTBB), 1);
    ASSERT_EQ(ttbb("57128 72469 11975 61163 22123 57370 ", UPA_TTDD), 1);
    ASSERT_EQ(rep.numsig, 4);
    expect_sig(rep, 2, 97.5f, -61.1f, -74.1f);
    expect_sig(rep, 3, 12.3f, -57.3f, -77.3f);
    // A repeated B part with other values overwrites the rows of the same
    // pressures.
    ASSERT_EQ(ttbb("57128 72469 00838 14456 ", UPA_TTBB), 1);
    ASSERT_EQ(rep.numsig, 4);
    expect_sig(rep, 0, 838, 14.4f, 8.4f);
    UPA_sort_report(&rep);
    expect_sig(rep, 3, 12.3f, -57.3f, -77.3f);
}

// Parts B and D stopped after 50 level groups; modern soundings send far
// more (317 parts B of the global feed), and every one of them is read.
TEST_F(UaDecoders, EveryLevelGroupOfTheSectionIsRead)
{
    std::string text = "57128 72469";
    for (int k = 0; k < 120; ++k) text += " 11" + std::to_string(900 - k) + " 10456";
    ASSERT_EQ(ttbb(text + " 21212 00838 22005 "), 1);
    EXPECT_EQ(rep.numsig, 120);
    EXPECT_EQ(sig_row(850), 50);   // the 51st group
    EXPECT_EQ(sig_row(781), 119);  // the last before the wind section
}

TEST_F(UaDecoders, FullSignificantListEndsThePart)
{
    for (int k = 0; k < 199; ++k) UPA_add_sig(&rep, 100.0f + k, 0, 0);
    // One new pressure fits, the second ends the part; a pressure already in
    // the list would still have been merged before it.
    ASSERT_EQ(ttbb("57128 72469 00950 10456 11940 10456 22150 20456 "), 1);
    EXPECT_EQ(rep.numsig, 200);
    EXPECT_NE(sig_row(950), -1);
    EXPECT_EQ(sig_row(940), -1);
    EXPECT_FLOAT_EQ(rep.sig[50].t, 0);  // 150 hPa was not reached
}
TEST_F(UaDecodersReal, LandTempPartsAAndB)
{
    // 83746, 23 Feb 2023 00 UTC. 73001: day 23 (+50, knots), 00 UTC, Id 1.
    set_decode_hour(0);
    decode("sounding_83746_2023022300_abcd.txt", UPA_TTAA, "83746");
    EXPECT_EQ(rep.time, 0);
    EXPECT_EQ(rep.wmo, 83746);
    // 99017 25838 15003: surface 1017 hPa, 25.8 C, depression 3.8 -> 22.0, 150 deg 3 kt.
    expect_man(rep, 0, 1017, M, 25.8f, 22.0f, 150, 3);
    // 00156 25643 10003: 1000 hPa at 156 m, 25.6, depression 4.3 -> 21.3, 100/3.
    expect_man(rep, 1, 1000, 156, 25.6f, 21.3f, 100, 3);
    // 92838 20421 16503: 925 hPa at 838 m, 20.4, 2.1 -> 18.3, 165/3.
    expect_man(rep, 2, 925, 838, 20.4f, 18.3f, 165, 3);
    // 85567 17013 08508: 850 hPa at 1567 m, 17.0, 1.3 -> 15.7, 085/8.
    expect_man(rep, 3, 850, 1567, 17.0f, 15.7f, 85, 8);
    // 70204 08630 32507: 700 hPa at 3204 m (204: the 3000s), 8.6, 3.0 -> 5.6, 325/7.
    expect_man(rep, 4, 700, 3204, 8.6f, 5.6f, 325, 7);
    // 50592 07356 02010: 500 hPa at 5920 m, -7.3 (odd tenths), 6 -> -13.3, 020/10.
    expect_man(rep, 5, 500, 5920, -7.3f, -13.3f, 20, 10);
    // 40762 16725 30012: 400 hPa at 7620 m, -16.7, 2.5 -> -19.2, 300/12.
    expect_man(rep, 6, 400, 7620, -16.7f, -19.2f, 300, 12);
    // 30972 32530 29014: 300 hPa at 9720 m, -32.5, 3.0 -> -35.5, 290/14.
    expect_man(rep, 7, 300, 9720, -32.5f, -35.5f, 290, 14);
    // 25098 43138 29025: 250 hPa at 10980 m, -43.1, 3.8 -> -46.9, 290/25.
    expect_man(rep, 8, 250, 10980, -43.1f, -46.9f, 290, 25);
    // 20244 56350 30529: 200 hPa at 12440 m, -56.3, 5.0 -> -61.3, 305/29.
    expect_man(rep, 9, 200, 12440, -56.3f, -61.3f, 305, 29);
    // 15421 67160 29033: 150 hPa at 14210 m, -67.1, 10 -> -77.1, 290/33.
    expect_man(rep, 10, 150, 14210, -67.1f, -77.1f, 290, 33);
    // 10659 71165 27521: 100 hPa at 16590 m, -71.1, 15 -> -86.1, 275/21.
    expect_man(rep, 11, 100, 16590, -71.1f, -86.1f, 275, 21);
    // 88999 77999: neither tropopause nor maximum wind; 31313 ends the levels.
    EXPECT_FLOAT_EQ(rep.man[22].p, M);
    EXPECT_FLOAT_EQ(rep.man[23].p, M);

    // Part B of the same sounding (73008: Id 8 unused here).
    decode("sounding_83746_2023022300_abcd.txt", UPA_TTBB, "83746");
    const float b[][3] = {
        {1017, 25.8f, 22.0f},   // 00017 25838: the surface again, same row
        {903, 18.6f, 17.8f},    // 11903 18608
        {897, 19.0f, 15.6f},    // 22897 19034
        {853, 17.2f, 16.1f},    // 33853 17211
        {799, 15.6f, 11.1f},    // 44799 15645
        {714, 8.6f, 8.1f},      // 55714 08605
        {708, 9.0f, 6.8f},      // 66708 09022
        {692, 8.6f, 3.9f},      // 77692 08647
        {643, 5.4f, -0.6f},     // 88643 05456: depression 6
        {611, 2.4f, -0.5f},     // 99611 02429
        {550, -1.1f, -11.1f},   // 11550 01160: depression 10
        {462, -11.5f, -13.4f},  // 22462 11519
        {413, -15.3f, -17.6f},  // 33413 15323
        {338, -25.5f, -28.5f},  // 44338 25530
        {267, -39.3f, -42.6f},  // 55267 39333
        {193, -58.3f, -64.3f},  // 66193 58356
        {160, -66.7f, -73.7f},  // 77160 66757
        {147, -67.5f, -79.5f},  // 88147 67562
        {116, -74.7f, -83.7f},  // 99116 74759
        {104, -73.7f, -86.7f},  // 11104 73763
        {100, -71.1f, -86.1f},  // 22100 71165; then 21212 ends the part
    };
    ASSERT_EQ(rep.numsig, 21);
    for (int k = 0; k < 21; ++k) expect_sig(rep, k, b[k][0], b[k][1], b[k][2]);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 150, 3);
}

TEST_F(UaDecodersReal, LandTempPartsCAndD)
{
    // 83779, 23 Feb 2023 12 UTC. 73123: knots, Id 3: winds up to 30 hPa.
    decode("sounding_83779_2023022312.txt", UPA_TTCC, "83779");
    // 70865 71568 15020: 70 hPa at 18650 m, -71.5, depression 18 -> -89.5, 150/20.
    expect_man(rep, 12, 70, 18650, -71.5f, -89.5f, 150, 20);
    // 50064 67574 12519: 50 hPa at 20640 m (064: the 20000s), -67.5, 24 -> -91.5, 125/19.
    expect_man(rep, 13, 50, 20640, -67.5f, -91.5f, 125, 19);
    // 30380 58383 08535: 30 hPa at 23800 m, -58.3, 33 -> -91.3, 085/35.
    expect_man(rep, 14, 30, 23800, -58.3f, -91.3f, 85, 35);
    // 88906 77162 26018: tropopause at 90.6 hPa (tenths in part C), -77.1,
    // 12 -> -89.1, 260/18. 77999: no maximum wind.
    expect_man(rep, 22, 90.6f, M, -77.1f, -89.1f, 260, 18);
    EXPECT_FLOAT_EQ(rep.man[23].p, M);
    for (int s = 0; s <= 11; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;

    // 7312/: part D in tenths of hPa.
    decode("sounding_83779_2023022312.txt", UPA_TTDD, "83779");
    ASSERT_EQ(rep.numsig, 5);
    expect_sig(rep, 0, 90.6f, -77.1f, -89.1f);  // 11906 77162
    expect_sig(rep, 1, 58.5f, -70.3f, -90.3f);  // 22585 70370
    expect_sig(rep, 2, 54.2f, -70.9f, -90.9f);  // 33542 70970
    expect_sig(rep, 3, 44.5f, -63.9f, -91.9f);  // 44445 63978: depression 28
    expect_sig(rep, 4, 28.3f, -57.7f, -92.7f);  // 55283 57785: depression 35; 21212 ends
}

TEST_F(UaDecodersReal, LevelsLeftOutInRealPartsA)
{
    // 01001, day 29 11 UTC. 29111: day 29 in m/s, Id 1. Surface 1014 hPa,
    // yet neither 1000 nor 925 hPa is sent: 850 hPa follows the surface.
    decode("sounding_01001_day29_11.txt", UPA_TTAA, "01001");
    EXPECT_EQ(rep.time, 1100);
    const float k = 1.944f;
    // 99014 02617 32509: 1014 hPa, 2.6, 1.7 -> 0.9, 325 deg 9 m/s.
    expect_man(rep, 0, 1014, M, 2.6f, 0.9f, 325, 9 * k);
    EXPECT_FLOAT_EQ(rep.man[1].p, M);
    EXPECT_FLOAT_EQ(rep.man[2].p, M);
    // 85420 01341 35517: 850 hPa at 1420 m, -1.3, 4.1 -> -5.4, 355/17.
    expect_man(rep, 3, 850, 1420, -1.3f, -5.4f, 355, 17 * k);
    // 70947 07517 35025: 700 hPa at 2947 m (947: the 2000s), -7.5, -9.2, 350/25.
    expect_man(rep, 4, 700, 2947, -7.5f, -9.2f, 350, 25 * k);
    // 50550 21500 34537: 500 hPa at 5500 m, -21.5, depression 0, 345/37.
    expect_man(rep, 5, 500, 5500, -21.5f, -21.5f, 345, 37 * k);
    expect_man(rep, 6, 400, 7120, -30.9f, -37.9f, 350, 37 * k);     // 40712 30957 35037
    expect_man(rep, 7, 300, 9090, -46.5f, -53.5f, 350, 41 * k);     // 30909 46557 35041
    expect_man(rep, 8, 250, 10280, -55.3f, -62.3f, 350, 40 * k);    // 25028 55357 35040
    expect_man(rep, 9, 200, 11680, -59.5f, -68.5f, 350, 31 * k);    // 20168 59559 35031
    expect_man(rep, 10, 150, 13510, -53.1f, -75.1f, 335, 17 * k);   // 15351 53172 33517
    expect_man(rep, 11, 100, 16110, -56.5f, -87.5f, 355, 16 * k);   // 10611 56581 35516
    // 88218 60956 35539: tropopause 218 hPa, -60.9, -66.9, 355/39.
    expect_man(rep, 22, 218, M, -60.9f, -66.9f, 355, 39 * k);
    // 77237 35042 40110: maximum wind 237 hPa, 350/42; the shear group 40110
    // is passed over and 31313 ends the part.
    expect_man(rep, 23, 237, M, M, M, 350, 42 * k);

    // 52983, day 31 23 UTC, m/s: a station at 810 hPa; 1000, 925 and 850 hPa
    // lie under the ground and are left out, 700 hPa follows the surface.
    UPA_initialize(&rep);
    set_decode_hour(23);
    decode("bulletin_zczc_52983_day31_23.txt", UPA_TTAA, "52983");
    expect_man(rep, 0, 810, M, 13.8f, 4.8f, 0, 0);                   // 99810 13859 00000
    for (int s = 1; s <= 3; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    expect_man(rep, 4, 700, 3115, 12.0f, -2.0f, 325, 5 * k);         // 70115 12064 32505
    expect_man(rep, 5, 500, 5820, -8.3f, -38.3f, 350, 7 * k);        // 50582 08380 35007
    expect_man(rep, 6, 400, 7530, -17.1f, -19.7f, 255, 9 * k);       // 40753 17126 25509
    expect_man(rep, 7, 300, 9630, -30.9f, -36.9f, 235, 17 * k);      // 30963 30956 23517
    expect_man(rep, 8, 250, 10900, -38.1f, -57.1f, 280, 17 * k);     // 25090 38169 28017
    expect_man(rep, 9, 200, 12410, -47.1f, -65.1f, 275, 16 * k);     // 20241 47168 27516
    expect_man(rep, 10, 150, 14260, -58.7f, -75.7f, 285, 10 * k);    // 15426 58767 28510
    // 10674 689// 36008: 100 hPa at 16740 m, -68.9, no depression, 360/8.
    expect_man(rep, 11, 100, 16740, -68.9f, M, 360, 8 * k);
}

TEST_F(UaDecodersReal, ShipTempAllParts)
{
    // 9ZT9MRK, day 06 00 UTC, speeds in m/s (YY 06). Position 99602 70467:
    // 60.2 N, quadrant 7: 46.7 W; 22106 (Marsden square, units) passed over.
    set_decode_hour(0);
    const char* f = "feed_global_2026020600.txt";
    const float k = 1.944f;
    decode(f, UPA_UUAA, "9ZT9MRK");
    EXPECT_STREQ(rep.id, "9ZT9MRK");
    EXPECT_STREQ(rep.area, "SH");
    EXPECT_EQ(rep.wmo, 99999);
    EXPECT_FLOAT_EQ(rep.lat, 60.2f);
    EXPECT_FLOAT_EQ(rep.lon, -46.7f);
    EXPECT_FLOAT_EQ(rep.elev, 0);
    EXPECT_EQ(rep.time, 0);
    // 99997 04060 07010: surface 997 hPa, 4.0, depression 10 -> -6.0, 070/10 m/s.
    expect_man(rep, 0, 997, M, 4.0f, -6.0f, 70, 10 * k);
    // 85311 04161 08005: 850 hPa next (1000 under the ground, 925 left out),
    // 1311 m, -4.1, 11 -> -15.1, 080/5.
    expect_man(rep, 3, 850, 1311, -4.1f, -15.1f, 80, 5 * k);
    // 70811 14761 10507: 700 hPa at 2811 m, -14.7, -25.7, 105 deg 7 m/s.
    expect_man(rep, 4, 700, 2811, -14.7f, -25.7f, 105, 7 * k);
    expect_man(rep, 5, 500, 5270, -29.5f, -32.9f, 355, 2 * k);     // 50527 29534 35502: 355/2
    expect_man(rep, 6, 400, 6820, -42.3f, -44.9f, 115, 7 * k);     // 40682 42326 11507
    expect_man(rep, 7, 300, 8710, -56.5f, -60.2f, 150, 14 * k);    // 30871 56537 15014
    expect_man(rep, 8, 250, 9840, -64.7f, -68.5f, 145, 18 * k);    // 25984 64738 14518
    expect_man(rep, 9, 200, 11200, -60.7f, -69.7f, 180, 13 * k);   // 20120 60759 18013
    expect_man(rep, 10, 150, 13010, -56.9f, -80.9f, 200, 15 * k);  // 15301 56974 20015
    expect_man(rep, 11, 100, 15550, -61.3f, -90.3f, 200, 20 * k);  // 10555 61379 20020
    // 88225 67338 16516: tropopause 225 hPa, -67.3, -71.1, 165/16. 77999.
    expect_man(rep, 22, 225, M, -67.3f, -71.1f, 165, 16 * k);
    EXPECT_FLOAT_EQ(rep.man[23].p, M);

    decode(f, UPA_UUCC, "9ZT9MRK");
    expect_man(rep, 12, 70, 17760, -62.1f, -91.1f, 215, 32 * k);   // 70776 62179 21532
    expect_man(rep, 13, 50, 19840, -61.3f, -90.3f, 210, 42 * k);   // 50984 61379 21042
    expect_man(rep, 14, 30, 23070, -54.1f, -85.1f, 215, 54 * k);   // 30307 54181 21554
    expect_man(rep, 15, 20, 25700, -51.3f, -83.3f, 220, 62 * k);   // 20570 51382 22062
    EXPECT_FLOAT_EQ(rep.man[16].p, M);
    EXPECT_FLOAT_EQ(rep.man[22].p, 225);  // 88999 leaves part A's tropopause

    UPA_initialize(&rep);
    decode(f, UPA_UUBB, "9ZT9MRK");
    EXPECT_FLOAT_EQ(rep.lat, 60.2f);
    const float b[][3] = {
        {997, 4.0f, -6.0f},     // 00997 04060
        {982, 4.4f, -10.6f},    // 11982 04465
        {954, 3.6f, -12.4f},    // 22954 03666
        {801, -8.1f, -16.1f},   // 33801 08158
        {749, -10.7f, -21.7f},  // 44749 10761
        {670, -17.3f, -29.3f},  // 55670 17362
        {610, -22.7f, -25.0f},  // 66610 22723
        {552, -28.3f, -29.8f},  // 77552 28315
        {518, -27.7f, -30.7f},  // 88518 27730
        {257, -63.9f, -67.6f},  // 99257 63937
        {214, -63.1f, -67.9f},  // 11214 63148
        {189, -59.7f, -70.7f},  // 22189 59761
        {157, -56.1f, -77.1f},  // 33157 56171
        {150, -56.9f, -80.9f},  // 44150 56974
        {110, -61.3f, -90.3f},  // 55110 61379
        {100, -61.3f, -90.3f},  // 66100 61379; 21212 ends
    };
    ASSERT_EQ(rep.numsig, 16);
    for (int j = 0; j < 16; ++j) expect_sig(rep, j, b[j][0], b[j][1], b[j][2]);

    UPA_initialize(&rep);
    decode(f, UPA_UUDD, "9ZT9MRK");
    ASSERT_EQ(rep.numsig, 4);
    expect_sig(rep, 0, 54.2f, -62.1f, -91.1f);  // 11542 62179
    expect_sig(rep, 1, 41.2f, -56.3f, -87.3f);  // 22412 56381
    expect_sig(rep, 2, 32.3f, -56.7f, -86.7f);  // 33323 56780
    expect_sig(rep, 3, 22.3f, -47.9f, -80.9f);  // 44223 47983
}

TEST_F(UaDecodersReal, MobileTempPartB)
{
    // USBYZ01, 58168: day 8, 16 UTC. 99450 71107: 45.0 N, 110.7 W; 15640
    // and 19053 (square and elevation groups) passed over.
    set_decode_hour(16);
    decode("bulletin_mobile_iibb_and_74794.txt", UPA_IIBB, "USBYZ01");
    EXPECT_STREQ(rep.id, "USBYZ01");
    EXPECT_STREQ(rep.area, "MO");
    EXPECT_EQ(rep.time, 1600);
    EXPECT_FLOAT_EQ(rep.lat, 45.0f);
    EXPECT_FLOAT_EQ(rep.lon, -110.7f);
    const float b[][3] = {
        {810, 10.6f, 1.6f},     // 00810 10659: depression 9
        {766, 6.2f, -0.8f},     // 11766 06257
        {745, 6.6f, -1.4f},     // 22745 06658
        {600, -8.1f, -8.4f},    // 33600 08103: depression 0.3
        {553, -10.9f, -11.4f},  // 44553 10905
        {542, -12.5f, -17.0f},  // 55542 12545
        {530, -11.9f, -22.9f},  // 66530 11961
        {514, -12.7f, -43.7f},  // 77514 12781: depression 31
        {502, -13.9f, -48.9f},  // 88502 13985
        {499, -13.9f, -47.9f},  // 99499 13984
        {360, -30.7f, -46.7f},  // 11360 30766
        {340, -33.7f, -45.7f},  // 22340 33762
        {330, -35.5f, -40.5f},  // 33330 35550
        {323, -36.9f, -43.9f},  // 44323 36957; 21212 ends
    };
    ASSERT_EQ(rep.numsig, 14);
    for (int j = 0; j < 14; ++j) expect_sig(rep, j, b[j][0], b[j][1], b[j][2]);
}

// Long parts B of the global feed, read whole by the reader and decoded to
// their last level group: 72493's 51st group is 55283 47156, and 91212's
// part (1,900 characters) ends its levels with 55102 84556.
TEST_F(UaDecodersReal, LongPartsBReadToTheirLastLevel)
{
    set_decode_hour(0);
    decode("feed_global_2026020600.txt", UPA_TTBB, "72493");
    EXPECT_EQ(rep.numsig, 75);
    expect_sig(rep, 50, 283, -47.1f, -53.1f);
    expect_sig(rep, 74, 100, -63.7f, -86.7f);
    UPA_initialize(&rep);
    decode("feed_global_2026020600.txt", UPA_TTBB, "91212");
    EXPECT_EQ(rep.numsig, 123);
    expect_sig(rep, 122, 102, -84.5f, -90.5f);
}

// ---------------------------------------------------------------- decoded parts
//
// What the decoders return: every section of a part, in the code forms' own
// figures (tenths of hPa, metres, tenths of a degree, the depression code,
// degrees and the part's speed unit), whether the suite's record keeps it or
// not.

namespace {

constexpr int NONE = VOK_MISSING;

void expect_level(const ua::Level& lv, ua::LevelType type, int p10, int z, int t10, int dd, int dir,
                  int spd)
{
    SCOPED_TRACE(std::string(ua::level_type_name(type)) + " " + std::to_string(p10));
    EXPECT_EQ(lv.type, type);
    EXPECT_EQ(lv.p10, p10);
    EXPECT_EQ(lv.z, z);
    EXPECT_EQ(lv.t10, t10);
    EXPECT_EQ(lv.dd, dd);
    EXPECT_EQ(lv.dir, dir);
    EXPECT_EQ(lv.spd, spd);
}

}  // namespace

TEST_F(UaDecodersReal, PartAKeepsEveryTropopauseMaximumWindAndSondeGroup)
{
    // 40179, day 5 23 UTC in knots (55232), Id 2: winds up to 200 hPa.
    const std::string text = dec_test::real_part("feed_global_2026020600.txt", UPA_TTAA, "40179");
    ASSERT_FALSE(text.empty());
    const ua::DecodedPart p = ua::decode_temp_ac(ua::Kind::TTAA, text);
    EXPECT_EQ(p.status, ua::PartStatus::ok);
    EXPECT_EQ(p.id, "40179");
    EXPECT_EQ(p.day, 5);
    EXPECT_EQ(p.hour, 23);
    EXPECT_TRUE(p.knots);
    EXPECT_EQ(p.id_figure, 2);
    // The surface, eleven standard levels, two tropopauses, a maximum wind.
    ASSERT_EQ(p.levels.size(), 15u);
    using T = ua::LevelType;
    expect_level(p.levels[0], T::surface, 10080, NONE, 128, 19, 90, 2);         // 99008 12819 09002
    expect_level(p.levels[1], T::standard, 10000, 98, 160, 57, 175, 5);         // 00098 16057 17505
    expect_level(p.levels[4], T::standard, 7000, 3069, 6, 68, 250, 19);         // 70069 00668 25019
    expect_level(p.levels[5], T::standard, 5000, 5670, -163, 16, 225, 30);      // 50567 16316 22530
    expect_level(p.levels[9], T::standard, 2000, 11900, -579, 69, 255, 47);     // 20190 57969 25547
    // 15372 59977: above the last level Id gives a wind for.
    expect_level(p.levels[10], T::standard, 1500, 13720, -599, 77, NONE, NONE);
    EXPECT_FALSE(p.levels[10].wind_group());
    expect_level(p.levels[12], T::tropopause, 2150, NONE, -615, 50, 265, 49);   // 88215 61550 26549
    // 88127 62376 /////: a second tropopause, its wind group all solidi.
    expect_level(p.levels[13], T::tropopause, 1270, NONE, -623, 76, NONE, NONE);
    EXPECT_TRUE(p.levels[13].wind_group());
    // 66167 26061 411//: the maximum wind at the top of the wind sounding,
    // its shear 11 kt in the kilometre below, none given above.
    expect_level(p.levels[14], T::max_wind, 1670, NONE, NONE, NONE, 260, 61);
    EXPECT_EQ(p.levels[14].shear_below, 11);
    EXPECT_EQ(p.levels[14].shear_above, NONE);
    // 31313 42308 82305: sr 4, radiosonde 23, system 08, launched 23:05.
    ASSERT_TRUE(p.sonde.has_value());
    EXPECT_EQ(p.sonde->sr, 4);
    EXPECT_EQ(p.sonde->rara, 23);
    EXPECT_EQ(p.sonde->sasa, 8);
    EXPECT_EQ(p.sonde->launch_hour, 23);
    EXPECT_EQ(p.sonde->launch_minute, 5);
    EXPECT_EQ(p.sonde->sea_t10, NONE);
}

TEST_F(UaDecodersReal, PartBKeepsItsWindSectionsSondeAndClouds)
{
    // USBYZ01, 58168: knots. Fourteen temperature levels, a 21212 section,
    // 31313, 41414 and the 21212 section once more.
    const std::string text =
        dec_test::real_part("bulletin_mobile_iibb_and_74794.txt", UPA_IIBB, "USBYZ01");
    ASSERT_FALSE(text.empty());
    const ua::DecodedPart p = ua::decode_temp_bd(ua::Kind::IIBB, text);
    EXPECT_EQ(p.status, ua::PartStatus::ok);
    ASSERT_TRUE(p.position.has_value());
    EXPECT_EQ(p.position->lat10, 450);
    EXPECT_EQ(p.position->lon10, -1107);
    ASSERT_EQ(p.levels.size(), 14u + 2 * 12u);
    using T = ua::LevelType;
    // 00810 10659 ... 44323 36957.
    expect_level(p.levels[0], T::sig_temperature, 8100, NONE, 106, 59, NONE, NONE);
    expect_level(p.levels[13], T::sig_temperature, 3230, NONE, -369, 57, NONE, NONE);
    // 11810 12004 and 22810 21514: two winds at 810 hPa, as reported; the
    // first section ends with 33323 27590, and so does the second.
    expect_level(p.levels[14], T::sig_wind, 8100, NONE, NONE, NONE, 120, 4);
    expect_level(p.levels[15], T::sig_wind, 8100, NONE, NONE, NONE, 215, 14);
    expect_level(p.levels[25], T::sig_wind, 3230, NONE, NONE, NONE, 275, 90);
    expect_level(p.levels[37], T::sig_wind, 3230, NONE, NONE, NONE, 275, 90);
    EXPECT_TRUE(p.levels[37].knots);
    // 31313 40708 81624; 41414 21500.
    ASSERT_TRUE(p.sonde.has_value());
    EXPECT_EQ(p.sonde->rara, 7);
    EXPECT_EQ(p.sonde->launch_hour, 16);
    EXPECT_EQ(p.sonde->launch_minute, 24);
    EXPECT_EQ(p.clouds, "21500");
}

TEST_F(UaDecodersReal, PartsCAndDGiveTenthsOfHectopascals)
{
    // 83779: 88906 in part C is 90.6 hPa, 11906 in part D too; 11935 25516
    // opens part D's winds at 93.5 hPa.
    const char* f = "sounding_83779_2023022312.txt";
    using T = ua::LevelType;
    const auto c = ua::decode_temp_ac(ua::Kind::TTCC, dec_test::real_part(f, UPA_TTCC, "83779"));
    ASSERT_EQ(c.levels.size(), 4u);
    expect_level(c.levels[0], T::standard, 700, 18650, -715, 68, 150, 20);   // 70865 71568 15020
    expect_level(c.levels[3], T::tropopause, 906, NONE, -771, 62, 260, 18);  // 88906 77162 26018
    const auto d = ua::decode_temp_bd(ua::Kind::TTDD, dec_test::real_part(f, UPA_TTDD, "83779"));
    ASSERT_EQ(d.levels.size(), 5u + 22u);
    EXPECT_EQ(d.levels[0].p10, 906);
    expect_level(d.levels[5], T::sig_wind, 935, NONE, NONE, NONE, 255, 16);
    EXPECT_EQ(d.id_figure, NONE);  // 7312/
}

TEST_F(UaDecoders, DepressionCode99IsFortyNineDegreesInEveryPart)
{
    // Code table 0777: 56 to 99 are whole degrees plus 50, so 99 is 49
    // degrees. The part keeps the code; the suite's record reads it as no
    // dew point at the standard levels (DewPointDd99MissingInPartA).
    const ua::DecodedPart a = ua::decode_temp_ac(ua::Kind::TTAA, "57121 72469 99838 13499 22005 ");
    const ua::DecodedPart b = ua::decode_temp_bd(ua::Kind::TTBB, "57128 72469 00838 13499 ");
    const ua::DecodedPart c = ua::decode_temp_ac(ua::Kind::TTCC, "57121 72469 70830 61199 27535 ");
    for (const ua::DecodedPart* p : {&a, &b, &c}) {
        ASSERT_EQ(p->levels.size(), 1u);
        EXPECT_EQ(p->levels[0].dd, 99);
        EXPECT_EQ(ua::dew_point10(p->levels[0]), p->levels[0].t10 - 490);
    }
}

// A garbled group ended the part: the sections after it were lost.
TEST_F(UaDecodersReal, SectionsAfterAGarbledGroupAreReadAndTheGroupNoted)
{
    // 13369's part D: "6603" has lost a figure. The five levels before it
    // stay, the note says where it is, and its 21212 and 31313 sections,
    // each told by its opening group and the group it begins with, are read.
    const std::string text = dec_test::real_part("feed_global_2026020600.txt", UPA_TTDD, "13369");
    ASSERT_FALSE(text.empty());
    const ua::DecodedPart p = ua::decode_temp_bd(ua::Kind::TTDD, text);
    EXPECT_EQ(p.status, ua::PartStatus::truncated);
    EXPECT_EQ(p.note, "group 12 \"6603\" at 72: no level group");
    EXPECT_EQ(p.stop_offset, 72);
    EXPECT_EQ(text.substr(72, 5), "6603 ");
    ASSERT_EQ(p.levels.size(), 15u);
    // 55139 52982: 13.9 hPa.
    expect_level(p.levels[4], ua::LevelType::sig_temperature, 139, NONE, -529, 82, NONE, NONE);
    EXPECT_EQ(p.levels[14].type, ua::LevelType::sig_wind);
    EXPECT_EQ(p.levels[14].p10, 818);
    ASSERT_TRUE(p.sonde.has_value());
    EXPECT_EQ(p.sonde->launch_minute, 15);
    // A wind level whose number is garbled ("56000" between 44254 and
    // 66209) is passed over, and the section goes on.
    const ua::DecodedPart w = ua::decode_temp_bd(
        ua::Kind::TTBB, "56008 78807 21212 44254 20514 56000 20517 66209 15013 77186 14025 ");
    ASSERT_EQ(w.levels.size(), 3u);
    EXPECT_EQ(w.levels[2].p10, 1860);
    EXPECT_EQ(w.status, ua::PartStatus::truncated);
    // A part that ends at a regional section, or holds nothing, is whole.
    const ua::DecodedPart regional = ua::decode_temp_ac(ua::Kind::TTAA, "5600/ 72786 51515 10159 ");
    EXPECT_EQ(regional.status, ua::PartStatus::ok);
    EXPECT_TRUE(regional.note.empty());
    EXPECT_EQ(ua::decode_temp_ac(ua::Kind::TTAA, "56001 72520 NIL ").status, ua::PartStatus::nil);
}

// A part that leaves a group out keeps what an earlier part of the station
// gave there; a group of solidi is read, and blanks it.
TEST_F(UaDecoders, GroupLeftOutKeepsEarlierValues)
{
    ASSERT_EQ(ppaa("57121 72469 44250 28040 29045 "), 1);  // 500 and 400 hPa winds
    // Id 7: no wind groups above 700 hPa.
    const std::string part = "57127 72469 99838 13456 22005 85512 04308 25620 70062 13556 ";
    ASSERT_EQ(ttaa(part + "27535 50570 20164 40728 30362 "), 1);
    expect_man(rep, 5, 500, 5700, -20.1f, -34.1f, 280, 40);
    expect_man(rep, 6, 400, 7280, -30.3f, -42.3f, 290, 45);
    ASSERT_EQ(ttaa(part + "///// "), 1);
    expect_man(rep, 4, 700, 3062, -13.5f, -19.5f, M, M);
}
