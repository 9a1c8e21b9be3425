#!/usr/bin/python3
"""Checks sondex-plot on a CF profile file of sondex: the diagram of one
station is drawn into a temporary PNG, and every temperature, dew point and
wind the file holds for the station is what was drawn, at its own pressure
or, for a wind known only by altitude, at the pressure that the sounding's
heights give it in log pressure (a wind above or below all of them is left
out and counted). The file is read here on its
own, by its contiguous ragged arrays, not through the tool's reader.

    plot_check.py CF_FILE STATION [--plot PATH_OF_SONDEX_PLOT]

Exit status 0 when everything matches, 1 with the differences otherwise.
"""
import argparse
import datetime
import os
import subprocess
import sys
import tempfile
from importlib.machinery import SourceFileLoader

# The tool is loaded from the source tree, which gets no byte-code cache.
sys.dont_write_bytecode = True

import netCDF4
import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))


def profile_of(path, station):
    """The first profile of the station: its name, time and level arrays
    (NaN for the fill value), by the row sizes of the profiles before it."""
    with netCDF4.Dataset(path) as ds:
        ids = [str(s).strip() for s in ds["station_id"][:]]
        if station not in ids:
            raise SystemExit("plot_check: %s is not in %s" % (station, path))
        i = ids.index(station)
        sizes = ds["row_size"][:].astype(int)
        start, n = int(sizes[:i].sum()), int(sizes[i])
        names = ("air_pressure", "geopotential_height", "altitude", "air_temperature",
                 "dew_point_temperature", "wind_from_direction", "wind_speed")
        for name, unit in zip(names, ("hPa", "m", "m", "degC", "degC", "degree", "m s-1")):
            if ds[name].units != unit:
                raise SystemExit("plot_check: %s in %s, not %s" % (name, ds[name].units, unit))
        lv = {k: np.ma.filled(ds[k][start:start + n].astype(float), np.nan) for k in names}
        return str(ds["station_name"][i]).strip(), float(ds["time"][i]), lv


def expected(lv):
    """Every temperature, dew point and wind of the profile as it should be
    drawn."""
    p, z, alt = lv["air_pressure"], lv["geopotential_height"], lv["altitude"]
    height = np.where(np.isnan(z), alt, z)
    pairs = sorted(((h, np.log(q)) for q, h in zip(p, height) if not np.isnan(q) and not np.isnan(h)),
                   key=lambda pair: pair[0])
    want = {"temperature": [], "dew_point": [], "barbs": [], "unplaced_winds": 0}
    for k in range(len(p)):
        if not np.isnan(p[k]):
            for key, var in (("temperature", "air_temperature"), ("dew_point", "dew_point_temperature")):
                if not np.isnan(lv[var][k]):
                    want[key].append((p[k], lv[var][k]))
        d, s = lv["wind_from_direction"][k], lv["wind_speed"][k]
        if np.isnan(d) or np.isnan(s):
            continue
        at = p[k]
        if np.isnan(at) and pairs and pairs[0][0] <= alt[k] <= pairs[-1][0]:
            at = float(np.exp(np.interp(alt[k], [h for h, _ in pairs], [q for _, q in pairs])))
        if np.isnan(at):
            want["unplaced_winds"] += 1  # above or below every height of the sounding
        else:
            want["barbs"].append((at, d, s))
    return want


def differences(key, want, got):
    w, g = np.array(want, dtype=float), np.array(got, dtype=float)
    if w.shape != g.shape:
        return ["%s: %d in the file, %d drawn" % (key, len(w), len(g))]
    bad = np.where(~np.isclose(w, g, rtol=1e-5, atol=1e-4).all(axis=1))[0] if len(w) else []
    return ["%s %d: file %s, drawn %s" % (key, i, tuple(w[i]), tuple(g[i])) for i in bad]


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("file")
    ap.add_argument("station")
    ap.add_argument("--plot", default=os.path.join(HERE, "..", "scripts", "sondex-plot"))
    args = ap.parse_args(argv[1:])
    name, time, lv = profile_of(args.file, args.station)
    top = min([100.0] + [q * 0.9 for q in lv["air_pressure"] if not np.isnan(q)])  # every level in view
    problems = []
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "plot.png")
        run = subprocess.run([sys.executable, args.plot, args.file, args.station, "-o", png, "--top", str(top)],
                             capture_output=True, text=True)
        if run.returncode != 0:
            problems.append("sondex-plot exited %d: %s" % (run.returncode, run.stderr.strip()))
        elif open(png, "rb").read(8) != b"\x89PNG\r\n\x1a\n":
            problems.append("sondex-plot wrote no PNG")
        missing = subprocess.run([sys.executable, args.plot, args.file, "NO_SUCH_STATION", "-o", png],
                                 capture_output=True, text=True)
        if missing.returncode != 1 or "NO_SUCH_STATION" not in missing.stderr:
            problems.append("an unknown station gave status %d: %s" % (missing.returncode, missing.stderr))
        tool = SourceFileLoader("sondex_plot", args.plot).load_module()
        prof = tool.choose(tool.read_profiles(args.file), args.file, args.station)
        drawn = tool.draw(prof, os.path.join(tmp, "again.png"), top)
    want = expected(lv)
    for key in ("temperature", "dew_point", "barbs"):
        problems += differences(key, want[key], drawn[key])
    if want["unplaced_winds"] != drawn["unplaced_winds"]:
        problems.append("%d winds cannot be placed, %d said" % (want["unplaced_winds"], drawn["unplaced_winds"]))
    when = datetime.datetime.fromtimestamp(time, datetime.timezone.utc).strftime("%Y-%m-%d %H:%M")
    for part in (args.station, name, when):
        if part not in drawn["title"]:
            problems.append("title %r lacks %r" % (drawn["title"], part))
    for line in problems:
        print("plot_check: %s %s: %s" % (args.file, args.station, line))
    if not problems:
        print("plot_check: %s %s: %d temperatures, %d dew points, %d winds drawn as the file holds them" % (
            args.file, args.station, len(want["temperature"]), len(want["dew_point"]), len(want["barbs"])))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
