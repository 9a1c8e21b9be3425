// The real bulletins of the shared data folder, every file, through the
// bulletin reader and the decoders into one record per station, as a run
// would: the reader's state carries from file to file. Nothing may crash or
// trip a sanitizer, and what lands in the records must stay within the
// bounds of the record and of the code forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"
#include "vok.h"
#include "vokupa.h"

namespace {

namespace fs = std::filesystem;

struct CorpusReport {
    std::string file;
    int kind;
    std::string id;
    std::string data;
};

using testutil::bulletin_dir;
using testutil::set_feed_window;
using testutil::station_report;

// Every report of one file, read to the end as the conversion reads it.
std::vector<CorpusReport> read_parts(const fs::path& path)
{
    std::vector<CorpusReport> out;
    const std::string name = path.filename().string();
    const bool opened = testutil::for_each_raw_part(
        path, [&](const char* data, const char* id, int kind) { out.push_back({name, kind, id, data}); });
    if (!opened) ADD_FAILURE() << "cannot open " << path;
    return out;
}

std::vector<CorpusReport> read_corpus(const std::vector<fs::path>& files)
{
    std::vector<CorpusReport> all;
    for (const auto& f : files) {
        auto reps = read_parts(f);
        all.insert(all.end(), reps.begin(), reps.end());
    }
    return all;
}

class Corpus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::is_directory(bulletin_dir())) GTEST_SKIP() << "no bulletin folder at " << bulletin_dir();
        files = testutil::bulletin_files();
        if (files.empty()) GTEST_SKIP() << "no bulletins in " << bulletin_dir();
        UPA_read_raw_reset();
    }
    void TearDown() override { UPA_read_raw_reset(); }
    std::vector<fs::path> files;
};

bool missing_or_within(float v, float lo, float hi)
{
    return v == VOK_MISSING_F || (v >= lo && v <= hi);
}

std::vector<std::string> groups_of(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t p = 0;
    while ((p = text.find_first_not_of(' ', p)) != std::string::npos) {
        const std::size_t q = text.find(' ', p);
        out.push_back(text.substr(p, q - p));
        p = q;
    }
    return out;
}

bool digits(const std::string& g, std::size_t from, std::size_t n)
{
    for (std::size_t i = from; i < from + n; ++i)
        if (g[i] < '0' || g[i] > '9') return false;
    return true;
}

// The level section of a part B or D counted from its groups as the code
// form sets them: pairs of nnPPP TTTDD while nn is a level number (00, 11
// ... 99). Pressures reported more than once count once; nn/// groups
// (with their ///// group) carry no pressure and are not counted. Returns
// the number of distinct pressures.
int count_level_section(const std::string& text, int kind)
{
    const auto g = groups_of(text);
    std::size_t i = 0;
    if (!g.empty() && g[0] == type_str[kind]) ++i;
    const bool ship = kind == UPA_UUBB || kind == UPA_UUDD;
    const bool mobile = kind == UPA_IIBB || kind == UPA_IIDD;
    i += ship ? 5 : mobile ? 6 : 2;  // call sign, YYGGI, position; YYGGI IIiii
    std::set<std::string> seen;
    while (i < g.size()) {
        const std::string& x = g[i];
        if (x.size() != 5 || !digits(x, 0, 2) || std::stoi(x.substr(0, 2)) % 11 != 0) break;
        if (x.compare(2, 3, "///") == 0) {
            if (++i < g.size() && g[i][0] == '/') ++i;
            continue;
        }
        if (!digits(x, 2, 3)) break;
        seen.insert(x.substr(2));
        i += 2;
    }
    return static_cast<int>(seen.size());
}

const CorpusReport* find(const std::vector<CorpusReport>& reps, const std::string& file, int kind)
{
    for (const auto& r : reps)
        if (r.file == file && r.kind == kind) return &r;
    return nullptr;
}

}  // namespace

TEST_F(Corpus, EveryFileCutsIntoWellFormedReports)
{
    const auto reps = read_corpus(files);
    int per_kind[UPA_NUM_KINDS] = {};
    for (const auto& r : reps) {
        SCOPED_TRACE(r.file + ": " + r.data.substr(0, 40));
        ASSERT_GE(r.kind, UPA_TTAA);
        ASSERT_LE(r.kind, UPA_EEDD);
        ++per_kind[r.kind];
        EXPECT_FALSE(r.id.empty());
        EXPECT_LE(r.id.size(), 10u);
        ASSERT_FALSE(r.data.empty());
        EXPECT_LE(r.data.size(), static_cast<std::size_t>(UPA_RAW_MAX));
        EXPECT_EQ(r.data.back(), ' ');
        for (unsigned char c : r.data) ASSERT_TRUE(c >= ' ' && c < 0x80) << int(c);
    }
    // The global feed alone holds hundreds of TEMP parts of each kind (NIL
    // parts start no report), a ship TEMP and PILOT parts.
    EXPECT_GT(per_kind[UPA_TTAA], 400);
    EXPECT_GT(per_kind[UPA_TTBB], 400);
    EXPECT_GT(per_kind[UPA_TTCC], 300);
    EXPECT_GT(per_kind[UPA_TTDD], 300);
    EXPECT_GT(per_kind[UPA_PPBB], 100);
    EXPECT_GT(per_kind[UPA_UUAA], 0);
    EXPECT_GT(per_kind[UPA_IIBB], 0);
}

TEST_F(Corpus, SingleLineSoundingsReachTheReportWhole)
{
    // Each part of these soundings is one physical line of 260 to 670
    // characters; the report is that line after its part word, "=" turned
    // into a blank, one blank added.
    for (const char* name : {"sounding_83746_2023022300.txt", "sounding_83779_2023022312.txt"}) {
        const fs::path path = bulletin_dir() / name;
        if (!fs::exists(path)) continue;
        UPA_read_raw_reset();
        const auto reps = read_parts(path);
        FILE* fp = std::fopen(path.c_str(), "r");
        ASSERT_NE(fp, nullptr);
        char buf[4096];
        int checked = 0;
        while (std::fgets(buf, sizeof buf, fp)) {
            std::string text(buf);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
                text.pop_back();
            if (text.size() < 200 || text.compare(0, 2, "TT") != 0) continue;
            int kind = -1;
            for (int k = UPA_TTAA; k <= UPA_TTDD; ++k)
                if (text.compare(0, 4, type_str[k]) == 0) kind = k;
            ASSERT_GE(kind, 0) << text.substr(0, 10);
            const CorpusReport* r = find(reps, name, kind);
            ASSERT_NE(r, nullptr) << name << " " << type_str[kind];
            std::string want = text.substr(5);
            if (want.back() == '=') want.back() = ' ';
            want += ' ';
            EXPECT_EQ(r->data, want) << name << " " << type_str[kind];
            EXPECT_EQ(r->id, std::string(name + 9, 5));
            ++checked;
        }
        std::fclose(fp);
        EXPECT_GE(checked, 2) << name;
    }
}

TEST_F(Corpus, EveryReportDecodesWithinBounds)
{
    set_feed_window();

    std::map<std::string, UPA_report> stations;
    long decoded = 0;
    for (const auto& r : read_corpus(files)) {
        const int rc = UPA_decode_part(r.data.c_str(), r.kind, &station_report(stations, r.id));
        if (rc < 0) ADD_FAILURE() << "kind " << r.kind;
        else decoded += rc;
    }
    DATE_reset();
    EXPECT_GT(decoded, 1000);

    int with_man = 0;
    for (auto& [id, rep] : stations) {
        SCOPED_TRACE("station " + id);
        ASSERT_TRUE(rep.numman == 0 || rep.numman == 20) << rep.numman;
        ASSERT_GE(rep.numsig, 0);
        ASSERT_LE(rep.numsig, UPA_MAX_SIG);
        ASSERT_GE(rep.numwnd, 0);
        ASSERT_LE(rep.numwnd, UPA_MAX_WND);
        EXPECT_LT(std::strlen(rep.id), sizeof rep.id);
        EXPECT_TRUE(rep.time == VOK_MISSING || (rep.time >= 0 && rep.time <= 2300 && rep.time % 100 == 0))
            << rep.time;
        if (rep.numman) ++with_man;
        for (const UPA_man& m : rep.man) {
            EXPECT_TRUE(missing_or_within(m.p, 0.1f, 1100.0f)) << m.p;
            EXPECT_TRUE(missing_or_within(m.h, -1000.0f, 60000.0f)) << m.h;
            EXPECT_TRUE(missing_or_within(m.t, -100.0f, 100.0f)) << m.t;
            EXPECT_TRUE(missing_or_within(m.td, -200.0f, 100.0f)) << m.td;
            EXPECT_TRUE(missing_or_within(m.dir, 0.0f, 365.0f)) << m.dir;
            EXPECT_TRUE(missing_or_within(m.spd, 0.0f, 500.0f)) << m.spd;
        }
        for (int i = 0; i < rep.numsig; ++i) {
            const UPA_sig& s = rep.sig[i];
            EXPECT_NE(s.p, VOK_MISSING_F);
            EXPECT_TRUE(missing_or_within(s.p, 0.1f, 1100.0f)) << s.p;
            EXPECT_TRUE(missing_or_within(s.t, -100.0f, 100.0f)) << s.t;
            EXPECT_TRUE(missing_or_within(s.td, -200.0f, 100.0f)) << s.td;
        }
        for (int i = 0; i < rep.numwnd; ++i) {
            const UPA_wnd& w = rep.wnd[i];
            EXPECT_TRUE(missing_or_within(w.h, 0.0f, 200000.0f)) << w.h;
            EXPECT_TRUE(missing_or_within(w.dir, 0.0f, 365.0f)) << w.dir;
            EXPECT_TRUE(missing_or_within(w.spd, 0.0f, 500.0f)) << w.spd;
        }
        UPA_sort_report(&rep);
        for (int i = 1; i < rep.numsig; ++i) EXPECT_GE(rep.sig[i - 1].p, rep.sig[i].p);
        for (int i = 1; i < rep.numwnd; ++i) EXPECT_LE(rep.wnd[i - 1].h, rep.wnd[i].h);
    }
    // About 490 stations report in the global feed alone.
    EXPECT_GT(with_man, 300);
}

// Every significant level of the real global feed: each part B and D, decoded
// alone, holds one row per distinct pressure of its level section (up to the
// 200 rows of a record), and no part was cut by the reader. Levels were lost
// past the 50th group, past 1,000 characters and in parts run together.
TEST_F(Corpus, EverySignificantLevelOfTheGlobalFeedIsDecoded)
{
    const fs::path path = bulletin_dir() / "feed_global_2026020600.txt";
    if (!fs::exists(path)) GTEST_SKIP() << "no global feed at " << path;
    set_feed_window();
    int parts = 0, over_fifty = 0;
    static UPA_report rep;
    for (const auto& r : read_parts(path)) {
        SCOPED_TRACE(std::string(type_str[r.kind]) + " " + r.id + ": " + r.data.substr(0, 60));
        EXPECT_LT(r.data.size(), static_cast<std::size_t>(UPA_RAW_MAX));
        if (r.kind != UPA_TTBB && r.kind != UPA_TTDD && r.kind != UPA_UUBB && r.kind != UPA_UUDD &&
            r.kind != UPA_IIBB && r.kind != UPA_IIDD)
            continue;
        const int pressures = count_level_section(r.data, r.kind);
        UPA_initialize(&rep);
        ASSERT_EQ(UPA_decode_part(r.data.c_str(), r.kind, &rep), 1);
        EXPECT_EQ(rep.numsig, std::min(pressures, UPA_MAX_SIG));
        ++parts;
        if (pressures > 50) ++over_fifty;
    }
    DATE_reset();
    // 944 parts B and 730 parts D, NIL parts aside; 317 parts B and 20
    // parts D hold more than fifty levels.
    EXPECT_GT(parts, 1500);
    EXPECT_GE(over_fifty, 330);
}

// ---------------------------------------------------------------- dumps
//
// Every value the reader and the decoders put into the station records of
// each bulletin file, one line per value, checked in under
// tests/golden/decoded/: "<station> <field> <value>", stations by
// identifier, reported values only. A change shows as the lines that moved.
// When decoded values change on purpose, rewrite the dumps and review their
// diff:
//
//   SONDEX_UPDATE_DUMPS=1 ./build/vok_tests --gtest_filter='Corpus.Dump*'

namespace {

std::string shortest(float v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

void dump_value(std::string& out, const std::string& id, const std::string& field, float v)
{
    if (v == VOK_MISSING_F) return;
    out += id + ' ' + field + ' ' + shortest(v) + '\n';
}

void dump_report(std::string& out, const std::string& key, const UPA_report& r)
{
    out += key + " id " + r.id + '\n';
    if (r.area[0]) out += key + " area " + r.area + '\n';
    if (r.wmo != VOK_MISSING) out += key + " wmo " + std::to_string(r.wmo) + '\n';
    if (r.time != VOK_MISSING) out += key + " time " + std::to_string(r.time) + '\n';
    dump_value(out, key, "lat", r.lat);
    dump_value(out, key, "lon", r.lon);
    dump_value(out, key, "elev", r.elev);
    static const char* const man_field[] = {"p", "h", "t", "td", "dir", "spd"};
    char row[16];
    for (int s = 0; s < UPA_NUM_MAN; ++s) {
        const UPA_man& m = r.man[s];
        const float v[] = {m.p, m.h, m.t, m.td, m.dir, m.spd};
        std::snprintf(row, sizeof row, "man%02d.", s);
        for (int f = 0; f < 6; ++f) dump_value(out, key, row + std::string(man_field[f]), v[f]);
    }
    for (int i = 0; i < r.numsig; ++i) {
        std::snprintf(row, sizeof row, "sig%03d.", i);
        dump_value(out, key, row + std::string("p"), r.sig[i].p);
        dump_value(out, key, row + std::string("t"), r.sig[i].t);
        dump_value(out, key, row + std::string("td"), r.sig[i].td);
    }
    for (int i = 0; i < r.numwnd; ++i) {
        std::snprintf(row, sizeof row, "wnd%03d.", i);
        dump_value(out, key, row + std::string("h"), r.wnd[i].h);
        dump_value(out, key, row + std::string("dir"), r.wnd[i].dir);
        dump_value(out, key, row + std::string("spd"), r.wnd[i].spd);
    }
}

// The dump of one file, read from a fresh reader into fresh records with a
// window that admits every report hour.
std::string dump_file(const fs::path& path)
{
    set_feed_window();
    UPA_read_raw_reset();
    std::map<std::string, UPA_report> stations;
    for (const auto& r : read_parts(path))
        UPA_decode_part(r.data.c_str(), r.kind, &station_report(stations, r.id));
    DATE_reset();
    std::string out;
    for (const auto& [id, rep] : stations) dump_report(out, id, rep);
    return out;
}

fs::path dump_dir()
{
    return fs::path(SONDEX_SOURCE_DIR) / "tests" / "golden" / "decoded";
}

// The first lines where two dumps differ, as a diff would show them.
std::string first_differences(const std::string& want, const std::string& got, int max = 12)
{
    std::istringstream a(want), b(got);
    std::set<std::string> in_a, in_b;
    for (std::string l; std::getline(a, l);) in_a.insert(l);
    for (std::string l; std::getline(b, l);) in_b.insert(l);
    std::string out;
    int n = 0;
    for (const auto& l : in_a)
        if (!in_b.count(l) && n++ < max) out += "- " + l + '\n';
    for (const auto& l : in_b)
        if (!in_a.count(l) && n++ < 2 * max) out += "+ " + l + '\n';
    return out;
}

}  // namespace

TEST_F(Corpus, DumpOfEveryDecodedValueStaysFixed)
{
    const char* update = std::getenv("SONDEX_UPDATE_DUMPS");
    const bool rewrite = update && *update && std::strcmp(update, "0") != 0;
    std::set<std::string> names;
    for (const auto& f : files) {
        const std::string name = f.stem().string() + ".txt";
        names.insert(name);
        const std::string now = dump_file(f);
        const fs::path golden = dump_dir() / name;
        if (rewrite) {
            fs::create_directories(dump_dir());
            std::ofstream(golden, std::ios::binary | std::ios::trunc) << now;
            continue;
        }
        ASSERT_TRUE(fs::exists(golden)) << "no " << golden << " (SONDEX_UPDATE_DUMPS=1 writes it)";
        const std::string want = testutil::read_file(golden);
        EXPECT_TRUE(want == now) << "decoded values of " << f.filename().string() << " changed:\n"
                                 << first_differences(want, now);
    }
    if (rewrite) return;
    for (const auto& e : fs::directory_iterator(dump_dir()))
        EXPECT_TRUE(names.count(e.path().filename().string())) << "dump of a file no longer present: " << e.path();
}
