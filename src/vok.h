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

// ---- flag (src/flag.cpp)

// ---- system (src/system.cpp)

// ---- resrc (src/resrc.cpp); resource numbers live in vokresrc.h

// ---------------------------------------------------------------- dates
// ---- date (src/date.cpp)

// ---------------------------------------------------------------- files
// ---- files (src/files.cpp)

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

// ---- scanp (src/scanp.cpp)
// Cursor of the pattern scanner over one text.
struct parse_param {
    const char* ptr;    // the text, not copied
    std::int32_t length;
    std::int32_t off;   // offset of the next unread character
    std::int32_t len;   // characters consumed by the last scanp call
    std::int32_t assigned;
    std::int32_t matched;
    std::int32_t done;
};
int scanp_set(parse_param* param, const char* str);
int scanp(parse_param* param, const char* pat, ...);
int scanp_inc(parse_param* param);
const char* scanp_str(const parse_param* param);
