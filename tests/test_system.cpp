#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <stdio_ext.h>
#include <unistd.h>

#include "test_util.h"
#include "vok.h"

namespace {

using testutil::Capture;
using testutil::StdinFeed;
using testutil::read_file;
using testutil::count_of;

class System : public ::testing::Test {
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

using SystemDeathTest = System;

} // namespace

TEST_F(System, Version)
{
    EXPECT_STREQ(VOK_version(), "5.60.2-LINUX-X11");
}

TEST_F(System, SleepRefusesNonPositiveTimes)
{
    EXPECT_EQ(VOK_sleep(0), -1);
    EXPECT_EQ(VOK_sleep(-1.5), -1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(VOK_sleep(0.1), 0);
    const auto slept = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::microseconds>(slept).count(), 100000);
}

TEST_F(System, SetCommandStoresResources)
{
    EXPECT_EQ(VOK_set_command("set message=out1"), 1);
    EXPECT_STREQ(RES_get("message"), "out1");
    EXPECT_EQ(VOK_set_command("SET message out2"), 1);
    EXPECT_STREQ(RES_get("message"), "out2");
    EXPECT_EQ(VOK_set_command("set hour = =  12:00 z"), 1);
    EXPECT_STREQ(RES_get("hour"), "12:00 z");
    EXPECT_EQ(VOK_set_command("settings identifier=72469"), 1);
    EXPECT_STREQ(RES_get("identifier"), "72469");
    EXPECT_EQ(VOK_set_command("set current"), 1);
    EXPECT_STREQ(RES_get("current"), "");
    // Stored only: the level does not change until the value is converted.
    EXPECT_EQ(MESS_get_level(), 0xFFFFFu);
    // A long name is kept whole, not cut into another name.
    EXPECT_EQ(VOK_set_command("set a_rather_long_resource_name=1"), 1);
    EXPECT_STREQ(RES_get("a_rather_long_resource_name"), "1");

    EXPECT_EQ(VOK_set_command("se"), 0);
    EXPECT_EQ(VOK_set_command("72469"), 0);
    EXPECT_EQ(VOK_set_command(""), 0);
    EXPECT_EQ(VOK_set_command("exi"), 0);
}

TEST_F(System, SetAloneListsResources)
{
    RES_put("identifier", "72469");
    RES_put("current", nullptr);
    Capture out;
    EXPECT_EQ(VOK_set_command("set"), 1);
    EXPECT_EQ(out.take(), "Set resources\nidentifier: 72469\ncurrent:\n\n");
}

TEST_F(SystemDeathTest, ExitAtAPromptEndsWithStatusZero)
{
    EXPECT_EXIT(VOK_set_command("exit"), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(VOK_set_command("EXIT now"), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            MESS_set_str("none");
            StdinFeed in("exit\n");
            VOK_promptf("Number: ");
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(VOK_exit(0), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(VOK_exit(7), ::testing::ExitedWithCode(7), "");
}

TEST_F(System, TextPromptReadsOneWord)
{
    StdinFeed in("  72469 extra words\r\n");
    Capture out;
    char buf[20] = "default";
    EXPECT_EQ(VOK_prompts("Station: ", buf, 19), buf);
    EXPECT_STREQ(buf, "72469");
    EXPECT_EQ(out.take(), "Station: ");
}

TEST_F(System, TextPromptEmptyAnswerKeepsTheDefault)
{
    StdinFeed in("\n   \n");
    Capture out;
    char buf[20] = "default";
    VOK_prompts("First: ", buf, 19);
    EXPECT_STREQ(buf, "default");
    VOK_prompts("Second: ", buf, 19);
    EXPECT_STREQ(buf, "default");
    // At the end of input the default stands too, without asking again.
    VOK_prompts("Third: ", buf, 19);
    EXPECT_STREQ(buf, "default");
    EXPECT_EQ(out.take(), "First: Second: Third: ");
}

TEST_F(System, TextPromptHandlesSetAndAsksAgain)
{
    StdinFeed in("set identifier 72469\n\n");
    Capture out;
    char buf[20] = "default";
    VOK_prompts("Station: ", buf, 19);
    EXPECT_STREQ(buf, "set");   // the scan comes before the command test
    EXPECT_STREQ(RES_get("identifier"), "72469");
    EXPECT_EQ(count_of(out.take(), "Station: "), 2);
}

TEST_F(System, TextPromptIsShownAsItStands)
{
    StdinFeed in("y\n");
    Capture out;
    char buf[10] = "";
    VOK_prompts("%s%n%d 100% done: ", buf, 9);
    EXPECT_EQ(out.take(), "%s%n%d 100% done: ");
    EXPECT_STREQ(buf, "y");
}

TEST_F(System, TextPromptWidthAndLongLines)
{
    // The answer is cut to len - 1 characters; the rest of an over-long line
    // does not answer the next question.
    const std::string longline = std::string(200, 'w') + "\n";
    StdinFeed in("abcdefgh\n" + longline + "next\n");
    Capture out;
    char buf[6] = "";
    VOK_prompts("A: ", buf, 5);
    EXPECT_STREQ(buf, "abcd");
    char big[100] = "";
    VOK_prompts("B: ", big, 99);
    EXPECT_EQ(std::string(big), std::string(79, 'w'));
    VOK_prompts("C: ", big, 99);
    EXPECT_STREQ(big, "next");
    // A length below 2 counts as 2: one character is read.
    char tiny[3] = "";
    {
        StdinFeed again("xyz\n");
        VOK_prompts("D: ", tiny, 0);
    }
    EXPECT_STREQ(tiny, "x");
}

TEST_F(System, TextPromptAllocatesWithoutABuffer)
{
    StdinFeed in("answer\n");
    Capture out;
    char* got = VOK_prompts("Q: ", nullptr, 10);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got, "answer");
    std::free(got);
    // Empty at the end of input: an empty text, not garbage.
    char* empty = VOK_prompts("Q: ", nullptr, 10);
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    std::free(empty);
}

TEST_F(System, NumberPrompt)
{
    StdinFeed in("abc\n12.5\n\n-3\n");
    Capture out;
    EXPECT_FLOAT_EQ(VOK_promptf("Hours: "), 12.5f);   // "abc" asks again
    EXPECT_FLOAT_EQ(VOK_promptf("Hours: "), 0.0f);    // empty line
    EXPECT_FLOAT_EQ(VOK_promptf("Hours: "), -3.0f);
    EXPECT_FLOAT_EQ(VOK_promptf("Hours: "), 0.0f);    // end of input
    EXPECT_EQ(count_of(out.take(), "Hours: "), 5);
}

TEST_F(System, NumberPromptSetAsksAgain)
{
    StdinFeed in("set decode_hour 12\n6\n");
    Capture out;
    EXPECT_FLOAT_EQ(VOK_promptf("Hour %d: "), 6.0f);
    EXPECT_STREQ(RES_get("decode_hour"), "12");
    EXPECT_EQ(out.take(), "Hour %d: Hour %d: ");
}
