#include "AnswerDeadline.h"

namespace ui {

TAnswerDeadline::TAnswerDeadline(dl::DriverRef<dl::IDriverConnection> connection, std::chrono::milliseconds within)
    : connection_(std::move(connection)) {
    if (connection_) watcher_ = std::thread([this, within] { watch(within); });
}

TAnswerDeadline::~TAnswerDeadline() {
    {
        const std::lock_guard lock(mutex_);
        done_ = true;
    }
    returned_.notify_all();
    if (watcher_.joinable()) watcher_.join();
}

void TAnswerDeadline::watch(std::chrono::milliseconds within) {
    std::unique_lock lock(mutex_);
    if (returned_.wait_for(lock, within, [this] { return done_; })) return;
    lock.unlock();
    connection_->control(dl::control::CancelAbort);
}

}  // namespace ui
