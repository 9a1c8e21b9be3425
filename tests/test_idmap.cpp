// Station identifiers made from WMO numbers and read back.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "vok.h"

namespace {

// The identifier of n, written into an 11-byte field that sits inside a
// larger buffer: bytes past the field must stay untouched.
std::string id_of(int n)
{
    char buf[VOK_ID_LEN + 8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(wmo_to_id(buf, n), 0) << n;
    for (std::size_t i = VOK_ID_LEN; i < sizeof buf; ++i) EXPECT_EQ(buf[i], '#') << n << " byte " << i;
    const void* nul = std::memchr(buf, '\0', VOK_ID_LEN);
    EXPECT_NE(nul, nullptr) << n;
    return nul ? std::string(buf) : std::string();
}

struct ReadBack {
    int result;
    int wmo;
};

ReadBack read_id(const char* id)
{
    ReadBack r{-2, -2};
    r.result = id_to_wmo(id, &r.wmo);
    return r;
}

}  // namespace

// Every number from 0 to 99999 gives five characters; those with a prefix
// read back to the same number, the rest are the number itself.
TEST(IdmapTest, EveryNumberReadsBack)
{
    int prefixed = 0;
    int runs = 0;
    std::string last_prefix;
    for (int n = 0; n <= 99999; ++n) {
        const std::string id = id_of(n);
        ASSERT_EQ(id.size(), 5u) << n;
        std::string prefix;
        const ReadBack r = read_id(id.c_str());
        if (id[0] >= '0' && id[0] <= '9') {
            char plain[8];
            std::snprintf(plain, sizeof plain, "%05d", n);
            EXPECT_EQ(id, plain);
            EXPECT_EQ(r.result, -1) << id;
            EXPECT_EQ(r.wmo, n) << id;
        } else {
            ++prefixed;
            const bool one_letter = id[1] >= '0' && id[1] <= '9' && std::strchr("UXYZ", id[0]);
            prefix = id.substr(0, one_letter ? 1 : 2);
            EXPECT_EQ(r.result, 0) << id;
            EXPECT_EQ(r.wmo, n) << id;
        }
        // A new run starts wherever the prefix changes or a gap ends one;
        // no two neighbouring rows share a prefix, so runs count the rows.
        if (!prefix.empty() && prefix != last_prefix) ++runs;
        last_prefix = prefix;
    }
    EXPECT_EQ(runs, 182);
    // The 182 ranges together hold 79811 numbers.
    EXPECT_EQ(prefixed, 79811);
}

TEST(IdmapTest, ListedNumbers)
{
    EXPECT_EQ(id_of(72451), "K2451");
    EXPECT_EQ(id_of(1384), "EN384");
    EXPECT_EQ(id_of(94610), "Y4610");
    EXPECT_EQ(id_of(99999), "99999");
    EXPECT_EQ(id_of(5100), "05100");
    EXPECT_EQ(id_of(0), "00000");
    EXPECT_EQ(id_of(20000), "U0000");
    EXPECT_EQ(id_of(39999), "X9999");
    EXPECT_EQ(id_of(50123), "Z0123");
    EXPECT_EQ(id_of(91700), "N1700");
    EXPECT_EQ(id_of(74560), "K4560");
    EXPECT_EQ(id_of(98999), "RP999");
}

TEST(IdmapTest, RangeEdgesAndGaps)
{
    EXPECT_EQ(id_of(999), "00999");
    EXPECT_EQ(id_of(1000), "EN000");
    EXPECT_EQ(id_of(1499), "EN499");
    EXPECT_EQ(id_of(1500), "01500");
    EXPECT_EQ(id_of(67753), "FL753");
    EXPECT_EQ(id_of(67754), "67754");
    EXPECT_EQ(id_of(67755), "FV755");
    EXPECT_EQ(id_of(64360), "FZ360");
    for (int n = 64361; n <= 64379; ++n) EXPECT_EQ(id_of(n), std::to_string(n));
    EXPECT_EQ(id_of(64380), "HR380");
    EXPECT_EQ(id_of(78550), "TI550");
    for (int n = 78551; n <= 78579; ++n) EXPECT_EQ(id_of(n), std::to_string(n));
    EXPECT_EQ(id_of(78580), "MZ580");
    EXPECT_EQ(id_of(40200), "40200");
    EXPECT_EQ(id_of(41150), "OB150");
    EXPECT_EQ(id_of(41160), "OE160");
    EXPECT_EQ(id_of(40350), "OE350");
    EXPECT_EQ(id_of(94099), "94099");
    EXPECT_EQ(id_of(94100), "Y4100");
    EXPECT_EQ(id_of(99000), "99000");
}

// Negative and oversized numbers have no prefix and keep their digits; the
// field is never overrun (id_of checks the bytes behind it).
TEST(IdmapTest, NumbersOutsideTheStationRange)
{
    EXPECT_EQ(id_of(-9999), "-09999");
    EXPECT_EQ(id_of(-1), "-00001");
    EXPECT_EQ(id_of(-1384), "-01384");
    EXPECT_EQ(id_of(-99999), "-99999");
    EXPECT_EQ(id_of(100000), "100000");
    EXPECT_EQ(id_of(172451), "172451");
    EXPECT_EQ(id_of(INT_MAX), "2147483647");
    EXPECT_EQ(id_of(-999999999), "-999999999");
    EXPECT_EQ(id_of(INT_MIN).size(), 10u);
    EXPECT_EQ(wmo_to_id(nullptr, 72451), -1);
}

TEST(IdmapTest, ReadingBack)
{
    struct Case {
        const char* id;
        int result;
        int wmo;
    };
    const Case cases[] = {
        {"K2451", 0, 72451}, {"EN384", 0, 1384}, {"Y4610", 0, 94610}, {"X1234", 0, 31234},
        {"U0001", 0, 20001}, {"Z1234", 0, 51234}, {"ZM123", 0, 44123}, {"ZK079", 0, 47079},
        {"N1700", 0, 91700}, {"K4999", 0, 74999},
        // OE: digits above 300 are 40xxx, below 300 41xxx.
        {"OE350", 0, 40350}, {"OE301", 0, 40301}, {"OE100", 0, 41100}, {"OE299", 0, 41299},
        // Unknown prefixes keep the three digits; OE300 is neither side.
        {"QQ123", 0, 123}, {"OE300", 0, 300}, {"K3123", 0, 123},
        // A one-letter prefix needs a digit after it.
        {"UA123", 0, 123}, {"Y-123", 0, 123},
        // Five digits: the number, but not the letter form.
        {"72451", -1, 72451}, {"00000", -1, 0}, {"99999", -1, 99999},
        // Not five characters, or not letter + any + three digits.
        {"", -1, 99999}, {"K245", -1, 99999}, {"K24510", -1, 99999}, {"AB12C", -1, 99999},
        {"1A234", -1, 99999}, {"-9999", -1, 99999}, {" 2451", -1, 99999}, {"KDEN ", -1, 99999},
        {"\xC3\x89" "123", -1, 99999}, {"K2-45", -1, 99999},
    };
    for (const Case& c : cases) {
        const ReadBack r = read_id(c.id);
        EXPECT_EQ(r.result, c.result) << '"' << c.id << '"';
        EXPECT_EQ(r.wmo, c.wmo) << '"' << c.id << '"';
    }
}

// Identifiers typed by a user may be lower case; the prefixes still apply.
TEST(IdmapTest, LowerCasePrefixes)
{
    EXPECT_EQ(read_id("k2451").wmo, 72451);
    EXPECT_EQ(read_id("En384").wmo, 1384);
    EXPECT_EQ(read_id("y4610").wmo, 94610);
    EXPECT_EQ(read_id("zm123").wmo, 44123);
    EXPECT_EQ(read_id("z1234").wmo, 51234);
    EXPECT_EQ(read_id("oe100").wmo, 41100);
    EXPECT_EQ(read_id("k2451").result, 0);
}

TEST(IdmapTest, NullArgumentsAndUnterminatedText)
{
    int wmo = 0;
    EXPECT_EQ(id_to_wmo(nullptr, &wmo), -1);
    EXPECT_EQ(wmo, 99999);
    EXPECT_EQ(id_to_wmo("K2451", nullptr), 0);
    EXPECT_EQ(id_to_wmo(nullptr, nullptr), -1);
    // Six characters and no terminator: only the first six may be looked at.
    const char six[6] = {'K', '2', '4', '5', '1', 'X'};
    EXPECT_EQ(id_to_wmo(six, &wmo), -1);
    EXPECT_EQ(wmo, 99999);
}
