// SIGINT (Ctrl+C in the terminal) and SIGTERM (a logout, `timeout`, `kill`)
// end the program the way "4.離開" does: every window closes on the
// user-interface thread, the event loop ends, and the window takes its
// database connection down with it. A message box open at the time is left
// for the operator to answer first. Work that takes the signals over
// (SignalInterception) ends its own way first: a write-back stops after its
// row in flight, a read is cancelled, and the write-back's question is
// answered No.
//
// The client library's own handlers on both signals would shut every
// attachment down behind the program's back, so they are blocked
// (StopSignals.h) and wait in a signalfd that the event loop watches.
// Blocking covers only the threads started after it, so the object is made
// first thing in main, before the application object and anything else
// that may start a thread.
#pragma once

#include <functional>
#include <optional>

namespace ui {

class TerminationSignals {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;
};

// While one lives, a signal goes to its function (the signal's number)
// instead of closing the windows: long work ends cleanly first and then
// calls endAfterSignal. A signal that came earlier and still waits for a
// message box to be answered goes to it instead.
class SignalInterception {
public:
    explicit SignalInterception(std::function<void(int signal)> interceptor);
    ~SignalInterception();
    SignalInterception(const SignalInterception&) = delete;
    SignalInterception& operator=(const SignalInterception&) = delete;
};

// Closes every window, as a signal does, and makes the program end with
// 128 + signal.
void endAfterSignal(int signal);
// 128 + the signal that ended interrupted work; nothing otherwise.
std::optional<int> exitStatusAfterSignal();

}  // namespace ui
