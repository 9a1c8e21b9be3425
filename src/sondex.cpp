// sondex: the upper-air data conversion program. Raw TEMP and PILOT
// bulletins in, one upper-air data file for the decode time out.
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "vok.h"
#include "vokupa.h"

namespace {

constexpr const char* TITLE = "UPPER AIR DATA CONVERSION PROGRAM";

// A scheduler may start the program with a standard descriptor closed. The
// next file opened would take its number: messages meant for the terminal
// would land in the output file, and a station table opened as descriptor 0
// would pass for one that could not be opened.
void keep_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // A closed standard output is opened for reading only: an output
        // sent to it ("-of vok:-") fails to be written, as it would have on
        // the closed descriptor, rather than vanishing into /dev/null.
        const int opened = open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY);
        if (opened != -1 && opened != fd) close(opened);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    keep_standard_descriptors();
    RES_init(argc, argv, UPA_res_key, UPA_res_pos);
    // An option the program does not know, or a time that does not exist,
    // was reported as it was met: nothing is run that was not asked for.
    if (RES_errors() > 0) VOK_exit(UPA_EXIT_SETUP);
    if (RES_version_asked()) {
        MESS_print(M_PRINT, "%s (Ver %s)\n", TITLE, VOK_version());
        VOK_exit(UPA_EXIT_OK);
    }
    if (FLAG_help()) {
        char prog[VOK_NAME_LEN];
        RES_get_progname(prog, VOK_NAME_LEN);
        MESS_print(M_PRINT, "%s: converts raw TEMP and PILOT bulletins into one upper-air data file\n", prog);
        MESS_print(M_PRINT, "    for the decode time (text, XML, netCDF or fixed-record form)\n");
        RES_help_print(prog, UPA_res_key, UPA_res_pos);
        VOK_exit(0);
    }
    MESS_print_prog(TITLE);
    return UPA_decode_all();
}
