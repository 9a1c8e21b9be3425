// Tests of ua_read: the forms of upper-air files, their headers and the
// record writer, checked byte for byte on hand-derived records and, for
// reports decoded from the real feeds, by the clients users read them with
// (ncdump, netCDF4-python, xmllint).
#include <gtest/gtest.h>

#include <netcdf.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

#include "test_util.h"
#include "vokcty.h"
#include "vokupa.h"

namespace {

namespace fs = std::filesystem;
using testutil::read_file;
using namespace std::string_literals;

constexpr float M = VOK_MISSING_F;

UPA_report station(const char* id, int wmo, float lat, float lon)
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
UPA_report denver()
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

Command run(const std::string& cmd)
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

UPA_info header_info()
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

std::string encoded(int rc_want, int rc)
{
    EXPECT_EQ(rc, rc_want) << encd_str;
    return encd_str;
}

}  // namespace

TEST_F(UaRead, EncodersGiveTheGroupsOfTheTempCode)
{
    struct Case {
        float a, b;
        const char* want;
    };
    for (const Case& c : std::initializer_list<Case>{
             {850, 1457, "85457"}, {500, 5640, "50564"}, {1000, -50, "00550"}, {850, M, "85/"},
             {925, 762, "92762"}, {700, 3012, "70012"}, {250, 10400, "25040"}, {100, 16550, "10655"},
             {70, 18620, "07862"}, {7.5f, 33500, "-7350"}, {880, 215, "88215"}, {0.1f, -500, "-0100"}})
        EXPECT_EQ(encoded(0, encd_ph(c.a, c.b)), c.want) << c.a << " " << c.b;
    for (const Case& c : std::initializer_list<Case>{
             {15.2f, 10.1f, "15250"}, {-15.3f, -17.3f, "15320"}, {20.0f, 8.0f, "20062"}, {5.0f, M, "05099"},
             {0.0f, -5.0f, "00050"}, {10.0f, 4.0f, "10056"}, {-40.5f, -70.5f, "40580"},
             {-99.9f, -99.9f, "99900"}, {-0.1f, -0.6f, "00105"}})
        EXPECT_EQ(encoded(0, encd_td(c.a, c.b)), c.want) << c.a << " " << c.b;
    for (const Case& c : std::initializer_list<Case>{
             {273, 15, "27515"}, {273, 115, "27615"}, {358, 20, "36020"}, {0, 0, "00000"}, {270, 999, "27999"}})
        EXPECT_EQ(encoded(0, encd_wd(c.a, c.b)), c.want) << c.a << " " << c.b;

    // The missing marker: "99999" but while a text form of type 3 to 5 is open.
    EXPECT_EQ(encoded(-1, encd_ph(M, M)), "99999");
    EXPECT_EQ(encoded(-1, encd_td(M, M)), "99999");
    EXPECT_EQ(encoded(-1, encd_wd(M, 10)), "99999");
    for (int type : {UPA_FILE_VOKUPA, UPA_FILE_VOKUPA_PLUS, UPA_FILE_VOKUPAX, UPA_FILE_XML}) {
        int t = type;
        const int fd = UPA_open(path("m").c_str(), 1, &t);
        ASSERT_GE(fd, 0);
        const std::string want = type == UPA_FILE_XML ? "99999" : "X";
        EXPECT_EQ(encoded(-1, encd_ph(M, M)), want);
        EXPECT_EQ(encoded(-1, encd_wd(270, M)), want);
        UPA_close(fd);
    }
}

TEST_F(UaRead, TextRecordOfASurfaceOnlyReport)
{
    UPA_report r = denver();
    r.man[3] = r.man[22] = r.man[23] = UPA_man{M, M, M, M, M, M};
    const std::string x3 = "X X X X X X X X X X X X\n";
    EXPECT_EQ(text_record(r), "72469:DNR:39.77:-104.87 " + x3 + x3 + x3 + x3 +
                                  "X X X X X\n"
                                  "837 12459 X\n"
                                  "00 18005 $\n");
    // The surface rows are the record's: the report keeps its empty lists.
    EXPECT_EQ(r.numsig, 0);
    EXPECT_EQ(r.numwnd, 0);
    // Without a position the head is the number and identifier alone.
    r.lat = M;
    EXPECT_EQ(text_record(r).substr(0, 12), "72469:DNR X ");
}

TEST_F(UaRead, TextRecordLevelsAndLineBreaks)
{
    UPA_report r = station("TST", 12345, M, M);
    r.numman = 20;
    r.man[3] = {850, 1457, 15.2f, 10.1f, 273, 15};
    for (int s = 17; s <= 18; ++s) r.man[s] = {float(man_pres[s]), 33000, -50.1f, M, 90, 40};
    const float sigp[] = {1013, 850, 85, 7.5f, 900, 800, 600, 450};
    for (float p : sigp) UPA_add_sig(&r, p, 1.0f, M);
    for (float h : {0.0f, 998.0f, 999.0f, 2999.5f}) UPA_add_wnd(&r, h, 273, 15);
    // 850 hPa has a height, so the significant level at 850 is not repeated;
    // eight rows with one skipped still break after the seventh written.
    EXPECT_EQ(text_record(r), "12345:TST X X X X X X 85457 15250 27515 X X X\n"
                              "X X X X X X X X X X X X\n"
                              "X X X X X X X X X X X X\n"
                              "X X X X X X X X X X X X\n"
                              "-7300 50199 09040 -5300 50199 09040 \n"
                              "X X X X X\n"
                              "013 01099  85 01099 7.5 01099 900 01099 800 01099 600 01099 450 01099\nX\n"
                              "00 27515 00 27515 01 27515 03 27515 $\n");
    // Without the 850 hPa height the level is repeated; row 0 always stays.
    r.man[3].h = M;
    EXPECT_NE(text_record(r).find("013 01099 850 01099  85"), std::string::npos);

    // Exactly seven levels end the line with a blank; eight break after seven.
    UPA_report s7 = station("S7", 1, M, M);
    for (int k = 0; k < 7; ++k) UPA_add_sig(&s7, 990.0f - 10 * k, 0.0f, M);
    EXPECT_NE(text_record(s7).find("930 00099 X\n$\n"), std::string::npos);
    UPA_add_sig(&s7, 900, 0.0f, M);
    EXPECT_NE(text_record(s7).find("930 00099\n900 00099 X\n"), std::string::npos);
}

TEST_F(UaRead, TextHeadOfACallSignWithAColonKeepsItsFields)
{
    UPA_report r = station("AB:C", 99999, 60.2f, -46.7f);
    const std::string rec = text_record(r);
    const std::string head = rec.substr(0, rec.find(' '));
    EXPECT_EQ(head, "99999:AB_C:60.20:-46.70");
    EXPECT_EQ(testutil::count_of(head, ":"), 3);
}

TEST_F(UaRead, OlderTextGenerations)
{
    UPA_report r = denver();
    const std::string plus = text_record(r, UPA_FILE_VOKUPA_PLUS);
    EXPECT_EQ(plus.substr(0, 4), "DNR ");
    EXPECT_EQ(plus.substr(4), text_record(r).substr(24));
    // "VOKUPA": no 925 hPa when it is empty, lines after 500/200/50/10 hPa,
    // sections padded with X to 28 entries, 7 to a line.
    const std::string old = text_record(r, UPA_FILE_VOKUPA);
    EXPECT_EQ(old.substr(0, 4), "DNR ");
    EXPECT_EQ(testutil::count_of(old, "\n"), 4 + 1 + 4 + 4);
    EXPECT_NE(old.find("837 12459 X X X X X X\nX X X X X X X\n"), std::string::npos);
}

TEST_F(UaRead, XmlRecordAndHostileIdentifiers)
{
    const std::string p = write_file("a.xml", UPA_FILE_XML, {denver()});
    EXPECT_EQ(read_file(p), std::string("<vokupa date=\"0000Z  6 FEB 26\">\n") +
                                "<obs wmo=\"72469\" id=\"DNR\" lat=\"39.77\" lon=\"-104.87\">\n"
                                "  <mand_level>\n"
                                "    <level type=\"sfc\" pres.mb=\"837\" hght.m=\"1611\" temp.C=\"12.4\" "
                                "dewp.C=\"3.4\" wdir.deg=\"180\" wspd.knt=\"5\"/>\n"
                                "    <level pres.mb=\"850\" hght.m=\"1457\" temp.C=\"15.2\" dewp.C=\"10.1\" "
                                "wdir.deg=\"273\" wspd.knt=\"15\"/>\n"
                                "    <level type=\"trop\" pres.mb=\"215\" temp.C=\"-55.3\" dewp.C=\"-60.3\" "
                                "wdir.deg=\"270\" wspd.knt=\"60\"/>\n"
                                "    <level type=\"mwnd\" pres.mb=\"250\" wdir.deg=\"265\" wspd.knt=\"95\"/>\n"
                                "  </mand_level>\n"
                                "  <sig_level>\n"
                                "    <level pres.mb=\"837\" temp.C=\"12.4\" dewp.C=\"3.4\"/>\n"
                                "  </sig_level>\n"
                                "  <wnd_level>\n"
                                "    <level hght.m=\"0\" wdir.deg=\"180\" wspd.knt=\"5\"/>\n"
                                "  </wnd_level>\n"
                                "</obs>\n"
                                "</vokupa>\n");

    // Identifiers of any ten bytes keep the document well formed and read
    // back as they were where XML can carry them.
    const std::vector<std::string> ids = {"a&b<c>\"'d", "\t\n\r\x01\x1f\x7f", "\xe9\xff\xc3\xa9\xef\xbf\xbf",
                                          "</obs>&#x;", "]]>x&amp;y"};
    std::vector<UPA_report> reps;
    for (const auto& id : ids) {
        reps.push_back(station("", 99999, M, M));
        std::memset(reps.back().id, 0, sizeof reps.back().id);
        std::memcpy(reps.back().id, id.data(), std::min<std::size_t>(id.size(), 10));
    }
    const std::string h = write_file("h.xml", UPA_FILE_XML, reps);
    const Command lint = run("xmllint --noout " + h);
    EXPECT_EQ(lint.status, 0) << lint.out;
    const Command py = run("/usr/bin/python3 -c \"import sys,xml.etree.ElementTree as E; "
                       "[print(o.get('id').encode().hex()) for o in E.parse(sys.argv[1]).getroot()]\" " + h);
    ASSERT_EQ(py.status, 0) << py.out;
    std::istringstream lines(py.out);
    std::string hex;
    std::getline(lines, hex);
    EXPECT_EQ(hex, "6126623c633e222764");
    std::getline(lines, hex);
    EXPECT_EQ(hex, "090a0defbfbdefbfbd7f");  // tab, LF and CR kept; other controls U+FFFD
    std::getline(lines, hex);
    EXPECT_EQ(hex, "c3a9c3bfc3a9c3afc2bfc2bf");  // UTF-8 kept, stray bytes read as Latin-1
}

TEST_F(UaRead, XmlNumbersArePrintfDigitForDigit)
{
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> wide(-120.0f, 120.0f);
    std::uniform_int_distribution<int> twentieths(-2000, 2000);
    for (int round = 0; round < 20; ++round) {
        UPA_report r = station("R", 1, M, M);
        for (int s = 1; s <= 21; ++s) {
            // Halves and twentieths are the ties of %.0f and %.1f.
            const float tie = twentieths(gen) / 20.0f;
            r.man[s] = {float(man_pres[s]), tie * 100, wide(gen), tie, tie * 2, round == 0 ? -0.04f : wide(gen)};
        }
        const std::string xml = read_file(write_file("n.xml", UPA_FILE_XML, {r}));
        std::size_t pos = xml.find("<mand_level>");
        for (int s = 1; s <= 21; ++s) {
            pos = xml.find("<level pres.mb", pos + 1);
            ASSERT_NE(pos, std::string::npos);
            const std::string line = xml.substr(pos, xml.find('\n', pos) - pos);
            char want[256];
            const UPA_man& m = r.man[s];
            std::snprintf(want, sizeof want,
                          "<level pres.mb=\"%.0f\" hght.m=\"%.0f\" temp.C=\"%.1f\" dewp.C=\"%.1f\" "
                          "wdir.deg=\"%.0f\" wspd.knt=\"%.0f\"/>",
                          m.p, m.h, m.t, m.td, m.dir, m.spd);
            EXPECT_EQ(line, want);
        }
    }
}

TEST_F(UaRead, FixedRecordFieldByField)
{
    UPA_report r = denver();
    r.man[4] = {700, 3012, -2.5f, -10.0f, 250, 35};
    r.man[5] = {500, 5640, -10.3f, -30.1f, 245, 115};
    r.man[1] = {1000, 120, M, M, M, M};
    UPA_report ship = station("72469", 99999, -45.5f, 170.25f);  // numeric id: no letters
    UPA_report bare = station("9ZT9MRK", M, M, M);
    bare.wmo = VOK_MISSING;
    const std::string f = read_file(write_file("u.dat", UPA_FILE_FIXED, {r, ship, bare}));
    // The date line has no line end: the first record follows the year.
    ASSERT_EQ(f.size(), 22u + 3 * 78u);
    EXPECT_EQ(f.substr(0, 26), "00:00Z XXX FEB  6 2026DNR\0"s);
    const auto num = [&](int record, int k) {
        const auto* b = reinterpret_cast<const unsigned char*>(f.data()) + 22 + 78 * record + 12 + 2 * k;
        return static_cast<int16_t>(b[0] | (b[1] << 8));
    };
    EXPECT_EQ(f.substr(22, 12), "DNR\0\0" "72469\0\0"s);
    const int want[33] = {3977, -10487, 15, 0, -3, -10, 0, 1457, 3012, 5640, 0, 0, 0, 0, 0, 27, 25, 24, 0,
                          15, 35, 115, 0, 5, 8, 20, 9999, 5520, 1200, 0, 0, 0, 0};
    for (int k = 0; k < 33; ++k) EXPECT_EQ(num(0, k), want[k]) << "value " << k + 1;
    EXPECT_EQ(f.substr(22 + 78, 12), "\0\0\0\0\0" "99999\0\0"s);
    EXPECT_EQ(num(1, 0), -4550);
    EXPECT_EQ(num(1, 1), 17025);
    EXPECT_EQ(num(1, 2), 9999);
    EXPECT_EQ(num(1, 27), 9999);  // no thickness without both heights
    EXPECT_EQ(f.substr(22 + 156, 12), "\0\0\0\0\0" "99999\0\0"s);  // id led by a digit
}

TEST_F(UaRead, FormsAreRecognised)
{
    const auto make = [&](const std::string& name, const std::string& text) {
        std::ofstream(path(name), std::ios::binary) << text;
        return UPA_chktype(path(name).c_str());
    };
    EXPECT_EQ(make("a", "VOKUPAx\n0000Z  6 FEB 26\n"), 5);
    EXPECT_EQ(make("b", "VOKUPA+\n0000Z  6 FEB 26\n"), 4);
    EXPECT_EQ(make("c", "VOKUPA\n0000Z  6 FEB 26\n"), 3);
    EXPECT_EQ(make("d", "VOKUPAX\n"), 3);
    EXPECT_EQ(make("e", "VOKUPA7\n"), 3);
    EXPECT_EQ(make("f", "12Z  6 FEB 26\n72469 DNR\n40570 ...\n"), 2);
    EXPECT_EQ(make("g", "12Z  6 FEB 26\n72469 DNR\n 9 85457\n"), 1);
    EXPECT_EQ(make("h", "12Z  6 FEB 26\n72469 DNR\nXX\n"), 1);
    EXPECT_EQ(make("i", "CDF is not here\n"), -1);
    EXPECT_EQ(make("j", "<vokupa date=\"x\">\n"), -1);
    EXPECT_EQ(make("k", ""), -1);
    EXPECT_EQ(UPA_chktype(path("none").c_str()), -1);
    EXPECT_EQ(UPA_chktype(dir_.c_str()), -1);
    write_file("new.nc", UPA_FILE_CDF, {denver()});
    EXPECT_EQ(UPA_chktype(path("new.nc").c_str()), UPA_FILE_CDF);
    write_file("old.nc", UPA_FILE_CDF_STATION, {denver()});
    EXPECT_EQ(UPA_chktype(path("old.nc").c_str()), UPA_FILE_CDF_STATION);
}

TEST_F(UaRead, OpeningAndTheCallsAroundIt)
{
    UPA_info info = header_info();
    UPA_report r = denver();
    int counter = 0;
    // No file open: the failure values, nothing claimed.
    EXPECT_EQ(UPA_putinfo(0, &info), -1);
    EXPECT_EQ(UPA_getinfo(0, &info), 1);
    EXPECT_EQ(UPA_write(0, &r, 1, &counter), -1);
    EXPECT_EQ(UPA_close(0), -1);
    EXPECT_EQ(UPA_num_records(), -1);
    EXPECT_EQ(counter, 0);
    // Type 0 only for reading; nothing is created.
    int t = 0;
    EXPECT_EQ(UPA_open(path("x").c_str(), 1, &t), -1);
    EXPECT_FALSE(fs::exists(path("x")));
    for (int type : {5, 12, 41, 51, 7}) {
        t = type;
        EXPECT_EQ(UPA_open(dir_.c_str(), 1, &t), -1) << type;
        EXPECT_EQ(UPA_open("/proc/no/such/file", 1, &t), -1) << type;
        EXPECT_EQ(UPA_open(path("absent").c_str(), 2, &t), -1) << type;  // nothing to append to
        EXPECT_FALSE(fs::exists(path("absent")));
    }
    // One file at a time: a second open leaves the first one working.
    t = 5;
    const int fd = UPA_open(path("first").c_str(), 1, &t);
    ASSERT_GE(fd, 0);
    int t2 = 51;
    EXPECT_EQ(UPA_open(path("second").c_str(), 1, &t2), -1);
    EXPECT_FALSE(fs::exists(path("second")));
    EXPECT_EQ(UPA_putinfo(fd, &info), 0);
    EXPECT_EQ(UPA_write(fd, &r, 1, &counter), 0);
    EXPECT_EQ(counter, 1);
    EXPECT_EQ(UPA_num_records(), 1);
    EXPECT_EQ(UPA_close(fd), 0);
    EXPECT_EQ(UPA_close(fd), -1);
    // Read back with the form recognised.
    t = 0;
    ASSERT_GE(UPA_open(path("first").c_str(), 0, &t), 0);
    EXPECT_EQ(t, 5);
    EXPECT_EQ(UPA_write(0, &r, 1, &counter), -1);  // opened for reading
    EXPECT_EQ(UPA_putinfo(0, &info), -1);
    EXPECT_EQ(UPA_close(0), 0);
}

TEST_F(UaRead, HeadersReadBack)
{
    std::ofstream(path("crlf"), std::ios::binary) << "VOKUPAx\r\n0000Z  6 FEB 26  \r\n72469:DNR X\r\n";
    int t = 0;
    ASSERT_GE(UPA_open(path("crlf").c_str(), 0, &t), 0);
    UPA_info info{};
    EXPECT_EQ(UPA_getinfo(0, &info), 0);
    EXPECT_STREQ(info.datim, "0000Z  6 FEB 26  ");  // no CR; trailing blanks stay
    UPA_close(0);

    for (int type : {UPA_FILE_XML, UPA_FILE_FIXED, UPA_FILE_CDF}) {
        const std::string p = write_file("h" + std::to_string(type), type, {denver(), denver(), denver()});
        t = type;
        ASSERT_GE(UPA_open(p.c_str(), type == UPA_FILE_CDF ? 0 : 2, &t), 0);
        info = UPA_info{};
        EXPECT_EQ(UPA_getinfo(0, &info), 1);
        EXPECT_EQ(info.date.year % 100, 26) << type;
        EXPECT_EQ(info.date.day, 6) << type;
        EXPECT_EQ(info.date.hour, 0) << type;
        EXPECT_EQ(UPA_num_records(), 3) << type;
        UPA_close(0);
    }
    EXPECT_STREQ(info.datim, "0000Z  6 FEB 26");  // netCDF "filetime"

    // An older netCDF file with "datetime" and no "filetime".
    int nc;
    ASSERT_EQ(nc_open(path("h12").c_str(), NC_WRITE, &nc), NC_NOERR);
    nc_redef(nc);
    ASSERT_EQ(nc_del_att(nc, NC_GLOBAL, "filetime"), NC_NOERR);
    ASSERT_EQ(nc_put_att_text(nc, NC_GLOBAL, "datetime", 15, "1200Z 31 DEC 99"), NC_NOERR);
    nc_close(nc);
    t = 0;
    ASSERT_GE(UPA_open(path("h12").c_str(), 0, &t), 0);
    EXPECT_EQ(UPA_getinfo(0, &info), 1);
    EXPECT_STREQ(info.datim, "1200Z 31 DEC 99");
    EXPECT_EQ(info.date.day, 31);
    EXPECT_EQ(UPA_num_records(), 3);
}

// ---------------------------------------------------------------- netCDF read back
namespace {

// Every variable and record as netCDF4-python gives them to a program.
struct NcValues {
    long records = -1;
    std::map<std::string, std::vector<std::vector<std::string>>> vars;
};

NcValues python_read(const std::string& file)
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

std::string hex_of(std::string_view s)
{
    std::string h;
    char b[3];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02x", c);
        h += b;
    }
    return h.empty() ? "-" : h;
}

// A CF-aware reader sees the value written, or a mask ("--") for the fill
// value and for values outside valid_range.
void expect_value(const std::string& tok, float want, float lo, float hi, const std::string& where)
{
    if (want == M || want < lo || want > hi) {
        EXPECT_EQ(tok, "--") << where << " want " << want;
    } else {
        ASSERT_NE(tok, "--") << where << " want " << want;
        EXPECT_EQ(static_cast<float>(std::strtod(tok.c_str(), nullptr)), want) << where;
    }
}

float in_ms(float knots)
{
    return knots == M ? M : static_cast<float>(knots * 0.5144);
}

float in_m(float feet)
{
    return feet == M ? M : static_cast<float>(feet * 0.3048);
}

// Every value of every record of a type 12 file against the reports.
void expect_cdf_holds(const std::string& file, const std::vector<UPA_report>& reps)
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
std::string cdf_header_text(std::string h)
{
    h = h.substr(h.find('\n'));
    const std::size_t c = h.find("// (");
    if (c != std::string::npos) h.replace(c, h.find(')', c) - c + 1, "// (N currently)");
    return h;
}

}  // namespace

TEST_F(UaRead, NetcdfHeaderIsTheLayoutClientsExpect)
{
    const std::string p = write_file("upa.nc", UPA_FILE_CDF, {});
    std::string golden = read_file(SONDEX_SOURCE_DIR "/tests/golden/upa_header.cdl");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(run("ncdump -h " + p).out, golden);
    EXPECT_EQ(run("/usr/bin/python3 -c 'import netCDF4,sys; netCDF4.Dataset(sys.argv[1])' " + p).status, 0);
}

TEST_F(UaRead, NetcdfZeroCountsAndExtremeReportedValuesAreNotMasked)
{
    // No significant or wind level: counts of 0, which a fill value of 0 hid.
    UPA_report r = station("DRY", 1001, 70.93f, -8.67f);
    r.numman = 20;
    r.man[1] = {1000, -224, 1.0f, -3.0f, 90, 10};      // a deep high: 1000 hPa below sea level
    r.man[7] = {250, 10400, -99.9f, -148.9f, 270, 80};  // the driest the code can say
    NcValues nc = python_read(write_file("x.nc", UPA_FILE_CDF, {r}));
    EXPECT_EQ(nc.vars["num_sigt"][0][0], "0.0");
    EXPECT_EQ(nc.vars["num_sigw"][0][0], "0.0");
    EXPECT_EQ(nc.vars["Z_man"][0][1], "-224.0");
    EXPECT_EQ(static_cast<float>(std::stod(nc.vars["TD_man"][0][7])), -148.9f);
    // The older form keeps knots and feet, and its attributes say so.
    const std::string old = run("ncdump -h " + write_file("old.nc", UPA_FILE_CDF_STATION, {r})).out;
    EXPECT_NE(old.find("spd_man:units = \"knots\""), std::string::npos) << old;
    EXPECT_NE(old.find("z_sigw:units = \"feet\""), std::string::npos) << old;
}

TEST_F(UaRead, NetcdfTypeOfShipsAndMobileStationsIsNotLand)
{
    UPA_report ship = station("WTEC", 99999, 50.5f, -145.0f);
    std::snprintf(ship.area, sizeof ship.area, "SH");
    UPA_report mobile = station("ZXYW1", 99999, 46.2f, 6.1f);
    std::snprintf(mobile.area, sizeof mobile.area, "MO");
    for (int type : {UPA_FILE_CDF, UPA_FILE_CDF_STATION}) {
        const std::string p = write_file("origin" + std::to_string(type), type, {denver(), ship, mobile});
        EXPECT_NE(run("ncdump -v type " + p).out.find("type =\n  \"LAND\",\n  \"SHIP\",\n  \"MOBILE\" ;"),
                  std::string::npos)
            << type;
    }
}

TEST_F(UaRead, FailedWritesAreReported)
{
    // A stream that cannot take the data: a write or the close says so, and
    // no record after a failed one is claimed.
    for (int type : {UPA_FILE_VOKUPAX, UPA_FILE_FIXED, UPA_FILE_XML}) {
        int t = type;
        const int fd = UPA_open("/dev/full", 1, &t);
        ASSERT_GE(fd, 0);
        UPA_info info = header_info();
        UPA_putinfo(fd, &info);
        int counter = 0, failed_at = -1, claimed_after = 0;
        for (int k = 0; k < 300; ++k) {
            UPA_report r = denver();
            const int rc = UPA_write(fd, &r, 1, &counter);
            if (rc == -1 && failed_at < 0) failed_at = k;
            if (rc == 0 && failed_at >= 0) ++claimed_after;
        }
        EXPECT_GE(failed_at, 0) << type;
        EXPECT_EQ(claimed_after, 0) << type;
        EXPECT_EQ(UPA_close(fd), -1) << type;
    }

    // A netCDF write the library refuses (a station text longer than the
    // file's text dimension): reported, the rest of the record still written.
    write_file("ok.nc", UPA_FILE_CDF, {});
    const Command g = run("ncdump -h " + path("ok.nc") + " | sed 's/string_len = 11/string_len = 4/' | ncgen -o " +
                          path("short.nc"));
    ASSERT_EQ(g.status, 0) << g.out;
    int t = UPA_FILE_CDF;
    const int fd = UPA_open(path("short.nc").c_str(), 2, &t);
    ASSERT_GE(fd, 0);
    int counter = static_cast<int>(UPA_num_records());
    EXPECT_EQ(counter, 0);
    UPA_report r = denver();
    testutil::Capture err(stderr);
    EXPECT_EQ(UPA_write(fd, &r, 1, &counter), -1);
    EXPECT_NE(err.take().find("ncvarput"), std::string::npos);  // the library's own message
    EXPECT_EQ(UPA_close(fd), 0);
    NcValues nc = python_read(path("short.nc"));
    ASSERT_EQ(nc.records, 1);
    EXPECT_EQ(nc.vars["idn"][0][0], "72469.0");
    EXPECT_EQ(nc.vars["P_man"][0][3], "850.0");
    EXPECT_EQ(nc.vars["num_sigt"][0][0], "0.0");  // the surface row is the text form's
}

TEST_F(UaRead, NetcdfRefusesToReplaceWhatIsNotAFile)
{
    const std::string fifo = path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int t = UPA_FILE_CDF;
    EXPECT_EQ(UPA_open(fifo.c_str(), 1, &t), -1);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// ---------------------------------------------------------------- appending
TEST_F(UaRead, AppendingInThreeRunsGivesTheFileOfOne)
{
    UPA_report sfc = denver();
    sfc.man[3] = UPA_man{M, M, M, M, M, M};
    UPA_report ship = station("WTEC", 99999, 50.5f, -145.0f);
    ship.numman = 20;
    ship.man[5] = {500, 5580, -21.1f, -25.1f, 250, 45};
    std::vector<UPA_report> reps = {denver(), sfc, ship, denver(), ship, sfc, denver()};
    const int runs[][2] = {{0, 3}, {3, 5}, {5, 5}, {5, 7}};
    for (int type : {UPA_FILE_VOKUPAX, UPA_FILE_FIXED, UPA_FILE_XML, UPA_FILE_CDF}) {
        SCOPED_TRACE(type);
        const std::string one = write_file("one", type, reps);
        const std::string p = path("runs");
        for (const auto& run_range : runs) {
            int t = type;
            const int access = run_range[0] == 0 ? 1 : 2;
            const int fd = UPA_open(p.c_str(), access, &t);
            ASSERT_GE(fd, 0);
            UPA_info info = header_info();
            if (access == 1) {
                EXPECT_EQ(UPA_putinfo(fd, &info), 0);
            } else {
                EXPECT_EQ(UPA_putinfo(fd, &info), -1);  // never a second header
                UPA_info back{};
                UPA_getinfo(fd, &back);
            }
            // A run that appends continues the record numbering.
            int counter = static_cast<int>(UPA_num_records());
            EXPECT_EQ(counter, run_range[0]);
            for (int k = run_range[0]; k < run_range[1]; ++k) {
                UPA_report r = reps[k];
                EXPECT_EQ(UPA_write(fd, &r, 1, &counter), 0);
                if (type == UPA_FILE_CDF) ++counter;
            }
            EXPECT_EQ(UPA_num_records(), run_range[1]);
            EXPECT_EQ(UPA_close(fd), 0);
        }
        EXPECT_EQ(read_file(p), read_file(one));
        if (type == UPA_FILE_XML) {
            EXPECT_EQ(run("xmllint --noout " + p).status, 0);
        }
        fs::remove(p);
    }
}

TEST_F(UaRead, AppendingRefusesOtherFormsAndDamagedFiles)
{
    const std::string text = read_file(write_file("t", UPA_FILE_VOKUPAX, {denver(), denver()}));
    const std::string xml = read_file(write_file("x", UPA_FILE_XML, {denver()}));
    const std::string fixed = read_file(write_file("u", UPA_FILE_FIXED, {denver()}));
    write_file("n", UPA_FILE_CDF, {denver()});
    write_file("o", UPA_FILE_CDF_STATION, {denver()});
    const auto put = [&](const std::string& name, const std::string& body) {
        std::ofstream(path(name), std::ios::binary) << body;
        return name;
    };
    const std::string obs_end = "</obs>\n";
    const std::pair<std::string, int> cases[] = {
        {"x", 5}, {"t", 51}, {"u", 5}, {"t", 41}, {"n", 5}, {"o", 12}, {"n", 11}, {"x", 12}, {"t", 3}, {"t", 4},
        {put("cut", text.substr(0, text.size() - 3)), 5},
        {put("nodate", "VOKUPAx\n"), 5},
        {put("open", xml.substr(0, xml.size() - 10)), 51},
        {put("half", xml.substr(0, xml.find(obs_end)) + "</vokupa>\n"), 51},
        {put("extra", fixed + "x"), 41},
        {put("shortdate", fixed.substr(1)), 41},
    };
    for (const auto& [name, type] : cases) {
        const std::string before = read_file(path(name));
        int t = type;
        EXPECT_EQ(UPA_open(path(name).c_str(), 2, &t), -1) << name << " as " << type;
        EXPECT_EQ(read_file(path(name)), before) << name;
        EXPECT_EQ(UPA_num_records(), -1);
    }
}

TEST_F(UaRead, AppendingRefusesANetcdfFileCutShort)
{
    // The library opens the first 5,000 bytes of a good file and reads the
    // records they lack as zeros: appending would make those zeros data.
    const std::string good = read_file(write_file("good.nc", UPA_FILE_CDF, {denver(), denver(), denver()}));
    ASSERT_GT(good.size(), 5000u);
    std::ofstream(path("cut.nc"), std::ios::binary) << good.substr(0, 5000);
    int t = UPA_FILE_CDF;
    EXPECT_EQ(UPA_open(path("cut.nc").c_str(), 2, &t), -1);
    EXPECT_EQ(read_file(path("cut.nc")), good.substr(0, 5000));
    // The whole file is still appended to.
    ASSERT_GE(UPA_open(path("good.nc").c_str(), 2, &t), 0);
    EXPECT_EQ(UPA_num_records(), 3);
    UPA_close(0);

    // The program ends with its status for an output file it cannot use.
    fs::create_directory(path("defaults"));
    std::ofstream(path("defaults/vok.cfg")) << "sondex.file_path " SONDEX_SOURCE_DIR "\n";
    const Command c = run("cd " + dir_ + " && env -i PATH=/usr/bin:/bin HOME=" + dir_ + " vokdefault=" +
                          path("defaults") + " " SONDEX_BINARY " -ba -pf app -of cdf:cut.nc " SONDEX_SOURCE_DIR
                          "/2026020600.upa");
    EXPECT_EQ(c.status, UPA_EXIT_OUTPUT) << c.out;
    EXPECT_NE(c.out.find("Unable to append to output file: cut.nc"), std::string::npos) << c.out;
    EXPECT_EQ(read_file(path("cut.nc")), good.substr(0, 5000));
}

// ---------------------------------------------------------------- bad input
namespace {

// Every list full, values at the ends of what the code forms carry, and an
// identifier of odd bytes that fills its field without a terminator.
UPA_report extreme_report()
{
    UPA_report r = station("", 1, 0.0f, 0.0f);
    std::memcpy(r.id, "\xff\x01 <&>'\"\t%s", VOK_ID_LEN);
    r.numman = 20;
    for (int s = 0; s < UPA_NUM_MAN; ++s) r.man[s] = {s < 24 ? float(man_pres[s]) : M, -500, -99.9f, M, 360, 999};
    r.man[0].p = 0.1f;
    for (int k = 0; k < UPA_MAX_SIG; ++k) UPA_add_sig(&r, 0.1f + 5.0f * (UPA_MAX_SIG - k), -99.9f, -99.9f);
    for (int k = 0; k < UPA_MAX_WND; ++k) UPA_add_wnd(&r, 2000.0f * k, 355, 999);
    return r;
}

}  // namespace

TEST_F(UaRead, HostileReportsInEveryForm)
{
    const std::vector<UPA_report> reps = {station("", VOK_MISSING, M, M), extreme_report(), denver()};
    const std::string txt = read_file(write_file("e.txt", UPA_FILE_VOKUPAX, reps));
    EXPECT_EQ(testutil::count_of(txt, "$\n"), 3);
    // Blanks and control bytes of the identifier would split the head.
    EXPECT_NE(txt.find("00001:\xff__<&>'\"_%:0.00:0.00 00000 99999 36999"), std::string::npos);
    EXPECT_EQ(testutil::count_of(txt, "-7100 99999 36999"), 1);  // 7 hPa at -500 m
    EXPECT_EQ(testutil::count_of(txt, " 36999"), 16 + 5 + 2);      // every mandatory row
    EXPECT_EQ(testutil::count_of(txt, " 99900"), 200);             // every significant level
    EXPECT_EQ(testutil::count_of(txt, " 36499"), 100);             // every wind level
    EXPECT_EQ(testutil::count_of(txt, "5.1 99900"), 1);
    EXPECT_EQ(read_file(write_file("e.dat", UPA_FILE_FIXED, reps)).size(), 22u + 3 * 78u);
    const Command lint = run("xmllint --noout " + write_file("e.xml", UPA_FILE_XML, reps));
    EXPECT_EQ(lint.status, 0) << lint.out;
    expect_cdf_holds(write_file("e.nc", UPA_FILE_CDF, reps), reps);
}

TEST_F(UaRead, ArbitraryRecordBytesNeverBreakAForm)
{
    std::mt19937 gen(11);
    const float specials[] = {M, 0.0f, -0.0f, 1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(), 2147483648.0f, -2147483904.0f, 1e-30f};
    std::vector<UPA_report> reps(40);
    for (UPA_report& r : reps) {
        auto* bytes = reinterpret_cast<unsigned char*>(&r);
        for (std::size_t k = 0; k < sizeof r; ++k) bytes[k] = static_cast<unsigned char>(gen());
        auto* f = reinterpret_cast<float*>(&r.man[0]);
        for (int k = 0; k < UPA_NUM_MAN * 6; k += 3) f[k] = specials[gen() % 10];
        r.numsig = static_cast<int>(gen() % 400) - 100;
        r.numwnd = static_cast<int>(gen() % 300) - 100;
    }
    for (int type : {UPA_FILE_VOKUPA, UPA_FILE_VOKUPA_PLUS, UPA_FILE_VOKUPAX, UPA_FILE_FIXED, UPA_FILE_XML,
                     UPA_FILE_CDF, UPA_FILE_CDF_STATION}) {
        const std::string p = write_file("any" + std::to_string(type), type, reps);
        if (type == UPA_FILE_XML) {
            EXPECT_EQ(run("xmllint --noout " + p).status, 0);
        } else if (type == UPA_FILE_FIXED) {
            EXPECT_EQ(fs::file_size(p), 22u + 40 * 78u);
        }
    }
}

// ---------------------------------------------------------------- real feeds
namespace {

struct Part {
    int kind;
    std::string id;
    std::string data;
};

// Every report part of the shared bulletins, read as a run reads them.
std::vector<Part> corpus_parts()
{
    std::vector<Part> parts;
    UPA_read_raw_reset();
    for (const auto& f : testutil::bulletin_files())
        testutil::for_each_raw_part(
            f, [&](const char* data, const char* id, int kind) { parts.push_back({kind, id, data}); });
    UPA_read_raw_reset();
    return parts;
}

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> w;
    for (std::string t; in >> t;) w.push_back(t);
    return w;
}

// A group that does not re-encode: a missing value, or a depression code
// of 51 to 55, which the code leaves unused.
bool has_slash(const std::string& g)
{
    if (g.size() != 5 || g.find('/') != std::string::npos) return true;
    return g.size() == 5 && g[3] == '5' && g[4] >= '1' && g[4] <= '5';
}

// Compares the re-encoded groups of a TEMP part A decoded alone with the
// groups of the bulletin; returns the number of groups compared.
int compare_part_a(const std::vector<std::string>& w, const UPA_report& r)
{
    const bool knots = w[0].size() == 5 && std::atoi(w[0].substr(0, 2).c_str()) > 50;
    std::size_t from = w.size() > 2 && w[2].compare(0, 2, "99") == 0 ? 5 : 2;  // after the surface
    int compared = 0;
    for (int s : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, UPA_SLOT_TROPO, UPA_SLOT_MAXWIND}) {
        const UPA_man& m = r.man[s];
        if (m.p == M) continue;
        const bool mwnd = s == UPA_SLOT_MAXWIND;
        encd_ph(s == UPA_SLOT_TROPO ? 880 : mwnd ? 770 : m.p, s >= UPA_SLOT_TROPO ? m.p : m.h);
        const std::string g1 = encd_str;
        encd_td(m.t, m.td);
        const std::string g2 = encd_str;
        encd_wd(m.dir, m.spd);
        const std::string g3 = encd_str;
        if (g1 == "99999" || has_slash(g1)) continue;
        std::size_t i = from;
        while (i < w.size() && w[i] != g1 && !(mwnd && w[i] == "66" + g1.substr(2))) ++i;
        EXPECT_LT(i, w.size()) << "level group " << g1 << " of slot " << s << " not in " << r.id;
        if (i >= w.size()) continue;
        from = i + 1;
        if (!mwnd && i + 1 < w.size() && g2 != "99999" && !has_slash(w[i + 1])) {
            EXPECT_EQ(g2, w[i + 1]) << r.id << " slot " << s;
            ++compared;
        }
        const std::size_t iw = mwnd ? i + 1 : i + 2;
        if (knots && iw < w.size() && g3 != "99999" && !has_slash(w[iw])) {
            EXPECT_EQ(g3, w[iw]) << r.id << " slot " << s;
            ++compared;
        }
    }
    return compared;
}

// The same for the significant levels of a part B: "nnPPP TTTDD" pairs up
// to the first section marker.
int compare_part_b(const std::vector<std::string>& w, const UPA_report& r)
{
    std::map<std::string, std::string> pairs;
    for (std::size_t i = 2; i < w.size(); i += 2) {
        const std::string& g = w[i];
        if (g.size() != 5 || g[0] != g[1]) break;  // 21212, 31313 ... end the levels
        pairs[g.substr(2)] = i + 1 < w.size() ? w[i + 1] : "/////";  // a part cut after its level
    }
    int compared = 0;
    for (int s = 0; s < r.numsig; ++s) {
        char ppp[8];
        const int p = static_cast<int>(r.sig[s].p);
        std::snprintf(ppp, sizeof ppp, "%3.3d", p % 1000);
        encd_td(r.sig[s].t, r.sig[s].td);
        const auto it = pairs.find(ppp);
        EXPECT_NE(it, pairs.end()) << r.id << " level " << r.sig[s].p;
        if (it == pairs.end() || has_slash(it->second) || r.sig[s].p < 100) continue;
        EXPECT_EQ(std::string(encd_str), it->second) << r.id << " level " << r.sig[s].p;
        ++compared;
    }
    return compared;
}

UPA_report* corpus_slot(const Part& part)
{
    auto* slot = static_cast<UPA_report*>(CTY_get_data(part.id.c_str()));
    if (slot) return slot;
    char newid[VOK_ID_LEN];
    if (std::isdigit(static_cast<unsigned char>(part.id[0]))) wmo_to_id(newid, std::atoi(part.id.c_str()));
    else std::snprintf(newid, sizeof newid, "%s", part.id.c_str());
    CTY_make_entry_simple(newid, part.id.c_str());
    return static_cast<UPA_report*>(CTY_get_data(part.id.c_str()));
}

int corpus_enter(const CTY_data* d, void* slot)
{
    auto* r = static_cast<UPA_report*>(slot);
    UPA_initialize(r);
    r->type = 0;
    if (d->id[0] == '-') wmo_to_id(r->id, d->wmo);
    else std::snprintf(r->id, sizeof r->id, "%s", d->id);
    r->wmo = d->wmo;
    r->lat = d->lat;
    r->lon = d->lon;
    r->elev = d->el;
    return 0;
}

// The stations of the real feeds as a run writes them: the shipped station
// table, every part decoded into its station, then sorted, in table order.
std::vector<UPA_report> corpus_reports(const std::vector<Part>& parts)
{
    CTY_reset();
    RES_clear();
    CTY_data_size(sizeof(UPA_report));
    CTY_enter_func(corpus_enter);
    std::vector<UPA_report> reps;
    if (CTY_store(SONDEX_SOURCE_DIR "/upa.cty", 1, nullptr, 10) <= 0) return reps;
    testutil::set_feed_window();
    for (const Part& p : parts)
        if (UPA_report* slot = corpus_slot(p)) UPA_decode_part(p.data.c_str(), p.kind, slot);
    for (int i = 0;; ++i) {
        auto* r = static_cast<UPA_report*>(CTY_next_data(i));
        if (!r) break;
        if (!r->numman && !r->numsig && !r->numwnd) continue;
        UPA_sort_report(r);
        reps.push_back(*r);
    }
    CTY_reset();
    RES_clear();
    DATE_reset();
    return reps;
}

}  // namespace

TEST_F(UaRead, CorpusTextGroupsAreTheBulletinGroups)
{
    const std::vector<Part> parts = corpus_parts();
    if (parts.empty()) GTEST_SKIP() << "no bulletins in " SONDEX_SHARED_DATA;
    testutil::set_feed_window();
    int compared = 0;
    for (const Part& p : parts) {
        if (p.kind != UPA_TTAA && p.kind != UPA_TTBB) continue;
        UPA_report r = station(p.id.c_str(), 0, M, M);
        if (UPA_decode_part(p.data.c_str(), p.kind, &r) != 1) continue;
        const std::vector<std::string> w = words(p.data);
        compared += p.kind == UPA_TTAA ? compare_part_a(w, r) : compare_part_b(w, r);
    }
    DATE_reset();
    EXPECT_GT(compared, 50000);
}

TEST_F(UaRead, CorpusInEveryFormReadsBackInItsClients)
{
    const std::vector<Part> parts = corpus_parts();
    if (parts.empty()) GTEST_SKIP() << "no bulletins in " SONDEX_SHARED_DATA;
    const std::vector<UPA_report> reps = corpus_reports(parts);
    ASSERT_GT(reps.size(), 400u);
    const std::size_t n = reps.size();

    const std::string txt = read_file(write_file("c.txt", UPA_FILE_VOKUPAX, reps));
    EXPECT_EQ(testutil::count_of(txt, "$\n"), static_cast<int>(n));
    EXPECT_EQ(txt.rfind("VOKUPAx\n0000Z  6 FEB 26\n", 0), 0u);

    const std::string xml = write_file("c.xml", UPA_FILE_XML, reps);
    const Command lint = run("xmllint --noout " + xml);
    EXPECT_EQ(lint.status, 0) << lint.out.substr(0, 2000);
    EXPECT_EQ(testutil::count_of(read_file(xml), "<obs "), static_cast<int>(n));

    const std::string nc = write_file("c.nc", UPA_FILE_CDF, reps);
    EXPECT_EQ(cdf_header_text(run("ncdump -h " + nc).out),
              cdf_header_text(read_file(SONDEX_SOURCE_DIR "/tests/golden/upa_header.cdl")));
    expect_cdf_holds(nc, reps);

    const std::string u = read_file(write_file("c.dat", UPA_FILE_FIXED, reps));
    ASSERT_EQ(u.size(), 22 + 78 * n);
    for (std::size_t k = 0; k < n; ++k) {
        const UPA_report& r = reps[k];
        const char* b = u.data() + 22 + 78 * k;
        char wmo[6];
        std::snprintf(wmo, sizeof wmo, "%5.5d", r.wmo >= 0 && r.wmo <= 99999 ? r.wmo : 99999);
        EXPECT_EQ(std::string(b + 5, 7), std::string(wmo) + "\0\0"s) << r.id;
        EXPECT_EQ(std::isalpha(static_cast<unsigned char>(r.id[0])) ? std::string(r.id).substr(0, 5) : "",
                  std::string(b, strnlen(b, 5)));
        const auto num = [&](int i) { return static_cast<int16_t>((b[12 + 2 * i] & 0xFF) | (b[13 + 2 * i] << 8)); };
        EXPECT_EQ(num(28), r.time == VOK_MISSING ? 9999 : r.time) << r.id;
        EXPECT_NEAR(num(0), r.lat == M ? 9999 : r.lat * 100, 1.0) << r.id;  // hundredths, cut
        EXPECT_EQ(num(9), r.man[5].h == M ? 9999 : static_cast<int>(r.man[5].h)) << r.id;
    }
}
