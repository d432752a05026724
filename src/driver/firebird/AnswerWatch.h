// A call that waits on the server longer than the connection's answer
// timeout is ended by closing the connection on the client side. The
// thread that made the call is the one blocked, so the watch runs a thread
// of its own. Without it a paused server or a cut network holds the caller
// until the kernel's keepalive gives up, hours later.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace fbdrv {

class AnswerWatch {
public:
    using Clock = std::chrono::steady_clock;

    // closeConnection is called from the watch's thread and must be safe
    // there while another thread waits inside the client library.
    explicit AnswerWatch(std::function<void()> closeConnection);
    ~AnswerWatch();
    AnswerWatch(const AnswerWatch&) = delete;
    AnswerWatch& operator=(const AnswerWatch&) = delete;

    // Zero turns the watch off.
    void setTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds timeout() const { return std::chrono::milliseconds(timeoutMs_.load()); }

    // One call to the server, from its start to its end. Calls of one
    // connection come from one thread at a time; a call made inside another
    // is part of it. A shorter limit than the timeout may be asked for (a
    // check that must answer at once); zero keeps the timeout.
    class Call {
    public:
        Call(AnswerWatch& watch, std::chrono::milliseconds limit);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
        // Whether the watch closed the connection while this call waited.
        bool closedConnection() const;
        // The limit that ran out, in whole seconds (at least 1).
        std::int64_t limitSeconds() const;

    private:
        AnswerWatch& watch_;
        bool outermost_;
        std::int64_t started_ = 0;
        std::int64_t limitMs_ = 0;
    };
    Call call(std::chrono::milliseconds limit = std::chrono::milliseconds(0)) { return Call(*this, limit); }

private:
    // Nanoseconds of the steady clock: a call's start tells it apart from
    // every other call of the connection.
    static std::int64_t now();
    void ensureThread();
    void run();
    void closeIfOverdue();

    std::function<void()> closeConnection_;
    std::atomic<std::int64_t> timeoutMs_{0};
    // The call in flight: when it started (0 when none) and its limit.
    std::atomic<std::int64_t> callStarted_{0};
    std::atomic<std::int64_t> callLimitMs_{0};
    // The start of the call the watch ended, so that the call can tell.
    std::atomic<std::int64_t> closedCall_{0};
    int depth_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace fbdrv
