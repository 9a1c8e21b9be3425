// Tests of the CF profile form: hand-made soundings written, then read back
// by the clients users read them with (ncdump for the header, xarray and
// netCDF4-python through tests/read_cf.py for the values), appended to, and
// refused where a file is not of the form.
//
// SONDEX_UPDATE_GOLDEN=1 rewrites tests/golden/cf_header.cdl.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "test_util.h"
#include "ua_write.h"

namespace {

namespace fs = std::filesystem;
using namespace ua;
using testutil::hex_of;
using testutil::read_file;

const fs::path golden = fs::path(SONDEX_SOURCE_DIR) / "tests" / "golden" / "cf_header.cdl";
const std::int64_t decode_time = utc_seconds(2026, 2, 6, 0);

std::string run(const std::string& cmd)
{
    std::string out;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int st = pclose(p);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << cmd << "\n" << out;
    return out;
}

SoundingLevel level(LevelType type, int p10, int z, int t10, int dd, int dir, int spd, bool knots = true)
{
    const auto i16 = [](int v) { return static_cast<std::int16_t>(v); };
    return {{type, AltitudeCode::none, knots, p10, z, i16(t10), i16(dd), i16(dir), i16(spd)}};
}

constexpr int X = VOK_MISSING;

// A land station with a launch time, standard levels, two tropopauses, a
// maximum wind, significant temperature levels and 21212 winds.
Sounding land()
{
    Sounding s;
    s.id = "72469";
    s.wmo = 72469;
    s.name = "DENVER";
    s.lat = 39.77f;
    s.lon = -104.87f;
    s.elevation = 1611;
    s.time = decode_time;
    s.launch_time = decode_time - 55 * 60;
    s.levels = {
        level(LevelType::surface, 8370, X, 124, 56, 180, 5),
        level(LevelType::standard, 8500, 1457, 152, 10, 275, 15),
        level(LevelType::sig_temperature, 7805, X, -1, 5, X, X),
        level(LevelType::sig_wind, 6960, X, X, X, 250, 40),
        level(LevelType::standard, 5000, 5640, -103, 81, 245, 199),
        level(LevelType::max_wind, 2500, X, X, X, 265, 95),
        level(LevelType::tropopause, 2150, X, -553, 50, 270, 60),
        level(LevelType::tropopause, 1205, X, -621, 99, 275, 35),
        level(LevelType::standard, 100, 31000, -999, 99, 90, 10),  // 10 hPa at -99.9 degrees, 49 drier
    };
    return s;
}

// A PILOT station: winds by altitude only, in metres per second.
Sounding pilot()
{
    Sounding s;
    s.id = "96565";
    s.wmo = 96565;
    s.name = "SIBU";
    s.lat = 2.33f;
    s.lon = 111.83f;
    s.elevation = 32;
    s.time = decode_time - 6 * 3600;
    for (int z : {300, 900, 2100}) {
        SoundingLevel l = level(LevelType::sig_wind, X, z, X, X, 90 + z / 100, z / 150, false);
        l.alt = AltitudeCode::units_300m;
        s.levels.push_back(l);
    }
    return s;
}

// A ship: its call sign, the position it reports, no station table entry.
Sounding ship()
{
    Sounding s;
    s.id = "WTEC";
    s.platform = Platform::ship;
    s.lat = 50.5f;
    s.lon = -145.0f;
    s.time = decode_time;
    s.levels = {level(LevelType::surface, 10132, X, 55, 12, 250, 20),
                level(LevelType::standard, 10000, 112, 50, 14, 255, 25)};
    return s;
}

CfInfo info(const std::string& history)
{
    return {decode_time, history, "2026020600.upa"};
}

struct Read {
    bool agree = false;
    std::vector<std::vector<std::string>> profiles, levels;
};

Read read_cf(const std::string& file)
{
    Read r;
    std::istringstream in(run("/usr/bin/python3 " SONDEX_SOURCE_DIR "/tests/read_cf.py " + file));
    std::string line;
    std::getline(in, line);
    r.agree = line == "agree";
    EXPECT_TRUE(r.agree) << line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string t; words >> t;) w.push_back(t);
        (w[0] == "profile" ? r.profiles : r.levels).push_back(w);
    }
    return r;
}

// A value as the reader printed it: NaN for missing, else the double itself.
void expect_same(const std::string& tok, double want, const std::string& where)
{
    if (std::isnan(want)) EXPECT_EQ(tok, "nan") << where;
    else EXPECT_EQ(std::strtod(tok.c_str(), nullptr), want) << where << " read " << tok;
}

std::string iso(std::int64_t t)
{
    const UtcTime u = utc_time(t);
    char b[32];
    std::snprintf(b, sizeof b, "%04d-%02d-%02dT%02d:%02d:00", u.year, u.month, u.day, u.hour, u.minute);
    return b;
}

// Every profile and level of the file against the soundings.
void expect_holds(const Read& r, const std::vector<Sounding>& soundings)
{
    ASSERT_EQ(r.profiles.size(), soundings.size());
    std::size_t j = 0;
    for (std::size_t k = 0; k < soundings.size(); ++k) {
        const Sounding& s = soundings[k];
        const std::vector<std::string>& p = r.profiles[k];
        const auto place = [](float v) { return v == VOK_MISSING_F ? NAN : static_cast<double>(v); };
        EXPECT_EQ(p[2], hex_of(s.id));
        expect_same(p[3], s.wmo == X ? NAN : s.wmo, s.id + " wmo");
        EXPECT_EQ(p[4], hex_of(s.name));
        expect_same(p[5], place(s.lat), s.id + " lat");
        expect_same(p[6], place(s.lon), s.id + " lon");
        expect_same(p[7], place(s.elevation), s.id + " elevation");
        EXPECT_EQ(p[8], iso(s.time));
        EXPECT_EQ(p[9], s.launch_time ? iso(*s.launch_time) : "NaT");
        ASSERT_EQ(p[10], std::to_string(s.levels.size()));
        for (const SoundingLevel& l : s.levels) {
            const std::vector<std::string>& v = r.levels.at(j++);
            const std::string where = s.id + " level " + v[2];
            const bool by_altitude = l.alt != AltitudeCode::none;
            expect_same(v[2], pressure_hPa(l), where + " pressure");
            expect_same(v[3], by_altitude ? NAN : height_m(l), where + " height");
            expect_same(v[4], by_altitude ? height_m(l) : NAN, where + " altitude");
            expect_same(v[5], temperature_C(l), where + " t");
            expect_same(v[6], dew_point_C(l), where + " td");
            expect_same(v[7], wind_direction_deg(l), where + " direction");
            expect_same(v[8], wind_speed_mps(l), where + " speed");
            expect_same(v[9], static_cast<double>(l.type), where + " type");
        }
    }
}

class UaWriteCf : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (tmp_.path() / name).string(); }
    bool write(const std::string& name, const std::vector<Sounding>& s, bool append, std::string* error = nullptr)
    {
        std::string e;
        const bool ok = write_cf(path(name).c_str(), s, info("sondex run " + std::to_string(++runs_)), append, &e);
        if (error) *error = e;
        else EXPECT_TRUE(ok) << e;
        return ok;
    }
    // Nothing but the named files in the directory: no file left half written.
    void expect_only(std::vector<std::string> names) const
    {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(tmp_.path())) found.push_back(e.path().filename().string());
        std::sort(found.begin(), found.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(found, names);
    }

    testutil::TempDir tmp_{"vok_cf"};
    int runs_ = 0;
};

}  // namespace

TEST_F(UaWriteCf, ClientsReadTheProfilesAsWritten)
{
    const std::vector<Sounding> s = {land(), pilot(), ship()};
    write("cf.nc", s, false);
    const std::string header = run("ncdump -h " + path("cf.nc"));
    if (std::getenv("SONDEX_UPDATE_GOLDEN")) std::ofstream(golden) << header;
    EXPECT_EQ(header, read_file(golden));

    const Read r = read_cf(path("cf.nc"));
    expect_holds(r, s);
    // Exact to the last figure: a tenth of hPa, a dew point 49 degrees below
    // -99.9, 199 knots in metres per second.
    ASSERT_EQ(r.levels.size(), 14u);
    EXPECT_EQ(r.levels[7][2], "120.5");
    EXPECT_EQ(r.levels[8][6], "-148.9");
    EXPECT_EQ(r.levels[4][8], "102.374356");
    EXPECT_EQ(r.levels[9][4], "300.0");  // the PILOT altitude

    // A call sign of a corrupted feed, a byte that is no UTF-8: xarray fails
    // to decode such a text, so it is written as the Latin-1 letter.
    Sounding odd = ship();
    odd.id = "WT\xc9" "C";
    write("odd.nc", {odd}, false);
    EXPECT_EQ(read_cf(path("odd.nc")).profiles.at(0)[2], hex_of("WT\xc3\x89" "C"));
}

TEST_F(UaWriteCf, AppendingTwiceGivesTheFileOfOneWrite)
{
    // The first file has no profile at all, so no level either.
    write("one.nc", {land(), pilot(), ship()}, false);
    write("runs.nc", {}, false);
    EXPECT_EQ(read_cf(path("runs.nc")).profiles.size(), 0u);
    write("runs.nc", {land()}, true);
    write("runs.nc", {pilot(), ship()}, true);
    expect_holds(read_cf(path("runs.nc")), {land(), pilot(), ship()});
    // Every value alike; the history holds each run.
    const auto data = [&](const std::string& name) {
        const std::string d = run("ncdump " + path(name));
        const std::size_t head = d.find('\n'), globals = d.find("// global attributes:");
        return d.substr(head, globals - head) + d.substr(d.find("data:"));
    };
    EXPECT_EQ(data("runs.nc"), data("one.nc"));
    const std::string header = run("ncdump -h " + path("runs.nc"));
    EXPECT_NE(header.find(":history = \"sondex run 2\\n\",\n\t\t\t\"sondex run 3\\n\",\n\t\t\t\"sondex run 4\" ;"),
              std::string::npos)
        << header;
    expect_only({"one.nc", "runs.nc"});
}

TEST_F(UaWriteCf, AppendingRefusesOtherFormsAndDamagedFiles)
{
    write("good.nc", {land()}, false);
    const std::string good = read_file(path("good.nc"));
    std::ofstream(path("cut.nc"), std::ios::binary) << good.substr(0, 5000);
    std::ofstream(path("text.vok")) << "VOKUPAx\n0000Z  6 FEB 26\n";
    run("ncdump -h " + path("good.nc") + " | sed 's/CF-1.8/CF-1.7/' | ncgen -k nc7 -o " + path("other.nc"));
    run("ncgen -k nc3 -o " + path("classic.nc") + " < " SONDEX_SOURCE_DIR "/tests/golden/upa_header.cdl");
    for (const char* name : {"cut.nc", "text.vok", "other.nc", "classic.nc"}) {
        const std::string before = read_file(path(name));
        std::string error;
        EXPECT_FALSE(write(name, {pilot()}, true, &error)) << name;
        EXPECT_NE(error.find("write_cf: Unable to append to " + path(name) + " ("), std::string::npos) << error;
        EXPECT_NE(error.find("): it is left as it was"), std::string::npos) << error;
        EXPECT_EQ(read_file(path(name)), before) << name;
    }
    // A file that cannot be made: the library's reason, nothing left behind.
    std::string error;
    EXPECT_FALSE(write("no/such/dir.nc", {land()}, false, &error));
    EXPECT_EQ(error.rfind("write_cf: Unable to write " + path("no/such/dir.nc") + ": nc_create: ", 0), 0u) << error;
    expect_only({"good.nc", "cut.nc", "text.vok", "other.nc", "classic.nc"});
}
