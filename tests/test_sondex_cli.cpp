// The command line of the built program and the set-up it reads, end to
// end: every run that once failed silently, lost data or did what nobody
// asked, with its exit status and its exact message. Each test runs the
// binary in a directory of its own, with a defaults path that names only the
// test's defaults directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "test_util.h"
#include "vokupa.h"

namespace {

namespace fs = std::filesystem;
using testutil::read_file;

const fs::path source_dir = SONDEX_SOURCE_DIR;
const fs::path sample = source_dir / "2026020600.upa";
const std::string header = "VOKUPAx\n0000Z  6 FEB 26\n";
const std::string no_command = " refused: commands (\"|\") are taken from the command line only\n";

void write_file(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

class SondexCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(work_);
        fs::create_directories(defaults_dir_);
        defaults("sondex.file_path " + source_dir.string() + "\n");
    }

    void defaults(const std::string& text) { write_file(defaults_dir_ / "vok.cfg", text); }
    fs::path at(const std::string& name) const { return work_ / name; }

    testutil::ProgramRun run(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                             const std::string& input = "", bool at_terminal = false)
    {
        std::vector<std::string> all = {"PATH=/usr/bin:/bin", "HOME=" + base_.string(),
                                        "vokdefault=" + defaults_dir_.string()};
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (const char* v = std::getenv(name)) all.push_back(std::string(name) + "=" + v);
        all.insert(all.end(), env.begin(), env.end());
        testutil::RunOptions o;
        o.input = input;
        o.at_terminal = at_terminal;
        return testutil::run_program(SONDEX_BINARY, args, all, work_, base_, o);
    }

    // The names in the working directory, sorted: what a run left there.
    std::vector<std::string> work_files() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(work_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testutil::TempDir tmp_{"sondex_cli"};
    fs::path base_ = tmp_.path();
    fs::path work_ = base_ / "work";
    fs::path defaults_dir_ = base_ / "defaults";
};

// The line is one of the lines of the text.
testing::AssertionResult has_line(const std::string& text, const std::string& line)
{
    if (("\n" + text).find("\n" + line) != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no line \"" << line << "\" in:\n" << text;
}

TEST_F(SondexCli, PipeOutputsAreTakenFromTheCommandLineOnly)
{
    const fs::path marker = base_ / "ran";
    const std::string command = "|touch${IFS}" + marker.string();
    defaults("sondex.file_path " + source_dir.string() + "\nsondex.out_file " + command + "\n");
    auto r = run({"-ba", sample.string()});
    EXPECT_EQ(r.status, UPA_EXIT_OK);
    EXPECT_EQ(testutil::without_summary(r.err), "RES_decode: " + (defaults_dir_ / "vok.cfg").string() + ": out_file " + command + no_command);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_EQ(read_file(at("2026020600.vok")).substr(0, header.size()), header);   // nothing lost

    defaults("sondex.file_path " + source_dir.string() + "\n");
    r = run({"-ba", "-pf", "over", sample.string()}, {"vokoutfile=" + command});
    EXPECT_EQ(r.status, UPA_EXIT_OK);
    EXPECT_EQ(testutil::without_summary(r.err), "RES_decode: environment vokoutfile: out_file " + command + no_command);
    EXPECT_FALSE(fs::exists(marker));

    // Given on the command line, the output is piped into the command.
    r = run({"-ba", "-of", "|cat>piped.vok", sample.string()});
    EXPECT_EQ(r.status, UPA_EXIT_OK) << r.err;
    EXPECT_EQ(read_file(at("piped.vok")).substr(0, header.size()), header);
}

TEST_F(SondexCli, UnknownOptionIsAnErrorAndRunsNothing)
{
    fs::copy_file(sample, at("2026020600.upa"));
    auto r = run({"-ba", "-zzz", "2026020600.upa"});
    EXPECT_EQ(r.status, UPA_EXIT_SETUP);
    EXPECT_EQ(r.err, "RES_decode: Unknown option: -zzz\n");
    EXPECT_EQ(work_files(), std::vector<std::string>{"2026020600.upa"});
    // A leading part of a name still selects its option.
    r = run({"-bat", "-hou", "#2026020600", "-out", "xml", "2026020600.upa"});
    EXPECT_EQ(r.status, UPA_EXIT_OK) << r.err;
    EXPECT_TRUE(fs::exists(at("2026020600.xml")));
}

TEST_F(SondexCli, VersionPrintsTheTitleAndVersion)
{
    for (const char* option : {"--version", "-V"}) {
        const auto r = run({option});
        EXPECT_EQ(r.status, UPA_EXIT_OK) << option;
        EXPECT_EQ(r.out, "UPPER AIR DATA CONVERSION PROGRAM (Ver 5.60.2-LINUX-X11)\n") << option;
        EXPECT_EQ(r.err, "") << option;
    }
    EXPECT_TRUE(work_files().empty());
}

TEST_F(SondexCli, DatesThatCannotBeAreRefused)
{
    const struct {
        const char* value;
        const char* why;
    } hours[] = {
        {"#2026023100", "day 31 of 2026-02"},      {"#2026133100", "month 13"},
        {"99", "hour 99"},                          {"#0000000000", "year 0, not 1901 to 2099"},
        {"#9999999999", "year 9999, not 1901 to 2099"}, {"#2026020600x", "not #yyyymmdd[hh[mm]]"},
    };
    for (const auto& h : hours) {
        const auto r = run({"-ba", "-ho", h.value, sample.string()});
        EXPECT_EQ(r.status, UPA_EXIT_SETUP) << h.value;
        EXPECT_EQ(r.err, std::string("RES_conv_data: Invalid hour: ") + h.value + " (" + h.why + ")\n");
    }
    for (const auto& c : {std::pair{"#2026023100", "day 31 of 2026-02"}, std::pair{"12x", "\"x\" not understood"}}) {
        const auto r = run({"-ba", "-cu", c.first});
        EXPECT_EQ(r.status, UPA_EXIT_SETUP) << c.first;
        EXPECT_TRUE(has_line(r.err, std::string("FILE_set_current: Invalid current time: ") + c.first + " (" +
                                        c.second + ")\n"));
    }
    // A name the convention reads no whole date from is "no date".
    write_file(at("72518"), read_file(sample));
    const auto r = run({"-ba", "72518"});
    EXPECT_EQ(r.status, UPA_EXIT_SETUP);
    EXPECT_TRUE(has_line(r.err, "UPA_decode_all: No date for the input file: ./72518\n"));
    EXPECT_EQ(work_files(), std::vector<std::string>{"72518"});
}

TEST_F(SondexCli, StationTableWithoutStationsIsAFailure)
{
    fs::create_directory(at("dir.cty"));
    write_file(at("empty.cty"), "");
    write_file(at("junk.cty"), std::string(3000, '\x01') + "\n");
    const std::vector<std::pair<std::string, std::string>> tables = {
        {"dir.cty", "CTY_open_file: Database file is a directory: " + at("dir.cty").string()},
        {"empty.cty", "CTY_store: No station line with a position in the database file: " + at("empty.cty").string()},
        {"junk.cty", "CTY_store: No station line with a position in the database file: " + at("junk.cty").string()},
    };
    for (const auto& [table, message] : tables) {
        const auto r = run({"-ba", "-cf", at(table).string(), sample.string()});
        EXPECT_EQ(r.status, UPA_EXIT_SETUP) << table;
        EXPECT_TRUE(has_line(r.err, message + "\n"));
        EXPECT_FALSE(fs::exists(at("2026020600.vok"))) << table;
    }
    // A line that places its station where none can be is skipped, by name.
    const std::string table = read_file(source_dir / "upa.cty");
    write_file(at("bad.cty"), "NOWHERE -- XX XXXX 1 99.0 -999.0 10 99001 0\n" + table);
    const auto r = run({"-ba", "-cf", at("bad.cty").string(), sample.string()});
    EXPECT_EQ(r.status, UPA_EXIT_OK);
    EXPECT_EQ(testutil::without_summary(r.err), "CTY_store: " + at("bad.cty").string() +
                         ":1: impossible position (latitude 99.00, longitude -999.00), station skipped\n");
}

TEST_F(SondexCli, MissingNameConventionIsAnErrorNamingFileAndType)
{
    const fs::path none = base_ / "no_conv";
    auto r = run({"-ba", "-nc", none.string(), "-ho", "#2026020600", sample.string()});
    EXPECT_EQ(r.status, UPA_EXIT_SETUP);
    EXPECT_TRUE(has_line(r.err, "FILE_set_name: No file name convention file: " + none.string() +
                                    " (for type upa_cvt)\n"));
    write_file(base_ / "conv", "upa_dat %R%Y%m%d%h.upa - 0\n");
    r = run({"-ba", "-nc", (base_ / "conv").string(), sample.string()});
    EXPECT_EQ(r.status, UPA_EXIT_SETUP);
    EXPECT_TRUE(has_line(r.err, "FILE_set_name: No type upa_cvt in the file name convention file: " +
                                    (base_ / "conv").string() + "\n"));
    EXPECT_TRUE(work_files().empty());   // no "upa_cvt", no "filename"
}

TEST_F(SondexCli, PromptsWaitOnlyAtATerminal)
{
    fs::copy_file(sample, at("2026020600.upa"));
    // Bulletins piped in are never the answer to the file name question:
    // as in batch mode the newest raw file for the time is converted.
    auto r = run({"-ho", "#2026020600"}, {}, read_file(sample));
    EXPECT_EQ(r.status, UPA_EXIT_OK) << r.err;
    EXPECT_EQ(work_files(), (std::vector<std::string>{"2026020600.upa", "2026020600.vok"}));
    // An existing file is kept without a terminal, overwritten at one.
    write_file(at("2026020600.vok"), "mine\n");
    r = run({"2026020600.upa"}, {}, "o\n");
    EXPECT_EQ(r.status, UPA_EXIT_OK);
    EXPECT_TRUE(has_line(r.err, "UPA_out_file: Unable to overwrite converted data file\n"));
    EXPECT_EQ(read_file(at("2026020600.vok")), "mine\n");
    r = run({"2026020600.upa"}, {}, "n\n", true);
    EXPECT_EQ(read_file(at("2026020600.vok")), "mine\n");
    r = run({"2026020600.upa"}, {}, "o\n", true);
    EXPECT_EQ(r.status, UPA_EXIT_OK);
    EXPECT_TRUE(has_line(r.out, "./2026020600.vok: exists overwrite (Y,N,Use,Over,App): Creating output file: "
                                "./2026020600.vok\n"));
    EXPECT_EQ(read_file(at("2026020600.vok")).substr(0, header.size()), header);
}

TEST_F(SondexCli, ExitIsAFileNameAndAMissingDefaultsFileIsAWarning)
{
    fs::copy_file(sample, at("exit"));
    auto r = run({"-ba", "-ho", "#2026020600", "exit"});
    EXPECT_EQ(r.status, UPA_EXIT_OK) << r.err;
    EXPECT_EQ(testutil::without_summary(r.err), "");
    EXPECT_EQ(read_file(at("2026020600.vok")).substr(0, header.size()), header);
    const fs::path missing = base_ / "nowhere.cfg";
    r = run({"-ba", "-df", missing.string(), "-fp", source_dir.string(), "-pf", "over", "exit#2026020600"});
    EXPECT_EQ(r.status, UPA_EXIT_OK);
    EXPECT_EQ(testutil::without_summary(r.err), "RES_decode: Defaults file not found: " + missing.string() + "\n");
}

TEST_F(SondexCli, IdentifierMatchesStationIdentifiersInAnyCase)
{
    const auto r = run({"-ba", "-id", "enol", sample.string()});
    EXPECT_EQ(r.status, UPA_EXIT_OK) << r.err;
    const std::string text = read_file(at("2026020600.vok"));
    EXPECT_EQ(text.substr(0, header.size() + 11), header + "01241:ENOL:");
    EXPECT_EQ(testutil::count_of(text, "$\n"), 1);   // that station alone
}

TEST_F(SondexCli, LatestRawFileIsFoundHoweverOld)
{
    // The README's "sondex -ba" in a directory holding only the sample,
    // years after it was observed.
    fs::copy_file(sample, at("2026020600.upa"));
    const auto r = run({"-ba"}, {"vokcurtime=#203001010000"});
    EXPECT_EQ(r.status, UPA_EXIT_OK) << r.err;
    EXPECT_EQ(testutil::without_summary(r.err), "");
    EXPECT_EQ(read_file(at("2026020600.vok")).substr(0, header.size()), header);
}

TEST_F(SondexCli, EveryOptionOfTheHelpIsInTheManPage)
{
    const auto r = run({"-h"});
    ASSERT_EQ(r.status, UPA_EXIT_OK);
    const std::string page = read_file(source_dir / "doc" / "sondex.1");
    std::istringstream lines(r.out);
    int options = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(" -", 0) != 0) continue;
        const std::string option = line.substr(1, line.find(' ', 1) - 1);
        ++options;
        EXPECT_NE(page.find("\\-" + option.substr(1)), std::string::npos) << option;
    }
    EXPECT_EQ(options, 29);
}

}  // namespace
