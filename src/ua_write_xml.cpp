// The record of the XML form: one "obs" element per report with its
// mandatory, significant and wind levels in physical units, an attribute
// for each value the report holds.
#include "ua_read_shared.h"
#include "ua_utf8.h"
#include "ua_units.h"

#include <span>
#include <string>
#include <string_view>

namespace ua {

// Attribute text of any bytes: markup characters as entities, tab, line
// feed and carriage return as references (so that parsers keep them), other
// control characters, which XML cannot carry at all, as U+FFFD; UTF-8 as it
// stands, and any other byte as the Latin-1 character of that code.
void xml_escape(std::string& s, std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t n = 1;
        switch (c) {
        case '&': s += "&amp;"; break;
        case '<': s += "&lt;"; break;
        case '>': s += "&gt;"; break;
        case '"': s += "&quot;"; break;
        case '\'': s += "&apos;"; break;
        case '\t': s += "&#x9;"; break;
        case '\n': s += "&#xA;"; break;
        case '\r': s += "&#xD;"; break;
        default:
            if (c < 0x20) {
                s += "&#xFFFD;";
            } else if (c < 0x80) {
                s += static_cast<char>(c);
            } else if ((n = utf8_char_len(text, i)) != 0) {
                s += text.substr(i, n);
            } else {
                n = 1;
                s += "&#x";
                s += hex[c >> 4];
                s += hex[c & 0xF];
                s += ';';
            }
        }
        i += n;
    }
}

namespace {

class XmlRecord {
public:
    XmlRecord(const UPA_report& r, std::string& out) : r_(r), out_(out) {}

    void write()
    {
        head();
        mandatory();
        significant();
        winds();
        out_ += "</obs>\n";
    }

private:
    // An attribute: its lead-in (blank, name, equals sign and quote), the
    // number with the given decimals, the closing quote.
    void attr(std::string_view lead, double v, int decimals)
    {
        out_ += lead;
        out_ += fixed(v, decimals);
        out_ += '"';
    }
    // An attribute whose value is missing is left out.
    void value(std::string_view lead, float v, int decimals)
    {
        if (!is_missing(v)) attr(lead, v, decimals);
    }
    // Whole hPa down to 100 hPa, tenths above.
    void pressure(float p) { value(" pres.mb=\"", p, p >= 100 ? 0 : 1); }

    void level_values(const UPA_man& m);
    void head();
    void mandatory();
    void significant();
    void winds();

    const UPA_report& r_;
    std::string& out_;
};

void XmlRecord::level_values(const UPA_man& m)
{
    value(" hght.m=\"", m.h, 0);
    value(" temp.C=\"", m.t, 1);
    value(" dewp.C=\"", m.td, 1);
    value(" wdir.deg=\"", m.dir, 0);
    value(" wspd.knt=\"", m.spd, 0);
}

void XmlRecord::head()
{
    out_ += "<obs wmo=\"";
    out_ += zero_padded(r_.wmo, 5);
    out_ += "\" id=\"";
    xml_escape(out_, field_text(r_.id));
    out_ += '"';
    if (!is_missing(r_.lat)) {
        attr(" lat=\"", r_.lat, 2);
        attr(" lon=\"", r_.lon, 2);
    }
    out_ += ">\n";
}

// The surface, the standard levels, the tropopause and the maximum wind.
void XmlRecord::mandatory()
{
    out_ += "  <mand_level>\n";
    const UPA_man& sfc = r_.man[UPA_SLOT_SURFACE];
    if (!is_missing(sfc.p)) {
        out_ += "    <level type=\"sfc\"";
        pressure(sfc.p);
        level_values(sfc);
        out_ += "/>\n";
    }
    for (int s = 1; s <= 21; ++s) {
        if (is_missing(r_.man[s].p)) continue;
        out_ += "    <level";
        value(" pres.mb=\"", r_.man[s].p, 0);
        level_values(r_.man[s]);
        out_ += "/>\n";
    }
    const UPA_man& tr = r_.man[UPA_SLOT_TROPO];
    if (!is_missing(tr.p)) {
        out_ += "    <level type=\"trop\"";
        pressure(tr.p);
        level_values(tr);
        out_ += "/>\n";
    }
    const UPA_man& mw = r_.man[UPA_SLOT_MAXWIND];
    if (!is_missing(mw.p)) {
        out_ += "    <level type=\"mwnd\"";
        pressure(mw.p);
        value(" hght.m=\"", mw.h, 0);
        value(" wdir.deg=\"", mw.dir, 0);
        value(" wspd.knt=\"", mw.spd, 0);
        out_ += "/>\n";
    }
    out_ += "  </mand_level>\n";
}

void XmlRecord::significant()
{
    UPA_sig surface;
    out_ += "  <sig_level>\n";
    for (const UPA_sig& sg : sig_rows(r_, &surface)) {
        out_ += "    <level";
        pressure(sg.p);
        value(" temp.C=\"", sg.t, 1);
        value(" dewp.C=\"", sg.td, 1);
        out_ += "/>\n";
    }
    out_ += "  </sig_level>\n";
}

void XmlRecord::winds()
{
    UPA_wnd surface;
    out_ += "  <wnd_level>\n";
    for (const UPA_wnd& w : wnd_rows(r_, &surface)) {
        // The same metres as the netCDF wind heights, always written.
        const auto z = static_cast<float>(w.h * METRES_PER_FOOT);
        out_ += "    <level";
        attr(" hght.m=\"", z, 0);
        value(" wdir.deg=\"", w.dir, 0);
        value(" wspd.knt=\"", w.spd, 0);
        out_ += "/>\n";
    }
    out_ += "  </wnd_level>\n";
}

}  // namespace

void xml_record(const UPA_report& r, std::string& out)
{
    XmlRecord(r, out).write();
}

}  // namespace ua
