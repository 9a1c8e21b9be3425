#!/usr/bin/python3
"""Prints an upper-air netCDF file as netCDF4-python hands it to a program.

One line per variable and record: the variable's name, the record index,
then its values. Numbers are written with repr (exact for 32-bit floats),
values that the library masks (fill values, values outside valid_range) as
"--"; texts as the hex of their bytes up to the first NUL ("-" when empty).
A first line gives the record count.
"""
import sys

import netCDF4
import numpy


def text_rows(var):
    var.set_auto_mask(False)
    var.set_auto_chartostring(False)
    for row in var[:]:
        raw = b"".join(bytes(c) for c in row.tolist()).split(b"\0")[0]
        yield raw.hex() or "-"


def number_rows(var):
    data = numpy.ma.masked_array(var[:])
    mask = numpy.ma.getmaskarray(data)
    values = numpy.ma.getdata(data)
    for r in range(values.shape[0]):
        vals = numpy.atleast_1d(values[r])
        masks = numpy.atleast_1d(mask[r])
        yield " ".join("--" if m else repr(float(v)) for v, m in zip(vals, masks))


def main(path):
    with netCDF4.Dataset(path) as ds:
        rec_dim = [d for d in ds.dimensions.values() if d.isunlimited()][0]
        out = [f"records {len(rec_dim)}"]
        for name, var in ds.variables.items():
            rows = text_rows(var) if var.dtype.kind == "S" else number_rows(var)
            out.extend(f"{name} {r} {row}" for r, row in enumerate(rows))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
