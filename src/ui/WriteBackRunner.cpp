#include "WriteBackRunner.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "Big5Text.h"
#include "RowWaitWatch.h"
#include "ScopeGuard.h"
#include "TerminationSignals.h"
#include "WriteBackDialog.h"

namespace ui {

namespace {

using Clock = std::chrono::steady_clock;

// Often enough that the dialog follows the rows and a stuck row is noticed
// early; rarely enough that the window's thread costs the worker nothing.
constexpr std::chrono::milliseconds kPollInterval{50};

}  // namespace

// What the worker and the window's thread share; the worker writes, the
// window's thread reads at each poll.
struct TWriteBackRunner::State {
    mutable std::mutex mutex;
    std::size_t written = 0;
    std::size_t total = 0;
    std::optional<batch::PriceRow> rowInFlight;
    // When the worker's current call began: the run, then each row. The
    // journal's reads before the first row are waited on like a row.
    Clock::time_point rowStarted;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> done{false};

    // The window's thread's own.
    bool cancelled = false;
    bool timedOut = false;
    int signal = 0;
    std::optional<Clock::time_point> raisedAt;
    bool aborted = false;
    std::unique_ptr<TRowWaitWatch> rowWait;
    QPointer<TWriteBackDialog> dialog;
    Clock::time_point started;
};

TWriteBackRunner::TWriteBackRunner(QWidget* window, db::TConnectionInterrupt interrupt, WriteBackTimes times,
                                   std::shared_ptr<db::TRowWaitProbe> probe)
    : window_(window),
      interrupt_(std::move(interrupt)),
      times_(times),
      state_(std::make_shared<State>()),
      probe_(std::move(probe)) {}

TWriteBackRunner::~TWriteBackRunner() = default;

void TWriteBackRunner::run(batch::TPriceWriteBack& writeBack, batch::TPriceRows& rows,
                           batch::WriteBackSteps steps) {
    State& state = *state_;
    state.started = state.rowStarted = Clock::now();
    state.rowWait = std::make_unique<TRowWaitWatch>(probe_);
    for (rows.first(); !rows.eof(); rows.next()) ++state.total;
    steps.rowStarting = [&state](const batch::PriceRow& row) {
        const std::lock_guard lock(state.mutex);
        state.rowInFlight = row;
        state.rowStarted = Clock::now();
    };
    steps.progress = [&state](std::size_t written, std::size_t total) {
        const std::lock_guard lock(state.mutex);
        state.written = written;
        if (total != 0) state.total = total;
        state.rowInFlight.reset();
        state.rowStarted = Clock::now();
    };
    steps.stopRequested = [&state] { return state.stopRequested.load(); };

    const ui::SignalInterception interception([this](int signal) {
        if (state_->signal == 0) state_->signal = signal;
        cancel();
    });
    std::exception_ptr failure;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            writeBack.run(rows, steps);
        } catch (...) {
            failure = std::current_exception();
        }
        state.done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // The worker uses this frame's objects: it ends before they go, however
    // the window's side ends.
    const rt::ScopeGuard joinWorker([&worker] {
        if (worker.joinable()) worker.join();
    });
    QTimer poll;
    poll.setInterval(kPollInterval);
    QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        const bool hadDialog = state_->dialog;
        tick();
        // Once the dialog keeps the window's handlers out, the loop starts
        // again taking every event.
        if (state_->done || (!hadDialog && state_->dialog)) loop.quit();
    });
    poll.start();
    // Until the dialog shows, the operator's clicks and keys wait, as they
    // did while the write-back held the window; the window still repaints.
    QEventLoop::ProcessEventsFlags flags = QEventLoop::ExcludeUserInputEvents;
    while (!state.done) {
        loop.exec(state.dialog ? QEventLoop::AllEvents : flags);
    }
    worker.join();
    poll.stop();
    state.rowWait.reset();
    if (state.dialog) state.dialog->finish();
    delete state.dialog.data();
    if (failure) std::rethrow_exception(failure);
}

void TWriteBackRunner::tick() {
    State& state = *state_;
    if (state.done) return;
    const Clock::time_point now = Clock::now();
    escalateStuckRow(now);
    if (!state.dialog && now - state.started >= times_.showAfter) {
        state.dialog = new TWriteBackDialog(window_);
        QObject::connect(state.dialog, &TWriteBackDialog::cancelRequested, [this] { cancel(); });
        if (state.cancelled) state.dialog->showStopping();
        state.dialog->show();
    }
    updateDialog(now);
}

void TWriteBackRunner::escalateStuckRow(Clock::time_point now) {
    State& state = *state_;
    Clock::duration rowAge{};
    bool updating = false;
    {
        const std::lock_guard lock(state.mutex);
        rowAge = now - state.rowStarted;
        updating = state.rowInFlight.has_value();
    }
    if (state.aborted) return;
    // Only a row's UPDATE is one statement awaiting one answer; the
    // journal's reads before the first row are many, and a large batch's
    // may well take longer than the timeout on a healthy server.
    if (!state.cancelled && updating && rowAge >= times_.answerTimeout) {
        state.timedOut = true;
        cancel();
        interrupt_.abort();
        state.aborted = true;
        return;
    }
    if (!state.cancelled) return;
    if (!state.raisedAt && rowAge >= times_.raiseAfter) {
        interrupt_.cancel();
        state.raisedAt = now;
    } else if (state.raisedAt && now - *state.raisedAt >= times_.abortAfter) {
        interrupt_.abort();
        state.aborted = true;
    }
}

void TWriteBackRunner::updateDialog(Clock::time_point now) {
    State& state = *state_;
    if (!state.dialog) return;
    std::size_t written = 0;
    std::size_t total = 0;
    std::optional<batch::PriceRow> row;
    Clock::time_point rowStarted;
    {
        const std::lock_guard lock(state.mutex);
        written = state.written;
        total = state.total;
        row = state.rowInFlight;
        rowStarted = state.rowStarted;
    }
    const QString product = row ? big5::toUnicode(batch::productLabel(*row)) : QString();
    state.dialog->showProgress(written, total, product);
    const bool watched = row && !state.cancelled && now - rowStarted >= times_.probeAfter;
    const std::optional<db::RowWait> wait =
        state.rowWait->look(watched ? std::optional<std::string>(row->productId) : std::nullopt, now);
    if (state.cancelled) return;
    if (now - rowStarted >= times_.waitingAfter)
        state.dialog->showWaiting(waitingText(wait) + product);
    else
        state.dialog->showWaiting(QString());
}

QString TWriteBackRunner::waitingText(std::optional<db::RowWait> wait) {
    if (!wait) return QString::fromUtf8("等候伺服器回應或被鎖定的資料列：");
    return *wait == db::RowWait::LockedRow ? QString::fromUtf8("等候被鎖定的資料列：")
                                              : QString::fromUtf8("等候伺服器回應：");
}

void TWriteBackRunner::cancel() {
    State& state = *state_;
    if (state.cancelled) return;
    state.cancelled = true;
    state.stopRequested = true;
    if (state.dialog) state.dialog->showStopping();
}

bool TWriteBackRunner::cancelled() const { return state_->cancelled; }
bool TWriteBackRunner::timedOut() const { return state_->timedOut; }
int TWriteBackRunner::stoppingSignal() const { return state_->signal; }

batch::WriteBackEnd TWriteBackRunner::end() const {
    const std::lock_guard lock(state_->mutex);
    return {state_->written, state_->total, state_->rowInFlight, false};
}

}  // namespace ui
