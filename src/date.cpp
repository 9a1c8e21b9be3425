#include "vok.h"

// ---------------------------------------------------------------- dates and labels
// All time handling of the suite works on the broken-down UTC record `Date`
// and on signed 64-bit seconds since 1970-01-01 00:00 UTC. Labels head every
// upper-air data file, so the writer and the reader below must agree.
//
// ---------------------------------------------------------------- decode window
// A raw bulletin file mixes observation times; one output file holds one
// nominal time, and every report part is checked against a window of minutes
// around it. The check runs once per report part, so it formats nothing unless
// the trace level is on.

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

namespace {

constexpr const char* months[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                    "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr const char* months_lc[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                       "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr int num_day[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
constexpr int num_day_leap[13] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};

constexpr std::int64_t SEC_DAY = 86400;
constexpr std::int64_t SEC_HOUR = 3600;

// Label time zone.
char tz_str[6] = "Z";
int tz_pm = 0;
int tz_off = 0;

// Decode window.
Date file_date = {VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING,
                  VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING};
std::int64_t base = 0;
int min_pre = -15;
int min_post = 10;
std::int64_t begin = 0;
std::int64_t end = 0;

bool is_set(std::int32_t v)
{
    return v != VOK_MISSING;
}

// Label corrections: the same defaults as DATE_num_sec, but on a copy.
int label_year(int year)
{
    return year < 0 ? 1980 : year;
}
int label_month(int month)
{
    return (month < 1 || month > 12) ? 1 : month;
}
int label_day(int day)
{
    return (day < 0 || day > 31) ? 1 : day;
}
int label_hour(int hour)
{
    return (hour < 0 || hour > 23) ? 0 : hour;
}
int label_min(int min)
{
    return (min < 0 || min > 59) ? 0 : min;
}

// The hour on a 12-hour clock and its half of the day.
int clock12(int hour, const char** half)
{
    *half = hour >= 12 ? "PM" : "AM";
    if (hour > 12) return hour - 12;
    if (hour == 0) return 12;
    return hour;
}

// Reads a number as scanf's "%d" does (leading white space, sign, digits),
// but refuses one beyond +-INT_MAX so that any later negation is defined.
bool scan_int(const char*& p, int& out)
{
    const char* q = p;
    while (*q && std::isspace(static_cast<unsigned char>(*q))) ++q;
    bool neg = false;
    if (*q == '+' || *q == '-') {
        neg = *q == '-';
        ++q;
    }
    if (!std::isdigit(static_cast<unsigned char>(*q))) return false;
    long long v = 0;
    while (std::isdigit(static_cast<unsigned char>(*q))) {
        v = v * 10 + (*q - '0');
        if (v > INT_MAX) return false;
        ++q;
    }
    out = static_cast<int>(neg ? -v : v);
    p = q;
    return true;
}

// A scanf of "%d" directives and literal characters over any text: the
// count of numbers read before the first mismatch.
int scan_ints(const char* text, const char* pat, int* vals, int max)
{
    int n = 0;
    const char* p = text;
    for (const char* f = pat; *f; ++f) {
        if (f[0] == '%' && f[1] == 'd') {
            if (n >= max || !scan_int(p, vals[n])) break;
            ++n;
            ++f;
        } else if (*p == *f) {
            ++p;
        } else {
            break;
        }
    }
    return n;
}

// Hour or minute given as a step: -6 is the latest 6-hourly hour at or
// before `now`, -312 the latest 12-hourly one plus 3. A value of zero or
// more stands for itself. No answer for an unset `now` or a step of 00.
std::optional<int> resolve_step(int value, int now)
{
    if (value >= 0) return value;
    if (!is_set(now)) return std::nullopt;
    long long v = -static_cast<long long>(value);
    long long step = v % 100;
    long long offset = v / 100;
    if (step == 0) return std::nullopt;
    long long r = (now / step) * step + offset;
    if (r > INT_MAX || r < INT_MIN) return std::nullopt;
    return static_cast<int>(r);
}

bool zero_step(int value)
{
    return value < 0 && (-static_cast<long long>(value)) % 100 == 0;
}

// file_date moved back by hours, through the seconds count.
void move_back(int hours)
{
    std::int64_t secs = DATE_num_sec(&file_date) - SEC_HOUR * hours;
    DATE_get_gmdate(&secs, &file_date);
}

} // namespace

int DATE_init(Date* date)
{
    if (!date) return -1;
    *date = {VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING,
             VOK_MISSING, VOK_MISSING, VOK_MISSING, VOK_MISSING};
    return 0;
}

const char* DATE_month(int month)
{
    return (month >= 1 && month <= 12) ? months[month - 1] : "";
}

const char* DATE_month_lower(int month)
{
    return (month >= 1 && month <= 12) ? months_lc[month - 1] : "";
}

int DATE_is_leap(int year)
{
    return (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 1 : 0;
}

std::int64_t DATE_num_sec(Date* date)
{
    if (!date) return 0;
    Date& d = *date;
    if (d.year < 0) d.year = 1980;
    if (d.year < 50) d.year += 2000;
    if (d.year < 200) d.year += 1900;
    if (d.month < 1 || d.month > 12) d.month = 1;
    if (d.day < 0 || d.day > 31) d.day = 1;
    if (d.hour < 0 || d.hour > 23) d.hour = 0;
    if (d.min < 0 || d.min > 59) d.min = 0;
    if (d.sec < 0 || d.sec > 59) d.sec = 0;

    const std::int64_t year = d.year;
    std::int64_t secs = d.sec + 60 * static_cast<std::int64_t>(d.min) + SEC_HOUR * d.hour +
                        SEC_DAY * (d.day - 1);
    secs += SEC_DAY * num_day[d.month - 1];
    std::int64_t leap = (year - 1900) / 4 - 17;
    if (d.month <= 2 && year % 4 == 0) --leap;
    secs += SEC_DAY * leap;
    secs += 31536000 * (year - 1970);
    return secs;
}

std::int64_t DATE_get_time(std::int64_t* secs)
{
    std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    if (secs) *secs = now;
    return now;
}

int DATE_get_gmdate(const std::int64_t* secs, Date* date)
{
    if (!date) return -1;
    std::time_t t = secs ? static_cast<std::time_t>(*secs) : std::time(nullptr);
    std::tm tmv{};
    if (!gmtime_r(&t, &tmv)) return -1;
    long long year = static_cast<long long>(tmv.tm_year) + 1900;
    if (year > INT32_MAX) return -1;
    date->year = static_cast<std::int32_t>(year);
    date->month = tmv.tm_mon + 1;
    date->day = tmv.tm_mday;
    date->jday = tmv.tm_yday + 1;
    date->wday = tmv.tm_wday;
    date->hour = tmv.tm_hour;
    date->min = tmv.tm_min;
    date->sec = tmv.tm_sec;
    return 0;
}

int DATE_get_current_str(char* buf, int len)
{
    if (!buf || len <= 0) return -1;
    Date d;
    if (DATE_get_gmdate(nullptr, &d) != 0) {
        buf[0] = '\0';
        return -1;
    }
    std::snprintf(buf, static_cast<std::size_t>(len), "%2.2d %s %2.2d  %2.2d:%2.2d:%2.2dZ",
                  d.year % 100, DATE_month(d.month), d.day, d.hour, d.min, d.sec);
    return 0;
}

int DATE_print(M_type mask, const Date* date)
{
    if (!date || !MESS_check(mask)) return 0;
    MESS_print(mask, "%d/%d/%d %2.2d:%2.2d:%2.2d\n", date->year, date->month, date->day,
               date->hour, date->min, date->sec);
    return 0;
}

int DATE_julian_monday(int year, int jday, int* month, int* day)
{
    const int* table = DATE_is_leap(year) ? num_day_leap : num_day;
    const int last = table[12];
    if (jday < 1) jday = 1;
    if (jday > last) jday = last;
    int m = 0;
    while (m < 12 && table[m] < jday) ++m;
    if (month) *month = m;
    if (day) *day = jday - table[m - 1];
    return 0;
}

int DATE_monday_julian(int year, int month, int day, int* jday)
{
    const int* table = DATE_is_leap(year) ? num_day_leap : num_day;
    if (month < 1) month = 1;
    if (month > 12) month = 12;
    if (jday) *jday = table[month - 1] + day;
    return 0;
}

int DATE_set_TZ(const char* tz)
{
    if (!tz) return 0;
    if (*tz == '+') {
        tz_pm = 1;
        ++tz;
    } else if (*tz == '-') {
        tz_pm = -1;
        ++tz;
    }
    char name[5] = "";
    float hours = 0.0f;
    int n = std::sscanf(tz, "%4[^:]:%f", name, &hours);
    if (n < 1) name[0] = '\0';
    std::snprintf(tz_str, sizeof tz_str, " %s", name);
    // Zones lie within a day of UTC; anything else is not an offset.
    if (n < 2 || !std::isfinite(hours) || std::fabs(hours) > 24.0f) hours = 0.0f;
    tz_off = static_cast<int>(3600.0 * static_cast<double>(hours));
    return 0;
}

int DATE_make_label(Date* date, char* label, int len)
{
    if (!label || len <= 0 || !date) return -1;
    Date w = *date;
    Date utc = *date;
    if (tz_off != 0) {
        // The label shows local time; the UTC time goes into brackets.
        std::int64_t secs = DATE_num_sec(date);
        std::int64_t local = secs + tz_off;
        if (DATE_get_gmdate(&secs, &utc) != 0 || DATE_get_gmdate(&local, &w) != 0) {
            label[0] = '\0';
            return -1;
        }
    }
    const std::size_t size = static_cast<std::size_t>(len);
    const int yy = label_year(w.year) % 100;
    const char* mon = DATE_month(label_month(w.month));
    int n;
    if (!is_set(w.month)) {
        n = std::snprintf(label, size, "%2.2d", yy);
    } else if (!is_set(w.day)) {
        n = std::snprintf(label, size, "%3s %2.2d", mon, yy);
    } else if (!is_set(w.hour)) {
        n = std::snprintf(label, size, "%2d %3s %2.2d", label_day(w.day), mon, yy);
    } else {
        const int hour = label_hour(w.hour);
        const int uhour = label_hour(utc.hour);
        const char* half = "";
        const int h12 = clock12(hour, &half);
        char hpart[DATE_LABEL_LEN];
        if (!is_set(w.min)) {
            if (tz_pm == 0) {
                std::snprintf(hpart, sizeof hpart, "%2.2d%s", hour, tz_str);
            } else if (tz_pm == -1) {
                std::snprintf(hpart, sizeof hpart, "%d %s%s [%2.2dZ]", h12, half, tz_str, uhour);
            } else {
                std::snprintf(hpart, sizeof hpart, "%d %s%s", h12, half, tz_str);
            }
        } else {
            const int min = label_min(w.min);
            const int umin = label_min(utc.min);
            if (tz_pm == 0) {
                std::snprintf(hpart, sizeof hpart, "%2.2d%2.2d%s", hour, min, tz_str);
            } else if (tz_pm == -1) {
                std::snprintf(hpart, sizeof hpart, "%d:%2.2d %s%s [%2.2d%2.2dZ]", h12, min, half,
                              tz_str, uhour, umin);
            } else {
                std::snprintf(hpart, sizeof hpart, "%d:%2.2d %s%s", h12, min, half, tz_str);
            }
        }
        n = std::snprintf(label, size, "%s %2d %3s %2.2d", hpart, label_day(w.day), mon, yy);
    }
    // A cut label would read back as another date: refuse it.
    if (n < 0 || n >= len) {
        label[0] = '\0';
        return -1;
    }
    return 0;
}

int DATE_decode_label(const char* label, Date* date)
{
    if (!date) return -1;
    DATE_init(date);
    if (!label) return -1;
    const std::size_t len = std::strlen(label);
    int hour = VOK_MISSING, min = VOK_MISSING, sec = VOK_MISSING;
    int day = VOK_MISSING, year = VOK_MISSING, month = VOK_MISSING;
    char name[4] = "";
    bool named = true;
    bool ok = false;

    ok = std::sscanf(label, "%2dZ %2d %3s %2d", &hour, &day, name, &year) == 4;
    if (!ok && len >= 15) {
        const char* tail = label + len - 15;
        ok = std::sscanf(tail, "%2d%2dZ %2d %3s %2d", &hour, &min, &day, name, &year) == 5;
        if (ok && tail[0] == ' ') {
            // A one-digit hour after a blank, as in " 930Z".
            int h = 0, m = 0;
            if (std::sscanf(tail, "%1d%2d", &h, &m) == 2) {
                hour = h;
                min = m;
            }
        }
    }
    if (!ok && len >= 19) {
        ok = std::sscanf(label + len - 19, "%2d:%2d:%2dZ %2d %3s %2d", &hour, &min, &sec, &day,
                         name, &year) == 6;
    }
    if (!ok && len >= 13) {
        min = sec = VOK_MISSING;
        ok = std::sscanf(label + len - 13, "%2dZ %2d %3s %2d", &hour, &day, name, &year) == 4;
    }
    if (!ok) {
        min = sec = VOK_MISSING;
        ok = std::sscanf(label, "%2d %2d %2d %2d", &year, &month, &day, &hour) == 4;
        // Run-together digits scan as numbers too: take only a real date.
        ok = ok && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 && hour <= 23;
        named = false;
    }
    if (!ok) return 0;

    if (year <= 49) year += 2000;
    if (year <= 199) year += 1900;
    date->year = year;
    date->month = named ? DATE_decode_month(name) : month;
    date->day = day;
    date->hour = hour;
    date->min = min;
    date->sec = sec;
    return 0;
}

int DATE_decode_month(const char* text)
{
    if (!text || !text[0]) return 0;
    const char c0 = text[0];
    switch (c0) {
    case 'F': case 'f': return 2;
    case 'S': case 's': return 9;
    case 'O': case 'o': return 10;
    case 'N': case 'n': return 11;
    case 'D': case 'd': return 12;
    default: break;
    }
    const char c1 = text[1];
    const char c2 = c1 ? text[2] : '\0';
    const bool upper = std::isupper(static_cast<unsigned char>(c0)) != 0;
    // The deciding character must be of the first one's case.
    auto is = [upper](char c, char u) {
        return c == (upper ? u : static_cast<char>(u - 'A' + 'a'));
    };
    if (is(c0, 'J')) {
        if (is(c1, 'A')) return 1;
        if (is(c2, 'N')) return 6;
        if (is(c2, 'L')) return 7;
    } else if (is(c0, 'M')) {
        if (is(c2, 'R')) return 3;
        if (is(c2, 'Y')) return 5;
    } else if (is(c0, 'A')) {
        if (is(c2, 'R')) return 4;
        if (is(c2, 'G')) return 8;
    }
    return 0;
}

// ---------------------------------------------------------------- decode window

int DATE_set_range(int pre, int post)
{
    min_pre = pre;
    min_post = post;
    return 0;
}

int DATE_set_datim(const Date* date)
{
    if (!date) return -1;
    file_date = *date;
    Date set;
    FILE_get_time(&set);

    if (const char* dh = RES_get("decode_hour")) {
        int v[4] = {0, 0, 0, 0};
        int n = 0;
        int hour = 0, min = 0;
        int pre = min_pre, post = min_post;
        bool fits = true, decode_for = true, range_line = false;
        if ((n = scan_ints(dh, "%d:%d-%d+%d", v, 4)) >= 2) {
            hour = v[0];
            min = v[1];
            if (n >= 3) pre = -v[2];
            if (n >= 4) post = v[3];
            range_line = n >= 3;
        } else if ((n = scan_ints(dh, "%d-%d+%d", v, 3)) >= 1) {
            hour = v[0];
            if (n >= 2) pre = -v[1];
            if (n >= 3) post = v[2];
            range_line = n >= 2;
        } else if (scan_ints(dh, ":-%d+%d", v, 2) == 2) {
            pre = -v[0];
            post = v[1];
            decode_for = false;
            range_line = true;
        } else if (strnicmp(dh, "cu", 2) == 0) {
            const char* rest = dh + 2;
            if (strnicmp(dh, "cu:cu", 5) == 0) {
                n = scan_ints(dh + 5, "-%d+%d", v, 2);
                hour = file_date.hour;
                min = file_date.min;
                if (n == 2) {
                    pre = -v[0];
                    post = v[1];
                }
                range_line = n >= 1;
            } else if (scan_ints(rest, "-%d-%d+%d", v, 3) == 3) {
                move_back(v[0]);
                hour = file_date.hour;
                min = file_date.min;
                pre = -v[1];
                post = v[2];
                range_line = true;
            } else if ((n = scan_ints(rest, "-%d+%d", v, 2)) == 2) {
                hour = file_date.hour;
                pre = -v[0];
                post = v[1];
                range_line = true;
            } else if (n == 1) {
                move_back(v[0]);
                hour = file_date.hour;
                min = file_date.min;
            } else if ((n = scan_ints(rest, ":%d-%d+%d", v, 3)) >= 1) {
                hour = file_date.hour;
                min = v[0];
                if (n == 3) {
                    pre = -v[1];
                    post = v[2];
                }
                range_line = true;
            } else {
                hour = file_date.hour;
            }
        } else {
            fits = false;
        }
        // A step of 00 has no multiple to take: such a text is refused whole.
        if (decode_for && (zero_step(hour) || zero_step(min))) fits = false;

        if (fits) {
            if (decode_for) {
                if (auto h = resolve_step(hour, file_date.hour)) hour = *h;
                if (auto m = resolve_step(min, file_date.min)) min = *m;
                set.hour = hour;
                set.min = min;
                MESS_print(M_MESS, "Decoding for: %2.2d:%2.2dZ\n", hour, min);
            }
            DATE_set_range(pre, post);
            if (range_line) MESS_print(M_MESS, "Decoding range: %d +%d mins\n", min_pre, min_post);
        }
    }

    if (is_set(set.hour)) {
        if (auto h = resolve_step(set.hour, file_date.hour)) file_date.hour = *h;
    }
    if (is_set(set.min)) {
        if (auto m = resolve_step(set.min, file_date.min)) file_date.min = *m;
    }
    if (!is_set(file_date.min)) file_date.min = 0;

    base = DATE_num_sec(&file_date);
    begin = base + 60 * static_cast<std::int64_t>(min_pre);
    end = base + 60 * static_cast<std::int64_t>(min_post);
    return 0;
}

int DATE_get_datim(Date* date)
{
    if (!date) return -1;
    *date = file_date;
    return 0;
}

int DATE_get_window(std::int64_t* from, std::int64_t* to)
{
    if (from) *from = begin;
    if (to) *to = end;
    return 0;
}

int DATE_chk_range(int hhmm)
{
    if (hhmm == VOK_MISSING) return 0;
    const std::int64_t h = hhmm / 100;
    const std::int64_t m = hhmm % 100;
    const std::int64_t f = file_date.hour;
    const std::int64_t n = file_date.min;

    // The report's day is not known here: place it within twelve hours of
    // the decode time, so 2300 is the evening before a 00Z decode.
    std::int64_t offset;
    if (h == f) {
        offset = 0;
    } else if (f == h + 1 || (h == 23 && f == 0)) {
        offset = -SEC_HOUR;
    } else {
        const std::int64_t d = h - f;
        if (d >= -11 && d <= 11) {
            offset = d * SEC_HOUR;
        } else if (d <= -12) {
            offset = d * SEC_HOUR + SEC_DAY;
        } else {
            offset = -(24 - d) * SEC_HOUR;
        }
    }
    const std::int64_t when = base + offset + 60 * (m - n);
    const int ok = (begin <= when && when <= end) ? 1 : 0;
    if (MESS_check(M_DEBUG & M_SUB_C)) {
        MESS_print(M_DEBUG & M_SUB_C, "%d %lld %lld-%lld = %d\n", hhmm,
                   static_cast<long long>(when - base), static_cast<long long>(begin - base),
                   static_cast<long long>(end - base), ok);
    }
    return ok;
}

void DATE_reset()
{
    std::snprintf(tz_str, sizeof tz_str, "%s", "Z");
    tz_pm = 0;
    tz_off = 0;
    DATE_init(&file_date);
    base = 0;
    min_pre = -15;
    min_post = 10;
    begin = 0;
    end = 0;
}
