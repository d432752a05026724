// Benchmarks run unattended: a message box that nobody awaits would wait
// for a person forever. Once watched, such a box ends the benchmark at
// once, its text on the error output and a failing exit status; a box the
// benchmark expects is handed to it instead, as the tests answer theirs.
#pragma once

#include <QCoreApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "MessageBoxAnswers.h"

namespace bench {

// From now on, for the life of the application object.
inline void endOnUnexpectedBoxes() {
    testsupport::whenUnexpectedBox([](QMessageBox* box) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: ended by a message box nobody answers: \"%s\"\n",
                     qPrintable(QCoreApplication::applicationName()), qPrintable(box->text()));
        std::exit(1);
    });
}

// The next message box goes to onBox, once its own event loop runs, to be
// answered there. Boxes expected one after the other are handed out in the
// order of these calls.
using testsupport::whenNextBox;

}  // namespace bench
