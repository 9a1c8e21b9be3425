#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include <unistd.h>

#include "test_util.h"
#include "vok.h"

namespace {

using testutil::Capture;
using testutil::StdinFeed;
using testutil::read_file;
using testutil::count_of;

Date make(int year, int month, int day, int hour = VOK_MISSING, int min = VOK_MISSING,
          int sec = VOK_MISSING)
{
    Date d;
    DATE_init(&d);
    d.year = year;
    d.month = month;
    d.day = day;
    d.hour = hour;
    d.min = min;
    d.sec = sec;
    return d;
}

// Every field, unset ones as -9999: "Y-M-D h:m:s jday wday".
std::string show(const Date& d)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%d:%d %d %d", d.year, d.month, d.day, d.hour,
                  d.min, d.sec, d.jday, d.wday);
    return buf;
}

std::string label_of(Date d)
{
    char buf[DATE_LABEL_LEN];
    EXPECT_EQ(DATE_make_label(&d, buf, sizeof buf), 0);
    return buf;
}

class DateTest : public ::testing::Test {
protected:
    void SetUp() override { clean(); }
    void TearDown() override { clean(); }
    static void clean()
    {
        DATE_reset();
        FILE_clear_time();
        RES_clear();
        MESS_reset();
    }
};

using DateBasics = DateTest;
using DateLabel = DateTest;
using DateWindow = DateTest;
using FileSetTime = DateTest;

} // namespace

// ---------------------------------------------------------------- dates

TEST_F(DateBasics, SecondsOfKnownDatesAndCorrectionsInPlace)
{
    Date d = make(1970, 1, 1, 0, 0, 0);
    EXPECT_EQ(DATE_num_sec(&d), 0);
    d = make(2000, 3, 1, 0, 0, 0);
    EXPECT_EQ(DATE_num_sec(&d), 951868800);
    d = make(2024, 2, 29, 12, 0, 0);
    EXPECT_EQ(DATE_num_sec(&d), 1709208000);

    d = make(24, 13, 32, 24, 60, -1);
    d.jday = 77;
    d.wday = 9;
    DATE_num_sec(&d);
    EXPECT_EQ(show(d), "2024-1-1 0:0:0 77 9");
    for (auto [in, out] : std::vector<std::pair<int, int>>{
             {99, 1999}, {0, 2000}, {49, 2049}, {50, 1950}, {150, 2050}, {VOK_MISSING, 1980}}) {
        Date y = make(in, 6, 1);
        DATE_num_sec(&y);
        EXPECT_EQ(y.year, out) << in;
    }
    Date unset, ref = make(1980, 1, 1, 0, 0, 0);
    DATE_init(&unset);
    EXPECT_EQ(DATE_num_sec(&unset), DATE_num_sec(&ref));
    // Day 0 is kept and stands for the last day of the month before.
    Date zero = make(2024, 3, 0, 6, 0, 0), feb29 = make(2024, 2, 29, 6, 0, 0);
    EXPECT_EQ(DATE_num_sec(&zero), DATE_num_sec(&feb29));
    EXPECT_EQ(zero.day, 0);
}

TEST_F(DateBasics, SecondsAgreeWithTheSystemBreakdownFrom1902To2099)
{
    // Every 1000003 seconds (about 11.6 days, drifting through all hours).
    for (std::int64_t s = -2145916800LL; s < 4102444800LL; s += 1000003) {
        Date d;
        ASSERT_EQ(DATE_get_gmdate(&s, &d), 0);
        int jday = 0;
        DATE_monday_julian(d.year, d.month, d.day, &jday);
        ASSERT_EQ(jday, d.jday) << s;
        ASSERT_EQ(DATE_num_sec(&d), s);
    }
}

TEST_F(DateBasics, LeapYearsAndMonthNames)
{
    EXPECT_EQ(DATE_is_leap(2024) * 1000 + DATE_is_leap(2000) * 100 + DATE_is_leap(1900) * 10 +
                  DATE_is_leap(2100),
              1100);
    EXPECT_EQ(DATE_is_leap(2023), 0);
    EXPECT_STREQ(DATE_month(1), "JAN");
    EXPECT_STREQ(DATE_month(12), "DEC");
    EXPECT_STREQ(DATE_month(0), "");
    EXPECT_STREQ(DATE_month(13), "");
    EXPECT_STREQ(DATE_month_lower(6), "jun");
    EXPECT_STREQ(DATE_month_lower(VOK_MISSING), "");
    for (int m = 1; m <= 12; ++m) {
        EXPECT_EQ(DATE_decode_month(DATE_month(m)), m);
        EXPECT_EQ(DATE_decode_month(DATE_month_lower(m)), m);
    }
    for (const char* text : {"Jan", "jAN", "Jun", "J", "", "XYZ"})
        EXPECT_EQ(DATE_decode_month(text), 0) << text;
    EXPECT_EQ(DATE_decode_month("Feb"), 2);  // decided by the first letter alone
    EXPECT_EQ(DATE_decode_month(nullptr), 0);
}

TEST_F(DateBasics, DayOfYearConversionsClampAndRoundTrip)
{
    auto md = [](int year, int jday) {
        int m = 0, d = 0;
        DATE_julian_monday(year, jday, &m, &d);
        return m * 100 + d;
    };
    EXPECT_EQ(md(2023, 32), 201);
    EXPECT_EQ(md(2024, 366), 1231);
    EXPECT_EQ(md(2023, 400), 1231);
    EXPECT_EQ(md(2023, 0), 101);
    EXPECT_EQ(md(2024, 60), 229);
    int j = 0;
    DATE_monday_julian(2024, 0, 5, &j);
    EXPECT_EQ(j, 5);
    DATE_monday_julian(2023, 13, 31, &j);
    EXPECT_EQ(j, 365);
    for (int year : {2023, 2024, 1900, 2000}) {
        for (int jd = 1; jd <= 365 + DATE_is_leap(year); ++jd) {
            DATE_monday_julian(year, md(year, jd) / 100, md(year, jd) % 100, &j);
            ASSERT_EQ(j, jd) << year;
        }
    }
}

TEST_F(DateBasics, BreakdownCurrentTextAndPrint)
{
    std::int64_t s = 951868800;
    Date d;
    ASSERT_EQ(DATE_get_gmdate(&s, &d), 0);
    EXPECT_EQ(show(d), "2000-3-1 0:0:0 61 3");
    // A time far beyond any calendar the system keeps is refused, not wrapped.
    std::int64_t huge = INT64_MAX;
    EXPECT_EQ(DATE_get_gmdate(&huge, &d), -1);
    EXPECT_EQ(show(d), "2000-3-1 0:0:0 61 3");

    std::int64_t now = 0;
    EXPECT_EQ(DATE_get_time(&now), now);
    EXPECT_GT(now, 1700000000);
    char buf[DATE_LABEL_LEN];
    DATE_get_current_str(buf, sizeof buf);
    EXPECT_TRUE(std::regex_match(buf, std::regex("\\d\\d [A-Z]{3} \\d\\d  \\d\\d:\\d\\d:\\d\\dZ")))
        << buf;
    char small[6] = "#####";
    DATE_get_current_str(small, 4);
    EXPECT_EQ(std::strlen(small), 3u);
    EXPECT_EQ(small[4], '#');

    Capture out;
    Date p = make(2024, 1, 15, 12, 5, 0);
    DATE_print(M_MESS, &p);
    DATE_print(M_DEBUG & M_SUB_C, &p);  // debug level is off
    EXPECT_EQ(out.take(), "2024/1/15 12:05:00\n");
}

// ---------------------------------------------------------------- labels

TEST_F(DateLabel, TwentyFourHourForms)
{
    EXPECT_EQ(label_of(make(2024, 1, 15, 12, 0)), "1200Z 15 JAN 24");
    EXPECT_EQ(label_of(make(2024, 1, 5, 12)), "12Z  5 JAN 24");
    EXPECT_EQ(label_of(make(2024, 1, 5)), " 5 JAN 24");
    EXPECT_EQ(label_of(make(2024, 1, VOK_MISSING)), "JAN 24");
    EXPECT_EQ(label_of(make(2024, VOK_MISSING, VOK_MISSING)), "24");
    EXPECT_EQ(label_of(make(VOK_MISSING, VOK_MISSING, VOK_MISSING)), "80");
    // Out-of-range fields count as their defaults, without touching the record.
    Date bad = make(-5, 14, 40, 30, 75);
    EXPECT_EQ(label_of(bad), "0000Z  1 JAN 80");
    EXPECT_EQ(bad.month, 14);
}

TEST_F(DateLabel, TwelveHourForms)
{
    DATE_set_TZ("+EST");
    EXPECT_EQ(label_of(make(2024, 1, 15, 0, 5)), "12:05 AM EST 15 JAN 24");
    EXPECT_EQ(label_of(make(2024, 1, 15, 12, 30)), "12:30 PM EST 15 JAN 24");
    EXPECT_EQ(label_of(make(2024, 1, 15, 13)), "1 PM EST 15 JAN 24");
    EXPECT_EQ(label_of(make(2024, 1, 15, 11)), "11 AM EST 15 JAN 24");
    EXPECT_EQ(label_of(make(2024, 1, 15, 0)), "12 AM EST 15 JAN 24");
    DATE_set_TZ("-EST");
    EXPECT_EQ(label_of(make(2024, 1, 15, 0, 5)), "12:05 AM EST [0005Z] 15 JAN 24");
    EXPECT_EQ(label_of(make(2024, 1, 15, 19)), "7 PM EST [19Z] 15 JAN 24");
}

TEST_F(DateLabel, OffsetSwitchesToLocalMinuteForms)
{
    DATE_set_TZ("-EST:-5");
    EXPECT_EQ(label_of(make(2024, 1, 15, 12)), "7:00 AM EST [1200Z] 15 JAN 24");
    Date cross = make(24, 1, 1, 3);
    char buf[DATE_LABEL_LEN];
    ASSERT_EQ(DATE_make_label(&cross, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "10:00 PM EST [0300Z] 31 DEC 23");
    EXPECT_EQ(show(cross), "2024-1-1 3:0:0 -9999 -9999");  // corrected in place

    DATE_reset();
    DATE_set_TZ("IST:5.5");  // no sign: the clock stays 24-hour
    EXPECT_EQ(label_of(make(2024, 1, 15, 12)), "1730 IST 15 JAN 24");
}

TEST_F(DateLabel, ZoneTextsOfAnyShape)
{
    const std::string big_digits(10000, '9');
    for (const std::string& tz :
         {std::string(), std::string("+"), std::string("-"), std::string(":::"),
          std::string("EST:"), std::string("EST:1e30"), std::string("EST:nan"),
          std::string("EST:inf"), std::string("ABCDEFG:3"), "EST:" + big_digits,
          std::string(10000, 'x'), std::string("+-+-"), big_digits}) {
        DATE_reset();
        DATE_set_TZ(tz.c_str());
        // No usable offset: the hour form without minutes stays.
        std::string label = label_of(make(2024, 1, 15, 12));
        EXPECT_EQ(label.find("12"), 0u) << tz.substr(0, 20) << label;
        EXPECT_EQ(label.find(':'), std::string::npos) << tz.substr(0, 20) << label;
    }
    DATE_set_TZ(nullptr);
}

TEST_F(DateLabel, BufferIsNeverOverrun)
{
    DATE_set_TZ("-ABCD:-11");
    Date d = make(2024, 12, 31, 12, 59);
    char buf[64];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(DATE_make_label(&d, buf, 10), -1);
    EXPECT_EQ(buf[0], '\0');
    for (std::size_t i = 10; i < sizeof buf; ++i) ASSERT_EQ(buf[i], '#');
    EXPECT_EQ(DATE_make_label(&d, nullptr, 40), -1);
    EXPECT_EQ(DATE_make_label(&d, buf, 0), -1);
    ASSERT_EQ(DATE_make_label(&d, buf, DATE_LABEL_LEN), 0);
    EXPECT_STREQ(buf, "1:59 AM ABCD [1259Z] 31 DEC 24");
}

TEST_F(DateLabel, ReadingTheFiveForms)
{
    auto read = [](const char* label) {
        Date d = make(1, 2, 3, 4, 5, 6);
        EXPECT_EQ(DATE_decode_label(label, &d), 0);
        return show(d);
    };
    EXPECT_EQ(read("1200Z 15 JAN 24"), "2024-1-15 12:0:-9999 -9999 -9999");
    EXPECT_EQ(read(" 930Z 15 JAN 24"), "2024-1-15 9:30:-9999 -9999 -9999");
    EXPECT_EQ(read("12Z 15 JAN 24"), "2024-1-15 12:-9999:-9999 -9999 -9999");
    EXPECT_EQ(read("data of 12:30:45Z  1 FEB 99"), "1999-2-1 12:30:45 -9999 -9999");
    EXPECT_EQ(read("run   06Z  1 DEC 23"), "2023-12-1 6:-9999:-9999 -9999 -9999");
    EXPECT_EQ(read("24 6 15 18"), "2024-6-15 18:-9999:-9999 -9999 -9999");
    // Mixed-case month names are not months.
    EXPECT_EQ(read("1200Z 15 Jan 24"), "2024-0-15 12:0:-9999 -9999 -9999");

    const std::string unset = "-9999--9999--9999 -9999:-9999:-9999 -9999 -9999";
    for (const std::string& t : {std::string(), std::string("Z"), std::string("JAN 24"),
                                 std::string("123456789"), std::string("-----"),
                                 std::string("+-+-+-"), std::string(10000, 'x'),
                                 std::string(10000, '9'), std::string(10000, ' '),
                                 std::string(10000, '-')})
        EXPECT_EQ(read(t.c_str()), unset) << t.substr(0, 20);
    Date d;
    EXPECT_EQ(DATE_decode_label(nullptr, &d), -1);
    EXPECT_EQ(show(d), unset);
    EXPECT_EQ(DATE_decode_label("1200Z 15 JAN 24", nullptr), -1);
}

TEST_F(DateLabel, WrittenAndReadBackGivesTheSameDate)
{
    for (int year : {1999, 2000, 2024, 2049}) {
        for (int month = 1; month <= 12; month += 5) {
            for (int day : {1, 9, 28}) {
                for (int hour : {0, 9, 12, 23}) {
                    for (int min : {VOK_MISSING, 0, 5, 59}) {
                        Date in = make(year, month, day, hour, min), out;
                        DATE_decode_label(label_of(in).c_str(), &out);
                        ASSERT_EQ(show(out), show(in)) << label_of(in);
                    }
                }
            }
        }
    }
}

// ---------------------------------------------------------------- decode window

namespace {

// Decode for a file date with an optional decode_hour text; the printed lines.
std::string decode_for(const Date& file, const char* decode_hour)
{
    RES_clear();
    if (decode_hour) RES_put("decode_hour", decode_hour);
    Capture out;
    DATE_set_datim(&file);
    return out.take();
}

int decode_hhmm()
{
    Date d;
    DATE_get_datim(&d);
    return d.hour * 100 + d.min;
}

// The trace line of one check: report time, window start and end, verdict.
std::string trace(int hhmm)
{
    MESS_set(1, M_DEBUG & M_SUB_C);
    Capture out;
    DATE_chk_range(hhmm);
    std::string text = out.take();
    MESS_set(-1, M_DEBUG & M_SUB_C);
    return text;
}

} // namespace

TEST_F(DateWindow, RangeTakesEffectAtTheNextDecodeTime)
{
    DATE_set_range(-120, 120);
    decode_for(make(2024, 1, 15, 12), nullptr);
    EXPECT_EQ(decode_hhmm(), 1200);
    EXPECT_EQ(DATE_chk_range(1000), 1);
    EXPECT_EQ(DATE_chk_range(1400), 1);
    EXPECT_EQ(DATE_chk_range(959), 0);
    EXPECT_EQ(DATE_chk_range(1401), 0);
    EXPECT_EQ(DATE_chk_range(VOK_MISSING), 0);

    DATE_set_range(0, 0);
    EXPECT_EQ(DATE_chk_range(1000), 1);
    decode_for(make(2024, 1, 15, 12), nullptr);
    EXPECT_EQ(DATE_chk_range(1000), 0);
    EXPECT_EQ(DATE_chk_range(1200), 1);
}

TEST_F(DateWindow, ReportsArePlacedAcrossMidnight)
{
    DATE_set_range(-120, 120);
    decode_for(make(2024, 1, 15, 0), nullptr);
    EXPECT_EQ(DATE_chk_range(2300), 1);
    EXPECT_EQ(trace(2300), "2300 -3600 -7200-7200 = 1\n");
    EXPECT_EQ(trace(2200), "2200 -7200 -7200-7200 = 1\n");
    EXPECT_EQ(trace(1200), "1200 -43200 -7200-7200 = 0\n");
    EXPECT_EQ(trace(130), "130 5400 -7200-7200 = 1\n");

    decode_for(make(2024, 1, 15, 23), nullptr);
    EXPECT_EQ(trace(0), "0 3600 -7200-7200 = 1\n");
    EXPECT_EQ(trace(1100), "1100 43200 -7200-7200 = 0\n");
    EXPECT_EQ(trace(1200), "1200 -39600 -7200-7200 = 0\n");
    EXPECT_EQ(trace(2210), "2210 -3000 -7200-7200 = 1\n");

    // Without the trace level nothing is written.
    Capture out;
    DATE_chk_range(2300);
    EXPECT_EQ(out.take(), "");
}

TEST_F(DateWindow, HourAndMinuteForms)
{
    DATE_set_range(-120, 120);
    const Date file = make(2024, 1, 15, 6, 40);
    EXPECT_EQ(decode_for(file, "12"), "Decoding for: 12:00Z\n");
    EXPECT_EQ(decode_hhmm(), 1200);
    EXPECT_EQ(trace(1200), "1200 0 -7200-7200 = 1\n");

    EXPECT_EQ(decode_for(file, "12-60+30"),
              "Decoding for: 12:00Z\nDecoding range: -60 +30 mins\n");
    EXPECT_EQ(trace(1200), "1200 0 -3600-1800 = 1\n");

    EXPECT_EQ(decode_for(file, "12:30-90"), "Decoding for: 12:30Z\nDecoding range: -90 +30 mins\n");
    EXPECT_EQ(decode_hhmm(), 1230);
    EXPECT_EQ(decode_for(file, "18:15"), "Decoding for: 18:15Z\n");
    EXPECT_EQ(decode_hhmm(), 1815);

    EXPECT_EQ(decode_for(file, ":-30+45"), "Decoding range: -30 +45 mins\n");
    EXPECT_EQ(decode_hhmm(), 640);
    EXPECT_EQ(trace(640), "640 0 -1800-2700 = 1\n");

    // Only the start of the range form: fits no form and changes nothing.
    EXPECT_EQ(decode_for(file, ":-60"), "");
    EXPECT_EQ(trace(640), "640 0 -1800-2700 = 1\n");
}

TEST_F(DateWindow, StepHours)
{
    EXPECT_EQ(decode_for(make(2024, 1, 15, 14), "-6"), "Decoding for: 12:00Z\n");
    EXPECT_EQ(decode_hhmm(), 1200);
    decode_for(make(2024, 1, 15, 14), "-312");
    EXPECT_EQ(decode_hhmm(), 1500);
    decode_for(make(2024, 1, 15, 2), "-312");
    EXPECT_EQ(decode_hhmm(), 300);
    decode_for(make(2024, 1, 15, 14, 40), "12:-15");
    EXPECT_EQ(decode_hhmm(), 1230);
    // A step of 00 is refused whole: the file's hour stays, nothing printed.
    EXPECT_EQ(decode_for(make(2024, 1, 15, 14), "-100"), "");
    EXPECT_EQ(decode_hhmm(), 1400);
    EXPECT_EQ(decode_for(make(2024, 1, 15, 14), "-0"), "Decoding for: 00:00Z\n");
}

TEST_F(DateWindow, CurrentHourForms)
{
    DATE_set_range(-120, 120);
    const Date file = make(2024, 1, 15, 14, 25);
    EXPECT_EQ(decode_for(file, "cu"), "Decoding for: 14:00Z\n");
    EXPECT_EQ(decode_hhmm(), 1400);
    EXPECT_EQ(decode_for(file, "CU:CU"), "Decoding for: 14:25Z\n");
    EXPECT_EQ(decode_hhmm(), 1425);
    // One number after cu:cu prints the range but does not change it.
    EXPECT_EQ(decode_for(file, "cu:cu-60"),
              "Decoding for: 14:25Z\nDecoding range: -120 +120 mins\n");
    EXPECT_EQ(decode_for(file, "cu:cu-60+30"),
              "Decoding for: 14:25Z\nDecoding range: -60 +30 mins\n");
    EXPECT_EQ(decode_for(file, "cu-90+60"), "Decoding for: 14:00Z\nDecoding range: -90 +60 mins\n");
    EXPECT_EQ(decode_for(file, "cu:15"), "Decoding for: 14:15Z\nDecoding range: -90 +60 mins\n");
    EXPECT_EQ(decode_for(file, "cu:-20-30+40"),
              "Decoding for: 14:20Z\nDecoding range: -30 +40 mins\n");
    EXPECT_EQ(decode_for(file, "cuxyz"), "Decoding for: 14:00Z\n");
}

TEST_F(DateWindow, CurrentHourMovedBack)
{
    EXPECT_EQ(decode_for(make(2024, 1, 1, 3, 0), "cu-6"), "Decoding for: 21:00Z\n");
    Date d;
    DATE_get_datim(&d);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 20231231);
    EXPECT_EQ(d.hour, 21);

    EXPECT_EQ(decode_for(make(2024, 3, 1, 1, 30), "cu-2-60+30"),
              "Decoding for: 23:30Z\nDecoding range: -60 +30 mins\n");
    DATE_get_datim(&d);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 20240229);
    EXPECT_EQ(d.hour * 100 + d.min, 2330);
}

TEST_F(DateWindow, SetTimeAppliesAfterTheForm)
{
    Date set = make(VOK_MISSING, VOK_MISSING, VOK_MISSING, 18, VOK_MISSING, 0);
    FILE_set_time(&set);
    decode_for(make(2024, 1, 15, 6, 40), nullptr);
    EXPECT_EQ(decode_hhmm(), 1840);
    decode_for(make(2024, 1, 15, 6, 40), "12");  // the decode hour replaces the set hour
    EXPECT_EQ(decode_hhmm(), 1200);

    set = make(VOK_MISSING, VOK_MISSING, VOK_MISSING, -6, -15, 0);
    FILE_set_time(&set);
    decode_for(make(2024, 1, 15, 14, 40), nullptr);
    EXPECT_EQ(decode_hhmm(), 1230);
    set.hour = -300;  // step 00: the file's hour stays
    FILE_set_time(&set);
    decode_for(make(2024, 1, 15, 14, 40), nullptr);
    EXPECT_EQ(decode_hhmm(), 1430);

    FILE_clear_time();
    decode_for(make(2024, 1, 15), nullptr);  // unset hour and minute count as 00:00
    EXPECT_EQ(decode_hhmm(), 0);
}

TEST_F(DateWindow, DecodeHourTextsOfAnyShape)
{
    DATE_set_range(-120, 120);
    const Date file = make(2024, 1, 15, 14, 25);
    std::vector<std::string> texts = {
        "", "abc", "+", "-", "--", ":", "::", "cu-", "cu:", "cu--+",
        "99999999999999999999", "-99999999999999999999", "cu-99999999999-1+1",
        std::string(10000, '9'), std::string(10000, '-'), "cu" + std::string(10000, '-')};
    for (const char* t : {"-2147483647", "cu-2147483647", "cu:cu-2147483647+2147483647"})
        texts.push_back(t);
    for (const std::string& t : texts) {
        std::string out = decode_for(file, t.c_str());
        std::size_t at = 0;
        while (at < out.size()) {
            EXPECT_TRUE(out.compare(at, 14, "Decoding for: ") == 0 ||
                        out.compare(at, 16, "Decoding range: ") == 0)
                << t.substr(0, 20) << ": " << out;
            at = out.find('\n', at) + 1;
            if (at == 0) break;
        }
        Date d;
        DATE_get_datim(&d);
        EXPECT_TRUE(d.hour >= 0 && d.hour <= 23 && d.min >= 0 && d.min <= 59) << t.substr(0, 20);
    }
    DATE_set_range(-120, 120);
    EXPECT_EQ(decode_for(file, "zz"), "");
    EXPECT_EQ(decode_hhmm(), 1425);
    EXPECT_EQ(trace(1225), "1225 -7200 -7200-7200 = 1\n");
}

// ---------------------------------------------------------------- set time

TEST_F(FileSetTime, StartSetGetAndReset)
{
    Date d;
    FILE_get_time(&d);
    EXPECT_EQ(show(d), "-9999--9999--9999 -9999:-9999:0 -9999 -9999");
    Date in = make(2024, 6, 15, 12, 30, 7);
    in.jday = 167;
    in.wday = 6;
    EXPECT_EQ(FILE_set_time(&in), 0);
    FILE_get_time(&d);
    EXPECT_EQ(show(d), "2024-6-15 12:30:7 167 6");
    EXPECT_EQ(FILE_reset_time(), 0);
    FILE_get_time(&d);
    EXPECT_EQ(show(d), "-9999--9999--9999 -9999:-9999:7 167 6");
    EXPECT_EQ(FILE_set_time(nullptr), -1);
    EXPECT_EQ(FILE_get_time(nullptr), -1);
}
