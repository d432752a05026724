#include <QApplication>

#include "CommandLine.h"
#include "DialogButtonOrderStyle.h"
#include "FrmTarvell.h"

int main(int argc, char** argv) {
    if (const std::optional<int> exitCode = app::runCommandLine(argc, argv)) return *exitCode;
    QApplication application(argc, argv);
    application.setStyle(new TDialogButtonOrderStyle);
    TFormTarvell formTarvell;
    formTarvell.show();
    return application.exec();
}
