#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <pwd.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"
#include "vok.h"

// ---------------------------------------------------------------- paths and file checks

namespace {

using testutil::Capture;
using testutil::StdinFeed;
using testutil::TtyFeed;
using testutil::read_file;
using testutil::count_of;

std::string home_of_current_user()
{
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

class FilePaths : public ::testing::Test {
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
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    testutil::TempDir tmp_{"vok_files"};
    std::string dir_ = tmp_.path().string();
};

using FileOverwrite = FilePaths;

} // namespace

TEST_F(FilePaths, StandardStreamNames)
{
    for (const char* name : {"", "-", "std", "STD", "stdn", "StdN"}) {
        EXPECT_EQ(FILE_is_stdio(name), 1) << name;
        EXPECT_EQ(FILE_exist(name), 1) << name;
    }
    for (const char* name : {"stdout", "--", "st", "x"}) EXPECT_EQ(FILE_is_stdio(name), 0) << name;
    EXPECT_EQ(FILE_is_stdio(nullptr), 0);
    EXPECT_EQ(FILE_open("-", "r"), stdin);
    EXPECT_EQ(FILE_open("-", "w"), stdout);
    EXPECT_EQ(FILE_open("STD", "a"), stdout);
    EXPECT_EQ(FILE_open("", "rb"), stdin);
}

TEST_F(FilePaths, FullPathsAndDirectories)
{
    EXPECT_EQ(FILE_fullpath("/data/x"), 1);
    EXPECT_EQ(FILE_fullpath("./x"), 1);
    EXPECT_EQ(FILE_fullpath("~/x"), 1);
    EXPECT_EQ(FILE_fullpath("x/y"), 0);
    EXPECT_EQ(FILE_fullpath(""), 0);

    char out[VOK_NAME_LEN];
    EXPECT_STREQ(FILE_add_path("/data", "upa.cty", out), "/data/upa.cty");
    EXPECT_STREQ(FILE_add_path("/data/", "upa.cty", out), "/data/upa.cty");
    EXPECT_STREQ(FILE_add_path(nullptr, "upa.cty", out), "upa.cty");
    EXPECT_STREQ(FILE_add_path("", "upa.cty", out), "upa.cty");
    EXPECT_STREQ(FILE_add_path("/data", "./upa.cty", out), "./upa.cty");
    EXPECT_STREQ(FILE_add_path("/data", "~/upa.cty", out), "~/upa.cty");
    EXPECT_STREQ(FILE_add_path("/data", "-", out), "-");

    char dir[VOK_NAME_LEN] = "/data";
    FILE_add_path_delim(dir);
    EXPECT_STREQ(dir, "/data/");
    FILE_add_path_delim(dir);
    EXPECT_STREQ(dir, "/data/");
    char empty[VOK_NAME_LEN] = "";
    FILE_add_path_delim(empty);
    EXPECT_STREQ(empty, "");
}

TEST_F(FilePaths, NamesThatDoNotFitAreRefusedNotCut)
{
    char out[VOK_NAME_LEN] = "previous";
    const std::string dir(120, 'd');
    const std::string name(39, 'n');     // 120 + "/" + 39 = 160: one too many
    EXPECT_EQ(FILE_add_path(dir.c_str(), name.c_str(), out), nullptr);
    EXPECT_STREQ(out, "");
    const std::string fits(38, 'n');     // 159 characters
    ASSERT_EQ(FILE_add_path(dir.c_str(), fits.c_str(), out), out);
    EXPECT_EQ(std::strlen(out), 159u);
    const std::string huge(10000, 'h');
    EXPECT_EQ(FILE_add_path(nullptr, huge.c_str(), out), nullptr);

    char full[VOK_NAME_LEN];
    std::memset(full, 'x', VOK_NAME_LEN - 1);
    full[VOK_NAME_LEN - 1] = '\0';
    EXPECT_EQ(FILE_add_path_delim(full), -1);
    EXPECT_EQ(std::strlen(full), static_cast<std::size_t>(VOK_NAME_LEN - 1));

    EXPECT_EQ(FILE_add_user_path(huge.c_str(), out), -1);
    EXPECT_STREQ(out, "");
    // 10 kB names are simply not there.
    EXPECT_EQ(FILE_exist(huge.c_str()), 0);
    EXPECT_EQ(FILE_is_dir(huge.c_str()), 0);
    EXPECT_EQ(FILE_size(huge.c_str()), -1);
    EXPECT_EQ(FILE_open(huge.c_str(), "r"), nullptr);
    EXPECT_EQ(FILE_open(path(huge).c_str(), "w"), nullptr);
    EXPECT_EQ(FILE_open(nullptr, "r"), nullptr);
}

TEST_F(FilePaths, HomeDirectoryExpansion)
{
    const std::string home = home_of_current_user();
    ASSERT_FALSE(home.empty());
    char out[VOK_NAME_LEN];
    EXPECT_EQ(FILE_add_user_path("~/x", out), 0);
    EXPECT_EQ(std::string(out), home + "/x");
    FILE_add_user_path("~", out);
    EXPECT_EQ(std::string(out), home);
    FILE_add_user_path("plain/~x", out);
    EXPECT_STREQ(out, "plain/~x");

    const passwd* root = getpwnam("root");
    if (root) {
        FILE_add_user_path("~root/etc/upa.cty", out);
        EXPECT_EQ(std::string(out), std::string(root->pw_dir) + "/etc/upa.cty");
        FILE_add_user_path("~root", out);
        EXPECT_EQ(std::string(out), root->pw_dir);
    }
    // An unknown user leaves the name as it is.
    FILE_add_user_path("~nosuchuser_vok_zz/x", out);
    EXPECT_STREQ(out, "~nosuchuser_vok_zz/x");
    EXPECT_EQ(FILE_exist("~nosuchuser_vok_zz/x"), 0);
    EXPECT_EQ(FILE_open("~nosuchuser_vok_zz/x", "r"), nullptr);
    EXPECT_EQ(FILE_exist("~"), 1);
    EXPECT_EQ(FILE_is_dir("~/"), 1);
}

TEST_F(FilePaths, ExistDirAndSize)
{
    const std::string f = path("data.txt");
    std::ofstream(f) << "12345";
    EXPECT_EQ(FILE_exist(f.c_str()), 1);
    EXPECT_EQ(FILE_is_dir(f.c_str()), 0);
    EXPECT_EQ(FILE_size(f.c_str()), 5);
    EXPECT_EQ(FILE_is_dir(dir_.c_str()), 1);
    const std::string missing = path("missing");
    EXPECT_EQ(FILE_exist(missing.c_str()), 0);
    EXPECT_EQ(FILE_is_dir(missing.c_str()), 0);
    EXPECT_EQ(FILE_size(missing.c_str()), -1);
}

TEST_F(FilePaths, MakeDirCreatesTheMissingParents)
{
    std::string p = path("a\\b/c.txt");
    std::vector<char> buf(p.begin(), p.end());
    buf.push_back('\0');
    EXPECT_EQ(FILE_make_dir(buf.data(), 1), 0);
    EXPECT_EQ(std::string(buf.data()), path("a/b/c.txt"));   // backslash turned
    EXPECT_TRUE(std::filesystem::is_directory(path("a/b")));
    EXPECT_FALSE(std::filesystem::exists(path("a/b/c.txt")));
    struct stat st {};
    ASSERT_EQ(stat(path("a").c_str(), &st), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0755u & ~mask);
    // The parent exists now: nothing to do.
    EXPECT_EQ(FILE_make_dir(buf.data(), 1), 1);

    // Leaving out no part makes the last one a directory too; doubled
    // slashes are harmless.
    std::string q = path("x//y/z");
    std::vector<char> qb(q.begin(), q.end());
    qb.push_back('\0');
    EXPECT_EQ(FILE_make_dir(qb.data(), 0), 0);
    EXPECT_TRUE(std::filesystem::is_directory(path("x/y/z")));

    // A negative count leaves out nothing rather than reading past the parts.
    std::string r = path("m/n");
    std::vector<char> rb(r.begin(), r.end());
    rb.push_back('\0');
    EXPECT_EQ(FILE_make_dir(rb.data(), -3), 0);
    EXPECT_TRUE(std::filesystem::is_directory(path("m/n")));
}

TEST_F(FilePaths, OpenForWritingCreatesDirectories)
{
    const std::string f = path("a/b/c.txt");
    FILE* fp = FILE_open(f.c_str(), "w");
    ASSERT_NE(fp, nullptr);
    std::fputs("TTAA\n", fp);
    EXPECT_EQ(FILE_close(fp, f.c_str()), 0);
    EXPECT_EQ(read_file(f), "TTAA\n");
    fp = FILE_open(f.c_str(), "a");
    ASSERT_NE(fp, nullptr);
    std::fputs("TTBB\n", fp);
    FILE_close(fp, f.c_str());
    EXPECT_EQ(read_file(f), "TTAA\nTTBB\n");
    // Reading never creates anything.
    EXPECT_EQ(FILE_open(path("q/r.txt").c_str(), "r"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(path("q")));
}

TEST_F(FilePaths, PipesRunCommands)
{
    const std::string out = path("piped.txt");
    const std::string writer = "|cat > " + out;
    FILE* fp = FILE_open(writer.c_str(), "w");
    ASSERT_NE(fp, nullptr);
    std::fputs("through the pipe\n", fp);
    EXPECT_EQ(FILE_close(fp, writer.c_str()), 0);   // waits for the command
    EXPECT_EQ(read_file(out), "through the pipe\n");

    FILE* rd = FILE_open("|echo 72469", "r");
    ASSERT_NE(rd, nullptr);
    char line[32] = "";
    ASSERT_NE(std::fgets(line, sizeof line, rd), nullptr);
    EXPECT_STREQ(line, "72469\n");
    FILE_close(rd, "|echo 72469");
    // Closing a standard stream leaves it open.
    EXPECT_EQ(FILE_close(stdout, "-"), 0);
    EXPECT_GE(std::fprintf(stdout, "%s", ""), 0);
}

TEST_F(FileOverwrite, MissingFilesAndStandardStreamsAreWritten)
{
    EXPECT_EQ(FILE_overwrite(path("none.upa").c_str(), 2), 1);
    EXPECT_EQ(FILE_overwrite("-", 2), 1);
    EXPECT_EQ(FILE_overwrite("std", 7), 1);
}

TEST_F(FileOverwrite, DecisionsMadeInAdvance)
{
    const std::string f = path("out.upa");
    std::ofstream(f) << "x";
    FLAG_reset(VOK_MISSING);
    FLAG_set(15, 2);
    EXPECT_EQ(FILE_overwrite(f.c_str(), 1), 2);
    EXPECT_EQ(FILE_overwrite(f.c_str(), 2), 2);
    EXPECT_EQ(FILE_overwrite(f.c_str(), 9), 2);
    EXPECT_EQ(FILE_overwrite(path("new.upa").c_str(), 2), 1);
    FLAG_set(15, VOK_MISSING);
    FLAG_set(19, 1);   // batch: keep the existing file, ask nothing
    Capture out;
    EXPECT_EQ(FILE_overwrite(f.c_str(), 2), 3);
    EXPECT_EQ(out.take(), "");
    FLAG_set(19, VOK_MISSING);
    EXPECT_EQ(FILE_overwrite(f.c_str(), 5), 0);
}

TEST_F(FileOverwrite, AnswersTypedByTheUser)
{
    const std::string f = path("out.upa");
    std::ofstream(f) << "x";
    const struct {
        const char* typed;
        int mode;
        int result;
    } cases[] = {
        {"Y\n", 2, 1},   {"y\n", 2, 1},   {"N\n", 2, 3},  {"over\n", 2, 1}, {"use\n", 2, 3},
        {"App\n", 2, 2}, {"a\n", 1, 3},   {"q\n", 2, 3},  {"\n", 2, 3},     {"", 2, 3},
        {"O\n", 1, 1},   {"yes\n", 1, 1}, {"U\n", 1, 3},
    };
    for (const auto& c : cases) {
        TtyFeed in(c.typed);
        Capture out;
        EXPECT_EQ(FILE_overwrite(f.c_str(), c.mode), c.result) << c.typed << " mode " << c.mode;
        const std::string asked = out.take();
        EXPECT_EQ(asked, f + (c.mode == 2 ? ": exists overwrite (Y,N,Use,Over,App): "
                                         : ": exists overwrite (Y,N,Use,Over): "));
    }
    // Without a terminal nobody is asked: the file is kept, whatever the
    // input holds.
    StdinFeed piped("o\n");
    Capture out;
    EXPECT_EQ(FILE_overwrite(f.c_str(), 2), 3);
    EXPECT_EQ(out.take(), "");
}

TEST_F(FileOverwrite, NameWithPercentIsShownAsItStands)
{
    const std::string f = path("100%s_%n_%d.upa");
    std::ofstream(f) << "x";
    TtyFeed in("set identifier 1\nA\n");
    Capture out;
    EXPECT_EQ(FILE_overwrite(f.c_str(), 2), 2);
    const std::string question = f + ": exists overwrite (Y,N,Use,Over,App): ";
    EXPECT_EQ(out.take(), question + question);   // asked again after "set"
    RES_clear();
}

// ---------------------------------------------------------------- set time

// ---------------------------------------------------------------- name conventions and templates

namespace {

Date at(int year, int month, int day, int hour, int min = VOK_MISSING)
{
    return {year, month, day, VOK_MISSING, VOK_MISSING, hour, min, 0};
}

std::int64_t secs_of(Date d)
{
    return DATE_num_sec(&d);
}

FILE_conv_info conv_info()
{
    FILE_conv_info info{};
    FILE_get_conv(&info);
    return info;
}

class FileNames : public FilePaths {
protected:
    void SetUp() override
    {
        FilePaths::SetUp();
        reset();
    }
    void TearDown() override
    {
        reset();
        FilePaths::TearDown();
    }
    static void reset()
    {
        RES_clear();
        FILE_clear_names();
        FILE_clear_time();
        unsetenv("vokcurtime");
    }
    // A convention file in the test directory, found through "file_path".
    void conventions(const std::string& text)
    {
        std::ofstream(path("name_conv")) << text;
        RES_put("file_path", dir_.c_str());
    }
    static std::string name_of(const Date& d)
    {
        char name[VOK_NAME_LEN] = "";
        FILE_set_date(&d, name);
        return name;
    }
    static std::string read_back(const std::string& given)
    {
        char name[VOK_NAME_LEN] = "";
        FILE_set_file(given.c_str(), name);
        return name;
    }
    static void set_time(int year, int month, int day, int hour, int min)
    {
        const Date d = {year, month, day, VOK_MISSING, VOK_MISSING, hour, min, 0};
        FILE_set_time(&d);
    }
    static Date file_date()
    {
        Date d;
        FILE_get_date(&d);
        return d;
    }
};

void expect_fields(const Date& d, int year, int month, int day, int hour, int min)
{
    EXPECT_EQ(d.year, year);
    EXPECT_EQ(d.month, month);
    EXPECT_EQ(d.day, day);
    EXPECT_EQ(d.hour, hour);
    EXPECT_EQ(d.min, min);
}

} // namespace

TEST_F(FileNames, ConventionFileLookup)
{
    conventions("# types of the upper-air suite\n"
                "\n"
                "upa_dat   %y%m%d%h_upa  -  100\n"
                "upa_cvt %y%m%d%h.cvt hdr_%y.cvt\n"
                "upa_cvt_xml %y%m%d%h.xml\n"
                "two_fields tmpl\n");
    Capture out;
    EXPECT_EQ(FILE_set_name("UPA_DAT"), 1);
    FILE_conv_info c = conv_info();
    EXPECT_STREQ(c.conv, "%y%m%d%h_upa");
    EXPECT_STREQ(c.hconv, "");
    EXPECT_EQ(c.min_size, 100);

    // Lines are not ranked: the first that begins the type wins.
    EXPECT_EQ(FILE_set_name("upa_cvt_xml"), 1);
    c = conv_info();
    EXPECT_STREQ(c.conv, "%y%m%d%h.cvt");
    EXPECT_STREQ(c.hconv, "hdr_%y.cvt");
    EXPECT_STREQ(c.ext, "xml");
    EXPECT_EQ(FILE_set_name("upa_cvt_unisys"), 1);
    EXPECT_STREQ(conv_info().ext, "unisys");

    EXPECT_EQ(FILE_set_name("two_fields"), 1);
    c = conv_info();
    EXPECT_STREQ(c.hconv, "");
    EXPECT_EQ(c.min_size, 0);

    // The blank line matches nothing; an unknown type is its own name.
    EXPECT_EQ(FILE_set_name("raw.txt"), 0);
    EXPECT_STREQ(conv_info().conv, "raw.txt");
    EXPECT_EQ(FILE_set_name("NONE"), 0);
    EXPECT_STREQ(conv_info().conv, "");
    EXPECT_EQ(out.take(), "");

    // Keys before the type's name; blanks become "_".
    EXPECT_EQ(FILE_set_name("upa_dat:x=my station:b=2"), 1);
    EXPECT_STREQ(FILE_get_key('x'), "my_station");
    EXPECT_STREQ(FILE_get_key('b'), "2");
    EXPECT_STREQ(conv_info().conv, "%y%m%d%h_upa");
}

TEST_F(FileNames, WithoutConventionFile)
{
    RES_put("file_path", dir_.c_str());
    RES_put("name_conv", "missing_conv");
    {
        Capture err(stderr);
        EXPECT_EQ(FILE_set_name("@%y%m%d%h.raw"), 1);   // never reads the file
        EXPECT_EQ(err.take(), "");
    }
    EXPECT_STREQ(conv_info().conv, "%y%m%d%h.raw");
    // A type that no convention names is a failure, never a file named
    // after the type; a name of its own is used as it stands.
    Capture err(stderr);
    EXPECT_EQ(FILE_set_name("upa_dat"), -1);
    EXPECT_STREQ(conv_info().conv, "");
    EXPECT_EQ(FILE_set_name("out.vok"), 0);
    EXPECT_STREQ(conv_info().conv, "out.vok");
    EXPECT_EQ(err.take(), "FILE_set_name: No file name convention file: " + path("missing_conv") +
                              " (for type upa_dat)\nFILE_set_name: No file name convention file: " +
                              path("missing_conv") + "\n");
}

TEST_F(FileNames, TypeWithoutAConventionIsAFailureNamingFileAndType)
{
    conventions("upa_dat %y%m%d%h_upa - 0\nupa_cvt\nupa_out |cat - 0\n");
    const std::string file = path("name_conv");
    Capture err(stderr);
    EXPECT_EQ(FILE_set_name("upa_cvt_xml"), -1);
    EXPECT_EQ(FILE_set_name("upa_raw"), -1);
    EXPECT_EQ(FILE_set_name("upa_out"), -1);
    EXPECT_STREQ(conv_info().conv, "");
    EXPECT_EQ(FILE_set_name("myfile"), 0);   // no type name: a name of its own
    EXPECT_EQ(err.take(), "FILE_set_name: No template for type upa_cvt in the file name convention file: " +
                              file + "\nFILE_set_name: No type upa_raw in the file name convention file: " +
                              file + "\nFILE_set_name: " + file + ": template |cat of upa_out refused: "
                              "commands (\"|\") are taken from the command line only\n");
}

TEST_F(FileNames, SaveAndRestore)
{
    conventions("upa_dat %y%m%d%h_upa - 10\nupa_cvt %y%m%d%3h.cvt - 20\n");
    FILE_set_name("upa_dat");
    name_of(at(2024, 1, 15, 12));
    FILE_set_filename("given_file");
    FILE_save_name_conv();
    FILE_set_name("upa_cvt_xml");
    EXPECT_EQ(name_of(at(2024, 1, 15, 13)), "24011512.cvt");
    EXPECT_EQ(conv_info().late_off, 3 * 3600);
    FILE_restore_name_conv();
    const FILE_conv_info c = conv_info();
    EXPECT_STREQ(c.conv, "%y%m%d%h_upa");
    EXPECT_STREQ(c.filename, "given_file");
    EXPECT_EQ(c.filename_type, 1);
    EXPECT_EQ(c.late_off, 3600);
    EXPECT_STREQ(c.ext, "xml");   // not part of the saved state
    EXPECT_EQ(c.min_size, 20);
}

TEST_F(FileNames, ExpansionOfEveryLetter)
{
    FILE_set_name("@%y%m%d%h_upa");
    EXPECT_EQ(FILE_set_date(nullptr, nullptr), -1);
    char name[VOK_NAME_LEN];
    const Date d = at(2024, 1, 15, 12, 30);
    EXPECT_EQ(FILE_set_date(&d, name), 0);
    EXPECT_STREQ(name, "24011512_upa");
    expect_fields(file_date(), 2024, 1, 15, 12, VOK_MISSING);
    EXPECT_EQ(FILE_get_offset(), 3600);
    EXPECT_STREQ(conv_info().filename, "24011512_upa");

    FILE_set_name("@%6h");
    EXPECT_EQ(name_of(at(2024, 1, 15, 14)), "12");
    EXPECT_EQ(FILE_get_offset(), 21600);
    FILE_set_name("@%b_%Y%j");
    EXPECT_EQ(name_of(at(2024, -3, 1, 0)), "xxx_2024001");   // the month clamped to January
    EXPECT_EQ(name_of(at(-1, 3, 1, 0)), "mar_0000060");
    EXPECT_EQ(name_of(at(2024, 3, 1, 0)), "mar_2024061");
    EXPECT_EQ(FILE_get_offset(), 86400);
    FILE_set_name("@x");
    EXPECT_EQ(name_of(at(2024, 3, 1, 0)), "x");
    EXPECT_EQ(conv_info().late_off, VOK_MISSING);
    EXPECT_EQ(FILE_get_offset(), 100000);

    FILE_set_key('k', "abcdef");
    RES_put("station", "72469");
    FILE_set_name("@%k.%3k.%q.%{station}%{unset} 100%%{x}*%e");
    EXPECT_EQ(name_of(at(2024, 3, 1, 0)), "abcdef.abc.0.72469_100%x*");
}

TEST_F(FileNames, SetValuesInExpansion)
{
    FILE_set_name("@%Y%m%d%h%n");
    set_time(VOK_MISSING, VOK_MISSING, VOK_MISSING, 6, VOK_MISSING);
    EXPECT_EQ(name_of(at(2024, 1, 15, 14, 20)), "202401150620");
    EXPECT_EQ(FILE_get_offset(), 60);
    set_time(2023, VOK_MISSING, -5, -6, -15);   // 5-daily, 6-hourly, quarter-hourly
    EXPECT_EQ(name_of(at(2024, 1, 17, 14, 20)), "202301151215");
    EXPECT_EQ(FILE_get_offset(), 900);
    set_time(VOK_MISSING, VOK_MISSING, VOK_MISSING, -312, VOK_MISSING);
    EXPECT_EQ(name_of(at(2024, 1, 17, 14, 20)), "202401171520");
    EXPECT_EQ(FILE_get_offset(), 12 * 3600);
    set_time(VOK_MISSING, VOK_MISSING, VOK_MISSING, -312, VOK_MISSING);
    EXPECT_EQ(name_of(at(2024, 1, 17, 2, 20)), "202401170320");
}

TEST_F(FileNames, StepOfZeroCountsAsOne)
{
    FILE_set_name("@%0d%0h%0n");
    EXPECT_EQ(name_of(at(2024, 1, 17, 14, 20)), "171420");
    EXPECT_EQ(FILE_get_offset(), 60);
    set_time(VOK_MISSING, VOK_MISSING, 0, -300, -100);   // steps of 00
    EXPECT_EQ(name_of(at(2024, 1, 17, 14, 20)), "001721");
    EXPECT_EQ(FILE_get_offset(), 60);
    // No date letter: nothing to round to.
    FILE_clear_time();
    FILE_set_name("@fixed.txt");
    setenv("vokcurtime", "#202401151234", 1);
    char name[VOK_NAME_LEN];
    EXPECT_EQ(FILE_set_current("-1", name), secs_of(at(2024, 1, 15, 11, 34)));
    EXPECT_STREQ(name, "fixed.txt");
}

TEST_F(FileNames, PathLetters)
{
    FILE_set_name("@%D/%y%m%d%h_upa");
    EXPECT_EQ(name_of(at(2024, 1, 15, 12)), "./24011512_upa");
    RES_put("data_path", "/data");
    EXPECT_EQ(name_of(at(2024, 1, 15, 12)), "/data/24011512_upa");
    FILE_set_name("@%D%y%m%d%h_upa");
    EXPECT_EQ(name_of(at(2024, 1, 15, 12)), "/data/24011512_upa");
    RES_put("data_path", "none");
    EXPECT_EQ(name_of(at(2024, 1, 15, 12)), "24011512_upa");

    // An explicit full-path name lends its directory to the template.
    RES_put("data_path", "/data");
    FILE_set_name("@%D/%y%m%d%h_upa");
    FILE_set_filename("/archive/2024/24011512_upa");
    EXPECT_EQ(name_of(at(2024, 1, 15, 13)), "/archive/2024/24011513_upa");
    FILE_set_name("@%D/%Y/%y%m%d%h_upa");
    FILE_set_filename("/archive/2024/24011512_upa");
    EXPECT_EQ(name_of(at(2024, 1, 15, 13)), "/archive/2024/24011513_upa");
}

TEST_F(FileNames, NamesNotBuiltFromTheTemplate)
{
    char name[VOK_NAME_LEN];
    const Date d = at(2024, 1, 15, 12);
    FILE_set_name("none");
    EXPECT_EQ(FILE_set_date(&d, name), 1);
    EXPECT_STREQ(name, "filename");
    FILE_set_filename("given");
    EXPECT_EQ(FILE_set_date(&d, name), 1);
    EXPECT_STREQ(name, "given");
    FILE_set_name("@std");
    EXPECT_EQ(FILE_set_date(&d, name), 1);
    EXPECT_STREQ(name, "-");
    // A date without a year keeps the name given.
    FILE_set_name("@%y%m%d%h_upa");
    FILE_set_filename("kept");
    const Date no_year = at(VOK_MISSING, 1, 15, 12);
    EXPECT_EQ(FILE_set_date(&no_year, name), 1);
    EXPECT_STREQ(name, "kept");
}

TEST_F(FileNames, ReadingGivenNames)
{
    FILE_set_name("@%y%m%d%h_upa");
    EXPECT_EQ(read_back("24011512_upa"), "24011512_upa");
    expect_fields(file_date(), 2024, 1, 15, 12, VOK_MISSING);
    EXPECT_EQ(FILE_get_offset(), 3600);
    EXPECT_EQ(read_back("99123100_upa"), "99123100_upa");
    EXPECT_EQ(file_date().year, 1999);
    EXPECT_EQ(read_back("24011512"), "24011512_upa");       // completed
    EXPECT_EQ(read_back("24011512_upa.gz"), "24011512_upa.gz");   // rest kept
    EXPECT_EQ(read_back("other.txt"), "other.txt");
    EXPECT_EQ(file_date().year, VOK_MISSING);

    // "#" fixes the set time and is dropped from the name.
    EXPECT_EQ(read_back("24011512_upa#2024011612"), "24011512_upa");
    Date set;
    FILE_get_time(&set);
    expect_fields(set, 2024, 1, 16, 12, VOK_MISSING);
    FILE_clear_time();

    EXPECT_EQ(read_back("@%y_literal"), "%y_literal");
    EXPECT_EQ(conv_info().filename_type, 1);
    EXPECT_EQ(read_back("STD"), "-");
    EXPECT_EQ(read_back(""), "-");
    EXPECT_EQ(read_back("none"), "none");

    RES_put("data_path", "/data");
    FILE_set_name("@%D%y%m%d%h_upa");
    EXPECT_EQ(read_back("24011512_upa"), "/data/24011512_upa");
    EXPECT_EQ(read_back("/other/24011512_upa"), "/other/24011512_upa");
    expect_fields(file_date(), 2024, 1, 15, 12, VOK_MISSING);
    FILE_set_name("@/data/%y%m%d%h");
    EXPECT_EQ(read_back("/x/y"), "/x/y");
    // A literal directory in the template is matched, not doubled.
    FILE_set_name("@raw/upa_%y%m%d%h");
    EXPECT_EQ(read_back("raw/upa_24011512"), "raw/upa_24011512");
    EXPECT_EQ(file_date().hour, 12);
    FILE_set_name("@{/feed/}%y%m%d%h*");
    EXPECT_EQ(read_back("24011512.any"), "/feed/24011512.any");

    FILE_set_name("none");
    EXPECT_EQ(read_back("plain"), "plain");
    EXPECT_STREQ(conv_info().filename, "plain");
}

TEST_F(FileNames, ExtensionAndKeysInGivenNames)
{
    FILE_set_name("@%e_%y%m%d%h");
    EXPECT_EQ(read_back("raw_24011512"), "raw_24011512");
    EXPECT_STREQ(conv_info().ext, "raw");
    FILE_clear_names();
    FILE_set_name("@%y%m%d%h.%e");
    EXPECT_EQ(read_back("24011512.txt"), "24011512.txt");
    EXPECT_STREQ(conv_info().ext, "txt");
    EXPECT_EQ(read_back("24011513.dat"), "24011513.txt");   // the extension is known now
    FILE_set_key('s', "72469");
    FILE_set_name("@%s_%y%m%d%h_%q");
    EXPECT_EQ(read_back("xxxxx_24011512_rest"), "72469_24011512_rest");
    EXPECT_EQ(file_date().hour, 12);
}

TEST_F(FileNames, RoundTripOverManyDates)
{
    RES_put("data_path", "/data");
    const char* templates[] = {"%Y%m%d%h%n.upa", "%y%m%d%h_upa", "%Y%j_%h", "%y%b%d_%h%n",
                               "%D/%Y/%m/%d%h_upa", "%y%m%d%6h_upa", "%Y%m%5d%3h%15n"};
    struct SetCase {
        int day, hour, min;
    } sets[] = {{VOK_MISSING, VOK_MISSING, VOK_MISSING}, {VOK_MISSING, -6, -15},
                {VOK_MISSING, -312, VOK_MISSING}, {-5, -1, -30}};
    std::vector<Date> dates;
    for (int year = 1951; year <= 2049; year += 7) {
        for (const Date& d : {at(year, 1, 1, 0, 0), at(year, 2, 28, 23, 59),
                              at(year, 2, 29, 12, 7), at(year, 3, 1, 1, 45),
                              at(year, 4, 30, 18, 30), at(year, 12, 31, 23, 0)}) {
            if (d.day == 29 && !DATE_is_leap(year)) continue;
            dates.push_back(d);
        }
    }
    // Every hour and minute over a year end and a leap day.
    const std::int64_t last = secs_of(at(2024, 3, 5, 0, 0));
    for (std::int64_t t = secs_of(at(2023, 12, 25, 0, 0)); t < last; t += 37 * 3600 + 13 * 60) {
        Date d;
        DATE_get_gmdate(&t, &d);
        dates.push_back(d);
    }
    for (const char* tmpl : templates) {
        for (const SetCase& s : sets) {
            // Day of year from a day rounded down to 0 is not a date of its own.
            if (s.day < 0 && std::strstr(tmpl, "%j")) continue;
            FILE_set_name((std::string("@") + tmpl).c_str());
            for (const Date& d : dates) {
                set_time(VOK_MISSING, VOK_MISSING, s.day, s.hour, s.min);
                const std::string name = name_of(d);
                const Date built = file_date();
                const int step = FILE_get_offset();
                ASSERT_EQ(read_back(name), name) << tmpl;
                const Date read = file_date();
                SCOPED_TRACE(std::string(tmpl) + " " + name);
                EXPECT_EQ(read.year, built.year);
                EXPECT_EQ(read.month, built.month);
                EXPECT_EQ(read.day, built.day);
                if (built.hour != VOK_MISSING) {
                    EXPECT_EQ(read.hour, built.hour);
                }
                if (built.min != VOK_MISSING) {
                    EXPECT_EQ(read.min, built.min);
                }
                EXPECT_EQ(FILE_get_offset(), step);
            }
        }
    }
}

TEST_F(FileNames, LatestFileSearch)
{
    conventions("upa_dat %D/%y%m%d%h_upa - 10\n");
    RES_put("data_path", dir_.c_str());
    FILE_set_name("upa_dat");
    std::ofstream(path("24011509_upa")) << std::string(50, 'x');
    std::ofstream(path("24011510_upa")) << std::string(10, 'x');   // not above min_size
    std::ofstream(path("24011511_upa")) << std::string(5, 'x');
    std::ofstream(path("24011512_upa")) << std::string(99, 'x');   // after the clock
    setenv("vokcurtime", "#202401151130", 1);
    char name[VOK_NAME_LEN];
    EXPECT_EQ(FILE_set_current("la", name), secs_of(at(2024, 1, 15, 9, 0)));
    EXPECT_EQ(std::string(name), path("24011509_upa"));
    expect_fields(file_date(), 2024, 1, 15, 9, VOK_MISSING);
    EXPECT_EQ(conv_info().filename_type, 0);
    EXPECT_EQ(FILE_set_current(nullptr, name), secs_of(at(2024, 1, 15, 9, 0)));
    EXPECT_EQ(FILE_set_current("la-6", name), secs_of(at(2024, 1, 15, 3, 0)));
    EXPECT_EQ(std::string(name), path("24011503_upa"));
    // Two tries (11, 10) find nothing: the name one step beyond.
    EXPECT_EQ(FILE_set_current("la#2", name), secs_of(at(2024, 1, 15, 9, 0)));
    // Forwards from 10:00 the first usable file is 12.
    EXPECT_EQ(FILE_set_current("-1:30+la", name), secs_of(at(2024, 1, 15, 12, 0)));
    EXPECT_EQ(FILE_set_current("-12", name), secs_of(at(2024, 1, 14, 23, 0)));
    EXPECT_EQ(FILE_set_current("+1d", name), secs_of(at(2024, 1, 16, 11, 0)));
    EXPECT_EQ(FILE_set_current("#2024011512", name), secs_of(at(2024, 1, 15, 12, 0)));
    EXPECT_EQ(std::string(name), path("24011512_upa"));

    // Nothing usable: 500 steps back.
    RES_put("data_path", path("empty").c_str());
    EXPECT_EQ(FILE_set_current("la", name), secs_of(at(2024, 1, 15, 11, 0)) - 500 * 3600);
}

TEST_F(FileNames, ReferenceTimeFittedToTheSetTime)
{
    FILE_set_name("@%Y%m%d%h%n");
    setenv("vokcurtime", "202405201130", 1);
    char name[VOK_NAME_LEN];
    set_time(VOK_MISSING, VOK_MISSING, VOK_MISSING, 12, VOK_MISSING);
    FILE_set_current("", name);
    EXPECT_STREQ(name, "202405191230");   // 12 o'clock was yesterday
    set_time(VOK_MISSING, 3, 15, 12, 0);
    FILE_set_current("", name);
    EXPECT_STREQ(name, "202403151200");
    set_time(VOK_MISSING, 7, VOK_MISSING, VOK_MISSING, VOK_MISSING);
    FILE_set_current("", name);
    EXPECT_STREQ(name, "202307201130");
}

TEST_F(FileNames, RunsOfHourlyFiles)
{
    using Names = std::vector<std::string>;
    FILE_set_name("@%y%m%d%h_upa");
    auto walk = [](const char* num_hour, const Date& first) {
        if (num_hour) RES_put("num_hour", num_hour);
        FILE_first(&first);
        std::vector<std::string> names;
        char name[VOK_NAME_LEN];
        while (FILE_get_next(name) && names.size() < 100) names.emplace_back(name);
        return names;
    };
    const Date noon = at(2024, 1, 15, 12);
    FILE_set_filename("24011512_upa");
    EXPECT_EQ(walk(nullptr, noon), Names{"24011512_upa"});
    EXPECT_EQ(walk("3", noon),
              (Names{"24011512_upa", "24011513_upa", "24011514_upa", "24011515_upa"}));
    const auto back = walk("-6", noon);
    ASSERT_EQ(back.size(), 7u);
    EXPECT_EQ(back.front(), "24011506_upa");
    EXPECT_EQ(back.back(), "24011512_upa");
    EXPECT_EQ(walk("6,2", noon),
              (Names{"24011512_upa", "24011514_upa", "24011516_upa", "24011518_upa"}));
    EXPECT_EQ(walk("-6,3", noon), (Names{"24011506_upa", "24011509_upa", "24011512_upa"}));
    EXPECT_EQ(walk("1:30,0:45", noon), (Names{"24011512_upa", "24011513_upa"}));
    EXPECT_EQ(walk("2", at(2024, 2, 28, 23)),
              (Names{"24022823_upa", "24022900_upa", "24022901_upa"}));

    // Names from the command line are read one by one.
    RES_clear();
    RES_new(50, "filename", "24011512_upa\nxx\n24011600", CV_strings);
    EXPECT_EQ(walk(nullptr, noon), (Names{"24011512_upa", "xx", "24011600_upa"}));
    // One name and a span: the span from its date.
    RES_new(50, "filename", "24011512_upa", CV_strings);
    EXPECT_EQ(walk("1", noon), (Names{"24011512_upa", "24011513_upa"}));
}

TEST_F(FileNames, SpanTexts)
{
    const struct {
        const char* text;
        int span, skip;
    } cases[] = {
        {"6", 21600, 3600},  {"-6", -21600, 3600}, {"1:30", 5400, 3600}, {"-1:30", -5400, 3600},
        {"-0:30", -1800, 3600}, {":45", 2700, 3600}, {"6,2", 21600, 7200}, {"6,:30", 21600, 1800},
        {",", 0, 0}, {":", 0, 3600}, {"-:-", 0, 3600}, {"abc", 0, 3600},
        {"99999999999999999999", 2147483647, 3600},
    };
    for (const auto& c : cases) {
        RES_put("num_hour", c.text);
        EXPECT_EQ(FILE_num_hour(), c.span) << c.text;
        EXPECT_EQ(FILE_get_skip(), c.skip) << c.text;
    }
    FILE_set_name("@%y%m%d%h");
    char name[VOK_NAME_LEN];
    const Date d = at(2024, 1, 15, 12);
    EXPECT_EQ(FILE_set_date_off(&d, -7200, name), -2);
    EXPECT_STREQ(name, "24011510");
}

TEST_F(FileNames, ListingQuotesEveryValue)
{
    std::ofstream(path("24011512_upa")) << "x";
    std::ofstream(path("24011513_upa")) << "x";
    std::ofstream(path("notes.txt")) << "x";
    RES_put("data_path", dir_.c_str());
    FILE_set_name("@%D/%y%m%d%h_upa");
    {
        Capture out;
        FILE_list_file();
        const std::string listing = out.take();
        EXPECT_NE(listing.find(path("24011512_upa")), std::string::npos) << listing;
        EXPECT_NE(listing.find(path("24011513_upa")), std::string::npos);
        EXPECT_EQ(listing.find("notes.txt"), std::string::npos);
    }
    const std::string owned = path("owned");
    FILE_set_key('x', ("x;touch " + owned + ";'$(touch " + owned + ")'").c_str());
    RES_put("evil", ("`touch " + owned + "`").c_str());
    RES_put("data_path", (dir_ + "/$(touch " + owned + ")").c_str());
    FILE_set_name("@%D/%x%{evil}%e_%y");
    Capture out;
    Capture err(stderr);
    FILE_list_file();
    EXPECT_FALSE(std::filesystem::exists(owned));
}

TEST_F(FileNames, NamesThatDoNotFitAreRefused)
{
    Capture err(stderr);
    const std::string huge(10000, 'n');
    EXPECT_EQ(FILE_set_name(("@" + huge).c_str()), -1);
    EXPECT_STREQ(conv_info().conv, "");
    EXPECT_EQ(FILE_set_name(huge.c_str()), -1);
    EXPECT_EQ(FILE_set_filename(huge.c_str()), -1);
    EXPECT_EQ(FILE_set_key('k', std::string(160, 'k').c_str()), -1);
    EXPECT_EQ(FILE_set_key('k', std::string(150, 'k').c_str()), 0);

    char name[VOK_NAME_LEN] = "previous";
    FILE_set_name("@%k/%y%m%d%h");
    const Date d = at(2024, 1, 15, 12);
    EXPECT_EQ(FILE_set_date(&d, name), 0);
    EXPECT_EQ(std::strlen(name), 159u);
    FILE_set_name("@%k/%y%m%d%h_");
    EXPECT_EQ(FILE_set_date(&d, name), -1);
    EXPECT_STREQ(name, "");
    EXPECT_STREQ(conv_info().filename, "");

    FILE_set_name("@%y%m%d%h");
    std::snprintf(name, sizeof name, "%s", "previous");
    EXPECT_EQ(FILE_set_file(huge.c_str(), name), -1);
    EXPECT_STREQ(name, "");
    RES_put("data_path", std::string(100, 'd').c_str());
    FILE_set_name("@%D/%y%m%d%h");
    EXPECT_EQ(FILE_set_file(std::string(70, '2').c_str(), name), -1);

    // A refused name given on the command line is no file (not standard input).
    RES_new(50, "filename", huge.c_str(), CV_strings);
    EXPECT_EQ(FILE_get_file_only("Enter: ", name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_NE(err.take().find("Name too long"), std::string::npos);
}

TEST_F(FileNames, BadTemplatesAndNames)
{
    const Date d = at(2024, 1, 15, 14, 20);
    FILE_set_name("@a%");
    EXPECT_EQ(name_of(d), "a%");
    EXPECT_EQ(read_back("a%"), "a%");
    FILE_set_name("@%999999h%12");
    EXPECT_EQ(name_of(d), "00%12");
    EXPECT_EQ(FILE_get_offset(), 10000 * 3600);
    FILE_set_name("@{abc%y");
    EXPECT_EQ(name_of(d), "abc24");
    FILE_set_name("@{abc");
    EXPECT_EQ(name_of(d), "abc");
    EXPECT_EQ(read_back("x"), "abcx");
    FILE_set_name("@%{abc");
    EXPECT_EQ(name_of(d), "");
    FILE_set_name("@%Q%!%y");
    EXPECT_EQ(name_of(d), "0024");
    FILE_set_name("@%y%m%d%h");
    // A "#" date that cannot be fixes nothing and refuses the name.
    Capture err(stderr);
    EXPECT_EQ(read_back("24%01#15"), "");
    EXPECT_EQ(read_back("24011512#" + std::string(40, '9')), "");
    Date set;
    FILE_get_time(&set);
    expect_fields(set, VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING);
    setenv("vokcurtime", "#202401151130", 1);
    char name[VOK_NAME_LEN];
    FILE_set_current(("#" + std::string(40, '1')).c_str(), name);
    EXPECT_STREQ(name, "");
    FILE_set_current("99999999999d99999999:9999999", name);
    FILE_set_current("la#0-", name);
    EXPECT_STREQ(name, "24011511");
    EXPECT_EQ(count_of(err.take(), "Invalid"), 3);
}

TEST_F(FileNames, DatesThatCannotBeNameNoFile)
{
    FILE_set_name("@%Y%m%d%h.upa");
    char name[VOK_NAME_LEN];
    Capture err(stderr);
    // A clock replaced by a date that cannot be names nothing.
    setenv("vokcurtime", "#202602310000", 1);
    FILE_set_current("", name);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(file_date().year, VOK_MISSING);
    // Nor does a "#" date after a given name, nor a name whose date cannot
    // be; "72518" fits the template only in part and gives no year 7251.
    EXPECT_EQ(read_back("feed.txt#2026023100"), "");
    read_back("2026023100.upa");
    EXPECT_EQ(file_date().year, VOK_MISSING);
    EXPECT_EQ(read_back("72518"), "72518");
    EXPECT_EQ(file_date().year, VOK_MISSING);
    EXPECT_EQ(err.take(), "FILE_set_current: Invalid current time:  (vokcurtime #202602310000: day 31 of 2026-02)\n"
                          "FILE_set_file: Invalid date in file name: feed.txt#2026023100 (day 31 of 2026-02)\n"
                          "FILE_set_file: Invalid date in file name: 2026023100.upa (day 31 of 2026-02)\n");
    // The set time stands when the name gives no whole date.
    set_time(2026, 2, 6, 0, VOK_MISSING);
    read_back("72518");
    expect_fields(file_date(), 2026, 2, 6, 0, VOK_MISSING);
}

TEST_F(FileNames, InputFromArgumentsCurrentTimeAndPrompt)
{
    std::ofstream(path("24011512_upa")) << "TTAA";
    RES_put("data_path", dir_.c_str());
    FILE_set_name("@%D/%y%m%d%h_upa");
    char name[VOK_NAME_LEN];
    RES_new(50, "filename", "24011512_upa\n24011513_upa", CV_strings);
    EXPECT_EQ(FILE_get_file_only("Enter the upper air filename: ", name), 1);
    EXPECT_EQ(std::string(name), path("24011512_upa"));
    expect_fields(file_date(), 2024, 1, 15, 12, VOK_MISSING);

    RES_clear();
    RES_put("data_path", dir_.c_str());
    setenv("vokcurtime", "#202401151430", 1);
    RES_put("current", "-1");
    EXPECT_EQ(FILE_get_file_only("Enter: ", name), 0);
    EXPECT_EQ(std::string(name), path("24011513_upa"));
    RES_clear();
    RES_put("data_path", dir_.c_str());
    FLAG_set(FLAG_BATCH_NUM, 1);
    {
        Capture out;
        EXPECT_EQ(FILE_get_file_only("Enter: ", name), 1);
        EXPECT_EQ(out.take(), "Current filename: " + path("24011512_upa") + "\n");
    }
    FLAG_clear();

    TtyFeed in("list\n24011512\n");
    Capture out;
    EXPECT_EQ(FILE_get_file_only("Enter the upper air filename: ", name), 1);
    const std::string shown = out.take();
    EXPECT_EQ(std::string(name), path("24011512_upa"));
    EXPECT_EQ(count_of(shown, "List of available files:\n"), 2);
    EXPECT_EQ(count_of(shown, "Enter the upper air filename: "), 2);
    EXPECT_EQ(count_of(shown, path("24011512_upa")), 2);
    EXPECT_EQ(conv_info().filename_type, 1);
}

TEST_F(FileNames, ListAndExitEndTheProgram)
{
    RES_new(50, "filename", "LIST", CV_strings);
    RES_put("data_path", dir_.c_str());
    FILE_set_name("@%D/%y%m%d%h_upa");
    EXPECT_EXIT(
        {
            Capture out;
            FILE_get_file_only("Enter: ", nullptr);
        },
        ::testing::ExitedWithCode(0), "");
    RES_clear();
    FLAG_clear();
    EXPECT_EXIT(
        {
            TtyFeed in("exit\n");
            Capture out;
            FILE_get_file_only("Enter: ", nullptr);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FileNames, GivenNameExitIsAFile)
{
    FILE_set_name("@%y");
    char name[VOK_NAME_LEN];
    EXPECT_EQ(FILE_set_file("EXIT", name), 0);
    EXPECT_STREQ(name, "EXIT");
}
