// The fixture and checks shared by the decoder tests: a decode time of
// 12 UTC with the window of a conversion run, expectations on the rows of a
// station record, and parts taken from the real feeds.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "test_util.h"
#include "vok.h"
#include "vokupa.h"
namespace dec_test {

// Decoding for 12 UTC with the window of a conversion run (-120/+120 min).
class UaDecoders : public ::testing::Test {
protected:
    UPA_report rep{};
    void SetUp() override
    {
        clean();
        DATE_set_range(-120, 120);
        set_decode_hour(12);
        UPA_initialize(&rep);
    }
    void TearDown() override { clean(); }
    static void clean()
    {
        DATE_reset();
        FILE_clear_time();
        RES_clear();
        MESS_reset();
    }
    static void set_decode_hour(int hour)
    {
        Date d;
        DATE_init(&d);
        d.year = 2024;
        d.month = 1;
        d.day = 7;
        d.hour = hour;
        d.min = 0;
        d.sec = 0;
        DATE_set_datim(&d);
    }
    int ttaa(const std::string& text, int kind = UPA_TTAA)
    {
        return UPA_decode_TTAA(text.c_str(), kind, &rep);
    }
    int ttbb(const std::string& text, int kind = UPA_TTBB)
    {
        return UPA_decode_TTBB(text.c_str(), kind, &rep);
    }
    int ppaa(const std::string& text) { return UPA_decode_PPAA(text.c_str(), UPA_PPAA, &rep); }
    int ppbb(const std::string& text, int kind = UPA_PPBB)
    {
        return UPA_decode_PPBB(text.c_str(), kind, &rep);
    }
    // Row of the wind level at height h (feet), -1 when there is none.
    int wnd_row(float h) const
    {
        for (int i = 0; i < rep.numwnd; ++i) {
            if (rep.wnd[i].h == h) return i;
        }
        return -1;
    }
    int sig_row(float p) const
    {
        for (int i = 0; i < rep.numsig; ++i) {
            if (rep.sig[i].p == p) return i;
        }
        return -1;
    }
};

inline constexpr float M = VOK_MISSING_F;

inline void expect_man(const UPA_report& r, int slot, float p, float h, float t, float td, float dir,
                float spd)
{
    SCOPED_TRACE("slot " + std::to_string(slot));
    const UPA_man& m = r.man[slot];
    EXPECT_FLOAT_EQ(m.p, p);
    EXPECT_FLOAT_EQ(m.h, h);
    EXPECT_NEAR(m.t, t, 1e-4);
    EXPECT_NEAR(m.td, td, 1e-4);
    EXPECT_FLOAT_EQ(m.dir, dir);
    EXPECT_NEAR(m.spd, spd, 1e-3);
}

inline void expect_sig(const UPA_report& r, int row, float p, float t, float td)
{
    SCOPED_TRACE("sig row " + std::to_string(row));
    ASSERT_GE(row, 0);
    EXPECT_FLOAT_EQ(r.sig[row].p, p);
    EXPECT_NEAR(r.sig[row].t, t, 1e-4);
    EXPECT_NEAR(r.sig[row].td, td, 1e-4);
}

inline void expect_wnd(const UPA_report& r, int row, float h, float dir, float spd)
{
    SCOPED_TRACE("wnd row " + std::to_string(row));
    ASSERT_GE(row, 0);
    EXPECT_FLOAT_EQ(r.wnd[row].h, h);
    EXPECT_FLOAT_EQ(r.wnd[row].dir, dir);
    EXPECT_NEAR(r.wnd[row].spd, spd, 1e-3);
}

// Text of the first part of the given kind and identifier in a bulletin
// file of the shared data; empty when the file or the part is not there.
inline std::string real_part(const char* file, int kind, const char* id)
{
    UPA_read_raw_reset();
    std::string found;
    testutil::for_each_raw_part(testutil::bulletin_dir() / file,
                                [&](const char* text, const char* rid, int type) {
                                    if (found.empty() && type == kind && std::strcmp(rid, id) == 0)
                                        found = text;
                                });
    UPA_read_raw_reset();
    return found;
}

// The values of a decoded report stay physical: standard levels at their
// own pressure, pressures, directions, speeds and temperatures in range.
inline void expect_physical(const UPA_report& rep)
{
    for (int s = 0; s < UPA_NUM_MAN; ++s) {
        const UPA_man& m = rep.man[s];
        if (s >= UPA_SLOT_A_FIRST && s <= UPA_SLOT_C_LAST && m.p != M) {
            EXPECT_FLOAT_EQ(m.p, man_pres[s]);
        }
        if (s == UPA_SLOT_SURFACE || s == UPA_SLOT_TROPO || s == UPA_SLOT_MAXWIND) {
            EXPECT_TRUE(m.p == M || (m.p > 0 && m.p < 1100)) << s << " " << m.p;
        }
        EXPECT_TRUE(m.dir == M || (m.dir >= 0 && m.dir <= 365)) << s;
        EXPECT_TRUE(m.spd == M || (m.spd >= 0 && m.spd <= 249 * 1.944f + 0.01f)) << s;
        EXPECT_TRUE(m.t == M || (m.t > -100 && m.t < 100)) << s;
    }
    EXPECT_FLOAT_EQ(rep.man[UPA_SLOT_OVERFLOW].p, M);
    for (int j = 0; j < rep.numsig; ++j) {
        EXPECT_TRUE(rep.sig[j].p > 0 && rep.sig[j].p < 1100) << rep.sig[j].p;
    }
    for (int j = 0; j < rep.numwnd; ++j) {
        EXPECT_TRUE(rep.wnd[j].h >= 0 && rep.wnd[j].h < 200000) << rep.wnd[j].h;
    }
}

inline bool have_shared_data()
{
    FILE* fp = std::fopen((std::string(SONDEX_SHARED_DATA) + "/bulletins/README.md").c_str(), "r");
    if (!fp) return false;
    std::fclose(fp);
    return true;
}

// Reports cut from real feeds by the bulletin reader, decoded and checked
// level by level against values worked out by hand from the code groups.

class UaDecodersReal : public UaDecoders {
protected:
    void SetUp() override
    {
        UaDecoders::SetUp();
        if (!have_shared_data()) GTEST_SKIP() << "no shared bulletins";
    }
    // Decodes the part into the slot; the part must be in the file.
    void decode(const char* file, int kind, const char* id)
    {
        const std::string text = real_part(file, kind, id);
        ASSERT_FALSE(text.empty()) << file << " " << type_str[kind] << " " << id;
        ASSERT_EQ(UPA_decode_part(text.c_str(), kind, &rep), 1) << text;
    }
};

}  // namespace dec_test

using dec_test::M;
using dec_test::UaDecoders;
using dec_test::expect_man;
using dec_test::expect_sig;
using dec_test::expect_wnd;
using dec_test::UaDecodersReal;
