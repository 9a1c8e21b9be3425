// Tests of the fixed-record form's 78-byte record, field by field.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "test_ua_read_util.h"
#include "vokupa.h"

using namespace uatest;

TEST_F(UaRead, FixedRecordFieldByField)
{
    UPA_report r = denver();
    r.man[4] = {700, 3012, -2.5f, -10.0f, 250, 35};
    r.man[5] = {500, 5640, -10.3f, -30.1f, 245, 115};
    r.man[1] = {1000, 120, M, M, M, M};
    UPA_report ship = station("72469", 99999, -45.5f, 170.25f);  // numeric id: no letters
    UPA_report bare = station("9ZT9MRK", M, M, M);
    bare.wmo = VOK_MISSING;
    const std::string f = read_file(write_file("u.dat", UPA_FILE_FIXED, {r, ship, bare}));
    // The date line has no line end: the first record follows the year.
    ASSERT_EQ(f.size(), 22u + 3 * 78u);
    EXPECT_EQ(f.substr(0, 26), "00:00Z XXX FEB  6 2026DNR\0"s);
    const auto num = [&](int record, int k) {
        const auto* b = reinterpret_cast<const unsigned char*>(f.data()) + 22 + 78 * record + 12 + 2 * k;
        return static_cast<int16_t>(b[0] | (b[1] << 8));
    };
    EXPECT_EQ(f.substr(22, 12), "DNR\0\0" "72469\0\0"s);
    const int want[33] = {3977, -10487, 15, 0, -3, -10, 0, 1457, 3012, 5640, 0, 0, 0, 0, 0, 27, 25, 24, 0,
                          15, 35, 115, 0, 5, 8, 20, 9999, 5520, 1200, 0, 0, 0, 0};
    for (int k = 0; k < 33; ++k) EXPECT_EQ(num(0, k), want[k]) << "value " << k + 1;
    EXPECT_EQ(f.substr(22 + 78, 12), "\0\0\0\0\0" "99999\0\0"s);
    EXPECT_EQ(num(1, 0), -4550);
    EXPECT_EQ(num(1, 1), 17025);
    EXPECT_EQ(num(1, 2), 9999);
    EXPECT_EQ(num(1, 27), 9999);  // no thickness without both heights
    EXPECT_EQ(f.substr(22 + 156, 12), "\0\0\0\0\0" "99999\0\0"s);  // id led by a digit
}
