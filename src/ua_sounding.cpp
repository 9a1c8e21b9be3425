// Parts gathered into soundings: the window decides which parts are kept, a
// later copy of a part replaces the earlier one whole, and the kept copies of
// one station and observation time are decoded and merged into one sounding.
#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdlib>
#include <unordered_map>

#include "ua_sounding.h"

namespace ua {

namespace {

constexpr std::size_t MALFORMED_IDS_KEPT = 5;

bool known(int v) { return v != VOK_MISSING; }

// Two values of one field agree when either is missing or both are equal.
bool agree(int a, int b) { return !known(a) || !known(b) || a == b; }

void fill(std::int16_t& to, std::int16_t from)
{
    if (!known(to)) to = from;
}
void fill(std::int32_t& to, std::int32_t from)
{
    if (!known(to)) to = from;
}

// The same level of the profile: its type and its pressure, or its altitude
// when it has no pressure. A PILOT surface wind, which has neither, is the
// surface of a TEMP part.
bool same_level(const Level& a, const Level& b)
{
    if (a.type != b.type) return false;
    if (a.type == LevelType::surface && (!known(a.p10) || !known(b.p10))) return true;
    if (known(a.p10) || known(b.p10)) return a.p10 == b.p10;
    return a.z == b.z;
}

// Nothing one gives contradicts the other: one row can hold both.
bool compatible(const Level& a, const Level& b)
{
    const bool both_speeds = known(a.spd) && known(b.spd);
    return agree(a.z, b.z) && agree(a.t10, b.t10) && agree(a.dd, b.dd) && agree(a.dir, b.dir) &&
           agree(a.spd, b.spd) && agree(a.shear_below, b.shear_below) &&
           agree(a.shear_above, b.shear_above) && (!both_speeds || a.knots == b.knots);
}

void merge_into(SoundingLevel& row, const Level& l)
{
    fill(row.p10, l.p10);
    fill(row.z, l.z);
    fill(row.t10, l.t10);
    fill(row.dd, l.dd);
    fill(row.dir, l.dir);
    if (!known(row.spd) && known(l.spd)) {
        row.spd = l.spd;
        row.knots = l.knots;
    }
    fill(row.shear_below, l.shear_below);
    fill(row.shear_above, l.shear_above);
    if (row.alt == AltitudeCode::none) row.alt = l.alt;
}

// The rows of a sounding as they are made, found by what same_level
// compares: the type and the pressure, or the altitude when there is none
// (every surface under one key).
class Rows {
public:
    explicit Rows(std::vector<SoundingLevel>& rows) : rows_(rows) {}
    void add(const Level& l, Kind source)
    {
        std::vector<std::size_t>& alike = index_[key(l)];
        for (const std::size_t i : alike) {
            if (same_level(rows_[i], l) && compatible(rows_[i], l)) {
                merge_into(rows_[i], l);
                return;
            }
        }
        alike.push_back(rows_.size());
        SoundingLevel& row = rows_.emplace_back();
        static_cast<Level&>(row) = l;
        row.source = source;
    }

private:
    static std::uint64_t key(const Level& l)
    {
        const auto type = static_cast<std::uint64_t>(l.type) << 40;
        if (l.type == LevelType::surface) return type;
        if (known(l.p10)) return type | static_cast<std::uint32_t>(l.p10);
        return type | std::uint64_t{1} << 32 | static_cast<std::uint32_t>(l.z);
    }
    std::vector<SoundingLevel>& rows_;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> index_;
};

// Rows with a pressure by decreasing pressure, then the rows known only by
// altitude by increasing altitude (a surface without either first); at one
// pressure in the order of the level types.
bool profile_order(const SoundingLevel& a, const SoundingLevel& b)
{
    const bool pa = known(a.p10), pb = known(b.p10);
    if (pa != pb) return pa;
    if (pa) {
        if (a.p10 != b.p10) return a.p10 > b.p10;
        return a.type < b.type;
    }
    const bool za = known(a.z), zb = known(b.z);
    if (za != zb) return zb;
    if (za && a.z != b.z) return a.z < b.z;
    return a.type < b.type;
}

// The launch time of 31313 8GGgg lies within half a day of the observation
// time: 23:03 for a sounding of 00 UTC is the evening before. (utc_seconds
// runs a day past the month's end on into the next month, and takes day 0
// for the last of the month before.)
std::int64_t launch_time(std::int64_t time, const SondeInfo& s)
{
    const UtcTime d = utc_time(time);
    std::int64_t best = 0;
    for (int dd = -1; dd <= 1; ++dd) {
        const std::int64_t t = utc_seconds(d.year, d.month, d.day + dd, s.launch_hour, s.launch_minute);
        if (dd == -1 || std::abs(t - time) < std::abs(best - time)) best = t;
    }
    return best;
}

// What the sounding as a whole says: radiosonde, launch time, clouds, and
// the position a ship or mobile station reports.
void describe(Sounding& s)
{
    for (const DecodedPart& p : s.parts) {
        if (!s.sonde && p.sonde) s.sonde = p.sonde;
        if (s.clouds.empty() && !p.clouds.empty()) s.clouds = p.clouds;
        if (p.ship_hour) s.platform = Platform::ship;
        if (p.position && s.lat == VOK_MISSING_F) {
            if (known(p.position->lat10)) s.lat = static_cast<float>(p.position->lat10) / 10.0f;
            if (known(p.position->lon10)) s.lon = static_cast<float>(p.position->lon10) / 10.0f;
        }
    }
    if (s.sonde && known(s.sonde->launch_hour) && known(s.sonde->launch_minute) &&
        s.sonde->launch_hour < 24 && s.sonde->launch_minute < 60)
        s.launch_time = launch_time(s.time, *s.sonde);
}

}  // namespace

constexpr std::int64_t NO_TIME = INT64_MIN;

SoundingSet::SoundingSet(DecodeWindow window) : window_(window)
{
    for (int day = 0; day < 32; ++day)
        for (int hour = 0; hour < 24; ++hour)
            times_[static_cast<std::size_t>(day * 24 + hour)] =
                observation_time(window, day, hour).value_or(NO_TIME);
}

// The station's place in stations_, made when it is first offered.
std::size_t SoundingSet::station(std::string_view id)
{
    const int number = wmo_number(id);
    if (number >= 0) {
        if (by_number_.empty()) by_number_.assign(WMO_NUMBERS, NONE);
        std::int32_t& at = by_number_[static_cast<std::size_t>(number)];
        if (at == NONE) {
            at = static_cast<std::int32_t>(stations_.size());
            stations_.push_back(Station{std::string(id), {}});
        }
        return static_cast<std::size_t>(at);
    }
    auto it = id_index_.find(id);
    if (it == id_index_.end()) {
        it = id_index_.emplace(std::string(id), stations_.size()).first;
        stations_.push_back(Station{std::string(id), {}});
    }
    return it->second;
}

// The kept copies of a station at a time, found among the station's few
// observation times; made when the part is the first of its station and
// time.
SoundingSet::Entry& SoundingSet::entry(std::string_view id, std::int64_t time)
{
    std::vector<Entry>& times = stations_[station(id)].times;
    for (Entry& e : times)
        if (e.time == time) return e;
    Entry& e = times.emplace_back();
    e.time = time;
    e.part.fill(NONE);
    return e;
}

PartFate SoundingSet::add(const PartView& part, std::string_view)
{
    ++stats_.parts;
    const Heading h = read_heading(part.kind, part.text);
    std::optional<std::int64_t> when;
    if (h.status != PartStatus::no_date && h.status != PartStatus::bad_date) {
        const std::int64_t t = times_[static_cast<std::size_t>(h.day * 24 + h.hour)];
        if (t != NO_TIME) when = t;
    }
    if (!when) {
        ++stats_.malformed;
        if (stats_.malformed_ids.size() < MALFORMED_IDS_KEPT)
            stats_.malformed_ids.push_back(std::string(kind_name(part.kind)) + " " + std::string(part.id));
        return PartFate::malformed;
    }
    if (*when < window_.begin || *when > window_.end) {
        ++stats_.outside_window;
        return PartFate::outside_window;
    }
    if (h.status == PartStatus::nil) {
        ++stats_.nil;
        return PartFate::nil;
    }
    std::int32_t& slot = entry(part.id, *when).part[static_cast<std::size_t>(part.kind)];
    const bool later = slot != NONE;
    if (!later) {
        slot = static_cast<std::int32_t>(kept_.size());
        kept_.emplace_back();
    }
    // A later copy takes the earlier one's place whole (its buffer too).
    Kept& k = kept_[static_cast<std::size_t>(slot)];
    k.kind = part.kind;
    k.text.assign(part.text);
    k.sequence = ++sequence_;
    ++(later ? stats_.replaced : stats_.kept);
    return later ? PartFate::replaced : PartFate::kept;
}

std::vector<Sounding> SoundingSet::build() const
{
    std::vector<Sounding> out;
    for (const Station& station : stations_) {
        std::vector<const Entry*> times;
        for (const Entry& e : station.times) times.push_back(&e);
        std::sort(times.begin(), times.end(), [](const Entry* a, const Entry* b) { return a->time < b->time; });
        for (const Entry* e : times) {
            Sounding s;
            s.id = station.id;
            s.time = e->time;
            // The kept copies in the order their kinds were first kept: the
            // first of them tells the platform.
            std::vector<std::int32_t> first;
            for (const std::int32_t i : e->part)
                if (i != NONE) first.push_back(i);
            std::sort(first.begin(), first.end());
            std::vector<const Kept*> order;
            for (const std::int32_t i : first) order.push_back(&kept_[static_cast<std::size_t>(i)]);
            s.platform = platform_of(order.front()->kind);
            std::sort(order.begin(), order.end(),
                      [](const Kept* a, const Kept* b) { return a->sequence < b->sequence; });
            Rows rows(s.levels);
            for (const Kept* k : order) {
                s.parts.push_back(decode_part(k->kind, k->text));
                for (const Level& l : s.parts.back().levels) rows.add(l, k->kind);
            }
            std::stable_sort(s.levels.begin(), s.levels.end(), profile_order);
            describe(s);
            out.push_back(std::move(s));
        }
    }
    // By station in the order of first offer, each station's times in order.
    return out;
}

void place_surface(Sounding& s, float elevation)
{
    if (elevation == VOK_MISSING_F) return;
    bool placed = false;
    for (SoundingLevel& l : s.levels) {
        const bool pilot_surface = l.alt == AltitudeCode::surface ||
                                   (l.type == LevelType::surface && !known(l.p10));
        if (!pilot_surface || known(l.z) || known(l.p10)) continue;
        l.z = static_cast<std::int32_t>(std::lround(elevation));
        l.alt = AltitudeCode::surface;
        placed = true;
    }
    if (placed) std::stable_sort(s.levels.begin(), s.levels.end(), profile_order);
}

void fill_record(std::span<const Sounding* const> soundings, UPA_report* rep,
                 const RecordOptions& options)
{
    for (std::size_t i = 0; i < soundings.size(); ++i) {
        for (const DecodedPart& part : soundings[i]->parts) {
            const auto later = [&](const Sounding* s) {
                return std::any_of(s->parts.begin(), s->parts.end(),
                                   [&](const DecodedPart& p) { return p.kind == part.kind; });
            };
            if (std::any_of(soundings.begin() + static_cast<std::ptrdiff_t>(i) + 1, soundings.end(), later))
                continue;
            record_part(part, rep, options);
        }
    }
}

}  // namespace ua
