#include "WriteBackRunner.h"

#include <QPointer>
#include <atomic>
#include <exception>
#include <mutex>
#include <optional>

#include "Big5Text.h"
#include "RowWaitWatch.h"
#include "ScopeGuard.h"
#include "TerminationSignals.h"
#include "WorkerLoop.h"
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
    // Rows whose UPDATE answered.
    std::size_t done = 0;
    std::size_t total = 0;
    std::optional<batch::PriceRow> rowInFlight;
    batch::WriteBackPhase phase = batch::WriteBackPhase::ReadingPrices;
    // A read or a row's UPDATE is on its way, which Cancel may interrupt.
    bool interruptible = true;
    // When the worker's current call began: the run, each phase, each row.
    Clock::time_point callStarted;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> finished{false};

    // Filled once the worker has ended.
    bool oneTransaction = false;
    std::size_t written = 0;
    std::optional<batch::RowsInDoubt> doubt;

    // The window's thread's own.
    bool cancelled = false;
    bool timedOut = false;
    int signal = 0;
    // The call the interruption was asked for, and when.
    std::optional<Clock::time_point> raisedFor;
    Clock::time_point raisedAt;
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
                           batch::WriteBackSteps steps, const std::function<db::TConnectionInterrupt()>& connect) {
    State& state = *state_;
    state.started = state.callStarted = Clock::now();
    state.oneTransaction = writeBack.oneTransaction();
    state.rowWait = std::make_unique<TRowWaitWatch>(probe_);
    for (rows.first(); !rows.eof(); rows.next()) ++state.total;
    steps.rowStarting = [&state](const batch::PriceRow& row) {
        const std::lock_guard lock(state.mutex);
        state.rowInFlight = row;
        state.interruptible = true;
        state.callStarted = Clock::now();
    };
    steps.progress = [&state](std::size_t done, std::size_t total) {
        const std::lock_guard lock(state.mutex);
        state.done = done;
        if (total != 0) state.total = total;
        state.rowInFlight.reset();
        state.interruptible = false;
        state.callStarted = Clock::now();
    };
    steps.phase = [&state, callersPhase = std::move(steps.phase)](batch::WriteBackPhase phase) {
        {
            // Taken under the lock the window's thread holds while it
            // interrupts: no interruption meant for a read or a row reaches
            // the commit that follows.
            const std::lock_guard lock(state.mutex);
            state.phase = phase;
            // The look at rows in doubt runs on a connection of its own,
            // bounded by its own times: nothing of this one is on its way.
            state.interruptible = phase == batch::WriteBackPhase::ReadingPrices;
            state.callStarted = Clock::now();
        }
        if (callersPhase) callersPhase(phase);
    };
    steps.stopRequested = [&state] { return state.stopRequested.load(); };

    const ui::SignalInterception interception([this](int signal) {
        if (state_->signal == 0) state_->signal = signal;
        cancel();
    });
    const std::exception_ptr failure = runBesideEventLoop(
        [&] {
            const rt::ScopeGuard finished([&state] { state.finished = true; });
            if (connect) {
                db::TConnectionInterrupt interrupt = connect();
                const std::lock_guard lock(state.mutex);
                interrupt_ = std::move(interrupt);
            }
            writeBack.run(rows, steps);
        },
        kPollInterval, [this] { tick(); }, [&state] { return bool(state.dialog); });
    {
        const std::lock_guard lock(state.mutex);
        state.written = writeBack.written();
        state.doubt = writeBack.inDoubt();
    }
    state.rowWait.reset();
    if (state.dialog) state.dialog->finish();
    delete state.dialog.data();
    if (failure) std::rethrow_exception(failure);
}

void TWriteBackRunner::tick() {
    State& state = *state_;
    if (state.finished) return;
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
    if (state.aborted) return;
    // Held while interrupting, so that the worker cannot move on to a
    // commit between the look and the interruption.
    const std::lock_guard lock(state.mutex);
    const Clock::duration callAge = now - state.callStarted;
    // Only a row's UPDATE is one statement awaiting one answer; the
    // journal's reads before the first row are many, and a large batch's
    // may well take longer than the timeout on a healthy server.
    if (!state.cancelled && state.rowInFlight && state.interruptible && callAge >= times_.answerTimeout) {
        state.timedOut = true;
        cancel();
        interrupt_.abort();
        state.aborted = true;
        return;
    }
    // Between rows, on the disk or in a commit, Cancel waits for the next
    // boundary or the commit's answer.
    if (!state.cancelled || !state.interruptible) return;
    if (state.raisedFor != state.callStarted) {
        if (callAge < times_.raiseAfter) return;
        interrupt_.cancel();
        state.raisedFor = state.callStarted;
        state.raisedAt = now;
    } else if (now - state.raisedAt >= times_.abortAfter) {
        interrupt_.abort();
        state.aborted = true;
    }
}

void TWriteBackRunner::updateDialog(Clock::time_point now) {
    State& state = *state_;
    if (!state.dialog) return;
    std::size_t done = 0;
    std::size_t total = 0;
    std::optional<batch::PriceRow> row;
    Clock::time_point callStarted;
    batch::WriteBackPhase phase{};
    bool interruptible = false;
    {
        const std::lock_guard lock(state.mutex);
        done = state.done;
        total = state.total;
        row = state.rowInFlight;
        callStarted = state.callStarted;
        phase = state.phase;
        interruptible = state.interruptible;
    }
    const bool committing = phase == batch::WriteBackPhase::Committing;
    const QString product = row ? big5::toUnicode(batch::productLabel(*row)) : QString();
    if (state.oneTransaction)
        state.dialog->showSent(done, total, product);
    else
        state.dialog->showProgress(done, total, product);
    const bool watched = row && !state.cancelled && now - callStarted >= times_.probeAfter;
    const std::optional<db::RowWait> wait =
        state.rowWait->look(watched ? std::optional<std::string>(row->productId) : std::nullopt, now);
    const bool waiting = now - callStarted >= times_.waitingAfter;
    // A commit is waited for even after Cancel: the operator sees on what.
    if (committing && waiting) return state.dialog->showWaiting(QString::fromUtf8("等候伺服器回應：整批價格的寫入"));
    if (phase == batch::WriteBackPhase::CheckingDoubt && waiting)
        return state.dialog->showWaiting(QString::fromUtf8("等候伺服器回應：查明資料庫中的價格"));
    if (state.cancelled) return;
    if (waiting && interruptible)
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
    const State& state = *state_;
    const std::lock_guard lock(state.mutex);
    batch::WriteBackEnd end{state.written, state.total, state.rowInFlight, false, state.oneTransaction,
                            state.doubt.has_value()};
    // Row by row, a row in flight found written once looked at again is
    // no longer where it stopped.
    if (!state.oneTransaction && end.rowInFlight && !end.inDoubt && state.written > state.done) end.rowInFlight.reset();
    return end;
}

const std::optional<batch::RowsInDoubt>& TWriteBackRunner::rowsInDoubt() const { return state_->doubt; }

}  // namespace ui
