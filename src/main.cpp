#include <QApplication>

#include "CommandLine.h"
#include "DialogButtonOrderStyle.h"
#include "FrmTarvell.h"
#include "TerminationSignals.h"

int main(int argc, char** argv) {
    // The command line's work runs before the window's signal handling: a
    // revert holds Ctrl+C and TERM itself and stops after the row in flight.
    if (const std::optional<int> exitCode = cli::runCommandLine(argc, argv)) return *exitCode;
    const ui::TerminationSignals terminationSignals;
    QApplication application(argc, argv);
    application.setStyle(new ui::TDialogButtonOrderStyle);
    TFormTarvell formTarvell;
    formTarvell.show();
    const int status = application.exec();
    return ui::exitStatusAfterSignal().value_or(status);
}
