// Suite-wide types and declarations of the run-time library shared by the
// upper-air conversion program: text helpers, the pattern scanner, messages,
// resources, flags, process services, paths, dates, keyed tables and maps.
//
// Every module keeps one section below; add declarations to your own module's
// section only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>

#define VOK_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

// The suite's "missing" / "not set" value, for integer fields and for float
// fields (coordinates, pressures, heights, temperatures, winds). Readers test
// it by exact equality.
inline constexpr int VOK_MISSING = -9999;
inline constexpr float VOK_MISSING_F = static_cast<float>(VOK_MISSING);

// Names of files are held in buffers of this many characters.
inline constexpr int VOK_NAME_LEN = 160;

// ---------------------------------------------------------------- messages
// The 32-bit message mask: eight groups of four sub-level bits, a (lowest)
// to d. Error and warning share one group: error a and b, warning c and d.
using M_type = std::uint32_t;
inline constexpr M_type M_PRINT = 0xF;         // help text, prompts, lists
inline constexpr M_type M_ERROR = 0x30;
inline constexpr M_type M_WARN = 0xC0;         // warnings and errors are sent with this
inline constexpr M_type M_MESS = 0xF00;        // ordinary progress messages
inline constexpr M_type M_OUT1 = 0xF000;       // extra detail, four levels
inline constexpr M_type M_OUT2 = 0xF0000;
inline constexpr M_type M_OUT3 = 0xF00000;
inline constexpr M_type M_OUT4 = 0xF000000;
inline constexpr M_type M_DEBUG = 0xF0000000;  // debugging traces
// One sub-level in every group: M_DEBUG & M_SUB_D is "debugd" (0x80000000),
// M_OUT3 & M_SUB_C is "out3c" (0x400000).
inline constexpr M_type M_SUB_A = 0x11111111;
inline constexpr M_type M_SUB_B = 0x22222222;
inline constexpr M_type M_SUB_C = 0x44444444;
inline constexpr M_type M_SUB_D = 0x88888888;

// ---- mess (src/mess.cpp)
// Print a message when its mask shares a bit with the level; 1 when it
// reached the terminal, else 0.
int MESS_print(M_type type, const char* format, ...) VOK_PRINTF(2, 3);
// 1 when a message of this mask would be shown, else 0.
int MESS_check(M_type type);
// The same answer without a call, for the decoders and the scanner, which
// ask before every trace of every code group; the level itself changes only
// through MESS_set and MESS_set_str.
extern const M_type& MESS_level_now;
inline bool MESS_enabled(M_type type)
{
    return (type & MESS_level_now) != 0;
}
// Change the level by an operation code (0/1/-1 replace/or/clear and count
// as an explicit setting; 10/11/9 do not count; 20/21/19 yield to one).
int MESS_set(int oper, M_type mask);
// Apply a comma-separated setting string (levels, log files, paging).
int MESS_set_str(const char* str);
// Number of explicit level settings made so far.
int MESS_check_set();
// Show a prompt text as it stands and wait for the return key.
int MESS_hold(M_type type, const char* prompt);
// Title line "      <title> (Ver <version>)" and a blank line.
int MESS_print_prog(const char* title);
// The current level mask.
M_type MESS_get_level();
// Back to the state at program start; closes log files opened here (tests).
void MESS_reset();

// ---- flag (src/flag.cpp)
inline constexpr int FLAG_NUM = 30;
inline constexpr int FLAG_FILE_PARAM = 15;
inline constexpr int FLAG_BATCH_NUM = 19;
inline constexpr int FLAG_HELP_NUM = 20;
int FLAG_get(int num);
long FLAG_getl(int num);
int FLAG_set(int num, int value);
int FLAG_setl(int num, long value);
int FLAG_reset(long value);
int FLAG_batch();
int FLAG_help();
int FLAG_setplot(int num, int value);
int FLAG_resetplot(int value);
// Drawing-component switch 0..12, 0 outside.
int FLAG_getplot(int num);
// Every flag and switch back to 0, as at program start (tests).
void FLAG_clear();

// ---- system (src/system.cpp)
const char* VOK_version();
[[noreturn]] void VOK_exit(int status);
// Suspend for a number of seconds, to the microsecond; -1 when not positive.
int VOK_sleep(double seconds);
// 1 when the line was a "set" command (handled), 0 otherwise; "exit" ends
// the process with status 0.
int VOK_set_command(const char* line);
// Ask for one word; without a buffer one of len + 1 characters is allocated
// with malloc (the caller frees it). An empty answer or the end of input
// leaves the buffer as it was.
char* VOK_prompts(const char* prompt, char* buf, int len);
// Ask for a number; an empty answer or the end of input gives 0.
float VOK_promptf(const char* prompt);
// 1 when standard input is a terminal: only then do the file name and
// existing-file questions wait for an answer (piped bulletins or a
// scheduler's empty input must never be read as one).
int VOK_interactive();

// ---- resrc (src/resrc.cpp); resource numbers live in vokresrc.h
// How a resource value is converted.
enum DEF_convert {
    CV_none = 0, CV_bool = 1, CV_int = 2, CV_short = 3, CV_long = 4, CV_float = 5,
    CV_string = 6, CV_strcpy = 7, CV_path = 8, CV_mess = 9, CV_draw = 10,
    CV_current = 11, CV_hour = 12, CV_region = 13, CV_name = 14, CV_ingestor = 15,
    CV_file_param = 16, CV_device = 17, CV_plot_type = 18, CV_color = 19,
    CV_domain = 20, CV_strings = 21, CV_batch = 22, CV_help = 23
};
// One value of the process-wide resource list.
struct resource {
    int index;          // table entry, or VOK_MISSING for a free value
    char* name;         // owned; the key, compared case-sensitively
    char* data;         // owned; null when given without a value
    DEF_convert cvt;
    resource* next;
};
using res_obj = resource;
int RES_new(int index, const char* name, const char* data, DEF_convert cvt);
int RES_append(int index, const char* name, const char* data, DEF_convert cvt);
int RES_put(const char* name, const char* value);
// The value; "" when set without a value; null when never set.
const char* RES_get(const char* name);
// Items of a value (newline-separated for CV_strings, else comma-separated);
// release with free_parsed_array.
int RES_getvals(const char* name, char*** array);
int RES_getval(const char* name, void* buf, DEF_convert cvt);
int RES_list();
int RES_setCL(int argc, char** argv);
const char* RES_get_prog();
// Last component of argv[0]; without a buffer one is allocated with malloc
// and the caller frees it: "VOK" in a copy of its own when that allocation
// fails, null when even that one does. A buffer is taken to hold len
// characters.
char* RES_get_progname(char* buf, int len = VOK_NAME_LEN);
int RES_conv_data(const char* value, void* out, DEF_convert cvt);
// First node of the list (null when empty), for walking it in order.
resource* RES_first();
// Empty the list, forget the command line and the table built by RES_init
// (tests).
void RES_clear();
// Problems the last RES_decode reported, each with a warning as it was met:
// an option that names no accepted resource (still kept as a free resource
// under its own name, as the suite keeps it) or whose name is too long, and
// an "hour" value that is no time that exists. The program refuses to run
// on any of them.
int RES_errors();
// 1 when the last RES_decode met --version or -V (which take no value).
int RES_version_asked();

// The resource table. A program accepts a list of resource numbers
// (vokresrc.h); RES_enter turns each into a table entry.
// How an entry is given on the command line: an option abbreviation (pos 0),
// or a position, 1 to 9 for one positional argument, RES_POS_ALL for all of
// them (abbr null).
inline constexpr int RES_POS_ALL = 10;
struct RES_cmd {
    const char* abbr;
    int pos;
};
struct RES_defobj {
    const char* def;    // resource name; null ends a table, "" matches nothing
    const char* env;    // environment variable, "" for none
    RES_cmd cmd;
    DEF_convert cvt;
    void* out;          // where a conversion stores its result, or null
    int* num;           // item count of a list conversion, or null
};
// A table holds at most this many entries, its end mark included.
inline constexpr int RES_TABLE_MAX = 75;
// Option names are significant up to RES_OPT_LEN - 1 characters; a longer
// option is skipped with a warning (and its value with it).
inline constexpr int RES_OPT_LEN = 50;
// The defaults path used when no "default" resource is set.
inline constexpr const char* RES_DEFAULT_PATH = ".:/home/vok/etc:/usr/local/vok/etc";
// Start-up: flags reset to VOK_MISSING, the table built from the two
// zero-terminated lists (named numbers, then positional numbers), every
// source decoded and the immediate conversions applied, then "voktz".
// Returns 1. The driver calls it first thing in main.
int RES_init(int argc, char** argv, const int* res_key, const int* res_pos);
// Fill one entry from the built-in rows; an unknown number gives an entry
// with an empty name and prints the number. Returns 1.
int RES_enter(RES_defobj* obj, int number);
// Store the six fields of an entry. Returns 1.
int RES_fill_obj(RES_defobj* obj, const char* def, const char* env, RES_cmd cmd,
                 DEF_convert cvt, void* out, int* num);
// Gather defaults files and loop windows (in defaults-path order), the
// environment and the command line into the list, then convert. The table
// ends with an entry whose def is null. Returns 0.
int RES_decode(const char* prog, int argc, char** argv, RES_defobj* table);
// The help text for the two zero-terminated lists, at mask M_PRINT. Returns 1.
int RES_help_print(const char* prog, const int* res_key, const int* res_pos);

// ---- def_read (src/def_read.cpp): defaults files and qualified names
// Limits of the defaults module. Names and texts beyond them are refused
// (with a warning where the user gave them), never cut into other names.
inline constexpr int DEF_NAME_LEN = 30;      // program name and title: 29
inline constexpr int DEF_QUAL_LEN = 40;      // qualified name: 39
inline constexpr int DEF_ENV_LEN = 20;       // environment name: 19
inline constexpr int DEF_ENV_QUAL_LEN = 45;  // "vok" + qualified name: 44
inline constexpr int DEF_KEY_LEN = 50;       // key buffer: 49
inline constexpr int DEF_VALUE_LEN = 200;    // value buffer: 199
inline constexpr int DEF_PATH_LEN = 80;      // defaults file path: 79
inline constexpr int DEF_LINE_LEN = 250;     // defaults file line: 249
inline constexpr int DEF_MAX_TAGS = 10;
inline constexpr int DEF_MAX_SECTIONS = 10;
// Program name (last component of argv[0]) for qualified names.
int DEF_prog();
// The defaults file open now ("" when none), for messages.
const char* DEF_file_name();
// The environment variable that DEF_env took its last value from.
const char* DEF_env_name();
// Program title from -na; "+title" qualifies as prog.title.resource.
int DEF_name(const char* title);
int DEF_clr_tag();
// Define a tag (copied). 0; -1 with a warning when DEF_MAX_TAGS are defined.
int DEF_tag(const char* tag);
// Open a defaults file, or the first of vok.cfg, .vokdef, Vok.res in a
// directory; null or "" means ".vokdef". 0, or -1.
int DEF_open(const char* name);
int DEF_close();
// Next active pair: key (DEF_KEY_LEN bytes, lower case, no trailing ':') and
// value (DEF_VALUE_LEN bytes). 1, or -1 at the end or without a file.
int DEF_get(char* key, char* value);
// 1 when the key (with '*' wildcards) matches the resource's qualified name.
int DEF_cmp(const char* res, const char* key);
// 1 when the key addresses this program at all.
int DEF_valid(const char* key);
// The resource part of a key: the text after its last '.' or '*'.
const char* DEF_parse_name(const char* key);
// The first of "vok" + qualified name, env, "vok" + res set in the
// environment into value (DEF_VALUE_LEN bytes). 1, or 0 when none is set
// (or its value is too long, with a warning).
int DEF_env(const char* res, const char* env, char* value);
// Back to the start state: no file, name "Vok", no title, tags or sections
// (tests).
void DEF_reset();

// ---- mqueue (src/mqueue.cpp): the link to a running loop window
// Text area of a queue message; MQ_TEXT_LEN - 1 characters are sent at most.
inline constexpr int MQ_TEXT_LEN = 120;
inline constexpr int MQ_EXIT_STATUS = 7;
// Queue of a window number: its identifier; -1 when no queue exists (also for
// numbers that are no window, 0 and below); -2 on any other failure.
int MQ_open(int num);
// Connection number (3 and above), or -1.
int MQ_connect(int queue);
// Send '0' + conn and the formatted command as message type 1. 0, or -1 (a
// text longer than MQ_TEXT_LEN - 1 characters is not sent, with a warning).
int MQ_put(int queue, int conn, const char* format, ...) VOK_PRINTF(3, 4);
// Next message of type conn: its payload into buf (MQ_TEXT_LEN bytes) and its
// status character minus '0'; -1 when receiving failed.
int MQ_get(int queue, int conn, char* buf);
// Remove every waiting message of one type.
int MQ_clear(int queue, int type);
int MQ_enable_alarm();
int MQ_disable_alarm();
// The alarm handler: "Queue not responding!!" and exit status 7.
void MQ_intrp(int sig);
// Seconds any single connect, send or receive may take (20). Tests only.
int MQ_set_timeout(int seconds);
// The exchange at a "#window" entry of the defaults path: query every table
// resource, take the answers, send the values held from elsewhere. 0 when
// the link is open afterwards, -1 when the window was not reached.
int MQ_exchange(const char* window, const RES_defobj* table);
// 1 while a link is open.
int MQ_connected();
// Report a command-line setting to the open link ("set res name value").
int MQ_report(const char* name, const char* value);
// "quit" to the open link; the link is forgotten.
int MQ_quit();
// Forget the link and restore the time limit (tests).
void MQ_reset();

// ---------------------------------------------------------------- dates
// ---- date (src/date.cpp)
// Broken-down UTC date; any field may be VOK_MISSING ("unset"). A record with
// only its leading fields set stands for a coarser time (a year, a month, a
// day, an hour).
struct Date {
    std::int32_t year;   // full year, e.g. 2024
    std::int32_t month;  // 1-12
    std::int32_t day;    // 1-31
    std::int32_t jday;   // day of year 1-366
    std::int32_t wday;   // day of week, 0 = Sunday
    std::int32_t hour;   // 0-23
    std::int32_t min;    // 0-59
    std::int32_t sec;    // 0-59
};
// Size of a date label buffer: the longest label ("12:05 PM EST [0005Z] 31
// JAN 24") fits with room to spare. Functions that fill a label take the
// buffer size, this by default.
inline constexpr int DATE_LABEL_LEN = 40;
int DATE_init(Date* date);
// Upper- / lower-case month abbreviation; "" outside 1-12.
const char* DATE_month(int month);
const char* DATE_month_lower(int month);
int DATE_is_leap(int year);
// Seconds since 1970-01-01 00:00 UTC. Corrects the record in place first:
// years 0-49 are 2000-2049, 50-199 are 1950-2099, a negative year 1980;
// month outside 1-12, day outside 0-31, hour, minute or second out of range
// become 1, 1, 0, 0, 0. Day 0 is kept (last day of the previous month).
// Every fourth year counts as a leap year (exact 1901-2099).
std::int64_t DATE_num_sec(Date* date);
// Current time; stored through secs as well when it is not null.
std::int64_t DATE_get_time(std::int64_t* secs);
// UTC breakdown of *secs (null: now). 0, or -1 with the record left as it
// was when the system cannot break the time down (year beyond its range).
int DATE_get_gmdate(const std::int64_t* secs, Date* date);
// "24 JAN 05  12:30:00Z"; cut to len - 1 characters.
int DATE_get_current_str(char* buf, int len = DATE_LABEL_LEN);
// "%d/%d/%d %2.2d:%2.2d:%2.2d\n" under mask.
int DATE_print(M_type mask, const Date* date);
// Day of year (clamped to 1..365/366) to month and day.
int DATE_julian_monday(int year, int jday, int* month, int* day);
// Month (clamped to 1..12) and day to day of year.
int DATE_monday_julian(int year, int month, int day, int* jday);
// Label time zone from a text such as "-EST:-5": a leading "+" selects the
// 12-hour clock, "-" the 12-hour clock with the UTC time in brackets; up to
// four characters of zone name, ":" and the offset in hours. No hours (or
// hours beyond +-24, or not a number) give offset 0.
int DATE_set_TZ(const char* tz);
// Date label of the record into label (len bytes). 0; -1 without a buffer or
// record, and -1 with label emptied when the label does not fit. With a
// non-zero zone offset the record is corrected in place (DATE_num_sec).
int DATE_make_label(Date* date, char* label, int len = DATE_LABEL_LEN);
// Reads a date label; fields that no form gives stay unset. The fifth form,
// four plain numbers, reads year, month, day and hour. 0; -1 for null
// pointers.
int DATE_decode_label(const char* label, Date* date);
// Month 1-12 from an abbreviation in upper or lower case ("Jan" gives 0).
int DATE_decode_month(const char* text);

// Decode time window. Report times are hhmm ints, VOK_MISSING for none.
// Stores the window in minutes; takes effect at the next DATE_set_datim.
int DATE_set_range(int pre, int post);
// Decode time from the input file's date, the set time (FILE_get_time) and
// the "decode_hour" resource.
int DATE_set_datim(const Date* date);
int DATE_get_datim(Date* date);
// 1 when the report time lies in the window (report placed within twelve
// hours of the decode time), else 0.
int DATE_chk_range(int hhmm);
// The window as set by the last DATE_set_datim: its first and last second
// (seconds since 1970, both included). Returns 0.
int DATE_get_window(std::int64_t* from, std::int64_t* to);
// Time zone and window back to their start state (tests).
void DATE_reset();

// ---------------------------------------------------------------- files
// ---- files (src/files.cpp)
// paths and file checks
int FILE_is_stdio(const char* name);
int FILE_fullpath(const char* name);
// Appends "/" in place; the text is taken to live in a VOK_NAME_LEN buffer
// (-1 and unchanged when the "/" does not fit).
int FILE_add_path_delim(char* dir);
// Directory and name into out (VOK_NAME_LEN); out, or null with out emptied
// when the result does not fit.
char* FILE_add_path(const char* dir, const char* name, char* out);
// "~" and "~user" expansion into out (VOK_NAME_LEN); 0, or -1 with out
// emptied when the result does not fit.
int FILE_add_user_path(const char* name, char* out);
int FILE_exist(const char* name);
int FILE_is_dir(const char* name);
long FILE_size(const char* name);
int FILE_make_dir(char* path, int leave);
FILE* FILE_open(const char* name, const char* mode);
// Close a stream from FILE_open: pipes with pclose, standard streams never.
int FILE_close(FILE* fp, const char* name);
// What to do with an existing output file: 1 write anew, 2 append, 3 keep
// it, 0 for an unknown mode. Asked only at a terminal; in batch mode, or
// when standard input is no terminal, the file is kept.
int FILE_overwrite(const char* name, int mode);

// set time: date and time fields fixed by the user (the "hour" resource or a
// "#" date in a given file name); VOK_MISSING in fields not fixed. Starts with
// every field unset but sec = 0.
int FILE_set_time(const Date* date);
int FILE_get_time(Date* date);
// Unsets year, month, day, hour and min (jday, wday and sec stay).
int FILE_reset_time();
// The set time back to its start state (tests).
void FILE_clear_time();
// 1 when the fields of the date that are set (not VOK_MISSING) can be a
// time: a year of 1901 to 2099 (the years the calendar arithmetic holds
// exact), month 1-12, a day the month has (February 29 without a year),
// hour 0-23, minute 0-59. 0 otherwise, with the first field at fault
// described in why (len bytes; why may be null).
int FILE_check_date(const Date* date, char* why, int len);

// name conventions: a file type ("upa_dat", "upa_cvt_xml" ...) maps through
// the name convention file (resource "name_conv", default "name_conv", in
// the "file_path" directory) to a template. Lines: type, template, header
// template ("-" for none), minimum size; "#" starts a comment.
// Every name built, read or held fits a VOK_NAME_LEN buffer; one that would
// not is refused with a warning (-1, output buffer emptied), never cut.
//
// Looks the type up: 1 found (or "@template" given), 0 for "none" and for a
// text that is no type name (a file name of its own, such as "x.nc" or
// "myfile", which becomes the template), -1 with a warning naming the file
// and the type when a type name ("upa_cvt": letters, digits and "_", with a
// "_") has no convention (no convention file, no line for it, a line
// without a template), and -1 for a template that is too long or holds a
// command ("|", taken from the command line only). ":k=value" parts of the
// type define keys and are not part of the type. Clears the current file
// name.
int FILE_set_name(const char* type);
// Saves / restores template, header template, step, file name and its kind.
int FILE_save_name_conv();
int FILE_restore_name_conv();
// The current file name, marked as given explicitly. 0; -1 when refused.
int FILE_set_filename(const char* name);
// Template key: "%k" in a template stands for the text (blanks become "_").
// Holds texts of up to VOK_NAME_LEN - 1 characters (a whole domain text as
// key 'r'); 0, or -1 with the key unchanged when the text is longer.
int FILE_set_key(int key, const char* text);
// The text of a key; "" when not set.
const char* FILE_get_key(int key);
// The convention state, for tools and tests.
struct FILE_conv_info {
    char conv[VOK_NAME_LEN];
    char hconv[VOK_NAME_LEN];
    char ext[VOK_NAME_LEN];
    char filename[VOK_NAME_LEN];
    int min_size;
    int late_off;        // seconds between consecutive names; VOK_MISSING: none
    int filename_type;   // 1: the name was given explicitly
};
int FILE_get_conv(FILE_conv_info* info);

// file selection by date. Name buffers hold VOK_NAME_LEN characters.
// Template: %[N]Y %y %m %b %d %j %h %n date fields (N rounds down, and is the
// step of %d %j %h %n), %e extension, %C %D %F %R %G %I %W %T %M %S the
// directory of a path resource ("." when not set), %{name} a resource value,
// %[N]k key k, "%%" a "%", "{...}" a literal path part, "*" any rest, a
// blank a "_". A step of 0 counts as 1.
//
// Name of the date (null: the current file date) by the template; the name
// also becomes the current file name. 0 built; 1 not from the template (no
// template, a standard stream, a kept explicit name); -1 refused.
int FILE_set_date(const Date* date, char* name);
// Reads a given name (or current-time text) against the template into name,
// taking its date fields into the file date: all of them, whole and within
// the calendar, or none (a name the template fits only in part gives no
// date of its own; an impossible date is reported). "name#yyyymmddhhmm"
// fixes the set time (a date that does not exist refuses the name); "@name"
// is taken literally; "exit" is a name like any other. 0; -1 when refused.
int FILE_set_file(const char* given, char* name);
// "[#yyyymmddhhmm][[+-]offset][la[#tries]][[+-]offset]", offset
// "[Nd]hours[:minutes]"; null means "la". The reference is the given date,
// else the environment's "vokcurtime", else the clock, fitted to the set
// time; "la" searches back (forward after "+") for the newest file larger
// than the type's minimum size, one template step at a time (500 steps, or
// the tries given), and when none of these is there (without a count of
// tries) the newest listed file of the template's directory at or before
// the reference (the oldest at or after it with "+"). Builds the name;
// returns the time rounded down to the template step. A date that does not
// exist (also in vokcurtime) or text the grammar does not know is reported
// and names nothing: name and file date are emptied, and 0 is returned.
std::int64_t FILE_set_current(const char* text, char* name);
// The input file: from the "filename" resource ("list" lists and exits),
// the "current" resource, "la" in batch mode or when standard input is no
// terminal, or the prompt. 1 when the
// chosen file exists, else 0; name (may be null) receives the name.
int FILE_get_file_only(const char* prompt, char* name);
// The date of the current file name.
int FILE_get_date(Date* date);
// Lists the files of the template in columns on the terminal ("ls -x").
int FILE_list_file();
// A run of files: the listed names, or the template's names from the date
// over the "num_hour" span ("[-]hours[:minutes][,spacing]"). FILE_get_next
// gives 1 and the next name while there is one, then 0.
int FILE_first(const Date* date);
int FILE_get_next(char* name);
int FILE_num_hour();
int FILE_get_skip();
// The template step in seconds, or 100000 when it has none.
int FILE_get_offset();
// The name of the date moved by off seconds; off in template steps.
int FILE_set_date_off(const Date* date, int off, char* name);
// Conventions, keys, file name and date, saved state and run back to their
// start state (tests).
void FILE_clear_names();

// ---------------------------------------------------------------- tables
// ---- table (src/table.cpp)
// Keyed table of fixed-size data blocks found by one to four text keys and
// walked in insertion order. Entries are never removed during a run.
struct TAB_entry {
    char* key;          // private copy; null marks an unused bucket head
    unsigned char* data;
    TAB_entry* link;    // next entry of the same hash chain
    TAB_entry* next;    // next entry in insertion order (key 0 only)
};
inline constexpr int TAB_MAX_KEYS = 4;
struct TAB_table {
    int tab_size;
    int data_size;
    TAB_entry* data_ptr;
    TAB_entry* head_ptr;
    TAB_entry* last_ptr;
    int num_entry;
    int numkey;
    TAB_entry* table[TAB_MAX_KEYS];
};
int TAB_key(const TAB_table* table, const char* key);
int TAB_init(TAB_table* table);
int TAB_create(TAB_table* table, int buckets, int data_size, int numkey);
int TAB_enter(TAB_table* table, const void* data, ...);
void* TAB_search(TAB_table* table, int keynum, const char* key);
int TAB_first(TAB_table* table);
void* TAB_next(TAB_table* table);
// Releases everything the table owns and leaves it empty (tests and tools
// that build short-lived tables; the station table lives for the run).
int TAB_free(TAB_table* table);

// ---------------------------------------------------------------- maps
// ---- maptran (src/maptran.cpp)
// A map area: projection, pole and centre, grid spacing and size. Every
// field but ellipse is VOK_MISSING when unset.
struct Domain {
    std::int32_t proj;   // projection code; VOK_MISSING for no domain
    float plat;          // latitude of the projection's pole or tangent point
    float plon;          // longitude of the pole or central meridian
    float param[5];      // projection parameters (true latitudes ...)
    float clat;          // domain centre, degrees north
    float clon;          // domain centre, degrees east (west negative)
    float dx;            // grid spacing in x
    float dy;            // grid spacing in y
    std::int32_t nx;     // grid points in x
    std::int32_t ny;     // grid points in y
    std::int32_t ellipse;  // 1 for the ellipsoidal earth, else 0
};
// Projection codes: the map projections 1 to 9, then the plain plots and
// sounding diagrams of the plotting programs.
inline constexpr int MAP_PROJ_POLAR = 1;      // polar stereographic
inline constexpr int MAP_PROJ_LATLON = 2;     // latitude/longitude
inline constexpr int MAP_PROJ_MERC = 3;       // Mercator
inline constexpr int MAP_PROJ_LAMBERT = 4;    // Lambert conformal conic
inline constexpr int MAP_PROJ_ORTHO = 5;      // orthographic
inline constexpr int MAP_PROJ_GNOMONIC = 6;   // gnomonic
inline constexpr int MAP_PROJ_MOLLWEIDE = 7;  // Mollweide
inline constexpr int MAP_PROJ_LAMB_AZ = 8;    // Lambert azimuthal equal-area
inline constexpr int MAP_PROJ_SAT = 9;        // satellite view
inline constexpr int MAP_PROJ_XY = 20;        // plain x/y
inline constexpr int MAP_PROJ_XLOGP = 22;     // x against log pressure; cross-section
inline constexpr int MAP_PROJ_HODO = 23;      // hodograph
inline constexpr int MAP_PROJ_CAT = 24;
inline constexpr int MAP_PROJ_XP = 25;        // cross-section
inline constexpr int MAP_PROJ_SKEWT = 40;     // skew-T log-p
inline constexpr int MAP_PROJ_STUVE = 41;
inline constexpr int MAP_PROJ_EMAGRAM = 42;
inline constexpr int MAP_PROJ_TEPHI = 43;
inline constexpr int MAP_PROJ_RTEPHI = 44;    // tephigram turned so isobars lie flat
inline constexpr int MAP_PROJ_ZOOM = 50;
inline constexpr int MAP_PROJ_SIZE = 51;
inline constexpr int MAP_PROJ_PIXEL = 99;
// x and y of a position that the projection cannot show (the far side of an
// orthographic or satellite view, beyond the horizon of a gnomonic map, the
// antipode of an azimuthal centre, a pole of the Mercator map, a latitude
// beyond 90). No grid contains it.
inline constexpr float MAP_OFF_GRID = 1.0e30f;
// Set the current domain (copied); null clears it (proj VOK_MISSING) and
// returns -1, else 0. A domain that cannot be drawn (MAP_check_domain gives
// 0) is still set, but then no position lies in its grid.
int MAP_domain(const Domain* dom);
// 1 when the domain can be drawn: no domain at all, or a known projection
// whose constants and grid are sound (grid points at least 1, spacings
// finite and, for the map projections, positive, a latitude centre within
// 90 degrees that the projection shows). Leaves the current domain alone.
int MAP_check_domain(const Domain* dom);
// Extent of the current domain in plot coordinates. Returns 0.
int MAP_set_limits();
// Transform the domain centre.
void MAP_tran_center(float* x, float* y);
// Latitude/longitude (degrees) to plot coordinates of the current domain.
// Without a domain x is the latitude and y the longitude, unchanged. Map
// coordinates are in units of 100 km on a sphere of radius earth_rad
// (degrees for latitude/longitude); a position the projection cannot show
// gives MAP_OFF_GRID in both. For the sounding diagrams the latitude is the
// temperature (deg C) and the longitude the pressure (hPa). Returns 1.
int MAP_tran(float* x, float* y, float lat, float lon);
// 1 when the point lies on the grid or within three grid spacings of it (and
// always without a domain), else 0.
int MAP_in_grid_domain(float x, float y);
// x minimum, x maximum, y minimum, y maximum of the current domain.
void MAP_get_limits(float limits[4]);
// Back to the start state: no domain, default constants (tests).
void MAP_reset();

// ---------------------------------------------------------------- regions
// ---- region (src/region.cpp)

// Flag that DOM_decode sets: 1 domain from fields, 2 region name, -1
// invalid, VOK_MISSING no domain.
inline constexpr int FLAG_DOMAIN_NUM = 5;
// Region file lines (and so the domain texts they give) hold at most this
// many characters.
inline constexpr int DOM_LINE_LEN = 500;
// Field codes of the domain text layouts.
enum class DOM_field { proj, plon, clat, clon, nx, ny, dx, dy, id, reg };
// Sets every field unset (VOK_MISSING, ellipse 0). Returns 0.
int DOM_init(Domain* dom);
// Projection code of a keyword ("ps", "lc", "me" ...; any text beginning with
// a keyword, without regard to case); VOK_MISSING for "miss", -1 unknown.
int DOM_proj_str(const char* str);
// Decodes a domain text ("40,-100", "lc,40,-100,50,40,0.5,0.5",
// "ps:e:90:-105,40,-100", "id:KDEN", a region name ...) into dom. 1 for a
// domain given by fields, 2 for a region name, -1 for an invalid text (dom
// left unset), VOK_MISSING for no domain ("miss", "none", empty or null).
int DOM_decode(const char* str, Domain* dom);
// Fits the items to the layout of up to eight field codes, reading each into
// dom. 0 when they fit, else non-zero (dom keeps what was read).
int DOM_set_params(int count, char** items, Domain* dom, std::initializer_list<DOM_field> codes);
// A built-in region ("us", "ne", "at", "se", "mw", "sp", "nw", "sw", "var"
// asked for on the terminal), any case. 1 found, else 0.
int DOM_get_def_region(const char* name, Domain* dom);
// Domain text of a region (null or "": the first region) from a region file
// in the "file_path" directory into out (len bytes). 1 found, else 0.
int DOM_search_file(const char* file, const char* region, char* out, int len = DOM_LINE_LEN + 1);
// One entry of a region menu: identifier, name with blanks, number.
struct DOM_menu_item {
    char id[6];
    char name[21];
    int num;
};
inline constexpr int DOM_MENU_MAX = 19;
// Reads a region menu file (replacing the menu read before). 1, or 0 when the
// file cannot be opened.
int DOM_read_menu(const char* file);
// Entries of the menu read last; their count.
int DOM_get_menu(const DOM_menu_item** items);
// Plotting priority from the height of a domain, adjusted by the "stat_prior"
// resource. Returns 0.
int DOM_set_base_prior(float size);
// The plotting priority set last (VOK_MISSING before any domain).
int DOM_get_base_prior();
// Menu and priority back to their start state (tests).
void DOM_reset();

// ---- calc (src/calc.cpp)
// Great-circle distance in kilometres between two positions in degrees, on a
// sphere of radius 6371.3 km, in single precision.
float calc_distance(float lat1, float lon1, float lat2, float lon2);

// ---------------------------------------------------------------- text
// ---- string (src/string.cpp)
int stricmp(const char* a, const char* b);
int strnicmp(const char* a, const char* b, int n);
int strntcpy(char* dst, const char* src, int n);
int strmcat(char* dst, const char* src, int m);
int fill_string(char* s, char a, char b);
int wsstrip_string(char* s);
int wstrim_string(char* s);
int trim_string(char* s);
int low_string(char* s);
int clean_line(char* s);
int string_is_num(const char* s);
int string_is_num_len(const char* s, int n);
int parse_string(const char* s, char delim, int* count, char*** array);
int free_parsed_array(int count, char** array);

// ---- tools (src/tools.cpp): line reading, byte order, station identifiers
// Read the next line (without its newline) into buf, at most n characters;
// buf must hold n + 1. Returns the count read, 0 for an empty line, -1 at end.
int fgetnline(FILE* fp, char* buf, int n);
// As fgetnline, but 1 for a line with text.
int fgetstring(FILE* fp, char* buf, int n);
extern int swap;
int swap_setup(int order);
int swap_short(std::int16_t* value);
int fwrite_short_swap(std::int16_t* value, FILE* fp);

// Station identifiers: a WMO block and station number becomes a five-character
// identifier led by the location-indicator prefix of its country, and back.
// Identifier fields hold this many bytes (10 characters and the NUL).
inline constexpr int VOK_ID_LEN = 11;
// Writes the identifier of wmo into out, which must hold VOK_ID_LEN bytes; the
// write never goes beyond them. 5 characters for 0 to 99999, a sign more for
// negative numbers ("-09999" for -9999). Returns 0, or -1 when out is null.
int wmo_to_id(char* out, int wmo);
// Reads an identifier made by wmo_to_id back into *wmo. Returns 0 for the
// letter form (a letter, any character, three digits), -1 otherwise; *wmo is
// set in both cases: 99999 when nothing could be read, the value of a
// five-digit identifier, or the three digits alone for an unknown prefix.
// Prefixes are matched without regard to case. A null id gives -1 and 99999.
int id_to_wmo(const char* id, int* wmo);

// ---- scanp (src/scanp.cpp)
// Cursor of the pattern scanner over one text, owned by the caller; the
// scanner keeps no other state.
struct parse_param {
    const char* ptr;        // the text, not copied; must outlive the scans
    std::int32_t length;    // strlen of the text, set by scanp_set
    std::int32_t off;       // offset of the next unread character
    std::int32_t len;       // characters consumed by the last scanp call
    std::int32_t assigned;  // values stored by the last call
    std::int32_t matched;   // directives matched by the last call (its result)
    std::int32_t done;      // 1 when the last call used the whole pattern
};

// Longest field any directive takes, and so the bound of every text target.
inline constexpr int SCANP_FIELD_MAX = 80;

// Points the cursor at the start of str (null counts as ""). Returns 1.
int scanp_set(parse_param* param, const char* str);

// Matches pat against the text at the cursor without moving it; len tells
// how much was consumed (also when the match stopped part way), scanp_inc
// accepts it. Returns the number of matched directives, or -1 for an empty
// pattern or a cursor at (or past) the end, with len, assigned, matched and
// done all 0.
//
// Pattern: a blank matches one or more of blank, tab, CR, LF; any other
// character except "%" must equal the next input character; a directive is
// "%" ["*" no store] ["<" width is a maximum] [width] ["!"missing"!"] letter.
// With a width and no "<" the field must have exactly that many characters;
// with "<" one up to the width; without a width up to the field bound.
// A failing element stops the scan; what matched before it stays stored.
//
// Letters and targets (one pointer per directive without "*", in order):
//   d  [-]digits                              std::int32_t*
//   D  as d with white space around it        std::int32_t*
//   f  [-]digits[.digits][e[+-]digits]        float*
//   F  as f with white space around it        float*
//   s  non-white characters                   char*, terminated
//   S  any characters                         char*, terminated
//   N  digits   A  letters                    char*, terminated
//   w  white space   W  white space but LF    char*, terminated
//   [set] [^set]  "/A" letters, "/N" digits, "//" "/"; the character after
//      "/" is a member as well                char*, terminated
//   c  any characters, one without a width   char*, NOT terminated
//   (alt|alt|...) first alternative that the input begins with
//                                             char*, terminated
//   n  consumes nothing                       int*, characters consumed so far
// Every directive that succeeds, "n" included, counts in matched. Any other
// letter after "%" is matched as an ordinary character ("%%" matches "%").
//
// Bounds, which make the bare text pointers safe: no field is longer than
// SCANP_FIELD_MAX (80) characters, and a width above 80 counts as 80. A text
// target receives at most min(width, 80) characters plus the terminator (no
// terminator for "c"), so "%<10s" needs 11 bytes and a directive without a
// width 81 bytes. An alternative longer than 80 characters never matches; a
// width of 0 counts as none; an empty alternative or an empty "!!" text is
// never taken. A number with digits that does not fit its target type (such
// as 80 digits for "%d") fails and stops the scan.
//
// Missing values (d, D, f, F): a field without digits whose input equals the
// "!" text (no longer than the width) stores -9999 and consumes the text; when
// the text does not match either, nothing is stored or consumed and the scan
// goes on with the next pattern element. Alternatives with a "!" text match
// in any case, store "" and consume the characters that agree with the text;
// in "<" mode without a width they match without consuming or storing.
//
// Traces at mask M_DEBUG & M_SUB_D, formatted only when that level is on:
// after every element "     :%s:%.50s:\n" (the pattern and the input left),
// at the end "SCANP:%.50s:%s:%d:%d:%d:%d:%d\n" (input at the cursor, pattern,
// off, len, done, assigned, matched).
int scanp(parse_param* param, const char* pat, ...);

// Accepts the last match: off += len. Returns 1.
int scanp_inc(parse_param* param);
// The text at the cursor (clamped to the text), for messages.
const char* scanp_str(const parse_param* param);
