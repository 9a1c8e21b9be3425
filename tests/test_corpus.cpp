// The real bulletins of the shared data folder, every file, through the
// bulletin reader and the decoders into one record per station, as a run
// would: the reader's state carries from file to file. Nothing may crash or
// trip a sanitizer, and what lands in the records must stay within the
// bounds of the record and of the code forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
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

// ---------------------------------------------------------------- digests
//
// One digest per bulletin file of every value the reader and the decoders
// produce from it: the kind, identifier and result of every part, then every
// field of every station record (all mandatory rows, the significant and wind
// levels in the order decoded). The checked-in digests in
// tests/golden/decoded_digests.txt must not move when the reading or the
// scanning is only made faster. When decoded values change on purpose,
// rewrite the file and review its diff:
//
//   SONDEX_UPDATE_DIGESTS=1 ./build/vok_tests --gtest_filter='Corpus.Digest*'

namespace {

// 64-bit FNV-1a over the values in a fixed order; floats by their bits, so
// that -0.0 or a changed rounding shows.
class Digest {
public:
    void bytes(const void* p, std::size_t n)
    {
        const auto* b = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < n; ++i) {
            h_ ^= b[i];
            h_ *= 0x100000001b3ull;
        }
    }
    void i32(std::int32_t v) { bytes(&v, sizeof v); }
    void f32(float v) { i32(std::bit_cast<std::int32_t>(v)); }
    // A text field up to its terminator (or its size), then the length, so
    // that neighbouring fields cannot trade characters.
    void text(const char* s, std::size_t cap)
    {
        const std::size_t n = strnlen(s, cap);
        bytes(s, n);
        i32(static_cast<std::int32_t>(n));
    }
    std::uint64_t value() const { return h_; }

private:
    std::uint64_t h_ = 0xcbf29ce484222325ull;
};

void digest_report(Digest& d, const UPA_report& r)
{
    d.text(r.id, sizeof r.id);
    d.text(r.area, sizeof r.area);
    d.i32(r.wmo);
    d.f32(r.lat);
    d.f32(r.lon);
    d.f32(r.elev);
    d.i32(r.time);
    d.i32(r.type);
    d.i32(r.numman);
    for (const UPA_man& m : r.man)
        for (float v : {m.p, m.h, m.t, m.td, m.dir, m.spd}) d.f32(v);
    d.i32(r.numsig);
    for (int i = 0; i < r.numsig; ++i)
        for (float v : {r.sig[i].p, r.sig[i].t, r.sig[i].td}) d.f32(v);
    d.i32(r.numwnd);
    for (int i = 0; i < r.numwnd; ++i)
        for (float v : {r.wnd[i].h, r.wnd[i].dir, r.wnd[i].spd}) d.f32(v);
}

// "<file> <digest> parts=<n> stations=<n> decoded=<n>" for one file, read
// from a fresh reader into fresh records with a window that admits every
// report hour.
std::string digest_line(const fs::path& path)
{
    set_feed_window();
    UPA_read_raw_reset();
    Digest d;
    std::map<std::string, UPA_report> stations;
    long parts = 0, decoded = 0;
    for (const auto& r : read_parts(path)) {
        const int rc = UPA_decode_part(r.data.c_str(), r.kind, &station_report(stations, r.id));
        d.i32(r.kind);
        d.text(r.id.c_str(), r.id.size());
        d.i32(rc);
        ++parts;
        if (rc > 0) decoded += rc;
    }
    for (const auto& [id, rep] : stations) digest_report(d, rep);
    DATE_reset();

    char line[512];
    std::snprintf(line, sizeof line, "%s %016llx parts=%ld stations=%zu decoded=%ld",
                  path.filename().c_str(), static_cast<unsigned long long>(d.value()), parts,
                  stations.size(), decoded);
    return line;
}

fs::path digest_file()
{
    return fs::path(SONDEX_SOURCE_DIR) / "tests" / "golden" / "decoded_digests.txt";
}

}  // namespace

TEST_F(Corpus, DigestOfEveryDecodedValueStaysFixed)
{
    std::vector<std::string> now;
    for (const auto& f : files) now.push_back(digest_line(f));

    const char* update = std::getenv("SONDEX_UPDATE_DIGESTS");
    if (update && *update && std::strcmp(update, "0") != 0) {
        std::ofstream out(digest_file(), std::ios::trunc);
        out << "# Digest of every decoded value per bulletin file; see the end of\n"
               "# tests/test_corpus.cpp. Rewrite with SONDEX_UPDATE_DIGESTS=1.\n";
        for (const auto& l : now) out << l << '\n';
        out.close();
        ASSERT_TRUE(out) << "cannot write " << digest_file();
        std::fprintf(stderr, "rewrote %zu digests in %s\n", now.size(), digest_file().c_str());
        return;
    }

    std::ifstream in(digest_file());
    ASSERT_TRUE(in) << "no " << digest_file() << "; create it with SONDEX_UPDATE_DIGESTS=1";
    std::map<std::string, std::string> want;
    for (std::string l; std::getline(in, l);)
        if (!l.empty() && l[0] != '#') want[l.substr(0, l.find(' '))] = l;
    for (const auto& l : now) {
        const std::string name = l.substr(0, l.find(' '));
        const auto it = want.find(name);
        if (it == want.end()) {
            ADD_FAILURE() << "no digest checked in for " << name << "; now " << l;
            continue;
        }
        EXPECT_EQ(l, it->second) << "decoded values of " << name
                                 << " changed (SONDEX_UPDATE_DIGESTS=1 rewrites the digests)";
        want.erase(it);
    }
    for (const auto& [name, l] : want) ADD_FAILURE() << "digest of a file no longer present: " << l;
}
