#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "vok.h"
#include "vokcty.h"
#include "vokupa.h"

namespace fs = std::filesystem;

namespace {

// What the test initialiser leaves in every slot.
struct Slot {
    char first;  // the database sets it to 0 before the initialiser runs
    char id[VOK_ID_LEN];
    int wmo;
    float lat;
    int order;
};
int slots_made = 0;
int slots_dirty = 0;

int test_enter(const CTY_data* data, void* slot)
{
    auto* s = static_cast<Slot*>(slot);
    if (s->first != 0) ++slots_dirty;
    std::snprintf(s->id, sizeof s->id, "%s", data->id);
    s->wmo = data->wmo;
    s->lat = data->lat;
    s->order = slots_made++;
    return 0;
}

const char* kStations =
    "DENVER               CO US KDEN      1*    39.7675 -104.8694  1611.0 72469 0\n"
    "DODGE_CITY           KS US KDDC      2     37.7614  -99.9686   786.4 72451 0\n"
    "OAKLAND              CA US KOAK      *3*   37.7300 -122.2200     3.0 72493 0\n"
    "BELEM                -- B_ SBBE      9     -1.3800  -48.4800  9999.0 01234 7\n"
    "NUMBERED             -- JN 72451     7      70.0000   -8.0000    10.0 01001 0\n";

class Cty : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override
    {
        reset();
        dir = fs::temp_directory_path() / ("sondex_cty_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        reset();
        fs::remove_all(dir);
    }
    // Every test starts with test slots registered.
    static void reset()
    {
        CTY_reset();
        RES_clear();
        MAP_reset();
        slots_made = 0;
        slots_dirty = 0;
        CTY_data_size(sizeof(Slot));
        CTY_enter_func(test_enter);
    }
    std::string write(const std::string& name, const std::string& text)
    {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    // Loads text with test slots and the conversion's arguments.
    int load(const std::string& text)
    {
        const std::string file = write("test.cty", text);
        return CTY_store(file.c_str(), 1, nullptr, 10);
    }
    static std::vector<std::string> walk()
    {
        std::vector<std::string> ids;
        for (int i = 0;; ++i) {
            auto* s = static_cast<Slot*>(CTY_next_data(i));
            if (!s) break;
            ids.emplace_back(s->id);
        }
        return ids;
    }
    static std::string found_id(const char* key)
    {
        auto* s = static_cast<Slot*>(CTY_get_data(key));
        return s ? s->id : "(null)";
    }
};

CTY_data station(const char* name, const char* state, const char* region, const char* id, int prior,
                 float lat, float lon, float el, int wmo)
{
    CTY_data d{};
    std::snprintf(d.name, sizeof d.name, "%s", name);
    std::snprintf(d.state, sizeof d.state, "%s", state);
    std::snprintf(d.region, sizeof d.region, "%s", region);
    std::snprintf(d.id, sizeof d.id, "%s", id);
    d.prior = prior;
    d.lat = lat;
    d.lon = lon;
    d.el = el;
    d.wmo = wmo;
    return d;
}

int cmp(std::vector<const char*> vals, const CTY_data& d)
{
    return CTY_data_cmp(static_cast<int>(vals.size()), const_cast<char**>(vals.data()), &d);
}

}  // namespace

TEST_F(Cty, LineFieldsPriorityFlagsAndMissingElevation)
{
    CTY_data d{};
    EXPECT_EQ(CTY_scan_line("OAKLAND CA US KOAK *3* 37.73 -122.22 3.0 72493 5", &d), 10);
    EXPECT_STREQ(d.name, "OAKLAND");
    EXPECT_STREQ(d.state, "CA");
    EXPECT_STREQ(d.region, "US");
    EXPECT_STREQ(d.id, "KOAK");
    EXPECT_EQ(d.prior, 3);
    EXPECT_EQ(d.mos, '*');
    EXPECT_EQ(d.ua, '*');
    EXPECT_FLOAT_EQ(d.lat, 37.73f);
    EXPECT_FLOAT_EQ(d.lon, -122.22f);
    EXPECT_FLOAT_EQ(d.el, 3.0f);
    EXPECT_EQ(d.wmo, 72493);
    EXPECT_EQ(d.num, 5);

    EXPECT_EQ(CTY_scan_line("BELEM -- B_ SBBE 7 -1.38 -48.48 9999 01234 0", &d), 10);
    EXPECT_EQ(d.prior, 7);
    EXPECT_EQ(d.mos, ' ');
    EXPECT_EQ(d.ua, ' ');
    EXPECT_FLOAT_EQ(d.el, VOK_MISSING_F);
    EXPECT_EQ(d.wmo, 1234);

    EXPECT_EQ(CTY_scan_line("X -- XX - 1* 0 0 9000.5 1 0", &d), 10);
    EXPECT_EQ(d.ua, '*');
    EXPECT_FLOAT_EQ(d.el, VOK_MISSING_F);
    EXPECT_EQ(CTY_scan_line("   \t ", &d), -1);
}

TEST_F(Cty, ShortLineInheritsNothingFromTheLineBefore)
{
    const std::string file =
        write("short.cty",
              "DENVER CO US KDEN 1 39.77 -104.87 1611 72469 3\n"
              "LONELY NE\n"
              "\n"
              "HALF -- XX HALF 4 12.5\n"
              "DODGE KS US KDDC 2 37.76 -99.97 786 72451 0\n");
    ASSERT_GE(CTY_open(file.c_str(), 0, 0), 0);
    CTY_data d{};
    ASSERT_EQ(CTY_read(0, &d), 10);
    // Two fields: the rest is missing, not Denver's, and the next line is
    // not taken to complete it.
    ASSERT_EQ(CTY_read(0, &d), 2);
    EXPECT_STREQ(d.name, "LONELY");
    EXPECT_STREQ(d.state, "NE");
    EXPECT_STREQ(d.region, "");
    EXPECT_STREQ(d.id, "");
    EXPECT_EQ(d.wmo, VOK_MISSING);
    EXPECT_FLOAT_EQ(d.lat, VOK_MISSING_F);
    EXPECT_FLOAT_EQ(d.lon, VOK_MISSING_F);
    EXPECT_FLOAT_EQ(d.el, VOK_MISSING_F);
    EXPECT_EQ(d.num, 0);
    EXPECT_EQ(d.prior, VOK_MISSING);
    // The blank line is passed over.
    ASSERT_EQ(CTY_read(0, &d), 6);
    EXPECT_STREQ(d.id, "HALF");
    EXPECT_FLOAT_EQ(d.lat, 12.5f);
    EXPECT_FLOAT_EQ(d.lon, VOK_MISSING_F);
    EXPECT_EQ(d.wmo, VOK_MISSING);
    ASSERT_EQ(CTY_read(0, &d), 10);
    EXPECT_STREQ(d.id, "KDDC");
    EXPECT_EQ(CTY_read(0, &d), -1);
    EXPECT_EQ(CTY_rewind(), 0);
    EXPECT_EQ(CTY_read(0, &d), 10);
    EXPECT_EQ(CTY_close(), 0);
    EXPECT_EQ(CTY_close(), -1);
    EXPECT_EQ(CTY_read(0, &d), -1);
    EXPECT_EQ(CTY_rewind(), -1);
    EXPECT_EQ(CTY_open(file.c_str(), 2, 0), -1);
}

TEST_F(Cty, LoadsWithKeysSlotsAndLoadOrder)
{
    ASSERT_GT(load(kStations), 0);
    EXPECT_EQ(slots_made, 5);
    EXPECT_EQ(slots_dirty, 0);
    EXPECT_EQ(walk(), (std::vector<std::string>{"KDEN", "KDDC", "KOAK", "SBBE", "72451"}));

    EXPECT_EQ(found_id("KDEN"), "KDEN");
    EXPECT_EQ(found_id("72469"), "KDEN");
    // Region B_ writes its WMO key with a leading "b".
    EXPECT_EQ(found_id("b01234"), "SBBE");
    EXPECT_EQ(found_id("01234"), "(null)");
    // Five characters from a digit are a WMO key even when a station has
    // that text as its identifier.
    EXPECT_EQ(found_id("72451"), "KDDC");
    EXPECT_EQ(found_id("NOPE"), "(null)");
    EXPECT_EQ(CTY_get_data(nullptr), nullptr);
    // A lower-case four-letter key is read as a WMO key and finds nothing.
    EXPECT_EQ(found_id("kden"), "(null)");

    // The slot is the caller's: the walk and the search hand out the same one.
    auto* s = static_cast<Slot*>(CTY_get_data("KOAK"));
    ASSERT_NE(s, nullptr);
    EXPECT_FLOAT_EQ(s->lat, 37.73f);
    s->wmo = 1;
    CTY_next_data(0);
    CTY_next_data(1);
    EXPECT_EQ(static_cast<Slot*>(CTY_next_data(2))->wmo, 1);
}

TEST_F(Cty, SecondLoadLeavesEarlierSlotsValid)
{
    ASSERT_GT(load(kStations), 0);
    auto* old_slot = static_cast<Slot*>(CTY_get_data("KDEN"));
    ASSERT_NE(old_slot, nullptr);
    ASSERT_GT(load("OTHER -- XX KOTH 1 1 2 3 12345 0\n"), 0);
    EXPECT_EQ(walk(), (std::vector<std::string>{"KOTH"}));
    EXPECT_EQ(CTY_get_data("KDEN"), nullptr);
    // A slot handed out before still belongs to its station.
    EXPECT_STREQ(old_slot->id, "KDEN");
}

TEST_F(Cty, AddedStationsComeLastAndAreFound)
{
    ASSERT_GT(load(kStations), 0);
    EXPECT_EQ(CTY_make_entry_simple("ABCD", "ABCD"), 0);
    EXPECT_EQ(CTY_make_entry_simple("K2999", "72999"), 0);
    // A call sign longer than the record's identifier field stays findable.
    EXPECT_EQ(CTY_make_entry_simple("SHIPCALL10", "SHIPCALL10"), 0);
    EXPECT_EQ(found_id("ABCD"), "ABCD");
    EXPECT_EQ(found_id("72999"), "K2999");
    auto* s = static_cast<Slot*>(CTY_get_data("72999"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->wmo, 72999);
    EXPECT_FLOAT_EQ(s->lat, VOK_MISSING_F);
    EXPECT_NE(CTY_get_data("SHIPCALL10"), nullptr);
    const auto ids = walk();
    ASSERT_EQ(ids.size(), 8u);
    EXPECT_EQ(ids[5], "ABCD");
    EXPECT_EQ(ids[6], "K2999");
}

TEST_F(Cty, NoTableWithoutAFile)
{
    CTY_data_size(sizeof(Slot));
    CTY_enter_func(test_enter);
    EXPECT_EQ(CTY_store((dir / "missing.cty").c_str(), 1, nullptr, 10), 0);
    EXPECT_EQ(CTY_get_data("KDEN"), nullptr);
    EXPECT_EQ(CTY_make_entry_simple("ABCD", "ABCD"), 0);
    EXPECT_EQ(CTY_get_data("ABCD"), nullptr);
    EXPECT_EQ(CTY_next_data(0), nullptr);
    EXPECT_EQ(slots_made, 0);

    // "none" reads nothing, whatever file the caller names.
    const std::string file = write("test.cty", kStations);
    RES_put("city_file", "NONE");
    EXPECT_EQ(CTY_store(file.c_str(), 1, nullptr, 10), 0);
    EXPECT_EQ(CTY_get_data("KDEN"), nullptr);

    // An unknown store type loads nothing and leaves no file open.
    RES_put("city_file", file.c_str());
    CTY_data d{};
    EXPECT_EQ(CTY_store(file.c_str(), 2, nullptr, 10), 0);
    EXPECT_EQ(CTY_read(0, &d), -1);
    EXPECT_EQ(CTY_get_data("KDEN"), nullptr);
}

TEST_F(Cty, CityFileAndFilePathResources)
{
    write("other.cty", "ONLY -- XX ONLY 1 1 2 3 11111 0\n");
    write("test.cty", kStations);
    RES_put("file_path", dir.c_str());
    CTY_data_size(sizeof(Slot));
    EXPECT_GT(CTY_store("test.cty", 1, nullptr, 10), 0);
    EXPECT_EQ(found_id("KDEN"), "KDEN");

    reset();
    RES_put("file_path", dir.c_str());
    RES_put("city_file", "other.cty");
    EXPECT_GT(CTY_store("test.cty", 1, nullptr, 10), 0);
    EXPECT_EQ(found_id("KDEN"), "(null)");
    EXPECT_NE(CTY_get_data("ONLY"), nullptr);
}

TEST_F(Cty, BucketEstimateFollowsFileSize)
{
    int count = -1;
    // Shorter than one 59-byte line: still one bucket, and the station loads.
    const std::string tiny = write("tiny.cty", "T -- XX T 1 1 2 3 4 0\n");
    ASSERT_GE(CTY_open_file(tiny.c_str(), &count), 0);
    EXPECT_EQ(count, 1);
    const std::string mid = write("mid.cty", std::string(59 * 37 + 58, ' '));
    ASSERT_GE(CTY_open_file(mid.c_str(), &count), 0);
    EXPECT_EQ(count, 37);
    const std::string big = write("big.cty", std::string(59 * 4100, ' '));
    ASSERT_GE(CTY_open_file(big.c_str(), &count), 0);
    EXPECT_EQ(count, 4000);
    CTY_close();

    CTY_data_size(sizeof(Slot));
    ASSERT_GT(CTY_store(tiny.c_str(), 1, nullptr, 10), 0);
    EXPECT_EQ(found_id("T"), "T");
    EXPECT_EQ(found_id("00004"), "T");
}

TEST_F(Cty, IdentifierResourceSelectsStations)
{
    RES_put("identifier", "72451,KDEN");
    ASSERT_GT(load(kStations), 0);
    // 72451 is Dodge City's WMO number and the identifier of the last
    // station: a value selects by either.
    EXPECT_EQ(walk(), (std::vector<std::string>{"KDEN", "KDDC", "72451"}));

    reset();
    RES_put("identifier", "ALL");
    ASSERT_GT(load(kStations), 0);
    EXPECT_EQ(walk().size(), 5u);

    reset();
    RES_put("identifier", "Lat>30:Lat<50:Lon>-110");
    ASSERT_GT(load(kStations), 0);
    EXPECT_EQ(walk(), (std::vector<std::string>{"KDEN", "KDDC"}));
}

TEST_F(Cty, PriorityLimit)
{
    const std::string file = write("test.cty", kStations);
    CTY_data_size(sizeof(Slot));
    CTY_enter_func(test_enter);
    ASSERT_GT(CTY_store(file.c_str(), 1, nullptr, 2), 0);
    EXPECT_EQ(walk(), (std::vector<std::string>{"KDEN", "KDDC"}));

    // VOK_MISSING takes the limit from "stat_prior", 10 when it is not set.
    reset();
    EXPECT_EQ(CTY_get_prior(), 10);
    ASSERT_GT(load(kStations), 0);
    EXPECT_EQ(walk().size(), 5u);  // priority 9 passes the conversion's 10
    reset();
    RES_put("stat_prior", "3");
    EXPECT_EQ(CTY_get_prior(), 3);
    CTY_data_size(sizeof(Slot));
    ASSERT_GT(CTY_store(file.c_str(), 1, nullptr, VOK_MISSING), 0);
    EXPECT_EQ(walk(), (std::vector<std::string>{"KDEN", "KDDC", "KOAK"}));
}

TEST_F(Cty, DomainDropsStationsOffTheGrid)
{
    Domain dom{};
    dom.proj = MAP_PROJ_LATLON;
    dom.plat = dom.plon = VOK_MISSING_F;
    for (float& p : dom.param) p = VOK_MISSING_F;
    dom.clat = 38.0f;
    dom.clon = -102.0f;
    dom.dx = dom.dy = 1.0f;
    dom.nx = dom.ny = 5;
    const std::string file = write("test.cty", kStations);
    CTY_data_size(sizeof(Slot));
    ASSERT_GT(CTY_store(file.c_str(), 1, &dom, 10), 0);
    EXPECT_EQ(walk(), (std::vector<std::string>{"KDEN", "KDDC"}));
}

TEST_F(Cty, SelectionTerms)
{
    const CTY_data den = station("DENVER", "CO", "US", "KDEN", 1, 39.7675f, -104.8694f, 1611.0f, 72469);
    const CTY_data oak = station("OAKLAND", "CA", "US", "KOAK", 3, 37.73f, -122.22f, 3.0f, 72493);
    const CTY_data low = station("JAN_MAYEN", "--", "JN", "ENJA", 1, 70.93f, -8.67f, 10.0f, 1001);

    EXPECT_EQ(CTY_data_cmp(0, nullptr, &den), 1);
    EXPECT_EQ(cmp({"Name=den"}, den), 0);
    EXPECT_EQ(cmp({"name=DEN"}, oak), -1);
    EXPECT_EQ(cmp({"ST=CO"}, den), 0);
    EXPECT_EQ(cmp({"st=co"}, oak), -1);
    EXPECT_EQ(cmp({"ST=CO_US"}, den), 0);
    EXPECT_EQ(cmp({"ST:ca"}, oak), 0);
    EXPECT_EQ(cmp({"ST"}, oak), -1);  // nothing to compare with
    EXPECT_EQ(cmp({"CN=us"}, den), 0);
    EXPECT_EQ(cmp({"CN:JN"}, low), 0);
    EXPECT_EQ(cmp({"CN:JN"}, den), -1);
    EXPECT_EQ(cmp({"ID=kden"}, den), 0);
    EXPECT_EQ(cmp({"P<2"}, den), 0);
    EXPECT_EQ(cmp({"P<2"}, oak), -1);
    EXPECT_EQ(cmp({"P=3"}, oak), 0);
    EXPECT_EQ(cmp({"P>2"}, oak), 0);
    EXPECT_EQ(cmp({"Elev>1000"}, den), 0);
    EXPECT_EQ(cmp({"Elev>1000"}, oak), -1);
    EXPECT_EQ(cmp({"Lat>30:Lat<50:Lon>-110"}, den), 0);
    EXPECT_EQ(cmp({"Lat>30:Lat<50:Lon>-110"}, oak), -1);
    EXPECT_EQ(cmp({"Lat=37.73"}, oak), 0);
    EXPECT_EQ(cmp({"Lon<-120"}, oak), 0);
    EXPECT_EQ(cmp({"WMO=01001"}, low), 0);
    EXPECT_EQ(cmp({"WMO<72470:WMO>72469"}, den), 0);
    EXPECT_EQ(cmp({"WMO<72470:WMO>72470"}, den), -1);
    // Denver to Oakland is about 1520 km.
    EXPECT_EQ(cmp({"RA<39.77:-104.87:1600"}, oak), 0);
    EXPECT_EQ(cmp({"RA<39.77:-104.87:1400"}, oak), -1);
    EXPECT_EQ(cmp({"RA<39.7675:-104.8694:5"}, den), 0);  // the centre itself
    EXPECT_EQ(cmp({"RA<39.77:-104.87"}, den), -1);        // no range
    EXPECT_EQ(cmp({"RA<39.77:-104.87:2000:P<0"}, oak), -1);  // terms after the range still count
    EXPECT_EQ(cmp({"Height>3"}, den), -1);                    // unknown terms never match

    // Whole values: five digits, the identifier, more than four letters of
    // the name.
    EXPECT_EQ(cmp({"01001"}, low), 0);
    EXPECT_EQ(cmp({"1001"}, low), -1);
    EXPECT_EQ(cmp({"KOAK"}, oak), 0);
    EXPECT_EQ(cmp({"oakla"}, oak), 0);
    EXPECT_EQ(cmp({"oakl"}, oak), -1);
    // The first value that matches gives the result.
    EXPECT_EQ(cmp({"KDEN", "P<5", "72493"}, oak), 1);
    EXPECT_EQ(cmp({"", ":", "::::"}, oak), -1);
}

TEST_F(Cty, SearchesAStationFile)
{
    const std::string file = write("test.cty", kStations);
    CTY_data d{};
    EXPECT_EQ(CTY_get(file.c_str(), "oakland", &d), 1);
    EXPECT_STREQ(d.id, "KOAK");
    EXPECT_EQ(CTY_get(file.c_str(), "kddc", &d), 1);
    EXPECT_EQ(d.wmo, 72451);
    EXPECT_EQ(CTY_get(file.c_str(), "01234", &d), 1);
    EXPECT_STREQ(d.name, "BELEM");
    EXPECT_EQ(CTY_get(file.c_str(), "XXXX", &d), 0);
    EXPECT_EQ(CTY_close(), -1);  // closed after the search
    float lat = 0, lon = 0;
    EXPECT_EQ(CTY_get_loc(file.c_str(), "KDEN", &lat, &lon), 1);
    EXPECT_FLOAT_EQ(lat, 39.7675f);
    EXPECT_FLOAT_EQ(lon, -104.8694f);
    EXPECT_EQ(CTY_get_loc((dir / "missing.cty").c_str(), "KDEN", &lat, &lon), 0);
}

TEST_F(Cty, BadInputNeverBreaksTheLoad)
{
    std::string text;
    // Binary garbage with NUL bytes and no line ends for a while.
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) text.push_back(static_cast<char>(rng() & 0xFF));
    text += "\n";
    // A 10 kB line, a line of overlong fields, fields missing, duplicates.
    text += std::string(10000, 'Z') + " CO US LONG 1 1 1 1 11111 0\n";
    text += std::string(300, 'N') + " " + std::string(300, 'S') + " " + std::string(300, '9') + "\n";
    text += "DUP -- XX DUP1 1 10 10 10 22222 0\n";
    text += "DUP -- XX DUP1 1 20 20 20 22222 0\n";
    text += "MISSING\n";
    for (int i = 0; i < 100000; ++i) {
        text += "S" + std::to_string(i) + " -- XX I" + std::to_string(i) + " " + std::to_string(i % 10) +
                " 1.5 2.5 3 " + std::to_string(i) + " 0\n";
    }
    ASSERT_GT(load(text), 0);

    // Every line that scans with a position is an entry (the garbage lines
    // have none and are skipped); the walk sees them all.
    std::set<std::string> ids;
    int n = 0;
    for (int i = 0;; ++i) {
        auto* s = static_cast<Slot*>(CTY_next_data(i));
        if (!s) break;
        ++n;
        ids.insert(s->id);
    }
    EXPECT_EQ(n, slots_made);
    EXPECT_GE(n, 100000 + 1);
    for (int i = 0; i < 100000; i += 997) {
        const std::string id = "I" + std::to_string(i);
        ASSERT_EQ(found_id(id.c_str()), id);
    }
    EXPECT_EQ(found_id("I99999"), "I99999");
    // Every entry, the garbage ones included, is found by its identifier
    // (keys of the WMO-key forms excepted).
    for (const std::string& id : ids) {
        const bool wmo_form = (id.size() == 5 && std::isdigit(static_cast<unsigned char>(id[0]))) ||
                              (id.size() == 4 && id[0] >= 'a' && id[0] <= 'z');
        if (wmo_form) continue;
        auto* s = static_cast<Slot*>(CTY_get_data(id.c_str()));
        ASSERT_NE(s, nullptr) << id;
        EXPECT_EQ(std::string(s->id), id);
    }
    auto* dup = static_cast<Slot*>(CTY_get_data("DUP1"));
    ASSERT_NE(dup, nullptr);
    EXPECT_FLOAT_EQ(dup->lat, 10.0f);  // the first of the two
    EXPECT_EQ(ids.count("DUP1"), 1u);
}

TEST_F(Cty, ShippedStationTableLoadsCompletely)
{
    const std::string file = std::string(SONDEX_SOURCE_DIR) + "/upa.cty";
    std::ifstream in(file);
    ASSERT_TRUE(in.good()) << file;
    std::string line;
    int lines = 0;
    std::set<int> wmos;
    while (std::getline(in, line)) {
        CTY_data d{};
        ASSERT_EQ(CTY_scan_line(line.c_str(), &d), 10) << line;
        EXPECT_GE(d.prior, 0);
        EXPECT_LE(d.prior, 9);
        EXPECT_GE(d.lat, -90.0f);
        EXPECT_LE(d.lat, 90.0f);
        EXPECT_GE(d.lon, -180.0f);
        EXPECT_LE(d.lon, 180.0f);
        EXPECT_TRUE(wmos.insert(d.wmo).second) << "duplicate " << d.wmo;
        ++lines;
    }
    EXPECT_GT(lines, 2000);

    CTY_data_size(sizeof(UPA_report));
    ASSERT_GT(CTY_store(file.c_str(), 1, nullptr, 10), 0);
    int n = 0;
    for (int i = 0; CTY_next_data(i); ++i) ++n;
    EXPECT_EQ(n, lines);
    for (int wmo : wmos) {
        char key[8];
        std::snprintf(key, sizeof key, "%05d", wmo);
        ASSERT_NE(CTY_get_data(key), nullptr) << key;
    }
    EXPECT_NE(CTY_get_data("72469"), nullptr);
    EXPECT_NE(CTY_get_data("KDDC"), nullptr);
}

TEST_F(Cty, ShippedStationTableWithADomainKeepsTheGridAndItsMargin)
{
    const std::string file = std::string(SONDEX_SOURCE_DIR) + "/upa.cty";
    Domain dom;
    ASSERT_EQ(DOM_decode("40,-100", &dom), 1);   // polar stereographic, 25 x 17 points 120 km apart

    // Every station by hand: polar stereographic from the north pole, true at
    // 60 N (Snyder 21-5 to 21-8 with k0 = (1 + sin 60) / 2), on the 6371.22
    // km sphere, in units of 100 km; inside when within the grid and three
    // grid lengths around it.
    constexpr double R = 63.7122, D2R = M_PI / 180.0;
    auto project = [&](double lat, double lon, double* x, double* y) {
        const double rho = R * (1.0 + std::sin(60.0 * D2R)) * std::tan((45.0 - lat / 2.0) * D2R);
        *x = rho * std::sin((lon + 100.0) * D2R);
        *y = -rho * std::cos((lon + 100.0) * D2R);
    };
    double x0 = 0, y0 = 0;
    project(40.0, -100.0, &x0, &y0);
    const double reach_x = 1.2 * 24 / 2 + 3 * 1.2, reach_y = 1.2 * 16 / 2 + 3 * 1.2;
    std::set<int> inside, edge;
    std::ifstream in(file);
    ASSERT_TRUE(in.good()) << file;
    std::string line;
    while (std::getline(in, line)) {
        CTY_data d{};
        ASSERT_EQ(CTY_scan_line(line.c_str(), &d), 10);
        double x = 0, y = 0;
        project(d.lat, d.lon, &x, &y);
        const double out = std::max(std::fabs(x - x0) - reach_x, std::fabs(y - y0) - reach_y);
        if (std::fabs(out) < 1e-3) edge.insert(d.wmo);   // too close to call in single precision
        else if (out < 0) inside.insert(d.wmo);
    }
    ASSERT_GT(inside.size(), 40u);

    CTY_data_size(sizeof(Slot));
    ASSERT_GT(CTY_store(file.c_str(), 1, &dom, 10), 0);
    std::set<int> loaded;
    for (int i = 0;; ++i) {
        auto* s = static_cast<Slot*>(CTY_next_data(i));
        if (!s) break;
        loaded.insert(s->wmo);
        EXPECT_TRUE(inside.count(s->wmo) || edge.count(s->wmo)) << s->id << " off the grid";
    }
    for (int wmo : inside) EXPECT_TRUE(loaded.count(wmo)) << wmo << " lost";
    EXPECT_GE(loaded.size(), inside.size());
    EXPECT_LE(loaded.size(), inside.size() + edge.size());
}
