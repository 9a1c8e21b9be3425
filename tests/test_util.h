// Helpers shared by the tests, the fuzz targets and the benchmarks (no test
// framework needed): capture of a standard stream, answers typed on standard
// input, whole-file reads, raw bulletin files read part by part, the real
// feeds of the shared data folder and the decode time that lets their
// reports through.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <stdio_ext.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "vok.h"
#include "vokupa.h"

namespace testutil {

// Everything written to one standard stream between construction and take(),
// caught at the descriptor so that child processes and pipes are seen too.
class Capture {
public:
    explicit Capture(FILE* stream = stdout) : stream_(stream), fd_(fileno(stream))
    {
        std::fflush(stream_);
        saved_ = dup(fd_);
        tmp_ = std::tmpfile();
        dup2(fileno(tmp_), fd_);
    }
    ~Capture() { take(); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::string take()
    {
        if (!tmp_) return text_;
        std::fflush(stream_);
        dup2(saved_, fd_);
        close(saved_);
        std::rewind(tmp_);
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, tmp_)) > 0) text_.append(buf, n);
        std::fclose(tmp_);
        tmp_ = nullptr;
        return text_;
    }

private:
    FILE* stream_;
    int fd_;
    int saved_ = -1;
    FILE* tmp_ = nullptr;
    std::string text_;
};

// A fresh directory /tmp/<prefix>_XXXXXX for one test (or fixture), removed
// with everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& prefix)
    {
        std::string tmpl = "/tmp/" + prefix + "_XXXXXX";
        if (!mkdtemp(tmpl.data())) {
            std::perror(tmpl.c_str());
            std::abort();
        }
        path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Standard input fed from a pipe holding the given answers, then its end.
class StdinFeed {
public:
    explicit StdinFeed(const std::string& text)
    {
        saved_ = dup(0);
        int p[2];
        if (pipe(p) != 0) std::abort();
        if (write(p[1], text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
        close(p[1]);
        __fpurge(stdin);
        dup2(p[0], 0);
        close(p[0]);
        clearerr(stdin);
    }
    ~StdinFeed()
    {
        __fpurge(stdin);
        if (saved_ >= 0) {
            dup2(saved_, 0);
            close(saved_);
        } else {
            close(0);
        }
        clearerr(stdin);
    }
    StdinFeed(const StdinFeed&) = delete;
    StdinFeed& operator=(const StdinFeed&) = delete;

private:
    int saved_ = -1;
};

inline std::string read_file(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline int count_of(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size()))
        ++n;
    return n;
}

// The bytes of a text in hex, as the netCDF readers of the tests print
// text variables; "-" for an empty text.
inline std::string hex_of(std::string_view s)
{
    std::string h;
    char b[3];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02x", c);
        h += b;
    }
    return h.empty() ? "-" : h;
}

// Calls fn(text, id, kind) for every part the reader cuts from fp, in order.
// The reader keeps its current line and a pending part word from one call
// to the next, so the loop runs until UPA_read_raw says -1, never until the
// end of the stream. Returns the number of reader calls before that one;
// -1 as soon as more than max_calls would be needed (a reader that stopped
// taking lines).
template <typename Fn>
long for_each_raw_part(FILE* fp, Fn&& fn, long max_calls = LONG_MAX)
{
    char data[UPA_RAW_DATA_LEN];
    char id[UPA_RAW_ID_LEN];
    int kind = UPA_NO_KIND;
    long calls = 0;
    int rc;
    while ((rc = UPA_read_raw(fp, data, id, &kind)) != -1) {
        if (++calls > max_calls) return -1;
        if (rc == 1) fn(static_cast<const char*>(data), static_cast<const char*>(id), kind);
    }
    return calls;
}

// The same for a named file; false when it cannot be opened.
template <typename Fn>
bool for_each_raw_part(const std::filesystem::path& file, Fn&& fn)
{
    FILE* fp = std::fopen(file.c_str(), "r");
    if (!fp) return false;
    for_each_raw_part(fp, fn);
    std::fclose(fp);
    return true;
}

// A run's standard error without the account every run ends with (its
// lines begin with these words).
inline std::string without_summary(const std::string& err)
{
    static const char* const heads[] = {"Input files read: ", "Parts refused: ", "Parts read only in part",
                                        "Stations written: "};
    std::string out;
    std::istringstream lines(err);
    for (std::string l; std::getline(lines, l);) {
        bool summary = false;
        for (const char* h : heads) summary = summary || l.rfind(h, 0) == 0;
        if (!summary) out += l + '\n';
    }
    return out;
}

// The report kept for a station identifier, set up empty on first use.
inline UPA_report& station_report(std::map<std::string, UPA_report>& reports, const std::string& id)
{
    auto [it, fresh] = reports.try_emplace(id);
    if (fresh) UPA_initialize(&it->second);
    return it->second;
}

// The decode time of the shared feeds, 00 UTC 6 February 2026, with a window
// of twelve hours either side: every report hour passes the time check, so
// the groups behind it are always decoded.
inline void set_feed_window()
{
    Date when{};
    DATE_init(&when);
    when.year = 2026;
    when.month = 2;
    when.day = 6;
    when.hour = 0;
    when.min = 0;
    DATE_reset();
    DATE_set_range(-720, 720);
    DATE_set_datim(&when);
}

#ifdef SONDEX_SHARED_DATA
inline std::filesystem::path bulletin_dir()
{
    return std::filesystem::path(SONDEX_SHARED_DATA) / "bulletins";
}

// The raw feeds of the shared data folder in name order; none when the
// folder is absent.
inline std::vector<std::filesystem::path> bulletin_files()
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(bulletin_dir(), ec))
        if (e.is_regular_file() && e.path().extension() == ".txt") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}
#endif

}  // namespace testutil

namespace testutil {

// The other end of a pseudo-terminal, holding the given answers and then an
// end of input (the terminal's end-of-file character): a program that reads
// it sees a terminal, as a user at the keyboard gives it. Echo is off.
class Terminal {
public:
    explicit Terminal(const std::string& text)
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) std::abort();
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
        if (slave_ < 0) std::abort();
        termios t{};
        tcgetattr(slave_, &t);
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(slave_, TCSANOW, &t);
        const std::string all = text + '\x04';
        if (write(master_, all.data(), all.size()) != static_cast<ssize_t>(all.size())) std::abort();
    }
    ~Terminal()
    {
        close(slave_);
        close(master_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    int fd() const { return slave_; }

private:
    int master_ = -1;
    int slave_ = -1;
};

// Standard input of this process from a Terminal holding the answers.
class TtyFeed {
public:
    explicit TtyFeed(const std::string& text) : tty_(text)
    {
        saved_ = dup(0);
        __fpurge(stdin);
        dup2(tty_.fd(), 0);
        clearerr(stdin);
    }
    ~TtyFeed()
    {
        __fpurge(stdin);
        dup2(saved_, 0);
        close(saved_);
        clearerr(stdin);
    }
    TtyFeed(const TtyFeed&) = delete;
    TtyFeed& operator=(const TtyFeed&) = delete;

private:
    Terminal tty_;
    int saved_ = -1;
};

// One run of a program: its exit status (-1 when it did not exit) and what
// it wrote on its two streams.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// How a program is started: its standard input (the text through a file,
// or a Terminal holding it), standard input and output closed, a limit on
// the size of any file it writes (a full disk).
struct RunOptions {
    std::string input;
    bool at_terminal = false;
    bool close_std = false;
    long fsize_limit = -1;
};

// Runs prog with args and exactly the environment env in directory dir.
// The streams are caught in files under scratch.
inline ProgramRun run_program(const std::string& prog, const std::vector<std::string>& args,
                              const std::vector<std::string>& env, const std::filesystem::path& dir,
                              const std::filesystem::path& scratch, const RunOptions& o = {})
{
    std::vector<std::string> all = {prog};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<std::string> env_copy = env;
    std::vector<char*> argv, envp;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env_copy) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::filesystem::path in = scratch / "stdin", out = scratch / "stdout", err = scratch / "stderr";
    std::ofstream(in, std::ios::binary) << o.input;
    std::optional<Terminal> tty;
    if (o.at_terminal) tty.emplace(o.input);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int fi = tty ? dup(tty->fd()) : open(in.c_str(), O_RDONLY);
        const int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fi, 0);
        dup2(fo, 1);
        dup2(fe, 2);
        close(fi);
        close(fo);
        close(fe);
        if (o.close_std) {
            close(0);
            close(1);
        }
        if (o.fsize_limit >= 0) {
            const rlimit rl{static_cast<rlim_t>(o.fsize_limit), static_cast<rlim_t>(o.fsize_limit)};
            setrlimit(RLIMIT_FSIZE, &rl);
            signal(SIGXFSZ, SIG_IGN);
        }
        if (chdir(dir.c_str()) != 0) _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    ProgramRun r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = read_file(out);
    r.err = read_file(err);
    return r;
}

}  // namespace testutil
