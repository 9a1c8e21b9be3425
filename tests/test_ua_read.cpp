// Tests of ua_read: the forms of upper-air files, their recognition,
// opening, headers and appending, and the writing of records of every form
// from hostile reports and from the reports of the real feeds, read back by
// the clients users read them with (ncdump, netCDF4-python, xmllint).
#include <gtest/gtest.h>

#include <netcdf.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "test_ua_read_util.h"
#include "vokcty.h"
#include "vokupa.h"

using namespace uatest;

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


TEST_F(UaRead, NetcdfHeaderIsTheLayoutClientsExpect)
{
    const std::string p = write_file("upa.nc", UPA_FILE_CDF, {});
    std::string golden = read_file(SONDEX_SOURCE_DIR "/tests/golden/upa_header.cdl");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(run("ncdump -h " + p).out, golden);
    EXPECT_EQ(run("/usr/bin/python3 -c 'import netCDF4,sys; netCDF4.Dataset(sys.argv[1])' " + p).status, 0);
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
    // A header that claims 2^31 - 1 records is refused without reading them
    // (the check once tried to hold them all in memory).
    std::string claims = good;
    claims.replace(4, 4, std::string("\x7f\xff\xff\xff", 4));
    std::ofstream(path("claims.nc"), std::ios::binary) << claims;
    EXPECT_EQ(UPA_open(path("claims.nc").c_str(), 2, &t), -1);
    // The whole file is still appended to.
    ASSERT_GE(UPA_open(path("good.nc").c_str(), 2, &t), 0);
    EXPECT_EQ(UPA_num_records(), 3);
    UPA_close(0);

    // The program ends with its status for an output file it cannot use.
    fs::create_directory(path("defaults"));
    std::ofstream(path("defaults/vok.cfg")) << "sondex.file_path " SONDEX_SOURCE_DIR "\n";
    std::string sanitizers;  // a sanitizer build's options reach the program
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* v = std::getenv(name)) sanitizers += std::string(name) + "=" + v + " ";
    const Command c = run("cd " + dir_ + " && env -i PATH=/usr/bin:/bin HOME=" + dir_ + " vokdefault=" +
                          path("defaults") + " " + sanitizers + SONDEX_BINARY " -ba -pf app -of cdf:cut.nc "
                          SONDEX_SOURCE_DIR "/2026020600.upa");
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
