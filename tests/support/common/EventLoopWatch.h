// The longest time the event loop went without a turn while the watch
// lived, from a timer that asks for a turn every interval: a measure of how
// long the window was frozen. The tests and the benchmarks share it.
#pragma once

#include <QTimer>
#include <algorithm>
#include <chrono>

namespace testsupport {

class EventLoopWatch {
public:
    using Clock = std::chrono::steady_clock;

    explicit EventLoopWatch(std::chrono::milliseconds interval = std::chrono::milliseconds(10)) {
        timer_.setInterval(interval);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        last_ = Clock::now();
        timer_.start();
    }
    // Forgets what it saw: the watch starts again now.
    void restart() {
        longest_ = {};
        last_ = Clock::now();
    }
    // Up to now, the stretch since the last turn included.
    Clock::duration longest() const { return std::max(longest_, Clock::now() - last_); }

private:
    QTimer timer_;
    Clock::time_point last_;
    Clock::duration longest_{};
};

}  // namespace testsupport
