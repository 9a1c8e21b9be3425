// Great-circle distance for the station selection by range.
#include <cmath>

#include "vok.h"

namespace {

constexpr float DEG_TO_RAD = 0.017453292519943334f;

}  // namespace

float calc_distance(float lat1, float lon1, float lat2, float lon2)
{
    const float p1 = lat1 * DEG_TO_RAD;
    const float p2 = lat2 * DEG_TO_RAD;
    const float dl = (lon1 - lon2) * DEG_TO_RAD;
    float c = std::sin(p1) * std::sin(p2) + std::cos(p1) * std::cos(p2) * std::cos(dl);
    // Rounding in single precision can push the cosine of a very short (or
    // antipodal) arc just beyond 1 (-1); acos would then give NaN and a
    // station at the very centre of a range would fail every range test.
    if (c > 1.0f) c = 1.0f;
    if (c < -1.0f) c = -1.0f;
    return 100.0f * 63.713f * std::acos(c);
}
