#include "TerminationSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>
#include <utility>

#include "StopSignals.h"

namespace ui {

namespace {

// One per process: the signal mask and the descriptor are the process's.
int g_signals = -1;
std::function<void(int)> g_interceptor;
std::optional<int> g_exitStatus;
// A signal whose close waits for a message box to be answered; 0 for none.
int g_deferredSignal = 0;

// What "4.離開" does: every window closes, the main window last and the
// event loop with it. A message box is the operator's to answer: closing it
// would answer it for them (an error never seen, a question answered), so
// the windows close once it has been answered. Work that took the signals
// over meanwhile (the box's answer may start a write-back) gets the waiting
// signal instead: closing the window under it would leave it running with
// no dialog and no Cancel.
void closeWhenNoBoxIsOpen() {
    if (g_deferredSignal != 0 && g_interceptor) return g_interceptor(std::exchange(g_deferredSignal, 0));
    if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        QTimer::singleShot(100, QCoreApplication::instance(), closeWhenNoBoxIsOpen);
        return;
    }
    g_deferredSignal = 0;
    QApplication::closeAllWindows();
}

void closeEveryWindow() {
    // Empty the descriptor: several signals may have arrived together.
    signalfd_siginfo info;
    int signal = 0;
    while (read(g_signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        signal = static_cast<int>(info.ssi_signo);
    if (signal == 0) return;
    if (g_interceptor) return g_interceptor(signal);
    // One close is enough, however many signals come while the box is open.
    if (g_deferredSignal != 0) return;
    g_deferredSignal = signal;
    closeWhenNoBoxIsOpen();
}

// Called from the application object's constructor, once its event
// dispatcher exists.
void watchSignals() {
    if (g_signals < 0) return;
    auto* notifier = new QSocketNotifier(g_signals, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { closeEveryWindow(); });
}

}  // namespace

TerminationSignals::TerminationSignals() {
    if (!rt::blockStopSignals()) {
        std::perror("Tarvell: cannot block SIGINT and SIGTERM");
        return;
    }
    const sigset_t set = rt::stopSignals();
    g_signals = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (g_signals < 0) {
        // Without the descriptor the signals would be lost: leave them as the
        // system handles them.
        std::perror("Tarvell: cannot watch SIGINT and SIGTERM");
        rt::unblockStopSignals();
        return;
    }
    qAddPreRoutine(watchSignals);
}

SignalInterception::SignalInterception(std::function<void(int signal)> interceptor) {
    g_interceptor = std::move(interceptor);
}

SignalInterception::~SignalInterception() { g_interceptor = nullptr; }

void endAfterSignal(int signal) {
    g_exitStatus = 128 + signal;
    QApplication::closeAllWindows();
}

std::optional<int> exitStatusAfterSignal() { return g_exitStatus; }

TerminationSignals::~TerminationSignals() {
    if (g_signals >= 0) close(g_signals);
    g_signals = -1;
}

}  // namespace ui
