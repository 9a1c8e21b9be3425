// The shipped station table against the public station lists it is made
// from: the table is what its generator makes of them, and every land
// station of the real feeds whose number the lists place is written with
// its position.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;
using testutil::read_file;

const fs::path source_dir = SONDEX_SOURCE_DIR;
const fs::path stations_dir = fs::path(SONDEX_SHARED_DATA) / "stations";

struct Command {
    int status = -1;
    std::string out;
};

// A shell command's standard output and exit status, run with an
// environment of its own (no installed defaults file can change a result).
Command run(const std::string& cmd, const fs::path& home)
{
    Command c;
    const std::string full = "env -i PATH=/usr/bin:/bin HOME=" + home.string() +
                             " vokdefault=" + home.string() + " " + cmd;
    FILE* p = popen(full.c_str(), "r");
    if (!p) return c;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) c.out.append(buf, n);
    const int st = pclose(p);
    c.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return c;
}

std::vector<std::string> split(const std::string& line, char sep)
{
    std::vector<std::string> f;
    std::stringstream ss(line);
    for (std::string x; std::getline(ss, x, sep);) f.push_back(x);
    return f;
}

bool all_digits(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// WMO numbers that the public lists give an upper-air position: the
// radiosonde archive's WMO-numbered stations on land (mobile platforms have
// a latitude below -90), and the location-indicator list's lines with an
// upper-air latitude and longitude (its tenth and eleventh fields).
std::set<int> placed_numbers()
{
    std::set<int> placed;
    std::ifstream igra(stations_dir / "igra2-station-list.txt");
    for (std::string line; std::getline(igra, line);) {
        if (line.size() < 30 || line[2] != 'M' || !all_digits(line.substr(6, 5))) continue;
        if (std::stod(line.substr(12, 8)) >= -90.0) placed.insert(std::stoi(line.substr(6, 5)));
    }
    std::ifstream nsd(stations_dir / "nsd_cccc.txt");
    for (std::string line; std::getline(nsd, line);) {
        const auto f = split(line, ';');
        if (f.size() > 10 && all_digits(f[1]) && all_digits(f[2]) && !f[9].empty() && !f[10].empty())
            placed.insert(std::stoi(f[1]) * 1000 + std::stoi(f[2]));
    }
    return placed;
}

bool have_lists()
{
    return fs::exists(stations_dir / "igra2-station-list.txt") && fs::exists(stations_dir / "nsd_cccc.txt");
}

}  // namespace

TEST(ShippedStationTable, IsWhatItsGeneratorMakesOfThePublicLists)
{
    if (!have_lists()) GTEST_SKIP() << "no station lists in " << stations_dir;
    testutil::TempDir tmp("upa_cty");
    const Command c = run("/usr/bin/python3 " + (source_dir / "scripts" / "make_upa_cty.py").string() + " " +
                              stations_dir.string() + " " + (tmp.path() / "upa.cty").string(),
                          tmp.path());
    ASSERT_EQ(c.status, 0) << c.out;
    EXPECT_TRUE(read_file(tmp.path() / "upa.cty") == read_file(source_dir / "upa.cty"))
        << "upa.cty is not what scripts/make_upa_cty.py makes: rerun it from the repository root";
}

// Stations 47104 and the like came out without a position although the
// location-indicator list places them: every land station the lists place
// is written with its position, whatever feed it came in.
TEST(ShippedStationTable, StationsTheListsPlaceAreWrittenWithTheirPosition)
{
    const std::vector<fs::path> feeds = testutil::bulletin_files();
    if (feeds.empty() || !have_lists()) GTEST_SKIP() << "no bulletins or station lists in " SONDEX_SHARED_DATA;
    testutil::TempDir tmp("upa_cty");
    // A window of a month either side lets every day of every feed through.
    std::string cmd = std::string(SONDEX_BINARY) + " -ba -pf over -fp " + source_dir.string() +
                      " -ho '#2026020600' -pa range=-44640:44640 -of vok:" + (tmp.path() / "all.vok").string();
    for (const fs::path& f : feeds) cmd += " " + f.string();
    ASSERT_EQ(run(cmd, tmp.path()).status, 0);

    const std::set<int> placed = placed_numbers();
    std::ifstream in(tmp.path() / "all.vok");
    std::string line;
    std::getline(in, line);
    ASSERT_EQ(line, "VOKUPAx");
    std::getline(in, line);  // the date line
    int stations = 0;
    bool head = true;  // the line starts a record: the first after the date line and after each "$"
    while (std::getline(in, line)) {
        if (head) {
            // "wmo:id:lat:lon", or "wmo:id" without a position.
            const auto f = split(line.substr(0, line.find(' ')), ':');
            ASSERT_GE(f.size(), 2u) << line;
            ++stations;
            if (f.size() < 4) {
                EXPECT_EQ(placed.count(std::stoi(f[0])), 0u) << "no position: " << line;
            }
        }
        head = line.ends_with('$');
    }
    EXPECT_GT(stations, 500);  // every feed was converted
}
