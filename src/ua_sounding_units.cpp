// Calendar arithmetic of the decode window, and a level's values in the
// units the output forms give, from the code figures the sounding keeps.
#include <cmath>
#include <limits>

#include "ua_sounding.h"

namespace ua {

namespace {

constexpr double NONE = std::numeric_limits<double>::quiet_NaN();
constexpr std::int64_t SEC_DAY = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
constexpr std::int64_t days_from_civil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// A month that runs outside 1..12 carried into the year.
void carry_month(int& year, int& month)
{
    const int m0 = month - 1;
    const int q = m0 >= 0 ? m0 / 12 : (m0 - 11) / 12;
    year += q;
    month = m0 - q * 12 + 1;
}

bool known(int v) { return v != VOK_MISSING; }

}  // namespace

std::int64_t utc_seconds(int year, int month, int day, int hour, int minute)
{
    carry_month(year, month);
    return days_from_civil(year, month, day) * SEC_DAY + hour * 3600LL + minute * 60LL;
}

int days_in_month(int year, int month)
{
    carry_month(year, month);
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

UtcTime utc_time(std::int64_t seconds)
{
    std::int64_t days = seconds / SEC_DAY;
    std::int64_t rest = seconds % SEC_DAY;
    if (rest < 0) {
        rest += SEC_DAY;
        --days;
    }
    // The inverse of days_from_civil.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2));
    return {year, month, day, static_cast<int>(rest / 3600), static_cast<int>(rest % 3600 / 60)};
}

std::optional<std::int64_t> observation_time(const DecodeWindow& window, int day, int hour)
{
    if (day < 1 || day > 31 || hour < 0 || hour > 23) return std::nullopt;
    const UtcTime d = utc_time(window.base);
    std::optional<std::int64_t> best;
    for (int dm = -1; dm <= 1; ++dm) {
        if (day > days_in_month(d.year, d.month + dm)) continue;
        const std::int64_t t = utc_seconds(d.year, d.month + dm, day, hour);
        const auto dist = [&](std::int64_t x) { return x > window.base ? x - window.base : window.base - x; };
        if (!best || dist(t) < dist(*best)) best = t;
    }
    return best;
}

double pressure_hPa(const Level& level)
{
    return known(level.p10) ? level.p10 / 10.0 : NONE;
}

double height_m(const Level& level)
{
    return known(level.z) ? static_cast<double>(level.z) : NONE;
}

double temperature_C(const Level& level)
{
    return known(level.t10) ? level.t10 / 10.0 : NONE;
}

double dew_point_C(const Level& level)
{
    const int td = dew_point10(level);
    return known(td) ? td / 10.0 : NONE;
}

double wind_direction_deg(const Level& level)
{
    return known(level.dir) ? static_cast<double>(level.dir) : NONE;
}

double wind_speed_mps(const Level& level)
{
    if (!known(level.spd)) return NONE;
    return level.knots ? level.spd * METRES_PER_SECOND_PER_KNOT : static_cast<double>(level.spd);
}

}  // namespace ua
