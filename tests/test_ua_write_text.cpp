// Tests of the group encoders and the records of the text forms, byte for
// byte on hand-derived reports, and the groups of the real feeds' TEMP parts
// re-encoded as the bulletins give them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "test_ua_read_util.h"
#include "vokupa.h"

using namespace uatest;

namespace {

std::string encoded(int rc_want, int rc)
{
    EXPECT_EQ(rc, rc_want) << encd_str;
    return encd_str;
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
