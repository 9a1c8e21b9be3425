// Tests of the XML record: byte for byte on a hand-derived report, its
// identifiers of any bytes read back by xmllint and Python, its numbers as
// printf writes them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "test_ua_read_util.h"
#include "vokupa.h"

using namespace uatest;

TEST_F(UaRead, XmlRecordAndHostileIdentifiers)
{
    const std::string p = write_file("a.xml", UPA_FILE_XML, {denver()});
    EXPECT_EQ(read_file(p), std::string("<vokupa date=\"0000Z  6 FEB 26\">\n") +
                                "<obs wmo=\"72469\" id=\"DNR\" lat=\"39.77\" lon=\"-104.87\">\n"
                                "  <mand_level>\n"
                                "    <level type=\"sfc\" pres.mb=\"837\" hght.m=\"1611\" temp.C=\"12.4\" "
                                "dewp.C=\"3.4\" wdir.deg=\"180\" wspd.knt=\"5\"/>\n"
                                "    <level pres.mb=\"850\" hght.m=\"1457\" temp.C=\"15.2\" dewp.C=\"10.1\" "
                                "wdir.deg=\"273\" wspd.knt=\"15\"/>\n"
                                "    <level type=\"trop\" pres.mb=\"215\" temp.C=\"-55.3\" dewp.C=\"-60.3\" "
                                "wdir.deg=\"270\" wspd.knt=\"60\"/>\n"
                                "    <level type=\"mwnd\" pres.mb=\"250\" wdir.deg=\"265\" wspd.knt=\"95\"/>\n"
                                "  </mand_level>\n"
                                "  <sig_level>\n"
                                "    <level pres.mb=\"837\" temp.C=\"12.4\" dewp.C=\"3.4\"/>\n"
                                "  </sig_level>\n"
                                "  <wnd_level>\n"
                                "    <level hght.m=\"0\" wdir.deg=\"180\" wspd.knt=\"5\"/>\n"
                                "  </wnd_level>\n"
                                "</obs>\n"
                                "</vokupa>\n");

    // Identifiers of any ten bytes keep the document well formed and read
    // back as they were where XML can carry them.
    const std::vector<std::string> ids = {"a&b<c>\"'d", "\t\n\r\x01\x1f\x7f", "\xe9\xff\xc3\xa9\xef\xbf\xbf",
                                          "</obs>&#x;", "]]>x&amp;y"};
    std::vector<UPA_report> reps;
    for (const auto& id : ids) {
        reps.push_back(station("", 99999, M, M));
        std::memset(reps.back().id, 0, sizeof reps.back().id);
        std::memcpy(reps.back().id, id.data(), std::min<std::size_t>(id.size(), 10));
    }
    const std::string h = write_file("h.xml", UPA_FILE_XML, reps);
    const Command lint = run("xmllint --noout " + h);
    EXPECT_EQ(lint.status, 0) << lint.out;
    const Command py = run("/usr/bin/python3 -c \"import sys,xml.etree.ElementTree as E; "
                       "[print(o.get('id').encode().hex()) for o in E.parse(sys.argv[1]).getroot()]\" " + h);
    ASSERT_EQ(py.status, 0) << py.out;
    std::istringstream lines(py.out);
    std::string hex;
    std::getline(lines, hex);
    EXPECT_EQ(hex, "6126623c633e222764");
    std::getline(lines, hex);
    EXPECT_EQ(hex, "090a0defbfbdefbfbd7f");  // tab, LF and CR kept; other controls U+FFFD
    std::getline(lines, hex);
    EXPECT_EQ(hex, "c3a9c3bfc3a9c3afc2bfc2bf");  // UTF-8 kept, stray bytes read as Latin-1
}

TEST_F(UaRead, XmlNumbersArePrintfDigitForDigit)
{
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> wide(-120.0f, 120.0f);
    std::uniform_int_distribution<int> twentieths(-2000, 2000);
    for (int round = 0; round < 20; ++round) {
        UPA_report r = station("R", 1, M, M);
        for (int s = 1; s <= 21; ++s) {
            // Halves and twentieths are the ties of %.0f and %.1f.
            const float tie = twentieths(gen) / 20.0f;
            r.man[s] = {float(man_pres[s]), tie * 100, wide(gen), tie, tie * 2, round == 0 ? -0.04f : wide(gen)};
        }
        const std::string xml = read_file(write_file("n.xml", UPA_FILE_XML, {r}));
        std::size_t pos = xml.find("<mand_level>");
        for (int s = 1; s <= 21; ++s) {
            pos = xml.find("<level pres.mb", pos + 1);
            ASSERT_NE(pos, std::string::npos);
            const std::string line = xml.substr(pos, xml.find('\n', pos) - pos);
            char want[256];
            const UPA_man& m = r.man[s];
            std::snprintf(want, sizeof want,
                          "<level pres.mb=\"%.0f\" hght.m=\"%.0f\" temp.C=\"%.1f\" dewp.C=\"%.1f\" "
                          "wdir.deg=\"%.0f\" wspd.knt=\"%.0f\"/>",
                          m.p, m.h, m.t, m.td, m.dir, m.spd);
            EXPECT_EQ(line, want);
        }
    }
}
