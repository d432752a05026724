#include <QApplication>
#include <memory>
#include <variant>

#include "CommandLine.h"
#include "DialogButtonOrderStyle.h"
#include "FrmTarvell.h"
#include "PriceHistoryWindow.h"
#include "TerminationSignals.h"

int main(int argc, char** argv) {
    // The command line's work runs before the window's signal handling: a
    // revert holds Ctrl+C and TERM itself and stops after the row in flight.
    const std::variant<int, cli::Window> launch = cli::runCommandLine(argc, argv);
    if (const int* exitCode = std::get_if<int>(&launch)) return *exitCode;
    const ui::TerminationSignals terminationSignals;
    QApplication application(argc, argv);
    application.setStyle(new ui::TDialogButtonOrderStyle);
    std::unique_ptr<QWidget> window;
    if (std::get<cli::Window>(launch) == cli::Window::History)
        window = std::make_unique<ui::TPriceHistoryWindow>();
    else
        window = std::make_unique<TFormTarvell>();
    window->show();
    const int status = application.exec();
    return ui::exitStatusAfterSignal().value_or(status);
}
