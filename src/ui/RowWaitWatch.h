// What a write-back's stuck row waits for, kept up to date while it stays
// in flight: the probe asks on a thread of its own, and again every few
// seconds (a lock may end, a server may freeze meanwhile). A question that
// has no answer within the probe's time is an answer too: the server is not
// answering. Never more than one question at a time.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "RowWaitProbe.h"

namespace ui {

class TRowWaitWatch {
public:
    using Clock = std::chrono::steady_clock;

    // probe: null for none; then nothing is ever known.
    explicit TRowWaitWatch(std::shared_ptr<db::TRowWaitProbe> probe);
    // A question still out is ended; its thread finishes on its own within
    // the probe's time.
    ~TRowWaitWatch();

    // For the program's end: waits until every question's thread has
    // ended, at most the longest probe time and a second.
    static void awaitQuestions();
    TRowWaitWatch(const TRowWaitWatch&) = delete;
    TRowWaitWatch& operator=(const TRowWaitWatch&) = delete;

    // Called at each poll of the window's thread with the product of the
    // row to watch, or nothing (no row stuck, or stopping) to forget what
    // was known. The latest answer about that row, once there is one.
    std::optional<db::RowWait> look(const std::optional<std::string>& productId, Clock::time_point now);

private:
    struct Question;
    void ask(Clock::time_point now);
    void collect(Clock::time_point now);

    std::shared_ptr<db::TRowWaitProbe> probe_;
    std::shared_ptr<Question> question_;  // the one out, if any
    std::string productId_;
    std::optional<db::RowWait> known_;
    Clock::time_point answeredAt_;
};

}  // namespace ui
