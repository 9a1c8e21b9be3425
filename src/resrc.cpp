// The process-wide resource list: every setting of the program is a named
// text value. Sources (defaults files, loop windows, the environment, the
// command line) set them in precedence order; modules read them by name.
#include "vok.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Static head node; the list hangs from root_res.next in the order in which
// names were first set.
resource root_res{VOK_MISSING, nullptr, nullptr, CV_none, nullptr};

int clargc = 0;
char** clargv = nullptr;

char* dup_text(const char* text)
{
    if (!text) return nullptr;
    std::size_t len = std::strlen(text);
    auto* copy = static_cast<char*>(std::malloc(len + 1));
    if (copy) std::memcpy(copy, text, len + 1);
    return copy;
}

resource* find(const char* name)
{
    if (!name) return nullptr;
    for (resource* r = root_res.next; r; r = r->next) {
        if (std::strcmp(r->name, name) == 0) return r;
    }
    return nullptr;
}

// A new node at the end of the list, or null when memory ran out.
resource* add_node(int index, const char* name, const char* data, DEF_convert cvt)
{
    auto* node = static_cast<resource*>(std::malloc(sizeof(resource)));
    if (!node) return nullptr;
    node->name = dup_text(name);
    node->data = nullptr;
    if (!node->name || (data && !(node->data = dup_text(data)))) {
        std::free(node->name);
        std::free(node);
        return nullptr;
    }
    node->index = index;
    node->cvt = cvt;
    node->next = nullptr;
    resource* last = &root_res;
    while (last->next) last = last->next;
    last->next = node;
    return node;
}

bool word_is(const char* value, const char* word)
{
    return stricmp(value, word) == 0;
}

bool starts_number(const char* value)
{
    return (value[0] >= '0' && value[0] <= '9') || value[0] == '-' || value[0] == '+';
}

// Up to n digits from *p, advancing it; false when no digit is there.
bool read_digits(const char*& p, int n, std::int32_t* out)
{
    if (*p < '0' || *p > '9') return false;
    std::int32_t v = 0;
    for (int i = 0; i < n && *p >= '0' && *p <= '9'; ++i, ++p) v = v * 10 + (*p - '0');
    *out = v;
    return true;
}

// The "hour" resource: the time of the file the user means, as much of it as
// the value gives (a full "#" date, month-day-hour, day-hour, a day offset
// with hour and minute, or an hour and minute, possibly negative).
void parse_hour(const char* value, Date* d)
{
    DATE_init(d);
    d->sec = 0;
    const std::size_t len = std::strlen(value);
    const bool colon = std::strchr(value, ':') != nullptr;
    const bool digit0 = value[0] >= '0' && value[0] <= '9';
    int a = VOK_MISSING, b = VOK_MISSING, c = VOK_MISSING;
    if (value[0] == '#') {
        const char* p = value + 1;
        if (read_digits(p, 4, &d->year) && read_digits(p, 2, &d->month) &&
            read_digits(p, 2, &d->day) && read_digits(p, 2, &d->hour)) {
            read_digits(p, 2, &d->min);
        }
    } else if (len == 6 && !colon) {
        std::sscanf(value, "%2d%2d%2d", &a, &b, &c);
        d->month = a;
        d->day = b;
        d->hour = c;
    } else if (len == 4 && digit0 && !colon) {
        std::sscanf(value, "%2d%2d", &a, &b);
        d->day = a;
        d->hour = b;
    } else if (len == 3 && digit0 && !colon) {
        std::sscanf(value, "%1d%2d", &a, &b);
        d->day = a;
        d->hour = b;
    } else if (std::strchr(value, 'd')) {
        std::sscanf(value, "%dd%d:%d", &a, &b, &c);
        d->day = a;
        d->hour = b;
        d->min = c;
    } else if (value[0] == ':') {
        std::sscanf(value, ":%d", &a);
        d->min = a;
    } else if (value[0] == '-' && value[1] == ':') {
        if (std::sscanf(value + 2, "%d", &a) == 1) d->min = -a;
    } else {
        std::sscanf(value, "%d:%d", &a, &b);
        d->hour = a;
        d->min = b;
        // "-0:30": half an hour back, not hour zero.
        if (value[0] == '-' && d->hour == 0) {
            d->hour = VOK_MISSING;
            if (d->min != VOK_MISSING) d->min = -d->min;
        }
    }
}

bool is_hex(const char* value)
{
    return value[0] && (value[1] == 'x' || value[1] == 'X');
}

} // namespace

int RES_new(int index, const char* name, const char* data, DEF_convert cvt)
{
    if (!name) return -1;
    if (resource* r = find(name)) {
        char* copy = nullptr;
        if (data && !(copy = dup_text(data))) return -1;
        std::free(r->data);
        r->data = copy;
        r->index = index;
        r->cvt = cvt;
        return 0;
    }
    return add_node(index, name, data, cvt) ? 0 : -1;
}

int RES_append(int index, const char* name, const char* data, DEF_convert cvt)
{
    if (!name) return -1;
    resource* r = find(name);
    if (!r) return add_node(index, name, data, cvt) ? 0 : -1;
    if (!data) return 0;
    if (!r->data) {
        r->data = dup_text(data);
        return r->data ? 0 : -1;
    }
    // Several values of one resource (the positional file names) are kept
    // in one text, a line each.
    std::size_t old_len = std::strlen(r->data);
    std::size_t add_len = std::strlen(data);
    auto* joined = static_cast<char*>(std::malloc(old_len + add_len + 2));
    if (!joined) return -1;
    std::memcpy(joined, r->data, old_len);
    joined[old_len] = '\n';
    std::memcpy(joined + old_len + 1, data, add_len + 1);
    std::free(r->data);
    r->data = joined;
    return 0;
}

int RES_put(const char* name, const char* value)
{
    return RES_new(VOK_MISSING, name, value, CV_string);
}

const char* RES_get(const char* name)
{
    const resource* r = find(name);
    if (!r) return nullptr;
    return r->data ? r->data : "";
}

int RES_getvals(const char* name, char*** array)
{
    if (!array) return 0;
    *array = nullptr;
    const resource* r = find(name);
    if (!r || !r->data) return 0;
    int count = 0;
    if (parse_string(r->data, r->cvt == CV_strings ? '\n' : ',', &count, array) != 0) return 0;
    return count;
}

int RES_getval(const char* name, void* buf, DEF_convert cvt)
{
    if (!buf) return 0;
    const resource* r = find(name);
    if (!r) return 0;
    return RES_conv_data(r->data, buf, cvt);
}

int RES_list()
{
    for (const resource* r = root_res.next; r; r = r->next) {
        if (r->data) {
            MESS_print(0x8, "%s: %s\n", r->name, r->data);
        } else {
            MESS_print(0x8, "%s:\n", r->name);
        }
    }
    return 0;
}

int RES_setCL(int argc, char** argv)
{
    clargc = argc;
    clargv = argv;
    return 0;
}

const char* RES_get_prog()
{
    return (clargv && clargc > 0) ? clargv[0] : nullptr;
}

char* RES_get_progname(char* buf, int len)
{
    const char* path = RES_get_prog();
    if (!path) path = "";
    const char* slash = std::strrchr(path, '/');
    const char* base = slash ? slash + 1 : path;
    std::size_t need = std::strlen(base) + 1;
    if (!buf) {
        buf = static_cast<char*>(std::malloc(need));
        if (!buf) return const_cast<char*>("VOK");
        std::memcpy(buf, base, need);
        return buf;
    }
    if (len <= 0) return buf;
    std::snprintf(buf, static_cast<std::size_t>(len), "%s", base);
    return buf;
}

resource* RES_first()
{
    return root_res.next;
}

void RES_clear()
{
    resource* r = root_res.next;
    while (r) {
        resource* next = r->next;
        std::free(r->name);
        std::free(r->data);
        std::free(r);
        r = next;
    }
    root_res.next = nullptr;
    clargc = 0;
    clargv = nullptr;
}

int RES_conv_data(const char* value, void* out, DEF_convert cvt)
{
    switch (cvt) {
    case CV_batch:
        FLAG_set(FLAG_BATCH_NUM, 1);
        // A level the user chose stays in force.
        if (MESS_check_set() == 0) MESS_set(0, 0xFF);
        return 1;
    case CV_help:
        FLAG_set(FLAG_HELP_NUM, 1);
        return 1;
    case CV_bool:
        if (!out) return 0;
        if (!value || word_is(value, "true") || word_is(value, "on") || word_is(value, "yes")) {
            *static_cast<int*>(out) = 1;
        } else if (word_is(value, "false") || word_is(value, "off") || word_is(value, "no")) {
            *static_cast<int*>(out) = 0;
        }
        return 1;
    default:
        break;
    }

    if (!value) return 0;
    switch (cvt) {
    case CV_mess:
        MESS_set_str(value);
        return 1;
    case CV_hour: {
        Date d;
        parse_hour(value, &d);
        FILE_set_time(&d);
        return 1;
    }
    case CV_file_param:
        if (word_is(value, "use") || word_is(value, "reuse")) {
            FLAG_set(FLAG_FILE_PARAM, 3);
        } else if (word_is(value, "over") || word_is(value, "calc") || word_is(value, "recalc")) {
            FLAG_set(FLAG_FILE_PARAM, 1);
        } else if (word_is(value, "app")) {
            FLAG_set(FLAG_FILE_PARAM, 2);
        }
        return 1;
    case CV_int:
        if (!out) return 0;
        if (starts_number(value)) {
            *static_cast<int*>(out) =
                static_cast<int>(std::strtol(value, nullptr, is_hex(value) ? 16 : 10));
        }
        return 1;
    case CV_short:
        if (!out) return 0;
        if (starts_number(value)) {
            *static_cast<short*>(out) =
                static_cast<short>(std::strtol(value, nullptr, is_hex(value) ? 16 : 10));
        }
        return 1;
    case CV_long:
    case CV_color:
        if (!out) return 0;
        if (starts_number(value)) {
            *static_cast<long*>(out) = std::strtol(value, nullptr, is_hex(value) ? 16 : 10);
        }
        return 1;
    case CV_float:
        if (!out) return 0;
        if (starts_number(value) || value[0] == '.') {
            *static_cast<float*>(out) = std::strtof(value, nullptr);
        }
        return 1;
    case CV_string:
        if (!out) return 0;
        *static_cast<const char**>(out) = value;
        return 1;
    case CV_strcpy:
    case CV_path: {
        // Text kinds fill a name buffer of VOK_NAME_LEN characters; a value
        // that does not fit leaves it as it was rather than cut.
        if (!out) return 0;
        auto* buf = static_cast<char*>(out);
        if (cvt == CV_path && word_is(value, "none")) {
            buf[0] = '\0';
            return 1;
        }
        std::size_t len = std::strlen(value);
        bool delim = cvt == CV_path && len > 0 && value[len - 1] != '/';
        if (len + (delim ? 1 : 0) >= static_cast<std::size_t>(VOK_NAME_LEN)) return 0;
        std::memcpy(buf, value, len + 1);
        if (delim) FILE_add_path_delim(buf);
        return 1;
    }
    case CV_region:
    case CV_domain:
        // A domain text or region name into the Domain record given.
        if (!out) return 0;
        DOM_decode(value, static_cast<Domain*>(out));
        return 1;
    default:
        // The kinds of the plotting programs (regions, domains, devices,
        // plot types, drawing components) are not converted by this program.
        return 1;
    }
}
