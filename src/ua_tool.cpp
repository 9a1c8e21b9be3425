// The in-memory upper-air report: its initial state, the mandatory-level
// table, the merging of significant and wind levels that arrive from several
// report parts, the ordering before a report is written, and its listing.
#include "vokupa.h"

#include <cstdint>
#include <cstring>
#include <utility>

// Pressures of the mandatory-level slots; 990, 880 and 770 only mark the
// surface, tropopause and maximum-wind rows, whose pressures come from the
// report itself.
const int man_pres[UPA_NUM_SLOTS] = {990, 1000, 925, 850, 700, 500, 400, 300, 250, 200, 150, 100,
                          70,  50,   30,  20,  10,  7,   5,   3,   2,   1,   880, 770};

namespace {

// A count read from a record, kept within its list whatever the record holds.
int used_rows(std::int32_t count, int limit)
{
    if (count < 0) return 0;
    return count > limit ? limit : count;
}

}  // namespace

int UPA_initialize(UPA_report* rep)
{
    if (!rep) return -1;
    rep->id[0] = '\0';
    rep->area[0] = '\0';
    rep->wmo = VOK_MISSING;
    rep->lat = VOK_MISSING_F;
    rep->lon = VOK_MISSING_F;
    rep->elev = VOK_MISSING_F;
    rep->time = VOK_MISSING;
    constexpr float M = VOK_MISSING_F;
    for (auto& row : rep->man) row = {M, M, M, M, M, M};
    for (auto& row : rep->sig) row = {M, M, M};
    for (auto& row : rep->wnd) row = {M, M, M};
    rep->numman = 0;
    rep->numsig = 0;
    rep->numwnd = 0;
    return 0;
}

int UPA_mandatory(float p)
{
    // The sixteen standard levels of the file writer, in its order; the
    // lowest stratospheric levels (7 to 1 hPa) are not among them.
    static constexpr float levels[16] = {1000, 925, 850, 700, 500, 400, 300, 250,
                                         200,  150, 100, 70,  50,  30,  20,  10};
    for (int i = 0; i < 16; ++i) {
        if (p == levels[i]) return i + 1;
    }
    return 0;
}

namespace {

// The row of a list (its first member `key`) at v, else a new row appended
// with v and its other values missing; -1 when the list is full.
template <class Row, int N>
int find_or_append(Row (&rows)[N], std::int32_t* count, float Row::*key, float v)
{
    const int n = used_rows(*count, N);
    for (int r = 0; r < n; ++r)
        if (rows[r].*key == v) return r;
    if (n >= N) return -1;
    rows[n] = {v, VOK_MISSING_F, VOK_MISSING_F};
    *count = n + 1;
    return n;
}

}  // namespace

int UPA_find_sig(UPA_report* rep, float p)
{
    if (!rep) return -1;
    return find_or_append(rep->sig, &rep->numsig, &UPA_sig::p, p);
}

int UPA_find_wnd(UPA_report* rep, float h)
{
    if (!rep) return -1;
    return find_or_append(rep->wnd, &rep->numwnd, &UPA_wnd::h, h);
}

int UPA_add_sig(UPA_report* rep, float p, float t, float td)
{
    const int i = UPA_find_sig(rep, p);
    if (i < 0) return 0;
    rep->sig[i] = {p, t, td};
    return 1;
}

int UPA_add_wnd(UPA_report* rep, float h, float dir, float spd)
{
    const int i = UPA_find_wnd(rep, h);
    if (i < 0) return 0;
    rep->wnd[i] = {h, dir, spd};
    return 1;
}

int UPA_sort_report(UPA_report* rep)
{
    if (!rep) return -1;
    // Significant levels from the ground up (decreasing pressure), winds from
    // the surface up (increasing height): a plain exchange sort, the lists
    // being short and sorted once per station.
    const int ns = used_rows(rep->numsig, UPA_MAX_SIG);
    for (int i = 0; i < ns; ++i) {
        for (int j = i + 1; j < ns; ++j) {
            if (rep->sig[i].p < rep->sig[j].p) std::swap(rep->sig[i], rep->sig[j]);
        }
    }
    const int nw = used_rows(rep->numwnd, UPA_MAX_WND);
    for (int i = 0; i < nw; ++i) {
        for (int j = i + 1; j < nw; ++j) {
            if (rep->wnd[i].h > rep->wnd[j].h) std::swap(rep->wnd[i], rep->wnd[j]);
        }
    }
    return 0;
}

// ---------------------------------------------------------------- listing

namespace {

void print_station(M_type mask, const UPA_report* rep)
{
    // The identifier is read at most to the end of its field, terminated or not.
    MESS_print(mask, "STA: %5.11s WMO: %05ld LAT: %7.2f LON: %7.2f\n", rep->id,
               static_cast<long>(rep->wmo), static_cast<double>(rep->lat),
               static_cast<double>(rep->lon));
}

void print_man(M_type mask, const UPA_report* rep)
{
    MESS_print(mask, "     Press    Height   Temp    Dewpt     Dir    Spd\n");
    for (int slot = 0; slot < UPA_NUM_MAN; ++slot) {
        const UPA_man& r = rep->man[slot];
        if (r.p == VOK_MISSING_F) continue;
        const char* label = slot == UPA_SLOT_SURFACE  ? "SFC  "
                            : slot == UPA_SLOT_TROPO   ? "TROP "
                            : slot == UPA_SLOT_MAXWIND ? "MWND "
                                                       : "     ";
        MESS_print(mask, "%s%6.1f  %7.0f  %7.1f %7.1f  %6.0f %6.0f\n", label,
                   static_cast<double>(r.p), static_cast<double>(r.h), static_cast<double>(r.t),
                   static_cast<double>(r.td), static_cast<double>(r.dir),
                   static_cast<double>(r.spd));
    }
}

// Rows 0 .. n-1 in two columns read downwards: with k = (n + 1) / 2, line j
// holds rows j and j + k; an odd last row stands alone.
template <class Row, class PrintPair, class PrintOne>
void two_columns(const Row* rows, int n, PrintPair pair, PrintOne one)
{
    const int k = (n + 1) / 2;
    for (int j = 0; j < n / 2; ++j) pair(rows[j], rows[j + k]);
    if (n % 2) one(rows[k - 1]);
}

void print_sig(M_type mask, const UPA_report* rep)
{
    MESS_print(mask, "Press    Temp    Dewpt     Press    Temp    Dewpt\n");
    two_columns(
        rep->sig, used_rows(rep->numsig, UPA_MAX_SIG),
        [mask](const UPA_sig& a, const UPA_sig& b) {
            MESS_print(mask, "%6.1f  %7.1f %7.1f    %6.1f  %7.1f %7.1f\n",
                       static_cast<double>(a.p), static_cast<double>(a.t),
                       static_cast<double>(a.td), static_cast<double>(b.p),
                       static_cast<double>(b.t), static_cast<double>(b.td));
        },
        [mask](const UPA_sig& a) {
            MESS_print(mask, "%6.1f  %7.1f %7.1f\n", static_cast<double>(a.p),
                       static_cast<double>(a.t), static_cast<double>(a.td));
        });
}

void print_wnd(M_type mask, const UPA_report* rep)
{
    MESS_print(mask, "Height    Dir    Spd     Height    Dir    Spd\n");
    two_columns(
        rep->wnd, used_rows(rep->numwnd, UPA_MAX_WND),
        [mask](const UPA_wnd& a, const UPA_wnd& b) {
            MESS_print(mask, "%6.0f  %6.0f %6.0f    %6.0f  %6.0f %6.0f\n",
                       static_cast<double>(a.h), static_cast<double>(a.dir),
                       static_cast<double>(a.spd), static_cast<double>(b.h),
                       static_cast<double>(b.dir), static_cast<double>(b.spd));
        },
        [mask](const UPA_wnd& a) {
            MESS_print(mask, "%6.0f  %6.0f %6.0f\n", static_cast<double>(a.h),
                       static_cast<double>(a.dir), static_cast<double>(a.spd));
        });
}

}  // namespace

// The decoders list every part they fill; with the level off nothing is
// formatted at all.

int UPA_print_report(M_type mask, const UPA_report* rep)
{
    if (!rep || !MESS_check(mask)) return 0;
    print_man(mask, rep);
    print_sig(mask, rep);
    print_wnd(mask, rep);
    MESS_print(mask, "\n");
    return 0;
}

int UPA_print_man(M_type mask, const UPA_report* rep)
{
    if (!rep || !MESS_check(mask)) return 0;
    print_station(mask, rep);
    print_man(mask, rep);
    return 0;
}

int UPA_print_sig(M_type mask, const UPA_report* rep)
{
    if (!rep || !MESS_check(mask)) return 0;
    print_station(mask, rep);
    print_sig(mask, rep);
    return 0;
}

int UPA_print_wnd(M_type mask, const UPA_report* rep)
{
    if (!rep || !MESS_check(mask)) return 0;
    print_station(mask, rep);
    print_wnd(mask, rep);
    MESS_print(mask, "\n");
    return 0;
}
