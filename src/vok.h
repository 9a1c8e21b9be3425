// Suite-wide types and declarations of the run-time library shared by the
// upper-air conversion program: text helpers, the pattern scanner, messages,
// resources, flags, process services, paths, dates, keyed tables and maps.
//
// Every module keeps one section below; add declarations to your own module's
// section only.
#pragma once

#include <cstdint>
#include <cstdio>

#define VOK_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

// The suite's "missing" / "not set" value.
inline constexpr int VOK_MISSING = -9999;

// Names of files are held in buffers of this many characters.
inline constexpr int VOK_NAME_LEN = 160;

// ---------------------------------------------------------------- messages
// The 32-bit message mask: eight groups of four sub-level bits.
using M_type = std::uint32_t;

// ---- mess (src/mess.cpp)
// Print a message when its mask shares a bit with the level; 1 when it
// reached the terminal, else 0.
int MESS_print(M_type type, const char* format, ...) VOK_PRINTF(2, 3);
// 1 when a message of this mask would be shown, else 0.
int MESS_check(M_type type);
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
// Last component of argv[0]; without a buffer one is allocated with malloc.
// A buffer is taken to hold len characters.
char* RES_get_progname(char* buf, int len = VOK_NAME_LEN);
int RES_conv_data(const char* value, void* out, DEF_convert cvt);
// First node of the list (null when empty), for walking it in order.
resource* RES_first();
// Empty the list and forget the command line (tests).
void RES_clear();

// ---------------------------------------------------------------- dates
// ---- date (src/date.cpp)

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
int FILE_overwrite(const char* name, int mode);

// ---------------------------------------------------------------- tables
// ---- table (src/table.cpp)

// ---------------------------------------------------------------- maps
// ---- maptran (src/maptran.cpp)

// ---- calc (src/calc.cpp)

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
// Cursor of the pattern scanner over one text.
struct parse_param {
    const char* ptr;    // the text, not copied; must outlive the scans
    std::int32_t length;  // strlen of the text, set by scanp_set
    std::int32_t off;   // offset of the next unread character
    std::int32_t len;   // characters consumed by the last scanp call
    std::int32_t assigned;  // values stored by the last call
    std::int32_t matched;   // directives matched by the last call (its result)
    std::int32_t done;      // 1 when the last call used the whole pattern
};

// Longest field any directive takes, and so the bound of every text target.
inline constexpr int SCANP_FIELD_MAX = 80;

// Points the cursor at the start of str (null counts as ""). Returns 1.
int scanp_set(parse_param* param, const char* str);

// Matches pat against the text at the cursor without moving it; len tells
// how much was consumed, scanp_inc accepts it. Returns the number of matched
// directives, or -1 for an empty pattern or a cursor at (or past) the end.
//
// Pattern: a blank matches one or more of blank, tab, CR, LF; any other
// character except "%" must equal the next input character; a directive is
// "%" ["*" no store] ["<" width is a maximum] [width] ["!"missing"!"] letter.
// With a width and no "<" the field must have exactly that many characters;
// with "<" one up to the width; without a width up to the field bound.
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
// Every directive that succeeds, "n" included, counts in matched.
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
// Debug traces at mask 0x80000000 are formatted only when that level is on.
int scanp(parse_param* param, const char* pat, ...);

// Accepts the last match: off += len. Returns 1.
int scanp_inc(parse_param* param);
// The text at the cursor.
const char* scanp_str(const parse_param* param);
