#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "vok.h"

namespace {

// All results of fgetnline over a text, up to the end mark -1.
std::vector<std::pair<int, std::string>> lines(const std::string& text, int n)
{
    FILE* fp = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    std::vector<std::pair<int, std::string>> out;
    std::vector<char> buf(static_cast<std::size_t>(n) + 1);
    for (int guard = 0; guard < 10000; ++guard) {
        const int k = fgetnline(fp, buf.data(), n);
        out.emplace_back(k, buf.data());
        if (k < 0) break;
    }
    std::fclose(fp);
    return out;
}

using L = std::vector<std::pair<int, std::string>>;

}  // namespace

TEST(LineReader, NewlineIsSkippedAtTheNextCall)
{
    EXPECT_EQ(lines("TTAA\n72469\n", 100), (L{{4, "TTAA"}, {5, "72469"}, {-1, ""}}));
    EXPECT_EQ(lines("a\nb", 100), (L{{1, "a"}, {1, "b"}, {-1, ""}}));
}

TEST(LineReader, EmptyFirstLineSkippedEmptyMiddleLineReturned)
{
    EXPECT_EQ(lines("\nA\n\nB\n", 100), (L{{1, "A"}, {0, ""}, {1, "B"}, {-1, ""}}));
    EXPECT_EQ(lines("", 100), (L{{-1, ""}}));
}

TEST(LineReader, LongLineComesInPieces)
{
    EXPECT_EQ(lines("abcdefghij\nk\n", 4), (L{{4, "abcd"}, {4, "efgh"}, {2, "ij"}, {1, "k"}, {-1, ""}}));
    // A piece that ends exactly at the newline.
    EXPECT_EQ(lines("abcd\nef", 4), (L{{4, "abcd"}, {2, "ef"}, {-1, ""}}));
}

TEST(LineReader, ArbitraryBytes)
{
    std::string text("A\0B\r\n\xff\xfe", 7);
    text += std::string(5000, 'x');
    auto r = lines(text, 100);
    ASSERT_GE(r.size(), 3u);
    EXPECT_EQ(r[0].first, 4);  // the NUL is read as a character
    EXPECT_EQ(r[1].first, 100);
    EXPECT_EQ(r.back().first, -1);
    int total = 0;
    for (auto& [k, s] : r) total += k > 0 ? k : 0;
    EXPECT_EQ(total, 4 + 2 + 5000);
}

TEST(LineReader, FgetstringReportsTextAsOne)
{
    const std::string text = "abc\n\nd";
    FILE* fp = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    char buf[16];
    EXPECT_EQ(fgetstring(fp, buf, 15), 1);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(fgetstring(fp, buf, 15), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(fgetstring(fp, buf, 15), 1);
    EXPECT_EQ(fgetstring(fp, buf, 15), -1);
    std::fclose(fp);
}

TEST(ByteOrder, SwapSetupOnLittleEndianHost)
{
    swap_setup(1);  // data big-endian: a little-endian host swaps
    EXPECT_EQ(swap, 1);
    swap_setup(2);
    EXPECT_EQ(swap, 0);
    swap_setup(-1);
    EXPECT_EQ(swap, 0);
    swap_setup(7);
    EXPECT_EQ(swap, 1);

    std::int16_t v = 0x0102;
    swap_setup(-1);
    EXPECT_EQ(swap_short(&v), -1);
    EXPECT_EQ(v, 0x0102);
    swap_setup(1);
    EXPECT_EQ(swap_short(&v), 0);
    EXPECT_EQ(v, 0x0201);
}

TEST(ByteOrder, FwriteShortSwapWritesBigEndian)
{
    char out[8] = {};
    FILE* fp = fmemopen(out, sizeof out, "wb");
    swap_setup(1);
    std::int16_t v = 0x0102;
    EXPECT_EQ(fwrite_short_swap(&v, fp), 1);
    std::fclose(fp);
    EXPECT_EQ(static_cast<unsigned char>(out[0]), 0x01);
    EXPECT_EQ(static_cast<unsigned char>(out[1]), 0x02);
    EXPECT_EQ(v, 0x0201);  // the caller's value stays swapped
    swap_setup(0);
}
