// The netCDF access layer: one current netCDF file, read and written
// through the netCDF-2 calls.
#pragma once
