// Thin layer over the netCDF library's netCDF-2 calls: one current file and
// one current shape (dimensions of the variables being defined) or position
// (start and count of the values being written), so that the upper-air
// header and record code define and write each variable in one short call.
#include "vokcdf.h"

#include <netcdf.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <vector>

namespace {

int fd = -1;                  // current netCDF identifier, -1 for none
long start[CDF_MAX_DIMS];     // shape: dimension identifiers; position: starts
long count[CDF_MAX_DIMS];     // counts of the position
int ndim = 0;

// The netCDF-2 calls report failure as -1.
int status(int rc)
{
    return rc == -1 ? -1 : 0;
}

bool can_write(int varid)
{
    return fd != -1 && varid != -1;
}

int def_var(const char* name, nc_type type)
{
    if (fd == -1 || !name) return -1;
    int dims[CDF_MAX_DIMS];
    for (int i = 0; i < ndim; ++i) dims[i] = static_cast<int>(start[i]);
    return ncvardef(fd, name, type, ndim, dims);
}

// Attributes of a variable; -1 is the library's code for the global ones,
// which only CDF_put_glob_att writes, so a variable that failed to be
// defined never passes its attributes to the file as global ones.
int put_var_att(int varid, const char* name, nc_type type, int len, const void* value)
{
    if (fd == -1 || varid < 0) return -1;
    return status(ncattput(fd, varid, name, type, len, value));
}

}  // namespace

int CDF_set_fd(int id)
{
    fd = id;
    return 0;
}

int CDF_print_errors(int on)
{
    ncopts = on == 1 ? NC_VERBOSE : 0;
    return 0;
}

int CDF_open(const char* name, int access)
{
    if (access < 0 || access > 2) return fd;
    if (!name) return -1;
    int id = -1;
    if (access == 0) id = ncopen(name, NC_NOWRITE);
    else if (access == 1) id = nccreate(name, NC_CLOBBER);
    else id = ncopen(name, NC_WRITE);
    if (id == -1) return -1;
    fd = id;
    return id;
}

int CDF_def_dim(const char* name, long length)
{
    if (fd == -1 || !name || length < 0) return -1;
    return ncdimdef(fd, name, length);
}

int CDF_end_def()
{
    if (fd == -1) return -1;
    return status(ncendef(fd));
}

int CDF_close()
{
    if (fd == -1) return -1;
    const int rc = ncclose(fd);
    fd = -1;
    return status(rc);
}

int CDF_get_dim(const char* name)
{
    if (fd == -1 || !name) return -1;
    return ncdimid(fd, name);
}

long CDF_get_dim_size(int dimid)
{
    if (fd == -1) return -1;
    if (dimid == -1) {
        int ndims = 0, nvars = 0, natts = 0;
        if (ncinquire(fd, &ndims, &nvars, &natts, &dimid) == -1 || dimid == -1) return -1;
    }
    char name[NC_MAX_NAME + 1];
    long length = 0;
    if (ncdiminq(fd, dimid, name, &length) == -1) return -1;
    return length;
}

int CDF_set_shape(int n, ...)
{
    if (n < 0 || n > CDF_MAX_DIMS) return -1;
    va_list ap;
    va_start(ap, n);
    for (int i = 0; i < n; ++i) start[i] = va_arg(ap, int);
    va_end(ap);
    ndim = n;
    return 0;
}

int CDF_def_float_var(const char* name)
{
    return def_var(name, NC_FLOAT);
}

int CDF_def_long_var(const char* name)
{
    return def_var(name, NC_INT);
}

int CDF_def_char_var(const char* name)
{
    return def_var(name, NC_CHAR);
}

int CDF_get_var(const char* name)
{
    if (fd == -1 || !name) return -1;
    return ncvarid(fd, name);
}

int CDF_put_glob_att(const char* name, const char* text)
{
    if (fd == -1 || !name || !text) return -1;
    return status(ncattput(fd, NC_GLOBAL, name, NC_CHAR, static_cast<int>(std::strlen(text)), text));
}

int CDF_get_glob_att(const char* name, char* buf, std::size_t size)
{
    if (fd == -1 || !name || !buf || size == 0) return -1;
    nc_type type = NC_NAT;
    int len = 0;
    if (ncattinq(fd, NC_GLOBAL, name, &type, &len) == -1 || type != NC_CHAR || len < 0) return -1;
    // The library writes the whole attribute; read it where it fits, then
    // hand over what the caller's buffer holds.
    std::vector<char> text(static_cast<std::size_t>(len) + 1, '\0');
    if (ncattget(fd, NC_GLOBAL, name, text.data()) == -1) return -1;
    const std::size_t n = std::min(static_cast<std::size_t>(len), size - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return 1;
}

int CDF_put_base_att(int varid, const char* long_name, const char* units)
{
    int rc = 0;
    if (long_name &&
        put_var_att(varid, "long_name", NC_CHAR, static_cast<int>(std::strlen(long_name)), long_name) != 0)
        rc = -1;
    if (units && put_var_att(varid, "units", NC_CHAR, static_cast<int>(std::strlen(units)), units) != 0)
        rc = -1;
    return rc;
}

int CDF_put_float_range_att(int varid, float min, float max)
{
    const float range[2] = {min, max};
    return put_var_att(varid, "valid_range", NC_FLOAT, 2, range);
}

int CDF_put_long_range_att(int varid, int min, int max)
{
    const nclong range[2] = {min, max};
    return put_var_att(varid, "valid_range", NC_INT, 2, range);
}

int CDF_put_fill_att(int varid)
{
    const float fill = CDF_FILL_FLOAT;
    return put_var_att(varid, "_FillValue", NC_FLOAT, 1, &fill);
}

int CDF_put_long_fill_att(int varid, int value)
{
    const nclong fill = value;
    return put_var_att(varid, "_FillValue", NC_INT, 1, &fill);
}

int CDF_set_pos(int n, ...)
{
    if (n < 0 || n > CDF_MAX_DIMS) return -1;
    va_list ap;
    va_start(ap, n);
    for (int i = 0; i < n; ++i) {
        start[i] = va_arg(ap, int);
        count[i] = 1;
    }
    va_end(ap);
    ndim = n;
    return 0;
}

int CDF_set_range(int n, ...)
{
    if (n < 0 || n > CDF_MAX_DIMS) return -1;
    va_list ap;
    va_start(ap, n);
    for (int i = 0; i < n; ++i) {
        start[i] = va_arg(ap, int);
        count[i] = va_arg(ap, int);
    }
    va_end(ap);
    ndim = n;
    return 0;
}

int CDF_put_str(int varid, const char* text)
{
    if (!can_write(varid)) return 0;
    if (!text || ndim >= CDF_MAX_DIMS) return -1;
    // The text runs along the dimension after the position's, from its start.
    start[ndim] = 0;
    count[ndim] = static_cast<long>(std::strlen(text)) + 1;
    return status(ncvarput(fd, varid, start, count, text));
}

int CDF_put_float(int varid, float value)
{
    if (!can_write(varid)) return 0;
    return status(ncvarput1(fd, varid, start, &value));
}

int CDF_put_long(int varid, int value)
{
    if (!can_write(varid)) return 0;
    const nclong v = value;
    return status(ncvarput1(fd, varid, start, &v));
}

int CDF_put_float_array(int varid, const float* values)
{
    if (!can_write(varid)) return 0;
    if (!values) return -1;
    for (int i = 0; i < ndim; ++i)
        if (count[i] == 0) return 0;
    return status(ncvarput(fd, varid, start, count, values));
}
