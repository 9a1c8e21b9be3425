#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "test_util.h"
#include "vok.h"
#include "vokresrc.h"
#include "vokupa.h"

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
        {"#2024x6", M, M, M, M, M},   // no time: nothing is set
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
    Capture err(stderr);
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
    // Each value that is no time was reported.
    EXPECT_EQ(testutil::count_of(err.take(), "RES_conv_data: Invalid hour: "), 3);
}

// ---------------------------------------------------------------- table, command line, help

namespace {

namespace fs = std::filesystem;

// The resources this program accepts, in its order, and its positional list.
// The program's own lists, as main hands them to RES_init.
const int* const sondex_keys = UPA_res_key;
const int* const sondex_pos = UPA_res_pos;

// Environment variables the decoding tests may set.
const char* const env_names[] = {"vokdefault", "vokmess", "vokmessage", "voksondex.message",
                                 "vokdata", "vokident", "voktz"};

class Decode : public Resrc {
protected:
    void SetUp() override
    {
        Resrc::SetUp();
        DEF_reset();
        FILE_clear_time();
        for (const char* name : env_names) unsetenv(name);
    }
    void TearDown() override
    {
        for (const char* name : env_names) unsetenv(name);
        DEF_reset();
        FILE_clear_time();
        DATE_reset();
        Resrc::TearDown();
    }
    std::string file(const std::string& name, const std::string& text)
    {
        const fs::path p = dir_ / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text;
        return p.string();
    }
    std::string sub(const std::string& name) const { return (dir_ / name).string(); }
    // RES_init over "sondex" and the arguments; the texts live until the test ends.
    void init(std::vector<std::string> args)
    {
        args_ = std::move(args);
        args_.insert(args_.begin(), "/usr/local/bin/sondex");
        argv_.clear();
        for (auto& a : args_) argv_.push_back(a.data());
        argv_.push_back(nullptr);
        RES_init(static_cast<int>(args_.size()), argv_.data(), sondex_keys, sondex_pos);
    }
    // Defaults only from the test directory, never from the machine's.
    void init_here(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"-df", sub("none")});
        init(std::move(args));
    }

    testutil::TempDir tmp_{"resrc"};
    fs::path dir_ = tmp_.path();
    std::vector<std::string> args_;
    std::vector<char*> argv_;
};

std::string get(const char* name)
{
    const char* v = RES_get(name);
    return v ? v : "<unset>";
}

} // namespace

TEST_F(Decode, HelpTextOfThisProgram)
{
    Capture out;
    EXPECT_EQ(RES_help_print("sondex", sondex_keys, sondex_pos), 1);
    EXPECT_EQ(out.take(),
              "sondex syntax (version:5.60.2-LINUX-X11)\n"
              "   sondex [options...]\n"
              "Keyed options...\n"
              " -df file    Resource/defaults file name\n"
              " -na name    Program name\n"
              " -h          Print this help\n"
              " -ba         Run program in batch mode\n"
              " -me level   Message level to be displayed:\n"
              "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n"
              " -fp path    File path\n"
              " -dp path    Raw data path\n"
              " -cp path    Converted data path\n"
              " -gp path    Gridded data path\n"
              " -rp path    Raw files path\n"
              " -ip path    Image file path\n"
              " -wp path    Watch file data path\n"
              " -tp path    Text file path\n"
              " -mp path    Model file path\n"
              " -sp path    Satellite file path\n"
              " -cf file    City database file name\n"
              " -pr prior   Priority of stations used in the plot\n"
              " -in type    Type of input\n"
              " -ou type    Type of output\n"
              " -nc type    Naming convention file name\n"
              " -if type    Input data file type\n"
              " -of type    Output file type\n"
              " -pf param   File parameters: use,calc,over,app\n"
              " -cu [hour]  Use current data file\n"
              " -ho hour    Actual hour of the file\n"
              " -nh hour[,step]  Number of hours to view\n"
              " -dh hour    Actual hour to decode\n"
              " -id ident   Specific station identifier\n"
              " -pa param[,...]  Program parameters\n"
              "Positional options...\n"
              " file [file...]  Input file names\n");
    // A number without a help row shows itself.
    const int odd[] = {RES_command, RES_null};
    Capture out2;
    RES_help_print("x", odd, nullptr);
    EXPECT_EQ(count_of(out2.take(), "\n33\nPositional options...\n"), 1);
}

TEST_F(Decode, OptionForms)
{
    init_here({"--me=warn", "-ho", "-3:00", "-cur", "12", "-i", "x", "-d", "y", "-xyz", "5", "--name",
               "t", "--df", "z", "--", "-ba", "file1", "-PA", "range=-30:45", "-Identi", "72469",
               "-fp", "--of", "o.xml", "-cu"});
    EXPECT_EQ(get("message"), "warn");
    EXPECT_EQ(get("hour"), "-3:00");   // a negative number is a value
    EXPECT_EQ(get("image_path"), "x"); // first name in table order beginning with "i"
    EXPECT_EQ(get("data_path"), "y");
    EXPECT_EQ(get("xyz"), "5");        // a free resource
    EXPECT_EQ(get("name"), "<unset>"); // -- forms of name and default are skipped
    EXPECT_EQ(get("default"), sub("none"));
    EXPECT_EQ(get("batch"), "");       // a switch gives its next argument back
    EXPECT_EQ(get("filename"), "file1");
    EXPECT_EQ(get("parameter"), "range=-30:45");
    EXPECT_EQ(get("identifier"), "72469");
    EXPECT_EQ(get("file_path"), "");   // "--of" is an option, not the value of -fp
    EXPECT_EQ(get("out_file"), "o.xml");
    EXPECT_EQ(get("current"), "");     // last -cu has no value and replaces "12"
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(MESS_get_level(), 0xFFu);
    Date d;
    FILE_get_time(&d);
    EXPECT_EQ(d.hour, -3);
    EXPECT_EQ(d.min, 0);
    EXPECT_EQ(FLAG_help(), 0);
    EXPECT_EQ(FLAG_get(FLAG_FILE_PARAM), VOK_MISSING);
}

TEST_F(Decode, AbbreviationBeforeNameBeforePrefix)
{
    // "in" is the abbreviation of input although "in_file" begins with it;
    // "if" that of in_file; "input" names input itself.
    init_here({"-in", "a", "-if", "b", "-h", "-pf", "App", "-me", "warn", "-me", "debug", "-st", "4"});
    EXPECT_EQ(get("input"), "a");
    EXPECT_EQ(get("in_file"), "b");
    EXPECT_EQ(get("stat_prior"), "4");
    EXPECT_EQ(FLAG_help(), 1);
    EXPECT_EQ(FLAG_get(FLAG_FILE_PARAM), 2);
    EXPECT_EQ(MESS_get_level(), 0xFFFFFFFFu);   // only the last message setting applies
    EXPECT_EQ(names_in_order(), (std::vector<std::string>{"default", "input", "in_file", "help",
                                                          "file_param", "message", "stat_prior"}));
}

TEST_F(Decode, PositionalArgumentsJoinByNewlines)
{
    file("d/vok.cfg", "sondex.filename from_defaults\nsondex.foo bar\nother.baz x\n");
    init({"-df", sub("d"), "a", "-me", "warn", "b", "c"});
    EXPECT_EQ(get("filename"), "a\nb\nc");
    EXPECT_EQ(values("filename"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(get("foo"), "bar");   // an extra key of this program
    EXPECT_EQ(get("baz"), "<unset>");
}

TEST_F(Decode, SourcesInPrecedenceOrder)
{
    // Files in path order, then the environment (three names), then the
    // command line.
    file("a/vok.cfg", "*.identifier A\nsondex.data_path A\nsondex.city_file A\nsondex.message out1\n"
                      "*.output A\n*_path P\n");
    file("b/.vokdef", "sondex.identifier B\nsondex.data_path B\n*.output B\n");
    file("c", "sondex.identifier C\n");
    setenv("vokdata", "E", 1);
    setenv("vokmess", "warn", 1);
    init({"-df", sub("a") + ":" + sub("b") + ":" + sub("c") + ":" + sub("missing"), "-id", "L"});
    EXPECT_EQ(get("identifier"), "L");
    EXPECT_EQ(get("data_path"), "E");
    EXPECT_EQ(get("output"), "B");
    EXPECT_EQ(get("city_file"), "A");
    EXPECT_EQ(get("sat_path"), "P");
    EXPECT_EQ(get("message"), "warn");
    EXPECT_EQ(MESS_get_level(), 0xFFu);

    RES_clear();
    DEF_reset();
    MESS_reset();
    setenv("voksondex.message", "out1", 1);   // the qualified name goes first
    init({"-df", sub("c")});
    EXPECT_EQ(get("identifier"), "C");
    EXPECT_EQ(get("message"), "out1");
    RES_clear();
    MESS_reset();
    init({"-df", sub("c"), "-me", "none"});
    EXPECT_EQ(MESS_get_level(), 0u);
}

TEST_F(Decode, DefaultsPathEntries)
{
    // Tags from '+' entries apply to the files after them; -na selects the
    // keys of a title; "vokdefault" gives the path unless -df does.
    file("t/vok.cfg", "IF site\nsondex.test.city_file tagged\nELSE\nsondex.test.city_file plain\nEND\n"
                      "sondex.city_file untitled\n");
    setenv("vokdefault", sub("t").c_str(), 1);
    init({"-na", "+test"});
    EXPECT_EQ(get("city_file"), "plain");
    EXPECT_EQ(get("name"), "+test");
    RES_clear();
    DEF_reset();
    init({"-df", "+site:" + sub("t") + ":+late", "-na=+test"});
    EXPECT_EQ(get("city_file"), "tagged");
    RES_clear();
    DEF_reset();
    init({"-default", sub("t")});
    EXPECT_EQ(get("city_file"), "untitled");

    // The built-in path starts with the working directory.
    unsetenv("vokdefault");
    RES_clear();
    DEF_reset();
    file("cwd/.vokdef", "sondex.city_file here\n");
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_ / "cwd");
    init({});
    fs::current_path(cwd);
    EXPECT_EQ(get("city_file"), "here");
    EXPECT_EQ(get("default"), "<unset>");
}

TEST_F(Decode, BatchKeepsTheLevelTheUserChose)
{
    file("m", "sondex.message debug\n");
    init({"-df", sub("m"), "-ba"});
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(MESS_get_level(), 0xFFFFFFFFu);
    RES_clear();
    MESS_reset();
    init_here({"-ba=no"});   // the value of a switch is ignored
    EXPECT_EQ(FLAG_batch(), 1);
    EXPECT_EQ(MESS_get_level(), 0xFFu);
    RES_clear();
    MESS_reset();
    init_here({});
    EXPECT_EQ(FLAG_batch(), 0);   // flags not set read VOK_MISSING
    EXPECT_EQ(FLAG_get(FLAG_BATCH_NUM), VOK_MISSING);
}

TEST_F(Decode, HugeCommandLinesAreHandled)
{
    std::vector<std::string> args;
    for (int i = 0; i < 10000; ++i) {
        args.push_back("-opt" + std::to_string(i));
        args.push_back(std::to_string(i));
    }
    const std::string long_name(10000, 'n');
    const std::string long_value(10000, 'v');
    args.insert(args.end(), {"-" + long_name, "swallowed", "-" + long_name + "=x", "-id", long_value,
                             "-" + std::string(49, 'q'), "kept"});
    Capture err(stderr);
    init_here(args);
    EXPECT_EQ(get("opt9999"), "9999");
    EXPECT_EQ(get("identifier"), long_value);
    EXPECT_EQ(get(std::string(49, 'q').c_str()), "kept");
    EXPECT_EQ(get("swallowed"), "<unset>");
    EXPECT_EQ(get("filename"), "<unset>");
    EXPECT_EQ(count_of(err.take(), "RES_decode: option name longer than 49 characters skipped: -nnn"), 2);
    int n = 0;
    for (const resource* r = RES_first(); r; r = r->next) ++n;
    EXPECT_EQ(n, 10000 + 3);   // default, identifier, the 49-character name
}

TEST_F(Decode, TableLimitAndUnknownNumbers)
{
    std::vector<int> many(80, RES_hour);
    many.push_back(RES_null);
    const int none[] = {RES_null};
    args_ = {"sondex", "-ho", "12"};
    argv_ = {args_[0].data(), args_[1].data(), args_[2].data(), nullptr};
    Capture err(stderr);
    RES_init(3, argv_.data(), many.data(), none);
    EXPECT_EQ(count_of(err.take(), "RES_init: more than 74 resources, 58 ignored\n"), 6);
    EXPECT_EQ(get("hour"), "12");

    RES_clear();
    const int odd[] = {7, RES_identifier, RES_null};
    Capture out;
    RES_init(3, argv_.data(), odd, none);
    EXPECT_EQ(out.take(), "7\n");
    EXPECT_EQ(get("ho"), "12");   // nothing in this table is "hour"
}
