// Benchmarks run unattended: a message box that nobody awaits would wait
// for a person forever. Once watched, such a box ends the benchmark at
// once, its text on the error output and a failing exit status; a box the
// benchmark expects is handed to it instead.
#pragma once

#include <functional>

class QMessageBox;

namespace bench {

// From now on, for the life of the application object.
void endOnUnexpectedBoxes();

// The next message box goes to onBox, once its own event loop runs, to be
// answered there. Boxes expected one after the other are handed out in the
// order of these calls.
void whenNextBox(std::function<void(QMessageBox*)> onBox);

}  // namespace bench
