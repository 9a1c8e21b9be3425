#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>

#include <stdio_ext.h>
#include <unistd.h>

#include "test_util.h"
#include "vok.h"

namespace {

using testutil::Capture;
using testutil::StdinFeed;
using testutil::read_file;
using testutil::count_of;

class Mess : public ::testing::Test {
protected:
    void SetUp() override
    {
        MESS_reset();
        FLAG_clear();
    }
    void TearDown() override
    {
        MESS_reset();
        FLAG_clear();
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    void set(const std::string& s) { MESS_set_str(s.c_str()); }

    testutil::TempDir tmp_{"vok_mess"};
    std::filesystem::path dir_ = tmp_.path();
};

} // namespace

TEST_F(Mess, InitialLevelShowsPrintToOut2)
{
    EXPECT_EQ(MESS_get_level(), 0xFFFFFu);
    for (M_type shown : {0xF00u, 0xC0u, 0xFu, 0xF0000u}) EXPECT_EQ(MESS_check(shown), 1) << shown;
    for (M_type hidden : {0x100000u, 0x400000u, 0x80000000u}) EXPECT_EQ(MESS_check(hidden), 0) << hidden;
    EXPECT_EQ(MESS_check_set(), 0);
}

TEST_F(Mess, InlineTestFollowsEveryChangeOfLevel)
{
    // MESS_enabled answers as MESS_check, whatever changed the level.
    const M_type masks[] = {0xF, 0xC0, 0xF00, 0x100000, 0x1000000, 0x40000000, 0x80000000};
    auto same = [&](const char* when) {
        for (M_type m : masks) EXPECT_EQ(MESS_enabled(m), MESS_check(m) == 1) << when << " " << m;
    };
    same("initial");
    set("debug");
    same("debug");
    set("-debugd");
    same("-debugd");
    MESS_set(0, 0xF00);
    same("replaced");
    MESS_reset();
    same("reset");
}

TEST_F(Mess, LevelWordsReplaceWithFill)
{
    const struct {
        const char* setting;
        M_type level;
    } cases[] = {
        {"warn", 0xFF},           {"mess", 0xFFF},           {"out2", 0xFFFFF},
        {"debug", 0xFFFFFFFF},    {"none", 0},               {"out3a", 0x1FFFFF},
        {"messb", 0x3FF},         {"Out3A", 0xFFFFFF},       {"messages", 0xFFF},
        {"WARN", 0xFF},           {"print", 0xF},            {"error", 0x3F},
        {"nosuchword", 0},        {"out1,,+debug", 0xF0000000}, {",warn", 0xFF},
        {"warn,,", 0xFF},
    };
    for (const auto& c : cases) {
        MESS_reset();
        set(c.setting);
        EXPECT_EQ(MESS_get_level(), c.level) << c.setting;
    }
}

TEST_F(Mess, SignedWordsAddAndRemove)
{
    set("out2,+debugd");
    EXPECT_EQ(MESS_get_level(), 0xFFFFFu | 0x80000000u);
    set("-mess");
    EXPECT_EQ(MESS_get_level(), (0xFFFFFu | 0x80000000u) & ~0xF00u);
    // A signed word that matches nothing changes nothing.
    set("+bogus,-bogus");
    EXPECT_EQ(MESS_get_level(), (0xFFFFFu | 0x80000000u) & ~0xF00u);
    // Only a lower-case letter selects a sub-level.
    MESS_reset();
    set("none,+out4C");
    EXPECT_EQ(MESS_get_level(), 0xF000000u);
    set("-out4c");
    EXPECT_EQ(MESS_get_level(), 0xB000000u);
}

// The named masks are the groups and sub-levels the user's level words give.
TEST_F(Mess, NamedMasksAreTheLevelWords)
{
    const std::pair<const char*, M_type> words[] = {
        {"print", M_PRINT}, {"error", M_ERROR}, {"warn", M_WARN},   {"mess", M_MESS},
        {"out1", M_OUT1},   {"out2", M_OUT2},   {"out3", M_OUT3},   {"out4", M_OUT4},
        {"debug", M_DEBUG}, {"debuga", M_DEBUG & M_SUB_A}, {"out3c", M_OUT3 & M_SUB_C},
        {"printd", M_PRINT & M_SUB_D},
    };
    for (const auto& [word, mask] : words) {
        set(std::string("none,+") + word);
        EXPECT_EQ(MESS_get_level(), mask) << word;
    }
}

TEST_F(Mess, NoneHidesEvenHelpText)
{
    set("none");
    Capture out(stdout);
    Capture err(stderr);
    EXPECT_EQ(MESS_print(M_PRINT, "help\n"), 0);
    EXPECT_EQ(MESS_print(M_WARN, "warning\n"), 0);
    EXPECT_EQ(out.take(), "");
    EXPECT_EQ(err.take(), "");
}

TEST_F(Mess, SetCodesAndExplicitCounter)
{
    EXPECT_EQ(MESS_set(20, 0xFF), 0);       // no explicit setting yet: applies
    EXPECT_EQ(MESS_get_level(), 0xFFu);
    EXPECT_EQ(MESS_check_set(), 0);
    MESS_set(11, 0xF000);
    EXPECT_EQ(MESS_get_level(), 0xF0FFu);
    MESS_set(9, 0xF0);
    EXPECT_EQ(MESS_get_level(), 0xF00Fu);
    MESS_set(10, 0xC0);
    EXPECT_EQ(MESS_get_level(), 0xFFu);
    EXPECT_EQ(MESS_check_set(), 0);

    MESS_set(1, 0x100000);
    EXPECT_EQ(MESS_get_level(), 0x1000FFu);
    EXPECT_EQ(MESS_check_set(), 1);
    MESS_set(-1, 0xF);
    EXPECT_EQ(MESS_get_level(), 0x1000F0u);
    MESS_set(0, 0x800);
    EXPECT_EQ(MESS_get_level(), 0xFFFu);
    EXPECT_EQ(MESS_check_set(), 3);
    // Codes 2..4 and other negatives only count.
    MESS_set(3, 0xFFFFFFFF);
    MESS_set(-7, 0xFFFFFFFF);
    EXPECT_EQ(MESS_get_level(), 0xFFFu);
    EXPECT_EQ(MESS_check_set(), 5);
    // Once the user set a level, codes of 16 and above yield to it.
    MESS_set(20, 0xFF);
    MESS_set(21, 0xF0000000);
    MESS_set(19, 0xF);
    EXPECT_EQ(MESS_get_level(), 0xFFFu);
    // Codes 5..15 other than 9, 10, 11 change nothing and do not count.
    MESS_set(12, 0);
    EXPECT_EQ(MESS_get_level(), 0xFFFu);
    EXPECT_EQ(MESS_check_set(), 5);

    MESS_reset();
    MESS_set_str("warn");
    EXPECT_EQ(MESS_check_set(), 1);
    MESS_set_str("");
    EXPECT_EQ(MESS_check_set(), 2);
}

TEST_F(Mess, WarningsAndErrorsOnStandardError)
{
    Capture out(stdout);
    Capture err(stderr);
    EXPECT_EQ(MESS_print(M_WARN, "UPA_decode_file: Unable to open file:%s\n", "x.raw"), 1);
    EXPECT_EQ(MESS_print(M_ERROR, "error %d\n", 7), 1);
    EXPECT_EQ(MESS_print(M_MESS, "read %d files\n", 3), 1);
    EXPECT_EQ(MESS_print(M_PRINT, "%s", "plain\n"), 1);
    EXPECT_EQ(MESS_print(M_OUT3 & M_SUB_A, "hidden\n"), 0);
    EXPECT_EQ(out.take(), "read 3 files\nplain\n");
    EXPECT_EQ(err.take(), "UPA_decode_file: Unable to open file:x.raw\nerror 7\n");
}

TEST_F(Mess, LogOnlyModeWritesFileAndReturnsZero)
{
    const std::string log = path("run.log");
    std::ofstream(log) << "earlier\n";
    set("fi=" + log);
    Capture out(stdout);
    EXPECT_EQ(MESS_print(M_MESS, "count %d of %s\n", 12, "TTAA"), 0);
    EXPECT_EQ(MESS_print(M_WARN, "warn %d\n", 1), 0);
    EXPECT_EQ(out.take(), "");
    EXPECT_EQ(read_file(log), "earlier\ncount 12 of TTAA\nwarn 1\n");
}

TEST_F(Mess, LogAndTerminalEachGetTheWholeMessage)
{
    const std::string log = path("both.log");
    std::ofstream(log) << "old\n";
    set("+fi=" + log);
    Capture out(stdout);
    EXPECT_EQ(MESS_print(M_MESS, "%s=%d %s\n", "level", 500, "hPa"), 1);
    EXPECT_EQ(out.take(), "level=500 hPa\n");
    EXPECT_EQ(read_file(log), "old\nlevel=500 hPa\n");

    // "-fi" starts the file anew.
    MESS_reset();
    set("-fi=" + log);
    Capture out2(stdout);
    MESS_print(M_MESS, "fresh\n");
    EXPECT_EQ(out2.take(), "fresh\n");
    EXPECT_EQ(read_file(log), "fresh\n");
}

TEST_F(Mess, TimeStampedLogStampsEveryMessage)
{
    const std::string log = path("stamp.log");
    set("@fi=" + log);
    Capture out(stdout);
    MESS_print(M_MESS, "part one ");
    MESS_print(M_MESS, "and two\n");
    EXPECT_EQ(out.take(), "part one and two\n");
    const std::string text = read_file(log);
    const std::regex stamped(
        "[0-9]{2} [A-Z]{3} [0-9]{2}  [0-9]{2}:[0-9]{2}:[0-9]{2}Z -- part one "
        "[0-9]{2} [A-Z]{3} [0-9]{2}  [0-9]{2}:[0-9]{2}:[0-9]{2}Z -- and two\n");
    EXPECT_TRUE(std::regex_match(text, stamped)) << text;
}

TEST_F(Mess, PerMessageLogIsReopenedEachTime)
{
    const std::string log = path("dfi.log");
    set("dfi=" + log);
    EXPECT_FALSE(std::filesystem::exists(log));   // nothing opened by the setting
    Capture out(stdout);
    MESS_print(M_MESS, "first\n");
    EXPECT_EQ(read_file(log), "first\n");
    // The file is closed after every message: removing it loses nothing later.
    std::filesystem::remove(log);
    MESS_print(M_MESS, "second %d\n", 2);
    EXPECT_EQ(out.take(), "first\nsecond 2\n");
    EXPECT_EQ(read_file(log), "second 2\n");
}

TEST_F(Mess, UnopenableLogFilesAreSkipped)
{
    const std::string blocker = path("plain");
    std::ofstream(blocker) << "x";
    // A directory cannot be made under a plain file, so none of these opens.
    const std::string bad = blocker + "/sub/run.log";
    {
        Capture out(stdout);
        set("+fi=" + bad);
        EXPECT_EQ(MESS_print(M_MESS, "still shown\n"), 1);
        set("dfi=" + bad);
        EXPECT_EQ(MESS_print(M_MESS, "again\n"), 1);
        EXPECT_EQ(out.take(), "still shown\nagain\n");
    }
    // With the log-only mode and a bad name the messages go nowhere.
    set("fi=" + bad);
    Capture out(stdout);
    EXPECT_EQ(MESS_print(M_MESS, "lost\n"), 0);
    EXPECT_EQ(out.take(), "");
}

TEST_F(Mess, OverlongPerMessageLogNameIsRefused)
{
    const std::string longname = path(std::string(200, 'n').c_str());
    set("dfi=" + longname);
    Capture out(stdout);
    EXPECT_EQ(MESS_print(M_MESS, "shown\n"), 1);
    EXPECT_EQ(out.take(), "shown\n");
    // Neither the full name nor a name cut to the buffer was created.
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(Mess, PagingPromptsAfterTheLimit)
{
    set("page,line=3");
    StdinFeed in("\n\n\n");
    Capture out(stdout);
    MESS_print(M_MESS, "a\nb\n");
    MESS_print(M_MESS, "c\n");
    EXPECT_EQ(count_of(out.take(), "Press return to continue\n"), 0);
    Capture out2(stdout);
    // The newlines of the format count, not those of the arguments.
    MESS_print(M_MESS, "%s", "x\ny\nz\n");
    MESS_print(M_MESS, "d\n");                    // 4 > 3: prompt, count back to 0
    MESS_print(M_MESS, "e\nf\ng\n");              // 3: no prompt
    MESS_print(M_MESS, "h\n");                    // 4: prompt
    const std::string text = out2.take();
    EXPECT_EQ(count_of(text, "Press return to continue\n"), 2);
    EXPECT_EQ(text.find("Press return to continue\n"), std::string("x\ny\nz\nd\n").size());
}

TEST_F(Mess, PagingLimitDefaultsTo22)
{
    for (const char* setting : {"page,line=0", "page,line=", "page,line=-5", "page,line=abc"}) {
        MESS_reset();
        set(setting);
        StdinFeed in("");
        Capture out(stdout);
        for (int i = 0; i < 22; ++i) MESS_print(M_MESS, "l\n");
        EXPECT_EQ(count_of(out.take(), "Press return"), 0) << setting;
        Capture out2(stdout);
        MESS_print(M_MESS, "l\n");
        EXPECT_EQ(count_of(out2.take(), "Press return"), 1) << setting;
    }
}

TEST_F(Mess, PagingPromptOfAWarningGoesToStandardOutput)
{
    set("page,line=1");
    StdinFeed in("\n");
    Capture out(stdout);
    Capture err(stderr);
    MESS_print(M_WARN, "w1\nw2\n");
    EXPECT_EQ(err.take(), "w1\nw2\n");
    EXPECT_EQ(out.take(), "Press return to continue\n");
}

TEST_F(Mess, BatchAndNopageSuppressThePrompt)
{
    set("page,line=1");
    FLAG_set(19, 1);
    {
        Capture out(stdout);
        MESS_print(M_MESS, "a\nb\nc\n");
        MESS_print(M_MESS, "d\n");
        EXPECT_EQ(count_of(out.take(), "Press return"), 0);
    }
    // The count was not reset, so the next message after batch ends asks.
    FLAG_set(FLAG_BATCH_NUM, VOK_MISSING);
    {
        StdinFeed in("\n");
        Capture out(stdout);
        MESS_print(M_MESS, "e\n");
        EXPECT_EQ(count_of(out.take(), "Press return"), 1);
    }
    set("nopage");
    Capture out(stdout);
    for (int i = 0; i < 5; ++i) MESS_print(M_MESS, "x\ny\n");
    EXPECT_EQ(count_of(out.take(), "Press return"), 0);
}

TEST_F(Mess, HoldShowsTextAsItStandsAndSurvivesEndOfInput)
{
    StdinFeed in("");   // end of input at once: behaves as return
    Capture out(stdout);
    EXPECT_EQ(MESS_hold(M_PRINT, "100%s done %n\n"), 0);
    EXPECT_EQ(out.take(), "100%s done %n\n");
    set("none");
    Capture out2(stdout);
    MESS_hold(M_PRINT, "hidden\n");
    EXPECT_EQ(out2.take(), "");
}

TEST_F(Mess, HoldPromptOnErrorAndWarnGoesToStandardError)
{
    StdinFeed in("typed text\n");
    Capture out(stdout);
    Capture err(stderr);
    MESS_hold(M_ERROR | M_WARN, "Press return to continue\n");
    EXPECT_EQ(err.take(), "Press return to continue\n");
    EXPECT_EQ(out.take(), "");
    // The rest of the typed line is not left for the next reader.
    EXPECT_EQ(std::getchar(), EOF);
}

TEST_F(Mess, TitleLine)
{
    Capture out(stdout);
    MESS_print_prog("UPPER AIR DATA CONVERSION PROGRAM");
    EXPECT_EQ(out.take(), "      UPPER AIR DATA CONVERSION PROGRAM (Ver 5.60.2-LINUX-X11)\n\n");
    set("warn");
    Capture out2(stdout);
    MESS_print_prog("X");
    EXPECT_EQ(out2.take(), "");
}

TEST_F(Mess, AbsurdSettingStrings)
{
    set(std::string(5000, ','));
    EXPECT_EQ(MESS_get_level(), 0u);   // one empty item: matches nothing
    MESS_reset();
    set("out1" + std::string(5000, ',') + "+debug");
    EXPECT_EQ(MESS_get_level(), 0xF0000000u);
    MESS_reset();
    set("+" + std::string(10000, 'x'));
    EXPECT_EQ(MESS_get_level(), 0xFFFFFu);
    MESS_reset();
    set(std::string("line=").append(10000, '9').append(",page,zzz,warn"));
    EXPECT_EQ(MESS_get_level(), 0xFFu);
    MESS_reset();
    // A 10 kB log name cannot be opened; nothing breaks.
    set("+fi=" + std::string(10000, 'f'));
    Capture out(stdout);
    EXPECT_EQ(MESS_print(M_MESS, "ok\n"), 1);
    EXPECT_EQ(out.take(), "ok\n");
}
