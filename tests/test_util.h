// Helpers shared by the tests: capture of a standard stream, answers typed
// on standard input, whole-file reads.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <stdio_ext.h>
#include <unistd.h>

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

}  // namespace testutil
