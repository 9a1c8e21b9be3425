// The bulletin reader, ua::BulletinReader, and the suite's UPA_read_raw over
// it: how raw feeds are cut into parts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "test_util.h"
#include "ua_dec_reader.h"
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

// One part as the core reader gives it.
struct CorePart {
    ua::Kind kind;
    std::string id;
    std::string text;
    std::uint64_t offset;
    bool cut;
    bool operator==(const CorePart&) const = default;
};

std::vector<CorePart> read_core(std::string text, ua::ReaderOptions options = {})
{
    std::vector<CorePart> out;
    RawFile f(std::move(text));
    ua::BulletinReader reader(f.fp, options);
    ua::PartView p;
    while (reader.next(p))
        out.push_back({p.kind, std::string(p.id), std::string(p.text), p.offset, p.cut});
    return out;
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

// TTAA 91165 of the global feed sets its tropopause group alone on a line;
// the part ended there, and the maximum wind and the 31313 section after it
// were lost. A lone code group goes on with the part; any other lone word
// still ends it, taken whole.
TEST_F(RawReader, LoneCodeGroupLineKeepsTheMaximumWindInThePart)
{
    auto reps = read_text(
        "TTAA 56001 91165 99009 28441 10503 00119 27642 09508\n"
        "88999\n"
        "77132 28575 41217\n"
        "31313 44108 82302=\n");
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].data,
              "56001 91165 99009 28441 10503 00119 27642 09508 88999 77132 28575 41217 31313 "
              "44108 82302  ");

    int zeros = 0;
    reps = read_text(
        "TTAA 57121 72469 99838 13456\n"
        "     /////=\n"
        "92812 10656 24010=\n",
        &zeros);
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_EQ(reps[0].data, "57121 72469 99838 13456      /////  ");
    // The line after it belongs to no part and only ends the file.
    EXPECT_EQ(zeros, 1);
    // The closing "=" turns into a blank.
    const char* const lone[][2] = {
        {"NIL=", "NIL  "}, {"=", "  "}, {"NNNN", "NNNN "}, {"413", "413 "}, {"8899", "8899 "}};
    for (const auto& [word, end] : lone) {
        SCOPED_TRACE(word);
        reps = read_text(std::string("TTBB 57121 72469\n") + word + "\n11111 22222=\n");
        ASSERT_EQ(reps.size(), 1u);
        EXPECT_EQ(reps[0].data, std::string("57121 72469 ") + end);
    }
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

// The reader carried a pending part word and the line that ended its last
// part into the next file: a part word at the end of one file opened a part
// of another station in the next, and the next file began with a line of
// the last.
TEST_F(RawReader, NothingCarriesIntoTheNextFile)
{
    {
        RawFile a("junk line\nTTCC\n");
        EXPECT_TRUE(read_reports(a.fp).empty());
    }
    EXPECT_TRUE(read_text("70121 72469 70850 12345=\n").empty());

    RawFile a("TTAA 57121 72469 99838\nTTBB 5712/ 72469 00838=");
    RawPart part;
    ASSERT_EQ(part.read(a.fp), 1);
    EXPECT_EQ(part.kind, UPA_TTAA);
    RawFile b("TTDD 7012/ 72469 11975 12345=\n");
    ASSERT_EQ(part.read(b.fp), 1);
    EXPECT_EQ(part.kind, UPA_TTDD);
    EXPECT_STREQ(part.data, "7012/ 72469 11975 12345  ");
    EXPECT_EQ(part.read(b.fp), -1);
}

// A file that fails to read (a directory) ends at once, and leaves nothing
// behind for the file read next, which the C library may give the same
// address.
TEST_F(RawReader, ReadErrorLeavesNothingForTheNextFile)
{
    testutil::TempDir dir("raw_reader");
    const std::string name = (dir.path() / "next.txt").string();
    FILE* next = std::fopen(name.c_str(), "w");
    ASSERT_NE(next, nullptr);
    std::fputs("TTAA 57121 72469 99838=\n", next);
    std::fclose(next);
    // The conversion stops at the error, as the driver does, and goes on
    // with the next file.
    FILE* bad = std::fopen(dir.path().c_str(), "r");
    ASSERT_NE(bad, nullptr);
    RawPart part;
    EXPECT_EQ(part.read(bad), 0);
    EXPECT_TRUE(std::ferror(bad));
    std::fclose(bad);
    next = std::fopen(name.c_str(), "r");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(part.read(next), 1);
    EXPECT_STREQ(part.id, "72469");
    std::fclose(next);
}

// Lines are cut from blocks of the input: where a block ends must not show,
// whatever stands there (CR CR LF, NULs, 8-bit bytes, a line longer than the
// reader keeps, parts run together, a heading whose station number is on
// the next line). The same bulletins behind a leading line of every length
// over a range give the same parts, their offsets moved by that length.
TEST_F(RawReader, PartsAreCutAlikeWhereverTheBlocksEnd)
{
    using namespace std::string_literals;
    const std::string lines =
        "\x01\r\r\n123 \r\r\nUSUS41 KWBC 060000\r\r\n"
        "TTAA 57121 72469 99838 13456\r\r\n"
        "22005 00144 \x02////\t92812\xe9 10656=\r\r\n"
        "TTBB 5712/ 72469 00838 13456 11975 12345\0 ignored after the NUL\n"
        "88999\n22850 07256=\n"
        "51515 10164 00005 10194 TTBB  56008 74005\n00991 25078=\n"
        "PPBB 56008 74005 90012 19517 TTDD  5600/\n74005 11954 66172 =\n"
        "UUAA 9ZT9M 06001 99602 70467\n 22106 00102;\n  33312 45678\n\x03"s;
    const std::string unit = lines + "PPBB 5712/ 72469 90012 " + std::string(9000, '1') + "=\n";
    std::string text;
    while (text.size() < ua::BulletinReader::BLOCK + 20000) text += unit;
    const auto plain = read_core(text);
    ASSERT_EQ(plain.size(), 7 * (text.size() / unit.size()));
    EXPECT_EQ(plain[1].text, "5712/ 72469 00838 13456 11975 12345 88999 22850 07256  ");
    // The block's end at every place of the short lines of a unit, and at
    // places across its long line.
    const std::size_t u = unit.size();
    const std::size_t before = (ua::BulletinReader::BLOCK - u) / u * u;
    for (std::size_t r = 0; r < u; r += r < lines.size() + 16 ? 1 : 97) {
        const std::size_t k = ua::BulletinReader::BLOCK - before - r;
        SCOPED_TRACE(r);
        auto moved = read_core(std::string(k - 1, 'x') + "\n" + text);
        ASSERT_EQ(moved.size(), plain.size());
        for (auto& p : moved) p.offset -= k;
        for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(moved[i], plain[i]) << i;
    }
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

// A NUL ends a line's text. In a line longer than the reader keeps, what
// followed the NUL past that length was read as a line of its own, and
// started a part of its own.
TEST_F(RawReader, NulInAnOverLongLineEndsItsText)
{
    std::string line = "TTBB 57128 83779 11111";
    line += '\0';
    while (line.size() < 9000) line += " 22222";
    line += " TTAA 57121 83779 99838=\n";
    const auto reps = read_text(line + "PPBB 57120 83779 90012=\n");
    ASSERT_EQ(reps.size(), 2u);
    EXPECT_EQ(reps[0].kind, UPA_TTBB);
    EXPECT_EQ(reps[0].data, "57128 83779 11111 ");
    EXPECT_EQ(reps[1].kind, UPA_PPBB);
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

// ---------------------------------------------------------------- the core reader

// PILOT part C is a part word of the core reader, in first or second place
// and inside a line like the other land PILOT words; the suite's calls do
// not know it (its parts are skipped, or glued to the part before).
TEST(BulletinReader, PilotPartCIsAPartWord)
{
    const std::string text =
        "PPCC 56008 64450\n"
        "55170 07510 77999=\n"
        "64458 PPCC 56008 64458 55170 07510=\n"
        "PPBB 56008 74005 90012 08008 PPCC  56007 74005 55170 07510=\n";
    const auto parts = read_core(text);
    ASSERT_EQ(parts.size(), 4u);
    for (const std::size_t i : {0u, 1u, 3u}) EXPECT_EQ(parts[i].kind, ua::Kind::PPCC) << i;
    EXPECT_EQ(parts[0].id, "64450");
    EXPECT_EQ(parts[0].text, "56008 64450 55170 07510 77999  ");
    EXPECT_EQ(parts[1].id, "64458");
    EXPECT_EQ(parts[2].text, "56008 74005 90012 08008 ");
    EXPECT_EQ(parts[3].text, "56007 74005 55170 07510  ");

    ua::ReaderOptions suite;
    suite.pilot_c = false;
    const auto without = read_core(text, suite);
    ASSERT_EQ(without.size(), 1u);
    EXPECT_EQ(without[0].kind, ua::Kind::PPBB);
    EXPECT_EQ(without[0].text, "56008 74005 90012 08008 PPCC  56007 74005 55170 07510  ");
}

// The offset of a part is that of the part word that opened it: at a line's
// start, in second place, inside a line, alone on a line before the groups,
// before a station number that the next line holds, and so on down a chain
// of such lines.
TEST(BulletinReader, OffsetsPointAtThePartWord)
{
    const std::string text =
        "USUS41 KWBC 060000\r\r\n"
        "TTAA 57121 72469 99838=\r\r\n"
        "72493 TTBB  56001 72493 00012 25656 TTCC 70121 72493 70850=\n"
        "PPBB\n56000 72493 90012=\n"
        "PPBB 56000 72493 90012 TTDD 7012/\r\r\n72493 11975 TTBB 7012/\r\r\n"
        "72493 00838 TTCC 7012/\r\r\n72493 11111=\r\r\n";
    const auto parts = read_core(text);
    const ua::Kind kinds[] = {ua::Kind::TTAA, ua::Kind::TTBB, ua::Kind::TTCC, ua::Kind::PPBB,
                              ua::Kind::PPBB, ua::Kind::TTDD, ua::Kind::TTBB, ua::Kind::TTCC};
    ASSERT_EQ(parts.size(), std::size(kinds));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].kind, kinds[i]) << i;
        EXPECT_EQ(text.substr(parts[i].offset, 4), ua::kind_name(kinds[i])) << i;
    }
    EXPECT_EQ(parts[6].text, "7012/ 72493 00838 ");
}

// The core keeps parts whole up to max_text (32 KB), far beyond what the
// suite's calls can hand on; a longer part is cut at a whole group and says
// so.
TEST(BulletinReader, LongPartIsCutAtMaxTextAtAWholeGroup)
{
    std::string text = "TTBB 57128 72469";
    for (int g = 0; g < 1200; ++g) text += " " + std::to_string(10000 + g * 7);
    text += "=\n";
    const auto whole = read_core(text);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_FALSE(whole[0].cut);
    EXPECT_GT(whole[0].text.size(), 7000u);

    ua::ReaderOptions small;
    small.max_text = 100;
    const auto cut = read_core(text, small);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_TRUE(cut[0].cut);
    EXPECT_LE(cut[0].text.size(), 100u);
    // Whole groups only: the kept text is the start of the whole one, up
    // to a group's closing blank.
    const std::string& kept = cut[0].text;
    ASSERT_GT(kept.size(), 90u);
    EXPECT_EQ(whole[0].text.compare(0, kept.size() - 1, kept, 0, kept.size() - 1), 0);
    EXPECT_EQ(whole[0].text[kept.size() - 2], ' ');
}

// Two readers over two inputs, read in turn, give each the parts it gives
// alone: nothing lives outside the reader.
TEST(BulletinReader, TwoReadersShareNothing)
{
    const std::string a = "TTAA 57121 72469 99838\n 13456 22005\nTTCC\n";
    const std::string b = "70121 72470 70850=\nTTBB 5712/ 72470 00838=\nPPBB\n";
    const auto alone_a = read_core(a);
    const auto alone_b = read_core(b);
    RawFile fa(a), fb(b);
    ua::BulletinReader ra(fa.fp), rb(fb.fp);
    std::vector<CorePart> got_a, got_b;
    const auto take = [](ua::BulletinReader& r, std::vector<CorePart>& got) {
        ua::PartView p;
        if (!r.next(p)) return false;
        got.push_back({p.kind, std::string(p.id), std::string(p.text), p.offset, p.cut});
        return true;
    };
    for (bool more_a = true, more_b = true; more_a || more_b;) {
        more_a = more_a && take(ra, got_a);
        more_b = more_b && take(rb, got_b);
    }
    EXPECT_EQ(got_a, alone_a);
    EXPECT_EQ(got_b, alone_b);
    ASSERT_EQ(alone_a.size(), 1u);
    ASSERT_EQ(alone_b.size(), 1u);
    EXPECT_EQ(alone_b[0].kind, ua::Kind::TTBB);
}
