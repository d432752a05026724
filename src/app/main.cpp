#include <QApplication>

#include "DialogButtonOrderStyle.h"
#include "FrmTarvell.h"
#include "TerminationSignals.h"

int main(int argc, char** argv) {
    const app::TerminationSignals terminationSignals;
    QApplication application(argc, argv);
    application.setStyle(new TDialogButtonOrderStyle);
    TFormTarvell formTarvell;
    formTarvell.show();
    return application.exec();
}
