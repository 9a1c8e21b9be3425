// Station database: the stations of a station table loaded into a keyed
// table under their identifier and WMO key, each with a private data slot in
// which the caller merges what it learns about the station (the conversion
// keeps one upper-air report per station there).
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "vokcty.h"

namespace {

// Module state.
int cty_fd = -1;              // descriptor of the open station file
int store = 0;                // store type of the last load (0: none)
int id_type = 0;
TAB_table city_tbl{};         // the loaded stations
bool table_made = false;      // city_tbl was created by a load
int data_size = 0;            // slot size in bytes, 0 = no slots
CTY_enter_t enter_func = nullptr;
stat_FULL_data stat_FULL{};   // staging entry
stat_FULL_data* stat_FULL_ptr = nullptr;  // the entry found last

// Tables of earlier loads: a second load builds a new table, but slots
// handed out before stay valid for the rest of the run.
std::vector<TAB_table> old_tables;

// The bucket count follows the file size: about one station line per 59
// bytes. Never 0 (a tiny file still needs one bucket), never above 4000.
int bucket_estimate(long size)
{
    long n = size / 59;
    if (n < 1) n = 1;
    if (n > 4000) n = 4000;
    return static_cast<int>(n);
}

void wmo_key(const CTY_data* data, char* key, std::size_t len)
{
    if (std::strcmp(data->region, "B_") == 0) std::snprintf(key, len, "b%05d", data->wmo);
    else std::snprintf(key, len, "%05d", data->wmo);
}

// Enters the staging entry with a fresh slot; a failed entry is lost
// silently, its slot released.
void enter_station(const char* key1, const char* key2)
{
    void* slot = nullptr;
    if (data_size > 0) {
        slot = std::calloc(1, static_cast<std::size_t>(data_size));
        if (!slot) return;
        if (enter_func) enter_func(&stat_FULL.data, slot);
    }
    stat_FULL.slot = slot;
    if (TAB_enter(&city_tbl, &stat_FULL, key1, key2) != 0) std::free(slot);
}

void free_table(TAB_table& tbl)
{
    TAB_first(&tbl);
    while (auto* e = static_cast<stat_FULL_data*>(TAB_next(&tbl))) std::free(e->slot);
    TAB_free(&tbl);
}

bool text_is(const char* a, const char* b)
{
    return stricmp(a, b) == 0;
}

// Keyword at the start of a term, any case; the rest of the term follows.
bool starts(const char* term, const char* word, const char** rest)
{
    const std::size_t n = std::strlen(word);
    if (std::strlen(term) < n || strnicmp(term, word, static_cast<int>(n)) != 0) return false;
    *rest = term + n;
    return true;
}

bool state_matches(const char* text, const CTY_data* data, const char* st_cn)
{
    const std::size_t n = std::strlen(text);
    return (n == 2 && text_is(text, data->state)) || (n == 5 && text_is(text, st_cn));
}

// "=", "<" or ">" comparison of a number against a station value.
bool compare(char op, double value, double limit)
{
    switch (op) {
    case '=': return value == limit;
    case '<': return value <= limit;
    case '>': return value >= limit;
    default: return false;
    }
}

// One ":" term list; true when every term matches.
bool terms_match(int count, char** terms, const CTY_data* data, const char* wmo_text,
                 const char* st_cn)
{
    for (int i = 0; i < count; ++i) {
        const char* t = terms[i];
        const char* r = nullptr;
        bool ok = false;
        if (starts(t, "Name=", &r)) {
            ok = strnicmp(data->name, r, static_cast<int>(std::strlen(r))) == 0 || r[0] == '\0';
        } else if (starts(t, "ST=", &r)) {
            ok = state_matches(r, data, st_cn);
        } else if (text_is(t, "ST")) {
            ok = i + 1 < count && state_matches(terms[++i], data, st_cn);
        } else if (starts(t, "CN=", &r)) {
            ok = text_is(r, data->region);
        } else if (text_is(t, "CN")) {
            ok = i + 1 < count && text_is(terms[++i], data->region);
        } else if (starts(t, "ID=", &r)) {
            ok = text_is(r, data->id);
        } else if (starts(t, "RA<", &r)) {
            if (i + 2 < count) {
                const float lat = std::strtof(r, nullptr);
                const float lon = std::strtof(terms[i + 1], nullptr);
                const float range = std::strtof(terms[i + 2], nullptr);
                ok = calc_distance(lat, lon, data->lat, data->lon) <= range;
            }
            i += 2;
        } else if (starts(t, "WMO=", &r)) {
            ok = text_is(r, wmo_text);
        } else if (starts(t, "WMO", &r) && (r[0] == '<' || r[0] == '>')) {
            ok = compare(r[0], data->wmo, std::strtol(r + 1, nullptr, 10));
        } else if (starts(t, "P", &r) && (r[0] == '=' || r[0] == '<' || r[0] == '>')) {
            ok = compare(r[0], data->prior, std::strtol(r + 1, nullptr, 10));
        } else if (starts(t, "Lat", &r) && (r[0] == '=' || r[0] == '<' || r[0] == '>')) {
            ok = compare(r[0], data->lat, std::strtof(r + 1, nullptr));
        } else if (starts(t, "Lon", &r) && (r[0] == '=' || r[0] == '<' || r[0] == '>')) {
            ok = compare(r[0], data->lon, std::strtof(r + 1, nullptr));
        } else if (starts(t, "Elev", &r) && (r[0] == '=' || r[0] == '<' || r[0] == '>')) {
            ok = compare(r[0], data->el, std::strtof(r + 1, nullptr));
        }
        if (!ok) return false;
    }
    return true;
}

// A station line whose position cannot be is skipped: a station placed at
// latitude 99 or longitude -999 (or at none) would carry that position into
// every report written for it. The first few are named, the rest counted.
constexpr int SKIP_WARNINGS = 10;

bool has_position(const CTY_data& d)
{
    return d.lat >= -90.0f && d.lat <= 90.0f && d.lon >= -180.0f && d.lon <= 360.0f;
}

// Every line of the open station file into the table, as far as the
// priority limit, the selection and the domain let it; the number of lines
// with a position.
int load_lines(int nval, char** vals, int prior)
{
    CTY_data data{};
    char key[16];
    int positioned = 0;
    int skipped = 0;
    while (CTY_read(cty_fd, &data) > 0) {
        if (!has_position(data)) {
            if (++skipped > SKIP_WARNINGS) continue;
            if (data.lat == VOK_MISSING_F || data.lon == VOK_MISSING_F)
                MESS_print(M_WARN, "CTY_store: %s:%d: no position, station skipped\n", CTY_file_name(),
                           CTY_line_number());
            else
                MESS_print(M_WARN, "CTY_store: %s:%d: impossible position (latitude %.2f, longitude "
                           "%.2f), station skipped\n", CTY_file_name(), CTY_line_number(),
                           static_cast<double>(data.lat), static_cast<double>(data.lon));
            continue;
        }
        ++positioned;
        if (data.prior > prior) continue;
        wmo_key(&data, key, sizeof key);
        if (CTY_data_cmp(nval, vals, &data) == -1) continue;
        float x = 0.0f;
        float y = 0.0f;
        MAP_tran(&x, &y, data.lat, data.lon);
        if (!MAP_in_grid_domain(x, y)) continue;
        stat_FULL.data = data;
        // A station without an identifier ("-", a third of the shipped
        // table) is found by the one its WMO number makes, as its record
        // names it: under "-" they would all share one bucket of the table.
        char made[VOK_ID_LEN];
        const bool none = std::strcmp(data.id, "-") == 0 && wmo_to_id(made, data.wmo) == 0;
        enter_station(none ? made : data.id, key);
    }
    if (skipped > SKIP_WARNINGS)
        MESS_print(M_WARN, "CTY_store: %d more station lines of %s skipped\n", skipped - SKIP_WARNINGS,
                   CTY_file_name());
    return positioned;
}

}  // namespace

int CTY_data_init(CTY_data* data)
{
    if (!data) return 0;
    data->name[0] = '\0';
    data->id[0] = '\0';
    data->wmo = VOK_MISSING;
    data->lat = data->lon = data->el = VOK_MISSING_F;
    return 0;
}

int CTY_data_size(int size)
{
    data_size = size > 0 ? size : 0;
    return 0;
}

int CTY_enter_func(CTY_enter_t func)
{
    enter_func = func;
    return 0;
}

int CTY_get_prior()
{
    int prior = 10;
    RES_getval("stat_prior", &prior, CV_int);
    return prior;
}

int CTY_open_file(const char* name, int* count)
{
    if (count) *count = 1;
    const char* file = (name && name[0]) ? name : "sao.cty";
    const char* city = RES_get("city_file");
    if (city && city[0]) {
        if (text_is(city, "none")) return -1;
        file = city;
    }
    char full[VOK_NAME_LEN];
    if (!FILE_add_path(RES_get("file_path"), file, full)) {
        MESS_print(M_WARN, "CTY_open_file: Database file not found: %s\n", file);
        return -1;
    }
    if (count) *count = bucket_estimate(FILE_size(full));
    // A directory opens as a stream but holds no line.
    if (FILE_is_dir(full)) {
        MESS_print(M_WARN, "CTY_open_file: Database file is a directory: %s\n", full);
        return -1;
    }
    const int fd = CTY_open(full, 0, 0);
    if (fd < 0) MESS_print(M_WARN, "CTY_open_file: Database file not found: %s\n", full);
    return fd;
}

int CTY_store(const char* name, int store_type, const Domain* dom, int prior)
{
    store = store_type;
    int count = 1;
    cty_fd = CTY_open_file(name, &count);
    if (cty_fd < 0) return 0;
    if (store != 1) {
        // Nothing is loaded: a failure, and the file is not left open.
        MESS_print(M_WARN, "CTY_store: Unknown store type: %d\n", store_type);
        CTY_close();
        cty_fd = -1;
        return 0;
    }

    MAP_domain(dom);
    MESS_print(M_MESS, "Reading the city database file...\n");

    char** vals = nullptr;
    int nval = RES_getvals("identifier", &vals);
    if (nval == 1 && text_is(vals[0], "all")) {
        free_parsed_array(nval, vals);
        vals = nullptr;
        nval = 0;
    }
    if (prior == VOK_MISSING) prior = CTY_get_prior();

    CTY_rewind();
    if (table_made) old_tables.push_back(city_tbl);
    table_made = TAB_create(&city_tbl, count, static_cast<int>(sizeof(stat_FULL_data)), 2) == 0;
    if (!table_made) {
        // No table to hold the stations: as much a failure as no file.
        TAB_free(&city_tbl);
        free_parsed_array(nval, vals);
        CTY_close();
        cty_fd = -1;
        return 0;
    }

    const int positioned = load_lines(nval, vals, prior);
    free_parsed_array(nval, vals);
    if (positioned > 0) return cty_fd;
    // Not one station could be placed: a table of nothing would write every
    // report without a position, as if it were no table at all.
    MESS_print(M_WARN, "CTY_store: No station line with a position in the database file: %s\n",
               CTY_file_name());
    free_table(city_tbl);
    city_tbl = TAB_table{};
    table_made = false;
    CTY_close();
    cty_fd = -1;
    return 0;
}

int CTY_data_cmp(int nval, char** vals, const CTY_data* data)
{
    if (nval <= 0 || !vals) return 1;
    if (!data) return -1;
    char wmo_text[16];
    std::snprintf(wmo_text, sizeof wmo_text, "%5.5d", data->wmo);
    char st_cn[8];
    std::snprintf(st_cn, sizeof st_cn, "%2s_%2s", data->state, data->region);

    for (int v = 0; v < nval; ++v) {
        const char* val = vals[v];
        if (!val) continue;
        const std::size_t len = std::strlen(val);
        // A bare WMO number, an identifier or the start of a name selects
        // the station whatever the terms gave.
        if ((len == 5 && std::strcmp(val, wmo_text) == 0) || text_is(val, data->id) ||
            (len > 4 && strnicmp(data->name, val, static_cast<int>(len)) == 0)) {
            return v;
        }
        int count = 0;
        char** terms = nullptr;
        if (parse_string(val, ':', &count, &terms) != 0) continue;
        const bool ok = terms_match(count, terms, data, wmo_text, st_cn);
        free_parsed_array(count, terms);
        if (ok) return v;
    }
    return -1;
}

void* CTY_get_data(const char* key)
{
    if (!key || store != 1 || !table_made) return nullptr;
    const std::size_t len = std::strlen(key);
    void* found = nullptr;
    if ((len == 5 && std::isdigit(static_cast<unsigned char>(key[0]))) ||
        (len == 6 && key[0] == 'b' && string_is_num_len(key + 1, 5))) {
        // The "b" form is the WMO key of the stations of region "B_".
        found = TAB_search(&city_tbl, 2, key);
    } else if (len == 4 && key[0] >= 'a' && key[0] <= 'z') {
        // A lower-case four-letter key goes to the WMO keys through the
        // identifier mapping; the mapping reads only five-character
        // identifiers, so such a key is searched as it stands.
        int wmo = 99999;
        if (id_to_wmo(key, &wmo) == 0) {
            char wkey[16];
            std::snprintf(wkey, sizeof wkey, "%05d", wmo);
            found = TAB_search(&city_tbl, 2, wkey);
        } else {
            found = TAB_search(&city_tbl, 2, key);
        }
    } else {
        found = TAB_search(&city_tbl, 1, key);
    }
    if (!found) return nullptr;
    stat_FULL_ptr = static_cast<stat_FULL_data*>(found);
    return stat_FULL_ptr->slot;
}

const CTY_data* CTY_get_station(const char* key)
{
    return CTY_get_data(key) ? &stat_FULL_ptr->data : nullptr;
}

void* CTY_next_data(int n)
{
    if (store != 1 || !table_made) return nullptr;
    if (n == 0) TAB_first(&city_tbl);
    auto* e = static_cast<stat_FULL_data*>(TAB_next(&city_tbl));
    return e ? e->slot : nullptr;
}

int CTY_make_entry_simple(const char* id, const char* wmo)
{
    if (!id) id = "";
    if (!wmo) wmo = "";
    CTY_data data{};
    CTY_data_init(&data);
    std::snprintf(data.id, sizeof data.id, "%s", id);
    data.wmo = std::atoi(wmo);
    data.state[0] = data.region[0] = '\0';
    data.prior = VOK_MISSING;
    data.mos = data.ua = ' ';
    data.num = 0;
    if (store != 1 || !table_made) return 0;
    stat_FULL.data = data;
    // Key 1 is the identifier as given, so that a call sign longer than the
    // record's identifier field is still found.
    enter_station(id, wmo);
    return 0;
}

int CTY_get(const char* name, const char* key, CTY_data* data)
{
    if (!key || !data) return 0;
    if (CTY_open_file(name, nullptr) < 0) return 0;
    MESS_print(M_MESS, "Searching the city database file for: %s ...\n", key);
    CTY_rewind();
    int found = 0;
    char wmo_text[16];
    while (CTY_read(0, data) > 0) {
        std::snprintf(wmo_text, sizeof wmo_text, "%05d", data->wmo);
        if (text_is(key, data->id) || text_is(key, data->name) || text_is(key, wmo_text)) {
            found = 1;
            break;
        }
    }
    CTY_close();
    cty_fd = -1;
    return found;
}

int CTY_get_loc(const char* name, const char* key, float* lat, float* lon)
{
    CTY_data data{};
    if (!CTY_get(name, key, &data)) return 0;
    if (lat) *lat = data.lat;
    if (lon) *lon = data.lon;
    return 1;
}

void CTY_reset()
{
    CTY_close();
    if (table_made) free_table(city_tbl);
    for (TAB_table& t : old_tables) free_table(t);
    old_tables.clear();
    city_tbl = TAB_table{};
    table_made = false;
    cty_fd = -1;
    store = 0;
    id_type = 0;
    data_size = 0;
    enter_func = nullptr;
    stat_FULL = stat_FULL_data{};
    stat_FULL_ptr = nullptr;
}
