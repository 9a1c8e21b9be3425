// Process services shared by the suite: the version text, leaving the
// process, sleeping and the interactive prompts. A prompt also understands
// "set name value" (change a resource while running) and "exit".
#include "vok.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <unistd.h>

namespace {

constexpr int LINE_LEN = 79;

// One answer line, at most LINE_LEN characters, trimmed of line ends and
// trailing spaces. The rest of an over-long line is dropped so that it cannot
// answer the next question. False at the end of input.
bool read_answer(char (&line)[LINE_LEN + 1])
{
    std::fflush(stdout);
    if (!std::fgets(line, sizeof line, stdin)) {
        line[0] = '\0';
        return false;
    }
    if (!std::strchr(line, '\n')) {
        int c;
        do {
            c = std::getchar();
        } while (c != '\n' && c != EOF);
    }
    wstrim_string(line);
    return true;
}

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

const char* VOK_version()
{
    return "5.60.2-LINUX-X11";
}

int VOK_interactive()
{
    return isatty(STDIN_FILENO) ? 1 : 0;
}

void VOK_exit(int status)
{
    std::exit(status);
}

int VOK_sleep(double seconds)
{
    if (!(seconds > 0)) return -1;
    double whole = std::floor(seconds);
    timespec req{};
    req.tv_sec = static_cast<time_t>(whole);
    req.tv_nsec = static_cast<long>(std::lround((seconds - whole) * 1e6)) * 1000L;
    if (req.tv_nsec >= 1000000000L) {
        req.tv_sec += 1;
        req.tv_nsec -= 1000000000L;
    }
    timespec rem{};
    while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
    return 0;
}

int VOK_set_command(const char* line)
{
    if (!line) return 0;
    if (strnicmp(line, "set", 3) == 0 && line[0] && line[1] && line[2]) {
        // Skip the first word ("set", or anything that begins with it).
        const char* p = line;
        while (*p && !is_space(*p)) ++p;
        while (*p && is_space(*p)) ++p;
        const char* name_start = p;
        while (*p && *p != '=' && *p != ' ') ++p;
        std::string name(name_start, p);
        if (name.empty()) {
            MESS_print(M_MESS & M_SUB_D, "Set resources\n");
            RES_list();
            MESS_print(M_MESS & M_SUB_D, "\n");
            return 1;
        }
        while (*p == '=' || *p == ' ') ++p;
        RES_put(name.c_str(), p);
        return 1;
    }
    if (strnicmp(line, "exit", 4) == 0 && std::strlen(line) >= 4) VOK_exit(0);
    return 0;
}

char* VOK_prompts(const char* prompt, char* buf, int len)
{
    if (len < 2) len = 2;
    if (!buf) {
        buf = static_cast<char*>(std::malloc(static_cast<std::size_t>(len) + 1));
        if (!buf) return nullptr;
        buf[0] = '\0';
    }
    const std::size_t width = static_cast<std::size_t>(len) - 1;
    for (;;) {
        // The prompt is text to show, never a format: it may carry a file name.
        MESS_print(M_PRINT, "%s", prompt ? prompt : "");
        char line[LINE_LEN + 1];
        if (!read_answer(line)) return buf;   // end of input: the default stands
        const char* p = line;
        while (*p && is_space(*p)) ++p;
        if (*p == '\0') return buf;
        std::size_t n = 0;
        while (p[n] && !is_space(p[n]) && n < width) ++n;
        std::memcpy(buf, p, n);
        buf[n] = '\0';
        if (!VOK_set_command(line)) return buf;
    }
}

float VOK_promptf(const char* prompt)
{
    for (;;) {
        MESS_print(M_PRINT, "%s", prompt ? prompt : "");
        char line[LINE_LEN + 1];
        if (!read_answer(line)) return 0.0f;
        const char* p = line;
        while (*p && is_space(*p)) ++p;
        if (*p == '\0') return 0.0f;
        float value = 0.0f;
        int scanned = std::sscanf(line, "%f", &value);
        if (VOK_set_command(line)) continue;
        if (scanned == 1) return value;
    }
}
