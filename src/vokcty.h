// Station database: the stations of a station table file and the data slot
// that each loaded station carries.
#pragma once

#include "vok.h"

// One station of a station table file.
struct CTY_data {
    char name[21];    // one word, at most 20 characters
    char state[3];    // state or province code
    char region[3];   // country or region code; "B_" writes the WMO key as "b%05d"
    char id[10];      // identifier, at most 9 characters; "-" when none
    int prior;        // priority digit 0..9, smaller is more important
    char mos;         // '*' when the priority field began with '*', else ' '
    char ua;          // '*' when the priority digit was followed by '*', else ' '
    float lat;        // degrees north
    float lon;        // degrees east
    float el;         // metres; -9999 when missing
    int wmo;          // WMO block and station number
    int num;          // trailing number of the line, 0 when absent
};

// Compact station of store types 2 and 3 (map position instead of the full
// record); the conversion never loads them.
struct CTY_locate {
    char id[10];
    int wmo;
    float x;
    float y;
    float el;
    int prior;
};

// Stored entries: the station and the pointer to its data slot.
struct stat_FULL_data {
    CTY_data data;
    void* slot;
};
struct stat_XY_data {
    CTY_locate loc;
    void* slot;
};

// Slot initialiser: called once for every slot the database creates, with
// the station and its slot (data_size bytes, first byte 0).
using CTY_enter_t = int (*)(const CTY_data* data, void* slot);

// ---- cty_tool (src/cty_tool.cpp)
// Empties name and id; wmo, lat, lon and el become -9999. Returns 0.
int CTY_data_init(CTY_data* data);
// Slot size in bytes for later loads (0: no slots). Returns 0.
int CTY_data_size(int size);
// Registers the slot initialiser (null: none). Returns 0.
int CTY_enter_func(CTY_enter_t func);
// The "stat_prior" resource as an integer, 10 when not set.
int CTY_get_prior();
// Opens the station file: the "city_file" resource ("none" reads nothing),
// else name, else "sao.cty", in the "file_path" directory. *count (when not
// null) receives the bucket estimate, file size / 59 within 1..4000. The
// descriptor, or -1 with a warning when it is missing or a directory.
int CTY_open_file(const char* name, int* count);
// Loads the station table (store type 1 only) restricted to the domain (null:
// none) and to priorities up to prior (-9999: the "stat_prior" resource) and
// to the "identifier" selection. A line whose position cannot be (latitude
// or longitude missing or beyond -90..90 and -180..360) is skipped with a
// warning naming the file and the line. The descriptor, or 0 when no file
// could be opened, the store type is not 1, or the file holds no station
// line with a position (empty, or none of its lines is one): the file is
// closed again, and no table is made.
int CTY_store(const char* name, int store_type, const Domain* dom, int prior);
// Index of the first selection value that the station matches, -1 when none
// does; 1 without values. Texts are compared without regard to case.
int CTY_data_cmp(int nval, char** vals, const CTY_data* data);
// The slot of a loaded station: five characters beginning with a digit, and
// "b" with five digits (region "B_"), are WMO keys; other keys identifiers.
// Null when not found.
void* CTY_get_data(const char* key);
// The station of a loaded station's slot, by the same keys; null when not
// found.
const CTY_data* CTY_get_station(const char* key);
// Walks the slots in load order: 0 restarts at the first, any other value
// continues. Null after the last.
void* CTY_next_data(int n);
// Adds a station known only by identifier and WMO text (key 2 is the text as
// given). Returns 0.
int CTY_make_entry_simple(const char* id, const char* wmo);
// Searches a station file for the station whose identifier, name or WMO text
// equals key (any case). 1 found (the station in *data), else 0.
int CTY_get(const char* name, const char* key, CTY_data* data);
// Position of one station from a station file; 1 found, else 0.
int CTY_get_loc(const char* name, const char* key, float* lat, float* lon);
// Releases the table, its slots and the open station file; forgets the slot
// size and initialiser (tests).
void CTY_reset();

// ---- cty_read (src/cty_read.cpp)
// Opens the station file stream (access 0 "r", 1 "w"); an open one is closed
// first. The descriptor, or -1.
int CTY_open(const char* name, int access, int type);
// 0, or -1 when no station file is open.
int CTY_rewind();
int CTY_close();
// Reads the next station line into *data. The number of fields read (1..10),
// or -1 when no station file is open or at its end. Blank lines are skipped;
// fields a short line lacks are missing (empty texts, -9999), never left from
// the line before.
int CTY_read(int fd, CTY_data* data);
// Scans one station line as CTY_read does; the number of fields, or -1 for a
// blank line.
int CTY_scan_line(const char* line, CTY_data* data);
// Line number (from 1) of the line CTY_read gave last, and the name of the
// open station file, for messages.
int CTY_line_number();
const char* CTY_file_name();
