// Tests of cdf: the netCDF layer against the real netCDF library, its files
// read back with the library's own calls.
#include <gtest/gtest.h>

#include <netcdf.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"
#include "vokcdf.h"

namespace {

class Cdf : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDF_print_errors(0);
    }
    void TearDown() override
    {
        CDF_close();
        CDF_print_errors(1);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // A file with a record dimension, a 4-character text variable and a
    // 3-level float variable; left open in data mode.
    void make_file(const std::string& name)
    {
        ASSERT_GE(CDF_open(path(name).c_str(), 1), 0);
        rec_ = CDF_def_dim("rec", 0);
        const int lev = CDF_def_dim("lev", 3);
        const int len = CDF_def_dim("len", 4);
        ASSERT_EQ(CDF_set_shape(2, rec_, len), 0);
        text_ = CDF_def_char_var("text");
        ASSERT_EQ(CDF_set_shape(2, rec_, lev), 0);
        vals_ = CDF_def_float_var("vals");
        ASSERT_EQ(CDF_set_shape(1, rec_), 0);
        count_ = CDF_def_long_var("count");
        ASSERT_GE(text_, 0);
        ASSERT_GE(vals_, 0);
        ASSERT_GE(count_, 0);
        ASSERT_EQ(CDF_put_long_range_att(count_, 0, 20), 0);
        ASSERT_EQ(CDF_put_fill_att(vals_), 0);
        ASSERT_EQ(CDF_end_def(), 0);
    }

    testutil::TempDir tmp_{"vok_cdf"};
    std::string dir_ = tmp_.path().string();
    int rec_ = -1, text_ = -1, vals_ = -1, count_ = -1;
};

}  // namespace

TEST_F(Cdf, WritesLandWhereThePositionSays)
{
    make_file("a.nc");
    ASSERT_EQ(CDF_set_pos(1, 0), 0);
    EXPECT_EQ(CDF_put_str(text_, ""), 0);  // a single NUL
    EXPECT_EQ(CDF_put_long(count_, 7), 0);
    ASSERT_EQ(CDF_set_pos(1, 1), 0);
    EXPECT_EQ(CDF_put_str(text_, "abc"), 0);
    const float three[3] = {1.5f, 2.5f, 3.5f};
    ASSERT_EQ(CDF_set_range(2, 1, 1, 0, 2), 0);
    EXPECT_EQ(CDF_put_float_array(vals_, three), 0);
    // A count of 0 writes nothing, not even into a record beyond the last.
    ASSERT_EQ(CDF_set_range(2, 5, 1, 0, 0), 0);
    EXPECT_EQ(CDF_put_float_array(vals_, three), 0);
    EXPECT_EQ(CDF_get_dim_size(-1), 2);
    EXPECT_EQ(CDF_get_dim_size(CDF_get_dim("lev")), 3);
    ASSERT_EQ(CDF_close(), 0);

    int nc;
    ASSERT_EQ(nc_open(path("a.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
    char text[2][4];
    const size_t start[2] = {0, 0}, cnt[2] = {2, 4};
    ASSERT_EQ(nc_get_vara_text(nc, 0, start, cnt, &text[0][0]), NC_NOERR);
    EXPECT_EQ(text[0][0], '\0');
    EXPECT_EQ(std::string(text[1], 3), "abc");
    EXPECT_EQ(text[1][3], '\0');
    float vals[2][3];
    const size_t vcnt[2] = {2, 3};
    ASSERT_EQ(nc_get_vara_float(nc, 1, start, vcnt, &vals[0][0]), NC_NOERR);
    EXPECT_EQ(vals[1][0], 1.5f);
    EXPECT_EQ(vals[1][1], 2.5f);
    EXPECT_EQ(vals[1][2], CDF_FILL_FLOAT);  // not written: the fill value
    EXPECT_EQ(vals[0][0], CDF_FILL_FLOAT);
    int range[2] = {-1, -1};
    ASSERT_EQ(nc_get_att_int(nc, 2, "valid_range", range), NC_NOERR);
    EXPECT_EQ(range[0], 0);
    EXPECT_EQ(range[1], 20);
    nc_type type;
    ASSERT_EQ(nc_inq_atttype(nc, 2, "valid_range", &type), NC_NOERR);
    EXPECT_EQ(type, NC_INT);
    nc_close(nc);
}

TEST_F(Cdf, ReopenedForWritingIsInDataModeAndKeepsItsRecords)
{
    make_file("b.nc");
    CDF_set_pos(1, 2);
    CDF_put_long(count_, 3);
    ASSERT_EQ(CDF_close(), 0);

    const int id = CDF_open(path("b.nc").c_str(), 2);
    ASSERT_GE(id, 0);
    EXPECT_EQ(CDF_get_dim_size(-1), 3);
    EXPECT_EQ(CDF_get_dim("missing"), -1);
    EXPECT_EQ(CDF_get_var("count"), count_);
    CDF_set_pos(1, 1);
    EXPECT_EQ(CDF_put_long(count_, 9), 0);  // data mode: no CDF_end_def needed
    EXPECT_EQ(CDF_get_dim_size(-1), 3);
    CDF_set_pos(1, 4);
    EXPECT_EQ(CDF_put_long(count_, 9), 0);
    EXPECT_EQ(CDF_get_dim_size(-1), 5);
    // Any other access leaves the current file as it is.
    EXPECT_EQ(CDF_open(path("b.nc").c_str(), 7), id);
}

TEST_F(Cdf, FailuresAreResultsNotSilentSuccess)
{
    EXPECT_EQ(CDF_open(path("none.nc").c_str(), 0), -1);
    EXPECT_EQ(CDF_open((dir_ + "/no/such/dir/x.nc").c_str(), 1), -1);
    // No current file: writes are skipped, definitions fail.
    CDF_close();
    EXPECT_EQ(CDF_put_float(0, 1.0f), 0);
    EXPECT_EQ(CDF_def_float_var("x"), -1);
    EXPECT_EQ(CDF_set_shape(11), -1);
    EXPECT_EQ(CDF_set_pos(-1), -1);

    make_file("c.nc");
    // A text longer than its dimension is refused by the library.
    CDF_set_pos(1, 0);
    EXPECT_EQ(CDF_put_str(text_, "toolong"), -1);
    EXPECT_EQ(CDF_put_float(-1, 1.0f), 0);  // a variable that failed: skipped
    // Attributes of a variable that failed are not put on the file.
    EXPECT_EQ(CDF_put_base_att(-1, "lost", "units"), -1);
    char buf[8];
    EXPECT_EQ(CDF_get_glob_att("long_name", buf, sizeof buf), -1);
}

TEST_F(Cdf, GlobalTextAttributesStayInsideTheBuffer)
{
    ASSERT_GE(CDF_open(path("g.nc").c_str(), 1), 0);
    const std::string long_text(300, 'L');
    ASSERT_EQ(CDF_put_glob_att("long", long_text.c_str()), 0);
    ASSERT_EQ(CDF_put_glob_att("short", "06Z 06 FEB 26"), 0);
    CDF_set_shape(0);
    const int v = CDF_def_long_var("n");
    ASSERT_EQ(CDF_put_long_fill_att(v, 0), 0);
    ASSERT_EQ(CDF_end_def(), 0);

    char buf[40];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(CDF_get_glob_att("short", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "06Z 06 FEB 26");
    EXPECT_EQ(CDF_get_glob_att("long", buf, sizeof buf), 1);
    EXPECT_EQ(std::string(buf), long_text.substr(0, 39));
    EXPECT_EQ(CDF_get_glob_att("absent", buf, sizeof buf), -1);
    ASSERT_EQ(CDF_close(), 0);

    int nc;
    ASSERT_EQ(nc_open(path("g.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
    size_t len = 0;
    ASSERT_EQ(nc_inq_attlen(nc, NC_GLOBAL, "short", &len), NC_NOERR);
    EXPECT_EQ(len, 13u);  // no terminating NUL stored
    nc_close(nc);
}
