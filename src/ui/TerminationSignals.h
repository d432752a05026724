// SIGINT (Ctrl+C in the terminal) and SIGTERM (a logout, `timeout`, `kill`)
// end the program the way "4.離開" does: every window closes on the
// user-interface thread, the event loop ends, and the window takes its
// database connection down with it.
//
// The Firebird client library puts its own handlers on both signals when it
// first attaches, and those shut every attachment down behind the program's
// back. So the two signals are blocked instead of handled: a blocked signal
// runs no handler, whoever installed it, and waits in a signalfd that the
// event loop watches. Blocking covers only the threads started after it, so
// the object is made first thing in main, before the application object and
// anything else that may start a thread.
#pragma once

namespace app {

class TerminationSignals {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;
};

}  // namespace app
