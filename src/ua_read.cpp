// Upper-air data files: the forms and their type codes, how a file's form
// is recognised, its opening (also for appending) and closing, the header
// each form starts with and its reading back, the record count, and the
// writing of one record per station report, handed to the writer of the
// open file's form.
//
// One file is open at a time. The text forms re-encode the levels as the
// five-figure groups of the TEMP code (pressure/height, temperature/dew-point
// depression, wind), so that a forecaster reads a record as a bulletin; XML
// and netCDF keep the values in physical units; the fixed-record form keeps
// a few levels of each report in 78 bytes. The encoders are in
// ua_encode.cpp, the record of each form in ua_write_text.cpp,
// ua_write_xml.cpp, ua_write_cdf.cpp (with the netCDF header) and
// ua_write_fixed.cpp.
#include "ua_read_shared.h"
#include "vokcdf.h"

#include <netcdf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using ua::field_text;

namespace {

constexpr const char* XML_END_TAG = "</vokupa>\n";

// ------------------------------------------------------------ module state
int file_type = 0;          // type of the open file; 0 when none is open
int file_access = 0;        // 0 read, 1 create, 2 append
FILE* cvt_file = nullptr;   // stream of the text, XML and fixed-record forms
std::string cvt_name;       // its name: pipes and standard streams close differently
int cdf_id = -1;            // netCDF identifier of the netCDF forms
bool stream_failed = false; // a write to cvt_file failed: the file is incomplete
long num_station = 0;       // record count of a netCDF file whose header was read
long num_records = -1;      // records in the open file (-1: unknown)

// The record being formatted; its room is kept from record to record.
std::string rec;

// netCDF variable identifiers of the open file.
ua::CdfVarIds cdf_var;

// ------------------------------------------------------------ small helpers
bool is_text_form(int type)
{
    return type >= UPA_FILE_OLD500 && type <= UPA_FILE_VOKUPAX;
}

bool is_stream_form(int type)
{
    return is_text_form(type) || type == UPA_FILE_FIXED || type == UPA_FILE_XML;
}

bool is_cdf_form(int type)
{
    return type == UPA_FILE_CDF_STATION || type == UPA_FILE_CDF;
}

// ------------------------------------------------------------ XML text
// The text of an attribute written by xml_escape, for the ASCII a date line
// holds; other references stay as they are.
std::string xml_unescape(std::string_view t)
{
    static constexpr std::pair<std::string_view, char> named[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''},
        {"&#x9;", '\t'}, {"&#xA;", '\n'}, {"&#xD;", '\r'}};
    std::string out;
    for (std::size_t i = 0; i < t.size();) {
        bool done = false;
        for (const auto& [ent, ch] : named) {
            if (t.substr(i, ent.size()) == ent) {
                out += ch;
                i += ent.size();
                done = true;
                break;
            }
        }
        if (!done) out += t[i++];
    }
    return out;
}

}  // namespace

// ================================================================ headers
namespace {

bool put_text(std::string_view text)
{
    if (std::fwrite(text.data(), 1, text.size(), cvt_file) != text.size() || std::ferror(cvt_file))
        stream_failed = true;
    return !stream_failed;
}

const char* magic_of(int type)
{
    switch (type) {
    case UPA_FILE_VOKUPA: return "VOKUPA\n";
    case UPA_FILE_VOKUPA_PLUS: return "VOKUPA+\n";
    case UPA_FILE_VOKUPAX: return "VOKUPAx\n";
    default: return "";
    }
}

// The date line of the fixed-record form, "12:00Z XXX FEB  6 2026", with no
// line end: the first record follows the year directly.
std::string fixed_date_line(const Date& d)
{
    char line[64];
    std::snprintf(line, sizeof line, "%2.2d:%2.2dZ XXX %3s %2d %4d", d.hour, d.min, DATE_month(d.month), d.day,
                  d.year);
    return line;
}

}  // namespace

int UPA_putinfo(int handle, UPA_info* info)
{
    (void)handle;  // the module's own open file
    if (!info || file_type == 0 || file_access != 1) return -1;
    if (is_cdf_form(file_type)) {
        CDF_set_fd(cdf_id);
        return ua::cdf_define_header(file_type, info, cdf_var);
    }
    if (stream_failed) return -1;
    const std::string_view datim = field_text(info->datim);
    std::string head;
    switch (file_type) {
    case UPA_FILE_OLD500:
    case UPA_FILE_OLD100:
    case UPA_FILE_VOKUPA:
    case UPA_FILE_VOKUPA_PLUS:
    case UPA_FILE_VOKUPAX:
        head += magic_of(file_type);
        head += datim;
        head += '\n';
        break;
    case UPA_FILE_XML:
        head += "<vokupa date=\"";
        ua::xml_escape(head, datim);
        head += "\">\n";
        break;
    case UPA_FILE_FIXED:
        head += fixed_date_line(info->date);
        swap_setup(2);  // the binary records are little-endian
        break;
    default: return -1;
    }
    return put_text(head) ? 0 : -1;
}

// ================================================================ reading headers
namespace {

long append_pos = -1;  // where records of an appended stream form go

// The next line of the stream without its line end; characters beyond
// size - 1 are read and dropped. false at the end of the stream.
bool read_line(FILE* fp, char* buf, std::size_t size)
{
    std::size_t n = 0;
    int c = 0;
    bool any = false;
    while ((c = std::getc(fp)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (n + 1 < size) buf[n++] = static_cast<char>(c);
    }
    buf[n] = '\0';
    return any;
}

void set_datim(UPA_info* info, std::string_view text)
{
    const std::size_t n = std::min(text.size(), sizeof info->datim - 1);
    std::memcpy(info->datim, text.data(), n);
    info->datim[n] = '\0';
}

// Fields of the fixed-record date line "hh:mmZ XXX MON dd yyyy".
bool parse_fixed_date_line(std::string_view line, Date* date)
{
    if (line.size() < UPA_FIXED_HEADER_LEN) return false;
    const std::string text(line.substr(0, UPA_FIXED_HEADER_LEN));
    int hour = 0, min = 0, day = 0, year = 0, used = 0;
    char mon[4] = "";
    if (std::sscanf(text.c_str(), "%2d:%2dZ XXX %3[A-Z] %2d %4d%n", &hour, &min, mon, &day, &year, &used) != 5 ||
        used != UPA_FIXED_HEADER_LEN || text[2] != ':' || text[5] != 'Z' || text[17] != ' ')
        return false;
    const int month = DATE_decode_month(mon);
    if (month < 1 || hour < 0 || hour > 23 || min < 0 || min > 59 || day < 1 || day > 31) return false;
    DATE_init(date);
    date->year = year;
    date->month = month;
    date->day = day;
    date->hour = hour;
    date->min = min;
    date->sec = 0;
    DATE_monday_julian(year, month, day, &date->jday);
    return true;
}

// The date attribute of the XML root line '<vokupa date="...">'.
bool parse_xml_root(std::string_view line, std::string* date)
{
    constexpr std::string_view head = "<vokupa date=\"";
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, head.size()) != head || line.size() < head.size() + 2 ||
        line.substr(line.size() - 2) != "\">")
        return false;
    const std::string_view value = line.substr(head.size(), line.size() - head.size() - 2);
    if (value.find('"') != std::string_view::npos) return false;
    *date = xml_unescape(value);
    return true;
}

int getinfo_text(UPA_info* info)
{
    std::rewind(cvt_file);
    char skip[2];
    if (file_type >= UPA_FILE_VOKUPA) read_line(cvt_file, skip, sizeof skip);  // the magic line
    read_line(cvt_file, info->datim, sizeof info->datim);
    wsstrip_string(info->datim);  // a CR-LF file leaves its CR
    DATE_decode_label(info->datim, &info->date);
    return 0;
}

void getinfo_xml(UPA_info* info)
{
    std::rewind(cvt_file);
    char line[4 * UPA_DATIM_LEN + 32];
    std::string date;
    read_line(cvt_file, line, sizeof line);
    if (!parse_xml_root(line, &date)) return;
    set_datim(info, date);
    DATE_decode_label(info->datim, &info->date);
}

void getinfo_fixed(UPA_info* info)
{
    std::rewind(cvt_file);
    char line[UPA_FIXED_HEADER_LEN];
    const std::size_t n = std::fread(line, 1, sizeof line, cvt_file);
    Date date;
    if (!parse_fixed_date_line(std::string_view(line, n), &date)) return;
    set_datim(info, std::string_view(line, n));
    info->date = date;
}

void getinfo_cdf(UPA_info* info)
{
    CDF_set_fd(cdf_id);
    num_station = CDF_get_dim_size(-1);
    if (num_station > num_records) num_records = num_station;
    ua::cdf_lookup_vars(file_type, cdf_var);
    CDF_print_errors(0);
    // Older files carry the date line as "datetime".
    std::memset(info->datim, 0, sizeof info->datim);
    if (CDF_get_glob_att("filetime", info->datim, sizeof info->datim) != 1)
        CDF_get_glob_att("datetime", info->datim, sizeof info->datim);
    DATE_decode_label(info->datim, &info->date);
    CDF_print_errors(1);
}

}  // namespace

int UPA_getinfo(int handle, UPA_info* info)
{
    (void)handle;  // the module's own open file
    if (!info || file_type == 0) return 1;
    if (is_cdf_form(file_type)) {
        getinfo_cdf(info);
        return 1;
    }
    // A stream being created cannot be read, and moving it would put the
    // next records over the header.
    if (file_access == 1 || !cvt_file) return 1;
    int rc = 1;
    if (is_text_form(file_type)) rc = getinfo_text(info);
    else if (file_type == UPA_FILE_XML) getinfo_xml(info);
    else if (file_type == UPA_FILE_FIXED) getinfo_fixed(info);
    // An appended file goes on where its records end.
    if (file_access == 2 && std::fseek(cvt_file, append_pos, SEEK_SET) != 0) stream_failed = true;
    return rc;
}

// ================================================================ file forms
namespace {

// Type of an older text layout from the start of its third line: a count
// of significant levels (at most 14) in type 1, the 400 hPa group ("40...")
// in type 2. A third line that does not start with a number is taken for
// the older layout.
int old_layout_type(FILE* fp)
{
    char start[3] = "";
    int n = 0;
    for (int k = 0; k < 2; ++k) {
        const int c = std::getc(fp);
        if (c == EOF || c == '\n') break;
        start[n++] = static_cast<char>(c);
    }
    start[n] = '\0';
    int value = 0;
    if (std::sscanf(start, "%2d", &value) != 1) value = 0;
    return value > 21 ? UPA_FILE_OLD100 : UPA_FILE_OLD500;
}

void skip_line(FILE* fp)
{
    int c;
    while ((c = std::getc(fp)) != EOF && c != '\n') {
    }
}

// netCDF forms: the older one has the record dimension "station".
int cdf_type(const char* filename)
{
    CDF_print_errors(0);
    int type = -1;
    if (CDF_open(filename, 0) != -1) {
        type = CDF_get_dim("station") != -1 ? UPA_FILE_CDF_STATION : UPA_FILE_CDF;
        CDF_close();
    }
    // The module's own netCDF file stays the current one.
    if (cdf_id != -1) CDF_set_fd(cdf_id);
    CDF_print_errors(1);
    return type;
}

}  // namespace

int UPA_chktype(const char* filename)
{
    if (!filename) return -1;
    FILE* fp = FILE_open(filename, "r");
    if (!fp) return -1;
    char word[10] = "";
    int type = -1;
    if (std::fscanf(fp, "%9s", word) == 1) {
        const std::size_t len = std::strlen(word);
        if (word[0] == 'V' && len == 7 && word[6] == '+') {
            type = UPA_FILE_VOKUPA_PLUS;
        } else if (word[0] == 'V' && len == 7 && word[6] == 'x') {
            type = UPA_FILE_VOKUPAX;
        } else if (word[0] == 'V') {
            type = UPA_FILE_VOKUPA;
        } else if (word[0] == '0' || word[0] == '1' || word[0] == '2') {
            // A date line comes first.
            skip_line(fp);
            skip_line(fp);
            type = old_layout_type(fp);
        } else if (word[0] == 'C') {
            type = 0;  // perhaps netCDF: its file starts with "CDF"
        }
    }
    FILE_close(fp, filename);
    if (type == 0) type = cdf_type(filename);
    return type;
}

// ================================================================ appending
namespace {

// The whole file from its start; false on a read error.
bool read_all(FILE* fp, std::string* data)
{
    std::rewind(fp);
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) data->append(buf, n);
    return !std::ferror(fp);
}

std::string_view strip_cr(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// Records of a "VOKUPA+" or "VOKUPAx" text: every record ends with a line
// ending in "$". -1 when the magic is another, the date line is not whole,
// or the file does not end with a whole record.
long text_records(std::string_view data, int type)
{
    std::string_view magic = magic_of(type);
    magic.remove_suffix(1);
    const std::size_t eol1 = data.find('\n');
    if (eol1 == std::string_view::npos || strip_cr(data.substr(0, eol1)) != magic) return -1;
    const std::size_t eol2 = data.find('\n', eol1 + 1);
    if (eol2 == std::string_view::npos || data.back() != '\n') return -1;
    long count = 0;
    std::string_view last;
    for (std::size_t pos = eol2 + 1; pos < data.size();) {
        const std::size_t eol = data.find('\n', pos);
        last = strip_cr(data.substr(pos, eol - pos));
        if (!last.empty() && last.back() == '$') ++count;
        pos = eol + 1;
    }
    if (eol2 + 1 < data.size() && (last.empty() || last.back() != '$')) return -1;
    return count;
}

long fixed_records(std::string_view data)
{
    Date date;
    if (!parse_fixed_date_line(data, &date)) return -1;
    const std::size_t body = data.size() - UPA_FIXED_HEADER_LEN;
    if (body % UPA_FIXED_RECORD_LEN != 0) return -1;
    return static_cast<long>(body / UPA_FIXED_RECORD_LEN);
}

// Records of an XML file, and in *end the offset of its closing tag, where
// new records go. -1 when the root line or the closing tag is not there or
// a record is not whole.
long xml_records(std::string_view data, long* end)
{
    std::string date;
    const std::size_t eol1 = data.find('\n');
    if (eol1 == std::string_view::npos || !parse_xml_root(data.substr(0, eol1), &date)) return -1;
    const std::size_t tag = data.rfind("</vokupa>");
    if (tag == std::string_view::npos || tag <= eol1 ||
        data.find_first_not_of(" \t\r\n", tag + 9) != std::string_view::npos)
        return -1;
    long open = 0, closed = 0;
    for (std::size_t pos = eol1 + 1; pos < tag;) {
        std::size_t eol = data.find('\n', pos);
        if (eol == std::string_view::npos || eol > tag) eol = tag;
        const std::string_view line = strip_cr(data.substr(pos, eol - pos));
        if (line.substr(0, 5) == "<obs ") ++open;
        else if (line == "</obs>") ++closed;
        pos = eol + 1;
    }
    if (open != closed) return -1;
    *end = static_cast<long>(tag);
    return open;
}

// Opens a stream form for appending: the file must be of the form asked
// for and end with whole records. The stream stands where records go.
FILE* open_append(const char* filename, int type)
{
    if (FILE_is_stdio(filename) || filename[0] == '|') return nullptr;
    if (type != UPA_FILE_VOKUPA_PLUS && type != UPA_FILE_VOKUPAX && type != UPA_FILE_FIXED &&
        type != UPA_FILE_XML)
        return nullptr;
    FILE* fp = FILE_open(filename, type == UPA_FILE_FIXED ? "r+b" : "r+");
    if (!fp) return nullptr;
    std::string data;
    long count = -1;
    long pos = -1;
    if (read_all(fp, &data)) {
        pos = static_cast<long>(data.size());
        if (type == UPA_FILE_FIXED) count = fixed_records(data);
        else if (type == UPA_FILE_XML) count = xml_records(data, &pos);
        else count = text_records(data, type);
    }
    if (count < 0 || std::fseek(fp, pos, SEEK_SET) != 0) {
        std::fclose(fp);
        return nullptr;
    }
    num_records = count;
    append_pos = pos;
    if (type == UPA_FILE_FIXED) swap_setup(2);
    return fp;
}

// A netCDF file to append to must be of the form asked for and hold every
// variable of the header.
bool cdf_can_append(int type)
{
    const int actual = CDF_get_dim("station") != -1 ? UPA_FILE_CDF_STATION : UPA_FILE_CDF;
    return actual == type && CDF_get_dim_size(-1) >= 0 && ua::cdf_lookup_vars(type, cdf_var);
}

// A netCDF file cut short still opens, and the library reads what its
// header claims beyond the end of the file as zeros, which appending would
// then keep as data. Read into memory whole, where a read beyond the end
// fails, every variable of every record the file claims must come back.
bool cdf_reads_back_whole(const char* filename)
{
    struct Handle {
        int id = -1;
        ~Handle()
        {
            if (id >= 0) nc_close(id);
        }
    } nc;
    // A variable cannot hold more bytes than the file: a header that claims
    // more (a damaged record count) is refused before anything is read.
    struct stat st;
    if (stat(filename, &st) != 0) return false;
    const auto file_size = static_cast<std::size_t>(st.st_size);
    int nvars = 0;
    if (nc_open(filename, NC_NOWRITE | NC_DISKLESS, &nc.id) != NC_NOERR || nc_inq_nvars(nc.id, &nvars) != NC_NOERR)
        return false;
    std::vector<unsigned char> values;
    for (int v = 0; v < nvars; ++v) {
        nc_type type = NC_NAT;
        int ndims = 0;
        int dims[NC_MAX_VAR_DIMS];
        std::size_t n = 1, size = 0;
        if (nc_inq_var(nc.id, v, nullptr, &type, &ndims, dims, nullptr) != NC_NOERR ||
            nc_inq_type(nc.id, type, nullptr, &size) != NC_NOERR)
            return false;
        for (int d = 0; d < ndims; ++d) {
            std::size_t len = 0;
            if (nc_inq_dimlen(nc.id, dims[d], &len) != NC_NOERR) return false;
            if (len != 0 && n > file_size / len) return false;
            n *= len;
        }
        if (n == 0) continue;
        if (size == 0 || n > file_size / size) return false;
        values.resize(n * size);
        if (nc_get_var(nc.id, v, values.data()) != NC_NOERR) return false;
    }
    return true;
}

// The library creates a netCDF file by replacing whatever has the name; a
// device, pipe or directory there is refused, never replaced.
bool cdf_may_create(const char* filename)
{
    struct stat st;
    return stat(filename, &st) != 0 || S_ISREG(st.st_mode);
}

int open_cdf(const char* filename, int access, int type)
{
    if (access == 1 && !cdf_may_create(filename)) return -1;
    if (access == 2 && !cdf_reads_back_whole(filename)) return -1;
    CDF_print_errors(0);
    const int id = CDF_open(filename, access);
    if (id == -1) {
        CDF_print_errors(1);
        return -1;
    }
    cdf_var.fill(-1);
    if (access == 2 && !cdf_can_append(type)) {
        CDF_close();
        CDF_print_errors(1);
        return -1;
    }
    num_records = access == 1 ? 0 : CDF_get_dim_size(-1);
    if (access == 0) ua::cdf_lookup_vars(type, cdf_var);
    CDF_print_errors(1);
    file_type = type;
    cdf_id = id;
    return id;
}

int open_stream(const char* filename, int access, int type)
{
    FILE* fp = nullptr;
    if (access == 2) {
        fp = open_append(filename, type);
    } else {
        const bool binary = type == UPA_FILE_FIXED;
        fp = FILE_open(filename, access == 0 ? (binary ? "rb" : "r") : (binary ? "wb" : "w"));
        if (fp) num_records = access == 1 ? 0 : -1;
    }
    if (!fp) return -1;
    // Records are written a few kilobytes at a time; a larger buffer saves
    // system calls (the standard streams keep theirs).
    if (access != 0 && fp != stdout) std::setvbuf(fp, nullptr, _IOFBF, 1 << 16);
    cvt_file = fp;
    cvt_name = filename;
    stream_failed = false;
    file_type = type;
    return fileno(fp);
}

}  // namespace

int UPA_open(const char* filename, int access, int* type)
{
    if (!filename || !type || access < 0 || access > 2) return -1;
    // One file at a time: a second open would lose the first one's records.
    if (file_type != 0) return -1;
    if (*type == 0) {
        if (access != 0) return -1;
        const int found = UPA_chktype(filename);
        if (found == -1) return -1;
        *type = found;
    }
    const int t = *type;
    int handle = -1;
    if (is_stream_form(t)) handle = open_stream(filename, access, t);
    else if (is_cdf_form(t)) handle = open_cdf(filename, access, t);
    if (handle == -1) return -1;
    file_access = access;
    return handle;
}

// ================================================================ closing
namespace {

// Closes the stream; false when anything written did not reach the file.
bool close_stream()
{
    bool ok = !stream_failed;
    if (file_type == UPA_FILE_XML && file_access != 0) {
        if (std::fputs(XML_END_TAG, cvt_file) == EOF) ok = false;
    }
    if (file_access != 0 && (std::fflush(cvt_file) != 0 || std::ferror(cvt_file))) ok = false;
    // An appended XML file may have held more after its closing tag than the
    // tag that now ends it.
    if (ok && file_type == UPA_FILE_XML && file_access == 2) {
        const long end = std::ftell(cvt_file);
        if (end < 0 || ftruncate(fileno(cvt_file), end) != 0) ok = false;
    }
    if (FILE_close(cvt_file, cvt_name.c_str()) != 0) ok = false;
    return ok;
}

void forget_file()
{
    file_type = 0;
    file_access = 0;
    cvt_file = nullptr;
    cvt_name.clear();
    cdf_id = -1;
    stream_failed = false;
    append_pos = -1;
    num_station = 0;
    num_records = -1;
    cdf_var.fill(-1);
}

}  // namespace

int UPA_close(int handle)
{
    (void)handle;  // the module's own open file
    if (file_type == 0) return -1;
    bool ok = true;
    if (is_stream_form(file_type)) {
        ok = close_stream();
    } else {
        CDF_set_fd(cdf_id);
        ok = CDF_close() == 0;
    }
    forget_file();
    return ok ? 0 : -1;
}

void UPA_file_reset()
{
    if (file_type != 0) UPA_close(0);
    forget_file();
}

long UPA_num_records()
{
    return file_type == 0 ? -1 : num_records;
}

// ================================================================ records
int ua::upa_file_type()
{
    return file_type;
}

int UPA_write(int handle, const UPA_report* report, int type, int* counter)
{
    (void)handle;  // the module's own open file
    (void)type;    // the report type is not used
    if (!report || file_type == 0 || file_access == 0) return -1;
    if (is_cdf_form(file_type)) {
        if (!counter || *counter < 0) return -1;
        CDF_set_fd(cdf_id);
        const int rc = ua::cdf_record(*report, *counter, file_type, cdf_var);
        num_records = std::max(num_records, static_cast<long>(*counter) + 1);
        return rc;
    }
    // Types 1 and 2 are read, never written; after a failed write the file
    // is incomplete and no later record can be said to be in it.
    if (file_type == UPA_FILE_OLD500 || file_type == UPA_FILE_OLD100 || stream_failed) return -1;
    if (file_type == UPA_FILE_FIXED) {
        unsigned char buf[UPA_FIXED_RECORD_LEN];
        ua::fixed_record(*report, buf);
        if (!put_text(std::string_view(reinterpret_cast<const char*>(buf), sizeof buf))) return -1;
        if (num_records >= 0) ++num_records;
        return 0;
    }
    rec.clear();
    if (file_type == UPA_FILE_XML) ua::xml_record(*report, rec);
    else ua::text_record(*report, file_type, rec);
    const bool ok = put_text(rec);
    if (counter) ++*counter;
    if (ok && num_records >= 0) ++num_records;
    return ok ? 0 : -1;
}
