// Soundings from parts: the decode window on the full date, later copies of
// a part, the levels of several parts in one profile, and the CSV form.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ua_sounding.h"
#include "ua_write.h"

namespace {

using namespace ua;

DecodeWindow window_at(int year, int month, int day, int hour, int pre = -120, int post = 120)
{
    DecodeWindow w;
    w.base = utc_seconds(year, month, day, hour);
    w.begin = w.base + 60LL * pre;
    w.end = w.base + 60LL * post;
    return w;
}

PartView part(Kind kind, const char* id, const std::string& text)
{
    PartView p;
    p.kind = kind;
    p.id = id;
    p.text = text;
    return p;
}

std::string iso(std::int64_t t)
{
    const UtcTime u = utc_time(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d", u.year, u.month, u.day, u.hour);
    return buf;
}

std::string csv_of(const std::vector<Sounding>& soundings)
{
    char* buf = nullptr;
    std::size_t len = 0;
    FILE* fp = open_memstream(&buf, &len);
    EXPECT_TRUE(write_csv(fp, soundings));
    std::fclose(fp);
    std::string out(buf, len);
    std::free(buf);
    return out;
}

}  // namespace

TEST(DecodeWindow, DayOfTheMonthIsPlacedAcrossMonthAndYearEnds)
{
    // Day 31 at 23 UTC for a decode time of 1 January 00 UTC is the evening
    // before; day 1 for a decode time of 31 December is the next morning.
    EXPECT_EQ(iso(*observation_time(window_at(2026, 1, 1, 0), 31, 23)), "2025-12-31 23");
    EXPECT_EQ(iso(*observation_time(window_at(2025, 12, 31, 23), 1, 0)), "2026-01-01 00");
    EXPECT_EQ(iso(*observation_time(window_at(2024, 3, 1, 0), 29, 23)), "2024-02-29 23");
    EXPECT_EQ(observation_time(window_at(2024, 3, 1, 0), 32, 0), std::nullopt);
}

// The window compared hours only: a part of 6 February 2026 was written
// under a decode time of 1 January 2019, and the days of one month at one
// hour were merged into one record.
TEST(SoundingSet, WindowTestsTheFullDateNotTheHourAlone)
{
    SoundingSet set(window_at(2026, 2, 5, 21));
    const std::string day5 = "55211 72469 90012 27010 ";
    const std::string day6 = "56211 72469 90012 28010 ";
    EXPECT_EQ(set.add(part(Kind::PPBB, "72469", day5)), PartFate::kept);
    EXPECT_EQ(set.add(part(Kind::PPBB, "72469", day6)), PartFate::outside_window);
    EXPECT_EQ(set.add(part(Kind::PPBB, "72469", "5521 72469 ")), PartFate::malformed);
    EXPECT_EQ(set.stats().malformed_ids, std::vector<std::string>{"PPBB 72469"});
    SoundingSet old(window_at(2019, 1, 1, 0));
    EXPECT_EQ(old.add(part(Kind::PPBB, "72469", "56001 72469 90012 27010 ")), PartFate::outside_window);
}

// The same parts read twice changed the result: a retransmission was merged
// level by level into the first copy. A later copy replaces the earlier one
// whole, a NIL part replaces nothing, and the same input twice gives the
// same soundings.
TEST(SoundingSet, LaterCopyReplacesThePartWholeAndRepeatsChangeNothing)
{
    const std::string first = "56001 72469 99838 13456 22005 00144 ///// ///// 92812 10656 24010 ";
    const std::string again = "56001 72469 99840 13456 22005 ";
    const auto run = [&](int times) {
        SoundingSet set(window_at(2026, 2, 6, 0));
        for (int i = 0; i < times; ++i) {
            set.add(part(Kind::TTAA, "72469", first));
            set.add(part(Kind::TTAA, "72469", again));
            set.add(part(Kind::TTAA, "72469", "56001 72469 NIL "));
        }
        EXPECT_EQ(set.stats().nil, times);
        return set.build();
    };
    const auto once = run(1);
    ASSERT_EQ(once.size(), 1u);
    ASSERT_EQ(once[0].levels.size(), 1u);  // the surface of the later copy alone
    EXPECT_EQ(once[0].levels[0].p10, 8400);
    EXPECT_EQ(csv_of(run(2)), csv_of(once));
}

// Levels of several parts make one profile: a level two parts give alike is
// one row, rows with a pressure go by decreasing pressure and the winds by
// altitude follow by increasing altitude; the launch time of 31313 at 23:03
// for a sounding of 00 UTC is the evening before.
TEST(SoundingSet, PartsOfAStationMakeOneOrderedProfile)
{
    SoundingSet set(window_at(2026, 2, 6, 0));
    set.add(part(Kind::PPBB, "72469", "56000 72469 90012 27010 28015 29520 "));
    set.add(part(Kind::TTAA, "72469", "56001 72469 99838 13456 22005 85512 07256 25515 31313 58708 82303 "));
    set.add(part(Kind::PPAA, "72469", "56000 72469 55185 25515 "));
    set.add(part(Kind::TTBB, "72469", "56008 72469 00838 13456 11812 12250 21212 00838 22005 11800 23010 "));
    const auto s = set.build();
    ASSERT_EQ(s.size(), 1u);
    std::vector<std::string> rows;
    for (const SoundingLevel& l : s[0].levels)
        rows.push_back(std::string(level_type_name(l.type)) + " " + std::to_string(l.p10) + " " +
                       std::to_string(l.z));
    // 850 hPa lies below the surface of 838 hPa; the PILOT wind at 850 hPa
    // is the one of part A, which that row holds once.
    const std::vector<std::string> want = {
        "standard 8500 1512",      "surface 8380 -9999", "sig_temperature 8380 -9999",
        "sig_wind 8380 -9999",     "sig_temperature 8120 -9999", "sig_wind 8000 -9999",
        "sig_wind -9999 0",        "sig_wind -9999 300",         "sig_wind -9999 600",
    };
    EXPECT_EQ(rows, want);
    ASSERT_TRUE(s[0].launch_time);
    EXPECT_EQ(iso(*s[0].launch_time), "2026-02-05 23");
}

TEST(CsvForm, HeaderQuotingAndExactFigures)
{
    Sounding s;
    s.id = "01241";
    s.wmo = 1241;
    s.name = "Denver, \"CO\"";
    s.lat = 39.77f;
    s.time = utc_seconds(2026, 2, 6, 0);
    SoundingLevel a;
    a.type = LevelType::standard;
    a.p10 = 975;
    a.z = 16300;
    a.t10 = -5;
    a.dd = 56;
    a.dir = 275;
    a.spd = 35;
    a.knots = true;
    SoundingLevel b;
    b.type = LevelType::sig_wind;
    b.z = 600;
    b.spd = 7;
    s.levels = {a, b};
    const std::string csv = csv_of({s});
    EXPECT_EQ(csv, std::string(CSV_HEADER) + "\n" +
                       "01241,01241,\"Denver, \"\"CO\"\"\",39.77,,,2026-02-06T00:00Z,,standard,97.5,16300,-0.5,-6.5,275,18.00554\n"
                       "01241,01241,\"Denver, \"\"CO\"\"\",39.77,,,2026-02-06T00:00Z,,sig_wind,,600,,,,7\n");
}

// A second tropopause went to the record's overflow row without its
// pressure, which the netCDF form wrote as a level without one. The
// sounding keeps both with their pressures; the record the forms are
// written from leaves the overflow row empty.
TEST(SoundingSet, SecondTropopauseKeepsItsPressureAndFillsNoRowWithoutOne)
{
    SoundingSet set(window_at(2026, 2, 6, 0));
    set.add(part(Kind::TTAA, "72469", "56001 72469 99838 13456 22005 88210 58156 26057 88150 60157 27050 "));
    const auto s = set.build();
    ASSERT_EQ(s.size(), 1u);
    std::vector<int> tropopauses;
    for (const SoundingLevel& l : s[0].levels)
        if (l.type == LevelType::tropopause) tropopauses.push_back(l.p10);
    EXPECT_EQ(tropopauses, (std::vector<int>{2100, 1500}));
    static UPA_report rep;
    UPA_initialize(&rep);
    RecordOptions o;
    o.overflow_row = false;
    const Sounding* one[] = {&s[0]};
    fill_record(one, &rep, o);
    EXPECT_FLOAT_EQ(rep.man[UPA_SLOT_TROPO].p, 210.0f);
    for (const float v : {rep.man[UPA_SLOT_OVERFLOW].p, rep.man[UPA_SLOT_OVERFLOW].t, rep.man[UPA_SLOT_OVERFLOW].dir})
        EXPECT_EQ(v, VOK_MISSING_F);
}

// Soundings come by station in the order each was first offered, whether a
// land station's five figures or a call sign name it ("-2469" is no station
// number), and each station's soundings by time, whatever order their parts
// came in; the kept copies of a sounding in the order they were read.
TEST(SoundingSet, SoundingsComeByStationOfFirstOfferThenByTime)
{
    SoundingSet set(window_at(2026, 2, 6, 0, -720, 720));
    set.add(part(Kind::UUAA, "WTEU", "WTEU 56001 99500 70200 "));
    set.add(part(Kind::TTAA, "72469", "56001 72469 99838 13456 22005 "));
    set.add(part(Kind::TTAA, "01001", "55121 01001 99838 13456 22005 "));
    set.add(part(Kind::TTAA, "72469", "55121 72469 99838 13456 22005 "));
    set.add(part(Kind::PPBB, "-2469", "56000 -2469 90012 27010 "));
    set.add(part(Kind::TTBB, "01001", "55128 01001 00838 13456 "));
    std::vector<std::string> got;
    for (const Sounding& s : set.build()) {
        std::string kinds;
        for (const DecodedPart& p : s.parts) kinds += " " + std::string(kind_name(p.kind));
        got.push_back(s.id + " " + iso(s.time) + (s.platform == Platform::ship ? " ship" : "") + kinds);
    }
    const std::vector<std::string> want = {
        "WTEU 2026-02-06 00 ship UUAA", "72469 2026-02-05 12 TTAA", "72469 2026-02-06 00 TTAA",
        "01001 2026-02-05 12 TTAA TTBB", "-2469 2026-02-06 00 PPBB",
    };
    EXPECT_EQ(got, want);
}
