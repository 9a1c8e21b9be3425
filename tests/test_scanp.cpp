#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <cstring>
#include <string>
#include <vector>

#include "vok.h"

namespace {

struct Cursor {
    parse_param p{};
    explicit Cursor(const char* text) { scanp_set(&p, text); }
};

}  // namespace

// ---------------------------------------------------------------- cursor

TEST(ScanpCursor, SetIncAndStr)
{
    parse_param p{};
    EXPECT_EQ(scanp_set(&p, "85512 70123 "), 1);
    EXPECT_EQ(p.off, 0);
    EXPECT_EQ(p.length, 12);
    int pp = 0, hhh = 0;
    EXPECT_EQ(scanp(&p, "%2!//!d%3!///!d ", &pp, &hhh), 2);
    EXPECT_EQ(p.off, 0);  // the cursor only moves on acceptance
    EXPECT_EQ(scanp_inc(&p), 1);
    EXPECT_EQ(p.off, 6);
    EXPECT_STREQ(scanp_str(&p), "70123 ");
}

TEST(ScanpCursor, EmptyPatternOrEndOfTextGivesMinusOne)
{
    Cursor c("12345 ");
    int v = 7;
    c.p.len = c.p.matched = c.p.assigned = c.p.done = 5;
    EXPECT_EQ(scanp(&c.p, "", &v), -1);
    EXPECT_EQ(c.p.len, 0);
    EXPECT_EQ(c.p.matched, 0);
    EXPECT_EQ(c.p.assigned, 0);
    EXPECT_EQ(c.p.done, 0);

    c.p.off = c.p.length;
    c.p.len = 3;
    EXPECT_EQ(scanp(&c.p, "%d", &v), -1);
    EXPECT_EQ(c.p.len, 0);
    c.p.off = c.p.length + 10;
    EXPECT_EQ(scanp(&c.p, "%d", &v), -1);
    EXPECT_EQ(v, 7);

    Cursor empty("");
    EXPECT_EQ(scanp(&empty.p, "%d", &v), -1);
    EXPECT_EQ(scanp(nullptr, "%d", &v), -1);
    EXPECT_EQ(scanp(&c.p, nullptr), -1);
}

// ---------------------------------------------------------------- worked examples

TEST(ScanpGroups, DateGroup)
{
    int yy = 0, gg = 0, id = 0;
    Cursor a("57121 ");
    EXPECT_EQ(scanp(&a.p, "%2d%2d%1!/!d ", &yy, &gg, &id), 3);
    EXPECT_EQ(yy, 57);
    EXPECT_EQ(gg, 12);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(a.p.len, 6);
    EXPECT_EQ(a.p.assigned, 3);
    EXPECT_EQ(a.p.done, 1);

    Cursor b("5712/ ");
    EXPECT_EQ(scanp(&b.p, "%2d%2d%1!/!d ", &yy, &gg, &id), 3);
    EXPECT_EQ(id, VOK_MISSING);
    EXPECT_EQ(b.p.len, 6);
}

TEST(ScanpGroups, PressureHeightGroups)
{
    int a = 0, b = 0;
    Cursor full("85512 ");
    EXPECT_EQ(scanp(&full.p, "%2!//!d%3!///!d ", &a, &b), 2);
    EXPECT_EQ(a, 85);
    EXPECT_EQ(b, 512);
    EXPECT_EQ(full.p.len, 6);

    Cursor missing("///// ");
    EXPECT_EQ(scanp(&missing.p, "%2!//!d%3!///!d ", &a, &b), 2);
    EXPECT_EQ(a, VOK_MISSING);
    EXPECT_EQ(b, VOK_MISSING);
    EXPECT_EQ(missing.p.len, 6);

    Cursor temp("134// ");
    EXPECT_EQ(scanp(&temp.p, "%3!///!d%2!//!d ", &a, &b), 2);
    EXPECT_EQ(a, 134);
    EXPECT_EQ(b, VOK_MISSING);
    EXPECT_EQ(temp.p.len, 6);

    // A short group: the second field misses its exact width.
    a = b = 0;
    Cursor shrt("8551 ");
    EXPECT_EQ(scanp(&shrt.p, "%2!//!d%3!///!d ", &a, &b), 1);
    EXPECT_EQ(a, 85);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(shrt.p.len, 2);
    EXPECT_EQ(shrt.p.done, 0);
}

TEST(ScanpGroups, CallSignPositionAndLiteralMismatch)
{
    char id[VOK_ID_LEN] = "";
    Cursor call("DBBH 57121");
    EXPECT_EQ(scanp(&call.p, "%<10s ", id), 1);
    EXPECT_STREQ(id, "DBBH");
    EXPECT_EQ(call.p.len, 5);

    Cursor six("WTEU52 rest");
    EXPECT_EQ(scanp(&six.p, "%<10s ", id), 1);
    EXPECT_STREQ(id, "WTEU52");
    EXPECT_EQ(six.p.len, 7);

    int la = 0, q = 0, lo = 0;
    Cursor pos("99165 71234 ");
    EXPECT_EQ(scanp(&pos.p, "99%3!///!d %1!/!d%4!////!d ", &la, &q, &lo), 3);
    EXPECT_EQ(la, 165);
    EXPECT_EQ(q, 7);
    EXPECT_EQ(lo, 1234);
    EXPECT_EQ(pos.p.len, 12);

    int n = -1, pp = -1;
    Cursor sect("55785 ");
    EXPECT_EQ(scanp(&sect.p, "44%1d%2d ", &n, &pp), 0);
    EXPECT_EQ(sect.p.len, 0);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(scanp(&sect.p, "55%1d%2d ", &n, &pp), 2);
    EXPECT_EQ(n, 7);
    EXPECT_EQ(pp, 85);
}

TEST(ScanpGroups, Alternatives)
{
    char word[8] = "xx";
    Cursor c("IIDD 57121");
    EXPECT_EQ(scanp(&c.p, "%(UUBB|UUDD|IIBB|IIDD) ", word), 1);
    EXPECT_STREQ(word, "IIDD");
    EXPECT_EQ(c.p.len, 5);

    // The first alternative in pattern order wins, and the input may go on.
    Cursor d("ABCD");
    EXPECT_EQ(scanp(&d.p, "%(AB|ABC)", word), 1);
    EXPECT_STREQ(word, "AB");
    EXPECT_EQ(d.p.len, 2);

    // No alternative: the scan stops.
    std::snprintf(word, sizeof word, "%s", "keep");
    Cursor e("TTBB ");
    EXPECT_EQ(scanp(&e.p, "%(UUBB|IIBB) ", word), 0);
    EXPECT_EQ(e.p.len, 0);
    EXPECT_STREQ(word, "keep");

    // Optional mode: matched and counted as stored, nothing consumed, the
    // target left alone.
    int v = 0;
    EXPECT_EQ(scanp(&e.p, "%<(UUBB|IIBB)TT%A", word, word), 2);
    EXPECT_STREQ(word, "BB");
    EXPECT_EQ(e.p.assigned, 2);
    EXPECT_EQ(e.p.len, 4);

    // With a missing text: matched whatever happens, empty text stored, the
    // characters that agree consumed (at most the width).
    std::snprintf(word, sizeof word, "%s", "keep");
    Cursor f("//12 ");
    EXPECT_EQ(scanp(&f.p, "%3!///!(ABC|DEF)%d", word, &v), 2);
    EXPECT_STREQ(word, "");
    EXPECT_EQ(v, 12);
    EXPECT_EQ(f.p.len, 4);
    std::snprintf(word, sizeof word, "%s", "keep");
    Cursor g("XY");
    EXPECT_EQ(scanp(&g.p, "%!//!(AB)%*c", word), 2);
    EXPECT_STREQ(word, "");
    EXPECT_EQ(g.p.len, 1);
}

// ---------------------------------------------------------------- missing values

TEST(ScanpMissing, SlashOrSkip)
{
    int v = 5, w = 5;
    Cursor slash("/");
    EXPECT_EQ(scanp(&slash.p, "%1!/!d", &v), 1);
    EXPECT_EQ(v, VOK_MISSING);
    EXPECT_EQ(slash.p.len, 1);
    EXPECT_EQ(slash.p.done, 1);

    // A missing text that does not match neither matches nor stops: the
    // argument still belongs to that directive.
    v = 5;
    Cursor other("X7");
    EXPECT_EQ(scanp(&other.p, "%1!/!dX%d", &v, &w), 1);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(other.p.len, 2);
    EXPECT_EQ(other.p.assigned, 1);
    EXPECT_EQ(other.p.done, 1);

    // Without a missing text a field without digits stops the scan.
    Cursor none("/ ");
    EXPECT_EQ(scanp(&none.p, "%1d ", &v), 0);
    EXPECT_EQ(none.p.len, 0);

    // A field with digits that is too short is no missing value.
    Cursor part("1// ");
    EXPECT_EQ(scanp(&part.p, "%3!///!d ", &v), 0);

    // A text longer than the width never matches.
    v = 5;
    Cursor longer("/// ");
    EXPECT_EQ(scanp(&longer.p, "%2!///!d", &v), 0);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(longer.p.done, 1);

    float f = 0.0f;
    Cursor real("//.// ");
    EXPECT_EQ(scanp(&real.p, "%5!//.//!f ", &f), 1);
    EXPECT_EQ(f, VOK_MISSING_F);
    EXPECT_EQ(real.p.len, 6);

    // "*" still consumes the missing text.
    Cursor skip("//7");
    EXPECT_EQ(scanp(&skip.p, "%*2!//!d%d", &v), 2);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(skip.p.assigned, 1);
}

// ---------------------------------------------------------------- numbers

TEST(ScanpNumbers, WidthModesAndSign)
{
    int v = 0;
    Cursor five("5 ");
    EXPECT_EQ(scanp(&five.p, "%2d", &v), 0);
    EXPECT_EQ(scanp(&five.p, "%<2d", &v), 1);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(five.p.len, 1);

    Cursor minus("- ");
    EXPECT_EQ(scanp(&minus.p, "%d", &v), 0);
    EXPECT_EQ(minus.p.len, 0);

    Cursor neg("-12345");
    EXPECT_EQ(scanp(&neg.p, "%3d", &v), 1);  // the sign counts in the width
    EXPECT_EQ(v, -12);
    EXPECT_EQ(scanp(&neg.p, "%d", &v), 1);
    EXPECT_EQ(v, -12345);
    EXPECT_EQ(neg.p.len, 6);

    // d takes no white space of its own.
    Cursor lead(" 12");
    EXPECT_EQ(scanp(&lead.p, "%d", &v), 0);

    // A number that does not fit 32 bits fails rather than wrapping.
    Cursor big("99999999999 ");
    v = 3;
    EXPECT_EQ(scanp(&big.p, "%d", &v), 0);
    EXPECT_EQ(v, 3);
    Cursor max("2147483647 -2147483648");
    int lo = 0;
    EXPECT_EQ(scanp(&max.p, "%d %d", &v, &lo), 2);
    EXPECT_EQ(v, 2147483647);
    EXPECT_EQ(lo, -2147483647 - 1);
}

TEST(ScanpNumbers, PaddedIntegers)
{
    int a = 0, b = 0;
    Cursor c("  -12   7x");
    EXPECT_EQ(scanp(&c.p, "%5D%<4Dx", &a, &b), 2);
    EXPECT_EQ(a, -12);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(c.p.len, 10);

    // The white space counts in an exact width.
    Cursor shrt(" 12 x");
    EXPECT_EQ(scanp(&shrt.p, "%5D", &a), 0);
    EXPECT_EQ(scanp(&shrt.p, "%4D", &a), 1);
    EXPECT_EQ(a, 12);

    // Trailing white space is taken too, so a pattern blank after it fails.
    Cursor trail(" 42  next");
    char word[81];
    EXPECT_EQ(scanp(&trail.p, "%D %s", &a, word), 1);
    EXPECT_EQ(trail.p.len, 5);

    Cursor blank("    ");
    EXPECT_EQ(scanp(&blank.p, "%D", &a), 0);
    Cursor miss("///");
    EXPECT_EQ(scanp(&miss.p, "%!///!D", &a), 1);
    EXPECT_EQ(a, VOK_MISSING);
}

TEST(ScanpNumbers, Reals)
{
    float v = 0.0f;
    struct Case {
        const char* text;
        const char* pat;
        int count;
        float value;
        int len;
    } cases[] = {
        {"12.5 ", "%f ", 1, 12.5f, 5},
        {"-0.25", "%f", 1, -0.25f, 5},
        {".5", "%f", 1, 0.5f, 2},
        {"7.", "%f", 1, 7.0f, 2},
        {"1.5e3", "%f", 1, 1500.0f, 5},
        {"2E-2", "%f", 1, 0.02f, 4},
        {"1.5e+", "%fe+", 1, 1.5f, 5},  // an exponent without digits stays
        {"1.5ex", "%fex", 1, 1.5f, 5},
        {"1.2.3", "%f.3", 1, 1.2f, 5},  // one point only
        {"1.5e3", "%4f", 0, 0.0f, 0},   // the width cuts the exponent off
        {"-.", "%f", 0, 0.0f, 0},
        {"  3.5  x", "%Fx", 1, 3.5f, 8},
        {"  -1e2", "%6F", 1, -100.0f, 6},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.text);
        v = 0.0f;
        Cursor c(tc.text);
        EXPECT_EQ(scanp(&c.p, tc.pat, &v), tc.count);
        EXPECT_FLOAT_EQ(v, tc.value);
        EXPECT_EQ(c.p.len, tc.len);
    }
    // Too large for a float: fails.
    Cursor huge("1e99 ");
    v = 2.0f;
    EXPECT_EQ(scanp(&huge.p, "%f", &v), 0);
    EXPECT_EQ(v, 2.0f);
}

// ---------------------------------------------------------------- texts

TEST(ScanpTexts, Classes)
{
    char a[81], b[81], c[81];
    Cursor digits("123ab \t\r\nxy");
    EXPECT_EQ(scanp(&digits.p, "%N%A%w%S", a, b, c, a), 4);
    EXPECT_STREQ(b, "ab");
    EXPECT_STREQ(c, " \t\r\n");
    EXPECT_STREQ(a, "xy");
    EXPECT_EQ(digits.p.len, 11);
    EXPECT_EQ(digits.p.done, 1);

    Cursor noline(" \t\nz");
    EXPECT_EQ(scanp(&noline.p, "%W", a), 1);
    EXPECT_STREQ(a, " \t");
    EXPECT_EQ(noline.p.len, 2);

    Cursor s("ABC DEF");
    EXPECT_EQ(scanp(&s.p, "%S", a), 1);
    EXPECT_STREQ(a, "ABC DEF");
    EXPECT_EQ(scanp(&s.p, "%4S", a), 1);
    EXPECT_STREQ(a, "ABC ");
    EXPECT_EQ(scanp(&s.p, "%8S", a), 0);  // exact width beyond the end

    // Zero characters never make a text field.
    Cursor none("abc");
    EXPECT_EQ(scanp(&none.p, "%N", a), 0);
    EXPECT_EQ(scanp(&none.p, "%w", a), 0);
}

TEST(ScanpTexts, CharactersWithoutTerminator)
{
    char buf[8];
    std::memset(buf, 'z', sizeof buf);
    Cursor c("AB CD");
    EXPECT_EQ(scanp(&c.p, "%c%4c", buf, buf + 1), 2);
    EXPECT_EQ(std::string(buf, 6), "AB CDz");
    EXPECT_EQ(c.p.len, 5);
    Cursor shrt("AB");
    EXPECT_EQ(scanp(&shrt.p, "%3c", buf), 0);
    EXPECT_EQ(scanp(&shrt.p, "%<3c", buf), 1);
}

TEST(ScanpTexts, Sets)
{
    char a[81];
    Cursor c("AB12/x-");
    EXPECT_EQ(scanp(&c.p, "%[/A/N//]", a), 1);
    EXPECT_STREQ(a, "AB12/x");

    // The character after "/" is a member as well: "/N" takes N, "/-" takes -.
    Cursor n("N5-:");
    EXPECT_EQ(scanp(&n.p, "%[/N/-]", a), 1);
    EXPECT_STREQ(a, "N5-");

    Cursor neg("abc/12");
    EXPECT_EQ(scanp(&neg.p, "%[^//]/%2[/N]", a, a + 40), 2);
    EXPECT_STREQ(a, "abc");
    EXPECT_STREQ(a + 40, "12");

    Cursor plain("ab]c");
    EXPECT_EQ(scanp(&plain.p, "%[ab/]]c", a), 1);
    EXPECT_STREQ(a, "ab]");
    EXPECT_EQ(plain.p.done, 1);

    // A set that is never closed ends the scan.
    EXPECT_EQ(scanp(&plain.p, "%[ab", a), 0);
    EXPECT_EQ(plain.p.done, 0);
}

TEST(ScanpTexts, TextFieldsStayWithinTheirBound)
{
    // Fields longer than the targets could hold: every target is allocated
    // with the documented size, so a write past it shows under the sanitizer.
    const std::string word(300, 'K');
    const std::string text = word + " " + std::string(300, '7');
    Cursor c(text.c_str());

    std::vector<char> ten(11, '#');
    EXPECT_EQ(scanp(&c.p, "%<10s", ten.data()), 1);
    EXPECT_EQ(c.p.len, 10);
    EXPECT_EQ(std::string(ten.data()), std::string(10, 'K'));

    std::vector<char> full(SCANP_FIELD_MAX + 1, '#');
    EXPECT_EQ(scanp(&c.p, "%s", full.data()), 1);
    EXPECT_EQ(c.p.len, 80);
    EXPECT_EQ(std::strlen(full.data()), 80u);
    EXPECT_EQ(scanp(&c.p, "%<200s", full.data()), 1);
    EXPECT_EQ(c.p.len, 80);
    EXPECT_EQ(scanp(&c.p, "%200S", full.data()), 1);  // exact width counts as 80
    EXPECT_EQ(c.p.len, 80);
    EXPECT_EQ(scanp(&c.p, "%[K]", full.data()), 1);
    EXPECT_EQ(c.p.len, 80);
    EXPECT_EQ(scanp(&c.p, "%A", full.data()), 1);
    EXPECT_EQ(c.p.len, 80);
    std::vector<char> chars(SCANP_FIELD_MAX, '#');
    EXPECT_EQ(scanp(&c.p, "%999c", chars.data()), 1);
    EXPECT_EQ(c.p.len, 80);

    // So a word longer than 80 characters is not followed by a blank.
    EXPECT_EQ(scanp(&c.p, "%s ", full.data()), 1);
    EXPECT_EQ(c.p.done, 0);

    c.p.off = 301;
    EXPECT_EQ(scanp(&c.p, "%N", full.data()), 1);
    EXPECT_EQ(c.p.len, 80);
    int v = 0;
    EXPECT_EQ(scanp(&c.p, "%d", &v), 0);  // 80 digits do not fit an int

    const std::string white(200, ' ');
    Cursor w(white.c_str());
    EXPECT_EQ(scanp(&w.p, "%w", full.data()), 1);
    EXPECT_EQ(w.p.len, 80);
    EXPECT_EQ(scanp(&w.p, "%W", full.data()), 1);
    EXPECT_EQ(w.p.len, 80);

    // An alternative longer than 80 characters never matches.
    const std::string alt = "%(" + word.substr(0, 81) + "|KK)";
    EXPECT_EQ(scanp(&c.p, alt.c_str(), full.data()), 0);
    c.p.off = 0;
    EXPECT_EQ(scanp(&c.p, alt.c_str(), full.data()), 1);
    EXPECT_STREQ(full.data(), "KK");
}

// ---------------------------------------------------------------- pattern forms

TEST(ScanpPattern, BlanksLiteralsCountsAndSkips)
{
    int a = 0, b = 0, n = -1;
    Cursor c("12  \t 34x");
    EXPECT_EQ(scanp(&c.p, "%d %d%n", &a, &b, &n), 3);  // n counts as matched
    EXPECT_EQ(b, 34);
    EXPECT_EQ(n, 8);
    EXPECT_EQ(c.p.assigned, 3);

    // A pattern blank where the input has none: the count so far stands.
    Cursor glued("12345");
    EXPECT_EQ(scanp(&glued.p, "%2d %3d", &a, &b), 1);
    EXPECT_EQ(glued.p.len, 2);
    EXPECT_EQ(glued.p.done, 0);

    // A blank also fails at the end of the text.
    Cursor end("12");
    EXPECT_EQ(scanp(&end.p, "%d ", &a), 1);
    EXPECT_EQ(end.p.done, 0);

    // "*" converts without storing and takes no argument.
    Cursor star("11 22");
    EXPECT_EQ(scanp(&star.p, "%*d %d", &a), 2);
    EXPECT_EQ(a, 22);
    EXPECT_EQ(star.p.assigned, 1);

    // An unknown letter is an ordinary character; "%%" matches "%".
    Cursor pct("5%x");
    EXPECT_EQ(scanp(&pct.p, "%d%%%3x", &a), 1);
    EXPECT_EQ(pct.p.len, 3);
    EXPECT_EQ(pct.p.done, 1);

    // A pattern ending inside a directive stops.
    EXPECT_EQ(scanp(&pct.p, "%d%<", &a), 1);
    EXPECT_EQ(pct.p.done, 0);
}

TEST(ScanpPattern, DebugTraceOnlyWhenOn)
{
    char name[] = "/tmp/scanp_trace_XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    MESS_reset();
    const std::string setting = std::string("fi=") + name;
    MESS_set_str(setting.c_str());
    int a = 0, b = 0;
    Cursor c("85512 ");
    scanp(&c.p, "%2!//!d%3!///!d ", &a, &b);
    MESS_set(1, M_DEBUG & M_SUB_D);
    scanp(&c.p, "%2!//!d%3!///!d ", &a, &b);
    MESS_reset();

    std::FILE* fp = std::fopen(name, "r");
    ASSERT_NE(fp, nullptr);
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, fp)) out += buf;
    std::fclose(fp);
    std::remove(name);
    EXPECT_EQ(out,
              "     :%3!///!d :512 :\n"
              "     : : :\n"
              "     :::\n"
              "SCANP:85512 :%2!//!d%3!///!d :0:6:1:2:2\n");
}
