// Helpers of the tests of the upper-air file module (test_ua_read.cpp and
// the record tests test_ua_write_*.cpp): hand-made reports, a fixture that
// writes a file of any form, the clients users read the files with
// (ncdump, netCDF4-python, xmllint), and the report parts of the real feeds.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <sys/wait.h>

#include "test_util.h"
#include "vokupa.h"

namespace uatest {

using testutil::hex_of;

namespace fs = std::filesystem;
using testutil::read_file;
using namespace std::string_literals;

inline constexpr float M = VOK_MISSING_F;

inline UPA_report station(const char* id, int wmo, float lat, float lon)
{
    UPA_report r;
    UPA_initialize(&r);
    r.type = 0;
    std::snprintf(r.id, sizeof r.id, "%s", id);
    r.wmo = wmo;
    r.lat = lat;
    r.lon = lon;
    return r;
}

// The Denver report of the byte-for-byte cases: surface, 850 hPa,
// tropopause and maximum wind.
inline UPA_report denver()
{
    UPA_report r = station("DNR", 72469, 39.77f, -104.87f);
    r.time = 1200;
    r.numman = 20;
    r.man[0] = {837, 1611, 12.4f, 3.4f, 180, 5};
    r.man[3] = {850, 1457, 15.2f, 10.1f, 273, 15};
    r.man[22] = {215, M, -55.3f, -60.3f, 270, 60};
    r.man[23] = {250, M, M, M, 265, 95};
    return r;
}

struct Command {
    int status;
    std::string out;
};

inline Command run(const std::string& cmd)
{
    Command r{-1, ""};
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline UPA_info header_info()
{
    UPA_info info{};
    DATE_init(&info.date);
    info.date.year = 2026;
    info.date.month = 2;
    info.date.day = 6;
    info.date.hour = 0;
    info.date.min = 0;
    DATE_make_label(&info.date, info.datim, sizeof info.datim);
    std::snprintf(info.file, sizeof info.file, "26020600");
    return info;
}

class UaRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        UPA_file_reset();
    }
    void TearDown() override { UPA_file_reset(); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // Creates name in the form type with the reports; every call must
    // succeed.
    std::string write_file(const std::string& name, int type, const std::vector<UPA_report>& reps)
    {
        const std::string p = path(name);
        int t = type;
        const int fd = UPA_open(p.c_str(), 1, &t);
        EXPECT_GE(fd, 0) << p;
        UPA_info info = header_info();
        EXPECT_EQ(UPA_putinfo(fd, &info), 0);
        int counter = 0;
        for (const UPA_report& r : reps) {
            EXPECT_EQ(UPA_write(fd, &r, 1, &counter), 0);
            if (type == UPA_FILE_CDF || type == UPA_FILE_CDF_STATION) ++counter;  // the netCDF record index
        }
        EXPECT_EQ(UPA_close(fd), 0);
        return p;
    }
    // The record of one report in the "VOKUPAx" form, header lines removed.
    std::string text_record(const UPA_report& rep, int type = UPA_FILE_VOKUPAX)
    {
        const std::string all = read_file(write_file("one.txt", type, {rep}));
        const std::size_t pos = all.find('\n', all.find('\n') + 1) + 1;  // magic and date lines
        return all.substr(pos);
    }

    testutil::TempDir tmp_{"vok_ua_read"};
    std::string dir_ = tmp_.path().string();
};

// ---------------------------------------------------------------- netCDF read back

// Every variable and record as netCDF4-python gives them to a program.
struct NcValues {
    long records = -1;
    std::map<std::string, std::vector<std::vector<std::string>>> vars;
};

inline NcValues python_read(const std::string& file)
{
    NcValues v;
    const Command c = run("/usr/bin/python3 " SONDEX_SOURCE_DIR "/tests/read_upa_nc.py " + file);
    EXPECT_EQ(c.status, 0) << c.out.substr(0, 2000);
    std::istringstream in(c.out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name, tok;
        long r = 0;
        words >> name >> r;
        if (name == "records") {
            v.records = r;
            continue;
        }
        std::vector<std::string> row;
        while (words >> tok) row.push_back(tok);
        v.vars[name].push_back(row);
    }
    return v;
}

// A CF-aware reader sees the value written, or a mask ("--") for the fill
// value and for values outside valid_range.
inline void expect_value(const std::string& tok, float want, float lo, float hi, const std::string& where)
{
    if (want == M || want < lo || want > hi) {
        EXPECT_EQ(tok, "--") << where << " want " << want;
    } else {
        ASSERT_NE(tok, "--") << where << " want " << want;
        EXPECT_EQ(static_cast<float>(std::strtod(tok.c_str(), nullptr)), want) << where;
    }
}

inline float in_ms(float knots)
{
    return knots == M ? M : static_cast<float>(knots * 0.5144);
}

inline float in_m(float feet)
{
    return feet == M ? M : static_cast<float>(feet * 0.3048);
}

// Every value of every record of a type 12 file against the reports.
inline void expect_cdf_holds(const std::string& file, const std::vector<UPA_report>& reps)
{
    NcValues nc = python_read(file);
    ASSERT_EQ(nc.records, static_cast<long>(reps.size()));
    auto at = [&](const char* var, std::size_t r) -> const std::vector<std::string>& { return nc.vars[var].at(r); };
    for (std::size_t r = 0; r < reps.size(); ++r) {
        const UPA_report& rep = reps[r];
        const std::string w = "record " + std::to_string(r) + " ";
        EXPECT_EQ(at("id", r)[0], hex_of(std::string_view(rep.id, strnlen(rep.id, 10)))) << w;
        EXPECT_EQ(at("region", r)[0], hex_of(std::string_view(rep.area, strnlen(rep.area, 10)))) << w;
        const std::string_view area(rep.area, strnlen(rep.area, 10));
        EXPECT_EQ(at("type", r)[0], hex_of(area == "SH" ? "SHIP" : area == "MO" ? "MOBILE" : "LAND")) << w;
        EXPECT_EQ(at("idn", r)[0], std::to_string(rep.wmo) + ".0") << w;
        expect_value(at("lat", r)[0], rep.lat, -90, 90, w + "lat");
        expect_value(at("lon", r)[0], rep.lon, -180, 180, w + "lon");
        // Counts of 0 to 25, 200 and 100 read back unmasked.
        const int nsig = std::clamp(rep.numsig, 0, 200), nwnd = std::clamp(rep.numwnd, 0, 100);
        expect_value(at("num_mant", r)[0], rep.numman ? 25 : 0, 0, 25, w + "num_mant");
        expect_value(at("num_sigt", r)[0], float(nsig), 0, 200, w + "num_sigt");
        expect_value(at("num_sigw", r)[0], float(nwnd), 0, 100, w + "num_sigw");
        for (int s = 0; s < UPA_NUM_MAN; ++s) {
            const UPA_man& m = rep.man[s];
            const std::string ws = w + "slot " + std::to_string(s) + " ";
            expect_value(at("P_man", r).at(s), m.p, 0, 1500, ws + "P");
            expect_value(at("Z_man", r).at(s), m.h, -1000, 100000, ws + "Z");
            expect_value(at("T_man", r).at(s), m.t, -100, 100, ws + "T");
            expect_value(at("TD_man", r).at(s), m.td, -150, 100, ws + "TD");
            expect_value(at("DIR_man", r).at(s), m.dir, 0, 360, ws + "DIR");
            expect_value(at("SPD_man", r).at(s), in_ms(m.spd), 0, 300, ws + "SPD");
        }
        for (int s = 0; s < UPA_MAX_SIG; ++s) {
            const UPA_sig g = s < nsig ? rep.sig[s] : UPA_sig{M, M, M};
            expect_value(at("P_sigt", r).at(s), g.p, 0, 1500, w + "P_sigt");
            expect_value(at("T_sigt", r).at(s), g.t, -100, 100, w + "T_sigt");
            expect_value(at("TD_sigt", r).at(s), g.td, -150, 100, w + "TD_sigt");
        }
        for (int s = 0; s < UPA_MAX_WND; ++s) {
            const UPA_wnd g = s < nwnd ? rep.wnd[s] : UPA_wnd{M, M, M};
            expect_value(at("Z_sigw", r).at(s), in_m(g.h), -1000, 100000, w + "Z_sigw");
            expect_value(at("DIR_sigw", r).at(s), g.dir, 0, 360, w + "DIR_sigw");
            expect_value(at("SPD_sigw", r).at(s), in_ms(g.spd), 0, 300, w + "SPD_sigw");
        }
    }
}

// A header as ncdump shows it, the record count and file name aside.
inline std::string cdf_header_text(std::string h)
{
    h = h.substr(h.find('\n'));
    const std::size_t c = h.find("// (");
    if (c != std::string::npos) h.replace(c, h.find(')', c) - c + 1, "// (N currently)");
    return h;
}


// ---------------------------------------------------------------- real feeds
struct Part {
    int kind;
    std::string id;
    std::string data;
};

// Every report part of the shared bulletins, read as a run reads them.
inline std::vector<Part> corpus_parts()
{
    std::vector<Part> parts;
    UPA_read_raw_reset();
    for (const auto& f : testutil::bulletin_files())
        testutil::for_each_raw_part(
            f, [&](const char* data, const char* id, int kind) { parts.push_back({kind, id, data}); });
    UPA_read_raw_reset();
    return parts;
}

}  // namespace uatest
