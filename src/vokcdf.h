// The netCDF access layer: one current netCDF file, read and written
// through the netCDF-2 calls.
#pragma once

#include <cstddef>

#include "vok.h"

// Shapes and positions hold at most this many dimensions.
inline constexpr int CDF_MAX_DIMS = 10;
// The float fill value of every float variable ("_FillValue"): a value never
// written reads back as missing.
inline constexpr float CDF_FILL_FLOAT = VOK_MISSING_F;

// ---- cdf (src/cdf.cpp)
// Every call works on the current file (CDF_set_fd / CDF_open). Errors are
// reported by the library itself as CDF_print_errors asks; results are -1
// where a call failed.

// Makes id the current file. Returns 0.
int CDF_set_fd(int id);
// 1: the library prints every error and carries on; anything else: silent,
// carries on. Returns 0.
int CDF_print_errors(int on);
// Access 0 read-only, 1 create (replacing any file), 2 open for writing. The
// identifier (also made current), or -1; any other access gives the current
// identifier unchanged.
int CDF_open(const char* name, int access);
// Dimension of the given length (0: the unlimited record dimension). Its
// identifier, or -1.
int CDF_def_dim(const char* name, long length);
// Leaves define mode. 0, or -1 when the library refused.
int CDF_end_def();
// Closes the current file; no file is current afterwards. 0, or -1 when the
// library refused (for a file being written: its data may not be complete).
int CDF_close();
// Identifier of a dimension, or -1 when the file has none of that name.
int CDF_get_dim(const char* name);
// Current length of a dimension (-1: the record dimension), or -1.
long CDF_get_dim_size(int dimid);
// Shape for the next variable definitions: n dimension identifiers. 0, or -1
// (shape unchanged) when n is not 0..CDF_MAX_DIMS.
int CDF_set_shape(int n, ...);
// Variables of type float, 32-bit integer and character over the current
// shape. The identifier, or -1.
int CDF_def_float_var(const char* name);
int CDF_def_long_var(const char* name);
int CDF_def_char_var(const char* name);
// Identifier of a variable, or -1.
int CDF_get_var(const char* name);
// Global text attribute, stored without a terminating NUL. 0, or -1.
int CDF_put_glob_att(const char* name, const char* text);
// A global text attribute into buf (size bytes, always NUL-terminated; a
// longer text is cut to size - 1 characters). 1 on success; -1 when the file
// has no such attribute or it is not text.
int CDF_get_glob_att(const char* name, char* buf, std::size_t size);
// "long_name" and "units", each only when given. 0, or -1.
int CDF_put_base_att(int varid, const char* long_name, const char* units);
// "valid_range" as two floats / two 32-bit integers. 0, or -1.
int CDF_put_float_range_att(int varid, float min, float max);
int CDF_put_long_range_att(int varid, int min, int max);
// "_FillValue": the float CDF_FILL_FLOAT / one 32-bit integer. 0, or -1.
int CDF_put_fill_att(int varid);
int CDF_put_long_fill_att(int varid, int value);
// Position for the next writes: n indices, each count 1. 0, or -1 (position
// unchanged) when n is not 0..CDF_MAX_DIMS.
int CDF_set_pos(int n, ...);
// Position for the next writes: n pairs (start, count). 0, or -1 as above.
int CDF_set_range(int n, ...);
// Writes, at the current position. Each one is skipped (result 0) when no
// file is current or the variable identifier is -1. 0, or -1 when the
// library refused the write.
// The text with its terminating NUL along the next dimension.
int CDF_put_str(int varid, const char* text);
int CDF_put_float(int varid, float value);
int CDF_put_long(int varid, int value);
// The hyperslab of the current start and count; nothing when a count is 0.
int CDF_put_float_array(int varid, const float* values);
