#include "DatabaseReadRunner.h"

#include <QPointer>
#include <atomic>
#include <exception>
#include <optional>

#include "ConnectionInterrupt.h"
#include "ReadAgain.h"
#include "ScopeGuard.h"
#include "TDataLinkConnection.h"
#include "TerminationSignals.h"
#include "WorkerLoop.h"
#include "WriteBackDialog.h"

namespace ui {

namespace {

using Clock = std::chrono::steady_clock;

// Often enough that the dialog comes on time and Cancel's escalation is
// punctual; rarely enough that the window's thread costs the read nothing.
constexpr std::chrono::milliseconds kPollInterval{50};

}  // namespace

struct TDatabaseReadRunner::State {
    // Set on the window's thread, read by the worker's reads.
    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false};

    // The window's thread's own.
    QString what;
    QString detail;
    Clock::time_point started;
    std::optional<Clock::time_point> cancelledAt;
    bool aborted = false;
    int signal = 0;
    QPointer<TWriteBackDialog> dialog;
};

TDatabaseReadRunner::TDatabaseReadRunner(QWidget* window, const db::TDataLinkConnection& connection, ReadTimes times)
    : window_(window), connection_(connection), times_(times), state_(std::make_unique<State>()) {}

TDatabaseReadRunner::~TDatabaseReadRunner() = default;

bool TDatabaseReadRunner::run(const QString& what, const QString& detail, const std::function<void()>& read) {
    State& state = *state_;
    state.what = what;
    state.detail = detail;
    state.started = Clock::now();

    const ui::SignalInterception interception([this](int signal) {
        if (state_->signal == 0) state_->signal = signal;
        cancel();
    });
    const std::exception_ptr failure = runBesideEventLoop(
        [&] {
            const rt::ScopeGuard done([&state] { state.done = true; });
            const db::TReadCancellation cancellation(state.cancelled);
            read();
        },
        kPollInterval, [this] { tick(); }, [&state] { return bool(state.dialog); });
    if (state.dialog) state.dialog->finish();
    delete state.dialog.data();
    if (state.cancelled) return false;
    if (failure) std::rethrow_exception(failure);
    return true;
}

void TDatabaseReadRunner::tick() {
    State& state = *state_;
    if (state.done) return;
    const Clock::time_point now = Clock::now();
    if (state.cancelledAt && !state.aborted && now - *state.cancelledAt >= times_.abortAfter) {
        db::TConnectionInterrupt(connection_).abort();
        state.aborted = true;
    }
    if (!state.dialog && now - state.started >= times_.showAfter) {
        state.dialog = new TWriteBackDialog(window_);
        state.dialog->showReading(state.what, state.detail);
        QObject::connect(state.dialog, &TWriteBackDialog::cancelRequested, [this] { cancel(); });
        if (state.cancelled) state.dialog->showStopping();
        state.dialog->show();
    }
}

void TDatabaseReadRunner::cancel() {
    State& state = *state_;
    if (state.cancelled) return;
    state.cancelled = true;
    state.cancelledAt = Clock::now();
    // A read has no row to finish: the call in flight is ended at once.
    db::TConnectionInterrupt(connection_).cancel();
    if (state.dialog) state.dialog->showStopping();
}

int TDatabaseReadRunner::stoppingSignal() const { return state_->signal; }

}  // namespace ui
