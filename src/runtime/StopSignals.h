// SIGINT (Ctrl+C) and SIGTERM, the signals that ask the program to stop.
// The window and the command line both block them rather than handle them:
// the Firebird client library puts its own handlers on both when it first
// attaches, and a blocked signal runs no handler, whoever installed it. A
// blocked signal waits until the program asks for it (a signalfd, or
// pendingStopSignal between rows). Blocking covers the calling thread and
// the threads it starts afterwards.
#pragma once

#include <signal.h>

namespace rt {

// The set of the two signals.
sigset_t stopSignals();
// Blocks them; false, errno set, when the system refused.
bool blockStopSignals();
void unblockStopSignals();
// The one of them waiting while blocked, SIGINT first; 0 for none.
int pendingStopSignal();

}  // namespace rt
