#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vok.h"

TEST(StringCompare, StricmpEdges)
{
    EXPECT_EQ(stricmp("ABC", "abc"), 0);
    EXPECT_EQ(stricmp("ABC", "abd"), 'c' - 'd');
    EXPECT_EQ(stricmp("abc", "ab"), 'c');
    EXPECT_EQ(stricmp("ab", "abc"), -'c');
    EXPECT_EQ(stricmp(nullptr, "a"), 1);
    EXPECT_EQ(stricmp("a", nullptr), 1);
    EXPECT_EQ(stricmp("", ""), 0);
}

TEST(StringCompare, StrnicmpLooksAtMostNCharacters)
{
    EXPECT_EQ(strnicmp("message", "mess", 4), 0);
    EXPECT_EQ(strnicmp("MESSAGE", "mess", 4), 0);
    EXPECT_LT(strnicmp("me", "mess", 4), 0);
    EXPECT_EQ(strnicmp("me", "mess", 4), -'s');
    EXPECT_EQ(strnicmp("abc", "abd", 2), 0);
    EXPECT_EQ(strnicmp("abc", "abd", 3), 'c' - 'd');
    EXPECT_EQ(strnicmp("ab", "ab", 10), 0);
    // A count of zero or less still compares the first character.
    EXPECT_EQ(strnicmp("x", "y", 0), 'x' - 'y');
    EXPECT_EQ(strnicmp("xa", "xb", -3), 0);
    EXPECT_EQ(strnicmp(nullptr, "a", 3), 1);
}

TEST(StringCopy, StrntcpyAndStrmcat)
{
    char buf[8];
    strntcpy(buf, "ab\0cdef", 4);
    EXPECT_EQ(std::memcmp(buf, "ab\0c\0", 5), 0);

    char dst[16] = "abcde";
    EXPECT_EQ(strmcat(dst, "0123456789", 8), 1);
    EXPECT_STREQ(dst, "abcde012");
    EXPECT_EQ(strmcat(dst, "x", 8), 0);  // already at the maximum
    EXPECT_STREQ(dst, "abcde012");
    EXPECT_EQ(strmcat(nullptr, "x", 8), 0);
    EXPECT_EQ(strmcat(dst, nullptr, 8), 0);
    char small[16] = "ab";
    EXPECT_EQ(strmcat(small, "cd", 15), 1);
    EXPECT_STREQ(small, "abcd");
}

TEST(StringEdit, StripTrimLowFill)
{
    char a[] = "a\rb\nc \n";
    wsstrip_string(a);
    EXPECT_STREQ(a, "abc ");
    char b[] = "TTAA 72469  \r\n";
    wstrim_string(b);
    EXPECT_STREQ(b, "TTAA 72469");
    char c[] = "x \t  ";
    trim_string(c);
    EXPECT_STREQ(c, "x \t");
    char d[] = "AbC-Z1";
    EXPECT_EQ(low_string(d), 1);
    EXPECT_STREQ(d, "abc-z1");
    char e[] = "";
    EXPECT_EQ(low_string(e), 0);
    char f[] = "a/b/c";
    fill_string(f, '/', ' ');
    EXPECT_STREQ(f, "a b c");
}

TEST(StringEdit, CleanLine)
{
    char a[] = "AB\tC\r\n";
    EXPECT_EQ(clean_line(a), 1);
    EXPECT_STREQ(a, "AB C");
    // 8-bit bytes inside become blanks; the last kept byte too.
    char b[] = "A\xff" "B\x80\x03\x03";
    clean_line(b);
    EXPECT_STREQ(b, "A B ");
    char c[] = "\r\n\x01";
    clean_line(c);
    EXPECT_STREQ(c, "");
    char e[] = "";
    EXPECT_EQ(clean_line(e), 0);
    EXPECT_EQ(clean_line(nullptr), 0);
}

TEST(StringTest, IsNum)
{
    EXPECT_EQ(string_is_num("-12"), 1);
    EXPECT_EQ(string_is_num("1.5"), 0);
    EXPECT_EQ(string_is_num("-"), 1);
    EXPECT_EQ(string_is_num("--1"), 0);
    EXPECT_EQ(string_is_num(""), 0);
    EXPECT_EQ(string_is_num(nullptr), 0);
    EXPECT_EQ(string_is_num_len("12345abc", 5), 1);
    EXPECT_EQ(string_is_num_len("1234", 5), 0);
    EXPECT_EQ(string_is_num_len("-1234", 4), 0);
    EXPECT_EQ(string_is_num_len("", 1), 0);
}

namespace {

std::vector<std::string> split(const char* s, char d, int* rc)
{
    int n = -1;
    char** items = reinterpret_cast<char**>(1);
    *rc = parse_string(s, d, &n, &items);
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.emplace_back(items[i]);
    free_parsed_array(n, items);
    if (*rc != 0) {
        EXPECT_EQ(n, 0);
        EXPECT_EQ(items, nullptr);
    }
    return out;
}

}  // namespace

TEST(StringSplit, ParseString)
{
    int rc;
    EXPECT_EQ(split("warn,+out1", ',', &rc), (std::vector<std::string>{"warn", "+out1"}));
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(split("a", ',', &rc), (std::vector<std::string>{"a"}));
    EXPECT_EQ(split("a, b,,", ',', &rc), (std::vector<std::string>{"a", " b"}));
    EXPECT_EQ(split(",a,,b", ',', &rc), (std::vector<std::string>{"", "a", "", "b"}));
    EXPECT_EQ(split(",,,", ',', &rc), (std::vector<std::string>{""}));
    EXPECT_TRUE(split("", ',', &rc).empty());
    EXPECT_EQ(rc, -1);
    EXPECT_TRUE(split(nullptr, ',', &rc).empty());
    EXPECT_EQ(rc, -1);
    // Thousands of delimiters and long items stay sound.
    std::string many(5000, ',');
    many += "x";
    auto v = split(many.c_str(), ',', &rc);
    ASSERT_EQ(v.size(), 5001u);
    EXPECT_EQ(v.back(), "x");
}

TEST(StringSplit, ItemsPointIntoOneCopy)
{
    int n = 0;
    char** items = nullptr;
    const char text[] = "one;two;three";
    ASSERT_EQ(parse_string(text, ';', &n, &items), 0);
    ASSERT_EQ(n, 3);
    EXPECT_NE(items[0], text);
    EXPECT_EQ(items[1], items[0] + 4);
    EXPECT_EQ(items[2], items[0] + 8);
    EXPECT_STREQ(text, "one;two;three");
    free_parsed_array(n, items);
}
