// Domain texts, regions, region files and menus.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "test_util.h"
#include "vok.h"
#include "vokcty.h"

namespace fs = std::filesystem;

namespace {

using testutil::Capture;
using testutil::StdinFeed;
using testutil::count_of;

constexpr float U = VOK_MISSING_F;

class Region : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override
    {
        reset();
        dir = fs::temp_directory_path() / ("sondex_region_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        // Region and station files are looked for here, never in the
        // directory the tests run in.
        RES_put("file_path", dir.c_str());
    }
    void TearDown() override
    {
        reset();
        fs::remove_all(dir);
    }
    static void reset()
    {
        RES_clear();
        MESS_reset();
        FLAG_clear();
        CTY_reset();
        DOM_reset();
        FILE_clear_names();
        MAP_reset();
    }
    void write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    // Decodes with the error stream caught; the count of invalid-domain
    // messages it printed.
    static int decode(const char* text, Domain* dom, int* messages)
    {
        Capture err(stderr);
        const int r = DOM_decode(text, dom);
        *messages = count_of(err.take(), "DOM_decode: Invalid plot domain\n");
        return r;
    }
};

void expect_unset(const Domain& d)
{
    EXPECT_EQ(d.proj, VOK_MISSING);
    EXPECT_EQ(d.plat, U);
    EXPECT_EQ(d.plon, U);
    for (float p : d.param) EXPECT_EQ(p, U);
    EXPECT_EQ(d.clat, U);
    EXPECT_EQ(d.clon, U);
    EXPECT_EQ(d.dx, U);
    EXPECT_EQ(d.dy, U);
    EXPECT_EQ(d.nx, VOK_MISSING);
    EXPECT_EQ(d.ny, VOK_MISSING);
    EXPECT_EQ(d.ellipse, 0);
}

}  // namespace

TEST_F(Region, NoDomain)
{
    Domain d;
    for (const char* text : {"miss", "MISS", "", "  ", "none", "miss,40,-100"}) {
        d.proj = 3;
        EXPECT_EQ(DOM_decode(text, &d), VOK_MISSING) << text;
        expect_unset(d);
    }
    EXPECT_EQ(DOM_decode(nullptr, &d), VOK_MISSING);
    EXPECT_EQ(FLAG_get(FLAG_DOMAIN_NUM), VOK_MISSING);
}

namespace {

// The layout a domain text should give: projection, pole longitude, centre,
// grid size and spacing.
struct Want {
    const char* text;
    int proj;
    float plon, clat, clon;
    int nx, ny;
    float dx, dy;
};

void expect_layout(const Domain& d, const Want& w)
{
    EXPECT_EQ(d.proj, w.proj) << w.text;
    EXPECT_EQ(d.plon, w.plon) << w.text;
    EXPECT_EQ(d.clat, w.clat) << w.text;
    EXPECT_EQ(d.clon, w.clon) << w.text;
    EXPECT_EQ(d.nx, w.nx) << w.text;
    EXPECT_EQ(d.ny, w.ny) << w.text;
    EXPECT_FLOAT_EQ(d.dx, w.dx) << w.text;
    EXPECT_FLOAT_EQ(d.dy, w.dy) << w.text;
}

}  // namespace

TEST_F(Region, CentreAloneGivesTheDefaultPolarGrid)
{
    Domain d;
    EXPECT_EQ(DOM_decode("40,-100", &d), 1);
    expect_layout(d, {"40,-100", MAP_PROJ_POLAR, U, 40, -100, 25, 17, 1.2f, 1.2f});
    EXPECT_EQ(d.plat, U);
    EXPECT_EQ(FLAG_get(FLAG_DOMAIN_NUM), 1);
    EXPECT_EQ(DOM_get_base_prior(), 3);   // 16 x 1.2 = 19.2 high
    EXPECT_STREQ(FILE_get_key('r'), "40,-100");   // for templates with %r
}

TEST_F(Region, ProjectionWithGridAndParameters)
{
    Domain d;
    EXPECT_EQ(DOM_decode("lc,40,-100,50,40,0.5,0.5", &d), 1);
    expect_layout(d, {"lc,40,-100,50,40,0.5,0.5", MAP_PROJ_LAMBERT, U, 40, -100, 50, 40, 0.5f, 0.5f});

    EXPECT_EQ(DOM_decode("ps:e:90:-105,40,-100", &d), 1);
    expect_layout(d, {"ps:e:90:-105,40,-100", MAP_PROJ_POLAR, -105, 40, -100, 25, 17, 1.2f, 1.2f});
    EXPECT_EQ(d.ellipse, 1);
    EXPECT_EQ(d.plat, 90.0f);

    // One parameter is the central meridian; an empty one is skipped in place.
    EXPECT_EQ(DOM_decode("LAMBERT:-95,40,-100", &d), 1);
    EXPECT_EQ(d.plon, -95.0f);
    EXPECT_EQ(d.plat, U);
    EXPECT_EQ(DOM_decode("lc::-95:33:45, 40 , -100 ", &d), 1);
    EXPECT_EQ(d.plat, U);
    EXPECT_EQ(d.plon, -95.0f);
    EXPECT_EQ(d.param[0], 33.0f);
    EXPECT_EQ(d.param[1], 45.0f);
    EXPECT_EQ(d.param[2], U);
    EXPECT_EQ(d.clon, -100.0f);
}

TEST_F(Region, EveryLayoutInItsOrder)
{
    const Want cases[] = {
        {"size,640,480", MAP_PROJ_SIZE, U, U, U, 640, 480, U, U},
        {"me,-90,35,-100,30,20,1,2", MAP_PROJ_MERC, -90, 35, -100, 30, 20, 1, 2},
        {"ll,35,-100,30,20,1,2", MAP_PROJ_LATLON, U, 35, -100, 30, 20, 1, 2},
        {"lc,-95,35,-100,1,2", MAP_PROJ_LAMBERT, -95, 35, -100, 25, 17, 1, 2},
        // The plon layout would put the latitude at -100: the next one fits.
        {"or,35,-100,30,20,1.5", MAP_PROJ_ORTHO, U, 35, -100, 30, 20, 1.5f, 1.5f},
        {"35,-100,30,20,1,2", MAP_PROJ_POLAR, U, 35, -100, 30, 20, 1, 2},
        {"gn,35,-100,1,2", MAP_PROJ_GNOMONIC, U, 35, -100, 25, 17, 1, 2},
        {"35,-100,30,20,1.5", MAP_PROJ_POLAR, U, 35, -100, 30, 20, 1.5f, 1.5f},
        {"mo,35,-100,2", MAP_PROJ_MOLLWEIDE, U, 35, -100, 25, 17, 2, 2},
        {"35,-100,30,20", MAP_PROJ_POLAR, U, 35, -100, 30, 20, 1.2f, 1.2f},
        {"35,-100,2", MAP_PROJ_POLAR, U, 35, -100, 25, 17, 2, 2},
        {"la,35,-100", MAP_PROJ_LAMB_AZ, U, 35, -100, 25, 17, 1.2f, 1.2f},
        {"zoom,35,-100", MAP_PROJ_ZOOM, U, 35, -100, 25, 17, 1, 1},
        {"size,640.4,479.6", MAP_PROJ_SIZE, U, U, U, 640, 480, U, U},
        {"skewt,-40,1050,90,-950", MAP_PROJ_SKEWT, U, -40, 1050, 25, 17, 90, -950},
    };
    for (const Want& w : cases) {
        Domain d;
        ASSERT_EQ(DOM_decode(w.text, &d), 1) << w.text;
        expect_layout(d, w);
    }

    // The parse and the layout that fitted are traced at the debug level.
    MESS_set(1, M_DEBUG & M_SUB_C);
    Capture out;
    Domain d;
    DOM_decode("lc,40,-100,50,40,0.5,0.5", &d);
    EXPECT_EQ(out.take(), "******** PARSING DOMAIN: 7 lc,40,-100,50,40,0.5,0.5\n 0 proj,clat,clon,nx,ny,dx,dy\n");
}

TEST_F(Region, ProjectionKeywords)
{
    const std::pair<const char*, int> words[] = {
        {"ll", 2},     {"LATLON", 2},  {"polar", 1},  {"ps", 1},    {"Sat", 9},      {"lambert", 4},
        {"lc", 4},     {"la", 8},      {"lat", 2},    {"gnom", 6},  {"ortho", 5},    {"moll", 7},
        {"merc", 3},   {"pix", 99},    {"xy", 20},    {"xlogp", 22}, {"cat", 24},    {"skewt", 40},
        {"ema", 42},   {"teph", 43},   {"rteph", 44}, {"therm", 40}, {"stuve", 41},  {"hodo", 23},
        {"vert", 22},  {"xp", 25},     {"XP", 25},    {"xpx", -1},  {"zoom", 50},    {"size", 51},
        {"miss", VOK_MISSING}, {"missing", -1}, {"", -1},   {"l", -1},    {"utm", -1},
    };
    for (const auto& [word, code] : words) EXPECT_EQ(DOM_proj_str(word), code) << word;
    EXPECT_EQ(DOM_proj_str(nullptr), -1);
}

TEST_F(Region, InvalidTextsAreReportedOnceAndLeaveNoDomain)
{
    std::string thousand;
    for (int i = 0; i < 1000; ++i) thousand += (i ? "," : "") + std::to_string(i % 90);
    const std::string huge_item(10000, '4');
    const std::string cases[] = {
        "40,,-100",                     // empty item
        ",40,-100",
        "40,-100,0,17",                 // no grid points
        "40,-100,25,-1",
        "40,-100,0",                    // grid spacing 0
        "ll,40,-100,0,1",
        "nan,-100",
        "40,-100,inf",
        "40,-100,3e38",                 // a grid wider than the plane
        "95,-100",                      // no such latitude
        "lc:e:90:-100:90:90,40,-100",   // cone tangent at the pole
        "lc:e:40:-100:30:-30,40,-100",  // true latitudes that make a cylinder
        "la:-40:80,40,-100",            // centred on the antipode of its tangent point
        "me,90,-100",                   // Mercator centred on a pole
        "sat:10,0,-75",                 // orbit inside the earth
        "ps:e:90:-105:1:2:3:4:5,40,-100",  // more parameters than fields
        "utm,40,-100",                  // unknown projection
        "40,-100,1,2,3,4,5,6,7",
        "id:",
        thousand,
        huge_item + "," + huge_item,
    };
    for (const std::string& text : cases) {
        Domain d;
        int messages = 0;
        EXPECT_EQ(decode(text.c_str(), &d, &messages), -1) << text.substr(0, 60);
        EXPECT_EQ(messages, 1) << text.substr(0, 60);
        expect_unset(d);
        EXPECT_EQ(FLAG_get(FLAG_DOMAIN_NUM), -1);
    }
}

TEST_F(Region, StationLocations)
{
    write("sao.cty", "DENVER               CO US KDEN      1     39.77 -104.87  1611.0 72469 0\n");
    write("other.cty", "DODGE_CITY           KS US KDDC      2     37.76  -99.97   786.4 72451 0\n");
    Capture out;   // the station file searches are announced
    Domain d;
    EXPECT_EQ(DOM_decode("id:KDEN", &d), 1);
    EXPECT_EQ(d.proj, MAP_PROJ_POLAR);
    EXPECT_FLOAT_EQ(d.clat, 39.77f);
    EXPECT_FLOAT_EQ(d.clon, -104.87f);
    EXPECT_EQ(d.nx, 25);
    EXPECT_FLOAT_EQ(d.dy, 1.2f);

    // A station of a named file, in place of the centre of a longer layout.
    EXPECT_EQ(DOM_decode("lc,id:other.cty:72451,30,20,1,1", &d), 1);
    EXPECT_EQ(d.proj, MAP_PROJ_LAMBERT);
    EXPECT_FLOAT_EQ(d.clat, 37.76f);
    EXPECT_EQ(d.nx, 30);

    // Unknown stations and files, and names that would run a command.
    int messages = 0;
    for (const char* text : {"id:KXXX", "id:other.cty:KDEN", "id:nofile.cty:KDEN", "id:|cat sao.cty:KDEN",
                             "ps,id:KXXX"}) {
        EXPECT_EQ(decode(text, &d, &messages), -1) << text;
        EXPECT_EQ(messages, 1) << text;
    }
}

TEST_F(Region, BuiltInRegionsAndRegionFiles)
{
    Domain d;
    // No region file: the built-in region.
    EXPECT_EQ(DOM_decode("US", &d), 2);
    EXPECT_EQ(FLAG_get(FLAG_DOMAIN_NUM), 2);
    EXPECT_EQ(d.proj, MAP_PROJ_POLAR);
    EXPECT_EQ(d.clat, 39.0f);
    EXPECT_EQ(d.clon, -97.0f);
    EXPECT_EQ(d.plon, -97.0f);
    EXPECT_FLOAT_EQ(d.dx, 2.3f);
    EXPECT_EQ(d.nx, 25);
    EXPECT_EQ(d.ny, 17);
    EXPECT_EQ(DOM_get_base_prior(), 2);   // 16 x 2.3 = 36.8 high

    // A region file in the file_path directory comes first; comments, a
    // line of 10,000 characters and malformed lines are passed over, and
    // the first empty line ends the regions.
    write("vok.reg", "# name  description  number  domain\n" + std::string(10000, 'x') +
                         "\nbad line\nus  States 1 ll,40,-100,41,21,1,1\nne NewEngland 2 43,-71\n\n"
                         "sw After 3 30,-110\n");
    EXPECT_EQ(DOM_decode("us", &d), 2);
    EXPECT_EQ(d.proj, MAP_PROJ_LATLON);
    EXPECT_EQ(d.nx, 41);
    EXPECT_EQ(DOM_decode("sw", &d), 2);   // past the empty line: the built-in one
    EXPECT_EQ(d.dx, 1.0f);

    char text[DOM_LINE_LEN + 1];
    EXPECT_EQ(DOM_search_file("vok.reg", "NE", text), 1);
    EXPECT_STREQ(text, "43,-71");
    EXPECT_EQ(DOM_search_file("vok.reg", nullptr, text), 1);
    EXPECT_STREQ(text, "ll,40,-100,41,21,1,1");
    EXPECT_EQ(DOM_search_file("vok.reg", "nowhere", text), 0);
    EXPECT_EQ(DOM_search_file("missing.reg", "us", text), 0);

    write("other.reg", "30,-90\nfar Far 1 -60,140\n");
    EXPECT_EQ(DOM_decode("fi:other.reg", &d), 2);
    EXPECT_EQ(d.clat, 30.0f);
    EXPECT_EQ(DOM_decode("other.reg:FAR", &d), 2);
    EXPECT_EQ(d.clon, 140.0f);

    // A region nobody knows: the projection stays unknown.
    for (const char* name : {"nowhere", "other.reg:nowhere", "missing.reg:us", "fi:missing.reg"}) {
        EXPECT_EQ(DOM_decode(name, &d), 2) << name;
        EXPECT_EQ(d.proj, -1) << name;
    }
    // A file with no region at all.
    write("empty.reg", "\nus x 1 40,-100\n");
    EXPECT_EQ(DOM_decode("fi:empty.reg", &d), 2);
    EXPECT_EQ(d.proj, -1);
}

TEST_F(Region, RegionTextsThatLoopOrFailAreInvalid)
{
    write("vok.reg", "a x 1 b\nb x 1 a\nself x 1 self\nbroken x 1 40,-100,0\n");
    Domain d;
    int messages = 0;
    for (const char* name : {"a", "self", "broken"}) {
        EXPECT_EQ(decode(name, &d, &messages), -1) << name;
        EXPECT_EQ(messages, 1) << name;
        expect_unset(d);
    }
    EXPECT_EQ(FLAG_get(FLAG_DOMAIN_NUM), -1);
}

TEST_F(Region, VariableRegionAsksForItsCentre)
{
    Domain d;
    {
        StdinFeed in("45.5\n-90\n");
        Capture out;
        EXPECT_EQ(DOM_get_def_region("var", &d), 1);
        EXPECT_EQ(out.take(), "Enter the central latitude: Enter the central longitude: ");
    }
    EXPECT_EQ(d.clat, 45.5f);
    EXPECT_EQ(d.clon, -90.0f);
    EXPECT_EQ(d.plon, -90.0f);
    EXPECT_FLOAT_EQ(d.dx, 1.2f);
    EXPECT_EQ(DOM_get_def_region("xx", &d), 0);
    EXPECT_EQ(d.clat, 45.5f);   // untouched
}

TEST_F(Region, PriorityFollowsSizeAndStatPrior)
{
    const std::pair<float, int> sizes[] = {{60, 1}, {50, 2}, {30, 2}, {20, 3}, {10, 4}, {5, 5}, {3, 6}, {1, 6}};
    for (const auto& [size, prior] : sizes) {
        DOM_set_base_prior(size);
        EXPECT_EQ(DOM_get_base_prior(), prior) << size;
    }
    const std::pair<const char*, int> adjust[] = {{"+2", 5}, {"-1", 2}, {"7", 7}, {"x", 3}, {"+x", 3}};
    for (const auto& [text, prior] : adjust) {
        RES_put("stat_prior", text);
        DOM_set_base_prior(20);
        EXPECT_EQ(DOM_get_base_prior(), prior) << text;
    }
}

TEST_F(Region, MenuKeepsNumberedEntries)
{
    std::string text = "ne New_England 1 x\nzero Zero 0\ntoolong Name 3\nlong " + std::string(21, 'n') +
                       " 4\nus United_States 2\n";
    for (int i = 0; i < 30; ++i) text += "r" + std::to_string(i) + " R 5\n";
    write("menu", text);
    EXPECT_EQ(DOM_read_menu("menu"), 1);
    const DOM_menu_item* items = nullptr;
    ASSERT_EQ(DOM_get_menu(&items), DOM_MENU_MAX);
    EXPECT_STREQ(items[0].id, "ne");
    EXPECT_STREQ(items[0].name, "New England");
    EXPECT_EQ(items[0].num, 1);
    EXPECT_STREQ(items[1].id, "us");
    EXPECT_STREQ(items[2].id, "r0");
    EXPECT_EQ(DOM_read_menu("nomenu"), 0);

    // "FILE:" reads a menu; no region is chosen from it here.
    write("small", "us United_States 2\n");
    Domain d;
    EXPECT_EQ(DOM_decode("small:", &d), 2);
    EXPECT_EQ(d.proj, -1);
    EXPECT_EQ(DOM_get_menu(&items), 1);
}

TEST_F(Region, DomainResourcesDecodeIntoTheirRecord)
{
    Domain d;
    EXPECT_EQ(RES_conv_data("lc,40,-100,50,40,0.5,0.5", &d, CV_domain), 1);
    EXPECT_EQ(d.proj, MAP_PROJ_LAMBERT);
    EXPECT_EQ(RES_conv_data("us", &d, CV_region), 1);
    EXPECT_EQ(d.clon, -97.0f);
    EXPECT_EQ(RES_conv_data("us", nullptr, CV_region), 0);
    EXPECT_EQ(RES_conv_data(nullptr, &d, CV_domain), 0);
}
