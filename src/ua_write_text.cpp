// The record of the text forms: a station head, then the levels re-encoded
// as the five-figure groups of the TEMP code, so that a forecaster reads a
// record as a bulletin. "VOKUPAx" (type 5) is the form the conversion
// writes; "VOKUPA+" (4) differs in its head only, and "VOKUPA" (3), the
// oldest generation, in its line breaks and its padded sections.
#include "ua_read_shared.h"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>

namespace ua {
namespace {

// Sections of the oldest generation: 28 entries, 7 to a line, padded with X.
constexpr int GEN3_LEVELS = 28;

class TextRecord {
public:
    TextRecord(const UPA_report& r, int type, std::string& out)
        : r_(r), type_(type), gen3_(type == UPA_FILE_VOKUPA), out_(out)
    {
    }

    void write()
    {
        head();
        mandatory();
        upper_levels();
        tropopause_and_max_wind();
        significant();
        winds();
    }

private:
    // The last encoder's group.
    void group() { out_ += encoded_group(); }

    void put_text_id();
    void head();
    void level_groups(const UPA_man& m);
    bool mandatory_line_ends(int slot) const;
    void mandatory();
    void upper_levels();
    void tropopause_and_max_wind();
    bool sig_in_mandatory(std::span<const UPA_sig> rows, std::size_t s) const;
    void sig_level(const UPA_sig& sg);
    void wind_level(const UPA_wnd& w);
    void pad_gen3(int n);
    void significant();
    void winds();

    const UPA_report& r_;
    const int type_;
    const bool gen3_;
    std::string& out_;
};

// The station identifier of a text head: the head is one blank-delimited
// word of a line whose fields ("VOKUPAx": number, identifier, latitude,
// longitude) are separated by colons, so blanks, control characters and
// colons become "_". A call sign "AB:C" would otherwise read as the
// identifier "AB" at latitude "C".
void TextRecord::put_text_id()
{
    for (char c : field_text(r_.id)) {
        const auto u = static_cast<unsigned char>(c);
        out_ += (u <= ' ' || u == 0x7F || c == ':') ? '_' : c;
    }
}

void TextRecord::head()
{
    if (type_ == UPA_FILE_VOKUPAX) {
        out_ += zero_padded(r_.wmo, 5);
        out_ += ':';
        put_text_id();
        if (!is_missing(r_.lat)) {
            out_ += ':';
            out_ += fixed(r_.lat, 2);
            out_ += ':';
            out_ += fixed(r_.lon, 2);
        }
    } else {
        put_text_id();
    }
    out_ += ' ';
}

// Pressure/height, temperature/dew point and wind groups of one level.
void TextRecord::level_groups(const UPA_man& m)
{
    encd_ph(m.p, m.h);
    group();
    out_ += ' ';
    encd_td(m.t, m.td);
    group();
    out_ += ' ';
    encd_wd(m.dir, m.spd);
    group();
}

bool TextRecord::mandatory_line_ends(int slot) const
{
    if (gen3_) return slot == 5 || slot == 9 || slot == 13 || slot == 16;
    return slot % 4 == 0;
}

// Standard levels 1000 to 10 hPa, four to a line; the oldest generation had
// no 925 hPa level and leaves it out when it is empty.
void TextRecord::mandatory()
{
    for (int s = 1; s <= 16; ++s) {
        if (gen3_ && s == 2 && is_missing(r_.man[2].p)) continue;
        level_groups(r_.man[s]);
        out_ += mandatory_line_ends(s) ? '\n' : ' ';
    }
}

// 7 to 1 hPa, as far as they came in.
void TextRecord::upper_levels()
{
    for (int s = 17; s <= 21; ++s) {
        if (is_missing(r_.man[s].p)) {
            if (s != 17) out_ += '\n';
            return;
        }
        level_groups(r_.man[s]);
        out_ += s == 21 ? '\n' : ' ';
    }
}

// Tropopause as 88PPP and maximum wind as 77PPP.
void TextRecord::tropopause_and_max_wind()
{
    const UPA_man& tr = r_.man[UPA_SLOT_TROPO];
    if (is_missing(tr.p)) {
        out_ += "X X X ";
    } else {
        encd_ph(880, tr.p);
        group();
        out_ += ' ';
        encd_td(tr.t, tr.td);
        group();
        out_ += ' ';
        encd_wd(tr.dir, tr.spd);
        group();
        out_ += ' ';
    }
    const UPA_man& mw = r_.man[UPA_SLOT_MAXWIND];
    if (is_missing(mw.p)) {
        out_ += "X X\n";
    } else {
        encd_ph(770, mw.p);
        group();
        out_ += ' ';
        encd_wd(mw.dir, mw.spd);
        group();
        out_ += '\n';
    }
}

// A significant level at a standard pressure whose mandatory row has a
// height is in the mandatory section already; the first level (the
// surface) is always written.
bool TextRecord::sig_in_mandatory(std::span<const UPA_sig> rows, std::size_t s) const
{
    if (s == 0) return false;
    const int slot = UPA_mandatory(rows[s].p);
    return slot != 0 && !is_missing(r_.man[slot].h);
}

void TextRecord::sig_level(const UPA_sig& sg)
{
    if (sg.p >= 1000) out_ += zero_padded(trunc_int(sg.p) % 1000, 3);
    else if (sg.p < 10) out_ += fixed(sg.p, 1);  // tenths of hPa high up
    else out_ += blank_padded(trunc_int(sg.p) % 1000, 3);
    out_ += ' ';
    encd_td(sg.t, sg.td);
    group();
}

void TextRecord::wind_level(const UPA_wnd& w)
{
    encd_wd(w.dir, w.spd);
    // Thousands of feet, as the PILOT height groups give them.
    out_ += zero_padded(trunc_int((w.h + 1.0f) / 1000.0f), 2);
    out_ += ' ';
    group();
}

void TextRecord::pad_gen3(int n)
{
    for (; n < GEN3_LEVELS; ++n) {
        out_ += 'X';
        out_ += n % 7 == 6 ? '\n' : ' ';
    }
}

// Seven levels to a line; the section ends with "X".
void TextRecord::significant()
{
    UPA_sig surface;
    const std::span<const UPA_sig> rows = sig_rows(r_, &surface);
    const int num = static_cast<int>(rows.size());
    int n = 0;  // levels written
    for (std::size_t s = 0; s < rows.size() && !(gen3_ && n == GEN3_LEVELS); ++s) {
        if (sig_in_mandatory(rows, s)) continue;
        sig_level(rows[s]);
        out_ += (n % 7 == 6 && (gen3_ || n != num - 1)) ? '\n' : ' ';
        ++n;
    }
    if (gen3_) pad_gen3(n);
    else out_ += "X\n";
}

// Seven levels to a line; the section, and the record, end with "$".
void TextRecord::winds()
{
    UPA_wnd surface;
    const std::span<const UPA_wnd> rows = wnd_rows(r_, &surface);
    const int num = static_cast<int>(rows.size());
    const int shown = gen3_ ? std::min(num, GEN3_LEVELS) : num;
    for (int s = 0; s < shown; ++s) {
        wind_level(rows[static_cast<std::size_t>(s)]);
        out_ += (s % 7 == 6 && (gen3_ || s != num - 1)) ? '\n' : ' ';
    }
    if (gen3_) pad_gen3(shown);
    else out_ += "$\n";
}

}  // namespace

void text_record(const UPA_report& r, int type, std::string& out)
{
    TextRecord(r, type, out).write();
}

}  // namespace ua
