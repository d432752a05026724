// The write-back's database work on a thread of its own, the window's
// event loop running meanwhile: the window repaints, and after a moment
// a window-modal progress dialog with Cancel keeps every other handler
// out. Cancel stops at the next row boundary; a read or a row's UPDATE
// that does not finish is interrupted through the driver, first asking the
// server, then by closing the connection; a row with no answer for the
// answer timeout is treated as a lost connection. With no call on its way
// (between rows, the journal on the disk) Cancel only waits for the
// boundary, and a commit on its way is never interrupted: its answer is
// waited for, until the connection's own answer timeout gives up on it.
#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "ConnectionInterrupt.h"
#include "PriceWriteBack.h"
#include "RowWaitProbe.h"
#include "WriteBackReport.h"

class QWidget;

namespace ui {

struct WriteBackTimes {
    // A write-back shorter than this shows no dialog.
    std::chrono::milliseconds showAfter{500};
    // A row this long in flight: the dialog says what it waits for ...
    std::chrono::milliseconds waitingAfter{3000};
    // ... which the probe starts asking after this, so that the answer is
    // there by then.
    std::chrono::milliseconds probeAfter{1000};
    // After Cancel, a row in flight this long is interrupted ...
    std::chrono::milliseconds raiseAfter{1000};
    // ... and its connection closed when the interruption has not ended it
    // after this.
    std::chrono::milliseconds abortAfter{3000};
    // A row with no answer this long: the connection is closed.
    std::chrono::milliseconds answerTimeout{60000};
};

class TWriteBackRunner {
public:
    // interrupt: the connection the write-back runs on, connected. probe:
    // asks what a stuck row waits for; without one the dialog names both.
    TWriteBackRunner(QWidget* window, db::TConnectionInterrupt interrupt, WriteBackTimes times,
                     std::shared_ptr<db::TRowWaitProbe> probe = nullptr);
    ~TWriteBackRunner();
    TWriteBackRunner(const TWriteBackRunner&) = delete;
    TWriteBackRunner& operator=(const TWriteBackRunner&) = delete;

    // Returns once the write-back has ended; its error is raised here, on
    // the window's thread. A termination signal meanwhile acts as Cancel.
    // The runner fills steps' row, progress and stop callbacks; a phase
    // callback given is called after the runner's own, on the worker.
    // connect, when given, runs on the worker first and answers the
    // interrupt of the connection it leaves open: a server that stopped
    // answering while the question was open keeps the worker waiting, not
    // the window.
    void run(batch::TPriceWriteBack& writeBack, batch::TPriceRows& rows, batch::WriteBackSteps steps,
             const std::function<db::TConnectionInterrupt()>& connect = {});

    // The operator's Cancel (also a termination signal's).
    void cancel();
    bool cancelled() const;
    // The answer timeout ended it.
    bool timedOut() const;
    // The signal that stopped it; 0 for none.
    int stoppingSignal() const;
    // What the database holds by its answers: the rows written (in one
    // transaction all or none), the row in flight when it ended, whether
    // its commit is in doubt; connectionLost is not filled here.
    batch::WriteBackEnd end() const;
    // How long a row may go without an answer before the runner closes
    // its connection.
    std::chrono::milliseconds answerTimeout() const { return times_.answerTimeout; }
    // The rows whose commit got no answer and could not be read since.
    const std::optional<batch::RowsInDoubt>& rowsInDoubt() const;

private:
    struct State;
    void tick();
    void escalateStuckRow(std::chrono::steady_clock::time_point now);
    void updateDialog(std::chrono::steady_clock::time_point now);
    // What the dialog says a stuck row waits for, before its product;
    // nothing known names both.
    static QString waitingText(std::optional<db::RowWait> wait);

    QWidget* window_;
    db::TConnectionInterrupt interrupt_;
    WriteBackTimes times_;
    std::shared_ptr<State> state_;
    std::shared_ptr<db::TRowWaitProbe> probe_;
};

}  // namespace ui
