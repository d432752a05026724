// Database work on a thread of its own while the window's thread turns an
// event loop: the window repaints, and a dialog shown meanwhile answers its
// keys and clicks. The write-back, the reads and the store push all wait
// for their work this way.
#pragma once

#include <chrono>
#include <exception>
#include <functional>

namespace ui {

// Runs work on a worker thread and returns once it has ended, with what it
// threw (nothing when it ended well). Every interval, tick runs on the
// window's thread. While takesUserInput answers false, the operator's clicks
// and keys wait, as they do while a handler holds the window; once it
// answers true (a dialog keeps the window's handlers out), every event is
// taken.
std::exception_ptr runBesideEventLoop(const std::function<void()>& work, std::chrono::milliseconds interval,
                                      const std::function<void()>& tick,
                                      const std::function<bool()>& takesUserInput);

}  // namespace ui
