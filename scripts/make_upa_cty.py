#!/usr/bin/env python3
"""Build the default upper-air station table upa.cty from public station lists.

Input (not part of this repository): the IGRA v2 station list with its fixed
columns and, for four-letter location indicators, the NWS location-indicator
list (";"-separated). Every station with a WMO index number and a fixed
position becomes one line of ten white-space-separated fields:

    name state region id priority lat lon elevation wmo number

  name      the station name as one word: letters and digits, other runs of
            characters written as "_", at most 20 characters
  state     the US postal code of the state, "--" outside the United States
  region    the FIPS country code
  id        the four-letter location indicator with the same WMO block and
            station number, "-" when there is none (the conversion then makes
            one from the WMO number)
  priority  a digit and "*" (an upper-air station): 1 for stations that
            reported in the last two years of the list, 5 for stations that
            reported since 2000, 9 for older ones
  lat, lon  degrees north and east
  elevation metres; 9999 when unknown
  wmo       WMO block and station number
  number    0

Usage: make_upa_cty.py [STATION_DIR [OUTPUT]]
  STATION_DIR defaults to ../shared/data/stations next to the repository,
  OUTPUT to upa.cty at the repository root.
"""
import os
import re
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read_indicators(path):
    """WMO number -> first four-letter location indicator that names it."""
    ind = {}
    with open(path, encoding="latin-1") as f:
        for line in f:
            fields = line.rstrip("\r\n").split(";")
            if len(fields) < 3:
                continue
            icao, block, station = fields[0].strip(), fields[1].strip(), fields[2].strip()
            if not re.fullmatch(r"[A-Z][A-Z0-9]{3}", icao):
                continue
            if not (block.isdigit() and station.isdigit()):
                continue
            wmo = int(block) * 1000 + int(station)
            ind.setdefault(wmo, icao)
    return ind


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
                "last": int(line[77:81]),
            })
    return rows


def main(argv):
    src = argv[1] if len(argv) > 1 else os.path.join(REPO, "..", "shared", "data", "stations")
    out = argv[2] if len(argv) > 2 else os.path.join(REPO, "upa.cty")
    stations = read_igra(os.path.join(src, "igra2-station-list.txt"))
    indicators = read_indicators(os.path.join(src, "nsd_cccc.txt"))
    newest = max(s["last"] for s in stations)
    seen = set()
    lines = []
    for s in sorted(stations, key=lambda s: s["wmo"]):
        if s["wmo"] in seen:
            continue
        seen.add(s["wmo"])
        lines.append("%-20s %-2s %-2s %-9s %-4s %8.4f %9.4f %7.1f %05d %d\n" % (
            s["name"], s["state"], s["region"], indicators.get(s["wmo"], "-"),
            priority(s["last"], newest), s["lat"], s["lon"], s["elev"], s["wmo"], 0))
    with open(out, "w", encoding="ascii", newline="\n") as f:
        f.writelines(lines)
    print("%s: %d stations" % (out, len(lines)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
