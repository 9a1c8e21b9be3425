// Tests of the defaults-file reader: sections and tags, keys and values,
// wildcard keys, qualified names, the environment names and the limits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "test_util.h"
#include "vok.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using testutil::Capture;
using testutil::count_of;

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

class DefRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        RES_clear();
        DEF_reset();
        MESS_reset();
        program("sondex");
    }
    void TearDown() override
    {
        DEF_reset();
        RES_clear();
        MESS_reset();
    }
    void program(const char* name)
    {
        arg0_ = std::string("/usr/bin/") + name;
        argv_[0] = arg0_.data();
        RES_setCL(1, argv_);
        DEF_prog();
    }
    std::string file(const std::string& name, const std::string& text)
    {
        const fs::path p = dir_ / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    // Every pair of one file, as DEF_get returns them.
    Pairs pairs(const std::string& path)
    {
        Pairs out;
        if (DEF_open(path.c_str()) != 0) return out;
        char key[DEF_KEY_LEN];
        char value[DEF_VALUE_LEN];
        while (DEF_get(key, value) > 0) out.emplace_back(key, value);
        DEF_close();
        return out;
    }
    Pairs pairs_of(const std::string& text) { return pairs(file("f.def", text)); }

    testutil::TempDir tmp_{"def_read"};
    fs::path dir_ = tmp_.path();
    std::string arg0_;
    char* argv_[2] = {nullptr, nullptr};
};

} // namespace

TEST_F(DefRead, SectionsFollowTheirTags)
{
    EXPECT_EQ(pairs_of("DEF site1\nIF site1\nsondex.message warn\nELSE\nsondex.message debug\nEND\n"),
              (Pairs{{"sondex.message", "warn"}}));
    const std::string chain = "IF a\nk.x 1\nELIF b\nk.x 2\nELSE\nk.x 3\nEND\n";
    EXPECT_EQ(pairs_of("DEF a\nDEF b\n" + chain), (Pairs{{"k.x", "1"}}));
    EXPECT_EQ(pairs_of("UNDEF a\nUNDEF B\n" + chain), (Pairs{{"k.x", "3"}}));
    EXPECT_EQ(pairs_of("DEF b\n" + chain), (Pairs{{"k.x", "2"}}));
    // A DEF inside a section that is not taken still defines its tag; an
    // UNDEF of a tag never defined changes nothing.
    EXPECT_EQ(pairs_of("UNDEF b\nIF nosuch\nDEF later\nEND\nUNDEF never\nIF LATER\nk.y 1\nEND\n"),
              (Pairs{{"k.y", "1"}}));
}

TEST_F(DefRead, TagsDoNotChangeWithTheNextLine)
{
    // Tags defined from lines read earlier must survive the lines read after
    // them, however long those are.
    EXPECT_EQ(pairs_of("DEF alpha\nDEF beta\n#" + std::string(200, 'z') +
                       " filler\nIF alpha\nk.a 1\nEND\nIF beta\nk.b 2\nEND\nIF filler\nk.c 3\nEND\n"),
              (Pairs{{"k.a", "1"}, {"k.b", "2"}}));
}

TEST_F(DefRead, KeysAndValuesAsWritten)
{
    EXPECT_EQ(pairs_of("# comment\n\n   \nSondex.Message: warn\nsondex.message warn,out1 trailing words\n"
                       "sondex.message \"out1, page\"\nsondex.title \"open to the end  \r\n"
                       "lonely_key\n  sondex.city_file\tupa.cty\r\n"),
              (Pairs{{"sondex.message", "warn"},
                     {"sondex.message", "warn,out1"},
                     {"sondex.message", "out1, page"},
                     {"sondex.title", "open to the end"},
                     {"sondex.city_file", "upa.cty"}}));
    // Keywords are upper case only; IF and ELIF without a tag are ignored.
    EXPECT_EQ(pairs_of("if nosuch\nk.a 1\nIF\nk.b 2\n"), (Pairs{{"if", "nosuch"}, {"k.a", "1"}, {"k.b", "2"}}));
}

TEST_F(DefRead, WildcardKeysAndQualifiedNames)
{
    EXPECT_EQ(DEF_cmp("message", "sondex.message"), 1);
    EXPECT_EQ(DEF_cmp("message", "message"), 0);
    EXPECT_EQ(DEF_cmp("message", "*.message"), 1);
    EXPECT_EQ(DEF_cmp("file_path", "*_path"), 1);
    EXPECT_EQ(DEF_cmp("file_path", "*.*_path"), 1);
    EXPECT_EQ(DEF_cmp("message", "*_path"), 0);
    EXPECT_EQ(DEF_cmp("message", "*"), 0);
    EXPECT_EQ(DEF_cmp("message", "sondex.*"), 0);   // a '*' at the end matches nothing
    EXPECT_EQ(DEF_cmp("message", "s*.message"), 1);
    EXPECT_EQ(DEF_cmp("message", "sondex.mess"), 0);
    EXPECT_EQ(DEF_valid("sondex.foo"), 1);
    EXPECT_EQ(DEF_valid("other.foo"), 0);
    EXPECT_EQ(DEF_valid("*.foo"), 1);
    EXPECT_EQ(DEF_valid("foo"), 0);
    EXPECT_STREQ(DEF_parse_name("sondex.test.foo"), "foo");
    EXPECT_STREQ(DEF_parse_name("*_path"), "_path");

    DEF_name("+test");
    EXPECT_EQ(DEF_cmp("message", "sondex.test.message"), 1);
    EXPECT_EQ(DEF_cmp("message", "sondex.message"), 0);
    DEF_name("other");
    EXPECT_EQ(DEF_cmp("message", "other.message"), 1);
    EXPECT_EQ(DEF_cmp("message", "sondex.message"), 0);
    DEF_name("");
    // Keys are lower case: a capitalised program is reached by wildcards only.
    program("Sondex");
    EXPECT_EQ(pairs_of("Sondex.message warn\n*dex.message out1\n").size(), 2u);
    EXPECT_EQ(DEF_cmp("message", "sondex.message"), 0);
    EXPECT_EQ(DEF_cmp("message", "*dex.message"), 1);
}

TEST_F(DefRead, OpenFindsTheFileOfADirectory)
{
    file("both/vok.cfg", "k.a cfg\n");
    file("both/.vokdef", "k.a vokdef\n");
    EXPECT_EQ(pairs((dir_ / "both").string()), (Pairs{{"k.a", "cfg"}}));
    file("res/Vok.res", "k.a res\n");
    EXPECT_EQ(pairs((dir_ / "res").string() + "/"), (Pairs{{"k.a", "res"}}));
    fs::create_directories(dir_ / "none");
    EXPECT_EQ(DEF_open((dir_ / "none").c_str()), -1);
    char key[DEF_KEY_LEN];
    char value[DEF_VALUE_LEN];
    EXPECT_EQ(DEF_get(key, value), -1);

    // No name: ".vokdef" of the working directory.
    file(".vokdef", "k.b here\n");
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_);
    EXPECT_EQ(pairs(""), (Pairs{{"k.b", "here"}}));
    fs::current_path(cwd);
}

TEST_F(DefRead, SectionLeftOpenGovernsTheNextFile)
{
    const std::string first = file("one", "IF nosuch\nk.a 1\n");
    const std::string second = file("two", "k.b 2\nEND\nk.c 3\n");
    EXPECT_EQ(pairs(first), Pairs{});
    EXPECT_EQ(pairs(second), (Pairs{{"k.c", "3"}}));
}

TEST_F(DefRead, StrayKeywordsAreReported)
{
    Capture err(stderr);
    EXPECT_EQ(pairs_of("ELSE\nELIF a\nEND\nk.a 1\n"), (Pairs{{"k.a", "1"}}));
    EXPECT_EQ(err.take(),
              "DEF_get: else without an if\nDEF_get: elif without an if\nDEF_get: end without an if\n");
}

TEST_F(DefRead, DeepSectionsStillPairTheirEnds)
{
    // Twelve sections of defined tags: the two beyond the limit are skipped,
    // and once all are closed pairs are taken again.
    std::string text = "DEF t\n";
    for (int i = 0; i < 12; ++i) text += "IF t\n";
    text += "k.inner 1\n";
    for (int i = 0; i < 11; ++i) text += "END\n";
    text += "k.ten 2\nEND\nk.out 3\n";
    {
        Capture err(stderr);
        EXPECT_EQ(pairs_of(text), (Pairs{{"k.ten", "2"}, {"k.out", "3"}}));
        EXPECT_EQ(count_of(err.take(), "DEF_get: more than 10 nested sections, section skipped\n"), 2);
    }
    // A thousand nested sections, balanced, leave nothing open.
    text.clear();
    for (int i = 0; i < 1000; ++i) text += "IF t\n";
    for (int i = 0; i < 1000; ++i) text += "END\n";
    text += "k.after 1\n";
    Capture err(stderr);
    EXPECT_EQ(pairs_of(text), (Pairs{{"k.after", "1"}}));
}

TEST_F(DefRead, LimitsRefuseRatherThanCut)
{
    const std::string key49 = "sondex." + std::string(42, 'k');
    const std::string value199(199, 'v');
    Capture err(stderr);
    EXPECT_EQ(pairs_of(std::string(10000, 'x') + " sondex.message debug\n" +   // 10 kB line
                       key49 + " ok\n" + key49 + "k toolong\n" +
                       "k.v " + value199 + "\nk.w " + value199 + "w\n" + "sondex.message warn\n"),
              (Pairs{{key49, "ok"}, {"k.v", value199}, {"sondex.message", "warn"}}));
    const std::string said = err.take();
    EXPECT_EQ(count_of(said, "DEF_get: line longer than 249 characters skipped"), 1);
    EXPECT_EQ(count_of(said, "DEF_get: key longer than 49 characters skipped"), 1);
    EXPECT_EQ(count_of(said, "DEF_get: value of k.w longer than 199 characters skipped"), 1);

    // A line of exactly 249 characters is read, one of 250 is not.
    const std::string pad(DEF_LINE_LEN - 1 - 5, ' ');
    Capture err1(stderr);
    EXPECT_EQ(pairs_of("k.x v" + pad + "\nk.y v" + pad + " \n"), (Pairs{{"k.x", "v"}}));
    EXPECT_EQ(count_of(err1.take(), "DEF_get: line longer than 249 characters skipped"), 1);

    Capture err2(stderr);
    for (int i = 0; i < DEF_MAX_TAGS; ++i) EXPECT_EQ(DEF_tag(std::string(1, 't').append(std::to_string(i)).c_str()), 0);
    EXPECT_EQ(DEF_tag("t0"), 0);   // already defined: takes no place
    EXPECT_EQ(DEF_tag("eleventh"), -1);
    EXPECT_EQ(pairs_of("IF eleventh\nk.a 1\nEND\nIF t9\nk.b 2\nEND\n"), (Pairs{{"k.b", "2"}}));
    EXPECT_EQ(count_of(err2.take(), "DEF_tag: more than 10 tags, eleventh ignored\n"), 1);
}

TEST_F(DefRead, PathAndNameLimits)
{
    Capture err(stderr);
    const std::string deep = dir_.string() + "/" + std::string(80 - dir_.string().size(), 'd');
    fs::create_directories(deep);
    std::ofstream(deep + "/vok.cfg") << "k.a 1\n";
    EXPECT_EQ(DEF_open(deep.c_str()), -1);   // its vok.cfg is beyond 79 characters
    EXPECT_EQ(count_of(err.take(), "DEF_open: defaults file name longer than 79 characters"), 1);

    Capture err2(stderr);
    DEF_name(std::string(30, 't').c_str());
    EXPECT_EQ(DEF_cmp("message", "sondex.message"), 1);   // the title was not taken
    DEF_name(std::string(29, 't').c_str());
    EXPECT_EQ(DEF_cmp("message", (std::string(29, 't') + ".message").c_str()), 1);
    // A qualified name beyond 39 characters matches no key.
    EXPECT_EQ(DEF_cmp("file_paths", (std::string(29, 't') + ".file_paths").c_str()), 0);
    EXPECT_EQ(DEF_cmp("file_path", "*_path"), 1);
    DEF_reset();
    program("a_program_name_of_thirty_chars");
    EXPECT_EQ(DEF_cmp("message", "vok.message"), 0);   // "Vok" stays
    EXPECT_EQ(DEF_cmp("message", "*.message"), 1);
    const std::string said = err2.take();
    EXPECT_EQ(count_of(said, "DEF_name: program title longer than 29 characters not used"), 1);
    EXPECT_EQ(count_of(said, "DEF_prog: program name longer than 29 characters not used"), 1);
}

TEST_F(DefRead, GarbageFilesAreReadWithoutHarm)
{
    std::string junk;
    unsigned state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        junk += static_cast<char>(state >> 16);
    }
    junk += "\nsondex.message warn\nk.nul va\0lue\n"s;
    Capture err(stderr);
    const Pairs got = pairs_of(junk);
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[got.size() - 2], (Pairs::value_type{"sondex.message", "warn"}));
    EXPECT_EQ(got.back(), (Pairs::value_type{"k.nul", "va"}));
    for (const auto& [k, v] : got) {
        EXPECT_LT(k.size(), static_cast<std::size_t>(DEF_KEY_LEN));
        EXPECT_LT(v.size(), static_cast<std::size_t>(DEF_VALUE_LEN));
    }
}

TEST_F(DefRead, EnvironmentNamesInOrder)
{
    char value[DEF_VALUE_LEN] = "";
    unsetenv("voksondex.message");
    unsetenv("vokmess");
    unsetenv("vokmessage");
    EXPECT_EQ(DEF_env("message", "vokmess", value), 0);
    setenv("vokmessage", "third", 1);
    EXPECT_EQ(DEF_env("message", "vokmess", value), 1);
    EXPECT_STREQ(value, "third");
    setenv("vokmess", "second", 1);
    EXPECT_EQ(DEF_env("message", "vokmess", value), 1);
    EXPECT_STREQ(value, "second");
    EXPECT_EQ(DEF_env("message", "", value), 1);
    EXPECT_STREQ(value, "third");
    setenv("voksondex.message", "first", 1);
    EXPECT_EQ(DEF_env("message", "vokmess", value), 1);
    EXPECT_STREQ(value, "first");
    DEF_name("+test");
    setenv("voksondex.test.message", "titled", 1);
    EXPECT_EQ(DEF_env("message", "vokmess", value), 1);
    EXPECT_STREQ(value, "titled");
    unsetenv("voksondex.test.message");
    DEF_name("");

    // A value beyond 199 characters is not cut into another value.
    setenv("voksondex.message", std::string(200, 'w').c_str(), 1);
    Capture err(stderr);
    std::snprintf(value, sizeof value, "kept");
    EXPECT_EQ(DEF_env("message", "vokmess", value), 0);
    EXPECT_STREQ(value, "kept");
    EXPECT_EQ(err.take(),
              "DEF_env: value of voksondex.message longer than 199 characters not used\n");
    unsetenv("voksondex.message");
    unsetenv("vokmess");
    unsetenv("vokmessage");
}
