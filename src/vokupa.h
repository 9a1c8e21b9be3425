// The in-memory upper-air report and the upper-air file header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vok.h"
#include "vokcty.h"

// One mandatory-level row: pressure (hPa), height (m), temperature and dew
// point (degrees C), wind direction (degrees) and speed (knots).
struct UPA_man {
    float p, h, t, td, dir, spd;
};

// One significant temperature level.
struct UPA_sig {
    float p, t, td;
};

// One wind level: height in feet (0 = surface), direction, speed (knots).
struct UPA_wnd {
    float h, dir, spd;
};

inline constexpr int UPA_NUM_MAN = 25;
inline constexpr int UPA_MAX_SIG = 200;
inline constexpr int UPA_MAX_WND = 100;

struct UPA_report {
    char id[VOK_ID_LEN];
    char area[VOK_ID_LEN];
    std::int32_t wmo;
    float lat;
    float lon;
    float elev;
    std::int32_t time;  // hour * 100
    std::int32_t type;
    UPA_man man[UPA_NUM_MAN];
    std::int32_t numman;
    UPA_sig sig[UPA_MAX_SIG];
    std::int32_t numsig;
    UPA_wnd wnd[UPA_MAX_WND];
    std::int32_t numwnd;
};
static_assert(sizeof(UPA_report) == 4260, "UPA_report must keep its 4260-byte layout");

// Slots of the mandatory-level table: 0 surface, 1..21 standard levels
// (1..11 the 1000 to 100 hPa surfaces of part A, 12..21 the 70 to 1 hPa
// surfaces of part C), 22 tropopause, 23 maximum wind, 24 overflow row.
inline constexpr int UPA_SLOT_SURFACE = 0;
inline constexpr int UPA_SLOT_A_FIRST = 1;
inline constexpr int UPA_SLOT_A_LAST = 11;
inline constexpr int UPA_SLOT_C_FIRST = 12;
inline constexpr int UPA_SLOT_C_LAST = 21;
inline constexpr int UPA_SLOT_TROPO = 22;
inline constexpr int UPA_SLOT_MAXWIND = 23;
inline constexpr int UPA_SLOT_OVERFLOW = 24;
// Slots with a pressure of their own: all but the overflow row.
inline constexpr int UPA_NUM_SLOTS = UPA_SLOT_OVERFLOW;
extern const int man_pres[UPA_NUM_SLOTS];

// ---- ua_tool (src/ua_tool.cpp): record operations and listing
// Empty record: no identity, every value -9999, no levels; type untouched.
// Returns 0.
int UPA_initialize(UPA_report* rep);
// Position 1..16 of p among the standard levels 1000 .. 10 hPa (exact
// equality), else 0 (7, 5, 3, 2 and 1 hPa too).
int UPA_mandatory(float p);
// Row of the significant level at exactly pressure p / of the wind level at
// exactly height h: an existing row, else a new row appended with p (h) set
// and its other values -9999. -1 when the list is full (200 / 100 rows): the
// caller stops decoding that part. For decoders that store the values of a
// level from a later group.
int UPA_find_sig(UPA_report* rep, float p);
int UPA_find_wnd(UPA_report* rep, float h);
// Merge a significant level into sig / a wind level into wnd: an equal
// pressure (height) overwrites its row, a new one is appended. Returns 1 when
// stored, 0 when the list is full (the caller stops decoding that part).
int UPA_add_sig(UPA_report* rep, float p, float t, float td);
int UPA_add_wnd(UPA_report* rep, float h, float dir, float spd);
// Exchange sort: sig by decreasing pressure, wnd by increasing height.
// Returns 0.
int UPA_sort_report(UPA_report* rep);
// Listings through MESS_print with the caller's mask; all return 0.
// Mandatory rows, significant and wind levels, a final empty line:
int UPA_print_report(M_type mask, const UPA_report* rep);
// Station line "STA: ..." and mandatory rows:
int UPA_print_man(M_type mask, const UPA_report* rep);
// Station line and significant levels (two columns):
int UPA_print_sig(M_type mask, const UPA_report* rep);
// Station line, wind levels (two columns) and a final empty line:
int UPA_print_wnd(M_type mask, const UPA_report* rep);

// ---- ua_dec (src/ua_dec.cpp): bulletin reader and decoders
// Kinds of report parts found by the bulletin reader; type_str names them.
inline constexpr int UPA_TTAA = 0;
inline constexpr int UPA_TTBB = 1;
inline constexpr int UPA_TTCC = 2;
inline constexpr int UPA_TTDD = 3;
inline constexpr int UPA_PPAA = 4;
inline constexpr int UPA_PPBB = 5;
inline constexpr int UPA_PPDD = 6;
inline constexpr int UPA_UUAA = 7;
inline constexpr int UPA_UUBB = 8;
inline constexpr int UPA_UUCC = 9;
inline constexpr int UPA_UUDD = 10;
inline constexpr int UPA_IIAA = 11;
inline constexpr int UPA_IIBB = 12;
inline constexpr int UPA_IICC = 13;
inline constexpr int UPA_IIDD = 14;
inline constexpr int UPA_EEBB = 15;
inline constexpr int UPA_EEDD = 16;
inline constexpr int UPA_UNK = 17;
inline constexpr int UPA_NUM_KINDS = 18;
inline constexpr int UPA_NO_KIND = 99;  // no kind known yet
// Names of the kinds 0..17 ("TTAA" .. "EEDD", "UNK"); no row for 99.
extern const char* const type_str[UPA_NUM_KINDS];

// Report text capacity of the bulletin reader (characters, the terminator
// not counted) and the buffer sizes its callers pass. Modern parts B and D
// run to 200 significant levels and their wind section (over 2,300
// characters in real feeds); 4,096 holds a full part B with room to spare.
inline constexpr int UPA_RAW_MAX = 4096;
inline constexpr int UPA_RAW_DATA_LEN = UPA_RAW_MAX + 1;
inline constexpr int UPA_RAW_ID_LEN = VOK_ID_LEN;

// Stream buffer that the conversion gives each raw input file (setvbuf):
// the reader finds its lines in the stream's buffer, and a large one needs
// few reads of the file.
inline constexpr std::size_t UPA_INPUT_BUFFER = 256 * 1024;

// Cuts a raw bulletin file into report parts, one per call. data
// (UPA_RAW_DATA_LEN bytes) receives the code groups of one part on one line,
// ending with one blank; a longer part is cut at a whole group. id (11
// bytes) its station number or call sign; *type its kind. A part word that
// starts a line, or stands inside one followed by its date group and station
// number (call sign and date group for ships and mobile stations), starts a
// new part and ends the one being collected. Returns 1
// for a report; 0 when the file ended before a report started (data, id and
// *type untouched); -1 when called at the end of the file with no line
// pending. The current line and a pending part identifier carry over to the
// next call, also across files, so loop until -1 rather than testing feof.
int UPA_read_raw(FILE* ifile, char* data, char* id, int* type);
// Forget the pending line and part identifier (tests only).
void UPA_read_raw_reset();

// Decoders of one report part each (text from UPA_read_raw, kind, the
// station's slot). All return 0 when the part's time is outside the decode
// window (message "Bad %s date for %s: %4.4d\n" at 0x400000; a part without
// a readable date group counts as outside), else 1.
// Parts A and C of TEMP (TTAA, TTCC, UUAA, UUCC, IIAA, IICC) into man; the
// surface also into sig and into wnd at height 0.
int UPA_decode_TTAA(const char* data, int type, UPA_report* rep);
// Parts B and D of TEMP (TTBB, TTDD, UUBB, UUDD, IIBB, IIDD) into sig:
// every level group of the section, bounded only by the 200 rows.
int UPA_decode_TTBB(const char* data, int type, UPA_report* rep);
// PILOT part A (44/55 sections) into the winds of man; a surface wind
// (pp 99) goes to wnd at height 0 and to the surface row only when that row
// holds a pressure.
int UPA_decode_PPAA(const char* data, int type, UPA_report* rep);
// PILOT parts with height groups (PPBB, PPDD, EEBB, EEDD) into wnd. Heights
// are in feet: 9 (and, past 90,000 ft, 1) groups give thousands of feet, 8
// groups units of 500 m, which are converted (30 km is 98,425.2 ft).
int UPA_decode_PPBB(const char* data, int type, UPA_report* rep);
// The decoder for a part's kind: A/C TEMP parts to UPA_decode_TTAA, B/D TEMP
// parts to UPA_decode_TTBB, PPAA to UPA_decode_PPAA, the PILOT height parts
// to UPA_decode_PPBB. Returns the decoder's result, or -1 for a kind that
// has no decoder (UNK, no kind).
int UPA_decode_part(const char* data, int type, UPA_report* rep);

// ---- ua_dec (src/ua_dec.cpp): the conversion driver
// The resources this program accepts, in the order RES_init takes them, and
// its positional resource (the input file names); both end with RES_null.
extern const int UPA_res_key[];
extern const int UPA_res_pos[];

// Exit statuses of a run. A run that converted, or that kept an existing
// output file as the user (or batch mode) asked, ends with UPA_EXIT_OK; a
// silent loop window ends it with MQ_EXIT_STATUS (7).
inline constexpr int UPA_EXIT_OK = 0;
// Nothing was converted: the input's date is unknown (its name gives none
// and no "#" date was set), or no station table could be loaded. No output
// file was touched.
inline constexpr int UPA_EXIT_SETUP = 1;
// Not one input file could be read. The output file is written all the
// same (its header, and no reports).
inline constexpr int UPA_EXIT_NO_INPUT = 2;
// The output file could not be created, or opened for appending (it does
// not exist as a file of the chosen form, or it is damaged), or its name was
// refused. Nothing was written.
inline constexpr int UPA_EXIT_OUTPUT = 3;
// A write to the output file, or its close, failed (a full disk): the file
// is incomplete.
inline constexpr int UPA_EXIT_WRITE = 4;
// Input was read, but not one part was decoded: no TEMP or PILOT part in it
// (gzip, garbage), none in the decode window, none of a station the
// identifier selection names. The output file holds no report.
inline constexpr int UPA_EXIT_NOTHING = 5;

// The whole conversion: decode window, input file and decode date, station
// table, output file, every input file of the run, every station with data
// written in slot order. Returns the run's exit status (above); ends the
// process itself with UPA_EXIT_SETUP or UPA_EXIT_OUTPUT, or with
// UPA_EXIT_OK when an existing output file is kept.
int UPA_decode_all();
// The "parameter" resource: "range=pre:post" sets the decode window in
// minutes around the decode time ("range" alone: -120:120). Returns 0, or
// -1 (with a message giving the accepted form) for a value it cannot read:
// another word, numbers that do not read, pre after post, or beyond a
// month (44,640 minutes).
int UPA_decode_params();
// Chooses the output form and name for the date ("output", "out_file"),
// asks what to do with an existing file and opens it. The handle from
// UPA_open (a CSV file's descriptor, 0 for a CF file, which is written whole
// at the end); ends the process when the file cannot be opened or is kept,
// or the form word is unknown.
int UPA_out_file(const Date* date);
// Reads every part of one raw file ("-": standard input) into the run's
// soundings, a later copy of a part replacing the earlier one, and fills
// the station slots from them. 1 when the file was read to its end, 0 when
// it could not be opened or read (the message names it). The file is
// closed.
int UPA_decode_file(const char* filename);
// Slot initialiser for the station table: an empty report with the
// station's identifier (made from its WMO number when the table gives
// none), WMO number, position and elevation. Returns 0.
int UPA_enter_func(const CTY_data* data, void* report);
// Writes one station's report with the next record number. 1, or -1 when
// the write failed.
int UPA_save_report(int cvt_fd, UPA_report* report);

// ---- ua_read (src/ua_read.cpp; the encoders in src/ua_encode.cpp, the
// record of each form in src/ua_write_text.cpp, ua_write_xml.cpp,
// ua_write_cdf.cpp and ua_write_fixed.cpp): upper-air file forms, headers
// and writer
// File type codes: older text layouts without a magic line (1: levels to
// 500 hPa, 2: to 100 hPa), text generations "VOKUPA" (3), "VOKUPA+" (4) and
// "VOKUPAx" (5, the default output), netCDF with record dimension "station"
// (11) or "report" (12), the fixed-record form (41) and XML (51).
inline constexpr int UPA_FILE_OLD500 = 1;
inline constexpr int UPA_FILE_OLD100 = 2;
inline constexpr int UPA_FILE_VOKUPA = 3;
inline constexpr int UPA_FILE_VOKUPA_PLUS = 4;
inline constexpr int UPA_FILE_VOKUPAX = 5;
inline constexpr int UPA_FILE_CDF_STATION = 11;
inline constexpr int UPA_FILE_CDF = 12;
inline constexpr int UPA_FILE_FIXED = 41;
inline constexpr int UPA_FILE_XML = 51;

// Bytes of one fixed-record (type 41) record and of that form's date line.
inline constexpr int UPA_FIXED_RECORD_LEN = 78;
inline constexpr int UPA_FIXED_HEADER_LEN = 22;

// Header contents of an upper-air data file.
inline constexpr int UPA_DATIM_LEN = 40;
inline constexpr int UPA_FILE_KEY_LEN = 20;
struct UPA_info {
    char datim[UPA_DATIM_LEN];     // date line: a date label, at most 39 characters
    char file[UPA_FILE_KEY_LEN];   // date key of the file (netCDF "yymmddhh")
    const char* cmdline;           // netCDF "history"; null: the default text
    Date date;                     // observation date, from datim when read
};

// Form of an existing file: the type code, or -1 (unknown form, no file).
int UPA_chktype(const char* filename);
// Opens an upper-air file: access 0 read, 1 create (or overwrite), 2 append
// to an existing file of the same form (refused with -1, nothing written,
// when the file is of another form or damaged; types 1 to 3 cannot be
// appended to). Type 0 with access 0: the form is recognised and stored
// through type. The handle (stream descriptor, or netCDF identifier), or -1;
// also -1 while another file is open.
int UPA_open(const char* filename, int access, int* type);
// Writes the header of a file opened with access 1. 0, or -1 (unknown type,
// another access, or the write failed).
int UPA_putinfo(int handle, UPA_info* info);
// Reads the header of the open file into datim and date (netCDF: also the
// variable identifiers and the record count). 0 for the text forms, 1
// otherwise or when nothing was read. An appended file keeps its write
// position.
int UPA_getinfo(int handle, UPA_info* info);
// Closes the open file (XML written to: the closing tag first). 0; -1 when no
// file is open, or when a write or the close failed (the file is closed and
// forgotten in every case).
int UPA_close(int handle);
// Records in the open file: those it held when opened for appending (or, for
// netCDF, any opened file) plus those written since. A run that appends
// starts its record counter here, so that new netCDF records follow the old
// ones. -1 when no file is open or, for a stream form opened for reading,
// unknown.
long UPA_num_records();
// Closes any open file as UPA_close does and forgets the module state (tests).
void UPA_file_reset();

// Writes one report in the form of the open file (types 3, 4, 5, 11, 12, 41,
// 51); the report is not changed (the surface row that the text and XML
// forms show as the first significant and the first wind level of a report
// that has none is the writer's own). The counter is increased by the
// text and XML forms, is the record index of the netCDF forms and is not
// used by the fixed-record form. 0; -1 when no file written to is open, or
// when a write failed (a netCDF record is still written as far as it goes;
// once a stream write failed, every later record is refused).
int UPA_write(int handle, const UPA_report* report, int type, int* counter);

// Group encoders shared by the text layouts: each leaves a NUL-terminated
// group in encd_str and returns 0, or stores the missing marker ("X" for the
// text forms 3 to 5, "99999" otherwise) and returns -1.
inline constexpr int UPA_ENCD_LEN = 10;
extern char encd_str[UPA_ENCD_LEN];
// Pressure (hPa) and height (m): "85457", "50564", "85/".
int encd_ph(float p, float h);
// Temperature and dew point (C): temperature with the sign in the tenths
// digit, then the dew-point depression code.
int encd_td(float t, float td);
// Direction (degrees) and speed (knots): "27515"; speeds of 100 kt and more
// add their hundreds to the direction.
int encd_wd(float dir, float spd);
