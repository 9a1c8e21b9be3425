// Named regions and domain texts: the short comma-separated texts with which
// the suite's programs give a map domain ("40,-100", "lc,40,-100,50,40,0.5,
// 0.5", "id:KDEN", a region name), the region files and menus that name
// domains, and the plotting priority that follows from a domain's size.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "vok.h"
#include "vokcty.h"

namespace {

using F = DOM_field;

// The grid a text leaves open: 25 x 17 points 120 km apart on a polar
// stereographic map, about a continent.
constexpr int DEF_NX = 25;
constexpr int DEF_NY = 17;
constexpr float DEF_SPACING = 1.2f;
constexpr float ZOOM_SPACING = 1.0f;
// A region's text may name another region; a chain this deep is a loop.
constexpr int MAX_REGION_DEPTH = 8;
constexpr int MAX_FIELDS = 8;
// Projection parameters a text may give after "e", plat and plon.
constexpr int MAX_PROJ_PARAMS = 4;
constexpr const char* DEFAULT_REGION_FILE = "vok.reg";

int base_prior = VOK_MISSING;
DOM_menu_item menu[DOM_MENU_MAX];
int menu_count = 0;
int decode_depth = 0;

// ---------------------------------------------------------------- text helpers

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool same_word(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool begins_with(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && same_word(s.substr(0, prefix.size()), prefix);
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

// A whole item as a finite float (blanks around it allowed).
bool read_float(std::string_view item, float* out)
{
    const std::string text(trimmed(item));
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const float v = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

// A whole item as an int.
bool read_int(std::string_view item, int* out)
{
    const std::string text(trimmed(item));
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

std::vector<std::string_view> split(std::string_view s, char delim)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = s.find(delim);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> words(std::string_view s)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && is_blank(s[i])) ++i;
        const std::size_t start = i;
        while (i < s.size() && !is_blank(s[i])) ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

bool is_station_item(const char* item)
{
    return item && begins_with(item, "id:");
}

bool is_no_domain(std::string_view item)
{
    return same_word(item, "miss") || same_word(item, "none");
}

// ---------------------------------------------------------------- text files

// Reads the next line, keeping at most DOM_LINE_LEN characters; *too_long
// tells that the line had more (the rest is read and dropped). False at the
// end of the file.
bool read_line(FILE* fp, std::string& line, bool* too_long)
{
    line.clear();
    *too_long = false;
    int c = std::getc(fp);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::getc(fp)) {
        if (line.size() < static_cast<std::size_t>(DOM_LINE_LEN)) line.push_back(static_cast<char>(c));
        else *too_long = true;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Opens a region or menu file in the "file_path" directory. A domain text is
// data: the file it names is read, never run as a command.
FILE* open_text_file(const char* name, std::string* full_name)
{
    char full[VOK_NAME_LEN];
    *full_name = name;
    if (!FILE_add_path(RES_get("file_path"), name, full)) return nullptr;
    *full_name = full;
    if (full[0] == '|') return nullptr;
    return FILE_open(full, "r");
}

// ---------------------------------------------------------------- projection keywords

struct ProjWord {
    const char* word;
    int code;
    bool whole;   // the whole text must be the word
};

constexpr ProjWord proj_words[] = {
    {"ll", MAP_PROJ_LATLON, false},      {"lat", MAP_PROJ_LATLON, false},
    {"polar", MAP_PROJ_POLAR, false},    {"ps", MAP_PROJ_POLAR, false},
    {"sat", MAP_PROJ_SAT, false},        {"lamb", MAP_PROJ_LAMBERT, false},
    {"lc", MAP_PROJ_LAMBERT, false},     {"la", MAP_PROJ_LAMB_AZ, false},
    {"gn", MAP_PROJ_GNOMONIC, false},    {"or", MAP_PROJ_ORTHO, false},
    {"mo", MAP_PROJ_MOLLWEIDE, false},   {"me", MAP_PROJ_MERC, false},
    {"pix", MAP_PROJ_PIXEL, false},      {"xy", MAP_PROJ_XY, false},
    {"xlogy", MAP_PROJ_XLOGP, false},    {"xlogp", MAP_PROJ_XLOGP, false},
    {"cat", MAP_PROJ_CAT, false},        {"skewt", MAP_PROJ_SKEWT, false},
    {"ema", MAP_PROJ_EMAGRAM, false},    {"teph", MAP_PROJ_TEPHI, false},
    {"rteph", MAP_PROJ_RTEPHI, false},   {"therm", MAP_PROJ_SKEWT, false},
    {"stuve", MAP_PROJ_STUVE, false},    {"hodo", MAP_PROJ_HODO, false},
    {"vert", MAP_PROJ_XLOGP, false},     {"xp", MAP_PROJ_XP, true},
    {"zoom", MAP_PROJ_ZOOM, false},      {"size", MAP_PROJ_SIZE, false},
    {"miss", VOK_MISSING, true},
};

int proj_code(std::string_view word)
{
    if (word.empty()) return -1;
    for (const ProjWord& p : proj_words) {
        if (p.whole ? same_word(word, p.word) : begins_with(word, p.word)) return p.code;
    }
    return -1;
}

// ---------------------------------------------------------------- reading one item

// "ps", "lc:-100" (central meridian), "ps:e:90:-105" (ellipsoid, pole
// latitude and longitude), "lc::-100:33:45" (true latitudes); an empty
// parameter leaves its field unset.
bool read_proj(std::string_view item, Domain* dom)
{
    const std::vector<std::string_view> parts = split(item, ':');
    const int code = proj_code(trimmed(parts[0]));
    if (code == -1) {
        dom->proj = MAP_PROJ_POLAR;
        return false;
    }
    dom->proj = code;
    std::size_t k = 1;
    if (k < parts.size() && same_word(trimmed(parts[k]), "e")) {
        dom->ellipse = 1;
        ++k;
    }
    float* targets[2 + MAX_PROJ_PARAMS] = {&dom->plat, &dom->plon, &dom->param[0],
                                           &dom->param[1], &dom->param[2], &dom->param[3]};
    std::size_t first = 0;
    if (parts.size() == 2 && k == 1) first = 1;   // a lone parameter is the central meridian
    if (parts.size() - k > std::size(targets) - first) return false;
    for (std::size_t t = first; k < parts.size(); ++k, ++t) {
        if (trimmed(parts[k]).empty()) continue;
        if (!read_float(parts[k], targets[t])) return false;
    }
    return true;
}

// "id:KDEN" or "id:upa.cty:72469": the position of a station of a station
// file ("sao.cty" when none is named).
bool read_station(std::string_view item, Domain* dom)
{
    std::string_view rest = item.substr(3);
    std::string file;
    const std::size_t colon = rest.rfind(':');
    if (colon != std::string_view::npos) {
        file = std::string(trimmed(rest.substr(0, colon)));
        rest.remove_prefix(colon + 1);
    }
    const std::string id(trimmed(rest));
    if (id.empty() || (!file.empty() && file[0] == '|')) return false;
    float lat = 0.0f;
    float lon = 0.0f;
    if (!CTY_get_loc(file.empty() ? nullptr : file.c_str(), id.c_str(), &lat, &lon)) return false;
    dom->clat = lat;
    dom->clon = lon;
    return true;
}

// The domain text of a named region: "fi:FILE" the first region of a file,
// "FILE:NAME" a region of a file, "FILE:" a region menu, a bare name from
// "vok.reg" or the built-in regions. A region nobody knows leaves the
// projection unknown (-1); a region text that does not decode fails.
bool read_region(std::string_view item, Domain* dom)
{
    item = trimmed(item);
    if (item.empty()) return false;
    char text[DOM_LINE_LEN + 1] = "";
    bool found = false;
    if (begins_with(item, "fi:")) {
        const std::string file(item.substr(3));
        found = DOM_search_file(file.c_str(), nullptr, text, sizeof text) == 1;
    } else if (const std::size_t colon = item.rfind(':'); colon != std::string_view::npos) {
        std::string file(item.substr(0, colon));
        if (file.empty()) file = DEFAULT_REGION_FILE;
        const std::string name(item.substr(colon + 1));
        if (name.empty()) DOM_read_menu(file.c_str());
        else found = DOM_search_file(file.c_str(), name.c_str(), text, sizeof text) == 1;
    } else {
        const std::string name(item);
        found = DOM_search_file(DEFAULT_REGION_FILE, name.c_str(), text, sizeof text) == 1;
        if (!found && DOM_get_def_region(name.c_str(), dom)) return true;
    }
    if (found) return DOM_decode(text, dom) != -1;
    DOM_init(dom);
    dom->proj = -1;
    return true;
}

bool latitude_ok(const Domain& dom, float lat)
{
    // Sounding diagrams and plots put other quantities in the centre fields.
    const bool map = dom.proj == VOK_MISSING || (dom.proj >= 1 && dom.proj <= 9);
    return !map || std::fabs(lat) <= 90.0f;
}

bool read_item(F code, const char* item, Domain* dom)
{
    switch (code) {
    case F::proj:
        return read_proj(item, dom);
    case F::plon:
        return read_float(item, &dom->plon);
    case F::clat:
        return read_float(item, &dom->clat) && latitude_ok(*dom, dom->clat);
    case F::clon:
        return read_float(item, &dom->clon);
    case F::nx:
        return read_int(item, &dom->nx);
    case F::ny:
        return read_int(item, &dom->ny);
    case F::dx:
        return read_float(item, &dom->dx);
    case F::dy:
        return read_float(item, &dom->dy);
    case F::id:
        return is_station_item(item) && read_station(item, dom);
    case F::reg:
        return !is_station_item(item) && read_region(item, dom);
    }
    return false;
}

// ---------------------------------------------------------------- layouts

// Defaults for the fields a layout leaves open.
constexpr unsigned FILL_POLAR = 1;     // polar stereographic
constexpr unsigned FILL_GRID = 2;      // 25 x 17 points
constexpr unsigned FILL_DY_DX = 4;     // dy = dx
constexpr unsigned FILL_SPACING = 8;   // dx = dy = 1.2
constexpr unsigned FILL_CENTRE = 16;   // proj,clat,clon: by projection

struct Layout {
    std::initializer_list<F> codes;
    unsigned fill;
    const char* name;   // for the trace
};

const Layout layouts[] = {
    {{F::proj, F::nx, F::ny}, 0, "proj,nx,ny"},
    {{F::proj, F::plon, F::clat, F::clon, F::nx, F::ny, F::dx, F::dy}, 0, "proj,plon,clat,clon,nx,ny,dx,dy"},
    {{F::proj, F::clat, F::clon, F::nx, F::ny, F::dx, F::dy}, 0, "proj,clat,clon,nx,ny,dx,dy"},
    {{F::proj, F::plon, F::clat, F::clon, F::dx, F::dy}, FILL_GRID, "proj,plon,clat,clon,dx,dy"},
    {{F::proj, F::clat, F::clon, F::nx, F::ny, F::dx}, FILL_DY_DX, "proj,clat,clon,nx,ny,dx"},
    {{F::clat, F::clon, F::nx, F::ny, F::dx, F::dy}, FILL_POLAR, "clat,clon,nx,ny,dx,dy"},
    {{F::proj, F::clat, F::clon, F::dx, F::dy}, FILL_GRID, "proj,clat,clon,dx,dy"},
    {{F::clat, F::clon, F::nx, F::ny, F::dx}, FILL_POLAR | FILL_DY_DX, "clat,clon,nx,ny,dx"},
    {{F::proj, F::clat, F::clon, F::dx}, FILL_GRID | FILL_DY_DX, "proj,clat,clon,dx"},
    {{F::clat, F::clon, F::nx, F::ny}, FILL_POLAR | FILL_SPACING, "clat,clon,nx,ny"},
    {{F::clat, F::clon, F::dx}, FILL_POLAR | FILL_GRID | FILL_DY_DX, "clat,clon,dx"},
    {{F::proj, F::clat, F::clon}, FILL_CENTRE, "proj,clat,clon"},
    {{F::clat, F::clon}, FILL_POLAR | FILL_GRID | FILL_SPACING, "clat,clon"},
    {{F::id}, FILL_POLAR | FILL_GRID | FILL_SPACING, "id:###"},
    {{F::reg}, 0, "reg:REG"},
};

// "size,640,480" with its numbers in the centre fields: they are the size.
bool fill_centre(Domain* dom)
{
    if (dom->proj == MAP_PROJ_SIZE) {
        if (!(std::fabs(dom->clat) < 1.0e9f) || !(std::fabs(dom->clon) < 1.0e9f)) return false;
        dom->nx = static_cast<int>(std::lround(dom->clat));
        dom->ny = static_cast<int>(std::lround(dom->clon));
        dom->clat = dom->clon = VOK_MISSING_F;
        return true;
    }
    dom->dx = dom->dy = dom->proj == MAP_PROJ_ZOOM ? ZOOM_SPACING : DEF_SPACING;
    dom->nx = DEF_NX;
    dom->ny = DEF_NY;
    return true;
}

bool fill_defaults(unsigned fill, Domain* dom)
{
    if ((fill & FILL_POLAR) && dom->proj == VOK_MISSING) dom->proj = MAP_PROJ_POLAR;
    if (fill & FILL_GRID) {
        dom->nx = DEF_NX;
        dom->ny = DEF_NY;
    }
    if (fill & FILL_SPACING) dom->dx = dom->dy = DEF_SPACING;
    if (fill & FILL_DY_DX) dom->dy = dom->dx;
    if (fill & FILL_CENTRE) return fill_centre(dom);
    return true;
}

// Tries the layouts in order on a fresh record each; the index of the one
// that fits, or -1.
int fit_layouts(int count, char** items, Domain* dom)
{
    const int n = static_cast<int>(std::size(layouts));
    for (int i = 0; i < n; ++i) {
        const Layout& lay = layouts[i];
        if (i == 0 && !(count > 0 && begins_with(items[0], "size"))) continue;
        Domain trial;
        DOM_init(&trial);
        const int fit = DOM_set_params(count, items, &trial, lay.codes);
        if (fit != 0) continue;
        if (is_no_domain(items[0])) {
            DOM_init(dom);
            return i;
        }
        if (!fill_defaults(lay.fill, &trial)) continue;
        MESS_print(M_DEBUG & M_SUB_C, "%2d %s\n", fit, lay.name);
        *dom = trial;
        return i;
    }
    return -1;
}

struct DepthGuard {
    DepthGuard() { ++decode_depth; }
    ~DepthGuard() { --decode_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

int invalid_domain(Domain* dom)
{
    // A region text inside a region text is reported by the outermost one.
    if (decode_depth == 1) MESS_print(M_WARN, "DOM_decode: Invalid plot domain\n");
    DOM_init(dom);
    FLAG_set(FLAG_DOMAIN_NUM, -1);
    return -1;
}

}  // namespace

int DOM_init(Domain* dom)
{
    if (!dom) return 0;
    dom->proj = VOK_MISSING;
    dom->plat = dom->plon = VOK_MISSING_F;
    for (float& p : dom->param) p = VOK_MISSING_F;
    dom->clat = dom->clon = VOK_MISSING_F;
    dom->dx = dom->dy = VOK_MISSING_F;
    dom->nx = dom->ny = VOK_MISSING;
    dom->ellipse = 0;
    return 0;
}

int DOM_proj_str(const char* str)
{
    return str ? proj_code(str) : -1;
}

int DOM_set_params(int count, char** items, Domain* dom, std::initializer_list<DOM_field> codes)
{
    if (!dom || codes.size() > MAX_FIELDS || count < 0 || (count > 0 && !items)) return -1;
    const F* c = codes.begin();
    const int ncodes = static_cast<int>(codes.size());
    // A station location in the latitude position stands for the longitude too.
    int need = 0;
    for (int k = 0; k < ncodes; ++k, ++need) {
        if (c[k] == F::clat && need < count && is_station_item(items[need]) && k + 1 < ncodes &&
            c[k + 1] == F::clon)
            ++k;
    }
    if (need != count) return 1;
    if (count > 0 && items[0] && is_no_domain(trimmed(items[0]))) {
        DOM_init(dom);
        return 0;
    }
    for (int k = 0, i = 0; k < ncodes; ++k, ++i) {
        if (!items[i]) return 1;
        F code = c[k];
        if (code == F::clat && is_station_item(items[i])) {
            code = F::id;
            if (k + 1 < ncodes && c[k + 1] == F::clon) ++k;
        }
        if (!read_item(code, items[i], dom)) return 1;
    }
    return 0;
}

int DOM_decode(const char* str, Domain* dom)
{
    Domain scratch;
    if (!dom) dom = &scratch;
    DOM_init(dom);
    const std::string_view whole = str ? trimmed(str) : std::string_view{};
    if (whole.empty() || same_word(whole, "miss")) {
        FLAG_set(FLAG_DOMAIN_NUM, VOK_MISSING);
        return VOK_MISSING;
    }
    const DepthGuard guard;
    if (decode_depth > MAX_REGION_DEPTH) return invalid_domain(dom);

    int count = 0;
    char** raw = nullptr;
    parse_string(str, ',', &count, &raw);
    MESS_print(M_DEBUG & M_SUB_C, "******** PARSING DOMAIN: %d %s\n", count, str);
    // Items are read without the blanks around them ("40, -100").
    std::vector<char*> items(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        char* s = raw[i];
        while (is_blank(*s)) ++s;
        std::size_t n = std::strlen(s);
        while (n > 0 && is_blank(s[n - 1])) s[--n] = '\0';
        items[static_cast<std::size_t>(i)] = s;
    }
    const int layout = count > 0 ? fit_layouts(count, items.data(), dom) : -1;
    const bool no_domain = layout >= 0 && is_no_domain(items[0]);
    free_parsed_array(count, raw);

    if (layout < 0) return invalid_domain(dom);
    if (no_domain) {
        FLAG_set(FLAG_DOMAIN_NUM, VOK_MISSING);
        return VOK_MISSING;
    }
    // A region nobody knows keeps its unknown projection; every other domain
    // must be one the map transform can draw (a grid of at least one point,
    // spacings that are not 0, no pole or antipode where the projection
    // divides by zero).
    if (dom->proj != -1 && !MAP_check_domain(dom)) return invalid_domain(dom);

    const int result = layouts[layout].codes.begin()[0] == F::reg ? 2 : 1;
    FLAG_set(FLAG_DOMAIN_NUM, result);
    // File name templates may name the domain through key "r".
    FILE_set_key('r', str);
    if (dom->ny != VOK_MISSING && dom->dy != VOK_MISSING_F)
        DOM_set_base_prior(static_cast<float>(dom->ny - 1) * dom->dy);
    return result;
}

int DOM_get_def_region(const char* name, Domain* dom)
{
    struct Region {
        const char* name;
        float clat;
        float clon;
        float spacing;
    };
    static constexpr Region regions[] = {
        {"us", 39.0f, -97.0f, 2.3f},  {"ne", 42.0f, -76.0f, 0.9f},  {"at", 37.0f, -82.0f, 0.9f},
        {"se", 31.0f, -88.0f, 1.1f},  {"mw", 43.0f, -93.0f, 1.1f},  {"sp", 32.5f, -100.0f, 1.2f},
        {"nw", 44.0f, -112.0f, 1.0f}, {"sw", 37.0f, -112.0f, 1.0f},
    };
    if (!name || !dom) return 0;
    float clat = 0.0f;
    float clon = 0.0f;
    float spacing = DEF_SPACING;
    if (same_word(name, "var")) {
        clat = VOK_promptf("Enter the central latitude: ");
        clon = VOK_promptf("Enter the central longitude: ");
    } else {
        const Region* found = nullptr;
        for (const Region& r : regions)
            if (same_word(name, r.name)) found = &r;
        if (!found) return 0;
        clat = found->clat;
        clon = found->clon;
        spacing = found->spacing;
    }
    DOM_init(dom);
    dom->proj = MAP_PROJ_POLAR;
    dom->clat = clat;
    dom->clon = clon;
    dom->plon = clon;
    dom->dx = dom->dy = spacing;
    dom->nx = DEF_NX;
    dom->ny = DEF_NY;
    DOM_set_base_prior(static_cast<float>(DEF_NY - 1) * spacing);
    return 1;
}

int DOM_search_file(const char* file, const char* region, char* out, int len)
{
    if (!out || len < 1) return 0;
    out[0] = '\0';
    std::string full;
    FILE* fp = open_text_file(file && *file ? file : DEFAULT_REGION_FILE, &full);
    if (!fp) {
        MESS_print(M_DEBUG & M_SUB_D, "Unable to open region file: %s\n", full.c_str());
        return 0;
    }
    const bool any = !region || !*region;
    std::string line;
    bool too_long = false;
    int found = 0;
    while (!found && read_line(fp, line, &too_long)) {
        if (too_long) {
            MESS_print(M_DEBUG & M_SUB_D, "DOM_search_file: Line over %d characters skipped in %s\n",
                       DOM_LINE_LEN, full.c_str());
            continue;
        }
        const std::vector<std::string_view> w = words(line);
        if (w.empty()) break;   // the first empty line ends the regions
        if (w[0][0] == '#') continue;
        std::string_view text;
        int number = 0;
        if (w.size() == 1 && any) text = w[0];
        else if (w.size() >= 4 && read_int(w[2], &number) && (any || same_word(w[0], region))) text = w[3];
        if (text.empty()) continue;
        if (text.size() >= static_cast<std::size_t>(len)) break;
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\0';
        found = 1;
    }
    FILE_close(fp, full.c_str());
    return found;
}

int DOM_read_menu(const char* file)
{
    std::string full;
    FILE* fp = file && *file ? open_text_file(file, &full) : nullptr;
    if (!fp) return 0;
    menu_count = 0;
    std::string line;
    bool too_long = false;
    while (menu_count < DOM_MENU_MAX && read_line(fp, line, &too_long)) {
        const std::vector<std::string_view> w = words(line);
        if (too_long || w.size() < 3 || w[0][0] == '#') continue;
        int num = 0;
        if (w[0].size() >= sizeof menu[0].id || w[1].size() >= sizeof menu[0].name ||
            !read_int(w[2], &num) || num == 0)
            continue;
        DOM_menu_item& m = menu[menu_count++];
        std::snprintf(m.id, sizeof m.id, "%.*s", static_cast<int>(w[0].size()), w[0].data());
        std::snprintf(m.name, sizeof m.name, "%.*s", static_cast<int>(w[1].size()), w[1].data());
        for (char& ch : m.name)
            if (ch == '_') ch = ' ';
        m.num = num;
    }
    FILE_close(fp, full.c_str());
    return 1;
}

int DOM_get_menu(const DOM_menu_item** items)
{
    if (items) *items = menu;
    return menu_count;
}

int DOM_set_base_prior(float size)
{
    // Larger maps show only the more important stations.
    int prior = 6;
    if (size > 50.0f) prior = 1;
    else if (size > 25.0f) prior = 2;
    else if (size > 12.5f) prior = 3;
    else if (size > 6.25f) prior = 4;
    else if (size > 3.0f) prior = 5;

    const char* adjust = RES_get("stat_prior");
    if (adjust && (adjust[0] == '+' || adjust[0] == '-') && std::isdigit(static_cast<unsigned char>(adjust[1]))) {
        const int step = adjust[1] - '0';
        prior += adjust[0] == '+' ? step : -step;
    } else if (adjust && std::isdigit(static_cast<unsigned char>(adjust[0]))) {
        prior = adjust[0] - '0';
    }
    base_prior = prior;
    return 0;
}

int DOM_get_base_prior()
{
    return base_prior;
}

void DOM_reset()
{
    base_prior = VOK_MISSING;
    menu_count = 0;
    decode_depth = 0;
}
