#include <gtest/gtest.h>

// ================================================================ bulletin reader tests
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vok.h"
#include "vokupa.h"

namespace {

struct RawRep {
    int kind;
    std::string id;
    std::string data;
};

// An in-memory raw file; an empty text still gives a readable, empty stream.
struct RawFile {
    std::string text;
    FILE* fp = nullptr;
    explicit RawFile(std::string t) : text(std::move(t))
    {
        fp = text.empty() ? std::tmpfile() : fmemopen(text.data(), text.size(), "r");
    }
    ~RawFile()
    {
        if (fp) std::fclose(fp);
    }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
};

// Every report of one file, calling until the reader says the file is done.
// zeros counts the calls that found no report.
std::vector<RawRep> read_reports(FILE* fp, int* zeros = nullptr)
{
    std::vector<RawRep> out;
    char data[UPA_RAW_DATA_LEN];
    char id[UPA_RAW_ID_LEN];
    int kind = UPA_NO_KIND;
    int r;
    int calls = 0;
    if (zeros) *zeros = 0;
    while ((r = UPA_read_raw(fp, data, id, &kind)) >= 0) {
        if (r == 1) out.push_back({kind, id, data});
        if (r == 0 && zeros) ++*zeros;
        if (++calls > 100000) break;
    }
    return out;
}

std::vector<RawRep> read_text(const std::string& text, int* zeros = nullptr)
{
    RawFile f(text);
    return read_reports(f.fp, zeros);
}

class RawReader : public ::testing::Test {
protected:
    void SetUp() override { UPA_read_raw_reset(); }
    void TearDown() override { UPA_read_raw_reset(); }
};

}  // namespace

TEST_F(RawReader, KindNamesCoverEveryPart)
{
    const char* names[] = {"TTAA", "TTBB", "TTCC", "TTDD", "PPAA", "PPBB", "PPDD", "UUAA", "UUBB",
                           "UUCC", "UUDD", "IIAA", "IIBB", "IICC", "IIDD", "EEBB", "EEDD", "UNK"};
    ASSERT_EQ(UPA_NUM_KINDS, 18);
    for (int k = 0; k < UPA_NUM_KINDS; ++k) EXPECT_STREQ(type_str[k], names[k]) << k;
    EXPECT_STREQ(type_str[UPA_UNK], "UNK");
    EXPECT_STREQ(type_str[UPA_EEDD], "EEDD");
}

TEST_F(RawReader, TwoLinesMakeOneTtaaReport)
{
    const auto reps = read_text(
        "TTAA 57121 72469 99838 13456 22005 00144 ////\n"
        "92812 10656 24010 85509 07256 25515=\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].kind, UPA_TTAA);
    EXPECT_EQ(reps[0].id, "72469");
    EXPECT_EQ(reps[0].data,
              "57121 72469 99838 13456 22005 00144 //// 92812 10656 24010 85509 07256 25515  ");
}

TEST_F(RawReader, EveryIdentifierWordGivesItsKind)
{
    // Land parts by station number (rule 5), ship and mobile parts by the
    // call sign that follows the word.
    for (int k = UPA_TTAA; k <= UPA_EEDD; ++k) {
        UPA_read_raw_reset();
        const bool mobile = k >= UPA_UUAA;
        const std::string text = std::string(type_str[k]) +
                                 (mobile ? " CALL1 58168 99450 71107=\n" : " 5612/ 72469 99838=\n");
        const auto reps = read_text(text);
        ASSERT_EQ(reps.size(), 1u) << type_str[k];
        EXPECT_EQ(reps[0].kind, k);
        EXPECT_EQ(reps[0].id, mobile ? "CALL1" : "72469");
    }
    // "UNK" and unknown words start nothing.
    EXPECT_TRUE(read_text("UNK 5612/ 72469 99838=\nXXAA 5612/ 72469 99838=\n").empty());
}

TEST_F(RawReader, IdentifierWordInFirstOrSecondPlace)
{
    auto reps = read_text("72493 TTAA  56001 72493 99012 25656=\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].kind, UPA_TTAA);
    EXPECT_EQ(reps[0].data, "56001 72493 99012 25656  ");

    // Station numbers and PILOT words are found the same way.
    reps = read_text("KWBC PPBB 56000 72493 90012 27015=\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].kind, UPA_PPBB);
    EXPECT_EQ(reps[0].id, "72493");

    // Ship and mobile words only count first: here nothing starts.
    EXPECT_TRUE(read_text("SHIP UUAA 9ZT9MRK 06001 99602 70467=\n").empty());
    EXPECT_TRUE(read_text("XXXX IIBB USBYZ01 58168 99450 71107=\n").empty());
}

TEST_F(RawReader, ShipReportTakesTheCallSign)
{
    // Both start rules fit this line: the call sign wins, the report is not
    // started twice.
    const auto reps = read_text(
        "UUAA 9ZT9M 06001 99602 70467\n"
        " 22106 00102 23456=\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].kind, UPA_UUAA);
    EXPECT_EQ(reps[0].id, "9ZT9M");
    EXPECT_EQ(reps[0].data, "9ZT9M 06001 99602 70467  22106 00102 23456  ");

    // A call sign longer than 10 characters is cut to the identifier field.
    const auto longer = read_text("IIBB ABCDEFGHIJKLMN 58168 99450=\n");
    ASSERT_EQ(longer.size(), 1u);
    EXPECT_EQ(longer[0].id, "ABCDEFGHIJ");
}

TEST_F(RawReader, StartRuleFiveNeedsTheGroupShapes)
{
    // Indicator missing in the date group, a minus sign in the number: both
    // accepted.
    EXPECT_EQ(read_text("TTAA 5600/ 72786 51515 10159=\n").size(), 1u);
    EXPECT_EQ(read_text("TTAA 56001 -7278 51515=\n").size(), 1u);
    // A letter among the first four figures, a six-figure or alphabetic
    // station: no report.
    EXPECT_TRUE(read_text("TTAA 560/1 72786 51515=\n").empty());
    EXPECT_TRUE(read_text("TTAA 56001 727860 51515=\n").empty());
    EXPECT_TRUE(read_text("TTAA 56001 7278A 51515=\n").empty());
    EXPECT_TRUE(read_text("TTAA 72520 NIL=\n").empty());
}

TEST_F(RawReader, LoneGroupEndsTheReportWholeLineTaken)
{
    int zeros = 0;
    const auto reps = read_text(
        "TTAA 57121 72469 99838 13456\n"
        "     /////=\n"
        "92812 10656 24010=\n",
        &zeros);
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].data, "57121 72469 99838 13456      /////  ");
    // The line after it belongs to no part and only ends the file.
    EXPECT_EQ(zeros, 1);

    const auto nil = read_text("TTBB 57121 72469\nNIL=\n");
    ASSERT_EQ(nil.size(), 1u);
    EXPECT_EQ(nil[0].data, "57121 72469 NIL  ");
}

TEST_F(RawReader, SemicolonEndsTheReportUnless333Follows)
{
    auto reps = read_text(
        "TTAA 57121 72469 99838 13456;\n"
        "  33312 45678\n"
        " 92812 10656=\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].data, "57121 72469 99838 13456;   33312 45678  92812 10656  ");

    reps = read_text(
        "TTAA 57121 72469 99838 13456;\n"
        " 33312 45678\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].data, "57121 72469 99838 13456  ");
}

TEST_F(RawReader, NewPartWordEndsAnUnterminatedReport)
{
    const auto reps = read_text(
        "TTAA 57121 72469 99838 13456\n"
        " 00144 24010\n"
        "TTBB 5712/ 72469 00838 13456=\n");
    ASSERT_EQ(reps.size(), 2u);
    EXPECT_EQ(reps[0].kind, UPA_TTAA);
    EXPECT_EQ(reps[0].data, "57121 72469 99838 13456  00144 24010 ");
    EXPECT_EQ(reps[1].kind, UPA_TTBB);
    EXPECT_EQ(reps[1].data, "5712/ 72469 00838 13456  ");
}

TEST_F(RawReader, SecondReportWithoutItsOwnWordIsSkipped)
{
    const auto reps = read_text(
        "TTAA 57121 72469 99838=\n"
        "57121 72470 99840=\n"
        "TTAA 57121 72471 99841=\n");
    ASSERT_EQ(reps.size(), 2u);
    EXPECT_EQ(reps[0].id, "72469");
    EXPECT_EQ(reps[1].id, "72471");
}

TEST_F(RawReader, HeaderLinesClearAPendingWordOnly)
{
    // A header after the word: the lines that follow belong to nothing.
    EXPECT_TRUE(read_text("TTAA\n** 12 34 56\n57121 72469 99838=\n").empty());
    // A header inside a report neither ends nor enters it; an empty line
    // does not end it either.
    const auto reps = read_text(
        "TTAA 57121 72469 99838\n"
        "** 12 34 56\n"
        "\n"
        " 92812 10656=\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].data, "57121 72469 99838  92812 10656  ");
    // A word alone on its line waits for the report that follows.
    const auto late = read_text("PPBB\n56000 72493 90012=\n");
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].kind, UPA_PPBB);
}

TEST_F(RawReader, FeedFramingAndLineEndsAreCleaned)
{
    const auto reps = read_text(
        "\x01\r\r\n710 \r\r\nUSUS41 KWBC 060000\r\r\n"
        "TTAA 57121 72469\t99838\r\r\n"
        " 13456 22005=\r\r\n\x03");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].data, "57121 72469 99838  13456 22005  ");
}

TEST_F(RawReader, EmptyFileGivesNoReport)
{
    RawFile f("");
    char data[UPA_RAW_DATA_LEN] = "keep";
    char id[UPA_RAW_ID_LEN] = "old";
    int kind = 5;
    EXPECT_EQ(UPA_read_raw(f.fp, data, id, &kind), 0);
    EXPECT_STREQ(data, "keep");
    EXPECT_STREQ(id, "old");
    EXPECT_EQ(kind, 5);
    EXPECT_EQ(UPA_read_raw(f.fp, data, id, &kind), -1);
}

TEST_F(RawReader, LastLineWithoutNewlineIsNotLost)
{
    // The TTBB line ends the TTAA report and is the file's last line; it is
    // still read as a report before the file counts as done.
    const auto reps = read_text(
        "TTAA 57121 72469 99838\n"
        "TTBB 5712/ 72469 00838 13456=");
    ASSERT_EQ(reps.size(), 2u);
    EXPECT_EQ(reps[1].kind, UPA_TTBB);
    EXPECT_EQ(reps[1].data, "5712/ 72469 00838 13456  ");
}

TEST_F(RawReader, StateCarriesIntoTheNextFile)
{
    // A pending part word at the end of one file opens the report at the
    // start of the next.
    {
        RawFile a("junk line\nTTCC\n");
        EXPECT_TRUE(read_reports(a.fp).empty());
    }
    auto reps = read_text("70121 72469 70850 12345=\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].kind, UPA_TTCC);

    // A caller that stops at the end of the first file finds the line that
    // ended its last report at the start of the next one.
    UPA_read_raw_reset();
    RawFile a("TTAA 57121 72469 99838\nTTBB 5712/ 72469 00838=");
    char data[UPA_RAW_DATA_LEN];
    char id[UPA_RAW_ID_LEN];
    int kind = UPA_NO_KIND;
    ASSERT_EQ(UPA_read_raw(a.fp, data, id, &kind), 1);
    EXPECT_EQ(kind, UPA_TTAA);
    ASSERT_TRUE(std::feof(a.fp));
    RawFile b("TTDD 7012/ 72469 11975 12345=\n");
    kind = UPA_NO_KIND;
    ASSERT_EQ(UPA_read_raw(b.fp, data, id, &kind), 1);
    EXPECT_EQ(kind, UPA_TTBB);
    EXPECT_STREQ(data, "5712/ 72469 00838  ");
    ASSERT_EQ(UPA_read_raw(b.fp, data, id, &kind), 1);
    EXPECT_EQ(kind, UPA_TTDD);
}

TEST_F(RawReader, LongReportIsCutAtWholeGroups)
{
    // 300 groups on 30 lines: far beyond the capacity.
    std::string text = "TTBB 57128 72469";
    for (int l = 0; l < 30; ++l) {
        text += "\n";
        for (int g = 0; g < 10; ++g) {
            char grp[8];
            std::snprintf(grp, sizeof grp, "%05d", (l * 10 + g) * 7 % 100000);
            text += " ";
            text += grp;
        }
    }
    text += "=\n";
    const auto reps = read_text(text + "TTAA 57121 72469 99838=\n");
    ASSERT_EQ(reps.size(), 2u);
    const std::string& d = reps[0].data;
    EXPECT_LE(d.size(), static_cast<std::size_t>(UPA_RAW_MAX));
    EXPECT_GT(d.size(), 900u);
    ASSERT_EQ(d.back(), ' ');
    // Every group kept is whole, and the kept text is the start of the report.
    std::size_t p = 0;
    while (p < d.size()) {
        while (p < d.size() && d[p] == ' ') ++p;
        std::size_t q = p;
        while (q < d.size() && d[q] != ' ') ++q;
        if (q > p) {
            EXPECT_EQ(q - p, 5u) << d.substr(p, q - p);
        }
        p = q;
    }
    EXPECT_EQ(d.compare(0, 24, "57128 72469  00000 00007"), 0) << d.substr(0, 30);
    // The report after the long one is untouched.
    EXPECT_EQ(reps[1].data, "57121 72469 99838  ");
}

TEST_F(RawReader, LongLineIsNotSplitInsideAGroup)
{
    // One physical line of 120 groups (720 characters), as feeds send whole
    // soundings: the report holds it exactly, no blank inserted anywhere.
    std::string groups = "57128 83746";
    for (int g = 0; g < 118; ++g) {
        char grp[8];
        std::snprintf(grp, sizeof grp, " %05d", 11111 * (g % 9 + 1) % 100000);
        groups += grp;
    }
    auto reps = read_text("TTBB " + groups + "=\nTTAA 57121 83746 99838=\n");
    ASSERT_EQ(reps.size(), 2u);
    EXPECT_EQ(reps[0].data, groups + "  ");
    EXPECT_EQ(reps[1].kind, UPA_TTAA);

    // A line longer than anything a report can hold: the report keeps whole
    // groups up to its capacity, and the far end of the line is not read as
    // a line of its own (it would start a report here).
    std::string huge = "TTBB 57128 83779";
    while (huge.size() < 2600) huge += " 11111";
    huge += " TTAA 57121 83779 99838 12345";
    while (huge.size() < 3100) huge += " 22222";
    reps = read_text(huge + "=\nPPBB 57120 83779 90012=\n");
    ASSERT_EQ(reps.size(), 2u);
    EXPECT_EQ(reps[0].kind, UPA_TTBB);
    // 11 characters and 164 groups of 6 fill 995; the 165th group would be
    // cut at the capacity and goes.
    std::string kept = "57128 83779";
    for (int g = 0; g < 164; ++g) kept += " 11111";
    EXPECT_EQ(reps[0].data, kept + "  ");
    EXPECT_EQ(reps[1].kind, UPA_PPBB);
    EXPECT_EQ(reps[1].data, "57120 83779 90012  ");
}

TEST_F(RawReader, DebugMessagesTraceTheCutting)
{
    MESS_set(1, 0x80000000u | 0x4000000u);
    testing::internal::CaptureStdout();
    const auto reps = read_text("TTAA 57121 72469 99838=\n");
    const std::string out = testing::internal::GetCapturedStdout();
    MESS_reset();
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_NE(out.find("LINE:TTAA 57121 72469 99838=\n"), std::string::npos) << out;
    EXPECT_NE(out.find("STR-5: 0 0 0 57121 72469\n"), std::string::npos) << out;
    EXPECT_NE(out.find("STR-=: 0 1 1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("DATA: TTAA 57121 72469 99838  \n\n"), std::string::npos) << out;
}

// ================================================================ end of bulletin reader tests
