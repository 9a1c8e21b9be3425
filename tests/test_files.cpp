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
        char tmpl[] = "/tmp/vok_files_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override
    {
        MESS_reset();
        FLAG_clear();
        std::filesystem::remove_all(dir_);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    std::string dir_;
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
        StdinFeed in(c.typed);
        Capture out;
        EXPECT_EQ(FILE_overwrite(f.c_str(), c.mode), c.result) << c.typed << " mode " << c.mode;
        const std::string asked = out.take();
        EXPECT_EQ(asked, f + (c.mode == 2 ? ": exists overwrite (Y,N,Use,Over,App): "
                                         : ": exists overwrite (Y,N,Use,Over): "));
    }
}

TEST_F(FileOverwrite, NameWithPercentIsShownAsItStands)
{
    const std::string f = path("100%s_%n_%d.upa");
    std::ofstream(f) << "x";
    StdinFeed in("set identifier 1\nA\n");
    Capture out;
    EXPECT_EQ(FILE_overwrite(f.c_str(), 2), 2);
    const std::string question = f + ": exists overwrite (Y,N,Use,Over,App): ";
    EXPECT_EQ(out.take(), question + question);   // asked again after "set"
    RES_clear();
}

// ---------------------------------------------------------------- set time
