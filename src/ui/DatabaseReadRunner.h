// A read of the window's (the data view, the current prices before the
// write-back's question) on a thread of its own, the window's event loop
// running meanwhile: the window repaints, and after a moment the
// write-back's window-modal dialog, saying what is read, keeps every other
// handler out and offers Cancel. The read must touch nothing of the
// window: it reads into plain data that the window's thread takes once the
// read has ended.
//
// Cancel asks the server at once to end the call in flight; a read still
// running a moment later has its connection closed under it, which the
// next action replaces. A termination signal meanwhile acts as Cancel.
#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class QWidget;

namespace db {
class TDataLinkConnection;
}

namespace ui {

struct ReadTimes {
    // A read shorter than this shows no dialog.
    std::chrono::milliseconds showAfter{500};
    // After Cancel, a read still running this long has its connection
    // closed: the server did not answer the request to end it.
    std::chrono::milliseconds abortAfter{2000};
};

class TDatabaseReadRunner {
public:
    // connection: the one the read runs on; it may connect anew during the
    // read.
    TDatabaseReadRunner(QWidget* window, const db::TDataLinkConnection& connection, ReadTimes times = {});
    ~TDatabaseReadRunner();
    TDatabaseReadRunner(const TDatabaseReadRunner&) = delete;
    TDatabaseReadRunner& operator=(const TDatabaseReadRunner&) = delete;

    // Runs read and returns once it has ended: true when it ran to its end,
    // false when it was cancelled, whether or not it got to its end. what
    // and detail: the dialog's two lines. The read's error is raised here,
    // on the window's thread; a cancelled read's is not, since the cancel
    // itself made it fail.
    bool run(const QString& what, const QString& detail, const std::function<void()>& read);

    // The operator's Cancel (also a termination signal's).
    void cancel();
    // The signal that stopped it; 0 for none.
    int stoppingSignal() const;

private:
    struct State;
    void tick();

    QWidget* window_;
    const db::TDataLinkConnection& connection_;
    ReadTimes times_;
    std::unique_ptr<State> state_;
};

}  // namespace ui
