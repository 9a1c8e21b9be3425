#!/usr/bin/env python3
"""Build the default upper-air station table upa.cty from public station lists.

Input (not part of this repository): the IGRA v2 station list with its fixed
columns, and the NWS location-indicator list (";"-separated), which gives
four-letter location indicators and, for many WMO numbers, the position of
the upper-air station. Every WMO index number with a fixed upper-air position
becomes one line of ten white-space-separated fields:

    name state region id priority lat lon elevation wmo number

  name      the station name as one word: letters and digits, other runs of
            characters written as "_", at most 20 characters
  state     the US postal code of the state, "--" outside the United States
  region    the FIPS country code
  id        the four-letter location indicator with the same WMO block and
            station number, "-" when there is none (the conversion then makes
            one from the WMO number)
  priority  a digit and "*" (an upper-air station): 1 for stations that
            reported in the last two years of the IGRA list, 5 for stations
            that reported since 2000, 9 for older ones and for stations that
            only the location-indicator list knows
  lat, lon  degrees north and east
  elevation metres; 9999 when unknown
  wmo       WMO block and station number
  number    0

The IGRA list comes first: a station it holds keeps its IGRA line. A WMO
number that only the location-indicator list knows is taken from it when
that list gives an upper-air position (its tenth and eleventh fields); the
station elevation there is the upper-air one (thirteenth field), else the
station's. That list names countries, not FIPS codes: the code is the one
the IGRA list gives most often to the stations that both lists hold for the
same country (and US state), else the one of FIPS_BY_COUNTRY below.

Usage: make_upa_cty.py [STATION_DIR [OUTPUT]]
  STATION_DIR defaults to ../shared/data/stations next to the repository,
  OUTPUT to upa.cty at the repository root.
"""
import collections
import os
import re
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# FIPS 10-4 codes of the countries for which the location-indicator list has
# upper-air positions but no station that the IGRA list holds too.
FIPS_BY_COUNTRY = {
    "Albania": "AL", "Azerbaijan": "AJ", "Bosnia and Herzegovina": "BK", "Burundi": "BY",
    "Cambodia": "CB", "Gambia, The": "GA", "Guinea": "GV", "Haiti": "HA", "Luxembourg": "LU",
    "Qatar": "QA", "Rwanda": "RW", "Slovenia": "SI", "Somalia": "SO", "Sweden": "SW",
    "Virgin Islands": "VQ",
}


def read_nsd(path):
    """The location-indicator list: (indicator, WMO number, fields) per line
    that has a four-letter indicator and a WMO block and station number."""
    rows = []
    with open(path, encoding="latin-1") as f:
        for line in f:
            fields = [x.strip() for x in line.rstrip("\r\n").split(";")]
            if len(fields) < 3:
                continue
            icao, block, station = fields[0], fields[1], fields[2]
            if not re.fullmatch(r"[A-Z][A-Z0-9]{3}", icao):
                continue
            if not (block.isdigit() and station.isdigit()):
                continue
            rows.append((icao, int(block) * 1000 + int(station), fields))
    return rows


def read_indicators(nsd):
    """WMO number -> first four-letter location indicator that names it."""
    ind = {}
    for icao, wmo, _ in nsd:
        ind.setdefault(wmo, icao)
    return ind


def degrees(text):
    """"37-53N", "106-23-28W" -> signed degrees; None when it is not one."""
    m = re.fullmatch(r"(\d{1,3})-(\d{1,2})(?:-(\d{1,2}))?([NSEW])", text)
    if not m:
        return None
    v = int(m.group(1)) + int(m.group(2)) / 60.0 + int(m.group(3) or 0) / 3600.0
    return -v if m.group(4) in "SW" else v


def metres(text):
    try:
        return float(text)
    except ValueError:
        return None


def one_word(name):
    name = name.split(";")[0].upper()
    word = re.sub(r"[^A-Z0-9]+", "_", name).strip("_")[:20].rstrip("_")
    return word or "UNNAMED"


def priority(last_year, newest):
    if last_year >= newest - 1:
        return "1*"
    if last_year >= 2000:
        return "5*"
    return "9*"


def read_igra(path):
    rows = []
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.rstrip("\r\n")
            ident = line[0:11]
            if len(ident) < 11 or ident[2] != "M" or not ident[6:11].isdigit():
                continue
            lat = float(line[12:20])
            lon = float(line[21:30])
            if lat < -90.0 or lon < -180.0:  # mobile platforms have no position
                continue
            elev = float(line[31:37])
            rows.append({
                "wmo": int(ident[6:11]),
                "region": ident[0:2],
                "lat": lat,
                "lon": lon,
                "elev": 9999.0 if elev <= -998.0 else elev,
                "state": line[38:40].strip() or "--",
                "name": one_word(line[41:71]),
                "prior": None,  # from the last year, once the newest is known
                "last": int(line[77:81]),
            })
    return rows


def fips_codes(nsd, igra):
    """(country, state) and country of the location-indicator list -> the
    FIPS code that the IGRA list gives most often to their stations."""
    region = {s["wmo"]: s["region"] for s in igra}
    votes = collections.defaultdict(collections.Counter)
    for _, wmo, fields in nsd:
        if wmo in region and len(fields) > 5:
            votes[(fields[5], fields[4])][region[wmo]] += 1
            votes[fields[5]][region[wmo]] += 1
    return {key: count.most_common(1)[0][0] for key, count in votes.items()}


def read_nsd_upper_air(nsd, igra):
    """Stations of WMO numbers that the IGRA list does not hold, where the
    location-indicator list gives an upper-air position."""
    known = {s["wmo"] for s in igra}
    codes = fips_codes(nsd, igra)
    rows = []
    for _, wmo, fields in nsd:
        if wmo in known or len(fields) < 13:
            continue
        lat, lon = degrees(fields[9]), degrees(fields[10])
        if lat is None or lon is None or abs(lat) > 90.0 or abs(lon) > 180.0:
            continue
        elev = metres(fields[12])
        if elev is None:
            elev = metres(fields[11])
        country, state = fields[5], fields[4]
        region = codes.get((country, state)) or codes.get(country) or FIPS_BY_COUNTRY.get(country)
        if region is None:
            print("%05d: no FIPS code for %r, region written as --" % (wmo, country), file=sys.stderr)
        known.add(wmo)  # the first line of a number gives its station
        rows.append({
            "wmo": wmo,
            "region": region or "--",
            "lat": lat,
            "lon": lon,
            "elev": 9999.0 if elev is None else elev,
            "state": state if re.fullmatch(r"[A-Z]{2}", state) else "--",
            "name": one_word(fields[3]),
            "prior": "9*",
        })
    return rows


def main(argv):
    src = argv[1] if len(argv) > 1 else os.path.join(REPO, "..", "shared", "data", "stations")
    out = argv[2] if len(argv) > 2 else os.path.join(REPO, "upa.cty")
    igra = read_igra(os.path.join(src, "igra2-station-list.txt"))
    nsd = read_nsd(os.path.join(src, "nsd_cccc.txt"))
    indicators = read_indicators(nsd)
    newest = max(s["last"] for s in igra)
    for s in igra:
        s["prior"] = priority(s["last"], newest)
    extra = read_nsd_upper_air(nsd, igra)
    seen = set()
    lines = []
    for s in sorted(igra + extra, key=lambda s: s["wmo"]):
        if s["wmo"] in seen:
            continue
        seen.add(s["wmo"])
        lines.append("%-20s %-2s %-2s %-9s %-4s %8.4f %9.4f %7.1f %05d %d\n" % (
            s["name"], s["state"], s["region"], indicators.get(s["wmo"], "-"),
            s["prior"], s["lat"], s["lon"], s["elev"], s["wmo"], 0))
    with open(out, "w", encoding="ascii", newline="\n") as f:
        f.writelines(lines)
    print("%s: %d stations (%d from the IGRA list, %d upper-air positions of the "
          "location-indicator list)" % (out, len(lines), len(lines) - len(extra), len(extra)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
