// Link to a running loop window. Each window owns a System V message queue
// keyed by its number; a program asks it for the value of every resource it
// knows, takes what the window holds, tells it the values it has from
// elsewhere and its command-line settings, and says goodbye. Every single
// connect, send and receive runs under an alarm: a window that stops
// answering ends the program with status 7 rather than hanging it.
#include "vok.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

namespace {

// Message type of everything sent to a window, and of its answers to
// connection requests; a granted connection number must differ from both.
constexpr long TO_WINDOW = 1;
constexpr long CONNECT_ANSWER = 2;
constexpr int FIRST_CONNECTION = 3;
// The connection travels as '0' + number in one byte.
constexpr int LAST_CONNECTION = 255 - '0';

constexpr int STATUS_GRANTED = 2;
constexpr int STATUS_NOT_RUNNING = '-' - '0';
constexpr int DEFAULT_TIMEOUT = 20;

// The text area is a little larger than the part sent and received, so a
// full text always has room for its terminator.
constexpr int MQ_AREA_LEN = MQ_TEXT_LEN + 4;

struct mqueuebuf {
    long mtype;
    char mtext[MQ_AREA_LEN];
};

int key_offset = 0;
int timeout = DEFAULT_TIMEOUT;
// Whether the alarm handler may write its message: decided when the alarm is
// armed, so that the handler itself touches nothing but write(2).
volatile sig_atomic_t alarm_says = 1;

// The open link: queue and connection, -1 when not connected.
int link_queue = -1;
int link_conn = -1;

void install_handler(void (*handler)(int))
{
    struct sigaction act {};
    act.sa_handler = handler;
    sigemptyset(&act.sa_mask);
    sigaction(SIGALRM, &act, nullptr);
}

// A window number: digits only, positive (key 0 would create a private
// queue instead of finding one). 0 when the text is no window number.
int window_number(const char* text)
{
    if (!text || *text < '0' || *text > '9') return 0;
    char* end = nullptr;
    errno = 0;
    const long num = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || num <= 0 || num > 0x7FFFFFFFL) return 0;
    return static_cast<int>(num);
}

// Read answers until one with a non-zero status; the last status.
int drain_reply(char* buf)
{
    int status;
    do {
        status = MQ_get(link_queue, link_conn, buf);
    } while (status == 0);
    return status;
}

// Step 3 and 4 of the exchange for one entry: the answers to its query.
// True when a "set res" went out for it.
bool take_answers(const RES_defobj& entry, int index)
{
    char buf[MQ_TEXT_LEN];
    bool got_value = false;
    int status;
    while ((status = MQ_get(link_queue, link_conn, buf)) == 0) {
        if (buf[0] == '\0' || buf[0] == '!' || buf[0] == '\n') continue;
        // The value line ends with its newline.
        const std::size_t len = std::strlen(buf);
        if (buf[len - 1] == '\n') buf[len - 1] = '\0';
        RES_new(index, entry.def, buf, entry.cvt);
        got_value = true;
    }
    bool sent = false;
    if (!got_value) {
        if (const char* held = RES_get(entry.def)) {
            sent = MQ_put(link_queue, link_conn, "set res %s %s", entry.def, held) == 0;
        }
    }
    if (status == STATUS_NOT_RUNNING) MESS_print(M_WARN, "DIDevuv not running!\n");
    return sent;
}

} // namespace

int MQ_open(int num)
{
    install_handler(MQ_intrp);
    if (num <= 0) {
        errno = ENOENT;
        return -1;
    }
    const int id = msgget(static_cast<key_t>(num + key_offset), 0);
    if (id >= 0) return id;
    return errno == ENOENT ? -1 : -2;
}

int MQ_clear(int queue, int type)
{
    if (type <= 0) return 0;
    mqueuebuf msg;
    while (msgrcv(queue, &msg, MQ_TEXT_LEN, type, IPC_NOWAIT) >= 0) {
    }
    return 0;
}

int MQ_connect(int queue)
{
    MQ_clear(queue, CONNECT_ANSWER);
    if (MQ_put(queue, -1, "%d", static_cast<int>(getuid())) != 0) return -1;
    MQ_enable_alarm();
    char buf[MQ_TEXT_LEN];
    int conn = -1;
    if (MQ_get(queue, CONNECT_ANSWER, buf) == STATUS_GRANTED) {
        char* end = nullptr;
        const long num = std::strtol(buf, &end, 10);
        if (end != buf && num >= FIRST_CONNECTION && num <= LAST_CONNECTION) {
            conn = static_cast<int>(num);
            MQ_clear(queue, conn);
        }
    }
    MQ_disable_alarm();
    return conn;
}

int MQ_put(int queue, int conn, const char* format, ...)
{
    mqueuebuf msg{};
    msg.mtype = TO_WINDOW;
    msg.mtext[0] = static_cast<char>('0' + conn);
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(msg.mtext + 1, sizeof msg.mtext - 1, format, args);
    va_end(args);
    // A command cut to fit would tell the window a different value.
    if (n < 0 || n + 1 > MQ_TEXT_LEN - 1) {
        MESS_print(M_WARN, "MQ_put: command of %d characters longer than %d not sent: %.40s...\n",
                   n + 1, MQ_TEXT_LEN - 1, msg.mtext + 1);
        return -1;
    }
    if (MESS_check(M_DEBUG & M_SUB_D)) MESS_print(M_DEBUG & M_SUB_D, "PUT:%d:%s\n", conn, msg.mtext);
    MQ_enable_alarm();
    const int rc = msgsnd(queue, &msg, MQ_TEXT_LEN, 0);
    MQ_disable_alarm();
    return rc == 0 ? 0 : -1;
}

int MQ_get(int queue, int conn, char* buf)
{
    if (buf) buf[0] = '\0';
    if (conn <= 0 || !buf) return -1;   // type 0 and below would take anyone's messages
    const bool trace = MESS_check(M_DEBUG & M_SUB_D) != 0;
    MQ_enable_alarm();
    mqueuebuf msg{};
    ssize_t got;
    for (int tries = 0;; ++tries) {
        got = msgrcv(queue, &msg, MQ_TEXT_LEN, conn, IPC_NOWAIT);
        const int err = got < 0 ? errno : 0;
        if (trace) MESS_print(M_DEBUG & M_SUB_D, "GET-MSG:%d %d %d %d\n", conn, static_cast<int>(got), err, tries);
        if (tries >= 200) {
            VOK_sleep(1.0);
        } else if (tries >= 2) {
            VOK_sleep(0.1);
        }
        if (got >= 0 || err != ENOMSG) break;
    }
    MQ_disable_alarm();
    if (got < 0) {
        if (trace) MESS_print(M_DEBUG & M_SUB_D, "GET:%s\n", "");
        return -1;
    }
    msg.mtext[got] = '\0';
    if (trace) MESS_print(M_DEBUG & M_SUB_D, "GET:%s\n", msg.mtext);
    if (got == 0) return -'0';
    const std::size_t len = strnlen(msg.mtext + 1, MQ_TEXT_LEN - 1);
    std::memcpy(buf, msg.mtext + 1, len);
    buf[len] = '\0';
    return static_cast<unsigned char>(msg.mtext[0]) - '0';
}

int MQ_enable_alarm()
{
    alarm_says = MESS_check(M_WARN);
    install_handler(MQ_intrp);
    alarm(static_cast<unsigned>(timeout));
    return 0;
}

int MQ_disable_alarm()
{
    alarm(0);
    return 0;
}

void MQ_intrp(int)
{
    // Only what is safe in a signal handler: the program may be inside stdio
    // or malloc when the window stops answering.
    static constexpr char text[] = "Queue not responding!!\n";
    if (alarm_says) {
        const ssize_t w = write(STDERR_FILENO, text, sizeof text - 1);
        (void)w;
    }
    _exit(MQ_EXIT_STATUS);
}

int MQ_set_timeout(int seconds)
{
    timeout = seconds > 0 ? seconds : DEFAULT_TIMEOUT;
    return 0;
}

int MQ_exchange(const char* window, const RES_defobj* table)
{
    if (!window) window = "";
    const int queue = MQ_open(window_number(window));
    if (queue == -1) {
        MESS_print(M_WARN, "DIDevuv window: %.60s not running or no message queue exists\n", window);
        return -1;
    }
    const int conn = queue < 0 ? -1 : MQ_connect(queue);
    if (conn == -1) {
        MESS_print(M_WARN, "DIDevuv window: %.60s unable to connect\n", window);
        return -1;
    }
    link_queue = queue;
    link_conn = conn;

    // All queries go out first, then the answers are read in the same order.
    std::vector<bool> asked;
    for (int i = 0; table && table[i].def; ++i) {
        asked.push_back(table[i].def[0] != '\0' &&
                        MQ_put(queue, conn, "query res %s", table[i].def) == 0);
    }
    int sets = 0;
    for (int i = 0; table && table[i].def; ++i) {
        if (asked[static_cast<std::size_t>(i)] && take_answers(table[i], i)) ++sets;
    }
    signal(SIGALRM, SIG_IGN);
    char buf[MQ_TEXT_LEN];
    for (int i = 0; i < sets; ++i) drain_reply(buf);
    return 0;
}

int MQ_connected()
{
    return link_conn > 0 ? 1 : 0;
}

int MQ_report(const char* name, const char* value)
{
    if (!MQ_connected() || !name) return -1;
    if (MQ_put(link_queue, link_conn, "set res %s %s", name, value ? value : "") != 0) return -1;
    char buf[MQ_TEXT_LEN];
    drain_reply(buf);
    return 0;
}

int MQ_quit()
{
    if (!MQ_connected()) return -1;
    if (MQ_put(link_queue, link_conn, "quit") == 0) {
        char buf[MQ_TEXT_LEN];
        drain_reply(buf);
    }
    link_queue = -1;
    link_conn = -1;
    return 0;
}

void MQ_reset()
{
    alarm(0);
    link_queue = -1;
    link_conn = -1;
    timeout = DEFAULT_TIMEOUT;
    key_offset = 0;
}
