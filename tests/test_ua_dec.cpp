#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "test_util.h"
#include "vok.h"
#include "vokupa.h"

// ================================================================ bulletin reader tests

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

// One call of the reader, with buffers of the sizes callers pass.
struct RawPart {
    char data[UPA_RAW_DATA_LEN] = "";
    char id[UPA_RAW_ID_LEN] = "";
    int kind = UPA_NO_KIND;
    int read(FILE* fp) { return UPA_read_raw(fp, data, id, &kind); }
};

// Every report of one file, calling until the reader says the file is done.
// zeros counts the calls that found no report.
std::vector<RawRep> read_reports(FILE* fp, int* zeros = nullptr)
{
    std::vector<RawRep> out;
    const long calls = testutil::for_each_raw_part(
        fp, [&](const char* text, const char* id, int kind) { out.push_back({kind, id, text}); },
        100000);
    if (calls < 0) ADD_FAILURE() << "the reader stopped taking lines";
    if (zeros) *zeros = calls < 0 ? 0 : static_cast<int>(calls - static_cast<long>(out.size()));
    return out;
}

std::vector<RawRep> read_text(const std::string& text, int* zeros = nullptr)
{
    RawFile f(text);
    return read_reports(f.fp, zeros);
}

// Every report of a text read through a stream with the given buffer (0:
// the stream's own; 1: unbuffered).
std::vector<RawRep> read_buffered(std::string text, std::size_t size)
{
    UPA_read_raw_reset();
    FILE* fp = fmemopen(text.data(), text.size(), "r");
    if (!fp) return {};
    std::vector<char> buffer(size > 1 ? size : 1);
    if (size == 1) std::setvbuf(fp, nullptr, _IONBF, 0);
    else if (size > 1) std::setvbuf(fp, buffer.data(), _IOFBF, size);
    auto reps = read_reports(fp);
    std::fclose(fp);
    return reps;
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
    // The characters next to the figures ("/" and ":") at every place of
    // the four figures of either group, and a minus sign after the first
    // place of the station number.
    for (int i = 0; i < 4; ++i) {
        for (const char c : {'/', ':'}) {
            std::string date = "56001";
            std::string station = "72786";
            date[static_cast<std::size_t>(i)] = c;
            station[static_cast<std::size_t>(i + 1)] = c;
            SCOPED_TRACE(date + " " + station);
            EXPECT_TRUE(read_text("TTAA " + date + " 72786 51515=\n").empty());
            EXPECT_TRUE(read_text("TTAA 56001 " + station + " 51515=\n").empty());
        }
    }
    EXPECT_TRUE(read_text("TTAA 56001 7-786 51515=\n").empty());
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

TEST_F(RawReader, LinesAreCutAlikeWhateverTheStreamBuffer)
{
    // Lines are found in the stream's buffer; where its refills fall must not
    // show: carriage returns, NULs, 8-bit bytes, a line far longer than the
    // reader keeps, a last line without its newline.
    using namespace std::string_literals;
    std::string text =
        "TTAA 57121 72469 99838 13456\r\r\n"
        "22005 00144 \x01\x02////\t92812\xe9 10656=\r\r\n"
        "TTBB 5712/ 72469 00838 13456 11975 12345\0 ignored after the NUL\n"
        "22850 07256=\n"
        // First words told from the line's first bytes as it is read, or
        // not: blanks, tabs, 8-bit bytes and NULs among them, long words.
        "TTAA\t5712/ 72469 99838 13456 22005=\n"
        " 72469  TTAA  5712/ 72469 99838=\n"
        "TTBB 5712/\xb0" "72469 00838 13456=\n"
        "TTBB 5712/ 72469\0 00838 ignored\n"
        "TTBB 571 724\0 0083=\n"
        "UUAA  SHIP12345678 5712/ 99123=\n"
        "PPBB 5712/ 72469 90012 27015 28020 29025 "s;
    text += std::string(9000, '1') + " 33333=\n";
    text += "TTDD 7012/ 72469 11975 12345=";
    const std::string path =
        std::string(SONDEX_SHARED_DATA) + "/bulletins/feed_kwbc_2022071300.txt";
    if (FILE* feed = std::fopen(path.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        text += "\n";
        while ((n = std::fread(buf, 1, sizeof buf, feed)) > 0) text.append(buf, n);
        std::fclose(feed);
    }
    const auto whole = read_buffered(text, 0);
    ASSERT_GE(whole.size(), 4u);
    EXPECT_EQ(whole[1].data, "5712/ 72469 00838 13456 11975 12345 22850 07256  ");
    for (std::size_t size : {std::size_t{1}, std::size_t{3}, std::size_t{8}, std::size_t{13},
                             std::size_t{4096}}) {
        SCOPED_TRACE(size);
        const auto reps = read_buffered(text, size);
        ASSERT_EQ(reps.size(), whole.size());
        for (std::size_t i = 0; i < reps.size(); ++i) {
            EXPECT_EQ(reps[i].kind, whole[i].kind) << i;
            EXPECT_EQ(reps[i].id, whole[i].id) << i;
            EXPECT_EQ(reps[i].data, whole[i].data) << i;
        }
    }
}

TEST_F(RawReader, TheStreamStandsAfterTheLinesTaken)
{
    // The reader reads no further than the line that ended its report: the
    // stream's next line is the one after it, as for any line reader.
    RawFile f("TTAA 57121 72469 99838=\nTTBB 5712/ 72469 00838=\nfor the caller\n");
    RawPart part;
    ASSERT_EQ(part.read(f.fp), 1);
    EXPECT_EQ(part.kind, UPA_TTAA);
    char next[64];
    ASSERT_NE(std::fgets(next, sizeof next, f.fp), nullptr);
    EXPECT_STREQ(next, "for the caller\n");
    EXPECT_FALSE(std::feof(f.fp));
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
    RawPart part;
    ASSERT_EQ(part.read(a.fp), 1);
    EXPECT_EQ(part.kind, UPA_TTAA);
    ASSERT_TRUE(std::feof(a.fp));
    RawFile b("TTDD 7012/ 72469 11975 12345=\n");
    part.kind = UPA_NO_KIND;
    ASSERT_EQ(part.read(b.fp), 1);
    EXPECT_EQ(part.kind, UPA_TTBB);
    EXPECT_STREQ(part.data, "5712/ 72469 00838  ");
    ASSERT_EQ(part.read(b.fp), 1);
    EXPECT_EQ(part.kind, UPA_TTDD);
}

TEST_F(RawReader, LongReportIsCutAtWholeGroups)
{
    // 1,000 groups on 100 lines: far beyond the capacity.
    std::string text = "TTBB 57128 72469";
    for (int l = 0; l < 100; ++l) {
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
    EXPECT_GT(d.size(), static_cast<std::size_t>(UPA_RAW_MAX - 10));
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
    // One physical line of 400 groups (2,400 characters), as feeds send
    // whole soundings: the report holds it exactly, no blank inserted
    // anywhere.
    std::string groups = "57128 83746";
    for (int g = 0; g < 398; ++g) {
        char grp[8];
        std::snprintf(grp, sizeof grp, " %05d", 11111 * (g % 9 + 1) % 100000);
        groups += grp;
    }
    auto reps = read_text("TTBB " + groups + "=\nTTAA 57121 83746 99838=\n");
    ASSERT_EQ(reps.size(), 2u);
    EXPECT_EQ(reps[0].data, groups + "  ");
    EXPECT_EQ(reps[1].kind, UPA_TTAA);

    // A line longer than anything a report can hold: the report keeps whole
    // groups up to its capacity, and the far end of the line, past what the
    // reader holds of a line, is not read as a line of its own (it would
    // start a report here).
    std::string huge = "TTBB 57128 83779";
    while (huge.size() < 3 * static_cast<std::size_t>(UPA_RAW_MAX)) huge += " 11111";
    huge += " TTAA 57121 83779 99838 12345";
    while (huge.size() < 3 * static_cast<std::size_t>(UPA_RAW_MAX) + 500) huge += " 22222";
    reps = read_text(huge + "=\nPPBB 57120 83779 90012=\n");
    ASSERT_EQ(reps.size(), 2u);
    EXPECT_EQ(reps[0].kind, UPA_TTBB);
    // 11 characters and the groups of 6 whose closing blank still fits; the
    // next group would be cut at the capacity and goes.
    std::string kept = "57128 83779";
    while (kept.size() + 6 < static_cast<std::size_t>(UPA_RAW_MAX)) kept += " 11111";
    EXPECT_EQ(reps[0].data, kept + "  ");
    EXPECT_EQ(reps[1].kind, UPA_PPBB);
    EXPECT_EQ(reps[1].data, "57120 83779 90012  ");
}

TEST_F(RawReader, OverLongLineKeepsItsTerminator)
{
    // Only the trace shows it: the "=" at the far end of a line longer than
    // the reader holds still ends the report, and the line after it is
    // examined afresh.
    std::string huge = "TTBB 57128 83779";
    while (huge.size() < 3 * static_cast<std::size_t>(UPA_RAW_MAX)) huge += " 11111";
    MESS_set(1, M_DEBUG & M_SUB_D);
    testing::internal::CaptureStdout();
    const auto reps = read_text(huge + "=\n 22222 33333\n");
    const std::string out = testing::internal::GetCapturedStdout();
    MESS_reset();
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_NE(out.find("STR-=: 1 1 1\n"), std::string::npos) << out.substr(0, 300);
    EXPECT_NE(out.find("LINE: 22222 33333\n"), std::string::npos);
    EXPECT_NE(out.find("NOT-D: 1 0 0\n"), std::string::npos);
}

// Parts run together without "=" (USUS45 KPSR, 74005, cut down): a part
// word inside a line, followed by the groups that open a part, ends the
// report there and starts the next, even with its station number on the
// next line. They were glued onto the report before them and lost.
TEST_F(RawReader, PartWordInsideALineStartsTheNextPart)
{
    const auto reps = read_text(
        "TTAA 56001 74005 99991 24878 08008 00148 ///// /////\n"
        "51515 10164 00005 10194 10008 13515 TTBB  56008 74005\n"
        "00991 25078 11921 18473=\n"
        "PPBB 56008 74005 90012 08008 08510 08010\n"
        "20025 20024 17019 955// 19517 TTCC  56007 74005 70854 66972 "
        "14510 50056 ///// 88999 77999 31313 44108 82335 TTDD  5600/\n"
        "74005 11954 66171 22857 66172 =\n"
        "USUS44 KJAN 221223 MANJAN 72235 TTAA 72121 72235 99000 24416 18006\n"
        "00089 ///// /////=\n");
    ASSERT_EQ(reps.size(), 6u);
    const int kinds[] = {UPA_TTAA, UPA_TTBB, UPA_PPBB, UPA_TTCC, UPA_TTDD, UPA_TTAA};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(reps[k].kind, kinds[k]) << k;
    EXPECT_EQ(reps[0].data,
              "56001 74005 99991 24878 08008 00148 ///// ///// 51515 10164 00005 10194 10008 "
              "13515 ");
    EXPECT_EQ(reps[1].data, "56008 74005 00991 25078 11921 18473  ");
    EXPECT_EQ(reps[2].data, "56008 74005 90012 08008 08510 08010 20025 20024 17019 955// 19517 ");
    EXPECT_EQ(reps[3].data,
              "56007 74005 70854 66972 14510 50056 ///// 88999 77999 31313 44108 82335 ");
    EXPECT_EQ(reps[4].id, "74005");
    EXPECT_EQ(reps[4].data, "5600/ 74005 11954 66171 22857 66172   ");
    // A heading line that carries the first line of the part.
    EXPECT_EQ(reps[5].id, "72235");
    EXPECT_EQ(reps[5].data, "72121 72235 99000 24416 18006 00089 ///// /////  ");

    // Not followed by a date group and a station number (call sign and date
    // group for a ship), a part word stays in the text it stands in.
    const auto one = read_text(
        "TTBB 56008 74005 00991 25078 TTDD NIL 11921\n"
        "18473 22222 TTDD 5600/\n"
        "///// 66171 UUAA 9ZT9MRK 06001 99602 70467 22106=\n");
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0].data,
              "56008 74005 00991 25078 TTDD NIL 11921 18473 22222 TTDD 5600/ ///// 66171 ");
    EXPECT_EQ(one[1].kind, UPA_UUAA);
    EXPECT_EQ(one[1].id, "9ZT9MRK");
    EXPECT_EQ(one[1].data, "9ZT9MRK 06001 99602 70467 22106  ");
}

// Modern parts B run to 200 levels and a wind section (2,300 characters in
// real feeds, 91212 among them); they were cut at 1,000. A full part B of
// 200 levels and 100 winds reaches the report whole.
TEST_F(RawReader, FullPartBIsNotCut)
{
    std::vector<std::string> groups = {"56008", "91212"};
    for (int k = 0; k < 200; ++k) {
        groups.push_back(std::to_string(11 * (k % 9 + 1)) + "500");
        groups.push_back("10456");
    }
    groups.push_back("21212");
    for (int k = 0; k < 100; ++k) {
        groups.push_back(std::to_string(11 * (k % 9 + 1)) + "500");
        groups.push_back("27010");
    }
    // Ten groups a line, as bulletins are set.
    std::string text = "TTBB";
    std::string all;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        text += (g % 10 == 0 ? "\n" : " ") + groups[g];
        all += (g ? " " : "") + groups[g];
    }
    ASSERT_GT(all.size(), 3600u);
    const auto reps = read_text(text + "=\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].data, all + "  ");
}

TEST_F(RawReader, DebugMessagesTraceTheCutting)
{
    MESS_set(1, (M_DEBUG & M_SUB_D) | (M_OUT4 & M_SUB_C));
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

// ================================================================ decoder tests

namespace dec_test {

// Decoding for 12 UTC with the window of a conversion run (-120/+120 min).
class UaDecoders : public ::testing::Test {
protected:
    UPA_report rep{};
    void SetUp() override
    {
        clean();
        DATE_set_range(-120, 120);
        set_decode_hour(12);
        UPA_initialize(&rep);
    }
    void TearDown() override { clean(); }
    static void clean()
    {
        DATE_reset();
        FILE_clear_time();
        RES_clear();
        MESS_reset();
    }
    static void set_decode_hour(int hour)
    {
        Date d;
        DATE_init(&d);
        d.year = 2024;
        d.month = 1;
        d.day = 7;
        d.hour = hour;
        d.min = 0;
        d.sec = 0;
        DATE_set_datim(&d);
    }
    int ttaa(const std::string& text, int kind = UPA_TTAA)
    {
        return UPA_decode_TTAA(text.c_str(), kind, &rep);
    }
    int ttbb(const std::string& text, int kind = UPA_TTBB)
    {
        return UPA_decode_TTBB(text.c_str(), kind, &rep);
    }
    int ppaa(const std::string& text) { return UPA_decode_PPAA(text.c_str(), UPA_PPAA, &rep); }
    int ppbb(const std::string& text, int kind = UPA_PPBB)
    {
        return UPA_decode_PPBB(text.c_str(), kind, &rep);
    }
    // Row of the wind level at height h (feet), -1 when there is none.
    int wnd_row(float h) const
    {
        for (int i = 0; i < rep.numwnd; ++i) {
            if (rep.wnd[i].h == h) return i;
        }
        return -1;
    }
    int sig_row(float p) const
    {
        for (int i = 0; i < rep.numsig; ++i) {
            if (rep.sig[i].p == p) return i;
        }
        return -1;
    }
};

constexpr float M = VOK_MISSING_F;

void expect_man(const UPA_report& r, int slot, float p, float h, float t, float td, float dir,
                float spd)
{
    SCOPED_TRACE("slot " + std::to_string(slot));
    const UPA_man& m = r.man[slot];
    EXPECT_FLOAT_EQ(m.p, p);
    EXPECT_FLOAT_EQ(m.h, h);
    EXPECT_NEAR(m.t, t, 1e-4);
    EXPECT_NEAR(m.td, td, 1e-4);
    EXPECT_FLOAT_EQ(m.dir, dir);
    EXPECT_NEAR(m.spd, spd, 1e-3);
}

void expect_sig(const UPA_report& r, int row, float p, float t, float td)
{
    SCOPED_TRACE("sig row " + std::to_string(row));
    ASSERT_GE(row, 0);
    EXPECT_FLOAT_EQ(r.sig[row].p, p);
    EXPECT_NEAR(r.sig[row].t, t, 1e-4);
    EXPECT_NEAR(r.sig[row].td, td, 1e-4);
}

void expect_wnd(const UPA_report& r, int row, float h, float dir, float spd)
{
    SCOPED_TRACE("wnd row " + std::to_string(row));
    ASSERT_GE(row, 0);
    EXPECT_FLOAT_EQ(r.wnd[row].h, h);
    EXPECT_FLOAT_EQ(r.wnd[row].dir, dir);
    EXPECT_NEAR(r.wnd[row].spd, spd, 1e-3);
}

// Text of the first part of the given kind and identifier in a bulletin
// file of the shared data; empty when the file or the part is not there.
std::string real_part(const char* file, int kind, const char* id)
{
    UPA_read_raw_reset();
    std::string found;
    testutil::for_each_raw_part(testutil::bulletin_dir() / file,
                                [&](const char* text, const char* rid, int type) {
                                    if (found.empty() && type == kind && std::strcmp(rid, id) == 0)
                                        found = text;
                                });
    UPA_read_raw_reset();
    return found;
}

// The values of a decoded report stay physical: standard levels at their
// own pressure, pressures, directions, speeds and temperatures in range.
void expect_physical(const UPA_report& rep)
{
    for (int s = 0; s < UPA_NUM_MAN; ++s) {
        const UPA_man& m = rep.man[s];
        if (s >= UPA_SLOT_A_FIRST && s <= UPA_SLOT_C_LAST && m.p != M) {
            EXPECT_FLOAT_EQ(m.p, man_pres[s]);
        }
        if (s == UPA_SLOT_SURFACE || s == UPA_SLOT_TROPO || s == UPA_SLOT_MAXWIND) {
            EXPECT_TRUE(m.p == M || (m.p > 0 && m.p < 1100)) << s << " " << m.p;
        }
        EXPECT_TRUE(m.dir == M || (m.dir >= 0 && m.dir <= 365)) << s;
        EXPECT_TRUE(m.spd == M || (m.spd >= 0 && m.spd <= 249 * 1.944f + 0.01f)) << s;
        EXPECT_TRUE(m.t == M || (m.t > -100 && m.t < 100)) << s;
    }
    EXPECT_FLOAT_EQ(rep.man[UPA_SLOT_OVERFLOW].p, M);
    for (int j = 0; j < rep.numsig; ++j) {
        EXPECT_TRUE(rep.sig[j].p > 0 && rep.sig[j].p < 1100) << rep.sig[j].p;
    }
    for (int j = 0; j < rep.numwnd; ++j) {
        EXPECT_TRUE(rep.wnd[j].h >= 0 && rep.wnd[j].h < 200000) << rep.wnd[j].h;
    }
}

bool have_shared_data()
{
    FILE* fp = std::fopen((std::string(SONDEX_SHARED_DATA) + "/bulletins/README.md").c_str(), "r");
    if (!fp) return false;
    std::fclose(fp);
    return true;
}

}  // namespace dec_test

using dec_test::M;
using dec_test::UaDecoders;
using dec_test::expect_man;
using dec_test::expect_sig;
using dec_test::expect_wnd;

// ---------------------------------------------------------------- TEMP parts A and C

TEST_F(UaDecoders, TtaaFullPartAllLevels)
{
    // 57121: day 7 (57 - 50, knots), 12 UTC, Id 1: winds at every level.
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 ///// ///// 92812 10656 24010 "
                   "85512 04308 25620 70062 13556 27535 50570 20164 28040 40728 30362 28545 "
                   "30928 44740 29050 25034 50157 29555 20178 55757 30060 15385 58960 29540 "
                   "10630 62562 28530 88210 58156 26057 77235 27590 41010 31313 58708 81103 "),
              1);
    EXPECT_STREQ(rep.id, "72469");
    EXPECT_EQ(rep.wmo, 72469);
    EXPECT_EQ(rep.time, 1200);
    EXPECT_EQ(rep.numman, 20);
    EXPECT_STREQ(rep.area, "");
    // 99838 13456 22005: 838 hPa; 134 even: +13.4; DD 56: depression 6 -> 7.4; 220 deg 5 kt.
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5);
    expect_man(rep, 1, 1000, 144, M, M, M, M);
    expect_man(rep, 2, 925, 812, 10.6f, 4.6f, 240, 10);
    // 04308: -4.3 (odd), depression 0.8 -> -5.1; 25620: 255 deg, 120 kt.
    expect_man(rep, 3, 850, 1512, -4.3f, -5.1f, 255, 120);
    expect_man(rep, 4, 700, 3062, -13.5f, -19.5f, 275, 35);
    expect_man(rep, 5, 500, 5700, -20.1f, -34.1f, 280, 40);  // 201 odd, DD 64 -> 14
    expect_man(rep, 6, 400, 7280, -30.3f, -42.3f, 285, 45);
    expect_man(rep, 7, 300, 9280, -44.7f, -48.7f, 290, 50);
    expect_man(rep, 8, 250, 10340, -50.1f, -57.1f, 295, 55);
    expect_man(rep, 9, 200, 11780, -55.7f, -62.7f, 300, 60);
    expect_man(rep, 10, 150, 13850, -58.9f, -68.9f, 295, 40);
    expect_man(rep, 11, 100, 16300, -62.5f, -74.5f, 285, 30);
    // 88210 58156 26057: tropopause 210 hPa, -58.1, depression 6 -> -64.1, 260/57.
    expect_man(rep, 22, 210, M, -58.1f, -64.1f, 260, 57);
    // 77235 27590 41010: maximum wind 235 hPa, 275/90, shear group passed over.
    expect_man(rep, 23, 235, M, M, M, 275, 90);
    for (int s = 12; s <= 21; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    EXPECT_FLOAT_EQ(rep.man[UPA_SLOT_OVERFLOW].p, M);
    // The surface also goes to the significant levels and to the wind at 0 ft.
    ASSERT_EQ(rep.numsig, 1);
    expect_sig(rep, 0, 838, 13.4f, 7.4f);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 220, 5);
}

TEST_F(UaDecoders, StandardHeightsWrapByLevel)
{
    // 1000 hPa below sea level: 00512 -> 500 - 512 = -12 m; 700 hPa low: 70980 -> 2980 m.
    ASSERT_EQ(ttaa("57121 72469 99999 ///// ///// 00512 ///// ///// 92300 ///// ///// "
                   "85990 ///// ///// 70980 ///// ///// 50520 ///// ///// 40680 ///// ///// "
                   "30850 ///// ///// 25980 ///// ///// "),
              1);
    EXPECT_FLOAT_EQ(rep.man[0].p, 999);
    EXPECT_FLOAT_EQ(rep.man[1].h, -12);
    EXPECT_FLOAT_EQ(rep.man[2].h, 300);
    EXPECT_FLOAT_EQ(rep.man[3].h, 1990);
    EXPECT_FLOAT_EQ(rep.man[4].h, 2980);
    EXPECT_FLOAT_EQ(rep.man[5].h, 5200);
    EXPECT_FLOAT_EQ(rep.man[6].h, 6800);
    EXPECT_FLOAT_EQ(rep.man[7].h, 8500);   // 850 > 500: no 10000 added
    EXPECT_FLOAT_EQ(rep.man[8].h, 9800);
    // A surface pressure of 1000 hPa and more is sent as its last three figures.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99014 ///// ///// "), 1);
    EXPECT_FLOAT_EQ(rep.man[0].p, 1014);
}

TEST_F(UaDecoders, TtccTenthsAndUpperHeights)
{
    // Part C: 70830 -> 18300 m, 50063 -> 20630 m, 30xxx +20000, 10073 -> 30730 m,
    // 7..1 hPa; tropopause 88123 = 12.3 hPa, maximum wind 77105 = 10.5 hPa.
    ASSERT_EQ(ttaa("57121 72469 70830 61168 27535 50063 59765 28040 30390 55966 29020 "
                   "20650 53567 30015 10073 50570 31010 07850 47570 32015 05055 45370 "
                   "33020 03500 42575 34025 02760 40576 35030 01200 38571 36035 "
                   "88123 49370 25510 77105 27590 ",
                   UPA_TTCC),
              1);
    expect_man(rep, 12, 70, 18300, -61.1f, -79.1f, 275, 35);
    expect_man(rep, 13, 50, 20630, -59.7f, -74.7f, 280, 40);
    expect_man(rep, 14, 30, 23900, -55.9f, -71.9f, 290, 20);
    expect_man(rep, 15, 20, 26500, -53.5f, -70.5f, 300, 15);
    expect_man(rep, 16, 10, 30730, -50.5f, -70.5f, 310, 10);
    expect_man(rep, 17, 7, 38500, -47.5f, -67.5f, 320, 15);
    expect_man(rep, 18, 5, 30550, -45.3f, -65.3f, 330, 20);
    expect_man(rep, 19, 3, 45000, -42.5f, -67.5f, 340, 25);  // 500 not above 500
    expect_man(rep, 20, 2, 37600, -40.5f, -66.5f, 350, 30);
    expect_man(rep, 21, 1, 52000, -38.5f, -59.5f, 360, 35);
    expect_man(rep, 22, 12.3f, M, -49.3f, -69.3f, 255, 10);
    expect_man(rep, 23, 10.5f, M, M, M, 275, 90);
    for (int s = 0; s <= 11; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    EXPECT_EQ(rep.numsig, 0);
    EXPECT_EQ(rep.numwnd, 0);
}

TEST_F(UaDecoders, LevelsLeftOutBelow850)
{
    // No 925 hPa group: the 85 group where 925 is expected is 850 hPa.
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 ///// ///// 85512 04308 25620 "
                   "70062 13556 27535 "),
              1);
    EXPECT_FLOAT_EQ(rep.man[2].p, M);
    expect_man(rep, 3, 850, 1512, -4.3f, -5.1f, 255, 120);
    expect_man(rep, 4, 700, 3062, -13.5f, -19.5f, 275, 35);
    // Neither 1000 nor 925 hPa: the surface is followed by 850 hPa at once.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 85512 04308 25620 70062 13556 27535 "), 1);
    EXPECT_FLOAT_EQ(rep.man[1].p, M);
    EXPECT_FLOAT_EQ(rep.man[2].p, M);
    expect_man(rep, 3, 850, 1512, -4.3f, -5.1f, 255, 120);
    expect_man(rep, 4, 700, 3062, -13.5f, -19.5f, 275, 35);
    // A high station (surface 810 hPa) leaving out every level under the
    // ground: 700 hPa follows the surface.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99810 13859 00000 70115 12064 32505 50582 08380 35007 "), 1);
    expect_man(rep, 0, 810, M, 13.8f, 4.8f, 0, 0);
    for (int s = 1; s <= 3; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    expect_man(rep, 4, 700, 3115, 12.0f, -2.0f, 325, 5);
    expect_man(rep, 5, 500, 5820, -8.3f, -38.3f, 350, 7);
    // Above the ground the same needs the level before read whole: 700
    // after a 1010 hPa surface that lacks its wind group is out of place and
    // ends the part.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99010 13859 70115 12064 32505 "), 1);
    EXPECT_FLOAT_EQ(rep.man[0].p, 1010);
    EXPECT_FLOAT_EQ(rep.man[4].p, M);
}

// A standard level left out above the ground lost every later level, the
// tropopause and the maximum wind. 16622 (cut down): no 1000 hPa group over
// a surface at 1000 hPa. 43353: surface 831 hPa, 850 hPa under the ground,
// no 700 hPa group.
TEST_F(UaDecoders, StandardLevelLeftOutAboveTheGround)
{
    set_decode_hour(23);
    ASSERT_EQ(ttaa("55232 16622 99000 06217 11507 92650 09639 28003 85347 05249 29505 "
                   "88276 49773 31568 77999 31313 46308 82326 "),
              1);
    expect_man(rep, 0, 1000, M, 6.2f, 4.5f, 115, 7);
    EXPECT_FLOAT_EQ(rep.man[1].p, M);
    expect_man(rep, 2, 925, 650, 9.6f, 5.7f, 280, 3);
    expect_man(rep, 3, 850, 1347, 5.2f, 0.3f, 295, 5);
    expect_man(rep, 22, 276, M, -49.7f, -72.7f, 315, 68);

    set_decode_hour(0);
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("56001 43353 99831 04857 19515 50567 03568 28509 40740 15766 20014 "
                   "30953 29366 19519 "),
              1);
    expect_man(rep, 0, 831, M, 4.8f, -2.2f, 195, 15);
    for (int s = 1; s <= 4; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    expect_man(rep, 5, 500, 5670, -3.5f, -21.5f, 285, 9);
    expect_man(rep, 6, 400, 7400, -15.7f, -31.7f, 200, 14);
    expect_man(rep, 7, 300, 9530, -29.3f, -45.3f, 195, 19);

    // Part C likewise: no 50 hPa group after a whole 70 hPa level.
    set_decode_hour(12);
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 70830 61168 27535 30390 55966 28040 ", UPA_TTCC), 1);
    EXPECT_FLOAT_EQ(rep.man[13].p, M);
    expect_man(rep, 14, 30, 23900, -55.9f, -71.9f, 280, 40);

    // After a level whose wind group is missing, the group standing there
    // could be a temperature or wind group: a later level's figures end the
    // part as before.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 13658 50570 20164 28040 "), 1);
    EXPECT_FLOAT_EQ(rep.man[1].p, 1000);
    EXPECT_FLOAT_EQ(rep.man[5].p, M);
}

TEST_F(UaDecoders, MisplacedTemperatureGroup)
{
    // 1000 hPa without its temperature and wind: 92812 is the next level.
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 92812 10656 24010 85512 04308 25620 "),
              1);
    expect_man(rep, 1, 1000, 144, M, M, M, M);
    expect_man(rep, 2, 925, 812, 10.6f, 4.6f, 240, 10);
    expect_man(rep, 3, 850, 1512, -4.3f, -5.1f, 255, 120);
    // 1000 hPa then 850 hPa (925 left out as well), and 850 hPa without its
    // temperature followed by 700 hPa.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 85512 70062 13556 27535 "), 1);
    expect_man(rep, 1, 1000, 144, M, M, M, M);
    expect_man(rep, 3, 850, 1512, M, M, M, M);
    expect_man(rep, 4, 700, 3062, -13.5f, -19.5f, 275, 35);
}

TEST_F(UaDecoders, WindIndicatorLimitsWinds)
{
    // Id 7: winds up to 700 hPa; 500 and 400 hPa carry none, the
    // tropopause and the maximum wind always do.
    ASSERT_EQ(ttaa("57127 72469 99838 13456 22005 00144 13658 21010 92812 10656 24010 "
                   "85512 04308 25620 70062 13556 27535 50570 20164 40728 30362 "
                   "88210 58156 26057 77235 27590 "),
              1);
    EXPECT_FLOAT_EQ(rep.man[0].dir, 220);
    EXPECT_FLOAT_EQ(rep.man[1].dir, 210);
    EXPECT_FLOAT_EQ(rep.man[4].dir, 275);
    expect_man(rep, 5, 500, 5700, -20.1f, -34.1f, M, M);
    expect_man(rep, 6, 400, 7280, -30.3f, -42.3f, M, M);
    expect_man(rep, 22, 210, M, -58.1f, -64.1f, 260, 57);
    expect_man(rep, 23, 235, M, M, M, 275, 90);
    // Id 0: a wind at 1000 hPa only. Without the limit the 300 hPa group
    // after 400 hPa would pass for a wind (30 tens of degrees).
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57120 72469 99838 13456 22005 00144 13658 21010 92812 10656 "
                   "85512 04308 70062 13556 50570 20164 40728 30362 30928 44740 "),
              1);
    EXPECT_FLOAT_EQ(rep.man[1].dir, 210);
    EXPECT_FLOAT_EQ(rep.man[2].dir, M);
    expect_man(rep, 6, 400, 7280, -30.3f, -42.3f, M, M);
    expect_man(rep, 7, 300, 9280, -44.7f, -48.7f, M, M);
    // Id "/": no standard level carries a wind; the surface still does.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("5712/ 72469 99838 13456 22005 00144 13658 92812 10656 85512 04308 "
                   "70062 13556 50570 20164 40728 30362 30928 44740 88210 58156 26057 "),
              1);
    EXPECT_FLOAT_EQ(rep.man[0].dir, 220);
    expect_man(rep, 7, 300, 9280, -44.7f, -48.7f, M, M);
    expect_man(rep, 22, 210, M, -58.1f, -64.1f, 260, 57);
    // Part C, Id 7: a wind at 70 hPa only; the 30 hPa group after 50 hPa is
    // not a wind.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57127 72469 70830 61168 27535 50063 59765 30390 55966 ", UPA_TTCC), 1);
    EXPECT_FLOAT_EQ(rep.man[12].dir, 275);
    expect_man(rep, 13, 50, 20630, -59.7f, -74.7f, M, M);
    expect_man(rep, 14, 30, 23900, -55.9f, -71.9f, M, M);
    // Part C, Id 5 and 3.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57125 72469 70830 61168 27535 50063 59765 28040 30390 55966 ", UPA_TTCC),
              1);
    EXPECT_FLOAT_EQ(rep.man[13].dir, 280);
    expect_man(rep, 14, 30, 23900, -55.9f, -71.9f, M, M);
}

TEST_F(UaDecoders, SpeedAbove249IsNoTempWind)
{
    // 400 hPa has lost its wind group: 30928 would be 305 deg at 428 kt, so it
    // is the next level's group. It stays for the 300 hPa level and the
    // winds of the part end there.
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 13658 21010 92812 10656 24010 "
                   "85512 04308 25620 70062 13556 27535 50570 20164 28040 40728 30362 "
                   "30928 44740 25034 50157 29555 88210 58156 26057 "),
              1);
    expect_man(rep, 6, 400, 7280, -30.3f, -42.3f, M, M);
    expect_man(rep, 7, 300, 9280, -44.7f, -48.7f, M, M);
    // 29555 after 250 hPa is not read as a wind, so it ends the levels.
    expect_man(rep, 8, 250, 10340, -50.1f, -57.1f, M, M);
    EXPECT_FLOAT_EQ(rep.man[22].p, M);
}

TEST_F(UaDecoders, MetresPerSecondBecomeKnots)
{
    // YY 07 (below 50): speeds in m/s. 25620: 255 deg, 120 m/s = 233.28 kt.
    ASSERT_EQ(ttaa("07121 72469 99838 13456 22005 00144 13658 25620 "), 1);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5 * 1.944f);
    expect_man(rep, 1, 1000, 144, 13.6f, 5.6f, 255, 233.28f);
    expect_wnd(rep, 0, 0, 220, 9.72f);
}

TEST_F(UaDecoders, DewPointDd99MissingInPartA)
{
    ASSERT_EQ(ttaa("57121 72469 99838 13499 22005 "), 1);
    EXPECT_FLOAT_EQ(rep.man[0].t, 13.4f);
    EXPECT_FLOAT_EQ(rep.man[0].td, M);
    expect_sig(rep, 0, 838, 13.4f, M);
    // Parts B and D read the same figures as a depression of 49 degrees.
    UPA_initialize(&rep);
    ASSERT_EQ(ttbb("57128 72469 00838 13499 "), 1);
    expect_sig(rep, 0, 838, 13.4f, 13.4f - 49);
}

TEST_F(UaDecoders, ShipByHourGroupAndUuParts)
{
    // GG 62: a ship at 12 UTC; 99165 71234: 16.5 N, 123.4 W (quadrant 7);
    // the MMMUU group after it is passed over.
    ASSERT_EQ(ttaa("57621 SHIP1 99165 71234 22106 99838 13456 22005 00144 13658 21010 "), 1);
    EXPECT_EQ(rep.time, 1200);
    EXPECT_STREQ(rep.area, "SH");
    EXPECT_STREQ(rep.id, "SHIP1");
    EXPECT_EQ(rep.wmo, 99999);
    EXPECT_FLOAT_EQ(rep.lat, 16.5f);
    EXPECT_FLOAT_EQ(rep.lon, -123.4f);
    EXPECT_FLOAT_EQ(rep.elev, 0);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5);
    EXPECT_FLOAT_EQ(rep.man[1].h, 144);
    // UUCC: the call sign comes first; quadrant 3 is south and east; the
    // tropopause pressure is in tenths (88123 = 12.3 hPa).
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("9ZT9MRK 57121 99165 31234 22106 70830 61168 27535 88123 49370 25510 ",
                   UPA_UUCC),
              1);
    EXPECT_STREQ(rep.id, "9ZT9MRK");
    EXPECT_STREQ(rep.area, "SH");
    EXPECT_FLOAT_EQ(rep.lat, -16.5f);
    EXPECT_FLOAT_EQ(rep.lon, 123.4f);
    expect_man(rep, 12, 70, 18300, -61.1f, -79.1f, 275, 35);
    EXPECT_FLOAT_EQ(rep.man[22].p, 12.3f);
    // A ship's part B: the part word may open the text; quadrant 5 is south
    // and west; the pressures are whole hPa.
    UPA_initialize(&rep);
    ASSERT_EQ(ttbb("UUBB 9ZT9MRK 57120 99165 51234 22106 00997 04060 11850 01341 ", UPA_UUBB),
              1);
    EXPECT_FLOAT_EQ(rep.lat, -16.5f);
    EXPECT_FLOAT_EQ(rep.lon, -123.4f);
    EXPECT_STREQ(rep.area, "SH");
    ASSERT_EQ(rep.numsig, 2);
    expect_sig(rep, 0, 997, 4.0f, -6.0f);
    expect_sig(rep, 1, 850, -1.3f, -5.4f);
}

TEST_F(UaDecoders, MobilePartsSkipTwoGroupsAfterPosition)
{
    // IIAA: call sign, date, position, then MMMUU and h0h0h0h0im.
    ASSERT_EQ(ttaa("ABC12 57121 99450 71107 15640 19053 99838 13456 22005 ", UPA_IIAA), 1);
    EXPECT_STREQ(rep.id, "ABC12");
    EXPECT_STREQ(rep.area, "MO");
    EXPECT_FLOAT_EQ(rep.lat, 45.0f);
    EXPECT_FLOAT_EQ(rep.lon, -110.7f);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5);
    // IIDD: tenths of hPa.
    UPA_initialize(&rep);
    ASSERT_EQ(ttbb("IIDD ABC12 57120 99450 71107 15640 19053 11975 61163 ", UPA_IIDD), 1);
    EXPECT_STREQ(rep.area, "MO");
    expect_sig(rep, 0, 97.5f, -61.1f, -74.1f);
    // EEBB: winds at heights after the same groups.
    UPA_initialize(&rep);
    ASSERT_EQ(ppbb("ABC12 57120 99450 71107 15640 19053 90012 27010 28015 29520 ", UPA_EEBB),
              1);
    EXPECT_STREQ(rep.area, "MO");
    EXPECT_FLOAT_EQ(rep.lon, -110.7f);
    ASSERT_EQ(rep.numwnd, 3);
    expect_wnd(rep, 0, 0, 270, 10);
}

TEST_F(UaDecoders, SecondPartAKeepsFirstSpecialRows)
{
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 00144 13658 21010 88210 58156 26057 "
                   "77235 27590 "),
              1);
    // The same sounding again (a repeated bulletin with other values): its
    // standard levels overwrite, its surface, tropopause and maximum wind go
    // to the overflow row and leave the first part's rows as they were.
    ASSERT_EQ(ttaa("57121 72469 99840 12456 23010 00150 12658 22015 88220 57156 25057 "
                   "77240 28090 "),
              1);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 220, 5);
    expect_man(rep, 1, 1000, 150, 12.6f, 4.6f, 220, 15);
    expect_man(rep, 22, 210, M, -58.1f, -64.1f, 260, 57);
    // The maximum wind, last into the overflow row, keeps its group layout:
    // its wind is read as a wind, no temperature is taken from it.
    expect_man(rep, 24, M, M, -57.1f, -63.1f, 280, 90);
    expect_man(rep, 23, 235, M, M, M, 275, 90);
    ASSERT_EQ(rep.numsig, 1);
    expect_sig(rep, 0, 838, 13.4f, 7.4f);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 220, 5);
}

TEST_F(UaDecoders, RepeatedSectionsDoNotUseUpPositions)
{
    // Part C up to 1 hPa, two tropopauses and a maximum wind: the sections
    // after the standard levels all land.
    ASSERT_EQ(ttaa("57121 72469 70830 61168 27535 50063 59765 28040 30390 55966 29020 "
                   "20650 53567 30015 10073 50570 31010 07850 47570 32015 05055 45370 "
                   "33020 03500 42575 34025 02760 40576 35030 01200 38571 36035 "
                   "88123 49370 25510 88056 45370 26010 77105 27590 ",
                   UPA_TTCC),
              1);
    EXPECT_FLOAT_EQ(rep.man[22].p, 12.3f);
    EXPECT_FLOAT_EQ(rep.man[24].t, -45.3f);  // the second tropopause
    expect_man(rep, 23, 10.5f, M, M, M, 275, 90);
}

TEST_F(UaDecoders, TimeWindowRejectsWithMessage)
{
    MESS_set(1, M_OUT3 & M_SUB_C);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ttaa("57001 72469 99838 13456 22005 00144 13658 21010 "), 0);
    EXPECT_EQ(ttbb("57008 72469 00838 13456 "), 0);
    EXPECT_EQ(ppaa("57001 72469 44985 27010 "), 0);
    EXPECT_EQ(ppbb("ABC12 57000 99450 71107 15640 19053 90012 27010 ", UPA_EEBB), 0);
    EXPECT_EQ(ttaa("ABC12 57001 99450 71107 15640 19053 99838 ", UPA_IIAA), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "Bad TTAA date for 72469: 0000\n"
              "Bad TTBB date for 72469: 0000\n"
              "Bad PPAA date for 72469: 0000\n"
              "Bad EEBB date for ABC12: 0000\n"
              "Bad IIAA date for ABC12: 0000\n");
    // Only what the identity steps read is kept.
    EXPECT_STREQ(rep.id, "72469");
    EXPECT_EQ(rep.time, VOK_MISSING);
    EXPECT_EQ(rep.numman, 0);
    EXPECT_EQ(rep.numsig, 0);
    EXPECT_EQ(rep.numwnd, 0);
    EXPECT_FLOAT_EQ(rep.lat, M);
    // 10 and 14 UTC lie on the edges of the window, 09 UTC outside.
    EXPECT_EQ(ttbb("57108 72469 "), 1);
    EXPECT_EQ(ttbb("57148 72469 "), 1);
    EXPECT_EQ(ttbb("57098 72469 "), 0);
    MESS_reset();
}

TEST_F(UaDecoders, PartWithoutDateGroupIsRefused)
{
    // At 00 UTC a part whose date group does not read must not pass for a
    // time near midnight.
    DATE_set_range(-120, 120);
    set_decode_hour(0);
    MESS_set(1, M_OUT3 & M_SUB_C);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ttaa("5712 72469 99838 13456 22005 "), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Bad TTAA date for : -0001\n");
    EXPECT_EQ(rep.numman, 0);
    EXPECT_EQ(ttaa("57001 72469 99838 13456 22005 "), 1);
    EXPECT_EQ(rep.time, 0);
}

// ---------------------------------------------------------------- TEMP parts B and D

TEST_F(UaDecoders, TtbbLevelsUntilFirstSection)
{
    // 00838 13456: surface 838 hPa, 13.4, dew point 7.4. 11812 12250: 812 hPa,
    // 12.2, depression 5.0 -> 7.2. 22012 16656: 1012 hPa (12 is below 100),
    // 16.6, 10.6. 33///: no pressure; its ///// is passed over. 44700 ///55:
    // temperature missing, dew point missing. 21212: not a level number.
    ASSERT_EQ(ttbb("57128 72469 00838 13456 11812 12250 22012 16656 33/// ///// "
                   "44700 ///55 21212 00838 22005 11812 24010 31313 58708 81103 "),
              1);
    EXPECT_EQ(rep.time, 1200);
    EXPECT_EQ(rep.numman, 0);
    ASSERT_EQ(rep.numsig, 4);
    expect_sig(rep, 0, 838, 13.4f, 7.4f);
    expect_sig(rep, 1, 812, 12.2f, 7.2f);
    expect_sig(rep, 2, 1012, 16.6f, 10.6f);
    expect_sig(rep, 3, 700, M, M);
    EXPECT_EQ(rep.numwnd, 0);  // the 21212 winds are not read
}

TEST_F(UaDecoders, PartsBAndDShareOneList)
{
    // 11975 61163 in part D: 97.5 hPa, -61.1, depression 13 -> -74.1.
    ASSERT_EQ(ttbb("57128 72469 00838 13456 11812 12250 ", UPA_TTBB), 1);
    ASSERT_EQ(ttbb("57128 72469 11975 61163 22123 57370 ", UPA_TTDD), 1);
    ASSERT_EQ(rep.numsig, 4);
    expect_sig(rep, 2, 97.5f, -61.1f, -74.1f);
    expect_sig(rep, 3, 12.3f, -57.3f, -77.3f);
    // A repeated B part with other values overwrites the rows of the same
    // pressures.
    ASSERT_EQ(ttbb("57128 72469 00838 14456 ", UPA_TTBB), 1);
    ASSERT_EQ(rep.numsig, 4);
    expect_sig(rep, 0, 838, 14.4f, 8.4f);
    UPA_sort_report(&rep);
    expect_sig(rep, 3, 12.3f, -57.3f, -77.3f);
}

// Parts B and D stopped after 50 level groups; modern soundings send far
// more (317 parts B of the global feed), and every one of them is read.
TEST_F(UaDecoders, EveryLevelGroupOfTheSectionIsRead)
{
    std::string text = "57128 72469";
    for (int k = 0; k < 120; ++k) text += " 11" + std::to_string(900 - k) + " 10456";
    ASSERT_EQ(ttbb(text + " 21212 00838 22005 "), 1);
    EXPECT_EQ(rep.numsig, 120);
    EXPECT_EQ(sig_row(850), 50);   // the 51st group
    EXPECT_EQ(sig_row(781), 119);  // the last before the wind section
}

TEST_F(UaDecoders, FullSignificantListEndsThePart)
{
    for (int k = 0; k < 199; ++k) UPA_add_sig(&rep, 100.0f + k, 0, 0);
    // One new pressure fits, the second ends the part; a pressure already in
    // the list would still have been merged before it.
    ASSERT_EQ(ttbb("57128 72469 00950 10456 11940 10456 22150 20456 "), 1);
    EXPECT_EQ(rep.numsig, 200);
    EXPECT_NE(sig_row(950), -1);
    EXPECT_EQ(sig_row(940), -1);
    EXPECT_FLOAT_EQ(rep.sig[50].t, 0);  // 150 hPa was not reached
}

// ---------------------------------------------------------------- PILOT parts

TEST_F(UaDecoders, PpaaSectionsFillStandardWinds)
{
    // 44985 and nine winds: 850 .. 100 hPa; 55300 and three: 1000 .. 850 hPa
    // (850 again, the later wind wins).
    ASSERT_EQ(ppaa("57121 72469 44985 27010 28015 29520 30025 31030 32035 33040 34045 "
                   "35050 55300 20005 21010 22015 77999 "),
              1);
    EXPECT_EQ(rep.numman, 20);
    EXPECT_EQ(rep.time, 1200);
    expect_man(rep, 1, 1000, M, M, M, 200, 5);
    expect_man(rep, 2, 925, M, M, M, 210, 10);
    expect_man(rep, 3, 850, M, M, M, 220, 15);
    expect_man(rep, 4, 700, M, M, M, 280, 15);
    expect_man(rep, 11, 100, M, M, M, 350, 50);
    EXPECT_FLOAT_EQ(rep.man[12].p, M);
    EXPECT_EQ(rep.numwnd, 0);
    EXPECT_EQ(rep.numsig, 0);
}

TEST_F(UaDecoders, PpaaFastWindIsConsumedAndSkipsItsSlot)
{
    // 27800: 270 deg at 300 kt, above 249: nothing for 700 hPa, but the group
    // counts, so 28015 is the 500 hPa wind. m/s (YY 07) for the others.
    ASSERT_EQ(ppaa("07121 72469 44385 27010 27800 28015 "), 1);
    expect_man(rep, 3, 850, M, M, M, 270, 10 * 1.944f);
    EXPECT_FLOAT_EQ(rep.man[4].p, M);
    EXPECT_FLOAT_EQ(rep.man[4].dir, M);
    expect_man(rep, 5, 500, M, M, M, 280, 15 * 1.944f);
}

TEST_F(UaDecoders, PpaaUnknownLevelEndsAndSurfaceKeepsNoMarker)
{
    // 44205: 05 names no standard level; the winds after it are not read and
    // the part ends at once.
    ASSERT_EQ(ppaa("57121 72469 44205 27010 28015 44185 30010 "), 1);
    EXPECT_EQ(rep.numman, 0);
    EXPECT_FLOAT_EQ(rep.man[3].p, M);
    // 44299: the surface. Its pressure is not in the part: the wind goes to
    // the wind level at 0 ft, the surface row gets no 990 hPa.
    UPA_initialize(&rep);
    ASSERT_EQ(ppaa("57121 72469 44299 27010 28015 "), 1);
    EXPECT_FLOAT_EQ(rep.man[0].p, M);
    EXPECT_FLOAT_EQ(rep.man[0].dir, M);
    expect_man(rep, 1, 1000, M, M, M, 280, 15);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 270, 10);
    // After a TEMP surface the surface row holds a pressure and takes the wind.
    UPA_initialize(&rep);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 "), 1);
    ASSERT_EQ(ppaa("57121 72469 44199 27010 "), 1);
    expect_man(rep, 0, 838, M, 13.4f, 7.4f, 270, 10);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 270, 10);
}

TEST_F(UaDecoders, PpbbHeightGroups)
{
    // 90012: 0, 1000, 2000 ft; 91256: 12000, 15000, 16000 ft; 9123/: 12000
    // and 13000 ft, no wind group for the missing figure; 28600: 285 deg at
    // 100 kt.
    ASSERT_EQ(ppbb("57120 72469 90012 27010 28015 29520 91256 30025 31030 28600 "
                   "9123/ 32035 33040 9204/ 34045 "),
              1);
    EXPECT_EQ(rep.numman, 0);
    ASSERT_EQ(rep.numwnd, 8);
    expect_wnd(rep, wnd_row(0), 0, 270, 10);
    expect_wnd(rep, wnd_row(1000), 1000, 280, 15);
    expect_wnd(rep, wnd_row(2000), 2000, 295, 20);
    expect_wnd(rep, wnd_row(12000), 12000, 320, 35);  // 9123/ after 91256: later wins
    expect_wnd(rep, wnd_row(15000), 15000, 310, 30);
    expect_wnd(rep, wnd_row(16000), 16000, 285, 100);
    expect_wnd(rep, wnd_row(13000), 13000, 330, 40);
    expect_wnd(rep, wnd_row(20000), 20000, 340, 45);
    EXPECT_EQ(wnd_row(24000), -1);
}

TEST_F(UaDecoders, PpbbFirstMissingFigureIsTheSurface)
{
    // 90/23 first: the surface, 2000 and 3000 ft. A later 90/.. has no surface.
    ASSERT_EQ(ppbb("57120 72469 90/23 27010 28015 29520 90/45 30010 31015 "), 1);
    ASSERT_EQ(rep.numwnd, 5);
    expect_wnd(rep, 0, 0, 270, 10);
    expect_wnd(rep, 1, 2000, 280, 15);
    expect_wnd(rep, 2, 3000, 295, 20);
    expect_wnd(rep, 3, 4000, 300, 10);
    expect_wnd(rep, 4, 5000, 310, 15);
}

TEST_F(UaDecoders, PpbbFastWindConsumedAndTempSurfaceShared)
{
    ASSERT_EQ(ttaa("57121 72469 99838 13456 22005 "), 1);
    // 27800 (300 kt) is read and dropped: 1000 ft gets no row, 28015 is 2000 ft.
    ASSERT_EQ(ppbb("57120 72469 90012 23010 27800 28015 "), 1);
    ASSERT_EQ(rep.numwnd, 2);
    expect_wnd(rep, 0, 0, 230, 10);   // one row at 0 ft for both parts
    expect_wnd(rep, 1, 2000, 280, 15);
    EXPECT_FLOAT_EQ(rep.man[0].dir, 230);
    // PPDD: heights above 100000 ft are not reached, tens of thousands work
    // the same way.
    ASSERT_EQ(ppbb("57120 72469 95012 25050 26055 27060 ", UPA_PPDD), 1);
    EXPECT_NE(wnd_row(50000), -1);
    EXPECT_NE(wnd_row(52000), -1);
}

TEST_F(UaDecoders, FullWindListEndsThePart)
{
    for (int k = 0; k < 99; ++k) UPA_add_wnd(&rep, 100000.0f + k, 0, 0);
    ASSERT_EQ(ppbb("57120 72469 90123 27010 28015 29520 90456 30010 "), 1);
    EXPECT_EQ(rep.numwnd, 100);
    EXPECT_NE(wnd_row(1000), -1);
    EXPECT_EQ(wnd_row(2000), -1);
    EXPECT_EQ(wnd_row(4000), -1);
}

// ---------------------------------------------------------------- real bulletins
// Reports cut from real feeds by the bulletin reader, decoded and checked
// level by level against values worked out by hand from the code groups.

class UaDecodersReal : public UaDecoders {
protected:
    void SetUp() override
    {
        UaDecoders::SetUp();
        if (!dec_test::have_shared_data()) GTEST_SKIP() << "no shared bulletins";
    }
    // Decodes the part into the slot; the part must be in the file.
    void decode(const char* file, int kind, const char* id)
    {
        const std::string text = dec_test::real_part(file, kind, id);
        ASSERT_FALSE(text.empty()) << file << " " << type_str[kind] << " " << id;
        ASSERT_EQ(UPA_decode_part(text.c_str(), kind, &rep), 1) << text;
    }
};

TEST_F(UaDecodersReal, LandTempPartsAAndB)
{
    // 83746, 23 Feb 2023 00 UTC. 73001: day 23 (+50, knots), 00 UTC, Id 1.
    set_decode_hour(0);
    decode("sounding_83746_2023022300_abcd.txt", UPA_TTAA, "83746");
    EXPECT_EQ(rep.time, 0);
    EXPECT_EQ(rep.wmo, 83746);
    // 99017 25838 15003: surface 1017 hPa, 25.8 C, depression 3.8 -> 22.0, 150 deg 3 kt.
    expect_man(rep, 0, 1017, M, 25.8f, 22.0f, 150, 3);
    // 00156 25643 10003: 1000 hPa at 156 m, 25.6, depression 4.3 -> 21.3, 100/3.
    expect_man(rep, 1, 1000, 156, 25.6f, 21.3f, 100, 3);
    // 92838 20421 16503: 925 hPa at 838 m, 20.4, 2.1 -> 18.3, 165/3.
    expect_man(rep, 2, 925, 838, 20.4f, 18.3f, 165, 3);
    // 85567 17013 08508: 850 hPa at 1567 m, 17.0, 1.3 -> 15.7, 085/8.
    expect_man(rep, 3, 850, 1567, 17.0f, 15.7f, 85, 8);
    // 70204 08630 32507: 700 hPa at 3204 m (204: the 3000s), 8.6, 3.0 -> 5.6, 325/7.
    expect_man(rep, 4, 700, 3204, 8.6f, 5.6f, 325, 7);
    // 50592 07356 02010: 500 hPa at 5920 m, -7.3 (odd tenths), 6 -> -13.3, 020/10.
    expect_man(rep, 5, 500, 5920, -7.3f, -13.3f, 20, 10);
    // 40762 16725 30012: 400 hPa at 7620 m, -16.7, 2.5 -> -19.2, 300/12.
    expect_man(rep, 6, 400, 7620, -16.7f, -19.2f, 300, 12);
    // 30972 32530 29014: 300 hPa at 9720 m, -32.5, 3.0 -> -35.5, 290/14.
    expect_man(rep, 7, 300, 9720, -32.5f, -35.5f, 290, 14);
    // 25098 43138 29025: 250 hPa at 10980 m, -43.1, 3.8 -> -46.9, 290/25.
    expect_man(rep, 8, 250, 10980, -43.1f, -46.9f, 290, 25);
    // 20244 56350 30529: 200 hPa at 12440 m, -56.3, 5.0 -> -61.3, 305/29.
    expect_man(rep, 9, 200, 12440, -56.3f, -61.3f, 305, 29);
    // 15421 67160 29033: 150 hPa at 14210 m, -67.1, 10 -> -77.1, 290/33.
    expect_man(rep, 10, 150, 14210, -67.1f, -77.1f, 290, 33);
    // 10659 71165 27521: 100 hPa at 16590 m, -71.1, 15 -> -86.1, 275/21.
    expect_man(rep, 11, 100, 16590, -71.1f, -86.1f, 275, 21);
    // 88999 77999: neither tropopause nor maximum wind; 31313 ends the levels.
    EXPECT_FLOAT_EQ(rep.man[22].p, M);
    EXPECT_FLOAT_EQ(rep.man[23].p, M);

    // Part B of the same sounding (73008: Id 8 unused here).
    decode("sounding_83746_2023022300_abcd.txt", UPA_TTBB, "83746");
    const float b[][3] = {
        {1017, 25.8f, 22.0f},   // 00017 25838: the surface again, same row
        {903, 18.6f, 17.8f},    // 11903 18608
        {897, 19.0f, 15.6f},    // 22897 19034
        {853, 17.2f, 16.1f},    // 33853 17211
        {799, 15.6f, 11.1f},    // 44799 15645
        {714, 8.6f, 8.1f},      // 55714 08605
        {708, 9.0f, 6.8f},      // 66708 09022
        {692, 8.6f, 3.9f},      // 77692 08647
        {643, 5.4f, -0.6f},     // 88643 05456: depression 6
        {611, 2.4f, -0.5f},     // 99611 02429
        {550, -1.1f, -11.1f},   // 11550 01160: depression 10
        {462, -11.5f, -13.4f},  // 22462 11519
        {413, -15.3f, -17.6f},  // 33413 15323
        {338, -25.5f, -28.5f},  // 44338 25530
        {267, -39.3f, -42.6f},  // 55267 39333
        {193, -58.3f, -64.3f},  // 66193 58356
        {160, -66.7f, -73.7f},  // 77160 66757
        {147, -67.5f, -79.5f},  // 88147 67562
        {116, -74.7f, -83.7f},  // 99116 74759
        {104, -73.7f, -86.7f},  // 11104 73763
        {100, -71.1f, -86.1f},  // 22100 71165; then 21212 ends the part
    };
    ASSERT_EQ(rep.numsig, 21);
    for (int k = 0; k < 21; ++k) expect_sig(rep, k, b[k][0], b[k][1], b[k][2]);
    ASSERT_EQ(rep.numwnd, 1);
    expect_wnd(rep, 0, 0, 150, 3);
}

TEST_F(UaDecodersReal, LandTempPartsCAndD)
{
    // 83779, 23 Feb 2023 12 UTC. 73123: knots, Id 3: winds up to 30 hPa.
    decode("sounding_83779_2023022312.txt", UPA_TTCC, "83779");
    // 70865 71568 15020: 70 hPa at 18650 m, -71.5, depression 18 -> -89.5, 150/20.
    expect_man(rep, 12, 70, 18650, -71.5f, -89.5f, 150, 20);
    // 50064 67574 12519: 50 hPa at 20640 m (064: the 20000s), -67.5, 24 -> -91.5, 125/19.
    expect_man(rep, 13, 50, 20640, -67.5f, -91.5f, 125, 19);
    // 30380 58383 08535: 30 hPa at 23800 m, -58.3, 33 -> -91.3, 085/35.
    expect_man(rep, 14, 30, 23800, -58.3f, -91.3f, 85, 35);
    // 88906 77162 26018: tropopause at 90.6 hPa (tenths in part C), -77.1,
    // 12 -> -89.1, 260/18. 77999: no maximum wind.
    expect_man(rep, 22, 90.6f, M, -77.1f, -89.1f, 260, 18);
    EXPECT_FLOAT_EQ(rep.man[23].p, M);
    for (int s = 0; s <= 11; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;

    // 7312/: part D in tenths of hPa.
    decode("sounding_83779_2023022312.txt", UPA_TTDD, "83779");
    ASSERT_EQ(rep.numsig, 5);
    expect_sig(rep, 0, 90.6f, -77.1f, -89.1f);  // 11906 77162
    expect_sig(rep, 1, 58.5f, -70.3f, -90.3f);  // 22585 70370
    expect_sig(rep, 2, 54.2f, -70.9f, -90.9f);  // 33542 70970
    expect_sig(rep, 3, 44.5f, -63.9f, -91.9f);  // 44445 63978: depression 28
    expect_sig(rep, 4, 28.3f, -57.7f, -92.7f);  // 55283 57785: depression 35; 21212 ends
}

TEST_F(UaDecodersReal, LevelsLeftOutInRealPartsA)
{
    // 01001, day 29 11 UTC. 29111: day 29 in m/s, Id 1. Surface 1014 hPa,
    // yet neither 1000 nor 925 hPa is sent: 850 hPa follows the surface.
    decode("sounding_01001_day29_11.txt", UPA_TTAA, "01001");
    EXPECT_EQ(rep.time, 1100);
    const float k = 1.944f;
    // 99014 02617 32509: 1014 hPa, 2.6, 1.7 -> 0.9, 325 deg 9 m/s.
    expect_man(rep, 0, 1014, M, 2.6f, 0.9f, 325, 9 * k);
    EXPECT_FLOAT_EQ(rep.man[1].p, M);
    EXPECT_FLOAT_EQ(rep.man[2].p, M);
    // 85420 01341 35517: 850 hPa at 1420 m, -1.3, 4.1 -> -5.4, 355/17.
    expect_man(rep, 3, 850, 1420, -1.3f, -5.4f, 355, 17 * k);
    // 70947 07517 35025: 700 hPa at 2947 m (947: the 2000s), -7.5, -9.2, 350/25.
    expect_man(rep, 4, 700, 2947, -7.5f, -9.2f, 350, 25 * k);
    // 50550 21500 34537: 500 hPa at 5500 m, -21.5, depression 0, 345/37.
    expect_man(rep, 5, 500, 5500, -21.5f, -21.5f, 345, 37 * k);
    expect_man(rep, 6, 400, 7120, -30.9f, -37.9f, 350, 37 * k);     // 40712 30957 35037
    expect_man(rep, 7, 300, 9090, -46.5f, -53.5f, 350, 41 * k);     // 30909 46557 35041
    expect_man(rep, 8, 250, 10280, -55.3f, -62.3f, 350, 40 * k);    // 25028 55357 35040
    expect_man(rep, 9, 200, 11680, -59.5f, -68.5f, 350, 31 * k);    // 20168 59559 35031
    expect_man(rep, 10, 150, 13510, -53.1f, -75.1f, 335, 17 * k);   // 15351 53172 33517
    expect_man(rep, 11, 100, 16110, -56.5f, -87.5f, 355, 16 * k);   // 10611 56581 35516
    // 88218 60956 35539: tropopause 218 hPa, -60.9, -66.9, 355/39.
    expect_man(rep, 22, 218, M, -60.9f, -66.9f, 355, 39 * k);
    // 77237 35042 40110: maximum wind 237 hPa, 350/42; the shear group 40110
    // is passed over and 31313 ends the part.
    expect_man(rep, 23, 237, M, M, M, 350, 42 * k);

    // 52983, day 31 23 UTC, m/s: a station at 810 hPa; 1000, 925 and 850 hPa
    // lie under the ground and are left out, 700 hPa follows the surface.
    UPA_initialize(&rep);
    set_decode_hour(23);
    decode("bulletin_zczc_52983_day31_23.txt", UPA_TTAA, "52983");
    expect_man(rep, 0, 810, M, 13.8f, 4.8f, 0, 0);                   // 99810 13859 00000
    for (int s = 1; s <= 3; ++s) EXPECT_FLOAT_EQ(rep.man[s].p, M) << s;
    expect_man(rep, 4, 700, 3115, 12.0f, -2.0f, 325, 5 * k);         // 70115 12064 32505
    expect_man(rep, 5, 500, 5820, -8.3f, -38.3f, 350, 7 * k);        // 50582 08380 35007
    expect_man(rep, 6, 400, 7530, -17.1f, -19.7f, 255, 9 * k);       // 40753 17126 25509
    expect_man(rep, 7, 300, 9630, -30.9f, -36.9f, 235, 17 * k);      // 30963 30956 23517
    expect_man(rep, 8, 250, 10900, -38.1f, -57.1f, 280, 17 * k);     // 25090 38169 28017
    expect_man(rep, 9, 200, 12410, -47.1f, -65.1f, 275, 16 * k);     // 20241 47168 27516
    expect_man(rep, 10, 150, 14260, -58.7f, -75.7f, 285, 10 * k);    // 15426 58767 28510
    // 10674 689// 36008: 100 hPa at 16740 m, -68.9, no depression, 360/8.
    expect_man(rep, 11, 100, 16740, -68.9f, M, 360, 8 * k);
}

TEST_F(UaDecodersReal, ShipTempAllParts)
{
    // 9ZT9MRK, day 06 00 UTC, speeds in m/s (YY 06). Position 99602 70467:
    // 60.2 N, quadrant 7: 46.7 W; 22106 (Marsden square, units) passed over.
    set_decode_hour(0);
    const char* f = "feed_global_2026020600.txt";
    const float k = 1.944f;
    decode(f, UPA_UUAA, "9ZT9MRK");
    EXPECT_STREQ(rep.id, "9ZT9MRK");
    EXPECT_STREQ(rep.area, "SH");
    EXPECT_EQ(rep.wmo, 99999);
    EXPECT_FLOAT_EQ(rep.lat, 60.2f);
    EXPECT_FLOAT_EQ(rep.lon, -46.7f);
    EXPECT_FLOAT_EQ(rep.elev, 0);
    EXPECT_EQ(rep.time, 0);
    // 99997 04060 07010: surface 997 hPa, 4.0, depression 10 -> -6.0, 070/10 m/s.
    expect_man(rep, 0, 997, M, 4.0f, -6.0f, 70, 10 * k);
    // 85311 04161 08005: 850 hPa next (1000 under the ground, 925 left out),
    // 1311 m, -4.1, 11 -> -15.1, 080/5.
    expect_man(rep, 3, 850, 1311, -4.1f, -15.1f, 80, 5 * k);
    // 70811 14761 10507: 700 hPa at 2811 m, -14.7, -25.7, 105 deg 7 m/s.
    expect_man(rep, 4, 700, 2811, -14.7f, -25.7f, 105, 7 * k);
    expect_man(rep, 5, 500, 5270, -29.5f, -32.9f, 355, 2 * k);     // 50527 29534 35502: 355/2
    expect_man(rep, 6, 400, 6820, -42.3f, -44.9f, 115, 7 * k);     // 40682 42326 11507
    expect_man(rep, 7, 300, 8710, -56.5f, -60.2f, 150, 14 * k);    // 30871 56537 15014
    expect_man(rep, 8, 250, 9840, -64.7f, -68.5f, 145, 18 * k);    // 25984 64738 14518
    expect_man(rep, 9, 200, 11200, -60.7f, -69.7f, 180, 13 * k);   // 20120 60759 18013
    expect_man(rep, 10, 150, 13010, -56.9f, -80.9f, 200, 15 * k);  // 15301 56974 20015
    expect_man(rep, 11, 100, 15550, -61.3f, -90.3f, 200, 20 * k);  // 10555 61379 20020
    // 88225 67338 16516: tropopause 225 hPa, -67.3, -71.1, 165/16. 77999.
    expect_man(rep, 22, 225, M, -67.3f, -71.1f, 165, 16 * k);
    EXPECT_FLOAT_EQ(rep.man[23].p, M);

    decode(f, UPA_UUCC, "9ZT9MRK");
    expect_man(rep, 12, 70, 17760, -62.1f, -91.1f, 215, 32 * k);   // 70776 62179 21532
    expect_man(rep, 13, 50, 19840, -61.3f, -90.3f, 210, 42 * k);   // 50984 61379 21042
    expect_man(rep, 14, 30, 23070, -54.1f, -85.1f, 215, 54 * k);   // 30307 54181 21554
    expect_man(rep, 15, 20, 25700, -51.3f, -83.3f, 220, 62 * k);   // 20570 51382 22062
    EXPECT_FLOAT_EQ(rep.man[16].p, M);
    EXPECT_FLOAT_EQ(rep.man[22].p, 225);  // 88999 leaves part A's tropopause

    UPA_initialize(&rep);
    decode(f, UPA_UUBB, "9ZT9MRK");
    EXPECT_FLOAT_EQ(rep.lat, 60.2f);
    const float b[][3] = {
        {997, 4.0f, -6.0f},     // 00997 04060
        {982, 4.4f, -10.6f},    // 11982 04465
        {954, 3.6f, -12.4f},    // 22954 03666
        {801, -8.1f, -16.1f},   // 33801 08158
        {749, -10.7f, -21.7f},  // 44749 10761
        {670, -17.3f, -29.3f},  // 55670 17362
        {610, -22.7f, -25.0f},  // 66610 22723
        {552, -28.3f, -29.8f},  // 77552 28315
        {518, -27.7f, -30.7f},  // 88518 27730
        {257, -63.9f, -67.6f},  // 99257 63937
        {214, -63.1f, -67.9f},  // 11214 63148
        {189, -59.7f, -70.7f},  // 22189 59761
        {157, -56.1f, -77.1f},  // 33157 56171
        {150, -56.9f, -80.9f},  // 44150 56974
        {110, -61.3f, -90.3f},  // 55110 61379
        {100, -61.3f, -90.3f},  // 66100 61379; 21212 ends
    };
    ASSERT_EQ(rep.numsig, 16);
    for (int j = 0; j < 16; ++j) expect_sig(rep, j, b[j][0], b[j][1], b[j][2]);

    UPA_initialize(&rep);
    decode(f, UPA_UUDD, "9ZT9MRK");
    ASSERT_EQ(rep.numsig, 4);
    expect_sig(rep, 0, 54.2f, -62.1f, -91.1f);  // 11542 62179
    expect_sig(rep, 1, 41.2f, -56.3f, -87.3f);  // 22412 56381
    expect_sig(rep, 2, 32.3f, -56.7f, -86.7f);  // 33323 56780
    expect_sig(rep, 3, 22.3f, -47.9f, -80.9f);  // 44223 47983
}

TEST_F(UaDecodersReal, MobileTempPartB)
{
    // USBYZ01, 58168: day 8, 16 UTC. 99450 71107: 45.0 N, 110.7 W; 15640
    // and 19053 (square and elevation groups) passed over.
    set_decode_hour(16);
    decode("bulletin_mobile_iibb_and_74794.txt", UPA_IIBB, "USBYZ01");
    EXPECT_STREQ(rep.id, "USBYZ01");
    EXPECT_STREQ(rep.area, "MO");
    EXPECT_EQ(rep.time, 1600);
    EXPECT_FLOAT_EQ(rep.lat, 45.0f);
    EXPECT_FLOAT_EQ(rep.lon, -110.7f);
    const float b[][3] = {
        {810, 10.6f, 1.6f},     // 00810 10659: depression 9
        {766, 6.2f, -0.8f},     // 11766 06257
        {745, 6.6f, -1.4f},     // 22745 06658
        {600, -8.1f, -8.4f},    // 33600 08103: depression 0.3
        {553, -10.9f, -11.4f},  // 44553 10905
        {542, -12.5f, -17.0f},  // 55542 12545
        {530, -11.9f, -22.9f},  // 66530 11961
        {514, -12.7f, -43.7f},  // 77514 12781: depression 31
        {502, -13.9f, -48.9f},  // 88502 13985
        {499, -13.9f, -47.9f},  // 99499 13984
        {360, -30.7f, -46.7f},  // 11360 30766
        {340, -33.7f, -45.7f},  // 22340 33762
        {330, -35.5f, -40.5f},  // 33330 35550
        {323, -36.9f, -43.9f},  // 44323 36957; 21212 ends
    };
    ASSERT_EQ(rep.numsig, 14);
    for (int j = 0; j < 14; ++j) expect_sig(rep, j, b[j][0], b[j][1], b[j][2]);
}

TEST_F(UaDecodersReal, PilotParts)
{
    // 96565, day 9 12 UTC (59121: knots).
    decode("pilot_96565_day09_12.txt", UPA_PPAA, "96565");
    // 55185 00505: one wind from 850 hPa on: 00 tens of degrees with 505,
    // i.e. 005 deg at 5 kt. 77999 is no section: the part ends.
    EXPECT_EQ(rep.numman, 20);
    expect_man(rep, 3, 850, M, M, M, 5, 5);
    EXPECT_FLOAT_EQ(rep.man[4].p, M);

    decode("pilot_96565_day09_12.txt", UPA_PPBB, "96565");
    // 90/12: surface (first group), 1000 and 2000 ft; 90345: 3000 .. 5000 ft;
    // 906//: 6000 ft.
    const float w[][3] = {
        {0, 0, 0},        // 00000: calm
        {1000, 280, 5},   // 28005
        {2000, 295, 4},   // 29504
        {3000, 335, 4},   // 33504
        {4000, 340, 5},   // 34005
        {5000, 5, 5},     // 00505
        {6000, 5, 8},     // 00508
    };
    ASSERT_EQ(rep.numwnd, 7);
    for (int j = 0; j < 7; ++j) expect_wnd(rep, j, w[j][0], w[j][1], w[j][2]);

    // 72403, 16 Aug 2021 12 UTC, PPDD 66128: knots. 960//: 60000 ft, 35502;
    // 970//: 70000 ft, 06514 (065 deg 14 kt); 990//: 90000 ft, 10016. Past
    // the 90,000 ft decade the indicator 1 takes over: 100//: 100000 ft,
    // 07528 (075 deg 28 kt); 110//: 110000 ft, 09529.
    UPA_initialize(&rep);
    decode("feed_ldm_2021081612.txt", UPA_PPDD, "72403");
    ASSERT_EQ(rep.numwnd, 5);
    expect_wnd(rep, 0, 60000, 355, 2);
    expect_wnd(rep, 1, 70000, 65, 14);
    expect_wnd(rep, 2, 90000, 100, 16);
    expect_wnd(rep, 3, 100000, 75, 28);
    expect_wnd(rep, 4, 110000, 95, 29);
}

// Long parts B of the global feed, read whole by the reader and decoded to
// their last level group: 72493's 51st group is 55283 47156, and 91212's
// part (1,900 characters) ends its levels with 55102 84556.
TEST_F(UaDecodersReal, LongPartsBReadToTheirLastLevel)
{
    set_decode_hour(0);
    decode("feed_global_2026020600.txt", UPA_TTBB, "72493");
    EXPECT_EQ(rep.numsig, 75);
    expect_sig(rep, 50, 283, -47.1f, -53.1f);
    expect_sig(rep, 74, 100, -63.7f, -86.7f);
    UPA_initialize(&rep);
    decode("feed_global_2026020600.txt", UPA_TTBB, "91212");
    EXPECT_EQ(rep.numsig, 123);
    expect_sig(rep, 122, 102, -84.5f, -90.5f);
}

TEST_F(UaDecodersReal, EveryRealPartDecodesSoundly)
{
    // Every part of every bulletin file, each into a fresh slot, with a
    // window wide enough for any hour: whatever the feed holds (NIL parts,
    // regional sections, garbled groups), the decoded values stay physical.
    DATE_set_range(-720, 720);
    set_decode_hour(12);
    const char* files[] = {
        "feed_global_2026020600.txt", "feed_kwbc_2022071300.txt", "feed_ldm_2021081612.txt",
        "feed_klwx_2022071400.txt", "bulletins_kwbc_day06_12.txt",
        "bulletin_mobile_iibb_and_74794.txt", "dropsonde_xxaa_not_decoded.txt",
        "sounding_02963_2006041012.txt", "sounding_72694_2018062000.txt",
        "sounding_72214_day17_12.txt", "sounding_47646_2014042600.txt",
    };
    int decoded = 0;
    for (const char* file : files) {
        UPA_read_raw_reset();
        const bool opened = testutil::for_each_raw_part(
            testutil::bulletin_dir() / file, [&](const char* data, const char*, int type) {
                UPA_initialize(&rep);
                const int ok = UPA_decode_part(data, type, &rep);
                if (ok < 0) return;
                decoded += ok;
                SCOPED_TRACE(std::string(file) + ": " + type_str[type] + " " + data);
                dec_test::expect_physical(rep);
            });
        ASSERT_TRUE(opened) << file;
    }
    UPA_read_raw_reset();
    EXPECT_GT(decoded, 3000);
}

TEST_F(UaDecoders, GroupTraceShowsEachGroupRead)
{
    MESS_set(1, (M_DEBUG & M_SUB_C) | (M_DEBUG & M_SUB_B));
    testing::internal::CaptureStdout();
    ASSERT_EQ(ttaa("ABC12 57121 99450 71107 15640 19053 99838 13456 22005 ", UPA_IIAA), 1);
    ASSERT_EQ(ttbb("57128 72469 00838 13456 "), 1);
    ASSERT_EQ(ppbb("57120 72469 90012 27010 "), 1);
    const std::string out = testing::internal::GetCapturedStdout();
    MESS_reset();
    for (const char* line : {"   ID: ABC12\n", "YYGGI: 57121\n", "99LLL QLLLL: 99450 71107\n",
                             "pphhh: 99838\n", "tttdd: 13456\n", "dddss: 22005\n",
                             "YYGGI: 57128\n", "   ID: 72469\n", "nnppp: 00838\n",
                             "numsig: 1\n", "9lhhh: 90012\n", "dddss: 27010\n"}) {
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
    }
}

// Part D of a high sounding goes on past 99,000 ft with height groups led by
// 1: 99026 gives 90, 92 and 96 thousand feet, then 10012 gives 100, 101 and
// 102 thousand feet. Those winds were lost when the 1 group ended the part.
TEST_F(UaDecoders, WindsAbove100000FeetAreKept)
{
    ASSERT_EQ(ppbb("57120 72403 99026 27010 28015 29520 10012 30025 31030 32035 108// 33040 ",
                   UPA_PPDD),
              1);
    ASSERT_EQ(rep.numwnd, 7);
    const float heights[] = {90000, 92000, 96000, 100000, 101000, 102000, 108000};
    const float dirs[] = {270, 280, 295, 300, 310, 320, 330};
    for (int i = 0; i < 7; ++i) {
        EXPECT_FLOAT_EQ(rep.wnd[i].h, heights[i]) << i;
        EXPECT_FLOAT_EQ(rep.wnd[i].dir, dirs[i]) << i;
    }
    EXPECT_FLOAT_EQ(rep.wnd[6].spd, 40);
}

// PILOT height groups led by 8 give altitudes in units of 500 m; the part
// ended at the first of them. PPDD of 72493 (cut down): 86012 is 30.0,
// 30.5 and 31.0 km, 86345 goes on at 31.5 km.
TEST_F(UaDecoders, PilotHeightsInUnitsOf500Metres)
{
    set_decode_hour(0);
    ASSERT_EQ(ppbb("56008 72493 9967/ 08521 08510 86012 00502 07011 05515 86345 01011 ",
                   UPA_PPDD),
              1);
    ASSERT_EQ(rep.numwnd, 6);
    expect_wnd(rep, 0, 96000, 85, 21);
    expect_wnd(rep, 1, 97000, 85, 10);
    const float ft[] = {30000 / 0.3048f, 30500 / 0.3048f, 31000 / 0.3048f, 31500 / 0.3048f};
    expect_wnd(rep, 2, ft[0], 5, 2);
    expect_wnd(rep, 3, ft[1], 70, 11);
    expect_wnd(rep, 4, ft[2], 55, 15);
    expect_wnd(rep, 5, ft[3], 10, 11);
    EXPECT_NEAR(rep.wnd[2].h, 98425.2f, 0.1f);
}

// Below 90,000 ft a group led by 1 in the place of a height group is a stray
// wind group, and it ends the part as before.
TEST_F(UaDecoders, OneGroupBelowTheHighestDecadeEndsThePart)
{
    ASSERT_EQ(ppbb("57120 72469 90012 27010 28015 29520 10012 30025 31030 32035 "), 1);
    ASSERT_EQ(rep.numwnd, 3);
    EXPECT_EQ(wnd_row(100000), -1);
}

// A TTAA whose surface group has no wind (cut short after 99ppp TTTDD)
// decoded after the PPBB part must leave the PILOT surface wind in place.
TEST_F(UaDecoders, TempSurfaceWithoutWindKeepsPilotSurfaceWind)
{
    ASSERT_EQ(ppbb("57120 72469 90012 27010 28015 29520 "), 1);
    ASSERT_EQ(ttaa("57121 72469 99838 13456 "), 1);
    const int row = wnd_row(0);
    ASSERT_GE(row, 0);
    EXPECT_FLOAT_EQ(rep.wnd[row].dir, 270);
    EXPECT_FLOAT_EQ(rep.wnd[row].spd, 10);
    EXPECT_FLOAT_EQ(rep.man[0].p, 838);
    EXPECT_EQ(rep.numwnd, 3);
}

TEST_F(UaDecoders, PartsGoToTheDecoderOfTheirKind)
{
    // A TTBB text given as TTAA would read 00838 as a 1000 hPa level; by kind
    // it goes to the significant levels.
    ASSERT_EQ(UPA_decode_part("57128 72469 00838 13456 ", UPA_TTBB, &rep), 1);
    EXPECT_EQ(rep.numsig, 1);
    EXPECT_EQ(UPA_decode_part("57120 72469 90012 27010 ", UPA_PPDD, &rep), 1);
    EXPECT_EQ(rep.numwnd, 1);
    EXPECT_EQ(UPA_decode_part("57121 72469 ", UPA_UNK, &rep), -1);
    EXPECT_EQ(UPA_decode_part("57121 72469 ", UPA_NO_KIND, &rep), -1);
}
