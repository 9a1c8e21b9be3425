// Line reading and byte order.
#include <algorithm>
#include <array>
#include <cstring>

#include "vok.h"

namespace {

// Read up to n characters that are not a newline; the newline stays in the
// stream. Returns the count, or -1 when the stream ended before any.
int read_piece(FILE* fp, char* buf, int n)
{
    int k = 0;
    int c = EOF;
    while (k < n && (c = getc_unlocked(fp)) != EOF && c != '\n') buf[k++] = static_cast<char>(c);
    if (c == '\n') ungetc(c, fp);
    buf[k] = '\0';
    if (k == 0 && c == EOF) return -1;
    return k;
}

int next_is_newline(FILE* fp)
{
    const int c = getc_unlocked(fp);
    if (c == '\n') return 1;
    if (c != EOF) ungetc(c, fp);
    return 0;
}

}  // namespace

int fgetnline(FILE* fp, char* buf, int n)
{
    if (!fp || !buf) return -1;
    if (n < 0) n = 0;
    buf[0] = '\0';
    int k = read_piece(fp, buf, n);
    // The newline that ended the previous line is skipped here, and the read
    // tried once more: an empty first line vanishes, an empty line after a
    // text line comes back as an empty line.
    if (k == 0 && next_is_newline(fp)) k = read_piece(fp, buf, n);
    return k;
}

int fgetstring(FILE* fp, char* buf, int n)
{
    const int k = fgetnline(fp, buf, n);
    return k > 0 ? 1 : k;
}

// ---------------------------------------------------------------- byte order

int swap = 1;

int swap_setup(int order)
{
    swap = 1;
    const int one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    const bool little = first == 1;
    if (order == -1) swap = 0;
    else if (order == 1 && !little) swap = 0;
    else if (order == 2 && little) swap = 0;
    return 0;
}

int swap_short(std::int16_t* value)
{
    if (swap == 0) return -1;
    unsigned char b[2];
    std::memcpy(b, value, 2);
    const unsigned char t = b[0];
    b[0] = b[1];
    b[1] = t;
    std::memcpy(value, b, 2);
    return 0;
}

int fwrite_short_swap(std::int16_t* value, FILE* fp)
{
    swap_short(value);
    return static_cast<int>(std::fwrite(value, 2, 1, fp));
}

// ---------------------------------------------------------------- station identifiers
//
// A land station's WMO number (block and station) is turned into a short
// identifier by putting the location-indicator prefix of its country in front
// of the last digits: three digits after a two-character prefix, four after a
// one-letter prefix (the large blocks of Russia, China, the southern-hemisphere
// Z block and Australia). The prefix alone says which thousand (or ten
// thousand) the number lies in, so the identifier reads back to the number.

namespace {

// A range of WMO numbers (inclusive) that belongs to one country.
struct WmoRange {
    int first;
    int last;
    char prefix[3];
};

// Ascending and without overlaps; numbers in no range have no prefix.
constexpr std::array<WmoRange, 182> wmo_ranges = {{
    {1000, 1499, "EN"}, {2000, 2699, "ES"}, {2800, 2999, "EF"}, {3000, 3949, "EG"},
    {3950, 3999, "EI"}, {4000, 4099, "BI"}, {4100, 4399, "BG"}, {6000, 6199, "EK"},
    {6200, 6399, "EH"}, {6400, 6499, "EB"}, {6500, 6599, "EL"}, {6600, 6799, "LS"},
    {7000, 7999, "LF"}, {8000, 8499, "LE"}, {8500, 8579, "LP"}, {10000, 10999, "ED"},
    {11000, 11399, "LO"}, {11400, 11999, "LK"}, {12100, 12699, "EP"}, {12700, 12999, "LH"},
    {13000, 13599, "LY"}, {13600, 13699, "LA"}, {14000, 14299, "LJ"}, {15000, 15499, "LR"},
    {15500, 15999, "LB"}, {16000, 16599, "LI"}, {16600, 16999, "LG"}, {17000, 17599, "LT"},
    {17600, 17699, "LC"}, {20000, 29999, "U"}, {30000, 39999, "X"}, {40000, 40099, "OS"},
    {40100, 40149, "OL"}, {40150, 40199, "LL"}, {40250, 40349, "OJ"}, {40350, 40499, "OE"},
    {40500, 40599, "OK"}, {40600, 40699, "OR"}, {40700, 40899, "OI"}, {40900, 40999, "OA"},
    {41000, 41149, "OE"}, {41150, 41159, "OB"}, {41160, 41179, "OE"}, {41180, 41239, "OT"},
    {41240, 41319, "OM"}, {41320, 41409, "OY"}, {41410, 41499, "OD"}, {41500, 41799, "OP"},
    {41800, 41999, "VG"}, {42000, 42999, "VI"}, {43000, 43999, "VO"}, {44000, 44399, "ZM"},
    {44400, 44499, "VN"}, {45000, 45099, "VH"}, {46000, 46999, "RC"}, {47000, 47079, "ZK"},
    {47080, 47199, "RK"}, {47400, 47999, "RJ"}, {48000, 48199, "VB"}, {48300, 48599, "VT"},
    {48600, 48689, "WM"}, {48690, 48699, "WS"}, {48800, 48929, "VV"}, {48930, 48959, "VL"},
    {48960, 48999, "VD"}, {50000, 59999, "Z"}, {60000, 60049, "GC"}, {60050, 60319, "GM"},
    {60320, 60339, "GE"}, {60350, 60699, "DA"}, {60700, 60799, "DT"}, {61000, 61099, "DR"},
    {61100, 61299, "GA"}, {61400, 61499, "GQ"}, {61600, 61699, "GO"}, {61700, 61749, "GB"},
    {61750, 61799, "GG"}, {61800, 61849, "GU"}, {61850, 61899, "GF"}, {62000, 62299, "HL"},
    {62300, 62499, "HE"}, {62600, 62999, "HS"}, {63000, 63099, "HA"}, {63100, 63149, "HF"},
    {63150, 63299, "HC"}, {63300, 63499, "HA"}, {63600, 63979, "HK"}, {63980, 63999, "FS"},
    {64000, 64360, "FZ"}, {64380, 64389, "HR"}, {64390, 64399, "HB"}, {64400, 64499, "FC"},
    {64500, 64599, "FO"}, {64600, 64699, "FE"}, {64700, 64799, "FT"}, {64800, 64849, "FG"},
    {64850, 64999, "FK"}, {65000, 65299, "DN"}, {65300, 65349, "DB"}, {65350, 65399, "DX"},
    {65400, 65499, "DG"}, {65500, 65524, "DF"}, {65525, 65599, "DI"}, {65600, 65699, "GL"},
    {66000, 66999, "FN"}, {67000, 67199, "FM"}, {67200, 67399, "FQ"}, {67400, 67753, "FL"},
    {67755, 67789, "FV"}, {67790, 67799, "FW"}, {67800, 67999, "FV"}, {68000, 68999, "FA"},
    {69000, 69999, "KQ"}, {70000, 70999, "PA"}, {71000, 71999, "CY"}, {72000, 72999, "K2"},
    {74000, 74999, "K4"}, {76000, 76999, "MM"}, {78000, 78199, "MY"}, {78200, 78379, "MU"},
    {78380, 78384, "MW"}, {78385, 78399, "MK"}, {78400, 78449, "MT"}, {78450, 78499, "MD"},
    {78500, 78519, "MH"}, {78520, 78534, "TJ"}, {78535, 78550, "TI"}, {78580, 78599, "MZ"},
    {78600, 78649, "MG"}, {78650, 78699, "MS"}, {78700, 78729, "MH"}, {78730, 78759, "MN"},
    {78760, 78789, "MR"}, {78790, 78819, "MP"}, {78840, 78864, "TK"}, {78865, 78889, "TN"},
    {78890, 78899, "TF"}, {78900, 78919, "TD"}, {78920, 78939, "TF"}, {78940, 78959, "TL"},
    {78960, 78979, "TT"}, {78980, 78999, "TN"}, {80000, 80399, "SK"}, {80400, 80999, "SV"},
    {81000, 81199, "SY"}, {81200, 81399, "SM"}, {81400, 81599, "SO"}, {82000, 82999, "SB"},
    {83000, 83999, "SZ"}, {84000, 84299, "SE"}, {84300, 84999, "SP"}, {85000, 85399, "SL"},
    {85400, 85999, "SC"}, {86000, 86299, "SG"}, {86300, 86599, "SU"}, {87000, 87999, "SA"},
    {88000, 88999, "SF"}, {91000, 91199, "PH"}, {91250, 91259, "PK"}, {91260, 91299, "PH"},
    {91300, 91359, "PT"}, {91360, 91379, "PK"}, {91380, 91399, "PL"}, {91400, 91449, "PT"},
    {91450, 91499, "PL"}, {91500, 91549, "AG"}, {91550, 91569, "NV"}, {91570, 91599, "NW"},
    {91600, 91649, "NG"}, {91650, 91699, "NF"}, {91700, 91749, "N1"}, {91750, 91759, "NL"},
    {91760, 91769, "NS"}, {91770, 91799, "NF"}, {91800, 91849, "NC"}, {91900, 91959, "NT"},
    {92000, 92999, "AY"}, {93000, 93999, "NZ"}, {94100, 95999, "Y"}, {96000, 96999, "WI"},
    {97000, 97999, "WA"}, {98000, 98999, "RP"},
}};

// The thousand each two-character prefix stands for when read back. OE is
// not here: its stations lie in both 40xxx and 41xxx, so its three digits
// decide (see prefix_base).
struct PrefixBase {
    char prefix[3];
    int base;
};

constexpr std::array<PrefixBase, 165> prefix_bases = {{
    {"EN", 1000}, {"ES", 2000}, {"EF", 2000}, {"EG", 3000}, {"EI", 3000}, {"BI", 4000},
    {"BG", 4000}, {"EK", 6000}, {"EH", 6000}, {"EB", 6000}, {"EL", 6000}, {"LS", 6000},
    {"LF", 7000}, {"LE", 8000}, {"LP", 8000}, {"ED", 10000}, {"LO", 11000}, {"LK", 11000},
    {"EP", 12000}, {"LH", 12000}, {"LY", 13000}, {"LA", 13000}, {"LJ", 14000}, {"LR", 15000},
    {"LB", 15000}, {"LI", 16000}, {"LG", 16000}, {"LT", 17000}, {"LC", 17000}, {"LL", 40000},
    {"OS", 40000}, {"OL", 40000}, {"OJ", 40000}, {"OK", 40000}, {"OR", 40000}, {"OI", 40000},
    {"OA", 40000}, {"OB", 41000}, {"OT", 41000}, {"OM", 41000}, {"OY", 41000}, {"OD", 41000},
    {"OP", 41000}, {"VG", 41000}, {"VI", 42000}, {"VO", 43000}, {"VN", 44000}, {"ZM", 44000},
    {"VH", 45000}, {"RC", 46000}, {"ZK", 47000}, {"RK", 47000}, {"RJ", 47000}, {"VB", 48000},
    {"VT", 48000}, {"VV", 48000}, {"VL", 48000}, {"VD", 48000}, {"WM", 48000}, {"WS", 48000},
    {"GC", 60000}, {"GM", 60000}, {"GE", 60000}, {"DA", 60000}, {"DT", 60000}, {"DR", 61000},
    {"GA", 61000}, {"GQ", 61000}, {"GO", 61000}, {"GB", 61000}, {"GG", 61000}, {"GU", 61000},
    {"GF", 61000}, {"HL", 62000}, {"HE", 62000}, {"HS", 62000}, {"HA", 63000}, {"HF", 63000},
    {"HC", 63000}, {"HK", 63000}, {"FS", 63000}, {"HR", 64000}, {"HB", 64000}, {"FZ", 64000},
    {"FC", 64000}, {"FO", 64000}, {"FE", 64000}, {"FT", 64000}, {"FG", 64000}, {"FK", 64000},
    {"GL", 65000}, {"DN", 65000}, {"DB", 65000}, {"DX", 65000}, {"DG", 65000}, {"DF", 65000},
    {"DI", 65000}, {"FN", 66000}, {"FM", 67000}, {"FQ", 67000}, {"FL", 67000}, {"FW", 67000},
    {"FV", 67000}, {"FA", 68000}, {"KQ", 69000}, {"PA", 70000}, {"CY", 71000}, {"K2", 72000},
    {"K4", 74000}, {"MM", 76000}, {"MY", 78000}, {"MU", 78000}, {"MW", 78000}, {"MK", 78000},
    {"MT", 78000}, {"MD", 78000}, {"MH", 78000}, {"MZ", 78000}, {"MG", 78000}, {"MS", 78000},
    {"MN", 78000}, {"MR", 78000}, {"MP", 78000}, {"TJ", 78000}, {"TI", 78000}, {"TK", 78000},
    {"TN", 78000}, {"TF", 78000}, {"TD", 78000}, {"TL", 78000}, {"TT", 78000}, {"SK", 80000},
    {"SV", 80000}, {"SY", 81000}, {"SM", 81000}, {"SO", 81000}, {"SB", 82000}, {"SZ", 83000},
    {"SE", 84000}, {"SP", 84000}, {"SL", 85000}, {"SC", 85000}, {"SG", 86000}, {"SU", 86000},
    {"SA", 87000}, {"SF", 88000}, {"PH", 91000}, {"PK", 91000}, {"PT", 91000}, {"PL", 91000},
    {"AG", 91000}, {"NV", 91000}, {"NW", 91000}, {"NG", 91000}, {"NF", 91000}, {"N1", 91000},
    {"NL", 91000}, {"NS", 91000}, {"NC", 91000}, {"NT", 91000}, {"AY", 92000}, {"NZ", 93000},
    {"WI", 96000}, {"WA", 97000}, {"RP", 98000},
}};

// Plain ASCII tests: identifiers come from raw bulletins and may hold any
// byte, and the locale must not change what counts as a letter.
constexpr bool id_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool id_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr char id_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Ten-thousand base of a one-letter prefix, -1 for any other letter.
constexpr int one_letter_base(char c)
{
    switch (id_upper(c)) {
    case 'U': return 20000;
    case 'X': return 30000;
    case 'Z': return 50000;
    case 'Y': return 90000;
    default: return -1;
    }
}

// Thousand base of a two-character prefix given its three digits; -1 when
// the prefix is unknown. OE covers 40350-40499 and parts of 41000-41179, so
// digits above 300 belong to 40xxx and those below to 41xxx; OE300 is
// neither and counts as unknown.
constexpr int prefix_base(char a, char b, int digits)
{
    a = id_upper(a);
    b = id_upper(b);
    if (a == 'O' && b == 'E') {
        if (digits > 300) return 40000;
        if (digits < 300) return 41000;
        return -1;
    }
    for (const PrefixBase& p : prefix_bases)
        if (p.prefix[0] == a && p.prefix[1] == b) return p.base;
    return -1;
}

// The number an identifier of the letter form stands for: c0 a letter, c1
// anything, digits the value of characters 3 to 5. A one-letter prefix needs
// a digit after it (ZM and ZK are two-character prefixes of their own, and
// "UA123" must not read as 20000). An unknown prefix leaves the three digits.
constexpr int letter_form_value(char c0, char c1, int digits)
{
    const int base1 = one_letter_base(c0);
    if (base1 >= 0 && id_digit(c1)) return base1 + (c1 - '0') * 1000 + digits;
    const int base2 = prefix_base(c0, c1, digits);
    return base2 >= 0 ? base2 + digits : digits;
}

constexpr const WmoRange* find_range(int wmo)
{
    const auto after = std::upper_bound(wmo_ranges.begin(), wmo_ranges.end(), wmo,
                                        [](int v, const WmoRange& r) { return v < r.first; });
    if (after == wmo_ranges.begin()) return nullptr;
    const WmoRange& r = *(after - 1);
    return wmo <= r.last ? &r : nullptr;
}

// The table must stay searchable and every identifier it makes must read
// back; checked while compiling so that an edited row cannot slip through.
constexpr bool ranges_ordered()
{
    for (std::size_t i = 0; i < wmo_ranges.size(); ++i) {
        const WmoRange& r = wmo_ranges[i];
        if (r.first < 0 || r.first > r.last || r.last > 99999) return false;
        if (i > 0 && r.first <= wmo_ranges[i - 1].last) return false;
    }
    return true;
}

// Endpoints suffice: within one thousand (ten thousand for one letter) the
// read-back is base + digits, and OE's choice changes only at 300.
constexpr bool range_reads_back(const WmoRange& r)
{
    if (!id_letter(r.prefix[0])) return false;
    if (r.prefix[1] == '\0') {
        if (r.first / 10000 != r.last / 10000) return false;
        for (const int n : {r.first, r.last})
            if (letter_form_value(r.prefix[0], static_cast<char>('0' + n % 10000 / 1000), n % 1000) != n)
                return false;
        return true;
    }
    if (r.first / 1000 != r.last / 1000) return false;
    for (const int n : {r.first, r.last})
        if (letter_form_value(r.prefix[0], r.prefix[1], n % 1000) != n) return false;
    return true;
}

constexpr bool ranges_read_back()
{
    for (const WmoRange& r : wmo_ranges)
        if (!range_reads_back(r)) return false;
    return true;
}

// Each base belongs to one prefix that the ranges use, so no base can
// shadow another or read identifiers that are never made.
constexpr bool bases_unique_and_used()
{
    for (std::size_t i = 0; i < prefix_bases.size(); ++i) {
        const PrefixBase& p = prefix_bases[i];
        for (std::size_t j = 0; j < i; ++j)
            if (prefix_bases[j].prefix[0] == p.prefix[0] && prefix_bases[j].prefix[1] == p.prefix[1])
                return false;
        bool used = false;
        for (const WmoRange& r : wmo_ranges)
            used = used || (r.prefix[0] == p.prefix[0] && r.prefix[1] == p.prefix[1]);
        if (!used) return false;
    }
    return true;
}

static_assert(ranges_ordered(), "WMO ranges must ascend without overlaps");
static_assert(bases_unique_and_used(), "prefix bases must be unique and used by the ranges");
static_assert(ranges_read_back(), "every WMO range must read back through its prefix base");

}  // namespace

int wmo_to_id(char* out, int wmo)
{
    if (!out) return -1;
    // Numbers outside every range keep all their digits ("%5.5d"), so a
    // number that is no WMO number at all still gives a unique identifier;
    // only numbers below -999999999 lose their last digit to the field size.
    const WmoRange* r = find_range(wmo);
    if (!r)
        std::snprintf(out, VOK_ID_LEN, "%5.5d", wmo);
    else if (r->prefix[1] == '\0')
        std::snprintf(out, VOK_ID_LEN, "%c%4.4d", r->prefix[0], wmo % 10000);
    else
        std::snprintf(out, VOK_ID_LEN, "%s%3.3d", r->prefix, wmo % 1000);
    return 0;
}

int id_to_wmo(const char* id, int* wmo)
{
    int n = 99999;
    int result = -1;
    if (id) {
        // Only five characters are of interest; do not walk a long or
        // unterminated text further than needed to see it is not five.
        int len = 0;
        while (len < 6 && id[len] != '\0') ++len;
        if (len == 5) {
            const bool digits_3_to_5 = id_digit(id[2]) && id_digit(id[3]) && id_digit(id[4]);
            const int digits = digits_3_to_5 ? (id[2] - '0') * 100 + (id[3] - '0') * 10 + (id[4] - '0') : 0;
            if (digits_3_to_5 && id_digit(id[0]) && id_digit(id[1])) {
                n = ((id[0] - '0') * 10 + (id[1] - '0')) * 1000 + digits;
            } else if (digits_3_to_5 && id_letter(id[0])) {
                n = letter_form_value(id[0], id[1], digits);
                result = 0;
            }
        }
    }
    if (wmo) *wmo = n;
    return result;
}
