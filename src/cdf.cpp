// Thin layer over the netCDF library's netCDF-2 calls.
