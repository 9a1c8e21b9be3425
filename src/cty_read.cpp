// Station table files: one station a line, ten white-space-separated fields
// (name, state, region, identifier, priority field, latitude, longitude,
// elevation, WMO number, trailing number). One station file is open at a
// time; the database reads it line by line.
#include <cstdio>
#include <cstring>
#include <string>

#include "vokcty.h"

namespace {

// The open station file and its name (FILE_close needs the name to tell a
// pipe from a file).
FILE* city_fp = nullptr;
char city_name[VOK_NAME_LEN] = "";
int city_line = 0;   // line number of the line read last

// A station line is short; what lies beyond this many characters of one line
// (a corrupt or binary file) is read and dropped, so memory stays bounded.
constexpr std::size_t LINE_KEEP = 4096;

// Next line without its end; false at the end of the file.
bool read_line(FILE* fp, std::string& line)
{
    line.clear();
    int c = std::getc(fp);
    if (c == EOF) return false;
    for (; c != EOF && c != '\n'; c = std::getc(fp)) {
        if (line.size() < LINE_KEEP) line.push_back(static_cast<char>(c));
    }
    return true;
}

}  // namespace

int CTY_scan_line(const char* line, CTY_data* data)
{
    if (!line || !data) return -1;
    // Every field starts missing, so a short line never carries fields of the
    // station read before it.
    CTY_data_init(data);
    data->state[0] = '\0';
    data->region[0] = '\0';
    data->prior = VOK_MISSING;
    data->mos = ' ';
    data->ua = ' ';
    data->num = 0;

    char prio[5] = "";
    const int n = std::sscanf(line, "%20s %2s %2s %9s %4s %f %f %f %d %d", data->name, data->state,
                              data->region, data->id, prio, &data->lat, &data->lon, &data->el,
                              &data->wmo, &data->num);
    if (n == EOF) return -1;

    if (n >= 5) {
        const char* p = prio;
        if (*p == '*') {
            data->mos = '*';
            ++p;
        }
        if (*p >= '0' && *p <= '9') {
            data->prior = *p - '0';
            if (p[1] == '*') data->ua = '*';
        }
    }
    // Station tables write unknown elevations as 9999 (or any value beyond
    // every station on earth).
    if (data->el > 9000.0f) data->el = VOK_MISSING_F;
    return n;
}

int CTY_open(const char* name, int access, int type)
{
    (void)type;
    if (!name) return -1;
    const char* mode = nullptr;
    if (access == 0) mode = "r";
    else if (access == 1) mode = "w";
    else return -1;
    CTY_close();
    FILE* fp = FILE_open(name, mode);
    if (!fp) return -1;
    city_fp = fp;
    city_line = 0;
    std::snprintf(city_name, sizeof city_name, "%s", name);
    return fileno(fp);
}

int CTY_rewind()
{
    if (!city_fp) return -1;
    std::rewind(city_fp);
    city_line = 0;
    return 0;
}

int CTY_close()
{
    if (!city_fp) return -1;
    FILE_close(city_fp, city_name);
    city_fp = nullptr;
    city_name[0] = '\0';
    return 0;
}

int CTY_read(int fd, CTY_data* data)
{
    (void)fd;
    if (!city_fp || !data) return -1;
    std::string line;
    while (read_line(city_fp, line)) {
        ++city_line;
        const int n = CTY_scan_line(line.c_str(), data);
        if (n > 0) return n;
    }
    return -1;
}

int CTY_line_number()
{
    return city_line;
}

const char* CTY_file_name()
{
    return city_name;
}
