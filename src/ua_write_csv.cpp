// The CSV form: one row per level of every sounding, each value written
// from the code figures the sounding keeps, so that the reported figures can
// be recovered exactly from the text.
#include <charconv>
#include <cstring>
#include <string>

#include "ua_write.h"
#include "ua_units.h"

namespace ua {

namespace {

bool known(int v) { return v != VOK_MISSING; }

// value / 10^scale with no trailing zeros after the point ("850", "97.5",
// "18.00554"); digits: the fewest decimals to write (0 or 1).
void decimal(std::string& out, long long value, int scale, int digits = 0)
{
    long long unit = 1;
    for (int i = 0; i < scale; ++i) unit *= 10;
    if (value < 0) out += '-';
    const unsigned long long v = static_cast<unsigned long long>(value < 0 ? -value : value);
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v / static_cast<unsigned long long>(unit));
    out.append(buf, r.ptr);
    unsigned long long frac = v % static_cast<unsigned long long>(unit);
    int n = scale;
    while (n > digits && frac % 10 == 0) {
        frac /= 10;
        --n;
    }
    if (n == 0) return;
    r = std::to_chars(buf, buf + sizeof buf, frac);
    out += '.';
    out.append(static_cast<std::size_t>(n - (r.ptr - buf)), '0');
    out.append(buf, r.ptr);
}

void integer(std::string& out, long long v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// A float of the station table as its shortest text.
void real(std::string& out, float v)
{
    if (v == VOK_MISSING_F) return;
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// RFC 4180: a field holding a comma, a quote or a line end is quoted, its
// quotes doubled.
void text(std::string& out, std::string_view s)
{
    if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += s;
        return;
    }
    out += '"';
    for (const char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// ISO 8601, minutes: 2026-02-06T00:00Z.
void iso_time(std::string& out, std::int64_t t)
{
    const UtcTime u = utc_time(t);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02dZ", u.year, u.month, u.day, u.hour, u.minute);
    out += buf;
}

// The fields that every row of a sounding repeats.
std::string station_fields(const Sounding& s)
{
    std::string f;
    text(f, s.id);
    f += ',';
    if (known(s.wmo) && s.wmo > 0 && s.wmo < 99999) {
        char wmo[8];
        std::snprintf(wmo, sizeof wmo, "%05d", static_cast<int>(s.wmo));  // block and station, 01241
        f += wmo;
    }
    f += ',';
    text(f, s.name);
    f += ',';
    real(f, s.lat);
    f += ',';
    real(f, s.lon);
    f += ',';
    real(f, s.elevation);
    f += ',';
    iso_time(f, s.time);
    f += ',';
    if (s.launch_time) iso_time(f, *s.launch_time);
    f += ',';
    return f;
}

// Speeds: whole m/s as reported, or knots x 0.514444 written exactly.
void speed(std::string& out, const Level& l)
{
    if (!known(l.spd)) return;
    if (l.knots) decimal(out, static_cast<long long>(l.spd) * MICRO_MPS_PER_KNOT, 6);
    else integer(out, l.spd);
}

void level_fields(std::string& out, const Level& l)
{
    out += level_type_name(l.type);
    out += ',';
    if (known(l.p10)) decimal(out, l.p10, 1);
    out += ',';
    if (known(l.z)) integer(out, l.z);
    out += ',';
    if (known(l.t10)) decimal(out, l.t10, 1, 1);
    out += ',';
    if (const int td = dew_point10(l); known(td)) decimal(out, td, 1, 1);
    out += ',';
    if (known(l.dir)) integer(out, l.dir);
    out += ',';
    speed(out, l);
    out += '\n';
}

}  // namespace

bool write_csv(std::FILE* out, std::span<const Sounding> soundings, bool header)
{
    std::string buf;
    if (header) {
        buf += CSV_HEADER;
        buf += '\n';
    }
    for (const Sounding& s : soundings) {
        const std::string head = station_fields(s);
        for (const SoundingLevel& l : s.levels) {
            buf += head;
            level_fields(buf, l);
        }
        if (buf.size() > (1u << 16)) {
            if (std::fwrite(buf.data(), 1, buf.size(), out) != buf.size()) return false;
            buf.clear();
        }
    }
    if (!buf.empty() && std::fwrite(buf.data(), 1, buf.size(), out) != buf.size()) return false;
    return std::fflush(out) == 0 && !std::ferror(out);
}

}  // namespace ua
