// A call on the window's thread that must not wait for a server forever:
// when it has not returned by the deadline, the connection it runs on is
// closed from another thread (the driver's abort), which ends the call as a
// lost connection. For calls after which nothing is lost by that: no
// statement of the operator's is in flight.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "DriverInterface.h"

namespace ui {

class TAnswerDeadline {
public:
    // connection: null for none (nothing is watched).
    TAnswerDeadline(dl::DriverRef<dl::IDriverConnection> connection, std::chrono::milliseconds within);
    // The call has returned: the watch ends.
    ~TAnswerDeadline();
    TAnswerDeadline(const TAnswerDeadline&) = delete;
    TAnswerDeadline& operator=(const TAnswerDeadline&) = delete;

private:
    void watch(std::chrono::milliseconds within);

    dl::DriverRef<dl::IDriverConnection> connection_;
    std::mutex mutex_;
    std::condition_variable returned_;
    bool done_ = false;
    std::thread watcher_;
};

}  // namespace ui
