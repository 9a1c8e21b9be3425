// Flags: process-wide numeric switches that the resource conversions set and
// other modules read, so that a module can learn "batch mode" or "file
// parameter mode" without parsing resources itself.
#include "vok.h"

#include <array>

namespace {

// Numbered 0..29; 0 before the resource decoding, VOK_MISSING after it for
// every flag that no resource set.
std::array<long, FLAG_NUM> flags{};

// Drawing components of the plotting programs: 0 is the sum of 1..6, 12 the
// sum of 0..11.
constexpr int PLOT_NUM = 13;
std::array<int, PLOT_NUM> plot_it{};

bool valid(int num) { return num >= 0 && num < FLAG_NUM; }

} // namespace

int FLAG_get(int num)
{
    return valid(num) ? static_cast<int>(flags[num]) : 0;
}

long FLAG_getl(int num)
{
    return valid(num) ? flags[num] : 0;
}

int FLAG_set(int num, int value)
{
    return FLAG_setl(num, value);
}

int FLAG_setl(int num, long value)
{
    if (!valid(num)) return -1;
    flags[num] = value;
    return 0;
}

int FLAG_reset(long value)
{
    flags.fill(value);
    return 0;
}

int FLAG_batch()
{
    return flags[FLAG_BATCH_NUM] > 0 ? 1 : 0;
}

int FLAG_help()
{
    return flags[FLAG_HELP_NUM] > 0 ? 1 : 0;
}

int FLAG_setplot(int num, int value)
{
    if (num < 0 || num >= PLOT_NUM) return -1;
    plot_it[num] = value;
    if (num == 12) {
        for (int i = 0; i < 12; ++i) plot_it[i] = value;
    } else if (num == 0) {
        for (int i = 0; i <= 6; ++i) plot_it[i] = value;
    }
    int sum = 0;
    for (int i = 1; i <= 6; ++i) sum += plot_it[i];
    plot_it[0] = sum;
    sum = 0;
    for (int i = 0; i < 12; ++i) sum += plot_it[i];
    plot_it[12] = sum;
    return 0;
}

int FLAG_resetplot(int value)
{
    plot_it.fill(value);
    return 0;
}

int FLAG_getplot(int num)
{
    return (num >= 0 && num < PLOT_NUM) ? plot_it[num] : 0;
}

void FLAG_clear()
{
    flags.fill(0);
    plot_it.fill(0);
}
