#!/usr/bin/python3
"""Reads a CF profile file as a user's program does and prints what it got.

xarray.open_dataset (times decoded) and netCDF4-python each read every
variable. The first line is "agree" when the two give the same values (texts
as str, masked values as NaN, times as seconds), else "differ" and the names
of the variables that do not. Then one line per profile and, for its levels
as row_size selects them from the obs variables, one line per level, with
texts as the hex of their UTF-8, numbers as repr (exact for doubles), masked
values as "nan" and times in ISO 8601 ("NaT" for none):

profile K ID WMO NAME LAT LON ALTITUDE TIME LAUNCH_TIME ROWS
level K PRESSURE HEIGHT ALTITUDE T TD DIRECTION SPEED LEVEL_TYPE
"""
import sys
import warnings

import netCDF4
import numpy
import xarray

LEVEL_VARS = ["air_pressure", "geopotential_height", "altitude", "air_temperature",
              "dew_point_temperature", "wind_from_direction", "wind_speed", "level_type"]
EPOCH = numpy.datetime64("1970-01-01T00:00:00", "ns")


def comparable(values):
    """Texts as a list of str, anything else as floats with NaN for masked."""
    values = numpy.atleast_1d(values)
    if values.dtype.kind in "OSU":
        return [str(v) for v in values]
    if values.dtype.kind == "M":
        return (values - EPOCH) / numpy.timedelta64(1, "s")
    return numpy.ma.masked_array(values, dtype=float).filled(numpy.nan)


def same(a, b):
    if isinstance(a, list) or isinstance(b, list):
        return list(a) == list(b)
    return a.shape == b.shape and numpy.array_equal(a, b, equal_nan=True)


def number(v):
    return "nan" if numpy.isnan(v) else repr(float(v))


def iso(t):
    return str(numpy.datetime_as_string(t, unit="s")) if not numpy.isnat(t) else "NaT"


def main(path):
    # xarray warns of the cast of a missing launch time to NaT.
    warnings.simplefilter("ignore", RuntimeWarning)
    xr = xarray.open_dataset(path)
    nc = netCDF4.Dataset(path)
    differ = [name for name in nc.variables
              if not same(comparable(nc.variables[name][:]), comparable(xr[name].values))]
    out = ["agree" if not differ else "differ " + " ".join(differ)]
    ends = numpy.cumsum(xr["row_size"].values)
    for k, end in enumerate(ends):
        start = end - xr["row_size"].values[k]
        text = [xr[v].values[k].encode().hex() or "-" for v in ("station_id", "station_name")]
        out.append(" ".join(["profile", str(k), text[0], number(xr["wmo_id"].values[k]), text[1]] +
                            [number(xr[v].values[k]) for v in ("lat", "lon", "station_altitude")] +
                            [iso(xr["time"].values[k]), iso(xr["launch_time"].values[k]),
                             str(end - start)]))
        for j in range(start, end):
            out.append(" ".join(["level", str(k)] + [number(xr[v].values[j]) for v in LEVEL_VARS]))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
