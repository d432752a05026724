#include "AnswerWatch.h"

#include <algorithm>

namespace fbdrv {

namespace {

// How often the watch looks at the call in flight: a call is ended at most
// this much after its limit.
constexpr std::int64_t kLookEveryMs = 200;

}  // namespace

AnswerWatch::AnswerWatch(std::function<void()> closeConnection) : closeConnection_(std::move(closeConnection)) {}

AnswerWatch::~AnswerWatch() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::int64_t AnswerWatch::now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void AnswerWatch::setTimeout(std::chrono::milliseconds timeout) {
    timeoutMs_.store(std::max<std::int64_t>(0, timeout.count()));
    if (timeout.count() > 0) ensureThread();
}

void AnswerWatch::ensureThread() {
    const std::lock_guard lock(mutex_);
    if (!thread_.joinable() && !stopping_) thread_ = std::thread([this] { run(); });
}

void AnswerWatch::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, std::chrono::milliseconds(kLookEveryMs));
        if (stopping_) break;
        lock.unlock();
        closeIfOverdue();
        lock.lock();
    }
}

void AnswerWatch::closeIfOverdue() {
    const std::int64_t started = callStarted_.load();
    const std::int64_t limitMs = callLimitMs_.load();
    if (started == 0 || limitMs <= 0) return;
    if (now() - started < limitMs * 1'000'000) return;
    // The call may have ended, and the next begun, since it was looked at.
    if (callStarted_.load() != started) return;
    closedCall_.store(started);
    closeConnection_();
}

AnswerWatch::Call::Call(AnswerWatch& watch, std::chrono::milliseconds limit)
    : watch_(watch), outermost_(watch.depth_++ == 0) {
    if (!outermost_) return;
    const std::int64_t timeoutMs = watch.timeoutMs_.load();
    limitMs_ = limit.count() > 0 && (timeoutMs == 0 || limit.count() < timeoutMs) ? limit.count() : timeoutMs;
    if (limitMs_ <= 0) return;
    if (limit.count() > 0) {
        try {
            watch.ensureThread();
        } catch (const std::exception&) {
            // No thread to watch with: the call waits as long as the client lets it.
            limitMs_ = 0;
            return;
        }
    }
    started_ = now();
    watch.callLimitMs_.store(limitMs_);
    watch.callStarted_.store(started_);
}

AnswerWatch::Call::~Call() {
    --watch_.depth_;
    if (outermost_ && started_ != 0) watch_.callStarted_.store(0);
}

bool AnswerWatch::Call::closedConnection() const {
    return started_ != 0 && watch_.closedCall_.load() == started_;
}

std::int64_t AnswerWatch::Call::limitSeconds() const { return std::max<std::int64_t>(1, (limitMs_ + 999) / 1000); }

}  // namespace fbdrv
