// Tests of the loop-window link against a peer that plays the window: a
// thread owning a real System V message queue under a key found free at test
// time. It grants connections, answers "query res", "set res" and "quit",
// and records every command it received. Its queue is removed when the peer
// goes out of scope, whatever the test's outcome.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include "test_util.h"
#include "vok.h"
#include "vokresrc.h"

namespace fs = std::filesystem;
using testutil::Capture;
using testutil::count_of;

namespace {

struct peer_msg {
    long mtype;
    char mtext[MQ_TEXT_LEN + 4];
};

enum class PeerMode {
    answer,          // as a window does
    not_running,     // every reply ends with the '-' status
    garbage,         // over-long, unterminated and binary answers
    silent,          // grants the connection, then never answers
    wrong_type,      // answers under a type nobody reads
};

constexpr int CONN = 5;

class LoopPeer {
public:
    explicit LoopPeer(PeerMode mode = PeerMode::answer, std::string grant = "2" + std::to_string(CONN))
        : mode_(mode), grant_(std::move(grant))
    {
        for (int k = 0x5D000000 + (getpid() & 0xFFFF) * 64;; ++k) {
            id_ = msgget(k, IPC_CREAT | IPC_EXCL | 0600);
            if (id_ >= 0) {
                key_ = k;
                break;
            }
            if (errno != EEXIST) break;
        }
        if (id_ >= 0) thread_ = std::thread([this] { run(); });
    }
    ~LoopPeer()
    {
        if (id_ >= 0) msgctl(id_, IPC_RMID, nullptr);
        if (thread_.joinable()) thread_.join();
    }
    LoopPeer(const LoopPeer&) = delete;
    LoopPeer& operator=(const LoopPeer&) = delete;

    bool ok() const { return id_ >= 0; }
    std::string window() const { return "#" + std::to_string(key_); }
    std::string key() const { return std::to_string(key_); }
    void hold(const std::string& name, const std::string& value)
    {
        std::lock_guard lock(mu_);
        values_[name] = value;
    }
    std::vector<std::string> received()
    {
        std::lock_guard lock(mu_);
        return received_;
    }
    std::string held(const std::string& name)
    {
        std::lock_guard lock(mu_);
        auto it = values_.find(name);
        return it == values_.end() ? "<none>" : it->second;
    }

private:
    void send(long type, const std::string& text)
    {
        peer_msg m{};
        m.mtype = type;
        std::memcpy(m.mtext, text.data(), std::min<std::size_t>(text.size(), MQ_TEXT_LEN));
        msgsnd(id_, &m, MQ_TEXT_LEN, 0);
    }
    void run()
    {
        peer_msg m;
        for (;;) {
            const ssize_t n = msgrcv(id_, &m, MQ_TEXT_LEN, 1, 0);
            if (n < 0) {
                if (errno == EINTR) continue;
                return;   // queue removed
            }
            m.mtext[n] = '\0';
            handle(m.mtext);
        }
    }
    void handle(const char* text)
    {
        std::lock_guard lock(mu_);
        if (text[0] == '/') {
            received_.push_back(std::string("connect ") + (text + 1));
            send(2, grant_);
            return;
        }
        const std::string cmd = text + 1;
        received_.push_back(cmd);
        if (mode_ == PeerMode::silent) return;
        const long type = mode_ == PeerMode::wrong_type ? 99 : CONN;
        const std::string end = mode_ == PeerMode::not_running ? "-" : "1";
        if (cmd.rfind("query res ", 0) == 0) {
            if (mode_ == PeerMode::garbage) {
                send(type, "0" + std::string(MQ_TEXT_LEN - 1, 'g'));   // no newline, no end
                send(type, "0!ignored\n");
                send(type, "0\n");
                send(type, std::string("\xff\x01junk", 6));
                return;
            }
            auto it = values_.find(cmd.substr(10));
            if (it != values_.end()) send(type, "0" + it->second + "\n");
            send(type, end);
        } else if (cmd.rfind("set res ", 0) == 0) {
            const std::string rest = cmd.substr(8);
            const std::size_t sp = rest.find(' ');
            values_[rest.substr(0, sp)] = sp == std::string::npos ? "" : rest.substr(sp + 1);
            send(type, end);
        } else {
            send(type, end);
        }
    }

    PeerMode mode_;
    std::string grant_;
    int id_ = -1;
    int key_ = 0;
    std::thread thread_;
    std::mutex mu_;
    std::map<std::string, std::string> values_;
    std::vector<std::string> received_;
};

// A program with a short list: fewer queries per exchange.
const int keys[] = {RES_help,       RES_batch,     RES_message, RES_file_path, RES_data_path,
                    RES_identifier, RES_parameter, RES_null};
const int positional[] = {RES_filenames, RES_null};

std::string get(const char* name)
{
    const char* v = RES_get(name);
    return v ? v : "<unset>";
}

std::string uid_line()
{
    return "connect " + std::to_string(getuid());
}

std::vector<std::string> queries()
{
    return {"query res help",       "query res batch",      "query res message",
            "query res file_path",  "query res data_path",  "query res identifier",
            "query res parameter",  "query res filename"};
}

// A key under which no queue exists.
std::string free_key()
{
    for (int k = 0x5E000000 + (getpid() & 0xFFFF) * 64;; ++k) {
        if (msgget(k, 0) < 0 && errno == ENOENT) return std::to_string(k);
    }
}

int queues_on_system()
{
    std::ifstream in("/proc/sysvipc/msg");
    std::string line;
    int n = -1;   // the heading
    while (std::getline(in, line)) ++n;
    return n;
}

class Mqueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset();
    }
    void TearDown() override { reset(); }
    static void reset()
    {
        RES_clear();
        DEF_reset();
        MESS_reset();
        FLAG_clear();
        MQ_reset();
        unsetenv("vokparam");
    }
    std::string file(const std::string& name, const std::string& text)
    {
        const fs::path p = dir_ / name;
        std::ofstream(p) << text;
        return p.string();
    }
    void init(std::vector<std::string> args)
    {
        args_ = std::move(args);
        args_.insert(args_.begin(), "sondex");
        argv_.clear();
        for (auto& a : args_) argv_.push_back(a.data());
        argv_.push_back(nullptr);
        RES_init(static_cast<int>(args_.size()), argv_.data(), keys, positional);
    }

    testutil::TempDir tmp_{"mqueue"};
    fs::path dir_ = tmp_.path();
    std::vector<std::string> args_;
    std::vector<char*> argv_;
};

} // namespace

TEST_F(Mqueue, ExchangeTakesQueriedValuesSendsTheRestAndSaysGoodbye)
{
    LoopPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.hold("message", "warn");
    peer.hold("identifier", "72469");
    peer.hold("parameter", "!not a value");
    const std::string before = file("before", "sondex.identifier 111\nsondex.file_path /x\n"
                                              "sondex.data_path early\n");
    const std::string after = file("after", "sondex.data_path late\n");
    setenv("vokparam", "range=-30:45", 1);
    init({"-df", before + ":" + peer.window() + ":" + after, "-me", "debug", "-ba", "file1", "-xyz", "1"});

    EXPECT_EQ(get("message"), "debug");
    EXPECT_EQ(get("identifier"), "72469");   // the window over the file before it
    EXPECT_EQ(get("data_path"), "late");     // the file after it over both
    EXPECT_EQ(get("file_path"), "/x");
    EXPECT_EQ(get("parameter"), "range=-30:45");
    EXPECT_EQ(get("filename"), "file1");
    EXPECT_EQ(MESS_get_level(), 0xFFFFFFFFu);

    std::vector<std::string> want = {uid_line()};
    for (const auto& q : queries()) want.push_back(q);
    // Values held from elsewhere go to the window in table order, then the
    // command-line settings; environment, free and positional values do not.
    want.insert(want.end(), {"set res file_path /x", "set res data_path early",
                             "set res message debug", "set res batch ", "quit"});
    EXPECT_EQ(peer.received(), want);
    EXPECT_EQ(peer.held("message"), "debug");
    EXPECT_EQ(MQ_connected(), 0);
}

TEST_F(Mqueue, NoQueueIsReportedOnceAndDecodingGoesOn)
{
    const std::string key = free_key();
    const std::string defaults = file("d", "sondex.identifier 111\n");
    const int queues = queues_on_system();
    Capture err(stderr);
    init({"-df", defaults + ":#" + key + ":#0:#abc", "-id", "222", "-fp", "p"});
    EXPECT_EQ(err.take(), "DIDevuv window: " + key + " not running or no message queue exists\n"
                          "DIDevuv window: 0 not running or no message queue exists\n"
                          "DIDevuv window: abc not running or no message queue exists\n");
    EXPECT_EQ(get("identifier"), "222");
    EXPECT_EQ(get("file_path"), "p");
    // Window 0 is no window: no private queue was made for it.
    EXPECT_EQ(queues_on_system(), queues);
}

TEST_F(Mqueue, RefusedOrGarbledConnections)
{
    for (const std::string& grant : std::vector<std::string>{"1", "21", "2", "2abc", "20", "2-5", std::string(MQ_TEXT_LEN, '2')}) {
        LoopPeer peer(PeerMode::answer, grant);
        ASSERT_TRUE(peer.ok());
        Capture err(stderr);
        init({"-df", peer.window(), "-id", "1"});
        EXPECT_EQ(err.take(), "DIDevuv window: " + peer.key() + " unable to connect\n") << grant;
        EXPECT_EQ(peer.received(), std::vector<std::string>{uid_line()}) << grant;
        EXPECT_EQ(get("identifier"), "1");
        reset();
    }
}

TEST_F(Mqueue, NotRunningStatusIsReported)
{
    LoopPeer peer(PeerMode::not_running);
    ASSERT_TRUE(peer.ok());
    Capture err(stderr);
    init({"-df", peer.window()});
    EXPECT_EQ(count_of(err.take(), "DIDevuv not running!\n"), 8);
}

TEST_F(Mqueue, CommandsTooLongForTheWindowAreSkipped)
{
    LoopPeer peer;
    ASSERT_TRUE(peer.ok());
    // With the connection character, "set res identifier " leaves room for
    // 99 characters of value, "set res file_path " for 100.
    const std::string fits(99, 'f');
    const std::string too_long(101, 't');
    const std::string defaults = file("d", "sondex.file_path " + too_long + "\nsondex.identifier " + fits + "\n");
    Capture err(stderr);
    init({"-df", defaults + ":" + peer.window(), "-pa", std::string(10000, 'p'), "-dp", "d"});
    const std::string said = err.take();
    EXPECT_EQ(count_of(said, "MQ_put: command of 120 characters longer than 119 not sent: set res file_path ttt"), 1);
    EXPECT_EQ(count_of(said, "MQ_put: command of 10019 characters longer than 119 not sent: set res parameter ppp"), 1);
    std::vector<std::string> want = {uid_line()};
    for (const auto& q : queries()) want.push_back(q);
    want.insert(want.end(), {"set res identifier " + fits, "set res data_path d", "quit"});
    EXPECT_EQ(peer.received(), want);
    // Locally every value stands as given.
    EXPECT_EQ(get("file_path"), too_long);
    EXPECT_EQ(get("parameter"), std::string(10000, 'p'));
}

TEST_F(Mqueue, GarbageAnswersStayInBounds)
{
    LoopPeer peer(PeerMode::garbage);
    ASSERT_TRUE(peer.ok());
    init({"-df", peer.window(), "-id", "72469"});
    // The payload of a full text without newline is taken whole and bounded.
    EXPECT_EQ(get("file_path"), std::string(MQ_TEXT_LEN - 1, 'g'));
    EXPECT_EQ(get("identifier"), "72469");
    EXPECT_EQ(peer.received().back(), "quit");
}

using MqueueDeathTest = Mqueue;

TEST_F(MqueueDeathTest, AWindowThatStopsAnsweringEndsTheProgram)
{
    // The peer thread lives in this process and keeps serving the forked
    // child; the queue is removed here when the peer goes.
    GTEST_FLAG_SET(death_test_style, "fast");
    for (PeerMode mode : {PeerMode::silent, PeerMode::wrong_type}) {
        LoopPeer peer(mode);
        ASSERT_TRUE(peer.ok());
        MQ_set_timeout(1);
        EXPECT_EXIT(init({"-df", peer.window()}), ::testing::ExitedWithCode(MQ_EXIT_STATUS),
                    "^Queue not responding!!\n$");
        MQ_reset();
    }
}
