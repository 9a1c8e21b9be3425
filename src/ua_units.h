// The unit factors of the conversion, each spelled once. The suite's record
// keeps speeds in knots and wind heights in feet with the factors its forms
// have always used; the soundings keep the reported figures and give SI
// units with the knot as the code forms define it.
#pragma once

namespace ua {

// A knot in millionths of a metre per second: the CSV form writes a speed
// in knots times this figure as an exact decimal.
inline constexpr long long MICRO_MPS_PER_KNOT = 514444;
inline constexpr double METRES_PER_SECOND_PER_KNOT = static_cast<double>(MICRO_MPS_PER_KNOT) / 1e6;

// The record's factors: metres per second reported become knots by this,
// the record's knots become metres per second in its netCDF form by the
// other.
inline constexpr float RECORD_KNOTS_PER_MPS = 1.944f;
inline constexpr double RECORD_MPS_PER_KNOT = 0.5144;

inline constexpr double METRES_PER_FOOT = 0.3048;

}  // namespace ua
