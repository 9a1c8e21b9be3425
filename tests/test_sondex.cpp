// The sondex program end to end: the built binary run as a user runs it, in
// a directory of the test's own, with an environment of the test's own (a
// defaults path that names only the test's defaults directory, so that a
// vok.cfg installed on the machine never changes a result). Golden files of
// the shipped sample in every form; the real feeds of the shared data folder
// for every form and the resources a user gives; bad input and failing
// output files for their messages and exit statuses.
//
// SONDEX_UPDATE_GOLDEN=1 rewrites the golden files from the current program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "test_util.h"
#include "vokupa.h"

namespace {

namespace fs = std::filesystem;
using testutil::count_of;
using testutil::read_file;

const fs::path source_dir = SONDEX_SOURCE_DIR;
const fs::path sample = source_dir / "2026020600.upa";
const fs::path golden_dir = source_dir / "tests" / "golden";
const fs::path bulletins = fs::path(SONDEX_SHARED_DATA) / "bulletins";

struct Result {
    int status = -1;  // exit status; -1 when the program did not exit
    std::string out;
    std::string err;
};

struct Options {
    std::vector<std::string> env;  // "name=value" besides the fixture's
    std::string input;             // standard input
    bool close_std = false;        // start with standard input and output closed
    long fsize_limit = -1;         // bytes any file may grow to (a full disk)
};

Options with_env(const std::string& assignment)
{
    Options o;
    o.env = {assignment};
    return o;
}

Options answering(const std::string& answers)
{
    Options o;
    o.input = answers;
    return o;
}

void write_file(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

// A text holds a part; the whole text is shown when it does not.
testing::AssertionResult has(const std::string& text, const std::string& part)
{
    if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

// The first line where two texts differ, for a readable failure.
testing::AssertionResult same_text(const std::string& got, const std::string& want)
{
    if (got == want) return testing::AssertionSuccess();
    std::istringstream a(got), b(want);
    std::string la, lb;
    for (int n = 1;; ++n) {
        const bool ea = !std::getline(a, la), eb = !std::getline(b, lb);
        if (ea || eb || la != lb)
            return testing::AssertionFailure() << "line " << n << ":\n got: " << (ea ? "<end>" : la)
                                               << "\nwant: " << (eb ? "<end>" : lb);
    }
}

class Sondex : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(work_);
        fs::create_directories(base_ / "defaults");
        // The installed program's defaults file, pointing at the shipped
        // station table and name conventions.
        defaults("sondex.file_path " + source_dir.string() + "\n");
    }

    void defaults(const std::string& text) { write_file(base_ / "defaults" / "vok.cfg", text); }
    fs::path at(const std::string& name) const { return work_ / name; }

    Result run(const std::vector<std::string>& args, const Options& o = {})
    {
        std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + base_.string(),
                                        "vokdefault=" + (base_ / "defaults").string()};
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (const char* v = std::getenv(name)) env.push_back(std::string(name) + "=" + v);
        env.insert(env.end(), o.env.begin(), o.env.end());
        return spawn(SONDEX_BINARY, args, env, o);
    }
    // Any other program (ncdump, xmllint, python3), in the same directory.
    Result tool(const std::vector<std::string>& args)
    {
        return spawn(args[0], {args.begin() + 1, args.end()}, {"PATH=/usr/bin:/bin"}, {});
    }

    Result spawn(const std::string& prog, const std::vector<std::string>& args,
                 const std::vector<std::string>& env, const Options& o)
    {
        testutil::RunOptions ro;
        ro.input = o.input;
        ro.close_std = o.close_std;
        ro.fsize_limit = o.fsize_limit;
        const testutil::ProgramRun p = testutil::run_program(prog, args, env, work_, base_, ro);
        return Result{p.status, p.out, p.err};
    }

    testutil::TempDir tmp_{"sondex_e2e"};
    fs::path base_ = tmp_.path();
    fs::path work_ = base_ / "work";
};

// Station keys of the records of a text file: the WMO number, or the call
// sign of a ship or mobile station (WMO number 99999).
std::vector<std::string> text_stations(const std::string& text)
{
    std::vector<std::string> keys;
    std::size_t pos = text.find('\n', text.find('\n') + 1) + 1;  // after the header
    while (pos < text.size()) {
        const std::string head = text.substr(pos, text.find(' ', pos) - pos);
        const std::size_t c1 = head.find(':');
        const std::string wmo = head.substr(0, c1);
        const std::string id = head.substr(c1 + 1, head.find(':', c1 + 1) - c1 - 1);
        keys.push_back(wmo == "99999" ? id : wmo);
        const std::size_t end = text.find("$\n", pos);
        if (end == std::string::npos) break;
        pos = end + 2;
    }
    return keys;
}

Date hour_of(int y, int m, int d, int h)
{
    return Date{y, m, d, VOK_MISSING, VOK_MISSING, h, 0, 0};
}

// What a run must write: every station whose parts, read and decoded in
// this process, leave data in its report for the decode time and window.
std::set<std::string> stations_with_data(const fs::path& feed, Date decode, int pre = -120, int post = 120)
{
    RES_clear();
    FILE_clear_time();
    DATE_reset();
    UPA_read_raw_reset();
    DATE_set_range(pre, post);
    DATE_set_datim(&decode);
    std::map<std::string, UPA_report> reports;
    testutil::for_each_raw_part(feed, [&](const char* data, const char* id, int kind) {
        UPA_decode_part(data, kind, &testutil::station_report(reports, id));
    });
    std::set<std::string> keys;
    for (const auto& [key, rep] : reports)
        if (rep.numman || rep.numsig || rep.numwnd) keys.insert(key);
    DATE_reset();
    UPA_read_raw_reset();
    return keys;
}

std::set<std::string> as_set(const std::vector<std::string>& v)
{
    return {v.begin(), v.end()};
}

// The sample cut into pieces of whole bulletins (each ends with ETX).
std::vector<std::string> sample_pieces(int n)
{
    const std::string text = read_file(sample);
    std::vector<std::size_t> ends;
    for (std::size_t p = text.find('\x03'); p != std::string::npos; p = text.find('\x03', p + 1))
        ends.push_back(p + 1);
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (int i = 1; i <= n; ++i) {
        const std::size_t to = i == n ? text.size() : ends[ends.size() * i / n];
        pieces.push_back(text.substr(from, to - from));
        from = to;
    }
    return pieces;
}

struct Form {
    const char* word;
    const char* ext;
};
constexpr Form forms[] = {{"vok", "vok"}, {"xml", "xml"}, {"cdf", "nc"}, {"unisys", "bin"}};

// ---------------------------------------------------------------- golden runs

TEST_F(Sondex, SampleMatchesTheGoldenFileOfEveryForm)
{
    const bool update = std::getenv("SONDEX_UPDATE_GOLDEN") != nullptr;
    for (const Form& f : forms) {
        SCOPED_TRACE(f.word);
        const Result r = run({"-ba", "-ou", f.word, sample.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(testutil::without_summary(r.err), "");
        const fs::path made = at(std::string("2026020600.") + f.ext);
        std::string got = read_file(made);
        std::string golden_name = made.filename().string();
        if (std::string(f.word) == "cdf") {
            // netCDF through its dump; the file name is the dump's name.
            const Result dump = tool({"/usr/bin/ncdump", made.string()});
            ASSERT_EQ(dump.status, 0) << dump.err;
            got = dump.out;
            golden_name = "2026020600.cdl";
        }
        if (update) write_file(golden_dir / golden_name, got);
        EXPECT_TRUE(same_text(got, read_file(golden_dir / golden_name)));
    }
}

TEST_F(Sondex, HelpIsPrintedExactlyAndEndsWithStatusZero)
{
    const Result r = run({"-h"});
    EXPECT_EQ(r.status, 0);
    if (std::getenv("SONDEX_UPDATE_GOLDEN")) write_file(golden_dir / "help.txt", r.out);
    EXPECT_TRUE(same_text(r.out, read_file(golden_dir / "help.txt")));
    EXPECT_FALSE(fs::exists(at("2026020600.vok")));
}

TEST_F(Sondex, ConventionalNameIsFoundByItsDateAndTheLatestFileInBatchMode)
{
    fs::copy_file(sample, at("2026020600.upa"));
    const std::string golden = read_file(golden_dir / "2026020600.vok");
    Result r = run({"2026020600.upa"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "Creating output file: ./2026020600.vok\n"));
    EXPECT_TRUE(has(r.err, "Stations written: 51 to ./2026020600.vok\n"));
    EXPECT_TRUE(same_text(read_file(at("2026020600.vok")), golden));
    // Batch mode without a name takes the newest raw file before the clock.
    fs::remove(at("2026020600.vok"));
    r = run({"-ba"}, with_env("vokcurtime=#202602060300"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_text(read_file(at("2026020600.vok")), golden));
}

// ---------------------------------------------------------------- real feeds

TEST_F(Sondex, RealFeedsWriteEveryStationWithDataOnceInEveryForm)
{
    if (!fs::is_directory(bulletins)) GTEST_SKIP() << "no bulletins at " << bulletins;
    const struct {
        const char* file;
        const char* hour;
        Date date;
    } feeds[] = {
        {"feed_global_2026020600.txt", "#2026020600", hour_of(2026, 2, 6, 0)},
        {"feed_kwbc_2022071300.txt", "#2022071300", hour_of(2022, 7, 13, 0)},
        {"feed_ldm_2021081612.txt", "#2021081612", hour_of(2021, 8, 16, 12)},
        {"feed_klwx_2022071400.txt", "#2022071400", hour_of(2022, 7, 14, 0)},
    };
    for (const auto& feed : feeds) {
        SCOPED_TRACE(feed.file);
        const std::set<std::string> want = stations_with_data(bulletins / feed.file, feed.date);
        const std::string stem = std::string(feed.hour + 1);
        const Result r = run({"-ba", "-ho", feed.hour, (bulletins / feed.file).string()});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> got = text_stations(read_file(at(stem + ".vok")));
        EXPECT_EQ(got.size(), want.size());  // none twice
        EXPECT_EQ(as_set(got), want);
    }
    // The global feed in the other forms, read back by their clients.
    const fs::path global = bulletins / feeds[0].file;
    const std::size_t n = stations_with_data(global, feeds[0].date).size();
    ASSERT_GT(n, 400u);
    for (const char* form : {"xml", "cdf", "unisys"})
        ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-ou", form, global.string()}).status, 0) << form;
    const Result xml = tool({"/usr/bin/xmllint", "--noout", at("2026020600.xml").string()});
    EXPECT_EQ(xml.status, 0) << xml.err;
    EXPECT_EQ(count_of(read_file(at("2026020600.xml")), "<obs "), static_cast<int>(n));
    const Result dump = tool({"/usr/bin/ncdump", "-h", at("2026020600.nc").string()});
    EXPECT_TRUE(has(dump.out, "report = UNLIMITED ; // (" + std::to_string(n) + " currently)"));
    const Result py = tool({"/usr/bin/python3", (source_dir / "tests" / "read_upa_nc.py").string(),
                            at("2026020600.nc").string()});
    ASSERT_EQ(py.status, 0) << py.err;
    EXPECT_EQ(py.out.substr(0, py.out.find('\n')), "records " + std::to_string(n));
    // The ship, whose call sign begins with a digit, is kept.
    EXPECT_TRUE(has(py.out, " 395a54394d524b\n"));  // "9ZT9MRK"
    EXPECT_EQ(fs::file_size(at("2026020600.bin")), UPA_FIXED_HEADER_LEN + n * UPA_FIXED_RECORD_LEN);
}

TEST_F(Sondex, IdentifiersWindowAndDecodeHourNarrowTheRun)
{
    if (!fs::is_directory(bulletins)) GTEST_SKIP() << "no bulletins at " << bulletins;
    const fs::path global = bulletins / "feed_global_2026020600.txt";
    // Two stations, one of them a ship's call sign in another case.
    Result r = run({"-ba", "-ho", "#2026020600", "-id", "89009,9zt9mrk", global.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(text_stations(read_file(at("2026020600.vok"))), (std::vector<std::string>{"89009", "9ZT9MRK"}));
    // A station chosen in the station table by its identifier or its name.
    fs::remove(at("2026020600.vok"));
    r = run({"-ba", "-ho", "#2026020600", "-id", "KOAK,AMUNDSEN", global.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(text_stations(read_file(at("2026020600.vok"))), (std::vector<std::string>{"72493", "89009"}));

    // Half an hour before to three quarters after: the parts of 23 UTC go.
    fs::remove(at("2026020600.vok"));
    r = run({"-ba", "-ho", "#2026020600", "-pa", "range=-30:45", global.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::set<std::string> narrow = stations_with_data(global, hour_of(2026, 2, 6, 0), -30, 45);
    EXPECT_LT(narrow.size(), stations_with_data(global, hour_of(2026, 2, 6, 0)).size());
    EXPECT_EQ(as_set(text_stations(read_file(at("2026020600.vok")))), narrow);

    // Decoding for 23 UTC names and labels the file for that hour: the
    // evening before, when the feed's parts of 00 UTC lie within its window.
    r = run({"-ba", "-ho", "#2026020500", "-dh", "23", global.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string late = read_file(at("2026020523.vok"));
    EXPECT_EQ(late.substr(0, late.find('\n', 8) + 1), "VOKUPAx\n2300Z  5 FEB 26\n");
    EXPECT_EQ(as_set(text_stations(late)), stations_with_data(global, hour_of(2026, 2, 5, 23)));
}

// ---------------------------------------------------------------- resources

TEST_F(Sondex, ResourcesComeFromTheDefaultsFileTheEnvironmentAndTheCommandLine)
{
    const std::string good = "vokfile=" + source_dir.string();
    // The defaults file points nowhere: no conventions, no station table,
    // nothing touched.
    defaults("sondex.file_path " + (base_ / "nowhere").string() + "\n");
    Result r = run({"-ba", "-ho", "#2026020600", sample.string()});
    EXPECT_EQ(r.status, UPA_EXIT_SETUP);
    EXPECT_TRUE(has(r.err, "FILE_set_name: No file name convention file: " + (base_ / "nowhere").string()));
    EXPECT_TRUE(has(r.err, "UPA_decode_all: No station table: no report could be kept\n"));
    EXPECT_FALSE(fs::exists(at("2026020600.vok")));
    // The environment overrides the defaults file...
    r = run({"-ba", sample.string()}, with_env(good));
    EXPECT_EQ(r.status, 0) << r.err;
    // ...and the command line the environment.
    fs::remove(at("2026020600.vok"));
    r = run({"-ba", "-fp", source_dir.string(), sample.string()}, with_env("vokfile=/nowhere"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_text(read_file(at("2026020600.vok")), read_file(golden_dir / "2026020600.vok")));
}

TEST_F(Sondex, OutFileChoosesTheFormAndTheName)
{
    ASSERT_EQ(run({"-ba", "-of", "cdf", sample.string()}).status, 0);
    EXPECT_EQ(read_file(at("2026020600.nc")).substr(0, 3), "CDF");
    ASSERT_EQ(run({"-ba", "-of", "cdf:x.nc", sample.string()}).status, 0);
    EXPECT_EQ(read_file(at("x.nc")).substr(0, 3), "CDF");
    // A plain name keeps the form chosen so far; one that only begins with
    // a form word is a name as well; "%%" in a name is a "%".
    ASSERT_EQ(run({"-ba", "-ou", "xml", "-of", "myfile", sample.string()}).status, 0);
    EXPECT_EQ(read_file(at("myfile")).substr(0, 15), "<vokupa date=\"0");
    ASSERT_EQ(run({"-ba", "-of", "xmlout%%.txt", sample.string()}).status, 0);
    EXPECT_EQ(read_file(at("xmlout%.txt")).substr(0, 8), "VOKUPAx\n");
}

// ---------------------------------------------------------------- runs of files

TEST_F(Sondex, HourlyFilesOfARunAndAnAppendGiveWhatOneRunGives)
{
    const std::vector<std::string> pieces = sample_pieces(3);
    for (int h = 0; h < 3; ++h) write_file(at("202602060" + std::to_string(h) + ".upa"), pieces[h]);
    Result r = run({"-ba", "-nh", "2", "-cp", "out", "2026020600.upa"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_text(read_file(at("out/2026020600.vok")), read_file(golden_dir / "2026020600.vok")));

    // Appending: a run on one half of the sample, then a run on the other
    // half appending to its file, in every form: the second run's records
    // follow the first's, as the two halves converted on their own hold them.
    const std::vector<std::string> halves = sample_pieces(2);
    write_file(at("a.upa"), halves[0]);
    write_file(at("b.upa"), halves[1]);
    for (const Form& f : forms) {
        SCOPED_TRACE(f.word);
        auto convert = [&](const char* input, const std::string& out, bool append) {
            std::vector<std::string> args = {"-ba", "-ho", "#2026020600", "-of",
                                             std::string(f.word) + ":" + out};
            if (append) args.insert(args.end(), {"-pf", "app"});
            args.push_back(input);
            const Result res = run(args);
            EXPECT_EQ(res.status, 0) << res.err;
        };
        const std::string ext = f.ext;
        convert("a.upa", "a." + ext, false);
        convert("b.upa", "b." + ext, false);
        convert("a.upa", "ab." + ext, false);
        convert("b.upa", "ab." + ext, true);
        const std::string a = read_file(at("a." + ext)), b = read_file(at("b." + ext));
        const std::string ab = read_file(at("ab." + ext));
        if (ext == "vok") {
            EXPECT_EQ(ab, a + b.substr(b.find('\n', 8) + 1));
        } else if (ext == "xml") {
            EXPECT_EQ(ab, a.substr(0, a.rfind("</vokupa>")) + b.substr(b.find('\n') + 1));
        } else if (ext == "bin") {
            EXPECT_EQ(ab, a + b.substr(UPA_FIXED_HEADER_LEN));
        }
        if (ext != "nc") continue;
        // netCDF as a program reads it: the identifiers of both runs in turn.
        std::vector<std::string> ids;
        for (const char* file : {"a.nc", "b.nc", "ab.nc"}) {
            const Result py = tool({"/usr/bin/python3", (source_dir / "tests" / "read_upa_nc.py").string(),
                                    at(file).string()});
            std::string list;
            std::istringstream lines(py.out);
            for (std::string line; std::getline(lines, line);)
                if (line.rfind("id ", 0) == 0) list += line.substr(line.find(' ', 3)) + "\n";
            ids.push_back(list);
        }
        EXPECT_EQ(ids[2], ids[0] + ids[1]);
        EXPECT_GT(ids[1].size(), 0u);
    }
}

// ---------------------------------------------------------------- bad input

TEST_F(Sondex, BadInputIsReportedAndWhatCanBeKeptIsKept)
{
    const std::string text = read_file(sample);
    const std::string golden = read_file(golden_dir / "2026020600.vok");
    auto convert = [&](const std::string& name) {
        fs::remove(at("2026020600.vok"));
        return run({"-ba", "-ho", "#2026020600", name});
    };
    // Empty: a file with its header and no report, and a run that says it
    // decoded nothing.
    write_file(at("empty.txt"), "");
    Result r = convert("empty.txt");
    EXPECT_EQ(r.status, UPA_EXIT_NOTHING) << r.err;
    EXPECT_EQ(read_file(at("2026020600.vok")), "VOKUPAx\n0000Z  6 FEB 26\n");
    // Binary garbage.
    std::mt19937 rng(13);
    std::string junk(1 << 20, '\0');
    for (char& c : junk) c = static_cast<char>(rng());
    write_file(at("junk.bin"), junk);
    EXPECT_EQ(convert("junk.bin").status, UPA_EXIT_NOTHING);
    // CR CR LF line ends convert as LF does.
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
    write_file(at("crlf.txt"), crlf);
    EXPECT_EQ(convert("crlf.txt").status, 0);
    EXPECT_TRUE(same_text(read_file(at("2026020600.vok")), golden));
    // A 100 MB line without a newline after the sample: the sample stays.
    {
        std::ofstream f(at("long.txt"), std::ios::binary);
        f << text << "TTAA 56001 72469 ";
        const std::string chunk(1 << 20, '7');
        for (int i = 0; i < 100; ++i) f << chunk;
    }
    r = convert("long.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_text(read_file(at("2026020600.vok")), golden));
    fs::remove(at("long.txt"));
    // The last report of a file without a final newline is kept.
    write_file(at("final.txt"), "TTAA 56001 72469 99838 13456 22005 00144 //// 92812 10656 24010=");
    r = convert("final.txt");
    EXPECT_EQ(text_stations(read_file(at("2026020600.vok"))), std::vector<std::string>{"72469"});
    // "%" in an input name is part of the name.
    write_file(at("50%d.txt"), text);
    EXPECT_EQ(convert("50%d.txt").status, 0);
    EXPECT_TRUE(same_text(read_file(at("2026020600.vok")), golden));
}

TEST_F(Sondex, InputThatCannotBeReadEndsWithItsOwnStatus)
{
    fs::create_directory(at("adir"));
    Result r = run({"-ba", "-ho", "#2026020600", "adir"});
    EXPECT_EQ(r.status, UPA_EXIT_NO_INPUT);
    EXPECT_TRUE(has(r.err, "UPA_decode_file: Unable to open file:./adir\n"));
    EXPECT_TRUE(has(r.err, "UPA_decode_all: No input file could be read\n"));
    // The output is written all the same: a scheduler sees the status, a
    // reader an empty file of the hour.
    EXPECT_EQ(read_file(at("2026020600.vok")), "VOKUPAx\n0000Z  6 FEB 26\n");
    fs::remove(at("2026020600.vok"));
    r = run({"-ba", "2026020600.upa"});
    EXPECT_EQ(r.status, UPA_EXIT_NO_INPUT);
    EXPECT_TRUE(has(r.err, "UPA_decode_file: Unable to open file:./2026020600.upa\n"));
    // A file without read permission (root reads it all the same).
    if (geteuid() != 0) {
        fs::remove(at("2026020600.vok"));
        fs::copy_file(sample, at("locked.txt"));
        fs::permissions(at("locked.txt"), fs::perms::none);
        r = run({"-ba", "-ho", "#2026020600", "locked.txt"});
        EXPECT_EQ(r.status, UPA_EXIT_NO_INPUT);
        EXPECT_TRUE(has(r.err, "UPA_decode_file: Unable to open file:./locked.txt\n"));
    }
    // One missing file of several is no failure of the run.
    fs::remove(at("2026020600.vok"));
    EXPECT_EQ(run({"-ba", "-ho", "#2026020600", "missing.txt", sample.string()}).status, 0);
    // A name without a date, and none given: nothing is touched.
    fs::copy_file(sample, at("feed.txt"));
    r = run({"-ba", "feed.txt"});
    EXPECT_EQ(r.status, UPA_EXIT_SETUP);
    EXPECT_TRUE(has(r.err, "UPA_decode_all: No date for the input file: ./feed.txt\n"));
}

// ---------------------------------------------------------------- output files

TEST_F(Sondex, OutputThatCannotBeWrittenEndsWithItsOwnStatus)
{
    const std::string in = sample.string();
    // An existing file is kept in batch mode, and that is no failure.
    write_file(at("2026020600.vok"), "mine\n");
    Result r = run({"-ba", in});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r.err, "UPA_out_file: Unable to overwrite converted data file\n"));
    EXPECT_EQ(read_file(at("2026020600.vok")), "mine\n");
    // The question is asked at a terminal only (test_sondex_cli.cpp): an
    // answer in an input that is no terminal is never read, and the file is
    // kept as in batch mode.
    EXPECT_EQ(run({in}, answering("o\n")).status, 0);
    EXPECT_EQ(read_file(at("2026020600.vok")), "mine\n");
    // Appending to a file of another form, or to a damaged one.
    write_file(at("other.xml"), "VOKUPAx\n0000Z  6 FEB 26\n");
    r = run({"-ba", "-pf", "app", "-of", "xml:other.xml", in});
    EXPECT_EQ(r.status, UPA_EXIT_OUTPUT);
    EXPECT_TRUE(has(r.err, "UPA_out_file: Unable to append to output file: other.xml (no XML file of this "
                           "program, or damaged)\n"));
    EXPECT_EQ(read_file(at("other.xml")), "VOKUPAx\n0000Z  6 FEB 26\n");
    // A directory that cannot be made, and a directory in the file's place.
    write_file(at("plain"), "");
    for (const char* name : {"plain/sub/x.vok", "cdf:plain/sub/x.nc"}) {
        r = run({"-ba", "-of", name, in});
        EXPECT_EQ(r.status, UPA_EXIT_OUTPUT) << name;
        EXPECT_TRUE(has(r.err, "UPA_out_file: Unable to create output file: plain/sub/x."));
    }
    // The raw file itself is never overwritten.
    fs::copy_file(sample, at("2026020600.upa"));
    r = run({"-ba", "-pf", "over", "-of", "2026020600.upa", "2026020600.upa"});
    EXPECT_EQ(r.status, UPA_EXIT_OUTPUT);
    EXPECT_TRUE(has(r.err, "UPA_out_file: Output file is the input file: 2026020600.upa\n"));
    EXPECT_EQ(read_file(at("2026020600.upa")), read_file(sample));
    fs::create_directory(at("dir.vok"));
    EXPECT_EQ(run({"-ba", "-pf", "over", "-of", "dir.vok", in}).status, UPA_EXIT_OUTPUT);
    // Missing directories are made, for every form.
    for (const Form& f : forms) {
        r = run({"-ba", "-ou", f.word, "-cp", "new/dir", in});
        EXPECT_EQ(r.status, 0) << f.word << r.err;
        EXPECT_TRUE(fs::exists(at(std::string("new/dir/2026020600.") + f.ext))) << f.word;
    }
}

TEST_F(Sondex, FullDiskIsAFailureOfTheRun)
{
    // A full device.
    Result r = run({"-ba", "-pf", "over", "-of", "/dev/full", sample.string()});
    EXPECT_EQ(r.status, UPA_EXIT_WRITE);
    EXPECT_TRUE(has(r.err, "UPA_decode_all: /dev/full is incomplete: writing it failed\n"));
    // A file that cannot grow past 2 kB, in every form.
    for (const Form& f : forms) {
        Options small;
        small.fsize_limit = 2048;
        r = run({"-ba", "-ou", f.word, sample.string()}, small);
        EXPECT_EQ(r.status, UPA_EXIT_WRITE) << f.word << r.err;
        EXPECT_TRUE(has(r.err, "is incomplete: writing it failed")) << f.word;
    }
}

TEST_F(Sondex, ClosedStandardStreamsNeverReachTheOutputFile)
{
    // Without batch mode the progress messages go to standard output; with
    // it closed they must not land in the output file.
    Options closed;
    closed.close_std = true;
    const Result r = run({sample.string()}, closed);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_text(read_file(at("2026020600.vok")), read_file(golden_dir / "2026020600.vok")));
}

// ---------------------------------------------------------------- what a run says and refuses

// Unknown form words were ignored: "-ou json" wrote the text form.
TEST_F(Sondex, UnknownOutputFormWordIsAnError)
{
    for (const char* word : {"json", "xm"}) {
        const Result r = run({"-ba", "-ou", word, sample.string()});
        EXPECT_EQ(r.status, UPA_EXIT_SETUP) << word;
        EXPECT_TRUE(has(r.err, std::string("UPA_out_file: Unknown output form: ") + word +
                                   " (the forms are vok, xml, cdf, unisys, csv, cf)\n"));
        EXPECT_FALSE(fs::exists(at("2026020600.vok")));
    }
}

// "-pa" values that could not be read gave a silent default or an empty
// window.
TEST_F(Sondex, ParameterThatCannotBeReadIsAnError)
{
    for (const char* value : {"range=abc", "range=1e9:2", "range=45:-30", "garbage"}) {
        const Result r = run({"-ba", "-pa", value, sample.string()});
        EXPECT_EQ(r.status, UPA_EXIT_SETUP) << value;
        EXPECT_TRUE(has(r.err, std::string("UPA_decode_params: Parameter not understood: ") + value +
                                   " (the form is range=PRE:POST, minutes before and after the decode "
                                   "time, PRE <= POST, within -44640:44640)\n"));
        EXPECT_FALSE(fs::exists(at("2026020600.vok")));
    }
    EXPECT_EQ(run({"-ba", "-pa", "range=-30:+45", sample.string()}).status, 0);
}

// Every run ends with its account on standard error; one that decodes
// nothing says why, with a status of its own.
TEST_F(Sondex, RunThatDecodesNothingSaysWhy)
{
    Result r = run({"-ba", sample.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.err, "Input files read: 1; parts read: 288, decoded: "));
    EXPECT_TRUE(has(r.err, "Stations written: 51 to ./2026020600.vok\n"));
    const struct {
        std::vector<std::string> args;
        const char* why;
    } runs[] = {
        {{"-ho", "#2026020600", "junk.gz"}, "the input holds no TEMP or PILOT part"},
        {{"-ho", "#2019010100", "feed.txt"}, "no part lies in the decode window"},
        {{"-ho", "#2026020600", "-id", "00000", sample.string()},
         "no part is of a station the identifier selection names"},
    };
    fs::copy_file(sample, at("feed.txt"));
    write_file(at("junk.gz"), std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00", 8) + std::string(4096, '\x95'));
    for (const auto& run_case : runs) {
        std::vector<std::string> args = {"-ba", "-pf", "over"};
        args.insert(args.end(), run_case.args.begin(), run_case.args.end());
        r = run(args);
        EXPECT_EQ(r.status, UPA_EXIT_NOTHING) << r.err;
        EXPECT_TRUE(has(r.err, std::string("UPA_decode_all: Nothing was decoded: ") + run_case.why + "\n"));
    }
}

// Retransmitted and corrected parts were merged into the first copy: the
// same feed twice changed stations. Now a later copy replaces the earlier
// one, and the feed twice converts as the feed once; "-" reads standard
// input.
TEST_F(Sondex, SameFeedTwiceGivesTheSameFile)
{
    const std::string text = read_file(sample);
    write_file(at("twice.txt"), text + text);
    for (const Form& f : forms) {
        SCOPED_TRACE(f.word);
        ASSERT_EQ(run({"-ba", "-ou", f.word, "-of", std::string(f.word) + ":once", sample.string()}).status, 0);
        ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-of", std::string(f.word) + ":twice", "twice.txt"}).status, 0);
        Options piped;
        piped.input = text;
        ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-of", std::string(f.word) + ":piped", "-"}, piped).status, 0);
        if (std::string(f.word) == "cdf") continue;  // the netCDF file holds its own history
        EXPECT_EQ(read_file(at("twice")), read_file(at("once")));
        EXPECT_EQ(read_file(at("piped")), read_file(at("once")));
    }
}

// The CSV form: every level of every station, to a file or standard output.
TEST_F(Sondex, CsvFormWritesEveryLevelToAFileOrStandardOutput)
{
    Result r = run({"-ba", "-ou", "csv", sample.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = read_file(at("2026020600.csv"));
    EXPECT_EQ(csv.substr(0, csv.find('\n')),
              "station,wmo,name,lat,lon,elevation_m,time,launch_time,level_type,pressure_hPa,height_m,"
              "temperature_C,dewpoint_C,wind_direction_deg,wind_speed_mps");
    r = run({"-ba", "-of", "csv:-", sample.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(r.out.find("station,wmo")), csv);
    // Appended: the rows of a second run follow without a second header.
    const std::vector<std::string> halves = sample_pieces(2);
    write_file(at("a.upa"), halves[0]);
    write_file(at("b.upa"), halves[1]);
    ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-of", "csv:a.csv", "a.upa"}).status, 0);
    ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-of", "csv:b.csv", "b.upa"}).status, 0);
    ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-pf", "app", "-of", "csv:a.csv", "b.upa"}).status, 0);
    const std::string b = read_file(at("b.csv"));
    EXPECT_EQ(count_of(read_file(at("a.csv")), "station,wmo"), 1);
    EXPECT_TRUE(has(read_file(at("a.csv")), b.substr(b.find('\n') + 1)));
    write_file(at("other.csv"), "a,b\n1,2\n");
    r = run({"-ba", "-pf", "app", "-of", "csv:other.csv", sample.string()});
    EXPECT_EQ(r.status, UPA_EXIT_OUTPUT);
    EXPECT_TRUE(has(r.err, "UPA_out_file: Unable to append to output file: other.csv (no CSV file of this "
                           "program, or damaged)\n"));
}

// The window compared hours only: the global feed decoded for 1 January
// 2019 gave every station of 6 February 2026.
TEST_F(Sondex, DecodeWindowTestsTheDayOfThePart)
{
    if (!fs::is_directory(bulletins)) GTEST_SKIP() << "no bulletins at " << bulletins;
    const Result r = run({"-ba", "-ho", "#2019010100", (bulletins / "feed_global_2026020600.txt").string()});
    EXPECT_EQ(r.status, UPA_EXIT_NOTHING) << r.err;
    EXPECT_EQ(read_file(at("2019010100.vok")), "VOKUPAx\n0000Z  1 JAN 19\n");
}

// ---------------------------------------------------------------- nothing lost

// Every real feed at its decode time (the day-only files in a month that
// has the day): the CSV form holds every value an independent decoding of
// the feed, written from the code forms, finds in it; the CF form of the
// global feed as well.
TEST_F(Sondex, EveryValueOfEveryRealFeedIsKeptInTheCsvAndCfForms)
{
    if (!fs::is_directory(bulletins)) GTEST_SKIP() << "no bulletins at " << bulletins;
    const std::pair<const char*, const char*> feeds[] = {
        {"feed_global_2026020600.txt", "2026020600"}, {"feed_kwbc_2022071300.txt", "2022071300"},
        {"feed_ldm_2021081612.txt", "2021081612"}, {"feed_klwx_2022071400.txt", "2022071400"},
        {"sounding_02963_2006041012.txt", "2006041012"}, {"sounding_72694_2018062000.txt", "2018062000"},
        {"sounding_47646_2014042600.txt", "2014042600"}, {"sounding_83746_2023022300.txt", "2023022300"},
        {"sounding_83746_2023022300_abcd.txt", "2023022300"}, {"sounding_83779_2023022312.txt", "2023022312"},
        {"sounding_83779_2023022300.txt", "2023022300"}, {"bulletins_72235_72558_2006092212.txt", "2006092212"},
        {"sounding_72694_day06_00.txt", "2026020600"}, {"sounding_72518_day19_12.txt", "2026011912"},
        {"sounding_72518_day31_00.txt", "2026013100"}, {"sounding_08190_day30_23.txt", "2026013023"},
        {"sounding_72214_day17_12.txt", "2026011712"}, {"sounding_71924_day30_12.txt", "2026013012"},
        {"bulletin_kwbc_day30_18.txt", "2026013018"}, {"bulletins_kwbc_day06_12.txt", "2026010612"},
        {"sounding_72440_day30_12.txt", "2026013012"}, {"sounding_72572_day26_12.txt", "2026012612"},
        {"pilot_96565_day09_12.txt", "2026010912"}, {"bulletin_zczc_52983_day31_23.txt", "2026010100"},
        {"sounding_01010_day05_23.txt", "2026010523"}, {"sounding_01001_day29_11.txt", "2026012911"},
        {"bulletin_mobile_iibb_and_74794.txt", "2026011715"},
    };
    const std::string check = (source_dir / "tests" / "lossless_check.py").string();
    for (const auto& [file, when] : feeds) {
        SCOPED_TRACE(file);
        const std::string feed = (bulletins / file).string();
        const std::vector<std::pair<std::string, std::string>> forms = {
            {"csv", "--csv"}, {"cf", "--cf"}};
        for (const auto& [form, option] : forms) {
            if (form == "cf" && std::string(file) != "feed_global_2026020600.txt") continue;
            const std::string out = form == "csv" ? "kept.csv" : "kept.nc";
            const Result r = run({"-ba", "-pf", "over", "-ho", std::string("#") + when, "-of", form + ":" + out, feed});
            ASSERT_TRUE(r.status == 0 || r.status == UPA_EXIT_NOTHING) << r.err;
            const Result c = tool({"/usr/bin/python3", check, "--decode-time", when, option, at(out).string(), feed});
            EXPECT_EQ(c.status, 0) << c.out << c.err;
        }
    }
}

// The CF form of the global feed: its header as ncdump gives it, and one
// profile, selected by row_size from the times xarray decodes, holding the
// values of the CSV form, netCDF4 and xarray agreeing value for value.
TEST_F(Sondex, CfFormOpensInXarrayWithTheValuesOfTheCsvForm)
{
    if (!fs::is_directory(bulletins)) GTEST_SKIP() << "no bulletins at " << bulletins;
    const std::string feed = (bulletins / "feed_global_2026020600.txt").string();
    const Result cf = run({"-ba", "-ho", "#2026020600", "-ou", "cf", feed});
    ASSERT_EQ(cf.status, 0);
    // 47418 and 47582 were observed at 00 and at 01 UTC: two profiles each.
    EXPECT_TRUE(has(cf.err, "Stations written: 477 (479 soundings) to ./2026020600_cf.nc\n"));
    ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-ou", "csv", feed}).status, 0);
    const Result head = tool({"/usr/bin/ncdump", "-h", at("2026020600_cf.nc").string()});
    ASSERT_EQ(head.status, 0) << head.err;
    if (std::getenv("SONDEX_UPDATE_GOLDEN")) write_file(golden_dir / "2026020600_cf.cdl", head.out);
    EXPECT_TRUE(same_text(head.out, read_file(golden_dir / "2026020600_cf.cdl")));

    const Result xr = tool({"/usr/bin/python3", (source_dir / "tests" / "read_cf.py").string(),
                            at("2026020600_cf.nc").string()});
    ASSERT_EQ(xr.status, 0) << xr.err;
    EXPECT_EQ(xr.out.substr(0, xr.out.find('\n')), "agree");
    // The profile of 72493 ("3732343933" in hex) and its levels.
    std::vector<std::vector<std::string>> cf_levels;
    std::istringstream lines(xr.out);
    std::string wanted;
    for (std::string l; std::getline(lines, l);) {
        std::istringstream f(l);
        std::vector<std::string> w;
        for (std::string x; f >> x;) w.push_back(x);
        if (w.size() > 3 && w[0] == "profile" && w[2] == "3732343933") wanted = w[1];
        if (!wanted.empty() && w.size() == 10 && w[0] == "level" && w[1] == wanted) cf_levels.push_back(w);
        if (!wanted.empty() && w[0] == "profile" && w[1] != wanted) break;
    }
    std::vector<std::vector<std::string>> csv_levels;
    std::istringstream csv(read_file(at("2026020600.csv")));
    for (std::string l; std::getline(csv, l);) {
        if (l.rfind("72493,", 0) != 0) continue;
        std::vector<std::string> f;
        std::size_t p = 0;
        for (std::size_t q; (q = l.find(',', p)) != std::string::npos; p = q + 1) f.push_back(l.substr(p, q - p));
        f.push_back(l.substr(p));
        csv_levels.push_back(f);
    }
    ASSERT_GT(csv_levels.size(), 100u);
    ASSERT_EQ(cf_levels.size(), csv_levels.size());
    const auto value = [](const std::string& t) { return t.empty() || t == "nan" ? -1e300 : std::stod(t); };
    for (std::size_t i = 0; i < csv_levels.size(); ++i) {
        const auto& c = csv_levels[i];
        const auto& x = cf_levels[i];
        SCOPED_TRACE("level " + std::to_string(i) + ": " + c[8] + " " + c[9]);
        // pressure; height (geopotential, or altitude for winds by altitude);
        // temperature, dew point, direction, speed
        const bool by_altitude = x[4] != "nan";
        EXPECT_DOUBLE_EQ(value(c[9]), value(x[2]));
        EXPECT_DOUBLE_EQ(value(c[10]), value(by_altitude ? x[4] : x[3]));
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(value(c[11 + k]), value(x[5 + k]), 1e-9);
    }
}

// The skew-T of a station of the global feed, drawn from its CF file, shows
// the file's temperatures, dew points and winds at their own pressures.
TEST_F(Sondex, SkewTDiagramDrawsTheValuesOfTheCfFile)
{
    if (!fs::is_directory(bulletins)) GTEST_SKIP() << "no bulletins at " << bulletins;
    ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-ou", "cf", (bulletins / "feed_global_2026020600.txt").string()}).status, 0);
    const Result r = tool({"/usr/bin/python3", (source_dir / "tests" / "plot_check.py").string(),
                           at("2026020600_cf.nc").string(), "72493", "--plot",
                           (source_dir / "scripts" / "sondex-plot").string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(has(r.out, "72493: 122 temperatures, 122 dew points, 163 winds drawn as the file holds them"));
}

// The output sent to a standard output that the scheduler closed vanished
// into /dev/null with status 0.
TEST_F(Sondex, ClosedStandardOutputIsAFailedWrite)
{
    Options closed;
    closed.close_std = true;
    for (const char* out : {"vok:-", "csv:-"}) {
        const Result r = run({"-ba", "-of", out, sample.string()}, closed);
        EXPECT_EQ(r.status, UPA_EXIT_WRITE) << out << r.err;
        EXPECT_TRUE(has(r.err, "UPA_decode_all: - is incomplete: writing it failed\n"));
    }
}

// -pr was read and dropped: the station table was always loaded with
// every priority.
TEST_F(Sondex, StationPriorityChoosesTheStationsOfTheTable)
{
    // Records whose head "wmo:id:lat:lon" carries a position.
    const auto placed = [&](const std::vector<std::string>& args) {
        EXPECT_EQ(run(args).status, 0);
        std::istringstream lines(read_file(at("2026020600.vok")));
        int n = 0;
        for (std::string l; std::getline(lines, l);) {
            const std::string head = l.substr(0, l.find(' '));
            n += std::count(head.begin(), head.end(), ':') == 3;
        }
        return n;
    };
    EXPECT_EQ(placed({"-ba", "-pf", "over", sample.string()}), 51);
    // Priority 0 only: the stations of the sample have other priorities and
    // are written without the table's position, known by their numbers.
    EXPECT_LT(placed({"-ba", "-pf", "over", "-pr", "0", sample.string()}), 5);
}

// Wind levels stopped at the record's 100 rows without a word: 72230 sends
// 101 (53 in part B, 48 in part D), its top at 33 km.
TEST_F(Sondex, WindLevelsBeyondTheRecordAreKeptAndTheRecordFormsSaySo)
{
    if (!fs::is_directory(bulletins)) GTEST_SKIP() << "no bulletins at " << bulletins;
    const std::string feed = (bulletins / "feed_global_2026020600.txt").string();
    Result r = run({"-ba", "-ho", "#2026020600", feed});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.err, "UPA_save_report: 72230: 101 wind levels, the text form holds 100: the highest "
                           "are left out (the CSV and CF forms keep them)\n"));
    r = run({"-ba", "-ho", "#2026020600", "-of", "csv:-", feed});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream rows(r.out);
    int winds = 0;
    std::string top;
    for (std::string l; std::getline(rows, l);) {
        if (l.rfind("72230,", 0) != 0 || l.find(",sig_wind,,") == std::string::npos) continue;
        ++winds;
        top = l;
    }
    EXPECT_EQ(winds, 101);
    EXPECT_TRUE(has(top, ",sig_wind,,33000,,,160,7.71666"));
}

// Appending to a CF file adds the profiles of the run; a file of another
// form is refused before anything is read, and left as it was.
TEST_F(Sondex, CfFileIsAppendedToOrRefusedWhole)
{
    const std::vector<std::string> halves = sample_pieces(2);
    write_file(at("a.upa"), halves[0]);
    write_file(at("b.upa"), halves[1]);
    const auto profiles = [&](const char* file) {
        const Result d = tool({"/usr/bin/ncdump", "-h", at(file).string()});
        const std::size_t p = d.out.find("profile = UNLIMITED ; // (");
        return p == std::string::npos ? -1 : std::atoi(d.out.c_str() + p + 26);
    };
    ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-of", "cf:a.nc", "a.upa"}).status, 0);
    ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-of", "cf:b.nc", "b.upa"}).status, 0);
    ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-of", "cf:ab.nc", "a.upa"}).status, 0);
    ASSERT_EQ(run({"-ba", "-ho", "#2026020600", "-pf", "app", "-of", "cf:ab.nc", "b.upa"}).status, 0);
    EXPECT_GT(profiles("a.nc"), 0);
    EXPECT_EQ(profiles("ab.nc"), profiles("a.nc") + profiles("b.nc"));
    write_file(at("other.nc"), "junk");
    const Result r = run({"-ba", "-ho", "#2026020600", "-pf", "app", "-of", "cf:other.nc", "b.upa"});
    EXPECT_EQ(r.status, UPA_EXIT_OUTPUT);
    EXPECT_TRUE(has(r.err, "UPA_out_file: Unable to append to output file: other.nc (no CF netCDF file of "
                           "this program, or damaged)\n"));
    EXPECT_EQ(read_file(at("other.nc")), "junk");
}

}  // namespace
