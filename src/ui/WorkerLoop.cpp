#include "WorkerLoop.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>

#include "ScopeGuard.h"

namespace ui {

std::exception_ptr runBesideEventLoop(const std::function<void()>& work, std::chrono::milliseconds interval,
                                      const std::function<void()>& tick,
                                      const std::function<bool()>& takesUserInput) {
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // The worker uses this frame's objects: it ends before they go, however
    // the window's side ends.
    const rt::ScopeGuard joinWorker([&worker] {
        if (worker.joinable()) worker.join();
    });
    QTimer poll;
    poll.setInterval(interval);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const bool tookInput = takesUserInput();
        tick();
        // Once the user's input is taken, the loop starts again taking it.
        if (done || tookInput != takesUserInput()) loop.quit();
    });
    poll.start();
    while (!done) loop.exec(takesUserInput() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    worker.join();
    poll.stop();
    return failure;
}

}  // namespace ui
