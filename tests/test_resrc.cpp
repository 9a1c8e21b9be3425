#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "test_util.h"
#include "vok.h"
#include "vokresrc.h"

namespace {

using testutil::Capture;
using testutil::StdinFeed;
using testutil::read_file;
using testutil::count_of;

std::vector<std::string> names_in_order()
{
    std::vector<std::string> names;
    for (const resource* r = RES_first(); r; r = r->next) names.emplace_back(r->name);
    return names;
}

std::vector<std::string> values(const char* name)
{
    char** items = nullptr;
    int n = RES_getvals(name, &items);
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.emplace_back(items[i]);
    free_parsed_array(n, items);
    return out;
}

class Resrc : public ::testing::Test {
protected:
    void SetUp() override
    {
        RES_clear();
        MESS_reset();
        FLAG_clear();
    }
    void TearDown() override
    {
        RES_clear();
        MESS_reset();
        FLAG_clear();
    }
};

} // namespace

TEST_F(Resrc, ListKeepsFirstSetOrder)
{
    EXPECT_EQ(RES_new(RES_message, "message", "warn", CV_mess), 0);
    EXPECT_EQ(RES_put("identifier", "72469"), 0);
    EXPECT_EQ(RES_new(RES_batch, "batch", nullptr, CV_batch), 0);
    // Replacing a value keeps the position and takes the new index and kind.
    EXPECT_EQ(RES_new(7, "message", "debug", CV_string), 0);
    EXPECT_EQ(names_in_order(), (std::vector<std::string>{"message", "identifier", "batch"}));
    const resource* first = RES_first();
    EXPECT_STREQ(first->data, "debug");
    EXPECT_EQ(first->index, 7);
    EXPECT_EQ(first->cvt, CV_string);
    const resource* put = first->next;
    EXPECT_EQ(put->index, VOK_MISSING);
    EXPECT_EQ(put->cvt, CV_string);
}

TEST_F(Resrc, GetTellsUnsetFromEmpty)
{
    RES_new(RES_current, "current", nullptr, CV_current);
    EXPECT_STREQ(RES_get("current"), "");
    EXPECT_EQ(RES_get("hour"), nullptr);
    EXPECT_EQ(RES_get(nullptr), nullptr);
    // Names are compared with their case.
    RES_put("Hour", "12");
    EXPECT_EQ(RES_get("hour"), nullptr);
    EXPECT_STREQ(RES_get("Hour"), "12");
    // A value replaced by none reads as "".
    RES_new(VOK_MISSING, "Hour", nullptr, CV_string);
    EXPECT_STREQ(RES_get("Hour"), "");
}

TEST_F(Resrc, AppendJoinsWithNewlines)
{
    EXPECT_EQ(RES_append(RES_filenames, "filename", "a", CV_strings), 0);
    EXPECT_EQ(RES_append(RES_filenames, "filename", "b", CV_strings), 0);
    EXPECT_EQ(RES_append(99, "filename", "c", CV_string), 0);
    EXPECT_STREQ(RES_get("filename"), "a\nb\nc");
    // Append keeps index and kind of the existing node.
    EXPECT_EQ(RES_first()->index, RES_filenames);
    EXPECT_EQ(RES_first()->cvt, CV_strings);
    EXPECT_EQ(values("filename"), (std::vector<std::string>{"a", "b", "c"}));

    RES_new(RES_current, "current", nullptr, CV_current);
    RES_append(RES_current, "current", "12", CV_current);
    EXPECT_STREQ(RES_get("current"), "12");
}

TEST_F(Resrc, GetvalsSplitsByKind)
{
    RES_put("parameter", "-60,+90,x");
    EXPECT_EQ(values("parameter"), (std::vector<std::string>{"-60", "+90", "x"}));
    // Commas stay inside the items of a list resource.
    RES_new(RES_filenames, "filename", "a,b\nc", CV_strings);
    EXPECT_EQ(values("filename"), (std::vector<std::string>{"a,b", "c"}));
    RES_new(RES_current, "current", nullptr, CV_current);
    char** items = reinterpret_cast<char**>(&items);
    EXPECT_EQ(RES_getvals("current", &items), 0);
    EXPECT_EQ(items, nullptr);
    EXPECT_EQ(RES_getvals("never", &items), 0);
    EXPECT_EQ(items, nullptr);
    RES_put("empty", "");
    EXPECT_EQ(RES_getvals("empty", &items), 0);
}

TEST_F(Resrc, GetvalConvertsNumbersAndWords)
{
    int prior = -1;
    EXPECT_EQ(RES_getval("stat_prior", &prior, CV_int), 0);   // never set
    EXPECT_EQ(prior, -1);
    RES_put("stat_prior", "3");
    EXPECT_EQ(RES_getval("stat_prior", &prior, CV_int), 1);
    EXPECT_EQ(prior, 3);
    EXPECT_EQ(RES_getval("stat_prior", nullptr, CV_int), 0);
    RES_put("stat_prior", "0x1F");
    RES_getval("stat_prior", &prior, CV_int);
    EXPECT_EQ(prior, 31);
    RES_put("stat_prior", "-12");
    RES_getval("stat_prior", &prior, CV_int);
    EXPECT_EQ(prior, -12);
    RES_put("stat_prior", "high");
    EXPECT_EQ(RES_getval("stat_prior", &prior, CV_int), 1);
    EXPECT_EQ(prior, -12);   // not a number: unchanged

    int flag = -1;
    RES_put("b", "ON");
    RES_getval("b", &flag, CV_bool);
    EXPECT_EQ(flag, 1);
    RES_put("b", "no");
    RES_getval("b", &flag, CV_bool);
    EXPECT_EQ(flag, 0);
    RES_put("b", "maybe");
    RES_getval("b", &flag, CV_bool);
    EXPECT_EQ(flag, 0);
    RES_new(VOK_MISSING, "b", nullptr, CV_bool);
    RES_getval("b", &flag, CV_bool);
    EXPECT_EQ(flag, 1);   // an option given without a value is "on"

    float f = 0;
    EXPECT_EQ(RES_conv_data("12.5", &f, CV_float), 1);
    EXPECT_FLOAT_EQ(f, 12.5f);
    long l = 0;
    RES_conv_data("123456789012", &l, CV_long);
    EXPECT_EQ(l, 123456789012L);
    short s = 0;
    RES_conv_data("-7", &s, CV_short);
    EXPECT_EQ(s, -7);
}

TEST_F(Resrc, TextKindsAreBoundedByTheNameBuffer)
{
    char buf[VOK_NAME_LEN] = "unchanged";
    EXPECT_EQ(RES_conv_data("/data/raw", buf, CV_path), 1);
    EXPECT_STREQ(buf, "/data/raw/");
    EXPECT_EQ(RES_conv_data("NONE", buf, CV_path), 1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(RES_conv_data("upa.cty", buf, CV_strcpy), 1);
    EXPECT_STREQ(buf, "upa.cty");
    const std::string huge(10000, 'p');
    EXPECT_EQ(RES_conv_data(huge.c_str(), buf, CV_strcpy), 0);
    EXPECT_STREQ(buf, "upa.cty");
    const std::string edge(VOK_NAME_LEN - 1, 'q');   // fits; with "/" it does not
    EXPECT_EQ(RES_conv_data(edge.c_str(), buf, CV_strcpy), 1);
    EXPECT_EQ(RES_conv_data(edge.c_str(), buf, CV_path), 0);
    EXPECT_EQ(std::string(buf), edge);
    const char* str = nullptr;
    RES_conv_data("text", &str, CV_string);
    EXPECT_STREQ(str, "text");
    EXPECT_EQ(RES_conv_data(nullptr, buf, CV_strcpy), 0);
}

TEST_F(Resrc, BatchLowersTheLevelUnlessTheUserSetOne)
{
    EXPECT_EQ(RES_conv_data("no", nullptr, CV_batch), 1);   // the value is ignored
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(MESS_get_level(), 0xFFu);

    FLAG_clear();
    MESS_reset();
    RES_conv_data("debug", nullptr, CV_mess);
    RES_conv_data(nullptr, nullptr, CV_batch);
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(MESS_get_level(), 0xFFFFFFFFu);

    EXPECT_EQ(RES_conv_data(nullptr, nullptr, CV_help), 1);
    EXPECT_EQ(FLAG_help(), 1);
    EXPECT_EQ(RES_conv_data(nullptr, nullptr, CV_mess), 0);
}

TEST_F(Resrc, FileParamWordsSetFlag15)
{
    const struct {
        const char* word;
        int flag;
    } cases[] = {{"use", 3}, {"REUSE", 3}, {"over", 1}, {"Calc", 1}, {"recalc", 1}, {"app", 2}};
    for (const auto& c : cases) {
        FLAG_reset(VOK_MISSING);
        EXPECT_EQ(RES_conv_data(c.word, nullptr, CV_file_param), 1);
        EXPECT_EQ(FLAG_get(15), c.flag) << c.word;
    }
    FLAG_reset(VOK_MISSING);
    EXPECT_EQ(RES_conv_data("append", nullptr, CV_file_param), 1);
    EXPECT_EQ(FLAG_get(15), VOK_MISSING);
}

TEST_F(Resrc, ListPrintsEveryNodeAtMask8)
{
    RES_put("identifier", "72469");
    RES_new(RES_current, "current", nullptr, CV_current);
    {
        Capture out;
        RES_list();
        EXPECT_EQ(out.take(), "identifier: 72469\ncurrent:\n");
    }
    MESS_set_str("none,+printd");
    {
        Capture out;
        RES_list();
        EXPECT_EQ(out.take(), "identifier: 72469\ncurrent:\n");
    }
    MESS_set_str("none,+printc");
    Capture out;
    RES_list();
    EXPECT_EQ(out.take(), "");
}

TEST_F(Resrc, ProgramNameIsTheLastComponent)
{
    char arg0[] = "/usr/local/bin/sondex";
    char* argv[] = {arg0, nullptr};
    char buf[VOK_NAME_LEN];
    EXPECT_STREQ(RES_get_progname(buf), "");   // no command line stored yet
    EXPECT_EQ(RES_get_prog(), nullptr);
    RES_setCL(1, argv);
    EXPECT_STREQ(RES_get_prog(), "/usr/local/bin/sondex");
    EXPECT_STREQ(RES_get_progname(buf), "sondex");
    char small[4];
    EXPECT_STREQ(RES_get_progname(small, sizeof small), "son");
    char* owned = RES_get_progname(nullptr);
    EXPECT_STREQ(owned, "sondex");
    std::free(owned);
}

TEST_F(Resrc, HourValueBecomesTheSetTime)
{
    const int M = VOK_MISSING;
    const struct {
        const char* value;
        int year, month, day, hour, min;
    } cases[] = {
        {"#2024061512", 2024, 6, 15, 12, M},
        {"#202406151230", 2024, 6, 15, 12, 30},
        {"#2024", 2024, M, M, M, M},
        {"#2024x6", 2024, M, M, M, M},
        {"061512", M, 6, 15, 12, M},
        {"1512", M, M, 15, 12, M},
        {"512", M, M, 5, 12, M},
        {"2d12:30", M, M, 2, 12, 30},
        {":45", M, M, M, M, 45},
        {"-:30", M, M, M, M, -30},
        {"12:30", M, M, M, 12, 30},
        {"12", M, M, M, 12, M},
        {"-3:00", M, M, M, -3, 0},
        {"-0:30", M, M, M, M, -30},
        {"abc", M, M, M, M, M},
    };
    for (const auto& c : cases) {
        FILE_clear_time();
        EXPECT_EQ(RES_conv_data(c.value, nullptr, CV_hour), 1) << c.value;
        Date d;
        FILE_get_time(&d);
        EXPECT_EQ(d.year, c.year) << c.value;
        EXPECT_EQ(d.month, c.month) << c.value;
        EXPECT_EQ(d.day, c.day) << c.value;
        EXPECT_EQ(d.hour, c.hour) << c.value;
        EXPECT_EQ(d.min, c.min) << c.value;
    }
    // No value: nothing to convert, the set time stays.
    FILE_clear_time();
    RES_conv_data("12", nullptr, CV_hour);
    EXPECT_EQ(RES_conv_data(nullptr, nullptr, CV_hour), 0);
    Date d;
    FILE_get_time(&d);
    EXPECT_EQ(d.hour, 12);
    // A 10 kB value is read without harm.
    const std::string huge = "#" + std::string(10000, '9');
    EXPECT_EQ(RES_conv_data(huge.c_str(), nullptr, CV_hour), 1);
    FILE_clear_time();
}
