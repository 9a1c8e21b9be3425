// Tests of the legacy netCDF record, read back by netCDF4-python and
// ncdump: counts and extreme values unmasked, the older form's units, the
// origin of ship and mobile reports.
#include <gtest/gtest.h>

#include <string>

#include "test_ua_read_util.h"
#include "vokupa.h"

using namespace uatest;

TEST_F(UaRead, NetcdfZeroCountsAndExtremeReportedValuesAreNotMasked)
{
    // No significant or wind level: counts of 0, which a fill value of 0 hid.
    UPA_report r = station("DRY", 1001, 70.93f, -8.67f);
    r.numman = 20;
    r.man[1] = {1000, -224, 1.0f, -3.0f, 90, 10};      // a deep high: 1000 hPa below sea level
    r.man[7] = {250, 10400, -99.9f, -148.9f, 270, 80};  // the driest the code can say
    NcValues nc = python_read(write_file("x.nc", UPA_FILE_CDF, {r}));
    EXPECT_EQ(nc.vars["num_sigt"][0][0], "0.0");
    EXPECT_EQ(nc.vars["num_sigw"][0][0], "0.0");
    EXPECT_EQ(nc.vars["Z_man"][0][1], "-224.0");
    EXPECT_EQ(static_cast<float>(std::stod(nc.vars["TD_man"][0][7])), -148.9f);
    // The older form keeps knots and feet, and its attributes say so.
    const std::string old = run("ncdump -h " + write_file("old.nc", UPA_FILE_CDF_STATION, {r})).out;
    EXPECT_NE(old.find("spd_man:units = \"knots\""), std::string::npos) << old;
    EXPECT_NE(old.find("z_sigw:units = \"feet\""), std::string::npos) << old;
}

TEST_F(UaRead, NetcdfTypeOfShipsAndMobileStationsIsNotLand)
{
    UPA_report ship = station("WTEC", 99999, 50.5f, -145.0f);
    std::snprintf(ship.area, sizeof ship.area, "SH");
    UPA_report mobile = station("ZXYW1", 99999, 46.2f, 6.1f);
    std::snprintf(mobile.area, sizeof mobile.area, "MO");
    for (int type : {UPA_FILE_CDF, UPA_FILE_CDF_STATION}) {
        const std::string p = write_file("origin" + std::to_string(type), type, {denver(), ship, mobile});
        EXPECT_NE(run("ncdump -v type " + p).out.find("type =\n  \"LAND\",\n  \"SHIP\",\n  \"MOBILE\" ;"),
                  std::string::npos)
            << type;
    }
}
